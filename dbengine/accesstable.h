#pragma once
// The engine's cursor over one DAO recordset of an Access database: moves,
// seeks, bookmarks, index switches, record reads and writes, blobs.
//
// Record buffer: field n lies at its descriptor's offset in its stored form
// (see the field list in accesslists.h); after the data follows the status
// area, 8 bytes per field. A memo or long-binary field holds a 16-byte slot:
// the open blob object of this buffer (pointer-sized), the DAO FieldSize and
// the first four bytes of the record's DAO bookmark.

#include <cstdint>
#include <string>
#include <memory>
#include <vector>

#include "dbengine/basetable.h"
#include "platform/dao/dao.h"

class TDAODatabase;
class TDAORecordset;
class TDAOFields;
class TDAOField;
class TDAOQuerydef;
class TAccessBaseBlob;

// Bookmarks: four bytes of the DAO bookmark, then the record's key.
constexpr std::uint16_t kAccessBookmarkSize = 260;

#pragma pack(push, 1)
struct TAccessBlobSlot {
  TAccessBaseBlob* Blob;  // pointer-sized: the open blob object of this buffer
  std::int32_t FieldSize;
  std::int32_t BookmarkWord;
};
#pragma pack(pop)
static_assert(sizeof(TAccessBlobSlot) == sizeof(void*) + 8);

// The Access cursors' common base; it adds nothing of its own.
class TAccessBaseTable : public TBaseTable {
  DECLARE_CLASS(TAccessBaseTable, TBaseTable)
 public:
  using TBaseTable::TBaseTable;
};

class TAccessTable : public TAccessBaseTable {
  DECLARE_CLASS(TAccessTable, TAccessBaseTable)
 public:
  TAccessTable(TBapiListItem* owner, TMorvaCollection* ownerList, const char* tableName,
               const char* driverType, std::int32_t openMode, std::int32_t shareMode,
               TDAODatabase* database);
  ~TAccessTable() override;

