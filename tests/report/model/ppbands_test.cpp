// Bands and components in generation: kinds, print settings, placement rules.
#include "report/model/ppbands.h"

#include <gtest/gtest.h>

#include "platform/classlib/core/exceptions.h"
#include "reportrig.h"

namespace {

constexpr int32_t kMM = 1000;

using Bands = Listing;
using Pages = std::vector<std::string>;

TEST(ReportBands, AnInvisibleStaticBandThatDoesNotFitStillEndsThePage) {
  Bands r(3);
  auto* summary = r.AddBand<TppSummaryBand>(240 * kMM);
  r.AddText(summary, "", 0, 4000, "Sum");
  summary->SetVisible(false);
  int before = 0, after = 0;
  summary->BeforePrint = [&](TObject*) { ++before; };
  summary->AfterPrint = [&](TObject*) { ++after; };
  r.Print();
  EXPECT_EQ(r.Joined(), (Pages{"Head 1 2 3 Foot", "Head Foot"}));
  // The last page is generated twice (one pass); no AfterPrint for the pass
  // that did not fit.
  EXPECT_EQ(before, 3);
  EXPECT_EQ(after, 2);
}

TEST(ReportBands, TitleAndSummaryWithNewPageStandOnTheirOwnPages) {
  Bands r(3);
  auto* title = r.AddBand<TppTitleBand>(10 * kMM);
  r.AddText(title, "", 0, 4000, "Title");
  title->SetNewPage(true);
  auto* summary = r.AddBand<TppSummaryBand>(10 * kMM);
  r.AddText(summary, "", 0, 4000, "Sum");
  summary->SetNewPage(true);
  r.Print();
  EXPECT_EQ(r.Joined(), (Pages{"Title Foot", "Head 1 2 3 Foot", "Head Sum Foot"}));
}

TEST(ReportBands, AFooterLeftOffTheFirstPageStillKeepsItsRoom) {
  Bands r(30);
  r.footer->SetPrintOnFirstPage(false);
  r.Print();
  const Pages pages = r.Joined();
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].find("Foot"), std::string::npos);
  EXPECT_EQ(r.device.Pages[0]->DrawCommandCount(), 1 + 24);
  EXPECT_NE(pages[1].find("Foot"), std::string::npos);
}

TEST(ReportBands, APrintPositionAboveTheCurrentPositionAsksForOneNewPage) {
  Bands r(12);  // the details end at 136.35 mm
  auto* summary = r.AddBand<TppSummaryBand>(10 * kMM);
  r.AddText(summary, "", 0, 4000, "Sum");
  summary->SetmmPrintPosition(100 * kMM);
  r.Print();
  ASSERT_EQ(r.device.Pages.size(), 2u);
  EXPECT_NE(Describe(*r.device.Pages[1]).find("100000:Sum"), std::string::npos);
}

TEST(ReportBands, PrintCountEndsThePageAfterThatManyDetails) {
  Bands r(12);
  r.detail->SetPrintCount(5);
  EXPECT_EQ(r.detail->PrintMode(), pmCount);
  r.Print();
  EXPECT_EQ(r.Joined(), (Pages{"Head 1 2 3 4 5 Foot", "Head 6 7 8 9 10 Foot", "Head 11 12 Foot"}));
}

TEST(ReportBands, SortKeysOrderGroupHeadersOutermostFirstAndFootersInnermostFirst) {
  Bands r(1);
  TppGroup* outer = r.AddGroup("Grp", kMM, kMM);
  TppGroup* inner = r.AddGroup("Grp", kMM, kMM);
  EXPECT_LT(outer->HeaderBand()->GetSortKey(), inner->HeaderBand()->GetSortKey());
  EXPECT_LT(inner->FooterBand()->GetSortKey(), outer->FooterBand()->GetSortKey());
  EXPECT_EQ(outer->HeaderBand()->GetDescription(), "Grp: Group Header. 1");
  outer->SetBreakName("");
  EXPECT_EQ(outer->FooterBand()->Caption(), "No DataField assigned!: Group Footer. 1");
}

// ---- Components ----

TEST(ReportComponents, ParentFollowingModesExcludeEachOther) {
  TppLabel label;
  label.SetStretchWithParent(true);
  label.SetShiftWithParent(true);
  EXPECT_FALSE(label.StretchWithParent());
  label.SetStretchWithParent(true);
  EXPECT_FALSE(label.ShiftWithParent());
}

