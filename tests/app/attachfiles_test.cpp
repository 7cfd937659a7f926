// The attachment file routines: copying at the block edges and its errors,
// sizes, attributes, the trash, opening, and the names of copies (bare names
// only, numbered on collision, never replaced, also between processes).

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "app/common/attachfiles.h"
#include "apptest.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/failingfiles.h"
#include "platform/classlib/core/write_targets.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/dao/childprocess.h"

namespace {

namespace fs = std::filesystem;
using daotest::Child;

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
    const std::string dest = dir + "dst" + std::to_string(n);
    EXPECT_TRUE(CopyFileToNew(dir + "src", dest));
    EXPECT_EQ(Get(dest), Bytes(n)) << n;
    EXPECT_EQ(GetFileSizeBytes(dest), std::int64_t(n));
  }
}

TEST_F(AttachFiles, CopyErrorsNameTheFile) {
  Put(dir + "src", "x");
  EXPECT_EQ(Raised<EFOpenError>([&] { CopyFileToNew(dir + "missing", dir + "d"); }),
            "Cannot open file " + dir + "missing");
  EXPECT_EQ(Raised<EFOpenError>([&] { CopyFileToNew(scratch.Dir(), dir + "d"); }),
            "Cannot open file " + scratch.Dir() + ": it is not a regular file");
  EXPECT_EQ(Raised<EFCreateError>([&] { CopyFileToNew(dir + "src", dir + "no/d"); }),
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
      Raised<EInOutError>([&] { CopyFileToNew(dir + "src", dir + "dst"); });
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

// A copy gets the mode of any new file, and whoever may read the file it is
// made readable like (the database) may read it too, whatever the umask of
// the user who copied it in.
TEST_F(AttachFiles, ACopysModeIsTheUmasksAndReadableLikeTheDatabase) {
  Put(dir + "notes.txt", "hello");
  const std::string database = dir + "Vantrel.MDB";
  Put(database, "db");
  const struct {
    mode_t umask, database;
    bool shared;
    mode_t copy;
  } cases[] = {
      {027, 0600, false, 0640},  // the umask's
      {077, 0644, true, 0644},   // everyone may read the database
      {077, 0640, true, 0640},   // its group may
      {022, 0600, true, 0644},   // sharing only adds
  };
  for (const auto& c : cases) {
    ::chmod(database.c_str(), c.database);
    std::string name;
    {
      write_targets::TUmaskScope mask(c.umask);
      name = CopyInAttachment(folder, dir + "notes.txt", c.shared ? database : "");
    }
    EXPECT_EQ(write_targets::ModeOf(folder + name) & 07777, c.copy)
        << std::oct << "umask " << c.umask << ", database " << c.database;
    EXPECT_EQ(Get(folder + name), "hello");
  }
}

TEST_F(AttachFiles, TwoProcessesAttachingOneNameKeepEveryCopy) {
  constexpr int kEach = 25;
  Put(dir + "same.txt", "same");
  fs::create_directories(folder);
  std::vector<std::unique_ptr<Child>> children;
  for (int p = 0; p < 2; ++p)
    children.push_back(std::make_unique<Child>([&](Child&) {
      int ok = 0;
      for (int i = 0; i < kEach; ++i) ok += CopyInAttachment(folder, dir + "same.txt").empty() ? 0 : 1;
      return ok == kEach ? 0 : 1;
    }));
  for (auto& child : children) EXPECT_EQ(child->Wait(), 0);
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

// Anything but a regular file is refused at once, with the reason: a named pipe
// with no writer would otherwise keep the copy waiting for ever.
TEST_F(AttachFiles, OnlyRegularFilesAreCopiedAndNothingWaits) {
  ASSERT_EQ(::mkfifo((dir + "pipe").c_str(), 0600), 0);
  fs::create_directories(dir + "sub");
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& source : {dir + "pipe", dir + "sub", std::string("/dev/null")}) {
    EXPECT_EQ(Raised<EFOpenError>([&] { CopyInAttachment(folder, source); }),
              "Cannot open file " + source + ": it is not a regular file");
    EXPECT_EQ(Raised<EFOpenError>([&] { CopyFileToNew(source, dir + "copy"); }),
              "Cannot open file " + source + ": it is not a regular file");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(fs::exists(dir + "copy"));
  EXPECT_TRUE(!fs::exists(folder) || fs::is_empty(folder));
}

// A copy killed midway never stands under an attachment's name, and the next
// copy into the folder removes what the killed one left.
TEST_F(AttachFiles, AKilledCopyLeavesNoPartialAttachment) {
  constexpr int kKills = 10;
  const std::string big = Bytes(8 << 20);
  Put(dir + "big.bin", big);
  fs::create_directories(folder);
  int partial = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    // Whatever happens in it, the copier ends as a process of its own: it
    // never returns into the test, and it is killed if the test ends first.
    Child copier([&](Child&) {
      for (;;) CopyInAttachment(folder, dir + "big.bin");
      return 0;
    });
    // Killed while some file in the folder is part-way written. A listed file
    // may be gone by the time it is measured: renamed into place by the
    // copier, or swept as a killed copier's leftover.
    auto copying = [&] {
      for (const auto& e : fs::directory_iterator(folder)) {
        std::error_code gone;
        const auto size = fs::file_size(e.path(), gone);
        if (!gone && size > 0 && size < big.size()) return true;
      }
      return false;
    };
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitLimitMs);
    while (!copying() && std::chrono::steady_clock::now() < limit) ::usleep(100);
    copier.Kill();
    for (const auto& e : fs::directory_iterator(folder)) {
      const std::string name = e.path().filename().string();
      if (!name.starts_with(".") && fs::file_size(e.path()) != big.size()) ++partial;
    }
  }
  EXPECT_EQ(partial, 0) << "partial files under attachment names after " << kKills << " kills";
  // This process has not copied into the folder yet: its first copy sweeps it.
  for (const auto& e : fs::directory_iterator(folder))
    if (!e.path().filename().string().starts_with(".")) fs::remove(e.path());
  EXPECT_EQ(CopyInAttachment(folder, dir + "big.bin"), "big.bin");
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"big.bin"});
  EXPECT_EQ(Get(folder + "big.bin"), big);
}

