#pragma once
// The program's one clock: the local date and time behind Now, Date and Time,
// and the millisecond tick count behind GetTickCount. Tests stop it at a
// moment and move it by hand, so "today", time stamps and timings are exact;
// both readings then move together.

#include <cstdint>

#include "platform/classlib/core/datetime.h"

// Milliseconds since an arbitrary start (never goes back).
std::uint64_t ClockTicks();
// The local date and time now (what Now returns).
TDateTime ClockNow();

// Stops the clock at `at` (local time); the tick count keeps its value.
void SetTestClock(TDateTime at);
// Moves a stopped clock forward; raises EInvalidOperation when it runs.
void AdvanceTestClock(std::uint32_t milliseconds);
// The system's clocks again.
void ClearTestClock();
bool TestClockSet();

// Stops the clock for a scope (a test), and lets it run again after.
class TTestClock {
 public:
  explicit TTestClock(TDateTime at) { SetTestClock(at); }
  ~TTestClock() { ClearTestClock(); }
  TTestClock(const TTestClock&) = delete;
  TTestClock& operator=(const TTestClock&) = delete;
  void Advance(std::uint32_t milliseconds) { AdvanceTestClock(milliseconds); }
};
