#pragma once
// The print preview's button pictures: 16 x 16 drawings kept in the program
// as rows of colour letters (see platform/classlib/graphics/pixelart.h).

#include <memory>

#include "platform/classlib/graphics/images.h"

enum TppPreviewGlyph {
  ppgPrint,
  ppgWholePage,
  ppgPageWidth,
  ppg100Percent,
  ppgFirstPage,
  ppgPriorPage,
  ppgNextPage,
  ppgLastPage,
};

// The side of every preview picture: a 24-pixel flat button leaves room
// for it with its border.
constexpr int kppPreviewGlyphSize = 16;

// The picture for one preview button, its transparent colour set.
std::unique_ptr<TBitmap> ppPreviewGlyph(TppPreviewGlyph which);
