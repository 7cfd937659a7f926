// Whether the path still names the file a connection opened, and what is
// done with its log once it does not.

#include "platform/dao/store.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/dao/daoerrors.h"
#include "platform/dao/locks.h"

namespace dao {

// A reader that read the file as it stood, without its log (see readervfs),
// cannot follow a change: it says so rather than mix two states.
void Connection::RefuseChangedUnderReader() {
  throw TDaoFailure(errDiskOrNetwork, "The database file '" + path_ +
                                          "' was changed by another user since it was opened read-only, and it "
                                          "can be read here only as it stood then.  Open the database again to "
                                          "read it as it is now.");
}

// Marks the file at the path as held by this connection (LockFile::HoldFile),
// refusing while anyone still holds a file that stood here before: the log
// files beside it are that file's until it is closed.
void Connection::HoldFileAtPath() {
  if (path_[0] != '/') {
    // A later change of the working folder must not change what is looked at.
    if (char* cwd = ::getcwd(nullptr, 0)) {
      statPath_ = std::string(cwd) + "/" + path_;
      std::free(cwd);
    }
  }
  struct stat st {};
  if (::stat(StatPath(), &st) != 0) Fail(errFileNotFound, path_);
  const auto inode = static_cast<std::uint64_t>(st.st_ino);
  if (int error = sharing_->HoldFile(inode)) {
    if (error == errFileInUse) RefuseEarlierFileHeld(path_);
    FailLocking(*sharing_);
  }
  heldInode_ = inode;
}

void Connection::RefuseEarlierFileHeld(const std::string& path) {
  throw TDaoFailure(errFileInUse, "Couldn't use '" + path +
                                      "'; another user still has open the file that was there before it was "
                                      "replaced or removed, and the log files beside it are that file's until it is "
                                      "closed.  Try again when it is closed.");
}

// Gives up what the connection marked in the lock file, once SQLite has let
// go of the file and its log files.
void Connection::ReleaseLocks() {
  if (!sharing_) return;
  if (inMode_) sharing_->LeaveMode(network_);
  inMode_ = false;
  if (heldInode_ != 0) sharing_->ReleaseFile(heldInode_);
  heldInode_ = 0;
}

// The file SQLite opened must be the one held, still at the path.
void Connection::TakeFileIdentity() {
  struct stat st {};
  int moved = 0;
  if (::stat(StatPath(), &st) != 0 || static_cast<std::uint64_t>(st.st_ino) != heldInode_ ||
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
  // Its locks would no longer meet those of users who came since.
  if (!sharing_->StillAtPath()) FailLocking(*sharing_);
  if (ContentsWrittenOver()) RefuseWrittenOver();
}

// SQLite leaves the log of a file that is no longer at its path as it is,
// even when closing: the file held would lack the commits it holds, and a
// file put at the path would take them for its own. So they go into the file
// held, and the log is emptied; when refusing, without waiting for readers;
// when closing, waiting for them as for any lock (the last chance). Only
// outside a transaction, which would keep the log as it is.
void Connection::FoldLogIntoFileHeld(bool wait) {
  if (db_ == nullptr || readOnly_ || network_ || !sqlite3_get_autocommit(db_)) return;
  const int patience = busyTimeout_;
  if (!wait) busyTimeout_ = 0;
  sqlite3_wal_checkpoint_v2(db_, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
  busyTimeout_ = patience;
}

void Connection::RefuseMoved() {
  FoldLogIntoFileHeld(false);
  throw TDaoFailure(errDiskOrNetwork, "The database file '" + path_ +
                                          "' was moved, removed or replaced while it was open, so nothing more "
                                          "can be saved in it.  Open the database again.");
}

}  // namespace dao
