// Another user changes a row the table stands on: what the table shows of it
// afterwards is one version of the row, and positions stay true.

#include <gtest/gtest.h>

#include "dbengine/basetable.h"
#include "dbengine/filters.h"
#include "platform/classlib/db/filterexpr.h"
#include "ttbinding.h"

using namespace tttest;

namespace {

class ChangedRows : public ComponentFixture {
 protected:
  // The first record's name and a large value as another connection on the
  // file writes them (a table-type recordset stands on it when opened).
  void RewriteElsewhere(const dao::Cell& value, const std::string& name, const char* field = "Notes") {
    dao::TDatabaseCore other(path_, false, false, "");
    auto rs = other.OpenRecordset("People", -1);
    rs->Edit();
    rs->SetValue(rs->FieldIndex("Name"), dao::Cell::MakeText(name));
    rs->SetValue(rs->FieldIndex(field), value);
    rs->Update();
  }
};

// The memo is large enough to be read only when asked for; the table moved
// onto its record before the other user wrote.
TEST_F(ChangedRows, AMemoReadLaterComesWithTheRestOfItsRow) {
  const std::string before(20000, 'o');
  const struct {
    const char* what;
    dao::Cell memo;
    const char* name;
  } cases[] = {
      {"grown", dao::Cell::MakeText(std::string(30000, 'g')), "Zoe"},
      {"shrunk", dao::Cell::MakeText(std::string(9000, 's')), "Zoe"},
      {"made small", dao::Cell::MakeText("small"), "Zoe"},
      {"emptied", dao::Cell(), "Zoe"},
      {"same size, name kept", dao::Cell::MakeText(std::string(20000, 'q')), "Anna"},
      {"untouched", dao::Cell::MakeText(before), "Anna"},
  };
  for (const auto& c : cases) {
    RewriteElsewhere(dao::Cell::MakeText(before), "Anna");
    auto t = MakeTable();
    t->SetIndexName("ByName");
    t->Open();
    ASSERT_EQ("Anna", t->FieldByName("Name")->AsString()) << c.what;
    RewriteElsewhere(c.memo, c.name);
    const std::string memo = t->FieldByName("Notes")->AsString();
    EXPECT_EQ(c.memo.text.size(), memo.size()) << c.what;
    EXPECT_TRUE(memo == c.memo.text) << c.what;
    EXPECT_EQ(c.name, t->FieldByName("Name")->AsString()) << c.what;
    t->Close();
  }
}

// Binary values are read in pieces: every piece comes from the new version.
TEST_F(ChangedRows, ABinaryValueReadLaterComesWithTheRestOfItsRow) {
  RewriteElsewhere(dao::Cell::MakeBlob(std::string(20000, '\1')), "Anna", "Photo");
  auto t = MakeTable();
  t->SetIndexName("ByName");
  t->Open();
  const std::string theirs(30000, '\2');
  RewriteElsewhere(dao::Cell::MakeBlob(theirs), "Zoe", "Photo");
  EXPECT_EQ(theirs.size(), t->FieldByName("Photo")->AsString().size());
  EXPECT_TRUE(t->FieldByName("Photo")->AsString() == theirs);
  EXPECT_EQ("Zoe", t->FieldByName("Name")->AsString());
}

// A memo read for a record buffer the cursor filled before it moved on: the
// cursor goes back to the record for it, and the buffer takes the record as
// it is now, whatever the memo's size.
TEST_F(ChangedRows, AMemoOfAnEarlierBufferComesWithTheRestOfItsRow) {
  for (const std::string& theirs : {std::string("short"), std::string(20000, 'l')}) {
    RewriteElsewhere(dao::Cell::MakeText("first"), "Anna");
    TBaseTable* cursor = OpenTable(OpenDb(), "People");
    ASSERT_NE(nullptr, cursor);
    std::vector<std::uint8_t> first(cursor->GetRecordBufferSize()), second(first.size());
    ASSERT_EQ(0, Engine().GetNextRecord(cursor, 0, first.data(), nullptr));
    ASSERT_EQ(0, Engine().GetNextRecord(cursor, 0, second.data(), nullptr));
    RewriteElsewhere(dao::Cell::MakeText(theirs), "Zoe");
    const std::uint16_t notes = 6;
    ASSERT_EQ(0, Engine().OpenBlob(cursor, first.data(), notes, 1));
    std::uint32_t size = 0;
    ASSERT_EQ(0, Engine().GetBlobSize(cursor, first.data(), notes, size));
    std::string memo(size, '\0');
    std::uint32_t read = 0;
    Engine().ReadBlob(cursor, first.data(), notes, 0, size, memo.data(), read);
    ASSERT_EQ(0, Engine().FreeBlob(cursor, first.data(), notes));
    EXPECT_EQ(theirs.size(), read);
    EXPECT_TRUE(memo == theirs) << theirs.size();
    EXPECT_EQ("Zoe", GetText(cursor, first.data(), 2)) << theirs.size();
    EXPECT_EQ("Bert", GetText(cursor, second.data(), 2));
    Engine().CloseCursor(cursor);
  }
}

// The dataset reads a memo whole once per record and keeps it with the record:
// a second read of the same record, after another user changed it, gives the
// same version of memo and row alike; the next move shows theirs. A stream
// opened before their change and read after it reads the memo with the row
// as it is at the read, never the old size with the new text.
TEST_F(ChangedRows, AMemoReadTwiceStaysWithItsRowUntilTheNextMove) {
  const std::string before(20000, 'o'), theirs(30000, 't');
  RewriteElsewhere(dao::Cell::MakeText(before), "Anna");
  auto t = MakeTable();
  t->SetIndexName("ByName");
  t->Open();
  TField* notes = t->FieldByName("Notes");
  EXPECT_TRUE(notes->AsString() == before);
  // Names that keep the record first in the index order.
  RewriteElsewhere(dao::Cell::MakeText(theirs), "Aaron");
  EXPECT_TRUE(notes->AsString() == before) << "the second read of the record";
  EXPECT_EQ("Anna", t->FieldByName("Name")->AsString());
  t->Next();
  t->Prior();
  EXPECT_EQ("Aaron", t->FieldByName("Name")->AsString());
  EXPECT_TRUE(notes->AsString() == theirs) << "after the move";

  const std::string third(9000, 'h');
  t->Next();
  t->Prior();
  std::unique_ptr<TStream> stream(t->CreateBlobStream(notes, bmRead));
  RewriteElsewhere(dao::Cell::MakeText(third), "Abe");
  EXPECT_EQ(std::int64_t(third.size()), stream->Size());
  std::string read(third.size(), '\0');
  EXPECT_EQ(std::int64_t(third.size()), stream->Read(read.data(), std::int64_t(read.size())));
  EXPECT_TRUE(read == third);
  EXPECT_EQ("Abe", t->FieldByName("Name")->AsString());
}

// A buffer holding a change not posted yet (as cached updates keep them)
// keeps it: the memo read for it is whole, and the change stays.
TEST_F(ChangedRows, ABufferWithChangesNotPostedKeepsThem) {
  RewriteElsewhere(dao::Cell::MakeText(std::string(20000, 'o')), "Anna");
  TBaseTable* cursor = OpenTable(OpenDb(), "People");
  ASSERT_NE(nullptr, cursor);
  std::vector<std::uint8_t> record(cursor->GetRecordBufferSize());
  ASSERT_EQ(0, Engine().GetNextRecord(cursor, 0, record.data(), nullptr));
  char mine[] = "Mine";
  ASSERT_EQ(0, Engine().PutField(cursor, 2, record.data(), mine));
  const std::string theirs(30000, 't');
  RewriteElsewhere(dao::Cell::MakeText(theirs), "Zoe");
  const std::uint16_t notes = 6;
  ASSERT_EQ(0, Engine().OpenBlob(cursor, record.data(), notes, 1));
  std::uint32_t size = 0;
  ASSERT_EQ(0, Engine().GetBlobSize(cursor, record.data(), notes, size));
  EXPECT_EQ(theirs.size(), size);
  ASSERT_EQ(0, Engine().FreeBlob(cursor, record.data(), notes));
  EXPECT_EQ("Mine", GetText(cursor, record.data(), 2));
  Engine().CloseCursor(cursor);
}

// Editing after such a read posts the whole text the user saw, never one cut
// to the size the record had before.
TEST_F(ChangedRows, AnEditAfterTheReadPostsTheWholeText) {
  RewriteElsewhere(dao::Cell::MakeText(std::string(20000, 'o')), "Anna");
  auto t = MakeTable();
  t->SetIndexName("ByName");
  t->Open();
  const std::string theirs(30000, 't');
  RewriteElsewhere(dao::Cell::MakeText(theirs), "Zoe");
  const std::string seen = t->FieldByName("Notes")->AsString();
  t->Edit();
  t->FieldByName("Notes")->SetAsString(seen + " and mine");
  t->Post();
  t->Close();
  dao::TDatabaseCore check(path_, false, false, "");
  auto rs = check.OpenRecordset("People", -1);
  EXPECT_EQ(theirs.size() + 9, rs->Value(rs->FieldIndex("Notes")).text.size());
  EXPECT_TRUE(rs->Value(rs->FieldIndex("Notes")).text == theirs + " and mine");
}

class LocatedPositions : public ComponentFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    db.Conn().Begin();
    for (int i = 0; i < 20; ++i)
      db.Execute("INSERT INTO People (Name, Score) VALUES ('p" + std::to_string(100 + i) + "', " +
                 std::to_string(i == 13 ? 11 : 50 + i) + ")");
    db.Conn().Commit();
  }
};

