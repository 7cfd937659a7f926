// Loading records into the Access cursor's buffer: what is resolved once per
// opened recordset (its fields, the marks read with each record) must follow
// every record read and every reopening.

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "access_testutil.h"
#include "testcursor.h"
#include "dbengine/accesstable.h"
#include "dbengine/filters.h"

using accesstest::AccessDbFixture;

namespace {
enum : std::uint16_t { fId = 1, fName, fAge };

class AccessRecordLoad : public AccessDbFixture {
 protected:
  // Another user replaces the People table by one of these columns.
  void ReplacePeopleElsewhere(const std::string& columns, const std::string& rows) {
    dao::TDatabaseCore other(path_, false, false, "");
    other.Execute("DROP TABLE People");
    other.Execute("CREATE TABLE People (" + columns + ")");
    other.Execute(rows);
  }

 public:
  // The name in a record of the cursor under test, read as a filter reads it.
  std::string NameOf(std::uint8_t* record) { return GetText(current_, record, fName); }

 protected:
  TBaseTable* current_ = nullptr;
};
}  // namespace

// The bookmark of each record read during a walk is that record's: taken with
// its values, never the one read before it, on either index.
TEST_F(AccessRecordLoad, EachRecordReadCarriesItsOwnBookmark) {
  for (const char* index : {"ByName", "PrimaryKey"}) {
    SCOPED_TRACE(index);
    TBaseTable* c = OpenTable(db_, "People", index);
    ASSERT_NE(c, nullptr);
    auto rec = Record(c);
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> seen;
    while (Engine().GetNextRecord(c, 0, rec.data(), nullptr) == 0) seen.push_back({GetText(c, rec.data(), fName), BookmarkNow(c)});
    ASSERT_EQ(3u, seen.size());
    for (auto it = seen.rbegin(); it != seen.rend(); ++it) {
      ASSERT_EQ(0, Engine().SetToBookmark(c, it->second.data()));
      ASSERT_EQ(0, Engine().GetCurrentRecord(c, 0, rec.data(), nullptr));
      EXPECT_EQ(it->first, GetText(c, rec.data(), fName));
      EXPECT_EQ(it->second, BookmarkNow(c)) << it->first;
    }
    Engine().CloseCursor(c);
  }
}

// A cursor reopened after another user replaced its table by one of fewer
// fields reads the new table's records: the fields found for the recordset it
// had are not those of the recordset it has.
TEST_F(AccessRecordLoad, AReopenedCursorReadsTheFieldsOfItsNewRecordset) {
  auto* c = static_cast<TAccessTable*>(OpenTable(db_, "People"));
  ASSERT_NE(c, nullptr);
  auto rec = Record(c);
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  EXPECT_EQ("Anna", GetText(c, rec.data(), fName));
  ReplacePeopleElsewhere("Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(20), Age SHORT",
                         "INSERT INTO People (Name, Age) VALUES ('Dora', 41)");
  c->OpenCursor();
  std::vector<std::string> names;
  DBIResult code = 0;
  while ((code = Engine().GetNextRecord(c, 0, rec.data(), nullptr)) == 0) {
    names.push_back(GetText(c, rec.data(), fName));
    EXPECT_EQ(41, Get<std::int16_t>(c, rec.data(), fAge));
  }
  EXPECT_EQ(dberr::Eof, code);
  EXPECT_EQ(std::vector<std::string>{"Dora"}, names);
}

