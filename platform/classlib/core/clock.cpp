#include "platform/classlib/core/clock.h"

#include <chrono>
#include <ctime>
#include <mutex>
#include <optional>

#include "platform/classlib/core/exceptions.h"

namespace {

constexpr double kMsPerDay = 24.0 * 60 * 60 * 1000;

// A stopped clock: its moment and its tick count. Guarded because timers of
// other threads may read the ticks.
struct Stopped {
  TDateTime at;
  std::uint64_t ticks = 0;
};
std::mutex g_mutex;
std::optional<Stopped> g_stopped;

std::uint64_t SystemTicks() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return std::uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

TDateTime SystemNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  // A leap second reads as the 59th.
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                    int(now.tv_nsec / 1000000));
}

}  // namespace

std::uint64_t ClockTicks() {
  std::lock_guard lock(g_mutex);
  return g_stopped ? g_stopped->ticks : SystemTicks();
}

TDateTime ClockNow() {
  {
    std::lock_guard lock(g_mutex);
    if (g_stopped) return g_stopped->at;
  }
  return SystemNow();
}

void SetTestClock(TDateTime at) {
  std::lock_guard lock(g_mutex);
  const std::uint64_t ticks = g_stopped ? g_stopped->ticks : SystemTicks();
  g_stopped = Stopped{at, ticks};
}

void AdvanceTestClock(std::uint32_t milliseconds) {
  std::lock_guard lock(g_mutex);
  if (!g_stopped) throw EInvalidOperation("The clock runs: only a test clock can be moved");
  g_stopped->ticks += milliseconds;
  g_stopped->at = g_stopped->at + milliseconds / kMsPerDay;
}

void ClearTestClock() {
  std::lock_guard lock(g_mutex);
  g_stopped.reset();
}

bool TestClockSet() {
  std::lock_guard lock(g_mutex);
  return g_stopped.has_value();
}
