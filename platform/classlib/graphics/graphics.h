#pragma once
// Fonts, pens, brushes and the canvas. One TCanvas draws on a window, an
// image, an SVG file or a recording; it follows the drawing rules the system
// was written for: a rectangle covers its left and top edges but not its right
// and bottom ones, a line does not paint its end point, and the pen mode
// combines pen and brush with what is already there.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/core/persistent.h"
#include "platform/classlib/core/sets.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/graphics/colors.h"
#include "platform/classlib/graphics/types.h"

class TCanvas;
class TGraphic;
class TBitmap;

// The colour identifiers ("clRed", "clBtnFace") of a published colour
// property: form definitions write them and read them as the numbers they name.
const TIdentMap& ColorIdents();
#define PROP_COLOR(Name, Getter, Setter, Def) PROP_INT(Name, Getter, Setter, Def).Idents(ColorIdents())

// Common base of TFont, TPen and TBrush: tells its owner (usually a canvas or
// a control) of every change.
class TGraphicsObject : public TPersistent {
  DECLARE_CLASS(TGraphicsObject, TPersistent)
 public:
  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
};

// ---- Fonts ---------------------------------------------------------------

DECLARE_ENUM(TFontStyle, fsBold, fsItalic, fsUnderline, fsStrikeOut)
using TFontStyles = TSet<TFontStyle>;
DECLARE_ENUM(TFontPitch, fpDefault, fpVariable, fpFixed)
using TFontCharset = uint8_t;
constexpr TFontCharset ANSI_CHARSET = 0;
constexpr TFontCharset DEFAULT_CHARSET = 1;
constexpr TFontCharset SYMBOL_CHARSET = 2;
constexpr TFontCharset OEM_CHARSET = 255;

class TFont : public TGraphicsObject {
  DECLARE_CLASS(TFont, TGraphicsObject)
 public:
  TFont();

  void Assign(const TPersistent* source) override;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  // Points; negative heights are character heights, positive ones cell heights.
  int Size() const;
  void SetSize(int points);
  int Height() const { return height_; }
  void SetHeight(int pixels);
  // The resolution that links Size and Height (screen resolution by default).
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int ppi);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch pitch);
  TFontCharset Charset() const { return charset_; }
  void SetCharset(TFontCharset charset);
  // Angle of the text base line in tenths of a degree, counter-clockwise.
  int Orientation() const { return orientation_; }
  void SetOrientation(int tenths);

  bool operator==(const TFont& other) const;

 private:
  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  int pixelsPerInch_ = 96;
  TFontStyles style_;
  TColor color_ = clWindowText;
  TFontPitch pitch_ = fpDefault;
  TFontCharset charset_ = DEFAULT_CHARSET;
  int orientation_ = 0;
};

// ---- Pens and brushes ------------------------------------------------------

DECLARE_ENUM(TPenStyle, psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame)
// How the pen (and the brush of filled figures) combines with the pixels below.
DECLARE_ENUM(TPenMode, pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot,
             pmMaskPenNot, pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask,
             pmXor, pmNotXor)

class TPen : public TGraphicsObject {
  DECLARE_CLASS(TPen, TGraphicsObject)
 public:
  void Assign(const TPersistent* source) override;

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int Width() const { return width_; }
  void SetWidth(int width);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode mode);

 private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
};

DECLARE_ENUM(TBrushStyle, bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal,
             bsCross, bsDiagCross)

class TBrush : public TGraphicsObject {
  DECLARE_CLASS(TBrush, TGraphicsObject)
 public:
  void Assign(const TPersistent* source) override;

  TColor Color() const { return color_; }
  // Also makes a clear brush solid again, as setting a colour means painting.
  void SetColor(TColor color);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);
  // A pattern bitmap (not owned; the caller keeps it alive while it is set).
  TBitmap* Bitmap() const { return bitmap_; }
  void SetBitmap(TBitmap* bitmap);

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  TBitmap* bitmap_ = nullptr;
};

// ---- Canvas ----------------------------------------------------------------

