#include "platform/classlib/core/atomicfile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <limits.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "platform/classlib/core/child_writers.h"
#include "platform/classlib/core/english_settings.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/failingfiles.h"
#include "platform/classlib/core/temp_dir.h"
#include "platform/classlib/core/write_targets.h"
#include "platform/dao/smalldisk.h"

using write_targets::ModeOf;
using write_targets::NamesIn;
using write_targets::ReadBytes;
using write_targets::TUmaskScope;

namespace {

std::string WriteOnce(const std::string& target) {
  return MessageOf<EInOutError>([&] {
    TAtomicFileWriter file(target);
    file.Write("x");
    file.Commit();
  });
}

// A socket bound to a name in the folder.
struct BoundSocket {
  explicit BoundSocket(const std::string& name) : fd(::socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, name.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << name;
  }
  ~BoundSocket() { ::close(fd); }
  int fd;
};

struct Account {
  uid_t uid;
  gid_t gid;
};

std::optional<Account> AccountNamed(const char* name) {
  const passwd* p = ::getpwnam(name);  // its answer lasts until the next call
  return p == nullptr ? std::optional<Account>() : Account{p->pw_uid, p->pw_gid};
}

// Runs write in a process of the account, with its own group only; true when
// write answers true.
bool AsAccount(const Account& account, const std::function<bool()>& write) {
  return RunChildWriters(1, [&](int) {
           if (::setgroups(0, nullptr) != 0 || ::setgid(account.gid) != 0 || ::setuid(account.uid) != 0) return false;
           return write();
         }) == std::vector<int>{0};
}

// For a writer in another process: whether it said what was expected, and
// what it said when not.
bool Says(const std::string& said, const std::string& expected) {
  if (said != expected) std::fprintf(stderr, "said \"%s\", not \"%s\"\n", said.c_str(), expected.c_str());
  return said == expected;
}

}  // namespace

// What cannot be written is refused with the name as given and why, and
// nothing stays behind.
TEST(AtomicFileWriterTest, RefusalsSayWhy) {
  TempDir dir;
  std::filesystem::create_directory(dir / "folder");
  ASSERT_EQ(::mkfifo((dir / "unread").c_str(), 0600), 0);
  std::filesystem::create_symlink("loop-b", dir / "loop-a");
  std::filesystem::create_symlink("loop-a", dir / "loop-b");
  BoundSocket socket(dir / "socket");
  auto refused = [&](const std::string& name, const std::string& why) {
    return "Cannot write file " + (dir / name) + ": " + why;
  };
  const struct {
    std::string name;
    std::string message;
  } cases[] = {
      {"folder", refused("folder", "Is a directory")},
      {"unread", refused("unread", "no program reads from this pipe")},
      {"loop-a", refused("loop-a", "Too many levels of symbolic links")},
      {"socket", refused("socket", "only a file, a character device or a pipe can be written")},
      {"missing/file.txt",
       refused("missing/file.txt",
               "cannot create a temporary file in '" + (dir / "missing/") + "': No such file or directory")},
  };
  const std::set<std::string> before = NamesIn(dir.Path());
  for (const auto& c : cases) EXPECT_EQ(WriteOnce(dir / c.name), c.message);
  EXPECT_EQ(NamesIn(dir.Path()), before);
}

// A reader that goes away in the middle is a write error like any other: the
// signal the pipe raises does not end the program, and is not left pending.
TEST(AtomicFileWriterTest, APipeWhoseReaderLeavesIsAnErrorNotTheEnd) {
  TempDir dir;
  const std::string fifo = dir / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  TAtomicFileWriter file(fifo);
  ::close(reader);
  EXPECT_EQ(MessageOf<EInOutError>([&] { file.Write("lost"); }),
            "Cannot write file " + fifo + ": Broken pipe");
  sigset_t pending;
  sigpending(&pending);
  EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);
  sigset_t blocked;
  pthread_sigmask(SIG_SETMASK, nullptr, &blocked);
  EXPECT_EQ(sigismember(&blocked, SIGPIPE), 0);
}

// A writer let go before it is committed leaves the old file and nothing else.
TEST(AtomicFileWriterTest, AnUncommittedWriterLeavesTheOldFile) {
  TempDir dir;
  const std::string file = dir / "kept.txt";
  std::ofstream(file) << "old";
  {
    TAtomicFileWriter writer(file);
    writer.Write("new, never finished");
    EXPECT_EQ(NamesIn(dir.Path()).size(), 2u);
  }
  EXPECT_EQ(ReadBytes(file), "old");
  EXPECT_EQ(NamesIn(dir.Path()), std::set<std::string>{"kept.txt"});
}

