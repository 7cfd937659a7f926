#include "dbengine/memtable.h"

#include <gtest/gtest.h>

#include "dbengine/basedatabase.h"
#include "testcursor.h"

using namespace testing_engine;

namespace {

using Ids = std::vector<std::int32_t>;

// A memory table of (ID, NAME) rows.
struct MemTableTest : ::testing::Test {
  MemTableTest() {
    TFieldDesc descs[2] = {MakeField(1, "ID", fldtype::Int32, 0, 0),
                           MakeField(2, "NAME", fldtype::ZString, 0, 0)};
    descs[1].Units1 = 10;
    table = new TMemTable(nullptr, nullptr, "mem", 2, descs, 0, nullptr);
  }
  ~MemTableTest() override { delete table; }
  void Insert(std::int32_t id, const char* name) {
    std::vector<std::uint8_t> row(table->GetRecordBufferSize(), 0);
    std::memcpy(row.data(), &id, 4);
    std::strcpy(reinterpret_cast<char*>(row.data() + 4), name);
    table->InsertRecord(0, row.data());
  }
  TMemTable* table;
};

TEST_F(MemTableTest, AnEmptyTableHasNoRecords) {
  std::vector<std::uint8_t> b(table->GetRecordBufferSize());
  table->SetToStart();
  EXPECT_EQ(EngineCode([&] { table->GetNextRecord(0, b.data(), nullptr); }), dberr::Eof);
  table->SetToEnd();
  EXPECT_EQ(EngineCode([&] { table->GetPriorRecord(0, b.data(), nullptr); }), dberr::Bof);
  EXPECT_EQ(EngineCode([&] { table->GetCurrentRecord(0, b.data(), nullptr); }), dberr::Eof);
  EXPECT_EQ(EngineCode([&] { table->GetBookmark(b.data()); }), dberr::NoCurrRec);
  EXPECT_EQ(EngineCode([&] { table->InsertRecord(0, nullptr); }), dberr::InvalidParam);
}

TEST(MemTableLayout, FieldsAreLaidOutOneAfterTheOther) {
  TFieldDesc descs[6] = {MakeField(1, "S", fldtype::ZString, 99, 0), MakeField(2, "I", fldtype::Int32, 99, 0),
                         MakeField(3, "F", fldtype::Float, 99, 0),   MakeField(4, "B", fldtype::BCD, 99, 0),
                         MakeField(5, "Y", fldtype::Bytes, 99, 0),   MakeField(6, "E", fldtype::FloatIEEE, 99, 0)};
  descs[0].Units1 = 10;
  descs[3].Units2 = -5;
  descs[4].Units1 = 3;
  TMemTable t(nullptr, nullptr, "t", 6, descs, 0, nullptr);
  // A text of 10 characters has room for 10 characters of UTF-8.
  EXPECT_EQ(descs[0].Length, TextSlotBytes(10));
  const std::uint16_t lengths[6] = {static_cast<std::uint16_t>(TextSlotBytes(10)), 4, 8, 5, 3, 10};
  std::uint16_t offset = 0;
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(descs[i].Length, lengths[i]) << i;
    EXPECT_EQ(descs[i].Offset, offset) << i;
    offset = static_cast<std::uint16_t>(offset + lengths[i]);
  }
  EXPECT_EQ(t.GetDataSize(), offset);
  EXPECT_EQ(t.GetBookmarkSize(), 4);
}

