// The Access cursor over a real database file, through the call layer.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "access_testutil.h"
#include "testcursor.h"
#include "platform/classlib/core/currency.h"
#include "dbengine/accessblob.h"
#include "dbengine/accesserrors.h"
#include "dbengine/accesslists.h"
#include "dbengine/daowrappers.h"

using accesstest::AccessDbFixture;
using accesstest::AccessFixture;
using testing_engine::MakeField;
using testing_engine::UntilTheEnd;

namespace {
enum : std::uint16_t { fId = 1, fName, fAge, fScore, fBorn, fNotes, fPhoto, fPay, fActive };

class AccessCursorTest : public AccessDbFixture {
 protected:
  // The first value of the first row a query gives, read past the engine.
  dao::Cell Stored(const std::string& sql) {
    dao::TDatabaseCore check(path_, false, true, "");
    auto rs = check.OpenRecordset(sql, 0);
    rs->MoveFirst();
    return rs->Value(0);
  }
  void StoreQuery(const std::string& name, const std::string& sql) {
    dao::TDatabaseCore other(path_, false, false, "");
    other.CreateQueryDef(name, sql);
  }
  // A text field of every row of a cursor.
  std::vector<std::string> TextsOf(TBaseTable* c, std::uint16_t field = 1) {
    auto rec = Record(c);
    std::vector<std::string> texts;
    while (Engine().GetNextRecord(c, 0, rec.data(), nullptr) == 0) texts.push_back(GetText(c, rec.data(), field));
    return texts;
  }
  // Limits a cursor on index ByAgeName to the rows of one age.
  DBIResult RangeOfAge(TBaseTable* c, std::int16_t age) {
    auto start = Record(c), end = Record(c);
    Engine().InitRecord(c, start.data());
    Engine().InitRecord(c, end.data());
    Engine().PutField(c, fAge, start.data(), &age);
    Engine().PutField(c, fAge, end.data(), &age);
    return Engine().SetRange(c, false, 1, 0, start.data(), true, 1, 0, end.data(), true);
  }
};

class EmptyTableTest : public AccessCursorTest {
 protected:
  void Populate(dao::TDatabaseCore&) override {}
};
}  // namespace

TEST_F(AccessCursorTest, WalksForwardAndBackwardAndReportsTheEnds) {
  TBaseTable* c = OpenTable(db_, "People");
  ASSERT_NE(c, nullptr);
  auto rec = Record(c);
  EXPECT_EQ(TextsOf(c, fName), (std::vector<std::string>{"Anna", "Bert", "Carl"}));
  EXPECT_EQ(dberr::Eof, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  ASSERT_EQ(0, Engine().GetPriorRecord(c, 0, rec.data(), nullptr));
  EXPECT_EQ("Carl", GetText(c, rec.data(), fName));
  ASSERT_EQ(0, Engine().SetToStart(c));
  EXPECT_EQ(dberr::Bof, Engine().GetPriorRecord(c, 0, rec.data(), nullptr));
}

TEST_F(EmptyTableTest, FirstOfAnEmptyTableIsTheEndAndLastIsTheBeginning) {
  auto* c = static_cast<TAccessTable*>(OpenTable(db_, "People"));
  EXPECT_EQ(dberr::Eof, testing_engine::EngineCode([&] { c->MoveToFirst(); }));
  EXPECT_EQ(dberr::Bof, testing_engine::EngineCode([&] { c->MoveToLast(); }));
}

TEST_F(AccessCursorTest, NullAndBlankRulesOfEachType) {
  TBaseTable* c = OpenTable(db_, "People");
  auto rec = Record(c);
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));  // Anna: Score 1.5, rest null
  bool blank = false;
  EXPECT_EQ(1.5, Get<double>(c, rec.data(), fScore, &blank));
  EXPECT_FALSE(blank);
  EXPECT_EQ(0, Get<std::int16_t>(c, rec.data(), fAge, &blank) - 30);
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));  // Bert: Score null
  Get<double>(c, rec.data(), fScore, &blank);
  EXPECT_TRUE(blank) << "a Null Double reads blank";
  Get<double>(c, rec.data(), fPay, &blank);
  EXPECT_TRUE(blank) << "a Null Currency reads blank";
  Get<double>(c, rec.data(), fBorn, &blank);
  EXPECT_TRUE(blank) << "a date of 0 reads blank";
  Get<std::int16_t>(c, rec.data(), fActive, &blank);
  EXPECT_FALSE(blank) << "Booleans are never blank";
  Get<std::int32_t>(c, rec.data(), fNotes, &blank);
  EXPECT_TRUE(blank) << "an empty memo is blank";
}

TEST_F(AccessCursorTest, InsertsModifiesAndDeletesWithTypedValues) {
  TBaseTable* c = OpenTable(db_, "People");
  auto rec = Record(c);
  ASSERT_EQ(0, Engine().InitRecord(c, rec.data()));
  char name[] = "Dora";
  std::int16_t age = 41;
  double pay = 12.3456;
  std::int16_t active = 1;
  double born = TimeStampToMSecs(DateTimeToTimeStamp(EncodeDate(1999, 12, 31) + EncodeTime(13, 14, 15, 0)));
  ASSERT_EQ(0, Engine().PutField(c, fName, rec.data(), name));
  ASSERT_EQ(0, Engine().PutField(c, fAge, rec.data(), &age));
  ASSERT_EQ(0, Engine().PutField(c, fPay, rec.data(), &pay));
  ASSERT_EQ(0, Engine().PutField(c, fActive, rec.data(), &active));
  ASSERT_EQ(0, Engine().PutField(c, fBorn, rec.data(), &born));
  ASSERT_EQ(0, Engine().InsertRecord(c, 0, rec.data()));
  // The cursor stands on the new record, whose counter came from the database.
  auto got = Record(c);
  ASSERT_EQ(0, Engine().GetCurrentRecord(c, 0, got.data(), nullptr));
  EXPECT_EQ("Dora", GetText(c, got.data(), fName));
  EXPECT_EQ(4, Get<std::int32_t>(c, got.data(), fId));
  EXPECT_DOUBLE_EQ(12.3456, Get<double>(c, got.data(), fPay));
  EXPECT_EQ(1, Get<std::int16_t>(c, got.data(), fActive));
  EXPECT_DOUBLE_EQ(born, Get<double>(c, got.data(), fBorn));

  ASSERT_EQ(0, Engine().GetCurrentRecord(c, 1, got.data(), nullptr));  // locks for editing
  char empty[] = "";
  ASSERT_EQ(0, Engine().PutField(c, fName, got.data(), empty));
  ASSERT_EQ(0, Engine().ModifyRecord(c, got.data(), 1));
  EXPECT_TRUE(Stored("SELECT Name FROM People WHERE Id = 4").IsNull()) << "an empty text is stored as Null";
  ASSERT_EQ(0, Engine().GetCurrentRecord(c, 0, got.data(), nullptr));
  EXPECT_EQ("", GetText(c, got.data(), fName)) << "a Null text reads as an empty text";
  ASSERT_EQ(0, Engine().DeleteRecord(c, got.data()));
  std::uint32_t count = 0;
  ASSERT_EQ(0, Engine().QueryRecordCount(c, count));
  EXPECT_EQ(3u, count);
}

