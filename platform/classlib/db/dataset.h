#pragma once
// TDataSet: the record-at-a-time dataset of the class library.
//
// A dataset keeps a window of record buffers over its cursor. The data links of
// its data sources decide the window size (the largest BufferCount asked for,
// at least one); one buffer of the window is the active record, and one spare
// buffer beyond the window receives each fetched record before it is rotated in.
// Descendants supply the cursor through the virtual protocol below (open and
// close, fetch, field data, bookmarks, posting); this class runs the state
// machine (inactive, browse, edit, insert, ...), navigation, editing, events,
// calculated and lookup fields and the notifications to the data links.
//
// What a descendant provides:
// - Buffers: NewRecordBuffer makes one buffer of its own layout; the base only
//   assumes that the calculated area (CalcFieldsSize() bytes: per calculated or
//   lookup field a not-null byte and the value, at the field's Offset()) starts
//   at GetRecordLength() (ClearCalcArea relies on it; override both together).
//   Each buffer carries a bookmark and a TBookmarkFlag.
// - The cursor: it stands on a record or between records (a "crack": before
//   the first, after the last, or where a deleted record was). FetchRecord reads
//   gmCurrent (the record under the cursor; fails on a crack), gmNext or
//   gmPrior (moving the cursor) into a buffer, returns grOK, grBOF, grEOF or
//   grError (raising on grError when `check` is set), writes the bookmark and
//   flag bfCurrent, and runs ComputeCalcFields on the buffer.
// - Positioning: MoveCursorToStart/End put the cursor on the crack before the
//   first / after the last record; MoveCursorToBookmark/Buffer on a record.
//   A new record's buffer carries flag bfInserted and the bookmark of the record
//   it was inserted before (bfBOF in an empty dataset, bfEOF when appended); when
//   it is synchronised the cursor moves to that record, so WriteRecordToCursor
//   in insert state adds the record at the cursor and leaves the cursor on it.
//   After DeleteCurrentRecord the cursor stands on the crack where it was.
// - Field data: ReadFieldData/WriteFieldData choose the buffer by State()
//   (ActiveBuffer in browse, edit and insert; CalcBuffer in dsCalcFields; the
//   descendant's own buffer in dsFilter ...); WriteFieldData validates data
//   fields (TField::Validate) and, outside dsCalcFields, dsFilter and
//   dsNewValue, broadcasts deFieldChange with the field.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/db/constraints.h"
#include "platform/classlib/db/dbtypes.h"
#include "platform/classlib/db/fielddefs.h"
#include "platform/classlib/db/fields.h"

class TDataSource;
class TDataLink;
class TStream;
class TStrings;

// Descendants close the dataset in their own destructor (Destroying(); Close();)
// because closing calls their overrides.
class TDataSet : public TComponent {
  DECLARE_CLASS(TDataSet, TComponent)
 public:
  explicit TDataSet(TComponent* owner = nullptr);
  ~TDataSet() override;
  void Loaded() override;
  // Form definitions list the persistent fields inside their dataset.
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;

  // ---- opening and state -----------------------------------------------------
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  bool Active() const { return state_ != dsInactive; }
  void SetActive(bool value);
  TDataSetState State() const { return state_; }
  // "Cannot perform this operation on a closed dataset" unless open.
  void EnsureOpen() const;
  // "Cannot perform this operation on an open dataset" when open.
  void EnsureClosed() const;

  // ---- navigation ------------------------------------------------------------
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  int MoveBy(int distance);
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool IsEmpty() const { return recordCount_ == 0 && state_ != dsInsert; }
  int RecNo() { return GetRecordNumber(); }
  void SetRecNo(int value) { SetRecordNumber(value); }
  int RecordCount() { return CountRecords(); }

  // ---- bookmarks -------------------------------------------------------------
  int BookmarkSize() const { return bookmarkSize_; }
  TBookmarkStr Bookmark();
  void SetBookmark(const TBookmarkStr& bookmark);
  TBookmark GetBookmark();
  void GotoBookmark(TBookmark bookmark);
  static void FreeBookmark(TBookmark bookmark);
  bool BookmarkAvailable();

