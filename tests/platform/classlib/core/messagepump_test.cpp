#include <gtest/gtest.h>

#include <thread>

#include "platform/classlib/core/messagepump.h"

namespace {

// Removes whatever hook a test installed, also when it fails.
struct HookGuard {
  ~HookGuard() { SetMessagePumpHook(nullptr); }
};

}  // namespace

TEST(MessagePumpTest, RunsInstalledHookAndReturnsPrevious) {
  HookGuard guard;
  int first = 0, second = 0;
  SetMessagePumpHook([&] { ++first; });
  ProcessMessages();
  ProcessMessages();
  EXPECT_EQ(first, 2);

  auto previous = SetMessagePumpHook([&] { ++second; });
  ProcessMessages();
  EXPECT_EQ(second, 1);
  ASSERT_TRUE(previous);
  SetMessagePumpHook(previous);
  ProcessMessages();
  EXPECT_EQ(first, 3);
  EXPECT_EQ(second, 1);
}

TEST(MessagePumpTest, HookMayPumpAgainAndReplaceItself) {
  HookGuard guard;
  int depth = 0, calls = 0;
  SetMessagePumpHook([&] {
    ++calls;
    if (++depth < 3) ProcessMessages();
    SetMessagePumpHook(nullptr);
  });
  ProcessMessages();
  EXPECT_EQ(calls, 3);
  ProcessMessages();  // without a hook: nothing runs, nothing is raised
  EXPECT_EQ(calls, 3);
}

TEST(MessagePumpTest, OnlyTheMainThreadPumps) {
  HookGuard guard;
  int calls = 0;
  SetMessagePumpHook([&] { ++calls; });
  EXPECT_TRUE(IsMainThread());
  EXPECT_EQ(MainThreadId, std::this_thread::get_id());
  bool otherIsMain = true;
  std::thread worker([&] {
    otherIsMain = IsMainThread();
    ProcessMessages();
  });
  worker.join();
  EXPECT_FALSE(otherIsMain);
  EXPECT_EQ(calls, 0);
}
