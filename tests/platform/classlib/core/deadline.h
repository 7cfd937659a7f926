#pragma once
// Waiting for something with a limit, so a test whose condition never comes
// fails in seconds with what it waited for, instead of hanging until the
// suite's time limit kills it without a word.

#include <chrono>
#include <functional>
#include <thread>

// Long enough for a loaded machine, short enough that a hang fails soon: well
// within the time limit of the test's ctest entry (set with it, see
// cmake/VantrelModules.cmake), so that this failure, naming what was awaited,
// is the one reported.
#ifndef VANTREL_WAIT_LIMIT_MS
#error "test programs are built with VANTREL_WAIT_LIMIT_MS (cmake/VantrelModules.cmake)"
#endif
inline constexpr int kWaitLimitMs = VANTREL_WAIT_LIMIT_MS;

// Runs meanwhile (or pauses a moment) until done() holds; false when it still
// did not after timeoutMs.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kWaitLimitMs,
                      const std::function<void()>& meanwhile = {}) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    if (meanwhile)
      meanwhile();
    else
      std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return true;
}