// After a post the record's bookmark carries its key as stored: kept from
// the edit while the key fields stay as they were, taken afresh once they
// change, so that the fall-back after the record vanishes starts from it.
TEST_F(AccessCursorTest, ABookmarkAfterAPostCarriesTheKeyAsPosted) {
  TBaseTable* c = OpenTable(db_, "People", "ByName");
  auto rec = Record(c);
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));  // Bert
  auto postBert = [&](std::uint16_t field, const void* value) {
    ASSERT_EQ(0, Engine().GetCurrentRecord(c, 1, rec.data(), nullptr));
    ASSERT_EQ(0, Engine().PutField(c, field, rec.data(), value));
    ASSERT_EQ(0, Engine().ModifyRecord(c, rec.data(), 1));
  };
  std::int16_t age = 41;
  postBert(fAge, &age);
  auto kept = BookmarkNow(c);
  ASSERT_EQ(0, Engine().SetToBookmark(c, kept.data()));
  EXPECT_EQ(kept, BookmarkNow(c)) << "read afresh, the key is the same";
  char renamed[] = "Abe";
  postBert(fName, renamed);
  auto afterRename = BookmarkNow(c);
  ASSERT_EQ(0, Engine().SetToBookmark(c, afterRename.data()));
  EXPECT_EQ(afterRename, BookmarkNow(c));
  ExecuteElsewhere("DELETE FROM People WHERE Name = 'Abe'");
  ASSERT_EQ(0, Engine().SetToBookmark(c, afterRename.data()));
  ASSERT_EQ(0, Engine().GetCurrentRecord(c, 0, rec.data(), nullptr));
  EXPECT_EQ("Anna", GetText(c, rec.data(), fName)) << "the record after Abe, not after Bert";
}

TEST_F(AccessCursorTest, SeeksOnTheActiveIndex) {
  auto* c = static_cast<TAccessTable*>(OpenTable(db_, "People", "ByAgeName"));
  ASSERT_NE(c, nullptr);
  // Copies: the packed descriptor's members may sit unaligned.
  const TIndexDesc index = c->CurrentIndex();
  EXPECT_EQ(2, testing_engine::Val(index.KeyFieldCount));
  EXPECT_EQ(0, testing_engine::Val(index.Descending));
  EXPECT_EQ(0, testing_engine::Val(index.DescendingFields[0]));
  EXPECT_EQ(-1, testing_engine::Val(index.DescendingFields[1]));
  auto rec = Record(c);
  ASSERT_EQ(0, Engine().InitRecord(c, rec.data()));
  std::int16_t age = 30;
  ASSERT_EQ(0, Engine().PutField(c, fAge, rec.data(), &age));
  // One key of two with "=": a partial seek lands on the first 30.
  ASSERT_EQ(0, Engine().FetchRecordByKey(c, false, 1, 0, rec.data(), rec.data()));
  EXPECT_EQ("Carl", GetText(c, rec.data(), fName)) << "names descend within an age";
  age = 26;
  ASSERT_EQ(0, Engine().InitRecord(c, rec.data()));
  ASSERT_EQ(0, Engine().PutField(c, fAge, rec.data(), &age));
  EXPECT_EQ(dberr::RecNotFound, Engine().FetchRecordByKey(c, false, 1, 0, rec.data(), rec.data()));
}

// What the index list says of case is what its seeks do: a key typed in
// other case finds the stored one.
TEST_F(AccessCursorTest, TheIndexListSaysItsSeeksIgnoreCase) {
  auto* c = static_cast<TAccessTable*>(OpenTable(db_, "People", "ByName"));
  ASSERT_NE(c, nullptr);
  TIndexDesc listed{};
  ASSERT_EQ(0, Engine().GetIndexDescriptor(c, 0, listed));
  EXPECT_NE(0, testing_engine::Val(listed.CaseInsensitive));
  auto rec = Record(c);
  for (const char* typed : {"carl", "CARL", "cArL"}) {
    char key[8];
    std::snprintf(key, sizeof key, "%s", typed);
    ASSERT_EQ(0, Engine().InitRecord(c, rec.data()));
    ASSERT_EQ(0, Engine().PutField(c, fName, rec.data(), key));
    ASSERT_EQ(0, Engine().FetchRecordByKey(c, false, 1, 0, rec.data(), rec.data())) << typed;
    EXPECT_EQ("Carl", GetText(c, rec.data(), fName)) << typed;
  }
}

TEST_F(AccessCursorTest, LessOrEqualSeekStandsBeforeTheGreaterKey) {
  auto* c = static_cast<TAccessTable*>(OpenTable(db_, "People", "ByName"));
  auto rec = Record(c);
  char key[] = "Bz";
  Engine().InitRecord(c, rec.data());
  Engine().PutField(c, fName, rec.data(), key);
  c->SeekKey(keysearch::LessOrEqual, false, rec.data(), nullptr, 0, 0);
  EXPECT_EQ("Bert", GetText(c, rec.data(), fName));
  char last[] = "Zed";
  Engine().InitRecord(c, rec.data());
  Engine().PutField(c, fName, rec.data(), last);
  c->SeekKey(keysearch::LessOrEqual, false, rec.data(), nullptr, 0, 0);
  EXPECT_EQ("Carl", GetText(c, rec.data(), fName)) << "no greater key: the last record";
}

// Reading backwards from the end of a range over no records at all reaches
// the beginning, as a range that no record reaches does.
TEST_F(EmptyTableTest, PriorFromTheEndOfARangeOverNoRecordsIsTheBeginning) {
  TBaseTable* c = OpenTable(db_, "People", "ByAgeName");
  ASSERT_EQ(0, RangeOfAge(c, 30));
  Engine().SetToEnd(c);
  auto rec = Record(c);
  EXPECT_EQ(dberr::Bof, Engine().GetPriorRecord(c, 0, rec.data(), nullptr));
}

TEST_F(AccessCursorTest, RangesLimitTheRecords) {
  TBaseTable* c = OpenTable(db_, "People", "ByAgeName");
  ASSERT_EQ(0, RangeOfAge(c, 30));
  Engine().SetToStart(c);
  auto rec = Record(c);
  int n = 0;
  while (Engine().GetNextRecord(c, 0, rec.data(), nullptr) == 0) {
    EXPECT_EQ(30, Get<std::int16_t>(c, rec.data(), fAge));
    ++n;
  }
  EXPECT_EQ(2, n);
}

TEST_F(AccessCursorTest, BookmarksCompareByTheirFirstWord) {
  auto* c = static_cast<TAccessTable*>(OpenTable(db_, "People"));
  std::uint8_t a[kAccessBookmarkSize] = {}, b[kAccessBookmarkSize] = {};
  std::memcpy(a, "\x02\0\0\0", 4);
  std::memcpy(b, "\x02\0\0\0", 4);
  a[10] = 1;  // the key part is not compared
  EXPECT_EQ(0, c->CompareBookmarks(a, b));
  b[0] = 3;
  EXPECT_EQ(-1, c->CompareBookmarks(a, b));
  EXPECT_EQ(1, c->CompareBookmarks(b, a));
}

TEST_F(AccessCursorTest, EditOfARecordThatVanishedFailsInsteadOfEditingItsNeighbour) {
  TBaseTable* c = OpenTable(db_, "People", "ByName");
  auto rec = Record(c);
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));  // Bert
  std::uint8_t bookmark[kAccessBookmarkSize];
  ASSERT_EQ(0, Engine().GetBookmark(c, bookmark));
  ExecuteElsewhere("DELETE FROM People WHERE Name = 'Bert'");
  // Browsing falls back to the record after the vanished one...
  ASSERT_EQ(0, Engine().SetToBookmark(c, bookmark));
  ASSERT_EQ(0, Engine().GetCurrentRecord(c, 0, rec.data(), nullptr));
  EXPECT_EQ("Carl", GetText(c, rec.data(), fName));
  // ...but neither edit nor delete may act on it in the vanished record's name.
  ASSERT_EQ(0, Engine().SetToBookmark(c, bookmark));
  EXPECT_EQ(0x2204, Engine().GetCurrentRecord(c, 1, rec.data(), nullptr));
  ASSERT_EQ(0, Engine().SetToBookmark(c, bookmark));
  EXPECT_EQ(0x2204, Engine().DeleteRecord(c, rec.data()));
  std::uint32_t count = 0;
  Engine().QueryRecordCount(c, count);
  EXPECT_EQ(2u, count) << "Carl is still there";
  // Positioned on Carl by his own bookmark, editing works again.
  std::uint8_t carl[kAccessBookmarkSize];
  Engine().GetBookmark(c, carl);
  ASSERT_EQ(0, Engine().SetToBookmark(c, carl));
  EXPECT_EQ(0, Engine().GetCurrentRecord(c, 1, rec.data(), nullptr));
  Engine().CancelRecordChange(c, nullptr);
}

