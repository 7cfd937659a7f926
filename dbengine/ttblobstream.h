#pragma once
// A stream over a blob field of the active record, read and written through
// the call layer's blob entries. Content read in full is kept in the record
// buffer's blob cache, so a second read of the same record needs no engine call.

#include <cstdint>
#include <string>

#include "platform/classlib/core/streams.h"
#include "platform/classlib/db/fields.h"

class TttBDEDataset;
class TVirtEng;
class TBaseTable;

// The field as a blob field, or nullptr: found by walking its class chain
// rather than by a dynamic cast, as every memo read asks it.
TBlobField* BlobFieldOf(TField* field);

// How a read of a blob field in a record buffer is served while the field
// holds no unposted change: from the record's blob cache (`cached`), by
// reading a memo whole into that cache first (`wholePending`), or else
// through the engine's blob.
struct TBlobCacheRead {
  std::string* cache = nullptr;
  bool cacheable = false;
  bool cached = false;
  bool wholePending = false;
};
TBlobCacheRead PlanBlobCacheRead(TttBDEDataset* dataSet, TBlobField* field, char* buffer);

class TttBlobStream : public TStream {
  DECLARE_CLASS(TttBlobStream, TStream)
 public:
  TttBlobStream(TBlobField* field, TBlobStreamMode mode);
  // For the field's own dataset, which knows itself without a type check.
  TttBlobStream(TttBDEDataset* dataSet, TBlobField* field, TBlobStreamMode mode);
  ~TttBlobStream() override;

  // The call layer (the binding may answer another).
  virtual TVirtEng* Engine() const;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() const override;
  void SetSize(int64_t newSize) override;
  // Cuts the blob at the current position.
  void Truncate();

  bool Opened() const { return opened_; }
  bool Cached() const { return cached_; }

 private:
  std::uint8_t* Record() const { return reinterpret_cast<std::uint8_t*>(buffer_); }
  TBaseTable* Cursor() const;
  void ClearCache();
  // Fills the cache with the whole memo when that read is still to come.
  void ReadWhole() const;

  TBlobField* field_;
  TttBDEDataset* dataSet_;
  char* buffer_ = nullptr;
  TBlobStreamMode mode_;
  std::uint16_t fieldNo_ = 0;
  bool opened_ = false;
  bool modified_ = false;
  mutable bool cached_ = false;
  bool cacheable_ = false;
  // A memo to be read whole at the first size or read; no engine blob is open.
  mutable bool wholePending_ = false;
  std::int64_t position_ = 0;
  std::string gathered_;
};
