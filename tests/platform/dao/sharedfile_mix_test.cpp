// A random mix of what users, their tools and faults do to one database file
// that tracker programs and another program using the SQLite library write at
// once: `touch` and tools setting times, kills at any moment, backups made and
// copied over the file in place, the file replaced by another, the lock file
// removed, emptied or garbled. Every save reported done is counted where it
// must be. The run fails on any save lost, any save in another file than its
// own, any refusal without a cause, and any file that does not open.
//
// Seconds in the suite; VANTREL_MIX_SECONDS sets a longer run (per mode),
// VANTREL_MIX_FOLDER a folder on another file system (say one with
// whole-second times), VANTREL_MIX_FAULTS a list of the faults to make
// (touch, times, other, kill, lock, copy, replace, killreplace), and
// VANTREL_MIX_DEBUG prints each event as it happens. The figures go to
// standard output.

#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "childprocess.h"
#include "daotest_util.h"
#include "sharedfile.h"

using namespace dao;
using daotest::ErrorOf;
namespace fs = std::filesystem;

namespace {

std::int64_t NowNs() {
  timespec t {};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Shared by the test and every process it starts (an anonymous shared page).
struct Board {
  std::atomic<std::int64_t> epoch;        // events that replace the contents or the lock file, begun
  std::atomic<std::int64_t> lastEventNs;  // when the last one ended
  std::atomic<int> stop;
  // The other program closes the file while the contents are replaced (a
  // program that knows nothing of the lock file shares the log of a file
  // replaced under it, as SQLite does; the README says so).
  std::atomic<int> otherPause;
  std::atomic<int> otherIdle;
  // The latest generation a tracker opened, by an open begun once the
  // contents it holds were whole at the path: one begun before read the file
  // before it was replaced, and set no log of the contents before aside.
  std::atomic<int> openedGen;
  std::atomic<std::int64_t> replacedNs;  // when the latest replacement was whole (INT64_MAX: under way)
  std::atomic<std::int64_t> trackerSaves;
};

struct SaveRecord {
  std::int32_t writer = 0, gen = 0;
  std::int64_t seq = 0, tStart = 0, tDone = 0;
};

struct RefusalRecord {
  std::int32_t writer = 0, error = 0;
  std::int32_t atOpen = 0, pad = 0;
  std::int64_t epochOpen = 0, epochNow = 0, t = 0, lastEvent = 0;
  char text[256] = {};
};

template <class Record>
void Append(int fd, const Record& r) {
  (void)!::write(fd, &r, sizeof r);  // one write each: whole or not at all, also when killed
}

template <class Record>
std::vector<Record> ReadAll(const std::string& path) {
  std::vector<Record> out;
  std::ifstream in(path, std::ios::binary);
  Record r;
  while (in.read(reinterpret_cast<char*>(&r), sizeof r)) out.push_back(r);
  return out;
}

using Row = std::pair<std::int32_t, std::int64_t>;  // writer, seq

// What a file holds at the end.
struct Contents {
  bool opens = false;
  bool whole = false;
  int gen = -1;
  std::map<Row, int> rows;  // each save's row, with the generation it was made in
};

// Read by SQLite alone from a copy of the file (and its log, when one is
// given), so that nothing is left beside the original.
Contents Read(const std::string& file, const std::string& log, const std::string& scratch) {
  Contents c;
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  const std::string copy = scratch + "/read.db";
  std::error_code ec;
  fs::copy_file(file, copy, ec);
  if (ec) return c;
  if (!log.empty()) fs::copy_file(log, copy + (log.find("-journal") != std::string::npos ? "-journal" : "-wal"), ec);
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(copy.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    daotest::KnowCaseBlindOrder(db);  // its indexes are checked too
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW) {
      c.opens = true;
      c.whole = std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))) == "ok";
    }
    sqlite3_finalize(s);
    if (sqlite3_prepare_v2(db, "SELECT Id FROM Gen", -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
      c.gen = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    for (const char* sql : {"SELECT Writer, Seq, Gen FROM Saves", "SELECT Writer, Seq, Gen FROM OtherSaves"}) {
      if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK)
        while (sqlite3_step(s) == SQLITE_ROW)
          c.rows[{sqlite3_column_int(s, 0), sqlite3_column_int64(s, 1)}] = sqlite3_column_int(s, 2);
      sqlite3_finalize(s);
    }
  }
  sqlite3_close(db);
  fs::remove_all(scratch);
  return c;
}

