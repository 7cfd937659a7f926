// How users of one database file share it
// =========================================
//
// Two layers of locks guard a file: SQLite's own, which keep each write
// whole, and ours, on the companion file "<database>-lock" (locks.h), which
// say who has the file, a table or a record open. Ours are POSIX byte-range
// locks, so the system drops them when a process ends however it ends, and a
// network file system's lock manager carries them between machines. Within
// one process a table of counts (held_) answers first: POSIX locks never
// conflict with their own process's.
//
// Sharing mode (byte 2^30 local, 2^30 + 1 network; sharing.h, store.cpp)
//   A connection joins the mode of the file's folder: local disk -> write-ahead
//   log (readers never wait for writers; the log's shared index is memory
//   every process maps), network file system -> rollback journal and these
//   locks only (machines share no memory).
//   joining: read-lock my mode's byte, THEN look for the other mode's byte
//   (here or in another process). Marking before looking means that of two
//   users joining in different modes at once at least one sees the other.
//   switch-over: the first user in network mode folds a log left by local
//   users into the file (SQLite does that only for a file's one user); the
//   first local writer turns the log on. Held until the connection closes.
//   refusals: the other mode's byte held -> 3045 "Couldn't use '<file>';
//   another user has it open in <mode> mode ..." (retry when it is closed);
//   a read-only user finding a local log -> 3045 (open it once for writing);
//   no lock could be taken at all -> 3050 (nothing could be shared safely).
//
// Files held (from 2^56: one byte per inode number; store.cpp)
//   every connection read-locks the byte of the file it opened, from before
//   its first read until after it closed, and only then looks for the bytes
//   of other files. The log files beside a database are named after its
//   path, so a connection still holding a file that was replaced at the path
//   would share them with users of the new one: its commits would go into the
//   new file, theirs into the old one. Marking before looking means that of
//   two connections opening different files at once at least one sees the
//   other.
//   refusal: another file's byte held, here or elsewhere -> 3045 "another
//   user still has open the file that was here" (retry when it is closed);
//   the database maker makes no file while any byte is held.
//
// File state (byte 2^30 + 2, and the companion file's first 48 bytes)
//   local mode: a writer write-locks the byte while it changes the database
//   file (folding the log in) and then keeps the file's new size and change
//   time; a connection read-locks it to compare (contentwatch.cpp). Neither
//   waits: a busy byte means a writer is at it, and that writer compares.
//
// Open database (byte 0; TDatabaseCore)
//   shared open: read lock; exclusive open: write lock. Held until the
//   database object goes.
//   refusals: exclusive open while anyone has it -> 3045 "file in use";
//   shared open while someone has it exclusively -> 3356; an open for writing
//   without a writable companion file, or a file system without locks -> 3050.
//
// Tables (bytes 1 .. 2^20, one per table name's hash; recordsets)
//   every table recordset read-locks its table's byte; one that denies others
//   (dbDenyRead/dbDenyWrite) write-locks it. Held while the recordset is open.
//   refusals: a denying open while others use the table -> 3262 "table
//   locked"; any open while someone denies -> 3008 "table in use".
//
// Records (from 2^40: table hash * 2^32 + row number)
//   write-locked by one recordset (the owner) from Edit until its Update,
//   Cancel or close; a Delete tries the lock and drops it at once. The same
//   owner may take it again.
//   refusal: held by another owner, here or elsewhere -> 3260 "currently
//   locked by user 'Admin'": the user waits and tries again.
//
// Who frees what: a LockFile is shared by every connection of the process to
// the file and closes its descriptors when the last goes; descriptors are
// never closed earlier, since closing any descriptor of a file drops all of
// the process's POSIX locks on it. A forked child starts with an empty table.

#include "platform/dao/locks.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <mutex>

#include "platform/classlib/core/strutils.h"
#include "platform/dao/daoerrors.h"
#include "platform/dao/sharing.h"

