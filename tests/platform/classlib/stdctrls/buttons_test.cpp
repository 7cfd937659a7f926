#include <gtest/gtest.h>

#include <QTimer>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/stdctrls/buttons.h"

using namespace testing_support;

namespace {

// Bounding box of one colour's pixels inside `area` only (the frame of the
// face is left out), in the coordinates of the whole bitmap.
TRect InkBoxIn(TBitmap& b, TColor ink, const TRect& area) {
  auto part = Surface(area.Width(), area.Height());
  part->Canvas()->CopyRect(Rect(0, 0, area.Width(), area.Height()), b.Canvas(), area);
  TRect box = InkBox(*part, ink);
  if (box.Right >= 0) OffsetRect(box, area.Left, area.Top);
  return box;
}

struct KindCase {
  TBitBtnKind kind;
  const char* caption;
  TModalResult result;
  bool isDefault;
  bool isCancel;
};

}  // namespace

TEST(BitBtnKindTest, EachKindBringsItsCaptionResultRoleAndPicture) {
  const KindCase cases[] = {
      {bkOK, "OK", mrOk, true, false},          {bkCancel, "Cancel", mrCancel, false, true},
      {bkHelp, "&Help", mrNone, false, false},  {bkYes, "&Yes", mrYes, true, false},
      {bkNo, "&No", mrNo, false, true},         {bkClose, "&Close", mrNone, false, false},
      {bkAbort, "Abort", mrAbort, false, false}, {bkRetry, "&Retry", mrRetry, false, false},
      {bkIgnore, "&Ignore", mrIgnore, false, false}, {bkAll, "&All", mrAll, false, false},
  };
  for (const KindCase& c : cases) {
    SCOPED_TRACE(c.caption);
    TBitBtn b(nullptr);
    b.SetKind(c.kind);
    EXPECT_EQ(b.Caption(), c.caption);
    EXPECT_EQ(b.ModalResult(), c.result);
    EXPECT_EQ(b.Default(), c.isDefault);
    EXPECT_EQ(b.Cancel(), c.isCancel);
    EXPECT_EQ(b.NumGlyphs(), 2);
    ASSERT_FALSE(b.Glyph()->Empty());
    EXPECT_EQ(b.Glyph()->Width(), 2 * b.Glyph()->Height());
    // The picture has ink besides its transparent background.
    EXPECT_LT(CountPixels(*b.Glyph(), clOlive), b.Glyph()->Width() * b.Glyph()->Height());
  }
}

TEST(BitBtnKindTest, CustomKindAndOwnPictureLeaveTheRestAlone) {
  TBitBtn b(nullptr);
  EXPECT_EQ(b.Kind(), bkCustom);
  EXPECT_TRUE(b.Glyph()->Empty());
  b.SetKind(bkOK);
  b.SetCaption("Fine");
  b.SetKind(bkCustom);
  EXPECT_EQ(b.Caption(), "Fine");
  EXPECT_EQ(b.ModalResult(), mrOk);
  // A picture of one's own makes the button custom.
  b.SetKind(bkCancel);
  auto own = Surface(16, 16, clBlue);
  b.SetGlyph(own.get());
  EXPECT_EQ(b.Kind(), bkCustom);
  EXPECT_EQ(b.Glyph()->Width(), 16);
  EXPECT_EQ(b.Caption(), "Cancel");
  // Out-of-range glyph counts are kept within 1..4.
  b.SetNumGlyphs(0);
  EXPECT_EQ(b.NumGlyphs(), 1);
  b.SetNumGlyphs(9);
  EXPECT_EQ(b.NumGlyphs(), 4);
}

TEST(BitBtnKindTest, CancelKindClosesAModalDialogAndCloseKindClosesItsForm) {
  Application->Initialize();
  TForm dialog(nullptr);
  dialog.SetBounds(30, 30, 220, 100);
  auto* cancel = new TBitBtn(&dialog);
  cancel->SetParent(&dialog);
  cancel->SetKind(bkCancel);
  cancel->SetBounds(10, 10, 90, 27);
  QTimer::singleShot(10, [&] { Click(cancel, 20, 10); });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);

  auto form = ShownForm();
  auto* close = new TBitBtn(form.get());
  close->SetParent(form.get());
  close->SetKind(bkClose);
  int clicks = 0;
  close->OnClick = [&](TObject*) { ++clicks; };
  close->Click();
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(form->Visible());
}

class BitBtnLooksTest : public testing::Test {
 protected:
  void SetUp() override {
    form_ = ShownForm(300, 200);
    button_ = new TBitBtn(form_.get());
    button_->SetParent(form_.get());
    button_->SetKind(bkOK);
    button_->SetDefault(false);
    button_->SetCaption("WWW");
    button_->Font()->SetColor(clRed);
  }
  // The green check mark and the red caption on the face.
  void Grab(TRect& glyph, TRect& text) {
    Pump();
    auto shot = Snapshot(button_);
    const TRect inner = Rect(3, 3, button_->Width() - 3, button_->Height() - 3);
    glyph = InkBoxIn(*shot, clGreen, inner);
    text = InkBoxIn(*shot, clRed, inner);
    ASSERT_GE(glyph.Right, 0);
    ASSERT_GE(text.Right, 0);
  }
  std::unique_ptr<TForm> form_;
  TBitBtn* button_ = nullptr;
};

TEST_F(BitBtnLooksTest, TheGlyphShowsLeftOfTheCaption) {
  button_->SetBounds(10, 10, 120, 30);
  TRect glyph, text;
  Grab(glyph, text);
  EXPECT_LT(glyph.Right, text.Left);
  // Both are centred vertically.
  EXPECT_NEAR((glyph.Top + glyph.Bottom) / 2, 15, 3);
  EXPECT_NEAR((text.Top + text.Bottom) / 2, 15, 3);
}

