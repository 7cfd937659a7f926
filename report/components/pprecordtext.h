#pragma once
// Which record the long text a stretching component holds was read for, so
// that a memo going on over many pages is read once for its record and not
// again at each page (which would cost every page the whole text).
//
// A band stamps each record it starts (TppCustomBand::RecordStamp): a text
// read under the band's current stamp is that record's. Every page starts
// from the state saved at the end of the one before, under a new stamp; the
// saved state then names the text its record had by its key, and a text held
// with that key is still the record's while the band goes on with it.

#include <cstdint>
#include <functional>
#include <string_view>

class TppComponent;

// A text's key: a hash of its bytes with their count, never 0 (0 is "none").
uint64_t ppTextKey(std::string_view bytes);
// A key that tells `seed` with `value` from `seed` with another value.
uint64_t ppMixKey(uint64_t seed, uint64_t value);

class TppRecordText {
 public:
  // The key of the text the component holds, asked for only when needed
  // (hashing a long text at every page would cost each its length).
  using TKey = std::function<uint64_t()>;

  // Whether the text held is the record's that the band of `owner` stands on.
  bool Holds(const TppComponent& owner, const TKey& key);
  // The text now held was read for the band's current record.
  void Taken(const TppComponent& owner);
  // The text held was given, not read for a record (or a run starts).
  void Forget() { stamp_ = restoredKey_ = 0; }
  // What a page's state keeps: the held text's key when it was read for the
  // band's current record, else 0.
  uint64_t KeyToSave(const TppComponent& owner, const TKey& key) const;
  // A page's state was restored; `key` is what it kept.
  void Restored(uint64_t key) {
    restoredKey_ = key;
    stamp_ = 0;
  }

 private:
  uint64_t stamp_ = 0;        // the band's stamp when the text was read (0: none)
  uint64_t restoredKey_ = 0;  // a restored state's key of its record's text (0: none)
};
