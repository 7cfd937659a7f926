// Telling a database file written over in place by another program (a backup
// copied over it: the same file, new contents) from everything else that
// changes it or its times, before this connection reads or writes it again.
//
// What is kept. Whenever a writer changes the file (local mode: folds the
// log into it; network mode: commits), it keeps in the lock file
// (LockFile::FileState) the file's inode, size and modification time, and a
// checksum of up to eight pages it has just written, with the log's
// generation and how much of it was folded in (local) or the file's change
// counter (network). The state goes into one of two checksummed slots in
// turn, after the file's own write is on disk: a kill or a power cut leaves
// the state before or the state after, and either is judged rightly below.
//
// How it is judged. Before every write transaction, edit and cursor (and
// before every page a fold writes) the file's size and modification time
// are compared with the kept ones. Times are only a hint of when to look: a
// touch, a tool setting times or the clock moving change them and nothing
// else; a change within one tick of the clock (a second on file systems of
// whole seconds) may leave them as they were. So when they differ, or were
// kept too soon after the file's last change to be trusted, the contents
// decide: the sampled pages are read back.
//   - as kept: nothing changed (a touch): the new times are kept;
//   - otherwise, local mode: a page changed by a fold holds what the log's
//     newest frame for it up to the folded point holds (another program that
//     uses SQLite folded: kept anew). A page holding anything else, while the
//     log is of the generation kept (every fold since went through it), was
//     written by someone who is not SQLite: written over;
//   - otherwise, network mode: every commit raises the change counter. A
//     counter gone back, or the same counter with other pages, is a copy;
//   - what cannot be told (the log started anew by another program since, a
//     counter gone up) is taken as it is, once the file holds still (a copy
//     under way is looked at again whole): never a refusal without proof.
//
// What is done. A connection that finds its file written over refuses every
// save from then on, never folds its log into the new contents, and keeps
// SQLite from doing so: the last user to close (or the next to open, once
// nobody holds the file) moves the log aside under a name SQLite never reads
// ("<file>-wal-kept-<date>"), which the refusal names. A log (or journal) left
// beside a file that was replaced at the path is the earlier file's: it is
// moved aside too. Nothing here empties a log, and no check stops a fold
// halfway but one that proves the file written over.

#include <sqlite3.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <ctime>
#include <new>
#include <thread>

#include "platform/dao/daoerrors.h"
#include "platform/dao/filelayer.h"
#include "platform/dao/locks.h"
#include "platform/dao/logpages.h"
#include "platform/dao/store.h"

namespace dao {

using FileState = LockFile::FileState;

// A writer's log: SQLite writes its header exactly when a commit starts the
// log anew (after a whole fold, or the first frames of a log new or
// emptied). Counted, with the generation it names, this connection knows a
// log it started itself from one another writer started between its commit
// and its look after it.
struct WriterLog {
  LayeredFile layer;
  unsigned starts;
  LogGeneration started;  // the generation of the last start

  static WriterLog* Of(sqlite3_file* f) { return reinterpret_cast<WriterLog*>(f); }
  static int Write(sqlite3_file* f, const void* p, int n, sqlite3_int64 o) {
    sqlite3_file* real = Of(f)->layer.real;
    const int rc = real->pMethods->xWrite(real, p, n, o);
    if (rc == SQLITE_OK && o == 0) {
      if (const LogGeneration header = LogHeaderGeneration(p, std::size_t(n)); header.present) {
        Of(f)->started = header;
        ++Of(f)->starts;
      }
    }
    return rc;
  }
  static void Replace(sqlite3_io_methods& m) { m.xWrite = Write; }
  static WriterLog* In(sqlite3* db) {
    sqlite3_file* file = nullptr;
    if (db == nullptr || sqlite3_file_control(db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &file) != SQLITE_OK ||
        file == nullptr || file->pMethods == nullptr || file->pMethods->xWrite != Write)
      return nullptr;
    return Of(file);
  }
};

// A writer's database file: every change of it is seen by its connection
// (Before/AfterFileWrite), and in network mode so are its locks, which bracket
// each write transaction.
struct WriterFile {
  LayeredFile layer;
  Connection* owner;  // once the connection has it open
  // The start of the log's shared index while SQLite has it mapped.
  const volatile unsigned char* index;

  static WriterFile* Of(sqlite3_file* f) { return reinterpret_cast<WriterFile*>(f); }
  static int Write(sqlite3_file* f, const void* p, int n, sqlite3_int64 o) {
    Connection* c = Of(f)->owner;
    if (c != nullptr)
      if (int refused = c->BeforeFileWrite()) return refused;
    sqlite3_file* real = Of(f)->layer.real;
    const int rc = real->pMethods->xWrite(real, p, n, o);
    if (c != nullptr && rc == SQLITE_OK) c->AfterFileWrite(o, p, n);
    return rc;
  }
  static int Truncate(sqlite3_file* f, sqlite3_int64 size) {
    Connection* c = Of(f)->owner;
    if (c != nullptr)
      if (int refused = c->BeforeFileWrite()) return refused;
    sqlite3_file* real = Of(f)->layer.real;
    const int rc = real->pMethods->xTruncate(real, size);
    if (c != nullptr && rc == SQLITE_OK) c->AfterFileWrite(size, nullptr, 0);
    return rc;
  }
  static int Lock(sqlite3_file* f, int level) {
    sqlite3_file* real = Of(f)->layer.real;
    const int rc = real->pMethods->xLock(real, level);
    if (rc == SQLITE_OK && Of(f)->owner != nullptr) return Of(f)->owner->OnFileLock(level);
    return rc;
  }
  static int Unlock(sqlite3_file* f, int level) {
    if (Of(f)->owner != nullptr) Of(f)->owner->OnFileUnlock(level);
    sqlite3_file* real = Of(f)->layer.real;
    return real->pMethods->xUnlock(real, level);
  }
  static int ShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
    sqlite3_file* real = Of(f)->layer.real;
    const int rc = real->pMethods->xShmMap(real, region, size, extend, out);
    if (rc == SQLITE_OK && region == 0 && *out != nullptr)
      Of(f)->index = static_cast<const volatile unsigned char*>(*out);
    return rc;
  }
  static int ShmUnmap(sqlite3_file* f, int deleteFlag) {
    Of(f)->index = nullptr;
    sqlite3_file* real = Of(f)->layer.real;
    return real->pMethods->xShmUnmap(real, deleteFlag);
  }
  static void Replace(sqlite3_io_methods& m) {
    m.xWrite = Write;
    m.xTruncate = Truncate;
    m.xLock = Lock;
    m.xUnlock = Unlock;
    m.xShmMap = ShmMap;
    m.xShmUnmap = ShmUnmap;
  }
  static int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    if ((flags & SQLITE_OPEN_WAL) != 0) {
      static_assert(LayerBytes<WriterLog>() <= LayerBytes<WriterFile>());
      const int rc = OpenLayered(file, LayerBytes<WriterFile>(), name, flags, outFlags);
      if (rc != SQLITE_OK) return rc;
      auto* log = WriterLog::Of(file);
      log->starts = 0;
      log->started = {};
      log->layer.base.pMethods = MethodsOf<WriterLog>(log->layer.real->pMethods);
      return SQLITE_OK;
    }
    if ((flags & SQLITE_OPEN_MAIN_DB) == 0) return DefaultVfs()->xOpen(DefaultVfs(), name, file, flags, outFlags);
    const int rc = OpenLayered(file, LayerBytes<WriterFile>(), name, flags, outFlags);
    if (rc != SQLITE_OK) return rc;
    auto* f = Of(file);
    f->owner = nullptr;
    f->index = nullptr;
    f->layer.base.pMethods = MethodsOf<WriterFile>(f->layer.real->pMethods);
    return SQLITE_OK;
  }
  static WriterFile* In(sqlite3* db) {
    sqlite3_file* file = nullptr;
    if (db == nullptr || sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        file == nullptr || file->pMethods == nullptr || file->pMethods->xWrite != Write)
      return nullptr;
    return Of(file);
  }
};

