#pragma once
// The application's database: its tables, fields, indexes and first rows.

#include <string>

// Creates a new database file at `path` holding the application's tables,
// the status and priority codes and one program "New Program". Raises when
// the file exists already or cannot be written (nothing is left behind then).
void CreateVantrelDatabase(const std::string& path);

// Creates the database only when no file is at `path`; true when it made one.
bool CreateVantrelDatabaseIfMissing(const std::string& path);

// The export text of a stored status or priority code ("1" -> "New"); an
// empty or unknown code comes back as it is.
std::string StatusExportText(const std::string& code);
std::string PriorityExportText(const std::string& code);
