#include "platform/classlib/controls/controls.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPointer>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <unordered_map>

#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/controls/timer.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/graphics/images.h"
#include "platform/classlib/graphics/qtbridge.h"

using namespace vantrel::qt;

IMPLEMENT_CLASS(TControl, TComponent)
IMPLEMENT_CLASS(TWinControl, TControl)
IMPLEMENT_CLASS(TControlCanvas, TCanvas)
IMPLEMENT_CLASS(TCustomControl, TWinControl)
IMPLEMENT_CLASS(TGraphicControl, TControl)

std::function<void(TPopupMenu*, TControl*, TPoint)> PopupMenuHandler;

namespace vantrel::qt {
void (*MouseMoveObserver)(TControl*, TPoint) = nullptr;
void (*ActivationObserver)(TWinControl*, bool) = nullptr;
}  // namespace vantrel::qt

// ---- Shared state --------------------------------------------------------

namespace {

TControl* g_capture = nullptr;       // control holding the mouse
TControl* g_mouseControl = nullptr;  // control the mouse is over
TControl* g_dragControl = nullptr;   // control being dragged
TControl* g_dragTarget = nullptr;
QPointer<QWidget> g_cursorWidget;    // the window WM_SETCURSOR is asking about

// Live windows with a serial number, so that a posted message never reaches
// a window that was freed (or a new one at the same address).
std::unordered_map<const TWinControl*, uint64_t>& LiveWindows() {
  static std::unordered_map<const TWinControl*, uint64_t> live;
  return live;
}
uint64_t g_nextSerial = 1;

// The control when it still exists and `window` is still its window (widgets
// being torn down must not reach a control or a window half destroyed).
TWinControl* LiveControl(TWinControl* control, const QWidget* window);

TShiftState ShiftOf(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons = Qt::NoButton) {
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
    default: return 0;
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

// Runs an event handler of ours; exceptions go to the application, never into Qt.
template <class F>
void Guarded(F&& f) {
  try {
    f();
  } catch (...) {
    ReportException(std::current_exception());
  }
}

}  // namespace

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

// Friend of the control classes: the backend's way in.
struct ControlAccess {
  static void MouseInput(TWinControl* w, TMessage& m);
  static void KeyInput(TWinControl* w, QKeyEvent* e);
  static void KeyRelease(TWinControl* w, QKeyEvent* e);
  static bool DoKeyDown(TWinControl* w, WORD& key, TShiftState shift);
  static bool DoKeyPress(TWinControl* w, char32_t& ch);
  static void SetMouseControl(TControl* c);
  static TRect& Margins(TWinControl* w) { return w->ncMargins_; }
  static void SyncFromWidget(TWinControl* w, const QRect& g);
  static void DragOverTo(TControl* t, TControl* source, TPoint p, TDragState st, bool& accept) {
    t->DragOver(source, p.x, p.y, st, accept);
  }
  static void DragDropTo(TControl* t, TControl* source, TPoint p) { t->DragDrop(source, p.x, p.y); }
  static QScrollBar* CreateScrollBar(TWinControl* control, int which);
  static bool NativeKey(TWinControl* w, QWidget* native, QKeyEvent* e);
  static void LayoutScrollBars(TWinControl* control) { control->LayoutScrollBars(); }
};

// ---- The widgets ---------------------------------------------------------

namespace {

class VClient;
constexpr int kScrollBarSize = 16;  // the classic scroll bar width

// The whole window: paints the non-client margins and takes mouse input there.
class VWindow : public QWidget {
 public:
  VWindow(TWinControl* c, QWidget* parent, Qt::WindowFlags flags)
      : QWidget(parent, flags), control(c) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
  }
  TWinControl* control;
  VClient* client = nullptr;
  bool acceptFiles = false;

 protected:
  void paintEvent(QPaintEvent* e) override;
  bool event(QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override {
    if (acceptFiles && e->mimeData()->hasUrls()) e->acceptProposedAction();
  }
  void dropEvent(QDropEvent* e) override;
};

// The client area: paints the control and its graphic children, takes mouse,
// keyboard and focus.
class VClient : public QWidget {
 public:
  VClient(TWinControl* c, QWidget* parent) : QWidget(parent), control(c) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
  }
  TWinControl* control;

