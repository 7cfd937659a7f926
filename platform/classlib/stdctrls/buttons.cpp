#include "platform/classlib/stdctrls/buttons.h"

#include <algorithm>

#include "platform/classlib/graphics/drawing.h"

// ---- Stock kinds -----------------------------------------------------------------

std::string BitBtnCaption(TBitBtnKind kind) {
  switch (kind) {
    case bkOK: return "OK";
    case bkCancel: return "Cancel";
    case bkHelp: return "&Help";
    case bkYes: return "&Yes";
    case bkNo: return "&No";
    case bkClose: return "&Close";
    case bkAbort: return "Abort";
    case bkRetry: return "&Retry";
    case bkIgnore: return "&Ignore";
    case bkAll: return "&All";
    default: return "";
  }
}

TModalResult BitBtnModalResult(TBitBtnKind kind) {
  switch (kind) {
    case bkOK: return mrOk;
    case bkCancel: return mrCancel;
    case bkYes: return mrYes;
    case bkNo: return mrNo;
    case bkAbort: return mrAbort;
    case bkRetry: return mrRetry;
    case bkIgnore: return mrIgnore;
    case bkAll: return mrAll;
    default: return mrNone;  // Help and Close act themselves
  }
}

namespace {

constexpr int kStockSize = 18;
constexpr TColor kStockBackground = clOlive;

// One stock picture at (x, 0); `ink` replaces every colour in the disabled glyph.
void DrawStockPicture(TCanvas* c, TBitBtnKind kind, int x, TColor ink = clNone) {
  auto colour = [ink](TColor normal) { return ink == clNone ? normal : ink; };
  auto at = [x](std::vector<TPoint> points) {
    for (TPoint& p : points) p.x += x;
    return points;
  };
  auto pen = [c](TColor color, int width) {
    c->Pen()->SetColor(color);
    c->Pen()->SetWidth(width);
  };
  auto fill = [c](TColor color) {
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(color);
  };
  c->Brush()->SetStyle(bsClear);
  switch (kind) {
    case bkOK:
    case bkYes:  // a check mark
      pen(colour(clGreen), 3);
      c->Polyline(at({{3, 9}, {7, 13}, {15, 4}}));
      break;
    case bkAll:  // two check marks
      pen(colour(clGreen), 2);
      c->Polyline(at({{1, 8}, {4, 11}, {9, 4}}));
      c->Polyline(at({{7, 11}, {10, 14}, {16, 6}}));
      break;
    case bkCancel:  // a cross
      pen(colour(clRed), 3);
      c->Polyline(at({{4, 4}, {14, 14}}));
      c->Polyline(at({{14, 4}, {4, 14}}));
      break;
    case bkNo:  // a barred circle
      pen(colour(clRed), 2);
      c->Ellipse(x + 2, 2, x + 16, 16);
      c->Polyline(at({{5, 13}, {13, 5}}));
      break;
    case bkAbort:  // a stop disc with a white cross
      pen(colour(clMaroon), 1);
      fill(colour(clRed));
      c->Ellipse(x + 1, 1, x + 17, 17);
      pen(colour(clWhite), 2);
      c->Polyline(at({{6, 6}, {12, 12}}));
      c->Polyline(at({{12, 6}, {6, 12}}));
      break;
    case bkHelp:  // a question mark
      pen(colour(clNavy), 2);
      c->Polyline(at({{5, 6}, {6, 4}, {8, 3}, {11, 3}, {13, 5}, {13, 7}, {9, 10}, {9, 12}}));
      pen(colour(clNavy), 1);
      fill(colour(clNavy));
      c->Rectangle(x + 8, 14, x + 11, 17);
      break;
    case bkClose:  // a door
      pen(colour(clBlack), 1);
      fill(colour(clTeal));
      c->Rectangle(x + 4, 2, x + 13, 17);
      fill(colour(clYellow));
      c->Rectangle(x + 10, 9, x + 12, 11);
      break;
    case bkRetry:  // a circling arrow
      pen(colour(clGreen), 2);
      c->Polyline(at({{13, 5}, {11, 3}, {7, 3}, {4, 6}, {4, 11}, {7, 14}, {11, 14}, {14, 11}}));
      pen(colour(clGreen), 1);
      fill(colour(clGreen));
      c->Polygon(at({{11, 1}, {15, 6}, {10, 7}}));
      break;
    case bkIgnore:  // an arrow passing on
      pen(colour(clGreen), 2);
      c->Polyline(at({{2, 9}, {12, 9}}));
      pen(colour(clGreen), 1);
      fill(colour(clGreen));
      c->Polygon(at({{11, 5}, {16, 9}, {11, 13}}));
      break;
    default: break;
  }
  c->Pen()->SetWidth(1);
}

}  // namespace