TEST_F(MemTableTest, RowsReadForwardsAndBackwards) {
  Insert(1, "a");
  Insert(2, "b");
  Insert(3, "c");
  EXPECT_EQ(ReadAll(*table), (Ids{1, 2, 3}));
  std::vector<std::uint8_t> b(table->GetRecordBufferSize());
  table->SetToEnd();
  table->GetPriorRecord(0, b.data(), nullptr);
  EXPECT_EQ(TTestRecord::IdOf(b.data()), 3);
  char name[64] = {};
  bool blank = true;
  table->GetField(2, b.data(), name, blank);
  EXPECT_STREQ(name, "c");
  EXPECT_FALSE(blank);
  std::uint32_t count = 0;
  table->GetRecordCount(count);
  EXPECT_EQ(count, 3u);
  TRecordProps props{};
  table->GetCurrentRecord(0, b.data(), &props);
  EXPECT_EQ(props.Status, recstatus::Inserted);
  std::uint32_t position = 0;
  table->GetAbsolutePosition(position);
  EXPECT_EQ(position, 3u);
  table->SetAbsolutePosition(1);
  table->GetCurrentRecord(0, b.data(), nullptr);
  EXPECT_EQ(TTestRecord::IdOf(b.data()), 1);
  EXPECT_EQ(EngineCode([&] { table->SetAbsolutePosition(9); }), dberr::Eof);
}

TEST_F(MemTableTest, ChangingANewRowKeepsItNew) {
  Insert(1, "a");
  std::vector<std::uint8_t> row(table->GetRecordBufferSize(), 0);
  std::int32_t id = 5;
  std::memcpy(row.data(), &id, 4);
  table->ModifyRecord(row.data(), 0);
  TRecordProps props{};
  table->GetCurrentRecord(0, row.data(), &props);
  EXPECT_EQ(Val(props.Status), recstatus::Inserted);
  EXPECT_EQ(TTestRecord::IdOf(row.data()), 5);
}

TEST_F(MemTableTest, RecordBlocksReadAndWriteSeveralRows) {
  std::vector<std::uint8_t> rows(3 * table->GetRecordBufferSize(), 0);
  for (std::int32_t i = 0; i < 3; ++i) {
    std::int32_t id = 10 + i;
    std::memcpy(rows.data() + i * table->GetRecordBufferSize(), &id, 4);
  }
  std::uint32_t count = 3;
  table->WriteRecordBlock(count, rows.data());
  EXPECT_EQ(table->RowCount(), 3);
  std::vector<std::uint8_t> read(5 * table->GetRecordBufferSize(), 0);
  table->SetToStart();
  count = 5;
  table->ReadRecordBlock(count, read.data());
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(TTestRecord::IdOf(read.data() + 2 * table->GetRecordBufferSize()), 12);
  count = 2;
  EXPECT_EQ(EngineCode([&] { table->ReadRecordBlock(count, read.data()); }), dberr::Eof);
  EXPECT_EQ(count, 0u);
}

TEST_F(MemTableTest, DeletingARowStandsBetweenItsNeighbours) {
  Insert(1, "a");
  Insert(2, "b");
  Insert(3, "c");
  std::vector<std::uint8_t> b(table->GetRecordBufferSize());
  table->SetToStart();
  table->GetNextRecord(0, b.data(), nullptr);
  table->GetNextRecord(0, b.data(), nullptr);
  table->DeleteRecord(b.data());
  EXPECT_EQ(table->CursorState, curstate::BetweenRecords);
  table->GetNextRecord(0, b.data(), nullptr);
  EXPECT_EQ(TTestRecord::IdOf(b.data()), 3);
  table->GetPriorRecord(0, b.data(), nullptr);
  EXPECT_EQ(TTestRecord::IdOf(b.data()), 1);
}

TEST_F(MemTableTest, BookmarksStayUniqueAfterDeletes) {
  Insert(1, "a");
  Insert(2, "b");
  Insert(3, "c");
  std::uint8_t third[4];
  table->GetBookmark(third);  // the last inserted row is current
  table->SetAbsolutePosition(2);
  std::vector<std::uint8_t> b(table->GetRecordBufferSize());
  table->DeleteRecord(b.data());
  Insert(4, "d");
  table->SetToBookmark(third);
  table->GetCurrentRecord(0, b.data(), nullptr);
  EXPECT_EQ(TTestRecord::IdOf(b.data()), 3);
  std::uint8_t fourth[4];
  table->SetAbsolutePosition(4);
  table->GetBookmark(fourth);
  EXPECT_NE(std::memcmp(third, fourth, 4), 0);
  table->ClearDeleteFlag();
  table->EmptyTable();
  EXPECT_EQ(table->RowCount(), 0);
  EXPECT_EQ(table->CursorState, curstate::JustOpened);
  EXPECT_EQ(EngineCode([&] { table->ClearDeleteFlag(); }), dberr::NoCurrRec);
}

