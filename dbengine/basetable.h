#pragma once
// The engine's abstract cursor: one open table, query result or list,
// positioned on at most one record. It holds the fetch state machine, the
// range that limits records to a key interval and the filters that hide
// records; a driver supplies the moves, field conversions and data. What a
// driver does not provide raises NOTSUPPORTED (or NA).

#include <cstdint>
#include <string>
#include <vector>

#include "dbengine/engineobjects.h"
#include "dbengine/enginetypes.h"
#include "dbengine/fieldcache.h"
#include "dbengine/filters.h"

class TMemTable;

// Cursor states.
namespace curstate {
constexpr std::uint8_t JustOpened = 0;
constexpr std::uint8_t OnRecord = 1;
constexpr std::uint8_t BeforeFirst = 2;
constexpr std::uint8_t AfterLast = 3;
constexpr std::uint8_t BetweenRecords = 4;  // the current record was deleted
constexpr std::uint8_t Closed = 5;
}  // namespace curstate

// Search conditions handed to SeekKey.
namespace keysearch {
constexpr std::uint16_t GreaterOrEqual = 1;  // inclusive range start
constexpr std::uint16_t Greater = 2;         // exclusive range start
constexpr std::uint16_t Less = 3;            // exclusive range end
constexpr std::uint16_t LessOrEqual = 4;     // inclusive range end
}  // namespace keysearch

// One end of a cursor's range.
struct TRangeBound {
  bool KeyItself = false;   // the caller gave a key (not a record buffer)
  bool IsSet = false;
  std::uint16_t FieldCount = 0;  // 0 = all key fields
  std::uint16_t KeyLength = 0;
  bool Inclusive = false;
  // Sized from the current index's key when the bound is set: a bound holds
  // whatever that index's key holds, however wide its fields are.
  std::vector<std::uint8_t> KeyData;
};

// Scratch bytes for one field value or key, on the stack when they fit (as
// those of most fields do): the cursors need some with every record read.
// Zeroed unless the caller throws what is written there away.
class TFieldScratch {
 public:
  explicit TFieldScratch(std::size_t size, bool zeroed = true);
  TFieldScratch(const TFieldScratch&) = delete;
  TFieldScratch& operator=(const TFieldScratch&) = delete;
  std::uint8_t* Data() { return data_; }

 private:
  std::uint8_t stack_[512];
  std::vector<std::uint8_t> heap_;
  std::uint8_t* data_;
};

class TBaseTable : public TBapiListItem {
  DECLARE_CLASS(TBaseTable, TBapiListItem)
 public:
  // Joins the owner database's list of cursors. Storage (InitStorage) and the
  // work buffer are set up by each driver's own constructor, since a base
  // constructor cannot reach a driver's overrides.
  TBaseTable(TBapiListItem* owner, TMorvaCollection* ownerList, const char* tableName,
             const char* driverType, std::int32_t openMode, std::int32_t shareMode);
  ~TBaseTable() override;

  void GetProperty(TPropertyId id, void* buffer, std::uint16_t size, std::uint16_t& length) override;
  void SetProperty(TPropertyId id, TPropertyValue value) override;
  void CheckPropertyValue(TPropertyId id, TPropertyValue value) override;

