#include "platform/classlib/graphics/imagelist.h"

#include <QImage>
#include <QPainter>

#include <vector>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/graphics/qtbridge.h"

using namespace vantrel::qt;

IMPLEMENT_CLASS(TCustomImageList, TComponent)
PUBLISHED(TCustomImageList) {
  PROP_INT(AllocBy, AllocBy, SetAllocBy, 4);
  PROP_COLOR(BkColor, BkColor, SetBkColor, clNone);
  PROP_COLOR(BlendColor, BlendColor, SetBlendColor, clNone);
  PROP_ENUM(DrawingStyle, DrawingStyle, SetDrawingStyle, dsNormal);
  PROP_INT(Height, Height, SetHeight, 16);
  PROP_ENUM(ImageType, ImageType, SetImageType, itImage);
  PROP_BOOL(Masked, Masked, SetMasked, true);
  PROP_INT(Width, Width, SetWidth, 16);
  PROP_EVENT(OnChange);
}
IMPLEMENT_CLASS(TImageList, TCustomImageList)

struct TCustomImageList::Impl {
  std::vector<QImage> images;  // ARGB; alpha 0 where the mask is transparent
};

TCustomImageList::TCustomImageList(TComponent* AOwner)
    : TComponent(AOwner), impl_(std::make_unique<Impl>()) {}

TCustomImageList::TCustomImageList(TComponent* AOwner, int width, int height)
    : TComponent(AOwner), impl_(std::make_unique<Impl>()),
      width_(std::max(1, width)), height_(std::max(1, height)) {}

TCustomImageList::~TCustomImageList() = default;

void TCustomImageList::Assign(const TPersistent* source) {
  if (auto* other = As<TCustomImageList>(const_cast<TPersistent*>(source))) {
    width_ = other->width_;
    height_ = other->height_;
    bkColor_ = other->bkColor_;
    blendColor_ = other->blendColor_;
    drawingStyle_ = other->drawingStyle_;
    imageType_ = other->imageType_;
    masked_ = other->masked_;
    impl_->images = other->impl_->images;
    Change();
    return;
  }
  TComponent::Assign(source);
}

void TCustomImageList::Change() {
  if (OnChange) OnChange(this);
}

int TCustomImageList::Count() const { return int(impl_->images.size()); }

void TCustomImageList::SetWidth(int value) {
  value = std::max(1, value);
  if (value == width_) return;
  width_ = value;
  Clear();
}
void TCustomImageList::SetHeight(int value) {
  value = std::max(1, value);
  if (value == height_) return;
  height_ = value;
  Clear();
}
void TCustomImageList::SetBkColor(TColor c) {
  bkColor_ = c;
  Change();
}
void TCustomImageList::SetBlendColor(TColor c) {
  blendColor_ = c;
  Change();
}
void TCustomImageList::SetDrawingStyle(TDrawingStyle s) {
  drawingStyle_ = s;
  Change();
}
void TCustomImageList::SetImageType(TImageType t) {
  imageType_ = t;
  Change();
}
void TCustomImageList::SetMasked(bool value) {
  if (value == masked_) return;
  masked_ = value;
  Change();
}

void TCustomImageList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw EInvalidOperation("Invalid ImageList Index");
}

int TCustomImageList::AddImages(TBitmap* image,
                                const std::function<bool(int x, int y)>& transparent) {
  if (!image || image->Empty()) return -1;
  const QImage& src = BitmapImage(*image);
  const int count = std::max(1, src.width() / width_);
  const int first = Count();
  for (int n = 0; n < count; ++n) {
    QImage cell(width_, height_, QImage::Format_ARGB32);
    cell.fill(0);
    for (int y = 0; y < std::min(height_, src.height()); ++y)
      for (int x = 0; x < width_ && n * width_ + x < src.width(); ++x) {
        const int sx = n * width_ + x;
        if (masked_ && transparent(sx, y)) continue;
        cell.setPixel(x, y, src.pixel(sx, y) | 0xFF000000u);
      }
    impl_->images.push_back(cell);
  }
  Change();
  return first;
}

int TCustomImageList::Add(TBitmap* image, TBitmap* mask) {
  QImage maskImage;
  if (mask && !mask->Empty()) maskImage = BitmapImage(*mask).copy();
  return AddImages(image, [&](int x, int y) {
    return !maskImage.isNull() && maskImage.valid(x, y) && (maskImage.pixel(x, y) & 0xFFFFFF) != 0;
  });
}

int TCustomImageList::AddMasked(TBitmap* image, TColor maskColor) {
  if (!image || image->Empty()) return -1;
  const TColor key = maskColor == clDefault ? image->TransparentColor() : maskColor;
  const QRgb rgb = ToQColor(key).rgb() & 0xFFFFFF;
  const QImage src = BitmapImage(*image).copy();
  return AddImages(image, [&](int x, int y) { return (src.pixel(x, y) & 0xFFFFFF) == rgb; });
}

