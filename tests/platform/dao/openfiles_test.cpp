// Opening files that are not ours, damaged, read-only or in read-only
// folders, and users of other accounts on one file: an open changes nothing
// it has not recognised, and locks hold between accounts or fail loudly.

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "childprocess.h"
#include "daotest_util.h"

using namespace dao;
using daotest::Child;
using daotest::DaoFixture;
using daotest::ErrorOf;
using daotest::DescriptionOf;
namespace fs = std::filesystem;

namespace {

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The files beside `path` that SQLite or the locks could leave.
std::vector<std::string> SideFiles(const std::string& path) {
  std::vector<std::string> found;
  for (const char* suffix : {"-lock", "-wal", "-shm", "-journal"})
    if (fs::exists(path + suffix)) found.push_back(suffix);
  return found;
}

class OpenFiles : public DaoFixture {
 protected:
  void SetUp() override {
    DaoFixture::SetUp();
    MakeOneAndTwo();
  }
  // Our database with its catalogue tables dropped: an SQLite file of someone else.
  std::string ForeignFile(const char* journalMode) {
    std::string path = dir_ + "/foreign-" + journalMode + ".db";
    TDatabaseCore::Create(path, "");
    {
      TDatabaseCore db(path, false, false, "");
      db.Execute("CREATE TABLE Other (A LONG)");
      for (const char* t : {"MSysColumns", "MSysIndexes", "MSysTables", "MSysQueries"})
        db.Conn().Exec(std::string("DROP TABLE ") + t);
      db.Conn().Exec(std::string("PRAGMA journal_mode=") + journalMode);
    }
    fs::remove(path + "-lock");
    return path;
  }
  // The whole test database, closed, as bytes.
  std::string OurBytes() {
    db_.reset();
    return Bytes(path_);
  }
};

TEST_F(OpenFiles, FilesNotOursAreRefusedAndStayAsTheyWere) {
  std::string ours = OurBytes();
  struct Case {
    const char* name;
    std::string path;
  };
  std::vector<Case> cases = {
      {"empty", dir_ + "/empty.mdb"},
      {"text", dir_ + "/text.mdb"},
      {"cut in the header", dir_ + "/cut.mdb"},
      {"first page only", dir_ + "/page.mdb"},
      {"foreign", ForeignFile("delete")},
      {"foreign with a log", ForeignFile("wal")},
  };
  Write(cases[0].path, "");
  Write(cases[1].path, "Name,Age\none,1\n");
  Write(cases[2].path, ours.substr(0, 60));
  Write(cases[3].path, ours.substr(0, 4096));
  for (const auto& c : cases) {
    std::string before = Bytes(c.path);
    for (bool readOnly : {false, true}) {
      EXPECT_EQ(errCannotOpen, ErrorOf([&] { TDatabaseCore(c.path, false, readOnly, ""); }))
          << c.name << (readOnly ? " read-only" : "");
      EXPECT_TRUE(before == Bytes(c.path)) << c.name << " changed";
      // A read-only connection cannot remove the log files SQLite made for
      // a file in write-ahead-log mode; they take the file's owner and bits.
      if (!readOnly) {
        EXPECT_EQ(std::vector<std::string>{}, SideFiles(c.path)) << c.name;
      }
      EXPECT_FALSE(fs::exists(c.path + "-lock")) << c.name;
    }
  }
}

TEST_F(OpenFiles, ReadOnlyOpensWriteNothing) {
  std::string before = OurBytes();
  fs::remove(path_ + "-lock");
  {
    TDatabaseCore db(path_, false, true, "");
    EXPECT_EQ(2, db.OpenRecordset("People", -1)->RecordCount());
    // Every statement that writes is refused, the ones that change the
    // catalogue too; a query is no statement to execute, read-only or not.
    const std::pair<const char*, int> statements[] = {
        {"DELETE FROM People", errReadOnly},
        {"CREATE TABLE Pets (Name TEXT(10))", errReadOnly},
        {"CREATE INDEX ByName ON People (Name)", errReadOnly},
        {"DROP INDEX PrimaryKey ON People", errReadOnly},
        {"DROP TABLE People", errReadOnly},
        {"SELECT * FROM People", errSelectNotExecutable},
    };
    for (const auto& [sql, error] : statements) {
      const std::string statement = sql;  // a lambda cannot capture a binding
      EXPECT_EQ(error, ErrorOf([&] { db.Execute(statement); })) << statement;
    }
  }
  // A file nobody may write opens read-only without being asked, even for root.
  fs::permissions(path_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  {
    TDatabaseCore db(path_, false, false, "");
    EXPECT_TRUE(db.ReadOnly());
    auto rs = db.OpenRecordset("People", -1);
    EXPECT_EQ(errReadOnly, ErrorOf([&] { rs->Edit(); }));
  }
  EXPECT_TRUE(before == Bytes(path_)) << "the database changed";
  EXPECT_FALSE(fs::exists(path_ + "-lock"));
}

// ---- other accounts: a child process runs as "nobody" (needs root) ----------

class OtherAccount : public OpenFiles {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "running a child as another account needs root";
    nobody_ = ::getpwnam("nobody");
    if (nobody_ == nullptr) GTEST_SKIP() << "no account 'nobody' here";
    OpenFiles::SetUp();
  }
  // Runs `body` as nobody; the child's exit code (0: every check held).
  int AsNobody(std::function<int()> body) {
    uid_t uid = nobody_->pw_uid;
    gid_t gid = nobody_->pw_gid;
    Child child([&](Child&) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) return 90;
      return body();
    });
    return child.Wait();
  }
  void Permit(const std::string& path, fs::perms perms) { fs::permissions(path, perms); }
  passwd* nobody_ = nullptr;
};

