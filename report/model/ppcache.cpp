#include "report/model/ppcache.h"

#include <algorithm>
#include <vector>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/printers/printers.h"
#include "report/data/pputils.h"

namespace {
// Message offset of the out-of-space error.
constexpr int kNoDiskSpace = 284;
// Zeros are written in blocks when a record lands beyond the stream's end.
constexpr int64_t kZeroBlock = 4096;
}  // namespace

int TppCacheOwner::LanguageBase() const { return ppLanguageBase(lgEnglish); }

// ---- Cacheable objects -----------------------------------------------------------

IMPLEMENT_CLASS(TppCacheable, TppCommunicator)

// Leaves the manager while still whole, so the manager never sees a half-destroyed object.
TppCacheable::~TppCacheable() {
  if (cacheManager_) cacheManager_->UnregisterObject(this);
}

void TppCacheable::IncludeState(uint16_t states) {
  const uint16_t before = state_;
  state_ |= states;
  if (state_ != before) StateChanged(states);
}

void TppCacheable::ExcludeState(uint16_t states) {
  const uint16_t before = state_;
  state_ &= uint16_t(~states);
  if (state_ != before) StateChanged(states);
}

void TppCacheable::SetCacheManager(TppCacheManager* manager) {
  if (cacheManager_) cacheManager_->UnregisterObject(this);
  cacheManager_ = manager;
  if (manager) manager->RegisterObject(this);
}

int64_t TppCacheable::RecordOffset(int pageNo) const {
  return (int64_t{pageNo} * recordsPerPage_ + recordIndex_) * recordSize_;
}

void TppCacheable::ReadCacheRecord(int pageNo, void* buffer) {
  if (!cacheStream_ || recordSize_ <= 0 || pageNo < 0) return;
  const int64_t offset = RecordOffset(pageNo);
  if (offset + recordSize_ > cacheStream_->Size()) return;  // never saved
  cacheStream_->Seek(offset, soFromBeginning);
  cacheStream_->ReadBuffer(buffer, recordSize_);
}

void TppCacheable::WriteAt(int64_t offset, const void* buffer) {
  const int64_t end = cacheStream_->Size();
  if (offset > end) {
    static const std::vector<char> zeros(kZeroBlock, 0);
    cacheStream_->Seek(end, soFromBeginning);
    for (int64_t gap = offset - end; gap > 0; gap -= kZeroBlock)
      cacheStream_->WriteBuffer(zeros.data(), std::min(gap, kZeroBlock));
  }
  cacheStream_->Seek(offset, soFromBeginning);
  cacheStream_->WriteBuffer(buffer, recordSize_);
}

void TppCacheable::WriteCacheRecord(int pageNo, const void* buffer) {
  if (!cacheStream_ || recordSize_ <= 0 || pageNo < 0) return;
  const int64_t offset = RecordOffset(pageNo);
  try {
    WriteAt(offset, buffer);
  } catch (const Exception&) {
    // Out of room: the streams move to files (or this raises), then once more.
    cacheManager_->SwitchToFiles();
    try {
      WriteAt(offset, buffer);
    } catch (const Exception&) {
      cacheManager_->SwitchToFiles();  // in file mode: the out-of-space error
    }
  }
}

void TppCacheable::Notify(TppCommunicator* sender, int operation) {
  inherited::Notify(sender, operation);
  if (operation == ppopRemove && sender == cacheManager_) {
    cacheManager_ = nullptr;
    cacheStream_ = nullptr;
  }
}

// ---- The manager --------------------------------------------------------------------

// A memory stream that refuses to grow the manager's memory past its cap, so
// that running out of memory is a failed write the cache can recover from.
class TppCacheManager::TCappedStream : public TMemoryStream {
 public:
  explicit TCappedStream(const TppCacheManager& manager) : manager_(manager) {}
  int64_t Write(const void* buffer, int64_t count) override {
    const int64_t growth = std::max<int64_t>(0, Position() + count - Size());
    if (growth > 0 && manager_.MemoryUsed() + growth > manager_.MemoryCap())
      throw EOutOfMemory("The page cache is out of memory");
    return TMemoryStream::Write(buffer, count);
  }

 private:
  const TppCacheManager& manager_;
};

IMPLEMENT_CLASS(TppCacheManager, TppCommunicator)

TppCacheManager::TppCacheManager(TppCacheOwner* owner) : tempDir_(GetTempPath()), owner_(owner) {}

