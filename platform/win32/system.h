#pragma once
// Small operating-system services: the clock of the system's timings and the
// name of the user who runs the program.

#include <string>

#include "platform/classlib/core/wintypes.h"

// Milliseconds since an arbitrary start, from the program's clock (clock.h,
// which tests may stop); wraps after
// about 49.7 days like the original, so compare with unsigned differences.
DWORD GetTickCount();

// The login name of the user running the program (from the account database,
// then $USER, then $LOGNAME); empty when none can be found.
std::string GetUserName();

// The network user name, copied zero-terminated into buffer. length holds the
// buffer size on entry; when it is too small the result is ERROR_MORE_DATA and
// length receives the size needed. The network name is the login name here.
// name (the network resource) is ignored: there is one user for all resources.
LONG WNetGetUserA(const char* name, char* buffer, DWORD* length);
