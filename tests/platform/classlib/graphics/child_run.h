#pragma once
// Runs one disabled test of this same program in a child process, for tests
// of what happens to a test program as a whole (a test that fails, a window
// that would wait forever): the child's exit code and everything it printed.

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <string>
#include <utility>
#include <vector>

#include "platform/classlib/core/deadline.h"

namespace testing_support {

struct ChildRun {
  bool finished = false;
  int exitCode = -1;
  std::string output;
};

// `test` is "Suite.DISABLED_Name"; `environment` adds variables to ours.
inline ChildRun RunChildTest(const std::string& test,
                             const std::vector<std::pair<QString, QString>>& environment = {}) {
  // Long enough for a loaded machine to start the program; a window that
  // waits for an answer never finishes.
  constexpr int kChildLimitMs = kWaitLimitMs;
  QProcess child;
  child.setProcessChannelMode(QProcess::MergedChannels);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const auto& [name, value] : environment) env.insert(name, value);
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(),
              {QString::fromStdString("--gtest_filter=" + test), "--gtest_also_run_disabled_tests"});
  ChildRun run;
  run.finished = child.waitForFinished(kChildLimitMs);
  if (!run.finished) child.kill(), child.waitForFinished();
  run.exitCode = child.exitCode();
  run.output = child.readAll().toStdString();
  return run;
}

inline int Occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

}  // namespace testing_support
