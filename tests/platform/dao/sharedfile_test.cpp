// One database file under what users and their tools do every day, with real
// processes: tools that set its times, another program that uses SQLite with
// its defaults, kills at any moment, a file replaced after its holder was
// killed, a lock file removed or spoiled, a copy made within one second on a
// file system of whole seconds. No save reported done is lost or lands in
// another file, nothing is refused without proof, and the file opens.

#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>
#include <utility>

#include "childprocess.h"
#include "daotest_util.h"
#include "platform/dao/logpages.h"
#include "sharedfile.h"
#include "smalldisk.h"

using namespace dao;
using daotest::Child;
using daotest::ErrorOf;
using daotest::DescriptionOf;
namespace fs = std::filesystem;

namespace {

// People's names in a file, read by a connection of its own (one that may
// write: a log a killed program left is rebuilt into its index).
std::vector<std::string> Names(const std::string& path) {
  TDatabaseCore db(path, false, false, "");
  auto s = db.Conn().Prepare("SELECT Name FROM People ORDER BY Name");
  std::vector<std::string> out;
  while (s->Step()) out.push_back(s->ColumnText(0));
  return out;
}

std::string Integrity(const std::string& path) {
  TDatabaseCore db(path, false, false, "");
  auto s = db.Conn().Prepare("PRAGMA integrity_check");
  return s->Step() ? s->ColumnText(0) : "";
}

std::vector<std::string> Numbered(const std::string& prefix, int count) {
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(prefix + std::to_string(1000 + i));
  return out;
}

void Add(TDatabaseCore& db, const std::vector<std::string>& names, int noteBytes = 0) {
  for (const std::string& name : names)
    db.Execute("INSERT INTO People (Name, Age, Notes) VALUES ('" + name + "', 1, '" +
               std::string(std::size_t(noteBytes), 'n') + "')");
}

// Every name wanted is in the file.
::testing::AssertionResult Holds(const std::string& path, std::vector<std::string> wanted) {
  const std::vector<std::string> names = Names(path);
  std::sort(wanted.begin(), wanted.end());
  std::vector<std::string> missing;
  std::set_difference(wanted.begin(), wanted.end(), names.begin(), names.end(), std::back_inserter(missing));
  if (missing.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << missing.size() << " saves missing, the first " << missing.front();
}

// The default file layer's open, under the tracker's own layers, for the
// files at one path while this lives: a hook as SQLite opens the log (past
// the opener's look at it, before it reads it), and a read of the file's
// first page that lands while a fold writes it (a read takes no lock against
// a write: it comes back half old, half new).
class UnderTheLayers {
 public:
  explicit UnderTheLayers(std::string path) : path_(std::move(path)) {
    self_ = this;
    vfs_ = sqlite3_vfs_find(nullptr);
    realOpen_ = vfs_->xOpen;
    vfs_->xOpen = Open;
  }
  ~UnderTheLayers() {
    vfs_->xOpen = realOpen_;
    self_ = nullptr;
  }
  UnderTheLayers(const UnderTheLayers&) = delete;
  UnderTheLayers& operator=(const UnderTheLayers&) = delete;
  std::function<void()> onLogOpen;  // run once
  void TearNextFirstPageRead() { tear_ = true; }
  int Torn() const { return torn_; }

 private:
  static int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    std::error_code error;
    const bool log = (flags & SQLITE_OPEN_WAL) != 0 && name != nullptr && name == self_->path_ + "-wal";
    if (log && self_->onLogOpen) std::exchange(self_->onLogOpen, nullptr)();
    const int rc = self_->realOpen_(vfs, name, file, flags, outFlags);
    if (rc == SQLITE_OK && (flags & SQLITE_OPEN_MAIN_DB) != 0 && name != nullptr &&
        fs::equivalent(name, self_->path_, error)) {
      self_->realRead_ = file->pMethods->xRead;
      self_->methods_ = *file->pMethods;
      self_->methods_.xRead = Read;
      file->pMethods = &self_->methods_;
    }
    return rc;
  }
  static int Read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
    const int rc = self_->realRead_(file, buffer, amount, offset);
    if (rc == SQLITE_OK && offset == 0 && amount >= 512 && self_->tear_) {
      self_->tear_ = false;
      ++self_->torn_;
      auto* bytes = static_cast<unsigned char*>(buffer);
      for (int i = amount / 2; i < amount; ++i) bytes[i] ^= 0x5a;
    }
    return rc;
  }

  static inline UnderTheLayers* self_ = nullptr;
  std::string path_;
  sqlite3_vfs* vfs_ = nullptr;
  int (*realOpen_)(sqlite3_vfs*, const char*, sqlite3_file*, int, int*) = nullptr;
  int (*realRead_)(sqlite3_file*, void*, int, sqlite3_int64) = nullptr;
  sqlite3_io_methods methods_ {};
  bool tear_ = false;
  int torn_ = 0;
};

