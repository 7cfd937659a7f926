#pragma once
// What a writer may find at its target, made for real in a scratch folder: a
// device node, a device that is always full, a named pipe that a thread reads,
// one that nobody reads, a symbolic link (and one to a file still to be made),
// a file of mode 0640, and nothing at all under umask 027. ExpectSoundTargets
// runs one writer at each and checks that it did the sound thing: a device or
// pipe written in place and never replaced, a link followed, a replaced file's
// permission bits kept, a new file's from the umask, every failure reported,
// and no temporary file left behind.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "platform/classlib/core/temp_dir.h"

namespace write_targets {

// Sets the process's umask while it lives.
class TUmaskScope {
 public:
  explicit TUmaskScope(mode_t mask) : old_(::umask(mask)) {}
  ~TUmaskScope() { ::umask(old_); }
  TUmaskScope(const TUmaskScope&) = delete;
  TUmaskScope& operator=(const TUmaskScope&) = delete;

 private:
  mode_t old_;
};

inline std::string ReadBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::set<std::string> NamesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

inline mode_t ModeOf(const std::string& name) {
  struct stat st {};
  return ::lstat(name.c_str(), &st) == 0 ? st.st_mode : 0;
}

// A device node named `name` in the scratch folder (root may make one), else
// the system's own node of that device.
inline std::string DeviceNode(const std::string& name, unsigned minor, const char* systemNode) {
  if (::mknod(name.c_str(), S_IFCHR | 0666, makedev(1, minor)) == 0) return name;
  return systemNode;
}

// Reads a named pipe on a thread of its own from before the writer opens it
// until the writer closes it, or gives up after a deadline.
class TPipeReader {
 public:
  explicit TPipeReader(const std::string& fifo)
      : fd_(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)), thread_([this] { Read(); }) {}
  ~TPipeReader() {
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
  }
  // What the writer sent; empty with `finished` false when it never ended.
  std::string Received(bool& finished) {
    thread_.join();
    finished = finished_;
    return bytes_;
  }

 private:
  static constexpr int kDeadlineMs = 10000;
  void Read() {
    using std::chrono::milliseconds, std::chrono::steady_clock;
    const auto end = steady_clock::now() + milliseconds(kDeadlineMs);
    while (fd_ >= 0) {
      const auto left = std::chrono::duration_cast<milliseconds>(end - steady_clock::now());
      if (left.count() <= 0) return;
      // The pipe reports no hang-up before a writer has come.
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, int(left.count())) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n > 0) bytes_.append(buffer, std::size_t(n));
      if (n == 0 && (p.revents & POLLHUP)) {
        finished_ = true;
        return;
      }
    }
  }
  int fd_;
  std::string bytes_;
  bool finished_ = false;
  std::thread thread_;
};

// A write for ExpectSoundTargets from an action that raises E when it fails.
template <class E>
std::function<bool(const std::string&)> FailsByRaising(std::function<void(const std::string&)> action) {
  return [action](const std::string& path) {
    try {
      action(path);
      return true;
    } catch (const E&) {
      return false;
    }
  };
}