TEST_F(AccessCursorTest, MemoWrittenInPiecesIsStoredWhole) {
  TBaseTable* c = OpenTable(db_, "People");
  auto rec = Record(c);
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  ASSERT_EQ(0, Engine().GetCurrentRecord(c, 1, rec.data(), nullptr));
  ASSERT_EQ(0, Engine().OpenBlob(c, rec.data(), fNotes, kBlobReadWrite));
  ASSERT_EQ(0, Engine().WriteBlob(c, rec.data(), fNotes, 0, 6, "Hello "));
  ASSERT_EQ(0, Engine().WriteBlob(c, rec.data(), fNotes, 6, 5, "world"));
  ASSERT_EQ(0, Engine().WriteBlob(c, rec.data(), fNotes, 11, 0, nullptr));  // a zero write at the end
  std::uint32_t size = 0;
  ASSERT_EQ(0, Engine().GetBlobSize(c, rec.data(), fNotes, size));
  EXPECT_EQ(11u, size);
  ASSERT_EQ(0, Engine().ModifyRecord(c, rec.data(), 1));
  Engine().FreeBlob(c, rec.data(), fNotes);
  // Read back in pieces: the last piece ends with the end-of-blob code.
  ASSERT_EQ(0, Engine().GetCurrentRecord(c, 0, rec.data(), nullptr));
  ASSERT_EQ(0, Engine().OpenBlob(c, rec.data(), fNotes, kBlobReadOnly));
  char piece[8] = {};
  std::uint32_t read = 0;
  EXPECT_EQ(0, Engine().ReadBlob(c, rec.data(), fNotes, 0, 6, piece, read));
  EXPECT_EQ(std::string("Hello "), std::string(piece, read));
  EXPECT_EQ(dberr::EndOfBlob, Engine().ReadBlob(c, rec.data(), fNotes, 6, 8, piece, read));
  EXPECT_EQ(std::string("world"), std::string(piece, read));
  EXPECT_EQ(dberr::InvalidBlobOffset, Engine().ReadBlob(c, rec.data(), fNotes, 12, 8, piece, read));
  // Read by parts, the end is told apart and leaves the error stack alone;
  // a failure still goes there.
  Engine().ErrorStack()->Clear();
  bool end = true;
  EXPECT_EQ(0, Engine().ReadBlobPart(c, rec.data(), fNotes, 0, 6, piece, read, end));
  EXPECT_FALSE(end);
  EXPECT_EQ(std::string("Hello "), std::string(piece, read));
  EXPECT_EQ(0, Engine().ReadBlobPart(c, rec.data(), fNotes, 6, 8, piece, read, end));
  EXPECT_TRUE(end);
  EXPECT_EQ(std::string("world"), std::string(piece, read));
  EXPECT_EQ(0, Engine().ErrorStack()->Count());
  EXPECT_EQ(dberr::InvalidBlobOffset, Engine().ReadBlobPart(c, rec.data(), fNotes, 12, 8, piece, read, end));
  EXPECT_EQ(1, Engine().ErrorStack()->Count());
  EXPECT_EQ(dberr::ReadOnlyFld, Engine().WriteBlob(c, rec.data(), fNotes, 0, 1, "x"));
  Engine().FreeBlob(c, rec.data(), fNotes);
}

// Reopening a cursor closes the blobs open on it: they read through the
// recordset it replaces. The record read again opens its blob anew.
TEST_F(AccessCursorTest, ReopeningACursorClosesItsOpenBlobs) {
  TBaseTable* c = OpenTable(db_, "People");
  auto rec = Record(c);
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  ASSERT_EQ(0, Engine().OpenBlob(c, rec.data(), fNotes, kBlobReadOnly));
  c->OpenCursor();
  char piece[8] = {};
  std::uint32_t read = 0;
  const DBIResult notOpened = 0x2A03;
  EXPECT_EQ(notOpened, Engine().ReadBlob(c, rec.data(), fNotes, 0, sizeof piece, piece, read));
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  ASSERT_EQ(0, Engine().OpenBlob(c, rec.data(), fNotes, kBlobReadOnly));
  std::uint32_t size = 1;
  EXPECT_EQ(0, Engine().GetBlobSize(c, rec.data(), fNotes, size));
  EXPECT_EQ(0u, size);
  EXPECT_EQ(0, Engine().FreeBlob(c, rec.data(), fNotes));
}

// A memo read while browsing leaves its blob open on the record buffer; the
// edit that starts on that buffer closes it, so the memo opens for writing.
TEST_F(AccessCursorTest, ABlobLeftOpenWhileBrowsingGivesWayToTheEdit) {
  TBaseTable* c = OpenTable(db_, "People");
  auto rec = Record(c);
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  ASSERT_EQ(0, Engine().OpenBlob(c, rec.data(), fNotes, kBlobReadOnly));
  ASSERT_EQ(0, Engine().GetCurrentRecord(c, 1, rec.data(), nullptr));
  ASSERT_EQ(0, Engine().OpenBlob(c, rec.data(), fNotes, kBlobReadWrite));
  ASSERT_EQ(0, Engine().WriteBlob(c, rec.data(), fNotes, 0, 7, "written"));
  ASSERT_EQ(0, Engine().ModifyRecord(c, rec.data(), 1));
  Engine().FreeBlob(c, rec.data(), fNotes);
  EXPECT_EQ("written", Stored("SELECT Notes FROM People WHERE Name = 'Anna'").text);
}

TEST_F(AccessCursorTest, LongBinaryEmptyWriteIsBlankAndBlocksAreKept) {
  TBaseTable* c = OpenTable(db_, "People");
  auto rec = Record(c);
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  ASSERT_EQ(0, Engine().GetCurrentRecord(c, 1, rec.data(), nullptr));
  ASSERT_EQ(0, Engine().OpenBlob(c, rec.data(), fPhoto, kBlobReadWrite));
  ASSERT_EQ(0, Engine().WriteBlob(c, rec.data(), fPhoto, 0, 0, nullptr));
  bool blank = false;
  Engine().GetFieldIsBlank(c, fPhoto, rec.data(), blank);
  EXPECT_TRUE(blank);
  std::string data(10000, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  ASSERT_EQ(0, Engine().WriteBlob(c, rec.data(), fPhoto, 0, static_cast<std::uint32_t>(data.size()), data.data()));
  ASSERT_EQ(0, Engine().ModifyRecord(c, rec.data(), 1));
  Engine().FreeBlob(c, rec.data(), fPhoto);
  EXPECT_EQ(Stored("SELECT Photo FROM People WHERE Name = 'Anna'").text, data);
}

TEST_F(AccessCursorTest, MissingTableIsTheEnginesNoSuchTable) {
  TBaseTable* c = nullptr;
  EXPECT_EQ(dberr::NoSuchTable, Engine().OpenTable(db_, "Nowhere", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, c));
  std::int32_t native = 0;
  std::string text;
  Engine().GetErrorText(1, native, text);
  EXPECT_EQ(3078, native & 0xFFFF);
  EXPECT_EQ("Access Status 3078", text.substr(0, 18));
}

TEST(AccessErrors, DaoNumbersMapToEngineCodes) {
  EXPECT_EQ(dberr::NoCurrRec, MapDaoErrorNumber(3021));
  EXPECT_EQ(dberr::InvalidPassword, MapDaoErrorNumber(3031));
  EXPECT_EQ(dberr::NoSuchTable, MapDaoErrorNumber(3078));
  EXPECT_EQ(dberr::NoDiskSpace, MapDaoErrorNumber(3026));  // the engine's own full disk
  EXPECT_EQ("DBIERR_NODISKSPACE", EngineErrorText(dberr::NoDiskSpace, 255));
  EXPECT_EQ(3022, MapDaoErrorNumber(3022));
  EXPECT_NO_THROW(DaoCheck(static_cast<HRESULT>(0x800A0000)));  // low word zero: success
}

// ---- List tables

TEST_F(AccessCursorTest, TableListHidesSystemTablesByNameAnywhere) {
  ExecuteElsewhere("CREATE TABLE MyMSysNotes (A LONG)");
  TBaseTable* list = nullptr;
  static_cast<TAccessDatabase*>(db_)->OpenTableList(nullptr, 0, list);
  std::vector<std::uint8_t> row(kTableListRowSize);
  std::vector<std::string> names;
  UntilTheEnd([&] {
    list->GetNextRecord(0, row.data(), nullptr);
    names.push_back(reinterpret_cast<char*>(row.data()));
  });
  EXPECT_NE(std::find(names.begin(), names.end(), "People"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), "MyMSysNotes"), names.end());
  // The store's own bookkeeping tables are no tables of the database.
  for (const std::string& name : names) EXPECT_NE(0u, name.rfind("sqlite_", 0)) << name;
  delete list;
}