class SharedFile : public daotest::PeopleInBothModes {
 protected:
  bool Network() const { return GetParam(); }
  // Another program does it while this one keeps the file open.
  static void ByAnother(const std::function<void()>& act) {
    Child child([&](Child&) {
      act();
      return 0;
    });
    EXPECT_EQ(0, child.Wait());
  }
  // A backup copied over the file in place by another program.
  void CopyOver(const std::string& backup) {
    ByAnother([&] { daotest::CopyOverInPlace(daotest::FileBytes(backup), path_); });
  }
  // A writer killed in the middle of a long commit, with some of its pages in
  // the file already (network mode: its journal left beside it).
  void KillWriterMidCommit() {
    Child writer([&](Child& c) {
      TDatabaseCore db(path_, false, false, "");
      db.Conn().Begin();
      Add(db, Numbered("k", 3000), 3000);  // more than the cache holds: pages go to the file
      c.Tell('s');
      c.Hear();
      return 0;
    });
    EXPECT_EQ('s', writer.Listen());
    writer.Kill();
  }
  // A backup older than the file, this program's saves in the log since, and
  // another connection of its own in the middle of reading that log, which
  // cannot be emptied meanwhile: the reader and its statement (none when it
  // read nothing).
  struct LogReader {
    std::unique_ptr<TDatabaseCore> db;
    std::unique_ptr<dao::Statement> reading;
  };
  LogReader OlderBackupAndALogReader(const std::string& backup) {
    db_.reset();
    fs::copy_file(path_, backup);
    TDatabaseCore(path_, false, false, "").Execute("INSERT INTO People (Name, Age) VALUES ('three', 3)");
    db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
    auto reader = std::make_unique<TDatabaseCore>(path_, false, false, "");
    Add(*db_, Numbered("f", 50), 500);
    auto reading = reader->Conn().Prepare("SELECT Name FROM People");
    if (!reading->Step()) reading.reset();
    return {std::move(reader), std::move(reading)};
  }
  // The state kept made to sample only pages `backup` holds as they were kept,
  // as a fold that wrote none of the pages the log changed since keeps it.
  // How many are left.
  int SampleOnlyPagesAlikeIn(const std::string& backup) {
    auto locks = LockFile::For(path_, true);
    LockFile::FileState s;
    if (!locks->LockState(true)) return 0;
    if (locks->ReadState(s)) {
      const std::string copy = daotest::FileBytes(backup);
      int alike = 0;
      for (int i = 0; i < s.samples; ++i) {
        const std::size_t at = std::size_t(s.samplePage[i] - 1) * s.pageSize;
        if (at + s.pageSize > copy.size() ||
            dao::PageSum(reinterpret_cast<const unsigned char*>(copy.data()) + at, s.pageSize) != s.sampleSum[i])
          continue;
        s.samplePage[alike] = s.samplePage[i];
        s.sampleSum[alike++] = s.sampleSum[i];
      }
      s.samples = alike;
      locks->WriteState(s);
    }
    locks->UnlockState(true);
    return s.samples;
  }
  // A writer of its own: saves `names`, says 's', and waits to be killed.
  std::unique_ptr<Child> KilledWriterWithSaves(const std::vector<std::string>& names) {
    auto writer = std::make_unique<Child>([&](Child& c) {
      TDatabaseCore db(path_, false, false, "");
      Add(db, names);
      c.Tell('s');
      c.Hear();
      return 0;
    });
    EXPECT_EQ('s', writer->Listen());
    return writer;
  }
};

// ---- times ----------------------------------------------------------------------

// `touch` and tools that set times (a backup restoring them, a sync, a clock
// set back) change no contents: no save is refused, and none is lost, from a
// running program nor from one killed with its saves in the log.
TEST_P(SharedFile, TimesSetByToolsRefuseNothingAndLoseNothing) {
  struct Case {
    const char* name;
    std::function<void(const std::string&)> set;
  };
  const Case cases[] = {
      {"touch", [](const std::string& p) { daotest::SetFileTimes(p); }},
      {"an hour back", [](const std::string& p) { daotest::SetFileTimes(p, -3600); }},
      {"a day ahead", [](const std::string& p) { daotest::SetFileTimes(p, 86400); }},
      {"whole seconds", [](const std::string& p) {
         timespec t[2] = {{std::time(nullptr), 0}, {std::time(nullptr), 0}};
         ::utimensat(AT_FDCWD, p.c_str(), t, 0);
       }},
  };
  db_.reset();
  std::vector<std::string> all = {"one", "two"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> before = Numbered(std::string(c.name).substr(0, 3) + "a", 40);
    const std::vector<std::string> after = Numbered(std::string(c.name).substr(0, 3) + "b", 40);
    Child writer([&](Child& ch) {
      TDatabaseCore db(path_, false, false, "");
      Add(db, before);
      ch.Tell('s');
      ch.Hear();
      // Saved after the times changed, then killed with it all in the log.
      const int error = ErrorOf([&] { Add(db, after); });
      ch.Tell(error == 0 ? 'k' : 'r');
      ch.Hear();
      return 0;
    });
    ASSERT_EQ('s', writer.Listen());
    c.set(path_);
    writer.Say('g');
    EXPECT_EQ('k', writer.Listen()) << "a save was refused";
    writer.Kill();
    c.set(path_);
    all.insert(all.end(), before.begin(), before.end());
    all.insert(all.end(), after.begin(), after.end());
    EXPECT_TRUE(Holds(path_, all));
    EXPECT_EQ("ok", Integrity(path_));
  }
}

// A touch while a program folds its log into the file neither stops the fold
// nor throws anything away: the file opens with every save.
TEST_P(SharedFile, ATouchDuringAFoldNeitherStopsItNorLosesAnything) {
  if (Network()) GTEST_SKIP() << "network mode has no log to fold";
  db_.reset();
  const std::vector<std::string> names = Numbered("f", 1200);
  Child writer([&](Child& c) {
    TDatabaseCore db(path_, false, false, "");
    db.Conn().Begin();
    Add(db, names, 3000);  // a page each: the commit folds 1,200 pages
    c.Tell('f');
    const int error = ErrorOf([&] { db.Conn().Commit(); });
    c.Tell(error == 0 ? 'd' : 'r');
    c.Hear();
    return 0;
  });
  ASSERT_EQ('f', writer.Listen());
  char said = 0;
  int touches = 0;
  while ((said = writer.Listen(0)) == 0 && touches < 100000) {
    daotest::SetFileTimes(path_);
    ++touches;
  }
  if (said == 0) said = writer.Listen();
  EXPECT_EQ('d', said) << "the save was refused";
  writer.Say('x');
  EXPECT_EQ(0, writer.Wait());
  EXPECT_GT(touches, 1);
  EXPECT_EQ("ok", Integrity(path_));
  std::vector<std::string> all = names;
  all.insert(all.end(), {"one", "two"});
  EXPECT_TRUE(Holds(path_, all));
  EXPECT_EQ(0, ErrorOf([&] { TDatabaseCore(path_, false, false, "").Execute("DELETE FROM People WHERE Age = 2"); }));
}

