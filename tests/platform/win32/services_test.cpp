// The clock, the machine's facts, opening with the desktop, the trash, the
// file-type icons and termination signals, each in scratch folders or with
// injected runners.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QIcon>
#include <QImage>

#include <csignal>
#include <fstream>
#include <sstream>

#include "platform/classlib/core/clock.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/temp_dir.h"
#include "platform/win32/shell.h"
#include "platform/win32/signals.h"
#include "platform/win32/sysinfo.h"
#include "platform/win32/system.h"

namespace fs = std::filesystem;

namespace {

const TDateTime kMarch7 = EncodeDate(1998, 3, 7) + EncodeTime(10, 0, 0, 0);

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

// Points $XDG_DATA_HOME at a scratch folder for one test.
class ScratchDataHome {
 public:
  ScratchDataHome() {
    const char* old = std::getenv("XDG_DATA_HOME");
    if (old) old_ = old;
    setenv("XDG_DATA_HOME", dir_.Path().c_str(), 1);
  }
  ~ScratchDataHome() {
    if (old_.empty()) unsetenv("XDG_DATA_HOME");
    else setenv("XDG_DATA_HOME", old_.c_str(), 1);
  }
  std::string operator/(const std::string& name) const { return dir_ / name; }

 private:
  TempDir dir_;
  std::string old_;
};

}  // namespace

TEST(ClockTest, OneStoppedClockMovesNowDateTimeAndTicksTogether) {
  {
    TTestClock clock(kMarch7);
    EXPECT_EQ(Now(), kMarch7);
    EXPECT_EQ(Date(), EncodeDate(1998, 3, 7));
    EXPECT_NEAR(Time(), EncodeTime(10, 0, 0, 0), 1e-9);
    const DWORD start = GetTickCount();
    clock.Advance(1500);
    EXPECT_EQ(GetTickCount() - start, 1500u);
    EXPECT_NEAR(Now() - kMarch7, 1.5 / 86400, 1e-9);
    // Set again, the ticks go on from where they stood.
    SetTestClock(kMarch7 + 1);
    EXPECT_EQ(GetTickCount() - start, 1500u);
    EXPECT_EQ(Date(), EncodeDate(1998, 3, 8));
  }
  EXPECT_FALSE(TestClockSet());
  EXPECT_GT(Now(), EncodeDate(2020, 1, 1));
  EXPECT_THROW(AdvanceTestClock(1), EInvalidOperation);
}

