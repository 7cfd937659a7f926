#include "platform/dao/catalogue.h"

#include "platform/classlib/core/strutils.h"

namespace dao {

int DefaultFieldSize(int type, int textSize) {
  switch (type) {
    case dbBoolean:
    case dbByte: return 1;
    case dbInteger: return 2;
    case dbLong:
    case dbSingle: return 4;
    case dbCurrency:
    case dbDouble:
    case dbDate: return 8;
    case dbGUID: return 16;
    case dbText: return textSize;
    case dbBinary: return textSize;
    default: return 0;  // memo and long binary
  }
}

const char* SqliteColumnType(int type) {
  switch (type) {
    case dbBoolean:
    case dbByte:
    case dbInteger:
    case dbLong:
    case dbCurrency: return "INTEGER";
    case dbSingle:
    case dbDouble:
    case dbDate: return "REAL";
    case dbText:
    case dbMemo: return "TEXT";
    default: return "BLOB";
  }
}

int TableDef::FieldIndex(const std::string& fieldName) const {
  for (size_t i = 0; i < fields.size(); ++i)
    if (AnsiSameText(fields[i].name, fieldName)) return static_cast<int>(i);
  return -1;
}

const IndexDef* TableDef::FindIndex(const std::string& indexName) const {
  for (const auto& index : indexes)
    if (AnsiSameText(index.name, indexName)) return &index;
  return nullptr;
}

int TableDef::CounterField() const {
  for (size_t i = 0; i < fields.size(); ++i)
    if (fields[i].IsCounter()) return static_cast<int>(i);
  return -1;
}

bool IsSystemName(const std::string& name) { return LowerCase(name).find("msys") != std::string::npos; }

}  // namespace dao