// A copy cuts the file to nothing before it writes it, and SQLite deletes
// the log beside a file it finds empty as it opens it. A program opening the
// file meanwhile, past a look that could not tell (the kept state held by a
// writer at it), waits for the copy: the log with the saves of the program
// that has the file open stays.
TEST_P(SharedFile, AnOpenWhileTheFileIsCutToNothingKeepsTheLog) {
  if (Network()) GTEST_SKIP() << "network mode keeps no log";
  const std::vector<std::string> names = Numbered("s", 30);
  Add(*db_, names);  // in the log
  const std::string bytes = daotest::FileBytes(path_);
  Child holder([&](Child& c) {
    auto locks = LockFile::For(path_, true);
    if (!locks->LockState(true)) return 1;
    c.Tell('h');
    c.Hear();
    locks->UnlockState(true);
    return 0;
  });
  ASSERT_EQ('h', holder.Listen());
  ASSERT_EQ(0, ::truncate(path_.c_str(), 0));
  Child opener([&](Child& c) {
    c.Tell('o');
    return ErrorOf([&] { TDatabaseCore(path_, false, false, "").Execute("INSERT INTO People (Name, Age) VALUES ('other', 3)"); });
  });
  ASSERT_EQ('o', opener.Listen());
  std::this_thread::sleep_for(std::chrono::milliseconds(400));  // past its look, it finds the file empty
  EXPECT_GT(fs::file_size(path_ + "-wal"), 0u);
  ASSERT_TRUE(daotest::CopyOverInPlace(bytes, path_));  // the copy done: the file as it was
  holder.Say('x');
  EXPECT_EQ(0, holder.Wait());
  EXPECT_EQ(0, opener.Wait());
  EXPECT_EQ(0, ErrorOf([&] { Add(*db_, {"after"}); }));
  db_.reset();
  EXPECT_EQ("ok", Integrity(path_));
  std::vector<std::string> all = names;
  all.insert(all.end(), {"one", "two", "other", "after"});
  EXPECT_TRUE(Holds(path_, all));
}

// No program that uses SQLite cuts a database file to nothing: a file found
// so (a copy under way) is told as written over, also where its pages could
// not tell it (the log started anew by another program since the state was
// kept), and no save goes into its log.
TEST_P(SharedFile, AFileCutToNothingIsToldWrittenOver) {
  if (Network()) GTEST_SKIP() << "network mode keeps no log";
  const std::string backup = dir_ + "/Backup.MDB";
  db_.reset();
  fs::copy_file(path_, backup);
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  Add(*db_, {"three"});
  ByAnother([&] {
    daotest::SqliteProgram p(path_);
    EXPECT_EQ(SQLITE_OK, p.Exec("PRAGMA wal_checkpoint(TRUNCATE)"));
    EXPECT_EQ(SQLITE_OK, p.Exec("INSERT INTO People (Name, Age) VALUES ('four', 4)"));  // the log anew
  });
  ASSERT_EQ(0, ::truncate(path_.c_str(), 0));
  EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { Add(*db_, {"refused"}); }));
  ASSERT_TRUE(daotest::CopyOverInPlace(daotest::FileBytes(backup), path_));  // the copy done
  db_.reset();
  EXPECT_EQ("ok", Integrity(path_));
  EXPECT_EQ(Names(path_), (std::vector<std::string>{"one", "two"}));
}

// ---- another program that uses SQLite ------------------------------------------------

// Another program, the SQLite library with its defaults in a process of its
// own, writes beside this one and folds the log into the file its own way:
// no save of either side is refused or lost.
TEST_P(SharedFile, AnotherSqliteProgramWritesAndFoldsBesideItWithoutRefusals) {
  struct Case {
    const char* name;
    const char* sql;  // run after its own 1,200 rows
  };
  const Case cases[] = {
      {"folds at 1,000 pages", ""},
      {"folds all and starts the log anew", "PRAGMA wal_checkpoint(TRUNCATE);"},
      {"vacuums", "VACUUM;"},
      {"backs the file up", ".backup"},
  };
  std::vector<std::string> all = {"one", "two"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> mine = Numbered(std::string(c.name).substr(0, 4) + "m", 30);
    Add(*db_, mine);  // in this program's log
    all.insert(all.end(), mine.begin(), mine.end());
    Child other([&](Child&) {
      daotest::SqliteProgram p(path_);
      p.Exec("BEGIN");  // one commit of 1,200 pages: its own fold follows it
      for (int i = 0; i < 1200; ++i)
        if (p.Exec("INSERT INTO People (Name, Age, Notes) VALUES ('" + std::string(c.name).substr(0, 4) + "o" +
                   std::to_string(1000 + i) + "', 2, '" + std::string(3000, 'o') + "')") != SQLITE_OK)
          return 1;
      if (p.Exec("COMMIT") != SQLITE_OK) return 4;
      if (std::string(c.sql) == ".backup") return p.BackUpTo(dir_ + "/backup.db") ? 0 : 2;
      return p.Exec(c.sql) == SQLITE_OK ? 0 : 3;
    });
    ASSERT_EQ(0, other.Wait());
    const std::vector<std::string> theirs = Numbered(std::string(c.name).substr(0, 4) + "o", 1200);
    all.insert(all.end(), theirs.begin(), theirs.end());
    const std::vector<std::string> later = Numbered(std::string(c.name).substr(0, 4) + "l", 30);
    EXPECT_EQ("", DescriptionOf([&] { Add(*db_, later); }));
    all.insert(all.end(), later.begin(), later.end());
    EXPECT_TRUE(Holds(path_, all));
  }
  db_.reset();
  EXPECT_TRUE(Holds(path_, all));
  EXPECT_EQ("ok", Integrity(path_));
}

// A page read just as another program's fold writes it comes back half
// written; read again, it is whole. That proves no copy: the save goes
// through.
TEST_P(SharedFile, APageReadHalfWrittenIsNoCopy) {
  if (Network()) GTEST_SKIP() << "network mode keeps no log";
  db_.reset();
  UnderTheLayers layers(path_);
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  Add(*db_, Numbered("h", 20), 1000);  // the file grows: page 1 in the log, read from there
  ASSERT_TRUE(daotest::SetFileTimes(path_, -100));  // the next look reads the pages
  layers.TearNextFirstPageRead();
  EXPECT_EQ("", DescriptionOf([&] { Add(*db_, {"after"}); }));
  EXPECT_EQ(1, layers.Torn());
  db_.reset();
  EXPECT_TRUE(Holds(path_, {"after"}));
}

