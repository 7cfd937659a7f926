#pragma once
// The embossed look of a disabled picture, shared by toolbar buttons and
// owner-drawn menus: the marked pixels once in the highlight colour one pixel
// down and right, then in the shadow colour, on a plain background.

#include <functional>
#include <memory>

#include "platform/classlib/graphics/images.h"

// The result is one pixel wider and higher than `source`; its transparent
// colour is `back`.
std::unique_ptr<TBitmap> EmbossBitmap(TBitmap& source, TColor back, TColor shadow,
                                      const std::function<bool(TColor)>& marked);
// A pixel that a monochrome copy would make black.
bool IsDark(TColor c);
