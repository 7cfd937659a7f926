#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "platform/classlib/core/child_writers.h"
#include "platform/classlib/core/deadline.h"
#include "platform/classlib/core/failingfiles.h"
#include "platform/classlib/core/atomicfile.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/english_settings.h"
#include "platform/classlib/core/temp_dir.h"
#include "platform/classlib/core/write_targets.h"

namespace {

void WriteText(const std::string& name, const std::string& text) {
  std::ofstream(name, std::ios::binary) << text;
}

std::string ReadText(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Find(const std::string& path, int attr) {
  std::vector<std::string> names;
  TSearchRec rec;
  for (int rc = FindFirst(path, attr, rec); rc == 0; rc = FindNext(rec)) names.push_back(rec.Name);
  FindClose(rec);
  return names;
}

bool RunningAsRoot() { return ::geteuid() == 0; }

}  // namespace

TEST(FilePathTest, SplitsPaths) {
  EXPECT_EQ(ExtractFilePath("a/b/c.txt"), "a/b/");
  EXPECT_EQ(ExtractFileDir("a/b/c.txt"), "a/b");
  EXPECT_EQ(ExtractFileName("a/b/c.txt"), "c.txt");
  EXPECT_EQ(ExtractFileExt("a/b/c.txt"), ".txt");
  EXPECT_EQ(ExtractFileDrive("/a/b"), "");

  EXPECT_EQ(ExtractFilePath("c.txt"), "");
  EXPECT_EQ(ExtractFileDir("c.txt"), "");
  EXPECT_EQ(ExtractFileName("c.txt"), "c.txt");
  EXPECT_EQ(ExtractFileDir("/x"), "/");
  EXPECT_EQ(ExtractFileName("a/b/"), "");
  EXPECT_EQ(ExtractFileDir("a/b/"), "a/b");

  // A dot in a folder name is no extension; dot files are all extension.
  EXPECT_EQ(ExtractFileExt("a.b/c"), "");
  EXPECT_EQ(ExtractFileExt("archive.tar.gz"), ".gz");
  EXPECT_EQ(ExtractFileExt("dir/.profile"), ".profile");
  EXPECT_EQ(ChangeFileExt("a.b/c", ".txt"), "a.b/c.txt");
  EXPECT_EQ(ChangeFileExt("a/report.csv", ".htm"), "a/report.htm");
  EXPECT_EQ(ChangeFileExt("a/report.csv", ""), "a/report");
}

TEST(FilePathTest, TrailingDelimitersAndExpansion) {
  EXPECT_EQ(IncludeTrailingPathDelimiter("a/b"), "a/b/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("a/b/"), "a/b/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), "/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("a/b/"), "a/b");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");

  EXPECT_EQ(ExpandFileName("/x/./y/../z"), "/x/z");
  EXPECT_EQ(ExpandFileName("/x/../../y"), "/y");
  EXPECT_EQ(ExpandFileName("/a//b/"), "/a/b/");
  EXPECT_EQ(ExpandFileName("rel/../file.txt"), GetCurrentDir() + "/file.txt");
  EXPECT_EQ(ExpandFileName(""), "");
}

TEST(FolderTest, ForceDirectoriesMakesEveryLevelAndRaisesOnFailure) {
  TempDir tmp;
  std::string deep = tmp / "one/two/three/";
  EXPECT_TRUE(ForceDirectories(deep));
  EXPECT_TRUE(DirectoryExists(tmp / "one/two/three"));
  EXPECT_TRUE(ForceDirectories(deep)) << "an existing folder is success";

  EXPECT_EQ(MessageOf<EInOutError>([&] { ForceDirectories(""); }), "Unable to create directory");

  WriteText(tmp / "plainfile", "x");
  try {
    ForceDirectories(tmp / "plainfile/below");
    FAIL() << "a folder below a file cannot exist";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "Unable to create directory");
    EXPECT_EQ(e.ErrorCode, ENOTDIR);
  }

  if (!RunningAsRoot()) {
    ASSERT_TRUE(CreateDir(tmp / "locked"));
    ::chmod((tmp / "locked").c_str(), 0500);
    EXPECT_THROW(ForceDirectories(tmp / "locked/a/b"), EInOutError);
    EXPECT_FALSE(DirectoryExists(tmp / "locked/a"));
    ::chmod((tmp / "locked").c_str(), 0700);
  }
}

