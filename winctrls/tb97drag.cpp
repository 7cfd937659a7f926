// The toolbar's floating window and its mouse handling: frame, caption and
// close button drawn in the non-client margins, hit testing, and the move,
// size and close-button drags. The drags are state machines on the mouse
// messages that reach the bar while it holds the mouse, not nested loops.

#include <algorithm>

#include "platform/classlib/graphics/drawing.h"
#include "winctrls/tb97drag.h"

using namespace tb97;


namespace {

TSize WindowSize(TSize client) { return {client.cx + 2 * kFrame, client.cy + 2 * kFrame + kCaption}; }

std::vector<TDock97*> DocksOf(TComponent* form) {
  std::vector<TDock97*> docks;
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* d = dynamic_cast<TDock97*>(form->Components(i))) docks.push_back(d);
  return docks;
}

TRect ScreenClientRect(TDock97* d) {
  const TPoint o = d->ClientOrigin();
  return Bounds(o.x, o.y, d->ClientWidth(), d->ClientHeight());
}

}  // namespace

TToolWindow97::~TToolWindow97() {
  // The controls on the bar may outlive it; freed with it, they must not call back.
  UnwatchChildren();
  SetKeyboardFrom(nullptr);
  Application->UnhookMainWindow(appHook_);
  if (hookedForm_) hookedForm_->RemoveWindowHook(formHook_);
  if (floatParent_ && !tb97::BeingDestroyed(floatParent_)) {
    // Out of its float parent first: freeing that frees its children.
    if (Parent() == floatParent_) TCustomControl::SetParent(nullptr);
    delete floatParent_;
  }
}

const TScreenOutline* TToolWindow97::DragOutline() const {
  return drag_ ? &drag_->screen : nullptr;
}

void TToolWindow97::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || drag_) return;
  TDock97* dock = DockedTo();
  if (dock && !dock->AllowDrag()) return;
  if (TControl* c = ControlAtPos({X, Y}, false, true);
      c && c->Visible() && !dynamic_cast<TToolbarSep97*>(c))
    return;
  if (Shift.Contains(ssDouble)) {
    if (dock) {
      SetDockedTo(nullptr);
    } else if (defaultDock_) {
      // Ahead of every bar of the first row.
      dockRow_ = 0;
      dockPos_ = -8;
      SetDockedTo(defaultDock_);
    }
    return;
  }
  StartMove({X, Y}, Shift.Contains(ssCtrl));
}

void TToolWindow97::BeginDrag97(int kind) {
  drag_ = std::make_unique<Drag>();
  drag_->kind = Drag::Kind(kind);
  if (auto* form = dynamic_cast<TCustomForm*>(hookedForm_)) {
    drag_->keyForm = form;
    drag_->keyHook = form->AddShortCutHook([this](WORD& key, TShiftState) {
      if (!drag_) return false;
      if (key == VK_CONTROL && drag_->kind == Drag::Move) DragTo(drag_->mouse, true);
      return true;
    });
    // Releasing Ctrl lets the outline dock again at once, as pressing it floated it.
    drag_->keyUpHook = form->AddKeyUpHook([this](WORD& key, TShiftState) {
      if (!drag_) return false;
      if (key == VK_CONTROL && drag_->kind == Drag::Move) DragTo(drag_->mouse, false);
      return true;
    });
  }
  SetMouseCapture(true);
}

void TToolWindow97::StartMove(TPoint p, bool preventDocking) {
  BeginDrag97(Drag::Move);
  Drag& d = *drag_;
  const TRect nc = NonClientMargins();
  d.grab = {p.x + nc.Left, p.y + nc.Top};
  d.initial = {Width() - 1, Height() - 1};
  d.preventDocking = preventDocking;
  d.sizes.push_back({nullptr, WindowSize(ArrangeControls(false, false, nullptr, floatRightX_))});
  for (TDock97* dock : DocksOf(Owner()))
    d.sizes.push_back({dock, dock == DockedTo() ? TSize{Width(), Height()}
                                                : ArrangeControls(false, false, dock, 0)});
  DragTo(ClientToScreen(p), preventDocking);
}