 protected:
  void paintEvent(QPaintEvent* e) override {
    if (!control) return;
    Guarded([&] {
      QPainter p(this);
      TCanvas dc;
      BindPainter(dc, &p);
      TRect r = FromQRect(e->rect());
      TMessage m{WM_PAINT, WPARAM(&dc), LPARAM(&r), 0};
      control->Perform(m);
      Unbind(dc);
    });
  }
  bool event(QEvent* e) override;
};

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

bool HandleMouse(TWinControl* control, QMouseEvent* me, bool fromClient) {
  if (!control) return true;
  Guarded([&] {
    QPoint pos = ClientPos(me);
    if (!fromClient) {
      const TRect m = control->NonClientMargins();
      pos -= QPoint(m.Left, m.Top);
    }
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
        Guarded([&] {
          control->Perform(WM_ACTIVATE, active ? WA_ACTIVE : WA_INACTIVE);
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

}  // namespace

struct TWinControl::Backend {
  VWindow* window = nullptr;
  VClient* client = nullptr;
  bool acceptFiles = false;
  bool topLevel = false;      // the window is a top-level one (form, popup)
  struct Bar {
    int min = 0, max = 0;
    UINT page = 0;
    int pos = 0, track = 0;
    bool hidden = false;           // hidden by ShowScrollBar until the next range
    bool pinned = false;           // shown by ShowScrollBar even with an empty range
    bool disableNoScroll = false;  // shown (disabled) while the range is empty
    QScrollBar* widget = nullptr;
    bool Visible() const {
      const bool hasRange = page == 0 ? max > min : int(page) <= max - min;
      return !hidden && (pinned || disableNoScroll || hasRange);
    }
    bool Enabled() const { return page == 0 ? max > min : int(page) <= max - min; }
  };
  Bar bars[2];                // SB_HORZ, SB_VERT
  bool syncing = false;       // geometry is being copied between control and widget
  DWORD style = 0, exStyle = 0;  // as created, or as SetWindowLong changed them
};

namespace {
TWinControl* LiveControl(TWinControl* control, const QWidget* window) {
  if (!control || !LiveWindows().count(control)) return nullptr;
  return WindowWidget(*control) == window ? control : nullptr;
}
}  // namespace

namespace vantrel::qt {
void RaiseWindow(QWidget* w) {
  // The offscreen platform has no stacking order (and says so on every call).
  if (w && QGuiApplication::platformName() != QLatin1String("offscreen")) w->raise();
}
QWidget* WindowWidget(const TWinControl& c) { return c.backend() ? c.backend()->window : nullptr; }
QWidget* ClientWidget(const TWinControl& c) { return c.backend() ? c.backend()->client : nullptr; }
TWinControl* ControlOfWidget(QWidget* w) {
  for (; w; w = w->parentWidget()) {
    if (auto* c = dynamic_cast<VClient*>(w)) return c->control;
    if (auto* c = dynamic_cast<VWindow*>(w)) return c->control;
  }
  return nullptr;
}
}  // namespace vantrel::qt

// ---- TControl --------------------------------------------------------------

TControl::TControl(TComponent* AOwner) : TComponent(AOwner), font_(std::make_unique<TFont>()) {
  WindowProc = [this](TMessage& m) { WndProc(m); };
  font_->OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
  Destroying();
  if (g_capture == this) g_capture = nullptr;
  if (g_mouseControl == this) g_mouseControl = nullptr;
  if (g_dragControl == this) g_dragControl = nullptr;
  if (g_dragTarget == this) g_dragTarget = nullptr;
  if (parent_) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == parent_) return;
  if (AParent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (auto* self = dynamic_cast<TWinControl*>(this); self && self->ContainsControl(AParent))
    throw EInvalidOperation("A control cannot be placed inside one of its own children");
  if (parent_) parent_->RemoveControl(this);
  if (AParent) AParent->InsertControl(this);
}

TComponent* TControl::GetParentComponent() const { return parent_; }
void TControl::SetParentComponent(TComponent* parent) {
  if (auto* w = As<TWinControl>(parent)) SetParent(w);
}

void TControl::ConstrainSize(int& w, int& h) const {
  if (constraints_.MinWidth > 0 && w < constraints_.MinWidth) w = constraints_.MinWidth;
  if (constraints_.MinHeight > 0 && h < constraints_.MinHeight) h = constraints_.MinHeight;
  if (constraints_.MaxWidth > 0 && w > constraints_.MaxWidth) w = constraints_.MaxWidth;
  if (constraints_.MaxHeight > 0 && h > constraints_.MaxHeight) h = constraints_.MaxHeight;
  w = std::max(0, w);
  h = std::max(0, h);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  ConstrainSize(AWidth, AHeight);
  if (ALeft == left_ && ATop == top_ && AWidth == width_ && AHeight == height_) return;
  if (parent_ && visible_) parent_->InvalidateRect(BoundsRect());
  const bool resized = AWidth != width_ || AHeight != height_;
  const bool moved = ALeft != left_ || ATop != top_;
  left_ = ALeft;
  top_ = ATop;
  width_ = AWidth;
  height_ = AHeight;
  BoundsChanged(moved, resized);
  if (resized && !Is<TWinControl>(this)) Resize();
  RequestAlign();
}

void TControl::BoundsChanged(bool, bool) {
  if (parent_ && visible_) parent_->InvalidateRect(BoundsRect());
}

void TControl::RequestAlign() {
  if (parent_ && align_ != alNone) parent_->AlignControl(this);
}

TRect TControl::ClientRect() const { return Rect(0, 0, width_, height_); }

void TControl::SetClientWidth(int v) { SetWidth(v + (width_ - ClientWidth())); }
void TControl::SetClientHeight(int v) { SetHeight(v + (height_ - ClientHeight())); }

TPoint TControl::ClientOrigin() const {
  if (!parent_) return {left_, top_};
  const TPoint p = parent_->ClientOrigin();
  return {p.x + left_, p.y + top_};
}
TPoint TControl::ClientToScreen(TPoint p) const {
  const TPoint o = ClientOrigin();
  return {p.x + o.x, p.y + o.y};
}
TPoint TControl::ScreenToClient(TPoint p) const {
  const TPoint o = ClientOrigin();
  return {p.x - o.x, p.y - o.y};
}

void TControl::SetAlign(TAlign value) {
  if (value == align_) return;
  const TAlign old = align_;
  align_ = value;
  if (old != alNone && value == alNone && parent_) parent_->Realign();
  RequestAlign();
}

void TControl::SetVisible(bool value) {
  if (value == visible_) return;
  VisibleChanging();
  if (parent_ && visible_) parent_->InvalidateRect(BoundsRect());
  visible_ = value;
  Perform(CM_VISIBLECHANGED, value ? 1 : 0);
  if (parent_ && visible_) parent_->InvalidateRect(BoundsRect());
  if (parent_ && align_ != alNone) parent_->Realign();
}
void TControl::Show() { SetVisible(true); }
void TControl::Hide() { SetVisible(false); }

bool TControl::Showing() const { return visible_ && parent_ && parent_->Showing(); }

void TControl::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  Perform(CM_ENABLEDCHANGED);
}

void TControl::FontChanged() {
  if (updatingFont_) return;
  parentFont_ = false;
  Perform(CM_FONTCHANGED);
}

void TControl::SetParentFont(bool value) {
  if (value == parentFont_) return;
  parentFont_ = value;
  if (value) SetParentFontFromParent();
}

void TControl::SetParentFontFromParent() {
  if (!parentFont_ || !parent_) return;
  updatingFont_ = true;
  font_->Assign(parent_->Font());
  updatingFont_ = false;
  Perform(CM_FONTCHANGED);
}

void TControl::SetColor(TColor value) {
  if (value == color_ && !parentColor_) return;
  color_ = value;
  parentColor_ = false;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool value) {
  if (value == parentColor_) return;
  parentColor_ = value;
  if (value) SetParentColorFromParent();
}

void TControl::SetParentColorFromParent() {
  if (!parentColor_ || !parent_) return;
  color_ = parent_->Color();
  Perform(CM_COLORCHANGED);
}

void TControl::SetText(const std::string& value) {
  if (value == text_) return;
  text_ = value;
  Perform(CM_TEXTCHANGED);
}

void TControl::SetShowHint(bool value) {
  parentShowHint_ = false;
  if (value == showHint_) return;
  showHint_ = value;
  Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool value) {
  if (value == parentShowHint_) return;
  parentShowHint_ = value;
  if (value && parent_) {
    showHint_ = parent_->ShowHint();
    Perform(CM_SHOWHINTCHANGED);
  }
}

void TControl::SetCursor(TCursor value) {
  if (value == cursor_) return;
  cursor_ = value;
  Perform(CM_CURSORCHANGED);
}

void TControl::SetPopupMenu(TPopupMenu* menu) { popupMenu_ = menu; }

void TControl::Invalidate() {
  if (parent_ && visible_) parent_->InvalidateRect(BoundsRect());
}
void TControl::Update() {
  if (parent_) parent_->Update();
}
void TControl::Repaint() {
  Invalidate();
  Update();
}

namespace {
// Moves `item` to the end (front of the z-order) or the start of `list`.
template <class T>
bool Restack(std::vector<T*>& list, TControl* item, bool toFront) {
  auto it = std::find_if(list.begin(), list.end(), [item](T* c) { return c == item; });
  if (it == list.end()) return false;
  T* c = *it;
  list.erase(it);
  if (toFront) list.push_back(c);
  else list.insert(list.begin(), c);
  return true;
}
}  // namespace

void TControl::SetZOrder(bool toFront) {
  if (parent_) {
    if (Restack(parent_->winControls_, this, toFront)) {
      auto* self = static_cast<TWinControl*>(this);
      if (QWidget* w = WindowWidget(*self)) {
        if (toFront) RaiseWindow(w);
        else w->lower();
      }
    } else {
      Restack(parent_->controls_, this, toFront);
    }
  }
  Invalidate();
}

void TControl::BringToFront() { SetZOrder(true); }
void TControl::SendToBack() { SetZOrder(false); }

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  WindowProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage& m) {
  if (m.Msg >= WM_MOUSEMOVE && m.Msg <= WM_MBUTTONDBLCLK) {
    // A disabled control takes no mouse input.
    if (!enabled_) return;
    if (m.Msg != WM_MOUSEMOVE && dragMode_ == dmAutomatic && m.Msg == WM_LBUTTONDOWN) {
      BeginDrag(false);
    }
  }
  Dispatch(m);
}

void TControl::HandleMouseMessage(TMessage& m) {
  const TPoint p = SmallPointToPoint(m.LParam);
  TShiftState shift = KeysToShiftState(m.WParam);
  const auto alive = Lifetime();
  auto down = [&](TMouseButton b, bool dbl) {
    // Without csDoubleClicks the second press of a double click is a plain press.
    if (dbl && !controlStyle_.Contains(csDoubleClicks)) dbl = false;
    if (dbl) shift.Include(ssDouble);
    if (b == mbLeft && controlStyle_.Contains(csCaptureMouse)) SetMouseCapture(true);
    // The release after a double click makes no second click.
    if (b == mbLeft && !dbl && controlStyle_.Contains(csClickEvents))
      controlState_.Include(csClicked);
    if (b == mbLeft) controlState_.Include(csLButtonDown);
    if (dbl && b == mbLeft && controlStyle_.Contains(csClickEvents)) DblClick();
    if (alive.expired()) return;
    if (!controlStyle_.Contains(csNoStdEvents)) MouseDown(b, shift, p.x, p.y);
  };
  auto up = [&](TMouseButton b) {
    if (b == mbLeft) {
      controlState_.Exclude(csLButtonDown);
      if (controlStyle_.Contains(csCaptureMouse)) SetMouseCapture(false);
      if (controlState_.Contains(csClicked)) {
        controlState_.Exclude(csClicked);
        if (PtInRect(ClientRect(), p)) Click();
        if (alive.expired()) return;
      }
    }
    if (!controlStyle_.Contains(csNoStdEvents)) MouseUp(b, shift, p.x, p.y);
    if (alive.expired()) return;
    if (b == mbRight && popupMenu_ && PopupMenuHandler)
      PopupMenuHandler(popupMenu_, this, ClientToScreen(p));
  };
  switch (m.Msg) {
    case WM_MOUSEMOVE:
      if (!controlStyle_.Contains(csNoStdEvents)) MouseMove(shift, p.x, p.y);
      break;
    case WM_LBUTTONDOWN: down(mbLeft, false); break;
    case WM_LBUTTONDBLCLK: down(mbLeft, true); break;
    case WM_RBUTTONDOWN: down(mbRight, false); break;
    case WM_RBUTTONDBLCLK: down(mbRight, true); break;
    case WM_MBUTTONDOWN: down(mbMiddle, false); break;
    case WM_MBUTTONDBLCLK: down(mbMiddle, true); break;
    case WM_LBUTTONUP: up(mbLeft); break;
    case WM_RBUTTONUP: up(mbRight); break;
    case WM_MBUTTONUP: up(mbMiddle); break;
    default: break;
  }
}

void TControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      HandleMouseMessage(m);
      return;
    case CM_HITTEST:
      m.Result = HTCLIENT;
      return;
    case CM_PARENTFONTCHANGED:
      SetParentFontFromParent();
      return;
    case CM_PARENTCOLORCHANGED:
      SetParentColorFromParent();
      return;
    case CM_PARENTSHOWHINTCHANGED:
      if (parentShowHint_ && parent_ && showHint_ != parent_->ShowHint()) {
        showHint_ = parent_->ShowHint();
        Perform(CM_SHOWHINTCHANGED);
      }
      return;
    case CM_FONTCHANGED:
    case CM_COLORCHANGED:
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
      Invalidate();
      return;
    case CM_VISIBLECHANGED:
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      return;
    default:
      DefaultHandler(m);
  }
}

void TControl::DefaultHandler(TMessage&) {}

void TControl::Click() {
  if (OnClick) OnClick(this);
}
void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}
void TControl::MouseDown(TMouseButton b, TShiftState s, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, b, s, x, y);
}
void TControl::MouseMove(TShiftState s, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, s, x, y);
}
void TControl::MouseUp(TMouseButton b, TShiftState s, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, b, s, x, y);
}
void TControl::Resize() {
  if (OnResize) OnResize(this);
}

bool TControl::MouseCapture() const { return g_capture == this; }
void TControl::SetMouseCapture(bool value) {
  if (value) SetCaptureControl(this);
  else if (g_capture == this) SetCaptureControl(nullptr);
}

TCustomForm* TControl::GetParentForm() const { return ::GetParentForm(this); }

// Dragging: the control follows the mouse while it is captured; targets are
// asked with DragOver and receive DragDrop.
void TControl::BeginDrag(bool) {
  if (g_dragControl) return;
  g_dragControl = this;
  g_dragTarget = nullptr;
  DoStartDrag();
  SetMouseCapture(true);
}

void TControl::EndDrag(bool drop) {
  if (g_dragControl != this) return;
  TControl* target = drop ? g_dragTarget : nullptr;
  g_dragControl = nullptr;
  g_dragTarget = nullptr;
  SetMouseCapture(false);
  DoEndDrag(target, 0, 0);
}

bool TControl::Dragging() const { return g_dragControl == this; }

