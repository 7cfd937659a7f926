#include "platform/classlib/graphics/graphics.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPicture>
#include <QSvgGenerator>

#include <cmath>
#include <cstdio>
#include <mutex>
#include <numbers>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/graphics/images.h"
#include "platform/classlib/graphics/qtbridge.h"

IMPLEMENT_CLASS(TGraphicsObject, TPersistent)
IMPLEMENT_CLASS(TFont, TGraphicsObject)
PUBLISHED(TFont) {
  PROP_INT(Charset, Charset, SetCharset, DEFAULT_CHARSET);
  PROP_COLOR(Color, Color, SetColor, clWindowText);
  PROP_INT(Height, Height, SetHeight, -11);
  PROP_STR(Name, Name, SetName, "MS Sans Serif");
  PROP_ENUM(Pitch, Pitch, SetPitch, fpDefault);
  PROP_INT(Size, Size, SetSize, 8).Stored(false);
  PROP_SET(Style, Style, SetStyle, TFontStyles{});
}
IMPLEMENT_CLASS(TPen, TGraphicsObject)
PUBLISHED(TPen) {
  PROP_COLOR(Color, Color, SetColor, clBlack);
  PROP_ENUM(Mode, Mode, SetMode, pmCopy);
  PROP_ENUM(Style, Style, SetStyle, psSolid);
  PROP_INT(Width, Width, SetWidth, 1);
}
IMPLEMENT_CLASS(TBrush, TGraphicsObject)
PUBLISHED(TBrush) {
  PROP_COLOR(Color, Color, SetColor, clWhite);
  PROP_ENUM(Style, Style, SetStyle, bsSolid);
}
IMPLEMENT_CLASS(TCanvas, TPersistent)
IMPLEMENT_CLASS(TSvgCanvas, TCanvas)
IMPLEMENT_CLASS(TRecordingCanvas, TCanvas)

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const long long product = static_cast<long long>(number) * numerator;
  // Rounds half away from zero, as the system routine does.
  long long q = product / denominator;
  long long r = product % denominator;
  if (2 * std::llabs(r) >= std::llabs(static_cast<long long>(denominator)))
    q += ((product < 0) != (denominator < 0)) ? -1 : 1;
  return static_cast<int>(q);
}

// ---- Graphics objects ------------------------------------------------------

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

namespace {
template <class T, class V>
void SetAndNotify(T& field, const V& value, const std::function<void()>& changed) {
  if (field == value) return;
  field = value;
  changed();
}
}  // namespace

TFont::TFont() = default;

void TFont::Assign(const TPersistent* source) {
  if (const TFont* f = As<TFont>(const_cast<TPersistent*>(source))) {
    if (*f == *this && f->pixelsPerInch_ == pixelsPerInch_) return;
    name_ = f->name_;
    // Keep the point size when the resolutions differ, as fonts move between devices.
    height_ = f->pixelsPerInch_ == pixelsPerInch_ ? f->height_
                                                  : -MulDiv(f->Size(), pixelsPerInch_, 72);
    style_ = f->style_;
    color_ = f->color_;
    pitch_ = f->pitch_;
    charset_ = f->charset_;
    orientation_ = f->orientation_;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}

bool TFont::operator==(const TFont& o) const {
  return name_ == o.name_ && height_ == o.height_ && style_ == o.style_ && color_ == o.color_ &&
         pitch_ == o.pitch_ && charset_ == o.charset_ && orientation_ == o.orientation_;
}

void TFont::SetName(const std::string& name) {
  if (name.empty()) return;  // an empty face name would lose the font
  SetAndNotify(name_, name, [this] { Changed(); });
}
int TFont::Size() const { return -MulDiv(height_, 72, pixelsPerInch_); }
void TFont::SetSize(int points) { SetHeight(-MulDiv(points, pixelsPerInch_, 72)); }
void TFont::SetHeight(int pixels) { SetAndNotify(height_, pixels, [this] { Changed(); }); }
void TFont::SetPixelsPerInch(int ppi) {
  if (ppi > 0) pixelsPerInch_ = ppi;
}
void TFont::SetStyle(TFontStyles style) { SetAndNotify(style_, style, [this] { Changed(); }); }
void TFont::SetColor(TColor color) { SetAndNotify(color_, color, [this] { Changed(); }); }
void TFont::SetPitch(TFontPitch pitch) { SetAndNotify(pitch_, pitch, [this] { Changed(); }); }
void TFont::SetCharset(TFontCharset charset) {
  SetAndNotify(charset_, charset, [this] { Changed(); });
}
void TFont::SetOrientation(int tenths) {
  SetAndNotify(orientation_, tenths % 3600, [this] { Changed(); });
}

void TPen::Assign(const TPersistent* source) {
  if (const TPen* p = As<TPen>(const_cast<TPersistent*>(source))) {
    color_ = p->color_;
    width_ = p->width_;
    style_ = p->style_;
    mode_ = p->mode_;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}
void TPen::SetColor(TColor color) { SetAndNotify(color_, color, [this] { Changed(); }); }
void TPen::SetWidth(int width) {
  SetAndNotify(width_, width < 0 ? 0 : width, [this] { Changed(); });
}
void TPen::SetStyle(TPenStyle style) { SetAndNotify(style_, style, [this] { Changed(); }); }
void TPen::SetMode(TPenMode mode) { SetAndNotify(mode_, mode, [this] { Changed(); }); }

void TBrush::Assign(const TPersistent* source) {
  if (const TBrush* b = As<TBrush>(const_cast<TPersistent*>(source))) {
    color_ = b->color_;
    style_ = b->style_;
    bitmap_ = b->bitmap_;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}
void TBrush::SetColor(TColor color) {
  if (color == color_ && style_ != bsClear) return;
  color_ = color;
  if (style_ == bsClear) style_ = bsSolid;
  Changed();
}
void TBrush::SetStyle(TBrushStyle style) { SetAndNotify(style_, style, [this] { Changed(); }); }
void TBrush::SetBitmap(TBitmap* bitmap) { SetAndNotify(bitmap_, bitmap, [this] { Changed(); }); }

// ---- Qt conversions -------------------------------------------------------

namespace vantrel::qt {

QColor ToQColor(TColor color) {
  const TColor rgb = ColorToRGB(color);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}
TColor FromQColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }
QString ToQString(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }
std::string FromQString(const QString& text) { return text.toUtf8().toStdString(); }
QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }
TRect FromQRect(const QRect& r) { return Bounds(r.x(), r.y(), r.width(), r.height()); }

void InstallFontSubstitutes() {
  static std::once_flag once;
  std::call_once(once, [] {
    // The classic face names the forms ask for, mapped to the fonts we ship.
    QFont::insertSubstitution("MS Sans Serif", "Liberation Sans");
    QFont::insertSubstitution("Arial", "Liberation Sans");
    QFont::insertSubstitution("Helv", "Liberation Sans");
    QFont::insertSubstitution("Tahoma", "DejaVu Sans");
    QFont::insertSubstitution("Verdana", "DejaVu Sans");
    QFont::insertSubstitution("Times New Roman", "Liberation Serif");
    QFont::insertSubstitution("Courier New", "Liberation Mono");
    QFont::insertSubstitution("Courier", "Liberation Mono");
  });
}

namespace {
QFont BuildQFont(const TFont& font) {
  InstallFontSubstitutes();
  QFont f(ToQString(font.Name()));
  f.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::PreferMatch));
  f.setHintingPreference(QFont::PreferFullHinting);
  f.setBold(font.Style().Contains(fsBold));
  f.setItalic(font.Style().Contains(fsItalic));
  f.setUnderline(font.Style().Contains(fsUnderline));
  f.setStrikeOut(font.Style().Contains(fsStrikeOut));
  if (font.Pitch() == fpFixed) f.setFixedPitch(true);
  int h = font.Height();
  if (h == 0) h = -11;
  if (h < 0) {
    f.setPixelSize(-h);
  } else {
    // A positive height is the whole cell; find the em size that fills it.
    QFont probe(f);
    probe.setPixelSize(100);
    QFontMetrics m(probe);
    const int cell = std::max(1, m.ascent() + m.descent());
    f.setPixelSize(std::max(1, int(std::lround(h * 100.0 / cell))));
  }
  return f;
}

// What of a font the conversion reads.
struct FontKey {
  std::string name;
  int height = 0;
  uint64_t style = 0;
  TFontPitch pitch = fpDefault;
  bool operator==(const FontKey&) const = default;
};
}  // namespace

