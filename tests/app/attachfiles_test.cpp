// The attachment file routines: copying at the block edges and its errors,
// sizes, attributes, the trash, opening, and the names of copies (bare names
// only, numbered on collision, never replaced, also between processes).

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "app/common/attachfiles.h"
#include "apptest.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/fileutils.h"

namespace {

namespace fs = std::filesystem;

std::string Bytes(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = char(i * 7 + i / 251);
  return s;
}

void Put(const std::string& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

std::string Get(const std::string& path) {
  std::string s;
  ReadWholeFile(path, s);
  return s;
}

template <class E>
std::string Raised(const std::function<void()>& f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message();
  }
  return "<nothing>";
}

struct AttachFiles : ::testing::Test {
  apptest::Scratch scratch{false};
  std::string dir = scratch.Dir() + "/";
  std::string folder = dir + "Attachments/";
};

TEST_F(AttachFiles, CopiesEveryByteAtTheBlockEdges) {
  for (std::size_t n : {0u, 8191u, 8192u, 8193u, 3u * 8192u + 5u}) {
    Put(dir + "src", Bytes(n));
    Put(dir + "dst", "old contents that are longer than some copies");
    CopyFileTo(dir + "src", dir + "dst");
    EXPECT_EQ(Get(dir + "dst"), Bytes(n)) << n;
    EXPECT_EQ(GetFileSizeBytes(dir + "dst"), std::int64_t(n));
  }
}

TEST_F(AttachFiles, CopyErrorsNameTheFile) {
  Put(dir + "src", "x");
  EXPECT_EQ(Raised<EFOpenError>([&] { CopyFileTo(dir + "missing", dir + "d"); }),
            "Cannot open file " + dir + "missing");
  EXPECT_EQ(Raised<EFOpenError>([&] { CopyFileTo(scratch.Dir(), dir + "d"); }),
            "Cannot open file " + scratch.Dir());
  EXPECT_EQ(Raised<EFCreateError>([&] { CopyFileTo(dir + "src", dir + "no/d"); }),
            "Cannot create file " + dir + "no/d");
  EXPECT_FALSE(fs::exists(dir + "d"));
  // Exclusive creation leaves an existing file alone.
  Put(dir + "taken", "mine");
  EXPECT_FALSE(CopyFileToNew(dir + "src", dir + "taken"));
  EXPECT_EQ(Get(dir + "taken"), "mine");
}

TEST_F(AttachFiles, AFailedWriteLeavesNoPartialCopy) {
  Put(dir + "src", Bytes(40000));
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 10000;  // the second block's write fails
  ::setrlimit(RLIMIT_FSIZE, &small);
  const std::string error =
      Raised<EInOutError>([&] { CopyFileTo(dir + "src", dir + "dst"); });
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_TRUE(error.starts_with("Cannot write file " + dir + "dst: ")) << error;
  EXPECT_FALSE(fs::exists(dir + "dst"));
}

TEST(AttachFileTexts, ByteCountsAndBareNames) {
  const std::pair<std::int64_t, const char*> counts[] = {
      {0, "0 bytes"},          {999, "999 bytes"},
      {1000, "1,000 bytes"},   {12345678, "12345,678 bytes"},
      {5000000000LL, "5000000,000 bytes"}};
  for (auto [n, text] : counts) EXPECT_EQ(FormatByteCount(n), text);
  const std::pair<const char*, bool> names[] = {
      {"report.txt", true}, {".hidden", true},  {"a..b", true},     {"", false},
      {".", false},         {"..", false},      {"../x", false},    {"/home/x", false},
      {"a/b", false},       {"a\nb", false},    {"a\rb", false},    {"tab\there", false},
      {"del\x7f", false}};
  for (auto [name, bare] : names) EXPECT_EQ(IsBareFileName(name), bare) << name;
}

TEST_F(AttachFiles, NamesOfCopies) {
  fs::create_directories(folder);
  for (const char* taken : {"notes.txt", "notes(2).txt", "a.b.txt", "readme"}) Put(folder + taken, "");
  const std::pair<const char*, const char*> cases[] = {{"notes.txt", "notes(3).txt"},
                                                      {"a.b.txt", "a(2).txt"},
                                                      {"readme", "readme(2)"},
                                                      {"free.txt", "free.txt"}};
  for (auto [name, unique] : cases) EXPECT_EQ(UniqueAttachmentName(folder, name), unique);
}

TEST_F(AttachFiles, CopyInRefusesHostileNamesAndRemakesTheFolder) {
  Put(dir + "notes.txt", "hello");
  EXPECT_EQ(CopyInAttachment(folder, dir + "notes.txt"), "notes.txt");  // folder made
  EXPECT_EQ(CopyInAttachment(folder, dir + "notes.txt"), "notes(2).txt");
  EXPECT_EQ(Get(folder + "notes(2).txt"), "hello");
  Put(dir + "line\nbreak", "x");
  EXPECT_EQ(Raised<EInOutError>([&] { CopyInAttachment(folder, dir + "line\nbreak"); }),
            "The file name 'line\nbreak' cannot be used for an attachment.");
  EXPECT_EQ(Raised<EInOutError>([&] { CopyInAttachment(folder, dir + ".."); }),
            "The file name '..' cannot be used for an attachment.");
  EXPECT_EQ(Raised<EFOpenError>([&] { CopyInAttachment(folder, dir + "gone.txt"); }),
            "Cannot open file " + dir + "gone.txt");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

TEST_F(AttachFiles, TwoProcessesAttachingOneNameKeepEveryCopy) {
  constexpr int kEach = 25;
  Put(dir + "same.txt", "same");
  fs::create_directories(folder);
  pid_t children[2];
  for (pid_t& child : children) {
    child = ::fork();
    if (child == 0) {
      int ok = 0;
      for (int i = 0; i < kEach; ++i) ok += CopyInAttachment(folder, dir + "same.txt").empty() ? 0 : 1;
      ::_exit(ok == kEach ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2 * kEach);
  for (const auto& e : fs::directory_iterator(folder)) EXPECT_EQ(Get(e.path().string()), "same");
}

TEST_F(AttachFiles, TheTrashKeepsBothFilesOfOneNameAndRefusesFolders) {
  ::setenv("XDG_DATA_HOME", (dir + "data").c_str(), 1);
  fs::create_directories(dir + "x");
  for (const char* contents : {"first", "second"}) {
    Put(dir + "x/a b.txt", contents);
    EXPECT_TRUE(MoveFileToRecycleBin(dir + "x/a b.txt"));
    EXPECT_FALSE(fs::exists(dir + "x/a b.txt"));
  }
  const std::string trash = dir + "data/Trash/";
  EXPECT_EQ(Get(trash + "files/a b.txt"), "first");
  EXPECT_EQ(Get(trash + "files/a b.txt.2"), "second");
  EXPECT_NE(Get(trash + "info/a b.txt.trashinfo").find("Path=" + dir + "x/a%20b.txt\n"),
            std::string::npos);
  EXPECT_FALSE(MoveFileToRecycleBin(dir + "x"));
  EXPECT_FALSE(MoveFileToRecycleBin(dir + "missing"));
  EXPECT_TRUE(fs::exists(dir + "x"));
  ::unsetenv("XDG_DATA_HOME");
}

TEST_F(AttachFiles, AttributesDatesAndOpening) {
  Put(dir + "f.txt", "abc");
  Put(dir + ".h", "");
  ::chmod((dir + "f.txt").c_str(), 0444);
  EXPECT_TRUE(FileHasAttributes(dir + "f.txt", faReadOnly));
  EXPECT_FALSE(FileHasAttributes(dir + "f.txt", faHidden));
  EXPECT_TRUE(FileHasAttributes(dir + ".h", faHidden));
  EXPECT_FALSE(FileHasAttributes(dir + ".h", faReadOnly));
  EXPECT_FALSE(FileHasAttributes(dir + "f.txt", faArchive));
  EXPECT_FALSE(FileHasAttributes(dir + "f.txt", faSysFile));
  EXPECT_FALSE(FileHasAttributes(dir + "missing", 0));
  EXPECT_EQ(GetFileSizeBytes(dir + "missing"), -1);
  const TDateTime when = EncodeDate(2026, 12, 7) + EncodeTime(13, 4, 6, 0);
  ASSERT_EQ(FileSetDate(dir + "f.txt", DateTimeToFileDate(when)), 0);
  EXPECT_EQ(FileDateTimeText(dir + "f.txt"), "Monday, December 7, 2026 01:04:06 PM");
  EXPECT_EQ(FileDateTimeText(dir + "missing"), "");

  std::vector<std::string> argv;
  std::string where;
  const TShellLauncher old = SetShellLauncher([&](const auto& a, const auto& f) { argv = a, where = f; });
  ShellOpenFile(dir + "f.txt", "", folder);
  SetShellLauncher(old);
  EXPECT_EQ(argv, (std::vector<std::string>{"xdg-open", dir + "f.txt"}));
  EXPECT_EQ(where, folder);
}

}  // namespace
