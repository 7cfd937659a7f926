#pragma once
// Pictures: TGraphic and its kinds (bitmaps, icons, metafiles) and TPicture,
// which holds any of them.

#include <memory>
#include <string>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/streams.h"
#include "platform/classlib/graphics/graphics.h"

class TGraphic : public TPersistent {
  DECLARE_CLASS(TGraphic, TPersistent)
 public:
  virtual bool Empty() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int width) = 0;
  virtual void SetHeight(int height) = 0;
  // Pixels of the transparent colour (or the alpha of icons) let the background show.
  virtual bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool value);
  bool Modified() const { return modified_; }
  void SetModified(bool value);

  // Raise EInvalidGraphic / EFOpenError / EFCreateError with a clear message on failure.
  virtual void LoadFromFile(const std::string& fileName) = 0;
  virtual void SaveToFile(const std::string& fileName) const = 0;
  // The file's bytes from the stream's position to its end / written at its position.
  virtual void LoadFromStream(TStream* stream) = 0;
  virtual void SaveToStream(TStream* stream) const = 0;

  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
  // The "Data" property of form definitions: the picture's bytes.
  void DefineProperties(TFiler* filer) override;
  virtual void ReadData(TStream* stream) { LoadFromStream(stream); }
  virtual void WriteData(TStream* stream) const { SaveToStream(stream); }
  friend class TPicture;
  // Draws the picture scaled into r (the canvas has a painter by then).
  virtual void Draw(TCanvas* canvas, const TRect& r) = 0;
  friend class TCanvas;

 private:
  bool transparent_ = false;
  bool modified_ = false;
};

DECLARE_EXCEPTION(EInvalidGraphic, Exception)
DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception)

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };
enum TTransparentMode { tmAuto, tmFixed };

class TBitmap : public TGraphic {
  DECLARE_CLASS(TBitmap, TGraphic)
 public:
  TBitmap();
  ~TBitmap() override;

  void Assign(const TPersistent* source) override;

  bool Empty() const override;
  int Width() const override;
  int Height() const override;
  void SetWidth(int width) override { SetSize(width, Height()); }
  void SetHeight(int height) override { SetSize(Width(), height); }
  // Keeps the pixels that still fit; new pixels are white.
  void SetSize(int width, int height);

  // Drawing on the bitmap.
  TCanvas* Canvas();

  TPixelFormat PixelFormat() const { return pixelFormat_; }
  void SetPixelFormat(TPixelFormat format);

  // The resolution text is laid out at on the canvas (0: the screen's), so a
  // bitmap can measure and draw rich text as a printer of that resolution does.
  void SetPixelsPerInch(int dpi);
  bool Monochrome() const { return pixelFormat_ == pf1bit; }
  void SetMonochrome(bool value) { SetPixelFormat(value ? pf1bit : pfDevice); }

  // In tmAuto the transparent colour is the bottom-left pixel's.
  TColor TransparentColor() const;
  void SetTransparentColor(TColor color);
  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode mode);

  // A monochrome bitmap: black where the pixel has `color`, white elsewhere.
  void Mask(TColor color);

  // BMP (and the other formats the image library reads, chosen by content).
  void LoadFromFile(const std::string& fileName) override;
  // Always writes BMP, at the bit depth of the pixel format.
  void SaveToFile(const std::string& fileName) const override;
  void LoadFromStream(TStream* stream) override;
  void SaveToStream(TStream* stream) const override;

  // The Qt objects underneath, for the class library's own .cpp files.
  struct Impl;
  Impl& impl() const { return *impl_; }

 protected:
  void Draw(TCanvas* canvas, const TRect& r) override;
  // Form definitions hold a 4-byte size before the bitmap file.
  void ReadData(TStream* stream) override;
  void WriteData(TStream* stream) const override;

 private:
  std::unique_ptr<Impl> impl_;
  std::unique_ptr<TCanvas> canvas_;
  TPixelFormat pixelFormat_ = pfDevice;
  TColor transparentColor_ = clDefault;
  TTransparentMode transparentMode_ = tmAuto;
  void CanvasChanged();
};

class TIcon : public TGraphic {
  DECLARE_CLASS(TIcon, TGraphic)
 public:
  TIcon();
  ~TIcon() override;
  void Assign(const TPersistent* source) override;

  bool Empty() const override;
  int Width() const override;
  int Height() const override;
  // Icons have the size of their image; sizing one raises EInvalidGraphicOperation.
  void SetWidth(int width) override;
  void SetHeight(int height) override;
  bool Transparent() const override { return true; }

  // .ico, or any image with an alpha channel.
  void LoadFromFile(const std::string& fileName) override;
  void SaveToFile(const std::string& fileName) const override;
  void LoadFromStream(TStream* stream) override;
  // Writes an icon file.
  void SaveToStream(TStream* stream) const override;

  // The Qt objects underneath, for the class library's own .cpp files.
  struct Impl;
  Impl& impl() const { return *impl_; }

 protected:
  void Draw(TCanvas* canvas, const TRect& r) override;

 private:
  std::unique_ptr<Impl> impl_;
};

class TMetafile;

// Drawing on it records into the metafile; the recording is handed over when
// the canvas is destroyed.
class TMetafileCanvas : public TCanvas {
  DECLARE_CLASS(TMetafileCanvas, TCanvas)
 public:
  explicit TMetafileCanvas(TMetafile* metafile);
  ~TMetafileCanvas() override;

 private:
  struct Rec;
  std::unique_ptr<Rec> rec_;
};

class TMetafile : public TGraphic {
  DECLARE_CLASS(TMetafile, TGraphic)
 public:
  TMetafile();
  ~TMetafile() override;
  void Assign(const TPersistent* source) override;

  bool Empty() const override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetWidth(int width) override;
  void SetHeight(int height) override;
  void Clear();

  // Loads a scalable vector picture (SVG).
  void LoadFromFile(const std::string& fileName) override;
  // Writes the picture as SVG.
  void SaveToFile(const std::string& fileName) const override;
  void LoadFromStream(TStream* stream) override;
  void SaveToStream(TStream* stream) const override;

  // The Qt objects underneath, for the class library's own .cpp files.
  struct Impl;
  Impl& impl() const { return *impl_; }

 protected:
  void Draw(TCanvas* canvas, const TRect& r) override;

 private:
  std::unique_ptr<Impl> impl_;
  int width_ = 0;
  int height_ = 0;
  friend class TMetafileCanvas;
};

// Holds one graphic of any kind and creates the kind that is asked for.
class TPicture : public TPersistent {
  DECLARE_CLASS(TPicture, TPersistent)
 public:
  TPicture();
  ~TPicture() override;
  void Assign(const TPersistent* source) override;

  TGraphic* Graphic() const { return graphic_.get(); }
  // Takes a copy of the graphic (nullptr clears).
  void SetGraphic(const TGraphic* graphic);
  // Each returns the graphic as that kind, replacing another kind with an empty one.
  TBitmap* Bitmap();
  TIcon* Icon();
  TMetafile* Metafile();

  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }

  // By extension: .bmp/.png/.jpg/.gif as bitmap, .ico as icon, .svg as metafile;
  // an unknown extension raises EInvalidGraphic "Unknown picture file extension (.x)".
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;

  TNotifyEvent OnChange;

 protected:
  void AssignTo(TPersistent* dest) const override;
  virtual void Changed();
  // "Data": the graphic's class name and its data.
  void DefineProperties(TFiler* filer) override;

 private:
  std::unique_ptr<TGraphic> graphic_;
  void Take(std::unique_ptr<TGraphic> graphic);
};
