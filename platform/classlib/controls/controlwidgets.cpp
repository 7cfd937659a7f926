// The Qt widgets under a window control and the translation of Qt input.

#include "platform/classlib/controls/controlwidgets.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QSet>
#include <QUrl>

using namespace vantrel::qt;
using namespace vantrel::controlsimpl;

namespace vantrel::controlsimpl {

TShiftState ShiftOf(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons) {
  TShiftState s;
  if (mods & Qt::ShiftModifier) s.Include(ssShift);
  if (mods & Qt::ControlModifier) s.Include(ssCtrl);
  if (mods & Qt::AltModifier) s.Include(ssAlt);
  if (buttons & Qt::LeftButton) s.Include(ssLeft);
  if (buttons & Qt::RightButton) s.Include(ssRight);
  if (buttons & Qt::MiddleButton) s.Include(ssMiddle);
  return s;
}

WPARAM KeysOf(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons) {
  return ShiftStateToKeys(ShiftOf(mods, buttons));
}

// Whether the key types a printable character.
static bool TypesCharacter(const QKeyEvent* e) {
  const QString text = e->text();
  return !text.isEmpty() && text.at(0) >= QChar(0x20) && text.at(0) != QChar(0x7F);
}

// A key that types a character but has no code of its own goes down and up
// under the code the window system gives such a character. Its release may
// come without the character (a key mapped to it only while pressed, as a
// tool typing text does on X11): it goes up under the code it went down
// with, known by its scan code (0, unknown, pairs nothing). Keys are few, so
// the scan codes last pressed so are all kept.
static WORD PacketKeyOf(const QKeyEvent* e) {
  static QSet<quint32> pressedAsPacket;
  const bool packet = TypesCharacter(e);
  const quint32 scan = e->nativeScanCode();
  if (e->type() == QEvent::KeyPress) {
    if (packet && scan != 0) pressedAsPacket.insert(scan);
    else pressedAsPacket.remove(scan);
    return packet ? VK_PACKET : 0;
  }
  return packet || pressedAsPacket.contains(scan) ? VK_PACKET : 0;
}

WORD VirtualKeyOf(const QKeyEvent* e) {
  const int k = e->key();
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return WORD('A' + (k - Qt::Key_A));
  if (k >= Qt::Key_0 && k <= Qt::Key_9) return WORD('0' + (k - Qt::Key_0));
  if (k >= Qt::Key_F1 && k <= Qt::Key_F12) return WORD(VK_F1 + (k - Qt::Key_F1));
  switch (k) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Help: return VK_HELP;
    case Qt::Key_Menu: return VK_APPS;
    case Qt::Key_NumLock: return VK_NUMLOCK;
    case Qt::Key_ScrollLock: return VK_SCROLL;
    case Qt::Key_Asterisk: return VK_MULTIPLY;
    case Qt::Key_Plus: return VK_ADD;
    case Qt::Key_Minus: return VK_SUBTRACT;
    case Qt::Key_Slash: return VK_DIVIDE;
    // A key that types a character but has no code above (a letter beyond
    // ASCII, most punctuation) still goes down and up like any other, so
    // that what starts on a key's press or release (a lookup combo's
    // search) starts for it too. The character follows as usual.
    default: return PacketKeyOf(e);
  }
}

Qt::CursorShape ShapeOf(TCursor c) {
  switch (c) {
    case crNone: return Qt::BlankCursor;
    case crCross: return Qt::CrossCursor;
    case crIBeam: return Qt::IBeamCursor;
    case crSizeNESW: return Qt::SizeBDiagCursor;
    case crSizeNS: return Qt::SizeVerCursor;
    case crSizeNWSE: return Qt::SizeFDiagCursor;
    case crSizeWE: return Qt::SizeHorCursor;
    case crUpArrow: return Qt::UpArrowCursor;
    case crHourGlass:
    case crSQLWait: return Qt::WaitCursor;
    case crDrag:
    case crMultiDrag: return Qt::DragCopyCursor;
    case crNoDrop:
    case crNo: return Qt::ForbiddenCursor;
    case crHSplit: return Qt::SplitHCursor;
    case crVSplit: return Qt::SplitVCursor;
    case crAppStart: return Qt::BusyCursor;
    case crHelp: return Qt::WhatsThisCursor;
    case crHandPoint: return Qt::PointingHandCursor;
    case crSizeAll: return Qt::SizeAllCursor;
    default: return Qt::ArrowCursor;
  }
}