// A copy never replaces a file, and whoever may read the file it is shared
// with may read it, whatever the umask of the one who made it.
TEST(AtomicFileWriterTest, ANewFileTakesAFreeNameAndIsReadLikeTheFileItIsSharedWith) {
  TempDir dir;
  const std::string database = dir / "Vantrel.MDB";
  std::ofstream(database) << "db";
  ::chmod(database.c_str(), 0640);
  const bool root = ::geteuid() == 0;
  const gid_t group = 4242;
  if (root) {
    ASSERT_EQ(::chown(database.c_str(), 0, group), 0);
  }
  std::ofstream(dir / "taken.txt") << "someone else's";
  {
    TUmaskScope mask(077);
    TAtomicFileWriter copy(TAtomicFileWriter::NewFile, dir.Path(), ".vantrel-copy-", dir / "notes.txt");
    copy.Write("copied");
    copy.ShareReadingWith(database);
    EXPECT_FALSE(copy.CommitNew(dir / "taken.txt"));
    EXPECT_TRUE(copy.CommitNew(dir / "notes.txt"));
  }
  EXPECT_EQ(ReadBytes(dir / "taken.txt"), "someone else's");
  EXPECT_EQ(ReadBytes(dir / "notes.txt"), "copied");
  EXPECT_EQ(ModeOf(dir / "notes.txt") & 07777, 0640u);
  struct stat st {};
  ASSERT_EQ(::stat((dir / "notes.txt").c_str(), &st), 0);
  if (root) {
    EXPECT_EQ(st.st_gid, group);
  }
  EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string>{"Vantrel.MDB", "notes.txt", "taken.txt"}));
}

// A replaced file's read, write and execute bits go onto the new one, and no
// others: setuid, setgid and sticky would otherwise come to rest on a file
// owned by whoever wrote it.
TEST(AtomicFileWriterTest, AReplacedFileKeepsOnlyItsReadWriteAndExecuteBits) {
  TempDir dir;
  const std::string file = dir / "tool";
  const std::pair<mode_t, mode_t> modes[] = {
      {0640, 0640}, {0755, 0755}, {04755, 0755}, {02750, 0750}, {01644, 0644}, {07777, 0777},
  };
  for (auto [before, after] : modes) {
    std::ofstream(file) << "old";
    ASSERT_EQ(::chmod(file.c_str(), before), 0);
    ASSERT_EQ(ModeOf(file) & 07777, before) << std::oct << before << ": the system refused the bits";
    EXPECT_EQ(WriteOnce(file), "(no error)");
    EXPECT_EQ(ReadBytes(file), "x");
    EXPECT_EQ(ModeOf(file) & 07777, after) << std::oct << before;
    std::filesystem::remove(file);
  }
}