void TToolWindow97::DragTo(TPoint m, bool ctrl) {
  Drag& d = *drag_;
  d.mouse = m;
  if (d.kind == Drag::Close) {
    const TPoint w = {m.x - Left(), m.y - Top()};
    const bool inside = PtInRect(CloseButtonRect({Width(), Height()}), w);
    if (inside != d.pressed) {
      d.pressed = closePressed_ = inside;
      FrameChanged();
    }
    return;
  }
  if (d.kind == Drag::Size) {
    const TPoint w = {m.x - Left(), m.y - Top()};
    const bool horizontal = d.edge == HTLEFT || d.edge == HTRIGHT;
    const int wanted = d.edge == HTLEFT ? Width() - w.x : d.edge == HTRIGHT ? w.x
                       : d.edge == HTTOP ? Height() - w.y : w.y;
    const int current = horizontal ? Width() : Height();
    const int direction = wanted < current ? -1 : 1;
    std::vector<int> values;
    for (const TSize& s : d.candidates) values.push_back(horizontal ? s.cx : s.cy);
    const bool stick = !(d.outline != d.start && direction == d.lastDirection);
    d.lastDirection = direction;
    const int v = PickCandidate(values, wanted, current, d.tolerance, stick);
    const TSize s = d.candidates[size_t(std::find(values.begin(), values.end(), v) - values.begin())];
    // The edge opposite the dragged one stays, and the top or left too.
    TRect r = Bounds(d.start.Left, d.start.Top, s.cx, s.cy);
    if (d.edge == HTLEFT) OffsetRect(r, d.start.Right - r.Right, 0);
    if (d.edge == HTTOP) OffsetRect(r, 0, d.start.Bottom - r.Bottom);
    d.outline = r;
    d.screen.Show(r, kFrame);
    return;
  }
  d.preventDocking = ctrl;
  d.target = nullptr;
  auto sizeFor = [&](TDock97* dock) {
    for (const auto& [k, s] : d.sizes)
      if (k == dock) return s;
    return d.sizes.front().second;
  };
  if (!d.preventDocking) {
    // Top and bottom docks first; left and right ones only for bars that may go there.
    for (bool vertical : {false, true}) {
      if (vertical && !canDockLeftRight_) break;
      for (TDock97* dock : DocksOf(Owner())) {
        if (d.target || dock->Vertical() != vertical || !dock->AllowDrag()) continue;
        const TRect would = OutlineAt(m, sizeFor(dock), d.grab, d.initial);
        if (DockAccepts(ScreenClientRect(dock), vertical, m, would, d.grab, d.initial))
          d.target = dock;
      }
    }
  }
  const TRect work = Screen->WorkAreaRect();
  if (!d.target) m = {std::clamp(m.x, work.Left, work.Right - 1), std::clamp(m.y, work.Top, work.Bottom - 1)};
  d.outline = OutlineAt(m, sizeFor(d.target), d.grab, d.initial);
  if (!d.target) d.outline = KeepReachable(d.outline, work);
  d.screen.Show(d.outline, d.target ? 1 : kFrame);
}

void TToolWindow97::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (drag_) DragTo(ClientToScreen({X, Y}), Shift.Contains(ssCtrl));
}

void TToolWindow97::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (!drag_) return;
  DragTo(ClientToScreen({X, Y}), Shift.Contains(ssCtrl));
  EndDrag(Button == mbLeft);
}

void TToolWindow97::EndDrag(bool accept) {
  // Taken out first: letting the mouse go tells the bar its drag has ended.
  const std::unique_ptr<Drag> d = std::move(drag_);
  if (!d) return;
  d->screen.Hide();
  const auto alive = Lifetime();
  if (GetCaptureControl() == this) ReleaseCapture();
  if (alive.expired()) return;
  const bool wasPressed = closePressed_;
  closePressed_ = false;
  if (wasPressed) FrameChanged();
  if (!accept) return;
  switch (d->kind) {
    case Drag::Move: FinishMove(*d); break;
    case Drag::Size: FinishSize(*d); break;
    case Drag::Close:
      if (!d->pressed) break;
      SetVisible(false);
      if (OnClose) OnClose(this);
      break;
  }
}

void TToolWindow97::FinishMove(const Drag& d) {
  if (TDock97* dock = d.target) {
    const TPoint p = dock->ScreenToClient(d.outline.TopLeft());
    const bool vertical = dock->Vertical();
    const int centre = vertical ? p.x + d.outline.Width() / 2 : p.y + d.outline.Height() / 2;
    bool newRow = false;
    const int row = dock->RowAtForDrop(centre, newRow);
    if (newRow) dock->InsertRowBefore(row);
    dockRow_ = row;
    dockPos_ = vertical ? p.y : p.x;
  } else {
    floatingRect_ = d.outline;
  }
  SetDockedTo(d.target);
  MoveOnScreen(true);
}