TEST(FolderTest, CreateRemoveAndCurrentFolder) {
  TempDir tmp;
  EXPECT_TRUE(CreateDir(tmp / "d"));
  EXPECT_FALSE(CreateDir(tmp / "d"));
  EXPECT_FALSE(CreateDir(tmp / "missing/d"));
  WriteText(tmp / "d/f", "x");
  EXPECT_FALSE(RemoveDir(tmp / "d")) << "only empty folders are removed";
  EXPECT_FALSE(DeleteFile(tmp / "d")) << "DeleteFile never removes a folder";
  EXPECT_TRUE(DeleteFile(tmp / "d/f"));
  EXPECT_TRUE(RemoveDir(tmp / "d"));
  EXPECT_FALSE(DirectoryExists(tmp / "d"));

  std::string before = GetCurrentDir();
  ASSERT_TRUE(SetCurrentDir(tmp.Path()));
  EXPECT_EQ(GetCurrentDir(), std::filesystem::canonical(tmp.Path()).string());
  EXPECT_FALSE(SetCurrentDir(tmp / "nowhere"));
  ASSERT_TRUE(SetCurrentDir(before));
}

TEST(FileTest, ExistenceRenameAndCopyNeverReplaceWhatTheyMustNot) {
  TempDir tmp;
  std::string a = tmp / "a.txt", b = tmp / "b.txt";
  WriteText(a, "alpha");
  WriteText(b, "beta");
  EXPECT_TRUE(FileExists(a));
  EXPECT_FALSE(FileExists(tmp.Path())) << "a folder is no file";
  EXPECT_FALSE(FileExists(""));

  EXPECT_FALSE(RenameFile(a, b));
  EXPECT_EQ(ReadText(a), "alpha");
  EXPECT_EQ(ReadText(b), "beta");
  EXPECT_TRUE(RenameFile(a, tmp / "c.txt"));
  EXPECT_FALSE(FileExists(a));
  EXPECT_EQ(ReadText(tmp / "c.txt"), "alpha");

  EXPECT_FALSE(CopyFile(tmp / "c.txt", b, true));
  EXPECT_EQ(ReadText(b), "beta");
  EXPECT_TRUE(CopyFile(tmp / "c.txt", b, false));
  EXPECT_EQ(ReadText(b), "alpha");
  EXPECT_FALSE(CopyFile(tmp / "missing", tmp / "d.txt", false));
  EXPECT_FALSE(FileExists(tmp / "d.txt"));
  EXPECT_FALSE(CopyFile(tmp.Path(), tmp / "d.txt", false)) << "folders are not copied";
}

