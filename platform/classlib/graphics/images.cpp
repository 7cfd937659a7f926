#include "platform/classlib/graphics/images.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPicture>
#include <QSvgGenerator>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <cctype>

#include "platform/classlib/core/filer.h"
#include "platform/classlib/graphics/qtbridge.h"

IMPLEMENT_CLASS(TGraphic, TPersistent)
IMPLEMENT_CLASS(EInvalidGraphic, Exception)
IMPLEMENT_CLASS(EInvalidGraphicOperation, Exception)
IMPLEMENT_CLASS(TBitmap, TGraphic)
IMPLEMENT_CLASS(TIcon, TGraphic)
IMPLEMENT_CLASS(TMetafileCanvas, TCanvas)
IMPLEMENT_CLASS(TMetafile, TGraphic)
IMPLEMENT_CLASS(TPicture, TPersistent)

using namespace vantrel::qt;

namespace {

void CheckReadable(const std::string& fileName) {
  QFile f(ToQString(fileName));
  if (!f.open(QIODevice::ReadOnly))
    throw EFOpenError("Cannot open file \"" + fileName + "\". " +
                      FromQString(f.errorString()));
}

QImage ReadImage(const std::string& fileName) {
  CheckReadable(fileName);
  QImageReader reader(ToQString(fileName));
  reader.setDecideFormatFromContent(true);
  QImage img = reader.read();
  if (img.isNull()) throw EInvalidGraphic("Bitmap image is not valid: " + fileName);
  return img;
}

// The bytes from the stream's position to its end.
QByteArray ReadRest(TStream* stream) {
  if (!stream) throw EInvalidGraphic("No stream to read a picture from");
  const int64_t count = std::max<int64_t>(0, stream->Size() - stream->Position());
  QByteArray data(qsizetype(count), Qt::Uninitialized);
  if (count > 0) stream->ReadBuffer(data.data(), count);
  return data;
}

void WriteBytes(TStream* stream, const QByteArray& data) {
  if (!stream) throw EInvalidGraphic("No stream to write a picture to");
  stream->WriteBuffer(data.constData(), data.size());
}

QImage ImageFromBytes(const QByteArray& data, const char* what) {
  QImage img;
  if (!img.loadFromData(data)) throw EInvalidGraphic(std::string(what) + " image is not valid");
  return img;
}

QByteArray BytesOf(const QImage& img, const char* format) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  img.save(&buffer, format);
  return data;
}

// Black for dark pixels, white for light ones, as a monochrome conversion does.
QRgb MonoPixel(QRgb c) { return qGray(c) < 128 ? 0xFF000000u : 0xFFFFFFFFu; }

TPixelFormat FormatOfDepth(int depth) {
  return depth == 1 ? pf1bit : depth <= 4 ? pf4bit : depth <= 8 ? pf8bit
         : depth == 24 ? pf24bit : pfDevice;
}
QImage ForSaving(QImage img, TPixelFormat format) {
  switch (format) {
    case pf1bit: return img.convertToFormat(QImage::Format_Mono);
    case pf4bit:
    case pf8bit: return img.convertToFormat(QImage::Format_Indexed8);
    case pf24bit: return img.convertToFormat(QImage::Format_RGB888);
    default: return img;
  }
}

}  // namespace

// ---- TGraphic ------------------------------------------------------------

void TGraphic::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Changed();
}

void TGraphic::SetModified(bool value) {
  if (value) Changed();
  else modified_ = false;
}

void TGraphic::DefineProperties(TFiler* filer) {
  filer->DefineBinaryProperty(
      "Data", [this](TStream* s) { ReadData(s); }, [this](TStream* s) { WriteData(s); },
      !Empty());
}

void TGraphic::Changed() {
  modified_ = true;
  if (OnChange) OnChange(this);
}

// ---- TBitmap -------------------------------------------------------------

