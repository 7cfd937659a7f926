// The catalogue of a database file: making a new file, reading its tables,
// fields, indexes and stored queries, changing them, and numbering rows.

#include "platform/dao/store.h"

#include <sqlite3.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "platform/classlib/core/strutils.h"
#include "platform/dao/daoerrors.h"
#include "platform/dao/locks.h"
#include "platform/dao/sharing.h"
#include "platform/dao/sqlfunctions.h"

namespace dao {

namespace {

std::string QueriesTable() {
  return std::string("CREATE TABLE MSysQueries (Name TEXT NOT NULL PRIMARY KEY COLLATE ") +
         Connection::kCaseBlindCollation + ", SQL TEXT NOT NULL)";
}

// The catalogue tables; their names compare case-blind, as the tables' own do.
std::string Catalogue() {
  const std::string blind = std::string(" COLLATE ") + Connection::kCaseBlindCollation;
  return "CREATE TABLE MSysTables (Name TEXT NOT NULL PRIMARY KEY" + blind +
         ", LastId INTEGER NOT NULL DEFAULT 0);"
         "CREATE TABLE MSysColumns (TableName TEXT NOT NULL" + blind + ", Name TEXT NOT NULL" + blind +
         ", Position INTEGER NOT NULL, Type INTEGER NOT NULL,"
         " Size INTEGER NOT NULL, Attributes INTEGER NOT NULL, Required INTEGER NOT NULL,"
         " AllowZeroLength INTEGER NOT NULL, DefaultValue TEXT, PRIMARY KEY (TableName, Name));"
         "CREATE TABLE MSysIndexes (TableName TEXT NOT NULL" + blind + ", Name TEXT NOT NULL" + blind +
         ", SqlName TEXT NOT NULL, IsPrimary INTEGER NOT NULL,"
         " IsUnique INTEGER NOT NULL, IgnoreNulls INTEGER NOT NULL, Required INTEGER NOT NULL,"
         " Columns TEXT NOT NULL, PRIMARY KEY (TableName, Name));" +
         QueriesTable() + ";";
}

// Index columns are kept as "+Name" / "-Name" entries separated by tabs.
std::string EncodeColumns(const std::vector<IndexColumn>& columns) {
  std::string out;
  for (const auto& c : columns) {
    if (!out.empty()) out += '\t';
    out += (c.descending ? '-' : '+') + c.name;
  }
  return out;
}

std::vector<IndexColumn> DecodeColumns(const std::string& text) {
  std::vector<IndexColumn> out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\t', start);
    if (end == std::string::npos) end = text.size();
    std::string item = text.substr(start, end - start);
    if (!item.empty()) out.push_back({item.substr(1), item[0] == '-'});
    start = end + 1;
  }
  return out;
}

int TypeFromDeclared(const std::string& declared) {
  std::string d = UpperCase(declared);
  if (d.find("INT") != std::string::npos) return dbLong;
  if (d.find("CHAR") != std::string::npos || d.find("TEXT") != std::string::npos ||
      d.find("CLOB") != std::string::npos)
    return dbMemo;
  if (d.find("REAL") != std::string::npos || d.find("FLOA") != std::string::npos ||
      d.find("DOUB") != std::string::npos)
    return dbDouble;
  if (d.empty() || d.find("BLOB") != std::string::npos) return dbLongBinary;
  return dbDouble;
}

}  // namespace

namespace {

// A name beside `path` nobody else uses, hidden, for a file being made.
std::string MakingName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  const std::string folder = FolderOf(path);
  const std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
  return (folder == "/" ? "" : folder) + "/." + name + "." + std::to_string(::getpid()) + "-" +
         std::to_string(counter++) + ".making";
}

// The file made and the files SQLite and the locks made beside it.
void RemoveMade(const std::string& made) {
  for (const char* side : {"", "-wal", "-shm", "-journal", "-lock"}) ::unlink((made + side).c_str());
}

