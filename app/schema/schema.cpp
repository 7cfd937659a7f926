#include "app/schema/schema.h"

#include <filesystem>

#include "platform/classlib/core/exceptions.h"
#include "platform/dao/core.h"

namespace {

// The entry fields in their stored order; sizes are characters.
constexpr const char* kReports =
    "CREATE TABLE Reports (ReportNumber COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, "
    "Identifier TEXT(50), Status TEXT(50), Priority TEXT(50), Severity TEXT(50), "
    "Description TEXT(200), Area TEXT(50), Version TEXT(50), ReportedBy TEXT(50), "
    "ReportedDate DATETIME, Responsibility TEXT(50), FixedBy TEXT(50), FixedDate DATETIME, "
    "FixedInVersion TEXT(20), VerifiedBy TEXT(40), VerifiedDate DATETIME, ProgramNumber LONG, "
    "ReportType TEXT(50), Report MEMO, Resolution MEMO, Steps MEMO, Attachment MEMO, "
    "Workaround MEMO)";

// Sorting by a grid title selects the index named after the field; each
// starts with ProgramNumber so the master link still keeps to one program.
constexpr const char* kGridFields[] = {
    "ReportNumber", "Identifier",     "Status",  "Priority",     "Severity",  "Description",
    "Area",         "Version",        "ReportedBy", "ReportedDate", "Responsibility",
    "FixedBy",      "FixedDate",      "FixedInVersion", "VerifiedBy", "VerifiedDate"};

constexpr const char* kOtherTables[] = {
    "CREATE TABLE Programs ([Program] TEXT(50), "
    "ProgramNumber COUNTER CONSTRAINT PrimaryKey PRIMARY KEY)",
    "CREATE TABLE Status (Status TEXT(50) CONSTRAINT PrimaryKey PRIMARY KEY, "
    "StatusDescription TEXT(50))",
    "CREATE TABLE Priority (Priority TEXT(50) CONSTRAINT PrimaryKey PRIMARY KEY, "
    "PriorityDescription TEXT(50))",
    "CREATE TABLE Area (Area TEXT(50))",
    "CREATE TABLE Version (Version TEXT(50))",
    "CREATE TABLE [User] ([User] TEXT(50), Email TEXT(50))",
    "CREATE TABLE Employee (Employee TEXT(50))",
    "CREATE TABLE Severity (Severity TEXT(50))",
};

// Lookup tables are indexed on their one field, under its name.
constexpr const char* kLookupIndexes[] = {
    "CREATE INDEX Area ON Area (Area)",
    "CREATE INDEX Version ON Version (Version)",
    "CREATE INDEX [User] ON [User] ([User])",
    "CREATE INDEX Employee ON Employee (Employee)",
    "CREATE INDEX Severity ON Severity (Severity)",
};

// The codes with their export texts.
constexpr const char* kStatusTexts[] = {"New",       "In Process",         "Fixed/Implemented",
                                        "Verified",  "Delegated",          "Deferred",
                                        "No Longer Relevant", "Will Not Be Fixed/Implemented",
                                        "Could Not Duplicate"};
constexpr const char* kPriorityTexts[] = {"Very High", "High", "Normal", "Low", "Very Low"};

void InsertCodes(dao::TDatabaseCore& db, const std::string& table, const char* const* texts,
                 int count) {
  for (int i = 0; i < count; ++i)
    db.Execute("INSERT INTO " + table + " (" + table + ", " + table + "Description) VALUES ('" +
               std::to_string(i + 1) + "', '" + texts[i] + "')");
}

// The tables of a database being made (under the name it is made under).
void MakeTables(const std::string& path) {
  dao::TDatabaseCore db(path, true, false, "");
  db.Execute(kReports);
  db.Execute("CREATE INDEX ProgramNumber ON Reports (ProgramNumber)");
  for (const char* field : kGridFields)
    db.Execute(std::string("CREATE INDEX ") + field + " ON Reports (ProgramNumber, " + field + ")");
  for (const char* sql : kOtherTables) db.Execute(sql);
  for (const char* sql : kLookupIndexes) db.Execute(sql);
  InsertCodes(db, "Status", kStatusTexts, int(std::size(kStatusTexts)));
  InsertCodes(db, "Priority", kPriorityTexts, int(std::size(kPriorityTexts)));
  db.Execute("INSERT INTO Programs ([Program]) VALUES ('New Program')");
}

}  // namespace

void CreateVantrelDatabase(const std::string& path) {
  namespace fs = std::filesystem;
  if (fs::exists(path)) throw Exception("The file '" + path + "' exists already.");
  // Made whole beside the path and only then put there, never over a file:
  // a failure or a kill leaves nothing at the path, and removes nothing.
  dao::TDatabaseCore::Create(path, "", MakeTables);
}

bool CreateVantrelDatabaseIfMissing(const std::string& path) {
  if (std::filesystem::exists(path)) return false;
  CreateVantrelDatabase(path);
  return true;
}

namespace {

// Codes are "1" up to the table's size, in the tables' order.
std::string CodeText(const std::string& code, const char* const* texts, std::size_t count) {
  if (code.size() == 1 && code[0] >= '1' && std::size_t(code[0] - '0') <= count)
    return texts[code[0] - '1'];
  return code;
}

}  // namespace

std::string StatusExportText(const std::string& code) {
  return CodeText(code, kStatusTexts, std::size(kStatusTexts));
}

std::string PriorityExportText(const std::string& code) {
  return CodeText(code, kPriorityTexts, std::size(kPriorityTexts));
}
