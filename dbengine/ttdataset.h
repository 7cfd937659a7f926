#pragma once
// The record-buffer dataset over the call layer: fills the class library's
// dataset protocol with call-layer entries on one engine cursor. It owns the
// record-buffer layout, field reads and writes, bookmarks, index keys and key
// ranges, filters, locate and cached updates. The cursor itself comes from
// OpenCursorHandle, which the table and the query supply; the call layer from
// the Engine hook, which a binding fills.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/ttsession.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/db/dataset.h"

class TttBDEDataset;

// The update object of cached updates: the dataset only calls it.
class TTDataSetUpdateObject : public TComponent {
  DECLARE_CLASS(TTDataSetUpdateObject, TComponent)
 public:
  using TComponent::TComponent;
  virtual TDataSet* GetDataSet() const = 0;
  virtual void SetDataSet(TDataSet* dataSet) = 0;
  virtual void Apply(TUpdateKind kind) = 0;
};

// The class library's "no result set" failure.
class ENoResultSet : public EDatabaseError {
  DECLARE_CLASS(ENoResultSet, EDatabaseError)
 public:
  using EDatabaseError::EDatabaseError;
};

using TOnServerYieldEvent = std::function<void(TDataSet* dataSet, bool& abortQuery)>;

namespace datasettext {
inline constexpr const char* NoCursorHandle = "Error creating cursor handle";
inline constexpr const char* ExpressionIndex = "Cannot use array of Field values with Expression Indices";
inline constexpr const char* IndexFieldMissing = "Cannot access index field '%s'";
inline constexpr const char* UpdatesPending =
    "Cannot discard cached updates that are not applied; apply or cancel them first";
}  // namespace datasettext

// Cursor property that makes the current-record read return the record as it
// was before its pending change.
constexpr TPropertyId kOldValuesProperty = 0x05050004;

class TttBDEDataset : public TDataSet {
  DECLARE_CLASS(TttBDEDataset, TDataSet)
 public:
  // The six key buffers, in this order.
  enum TKeyIndex { kiLookup, kiRangeStart, kiRangeEnd, kiCurRangeStart, kiCurRangeEnd, kiSave };
  // An 8-byte header followed by a record image.
#pragma pack(push, 1)
  struct TKeyBufferHeader {
    std::uint8_t Modified;
    std::uint8_t Exclusive;
    std::uint8_t Spare[2];
    std::int32_t FieldCount;
  };
#pragma pack(pop)
  static_assert(sizeof(TKeyBufferHeader) == 8);
  // The record info behind the blob cache of each buffer.
#pragma pack(push, 1)
  struct TRecInfo {
    std::int32_t RecordNumber;
    std::uint8_t UpdateStatus;
    std::uint8_t BookmarkFlag;
    std::uint8_t Spare[2];
  };
#pragma pack(pop)
  static_assert(sizeof(TRecInfo) == 8);
  // What the cached-update routine works on (buffers are owned by the dataset;
  // the two pointer slots are pointer-sized).
#pragma pack(push, 1)
  struct TUpdateCallbackInfo {
    DBIResult ErrorCode;
    std::uint32_t UpdateKind;  // engine numbering: 1 modify, 2 insert, 3 delete
    std::uint16_t RecordSize;
    std::uint8_t* NewRecord;
    std::uint8_t* OldRecord;
  };
#pragma pack(pop)

  explicit TttBDEDataset(TComponent* owner = nullptr);
  ~TttBDEDataset() override;

  // ---- hooks filled by the binding
  // The call layer; nil here (also while a binding's part is destroyed).
  virtual TVirtEng* Engine() const { return nullptr; }
  virtual void SetSessionList() {}
  virtual TttSession* DefaultSession() const { return nullptr; }
  virtual TBaseTable* OpenCursorHandle() { return nullptr; }
  virtual void CloseCursorHandle();
  virtual void PrepareOpenedCursor() {}
  // A second cursor on the table, in the order of an index on the fields
  // (case-blind when asked), kept for the next search; none here.
  virtual TBaseTable* AcquireLookupCursor(const std::string&, bool) { return nullptr; }
  virtual void DropLookupCursor() {}

  // Locate taking the first record in the order of an index on the fields,
  // whatever order the dataset shows (a lookup combo's search of a name): the
  // index narrows, and the dataset moves to the record found. Where the
  // dataset does not show every record (a filter, a range, cached changes),
  // or no such index serves, a Locate in the dataset's own order.
  bool LocateInKeyOrder(const std::string& keyFields, const Variant& keyValues, TLocateOptions options);

