#pragma once
// What the database keeps about its tables beyond what SQLite knows: the DAO
// field types, sizes and attributes, and per table its indexes under their
// own names. These structures are also what the data-definition parser produces.

#include <cstdint>
#include <string>
#include <vector>

namespace dao {

// DAO field type numbers.
enum FieldType : int {
  dbBoolean = 1,
  dbByte = 2,
  dbInteger = 3,
  dbLong = 4,
  dbCurrency = 5,
  dbSingle = 6,
  dbDouble = 7,
  dbDate = 8,
  dbBinary = 9,
  dbText = 10,
  dbLongBinary = 11,
  dbMemo = 12,
  dbGUID = 15,
};

// Field and index-field attribute bits.
enum : int {
  dbFixedField = 0x1,
  dbVariableField = 0x2,
  dbDescending = 0x1,
  dbAutoIncrField = 0x10,
  dbUpdatableField = 0x20,
};

// The DAO Size of a field of this type (Text: its character limit).
int DefaultFieldSize(int type, int textSize = 255);

// The SQLite column type that gives values of a DAO type the right affinity.
const char* SqliteColumnType(int type);

struct FieldDef {
  std::string name;
  int type = dbText;
  int size = 255;
  int attributes = 0;  // dbAutoIncrField for a counter; updatable is added when reported
  bool required = false;
  bool allowZeroLength = false;
  std::string defaultValue;
  bool IsCounter() const { return (attributes & dbAutoIncrField) != 0; }
};

struct IndexColumn {
  std::string name;
  bool descending = false;
};

struct IndexDef {
  std::string name;
  std::string sqlName;  // SQLite's name of the index; empty when it is the table's row order
  bool primary = false;
  bool unique = false;
  bool ignoreNulls = false;
  bool required = false;
  std::vector<IndexColumn> columns;
};

struct TableDef {
  std::string name;
  std::vector<FieldDef> fields;
  std::vector<IndexDef> indexes;
  bool described = true;  // false: fields derived from SQLite's own column types
  // Its case-blind indexes follow an older order, in which a search by the
  // present one misses rows: it is read without its indexes (NOT INDEXED).
  bool caseBlindStale = false;

  int FieldIndex(const std::string& fieldName) const;  // -1 when absent; case ignored
  const IndexDef* FindIndex(const std::string& indexName) const;
  int CounterField() const;  // -1 when the table has none
};

bool IsSystemName(const std::string& name);  // contains "msys", any case

}  // namespace dao
