// The generation engine over a small in-memory report: pages, passes,
// overflow, columns, groups, page limits, cancelling and regeneration.
#include "report/model/ppengine.h"

#include <gtest/gtest.h>

#include <functional>

#include <map>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/messagepump.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/printers/printers.h"
#include "reportrig.h"

namespace {

constexpr int32_t kMM = 1000;  // thousandths per millimetre

int Lines(const std::string& page) { return int(std::count(page.begin(), page.end(), '\n')); }

// The message a generation fails with.
std::string PrintError(ReportRig& r) {
  try {
    r.Print();
  } catch (const EPrintError& e) {
    return e.Message();
  }
  return "";
}

// Stops a run that would never end: the pump hook raises after `limit` calls.
struct PumpLimit {
  explicit PumpLimit(int limit, std::function<void(int)> atCall = nullptr) {
    previous = SetMessagePumpHook([this, limit, atCall] {
      ++calls;
      if (atCall) atCall(calls);
      if (calls > limit) throw EAbort("the run does not end");
    });
  }
  ~PumpLimit() { SetMessagePumpHook(previous); }
  int calls = 0;
  std::function<void()> previous;
};

// Sets the Grp field of the records in order.
void SetGroups(TMemDataSet& data, const std::vector<std::string>& values) {
  data.First();
  for (const std::string& v : values) {
    data.Edit();
    data.FieldByName("Grp")->SetAsString(v);
    data.Post();
    data.Next();
  }
  data.First();
}

TEST(ReportEngine, OnePassListingFillsPagesAndPublishesTheLastPageOnce) {
  Listing r(30);
  r.Print();
  const auto pages = r.Pages();
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(Lines(pages[0]), 2 + 24);
  EXPECT_EQ(Lines(pages[1]), 2 + 6);
  EXPECT_EQ(pages[1].substr(0, pages[1].find('\n')), "6350:Head");
  const TppPage& last = *r.device.Pages[1];
  EXPECT_TRUE(last.LastPage);
  EXPECT_TRUE(last.FinalPage);
  EXPECT_EQ(last.PageNo, 2);
  EXPECT_EQ(last.PageCount, 2);
  EXPECT_EQ(r.device.Received, 2);  // the first generation of the last page stays unpublished
}

TEST(ReportEngine, FailsBeforeThePageWithoutBandsOrWithABandTallerThanThePage) {
  ReportRig bare(3);
  EXPECT_EQ(PrintError(bare), "No bands for this report.");
  EXPECT_TRUE(bare.device.Pages.empty());
  Listing tall(3);
  tall.detail->SetmmHeight(300 * kMM);
  EXPECT_EQ(PrintError(tall), "Band height cannot exceed page height.");
  EXPECT_TRUE(tall.device.Pages.empty());
}

// A band that fits the printable height but not the room between header and
// footer would ask for new pages forever; the run ends with message 275.
TEST(ReportEngine, ABandThatNeverFitsBetweenHeaderAndFooterEndsTheRun) {
  for (TppPrintHeightType kind : {phStatic, phDynamic}) {
    Listing r(30);
    r.detail->SetPrintHeight(kind);
    r.detail->SetmmHeight(kind == phStatic ? 250 * kMM : 10 * kMM);
    if (kind == phDynamic) r.AddText(r.detail, "Name", 0, 250 * kMM);
    PumpLimit limit(100000);
    EXPECT_EQ(PrintError(r), "Band height cannot exceed page height.") << kind;
    EXPECT_LT(r.report->Engine()->AbsolutePageNo(), 4) << kind;
  }
}

TEST(ReportEngine, ADetailThatDoesNotFitStartsTheNextPageBelowTheHeader) {
  Listing r(30);
  r.Print();
  const auto pages = r.Pages();
  ASSERT_EQ(pages.size(), 2u);
  // The footer sits on the bottom margin; record 25 below page 2's header.
  EXPECT_NE(pages[0].find("263051:Foot\n"), std::string::npos);
  EXPECT_NE(pages[1].find("16350:25\n"), std::string::npos);
}

TEST(ReportEngine, TwoPassReportCountsAllPagesBeforeTheRequestedOne) {
  Listing r(80);  // 24, 24, 24, 8
  r.report->SetPassSetting(psTwoPass);
  int startFirst = 0, endFirst = 0, startSecond = 0;
  r.report->OnStartFirstPass = [&](TObject*) { ++startFirst; };
  r.report->OnEndFirstPass = [&](TObject*) { ++endFirst; };
  r.report->OnStartSecondPass = [&](TObject*) { ++startSecond; };
  r.Print(prOnePage, 3);
  ASSERT_EQ(r.device.Pages.size(), 1u);
  const TppPage& page = *r.device.Pages[0];
  EXPECT_EQ(page.AbsolutePageNo, 3);
  EXPECT_TRUE(page.FinalPage);
  EXPECT_EQ(page.PageCount, 4);
  EXPECT_EQ(r.device.Received, 4 + 1);
  EXPECT_EQ((std::vector{startFirst, endFirst, startSecond}), (std::vector{1, 1, 1}));
}

TEST(ReportEngine, PagesRequestedByListStopAtTheEndOfTheReport) {
  Listing r(30);
  r.Print(prPageList, 1, {2, 3});
  ASSERT_EQ(r.device.Pages.size(), 1u);
  EXPECT_EQ(r.device.Pages[0]->AbsolutePageNo, 2);
  r.Print(prPageList, 1, {3});  // the count is known now: nothing to publish
  EXPECT_TRUE(r.device.Pages.empty());
  EXPECT_EQ(r.report->Engine()->PagesGenerated(), 0);
}

TEST(ReportEngine, PageLimitStopsTheRunWhileDataRemains) {
  for (int limit : {1, 2}) {
    Listing r(80);
    r.report->SetPageLimit(limit);
    r.Print();
    EXPECT_EQ(int(r.device.Pages.size()), limit);
    EXPECT_TRUE(r.device.Pages.back()->LastPage);
  }
}

TEST(ReportEngine, CancelAtAPumpCallEndsTheRunAndResetsTheEngine) {
  Listing r(80);
  PumpLimit pump(100000, [&](int call) {
    if (call == 40) r.report->CancelGeneration();
  });
  r.Print();
  EXPECT_LT(r.device.Pages.size(), 4u);
  EXPECT_FALSE(r.report->Engine()->Prepared());
  EXPECT_FALSE(r.report->IsGenerating());
}

// Without a detail band nothing walks the data: title, header, summary and
// footer print once, and the run ends with or without records.
TEST(ReportEngine, ALayoutWithoutADetailBandPrintsItsBandsOnceAndEnds) {
  struct Case {
    int rows;
    bool summary;
  };
  for (const Case c : {Case{5, true}, Case{0, true}, Case{5, false}, Case{1, false}}) {
    SCOPED_TRACE(std::to_string(c.rows) + (c.summary ? " with summary" : " without summary"));
    ReportRig r(c.rows);
    r.AddText(r.AddBand<TppTitleBand>(10 * kMM), "", 0, 4000, "Title");
    r.AddText(r.AddBand<TppHeaderBand>(10 * kMM), "", 0, 4000, "Head");
    if (c.summary) r.AddText(r.AddBand<TppSummaryBand>(10 * kMM), "", 0, 4000, "Sum");
    r.AddText(r.AddBand<TppFooterBand>(10 * kMM), "", 0, 4000, "Foot");
    PumpLimit limit(10000);
    r.Print();
    if (c.rows == 0) {  // a pipeline that skips when empty gives no page
      EXPECT_TRUE(r.device.Pages.empty());
      continue;
    }
    ASSERT_EQ(r.device.Pages.size(), 1u);
    EXPECT_EQ(r.Texts()[0], c.summary ? "Title Head Sum Foot" : "Title Head Foot");
    EXPECT_TRUE(r.device.Pages[0]->LastPage);
  }
}

TEST(ReportEngine, TwoColumnsShareTheColumnTopAndStartOneColumnWidthApart) {
  Listing r(60);
  r.report->SetColumns(2);
  // The column bands the change created print nothing and take no room.
  r.report->FindBand(dbColumnHeader)->SetmmHeight(0);
  r.report->FindBand(dbColumnFooter)->SetmmHeight(0);
  const int32_t width = r.report->mmColumnWidth();
  EXPECT_EQ(width, int32_t(r.report->PrinterSetup()->PageDef().mmPrintableWidth() / 2));
  r.Print();
  ASSERT_EQ(r.device.Pages.size(), 2u);
  const TppPage& page = *r.device.Pages[0];
  std::vector<std::pair<int32_t, int32_t>> ids;  // left, top of the details
  for (int i = 0; i < page.DrawCommandCount(); ++i) {
    auto* text = dynamic_cast<TppDrawText*>(page.DrawCommands(i));
    if (text && text->Text == "1") ids.emplace_back(text->Left, text->Top);
    if (text && text->Text == "25") ids.emplace_back(text->Left, text->Top);
  }
  ASSERT_EQ(ids.size(), 2u);
  EXPECT_EQ(ids[1].first - ids[0].first, width);
  EXPECT_EQ(ids[1].second, ids[0].second);
  EXPECT_EQ(Lines(Describe(page)), 2 + 48);
}

// With no data source the pipeline is not active: the error box, then a run
// without data (none at all while SkipWhenNoRecords is set).
TEST(ReportEngine, AnInactivePipelineShowsTheNoDataBoxAndRunsWithoutData) {
  for (bool skip : {true, false}) {
    Listing r(3);
    r.pipeline->SetDataSource(nullptr);
    r.pipeline->SetSkipWhenNoRecords(skip);
    TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
    r.Print();
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Texts()[0], "Could not open DataSet.\nProceeding in NoData mode.");
    EXPECT_EQ(r.device.Pages.size(), skip ? 0u : 1u) << skip;
  }
}

}  // namespace

