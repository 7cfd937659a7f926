#pragma once
// The page-state cache: every object whose generation state must survive a
// jump back to an earlier page saves a fixed-size record per page, so any
// page can be regenerated from the state at the end of the page before it.
// Records of one size share a stream; streams live in memory up to a cap and
// then move to temporary "cch" files.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/core/sets.h"
#include "platform/classlib/core/streams.h"
#include "platform/classlib/core/strings.h"
#include "report/model/ppcomm.h"

class TppCacheManager;

// Object state word bits.
constexpr uint16_t ppstDesigning = 1, ppstDataAtDesign = 4, ppstLoading = 32,
                   ppstTemplateLoading = 64, ppstTemplateSaving = 128;
// Print state bits.
constexpr uint8_t pppsGenerating = 1, pppsNoData = 2;

// The manager's operations on its objects.
enum TppCacheOperation {
  ppcoAttach = 0,
  ppcoSave = 1,
  ppcoRestore = 2,
  ppcoDetach = 3,
  ppcoCount = 4,
  ppcoReattach = 5
};

class TppCacheable : public TppCommunicator {
  DECLARE_CLASS(TppCacheable, TppCommunicator)
 public:
  explicit TppCacheable(TComponent* owner = nullptr) : TppCommunicator(owner) {}
  ~TppCacheable() override;

  virtual void StateChanged(uint16_t) {}
  virtual void CacheNotify(int /*operation*/, int /*pageNo*/) {}
  virtual void RestoreFromCache(int pageNo) = 0;
  virtual void SaveToCache(int pageNo) = 0;

  uint16_t State() const { return state_; }
  void IncludeState(uint16_t states);
  void ExcludeState(uint16_t states);
  uint8_t PrintState() const { return printState_; }
  void IncludePrintState(uint8_t flags) { printState_ |= flags; }
  void ExcludePrintState(uint8_t flags) { printState_ &= uint8_t(~flags); }

  TppCacheManager* CacheManager() const { return cacheManager_; }
  void SetCacheManager(TppCacheManager* manager);
  int32_t RecordSize() const { return recordSize_; }
  int32_t RecordIndex() const { return recordIndex_; }
  int32_t RecordsPerPage() const { return recordsPerPage_; }
  TStream* CacheStream() const { return cacheStream_; }

  // Reads this object's record of a page into `buffer` (record-size bytes);
  // a record never saved leaves the buffer as the caller cleared it.
  void ReadCacheRecord(int pageNo, void* buffer);
  // Writes the record at its place, zero-filling any gap before it, so a
  // page saved out of order still lands under its own number.
  void WriteCacheRecord(int pageNo, const void* buffer);

 protected:
  // Each class fixes its record size in its constructor.
  void SetRecordSize(int32_t size) { recordSize_ = size; }
  void Notify(TppCommunicator* sender, int operation) override;

 private:
  friend class TppCacheManager;
  int64_t RecordOffset(int pageNo) const;
  void WriteAt(int64_t offset, const void* buffer);

  int32_t recordsPerPage_ = 0;
  TppCacheManager* cacheManager_ = nullptr;
  int32_t recordIndex_ = 0;
  int32_t recordSize_ = 0;
  TStream* cacheStream_ = nullptr;
  uint16_t state_ = 0;
  uint8_t printState_ = 0;
};

// What the manager needs of the report that owns it.
class TppCacheOwner {
 public:
  virtual ~TppCacheOwner() = default;
  // The objects to register, in order: the report's pipeline, the detail
  // band's pipeline, the engine, the groups, each band followed by its
  // components (absent ones skipped).
  virtual std::vector<TppCacheable*> CacheObjects() = 0;
  // Tells a running engine to stop (the cache cannot take more pages).
  virtual void StopGeneration() {}
  virtual int LanguageBase() const;
};

class TppCacheManager : public TppCommunicator {
  DECLARE_CLASS(TppCacheManager, TppCommunicator)
 public:
  // Memory the streams may take before the cache moves to files.
  static constexpr int64_t kDefaultMemoryCap = int64_t{64} << 20;

  explicit TppCacheManager(TppCacheOwner* owner);
  ~TppCacheManager() override;

  void RegisterObject(TppCacheable* object);
  void UnregisterObject(TppCacheable* object);
  void Reset();
  void BuildCache();
  void ClearCache();
  void SavePageState(int pageNo);
  void RestorePageState(int pageNo);
  void NotifyObjects(int operation, int pageNo = 0);
  int HighestPageSaved() const { return highestPage_; }

  // 0: memory streams; 1: temporary files (for the manager's life).
  int Mode() const { return mode_; }
  int64_t MemoryCap() const { return memoryCap_; }
  void SetMemoryCap(int64_t bytes) { memoryCap_ = bytes; }
  const TStringList& TempFileNames() const { return tempFiles_; }
  int StreamCount() const { return int(streams_.size()); }
  const std::vector<TppCacheable*>& Objects() const { return objects_; }

  // Called by a failing record write: moves the streams to files, or raises
  // EPrintError "Not enough disk space to print report." in file mode.
  void SwitchToFiles();

 private:
  class TCappedStream;
  void AttachStream(TppCacheable* object);
  int64_t MemoryUsed() const;
  std::unique_ptr<TStream> NewFileStream();
  TStream* StreamForSize(int32_t size) const;

  TStringList tempFiles_;
  std::vector<std::unique_ptr<TStream>> streams_;
  std::vector<TppCacheable*> objects_;
  std::string tempDir_;
  struct TSizeEntry {
    int32_t Size;
    int32_t Count;  // registered objects of this size minus one
  };
  std::vector<TSizeEntry> sizeIndex_;  // entry i belongs to stream i
  int mode_ = 0;
  TppCacheOwner* owner_;
  int32_t highestPage_ = -1;
  int64_t memoryCap_ = kDefaultMemoryCap;
};
