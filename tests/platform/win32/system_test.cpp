#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <thread>

#include "platform/win32/msgbox.h"
#include "platform/win32/sync.h"
#include "platform/win32/system.h"

TEST(CriticalSectionTest, ReentrantOnOneThreadExclusiveAcrossThreads) {
  TCriticalSection section;
  section.Enter();
  section.Enter();  // the owner may enter again
  bool otherGot = true;
  std::thread([&] { otherGot = section.TryEnter(); }).join();
  EXPECT_FALSE(otherGot);
  section.Leave();
  std::thread([&] { otherGot = section.TryEnter(); }).join();
  EXPECT_FALSE(otherGot) << "one leave of two must keep the section held";
  section.Leave();
  std::thread([&] {
    otherGot = section.TryEnter();
    if (otherGot) section.Leave();
  }).join();
  EXPECT_TRUE(otherGot);
}

TEST(CriticalSectionTest, GuardsACounterAcrossThreads) {
  TCriticalSection section;
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        section.Acquire();
        ++counter;
        section.Release();
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 80000);
}

TEST(CriticalSectionTest, UseWithoutInitialisationIsReported) {
  CRITICAL_SECTION section;
  EXPECT_THROW(EnterCriticalSection(&section), std::logic_error);
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  LeaveCriticalSection(&section);
  DeleteCriticalSection(&section);
  EXPECT_THROW(TryEnterCriticalSection(&section), std::logic_error);
}

TEST(SystemTest, TickCountAdvancesInMilliseconds) {
  DWORD start = GetTickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 29u);
  EXPECT_LT(elapsed, 5000u);
}

// The name the system's own tool reports for the account that runs the tests,
// whole through the network call, and its size when the buffer is too small.
TEST(SystemTest, UserNameIsTheLoginName) {
  std::string expected;
  if (FILE* tool = ::popen("id -un", "r")) {
    char line[256] = {};
    if (std::fgets(line, sizeof line, tool) != nullptr) expected = line;
    ::pclose(tool);
  }
  while (!expected.empty() && expected.back() == '\n') expected.pop_back();
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(GetUserName(), expected);
  char buffer[256];
  DWORD length = sizeof buffer;
  ASSERT_EQ(WNetGetUserA(nullptr, buffer, &length), NO_ERROR);
  EXPECT_EQ(std::string(buffer), expected);
  char small[1];
  length = sizeof small;
  EXPECT_EQ(WNetGetUserA(nullptr, small, &length), ERROR_MORE_DATA);
  EXPECT_EQ(length, expected.size() + 1);
}

TEST(MessageBeepTest, KindsReachTheSinkAndUnknownKindsAreRefused) {
  std::vector<UINT> heard;
  TBeepSink previous = SetBeepSink([&](UINT t) { heard.push_back(t); });
  for (UINT t : {0u, 0xFFFFFFFFu, MB_ICONHAND, MB_ICONQUESTION, MB_ICONEXCLAMATION,
                 MB_ICONASTERISK})
    EXPECT_TRUE(MessageBeep(t));
  EXPECT_FALSE(MessageBeep(0x50));
  SetBeepSink(previous);
  EXPECT_EQ(heard, (std::vector<UINT>{0, 0xFFFFFFFF, 0x10, 0x20, 0x30, 0x40}));
}
