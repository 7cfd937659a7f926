#pragma once
// Locks shared by every process that uses one database file. They are POSIX
// byte-range locks on a companion file ("<database>-lock"), so the system
// drops them when their process ends, however it ends. Within one process a
// table of owners answers first, since POSIX locks never conflict with the
// process's own.
//
// Byte 0 marks the open database (shared: read lock, exclusive: write lock);
// bytes 1 .. 2^20 one per table (recordsets denying others); from 2^40 on one
// byte per record (table number * 2^32 + row number) held from Edit to Update;
// bytes 2^30 and 2^30 + 1 mark users of the local and the network sharing mode,
// byte 2^30 + 2 guards the file's kept state (FileState), byte 2^30 + 3 marks
// every process using the companion file; from 2^56 on one byte per file held
// (its inode number), see HoldFile.
//
// The companion file takes the database file's owner and permission bits, so
// whoever may write the database may lock in it. Only an open for writing
// creates it; a read-only open uses it when it is there (read locks need no
// write access) and otherwise locks within this process only.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace dao {

class LockFile {
 public:
  // The one lock file object of this process for the database at `path`;
  // `writing`: the database is opened for writing, so the file must carry
  // write locks (it is created when missing).
  static std::shared_ptr<LockFile> For(const std::string& databasePath, bool writing);
  ~LockFile();
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  // 0 on success, else the DAO error: 3045 when an exclusive open finds the
  // file in use, 3356 when a shared open finds it opened exclusively, 3050
  // when the lock cannot be taken at all (no writable companion file for an
  // open for writing or an exclusive one, or no locks on the file system).
  int OpenDatabase(bool exclusive, bool writing);
  void CloseDatabase(bool exclusive);

  // The sharing mode of a connection (local: write-ahead log; network:
  // rollback journal). 0, or 3045 while users of the other mode have the
  // file open: the two modes never run at once.
  int JoinMode(bool network);
  void LeaveMode(bool network);

  // Marks the file a connection opened (its inode number) for as long as the
  // connection uses the log files beside it: they are named after the path,
  // not the file, so while anyone still holds a file that no longer stands
  // at the path, a connection to the file that does would share its log.
  // 0, or 3045 while a connection (here or in another process) holds another
  // file opened at this path; nothing is held then.
  int HoldFile(std::uint64_t inode);
  void ReleaseFile(std::uint64_t inode);
  // True while any connection, of this process or another, uses the file at
  // this path in any way (holds any lock).
  bool InUse();

  // What the database file held when a writer last knew it whole: its
  // inode, size and modification time, and the contents of a few pages it
  // wrote last (see contentwatch.cpp). Kept in the companion file's first
  // bytes, in two checksummed slots written in turn, so that a write cut
  // short (a kill, a power cut) leaves the one before whole.
  struct FileState {
    static constexpr int kSamples = 8;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t changedSeconds = 0;  // modification time
    std::int64_t changedNanoseconds = 0;
    std::int64_t keptAt = 0;  // wall-clock nanoseconds when kept
    bool network = false;     // kept in network mode
    std::uint32_t pageSize = 0;
    // Local mode: the log's generation (the salts of its header) and how
    // many of its frames were folded into the file.
    std::uint32_t logSalt1 = 0;
    std::uint32_t logSalt2 = 0;
    // A generation was named (both salts may be nought: a log emptied under
    // programs that folded before draws none anew).
    bool logKnown = false;
    std::uint32_t folded = 0;
    // Network mode: the file's change counter, which every commit raises.
    std::uint32_t changeCounter = 0;
    // Pages of the file and a checksum of their contents.
    int samples = 0;
    std::uint32_t samplePage[kSamples] = {};
    std::uint64_t sampleSum[kSamples] = {};
    // How many times the file was found written over: a connection that
    // opened it before the last time is refused, whatever it finds itself.
    std::uint64_t copies = 0;
    // The log of the generation kept (or a later one) holds pages of the
    // contents before the last copy: no opener reads it.
    bool logBefore = false;
    std::uint64_t sequence = 0;  // of the slot it was read from; set by WriteState
    // Set by WriteState when it keeps a state afresh (none whole was found):
    // counts of copies of different lineages say nothing of each other.
    std::uint64_t lineage = 0;

    bool SameFile(const FileState& o) const {
      return inode == o.inode && size == o.size && changedSeconds == o.changedSeconds &&
             changedNanoseconds == o.changedNanoseconds;
    }
  };
  bool ReadState(FileState& state);  // false when none is kept (or none whole)
  // Into the slot not holding the later state; never lowers `copies`.
  void WriteState(const FileState& state);
  // Guards the state (without waiting): exclusive while a writer changes the
  // file or keeps its state, shared while a connection compares.
  bool LockState(bool exclusive);
  void UnlockState(bool exclusive);
  // A connection of this process holds it: waiting would not free it.
  bool StateLockedHere() const;
  // True while a connection of another process (or another one here) holds
  // the file, besides the caller.
  bool OthersHoldFile(std::uint64_t inode);
  // The same, of this process's connections alone.
  bool OthersHereHoldFile(std::uint64_t inode) const;

  // A descriptor of the log's shared index ("<database>-shm"), open
  // read-only, or -1. Kept open while this object lives: closing any
  // descriptor of a file drops every lock the process holds on it, SQLite's
  // own too.
  int IndexDescriptor();

  // The companion file at the path is still the one locked in: false once it
  // was removed or replaced (its locks then no longer meet other users').
  bool StillAtPath();
  // Open for writing: locks for writing can be had.
  bool Writable() const { return writable_; }
  // Why locking failed, naming the companion file, for an error 3050.
  const std::string& Trouble() const { return trouble_; }

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
  LockFile(std::string databasePath, std::string lockPath);
  struct Range {
    int readers = 0;
    int writers = 0;
    const void* owner = nullptr;  // record locks
  };
  enum class Outcome { Taken, Conflict, Unusable };
  void Attach(bool writing);
  int OpenExisting();
  int OpenForWriting();
  int ReplaceUnwritable();
  bool Present(int fd);
  Outcome Acquire(std::int64_t offset, bool exclusive);
  void Release(std::int64_t offset, bool exclusive);
  Outcome SystemLock(std::int64_t offset, short type);
  bool HeldElsewhere(std::int64_t offset, std::int64_t length = 1);
  static std::int64_t FileOffset(std::uint64_t inode);
  static std::int64_t TableOffset(const std::string& table);
  static std::int64_t RecordOffset(const std::string& table, std::int64_t row);

  std::string databasePath_;
  std::string lockPath_;
  int fd_ = -1;
  bool writable_ = false;
  // Descriptors replaced by a writable one. They stay open: closing any
  // descriptor of the file would drop every lock this process holds in it.
  std::vector<int> retired_;
  std::map<std::int64_t, Range> held_;
  std::uint64_t inode_ = 0;  // of the companion file locked in
  bool replaced_ = false;    // the last open for writing put a new one in place
  std::map<std::uint64_t, int> indexes_;  // IndexDescriptor(), by inode

  std::string trouble_;
};

// Fails with 3050, saying which file could not be locked and why.
[[noreturn]] void FailLocking(const LockFile& locks);

}  // namespace dao
