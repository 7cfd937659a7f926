#include <gtest/gtest.h>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/stdctrls/place.h"

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
  auto* image = Place<TImage>(form.get(), 0, 0, 20, 20);
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
  auto* bevel = Place<TBevel>(form.get(), 5, 5, 30, 20);
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
  auto* box = Place<TPaintBox>(form.get(), 10, 10, 30, 20);
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

TEST(SplitterTest, NeighbourFreedDuringADragIsLetGo) {
  auto form = ShownForm(300, 100);
  auto* left = new TPanel(form.get());
  left->SetWidth(100);
  left->SetAlign(alLeft);
  left->SetParent(form.get());
  auto* splitter = new TSplitter(form.get());
  splitter->SetLeft(150);
  splitter->SetParent(form.get());
  int moved = 0;
  splitter->OnMoved = [&](TObject*) { ++moved; };
  QWidget* w = ClientOf(form.get());
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, QPoint(101, 50));
  delete left;  // freed while the splitter holds it
  QTest::mouseMove(w, QPoint(60, 50));
  QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(60, 50));
  EXPECT_EQ(moved, 0);  // nothing was resized
  EXPECT_EQ(form->ControlCount(), 1);
}

TEST(ScrollBoxTest, ScrollBarsAppearAndScrollTheChildren) {
  auto form = ShownForm(300, 200);
  auto* box = new TScrollBox(form.get());
  box->SetBounds(0, 0, 104, 84);  // client 100 x 80 inside a 2-pixel border
  box->SetParent(form.get());
  EXPECT_EQ(box->ClientRect(), Rect(0, 0, 100, 80));
  auto* far = new TPanel(form.get());
  far->SetBounds(150, 200, 40, 30);
  far->SetParent(box);
  // Children past the client area bring both bars, which take 16 pixels each.
  EXPECT_EQ(box->ClientRect(), Rect(0, 0, 84, 64));
  EXPECT_EQ(box->HorzRange(), 190 - 84);
  EXPECT_EQ(box->VertRange(), 230 - 64);
  int lo = 0, hi = 0;
  ASSERT_TRUE(GetScrollRange(box, SB_VERT, lo, hi));
  EXPECT_EQ(hi, 230 - 1);
  box->SetVertPosition(1000);
  EXPECT_EQ(box->VertPosition(), 166);
  EXPECT_EQ(GetScrollPos(box, SB_VERT), 166);
  EXPECT_EQ(far->Top(), 200 - 166);
  box->SetVertPosition(0);
  EXPECT_EQ(far->Top(), 200);
  // The bar's requests move the view.
  box->Perform(WM_VSCROLL, SB_LINEDOWN);
  EXPECT_EQ(box->VertPosition(), 8);
  box->Perform(WM_VSCROLL, SB_PAGEDOWN);
  EXPECT_EQ(box->VertPosition(), 8 + 64);
  box->Perform(WM_VSCROLL, SB_THUMBPOSITION | (WPARAM(30) << 16));
  EXPECT_EQ(box->VertPosition(), 30);
  box->Perform(WM_HSCROLL, SB_BOTTOM);
  EXPECT_EQ(box->HorzPosition(), 106);
  box->ScrollInView(far);
  EXPECT_EQ(far->Left() + far->Width(), 84);
  EXPECT_EQ(far->Top() + far->Height(), 64);
  box->SetHorzPosition(-5);
  EXPECT_EQ(box->HorzPosition(), 0);
  Pump();
  auto shot = Snapshot(box);
  EXPECT_EQ(shot->Canvas()->Pixels(0, 40), ColorToRGB(clBtnShadow));  // sunken border
  // Without children past the edges the bars go away again.
  delete far;
  EXPECT_EQ(box->ClientRect(), Rect(0, 0, 100, 80));
}

// A window with a vertical scroll bar that logs the bar's requests.
class TScrolled : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<int> codes;
  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_VSCROLL) {
      codes.push_back(int(LoWord(m.WParam)));
      return;
    }
    TCustomControl::Dispatch(m);
  }

 protected:
  void FillCreateParams(TCreateParams& params) override {
    TCustomControl::FillCreateParams(params);
    params.Style |= WS_VSCROLL;
  }
};

TEST(ScrollBarTest, WindowScrollBarsFollowTheirRangeAndReportRequests) {
  auto form = ShownForm(300, 200);
  auto* c = Place<TScrolled>(form.get(), 0, 0, 100, 100);
  EXPECT_EQ(c->ClientWidth(), 84);  // created with a bar of range 0..100
  int lo = -1, hi = -1;
  GetScrollRange(c, SB_VERT, lo, hi);
  EXPECT_EQ(hi, 100);
  SetScrollRange(c, SB_VERT, 0, 0, true);  // an empty range hides the bar
  EXPECT_EQ(c->ClientWidth(), 100);
  SetScrollRange(c, SB_VERT, 0, 4, true);
  EXPECT_EQ(c->ClientWidth(), 84);
  EXPECT_EQ(SetScrollPos(c, SB_VERT, 9, true), 0);  // returns the old position
  EXPECT_EQ(GetScrollPos(c, SB_VERT), 4);           // kept inside the range
  // Pressing the bar's arrow sends the request; the thumb stays where the window puts it.
  QWidget* window = vantrel::qt::WindowWidget(*c);
  QWidget* bar = window->childAt(92, 50);
  ASSERT_NE(bar, nullptr);
  SetScrollPos(c, SB_VERT, 2, true);
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(8, 4));  // the up arrow
  ASSERT_GE(c->codes.size(), 2u);
  EXPECT_EQ(c->codes[0], SB_LINEUP);
  EXPECT_EQ(c->codes.back(), SB_ENDSCROLL);
  EXPECT_EQ(GetScrollPos(c, SB_VERT), 2);
  ShowScrollBar(c, SB_VERT, false);
  EXPECT_EQ(c->ClientWidth(), 100);
  EXPECT_FALSE(GetScrollRange(c, 7, lo, hi));
}

// A modal window opening lets go of a scroll bar's arrow held down, as of
// any control holding the mouse: the window swallows the release, and the
// arrow would repeat its request for ever.
TEST(ScrollBarTest, AModalWindowLetsGoOfAnArrowHeldDown) {
  auto form = ShownForm(300, 200);
  auto* c = Place<TScrolled>(form.get(), 0, 0, 100, 100);
  auto* bar = qobject_cast<QScrollBar*>(vantrel::qt::WindowWidget(*c)->childAt(92, 50));
  ASSERT_NE(bar, nullptr);
  QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(8, bar->height() - 4));  // down
  TForm dialog(nullptr);
  QTimer::singleShot(10, [&] { dialog.SetModalResult(mrOk); });
  dialog.ShowModal();
  // The bar waits half a second before it repeats, then repeats every 50 ms.
  ASSERT_TRUE(RunTimerRounds(50, 15));
  EXPECT_EQ(c->codes, (std::vector<int>{SB_LINEDOWN, SB_ENDSCROLL}));
}
