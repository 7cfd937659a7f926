// A user of another account who may only read a database file comes and goes
// before and while its owner writes it, in both sharing modes: the reader
// leaves no file of its own beside the database, and the owner writes
// throughout. Both users are real processes of their own accounts ("nobody"
// reads, "daemon" owns), so the tests need root and skip without it.

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "childprocess.h"
#include "daotest_util.h"

using namespace dao;
using daotest::Child;
using daotest::ErrorOf;
namespace fs = std::filesystem;

namespace {

// Exit codes of the users' processes.
enum : int { kDone = 0, kWrongAccess = 1, kRefused = 2, kWrongRows = 3, kFailed = 4 };

class ReaderAndOwner : public daotest::DaoFixture, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "running users of other accounts needs root";
    reader_ = Account("nobody");
    owner_ = Account("daemon");
    if (!reader_.found || !owner_.found) GTEST_SKIP() << "no accounts 'nobody' and 'daemon' here";
    // Made in local mode: a file left so by its last local user.
    DaoFixture::SetUp();
    MakeOneAndTwo();
    db_.reset();
    fs::remove(path_ + "-lock");  // root's: the owner makes its own
    fs::permissions(dir_, fs::perms(0777));
    fs::permissions(path_, fs::perms(0644));
    EXPECT_EQ(0, ::chown(path_.c_str(), owner_.uid, owner_.gid));
    daotest::UseNetworkMode(GetParam());
  }
  void TearDown() override {
    daotest::UseNetworkMode(false);
    DaoFixture::TearDown();
  }

  struct User {
    bool found = false;
    uid_t uid = 0;
    gid_t gid = 0;
  };
  static User Account(const char* name) {
    const passwd* p = ::getpwnam(name);
    return p == nullptr ? User{} : User{true, p->pw_uid, p->pw_gid};
  }
  // A process of the user's account running body.
  static std::unique_ptr<Child> As(const User& user, std::function<int(Child&)> body) {
    return std::make_unique<Child>([user, body](Child& c) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(user.gid) != 0 || ::setuid(user.uid) != 0) return 90;
      return body(c);
    });
  }
  static int Finish(std::unique_ptr<Child> user) { return user->Wait(); }

  // The reader's open; kDone when it opened read-only and found `rows` people.
  int ReadPeople(std::unique_ptr<TDatabaseCore>& db, int rows) {
    if (int error = ErrorOf([&] { db = std::make_unique<TDatabaseCore>(path_, false, false, ""); }))
      return error == errFileInUse ? kRefused : kFailed;
    if (!db->ReadOnly()) return kWrongAccess;
    return db->OpenRecordset("People", -1)->RecordCount() == rows ? kDone : kWrongRows;
  }
  // The owner adds a person through a recordset and through a statement.
  static int AddPeople(TDatabaseCore& db, const std::string& name) {
    if (db.ReadOnly()) return kWrongAccess;
    return ErrorOf([&] {
             auto rs = db.OpenRecordset("People", -1);
             rs->AddNew();
             rs->SetValue(1, Cell::MakeText(name));
             rs->Update();
             db.Execute("UPDATE People SET Age = 9 WHERE Name = '" + name + "'");
           }) == 0
               ? kDone
               : kRefused;
  }
  // Files in the folder that the reader's account owns.
  std::vector<std::string> ReadersFiles() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      struct stat st {};
      if (::stat(entry.path().c_str(), &st) == 0 && st.st_uid == reader_.uid)
        found.push_back(entry.path().filename().string());
    }
    return found;
  }
  int Count() {
    TDatabaseCore db(path_, false, true, "");
    return static_cast<int>(db.OpenRecordset("People", -1)->RecordCount());
  }

  User reader_, owner_;
};

// In network mode the reader finds the file left in local mode, which only a
// writer can end: it is refused, and leaves nothing behind either.
TEST_P(ReaderAndOwner, AReaderWhoCameAndWentLeavesTheOwnerWriting) {
  const bool network = GetParam();
  EXPECT_EQ(network ? kRefused : kDone, Finish(As(reader_, [&](Child&) {
              std::unique_ptr<TDatabaseCore> db;
              return ReadPeople(db, 2);
            })));
  EXPECT_EQ(ReadersFiles(), std::vector<std::string>{});
  EXPECT_EQ(kDone, Finish(As(owner_, [&](Child&) {
              TDatabaseCore db(path_, false, false, "");
              return AddPeople(db, "three");
            })));
  // Now as the owner left it, again.
  EXPECT_EQ(kDone, Finish(As(reader_, [&](Child&) {
              std::unique_ptr<TDatabaseCore> db;
              return ReadPeople(db, 3);
            })));
  EXPECT_EQ(ReadersFiles(), std::vector<std::string>{});
  EXPECT_EQ(kDone, Finish(As(owner_, [&](Child&) {
              TDatabaseCore db(path_, false, false, "");
              return AddPeople(db, "four");
            })));
  EXPECT_EQ(4, Count());
}

// The reader keeps the file open while the owner comes, writes, and stays on
// after the reader went.
TEST_P(ReaderAndOwner, TheOwnerWritesWhileAReaderHasTheFileOpenAndAfter) {
  if (GetParam()) {  // a file in network mode, as a network writer leaves it
    TDatabaseCore made(path_, false, false, "");
  }
  auto reader = As(reader_, [&](Child& c) {
    std::unique_ptr<TDatabaseCore> db;
    const int read = ReadPeople(db, 2);
    c.Tell(read == kDone ? 'r' : 'x');
    c.Hear();
    return read;
  });
  ASSERT_EQ('r', reader->Listen());
  auto owner = As(owner_, [&](Child& c) {
    TDatabaseCore db(path_, false, false, "");
    c.Tell(AddPeople(db, "three") == kDone ? 'w' : 'x');
    c.Hear();
    return AddPeople(db, "four");
  });
  EXPECT_EQ('w', owner->Listen());
  reader->Say('q');
  EXPECT_EQ(kDone, reader->Wait());
  owner->Say('q');
  EXPECT_EQ(kDone, owner->Wait());
  EXPECT_EQ(ReadersFiles(), std::vector<std::string>{});
  EXPECT_EQ(4, Count());
}

// Where the owner keeps the log's files, the reader reads through them what
// the owner wrote and has not folded into the file yet.
TEST_P(ReaderAndOwner, AReaderSeesWhatTheOwnerKeepsInItsLog) {
  auto owner = As(owner_, [&](Child& c) {
    TDatabaseCore db(path_, false, false, "");
    c.Tell(AddPeople(db, "three") == kDone ? 'w' : 'x');
    c.Hear();
    return kDone;
  });
  ASSERT_EQ('w', owner->Listen());
  EXPECT_EQ(kDone, Finish(As(reader_, [&](Child&) {
              std::unique_ptr<TDatabaseCore> db;
              return ReadPeople(db, 3);
            })));
  owner->Say('q');
  EXPECT_EQ(kDone, owner->Wait());
  EXPECT_EQ(ReadersFiles(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(BothModes, ReaderAndOwner, ::testing::Bool(), daotest::ModeName);

}  // namespace
