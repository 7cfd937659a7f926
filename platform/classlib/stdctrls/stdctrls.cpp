#include "platform/classlib/stdctrls/stdctrls.h"

#include "platform/classlib/graphics/drawing.h"

IMPLEMENT_CLASS(TButton, TCustomControl)

TButton::TButton(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(TControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks});
  SetBounds(0, 0, 75, 25);
  SetTabStop(true);
  SetColor(clBtnFace);
}

void TButton::SetDefault(bool value) {
  if (default_ == value) return;
  default_ = value;
  Invalidate();
}

void TButton::Click() {
  if (modalResult_ != mrNone)
    if (TCustomForm* form = GetParentForm()) form->SetModalResult(modalResult_);
  TCustomControl::Click();
}

bool TButton::IsActiveDefault() const {
  if (Focused()) return true;
  if (!default_) return false;
  const TCustomForm* form = GetParentForm();
  const TWinControl* active = form ? form->ActiveControl() : nullptr;
  return !(active && active != this && Is<TButton>(active));
}

void TButton::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_DIALOGKEY: {
      const WORD key = WORD(m.WParam);
      const bool plain = TShiftState::FromBits(uint64_t(m.LParam)).Empty();
      if (plain && ((key == VK_RETURN && IsActiveDefault()) || (key == VK_ESCAPE && cancel_)) &&
          CanFocus()) {
        Click();
        m.Result = 1;
      }
      return;
    }
    case CM_DIALOGCHAR:
      if (IsAccel(char32_t(m.WParam), Caption()) && CanFocus()) {
        Click();
        m.Result = 1;
      }
      return;
    case CM_ENABLEDCHANGED:
      if (!Enabled()) {
        pressed_ = false;
        spaceDown_ = false;
      }
      TCustomControl::Dispatch(m);
      return;
    default:
      TCustomControl::Dispatch(m);
  }
}

// ---- Looks -----------------------------------------------------------------------

TButtonState TButton::State() const {
  if (!Enabled()) return bsDisabled;
  return pressed_ || spaceDown_ ? bsDown : bsUp;
}

void TButton::PaintContent() {
  TCanvas* c = Canvas();
  const TButtonState state = State();
  TRect r = ClientRect();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(r);
  // The button Enter would click wears a dark outline.
  if (IsActiveDefault() && Enabled()) {
    Frame3D(c, r, clWindowFrame, clWindowFrame, 1);
  }
  if (state == bsDown) {
    Frame3D(c, r, clBtnShadow, clBtnShadow, 1);
  } else {
    DrawEdge(c, r, EDGE_RAISED, BF_RECT | BF_ADJUST);
  }
  TRect face = r;
  if (state == bsDown) OffsetRect(face, 1, 1);
  c->SetFont(Font());
  PaintFace(c, face, state);
  if (Focused()) {
    TRect focus = r;
    InflateRect(focus, -2, -2);
    c->DrawFocusRect(focus);
  }
}

void TButton::PaintFace(TCanvas* canvas, const TRect& r, TButtonState state) {
  constexpr uint32_t flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  canvas->Brush()->SetStyle(bsClear);
  if (state == bsDisabled) {
    DrawDisabledText(canvas, Caption(), r, flags);
  } else {
    TRect text = r;
    DrawText(canvas, Caption(), text, flags);
  }
}

// ---- Mouse and keys ----------------------------------------------------------------

void TButton::SetPressed(bool value) {
  if (pressed_ == value) return;
  pressed_ = value;
  Invalidate();
}

void TButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft && Enabled()) {
    if (CanFocus() && !Focused()) SetFocus();
    SetPressed(true);
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TButton::MouseMove(TShiftState Shift, int X, int Y) {
  // Dragged off the button while held, the face comes up; back on, it goes down.
  if (ControlState().Contains(csLButtonDown)) SetPressed(PtInRect(ClientRect(), {X, Y}));
  TCustomControl::MouseMove(Shift, X, Y);
}

void TButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) SetPressed(false);
  TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TButton::KeyDown(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (Key == VK_SPACE && Enabled() && !spaceDown_) {
    spaceDown_ = true;
    Invalidate();
  }
}

void TButton::KeyUp(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyUp(Key, Shift);
  if (Key == VK_SPACE && spaceDown_) {
    spaceDown_ = false;
    Invalidate();
    Click();
  }
}

namespace {

void InvalidateDefaultButtons(const TWinControl* parent) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (auto* b = dynamic_cast<TButton*>(c); b && b->Default()) b->Invalidate();
    if (auto* w = dynamic_cast<TWinControl*>(c)) InvalidateDefaultButtons(w);
  }
}

}  // namespace

// A focused button takes Enter (and the outline) from the default button and
// gives it back when it loses the focus.
void TButton::DoEnter() {
  Invalidate();
  if (const TCustomForm* form = GetParentForm()) InvalidateDefaultButtons(form);
  TCustomControl::DoEnter();
}

void TButton::DoExit() {
  spaceDown_ = false;
  Invalidate();
  if (const TCustomForm* form = GetParentForm()) InvalidateDefaultButtons(form);
  TCustomControl::DoExit();
}

PUBLISHED(TButton) {
  PROP_BOOL(Default, Default, SetDefault, false);
  PROP_BOOL(Cancel, Cancel, SetCancel, false);
  PROP_INT(ModalResult, ModalResult, SetModalResult, mrNone);
  PROP_DEFAULT(Color, clBtnFace);
  PROP_DEFAULT(ParentColor, false);
  PROP_DEFAULT(TabStop, true);
  PROP_DEFAULT(Width, 75);
  PROP_DEFAULT(Height, 25);
}
