#pragma once
// Small pictures written as rows of letters, one letter per classic colour,
// so that button pictures can live in the program as readable text.
//
// Letters: k black, g gray, s silver, w white, r red, m maroon, y yellow,
// o olive, G lime, e green, b blue, n navy, c aqua, t teal, p purple;
// '.' is transparent and lets the layers below (or the button) show.

#include <memory>
#include <span>

#include "platform/classlib/graphics/images.h"

// One layer: `height` rows of exactly `width` letters each.
using TPixelRows = std::span<const char* const>;

// The colour a letter stands for. Raises EInvalidOperation for a letter that
// is not in the table above (including '.', which has no colour).
TColor PixelArtInk(char letter);

// The colour left where no layer draws; no letter stands for it, so it can
// mean "nothing here". It is the picture's transparent colour.
TColor PixelArtTransparent();

// A width x height picture of the layers, each drawn over the ones before
// it, with its transparent colour set. Raises EInvalidOperation for a layer
// with the wrong number of rows, a row of the wrong length or an unknown
// letter.
std::unique_ptr<TBitmap> PaintPixelArt(int width, int height, std::span<const TPixelRows> layers);