namespace dao {

namespace {

std::mutex registryMutex;
std::map<std::string, std::weak_ptr<LockFile>>& Registry() {
  static auto* r = new std::map<std::string, std::weak_ptr<LockFile>>;
  return *r;
}

// A forked child holds none of its parent's locks: it starts afresh.
void ForgetAfterFork() { Registry().clear(); }
const bool atForkInstalled = [] {
  pthread_atfork(nullptr, nullptr, ForgetAfterFork);
  return true;
}();

// Spellings of a table's name that the catalogue takes for one name (it
// finds names ignoring case) lock the same table.
std::uint32_t NameHash(const std::string& name) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : AnsiUpperCaseFolded(name)) h = (h ^ c) * 16777619u;
  return h;
}

// The path every connection of this process to the file names it by: links
// resolved, and for a file not there (removed, or about to be made) its
// folder's, so that a connection still holding a removed file and the maker
// of a new one share one object (a second descriptor of the lock file, once
// closed, would drop every lock the process holds in it).
std::string ResolvedPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
  if (::realpath(FolderOf(path).c_str(), resolved) == nullptr) return path;
  const std::string folder = resolved;
  return (folder == "/" ? "" : folder) + "/" + path.substr(path.rfind('/') + 1);
}

}  // namespace

std::shared_ptr<LockFile> LockFile::For(const std::string& databasePath, bool writing) {
  (void)atForkInstalled;
  std::string key = ResolvedPath(databasePath);
  std::lock_guard lock(registryMutex);
  auto& slot = Registry()[key];
  std::shared_ptr<LockFile> file = slot.lock();
  if (!file) {
    file.reset(new LockFile(key, key + "-lock"));
    slot = file;
  }
  file->Attach(writing);
  return file;
}

LockFile::LockFile(std::string databasePath, std::string lockPath)
    : databasePath_(std::move(databasePath)), lockPath_(std::move(lockPath)) {}

LockFile::~LockFile() {
  if (fd_ >= 0) ::close(fd_);
  for (int fd : retired_) ::close(fd);
}

namespace {

// Gives the companion file the database file's permission bits (and, for
// root, its owner), as SQLite does for its own side files: whoever may write
// the database may then lock in it, whatever the umask of its creator. A
// file this process does not own stays as it is.
void MatchDatabase(int fd, const struct stat& db) {
  struct stat own {};
  if (::fstat(fd, &own) != 0) return;
  if (::geteuid() == 0 && (own.st_uid != db.st_uid || own.st_gid != db.st_gid))
    (void)!::fchown(fd, db.st_uid, db.st_gid);
  if (own.st_uid == ::geteuid() || ::geteuid() == 0)
    if ((own.st_mode & 0777) != (db.st_mode & 0777)) ::fchmod(fd, db.st_mode & 0777);
}

int OpenForWriting(const std::string& lockPath, const std::string& databasePath) {
  struct stat db {};
  if (::stat(databasePath.c_str(), &db) != 0) return -1;
  int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, db.st_mode & 0666);
  if (fd >= 0) MatchDatabase(fd, db);
  return fd;
}

}  // namespace

void LockFile::Attach(bool writing) {
  if (writable_ || (!writing && fd_ >= 0)) return;
  const bool hadFile = fd_ >= 0;
  int fd = writing ? OpenForWriting(lockPath_, databasePath_) : ::open(lockPath_.c_str(), O_RDWR | O_CLOEXEC);
  if (fd >= 0) {
    if (fd_ >= 0) retired_.push_back(fd_);
    fd_ = fd;
    writable_ = true;
  } else if (fd_ < 0) {
    fd_ = ::open(lockPath_.c_str(), O_RDONLY | O_CLOEXEC);
  }
  // Marks taken without a companion file held within this process only: now
  // others see them too.
  if (!hadFile && fd_ >= 0)
    for (const auto& [offset, range] : held_) SystemLock(offset, range.writers > 0 ? F_WRLCK : F_RDLCK);
}

