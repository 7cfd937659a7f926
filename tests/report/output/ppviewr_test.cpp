#include "report/output/ppviewr.h"

#include <gtest/gtest.h>

#include <QPaintEvent>
#include <QWidget>

#include <memory>

#include "fake_report.h"
#include "platform/classlib/controls/qtbackend.h"
#include "report/data/pputils.h"
#include "report/output/ppdrawcmd.h"

namespace {

using testing_support::TFakeReport;

// A viewer of `width` x `height` without bevels or borders, so its scroll
// box's client area is the whole viewer.
class ReportViewer : public ::testing::Test {
 protected:
  void SetUp() override { ppSetScreenPixelsPerInch(96); }
  void TearDown() override { ppSetScreenPixelsPerInch(0); }
  TppViewer* MakeViewer(int width, int height) {
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, width + 100, height + 100);
    auto* viewer = new TppViewer(form.get());
    viewer->SetParent(form.get());
    viewer->SetBevelOuter(bvNone);
    viewer->ScrollBox()->SetBorderStyle(bsNone);
    viewer->SetBounds(0, 0, width, height);
    return viewer;
  }
  TppViewer* Show(TFakeReport& report, int width = 600, int height = 400) {
    TppViewer* viewer = MakeViewer(width, height);
    viewer->OnStatusChange = [this](TObject* v) {
      statuses.push_back(static_cast<TppViewer*>(v)->Status());
    };
    viewer->SetReport(&report);
    viewer->ScreenDevice()->RequestPages();
    return viewer;
  }
  static TColor Pixel(TppViewer* v, int x, int y) {
    return ColorToRGB(v->ScreenDevice()->PageBitmap()->Canvas()->Pixels(x, y));
  }
  std::unique_ptr<TForm> form;
  std::vector<std::string> statuses;
};

TEST_F(ReportViewer, ZoomModesSizeThePageAndTheBitmap) {
  // Letter is 816 x 1056 screen pixels at 100 %.
  struct Case {
    TppZoomSettingType setting;
    int percentage;
    int viewerHeight;
    int pageWidth, pageHeight, bitmapWidth, bitmapHeight, zoom;
  };
  const Case cases[] = {
      {zsWholePage, 0, 400, 272, 352, 600, 400, 33},
      {zsWholePage, 0, 40, 12, 16, 600, 40, 2},  // a tiny viewer: no further shrinking
      {zs100Percent, 0, 400, 816, 1056, 864, 1104, 100},
      {zsPageWidth, 0, 400, 562, 727, 586, 751, 69},
      {zsPercentage, 50, 400, 408, 528, 600, 576, 50},
      {zsPercentage, 300, 400, 2040, 2640, 2088, 2688, 250},  // stored as 250
      {zsPercentage, 0, 400, 8, 11, 600, 400, 1},  // stored as 1: a page still shows
  };
  for (const Case& c : cases) {
    TFakeReport report(1);
    TppViewer* viewer = MakeViewer(600, c.viewerHeight);
    viewer->SetReport(&report);
    if (c.setting == zsPercentage) viewer->SetZoomPercentage(c.percentage);
    else viewer->SetZoomSetting(c.setting);
    const TppScreenDevice& d = *viewer->ScreenDevice();
    EXPECT_EQ(viewer->ZoomSetting(), c.setting);
    EXPECT_EQ(d.PageWidthPixels(), c.pageWidth) << c.setting << " " << c.percentage;
    EXPECT_EQ(d.PageHeightPixels(), c.pageHeight) << c.setting << " " << c.percentage;
    EXPECT_EQ(d.PageBitmap()->Width(), c.bitmapWidth) << c.setting << " " << c.percentage;
    EXPECT_EQ(d.PageBitmap()->Height(), c.bitmapHeight) << c.setting << " " << c.percentage;
    EXPECT_EQ(viewer->CalculatedZoom(), c.zoom) << c.setting << " " << c.percentage;
  }
}