class SharedFileMix : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    daotest::UseNetworkMode(GetParam());
    const char* folder = std::getenv("VANTREL_MIX_FOLDER");
    base_ = folder != nullptr && *folder ? std::string(folder) + "/mix-" + std::to_string(::getpid())
                                         : daotest::ScratchDir();
    fs::remove_all(base_);
    fs::create_directories(base_ + "/db");
    fs::create_directories(base_ + "/reports");
    fs::create_directories(base_ + "/backups");
    path_ = base_ + "/db/Shared.MDB";
    void* page = ::mmap(nullptr, sizeof(Board), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(page, MAP_FAILED);
    board_ = new (page) Board{};
    const char* seconds = std::getenv("VANTREL_MIX_SECONDS");
    seconds_ = seconds != nullptr && std::atoi(seconds) > 0 ? std::atoi(seconds) : 3;
    MakeTemplate();
  }
  void TearDown() override {
    StopAll();
    if (board_ != nullptr) ::munmap(board_, sizeof(Board));
    daotest::UseNetworkMode(false);
    if (!HasFailure() || std::getenv("VANTREL_MIX_KEEP") == nullptr) fs::remove_all(base_);
  }

  // The first generation of the file: the tracker's tables, and one the
  // other program writes (outside the tracker's catalogue).
  void MakeTemplate() {
    TDatabaseCore::Create(path_, "");
    {
      TDatabaseCore db(path_, false, false, "");
      db.Execute("CREATE TABLE Saves (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Writer LONG, Seq LONG, Gen LONG, "
                 "Notes MEMO)");
      db.Execute("CREATE TABLE Gen (Id LONG)");
      db.Execute("INSERT INTO Gen (Id) VALUES (1)");
      db.Conn().Exec("CREATE TABLE OtherSaves (Writer INTEGER, Seq INTEGER, Gen INTEGER, Notes TEXT)");
    }
    gen_ = 1;
    fs::remove(path_ + "-lock");
  }

  std::string Report(const char* kind, int writer) const {
    return base_ + "/reports/" + kind + "-" + std::to_string(writer);
  }

  // ---- the writers -----------------------------------------------------------

  static std::string Notes(std::mt19937_64& rng) {
    const int size = rng() % 8 == 0 ? int(rng() % 6000) : int(rng() % 200);
    return std::string(std::size_t(size), char('a' + rng() % 26));
  }

  void Refused(int fd, int writer, int error, bool atOpen, std::int64_t epochOpen, const std::string& text) {
    RefusalRecord r;
    r.writer = writer;
    r.error = error;
    r.atOpen = atOpen;
    r.epochOpen = epochOpen;
    r.epochNow = board_->epoch.load();
    r.t = NowNs();
    r.lastEvent = board_->lastEventNs.load();
    std::strncpy(r.text, text.c_str(), sizeof r.text - 1);
    Append(fd, r);
  }

  // A tracker program: opens, saves a while, closes, again; refused, it opens again.
  int TrackerWriter(int writer) {
    std::mt19937_64 rng(std::uint64_t(writer) * 7919 + std::uint64_t(::getpid()));
    const int saves = ::open(Report("saves", writer).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int refusals = ::open(Report("refusals", writer).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    std::int64_t seq = 0;
    while (!board_->stop.load()) {
      const std::int64_t epochOpen = board_->epoch.load();
      const std::int64_t openBegun = NowNs();
      std::unique_ptr<TDatabaseCore> db;
      int gen = -1;
      std::string said;
      int error = 0;
      try {
        db = std::make_unique<TDatabaseCore>(path_, false, false, "");
        gen = int(db->OpenRecordset("SELECT Id FROM Gen", -1)->Value(0).AsInteger());
        for (int seen = board_->openedGen.load();
             openBegun > board_->replacedNs.load() && seen < gen && !board_->openedGen.compare_exchange_weak(seen, gen);) {
        }
      } catch (const TDaoFailure& e) {
        error = e.Number();
        said = e.Description();
      }
      if (error != 0) {
        db.reset();
        Refused(refusals, writer, error, true, epochOpen, said);
        SleepMs(1 + int(rng() % 20));
        continue;
      }
      const int n = 1 + int(rng() % 400);
      for (int i = 0; i < n && !board_->stop.load(); ++i) {
        SaveRecord s;
        s.writer = writer;
        s.gen = gen;
        s.seq = ++seq;
        s.tStart = NowNs();
        try {
          db->Execute("INSERT INTO Saves (Writer, Seq, Gen, Notes) VALUES (" + std::to_string(writer) + ", " +
                      std::to_string(seq) + ", " + std::to_string(gen) + ", '" + Notes(rng) + "')");
        } catch (const TDaoFailure& e) {
          Refused(refusals, writer, e.Number(), false, epochOpen, e.Description());
          break;
        }
        s.tDone = NowNs();
        Append(saves, s);
        board_->trackerSaves++;
      }
      db.reset();  // the last one out folds the log in
    }
    return 0;
  }

  // Another program: the SQLite library with its defaults (the log folded in
  // at 1,000 pages), now and then a VACUUM and a backup of its own.
  int OtherProgram(int writer) {
    std::mt19937_64 rng(std::uint64_t(writer) * 104729 + std::uint64_t(::getpid()));
    const int saves = ::open(Report("saves", writer).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int refusals = ::open(Report("refusals", writer).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    std::int64_t seq = 0;
    while (!board_->stop.load()) {
      if (board_->otherPause.load()) {
        board_->otherIdle = 1;
        while (board_->otherPause.load() && !board_->stop.load()) SleepMs(1);
        board_->otherIdle = 0;
        continue;
      }
      const std::int64_t epochOpen = board_->epoch.load();
      daotest::SqliteProgram p(path_);
      const int gen = int(p.Number("SELECT Id FROM Gen"));
      if (gen < 0) {
        Refused(refusals, writer, 1000 + sqlite3_errcode(p.Handle()), true, epochOpen,
                p.Handle() ? sqlite3_errmsg(p.Handle()) : "no connection");
        SleepMs(1 + int(rng() % 20));
        continue;
      }
      const int n = 1 + int(rng() % 600);
      for (int i = 0; i < n && !board_->stop.load() && !board_->otherPause.load(); ++i) {
        SaveRecord s;
        s.writer = writer;
        s.gen = gen;
        s.seq = ++seq;
        s.tStart = NowNs();
        const int rc = p.Exec("INSERT INTO OtherSaves (Writer, Seq, Gen, Notes) VALUES (" + std::to_string(writer) +
                              ", " + std::to_string(seq) + ", " + std::to_string(gen) + ", '" + Notes(rng) + "')");
        if (rc != SQLITE_OK) {
          Refused(refusals, writer, 1000 + rc, false, epochOpen, sqlite3_errmsg(p.Handle()));
          break;
        }
        s.tDone = NowNs();
        Append(saves, s);
        if (rng() % 3000 == 0) p.Exec("VACUUM");
        if (rng() % 2000 == 0) {
          const std::string copy = base_ + "/reports/other-backup-" + std::to_string(::getpid());
          p.BackUpTo(copy);
          fs::remove(copy);
        }
      }
    }
    return 0;
  }

  // ---- the processes ---------------------------------------------------------

  struct Process {
    pid_t pid = -1;
    int slot = 0;
    bool other = false;
    int incarnation = 0;
  };

  void Start(Process& p) {
    const int writer = (p.other ? 900 : 100) + p.slot * 1000 + p.incarnation++ * 10000;
    writers_.push_back(writer);
    // Not idle until it says so: one killed while idle left the mark set, and
    // the file would be replaced while the new one had it open.
    if (p.other) board_->otherIdle = 0;
    const pid_t pid = ::fork();
    if (pid == 0) {
      int code = 97;
      try {
        code = p.other ? OtherProgram(writer) : TrackerWriter(writer);
      } catch (...) {
        code = 98;
      }
      ::_exit(code);
    }
    p.pid = pid;
    if (std::getenv("VANTREL_MIX_DEBUG")) std::fprintf(stderr, "event: writer %d is process %d\n", writer, int(pid));
  }

  void Kill(Process& p) {
    if (p.pid <= 0) return;
    ::kill(p.pid, SIGKILL);
    int status = 0;
    ::waitpid(p.pid, &status, 0);
    p.pid = -1;
  }

  void StopAll() {
    if (board_ == nullptr) return;
    board_->stop = 1;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (Process& p : processes_) {
      if (p.pid <= 0) continue;
      int status = 0;
      while (::waitpid(p.pid, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < limit) SleepMs(2);
      if (std::chrono::steady_clock::now() >= limit) {
        ADD_FAILURE() << "a writer did not end";
        Kill(p);
      }
      p.pid = -1;
    }
  }

  // ---- what happens to the file ---------------------------------------------

  struct Replacement {
    int oldGen = 0, newGen = 0;
    bool inPlace = false;          // copied over the file, else renamed over the path
    std::int64_t begun = 0, ended = 0;
    std::set<Row> copied;          // the rows of the backup it was made from
    std::string kept;              // the replaced file, found again (renamed over)
  };

  // Programs that know nothing of the lock file share the log of a file
  // replaced at the path with those that still hold the earlier one, as
  // SQLite does (the README says so): they keep off the file until no
  // tracker holds the earlier one.
  bool EarlierFileHeld() {
    if (replacedInode_ == 0) return false;
    const int fd = ::open((path_ + "-lock").c_str(), O_RDONLY | O_CLOEXEC);
    bool held = false;
    if (fd >= 0) {
      struct flock probe {};
      probe.l_type = F_WRLCK;
      probe.l_whence = SEEK_SET;
      probe.l_start = off_t((std::int64_t{1} << 56) + std::int64_t(replacedInode_ & ((std::uint64_t{1} << 40) - 1)));
      probe.l_len = 1;
      held = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
      ::close(fd);
    }
    if (!held) replacedInode_ = 0;
    return held;
  }

  // Nor, after the contents were replaced, until a tracker has opened them:
  // the log of the contents before (of a file copied over, or one a program
  // killed holding the earlier file left) may lie beside the path until then;
  // the tracker sets it aside, SQLite alone would read it as the new
  // contents' (the README says so too).
  bool KeepOff() { return EarlierFileHeld() || board_->openedGen.load() < gen_; }

  // A backup as a user makes one while the file is in use. One that came out
  // damaged (made while the file was being written over, say) is not used.
  void BackUp() {
    if (KeepOff()) return;
    const std::string copy = base_ + "/backups/b" + std::to_string(backupsMade_++) + ".MDB";
    bool made = false;
    {
      daotest::SqliteProgram p(path_);
      made = p.Open() && p.BackUpTo(copy);
    }
    if (!made) return;
    if (Read(copy, "", base_ + "/read").whole)
      backups_.push_back(copy);
    else
      ++damagedBackups_;
    // The latest few: a long run would otherwise fill the disk with them.
    if (backups_.size() > kBackupsKept) {
      fs::remove(backups_.front());
      backups_.erase(backups_.begin());
    }
  }

  // A backup, given a generation of its own, as bytes to put at the path.
  // Its header's change counter is put back to the one of the file it was
  // taken from (the backup and the mark each counted a commit of their own),
  // so that it is the file as a copy tool would have taken it then.
  std::string Prepared(const std::string& backup, int gen, std::set<Row>& rows) {
    const std::string work = base_ + "/backups/work.MDB";
    fs::remove(work);
    fs::copy_file(backup, work);
    {
      daotest::SqliteProgram p(work);
      p.Exec("UPDATE Gen SET Id = " + std::to_string(gen));
    }
    const Contents c = Read(work, "", base_ + "/read");
    for (const auto& [row, g] : c.rows) rows.insert(row);
    std::string bytes = daotest::FileBytes(work);
    fs::remove(work);
    const auto counter = [&](std::size_t at) {
      return (std::uint32_t(std::uint8_t(bytes[at])) << 24) | (std::uint32_t(std::uint8_t(bytes[at + 1])) << 16) |
             (std::uint32_t(std::uint8_t(bytes[at + 2])) << 8) | std::uint8_t(bytes[at + 3]);
    };
    if (bytes.size() >= 100 && bytes[18] == 1) {  // kept by a rollback journal: each commit counted
      const std::uint32_t taken = counter(24) - 2;
      for (std::size_t at : {std::size_t(24), std::size_t(92)})
        for (int i = 0; i < 4; ++i) bytes[at + std::size_t(i)] = char(taken >> (24 - 8 * i));
    }
    return bytes;
  }

  // A copy that lands while a fold writes pages mixes the two, which no
  // program can tell (the README says so): this copy tool waits for a fold
  // under way to end and keeps new ones off while it writes. A fold holds
  // the folder's lock of the log's index (byte 121 of the "-shm" file), or,
  // at the last close, the file's exclusive lock, which a shared one held
  // here keeps off (SQLite's locks on the file are bytes past its first
  // gigabyte). The copy goes through the descriptor that holds the lock:
  // closing any other one of the file would drop it.
  bool CopyKeepingFoldsOff(const std::string& bytes) {
    const int index = ::open((path_ + "-shm").c_str(), O_RDWR | O_CLOEXEC);
    const int file = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
    const auto lock = [](int fd, short type, off_t start, off_t length) {
      struct flock l {};
      l.l_type = type;
      l.l_whence = SEEK_SET;
      l.l_start = start;
      l.l_len = length;
      return ::fcntl(fd, F_SETLK, &l) == 0;
    };
    bool folder = index < 0, shared = false;
    for (int waited = 0; file >= 0 && !(folder && shared) && waited < 2000; ++waited) {
      folder = folder || lock(index, F_WRLCK, 121, 1);
      shared = shared || lock(file, F_RDLCK, 0x40000002, 510);
      if (!(folder && shared)) SleepMs(1);
    }
    const bool whole = daotest::WriteOver(file, bytes);
    if (file >= 0) ::close(file);
    if (index >= 0) ::close(index);
    return whole;
  }

  void Replace(bool inPlace) {
    if (backups_.empty()) return;
    Replacement r;
    r.oldGen = gen_;
    r.newGen = ++lastGen_;
    r.inPlace = inPlace;
    const std::string bytes = Prepared(backups_[rng_() % backups_.size()], r.newGen, r.copied);
    board_->epoch++;
    r.begun = NowNs();
    board_->lastEventNs = r.begun;  // under way counts as just now
    board_->replacedNs = INT64_MAX;  // nor does an open count meanwhile
    if (inPlace) {
      CopyKeepingFoldsOff(bytes);
    } else {
      const std::string next = base_ + "/db/next.MDB";
      std::ofstream(next, std::ios::binary) << bytes;
      r.kept = base_ + "/backups/kept-" + std::to_string(r.oldGen) + ".MDB";
      struct stat old {};
      if (::stat(path_.c_str(), &old) == 0) replacedInode_ = std::uint64_t(old.st_ino);
      (void)!::link(path_.c_str(), r.kept.c_str());
      ::rename(next.c_str(), path_.c_str());
    }
    r.ended = NowNs();
    board_->lastEventNs = r.ended;
    board_->replacedNs = r.ended;
    if (std::getenv("VANTREL_MIX_DEBUG"))
      std::fprintf(stderr, "event: generation %d -> %d %s (%zu backup rows) at %lld\n", r.oldGen, r.newGen,
                   inPlace ? "copied over" : "renamed over", r.copied.size(), (long long)r.begun);
    gen_ = r.newGen;
    replacements_.push_back(std::move(r));
  }

  void LockFileFault(int kind) {
    const std::string lock = path_ + "-lock";
    if (kind == 0) {
      board_->epoch++;
      board_->lastEventNs = NowNs();
      fs::remove(lock);
      board_->lastEventNs = NowNs();
    } else if (kind == 1) {
      const int fd = ::open(lock.c_str(), O_WRONLY | O_CLOEXEC);
      if (fd >= 0) {
        char junk[1024];
        for (char& c : junk) c = char(rng_());
        (void)!::pwrite(fd, junk, sizeof junk, 0);
        ::close(fd);
      }
    } else {
      (void)!::truncate(lock.c_str(), 0);
    }
  }

  // What the run does, by name; VANTREL_MIX_FAULTS (say "touch,copy") keeps
  // some only, to measure one kind of fault at a time.
  // By default every fault, but in network mode no copy over the file in
  // place: one that lands while a user commits mixes their pages in the file
  // (the README says so); the suite's own tests cover copies between commits.
  bool Does(const char* fault) const {
    const char* only = std::getenv("VANTREL_MIX_FAULTS");
    if (only == nullptr || *only == '\0') return !GetParam() || std::string(fault) != "copy";
    const std::string list = std::string(",") + only + ",";
    return list.find(std::string(",") + fault + ",") != std::string::npos;
  }

  // One quiet step: nothing replaces the contents or the lock file.
  void Quiet() {
    const int r = int(rng_() % 1000);
    if (r < 350) {
      if (Does("touch")) daotest::SetFileTimes(path_);
    } else if (r < 450) {
      for (int i = 0; i < 30 && Does("touch"); ++i) {
        daotest::SetFileTimes(path_);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
      }
    } else if (r < 520) {
      if (Does("times")) daotest::SetFileTimes(path_, std::int64_t(rng_() % 200000) - 100000);
    } else if (r < 650) {
      if (Does("kill")) {
        Process& p = processes_[rng_() % processes_.size()];
        Kill(p);
        Start(p);
      }
    } else if (r < 750) {
      BackUp();
    } else if (r < 800) {
      // Not while contents copied over wait for a tracker's look: the state
      // that tells them is what the fault spoils (the README says so).
      if (Does("lock") && !KeepOff()) LockFileFault(1 + int(rng_() % 2));
    }
  }

  // Holds the other program off the file while `act` runs.
  void WithoutOther(const std::function<void()>& act) {
    const bool running = std::any_of(processes_.begin(), processes_.end(), [](const Process& p) { return p.other && p.pid > 0; });
    board_->otherPause = 1;
    if (running) {
      const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (!board_->otherIdle.load() && std::chrono::steady_clock::now() < limit) SleepMs(1);
      // A copy made after it started the log anew, before a tracker looked,
      // cannot be told (the README says so): a tracker saves once first.
      const std::int64_t seen = board_->trackerSaves.load();
      const auto saved = std::chrono::steady_clock::now() + std::chrono::seconds(2);
      while (board_->trackerSaves.load() == seen && std::chrono::steady_clock::now() < saved) SleepMs(1);
    }
    act();
    board_->otherPause = KeepOff() ? 1 : 0;
  }

  // One event that replaces the contents or the lock file.
  void Event() {
    const int r = int(rng_() % 100);
    if (r < 40) {
      if (Does("copy")) WithoutOther([&] { Replace(true); });
    } else if (r < 70) {
      if (Does("replace")) WithoutOther([&] { Replace(false); });
    } else if (r < 85) {
      // A program killed while it holds the file, then the file replaced.
      if (Does("killreplace")) {
        std::vector<Process*> trackers;
        for (Process& p : processes_)
          if (!p.other) trackers.push_back(&p);
        Process& p = *trackers[rng_() % trackers.size()];
        WithoutOther([&] {
          Kill(p);
          Replace(Does("copy") && rng_() % 2 == 0);  // in place only where copies are made
          Start(p);
        });
      }
    } else {
      if (Does("lock")) LockFileFault(0);
    }
  }

  // ---- the count --------------------------------------------------------------

  struct Figures {
    // The other program's own saves apart: what a program that knows nothing
    // of the lock file does to a file replaced under it is SQLite's to say.
    std::int64_t otherLost = 0, otherWrongFile = 0, wholeWithLogAside = 0;
    std::int64_t saves = 0, lost = 0, keptAside = 0, wrongFile = 0, falseRefusals = 0, refusals = 0, busy = 0,
                 damaged = 0, notOpened = 0, otherFailures = 0, files = 0, events = 0;
  };

  static bool Other(std::int32_t writer) { return writer % 1000 == 900; }

  Figures Count() {
    Figures f;
    std::map<int, Contents> files;  // by generation
    std::vector<std::string> logsAside;
    for (const auto& entry : fs::directory_iterator(base_ + "/db"))
      if (const std::string name = entry.path().filename().string();
          name.find("-journal-kept") != std::string::npos || name.find("-wal-kept") != std::string::npos)
        logsAside.push_back(entry.path().string());
    const auto readFinal = [&](const std::string& file, int gen, bool replaced) {
      std::string log = fs::exists(file + "-wal") ? file + "-wal" : "";
      Contents c = Read(file, log, base_ + "/read");
      // A replaced file whose commit or fold a kill cut short is whole again
      // with its journal or log, which the next open kept aside under another
      // name (SQLite alone would have read it into the file now at the path).
      for (std::size_t i = 0; replaced && !c.whole && i < logsAside.size(); ++i)
        if (Contents j = Read(file, logsAside[i], base_ + "/read"); j.whole && j.gen == gen) {
          c = std::move(j);
          ++f.wholeWithLogAside;
        }
      ++f.files;
      if (!c.opens) ++f.notOpened;
      if (c.opens && !c.whole) ++f.damaged;
      if (c.opens && c.gen != gen) ADD_FAILURE() << "the file of generation " << gen << " says " << c.gen;
      files[gen] = std::move(c);
    };
    readFinal(path_, gen_, false);
    std::map<int, const Replacement*> fate;
    for (const Replacement& r : replacements_) {
      fate[r.oldGen] = &r;
      if (!r.inPlace) readFinal(r.kept, r.oldGen, true);
    }
    // Logs kept aside: each read with the replaced files it may belong to.
    std::map<int, std::set<Row>> aside;
    for (const auto& entry : fs::directory_iterator(base_ + "/db")) {
      const std::string name = entry.path().filename().string();
      if (name.find("-kept") == std::string::npos && name.find(".kept") == std::string::npos) continue;
      for (const Replacement& r : replacements_) {
        if (r.inPlace) continue;
        const Contents c = Read(r.kept, entry.path().string(), base_ + "/read");
        if (c.whole && c.gen == r.oldGen)
          for (const auto& [row, g] : c.rows) aside[r.oldGen].insert(row);
      }
    }
    // Rows found in a file that was not theirs.
    const auto madeFrom = [&](int gen) -> const std::set<Row>* {
      for (const Replacement& r : replacements_)
        if (r.newGen == gen) return &r.copied;
      return nullptr;
    };
    for (const auto& [gen, c] : files) {
      const std::set<Row>* start = madeFrom(gen);
      for (const auto& [row, g] : c.rows)
        if (g != gen && (start == nullptr || start->count(row) == 0)) ++(Other(row.first) ? f.otherWrongFile : f.wrongFile);
    }
    for (int writer : writers_) {
      for (const SaveRecord& s : ReadAll<SaveRecord>(Report("saves", writer))) {
        ++f.saves;
        auto replaced = fate.find(s.gen);
        const bool copiedOver = replaced != fate.end() && replaced->second->inPlace;
        if (copiedOver) {
          // Saves made before the copy went with the contents the user replaced.
          if (s.tStart <= replaced->second->ended) continue;
          bool anywhere = false;
          for (const auto& [gen, c] : files) anywhere |= c.rows.count({s.writer, s.seq}) != 0;
          if (!anywhere) {
            ++(Other(s.writer) ? f.otherLost : f.lost);  // reported done into contents already replaced
            if (f.lost <= 5 && !Other(s.writer))
              std::printf("  lost after the copy of generation %d: writer %d seq %lld, %.3f ms after it\n", s.gen,
                          s.writer, (long long)s.seq, double(s.tStart - replaced->second->ended) / 1e6);
          }
          continue;
        }
        auto file = files.find(s.gen);
        if (file == files.end()) {
          ++(Other(s.writer) ? f.otherLost : f.lost);
          continue;
        }
        if (file->second.rows.count({s.writer, s.seq}) != 0) continue;
        if (aside[s.gen].count({s.writer, s.seq}) != 0) {
          ++f.keptAside;
        } else {
          ++(Other(s.writer) ? f.otherLost : f.lost);
          if (f.lost <= 5 && !Other(s.writer))
            std::printf("  lost from generation %d (%s): writer %d seq %lld\n", s.gen,
                        replaced == fate.end() ? "the last" : "renamed over", s.writer, (long long)s.seq);
        }
      }
      for (const RefusalRecord& r : ReadAll<RefusalRecord>(Report("refusals", writer))) {
        ++f.refusals;
        const std::string text = r.text;
        const bool caused = r.epochNow != r.epochOpen || r.t - r.lastEvent < 2'000'000'000;
        if (text.find("busy") != std::string::npos || r.error == errLocked || r.error == 1000 + SQLITE_BUSY) {
          ++f.busy;
        } else if (!caused) {
          const bool damage = r.error == errCannotOpen || r.error == errReservedError ||
                              r.error == errFolderReadOnly || r.error == 1000 + SQLITE_CORRUPT ||
                              r.error == 1000 + SQLITE_NOTADB || r.error == 1000 + SQLITE_IOERR;
          ++(damage ? f.damaged : f.falseRefusals);
          std::printf("  %s: %d %s\n", damage ? "damaged" : "refused without cause", r.error, r.text);
        } else if (r.error > 1000 && r.error < 2000) {
          ++f.otherFailures;
        }
      }
    }
    f.events = std::int64_t(replacements_.size());
    return f;
  }

  std::string base_, path_;
  Board* board_ = nullptr;
  int seconds_ = 3;
  int gen_ = 1, lastGen_ = 1;
  std::mt19937_64 rng_{std::random_device{}()};
  std::vector<Process> processes_;
  std::vector<int> writers_;
  static constexpr std::size_t kBackupsKept = 8;
  std::vector<std::string> backups_;
  int backupsMade_ = 0;
  std::vector<Replacement> replacements_;
  int damagedBackups_ = 0;
  std::uint64_t replacedInode_ = 0;  // the file last renamed over, while trackers may hold it
};

TEST_P(SharedFileMix, NoSaveIsLostMisplacedOrRefusedWithoutCause) {
  constexpr int kTrackers = 2;
  const int others = Does("other") ? 1 : 0;
  processes_.resize(std::size_t(kTrackers + others));
  for (int i = 0; i < kTrackers + others; ++i) {
    processes_[std::size_t(i)].slot = i;
    processes_[std::size_t(i)].other = i == kTrackers;
    Start(processes_[std::size_t(i)]);
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds_);
  // Quiet stretches of about three seconds (shorter in a short run), each
  // ended by one event.
  const int quietMs = seconds_ >= 30 ? 3000 : 700;
  auto nextEvent = std::chrono::steady_clock::now() + std::chrono::milliseconds(quietMs);
  while (std::chrono::steady_clock::now() < end) {
    SleepMs(int(rng_() % 40));
    board_->otherPause = KeepOff() ? 1 : 0;
    if (std::chrono::steady_clock::now() >= nextEvent) {
      Event();
      nextEvent = std::chrono::steady_clock::now() + std::chrono::milliseconds(quietMs + int(rng_() % quietMs));
    } else {
      Quiet();
    }
  }
  StopAll();
  // A copy in the run's last moments may have left the log of the contents
  // before beside the file, waiting for the next program of ours to set it
  // aside: the README says to let this program open a replaced file first,
  // and so does the count (which then reads it as SQLite alone would).
  for (int opens = 0; opens < 3; ++opens)
    if (ErrorOf([&] { TDatabaseCore(path_, false, false, ""); }) == 0) break;
  const Figures f = Count();
  const char* faults = std::getenv("VANTREL_MIX_FAULTS");
  std::printf(
      "%s mode, %s, %d s: %lld saves, %lld lost, %lld kept aside, %lld in the wrong file, %lld false refusals "
      "(of %lld refusals, %lld busy, %lld other failures), %lld damaged, %lld not opened, %lld files, "
      "%lld replacements (%lld files whole with their log or journal kept aside), %d backups made damaged; the other "
      "program's own saves: %lld lost, %lld in the wrong file\n",
      GetParam() ? "network" : "local", faults != nullptr && *faults ? faults : GetParam() ? "every fault but copies" : "every fault", seconds_, (long long)f.saves, (long long)f.lost, (long long)f.keptAside,
      (long long)f.wrongFile, (long long)f.falseRefusals, (long long)f.refusals, (long long)f.busy,
      (long long)f.otherFailures, (long long)f.damaged, (long long)f.notOpened, (long long)f.files,
      (long long)f.events, (long long)f.wholeWithLogAside, damagedBackups_, (long long)f.otherLost,
      (long long)f.otherWrongFile);
  EXPECT_GT(f.saves, 0);
  EXPECT_EQ(0, f.lost);
  EXPECT_EQ(0, f.wrongFile);
  EXPECT_EQ(0, f.falseRefusals);
  EXPECT_EQ(0, f.damaged);
  EXPECT_EQ(0, f.notOpened);
}

INSTANTIATE_TEST_SUITE_P(BothModes, SharedFileMix, ::testing::Bool(), daotest::ModeName);

}  // namespace
