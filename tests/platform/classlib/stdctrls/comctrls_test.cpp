#include <gtest/gtest.h>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/graphics/colors.h"
#include "platform/classlib/stdctrls/comctrls.h"

using namespace testing_support;

namespace {

TPoint Middle(const TRect& r) { return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}; }

std::string Day(TDateTime d) { return FormatDateTime("yyyy-mm-dd", d); }

}  // namespace

TEST(MonthCalendarTest, ArrowsKeysAndDayClicksMoveTheDateAndTellOnChange) {
  auto form = ShownForm(220, 180);
  auto* cal = new TMonthCalendar(form.get());
  cal->SetParent(form.get());
  cal->SetDate(EncodeDate(2024, 1, 31) + 0.75);  // the time of day is dropped
  EXPECT_EQ(double(cal->Date()), double(EncodeDate(2024, 1, 31)));
  std::vector<std::string> log;
  cal->OnChange = [&](TObject*) { log.push_back(Day(cal->Date())); };
  cal->OnClick = [&](TObject*) { log.push_back("click"); };
  Pump();
  // 1 January 2024 is a Monday: the grid starts on Sunday 31 December.
  EXPECT_EQ(cal->DayRect(EncodeDate(2023, 12, 30)), TRect{});
  const TRect first = cal->DayRect(EncodeDate(2023, 12, 31));
  EXPECT_EQ(cal->DayRect(EncodeDate(2024, 1, 1)).Left, first.Right);
  EXPECT_EQ(cal->DayRect(EncodeDate(2024, 1, 7)).Top, first.Bottom);
  TPoint p = Middle(cal->NextMonthRect());
  Click(cal, p.x, p.y);  // to the end of February: the day is clipped
  struct {
    Qt::Key key;
    const char* want;
  } keys[] = {{Qt::Key_Right, "2024-03-01"}, {Qt::Key_Up, "2024-02-23"},
              {Qt::Key_PageUp, "2024-01-23"}, {Qt::Key_End, "2024-01-31"}};
  for (const auto& k : keys) QTest::keyClick(ClientOf(cal), k.key);
  p = Middle(cal->DayRect(EncodeDate(2024, 1, 10)));
  Click(cal, p.x, p.y);
  // Setting the same day again tells nobody.
  cal->SetDate(EncodeDate(2024, 1, 10));
  EXPECT_EQ(log, (std::vector<std::string>{"2024-02-29", "2024-03-01", "2024-02-23", "2024-01-23",
                                           "2024-01-31", "2024-01-10", "click"}));
  // The chosen day shows in the highlight while the calendar has the focus.
  auto shot = Snapshot(cal);
  const TRect chosen = cal->DayRect(EncodeDate(2024, 1, 10));
  EXPECT_EQ(shot->Canvas()->Pixels(chosen.Left + 2 + 1, chosen.Top + 2 + 1), ColorToRGB(clHighlight));
}

TEST(AnimateTest, AnActiveAnimationTurnsItsFramesAndStopsAfterItsRounds) {
  auto form = ShownForm(220, 180);
  auto* a = new TAnimate(form.get());
  a->SetParent(form.get());
  a->SetCommonAVI(aviCopyFiles);
  int starts = 0, stops = 0;
  a->OnStart = [&](TObject*) { ++starts; };
  a->OnStop = [&](TObject*) { ++stops; };
  auto still = Snapshot(a);
  a->SetActive(true);
  EXPECT_EQ(starts, 1);
  // A few frames on (of 16, 100 ms each), well before the sheet comes round.
  ASSERT_TRUE(WaitFor([&] { return a->CurrentFrame() >= 3; }));
  auto moved = Snapshot(a);
  // The flying sheet has moved: the pictures differ.
  EXPECT_LT(InkBox(*still, clWhite).Left, InkBox(*moved, clWhite).Left);
  a->Stop();
  const int at = a->CurrentFrame();
  ASSERT_TRUE(RunTimerRounds(100, 3));
  EXPECT_EQ(a->CurrentFrame(), at);
  EXPECT_EQ(stops, 1);
  // One round of the last three frames ends by itself on the last one.
  a->Play(a->FrameCount() - 3, a->FrameCount() - 1, 1);
  EXPECT_TRUE(WaitFor([&] { return !a->Active(); }));
  EXPECT_EQ(a->CurrentFrame(), a->FrameCount() - 1);
  EXPECT_EQ(stops, 2);
}