void TControl::DragOver(TObject* source, int x, int y, TDragState state, bool& accept) {
  accept = false;
  if (OnDragOver) {
    accept = true;
    OnDragOver(this, source, x, y, state, accept);
  }
}
void TControl::DragDrop(TObject* source, int x, int y) {
  if (OnDragDrop) OnDragDrop(this, source, x, y);
}
void TControl::DoEndDrag(TObject* target, int x, int y) {
  if (OnEndDrag) OnEndDrag(this, target, x, y);
}
void TControl::DoStartDrag() {
  if (OnStartDrag) OnStartDrag(this);
}

// ---- Capture and mouse tracking ----------------------------------------------

TControl* GetCaptureControl() { return g_capture; }

void SetCaptureControl(TControl* control) {
  if (control == g_capture) return;
  TControl* old = g_capture;
  g_capture = control;
  if (old) old->Perform(WM_CAPTURECHANGED, 0, 0);
}

void ReleaseCapture() { SetCaptureControl(nullptr); }

TControl* MouseControl() { return g_mouseControl; }

void ControlAccess::SetMouseControl(TControl* c) {
  if (c == g_mouseControl) return;
  TControl* old = g_mouseControl;
  g_mouseControl = c;
  if (old) old->Perform(CM_MOUSELEAVE, 0, LPARAM(old));
  if (c && g_mouseControl == c) c->Perform(CM_MOUSEENTER, 0, LPARAM(c));
}

namespace {

bool IsButtonDown(UINT msg) {
  return msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN ||
         msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
}

}  // namespace

void ControlAccess::MouseInput(TWinControl* w, TMessage& m) {
  const TPoint p = SmallPointToPoint(m.LParam);
  const TPoint screen = w->ClientToScreen(p);
  // The window is asked where the point is, as every mouse message asks,
  // unless a control holds the mouse.
  if (!g_capture || g_capture == w) {
    const LRESULT hit = w->Perform(WM_NCHITTEST, 0, PointToLParam(screen));
    if (hit != HTCLIENT && !g_capture) {
      UINT nc = 0;
      switch (m.Msg) {
        case WM_MOUSEMOVE: nc = WM_NCMOUSEMOVE; break;
        case WM_LBUTTONDOWN: nc = WM_NCLBUTTONDOWN; break;
        case WM_LBUTTONUP: nc = WM_NCLBUTTONUP; break;
        case WM_LBUTTONDBLCLK: nc = WM_NCLBUTTONDBLCLK; break;
        case WM_RBUTTONDOWN: nc = WM_NCRBUTTONDOWN; break;
        case WM_RBUTTONUP: nc = WM_NCRBUTTONUP; break;
        default: break;
      }
      if (nc) w->Perform(nc, WPARAM(hit), PointToLParam(screen));
      return;
    }
  }

  // Dragging: ask the control under the mouse, drop on release.
  if (g_dragControl && (m.Msg == WM_MOUSEMOVE || m.Msg == WM_LBUTTONUP)) {
    // The handlers may free the source or a target: a freed source clears
    // g_dragControl and a freed target g_dragTarget; the new target's
    // lifetime says whether it is still there.
    TControl* source = g_dragControl;
    TControl* target = FindDragTarget(screen, false);
    const auto targetAlive = target ? target->Lifetime() : std::weak_ptr<void>();
    bool accept = false;
    if (g_dragTarget && target != g_dragTarget)
      DragOverTo(g_dragTarget, source, g_dragTarget->ScreenToClient(screen), dsDragLeave, accept);
    accept = false;
    if (target && !targetAlive.expired() && g_dragControl == source)
      DragOverTo(target, source, target->ScreenToClient(screen),
                 target != g_dragTarget ? dsDragEnter : dsDragMove, accept);
    g_dragTarget = accept && !targetAlive.expired() ? target : nullptr;
    if (m.Msg == WM_LBUTTONUP && g_dragControl == source) {
      TControl* dropTarget = g_dragTarget;
      if (dropTarget) DragDropTo(dropTarget, source, dropTarget->ScreenToClient(screen));
      if (g_dragControl == source) source->EndDrag(dropTarget != nullptr);
    }
    return;
  }

  // The captured control gets the mouse wherever it is; otherwise the
  // topmost graphic control under it, or the window itself.
  TControl* target = w;
  if (g_capture && g_capture != w) target = g_capture;
  else if (!g_capture)
    if (TControl* child = w->ControlAtPos(p, false)) target = child;
  const TPoint local = target == w ? p : target->ScreenToClient(screen);
  if (m.Msg == WM_MOUSEMOVE) {
    SetMouseControl(target);
    if (MouseMoveObserver) MouseMoveObserver(target, local);
    // The window (and through it its parents and their hooks) may set the
    // cursor itself; otherwise the control under the mouse gives it.
    g_cursorWidget = ClientWidget(*w);
    if (w->Perform(WM_SETCURSOR, WPARAM(w), MakeLParam(HTCLIENT, WM_MOUSEMOVE)) == 0)
      if (auto* client = ClientWidget(*w)) {
        TCursor c = target->Cursor();
        if (c == crDefault) c = w->Cursor();
        client->setCursor(ShapeOf(c));
      }
  }
  if (IsButtonDown(m.Msg) && target != w) SetMouseControl(target);
  TMessage delivered = m;
  delivered.LParam = PointToLParam(local);
  target->Perform(delivered);
  m.Result = delivered.Result;
}

// ---- Keys ------------------------------------------------------------------

namespace {

// Key messages carry the shift state's bits in LParam.
TShiftState KeyShift(LPARAM lp) { return TShiftState::FromBits(uint64_t(lp)); }

}  // namespace

bool ControlAccess::DoKeyDown(TWinControl* w, WORD& key, TShiftState shift) {
  // A freed control counts as handled: nothing of it may run any more.
  const auto alive = w->Lifetime();
  TCustomForm* form = ::GetParentForm(w);
  // The form's menus and actions come first: a shortcut they take is theirs alone.
  if (form && (form->IsShortCut(key, shift) || key == 0 || alive.expired())) return true;
  if (form && form != w && form->KeyPreview()) {
    static_cast<TWinControl*>(form)->KeyDown(key, shift);
    if (key == 0 || alive.expired()) return true;
  }
  if (!w->ControlStyle().Contains(csNoStdEvents)) {
    w->KeyDown(key, shift);
    if (key == 0 || alive.expired()) return true;
  }
  return false;
}

bool ControlAccess::DoKeyPress(TWinControl* w, char32_t& ch) {
  // A freed control counts as handled: nothing of it may run any more.
  const auto alive = w->Lifetime();
  TCustomForm* form = ::GetParentForm(w);
  if (form && form != w && form->KeyPreview()) {
    static_cast<TWinControl*>(form)->KeyPress(ch);
    if (ch == 0 || alive.expired()) return true;
  }
  if (!w->ControlStyle().Contains(csNoStdEvents)) {
    w->KeyPress(ch);
    if (ch == 0 || alive.expired()) return true;
  }
  return false;
}

void ControlAccess::KeyInput(TWinControl* w, QKeyEvent* e) {
  const TShiftState shift = ShiftOf(e->modifiers());
  const LPARAM data = LPARAM(shift.Bits());
  const auto alive = w->Lifetime();
  if (const WORD key = VirtualKeyOf(e)) {
    // A handled key (set to 0, or taken as a dialog key) makes no character.
    if (w->Perform(CN_KEYDOWN, key, data) != 0) return;
  }
  for (char32_t ch : e->text().toUcs4()) {
    if (alive.expired()) return;
    if (shift.Contains(ssAlt)) {
      if (TCustomForm* form = ::GetParentForm(w))
        if (form->Perform(CM_DIALOGCHAR, ch, data) != 0) continue;
    }
    w->Perform(CN_CHAR, ch, data);
  }
}

bool ControlAccess::NativeKey(TWinControl* w, QWidget* native, QKeyEvent* e) {
  const TShiftState shift = ShiftOf(e->modifiers());
  const LPARAM data = LPARAM(shift.Bits());
  if (const WORD key = VirtualKeyOf(e))
    if (w->Perform(CN_KEYDOWN, key, data) != 0) return true;  // handled: swallowed
  const QString text = e->text();
  if (text.isEmpty()) return false;
  QString typed;
  for (char32_t ch : text.toUcs4()) {
    if (shift.Contains(ssAlt))
      if (TCustomForm* form = ::GetParentForm(w))
        if (form->Perform(CM_DIALOGCHAR, ch, data) != 0) continue;
    char32_t c = ch;
    if (DoKeyPress(w, c)) continue;  // swallowed by OnKeyPress
    typed += QString::fromUcs4(&c, 1);
  }
  if (typed == text) return false;  // the widget handles the key as it came
  if (!typed.isEmpty()) {
    // The character was changed: the widget gets the new one.
    QKeyEvent changed(QEvent::KeyPress, typed.size() == 1 ? 0 : e->key(), e->modifiers(), typed);
    QCoreApplication::sendEvent(native, &changed);
  }
  return true;
}

void ControlAccess::KeyRelease(TWinControl* w, QKeyEvent* e) {
  if (const WORD key = VirtualKeyOf(e))
    w->Perform(CN_KEYUP, key, LPARAM(ShiftOf(e->modifiers()).Bits()));
}

void TWinControl::KeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}
void TWinControl::KeyUp(WORD& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}
void TWinControl::KeyPress(char32_t& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}
void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}
void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

// ---- TWinControl -----------------------------------------------------------

TWinControl::TWinControl(TComponent* AOwner)
    : TControl(AOwner), backend_(std::make_unique<Backend>()) {
  LiveWindows()[this] = g_nextSerial++;
  WindowProc = [this](TMessage& m) { RunHooks(m); };
}

TWinControl::~TWinControl() {
  Destroying();
  // A window frees its child controls with itself.
  while (!winControls_.empty() || !controls_.empty()) {
    TControl* child = !winControls_.empty() ? static_cast<TControl*>(winControls_.back())
                                            : controls_.back();
    delete child;
  }
  DestroyHandleTree();
  LiveWindows().erase(this);
}