  // ---- Virtual operations, in slot order
  virtual std::uint16_t GetWorkBufferSize();
  virtual std::uint8_t* GetRecordBuffer();
  virtual void SetRecordBuffer(std::uint8_t* buffer);
  virtual std::uint8_t* GetInitBuffer();
  virtual void SetInitBuffer(std::uint8_t* buffer);
  virtual std::string GetTableName();
  virtual void SetTableName(const char* name);
  virtual std::string GetSourceTableName();
  virtual void SetSourceTableName(const char* name);
  virtual void CheckRecordInRange(std::uint8_t* buffer);
  virtual std::uint16_t GetDataSize();
  virtual std::uint16_t GetRecordBufferSize();
  virtual std::uint16_t GetBookmarkSize();
  virtual void GetFieldDescriptor(std::uint16_t position, std::uint16_t length, TFieldDesc& desc);
  virtual std::uint16_t GetSearchCondition(bool inclusive, bool isStart);
  virtual void InitStorage();
  virtual void FreeStorage();
  virtual void MoveToFirst();
  virtual void MoveToLast();
  virtual void MoveToNext();
  virtual void MoveToPrior();
  // Driver conversions between a stored value and a caller's value.
  virtual void CopyFieldOut(std::uint16_t driverType, std::uint16_t keyWidth, std::int16_t units2,
                            std::uint16_t length, const std::uint8_t* value, void* dest, bool& blank);
  virtual void CopyFieldIn(std::uint16_t driverType, std::uint16_t keyWidth, std::int16_t units2,
                           std::uint16_t length, std::uint8_t* value, const void* source);
  virtual int CompareFieldValues(std::uint16_t fieldType, std::uint16_t subType,
                                 std::uint16_t length, bool caseInsensitive, const void* a,
                                 const void* b);
  virtual void ReadFieldValue(TFieldCacheItem* item, std::uint8_t* buffer, bool& blank, void* dest);
  virtual void WriteFieldValue(TFieldCacheItem* item, std::uint8_t* buffer, const void* source);
  virtual void Op30();
  virtual bool HasFieldStatusArea();
  virtual void GetRecordLayout(std::uint16_t& fieldCount, std::uint16_t& recordSize);
  virtual void OpenCursor();
  virtual void CloseCursor();
  virtual void Op35();
  virtual void OpenDuplicateCursor(bool readOnly, bool unidirectional, TBaseTable*& cursor);
  virtual void Op37();
  virtual void Op38();
  // The descriptor of field n, for fields not in the cache yet.
  virtual void LoadFieldList(std::uint16_t fieldNumber, TFieldDesc& desc);
  virtual void GetFieldDescriptors(TFieldDesc* descs);
  virtual void SetToStart();
  virtual void SetToEnd();
  virtual void CopyPositionTo(TBaseTable* other);
  virtual void GetBookmark(std::uint8_t* bookmark);
  virtual void SetToBookmark(const std::uint8_t* bookmark);
  virtual void GetRecordAtBookmark(const std::uint8_t* bookmark, std::uint8_t* buffer, int lock);
  virtual const std::uint8_t* GetBookmarkKey(const std::uint8_t* bookmark);
  virtual int CompareBookmarks(const std::uint8_t* a, const std::uint8_t* b);
  virtual void MoveToRangeStart();
  virtual void MoveToRangeEnd();
  virtual void FillRecordProperties(TRecordProps* props);
  virtual void GetNextRecord(int lock, std::uint8_t* buffer, TRecordProps* props);
  // GetNextRecord answering false past the last record instead of raising
  // EOF: every walk ends there, and raising it cost more than the rest of a
  // walk over one record. Through GetNextRecord unless a cursor says otherwise.
  virtual bool FetchNextRecord(int lock, std::uint8_t* buffer, TRecordProps* props);
  virtual void GetPriorRecord(int lock, std::uint8_t* buffer, TRecordProps* props);
  virtual void GetCurrentRecord(int lock, std::uint8_t* buffer, TRecordProps* props);
  virtual void SkipRecords(std::int32_t n, int lock, std::uint8_t* buffer, TRecordProps* props);
  virtual void FetchRecordByKey(bool directKey, std::uint16_t fieldCount, std::uint16_t keyLength,
                                const std::uint8_t* key, std::uint8_t* buffer);
  virtual void GetFieldCheckDescriptor(std::uint16_t checkNumber, void* desc);
  virtual void Op58();
  virtual void Op59();
  virtual void Op60();
  virtual void Op61();
  virtual void CancelRecordChange(void* reserved);
  // Slot 63: -1 while the current record is locked for an edit, else 0.
  virtual void GetEditPending(std::int32_t& value);
  virtual void Op64(std::uint16_t& value);
  virtual void Op65(std::int32_t& value);
  virtual void InitRecord(std::uint8_t* buffer);
  virtual void InsertRecord(int lock, std::uint8_t* buffer);
  virtual void AppendRecord(std::uint8_t* buffer);
  virtual void ModifyRecord(std::uint8_t* buffer, int freeLock);
  virtual void DeleteRecord(std::uint8_t* buffer);
  // Slot 71: takes the delete mark off the current record.
  virtual void ClearDeleteFlag();
  virtual void ReadRecordBlock(std::uint32_t& count, std::uint8_t* buffers);
  virtual void WriteRecordBlock(std::uint32_t& count, std::uint8_t* buffers);
  virtual void GetAbsolutePosition(std::uint32_t& position);
  virtual void SetAbsolutePosition(std::uint32_t position);
  virtual void GetCursorProperties(TCursorProps& props);
  virtual void GetRecordCount(std::uint32_t& count);
  virtual void QueryRecordCount(std::uint32_t& count);
  virtual void GetSequenceNumber(std::uint32_t& number);
  virtual void SetToSequenceNumber(std::uint32_t number);
  virtual void Op81();
  virtual void SetRereadFlag();
  virtual void RereadCurrentRecord(std::uint8_t* buffer);
  virtual void Op84();
  virtual void Op85();
  virtual void SetRange(bool keyItself, std::uint16_t startFieldCount, std::uint16_t startLength,
                        const std::uint8_t* startKey, bool startInclusive,
                        std::uint16_t endFieldCount, std::uint16_t endLength,
                        const std::uint8_t* endKey, bool endInclusive);
  virtual void ResetRange();
  virtual void CompareKeys(const std::uint8_t* a, const std::uint8_t* b, std::uint16_t fieldCount,
                           std::uint16_t length, int& result);
  virtual void FindIndexByName(const char* name, std::uint16_t& number, std::string& indexName);
  virtual void SwitchToIndex(const char* indexName, const char* tagName, std::uint16_t indexId,
                             bool stayOnRecord);
  virtual void SeekKeyOrEnd(std::uint16_t condition, bool keyItself, std::uint8_t* buffer,
                            const std::uint8_t* key, std::uint16_t keyLength,
                            std::uint16_t fieldCount);
  virtual void SeekKey(std::uint16_t condition, bool keyItself, std::uint8_t* buffer,
                       const std::uint8_t* key, std::uint16_t keyLength, std::uint16_t fieldCount);
  virtual void ExtractKey(const std::uint8_t* record, std::uint8_t* key);
  virtual void ExtractKeyFields(const std::uint8_t* record, std::uint8_t* key,
                                std::uint16_t fieldCount, std::uint16_t length);
  virtual void GetIndexDescriptor(std::uint16_t number, TIndexDesc& desc);
  virtual void GetIndexDescriptors(TIndexDesc* descs);
  virtual void Op97();
  virtual void Op98();
  virtual void DeleteAllRecords();
  virtual void EmptyTable();
  virtual void Op101();
  virtual void Op102();
  virtual void BeginCachedUpdates(TBaseTable*& handle);
  virtual void EndCachedUpdates(TBaseTable*& handle);
  virtual void ProcessCachedUpdates(int subCommand);
  virtual void GetCacheTable(TMemTable*& table);
  virtual void LockCurrentRecord();
  // Slot 108: readies the current record for a change replayed from a cache
  // (1: a modification, which the record's lock must cover).
  virtual void PrepareReplayedChange(int value);
  // Slot 109: where the cursor keeps its state.
  virtual void GetCursorStateAddress(void*& address);
  virtual void OpenBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, int openMode);
  virtual void GetBlobSize(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t& size);
  virtual void ReadBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t offset,
                        std::uint32_t length, void* dest, std::uint32_t& read);
  // The same read answering true where ReadBlob raises ENDOFBLOB: reading a
  // blob to its end, as every read of a whole memo does, costs no exception
  // with a driver that overrides it.
  virtual bool ReadBlobPiece(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t offset,
                             std::uint32_t length, void* dest, std::uint32_t& read);
  virtual void WriteBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t offset,
                         std::uint32_t length, const void* source);
  virtual void TruncateBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t length);
  virtual void FreeBlob(std::uint8_t* buffer, std::uint16_t fieldNumber);
  // The whole content of a blob not open on `buffer`, as an open for reading,
  // a read of all of it and a free would give: a reader that wants all of it
  // (a record's memo text) makes one call and no copy through its own buffer.
  virtual void ReadWholeBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::string& out);
  virtual void Op116();
  virtual void Op117();
  virtual void GetField(std::uint16_t fieldNumber, std::uint8_t* buffer, void* dest, bool& blank);
  virtual void PutField(std::uint16_t fieldNumber, std::uint8_t* buffer, const void* source);
  virtual void GetFieldIsBlank(std::uint16_t fieldNumber, std::uint8_t* buffer, bool& blank);
  virtual void UpdateFilterFlag();
  virtual void AddFilter(std::intptr_t clientData, std::uint16_t priority, bool canAbort,
                         const void* expression, TFilterCallback callback,
                         TFilterListItem*& filter);
  virtual void DropFilter(TFilterListItem* filter);
  virtual void ActivateFilter(TFilterListItem* filter);
  virtual void DeactivateFilter(TFilterListItem* filter);
  virtual void GetFilterInfo(TFilterListItem* filter, TFilterInfo& info);
  virtual void Op127();
  virtual void Op128();
  virtual void Op129();
  virtual void Op130();
  virtual void Op131();
  virtual void Op132();

  // ---- State
  std::uint8_t CursorState = curstate::Closed;
  std::uint8_t FetchDirection = 1;  // 1 forward, 2 backward
  TRangeBound RangeStart;
  TRangeBound RangeEnd;
  bool SameRangeShape = false;
  bool FiltersActive = false;
  bool RereadFlag = false;
  std::int32_t OpenMode;
  std::int32_t ShareMode;  // 1 = exclusive
  std::string DriverType;

  TMorvaFieldCache* FieldCache() const { return fieldCache_; }
  TMorvaCollection* FilterList() const { return filterList_; }
  const TIndexDesc& CurrentIndex() const { return currentIndex_; }

 protected:
  // Called whenever the set of active filters may have changed, so that a
  // driver can let its database pre-select the records they can accept.
  virtual void FiltersChanged() {}
  // Records pass the range and every active filter, or the fetch moves on.
  // With `passOver` (the moves of a walk), a record outside the range on the
  // side the walk comes from is passed over too (see InRangeOnTheWay).
  void RecordPassesRangeAndFilters(std::uint8_t* buffer, bool passOver = false);
  // The same, answering false where a move forward passes the last record.
  bool PassRangeAndFilters(std::uint8_t* buffer, bool passOver);
  // Whether the record is inside the range; a record outside it on the far
  // side of the walk raises its end.
  bool InRangeOnTheWay(std::uint8_t* buffer, bool passOver);
  // MoveToNext answering false at the end instead of raising EOF; a cursor
  // that can tell its end without raising says so here.
  virtual bool StepToNext();
  // The fetch state machine's next record; false past the last one.
  bool NextInOrder(int lock, std::uint8_t* buffer, TRecordProps* props);
  bool FilterAccepts(std::uint8_t* buffer);
  // The record just read into `buffer` is one every active filter accepts,
  // known without testing it (the driver's database chose it by a condition
  // that decides as the filters do). Asked once per record read.
  virtual bool FiltersDecided(const std::uint8_t*) { return false; }
  // The common end of a next or prior fetch: range, filters, lock, state.
  void FinishFetch(int lock, std::uint8_t* buffer, TRecordProps* props);
  void CompleteFetch(int lock, std::uint8_t* buffer, TRecordProps* props);  // lock and state
  void SetRangeBound(TRangeBound& bound, bool keyItself, std::uint16_t fieldCount,
                     std::uint16_t length, const std::uint8_t* key, bool inclusive);
  void AllocateWorkBuffer();
  std::uint8_t* WorkBuffer() { return workBuffer_.empty() ? nullptr : workBuffer_.data(); }
  // The key width of key field i (0-based) of the current index.
  std::uint16_t KeyFieldWidth(int i);
  // The bytes one key of the current index takes (every key field at its key width).
  std::size_t KeyAreaBytes();

  TIndexDesc currentIndex_{};  // the current index: key fields, key length, descending flags
  std::uint16_t dataSize_ = 0;
  std::uint16_t recordSize_ = 0;

 private:
  std::string tableName_;
  std::string sourceTableName_;
  std::uint8_t* recordBuffer_ = nullptr;
  std::uint8_t* initBuffer_ = nullptr;
  std::vector<std::uint8_t> workBuffer_;
  TMorvaFieldCache* fieldCache_;
  TMorvaCollection* filterList_;
};
