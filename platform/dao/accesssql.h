#pragma once
// Translation of the Access SQL dialect the system sends into SQLite's:
// [names], "strings", #dates#, TRUE/FALSE, * and ? wildcards (evaluated by the
// connection's own LIKE), DELETE * FROM, TOP n, PARAMETERS declarations, a
// trailing ";", and the data-definition statements that make tables and indexes. Expressions
// over currency columns are written to compute with the amounts themselves. Everything
// else fails with a DAO syntax error; nothing here crashes on bad input.

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
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
  // The tables of a plain SELECT's FROM list (name, alias as written), when
  // its rows are not grouped: what a result row may be found again by.
  std::vector<std::pair<std::string, std::string>> fromTables;
  TableDef table;                           // CREATE TABLE
  std::string tableName;                    // CREATE/DROP INDEX, DROP TABLE
  IndexDef index;                           // CREATE/DROP INDEX (name)
  // A query's result columns that hold currency in the stored form, in order
  // (after the row number of sqlWithRowid); empty when the catalogue did not tell.
  std::vector<bool> currencyColumns;
  bool IsQuery() const { return kind == StatementKind::Select; }
  bool IsDefinition() const { return kind >= StatementKind::CreateTable; }
};

// The catalogue: fills in a table's definition, false when there is no such
// table. With it the translator knows each column's type: currency columns
// hold amounts as ten-thousandths, and every expression over them is written
// so that SQLite computes with the amounts themselves (see accesssqltypes.h).
using TableLookupFn = std::function<bool(const std::string& table, TableDef& def)>;

Translation TranslateAccessSql(const std::string& text, const TableLookupFn& tables = nullptr);

// The DAO error for a statement of this kind that is no valid statement.
int SyntaxErrorOf(StatementKind kind);

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
