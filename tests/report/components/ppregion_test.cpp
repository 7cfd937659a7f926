// Regions in generated reports: growing with a stretching child, chains of
// regions shifted relative to each other, continuing over pages, children
// that go with their region, and the layout stream.

#include "report/components/ppregion.h"

#include <gtest/gtest.h>

#include "report/components/ppmemo.h"
#include "report/model/pptext.h"
#include "stretchrig.h"

namespace {

constexpr int32_t kMM = StretchRig::kMM;

struct RegionRig : StretchRig {
  explicit RegionRig(int32_t headerHeight = 10 * kMM) : StretchRig(headerHeight) {}
  // A region at `top`, 10 mm high, holding a stretching memo of `lines` lines.
  TppRegion* Add(int32_t top, int lines, bool stretch = true) {
    auto* region = new TppRegion(&form);
    region->SetName("Region" + std::to_string(++count));
    region->SetBand(detail);
    region->SetmmBounds(0, top, 150 * kMM, 10 * kMM);
    region->SetStretch(stretch);
    auto* memo = new TppMemo(&form);
    memo->SetName("Memo" + std::to_string(count));
    memo->SetRegion(region);
    memo->SetmmBounds(5 * kMM, top, 100 * kMM, 5 * kMM);
    memo->SetStretch(true);
    std::string text;
    for (int i = 1; i <= lines; ++i) text += "R" + std::to_string(count) + " line " + std::to_string(i) + "\n";
    TStringList list;
    list.SetText(text);
    memo->SetLines(&list);
    memos.push_back(memo);
    return region;
  }
  // "top+height" of the region boxes on each page.
  std::vector<std::string> Boxes() {
    std::vector<std::string> out;
    for (const auto& page : Commands<TppDrawShape>()) {
      out.emplace_back();
      for (TppDrawShape* s : page) out.back() += std::to_string(s->Top) + "+" + std::to_string(s->Height) + " ";
    }
    return out;
  }
  int count = 0;
  std::vector<TppMemo*> memos;
};

// The memo's own height for `lines` lines, measured alone.
int32_t MemoHeight(int lines) {
  RegionRig rig;
  rig.Add(0, lines);
  const auto texts = rig.Commands<TppDrawText>();
  return texts.at(0).at(0)->Height;
}

TEST(Regions, AStretchingRegionGrowsToItsMemoAndAFixedOneKeepsItsHeight) {
  const int32_t top = 6350;  // the margin
  for (bool stretch : {true, false}) {
    RegionRig rig;
    rig.Add(0, 8, stretch);
    const int32_t expected = stretch ? MemoHeight(8) : 10 * kMM;
    EXPECT_EQ(rig.Boxes(), std::vector<std::string>{std::to_string(top) + "+" +
                                                     std::to_string(expected) + " "})
        << stretch;
  }
}

TEST(Regions, AChainPushesEachRegionBelowTheOneAboveAndSkipsHiddenOnes) {
  RegionRig rig;
  TppRegion* a = rig.Add(0, 3);
  TppRegion* b = rig.Add(12 * kMM, 6);
  TppRegion* c = rig.Add(24 * kMM, 2);
  b->SetShiftRelativeTo(a);
  c->SetShiftRelativeTo(b);
  const int32_t top = 6350, h3 = MemoHeight(3), h6 = MemoHeight(6), h2 = MemoHeight(2);
  auto box = [](int32_t t, int32_t h) { return std::to_string(t) + "+" + std::to_string(h) + " "; };
  EXPECT_EQ(rig.Boxes(),
            std::vector<std::string>{box(top, h3) + box(top + h3, h6) + box(top + h3 + h6, h2)});
  // Hidden in BeforePrint, as the application hides empty ones.
  rig.detail->BeforePrint = [b](TObject*) { b->SetVisible(false); };
  rig.report->Reset();
  EXPECT_EQ(rig.Boxes(), std::vector<std::string>{box(top, h3) + box(top + h3, h2)});
  // The memos print inside their regions; the hidden one's not at all.
  std::vector<std::string> memos;
  const auto texts = rig.Commands<TppDrawText>();
  for (TppDrawText* t : texts.at(0))
    memos.push_back(t->WrappedText[0] + "@" + std::to_string(t->Top));
  std::sort(memos.begin(), memos.end());
  EXPECT_EQ(memos, (std::vector<std::string>{"R1 line 1@" + std::to_string(top),
                                             "R3 line 1@" + std::to_string(top + h3)}));
}

TEST(Regions, ARegionContinuesItsMemoOnTheNextPage) {
  RegionRig rig;
  rig.Add(0, 120);
  const auto texts = rig.Commands<TppDrawText>();
  ASSERT_GE(texts.size(), 2u);
  std::vector<std::string> lines;
  for (const auto& page : texts)
    for (TppDrawText* t : page)
      for (int i = 0; i < t->WrappedText.Count(); ++i) lines.push_back(t->WrappedText[i]);
  ASSERT_EQ(lines.size(), 120u);
  for (int i = 0; i < 120; ++i) EXPECT_EQ(lines[size_t(i)], "R1 line " + std::to_string(i + 1));
  const size_t pageCount = texts.size();
  const int32_t memoTop = texts[1][0]->Top;  // the next run frees these pages
  const auto boxes = rig.Boxes();
  ASSERT_EQ(boxes.size(), pageCount);
  for (const auto& page : boxes) EXPECT_FALSE(page.empty());
  // On the next page region and memo start at the band's top.
  EXPECT_EQ(memoTop, std::stoi(boxes[1]));
}

// Below a header that leaves less room than the region's title needs, the
// region places nothing on page 1; on page 2 its title and its memo start at
// the band's top as designed, with every line.
TEST(Regions, ARegionWithNoRoomForItsTitleStartsWholeOnTheNextPage) {
  const int32_t printable = RegionRig().report->PrinterSetup()->PageDef().mmPrintableHeight();
  const int32_t top = RegionRig().report->PrinterSetup()->PageDef().mmMarginTop();
  for (int32_t room : {int32_t{0}, 2 * kMM, 4 * kMM}) {
    SCOPED_TRACE(room);
    RegionRig rig(printable - room);
    rig.headerOn = [](int page) { return page == 1; };
    TppRegion* region = rig.Add(0, 3);
    auto* title = new TppLabel(&rig.form);
    title->SetAutoSize(false);
    title->SetRegion(region);
    title->SetmmBounds(0, 0, 20 * kMM, 5 * kMM);
    title->SetCaption("Title");
    const auto texts = rig.Commands<TppDrawText>();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(texts[0].empty());
    std::vector<std::string> placed;
    for (const TppDrawText* t : texts[1])
      placed.push_back((t->Text.empty() ? t->WrappedText[0] + "+" + std::to_string(t->WrappedText.Count())
                                        : t->Text) + "@" + std::to_string(t->Top - top));
    std::sort(placed.begin(), placed.end());
    EXPECT_EQ(placed, (std::vector<std::string>{"R1 line 1+3@0", "Title@0"}));
  }
}

TEST(Regions, ChildrenGoWithTheirRegionAndOnlyARegionTakesThem) {
  RegionRig rig;
  TppRegion* region = rig.Add(0, 1);
  TppMemo* memo = rig.memos[0];
  memo->SetRegion(rig.detail);  // not a region: ignored
  EXPECT_EQ(memo->Region(), region);
  EXPECT_EQ(memo->GetParentComponent(), region);
  auto* other = new TppRegion(&rig.form);
  other->SetBand(rig.header);
  memo->SetRegion(other);
  EXPECT_EQ(memo->Band(), rig.header);
  EXPECT_EQ(region->ChildCount(), 0);
  memo->SetRegion(region);
  const int before = rig.form.ComponentCount();
  delete region;
  EXPECT_EQ(rig.form.ComponentCount(), before - 2);
  EXPECT_EQ(rig.detail->ComponentCount(), 0);
}

// A child sized to its parent takes the region's box, not the band's.
TEST(Regions, ParentWidthAndHeightInsideARegionTakeTheRegionsBox) {
  RegionRig rig;
  auto* region = new TppRegion(&rig.form);
  region->SetBand(rig.detail);
  region->SetmmBounds(20 * kMM, 2 * kMM, 50 * kMM, 6 * kMM);
  struct Case {
    bool width, height;
    TRect expected;  // left, top, right, bottom in thousandths
  };
  const Case cases[] = {{true, false, {20 * kMM, 3 * kMM, 70 * kMM, 4 * kMM}},
                        {false, true, {1 * kMM, 2 * kMM, 11 * kMM, 8 * kMM}},
                        {true, true, {20 * kMM, 2 * kMM, 70 * kMM, 8 * kMM}}};
  for (const Case& c : cases) {
    auto* label = new TppLabel(&rig.form);
    label->SetAutoSize(false);
    label->SetRegion(region);
    label->SetmmBounds(1 * kMM, 3 * kMM, 10 * kMM, 1 * kMM);
    label->SetParentWidth(c.width);
    label->SetParentHeight(c.height);
    EXPECT_EQ(label->mmLeft(), c.expected.Left) << c.width << c.height;
    EXPECT_EQ(label->mmTop(), c.expected.Top) << c.width << c.height;
    EXPECT_EQ(label->mmLeft() + label->mmWidth(), c.expected.Right) << c.width << c.height;
    EXPECT_EQ(label->mmTop() + label->mmHeight(), c.expected.Bottom) << c.width << c.height;
    delete label;
  }
}

TEST(Regions, ChildrenStreamInsideTheirRegion) {
  RegionRig rig;
  rig.Add(0, 2);
  const std::string text = WriteComponentToText(&rig.form);
  const size_t region = text.find("object Region1: TppRegion"), memo = text.find("object Memo1");
  ASSERT_NE(region, std::string::npos);
  EXPECT_GT(memo, region);
  std::unique_ptr<TComponent> form(ReadComponentFromText(text, nullptr));
  auto* copy = dynamic_cast<TppMemo*>(form->FindComponent("Memo1"));
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy->Region(), nullptr);
  EXPECT_EQ(copy->Region()->Name(), "Region1");
  EXPECT_EQ(copy->Band(), copy->Region()->Band());
  EXPECT_EQ(WriteComponentToText(form.get()), text);
}

}  // namespace
