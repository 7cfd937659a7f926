// Sub-reports over a master/detail pair: each master record's items printed
// by a child report as a fixed box, as a stretching child that continues
// over pages, or as sections of whole pages with their own numbering; the
// settings that force one another; and pages made again from the cache.

#include "report/components/ppsubrpt.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>

#include "../command_output.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/printers/printers.h"
#include "report/output/ppprndev.h"

#include "report/components/ppdbtext.h"
#include "report/components/ppregion.h"
#include "report/model/reportrig.h"

namespace {

constexpr int32_t kMM = 1000;

// Masters 1..n (ID), each with `items` items "m.i" in a dataset of its own;
// not linked, the items are those of master 1 only.
struct SubRig : ReportRig {
  SubRig(int masters, int items, bool linked = true) : ReportRig(masters) {
    itemData.FieldDefs().Add("MasterID", ftInteger);
    itemData.FieldDefs().Add("Item", ftString, 10);
    itemData.Open();
    for (int m = 1; m <= (linked ? masters : 1); ++m)
      for (int i = 1; i <= items; ++i)
        itemData.AppendRecord({Variant(m), Variant(std::to_string(m) + "." + std::to_string(i))});
    if (linked) {
      itemData.SetMasterSource(&source);
      itemData.SetMasterFields("ID");
      itemData.SetDetailFields("MasterID");
    }
    itemSource.SetDataSet(&itemData);
    items_ = new TppBDEPipeline(&form);
    items_->SetDataSource(&itemSource);
    detail = AddBand<TppDetailBand>(10 * kMM);
    AddText(detail, "ID", 0);
    sub = new TppSubReport(&form);
    sub->SetBand(detail);
    sub->SetmmBounds(0, 5 * kMM, 100 * kMM, 5 * kMM);
    sub->ChildReport()->SetDataPipeline(items_);
    childDetail = new TppDetailBand(&form);
    childDetail->SetmmHeight(kItem);
    childDetail->SetReport(sub->ChildReport());
    TppCustomText* item = AddText(childDetail, "", 0, 4000, "item");
    item->SetDataPipeline(items_);
    item->SetDataField("Item");
  }
  static constexpr int32_t kItem = 10 * kMM;
  TMemDataSet itemData;
  TDataSource itemSource;
  TppBDEPipeline* items_;
  TppDetailBand* detail;
  TppSubReport* sub;
  TppDetailBand* childDetail;
};

// Every item of `masters` x `items` in order, as one text.
std::string AllItems(int masters, int items, bool withMasters) {
  std::string out;
  for (int m = 1; m <= masters; ++m) {
    if (withMasters) out += (out.empty() ? "" : " ") + std::to_string(m);
    for (int i = 1; i <= items; ++i)
      out += (out.empty() ? "" : " ") + std::to_string(m) + "." + std::to_string(i);
  }
  return out;
}

std::string JoinPages(const std::vector<std::string>& pages) {
  std::string out;
  for (const std::string& p : pages) out += (out.empty() || p.empty() ? "" : " ") + p;
  return out;
}

// A fixed box, and a child in a band of static height, print what fits their
// own height and never overflow.
TEST(SubReports, AFixedBoxPrintsWhatFitsAndNeverOverflows) {
  for (TppPrintBehaviorType behavior : {pbFixed, pbChild}) {
    SubRig r(2, 5);
    r.detail->SetmmHeight(20 * kMM);
    r.sub->SetPrintBehavior(behavior);
    r.sub->SetmmHeight(12 * kMM);  // one item and a part of the next fit the box
    r.Print();
    ASSERT_EQ(r.device.Pages.size(), 1u) << behavior;
    EXPECT_EQ(r.Texts()[0], "1 1.1 2 2.1") << behavior;
    // Shifted into the box: the band's top plus the box's top; the next band 20 mm below.
    const TppPage& page = *r.device.Pages[0];
    const int32_t bandTop = page.DrawCommands(0)->Top;
    EXPECT_EQ(page.DrawCommands(1)->Top, bandTop + 5 * kMM) << behavior;
    EXPECT_EQ(page.DrawCommands(2)->Top, bandTop + 20 * kMM) << behavior;
    EXPECT_EQ(r.sub->Stretch(), behavior == pbChild);
  }
}

// The child needs three pages of its rectangle: it continues on three parent
// pages with nothing lost or printed twice, inside each page's margins.
TEST(SubReports, AStretchingChildContinuesOverThreePages) {
  SubRig r(1, 60);
  r.detail->SetPrintHeight(phDynamic);
  r.sub->SetStretch(true);
  r.Print();
  ASSERT_EQ(r.device.Pages.size(), 3u);
  EXPECT_EQ(JoinPages(r.Texts()), AllItems(1, 60, true));
  for (const auto& page : r.device.Pages) {
    const int32_t bottom = page->PageDef().mmHeight() - page->PageDef().mmMarginBottom();
    for (int i = 0; i < page->DrawCommandCount(); ++i)
      EXPECT_LE(page->DrawCommands(i)->Top + page->DrawCommands(i)->Height, bottom);
  }
  // Continued pages start at the page's top (the band's continuation).
  EXPECT_EQ(r.device.Pages[1]->DrawCommands(0)->Top, r.device.Pages[1]->PageDef().mmMarginTop());
}

// Masters below a child that overflows follow it on the page where it ends;
// a child with no room for an item on a page starts on the next (25 items
// leave 11.7 mm at the page's foot: the master's line fits, no item does).
TEST(SubReports, ParentRecordsFollowAChildThatEndedOnALaterPage) {
  const struct {
    int masters, items;
    std::vector<std::string> pageStarts;
  } cases[] = {{3, 20, {"1 1.1", "2.6 2.7", "3.12 3.13"}}, {2, 25, {"1 1.1", "2.1 2.2"}}};
  for (const auto& c : cases) {
    SubRig r(c.masters, c.items);
    r.detail->SetPrintHeight(phDynamic);
    r.Print();
    EXPECT_EQ(JoinPages(r.Texts()), AllItems(c.masters, c.items, true)) << c.items;
    ASSERT_EQ(r.device.Pages.size(), c.pageStarts.size()) << c.items;
    for (size_t p = 0; p < c.pageStarts.size(); ++p)
      EXPECT_EQ(r.Texts()[p].substr(0, c.pageStarts[p].size()), c.pageStarts[p]) << c.items;
  }
}

// A revisited page (CachePages off) is made again from the state cached
// before it, the child's run included, in one and in two passes.
TEST(SubReports, ARevisitedPageIsTheSameAsInTheWholeRun) {
  const struct {
    TppPrintBehaviorType behavior;
    TppPassSettingType passes;
    size_t pages;
  } cases[] = {{pbChild, psOnePass, 5}, {pbChild, psTwoPass, 5}, {pbSection, psOnePass, 9},
               {pbSection, psTwoPass, 9}};
  for (const auto& c : cases) {
    SubRig r(3, 40);
    r.detail->SetPrintHeight(phDynamic);
    r.sub->SetPrintBehavior(c.behavior);
    r.report->SetPassSetting(c.passes);
    r.Print();
    const std::vector<std::string> whole = r.Pages();
    ASSERT_EQ(whole.size(), c.pages) << c.behavior;
    for (int page : {3, 2, int(c.pages), 1}) {
      r.Print(prOnePage, page);
      ASSERT_EQ(r.Pages().size(), 1u) << page;
      EXPECT_EQ(r.Pages()[0], whole[size_t(page - 1)])
          << "page " << page << " behaviour " << c.behavior << " passes " << c.passes;
    }
  }
}

// The summary holds a section of the child's own pages after four pages of
// masters, numbered from 1 or not.
void MakeSummarySection(SubRig& r, bool resetPageNo) {
  r.detail->SetmmHeight(10 * kMM);
  r.sub->SetBand(r.AddBand<TppSummaryBand>(20 * kMM));
  r.sub->SetPrintBehavior(pbSection);
  r.sub->SetResetPageNo(resetPageNo);
}

// Sections: the summary starts a section of the child's own pages after four
// pages of masters; with ResetPageNo its pages count from 1.
TEST(SubReports, ASectionsPagesAreWholePagesNumberedByResetPageNo) {
  for (bool reset : {true, false}) {
    SubRig r(100, 30, false);
    MakeSummarySection(r, reset);
    r.Print();
    const auto texts = r.Texts();
    ASSERT_EQ(texts.size(), 6u) << reset;  // 4 pages of masters, 2 of the section
    EXPECT_EQ(texts[4].substr(0, 7), "1.1 1.2");
    EXPECT_EQ(JoinPages({texts[4], texts[5]}), AllItems(1, 30, false));
    EXPECT_EQ(r.device.Pages[3]->PageNo, 4);  // the page that announces it is the parent's
    const TppPage& first = *r.device.Pages[4];
    EXPECT_EQ(first.AbsolutePageNo, 5);
    EXPECT_EQ(first.PageNo, reset ? 1 : 5);
    EXPECT_EQ(r.device.Pages[5]->PageNo, reset ? 2 : 6);
    // The child's page is the job's page: its margins, not the box's.
    EXPECT_EQ(first.DrawCommands(0)->Top, first.PageDef().mmMarginTop());
  }
}

// "Page n" in a section's own footer: without ResetPageNo it continues the
// parent's numbers, with it it counts from the section's first page.
TEST(SubReports, ASectionsPageCalcsFollowResetPageNo) {
  for (bool reset : {true, false}) {
    SubRig r(100, 30, false);
    MakeSummarySection(r, reset);
    auto* footer = new TppFooterBand(&r.form);
    footer->SetmmHeight(10 * kMM);
    footer->SetReport(r.sub->ChildReport());
    for (TppCalcType type : {ctPageNoDesc, ctPageNo}) {
      auto* calc = new TppCalc(&r.form);
      calc->SetBand(footer);
      calc->SetCalcType(type);
      calc->SetmmBounds(type == ctPageNoDesc ? 0 : 60 * kMM, 0, 50 * kMM, 4 * kMM);
    }
    r.Print();
    const size_t pages = r.device.Pages.size();
    ASSERT_GT(pages, 5u);
    for (size_t p = 4; p < pages; ++p) {
      const TppPage& page = *r.device.Pages[p];
      std::string calcs;
      for (int i = 0; i < page.DrawCommandCount(); ++i)
        if (auto* calc = dynamic_cast<TppDrawCalc*>(page.DrawCommands(i))) calcs += calc->Text + "|";
      const int no = reset ? int(p) - 3 : int(p) + 1;
      EXPECT_EQ(calcs, "Page " + std::to_string(no) + "|" + std::to_string(no) + "|")
          << "reset " << reset << " page " << p + 1;
    }
  }
}

// A section in the detail band: each master's section starts on a new page
// and the parent resumes on the page after it.
TEST(SubReports, EachMastersSectionHasPagesOfItsOwn) {
  SubRig r(3, 3);
  r.sub->SetPrintBehavior(pbSection);
  r.Print();
  EXPECT_EQ(r.Texts(), (std::vector<std::string>{"1", "1.1 1.2 1.3", "2", "2.1 2.2 2.3", "3",
                                                 "3.1 3.2 3.3"}));
  EXPECT_FALSE(r.report->Engine()->EngineState() & (esChild64 | esChild128 | esChild256));
}

TEST(SubReports, SettingsForceOneAnother) {
  struct Case {
    const char* name;
    void (*act)(TppSubReport&);
    TppPrintBehaviorType behavior;
    bool newPrintJob, resetPageNo, parentWidth;
    uint16_t childBands;
  };
  using Sub = TppSubReport&;
  const Case cases[] = {
      {"NewPrintJob on a child makes a section", [](Sub s) { s.SetNewPrintJob(true); },
       pbSection, true, true, true, TppSubReport::kPageBands},
      {"ResetPageNo on a fixed box does nothing",
       [](Sub s) { s.SetPrintBehavior(pbFixed); s.SetResetPageNo(true); },
       pbFixed, false, false, true, TppSubReport::kPageBands},
      {"leaving section clears its settings",
       [](Sub s) { s.SetNewPrintJob(true); s.SetPrintBehavior(pbChild); },
       pbChild, false, false, true, TppSubReport::kRegionBands},
      {"a section keeps its parent width",
       [](Sub s) { s.SetPrintBehavior(pbSection); s.SetParentWidth(false); },
       pbSection, false, true, true, TppSubReport::kPageBands},
      {"a fixed box may leave its parent width",
       [](Sub s) { s.SetPrintBehavior(pbFixed); s.SetParentWidth(false); },
       pbFixed, false, false, false, TppSubReport::kPageBands},
  };
  for (const Case& c : cases) {
    SubRig r(1, 1);
    c.act(*r.sub);
    EXPECT_EQ(r.sub->PrintBehavior(), c.behavior) << c.name;
    EXPECT_EQ(r.sub->NewPrintJob(), c.newPrintJob) << c.name;
    EXPECT_EQ(r.sub->ResetPageNo(), c.resetPageNo) << c.name;
    EXPECT_EQ(r.sub->ParentWidth(), c.parentWidth) << c.name;
    EXPECT_EQ(r.sub->ChildReport()->DefaultBands(), c.childBands) << c.name;
  }
}

TEST(SubReports, ARegionHoldsOnlyAFixedBoxAndASectionShiftsWithNothing) {
  SubRig r(1, 1);
  auto* region = new TppRegion(&r.form);
  region->SetBand(r.detail);
  r.sub->SetRegion(region);
  EXPECT_EQ(r.sub->PrintBehavior(), pbFixed);
  r.sub->SetPrintBehavior(pbSection);
  EXPECT_EQ(r.sub->PrintBehavior(), pbFixed);
  SubRig s(1, 1);
  auto* master = new TppSubReport(&s.form);
  master->SetBand(s.detail);
  s.sub->SetShiftRelativeTo(master);
  s.sub->SetPrintBehavior(pbSection);
  EXPECT_EQ(s.sub->ShiftRelativeTo(), nullptr);
}

// The child layout is written inside its sub-report and read back into it.
TEST(SubReports, TheChildLayoutStreamsInsideTheSubReport) {
  SubRig r(1, 1);
  r.sub->SetName("SubReport1");
  r.sub->ChildReport()->SetName("Child1");
  r.childDetail->SetName("ChildDetail1");
  r.sub->SetPrintBehavior(pbSection);
  r.sub->SetResetPageNo(false);
  const std::string stored = WriteComponentToText(&r.form);
  for (const char* key : {"object SubReport1: TppSubReport", "PrintBehavior = pbSection",
                          "ResetPageNo = False", "object Child1: TppChildReport",
                          "object ChildDetail1: TppDetailBand"})
    EXPECT_NE(stored.find(key), std::string::npos) << key;
  EXPECT_LT(stored.find("object SubReport1"), stored.find("object Child1"));

  std::unique_ptr<TComponent> read(ReadComponentFromText(stored, nullptr));
  auto* sub = dynamic_cast<TppSubReport*>(read->FindComponent("SubReport1"));
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->ChildReport()->Name(), "Child1");
  EXPECT_EQ(sub->ChildReport()->Parent(), sub);
  ASSERT_EQ(sub->ChildReport()->BandCount(), 1);
  EXPECT_EQ(sub->ChildReport()->Bands(0)->Name(), "ChildDetail1");
  EXPECT_EQ(stored, WriteComponentToText(read.get()));
}

}  // namespace