int TCustomImageList::AddIcon(TIcon* icon) {
  if (!icon || icon->Empty()) return -1;
  impl_->images.push_back(IconImage(*icon)
                              .scaled(width_, height_, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                              .convertToFormat(QImage::Format_ARGB32));
  Change();
  return Count() - 1;
}

void TCustomImageList::Replace(int index, TBitmap* image, TBitmap* mask) {
  CheckIndex(index);
  TCustomImageList one(nullptr, width_, height_);
  one.masked_ = masked_;
  if (one.Add(image, mask) < 0) return;
  impl_->images[size_t(index)] = one.impl_->images.front();
  Change();
}

void TCustomImageList::ReplaceMasked(int index, TBitmap* image, TColor maskColor) {
  CheckIndex(index);
  TCustomImageList one(nullptr, width_, height_);
  if (one.AddMasked(image, maskColor) < 0) return;
  impl_->images[size_t(index)] = one.impl_->images.front();
  Change();
}

void TCustomImageList::Delete(int index) {
  CheckIndex(index);
  impl_->images.erase(impl_->images.begin() + index);
  Change();
}

void TCustomImageList::Clear() {
  impl_->images.clear();
  Change();
}

void TCustomImageList::Move(int curIndex, int newIndex) {
  CheckIndex(curIndex);
  CheckIndex(newIndex);
  QImage img = impl_->images[size_t(curIndex)];
  impl_->images.erase(impl_->images.begin() + curIndex);
  impl_->images.insert(impl_->images.begin() + newIndex, img);
  Change();
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) {
  DrawStyled(canvas, x, y, index, drawingStyle_, imageType_, enabled);
}

void TCustomImageList::DrawStyled(TCanvas* canvas, int x, int y, int index,
                                  TDrawingStyle style, TImageType type, bool enabled) {
  if (!canvas || index < 0 || index >= Count()) return;
  QImage img = impl_->images[size_t(index)];
  if (type == itMask) {
    // The mask: black where the image shows, white where it is transparent.
    for (int py = 0; py < img.height(); ++py)
      for (int px = 0; px < img.width(); ++px)
        img.setPixel(px, py, qAlpha(img.pixel(px, py)) ? 0xFF000000u : 0xFFFFFFFFu);
  } else if (!enabled) {
    // Embossed: the image's dark pixels in highlight, shifted, then in shadow.
    QImage shape(img.size(), QImage::Format_ARGB32);
    shape.fill(0);
    const QRgb light = ToQColor(clBtnHighlight).rgb(), dark = ToQColor(clBtnShadow).rgb();
    QImage out(img.width() + 1, img.height() + 1, QImage::Format_ARGB32);
    out.fill(0);
    for (int py = 0; py < img.height(); ++py)
      for (int px = 0; px < img.width(); ++px) {
        const QRgb c = img.pixel(px, py);
        if (qAlpha(c) && qGray(c) < 192) out.setPixel(px + 1, py + 1, light);
      }
    for (int py = 0; py < img.height(); ++py)
      for (int px = 0; px < img.width(); ++px) {
        const QRgb c = img.pixel(px, py);
        if (qAlpha(c) && qGray(c) < 192) out.setPixel(px, py, dark);
      }
    img = out;
  } else if (style == dsFocus || style == dsSelected) {
    const TColor blend = blendColor_ == clNone || blendColor_ == clDefault ? clHighlight
                                                                            : blendColor_;
    const QColor b = ToQColor(blend);
    const double share = style == dsSelected ? 0.5 : 0.25;
    for (int py = 0; py < img.height(); ++py)
      for (int px = 0; px < img.width(); ++px) {
        const QRgb c = img.pixel(px, py);
        if (!qAlpha(c)) continue;
        img.setPixel(px, py, qRgb(int(qRed(c) * (1 - share) + b.red() * share),
                                  int(qGreen(c) * (1 - share) + b.green() * share),
                                  int(qBlue(c) * (1 - share) + b.blue() * share)));
      }
  }
  QPainter& p = ActivePainter(*canvas);
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (type == itImage && style == dsNormal && enabled && bkColor_ != clNone)
    p.fillRect(QRect(x, y, width_, height_), ToQColor(bkColor_));
  p.drawImage(x, y, img);
  p.restore();
}

void TCustomImageList::GetBitmap(int index, TBitmap* image) {
  CheckIndex(index);
  if (!image) return;
  image->SetSize(width_, height_);
  image->Canvas()->Brush()->SetColor(bkColor_ == clNone ? clBlack : bkColor_);
  image->Canvas()->FillRect(Rect(0, 0, width_, height_));
  DrawStyled(image->Canvas(), 0, 0, index, dsNormal, itImage, true);
}