  // ---- properties
  TBaseTable* Handle() const { return cursor_; }
  bool CacheBlobs() const { return cacheBlobs_; }
  void SetCacheBlobs(bool on) { cacheBlobs_ = on; }
  TTDataSetUpdateObject* UpdateObject() const { return updateObject_; }
  void SetUpdateObject(TTDataSetUpdateObject* object);
  TOnServerYieldEvent OnServerYield;
  void SetCachedUpdates(bool on) override;
  void SetOnUpdateError(TUpdateErrorEvent handler) override;
  std::uint16_t RecordSize() const { return recordSize_; }
  std::uint16_t KeySize() const { return keySize_; }
  int IndexFieldCount() const { return indexFieldCount_; }
  bool ExpressionIndex() const { return expressionIndex_; }
  const TRecordProps& RecordProps() const { return recordProps_; }

  // ---- cached updates: applied to the table as the class library does
  void ApplyUpdates() override;
  void CommitUpdates() override;
  void CancelUpdates() override;
  bool UpdatesPending() override;
  // The pending change of the active record (cached updates).
  TUpdateStatus UpdateStatus() override;
  // The routine the engine runs per pending change; the engine answer.
  int UpdateRoutine();
  TUpdateCallbackInfo& UpdateCallbackInfo() { return updateInfo_; }
  // Yield routine: 2 aborts, 0 goes on.
  int YieldRoutine(int step);

  // ---- the protocol
  bool CheckBookmark(TBookmark bookmark) override;
  int CompareBookmarks(TBookmark a, TBookmark b) override;
  bool ReadCurrentRecord(TRecordBuffer buffer) override;
  int CountRecords() override;
  int GetRecordNumber() override;
  void SetRecordNumber(int value) override;
  bool HasStableRecordNumbers() override;
  bool QueryCanModify() override;
  bool IsIndexedField(TField* field) override;
  void ReleaseFieldBlob(TField* field) override;
  Variant ReadFieldValueInState(TDataSetState state, TField* field) override;
  void WriteFieldValueInState(TDataSetState state, TField* field, const Variant& value) override;
  void SetFiltered(bool value) override;
  void SetFilterText(const std::string& text) override;
  void SetFilterOptions(TFilterOptions options) override;
  void SetOnFilterRecord(TFilterRecordEvent handler) override;
  bool SearchFilterMatch(bool restart, bool forward) override;
  bool FindRecordByValues(const std::string& keyFields, const Variant& keyValues,
                          TLocateOptions options) override;
  Variant FetchValuesByKey(const std::string& keyFields, const Variant& keyValues,
                           const std::string& resultFields) override;
  void ReportException(const Exception& error) override;
  bool HasOpenCursor() const override { return cursor_ != nullptr; }
  bool ReadFieldData(TField* field, void* dest) override;
  void WriteFieldData(TField* field, const void* source) override;
  TStream* CreateBlobStream(TField* field, TBlobStreamMode mode) override;
  // A memo of the active record from the record's blob cache, filled in one
  // engine call when still empty: a scan reading every memo then creates no
  // stream per read.
  bool ReadBlobContent(TField* field, std::string& out) override;

  // ---- services of the table and the query
  void GetIndexInfo();
  void SwitchToIndex(const std::string& indexName, const std::string& tagName);
  TField* GetIndexField(int index);
  void SetIndexField(int index, TField* field);
  void InitKeyBuffer(std::uint8_t* buffer);
  std::uint8_t* SetKeyBuffer(TKeyIndex index, bool clear);
  void SetKeyFields(TKeyIndex index, const std::vector<Variant>& values);
  void PostKeyBuffer(bool commit);
  void SetLinkRanges(const std::vector<TField*>& masterFields);
  bool ApplyKeyRange();
  bool ResetKeyRange();
  bool KeyRangeApplied() const;
  std::uint8_t* GetKeyBuffer(TKeyIndex index) const;
  TKeyBufferHeader* KeyHeader(TKeyIndex index) const;
  void AllocKeyBuffers();
  void FreeKeyBuffers();
  // Enters key-entry state on a key buffer (the table's SetKey/EditKey).
  void BeginKeyEntry(TKeyIndex index, bool clear);
  // The blob cache text of a field in a buffer.
  std::string* BlobCache(TRecordBuffer buffer, int blobIndex) const;
  TRecordBuffer ActiveRecordBuffer() const { return ActiveBuffer(); }
  // The record buffer the current state reads from; nil when none.
  TRecordBuffer StateBuffer();
  // Adds a field definition from an engine descriptor.
  void AddFieldDesc(const TFieldDesc& desc, bool required, int fieldNo);