// A change of the parent's setup reaches a sub-report that follows it; a
// setup of the child's own stops the following, and survives a run.
TEST(SubReport, APrinterSetupChangeReachesFollowersAndAnOwnSetupStaysOwn) {
  SubRig r(3, 2);
  TppChildReport* child = r.sub->ChildReport();
  ASSERT_TRUE(r.sub->ParentPrinterSetup());
  r.report->PrinterSetup()->SetOrientation(poLandscape);
  EXPECT_EQ(child->PrinterSetup()->Orientation(), poLandscape);
  r.report->PrinterSetup()->SetCopies(2);
  EXPECT_EQ(child->PrinterSetup()->Copies(), 2);
  EXPECT_TRUE(r.sub->ParentPrinterSetup());
  // The child's own paper: no longer the parent's.
  child->PrinterSetup()->SetOrientation(poPortrait);
  EXPECT_FALSE(r.sub->ParentPrinterSetup());
  r.report->PrinterSetup()->SetCopies(3);
  EXPECT_EQ(child->PrinterSetup()->Copies(), 2);
  r.Print();
  EXPECT_EQ(child->PrinterSetup()->Orientation(), poPortrait);
  // Following again takes the parent's setup at once.
  r.sub->SetParentPrinterSetup(true);
  EXPECT_TRUE(*child->PrinterSetup() == *r.report->PrinterSetup());
}

