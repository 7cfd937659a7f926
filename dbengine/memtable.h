#pragma once
// Memory tables and cached updates. TMemTable is a cursor over rows held in
// memory: list results the engine builds itself and the store of changed rows
// of a cached-updates cursor. TBaseCacheTable wraps an open cursor: fetches
// still come from it, while inserts, changes and deletes collect in a memory
// table that the fetches lay over the wrapped records and that is replayed on
// the wrapped cursor when the changes are applied.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "dbengine/basetable.h"

class TMemTable;

// One row of a memory table.
class TMemTableRecord : public TBapiListItem {
  DECLARE_CLASS(TMemTableRecord, TBapiListItem)
 public:
  TMemTableRecord(TMemTable* table, const std::uint8_t* record, const std::uint8_t* bookmark,
                  std::uint32_t number);

  TRecordProps Props{};
  std::vector<std::uint8_t> Record;
  std::vector<std::uint8_t> Bookmark;
  std::uint8_t Applied = 0;  // replayed on the source cursor
  // What the change wrote into blob fields, by field number: the record holds
  // only the source cursor's handle of a blob, which does not outlive the post.
  // A blob field the change left blank has no entry.
  std::map<std::uint16_t, std::string> Blobs;
};

// The rows of a memory table, in the order of their bookmarks.
class TCacheCollection : public TSortedCollection {
  DECLARE_CLASS(TCacheCollection, TSortedCollection)
 public:
  explicit TCacheCollection(TMemTable* table) : table_(table) {}
  const void* KeyOf(TObject* item) const override;
  int Compare(const void* key1, const void* key2) const override;

 private:
  TMemTable* table_;
};

class TMemTable : public TBaseTable {
  DECLARE_CLASS(TMemTable, TBaseTable)
 public:
  // Lays the fields out one after the other from offset 0 (the caller's
  // descriptors are changed in place: offsets, and lengths left at 0).
  TMemTable(TBapiListItem* owner, TMorvaCollection* ownerList, const char* name,
            std::uint16_t fieldCount, TFieldDesc* descs, std::uint16_t bookmarkSize,
            TBaseTable* sourceCursor);
  ~TMemTable() override;

  TBaseTable* SourceCursor() const { return source_; }
  TCacheCollection* Rows() const { return rows_; }
  int RowCount() const { return rows_ != nullptr ? rows_->Count() : 0; }
  TMemTableRecord* Row(int number) const;  // from 1
  TMemTableRecord* CurrentRow() const;
  // The row of a source cursor's record, without moving; none: nullptr.
  TMemTableRecord* RowAtBookmark(const std::uint8_t* bookmark) const;
  std::uint32_t CurrentNumber() const { return current_; }
  // Bytes each row holds: the row size, or the source cursor's record buffer
  // size when that is larger, so that a replayed record is always whole.
  std::size_t RowBytes() const;

  void InitStorage() override;
  void FreeStorage() override;
  std::uint16_t GetDataSize() override;
  std::uint16_t GetBookmarkSize() override;
  void MoveToFirst() override;
  void MoveToLast() override;
  void MoveToNext() override;
  void MoveToPrior() override;
  void GetCurrentRecord(int lock, std::uint8_t* buffer, TRecordProps* props) override;
  void FillRecordProperties(TRecordProps* props) override;
  void GetBookmark(std::uint8_t* bookmark) override;
  void SetToBookmark(const std::uint8_t* bookmark) override;
  void GetRecordAtBookmark(const std::uint8_t* bookmark, std::uint8_t* buffer, int lock) override;
  int CompareBookmarks(const std::uint8_t* a, const std::uint8_t* b) override;
  void GetRecordCount(std::uint32_t& count) override;
  void GetAbsolutePosition(std::uint32_t& position) override;
  void SetAbsolutePosition(std::uint32_t position) override;
  void InsertRecord(int lock, std::uint8_t* buffer) override;
  void AppendRecord(std::uint8_t* buffer) override;
  void ModifyRecord(std::uint8_t* buffer, int freeLock) override;
  void DeleteRecord(std::uint8_t* buffer) override;
  void ClearDeleteFlag() override;
  void EmptyTable() override;
  void CopyFieldOut(std::uint16_t driverType, std::uint16_t keyWidth, std::int16_t units2,
                    std::uint16_t length, const std::uint8_t* value, void* dest,
                    bool& blank) override;
  void CopyFieldIn(std::uint16_t driverType, std::uint16_t keyWidth, std::int16_t units2,
                   std::uint16_t length, std::uint8_t* value, const void* source) override;

