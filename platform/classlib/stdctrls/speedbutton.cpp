#include "platform/classlib/stdctrls/speedbutton.h"

#include <algorithm>

#include "platform/classlib/graphics/drawing.h"

IMPLEMENT_CLASS(TSpeedButton, TGraphicControl)

TSpeedButton::TSpeedButton(TComponent* AOwner)
    : TGraphicControl(AOwner), glyph_(std::make_unique<TBitmap>()) {
  SetControlStyle(TControlStyle{csCaptureMouse, csDoubleClicks});
  SetBounds(0, 0, 23, 22);
  glyph_->OnChange = [this](TObject*) { Invalidate(); };
}

TSpeedButton::~TSpeedButton() = default;

void TSpeedButton::SetGlyph(const TBitmap* value) {
  if (value) glyph_->Assign(value);
  else glyph_->SetSize(0, 0);
  if (const int k = GlyphStripCount(*glyph_); k >= 1 && k <= 4) numGlyphs_ = k;
  Invalidate();
}

void TSpeedButton::SetNumGlyphs(int value) {
  numGlyphs_ = std::clamp(value, 1, 4);
  Invalidate();
}

void TSpeedButton::SetGroupIndex(int value) {
  if (groupIndex_ == value) return;
  groupIndex_ = value;
  TellGroup();
}

void TSpeedButton::SetDown(bool value) {
  if (groupIndex_ == 0) value = false;
  if (value == down_) return;
  if (down_ && !allowAllUp_) return;  // one of the group stays down
  down_ = value;
  SetState(value ? bsExclusive : bsUp);
  if (value) TellGroup();
}

void TSpeedButton::SetAllowAllUp(bool value) {
  if (allowAllUp_ == value) return;
  allowAllUp_ = value;
  TellGroup();
}

void TSpeedButton::SetFlat(bool value) {
  flat_ = value;
  Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout value) {
  layout_ = value;
  Invalidate();
}

void TSpeedButton::SetMargin(int value) {
  margin_ = std::max(value, -1);
  Invalidate();
}

void TSpeedButton::SetSpacing(int value) {
  spacing_ = std::max(value, -1);
  Invalidate();
}

void TSpeedButton::SetState(TButtonState value) {
  if (state_ == value) return;
  state_ = value;
  Invalidate();
}

void TSpeedButton::TellGroup() {
  if (groupIndex_ == 0 || !Parent()) return;
  TMessage m{CM_BUTTONPRESSED, WPARAM(groupIndex_), LPARAM(this), 0};
  Parent()->Broadcast(m);
}

void TSpeedButton::Click() { TGraphicControl::Click(); }

void TSpeedButton::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_BUTTONPRESSED: {
      // Other kinds of buttons send this too: only speed buttons are asked.
      auto* sender = dynamic_cast<TSpeedButton*>(reinterpret_cast<TControl*>(m.LParam));
      if (int(m.WParam) != groupIndex_ || sender == this || !sender) return;
      if (sender->Down() && down_) {
        down_ = false;
        SetState(bsUp);
      }
      allowAllUp_ = sender->AllowAllUp();  // a group shares one value
      return;
    }
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      hot_ = m.Msg == CM_MOUSEENTER;
      if (flat_ && Enabled()) Invalidate();
      TGraphicControl::Dispatch(m);
      return;
    case CM_ENABLEDCHANGED:
      dragging_ = false;
      state_ = down_ ? bsExclusive : bsUp;
      TGraphicControl::Dispatch(m);
      return;
    default:
      TGraphicControl::Dispatch(m);
  }
}

// ---- Mouse -----------------------------------------------------------------------

void TSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  if (!down_) SetState(bsDown);
  dragging_ = true;
}

void TSpeedButton::MouseMove(TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!dragging_) return;
  const bool inside = PtInRect(ClientRect(), {X, Y});
  SetState(down_ ? bsExclusive : inside ? bsDown : bsUp);
}

void TSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  if (Button != mbLeft || !dragging_) return;
  dragging_ = false;
  const bool clicked = PtInRect(ClientRect(), {X, Y});
  if (groupIndex_ == 0) {
    SetState(bsUp);
  } else if (clicked) {
    SetDown(!down_);
  } else {
    SetState(down_ ? bsExclusive : bsUp);
  }
  if (clicked) Click();
}

// ---- Looks -----------------------------------------------------------------------

namespace {

// The down button of a group shows a dithered face of highlight and face colour.
void DitherFace(TCanvas* c, const TRect& r) {
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(r);
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left + (y & 1); x < r.Right; x += 2) c->SetPixels(x, y, clBtnHighlight);
}

}  // namespace

void TSpeedButton::PaintContent() {
  TCanvas* c = Canvas();
  const TButtonState state = Enabled() ? state_ : bsDisabled;
  const bool pressed = state == bsDown || state == bsExclusive;
  TRect r = ClientRect();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(r);
  if (!flat_) {
    DrawEdge(c, r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
  } else if (pressed || (hot_ && Enabled())) {
    DrawEdge(c, r, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
  }
  if (state == bsExclusive && !(flat_ && hot_)) DitherFace(c, r);
  if (pressed) OffsetRect(r, 1, 1);
  c->SetFont(Font());
  PaintFace(c, r, state);
}

void TSpeedButton::PaintFace(TCanvas* canvas, const TRect& r, TButtonState state) {
  DrawButtonGlyph(canvas, r, {glyph_.get(), numGlyphs_, Caption(), layout_, margin_, spacing_},
                  state);
}

PUBLISHED(TSpeedButton) {
  PROP_OBJ(Glyph, Glyph, SetGlyph);
  PROP_INT(NumGlyphs, NumGlyphs, SetNumGlyphs, 1);
  PROP_INT(GroupIndex, GroupIndex, SetGroupIndex, 0);
  PROP_BOOL(Down, Down, SetDown, false);
  PROP_BOOL(AllowAllUp, AllowAllUp, SetAllowAllUp, false);
  PROP_BOOL(Flat, Flat, SetFlat, false);
  PROP_ENUM(Layout, Layout, SetLayout, blGlyphLeft);
  PROP_INT(Margin, Margin, SetMargin, -1);
  PROP_INT(Spacing, Spacing, SetSpacing, 4);
}
