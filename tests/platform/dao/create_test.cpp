// Making a database file: made whole under a hidden name beside the path and
// put in place only when done, never over a file. Whatever happens meanwhile
// (a file put at the path by another program, a failure, a kill), nothing at
// the path is removed or written over, and nothing half made is left there.

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <stdexcept>

#include "childprocess.h"
#include "daotest_util.h"
#include "sharedfile.h"

using namespace dao;
using daotest::Child;
using daotest::ErrorOf;
namespace fs = std::filesystem;

namespace {

// The names in a folder, hidden ones too.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(Create, AMakerNeverRemovesOrWritesOverWhatItDidNotMake) {
  const std::string dir = daotest::ScratchDir();
  const std::string path = dir + "/Test.MDB";
  const std::string theirs = "another program's file";
  struct Case {
    const char* name;
    std::function<void(const std::string& made)> fill;
    int error;            // the maker's
    bool othersAtPath;    // another program's file is at the path after
  };
  const Case cases[] = {
      {"another file put at the path meanwhile",
       [&](const std::string&) { std::ofstream(path, std::ios::binary) << theirs; }, errDatabaseExists, true},
      {"failing while it fills the file", [](const std::string&) { throw TDaoFailure(errDiskFull, "full"); },
       errDiskFull, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    EXPECT_EQ(c.error, ErrorOf([&] { TDatabaseCore::Create(path, "", c.fill); }));
    if (c.othersAtPath) {
      EXPECT_EQ(theirs, daotest::FileBytes(path));
      EXPECT_EQ(Names(dir), std::vector<std::string>{"Test.MDB"});
    } else {
      EXPECT_EQ(Names(dir), std::vector<std::string>{});
    }
  }
  // A maker killed halfway leaves nothing at the path; the next one makes it.
  fs::remove_all(dir);
  fs::create_directories(dir);
  Child maker([&](Child& c) {
    TDatabaseCore::Create(path, "", [&](const std::string&) {
      c.Tell('m');
      c.Hear();
    });
    return 0;
  });
  ASSERT_EQ('m', maker.Listen());
  maker.Kill();
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(0, ErrorOf([&] { TDatabaseCore::Create(path, ""); }));
  EXPECT_EQ(0, ErrorOf([&] { TDatabaseCore(path, false, false, "").Execute("CREATE TABLE T (A LONG)"); }));
  fs::remove_all(dir);
}

}  // namespace
