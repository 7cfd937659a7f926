// Locate finds the first record the dataset shows whose values the record
// test accepts: every character of a value is its own, only the last field's
// comparison is a start of text, a blank number holds no number, changes held
// in cached updates count, and a range's end stays where the walk ends it.

#include <gtest/gtest.h>

#include "roads.h"

using namespace tttest;

namespace {

using dao::Cell;

class LocateTest : public ComponentFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    db.Execute("CREATE TABLE T (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(10), Code TEXT(10), "
               "Age SHORT, Score DOUBLE)");
    db.Execute("CREATE INDEX ByNameCode ON T (Name, Code)");
    db.Execute("CREATE INDEX ByAgeName ON T (Age, Name DESC)");
    db.Execute("CREATE INDEX ByAgeDown ON T (Age DESC, Name)");
  }
  // Rows written straight into the file: Name, Code, Age, Score.
  void Rows(const std::vector<std::vector<Cell>>& rows) {
    dao::TDatabaseCore db(path_, false, false, "");
    auto insert = db.Conn().Prepare("INSERT INTO T (Name, Code, Age, Score) VALUES (?, ?, ?, ?)");
    for (const auto& row : rows) {
      for (int i = 0; i < 4; ++i) insert->Bind(i + 1, i < int(row.size()) ? row[std::size_t(i)] : Cell());
      insert->Step();
      insert->Reset();
    }
  }
  std::unique_ptr<TTestTable> Open(const std::string& index) {
    auto t = MakeTable("T");
    t->SetIndexName(index);
    t->Open();
    return t;
  }
  // The Id Locate lands on, -1 for none.
  static int Located(TDataSet* d, const std::string& fields, const Variant& values, TLocateOptions options) {
    d->First();
    return d->Locate(fields, values, options) ? d->FieldByName("Id")->AsInteger() : -1;
  }
  static Cell Text(const char* s) { return Cell::MakeText(s); }
  static Variant V(const char* s) { return Variant(std::string(s)); }
};

// Only the last comparison of several is a start of text, and a value's
// characters are literal: a star is no pattern, in any field.
TEST_F(LocateTest, OnlyTheLastFieldOfAPartialKeyIsAStartAndStarsAreCharacters) {
  Rows({{Text("abc"), Text("x")}, {Text("a*"), Text("x")}, {Text(""), Text("x")}, {Text("ω"), Text("x")},
        {Text("ωz"), Text("ωyy")}});
  struct Case {
    const char* fields;
    Variant values;
    TLocateOptions options;
    int id;
  } cases[] = {
      {"Name;Code", VarArrayOf({V("a*"), V("x")}), {loPartialKey}, 2},
      {"Name;Code", VarArrayOf({V("a"), V("x")}), {loPartialKey}, -1},
      {"Name;Code", VarArrayOf({V("*"), V("x")}), {loPartialKey}, -1},
      {"Name;Code", VarArrayOf({V("ω*"), V("x")}), {loPartialKey, loCaseInsensitive}, -1},
      {"Name;Code", VarArrayOf({V("ωz"), V("ωy")}), {loPartialKey}, 5},
      {"Name;Code", VarArrayOf({V("Ωz"), V("ΩY")}), {loPartialKey, loCaseInsensitive}, 5},
      {"Name", V("*"), {}, -1},
      {"Name", V("a*"), {}, 2},
      {"Name", V("a*"), {loPartialKey}, 2},
      {"Name", V("ω*"), {loPartialKey}, -1},
      {"Name", V("ω"), {loPartialKey}, 4},
  };
  auto table = Open("ByNameCode");
  auto query = RecordTestRoad(path_, "T", "Name, Code, Id");
  for (const Case& c : cases) {
    EXPECT_EQ(c.id, Located(table.get(), c.fields, c.values, c.options)) << c.fields << " " << VarToStr(c.values);
    EXPECT_EQ(c.id, Located(query.get(), c.fields, c.values, c.options)) << c.fields << " " << VarToStr(c.values);
  }
}

