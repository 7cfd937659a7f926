#include "platform/dao/store.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

#include "platform/classlib/core/foldedorder.h"
#include "platform/classlib/core/strutils.h"
#include "platform/dao/daoerrors.h"
#include "platform/dao/locks.h"
#include "platform/dao/sharing.h"

namespace dao {

namespace {

int busyTimeoutMs = 5000;

const char* const kLeftInLocalMode =
    "it was left in local mode, which a read-only user cannot end here.  Open it once for writing.";

// Text order and equality for every text column: letters compare without
// regard to case across all of Unicode, in the order in which the engine
// compares texts (CompareFoldedText), bytes no character stands for
// included. Text columns are declared with the built-in NOCASE collation,
// which this connection replaces by this one; for ASCII text both agree
// exactly, so standard SQLite tools read the file, its tables and indexes as
// they are. Only text whose non-ASCII letters differ in case alone sorts
// differently there (such a tool's integrity check lists those index rows,
// and its REINDEX would reorder them): a choice made so that the file needs
// no collation the tools lack.
int CompareNoCase(void*, int n1, const void* p1, int n2, const void* p2) {
  return CompareFoldedText(std::string_view(static_cast<const char*>(p1), n1),
                           std::string_view(static_cast<const char*>(p2), n2));
}

// Byte order of texts read as zero-terminated strings (ZSTRING), and the same
// with the 26 ASCII letters folded (ZSTRING_ANYCASE): how a record's text
// field compares once copied out. A condition handed to SQL compares with
// these, so that a text holding a NUL byte needs no comparison of its own;
// neither is declared by any column, so the file needs nothing of them.
// One pass over the bytes: the first NUL ends a text, and being the lowest
// byte it sorts the text that ends there first.
template <bool kAnyCase>
int CompareZString(void*, int n1, const void* p1, int n2, const void* p2) {
  const auto* a = static_cast<const unsigned char*>(p1);
  const auto* b = static_cast<const unsigned char*>(p2);
  auto fold = [](unsigned c) { return kAnyCase && c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
  const int common = std::min(n1, n2);
  for (int i = 0; i < common; ++i) {
    const unsigned x = fold(a[i]), y = fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
  // One text ran out: the other is equal when it ends here too.
  if (n1 == n2) return 0;
  if (n1 > n2) return a[common] == 0 ? 0 : 1;
  return b[common] == 0 ? 0 : -1;
}

// upper() and lower() for every letter, as the class library's case routines
// map them: the built-in ones change ASCII letters only, so a condition that
// the library upper-cased ("ÉMILE") would never meet Upper(Name) of "Émile".
// Other values are changed as text, as the built-in ones change them.
template <std::string (*kMap)(std::string_view)>
void CaseFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  if (text == nullptr) {  // Null, or no memory for its text
    if (sqlite3_value_type(argv[0]) != SQLITE_NULL) sqlite3_result_error_nomem(ctx);
    return;
  }
  const std::string mapped = kMap(std::string_view(text, std::size_t(sqlite3_value_bytes(argv[0]))));
  sqlite3_result_text64(ctx, mapped.data(), mapped.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

std::u32string FoldedCodePoints(std::string_view s) {
  std::u32string out;
  size_t pos = 0;
  while (pos < s.size()) out += UnicodeFold(Utf8Decode(s, pos));
  return out;
}

// Access wildcards: * any run, ? one character, # one digit, [abc] [!a-z] one
// of a set. Case is ignored.
bool MatchFrom(const std::u32string& p, size_t pi, const std::u32string& s, size_t si) {
  while (pi < p.size()) {
    char32_t c = p[pi];
    if (c == U'*') {
      while (pi < p.size() && p[pi] == U'*') ++pi;
      if (pi == p.size()) return true;
      for (size_t k = si; k <= s.size(); ++k)
        if (MatchFrom(p, pi, s, k)) return true;
      return false;
    }
    if (si >= s.size()) return false;
    if (c == U'?') {
      ++pi;
    } else if (c == U'#') {
      if (s[si] < U'0' || s[si] > U'9') return false;
      ++pi;
    } else if (c == U'[') {
      size_t close = p.find(U']', pi + 1);
      if (close == std::u32string::npos) {  // a lone "[" stands for itself
        if (s[si] != c) return false;
        ++pi;
      } else {
        size_t k = pi + 1;
        bool negate = k < close && p[k] == U'!';
        if (negate) ++k;
        bool hit = false;
        for (; k < close; ++k) {
          if (k + 2 < close && p[k + 1] == U'-') {
            if (s[si] >= p[k] && s[si] <= p[k + 2]) hit = true;
            k += 2;
          } else if (p[k] == s[si]) {
            hit = true;
          }
        }
        if (hit == negate) return false;
        pi = close + 1;
      }
    } else {
      if (c != s[si]) return false;
      ++pi;
    }
    ++si;
  }
  return si == s.size();
}

void LikeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (argc < 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL ||
      sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  auto text = [](sqlite3_value* v) {
    const char* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return std::string_view(t ? t : "", static_cast<size_t>(sqlite3_value_bytes(v)));
  };
  std::u32string pattern = FoldedCodePoints(text(argv[0]));
  std::u32string value = FoldedCodePoints(text(argv[1]));
  sqlite3_result_int(ctx, MatchFrom(pattern, 0, value, 0) ? 1 : 0);
}

const char* kCatalogue =
    "CREATE TABLE MSysTables (Name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,"
    " LastId INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE MSysColumns (TableName TEXT NOT NULL COLLATE NOCASE,"
    " Name TEXT NOT NULL COLLATE NOCASE, Position INTEGER NOT NULL, Type INTEGER NOT NULL,"
    " Size INTEGER NOT NULL, Attributes INTEGER NOT NULL, Required INTEGER NOT NULL,"
    " AllowZeroLength INTEGER NOT NULL, DefaultValue TEXT, PRIMARY KEY (TableName, Name));"
    "CREATE TABLE MSysIndexes (TableName TEXT NOT NULL COLLATE NOCASE,"
    " Name TEXT NOT NULL COLLATE NOCASE, SqlName TEXT NOT NULL, IsPrimary INTEGER NOT NULL,"
    " IsUnique INTEGER NOT NULL, IgnoreNulls INTEGER NOT NULL, Required INTEGER NOT NULL,"
    " Columns TEXT NOT NULL, PRIMARY KEY (TableName, Name));"
    "CREATE TABLE MSysQueries (Name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, SQL TEXT NOT NULL);";

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

// ---- Cell -----------------------------------------------------------------------

double Cell::AsReal() const {
  switch (kind) {
    case Integer: return static_cast<double>(integer);
    case Real: return real;
    case Text: return std::atof(text.c_str());
    default: return 0;
  }
}

std::int64_t Cell::AsInteger() const {
  switch (kind) {
    case Integer: return integer;
    case Real: return static_cast<std::int64_t>(std::llround(real));
    case Text: return std::atoll(text.c_str());
    default: return 0;
  }
}

bool operator==(const Cell& a, const Cell& b) {
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case Cell::Null: return true;
    case Cell::Integer: return a.integer == b.integer;
    case Cell::Real: return a.real == b.real;
    default: return a.text == b.text;
  }
}

std::string QuoteIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string UpperKey(const std::string& name) { return AnsiUpperCase(name); }

// ---- Statement ------------------------------------------------------------------

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::Bind(int index, const Cell& v) {
  int rc = SQLITE_OK;
  switch (v.kind) {
    case Cell::Null: rc = sqlite3_bind_null(stmt_, index); break;
    case Cell::Integer: rc = sqlite3_bind_int64(stmt_, index, v.integer); break;
    case Cell::Real: rc = sqlite3_bind_double(stmt_, index, v.real); break;
    case Cell::Text:
      rc = sqlite3_bind_text(stmt_, index, v.text.data(), static_cast<int>(v.text.size()),
                             SQLITE_TRANSIENT);
      break;
    case Cell::Blob:
      rc = sqlite3_bind_blob(stmt_, index, v.text.data(), static_cast<int>(v.text.size()),
                             SQLITE_TRANSIENT);
      break;
  }
  if (rc != SQLITE_OK) owner_.Raise(rc);
  return *this;
}

Statement& Statement::Bind(int index, std::int64_t value) { return Bind(index, Cell::MakeInteger(value)); }
Statement& Statement::Bind(int index, const std::string& value) { return Bind(index, Cell::MakeText(value)); }

bool Statement::Step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3_reset(stmt_);
  owner_.Raise(rc);
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

int Statement::ColumnCount() const { return sqlite3_column_count(stmt_); }

Cell Statement::Column(int i) const {
  Cell c;
  ReadColumn(i, c);
  return c;
}

void Statement::ReadColumn(int i, Cell& c, std::int64_t inlineBytes) const {
  c.deferred = false;
  c.integer = 0;
  c.real = 0;
  // The column's value once, then its parts: each column call would look the
  // column up again. The connection is used by one thread only (it has no
  // mutex), which is what reading an unprotected value asks.
  sqlite3_value* v = sqlite3_column_value(stmt_, i);
  const int type = sqlite3_value_type(v);
  if (type == SQLITE_TEXT || type == SQLITE_BLOB) {
    // Measured first, once: a text is measured in UTF-8, the form it is
    // then read in, so the size holds for what is read.
    const std::int64_t size = sqlite3_value_bytes(v);
    if (size > inlineBytes) {
      c.kind = Cell::Blob;
      c.deferred = true;
      c.integer = size;
      c.text.clear();
      return;
    }
    const char* p = type == SQLITE_TEXT ? reinterpret_cast<const char*>(sqlite3_value_text(v))
                                        : static_cast<const char*>(sqlite3_value_blob(v));
    c.kind = type == SQLITE_TEXT ? Cell::Text : Cell::Blob;
    const size_t n = p ? static_cast<size_t>(size) : 0;
    // Sized, then copied into: assign's general path costs more than the
    // copy for the short texts of a row. Storage too small is given up
    // first, so that growing it copies nothing old.
    if (n > c.text.capacity()) c.text.clear();
    c.text.resize(n);
    if (n != 0) std::memcpy(c.text.data(), p, n);
    return;
  }
  c.text.clear();
  switch (type) {
    case SQLITE_INTEGER:
      c.kind = Cell::Integer;
      c.integer = sqlite3_value_int64(v);
      break;
    case SQLITE_FLOAT:
      c.kind = Cell::Real;
      c.real = sqlite3_value_double(v);
      break;
    default: c.kind = Cell::Null; break;
  }
}

std::int64_t Statement::ColumnInteger(int i) const { return sqlite3_column_int64(stmt_, i); }

std::string Statement::ColumnText(int i) const {
  const char* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
  return t ? std::string(t, static_cast<size_t>(sqlite3_column_bytes(stmt_, i))) : std::string();
}

static std::string OrEmpty(const char* s) { return s ? s : ""; }
std::string Statement::ColumnName(int i) const { return OrEmpty(sqlite3_column_name(stmt_, i)); }
std::string Statement::ColumnTable(int i) const { return OrEmpty(sqlite3_column_table_name(stmt_, i)); }
std::string Statement::ColumnOrigin(int i) const { return OrEmpty(sqlite3_column_origin_name(stmt_, i)); }
std::string Statement::ColumnDeclType(int i) const { return OrEmpty(sqlite3_column_decltype(stmt_, i)); }

// ---- Connection -----------------------------------------------------------------

void Connection::SetBusyTimeout(int ms) { busyTimeoutMs = ms; }
int Connection::BusyTimeout() { return busyTimeoutMs; }

namespace {

// What this process may do with a database file and the folder it lies in.
struct FileAccess {
  bool file = false;    // may write the file (a file without write bits is read-only, even for root)
  bool folder = false;  // may create files beside it, as SQLite's log needs
};

// Asked with the ids and powers the writes themselves will use (the effective
// ones), not the real ones a plain access() check takes.
bool MayWrite(const std::string& path) { return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0; }

FileAccess AccessOf(const std::string& path) {
  FileAccess a;
  struct stat st {};
  a.file = MayWrite(path) && ::stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) != 0;
  a.folder = MayWrite(FolderOf(path));
  return a;
}

bool HasContent(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

// The file as an SQLite URI with the given parameters. An absolute path gets
// an empty authority, so that one starting with "//" names no host.
std::string FileUri(const std::string& path, const char* parameters) {
  std::string uri = !path.empty() && path[0] == '/' ? "file://" : "file:";
  for (char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
      uri += hex;
    } else {
      uri += c;
    }
  }
  return uri + "?" + parameters;
}

// Read as it stands, without the shared index of its log.
std::string ImmutableUri(const std::string& path) { return FileUri(path, "immutable=1"); }

// A reader uses the log's shared index only where a writer made it: SQLite
// opens it read-only and never creates it.
std::string ReaderUri(const std::string& path) { return FileUri(path, "readonly_shm=1"); }

// The files SQLite makes beside a database take the database file's
// permission bits, and its owner only when their maker is the superuser. A
// reader of another account who made them would own them, and nobody who
// may write the database could write through them. So readers open files
// through this variant of the default file system, which opens the log and
// the journal only where they exist: a reader creates neither.
sqlite3_vfs* DefaultVfs() {
  static sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
  return base;
}

int OpenWithoutCreatingLogs(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
  if ((flags & (SQLITE_OPEN_WAL | SQLITE_OPEN_MAIN_JOURNAL)) != 0) flags &= ~SQLITE_OPEN_CREATE;
  return DefaultVfs()->xOpen(DefaultVfs(), name, file, flags, outFlags);
}

const char* ReaderVfs() {
  static const char* const name = [] {
    static sqlite3_vfs reader = *DefaultVfs();
    reader.zName = "vantrel-reader";
    reader.pNext = nullptr;
    reader.xOpen = OpenWithoutCreatingLogs;
    sqlite3_vfs_register(&reader, 0);
    return reader.zName;
  }();
  return name;
}

// Failures of a read-only connection that come from the log's shared index
// or side files it may not create, not from the file's contents.
bool IsSideFileFailure(int rc) {
  int primary = rc & 0xFF;
  return primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN || primary == SQLITE_PERM;
}

}  // namespace

Connection::Connection(const std::string& path, bool readOnly) : path_(path), readOnly_(readOnly) {
  if (path.empty() || ::access(path.c_str(), F_OK) != 0) Fail(errFileNotFound, path);
  FileAccess access = AccessOf(path);
  readOnly_ = readOnly || !access.file || !access.folder;
  network_ = InNetworkMode(path);
  // Closing a connection folds its log into the file. An empty log adds
  // nothing (and SQLite then removes the log files it made); one with content
  // is folded only once the file is known to be ours.
  bool holdLog = HasContent(path + "-wal");
  bool immutable = false;
  int rc = readOnly_ ? OpenAndRecognise(ReaderUri(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, holdLog, ReaderVfs())
                     : OpenAndRecognise(path, SQLITE_OPEN_READWRITE, holdLog);
  // A reader finds no log's files it may use: none exist (nobody writes the
  // file now), or, in a folder it may not write, none could be made.
  bool noLogFiles = (rc & 0xFF) == SQLITE_CANTOPEN || (!access.folder && IsSideFileFailure(rc));
  if (rc != SQLITE_OK && readOnly_ && noLogFiles) {
    // A log with content holds commits the file lacks, which only its index
    // (or a writer rebuilding it) can bring in.
    if (HasContent(path + "-wal")) {
      CloseUnrecognised();
      Fail(errFolderReadOnly, path);
    }
    // In network mode only a file left in local mode makes a reader look for
    // a log: as below, a writer has to end that mode first.
    if (network_ && access.folder) RefuseOpen(kLeftInLocalMode);
    rc = OpenAndRecognise(ImmutableUri(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, holdLog);
    immutable = true;
  }
  if (rc != SQLITE_OK) {
    int primary = rc & 0xFF;
    if (primary == SQLITE_BUSY) {
      CloseUnrecognised();
      RefuseBusy();
    }
    if (db_ != nullptr && primary != SQLITE_NOTADB && primary != SQLITE_CORRUPT && primary != SQLITE_CANTOPEN) {
      try {
        Raise(rc);
      } catch (...) {
        CloseUnrecognised();
        throw;
      }
    }
    CloseUnrecognised();
    Fail(errCannotOpen, path);
  }
  sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
  TakeFileIdentity();
  JoinSharingMode(immutable);
}

// The file's identity as the path names it now, which must be the file
// SQLite opened (it tells from the inode it holds).
void Connection::TakeFileIdentity() {
  if (path_[0] != '/') {
    // A later change of the working folder must not change what is looked at.
    if (char* cwd = ::getcwd(nullptr, 0)) {
      statPath_ = std::string(cwd) + "/" + path_;
      std::free(cwd);
    }
  }
  struct stat st {};
  int moved = 0;
  if (::stat(StatPath(), &st) != 0 ||
      (sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved != 0)) {
    CloseUnrecognised();
    RefuseMoved();
  }
  fileDevice_ = static_cast<std::uint64_t>(st.st_dev);
  fileInode_ = static_cast<std::uint64_t>(st.st_ino);
}

bool Connection::FileInPlace() const {
  struct stat st {};
  return ::stat(StatPath(), &st) == 0 && static_cast<std::uint64_t>(st.st_dev) == fileDevice_ &&
         static_cast<std::uint64_t>(st.st_ino) == fileInode_;
}

void Connection::CheckFileInPlace() {
  if (!FileInPlace()) RefuseMoved();
}

// SQLite leaves the log of a file that is no longer at its path as it is,
// even when closing: the file held would lack the commits it holds, and a
// file put at the path would take them for its own. So they go into the file
// held, and the log is emptied; without waiting for readers (closing tries
// again). Only outside a transaction, which would keep the log as it is.
void Connection::FoldLogIntoFileHeld() {
  if (db_ == nullptr || readOnly_ || network_ || !sqlite3_get_autocommit(db_)) return;
  const int patience = busyTimeout_;
  busyTimeout_ = 0;
  sqlite3_wal_checkpoint_v2(db_, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
  busyTimeout_ = patience;
}

void Connection::RefuseMoved() {
  FoldLogIntoFileHeld();
  throw TDaoFailure(errDiskOrNetwork, "The database file '" + path_ +
                                          "' was moved, removed or replaced while it was open, so nothing more "
                                          "can be saved in it.  Open the database again.");
}

// A file runs in one sharing mode at a time (see sharing.h): a connection
// joins the mode of its folder, switching the file's journal when nobody
// else has it open, and is refused while users of the other mode have it.
void Connection::JoinSharingMode(bool immutable) {
  auto sharing = LockFile::For(path_, !readOnly_);
  if (int error = sharing->JoinMode(network_)) {
    if (error != errCantLockFile) RefuseOpen(OtherModeInUse());
    CloseUnrecognised();  // no locks on this file system: nothing could be shared safely
    Fail(errCantLockFile);
  }
  sharing_ = sharing;
  if (immutable) return;  // read as it stands: nobody writes it
  std::string journal = QueryText("PRAGMA journal_mode");
  if (network_) {
    // A log left by local users: folded into the file and removed, which
    // SQLite does only for the file's one and only user.
    if (journal == "wal") {
      if (readOnly_) RefuseOpen(kLeftInLocalMode);
      if (QueryText("PRAGMA journal_mode=DELETE") != "delete") RefuseOpen(OtherModeInUse());
    }
    if (!readOnly_) sqlite3_exec(db_, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
  } else if (!readOnly_) {
    // Readers never block writers; a killed process leaves the log to be replayed.
    if (journal != "wal") QueryText("PRAGMA journal_mode=WAL");
    sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  }
}

std::string Connection::OtherModeInUse() const {
  return std::string("another user has it open in ") + (network_ ? "local" : "network") +
         " mode, and a file is shared in one mode at a time (" + (network_ ? "network" : "local") +
         " mode here).  Try again when it is closed.";
}

// The one-row text answer of a statement; empty when it fails (busy).
std::string Connection::QueryText(const char* sql) {
  sqlite3_stmt* s = nullptr;
  std::string answer;
  if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW) {
    const unsigned char* t = sqlite3_column_text(s, 0);
    answer = t != nullptr ? LowerCase(reinterpret_cast<const char*>(t)) : "";
  }
  sqlite3_finalize(s);
  return answer;
}

void Connection::RefuseBusy() {
  throw TDaoFailure(errFileInUse, "Couldn't use '" + path_ +
                                      "'; the file is busy: other users are writing it.  Try again in a moment.");
}

// SQLite's own wait backs off to steps of 100 ms. With a rollback journal a
// reader that sleeps that long keeps missing the short gaps between other
// users' commits, and is refused while they write; steps of a millisecond
// catch those gaps. The wait stays bounded by the busy timeout.
int Connection::WaitWhileBusy(void* connection, int count) {
  auto* c = static_cast<Connection*>(connection);
  const auto now = std::chrono::steady_clock::now();
  if (count == 0) c->busySince_ = now;
  if (now - c->busySince_ >= std::chrono::milliseconds(c->busyTimeout_)) return 0;
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return 1;
}

void Connection::RefuseOpen(const std::string& why) {
  CloseUnrecognised();
  if (sharing_) sharing_->LeaveMode(network_);
  sharing_.reset();
  throw TDaoFailure(errFileInUse, "Couldn't use '" + path_ + "'; " + why);
}

// Opens `name` and reads its schema, writing nothing: SQLITE_OK when it holds
// our catalogue, SQLITE_NOTADB when it is some other SQLite file, else the
// failure.
int Connection::OpenAndRecognise(const std::string& name, int flags, bool holdLog, const char* vfs) {
  CloseUnrecognised();
  int rc = sqlite3_open_v2(name.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, vfs);
  if (rc != SQLITE_OK) return rc;
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, holdLog ? 1 : 0, nullptr);
  // "Text" in double quotes is a name, never a string that SQLite guesses at.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  busyTimeout_ = busyTimeoutMs;
  sqlite3_busy_handler(db_, &Connection::WaitWhileBusy, this);
  sqlite3_create_collation(db_, "NOCASE", SQLITE_UTF8, nullptr, CompareNoCase);
  sqlite3_create_collation(db_, "ZSTRING", SQLITE_UTF8, nullptr, CompareZString<false>);
  sqlite3_create_collation(db_, "ZSTRING_ANYCASE", SQLITE_UTF8, nullptr, CompareZString<true>);
  sqlite3_create_function(db_, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                          LikeFunction, nullptr, nullptr);
  sqlite3_create_function(db_, "like", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                          LikeFunction, nullptr, nullptr);
  sqlite3_create_function(db_, "upper", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                          CaseFunction<AnsiUpperCase>, nullptr, nullptr);
  sqlite3_create_function(db_, "lower", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                          CaseFunction<AnsiLowerCase>, nullptr, nullptr);
  sqlite3_stmt* probe = nullptr;
  rc = sqlite3_prepare_v2(db_, "SELECT 1 FROM sqlite_master WHERE type='table' AND name='MSysColumns'", -1,
                          &probe, nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_step(probe);
    rc = rc == SQLITE_ROW ? SQLITE_OK : rc == SQLITE_DONE ? SQLITE_NOTADB : sqlite3_extended_errcode(db_);
  }
  sqlite3_finalize(probe);
  return rc;
}

void Connection::CloseUnrecognised() {
  if (db_ == nullptr) return;
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

Connection::~Connection() {
  cache_.clear();
  recent_.clear();
  if (db_ != nullptr) {
    if (depth_ > 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    if (!FileInPlace()) FoldLogIntoFileHeld();
    sqlite3_close_v2(db_);
  }
  if (sharing_) sharing_->LeaveMode(network_);
}

void Connection::CreateFile(const std::string& path) {
  if (path.empty()) Fail(errInvalidPath, path);
  if (::access(path.c_str(), F_OK) == 0) Fail(errDatabaseExists);
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc == SQLITE_OK) {
    std::string journal = InNetworkMode(path) ? "DELETE" : "WAL";
    std::string sql = "PRAGMA journal_mode=" + journal + "; BEGIN;" + kCatalogue + "COMMIT;";
    rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  }
  sqlite3_close(db);
  if (rc != SQLITE_OK) {
    ::unlink(path.c_str());
    Fail(errInvalidPath, path);
  }
}

Statement& Connection::Cached(const std::string& sql) {
  auto it = cache_.find(sql);
  if (it != cache_.end()) return *it->second;
  auto stmt = Prepare(sql);
  auto& slot = cache_[sql];
  slot = std::move(stmt);
  return *slot;
}

StatementUse Connection::CachedRecent(const std::string& sql) {
  auto it = recent_.find(sql);
  if (it == recent_.end()) {
    auto stmt = Prepare(sql);  // a text that fails drops nothing
    MakeRoomForRecent();
    it = recent_.emplace(sql, RecentStatement{std::move(stmt)}).first;
  }
  it->second.lastUse = ++recentUses_;
  return StatementUse(*it->second.statement);
}

// Drops the least recently used statements that nobody holds until one more
// fits. Held ones stay even beyond the limit (only a caller reading several
// at once holds more than one); the next new one drops them once released.
void Connection::MakeRoomForRecent() {
  while (recent_.size() >= kRecentStatements) {
    auto oldest = recent_.end();
    for (auto it = recent_.begin(); it != recent_.end(); ++it)
      if (!it->second.statement->InUse() && (oldest == recent_.end() || it->second.lastUse < oldest->second.lastUse))
        oldest = it;
    if (oldest == recent_.end()) return;
    recent_.erase(oldest);
  }
}

std::unique_ptr<Statement> Connection::Prepare(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    Raise(rc, sql);
  }
  // SQLite stops at a NUL or at the end of the first statement; whatever it
  // left unread would be silently dropped (a DELETE cut before its WHERE).
  std::size_t used = tail != nullptr ? static_cast<std::size_t>(tail - sql.c_str()) : sql.size();
  bool rest = sql.find_first_not_of(" \t\r\n;", used) != std::string::npos;
  if (stmt == nullptr || rest) {
    sqlite3_finalize(stmt);
    Fail(stmt == nullptr ? errSyntaxInExpression : errCharactersAfterEnd, sql);
  }
  return std::make_unique<Statement>(*this, stmt);
}

int Connection::Changes() const { return sqlite3_changes(db_); }

void Connection::Exec(const std::string& sql) {
  char* message = nullptr;
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
  sqlite3_free(message);
  if (rc != SQLITE_OK) Raise(rc, sql);
}

void Connection::Raise(int rc, const std::string& context) {
  std::string message = OrEmpty(sqlite3_errmsg(db_));
  auto after = [&](const char* prefix) {
    auto p = message.find(prefix);
    return p == std::string::npos ? std::string() : message.substr(p + std::strlen(prefix));
  };
  switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: Fail(errLocked);
    case SQLITE_READONLY: Fail(errReadOnly);
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT: Fail(errCannotOpen, path_);
    case SQLITE_CANTOPEN: Fail(errFileNotFound, path_);
    case SQLITE_FULL: Fail(errDiskFull);  // a write found the disk full
    case SQLITE_CONSTRAINT:
      if (rc == SQLITE_CONSTRAINT_NOTNULL) Fail(errRequiredIsNull, after("failed: "));
      if (rc == SQLITE_CONSTRAINT_CHECK) Fail(errFieldTooSmall);
      Fail(errDuplicateKey);
    default: break;
  }
  if (message.rfind("no such table: ", 0) == 0) Fail(errNoSuchTable, after("no such table: "));
  if (message.rfind("no such column: ", 0) == 0) Fail(errTooFewParameters, "1");
  if (message.rfind("no such function: ", 0) == 0)
    Fail(errUndefinedFunction, after("no such function: "));
  if (message.find("syntax error") != std::string::npos || message.rfind("near ", 0) == 0)
    Fail(errSyntaxInExpression, context);
  throw TDaoFailure(errReservedError, ErrorDescription(errReservedError, message));
}

// ---- transactions ---------------------------------------------------------------

void Connection::Begin() {
  ++localChanges_;  // others may have written since the last look
  if (depth_ == 0) {
    CheckFileInPlace();
    Exec(readOnly_ ? "BEGIN" : "BEGIN IMMEDIATE");
  } else {
    Exec("SAVEPOINT vt" + std::to_string(depth_));
  }
  ++depth_;
}

void Connection::Commit() {
  if (depth_ == 0) Fail(errNoTransaction);
  if (depth_ == 1) {
    // A transaction may last as long as its user takes: the file is looked
    // at again before anything is committed to it.
    if (!FileInPlace()) {
      Rollback();
      RefuseMoved();
    }
    Exec("COMMIT");
  } else {
    Exec("RELEASE vt" + std::to_string(depth_ - 1));
  }
  --depth_;
}

void Connection::Rollback() {
  if (depth_ == 0) Fail(errNoTransaction);
  if (depth_ == 1) {
    Exec("ROLLBACK");
  } else {
    std::string name = "vt" + std::to_string(depth_ - 1);
    Exec("ROLLBACK TO " + name + "; RELEASE " + name);
  }
  --depth_;
  ++localChanges_;
  catalogueLoaded_ = false;
}

// A statement without parameters or rows, prepared once: every write runs
// two of them around its own, which parsed afresh cost as much as the write.
void Connection::RunCached(const std::string& sql) {
  StatementUse s(Cached(sql));
  s->Step();
}

Connection::WriteScope::WriteScope(Connection& c) : c_(c) {
  c_.CheckWritable();
  own_ = sqlite3_get_autocommit(c_.db_) != 0;
  if (own_) c_.CheckFileInPlace();  // within a transaction its begin looked
  c_.RunCached(own_ ? "BEGIN IMMEDIATE" : "SAVEPOINT ws");
}

void Connection::WriteScope::Commit() {
  c_.RunCached(own_ ? "COMMIT" : "RELEASE ws");
  done_ = true;
  c_.NoteChange();
}

Connection::WriteScope::~WriteScope() {
  if (done_) return;
  sqlite3_exec(c_.db_, own_ ? "ROLLBACK" : "ROLLBACK TO ws; RELEASE ws", nullptr, nullptr, nullptr);
  c_.catalogueLoaded_ = false;
}

void Connection::CheckWritable() {
  if (readOnly_) Fail(errReadOnly);
}

std::uint64_t Connection::ChangeStamp() {
  // Inside a transaction nobody else can have written.
  if (sqlite3_get_autocommit(db_)) LookForCommits();
  return SeenStamp();
}

// The log's shared header tells whether anyone committed, or SQLite itself
// where the header cannot be watched.
void Connection::LookForCommits() {
  if (!logHeaderTried_) WatchLogHeader();
  if (logHeader_ != nullptr) {
    if (LogHeaderChanged()) ++lastDataVersion_;
  } else {
    StatementUse s(Cached("PRAGMA data_version"));
    if (s->Step()) lastDataVersion_ = static_cast<std::uint64_t>(s->ColumnInteger(0));
  }
}

// Taken right after a write transaction began, the look is exact: SQLite
// has just brought its view up to the last commit, and nobody else can
// commit until this transaction ends.
Connection::WriteMark Connection::Mark() {
  LookForCommits();
  return {lastDataVersion_, LocalWrites()};
}

std::uint64_t Connection::OthersVersion() {
  StatementUse s(Cached("PRAGMA data_version"));
  if (!s->Step()) Fail(errInvalidOperation);
  return static_cast<std::uint64_t>(s->ColumnInteger(0));
}

std::uint64_t Connection::LocalWrites() const {
  return static_cast<std::uint64_t>(sqlite3_total_changes64(db_)) + localChanges_;
}

// Asking SQLite for its data version starts a read transaction, whose file
// locks cost more than a whole cursor move. In write-ahead-log mode every
// commit of every connection rewrites the header at the start of the log's
// shared index (the "-shm" file that all connections map): its two 48-byte
// copies hold the frame count, checksums and salts of the last commit. So a
// header unchanged since the last look means nobody committed, and any
// difference (a commit, a restarted log, a half-written header) counts as a
// change. The mapping is SQLite's own, reached through its file's shared
// memory method; it stays valid while this connection is open in that mode.
void Connection::WatchLogHeader() {
  logHeaderTried_ = true;
  {
    StatementUse mode(Cached("PRAGMA journal_mode"));
    if (!mode->Step() || LowerCase(mode->ColumnText(0)) != "wal") return;
  }
  {
    // A read transaction makes SQLite map the shared index.
    StatementUse s(Cached("PRAGMA data_version"));
    s->Step();
  }
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || file == nullptr ||
      file->pMethods == nullptr || file->pMethods->iVersion < 2 || file->pMethods->xShmMap == nullptr)
    return;
  volatile void* region = nullptr;
  if (file->pMethods->xShmMap(file, 0, 32768, 0, &region) != SQLITE_OK || region == nullptr) return;
  logHeader_ = static_cast<const volatile unsigned char*>(region);
  LogHeaderChanged();  // takes the present header as the one seen
}

bool Connection::LogHeaderChanged() {
  // Read in words (the mapping is page-aligned), each once: every move asks,
  // and a read torn by a writer only shows as a change.
  static_assert(kLogHeaderBytes % sizeof(std::uint64_t) == 0);
  constexpr std::size_t kWords = kLogHeaderBytes / sizeof(std::uint64_t);
  const auto* header = reinterpret_cast<const volatile std::uint64_t*>(logHeader_);
  std::uint64_t now[kWords];
  bool changed = false;
  for (std::size_t i = 0; i < kWords; ++i) {
    now[i] = header[i];
    changed |= now[i] != seenLogHeader_[i];
  }
  if (changed) std::memcpy(seenLogHeader_, now, sizeof now);
  return changed;
}

// ---- catalogue ------------------------------------------------------------------

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
    StatementUse s(Cached("SELECT name FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE"));
    s->Bind(1, name);
    if (!s->Step()) return nullptr;
    actual = s->ColumnText(0);
  }
  TableDef t = DescribeFromSqlite(actual);
  t.name = actual;
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
    if (f.type == dbText || f.type == dbMemo) sql += " COLLATE NOCASE";
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
      StatementUse s(Cached("SELECT 1 FROM sqlite_master WHERE name=? COLLATE NOCASE"));
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
    Exec("CREATE TABLE MSysQueries (Name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, SQL TEXT NOT NULL)");
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
