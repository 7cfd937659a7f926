// The SQL part of record filters: what it restricts, and that filtered
// results stay the engine's own (case rules, Null numbers read as 0).

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "dbengine/daowrappers.h"
#include "dbengine/filtersql.h"
#include "filterblob.h"
#include "platform/classlib/db/filterexpr.h"
#include "ttbinding.h"

using namespace tttest;

namespace {

// Columns as the Access cursor describes them; Born is a date, Pay currency.
bool Column(const std::string& name, TFilterColumn& column) {
  static const TFilterColumn kColumns[] = {
      {"Name", fldtype::ZString, daotype::Text, 81},
      {"Age", fldtype::Int32, daotype::Long, 4},
      {"Score", fldtype::Float, daotype::Double, 8},
      {"Pay", fldtype::Float, daotype::Currency, 8},
      {"Born", fldtype::TimeStamp, daotype::Date, 8},
      {"Notes", fldtype::Blob, daotype::Memo, 16},
      {"Id", fldtype::Int32, daotype::Long, 4, true},
      {"Ratio", fldtype::Float, daotype::Single, 8},
      {"Done", fldtype::Bool, daotype::Boolean, 1},
  };
  for (const auto& c : kColumns)
    if (c.name == name) {
      column = c;
      return true;
    }
  return false;
}

TEST(FilterPrefilter, RestrictsOnlyWhatSqlDecidesAsTheEngineDoes) {
  const TFilterOptions whole{foNoPartialCompare}, anyCase{foCaseInsensitive, foNoPartialCompare};
  const TFilterOptions partial{}, partialAnyCase{foCaseInsensitive};
  const struct {
    const char* filter;
    TFilterOptions options;
    const char* sql;  // empty: nothing restricted
  } cases[] = {
      // Texts: bytes compared as the engine compares them, each column read
      // past any index (a unary plus).
      {"Name = 'Anna'", whole, R"(+"Name" = 'Anna' COLLATE BINARY)"},
      {"Name = 'O''Brien'", whole, R"(+"Name" = 'O''Brien' COLLATE BINARY)"},
      {"Name = ''", whole, R"((+"Name" IS NULL OR +"Name" = ''))"},
      {"Name <> ''", whole, R"((+"Name" IS NOT NULL AND +"Name" <> ''))"},
      {"Name <> 'A'", whole, R"((+"Name" IS NULL OR NOT (+"Name" = 'A' COLLATE BINARY)))"},
      {"Name > 'A'", whole, R"(+"Name" > 'A' COLLATE BINARY)"},
      {"Name <= 'A'", whole, R"((+"Name" IS NULL OR +"Name" <= 'A' COLLATE BINARY))"},
      {"Name = '" "12345678901234567890123456789012345678901234567890123456789012345678901234567890" "'", whole, ""},
      // Any case: ASCII letters both ways, pattern characters taken literally.
      {"Name = 'a*b'", anyCase, R"(+"Name" GLOB '[Aa][*][Bb]')"},
      {"Name <> 'x?'", anyCase, R"((+"Name" IS NULL OR NOT (+"Name" GLOB '[Xx][?]')))"},
      {"Name = 'é1'", anyCase, R"(+"Name" GLOB 'é1')"},
      {"Name > 'a'", anyCase, ""},  // the engine's folded order
      // Partial keys: a start of the text.
      {"Name = 'An*'", partial, R"(+"Name" GLOB 'An*')"},
      {"Name = 'o''b[*'", partialAnyCase, R"(+"Name" GLOB '[Oo]''[Bb][[]*')"},
      {"Name <> 'An*'", partial, R"((+"Name" IS NULL OR NOT (+"Name" GLOB 'An*')))"},
      {"Name > 'An*'", partial, ""},
      // Numbers; a Null reads as 0.
      {"Age >= 30", whole, R"(+"Age" >= 30)"},
      {"Age <= 30", whole, R"((+"Age" IS NULL OR +"Age" <= 30))"},
      {"Age <> 0", whole, R"(+"Age" <> 0)"},
      {"Age = 0", whole, R"((+"Age" IS NULL OR +"Age" = 0))"},
      {"Score = 1.5", whole, R"(+"Score" = 1.5)"},
      // The counter is the row number: an equal finds its row directly.
      {"Id = 7", whole, R"("Id" = 7)"},
      {"Id = 0", whole, R"((+"Id" IS NULL OR +"Id" = 0))"},
      {"Id > 7", whole, R"(+"Id" > 7)"},
      {"Score < -1.5", whole, R"(+"Score" < -1.5)"},
      {"Pay = 1.5", whole, ""},
      {"Age = 1.5", whole, ""},  // mixed types compare as text
      {"Name is null", whole, R"((+"Name" IS NULL OR +"Name" = ''))"},
      {"Age is not null", whole, R"(+"Age" IS NOT NULL)"},
      // Blank is Null or all zero, as the engine reads each kind.
      {"Age is null", whole, R"((+"Age" IS NULL OR +"Age" = 0))"},
      {"Score is null", whole, R"((+"Score" IS NULL OR +"Score" = 0))"},
      {"Pay is null", whole, R"((+"Pay" IS NULL OR +"Pay" = 0))"},
      {"Done is null", whole, R"((+"Done" IS NULL OR +"Done" = 0))"},
      {"Notes is null", whole, R"((+"Notes" IS NULL OR length(+"Notes") = 0))"},
      {"Born is null", whole,
       R"((+"Born" IS NULL OR NOT (typeof(+"Born") IN ('integer', 'real') AND +"Born" <> 0 AND +"Born" BETWEEN -693592 AND 2958465)))"},
      {"Ratio is null", whole, ""},  // a Single turns 0 only as it is read
      {"Ratio is null and Age is null", whole, R"((+"Age" IS NULL OR +"Age" = 0))"},
      {"Age is null or Nobody = 3", whole, ""},
      {"Name = 'A' and Age = 3", whole, R"((+"Name" = 'A' COLLATE BINARY AND +"Age" = 3))"},
      {"Name = 'A' and Nobody = 3", whole, R"(+"Name" = 'A' COLLATE BINARY)"},
      {"Name = 'A' or Nobody = 3", whole, ""},
      {"Name = 'A' or Name = 'B'", whole, R"((+"Name" = 'A' COLLATE BINARY OR +"Name" = 'B' COLLATE BINARY))"},
      {"not (Name = 'A')", whole, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> blob = BuildFilterBlob(c.filter, nullptr, c.options);
    EXPECT_EQ(c.sql, FilterPrefilterSql(blob.data(), blob.size(), Column)) << c.filter;
  }
  // A start cut inside a character cannot be a pattern: the engine decides.
  {
    using namespace testing_engine;
    TNode cut = Compare(filterop::Equal, FieldNode("Name"), TextConst("été"));
    cut.Partial = 4;
    std::vector<std::uint8_t> blob = BlobOf(cut);
    EXPECT_EQ("", FilterPrefilterSql(blob.data(), blob.size(), Column));
    cut.Partial = 3;
    blob = BlobOf(cut);
    EXPECT_EQ(R"(+"Name" GLOB 'ét*')", FilterPrefilterSql(blob.data(), blob.size(), Column));
  }
  // A blob cut short restricts nothing rather than reading past its end.
  std::vector<std::uint8_t> blob = BuildFilterBlob("Name = 'Anna'", nullptr, {});
  EXPECT_EQ("", FilterPrefilterSql(blob.data(), 12, Column));
  EXPECT_EQ("", FilterPrefilterSql(nullptr, 0, Column));
}

// A date constant is milliseconds from the start of year 1; a stored date
// number D counts days from 30 December 1899 and reads as day 693594 plus
// llround(D * 86400000) milliseconds. 1 May 1990 is day 32994 of the column:
// 2,850,681,600,000 ms, doubled 5,701,363,200,000.
TEST(FilterPrefilter, DatesCompareAtTheEnginesMillisecond) {
  using namespace testing_engine;
  auto stamp = [](double msecs) {
    TNode n;
    n.Class = filternode::Constant;
    n.Type = fldtype::TimeStamp;
    n.Value.resize(sizeof msecs);
    std::memcpy(n.Value.data(), &msecs, sizeof msecs);
    return n;
  };
  const double may1 = (693594.0 + 32994.0) * 86400000.0;
  const std::string head =
      R"((CASE WHEN typeof(+"Born") IN ('integer', 'real') AND +"Born" > 0 AND +"Born" <= 2958465 THEN )";
  const std::string x2 = R"(+"Born" * 172800000.0)";
  const struct {
    std::uint32_t op;
    double constant;
    std::string sure;  // for a date from 1900 on
    const char* blank;  // a Null or a 0: the engine reads 0 ms
  } cases[] = {
      {filterop::GreaterOrEqual, may1, x2 + " >= 5701363199999", "0"},
      {filterop::Greater, may1, x2 + " >= 5701363200001", "0"},
      {filterop::LessOrEqual, may1, x2 + " < 5701363200001", "1"},
      {filterop::Less, may1, x2 + " < 5701363199999", "1"},
      {filterop::Equal, may1, x2 + " >= 5701363199999 AND " + x2 + " < 5701363200001", "0"},
      {filterop::NotEqual, may1, "NOT (" + x2 + " >= 5701363199999 AND " + x2 + " < 5701363200001)", "1"},
      // A date before 1900 sits below day 0 of the column.
      {filterop::Less, 86400000.0, x2 + " < -119852870400001", "1"},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> blob = BlobOf(Compare(c.op, FieldNode("Born"), stamp(c.constant)));
    EXPECT_EQ(head + c.sure + R"( WHEN +"Born" IS NULL OR +"Born" = 0 THEN )" + c.blank + " ELSE 1 END)",
              FilterPrefilterSql(blob.data(), blob.size(), Column))
        << c.op;
  }
  // A constant between two milliseconds, or no number, restricts nothing.
  for (double odd : {may1 + 0.5, std::nan(""), HUGE_VAL}) {
    std::vector<std::uint8_t> blob = BlobOf(Compare(filterop::Less, FieldNode("Born"), stamp(odd)));
    EXPECT_EQ("", FilterPrefilterSql(blob.data(), blob.size(), Column)) << odd;
  }
}

class FilteredResults : public ComponentFixture {};

// The database pre-selects ignoring case and Null; the engine's rules decide.
TEST_F(FilteredResults, StayTheEnginesOwn) {
  auto t = MakeTable();
  t->Open();
  const struct {
    const char* filter;
    bool caseInsensitive;
    std::vector<std::string> names;
  } cases[] = {
      {"Name = 'anna'", false, {}},
      {"Name = 'anna'", true, {"Anna"}},
      {"Score = 0", false, {"Bert", "Carl"}},
      {"Score = 1.5 or Age = 25", false, {"Anna", "Bert"}},
      {"Age = 30 and Name = 'Carl'", false, {"Carl"}},
      {"Notes is null", false, {"Anna", "Bert", "Carl"}},
  };
  for (const auto& c : cases) {
    t->SetFiltered(false);
    t->SetFilter(c.filter);
    t->SetFilterOptions(c.caseInsensitive ? TFilterOptions{foCaseInsensitive} : TFilterOptions{});
    t->SetFiltered(true);
    EXPECT_EQ(c.names, ColumnOf(t.get())) << c.filter;
  }
  // Locate without an index follows the same rules.
  t->SetFiltered(false);
  EXPECT_TRUE(t->Locate("Score", Variant(0), {}));
  EXPECT_EQ("Bert", t->FieldByName("Name")->AsString());
}

}  // namespace
