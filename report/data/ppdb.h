#pragma once
// The data pipeline: the report engine's only view of record data. A pipeline
// walks a range of records (from the first, the last or a remembered record,
// to the first, the last, the remembered one or a count of records) in either
// direction, tells the report objects linked to it when its settings change,
// and keeps its position per page in the page-state cache so that any page
// can be regenerated. Descendants supply the data (TppBDEPipeline, ppdbbde.h).
//
// Bookmarks are 32-bit handles (0 = none) so that a 4-byte cache slot can hold
// one; the descendant keeps the dataset's own bookmarks behind them.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/classlib/core/alignment.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/core/variant.h"
#include "report/data/pputils.h"
#include "report/model/ppcache.h"

class TBlobField;
class TStream;
class TppDataPipeline;

DECLARE_ENUM(TppRangeBeginType, rbFirstRecord, rbLastRecord, rbCurrentRecord)
DECLARE_ENUM(TppRangeEndType, reFirstRecord, reLastRecord, reCurrentRecord, reCount)

// Data state bits: at the beginning of the range, at its end, both (no records).
constexpr uint8_t ppdsBof = 1, ppdsEof = 2, ppdsNoRecords = 4;

// Events a pipeline sends to the objects linked to it.
constexpr int ppdeSettingsChanged = 0, ppdePipelineFreed = 1;

// Locate options (bits).
constexpr int ppLocateCaseInsensitive = 1, ppLocatePartialKey = 2;

// A report object that follows a pipeline (report, band, group, component,
// engine): linked objects that implement it hear the pipeline's events.
class TppPipelineListener {
 public:
  virtual ~TppPipelineListener() = default;
  virtual void PipelineNotify(TppDataPipeline* pipeline, int event) = 0;
};

class TppDataPipeline : public TppCacheable {
  DECLARE_CLASS(TppDataPipeline, TppCacheable)
 public:
  explicit TppDataPipeline(TComponent* owner = nullptr);
  ~TppDataPipeline() override;

  // ---- the data, supplied by descendants -----------------------------------------
  virtual bool IsDataBof() = 0;
  virtual bool IsDataEof() = 0;
  virtual void CloseData() = 0;
  virtual void FreeSavedBookmark();
  virtual bool GetActive() = 0;
  virtual void GotoFirstRecord() = 0;
  virtual void GotoLastRecord() = 0;
  virtual void OpenData() = 0;
  virtual void MoveBy(int distance) = 0;
  virtual void FreeBookmark(int32_t bookmark) = 0;
  virtual int32_t GetBookmark() = 0;
  virtual std::string GetDataName() = 0;
  // Fills the list with the field names; false when there is no field list.
  virtual bool GetFieldNames(TStrings* list) = 0;
  virtual TAlignment GetFieldAlignment(const std::string& name) = 0;
  virtual double GetFieldAsDouble(const std::string& name) = 0;
  virtual TBlobField* GetBlobField(const std::string& name) = 0;
  virtual std::string GetFieldAsString(const std::string& name) = 0;
  virtual TppDataType GetFieldDataType(const std::string& name) = 0;
  virtual int GetFieldDisplayWidth(const std::string& name) = 0;
  virtual bool IsFieldCalculated(const std::string& name) = 0;
  virtual int GetFieldSize(const std::string& name) = 0;
  virtual Variant GetFieldValue(const std::string& name) = 0;
  // Base: only the position in the bookmark list follows.
  virtual void GotoBookmark(int32_t bookmark);
  // Editing and searching; the base does nothing and finds nothing.
  virtual void EditRecord() {}
  virtual void GetFieldAsStream(const std::string& /*name*/, TStream* /*stream*/) {}
  virtual void InsertRecord() {}
  virtual bool Locate(const std::string& /*name*/, const Variant& /*value*/, int /*options*/) {
    return false;
  }
  virtual void PostRecord() {}
  virtual void SetFieldFromStream(const std::string& /*name*/, TStream* /*stream*/) {}
  virtual void SetFieldValue(const std::string& /*name*/, const Variant& /*value*/) {}

  // ---- traversal, as the engine drives it ----------------------------------------
  void Open();
  void Close();
  void First();
  void Last();
  void Next();
  void Prior();
  // Moves without counting the record (the record number stays).
  void SkipNext();
  void SkipPrior();
  bool Bof();
  bool Eof();
  uint8_t DataState() const { return dataState_; }
  bool AtBeginning() const { return dataState_ & ppdsBof; }
  bool AtEnd() const { return dataState_ & ppdsEof; }
  bool NoRecords() const { return dataState_ & ppdsNoRecords; }
  // Records moved since First (0 at the range's first record).
  int32_t RecordNo() const { return recordNo_; }
  // Remembers the current record (for rbCurrentRecord, reCurrentRecord and
  // the engine's position restore) and returns its bookmark.
  int32_t SavePosition();
  void RestorePosition();
  int32_t SavedBookmark() const { return savedBookmark_; }
  // Index of the name among the field names; -1 without a field list.
  int FieldIndex(const std::string& name);

  // ---- links ---------------------------------------------------------------------
  void AddLink(TppCommunicator* object);
  void RemoveLink(TppCommunicator* object);
  const std::vector<TppCommunicator*>& Links() const { return links_; }
  void SendNotification(int event);

  // ---- an explicit record list (nothing fills it but callers may) -------------------
  // The walk follows these bookmarks in order; the pipeline does not free them.
  void SetBookmarkList(std::vector<int32_t> bookmarks);
  void ClearBookmarkList() { bookmarkList_.reset(); }
  bool HasBookmarkList() const { return bookmarkList_.has_value(); }

  // ---- published -----------------------------------------------------------------
  bool Active() { return GetActive(); }
  int MoveBy() const { return moveBy_; }
  void SetMoveBy(int value);
  TppRangeEndType RangeEnd() const { return rangeEnd_; }
  void SetRangeEnd(TppRangeEndType value);
  int RangeEndCount() const { return rangeEndCount_; }
  void SetRangeEndCount(int value);
  TppRangeBeginType RangeBegin() const { return rangeBegin_; }
  void SetRangeBegin(TppRangeBeginType value);
  bool SkipWhenNoRecords() const { return skipWhenNoRecords_; }
  void SetSkipWhenNoRecords(bool value);

  TNotifyEvent OnClose, OnFirst, OnLast, OnNext, OnOpen, OnPrior, OnTraversal;

 protected:
  // Recomputes the data state and tells the links, unless loading or reading.
  void SettingsChanged();
  void UpdateDataState();
  bool IsStreaming() const;
  void SetDataState(uint8_t state) { dataState_ = state; }
  void SetRecordNo(int32_t value) { recordNo_ = value; }
  void Notify(TppCommunicator* sender, int operation) override;

 private:
  void UpdateDirection();
  void Fire(const TNotifyEvent& event) {
    if (event) event(this);
  }
  // True at the end of a counted or remembered range of `length` records.
  bool CountedRangeEnded(int32_t length);

  int32_t bookmarkIndex_ = 0;
  std::optional<std::vector<int32_t>> bookmarkList_;
  int32_t savedBookmark_ = 0;
  int moveBy_ = 1;
  std::vector<TppCommunicator*> links_;
  TppRangeEndType rangeEnd_ = reLastRecord;
  int rangeEndCount_ = 0;
  TppRangeBeginType rangeBegin_ = rbFirstRecord;
  bool skipWhenNoRecords_ = true;
  uint8_t dataState_ = 0;
  int32_t recordNo_ = 0;
};
