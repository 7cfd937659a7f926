// Changes held in cached updates: each stays on the record it was made on,
// reads back as posted, memos included, and ApplyUpdates stores it whole,
// also after another user (another connection to the file) changed the
// record so that the dataset's filter no longer shows it.

#include <gtest/gtest.h>

#include "ttbinding.h"

using namespace tttest;

namespace {

// Anna 30, Bert 40, Carl 31, Dora 32 (Ids 1 to 4): "Age < 35" shows 1, 3, 4.
class CachedChanges : public ComponentFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    for (const char* row : {"'Anna', 30", "'Bert', 40", "'Carl', 31", "'Dora', 32"})
      db.Execute(std::string("INSERT INTO People (Name, Age) VALUES (") + row + ")");
  }
  enum Road { kTable, kQuery };
  static const char* Named(Road road) { return road == kTable ? "table" : "live query"; }
  std::unique_ptr<TDataSet> Open(Road road, const std::string& filter) {
    std::unique_ptr<TDataSet> d = MakePeople(road == kQuery);
    d->SetFilter(filter);
    d->SetFiltered(!filter.empty());
    d->SetCachedUpdates(true);
    d->Open();
    return d;
  }
  // The rows as written first.
  void Reset() {
    ExecuteElsewhere("UPDATE People SET Score = NULL, Notes = NULL");
    const int ages[] = {30, 40, 31, 32};
    for (int id = 1; id <= 4; ++id)
      ExecuteElsewhere("UPDATE People SET Age = " + std::to_string(ages[id - 1]) + " WHERE Id = " + std::to_string(id));
  }
  // Id:Age:Score:Notes of every stored row.
  std::string Stored() {
    dao::TDatabaseCore raw(path_, false, true, "");
    auto rows = raw.Conn().Prepare("SELECT Id, Age, ifnull(Score, ''), ifnull(Notes, '') FROM People ORDER BY Id");
    std::string out;
    while (rows->Step())
      out += std::to_string(rows->ColumnInteger(0)) + ":" + std::to_string(rows->ColumnInteger(1)) + ":" +
             rows->ColumnText(2) + ":" + rows->ColumnText(3) + " ";
    return out;
  }
  // Id:Score:Notes of every record the dataset shows.
  static std::string Shown(TDataSet* d) {
    std::string out;
    for (d->First(); !d->Eof(); d->Next())
      out += d->FieldByName("Id")->AsString() + ":" + d->FieldByName("Score")->AsString() + ":" +
             d->FieldByName("Notes")->AsString() + " ";
    return out;
  }
};

// Another user moves the record the user stands on out of the filter; the
// user's cached edit is on that record, and applying stores it there alone.
TEST_F(CachedChanges, AnEditStaysOnTheRecordAnotherUserMovedOutOfTheFilter) {
  struct Case {
    Road road;
    int id;  // the record the user stands on; 4 is the last the filter shows
    const char* stored;
  };
  const Case cases[] = {
      {kTable, 3, "1:30:: 2:40:: 3:99:7.5:typed 4:32:: "},
      {kTable, 4, "1:30:: 2:40:: 3:31:: 4:99:7.5:typed "},
      {kQuery, 3, "1:30:: 2:40:: 3:99:7.5:typed 4:32:: "},
      {kQuery, 4, "1:30:: 2:40:: 3:31:: 4:99:7.5:typed "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(Named(c.road)) + ", Id " + std::to_string(c.id));
    Reset();
    auto d = Open(c.road, "Age < 35");
    ASSERT_TRUE(d->Locate("Id", Variant(c.id), {}));
    ExecuteElsewhere("UPDATE People SET Age = 99 WHERE Id = " + std::to_string(c.id));
    try {
      d->Edit();
      EXPECT_EQ(c.id, d->FieldByName("Id")->AsInteger()) << "the edit is on the record the user is on";
      d->FieldByName("Score")->SetAsFloat(7.5);
      d->FieldByName("Notes")->SetAsString("typed");
      d->Post();
      d->ApplyUpdates();
      d->CommitUpdates();
    } catch (const Exception& e) {
      ADD_FAILURE() << e.Message();
      if (d->State() != dsBrowse) d->Cancel();
    }
    EXPECT_EQ(c.stored, Stored());
  }
}

