// Filters and Locate answer the same whether the database pre-selects the
// records (a table hands SQL the conditions it can state) or the engine tests
// every record itself (a query's rows): the same records, in the same order.
// Any later speed work on the SQL side must keep every answer here.

#include <gtest/gtest.h>

#include "dbengine/daowrappers.h"
#include "dbengine/filtersql.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/filterexpr.h"
#include "ttbinding.h"

using namespace tttest;

namespace {

// Nulls, zeros, empty and case-different texts, dates on day 0 and with a
// time of day, negative and tiny amounts: the values where SQL and the
// engine are most likely to part.
class FilterReference : public ComponentFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    const char* rows[] = {
        "'Anna', 30, 1.5, #1990-05-01#, 'note', 12.5, TRUE",
        "'Bert', 25, NULL, NULL, NULL, NULL, FALSE",
        "'Carl', 30, 0, #1899-12-30#, '', 0, NULL",
        "'anna', 0, 2.25, #2001-01-01#, NULL, -3, TRUE",
        "'', NULL, -1, NULL, 'x', 0.0001, FALSE",
        "NULL, 7, NULL, #1990-05-01 13:30:00#, NULL, 100, TRUE",
        "'Émile', 0, 0, NULL, NULL, NULL, NULL",
        "'émile', 12, NULL, #2020-02-29#, 'memo', 5, TRUE",
        "'Andy', -5, 0.000001, #1990-05-01#, NULL, -0.0001, FALSE",
        "'Dora', NULL, 0, NULL, NULL, 0, FALSE",
        "'ANNA', 30, 1.5, #1990-04-30#, 'n', 12.5, TRUE",
        "'An', 1, 1E+300, #1600-01-01#, NULL, 922337203685477, NULL",
        "'Zed', 32767, -1E-300, #9999-12-31#, 'z', -922337203685477, TRUE",
        "'O''Brien', -32768, 3, #1900-01-01#, NULL, 1, FALSE",
    };
    for (const char* row : rows)
      db.Execute("INSERT INTO People (Name, Age, Score, Born, Notes, Pay, Active) VALUES (" + std::string(row) +
                 ")");
  }

  // The Ids of the records a dataset shows with the filter, in its order.
  static std::vector<int> Filtered(TDataSet* d, const std::string& filter, TFilterOptions options) {
    d->SetFiltered(false);
    d->SetFilter(filter);
    d->SetFilterOptions(options);
    d->SetFiltered(true);
    std::vector<int> ids;
    for (d->First(); !d->Eof(); d->Next()) ids.push_back(d->FieldByName("Id")->AsInteger());
    d->SetFiltered(false);
    return ids;
  }

  // The same data with no SQL restriction: a query's rows, every one tested.
  std::unique_ptr<TTestQuery> Reference(const std::string& order) {
    auto q = std::make_unique<TTestQuery>();
    q->SetDatabaseName(path_);
    q->SQL()->Add("SELECT * FROM People ORDER BY " + order);
    q->Open();
    return q;
  }
};

// The People columns as the Access cursor describes them to the prefilter.
bool PeopleColumn(const std::string& name, TFilterColumn& column) {
  static const TFilterColumn kColumns[] = {
      {"Id", fldtype::Int32, daotype::Long, 4},          {"Name", fldtype::ZString, daotype::Text, 81},
      {"Age", fldtype::Int16, daotype::Integer, 2},      {"Score", fldtype::Float, daotype::Double, 8},
      {"Born", fldtype::TimeStamp, daotype::Date, 8},    {"Notes", fldtype::Blob, daotype::Memo, 16},
      {"Pay", fldtype::Float, daotype::Currency, 8},     {"Active", fldtype::Bool, daotype::Boolean, 1},
  };
  for (const auto& c : kColumns)
    if (AnsiSameText(c.name, name)) {
      column = c;
      return true;
    }
  return false;
}