TEST(MemoryTables, DatabasesCreateThemFromADescription) {
  TBaseDatabase db(nullptr, nullptr, 0, nullptr, nullptr, "db", 0, 0, nullptr);
  TBaseTable* cursor = nullptr;
  EXPECT_EQ(EngineFailure([&] { db.CreateMemoryTable("list", 0, nullptr, cursor); }),
            (TEngineFailure{dberr::InvalidParam, "list"}));
  TFieldDesc huge[2] = {MakeField(1, "A", fldtype::Bytes, 0, 60000), MakeField(2, "B", fldtype::Bytes, 0, 60000)};
  EXPECT_EQ(EngineFailure([&] { db.CreateMemoryTable("huge", 2, huge, cursor); }),
            (TEngineFailure{dberr::InvalidTableCreate, "huge"}));
  TFieldDesc one = MakeField(1, "A", fldtype::Int32, 0, 0);
  db.CreateMemoryTable("list", 1, &one, cursor);
  ASSERT_NE(cursor, nullptr);
  EXPECT_EQ(cursor->OwnerHandle(), &db);
  EXPECT_EQ(db.OpenCursors()->IndexOf(cursor), 0);
}

// ---- Cached updates over the indexed test cursor

struct CacheTest : ::testing::Test {
  CacheTest() {
    for (std::int32_t id = 10; id <= 50; id += 10) source->Add(id, "n" + std::to_string(id), id);
    handle = source;
    handle->BeginCachedUpdates(handle);
    cache = dynamic_cast<TBaseCacheTable*>(handle);
  }
  ~CacheTest() override {
    if (handle != source) delete handle;
    delete source;
  }
  // Moves to the record and changes its score through the cache.
  void Modify(std::int32_t id, std::int32_t score) {
    Seek(id);
    TTestRecord r(id, "changed", score);
    handle->ModifyRecord(r.Bytes, 0);
  }
  void Delete(std::int32_t id) {
    Seek(id);
    handle->DeleteRecord(buffer);
  }
  void Seek(std::int32_t id) {
    handle->SetToStart();
    do handle->GetNextRecord(0, buffer, nullptr);
    while (TTestRecord::IdOf(buffer) != id);
  }
  std::vector<std::int32_t> Scores() {
    std::vector<std::int32_t> scores;
    handle->SetToStart();
    UntilTheEnd([&] {
      handle->GetNextRecord(0, buffer, nullptr);
      TTestRecord r;
      std::memcpy(r.Bytes, buffer, kRecordSize);
      scores.push_back(r.Score());
    });
    return scores;
  }
  TTestCursor* source = new TTestCursor();
  TBaseTable* handle = nullptr;
  TBaseCacheTable* cache = nullptr;
  std::uint8_t buffer[kRecordSize] = {};
};

TEST_F(CacheTest, TheHandleBecomesTheCacheWrapper) {
  ASSERT_NE(cache, nullptr);
  EXPECT_EQ(cache->WrappedCursor(), source);
  EXPECT_EQ(cache->VisibleKinds, 11);
  EXPECT_FALSE(cache->KeepSourceValues);
  TBaseTable* again = handle;
  EXPECT_EQ(EngineCode([&] { handle->BeginCachedUpdates(again); }), dberr::NotSupported);
  EXPECT_EQ(EngineCode([&] { handle->SwitchToIndex("x", nullptr, 0, false); }), dberr::NoSuchIndex);
  TMemTable* table = nullptr;
  handle->GetCacheTable(table);
  EXPECT_EQ(table, cache->CacheTable());
  EXPECT_EQ(table->SourceCursor(), source);
  EXPECT_EQ(ReadAll(*handle), (Ids{10, 20, 30, 40, 50}));
}

