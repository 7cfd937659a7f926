// Progress, track and scroll bars and the up-down arrows with real clicks and keys.

#include <gtest/gtest.h>

#include <QAbstractSlider>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/stdctrls/place.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/ranges.h"

using namespace testing_support;

namespace {

QAbstractSlider* SliderOf(TWinControl* c) {
  return static_cast<QAbstractSlider*>(ClientOf(c)->focusProxy());
}

}  // namespace

TEST(ProgressBarTest, PositionStepsAndTheFilledShare) {
  auto form = ShownForm();
  auto* bar = Place<TProgressBar>(form.get(), 10, 10, 104, 16);  // 100 inside frame and gap
  bar->SetSmooth(true);
  struct Case {
    int position;
    int filled;  // highlight columns of the 100 inside the frame
  } cases[] = {{0, 0}, {25, 25}, {100, 100}, {150, 100}, {-5, 0}};
  for (const Case& c : cases) {
    bar->SetPosition(c.position);
    Pump();
    auto shot = Snapshot(bar);
    int filled = 0;
    for (int x = 0; x < bar->Width(); ++x)
      filled += shot->Canvas()->Pixels(x, 8) == ColorToRGB(clHighlight);
    EXPECT_EQ(filled, c.filled) << c.position;
  }
  bar->SetPosition(95);
  bar->StepIt();  // past Max: round again from Min
  EXPECT_EQ(bar->Position(), 5);
  bar->StepBy(-10);
  EXPECT_EQ(bar->Position(), 0);
  EXPECT_THROW(bar->SetRange(10, 5), EInvalidOperation);
  EXPECT_EQ(bar->Max(), 100);
}

TEST(TrackBarTest, KeysMoveByLineAndPageAndTellOnChange) {
  auto form = ShownForm();
  auto* track = Place<TTrackBar>(form.get(), 10, 10, 150, 45);
  track->SetPageSize(3);
  std::vector<int> changes;
  track->OnChange = [&](TObject*) { changes.push_back(track->Position()); };
  track->SetFocus();
  QTest::keyClick(SliderOf(track), Qt::Key_Right);
  QTest::keyClick(SliderOf(track), Qt::Key_PageDown);
  QTest::keyClick(SliderOf(track), Qt::Key_End);
  track->SetPosition(4);
  track->SetPosition(40);  // kept within Max
  EXPECT_EQ(changes, (std::vector<int>{1, 4, 10, 4, 10}));
  track->SetOrientation(trVertical);
  Pump();
  EXPECT_EQ(SliderOf(track)->orientation(), Qt::Vertical);
  EXPECT_EQ(SliderOf(track)->value(), 10);
}

TEST(ScrollBarTest, OnScrollSeesAndMayChangeTheUsersMoves) {
  auto form = ShownForm();
  auto* bar = Place<TScrollBar>(form.get(), 10, 10, 150, 16);
  bar->SetParams(0, 0, 20);
  bar->SetLargeChange(5);
  bar->SetPageSize(6);  // the position ends at 20 - 6 + 1
  std::vector<std::pair<TScrollCode, int>> scrolls;
  bar->OnScroll = [&](TObject*, TScrollCode code, int& pos) {
    scrolls.emplace_back(code, pos);
    if (pos == 11) pos = 13;  // a handler may move it elsewhere
  };
  bar->SetFocus();
  QTest::keyClick(SliderOf(bar), Qt::Key_Right);
  QTest::keyClick(SliderOf(bar), Qt::Key_PageDown);
  QTest::keyClick(SliderOf(bar), Qt::Key_PageDown);
  EXPECT_EQ(bar->Position(), 13);
  QTest::keyClick(SliderOf(bar), Qt::Key_End);
  EXPECT_EQ(scrolls, (std::vector<std::pair<TScrollCode, int>>{
                         {scLineDown, 1}, {scPageDown, 6}, {scPageDown, 11}, {scBottom, 15}}));
  EXPECT_EQ(bar->Position(), 15);
  EXPECT_THROW(bar->SetParams(0, 5, 1), EInvalidOperation);
  bar->SetKind(sbVertical);
  EXPECT_EQ(bar->Width(), 16);
  EXPECT_EQ(bar->Height(), 150);
}

TEST(UpDownTest, ArrowsStepTheAssociateWithinTheRange) {
  auto form = ShownForm();
  auto* edit = Place<TEdit>(form.get(), 10, 10, 80, 21);
  auto* ud = new TUpDown(form.get());
  ud->SetMax(1001);
  ud->SetIncrement(500);
  ud->SetAssociate(edit);
  EXPECT_EQ(ud->Parent(), form.get());
  EXPECT_EQ(edit->Width() + ud->Width(), 80);
  EXPECT_EQ(ud->Left(), edit->Left() + edit->Width());
  EXPECT_EQ(edit->Text(), "0");
  std::vector<TUDBtnType> clicks;
  ud->OnClick = [&](TObject*, TUDBtnType b) { clicks.push_back(b); };
  struct Step {
    bool up;
    const char* text;
  } steps[] = {{true, "500"}, {true, "1,000"}, {true, "1,001"}, {false, "501"}};
  for (const Step& s : steps) {
    Click(ud, 5, s.up ? 2 : ud->Height() - 3);
    EXPECT_EQ(edit->Text(), s.text);
  }
  EXPECT_EQ(clicks, (std::vector<TUDBtnType>{btNext, btNext, btNext, btPrev}));
  EXPECT_TRUE(edit->Focused());
  // The keys of the associate step too; a typed number counts.
  ud->SetIncrement(1);
  edit->SetText("7");
  QTest::keyClick(ClientOf(edit)->focusProxy(), Qt::Key_Up);
  EXPECT_EQ(ud->Position(), 8);
  // Wrapping, and a refusal from OnChanging.
  ud->SetWrap(true);
  ud->SetPosition(1001);
  ud->Step(btNext);
  EXPECT_EQ(ud->Position(), 0);
  ud->OnChanging = [](TObject*, bool& allow) { allow = false; };
  ud->Step(btNext);
  EXPECT_EQ(ud->Position(), 0);
  // A freed associate is let go.
  delete edit;
  EXPECT_EQ(ud->Associate(), nullptr);
  ud->SetPosition(3);
}