TEST(FileTest, CopyKeepsLargeContentAndModificationDate) {
  TempDir tmp;
  std::string big(300000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  WriteText(tmp / "src", big);
  int age = (40 << 25) | (5 << 21) | (17 << 16) | (13 << 11) | (45 << 5) | 15;  // 2020-05-17 13:45:30
  ASSERT_EQ(FileSetDate(tmp / "src", age), 0);
  ASSERT_TRUE(CopyFile(tmp / "src", tmp / "dst", true));
  EXPECT_EQ(ReadText(tmp / "dst"), big);
  EXPECT_EQ(FileAge(tmp / "dst"), age);
}

TEST(FileTest, DatesRoundTripInThePackedForm) {
  TempDir tmp;
  std::string f = tmp / "dated";
  WriteText(f, "x");
  EXPECT_EQ(FileSetDate(f, (27 << 25) | (2 << 21) | (29 << 16)), EINVAL) << "2007-02-29";
  EXPECT_EQ(FileSetDate(f, (30 << 25) | (13 << 21) | (1 << 16)), EINVAL) << "month 13";
  int age = (28 << 25) | (2 << 21) | (29 << 16) | (23 << 11) | (59 << 5) | 29;  // 2008-02-29 23:59:58
  ASSERT_EQ(FileSetDate(f, age), 0);
  EXPECT_EQ(FileAge(f), age);
  int fd = ::open(f.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(FileGetDate(fd), age);
  int later = age + 1;  // two seconds later
  EXPECT_NE(FileSetDate(fd, later), 0) << "23:59:60 is no time";
  EXPECT_EQ(FileSetDate(fd, age - 1), 0);
  EXPECT_EQ(FileGetDate(fd), age - 1);
  ::close(fd);
  EXPECT_EQ(FileAge(tmp / "missing"), -1);
  EXPECT_EQ(FileAge(tmp.Path()), -1) << "folders have no file age";
  EXPECT_EQ(FileGetDate(-1), -1);

  // Before 1980 the packed form has no value.
  struct timespec old[2] = {{100000, 0}, {100000, 0}};
  ::utimensat(AT_FDCWD, f.c_str(), old, 0);
  EXPECT_EQ(FileAge(f), -1);
}

TEST(FileTest, SizesBeyondFourGigabytes) {
  TempDir tmp;
  std::string f = tmp / "sparse";
  int fd = ::open(f.c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, 5000000000LL), 0);
  ::close(fd);
  EXPECT_EQ(FileSizeByName(f), 5000000000LL);
  EXPECT_EQ(FileSizeByName(tmp / "missing"), -1);
  EXPECT_EQ(FileSizeByName(tmp.Path()), -1);

  TSearchRec rec;
  ASSERT_EQ(FindFirst(tmp / "sparse", faAnyFile, rec), 0);
  EXPECT_EQ(rec.Size, 5000000000LL);
  FindClose(rec);
}

TEST(FileTest, Attributes) {
  TempDir tmp;
  WriteText(tmp / "plain", "x");
  WriteText(tmp / ".hidden", "x");
  EXPECT_EQ(FileGetAttr(tmp / "plain"), faArchive);
  EXPECT_EQ(FileGetAttr(tmp / ".hidden"), faArchive | faHidden);
  EXPECT_EQ(FileGetAttr(tmp.Path()) & faDirectory, faDirectory);
  EXPECT_EQ(FileGetAttr(tmp.Path() + "/"), FileGetAttr(tmp.Path()));
  EXPECT_EQ(FileGetAttr(tmp / "missing"), -1);

  EXPECT_EQ(FileSetAttr(tmp / "plain", faReadOnly), 0);
  EXPECT_EQ(FileGetAttr(tmp / "plain"), faArchive | faReadOnly);
  if (!RunningAsRoot()) {
    std::ofstream out(tmp / "plain", std::ios::app);
    EXPECT_FALSE(out.is_open()) << "a read-only file refuses writing";
  }
  EXPECT_EQ(FileSetAttr(tmp / "plain", 0), 0);
  EXPECT_EQ(FileGetAttr(tmp / "plain"), faArchive);
  EXPECT_NE(FileSetAttr(tmp / "missing", 0), 0);
}

TEST(FindTest, PatternsAndAttributeFilters) {
  TempDir tmp;
  for (const char* name : {"a.txt", "b.TXT", "ab.txt", "c.txt.bak", "noext", ".hidden.txt",
                           "x1y.dat", "x12y.dat"})
    WriteText(tmp / name, "12345");
  CreateDir(tmp / "sub.txt");

  using V = std::vector<std::string>;
  EXPECT_EQ(Find(tmp / "*.txt", faAnyFile & ~faDirectory & ~faHidden), (V{"a.txt", "ab.txt"}));
  EXPECT_EQ(Find(tmp / "*.txt", 0), (V{"a.txt", "ab.txt"}));
  EXPECT_EQ(Find(tmp / "*.txt", faDirectory), (V{"a.txt", "ab.txt", "sub.txt"}));
  EXPECT_EQ(Find(tmp / "*.txt", faHidden), (V{".hidden.txt", "a.txt", "ab.txt"}));
  EXPECT_EQ(Find(tmp / "?.txt", 0), (V{"a.txt"}));
  EXPECT_EQ(Find(tmp / "x?y.dat", 0), (V{"x1y.dat"}));
  EXPECT_EQ(Find(tmp / "x*y.dat", 0), (V{"x12y.dat", "x1y.dat"}));
  EXPECT_EQ(Find(tmp / "*.TXT", 0), (V{"b.TXT"})) << "names compare case-sensitively";
  EXPECT_EQ(Find(tmp / "*.*", 0),
            (V{"a.txt", "ab.txt", "b.TXT", "c.txt.bak", "noext", "x12y.dat", "x1y.dat"}));
  EXPECT_EQ(Find(tmp / "*", faAnyFile).size(), 9u);

  TSearchRec rec;
  ASSERT_EQ(FindFirst(tmp / "noext", faAnyFile, rec), 0);
  EXPECT_EQ(rec.Name, "noext");
  EXPECT_EQ(rec.Size, 5);
  EXPECT_EQ(rec.Attr, faArchive);
  EXPECT_EQ(rec.Time, FileAge(tmp / "noext"));
  EXPECT_EQ(FindNext(rec), ERROR_NO_MORE_FILES);
  EXPECT_EQ(FindNext(rec), ERROR_NO_MORE_FILES);
  FindClose(rec);
  EXPECT_EQ(FindNext(rec), ERROR_NO_MORE_FILES) << "after FindClose";

  EXPECT_EQ(FindFirst(tmp / "*.none", faAnyFile, rec), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FindFirst(tmp / "missing/*.*", faAnyFile, rec), ERROR_PATH_NOT_FOUND);
}

TEST(TempFileTest, UniqueNewFilesWithPrefix) {
  TempDir tmp;
  std::set<std::string> names;
  for (int i = 0; i < 50; ++i) {
    std::string name = GetTempFileName(tmp.Path(), "cache");
    EXPECT_TRUE(FileExists(name));
    EXPECT_EQ(ExtractFilePath(name), tmp.Path() + "/");
    EXPECT_EQ(ExtractFileName(name).substr(0, 3), "cac");
    EXPECT_EQ(ExtractFileExt(name), ".tmp");
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 50u);
  EXPECT_THROW(GetTempFileName(tmp / "missing", "x"), EInOutError);
  EXPECT_EQ(GetTempPath().back(), '/');
}

TEST(ProgramTest, OwnPathAndArguments) {
  std::string self = ParamStr(0);
  EXPECT_EQ(self[0], '/');
  EXPECT_EQ(ExtractFileName(self), "classlib_core_tests");
  EXPECT_TRUE(FileExists(self));
  EXPECT_EQ(ParamStr(ParamCount() + 1), "");
  EXPECT_EQ(ParamStr(-1), "");
}

TEST(FileTest, PackedDatesConvertToAndFromDateTime) {
  int age = (28 << 25) | (2 << 21) | (29 << 16) | (23 << 11) | (59 << 5) | 29;  // 2008-02-29 23:59:58
  TDateTime expected = EncodeDate(2008, 2, 29) + EncodeTime(23, 59, 58, 0);
  EXPECT_NEAR(FileDateToDateTime(age), expected, 1e-9);
  EXPECT_EQ(DateTimeToFileDate(expected), age);
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(1979, 12, 31)), 0);
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(2108, 1, 1)), 0);
  EXPECT_THROW(FileDateToDateTime((28 << 25) | (13 << 21) | (1 << 16)), EConvertError);

  TempDir tmp;
  WriteText(tmp / "f", "x");
  ASSERT_EQ(FileSetDate(tmp / "f", age), 0);
  TDateTime when;
  ASSERT_TRUE(FileAge(tmp / "f", when));
  EXPECT_NEAR(when, expected, 1e-9);
  EXPECT_FALSE(FileAge(tmp / "missing", when));
}

