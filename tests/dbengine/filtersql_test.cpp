// The SQL part of record filters: what it restricts, and that filtered
// results stay the engine's own (case rules, Null numbers read as 0).

#include <gtest/gtest.h>

#include "dbengine/daowrappers.h"
#include "dbengine/filtersql.h"
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
  const struct {
    const char* filter;
    const char* sql;  // empty: nothing restricted
  } cases[] = {
      {"Name = 'Anna'", R"("Name" = 'Anna')"},
      {"Name = 'O''Brien'", R"("Name" = 'O''Brien')"},
      {"Name = ''", R"(("Name" IS NULL OR "Name" = ''))"},
      {"Name = 'An*'", ""},  // a prefix
      {"Name > 'A'", ""},    // text order is the engine's
      {"Name = '" "12345678901234567890123456789012345678901234567890123456789012345678901234567890" "'", ""},
      {"Age >= 30", R"(("Age" >= 30 OR ("Age" IS NULL AND 0 >= 30)))"},
      {"Score = 1.5", R"(("Score" = 1.5 OR ("Score" IS NULL AND 0 = 1.5)))"},
      {"Pay = 1.5", ""},
      {"Age = 1.5", ""},  // mixed types compare as text
      {"Name is null", R"(("Name" IS NULL OR "Name" = ''))"},
      {"Age is not null", R"("Age" IS NOT NULL)"},
      // Blank is Null or all zero, as the engine reads each kind.
      {"Age is null", R"(("Age" IS NULL OR "Age" = 0))"},
      {"Score is null", R"(("Score" IS NULL OR "Score" = 0))"},
      {"Pay is null", R"(("Pay" IS NULL OR "Pay" = 0))"},
      {"Done is null", R"(("Done" IS NULL OR "Done" = 0))"},
      {"Notes is null", R"(("Notes" IS NULL OR length("Notes") = 0))"},
      {"Born is null",
       R"(("Born" IS NULL OR NOT (typeof("Born") IN ('integer', 'real') AND "Born" <> 0 AND "Born" BETWEEN -693592 AND 2958465)))"},
      {"Ratio is null", ""},  // a Single turns 0 only as it is read
      {"Ratio is null and Age is null", R"(("Age" IS NULL OR "Age" = 0))"},
      {"Age is null or Nobody = 3", ""},
      {"Name = 'A' and Age = 3", R"(("Name" = 'A' AND ("Age" = 3 OR ("Age" IS NULL AND 0 = 3))))"},
      {"Name = 'A' and Nobody = 3", R"("Name" = 'A')"},
      {"Name = 'A' or Nobody = 3", ""},
      {"Name = 'A' or Name = 'B'", R"(("Name" = 'A' OR "Name" = 'B'))"},
      {"not (Name = 'A')", ""},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> blob = BuildFilterBlob(c.filter, nullptr, {foNoPartialCompare});
    if (std::string(c.filter) == "Name = 'An*'") blob = BuildFilterBlob(c.filter, nullptr, {});
    EXPECT_EQ(c.sql, FilterPrefilterSql(blob.data(), blob.size(), Column)) << c.filter;
  }
  // A blob cut short restricts nothing rather than reading past its end.
  std::vector<std::uint8_t> blob = BuildFilterBlob("Name = 'Anna'", nullptr, {});
  EXPECT_EQ("", FilterPrefilterSql(blob.data(), 12, Column));
  EXPECT_EQ("", FilterPrefilterSql(nullptr, 0, Column));
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