TEST(SysInfoTest, MemoryFromMeminfo) {
  struct Case {
    const char* text;
    bool ok;
    std::uint64_t total, avail;
    DWORD load;
  } cases[] = {
      {"MemTotal:  16000000 kB\nMemFree: 1000 kB\nMemAvailable:  4000000 kB\n", true,
       16000000ull * 1024, 4000000ull * 1024, 75},
      {"MemTotal: 8000 kB\nMemFree: 2000 kB\n", true, 8000 * 1024, 2000 * 1024, 75},
      {"MemTotal: 68719476736 kB\nMemAvailable: 0 kB\n", true, 68719476736ull * 1024, 0, 100},
      {"MemFree: 2000 kB\n", false, 0, 0, 0},
      {"MemTotal: lots\n", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    MEMORYSTATUSEX status;
    EXPECT_EQ(ParseMemInfo(c.text, &status), c.ok);
    EXPECT_EQ(status.ullTotalPhys, c.total);
    EXPECT_EQ(status.ullAvailPhys, c.avail);
    EXPECT_EQ(status.dwMemoryLoad, c.load);
  }
  MEMORYSTATUSEX real;
  ASSERT_TRUE(GlobalMemoryStatusEx(&real));
  EXPECT_GT(real.ullTotalPhys, 64ull << 20);
}

TEST(SysInfoTest, SystemNameAndKernelVersion) {
  struct NameCase {
    const char* text;
    const char* name;
  } names[] = {{"PRETTY_NAME=\"Debian 12\"\nNAME=\"Debian GNU/Linux\"\n", "Debian GNU/Linux"},
               {"NAME=Fedora\n", "Fedora"},
               {"NAME='Arch Linux'\n", "Arch Linux"},
               {"ID=debian\n", ""}};
  for (const NameCase& c : names) EXPECT_EQ(OsReleaseName(c.text), c.name) << c.text;
  struct VersionCase {
    const char* release;
    DWORD major, minor, build;
  } versions[] = {{"6.1.0-13-amd64", 6, 1, 0},
                  {"4.19.260+", 4, 19, 260},
                  {"5.15", 5, 15, 0},
                  {"abc", 0, 0, 0}};
  for (const VersionCase& c : versions) {
    OSVERSIONINFO info;
    ParseKernelRelease(c.release, &info);
    EXPECT_EQ(info.dwMajorVersion, c.major) << c.release;
    EXPECT_EQ(info.dwMinorVersion, c.minor) << c.release;
    EXPECT_EQ(info.dwBuildNumber, c.build) << c.release;
  }
  OSVERSIONINFO real;
  ASSERT_TRUE(GetVersionEx(&real));
  EXPECT_FALSE(real.Name.empty());
  EXPECT_GT(real.dwMajorVersion, 0u);
}

TEST(ShellTest, OpensWithTheDesktopsProgramThroughTheRunner) {
  TempDir dir;
  Touch(dir / "notes.txt");
  std::vector<std::pair<std::vector<std::string>, std::string>> runs;
  bool starts = true;
  TProgramRunner previous = SetProgramRunner([&](const std::vector<std::string>& argv,
                                                 const std::string& folder) {
    runs.emplace_back(argv, folder);
    return starts;
  });
  struct Case {
    std::string verb, file, folder;
    bool starts;
    int result;
    bool ran;
  } cases[] = {
      {"", dir / "notes.txt", "", true, 42, true},
      {"open", "notes.txt", dir.Path(), true, 42, true},  // found in the working folder
      {"", dir.Path(), "", true, 42, true},                // a folder
      {"", "https://example.org/x", "", true, 42, true},
      {"", dir / "missing.txt", "", true, SE_ERR_FNF, false},
      {"print", dir / "notes.txt", "", true, SE_ERR_NOASSOC, false},
      {"", dir / "notes.txt", "", false, SE_ERR_NOASSOC, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.verb + " " + c.file);
    runs.clear();
    starts = c.starts;
    EXPECT_EQ(ShellExecute(nullptr, c.verb, c.file, "-x", c.folder, SW_SHOWNORMAL), c.result);
    ASSERT_EQ(runs.size(), c.ran ? 1u : 0u);
    if (c.ran) {
      EXPECT_EQ(runs[0].first, (std::vector<std::string>{"xdg-open", c.file}));
      EXPECT_EQ(runs[0].second, c.folder);
    }
  }
  SetProgramRunner(previous);
}

TEST(TrashTest, MovesItemsWithTheirInformationAndUniqueNames) {
  ScratchDataHome home;
  TempDir work;
  TTestClock clock(kMarch7);
  Touch(work / "my notes.txt");
  ASSERT_TRUE(MoveFileToTrash(work / "my notes.txt"));
  const std::string trash = home / "Trash";
  EXPECT_EQ(TrashFolder(), trash);
  EXPECT_FALSE(fs::exists(work / "my notes.txt"));
  EXPECT_EQ(Slurp(trash + "/files/my notes.txt"), "x");
  EXPECT_EQ(Slurp(trash + "/info/my notes.txt.trashinfo"),
            "[Trash Info]\nPath=" + work.Path() + "/my%20notes.txt\n"
            "DeletionDate=1998-03-07T10:00:00\n");
  // The same name again, a folder, a dangling link.
  Touch(work / "my notes.txt");
  fs::create_directory(work / "dir");
  Touch(work / "dir/inner");
  fs::create_symlink(work / "nowhere", work / "link");
  for (const char* name : {"my notes.txt", "dir", "link"})
    ASSERT_TRUE(MoveFileToTrash(work / name)) << name;
  EXPECT_TRUE(fs::exists(trash + "/files/my notes.2.txt"));
  EXPECT_TRUE(fs::exists(trash + "/info/my notes.2.txt.trashinfo"));
  EXPECT_TRUE(fs::exists(trash + "/files/dir/inner"));
  EXPECT_TRUE(fs::is_symlink(trash + "/files/link"));
  EXPECT_EQ(fs::status(trash + "/files").permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST(TrashTest, FailuresSayWhyAndLeaveNothingBehind) {
  ScratchDataHome home;
  TempDir work;
  std::string error;
  EXPECT_FALSE(MoveFileToTrash(work / "missing", &error));
  EXPECT_EQ(error, "The file '" + (work / "missing") + "' does not exist");
  EXPECT_FALSE(fs::exists(home / "Trash"));
  // A trash that cannot be a folder: the file stays where it was.
  Touch(home / "Trash");
  Touch(work / "keep.txt");
  EXPECT_FALSE(MoveFileToTrash(work / "keep.txt", &error));
  EXPECT_NE(error.find("Cannot make the trash folder"), std::string::npos) << error;
  EXPECT_TRUE(fs::exists(work / "keep.txt"));
}

TEST(FileIconTest, TypesFromTheMimeDatabaseIconsFromTheTheme) {
  EXPECT_EQ(FileTypeIconNames("txt"), (std::vector<std::string>{"text-plain", "text-x-generic"}));
  EXPECT_EQ(FileTypeIconNames("TXT"), FileTypeIconNames("txt"));
  EXPECT_TRUE(FileTypeIconNames("").empty());
  EXPECT_TRUE(FileTypeIconNames("qqzzunknown").empty());
  // A scratch theme holding one icon for plain text.
  TempDir themes;
  fs::create_directories(themes / "vtest/16x16/mimetypes");
  std::ofstream(themes / "vtest/index.theme")
      << "[Icon Theme]\nName=vtest\nDirectories=16x16/mimetypes\n\n"
         "[16x16/mimetypes]\nSize=16\nType=Fixed\n";
  QImage red(16, 16, QImage::Format_ARGB32);
  red.fill(QColor(255, 0, 0));
  ASSERT_TRUE(red.save(QString::fromStdString(themes / "vtest/16x16/mimetypes/text-plain.png")));
  const QStringList oldPaths = QIcon::themeSearchPaths();
  const QString oldTheme = QIcon::themeName();
  QIcon::setThemeSearchPaths({QString::fromStdString(themes.Path())});
  QIcon::setThemeName("vtest");
  const TIconImage icon = FileTypeIcon("txt", 16);
  const TIconImage none = FileTypeIcon("qqzzunknown", 16);
  QIcon::setThemeSearchPaths(oldPaths);
  QIcon::setThemeName(oldTheme);
  ASSERT_EQ(icon.Width, 16);
  ASSERT_EQ(icon.Height, 16);
  EXPECT_EQ(icon.Pixel(8, 8), 0xFFFF0000u);
  EXPECT_TRUE(none.Empty());
}

TEST(FileIconTest, TheDefaultDocumentIconIsAPageOnTransparency) {
  for (int size : {16, 32}) {
    const TIconImage icon = DefaultDocumentIcon(size);
    ASSERT_EQ(icon.Width, size);
    ASSERT_EQ(icon.Pixels.size(), std::size_t(size * size));
    EXPECT_EQ(icon.Pixel(0, size - 1) >> 24, 0u);                  // outside the page
    EXPECT_EQ(icon.Pixel(size * 3 / 8, size * 3 / 16), 0xFFFFFFFFu);  // the white page
    EXPECT_EQ(icon.Pixel(size - 1, 0) >> 24, 0u);                  // beyond the fold
  }
  EXPECT_TRUE(DefaultDocumentIcon(0).Empty());
}

TEST(TerminationTest, SignalsReachTheEventLoopAsRequests) {
  std::vector<int> requests;
  ASSERT_TRUE(InstallTerminationRequest([&](int signal) { requests.push_back(signal); }));
  // A session's end (SIGHUP) is one too: without it the program would end
  // there without closing its database.
  const std::vector<int> polite = {SIGTERM, SIGINT, SIGHUP};
  for (int signal : polite) raise(signal);
  EXPECT_TRUE(requests.empty());  // not from the handler itself
  for (int i = 0; i < 100 && requests.size() < polite.size(); ++i)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(requests, polite);
  RemoveTerminationRequest();
}