void TToolWindow97::StartSize(int edge) {
  BeginDrag97(Drag::Size);
  Drag& d = *drag_;
  d.edge = edge;
  d.start = d.outline = BoundsRect();
  int widest = 0;
  std::vector<TControl*> controls;
  for (const LayoutItem& it : VisibleItems(controls))
    if (!it.separator) widest = std::max(widest, it.width);
  for (const TSize& s : CandidateSizes(
           [this](int wrapAt) { return ArrangeControls(false, false, nullptr, wrapAt); }, widest))
    d.candidates.push_back(WindowSize(s));
  const bool horizontal = edge == HTLEFT || edge == HTRIGHT;
  std::stable_sort(d.candidates.begin(), d.candidates.end(), [horizontal](TSize a, TSize b) {
    return horizontal ? a.cx > b.cx : a.cy > b.cy;
  });
  std::vector<int> values;
  for (const TSize& s : d.candidates) values.push_back(horizontal ? s.cx : s.cy);
  d.tolerance = SizeTolerance(values, horizontal ? Width() : Height());
}

void TToolWindow97::FinishSize(const Drag& d) {
  if (d.outline == d.start) return;
  floatRightX_ = d.outline.Width() - kFrame;
  floatingRect_ = d.outline;
  SetBoundsRect(d.outline);
  ArrangeControls();
  MoveOnScreen(true);
}

void TToolWindow97::StartClose() {
  BeginDrag97(Drag::Close);
  drag_->pressed = closePressed_ = true;
  FrameChanged();
}

void TToolWindow97::PaintNonClient(TCanvas* dc) {
  const TSize size{Width(), Height()};
  TRect r = Rect(0, 0, size.cx, size.cy);
  DrawEdge(dc, r, EDGE_RAISED, BF_RECT | BF_ADJUST);
  dc->Brush()->SetColor(clBtnFace);
  for (int i = 2; i < kFrame; ++i) {
    dc->FrameRect(r);
    InflateRect(r, -1, -1);
  }
  const TRect caption = CaptionRect(size, closeButton_);
  dc->Font()->SetName("MS Sans Serif");
  dc->Font()->SetHeight(-11);
  DrawCaption(dc, caption, Caption(), DC_ACTIVE | DC_SMALLCAP | DC_TEXT);
  dc->Pen()->SetColor(clBtnFace);
  dc->MoveTo(0, caption.Bottom);
  dc->LineTo(size.cx, caption.Bottom);
  if (!closeButton_) return;
  TRect button = CloseButtonRect(size);
  dc->Brush()->SetColor(clActiveCaption);
  dc->FrameRect(button);
  InflateRect(button, -1, -1);
  DrawFrameControl(dc, button, DFC_CAPTION, DFCS_CAPTIONCLOSE | (closePressed_ ? DFCS_PUSHED : 0));
}

void TToolWindow97::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_CONTROLLISTCHANGE: {
      auto* c = reinterpret_cast<TControl*>(m.WParam);
      order_.erase(std::remove(order_.begin(), order_.end(), c), order_.end());
      if (m.LParam) order_.push_back(c);
      WatchChild(c, m.LParam != 0);
      break;
    }
    case CM_CONTROLCHANGE:
      ArrangeControls();
      break;
    case CM_VISIBLECHANGED:
      if (hiding_ == 0)
        if (TDock97* d = DockedTo()) d->ChangeDockList(Visible(), this, Visible());
      break;
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
      TCustomControl::Dispatch(m);
      if (drag_ && GetCaptureControl() != this) {
        drag_->screen.Hide();
        drag_.reset();
        closePressed_ = false;
      }
      return;
    default:
      break;
  }
  if (!Floating()) {
    TCustomControl::Dispatch(m);
    return;
  }
  switch (m.Msg) {
    case WM_NCCALCSIZE: {
      TCustomControl::Dispatch(m);
      TRect& r = reinterpret_cast<TNCCalcSizeParams*>(m.LParam)->rgrc[0];
      InflateRect(r, -kFrame, -kFrame);
      r.Top += kCaption;
      return;
    }
    case WM_NCPAINT:
      if (auto* dc = reinterpret_cast<TCanvas*>(m.WParam)) PaintNonClient(dc);
      return;
    case WM_NCHITTEST: {
      const TPoint p = SmallPointToPoint(m.LParam);
      m.Result = FloatHitTest({p.x - Left(), p.y - Top()}, {Width(), Height()}, closeButton_);
      return;
    }
    case WM_NCLBUTTONDOWN:
      if (m.WParam == HTLEFT || m.WParam == HTRIGHT || m.WParam == HTTOP || m.WParam == HTBOTTOM)
        StartSize(int(m.WParam));
      else if (m.WParam == HTCLOSE)
        StartClose();
      else
        TCustomControl::Dispatch(m);
      return;
    case WM_ACTIVATE:
      TCustomControl::Dispatch(m);
      if (m.WParam != WA_INACTIVE) ActivationTaken();
      return;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<TMinMaxInfo*>(m.LParam);
      info->ptMinTrackSize = {1, 1};
      return;
    }
    default:
      TCustomControl::Dispatch(m);
  }
}