struct TBitmap::Impl {
  QImage image;
  bool painted = false;  // the canvas drew since the last quantising
  int pixelsPerInch = 0;  // 0: the image's default
  void ApplyResolution() {
    if (pixelsPerInch <= 0 || image.isNull()) return;
    const int dotsPerMeter = int(std::lround(pixelsPerInch / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
  }
};

namespace vantrel::qt {

QImage& BitmapImage(TBitmap& bitmap) {
  TCanvas* c = bitmap.Canvas();
  ReleasePainter(*c);
  auto& d = bitmap.impl();
  if (d.painted && bitmap.Monochrome()) {
    for (int y = 0; y < d.image.height(); ++y) {
      QRgb* line = reinterpret_cast<QRgb*>(d.image.scanLine(y));
      for (int x = 0; x < d.image.width(); ++x) line[x] = MonoPixel(line[x]);
    }
  }
  d.painted = false;
  return d.image;
}

QImage MaskedImage(TBitmap& bitmap) {
  QImage img = BitmapImage(bitmap).convertToFormat(QImage::Format_ARGB32);
  if (!bitmap.Transparent()) return img;
  const QRgb key = ToQColor(bitmap.TransparentColor()).rgb() & 0xFFFFFF;
  for (int y = 0; y < img.height(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x)
      if ((line[x] & 0xFFFFFF) == key) line[x] = 0;
  }
  return img;
}

}  // namespace vantrel::qt

TBitmap::TBitmap() : impl_(std::make_unique<Impl>()) {}

TBitmap::~TBitmap() {
  if (canvas_) Unbind(*canvas_);
}

TCanvas* TBitmap::Canvas() {
  if (!canvas_) {
    canvas_ = std::make_unique<TCanvas>();
    BindDevice(*canvas_, &impl_->image, &impl_->image);
    canvas_->OnChange = [this](TObject*) { CanvasChanged(); };
  }
  return canvas_.get();
}

void TBitmap::CanvasChanged() {
  impl_->painted = true;
  Changed();
}

void TBitmap::Assign(const TPersistent* source) {
  if (!source) {
    SetSize(0, 0);
    return;
  }
  if (auto* b = As<TBitmap>(const_cast<TPersistent*>(source))) {
    if (b == this) return;
    if (canvas_) ReleasePainter(*canvas_);
    impl_->image = BitmapImage(*b).copy();
    pixelFormat_ = b->pixelFormat_;
    transparentColor_ = b->transparentColor_;
    transparentMode_ = b->transparentMode_;
    TGraphic::SetTransparent(b->Transparent());
    if (canvas_) {
      canvas_->Font()->Assign(b->Canvas()->Font());
      canvas_->Brush()->Assign(b->Canvas()->Brush());
      canvas_->Pen()->Assign(b->Canvas()->Pen());
    }
    Changed();
    return;
  }
  if (auto* icon = As<TIcon>(const_cast<TPersistent*>(source))) {
    SetSize(icon->Width(), icon->Height());
    Canvas()->Brush()->SetColor(clWhite);
    Canvas()->FillRect(Rect(0, 0, Width(), Height()));
    Canvas()->Draw(0, 0, icon);
    return;
  }
  if (auto* meta = As<TMetafile>(const_cast<TPersistent*>(source))) {
    SetSize(meta->Width(), meta->Height());
    Canvas()->Brush()->SetColor(clWhite);
    Canvas()->FillRect(Rect(0, 0, Width(), Height()));
    Canvas()->Draw(0, 0, meta);
    return;
  }
  TGraphic::Assign(source);
}

bool TBitmap::Empty() const { return impl_->image.isNull() || impl_->image.width() == 0; }
int TBitmap::Width() const { return impl_->image.width(); }
int TBitmap::Height() const { return impl_->image.height(); }

void TBitmap::SetSize(int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (width == Width() && height == Height()) return;
  // A wild size (a damaged file, a bad computation) must fail here, not
  // exhaust the memory while the pixels are being filled.
  constexpr int64_t kMaxPixelBytes = int64_t(1) << 30;
  if (int64_t(width) * height * 4 > kMaxPixelBytes)
    throw EOutOfResources("Bitmap of " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels is too large");
  if (canvas_) ReleasePainter(*canvas_);
  if (width == 0 || height == 0) {
    impl_->image = QImage();
  } else {
    QImage next(width, height, QImage::Format_RGB32);
    if (next.isNull())
      throw EOutOfResources("Not enough memory for a bitmap of " + std::to_string(width) +
                            " x " + std::to_string(height) + " pixels");
    next.fill(Qt::white);
    if (!impl_->image.isNull()) {
      QPainter p(&next);
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.drawImage(0, 0, impl_->image);
    }
    impl_->image = next;
    impl_->ApplyResolution();
  }
  Changed();
}

void TBitmap::SetPixelsPerInch(int dpi) {
  if (canvas_) ReleasePainter(*canvas_);
  impl_->pixelsPerInch = dpi;
  impl_->ApplyResolution();
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == pixelFormat_) return;
  pixelFormat_ = format;
  if (format == pf1bit && !Empty()) {
    QImage& img = BitmapImage(*this);
    for (int y = 0; y < img.height(); ++y) {
      QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
      for (int x = 0; x < img.width(); ++x) line[x] = MonoPixel(line[x]);
    }
  }
  Changed();
}

TColor TBitmap::TransparentColor() const {
  if (transparentColor_ != clDefault) return transparentColor_;
  if (transparentMode_ == tmFixed) return transparentColor_;
  if (Empty()) return clDefault;
  QImage& img = BitmapImage(const_cast<TBitmap&>(*this));
  return FromQColor(QColor(img.pixel(0, img.height() - 1)));
}

void TBitmap::SetTransparentColor(TColor color) {
  transparentColor_ = color;
  transparentMode_ = color == clDefault ? tmAuto : tmFixed;
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode mode) {
  if (mode == transparentMode_) return;
  transparentMode_ = mode;
  if (mode == tmAuto) transparentColor_ = clDefault;
  else transparentColor_ = TransparentColor();
  Changed();
}

void TBitmap::Mask(TColor color) {
  if (Empty()) return;
  QImage& img = BitmapImage(*this);
  const QRgb key = ToQColor(color).rgb() & 0xFFFFFF;
  for (int y = 0; y < img.height(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x)
      line[x] = (line[x] & 0xFFFFFF) == key ? 0xFF000000u : 0xFFFFFFFFu;
  }
  pixelFormat_ = pf1bit;
  Changed();
}

void TBitmap::LoadFromFile(const std::string& fileName) {
  QImage img = ReadImage(fileName);
  if (canvas_) ReleasePainter(*canvas_);
  pixelFormat_ = FormatOfDepth(img.depth());
  impl_->image = img.convertToFormat(QImage::Format_RGB32);
  Changed();
}

void TBitmap::SaveToFile(const std::string& fileName) const {
  QImage img = BitmapImage(const_cast<TBitmap&>(*this));
  if (img.isNull()) throw EInvalidGraphicOperation("Cannot save an empty bitmap");
  img = ForSaving(img, pixelFormat_);
  if (!img.save(ToQString(fileName), "BMP"))
    throw EFCreateError("Cannot create file \"" + fileName + "\"");
}


void TBitmap::LoadFromStream(TStream* stream) {
  QImage img = ImageFromBytes(ReadRest(stream), "Bitmap");
  if (canvas_) ReleasePainter(*canvas_);
  pixelFormat_ = FormatOfDepth(img.depth());
  impl_->image = img.convertToFormat(QImage::Format_RGB32);
  Changed();
}

void TBitmap::SaveToStream(TStream* stream) const {
  if (Empty()) return;  // an empty bitmap writes nothing
  WriteBytes(stream, BytesOf(ForSaving(BitmapImage(const_cast<TBitmap&>(*this)), pixelFormat_),
                             "BMP"));
}

void TBitmap::ReadData(TStream* stream) {
  int32_t size = 0;
  stream->ReadBuffer(&size, 4);
  if (size < 0 || size > stream->Size() - stream->Position())
    throw EInvalidGraphic("Bitmap image is not valid");
  TMemoryStream part;
  if (size > 0) part.CopyFrom(stream, size);
  part.SetPosition(0);
  if (size == 0) SetSize(0, 0);
  else LoadFromStream(&part);
}

void TBitmap::WriteData(TStream* stream) const {
  TMemoryStream data;
  SaveToStream(&data);
  const int32_t size = int32_t(data.Size());
  stream->WriteBuffer(&size, 4);
  data.SetPosition(0);
  if (size > 0) stream->CopyFrom(&data, size);
}

void TBitmap::Draw(TCanvas* canvas, const TRect& r) {
  QImage img = Transparent() ? MaskedImage(*this) : BitmapImage(*this);
  QPainter& p = ActivePainter(*canvas);
  p.save();
  p.setCompositionMode(Transparent() ? QPainter::CompositionMode_SourceOver
                                     : QPainter::CompositionMode_Source);
  p.drawImage(ToQRect(r), img);
  p.restore();
}

// ---- TIcon ---------------------------------------------------------------

struct TIcon::Impl {
  QImage image;
};

namespace vantrel::qt {
QImage IconImage(const TIcon& icon) { return icon.impl().image; }
std::unique_ptr<TIcon> IconOfImage(const QImage& image) {
  auto icon = std::make_unique<TIcon>();
  icon->impl().image = image.convertToFormat(QImage::Format_ARGB32);
  return icon;
}
}  // namespace vantrel::qt

TIcon::TIcon() : impl_(std::make_unique<Impl>()) {}
TIcon::~TIcon() = default;

void TIcon::Assign(const TPersistent* source) {
  if (!source) {
    impl_->image = QImage();
    Changed();
    return;
  }
  if (auto* i = As<TIcon>(const_cast<TPersistent*>(source))) {
    impl_->image = i->impl_->image;
    Changed();
    return;
  }
  if (auto* b = As<TBitmap>(const_cast<TPersistent*>(source))) {
    impl_->image = b->Transparent() ? MaskedImage(*b)
                                    : BitmapImage(*b).convertToFormat(QImage::Format_ARGB32);
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

bool TIcon::Empty() const { return impl_->image.isNull(); }
int TIcon::Width() const { return impl_->image.width(); }
int TIcon::Height() const { return impl_->image.height(); }
void TIcon::SetWidth(int) { throw EInvalidGraphicOperation("Cannot change the size of an icon"); }
void TIcon::SetHeight(int) { throw EInvalidGraphicOperation("Cannot change the size of an icon"); }

void TIcon::LoadFromFile(const std::string& fileName) {
  QImage img = ReadImage(fileName);
  impl_->image = img.convertToFormat(QImage::Format_ARGB32);
  Changed();
}

void TIcon::SaveToFile(const std::string& fileName) const {
  if (Empty()) throw EInvalidGraphicOperation("Cannot save an empty icon");
  const QString name = ToQString(fileName);
  const bool ico = name.endsWith(".ico", Qt::CaseInsensitive);
  if (!impl_->image.save(name, ico ? "ICO" : "PNG"))
    throw EFCreateError("Cannot create file \"" + fileName + "\"");
}

void TIcon::LoadFromStream(TStream* stream) {
  impl_->image = ImageFromBytes(ReadRest(stream), "Icon").convertToFormat(QImage::Format_ARGB32);
  Changed();
}

void TIcon::SaveToStream(TStream* stream) const {
  if (!Empty()) WriteBytes(stream, BytesOf(impl_->image, "ICO"));
}

void TIcon::Draw(TCanvas* canvas, const TRect& r) {
  QPainter& p = ActivePainter(*canvas);
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  p.drawImage(ToQRect(r), impl_->image);
  p.restore();
}

// ---- TMetafile -----------------------------------------------------------

struct TMetafile::Impl {
  QPicture picture;       // recorded drawing
  QByteArray svg;         // a loaded vector picture
  bool hasPicture = false;
};

struct TMetafileCanvas::Rec {
  TMetafile* metafile = nullptr;
  QPicture picture;
};

TMetafileCanvas::TMetafileCanvas(TMetafile* metafile) : rec_(std::make_unique<Rec>()) {
  rec_->metafile = metafile;
  BindDevice(*this, &rec_->picture, nullptr);
}

TMetafileCanvas::~TMetafileCanvas() {
  Unbind(*this);
  if (!rec_->metafile) return;
  auto& m = rec_->metafile->impl();
  m.picture = rec_->picture;
  m.svg.clear();
  m.hasPicture = true;
  if (rec_->metafile->width_ == 0 || rec_->metafile->height_ == 0) {
    const QRect b = rec_->picture.boundingRect();
    rec_->metafile->width_ = std::max(0, b.right() + 1);
    rec_->metafile->height_ = std::max(0, b.bottom() + 1);
  }
  rec_->metafile->Changed();
}

TMetafile::TMetafile() : impl_(std::make_unique<Impl>()) {}
TMetafile::~TMetafile() = default;

void TMetafile::Assign(const TPersistent* source) {
  if (!source) {
    Clear();
    return;
  }
  if (auto* m = As<TMetafile>(const_cast<TPersistent*>(source))) {
    impl_->picture = m->impl_->picture;
    impl_->svg = m->impl_->svg;
    impl_->hasPicture = m->impl_->hasPicture;
    width_ = m->width_;
    height_ = m->height_;
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

bool TMetafile::Empty() const { return !impl_->hasPicture && impl_->svg.isEmpty(); }
void TMetafile::SetWidth(int width) {
  width_ = std::max(0, width);
  Changed();
}
void TMetafile::SetHeight(int height) {
  height_ = std::max(0, height);
  Changed();
}
void TMetafile::Clear() {
  impl_->picture = QPicture();
  impl_->svg.clear();
  impl_->hasPicture = false;
  width_ = height_ = 0;
  Changed();
}

namespace {

// The picture as SVG: a loaded one as it was, a recorded one replayed.
QByteArray SvgOf(const TMetafile::Impl& m, int width, int height) {
  if (!m.svg.isEmpty()) return m.svg;
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(QSize(std::max(1, width), std::max(1, height)));
  generator.setViewBox(QRect(0, 0, std::max(1, width), std::max(1, height)));
  QPainter p(&generator);
  if (m.hasPicture) p.drawPicture(0, 0, m.picture);
  p.end();
  return data;
}

}  // namespace

void TMetafile::LoadFromStream(TStream* stream) {
  QByteArray data = ReadRest(stream);
  QSvgRenderer renderer(data);
  if (!renderer.isValid()) throw EInvalidGraphic("Metafile is not valid");
  impl_->svg = data;
  impl_->picture = QPicture();
  impl_->hasPicture = false;
  // The view box is the picture's own pixel size; the default size depends on units.
  const QSize size = renderer.viewBox().isEmpty() ? renderer.defaultSize()
                                                  : renderer.viewBox().size();
  width_ = size.width();
  height_ = size.height();
  Changed();
}

void TMetafile::SaveToStream(TStream* stream) const {
  if (!Empty()) WriteBytes(stream, SvgOf(*impl_, width_, height_));
}

void TMetafile::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead);
  try {
    LoadFromStream(&file);
  } catch (const EInvalidGraphic&) {
    throw EInvalidGraphic("Metafile is not valid: " + fileName);
  }
}

void TMetafile::SaveToFile(const std::string& fileName) const {
  const QByteArray data = SvgOf(*impl_, width_, height_);
  QFile f(ToQString(fileName));
  if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
    throw EFCreateError("Cannot create file \"" + fileName + "\"");
}

void TMetafile::Draw(TCanvas* canvas, const TRect& r) {
  QPainter& p = ActivePainter(*canvas);
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (!impl_->svg.isEmpty()) {
    QSvgRenderer renderer(impl_->svg);
    renderer.render(&p, QRectF(ToQRect(r)));
  } else if (impl_->hasPicture && width_ > 0 && height_ > 0) {
    p.translate(r.Left, r.Top);
    p.scale(double(r.Width()) / width_, double(r.Height()) / height_);
    p.drawPicture(0, 0, impl_->picture);
  }
  p.restore();
}

// ---- TPicture ------------------------------------------------------------

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}

void TPicture::Take(std::unique_ptr<TGraphic> graphic) {
  graphic_ = std::move(graphic);
  if (graphic_) graphic_->OnChange = [this](TObject*) { Changed(); };
  Changed();
}

void TPicture::SetGraphic(const TGraphic* graphic) {
  if (!graphic) {
    Take(nullptr);
    return;
  }
  std::unique_ptr<TGraphic> copy(static_cast<TGraphic*>(graphic->ClassType()->Create()));
  if (!copy) throw EInvalidGraphic("Cannot copy a " + graphic->ClassName());
  copy->Assign(graphic);
  Take(std::move(copy));
}

void TPicture::Assign(const TPersistent* source) {
  if (!source) {
    SetGraphic(nullptr);
  } else if (auto* pic = As<TPicture>(const_cast<TPersistent*>(source))) {
    SetGraphic(pic->Graphic());
  } else if (auto* g = As<TGraphic>(const_cast<TPersistent*>(source))) {
    SetGraphic(g);
  } else {
    TPersistent::Assign(source);
  }
}

void TPicture::AssignTo(TPersistent* dest) const {
  if (graphic_ && dest && dest->InheritsFrom(graphic_->ClassType())) {
    dest->Assign(graphic_.get());
    return;
  }
  TPersistent::AssignTo(dest);
}

template <class T>
static T* GraphicAs(TPicture& pic, std::unique_ptr<TGraphic>& graphic,
                    void (TPicture::*take)(std::unique_ptr<TGraphic>)) {
  if (auto* g = As<T>(graphic.get())) return g;
  (pic.*take)(std::make_unique<T>());
  return static_cast<T*>(graphic.get());
}

TBitmap* TPicture::Bitmap() { return GraphicAs<TBitmap>(*this, graphic_, &TPicture::Take); }
TIcon* TPicture::Icon() { return GraphicAs<TIcon>(*this, graphic_, &TPicture::Take); }
TMetafile* TPicture::Metafile() { return GraphicAs<TMetafile>(*this, graphic_, &TPicture::Take); }

void TPicture::DefineProperties(TFiler* filer) {
  filer->DefineBinaryProperty(
      "Data",
      [this](TStream* stream) {
        // The graphic's class name (a length byte and its characters), then its data.
        uint8_t length = 0;
        stream->ReadBuffer(&length, 1);
        std::string name(length, '\0');
        if (length) stream->ReadBuffer(name.data(), length);
        if (name.empty()) {
          Take(nullptr);
          return;
        }
        TClass cls = GetClass(name);
        if (!cls || !cls->InheritsFrom(TGraphic::StaticClass()) || cls->IsAbstract())
          throw EInvalidGraphic("Unknown picture format " + name);
        std::unique_ptr<TGraphic> g(static_cast<TGraphic*>(cls->Create()));
        g->ReadData(stream);
        Take(std::move(g));
      },
      [this](TStream* stream) {
        const std::string& name = graphic_->ClassName();
        const uint8_t length = uint8_t(std::min<size_t>(name.size(), 255));
        stream->WriteBuffer(&length, 1);
        stream->WriteBuffer(name.data(), length);
        graphic_->WriteData(stream);
      },
      graphic_ && !graphic_->Empty());
}

void TPicture::LoadFromFile(const std::string& fileName) {
  std::string ext = FromQString(QFileInfo(ToQString(fileName)).suffix().toLower());
  std::unique_ptr<TGraphic> g;
  if (ext == "bmp" || ext == "png" || ext == "jpg" || ext == "jpeg" || ext == "gif" ||
      ext == "dib")
    g = std::make_unique<TBitmap>();
  else if (ext == "ico")
    g = std::make_unique<TIcon>();
  else if (ext == "svg")
    g = std::make_unique<TMetafile>();
  else
    throw EInvalidGraphic("Unknown picture file extension (." + ext + ")");
  g->LoadFromFile(fileName);
  Take(std::move(g));
}

void TPicture::SaveToFile(const std::string& fileName) const {
  if (graphic_) graphic_->SaveToFile(fileName);
}
