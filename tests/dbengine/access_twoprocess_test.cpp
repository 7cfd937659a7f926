// Two processes on one database file: the second sees the first's record lock
// and, once it is released, the first's change — both as engine results, in
// both sharing modes of the file.

#include <cstring>
#include <vector>

#include "access_testutil.h"
#include "platform/dao/childprocess.h"

using accesstest::AccessFixture;
using daotest::Child;

namespace {
constexpr std::uint16_t fName = 2;

// The first process: locks Anna's record, waits, renames her and posts.
int RunEditor(const std::string& path, Child& parent) {
  TVirtEng engine(accesstest::AccessSessionClass());
  TBaseDatabase* db = nullptr;
  TBaseTable* c = nullptr;
  if (engine.OpenDatabase(path.c_str(), nullptr, 0, 0, "", 0, nullptr, nullptr, db) != 0) return 2;
  if (engine.OpenTable(db, "People", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, c) != 0) return 3;
  std::vector<std::uint8_t> rec(c->GetRecordBufferSize());
  if (engine.GetNextRecord(c, 0, rec.data(), nullptr) != 0) return 4;
  if (engine.GetCurrentRecord(c, 1, rec.data(), nullptr) != 0) return 5;
  parent.Tell('L');
  if (parent.Hear() != 'G') return 6;
  char name[] = "Anne";
  if (engine.PutField(c, fName, rec.data(), name) != 0) return 7;
  if (engine.ModifyRecord(c, rec.data(), 1) != 0) return 8;
  parent.Tell('D');
  return 0;
}

class TwoProcesses : public AccessFixture, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    daotest::UseNetworkMode(GetParam());
    AccessFixture::SetUp();
  }
  void TearDown() override {
    DaoSetBusyTimeout(savedTimeout_);
    AccessFixture::TearDown();
    daotest::UseNetworkMode(false);
  }
  int savedTimeout_ = dao::Connection::BusyTimeout();
};

TEST_P(TwoProcesses, SecondSeesTheFirstsLockAndChange) {
  DaoSetBusyTimeout(200);
  Child editor([&](Child& self) {
    ResetSharedDAOEngine();
    return RunEditor(path_, self);
  });
  ASSERT_EQ('L', editor.Listen()) << "the editor could not lock the record";

  TBaseDatabase* db = OpenDb();
  TBaseTable* c = OpenTable(db, "People");
  std::vector<std::uint8_t> rec(c->GetRecordBufferSize());
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  DBIResult locked = Engine().GetCurrentRecord(c, 1, rec.data(), nullptr);
  EXPECT_NE(0, locked) << "the record is locked by the other process";
  std::int32_t native = 0;
  std::string text;
  Engine().GetErrorText(1, native, text);
  int number = native & 0xFFFF;
  EXPECT_TRUE(number == 3218 || number == 3260 || number == 3197) << text;
  EXPECT_EQ("Access Status", text.substr(0, 13));

  editor.Say('G');
  ASSERT_EQ('D', editor.Listen());
  EXPECT_EQ(0, editor.Wait());

  ASSERT_EQ(0, Engine().SetToStart(c));
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  EXPECT_EQ("Anne", GetText(c, rec.data(), fName));
  EXPECT_EQ(0, Engine().GetCurrentRecord(c, 1, rec.data(), nullptr)) << "free to edit now";
  Engine().CancelRecordChange(c, nullptr);
}

INSTANTIATE_TEST_SUITE_P(BothModes, TwoProcesses, ::testing::Values(false, true), daotest::ModeName);

}  // namespace