QFont ToQFont(const TFont& font) {
  // Text is drawn piece by piece in one font (every cell of a grid): the last
  // conversion is kept, and with it the glyph engine Qt looked up for it,
  // which is most of what drawing a short text costs. Never freed, so it
  // outlives the application object.
  struct Last {
    FontKey key;
    QFont font;
    bool valid = false;
  };
  static Last* last = new Last;
  const FontKey key{font.Name(), font.Height(), font.Style().Bits(), font.Pitch()};
  if (!last->valid || !(last->key == key)) *last = {key, BuildQFont(font), true};
  return last->font;
}

}  // namespace vantrel::qt

using namespace vantrel::qt;

// ---- Canvas ----------------------------------------------------------------

struct TCanvas::Impl {
  TCanvas* owner = nullptr;
  QPaintDevice* device = nullptr;
  QImage* image = nullptr;
  QPainter* painter = nullptr;  // the painter in use (owned or borrowed)
  std::unique_ptr<QPainter> ownPainter;
  std::recursive_mutex lock;
  int lockCount = 0;
  std::vector<std::string>* log = nullptr;
  QPoint brushOrigin;  // where pattern brushes start
  // State that survives re-beginning a painter.
  bool clipped = false;
  QRegion clip;
  QPoint origin;
  // The clip a borrowed painter came with (a graphic control's bounds in its
  // parent), in the coordinates of the moment it was lent: our clip never
  // reaches outside it, and resetting ours gives it back.
  bool lentClipped = false;
  QRegion lentClip;
  struct Saved {
    bool clipped;
    QRegion clip;
    QPoint origin;
    TPoint penPos;
    QPainter* painter;  // the painter that was saved with it, if any
  };
  std::vector<Saved> saved;

  bool Active() const { return painter != nullptr || device != nullptr; }

  QPainter& Painter() {
    if (!painter && !device) owner->CreateHandle();
    if (!painter) {
      if (!device) throw EInvalidOperation("Canvas does not allow drawing");
      ownPainter = std::make_unique<QPainter>();
      if (!ownPainter->begin(device)) {
        ownPainter.reset();
        throw EInvalidOperation("Canvas does not allow drawing");
      }
      painter = ownPainter.get();
      ApplyState();
    }
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setRenderHint(QPainter::TextAntialiasing, false);
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter->setBrushOrigin(brushOrigin);
    return *painter;
  }

  void ApplyState() {
    painter->resetTransform();
    painter->translate(origin);
    ApplyClip();
  }

  // The lent clip in today's coordinates.
  QRegion Lent() const { return lentClip.translated(-origin); }
  // Our clip as it takes effect: within the lent one.
  QRegion Effective() const { return lentClipped ? clip & Lent() : clip; }

  void ApplyClip() {
    if (!painter) return;
    if (clipped) painter->setClipRegion(Effective());
    else if (lentClipped) painter->setClipRegion(Lent());
    else painter->setClipping(false);
  }

  void Release() {
    if (ownPainter) {
      // Saved states end with the painter; ours are put back when it restarts.
      for (Saved& s : saved)
        if (s.painter == ownPainter.get()) {
          ownPainter->restore();
          s.painter = nullptr;
        }
      ownPainter->end();
      ownPainter.reset();
      painter = nullptr;
    }
  }

