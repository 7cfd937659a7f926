// Opens of a file in network mode while other processes write it: each open
// waits out the short busy periods of their commits instead of failing, and a
// file that stays busy is refused as busy.

#include <chrono>
#include <map>

#include "childprocess.h"
#include "daotest_util.h"

using namespace dao;
using daotest::Child;
using daotest::DaoFixture;
using daotest::ErrorOf;

namespace {

class NetworkOpens : public DaoFixture {
 protected:
  void SetUp() override {
    daotest::UseNetworkMode(true);
    DaoFixture::SetUp();
    MakePeople();
  }
  void TearDown() override {
    DaoFixture::TearDown();
    daotest::UseNetworkMode(false);
  }
};

TEST_F(NetworkOpens, OpensWhileOthersWriteWaitOutTheirCommits) {
  constexpr int kWriters = 8;
  constexpr int kOpens = 100;
  std::vector<std::unique_ptr<Child>> writers;
  for (int w = 0; w < kWriters; ++w)
    writers.push_back(std::make_unique<Child>([&](Child& c) {
      TDatabaseCore db(path_, false, false, "");
      c.Tell('r');
      const std::string notes(20000, 'n');
      // Small transactions, one after another, until told to stop.
      for (int i = 0;; ++i) {
        db.Execute("INSERT INTO People (Name, Age, Notes) VALUES ('w', " + std::to_string(i % 100) + ", '" + notes + "')");
        if (i % 20 == 19) db.Execute("DELETE FROM People WHERE Name = 'w' AND Age < 50");
      }
      return 0;
    }));
  for (auto& w : writers) ASSERT_EQ('r', w->Listen());
  std::map<int, int> failures;  // error number -> count
  for (int i = 0; i < kOpens; ++i) {
    const int error = ErrorOf([&] {
      TDatabaseCore db(path_, false, false, "");
      db.OpenRecordset("People", -1)->RecordCount();
    });
    if (error != 0) ++failures[error];
  }
  for (auto& w : writers) w->Kill();
  EXPECT_TRUE(failures.empty()) << ::testing::PrintToString(failures) << " of " << kOpens << " opens";
}

TEST_F(NetworkOpens, AFileBusyPastTheTimeoutIsRefusedAsBusy) {
  Child child([&](Child& c) {
    TDatabaseCore db(path_, false, false, "");
    db.Conn().Exec("BEGIN EXCLUSIVE");  // with a rollback journal no reader gets in
    c.Tell('r');
    c.Hear();
    db.Conn().Exec("ROLLBACK");
    return 0;
  });
  ASSERT_EQ('r', child.Listen());
  const int saved = Connection::BusyTimeout();
  Connection::SetBusyTimeout(300);
  const auto start = std::chrono::steady_clock::now();
  int number = 0;
  std::string message;
  try {
    TDatabaseCore db(path_, false, false, "");
  } catch (const TDaoFailure& e) {
    number = e.Number();
    message = e.what();
  }
  const auto waited = std::chrono::steady_clock::now() - start;
  Connection::SetBusyTimeout(saved);
  EXPECT_EQ(number, errFileInUse);
  EXPECT_EQ(message, "Couldn't use '" + path_ + "'; the file is busy: other users are writing it.  Try again in a moment.");
  EXPECT_GE(waited, std::chrono::milliseconds(300));
  EXPECT_LT(waited, std::chrono::seconds(3));
  child.Say('c');
  EXPECT_EQ(0, child.Wait());
  EXPECT_EQ(0, ErrorOf([&] { TDatabaseCore db(path_, false, false, ""); }));
}

}  // namespace
