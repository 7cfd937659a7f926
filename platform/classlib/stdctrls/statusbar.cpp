#include "platform/classlib/stdctrls/statusbar.h"

#include <algorithm>

#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/stdctrls/ctrlutils.h"

IMPLEMENT_CLASS(TStatusPanel, TCollectionItem)
IMPLEMENT_CLASS(TStatusPanels, TCollection)
IMPLEMENT_CLASS(TStatusBar, TCustomControl)

namespace {

// Panels stand this far apart; the size grip takes a square of the bar's
// height less the top border.
constexpr int kPanelGap = 2;
constexpr int kTextMargin = 2;

}  // namespace

// ---- Panels ----------------------------------------------------------------------------

void TStatusPanel::SetText(const std::string& value) {
  if (text_ == value) return;
  text_ = value;
  Changed(false);
}

void TStatusPanel::SetWidth(int value) {
  width_ = std::max(0, value);
  Changed(false);
}

void TStatusPanel::SetAlignment(TAlignment value) {
  alignment_ = value;
  Changed(false);
}

void TStatusPanel::SetStyle(TStatusPanelStyle value) {
  style_ = value;
  Changed(false);
}

void TStatusPanel::SetBevel(TStatusPanelBevel value) {
  bevel_ = value;
  Changed(false);
}

void TStatusPanel::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TStatusPanel*>(source);
  if (!other) {
    TCollectionItem::Assign(source);
    return;
  }
  text_ = other->text_;
  width_ = other->width_;
  alignment_ = other->alignment_;
  style_ = other->style_;
  bevel_ = other->bevel_;
  Changed(false);
}

PUBLISHED(TStatusPanel) {
  PROP_STR(Text, Text, SetText, "");
  PROP_INT(Width, Width, SetWidth, 50);
  PROP_ENUM(Alignment, Alignment, SetAlignment, taLeftJustify);
  PROP_ENUM(Style, Style, SetStyle, psText);
  PROP_ENUM(Bevel, Bevel, SetBevel, pbLowered);
}

TStatusPanels::TStatusPanels(TStatusBar* bar) : TCollection(TStatusPanel::StaticClass()), bar_(bar) {}

void TStatusPanels::Update(TCollectionItem*) { bar_->Invalidate(); }

TPersistent* TStatusPanels::GetOwner() const { return bar_; }

// ---- The bar -------------------------------------------------------------------------

TStatusBar::TStatusBar(TComponent* AOwner)
    : TCustomControl(AOwner), panels_(std::make_unique<TStatusPanels>(this)) {
  SetControlStyle(TControlStyle{csCaptureMouse, csClickEvents, csDoubleClicks});
  SetBounds(0, 0, 100, 19);
  SetAlign(alBottom);
  SetColor(clBtnFace);
}

TStatusBar::~TStatusBar() = default;

void TStatusBar::SetSimplePanel(bool value) {
  simplePanel_ = value;
  Invalidate();
}

void TStatusBar::SetSimpleText(const std::string& value) {
  simpleText_ = value;
  if (simplePanel_) Invalidate();
}

void TStatusBar::SetSizeGrip(bool value) {
  sizeGrip_ = value;
  Invalidate();
}

TRect TStatusBar::PanelRect(int index) const {
  if (index < 0 || index >= panels_->Count()) return TRect{};
  int left = 0;
  for (int i = 0; i < index; ++i) left += panels_->Items(i)->Width() + kPanelGap;
  const bool last = index == panels_->Count() - 1;
  const int right = last ? ClientWidth() : left + panels_->Items(index)->Width();
  return Rect(left, kPanelGap, std::max(left, right), ClientHeight());
}

void TStatusBar::PaintPanel(const TRect& r, const std::string& text, TAlignment alignment,
                            TStatusPanelBevel bevel) {
  TCanvas* c = Canvas();
  TRect inner = r;
  if (bevel == pbLowered) Frame3D(c, inner, clBtnShadow, clBtnHighlight, 1);
  if (bevel == pbRaised) Frame3D(c, inner, clBtnHighlight, clBtnShadow, 1);
  InflateRect(inner, -kTextMargin, 0);
  const uint32_t align = AlignmentFlags(alignment);
  c->Brush()->SetStyle(bsClear);
  DrawText(c, text, inner, align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  c->Brush()->SetStyle(bsSolid);
}

void TStatusBar::PaintContent() {
  TCanvas* c = Canvas();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  c->SetFont(Font());
  if (simplePanel_) {
    PaintPanel(Rect(0, kPanelGap, ClientWidth(), ClientHeight()), simpleText_, taLeftJustify, pbLowered);
  } else {
    for (int i = 0; i < panels_->Count(); ++i) {
      TStatusPanel* p = panels_->Items(i);
      const TRect r = PanelRect(i);
      if (p->Style() == psOwnerDraw) {
        PaintPanel(r, "", p->Alignment(), p->Bevel());
        TRect inner = r;
        InflateRect(inner, -1, -1);
        c->SetFont(Font());
        DrawPanel(p, inner);
      } else {
        PaintPanel(r, p->Text(), p->Alignment(), p->Bevel());
      }
    }
  }
  if (!sizeGrip_) return;
  // The grip: diagonal ridges in the bottom-right corner.
  const int size = std::min(ClientHeight() - kPanelGap, 12);
  const int right = ClientWidth(), bottom = ClientHeight();
  for (int k = 0; k + 3 <= size; k += 4) {
    c->Pen()->SetColor(clBtnHighlight);
    c->MoveTo(right - 1, bottom - size + k);
    c->LineTo(right - size + k - 1, bottom);
    c->Pen()->SetColor(clBtnShadow);
    c->MoveTo(right - 1, bottom - size + k + 1);
    c->LineTo(right - size + k, bottom);
    c->MoveTo(right - 1, bottom - size + k + 2);
    c->LineTo(right - size + k + 1, bottom);
  }
}

void TStatusBar::DrawPanel(TStatusPanel* Panel, const TRect& Rect) {
  if (OnDrawPanel) OnDrawPanel(this, Panel, Rect);
}

PUBLISHED(TStatusBar) {
  PROP_OBJ(Panels, Panels, SetPanels);
  PROP_BOOL(SimplePanel, SimplePanel, SetSimplePanel, false);
  PROP_STR(SimpleText, SimpleText, SetSimpleText, "");
  PROP_BOOL(SizeGrip, SizeGrip, SetSizeGrip, true);
  PROP_DEFAULT(Color, clBtnFace);
  PROP_DEFAULT(Align, alBottom);
  PROP_DEFAULT(Height, 19);
  PROP_EVENT(OnDrawPanel);
}
