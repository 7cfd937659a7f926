// Joining the file's sharing mode (local or network; see sharing.h and the
// opening comment of locks.cpp) and refusing an open while the other is in use.

#include "platform/dao/store.h"

#include <sqlite3.h>

#include "platform/classlib/core/strutils.h"
#include "platform/dao/daoerrors.h"
#include "platform/dao/locks.h"

namespace dao {

namespace {

const char* const kLeftInLocalMode =
    "it was left in local mode, which a read-only user cannot end here.  Open it once for writing.";

}  // namespace

// A file runs in one sharing mode at a time (see sharing.h): a connection
// joins the mode of its folder, switching the file's journal when nobody
// else has it open, and is refused while users of the other mode have it.
void Connection::JoinSharingMode(bool immutable) {
  if (!readOnly_) {
    sharing_ = LockFile::For(path_, true);  // the companion file made, if missing
    // No lock can be had for writing: refused before anything is kept, and
    // SQLite removes the log files it made on the way out.
    if (!sharing_->Writable()) {
      CloseUnrecognised();
      FailLocking(*sharing_);
    }
  }
  if (int error = sharing_->JoinMode(network_)) {
    if (error != errCantLockFile) RefuseOpen(OtherModeInUse());
    CloseUnrecognised();  // no locks on this file system: nothing could be shared safely
    FailLocking(*sharing_);
  }
  inMode_ = true;
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
  WatchFileContents();
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

void Connection::RefuseOpen(const std::string& why) {
  CloseUnrecognised();
  ReleaseLocks();
  throw TDaoFailure(errFileInUse, "Couldn't use '" + path_ + "'; " + why);
}

void Connection::RefuseLeftInLocalMode() { RefuseOpen(kLeftInLocalMode); }

}  // namespace dao