TEST_F(AccessCursorTest, FieldRowsCarryOffsetsLengthsAndTypes) {
  TBaseTable* list = nullptr;
  static_cast<TAccessDatabase*>(db_)->OpenFieldList("People", nullptr, false, list);
  std::vector<TFieldDesc> rows;
  TFieldDesc d{};
  UntilTheEnd([&] {
    list->GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&d), nullptr);
    rows.push_back(d);
  });
  delete list;
  ASSERT_EQ(9u, rows.size());
  EXPECT_EQ(fldtype::Int32, rows[0].FieldType);
  EXPECT_EQ(0, rows[0].Offset);
  EXPECT_EQ(4, rows[0].Length);
  EXPECT_EQ(fldtype::ZString, rows[1].FieldType);
  EXPECT_EQ(20, rows[1].Units1);
  EXPECT_EQ(4, rows[1].Offset);
  EXPECT_GE(rows[1].Length, 21) << "room for twenty characters and the terminator";
  EXPECT_EQ(rows[1].Offset + rows[1].Length, rows[2].Offset);
  EXPECT_EQ(22, rows[5].SubType);
  EXPECT_EQ(23, rows[6].SubType);
  EXPECT_EQ(fldtype::Float, rows[7].FieldType);
  EXPECT_EQ(fldtype::Bool, rows[8].FieldType);
}

// ---- Engine creation and sessions

TEST_F(AccessFixture, EngineCreationFailureIsReportedNotRaised) {
  DaoUnregisterServer();
  TDAOEngine engine(true, true);
  EXPECT_EQ(0, engine.Ready);
  EXPECT_EQ("DAO.DBEngine CLSIDFromProgID Error", engine.ErrorText);
  DaoRegisterServer();
  TDAOEngine good(false, true);
  EXPECT_EQ(-1, good.Ready);
  EXPECT_TRUE(good.ErrorText.empty());
}

TEST_F(AccessFixture, WrappersCarryTheInterfaceSetOfTheirEngine) {
  TDAOEngine older(false, false);
  TDAOEngine newer(true, true);
  ASSERT_EQ(-1, older.Ready) << older.ErrorText;
  ASSERT_EQ(-1, newer.Ready) << newer.ErrorText;
  // Two engines side by side: neither one's choice leaks into the other's wrappers.
  std::unique_ptr<TDAOErrors> olderErrors(older.Errors());
  std::unique_ptr<TDAOErrors> newerErrors(newer.Errors());
  EXPECT_FALSE(olderErrors->Interfaces.UseDAO35);
  EXPECT_FALSE(olderErrors->Interfaces.UseWideInterfaces);
  EXPECT_TRUE(newerErrors->Interfaces.UseDAO35);
  EXPECT_TRUE(newerErrors->Interfaces.UseWideInterfaces);
  older.BeginTrans();
  older.CommitTrans();  // the older server's form of the call
  EXPECT_EQ(0, older.Status);
}

TEST_F(AccessFixture, PreferenceForAMissingVersionLeavesTheEngineUninitialised) {
  accesstest::SetClassKey("\\DAO.DBEngine.35", false);
  {
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    reg.OpenKey(std::string(kAccessRegistryPath) + "\\Configuration\\DAO", true);
    reg.WriteInteger("VersionPreference", 35);
  }
  TVirtEng engine(accesstest::AccessSessionClass());
  EXPECT_EQ(dberr::NotInitialized, engine.StartResult());
  EXPECT_EQ(nullptr, SharedDAOEngine());
}

TEST_F(AccessFixture, FailedEngineCreationCanBeRetried) {
  DaoUnregisterServer();
  EXPECT_THROW(TAccessSession(nullptr, nullptr, "A", nullptr), EMorvaEngineError);
  DaoRegisterServer();
  TAccessSession session(nullptr, nullptr, "B", nullptr);
  ASSERT_NE(nullptr, SharedDAOEngine());
  EXPECT_EQ(1, SharedDAOEngineUseCount());
}

TEST_F(AccessFixture, WithoutPreferenceTheOlderServerServesWhenAlone) {
  accesstest::SetClassKey("\\DAO.DBEngine.35", false);
  TAccessSession session(nullptr, nullptr, "A", nullptr);
  ASSERT_NE(nullptr, SharedDAOEngine());
  EXPECT_FALSE(SharedDAOEngine()->Interfaces.UseDAO35);
  EXPECT_EQ(-1, SharedDAOEngine()->Ready);
}

TEST_F(AccessFixture, AliasKeyGivesTheOpenModes) {
  {
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    reg.OpenKey(std::string(kAccessRegistryPath) + "\\Aliases\\Test.MDB", true);
    reg.WriteInteger("OpenMode", 1);
  }
  TAccessSession session(nullptr, nullptr, "A", nullptr);
  TDatabaseDesc desc{};
  std::strcpy(desc.Name, "Test.MDB");
  std::strncpy(desc.PhysicalPath, path_.c_str(), sizeof desc.PhysicalPath - 1);
  {
    TAccessDatabase db(&session, desc, 0, 0, "", 0, nullptr, nullptr);
    EXPECT_EQ(1, db.OpenMode());
    EXPECT_EQ(0, db.ShareMode());
    EXPECT_TRUE(db.ConnectOptions.empty());
  }
  TAccessDatabase given(&session, desc, 0, 1, "", 0, nullptr, nullptr);
  EXPECT_EQ(0, given.OpenMode()) << "given modes are not replaced";
}

// ---- Statements

TEST(AccessStatements, LiteralsCannotBreakTheStatement) {
  char text[] = "O'Brien";
  EXPECT_EQ("'O''Brien'", AccessParameterLiteral(fldtype::ZString, text, sizeof text));
  double x = 1.25;
  EXPECT_EQ("1.25", AccessParameterLiteral(fldtype::Float, &x, 8));
  double stamp = TimeStampToMSecs(DateTimeToTimeStamp(EncodeDate(2024, 2, 29) + EncodeTime(8, 5, 9, 0)));
  EXPECT_EQ("#2/29/2024 08:05:09#", AccessParameterLiteral(fldtype::TimeStamp, &stamp, 8));
  std::int32_t day = DateTimeToTimeStamp(EncodeDate(2001, 1, 2)).Date;
  EXPECT_EQ("#1/2/2001#", AccessParameterLiteral(fldtype::Date, &day, 4));
  std::int16_t yes = 1;
  EXPECT_EQ("TRUE", AccessParameterLiteral(fldtype::Bool, &yes, 2));
}

