// The window of a window control: creation, geometry, styles, scroll bars, hosted widgets and dropped files.

#include "platform/classlib/controls/controlwidgets.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/classlib/controls/forms.h"

using namespace vantrel::qt;
using namespace vantrel::controlsimpl;

namespace vantrel::controlsimpl {
TWinControl* LiveControl(TWinControl* control, const QWidget* window) {
  if (!control || !LiveWindows().count(control)) return nullptr;
  return WindowWidget(*control) == window ? control : nullptr;
}
}  // namespace vantrel::controlsimpl

namespace vantrel::qt {
void RaiseWindow(QWidget* w) {
  // Child windows are stacked by the toolkit on every platform; top-level
  // ones by the window system, which offscreen has not (and says so on
  // every call).
  if (w && (!w->isWindow() || QGuiApplication::platformName() != QLatin1String("offscreen")))
    w->raise();
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

ControlAccess::Place ControlAccess::PlaceOf(TWinControl* w, const TCreateParams& params) {
  Place place;
  TWinControl* parent = w->parent_;
  place.topLevel = !parent || (params.Style & WS_POPUP) || (params.Style & WS_CHILD) == 0;
  if (!place.topLevel) {
    parent->HandleNeeded();
    place.parentWidget = parent->backend_->client;
    return place;
  }
  Qt::WindowFlags& flags = place.flags;
  flags = (params.ExStyle & WS_EX_TOOLWINDOW) ? Qt::Tool : Qt::Window;
  if (!(params.Style & WS_CAPTION)) flags |= Qt::FramelessWindowHint;
  if (params.ExStyle & WS_EX_TOPMOST) flags |= Qt::WindowStaysOnTopHint;
  if (params.ExStyle & WS_EX_NOACTIVATE) flags = kNoActivateFlags;
  if (params.WndParent && params.WndParent != w && params.WndParent->HandleAllocated())
    place.parentWidget = params.WndParent->backend_->window;
  // A pop-up without an owner would be a stranger to a modal dialog it
  // opens from (and get none of its clicks): its parent's form owns it.
  if (!place.parentWidget && parent)
    if (TCustomForm* form = ::GetParentForm(parent); form && form->HandleAllocated())
      place.parentWidget = WindowWidget(*form);
  return place;
}

void ControlAccess::Rehost(TWinControl* w) {
  TCreateParams params;
  w->FillCreateParams(params);
  const Place place = PlaceOf(w, params);
  // Without a parent only a window of its own (a form, a pop-up) stays.
  if (!w->parent_ && (params.Style & WS_CHILD) && !(params.Style & WS_POPUP)) {
    w->DestroyHandleTree();
    return;
  }
  TWinControl::Backend& b = *w->backend_;
  b.topLevel = place.topLevel;
  b.style = params.Style;
  b.exStyle = params.ExStyle;
  b.window->setParent(place.parentWidget, place.flags);
  b.window->setAttribute(Qt::WA_ShowWithoutActivating, (params.ExStyle & WS_EX_NOACTIVATE) != 0);
  w->ComputeNonClient();
  w->SyncWindowGeometry();
  w->UpdateShowing();
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  FillCreateParams(params);
  const ControlAccess::Place place = ControlAccess::PlaceOf(this, params);
  backend_->topLevel = place.topLevel;
  backend_->style = params.Style;
  backend_->exStyle = params.ExStyle;
  auto* window = new VWindow(this, place.parentWidget, place.flags);
  if (params.ExStyle & WS_EX_NOACTIVATE) window->setAttribute(Qt::WA_ShowWithoutActivating);
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
  ControlAccess::DropOverlay(this);
  ControlAccess::SaveHostedEdit(this);
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

namespace {
// Notes the bar the left button is down on, so that the mouse can be taken
// from it (CancelMouseMode) as from a control holding it.
class HeldBarWatch : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* bar, QEvent* e) override {
    const bool press = e->type() == QEvent::MouseButtonPress;
    if ((!press && e->type() != QEvent::MouseButtonRelease) ||
        static_cast<QMouseEvent*>(e)->button() != Qt::LeftButton)
      return false;
    if (press) g_heldScrollBar = static_cast<QWidget*>(bar);
    else if (g_heldScrollBar == bar) g_heldScrollBar = nullptr;
    return false;
  }
};
}  // namespace

QScrollBar* ControlAccess::CreateScrollBar(TWinControl* control, int which) {
  auto* w = new QScrollBar(which == SB_VERT ? Qt::Vertical : Qt::Horizontal,
                           control->backend_->window);
  w->setFocusPolicy(Qt::NoFocus);
  w->setContextMenuPolicy(Qt::NoContextMenu);  // the toolkit's own scroll menu
  w->installEventFilter(new HeldBarWatch(w));
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
  if (resized) {
    ControlAccess::DropOverlay(this);  // drawn for the old size
    ComputeNonClient();
  }
  SyncWindowGeometry();
  if (moved) Perform(WM_MOVE, 0, MakeLParam(left_, top_));
  if (resized) Perform(WM_SIZE, SIZE_RESTORED, MakeLParam(ClientWidth(), ClientHeight()));
}

void TWinControl::UpdateShowing() {
  if (!HandleAllocated()) return;
  backend_->window->setVisible(Visible());
}

// ---- Window functions ------------------------------------------------------------------

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

// ---- Native widgets -------------------------------------------------------------

namespace {

// Routes a hosted widget's input through the control's messages first. A
// text editor takes the mouse on its viewport: that is watched too, and the
// editor's own mouse events (only those its viewport passed up) are not
// told twice.
class NativeFilter : public QObject {
 public:
  NativeFilter(TWinControl* control, QWidget* native, QWidget* viewport)
      : QObject(native),
        control_(control),
        window_(WindowWidget(*control)),
        native_(native),
        mouseWidget_(viewport ? viewport : native) {}