void DrawBitBtnGlyph(TBitBtnKind kind, TBitmap& glyph) {
  if (kind == bkCustom) {
    glyph.SetSize(0, 0);
    return;
  }
  glyph.SetSize(2 * kStockSize, kStockSize);
  TCanvas* c = glyph.Canvas();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(kStockBackground);
  c->FillRect(Rect(0, 0, glyph.Width(), glyph.Height()));
  DrawStockPicture(c, kind, 0);
  DrawStockPicture(c, kind, kStockSize, clGray);
}

// ---- TBitBtn ---------------------------------------------------------------------

IMPLEMENT_CLASS(TBitBtn, TButton)

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner), glyph_(std::make_unique<TBitmap>()) {
  // Drawing on the picture shows on the face.
  glyph_->OnChange = [this](TObject*) { Invalidate(); };
}

TBitBtn::~TBitBtn() = default;

void TBitBtn::SetKind(TBitBtnKind value) {
  if (value != bkCustom) {
    SetDefault(value == bkOK || value == bkYes);
    SetCancel(value == bkCancel || value == bkNo);
    // A caption read from a form stream stays.
    if (!ComponentState().Contains(csLoading) || Caption().empty())
      SetCaption(BitBtnCaption(value));
    SetModalResult(BitBtnModalResult(value));
    DrawBitBtnGlyph(value, *glyph_);
    numGlyphs_ = 2;
  }
  kind_ = value;
  Invalidate();
}

int GlyphStripCount(const TBitmap& glyph) {
  const int w = glyph.Width(), h = glyph.Height();
  return h > 0 && w % h == 0 ? w / h : 0;
}

void TBitBtn::SetGlyph(const TBitmap* value) {
  if (value) glyph_->Assign(value);
  else glyph_->SetSize(0, 0);
  kind_ = bkCustom;
  Invalidate();
}

void TBitBtn::SetNumGlyphs(int value) {
  numGlyphs_ = std::clamp(value, 1, 4);
  Invalidate();
}

void TBitBtn::SetLayout(TButtonLayout value) {
  layout_ = value;
  Invalidate();
}

void TBitBtn::SetMargin(int value) {
  margin_ = std::max(value, -1);
  Invalidate();
}

void TBitBtn::SetSpacing(int value) {
  spacing_ = std::max(value, -1);
  Invalidate();
}

void TBitBtn::Click() {
  const auto alive = Lifetime();
  TButton::Click();
  if (alive.expired()) return;  // OnClick freed the button
  if (kind_ == bkClose)
    if (TCustomForm* form = GetParentForm()) form->Close();
}

