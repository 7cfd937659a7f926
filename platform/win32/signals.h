#pragma once
// SIGTERM, SIGINT and SIGHUP as requests to the program: the signal handler only
// notes the signal; the request runs later from the event loop, where the
// application may close its main form as Exit does.

#include <functional>

// Installs the handlers (again: the request is replaced). False when there is
// no event loop object yet or the notification channel cannot be made.
bool InstallTerminationRequest(std::function<void(int signal)> request);
// Puts back the handlers that were there before.
void RemoveTerminationRequest();