  template <class... A>
  void Note(const char* fmt, A... args) {
    if (!log) return;
    char buf[512];
    std::snprintf(buf, sizeof buf, fmt, args...);
    log->push_back(buf);
  }
};

namespace vantrel::qt {

void BindDevice(TCanvas& canvas, QPaintDevice* device, QImage* image) {
  auto& d = canvas.impl();
  d.Release();
  d.lentClipped = false;
  d.lentClip = QRegion();
  d.painter = nullptr;
  d.device = device;
  d.image = image;
}
void BindPainter(TCanvas& canvas, QPainter* painter, QImage* image) {
  auto& d = canvas.impl();
  d.Release();
  d.device = nullptr;
  d.painter = painter;
  d.image = image;
  // A borrowed painter keeps its own transform and clip; ours start empty.
  d.clipped = false;
  d.clip = QRegion();
  d.origin = QPoint();
  d.saved.clear();
  d.lentClipped = painter && painter->hasClipping();
  d.lentClip = d.lentClipped ? painter->clipRegion() : QRegion();
}
void Unbind(TCanvas& canvas) {
  auto& d = canvas.impl();
  d.Release();
  d.saved.clear();
  d.painter = nullptr;
  d.device = nullptr;
  d.image = nullptr;
}
void ReleasePainter(TCanvas& canvas) { canvas.impl().Release(); }
QPainter& ActivePainter(TCanvas& canvas) { return canvas.impl().Painter(); }
QImage* TargetImage(TCanvas& canvas) { return canvas.impl().image; }
void SetCommandLog(TCanvas& canvas, std::vector<std::string>* log) { canvas.impl().log = log; }

}  // namespace vantrel::qt

namespace {

QPainter::CompositionMode ModeFor(TPenMode mode) {
  switch (mode) {
    case pmBlack: return QPainter::RasterOp_ClearDestination;
    case pmWhite: return QPainter::RasterOp_SetDestination;
    case pmNot: return QPainter::RasterOp_NotDestination;
    case pmNotCopy: return QPainter::RasterOp_NotSource;
    case pmMergePenNot: return QPainter::RasterOp_SourceOrNotDestination;
    case pmMaskPenNot: return QPainter::RasterOp_SourceAndNotDestination;
    case pmMergeNotPen: return QPainter::RasterOp_NotSourceOrDestination;
    case pmMaskNotPen: return QPainter::RasterOp_NotSourceAndDestination;
    case pmMerge: return QPainter::RasterOp_SourceOrDestination;
    case pmNotMerge: return QPainter::RasterOp_NotSourceAndNotDestination;
    case pmMask: return QPainter::RasterOp_SourceAndDestination;
    case pmNotMask: return QPainter::RasterOp_NotSourceOrNotDestination;
    case pmXor: return QPainter::RasterOp_SourceXorDestination;
    case pmNotXor: return QPainter::RasterOp_NotSourceXorDestination;
    case pmCopy:
    case pmNop:
      break;
  }
  return QPainter::CompositionMode_SourceOver;
}

// Every pixel of a one-pixel line from a to b, the end point left out.
std::vector<QPoint> LinePixels(QPoint a, QPoint b) {
  std::vector<QPoint> pts;
  int x = a.x(), y = a.y();
  const int dx = std::abs(b.x() - x), dy = -std::abs(b.y() - y);
  const int sx = x < b.x() ? 1 : -1, sy = y < b.y() ? 1 : -1;
  int err = dx + dy;
  while (x != b.x() || y != b.y()) {
    pts.emplace_back(x, y);
    const int e2 = 2 * err;
    if (e2 >= dy) { err += dy; x += sx; }
    if (e2 <= dx) { err += dx; y += sy; }
  }
  return pts;
}

// On/off runs of the cosmetic pen styles, in pixels.
std::vector<int> DashPattern(TPenStyle style) {
  switch (style) {
    case psDash: return {18, 6};
    case psDot: return {3, 3};
    case psDashDot: return {9, 6, 3, 6};
    case psDashDotDot: return {9, 3, 3, 3, 3, 3};
    default: return {};
  }
}

Qt::BrushStyle QtBrushStyle(TBrushStyle s) {
  switch (s) {
    case bsSolid: return Qt::SolidPattern;
    case bsClear: return Qt::NoBrush;
    case bsHorizontal: return Qt::HorPattern;
    case bsVertical: return Qt::VerPattern;
    case bsFDiagonal: return Qt::BDiagPattern;  // "\" in the class library's naming
    case bsBDiagonal: return Qt::FDiagPattern;
    case bsCross: return Qt::CrossPattern;
    case bsDiagCross: return Qt::DiagCrossPattern;
  }
  return Qt::SolidPattern;
}

QBrush MakeBrush(const TBrush& b) {
  if (b.Bitmap() && !b.Bitmap()->Empty()) return QBrush(BitmapImage(*b.Bitmap()));
  return QBrush(ToQColor(b.Color()), QtBrushStyle(b.Style()));
}

bool HasBrush(const TBrush& b) { return b.Style() != bsClear || b.Bitmap(); }

// The pen's colour and mode on the painter; false when nothing is to be drawn.
bool PreparePen(QPainter& p, const TPen& pen) {
  if (pen.Style() == psClear || pen.Mode() == pmNop) return false;
  p.setCompositionMode(ModeFor(pen.Mode()));
  QColor c = ToQColor(pen.Color());
  if (pen.Mode() == pmBlack) c = Qt::black;
  if (pen.Mode() == pmWhite) c = Qt::white;
  QPen qp(c);
  qp.setWidth(std::max(1, pen.Width()));
  qp.setCapStyle(Qt::FlatCap);
  qp.setJoinStyle(Qt::MiterJoin);
  p.setPen(qp);
  return true;
}

double AngleOf(double cx, double cy, int x, int y) {
  return std::atan2(-(y - cy), x - cx) * 180.0 / std::numbers::pi;
}

// A bounding rectangle may be given by any two opposite corners.
void OrderCorners(int& x1, int& y1, int& x2, int& y2) {
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
}

// Ellipses, rounded rectangles and arc figures: drawn with the pen and, when
// fill is given, the brush, inside the bounding box with its right and bottom
// edges excluded. draw receives the box less those edges.
template <class Draw>
void DrawBoxedFigure(QPainter& p, const TPen& pen, const TBrush* fill, int x1, int y1, int x2,
                     int y2, Draw draw) {
  p.save();
  if (!PreparePen(p, pen)) p.setPen(Qt::NoPen);
  if (pen.Mode() != pmNop) {
    p.setCompositionMode(ModeFor(pen.Mode()));
    p.setBrush(fill && HasBrush(*fill) ? MakeBrush(*fill) : QBrush());
    p.setClipRect(QRect(x1, y1, x2 - x1, y2 - y1), Qt::IntersectClip);
    draw(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
  }
  p.restore();
}

}  // namespace

TCanvas::TCanvas()
    : impl_(std::make_unique<Impl>()),
      font_(std::make_unique<TFont>()),
      pen_(std::make_unique<TPen>()),
      brush_(std::make_unique<TBrush>()) {
  impl_->owner = this;
}

TCanvas::~TCanvas() { impl_->Release(); }

bool TCanvas::HandleAllocated() const { return impl_->Active(); }

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}
void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

