// Ranges on an index whose key holds a wide text field.

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

}  // namespace