// A blank number reads as 0 to the comparison, but holds no number: Locate
// and the search for 0 find the 0.
TEST_F(LocateTest, ANumberKeyOfZeroPassesOverABlankField) {
  Rows({{Text("none"), Text("a"), Cell()}, {Text("zero"), Text("a"), Cell::MakeInteger(0)}});
  auto table = Open("PrimaryKey");
  auto query = RecordTestRoad(path_, "T", "Id");
  for (TDataSet* d : {static_cast<TDataSet*>(table.get()), static_cast<TDataSet*>(query.get())}) {
    EXPECT_EQ(2, Located(d, "Age", Variant(0), {}));
    EXPECT_EQ(2, Located(d, "Code;Age", VarArrayOf({V("a"), Variant(0)}), {}));
    EXPECT_EQ(1, Located(d, "Age", Variant(Null), {})) << "a Null key still finds the blank";
  }
}

// Null finds a blank field and 0 finds a 0, whichever comes first, and the
// record test decides both: where the filter or the range leaves the blank
// row out, Null finds nothing, not the 0 in its place.
TEST_F(LocateTest, NullFindsTheBlankNumberAndZeroTheZeroWhateverTheOrder) {
  enum Shown { kAll, kFiltered, kRanged };
  struct Case {
    bool blankFirst;
    Shown shown;  // the filter and the range leave out the blank row
    const char* null;  // the row found: its Name, or "none"
  };
  const Case cases[] = {{true, kAll, "blank"},       {false, kAll, "blank"},   {true, kFiltered, "none"},
                        {false, kFiltered, "none"}, {true, kRanged, "none"},  {false, kRanged, "none"}};
  const std::vector<Cell> blank{Text("blank"), Text("a"), Cell()}, zero{Text("zero"), Text("a"), Cell::MakeInteger(0)};
  const auto found = [](TDataSet* d, const std::string& fields, const Variant& values) {
    d->First();
    return d->Locate(fields, values, {}) ? d->FieldByName("Name")->AsString() : std::string("none");
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.blankFirst ? "blank first" : "zero first") + ", shown " + std::to_string(c.shown));
    ExecuteElsewhere("DELETE FROM T");
    Rows(c.blankFirst ? std::vector<std::vector<Cell>>{blank, zero} : std::vector<std::vector<Cell>>{zero, blank});
    auto table = Open("ByNameCode");
    auto query = RecordTestRoad(path_, "T", "Id");
    for (TDataSet* d : {static_cast<TDataSet*>(table.get()), static_cast<TDataSet*>(query.get())}) {
      SCOPED_TRACE(d == table.get() ? "table" : "query");
      if (c.shown == kRanged && d == table.get()) {
        table->SetRange({V("zero")}, {V("zero")});
      } else if (c.shown != kAll) {
        d->SetFilter("Name = 'zero'");
        d->SetFiltered(true);
      }
      EXPECT_EQ(c.null, found(d, "Age", Variant(Null)));
      EXPECT_EQ(c.null, found(d, "Code;Age", VarArrayOf({V("a"), Variant(Null)})));
      EXPECT_EQ("zero", found(d, "Age", Variant(0)));
      EXPECT_EQ("zero", found(d, "Code;Age", VarArrayOf({V("a"), Variant(0)})));
    }
  }
}

// Locate finds what the dataset shows: a change held in cached updates.
TEST_F(LocateTest, ChangesHeldInCachedUpdatesAreFound) {
  Rows({{Text("Anna")}, {Text("Bert")}});
  auto table = Open("ByNameCode");
  table->SetCachedUpdates(true);
  ASSERT_TRUE(table->Locate("Name", V("Bert"), {}));
  table->Edit();
  table->FieldByName("Name")->SetAsString("Carl");
  table->Post();
  EXPECT_EQ(2, Located(table.get(), "Name", V("Carl"), {}));
  EXPECT_EQ(-1, Located(table.get(), "Name", V("Bert"), {}));
  table->SetFilter("Name = 'Carl'");
  table->SetFiltered(true);
  EXPECT_EQ(2, table->FieldByName("Id")->AsInteger()) << "a filter sees the change too";
  EXPECT_EQ(1, table->RecordCount());
  table->SetFiltered(false);
  table->CancelUpdates();
}

