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
// File state (byte 2^30 + 2, and two slots in the companion file's first
// kilobyte; contentwatch.cpp)
//   what the database file held when a writer last changed it: its inode,
//   size and time, checksums of pages it wrote, the log's generation (local)
//   or the change counter (network), and how often it was found written
//   over. Slots are written in turn with a sequence number and a checksum: a
//   write cut short leaves the other. A writer write-locks the byte while it
//   folds the log in (local) and while it keeps the state; a connection
//   read-locks it to compare, and waits a moment for a writer at it.
//   refusals: the file proven written over -> 3043 "... was written over by
//   another program ..." (open it again); at the open, a log of the contents
//   before still in use -> 3045, or it is kept aside, named in a 3045.
//
// The companion file itself (byte 2^30 + 3 read-locked by every process
// that has it open)
//   a process marks itself present, then makes sure the path still names
//   the file it marked: one removed or replaced before is left for the one
//   at the path. One this user may not write beside a database it may write
//   (made before the database was shared) is replaced while nobody is present
//   in it. Removed while in use, every connection's next save is refused.
//   refusals: 3050 naming the companion file and why.
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

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "platform/classlib/core/strutils.h"
#include "platform/dao/daoerrors.h"
#include "platform/dao/sharing.h"

namespace dao {

namespace {

const char* const kReplaced =
    "it was removed or replaced while the database was open, so this program's locks no longer meet other "
    "users'.  Close the database in every program and open it again.";

constexpr std::int64_t kModeOffset = std::int64_t{1} << 30;  // + 0 local, + 1 network
constexpr std::int64_t kStateOffset = kModeOffset + 2;
constexpr std::int64_t kPresenceOffset = kModeOffset + 3;

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
  for (const auto& [inode, fd] : indexes_) ::close(fd);
}

namespace {

// Gives the companion file the database file's permission bits and group
// (and, for root, its owner), as SQLite does for its own side files: whoever
// may write the database may then lock in it, whatever the umask of its
// creator. A file this process does not own stays as it is.
void MatchDatabase(int fd, const struct stat& db) {
  struct stat own {};
  if (::fstat(fd, &own) != 0) return;
  if (::geteuid() == 0 && (own.st_uid != db.st_uid || own.st_gid != db.st_gid))
    (void)!::fchown(fd, db.st_uid, db.st_gid);
  if (own.st_uid != ::geteuid() && ::geteuid() != 0) return;
  // A group that shares the database shares its locks (a member may hand it over).
  if (own.st_gid != db.st_gid) (void)!::fchown(fd, static_cast<uid_t>(-1), db.st_gid);
  if ((own.st_mode & 0777) != (db.st_mode & 0666)) ::fchmod(fd, db.st_mode & 0666);
}

bool MayWrite(const std::string& path) { return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0; }

}  // namespace

// The companion file opened for writing, made when missing.
int LockFile::OpenForWriting() {
  struct stat db {};
  if (::stat(databasePath_.c_str(), &db) != 0) return -1;
  int fd = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, db.st_mode & 0666);
  if (fd >= 0) {
    MatchDatabase(fd, db);
    return fd;
  }
  const int error = errno;
  if (error == EACCES && MayWrite(databasePath_) && MayWrite(FolderOf(databasePath_))) return ReplaceUnwritable();
  trouble_ = "Couldn't lock file '" + lockPath_ + "': " + std::strerror(error) + ".";
  return -1;
}

// The companion file as it is, for reading and writing where this user may:
// given the database's bits then too, or a database shared after its
// companion file was made would stay closed to its other users while this
// one has it open.
int LockFile::OpenExisting() {
  const int fd = ::open(lockPath_.c_str(), O_RDWR | O_CLOEXEC);
  struct stat db {};
  if (fd >= 0 && ::stat(databasePath_.c_str(), &db) == 0) MatchDatabase(fd, db);
  return fd;
}

