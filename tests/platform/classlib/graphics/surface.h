#pragma once
// Bitmaps to draw on in graphics tests.

#include <memory>

#include "platform/classlib/graphics/images.h"

namespace testing_support {

// A bitmap of the given size filled with one colour.
inline std::unique_ptr<TBitmap> Surface(int w, int h, TColor background = clWhite) {
  auto b = std::make_unique<TBitmap>();
  b->SetSize(w, h);
  b->Canvas()->Brush()->SetColor(background);
  b->Canvas()->FillRect(Rect(0, 0, w, h));
  return b;
}

// Bounding box of the pixels of one colour; Right is -1 when there are none.
inline TRect InkBox(TBitmap& b, TColor ink) {
  TRect box{b.Width(), b.Height(), -1, -1};
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.Canvas()->Pixels(x, y) == ink) {
        box.Left = std::min(box.Left, x);
        box.Top = std::min(box.Top, y);
        box.Right = std::max(box.Right, x + 1);
        box.Bottom = std::max(box.Bottom, y + 1);
      }
  return box;
}

inline int CountPixels(TBitmap& b, TColor color) {
  int n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.Canvas()->Pixels(x, y) == color) ++n;
  return n;
}

}  // namespace testing_support