// A backup taken since the last fold holds the pages of the log's frames up
// to then, as a fold of them would have written them; but no fold reached
// those frames (a fold sets where it will reach before it writes a page),
// and none wrote the pages the file grew by. Copied over the file, it is
// told: by a changed page sampled, or, where every page sampled is as it
// was, by the pages past the file's end.
TEST_P(SharedFile, ACopyOfABackupTakenSinceTheLastFoldIsTold) {
  if (Network()) GTEST_SKIP() << "network mode keeps no log";
  for (const bool changedPageSampled : {true, false}) {
    SCOPED_TRACE(changedPageSampled ? "a page it changed sampled" : "no page it changed sampled");
    const std::string tag = changedPageSampled ? "c" : "u";
    const std::string backup = dir_ + "/Backup" + tag + ".MDB";
    db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
    Add(*db_, Numbered(tag, 40), 1000);  // in the log: the file grows once it is folded
    ByAnother([&] {
      daotest::SqliteProgram p(path_);
      EXPECT_TRUE(p.Open() && p.BackUpTo(backup));
    });
    if (!changedPageSampled) EXPECT_GT(SampleOnlyPagesAlikeIn(backup), 0);
    CopyOver(backup);
    EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { Add(*db_, {tag + "after"}); }));
    db_.reset();
    EXPECT_EQ("ok", Integrity(path_));
    EXPECT_EQ(Names(path_), Names(backup));
  }
}

// ---- kills ---------------------------------------------------------------------------

// A program killed at any moment (opening, saving, folding, closing) loses
// none of the saves it reported done, and the file opens.
TEST_P(SharedFile, KillsAtAnyMomentLoseNoReportedSave) {
  db_.reset();
  std::mt19937 random(12345);
  const std::string reported = dir_ + "/reported";
  std::vector<std::string> all = {"one", "two"};
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    Child writer([&](Child& c) {
      const int out = ::open(reported.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
      c.Tell('g');
      for (int session = 0;; ++session) {
        TDatabaseCore db(path_, false, false, "");
        for (int i = 0; i < 40; ++i) {
          const std::string name = "k" + std::to_string(round) + "-" + std::to_string(session * 100 + i);
          Add(db, {name}, 2500);
          (void)!::write(out, (name + "\n").c_str(), name.size() + 1);
        }
      }
      return 0;
    });
    ASSERT_EQ('g', writer.Listen());
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 60));
    writer.Kill();
    std::ifstream in(reported);
    for (std::string name; std::getline(in, name);) all.push_back(name);
    fs::remove(reported);
    EXPECT_EQ("ok", Integrity(path_));
    EXPECT_TRUE(Holds(path_, all));
  }
}

// A program killed while it holds the file, and then the file replaced by
// another: its log beside the path is the earlier file's. The next program
// to open never replays it into the new file: it is kept aside, named, and
// the earlier file read with it holds every save.
TEST_P(SharedFile, AFileReplacedAfterItsHolderWasKilledTakesNoSaveOfIt) {
  if (Network()) GTEST_SKIP() << "network mode keeps no log between commits";
  const std::string kept = dir_ + "/Kept.MDB";
  const std::string other = dir_ + "/Other.MDB";
  db_.reset();
  ASSERT_EQ(0, ::link(path_.c_str(), kept.c_str()));
  TDatabaseCore::Create(other, "");
  TDatabaseCore(other, false, false, "").Execute("CREATE TABLE People (Id COUNTER, Name TEXT(20), Age SHORT, Notes MEMO)");
  const std::vector<std::string> saves = Numbered("old", 30);
  KilledWriterWithSaves(saves)->Kill();
  ASSERT_EQ(0, ::rename(other.c_str(), path_.c_str()));
  const std::string said = DescriptionOf([&] { TDatabaseCore(path_, false, false, ""); });
  const auto at = said.find("kept in '");
  ASSERT_NE(at, std::string::npos) << said;
  const std::string aside = said.substr(at + 9, said.find('\'', at + 9) - at - 9);
  ASSERT_TRUE(fs::exists(aside)) << aside;
  {
    TDatabaseCore db(path_, false, false, "");
    db.Execute("INSERT INTO People (Name, Age) VALUES ('new', 1)");
  }
  EXPECT_EQ(Names(path_), std::vector<std::string>{"new"});
  EXPECT_EQ("ok", Integrity(path_));
  // The earlier file, read with its log.
  const std::string read = dir_ + "/read";
  fs::create_directories(read);
  fs::copy_file(kept, read + "/Old.MDB");
  fs::copy_file(aside, read + "/Old.MDB-wal");
  std::vector<std::string> all = saves;
  all.insert(all.end(), {"one", "two"});
  EXPECT_TRUE(Holds(read + "/Old.MDB", all));
}

// A commit that starts the log anew (every frame of the one before folded
// in, or none written since the file was opened) names no generation the
// kept state knows: a copy landing as it begins is told by the pages read
// just before it, and the commit is refused.
TEST_P(SharedFile, ACopyLandingAsTheLogStartsAnewIsTold) {
  if (Network()) GTEST_SKIP() << "network mode keeps no log";
  const std::string backup = dir_ + "/Backup.MDB";
  db_.reset();
  fs::copy_file(path_, backup);
  for (const bool reopened : {false, true}) {
    SCOPED_TRACE(reopened ? "no log since the open" : "every frame of the log folded in");
    db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
    db_->Conn().Begin();
    Add(*db_, Numbered("f", 1200), 3000);  // past the fold's threshold: folded whole at its commit
    db_->Conn().Commit();
    if (reopened) {
      db_.reset();  // the last one out folds the log in and removes it
      db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
    }
    // The copy lands after the last look, as the next commit begins.
    struct Copy {
      std::string from, to;
      bool made = false;
    } copy{backup, path_};
    sqlite3_commit_hook(db_->Conn().Handle(), [](void* data) {
      auto* c = static_cast<Copy*>(data);
      if (!c->made) ByAnother([c] { daotest::CopyOverInPlace(daotest::FileBytes(c->from), c->to); });
      c->made = true;
      return 0;
    }, &copy);
    EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { Add(*db_, {"after"}); }));
    EXPECT_TRUE(copy.made);
    sqlite3_commit_hook(db_->Conn().Handle(), nullptr, nullptr);
    db_.reset();
    EXPECT_EQ("ok", Integrity(path_));
    EXPECT_EQ(Names(path_), (std::vector<std::string>{"one", "two"}));
  }
}