// ---- a section printed as a job of its own ----

namespace {

// Both jobs print to the PDF printer, each to a file named by its title.
std::filesystem::path& JobFolder() {
  static std::filesystem::path folder;
  return folder;
}
std::string JobFile(const std::string& title) { return (JobFolder() / (title + ".pdf")).string(); }

// The summary's section (items 1.1 to 1.30 on two pages) after four pages of
// masters, as a job of its own titled "Items" beside the main "Masters".
struct OwnJobRig : SubRig {
  OwnJobRig() : SubRig(100, 30, false) {
    JobFolder() = std::filesystem::temp_directory_path() /
                  ("vantrel-section-job-" + std::to_string(::getpid()));
    std::filesystem::create_directories(JobFolder());
    previousAsk = AskPrintFileName;
    AskPrintFileName = JobFile;
    sub->SetBand(AddBand<TppSummaryBand>(20 * kMM));
    sub->SetNewPrintJob(true);
    sub->SetParentPrinterSetup(false);
    sub->ChildReport()->PrinterSetup()->SetPrinterName("PDF");
    sub->ChildReport()->PrinterSetup()->SetDocumentName("Items");
    report->PrinterSetup()->SetPrinterName("PDF");
    report->PrinterSetup()->SetDocumentName("Masters");
    report->SetDevice(dvPrinter);
    report->SetShowCancelDialog(false);
    report->SetShowPrintDialog(false);
  }
  ~OwnJobRig() {
    AskPrintFileName = previousAsk;
    std::filesystem::remove_all(JobFolder());
  }
  static int PageCount(const std::string& title) {
    const std::string info = CommandOutput("pdfinfo '" + JobFile(title) + "' 2>/dev/null");
    const size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
  }
  std::string (*previousAsk)(const std::string&) = nullptr;
};

}  // namespace