TEST_F(AccessCursorTest, PositionalParametersAndWildcardsReachTheDatabase) {
  TSqlStmt* stmt = nullptr;
  ASSERT_EQ(0, Engine().AllocateStatement(db_, 2, stmt));
  ASSERT_EQ(0, Engine().PrepareStatement(stmt, "SELECT Name FROM People WHERE Name LIKE 'B%' OR Name = ?"));
  EXPECT_NE(std::string::npos, stmt->StatementText().find("LIKE 'B*'"));
  struct {
    char name[8];
    std::int16_t nullFlag;
  } values{"O'? x", 0};
  TFieldDesc d = MakeField(1, "", fldtype::ZString, 0, 8);
  ASSERT_EQ(0, Engine().BindParameters(stmt, 1, &d, &values));
  EXPECT_NE(std::string::npos, stmt->StatementText().find("'O''? x'"));
  TBaseTable* c = nullptr;
  ASSERT_EQ(0, Engine().ExecuteStatement(stmt, &c));
  ASSERT_NE(c, nullptr);
  std::vector<std::uint8_t> rec(c->GetRecordBufferSize());
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  EXPECT_EQ("Bert", GetText(c, rec.data(), 1));
  EXPECT_EQ(dberr::Eof, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  Engine().CloseCursor(c);
  Engine().FreeStatement(stmt);
}

// A parameter of a type without a literal of its own never lets the next
// parameter's value slide into its place.
TEST_F(AccessCursorTest, EveryParameterTypeKeepsItsPlace) {
  TSqlStmt* stmt = nullptr;
  ASSERT_EQ(0, Engine().AllocateStatement(db_, 2, stmt));
  ASSERT_EQ(0, Engine().PrepareStatement(stmt, "SELECT Name FROM People WHERE Age = ? AND Name = ?"));
  struct {
    std::uint16_t age;
    char name[6];
  } values{30, "Carl"};
  TFieldDesc d[2] = {MakeField(1, "", fldtype::UInt16, 0, 2), MakeField(2, "", fldtype::ZString, 2, 6)};
  ASSERT_EQ(0, Engine().BindParameters(stmt, 2, d, &values));
  EXPECT_NE(std::string::npos, stmt->StatementText().find("Age = 30 AND Name = 'Carl'")) << stmt->StatementText();
  TBaseTable* c = nullptr;
  ASSERT_EQ(0, Engine().ExecuteStatement(stmt, &c));
  ASSERT_NE(c, nullptr);
  std::vector<std::uint8_t> rec(c->GetRecordBufferSize());
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  EXPECT_EQ("Carl", GetText(c, rec.data(), 1));
  Engine().CloseCursor(c);

  // Raw bytes have no literal: the binding fails instead of shifting the rest.
  std::uint8_t raw[8] = {1, 2, 3, 4, 'B', 'e', 'r', 0};
  TFieldDesc b[2] = {MakeField(1, "", fldtype::Bytes, 0, 4), MakeField(2, "", fldtype::ZString, 4, 4)};
  EXPECT_NE(0, Engine().BindParameters(stmt, 2, b, raw));
  Engine().FreeStatement(stmt);
}

TEST(AccessStatements, UnsignedAndDecimalParametersHaveLiterals) {
  std::uint16_t word = 65535;
  EXPECT_EQ("65535", AccessParameterLiteral(fldtype::UInt16, &word, 2));
  std::uint32_t big = 4000000000u;
  EXPECT_EQ("4000000000", AccessParameterLiteral(fldtype::UInt32, &big, 4));
  TBcd bcd;
  ASSERT_TRUE(TryPlainTextToBcd("-12.5", bcd));
  EXPECT_EQ("-12.5", AccessParameterLiteral(fldtype::BCD, &bcd, sizeof bcd));
}

// Currency is kept in ten-thousandths in 64 bits: the extremes are stored as
// themselves and a value beyond them is refused, never wrapped around.
TEST_F(AccessCursorTest, CurrencyExtremesAreStoredAndValuesBeyondRefused) {
  TBaseTable* c = OpenTable(db_, "People");
  auto rec = Record(c);
  ASSERT_EQ(0, Engine().InitRecord(c, rec.data()));
  double top = 922337203685477.5807;
  ASSERT_EQ(0, Engine().PutField(c, fPay, rec.data(), &top));
  EXPECT_GT(Get<double>(c, rec.data(), fPay), 9.2e14);
  double bottom = -922337203685477.5808;
  ASSERT_EQ(0, Engine().PutField(c, fPay, rec.data(), &bottom));
  EXPECT_LT(Get<double>(c, rec.data(), fPay), -9.2e14);
  for (double beyond : {1e16, -1e16, std::nan("")}) {
    double pay = 5;
    ASSERT_EQ(0, Engine().PutField(c, fPay, rec.data(), &pay));
    EXPECT_NE(0, Engine().PutField(c, fPay, rec.data(), &beyond)) << beyond;
    EXPECT_DOUBLE_EQ(5, Get<double>(c, rec.data(), fPay)) << "the field keeps its value";
  }
}

// An index whose key is wider than a bookmark's key area (long texts) keeps
// bookmarks within their size, and the fall-back after a deleted record still
// finds the record after it.
TEST_F(AccessCursorTest, BookmarksOfWideKeysStayWithinTheirSize) {
  {
    dao::TDatabaseCore other(path_, false, false, "");
    other.Execute("CREATE TABLE Titles (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Title TEXT(200))");
    other.Execute("CREATE INDEX ByTitle ON Titles (Title)");
    for (const char* t : {"Alpha", "Beta", "Gamma"})
      other.Execute(std::string("INSERT INTO Titles (Title) VALUES ('") + t + "')");
  }
  TBaseTable* c = OpenTable(db_, "Titles", "ByTitle");
  auto rec = Record(c);
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));  // Beta
  constexpr std::size_t kGuard = 1024;
  std::vector<std::uint8_t> first(kAccessBookmarkSize + kGuard, 0xAB);
  ASSERT_EQ(0, Engine().GetBookmark(c, first.data()));
  ASSERT_EQ(0, Engine().SetToBookmark(c, first.data()));
  std::vector<std::uint8_t> again(kAccessBookmarkSize + kGuard, 0xAB);
  ASSERT_EQ(0, Engine().GetBookmark(c, again.data()));  // read afresh, not from the kept key
  for (std::size_t i = kAccessBookmarkSize; i < again.size(); ++i) {
    ASSERT_EQ(0xAB, first[i]) << "byte " << i;
    ASSERT_EQ(0xAB, again[i]) << "byte " << i;
  }
  ExecuteElsewhere("DELETE FROM Titles WHERE Title = 'Beta'");
  std::vector<std::uint8_t> bookmark(again.begin(), again.begin() + kAccessBookmarkSize);
  ASSERT_EQ(0, Engine().SetToBookmark(c, bookmark.data()));
  ASSERT_EQ(0, Engine().GetCurrentRecord(c, 0, rec.data(), nullptr));
  std::vector<char> title(1024, 0);
  bool blank = false;
  ASSERT_EQ(0, Engine().GetField(c, 2, rec.data(), title.data(), blank));
  EXPECT_STREQ("Gamma", title.data());
}

// A transaction the database cannot begin (its file busy) is reported, not
// taken as begun.
class ShortWaitTest : public AccessCursorTest {
 protected:
  void SetUp() override {
    savedTimeout_ = dao::Connection::BusyTimeout();
    DaoSetBusyTimeout(50);  // for the connections opened here
    AccessCursorTest::SetUp();
  }
  void TearDown() override {
    AccessCursorTest::TearDown();
    DaoSetBusyTimeout(savedTimeout_);
  }
  int savedTimeout_ = 0;
};

TEST_F(ShortWaitTest, ATransactionThatCannotBeginIsAnError) {
  auto* db = static_cast<TAccessDatabase*>(db_);
  db->OpenConnection();
  dao::TDatabaseCore blocker(path_, false, false, "");
  blocker.Conn().Begin();  // holds the file's write lock
  void* transaction = nullptr;
  EXPECT_THROW(db->BeginTransaction(0, transaction), EMorvaEngineError);
  blocker.Conn().Rollback();
  EXPECT_THROW(db->EndTransaction(transaction, 2), EMorvaEngineError) << "nothing to roll back";
}

// A record too wide for the record buffer's 16-bit offsets (many long texts)
// cannot be opened, rather than laid out over itself.
TEST_F(AccessCursorTest, RecordsWiderThanTheBufferLayoutAreRefused) {
  {
    dao::TDatabaseCore other(path_, false, false, "");
    std::string sql = "CREATE TABLE Wide (F0 TEXT(255)";
    for (int i = 1; i < 70; ++i) sql += ", F" + std::to_string(i) + " TEXT(255)";
    other.Execute(sql + ")");
    other.Execute("INSERT INTO Wide (F0, F69) VALUES ('first', 'last')");
  }
  TBaseTable* c = nullptr;
  EXPECT_EQ(dberr::DriverLimit, Engine().OpenTable(db_, "Wide", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, c));
  EXPECT_EQ(nullptr, c);
}

