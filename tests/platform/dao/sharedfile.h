#pragma once
// What users and their tools do to one shared database file, for the tests of
// its guard: another program that uses the SQLite library with its default
// settings, tools that set the file's times, copies written over it in place,
// and the file's bytes as they stand.

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "earlierbuild.h"

namespace daotest {

inline std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Writes `bytes` over the file in place, as a copy tool does: the same file
// (inode), truncated and written anew.
// Cuts the open file to nothing and writes `bytes` in its place, as a copy
// tool does.
inline bool WriteOver(int fd, const std::string& bytes) {
  if (fd < 0 || ::ftruncate(fd, 0) != 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, off_t(done));
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done == bytes.size();
}

inline bool CopyOverInPlace(const std::string& bytes, const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  const bool whole = WriteOver(fd, bytes);
  if (fd >= 0) ::close(fd);
  return whole;
}

// Sets the file's access and modification times: to now (touch), or `seconds`
// away from now (a tool restoring times).
inline bool SetFileTimes(const std::string& path, std::int64_t seconds = 0) {
  if (seconds == 0) return ::utimensat(AT_FDCWD, path.c_str(), nullptr, 0) == 0;
  timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  timespec times[2] = {now, now};
  times[0].tv_sec += seconds;
  times[1].tv_sec += seconds;
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

// Another program that uses the SQLite library as it comes: default file
// layer, the log folded in after 1,000 pages, waiting up to 5 s for locks.
// It knows the tracker's case-blind order, without which SQLite refuses it
// every write to a table with text columns.
class SqliteProgram {
 public:
  explicit SqliteProgram(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      sqlite3_close(db_);
      db_ = nullptr;
      return;
    }
    sqlite3_busy_timeout(db_, 5000);
    KnowCaseBlindOrder(db_);
  }
  ~SqliteProgram() { sqlite3_close(db_); }
  SqliteProgram(const SqliteProgram&) = delete;
  SqliteProgram& operator=(const SqliteProgram&) = delete;

  bool Open() const { return db_ != nullptr; }
  // SQLITE_OK, or its failure.
  int Exec(const std::string& sql) const {
    return db_ == nullptr ? SQLITE_CANTOPEN : sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
  }
  // The first column of the first row as a number; -1 when there is none.
  std::int64_t Number(const std::string& sql) const {
    sqlite3_stmt* s = nullptr;
    std::int64_t value = -1;
    if (db_ != nullptr && sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
      value = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    return value;
  }
  // A consistent copy of the database at `target`, as a backup tool makes one.
  bool BackUpTo(const std::string& target) const {
    sqlite3* to = nullptr;
    bool done = false;
    if (db_ != nullptr && sqlite3_open_v2(target.c_str(), &to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                          nullptr) == SQLITE_OK) {
      if (sqlite3_backup* b = sqlite3_backup_init(to, "main", db_, "main")) {
        done = sqlite3_backup_step(b, -1) == SQLITE_DONE;
        done = sqlite3_backup_finish(b) == SQLITE_OK && done;
      }
    }
    sqlite3_close(to);
    return done;
  }
  sqlite3* Handle() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace daotest
