#include "platform/dao/locks.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <mutex>

#include "platform/classlib/core/strutils.h"
#include "platform/dao/daoerrors.h"

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

std::uint32_t NameHash(const std::string& name) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : AnsiUpperCase(name)) h = (h ^ c) * 16777619u;
  return h;
}

}  // namespace

std::shared_ptr<LockFile> LockFile::For(const std::string& databasePath) {
  (void)atForkInstalled;
  char resolved[PATH_MAX];
  std::string key = ::realpath(databasePath.c_str(), resolved) ? resolved : databasePath;
  std::lock_guard lock(registryMutex);
  auto& slot = Registry()[key];
  if (auto existing = slot.lock()) return existing;
  std::shared_ptr<LockFile> created(new LockFile(key + "-lock"));
  slot = created;
  return created;
}

LockFile::LockFile(const std::string& lockPath) {
  fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) fd_ = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
}

LockFile::~LockFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool LockFile::SystemLock(std::int64_t offset, short type) {
  if (fd_ < 0) return true;  // no companion file possible: this process's table only
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = 1;
  if (::fcntl(fd_, F_SETLK, &fl) == 0) return true;
  // A read-only companion file cannot carry write locks; read locks still guard.
  return errno == EBADF && type != F_RDLCK;
}

bool LockFile::Acquire(std::int64_t offset, bool exclusive) {
  Range& r = held_[offset];
  if (exclusive ? (r.readers > 0 || r.writers > 0) : r.writers > 0) return false;
  if (r.readers == 0 && r.writers == 0 && !SystemLock(offset, exclusive ? F_WRLCK : F_RDLCK)) {
    held_.erase(offset);
    return false;
  }
  (exclusive ? r.writers : r.readers)++;
  return true;
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

int LockFile::OpenDatabase(bool exclusive) {
  if (Acquire(0, exclusive)) return 0;
  return exclusive ? errFileInUse : errOpenedExclusively;
}

void LockFile::CloseDatabase(bool exclusive) { Release(0, exclusive); }

std::int64_t LockFile::TableOffset(const std::string& table) { return 1 + (NameHash(table) & 0xFFFFF); }

std::int64_t LockFile::RecordOffset(const std::string& table, std::int64_t row) {
  return (std::int64_t{1} << 40) + (static_cast<std::int64_t>(NameHash(table) & 0xFFFFF) << 32) +
         (row & 0xFFFFFFFF);
}

bool LockFile::LockTable(const std::string& table, bool exclusive) {
  return Acquire(TableOffset(table), exclusive);
}

void LockFile::UnlockTable(const std::string& table, bool exclusive) {
  Release(TableOffset(table), exclusive);
}

bool LockFile::LockRecord(const std::string& table, std::int64_t row, const void* owner) {
  std::int64_t offset = RecordOffset(table, row);
  auto it = held_.find(offset);
  if (it != held_.end()) return it->second.owner == owner;
  if (!Acquire(offset, true)) return false;
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
