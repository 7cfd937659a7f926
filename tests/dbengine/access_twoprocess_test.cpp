// Two processes on one database file: the second sees the first's record lock
// and, once it is released, the first's change — both as engine results.

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "access_testutil.h"

using accesstest::AccessFixture;

namespace {
constexpr std::uint16_t fName = 2;

char ReadByte(int fd) {
  char c = 0;
  return ::read(fd, &c, 1) == 1 ? c : 0;
}
void WriteByte(int fd, char c) { (void)!::write(fd, &c, 1); }

// The first process: locks Anna's record, waits, renames her and posts.
int RunEditor(const std::string& path, int toParent, int fromParent) {
  TVirtEng engine(accesstest::AccessSessionClass());
  TBaseDatabase* db = nullptr;
  TBaseTable* c = nullptr;
  if (engine.OpenDatabase(path.c_str(), nullptr, 0, 0, "", 0, nullptr, nullptr, db) != 0) return 2;
  if (engine.OpenTable(db, "People", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, c) != 0) return 3;
  std::vector<std::uint8_t> rec(c->GetRecordBufferSize());
  if (engine.GetNextRecord(c, 0, rec.data(), nullptr) != 0) return 4;
  if (engine.GetCurrentRecord(c, 1, rec.data(), nullptr) != 0) return 5;
  WriteByte(toParent, 'L');
  if (ReadByte(fromParent) != 'G') return 6;
  char name[] = "Anne";
  if (engine.PutField(c, fName, rec.data(), name) != 0) return 7;
  if (engine.ModifyRecord(c, rec.data(), 1) != 0) return 8;
  WriteByte(toParent, 'D');
  return 0;
}
}  // namespace

TEST_F(AccessFixture, SecondProcessSeesTheFirstsLockAndChange) {
  DaoSetBusyTimeout(200);
  int up[2], down[2];
  ASSERT_EQ(0, ::pipe(up));
  ASSERT_EQ(0, ::pipe(down));
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ResetSharedDAOEngine();
    int code = RunEditor(path_, up[1], down[0]);
    ::_exit(code);
  }
  ASSERT_EQ('L', ReadByte(up[0])) << "the editor could not lock the record";

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

  WriteByte(down[1], 'G');
  ASSERT_EQ('D', ReadByte(up[0]));
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status));

  ASSERT_EQ(0, Engine().SetToStart(c));
  ASSERT_EQ(0, Engine().GetNextRecord(c, 0, rec.data(), nullptr));
  EXPECT_EQ("Anne", GetText(c, rec.data(), fName));
  EXPECT_EQ(0, Engine().GetCurrentRecord(c, 1, rec.data(), nullptr)) << "free to edit now";
  Engine().CancelRecordChange(c, nullptr);
}
