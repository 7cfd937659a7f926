// The print preview's picture buttons: each carries its own picture, and
// the picture shows on screen.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "fake_report.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/graphics/graphics.h"
#include "platform/classlib/graphics/pixelart.h"
#include "report/output/ppglyphs.h"
#include "report/output/pppreview.h"

using namespace testing_support;

namespace {

// A picture's pixels written out, to tell the pictures apart.
std::string PixelsOf(TBitmap* b) {
  std::string pixels;
  for (int y = 0; y < b->Height(); ++y)
    for (int x = 0; x < b->Width(); ++x) pixels += std::to_string(b->Canvas()->Pixels(x, y)) + ",";
  return pixels;
}

class PreviewButtons : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    preview = new TppPrintPreview(nullptr);
    preview->SetReport(&report);
    preview->Show();
    Pump();
    buttons = {preview->spbPreviewPrint, preview->spbPreviewWhole,  preview->spbPreviewWidth,
               preview->spbPreview100Percent, preview->spbPreviewFirst, preview->spbPreviewPrior,
               preview->spbPreviewNext,  preview->spbPreviewLast};
  }
  void TearDown() override { delete preview; }
  TFakeReport report{3};
  TppPrintPreview* preview = nullptr;
  std::vector<TSpeedButton*> buttons;
};

}  // namespace

TEST_F(PreviewButtons, EachHasItsOwnPictureAndCloseKeepsItsCaption) {
  std::set<std::string> seen;
  for (TSpeedButton* b : buttons) {
    ASSERT_NE(b->Glyph(), nullptr) << b->Hint();
    EXPECT_EQ(b->Glyph()->Width(), kppPreviewGlyphSize) << b->Hint();
    EXPECT_EQ(b->Glyph()->Height(), kppPreviewGlyphSize) << b->Hint();
    EXPECT_EQ(b->Glyph()->TransparentColor(), PixelArtTransparent()) << b->Hint();
    EXPECT_TRUE(seen.insert(PixelsOf(b->Glyph())).second) << b->Hint() << " repeats a picture";
  }
  EXPECT_EQ(preview->spbPreviewClose->Caption(), "Close");
}

TEST_F(PreviewButtons, ThePicturesShowOnTheBar) {
  auto shot = Snapshot(preview->pnlPreviewBar);
  for (TSpeedButton* b : buttons) {
    // Navy and black are what the drawings are made of; the bar has neither.
    int inked = 0;
    for (int y = b->Top(); y < b->Top() + b->Height(); ++y)
      for (int x = b->Left(); x < b->Left() + b->Width(); ++x) {
        const TColor c = ColorToRGB(shot->Canvas()->Pixels(x, y));
        inked += c == clNavy || c == clBlack;
      }
    EXPECT_GE(inked, 10) << b->Hint();
  }
}
