#include "dbengine/basetable.h"

#include <gtest/gtest.h>

#include "platform/classlib/core/messagepump.h"
#include "testcursor.h"

using namespace testing_engine;

namespace {

using Ids = std::vector<std::int32_t>;

class CursorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (std::int32_t id = 10; id <= 50; id += 10) cursor.Add(id, "n" + std::to_string(id), id / 10);
  }
  std::int32_t Next(int lock = 0) {
    cursor.GetNextRecord(lock, buffer, nullptr);
    return TTestRecord::IdOf(buffer);
  }
  std::int32_t Prior(int lock = 0) {
    cursor.GetPriorRecord(lock, buffer, nullptr);
    return TTestRecord::IdOf(buffer);
  }
  std::int32_t Current(int lock = 0) {
    cursor.GetCurrentRecord(lock, buffer, nullptr);
    return TTestRecord::IdOf(buffer);
  }
  void Range(std::int32_t from, bool fromIncl, std::int32_t to, bool toIncl) {
    cursor.SetRange(true, 1, 0, reinterpret_cast<const std::uint8_t*>(&from), fromIncl, 1, 0,
                    reinterpret_cast<const std::uint8_t*>(&to), toIncl);
  }
  TTestCursor cursor;
  std::uint8_t buffer[kRecordSize] = {};
};

TEST_F(CursorTest, ANewCursorHasNoRecord) {
  TBaseTable fresh(nullptr, nullptr, "t", nullptr, 0, 0);
  EXPECT_EQ(fresh.CursorState, curstate::Closed);
  EXPECT_EQ(EngineCode([&] { fresh.GetNextRecord(0, buffer, nullptr); }), dberr::Eof);
  EXPECT_EQ(EngineCode([&] { fresh.GetPriorRecord(0, buffer, nullptr); }), dberr::Bof);
  EXPECT_EQ(EngineCode([&] { fresh.GetCurrentRecord(0, buffer, nullptr); }), dberr::NoCurrRec);
}

TEST_F(CursorTest, JustOpenedReadsFromEitherEnd) {
  EXPECT_EQ(EngineCode([&] { Current(); }), dberr::NoCurrRec);
  EXPECT_EQ(Next(), 10);
  cursor.OpenCursor();
  EXPECT_EQ(Prior(), 50);
}

TEST_F(CursorTest, StartAndEndPositions) {
  cursor.SetToStart();
  EXPECT_EQ(EngineCode([&] { Current(); }), dberr::Bof);
  EXPECT_EQ(EngineCode([&] { Prior(); }), dberr::Bof);
  cursor.SetToStart();
  EXPECT_EQ(Next(), 10);
  EXPECT_EQ(Next(), 20);
  EXPECT_EQ(Current(), 20);
  EXPECT_EQ(Prior(), 10);
  EXPECT_EQ(EngineCode([&] { Prior(); }), dberr::Bof);
  cursor.SetToEnd();
  EXPECT_EQ(EngineCode([&] { Current(); }), dberr::Eof);
  EXPECT_EQ(EngineCode([&] { Next(); }), dberr::Eof);
  cursor.SetToEnd();
  EXPECT_EQ(Prior(), 50);
  EXPECT_EQ(EngineCode([&] { Next(); }), dberr::Eof);
  EXPECT_EQ(cursor.CursorState, curstate::OnRecord);  // a failed fetch keeps the state
}

TEST_F(CursorTest, BetweenRecordsTheCurrentReadTakesTheFollower) {
  cursor.SetToStart();
  Next();
  Next();  // on 20
  cursor.DeleteRecord(buffer);
  EXPECT_EQ(cursor.CursorState, curstate::BetweenRecords);
  EXPECT_EQ(Current(), 30);
  // Deleting the last record falls back to the one before it.
  cursor.SetToEnd();
  Prior();
  cursor.DeleteRecord(buffer);
  EXPECT_EQ(Current(), 40);
}

TEST_F(CursorTest, CurrentReadLocksAndReleasesOnFailure) {
  cursor.SetToStart();
  EXPECT_EQ(Next(1), 10);  // a locking fetch reads the record again, locked
  EXPECT_EQ(cursor.LocksSeen, std::vector<int>{1});
  // The record vanishes under the cursor: a locked read fails and lets go.
  cursor.Rows.erase(cursor.Rows.begin());
  EXPECT_EQ(EngineCode([&] { Current(1); }), dberr::RecNotFound);
  EXPECT_EQ(cursor.CancelCalls, 1);
}

