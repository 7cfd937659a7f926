#pragma once
// The collations and functions every connection gives SQLite: text compares
// and changes case across all of Unicode, and LIKE takes Access wildcards.

struct sqlite3;

namespace dao {

// Installs them on a connection just opened: the case-blind order (under its
// own name and as NOCASE), ZSTRING, ZSTRING_ANYCASE, like, upper, lower.
void InstallSqlFunctions(sqlite3* db);

}  // namespace dao