TEST(SubReportJobs, PrintedTheSectionIsADocumentOfItsOwnAndPreviewedItStaysInline) {
  OwnJobRig r;
  r.report->Print();
  // The main job (and every device beside it) carries the parent's pages only.
  ASSERT_EQ(r.Texts().size(), 4u);
  EXPECT_EQ(JoinPages(r.Texts()).find('.'), std::string::npos);  // no item
  EXPECT_EQ(r.PageCount("Masters"), 4);
  EXPECT_EQ(r.PageCount("Items"), 2);
  EXPECT_EQ(r.sub->JobDevice(), nullptr);
  // Asked for as a screen asks, the section's pages stay in line.
  std::filesystem::remove(JobFile("Items"));
  r.device.Pages.clear();
  r.Print();
  ASSERT_EQ(r.Texts().size(), 6u);
  EXPECT_EQ(JoinPages({r.Texts()[4], r.Texts()[5]}), AllItems(1, 30, false));
  EXPECT_FALSE(std::filesystem::exists(JobFile("Items")));
}

// Collated copies of the section's own job: the whole section again in the
// same document for each copy; without collation the driver makes them.
TEST(SubReportJobs, CollatedCopiesRepeatTheSectionInItsOwnDocument) {
  for (bool collated : {true, false}) {
    OwnJobRig r;
    TppPrinterSetup* setup = r.sub->ChildReport()->PrinterSetup();
    setup->SetCopies(3);
    setup->SetCollation(collated);
    r.report->Print();
    EXPECT_EQ(r.PageCount("Masters"), 4) << collated;
    EXPECT_EQ(r.PageCount("Items"), collated ? 6 : 2) << collated;
    EXPECT_EQ(r.sub->JobDevice(), nullptr);
    const std::string text = CommandOutput("pdftotext '" + JobFile("Items") + "' - 2>/dev/null");
    size_t firsts = 0;
    for (size_t at = text.find("1.1\n"); at != std::string::npos; at = text.find("1.1\n", at + 1))
      ++firsts;
    EXPECT_EQ(firsts, collated ? 3u : 1u) << text;
  }
}