// A value only another program writes (a blob in a text column) reads as its
// bytes and sorts among the texts by them: the range holds it, Locate inside
// the range finds it, and the range's walk still ends at the first record
// past its end.
TEST_F(LocateTest, TheRangesWalkEndsWhereTheRecordsReadPastItsEnd) {
  Rows({{Cell::MakeBlob("C"), Text("x"), Cell(), Cell::MakeReal(5)},
        {Text("B"), Text("x"), Cell(), Cell::MakeReal(1)},
        {Text("F"), Text("x"), Cell(), Cell::MakeReal(1)}});
  auto table = Open("ByNameCode");
  table->SetRange({V("AB")}, {V("E")});
  std::vector<int> shown;
  for (table->First(); !table->Eof(); table->Next()) shown.push_back(table->FieldByName("Id")->AsInteger());
  EXPECT_EQ((std::vector<int>{2, 1}), shown);
  EXPECT_EQ(1, Located(table.get(), "Score", Variant(5.0), {}));
  EXPECT_EQ(2, Located(table.get(), "Score", Variant(1.0), {}));
  table->SetFilter("Score = 1");
  table->SetFiltered(true);
  std::vector<int> filtered;
  for (table->First(); !table->Eof(); table->Next()) filtered.push_back(table->FieldByName("Id")->AsInteger());
  EXPECT_EQ(std::vector<int>{2}, filtered) << "nor does a filter inside the range go past its end";
}

// A text column's values as the record test reads them decide its index's
// order on every road: a blob (which only another program stores) reads as
// its bytes, and a byte no character stands for sorts by its value, as the
// case-blind comparison reads it. Sorted as SQL sees them, the blob came
// last and the stray bytes together after every letter.
TEST_F(LocateTest, EveryRoadOrdersATextIndexByItsValuesAsRead) {
  Rows({{Cell::MakeBlob("C"), Text("x"), Cell(), Cell::MakeReal(5)},  // 1
        {Text("B"), Text("x")},                                          // 2
        {Text("F"), Text("x")},                                          // 3
        {Text("7"), Text("x")},                                          // 4
        {Text("\xC3\xA9"), Text("x")},                                    // 5: é
        {Text("\x80"), Text("x")},                                        // 6
        {Text(""), Text("x")},                                           // 7
        {Text("\xFF"), Text("x")}});                                      // 8
  auto table = Open("ByNameCode");
  const auto id = [&] { return table->Eof() ? -1 : table->FieldByName("Id")->AsInteger(); };
  std::vector<int> walk;
  for (table->First(); !table->Eof(); table->Next()) walk.push_back(id());
  EXPECT_EQ((std::vector<int>{7, 4, 2, 1, 3, 6, 5, 8}), walk) << "the sort";
  std::vector<int> back;
  for (table->Last(); !table->Bof(); table->Prior()) back.push_back(table->FieldByName("Id")->AsInteger());
  EXPECT_EQ((std::vector<int>{8, 5, 6, 3, 1, 2, 4, 7}), back) << "the sort, backwards";
  const struct {
    const char* key;
    int found;    // FindKey
    int nearest;  // FindNearest
  } keys[] = {{"c", 1, 1}, {"7", 4, 4}, {"BB", -1, 1}, {"8", -1, 2}, {"\x80", 6, 6},
              {"\xC3\xA9", 5, 5}, {"\xC3\xAA", -1, 8}, {"", 7, 7}};
  for (const auto& k : keys) {
    EXPECT_EQ(k.found, table->FindKey({V(k.key)}) ? id() : -1) << "FindKey " << k.key;
    table->FindNearest({V(k.key)});
    EXPECT_EQ(k.nearest, id()) << "FindNearest " << k.key;
  }
  table->SetRange({V("AB")}, {V("E")});
  std::vector<int> shown;
  for (table->First(); !table->Eof(); table->Next()) shown.push_back(id());
  EXPECT_EQ((std::vector<int>{2, 1}), shown) << "the range";
  EXPECT_EQ(1, Located(table.get(), "Score", Variant(5.0), {})) << "Locate inside the range";
  table->CancelRange();
  // Without the blob the database's own order walks the table: the stray
  // bytes in the same order.
  dao::TDatabaseCore(path_, false, false, "").Conn().Prepare("DELETE FROM T WHERE Id = 1")->Step();
  walk.clear();
  for (table->First(); !table->Eof(); table->Next()) walk.push_back(id());
  EXPECT_EQ((std::vector<int>{7, 4, 2, 3, 6, 5, 8}), walk) << "the database's sort";
  EXPECT_EQ(6, table->FindKey({V("\x80")}) ? id() : -1);
  table->FindNearest({V("\xC3\xAA")});
  EXPECT_EQ(8, id());
}

