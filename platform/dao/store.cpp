#include "platform/dao/store.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

#include "platform/classlib/core/strutils.h"
#include "platform/dao/daoerrors.h"
#include "platform/dao/locks.h"
#include "platform/dao/readervfs.h"
#include "platform/dao/sharing.h"
#include "platform/dao/sqlfunctions.h"

namespace dao {

namespace {

int busyTimeoutMs = 5000;

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

std::string UpperKey(const std::string& name) { return AnsiUpperCaseFolded(name); }

bool HasContent(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

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
  // Made for writing only once the file is known to be ours (JoinSharingMode).
  sharing_ = LockFile::For(path, false);
  try {
    Open(access.folder);
  } catch (...) {
    CloseUnrecognised();
    ReleaseLocks();
    throw;
  }
}

void Connection::Open(bool folderWritable) {
  const std::string& path = path_;
  // Held before SQLite reads anything: the log files beside the file are
  // then this file's (see HoldFileAtPath).
  HoldFileAtPath();
  // Closing a connection folds its log into the file. An empty log adds
  // nothing (and SQLite then removes the log files it made); one with content
  // is folded only once the file is known to be ours.
  bool holdLog = HasContent(path + "-wal");
  bool immutable = false;
  int rc = readOnly_ ? OpenAndRecognise(ReaderUri(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, holdLog, ReaderVfs())
                     : OpenAndRecognise(path, SQLITE_OPEN_READWRITE, holdLog, WriterVfs());
  // A reader finds no log's files it may use: none exist (nobody writes the
  // file now), or, in a folder it may not write, none could be made.
  bool noLogFiles = (rc & 0xFF) == SQLITE_CANTOPEN || (!folderWritable && IsSideFileFailure(rc));
  if (rc != SQLITE_OK && readOnly_ && noLogFiles) {
    // A log with content holds commits the file lacks, which only its index
    // (or a writer rebuilding it) can bring in.
    if (HasContent(path + "-wal")) {
      CloseUnrecognised();
      Fail(errFolderReadOnly, path);
    }
    // In network mode only a file left in local mode makes a reader look for
    // a log: as below, a writer has to end that mode first.
    if (network_ && folderWritable) RefuseLeftInLocalMode();
    rc = OpenAndRecognise(ImmutableUri(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, holdLog, ReaderVfs());
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

// Opens `name` and reads its schema, writing nothing: SQLITE_OK when it holds
// our catalogue, SQLITE_NOTADB when it is some other SQLite file, else the
// failure.
int Connection::OpenAndRecognise(const std::string& name, int flags, bool holdLog, const char* vfs) {
  CloseUnrecognised();
  int rc = sqlite3_open_v2(name.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, vfs);
  if (rc != SQLITE_OK) return rc;
  // Open, and nothing read yet: a log or journal beside it must be its own.
  if ((flags & SQLITE_OPEN_URI) == 0 || name.find("immutable=1") == std::string::npos) CheckLogBelongsToFile();
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, holdLog ? 1 : 0, nullptr);
  // "Text" in double quotes is a name, never a string that SQLite guesses at.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  busyTimeout_ = busyTimeoutMs;
  sqlite3_busy_handler(db_, &Connection::WaitWhileBusy, this);
  InstallSqlFunctions(db_);
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
  // An open given up folds nothing into the file (as the last user SQLite
  // would): the log may hold pages of contents written over meanwhile. An
  // empty one SQLite removes with the files it made.
  if (HasContent(path_ + "-wal")) sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

Connection::~Connection() {
  cache_.clear();
  recent_.clear();
  if (db_ != nullptr) {
    if (depth_ > 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    if (!FileInPlace()) FoldLogIntoFileHeld(true);
    CloseKeepingState();
  }
  ReleaseLocks();
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
  // A write or read that failed because the file was replaced, moved or
  // removed under it (SQLite says "read-only" or "disk I/O error") says so.
  const int primary = rc & 0xFF;
  // Found written over during the call (a commit's own check, whose failure
  // SQLite reports as a plain error): said as such.
  if (overwritten_ && ContentsWrittenOver()) RefuseWrittenOver();
  if (fileInode_ != 0 && (primary == SQLITE_READONLY || primary == SQLITE_IOERR) && !FileInPlace()) RefuseMoved();
  // Pages that make no sense, read from contents written over: said as such.
  if ((primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_IOERR) && ContentsWrittenOver())
    RefuseWrittenOver();
  if (rc == SQLITE_IOERR_VNODE) RefuseChangedUnderReader();
  auto after = [&](const char* prefix) {
    auto p = message.find(prefix);
    return p == std::string::npos ? std::string() : message.substr(p + std::strlen(prefix));
  };
  // A write the disk had no room for, also where SQLite names it an I/O
  // error (growing the log's index, say).
  if (primary == SQLITE_IOERR && sqlite3_system_errno(db_) == ENOSPC) Fail(errDiskFull);
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

}  // namespace dao