// A currency key beyond the currency range finds nothing: it never wraps
// around onto the smallest amount.
TEST_F(AccessCursorTest, CurrencyKeysBeyondTheRangeFindNothing) {
  ExecuteElsewhere("CREATE INDEX ByPay ON People (Pay)");
  ExecuteElsewhere("UPDATE People SET Pay = -922337203685477.5808 WHERE Name = 'Anna'");
  auto* c = static_cast<TAccessTable*>(OpenTable(db_, "People", "ByPay"));
  auto rec = Record(c);
  double key = 1e19;
  EXPECT_THROW(c->SeekKey(0, true, rec.data(), reinterpret_cast<const std::uint8_t*>(&key), 0, 0),
               EMorvaEngineError);
  key = -922337203685477.5808;
  c->SeekKey(0, true, rec.data(), reinterpret_cast<const std::uint8_t*>(&key), 0, 0);
  EXPECT_EQ("Anna", GetText(c, rec.data(), fName));
}

// Emptying a table whose name holds a bracket empties that table and no other.
TEST_F(AccessCursorTest, EmptyingATableWithABracketInItsNameTouchesNoOther) {
  {
    dao::TDatabaseCore other(path_, false, false, "");
    other.Conn().Exec("CREATE TABLE \"People] WHERE [Id\" (X INTEGER)");
    other.Conn().Exec("INSERT INTO \"People] WHERE [Id\" VALUES (1)");
  }
  auto* db = static_cast<TAccessDatabase*>(db_);
  db->EmptyTable(nullptr, "People] WHERE [Id");
  dao::TDatabaseCore check(path_, false, true, "");
  EXPECT_EQ(3, check.OpenRecordset("People", -1)->RecordCount());
  EXPECT_EQ(0, check.OpenRecordset("People] WHERE [Id", -1)->RecordCount());
}

// A stored date no calendar date stands for (a damaged file) cannot stop the
// table from being read: the date reads as blank, the other fields as stored.
TEST_F(AccessCursorTest, DamagedDateValuesDoNotStopTheTable) {
  {
    dao::TDatabaseCore other(path_, false, false, "");
    other.Conn().Exec("UPDATE People SET Born = 1e12 WHERE Name = 'Bert'");
  }
  TBaseTable* c = OpenTable(db_, "People", "ByName");
  auto rec = Record(c);
  std::vector<std::string> names;
  DBIResult code = 0;
  while ((code = Engine().GetNextRecord(c, 0, rec.data(), nullptr)) == 0) {
    names.push_back(GetText(c, rec.data(), fName));
    bool blank = false;
    Get<double>(c, rec.data(), fBorn, &blank);
    EXPECT_TRUE(blank) << names.back();
  }
  EXPECT_EQ(dberr::Eof, code);
  EXPECT_EQ((std::vector<std::string>{"Anna", "Bert", "Carl"}), names);
}

// A long text parameter reaches the statement whole, however long.
TEST_F(AccessCursorTest, LongTextParametersAreNotCut) {
  TSqlStmt* stmt = nullptr;
  ASSERT_EQ(0, Engine().AllocateStatement(db_, 2, stmt));
  ASSERT_EQ(0, Engine().PrepareStatement(stmt, "UPDATE People SET Notes = ? WHERE Name = 'Anna'"));
  std::string notes(100000, 'x');
  notes.back() = 'y';
  std::uint8_t slot[sizeof(const char*) + 4] = {};
  const char* address = notes.data();
  auto length = static_cast<std::uint32_t>(notes.size());
  std::memcpy(slot, &address, sizeof address);
  std::memcpy(slot + sizeof address, &length, sizeof length);
  TFieldDesc d = MakeField(1, "", fldtype::Blob, 0, sizeof slot);
  ASSERT_EQ(0, Engine().BindParameters(stmt, 1, &d, slot));
  ASSERT_EQ(0, Engine().ExecuteStatement(stmt, nullptr));
  Engine().FreeStatement(stmt);
  const std::string stored = Stored("SELECT Notes FROM People WHERE Name = 'Anna'").text;
  EXPECT_EQ(notes.size(), stored.size());
  EXPECT_TRUE(stored == notes) << "the text arrives unchanged";
}

// Reading the memo of another record (a grid draws its other rows) while one
// record is being edited leaves that edit and its lock in place.
TEST_F(AccessCursorTest, ReadingAnotherRecordsBlobKeepsThePendingEdit) {
  ExecuteElsewhere("UPDATE People SET Notes = 'about Anna' WHERE Name = 'Anna'");
  TBaseTable* c = OpenTable(db_, "People");
  auto anna = Record(c);
  auto bert = Record(c);
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, anna.data(), nullptr));
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, bert.data(), nullptr));
  ASSERT_EQ(0, Engine().GetCurrentRecord(c, 1, bert.data(), nullptr));  // edits Bert
  std::int16_t age = 77;
  ASSERT_EQ(0, Engine().PutField(c, fAge, bert.data(), &age));
  ASSERT_EQ(0, Engine().OpenBlob(c, anna.data(), fNotes, kBlobReadOnly));
  char text[32] = {};
  std::uint32_t read = 0;
  Engine().ReadBlob(c, anna.data(), fNotes, 0, sizeof text, text, read);
  EXPECT_EQ("about Anna", std::string(text, read));
  Engine().FreeBlob(c, anna.data(), fNotes);
  ASSERT_EQ(0, Engine().ModifyRecord(c, bert.data(), 1));
  EXPECT_EQ(77, Stored("SELECT Age FROM People WHERE Name = 'Bert'").integer);
}

// A memo that cannot be read (its record deleted by another user since the
// move) is an error, not an empty text that a write would then build on.
TEST_F(AccessCursorTest, AMemoThatCannotBeReadIsAnErrorNotEmpty) {
  {
    // Large enough to be read on demand rather than with its row.
    dao::TDatabaseCore other(path_, false, false, "");
    auto update = other.Conn().Prepare("UPDATE People SET Notes = ? WHERE Name = 'Anna'");
    update->Bind(1, std::string(20000, 'a')).Step();
  }
  TBaseTable* c = OpenTable(db_, "People");
  auto rec = Record(c);
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  ExecuteElsewhere("DELETE FROM People WHERE Name = 'Anna'");
  ASSERT_EQ(0, Engine().OpenBlob(c, rec.data(), fNotes, kBlobReadOnly));
  char text[32] = {};
  std::uint32_t read = 0;
  DBIResult code = Engine().ReadBlob(c, rec.data(), fNotes, 0, sizeof text, text, read);
  EXPECT_NE(0, code);
  EXPECT_NE(dberr::EndOfBlob, code) << "read as an empty memo";
  Engine().FreeBlob(c, rec.data(), fNotes);
}

// A blank key field stands for Null: the seek finds the records whose field is
// Null, and a blank field never turns the rest of the key into a prefix.
TEST_F(AccessCursorTest, BlankKeyFieldsSeekNull) {
  ExecuteElsewhere("INSERT INTO People (Name) VALUES ('Dora')");  // Age Null
  auto* c = static_cast<TAccessTable*>(OpenTable(db_, "People", "ByAgeName"));
  auto rec = Record(c);
  char dora[] = "Dora";
  Engine().InitRecord(c, rec.data());
  Engine().PutField(c, fAge, rec.data(), nullptr);
  Engine().PutField(c, fName, rec.data(), dora);
  ASSERT_EQ(0, Engine().FetchRecordByKey(c, false, 2, 0, rec.data(), rec.data()));
  EXPECT_EQ("Dora", GetText(c, rec.data(), fName));
  std::int16_t age = 30;
  Engine().InitRecord(c, rec.data());
  Engine().PutField(c, fAge, rec.data(), &age);
  Engine().PutField(c, fName, rec.data(), nullptr);
  EXPECT_EQ(dberr::RecNotFound, Engine().FetchRecordByKey(c, false, 2, 0, rec.data(), rec.data()))
      << "nobody aged 30 has a Null name";
}

// ---- Faults mended