// A file of another account, or of a group the writer is not in, is refused
// when the writer may not write it and written in place when it may: it stays
// theirs, with its group, permissions and inode, since a replacement would be
// the writer's, free to have its permissions changed or to be removed. A
// writer who may give the new file the old one's owner and group (its own
// file, or the superuser) replaces it. A file without write bits is refused
// even to the superuser. The writer is a real process of the account
// "nobody"; the other account is "daemon".
TEST(AtomicFileWriterTest, AnotherAccountsFileIsRefusedOrWrittenInPlaceNeverTakenOver) {
  if (::geteuid() != 0) GTEST_SKIP() << "writing as other accounts needs root";
  const auto writerAccount = AccountNamed("nobody");
  const auto otherAccount = AccountNamed("daemon");
  if (!writerAccount || !otherAccount) GTEST_SKIP() << "no accounts 'nobody' and 'daemon' here";
  const Account& writer = *writerAccount;
  const Account& other = *otherAccount;
  TempDir dir;
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
  enum Outcome { Refused, InPlace, Replaced };
  const struct {
    const char* name;
    uid_t owner;
    gid_t group;
    mode_t mode;
    bool asRoot;
    Outcome outcome;
    const char* said;  // when refused
  } cases[] = {
      {"others.txt", other.uid, other.gid, 0644, false, Refused, "Permission denied"},
      {"own-read-only.txt", writer.uid, writer.gid, 0444, false, Refused, "the file is read-only"},
      {"read-only.txt", other.uid, other.gid, 0444, true, Refused, "the file is read-only"},
      {"shared.txt", other.uid, other.gid, 0666, false, InPlace, ""},
      {"group-shared.txt", other.uid, writer.gid, 0664, false, InPlace, ""},
      {"own-in-other-group.txt", writer.uid, other.gid, 0640, false, InPlace, ""},
      {"own.txt", writer.uid, writer.gid, 0644, false, Replaced, ""},
      {"shared-by-root.txt", other.uid, other.gid, 0666, true, Replaced, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir / c.name;
    std::ofstream(file) << "old";
    ASSERT_EQ(::chown(file.c_str(), c.owner, c.group), 0);
    ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
    struct stat before {}, after {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    const std::string expected = c.outcome == Refused ? "Cannot write file " + file + ": " + c.said : "(no error)";
    if (c.asRoot) {
      EXPECT_EQ(WriteOnce(file), expected);
    } else {
      EXPECT_TRUE(AsAccount(writer, [&] { return Says(WriteOnce(file), expected); }));
    }
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(ReadBytes(file), c.outcome == Refused ? "old" : "x");
    EXPECT_EQ(after.st_uid, c.owner);
    EXPECT_EQ(after.st_gid, c.group);
    EXPECT_EQ(after.st_mode & 07777, c.mode);
    EXPECT_EQ(after.st_ino == before.st_ino, c.outcome != Replaced) << "the same file, not another";
  }
  EXPECT_EQ(NamesIn(dir.Path()).size(), std::size(cases));  // no temporary file left
}

// Another account's file stays whole when what would go over it finds no
// room or cannot be put on disk: on a disk too full for the new contents, on
// one with room for them beside the file but not for the file to grow into,
// and when the new contents fail to reach the disk. With room it is written.
TEST(AtomicFileWriterTest, AnotherAccountsFileStaysWholeWhenTheNewContentsFail) {
  if (::geteuid() != 0) GTEST_SKIP() << "writing as other accounts needs root";
  const auto writer = AccountNamed("nobody");
  const auto other = AccountNamed("daemon");
  if (!writer || !other) GTEST_SKIP() << "no accounts 'nobody' and 'daemon' here";
  daotest::TSmallDisk disk(256);
  if (!disk.Mounted()) GTEST_SKIP() << "a small disk of its own needs the power to mount";
  ASSERT_EQ(::chmod(disk.Path().c_str(), 0777), 0);
  const std::string file = disk.Path() + "/shared.txt";
  const std::string spare = disk.Path() + "/spare";
  constexpr std::size_t kPage = 4096;  // what the disk counts in
  const std::string contents(4 * kPage, 'n');  // over a file of one page
  const struct {
    const char* name;
    std::size_t freePages;
    std::optional<TFileCall> failing;  // with an input/output error
    const char* said;                  // empty: written
  } cases[] = {
      {"no room for the new contents", 2, {}, "No space left on device"},
      {"room beside, not to grow into", 5, {}, "No space left on device"},
      {"the new contents not on disk", 8, TFileCall::Sync, "Input/output error"},
      {"room", 8, {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(file) << "old";
    ASSERT_EQ(::chown(file.c_str(), other->uid, other->gid), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0666), 0);
    struct stat before {}, after {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    std::ofstream(spare) << std::string(c.freePages * kPage, 's');
    ASSERT_TRUE(disk.Fill());
    ASSERT_EQ(::unlink(spare.c_str()), 0);  // the disk full but for the free pages
    const std::string expected = *c.said ? "Cannot write file " + file + ": " + c.said : "(no error)";
    EXPECT_TRUE(AsAccount(*writer, [&] {
      std::optional<TFailingFiles> failing;
      if (c.failing) failing.emplace(disk.Path(), *c.failing, 1, EIO);
      return Says(MessageOf<EInOutError>([&] { WriteFileAtomically(file, contents); }), expected);
    }));
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    const std::string now = ReadBytes(file);
    EXPECT_EQ(now == contents ? "the new contents" : now.substr(0, 20), *c.said ? "old" : "the new contents");
    EXPECT_EQ(after.st_uid, other->uid);
    EXPECT_EQ(after.st_ino, before.st_ino);
    disk.Free();
    EXPECT_EQ(NamesIn(disk.Path()), std::set<std::string>{"shared.txt"});  // no temporary file left
    ASSERT_EQ(::unlink(file.c_str()), 0);
  }
}

// A temporary name fits wherever the target's name fits: up to the longest
// name the file system takes, cut between characters.
TEST(AtomicFileWriterTest, TheLongestNamesCanBeWritten) {
  TempDir dir;
  const std::string twoBytes = "\xC3\xA9";  // "é"
  std::string odd;  // 255 bytes whose cut could fall inside a character
  while (odd.size() + 2 <= 254) odd += twoBytes;
  odd += "x";
  for (const std::string& name : {std::string(NAME_MAX, 'a'), odd, std::string(200, 'b')}) {
    ASSERT_LE(name.size(), std::size_t(NAME_MAX));
    EXPECT_EQ(WriteOnce(dir / name), "(no error)") << name.size();
    EXPECT_EQ(ReadBytes(dir / name), "x") << name.size();
    EXPECT_EQ(WriteOnce(dir / name), "(no error)") << "replacing, " << name.size();
  }
  EXPECT_EQ(NamesIn(dir.Path()).size(), 3u);  // no temporary file left
}