// Raster operations of CopyRect (the copy mode) and of the helpers.
using TCopyMode = uint32_t;
constexpr TCopyMode SRCCOPY = 0x00CC0020;
constexpr TCopyMode SRCPAINT = 0x00EE0086;
constexpr TCopyMode SRCAND = 0x008800C6;
constexpr TCopyMode SRCINVERT = 0x00660046;
constexpr TCopyMode SRCERASE = 0x00440328;
constexpr TCopyMode NOTSRCCOPY = 0x00330008;
constexpr TCopyMode NOTSRCERASE = 0x001100A6;
constexpr TCopyMode MERGECOPY = 0x00C000CA;
constexpr TCopyMode MERGEPAINT = 0x00BB0226;
constexpr TCopyMode PATCOPY = 0x00F00021;
constexpr TCopyMode PATPAINT = 0x00FB0A09;
constexpr TCopyMode PATINVERT = 0x005A0049;
constexpr TCopyMode DSTINVERT = 0x00550009;
constexpr TCopyMode BLACKNESS = 0x00000042;
constexpr TCopyMode WHITENESS = 0x00FF0062;
// The brush where the source is black, the destination where it is white.
constexpr TCopyMode ROP_DSPDxax = 0x00E20746;
constexpr TCopyMode ROP_PSDPxax = 0x00B8074A;
constexpr TCopyMode cmSrcCopy = SRCCOPY, cmSrcPaint = SRCPAINT, cmSrcAnd = SRCAND,
                    cmSrcInvert = SRCINVERT, cmSrcErase = SRCERASE, cmNotSrcCopy = NOTSRCCOPY,
                    cmNotSrcErase = NOTSRCERASE, cmMergeCopy = MERGECOPY,
                    cmMergePaint = MERGEPAINT, cmPatCopy = PATCOPY, cmPatPaint = PATPAINT,
                    cmPatInvert = PATINVERT, cmDstInvert = DSTINVERT, cmBlackness = BLACKNESS,
                    cmWhiteness = WHITENESS;

constexpr TColor CLR_INVALID = TColor(0xFFFFFFFF);

class TCanvas : public TPersistent {
  DECLARE_CLASS(TCanvas, TPersistent)
 public:
  TCanvas();
  ~TCanvas() override;

  TFont* Font() const { return font_.get(); }
  TPen* Pen() const { return pen_.get(); }
  TBrush* Brush() const { return brush_.get(); }
  void SetFont(const TFont* font) { font_->Assign(font); }
  void SetPen(const TPen* pen) { pen_->Assign(pen); }
  void SetBrush(const TBrush* brush) { brush_->Assign(brush); }

  TPoint PenPos() const { return penPos_; }
  void SetPenPos(TPoint p) { penPos_ = p; }
  TCopyMode CopyMode() const { return copyMode_; }
  void SetCopyMode(TCopyMode mode) { copyMode_ = mode; }

  // True while the canvas has somewhere to draw.
  bool HandleAllocated() const;