TEST_F(AccessCursorTest, FailedSeekReadsAsNoMatch) {
  auto* c = static_cast<TAccessTable*>(OpenTable(db_, "People", "ByAgeName"));
  auto rec = Record(c);
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  // The recordset's own index now takes one key: a seek with two fails in DAO.
  c->Recordset->SetIndex("ByName");
  std::int16_t age = 30;
  char name[] = "Carl";
  Engine().InitRecord(c, rec.data());
  Engine().PutField(c, fAge, rec.data(), &age);
  Engine().PutField(c, fName, rec.data(), name);
  EXPECT_EQ(dberr::RecNotFound, Engine().FetchRecordByKey(c, false, 2, 0, rec.data(), rec.data()));
}

// A partial key counts its whole fields and gives the length of the next
// field's start: that field takes part in the seek, cut to the length, and
// the record found must begin with it.
TEST_F(AccessCursorTest, APartialKeySeeksTheStartOfTheFieldAfterTheWholeOnes) {
  struct TCase {
    const char* index;
    std::uint16_t wholeFields;
    const char* name;
    DBIResult code;
    const char* found;
  } cases[] = {
      {"ByName", 0, "Ca", 0, "Carl"},
      {"ByName", 0, "Cx", dberr::RecNotFound, ""},
      {"ByAgeName", 1, "Carl", 0, "Carl"},  // names descending within an age
      {"ByAgeName", 1, "C", 0, "Carl"},
      {"ByAgeName", 1, "A", 0, "Anna"},
      {"ByAgeName", 1, "Bert", dberr::RecNotFound, ""},  // Bert is 25, not 30
  };
  for (const TCase& k : cases) {
    auto* c = static_cast<TAccessTable*>(OpenTable(db_, "People", k.index));
    auto rec = Record(c);
    std::int16_t age = 30;
    std::string name = k.name;
    Engine().InitRecord(c, rec.data());
    Engine().PutField(c, fAge, rec.data(), &age);
    Engine().PutField(c, fName, rec.data(), name.data());
    const auto length = static_cast<std::uint16_t>(name.size());
    EXPECT_EQ(k.code, Engine().FetchRecordByKey(c, false, k.wholeFields, length, rec.data(), rec.data())) << k.name;
    if (k.code == 0) {
      EXPECT_EQ(k.found, GetText(c, rec.data(), fName)) << k.name;
    }
    Engine().CloseCursor(c);
  }
}

TEST_F(AccessCursorTest, ChangedMemoWithoutItsBlobKeepsTheStoredText) {
  ExecuteElsewhere("UPDATE People SET Notes = 'keep me' WHERE Name = 'Anna'");
  TBaseTable* c = OpenTable(db_, "People");
  auto rec = Record(c);
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  ASSERT_EQ(0, Engine().GetCurrentRecord(c, 1, rec.data(), nullptr));
  std::uint8_t anything[16] = {1};
  ASSERT_EQ(0, Engine().PutField(c, fNotes, rec.data(), anything));  // changed, no blob open
  ASSERT_EQ(0, Engine().ModifyRecord(c, rec.data(), 1));
  EXPECT_EQ("keep me", Stored("SELECT Notes FROM People WHERE Name = 'Anna'").text);
}

TEST_F(AccessCursorTest, PendingEditIsReportedUntilTheEditEnds) {
  TBaseTable* c = OpenTable(db_, "People");
  auto rec = Record(c);
  std::int32_t pending = 1;
  auto pendingNow = [&] {
    c->GetEditPending(pending);
    return pending;
  };
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  EXPECT_EQ(0, pendingNow());
  ASSERT_EQ(0, Engine().GetCurrentRecord(c, 1, rec.data(), nullptr));  // locks for an edit
  EXPECT_EQ(-1, pendingNow());
  ASSERT_EQ(0, Engine().CancelRecordChange(c, nullptr));
  EXPECT_EQ(0, pendingNow());
  ASSERT_EQ(0, Engine().GetCurrentRecord(c, 1, rec.data(), nullptr));
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));  // a move ends it too
  EXPECT_EQ(0, pendingNow());
}

// Whether a result set comes back is the caller's request, whatever the text
// begins with (a stored query beginning with PARAMETERS is tested below).
TEST_F(AccessCursorTest, AStatementGivesARowSetWhenOneIsAskedFor) {
  const struct {
    const char* Sql;
    std::vector<std::string> Rows;
  } queries[] = {
      {"SELECT Name FROM People WHERE Age = 30 ORDER BY Name", {"Anna", "Carl"}},
      {"  select Name FROM People WHERE Age < 30", {"Bert"}},
      {"(SELECT Name FROM People WHERE Age < 30) UNION (SELECT Name FROM People WHERE Name = 'Anna')",
       {"Anna", "Bert"}},
  };
  for (const auto& q : queries) {
    TSqlStmt* stmt = nullptr;
    ASSERT_EQ(0, Engine().AllocateStatement(db_, 2, stmt));
    ASSERT_EQ(0, Engine().PrepareStatement(stmt, q.Sql));
    TBaseTable* c = nullptr;
    ASSERT_EQ(0, Engine().ExecuteStatement(stmt, &c)) << q.Sql;
    ASSERT_NE(nullptr, c) << q.Sql;
    auto rows = TextsOf(c);
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(q.Rows, rows) << q.Sql;
    Engine().CloseCursor(c);
    // Without a place for a cursor the text only runs: DAO refuses to run a select.
    EXPECT_NE(0, Engine().ExecuteStatement(stmt, nullptr)) << q.Sql;
    Engine().FreeStatement(stmt);
  }
  TSqlStmt* update = nullptr;
  ASSERT_EQ(0, Engine().AllocateStatement(db_, 2, update));
  ASSERT_EQ(0, Engine().PrepareStatement(update, "UPDATE People SET Age = 31 WHERE Age = 30"));
  TBaseTable* c = nullptr;
  EXPECT_NE(0, Engine().ExecuteStatement(update, &c)) << "an action query has no rows to give";
  EXPECT_EQ(nullptr, c);
  ASSERT_EQ(0, Engine().ExecuteStatement(update, nullptr));
  EXPECT_EQ(2, update->RowsAffected);
  Engine().FreeStatement(update);
}

TEST_F(AccessCursorTest, StoredQueriesBindTheirParameters) {
  StoreQuery("OlderThan", "PARAMETERS [MinAge] SHORT, [Who] TEXT(20); "
                          "SELECT Name FROM People WHERE Age >= [MinAge] AND Name <> [Who]");
  struct {
    std::int16_t minAge;
    char who[21];
    std::uint8_t nullFlag;
  } values{};
  TFieldDesc d[2] = {MakeField(1, "", fldtype::Int16, 0, 2),
                     MakeField(2, "", fldtype::ZString, offsetof(decltype(values), who), sizeof values.who)};
  const struct {
    std::int16_t MinAge;
    const char* Who;
    std::vector<std::string> Rows;
  } cases[] = {{30, "Carl", {"Anna"}}, {20, "Anna", {"Bert", "Carl"}}, {31, "", {}}};
  for (const auto& k : cases) {
    values.minAge = k.MinAge;
    std::snprintf(values.who, sizeof values.who, "%s", k.Who);
    TSqlStmt* stmt = nullptr;
    ASSERT_EQ(0, testing_engine::EngineCode([&] { db_->OpenStoredProcStatement("olderthan", 2, d, &values, stmt); }));
    TBaseTable* c = nullptr;
    ASSERT_EQ(0, Engine().ExecuteStatement(stmt, &c));
    auto rows = TextsOf(c);
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(k.Rows, rows) << k.MinAge << " " << k.Who;
    Engine().CloseCursor(c);
    Engine().FreeStatement(stmt);
  }
  TSqlStmt* none = nullptr;
  EXPECT_EQ(dberr::InvalidParam, testing_engine::EngineCode([&] { db_->OpenStoredProcStatement("Nowhere", 0, nullptr, nullptr, none); }));
  // A stored action query runs when no result set is asked for.
  StoreQuery("Rename", "PARAMETERS [NewName] TEXT(20); UPDATE People SET Name = [NewName] WHERE Age = 25");
  std::snprintf(values.who, sizeof values.who, "Bertha");
  d[0] = d[1];
  TSqlStmt* rename = nullptr;
  ASSERT_EQ(0, testing_engine::EngineCode([&] { db_->OpenStoredProcStatement("Rename", 1, d, &values, rename); }));
  ASSERT_EQ(0, Engine().ExecuteStatement(rename, nullptr));
  EXPECT_EQ(1, rename->RowsAffected);
  Engine().FreeStatement(rename);
  TBaseTable* c = OpenTable(db_, "People", "ByName");
  EXPECT_EQ((std::vector<std::string>{"Anna", "Bertha", "Carl"}), TextsOf(c, fName));
}

