// Memos in generated reports: continuing over pages without losing or
// repeating a line, the own height when not stretching, a page with no room
// for a line, the data memo's sources, and the run that can never fit.

#include "report/components/ppmemo.h"

#include <gtest/gtest.h>

#include "platform/classlib/core/english_settings.h"
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
