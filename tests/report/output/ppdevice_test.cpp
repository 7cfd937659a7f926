#include "report/output/ppdevice.h"

#include <gtest/gtest.h>

#include "platform/classlib/core/datetime.h"

namespace {

// A device that records what it draws and which pages it outputs.
class TRecordingDevice : public TppRasterDevice {
 public:
  bool DrawCommand(TppDrawCommand* c) override {
    drawn.push_back(c->ClassName());
    return true;
  }
  void ReceivePage(TppPage* page) override {
    TppRasterDevice::ReceivePage(page);
    if (PageRequested && !SkipPage) output.push_back(page->AbsolutePageNo);
  }
  std::vector<std::string> drawn;
  std::vector<int> output;
};

std::unique_ptr<TppPage> MakePage(int no, int count, bool last, bool final = true) {
  auto page = std::make_unique<TppPage>();
  page->AbsolutePageNo = page->PageNo = no;
  page->AbsolutePageCount = page->PageCount = count;
  page->FirstPage = no == 1;
  page->LastPage = last;
  page->FinalPage = final;
  auto* calc = new TppDrawCalc;
  calc->CalcType = ctPageSetDesc;
  calc->SetPage(page.get());
  calc->Recalculate();
  return page;
}

// A report of `pages` pages behind the publisher's page requests.
class ReportPublisher : public ::testing::Test {
 protected:
  void SetUp() override {
    publisher.CachePages = true;
    publisher.OnPageRequest = [this](TObject*, TppPageRequestType kind, TStrings*, int pageNo) {
      requests.push_back({kind, pageNo});
      for (int p = 1; p <= pages; ++p) {
        auto page = MakePage(p, pages, p == pages);
        publisher.ReceivePage(page.get());
        if (publisher.RequestMet()) break;
      }
    };
    device.SetPublisher(&publisher);
  }
  std::vector<int> Ask(TppPageRequestType kind, int pageNo = 1) {
    device.output.clear();
    device.ResetPageRequest();
    device.PageRequest = kind;
    device.PageNo = pageNo;
    device.RequestPages();
    return device.output;
  }
  TppPublisher publisher;
  TRecordingDevice device;
  std::vector<std::pair<int, int>> requests;
  int pages = 3;
};

// Two devices ask at once; the report sees one merged request.
TEST(ReportPublisherMerge, RequestsOfTwoDevicesMerge) {
  struct Case {
    TppPageRequestType first; int firstNo;
    TppPageRequestType second; int secondNo;
    TppPageRequestType kind; std::vector<std::string> list;
  };
  const Case cases[] = {
      {prOnePage, 5, prOnePage, 5, prPageList, {"       5", "       5"}},
      {prOnePage, 1, prOnePage, 1, prOnePage, {}},
      {prOnePage, 2, prFirstPage, 1, prPageList, {"       2", "       1"}},
      {prOnePage, 2, prLastPage, 0, prAll, {}},
      {prFirstPage, 1, prOnePage, 4, prFirstPage, {}},
  };
  for (const Case& c : cases) {
    TppPublisher publisher;
    TRecordingDevice a, b;
    a.SetPublisher(&publisher);
    b.SetPublisher(&publisher);
    a.PageRequest = c.first;
    a.PageNo = c.firstNo;
    b.PageRequest = c.second;
    b.PageNo = c.secondNo;
    TppPageRequestType kind = prAll;
    std::vector<std::string> list;
    publisher.OnPageRequest = [&](TObject*, TppPageRequestType k, TStrings* l, int) {
      kind = k;
      for (int i = 0; i < l->Count(); ++i) list.push_back((*l)[i]);
    };
    publisher.ProcessRequests();
    EXPECT_EQ(kind, c.kind) << c.first << "/" << c.second;
    EXPECT_EQ(list, c.list) << c.first << "/" << c.second;
  }
}

TEST_F(ReportPublisher, CachedPagesServeRequestsWithoutTheReport) {
  EXPECT_EQ(Ask(prLastPage), (std::vector<int>{3}));  // never completed: the report runs
  EXPECT_EQ(requests.size(), 1u);
  EXPECT_EQ(Ask(prOnePage, 2), (std::vector<int>{2}));
  EXPECT_EQ(requests.size(), 1u);  // served from the cache
  device.PageList.Add(ppPageKey(1));
  device.PageList.Add(ppPageKey(3));
  device.output.clear();
  device.PageRequest = prPageList;
  device.RequestPages();
  EXPECT_EQ(device.output, (std::vector<int>{1, 3}));
  EXPECT_EQ(requests.size(), 1u);
  EXPECT_EQ(Ask(prAll), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(requests.size(), 1u);
}

TEST_F(ReportPublisher, AllPagesComeFromTheCacheOnlyWhenItHoldsThemAll) {
  // A preview that jumped to the last page cached only that page.
  publisher.OnPageRequest = [this](TObject*, TppPageRequestType kind, TStrings*, int) {
    requests.push_back({kind, 0});
    for (int p = 1; p <= pages; ++p) {
      auto page = MakePage(p, pages, p == pages, kind == prAll || p == pages);
      page->FirstPassPage = kind != prAll && p != pages;
      publisher.ReceivePage(page.get());
    }
  };
  EXPECT_EQ(Ask(prLastPage), (std::vector<int>{3}));
  EXPECT_TRUE(publisher.Completed());
  EXPECT_EQ(publisher.CachedPageCount(), 1);  // pages on the way are never cached
  EXPECT_EQ(Ask(prAll), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(requests.size(), 2u);  // the report made the missing pages
}

TEST_F(ReportPublisher, RecachingReplacesAndLateCountsRecalculate) {
  auto first = MakePage(1, 1, false);
  publisher.ReceivePage(first.get());
  first->PageCount = first->AbsolutePageCount = 2;  // a second copy replaces the first
  publisher.ReceivePage(first.get());
  auto second = MakePage(2, 5, true);
  publisher.ReceivePage(second.get());
  TppPage* cached = publisher.CachedPage(1);
  ASSERT_NE(cached, nullptr);
  EXPECT_EQ(publisher.CachedPageCount(), 2);
  EXPECT_EQ(cached->AbsolutePageCount, 5);
  EXPECT_EQ(static_cast<TppDrawText*>(cached->DrawCommands(0))->Text, "Page 1 of 5");
  EXPECT_EQ(cached->GetDescription(), "Page 1 of 5");
}

TEST(ReportPage, CopiesRecreateEveryKindAndCommandsOffThePageAreNotDrawn) {
  TppPage page;
  page.PrinterSetup()->SetUnits(utMMThousandths);
  page.PrinterSetup()->SetPaperWidth(100000);
  auto* text = new TppDrawText;
  text->Text = "Defects";
  text->WrappedText.Add("Defects");
  text->SaveOrder = 3;
  text->SaveLineNo = 12;
  text->Font()->SetSize(14);
  auto* calc = new TppDrawCalc;
  calc->CalcType = ctPageCount;
  auto* shape = new TppDrawShape;
  shape->Shape = stEllipse;
  shape->Left = 100001;  // beyond the page width
  auto* line = new TppDrawLine;
  line->Style = lsDouble;
  auto* image = new TppDrawImage;
  image->Stretch = true;
  for (TppDrawCommand* c : std::vector<TppDrawCommand*>{text, calc, shape, line, image})
    c->SetPage(&page);
  page.AbsolutePageNo = 7;

  TppPage copy;
  copy.Assign(&page);
  ASSERT_EQ(copy.DrawCommandCount(), 5);
  EXPECT_EQ(copy.AbsolutePageNo, 7);
  EXPECT_EQ(copy.PrinterSetup()->PageDef().mmWidth(), 100000);
  auto* t = dynamic_cast<TppDrawText*>(copy.DrawCommands(0));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Text, "Defects");
  EXPECT_EQ(t->WrappedText.Count(), 1);
  EXPECT_EQ(t->Font()->Size(), 14);
  EXPECT_EQ(t->GetSaveKey(), "       3      12");
  EXPECT_EQ(dynamic_cast<TppDrawCalc*>(copy.DrawCommands(1))->CalcType, ctPageCount);
  EXPECT_EQ(dynamic_cast<TppDrawShape*>(copy.DrawCommands(2))->Shape, stEllipse);
  EXPECT_EQ(dynamic_cast<TppDrawLine*>(copy.DrawCommands(3))->Style, lsDouble);
  EXPECT_TRUE(dynamic_cast<TppDrawImage*>(copy.DrawCommands(4))->Stretch);
  EXPECT_EQ(copy.CalculatedCommands().size(), 1u);

  TRecordingDevice device;
  device.DrawPage(&copy);
  EXPECT_EQ(device.drawn, (std::vector<std::string>{"TppDrawText", "TppDrawCalc", "TppDrawLine",
                                                    "TppDrawImage"}));
  // A command moved to another page leaves the first one.
  copy.DrawCommands(0)->SetPage(&page);
  EXPECT_EQ(copy.DrawCommandCount(), 4);
  EXPECT_EQ(page.DrawCommandCount(), 6);
}

TEST(ReportPage, StackedDevicesLetOnlyTheNewestReceive) {
  TppPublisher publisher;
  TRecordingDevice outer, inner;
  for (TRecordingDevice* d : {&outer, &inner}) {
    d->SetStacked(true);
    d->SetStackName("Printer");
  }
  outer.SetPublisher(&publisher);
  inner.SetPublisher(&publisher);
  EXPECT_EQ(publisher.Devices(), (std::vector<TppDevice*>{&inner}));
  inner.SetStacked(false);  // attached: no change
  EXPECT_TRUE(inner.Stacked());
  inner.SetPublisher(nullptr);
  EXPECT_EQ(publisher.Devices(), (std::vector<TppDevice*>{&outer}));
  {
    TRecordingDevice gone;
    gone.SetPublisher(&publisher);
  }
  EXPECT_EQ(publisher.Devices().size(), 1u);
}

}  // namespace