namespace {

std::set<std::string> NamesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// A process number that runs no process: a child that has ended and been reaped.
pid_t DeadProcess() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

}  // namespace

// Every open, write, flush and rename of a replacement can fail: the old file
// stays whole, the caller is told, and nothing else stays behind.
TEST(WriteAtomicallyTest, AFailureAtEveryStepKeepsTheOldFileWhole) {
  TempDir dir;
  const std::string file = dir / "settings.txt";
  const std::string old = "the old contents\n";
  const std::string fresh(3 << 20, 'n');  // several writes' worth
  for (TFileCall call : {TFileCall::Open, TFileCall::Write, TFileCall::Sync, TFileCall::Rename}) {
    WriteText(file, old);
    bool raised = false;
    const int runs = FailEachCall(
        dir.Path(), call,
        [&] {
          raised = false;
          try {
            WriteFileAtomically(file, fresh);
          } catch (const EInOutError& e) {
            raised = std::string(e.Message()).find("No space left on device") != std::string::npos;
          }
        },
        [&](int n) {
          EXPECT_TRUE(raised) << int(call) << " #" << n;
          EXPECT_TRUE(ReadText(file) == old) << int(call) << " #" << n;
          EXPECT_EQ(NamesIn(dir.Path()), std::set<std::string>{"settings.txt"}) << int(call) << " #" << n;
        });
    EXPECT_GE(runs, 1) << int(call);
    EXPECT_TRUE(ReadText(file) == fresh) << "the run past the last failure writes it";
  }
}