TEST_F(CursorTest, RereadFlagRestartsFromTheStartWhenTheRecordIsGone) {
  cursor.SetToStart();
  Next();
  Next();  // on 20
  cursor.Rows.erase(cursor.Rows.begin() + 1);
  cursor.RereadCurrentRecord(buffer);
  EXPECT_EQ(TTestRecord::IdOf(buffer), 10);
  EXPECT_FALSE(cursor.RereadFlag);
}

TEST_F(CursorTest, RangesLimitTheRecords) {
  Range(20, false, 40, true);
  EXPECT_EQ(ReadAll(cursor), (Ids{30, 40}));
  Range(20, true, 40, false);
  EXPECT_EQ(ReadAll(cursor), (Ids{20, 30}));
  EXPECT_TRUE(cursor.SameRangeShape);
  cursor.SetToEnd();
  EXPECT_EQ(Prior(), 30);
  cursor.ResetRange();
  EXPECT_FALSE(cursor.RangeStart.IsSet);
  EXPECT_EQ(ReadAll(cursor).size(), 5u);
}

TEST_F(CursorTest, RangeBoundsCanComeFromARecord) {
  TTestRecord from(25, "", 0), to(45, "", 0);
  cursor.SetRange(false, 0, 0, from.Bytes, true, 0, 0, to.Bytes, true);
  EXPECT_EQ(ReadAll(cursor), (Ids{30, 40}));
  // Only a start bound.
  cursor.SetRange(false, 0, 0, from.Bytes, true, 0, 0, nullptr, true);
  EXPECT_EQ(ReadAll(cursor), (Ids{30, 40, 50}));
}

TEST_F(CursorTest, RangeKeysAsWideAsTheIndexKeyAreKeptWhole) {
  TIndexDesc& index = const_cast<TIndexDesc&>(cursor.CurrentIndex());
  index.KeyLength = 300;
  std::vector<std::uint8_t> key(300, 1);
  key.back() = 7;
  cursor.SetRange(true, 1, 0, key.data(), true, 1, 0, key.data(), true);
  ASSERT_GE(cursor.RangeStart.KeyData.size(), 300u);
  EXPECT_EQ(cursor.RangeStart.KeyData[299], 7);
  EXPECT_EQ(cursor.RangeEnd.KeyData[299], 7);
  // Built from a record: room for every key field at its key width.
  index.KeyLength = 4;
  cursor.FieldCache()->FieldByNumber(1)->Desc.KeyWidth = 200;
  index.KeyFieldCount = 2;
  index.KeyFields[1] = 1;
  TTestRecord r(20, "", 0);
  cursor.SetRange(false, 0, 0, r.Bytes, true, 0, 0, nullptr, true);
  EXPECT_GE(cursor.RangeStart.KeyData.size(), 400u);
  EXPECT_FALSE(cursor.RangeEnd.IsSet);
}