TEST_F(OtherAccount, ValidDatabaseInAReadOnlyFolderOpensReadOnly) {
  std::string before = OurBytes();
  fs::remove(path_ + "-lock");
  Permit(dir_, fs::perms(0755));  // nobody may not create files here
  EXPECT_EQ(0, AsNobody([&] {
    for (bool readOnly : {false, true}) {
      std::unique_ptr<TDatabaseCore> db;
      if (ErrorOf([&] { db = std::make_unique<TDatabaseCore>(path_, false, readOnly, ""); }) != 0) return 1;
      if (!db->ReadOnly()) return 2;
      if (db->OpenRecordset("People", -1)->RecordCount() != 2) return 3;
    }
    return 0;
  }));
  EXPECT_TRUE(before == Bytes(path_)) << "the database changed";
  EXPECT_EQ(std::vector<std::string>{}, SideFiles(path_));
  // A log with changes the file lacks cannot be read without its index: said so.
  Write(path_ + "-wal", "pending");
  EXPECT_EQ(0, AsNobody([&] { return ErrorOf([&] { TDatabaseCore(path_, false, true, ""); }) == errFolderReadOnly ? 0 : 1; }));
}

TEST_F(OtherAccount, AReaderWhoMayNotWriteCannotEditOrHoldTheFileAlone) {
  Permit(dir_, fs::perms(0777));
  Permit(path_, fs::perms(0644));
  auto rs = db_->OpenRecordset("People", -1);  // the owner keeps it open
  EXPECT_EQ(0, AsNobody([&] {
    // The lock file is the owner's: a hold on the whole file cannot be taken.
    if (ErrorOf([&] { TDatabaseCore(path_, true, true, ""); }) != errCantLockFile) return 1;
    TDatabaseCore db(path_, false, false, "");
    if (!db.ReadOnly()) return 2;
    auto mine = db.OpenRecordset("People", -1);
    return ErrorOf([&] { mine->Edit(); }) == errReadOnly ? 0 : 3;
  }));
}

TEST_F(OtherAccount, LocksHoldBetweenAccountsThatMayWrite) {
  db_.reset();
  fs::remove(path_ + "-lock");
  Permit(dir_, fs::perms(0777));
  Permit(path_, fs::perms(0666));
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  struct stat lock {};
  ASSERT_EQ(0, ::stat((path_ + "-lock").c_str(), &lock));
  EXPECT_EQ(0666u, lock.st_mode & 0777);
  auto rs = db_->OpenRecordset("People", -1);
  rs->MoveFirst();
  rs->Edit();
  EXPECT_EQ(0, AsNobody([&] {
    TDatabaseCore db(path_, false, false, "");
    if (db.ReadOnly()) return 1;
    auto mine = db.OpenRecordset("People", -1);
    mine->MoveFirst();
    if (ErrorOf([&] { mine->Edit(); }) != errLockedByUser) return 2;
    if (ErrorOf([&] { TDatabaseCore(path_, true, false, ""); }) != errFileInUse) return 3;
    mine->MoveNext();
    return ErrorOf([&] {
      mine->Edit();
      mine->SetValue(2, Cell::MakeInteger(20));
      mine->Update();
    }) == 0 ? 0 : 4;
  }));
  rs->CancelUpdate();
}

}  // namespace