TControl* TWinControl::Controls(int index) const {
  if (index < 0 || index >= ControlCount())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  if (index < int(controls_.size())) return controls_[size_t(index)];
  return winControls_[size_t(index) - controls_.size()];
}

void TWinControl::InsertControl(TControl* c) {
  if (!c || c->parent_ == this) return;
  if (auto* w = dynamic_cast<TWinControl*>(c); w && w->ContainsControl(this))
    throw EInvalidOperation("A control cannot be placed inside one of its own children");
  Perform(CM_CONTROLLISTCHANGE, WPARAM(c), 1);
  c->parent_ = this;
  if (auto* w = dynamic_cast<TWinControl*>(c)) {
    winControls_.push_back(w);
    tabList_.push_back(w);
  } else {
    controls_.push_back(c);
  }
  c->Perform(CM_PARENTCOLORCHANGED);
  c->Perform(CM_PARENTFONTCHANGED);
  c->Perform(CM_PARENTSHOWHINTCHANGED);
  if (auto* w = dynamic_cast<TWinControl*>(c); w && HandleAllocated()) w->HandleNeeded();
  if (c->Align() != alNone) Realign();
  c->Invalidate();
  Perform(CM_CONTROLCHANGE, WPARAM(c), 1);
}

void TWinControl::RemoveControl(TControl* c) {
  if (!c || c->parent_ != this) return;
  const bool destroying = c->ComponentState().Contains(csDestroying);
  Perform(CM_CONTROLLISTCHANGE, WPARAM(c), 0);
  if (TCustomForm* form = ::GetParentForm(this)) form->ForgetControl(c);
  if (!destroying)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandleTree();
  if (c->visible_) InvalidateRect(c->BoundsRect());
  std::erase(controls_, c);
  std::erase_if(winControls_, [c](TWinControl* w) { return static_cast<TControl*>(w) == c; });
  std::erase_if(tabList_, [c](TWinControl* w) { return static_cast<TControl*>(w) == c; });
  c->parent_ = nullptr;
  if (c->align_ != alNone && !ComponentState().Contains(csDestroying)) Realign();
  Perform(CM_CONTROLCHANGE, WPARAM(c), 0);
}

bool TWinControl::ContainsControl(const TControl* control) const {
  for (const TControl* c = control; c; c = c->Parent())
    if (c == this) return true;
  return false;
}

TControl* TWinControl::ControlAtPos(TPoint pos, bool allowDisabled, bool allowWinControls) const {
  auto hits = [&](TControl* c) {
    const bool visible = c->Visible() || ComponentState().Contains(csDesigning);
    if (!visible || !(c->Enabled() || allowDisabled) || !PtInRect(c->BoundsRect(), pos))
      return false;
    return c->Perform(CM_HITTEST, 0, MakeLParam(pos.x - c->Left(), pos.y - c->Top())) != 0;
  };
  if (allowWinControls)
    for (auto it = winControls_.rbegin(); it != winControls_.rend(); ++it)
      if (hits(*it)) return *it;
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
    if (hits(*it)) return *it;
  return nullptr;
}

void TWinControl::Broadcast(TMessage& message) {
  for (int i = 0; i < ControlCount(); ++i) {
    Controls(i)->Perform(message);
    if (message.Result != 0) return;
  }
}

void TWinControl::NotifyControls(UINT Msg) {
  // A handler may add or remove controls: walk a copy.
  std::vector<TControl*> all(controls_.begin(), controls_.end());
  all.insert(all.end(), winControls_.begin(), winControls_.end());
  for (TControl* c : all)
    if (HasChild(c)) c->Perform(Msg);
}

bool TWinControl::HasChild(const TControl* control) const {
  return std::find(controls_.begin(), controls_.end(), control) != controls_.end() ||
         std::any_of(winControls_.begin(), winControls_.end(), [control](const TWinControl* w) {
           return static_cast<const TControl*>(w) == control;
         });
}

void TWinControl::GetChildren(const TGetChildProc& proc, TComponent* root) {
  for (int i = 0; i < ControlCount(); ++i)
    if (TControl* c = Controls(i); c->Owner() == root) proc(c);
}

void TWinControl::Loaded() {
  TControl::Loaded();
  auto order = [](const TWinControl* c) {
    return c->pendingTabOrder_ < 0 ? INT32_MAX : c->pendingTabOrder_;
  };
  std::stable_sort(tabList_.begin(), tabList_.end(),
                   [&](const TWinControl* a, const TWinControl* b) { return order(a) < order(b); });
  ComputeNonClient();
  Realign();
}

// ---- Alignment ---------------------------------------------------------------

void TWinControl::DisableAlign() { ++alignLevel_; }

void TWinControl::EnableAlign() {
  if (alignLevel_ > 0) --alignLevel_;
  if (alignLevel_ == 0 && ControlState().Contains(csAlignmentNeeded)) Realign();
}

void TWinControl::Realign() { AlignControl(nullptr); }

void TWinControl::AlignControl(TControl* AControl) {
  if (ComponentState().Contains(csDestroying)) return;
  if (alignLevel_ != 0 || ComponentState().Contains(csLoading)) {
    IncludeControlState(csAlignmentNeeded);
    return;
  }
  DisableAlign();
  TRect r = ClientRect();
  AdjustClientRect(r);
  try {
    ArrangeChildren(AControl, r);
  } catch (...) {
    ExcludeControlState(csAlignmentNeeded);
    --alignLevel_;
    throw;
  }
  ExcludeControlState(csAlignmentNeeded);
  EnableAlign();
}

void TWinControl::ArrangeChildren(TControl* AControl, TRect& rect) {
  auto before = [](TControl* c1, TControl* c2, TAlign a) {
    switch (a) {
      case alTop: return c1->Top() < c2->Top();
      case alBottom: return c1->Top() + c1->Height() > c2->Top() + c2->Height();
      case alLeft: return c1->Left() < c2->Left();
      case alRight: return c1->Left() + c1->Width() > c2->Left() + c2->Width();
      default: return false;
    }
  };
  const bool designing = ComponentState().Contains(csDesigning);
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
    std::vector<TControl*> list;
    auto takes = [&](TControl* c) { return c->Align() == a && (c->Visible() || designing); };
    if (AControl && AControl->parent_ == this && takes(AControl)) list.push_back(AControl);
    for (int i = 0; i < ControlCount(); ++i) {
      TControl* c = Controls(i);
      if (c == AControl || !takes(c)) continue;
      size_t j = 0;
      while (j < list.size() && !before(c, list[j], a)) ++j;
      list.insert(list.begin() + long(j), c);
    }
    for (TControl* c : list) {
      // A resize handler run by an earlier SetBounds may have freed or moved it.
      if (!HasChild(c)) continue;
      const int w = rect.Width(), h = rect.Height();
      switch (a) {
        case alTop: c->SetBounds(rect.Left, rect.Top, w, c->Height()); rect.Top += c->Height(); break;
        case alBottom:
          c->SetBounds(rect.Left, rect.Bottom - c->Height(), w, c->Height());
          rect.Bottom -= c->Height();
          break;
        case alLeft: c->SetBounds(rect.Left, rect.Top, c->Width(), h); rect.Left += c->Width(); break;
        case alRight:
          c->SetBounds(rect.Right - c->Width(), rect.Top, c->Width(), h);
          rect.Right -= c->Width();
          break;
        case alClient: c->SetBounds(rect.Left, rect.Top, std::max(0, w), std::max(0, h)); break;
        default: break;
      }
    }
  }
}

// ---- Tab order and focus -------------------------------------------------------

int TWinControl::TabOrder() const {
  if (!parent_) return -1;
  const auto& list = parent_->tabList_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : int(it - list.begin());
}

void TWinControl::SetTabOrder(int value) {
  if (ComponentState().Contains(csLoading)) {
    // Siblings read later are not there yet: the parent sorts when loaded.
    pendingTabOrder_ = value;
    return;
  }
  if (!parent_) return;
  auto& list = parent_->tabList_;
  std::erase(list, this);
  value = std::clamp(value, 0, int(list.size()));
  list.insert(list.begin() + value, this);
}