// A blank key reads as the empty text, which a Null text reads as too: the
// key search and a range find those records, as Locate and the filters do.
TEST_F(LocateTest, ABlankKeyFindsTheEmptyAndTheNullTexts) {
  Rows({{Text("x")}, {Text("")}, {Cell()}});
  auto table = Open("ByNameCode");
  ASSERT_TRUE(table->FindKey({V("")}));
  EXPECT_EQ(3, table->FieldByName("Id")->AsInteger());
  EXPECT_EQ(3, Located(table.get(), "Name", V(""), {}));
  table->SetRange({V("")}, {V("b")});
  std::vector<int> shown;
  for (table->First(); !table->Eof(); table->Next()) shown.push_back(table->FieldByName("Id")->AsInteger());
  EXPECT_EQ((std::vector<int>{3, 2}), shown);
}

// Locate on the index's fields reads the index's bands about the values;
// one found empty is read again once anyone has written since: a value
// another program writes (a blob) or the user's own new record is found.
TEST_F(LocateTest, ABandFoundEmptyIsReadAgainAfterAWrite) {
  Rows({{Text("a"), Text("x")}, {Text("c"), Text("x")}});
  auto table = Open("ByNameCode");
  const Variant key = VarArrayOf({V("b"), V("x")});
  EXPECT_EQ(-1, Located(table.get(), "Name;Code", key, {}));
  Rows({{Cell::MakeBlob("b"), Text("x")}});
  EXPECT_EQ(3, Located(table.get(), "Name;Code", key, {})) << "another program's blob";
  EXPECT_EQ(-1, Located(table.get(), "Name;Code", VarArrayOf({V("B"), V("y")}), {loCaseInsensitive}));
  table->Append();
  table->FieldByName("Name")->SetAsString("b");
  table->FieldByName("Code")->SetAsString("y");
  table->Post();
  EXPECT_EQ(4, Located(table.get(), "Name;Code", VarArrayOf({V("B"), V("y")}), {loCaseInsensitive}))
      << "the user's own record";
}

