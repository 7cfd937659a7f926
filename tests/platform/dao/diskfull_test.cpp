// A disk that fills up under an open database, in both sharing modes: every
// write is refused with DAO's own error for it, nothing of it is stored, the
// file stays whole, and once there is room again the same write goes in.

#include "childprocess.h"
#include "daotest_util.h"
#include "smalldisk.h"

using namespace dao;
using daotest::ErrorOf;

namespace {

class DiskFull : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    daotest::UseNetworkMode(GetParam());
    if (!disk_.Mounted()) GTEST_SKIP() << "a small disk of its own needs the power to mount";
    path_ = disk_.Path() + "/Test.MDB";
    TDatabaseCore::Create(path_, "");
    db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
    db_->Execute("CREATE TABLE People (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(20), Notes MEMO)");
    db_->Execute("INSERT INTO People (Name) VALUES ('one')");
  }
  void TearDown() override {
    db_.reset();
    daotest::UseNetworkMode(false);
  }
  std::vector<std::string> Stored() {
    TDatabaseCore db(path_, false, true, "");
    auto rs = db.OpenRecordset("SELECT Name, Notes FROM People ORDER BY Id", -1);
    std::vector<std::string> out;
    for (; !rs->Eof(); rs->MoveNext()) out.push_back(rs->Value(0).text + ":" + std::to_string(rs->Value(1).text.size()));
    return out;
  }

  daotest::TSmallDisk disk_{512};
  std::string path_;
  std::unique_ptr<TDatabaseCore> db_;
};

TEST_P(DiskFull, WritesAreRefusedAsNotEnoughSpaceAndGoInOnceThereIsRoom) {
  const std::string memo(64 * 1024, 'm');
  auto rs = db_->OpenRecordset("People", -1);
  ASSERT_TRUE(disk_.Fill());
  const struct {
    const char* name;
    std::function<void()> write;
  } writes[] = {
      {"edit", [&] {
         rs->Edit();
         rs->SetValue(2, Cell::MakeText(memo));
         rs->Update();
       }},
      {"addition", [&] {
         rs->AddNew();
         rs->SetValue(1, Cell::MakeText("two"));
         rs->SetValue(2, Cell::MakeText(memo));
         rs->Update();
       }},
      {"statement", [&] { db_->Execute("UPDATE People SET Notes = '" + memo + "'"); }},
  };
  for (const auto& w : writes) {
    SCOPED_TRACE(w.name);
    try {
      w.write();
      ADD_FAILURE() << "written on a full disk";
    } catch (const TDaoFailure& e) {
      EXPECT_EQ(errDiskFull, e.Number());
      EXPECT_EQ("Not enough space on disk.", e.Description());
    }
    if (rs->EditMode() != dbEditNone) rs->CancelUpdate();
    EXPECT_EQ(0, db_->Conn().TransactionDepth());
  }
  disk_.Free();
  EXPECT_EQ(Stored(), std::vector<std::string>{"one:0"});
  for (const auto& w : writes) {
    SCOPED_TRACE(w.name);
    EXPECT_EQ(0, ErrorOf(w.write));
  }
  EXPECT_EQ(Stored(), (std::vector<std::string>{"one:65536", "two:65536"}));
}

// The first open of a file on a full disk (made before the disk filled up,
// nobody has it open): the files an open makes beside it find no room, and
// the open says so, as a save would.
TEST_P(DiskFull, TheFirstOpenOnAFullDiskSaysTheDiskIsFull) {
  db_.reset();
  ::unlink((path_ + "-lock").c_str());
  ASSERT_TRUE(disk_.Fill());
  try {
    TDatabaseCore db(path_, false, false, "");
    db.Execute("INSERT INTO People (Name) VALUES ('two')");
    ADD_FAILURE() << "saved on a full disk";
  } catch (const TDaoFailure& e) {
    EXPECT_EQ(errDiskFull, e.Number()) << e.Description();
    EXPECT_EQ("Not enough space on disk.", e.Description());
  }
  disk_.Free();
  EXPECT_EQ(Stored(), std::vector<std::string>{"one:0"});
}

INSTANTIATE_TEST_SUITE_P(BothModes, DiskFull, ::testing::Bool(), daotest::ModeName);

}  // namespace