void TWinControl::SetTabStop(bool value) {
  if (value == tabStop_) return;
  tabStop_ = value;
  Perform(CM_TABSTOPCHANGED);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const {
  for (TWinControl* c : tabList_) {
    list.push_back(c);
    c->GetTabOrderList(list);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward,
                                          bool checkTabStop, bool checkParent) const {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  if (list.empty()) return nullptr;
  const int count = int(list.size());
  auto found = std::find(list.begin(), list.end(), current);
  int start = found == list.end() ? (goForward ? count - 1 : 0) : int(found - list.begin());
  int i = start;
  do {
    if (goForward) {
      if (++i == count) i = 0;
    } else {
      if (i == 0) i = count;
      --i;
    }
    TWinControl* c = list[size_t(i)];
    if (c->CanFocus() && (!checkTabStop || c->TabStop()) && (!checkParent || c->parent_ == this))
      return c;
  } while (i != start);
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop) {
  if (TWinControl* next = FindNextControl(current, goForward, checkTabStop, !checkTabStop))
    next->SetFocus();
}

bool TWinControl::CanFocus() const {
  TCustomForm* form = ::GetParentForm(this);
  if (!form) return false;
  for (const TControl* c = this; c && c != form; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

bool TWinControl::Focused() const {
  TCustomForm* form = ::GetParentForm(this);
  return form ? form->focusedControl_ == this : (HandleAllocated() && backend_->client->hasFocus());
}

void TWinControl::SetFocus() {
  TCustomForm* form = ::GetParentForm(this);
  if (form && form != this) {
    form->FocusControl(this);
    return;
  }
  HandleNeeded();
  backend_->client->setFocus(Qt::OtherFocusReason);
}

// ---- The window ------------------------------------------------------------------

void TWinControl::FillCreateParams(TCreateParams& params) {
  params.Caption = Text();
  params.Style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  if (Visible()) params.Style |= WS_VISIBLE;
  if (!Enabled()) params.Style |= WS_DISABLED;
  params.X = left_;
  params.Y = top_;
  params.Width = width_;
  params.Height = height_;
  params.WndParent = parent_;
  params.WindowClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  if (backend_->acceptFiles) params.ExStyle |= WS_EX_ACCEPTFILES;
}

HWND TWinControl::Handle() {
  HandleNeeded();
  return this;
}

bool TWinControl::HandleAllocated() const { return backend_ && backend_->window; }

void TWinControl::HandleNeeded() {
  if (HandleAllocated()) return;
  if (parent_) parent_->HandleNeeded();
  if (!HandleAllocated()) CreateHandleTree();
}

void TWinControl::CreateHandleTree() {
  CreateWnd();
  for (TWinControl* c : std::vector<TWinControl*>(winControls_))
    if (!c->HandleAllocated()) c->CreateHandleTree();
  UpdateShowing();
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  FillCreateParams(params);
  const bool topLevel = !parent_ || (params.Style & WS_POPUP) || (params.Style & WS_CHILD) == 0;
  backend_->topLevel = topLevel;
  backend_->style = params.Style;
  backend_->exStyle = params.ExStyle;
  QWidget* parentWidget = nullptr;
  Qt::WindowFlags flags = Qt::Widget;
  if (!topLevel) {
    parent_->HandleNeeded();
    parentWidget = parent_->backend_->client;
  } else {
    flags = (params.ExStyle & WS_EX_TOOLWINDOW) ? Qt::Tool : Qt::Window;
    if (!(params.Style & WS_CAPTION)) flags |= Qt::FramelessWindowHint;
    if (params.ExStyle & WS_EX_TOPMOST) flags |= Qt::WindowStaysOnTopHint;
    if (params.WndParent && params.WndParent != this && params.WndParent->HandleAllocated())
      parentWidget = params.WndParent->backend_->window;
  }
  auto* window = new VWindow(this, parentWidget, flags);
  auto* client = new VClient(this, window);
  window->client = client;
  backend_->window = window;
  backend_->client = client;
  window->setWindowTitle(ToQString(params.Caption));
  window->acceptFiles = (params.ExStyle & WS_EX_ACCEPTFILES) != 0;
  window->setAcceptDrops(window->acceptFiles);
  window->setEnabled(Enabled());
  client->setCursor(ShapeOf(Cursor()));
  // Without the redraw styles a resize repaints only the newly uncovered part.
  if (!(params.WindowClassStyle & (CS_HREDRAW | CS_VREDRAW)))
    client->setAttribute(Qt::WA_StaticContents);
  // A window made with scroll bars starts with the standard range 0..100.
  for (auto [which, style] : {std::pair{SB_HORZ, WS_HSCROLL}, std::pair{SB_VERT, WS_VSCROLL}}) {
    Backend::Bar& bar = backend_->bars[which];
    if ((params.Style & style) && bar.min == 0 && bar.max == 0) bar.max = 100;
  }
  ComputeNonClient();
  SyncWindowGeometry();
}

void TWinControl::DestroyWnd() {
  if (!HandleAllocated()) return;
  VWindow* window = backend_->window;
  window->control = nullptr;
  backend_->client->control = nullptr;
  backend_->window = nullptr;
  backend_->client = nullptr;
  for (auto& bar : backend_->bars) bar.widget = nullptr;  // deleted with the window
  delete window;
}

void TWinControl::DestroyHandleTree() {
  if (!HandleAllocated()) return;
  IncludeControlState(csDestroyingHandle);
  for (TWinControl* c : winControls_) c->DestroyHandleTree();
  DestroyWnd();
  ExcludeControlState(csDestroyingHandle);
}

void TWinControl::RecreateWnd() {
  if (!HandleAllocated()) return;
  const bool hadFocus = Focused();
  DestroyHandleTree();
  HandleNeeded();
  if (hadFocus && CanFocus()) SetFocus();
}

void TWinControl::ComputeNonClient() {
  TNCCalcSizeParams params;
  params.rgrc[0] = BoundsRect();
  Perform(WM_NCCALCSIZE, 0, LPARAM(&params));
  const TRect c = params.rgrc[0];
  ncMargins_ = {std::max(0, c.Left - left_), std::max(0, c.Top - top_),
                std::max(0, left_ + width_ - c.Right), std::max(0, top_ + height_ - c.Bottom)};
}

void TWinControl::FrameChanged() {
  const TRect old = ncMargins_;
  ComputeNonClient();
  SyncWindowGeometry();
  if (HandleAllocated()) backend_->window->update();
  if (!(old == ncMargins_))
    Perform(WM_SIZE, SIZE_RESTORED, MakeLParam(ClientWidth(), ClientHeight()));
}

TRect TWinControl::ClientRect() const {
  return Rect(0, 0, std::max(0, width_ - ncMargins_.Left - ncMargins_.Right),
              std::max(0, height_ - ncMargins_.Top - ncMargins_.Bottom));
}

TPoint TWinControl::ClientOrigin() const {
  if (!parent_ || backend_->topLevel) return {left_ + ncMargins_.Left, top_ + ncMargins_.Top};
  const TPoint p = parent_->ClientOrigin();
  return {p.x + left_ + ncMargins_.Left, p.y + top_ + ncMargins_.Top};
}

bool TWinControl::Showing() const {
  if (!Visible()) return false;
  if (!parent_ || backend_->topLevel) return HandleAllocated() && backend_->window->isVisible();
  return parent_->Showing();
}

void TWinControl::SyncWindowGeometry() {
  if (!HandleAllocated() || backend_->syncing) return;
  backend_->syncing = true;
  backend_->window->setGeometry(left_, top_, width_, height_);
  backend_->client->setGeometry(ncMargins_.Left, ncMargins_.Top, ClientWidth(), ClientHeight());
  LayoutScrollBars();
  backend_->syncing = false;
}

void TWinControl::LayoutScrollBars() {
  if (!HandleAllocated()) return;
  const QRect client(ncMargins_.Left, ncMargins_.Top, ClientWidth(), ClientHeight());
  for (int which : {SB_HORZ, SB_VERT}) {
    Backend::Bar& bar = backend_->bars[which];
    if (!bar.Visible()) {
      if (bar.widget) bar.widget->hide();
      continue;
    }
    if (!bar.widget) bar.widget = ControlAccess::CreateScrollBar(this, which);
    QScrollBar* w = bar.widget;
    const QSignalBlocker quiet(w);
    w->setEnabled(bar.Enabled());
    w->setRange(bar.min, std::max(bar.min, bar.page ? bar.max - int(bar.page) + 1 : bar.max));
    w->setPageStep(bar.page ? int(bar.page) : std::max(1, (bar.max - bar.min) / 10));
    w->setSliderPosition(bar.pos);
    w->setValue(bar.pos);
    if (which == SB_VERT)
      w->setGeometry(client.right() + 1, client.top(), kScrollBarSize, client.height());
    else
      w->setGeometry(client.left(), client.bottom() + 1, client.width(), kScrollBarSize);
    w->show();
  }
}

QScrollBar* ControlAccess::CreateScrollBar(TWinControl* control, int which) {
  auto* w = new QScrollBar(which == SB_VERT ? Qt::Vertical : Qt::Horizontal,
                           control->backend_->window);
  w->setFocusPolicy(Qt::NoFocus);
  const QWidget* window = control->backend_->window;
  const UINT msg = which == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
  auto send = [control, window, which, msg](int code, int pos) {
    TWinControl* c = LiveControl(control, window);
    if (!c) return;
    c->backend()->bars[which].track = pos;
    Guarded([&] { c->Perform(msg, WPARAM(code) | (WPARAM(uint16_t(pos)) << 16), 0); });
  };
  // The window decides where the thumb goes: after a request the bar shows
  // the position the window set (SetScrollPos), as window scroll bars do.
  auto settle = [control, window, which, w] {
    if (TWinControl* c = LiveControl(control, window))
      w->setSliderPosition(c->backend()->bars[which].pos);
  };
  QObject::connect(w, &QAbstractSlider::actionTriggered, w, [w, send, settle](int action) {
    switch (action) {
      case QAbstractSlider::SliderSingleStepAdd: send(SB_LINEDOWN, 0); break;
      case QAbstractSlider::SliderSingleStepSub: send(SB_LINEUP, 0); break;
      case QAbstractSlider::SliderPageStepAdd: send(SB_PAGEDOWN, 0); break;
      case QAbstractSlider::SliderPageStepSub: send(SB_PAGEUP, 0); break;
      case QAbstractSlider::SliderToMinimum: send(SB_TOP, 0); break;
      case QAbstractSlider::SliderToMaximum: send(SB_BOTTOM, 0); break;
      case QAbstractSlider::SliderMove: send(SB_THUMBTRACK, w->sliderPosition()); return;
      default: return;
    }
    send(SB_ENDSCROLL, 0);
    settle();
  });
  QObject::connect(w, &QAbstractSlider::sliderReleased, w, [w, send, settle] {
    send(SB_THUMBPOSITION, w->sliderPosition());
    send(SB_ENDSCROLL, 0);
    settle();
  });
  return w;
}

void ControlAccess::SyncFromWidget(TWinControl* w, const QRect& g) {
  if (w->backend_->syncing) return;
  if (g.x() == w->left_ && g.y() == w->top_ && g.width() == w->width_ && g.height() == w->height_)
    return;
  w->backend_->syncing = true;
  w->SetBounds(g.x(), g.y(), g.width(), g.height());
  w->backend_->syncing = false;
  w->SyncWindowGeometry();
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TWinControl::BoundsChanged(bool moved, bool resized) {
  if (resized) ComputeNonClient();
  SyncWindowGeometry();
  if (moved) Perform(WM_MOVE, 0, MakeLParam(left_, top_));
  if (resized) Perform(WM_SIZE, SIZE_RESTORED, MakeLParam(ClientWidth(), ClientHeight()));
}

void TWinControl::UpdateShowing() {
  if (!HandleAllocated()) return;
  backend_->window->setVisible(Visible());
}

void TWinControl::PaintTo(TCanvas* canvas, int x, int y) {
  if (!canvas) return;
  HandleNeeded();
  QImage image(width_, height_, QImage::Format_RGB32);
  image.fill(Qt::white);
  backend_->window->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  QPainter& p = ActivePainter(*canvas);
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(x, y, image);
  p.restore();
}

void TWinControl::Invalidate() {
  if (HandleAllocated()) {
    backend_->window->update();
    backend_->client->update();
  }
}

void TWinControl::InvalidateRect(const TRect& r) {
  if (HandleAllocated()) backend_->client->update(ToQRect(r));
}

void TWinControl::Update() {
  if (!HandleAllocated()) return;
  QWidget* top = backend_->window->window();
  QCoreApplication::sendPostedEvents(top, QEvent::UpdateRequest);
  QCoreApplication::sendPostedEvents(backend_->window, QEvent::UpdateRequest);
}

// ---- Painting ----------------------------------------------------------------------

void TWinControl::PaintHandler(TCanvas* dc, const TRect& updateRect) {
  Perform(WM_ERASEBKGND, WPARAM(dc));
  PaintWindow(dc);
  PaintControls(dc, updateRect);
}

void TWinControl::PaintControls(TCanvas* dc, const TRect& updateRect) {
  QPainter& p = ActivePainter(*dc);
  for (TControl* c : std::vector<TControl*>(controls_)) {
    TRect hit;
    if (!HasChild(c)) continue;  // freed by the painting of an earlier one
    if (!c->Visible() || !IntersectRect(hit, c->BoundsRect(), updateRect)) continue;
    p.save();
    p.translate(c->Left(), c->Top());
    p.setClipRect(QRect(0, 0, c->Width(), c->Height()), Qt::IntersectClip);
    TMessage m{WM_PAINT, WPARAM(dc), 0, 0};
    c->Perform(m);
    p.restore();
  }
}

// ---- Hooks -------------------------------------------------------------------------

int TWinControl::AddWindowHook(TWindowHookProc proc) { return hooks_.Add(std::move(proc)); }

bool TWinControl::RemoveWindowHook(int id) { return hooks_.Remove(id); }

int TWinControl::WindowHookCount() const { return hooks_.Count(); }

void TWinControl::RunHooks(TMessage& m) {
  if (hooks_.Empty()) {
    WndProc(m);
    return;
  }
  // A snapshot: hooks added or removed while the message travels do not
  // disturb it; removed ones are skipped.
  auto chain = std::make_shared<THookList<TWindowHookProc>::Snapshot>(hooks_.Take());
  std::function<void(TMessage&, size_t)> step = [this, chain, &step](TMessage& msg, size_t i) {
    while (i > 0 && !(*chain)[i - 1]->alive) --i;
    if (i == 0) {
      WndProc(msg);
      return;
    }
    auto hook = (*chain)[i - 1];
    hook->proc(msg, [&step, i](TMessage& next) { step(next, i - 1); });
  };
  step(m, chain->size());
}

// ---- Messages of windows -----------------------------------------------------------

void TWinControl::WndProc(TMessage& m) {
  if ((m.Msg >= WM_KEYDOWN && m.Msg <= WM_SYSCHAR) && !Enabled()) return;
  TControl::WndProc(m);
}

void TWinControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_PAINT: {
      auto* dc = reinterpret_cast<TCanvas*>(m.WParam);
      const TRect* r = reinterpret_cast<const TRect*>(m.LParam);
      if (dc) PaintHandler(dc, r ? *r : ClientRect());
      return;
    }
    case WM_ERASEBKGND:
      if (auto* dc = reinterpret_cast<TCanvas*>(m.WParam)) {
        QPainter& p = ActivePainter(*dc);
        p.fillRect(ToQRect(ClientRect()), ToQColor(Color()));
      }
      m.Result = 1;
      return;
    case WM_NCCALCSIZE: {
      // Visible scroll bars lie beside the client area.
      TRect& r = reinterpret_cast<TNCCalcSizeParams*>(m.LParam)->rgrc[0];
      if (backend_->bars[SB_VERT].Visible()) r.Right = std::max(r.Left, r.Right - kScrollBarSize);
      if (backend_->bars[SB_HORZ].Visible()) r.Bottom = std::max(r.Top, r.Bottom - kScrollBarSize);
      return;
    }
    case WM_NCPAINT:
      return;
    case WM_NCHITTEST: {
      const TPoint p = ScreenToClient(SmallPointToPoint(m.LParam));
      m.Result = PtInRect(ClientRect(), p) ? HTCLIENT : HTNOWHERE;
      return;
    }
    case WM_SIZE:
      Realign();
      Resize();
      return;
    case WM_SETCURSOR:
      // Parents are asked first, as the window system does.
      if (parent_ && !backend_->topLevel) m.Result = parent_->Perform(m.Msg, m.WParam, m.LParam);
      return;
    case WM_SETFOCUS:
      if (TCustomForm* form = ::GetParentForm(this); form && form != this)
        form->SetFocusedControl(this);
      return;
    case CN_KEYDOWN: {
      WORD key = WORD(m.WParam);
      const TShiftState shift = KeyShift(m.LParam);
      if (ControlAccess::DoKeyDown(this, key, shift)) {
        m.Result = 1;
        return;
      }
      int mask = 0;
      switch (key) {
        case VK_TAB: mask = DLGC_WANTTAB; break;
        case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: mask = DLGC_WANTARROWS; break;
        case VK_RETURN: case VK_EXECUTE: case VK_ESCAPE: case VK_CANCEL:
          mask = DLGC_WANTALLKEYS;
          break;
        default: break;
      }
      if (mask && Perform(CM_WANTSPECIALKEY, key, m.LParam) == 0 &&
          (Perform(WM_GETDLGCODE) & mask) == 0)
        if (TCustomForm* form = ::GetParentForm(this))
          if (form->Perform(CM_DIALOGKEY, key, m.LParam) != 0) {
            m.Result = 1;
            return;
          }
      Perform(WM_KEYDOWN, key, m.LParam);
      m.Result = 0;
      return;
    }
    case CN_KEYUP: {
      WORD key = WORD(m.WParam);
      const TShiftState shift = KeyShift(m.LParam);
      TCustomForm* form = ::GetParentForm(this);
      const auto alive = Lifetime();
      if (form && form != this && form->KeyPreview()) {
        static_cast<TWinControl*>(form)->KeyUp(key, shift);
        if (key == 0 || alive.expired()) return;
      }
      if (!ControlStyle().Contains(csNoStdEvents)) KeyUp(key, shift);
      if (key && !alive.expired()) Perform(WM_KEYUP, key, m.LParam);
      return;
    }
    case CN_CHAR: {
      char32_t ch = char32_t(m.WParam);
      if (ControlAccess::DoKeyPress(this, ch)) {
        m.Result = 1;
        return;
      }
      Perform(WM_CHAR, ch, m.LParam);
      return;
    }
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
      Broadcast(m);
      return;
    case CM_ENTER: DoEnter(); return;
    case CM_EXIT: DoExit(); return;
    case CM_VISIBLECHANGED:
      if (Visible() && (!parent_ || parent_->HandleAllocated() || backend_->topLevel))
        HandleNeeded();
      UpdateShowing();
      return;
    case CM_ENABLEDCHANGED:
      if (HandleAllocated()) backend_->window->setEnabled(Enabled());
      Invalidate();
      return;
    case CM_FONTCHANGED:
      Invalidate();
      NotifyControls(CM_PARENTFONTCHANGED);
      return;
    case CM_COLORCHANGED:
      Invalidate();
      NotifyControls(CM_PARENTCOLORCHANGED);
      return;
    case CM_SHOWHINTCHANGED:
      NotifyControls(CM_PARENTSHOWHINTCHANGED);
      return;
    case CM_SYSCOLORCHANGE:
      NotifyControls(CM_SYSCOLORCHANGE);
      Invalidate();
      return;
    case CM_TEXTCHANGED:
      if (HandleAllocated()) backend_->window->setWindowTitle(ToQString(Text()));
      Invalidate();
      return;
    case CM_CURSORCHANGED:
      if (HandleAllocated()) backend_->client->setCursor(ShapeOf(Cursor()));
      return;
    default:
      TControl::Dispatch(m);
  }
}

// ---- Canvases and painted controls ---------------------------------------------------

TControlCanvas::~TControlCanvas() { Unbind(*this); }

void TControlCanvas::CreateHandle() {
  const int w = control_ ? std::max(1, control_->Width()) : 1;
  const int h = control_ ? std::max(1, control_->Height()) : 1;
  if (!scratch_) scratch_ = std::make_unique<TBitmap>();
  scratch_->SetSize(w, h);
  QImage& img = BitmapImage(*scratch_);
  BindDevice(*this, &img, &img);
}

TCustomControl::TCustomControl(TComponent* AOwner)
    : TWinControl(AOwner), canvas_(std::make_unique<TControlCanvas>()) {
  canvas_->SetControl(this);
}
TCustomControl::~TCustomControl() = default;

namespace {
// Lends the painter of `dc` to a control's canvas while `paint` runs.
template <class F>
void PaintThrough(TCanvas* dc, TCanvas& canvas, F&& paint) {
  QPainter& p = ActivePainter(*dc);
  p.save();
  BindPainter(canvas, &p);
  try {
    paint();
  } catch (...) {
    Unbind(canvas);
    p.restore();
    throw;
  }
  Unbind(canvas);
  p.restore();
}
}  // namespace

void TCustomControl::PaintWindow(TCanvas* dc) {
  PaintThrough(dc, *canvas_, [this] { PaintContent(); });
}

TGraphicControl::TGraphicControl(TComponent* AOwner)
    : TControl(AOwner), canvas_(std::make_unique<TControlCanvas>()) {
  canvas_->SetControl(this);
}
TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::Dispatch(TMessage& m) {
  if (m.Msg != WM_PAINT) {
    TControl::Dispatch(m);
    return;
  }
  if (auto* dc = reinterpret_cast<TCanvas*>(m.WParam))
    PaintThrough(dc, *canvas_, [this] { PaintContent(); });
}

// ---- Window functions ------------------------------------------------------------------

LRESULT SendMessage(HWND wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  return wnd ? wnd->Perform(Msg, WParam, LParam) : 0;
}

namespace vantrel::qt {
void PostToWindow(TWinControl* wnd, std::function<void(TWinControl*)> action) {
  if (!wnd || !QCoreApplication::instance()) return;
  auto it = LiveWindows().find(wnd);
  if (it == LiveWindows().end()) return;
  const uint64_t serial = it->second;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [wnd, serial, action = std::move(action)] {
        auto found = LiveWindows().find(wnd);
        if (found == LiveWindows().end() || found->second != serial) return;
        Guarded([&] { action(wnd); });
      },
      Qt::QueuedConnection);
}
}  // namespace vantrel::qt

void PostMessage(HWND wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  PostToWindow(wnd, [Msg, WParam, LParam](TWinControl* w) { w->Perform(Msg, WParam, LParam); });
}

void SetWindowPos(HWND wnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  if (!wnd) return;
  (void)insertAfter;
  if (flags & SWP_FRAMECHANGED) wnd->FrameChanged();
  if (!(flags & SWP_NOMOVE) || !(flags & SWP_NOSIZE)) {
    const int nx = (flags & SWP_NOMOVE) ? wnd->Left() : x;
    const int ny = (flags & SWP_NOMOVE) ? wnd->Top() : y;
    const int nw = (flags & SWP_NOSIZE) ? wnd->Width() : cx;
    const int nh = (flags & SWP_NOSIZE) ? wnd->Height() : cy;
    wnd->SetBounds(nx, ny, nw, nh);
  }
  if (!(flags & SWP_NOZORDER) && wnd->HandleAllocated())
    RaiseWindow(WindowWidget(*wnd));
  if (flags & SWP_SHOWWINDOW) wnd->Show();
  if (flags & SWP_HIDEWINDOW) wnd->Hide();
}

void InvalidateRect(HWND wnd, const TRect* r, bool) {
  if (!wnd) return;
  if (r) wnd->InvalidateRect(*r);
  else wnd->Invalidate();
}

void ValidateRect(HWND, const TRect*) {
  // Qt keeps no invalid region we could shrink; painting what is pending is harmless.
}

void UpdateWindow(HWND wnd) {
  if (wnd) wnd->Update();
}

TWinControl* FindControlWindow(TPoint screenPos) {
  if (!QApplication::instance()) return nullptr;
  QWidget* w = QApplication::widgetAt(screenPos.x, screenPos.y);
  if (!w) {
    // Offscreen windows are not found by position; search the top-level ones.
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (!top->isVisible() || !top->geometry().contains(screenPos.x, screenPos.y)) continue;
      w = top->childAt(top->mapFromGlobal(QPoint(screenPos.x, screenPos.y)));
      if (!w) w = top;
    }
  }
  return ControlOfWidget(w);
}

TControl* FindDragTarget(TPoint screenPos, bool allowDisabled) {
  TWinControl* w = FindControlWindow(screenPos);
  if (!w) return nullptr;
  if (TControl* c = w->ControlAtPos(w->ScreenToClient(screenPos), allowDisabled)) return c;
  return w;
}

LONG GetWindowLong(HWND wnd, int index) {
  if (!wnd) return 0;
  wnd->HandleNeeded();
  if (index == GWL_STYLE) return LONG(wnd->backend()->style);
  if (index == GWL_EXSTYLE) return LONG(wnd->backend()->exStyle);
  return 0;
}

LONG SetWindowLong(HWND wnd, int index, LONG value) {
  if (!wnd || (index != GWL_STYLE && index != GWL_EXSTYLE)) return 0;
  wnd->HandleNeeded();
  DWORD& field = index == GWL_STYLE ? wnd->backend()->style : wnd->backend()->exStyle;
  TStyleStruct change{field, DWORD(value)};
  field = DWORD(value);
  if (change.styleOld != change.styleNew)
    wnd->Perform(WM_STYLECHANGED, WPARAM(index), LPARAM(&change));
  return LONG(change.styleOld);
}

void SetCursor(TCursor cursor) {
  if (g_cursorWidget) g_cursorWidget->setCursor(ShapeOf(cursor));
}

// ---- Scroll bars ---------------------------------------------------------------

namespace {
constexpr bool ValidBar(int bar) { return bar == SB_HORZ || bar == SB_VERT; }
}  // namespace

int SetScrollInfo(HWND wnd, int which, const TScrollInfo& info, bool redraw) {
  if (!wnd || !ValidBar(which)) return 0;
  auto& bar = wnd->backend()->bars[which];
  const bool wasVisible = bar.Visible();
  if (info.fMask & SIF_RANGE) {
    bar.min = info.nMin;
    bar.max = std::max(info.nMin, info.nMax);
    bar.hidden = false;
  }
  if (info.fMask & SIF_PAGE) bar.page = std::min<UINT>(info.nPage, UINT(bar.max - bar.min + 1));
  if (info.fMask & SIF_POS) bar.pos = info.nPos;
  if (info.fMask & SIF_DISABLENOSCROLL) bar.disableNoScroll = true;
  const int top = bar.page ? bar.max - int(bar.page) + 1 : bar.max;
  bar.pos = std::clamp(bar.pos, bar.min, std::max(bar.min, top));
  (void)redraw;  // the bar always shows its new state
  if (bar.Visible() != wasVisible) wnd->FrameChanged();  // the client area changes
  else ControlAccess::LayoutScrollBars(wnd);
  return bar.pos;
}

bool GetScrollInfo(HWND wnd, int which, TScrollInfo& info) {
  if (!wnd || !ValidBar(which)) return false;
  const auto& bar = wnd->backend()->bars[which];
  if (info.fMask & SIF_RANGE) {
    info.nMin = bar.min;
    info.nMax = bar.max;
  }
  if (info.fMask & SIF_PAGE) info.nPage = bar.page;
  if (info.fMask & SIF_POS) info.nPos = bar.pos;
  if (info.fMask & SIF_TRACKPOS) info.nTrackPos = bar.track;
  return true;
}

int SetScrollPos(HWND wnd, int which, int pos, bool redraw) {
  const int old = GetScrollPos(wnd, which);
  TScrollInfo info;
  info.fMask = SIF_POS;
  info.nPos = pos;
  SetScrollInfo(wnd, which, info, redraw);
  return old;
}

int GetScrollPos(HWND wnd, int which) {
  TScrollInfo info;
  info.fMask = SIF_POS;
  return GetScrollInfo(wnd, which, info) ? info.nPos : 0;
}

bool SetScrollRange(HWND wnd, int which, int minPos, int maxPos, bool redraw) {
  if (!wnd || !ValidBar(which)) return false;
  TScrollInfo info;
  info.fMask = SIF_RANGE;
  info.nMin = minPos;
  info.nMax = maxPos;
  SetScrollInfo(wnd, which, info, redraw);
  return true;
}

bool GetScrollRange(HWND wnd, int which, int& minPos, int& maxPos) {
  TScrollInfo info;
  info.fMask = SIF_RANGE;
  if (!GetScrollInfo(wnd, which, info)) return false;
  minPos = info.nMin;
  maxPos = info.nMax;
  return true;
}

bool ShowScrollBar(HWND wnd, int which, bool show) {
  if (!wnd) return false;
  for (int b : {SB_HORZ, SB_VERT}) {
    if (which != b && which != SB_BOTH) continue;
    auto& bar = wnd->backend()->bars[b];
    bar.pinned = show;
    bar.hidden = !show;
  }
  wnd->FrameChanged();
  return true;
}

// ---- Capture loops ------------------------------------------------------------------

namespace {

class CaptureFilter : public QObject {
 public:
  CaptureFilter(TControl* c, const std::function<bool(TMessage&)>& h, QEventLoop& l)
      : control(c), handler(h), loop(l) {}
  TControl* control;
  const std::function<bool(TMessage&)>& handler;
  QEventLoop& loop;

  bool eventFilter(QObject*, QEvent* e) override {
    TMessage m;
    switch (e->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(e);
        const QPoint g = me->globalPosition().toPoint();
        const TPoint p = control->ScreenToClient({g.x(), g.y()});
        m = {MouseMsgFor(e->type(), me->button()), KeysOf(me->modifiers(), me->buttons()),
             PointToLParam(p), 0};
        break;
      }
      case QEvent::KeyPress:
      case QEvent::KeyRelease: {
        auto* ke = static_cast<QKeyEvent*>(e);
        m = {UINT(e->type() == QEvent::KeyPress ? WM_KEYDOWN : WM_KEYUP), VirtualKeyOf(ke),
             LPARAM(ShiftOf(ke->modifiers()).Bits()), 0};
        break;
      }
      default:
        return false;
    }
    bool goOn = false;
    Guarded([&] { goOn = handler(m); });
    if (!goOn || GetCaptureControl() != control) loop.quit();
    return true;
  }
};

QEventLoop* g_captureLoop = nullptr;

}  // namespace