// A companion file this user may not write beside a database the user may
// write: made before the database was shared (its bits were the database's
// then), or by a user of a narrower umask. While nobody uses it, one with
// the database's present bits takes its place; a process that opened the
// old one meanwhile finds it gone from the path once it marks itself present
// (Attach), and opens the new one.
int LockFile::ReplaceUnwritable() {
  replaced_ = false;
  const int old = ::open(lockPath_.c_str(), O_RDONLY | O_CLOEXEC);
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;  // from 0 to the end: the whole file
  const bool unused = old >= 0 && ::fcntl(old, F_GETLK, &probe) == 0 && probe.l_type == F_UNLCK;
  if (old >= 0) ::close(old);  // this process holds no lock in it
  if (!unused) {
    // Unreadable, whether anyone uses it cannot be told: it stays.
    trouble_ = "Couldn't lock file '" + lockPath_ + "': this user may not write it, though the database may be " +
               (old < 0 ? "written, nor read it to see whether others use it.  Give the lock file the database "
                          "file's permissions."
                        : "written, and other users have the database open.  Give the lock file the database "
                          "file's permissions, or try again when nobody has the database open.");
    return -1;
  }
  struct stat db {};
  const std::string made = lockPath_ + "." + std::to_string(::getpid()) + ".new";
  const int fd = ::stat(databasePath_.c_str(), &db) == 0
                     ? ::open(made.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, db.st_mode & 0666)
                     : -1;
  if (fd >= 0) MatchDatabase(fd, db);
  if (fd < 0 || ::rename(made.c_str(), lockPath_.c_str()) != 0) {
    trouble_ = "Couldn't lock file '" + lockPath_ + "': " + std::strerror(errno) + ".";
    if (fd >= 0) {
      ::close(fd);
      ::unlink(made.c_str());
    }
    return -1;
  }
  replaced_ = true;
  return fd;
}

// Marks this process present in the companion file (a shared lock held while
// the file is open here): a file anyone is present in is never replaced.
bool LockFile::Present(int fd) {
  struct flock fl {};
  fl.l_type = F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kPresenceOffset;
  fl.l_len = 1;
  if (::fcntl(fd, F_SETLK, &fl) == 0) return true;
  return errno != EAGAIN && errno != EACCES;  // without locks, nobody replaces it either
}

void LockFile::Attach(bool writing) {
  if (writable_ || (!writing && fd_ >= 0)) return;
  const bool hadFile = fd_ >= 0;
  for (int tries = 0;; ++tries) {
    bool writable = true;
    int fd = writing ? OpenForWriting() : OpenExisting();
    if (fd < 0 && !hadFile) {
      fd = ::open(lockPath_.c_str(), O_RDONLY | O_CLOEXEC);
      writable = false;
    }
    if (fd < 0) return;
    struct stat mine {}, atPath {};
    ::fstat(fd, &mine);
    if (hadFile) {
      if (static_cast<std::uint64_t>(mine.st_ino) == inode_) {
        retired_.push_back(fd_);
        fd_ = fd;
        writable_ = true;
        return;
      }
      if (!replaced_) {
        ::close(fd);
        trouble_ = std::string("Couldn't lock file '") + lockPath_ + "': " + kReplaced;
        return;
      }
      // This process put a writable one in the place of the one it had
      // opened read-only (nobody else used that): its marks move over.
      Present(fd);
      const int old = fd_;
      fd_ = fd;
      for (const auto& [offset, range] : held_) SystemLock(offset, range.writers > 0 ? F_WRLCK : F_RDLCK);
      ::close(old);
      for (int retired : retired_) ::close(retired);
      retired_.clear();
      writable_ = true;
      inode_ = static_cast<std::uint64_t>(mine.st_ino);
      return;
    }
    // Present first, then looked for at the path (see ReplaceUnwritable).
    if (Present(fd) && ::stat(lockPath_.c_str(), &atPath) == 0 && atPath.st_ino == mine.st_ino &&
        atPath.st_dev == mine.st_dev) {
      fd_ = fd;
      writable_ = writable;
      inode_ = static_cast<std::uint64_t>(mine.st_ino);
      break;
    }
    ::close(fd);  // nothing of this process was marked in it but its presence
    if (tries == 50) {
      trouble_ = "Couldn't lock file '" + lockPath_ + "': it was replaced again and again while it was opened.";
      return;
    }
    ::usleep(1000);
  }
  // Marks taken without a companion file held within this process only: now
  // others see them too.
  for (const auto& [offset, range] : held_) SystemLock(offset, range.writers > 0 ? F_WRLCK : F_RDLCK);
}

