// The sharing mode of a database file: rollback journal in a network folder
// (told by the file system's type, through an injectable probe), write-ahead
// log on a local disk, and never both at once.

#include <filesystem>

#include "childprocess.h"
#include "daotest_util.h"
#include "platform/dao/sharing.h"

using namespace dao;
using daotest::Child;
using daotest::DaoFixture;
using daotest::ErrorOf;

namespace {

TEST(SharingMode, NetworkFileSystemsAreToldByTheirTypeCode) {
  struct Case {
    long code;
    bool network;
    const char* name;
  };
  for (const Case& c : {Case{0x6969, true, "NFS"}, Case{0x517B, true, "SMB"},
                        Case{static_cast<long>(0xFE534D42), true, "SMB2"},
                        Case{static_cast<long>(0xFF534D42), true, "CIFS"},
                        Case{0x65735546, true, "FUSE"}, Case{0x01021997, true, "9P"},
                        Case{0xEF53, false, "ext4"}, Case{0x01021994, false, "tmpfs"},
                        Case{0x58465342, false, "XFS"}, Case{static_cast<long>(0x9123683E), false, "Btrfs"},
                        Case{0x794C7630, false, "overlay"}, Case{0, false, "unknown"}})
    EXPECT_EQ(c.network, IsNetworkFileSystem(c.code)) << c.name;
}

// The folder's file system as the probe reports it.
class Sharing : public DaoFixture {
 protected:
  void SetUp() override {
    Report(0xEF53);
    DaoFixture::SetUp();
    MakeOneAndTwo();
  }
  void TearDown() override {
    DaoFixture::TearDown();
    SetFileSystemProbe(nullptr);
  }
  void Report(long code) {
    SetFileSystemProbe([code](const std::string&) { return code; });
  }
  static std::string Journal(TDatabaseCore& db) {
    StatementUse s(db.Conn().Cached("PRAGMA journal_mode"));
    return s->Step() ? s->ColumnText(0) : "";
  }
};

TEST_F(Sharing, ANetworkFolderRunsWithARollbackJournal) {
  EXPECT_EQ("wal", Journal(*db_));
  EXPECT_FALSE(db_->Conn().NetworkMode());
  db_.reset();
  Report(0x6969);
  TDatabaseCore db(path_, false, false, "");  // left in local mode: switched back
  EXPECT_TRUE(db.Conn().NetworkMode());
  EXPECT_EQ("delete", Journal(db));
  db.Execute("INSERT INTO People (Name, Age) VALUES ('three', 3)");
  EXPECT_FALSE(std::filesystem::exists(path_ + "-wal"));
  EXPECT_FALSE(std::filesystem::exists(path_ + "-shm"));
  std::string made = dir_ + "/made.mdb";
  TDatabaseCore::Create(made, "");
  EXPECT_EQ("delete", Journal(*std::make_unique<TDatabaseCore>(made, false, true, "")));
  // The environment forces the mode on a local disk.
  Report(0xEF53);
  daotest::UseNetworkMode(true);
  EXPECT_TRUE(TDatabaseCore(made, false, true, "").Conn().NetworkMode());
  daotest::UseNetworkMode(false);
}

TEST_F(Sharing, TheTwoModesNeverRunAtOnce) {
  auto opensIn = [&](long code) {
    Report(code);
    try {
      TDatabaseCore db(path_, false, false, "");
    } catch (const TDaoFailure& e) {
      return std::to_string(e.Number()) + " " + e.Description();
    }
    return std::string("0");
  };
  // Another process holds it in local mode: a network user is refused.
  Child local([&](Child& c) {
    Report(0xEF53);
    TDatabaseCore db(path_, false, false, "");
    c.Tell('o');
    c.Hear();
    return 0;
  });
  db_.reset();
  ASSERT_EQ('o', local.Listen());
  std::string refused = opensIn(0x6969);
  EXPECT_EQ(0u, refused.find("3045 ")) << refused;
  EXPECT_NE(std::string::npos, refused.find("open in local mode")) << refused;
  EXPECT_EQ("0", opensIn(0xEF53));
  local.Say('x');
  EXPECT_EQ(0, local.Wait());
  // Once nobody has it open, the other mode may take it, and holds it.
  Report(0x6969);
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  refused = opensIn(0xEF53);
  EXPECT_NE(std::string::npos, refused.find("open in network mode")) << refused;
  Child later([&](Child&) {
    Report(0xEF53);
    return ErrorOf([&] { TDatabaseCore(path_, false, false, ""); }) == errFileInUse ? 0 : 1;
  });
  EXPECT_EQ(0, later.Wait());
}

}  // namespace