void RunCaptureLoop(TControl* control, const std::function<bool(TMessage&)>& handler) {
  if (!control || !QCoreApplication::instance()) return;
  SetCaptureControl(control);
  QEventLoop loop;
  CaptureFilter filter(control, handler, loop);
  QCoreApplication::instance()->installEventFilter(&filter);
  QEventLoop* outer = g_captureLoop;
  g_captureLoop = &loop;
  loop.exec();
  g_captureLoop = outer;
  QCoreApplication::instance()->removeEventFilter(&filter);
  if (GetCaptureControl() == control) ReleaseCapture();
}

// ---- Native widgets -------------------------------------------------------------

namespace {

// Routes a hosted widget's input through the control's messages first.
class NativeFilter : public QObject {
 public:
  NativeFilter(TWinControl* control, QWidget* native)
      : QObject(native), control_(control), window_(WindowWidget(*control)), native_(native) {}

  bool eventFilter(QObject*, QEvent* e) override {
    TWinControl* c = LiveControl(control_, window_);
    if (!c || resending_) return false;
    bool swallow = false;
    Guarded([&] {
      switch (e->type()) {
        case QEvent::KeyPress: {
          resending_ = true;
          swallow = ControlAccess::NativeKey(c, native_, static_cast<QKeyEvent*>(e));
          resending_ = false;
          break;
        }
        case QEvent::KeyRelease:
          ControlAccess::KeyRelease(c, static_cast<QKeyEvent*>(e));
          break;
        case QEvent::ShortcutOverride:
          break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: {
          auto* me = static_cast<QMouseEvent*>(e);
          const QPoint p = native_->mapTo(ClientWidget(*c), me->position().toPoint());
          c->Perform(MouseMsgFor(e->type(), me->button()), KeysOf(me->modifiers(), me->buttons()),
                     MakeLParam(p.x(), p.y()));
          if (e->type() == QEvent::MouseMove) {
            ControlAccess::SetMouseControl(c);
            if (MouseMoveObserver) MouseMoveObserver(c, {p.x(), p.y()});
          }
          break;
        }
        case QEvent::FocusIn: c->Perform(WM_SETFOCUS); break;
        case QEvent::FocusOut: c->Perform(WM_KILLFOCUS); break;
        case QEvent::Leave:
          if (MouseControl() == c) ControlAccess::SetMouseControl(nullptr);
          break;
        default: break;
      }
    });
    return swallow;
  }