namespace {

// A database made (by the database maker, or made and used by the program)
// and then shared as administrators share files: made writable for everyone
// or for a group. Its users of other accounts open it for writing at once;
// the lock file follows the database's permissions.
TEST_F(OtherAccount, ADatabaseSharedAfterItWasMadeOpensForWritingForItsUsersAtOnce) {
  struct Case {
    const char* name;
    bool used;       // opened by its maker before it was shared
    fs::perms bits;  // given to the database
    bool group;      // the database's group is nobody's
    bool held;       // its maker has it open again, shared, as the other user opens it
  };
  const Case cases[] = {
      {"made, then writable for everyone", false, fs::perms(0666), false, false},
      {"made and used, then writable for everyone", true, fs::perms(0666), false, false},
      {"made and used, then writable for its group", true, fs::perms(0664), true, false},
      {"made and used, writable for its group, then open by its maker", true, fs::perms(0664), true, true},
  };
  db_.reset();
  Permit(dir_, fs::perms(0777));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_ + "/Shared" + std::to_string(&c - cases) + ".MDB";
    TDatabaseCore::Create(path, "");
    if (c.used) {
      TDatabaseCore db(path, false, false, "");
      db.Execute("CREATE TABLE People (Id COUNTER, Name TEXT(20))");
    }
    if (c.group) {
      ASSERT_EQ(0, ::chown(path.c_str(), 0, nobody_->pw_gid));
    }
    Permit(path, c.bits);
    std::unique_ptr<TDatabaseCore> maker;
    if (c.held) maker = std::make_unique<TDatabaseCore>(path, false, false, "");
    EXPECT_EQ(0, AsNobody([&] {
      const std::string said = DescriptionOf([&] {
        TDatabaseCore db(path, false, false, "");
        if (db.ReadOnly()) throw TDaoFailure(errReadOnly, "opened read-only");
        db.Execute("CREATE TABLE Mine (Name TEXT(20))");
      });
      if (!said.empty()) std::fprintf(stderr, "%s\n", said.c_str());
      return said.empty() ? 0 : 1;
    }));
    struct stat lock {};
    ASSERT_EQ(0, ::stat((path + "-lock").c_str(), &lock));
    EXPECT_EQ(static_cast<unsigned>(c.bits), lock.st_mode & 0777);
  }
}

// A user of another account who may write the database but not its lock
// file, where it cannot be replaced (its owner has the database open, or it
// may not even be read), is refused with a message that names the lock file
// and why, and leaves no file of its own beside the database.
TEST_F(OtherAccount, AnOpenRefusedForTheLockFileNamesItAndLeavesNothing) {
  struct Case {
    const char* name;
    bool ownerHasItOpen;
    fs::perms lockBits;
    const char* why;
  };
  const Case cases[] = {
      {"its owner has the database open", true, fs::perms(0644), "other users have the database open"},
      {"it may not be read", false, fs::perms(0), "nor read it"},
  };
  Permit(dir_, fs::perms(0777));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    db_.reset();
    Permit(path_, fs::perms(0644));
    db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");  // the lock file: the owner's
    if (!c.ownerHasItOpen) db_.reset();
    Permit(path_ + "-lock", c.lockBits);
    Permit(path_, fs::perms(0666));
    const std::vector<std::string> before = SideFiles(path_);
    EXPECT_EQ(0, AsNobody([&] {
      const std::string said = DescriptionOf([&] { TDatabaseCore(path_, false, false, ""); });
      if (said.find("'" + path_ + "-lock'") == std::string::npos) return 1;
      return said.find(c.why) == std::string::npos ? 2 : 0;
    }));
    EXPECT_EQ(before, SideFiles(path_));
    for (const auto& entry : fs::directory_iterator(dir_)) {
      struct stat st {};
      ASSERT_EQ(0, ::stat(entry.path().c_str(), &st));
      EXPECT_NE(nobody_->pw_uid, st.st_uid) << entry.path() << " is nobody's";
    }
  }
  db_.reset();
}

}  // namespace