TEST_F(FilterReference, HandedOverConditionsKeepTheEnginesAnswers) {
  const std::string may1 = DateToStr(EncodeDate(1990, 5, 1));
  const TFilterOptions exact{foNoPartialCompare};
  const TFilterOptions anyCase{foCaseInsensitive, foNoPartialCompare};
  const TFilterOptions partial{};
  const struct {
    std::string filter;
    TFilterOptions options;
    bool handed;  // SQL restricts the records (else the engine alone decides)
  } cases[] = {
      // Numbers, Null reading as 0.
      {"Age = 30", exact, true},
      {"Age <> 30", exact, true},
      {"Age > 0", exact, true},
      {"Age >= 0", exact, true},
      {"Age < 0", exact, true},
      {"Age <= 12", exact, true},
      {"Age = 0", exact, true},
      {"Age = -32768", exact, true},
      {"Score = 1.5", exact, true},
      {"Score > 0", exact, true},
      {"Score < 0", exact, true},
      {"Score = 0", exact, true},
      {"Score <= 2.25", exact, true},
      {"Id > 10", exact, true},
      // Blank: Null or all zero.
      {"Age = NULL", exact, true},
      {"Age <> NULL", exact, true},
      {"Score = NULL", exact, true},
      {"Score <> NULL", exact, true},
      {"Pay = NULL", exact, true},
      {"Pay <> NULL", exact, true},
      {"Born = NULL", exact, true},
      {"Born <> NULL", exact, true},
      {"Active = NULL", exact, true},
      {"Active <> NULL", exact, true},
      {"Name = NULL", exact, true},
      {"Name <> NULL", exact, true},
      {"Notes = NULL", exact, true},
      {"Notes <> NULL", exact, true},
      {"Id = NULL", exact, true},
      // Currency and dates: the engine's own comparison.
      {"Pay = 12.5", exact, false},
      {"Pay > 0", exact, false},
      {"Pay < 0", exact, false},
      {"Born = '" + may1 + "'", exact, false},
      {"Born > '" + may1 + "'", exact, false},
      {"Active = 'True'", exact, false},
      // Texts, case and partial keys.
      {"Name = 'Anna'", exact, true},
      {"Name = 'anna'", anyCase, true},
      {"Name = 'émile'", anyCase, true},
      {"Name = 'émile'", exact, true},
      {"Name = ''", exact, true},
      {"Name = 'O''Brien'", exact, true},
      {"Name <> 'Anna'", exact, false},
      {"Name > 'B'", exact, false},
      {"Name < 'b'", anyCase, false},
      {"Name = 'An*'", partial, false},
      {"Name = 'an*'", TFilterOptions{foCaseInsensitive}, false},
      // And/or mixes.
      {"Age = NULL and Score = 0", exact, true},
      {"Score = NULL and Active = NULL", exact, true},
      {"Age = 0 and Name = 'émile'", anyCase, true},
      {"Age = NULL or Name > 'B'", exact, false},
      {"Score = NULL or Age = 30", exact, true},
      {"(Age = 30 or Age = 25) and Name <> 'Carl'", exact, true},
      {"Age = 30 and (Name = 'anna' or Pay = 12.5)", anyCase, true},
      {"Pay = NULL or (Born = NULL and Age = NULL)", exact, true},
      {"not (Age = 30)", exact, false},
      {"not (Score = NULL) and Age >= 0", exact, true},
  };
  for (const char* order : {"Id", "Name, Id"}) {
    auto t = MakeTable();
    if (std::string(order) != "Id") t->SetIndexName("ByName");
    t->Open();
    auto reference = Reference(order);
    for (const auto& c : cases) {
      std::vector<std::uint8_t> blob = BuildFilterBlob(c.filter, t.get(), c.options);
      EXPECT_EQ(c.handed, !FilterPrefilterSql(blob.data(), blob.size(), PeopleColumn).empty()) << c.filter;
      EXPECT_EQ(Filtered(reference.get(), c.filter, c.options), Filtered(t.get(), c.filter, c.options))
          << c.filter << " in the order of " << order;
    }
  }
}

// Both ways read blank as Null or all zero: a 0, an empty text or memo.
TEST_F(FilterReference, BlankIsNullOrZeroEitherWay) {
  const struct {
    const char* filter;
    std::vector<int> ids;
  } cases[] = {
      {"Age = NULL", {4, 5, 7, 10}},
      {"Age = NULL and Score = 0", {7, 10}},
      {"Notes = NULL", {2, 3, 4, 6, 7, 9, 10, 12, 14}},
      {"Notes <> NULL", {1, 5, 8, 11, 13}},
  };
  auto t = MakeTable();
  t->Open();
  auto reference = Reference("Id");
  for (const auto& c : cases) {
    EXPECT_EQ(c.ids, Filtered(reference.get(), c.filter, {})) << c.filter;
    EXPECT_EQ(c.ids, Filtered(t.get(), c.filter, {})) << c.filter;
  }
}

// Locate without an index filters by the values: the table hands the
// condition over, the query tests each record.
TEST_F(FilterReference, LocateFindsTheSameRecordEitherWay) {
  const struct {
    const char* fields;
    Variant values;
    TLocateOptions options;
  } cases[] = {
      {"Score", Variant(Null), {}},
      {"Pay", Variant(Null), {}},
      {"Born", Variant(Null), {}},
      {"Active", Variant(Null), {}},
      {"Score", Variant(0), {}},
      {"Score", Variant(-1), {}},
      {"Pay", Variant(12.5), {}},
      {"Name", Variant(std::string("an")), {loPartialKey, loCaseInsensitive}},
      {"Name", Variant(std::string("ÉMILE")), {loCaseInsensitive}},
      {"Score;Pay", VarArrayOf({Variant(0), Variant(Null)}), {}},
      {"Score;Name", VarArrayOf({Variant(Null), Variant(std::string("é"))}), {loPartialKey}},
      {"Active;Age", VarArrayOf({Variant(Null), Variant(Null)}), {}},
  };
  auto t = MakeTable();
  t->Open();
  auto reference = Reference("Id");
  for (const auto& c : cases) {
    const bool found = reference->Locate(c.fields, c.values, c.options);
    EXPECT_EQ(found, t->Locate(c.fields, c.values, c.options)) << c.fields;
    if (found) {
      EXPECT_EQ(reference->FieldByName("Id")->AsInteger(), t->FieldByName("Id")->AsInteger()) << c.fields;
    }
  }
}

}  // namespace