  // Lines (the end point is not painted) and figures.
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Polyline(const std::vector<TPoint>& points);
  void Polygon(const std::vector<TPoint>& points);
  void PolyBezier(const std::vector<TPoint>& points);
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void RoundRect(int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight);
  void Ellipse(int x1, int y1, int x2, int y2);
  void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
  // Elliptic arcs from the ray through (x3, y3) counter-clockwise to the ray through (x4, y4).
  void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);

  // Brush-only fills (the pen mode does not apply).
  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  // Inverts every other pixel of the rectangle's outline; twice restores it.
  void DrawFocusRect(const TRect& r);
  // Fills the area around (x, y): fsSurface fills while the colour is `color`,
  // fsBorder until it meets `color`. Works on image canvases.
  enum TFillStyle { fsSurface, fsBorder };
  void FloodFill(int x, int y, TColor color, TFillStyle style);

  // Text: (x, y) is the top-left of the text cell. A non-clear brush paints
  // the background of the text.
  void TextOut(int x, int y, const std::string& text);
  void TextRect(const TRect& r, int x, int y, const std::string& text);
  // Tabs expand to the default tab stops (see ForEachTabbedPiece).
  TSize TextExtent(const std::string& text) const;
  int TextWidth(const std::string& text) const { return TextExtent(text).cx; }
  int TextHeight(const std::string& text) const { return TextExtent(text).cy; }
  // Ascent, descent, internal and external leading of the current font, in
  // pixels. The external leading is the gap the font wants between lines.
  struct TTextMetric {
    int Height = 0, Ascent = 0, Descent = 0, InternalLeading = 0, ExternalLeading = 0,
        AveCharWidth = 0, MaxCharWidth = 0;
  };
  TTextMetric TextMetrics() const;

  // Pictures.
  void Draw(int x, int y, TGraphic* graphic);
  void StretchDraw(const TRect& r, TGraphic* graphic);
  // Copies (stretching when the sizes differ) with the current copy mode. The
  // modes that use only the brush and the destination (PATCOPY, PATINVERT,
  // DSTINVERT, BLACKNESS, WHITENESS) take no source (nullptr).
  void CopyRect(const TRect& dest, TCanvas* source, const TRect& sourceRect);
  // Copies a part of a bitmap, painting its pixels of `color` with the brush.
  void BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor color);

  TColor Pixels(int x, int y) const;
  void SetPixels(int x, int y, TColor color);
  // Device colours are true colour: the nearest colour is the colour itself.
  TColor GetNearestColor(TColor color) const { return ColorToRGB(color); }

  // The clip rectangle in canvas coordinates; the whole surface when unclipped.
  TRect ClipRect() const;
  void SetClipRect(const TRect& r);
  void IntersectClipRect(const TRect& r);
  void ExcludeClipRect(const TRect& r);
  void ResetClip();
  // Save/restore of clip, origin, pen position and drawing objects, nestable.
  void SaveState();
  void RestoreState();
  // Moves the coordinate origin (child windows drawn by their parent use this).
  void OffsetOrigin(int dx, int dy);
  TPoint Origin() const;
  // Where pattern and bitmap brushes start, so neighbouring areas line up.
  void SetBrushOrigin(TPoint p);
  TPoint BrushOrigin() const;

  void Lock();
  void Unlock();
  bool TryLock();
  int LockCount() const;

  // Puts fresh default font, pen and brush values back into the device.
  void Refresh();

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

  // The Qt objects underneath, for the class library's own .cpp files.
  struct Impl;
  Impl& impl() const { return *impl_; }

 protected:
  // Finds a drawing surface when none is bound (control canvases do this).
  virtual void CreateHandle() {}
  virtual void Changing();
  virtual void Changed();

 private:
  std::unique_ptr<Impl> impl_;
  std::unique_ptr<TFont> font_;
  std::unique_ptr<TPen> pen_;
  std::unique_ptr<TBrush> brush_;
  TPoint penPos_;
  TCopyMode copyMode_ = SRCCOPY;
  friend struct Impl;
  // 0 arc, 1 chord, 2 pie.
  void ArcFigure(int kind, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
};

// A canvas that writes an SVG file when it is destroyed or Finish is called.
class TSvgCanvas : public TCanvas {
  DECLARE_CLASS(TSvgCanvas, TCanvas)
 public:
  TSvgCanvas(const std::string& fileName, int width, int height,
             const std::string& title = {});
  ~TSvgCanvas() override;
  // Ends drawing and writes the file; raises EFCreateError when it cannot.
  void Finish();

 private:
  struct Svg;
  std::unique_ptr<Svg> svg_;
};

// A canvas that keeps a readable log of the drawing calls made on it (and
// draws them on an image of the given size), for tests of drawing code.
class TRecordingCanvas : public TCanvas {
  DECLARE_CLASS(TRecordingCanvas, TCanvas)
 public:
  TRecordingCanvas(int width = 640, int height = 480);
  ~TRecordingCanvas() override;
  const std::vector<std::string>& Commands() const { return commands_; }
  void ClearCommands() { commands_.clear(); }
  // The drawn image, as a bitmap owned by the canvas.
  TBitmap* Image();

 private:
  std::vector<std::string> commands_;
  std::unique_ptr<TBitmap> image_;
};

// Lays out text with tabs: calls `piece(x, text)` for each tab-free piece,
// where x is its start relative to the tab origin (the first starts at
// `startX`); `piece` returns its width. After a tab the next piece starts at
// the next stop beyond the current end: with no stops every 8 average
// character widths (the class library's default), with one stop every that
// many pixels, with several at those (ascending) positions and then at the
// default spacing past the last. Returns where the last piece ends.
int ForEachTabbedPiece(const std::string& text, const std::vector<int>& stops,
                       int averageCharWidth, int startX,
                       const std::function<int(int x, const std::string& piece)>& piece);

// The points-to-pixels rule of fonts: Height = -MulDiv(Size, ppi, 72).
int MulDiv(int number, int numerator, int denominator);
