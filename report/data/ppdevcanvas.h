#pragma once
// A memory canvas that measures text as a given device will: its fonts are
// sized at the device's vertical resolution. It owns the bitmap it draws on
// and copies it onto the device's canvas when asked.

#include <memory>

#include "platform/classlib/graphics/graphics.h"
#include "platform/classlib/graphics/images.h"

class TppDeviceCompatibleCanvas {
 public:
  // `reference` is the device's canvas (may be null when only measuring);
  // `referenceDpi` its vertical pixels per inch.
  TppDeviceCompatibleCanvas(int width, int height, TCanvas* reference, int referenceDpi);
  ~TppDeviceCompatibleCanvas();
  TppDeviceCompatibleCanvas(const TppDeviceCompatibleCanvas&) = delete;
  TppDeviceCompatibleCanvas& operator=(const TppDeviceCompatibleCanvas&) = delete;

  // The bitmap's canvas, its font set to the reference resolution first, so a
  // font changed since the last call measures like the device again.
  TCanvas* Canvas();
  TBitmap* Bitmap() const { return bitmap_.get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Copies the whole bitmap onto the reference canvas at `dest` with a raster
  // operation; the reference's own copy mode is kept.
  void RenderToDevice(const TRect& dest, TCopyMode rop);

 private:
  TCanvas* reference_;
  int referenceDpi_;
  std::unique_ptr<TBitmap> bitmap_;
  int height_;
  int width_;
};
