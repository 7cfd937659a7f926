// Noticing a database file written over in place by another program (a
// backup copied over it: the same file, new contents) before this connection
// reads or writes it again.
//
// In local mode the file itself changes only when a log is folded into it,
// and every fold by any connection is bracketed here: the folder marks the
// kept state (LockFile::FileState) as being changed, folds, and keeps the
// file's new size and modification time. So a file whose size or time
// differs from the kept state, while no writer is at it, was written by
// someone else (the modification time, not the change time: a link or new
// permissions change the latter and leave the contents alone). Its log then
// holds pages of the contents that were there before: nothing of it may go
// into the new contents. The connections that had it open are refused as for
// a replaced file and never fold their log; the next to open it, once nobody
// holds it, empties the log and keeps the file as it found it.

#include <sqlite3.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include <chrono>
#include <thread>

#include "platform/dao/daoerrors.h"
#include "platform/dao/locks.h"
#include "platform/dao/readervfs.h"
#include "platform/dao/store.h"

namespace dao {

namespace {

// SQLite's own fold after a commit, at its own threshold: once the log holds
// this many pages.
constexpr int kFoldAfterPages = 1000;

// A writer's database file: while a fold is under way, every write first
// looks at the file, so that contents written over during the fold take no
// more of the log's pages (one look before and after each page written).
struct GuardedFile {
  sqlite3_file base;
  const char* path;         // SQLite keeps the name until the file is closed
  bool* spoiled = nullptr;  // while folding: set when the file changed under the fold
  LockFile::FileState* expected = nullptr;  // the file as the fold's last write left it
  // The start of the log's shared index while SQLite has it mapped.
  const volatile unsigned char* index = nullptr;
  sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

LockFile::FileState StateAt(const char* path) {
  struct stat st {};
  if (::stat(path, &st) != 0) return {};
  return {static_cast<std::uint64_t>(st.st_ino), static_cast<std::int64_t>(st.st_size),
          static_cast<std::int64_t>(st.st_mtim.tv_sec), static_cast<std::int64_t>(st.st_mtim.tv_nsec), 0};
}

// Runs a change of the file, refusing it once the file is not as the fold
// left it.
template <class Change>
int Guarded(sqlite3_file* file, Change change) {
  auto* f = reinterpret_cast<GuardedFile*>(file);
  if (f->spoiled == nullptr) return change(f->real());
  if (!StateAt(f->path).SameFile(*f->expected)) {
    *f->spoiled = true;
    return SQLITE_IOERR_VNODE;
  }
  const int rc = change(f->real());
  *f->expected = StateAt(f->path);
  return rc;
}

int GuardedWrite(sqlite3_file* file, const void* p, int n, sqlite3_int64 o) {
  return Guarded(file, [&](sqlite3_file* real) { return real->pMethods->xWrite(real, p, n, o); });
}

int GuardedTruncate(sqlite3_file* file, sqlite3_int64 size) {
  return Guarded(file, [&](sqlite3_file* real) { return real->pMethods->xTruncate(real, size); });
}

#define FORWARD(name, params, args) \
  [] params { return reinterpret_cast<GuardedFile*>(file)->real()->pMethods->name args; }

const sqlite3_io_methods* GuardedMethods(const sqlite3_io_methods* real) {
  static sqlite3_io_methods methods = [real] {
    sqlite3_io_methods m = *real;
    m.xClose = FORWARD(xClose, (sqlite3_file * file), (reinterpret_cast<GuardedFile*>(file)->real()));
    m.xRead = FORWARD(xRead, (sqlite3_file * file, void* p, int n, sqlite3_int64 o),
                      (reinterpret_cast<GuardedFile*>(file)->real(), p, n, o));
    m.xWrite = GuardedWrite;
    m.xTruncate = GuardedTruncate;
#define REAL reinterpret_cast<GuardedFile*>(file)->real()
    m.xSync = FORWARD(xSync, (sqlite3_file * file, int flags), (REAL, flags));
    m.xFileSize = FORWARD(xFileSize, (sqlite3_file * file, sqlite3_int64 * size), (REAL, size));
    m.xLock = FORWARD(xLock, (sqlite3_file * file, int lock), (REAL, lock));
    m.xUnlock = FORWARD(xUnlock, (sqlite3_file * file, int lock), (REAL, lock));
    m.xCheckReservedLock = FORWARD(xCheckReservedLock, (sqlite3_file * file, int* out), (REAL, out));
    m.xFileControl = FORWARD(xFileControl, (sqlite3_file * file, int op, void* arg), (REAL, op, arg));
    m.xSectorSize = FORWARD(xSectorSize, (sqlite3_file * file), (REAL));
    m.xDeviceCharacteristics = FORWARD(xDeviceCharacteristics, (sqlite3_file * file), (REAL));
    m.xShmMap = [](sqlite3_file* file, int region, int size, int extend, void volatile** out) {
      const int rc = REAL->pMethods->xShmMap(REAL, region, size, extend, out);
      if (rc == SQLITE_OK && region == 0 && *out != nullptr)
        reinterpret_cast<GuardedFile*>(file)->index = static_cast<const volatile unsigned char*>(*out);
      return rc;
    };
    m.xShmLock = FORWARD(xShmLock, (sqlite3_file * file, int offset, int n, int flags), (REAL, offset, n, flags));
    m.xShmBarrier = [](sqlite3_file* file) { REAL->pMethods->xShmBarrier(REAL); };
    m.xShmUnmap = [](sqlite3_file* file, int deleteFlag) {
      reinterpret_cast<GuardedFile*>(file)->index = nullptr;
      return REAL->pMethods->xShmUnmap(REAL, deleteFlag);
    };
    m.xFetch = FORWARD(xFetch, (sqlite3_file * file, sqlite3_int64 o, int n, void** p), (REAL, o, n, p));
    m.xUnfetch = FORWARD(xUnfetch, (sqlite3_file * file, sqlite3_int64 o, void* p), (REAL, o, p));
#undef REAL
    return m;
  }();
  return &methods;
}

#undef FORWARD

int OpenGuarded(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
  if ((flags & SQLITE_OPEN_MAIN_DB) == 0) return DefaultVfs()->xOpen(DefaultVfs(), name, file, flags, outFlags);
  auto* f = new (file) GuardedFile{};
  f->path = name;
  const int rc = DefaultVfs()->xOpen(DefaultVfs(), name, f->real(), flags, outFlags);
  if (rc == SQLITE_OK) f->base.pMethods = GuardedMethods(f->real()->pMethods);
  return rc;
}

GuardedFile* GuardedFileOf(sqlite3* db) {
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || file == nullptr ||
      file->pMethods == nullptr || file->pMethods->xWrite != GuardedWrite)
    return nullptr;
  return reinterpret_cast<GuardedFile*>(file);
}

// Guards the folds of the connection's file from now until Unguard (or the
// file's close), setting `spoiled` when the file changes under one and
// keeping in `expected` the file as the last write left it: at first, the
// state it was found in against the kept one.
void Guard(sqlite3* db, const LockFile::FileState& found, bool& spoiled, LockFile::FileState& expected) {
  expected = found;
  if (GuardedFile* file = GuardedFileOf(db)) {
    file->expected = &expected;
    file->spoiled = &spoiled;
  }
}

void Unguard(sqlite3* db) {
  if (GuardedFile* file = GuardedFileOf(db)) file->spoiled = nullptr;
}

}  // namespace

const char* Connection::WriterVfs() {
  static const char* const name =
      RegisterVfsVariant("vantrel-writer", static_cast<int>(sizeof(GuardedFile)), OpenGuarded);
  return name;
}

// The file, and the log's generation and folded part from its shared index
// (the salt of the index's header, and the count of frames folded in).
LockFile::FileState Connection::StateOfFile() const {
  LockFile::FileState state = StateAt(StatPath());
  const GuardedFile* file = db_ != nullptr ? GuardedFileOf(db_) : nullptr;
  if (file != nullptr && file->index != nullptr) {
    state.logSalt = *reinterpret_cast<const volatile std::uint64_t*>(file->index + 32);
    state.folded = *reinterpret_cast<const volatile std::uint32_t*>(file->index + 96);
  }
  return state;
}

namespace {

// Another program that uses SQLite folded the log into the file since the
// state was kept: more of this generation of the log was folded in, or a
// later generation has been folded into at all. A copy moves neither.
bool FoldedSince(const LockFile::FileState& kept, const LockFile::FileState& now) {
  if (now.logSalt == 0) return false;  // the index is not watched
  return now.logSalt == kept.logSalt ? now.folded > kept.folded : now.folded > 0;
}

// The kept state is of this file, no writer was at it when it was kept (or
// one that died is not taken for the file's own), and the file is otherwise,
// though nobody folded the log into it.
bool WrittenOverSince(const LockFile::FileState& kept, const LockFile::FileState& now) {
  return kept.inode == now.inode && kept.writer == 0 && !kept.SameFile(now) && !FoldedSince(kept, now);
}


// Whether the log beside the file holds pages that nobody uses: it has
// content, and no program that uses SQLite has its shared index open. Each
// such program holds a read lock on the index's byte 128 (the "dead man
// switch" of the log's file format) while it has the log open; a log in use
// there is that program's own, written for the file as it stands now.
bool LogLeftUnused(const std::string& path) {
  if (!HasContent(path + "-wal")) return false;
  const int fd = ::open((path + "-shm").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return true;
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = 128;
  probe.l_len = 1;
  const bool inUse = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
  ::close(fd);
  return !inUse;
}

}  // namespace

// Before SQLite reads anything: a log left beside contents that were written
// over since (by nobody who holds the file now) is emptied. Without such a log
// nothing of the contents before is left: the file as it is now is the one
// watched (another program that uses SQLite may have changed it while nobody
// held it).
void Connection::DropLogOfOverwrittenContents() {
  // A reader only compares: it may lack the right to write the lock file.
  const bool exclusive = !readOnly_;
  if (network_ || !sharing_->LockState(exclusive)) return;
  LockFile::FileState kept;
  const LockFile::FileState now = StateOfFile();
  if (sharing_->ReadState(kept) && WrittenOverSince(kept, now)) {
    const bool heldByOthers = sharing_->OthersHoldFile(now.inode);
    if (!heldByOthers && !LogLeftUnused(path_)) {
      if (readOnly_) {
        keptOutdated_ = true;
        outdatedKept_ = kept;
        foundState_ = now;
      } else {
        sharing_->WriteState(now);
      }
    } else if (readOnly_ || heldByOthers) {
      sharing_->UnlockState(exclusive);
      throw TDaoFailure(errFileInUse, "Couldn't use '" + path_ +
                                          "'; it was written over by another program while it was open, and the "
                                          "log beside it holds what was there before.  Try again when every user "
                                          "has closed it, or open it once for writing.");
    } else {
      (void)!::truncate((path_ + "-wal").c_str(), 0);
      sharing_->WriteState(now);
    }
  }
  sharing_->UnlockState(exclusive);
}

// After joining local mode: the file as it is now is the one watched.
void Connection::WatchFileContents(bool restate) {
  watchContent_ = true;
  if (readOnly_) return;
  sqlite3_wal_hook(db_, &Connection::AfterCommit, this);
  if (!sharing_->LockState(true)) return;
  LockFile::FileState kept;
  const LockFile::FileState now = StateOfFile();
  // Kept anew also when a writer died changing it: nobody else is at it now.
  if (restate || !sharing_->ReadState(kept) || kept.inode != now.inode || kept.writer != 0) sharing_->WriteState(now);
  sharing_->UnlockState(true);
}

// Network mode writes the file with every commit and keeps no state: the
// state kept by local users is dropped, for the next of them to take anew.
// So is the state of a file folded while away from the path (its new state
// cannot be looked up by the path), should it come back.
void Connection::ForgetFileState(bool onlyOfHeldFile) {
  if (readOnly_ || !sharing_->LockState(true)) return;
  LockFile::FileState kept;
  if (!onlyOfHeldFile || (sharing_->ReadState(kept) && kept.inode == fileInode_)) sharing_->WriteState({});
  sharing_->UnlockState(true);
}

void Connection::UseAsScratch() {
  Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-2048");
  watchContent_ = false;
  sqlite3_wal_hook(db_, nullptr, nullptr);
}

bool Connection::ContentsWrittenOver() {
  if (!watchContent_ || overwritten_) return overwritten_;
  if (!sharing_->LockState(false)) return false;  // a writer is at it, and looks itself
  LockFile::FileState kept;
  const LockFile::FileState now = StateOfFile();
  bool haveKept = sharing_->ReadState(kept) && kept.inode == fileInode_;
  if (keptOutdated_) {
    // Until a writer keeps a state anew, the file as this reader found it.
    keptOutdated_ = haveKept && kept.SameFile(outdatedKept_) && kept.writer == outdatedKept_.writer;
    if (keptOutdated_) kept = foundState_;
  }
  overwritten_ = haveKept && WrittenOverSince(kept, now);
  sharing_->UnlockState(false);
  // Folded in by another program: kept anew, so that a copy made later is
  // told from it again.
  if (haveKept && !overwritten_ && FoldedSince(kept, now) && !kept.SameFile(now) && !readOnly_ &&
      sharing_->LockState(true)) {
    sharing_->WriteState(StateOfFile());
    sharing_->UnlockState(true);
  }
  return overwritten_;
}

void Connection::RefuseWrittenOver() {
  throw TDaoFailure(errDiskOrNetwork, "The database file '" + path_ +
                                          "' was written over by another program while it was open, so nothing "
                                          "more can be saved in it.  Open the database again.");
}

// Folds the log into the file, keeping the file's state; never into contents
// written over meanwhile. Not while another writer is at it (it folds).
void Connection::FoldKeepingState(int mode) {
  if (overwritten_ || !sharing_->LockState(true)) return;
  LockFile::FileState kept;
  LockFile::FileState now = StateOfFile();
  if (sharing_->ReadState(kept) && WrittenOverSince(kept, now)) {
    overwritten_ = true;
  } else {
    const LockFile::FileState before = now;
    now.writer = static_cast<std::uint64_t>(::getpid());
    sharing_->WriteState(now);
    LockFile::FileState folded;
    Guard(db_, before, overwritten_, folded);
    sqlite3_wal_checkpoint_v2(db_, "main", mode, nullptr, nullptr);
    Unguard(db_);
    KeepFoldedState(before, folded);
  }
  sharing_->UnlockState(true);
}

// After a fold: the file as its last write left it is the state kept, unless
// it was written over under the fold or since its last write (while it was
// put on disk). Then the state as before the fold, which the file no longer
// matches, tells every user so.
void Connection::KeepFoldedState(const LockFile::FileState& before, const LockFile::FileState& folded) {
  LockFile::FileState now = StateOfFile();
  if (!now.SameFile(folded)) overwritten_ = true;
  if (overwritten_) {
    // Marked as folded to the end, so that what this fold moved in the log's
    // index is not taken for a fold of another program.
    now = before;
    now.folded = UINT64_MAX;
  }
  sharing_->WriteState(now);
}

// Replaces SQLite's own fold after a commit, which would change the file
// without keeping its state.
int Connection::AfterCommit(void* connection, sqlite3*, const char*, int pages) {
  if (pages >= kFoldAfterPages) static_cast<Connection*>(connection)->FoldKeepingState(SQLITE_CHECKPOINT_PASSIVE);
  return SQLITE_OK;
}

// The last connection's close folds the log into the file: kept likewise, and
// never into contents written over (the log then stays, for the next opener
// to empty).
void Connection::CloseKeepingState() {
  // A file no longer at the path is none of the kept state's: its log is
  // folded in as SQLite folds it (nobody else can use that log meanwhile,
  // see HoldFileAtPath), or it would be taken for the next file's.
  if (!watchContent_ || readOnly_ || !FileInPlace()) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
    return;
  }
  // Others only look for a moment: a short wait finds the state free.
  bool locked = !overwritten_ && sharing_->LockState(true);
  for (int tries = 0; !locked && !overwritten_ && tries < 50; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    locked = sharing_->LockState(true);
  }
  LockFile::FileState kept;
  LockFile::FileState now = StateOfFile();
  if (locked && sharing_->ReadState(kept) && WrittenOverSince(kept, now)) overwritten_ = true;
  const bool fold = locked && !overwritten_;
  const LockFile::FileState before = now;
  LockFile::FileState folded;
  if (fold) {
    now.writer = static_cast<std::uint64_t>(::getpid());
    sharing_->WriteState(now);
    Guard(db_, before, overwritten_, folded);  // goes with the file at the close
  } else {
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  }
  sqlite3_close_v2(db_);
  db_ = nullptr;
  if (fold) KeepFoldedState(before, folded);
  if (locked) sharing_->UnlockState(true);
}

}  // namespace dao