LockFile::Outcome LockFile::SystemLock(std::int64_t offset, short type) {
  // Without a companion file only a read-only open can be here (an open for
  // writing has one): its shared marks guard within this process alone.
  if (fd_ < 0) return type == F_WRLCK ? Outcome::Unusable : Outcome::Taken;
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = 1;
  if (::fcntl(fd_, F_SETLK, &fl) == 0) return Outcome::Taken;
  // Another process holds it; anything else (a read-only descriptor, a file
  // system without locks) means the lock cannot be had at all.
  return errno == EAGAIN || errno == EACCES ? Outcome::Conflict : Outcome::Unusable;
}

LockFile::Outcome LockFile::Acquire(std::int64_t offset, bool exclusive) {
  Range& r = held_[offset];
  if (exclusive ? (r.readers > 0 || r.writers > 0) : r.writers > 0) return Outcome::Conflict;
  if (r.readers == 0 && r.writers == 0) {
    Outcome system = SystemLock(offset, exclusive ? F_WRLCK : F_RDLCK);
    if (system != Outcome::Taken) {
      held_.erase(offset);
      return system;
    }
  }
  (exclusive ? r.writers : r.readers)++;
  return Outcome::Taken;
}

void LockFile::Release(std::int64_t offset, bool exclusive) {
  auto it = held_.find(offset);
  if (it == held_.end()) return;
  Range& r = it->second;
  int& count = exclusive ? r.writers : r.readers;
  if (count > 0) --count;
  if (r.readers == 0 && r.writers == 0) {
    SystemLock(offset, F_UNLCK);
    held_.erase(it);
  }
}

int LockFile::OpenDatabase(bool exclusive, bool writing) {
  if (writing && !writable_) return errCantLockFile;
  switch (Acquire(0, exclusive)) {
    case Outcome::Taken: return 0;
    case Outcome::Conflict: return exclusive ? errFileInUse : errOpenedExclusively;
    default: return errCantLockFile;
  }
}

void LockFile::CloseDatabase(bool exclusive) { Release(0, exclusive); }

namespace {
constexpr std::int64_t kModeOffset = std::int64_t{1} << 30;  // + 0 local, + 1 network
}