TButtonFacePlaces PlaceButtonFace(TSize face, TSize glyph, TSize caption, TSize arrow,
                                  TButtonLayout layout, int margin, int spacing) {
  const int gw = glyph.cx, gh = glyph.cy, tw = caption.cx, th = caption.cy, aw = arrow.cx;
  const bool across = layout == blGlyphLeft || layout == blGlyphRight;
  if (gw == 0 || tw == 0) spacing = 0;
  TButtonFacePlaces at;
  if (across) {
    at.glyph.y = (face.cy - gh + 1) / 2;
    at.caption.y = (face.cy - th + 1) / 2;
  } else {
    at.glyph.x = (face.cx - gw - aw + 1) / 2;
    at.caption.x = (face.cx - tw + 1) / 2;
  }
  // Automatic values centre the group, or share out the room left.
  const int length = across ? face.cx : face.cy;
  const int used = across ? gw + tw + aw : gh + th;
  if (margin == -1 && spacing != -1) {
    margin = (length - used - spacing + 1) / 2;
  } else if (margin == -1) {
    margin = spacing = (length - used) / 3;
  } else if (spacing == -1) {
    spacing = (length - margin - used) / 2;
  }
  switch (layout) {
    case blGlyphLeft:
      at.glyph.x = margin;
      at.caption.x = margin + gw + spacing;
      at.arrow.x = at.caption.x + tw;
      break;
    case blGlyphRight:
      at.arrow.x = face.cx - margin - aw;
      at.glyph.x = at.arrow.x - gw;
      at.caption.x = at.glyph.x - spacing - tw;
      break;
    case blGlyphTop:
      at.glyph.y = margin;
      at.caption.y = margin + gh + spacing;
      break;
    case blGlyphBottom:
      at.glyph.y = face.cy - margin - gh;
      at.caption.y = at.glyph.y - spacing - th;
      break;
  }
  if (!across) at.arrow.x = at.glyph.x + gw;
  at.arrow.y = gh > 0 ? at.glyph.y + (gh - arrow.cy) / 2 : at.caption.y + (th - arrow.cy) / 2;
  return at;
}

void DrawButtonGlyph(TCanvas* canvas, const TRect& r, const TGlyphFace& face,
                     TButtonState state) {
  constexpr uint32_t flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  const bool hasGlyph =
      face.glyph && !face.glyph->Empty() && face.glyph->Width() >= face.numGlyphs;
  const int gw = hasGlyph ? face.glyph->Width() / face.numGlyphs : 0;
  const int gh = hasGlyph ? face.glyph->Height() : 0;
  TRect calc = Rect(0, 0, r.Width(), 0);
  if (!face.caption.empty()) DrawText(canvas, face.caption, calc, flags | DT_CALCRECT);
  const int tw = face.caption.empty() ? 0 : calc.Width();
  const int th = face.caption.empty() ? 0 : calc.Height();
  const TButtonFacePlaces at = PlaceButtonFace({r.Width(), r.Height()}, {gw, gh}, {tw, th}, {0, 0},
                                               face.layout, face.margin, face.spacing);

  if (hasGlyph) {
    // Up, disabled, down, exclusive: a state without its own image shows the first.
    int index = int(state);
    if (index >= face.numGlyphs) index = 0;
    const TColor transparent = face.glyph->Canvas()->Pixels(0, gh - 1);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(clBtnFace);
    canvas->BrushCopy(Bounds(r.Left + at.glyph.x, r.Top + at.glyph.y, gw, gh), face.glyph,
                      Bounds(index * gw, 0, gw, gh), transparent);
  }
  if (tw > 0) {
    const TRect text = Bounds(r.Left + at.caption.x, r.Top + at.caption.y, tw, th);
    canvas->Brush()->SetStyle(bsClear);
    if (state == bsDisabled) {
      DrawDisabledText(canvas, face.caption, text, flags);
    } else {
      TRect place = text;
      DrawText(canvas, face.caption, place, flags);
    }
  }
}

void TBitBtn::PaintFace(TCanvas* canvas, const TRect& r, TButtonState state) {
  DrawButtonGlyph(canvas, r, {glyph_.get(), numGlyphs_, Caption(), layout_, margin_, spacing_},
                  state);
}

PUBLISHED(TBitBtn) {
  PROP_ENUM(Kind, Kind, SetKind, bkCustom);
  PROP_OBJ(Glyph, Glyph, SetGlyph)
      .Stored(std::function<bool(TObject*)>(
          [](TObject* o) { return static_cast<TBitBtn*>(o)->Kind() == bkCustom; }));
  PROP_INT(NumGlyphs, NumGlyphs, SetNumGlyphs, 1);
  PROP_ENUM(Layout, Layout, SetLayout, blGlyphLeft);
  PROP_INT(Margin, Margin, SetMargin, -1);
  PROP_INT(Spacing, Spacing, SetSpacing, 4);
}
