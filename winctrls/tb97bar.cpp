// The toolbar: docking and floating, allowed parents, the layout of its
// controls and its docked looks. Dragging and the floating window's frame
// are in tb97drag.cpp.

#include <algorithm>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/menus/menus.h"
#include "winctrls/tb97drag.h"

using namespace tb97;


TToolWindow97::TToolWindow97(TComponent* AOwner) : TCustomControl(tb97::OwnerForm(AOwner, "TToolWindow97")) {
  ++disableLayout_;
  SetControlStyle({csAcceptsControls, csClickEvents, csSetCaption, csDoubleClicks});
  // The floating window's owner: an invisible child of the form, so the
  // tool window stays above the form and goes with it.
  auto* form = static_cast<TForm*>(AOwner);
  // Owned by nobody, so form definitions never write it; the form frees it
  // with its other children, or the bar does when it goes first.
  floatParent_ = new TFloatParent(nullptr);
  floatParent_->SetBounds(0, 0, 0, 0);
  floatParent_->SetParent(form);
  floatParent_->FreeNotification(this);
  SetColor(clBtnFace);
  // Floating bars follow their form and the application: parked while either
  // is out of sight, back when both return.
  hookedForm_ = form;
  form->FreeNotification(this);
  formHook_ = form->AddWindowHook([form](TMessage& m, const TWndMethod& next) {
    // Its floating bars taking activation leave the form active.
    if (m.Msg == WM_ACTIVATE && m.WParam == WA_INACTIVE && tb97::FloatingBarOf(form, m.LParam))
      return;
    next(m);
    if (m.Msg == CM_VISIBLECHANGED || m.Msg == WM_SIZE)
      ShowHideFloatingToolbars(form, Application->Active());
  });
  appHook_ = Application->HookMainWindow([form](TMessage& m) {
    if (m.Msg == CM_ACTIVATE || m.Msg == CM_DEACTIVATE)
      ShowHideFloatingToolbars(form, m.Msg == CM_ACTIVATE);
    return false;  // every other hook sees it too
  });
  --disableLayout_;
  ArrangeControls();
}

void ShowHideFloatingToolbars(TCustomForm* form, bool appActive) {
  const bool hide = !appActive || !form->Visible() || form->WindowState() == wsMinimized;
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* bar = dynamic_cast<TToolWindow97*>(form->Components(i)))
      bar->SetParked(hide && bar->Floating());
}

void TToolWindow97::SetParked(bool value) {
  if (value == parked_ || (value && !Visible())) return;
  parked_ = value;
  ++hiding_;
  SetVisible(!value);
  --hiding_;
}


void TToolWindow97::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == defaultDock_) defaultDock_ = nullptr;
  if (AComponent == floatParent_) floatParent_ = nullptr;
  if (AComponent == hookedForm_) hookedForm_ = nullptr;
  if (AComponent == keyboardFrom_) keyboardFrom_ = nullptr;
}

void TToolWindow97::SetDefaultDock(TDock97* value) {
  defaultDock_ = value;
  if (value) value->FreeNotification(this);
}

TDock97* TToolWindow97::DockedTo() const { return dynamic_cast<TDock97*>(Parent()); }

bool TToolWindow97::Floating() const { return Parent() && Parent() == floatParent_; }

DockType TToolWindow97::CurrentDockType() const {
  const TDock97* d = DockedTo();
  return !d ? dtNone : d->Vertical() ? dtLeftRight : dtTopBottom;
}

void TToolWindow97::SetDockRow(int value) {
  dockRow_ = value;
  if (TDock97* d = DockedTo()) d->ArrangeToolbars();
}

void TToolWindow97::SetDockPos(int value) {
  dockPos_ = value;
  if (TDock97* d = DockedTo()) d->ArrangeToolbars();
}

void TToolWindow97::SetFloatRightX(int value) {
  floatRightX_ = std::max(0, value);
  if (Floating()) ArrangeControls();
}

void TToolWindow97::SetCloseButton(bool value) {
  closeButton_ = value;
  if (Floating()) FrameChanged();
}