void TCanvas::MoveTo(int x, int y) {
  impl_->Note("MoveTo(%d,%d)", x, y);
  penPos_ = {x, y};
}

void TCanvas::LineTo(int x, int y) {
  impl_->Note("LineTo(%d,%d)", x, y);
  QPainter& p = impl_->Painter();
  Changing();
  p.save();
  if (PreparePen(p, *pen_)) {
    const QPoint a(penPos_.x, penPos_.y), b(x, y);
    if (pen_->Width() <= 1) {
      std::vector<QPoint> pts = LinePixels(a, b);
      const std::vector<int> pattern = DashPattern(pen_->Style());
      if (!pattern.empty()) {
        std::vector<QPoint> on;
        int period = 0;
        for (int n : pattern) period += n;
        for (size_t i = 0; i < pts.size(); ++i) {
          int pos = int(i % size_t(period)), run = 0;
          bool drawn = true;
          for (int n : pattern) {
            if (pos < run + n) break;
            run += n;
            drawn = !drawn;
          }
          if (drawn) on.push_back(pts[i]);
        }
        pts.swap(on);
      }
      if (!pts.empty()) p.drawPoints(pts.data(), int(pts.size()));
    } else if (a != b) {
      p.drawLine(a, b);
    }
  }
  p.restore();
  penPos_ = {x, y};
  Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
  impl_->Note("Polyline(%d points)", int(points.size()));
  if (points.empty()) return;
  auto* log = impl_->log;
  impl_->log = nullptr;
  const TPoint saved = penPos_;
  penPos_ = points[0];
  for (size_t i = 1; i < points.size(); ++i) LineTo(points[i].x, points[i].y);
  penPos_ = saved;
  impl_->log = log;
}

void TCanvas::Polygon(const std::vector<TPoint>& points) {
  impl_->Note("Polygon(%d points)", int(points.size()));
  if (points.size() < 2) return;
  QPainter& p = impl_->Painter();
  Changing();
  QPolygon poly;
  for (const TPoint& pt : points) poly << QPoint(pt.x, pt.y);
  p.save();
  if (!PreparePen(p, *pen_)) p.setPen(Qt::NoPen);
  if (pen_->Mode() != pmNop) {
    p.setCompositionMode(ModeFor(pen_->Mode()));
    p.setBrush(HasBrush(*brush_) ? MakeBrush(*brush_) : QBrush());
    p.drawPolygon(poly, Qt::OddEvenFill);
  }
  p.restore();
  Changed();
}

void TCanvas::PolyBezier(const std::vector<TPoint>& points) {
  impl_->Note("PolyBezier(%d points)", int(points.size()));
  if (points.size() < 4) return;
  QPainter& p = impl_->Painter();
  Changing();
  QPainterPath path(QPointF(points[0].x, points[0].y));
  for (size_t i = 1; i + 2 < points.size(); i += 3)
    path.cubicTo(points[i].x, points[i].y, points[i + 1].x, points[i + 1].y, points[i + 2].x,
                 points[i + 2].y);
  p.save();
  if (PreparePen(p, *pen_)) {
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
  }
  p.restore();
  Changed();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  impl_->Note("Rectangle(%d,%d,%d,%d)", x1, y1, x2, y2);
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  QPainter& p = impl_->Painter();
  Changing();
  p.save();
  const bool pen = PreparePen(p, *pen_);
  if (pen_->Mode() != pmNop) {
    p.setCompositionMode(ModeFor(pen_->Mode()));
    const int w = std::max(1, pen_->Width());
    if (!pen) {
      // Without a pen the filled area is one pixel smaller on the right and bottom.
      if (HasBrush(*brush_) && x2 - x1 > 1 && y2 - y1 > 1)
        p.fillRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1), MakeBrush(*brush_));
    } else {
      // The outline lies inside the rectangle; edges do not overlap, so that
      // combining pen modes touch every pixel once.
      const QBrush edge(p.pen().color());
      if (HasBrush(*brush_) && x2 - x1 > 2 * w && y2 - y1 > 2 * w)
        p.fillRect(QRect(x1 + w, y1 + w, x2 - x1 - 2 * w, y2 - y1 - 2 * w), MakeBrush(*brush_));
      const int ew = std::min(w, x2 - x1), eh = std::min(w, (y2 - y1 + 1) / 2);
      p.fillRect(QRect(x1, y1, x2 - x1, eh), edge);
      if (y2 - y1 > eh) p.fillRect(QRect(x1, y2 - eh, x2 - x1, eh), edge);
      if (y2 - y1 > 2 * eh) {
        p.fillRect(QRect(x1, y1 + eh, ew, y2 - y1 - 2 * eh), edge);
        if (x2 - x1 > ew) p.fillRect(QRect(x2 - ew, y1 + eh, ew, y2 - y1 - 2 * eh), edge);
      }
    }
  }
  p.restore();
  Changed();
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int cw, int ch) {
  impl_->Note("RoundRect(%d,%d,%d,%d,%d,%d)", x1, y1, x2, y2, cw, ch);
  OrderCorners(x1, y1, x2, y2);
  QPainter& p = impl_->Painter();
  Changing();
  DrawBoxedFigure(p, *pen_, brush_.get(), x1, y1, x2, y2,
                  [&](const QRect& r) { p.drawRoundedRect(r, cw / 2.0, ch / 2.0); });
  Changed();
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  impl_->Note("Ellipse(%d,%d,%d,%d)", x1, y1, x2, y2);
  OrderCorners(x1, y1, x2, y2);
  QPainter& p = impl_->Painter();
  Changing();
  DrawBoxedFigure(p, *pen_, brush_.get(), x1, y1, x2, y2,
                  [&](const QRect& r) { p.drawEllipse(r); });
  Changed();
}

