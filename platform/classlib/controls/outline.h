#pragma once
// A rectangle outline shown over every window while something is dragged
// (a toolbar being moved or sized): the stand-in for inverting a frame on the
// desktop, drawn in a 50 % halftone of black and white.

#include <memory>

#include "platform/classlib/graphics/types.h"

class TScreenOutline {
 public:
  TScreenOutline();
  ~TScreenOutline();
  TScreenOutline(const TScreenOutline&) = delete;
  TScreenOutline& operator=(const TScreenOutline&) = delete;

  // Shows (or moves) the outline: `width` pixels inside the screen rectangle r.
  void Show(const TRect& r, int width);
  void Hide();
  bool Visible() const { return visible_; }
  const TRect& Bounds() const { return rect_; }
  int Width() const { return width_; }

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
  TRect rect_;
  int width_ = 0;
  bool visible_ = false;
};