  bool eventFilter(QObject* watched, QEvent* e) override {
    TWinControl* c = LiveControl(control_, window_);
    if (!c || resending_) return false;
    bool swallow = false;
    Guarded([&] {
      switch (e->type()) {
        case QEvent::KeyPress: {
          // A key whose handling raised (an edit the record refused) types
          // nothing, and the keys after it are routed through the control
          // again, so the next one tries anew.
          swallow = true;
          resending_ = true;
          try {
            swallow = ControlAccess::NativeKey(c, native_, static_cast<QKeyEvent*>(e));
          } catch (...) {
            resending_ = false;
            throw;
          }
          resending_ = false;
          break;
        }
        case QEvent::KeyRelease:
          ControlAccess::KeyRelease(c, static_cast<QKeyEvent*>(e));
          // The widget ignores releases, which would then reach the control's
          // own window and be told a second time.
          swallow = true;
          break;
        case QEvent::ShortcutOverride:
          break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: {
          // Through the capture like every mouse message: while another
          // control holds the mouse, the widget sees none of it.
          auto* me = static_cast<QMouseEvent*>(e);
          swallow = GetCaptureControl() && GetCaptureControl() != c;
          if (watched != mouseWidget_) break;
          TMessage m = MouseMessage(me, mouseWidget_->mapTo(ClientWidget(*c), me->position().toPoint()));
          ControlAccess::MouseInput(c, m);
          break;
        }
        case QEvent::FocusIn:
          // The toolkit focuses a clicked widget before anyone sees the
          // click; a click that belonged to another control's capture
          // leaves the focus where it was.
          if (static_cast<QFocusEvent*>(e)->reason() == Qt::MouseFocusReason &&
              GetCaptureControl() && GetCaptureControl() != c) {
            TCustomForm* form = ::GetParentForm(c);
            TWinControl* had = form ? form->ActiveControl() : nullptr;
            if (had && had != c && had->HandleAllocated()) {
              ClientWidget(*had)->setFocus(Qt::OtherFocusReason);
              swallow = true;
              break;
            }
          }
          c->Perform(WM_SETFOCUS);
          // Taken back at once (the control that had it keeps text it
          // cannot give up): the widget starts no caret of its own.
          swallow = !static_cast<QWidget*>(watched)->hasFocus();
          break;
        case QEvent::FocusOut: c->Perform(WM_KILLFOCUS); break;
        case QEvent::Leave:
          if (watched == mouseWidget_ && MouseControl() == c) ControlAccess::SetMouseControl(nullptr);
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
  QWidget* mouseWidget_;  // the widget the mouse events are told from
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
  // The control's popup menu stands in for the toolkit's own menus (a text
  // editor's, a scroll bar's): a right click and the keys ask the control.
  widget->setContextMenuPolicy(Qt::NoContextMenu);
  for (QWidget* part : widget->findChildren<QWidget*>()) part->setContextMenuPolicy(Qt::NoContextMenu);
  // The filter tells the control of the mouse: what the widget leaves goes no
  // further up, to the control's own window, which would tell it again.
  widget->setAttribute(Qt::WA_NoMousePropagation);
  auto* area = qobject_cast<QAbstractScrollArea*>(widget);
  auto* filter = new NativeFilter(&control, widget, area ? area->viewport() : nullptr);
  widget->installEventFilter(filter);
  if (area) area->viewport()->installEventFilter(filter);
  ControlAccess::RestoreHostedEdit(&control, widget);
}
}  // namespace vantrel::qt

// A re-created edit comes back with its text and selection (the undo history
// goes with the old widget; moving a control to a new parent keeps it whole).
void ControlAccess::SaveHostedEdit(TWinControl* w) {
  TWinControl::Backend::SavedEdit& saved = w->backend_->savedEdit;
  QWidget* native = w->backend_->client->focusProxy();
  if (auto* line = qobject_cast<QLineEdit*>(native)) {
    const int start = line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
    const int end = line->hasSelectedText() ? line->selectionEnd() : start;
    // The cursor stands at the end it was moved to.
    const bool atStart = line->cursorPosition() == start && start != end;
    saved = {line->text(), atStart ? end : start, atStart ? start : end, true};
  } else if (auto* text = qobject_cast<QPlainTextEdit*>(native)) {
    const QTextCursor cursor = text->textCursor();
    saved = {text->toPlainText(), cursor.anchor(), cursor.position(), true};
  }
}

void ControlAccess::RestoreHostedEdit(TWinControl* w, QWidget* native) {
  TWinControl::Backend::SavedEdit& saved = w->backend_->savedEdit;
  if (!saved.valid) return;
  if (auto* line = qobject_cast<QLineEdit*>(native)) {
    line->setText(saved.text);
    line->setCursorPosition(saved.anchor);
    line->cursorForward(true, saved.position - saved.anchor);
  } else if (auto* text = qobject_cast<QPlainTextEdit*>(native)) {
    text->setPlainText(saved.text);
    QTextCursor cursor = text->textCursor();
    cursor.setPosition(saved.anchor);
    cursor.setPosition(saved.position, QTextCursor::KeepAnchor);
    text->setTextCursor(cursor);
  }
  saved = {};
}

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