// Puts the file made at the path, never over another one: a link fails when
// the path is taken. Where the file system has no links, the path is made
// anew exclusively and the file copied into it.
int Publish(const std::string& made, const std::string& path) {
  if (::link(made.c_str(), path.c_str()) == 0) return 0;
  if (errno == EEXIST) return errDatabaseExists;
  const int to = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (to < 0) return errno == EEXIST ? errDatabaseExists : errInvalidPath;
  const int from = ::open(made.c_str(), O_RDONLY | O_CLOEXEC);
  bool whole = from >= 0;
  char buffer[1 << 16];
  for (ssize_t got = 0; whole && (got = ::read(from, buffer, sizeof buffer)) != 0;)
    whole = got > 0 && ::write(to, buffer, std::size_t(got)) == got;
  whole = whole && ::fsync(to) == 0;
  if (from >= 0) ::close(from);
  ::close(to);
  if (whole) return 0;
  ::unlink(path.c_str());  // made exclusively just now: this program's own
  return errInvalidPath;
}

}  // namespace

void Connection::CreateFile(const std::string& path, const std::function<void(const std::string&)>& fill) {
  if (path.empty()) Fail(errInvalidPath, path);
  if (::access(path.c_str(), F_OK) == 0) Fail(errDatabaseExists);
  const std::string made = MakingName(path);
  try {
    const int fd = ::open(made.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) Fail(errno == ENOSPC ? errDiskFull : errInvalidPath, path);
    ::close(fd);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(made.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) {
      InstallSqlFunctions(db);  // the case-blind order its text columns name
      std::string journal = InNetworkMode(path) ? "DELETE" : "WAL";
      std::string sql = "PRAGMA journal_mode=" + journal + "; BEGIN;" + Catalogue() +
                        "PRAGMA user_version=" + std::to_string(kCaseBlindOrder) + "; COMMIT;";
      rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    }
    const bool full = rc != SQLITE_OK && (rc == SQLITE_FULL || sqlite3_system_errno(db) == ENOSPC);
    sqlite3_close(db);
    if (rc != SQLITE_OK) Fail(full ? errDiskFull : errInvalidPath, path);
    if (fill) fill(made);
    // Whole in itself before it is put in place: its log folded in (a close
    // that could not fold reports nothing) and no journal left.
    db = nullptr;
    rc = sqlite3_open_v2(made.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    int logged = 0, folded = 0;
    if (rc == SQLITE_OK) rc = sqlite3_wal_checkpoint_v2(db, "main", SQLITE_CHECKPOINT_TRUNCATE, &logged, &folded);
    const bool settledFull = rc != SQLITE_OK && sqlite3_system_errno(db) == ENOSPC;
    sqlite3_close(db);
    if (rc != SQLITE_OK || logged > 0 || HasContent(made + "-wal") || HasContent(made + "-journal"))
      Fail(settledFull ? errDiskFull : errInvalidPath, path);
    // Put in place while no connection still holds a file that stood at the
    // path: the log files beside it are that file's until it is closed.
    struct stat st {};
    if (::stat(made.c_str(), &st) != 0) Fail(errInvalidPath, path);
    auto locks = LockFile::For(path, false);
    const auto inode = static_cast<std::uint64_t>(st.st_ino);
    const int held = locks->HoldFile(inode);
    if (held == errFileInUse) RefuseEarlierFileHeld(path);
    const int published = Publish(made, path);
    if (held == 0) locks->ReleaseFile(inode);
    if (published != 0) Fail(published, path);
  } catch (...) {
    RemoveMade(made);
    throw;
  }
  RemoveMade(made);  // the name only: the file stays at the path
}

void Connection::LoadCatalogue() {
  int version = 0;
  {
    StatementUse s(Cached("PRAGMA schema_version"));
    if (s->Step()) version = static_cast<int>(s->ColumnInteger(0));
  }
  if (catalogueLoaded_ && version == schemaVersion_) return;
  tables_.clear();
  schemaVersion_ = version;
  catalogueLoaded_ = true;
  olderOrder_ = TablesInOlderOrder();
  bool hasCatalogue = false;
  {
    StatementUse s(Cached("SELECT 1 FROM sqlite_master WHERE type='table' AND name='MSysColumns'"));
    hasCatalogue = s->Step();
  }
  if (!hasCatalogue) return;
  {
    StatementUse s(Cached(
        "SELECT c.TableName, c.Name, c.Type, c.Size, c.Attributes, c.Required, c.AllowZeroLength,"
        " c.DefaultValue FROM MSysColumns c ORDER BY c.TableName, c.Position"));
    while (s->Step()) {
      auto& t = tables_[UpperKey(s->ColumnText(0))];
      if (t.name.empty()) t.name = s->ColumnText(0);
      FieldDef f;
      f.name = s->ColumnText(1);
      f.type = static_cast<int>(s->ColumnInteger(2));
      // A file from elsewhere may hold any number here: text and binary
      // fields take 1 to 255, the others their type's own size.
      std::int64_t size = s->ColumnInteger(3);
      bool variable = f.type == dbText || f.type == dbBinary;
      f.size = variable ? (size >= 1 && size <= 255 ? static_cast<int>(size) : 255) : DefaultFieldSize(f.type);
      f.attributes = static_cast<int>(s->ColumnInteger(4));
      f.required = s->ColumnInteger(5) != 0;
      f.allowZeroLength = s->ColumnInteger(6) != 0;
      f.defaultValue = s->ColumnText(7);
      t.fields.push_back(f);
    }
  }
  {
    StatementUse s(Cached(
        "SELECT TableName, Name, SqlName, IsPrimary, IsUnique, IgnoreNulls, Required, Columns"
        " FROM MSysIndexes ORDER BY TableName, rowid"));
    while (s->Step()) {
      auto it = tables_.find(UpperKey(s->ColumnText(0)));
      if (it == tables_.end()) continue;
      IndexDef i;
      i.name = s->ColumnText(1);
      i.sqlName = s->ColumnText(2);
      i.primary = s->ColumnInteger(3) != 0;
      i.unique = s->ColumnInteger(4) != 0;
      i.ignoreNulls = s->ColumnInteger(5) != 0;
      i.required = s->ColumnInteger(6) != 0;
      i.columns = DecodeColumns(s->ColumnText(7));
      it->second.indexes.push_back(i);
    }
  }
  // The table names as SQLite spells them.
  StatementUse s(Cached("SELECT name FROM sqlite_master WHERE type='table'"));
  while (s->Step()) {
    auto it = tables_.find(UpperKey(s->ColumnText(0)));
    if (it != tables_.end()) it->second.name = s->ColumnText(0);
  }
  for (auto& [key, table] : tables_) table.caseBlindStale = olderOrder_.count(key) != 0;
}

TableDef Connection::DescribeFromSqlite(const std::string& name) {
  TableDef t;
  t.described = false;
  auto s = Prepare("SELECT name, type FROM pragma_table_info(?)");
  s->Bind(1, name);
  while (s->Step()) {
    FieldDef f;
    f.name = s->ColumnText(0);
    f.type = TypeFromDeclared(s->ColumnText(1));
    f.size = DefaultFieldSize(f.type);
    t.fields.push_back(f);
  }
  return t;
}

const TableDef* Connection::FindTable(const std::string& name) {
  LoadCatalogue();
  auto it = tables_.find(UpperKey(name));
  if (it != tables_.end()) return &it->second;
  // A table without catalogue rows (made by other tools, or the catalogue itself).
  std::string actual;
  {
    StatementUse s(Cached(std::string("SELECT name FROM sqlite_master WHERE type='table' AND name=? COLLATE ") +
                          kCaseBlindCollation));
    s->Bind(1, name);
    if (!s->Step()) return nullptr;
    actual = s->ColumnText(0);
  }
  TableDef t = DescribeFromSqlite(actual);
  t.name = actual;
  t.caseBlindStale = olderOrder_.count(UpperKey(actual)) != 0;
  auto& slot = tables_[UpperKey(name)];
  slot = std::move(t);
  return &slot;
}

const TableDef& Connection::Table(const std::string& name) {
  const TableDef* t = FindTable(name);
  if (t == nullptr) Fail(errNoSuchTable, name);
  return *t;
}

std::vector<std::string> Connection::TableNames() {
  std::vector<std::string> names;
  StatementUse s(Cached(
      "SELECT name FROM sqlite_master WHERE type='table' AND substr(name, 1, 7) <> 'sqlite_' ORDER BY rowid"));
  while (s->Step()) names.push_back(s->ColumnText(0));
  return names;
}

void Connection::CreateTable(const TableDef& def) {
  if (def.name.empty() || def.fields.empty()) Fail(errSyntaxInCreateTable);
  if (FindTable(def.name) != nullptr) Fail(errTableExists, def.name);
  WriteScope scope(*this);
  std::string sql = "CREATE TABLE " + QuoteIdentifier(def.name) + " (";
  bool counterTaken = false;
  for (size_t i = 0; i < def.fields.size(); ++i) {
    const FieldDef& f = def.fields[i];
    for (size_t j = 0; j < i; ++j)
      if (AnsiSameText(def.fields[j].name, f.name)) Fail(errObjectExists, f.name);
    std::string col = QuoteIdentifier(f.name);
    if (i > 0) sql += ", ";
    sql += col + " " + SqliteColumnType(f.type);
    if (f.IsCounter() && !counterTaken) {
      // The counter is the row number itself: SQLite never hands one out twice.
      sql += " PRIMARY KEY AUTOINCREMENT";
      counterTaken = true;
    }
    if (f.type == dbText || f.type == dbMemo) sql += std::string(" COLLATE ") + kCaseBlindCollation;
    if (f.required) sql += " NOT NULL";
    if (f.type == dbText) sql += " CHECK (length(" + col + ") <= " + std::to_string(f.size) + ")";
  }
  sql += ")";
  Exec(sql);
  {
    auto s = Prepare("INSERT INTO MSysTables (Name, LastId) VALUES (?, 0)");
    s->Bind(1, def.name).Step();
  }
  auto s = Prepare("INSERT INTO MSysColumns VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
  for (size_t i = 0; i < def.fields.size(); ++i) {
    const FieldDef& f = def.fields[i];
    s->Reset();
    s->Bind(1, def.name).Bind(2, f.name).Bind(3, static_cast<std::int64_t>(i));
    s->Bind(4, static_cast<std::int64_t>(f.type)).Bind(5, static_cast<std::int64_t>(f.size));
    s->Bind(6, static_cast<std::int64_t>(f.attributes & ~dbUpdatableField));
    s->Bind(7, static_cast<std::int64_t>(f.required)).Bind(8, static_cast<std::int64_t>(f.allowZeroLength));
    s->Bind(9, f.defaultValue.empty() ? Cell() : Cell::MakeText(f.defaultValue));
    s->Step();
  }
  catalogueLoaded_ = false;
  for (const auto& index : def.indexes) CreateIndex(def.name, index);
  scope.Commit();
  catalogueLoaded_ = false;
}

void Connection::CreateIndex(const std::string& tableName, IndexDef index) {
  const TableDef& table = Table(tableName);
  if (index.name.empty() || index.columns.empty()) Fail(errSyntaxInCreateIndex);
  if (table.FindIndex(index.name) != nullptr) Fail(errObjectExists, index.name);
  if (index.primary)
    for (const auto& other : table.indexes)
      if (other.primary) Fail(errObjectExists, other.name);
  for (auto& c : index.columns) {
    int fi = table.FieldIndex(c.name);
    if (fi < 0) Fail(errItemNotFound);
    c.name = table.fields[static_cast<size_t>(fi)].name;
  }
  if (index.primary) index.unique = index.required = true;
  std::string actualTable = table.name;
  WriteScope scope(*this);
  int counter = table.CounterField();
  if (index.columns.size() == 1 && !index.columns[0].descending && counter >= 0 &&
      AnsiSameText(index.columns[0].name, table.fields[static_cast<size_t>(counter)].name)) {
    index.sqlName.clear();  // the row number order itself
  } else {
    // SQLite's index names are global; make one from the table's and the index's.
    std::string base = actualTable + "_" + index.name;
    index.sqlName = base;
    for (int n = 2;; ++n) {
      StatementUse s(Cached(std::string("SELECT 1 FROM sqlite_master WHERE name=? COLLATE ") + kCaseBlindCollation));
      s->Bind(1, index.sqlName);
      if (!s->Step()) break;
      index.sqlName = base + "_" + std::to_string(n);
    }
    std::string sql = std::string("CREATE ") + (index.unique ? "UNIQUE " : "") + "INDEX " +
                      QuoteIdentifier(index.sqlName) + " ON " + QuoteIdentifier(actualTable) + " (";
    for (size_t i = 0; i < index.columns.size(); ++i) {
      if (i > 0) sql += ", ";
      sql += QuoteIdentifier(index.columns[i].name) + (index.columns[i].descending ? " DESC" : "");
    }
    Exec(sql + ")");
  }
  auto s = Prepare("INSERT INTO MSysIndexes VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
  s->Bind(1, actualTable).Bind(2, index.name).Bind(3, index.sqlName);
  s->Bind(4, static_cast<std::int64_t>(index.primary)).Bind(5, static_cast<std::int64_t>(index.unique));
  s->Bind(6, static_cast<std::int64_t>(index.ignoreNulls)).Bind(7, static_cast<std::int64_t>(index.required));
  s->Bind(8, EncodeColumns(index.columns));
  s->Step();
  scope.Commit();
  catalogueLoaded_ = false;
}

void Connection::DropTable(const std::string& name) {
  std::string actual = Table(name).name;
  WriteScope scope(*this);
  Exec("DROP TABLE " + QuoteIdentifier(actual));
  for (const char* sql : {"DELETE FROM MSysTables WHERE Name=?", "DELETE FROM MSysColumns WHERE TableName=?",
                          "DELETE FROM MSysIndexes WHERE TableName=?"}) {
    if (FindTable("MSysColumns") == nullptr) break;
    auto s = Prepare(sql);
    s->Bind(1, actual).Step();
  }
  scope.Commit();
  catalogueLoaded_ = false;
}

void Connection::DropIndex(const std::string& tableName, const std::string& indexName) {
  const TableDef& table = Table(tableName);
  const IndexDef* index = table.FindIndex(indexName);
  if (index == nullptr) Fail(errNoSuchIndex, indexName);
  WriteScope scope(*this);
  if (!index->sqlName.empty()) Exec("DROP INDEX " + QuoteIdentifier(index->sqlName));
  auto s = Prepare("DELETE FROM MSysIndexes WHERE TableName=? AND Name=?");
  s->Bind(1, table.name).Bind(2, index->name).Step();
  scope.Commit();
  catalogueLoaded_ = false;
}

void Connection::RenameTable(const std::string& name, const std::string& newName) {
  std::string actual = Table(name).name;
  if (newName.empty()) Fail(errInvalidArgument);
  if (!AnsiSameText(actual, newName) && FindTable(newName) != nullptr) Fail(errTableExists, newName);
  WriteScope scope(*this);
  Exec("ALTER TABLE " + QuoteIdentifier(actual) + " RENAME TO " + QuoteIdentifier(newName));
  if (FindTable("MSysColumns") != nullptr)
    for (const char* sql : {"UPDATE MSysTables SET Name=?1 WHERE Name=?2",
                            "UPDATE MSysColumns SET TableName=?1 WHERE TableName=?2",
                            "UPDATE MSysIndexes SET TableName=?1 WHERE TableName=?2"}) {
      auto s = Prepare(sql);
      s->Bind(1, newName).Bind(2, actual).Step();
    }
  scope.Commit();
  catalogueLoaded_ = false;
}

void Connection::RenameField(const std::string& tableName, const std::string& field, const std::string& newName) {
  const TableDef& table = Table(tableName);
  int index = table.FieldIndex(field);
  if (index < 0) Fail(errItemNotFound);
  if (newName.empty()) Fail(errInvalidArgument);
  int clash = table.FieldIndex(newName);
  if (clash >= 0 && clash != index) Fail(errObjectExists, newName);
  std::string actualTable = table.name;
  std::string actualField = table.fields[static_cast<size_t>(index)].name;
  std::vector<std::pair<std::string, std::string>> indexColumns;  // index name, new column list
  for (const auto& i : table.indexes) {
    auto columns = i.columns;
    for (auto& c : columns)
      if (AnsiSameText(c.name, actualField)) c.name = newName;
    indexColumns.emplace_back(i.name, EncodeColumns(columns));
  }
  WriteScope scope(*this);
  Exec("ALTER TABLE " + QuoteIdentifier(actualTable) + " RENAME COLUMN " + QuoteIdentifier(actualField) + " TO " +
       QuoteIdentifier(newName));
  if (table.described) {
    auto s = Prepare("UPDATE MSysColumns SET Name=? WHERE TableName=? AND Name=?");
    s->Bind(1, newName).Bind(2, actualTable).Bind(3, actualField).Step();
    for (const auto& [indexName, columns] : indexColumns) {
      auto u = Prepare("UPDATE MSysIndexes SET Columns=? WHERE TableName=? AND Name=?");
      u->Bind(1, columns).Bind(2, actualTable).Bind(3, indexName).Step();
    }
  }
  scope.Commit();
  catalogueLoaded_ = false;
}

void Connection::RenameIndex(const std::string& tableName, const std::string& index, const std::string& newName) {
  const TableDef& table = Table(tableName);
  const IndexDef* found = table.FindIndex(index);
  if (found == nullptr) Fail(errNoSuchIndex, index);
  if (newName.empty()) Fail(errInvalidArgument);
  const IndexDef* clash = table.FindIndex(newName);
  if (clash != nullptr && clash != found) Fail(errObjectExists, newName);
  WriteScope scope(*this);
  auto s = Prepare("UPDATE MSysIndexes SET Name=? WHERE TableName=? AND Name=?");
  s->Bind(1, newName).Bind(2, table.name).Bind(3, found->name).Step();
  scope.Commit();
  catalogueLoaded_ = false;
}

void Connection::RenameQueryDef(const std::string& name, const std::string& newName) {
  if (newName.empty()) Fail(errInvalidArgument);
  bool found = false;
  for (const auto& [existing, sql] : QueryDefs()) {
    if (AnsiSameText(existing, newName) && !AnsiSameText(existing, name)) Fail(errObjectExists, newName);
    if (AnsiSameText(existing, name)) found = true;
  }
  if (!found) Fail(errItemNotFound);
  WriteScope scope(*this);
  auto s = Prepare("UPDATE MSysQueries SET Name=? WHERE Name=?");
  s->Bind(1, newName).Bind(2, name).Step();
  scope.Commit();
}

std::vector<std::pair<std::string, std::string>> Connection::QueryDefs() {
  std::vector<std::pair<std::string, std::string>> out;
  if (FindTable("MSysQueries") == nullptr) return out;
  StatementUse s(Cached("SELECT Name, SQL FROM MSysQueries ORDER BY rowid"));
  while (s->Step()) out.emplace_back(s->ColumnText(0), s->ColumnText(1));
  return out;
}

void Connection::SaveQueryDef(const std::string& name, const std::string& sql) {
  WriteScope scope(*this);
  if (FindTable("MSysQueries") == nullptr)
    Exec(QueriesTable());
  auto s = Prepare("INSERT INTO MSysQueries (Name, SQL) VALUES (?, ?)");
  s->Bind(1, name).Bind(2, sql).Step();
  scope.Commit();
}

std::int64_t Connection::NextRowId(const TableDef& table) {
  CheckWritable();
  std::int64_t last = 0;
  bool tracked = false;
  {
    StatementUse s(Cached("SELECT LastId FROM MSysTables WHERE Name=?"));
    s->Bind(1, table.name);
    if (s->Step()) {
      last = s->ColumnInteger(0);
      tracked = true;
    }
  }
  {
    StatementUse s(Cached("SELECT max(rowid) FROM " + QuoteIdentifier(table.name)));
    if (s->Step()) last = std::max(last, s->ColumnInteger(0));
  }
  if (table.CounterField() >= 0) {
    StatementUse s(Cached("SELECT seq FROM sqlite_sequence WHERE name=?"));
    s->Bind(1, table.name);
    if (s->Step()) last = std::max(last, s->ColumnInteger(0));
  }
  std::int64_t next = last + 1;
  if (tracked) {
    StatementUse s(Cached("UPDATE MSysTables SET LastId=? WHERE Name=?"));
    s->Bind(1, next).Bind(2, table.name).Step();
  } else {
    // A table made elsewhere is numbered from here on like the others, so
    // that additions under way at once never get the same number.
    StatementUse s(Cached("INSERT INTO MSysTables (Name, LastId) VALUES (?, ?)"));
    s->Bind(1, table.name).Bind(2, next).Step();
  }
  if (table.CounterField() >= 0) {
    StatementUse u(Cached("UPDATE sqlite_sequence SET seq=? WHERE name=?"));
    u->Bind(1, next).Bind(2, table.name).Step();
    if (sqlite3_changes(db_) == 0) {
      StatementUse i(Cached("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"));
      i->Bind(1, table.name).Bind(2, next).Step();
    }
  }
  return next;
}

}  // namespace dao
