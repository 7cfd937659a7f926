#pragma once
// TImageList: a row of same-sized images with transparency, drawn by index.

#include <memory>

#include "platform/classlib/core/component.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/graphics/images.h"

DECLARE_ENUM(TDrawingStyle, dsFocus, dsSelected, dsNormal, dsTransparent)
DECLARE_ENUM(TImageType, itImage, itMask)

class TCustomImageList : public TComponent {
  DECLARE_CLASS(TCustomImageList, TComponent)
 public:
  explicit TCustomImageList(TComponent* AOwner);
  TCustomImageList(TComponent* AOwner, int width, int height);
  ~TCustomImageList() override;
  void Assign(const TPersistent* source) override;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Changing the size clears the list, as its images no longer fit.
  void SetWidth(int value);
  void SetHeight(int value);
  int Count() const;
  TColor BkColor() const { return bkColor_; }
  void SetBkColor(TColor c);
  TColor BlendColor() const { return blendColor_; }
  void SetBlendColor(TColor c);
  TDrawingStyle DrawingStyle() const { return drawingStyle_; }
  void SetDrawingStyle(TDrawingStyle s);
  TImageType ImageType() const { return imageType_; }
  void SetImageType(TImageType t);
  bool Masked() const { return masked_; }
  void SetMasked(bool value);
  int AllocBy() const { return allocBy_; }
  void SetAllocBy(int value) { allocBy_ = value > 0 ? value : 4; }

  // A bitmap as wide as n images adds n images; returns the first index (-1
  // for nothing added). The mask is monochrome: white pixels are transparent.
  int Add(TBitmap* image, TBitmap* mask);
  // Pixels of maskColor are transparent (clDefault: the bottom-left pixel's colour).
  int AddMasked(TBitmap* image, TColor maskColor);
  // The icon scaled to the list's size.
  int AddIcon(TIcon* icon);
  void Replace(int index, TBitmap* image, TBitmap* mask);
  void ReplaceMasked(int index, TBitmap* image, TColor maskColor);
  void Delete(int index);
  void Clear();
  void Move(int curIndex, int newIndex);

  // Draws in the current drawing style; a disabled image is drawn embossed in
  // the highlight and shadow colours.
  void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);
  void DrawStyled(TCanvas* canvas, int x, int y, int index, TDrawingStyle style,
                  TImageType type, bool enabled);
  void GetBitmap(int index, TBitmap* image);

  TNotifyEvent OnChange;

  struct Impl;

 protected:
  virtual void Change();

 private:
  void CheckIndex(int index) const;
  int AddImages(TBitmap* image, const std::function<bool(int x, int y)>& transparent);
  std::unique_ptr<Impl> impl_;
  int width_ = 16;
  int height_ = 16;
  TColor bkColor_ = clNone;
  TColor blendColor_ = clNone;
  TDrawingStyle drawingStyle_ = dsNormal;
  TImageType imageType_ = itImage;
  bool masked_ = true;
  int allocBy_ = 4;
};

class TImageList : public TCustomImageList {
  DECLARE_CLASS(TImageList, TCustomImageList)
 public:
  using TCustomImageList::TCustomImageList;
};