TppCacheManager::~TppCacheManager() {
  ClearCache();
  SendNotify(this, ppopRemove);
}

void TppCacheManager::RegisterObject(TppCacheable* object) {
  if (!object || std::find(objects_.begin(), objects_.end(), object) != objects_.end()) return;
  objects_.push_back(object);
  AddNotify(object);
}

void TppCacheManager::UnregisterObject(TppCacheable* object) {
  std::erase(objects_, object);
  RemoveNotify(object);
}

void TppCacheManager::Reset() {
  ClearCache();
  BuildCache();
}

void TppCacheManager::BuildCache() {
  if (owner_)
    for (TppCacheable* object : owner_->CacheObjects())
      if (object) object->SetCacheManager(this);
  NotifyObjects(ppcoAttach);
  NotifyObjects(ppcoCount);
}

void TppCacheManager::ClearCache() {
  highestPage_ = -1;
  NotifyObjects(ppcoDetach);
  while (!objects_.empty()) objects_.front()->SetCacheManager(nullptr);
  while (!streams_.empty()) streams_.pop_back();  // last first
  sizeIndex_.clear();
  if (mode_ == 1) {
    for (int i = 0; i < tempFiles_.Count(); ++i)
      if (FileExists(tempFiles_[i])) DeleteFile(tempFiles_[i]);
    tempFiles_.Clear();
  }
}

void TppCacheManager::SavePageState(int pageNo) {
  NotifyObjects(ppcoSave, pageNo);
  highestPage_ = std::max(highestPage_, int32_t{pageNo});
}

void TppCacheManager::RestorePageState(int pageNo) { NotifyObjects(ppcoRestore, pageNo); }

TStream* TppCacheManager::StreamForSize(int32_t size) const {
  for (size_t i = 0; i < sizeIndex_.size(); ++i)
    if (sizeIndex_[i].Size == size) return streams_[i].get();
  return nullptr;
}

void TppCacheManager::NotifyObjects(int operation, int pageNo) {
  // A handler may unregister objects; work on a copy.
  for (TppCacheable* object : std::vector(objects_)) {
    object->CacheNotify(operation, pageNo);
    switch (operation) {
      case ppcoAttach: AttachStream(object); break;
      case ppcoSave: object->SaveToCache(pageNo); break;
      case ppcoRestore: object->RestoreFromCache(pageNo); break;
      case ppcoDetach: object->cacheStream_ = nullptr; break;
      case ppcoCount:
        object->recordsPerPage_ = int32_t(std::count_if(
            objects_.begin(), objects_.end(),
            [&](const TppCacheable* o) { return o->recordSize_ == object->recordSize_; }));
        break;
      case ppcoReattach: object->cacheStream_ = StreamForSize(object->recordSize_); break;
    }
  }
}

std::unique_ptr<TStream> TppCacheManager::NewFileStream() {
  const std::string name = GetTempFileName(tempDir_, "cch");
  tempFiles_.Add(name);
  return std::make_unique<TFileStream>(name, fmCreate);
}

void TppCacheManager::AttachStream(TppCacheable* object) {
  for (size_t i = 0; i < sizeIndex_.size(); ++i) {
    if (sizeIndex_[i].Size != object->recordSize_) continue;
    object->cacheStream_ = streams_[i].get();
    object->recordIndex_ = ++sizeIndex_[i].Count;
    return;
  }
  if (mode_ == 1)
    streams_.push_back(NewFileStream());
  else
    streams_.push_back(std::make_unique<TCappedStream>(*this));
  sizeIndex_.push_back({object->recordSize_, 0});
  object->cacheStream_ = streams_.back().get();
  object->recordIndex_ = 0;
}

int64_t TppCacheManager::MemoryUsed() const {
  int64_t used = 0;
  if (mode_ == 0)
    for (const auto& s : streams_) used += s->Size();
  return used;
}

void TppCacheManager::SwitchToFiles() {
  if (mode_ == 1) {
    if (owner_) owner_->StopGeneration();
    const int base = owner_ ? owner_->LanguageBase() : ppLanguageBase(lgEnglish);
    throw EPrintError(ppLoadStr(base + kNoDiskSpace));
  }
  mode_ = 1;
  for (auto& stream : streams_) {
    std::unique_ptr<TStream> file = NewFileStream();
    file->CopyFrom(stream.get(), 0);
    stream = std::move(file);
    stream->Seek(0, soFromEnd);
  }
  NotifyObjects(ppcoReattach);
}