TEST_F(ReportViewer, ThePageIsWhiteOutlinedOnShadow) {
  TFakeReport report(1);
  TppViewer* viewer = Show(report);
  const TPoint o = viewer->ScreenDevice()->PageOrigin();
  EXPECT_EQ(o.x, 164);
  EXPECT_EQ(o.y, 24);
  EXPECT_EQ(Pixel(viewer, o.x - 1, o.y + 50), ColorToRGB(clBtnShadow));
  EXPECT_EQ(Pixel(viewer, o.x, o.y + 50), clBlack);
  EXPECT_EQ(Pixel(viewer, o.x + 271, o.y + 50), clBlack);
  EXPECT_EQ(Pixel(viewer, o.x + 5, o.y + 5), clWhite);
  // The paint box shows the bitmap.
  TBitmap shot;
  shot.SetSize(600, 400);
  viewer->PaintTo(shot.Canvas(), 0, 0);
  EXPECT_EQ(ColorToRGB(shot.Canvas()->Pixels(o.x, o.y + 50)), clBlack);
  EXPECT_EQ(ColorToRGB(shot.Canvas()->Pixels(o.x + 5, o.y + 5)), clWhite);
}

// A viewer wider and taller than the page's bitmap (the page at 100 % in a
// large window, or at page width) shows its background beside and below the
// bitmap, never black.
TEST_F(ReportViewer, AViewerLargerThanThePageShowsItsBackgroundBesideIt) {
  const struct {
    TppZoomSettingType zoom;
    int width, height;
  } cases[] = {{zs100Percent, 1300, 1300}, {zsPageWidth, 900, 2000}, {zsWholePage, 1400, 500}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.zoom);
    TFakeReport report(1);
    TppViewer* viewer = Show(report, c.width, c.height);
    viewer->SetZoomSetting(c.zoom);
    const TBitmap* bitmap = viewer->ScreenDevice()->PageBitmap();
    TBitmap shot;
    shot.SetSize(c.width, c.height);
    viewer->PaintTo(shot.Canvas(), 0, 0);
    const int right = std::min(bitmap->Width(), c.width) + 2, below = std::min(bitmap->Height(), c.height) + 2;
    for (auto [x, y] : {std::pair{c.width - 30, 10}, std::pair{10, c.height - 30}, std::pair{right, 10}, std::pair{10, below}})
      if (x < c.width - 20 && y < c.height - 20) {  // clear of the scroll bars
        EXPECT_EQ(ColorToRGB(shot.Canvas()->Pixels(x, y)), ColorToRGB(clBtnShadow)) << x << "," << y;
      }
  }
}

TEST_F(ReportViewer, StatusTextsAndLatePageCounts) {
  TFakeReport report(3);
  report.TwoPass = true;
  TppViewer* viewer = Show(report);
  EXPECT_EQ(statuses, (std::vector<std::string>{
                          "Drawing page 1 of 1 for report Defects", "Page 1 of 1",
                          "Calculating page 2 for report Defects",
                          "Calculating page 3 for report Defects"}));
  TppPage* shown = viewer->ScreenDevice()->CurrentPage();
  EXPECT_EQ(shown->AbsolutePageCount, 3);
  EXPECT_EQ(static_cast<TppDrawCalc*>(shown->DrawCommands(0))->Text, "Page 1 of 3");
}

