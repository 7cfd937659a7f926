#include "dbengine/ttblobstream.h"

#include <algorithm>
#include <cstring>

#include "dbengine/ttdataset.h"

IMPLEMENT_CLASS(TttBlobStream, TStream)

namespace {
bool IsMemo(TFieldType type) { return type == ftMemo || type == ftFmtMemo; }
}  // namespace

TBlobField* BlobFieldOf(TField* field) {
  return field && field->InheritsFrom(TBlobField::StaticClass()) ? static_cast<TBlobField*>(field) : nullptr;
}

TBlobCacheRead PlanBlobCacheRead(TttBDEDataset* dataSet, TBlobField* field, char* buffer) {
  TBlobCacheRead plan;
  plan.cache = dataSet->BlobCache(buffer, field->Offset());
  plan.cacheable = dataSet->CacheBlobs() && buffer == dataSet->ActiveRecordBuffer() && plan.cache;
  plan.cached = plan.cacheable && (!plan.cache->empty() || !dataSet->ReadFieldData(field, nullptr));
  // A memo is read whole (its size alone needs all of it): at the first size
  // or read the cache takes it in one engine call, and the read is served
  // from there.
  plan.wholePending = plan.cacheable && !plan.cached && IsMemo(field->DataType());
  return plan;
}

TttBlobStream::TttBlobStream(TBlobField* field, TBlobStreamMode mode)
    : TttBlobStream(nullptr, field, mode) {}

// The stream is on the field's dataset whichever dataset made it; the type
// check is left out only when that is the one making it.
TttBlobStream::TttBlobStream(TttBDEDataset* dataSet, TBlobField* field, TBlobStreamMode mode)
    : field_(field),
      dataSet_(!field                                     ? nullptr
               : dataSet && field->DataSet() == dataSet ? dataSet
                                                          : As<TttBDEDataset>(field->DataSet())),
      mode_(mode) {
  if (!field_ || !dataSet_) return;
  fieldNo_ = std::uint16_t(field_->FieldNo());
  if (dataSet_->State() == dsFilter) DatabaseErrorFmt(dbtext::FieldInFilter, {field_->DisplayName()});
  buffer_ = dataSet_->StateBuffer();
  if (!buffer_) return;
  if (!field_->Modified()) {
    if (mode_ != bmRead) {
      if (field_->ReadOnly()) DatabaseErrorFmt(dbtext::FieldReadOnly, {field_->DisplayName()});
      if (!IsEditState(dataSet_->State())) DatabaseError(dbtext::NotEditing, dataSet_);
      if (std::string* cache = dataSet_->BlobCache(buffer_, field_->Offset())) cache->clear();
    } else {
      const TBlobCacheRead plan = PlanBlobCacheRead(dataSet_, field_, buffer_);
      cacheable_ = plan.cacheable;
      cached_ = plan.cached;
      wholePending_ = plan.wholePending;
    }
  }
  // A modified field's blob stays open in the engine, holding what was typed.
  if (!cached_ && !wholePending_ && !field_->Modified())
    EngineCheck(Engine(), Engine()->OpenBlob(Cursor(), Record(), fieldNo_,
                                             mode_ == bmRead ? kBlobReadOnly : kBlobReadWrite));
  opened_ = true;
  if (mode_ == bmWrite) Truncate();
}

TttBlobStream::~TttBlobStream() {
  if (!opened_ || !dataSet_) return;
  if (modified_) {
    field_->SetModified(true);
  } else if (!cached_ && !wholePending_ && !field_->Modified() && dataSet_->Handle()) {
    Engine()->FreeBlob(Cursor(), Record(), fieldNo_);
  }
  if (modified_) {
    try {
      dataSet_->BroadcastDataEvent(deFieldChange, reinterpret_cast<std::intptr_t>(field_));
    } catch (const Exception&) {
      // A failing change handler must not escape a destructor.
    }
  }
}

TVirtEng* TttBlobStream::Engine() const { return dataSet_ ? dataSet_->Engine() : nullptr; }
TBaseTable* TttBlobStream::Cursor() const { return dataSet_->Handle(); }

void TttBlobStream::ClearCache() {
  if (std::string* cache = dataSet_->BlobCache(buffer_, field_->Offset())) cache->clear();
  cached_ = false;
}

void TttBlobStream::ReadWhole() const {
  if (!wholePending_) return;
  wholePending_ = false;
  EngineCheck(Engine(), Engine()->ReadWholeBlob(Cursor(), Record(), fieldNo_,
                                                *dataSet_->BlobCache(buffer_, field_->Offset())));
  cached_ = true;
}

int64_t TttBlobStream::Read(void* buffer, int64_t count) {
  if (!opened_ || count <= 0) return 0;
  ReadWhole();
  if (cached_) {
    const std::string* cache = dataSet_->BlobCache(buffer_, field_->Offset());
    if (!cache || position_ >= std::int64_t(cache->size())) return 0;
    std::int64_t n = std::min<std::int64_t>(count, std::int64_t(cache->size()) - position_);
    std::memcpy(buffer, cache->data() + position_, std::size_t(n));
    position_ += n;
    return n;
  }
  std::uint32_t read = 0;
  bool end = false;
  DBIResult code = Engine()->ReadBlobPart(Cursor(), Record(), fieldNo_, std::uint32_t(position_),
                                          std::uint32_t(count), buffer, read, end);
  if (code == dberr::InvalidBlobOffset) return 0;
  if (code != 0 && code != dberr::EndOfBlob) EngineCheck(Engine(), code);
  // A read of the whole content in order fills the record's blob cache.
  if (cacheable_ && !field_->Modified() && position_ == std::int64_t(gathered_.size())) {
    gathered_.append(static_cast<const char*>(buffer), read);
    std::uint32_t size = 0;
    if (Engine()->GetBlobSize(Cursor(), Record(), fieldNo_, size) == 0 && gathered_.size() == size) {
      *dataSet_->BlobCache(buffer_, field_->Offset()) = std::move(gathered_);
      gathered_.clear();
      cached_ = true;
      Engine()->FreeBlob(Cursor(), Record(), fieldNo_);
    }
  }
  position_ += read;
  return read;
}

int64_t TttBlobStream::Write(const void* buffer, int64_t count) {
  if (!opened_ || count <= 0) return 0;
  EngineCheck(Engine(), Engine()->WriteBlob(Cursor(), Record(), fieldNo_, std::uint32_t(position_),
                                            std::uint32_t(count), buffer));
  position_ += count;
  modified_ = true;
  ClearCache();
  return count;
}

int64_t TttBlobStream::Seek(int64_t offset, int origin) {
  switch (origin) {
    case soBeginning: position_ = offset; break;
    case soCurrent: position_ += offset; break;
    case soEnd: position_ = Size() + offset; break;
    default: break;
  }
  if (position_ < 0) position_ = 0;
  return position_;
}

int64_t TttBlobStream::Size() const {
  if (!opened_) return 0;
  ReadWhole();
  if (cached_) {
    const std::string* cache = dataSet_->BlobCache(buffer_, field_->Offset());
    return cache ? std::int64_t(cache->size()) : 0;
  }
  std::uint32_t size = 0;
  EngineCheck(Engine(), Engine()->GetBlobSize(Cursor(), Record(), fieldNo_, size));
  return size;
}

void TttBlobStream::SetSize(int64_t newSize) {
  position_ = newSize;
  Truncate();
}

void TttBlobStream::Truncate() {
  if (!opened_) return;
  EngineCheck(Engine(), Engine()->TruncateBlob(Cursor(), Record(), fieldNo_, std::uint32_t(position_)));
  modified_ = true;
  ClearCache();
}
