#pragma once
// Read-only list cursors over the structure of an Access database: tables,
// fields, indexes, stored queries and their parameters. Each row is a
// fixed-size description record; the lists are read once from the start.

#include <cstdint>
#include <memory>
#include <string>

#include "dbengine/accesstable.h"

class TDAOField;
class TDAOTabledefs;
class TDAOIndexes;
class TDAOQuerydefs;
class TDAOParameters;

// The descriptor of a DAO field at position (0-based) and offset: engine type
// and subtype, units, stored length; DriverType holds the DAO type and
// KeyWidth the width of the field's value inside a key.
TFieldDesc AccessFieldDesc(TDAOField* field, std::uint16_t position, std::uint16_t offset);
// Engine type, subtype and units for a DAO type (fields and parameters).
void AccessTypeOf(std::int16_t daoType, std::uint16_t& fieldType, std::uint16_t& subType);

constexpr std::uint16_t kTableListRowSize = 574;
constexpr std::uint16_t kTableListRowSizeExtended = 626;
constexpr std::uint16_t kStoredProcRowSize = 73;
constexpr std::uint16_t kStoredParamRowSize = 52;

// Common reading: rows are produced one after the other until the end.
class TAccessListTable : public TAccessBaseTable {
  DECLARE_CLASS(TAccessListTable, TAccessBaseTable)
 public:
  TAccessListTable(TBapiListItem* owner, TMorvaCollection* ownerList, std::uint16_t rowSize);

  std::uint16_t GetDataSize() override { return rowSize_; }
  void GetNextRecord(int lock, std::uint8_t* buffer, TRecordProps* props) override;
  void GetRecordCount(std::uint32_t& count) override;

 protected:
  // Fills the row for the item at position; false when the item is skipped.
  virtual bool FillRow(std::int16_t position, std::uint8_t* row) = 0;
  virtual std::int16_t ItemCount() = 0;

  std::uint16_t rowSize_;
  std::int16_t position_ = 0;
};

class TAccessTblListTable : public TAccessListTable {
  DECLARE_CLASS(TAccessTblListTable, TAccessListTable)
 public:
  TAccessTblListTable(TDAODatabase* database, bool extended, bool system, const char* pattern);
  ~TAccessTblListTable() override;

 protected:
  bool FillRow(std::int16_t position, std::uint8_t* row) override;
  std::int16_t ItemCount() override;

 private:
  std::unique_ptr<TDAOTabledefs> tableDefs_;
  bool system_;
  std::string pattern_;  // kept, not applied
};

class TAccessFieldListTable : public TAccessListTable {
  DECLARE_CLASS(TAccessFieldListTable, TAccessListTable)
 public:
  // Walks the recordset's fields (the owning cursor's collection when it has
  // one); without a recordset one is opened on the table name.
  TAccessFieldListTable(TDAODatabase* database, const char* tableName, TDAORecordset* recordset,
                        TAccessTable* owner);
  ~TAccessFieldListTable() override;

 protected:
  bool FillRow(std::int16_t position, std::uint8_t* row) override;
  std::int16_t ItemCount() override;

 private:
  TDAORecordset* recordset_ = nullptr;
  bool ownsRecordset_ = false;
  TDAOFields* fields_ = nullptr;
  bool ownsFields_ = false;
  std::uint16_t offset_ = 0;
};

class TAccessIndexListTable : public TAccessListTable {
  DECLARE_CLASS(TAccessIndexListTable, TAccessListTable)
 public:
  TAccessIndexListTable(TDAODatabase* database, const char* tableName, TDAORecordset* recordset,
                        TAccessTable* owner);
  ~TAccessIndexListTable() override;

  void GetRecordCount(std::uint32_t& count) override;

 protected:
  bool FillRow(std::int16_t position, std::uint8_t* row) override;
  std::int16_t ItemCount() override;

 private:
  TDAORecordset* recordset_ = nullptr;
  bool ownsRecordset_ = false;
  TDAOIndexes* indexes_ = nullptr;
  TAccessTable* ownerCursor_;
};

class TAccessStoredProcTable : public TAccessListTable {
  DECLARE_CLASS(TAccessStoredProcTable, TAccessListTable)
 public:
  explicit TAccessStoredProcTable(TDAODatabase* database);
  ~TAccessStoredProcTable() override;

 protected:
  bool FillRow(std::int16_t position, std::uint8_t* row) override;
  std::int16_t ItemCount() override;

 private:
  std::unique_ptr<TDAOQuerydefs> queryDefs_;
};

class TAccessStoredParamsTable : public TAccessListTable {
  DECLARE_CLASS(TAccessStoredParamsTable, TAccessListTable)
 public:
  explicit TAccessStoredParamsTable(TDAOQuerydef* queryDef);
  ~TAccessStoredParamsTable() override;

 protected:
  bool FillRow(std::int16_t position, std::uint8_t* row) override;
  std::int16_t ItemCount() override;

 private:
  std::unique_ptr<TDAOParameters> parameters_;
};
