#pragma once
// An in-memory dataset for the tests of the data-access layer: rows kept in a
// vector, a cursor with the engine's crack semantics (after a delete the cursor
// stands between two records), OnFilterRecord filtering, a master-detail range
// through TMasterDataLink, blob streams, locate and lookup by scanning.

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/datasource.h"

class TMemDataSet : public TDataSet {
  DECLARE_CLASS(TMemDataSet, TDataSet)
 public:
  explicit TMemDataSet(TComponent* owner = nullptr);
  ~TMemDataSet() override;

  // Rows stay when the dataset closes.
  int RowCount() const { return int(rows_.size()); }
  // Another user's delete: the row goes without the dataset being told.
  void RemoveRowElsewhere(const TBookmarkStr& bookmark);

  void ClearRows() { rows_.clear(); }

  // Master-detail: detail fields take the values of the master fields.
  TDataSource* MasterSource() const { return masterLink_.DataSource(); }
  void SetMasterSource(TDataSource* source);
  void SetMasterFields(const std::string& names) { masterLink_.SetFieldNames(names); }
  void SetDetailFields(const std::string& names) { detailFields_ = names; }
  TDataSource* GetDataSource() const override { return MasterSource(); }

  bool ReadOnly = false;
  // Runs before each write, delete or edit of the cursor; may raise to
  // simulate a failing engine ("post", "delete", "edit").
  std::function<void(const std::string& operation)> BeforeCursorOperation;

  // ---- protocol ----
  bool HasOpenCursor() const override { return open_; }
  bool ReadFieldData(TField* field, void* dest) override;
  void WriteFieldData(TField* field, const void* source) override;
  bool CheckBookmark(TBookmark bookmark) override;
  int CompareBookmarks(TBookmark a, TBookmark b) override;
  bool ReadCurrentRecord(TRecordBuffer buffer) override;
  int CountRecords() override;
  int GetRecordNumber() override;
  void SetRecordNumber(int value) override;
  bool HasStableRecordNumbers() override { return !Filtered(); }
  bool QueryCanModify() override { return !ReadOnly; }
  void SetFiltered(bool value) override;
  void SetFilterText(const std::string& text) override;
  void SetOnFilterRecord(TFilterRecordEvent handler) override;
  bool SearchFilterMatch(bool restart, bool forward) override;
  bool FindRecordByValues(const std::string& keyFields, const Variant& keyValues,
                          TLocateOptions options) override;
  Variant FetchValuesByKey(const std::string& keyFields, const Variant& keyValues,
                           const std::string& resultFields) override;
  TStream* CreateBlobStream(TField* field, TBlobStreamMode mode) override;

  // The last filter blob the expression parser built for Filter.
  const std::vector<unsigned char>& FilterBlob() const { return filterBlob_; }
  // Stores blob content for the buffer (used by the blob stream).
  void StoreBlob(TRecordBuffer buffer, TField* field, const std::string& data);
  const std::string& BlobOf(TRecordBuffer buffer, TField* field);
  TRecordBuffer BufferForState();

 protected:
  void LoadFieldDefs() override {}
  void OpenEngineCursor() override;
  void CloseEngineCursor() override;
  TRecordBuffer NewRecordBuffer() override;
  void DisposeRecordBuffer(TRecordBuffer& buffer) override;
  void ClearRecordBuffer(TRecordBuffer buffer) override;
  void InitNewRecord(TRecordBuffer buffer) override;
  TGetResult FetchRecord(TRecordBuffer buffer, TGetMode mode, bool check) override;
  int GetRecordLength() const override { return recordSize_; }
  void BeginRecordEdit() override;
  void WriteRecordToCursor() override;
  void AddRecordToCursor(TRecordBuffer buffer, bool append) override;
  void DeleteCurrentRecord() override;
  void RefetchFromCursor() override {}
  void MoveCursorToStart() override;
  void MoveCursorToEnd() override;
  void MoveCursorToBookmark(TBookmark bookmark) override;
  void MoveCursorToBuffer(TRecordBuffer buffer) override;
  void CopyBookmarkFromBuffer(TRecordBuffer buffer, void* data) override;
  void CopyBookmarkToBuffer(TRecordBuffer buffer, const void* data) override;
  TBookmarkFlag ReadBookmarkFlag(TRecordBuffer buffer) override;
  void WriteBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
  void FireOnNewRecord() override;

 private:
  struct Row {
    int id;
    std::string image;
    std::vector<std::string> blobs;
  };
  int InfoOffset() const { return recordSize_ + CalcFieldsSize(); }
  int IdOf(TRecordBuffer buffer) const {
    int id;
    std::memcpy(&id, buffer + InfoOffset(), sizeof id);
    return id;
  }
  void SetIdOf(TRecordBuffer buffer, int id) { std::memcpy(buffer + InfoOffset(), &id, sizeof id); }
  int IndexOfId(int id) const;
  bool Visible(const Row& row);
  bool MatchesMaster(const Row& row);
  void LoadRow(const Row& row, TRecordBuffer buffer);
  void StoreRow(TRecordBuffer buffer, Row& row);
  // Reads fields of a stored row (calculated ones included) through the scratch buffer.
  Variant RowValues(const Row& row, const std::string& fieldNames);
  int FindRow(const std::string& keyFields, const Variant& keyValues, TLocateOptions options);
  void MasterChanged();
  void RestartIfOpen();

  std::vector<Row> rows_;
  int nextId_ = 1;
  bool open_ = false;
  int pos_ = 0;       // row index of the cursor
  bool crack_ = true; // the cursor stands before row pos_, not on it
  int recordSize_ = 0;
  std::map<int, int> offsets_;  // field number -> offset of its not-null byte
  std::map<TRecordBuffer, std::vector<std::string>> blobs_;
  TRecordBuffer scratch_ = nullptr;
  TRecordBuffer filterBuffer_ = nullptr;
  bool searching_ = false;
  TMasterDataLink masterLink_;
  std::string detailFields_;
  std::vector<Variant> masterValues_;
  std::vector<unsigned char> filterBlob_;
};