// The look after a commit runs once the commit's locks are gone: another
// program may have committed, folded the log whole and started it anew
// meanwhile. That is no copy: only a commit that started the log anew
// itself compares the file with the pages it read just before.
TEST_P(SharedFile, ALogStartedAnewByAnotherJustAfterACommitIsNoCopy) {
  if (Network()) GTEST_SKIP() << "network mode keeps no log";
  Add(*db_, Numbered("f", 20), 1000);
  // A reader of the log as it stands, and another program folding all of
  // it: the next commit then finds every frame folded, but cannot start
  // the log anew while the reader reads (it goes on after the frames).
  auto reader = std::make_unique<TDatabaseCore>(path_, false, false, "");
  auto reading = reader->Conn().Prepare("SELECT Name FROM People");
  ASSERT_TRUE(reading->Step());
  ByAnother([&] { EXPECT_EQ(SQLITE_OK, daotest::SqliteProgram(path_).Exec("PRAGMA wal_checkpoint(PASSIVE)")); });
  // Just after that commit, before its look: the reader done, the other
  // program saves, folds the log whole and starts it anew.
  struct Other {
    std::string path;
    std::unique_ptr<dao::Statement>& reader;
    bool done = false;
  } other{path_, reading};
  sqlite3_trace_v2(db_->Conn().Handle(), SQLITE_TRACE_PROFILE, [](unsigned, void* data, void* statement, void*) {
    auto* o = static_cast<Other*>(data);
    if (o->done || std::string(sqlite3_sql(static_cast<sqlite3_stmt*>(statement))) != "COMMIT") return 0;
    o->done = true;
    o->reader.reset();
    ByAnother([o] {
      daotest::SqliteProgram p(o->path);
      EXPECT_EQ(SQLITE_OK, p.Exec("INSERT INTO People (Name, Age) VALUES ('three', 3)"));
      EXPECT_EQ(SQLITE_OK, p.Exec("PRAGMA wal_checkpoint(TRUNCATE)"));
      EXPECT_EQ(SQLITE_OK, p.Exec("INSERT INTO People (Name, Age) VALUES ('four', 4)"));
    });
    return 0;
  }, &other);
  EXPECT_EQ(0, ErrorOf([&] { Add(*db_, Numbered("g", 60), 1000); }));
  EXPECT_TRUE(other.done);
  sqlite3_trace_v2(db_->Conn().Handle(), 0, nullptr, nullptr);
  EXPECT_EQ(0, ErrorOf([&] { Add(*db_, {"after"}); }));
  db_.reset();
  reader.reset();
  EXPECT_EQ("ok", Integrity(path_));
  EXPECT_TRUE(Holds(path_, {"three", "four", "after", "g1000", "g1059", "f1019"}));
}

// A log emptied as a copy is told is started again by a program that uses
// SQLite and folded before with both salts nought: the state names that
// generation as any other, and a copy landing later is told by it.
TEST_P(SharedFile, ACopyIsToldInALogStartedAgainWithNoughtSalts) {
  if (Network()) GTEST_SKIP() << "network mode keeps no log";
  const std::string backup = dir_ + "/Backup.MDB", older = dir_ + "/Older.MDB";
  db_.reset();
  fs::copy_file(path_, older);
  TDatabaseCore(path_, false, false, "").Execute("INSERT INTO People (Name, Age) VALUES ('three', 3)");
  fs::copy_file(path_, backup);
  Child other([&](Child& c) {
    daotest::SqliteProgram p(path_);
    p.Exec("INSERT INTO People (Name, Age) VALUES ('four', 4)");
    p.Exec("PRAGMA wal_checkpoint(TRUNCATE)");  // its connection has folded
    p.Exec("INSERT INTO People (Name, Age) VALUES ('five', 5)");
    c.Tell('a');
    c.Hear();
    p.Exec("INSERT INTO People (Name, Age) VALUES ('six', 6)");  // into the emptied log
    c.Tell('b');
    c.Hear();
    return 0;
  });
  ASSERT_EQ('a', other.Listen());
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  CopyOver(backup);
  EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { Add(*db_, {"refused"}); }));  // told, its log emptied
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  other.Say('s');
  ASSERT_EQ('b', other.Listen());
  EXPECT_EQ(0, ErrorOf([&] { Add(*db_, {"seven"}); }));
  CopyOver(older);
  EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { Add(*db_, {"eight"}); }));
  other.Say('e');
  EXPECT_EQ(0, other.Wait());
  db_.reset();
  EXPECT_EQ("ok", Integrity(path_));
  EXPECT_EQ(Names(path_), (std::vector<std::string>{"one", "two"}));
}

// The log of the contents before a copy goes aside with the last program
// that had it open, also when that program learnt of the copy from the one
// that told it: a program that uses SQLite alone then reads the file as
// copied.
TEST_P(SharedFile, TheLastUserOutSetsTheLogOfTheContentsBeforeAside) {
  if (Network()) GTEST_SKIP() << "network mode keeps no log";
  const std::string backup = dir_ + "/Backup.MDB";
  LogReader other = OlderBackupAndALogReader(backup);
  ASSERT_TRUE(other.reading);
  CopyOver(backup);
  const std::string said = DescriptionOf([&] { Add(*db_, {"after"}); });
  EXPECT_NE(said.find("once every program has closed it"), std::string::npos) << said;
  db_.reset();
  other.reading.reset();
  EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { Add(*other.db, {"later"}); }));  // told by the count
  other.db.reset();
  EXPECT_FALSE(fs::exists(path_ + "-wal") && fs::file_size(path_ + "-wal") > 0);
  bool aside = false;
  for (const auto& entry : fs::directory_iterator(dir_))
    aside |= entry.path().filename().string().find("-wal-kept-") != std::string::npos;
  EXPECT_TRUE(aside);
  daotest::SqliteProgram sqlite(path_);
  EXPECT_EQ(2, sqlite.Number("SELECT count(*) FROM People"));
  EXPECT_EQ("ok", Integrity(path_));
}

