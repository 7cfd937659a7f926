#pragma once
// A child process for tests of several users on one file. The two sides talk
// over pipes one byte at a time. Each side closes the pipe ends it does not
// use, so a side that dies is seen at once as the end of the pipe; every wait
// has a limit, so a broken lock fails a test in seconds instead of hanging it.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "daotest_util.h"
#include "platform/classlib/core/deadline.h"

namespace daotest {

class Child {
 public:
  // Long enough for a loaded machine, short enough that a hang fails soon.
  static constexpr int kListenMs = 10000;
  static constexpr int kWaitMs = kWaitLimitMs;

  explicit Child(std::function<int(Child&)> body) {
    if (::pipe(toChild_) != 0 || ::pipe(toParent_) != 0) ADD_FAILURE() << "pipe";
    pid_ = ::fork();
    if (pid_ == 0) {
      CloseEnd(toChild_[1]);
      CloseEnd(toParent_[0]);
      int code = 99;
      try {
        code = body(*this);
      } catch (...) {
        code = 98;
      }
      ::_exit(code);
    }
    CloseEnd(toChild_[0]);
    CloseEnd(toParent_[1]);
  }
  ~Child() {
    if (pid_ > 0 && !reaped_) Kill();
    for (int fd : {toChild_[0], toChild_[1], toParent_[0], toParent_[1]})
      if (fd >= 0) ::close(fd);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Child side.
  void Tell(char c) { (void)!::write(toParent_[1], &c, 1); }
  char Hear() { return ReadByte(toChild_[0], -1); }
  // Child side: the pipe ends, for a body that runs another program in its
  // place (they stay open across exec).
  int HearFd() const { return toChild_[0]; }
  int TellFd() const { return toParent_[1]; }
  // Parent side: 0 when the child ended or stayed silent past the limit.
  void Say(char c) { (void)!::write(toChild_[1], &c, 1); }
  char Listen(int timeoutMs = kListenMs) { return ReadByte(toParent_[0], timeoutMs); }
  // The child's exit code; -1 when it was killed or outlived the limit.
  int Wait(int timeoutMs = kWaitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "child " << pid_ << " still running after " << timeoutMs << " ms";
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        reaped_ = true;
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Kill() {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    reaped_ = true;
  }

 private:
  static void CloseEnd(int& fd) {
    ::close(fd);
    fd = -1;
  }
  static char ReadByte(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1) return 0;
    char c = 0;
    return ::read(fd, &c, 1) == 1 ? c : 0;
  }

  int toChild_[2] = {-1, -1};
  int toParent_[2] = {-1, -1};
  pid_t pid_ = -1;
  bool reaped_ = false;
};

// Multi-process tests run in both sharing modes of a database file (local:
// write-ahead log, network: rollback journal); the environment variable
// that forces the network mode reaches the child processes as well.
inline void UseNetworkMode(bool network) {
  if (network)
    ::setenv("VANTREL_NETWORK_MODE", "1", 1);
  else
    ::unsetenv("VANTREL_NETWORK_MODE");
}
inline std::string ModeName(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "Network" : "Local";
}

// People "one" and "two" in a file shared in the mode of the test's
// parameter (true: network mode).
class PeopleInBothModes : public DaoFixture, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    UseNetworkMode(GetParam());
    DaoFixture::SetUp();
    MakeOneAndTwo();
  }
  void TearDown() override {
    DaoFixture::TearDown();
    UseNetworkMode(false);
  }
  // A recordset standing on the person's row.
  static std::unique_ptr<dao::TRecordsetCore> OnPerson(dao::TDatabaseCore& db, const std::string& name) {
    auto rs = db.OpenRecordset("People", -1);
    rs->SetIndex("ByName");
    rs->Seek("=", {dao::Cell::MakeText(name)});
    EXPECT_FALSE(rs->NoMatch());
    return rs;
  }
};

}  // namespace daotest