namespace {

// What a reader gets of a memo, and whether the blob is left open after it.
struct TMemoRead {
  DBIResult code = 0;
  std::string text;
};

}  // namespace

// The memo read whole in one call answers what opening, sizing, reading and
// freeing answer, in every state of the record buffer: the cursor's record
// (as read, and changed or blanked by another user since), one it filled before moving on that another user changed since (the text and
// the buffer come from one version), a buffer with a change not posted, a
// record read while another is being edited, a blank memo, and a field that
// is no blob. Neither leaves the blob open.
TEST_F(AccessCursorTest, AMemoReadWholeInOneCallAnswersAsAReadInPieces) {
  using Read = std::function<TMemoRead(TBaseTable*, std::uint8_t*, std::uint16_t)>;
  // Open, size, read whole and free: the road the one-call whole read replaces.
  const Read inPieces = [&](TBaseTable* c, std::uint8_t* rec, std::uint16_t field) {
    TMemoRead r;
    if ((r.code = Engine().OpenBlob(c, rec, field, kBlobReadOnly)) != 0) return r;
    std::uint32_t size = 0, read = 0;
    r.code = Engine().GetBlobSize(c, rec, field, size);
    r.text.resize(size);
    bool end = false;
    if (r.code == 0 && size > 0) r.code = Engine().ReadBlobPart(c, rec, field, 0, size, r.text.data(), read, end);
    r.text.resize(read);
    Engine().FreeBlob(c, rec, field);
    return r;
  };
  const Read whole = [&](TBaseTable* c, std::uint8_t* rec, std::uint16_t field) {
    TMemoRead r;
    r.code = Engine().ReadWholeBlob(c, rec, field, r.text);
    return r;
  };
  // Large enough to be read on demand rather than with the row.
  const std::string before(20000, 'o'), theirs(20000, 't');
  using Buffers = std::vector<std::vector<std::uint8_t>>;
  const auto nothing = [](TBaseTable*, Buffers&) { return std::string(); };
  const struct {
    const char* what;
    int records;  // read into buffers of their own, in order
    std::function<std::string(TBaseTable*, Buffers&)> before, after;
    int target;        // the buffer whose memo is read
    std::string text;  // the memo as read
    std::string then;  // the buffer's name afterwards, and what `after` saw
  } cases[] = {
      {"the cursor's record", 1, nothing, nothing, 0, before, "Anna"},
      {"the cursor's record changed by another user", 1,
       [&](TBaseTable*, Buffers&) {
         ExecuteElsewhere("UPDATE People SET Name = 'Zoe', Notes = '" + theirs + "' WHERE Name = 'Anna'");
         return std::string();
       },
       nothing, 0, theirs, "Zoe"},
      {"the cursor's record whose memo another user removed", 1,
       [&](TBaseTable*, Buffers&) {
         ExecuteElsewhere("UPDATE People SET Name = 'Zoe', Notes = NULL WHERE Name = 'Anna'");
         return std::string();
       },
       nothing, 0, "", "Zoe"},
      {"an earlier record changed by another user", 2,
       [&](TBaseTable*, Buffers&) {
         ExecuteElsewhere("UPDATE People SET Name = 'Zoe', Notes = '" + theirs + "' WHERE Name = 'Anna'");
         return std::string();
       },
       [&](TBaseTable* c, Buffers&) {
         // The cursor stands where it stood: its next record follows Bert.
         auto next = Record(c);
         Engine().GetNextRecord(c, 0, next.data(), nullptr);
         return "|" + GetText(c, next.data(), fName);
       },
       0, theirs, "Zoe|Carl"},
      {"a buffer with a change not posted", 1,
       [&](TBaseTable* c, Buffers& recs) {
         char mine[] = "Mine";
         Engine().PutField(c, fName, recs[0].data(), mine);
         ExecuteElsewhere("UPDATE People SET Notes = '" + theirs + "' WHERE Name = 'Anna'");
         return std::string();
       },
       nothing, 0, theirs, "Mine"},
      {"another record while one is being edited", 2,
       [&](TBaseTable* c, Buffers& recs) {
         Engine().GetCurrentRecord(c, 1, recs[1].data(), nullptr);  // edits Bert
         std::int16_t age = 77;
         Engine().PutField(c, fAge, recs[1].data(), &age);
         return std::string();
       },
       [&](TBaseTable* c, Buffers& recs) {
         // The edit is still Bert's and still posts.
         const std::string lost = Engine().ModifyRecord(c, recs[1].data(), 1) != 0 ? "|edit lost" : "";
         return lost + "|" + std::to_string(Stored("SELECT Age FROM People WHERE Name = 'Bert'").integer);
       },
       0, before, "Anna|77"},
      {"a blank memo", 2, nothing, nothing, 1, "", "Bert"},
  };
  for (const auto& k : cases) {
    for (const auto& [road, read] : {std::pair{"in pieces", inPieces}, std::pair{"whole", whole}}) {
      ExecuteElsewhere("UPDATE People SET Name = 'Anna', Notes = '" + before + "' WHERE Id = 1");
      ExecuteElsewhere("UPDATE People SET Age = 25, Notes = NULL WHERE Name = 'Bert'");
      TBaseTable* c = OpenTable(db_, "People");
      Buffers recs(std::size_t(k.records), Record(c));
      for (auto& rec : recs) ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
      k.before(c, recs);
      TMemoRead r = read(c, recs[std::size_t(k.target)].data(), fNotes);
      r.text += "|" + GetText(c, recs[std::size_t(k.target)].data(), fName) + k.after(c, recs);
      Engine().CloseCursor(c);
      EXPECT_EQ(0, r.code) << k.what << ", " << road;
      EXPECT_TRUE(r.text == k.text + "|" + k.then) << k.what << ", " << road << ": " << r.text.substr(0, 80);
    }
  }
}

// The whole read takes a blob that is not open yet, as opening does, refuses
// a field that is no blob, and leaves no blob open behind it.
TEST_F(AccessCursorTest, AMemoReadWholeOpensAndFreesItsBlob) {
  ExecuteElsewhere("UPDATE People SET Notes = 'about Anna' WHERE Name = 'Anna'");
  TBaseTable* c = OpenTable(db_, "People");
  auto rec = Record(c);
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  std::string text;
  ASSERT_EQ(0, Engine().OpenBlob(c, rec.data(), fNotes, kBlobReadOnly));
  EXPECT_EQ(dberr::BlobOpened, Engine().ReadWholeBlob(c, rec.data(), fNotes, text)) << "already open";
  ASSERT_EQ(0, Engine().FreeBlob(c, rec.data(), fNotes));
  EXPECT_EQ(dberr::NotABlob, Engine().ReadWholeBlob(c, rec.data(), fName, text));
  ASSERT_EQ(0, Engine().ReadWholeBlob(c, rec.data(), fNotes, text));
  EXPECT_EQ("about Anna", text);
  const DBIResult notOpened = 0x2A03;
  std::uint32_t size = 0;
  EXPECT_EQ(notOpened, Engine().GetBlobSize(c, rec.data(), fNotes, size)) << "freed after the read";
  EXPECT_EQ(0, Engine().OpenBlob(c, rec.data(), fNotes, kBlobReadOnly)) << "free to open again";
  Engine().FreeBlob(c, rec.data(), fNotes);
  Engine().CloseCursor(c);
}