 private:
  TWinControl* control_;
  const QWidget* window_;
  QWidget* native_;
  bool resending_ = false;
};

}  // namespace

namespace vantrel::qt {
void EmbedNativeWidget(TWinControl& control, QWidget* widget) {
  control.HandleNeeded();
  QWidget* client = ClientWidget(control);
  auto* layout = client->layout() ? static_cast<QBoxLayout*>(client->layout())
                                  : new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(widget);
  client->setFocusProxy(widget);
  widget->installEventFilter(new NativeFilter(&control, widget));
}
}  // namespace vantrel::qt

// ---- Dropped files -------------------------------------------------------------------

void DragAcceptFiles(HWND wnd, bool accept) {
  if (!wnd) return;
  wnd->backend()->acceptFiles = accept;
  if (auto* w = static_cast<VWindow*>(WindowWidget(*wnd))) {
    w->acceptFiles = accept;
    w->setAcceptDrops(accept);
  }
}
int DragQueryFileCount(HDROP drop) { return drop ? int(drop->Files.size()) : 0; }
std::string DragQueryFile(HDROP drop, int index) {
  if (!drop || index < 0 || index >= int(drop->Files.size())) return {};
  return drop->Files[size_t(index)];
}
TPoint DragQueryPoint(HDROP drop) { return drop ? drop->Point : TPoint{}; }
void DragFinish(HDROP) {}