  std::string GetTableName() override;
  void SetTableName(const char* name) override;
  std::uint16_t GetDataSize() override;
  std::uint16_t GetBookmarkSize() override { return kAccessBookmarkSize; }
  void MoveToFirst() override;
  void MoveToLast() override;
  void MoveToNext() override;
  bool FetchNextRecord(int lock, std::uint8_t* buffer, TRecordProps* props) override;
  void MoveToPrior() override;
  void ReadFieldValue(TFieldCacheItem* item, std::uint8_t* buffer, bool& blank, void* dest) override;
  void CopyFieldOut(std::uint16_t driverType, std::uint16_t keyWidth, std::int16_t units2,
                    std::uint16_t length, const std::uint8_t* value, void* dest, bool& blank) override;
  void CopyFieldIn(std::uint16_t driverType, std::uint16_t keyWidth, std::int16_t units2,
                   std::uint16_t length, std::uint8_t* value, const void* source) override;
  bool HasFieldStatusArea() override { return true; }
  void OpenCursor() override;
  void CloseCursor() override;
  void LoadFieldList(std::uint16_t fieldNumber, TFieldDesc& desc) override;
  void GetBookmark(std::uint8_t* bookmark) override;
  void SetToBookmark(const std::uint8_t* bookmark) override;
  void GetRecordAtBookmark(const std::uint8_t* bookmark, std::uint8_t* buffer, int lock) override;
  // A refresh: the recordset is brought up to the file, which refuses when
  // the database file is no longer at its path.
  void SetRereadFlag() override;
  const std::uint8_t* GetBookmarkKey(const std::uint8_t* bookmark) override { return bookmark + 4; }
  int CompareBookmarks(const std::uint8_t* a, const std::uint8_t* b) override;
  void MoveToRangeStart() override;
  void MoveToRangeEnd() override;
  // A range changes what the filters' pre-selection must let through.
  void SetRange(bool keyItself, std::uint16_t startFieldCount, std::uint16_t startLength,
                const std::uint8_t* startKey, bool startInclusive, std::uint16_t endFieldCount,
                std::uint16_t endLength, const std::uint8_t* endKey, bool endInclusive) override;
  void ResetRange() override;
  void FetchRecordByKey(bool directKey, std::uint16_t fieldCount, std::uint16_t keyLength,
                        const std::uint8_t* key, std::uint8_t* buffer) override;
  void CancelRecordChange(void* reserved) override;
  void GetEditPending(std::int32_t& value) override { value = EditPending ? -1 : 0; }
  void Op64(std::uint16_t& value) override { value = 0; }
  void Op65(std::int32_t& value) override { value = -1; }
  void InsertRecord(int lock, std::uint8_t* buffer) override;
  void ModifyRecord(std::uint8_t* buffer, int freeLock) override;
  void DeleteRecord(std::uint8_t* buffer) override;
  void GetAbsolutePosition(std::uint32_t& position) override;
  void SetAbsolutePosition(std::uint32_t position) override;
  void GetCursorProperties(TCursorProps& props) override;
  void GetRecordCount(std::uint32_t& count) override;
  void GetSequenceNumber(std::uint32_t& number) override { GetAbsolutePosition(number); }
  void SetToSequenceNumber(std::uint32_t number) override { SetAbsolutePosition(number); }
  void SwitchToIndex(const char* indexName, const char* tagName, std::uint16_t indexId,
                     bool stayOnRecord) override;
  void SeekKey(std::uint16_t condition, bool keyItself, std::uint8_t* buffer,
               const std::uint8_t* key, std::uint16_t keyLength, std::uint16_t fieldCount) override;
  void ExtractKeyFields(const std::uint8_t* record, std::uint8_t* key, std::uint16_t fieldCount,
                        std::uint16_t length) override;
  void GetIndexDescriptor(std::uint16_t number, TIndexDesc& desc) override;
  void GetIndexDescriptors(TIndexDesc* descs) override;
  void LockCurrentRecord() override;
  void PrepareReplayedChange(int value) override;
  void OpenBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, int openMode) override;
  void GetBlobSize(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t& size) override;
  void ReadBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t offset,
                std::uint32_t length, void* dest, std::uint32_t& read) override;
  bool ReadBlobPiece(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t offset,
                     std::uint32_t length, void* dest, std::uint32_t& read) override;
  void WriteBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t offset,
                 std::uint32_t length, const void* source) override;
  void FreeBlob(std::uint8_t* buffer, std::uint16_t fieldNumber) override;
  void ReadWholeBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::string& out) override;

  // The open blob of a blob field in the buffer; with create a new one (a
  // second open raises BLOBOPENED). Without create and none open: BLOBNOTOPENED.
  TAccessBaseBlob* FindBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, bool create);

  // A cursor over a stored query's recordset opens it from the query.
  void SetQueryDef(TDAOQuerydef* queryDef) { queryDef_ = queryDef; }
  // The index count of the table, from an index list over the recordset.
  std::uint16_t CountIndexes();

  bool EditPending = false;
  TDAODatabase* DAODatabase;
  TDAORecordset* Recordset = nullptr;
  std::string DAOTableName;
  bool IsQueryCursor = false;
  TDAOFields* DAOFields = nullptr;

 private:
  void FetchThroughIndexedDuplicate(bool directKey, std::uint16_t keyLength, const std::uint8_t* key,
                                    std::uint8_t* buffer, std::uint16_t seekFields);
  // The recordset is ordered by the current index (switched to it), not
  // only described by it (the first index of a cursor opened on none).
  bool indexApplied_ = false;
  // The key fields of the record last read, and the position they belong to.
  std::vector<std::uint8_t> keyCache_;
  std::int32_t keyCacheWord_ = 0;
  bool keyCacheValid_ = false;
  std::vector<std::unique_ptr<TDAOField>> fieldObjects_;
  // The record's values as one call reads them; kept to reuse its storage.
  std::vector<DAOCellValue> cells_;
  TDAOField* DAOField(std::int16_t index);
  void LoadLockedRecord();

  bool StepToNext() override;
  void LoadFields();  // fills the field cache from a field list over the recordset
  bool LoadRecordBuffer();
  // The cache items of the recordset's fields in its order, found once per
  // recordset opened: its fields stay as they were when it opened.
  const std::vector<TFieldCacheItem*>& LoadedFields();
  std::vector<TFieldCacheItem*> loadedFields_;
  // Called by a blob once it has read its stored value: when the record the
  // recordset stands on no longer holds what `buffer` holds (another user
  // changed it since the buffer was filled), the buffer takes the record as
  // it stands now, so that every field comes from one version of the row.
  // The blobs open on the buffer stay open.
  void KeepOneVersion(std::uint8_t* buffer);
  // The buffer the last record was read into, and the recordset's read it
  // holds: a blob on that buffer with no fresh read since needs no check.
  std::uint8_t* loadedBuffer_ = nullptr;
  std::int64_t loadedReads_ = -1;
  std::int32_t loadedWord_ = 0;  // the bookmark word that read put in its blob slots
  // That read's record was chosen by a deciding row condition (see
  // FiltersDecided); cleared by the first question, by a move and by
  // anything written to a record.
  bool loadedDecided_ = false;
  bool StoreRecordBuffer();
  // StoreRecordBuffer and the recordset's Update; a failure leaves the buffer
  // as it was (and cancels an addition).
  void StoreAndUpdate(std::uint8_t* buffer, bool adding);
  void StoreBlobField(TFieldCacheItem* item, std::uint16_t fieldNumber, std::int16_t daoType,
                      TDAOField* field);
  void AfterMove();
  // The bookmark word of the DAO current record.
  std::int32_t CurrentBookmarkWord();
  // A bookmark's key area after its word holds what fits of the record's key:
  // whole key fields and a text cut on a character. `Fields` is their count.
  struct TBookmarkKeyShape {
    int Fields = 0;
    std::size_t FullWidth = 0;  // of the whole key
  };
  TBookmarkKeyShape BookmarkKeyShape();
  bool ChangesKey(std::uint8_t* buffer);
  bool HoldsLockedRead();
  void ExtractBookmarkKey(const std::uint8_t* record, std::uint8_t* area);
  bool PositionAt(std::int32_t word);  // false when the record is gone
  void CheckExactPosition();
  // Hands the recordset the SQL part of the active filters (see filtersql.h).
  void FiltersChanged() override;
  bool FiltersDecided(const std::uint8_t* buffer) override;
  std::string SurelyInRangeSql();
  // The whole numbers a range of one key sets the first key fields to (both
  // bounds alike and inclusive, each field a whole number, as a detail
  // table's link to its master sets it); empty for every other range.
  std::vector<std::int64_t> RangePoint();
  bool conditionDecides_ = false;  // the recordset's row condition decides as the active filters do
  void FreeAllBlobs();
  void ReleaseBlob(TAccessBaseBlob* blob);
  // ReadWholeBlob's memo of the record just read, without a blob; false: not that case.
  bool ReadMemoInPlace(std::uint8_t* buffer, std::uint16_t fieldNumber, std::string& out);

  TDAOQuerydef* queryDef_ = nullptr;
  std::vector<TAccessBaseBlob*> blobs_;  // every blob this cursor has open
  // The last bookmark positioning found its record gone and stood elsewhere:
  // Edit and Delete must not act on the record it stands on instead.
  bool inexactPosition_ = false;
  friend class TAccessBaseBlob;
};

// DAO recordset options from the cursor's share and open modes; -1 omitted.
std::int32_t AccessRecordsetOptions(std::int32_t openMode, std::int32_t shareMode);
