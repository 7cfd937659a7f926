// Telling whether anyone committed since the last look, cheaply enough for
// every move of a cursor.

#include "platform/dao/store.h"

#include <sqlite3.h>

#include <cstring>

#include "platform/classlib/core/strutils.h"
#include "platform/dao/daoerrors.h"

namespace dao {

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

}  // namespace dao
