#pragma once
// Entries written into a test database through a connection of its own: every
// status with every priority, in both kinds, in the first program.

#include <string>

namespace apptest {

// One entry of each status (1-9), priority (1-5) and kind in program 1; the
// description is "<kind> <status> <priority>" (e.g. "BugReport 3 5").
void AddEveryCodeEntry(const std::string& database);
inline constexpr int kStatusCodes = 9, kPriorityCodes = 5;

}  // namespace apptest