// A search without an index, as Locate makes it: a filter of the values,
// which the table hands to the database as a condition on its rows. The
// record found is the 14th; its position counts every record before it,
// also once the filter is gone.
TEST_F(LocatedPositions, ASearchWithoutAnIndexLeavesTheTruePosition) {
  auto t = MakeTable();
  t->Open();
  std::vector<std::uint8_t> blob = BuildFilterBlob("Score = 11", t.get(), {});
  TBaseTable* cursor = OpenTable(OpenDb(), "People");
  ASSERT_NE(nullptr, cursor);
  std::vector<std::uint8_t> record(cursor->GetRecordBufferSize());
  TFilterListItem* filter = nullptr;
  ASSERT_EQ(0, Engine().AddFilter(cursor, 0, 2, false, blob.data(), nullptr, filter));
  ASSERT_EQ(0, Engine().ActivateFilter(cursor, filter));
  ASSERT_EQ(0, Engine().SetToStart(cursor));
  ASSERT_EQ(0, Engine().GetNextRecord(cursor, 0, record.data(), nullptr));
  EXPECT_EQ("p113", GetText(cursor, record.data(), 2));
  ASSERT_EQ(0, Engine().DropFilter(cursor, filter));
  std::uint32_t position = 0;
  cursor->GetSequenceNumber(position);
  EXPECT_EQ(13u, position);
  ASSERT_EQ(0, Engine().GetNextRecord(cursor, 0, record.data(), nullptr));
  EXPECT_EQ("p114", GetText(cursor, record.data(), 2));
  cursor->GetSequenceNumber(position);
  EXPECT_EQ(14u, position);
}

}  // namespace