void TCanvas::ArcFigure(int kind, int x1, int y1, int x2, int y2, int x3, int y3, int x4,
                        int y4) {
  static const char* const names[] = {"Arc", "Chord", "Pie"};
  impl_->Note("%s(%d,%d,%d,%d,%d,%d,%d,%d)", names[kind], x1, y1, x2, y2, x3, y3, x4, y4);
  OrderCorners(x1, y1, x2, y2);
  QPainter& p = impl_->Painter();
  Changing();
  const double cx = (x1 + x2) / 2.0, cy = (y1 + y2) / 2.0;
  const double start = AngleOf(cx, cy, x3, y3);
  double span = AngleOf(cx, cy, x4, y4) - start;
  while (span <= 0) span += 360;
  const int a = int(std::lround(start * 16)), sp = int(std::lround(span * 16));
  // An arc is a line only; chords and pies are filled.
  DrawBoxedFigure(p, *pen_, kind != 0 ? brush_.get() : nullptr, x1, y1, x2, y2,
                  [&](const QRect& r) {
                    if (kind == 0) p.drawArc(r, a, sp);
                    else if (kind == 1) p.drawChord(r, a, sp);
                    else p.drawPie(r, a, sp);
                  });
  Changed();
}

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  ArcFigure(0, x1, y1, x2, y2, x3, y3, x4, y4);
}
void TCanvas::Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  ArcFigure(1, x1, y1, x2, y2, x3, y3, x4, y4);
}
void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  ArcFigure(2, x1, y1, x2, y2, x3, y3, x4, y4);
}

void TCanvas::FillRect(const TRect& r) {
  impl_->Note("FillRect(%d,%d,%d,%d)", r.Left, r.Top, r.Right, r.Bottom);
  if (IsRectEmpty(r)) return;
  QPainter& p = impl_->Painter();
  if (!HasBrush(*brush_)) return;
  Changing();
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  p.fillRect(ToQRect(r), MakeBrush(*brush_));
  p.restore();
  Changed();
}

void TCanvas::FrameRect(const TRect& r) {
  impl_->Note("FrameRect(%d,%d,%d,%d)", r.Left, r.Top, r.Right, r.Bottom);
  if (IsRectEmpty(r)) return;
  QPainter& p = impl_->Painter();
  if (!HasBrush(*brush_)) return;
  Changing();
  const QBrush b = MakeBrush(*brush_);
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  p.fillRect(QRect(r.Left, r.Top, r.Width(), 1), b);
  if (r.Height() > 1) p.fillRect(QRect(r.Left, r.Bottom - 1, r.Width(), 1), b);
  if (r.Height() > 2) {
    p.fillRect(QRect(r.Left, r.Top + 1, 1, r.Height() - 2), b);
    if (r.Width() > 1) p.fillRect(QRect(r.Right - 1, r.Top + 1, 1, r.Height() - 2), b);
  }
  p.restore();
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& r) {
  impl_->Note("DrawFocusRect(%d,%d,%d,%d)", r.Left, r.Top, r.Right, r.Bottom);
  if (IsRectEmpty(r)) return;
  QPainter& p = impl_->Painter();
  Changing();
  std::vector<QPoint> pts;
  auto add = [&](int x, int y) {
    if (((x + y) & 1) == 0) pts.emplace_back(x, y);
  };
  for (int x = r.Left; x < r.Right; ++x) {
    add(x, r.Top);
    if (r.Bottom - 1 > r.Top) add(x, r.Bottom - 1);
  }
  for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
    add(r.Left, y);
    if (r.Right - 1 > r.Left) add(r.Right - 1, y);
  }
  p.save();
  p.setCompositionMode(QPainter::RasterOp_NotDestination);
  p.setPen(QPen(Qt::black, 1));
  p.drawPoints(pts.data(), int(pts.size()));
  p.restore();
  Changed();
}