// A copy landing while a program opens the file, past its look at the log
// and before it reads it, told meanwhile by a user whose log another one
// still reads (it stays beside the file until the last of them closes it):
// the opener has read through that log as they have, and is refused as they
// are. Taken for the copy's log, it was folded into the copy by its last user.
TEST_P(SharedFile, AnOpenerPastItsLookAtTheLogIsRefusedByACopyToldMeanwhile) {
  if (Network()) GTEST_SKIP() << "network mode keeps no log";
  const std::string backup = dir_ + "/Backup.MDB";
  LogReader reader = OlderBackupAndALogReader(backup);
  ASSERT_TRUE(reader.reading);
  UnderTheLayers layers(path_);
  bool told = false;
  layers.onLogOpen = [&] {
    CopyOver(backup);
    told = ErrorOf([&] { Add(*db_, {"told"}); }) == errDiskOrNetwork;
  };
  EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] {
    TDatabaseCore opener(path_, false, false, "");
    Add(opener, {"opener"});
  }));
  EXPECT_TRUE(told);
  db_.reset();
  reader.reading.reset();
  reader.db.reset();
  EXPECT_EQ("ok", Integrity(path_));
  EXPECT_EQ(Names(path_), (std::vector<std::string>{"one", "two"}));
}

// The log of the contents before a copy, left beside the file by its last
// user killed: a program of ours opening the file does not take another one
// still opening it for a user of that log (it has not read it yet), or the
// two would refuse each other for good; it sets the log aside and opens the
// copy.
TEST_P(SharedFile, AnOpenerSetsTheLogOfAKilledLastUserAsideBesideAnotherOpener) {
  if (Network()) GTEST_SKIP() << "network mode keeps no log";
  const std::string backup = dir_ + "/Backup.MDB";
  db_.reset();
  fs::copy_file(path_, backup);
  TDatabaseCore(path_, false, false, "").Execute("INSERT INTO People (Name, Age) VALUES ('three', 3)");
  Child holder([&](Child& c) {  // reads on, so the log cannot be set aside by the one who tells
    TDatabaseCore db(path_, false, false, "");
    Add(db, Numbered("h", 30));
    auto reading = db.Conn().Prepare("SELECT Name FROM People");
    reading->Step();
    c.Tell('r');
    c.Hear();
    return 0;
  });
  ASSERT_EQ('r', holder.Listen());
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  CopyOver(backup);
  EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { Add(*db_, {"told"}); }));
  db_.reset();
  holder.Kill();  // the last user of the log of the contents before
  ASSERT_GT(fs::file_size(path_ + "-wal"), 0u);
  // Another program of ours in the middle of its open: it holds the file,
  // and has not read the log.
  Child opening([&](Child& c) {
    struct stat st {};
    ::stat(path_.c_str(), &st);
    auto locks = LockFile::For(path_, true);
    locks->HoldFile(std::uint64_t(st.st_ino));
    c.Tell('o');
    c.Hear();
    return 0;
  });
  ASSERT_EQ('o', opening.Listen());
  EXPECT_EQ(0, ErrorOf([&] {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int error = 0;
    do
      error = ErrorOf([&] { Add(*std::make_unique<TDatabaseCore>(path_, false, false, ""), {"opened"}); });
    while (error != 0 && std::chrono::steady_clock::now() < limit);
    if (error != 0) throw TDaoFailure(error, "never opened");
  }));
  opening.Say('x');
  EXPECT_EQ(0, opening.Wait());
  EXPECT_EQ("ok", Integrity(path_));
  EXPECT_EQ(Names(path_), (std::vector<std::string>{"one", "opened", "two"}));
}

// Network mode: a writer killed in the middle of a commit leaves its journal
// of the contents before; a copy then written over the file in place is no
// file to roll it back into. It is kept aside, named, and the file opens as
// copied.
TEST_P(SharedFile, AJournalLeftByAKilledCommitIsNeverRolledIntoACopy) {
  if (!Network()) GTEST_SKIP() << "local mode keeps a log: a file replaced after a kill covers it";
  const std::string backup = dir_ + "/Backup.MDB";
  db_.reset();
  fs::copy_file(path_, backup);
  TDatabaseCore(path_, false, false, "").Execute("INSERT INTO People (Name, Age) VALUES ('three', 3)");
  KillWriterMidCommit();
  ASSERT_GT(fs::file_size(path_ + "-journal"), 0u);
  ASSERT_TRUE(daotest::CopyOverInPlace(daotest::FileBytes(backup), path_));
  const std::string said = DescriptionOf([&] { TDatabaseCore(path_, false, false, ""); });
  EXPECT_NE(said.find("'" + path_ + "-journal-kept-"), std::string::npos) << said;
  EXPECT_EQ("ok", Integrity(path_));
  EXPECT_EQ(Names(path_), (std::vector<std::string>{"one", "two"}));
}

