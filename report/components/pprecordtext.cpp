#include "report/components/pprecordtext.h"

#include <functional>

#include "report/model/ppbands.h"

namespace {

// The record the component's band stands on; none outside a run, where the
// data may have moved: the text is read again.
uint64_t GeneratingRecord(const TppComponent& owner) {
  const auto* band = dynamic_cast<const TppCustomBand*>(owner.Band());
  return band && owner.Printing() ? band->RecordStamp() : 0;
}

}  // namespace

uint64_t ppMixKey(uint64_t seed, uint64_t value) {
  return seed ^ (value + 0x9E3779B97F4A7C15ULL + (seed << 6) + (seed >> 2));
}

uint64_t ppTextKey(std::string_view bytes) {
  return ppMixKey(std::hash<std::string_view>{}(bytes), bytes.size()) | 1;
}

bool TppRecordText::Holds(const TppComponent& owner, const TKey& key) {
  const uint64_t record = GeneratingRecord(owner);
  if (record == 0) return false;
  if (stamp_ == record) return true;
  // A restored page's band goes on with the record its state was saved in.
  const auto* band = static_cast<const TppCustomBand*>(owner.Band());
  if (restoredKey_ == 0 || !(band->IsContinued() || band->IsIncomplete())) return false;
  if (key() != restoredKey_) return false;
  Taken(owner);
  return true;
}

void TppRecordText::Taken(const TppComponent& owner) {
  stamp_ = GeneratingRecord(owner);
  restoredKey_ = 0;
}

uint64_t TppRecordText::KeyToSave(const TppComponent& owner, const TKey& key) const {
  return stamp_ != 0 && stamp_ == GeneratingRecord(owner) ? key() : 0;
}
