#pragma once
// Translation of the Access SQL dialect the system sends into SQLite's:
// [names], "strings", #dates#, TRUE/FALSE, * and ? wildcards (evaluated by the
// connection's own LIKE), DELETE * FROM, TOP n, PARAMETERS declarations, a
// trailing ";", and the data-definition statements that make tables and indexes. Everything
// else fails with a DAO syntax error; nothing here crashes on bad input.

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/dao/catalogue.h"

namespace dao {

enum class StatementKind { Select, Insert, Update, Delete, CreateTable, CreateIndex, DropTable, DropIndex };

struct ParameterDecl {
  std::string name;
  int type = dbText;
};

struct Translation {
  StatementKind kind = StatementKind::Select;
  std::string sql;                          // SQLite text (queries and changes)
  std::vector<ParameterDecl> parameters;    // declared; bound as ?1, ?2 ... in order
  std::string whereText;                    // the Access text of the condition, for messages
  // A plain SELECT over one table can change it: that table, and the query
  // with the table's row number as the first column.
  std::string updatableTable;
  std::string sqlWithRowid;
  TableDef table;                           // CREATE TABLE
  std::string tableName;                    // CREATE/DROP INDEX, DROP TABLE
  IndexDef index;                           // CREATE/DROP INDEX (name)
  bool IsQuery() const { return kind == StatementKind::Select; }
  bool IsDefinition() const { return kind >= StatementKind::CreateTable; }
};

// The DAO type of a table's column, 0 when unknown. With it, number literals
// compared with, assigned to or inserted into currency columns are written in
// the stored form (ten-thousandths).
using ColumnTypeFn = std::function<int(const std::string& table, const std::string& column)>;

Translation TranslateAccessSql(const std::string& text, const ColumnTypeFn& columnType = nullptr);

// The date number (days since 30 December 1899, time as the fraction) of the
// text between the #s of an Access date literal: "m/d/yyyy", "yyyy-mm-dd",
// optionally followed by a time "h:nn[:ss] [AM|PM]", or a time alone.
bool ParseAccessDate(const std::string& text, double& dateNumber);

// The stored form (ten-thousandths) of a currency amount written as a number
// with '.' as decimal point, exactly; false when it is no such number or lies
// beyond the currency range.
bool StoredCurrency(const std::string& text, std::int64_t& raw);

// The DAO type named by a data-definition type word (TEXT, LONG, COUNTER ...); 0 when unknown.
int TypeFromDdlName(const std::string& word, bool& counter);

}  // namespace dao
