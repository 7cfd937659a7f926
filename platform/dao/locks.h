#pragma once
// Locks shared by every process that uses one database file. They are POSIX
// byte-range locks on a companion file ("<database>-lock"), so the system
// drops them when their process ends, however it ends. Within one process a
// table of owners answers first, since POSIX locks never conflict with the
// process's own.
//
// Byte 0 marks the open database (shared: read lock, exclusive: write lock);
// bytes 1 .. 2^20 one per table (recordsets denying others); from 2^40 on one
// byte per record (table number * 2^32 + row number) held from Edit to Update.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace dao {

class LockFile {
 public:
  // The one lock file object of this process for the database at `path`.
  static std::shared_ptr<LockFile> For(const std::string& databasePath);
  ~LockFile();
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  // 0 on success, else the DAO error: 3045 when an exclusive open finds the
  // file in use, 3356 when a shared open finds it opened exclusively.
  int OpenDatabase(bool exclusive);
  void CloseDatabase(bool exclusive);

  // Table use by a recordset: shared, or exclusive for "deny read and write".
  bool LockTable(const std::string& table, bool exclusive);
  void UnlockTable(const std::string& table, bool exclusive);

  // A record lock for `owner`; false when any other owner (here or in another
  // process) holds it. Taking it again for the same owner succeeds.
  bool LockRecord(const std::string& table, std::int64_t row, const void* owner);
  void UnlockRecord(const std::string& table, std::int64_t row, const void* owner);
  // True when another owner holds the record (the lock is not kept).
  bool RecordLockedByOther(const std::string& table, std::int64_t row, const void* owner);

 private:
  explicit LockFile(const std::string& lockPath);
  struct Range {
    int readers = 0;
    int writers = 0;
    const void* owner = nullptr;  // record locks
  };
  bool Acquire(std::int64_t offset, bool exclusive);
  void Release(std::int64_t offset, bool exclusive);
  bool SystemLock(std::int64_t offset, short type);
  static std::int64_t TableOffset(const std::string& table);
  static std::int64_t RecordOffset(const std::string& table, std::int64_t row);

  int fd_ = -1;
  std::map<std::int64_t, Range> held_;
};

}  // namespace dao