// What the user posted reads back at once, the memo too, and applying stores
// every field of it, the memo included; a later edit of the same record
// (going on from the cached memo) and a deleted memo as well. Memos are read
// whole into the dataset's cache, or, without it, in pieces through a blob.
TEST_F(CachedChanges, PostedValuesReadBackAndApplyingStoresThemMemosIncluded) {
  struct Case {
    Road road;
    const char* filter;
    bool cacheBlobs;
  };
  const Case cases[] = {{kTable, "", true},        {kTable, "Age < 35", true}, {kQuery, "", true},
                        {kQuery, "Age < 35", true}, {kTable, "", false},        {kQuery, "Age < 35", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(Named(c.road)) + ", filter '" + c.filter + "'" + (c.cacheBlobs ? "" : ", in pieces"));
    Reset();
    ExecuteElsewhere("UPDATE People SET Notes = 'old' WHERE Id = 4");
    auto d = Open(c.road, c.filter);
    static_cast<TttBDEDataset*>(d.get())->SetCacheBlobs(c.cacheBlobs);
    ASSERT_TRUE(d->Locate("Id", Variant(3), {}));
    d->Edit();
    d->FieldByName("Score")->SetAsFloat(7.5);
    d->FieldByName("Notes")->SetAsString("typed");
    d->Post();
    EXPECT_EQ(3, d->FieldByName("Id")->AsInteger());
    EXPECT_EQ("7.5", d->FieldByName("Score")->AsString()) << "after Post";
    EXPECT_EQ("typed", d->FieldByName("Notes")->AsString()) << "after Post";
    // The record again, as a move reads it.
    ASSERT_TRUE(d->Locate("Id", Variant(4), {}));
    d->Edit();
    d->FieldByName("Notes")->Clear();
    d->Post();
    ASSERT_TRUE(d->Locate("Id", Variant(3), {}));
    EXPECT_EQ("typed", d->FieldByName("Notes")->AsString()) << "read again";
    d->Edit();
    {
      std::unique_ptr<TStream> notes(d->CreateBlobStream(d->FieldByName("Notes"), bmReadWrite));
      notes->Seek(0, soEnd);
      notes->Write(" twice", 6);
    }
    d->Post();
    const std::string shown = std::string("1:: ") + (*c.filter ? "" : "2:: ") + "3:7.5:typed twice 4:: ";
    EXPECT_EQ(shown, Shown(d.get()));
    EXPECT_EQ("1:30:: 2:40:: 3:31:: 4:32::old ", Stored()) << "nothing stored before applying";
    d->ApplyUpdates();
    d->CommitUpdates();
    EXPECT_EQ("1:30:: 2:40:: 3:31:7.5:typed twice 4:32:: ", Stored());
    EXPECT_EQ(shown, Shown(d.get())) << "after applying";
  }
}

// Records appended under cached updates are applied whole, memos included.
// The fetches read the table's own records, each with its cached change laid
// over it: a cached addition has no record there, so the walk shows it only
// once it has been applied.
TEST_F(CachedChanges, AppendedRecordsAreAppliedWholeMemosIncluded) {
  for (Road road : {kTable, kQuery}) {
    SCOPED_TRACE(Named(road));
    ExecuteElsewhere("DELETE FROM People WHERE Id > 4");
    auto d = Open(road, "");
    for (const char* name : {"Eve", "Finn"}) {
      d->Append();
      d->FieldByName("Name")->SetAsString(name);
      d->FieldByName("Age")->SetAsInteger(20);
      d->FieldByName("Notes")->SetAsString(std::string("note of ") + name);
      d->Post();
    }
    EXPECT_EQ("1:: 2:: 3:: 4:: ", Shown(d.get())) << "not yet applied";
    d->ApplyUpdates();
    d->CommitUpdates();
    dao::TDatabaseCore raw(path_, false, true, "");
    auto rows = raw.Conn().Prepare("SELECT Name, Age, Notes FROM People WHERE Id > 4 ORDER BY Name");
    std::string stored;
    while (rows->Step())
      stored += rows->ColumnText(0) + ":" + std::to_string(rows->ColumnInteger(1)) + ":" + rows->ColumnText(2) + " ";
    EXPECT_EQ("Eve:20:note of Eve Finn:20:note of Finn ", stored);
    EXPECT_TRUE(d->Locate("Name", Variant("Finn"), {})) << "found once applied";
    EXPECT_EQ("note of Finn", d->FieldByName("Notes")->AsString());
  }
}

}  // namespace
