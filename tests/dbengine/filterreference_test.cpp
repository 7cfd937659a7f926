// Filters and Locate answer the same whether the database pre-selects the
// records (a table hands SQL the conditions it can state) or the engine tests
// every record itself (a query's rows): the same records, in the same order.
// Any later speed work on the SQL side must keep every answer here.

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "dbengine/daowrappers.h"
#include "dbengine/filtersql.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/filterexpr.h"
#include "roads.h"

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
    // Pattern characters in texts, and dates before 1900 with a time of day
    // (stored below 0, their fraction counting forward), on day 0 and 1.
    const char* edges[] = {
        "'a*b', 2, 0.5, #1899-12-29 06:00:00#", "'aXb', 3, 0.5, #1899-12-30 06:00:00#",
        "'A?c', 4, 0.5, #1990-05-01 00:00:01#", "'Abc', 5, 0.5, #1990-04-30 23:59:59#",
        "'[z]', 6, 0.5, #1899-12-31#",          "'z', 7, 0.5, #1899-12-29#",
    };
    for (const char* row : edges)
      db.Execute("INSERT INTO People (Name, Age, Score, Born, Notes) VALUES (" + std::string(row) + ", 'e')");
    // Date numbers a hair either side of the half millisecond before noon of
    // 1 May 1990 (the engine rounds to whole milliseconds), a text and a
    // number no calendar day stands for.
    const double half = 32994.5 - 0.5 / 86400000.0;
    const dao::Cell born[] = {
        dao::Cell::MakeReal(std::nextafter(half, 0.0)), dao::Cell::MakeReal(half),
        dao::Cell::MakeReal(std::nextafter(half, 1e9)), dao::Cell::MakeReal(32994.5),
        dao::Cell::MakeReal(std::nextafter(32994.5, 0.0)), dao::Cell::MakeText("soon"),
        dao::Cell::MakeReal(3.0e6 + 5),
    };
    auto insert = db.Conn().Prepare("INSERT INTO People (Name, Age, Born, Notes) VALUES ('Edge', 9, ?, 'e')");
    for (const dao::Cell& value : born) {
      insert->Bind(1, value);
      insert->Step();
      insert->Reset();
    }
    InsertOddValues(db);
  }

  // Values only another program or a hand-written statement leaves: texts
  // with a NUL inside (the engine reads up to it), blobs in a text column
  // (read as their bytes, up to a NUL), bytes no character stands for; date numbers at and
  // one step either side of the half milliseconds around 1 May 1990, before
  // year 1, on the last day and past it, a blob and an empty text in the date
  // column; an empty blob in a memo, numbers and empty blobs in a long binary
  // (blank: they have no size).
  static void InsertOddValues(dao::TDatabaseCore& db) {
    using dao::Cell;
    const double early = 32994 - 0.5 / 86400000.0, late = 32994 + 0.5 / 86400000.0;
    const struct {
      Cell name, born, notes, photo;
    } rows[] = {
        {Cell::MakeText(std::string("Anna\0x", 6)), Cell::MakeReal(std::nextafter(early, 0.0)), Cell::MakeBlob(""),
         Cell::MakeInteger(5)},
        {Cell::MakeBlob("anna"), Cell::MakeReal(early), Cell::MakeText("m"), Cell::MakeBlob("")},
        {Cell::MakeText("ANNA\xE9"), Cell::MakeReal(std::nextafter(early, 1e9)), Cell::MakeText(std::string("\0b", 2)),
         Cell::MakeReal(2.5)},
        {Cell::MakeText(std::string("\0z", 2)), Cell::MakeReal(-700000), Cell::MakeText("m"), Cell::MakeBlob(std::string(1, '\0'))},
        {Cell::MakeBlob(""), Cell::MakeReal(-0.5), Cell(), Cell::MakeText("abc")},
        {Cell::MakeText(std::string("\xC3\x89mile\0", 7)), Cell::MakeReal(2958465), Cell::MakeText(""), Cell()},
        {Cell::MakeBlob("B"), Cell::MakeReal(std::nextafter(2958465.0, 3e6)), Cell::MakeText("m"), Cell::MakeInteger(0)},
        {Cell::MakeText(std::string("B\0", 2)), Cell::MakeBlob("\x01"), Cell::MakeText("m"), Cell()},
        {Cell::MakeText("Anna"), Cell::MakeText(""), Cell::MakeText("m"), Cell()},
        {Cell::MakeText("anna"), Cell::MakeReal(std::nextafter(late, 0.0)), Cell::MakeText("m"), Cell()},
        {Cell::MakeText("A"), Cell::MakeReal(late), Cell::MakeText("m"), Cell()},
        {Cell::MakeText("a"), Cell::MakeInteger(32994), Cell::MakeText("m"), Cell()},
        {Cell::MakeBlob(std::string("B\0q", 3)), Cell::MakeReal(32994), Cell::MakeText("m"), Cell()},
        {Cell::MakeBlob("ANNA"), Cell::MakeReal(32994), Cell::MakeText("m"), Cell()},
    };
    auto insert = db.Conn().Prepare("INSERT INTO People (Name, Born, Notes, Photo) VALUES (?, ?, ?, ?)");
    for (const auto& row : rows) {
      insert->Bind(1, row.name);
      insert->Bind(2, row.born);
      insert->Bind(3, row.notes);
      insert->Bind(4, row.photo);
      insert->Step();
      insert->Reset();
    }
  }

  static std::vector<int> Filtered(TDataSet* d, const std::string& filter, TFilterOptions options) {
    return FilteredIds(d, filter, options);
  }

  // The same data with no SQL restriction: a query's rows, every one tested.
  std::unique_ptr<TTestQuery> Reference(const std::string& order) { return RecordTestRoad(path_, "People", order); }
};

