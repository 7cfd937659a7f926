// Memos in generated reports: continuing over pages without losing or
// repeating a line, the own height when not stretching, a page with no room
// for a line, the data memo's sources, and the run that can never fit; each
// record's memo read once and printed as its own, pages made again alone.

#include "report/components/ppmemo.h"

#include <gtest/gtest.h>

#include "platform/classlib/core/english_settings.h"
#include "platform/classlib/db/memdataset.h"
#include "stretchrig.h"

namespace {

constexpr int32_t kMM = StretchRig::kMM;

std::string Numbered(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) text += "Line " + std::to_string(i) + "\n";
  return text;
}

// One memo of numbered lines below a header of 260 mm that shows where asked.
struct MemoRig : StretchRig {
  explicit MemoRig(int lines, int points = 10) : StretchRig(260 * kMM) {
    memo = new TppMemo(&form);
    memo->SetBand(detail);
    memo->SetmmBounds(0, 0, 100 * kMM, 10 * kMM);
    memo->Font()->SetSize(points);
    memo->SetStretch(true);
    TStringList text;
    text.SetText(Numbered(lines));
    memo->SetLines(&text);
  }
  // The memo's lines page by page, and its commands' heights.
  std::vector<std::vector<std::string>> Pages() {
    std::vector<std::vector<std::string>> out;
    heights.clear();
    for (const auto& page : Commands<TppDrawText>()) {
      out.emplace_back();
      for (TppDrawText* t : page) {
        for (int l = 0; l < t->WrappedText.Count(); ++l) out.back().push_back(t->WrappedText[l]);
        heights.push_back(t->Height);
      }
    }
    return out;
  }
  TppMemo* memo;
  std::vector<int32_t> heights;
};

