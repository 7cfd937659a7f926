// Whether the path still names the file a connection opened, and what is
// done with its log once it does not.

#include "platform/dao/store.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/dao/daoerrors.h"

namespace dao {

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

}  // namespace dao
