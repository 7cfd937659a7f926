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

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "platform/classlib/core/child_writers.h"
#include "platform/classlib/core/english_settings.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/temp_dir.h"
#include "platform/classlib/core/write_targets.h"

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

// A file the writer may not write is refused, named, and left as it was,
// though the folder would let the writer put another file in its place:
// another account's file in a folder open to all, and a file without write
// bits, which even the superuser's writes leave alone. The writer is a real
// process of the account "nobody"; the other account is "daemon".
TEST(AtomicFileWriterTest, AFileTheWriterMayNotWriteIsRefusedNotReplaced) {
  if (::geteuid() != 0) GTEST_SKIP() << "writing as other accounts needs root";
  struct Account {
    uid_t pw_uid;
    gid_t pw_gid;
  };
  auto account = [](const char* name) {
    const passwd* p = ::getpwnam(name);  // its answer lasts until the next call
    return p == nullptr ? std::optional<Account>() : Account{p->pw_uid, p->pw_gid};
  };
  const auto writerAccount = account("nobody");
  const auto otherAccount = account("daemon");
  if (!writerAccount || !otherAccount) GTEST_SKIP() << "no accounts 'nobody' and 'daemon' here";
  const Account* writer = &*writerAccount;
  const Account* other = &*otherAccount;
  TempDir dir;
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
  const struct {
    const char* name;
    const Account* owner;
    mode_t mode;
    bool asRoot;
    const char* said;  // empty: written
  } cases[] = {
      {"others.txt", other, 0644, false, "Permission denied"},
      {"own-read-only.txt", writer, 0444, false, "the file is read-only"},
      {"read-only.txt", other, 0444, true, "the file is read-only"},
      {"shared.txt", other, 0666, false, ""},
      {"own.txt", writer, 0644, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir / c.name;
    std::ofstream(file) << "old";
    ASSERT_EQ(::chown(file.c_str(), c.owner->pw_uid, c.owner->pw_gid), 0);
    ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
    const std::string expected = *c.said ? "Cannot write file " + file + ": " + c.said : "(no error)";
    if (c.asRoot) {
      EXPECT_EQ(WriteOnce(file), expected);
    } else {
      const uid_t uid = writer->pw_uid;
      const gid_t gid = writer->pw_gid;
      const auto codes = RunChildWriters(1, [&](int) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) return false;
        return WriteOnce(file) == expected;
      });
      EXPECT_EQ(codes, std::vector<int>{0});
    }
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    if (*c.said) {
      EXPECT_EQ(ReadBytes(file), "old");
      EXPECT_EQ(st.st_uid, c.owner->pw_uid);
      EXPECT_EQ(st.st_mode & 07777, c.mode);
    } else {
      EXPECT_EQ(ReadBytes(file), "x");
    }
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