TEST(OwnedNamesTest, OnlyDeadProcessesOfThisFormAreRemoved) {
  TempDir dir;
  const std::string prefix = OwnedNamePrefix(".x.");
  const std::string dead = prefix + std::to_string(DeadProcess()) + "-a";
  const std::string alive = OwnedName(prefix) + "b";
  const std::string deadFolder = prefix + std::to_string(DeadProcess()) + "-folder";
  const std::vector<std::string> kept = {alive, prefix + "c", prefix + "+1-d", prefix + "12",
                                         ".x.otherhost@" + std::to_string(DeadProcess()) + "-e", "plain"};
  for (const std::string& name : kept) WriteText(dir / name, "");
  WriteText(dir / dead, "");
  std::filesystem::create_directories(dir / (deadFolder + "/inner"));
  RemoveAbandoned(dir.Path(), prefix);
  EXPECT_EQ(NamesIn(dir.Path()), std::set<std::string>(kept.begin(), kept.end()));

  // A temporary file of this process's own form, removed only once it is dead.
  std::string temp;
  ::close(OpenOwnedTempFile(dir.Path(), "vex", 0600, temp));
  EXPECT_TRUE(ExtractFileName(temp).starts_with(OwnedName(OwnedNamePrefix("vex")))) << temp;
  EXPECT_TRUE(temp.ends_with(".tmp")) << temp;
  RemoveAbandoned(dir.Path(), OwnedNamePrefix("vex"));
  EXPECT_TRUE(FileExists(temp));
}

// A program killed while it replaces a file leaves its temporary file; the next
// program's replacement removes it.
TEST(WriteAtomicallyTest, TheLeftoversOfAKilledWriterGoWithTheNextWrite) {
  TempDir dir;
  const std::string file = dir / "HKEY_CURRENT_USER.reg";
  WriteText(file, "old");
  constexpr int kKills = 5;
  constexpr std::size_t kBig = 16 << 20;
  for (int kill = 0; kill < kKills; ++kill) {
    const std::set<std::string> before = NamesIn(dir.Path());
    const pid_t writer = ::fork();
    if (writer == 0) {
      const std::string big(kBig, 'b');
      for (;;) WriteFileAtomically(file, big);
    }
    // Killed once a temporary file of its own has started to fill.
    auto writing = [&] {
      for (const std::string& name : NamesIn(dir.Path()))
        if (!before.count(name) && FileSizeByName(dir / name) > 0) return true;
      return false;
    };
    EXPECT_TRUE(WaitUntil(writing)) << "the writer's temporary file did not start to fill within "
                                    << kWaitLimitMs << " ms";
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    const std::string contents = ReadText(file);
    EXPECT_TRUE(contents == "old" || contents.size() == kBig) << "never a part";
  }
  // This process has not written into the folder yet: its first write sweeps it.
  WriteFileAtomically(file, "new");
  EXPECT_EQ(NamesIn(dir.Path()), std::set<std::string>{"HKEY_CURRENT_USER.reg"});
  EXPECT_EQ(ReadText(file), "new");
}

// A device or a pipe at the target is written in place, a link is followed, a
// replaced file keeps its bits and a new one gets the umask's; a write that
// fails says so.
TEST(WriteAtomicallyTest, WhatStandsAtTheTargetIsWrittenSoundly) {
  const std::string contents = "the new contents\n";
  write_targets::ExpectSoundTargets(
      write_targets::FailsByRaising<EInOutError>(
          [&](const std::string& path) { WriteFileAtomically(path, contents); }),
      [&](const std::string& bytes) { return bytes == contents; });
}

// The wait for child writers has a limit: one that hangs fails the test with
// what was waited for, and is killed, instead of holding up the whole suite.
TEST(ChildWritersTest, AWriterThatHangsFailsTheTestInsteadOfHangingIt) {
  std::vector<int> codes;
  EXPECT_NONFATAL_FAILURE(codes = RunChildWriters(2, [](int w) { return w == 0 || ::pause() == 0; }, {}, 300),
                          "writer processes still running after 300 ms");
  EXPECT_EQ(codes, (std::vector<int>{0, -1}));
}
