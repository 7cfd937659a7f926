#include "report/data/ppdevcanvas.h"

#include <algorithm>

#include "platform/classlib/core/exceptions.h"

TppDeviceCompatibleCanvas::TppDeviceCompatibleCanvas(int width, int height, TCanvas* reference,
                                                     int referenceDpi)
    : reference_(reference),
      referenceDpi_(referenceDpi > 0 ? referenceDpi : 96),
      bitmap_(std::make_unique<TBitmap>()),
      height_(std::max(height, 1)),  // a bitmap needs a pixel to hold a device context
      width_(std::max(width, 1)) {
  bitmap_->SetSize(width_, height_);
  TCanvas* canvas = bitmap_->Canvas();
  canvas->SetCopyMode(WHITENESS);
  canvas->CopyRect({0, 0, width_, height_}, nullptr, {0, 0, width_, height_});
  canvas->SetCopyMode(SRCCOPY);
}

// The bitmap is the canvas's own, so it goes with it.
TppDeviceCompatibleCanvas::~TppDeviceCompatibleCanvas() = default;

TCanvas* TppDeviceCompatibleCanvas::Canvas() {
  TCanvas* canvas = bitmap_->Canvas();
  TFont* font = canvas->Font();
  if (font->PixelsPerInch() != referenceDpi_) {
    const int points = font->Size();
    font->SetPixelsPerInch(referenceDpi_);
    font->SetSize(points);
  }
  return canvas;
}

void TppDeviceCompatibleCanvas::RenderToDevice(const TRect& dest, TCopyMode rop) {
  if (!reference_) throw EInvalidOperation("The canvas has no device to copy onto");
  const TCopyMode previous = reference_->CopyMode();
  reference_->SetCopyMode(rop);
  reference_->CopyRect(dest, bitmap_->Canvas(), {0, 0, width_, height_});
  reference_->SetCopyMode(previous);
}