TEST_F(CacheTest, TheFirstChangeAndDeleteOfARecordAreKept) {
  Modify(20, 99);
  Delete(30);
  EXPECT_EQ(cache->CacheTable()->RowCount(), 2);
  EXPECT_EQ(ReadAll(*handle), (Ids{10, 20, 40, 50}));  // deleted rows hidden by default
  EXPECT_EQ(Scores(), (std::vector<std::int32_t>{10, 99, 40, 50}));
  EXPECT_EQ(source->Rows[1].Score(), 20);  // the source is untouched until applied
  Modify(20, 100);  // a second change replaces the first
  EXPECT_EQ(cache->CacheTable()->RowCount(), 2);
  EXPECT_EQ(Scores()[1], 100);
}

TEST_F(CacheTest, VisibleKindsChooseTheRecords) {
  Modify(20, 99);
  Delete(30);
  cache->VisibleKinds = cachekind::Unmodified;
  EXPECT_EQ(ReadAll(*handle), (Ids{10, 40, 50}));
  cache->VisibleKinds = cachekind::Deleted;
  EXPECT_EQ(ReadAll(*handle), Ids{30});
  cache->VisibleKinds = 15;
  EXPECT_EQ(ReadAll(*handle), (Ids{10, 20, 30, 40, 50}));
  cache->VisibleKinds = cachekind::Modified;
  EXPECT_EQ(ReadAll(*handle), Ids{20});
  Seek(20);
  TRecordProps props{};
  handle->GetCurrentRecord(0, buffer, &props);
  EXPECT_EQ(props.Status, recstatus::Modified);
  source->SetToStart();
  std::uint8_t b[kRecordSize];
  source->GetNextRecord(0, b, nullptr);  // the source on 10, which is hidden now
  EXPECT_EQ(EngineCode([&] { handle->GetCurrentRecord(0, buffer, nullptr); }), dberr::NoCurrRec);
}

TEST_F(CacheTest, KeepSourceValuesShowsTheSourceWithTheCachedStatus) {
  Modify(20, 99);
  cache->KeepSourceValues = true;
  Seek(20);
  TRecordProps props{};
  handle->GetCurrentRecord(0, buffer, &props);
  std::int32_t score;
  std::memcpy(&score, buffer + kScoreOffset, 4);
  EXPECT_EQ(score, 20);
  EXPECT_EQ(props.Status, recstatus::Modified);
}

TEST_F(CacheTest, ApplyingReplaysInReverseBookmarkOrder) {
  Modify(20, 99);
  Delete(30);
  TTestRecord added(60, "new", 6);
  handle->AppendRecord(added.Bytes);
  handle->ProcessCachedUpdates(3);
  EXPECT_EQ(source->Calls, (std::vector<std::string>{"delete 30", "modify 20", "append 60"}));
  EXPECT_EQ(ReadAll(*source), (Ids{10, 20, 40, 50, 60}));
  EXPECT_EQ(source->Rows[1].Score(), 99);
  // The rows stay until dropped, and a second replay sends nothing again.
  EXPECT_EQ(cache->CacheTable()->RowCount(), 3);
  handle->ProcessCachedUpdates(3);
  EXPECT_EQ(source->Calls.size(), 3u);
  handle->ProcessCachedUpdates(0);
  EXPECT_EQ(cache->CacheTable()->RowCount(), 0);
}