namespace {

// Two groups on Grp (both break together): 10 mm headers, 5 mm footers.
struct Grouped : Listing {
  explicit Grouped(int rows, int groupSize) : Listing(rows, groupSize) {
    for (int i = 0; i < 2; ++i) {
      groups[i] = AddGroup("Grp", 10 * kMM, 5 * kMM);
      AddText(groups[i]->HeaderBand(), "Grp", 0, 4000);
      AddText(groups[i]->FooterBand(), "", 0, 4000, i == 0 ? "outer" : "inner");
    }
  }
  TppGroup* groups[2];
  // The texts of a page, without positions.
  std::vector<std::string> Texts(int page) const {
    std::vector<std::string> out;
    const TppPage& p = *device.Pages[size_t(page)];
    for (int i = 0; i < p.DrawCommandCount(); ++i)
      if (auto* t = dynamic_cast<TppDrawText*>(p.DrawCommands(i))) out.push_back(t->Text);
    return out;
  }
};

using Texts = std::vector<std::string>;

TEST(ReportGroups, BreakValuesCompareExactly) {
  Listing r(4);
  SetGroups(*r.data, {"a", "A", "a ", "a "});
  TppGroup* group = r.AddGroup("Grp", 10 * kMM, 0);
  r.AddText(group->HeaderBand(), "Grp", 0);
  r.Print();
  ASSERT_EQ(r.device.Pages.size(), 1u);
  const std::string page = Describe(*r.device.Pages[0]);
  EXPECT_EQ(Lines(page), 2 + 3 + 4);  // three runs: "a", "A", "a "
}

TEST(ReportGroups, NewPageStartsEveryRunButTheFirstOnANewPage) {
  Listing r(15, 5);
  TppGroup* group = r.AddGroup("Grp", 10 * kMM, 0);
  group->SetNewPage(true);
  r.AddText(group->HeaderBand(), "Grp", 0);
  r.Print();
  ASSERT_EQ(r.device.Pages.size(), 3u);
  for (int p = 0; p < 3; ++p)
    EXPECT_NE(Describe(*r.device.Pages[size_t(p)]).find("16350:G" + std::to_string(p + 1)),
              std::string::npos);
}

// A group that can be marked as being read from a stored layout.
struct TReadGroup : TppGroup {
  using TppGroup::TppGroup;
  void SetReading(bool on) { on ? TComponent::IncludeState(csReading) : TComponent::ExcludeState(csReading); }
};

// A group's setting changed after a print makes the report again, so that
// the next print follows it; the same setting read from a stored layout
// leaves the report's pages as they are.
TEST(ReportGroups, ASettingChangedAfterAPrintMakesTheReportAgainButNotWhileRead) {
  const struct {
    const char* name;
    std::function<void(TppGroup*)> set;
  } settings[] = {
      {"NewPage", [](TppGroup* g) { g->SetNewPage(true); }},
      {"NewColumn", [](TppGroup* g) { g->SetNewColumn(true); }},
      {"ResetPageNo", [](TppGroup* g) { g->SetResetPageNo(true); }},
      {"ReprintOnSubsequentPage", [](TppGroup* g) { g->SetReprintOnSubsequentPage(false); }},
      {"ReprintOnSubsequentColumn", [](TppGroup* g) { g->SetReprintOnSubsequentColumn(false); }},
      {"NewPageThreshold", [](TppGroup* g) { g->SetmmNewPageThreshold(5 * kMM); }},
      {"NewColumnThreshold", [](TppGroup* g) { g->SetmmNewColumnThreshold(5 * kMM); }},
      {"BreakName", [](TppGroup* g) { g->SetBreakName("Name"); }},
  };
  for (const auto& setting : settings)
    for (bool reading : {false, true}) {
      SCOPED_TRACE(std::string(setting.name) + (reading ? ", read" : ""));
      Listing r(15, 5);
      auto* group = new TReadGroup(&r.form);
      group->SetReport(r.report);
      group->SetBreakName("Grp");
      group->SetDataPipeline(r.pipeline);
      auto* header = new TppGroupHeaderBand(&r.form);
      header->SetmmHeight(10 * kMM);
      header->SetGroup(group);
      r.AddText(header, "Grp", 0);
      r.Print();
      ASSERT_TRUE(r.report->Engine()->Prepared());
      group->SetReading(reading);
      setting.set(group);
      group->SetReading(false);
      EXPECT_EQ(r.report->Engine()->Prepared(), reading);
    }
  // Made again, the report shows the new setting.
  Listing r(15, 5);
  TppGroup* group = r.AddGroup("Grp", 10 * kMM, 0);
  r.AddText(group->HeaderBand(), "Grp", 0);
  r.Print();
  ASSERT_EQ(r.device.Pages.size(), 1u);
  group->SetNewPage(true);
  r.Print();
  EXPECT_EQ(r.device.Pages.size(), 3u);
}

// Runs of 60 records take three pages each; page numbers count per run, on
// regenerated pages too.
TEST(ReportGroups, ResetPageNoCountsPagesWithinEachRun) {
  Listing r(120, 60);
  r.report->SetPassSetting(psTwoPass);
  TppGroup* group = r.AddGroup("Grp", 10 * kMM, 0);
  group->SetNewPage(true);
  group->SetResetPageNo(true);
  r.Print();
  std::vector<std::pair<int, int>> numbers;
  for (const auto& page : r.device.Pages) numbers.emplace_back(page->PageNo, page->PageCount);
  const std::vector<std::pair<int, int>> runs{{1, 3}, {2, 3}, {3, 3}, {1, 3}, {2, 3}, {3, 3}};
  EXPECT_EQ(numbers, runs);
  r.Print(prOnePage, 5);
  ASSERT_EQ(r.device.Pages.size(), 1u);
  EXPECT_EQ(std::pair(r.device.Pages[0]->PageNo, r.device.Pages[0]->PageCount), std::pair(2, 3));
}

TEST(ReportGroups, FootersPrintInnermostFirstAtTheEndBeforeTheSummary) {
  Grouped r(3, 3);
  auto* summary = r.AddBand<TppSummaryBand>(10 * kMM);
  r.AddText(summary, "", 0, 4000, "Sum");
  r.Print();
  ASSERT_EQ(r.device.Pages.size(), 1u);
  EXPECT_EQ(r.Texts(0), (Texts{"Head", "G1", "G1", "1", "2", "3", "inner", "outer", "Sum", "Foot"}));
}

// 22 records of G1 fill page 1 so that the inner footer fits and the outer one
// does not: page 2 starts with the reprinted headers, then the outer footer.
TEST(ReportGroups, APageThatBreaksInTheFootersReprintsTheHeadersFirst) {
  Grouped r(30, 22);
  r.Print();
  ASSERT_EQ(r.device.Pages.size(), 2u);
  const Texts page1 = r.Texts(0);
  EXPECT_EQ(page1[page1.size() - 2], "inner");
  const Texts page2 = r.Texts(1);
  ASSERT_GE(page2.size(), 7u);
  EXPECT_EQ(Texts(page2.begin(), page2.begin() + 7),
            (Texts{"Head", "G1", "G1", "outer", "G2", "G2", "23"}));
}

// Every page generated alone from the state cached at the end of the page
// before equals that page of the first run, command for command.
TEST(ReportGroups, AnyPageRegeneratedAloneEqualsThatPageOfTheFirstRun) {
  for (TppPassSettingType passes : {psOnePass, psTwoPass}) {
    Grouped r(100, 17);
    r.report->SetPassSetting(passes);
    r.Print();
    std::vector<std::string> first = r.Pages();
    ASSERT_GT(first.size(), 3u);
    for (int p = int(first.size()); p >= 1; --p) {
      r.Print(prOnePage, p);
      ASSERT_EQ(r.device.Pages.size(), 1u) << p;
      EXPECT_EQ(Describe(*r.device.Pages[0]), first[size_t(p - 1)]) << "page " << p;
      EXPECT_EQ(r.report->Engine()->PagesGenerated(), 1) << "page " << p;
    }
  }
}

// The texts of a page's columns, left to right, without the page's header and footer.
std::vector<std::vector<std::string>> Columns(const TppPage& page) {
  std::map<int32_t, std::vector<std::string>> byLeft;
  for (int i = 0; i < page.DrawCommandCount(); ++i)
    if (auto* text = dynamic_cast<TppDrawText*>(page.DrawCommands(i));
        text && text->Text != "Head" && text->Text != "Foot")
      byLeft[text->Left].push_back(text->Text);
  std::vector<std::vector<std::string>> columns;
  for (auto& [left, texts] : byLeft) columns.push_back(texts);
  return columns;
}

// The records `from` to `to` as texts, after `before` and followed by `after`.
std::vector<std::string> Records(std::vector<std::string> before, int from, int to,
                             const std::vector<std::string>& after = {}) {
  for (int id = from; id <= to; ++id) before.push_back(std::to_string(id));
  before.insert(before.end(), after.begin(), after.end());
  return before;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Two columns over the two groups: wherever a column ends (within a run's
// records, before the outer footer, before a new run's headers or between
// them, and so at the end of a page), the next goes on under the run's headers
// printed again, every record once and in order, each footer once where its
// run ends; footers that go on keep the next run's break for its headers.
TEST(ReportGroups, ColumnsGoOnUnderTheRunsHeadersWhereverAColumnEnds) {
  using Texts = std::vector<std::string>;
  const Texts g1 = {"G1", "G1"}, g2 = {"G2", "G2"}, ends = {"inner", "outer"};
  struct Case {
    const char* where;
    int rows, runs;
    std::vector<std::vector<Texts>> pages;  // columns of each page
  };
  const Case cases[] = {
      {"within the records", 30, 15,
       {{Records(g1, 1, 15, ends + g2) + Records({}, 16, 19), Records(g2, 20, 30, ends)}}},
      {"before the outer footer", 30, 22,
       {{Records(g1, 1, 22, {"inner"}), Texts{"G1", "G1", "outer"} + Records(g2, 23, 30, ends)}}},
      {"before the new run's headers", 30, 21,
       {{Records(g1, 1, 21, ends), Records(g2, 22, 30, ends)}}},
      {"between the new run's headers", 30, 20,
       {{Records(g1, 1, 20, ends + Texts{"G2"}), Records(g2, 21, 30, ends)}}},
      {"before the outer footer, at a page's end", 60, 44,
       {{Records(g1, 1, 22), Records(g1, 23, 44, {"inner"})},
        {Texts{"G1", "G1", "outer"} + Records(g2, 45, 60, ends)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    Grouped r(c.rows, c.runs);
    r.report->SetColumns(2);
    r.report->FindBand(dbColumnHeader)->SetmmHeight(0);
    r.report->FindBand(dbColumnFooter)->SetmmHeight(0);
    r.Print();
    std::vector<std::vector<Texts>> pages;
    for (const auto& page : r.device.Pages) pages.push_back(Columns(*page));
    EXPECT_EQ(pages, c.pages);
  }
}

// Pages of earlier runs made again after the last page, first to last: each
// starts from its own run's value, not from the one the last page left, so it
// breaks where its run ends and nowhere else (also without a header at the
// top of each page, which would read the value again).
TEST(ReportGroups, AnEarlierRunsPageMadeAgainAfterTheLastBreaksOnlyWhereItsRunEnds) {
  Grouped r(100, 17);
  for (TppGroup* group : r.groups) group->SetReprintOnSubsequentPage(false);
  r.Print();
  const std::vector<std::string> whole = r.Pages();
  ASSERT_GT(whole.size(), 3u);
  for (int p = 1; p <= int(whole.size()); ++p) {
    r.Print(prOnePage, int(whole.size()));  // the last run's value is the group's
    r.Print(prOnePage, p);
    ASSERT_EQ(r.device.Pages.size(), 1u) << p;
    EXPECT_EQ(Describe(*r.device.Pages[0]), whole[size_t(p - 1)]) << "page " << p;
  }
}

}  // namespace

namespace {

// 22 records fill 230 mm of the 246.7 mm body: 16.7 mm are left, less than
// the threshold, so the next run's header goes to the next page.
TEST(ReportGroups, ANewRunsHeaderBelowTheThresholdMovesToTheNextPage) {
  for (int32_t threshold : {0, 20 * kMM}) {
    Listing r(30, 22);
    TppGroup* group = r.AddGroup("Grp", 10 * kMM, 0);
    group->SetmmNewPageThreshold(threshold);
    r.AddText(group->HeaderBand(), "Grp", 0);
    r.Print();
    const std::vector<std::string> pages = r.Joined();
    ASSERT_EQ(pages.size(), 2u);
    const bool moved = pages[0].find("G2") == std::string::npos;
    EXPECT_EQ(moved, threshold > 0) << pages[0];
    EXPECT_EQ(pages[1].rfind("Head G2 23", 0), 0u);  // reprinted or moved there
  }
}

// The inner group's value never changes; it breaks with the outer one.
TEST(ReportGroups, AnOuterBreakForcesEveryInnerGroupToBreak) {
  Listing r(6, 2);
  TppGroup* outer = r.AddGroup("Grp", 5 * kMM, 0);
  r.AddText(outer->HeaderBand(), "Grp", 0);
  TppGroup* inner = r.AddGroup("", 5 * kMM, 0);
  inner->OnGetBreakValue = [](TObject*, std::string& value) { value = "same"; };
  r.AddText(inner->HeaderBand(), "", 0, 4000, "in");
  r.Print();
  EXPECT_EQ(r.Joined(), (std::vector<std::string>{
                            "Head G1 in 1 2 G2 in 3 4 G3 in 5 6 Foot"}));
}

}  // namespace

namespace {

TEST(ReportEngine, APipelineThatFailsToOpenEndsTheRunWithMessage280) {
  Listing r(3);
  r.data->Close();
  r.data->BeforeOpen = [](TDataSet*) { throw EDatabaseError("locked"); };
  // The message's own period and the one the engine appends.
  EXPECT_EQ(PrintError(r), "Could not open DataSet..");
  EXPECT_EQ(r.report->Engine()->ReportPipeline(), nullptr);
  EXPECT_FALSE(r.report->IsGenerating());
}

// The listing the application prints: 1,000 records, a group every 50, two
// passes, letter landscape with quarter-inch margins on a 600-dpi printer.
TEST(ReportEngine, AThousandRecordListingRunsHeadlessOnTheVirtualPrinter) {
  auto device = std::make_unique<TRecordingPrinter>("Virtual 600", 600);
  device->SetPapers({{DMPAPER_LETTER, "Letter", {2159, 2794}}});
  TPrinterDevice* installed = device.get();
  Printer()->AddPrinter(std::move(device));
  ppPrinters()->Refresh();
  {
    ReportRig r(1000, 50);
    TppPrinterSetup* setup = r.report->PrinterSetup();
    setup->SetPrinterName("Virtual 600");
    setup->SetPaperName("Letter");
    setup->SetOrientation(poLandscape);
    EXPECT_EQ(setup->PageDef().mmMarginLeft(), 6350);
    r.report->SetPassSetting(psTwoPass);
    r.AddText(r.AddBand<TppHeaderBand>(10 * kMM), "", 0, 4000, "Listing");
    r.AddText(r.AddBand<TppDetailBand>(5 * kMM), "ID", 0);
    r.AddBand<TppFooterBand>(10 * kMM);
    TppGroup* group = r.AddGroup("Grp", 5 * kMM, 5 * kMM);
    r.AddText(group->HeaderBand(), "Grp", 0);
    r.Print();
    ASSERT_EQ(r.device.Pages.size(), 30u);
    for (size_t i = 0; i < r.device.Pages.size(); ++i) {
      const TppPage& page = *r.device.Pages[i];
      EXPECT_EQ(std::pair(page.PageNo, page.PageCount), std::pair(int(i) + 1, 30));
      EXPECT_GT(page.PageDef().mmWidth(), page.PageDef().mmHeight());
    }
    EXPECT_NE(Describe(*r.device.Pages.back()).find(":1000\n"), std::string::npos);
  }
  Printer()->RemovePrinter(installed);
  ppPrinters()->Refresh();
}

}  // namespace

namespace {

// Items of the rig's masters (MasterID, Item) on a pipeline of their own,
// linked to the masters.
struct MasterItems {
  MasterItems(ReportRig& r, std::initializer_list<std::pair<int, const char*>> rows) {
    items.FieldDefs().Add("MasterID", ftInteger);
    items.FieldDefs().Add("Item", ftString, 10);
    items.Open();
    for (auto [master, item] : rows) items.AppendRecord({Variant(master), Variant(item)});
    items.SetMasterSource(&r.source);
    items.SetMasterFields("ID");
    items.SetDetailFields("MasterID");
    source.SetDataSet(&items);
    pipeline = new TppBDEPipeline(&r.form);
    pipeline->SetDataSource(&source);
  }
  TMemDataSet items;
  TDataSource source;
  TppBDEPipeline* pipeline = nullptr;
};

// The rig's only page as its texts in drawing order.
std::string OnlyPageTexts(ReportRig& r) {
  EXPECT_EQ(r.device.Pages.size(), 1u);
  if (r.device.Pages.empty()) return {};
  std::string texts;
  const TppPage& page = *r.device.Pages[0];
  for (int i = 0; i < page.DrawCommandCount(); ++i)
    texts += static_cast<TppDrawText*>(page.DrawCommands(i))->Text + " ";
  return texts;
}

// The detail band walks its own pipeline for each master record; a master
// without details is passed over (SkipWhenNoRecords).
TEST(ReportEngine, ADetailPipelineRunsForEachMasterAndSkipsEmptyOnes) {
  ReportRig r(4);
  MasterItems items(r, {{1, "a"}, {1, "b"}, {3, "c"}, {4, "d"}, {4, "e"}});
  auto* detail = r.AddBand<TppDetailBand>(10 * kMM);
  detail->SetDataPipeline(items.pipeline);
  r.AddText(detail, "ID", 0);
  TppCustomText* item = r.AddText(detail, "", 0, 4000, "item");
  item->SetDataPipeline(items.pipeline);
  item->SetDataField("Item");
  r.Print();
  EXPECT_EQ(OnlyPageTexts(r), "1 a 1 b 3 c 4 d 4 e ");
  EXPECT_EQ(r.report->Engine()->DetailPipeline(), items.pipeline);
}

// A group on the detail pipeline's master field: each master's header prints
// once, above its first detail, however many details follow it.
TEST(ReportGroups, AGroupOnTheDetailPipelineHeadsEachMasterOnce) {
  ReportRig r(4);
  MasterItems items(r, {{1, "a"}, {1, "b"}, {3, "c"}, {3, "d"}, {3, "e"}, {4, "f"}});
  auto* detail = r.AddBand<TppDetailBand>(10 * kMM);
  detail->SetDataPipeline(items.pipeline);
  TppCustomText* item = r.AddText(detail, "", 0, 4000, "item");
  item->SetDataPipeline(items.pipeline);
  item->SetDataField("Item");
  TppGroup* group = r.AddGroup("MasterID", 10 * kMM, 0);
  group->SetDataPipeline(items.pipeline);
  r.AddText(group->HeaderBand(), "ID", 0);
  r.Print();
  EXPECT_EQ(OnlyPageTexts(r), "1 a b 3 c d e 4 f ");
}

}  // namespace

namespace {

// Cancelled while the one-pass last page is generated the second time, the
// next run starts afresh instead of repeating its first page forever.
TEST(ReportEngine, ARunCancelledDuringTheLastPagesRepeatLeavesNoRepeatBehind) {
  Listing r(30);
  int lastPageStarts = 0;
  r.report->OnStartPage = [&](TObject*) {
    if (r.report->Engine()->AbsolutePageNo() == 2 && ++lastPageStarts == 2)
      r.report->CancelGeneration();
  };
  r.Print();
  EXPECT_EQ(lastPageStarts, 2);
  r.report->OnStartPage = nullptr;
  PumpLimit limit(100000);
  r.Print();
  EXPECT_EQ(r.device.Pages.size(), 2u);
  EXPECT_EQ(r.device.Received, 2);
}

}  // namespace

namespace {

// Column positions are read in the report's Units (inches by default).
TEST(ReportEngine, ColumnPositionsPlaceColumnsOrNameTheColumnThatFails) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"0.25", "4.25"}, ""},
      // The messages end in a period, and the engine appends one.
      {{"0.25"}, "Unable to find position for column 2.."},
      {{"0.25", "abc"}, "Unable to convert position for column 2.."},
  };
  for (const auto& [positions, message] : cases) {
    Listing r(30);
    r.report->SetColumns(2);
    TStringList typed;
    for (const std::string& p : positions) typed.Add(p);
    r.report->SetColumnPositions(&typed);
    EXPECT_EQ(PrintError(r), message);
    if (!message.empty()) continue;
    const TppPage& page = *r.device.Pages[0];
    for (int i = 0; i < page.DrawCommandCount(); ++i) {
      auto* t = dynamic_cast<TppDrawText*>(page.DrawCommands(i));
      if (t && t->Text == "25") {
        EXPECT_EQ(t->Left, 107950);  // 4.25 inches
      }
    }
  }
}

}  // namespace