// write(path) runs the writer on path and answers whether it reported success;
// isOutput(bytes) tells its output from anything else. `extension` ends every
// target's name, for writers that care.
inline void ExpectSoundTargets(const std::function<bool(const std::string& path)>& write,
                               const std::function<bool(const std::string& bytes)>& isOutput,
                               const std::string& extension = ".out") {
  TempDir dir;
  auto folder = [&](const std::string& name) {
    std::filesystem::create_directory(dir / name);
    return dir / name + "/";
  };
  auto onlyThere = [&](const std::string& where, std::set<std::string> names, const char* what) {
    EXPECT_EQ(NamesIn(where), names) << what << ": nothing else is left in the folder";
  };

  // A device takes the output in place, or says that it could not, and stays
  // a device.
  auto device = [&](const std::string& name, unsigned minor, const char* systemNode, bool takes) {
    const std::string where = folder(name);
    const std::string node = DeviceNode(where + name + extension, minor, systemNode);
    EXPECT_EQ(write(node), takes) << node << (takes ? " takes the output" : " reports its failure");
    EXPECT_TRUE(S_ISCHR(ModeOf(node))) << node << " is still a device";
    const bool ours = node.starts_with(where);
    onlyThere(where, ours ? std::set<std::string>{name + extension} : std::set<std::string>{}, "a device");
  };
  device("null", 3, "/dev/null", true);
  device("full", 7, "/dev/full", false);
  {  // A pipe: its reader gets the output, and it stays a pipe.
    const std::string where = folder("pipe");
    const std::string fifo = where + "pipe" + extension;
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    TPipeReader reader(fifo);
    EXPECT_TRUE(write(fifo)) << "a pipe with a reader";
    bool finished = false;
    const std::string received = reader.Received(finished);
    EXPECT_TRUE(finished) << "the reader waited 10 s for the writer to close the pipe";
    EXPECT_TRUE(isOutput(received)) << "the reader got: " << received.substr(0, 200);
    EXPECT_TRUE(S_ISFIFO(ModeOf(fifo))) << "still a pipe";
    onlyThere(where, {"pipe" + extension}, "a pipe");
  }
  {  // A pipe nobody reads is refused at once, never waited on or replaced.
    const std::string where = folder("unread");
    const std::string fifo = where + "pipe" + extension;
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(write(fifo)) << "a pipe without a reader";
    EXPECT_TRUE(S_ISFIFO(ModeOf(fifo))) << "still a pipe";
    onlyThere(where, {"pipe" + extension}, "an unread pipe");
  }
  {  // A link is followed: the file it names is replaced and keeps its bits.
    const std::string where = folder("link");
    std::ofstream(where + "real" + extension) << "old";
    ::chmod((where + "real" + extension).c_str(), 0640);
    std::filesystem::create_symlink("real" + extension, where + "link" + extension);
    EXPECT_TRUE(write(where + "link" + extension)) << "a link";
    EXPECT_TRUE(std::filesystem::is_symlink(where + "link" + extension)) << "the link stays";
    EXPECT_TRUE(isOutput(ReadBytes(where + "real" + extension))) << "the file it names is written";
    EXPECT_EQ(ModeOf(where + "real" + extension) & 07777, 0640u);
    onlyThere(where, {"link" + extension, "real" + extension}, "a link");
  }
  {  // A link to a file still to be made makes that file.
    const std::string where = folder("dangling");
    std::filesystem::create_directory(where + "sub");
    std::filesystem::create_symlink("sub/made" + extension, where + "link" + extension);
    EXPECT_TRUE(write(where + "link" + extension)) << "a link to a missing file";
    EXPECT_TRUE(std::filesystem::is_symlink(where + "link" + extension)) << "the link stays";
    EXPECT_TRUE(isOutput(ReadBytes(where + "sub/made" + extension)));
    onlyThere(where, {"link" + extension, "sub"}, "a dangling link");
    onlyThere(where + "sub", {"made" + extension}, "a dangling link's folder");
  }
  {  // A file replaced keeps its permission bits.
    const std::string where = folder("kept");
    const std::string file = where + "kept" + extension;
    std::ofstream(file) << "old";
    ::chmod(file.c_str(), 0640);
    EXPECT_TRUE(write(file)) << "an existing file";
    EXPECT_TRUE(isOutput(ReadBytes(file)));
    EXPECT_EQ(ModeOf(file) & 07777, 0640u);
    onlyThere(where, {"kept" + extension}, "an existing file");
  }
  {  // A new file gets what the umask leaves of 0666.
    const std::string where = folder("new");
    const std::string file = where + "new" + extension;
    bool written = false;
    {
      TUmaskScope mask(027);
      written = write(file);
    }
    EXPECT_TRUE(written) << "a new file";
    EXPECT_TRUE(isOutput(ReadBytes(file)));
    EXPECT_EQ(ModeOf(file) & 07777, 0640u);
    onlyThere(where, {"new" + extension}, "a new file");
  }
}

}  // namespace write_targets
