#pragma once
// The data pipeline over the dataset of a TDataSource: traversal, field values
// and editing go to DataSource.DataSet; a missing dataset or field gives
// neutral answers. The pipeline's bookmarks are handles into its own table of
// the dataset's bookmarks, so a handle held by the page-state cache never
// points at freed memory: the cache's handles are freed when the cache clears,
// and a handle whose dataset went away simply finds nothing.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/classlib/db/datasource.h"
#include "report/data/ppdb.h"

class TDataSet;
class TField;

// The pipeline's link to its data source: passes on the dataset's activation,
// changes and layout changes, and notices a changed filter or master source.
class TppBDEDataLink : public TDataLink {
  DECLARE_CLASS(TppBDEDataLink, TDataLink)
 public:
  TppBDEDataLink() = default;

  TNotifyEvent OnActiveChanged, OnDataSetChanged, OnBrowseCheckChanged, OnLayoutChanged;

 protected:
  void ActiveChanged() override;
  void DataSetChanged() override;
  void LayoutChanged() override;
  // The dataset is about to leave edit mode: a new filter or master source
  // (only a table has them) changes the records the pipeline walks.
  void CheckBrowseMode() override;

 private:
  std::string filter_;
  TDataSource* masterSource_ = nullptr;
};

class TppBDEPipeline : public TppDataPipeline {
  DECLARE_CLASS(TppBDEPipeline, TppDataPipeline)
 public:
  explicit TppBDEPipeline(TComponent* owner = nullptr);
  ~TppBDEPipeline() override;

  bool IsDataBof() override;
  bool IsDataEof() override;
  void CloseData() override;
  bool GetActive() override;
  void GotoFirstRecord() override;
  void GotoLastRecord() override;
  void OpenData() override;
  using TppDataPipeline::MoveBy;
  void MoveBy(int distance) override;
  void FreeBookmark(int32_t bookmark) override;
  int32_t GetBookmark() override;
  std::string GetDataName() override;
  bool GetFieldNames(TStrings* list) override;
  TAlignment GetFieldAlignment(const std::string& name) override;
  double GetFieldAsDouble(const std::string& name) override;
  TBlobField* GetBlobField(const std::string& name) override;
  std::string GetFieldAsString(const std::string& name) override;
  TppDataType GetFieldDataType(const std::string& name) override;
  int GetFieldDisplayWidth(const std::string& name) override;
  bool IsFieldCalculated(const std::string& name) override;
  int GetFieldSize(const std::string& name) override;
  Variant GetFieldValue(const std::string& name) override;
  void GotoBookmark(int32_t bookmark) override;
  void EditRecord() override;
  void GetFieldAsStream(const std::string& name, TStream* stream) override;
  void InsertRecord() override;
  bool Locate(const std::string& name, const Variant& value, int options) override;
  void PostRecord() override;
  void SetFieldFromStream(const std::string& name, TStream* stream) override;
  void SetFieldValue(const std::string& name, const Variant& value) override;

  // ---- page-state cache ----------------------------------------------------------
  static constexpr int32_t kRecordSize = 12;
  void SaveToCache(int pageNo) override;
  void RestoreFromCache(int pageNo) override;
  void CacheNotify(int operation, int pageNo) override;
  // Bookmarks held by the pipeline, the cache's included.
  int BookmarkCount() const { return int(bookmarks_.size()); }
  bool CacheBookmarksSaved() const { return cacheBookmarksSaved_; }
  int32_t HighestBookmarkPage() const { return highestBookmarkPage_; }

  // ---- published -----------------------------------------------------------------
  TDataSource* DataSource() const { return dataSource_; }
  void SetDataSource(TDataSource* source);
  bool CloseDataSource() const { return closeDataSource_; }
  void SetCloseDataSource(bool value) { closeDataSource_ = value; }
  bool OpenDataSource() const { return openDataSource_; }
  void SetOpenDataSource(bool value) { openDataSource_ = value; }

  TppBDEDataLink& DataLink() { return *dataLink_; }

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  TDataSet* DataSet() const;
  TField* FindField(const std::string& name);
  void LinkActiveChanged();
  // Frees the bookmarks the cache's records hold.
  void FreeCacheBookmarks();
  // Frees every bookmark made on a dataset that is going away.
  void ForgetDataSet(TComponent* dataSet);
  bool StandsOn(int32_t bookmark);
  bool StandsAtBeginning();
  int32_t NewHandle();

  std::unique_ptr<TppBDEDataLink> dataLink_;
  TDataSource* dataSource_ = nullptr;
  TDataSet* openedDataSet_ = nullptr;  // the dataset OpenData opened
  bool openDataSource_ = true;
  bool cacheBookmarksSaved_ = false;
  int32_t highestBookmarkPage_ = -1;
  bool closeDataSource_ = false;

  // The handle table: each entry is a dataset bookmark and the dataset it
  // belongs to; entries the cache holds are flagged and freed with it. The
  // cache keeps one per page, so a long report holds hundreds of thousands:
  // each is kept without its trailing zero bytes (most of a bookmark), which
  // Bookmark() puts back.
  struct TBookmarkEntry {
    std::string Bytes;
    TDataSet* DataSet;
    bool Cached;
  };
  // The entry's bookmark at the dataset's full size; empty when the dataset's
  // bookmarks are now shorter than the one kept (it was opened again).
  static std::string Bookmark(const TBookmarkEntry& entry);
  std::map<int32_t, TBookmarkEntry> bookmarks_;
  int32_t lastHandle_ = 0;
};