// A counting pass redraws the shown page's count as it grows: only that
// text's place is painted again, never the whole page for every page counted.
TEST_F(ReportViewer, ALatePageCountRepaintsOnlyItsText) {
  struct TPaints : QObject {
    std::vector<QRect> rects;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) rects.push_back(static_cast<QPaintEvent*>(event)->rect());
      return false;
    }
  } paints;
  TFakeReport report(3);
  report.TwoPass = true;
  TppViewer* viewer = MakeViewer(600, 400);
  form->Show();
  Application->ProcessMessages();
  vantrel::qt::ClientWidget(*viewer->ScrollBox())->installEventFilter(&paints);
  // From the first page counted on, the shown page only takes new counts.
  viewer->OnStatusChange = [&](TObject*) {
    if (viewer->Status().rfind("Calculating page 2", 0) == 0) paints.rects.clear();
  };
  viewer->SetReport(&report);
  viewer->ScreenDevice()->RequestPages();
  Application->ProcessMessages();
  TppPage* shown = viewer->ScreenDevice()->CurrentPage();
  TRect count = ppDrawRect(*shown->DrawCommands(0));
  OffsetRect(count, viewer->PaintBox()->Left(), viewer->PaintBox()->Top());
  const QRect text(count.Left, count.Top, count.Width(), count.Height());
  ASSERT_FALSE(paints.rects.empty());
  QRect all;
  for (const QRect& r : paints.rects) {
    EXPECT_LE(r.width() * r.height(), 4 * text.width() * text.height());
    all |= r;
  }
  EXPECT_TRUE(all.contains(text));
  EXPECT_EQ(static_cast<TppDrawCalc*>(shown->DrawCommands(0))->Text, "Page 1 of 3");
}

TEST_F(ReportViewer, NavigationAsksOnlyForOtherPages) {
  TFakeReport report(3);
  TppViewer* viewer = Show(report);
  int changes = 0;
  viewer->OnPageChange = [&](TObject*) { ++changes; };
  struct Step {
    std::function<void()> move;
    int shown;
    size_t requests;
  };
  const Step steps[] = {
      {[&] { viewer->PriorPage(); }, 1, 2},   // page 0 never comes
      {[&] { viewer->FirstPage(); }, 1, 2},   // shown already: no request
      {[&] { viewer->NextPage(); }, 2, 3},
      {[&] { viewer->GotoPage(2); }, 2, 3},
      {[&] { viewer->LastPage(); }, 3, 4},
      {[&] { viewer->NextPage(); }, 3, 5},    // beyond the end: the page stays
      {[&] { viewer->FirstPage(); }, 1, 6},
  };
  for (const Step& s : steps) {
    s.move();
    EXPECT_EQ(viewer->AbsolutePageNo(), s.shown);
    EXPECT_EQ(report.requests.size(), s.requests);
  }
  EXPECT_EQ(changes, 3);
  viewer->Print();
  EXPECT_EQ(report.printedFrom, std::vector<int>{1});
  EXPECT_EQ(viewer->ScreenDevice()->Publisher(), report.ReportPublisher());
}

TEST_F(ReportViewer, AMemoAtAQuarterKeepsItsLinesInItsBox) {
  TFakeReport report(1);
  const TRect box = Rect(25400, 50800, 76200, 60000);  // thousandths of a mm
  report.OnPage = [&](TppPage& page) {
    auto* memo = new TppDrawText;
    memo->IsMemo = memo->WordWrap = true;
    memo->Transparent = true;
    memo->Font()->SetName("Arial");
    memo->Font()->SetSize(12);
    for (const char* line : {"WWWWWWWWWWWWW", "MMMMMMMMMMMMM", "WWWWWWWWWWWWW"})
      memo->WrappedText.Add(line);
    memo->Left = box.Left;
    memo->Top = box.Top;
    memo->Width = box.Width();
    memo->Height = box.Height();
    memo->SetPage(&page);
  };
  TppViewer* viewer = Show(report);
  viewer->SetZoomPercentage(25);
  const TRect r = ppDrawRect(*viewer->ScreenDevice()->CurrentPage()->DrawCommands(1));
  int inside = 0, outside = 0;
  for (int x = r.Left - 10; x < r.Right + 10; ++x)
    for (int y = r.Top - 10; y < r.Bottom + 10; ++y) {
      const bool black = Pixel(viewer, x, y) != clWhite;
      if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) inside += black;
      else outside += black;
    }
  EXPECT_GT(inside, 0);
  EXPECT_EQ(outside, 0);
}

}  // namespace