namespace {

// SQLite's own fold after a commit, at its own threshold: once the log holds
// this many pages.
constexpr int kFoldAfterPages = 1000;
// How long a look waits for a writer that is changing the file and keeping
// its state (a fold of a long log takes a while on a busy disk).
constexpr int kWaitForWriterMs = 250;
// How long a look that met another program's fold waits for it to end (a
// fold of a long log on a busy disk).
constexpr int kWaitForFoldMs = 2000;
// How long a file must keep its size to be taken as at rest: a copy writes
// it in pieces far closer together, also on a busy machine.
constexpr int kRestMs = 20;
// How long the log of contents written over waits to be set aside for its
// users to finish a transaction.
constexpr int kWaitForUsersMs = 200;
// SQLite's lock levels on the database file.
constexpr int kReservedLock = 2;

std::int64_t WallClockNs() {
  timespec t {};
  ::clock_gettime(CLOCK_REALTIME, &t);
  return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// A change within this long after the time kept may leave the modification
// time as it was: a second where the file system keeps whole seconds (its
// times end in no nanoseconds; two where it counts in twos), else a tick of
// the kernel's clock (at most 10 ms).
std::int64_t TimeGrain(const FileState& s) {
  return s.changedNanoseconds == 0 ? 2'000'000'000 : 10'000'000;
}
std::int64_t ChangedNs(const FileState& s) { return s.changedSeconds * 1'000'000'000 + s.changedNanoseconds; }
// Kept late enough that a later change shows in the time.
bool Settled(const FileState& s) { return s.keptAt - ChangedNs(s) >= TimeGrain(s); }

std::uint32_t Big32(const unsigned char* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

}  // namespace

// Holds the kept state's lock for a scope. Exclusive: taken at once or not at
// all (another writer is at it). Shared: waits a moment for a writer to finish.
class StateLock {
 public:
  StateLock(LockFile& locks, bool exclusive, int waitMs = 0) : locks_(locks), exclusive_(exclusive) {
    held_ = locks_.LockState(exclusive);
    // A holder in this process cannot finish while this one waits.
    if (locks_.StateLockedHere()) waitMs = 0;
    for (int waited = 0; !held_ && waited < waitMs; ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      held_ = locks_.LockState(exclusive);
    }
  }
  ~StateLock() { Release(); }
  StateLock(const StateLock&) = delete;
  StateLock& operator=(const StateLock&) = delete;
  bool Held() const { return held_; }
  void Release() {
    if (held_) locks_.UnlockState(exclusive_);
    held_ = false;
  }

 private:
  LockFile& locks_;
  bool exclusive_;
  bool held_ = false;
};

namespace {

// A page changed by folds since the state was kept, when the log had been
// folded up to frame `folded`: every fold since went on from there (the
// folded point only moves on in one generation), and a fold writes a page
// only from a frame past its starting point and up to the one it set out to
// reach (`reached`). So the page holds one of those frames; a page holding an
// older one, a later one, or none, was written by someone who is not SQLite
// (a backup's pages are older frames, or frames no fold has reached).
bool FoldedFrom(const LogFrames& log, std::uint32_t page, std::uint64_t sum, std::uint32_t folded,
                std::uint32_t reached) {
  for (std::uint32_t frame : log.FramesOf(page, std::min<std::uint32_t>(reached, std::uint32_t(log.frames.size()))))
    if (frame > folded && log.frames[frame - 1].sum == sum) return true;
  return false;
}

bool AllZero(const std::vector<unsigned char>& page) {
  return std::all_of(page.begin(), page.end(), [](unsigned char b) { return b == 0; });
}

// A page past the file's end: the file shrank by a commit of the log folded
// since (past `folded`). A fold cuts the file to the size its last commit
// gives; an earlier commit's smaller size was the file's before the state
// was kept, with the page in it.
bool ShrankBelow(const LogFrames& log, std::uint32_t page, std::uint32_t folded, std::uint32_t reached) {
  for (std::uint32_t frame = folded + 1; frame <= log.frames.size() && frame <= reached; ++frame) {
    const std::uint32_t size = log.frames[frame - 1].sizeAfterCommit;
    if (size != 0 && size < page) return true;
  }
  return false;
}

// Whether another process holds any of the log index's locks in
// [start, start + length) (SQLite's locks are bytes of the index file).
bool IndexLockedElsewhere(int fd, off_t start, off_t length) {
  if (fd < 0) return false;
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = start;
  probe.l_len = length;
  return ::fcntl(fd, F_GETLK, &probe) != 0 || probe.l_type != F_UNLCK;
}

// A page no longer as kept, explained by the log: holding one of its
// frames that folds since have written, or gone by a commit that shrank the
// file.
bool ExplainedByLog(const LogFrames& log, std::uint32_t page, bool present, std::uint64_t sum, std::uint32_t folded,
                    std::uint32_t reached = UINT32_MAX) {
  return present ? FoldedFrom(log, page, sum, folded, reached) : ShrankBelow(log, page, folded, reached);
}

LogGeneration GenerationOf(const FileState& s) { return {s.logKnown, s.logSalt1, s.logSalt2}; }
void SetGeneration(FileState& s, const LogGeneration& g) {
  s.logKnown = g.present;
  s.logSalt1 = g.salt1;
  s.logSalt2 = g.salt2;
}

void AddSample(FileState& s, std::uint32_t page, std::uint64_t sum) {
  for (int i = 0; i < s.samples; ++i)
    if (s.samplePage[i] == page) return;
  if (s.samples == FileState::kSamples) return;
  s.samplePage[s.samples] = page;
  s.sampleSum[s.samples] = sum;
  ++s.samples;
}

}  // namespace

const char* Connection::WriterVfs() {
  static const char* const name = RegisterVfsVariant("vantrel-writer", LayerBytes<WriterFile>(), WriterFile::Open);
  return name;
}

// ---- the file as it stands --------------------------------------------------

FileState Connection::StateOfFile() const {
  FileState s;
  struct stat st {};
  if (::stat(StatPath(), &st) != 0) return s;
  s.inode = static_cast<std::uint64_t>(st.st_ino);
  s.size = static_cast<std::int64_t>(st.st_size);
  s.changedSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
  s.changedNanoseconds = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
  s.keptAt = WallClockNs();
  s.network = network_;
  return s;
}

// SQLite's own file of the database: reading through it takes no lock and
// opens no descriptor (closing one would drop SQLite's locks).
sqlite3_file* Connection::DatabaseFile() const {
  sqlite3_file* file = nullptr;
  if (db_ == nullptr || sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
      file == nullptr || file->pMethods == nullptr)
    return nullptr;
  if (WriterFile* w = WriterFile::In(db_)) return w->layer.real;
  return file;
}

bool Connection::ReadPage(std::uint32_t page, std::uint32_t pageSize, std::vector<unsigned char>& bytes) const {
  sqlite3_file* file = DatabaseFile();
  if (file == nullptr || page == 0 || pageSize == 0) return false;
  bytes.resize(pageSize);
  return file->pMethods->xRead(file, bytes.data(), int(pageSize), sqlite3_int64(page - 1) * pageSize) == SQLITE_OK;
}

// From the file's header (a size of 1 stands for 65536).
std::uint32_t Connection::PageSize() const {
  sqlite3_file* file = DatabaseFile();
  unsigned char b[2] = {};
  if (file == nullptr || file->pMethods->xRead(file, b, 2, 16) != SQLITE_OK) return 0;
  const std::uint32_t size = (std::uint32_t(b[0]) << 8) | b[1];
  return size == 1 ? 65536 : size;
}

// The log's generation and folded point, from its shared index. Taken before
// the pages are read that go with it: a log started anew after the pages
// were read would claim changes it never saw.
// The log's shared index: through SQLite's mapping while it has one, else
// read from the index file.
LogIndex Connection::LogIndexNow() const {
  const WriterFile* w = WriterFile::In(db_);
  const LogIndex mapped = ReadLogIndex(w != nullptr ? w->index : nullptr);
  return mapped.valid ? mapped : ReadLogIndex(sharing_->IndexDescriptor());
}

void Connection::NoteLogPosition(FileState& s) {
  const LogIndex index = LogIndexNow();
  const LogGeneration log = ReadLogGeneration(path_ + "-wal");
  // The log's header holds its generation once a frame was written; before,
  // the index's (a log started anew, not written yet) is the one to come.
  const LogGeneration generation = log.present ? log : index.generation;
  SetGeneration(s, generation);
  s.folded = index.valid && index.generation == generation ? index.folded : 0;
}

// Kept by a writer that holds the state's lock; not when another connection
// found the file written over since this one opened it (it is refused then).
void Connection::Keep(const FileState& state) {
  FileState latest;
  if (sharing_->ReadState(latest) && CopiedSince(latest)) {
    FoundWrittenOver(latest);
    tellPending_ = false;
    return;
  }
  FileState kept = state;
  kept.copies = copiesSeen_;
  sharing_->WriteState(kept);
  keptLog_ = GenerationOf(kept);
  judged_ = {};
}

// A first sample: page 1 and the file's last pages (the newest, where a file
// grows).
void Connection::SampleFile(FileState& s) {
  s.pageSize = PageSize();
  s.samples = 0;
  if (s.pageSize == 0) return;
  const std::uint32_t pages = std::uint32_t(s.size / s.pageSize);
  std::vector<unsigned char> page;
  for (std::uint32_t p : {1u, pages, pages - 1, pages - 2, pages - 3, pages / 2, pages / 4}) {
    if (p < 1 || p > pages || !ReadPage(p, s.pageSize, page)) continue;
    AddSample(s, p, PageSum(page.data(), s.pageSize));
    if (p == 1) s.changeCounter = Big32(page.data() + 24);
  }
}

// The pages this connection has just written: page 1 when among them, then
// pages spread over the rest.
void Connection::TakeWrittenPages(FileState& s) {
  s.pageSize = writing_.pageSize;
  s.samples = 0;
  const auto& pages = writing_.pages;
  if (auto one = pages.find(1); one != pages.end()) AddSample(s, 1, one->second);
  const std::size_t step = std::max<std::size_t>(1, pages.size() / (FileState::kSamples - 1));
  std::size_t i = 0;
  for (const auto& [page, sum] : pages)
    if (i++ % step == 0) AddSample(s, page, sum);
}

// ---- judging -------------------------------------------------------------------

// A page this connection wrote so, in the change it is making now.
bool Connection::WrittenHere(std::uint32_t page, std::uint64_t sum) const {
  if (!writing_.active) return false;
  auto mine = writing_.pages.find(page);
  return mine != writing_.pages.end() && mine->second == sum;
}

// The pages kept still as they were (network mode: the change counter, which
// every commit raises), read without the log: a quick look.
bool Connection::SamplesAsKept(const FileState& kept, int most) const {
  sqlite3_file* file = DatabaseFile();
  if (file == nullptr) return false;
  if (network_) {
    unsigned char header[32] = {};
    return file->pMethods->xRead(file, header, 32, 0) == SQLITE_OK && Big32(header + 24) == kept.changeCounter;
  }
  std::vector<unsigned char> page;
  for (int i = 0; i < kept.samples && i < most; ++i)
    if (!ReadPage(kept.samplePage[i], kept.pageSize, page) || PageSum(page.data(), kept.pageSize) != kept.sampleSum[i])
      return false;
  return true;
}

Connection::Verdict Connection::Judge(const FileState& kept, FileState& now) {
  now = StateOfFile();
  if (kept.network != network_ || kept.pageSize == 0) {
    // Kept in the other mode (or nothing to compare): only taken anew.
    if (!network_) NoteLogPosition(now);
    SampleFile(now);
    return Verdict::Unknown;
  }
  return network_ ? JudgeJournal(kept, now) : JudgeLog(kept, now);
}

// No program that uses SQLite cuts a database file to nothing: another one
// did (a copy starts so), and whatever it writes next is not what was kept.
bool Connection::CutToNothing(const FileState& kept, const FileState& now) {
  return kept.size > 0 && now.inode != 0 && now.size == 0;
}

Connection::Verdict Connection::JudgeLog(const FileState& kept, FileState& now, int looksLeft) {
  if (CutToNothing(kept, now)) return Verdict::WrittenOver;
  // The pages first, then the log: folds only go on, so the log read last
  // holds every frame they may come from.
  const LogIndex index = LogIndexNow();
  FileState position;
  NoteLogPosition(position);
  const std::uint32_t pageSize = kept.pageSize;
  std::vector<unsigned char> page;
  struct Look {
    std::uint32_t page;
    std::uint64_t kept;
    bool present;
    bool zero;  // space a fold made for the pages it is about to write
    std::uint64_t sum;
    bool same;
    bool grown;  // past the size kept
  };
  std::vector<Look> looks;
  bool allSame = true;
  const auto lookAt = [&](std::uint32_t p, std::uint64_t keptSum, bool wasKept) {
    Look l{p, keptSum, false, false, 0, false, !wasKept};
    l.present = ReadPage(p, pageSize, page);
    if (l.present) {
      l.sum = PageSum(page.data(), pageSize);
      l.zero = AllZero(page);
    }
    l.same = l.present && ((wasKept && l.sum == l.kept) || WrittenHere(p, l.sum));
    allSame &= l.same;
    looks.push_back(l);
  };
  for (int i = 0; i < kept.samples; ++i) lookAt(kept.samplePage[i], kept.sampleSum[i], true);
  // The file grows only as a fold writes pages past its end: its last page,
  // past the size kept, is judged as a changed one (a copy of a backup taken
  // since the last fold may hold every sampled page as it was), which any
  // fold up to the point reached may have written (the size kept can be
  // older than the folded point kept with it).
  if (now.size > kept.size && kept.size > 0) lookAt(std::uint32_t(now.size / pageSize), 0, false);
  const LogGeneration keptGeneration = GenerationOf(kept);
  now.pageSize = pageSize;
  if (allSame && index.valid && index.generation == keptGeneration) {
    for (int i = 0; i < kept.samples; ++i) AddSample(now, kept.samplePage[i], kept.sampleSum[i]);
    SetGeneration(now, keptGeneration);
    now.folded = index.folded;
    return Verdict::Same;
  }
  const LogFrames log = ReadLogFrames(path_ + "-wal", pageSize);
  // Every fold since the state was kept went through this log, read whole:
  // one gone (its last user folded it all and removed it) or read short of
  // what its index held (written or started anew meanwhile) explains
  // nothing, and proves nothing.
  const bool whole = log.generation.present && (!index.valid || log.frames.size() >= index.frames);
  // Nor was anything folded while the generation kept has no frame yet (a
  // log started anew changes it; one made while a program holds the file
  // stays until the last one closes it).
  const bool noFrameSince =
      index.valid && index.frames == 0 && index.generation == keptGeneration && kept.folded == 0;
  const bool sameGeneration =
      keptGeneration.present && ((whole && log.generation == keptGeneration) || noFrameSince);
  // A fold sets the point it will reach before it writes a page: none has
  // written a frame past it (which the index of another generation, or none,
  // cannot tell).
  const std::uint32_t reached = index.valid && index.generation == keptGeneration
                                    ? std::max(index.folded, index.foldAttempted)
                                    : UINT32_MAX;
  bool proof = false, unknown = false;
  for (const Look& l : looks) {
    if (l.same || l.zero) continue;
    const bool explained = ExplainedByLog(log, l.page, l.present, l.sum, l.grown ? 0 : kept.folded, reached);
    if (!explained) (sameGeneration ? proof : unknown) = true;
  }
  // Nor does a page read while another program folded: it may be half
  // written (a read takes no lock against a write), or written by a fold
  // begun after the index was read. Its fold holds the folder's lock to the
  // end, and moves the points it sets out to reach and then reaches on; and
  // a page read half written reads otherwise the next time (whole: a folder
  // killed midway wrote its last page whole all the same). Once it is over,
  // the file is looked at again.
  const auto foldMoved = [&] {
    const LogIndex after = LogIndexNow();
    return after.folded != index.folded || after.foldAttempted != index.foldAttempted ||
           !(after.generation == index.generation);  // folded whole, and the log started anew
  };
  const auto readsOtherwiseNow = [&] {
    for (const Look& l : looks)
      if (l.present && !l.same && (!ReadPage(l.page, pageSize, page) || PageSum(page.data(), pageSize) != l.sum))
        return true;
    return false;
  };
  if (proof && (FoldUnderWayElsewhere() || foldMoved() || readsOtherwiseNow())) {
    for (int waited = 0; FoldUnderWayElsewhere() && waited < kWaitForFoldMs; ++waited)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (FoldUnderWayElsewhere() || looksLeft == 0) return Verdict::Unknown;
    now = StateOfFile();
    return JudgeLog(kept, now, looksLeft - 1);
  }
  if (proof) return Verdict::WrittenOver;
  // What cannot be told is taken as it is, but only as it rests: a file
  // being written (a copy under way, just cut to nothing) is not yet what it
  // will be, and a look at it once it holds still may prove it.
  if (unknown && looksLeft > 0 && WaitForFileAtRest(now, pageSize)) {
    now = StateOfFile();
    return JudgeLog(kept, now, looksLeft - 1);
  }
  // Taken anew: the pages kept, as the file holds them now (none left of
  // them: the file's own first and last ones, or nothing would be compared).
  SetGeneration(now, GenerationOf(position));
  now.folded = position.folded;
  for (const Look& l : looks)
    if (l.present && !l.zero) AddSample(now, l.page, l.sum);
  if (now.samples == 0) SampleFile(now);
  return unknown ? Verdict::Unknown : allSame ? Verdict::Same : Verdict::Folded;
}

// Waits, a while at most, for the file to hold still: the same size a few
// milliseconds apart, with a whole first page. Whether it moved. Sizes only:
// a copy cuts the file and grows it, while times move with every touch (a
// tool touching it steadily would hold a writer here, its transaction open).
bool Connection::WaitForFileAtRest(const FileState& seen, std::uint32_t pageSize) const {
  bool moved = false;
  std::int64_t last = seen.size;
  for (int waited = 0; waited < kWaitForFoldMs; waited += kRestMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kRestMs));
    const std::int64_t now = StateOfFile().size;
    if (now == last && now >= std::int64_t(pageSize)) break;
    moved = true;
    last = now;
  }
  return moved;
}

Connection::Verdict Connection::JudgeJournal(const FileState& kept, FileState& now) {
  if (CutToNothing(kept, now)) return Verdict::WrittenOver;
  const std::uint32_t pageSize = kept.pageSize;
  std::vector<unsigned char> page;
  bool allSame = true;
  now.pageSize = pageSize;
  for (int i = 0; i < kept.samples; ++i) {
    const std::uint32_t p = kept.samplePage[i];
    const bool present = ReadPage(p, pageSize, page);
    const std::uint64_t sum = present ? PageSum(page.data(), pageSize) : 0;
    allSame &= present && (sum == kept.sampleSum[i] || WrittenHere(p, sum));
    if (present) AddSample(now, p, sum);
  }
  unsigned char header[32] = {};
  sqlite3_file* file = DatabaseFile();
  if (file == nullptr || file->pMethods->xRead(file, header, sizeof header, 0) != SQLITE_OK) return Verdict::Unknown;
  now.changeCounter = Big32(header + 24);
  if (allSame) return Verdict::Same;
  // Pages of this connection's own commit under way came after the state it
  // started from; otherwise every commit since raised the counter.
  if (writing_.active && writing_.pages.count(1) != 0) return Verdict::Unknown;
  const auto raised = static_cast<std::int32_t>(now.changeCounter - kept.changeCounter);
  return raised <= 0 ? Verdict::WrittenOver : Verdict::Unknown;
}

// ---- at the open -----------------------------------------------------------------

// Whether a program that uses SQLite has the log open: each holds a read lock
// on the index's byte 128 (the log's "dead man switch"), and so does every
// connection of this process to the file (counted in the lock file). With
// `openers`, also a program of ours still opening the file, which has not
// read the log yet: at a close, one may be about to; to one opening, another
// opener is none (two of them would otherwise refuse each other for good).
bool Connection::LogInUse(bool openers) {
  const bool holders = openers ? sharing_->OthersHoldFile(heldInode_) : sharing_->OthersHereHoldFile(heldInode_);
  return holders || IndexLockedElsewhere(sharing_->IndexDescriptor(), 128, 1);
}

// Whether a program that uses SQLite folds the log into the file now: it
// holds the folder's lock on the log's index (or rebuilds the index, which
// may fold). This process's own folds run under the kept state's lock.
bool Connection::FoldUnderWayElsewhere() {
  return IndexLockedElsewhere(sharing_->IndexDescriptor(), 121, 2);  // the folder's lock, then the recovery's
}

// The name a log (or journal) is kept aside under: one SQLite never reads,
// dated by when the file was last known whole.
std::string Connection::AsideName(const char* suffix, const FileState& kept) const {
  const std::time_t when = static_cast<std::time_t>(kept.keptAt / 1'000'000'000);
  std::tm local {};
  ::localtime_r(&when, &local);
  char date[32];
  std::strftime(date, sizeof date, "%Y%m%d-%H%M%S", &local);
  return path_ + suffix + "-kept-" + date;
}

// Moves the log (or journal) aside; the name it took, or empty when it could
// not (another user moved it first).
std::string Connection::KeepAside(const char* suffix, const FileState& kept) {
  const std::string from = path_ + suffix;
  const std::string name = AsideName(suffix, kept);
  std::string to = name;
  for (int n = 2; ::access(to.c_str(), F_OK) == 0; ++n) to = name + "-" + std::to_string(n);
  if (::rename(from.c_str(), to.c_str()) != 0) return {};
  if (std::string(suffix) == "-wal") ::unlink((path_ + "-shm").c_str());  // its index, of no use now
  return to;
}

// A copy of the log aside (the log itself stays for those who have it open);
// its name, or empty when it could not be made.
std::string Connection::CopyAside(const char* suffix, const FileState& kept) {
  const std::string name = AsideName(suffix, kept);
  std::string to = name;
  int out = -1;
  for (int n = 2; (out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666)) < 0 && errno == EEXIST; ++n)
    to = name + "-" + std::to_string(n);
  const int in = ::open((path_ + suffix).c_str(), O_RDONLY | O_CLOEXEC);  // SQLite locks no log
  bool whole = out >= 0 && in >= 0;
  std::vector<char> buffer(1 << 16);
  for (ssize_t got = 0; whole && (got = ::read(in, buffer.data(), buffer.size())) != 0;)
    whole = got > 0 && ::write(out, buffer.data(), std::size_t(got)) == got;
  whole = whole && ::fsync(out) == 0;
  if (in >= 0) ::close(in);
  if (out >= 0) ::close(out);
  if (!whole && out >= 0) ::unlink(to.c_str());
  return whole ? to : std::string();
}

// The log of contents written over, taken out of SQLite's way while other
// programs may still have it open: with every lock of the log held, as
// SQLite's own fold-and-empty takes them, its frames are copied aside, the
// log is emptied and its index marked unset. Every user of the file then
// rebuilds the index from the empty log at its next look and reads the file
// as copied: none can fold the old frames into it. False while any of them
// reads or writes (the close tries again).
bool Connection::SetLogAside(const FileState& kept) {
  WriterFile* w = WriterFile::In(db_);
  if (w == nullptr || w->index == nullptr || sqlite3_get_autocommit(db_) == 0) return false;
  sqlite3_file* real = w->layer.real;
  // The writer's, the folder's and the recovery's locks, and every reader's.
  constexpr int kLocks[][2] = {{0, 1}, {1, 1}, {2, 1}, {3, 5}};
  // Users of the log hold its locks only for a transaction: a short wait
  // finds a moment between two.
  int taken = 0;
  for (int tries = 0; taken < 4 && tries < kWaitForUsersMs; ++tries) {
    while (taken < 4 && real->pMethods->xShmLock(real, kLocks[taken][0], kLocks[taken][1],
                                                 SQLITE_SHM_LOCK | SQLITE_SHM_EXCLUSIVE) == SQLITE_OK)
      ++taken;
    if (taken == 4) break;
    while (taken > 0) {
      --taken;
      real->pMethods->xShmLock(real, kLocks[taken][0], kLocks[taken][1], SQLITE_SHM_UNLOCK | SQLITE_SHM_EXCLUSIVE);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  bool done = false;
  if (taken == 4) {
    const std::string aside = CopyAside("-wal", kept);
    if (!aside.empty()) {
      // The index first: killed between the two, the next user rebuilds it
      // from the log, which the state names as of the contents before (no
      // opener reads it); the other way round, an index would stand for
      // frames no longer in the log.
      auto* index = const_cast<volatile unsigned char*>(w->index);
      index[12] = 0;  // "set up" in both copies of the index's header
      index[48 + 12] = 0;
      real->pMethods->xShmBarrier(real);
      done = ::truncate((path_ + "-wal").c_str(), 0) == 0;
      if (done) aside_ = aside;
    }
  }
  while (taken-- > 0)
    real->pMethods->xShmLock(real, kLocks[taken][0], kLocks[taken][1], SQLITE_SHM_UNLOCK | SQLITE_SHM_EXCLUSIVE);
  return done;
}

// Whether the log beside the file is of the generation the state names, or
// of a later start of it.
bool Connection::LogOfKeptLineage(const FileState& kept) const {
  const LogGeneration log = ReadLogGeneration(path_ + "-wal");
  return log == LogGeneration{true, kept.logSalt1, kept.logSalt2} || log.Follows(kept.logSalt1);
}

// Once SQLite has opened the file and before it reads the log or journal
// beside it: a log of other contents is never read into this file.
void Connection::CheckLogBelongsToFile() {
  if (network_) {
    CheckJournalBelongsToFile();
    return;
  }
  if (!HasContent(path_ + "-wal")) return;
  // Shared: the companion file may not be open for writing yet. Of two
  // openers moving the log aside, one does (KeepAside).
  StateLock lock(*sharing_, false, kWaitForWriterMs);
  FileState kept;
  if (!lock.Held() || !sharing_->ReadState(kept)) return;  // nothing to tell by: SQLite's own rules
  const FileState found = StateOfFile();
  const bool keptLineage = LogOfKeptLineage(kept);
  bool ofOtherFile = false;
  if (kept.inode != found.inode) {
    // Replaced at the path while a program that held the earlier file was
    // ended: its log is that file's (of the generation kept, or a later one).
    ofOtherFile = keptLineage;
  } else if (kept.logBefore) {
    ofOtherFile = keptLineage;
  } else {
    FileState now;
    ofOtherFile = Judge(kept, now) == Verdict::WrittenOver;
  }
  if (!ofOtherFile) return;
  if (readOnly_ || LogInUse(false)) RefuseOtherContentsLog();
  SetAside("-wal", kept, lock);
}

// Network mode: a journal left by a commit cut short (a hot one: nobody holds
// the reserved lock) is rolled back into the file by the next reader. One of
// other contents never is: of the file that stood at the path before (its
// holder killed, the file then replaced), or of what a copy wrote over. A
// state kept of another file tells a replacement, since every writer of this
// file keeps its own as it opens it (a backup put at the path may well carry
// the change counter the journal names). Otherwise a commit cut short leaves
// the file's change counter as the journal's first page holds it or one on,
// and never below what the last commit kept; any other counter was written by
// another program. Everything else is SQLite's to roll back.
void Connection::CheckJournalBelongsToFile() {
  if (!HasContent(path_ + "-journal")) return;
  sqlite3_file* file = DatabaseFile();
  int reserved = 0;
  if (file == nullptr || file->pMethods->xCheckReservedLock(file, &reserved) != SQLITE_OK || reserved != 0) return;
  StateLock lock(*sharing_, false, kWaitForWriterMs);
  if (!lock.Held()) return;
  unsigned char header[32] = {};
  if (file->pMethods->xRead(file, header, sizeof header, 0) != SQLITE_OK) return;
  const std::uint32_t counter = Big32(header + 24);
  const std::int64_t before = JournalsFirstPageCounter(path_ + "-journal");
  FileState kept;
  const bool have = sharing_->ReadState(kept);
  const std::uint64_t inode = StateOfFile().inode;
  const bool keptHere = have && kept.network && kept.pageSize != 0 && kept.inode == inode;
  const bool replaced = have && kept.inode != 0 && kept.inode != inode;
  // Without the first page: a counter gone back tells a copy.
  const bool other = replaced || (before >= 0 ? counter != std::uint32_t(before) && counter != std::uint32_t(before) + 1
                                              : keptHere && static_cast<std::int32_t>(counter - kept.changeCounter) < 0);
  if (!other) return;
  if (!have) kept.keptAt = WallClockNs();  // dates the name it is kept under
  if (readOnly_ || sharing_->OthersHoldFile(heldInode_)) RefuseOtherContentsLog();
  SetAside("-journal", kept, lock);
}

[[noreturn]] void Connection::RefuseOtherContentsLog() {
  CloseUnrecognised();
  throw TDaoFailure(errFileInUse, "Couldn't use '" + path_ +
                                      "'; it was written over or replaced by another program while it was open, "
                                      "and the log beside it holds what was there before.  Try again when every "
                                      "user has closed it, or open it once for writing.");
}

// The log (or journal) of other contents goes aside; this open is refused
// once, naming it, and the next one reads the file as it is.
void Connection::SetAside(const char* side, const FileState& kept, StateLock& lock) {
  const std::string aside = KeepAside(side, kept);
  lock.Release();
  if (aside.empty()) return;  // gone already: another user moved it
  CloseUnrecognised();
  throw TDaoFailure(errFileInUse, "Couldn't use '" + path_ +
                                      "' as it was found: it was written over or replaced by another program, and "
                                      "the changes made to what was there before are kept in '" + aside +
                                      "'.  Open the database again to use the file as it is now.");
}

// After joining the sharing mode: the file as it is now is the one watched.
// An opener reads the file as it finds it: one written over since the state
// was kept (with no log left of what was there before) is taken as it is, and
// every connection that had it open is told.
void Connection::WatchFileContents() {
  watchContent_ = true;
  if (WriterFile* w = WriterFile::In(db_)) w->owner = this;
  FileState kept, now;
  // The count goes on across files at the path (it is never lowered): copies
  // over a file that stood here before are none of this one's.
  if (sharing_->ReadState(kept)) KnowCount(kept);
  if (readOnly_) return;
  if (!network_) sqlite3_wal_hook(db_, &Connection::AfterCommit, this);
  StateLock lock(*sharing_, true, kWaitForWriterMs);
  if (!lock.Held()) return;
  // Read again under the lock: the writer that held it may have kept a later
  // state meanwhile (of a log started anew, which the one before could not
  // tell a copy by).
  const bool read = sharing_->ReadState(kept);
  if (read) KnowCount(kept);
  const bool have = read && kept.inode == StateOfFile().inode;
  if (have && !network_ && kept.logBefore && HasContent(path_ + "-wal") && LogOfKeptLineage(kept)) {
    // Told written over since this open made sure of the log (the copy
    // landed meanwhile), and the log of the contents before not set aside
    // yet (others use it): this connection has read through it, as they
    // have, and is refused as they are. Kept as the copy's, the log would be
    // folded into it by its last user.
    lock.Release();
    FoundWrittenOver(kept);
    tellPending_ = false;
    return;
  }
  const bool writtenOver = have && Judge(kept, now) == Verdict::WrittenOver;
  if (writtenOver && !network_ && HasContent(path_ + "-wal")) {
    // Written over since the log was looked at: the log is of the contents
    // before, and is told as any user of the file tells it.
    lock.Release();
    FoundWrittenOver(kept);
    TellWrittenOver();
    return;
  }
  if (!have || writtenOver) {
    // A copy under way is taken once it is whole.
    if (writtenOver) WaitForFileAtRest(StateOfFile(), kept.pageSize);
    now = StateOfFile();
    if (!network_) NoteLogPosition(now);
    SampleFile(now);
    if (have) now.copies = kept.copies + 1;
  }
  copiesSeen_ = std::max(copiesSeen_, now.copies);
  Keep(now);
}

void Connection::UseAsScratch() {
  Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-2048");
  watchContent_ = false;
  if (WriterFile* w = WriterFile::In(db_)) w->owner = nullptr;
  sqlite3_wal_hook(db_, nullptr, nullptr);
}

// ---- before every save, edit and cursor ---------------------------------------------

bool Connection::ContentsWrittenOver(int looksLeft) {
  if (overwritten_) TellWrittenOver();
  if (!watchContent_ || overwritten_) return overwritten_;
  // A journal beside the file in network mode: a commit under way (or one to
  // be rolled back), whose pages are no state to judge.
  if (network_ && HasContent(path_ + "-journal")) return false;
  const FileState found = StateOfFile();
  // A writer at it (folding, or keeping what it wrote) is waited for: it
  // may be finding the file written over, and a save let through meanwhile
  // would go into the log of the contents before. (Its state is whole to
  // read without the lock, should it take longer.)
  StateLock lock(*sharing_, false, kWaitForWriterMs);
  FileState stored;
  if (!sharing_->ReadState(stored)) {
    // None kept (the lock file emptied or garbled): a writer keeps the file
    // as it stands, for the next look to be judged by.
    lock.Release();
    StateLock keep(*sharing_, true);
    if (!readOnly_ && keep.Held() && !sharing_->ReadState(stored)) {
      FileState now = StateOfFile();
      if (!network_) NoteLogPosition(now);
      SampleFile(now);
      Keep(now);
    }
    return false;
  }
  if (stored.inode != found.inode) return false;
  lock.Release();
  keptLog_ = GenerationOf(stored);  // the generation kept, by whichever writer
  if (CopiedSince(stored)) {
    // Another connection found it written over since this one opened it.
    FoundWrittenOver(stored);
    tellPending_ = false;
    return true;
  }
  // The file as judged here stands for the kept state until that changes.
  const bool judged = judged_.sequence == stored.sequence && judged_.state.inode != 0;
  const FileState& kept = judged ? judged_.state : stored;
  // A writer keeps the log's generation too: once it started anew, the state
  // is judged and kept again.
  const WriterFile* w = readOnly_ || network_ ? nullptr : WriterFile::In(db_);
  const LogIndex index = ReadLogIndex(w != nullptr ? w->index : nullptr);
  const bool logMoved = index.valid && index.frames != 0 && !(index.generation == GenerationOf(stored));
  if (found.SameFile(kept) && !logMoved) {
    if (Settled(kept) || (judged && judged_.trusted)) return false;
    // Within a tick of the file's last change an equal time proves nothing:
    // the pages kept (network mode: the change counter) do; within it, the
    // first of them is looked at (a copy of an older backup differs in all the
    // last fold wrote), and a tick later all of them, once: an equal time then
    // proves it from then on. Where times are whole seconds the tick is two
    // seconds, long enough for a copy of a recent backup to match one page:
    // all of them are looked at throughout.
    const bool later = WallClockNs() - ChangedNs(kept) >= TimeGrain(kept);
    const bool wholeSeconds = kept.changedNanoseconds == 0;
    if (SamplesAsKept(kept, later || wholeSeconds ? FileState::kSamples : 1)) {
      if (later) judged_ = {stored.sequence, kept, true};
      return false;
    }
  }
  FileState now;
  Verdict verdict = Judge(kept, now);
  // Network mode: a commit of another user may be under way unseen (its
  // journal made after the look): the proof must hold a moment later too,
  // with the state that commit keeps.
  for (int look = 0; network_ && verdict == Verdict::WrittenOver && look < 3; ++look) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    FileState latest;
    if (HasContent(path_ + "-journal") || !sharing_->ReadState(latest)) return false;
    if (latest.sequence != stored.sequence) return ContentsWrittenOver(looksLeft);
    verdict = Judge(kept, now);
  }
  if (verdict == Verdict::WrittenOver) {
    FoundWrittenOver(kept);
    TellWrittenOver();
    return true;
  }
  // Another connection may have proven a copy meanwhile and emptied the log
  // this look read: it has raised the count first.
  FileState latest;
  const bool keptHere = sharing_->ReadState(latest) && latest.inode == found.inode;
  if (keptHere && CopiedSince(latest)) {
    FoundWrittenOver(latest);
    tellPending_ = false;
    return true;
  }
  // A look that could not tell while a writer kept a later state (of a log
  // started anew, say) is made again against that one.
  if (keptHere && verdict == Verdict::Unknown && latest.sequence != stored.sequence && looksLeft > 0)
    return ContentsWrittenOver(looksLeft - 1);
  judged_ = {stored.sequence, now, Settled(now)};
  // A writer keeps what it found (a touch, another program's fold), and once
  // more when the time it kept can be trusted from now on.
  if (!readOnly_ && (verdict != Verdict::Same || !found.SameFile(kept) || (!Settled(kept) && Settled(now)) || logMoved)) {
    StateLock keep(*sharing_, true);
    if (keep.Held() && sharing_->ReadState(latest) && latest.sequence == stored.sequence) Keep(now);
  }
  return false;
}

// The count of copies as a state read says it, from the open on.
void Connection::KnowCount(const FileState& state) {
  copiesSeen_ = state.copies;
  countLineage_ = state.lineage;
  countKnown_ = true;
}

// Whether a copy was told since this connection last knew the count. A
// state kept afresh since (its lock file emptied or garbled) counts anew,
// as does the first one read by a connection that opened with none: its
// count is taken as known, or a user who opened the file meanwhile would be
// refused by the count of one who had it open before.
bool Connection::CopiedSince(const FileState& state) {
  if (!countKnown_ || state.lineage != countLineage_) {
    KnowCount(state);
    return false;
  }
  return state.copies > copiesSeen_;
}

void Connection::FoundWrittenOver(const FileState& kept) {
  overwritten_ = true;
  overKept_ = kept;
  tellPending_ = !readOnly_;
}

// Tells the others, once outside SQLite's calls and the state's lock: the log
// of the contents before goes aside, and the kept state, now of the file as
// copied, counts one copy more, so that every connection that had the file
// open is refused (with the log emptied, none could prove it itself). A log
// still in use is named in the state as of the contents before: no opener
// reads it, and the last user out moves it aside.
void Connection::TellWrittenOver() {
  if (!tellPending_ || db_ == nullptr) return;
  tellPending_ = false;
  bool logBefore = !network_ && HasContent(path_ + "-wal");
  // The count first: a connection that then finds the log emptied (and can
  // prove nothing by it) finds the count raised.
  bool told = false;
  {
    StateLock keep(*sharing_, true, kWaitForWriterMs);
    FileState latest;
    if (keep.Held() && sharing_->ReadState(latest)) {
      if (ToldByAnother(latest)) {
        // Its log is the copy's new users' once the teller set the one
        // before aside.
        logBefore = logBefore && latest.logBefore;
      } else {
        FileState now = StateOfFile();
        if (!network_) NoteLogPosition(now);
        SampleFile(now);
        now.copies = latest.copies + 1;
        now.logBefore = logBefore;
        sharing_->WriteState(now);
      }
      told = true;
    }
  }
  const bool setAside = logBefore && SetLogAside(overKept_);
  if (logBefore && !setAside) {
    aside_ = AsideName("-wal", overKept_);
    asidePending_ = true;
  }
  if (!told || !setAside) return;
  StateLock keep(*sharing_, true, kWaitForWriterMs);
  FileState latest;
  if (keep.Held() && sharing_->ReadState(latest) && latest.logBefore) {
    // Emptied, the log names no generation: the next one is named at the
    // first look after its first commit (a program whose connection folded
    // before starts it with both salts nought, as it may have started the
    // one set aside).
    latest.logBefore = false;
    SetGeneration(latest, {});
    latest.folded = 0;
    sharing_->WriteState(latest);
  }
}

// Whether the copy this connection proved (against a state kept before) is
// one another connection told since this one last knew the count: the file
// is still as that teller kept it, or changed since only as a fold or a
// look that cannot tell explains. Counted again, it would refuse every user
// who opened the copy meanwhile and set their saves aside.
bool Connection::ToldByAnother(const FileState& latest) {
  if (!CopiedSince(latest) || latest.inode != StateOfFile().inode) return false;
  FileState now;
  return Judge(latest, now) != Verdict::WrittenOver;
}

void Connection::RefuseWrittenOver() {
  std::string kept;
  if (!aside_.empty())
    kept = "  What was saved in it before that is kept beside it in '" + aside_ + "'" +
           (asidePending_ ? " once every program has closed it." : ".");
  throw TDaoFailure(errDiskOrNetwork, "The database file '" + path_ +
                                          "' was written over by another program while it was open, so nothing "
                                          "more can be saved in it.  Open the database again." + kept);
}

// ---- changing the file ------------------------------------------------------------------

// Folds the log into the file, keeping the file's state; never into contents
// written over meanwhile. Not while another writer is at it (it folds).
void Connection::FoldKeepingState(int mode) {
  if (overwritten_) return;
  // A file moved away from the path is none of the kept state's: it is
  // folded as SQLite folds it (see CloseKeepingState).
  if (!FileInPlace()) {
    sqlite3_wal_checkpoint_v2(db_, "main", mode, nullptr, nullptr);
    return;
  }
  // Nothing to fold: every frame of the log is in the file already.
  const WriterFile* w = WriterFile::In(db_);
  const LogIndex index = ReadLogIndex(w != nullptr ? w->index : nullptr);
  if (index.valid && index.folded >= index.frames) return;
  StateLock lock(*sharing_, true);
  if (!lock.Held()) return;
  BeginWriting();
  writing_.active = !overwritten_;
  FileState before;
  NoteLogPosition(before);
  if (!overwritten_) sqlite3_wal_checkpoint_v2(db_, "main", mode, nullptr, nullptr);
  writing_.active = false;
  if (overwritten_) {
    lock.Release();
    TellWrittenOver();
    return;
  }
  FileState now = StateOfFile();
  const bool wrote = !writing_.pages.empty() || !writing_.haveBase;
  if (wrote) {
    TakeWrittenPages(now);
    // The generation as before the fold (a later one may have folded more).
    NoteLogPosition(now);
    if (!(GenerationOf(now) == GenerationOf(before))) now.folded = before.folded;
    SetGeneration(now, GenerationOf(before));
  }
  // Judged before it is kept: what the fold wrote must still read so (a copy
  // landing after its last write is seen by no write), or, with nothing
  // written, the state it began from must still hold.
  FileState judged;
  if (Judge(wrote ? now : writing_.base, judged) == Verdict::WrittenOver) {
    FoundWrittenOver(writing_.haveBase ? writing_.base : now);
    lock.Release();
    TellWrittenOver();
    return;
  }
  Keep(wrote ? now : judged);
}

// A commit starts the log anew once every frame of it is folded into the
// file (or writes the first frames of a log new or emptied), and the state
// kept then still names the log before: a copy landing meanwhile could not
// be told from a fold. So just before such a commit the sampled pages are
// read as they stand (nothing is left to fold), and just after it they must
// still be so, or hold a frame of the new log; they are then kept at once
// with the new log's generation (see AfterCommit).
bool Connection::NoteBeforeCommit() {
  beforeRestart_ = {};
  if (network_ || readOnly_) return false;
  FileState now = StateOfFile();
  // Cut to nothing since the look just made: refused before it commits.
  if (FileState kept; sharing_->ReadState(kept) && kept.inode == now.inode && CutToNothing(kept, now)) {
    FoundWrittenOver(kept);
    TellWrittenOver();
    return true;
  }
  const LogIndex index = LogIndexNow();
  const WriterLog* log = WriterLog::In(db_);
  if (!index.valid || index.folded < index.frames || log == nullptr) return false;
  NoteLogPosition(now);
  SampleFile(now);
  beforeRestart_ = now;
  logStartsBefore_ = log->starts;
  return false;
}

// The generation this connection's commit just started, or none: a commit
// that did not start the log anew, or a log started anew again since (its
// locks are gone by the time the commit's look runs).
LogGeneration Connection::StartedByThisCommit(const LogIndex& index) const {
  const WriterLog* log = WriterLog::In(db_);
  if (beforeRestart_.pageSize == 0 || log == nullptr || log->starts == logStartsBefore_ || !index.valid ||
      !(index.generation == log->started))
    return {};
  return log->started;
}

bool Connection::ChangedAcrossRestart(const LogIndex& index) {
  const FileState& before = beforeRestart_;
  const LogFrames log = ReadLogFrames(path_ + "-wal", before.pageSize);
  if (!(log.generation == index.generation) || log.frames.size() < index.frames) return false;
  std::vector<unsigned char> page;
  for (int i = 0; i < before.samples; ++i) {
    const std::uint32_t p = before.samplePage[i];
    const bool present = ReadPage(p, before.pageSize, page);
    const std::uint64_t sum = present ? PageSum(page.data(), before.pageSize) : 0;
    if (!(present && sum == before.sampleSum[i]) && !ExplainedByLog(log, p, present, sum, 0)) return true;
  }
  return false;
}

// The file as it was just before the commit, under the new log's
// generation: kept before anyone looks again, so that a copy landing from
// now on is told by any user (until then a look could not tell it from a
// fold of the new log). The size and times as they were then, too: taken
// now, they could be a copy's, which a look would then trust unread.
void Connection::KeepAcrossRestart(const LogGeneration& started) {
  StateLock keep(*sharing_, true, kWaitForWriterMs);
  if (!keep.Held()) return;  // a writer stuck at it: the look after the commit keeps the state
  FileState kept = beforeRestart_;
  SetGeneration(kept, started);
  kept.folded = 0;
  Keep(kept);
}

// Replaces SQLite's own fold after a commit, which would change the file
// without keeping its state; and keeps the state again once the log started
// anew, so that it names the log's generation.
int Connection::AfterCommit(void* connection, sqlite3*, const char*, int pages) {
  auto* c = static_cast<Connection*>(connection);
  if (c->beforeRestart_.pageSize != 0) {
    const LogIndex index = c->LogIndexNow();
    bool changed = false;
    if (const LogGeneration started = c->StartedByThisCommit(index); started.present) {
      changed = c->ChangedAcrossRestart(index);
      if (changed)
        c->FoundWrittenOver(c->beforeRestart_);
      else
        c->KeepAcrossRestart(started);
    }
    c->beforeRestart_ = {};
    // The commit went into a log started anew over contents written over:
    // it is not reported done, and the log goes aside.
    if (changed) return SQLITE_IOERR_VNODE;
  }
  if (pages >= kFoldAfterPages) {
    c->FoldKeepingState(SQLITE_CHECKPOINT_PASSIVE);
  } else if (const WriterFile* w = WriterFile::In(c->db_)) {
    const LogIndex index = ReadLogIndex(w->index);
    if (index.valid && !(index.generation == c->keptLog_)) c->ContentsWrittenOver();  // kept anew there
  }
  return SQLITE_OK;
}

// The last connection's close folds the log into the file: kept likewise, and
// never into contents written over, whose log goes aside once nobody uses it.
void Connection::CloseKeepingState() {
  // A file no longer at the path is none of the kept state's: its log is
  // folded in as SQLite folds it (nobody else can use that log meanwhile,
  // see HoldFileAtPath), or it would be taken for the next file's.
  if (!watchContent_ || readOnly_ || !FileInPlace()) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
    return;
  }
  StateLock lock(*sharing_, true, kWaitForWriterMs);
  writing_ = {};
  if (!overwritten_ && lock.Held()) BeginWriting();
  if (overwritten_ || !lock.Held()) {
    // The log of the contents before goes aside: now, or by the last user out.
    const bool held = lock.Held();
    lock.Release();
    if (overwritten_) TellWrittenOver();
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_close_v2(db_);
    db_ = nullptr;
    // The last user out moves the log of the contents before aside, whether
    // it told or learnt it from the count: the state says whose the log is
    // (once moved, a log beside the file is of the contents as copied).
    if (overwritten_ && held && HasContent(path_ + "-wal") && !LogInUse(true)) {
      StateLock keep(*sharing_, true, kWaitForWriterMs);
      FileState latest;
      if (keep.Held() && sharing_->ReadState(latest) && latest.inode == fileInode_ && latest.logBefore &&
          !KeepAside("-wal", asidePending_ ? overKept_ : latest).empty()) {
        latest.logBefore = false;
        sharing_->WriteState(latest);
      }
    }
    return;
  }
  writing_.active = !network_;
  FileState before;
  NoteLogPosition(before);
  sqlite3_close_v2(db_);
  db_ = nullptr;
  writing_.active = false;
  if (overwritten_ || writing_.pages.empty()) return;
  FileState now = StateOfFile();
  TakeWrittenPages(now);
  // A whole fold at the close removes the log: none is left to name.
  if (HasContent(path_ + "-wal")) {
    SetGeneration(now, GenerationOf(before));
  }
  Keep(now);
}

// Before this connection changes the file: the state it starts from, judged
// against the file (a connection that finds it written over is refused), and
// the file as it stands, which each write is then compared with.
void Connection::BeginWriting() {
  writing_ = {};
  writing_.pageSize = PageSize();
  const FileState found = StateOfFile();
  writing_.expected = found;
  if (!sharing_->ReadState(writing_.base) || writing_.base.inode != found.inode) return;
  writing_.haveBase = true;
  if (CopiedSince(writing_.base)) {
    FoundWrittenOver(writing_.base);
    tellPending_ = false;
  } else if (!found.SameFile(writing_.base) || (!Settled(writing_.base) && !SamplesAsKept(writing_.base))) {
    FileState now;
    if (Judge(writing_.base, now) == Verdict::WrittenOver)
      FoundWrittenOver(writing_.base);
    else
      writing_.base = now;
  }
}

// ---- the file layer's calls ---------------------------------------------------------------

// Before each write of a change this connection brackets: the file as its
// last write left it, or else judged.
int Connection::BeforeFileWrite() {
  if (!writing_.active) return SQLITE_OK;
  const FileState now = StateOfFile();
  if (now.SameFile(writing_.expected) && LastWriteReadsBack()) return SQLITE_OK;
  if (writing_.haveBase) {
    FileState judged;
    if (Judge(writing_.base, judged) == Verdict::WrittenOver) {
      FoundWrittenOver(writing_.base);
      // Network mode: refused, SQLite would roll its journal back, writing
      // pages of the contents before into the copy. The journal goes aside
      // and is emptied first (nobody else uses it while this commit runs).
      if (network_ && HasContent(path_ + "-journal") && !CopyAside("-journal", writing_.base).empty())
        (void)!::truncate((path_ + "-journal").c_str(), 0);
      return SQLITE_IOERR_VNODE;
    }
  }
  writing_.expected = now;
  return SQLITE_OK;
}

// A copy written whole between two writes of a change, within one tick of
// the clock, may leave the file's size and time as they were: the page
// written last then no longer reads back as written (a copy of a backup
// holds it as it was before).
bool Connection::LastWriteReadsBack() const {
  std::vector<unsigned char> page;
  return writing_.lastPage == 0 ||
         (ReadPage(writing_.lastPage, writing_.pageSize, page) &&
          PageSum(page.data(), writing_.pageSize) == writing_.lastSum);
}

void Connection::AfterFileWrite(std::int64_t offset, const void* data, int size) {
  if (!writing_.active) return;
  const std::uint32_t pageSize = writing_.pageSize;
  if (data != nullptr && pageSize != 0 && std::uint32_t(size) == pageSize && offset % pageSize == 0) {
    writing_.lastPage = std::uint32_t(offset / pageSize) + 1;
    writing_.lastSum = PageSum(static_cast<const unsigned char*>(data), pageSize);
    writing_.pages[writing_.lastPage] = writing_.lastSum;
  }
  writing_.expected = StateOfFile();
}

// Network mode: a write transaction starts once SQLite holds the reserved
// lock, and from then on nobody else may commit: the file is judged then,
// and kept after the commit, before the lock goes.
int Connection::OnFileLock(int level) {
  if (!network_ || readOnly_ || !watchContent_ || level != kReservedLock || writing_.active) return SQLITE_OK;
  writing_ = {};
  if (!overwritten_) BeginWriting();
  if (overwritten_) {
    // Refused: the lock just taken goes back.
    writing_ = {};
    sqlite3_file* file = DatabaseFile();
    if (file != nullptr) file->pMethods->xUnlock(file, 1);
    return SQLITE_IOERR_VNODE;
  }
  writing_.active = true;
  return SQLITE_OK;
}

void Connection::OnFileUnlock(int level) {
  if (!network_ || !writing_.active || level >= kReservedLock) return;
  writing_.active = false;
  if (overwritten_ || writing_.pages.empty() || !FileInPlace()) return;
  FileState now = StateOfFile();
  TakeWrittenPages(now);
  unsigned char header[32] = {};
  if (sqlite3_file* file = DatabaseFile(); file != nullptr && file->pMethods->xRead(file, header, 32, 0) == SQLITE_OK)
    now.changeCounter = Big32(header + 24);
  StateLock keep(*sharing_, true, kWaitForWriterMs);
  if (keep.Held()) Keep(now);
}

}  // namespace dao