TEST_F(CursorTest, CompareKeysHonoursDescendingFields) {
  std::int32_t a = 1, b = 2;
  int result = 5;
  cursor.CompareKeys(reinterpret_cast<std::uint8_t*>(&a), reinterpret_cast<std::uint8_t*>(&b), 0, 0, result);
  EXPECT_EQ(result, -1);
  const_cast<TIndexDesc&>(cursor.CurrentIndex()).DescendingFields[0] = -1;
  cursor.CompareKeys(reinterpret_cast<std::uint8_t*>(&a), reinterpret_cast<std::uint8_t*>(&b), 0, 0, result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(EngineCode([&] { cursor.CompareKeys(nullptr, nullptr, 0, 0, result); }), dberr::InvalidParam);
  // Without a second key, the key of the record in the record buffer; here
  // an index on SCORE, which does not lie at the start of the record.
  cursor.SetToStart();
  Next();
  Next();  // the record buffer holds 20, score 2
  TIndexDesc& index = const_cast<TIndexDesc&>(cursor.CurrentIndex());
  index.DescendingFields[0] = 0;
  index.KeyFields[0] = 3;
  std::int32_t probe = 2;
  cursor.CompareKeys(reinterpret_cast<std::uint8_t*>(&probe), nullptr, 0, 0, result);
  EXPECT_EQ(result, 0);
  probe = 3;
  cursor.CompareKeys(reinterpret_cast<std::uint8_t*>(&probe), nullptr, 0, 0, result);
  EXPECT_EQ(result, 1);
}

TEST_F(CursorTest, SkipRecords) {
  EXPECT_EQ(EngineCode([&] { cursor.SkipRecords(0, 0, buffer, nullptr); }), dberr::InvalidParam);
  cursor.SetToEnd();
  cursor.SkipRecords(-3, 1, buffer, nullptr);
  EXPECT_EQ(TTestRecord::IdOf(buffer), 30);
  EXPECT_EQ(cursor.LocksSeen, std::vector<int>{1});  // only the third read locked
  EXPECT_EQ(EngineCode([&] { cursor.SkipRecords(5, 0, buffer, nullptr); }), dberr::Eof);
  EXPECT_EQ(TTestRecord::IdOf(buffer), 50);  // the walk ends where it stands
}

TEST_F(CursorTest, RecordCountWalksAndComesBack) {
  int pumped = 0;
  auto old = SetMessagePumpHook([&] { ++pumped; });
  for (std::int32_t id = 51; id <= 70; ++id) cursor.Add(id, "", 0);
  cursor.SetToStart();
  Next();
  Next();
  std::uint32_t count = 0;
  cursor.GetRecordCount(count);
  EXPECT_EQ(count, 25u);
  EXPECT_EQ(pumped, 1);  // once per 16 records
  EXPECT_EQ(Current(), 20);
  SetMessagePumpHook(old);
}

TEST(RecordCount, AnEmptyTableCountsZeroAndStaysWhereItWas) {
  TTestCursor cursor;
  std::uint32_t count = 9;
  cursor.GetRecordCount(count);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(cursor.CursorState, curstate::JustOpened);
  cursor.QueryRecordCount(count);
  EXPECT_EQ(count, 0u);
}

TEST_F(CursorTest, DeleteAllRecordsEmptiesTheRange) {
  Range(20, true, 40, true);
  cursor.DeleteAllRecords();
  cursor.ResetRange();
  EXPECT_EQ(ReadAll(cursor), (Ids{10, 50}));
  EXPECT_EQ(cursor.CursorState, curstate::OnRecord);
}

TEST_F(CursorTest, DeleteAllRecordsReportsRecordsItCouldNotDelete) {
  cursor.Undeletable = {30};
  EXPECT_EQ(EngineCode([&] { cursor.DeleteAllRecords(); }), dberr::TableReadOnly);
  EXPECT_EQ(ReadAll(cursor), (Ids{30, 40, 50}));
}

TEST_F(CursorTest, EmptyTableRestoresTheCursorAsItWas) {
  TTestCursor exclusive(nullptr, nullptr, "X", true, /*shareMode=*/1);
  exclusive.Add(1, "", 0);
  exclusive.EmptyTable();
  EXPECT_EQ(exclusive.Rows.size(), 0u);
  EXPECT_NE(exclusive.CursorState, curstate::Closed);  // still open for its user
  EXPECT_EQ(exclusive.ShareMode, 1);

  cursor.EmptyTable();
  EXPECT_TRUE(cursor.Rows.empty());
  EXPECT_EQ(cursor.ShareMode, 0);
  EXPECT_EQ(cursor.CursorState, curstate::JustOpened);

  TTestCursor closed;
  closed.Add(1, "", 0);
  closed.CloseCursor();
  closed.EmptyTable();
  EXPECT_TRUE(closed.Rows.empty());
  EXPECT_EQ(closed.CursorState, curstate::Closed);
}

TEST_F(CursorTest, CursorPropertiesAndIdentity) {
  TCursorProps props;
  cursor.GetCursorProperties(props);
  EXPECT_EQ(Val(props.FieldCount), 3);
  EXPECT_EQ(Val(props.RecordSize), kRecordSize);
  EXPECT_EQ(Val(props.RecordBufferSize), kRecordSize);
  EXPECT_EQ(Val(props.KeySize), 4);
  EXPECT_EQ(Val(props.BookmarkSize), 4);
  EXPECT_EQ(Val(props.BookmarkStable), 0);
  EXPECT_EQ(Val(props.SeqNums), -1);
  EXPECT_EQ(Val(props.Unidirectional), -1);
  EXPECT_EQ(Val(props.Rights), 255);

  std::uint16_t kind = 0, length = 0;
  cursor.GetProperty(0, &kind, 2, length);
  EXPECT_EQ(kind, 11);
  EXPECT_EQ(length, 2);
  std::int32_t five = 9;
  cursor.GetProperty(5, &five, 4, length);
  EXPECT_EQ(five, 0);
  cursor.GetProperty(1, &five, 4, length);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(EngineCode([&] { cursor.GetProperty(2, &five, 4, length); }), dberr::NotSupported);
  EXPECT_EQ(EngineCode([&] { cursor.CheckPropertyValue(0, 0); }), dberr::NotSupported);
  EXPECT_EQ(EngineCode([&] { cursor.CheckPropertyValue(0, 1); }), 0);

  cursor.SetSourceTableName("  Orders  ");
  EXPECT_EQ(cursor.GetSourceTableName(), "Orders");
  cursor.SetTableName(nullptr);
  EXPECT_EQ(cursor.GetTableName(), "Orders");
}

TEST_F(CursorTest, IndexesByNameAndByFields) {
  std::uint16_t number = 0;
  std::string name;
  cursor.FindIndexByName("byid", number, name);
  EXPECT_EQ(number, 1);
  EXPECT_EQ(name, "ByID");
  // Without "@" a field name is no index name.
  EXPECT_EQ(EngineCode([&] { cursor.FindIndexByName("ID", number, name); }), dberr::InvalidIndexName);
  EXPECT_EQ(EngineCode([&] { cursor.FindIndexByName("NAME", number, name); }), dberr::InvalidIndexName);
  cursor.FindIndexByName("@ID", number, name);
  EXPECT_EQ(number, 1);
  EXPECT_EQ(EngineCode([&] { cursor.FindIndexByName("ID@NAME", number, name); }), dberr::InvalidIndexName);
}

TEST_F(CursorTest, PositionsCopyThroughBookmarks) {
  TTestCursor other;
  for (std::int32_t id = 10; id <= 50; id += 10) other.Add(id, "", 0);
  cursor.SetToStart();
  Next();
  Next();
  cursor.CopyPositionTo(&other);
  other.CursorState = curstate::OnRecord;
  std::uint8_t b[kRecordSize];
  other.GetCurrentRecord(0, b, nullptr);
  EXPECT_EQ(TTestRecord::IdOf(b), 20);
  EXPECT_EQ(EngineCode([&] { cursor.CopyPositionTo(nullptr); }), dberr::InvalidParam);
}

TEST(BaseCursor, OperationsADriverDoesNotProvide) {
  TBaseTable t(nullptr, nullptr, "t", nullptr, 0, 0);
  std::uint8_t b[8] = {};
  TIndexDesc index;
  std::memset(&index, 0x55, sizeof index);
  EXPECT_EQ(EngineCode([&] { t.GetIndexDescriptor(1, index); }), dberr::InvalidHndl);
  EXPECT_EQ(Val(index.KeyFieldCount), 0);  // zero-filled first
  EXPECT_EQ(EngineCode([&] { t.FetchRecordByKey(false, 0, 0, b, b); }), dberr::InvalidHndl);
  EXPECT_EQ(EngineCode([&] { t.Op97(); }), dberr::InvalidHndl);
  EXPECT_EQ(EngineCode([&] { t.SeekKey(1, true, b, b, 0, 0); }), dberr::NA);
  EXPECT_EQ(EngineCode([&] { t.ExtractKey(b, b); }), dberr::NA);
  EXPECT_EQ(EngineCode([&] { t.Op37(); }), dberr::NA);
  EXPECT_EQ(EngineCode([&] { t.SwitchToIndex("x", nullptr, 0, false); }), dberr::NotSupported);
  EXPECT_EQ(EngineCode([&] { t.GetBookmark(b); }), dberr::NotSupported);
  EXPECT_EQ(EngineCode([&] { t.Op132(); }), dberr::NotSupported);
  TBaseTable* handle = nullptr;
  EXPECT_EQ(EngineCode([&] { t.EndCachedUpdates(handle); }), dberr::NotSupported);
  EXPECT_EQ(EngineCode([&] { t.OpenDuplicateCursor(false, false, handle); }),
            dberr::InvalidParam);  // its owner is no database
  std::uint16_t word = 9;
  std::int32_t dword = 9;
  t.Op64(word);
  t.Op65(dword);
  EXPECT_EQ(word, 0);
  EXPECT_EQ(dword, -1);
  EXPECT_EQ(t.GetSearchCondition(true, true), keysearch::GreaterOrEqual);
  EXPECT_EQ(t.GetSearchCondition(false, true), keysearch::Greater);
  EXPECT_EQ(t.GetSearchCondition(true, false), keysearch::LessOrEqual);
  EXPECT_EQ(t.GetSearchCondition(false, false), keysearch::Less);
  // A seek that finds nothing leaves the cursor after the last record.
  t.SeekKeyOrEnd(1, true, b, b, 0, 0);
  EXPECT_EQ(t.CursorState, curstate::AfterLast);
}

}  // namespace