TEST(ReportComponents, GeometryIsClampedToTheBand) {
  Bands r(1);
  TppCustomText* text = r.AddText(r.detail, "", 0, 4000, "x");
  text->SetmmWidth(-5);
  text->SetmmHeight(-5);
  EXPECT_EQ(text->mmWidth(), 0);
  EXPECT_EQ(text->mmHeight(), 0);
  text->SetmmLeft(999999);
  EXPECT_EQ(text->mmLeft(), r.detail->PrintableWidth());
  text->SetmmLeft(-1);
  EXPECT_EQ(text->mmLeft(), 0);
  text->SetParentWidth(true);
  EXPECT_EQ(text->mmWidth(), r.detail->PrintableWidth());
  text->SetmmLeft(5000);
  text->SetmmWidth(5000);
  EXPECT_EQ(text->mmLeft(), 0);
  EXPECT_EQ(text->mmWidth(), r.detail->PrintableWidth());
}

// A component may end one thousandth below its band; two overflow (and in a
// band that never grows it never fits).
TEST(ReportComponents, OneThousandthBelowTheBandStillPrints) {
  Bands fits(3);
  fits.AddText(fits.detail, "Name", 0, 10 * kMM + 1);
  fits.Print();
  EXPECT_EQ(fits.device.Pages.size(), 1u);
  Bands overflows(3);
  overflows.AddText(overflows.detail, "Name", 0, 10 * kMM + 2);
  EXPECT_THROW(overflows.Print(), EPrintError);
}

TEST(ReportComponents, AnInvisibleComponentFiresOnPrintButDrawsNothing) {
  Bands r(2);
  TppCustomText* text = r.AddText(r.detail, "Name", 5000);
  text->SetVisible(false);
  int fired = 0;
  text->OnPrint = [&](TObject* sender) { fired += sender == text; };
  r.Print();
  EXPECT_EQ(fired, 2 * 2);  // the one-pass last page is generated twice
  EXPECT_EQ(r.Joined(), (Pages{"Head 1 2 Foot"}));
}

TEST(ReportComponents, AComponentHiddenForOneRecordPrintsWhenBeforePrintShowsItAgain) {
  Bands r(3);
  TppCustomText* mark = r.AddText(r.detail, "", 5000, 4000, "M");
  r.detail->BeforePrint = [&](TObject*) {
    mark->SetVisible(r.pipeline->GetFieldAsString("ID") != "2");
  };
  r.Print();
  EXPECT_EQ(r.Joined(), (Pages{"Head 1 M 2 3 M Foot"}));
}

TEST(ReportComponents, BandTypeAndGroupNoFollowTheBand) {
  Bands r(1);
  TppGroup* group = r.AddGroup("Grp", kMM, kMM);
  TppGroup* second = r.AddGroup("Grp", kMM, kMM);
  TppCustomText* text = r.AddText(r.detail, "", 0, 4000, "x");
  EXPECT_EQ(std::pair(int(text->BandType()), text->GroupNo()), std::pair(4, -1));
  text->SetBand(second->FooterBand());
  EXPECT_EQ(std::pair(int(text->BandType()), text->GroupNo()), std::pair(5, 1));
  text->SetBand(group->HeaderBand());
  EXPECT_EQ(std::pair(int(text->BandType()), text->GroupNo()), std::pair(3, 0));
  auto* title = r.AddBand<TppTitleBand>(kMM);
  text->SetBand(title);
  EXPECT_EQ(std::pair(int(text->BandType()), text->GroupNo()), std::pair(1, -1));
}

TEST(ReportComponents, SaveOrderIsClampedIntoTheBandsSaveList) {
  Bands r(1);
  std::vector<TppCustomText*> texts;
  for (int i = 0; i < 3; ++i) {
    texts.push_back(r.AddText(r.detail, "", 0, 4000, "t" + std::to_string(i)));
    texts.back()->SetSave(true);
  }
  EXPECT_EQ(texts[2]->SaveOrder(), 2);
  texts[0]->SetSaveOrder(99);
  EXPECT_EQ(texts[0]->SaveOrder(), 2);
  texts[0]->SetSaveOrder(-4);
  EXPECT_EQ(texts[0]->SaveOrder(), 0);
  texts[1]->SetSave(false);
  EXPECT_EQ(texts[1]->SaveOrder(), -1);
}