// Network mode: a writer killed in the middle of a commit, and then a backup
// renamed over the path, taken just before that commit (the same change
// counter as the journal names). The journal is the earlier file's: it is
// kept aside, the backup opens as it was, and the earlier file read with the
// journal is whole again.
TEST_P(SharedFile, AJournalOfAFileReplacedAfterItsWriterWasKilledStaysThatFiles) {
  if (!Network()) GTEST_SKIP() << "local mode keeps a log: AFileReplacedAfterItsHolderWasKilledTakesNoSaveOfIt";
  const std::string kept = dir_ + "/Kept.MDB";
  const std::string backup = dir_ + "/Backup.MDB";
  db_.reset();
  ASSERT_EQ(0, ::link(path_.c_str(), kept.c_str()));
  fs::copy_file(path_, backup);
  KillWriterMidCommit();
  ASSERT_GT(fs::file_size(path_ + "-journal"), 0u);
  ASSERT_EQ(0, ::rename(backup.c_str(), path_.c_str()));
  const std::string said = DescriptionOf([&] { TDatabaseCore(path_, false, false, ""); });
  const auto at = said.find("kept in '" + path_ + "-journal-kept-");
  ASSERT_NE(at, std::string::npos) << said;
  const std::string aside = said.substr(at + 9, said.find('\'', at + 9) - at - 9);
  EXPECT_EQ("ok", Integrity(path_));
  EXPECT_EQ(Names(path_), (std::vector<std::string>{"one", "two"}));
  const std::string read = dir_ + "/read";
  fs::create_directories(read);
  fs::copy_file(kept, read + "/Old.MDB");
  fs::copy_file(aside, read + "/Old.MDB-journal");
  EXPECT_EQ("ok", Integrity(read + "/Old.MDB"));
  EXPECT_EQ(Names(read + "/Old.MDB"), (std::vector<std::string>{"one", "two"}));
}

// The copies the lock file counts go on across files: a file put at the path
// after one was written over opens and takes saves, first open and later.
TEST_P(SharedFile, AFileReplacingOneWrittenOverTakesSaves) {
  const std::string backup = dir_ + "/Backup.MDB";
  const std::string next = dir_ + "/Next.MDB";
  db_.reset();
  fs::copy_file(path_, backup);
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  Add(*db_, Numbered("a", 20));
  db_.reset();  // folded: the backup is older
  fs::copy_file(path_, next);
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  Add(*db_, {"open"});
  CopyOver(backup);
  ASSERT_EQ(errDiskOrNetwork, ErrorOf([&] { Add(*db_, {"copied"}); }));
  db_.reset();
  ASSERT_EQ(0, ::rename(next.c_str(), path_.c_str()));
  for (const char* name : {"replaced", "reopened"}) {
    SCOPED_TRACE(name);
    db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
    EXPECT_EQ("", DescriptionOf([&] { Add(*db_, {name}); }));
    db_.reset();
  }
  std::vector<std::string> all = Numbered("a", 20);
  all.insert(all.end(), {"one", "two", "replaced", "reopened"});
  EXPECT_TRUE(Holds(path_, all));
}

// ---- the lock file ----------------------------------------------------------------------

// The lock file removed, emptied or spoiled while a program has the file
// open: at worst a save is refused, with a message naming the lock file and
// why; emptied or spoiled, it is kept anew and a copy over the file is still
// told.
TEST_P(SharedFile, TheLockFileRemovedOrSpoiledIsNoSinglePointOfFailure) {
  struct Case {
    const char* name;
    std::function<void(const std::string&)> spoil;
    bool refused;  // the next save
  };
  const Case cases[] = {
      {"removed", [](const std::string& lock) { fs::remove(lock); }, true},
      {"emptied", [](const std::string& lock) { fs::resize_file(lock, 0); }, false},
      {"garbled", [](const std::string& lock) {
         std::string junk(1024, '\0');
         std::mt19937 random(7);
         for (char& c : junk) c = char(random());
         const int fd = ::open(lock.c_str(), O_WRONLY | O_CLOEXEC);
         (void)!::pwrite(fd, junk.data(), junk.size(), 0);
         ::close(fd);
       }, false},
  };
  const std::string backup = dir_ + "/Backup.MDB";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    db_.reset();
    fs::remove(backup);
    fs::copy_file(path_, backup);
    db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
    Add(*db_, Numbered(std::string(c.name) + "-", 20));
    db_.reset();  // folded: the backup is older
    db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
    Add(*db_, {std::string(c.name) + "-open"});
    ByAnother([&] { c.spoil(path_ + "-lock"); });
    const std::string said = DescriptionOf([&] { Add(*db_, {std::string(c.name) + "-after"}); });
    if (c.refused) {
      EXPECT_NE(said.find("'" + path_ + "-lock'"), std::string::npos) << said;
      EXPECT_NE(said.find("removed or replaced"), std::string::npos) << said;
      continue;
    }
    EXPECT_EQ("", said);
    CopyOver(backup);
    EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { Add(*db_, {std::string(c.name) + "-copied"}); }));
  }
  db_.reset();
  EXPECT_EQ("ok", Integrity(path_));
}

// The count of copies told lives in the lock file: one emptied starts it
// anew, and a user who opened the file since is not refused by the count of
// one who had it open before. A copy after it is still told to both.
TEST_P(SharedFile, ACountOfCopiesFromBeforeTheLockFileWasEmptiedRefusesNobody) {
  const std::string backup = dir_ + "/Backup.MDB", later = dir_ + "/Later.MDB";
  db_.reset();
  fs::copy_file(path_, backup);
  TDatabaseCore(path_, false, false, "").Execute("INSERT INTO People (Name, Age) VALUES ('three', 3)");
  fs::copy_file(path_, later);
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  CopyOver(backup);
  EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { Add(*db_, {"refused"}); }));  // one copy counted
  db_.reset();
  auto before = std::make_unique<TDatabaseCore>(path_, false, false, "");
  Add(*before, Numbered("b", 20));
  ByAnother([&] { fs::resize_file(path_ + "-lock", 0); });
  auto since = std::make_unique<TDatabaseCore>(path_, false, false, "");
  EXPECT_EQ(0, ErrorOf([&] { Add(*before, {"before"}); }));
  EXPECT_EQ(0, ErrorOf([&] { Add(*since, {"since"}); }));
  EXPECT_EQ(0, ErrorOf([&] { Add(*before, {"before again"}); }));
  CopyOver(later);
  EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { Add(*since, {"copied"}); }));
  EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { Add(*before, {"copied"}); }));
  before.reset();
  since.reset();
  EXPECT_EQ("ok", Integrity(path_));
  EXPECT_EQ(Names(path_), (std::vector<std::string>{"one", "three", "two"}));
}

