#pragma once
// The message-pump hook. Long passes in non-visual code (engine, reports) call
// ProcessMessages() exactly where they would call Application->ProcessMessages();
// the windowing layer installs the real pump once the application object exists.
// Without a hook the call does nothing, so that code runs the same without a display.

#include <functional>
#include <thread>

// Runs the installed pump once; a no-op when none is installed or when called
// from any thread other than the main one (only the main thread owns the event loop).
void ProcessMessages();

// Installs the pump (an empty function removes it). Returns the previous one so
// that a caller can restore it.
std::function<void()> SetMessagePumpHook(std::function<void()> hook);

// The thread that started the program (the thread of the event loop).
extern const std::thread::id MainThreadId;

bool IsMainThread();