void TToolWindow97::SetDockedTo(TDock97* value) {
  if (value) SetParked(false);  // a docked bar is never parked
  TDock97* old = DockedTo();
  const bool changed = value != old || !Parent();
  if (changed && OnDockChanging) OnDockChanging(this);
  if (value) value->BeginArrange();
  bool hidden = false;
  if (changed && Visible()) {
    // Hidden while it moves, but kept in the old dock's list meanwhile.
    ++hiding_;
    if (old) old->BeginArrange();
    SetVisible(false);
    if (old) old->EndArrange();
    hidden = true;
  }
  ++disableLayout_;
  if (value) {
    if (Parent() != value) SetParent(value);
  } else {
    if (IsRectEmpty(floatingRect_)) {
      floatingRect_ = ClientToWindowRect(Bounds(0, 0, ClientWidth(), ClientHeight()));
      OffsetRect(floatingRect_, -floatingRect_.Left, -floatingRect_.Top);
    }
    const TRect r = floatingRect_;
    if (Parent() != floatParent_) SetParent(floatParent_);
    SetBoundsRect(r);
  }
  --disableLayout_;
  ArrangeControls();
  if (hidden) {
    --hiding_;
    SetVisible(true);
  }
  if (value) {
    value->EndArrange();
    value->ArrangeToolbars();
  }
  if (changed && OnDockChanged) OnDockChanged(this);
}

void TToolWindow97::SetParent(TWinControl* AParent) {
  if (AParent && AParent == Owner() && floatParent_) AParent = floatParent_;
  if (AParent && !dynamic_cast<TDock97*>(AParent) && AParent != Owner() &&
      !dynamic_cast<TFloatParent*>(AParent))
    throw EInvalidOperation(
        "TToolWindow97 can only be placed on a TDock97 or directly on the form");
  if (AParent == Parent()) return;
  const bool destroying = BeingDestroyed(this);
  if (!destroying && OnRecreating) OnRecreating(this);
  const bool listed = Visible() || hiding_ > 0;
  if (TDock97* old = DockedTo()) old->ChangeDockList(false, this, listed);
  TCustomControl::SetParent(AParent);
  if (TDock97* now = DockedTo()) now->ChangeDockList(true, this, listed);
  if (!destroying && OnRecreated) OnRecreated(this);
}

void TToolWindow97::FillCreateParams(TCreateParams& params) {
  TCustomControl::FillCreateParams(params);
  if (Parent() && Parent() == floatParent_) {
    // A frameless tool window; the bar draws its own frame and caption. It
    // becomes active only while one of its controls has the keyboard (the
    // form stays active meanwhile); clicks on its buttons leave it inactive.
    params.Style = WS_POPUP | (Visible() ? WS_VISIBLE : 0);
    params.ExStyle = WS_EX_TOOLWINDOW;
    params.WndParent = static_cast<TWinControl*>(static_cast<TForm*>(Owner()));
  }
}

void TToolWindow97::Loaded() {
  // The controls stand in the order of their places as loaded (top to
  // bottom on a bar docked left or right), not in the order they were read;
  // sorted before anything lays them out.
  if (!ComponentState().Contains(csDesigning)) {
    const bool vertical = CurrentDockType() == dtLeftRight;
    std::stable_sort(order_.begin(), order_.end(), [vertical](TControl* a, TControl* b) {
      return vertical ? a->Top() < b->Top() : a->Left() < b->Left();
    });
  }
  TCustomControl::Loaded();
  // A bar placed on the form itself in a definition floats: its place was
  // stored in the form's client coordinates and becomes a place on screen.
  if (Floating()) {
    const TPoint at = static_cast<TCustomForm*>(Owner())->ClientToScreen(TPoint{Left(), Top()});
    SetBounds(at.x, at.y, Width(), Height());
  }
  ArrangeControls();
  MoveOnScreen(false);  // with its final size
}

void TToolWindow97::ArrangeChildren(TControl*, TRect&) { ArrangeControls(); }

