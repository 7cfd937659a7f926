#pragma once
// Critical sections: re-entrant locks for the few places that guard state shared
// with other threads (the engine's session binding, the choice of the DAO engine).
// Entering twice on the same thread needs two leaves, as on the original platform.

#include <memory>
#include <mutex>

// The operating system's form, initialised and deleted explicitly by its owner.
struct CRITICAL_SECTION {
  std::unique_ptr<std::recursive_mutex> Mutex;
};

void InitializeCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
bool TryEnterCriticalSection(CRITICAL_SECTION* section);

// The class library's object form: initialised on creation, deleted on destruction.
class TCriticalSection {
 public:
  TCriticalSection() { InitializeCriticalSection(&section_); }
  ~TCriticalSection() { DeleteCriticalSection(&section_); }
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;

  void Enter() { EnterCriticalSection(&section_); }
  void Leave() { LeaveCriticalSection(&section_); }
  bool TryEnter() { return TryEnterCriticalSection(&section_); }
  // Same as Enter/Leave, under the names of the class library's synchronisation objects.
  void Acquire() { Enter(); }
  void Release() { Leave(); }

 private:
  CRITICAL_SECTION section_;
};