void TCanvas::FloodFill(int x, int y, TColor color, TFillStyle style) {
  impl_->Note("FloodFill(%d,%d)", x, y);
  QImage* img = impl_->image;
  impl_->Painter();  // raises when there is nowhere to draw
  if (!img) return;  // only image surfaces can be read back
  impl_->Release();
  const QPoint o = impl_->origin;
  x += o.x();
  y += o.y();
  if (!img->rect().contains(x, y)) return;
  const QRgb target = ToQColor(color).rgb() & 0xFFFFFF;
  const QRgb fill = ToQColor(brush_->Color()).rgb();
  auto matches = [&](int px, int py) {
    const QRgb c = img->pixel(px, py) & 0xFFFFFF;
    return style == fsSurface ? c == target : c != target;
  };
  if (!matches(x, y) || (style == fsSurface && (fill & 0xFFFFFF) == target)) return;
  Changing();
  std::vector<QPoint> stack{{x, y}};
  while (!stack.empty()) {
    QPoint pt = stack.back();
    stack.pop_back();
    if (!img->rect().contains(pt) || !matches(pt.x(), pt.y()) ||
        (img->pixel(pt) & 0xFFFFFF) == (fill & 0xFFFFFF))
      continue;
    img->setPixel(pt, fill);
    stack.emplace_back(pt.x() + 1, pt.y());
    stack.emplace_back(pt.x() - 1, pt.y());
    stack.emplace_back(pt.x(), pt.y() + 1);
    stack.emplace_back(pt.x(), pt.y() - 1);
  }
  Changed();
}

namespace {

void DrawTextCell(QPainter& p, const TFont& font, const TBrush& brush, int x, int y,
                  const QString& text, const QRect* opaque) {
  const QFont qf = ToQFont(font);
  p.setFont(qf);
  QFontMetrics m(qf);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  const int angle = font.Orientation();
  if (opaque && brush.Style() != bsClear) p.fillRect(*opaque, ToQColor(brush.Color()));
  if (brush.Style() != bsClear && !opaque) {
    QTransform t;
    t.translate(x, y);
    t.rotate(-angle / 10.0);
    p.save();
    p.setTransform(t, true);
    p.translate(-x, -y);
    p.fillRect(QRect(x, y, m.horizontalAdvance(text), m.height()), ToQColor(brush.Color()));
    p.restore();
  }
  p.setPen(ToQColor(font.Color()));
  if (angle == 0) {
    p.drawText(QPoint(x, y + m.ascent()), text);
  } else {
    p.save();
    p.translate(x, y);
    p.rotate(-angle / 10.0);
    p.drawText(QPoint(0, m.ascent()), text);
    p.restore();
  }
}

}  // namespace

void TCanvas::TextOut(int x, int y, const std::string& text) {
  impl_->Note("TextOut(%d,%d,\"%s\")", x, y, text.c_str());
  QPainter& p = impl_->Painter();
  Changing();
  p.save();
  const QString s = ToQString(text);
  DrawTextCell(p, *font_, *brush_, x, y, s, nullptr);
  p.restore();
  penPos_ = {x + TextWidth(text), y};
  Changed();
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
  impl_->Note("TextRect(%d,%d,%d,%d,%d,%d,\"%s\")", r.Left, r.Top, r.Right, r.Bottom, x, y,
              text.c_str());
  QPainter& p = impl_->Painter();
  Changing();
  p.save();
  const QRect qr = ToQRect(r);
  p.setClipRect(qr, Qt::IntersectClip);
  DrawTextCell(p, *font_, *brush_, x, y, ToQString(text), &qr);
  p.restore();
  Changed();
}

namespace {
constexpr int kDefaultTabChars = 8;  // default stops lie this many average characters apart

int NextTabStop(int x, const std::vector<int>& stops, int averageCharWidth) {
  if (stops.size() == 1 && stops[0] > 0) return (x / stops[0] + 1) * stops[0];
  for (int stop : stops)
    if (stop > x) return stop;
  const int step = std::max(1, kDefaultTabChars * averageCharWidth);
  return (x / step + 1) * step;
}
}  // namespace

int ForEachTabbedPiece(const std::string& text, const std::vector<int>& stops,
                       int averageCharWidth, int startX,
                       const std::function<int(int x, const std::string& piece)>& piece) {
  int x = startX;
  size_t from = 0;
  for (;;) {
    const size_t tab = text.find('\t', from);
    const std::string part = text.substr(from, tab == std::string::npos ? tab : tab - from);
    if (!part.empty()) x += piece(x, part);
    if (tab == std::string::npos) return x;
    x = NextTabStop(x, stops, averageCharWidth);
    from = tab + 1;
  }
}

TSize TCanvas::TextExtent(const std::string& text) const {
  QFontMetrics m(ToQFont(*font_));
  auto width = [&m](int, const std::string& part) { return m.horizontalAdvance(ToQString(part)); };
  const int cx = text.find('\t') == std::string::npos
                     ? width(0, text)
                     : ForEachTabbedPiece(text, {}, m.averageCharWidth(), 0, width);
  return {cx, m.height()};
}

TCanvas::TTextMetric TCanvas::TextMetrics() const {
  const QFont f = ToQFont(*font_);
  QFontMetrics m(f);
  TTextMetric tm;
  tm.Height = m.height();
  tm.Ascent = m.ascent();
  tm.Descent = m.descent();
  tm.InternalLeading = std::max(0, m.height() - f.pixelSize());
  tm.ExternalLeading = std::max(0, m.leading());
  tm.AveCharWidth = m.averageCharWidth();
  tm.MaxCharWidth = m.maxWidth();
  return tm;
}

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  impl_->Note("Draw(%d,%d,%s)", x, y, graphic->ClassName().c_str());
  impl_->Painter();
  Changing();
  graphic->Draw(this, Bounds(x, y, graphic->Width(), graphic->Height()));
  Changed();
}

void TCanvas::StretchDraw(const TRect& r, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  impl_->Note("StretchDraw(%d,%d,%d,%d,%s)", r.Left, r.Top, r.Right, r.Bottom,
              graphic->ClassName().c_str());
  impl_->Painter();
  Changing();
  graphic->Draw(this, r);
  Changed();
}