bool LockFile::StillAtPath() {
  if (fd_ < 0) return true;
  struct stat atPath {};
  if (::stat(lockPath_.c_str(), &atPath) == 0 && static_cast<std::uint64_t>(atPath.st_ino) == inode_) return true;
  trouble_ = std::string("Couldn't lock file '") + lockPath_ + "': " + kReplaced;
  return false;
}

int LockFile::IndexDescriptor() {
  const std::string path = databasePath_ + "-shm";
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return -1;
  auto it = indexes_.find(static_cast<std::uint64_t>(st.st_ino));
  if (it != indexes_.end()) return it->second;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  auto [kept, fresh] = indexes_.emplace(static_cast<std::uint64_t>(st.st_ino), fd);
  if (!fresh) ::close(fd);  // the file looked at first was replaced meanwhile: the one kept serves
  return kept->second;
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
  if (errno == EAGAIN || errno == EACCES) return Outcome::Conflict;
  trouble_ = "Couldn't lock file '" + lockPath_ + "': " +
             (errno == EBADF ? std::string("this user may not write it.")
                             : std::string(std::strerror(errno)) + " (the file system does not lock files).");
  return Outcome::Unusable;
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
  if (writing && !writable_) {
    if (trouble_.empty()) trouble_ = "Couldn't lock file '" + lockPath_ + "': this user may not write it.";
    return errCantLockFile;
  }
  switch (Acquire(0, exclusive)) {
    case Outcome::Taken: return 0;
    case Outcome::Conflict: return exclusive ? errFileInUse : errOpenedExclusively;
    default: return errCantLockFile;
  }
}

void LockFile::CloseDatabase(bool exclusive) { Release(0, exclusive); }

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

bool LockFile::InUse() { return !held_.empty() || HeldElsewhere(0, INT64_MAX); }

bool LockFile::OthersHoldFile(std::uint64_t inode) {
  return OthersHereHoldFile(inode) || HeldElsewhere(FileOffset(inode));
}

bool LockFile::OthersHereHoldFile(std::uint64_t inode) const {
  auto it = held_.find(FileOffset(inode));
  return it != held_.end() && it->second.readers > 1;
}