std::vector<LayoutItem> TToolWindow97::VisibleItems(std::vector<TControl*>& controls) const {
  // The order list keeps the order in which controls were placed on the bar.
  std::vector<LayoutItem> items;
  for (TControl* c : order_) {
    if (!c->Visible() || c->Parent() != this) continue;
    controls.push_back(c);
    LayoutItem it{c->Width(), c->Height()};
    if (auto* sep = dynamic_cast<TToolbarSep97*>(c)) {
      it.separator = true;
      it.blank = sep->Blank();
      it.sizeHorz = sep->SizeHorz();
      it.sizeVert = sep->SizeVert();
    }
    items.push_back(it);
  }
  return items;
}

void TToolWindow97::ArrangeControls() {
  ArrangeControls(true, true, DockedTo(), floatRightX_);
}

TSize TToolWindow97::ArrangeControls(bool canMove, bool canResize, TDock97* dock, int wrapAt) {
  if (disableLayout_ > 0 || Loading(this) || BeingDestroyed(this))
    return {ClientWidth(), ClientHeight()};
  ++disableLayout_;
  std::vector<TControl*> controls;
  LayoutInput in;
  in.items = VisibleItems(controls);
  in.dockType = !dock ? dtNone : dock->Vertical() ? dtLeftRight : dtTopBottom;
  in.wrapAt = wrapAt;
  in.dragHandle = !DockedTo() || DockedTo()->AllowDrag();
  in.docked = dock != nullptr;
  const tb97::DockedSize own = MeasureDockedSize(in.items);
  in.row = own;
  if (canMove) {
    dockedSize_ = own;
    // All bars of a row centre their controls on the row's thickness.
    if (dock && dock == DockedTo()) in.row = dock->GetRowSize(dockRow_, this);
  }
  const LayoutResult r = LayoutControls(in);
  if (canMove) {
    ++arranging_;
    for (size_t i = 0; i < controls.size(); ++i) controls[i]->SetBoundsRect(r.bounds[i]);
    --arranging_;
    lineBreaks_ = r.lineBreaks;
    Invalidate();
  }
  const int dw = r.client.cx - ClientWidth(), dh = r.client.cy - ClientHeight();
  if (canResize && (dw || dh)) {
    ++arranging_;
    SetBounds(Left(), Top(), Width() + dw, Height() + dh);
    --arranging_;
    if (TDock97* d = DockedTo(); d && canMove) d->ArrangeToolbars();
  }
  --disableLayout_;
  return r.client;
}

void TToolWindow97::PaintContent() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  const int w = ClientWidth(), h = ClientHeight();
  const DockType type = CurrentDockType();
  auto line = [c](TColor color, int x1, int y1, int x2, int y2) { DrawLine(c, color, x1, y1, x2, y2); };
  if (type == dtNone) {
    // Etched lines between wrapped lines, except where a blank separator ended one.
    for (const auto& b : lineBreaks_) {
      if (b.blank) continue;
      line(clBtnShadow, 1, b.y - 4, w - 1, b.y - 4);
      line(clBtnHighlight, 1, b.y - 3, w - 1, b.y - 3);
    }
    return;
  }
  TDock97* dock = DockedTo();
  TRect r = ClientRect();
  DrawEdge(c, r, BDR_RAISEDINNER, BF_RECT);
  InflateRect(r, -1, -1);
  const TRect nc = dock->NonClientMargins();
  dock->DrawBackground(c, r, {-nc.Left - Left(), -nc.Top - Top()});
  if (!dock->AllowDrag()) return;
  // The drag handle: two grip bars.
  for (int g : {4, 7}) {
    TRect grip = type == dtTopBottom ? Rect(g, 2, g + 3, h - 2) : Rect(2, g, w - 2, g + 3);
    DrawEdge(c, grip, BDR_RAISEDINNER, BF_RECT | BF_MIDDLE);
    c->SetPixels(type == dtTopBottom ? g : w - 3, type == dtTopBottom ? h - 3 : g, clBtnHighlight);
  }
}