TEST_F(BitBtnLooksTest, MarginPutsTheGlyphAtItsDistanceFromTheEdge) {
  button_->SetBounds(10, 10, 160, 30);
  button_->SetMargin(4);
  TRect glyph, text;
  Grab(glyph, text);
  const int nearEdge = glyph.Left;
  button_->SetMargin(30);
  Grab(glyph, text);
  EXPECT_EQ(glyph.Left, nearEdge + 26);
  // Spacing -1 centres the caption in the room right of the glyph.
  button_->SetMargin(2);
  button_->SetSpacing(-1);
  Grab(glyph, text);
  const int roomLeft = glyph.Right;
  const int roomRight = button_->Width() - 2;
  EXPECT_NEAR(text.Left - roomLeft, roomRight - text.Right, 6);
}

TEST_F(BitBtnLooksTest, LayoutsPlaceTheGlyphOnEachSide) {
  button_->SetBounds(10, 10, 120, 70);
  TRect glyph, text;
  button_->SetLayout(blGlyphRight);
  Grab(glyph, text);
  EXPECT_GT(glyph.Left, text.Right);
  button_->SetLayout(blGlyphTop);
  Grab(glyph, text);
  EXPECT_LT(glyph.Bottom, text.Top);
  button_->SetLayout(blGlyphBottom);
  Grab(glyph, text);
  EXPECT_GT(glyph.Top, text.Bottom);
}

TEST_F(BitBtnLooksTest, ADisabledButtonShowsItsSecondGlyph) {
  button_->SetBounds(10, 10, 120, 30);
  button_->SetEnabled(false);
  Pump();
  auto shot = Snapshot(button_);
  const TRect inner = Rect(3, 3, button_->Width() - 3, button_->Height() - 3);
  EXPECT_LT(InkBoxIn(*shot, clGreen, inner).Right, 0);
  EXPECT_GE(InkBoxIn(*shot, clGray, inner).Right, 0);
}

// A button's OnClick may free the button (a dialog rebuilding its buttons);
// the button must not be touched after its click.
TEST(ButtonLifetimeTest, ButtonsFreedByTheirOwnClick) {
  auto form = ShownForm();
  auto* plain = new TButton(form.get());
  plain->SetParent(form.get());
  plain->OnClick = [](TObject* s) { delete static_cast<TControl*>(s); };
  Click(plain, 10, 10);
  Pump();
  EXPECT_EQ(form->ControlCount(), 0);

  auto* glyph = new TBitBtn(form.get());
  glyph->SetParent(form.get());
  glyph->SetKind(bkClose);
  glyph->SetFocus();
  glyph->OnClick = [](TObject* s) { delete static_cast<TControl*>(s); };
  QTest::keyClick(ClientOf(glyph), Qt::Key_Space);
  Pump();
  EXPECT_EQ(form->ControlCount(), 0);
  EXPECT_TRUE(form->Visible());  // the freed Close button closed nothing
}

// Picture, caption and arrow on a face: centred across the layout, margin
// and spacing along it (automatic when -1), the arrow after the caption (the
// picture, stacked) and level with the picture's middle (the caption's
// without one). Face 60 x 24, picture 16 x 16, caption 20 x 13, arrow 9 x 3.
TEST(ButtonFaceTest, PictureCaptionAndArrowStandByTheLayout) {
  const TSize face{60, 24}, glyph{16, 16}, caption{20, 13}, arrow{9, 3}, none{};
  struct Case {
    const char* what;
    TSize glyph, arrow;
    TButtonLayout layout;
    int margin, spacing;
    TPoint glyphAt, captionAt, arrowAt;
  } cases[] = {
      // Centred: (60 - 16 - 4 - 20 + 1) / 2 = 10 before the picture.
      {"left, centred", glyph, none, blGlyphLeft, -1, 4, {10, 4}, {30, 6}, {50, 12}},
      // Thirds: (60 - 16 - 20 - 9) / 3 = 5 before the picture and after it.
      {"left, thirds, arrow", glyph, arrow, blGlyphLeft, -1, -1, {5, 4}, {26, 6}, {46, 10}},
      // From the right edge: the arrow last, the picture before it.
      {"right, margin 2", glyph, arrow, blGlyphRight, 2, 4, {33, 4}, {9, 6}, {49, 10}},
      // The spacing takes half of what the margin and the three leave.
      {"left, margin 3, spacing shared", glyph, none, blGlyphLeft, 3, -1, {3, 4}, {29, 6}, {49, 12}},
      // Stacked: (24 - 16 - 13 - 2 + 1) / 2 = -3, the picture over the caption.
      {"top, centred", glyph, arrow, blGlyphTop, -1, 2, {18, -3}, {20, 15}, {34, 3}},
      {"bottom, margin 1", glyph, none, blGlyphBottom, 1, 2, {22, 7}, {20, -8}, {38, 15}},
      // No picture: no spacing, and the arrow sits level with the caption.
      {"no picture", none, arrow, blGlyphLeft, -1, 4, {16, 12}, {16, 6}, {36, 11}},
  };
  for (const Case& c : cases) {
    const TButtonFacePlaces at = PlaceButtonFace(face, c.glyph, caption, c.arrow, c.layout, c.margin, c.spacing);
    EXPECT_EQ(at.glyph, c.glyphAt) << c.what;
    EXPECT_EQ(at.caption, c.captionAt) << c.what;
    EXPECT_EQ(at.arrow, c.arrowAt) << c.what;
  }
}
