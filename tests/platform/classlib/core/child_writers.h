#pragma once
// Runs writers in child processes at the same time, for the tests that several programs
// sharing one file lose nothing.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <vector>

#include "platform/classlib/core/deadline.h"

// Forks one child per writer; child w runs write(w) and exits 0 when it returns true,
// 1 when it returns false, 2 when it raises. While any child runs, the parent calls
// meanwhile (when given) again and again. Returns each child's exit code, -1 for a
// child that could not start or did not exit normally. Children still running after
// timeoutMs fail the test, saying so, and are killed.
inline std::vector<int> RunChildWriters(int writers, const std::function<bool(int)>& write,
                                        const std::function<void()>& meanwhile = {},
                                        int timeoutMs = kWaitLimitMs) {
  std::vector<pid_t> children;
  for (int w = 0; w < writers; ++w) {
    pid_t pid = ::fork();
    if (pid == 0) {
      int code = 2;
      try {
        code = write(w) ? 0 : 1;
      } catch (...) {
      }
      ::_exit(code);
    }
    children.push_back(pid);
  }
  auto anyRunning = [&] {
    for (pid_t pid : children) {
      siginfo_t info{};
      if (pid > 0 &&
          ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
          info.si_pid == 0)
        return true;
    }
    return false;
  };
  if (!WaitUntil([&] { return !anyRunning(); }, timeoutMs, meanwhile)) {
    ADD_FAILURE() << "writer processes still running after " << timeoutMs << " ms";
    for (pid_t pid : children)
      if (pid > 0) ::kill(pid, SIGKILL);
  }
  std::vector<int> codes;
  for (pid_t pid : children) {
    int status = 0;
    bool exited = pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status);
    codes.push_back(exited ? WEXITSTATUS(status) : -1);
  }
  return codes;
}
