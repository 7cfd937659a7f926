// Locate and filters on a table answer as the engine's test of each record
// does (a query's rows, every one tested), for the values another program
// may leave in the file: an index or the SQL pre-selection only narrows
// where to look. Each case names the record the engine's test finds.

#include <gtest/gtest.h>

#include <cmath>

#include "platform/classlib/core/datetime.h"
#include "platform/classlib/db/filterexpr.h"
#include "roads.h"

using namespace tttest;

namespace {

using dao::Cell;

class StoredValues : public ComponentFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    db.Execute("CREATE INDEX ByBorn ON People (Born)");
    db.Execute("CREATE TABLE Odd (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Letter TEXT(1), Num LONG)");
  }
  // Rows written straight into the file, as another program writes them.
  void Raw(const std::string& sql, const std::vector<std::vector<Cell>>& rows) {
    dao::TDatabaseCore db(path_, false, false, "");
    auto insert = db.Conn().Prepare(sql);
    for (const auto& row : rows) {
      for (std::size_t i = 0; i < row.size(); ++i) insert->Bind(int(i + 1), row[i]);
      insert->Step();
      insert->Reset();
    }
  }
  void Names(const std::vector<Cell>& names) {
    std::vector<std::vector<Cell>> rows;
    for (const Cell& name : names) rows.push_back({name});
    Raw("INSERT INTO People (Name) VALUES (?)", rows);
  }
  // The table in the order of an index, and the query in the same order.
  struct Roads {
    std::unique_ptr<TTestTable> table;
    std::unique_ptr<TTestQuery> query;
  };
  Roads Open(const std::string& table, const std::string& index, const std::string& order) {
    Roads r{MakeTable(table), RecordTestRoad(path_, table, order)};
    r.table->SetIndexName(index);
    r.table->Open();
    return r;
  }
  // The Id of the record Locate lands on, -1 for none.
  static int Located(TDataSet* d, const std::string& fields, const Variant& values, TLocateOptions options) {
    d->First();
    return d->Locate(fields, values, options) ? d->FieldByName("Id")->AsInteger() : -1;
  }
  // Expects both roads to land on the record with that Id (-1: none).
  void ExpectLocated(Roads& r, int id, const std::string& fields, const Variant& values, TLocateOptions options) {
    EXPECT_EQ(id, Located(r.query.get(), fields, values, options)) << "the record test";
    EXPECT_EQ(id, Located(r.table.get(), fields, values, options)) << "the table";
  }
  static std::vector<int> Shown(TDataSet* d, const std::string& filter, TFilterOptions options) {
    return FilteredIds(d, filter, options);
  }
  void ExpectShown(Roads& r, const std::vector<int>& ids, const std::string& filter, TFilterOptions options = {}) {
    EXPECT_EQ(ids, Shown(r.query.get(), filter, options)) << filter << ": the record test";
    EXPECT_EQ(ids, Shown(r.table.get(), filter, options)) << filter << ": the table";
  }
  static Variant Text(const char* s) { return Variant(std::string(s)); }
};

// ---- Locate through an index

TEST_F(StoredValues, ACaseSensitiveLocateNeverTrustsTheCaseBlindIndex) {
  Names({Cell::MakeText("ANNA")});
  Roads r = Open("People", "ByName", "Name, Id");
  ExpectLocated(r, -1, "Name", Text("ANNa"), {});
  ExpectLocated(r, 1, "Name", Text("ANNa"), {loCaseInsensitive});
}

TEST_F(StoredValues, ACaseSensitiveStartPassesOverTheOtherCase) {
  Names({Cell::MakeText("Abc"), Cell::MakeText("abd")});
  Roads r = Open("People", "ByName", "Name, Id");
  ExpectLocated(r, 2, "Name", Text("ab"), {loPartialKey});
  ExpectLocated(r, 1, "Name", Text("ab"), {loPartialKey, loCaseInsensitive});
}

TEST_F(StoredValues, AnEmptyTextFindsTheEmptyName) {
  Names({Cell::MakeText("x"), Cell::MakeText("")});
  {
    Roads r = Open("People", "ByName", "Name, Id");
    ExpectLocated(r, 2, "Name", Text(""), {});
    ExpectLocated(r, 1, "Name", Text("x"), {});
  }
  // A Null name reads as the empty text too, and sorts first.
  Names({Cell()});
  Roads r = Open("People", "ByName", "Name, Id");
  ExpectLocated(r, 3, "Name", Text(""), {});
}

TEST_F(StoredValues, ADateWithAFractionOfAMillisecondIsFoundOnItsDay) {
  const double day = EncodeDate(1990, 5, 1);
  // 0.4 ms past midnight reads as midnight: the engine keeps whole milliseconds.
  Raw("INSERT INTO People (Name, Born) VALUES (?, ?)",
      {{Cell::MakeText("late"), Cell::MakeReal(day + 0.0004 / 86400.0)}, {Cell::MakeText("next"), Cell::MakeReal(day + 1)}});
  Roads r = Open("People", "ByBorn", "Born, Id");
  ExpectLocated(r, 1, "Born", Variant(TDateTime(day)), {});
  ExpectLocated(r, 2, "Born", Variant(TDateTime(day + 1)), {});
}

TEST_F(StoredValues, ADateOnDayZeroIsBlankNotTheDayItself) {
  Raw("INSERT INTO People (Name, Born) VALUES (?, ?)", {{Cell::MakeText("zero"), Cell::MakeReal(0)}});
  Roads r = Open("People", "ByBorn", "Born, Id");
  ExpectLocated(r, -1, "Born", Variant(TDateTime(EncodeDate(1899, 12, 30))), {});
  ExpectLocated(r, 1, "Born", Variant(Null), {});
}

