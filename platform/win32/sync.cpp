#include "platform/win32/sync.h"

#include <stdexcept>

namespace {

// Using a section that was never initialised (or already deleted) is a programming
// error; it is reported instead of crashing on a null lock.
std::recursive_mutex& MutexOf(CRITICAL_SECTION* section) {
  if (section == nullptr || !section->Mutex)
    throw std::logic_error("critical section used before InitializeCriticalSection");
  return *section->Mutex;
}

}  // namespace

void InitializeCriticalSection(CRITICAL_SECTION* section) {
  section->Mutex = std::make_unique<std::recursive_mutex>();
}

void DeleteCriticalSection(CRITICAL_SECTION* section) { section->Mutex.reset(); }

void EnterCriticalSection(CRITICAL_SECTION* section) { MutexOf(section).lock(); }

void LeaveCriticalSection(CRITICAL_SECTION* section) { MutexOf(section).unlock(); }

bool TryEnterCriticalSection(CRITICAL_SECTION* section) { return MutexOf(section).try_lock(); }
