#pragma once
// Filtering a query by rewriting its SQL text: the tables of its FROM list,
// the SQL text of each filter condition, and where that text goes in the
// WHERE clause.

#include <string>
#include <vector>

#include "datactrls/wwfltdlg.h"

inline constexpr const char* kwwFilterFieldNotInTables = "Field Name not found in referenced tables. \r";
inline constexpr const char* kwwFilterBadSqlValue = "'%s' is not a valid value for field '%s'.";

// A table of the FROM list and the alias its columns are qualified with
// (both upper case, as the scan reads them).
struct TwwQueryTable {
  std::string Name;
  std::string Alias;
};
std::vector<TwwQueryTable> wwQueryTables(TStrings* sql);

// The condition lines of the conditions over the field list, in list order.
// False when a condition cannot be written: Problem then holds the message
// (a field the tables lack, a value that is no value of its column's type).
// Dates are written as #date# literals; `scansParams` doubles their colons for
// a query that reads ":name" in its text as a parameter.
bool wwBuildConditionSql(const TwwFieldInfoList& conditions, const TwwDBFieldInfoList& fields,
                         TStrings* selectedFields, const TwwFieldOperators& ops,
                         std::vector<std::string>& lines, std::string& problem, bool scansParams = false);

// Puts condition lines into the WHERE clause of the text: a new "Where"
// before the first clause keyword (or at the end), or "And" and the lines
// joined to the clause that is there.
void wwMergeSqlWhere(TStrings* sql, const std::vector<std::string>& lines);

// A date, time or date-and-time text as an SQL literal's contents: month/day/
// four-digit year, hours:minutes:seconds, no leading zeros. False when the text
// is no value of the type; an empty text gives an empty literal.
bool wwSqlDateLiteral(TFieldType dataType, const std::string& text, std::string& literal);
