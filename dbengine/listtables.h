#pragma once
// List cursors whose rows the engine builds itself: the database list (the
// registry's aliases, then the session's configuration records) and the list
// over an array of fixed-size records used for index lists. They are read
// forwards with the ordinary next-record fetch.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/basetable.h"
#include "platform/classlib/core/regstore.h"

class TBaseCfgrecord;
class TRightsRegistry;

// Where a session keeps its registry keys.
struct TRegistryLocation {
  HKEY RootKey = HKEY_LOCAL_MACHINE;
  std::string KeyPath;  // "\Software\Morva\Access"
  bool KeepPath = false;  // paths are used without appending a separator
};

// The database list over the session's configuration records.
class TBaseDBListTable : public TBaseTable {
  DECLARE_CLASS(TBaseDBListTable, TBaseTable)
 public:
  TBaseDBListTable(TBapiListItem* session, TMorvaCollection* ownerList,
                   TMorvaCollection* configRecords, const char* driverTypeText,
                   const TRegistryLocation* location);
  ~TBaseDBListTable() override;

  std::uint16_t GetDataSize() override { return sizeof(TDatabaseDesc); }
  void FreeStorage() override;
  void GetNextRecord(int lock, std::uint8_t* buffer, TRecordProps* props) override;

 protected:
  TMorvaCollection* configRecords_;
  std::uint16_t configPosition_ = 0;
  std::string driverTypeText_;
  const TRegistryLocation* location_;
};

// The database list that begins with the aliases in the registry.
class TRegDBListTable : public TBaseDBListTable {
  DECLARE_CLASS(TRegDBListTable, TBaseDBListTable)
 public:
  using TBaseDBListTable::TBaseDBListTable;
  ~TRegDBListTable() override;

  void OpenCursor() override;
  void CloseCursor() override;
  void GetNextRecord(int lock, std::uint8_t* buffer, TRecordProps* props) override;

  const std::vector<std::string>& AliasNames() const { return aliasNames_; }

 private:
  std::vector<std::string> aliasNames_;
  std::uint32_t aliasPosition_ = 0;
  std::unique_ptr<TRightsRegistry> registry_;
};

// A list over an array of fixed-size rows, copied at creation.
class TBaseListTable : public TBaseTable {
  DECLARE_CLASS(TBaseListTable, TBaseTable)
 public:
  TBaseListTable(TBapiListItem* owner, TMorvaCollection* ownerList, const void* records,
                 std::uint16_t count, std::uint16_t rowSize);

  std::uint16_t GetDataSize() override { return rowSize_; }
  void GetNextRecord(int lock, std::uint8_t* buffer, TRecordProps* props) override;
  std::uint16_t RowCount() const { return count_; }

 private:
  std::vector<std::uint8_t> rows_;
  std::uint16_t count_;
  std::uint16_t rowSize_;
  std::uint16_t position_ = 0;
};

// The list of a table's indexes: rows are index descriptors.
class TIndexListTable : public TBaseListTable {
  DECLARE_CLASS(TIndexListTable, TBaseListTable)
 public:
  TIndexListTable(TBapiListItem* owner, TMorvaCollection* ownerList, const TIndexDesc* descs,
                  std::uint16_t count)
      : TBaseListTable(owner, ownerList, descs, count, sizeof(TIndexDesc)) {}
};
