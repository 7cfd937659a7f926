// Ranges on an index whose key holds a wide text field, and Locate on a
// dataset whose filter or range hides some records.

#include <gtest/gtest.h>

#include "ttbinding.h"

using namespace tttest;

namespace {

// Entries keyed on (Prog, Description): the Description key field alone is
// 200 characters, wider than any fixed key area would be.
class WideKeyTable : public ComponentFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    db.Execute(
        "CREATE TABLE Entries (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Prog LONG, "
        "Description TEXT(200), Ident TEXT(50), Kind TEXT(10), Note TEXT(200))");
    db.Execute("CREATE INDEX ByProgDesc ON Entries (Prog, Description)");
    db.Execute("CREATE INDEX ByProgIdent ON Entries (Prog, Ident)");
    db.Execute("CREATE INDEX ByDesc ON Entries (Description)");
    const char* rows[][3] = {{"1", "delta", "Bug"},     {"1", "bravo", "Feature"}, {"2", "echo", "Bug"},
                             {"1", "Bravo two", "Bug"}, {"1", "alpha", "Bug"},     {"1", "charlie", "Feature"}};
    for (auto& r : rows)
      db.Execute(std::string("INSERT INTO Entries (Prog, Description, Ident, Kind, Note) VALUES (") + r[0] +
                 ", '" + r[1] + "', '" + r[1] + "', '" + r[2] + "', '" + r[1] + "')");
  }
  std::unique_ptr<TTestTable> Open(const std::string& index) {
    auto t = MakeTable("Entries");
    t->SetIndexName(index);
    t->Open();
    return t;
  }
};

TEST_F(WideKeyTable, ARangeOnTheLeadingFieldKeepsEveryRecordInIndexOrderAndSeeksInside) {
  for (std::string index : {"ByProgDesc", "ByProgIdent"}) {
    SCOPED_TRACE(index);
    auto t = Open(index);
    t->SetRange({Variant(1)}, {Variant(1)});
    EXPECT_EQ((std::vector<std::string>{"alpha", "bravo", "Bravo two", "charlie", "delta"}),
              ColumnOf(t.get(), "Description"));
    EXPECT_TRUE(t->FindKey({Variant(1), Variant(std::string("charlie"))}));
    EXPECT_EQ("charlie", t->FieldByName("Description")->AsString());
    t->FindNearest({Variant(1), Variant(std::string("c"))});
    EXPECT_EQ("charlie", t->FieldByName("Description")->AsString());
    t->CancelRange();
    EXPECT_EQ(6u, ColumnOf(t.get(), "Description").size());
  }
}

// Locate finds only what the dataset shows; when nothing shown matches it
// says so and the current record stays.
struct LocateCase {
  const char* value;
  TLocateOptions options;
  const char* found;  // nullptr: not found
};

void ExpectLocates(TTestTable* t, const std::string& field) {
  const LocateCase cases[] = {
      {"bravo", {}, nullptr},                                       // only a hidden record matches
      {"charlie", {}, nullptr},                                     // hidden; a visible one follows it
      {"bravo", {loCaseInsensitive, loPartialKey}, "Bravo two"},    // the hidden match is passed over
      {"BRAVO TWO", {loCaseInsensitive}, "Bravo two"},
      {"delta", {}, "delta"},
      {"echo", {}, nullptr},                                        // outside the range
  };
  for (const LocateCase& c : cases) {
    SCOPED_TRACE(field + " " + c.value);
    t->First();
    bool found = t->Locate(field, Variant(std::string(c.value)), c.options);
    EXPECT_EQ(c.found != nullptr, found);
    EXPECT_EQ(c.found ? c.found : "alpha", t->FieldByName("Description")->AsString());
    if (!found) {
      t->Next();
      EXPECT_EQ("Bravo two", t->FieldByName("Description")->AsString()) << "the cursor stayed too";
    }
  }
}

TEST_F(WideKeyTable, LocateSkipsRecordsTheFilterOrRangeHides) {
  struct Path { const char* index; const char* field; Variant from, to; };
  // The dataset's own index (a seek), another index (a seek on a second
  // cursor) and a field without an index (a scan); each range leaves out "echo".
  const Variant one(1);
  for (const Path& p : {Path{"ByDesc", "Description", Variant(std::string("A")), Variant(std::string("e"))},
                        Path{"ByProgIdent", "Description", one, one}, Path{"ByProgDesc", "Note", one, one}}) {
    for (bool byEvent : {false, true}) {
      SCOPED_TRACE(std::string(p.index) + (byEvent ? " event" : " text"));
      auto t = Open(p.index);
      t->SetRange({p.from}, {p.to});
      if (byEvent)
        t->SetOnFilterRecord([](TDataSet* d, bool& accept) { accept = d->FieldByName("Kind")->AsString() == "Bug"; });
      else
        t->SetFilterText("Kind = 'Bug'");
      t->SetFiltered(true);
      ExpectLocates(t.get(), p.field);
    }
  }
}

}  // namespace