// Each open, write, flush and rename of an attachment copy may fail: the
// caller is told, and neither the attachment's name nor a temporary copy is left.
TEST_F(AttachFiles, EveryStepOfACopyMayFail) {
  Put(dir + "notes.txt", Bytes(40000));
  fs::create_directories(folder);
  for (TFileCall call : {TFileCall::Open, TFileCall::Write, TFileCall::Sync, TFileCall::Rename}) {
    std::string error;
    const int runs = FailEachCall(
        folder, call,
        [&] {
          error = Raised<Exception>([&] { CopyInAttachment(folder, dir + "notes.txt"); });
        },
        [&](int n) {
          EXPECT_NE(error, "<nothing>") << int(call) << " #" << n;
          EXPECT_TRUE(fs::is_empty(folder)) << int(call) << " #" << n;
        });
    EXPECT_GE(runs, 1) << int(call);
    EXPECT_EQ(Get(folder + "notes.txt"), Bytes(40000));
    fs::remove(folder + "notes.txt");
  }
}

// The real launcher, with a stand-in for the desktop's opener on PATH: it runs
// in the folder it is given, and a folder it cannot enter or a missing opener
// is reported instead of passing in silence.
TEST_F(AttachFiles, TheRealLauncherRunsInTheAttachmentsFolderAndReportsFailures) {
  fs::create_directories(dir + "bin");
  fs::create_directories(folder);
  Put(folder + "f.txt", "abc");
  Put(dir + "bin/xdg-open", "#!/bin/sh\npwd > \"" + dir + "opened.tmp\"\necho \"$1\" >> \"" + dir +
                                "opened.tmp\"\nmv \"" + dir + "opened.tmp\" \"" + dir + "opened\"\n");
  ::chmod((dir + "bin/xdg-open").c_str(), 0755);
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  ::setenv("PATH", (dir + "bin:" + oldPath).c_str(), 1);
  ShellOpenFile(folder + "f.txt", "", folder);
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!fs::exists(dir + "opened") && std::chrono::steady_clock::now() < limit) ::usleep(1000);
  EXPECT_EQ(Get(dir + "opened"), fs::canonical(folder).string() + "\n" + folder + "f.txt\n");

  EXPECT_EQ(Raised<EInOutError>([&] { ShellOpenFile(folder + "f.txt", "", dir + "gone/"); }),
            "Cannot run xdg-open in the folder " + dir + "gone/: No such file or directory");
  ::setenv("PATH", (dir + "nothing").c_str(), 1);
  EXPECT_EQ(Raised<EInOutError>([&] { ShellOpenFile(folder + "f.txt", "", folder); }),
            "Cannot run xdg-open: No such file or directory");
  ::setenv("PATH", oldPath.c_str(), 1);
}

}  // namespace