std::vector<std::string> Joined(const std::vector<std::vector<std::string>>& pages) {
  std::vector<std::string> all;
  for (const auto& p : pages) all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::vector<std::string> Expected(int from, int to) {
  std::vector<std::string> lines;
  for (int i = from; i <= to; ++i) lines.push_back("Line " + std::to_string(i));
  return lines;
}

TEST(Memos, TwoAndAHalfPagesContinueWhereEachPageStopped) {
  const int perPage = int(MemoRig(500).Pages()[0].size());
  ASSERT_GT(perPage, 10);
  const int total = 2 * perPage + perPage / 2;
  MemoRig rig(total);
  const auto pages = rig.Pages();
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(Joined(pages), Expected(1, total));
  ASSERT_EQ(rig.heights.size(), 3u);
  // The last page reports only its own lines' height.
  EXPECT_EQ(int64_t{rig.heights[2]} * perPage, int64_t{rig.heights[0]} * (perPage / 2));
}

TEST(Memos, WithoutStretchingTheMemoKeepsItsOwnHeight) {
  for (bool stretch : {false, true}) {
    MemoRig rig(40);
    rig.memo->SetStretch(stretch);
    if (stretch) rig.detail->SetPrintHeight(phStatic);  // a static band never stretches it
    const auto pages = rig.Pages();
    ASSERT_EQ(pages.size(), 1u) << stretch;
    EXPECT_EQ(rig.heights, std::vector<int32_t>{10 * kMM}) << stretch;
    EXPECT_EQ(pages[0].front(), "Line 1");
  }
}

TEST(Memos, APageWithoutRoomForALineLeavesTheTextForTheNext) {
  // Large lines; the header leaves less than one line of room where it shows.
  MemoRig probe(200, 72);
  const int perPage = int(probe.Pages()[0].size());
  ASSERT_GE(perPage, 3);
  const int total = perPage + 2;
  // The header on page 1 (the memo not started) or on page 2 (continued).
  for (bool firstPage : {true, false}) {
    MemoRig rig(total, 72);
    rig.headerOn = [firstPage](int page) { return page == (firstPage ? 1 : 2); };
    const auto pages = rig.Pages();
    ASSERT_EQ(pages.size(), 3u) << firstPage;
    EXPECT_TRUE(pages[firstPage ? 0 : 1].empty()) << firstPage;
    // Every line once: a continued memo resumes where it stopped, never at the start.
    EXPECT_EQ(Joined(pages), Expected(1, total)) << firstPage;
  }
}

TEST(Memos, AMemoThatFitsNoPageEndsTheRunWithTheBandError) {
  MemoRig rig(3, 1500);
  EXPECT_EQ(MessageOf<EPrintError>([&] { rig.Print(); }), "Band height cannot exceed page height.");
}

TEST(Memos, ADataMemoPrintsItsFieldOrWhatOnGetMemoGives) {
  StretchRig rig(10 * kMM, 2);
  auto* memo = new TppDBMemo(&rig.form);
  memo->SetBand(rig.detail);
  memo->SetmmBounds(0, 0, 100 * kMM, 10 * kMM);
  memo->SetDataPipeline(rig.pipeline);
  memo->SetDataField("Name");
  auto printed = [&] {
    std::vector<std::string> out;
    const auto pages = rig.Commands<TppDrawText>();
    for (auto* t : pages.at(0)) out.push_back(t->WrappedText.Text());
    rig.report->Reset();
    return out;
  };
  EXPECT_EQ(printed(), (std::vector<std::string>{"N1\r\n", "N2\r\n"}));
  memo->OnGetMemo = [](TObject*, TStrings* lines) { lines->Add("from the handler"); };
  EXPECT_EQ(printed(), (std::vector<std::string>(2, "from the handler\r\n")));
  memo->OnGetMemo = nullptr;
  memo->SetAutoDisplay(false);
  EXPECT_EQ(printed(), (std::vector<std::string>(2, "")));
}

// `count` lines "<tag><n> caf\u00e9": a character of two bytes in each, so
// that characters and bytes part ways.
std::vector<std::string> Accented(const std::string& tag, int count) {
  std::vector<std::string> lines;
  for (int i = 1; i <= count; ++i) lines.push_back(tag + std::to_string(i) + " caf\xC3\xA9");
  return lines;
}

std::string TextOf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// Memos over the memo fields of records of their own, read through a
// pipeline that counts its reads; pages are made again from their state
// alone (no page is kept drawn).
struct MemoData : StretchRig {
  explicit MemoData(const std::vector<std::vector<std::string>>& records) : StretchRig(10 * kMM) {
    for (const char* field : {"First", "Second"}) memoData.FieldDefs().Add(field, ftMemo);
    memoData.Open();
    for (const auto& record : records) memoData.AppendRecord({Variant(record.at(0)), Variant(record.at(1))});
    memoData.First();
    memoSource.SetDataSet(&memoData);
    counting = new TCountingPipeline(&form);
    counting->SetDataSource(&memoSource);
    report->SetDataPipeline(counting);
    report->SetCachePages(false);
  }
  ~MemoData() {
    report->SetDataPipeline(nullptr);
    counting->SetDataSource(nullptr);
  }
  template <class M>
  M* AddMemo() {
    auto* memo = new M(&form);
    memo->SetBand(detail);
    memo->SetmmBounds(0, 0, 100 * kMM, 10 * kMM);
    memo->SetStretch(true);
    return memo;
  }
  TppDBMemo* DataMemo(const std::string& field) {
    auto* memo = AddMemo<TppDBMemo>();
    memo->SetDataPipeline(counting);
    memo->SetDataField(field);
    return memo;
  }
  // The lines each page's memos print, in the order they stand.
  std::vector<std::vector<std::string>> PrintedLines(TppPageRequestType kind = prAll, int pageNo = 1) {
    Print(kind, pageNo);
    std::vector<std::vector<std::string>> out;
    for (const auto& page : device.Pages) {
      out.emplace_back();
      for (int i = 0; i < page->DrawCommandCount(); ++i)
        if (auto* t = dynamic_cast<TppDrawText*>(page->DrawCommands(i)))
          for (int l = 0; l < t->WrappedText.Count(); ++l) out.back().push_back(t->WrappedText[l]);
    }
    return out;
  }
  TMemDataSet memoData;
  TDataSource memoSource;
  TCountingPipeline* counting;
};

// A long memo is read once for its record whatever the number of pages it
// takes, from its field or through OnGetMemo. A page made again alone prints
// as it did: read again while the memo holds another record's text, and
// going on from the saved place without reading it again while it holds its
// own record's.
TEST(Memos, ARecordsMemoIsReadOnceAndAPageMadeAgainAlonePrintsAsItDid) {
  for (const bool handler : {false, true}) {
    SCOPED_TRACE(handler ? "OnGetMemo" : "field");
    std::vector<int> reads;
    for (int lines : {250, 750}) {
      SCOPED_TRACE(lines);
      const auto longMemo = Accented("a", lines);
      MemoData rig({{TextOf(longMemo), ""}, {"", ""}});
      TppDBMemo* memo = rig.DataMemo("First");
      if (handler)
        memo->OnGetMemo = [&rig](TObject*, TStrings* text) { text->SetText(rig.counting->GetFieldAsString("First")); };
      rig.counting->reads.clear();
      const auto pages = rig.PrintedLines();
      ASSERT_GE(pages.size(), 3u);
      reads.push_back(rig.counting->reads["First"]);
      EXPECT_EQ(Joined(pages), longMemo);
      for (const int read : {1, 0}) {
        rig.counting->reads.clear();
        const auto alone = rig.PrintedLines(prOnePage, 2);
        EXPECT_EQ(rig.report->Engine()->PagesGenerated(), 1);
        EXPECT_EQ(rig.counting->reads["First"], read);
        ASSERT_EQ(alone.size(), 1u);
        EXPECT_EQ(alone[0], pages[1]);
      }
    }
    EXPECT_EQ(reads[0], reads[1]) << "three times the pages, as many reads";
  }
}

// Records that share pages with a long memo print their own: a data memo
// and, shifted below it, a memo whose lines the band's BeforePrint gives
// from the record, long, short or empty in turn, so that records start on
// the page where a long one ends, below it or with nothing of theirs placed
// yet. Every line prints once, in order; each page made again alone prints
// as it did.
TEST(Memos, EveryRecordPrintsItsOwnMemosWhereAnotherRecordsMemoEnds) {
  constexpr int kRecords = 8;
  const auto firstOf = [](int r) { return r % 2 ? Accented("r" + std::to_string(r) + "-", 40 + 35 * r) : Accented("first of " + std::to_string(r) + "-", 1); };
  const auto secondOf = [](int r) {
    if (r % 3 == 1) return std::vector<std::string>{};
    return Accented("second of " + std::to_string(r) + "-", r % 4 == 2 ? 90 : 2);
  };
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> expected;
  for (int r = 0; r < kRecords; ++r) {
    records.push_back({TextOf(firstOf(r)), TextOf(secondOf(r))});
    for (const auto& lines : {firstOf(r), secondOf(r)}) expected.insert(expected.end(), lines.begin(), lines.end());
  }
  MemoData rig(records);
  TppDBMemo* first = rig.DataMemo("First");
  auto* second = rig.AddMemo<TppMemo>();
  second->SetShiftRelativeTo(first);
  rig.detail->BeforePrint = [&](TObject*) { second->Lines()->SetText(rig.counting->GetFieldAsString("Second")); };
  const auto pages = rig.PrintedLines();
  ASSERT_GE(pages.size(), 6u);
  EXPECT_EQ(Joined(pages), expected);
  for (int page = 1; page <= int(pages.size()); ++page) {
    const auto alone = rig.PrintedLines(prOnePage, page);
    ASSERT_EQ(alone.size(), 1u) << "page " << page;
    EXPECT_EQ(alone[0], pages[size_t(page - 1)]) << "page " << page;
  }
}

TEST(Memos, LinesLeadingAndTabStopsStreamAndOldLeadingIsRead) {
  MemoRig rig(2);
  rig.memo->SetName("Memo1");
  rig.memo->SetmmLeading(1500);
  TStringList stops;
  stops.Add("1");  // inches
  rig.memo->SetTabStopPositions(&stops);
  const std::string text = WriteComponentToText(&rig.form);
  EXPECT_NE(text.find("mmLeading = 1500"), std::string::npos);
  EXPECT_NE(text.find("'25400'"), std::string::npos);  // stored as thousandths
  std::unique_ptr<TComponent> form(ReadComponentFromText(text, nullptr));
  auto* memo = dynamic_cast<TppMemo*>(form->FindComponent("Memo1"));
  ASSERT_NE(memo, nullptr);
  EXPECT_EQ(memo->Lines()->Text(), "Line 1\r\nLine 2\r\n");
  EXPECT_EQ(memo->mmLeading(), 1500);
  EXPECT_EQ(memo->TabStopPositions()->Text(), "1\r\n");
}

}  // namespace