namespace {

QImage SourcePixels(TCanvas& source, const TRect& r) {
  QImage* img = TargetImage(source);
  if (!img) return QImage();
  ReleasePainter(source);
  QRect qr = ToQRect(r).translated(source.Origin().x, source.Origin().y);
  return img->copy(qr).convertToFormat(QImage::Format_RGB32);
}

// Vector pages (SVG, PDF) have no raster operations. Over paper, ANDing a
// picture leaves its white out: drawn that way, the page looks like the screen.
bool OnVectorPage(const QPainter& p) {
  // (The SVG engine claims raster operations it cannot write.)
  const QPaintEngine* e = p.paintEngine();
  return e && (e->type() == QPaintEngine::SVG || e->type() == QPaintEngine::Pdf);
}

QImage WhiteAsTransparent(const QImage& src) {
  QImage out = src.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x)
      if ((line[x] & 0xFFFFFF) == 0xFFFFFF) line[x] = 0;
  }
  return out;
}

}  // namespace

void TCanvas::CopyRect(const TRect& dest, TCanvas* source, const TRect& sourceRect) {
  impl_->Note("CopyRect(%d,%d,%d,%d,%08X)", dest.Left, dest.Top, dest.Right, dest.Bottom,
              unsigned(copyMode_));
  // The pattern and destination operations need no source.
  const bool patternOnly = copyMode_ == PATCOPY || copyMode_ == PATINVERT ||
                           copyMode_ == DSTINVERT || copyMode_ == BLACKNESS ||
                           copyMode_ == WHITENESS;
  if (!source && !patternOnly) return;
  QImage src = source ? SourcePixels(*source, sourceRect) : QImage();
  QPainter& p = impl_->Painter();  // after reading: source may be this canvas
  Changing();
  p.save();
  const QRect d = ToQRect(dest);
  auto blit = [&](QPainter::CompositionMode mode, const QImage& img) {
    p.setCompositionMode(mode);
    if (!img.isNull()) p.drawImage(d, img);
  };
  switch (copyMode_) {
    case SRCCOPY: blit(QPainter::CompositionMode_Source, src); break;
    case SRCAND:
      if (!OnVectorPage(p)) blit(QPainter::RasterOp_SourceAndDestination, src);
      else
        blit(QPainter::CompositionMode_SourceOver, WhiteAsTransparent(src));
      break;
    case SRCPAINT: blit(QPainter::RasterOp_SourceOrDestination, src); break;
    case SRCINVERT: blit(QPainter::RasterOp_SourceXorDestination, src); break;
    case SRCERASE: blit(QPainter::RasterOp_SourceAndNotDestination, src); break;
    case NOTSRCCOPY: blit(QPainter::RasterOp_NotSource, src); break;
    case NOTSRCERASE: blit(QPainter::RasterOp_NotSourceAndNotDestination, src); break;
    case MERGEPAINT: blit(QPainter::RasterOp_NotSourceOrDestination, src); break;
    case MERGECOPY: {
      const QRgb b = ToQColor(brush_->Color()).rgb();
      for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) src.setPixel(x, y, (src.pixel(x, y) & b) | 0xFF000000);
      blit(QPainter::CompositionMode_Source, src);
      break;
    }
    case PATCOPY:
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.fillRect(d, MakeBrush(*brush_));
      break;
    case PATINVERT:
      p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
      p.fillRect(d, MakeBrush(*brush_));
      break;
    case DSTINVERT:
      p.setCompositionMode(QPainter::RasterOp_NotDestination);
      p.fillRect(d, Qt::black);
      break;
    case BLACKNESS:
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.fillRect(d, Qt::black);
      break;
    case WHITENESS:
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.fillRect(d, Qt::white);
      break;
    case ROP_PSDPxax:
    case ROP_DSPDxax: {
      // The brush shows where the source is black (PSDPxax) or white (DSPDxax);
      // the destination stays elsewhere.
      const bool onBlack = copyMode_ == ROP_PSDPxax;
      QImage mask(src.size(), QImage::Format_ARGB32_Premultiplied);
      const QRgb b = ToQColor(brush_->Color()).rgb();
      for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
          const bool black = (src.pixel(x, y) & 0xFFFFFF) == 0;
          mask.setPixel(x, y, black == onBlack ? b : 0u);
        }
      blit(QPainter::CompositionMode_SourceOver, mask);
      break;
    }
    default: blit(QPainter::CompositionMode_Source, src); break;
  }
  p.restore();
  Changed();
}

void TCanvas::BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor color) {
  impl_->Note("BrushCopy(%d,%d,%d,%d)", dest.Left, dest.Top, dest.Right, dest.Bottom);
  if (!bitmap || bitmap->Empty()) return;
  QImage src = BitmapImage(*bitmap).copy(ToQRect(source)).convertToFormat(QImage::Format_RGB32);
  const QRgb key = ToQColor(color).rgb() & 0xFFFFFF;
  const QRgb fill = ToQColor(brush_->Color()).rgb();
  for (int y = 0; y < src.height(); ++y)
    for (int x = 0; x < src.width(); ++x)
      if ((src.pixel(x, y) & 0xFFFFFF) == key) src.setPixel(x, y, fill);
  QPainter& p = impl_->Painter();
  Changing();
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(ToQRect(dest), src);
  p.restore();
  Changed();
}

TColor TCanvas::Pixels(int x, int y) const {
  QImage* img = impl_->image;
  if (!img) return CLR_INVALID;
  impl_->Release();
  const QPoint pt = QPoint(x, y) + impl_->origin;
  if (!img->rect().contains(pt)) return CLR_INVALID;
  if (impl_->clipped && !impl_->clip.contains(QPoint(x, y))) return CLR_INVALID;
  return FromQColor(QColor(img->pixel(pt)));
}