QPoint ClientPos(const QMouseEvent* e) { return e->position().toPoint(); }

UINT MouseMsgFor(QEvent::Type type, Qt::MouseButton b) {
  const int base = b == Qt::RightButton ? WM_RBUTTONDOWN
                   : b == Qt::MiddleButton ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
  switch (type) {
    case QEvent::MouseButtonPress: return UINT(base);
    case QEvent::MouseButtonRelease: return UINT(base + 1);
    case QEvent::MouseButtonDblClick: return UINT(base + 2);
    default: return WM_MOUSEMOVE;
  }
}

TMessage MouseMessage(const QMouseEvent* me, QPoint pos) {
  const Qt::MouseButtons buttons =
      me->type() == QEvent::MouseButtonRelease ? (me->buttons() & ~me->button()) | me->button()
                                               : me->buttons();
  TMessage m{MouseMsgFor(me->type(), me->button()), KeysOf(me->modifiers(), buttons),
             MakeLParam(pos.x(), pos.y()), 0};
  if (me->type() == QEvent::MouseButtonRelease) {
    // The released button no longer counts as held.
    const WPARAM released = me->button() == Qt::LeftButton ? MK_LBUTTON
                            : me->button() == Qt::RightButton ? MK_RBUTTON : MK_MBUTTON;
    m.WParam &= ~released;
  }
  return m;
}

bool HandleMouse(TWinControl* control, QMouseEvent* me, bool fromClient) {
  if (!control) return true;
  Guarded([&] {
    QPoint pos = ClientPos(me);
    if (!fromClient) {
      const TRect m = control->NonClientMargins();
      pos -= QPoint(m.Left, m.Top);
    }
    TMessage m = MouseMessage(me, pos);
    ControlAccess::MouseInput(control, m);
  });
  return true;
}

bool VClient::event(QEvent* e) {
  switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      return HandleMouse(control, static_cast<QMouseEvent*>(e), true);
    case QEvent::KeyPress:
      if (control) Guarded([&] { ControlAccess::KeyInput(control, static_cast<QKeyEvent*>(e)); });
      return true;
    case QEvent::KeyRelease:
      if (control) Guarded([&] { ControlAccess::KeyRelease(control, static_cast<QKeyEvent*>(e)); });
      return true;
    case QEvent::ShortcutOverride:
      e->accept();  // keys go to the control, not to shortcuts
      return true;
    case QEvent::FocusIn:
      if (control) Guarded([&] { control->Perform(WM_SETFOCUS); });
      return true;
    case QEvent::FocusOut:
      if (control) Guarded([&] { control->Perform(WM_KILLFOCUS); });
      return true;
    case QEvent::Leave:
      if (control) Guarded([&] {
          TControl* mc = MouseControl();
          if (mc && (mc == control || mc->Parent() == control))
            ControlAccess::SetMouseControl(nullptr);
        });
      return true;
    case QEvent::Wheel: {
      auto* we = static_cast<QWheelEvent*>(e);
      if (control) Guarded([&] {
          const QPoint g = we->globalPosition().toPoint();
          control->Perform(WM_MOUSEWHEEL,
                           (WPARAM(uint16_t(int16_t(we->angleDelta().y()))) << 16) |
                               KeysOf(we->modifiers(), we->buttons()),
                           MakeLParam(g.x(), g.y()));
        });
      return true;
    }
    case QEvent::ContextMenu:
      return true;
    default:
      return QWidget::event(e);
  }
}