 protected:
  // Runs a record filter over an engine record: the fields read the record
  // (state dsFilter) while the handler decides; true when it accepts.
  bool FilterRecordWith(std::uint8_t* record, const std::function<void(bool&)>& handler);
  void OpenCursorAndFields(bool infoOnly) override;
  void ShutCursor() override;
  void LoadFieldDefs() override;
  void OpenEngineCursor() override;
  void CloseEngineCursor() override;
  TRecordBuffer NewRecordBuffer() override;
  void DisposeRecordBuffer(TRecordBuffer& buffer) override;
  void ClearRecordBuffer(TRecordBuffer buffer) override;
  void ClearCalcArea(TRecordBuffer buffer) override;
  void InitNewRecord(TRecordBuffer buffer) override;
  TGetResult FetchRecord(TRecordBuffer buffer, TGetMode mode, bool check) override;
  int GetRecordLength() const override { return recordSize_; }
  void BeginRecordEdit() override;
  void CancelRecordEdit() override;
  void WriteRecordToCursor() override;
  void AddRecordToCursor(TRecordBuffer buffer, bool append) override;
  void DeleteCurrentRecord() override;
  void RefetchFromCursor() override;
  void PostChanges() override;
  void CancelChanges() override;
  void MoveCursorToStart() override;
  void MoveCursorToEnd() override;
  void MoveCursorToBookmark(TBookmark bookmark) override;
  void MoveCursorToBuffer(TRecordBuffer buffer) override;
  void CopyBookmarkFromBuffer(TRecordBuffer buffer, void* data) override;
  void CopyBookmarkToBuffer(TRecordBuffer buffer, const void* data) override;
  TBookmarkFlag ReadBookmarkFlag(TRecordBuffer buffer) override;
  void WriteBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
  void Notification(TComponent* component, TOperation operation) override;

  // Checks a call-layer result (raising).
  // The engine is looked up only for a failure: every field read checks.
  void Check(DBIResult code) const {
    if (code != 0) EngineCheck(Engine(), code);
  }
  TRecInfo* RecInfo(TRecordBuffer buffer) const {
    return reinterpret_cast<TRecInfo*>(buffer + recordInfoOffset_);
  }
  TKeyIndex CurrentKeyIndex() const { return currentKey_; }
  // Reads the cursor properties and computes the buffer layout.
  void ComputeLayout();
  // Rebuilds the record window after the layout changed.
  void RebuildBuffers();

  TBaseTable* cursor_ = nullptr;

 private:
  bool LocateRecord(const std::string& keyFields, const Variant& keyValues,
                    TLocateOptions options);
  // The same on a cursor of the dataset's table: the record found waits in
  // the spare buffer and the cursor stands on it.
  bool LocateRecordOn(TBaseTable* cursor, const std::string& keyFields, const Variant& keyValues,
                      TLocateOptions options);
  void ClearBlobCache(TRecordBuffer buffer);
  void CreateExprFilter();
  void CreateFuncFilter();
  void DropFilters();
  void ActivateFilters(bool on);
  void ReplaceFilter(TFilterListItem*& handle, TFilterListItem* replacement);
  void AllocUpdateBuffers(bool on);
  // Hands every pending change to the update routine (handler or object).
  void ApplyThroughUpdateRoutine();
  bool UpdateCallbackRequired() const;
  void SetupUpdateCallback();
  static std::uint16_t FilterRoutine(std::intptr_t clientData, std::uint8_t* record,
                                     std::int32_t reserved);
  static std::uint16_t LocateRoutine(std::intptr_t clientData, std::uint8_t* record, std::int32_t reserved);
  void ReadOldRecord();

  TRecordProps recordProps_{};
  std::uint16_t recordSize_ = 0;
  std::uint16_t blobCacheOffset_ = 0;
  std::uint16_t recordInfoOffset_ = 0;
  std::uint16_t bookmarkOffset_ = 0;
  std::uint16_t recordBufferSize_ = 0;
  bool canModify_ = false;
  std::uint8_t recordNumberKind_ = 0;
  bool cacheBlobs_ = true;
  int indexFieldCount_ = 0;
  std::array<std::uint16_t, 16> indexFieldMap_{};
  std::uint16_t keySize_ = 0;
  bool expressionIndex_ = false;
  std::array<std::vector<std::uint8_t>, 6> keyBuffers_;
  TKeyIndex currentKey_ = kiLookup;
  TFilterListItem* exprFilter_ = nullptr;
  TFilterListItem* funcFilter_ = nullptr;
  TRecordBuffer filterBuffer_ = nullptr;
  bool constraintLayer_ = false;
  bool inUpdateCallback_ = false;
  TUpdateCallbackInfo updateInfo_{};
  std::vector<std::uint8_t> newRecord_;
  std::vector<std::uint8_t> oldRecord_;
  std::vector<std::uint8_t> oldValues_;
  std::unique_ptr<TttBDECallback> yieldCallback_;
  std::unique_ptr<TttBDECallback> updateCallback_;
  std::array<std::uint8_t, 20> yieldStep_{};
  TTDataSetUpdateObject* updateObject_ = nullptr;
};

// The published properties of the engine datasets, for every class that is one
// (the engine's components and the class library's).
template <class C>
void PublishBDEDatasetProperties(classlib_detail::TPublisher<C>& P) {
  using Class = C;
  P.Bool("CachedUpdates", &Class::CachedUpdates, &Class::SetCachedUpdates, false);
  PROP_EVENT(OnServerYield);
  PROP_EVENT(OnNewRecord);
  PROP_EVENT(OnPostError);
  PROP_EVENT(OnUpdateRecord);
}