TEST_F(StoredValues, ABlankNumberIsNullNotZeroInEitherOrder) {
  Raw("INSERT INTO People (Name, Age) VALUES (?, ?)",
      {{Cell::MakeText("zero"), Cell::MakeInteger(0)}, {Cell::MakeText("none"), Cell()}});
  // By age the Null comes first, by Id the 0.
  Roads byAge = Open("People", "ByAgeName", "Age, Name DESC, Id");
  ExpectLocated(byAge, 2, "Age", Variant(Null), {});
  ExpectLocated(byAge, 1, "Age", Variant(0), {});
  Roads byId = Open("People", "PrimaryKey", "Id");
  ExpectLocated(byId, 2, "Age", Variant(Null), {});
  ExpectLocated(byId, 1, "Age", Variant(0), {});
}

// ---- The SQL pre-selection with values of another kind or size

TEST_F(StoredValues, ANumberFieldHoldingTextReadsAsZero) {
  Raw("INSERT INTO People (Name, Age, Score) VALUES (?, ?, ?)",
      {{Cell::MakeText("text"), Cell::MakeText("abc"), Cell::MakeText("abc")},
       {Cell::MakeText("five"), Cell::MakeInteger(5), Cell::MakeReal(5)}});
  Roads r = Open("People", "PrimaryKey", "Id");
  ExpectShown(r, {1}, "Age < 5");
  ExpectShown(r, {1}, "Age = 0");
  ExpectShown(r, {1}, "Score = NULL");
  ExpectShown(r, {1}, "Score < 1");
}

TEST_F(StoredValues, ANumberPastItsFieldsWidthWraps) {
  Raw("INSERT INTO People (Name, Age) VALUES (?, ?)",
      {{Cell::MakeText("wide"), Cell::MakeInteger(40000)}, {Cell::MakeText("real"), Cell::MakeReal(2.6)}});
  Raw("INSERT INTO Odd (Num) VALUES (?)", {{Cell::MakeInteger(4294967296)}, {Cell::MakeInteger(7)}});
  Roads people = Open("People", "PrimaryKey", "Id");
  ExpectShown(people, {1}, "Age < 0");  // 40000 reads as -25536
  ExpectShown(people, {2}, "Age = 3");  // 2.6 reads rounded
  Roads odd = Open("Odd", "PrimaryKey", "Id");
  ExpectShown(odd, {1}, "Num = 0");
  ExpectShown(odd, {1}, "Num = NULL");
}

TEST_F(StoredValues, ARowNumberPastTheCountersWidthWraps) {
  Raw("INSERT INTO Odd (Id, Num) VALUES (?, ?)",
      {{Cell::MakeInteger(4294967303), Cell::MakeInteger(1)}, {Cell::MakeInteger(9), Cell::MakeInteger(2)}});
  Roads odd = Open("Odd", "PrimaryKey", "Id");
  EXPECT_EQ((std::vector<int>{9, 7}), Shown(odd.query.get(), "Id > 0", {}));  // the record test reads 7
  ExpectShown(odd, {7}, "Id = 7");
  ExpectShown(odd, {9}, "Id = 9");
}

TEST_F(StoredValues, AStartOfTextComparesBytesNotCharacters) {
  // "é" and a stray byte no character stands for.
  Names({Cell::MakeText("\xC3\xA9\xA9"), Cell::MakeText("\xC3\xA9tude")});
  Roads r = Open("People", "PrimaryKey", "Id");
  ExpectShown(r, {1, 2}, "Name = 'é*'");
  ExpectShown(r, {1, 2}, "Name = 'É*'", {foCaseInsensitive});
  ExpectShown(r, {}, "Name <> 'é*'");
}

TEST_F(StoredValues, ATextLongerThanItsFieldIsCutToTheField) {
  // One character to SQL (a lead byte and five continuation bytes), six
  // bytes to the engine, which keeps none of them in a field of one.
  Raw("INSERT INTO Odd (Letter) VALUES (?)",
      {{Cell::MakeText("\xC3\x80\x80\x80\x80\x80")}, {Cell::MakeText("a")}, {Cell::MakeText("")}});
  Roads r = Open("Odd", "PrimaryKey", "Id");
  ExpectShown(r, {1, 3}, "Letter = ''");
  ExpectShown(r, {1, 3}, "Letter = NULL");
  ExpectShown(r, {1, 3}, "Letter < 'a'");
  EXPECT_EQ(1, Located(r.table.get(), "Letter", Text(""), {}));
}

// ---- Case in every script

TEST_F(StoredValues, AnyCaseFoldsEveryLetterOnEveryRoad) {
  Names({Cell::MakeText("Émile"), Cell::MakeText("Özlem"), Cell::MakeText("émile"), Cell::MakeText("Emile")});
  Roads r = Open("People", "ByName", "Name, Id");
  ExpectShown(r, {1, 3}, "Name = 'ÉMILE'", {foCaseInsensitive, foNoPartialCompare});
  ExpectShown(r, {1, 3}, "Name = 'ém*'", {foCaseInsensitive});
  ExpectShown(r, {4, 2}, "Name <> 'émile'", {foCaseInsensitive, foNoPartialCompare});
  ExpectLocated(r, 2, "Name", Text("öz"), {loCaseInsensitive, loPartialKey});
  ExpectLocated(r, 1, "Name", Text("éMILE"), {loCaseInsensitive});
  EXPECT_TRUE(r.table->FindKey({Text("ÖZLEM")})) << "the case-blind index seeks it";
  EXPECT_EQ(2, r.table->FieldByName("Id")->AsInteger());
}

}  // namespace
