// Mouse input: capture, the control under the mouse, clicks, dragging and capture loops.

#include "platform/classlib/controls/controlwidgets.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>

#include <optional>
#include <utility>

#include "platform/classlib/controls/forms.h"

using namespace vantrel::qt;
using namespace vantrel::controlsimpl;

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
    if (b == mbRight) Perform(WM_CONTEXTMENU, WPARAM(this), PointToLParam(ClientToScreen(p)));
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

void TControl::ContextMenu(TMessage& m) {
  if (m.Result != 0) return;
  const bool fromKeyboard = m.LParam == kContextMenuFromKeyboard;
  const TPoint at = fromKeyboard ? ClientToScreen(KeyboardPopupPoint()) : SmallPointToPoint(m.LParam);
  if ((popupMenu_ && PopupMenuHandler && PopupMenuHandler(popupMenu_, this, at)) || ShowOwnContextMenu(at)) {
    m.Result = 1;
    return;
  }
  // As the window system does: a control without a menu hands the request on.
  if (parent_) m.Result = parent_->Perform(WM_CONTEXTMENU, m.WParam, m.LParam);
}

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

bool TControl::MouseCapture() const { return g_capture == this; }
void TControl::SetMouseCapture(bool value) {
  if (value) SetCaptureControl(this);
  else if (g_capture == this) SetCaptureControl(nullptr);
}

namespace {
std::optional<TCursor> g_cursorBeforeDrag;  // set while a drag shows its cursors
}  // namespace

void vantrel::controlsimpl::ShowDragCursor(const TControl* source, bool accepted) {
  if (!Screen) return;
  if (!g_cursorBeforeDrag) g_cursorBeforeDrag = Screen->Cursor();
  Screen->SetCursor(accepted ? source->DragCursor() : crNoDrop);
}

void vantrel::controlsimpl::EndDragCursor() {
  if (g_cursorBeforeDrag && Screen) Screen->SetCursor(*g_cursorBeforeDrag);
  g_cursorBeforeDrag.reset();
}

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
  EndDragCursor();
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

void CancelMouseMode() {
  if (g_capture) g_capture->Perform(WM_CANCELMODE);
  ReleaseCapture();  // whatever the control did with the message
  // A window's scroll bar held down is let go outside: it stops repeating,
  // and the release a modal window swallows is not waited for.
  if (QWidget* bar = std::exchange(g_heldScrollBar, nullptr)) {
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(-1, -1), bar->mapToGlobal(QPointF(-1, -1)),
                   Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(bar, &up);
  }
}

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
    if (g_dragControl == source) ShowDragCursor(source, g_dragTarget != nullptr);
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

// ---- Finding windows by position ---------------------------------------------------

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
