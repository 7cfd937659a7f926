#pragma once
// What an About window tells of the machine: the memory and the system's name
// and version.

#include <cstdint>
#include <string>

#include "platform/classlib/core/wintypes.h"

// GlobalMemoryStatusEx's record: sizes in bytes (64-bit, so that large
// machines are told right); dwMemoryLoad is the percentage in use.
struct MEMORYSTATUSEX {
  DWORD dwLength = sizeof(MEMORYSTATUSEX);
  DWORD dwMemoryLoad = 0;
  std::uint64_t ullTotalPhys = 0;
  std::uint64_t ullAvailPhys = 0;
};
// From /proc/meminfo; false (and the record left zero) when it cannot be read.
bool GlobalMemoryStatusEx(MEMORYSTATUSEX* status);
// The same from the text of a meminfo file ("MemTotal:  16318496 kB" ...).
bool ParseMemInfo(const std::string& text, MEMORYSTATUSEX* status);

// The system's name and version, in GetVersionEx's terms: the name stands
// where the original names a platform ("Debian GNU/Linux"), the version is the
// kernel's (6.1.0 gives major 6, minor 1, build 0).
struct OSVERSIONINFO {
  std::string Name;
  DWORD dwMajorVersion = 0;
  DWORD dwMinorVersion = 0;
  DWORD dwBuildNumber = 0;
};
// From /etc/os-release (or /usr/lib/os-release) and uname; the kernel's name
// ("Linux") when no release file names the system.
bool GetVersionEx(OSVERSIONINFO* info);
// The parts: NAME of an os-release text ("" when missing), and the numbers of
// a kernel release ("6.1.0-13-amd64").
std::string OsReleaseName(const std::string& text);
void ParseKernelRelease(const std::string& release, OSVERSIONINFO* info);