TEST(ReportComponents, ALabelWhoseCaptionIsItsNameFollowsARename) {
  TComponent form(nullptr);
  auto* a = new TppLabel(&form);
  a->SetName("Label1");
  a->SetCaption("Label1");
  auto* b = new TppLabel(&form);
  b->SetName("Label2");
  b->SetCaption("Total");
  a->SetName("Label9");
  b->SetName("Label8");
  EXPECT_EQ(a->Caption(), "Label9");
  EXPECT_EQ(b->Caption(), "Total");
}

TEST(ReportComponents, ABreakComponentFollowsRenamesAndLeavesAnEmptyBreakNameWhenFreed) {
  Bands r(4);
  TppGroup* group = r.AddGroup("", kMM, 0);
  auto* label = new TppLabel(&r.form);
  label->SetName("Key");
  label->SetBand(r.detail);
  group->SetBreakType(btCustomField);
  group->SetBreakName("Key");
  r.Print();  // the lookup links the group to its component
  label->SetName("Key2");
  EXPECT_EQ(group->BreakName(), "Key2");
  delete label;
  EXPECT_EQ(group->BreakName(), "");
}

}  // namespace

namespace {

// Extreme stored values end in the messages the checks give, never in an
// overflow or a run that does not end; odd texts print as they are.
TEST(ReportBadInput, ExtremeGeometryAndOddTextsNeitherOverflowNorHang) {
  struct Case {
    const char* What;
    std::function<void(Listing&)> Set;
    std::string Message;
  };
  const Case cases[] = {
      {"band height", [](Listing& r) { r.detail->SetmmHeight(INT32_MAX); },
       "Band height cannot exceed page height."},
      {"component top",
       [](Listing& r) {
         r.detail->SetPrintHeight(phDynamic);
         r.AddText(r.detail, "", 0, 4000, "x")->SetmmBounds(0, INT32_MAX - 5, INT32_MAX, INT32_MAX);
       },
       "Band height cannot exceed page height."},
      {"bottom offset", [](Listing& r) { r.detail->SetmmBottomOffset(INT32_MAX); },
       "Band height cannot exceed page height."},
      {"print position", [](Listing& r) { r.detail->SetmmPrintPosition(INT32_MAX); },
       "PrintPosition exceeds available page space."},
      {"texts",
       [](Listing& r) {
         TppCustomText* text = r.AddText(r.detail, "", 0, 4000, std::string(100000, '\xff'));
         text->SetWordWrap(true);
         r.AddText(r.detail, "", 5000, 4000, std::string("\xe2\x82", 2) + "abc");
       },
       ""},
  };
  for (const Case& c : cases) {
    Listing r(3);
    c.Set(r);
    std::string message;
    try {
      r.Print();
    } catch (const EPrintError& e) {
      message = e.Message();
    }
    EXPECT_EQ(message, c.Message) << c.What;
  }
}

}  // namespace

namespace {

// AutoSize measures on a screen bitmap: a shorter text keeps the right edge of
// a right-aligned label and the centre of a centred one (within a pixel).
TEST(ReportComponents, AutoSizeKeepsTheAlignedEdgeOrCentre) {
  for (TAlignment alignment : {taLeftJustify, taRightJustify, taCenter}) {
    TppLabel label;
    label.SetAlignment(alignment);
    label.SetCaption("A rather long caption");
    const int left = 100, width = label.PixelWidth();
    label.SetPixelBounds(left, 0, width, label.PixelHeight());
    label.SetCaption("Short");
    const int newLeft = label.PixelLeft(), newWidth = label.PixelWidth();
    EXPECT_LT(newWidth, width) << alignment;
    const int kept = alignment == taLeftJustify    ? newLeft - left
                     : alignment == taRightJustify ? newLeft + newWidth - (left + width)
                                                   : (2 * newLeft + newWidth - (2 * left + width)) / 2;
    EXPECT_LE(std::abs(kept), alignment == taCenter ? 1 : 0) << alignment;
  }
}

TEST(ReportComponents, WithoutAutoSizeOrWordWrapTheHeightFollowsTheFont) {
  TppLabel label;
  label.SetAutoSize(false);
  label.SetCaption("Text");
  const int32_t width = label.mmWidth();
  TFont big;
  big.SetSize(30);
  label.SetFont(&big);
  EXPECT_EQ(label.mmWidth(), width);
  const int32_t tall = label.mmHeight();
  big.SetSize(8);
  label.SetFont(&big);
  EXPECT_LT(label.mmHeight(), tall);
}

}  // namespace
