// Another user changes the record this user stands on so that the filter no
// longer shows it; this user then edits it. The edit is on that record, shows
// it as it now stands, and what the user typed is posted there: no other
// record is touched, and afterwards the view holds only records its filter
// shows.

#include <gtest/gtest.h>

#include "ttbinding.h"

using namespace tttest;

namespace {

// Rows with Age 1, 5, 1, 2 (Ids 1 to 4); the filter shows Ids 1, 3 and 4.
class OtherUserEdits : public ComponentFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    for (int age : {1, 5, 1, 2}) db.Execute("INSERT INTO People (Name, Age) VALUES ('p', " + std::to_string(age) + ")");
  }
  std::unique_ptr<TDataSet> Open(bool query) {
    std::unique_ptr<TDataSet> d = MakePeople(query);
    d->SetFilter("Age < 3");
    d->SetFiltered(true);
    d->Open();
    return d;
  }
  // Another dataset of this program sets the record's age, as a user would.
  void OtherSetsAge(int id, int age) {
    auto other = MakeTable();
    other->SetIndexName("PrimaryKey");
    other->Open();
    ASSERT_TRUE(other->FindKey({Variant(id)}));
    other->Edit();
    other->FieldByName("Age")->SetAsInteger(age);
    other->Post();
  }
  // Id:Age:Notes of every stored row.
  std::string Stored() {
    dao::TDatabaseCore raw(path_, false, true, "");
    auto rows = raw.Conn().Prepare("SELECT Id, Age, ifnull(Notes, '') FROM People ORDER BY Id");
    std::string out;
    while (rows->Step())
      out += std::to_string(rows->ColumnInteger(0)) + ":" + std::to_string(rows->ColumnInteger(1)) + ":" +
             rows->ColumnText(2) + " ";
    return out;
  }
  static std::string Shown(TDataSet* d) {
    std::string out;
    for (d->First(); !d->Eof(); d->Next()) out += d->FieldByName("Id")->AsString() + " ";
    return out;
  }
};

TEST_F(OtherUserEdits, AnEditStaysOnTheRecordAnotherUserMovedOutOfTheFilter) {
  enum End { kPost, kLocate, kCancel };  // a Locate posts the edit first
  struct Case {
    bool query;
    int id;  // the record the user stands on; 4 is the last
    End end;
    const char* stored;
    const char* shownAfter;
  };
  const Case cases[] = {
      {false, 3, kPost, "1:1: 2:5: 3:7:typed 4:2: ", "1 4 "},
      {false, 3, kLocate, "1:1: 2:5: 3:7:typed 4:2: ", "1 4 "},
      {false, 4, kPost, "1:1: 2:5: 3:1: 4:7:typed ", "1 3 "},
      {false, 4, kLocate, "1:1: 2:5: 3:1: 4:7:typed ", "1 3 "},
      {false, 4, kCancel, "1:1: 2:5: 3:1: 4:7: ", "1 3 "},
      {true, 3, kPost, "1:1: 2:5: 3:7:typed 4:2: ", "1 4 "},
      {true, 3, kLocate, "1:1: 2:5: 3:7:typed 4:2: ", "1 4 "},
      {true, 4, kPost, "1:1: 2:5: 3:1: 4:7:typed ", "1 3 "},
      {true, 4, kCancel, "1:1: 2:5: 3:1: 4:7: ", "1 3 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.query ? "query" : "table") + ", Id " + std::to_string(c.id) + ", end " +
                 std::to_string(c.end));
    ExecuteElsewhere("UPDATE People SET Notes = NULL, Age = 1 WHERE Id <> 2");
    ExecuteElsewhere("UPDATE People SET Age = 2 WHERE Id = 4");
    auto d = Open(c.query);
    ASSERT_TRUE(d->Locate("Id", Variant(c.id), {}));
    OtherSetsAge(c.id, 7);
    try {
      d->Edit();
      EXPECT_EQ(c.id, d->FieldByName("Id")->AsInteger()) << "the edit is on the record the user is on";
      EXPECT_EQ(7, d->FieldByName("Age")->AsInteger()) << "as it now stands";
      d->FieldByName("Notes")->SetAsString("typed");
      switch (c.end) {
        case kPost: d->Post(); break;
        case kLocate: EXPECT_TRUE(d->Locate("Id", Variant(1), {})); break;
        case kCancel: d->Cancel(); break;
      }
    } catch (const Exception& e) {
      ADD_FAILURE() << e.Message();
    }
    EXPECT_EQ(dsBrowse, d->State());
    if (d->State() != dsBrowse) d->Cancel();
    EXPECT_EQ(c.stored, Stored());
    EXPECT_LT(d->FieldByName("Age")->AsInteger(), 3) << "the view stands on a record its filter shows";
    EXPECT_EQ(c.shownAfter, Shown(d.get()));
  }
}

// The same with a range for the filter: another user's change takes the
// record out of the key range (in the tracker: an entry moved to another
// program while its program's entries are shown).
TEST_F(OtherUserEdits, AnEditStaysOnTheRecordAnotherUserMovedOutOfTheRange) {
  auto t = MakeTable();
  t->SetIndexName("ByAgeName");
  t->Open();
  t->SetRange({Variant(1)}, {Variant(2)});
  ASSERT_EQ("1 3 4 ", Shown(t.get()));
  ASSERT_TRUE(t->Locate("Id", Variant(3), {}));
  OtherSetsAge(3, 7);
  t->Edit();
  EXPECT_EQ(3, t->FieldByName("Id")->AsInteger());
  t->FieldByName("Notes")->SetAsString("typed");
  t->Post();
  EXPECT_EQ("1:1: 2:5: 3:7:typed 4:2: ", Stored());
  EXPECT_EQ("1 4 ", Shown(t.get()));
}

}  // namespace