  // ---- Own operations
  // Whether the current record is visible under the mask (1 modified,
  // 2 inserted, 4 deleted, 8 no cached change).
  virtual bool FindRow(std::uint8_t mask, bool hasRow);
  // Adds a row holding copies of both (no bookmark: the next row number); it
  // becomes the current row.
  virtual void AddRow(const std::uint8_t* buffer, const std::uint8_t* bookmark);
  // Stores the buffer over the row of the bookmark (the current row without
  // one); a record changed for the first time gets its row here.
  virtual void StoreRow(const std::uint8_t* buffer, const std::uint8_t* bookmark);
  // Marks the row of the bookmark deleted, adding it when it is new.
  virtual void DeleteRowAtBookmark(const std::uint8_t* buffer, const std::uint8_t* bookmark);
  // Replays the rows on the source cursor, last to first. Rows that fail stay
  // unapplied and the walk goes on; afterwards the first failure is raised, so
  // no row is ever dropped in silence.
  virtual void ApplyRowsTo();
  virtual void ClearRows();

 private:
  void ReadCurrentRow();
  bool FindRowByBookmark(const std::uint8_t* bookmark);
  int NumberOfBookmark(const std::uint8_t* bookmark) const;  // from 1; 0 = none
  void ReplayRow(TBaseTable* source, TMemTableRecord* row);

  TCacheCollection* rows_ = nullptr;
  std::uint32_t current_ = 0;  // from 1; 0 = none
  bool betweenRows_ = false;   // the current row was deleted; current_ names its follower
  std::uint16_t rowSize_ = 0;
  std::uint16_t bookmarkSize_;
  std::uint32_t nextRowNumber_ = 1;
  TBaseTable* source_;
};

// Record kinds of TBaseCacheTable::VisibleKinds.
namespace cachekind {
constexpr std::uint8_t Modified = 1;
constexpr std::uint8_t Inserted = 2;
constexpr std::uint8_t Deleted = 4;
constexpr std::uint8_t Unmodified = 8;
}  // namespace cachekind

class TBaseCacheTable : public TBaseTable {
  DECLARE_CLASS(TBaseCacheTable, TBaseTable)
 public:
  explicit TBaseCacheTable(TBaseTable* wrapped);
  ~TBaseCacheTable() override;

  TBaseTable* WrappedCursor() const { return wrapped_; }
  TMemTable* CacheTable() const { return cache_; }
  std::uint8_t VisibleKinds = cachekind::Modified | cachekind::Inserted | cachekind::Unmodified;
  bool KeepSourceValues = false;

  // Lays the cached change of the wrapped cursor's current record over the
  // fetched record; false when the record is hidden.
  virtual bool SyncCurrentRow(std::uint8_t* buffer, TRecordProps* props);

  void GetProperty(TPropertyId id, void* buffer, std::uint16_t size, std::uint16_t& length) override;
  void SetProperty(TPropertyId id, TPropertyValue value) override;
  void CheckPropertyValue(TPropertyId id, TPropertyValue value) override;

  void InitStorage() override;
  void FreeStorage() override;
  void BeginCachedUpdates(TBaseTable*& handle) override;
  // Puts the wrapped cursor back into the handle and frees this object with
  // every unapplied change.
  void EndCachedUpdates(TBaseTable*& handle) override;
  void ProcessCachedUpdates(int subCommand) override;
  void GetCacheTable(TMemTable*& table) override;
  void SwitchToIndex(const char* indexName, const char* tagName, std::uint16_t indexId,
                     bool stayOnRecord) override;
  void InsertRecord(int lock, std::uint8_t* buffer) override;
  void AppendRecord(std::uint8_t* buffer) override;
  void ModifyRecord(std::uint8_t* buffer, int freeLock) override;
  void DeleteRecord(std::uint8_t* buffer) override;
  void GetNextRecord(int lock, std::uint8_t* buffer, TRecordProps* props) override;
  void GetPriorRecord(int lock, std::uint8_t* buffer, TRecordProps* props) override;
  void GetCurrentRecord(int lock, std::uint8_t* buffer, TRecordProps* props) override;
  void MoveToRangeStart() override;
  void MoveToRangeEnd() override;