void TToolWindow97::BoundsChanged(bool moved, bool resized) {
  TCustomControl::BoundsChanged(moved, resized);
  // The floating rectangle follows the window while it floats; a docked bar
  // that moves repaints the dock's pattern behind it.
  if (Floating()) floatingRect_ = BoundsRect();
  if (TDock97* d = DockedTo(); d && moved && !d->Background()->Empty()) Invalidate();
}

void TToolWindow97::MoveOnScreen(bool onlyIfFullyOffscreen) {
  if (!Floating()) return;
  const TRect r = BoundsRect();
  const TRect work = Screen->WorkAreaRect();
  if (onlyIfFullyOffscreen && !WhollyOutside(r, work)) return;
  SetBoundsRect(tb97::MoveOnScreen(r, work));
}

// ---- TToolbarSep97 ----------------------------------------------------------

TToolbarSep97::TToolbarSep97(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetControlStyle({csClickEvents, csSetCaption, csDoubleClicks});
  SetBounds(0, 0, 6, 6);
}

void TToolbarSep97::SetParent(TWinControl* AParent) {
  if (AParent && !dynamic_cast<TToolWindow97*>(AParent))
    throw EInvalidOperation("TToolbarSep97 can only be placed on a TToolWindow97");
  TGraphicControl::SetParent(AParent);
}

void TToolbarSep97::SetBlank(bool value) {
  blank_ = value;
  Invalidate();
}

void TToolbarSep97::SetSizeHorz(int value) {
  sizeHorz_ = std::max(1, value);
  if (auto* bar = dynamic_cast<TToolWindow97*>(Parent())) bar->ArrangeControls();
}

void TToolbarSep97::SetSizeVert(int value) {
  sizeVert_ = std::max(1, value);
  if (auto* bar = dynamic_cast<TToolWindow97*>(Parent())) bar->ArrangeControls();
}

void TToolbarSep97::PaintContent() {
  auto* bar = dynamic_cast<TToolWindow97*>(Parent());
  if (!bar || blank_) return;
  TCanvas* c = Canvas();
  auto line = [c](TColor color, int x1, int y1, int x2, int y2) { DrawLine(c, color, x1, y1, x2, y2); };
  const int w = Width(), h = Height();
  if (bar->CurrentDockType() == dtLeftRight) {
    line(clBtnShadow, 0, h / 2 - 1, w, h / 2 - 1);
    line(clBtnHighlight, 0, h / 2, w, h / 2);
  } else {
    line(clBtnShadow, w / 2 - 1, 0, w / 2 - 1, h);
    line(clBtnHighlight, w / 2, 0, w / 2, h);
  }
}

void TToolbarSep97::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  // A bar can be dragged by its separators too.
  if (auto* bar = dynamic_cast<TToolWindow97*>(Parent()))
    bar->MouseDown(Button, Shift, X + Left(), Y + Top());
}

PUBLISHED(TToolWindow97) {
  PROP_BOOL(CanDockLeftRight, CanDockLeftRight, SetCanDockLeftRight, true);
  PROP_OBJ(DefaultDock, DefaultDock, SetDefaultDock);
  PROP_OBJ(DockedTo, DockedTo, SetDockedTo);
  PROP_BOOL(CloseButton, CloseButton, SetCloseButton, true);
  PROP_INT(DockRow, DockRow, SetDockRow, 0);
  PROP_INT(DockPos, DockPos, SetDockPos, -1);
  PROP_DEFAULT(Color, clBtnFace);
  PROP_POPUP_MENU();
  PROP_EVENT(OnClose);
  PROP_EVENT(OnDockChanging);
  PROP_EVENT(OnDockChanged);
  PROP_EVENT(OnRecreating);
  PROP_EVENT(OnRecreated);
}

PUBLISHED(TToolbarSep97) {
  PROP_BOOL(Blank, Blank, SetBlank, false);
  PROP_INT(SizeHorz, SizeHorz, SetSizeHorz, 6);
  PROP_INT(SizeVert, SizeVert, SetSizeVert, 6);
}