// ---- Published properties ----------------------------------------------------
// The published properties of the whole controls library, here and in class
// order: a class that gives an inherited property a new default needs its
// ancestor's properties declared first, and only declarations within one file
// run in a known order at start-up (this file is always linked in).

PUBLISHED(TControl) {
  PROP_INT(Left, Left, SetLeft, 0);
  PROP_INT(Top, Top, SetTop, 0);
  PROP_INT(Width, Width, SetWidth, 0);
  PROP_INT(Height, Height, SetHeight, 0);
  PROP_ENUM(Align, Align, SetAlign, alNone);
  PROP_STR(Caption, Caption, SetCaption, "");
  PROP_INT(Color, Color, SetColor, clWindow)
      .Stored(std::function<bool(TObject*)>(
          [](TObject* o) { return !static_cast<TControl*>(o)->ParentColor(); }));
  PROP_BOOL(Enabled, Enabled, SetEnabled, true);
  PROP_OBJ(Font, Font, SetFont)
      .Stored(std::function<bool(TObject*)>(
          [](TObject* o) { return !static_cast<TControl*>(o)->ParentFont(); }));
  PROP_STR(Hint, Hint, SetHint, "");
  PROP_BOOL(ParentColor, ParentColor, SetParentColor, true);
  PROP_BOOL(ParentFont, ParentFont, SetParentFont, true);
  PROP_BOOL(ParentShowHint, ParentShowHint, SetParentShowHint, true);
  PROP_BOOL(ShowHint, ShowHint, SetShowHint, false);
  PROP_INT(Cursor, Cursor, SetCursor, crDefault);
  PROP_BOOL(Visible, Visible, SetVisible, true);
  PROP_EVENT(OnClick);
  PROP_EVENT(OnDblClick);
  PROP_EVENT(OnMouseDown);
  PROP_EVENT(OnMouseMove);
  PROP_EVENT(OnMouseUp);
  PROP_EVENT(OnResize);
}

PUBLISHED(TWinControl) {
  PROP_INT(TabOrder, TabOrder, SetTabOrder, -1);
  PROP_BOOL(TabStop, TabStop, SetTabStop, false);
  PROP_EVENT(OnEnter);
  PROP_EVENT(OnExit);
  PROP_EVENT(OnKeyDown);
  PROP_EVENT(OnKeyPress);
  PROP_EVENT(OnKeyUp);
}

PUBLISHED(TCustomForm) {
  PROP_ENUM(BorderStyle, BorderStyle, SetBorderStyle, bsSizeable);
  PROP_ENUM(Position, Position, SetPosition, poDesigned);
  PROP_ENUM(WindowState, WindowState, SetWindowState, wsNormal);
  PROP_ENUM(FormStyle, FormStyle, SetFormStyle, fsNormal);
  PROP_BOOL(KeyPreview, KeyPreview, SetKeyPreview, false);
  PROP_DEFAULT(Visible, false);
  PROP_DEFAULT(Color, clBtnFace);
  PROP_DEFAULT(ParentColor, false);
  PROP_EVENT(OnCreate);
  PROP_EVENT(OnShow);
  PROP_EVENT(OnHide);
  PROP_EVENT(OnActivate);
  PROP_EVENT(OnDeactivate);
  PROP_EVENT(OnClose);
  PROP_EVENT(OnCloseQuery);
  PROP_EVENT(OnDestroy);
}

PUBLISHED(TTimer) {
  PROP_BOOL(Enabled, Enabled, SetEnabled, true);
  PROP_INT(Interval, Interval, SetInterval, 1000);
  PROP_EVENT(OnTimer);
}

PUBLISHED(TPanel) {
  PROP_ENUM(Alignment, Alignment, SetAlignment, taCenter);
  PROP_ENUM(BevelInner, BevelInner, SetBevelInner, bvNone);
  PROP_ENUM(BevelOuter, BevelOuter, SetBevelOuter, bvRaised);
  PROP_INT(BevelWidth, BevelWidth, SetBevelWidth, 1);
  PROP_INT(BorderWidth, BorderWidth, SetBorderWidth, 0);
  PROP_ENUM(BorderStyle, BorderStyle, SetBorderStyle, bsNone);
  PROP_DEFAULT(Color, clBtnFace);
  PROP_DEFAULT(ParentColor, false);
}

PUBLISHED(TLabel) {
  PROP_ENUM(Alignment, Alignment, SetAlignment, taLeftJustify);
  PROP_ENUM(Layout, Layout, SetLayout, tlTop);
  PROP_BOOL(AutoSize, AutoSize, SetAutoSize, true);
  PROP_BOOL(WordWrap, WordWrap, SetWordWrap, false);
  PROP_BOOL(Transparent, Transparent, SetTransparent, false);
  PROP_BOOL(ShowAccelChar, ShowAccelChar, SetShowAccelChar, true);
  PROP_OBJ(FocusControl, FocusControl, SetFocusControl);
}

PUBLISHED(TBevel) {
  PROP_ENUM(Shape, Shape, SetShape, bsBox);
  PROP_ENUM(Style, Style, SetStyle, bsLowered);
}

PUBLISHED(TImage) {
  PROP_OBJ(Picture, Picture, SetPicture);
  PROP_BOOL(Stretch, Stretch, SetStretch, false);
  PROP_BOOL(Center, Center, SetCenter, false);
  PROP_BOOL(Transparent, Transparent, SetTransparent, false);
  PROP_BOOL(AutoSize, AutoSize, SetAutoSize, false);
}

PUBLISHED(TShape) {
  PROP_ENUM(Shape, Shape, SetShape, stRectangle);
  P.Obj("Pen", &Class::Pen, nullptr);
  P.Obj("Brush", &Class::Brush, nullptr);
}

PUBLISHED(TSplitter) {
  PROP_BOOL(Beveled, Beveled, SetBeveled, false);
  PROP_INT(MinSize, MinSize, SetMinSize, 30);
  PROP_EVENT(OnMoved);
  PROP_EVENT(OnCanResize);
}

PUBLISHED(TScrollBox) {
  PROP_ENUM(BorderStyle, BorderStyle, SetBorderStyle, bsSingle);
  PROP_DEFAULT(Color, clBtnFace);
  PROP_DEFAULT(ParentColor, false);
}

PUBLISHED(TPaintBox) { PROP_EVENT(OnPaint); }