namespace {

// The kept state: two slots, each with a sequence number and a check of its
// words, written in turn. A slot half written (a kill, a power cut) fails its
// check and the other one stands; of two whole slots the later one holds.
// They lie in different sectors, so that a write torn by the disk spoils one.
constexpr std::uint64_t kStateMagic = 0x5654'5354'4154'0003ull;  // and the layout's version
constexpr std::size_t kStateWords = 16 + 2 * LockFile::FileState::kSamples;
constexpr off_t kSlotOffset[2] = {0, 512};

std::uint64_t StateCheck(const std::uint64_t* words) {
  std::uint64_t h = 1469598103934665603ull;
  for (std::size_t i = 0; i + 1 < kStateWords; ++i) h = (h ^ words[i]) * 1099511628211ull;
  return h;
}

void Pack(const LockFile::FileState& s, std::uint64_t (&w)[kStateWords]) {
  std::size_t i = 0;
  w[i++] = kStateMagic;
  w[i++] = s.sequence;
  w[i++] = s.inode;
  w[i++] = std::uint64_t(s.size);
  w[i++] = std::uint64_t(s.changedSeconds);
  w[i++] = std::uint64_t(s.changedNanoseconds);
  w[i++] = std::uint64_t(s.keptAt);
  w[i++] = (s.network ? 1 : 0) | (s.logBefore ? 2 : 0) | (s.logKnown ? 4 : 0);
  w[i++] = s.pageSize;
  w[i++] = (std::uint64_t(s.logSalt1) << 32) | s.logSalt2;
  w[i++] = s.folded;
  w[i++] = s.changeCounter;
  w[i++] = std::uint64_t(s.samples);
  w[i++] = s.copies;
  for (std::uint32_t page : s.samplePage) w[i++] = page;
  for (std::uint64_t sum : s.sampleSum) w[i++] = sum;
  w[i++] = s.lineage;
  while (i + 1 < kStateWords) w[i++] = 0;
  w[kStateWords - 1] = StateCheck(w);
}

bool Unpack(const std::uint64_t (&w)[kStateWords], LockFile::FileState& s) {
  if (w[0] != kStateMagic || w[kStateWords - 1] != StateCheck(w) ||
      w[12] > std::uint64_t(LockFile::FileState::kSamples))
    return false;
  std::size_t i = 1;
  s.sequence = w[i++];
  s.inode = w[i++];
  s.size = std::int64_t(w[i++]);
  s.changedSeconds = std::int64_t(w[i++]);
  s.changedNanoseconds = std::int64_t(w[i++]);
  s.keptAt = std::int64_t(w[i++]);
  s.network = (w[i] & 1) != 0;
  s.logBefore = (w[i] & 2) != 0;
  s.logKnown = (w[i++] & 4) != 0;
  s.pageSize = std::uint32_t(w[i++]);
  s.logSalt1 = std::uint32_t(w[i] >> 32);
  s.logSalt2 = std::uint32_t(w[i++]);
  s.logKnown |= s.logSalt1 != 0 || s.logSalt2 != 0;  // kept before the flag was
  s.folded = std::uint32_t(w[i++]);
  s.changeCounter = std::uint32_t(w[i++]);
  s.samples = int(w[i++]);
  s.copies = w[i++];
  for (std::uint32_t& page : s.samplePage) page = std::uint32_t(w[i++]);
  for (std::uint64_t& sum : s.sampleSum) sum = w[i++];
  s.lineage = w[i++];  // nought in a state kept before there was one
  return true;
}

// The slot holding the later whole state (-1: none), and that state. Both
// slots are read at once.
int LatestSlot(int fd, LockFile::FileState& latest) {
  std::uint64_t words[2][kSlotOffset[1] / sizeof(std::uint64_t)] = {};
  static_assert(sizeof(words[0]) >= kStateWords * sizeof(std::uint64_t));
  const ssize_t got = ::pread(fd, words, sizeof words, 0);
  int found = -1;
  for (int slot = 0; slot < 2; ++slot) {
    std::uint64_t state[kStateWords];
    std::memcpy(state, words[slot], sizeof state);
    LockFile::FileState s;
    if (got >= ssize_t(kSlotOffset[slot] + sizeof state) && Unpack(state, s) &&
        (found < 0 || s.sequence > latest.sequence)) {
      latest = s;
      found = slot;
    }
  }
  return found;
}

}  // namespace

bool LockFile::ReadState(FileState& state) { return fd_ >= 0 && LatestSlot(fd_, state) >= 0; }

void LockFile::WriteState(const FileState& state) {
  if (!writable_) return;
  FileState latest;
  const int slot = LatestSlot(fd_, latest);
  FileState next = state;
  // A state kept afresh (none whole was found: a new companion file, or
  // one emptied or garbled) numbers on from the clock, so that no number
  // read before comes back for another state.
  timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const std::uint64_t fresh = std::uint64_t(now.tv_sec) * 1'000'000'000 + std::uint64_t(now.tv_nsec);
  next.sequence = slot < 0 ? fresh : latest.sequence + 1;
  next.lineage = slot < 0 ? fresh : latest.lineage;
  if (slot >= 0) next.copies = std::max(next.copies, latest.copies);
  std::uint64_t words[kStateWords];
  Pack(next, words);
  (void)!::pwrite(fd_, words, sizeof words, kSlotOffset[slot == 0 ? 1 : 0]);
}

bool LockFile::LockState(bool exclusive) { return Acquire(kStateOffset, exclusive) == Outcome::Taken; }
void LockFile::UnlockState(bool exclusive) { Release(kStateOffset, exclusive); }
bool LockFile::StateLockedHere() const { return held_.count(kStateOffset) != 0; }

void FailLocking(const LockFile& locks) {
  if (locks.Trouble().empty()) Fail(errCantLockFile);
  throw TDaoFailure(errCantLockFile, locks.Trouble());
}


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
