#include <gtest/gtest.h>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/graphics/graphics.h"
#include "platform/classlib/graphics/pixelart.h"

namespace {

constexpr const char* kUnder[] = {"kgsw", "rmyo", "Gebn", "ctp."};
constexpr const char* kOver[] = {"....", ".r..", "....", "...b"};

}  // namespace

TEST(PixelArt, EachLetterIsItsColour) {
  const struct {
    char letter;
    TColor color;
  } cases[] = {{'k', clBlack}, {'g', clGray},  {'s', clSilver}, {'w', clWhite}, {'r', clRed},
               {'m', clMaroon}, {'y', clYellow}, {'o', clOlive}, {'G', clLime},  {'e', clGreen},
               {'b', clBlue},  {'n', clNavy},   {'c', clAqua},   {'t', clTeal},  {'p', clPurple}};
  for (const auto& c : cases) {
    EXPECT_EQ(PixelArtInk(c.letter), c.color) << c.letter;
    EXPECT_NE(PixelArtInk(c.letter), PixelArtTransparent()) << c.letter;
  }
}

TEST(PixelArt, LayersDrawOverEachOtherAndDotsLetThroughTheLayerBelow) {
  const TPixelRows layers[] = {TPixelRows(kUnder), TPixelRows(kOver)};
  const auto picture = PaintPixelArt(4, 4, layers);
  ASSERT_EQ(picture->Width(), 4);
  ASSERT_EQ(picture->Height(), 4);
  EXPECT_EQ(picture->TransparentColor(), PixelArtTransparent());
  TCanvas* c = picture->Canvas();
  EXPECT_EQ(c->Pixels(0, 0), clBlack);  // under only
  EXPECT_EQ(c->Pixels(1, 1), clRed);    // over covers maroon
  EXPECT_EQ(c->Pixels(3, 3), clBlue);   // over fills a hole of under
  EXPECT_EQ(c->Pixels(2, 3), clPurple);
  const TPixelRows alone[] = {TPixelRows(kUnder)};
  EXPECT_EQ(PaintPixelArt(4, 4, alone)->Canvas()->Pixels(3, 3), PixelArtTransparent());
}

TEST(PixelArt, BadDrawingsRaiseAndSayWhy) {
  constexpr const char* unknown[] = {"....", ".x..", "....", "...."};
  constexpr const char* shortRow[] = {"....", "...", "....", "...."};
  constexpr const char* threeRows[] = {"....", "....", "...."};
  const struct {
    TPixelRows rows;
    const char* message;
  } cases[] = {{TPixelRows(unknown), "No colour is written 'x'"},
               {TPixelRows(shortRow), "A picture row is not 4 letters long"},
               {TPixelRows(threeRows), "A picture layer has 3 rows, not 4"}};
  for (const auto& c : cases) {
    const TPixelRows layers[] = {TPixelRows(kUnder), c.rows};
    try {
      PaintPixelArt(4, 4, layers);
      ADD_FAILURE() << c.message;
    } catch (const EInvalidOperation& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
  EXPECT_THROW(PixelArtInk('.'), EInvalidOperation);
}