  // Everything else is the wrapped cursor's.
  std::uint16_t GetWorkBufferSize() override;
  std::uint8_t* GetRecordBuffer() override;
  void SetRecordBuffer(std::uint8_t* buffer) override;
  std::uint8_t* GetInitBuffer() override;
  void SetInitBuffer(std::uint8_t* buffer) override;
  std::string GetTableName() override;
  void SetTableName(const char* name) override;
  std::string GetSourceTableName() override;
  void SetSourceTableName(const char* name) override;
  void CheckRecordInRange(std::uint8_t* buffer) override;
  std::uint16_t GetDataSize() override;
  std::uint16_t GetRecordBufferSize() override;
  std::uint16_t GetBookmarkSize() override;
  void GetFieldDescriptor(std::uint16_t position, std::uint16_t length, TFieldDesc& desc) override;
  std::uint16_t GetSearchCondition(bool inclusive, bool isStart) override;
  void MoveToFirst() override;
  void MoveToLast() override;
  void MoveToNext() override;
  void MoveToPrior() override;
  void CopyFieldOut(std::uint16_t driverType, std::uint16_t keyWidth, std::int16_t units2,
                    std::uint16_t length, const std::uint8_t* value, void* dest,
                    bool& blank) override;
  void CopyFieldIn(std::uint16_t driverType, std::uint16_t keyWidth, std::int16_t units2,
                   std::uint16_t length, std::uint8_t* value, const void* source) override;
  int CompareFieldValues(std::uint16_t fieldType, std::uint16_t subType, std::uint16_t length,
                         bool caseInsensitive, const void* a, const void* b) override;
  void ReadFieldValue(TFieldCacheItem* item, std::uint8_t* buffer, bool& blank, void* dest) override;
  void WriteFieldValue(TFieldCacheItem* item, std::uint8_t* buffer, const void* source) override;
  void Op30() override;
  bool HasFieldStatusArea() override;
  void GetRecordLayout(std::uint16_t& fieldCount, std::uint16_t& recordSize) override;
  void OpenCursor() override;
  void CloseCursor() override;
  void Op35() override;
  void OpenDuplicateCursor(bool readOnly, bool unidirectional, TBaseTable*& cursor) override;
  void Op37() override;
  void Op38() override;
  void LoadFieldList(std::uint16_t fieldNumber, TFieldDesc& desc) override;
  void GetFieldDescriptors(TFieldDesc* descs) override;
  void SetToStart() override;
  void SetToEnd() override;
  void CopyPositionTo(TBaseTable* other) override;
  void GetBookmark(std::uint8_t* bookmark) override;
  void SetToBookmark(const std::uint8_t* bookmark) override;
  void GetRecordAtBookmark(const std::uint8_t* bookmark, std::uint8_t* buffer, int lock) override;
  const std::uint8_t* GetBookmarkKey(const std::uint8_t* bookmark) override;
  int CompareBookmarks(const std::uint8_t* a, const std::uint8_t* b) override;
  void FillRecordProperties(TRecordProps* props) override;
  void SkipRecords(std::int32_t n, int lock, std::uint8_t* buffer, TRecordProps* props) override;
  void FetchRecordByKey(bool directKey, std::uint16_t fieldCount, std::uint16_t keyLength,
                        const std::uint8_t* key, std::uint8_t* buffer) override;
  void GetFieldCheckDescriptor(std::uint16_t checkNumber, void* desc) override;
  void Op58() override;
  void Op59() override;
  void Op60() override;
  void Op61() override;
  void CancelRecordChange(void* reserved) override;
  void GetEditPending(std::int32_t& value) override;
  void Op64(std::uint16_t& value) override;
  void Op65(std::int32_t& value) override;
  void InitRecord(std::uint8_t* buffer) override;
  void ClearDeleteFlag() override;
  void ReadRecordBlock(std::uint32_t& count, std::uint8_t* buffers) override;
  void WriteRecordBlock(std::uint32_t& count, std::uint8_t* buffers) override;
  void GetAbsolutePosition(std::uint32_t& position) override;
  void SetAbsolutePosition(std::uint32_t position) override;
  void GetCursorProperties(TCursorProps& props) override;
  void GetRecordCount(std::uint32_t& count) override;
  void QueryRecordCount(std::uint32_t& count) override;
  void GetSequenceNumber(std::uint32_t& number) override;
  void SetToSequenceNumber(std::uint32_t number) override;
  void Op81() override;
  void SetRereadFlag() override;
  void RereadCurrentRecord(std::uint8_t* buffer) override;
  void Op84() override;
  void Op85() override;
  void SetRange(bool keyItself, std::uint16_t startFieldCount, std::uint16_t startLength,
                const std::uint8_t* startKey, bool startInclusive, std::uint16_t endFieldCount,
                std::uint16_t endLength, const std::uint8_t* endKey, bool endInclusive) override;
  void ResetRange() override;
  void CompareKeys(const std::uint8_t* a, const std::uint8_t* b, std::uint16_t fieldCount,
                   std::uint16_t length, int& result) override;
  void FindIndexByName(const char* name, std::uint16_t& number, std::string& indexName) override;
  void SeekKeyOrEnd(std::uint16_t condition, bool keyItself, std::uint8_t* buffer,
                    const std::uint8_t* key, std::uint16_t keyLength,
                    std::uint16_t fieldCount) override;
  void SeekKey(std::uint16_t condition, bool keyItself, std::uint8_t* buffer,
               const std::uint8_t* key, std::uint16_t keyLength, std::uint16_t fieldCount) override;
  void ExtractKey(const std::uint8_t* record, std::uint8_t* key) override;
  void ExtractKeyFields(const std::uint8_t* record, std::uint8_t* key, std::uint16_t fieldCount,
                        std::uint16_t length) override;
  void GetIndexDescriptor(std::uint16_t number, TIndexDesc& desc) override;
  void GetIndexDescriptors(TIndexDesc* descs) override;
  void Op97() override;
  void Op98() override;
  void DeleteAllRecords() override;
  void EmptyTable() override;
  void Op101() override;
  void Op102() override;
  void LockCurrentRecord() override;
  void PrepareReplayedChange(int value) override;
  void GetCursorStateAddress(void*& address) override;
  // A blob of a record showing a cached change is read from the cache; one
  // opened for writing starts from what the cache holds.
  void OpenBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, int openMode) override;
  void GetBlobSize(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t& size) override;
  void ReadBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t offset,
                std::uint32_t length, void* dest, std::uint32_t& read) override;
  bool ReadBlobPiece(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t offset,
                     std::uint32_t length, void* dest, std::uint32_t& read) override;
  void ReadWholeBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::string& out) override;
  void WriteBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t offset,
                 std::uint32_t length, const void* source) override;
  void TruncateBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t length) override;
  void FreeBlob(std::uint8_t* buffer, std::uint16_t fieldNumber) override;
  void Op116() override;
  void Op117() override;
  void GetField(std::uint16_t fieldNumber, std::uint8_t* buffer, void* dest, bool& blank) override;
  void PutField(std::uint16_t fieldNumber, std::uint8_t* buffer, const void* source) override;
  void GetFieldIsBlank(std::uint16_t fieldNumber, std::uint8_t* buffer, bool& blank) override;
  // Filters are the wrapper's own (see HandOverFilters); the base keeps them.
  void AddFilter(std::intptr_t clientData, std::uint16_t priority, bool canAbort,
                 const void* expression, TFilterCallback callback,
                 TFilterListItem*& filter) override;
  void Op127() override;
  void Op128() override;
  void Op129() override;
  void Op130() override;
  void Op131() override;
  void Op132() override;

 private:
  static void HandOverFilters(TBaseTable* from, TBaseTable* to);
  // The fetched record is shown (its cached change laid over it) and every
  // active filter accepts it as shown.
  bool ShownAndAccepted(std::uint8_t* buffer, TRecordProps* props);
  // The blob contents a record about to be cached holds: those written
  // through blobs open on it, those it shows from the cache, and `before`'s
  // for the rest, less the blob fields it leaves blank.
  std::map<std::uint16_t, std::string> BlobsOf(std::uint8_t* buffer, std::map<std::uint16_t, std::string> before);
  // What the cache holds for a blob field of `buffer`, while the buffer still
  // shows the cached change a fetch laid over it; else nullptr.
  const std::string* CachedBlob(const std::uint8_t* buffer, std::uint16_t fieldNumber);
  // The bytes of the buffer's blob fields, which name the blobs it holds.
  std::string BlobSlots(const std::uint8_t* buffer);
  void NoteShown(const std::uint8_t* buffer, const TMemTableRecord* row);

  TBaseTable* wrapped_;
  TMemTable* cache_ = nullptr;
  std::vector<std::uint8_t> bookmark_;  // the wrapped cursor's bookmark size
  // The buffers a fetch laid a cached change with blob contents over: the
  // change's bookmark and the buffer's blob bytes then (a later read of any
  // other record into the buffer changes them, or forgets the buffer).
  struct TShownChange {
    std::vector<std::uint8_t> bookmark;
    std::string slots;
  };
  std::map<const std::uint8_t*, TShownChange> shown_;
  // Blobs opened for reading on such buffers, each with the content it reads.
  std::map<std::pair<const std::uint8_t*, std::uint16_t>, std::string> cachedReads_;
};
