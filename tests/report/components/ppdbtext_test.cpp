// Data texts, calculations and system values in generated reports: repeated
// values left out, calculation kinds and group resets, and a page regenerated
// alone printing the values of its first generation.

#include "report/components/ppdbtext.h"

#include <gtest/gtest.h>

#include "platform/classlib/core/filer.h"
#include "report/model/ppcache.h"
#include "report/model/reportrig.h"

namespace {

constexpr int32_t kMM = 1000;

// The shared listing (24 details a page) with data texts added by field.
struct TextListing : Listing {
  using Listing::Listing;
  template <class T>
  T* Add(TppBand* band, const std::string& field, int32_t left) {
    auto* c = new T(&form);
    c->SetBand(band);
    c->SetmmBounds(left, 0, 30 * kMM, 4 * kMM);
    c->SetDataPipeline(pipeline);
    c->SetDataField(field);
    return c;
  }
  // What one component printed, page by page ("|" between pages).
  std::string Printed(const TppComponent* c) const {
    std::string out;
    for (const auto& page : device.Pages) {
      if (!out.empty()) out += "|";
      for (int i = 0; i < page->DrawCommandCount(); ++i)
        if (auto* t = dynamic_cast<TppDrawText*>(page->DrawCommands(i)); t && t->Component == c)
          out += t->Text + ",";
    }
    return out;
  }
};

TEST(DataText, RepeatedValuesAreLeftOutButNeverTheFirstRecord) {
  struct Case {
    bool suppress, reprint;
    const char* printed;
  } cases[] = {
      {false, false, "G1,G1,G2,"},
      {true, false, "G1,G2,"},
  };
  for (const Case& c : cases) {
    TextListing r(3, 2);  // G1 G1 G2
    auto* text = r.Add<TppDBText>(r.detail, "Grp", 0);
    text->SetSuppressRepeatedValues(c.suppress);
    text->SetReprintOnSubsequent(c.reprint);
    r.Print();
    EXPECT_EQ(c.printed, r.Printed(text)) << c.suppress;
  }
  // A Null first value prints as an empty text, which equals the "previous"
  // empty text, yet it prints.
  TextListing r(2);
  r.data->Edit();
  r.data->FieldByName("Grp")->Clear();
  r.data->Post();
  auto* text = r.Add<TppDBText>(r.detail, "Grp", 0);
  text->SetSuppressRepeatedValues(true);
  r.Print();
  EXPECT_EQ(",G1,", r.Printed(text));
}

TEST(DataText, ARunContinuingOnANewPageIsRepeatedThereOnlyWhenAsked) {
  for (bool reprint : {false, true}) {
    TextListing r(30);  // one run of G1 over two pages
    auto* text = r.Add<TppDBText>(r.detail, "Grp", 0);
    text->SetSuppressRepeatedValues(true);
    text->SetReprintOnSubsequent(reprint);
    r.Print();
    EXPECT_EQ(reprint ? "G1,|G1," : "G1,|", r.Printed(text)) << reprint;
  }
}

TEST(DataCalc, KindsOverTheRecords) {
  struct Case {
    TppDBCalcType type;
    const char* field;
    bool blankWhenZero;
    const char* printed;
  } cases[] = {
      {dcCount, "", false, "4,"},  {dcSum, "", false, "0,"},     {dcSum, "", true, ","},
      {dcSum, "ID", false, "10,"}, {dcMinimum, "ID", false, "1,"}, {dcMaximum, "ID", false, "4,"},
      {dcAverage, "ID", false, "2.5,"},
  };
  TextListing r(4);
  auto* summary = r.AddBand<TppSummaryBand>(10 * kMM);
  std::vector<TppDBCalc*> calcs;
  for (const Case& c : cases) {
    auto* calc = r.Add<TppDBCalc>(summary, c.field, int32_t(calcs.size()) * 25 * kMM);
    calc->SetDBCalcType(c.type);
    calc->SetBlankWhenZero(c.blankWhenZero);
    calcs.push_back(calc);
  }
  r.Print();
  for (size_t i = 0; i < calcs.size(); ++i) EXPECT_EQ(cases[i].printed, r.Printed(calcs[i])) << i;

  TppDBCalc none;  // no record yet: the average is 0, no division
  none.SetDBCalcType(dcAverage);
  std::string text;
  none.GetText(text);
  EXPECT_EQ("0", text);
}

TEST(DataCalc, AResetGroupRestartsTheTotalsAtEachBreak) {
  TextListing r(6, 2);  // G1 G1 G2 G2 G3 G3
  TppGroup* group = r.AddGroup("Grp", 5 * kMM, 10 * kMM);
  TppBand* groupFooter = r.report->FindBand(bkGroupFooter, 0);
  ASSERT_NE(nullptr, groupFooter);
  auto* sum = r.Add<TppDBCalc>(groupFooter, "ID", 0);
  auto* average = r.Add<TppDBCalc>(groupFooter, "ID", 50 * kMM);
  average->SetDBCalcType(dcAverage);
  std::string breaks;
  for (TppDBCalc* calc : {sum, average}) calc->SetResetGroup(group);
  sum->OnGroupBreak = [&](TObject*) { breaks += r.pipeline->GetFieldAsString("Grp") + ","; };
  r.Print();
  EXPECT_EQ("3,7,11,", r.Printed(sum));
  EXPECT_EQ("1.5,3.5,5.5,", r.Printed(average));
  // Once per break; the one-pass last page is generated twice, from the
  // state saved after the first group's reset.
  EXPECT_EQ("G1,G2,G3,G2,G3,", breaks);
}

// A custom value in the page header is set per record by OnCalc; a page
// regenerated alone must print the value and totals it had the first time.
TEST(DataCalc, APageRegeneratedAlonePrintsItsFirstValues) {
  TextListing r(60);
  auto* custom = new TppCalc(&r.form);
  custom->SetAutoSize(false);
  custom->SetBand(r.header);
  custom->SetmmBounds(0, 0, 30 * kMM, 4 * kMM);
  custom->SetCalcType(ctCustom);
  custom->OnCalc = [&r, custom](TObject*) { custom->SetText(r.pipeline->GetFieldAsString("Name")); };
  auto* pageNo = new TppCalc(&r.form);
  pageNo->SetAutoSize(false);
  pageNo->SetBand(r.header);
  pageNo->SetmmBounds(100 * kMM, 0, 30 * kMM, 4 * kMM);
  pageNo->SetCalcType(ctPageNo);
  r.Add<TppDBCalc>(r.detail, "ID", 0);  // a running total
  r.Print();
  const std::vector<std::string> first = r.Pages();
  ASSERT_EQ(3u, first.size());
  EXPECT_EQ("N1,|N25,|N49,", r.Printed(custom));
  for (int page : {3, 2, 1}) {
    r.Print(prOnePage, page);
    ASSERT_EQ(1u, r.device.Pages.size()) << page;
    EXPECT_EQ(first[size_t(page - 1)], r.Pages()[0]) << page;
  }
}

// A custom text is kept per saved page; a page saved again without one
// (regenerated after the data changed) restores no text, not its old one.
TEST(DataCalc, EachSavedPageRestoresItsOwnCustomText) {
  struct TCalcOwner : TppCacheOwner {
    TppCacheable* calc = nullptr;
    std::vector<TppCacheable*> CacheObjects() override { return {calc}; }
  } owner;
  TppCalc calc;
  calc.SetCalcType(ctCustom);
  owner.calc = &calc;
  TppCacheManager cache(&owner);
  cache.BuildCache();
  const struct {
    int page;
    const char* text;
  } saves[] = {{1, "first"}, {2, ""}, {3, "third"}, {4, "fourth"}, {4, ""}};
  for (const auto& s : saves) {
    calc.SetText(s.text);
    cache.SavePageState(s.page);
  }
  const std::pair<int, const char*> expected[] = {{3, "third"}, {2, ""}, {1, "first"}, {4, ""}};
  for (const auto& [page, text] : expected) {
    calc.SetText("stale");
    cache.RestorePageState(page);
    EXPECT_EQ(text, calc.CustomString()) << page;
  }
}

TEST(SystemValue, OutsideAGenerationAndFromOldLayouts) {
  TppCalc calc;
  calc.SetCalcType(ctPageNo);
  std::string text;
  calc.GetText(text);
  EXPECT_EQ("1", text);
  EXPECT_EQ(dtInteger, calc.CustomType());
  calc.SetCustomType(dtString);
  EXPECT_EQ(dtInteger, calc.CustomType()) << "only a custom value takes another type";
  calc.SetText("ignored");
  EXPECT_EQ("", calc.CustomString());

  struct Case {
    const char* stored;
    TppDataType type;
  } cases[] = {{"ftWord", dtInteger}, {"ftCurrency", dtDouble}, {"ftTime", dtTime},
               {"ftMemo", dtDateTime}};  // an unknown type leaves the constructor's
  for (const Case& c : cases) {
    TppCalc read;
    ReadComponentFromText(std::string("object C: TppCalc\n  DataType = ") + c.stored + "\nend\n",
                          &read);
    EXPECT_EQ(c.type, read.CustomType()) << c.stored;
  }
}

TEST(SystemValue, RecordSizesOfThePageCache) {
  TppDBText text;
  TppDBCalc calc;
  TppCalc value;
  EXPECT_EQ(12, text.RecordSize());
  EXPECT_EQ(32, calc.RecordSize());
  EXPECT_EQ(24, value.RecordSize());
}

}  // namespace
