#include "platform/classlib/graphics/pixelart.h"

#include <cstring>
#include <string>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/graphics/graphics.h"

namespace {

struct Ink {
  char letter;
  TColor color;
};
// The sixteen classic colours but one, so that a disabled look made from
// the picture stays clean.
constexpr Ink kInks[] = {
    {'k', clBlack}, {'g', clGray},   {'s', clSilver}, {'w', clWhite}, {'r', clRed},
    {'m', clMaroon}, {'y', clYellow}, {'o', clOlive}, {'G', clLime},  {'e', clGreen},
    {'b', clBlue},  {'n', clNavy},   {'c', clAqua},   {'t', clTeal},  {'p', clPurple},
};
// The one classic colour left out of the inks.
constexpr TColor kTransparent = clFuchsia;

// Checked before drawing so that a short row is never read past its end.
void CheckLayer(int width, int height, TPixelRows rows) {
  if (static_cast<int>(rows.size()) != height)
    throw EInvalidOperation("A picture layer has " + std::to_string(rows.size()) + " rows, not " +
                            std::to_string(height));
  for (const char* row : rows)
    if (row == nullptr || static_cast<int>(std::strlen(row)) != width)
      throw EInvalidOperation("A picture row is not " + std::to_string(width) + " letters long");
}

void DrawLayer(TCanvas* canvas, int width, TPixelRows rows) {
  for (int y = 0; y < static_cast<int>(rows.size()); ++y)
    for (int x = 0; x < width; ++x)
      if (const char c = rows[y][x]; c != '.') canvas->SetPixels(x, y, PixelArtInk(c));
}

}  // namespace

TColor PixelArtInk(char letter) {
  for (const Ink& ink : kInks)
    if (ink.letter == letter) return ink.color;
  throw EInvalidOperation(std::string("No colour is written '") + letter + "'");
}

TColor PixelArtTransparent() { return kTransparent; }

std::unique_ptr<TBitmap> PaintPixelArt(int width, int height, std::span<const TPixelRows> layers) {
  for (TPixelRows rows : layers) CheckLayer(width, height, rows);
  auto picture = std::make_unique<TBitmap>();
  picture->SetSize(width, height);
  TCanvas* canvas = picture->Canvas();
  canvas->Brush()->SetColor(kTransparent);
  canvas->FillRect(Rect(0, 0, width, height));
  for (TPixelRows rows : layers) DrawLayer(canvas, width, rows);
  picture->SetTransparentColor(kTransparent);
  return picture;
}