void VWindow::paintEvent(QPaintEvent*) {
  if (!control) return;
  Guarded([&] {
    QPainter p(this);
    const TRect m = control->NonClientMargins();
    if (m.Left || m.Top || m.Right || m.Bottom) {
      QRegion frame(rect());
      frame -= QRegion(m.Left, m.Top, width() - m.Left - m.Right, height() - m.Top - m.Bottom);
      p.setClipRegion(frame);
      p.fillRect(rect(), ToQColor(control->Color()));
      TCanvas dc;
      BindPainter(dc, &p);
      control->Perform(WM_NCPAINT, WPARAM(&dc), 0);
      Unbind(dc);
    }
  });
}

bool VWindow::event(QEvent* e) {
  switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      return HandleMouse(control, static_cast<QMouseEvent*>(e), false);
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
      if (control) {
        const bool active = e->type() == QEvent::WindowActivate;
        // Losing activation, it is told which of our windows takes it over.
        auto* next = active ? nullptr : dynamic_cast<VWindow*>(QApplication::activeWindow());
        const LPARAM other = next && next != this ? LPARAM(next->control) : 0;
        Guarded([&] {
          control->Perform(WM_ACTIVATE, active ? WA_ACTIVE : WA_INACTIVE, other);
          if (ActivationObserver) ActivationObserver(control, active);
        });
      }
      return true;
    case QEvent::ApplicationPaletteChange:
      if (control && isWindow()) Guarded([&] { control->Perform(CM_SYSCOLORCHANGE); });
      return QWidget::event(e);
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      // A window without a focused child: its client area takes the keys.
      if (client) return QCoreApplication::sendEvent(reinterpret_cast<QWidget*>(client), e);
      return true;
    default:
      return QWidget::event(e);
  }
}

void VWindow::resizeEvent(QResizeEvent*) {
  if (!control || !isWindow()) return;
  Guarded([&] { ControlAccess::SyncFromWidget(control, geometry()); });
}

void VWindow::moveEvent(QMoveEvent*) {
  if (!control || !isWindow()) return;
  Guarded([&] { ControlAccess::SyncFromWidget(control, geometry()); });
}

void VWindow::closeEvent(QCloseEvent* e) {
  e->ignore();  // the control decides (a form asks CloseQuery and hides itself)
  if (control) Guarded([&] { control->Perform(WM_CLOSE); });
}

void VWindow::dropEvent(QDropEvent* e) {
  if (!control || !acceptFiles) return;
  Guarded([&] {
    TDropFiles drop;
    for (const QUrl& url : e->mimeData()->urls())
      if (url.isLocalFile()) drop.Files.push_back(FromQString(url.toLocalFile()));
    const TRect m = control->NonClientMargins();
    const QPoint p = e->position().toPoint() - QPoint(m.Left, m.Top);
    drop.Point = {p.x(), p.y()};
    if (drop.Files.empty()) return;
    e->acceptProposedAction();
    control->Perform(WM_DROPFILES, WPARAM(&drop), 0);
  });
}

}  // namespace vantrel::controlsimpl

TShiftState KeysToShiftState(WPARAM keys) {
  TShiftState s;
  if (keys & MK_SHIFT) s.Include(ssShift);
  if (keys & MK_CONTROL) s.Include(ssCtrl);
  if (keys & MK_LBUTTON) s.Include(ssLeft);
  if (keys & MK_RBUTTON) s.Include(ssRight);
  if (keys & MK_MBUTTON) s.Include(ssMiddle);
  if (QGuiApplication::instance() && (QGuiApplication::keyboardModifiers() & Qt::AltModifier))
    s.Include(ssAlt);
  return s;
}

WPARAM ShiftStateToKeys(TShiftState shift) {
  WPARAM k = 0;
  if (shift.Contains(ssShift)) k |= MK_SHIFT;
  if (shift.Contains(ssCtrl)) k |= MK_CONTROL;
  if (shift.Contains(ssLeft)) k |= MK_LBUTTON;
  if (shift.Contains(ssRight)) k |= MK_RBUTTON;
  if (shift.Contains(ssMiddle)) k |= MK_MBUTTON;
  return k;
}