TEST_F(CacheTest, AFailingRowIsReportedAndTheOthersAreStillApplied) {
  Modify(20, 99);
  Delete(30);
  Modify(40, 44);
  source->Undeletable = {30};
  EXPECT_EQ(EngineCode([&] { handle->ProcessCachedUpdates(3); }), dberr::TableReadOnly);
  EXPECT_EQ(source->Calls, (std::vector<std::string>{"modify 40", "modify 20"}));
  TMemTable* rows = cache->CacheTable();
  int applied = 0, pending = 0;
  for (int n = 1; n <= rows->RowCount(); ++n) (rows->Row(n)->Applied ? applied : pending)++;
  EXPECT_EQ(applied, 2);
  EXPECT_EQ(pending, 1);
  // Once the cause is gone, a new replay sends only the row that failed.
  source->Undeletable.clear();
  handle->ProcessCachedUpdates(3);
  EXPECT_EQ(source->Calls.back(), "delete 30");
  EXPECT_EQ(source->Calls.size(), 3u);
}

TEST_F(CacheTest, ADeleteOfAVanishedRecordLeavesOnlyThatRowUnapplied) {
  Modify(20, 99);
  Delete(30);
  Modify(40, 44);
  source->Rows.erase(source->Rows.begin() + 2);  // another user removed 30
  EXPECT_EQ(EngineCode([&] { handle->ProcessCachedUpdates(3); }), dberr::RecNotFound);
  EXPECT_EQ(source->Calls, (std::vector<std::string>{"modify 40", "modify 20"}));
}

TEST_F(CacheTest, DroppingTheChangeOfTheCurrentRecord) {
  Modify(20, 99);
  Seek(10);
  EXPECT_EQ(EngineCode([&] { handle->ProcessCachedUpdates(2); }), dberr::Eof);
  Seek(20);
  handle->ProcessCachedUpdates(2);
  EXPECT_EQ(cache->CacheTable()->RowCount(), 0);
  EXPECT_EQ(Scores()[1], 20);
  Modify(20, 99);
  handle->ProcessCachedUpdates(1);
  EXPECT_EQ(cache->CacheTable()->RowCount(), 0);
  handle->ProcessCachedUpdates(7);  // other values do nothing
}

TEST_F(CacheTest, EndingWithoutApplyingLosesTheChanges) {
  Modify(20, 99);
  handle->EndCachedUpdates(handle);
  EXPECT_EQ(handle, source);
  EXPECT_EQ(source->Rows[1].Score(), 20);
  EXPECT_TRUE(source->Calls.empty());
}

TEST_F(CacheTest, PropertiesOfTheCache) {
  Modify(20, 99);
  std::uint8_t kinds = 0;
  std::uint16_t length = 0;
  handle->GetProperty(3, &kinds, 1, length);
  EXPECT_EQ(kinds, 11);
  EXPECT_EQ(length, 1);
  handle->SetProperty(3, 15);
  EXPECT_EQ(cache->VisibleKinds, 15);
  handle->SetProperty(4, 1);
  EXPECT_TRUE(cache->KeepSourceValues);
  std::uint8_t keep = 0;
  handle->GetProperty(4, &keep, 1, length);
  EXPECT_EQ(keep, 1);
  std::uint32_t rows = 0;
  handle->GetProperty(5, &rows, 4, length);
  EXPECT_EQ(rows, 1u);
  std::uint16_t kind = 0;
  handle->GetProperty(0, &kind, 2, length);  // other ids are the wrapped cursor's
  EXPECT_EQ(kind, 11);
  EXPECT_EQ(EngineCode([&] { handle->CheckPropertyValue(0, 0); }), dberr::NotSupported);
}

TEST_F(CacheTest, OtherOperationsReachTheWrappedCursor) {
  std::uint32_t count = 0;
  handle->GetRecordCount(count);
  EXPECT_EQ(count, 5u);
  TCursorProps props;
  handle->GetCursorProperties(props);
  EXPECT_EQ(Val(props.FieldCount), 3);
  EXPECT_EQ(handle->GetTableName(), "Orders");
  EXPECT_EQ(handle->GetBookmarkSize(), 4);
}

}  // namespace