// The kept state survives a write cut short (a kill, a power cut): of its
// two slots, the one not being written stands.
TEST(KeptState, AWriteCutShortLeavesTheStateBefore) {
  const std::string dir = daotest::ScratchDir();
  const std::string path = dir + "/Test.MDB";
  std::ofstream(path) << "x";
  struct Case {
    const char* name;
    std::function<void(int fd)> spoil;  // after a first and a second state
    std::int64_t size;                  // of the state read then; 0: none
  };
  const Case cases[] = {
      {"whole", [](int) {}, 2},
      {"the later slot torn", [](int fd) { (void)!::pwrite(fd, "torn", 4, 512 + 40); }, 1},
      {"the earlier slot torn", [](int fd) { (void)!::pwrite(fd, "torn", 4, 40); }, 2},
      {"both torn", [](int fd) {
         (void)!::pwrite(fd, "torn", 4, 40);
         (void)!::pwrite(fd, "torn", 4, 512 + 40);
       }, 0},
      {"emptied", [](int fd) { (void)!::ftruncate(fd, 0); }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(path + "-lock");
    {
      auto locks = LockFile::For(path, true);
      LockFile::FileState s;
      s.size = 1;
      locks->WriteState(s);  // into slot 0
      s.size = 2;
      locks->WriteState(s);  // into slot 1, the later
      const int fd = ::open((path + "-lock").c_str(), O_RDWR | O_CLOEXEC);
      c.spoil(fd);
      ::close(fd);
    }
    auto locks = LockFile::For(path, true);
    LockFile::FileState read;
    EXPECT_EQ(c.size != 0, locks->ReadState(read));
    if (c.size != 0) {
      EXPECT_EQ(c.size, read.size);
    }
  }
  fs::remove_all(dir);
}

// ---- refusals and closes leave the state to others ----------------------------------------

// Whatever path a connection leaves by (refused at a save or at the open,
// closed after finding the file written over), the kept state's lock is free
// for everyone, here and in another process, and the state it kept describes
// the file as it stands: another writer folds and keeps it.
TEST_P(SharedFile, RefusalsAndClosesLeaveTheStateFreeForOthers) {
  if (Network()) GTEST_SKIP() << "network mode keeps no log to fold";
  const std::string backup = dir_ + "/Backup.MDB";
  const auto free = [&] {
    auto here = LockFile::For(path_, true);
    const bool taken = here->LockState(true);
    if (taken) here->UnlockState(true);
    Child elsewhere([&](Child&) {
      auto there = LockFile::For(path_, true);
      return there->LockState(true) ? 0 : 1;
    });
    return taken && elsewhere.Wait() == 0;
  };
  db_.reset();
  fs::copy_file(path_, backup);
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  Add(*db_, Numbered("s", 20));
  db_.reset();
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  Add(*db_, Numbered("t", 20));  // in the log
  // Another program in the middle of a transaction: the log stays in use.
  Child holder([&](Child& c) {
    TDatabaseCore db(path_, false, false, "");
    db.Conn().Begin();
    Add(db, {"held"});
    c.Tell('s');
    c.Hear();
    return 0;
  });
  ASSERT_EQ('s', holder.Listen());
  CopyOver(backup);
  EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { Add(*db_, {"refused"}); }));
  EXPECT_TRUE(free()) << "after a refused save";
  EXPECT_NE(0, ErrorOf([&] { TDatabaseCore(path_, false, false, ""); }));
  EXPECT_TRUE(free()) << "after a refused open";
  db_.reset();
  EXPECT_TRUE(free()) << "after a close";
  holder.Kill();
  // Opened again (the log of the contents before kept aside meanwhile), the
  // file as copied takes saves, and a fold keeps its state.
  for (int tries = 0; tries < 3 && !db_; ++tries) ErrorOf([&] { db_ = std::make_unique<TDatabaseCore>(path_, false, false, ""); });
  ASSERT_TRUE(db_);
  LockFile::FileState before, after;
  ASSERT_TRUE(LockFile::For(path_, true)->ReadState(before));
  Add(*db_, Numbered("u", 400), 3000);  // past the fold's threshold
  ASSERT_TRUE(LockFile::For(path_, true)->ReadState(after));
  EXPECT_GT(after.sequence, before.sequence) << "no fold kept its state";
  db_.reset();
  EXPECT_EQ("ok", Integrity(path_));
  EXPECT_TRUE(Holds(path_, Numbered("u", 400)));
}

// ---- whole seconds ------------------------------------------------------------------------

// On a file system that keeps whole seconds, a copy of an older backup of
// the same size put over the file within the second of its last change (or
// with its time set back to it) leaves the size and the time as they were:
// the pages tell it, and the next save is refused.
TEST_P(SharedFile, ACopyWithinTheSameSecondIsToldOnWholeSecondFileSystems) {
  daotest::TWholeSecondDisk disk;
  if (!disk.Mounted()) GTEST_SKIP() << "no ext4 of whole seconds could be mounted here";
  db_.reset();
  const std::string path = disk.Path() + "/Test.MDB";
  fs::copy_file(path_, path);
  {
    TDatabaseCore db(path, false, false, "");
    db.Conn().Begin();
    Add(db, Numbered("w", 1200), 3000);
    db.Conn().Commit();
  }
  const std::string backup = disk.Path() + "/Backup.MDB";
  fs::copy_file(path, backup);
  TDatabaseCore db(path, false, false, "");
  // Every row changed: a change as large as a fold, folded at its commit
  // (network mode: written at once); the file keeps its size.
  db.Execute("UPDATE People SET Age = 7");
  struct stat st {};
  ::stat(path.c_str(), &st);
  ASSERT_EQ(0, st.st_mtim.tv_nsec) << "not a file system of whole seconds";
  ByAnother([&] {
    daotest::CopyOverInPlace(daotest::FileBytes(backup), path);
    const timespec t[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, path.c_str(), t, 0);
  });
  struct stat now {};
  ::stat(path.c_str(), &now);
  ASSERT_EQ(st.st_size, now.st_size);
  ASSERT_EQ(st.st_mtim.tv_sec, now.st_mtim.tv_sec);
  EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { db.Execute("UPDATE People SET Age = 9"); }));
}

INSTANTIATE_TEST_SUITE_P(BothModes, SharedFile, ::testing::Bool(), daotest::ModeName);

}  // namespace
