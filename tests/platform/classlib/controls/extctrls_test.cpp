#include <gtest/gtest.h>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/extctrls.h"

using namespace testing_support;

TEST(PanelTest, BevelsFrameTheCaptionAndChildrenAlignInside) {
  auto form = ShownForm(200, 100);
  auto* panel = new TPanel(form.get());
  panel->SetBounds(0, 0, 120, 40);
  panel->SetBevelInner(bvLowered);
  panel->SetBevelWidth(2);
  panel->SetParent(form.get());
  auto* child = new TPanel(form.get());
  child->SetAlign(alClient);
  child->SetParent(panel);
  EXPECT_EQ(child->BoundsRect(), Rect(4, 4, 116, 36));
  child->Hide();
  Pump();
  auto shot = Snapshot(panel);
  TCanvas* c = shot->Canvas();
  EXPECT_EQ(c->Pixels(0, 10), ColorToRGB(clBtnHighlight));   // raised outer
  EXPECT_EQ(c->Pixels(119, 10), ColorToRGB(clBtnShadow));
  EXPECT_EQ(c->Pixels(2, 10), ColorToRGB(clBtnShadow));      // lowered inner
  EXPECT_EQ(c->Pixels(117, 10), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(c->Pixels(60, 20), ColorToRGB(clBtnFace));
  // A caption is centred.
  panel->SetCaption("Defects");
  Pump();
  shot = Snapshot(panel);
  const TRect ink = InkBox(*shot, clBlack);
  ASSERT_GE(ink.Right, 0);
  EXPECT_NEAR((ink.Left + ink.Right) / 2, 60, 3);
  EXPECT_NEAR((ink.Top + ink.Bottom) / 2, 20, 4);
  // A single border is a one-pixel non-client frame.
  panel->SetBorderStyle(bsSingle);
  EXPECT_EQ(panel->ClientRect(), Rect(0, 0, 118, 38));
  Pump();
  shot = Snapshot(panel);
  EXPECT_EQ(shot->Canvas()->Pixels(0, 0), clBlack);
  EXPECT_EQ(shot->Canvas()->Pixels(1, 10), ColorToRGB(clBtnHighlight));
}

TEST(LabelTest, AutoSizeAlignmentAndMnemonic) {
  auto form = ShownForm(200, 100);
  auto* label = new TLabel(form.get());
  label->SetParent(form.get());
  label->SetCaption("&Name:");
  const int narrow = label->Width();
  EXPECT_GT(narrow, 10);
  EXPECT_EQ(label->Height(), label->Canvas()->TextHeight("W"));
  label->SetCaption("&Name and more:");
  EXPECT_GT(label->Width(), narrow);
  // Right-justified labels keep their right edge when they grow.
  label->SetAlignment(taRightJustify);
  const int right = label->Left() + label->Width();
  label->SetCaption("&N:");
  EXPECT_EQ(label->Left() + label->Width(), right);
  // The mnemonic moves the focus to the associated control.
  auto* edit = new TPanel(form.get());
  edit->SetParent(form.get());
  edit->SetBounds(100, 0, 50, 20);
  auto* other = new TPanel(form.get());
  other->SetParent(form.get());
  other->SetBounds(100, 40, 50, 20);
  other->SetTabStop(true);
  other->SetFocus();
  label->SetFocusControl(edit);
  QTest::keyClick(ClientOf(other), Qt::Key_N, Qt::AltModifier);
  EXPECT_EQ(form->ActiveControl(), edit);
  delete edit;  // the label forgets a freed focus control
  EXPECT_EQ(label->FocusControl(), nullptr);
}

TEST(LabelTest, DisabledTextIsEmbossed) {
  auto form = ShownForm(200, 100);
  auto* label = new TLabel(form.get());
  label->SetParent(form.get());
  label->SetCaption("Off");
  label->SetEnabled(false);
  Pump();
  auto shot = Snapshot(form.get());
  EXPECT_GT(CountPixels(*shot, ColorToRGB(clBtnHighlight)), 0);
  EXPECT_GT(CountPixels(*shot, ColorToRGB(clBtnShadow)), 0);
}

TEST(ShapeTest, ShapesFollowPenAndBrush) {
  auto form = ShownForm(200, 100);
  auto* shape = new TShape(form.get());
  shape->SetBounds(10, 10, 40, 20);
  shape->Brush()->SetColor(clRed);
  shape->SetParent(form.get());
  Pump();
  auto shot = Snapshot(form.get());
  EXPECT_EQ(shot->Canvas()->Pixels(10, 10), clBlack);
  EXPECT_EQ(shot->Canvas()->Pixels(49, 29), clBlack);
  EXPECT_EQ(shot->Canvas()->Pixels(50, 29), ColorToRGB(clBtnFace));
  EXPECT_EQ(shot->Canvas()->Pixels(30, 20), clRed);
  shape->SetShape(stCircle);  // a circle as large as the smaller side, centred
  Pump();
  shot = Snapshot(form.get());
  EXPECT_EQ(shot->Canvas()->Pixels(30, 20), clRed);
  EXPECT_EQ(shot->Canvas()->Pixels(12, 12), ColorToRGB(clBtnFace));
}

TEST(ImageTest, DrawsItsPictureAndCanBeDrawnOn) {
  auto form = ShownForm(200, 100);
  auto* image = new TImage(form.get());
  image->SetBounds(0, 0, 20, 20);
  image->SetParent(form.get());
  image->Canvas()->Brush()->SetColor(clBlue);
  image->Canvas()->FillRect(Rect(0, 0, 5, 5));
  EXPECT_EQ(image->Picture()->Width(), 20);
  image->SetAutoSize(true);
  auto pic = Surface(8, 4, clLime);
  image->Picture()->Bitmap()->Assign(pic.get());
  EXPECT_EQ(image->Width(), 8);
  image->SetStretch(true);
  image->SetAutoSize(false);
  image->SetBounds(0, 0, 16, 8);
  Pump();
  auto shot = Snapshot(form.get());
  EXPECT_EQ(shot->Canvas()->Pixels(15, 7), clLime);
  EXPECT_EQ(shot->Canvas()->Pixels(16, 7), ColorToRGB(clBtnFace));
  image->Picture()->Icon();
  EXPECT_THROW(image->Canvas(), EInvalidOperation);
}

TEST(BevelTest, LoweredBoxIsDarkAboveAndLightBelow) {
  auto form = ShownForm(100, 60);
  auto* bevel = new TBevel(form.get());
  bevel->SetBounds(5, 5, 30, 20);
  bevel->SetParent(form.get());
  Pump();
  auto shot = Snapshot(form.get());
  EXPECT_EQ(shot->Canvas()->Pixels(10, 5), ColorToRGB(clBtnShadow));
  EXPECT_EQ(shot->Canvas()->Pixels(10, 24), ColorToRGB(clBtnHighlight));
  bevel->SetStyle(bsRaised);
  bevel->SetShape(bsTopLine);
  Pump();
  shot = Snapshot(form.get());
  EXPECT_EQ(shot->Canvas()->Pixels(10, 5), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(shot->Canvas()->Pixels(10, 6), ColorToRGB(clBtnShadow));
  EXPECT_EQ(shot->Canvas()->Pixels(10, 24), ColorToRGB(clBtnFace));
}

TEST(PaintBoxTest, OnPaintDrawsOnItsCanvas) {
  auto form = ShownForm(100, 60);
  auto* box = new TPaintBox(form.get());
  box->SetBounds(10, 10, 30, 20);
  box->SetParent(form.get());
  int paints = 0;
  box->OnPaint = [&](TObject*) {
    ++paints;
    box->Canvas()->Brush()->SetColor(clPurple);
    box->Canvas()->FillRect(Rect(0, 0, 100, 100));  // clipped to the box
  };
  Pump();
  auto shot = Snapshot(form.get());
  EXPECT_GT(paints, 0);
  EXPECT_EQ(shot->Canvas()->Pixels(10, 10), clPurple);
  EXPECT_EQ(shot->Canvas()->Pixels(40, 30), ColorToRGB(clBtnFace));
  EXPECT_EQ(CountPixels(*shot, clPurple), 30 * 20);
}

TEST(SplitterTest, DraggingResizesTheNeighbourWithinLimits) {
  auto form = ShownForm(300, 100);
  auto* left = new TPanel(form.get());
  left->SetWidth(100);
  left->SetAlign(alLeft);
  left->SetParent(form.get());
  auto* splitter = new TSplitter(form.get());
  splitter->SetLeft(150);
  splitter->SetParent(form.get());
  auto* rest = new TPanel(form.get());
  rest->SetAlign(alClient);
  rest->SetParent(form.get());
  EXPECT_EQ(splitter->Left(), 100);
  int moved = 0;
  splitter->OnMoved = [&](TObject*) { ++moved; };
  QWidget* w = ClientOf(form.get());
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, QPoint(101, 50));
  QTest::mouseMove(w, QPoint(141, 50));
  EXPECT_EQ(left->Width(), 140);
  EXPECT_EQ(splitter->Left(), 140);
  EXPECT_EQ(rest->Left(), 143);
  QTest::mouseMove(w, QPoint(5, 50));  // MinSize holds
  EXPECT_EQ(left->Width(), 30);
  QTest::mouseMove(w, QPoint(299, 50));  // the rest keeps MinSize too
  EXPECT_EQ(left->Width(), 300 - 3 - 30);
  QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(299, 50));
  EXPECT_EQ(moved, 1);
}

