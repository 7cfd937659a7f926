#include "platform/classlib/core/messagepump.h"

#include <mutex>

// Initialised during static initialisation, which runs on the thread that starts the program.
const std::thread::id MainThreadId = std::this_thread::get_id();

namespace {

std::mutex& HookMutex() {
  static std::mutex mutex;
  return mutex;
}

std::function<void()>& Hook() {
  static std::function<void()> hook;
  return hook;
}

}  // namespace

bool IsMainThread() { return std::this_thread::get_id() == MainThreadId; }

std::function<void()> SetMessagePumpHook(std::function<void()> hook) {
  std::lock_guard lock(HookMutex());
  std::swap(Hook(), hook);
  return hook;
}

void ProcessMessages() {
  if (!IsMainThread()) return;
  std::function<void()> pump;
  {
    // Copied so that the pump may replace the hook or pump again re-entrantly.
    std::lock_guard lock(HookMutex());
    pump = Hook();
  }
  if (pump) pump();
}