// Inside a range of one key (a detail's link to its master) the index narrows
// a Locate on the fields after the key's, and the walk still decides: it
// starts at the key's first record, the records past the key that read as it
// (a real, rounded) come after, and the first record past the range ends it.
// Names compare case-blind in the index's order, ascending or descending.
TEST_F(LocateTest, InARangeOfOneKeyTheIndexNarrowsAndTheWalkDecides) {
  Rows({{Text("b"), Text("x"), Cell::MakeInteger(3)},        // 1
        {Text("a"), Text("x"), Cell::MakeInteger(3)},        // 2
        {Text("B"), Text("x"), Cell::MakeInteger(3)},        // 3
        {Text("a"), Text("x"), Cell::MakeInteger(2)},        // 4
        {Text("a"), Text("x"), Cell::MakeInteger(4)},        // 5
        {Text("c"), Text("x"), Cell::MakeReal(3.2)},         // 6: past the key, read as it
        {Text("a"), Text("x"), Cell()},                      // 7
        {Cell(), Text("x"), Cell::MakeInteger(3)},           // 8
        {Text("c"), Text("x"), Cell::MakeInteger(65539)},    // 9: read as 3, far past the range
        {Text("z"), Text("x"), Cell::MakeReal(2.6)},         // 10: before the key, read as it
        {Text("d"), Text("y"), Cell::MakeInteger(3)}});      // 11
  struct Case {
    const char* fields;
    std::vector<Variant> values;
    TLocateOptions options;
    const char* byAgeName;  // (Age, Name DESC): 11 1 3 2 8, then 6
    const char* byAgeDown;  // (Age DESC, Name): 8 2 1 3 11, then 10
  };
  const Case cases[] = {
      {"Name", {V("a")}, {}, "2", "2"},
      {"Name", {V("A")}, {loCaseInsensitive}, "2", "2"},
      {"Name", {V("B")}, {}, "3", "3"},
      {"Name", {V("b")}, {loCaseInsensitive}, "1", "1"},
      {"Name", {V("c")}, {}, "6", "none"},
      {"Name", {V("z")}, {}, "none", "10"},
      {"Name", {V("A")}, {loPartialKey, loCaseInsensitive}, "2", "2"},
      {"Age;Name", {Variant(3), V("a")}, {}, "2", "2"},
      {"Age;Name", {Variant(4), V("a")}, {}, "none", "none"},
      {"Code;Name", {V("y"), V("d")}, {}, "11", "11"},
      {"Name;Score", {V("a"), Variant(Null)}, {}, "2", "2"},
  };
  auto query = RecordTestRoad(path_, "T", "Id");
  for (const char* index : {"ByAgeName", "ByAgeDown"}) {
    auto table = Open(index);
    table->SetRange({Variant(3)}, {Variant(3)});
    const std::vector<int> walk = WalkIds(table.get());
    EXPECT_EQ(std::string(index) == "ByAgeName" ? (std::vector<int>{11, 1, 3, 2, 8, 6}) : (std::vector<int>{8, 2, 1, 3, 11, 10}),
              walk) << index;
    for (const Case& c : cases) {
      const Variant values = c.values.size() == 1 ? c.values[0] : VarArrayOf(c.values);
      SCOPED_TRACE(std::string(index) + ": " + c.fields + " = " + VarToStr(c.values[0]) + "...");
      const std::string expected = std::string(index) == "ByAgeName" ? c.byAgeName : c.byAgeDown;
      EXPECT_EQ(expected, LocatedInOrder(query.get(), walk, c.fields, c.values, c.options)) << "the record test";
      table->First();
      EXPECT_EQ(expected, table->Locate(c.fields, values, c.options) ? table->FieldByName("Id")->AsString() : "none");
    }
    // A filter of the same equalities shows what the walk does.
    const std::string name = std::string(index) == "ByAgeName" ? "c" : "z";
    EXPECT_EQ(std::vector<int>{std::string(index) == "ByAgeName" ? 6 : 10},
              FilteredIds(table.get(), "Name = '" + name + "'", {})) << index;
    EXPECT_EQ(std::vector<int>{2}, FilteredIds(table.get(), "Name = 'a'", {})) << index;
    table->SetFilter("Name = 'A'");
    table->SetFilterOptions({foCaseInsensitive});
    table->SetFiltered(true);
    table->Last();
    EXPECT_EQ(2, table->FieldByName("Id")->AsInteger()) << index << ", walked back";
  }
}

// A record whose key SQL orders past the range's start but that reads before
// it (a number past its field's width wraps) is passed over by the walk, not
// taken for its end: Locate and a filter reach the records of the range after
// it, as the walk shows them.
TEST_F(LocateTest, AWalkPassesOverARecordThatReadsBeforeTheRangesStart) {
  Rows({{Text("wide"), Text("x"), Cell::MakeInteger(40000)},  // reads -25536
        {Text("text"), Text("x"), Cell::MakeText("")},         // a text: after every number, reads 0
        {Text("low"), Text("x"), Cell::MakeInteger(-1)}});
  auto table = Open("ByAgeName");
  table->SetRange({Variant(0)}, {Variant(0)});
  EXPECT_EQ(std::vector<int>{2}, WalkIds(table.get()));
  EXPECT_EQ(2, Located(table.get(), "Name", V("text"), {}));
  EXPECT_EQ(-1, Located(table.get(), "Name", V("wide"), {}));
  EXPECT_EQ(std::vector<int>{2}, FilteredIds(table.get(), "Name = 'text'", {}));
  EXPECT_EQ(std::vector<int>{2}, FilteredIds(table.get(), "Code = 'x'", {}));
}

}  // namespace
