#include "platform/win32/system.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/classlib/core/clock.h"

DWORD GetTickCount() { return static_cast<DWORD>(ClockTicks()); }

std::string GetUserName() {
  if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr &&
                                                 entry->pw_name[0] != '\0')
    return entry->pw_name;
  for (const char* variable : {"USER", "LOGNAME"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != '\0') return value;
  }
  return {};
}

LONG WNetGetUserA(const char* /*name*/, char* buffer, DWORD* length) {
  if (length == nullptr) return ERROR_INVALID_PARAMETER;
  std::string user = GetUserName();
  DWORD needed = static_cast<DWORD>(user.size() + 1);
  if (buffer == nullptr || *length < needed) {
    *length = needed;
    return ERROR_MORE_DATA;
  }
  std::memcpy(buffer, user.c_str(), needed);
  return NO_ERROR;
}