// A section with a job of its own inside another sub-report's section still
// prints as its own document; the outer section stays in the report's job.
TEST(SubReportJobs, ASectionInsideAnotherSubReportGetsItsOwnJobToo) {
  OwnJobRig r;
  auto* outer = new TppSubReport(&r.form);
  outer->SetBand(r.sub->Band());
  outer->SetmmBounds(0, 0, 100 * kMM, 5 * kMM);
  outer->SetPrintBehavior(pbSection);
  auto* title = new TppTitleBand(&r.form);
  title->SetmmHeight(10 * kMM);
  title->SetReport(outer->ChildReport());
  r.AddText(title, "", 0, 4000, "Outer");
  auto* summary = new TppSummaryBand(&r.form);
  summary->SetmmHeight(20 * kMM);
  summary->SetReport(outer->ChildReport());
  r.sub->SetBand(summary);
  r.sub->SetmmBounds(0, 0, 100 * kMM, 5 * kMM);
  ASSERT_TRUE(r.sub->NewPrintJob());
  r.report->Print();
  const std::string masters = CommandOutput("pdftotext '" + JobFile("Masters") + "' - 2>/dev/null");
  const std::string items = CommandOutput("pdftotext '" + JobFile("Items") + "' - 2>/dev/null");
  EXPECT_NE(masters.find("Outer"), std::string::npos) << masters;
  EXPECT_EQ(masters.find("1.1"), std::string::npos) << masters;
  EXPECT_EQ(r.PageCount("Items"), 2) << items;
  for (const char* item : {"1.1\n", "1.15\n", "1.30\n"})
    EXPECT_NE(items.find(item), std::string::npos) << item << items;
  EXPECT_EQ(r.sub->JobDevice(), nullptr);
  EXPECT_FALSE(r.report->OnDivertPage || r.report->OnRequestOver);
}

TEST(SubReportJobs, ACancelledRunLeavesNoJobOpen) {
  OwnJobRig r;
  bool openWhenCancelled = false;
  r.report->OnEndPage = [&](TObject*) {
    if (r.report->Engine()->AbsolutePageNo() != 6) return;
    openWhenCancelled = r.sub->JobDevice() && r.sub->JobDevice()->Busy();
    r.report->CancelGeneration();
  };
  r.report->Print();
  EXPECT_TRUE(openWhenCancelled);
  EXPECT_EQ(r.sub->JobDevice(), nullptr);
  EXPECT_FALSE(r.report->OnDivertPage || r.report->OnRequestOver);
  EXPECT_FALSE(Printer()->Printing());
}