void TCanvas::SetPixels(int x, int y, TColor color) {
  impl_->Note("SetPixel(%d,%d,%08X)", x, y, unsigned(color));
  QPainter& p = impl_->Painter();
  Changing();
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.fillRect(QRect(x, y, 1, 1), ToQColor(color));
  p.restore();
  Changed();
}

TRect TCanvas::ClipRect() const {
  if (impl_->clipped) return FromQRect(impl_->Effective().boundingRect());
  if (impl_->painter && impl_->painter->hasClipping())
    return FromQRect(impl_->painter->clipBoundingRect().toAlignedRect());
  QPaintDevice* dev = impl_->device;
  if (!dev && impl_->painter) dev = impl_->painter->device();
  if (!dev) return {};
  return Bounds(-impl_->origin.x(), -impl_->origin.y(), dev->width(), dev->height());
}

void TCanvas::SetClipRect(const TRect& r) {
  impl_->clipped = true;
  impl_->clip = QRegion(ToQRect(r));
  impl_->ApplyClip();
}

void TCanvas::IntersectClipRect(const TRect& r) {
  if (!impl_->clipped) {
    if (impl_->painter && impl_->painter->hasClipping()) {
      impl_->clip = impl_->painter->clipRegion() & QRegion(ToQRect(r));
    } else {
      impl_->clip = QRegion(ToQRect(r));
    }
    impl_->clipped = true;
  } else {
    impl_->clip &= QRegion(ToQRect(r));
  }
  impl_->ApplyClip();
}

void TCanvas::ExcludeClipRect(const TRect& r) {
  if (!impl_->clipped) {
    const TRect all = ClipRect();
    impl_->clip = QRegion(ToQRect(all));
    impl_->clipped = true;
  }
  impl_->clip -= QRegion(ToQRect(r));
  impl_->ApplyClip();
}

void TCanvas::ResetClip() {
  impl_->clipped = false;
  impl_->clip = QRegion();
  impl_->ApplyClip();
}

void TCanvas::SaveState() {
  QPainter* p = impl_->painter;
  if (p) p->save();  // the painter keeps transform and clip of a borrowed painter too
  impl_->saved.push_back({impl_->clipped, impl_->clip, impl_->origin, penPos_, p});
}

void TCanvas::RestoreState() {
  if (impl_->saved.empty()) return;
  const Impl::Saved s = impl_->saved.back();
  impl_->saved.pop_back();
  const QPoint delta = s.origin - impl_->origin;
  impl_->clipped = s.clipped;
  impl_->clip = s.clip;
  impl_->origin = s.origin;
  penPos_ = s.penPos;
  QPainter* p = impl_->painter;
  if (!p) return;
  if (s.painter == p) {
    p->restore();
  } else {
    // The painter began after the state was saved: put ours back on it.
    p->translate(delta);
    impl_->ApplyClip();
  }
}

void TCanvas::OffsetOrigin(int dx, int dy) {
  impl_->origin += QPoint(dx, dy);
  if (impl_->clipped) impl_->clip.translate(-dx, -dy);
  if (impl_->painter) {
    impl_->painter->translate(dx, dy);
    if (impl_->clipped) impl_->ApplyClip();
  }
}

TPoint TCanvas::Origin() const { return {impl_->origin.x(), impl_->origin.y()}; }

void TCanvas::SetBrushOrigin(TPoint p) { impl_->brushOrigin = QPoint(p.x, p.y); }
TPoint TCanvas::BrushOrigin() const { return {impl_->brushOrigin.x(), impl_->brushOrigin.y()}; }

void TCanvas::Lock() {
  impl_->lock.lock();
  ++impl_->lockCount;
}
void TCanvas::Unlock() {
  if (impl_->lockCount == 0) return;
  --impl_->lockCount;
  impl_->lock.unlock();
}
bool TCanvas::TryLock() {
  if (!impl_->lock.try_lock()) return false;
  ++impl_->lockCount;
  return true;
}
int TCanvas::LockCount() const { return impl_->lockCount; }

void TCanvas::Refresh() {
  if (impl_->painter) impl_->painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// ---- SVG and recording canvases -------------------------------------------

struct TSvgCanvas::Svg {
  QSvgGenerator generator;
  std::string fileName;
  bool finished = false;
};

TSvgCanvas::TSvgCanvas(const std::string& fileName, int width, int height,
                       const std::string& title)
    : svg_(std::make_unique<Svg>()) {
  svg_->fileName = fileName;
  svg_->generator.setFileName(ToQString(fileName));
  svg_->generator.setSize(QSize(width, height));
  svg_->generator.setViewBox(QRect(0, 0, width, height));
  if (!title.empty()) svg_->generator.setTitle(ToQString(title));
  BindDevice(*this, &svg_->generator, nullptr);
}

TSvgCanvas::~TSvgCanvas() {
  try {
    Finish();
  } catch (const Exception&) {
    // A destructor cannot report; callers who care call Finish themselves.
  }
}

void TSvgCanvas::Finish() {
  if (svg_->finished) return;
  svg_->finished = true;
  // An untouched canvas still writes an (empty) picture.
  ActivePainter(*this);
  Unbind(*this);
  FILE* f = std::fopen(svg_->fileName.c_str(), "rb");
  if (!f) throw EFCreateError("Cannot create file \"" + svg_->fileName + "\"");
  std::fclose(f);
}

TRecordingCanvas::TRecordingCanvas(int width, int height) : image_(std::make_unique<TBitmap>()) {
  image_->SetSize(width, height);
  image_->Canvas()->Brush()->SetColor(clWhite);
  image_->Canvas()->FillRect(Rect(0, 0, width, height));
  QImage& img = BitmapImage(*image_);
  BindDevice(*this, &img, &img);
  SetCommandLog(*this, &commands_);
}

TRecordingCanvas::~TRecordingCanvas() { Unbind(*this); }

TBitmap* TRecordingCanvas::Image() {
  ReleasePainter(*this);
  return image_.get();
}