  // ---- editing ---------------------------------------------------------------
  void Append();
  void Insert();
  void Edit();
  void Post() { PostChanges(); }
  void Cancel() { CancelChanges(); }
  void Delete();
  void Refresh();
  void AppendRecord(const std::vector<Variant>& values);
  void InsertRecord(const std::vector<Variant>& values);
  // Assigns values to the fields in order (Null clears, Empty skips).
  void SetFields(const std::vector<Variant>& values);
  void ClearFields();
  // Leaves edit mode: posts a modified record, cancels an unmodified one.
  void CheckBrowseMode();
  // Asks the controls to write pending edits; requires edit or insert state.
  void UpdateRecord();
  bool Modified() const { return modified_; }
  bool CanModify() { return QueryCanModify(); }
  virtual TUpdateStatus UpdateStatus() { return usUnmodified; }

  // ---- cursor and window -----------------------------------------------------
  // Moves the cursor to the active record when it stands elsewhere.
  void UpdateCursorPos();
  // Forgets where the cursor stands (the next sync moves it).
  void CursorPosChanged() { currentRecord_ = -1; }
  // Re-reads the window around the cursor's record (rmExact: the record must
  // still exist; rmCenter: it becomes the middle row).
  void RefreshWindow(TResyncMode mode);

  // ---- controls --------------------------------------------------------------
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disableCount_ != 0; }
  // As DisableControls/EnableControls, but the datasets that follow this one
  // as their master keep following its record: for a long pass that reads each
  // record's details (a report) while the controls stay still. Inside a plain
  // DisableControls the details stop as well.
  void DisableControlsKeepingDetails();
  void EnableControlsKeepingDetails();

  // ---- fields ----------------------------------------------------------------
  TFields& Fields() { return *fields_; }
  const TFields& Fields() const { return *fields_; }
  int FieldCount() const { return fields_->Count(); }
  TFieldDefs& FieldDefs() { return *fieldDefs_; }
  TField* FieldByName(std::string_view name) const { return fields_->FieldByName(name); }
  TField* FindField(std::string_view name) const { return fields_->FindField(name); }
  TField* FieldByNumber(int fieldNo) const { return fields_->FieldByNumber(fieldNo); }
  // One field's value, or an array of values for "A;B;C".
  Variant FieldValues(const std::string& fieldNames) const;
  void SetFieldValues(const std::string& fieldNames, const Variant& value);
  // The fields named in a ";"-separated list; raises for unknown names.
  void GetFieldList(std::vector<TField*>& list, const std::string& fieldNames) const;
  std::vector<std::string> GetFieldNames();
  void GetFieldNames(TStrings* list);
  bool DefaultFields() const { return defaultFields_; }
  int CalcFieldsSize() const { return calcFieldsSize_; }
  int BlobFieldCount() const { return blobFieldCount_; }
  bool AutoCalcFields() const { return autoCalcFields_; }
  void SetAutoCalcFields(bool on) { autoCalcFields_ = on; }
  TCheckConstraints& Constraints() { return *constraints_; }

  // ---- filters and searching -------------------------------------------------
  const std::string& Filter() const { return filterText_; }
  void SetFilter(const std::string& text) { SetFilterText(text); }
  bool Filtered() const { return filtered_; }
  TFilterOptions FilterOptions() const { return filterOptions_; }
  const TFilterRecordEvent& OnFilterRecord() const { return onFilterRecord_; }
  bool FindFirst() { return SearchFilterMatch(true, true); }
  bool FindLast() { return SearchFilterMatch(true, false); }
  bool FindNext() { return SearchFilterMatch(false, true); }
  bool FindPrior() { return SearchFilterMatch(false, false); }
  bool Found() const { return found_; }
  bool Locate(const std::string& keyFields, const Variant& keyValues, TLocateOptions options) {
    return FindRecordByValues(keyFields, keyValues, options);
  }
  Variant Lookup(const std::string& keyFields, const Variant& keyValues,
                 const std::string& resultFields) {
    return FetchValuesByKey(keyFields, keyValues, resultFields);
  }

  // ---- master-detail -----------------------------------------------------------
  // The data source this dataset follows (its master); none by default.
  virtual TDataSource* GetDataSource() const { return nullptr; }
  // True when the chain of masters starting at the source leads back here.
  bool IsLinkedTo(TDataSource* source) const;

  // ---- cached updates ----------------------------------------------------------
  bool CachedUpdates() const { return cachedUpdates_; }
  virtual void SetCachedUpdates(bool on) { cachedUpdates_ = on; }
  const TUpdateErrorEvent& OnUpdateError() const { return onUpdateError_; }
  virtual void SetOnUpdateError(TUpdateErrorEvent handler) { onUpdateError_ = std::move(handler); }
  virtual void ApplyUpdates();
  virtual void CommitUpdates();
  virtual void CancelUpdates();
  virtual void RevertRecord();
  virtual bool UpdatesPending() { return false; }

  // ---- the virtual protocol, public part ---------------------------------------
  virtual bool CheckBookmark(TBookmark bookmark);
  // -1, 0 or 1; a missing bookmark sorts after a present one.
  virtual int CompareBookmarks(TBookmark a, TBookmark b);
  virtual bool ReadCurrentRecord(TRecordBuffer buffer);
  virtual int CountRecords();
  virtual int GetRecordNumber();
  virtual void SetRecordNumber(int value);
  virtual bool HasStableRecordNumbers();
  virtual bool QueryCanModify();
  virtual bool IsIndexedField(TField* field);
  virtual void ReleaseFieldBlob(TField* field);
  // Copies text between the character sets of the cursor and of the program
  // (identical here); returns the bytes written.
  virtual int ConvertText(const char* source, char* dest, bool toOem);
  // The engine's BCD form and Currency; false when the BCD does not fit.
  virtual bool ConvertBcdToCurrency(const void* bcd, ::Currency& value);
  // Always 32 digits of precision; decimals as the field's Size.
  virtual void ConvertCurrencyToBcd(const ::Currency& value, void* bcd, int precision, int decimals);
  virtual Variant ReadFieldValueInState(TDataSetState state, TField* field);
  virtual void WriteFieldValueInState(TDataSetState state, TField* field, const Variant& value);
  virtual void SetFiltered(bool value);
  virtual void SetFilterText(const std::string& text);
  virtual void SetFilterOptions(TFilterOptions options);
  virtual void SetOnFilterRecord(TFilterRecordEvent handler);
  virtual bool SearchFilterMatch(bool restart, bool forward);
  virtual bool FindRecordByValues(const std::string& keyFields, const Variant& keyValues,
                                  TLocateOptions options);
  virtual Variant FetchValuesByKey(const std::string& keyFields, const Variant& keyValues,
                                   const std::string& resultFields);
  virtual void ReportException(const Exception& error);
  virtual bool HasOpenCursor() const = 0;
  // Brings FieldDefs up to date without leaving the dataset open.
  virtual void PrepareFieldDefs();
  // A stream over a blob field of the current record (caller frees it).
  virtual TStream* CreateBlobStream(TField* field, TBlobStreamMode mode);
  // The whole content of a blob field of the current record, read as its blob
  // stream would read it but without one; false (and `out` untouched) when
  // the read needs the stream.
  virtual bool ReadBlobContent(TField* field, std::string& out);
  // Reads or writes a field's native data in the buffer the state selects.
  // A null value reads as false; dest may be nullptr to test for null.
  virtual bool ReadFieldData(TField* field, void* dest) = 0;
  // source nullptr makes the value null.
  virtual void WriteFieldData(TField* field, const void* source) = 0;
  // Brings IndexDefs up to date (datasets with indexes override it).
  virtual void RefreshIndexDefs() {}
  virtual void BroadcastDataEvent(TDataEvent event, std::intptr_t info);

  // ---- events ------------------------------------------------------------------
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent BeforeRefresh, AfterRefresh;
  TDataSetNotifyEvent OnNewRecord, OnCalcFields;
  TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;
  TUpdateRecordEvent OnUpdateRecord;

 protected:
  // ---- the virtual protocol: opening and closing -------------------------------
  // Opens the cursor (infoOnly: only to read field definitions), then the
  // fields and the record window.
  virtual void OpenCursorAndFields(bool infoOnly);
  // Closes the window, the fields' buffers and the cursor.
  virtual void ShutCursor();
  virtual void LoadFieldDefs() = 0;
  virtual void OpenEngineCursor() = 0;
  virtual void CloseEngineCursor() = 0;

  // ---- record buffers ----------------------------------------------------------
  virtual TRecordBuffer NewRecordBuffer();
  virtual void DisposeRecordBuffer(TRecordBuffer& buffer);
  // Blanks the record image of a buffer.
  virtual void ClearRecordBuffer(TRecordBuffer buffer) = 0;
  // Marks every calculated field of the buffer null.
  virtual void ClearCalcArea(TRecordBuffer buffer);
  // Prepares a buffer for a new record.
  virtual void InitNewRecord(TRecordBuffer buffer);
  virtual TGetResult FetchRecord(TRecordBuffer buffer, TGetMode mode, bool check) = 0;
  virtual int GetRecordLength() const = 0;

  // ---- editing -----------------------------------------------------------------
  virtual void BeginRecordEdit() {}
  virtual void CancelRecordEdit() {}
  virtual void WriteRecordToCursor() = 0;
  virtual void AddRecordToCursor(TRecordBuffer buffer, bool append) = 0;
  virtual void DeleteCurrentRecord() = 0;
  virtual void RefetchFromCursor() = 0;
  virtual void PostChanges();
  virtual void CancelChanges();

  // ---- cursor moves and bookmarks ------------------------------------------------
  virtual void MoveCursorToStart() = 0;
  virtual void MoveCursorToEnd() = 0;
  virtual void MoveCursorToBookmark(TBookmark bookmark) = 0;
  virtual void MoveCursorToBuffer(TRecordBuffer buffer) = 0;
  virtual void CopyBookmarkFromBuffer(TRecordBuffer buffer, void* data) = 0;
  virtual void CopyBookmarkToBuffer(TRecordBuffer buffer, const void* data) = 0;
  virtual TBookmarkFlag ReadBookmarkFlag(TRecordBuffer buffer) = 0;
  virtual void WriteBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) = 0;

  // ---- hooks ---------------------------------------------------------------------
  virtual void FireBeforeOpen() { Fire(BeforeOpen); }
  virtual void FireAfterOpen() { Fire(AfterOpen); }
  virtual void FireBeforeClose() { Fire(BeforeClose); }
  virtual void FireAfterClose() { Fire(AfterClose); }
  virtual void FireBeforeInsert() { Fire(BeforeInsert); }
  virtual void FireAfterInsert() { Fire(AfterInsert); }
  virtual void FireBeforeEdit() { Fire(BeforeEdit); }
  virtual void FireAfterEdit() { Fire(AfterEdit); }
  virtual void FireBeforePost() { Fire(BeforePost); }
  virtual void FireAfterPost() { Fire(AfterPost); }
  virtual void FireBeforeCancel() { Fire(BeforeCancel); }
  virtual void FireAfterCancel() { Fire(AfterCancel); }
  virtual void FireBeforeDelete() { Fire(BeforeDelete); }
  virtual void FireAfterDelete() { Fire(AfterDelete); }
  virtual void FireBeforeScroll() { Fire(BeforeScroll); }
  virtual void FireAfterScroll() { Fire(AfterScroll); }
  virtual void FireBeforeRefresh() { Fire(BeforeRefresh); }
  virtual void FireAfterRefresh() { Fire(AfterRefresh); }
  virtual void FireOnNewRecord() { Fire(OnNewRecord); }
  virtual void FireOnCalcFields() { Fire(OnCalcFields); }
  // Fills the window forward from its last row; returns the rows added.
  virtual int FillWindowForward();
  // Fills the window backward from its first row; returns the rows added.
  virtual int FillWindowBackward();

  // ---- services for descendants ----------------------------------------------------
  // Inline: every field read asks for it.
  TRecordBuffer ActiveBuffer() const {
    return buffers_.empty() ? nullptr : buffers_[std::size_t(activeRecord_)];
  }
  TRecordBuffer CalcBuffer() const { return calcBuffer_; }
  // The spare buffer beyond the window, free for temporary reads.
  TRecordBuffer TempBuffer() const;
  TRecordBuffer Buffer(int index) const { return buffers_[std::size_t(index)]; }
  int BufferCount() const { return bufferCount_; }
  int WindowRecordCount() const { return recordCount_; }
  int ActiveRecord() const { return activeRecord_; }
  int CurrentRecord() const { return currentRecord_; }
  void SetBookmarkSize(int size) { bookmarkSize_ = size; }
  void SetState(TDataSetState value);
  // Switches the state silently (no events); RestoreState switches back.
  TDataSetState SetTempState(TDataSetState value);
  void RestoreState(TDataSetState value);
  void SetModified(bool value) { modified_ = value; }
  void SetFound(bool value) { found_ = value; }
  // Runs the calculated and lookup fields and OnCalcFields for a buffer.
  void ComputeCalcFields(TRecordBuffer buffer);
  void CreateFields();
  void BindFields(bool binding);
  void DestroyFields();
  void CheckRequiredFields();
  void CheckCanModify();
  // Runs an operation; on EDatabaseError asks the error event (fail, abort, retry).
  void CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& onError);
  // Fills the window for a window of the given size.
  void SetBufferCount(int value);
  // Allocates or frees record buffers until `value` exist (window plus spare);
  // a descendant whose buffer layout changes empties the list (after
  // ClearWindow) and grows it again to BufferCount() + 1.
  void SetBufListSize(int value);
  void UpdateBufferCount();
  // Frees the modified content held for blob fields.
  void FreeFieldBuffers();
  void ClearWindow();
  // Fetches the record after the window's last row (or first) into the window.
  bool FetchNextRow();
  bool FetchPriorRow();
  TGetResult FetchSpareRow(TGetMode mode);
  void Notification(TComponent* component, TOperation operation) override;
  void Fire(const TDataSetNotifyEvent& event) {
    if (event) event(this);
  }

 private:
  friend class TField;
  friend class TFields;
  friend class TDataLink;
  friend class TDataSource;

  void AddDataSource(TDataSource* source);
  void RemoveDataSource(TDataSource* source);
  void SetCurrentRecord(int index);
  // UpdateCursorPos, forgetting the position when the record is gone.
  void SyncCursorIfPossible();
  void MoveBuffer(int from, int to);
  void ActivateWindow();
  void BeginInsertAppend();
  void PostNewValues(const std::vector<Variant>& values);
  void EndInsertAppend();
  void CalculateFields(TRecordBuffer buffer);
  void SetFieldListChanged();

  TDataSetState state_ = dsInactive;
  std::unique_ptr<TFields> fields_;
  std::unique_ptr<TFieldDefs> fieldDefs_;
  std::unique_ptr<TCheckConstraints> constraints_;
  std::vector<TDataSource*> dataSources_;
  std::vector<TRecordBuffer> buffers_;  // window plus the spare
  int bufferCount_ = 0;
  int recordCount_ = 0;
  int activeRecord_ = 0;
  int currentRecord_ = -1;
  TRecordBuffer calcBuffer_ = nullptr;
  int bookmarkSize_ = 0;
  int calcFieldsSize_ = 0;
  int blobFieldCount_ = 0;
  bool bof_ = true;
  bool eof_ = true;
  bool modified_ = false;
  bool found_ = false;
  bool defaultFields_ = false;
  bool autoCalcFields_ = true;
  bool cachedUpdates_ = false;
  int disableCount_ = 0;
  int keepingDetails_ = 0;  // of disableCount_, the disables that let details follow
  TDataSetState disableState_ = dsInactive;
  TDataEvent enableEvent_ = deDataSetChange;
  std::string filterText_;
  bool filtered_ = false;
  TFilterOptions filterOptions_;
  TFilterRecordEvent onFilterRecord_;
  TUpdateErrorEvent onUpdateError_;
  bool streamedActive_ = false;
};