// True when another process holds any lock on the bytes.
bool LockFile::HeldElsewhere(std::int64_t offset, std::int64_t length) {
  if (fd_ < 0 || length <= 0) return false;
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  return ::fcntl(fd_, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
}

int LockFile::JoinMode(bool network) {
  std::int64_t mine = kModeOffset + (network ? 1 : 0);
  std::int64_t other = kModeOffset + (network ? 0 : 1);
  if (Acquire(mine, false) != Outcome::Taken) return errCantLockFile;
  // Marked first, checked second: of two users joining in different modes at
  // once, at least one sees the other (both may, and both then retry).
  if (held_.count(other) != 0 || HeldElsewhere(other)) {
    Release(mine, false);
    return errFileInUse;
  }
  return 0;
}

void LockFile::LeaveMode(bool network) { Release(kModeOffset + (network ? 1 : 0), false); }

namespace {
// 2^40 inode numbers: two files of one folder never share a byte.
constexpr std::int64_t kFileOffset = std::int64_t{1} << 56;
constexpr std::int64_t kFileBytes = std::int64_t{1} << 40;
}  // namespace

std::int64_t LockFile::FileOffset(std::uint64_t inode) {
  return kFileOffset + static_cast<std::int64_t>(inode & static_cast<std::uint64_t>(kFileBytes - 1));
}

int LockFile::HoldFile(std::uint64_t inode) {
  const std::int64_t mine = FileOffset(inode);
  if (Acquire(mine, false) != Outcome::Taken) return errCantLockFile;
  // Marked first, looked second (see JoinMode): here, then elsewhere.
  bool other = false;
  for (auto it = held_.lower_bound(kFileOffset); it != held_.end() && it->first < kFileOffset + kFileBytes; ++it)
    other |= it->first != mine;
  if (other || HeldElsewhere(kFileOffset, mine - kFileOffset) ||
      HeldElsewhere(mine + 1, kFileOffset + kFileBytes - mine - 1)) {
    Release(mine, false);
    return errFileInUse;
  }
  return 0;
}

void LockFile::ReleaseFile(std::uint64_t inode) { Release(FileOffset(inode), false); }

bool LockFile::OthersHoldFile(std::uint64_t inode) {
  const std::int64_t offset = FileOffset(inode);
  auto it = held_.find(offset);
  return (it != held_.end() && it->second.readers > 1) || HeldElsewhere(offset);
}

namespace {
constexpr std::int64_t kStateOffset = kModeOffset + 2;
// The kept state: seven numbers and a check of them, so that a state half
// written (a writer killed meanwhile) or bytes of another kind are never taken.
constexpr std::size_t kStateWords = 8;

std::uint64_t StateCheck(const std::uint64_t* words) {
  std::uint64_t h = 1469598103934665603ull;
  for (std::size_t i = 0; i + 1 < kStateWords; ++i) h = (h ^ words[i]) * 1099511628211ull;
  return h;
}
}  // namespace

bool LockFile::ReadState(FileState& state) {
  std::uint64_t words[kStateWords] = {};
  if (fd_ < 0 || ::pread(fd_, words, sizeof words, 0) != ssize_t(sizeof words) ||
      words[kStateWords - 1] != StateCheck(words))
    return false;
  state = {words[0], std::int64_t(words[1]), std::int64_t(words[2]), std::int64_t(words[3]), words[4], words[5], words[6]};
  return true;
}

void LockFile::WriteState(const FileState& state) {
  std::uint64_t words[kStateWords] = {state.inode,  std::uint64_t(state.size), std::uint64_t(state.changedSeconds),
                                      std::uint64_t(state.changedNanoseconds), state.writer, state.logSalt,
                                      state.folded, 0};
  words[kStateWords - 1] = StateCheck(words);
  if (writable_) (void)!::pwrite(fd_, words, sizeof words, 0);
}

bool LockFile::LockState(bool exclusive) { return Acquire(kStateOffset, exclusive) == Outcome::Taken; }
void LockFile::UnlockState(bool exclusive) { Release(kStateOffset, exclusive); }

bool LockFile::InUse() { return !held_.empty() || HeldElsewhere(0, INT64_MAX); }

std::int64_t LockFile::TableOffset(const std::string& table) { return 1 + (NameHash(table) & 0xFFFFF); }

std::int64_t LockFile::RecordOffset(const std::string& table, std::int64_t row) {
  return (std::int64_t{1} << 40) + (static_cast<std::int64_t>(NameHash(table) & 0xFFFFF) << 32) +
         (row & 0xFFFFFFFF);
}

bool LockFile::LockTable(const std::string& table, bool exclusive) {
  return Acquire(TableOffset(table), exclusive) == Outcome::Taken;
}

void LockFile::UnlockTable(const std::string& table, bool exclusive) {
  Release(TableOffset(table), exclusive);
}

bool LockFile::LockRecord(const std::string& table, std::int64_t row, const void* owner) {
  std::int64_t offset = RecordOffset(table, row);
  auto it = held_.find(offset);
  if (it != held_.end()) return it->second.owner == owner;
  if (Acquire(offset, true) != Outcome::Taken) return false;
  held_[offset].owner = owner;
  return true;
}

void LockFile::UnlockRecord(const std::string& table, std::int64_t row, const void* owner) {
  std::int64_t offset = RecordOffset(table, row);
  auto it = held_.find(offset);
  if (it != held_.end() && it->second.owner == owner) Release(offset, true);
}

bool LockFile::RecordLockedByOther(const std::string& table, std::int64_t row, const void* owner) {
  auto it = held_.find(RecordOffset(table, row));
  if (it != held_.end()) return it->second.owner != owner;
  if (!LockRecord(table, row, owner)) return true;
  UnlockRecord(table, row, owner);
  return false;
}

}  // namespace dao
