#pragma once
// The field cache of a cursor: one item per field, holding the field's
// descriptor and pointers into the record buffer of the running operation, so
// that reading a field is one lookup by number and one copy.

#include <cstdint>
#include <string_view>

#include "dbengine/enginetypes.h"
#include "platform/classlib/core/collection.h"

class TBaseTable;

class TFieldCacheItem : public TCollectionItem {
  DECLARE_CLASS(TFieldCacheItem, TCollectionItem)
 public:
  explicit TFieldCacheItem(TCollection* collection = nullptr) : TCollectionItem(collection) {}

  TFieldDesc Desc{};

  // Points the item at a record buffer: its value and, when the field has one,
  // its status. These are asked for every field of every record read, so
  // they are inline.
  void SetRecordBuffer(std::uint8_t* buffer) {
    buffer_ = buffer;
    value_ = buffer != nullptr ? buffer + Desc.Offset : nullptr;
    status_ = buffer != nullptr && Desc.StatusOffset != 0 ? reinterpret_cast<TFieldStatus*>(buffer + Desc.StatusOffset)
                                                          : nullptr;
  }
  std::uint8_t* RecordBuffer() const { return buffer_; }
  std::uint8_t* Value() const { return value_; }
  TFieldStatus* Status() const { return status_; }

  // Without a status area a field is never blank and always changed.
  bool IsBlank() const { return status_ != nullptr && status_->Blank == kBlank; }
  void SetBlank(bool blank) {
    if (status_ != nullptr) status_->Blank = blank ? kBlank : 0;
  }
  bool IsChanged() const { return status_ == nullptr || status_->Changed != 0; }
  void SetChanged(bool changed) {
    if (status_ != nullptr) status_->Changed = changed ? -1 : 0;
  }

 private:
  static constexpr std::uint16_t kBlank = 0xFFFF;
  std::uint8_t* buffer_ = nullptr;
  std::uint8_t* value_ = nullptr;
  TFieldStatus* status_ = nullptr;
};

class TMorvaFieldCache : public TCollection {
  DECLARE_CLASS(TMorvaFieldCache, TCollection)
 public:
  explicit TMorvaFieldCache(TBaseTable* owner = nullptr)
      : TCollection(TFieldCacheItem::StaticClass()), owner_(owner) {}

  // Adds the next field with this descriptor.
  TFieldCacheItem* AddField(const TFieldDesc& desc);

  // Field n (from 1). A number past the count is loaded from the owner cursor
  // (its LoadFieldList), one field after the other, so that item n is always
  // field n; 0, or a field the cursor cannot describe, is INVALIDRECSTRUCT.
  TFieldCacheItem* FieldByNumber(int n) {
    return n >= 1 && n <= Count() ? static_cast<TFieldCacheItem*>(Items(n - 1)) : LoadFieldNumber(n);
  }
  // The number of the first field of that name (ignoring case), 0 when none.
  int NumberOfName(std::string_view name) const;
  // Every field of the buffer becomes blank and unchanged.
  void ResetStatus(std::uint8_t* buffer);

 private:
  TFieldCacheItem* LoadFieldNumber(int n);  // FieldByNumber past the count
  TBaseTable* owner_;
};