TEST(ScrollBoxTest, PositionsScrollTheChildrenWithinTheRange) {
  auto form = ShownForm(300, 200);
  auto* box = new TScrollBox(form.get());
  box->SetBounds(0, 0, 104, 84);  // client 100 x 80 inside a 2-pixel border
  box->SetParent(form.get());
  EXPECT_EQ(box->ClientRect(), Rect(0, 0, 100, 80));
  auto* far = new TPanel(form.get());
  far->SetBounds(150, 200, 40, 30);
  far->SetParent(box);
  EXPECT_EQ(box->HorzRange(), 90);
  EXPECT_EQ(box->VertRange(), 150);
  box->SetVertPosition(1000);
  EXPECT_EQ(box->VertPosition(), 150);
  EXPECT_EQ(far->Top(), 50);
  box->SetVertPosition(0);
  EXPECT_EQ(far->Top(), 200);
  box->ScrollInView(far);
  EXPECT_EQ(far->Left() + far->Width(), 100);
  EXPECT_EQ(far->Top() + far->Height(), 80);
  box->SetHorzPosition(-5);
  EXPECT_EQ(box->HorzPosition(), 0);
  Pump();
  auto shot = Snapshot(box);
  EXPECT_EQ(shot->Canvas()->Pixels(0, 40), ColorToRGB(clBtnShadow));  // sunken border
}