// A reopened recordset of more fields than the cursor can describe fails
// every read alike: the second read does not go on with the fields the first
// one found before it failed.
TEST_F(AccessRecordLoad, FieldsTheCursorCannotDescribeFailEveryRead) {
  auto* c = static_cast<TAccessTable*>(OpenTable(db_, "People"));
  ASSERT_NE(c, nullptr);
  auto rec = Record(c);
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  std::string columns = "Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(20), Age SHORT";
  for (int i = 0; i < 10; ++i) columns += ", Extra" + std::to_string(i) + " TEXT(5)";
  ReplacePeopleElsewhere(columns, "INSERT INTO People (Name, Age) VALUES ('Dora', 41)");
  c->OpenCursor();
  const DBIResult first = Engine().GetNextRecord(c, 0, rec.data(), nullptr);
  EXPECT_EQ(dberr::InvalidRecStruct, first);
  ASSERT_EQ(0, Engine().SetToStart(c));
  EXPECT_EQ(first, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
}

namespace {
// Accepts every record but the one named Carl (the last by name), which no
// condition of the database can tell: the cursor's own test skips it.
std::uint16_t AllButCarl(std::intptr_t self, std::uint8_t* record, std::int32_t) {
  auto* fixture = reinterpret_cast<AccessRecordLoad*>(self);
  return fixture->NameOf(record) == "Carl" ? 0 : 1;
}
}  // namespace

// The end of a walk answers as a raised end did: EOF with its one entry on
// the error stack, the cursor past its last record (the move back finds it),
// whether the end follows the last record or the records a filter skips.
TEST_F(AccessRecordLoad, TheEndOfAWalkIsEofWithItsErrorEntry) {
  for (bool filtered : {false, true}) {
    SCOPED_TRACE(filtered ? "filtered" : "plain");
    TBaseTable* c = OpenTable(db_, "People", "ByName");
    ASSERT_NE(c, nullptr);
    current_ = c;
    TFilterListItem* filter = nullptr;
    if (filtered) {
      ASSERT_EQ(0, Engine().AddFilter(c, reinterpret_cast<std::intptr_t>(this), 1, false, nullptr, AllButCarl, filter));
      ASSERT_EQ(0, Engine().ActivateFilter(c, filter));
    }
    auto rec = Record(c);
    std::vector<std::string> names;
    while (Engine().GetNextRecord(c, 0, rec.data(), nullptr) == 0) names.push_back(GetText(c, rec.data(), fName));
    const std::vector<std::string> expected =
        filtered ? std::vector<std::string>{"Anna", "Bert"} : std::vector<std::string>{"Anna", "Bert", "Carl"};
    EXPECT_EQ(expected, names);
    ASSERT_EQ(1, Engine().ErrorStack()->Count());
    std::int32_t native = 7;
    std::string text;
    EXPECT_EQ(dberr::Eof, Engine().GetErrorText(1, native, text));
    EXPECT_EQ("DBI Error Code = DBIERR_EOF", text);
    EXPECT_EQ(0, native);
    EXPECT_EQ(dberr::Eof, Engine().GetNextRecord(c, 0, rec.data(), nullptr)) << "and stays there";
    ASSERT_EQ(0, Engine().GetPriorRecord(c, 0, rec.data(), nullptr));
    EXPECT_EQ(names.back(), GetText(c, rec.data(), fName));
    Engine().CloseCursor(c);
  }
}

namespace {
// A record's key as the field reads give it: each key field read as the
// engine reads it (blank: zeros) and cut or padded with zeros to its key width.
std::vector<std::uint8_t> KeyByFieldReads(TBaseTable* c, std::uint8_t* record) {
  std::vector<std::uint8_t> key;
  const TIndexDesc& index = c->CurrentIndex();
  for (int i = 0; i < index.KeyFieldCount; ++i) {
    TFieldCacheItem* item = c->FieldCache()->FieldByNumber(index.KeyFields[i]);
    const std::size_t width = item->Desc.KeyWidth != 0 ? item->Desc.KeyWidth : item->Desc.Length;
    std::vector<std::uint8_t> value(std::max<std::size_t>(width, item->Desc.Length) + 8, 0);
    bool blank = false;
    c->ReadFieldValue(item, record, blank, value.data());
    if (blank) std::fill(value.begin(), value.end(), 0);
    key.insert(key.end(), value.begin(), value.begin() + static_cast<std::ptrdiff_t>(width));
  }
  return key;
}
}  // namespace

// The key taken from a record is its key fields as they read, on indexes of
// every kind of key field, with blank values among them.
TEST_F(AccessRecordLoad, KeysAreTheKeyFieldsAsTheyRead) {
  ExecuteElsewhere("CREATE INDEX ByScoreBorn ON People (Score, Born)");
  ExecuteElsewhere("CREATE INDEX ByPayActive ON People (Pay, Active)");
  ExecuteElsewhere("UPDATE People SET Pay = 12.5, Active = true WHERE Name = 'Anna'");
  // On ByScoreBorn a blank date follows this one: its buffer's bytes are left from it.
  ExecuteElsewhere("UPDATE People SET Born = 36526.75 WHERE Name = 'Bert'");
  ExecuteElsewhere("UPDATE People SET Name = NULL WHERE Name = 'Carl'");
  for (const char* index : {"PrimaryKey", "ByName", "ByAgeName", "ByScoreBorn", "ByPayActive"}) {
    SCOPED_TRACE(index);
    TBaseTable* c = OpenTable(db_, "People", index);
    ASSERT_NE(c, nullptr);
    auto rec = Record(c);
    int records = 0;
    while (Engine().GetNextRecord(c, 0, rec.data(), nullptr) == 0) {
      const std::vector<std::uint8_t> expected = KeyByFieldReads(c, rec.data());
      std::vector<std::uint8_t> key(expected.size() + 16, 0xEE);
      ASSERT_EQ(0, Engine().ExtractKey(c, rec.data(), key.data()));
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(), key.begin())) << "record " << records;
      ++records;
    }
    EXPECT_EQ(3, records);
    Engine().CloseCursor(c);
  }
}

// A buffer that holds a copy of another record's image (as a dataset copies
// its record buffers about) reads that record's memo, not the memo of the
// record the cursor last read into the same buffer.
TEST_F(AccessRecordLoad, AMemoReadWholeIsTheMemoOfTheRecordTheBufferHolds) {
  enum : std::uint16_t { fNotes = 6 };
  ExecuteElsewhere("UPDATE People SET Notes = 'about Anna' WHERE Name = 'Anna'");
  ExecuteElsewhere("UPDATE People SET Notes = 'about Bert' WHERE Name = 'Bert'");
  TBaseTable* c = OpenTable(db_, "People");
  ASSERT_NE(c, nullptr);
  auto anna = Record(c), rec = Record(c);
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, anna.data(), nullptr));
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  std::string text;
  ASSERT_EQ(0, Engine().ReadWholeBlob(c, rec.data(), fNotes, text));
  EXPECT_EQ("about Bert", text);
  rec = anna;  // the buffer now holds Anna's image; the cursor stands on Bert
  ASSERT_EQ(0, Engine().ReadWholeBlob(c, rec.data(), fNotes, text));
  EXPECT_EQ("about Anna", text);
  EXPECT_EQ("Anna", GetText(c, rec.data(), fName));
  // The cursor goes on from where it stood.
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  EXPECT_EQ("Carl", GetText(c, rec.data(), fName));
  Engine().CloseCursor(c);
}