// The People columns as the Access cursor describes them to the prefilter.
bool PeopleColumn(const std::string& name, TFilterColumn& column) {
  static const TFilterColumn kColumns[] = {
      {"Id", fldtype::Int32, daotype::Long, 4, true},    {"Name", fldtype::ZString, daotype::Text, 81},
      {"Age", fldtype::Int16, daotype::Integer, 2},      {"Score", fldtype::Float, daotype::Double, 8},
      {"Born", fldtype::TimeStamp, daotype::Date, 8},    {"Notes", fldtype::Blob, daotype::Memo, 16},
      {"Photo", fldtype::Blob, daotype::LongBinary, 16},
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
  const std::string noon = DateTimeToStr(EncodeDate(1990, 5, 1) + 0.5);
  const std::string y1900 = DateToStr(EncodeDate(1900, 1, 1)), dec29 = DateToStr(EncodeDate(1899, 12, 29));
  const std::string last = DateToStr(EncodeDate(9999, 12, 31));
  const TFilterOptions exact{foNoPartialCompare};
  const TFilterOptions anyCase{foCaseInsensitive, foNoPartialCompare};
  const TFilterOptions partial{};
  const TFilterOptions partialAnyCase{foCaseInsensitive};
  const struct {
    std::string filter;
    TFilterOptions options;
    bool handed;  // SQL restricts the records (else the engine alone decides)
  } cases[] = {
      // Numbers, Null reading as 0.
      {"Age = 30", exact, true},
      {"Age <> 30", exact, true},
      {"Age <> 0", exact, true},
      {"Age > 0", exact, true},
      {"Age >= 0", exact, true},
      {"Age < 0", exact, true},
      {"Age < 1", exact, true},
      {"Age <= 12", exact, true},
      {"Age = 0", exact, true},
      {"Age = -32768", exact, true},
      {"Score = 1.5", exact, true},
      {"Score <> 1.5", exact, true},
      {"Score > 0", exact, true},
      {"Score >= 0", exact, true},
      {"Score < 0", exact, true},
      {"Score = 0", exact, true},
      {"Score <= 2.25", exact, true},
      {"Id > 10", exact, true},
      {"Id = 10", exact, true},
      {"Id = 0", exact, true},
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
      {"Photo = NULL", exact, true},
      {"Photo <> NULL", exact, true},
      {"Id = NULL", exact, true},
      // Currency: the engine's own comparison.
      {"Pay = 12.5", exact, false},
      {"Pay > 0", exact, false},
      {"Pay < 0", exact, false},
      {"Active = 'True'", exact, false},
      // Dates to the millisecond, a time of day, before 1900, on day 0
      // (blank), a text and a number outside the calendar.
      {"Born = '" + may1 + "'", exact, true},
      {"Born > '" + may1 + "'", exact, true},
      {"Born >= '" + noon + "'", exact, true},
      {"Born > '" + noon + "'", exact, true},
      {"Born <= '" + noon + "'", exact, true},
      {"Born < '" + noon + "'", exact, true},
      {"Born = '" + noon + "'", exact, true},
      {"Born <> '" + noon + "'", exact, true},
      {"Born < '" + y1900 + "'", exact, true},
      {"Born >= '" + dec29 + "'", exact, true},
      {"Born > '" + dec29 + "' and Born < '" + y1900 + "'", exact, true},
      {"Born >= '" + may1 + "'", exact, true},
      {"Born < '" + may1 + "'", exact, true},
      {"Born <= '" + may1 + "'", exact, true},
      {"Born <> '" + may1 + "'", exact, true},
      {"Born >= '" + last + "'", exact, true},
      {"Born < '" + last + "'", exact, true},
      {"Born <> NULL and Born < '" + may1 + "'", exact, true},
      // Texts, case and partial keys.
      {"Name = 'Anna'", exact, true},
      {"Name = 'anna'", anyCase, true},
      {"Name = 'émile'", anyCase, true},
      {"Name = 'émile'", exact, true},
      {"Name = ''", exact, true},
      {"Name = ''", anyCase, true},
      {"Name <> ''", exact, true},
      {"Name = 'O''Brien'", exact, true},
      {"Name <> 'Anna'", exact, true},
      {"Name <> 'anna'", anyCase, true},
      {"Name > 'B'", exact, true},
      {"Name >= 'anna'", exact, true},
      {"Name <= ''", exact, true},
      {"Name < ''", exact, true},
      {"Name > ''", exact, true},
      {"Name <= 'Anna'", exact, true},
      {"Name < 'Anna'", exact, true},
      {"Name > 'Anna'", exact, true},
      {"Name >= 'Anna'", exact, true},
      {"Name <= 'B'", exact, true},
      {"Name = 'B'", exact, true},
      {"Name = 'ANNA'", anyCase, true},
      {"Name <> 'ANNA'", anyCase, true},
      {"Name = 'b'", anyCase, true},
      {"Name <> 'émile'", anyCase, true},
      {"Name <> 'B'", exact, true},
      {"Name = 'a'", anyCase, true},
      {"Name <> 'a'", anyCase, true},
      {"Name <> ''", anyCase, true},
      {"Name = 'annaé'", anyCase, true},
      {"Name = 'ÉMILE'", anyCase, true},
      {"Name < 'b'", anyCase, false},
      {"Name = 'An*'", partial, true},
      {"Name = 'an*'", partialAnyCase, true},
      {"Name <> 'An*'", partial, true},
      {"Name = 'É*'", partial, true},
      // A start's last character outside ASCII is left to the engine: a
      // pattern would read stray bytes after it as part of it.
      {"Name = 'é*'", partialAnyCase, false},
      {"Name = '" + std::string(90, 'x') + "'", exact, false},  // more than the field holds
      // Pattern characters are plain characters to the engine.
      {"Name = 'a*b'", anyCase, true},
      {"Name = 'a?c'", anyCase, true},
      {"Name = '[z]'", exact, true},
      {"Name = '[Z]'", anyCase, true},
      {"Name = 'a*b*'", partial, true},
      {"Name = 'A?*'", partialAnyCase, true},
      {"Name = 'Ann*'", partial, true},
      {"Name = 'B*'", partial, true},
      {"Name <> 'B*'", partial, true},
      {"Name = 'b*'", partialAnyCase, true},
      {"Name <> 'ann*'", partialAnyCase, true},
      // And/or mixes.
      {"Age = NULL and Score = 0", exact, true},
      {"Score = NULL and Active = NULL", exact, true},
      {"Age = 0 and Name = 'émile'", anyCase, true},
      {"Age = NULL or Name > 'B'", exact, true},
      {"Age = NULL or Name < 'b'", anyCase, false},
      {"Score = NULL or Age = 30", exact, true},
      {"(Age = 30 or Age = 25) and Name <> 'Carl'", exact, true},
      {"Age = 30 and (Name = 'anna' or Pay = 12.5)", anyCase, true},
      {"Pay = NULL or (Born = NULL and Age = NULL)", exact, true},
      {"Born >= '" + may1 + "' or Name = 'z'", exact, true},
      {"Age > 5 and Born <= '" + noon + "'", exact, true},
      {"not (Age = 30)", exact, false},
      {"not (Score = NULL) and Age >= 0", exact, true},
  };
  for (const char* order : {"Id", "Name, Id"}) {
    auto t = MakeTable();
    if (std::string(order) != "Id") t->SetIndexName("ByName");
    t->Open();
    auto reference = Reference(order);
    // The blobs among the names sort by their bytes in the index, where SQL
    // sorts them after every text: the table's own walk orders the answers.
    const std::vector<int> walk = WalkIds(t.get());
    EXPECT_EQ(InOrderOf(walk, WalkIds(reference.get())), walk) << "every record, in the order of " << order;
    if (std::string(order) != "Id") {
      EXPECT_TRUE(TextsRise(t.get(), "Name"));
    }
    for (const auto& c : cases) {
      std::vector<std::uint8_t> blob = BuildFilterBlob(c.filter, t.get(), c.options);
      EXPECT_EQ(c.handed, !FilterPrefilterSql(blob.data(), blob.size(), PeopleColumn).empty()) << c.filter;
      EXPECT_EQ(InOrderOf(walk, Filtered(reference.get(), c.filter, c.options)), Filtered(t.get(), c.filter, c.options))
          << c.filter << " in the order of " << order;
    }
    if (std::string(order) == "Id") {
      EXPECT_EQ(WalkIds(reference.get()), walk);
    }
  }
}

// Both ways read blank as Null or all zero: a 0, an empty text or memo, a
// large value without bytes.
TEST_F(FilterReference, BlankIsNullOrZeroEitherWay) {
  const struct {
    const char* filter;
    std::vector<int> ids;
  } cases[] = {
      {"Age = NULL", {4, 5, 7, 10, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41}},
      {"Age = NULL and Score = 0", {7, 10, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41}},
      // An empty blob and an empty text are blank, a text holding a NUL is not.
      {"Notes = NULL", {2, 3, 4, 6, 7, 9, 10, 12, 14, 28, 32, 33}},
      {"Notes <> NULL", {1,  5,  8,  11, 13, 15, 16, 17, 18, 19, 20, 21, 22, 23,
                         24, 25, 26, 27, 29, 30, 31, 34, 35, 36, 37, 38, 39, 40, 41}},
      // A number in a long binary has no size: blank, as an empty blob is.
      {"Photo <> NULL", {31, 32}},
  };
  auto t = MakeTable();
  t->Open();
  auto reference = Reference("Id");
  for (const auto& c : cases) {
    EXPECT_EQ(c.ids, Filtered(reference.get(), c.filter, {})) << c.filter;
    EXPECT_EQ(c.ids, Filtered(t.get(), c.filter, {})) << c.filter;
  }
}

// Find first/next/last/prior with the filter set but not switched on, and
// Locate inside a filter that is: the same records either way.
TEST_F(FilterReference, FindAndLocateOnAFilteredTableKeepTheEnginesAnswers) {
  const std::string noon = DateTimeToStr(EncodeDate(1990, 5, 1) + 0.5);
  const struct {
    std::string filter;
    TFilterOptions options;
  } filters[] = {
      {"Name = 'an*'", {foCaseInsensitive}},
      {"Name = 'a?c'", {foCaseInsensitive, foNoPartialCompare}},
      {"Born < '" + noon + "'", {}},
      {"Age <> 30 and Name > 'B'", {foNoPartialCompare}},
      {"Age = NULL or Born >= '" + noon + "'", {}},
  };
  // The Ids a find walk reaches, forward from the first, then back from the last.
  auto finds = [](TDataSet* d, const std::string& filter, TFilterOptions options) {
    d->SetFiltered(false);
    d->SetFilter(filter);
    d->SetFilterOptions(options);
    std::vector<int> ids;
    for (bool found = d->FindFirst(); found; found = d->FindNext()) ids.push_back(d->FieldByName("Id")->AsInteger());
    ids.push_back(-1);
    for (bool found = d->FindLast(); found; found = d->FindPrior()) ids.push_back(d->FieldByName("Id")->AsInteger());
    return ids;
  };
  // Where Locate lands inside the switched-on filter, -1 when nowhere.
  auto located = [](TDataSet* d, const char* field, const Variant& value, TLocateOptions options) {
    d->SetFiltered(true);
    int id = d->Locate(field, value, options) ? d->FieldByName("Id")->AsInteger() : -1;
    d->SetFiltered(false);
    return id;
  };
  auto t = MakeTable();
  t->Open();
  auto reference = Reference("Id");
  for (const auto& f : filters) {
    const std::vector<int> expected = finds(reference.get(), f.filter, f.options);
    EXPECT_GE(expected.size(), 3u) << f.filter;  // each filter lets a record through
    EXPECT_EQ(expected, finds(t.get(), f.filter, f.options)) << f.filter;
    for (const auto& [field, value, options] : {std::tuple{"Age", Variant(9), TLocateOptions{}},
                                                std::tuple{"Name", Variant(std::string("A")), TLocateOptions{loPartialKey}},
                                                std::tuple{"Score", Variant(Null), TLocateOptions{}}})
      EXPECT_EQ(located(reference.get(), field, value, options), located(t.get(), field, value, options))
          << f.filter << " locating " << field;
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
