#include <gtest/gtest.h>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/graphics/imagelist.h"
#include "platform/classlib/graphics/surface.h"

using namespace testing_support;

namespace {

// A strip of `n` 4x4 cells: cell i filled with colours[i], a fuchsia corner each.
std::unique_ptr<TBitmap> Strip(std::initializer_list<TColor> colours) {
  auto b = Surface(int(colours.size()) * 4, 4, clWhite);
  int i = 0;
  for (TColor c : colours) {
    b->Canvas()->Brush()->SetColor(c);
    b->Canvas()->FillRect(Rect(i * 4, 0, i * 4 + 4, 4));
    b->Canvas()->SetPixels(i * 4, 3, clFuchsia);
    ++i;
  }
  return b;
}

}  // namespace

TEST(ImageListTest, AddMaskedSplitsAStripAndDrawsTransparently) {
  TImageList list(nullptr, 4, 4);
  int changes = 0;
  list.OnChange = [&](TObject*) { ++changes; };
  auto strip = Strip({clRed, clBlue, clLime});
  EXPECT_EQ(list.AddMasked(strip.get(), clFuchsia), 0);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(changes, 1);
  auto target = Surface(10, 10, clYellow);
  list.Draw(target->Canvas(), 2, 2, 1);
  EXPECT_EQ(target->Canvas()->Pixels(3, 3), clBlue);
  EXPECT_EQ(target->Canvas()->Pixels(2, 5), clYellow);  // the masked corner
  EXPECT_EQ(target->Canvas()->Pixels(6, 2), clYellow);  // outside the image
  list.Draw(target->Canvas(), 0, 0, 7);  // out of range: nothing drawn, no failure
  EXPECT_EQ(list.AddMasked(strip.get(), clDefault), 3);  // bottom-left pixel is fuchsia too
  EXPECT_EQ(list.Count(), 6);
}

TEST(ImageListTest, MaskBitmapWhiteIsTransparent) {
  TImageList list(nullptr, 2, 1);
  auto image = Surface(2, 1, clRed);
  auto mask = Surface(2, 1, clBlack);
  mask->Canvas()->SetPixels(1, 0, clWhite);
  EXPECT_EQ(list.Add(image.get(), mask.get()), 0);
  auto target = Surface(2, 1, clGreen);
  list.Draw(target->Canvas(), 0, 0, 0);
  EXPECT_EQ(target->Canvas()->Pixels(0, 0), clRed);
  EXPECT_EQ(target->Canvas()->Pixels(1, 0), clGreen);
  list.DrawStyled(target->Canvas(), 0, 0, 0, dsNormal, itMask, true);
  EXPECT_EQ(target->Canvas()->Pixels(0, 0), clBlack);
  EXPECT_EQ(target->Canvas()->Pixels(1, 0), clWhite);
  list.SetBkColor(clBlue);
  list.Draw(target->Canvas(), 0, 0, 0);
  EXPECT_EQ(target->Canvas()->Pixels(1, 0), clBlue);
}

TEST(ImageListTest, DeleteReplaceMoveAndErrors) {
  TImageList list(nullptr, 4, 4);
  auto strip = Strip({clRed, clBlue, clLime});
  list.AddMasked(strip.get(), clFuchsia);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 2);
  TBitmap out;
  list.GetBitmap(0, &out);
  EXPECT_EQ(out.Canvas()->Pixels(1, 1), clBlue);
  list.Move(1, 0);
  list.GetBitmap(0, &out);
  EXPECT_EQ(out.Canvas()->Pixels(1, 1), clLime);
  auto red = Strip({clRed});
  list.ReplaceMasked(1, red.get(), clFuchsia);
  list.GetBitmap(1, &out);
  EXPECT_EQ(out.Canvas()->Pixels(1, 1), clRed);
  EXPECT_THROW(list.Delete(5), EInvalidOperation);
  EXPECT_THROW(list.GetBitmap(-1, &out), EInvalidOperation);
  list.SetWidth(8);  // a new size empties the list
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Add(nullptr, nullptr), -1);
}

TEST(ImageListTest, DisabledAndSelectedStyles) {
  TImageList list(nullptr, 4, 4);
  auto black = Strip({clBlack});
  list.AddMasked(black.get(), clFuchsia);
  auto target = Surface(6, 6, clBtnFace);
  list.Draw(target->Canvas(), 0, 0, 0, false);
  EXPECT_EQ(target->Canvas()->Pixels(1, 1), ColorToRGB(clBtnShadow));
  EXPECT_EQ(target->Canvas()->Pixels(4, 4), ColorToRGB(clBtnHighlight));
  auto sel = Surface(6, 6, clWhite);
  list.DrawStyled(sel->Canvas(), 0, 0, 0, dsSelected, itImage, true);
  EXPECT_EQ(sel->Canvas()->Pixels(1, 1), RGB(0, 0, 64));  // half of clHighlight over black
}
