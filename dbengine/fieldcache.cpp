#include "dbengine/fieldcache.h"

#include "dbengine/basetable.h"
#include "dbengine/enginetext.h"

IMPLEMENT_CLASS(TFieldCacheItem, TCollectionItem)
IMPLEMENT_CLASS(TMorvaFieldCache, TCollection)


TFieldCacheItem* TMorvaFieldCache::AddField(const TFieldDesc& desc) {
  auto* item = static_cast<TFieldCacheItem*>(Add());
  item->Desc = desc;
  return item;
}

TFieldCacheItem* TMorvaFieldCache::LoadFieldNumber(int n) {
  if (n <= 0 || owner_ == nullptr) RaiseEngineError(dberr::InvalidRecStruct);
  // Load every missing field up to n in order: adding only field n would give
  // it the position of the next free item and so the wrong number.
  while (Count() < n) {
    TFieldDesc desc{};
    try {
      owner_->LoadFieldList(static_cast<std::uint16_t>(Count() + 1), desc);
    } catch (const EMorvaEngineError& e) {
      // A cursor that cannot describe more fields simply has no field n.
      if (e.ErrorCode != dberr::NotSupported) throw;
      RaiseEngineError(dberr::InvalidRecStruct);
    }
    desc.FieldNumber = static_cast<std::uint16_t>(Count() + 1);
    AddField(desc);
  }
  return static_cast<TFieldCacheItem*>(Items(n - 1));
}

int TMorvaFieldCache::NumberOfName(std::string_view name) const {
  for (int i = 0; i < Count(); ++i)
    if (dbengine_detail::SameName(
            dbengine_detail::SlotText(static_cast<TFieldCacheItem*>(Items(i))->Desc.Name), name))
      return i + 1;
  return 0;
}

void TMorvaFieldCache::ResetStatus(std::uint8_t* buffer) {
  for (int i = 0; i < Count(); ++i) {
    auto* item = static_cast<TFieldCacheItem*>(Items(i));
    item->SetRecordBuffer(buffer);
    item->SetBlank(true);
    item->SetChanged(false);
  }
}
