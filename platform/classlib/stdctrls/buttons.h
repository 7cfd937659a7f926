#pragma once
// The glyph button: a push button showing a picture beside its caption, with
// stock kinds (OK, Cancel, Help...) that bring their caption, modal result and
// picture.

#include <memory>

#include "platform/classlib/graphics/images.h"
#include "platform/classlib/stdctrls/stdctrls.h"

DECLARE_ENUM(TBitBtnKind, bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort,
             bkRetry, bkIgnore, bkAll)
DECLARE_ENUM(TButtonLayout, blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom)

class TBitBtn : public TButton {
  DECLARE_CLASS(TBitBtn, TButton)
 public:
  explicit TBitBtn(TComponent* AOwner);
  ~TBitBtn() override;

  // A stock kind sets the caption, the modal result, the default or cancel
  // role (OK and Yes are default, Cancel and No cancel), the picture and two
  // glyphs; bkCustom changes nothing else.
  TBitBtnKind Kind() const { return kind_; }
  void SetKind(TBitBtnKind value);
  // The picture: NumGlyphs images side by side, for the states up, disabled,
  // down and exclusive; its bottom-left pixel's colour is transparent.
  // Assigning a picture makes the button a custom one.
  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(const TBitmap* value);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int value);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout value);
  // Distance of the picture from its edge of the button; -1 centres picture
  // and caption together.
  int Margin() const { return margin_; }
  void SetMargin(int value);
  // Distance between picture and caption; -1 shares the free room evenly.
  int Spacing() const { return spacing_; }
  void SetSpacing(int value);

  // A Close button closes its form after OnClick.
  void Click() override;

 protected:
  void PaintFace(TCanvas* canvas, const TRect& r, TButtonState state) override;

 private:
  std::unique_ptr<TBitmap> glyph_;
  TBitBtnKind kind_ = bkCustom;
  int numGlyphs_ = 1;
  TButtonLayout layout_ = blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
};

// The caption and modal result a stock kind brings ("" and mrNone for bkCustom).
std::string BitBtnCaption(TBitBtnKind kind);
TModalResult BitBtnModalResult(TBitBtnKind kind);
// Draws the stock picture of a kind: two glyphs of 18 x 18 pixels (normal and
// disabled) on a transparent olive background; empty for bkCustom.
void DrawBitBtnGlyph(TBitBtnKind kind, TBitmap& glyph);

// What a glyph button shows: the picture's images for the states up,
// disabled, down and exclusive side by side (bottom-left pixel transparent),
// the caption, and where they stand (see TBitBtn's Layout, Margin, Spacing).
struct TGlyphFace {
  TBitmap* glyph = nullptr;
  int numGlyphs = 1;
  std::string caption;
  TButtonLayout layout = blGlyphLeft;
  int margin = -1;
  int spacing = 4;
};
// Draws picture and caption on a face `r` in the given state.
void DrawButtonGlyph(TCanvas* canvas, const TRect& r, const TGlyphFace& face, TButtonState state);

// Where a button's picture, caption and drop-down arrow stand on a face of
// the given size, from its top-left. Across the layout's direction each is
// centred; along it the margin leads to the picture and the spacing parts
// picture and caption (-1: automatic, as TBitBtn's Margin and Spacing say;
// no spacing without a picture or a caption). The arrow follows the caption
// (the picture, when that stands above or below), level with the middle of
// the picture (of the caption without one). Sizes of what is not shown are 0.
struct TButtonFacePlaces {
  TPoint glyph, caption, arrow;
};
TButtonFacePlaces PlaceButtonFace(TSize face, TSize glyph, TSize caption, TSize arrow,
                                  TButtonLayout layout, int margin, int spacing);
// How many square images a picture holds side by side: its width over its
// height when that divides evenly, else 0 (the picture says nothing).
int GlyphStripCount(const TBitmap& glyph);
