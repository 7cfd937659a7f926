#include "platform/win32/sysinfo.h"

#include <sys/utsname.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

std::string ReadFile(const char* path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The value of "Key:   123 kB" in kilobytes; -1 when the key is missing.
long long MemInfoKilobytes(const std::string& text, const std::string& key) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.compare(0, key.size() + 1, key + ":") != 0) continue;
    std::istringstream value(line.substr(key.size() + 1));
    long long kb = -1;
    value >> kb;
    return value ? kb : -1;
  }
  return -1;
}

}  // namespace

bool ParseMemInfo(const std::string& text, MEMORYSTATUSEX* status) {
  if (!status) return false;
  *status = MEMORYSTATUSEX{};
  const long long total = MemInfoKilobytes(text, "MemTotal");
  if (total <= 0) return false;
  // Older kernels lack MemAvailable: free memory is the nearest they tell.
  long long avail = MemInfoKilobytes(text, "MemAvailable");
  if (avail < 0) avail = MemInfoKilobytes(text, "MemFree");
  avail = std::clamp(avail, 0LL, total);
  status->ullTotalPhys = std::uint64_t(total) * 1024;
  status->ullAvailPhys = std::uint64_t(avail) * 1024;
  status->dwMemoryLoad = DWORD(100 - avail * 100 / total);
  return true;
}

bool GlobalMemoryStatusEx(MEMORYSTATUSEX* status) {
  return ParseMemInfo(ReadFile("/proc/meminfo"), status);
}

std::string OsReleaseName(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.compare(0, 5, "NAME=") != 0) continue;
    std::string value = line.substr(5);
    // Quoted values drop their quotes (os-release follows shell quoting).
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    return value;
  }
  return {};
}

void ParseKernelRelease(const std::string& release, OSVERSIONINFO* info) {
  DWORD* parts[] = {&info->dwMajorVersion, &info->dwMinorVersion, &info->dwBuildNumber};
  for (DWORD* part : parts) *part = 0;
  std::size_t at = 0;
  for (DWORD* part : parts) {
    std::size_t end = at;
    while (end < release.size() && release[end] >= '0' && release[end] <= '9') ++end;
    if (end == at) return;  // no more numbers: the rest stay 0
    *part = DWORD(std::stoul(release.substr(at, std::min<std::size_t>(end - at, 9))));
    if (end >= release.size() || release[end] != '.') return;
    at = end + 1;
  }
}

bool GetVersionEx(OSVERSIONINFO* info) {
  if (!info) return false;
  *info = OSVERSIONINFO{};
  utsname names{};
  if (uname(&names) != 0) return false;
  info->Name = OsReleaseName(ReadFile("/etc/os-release"));
  if (info->Name.empty()) info->Name = OsReleaseName(ReadFile("/usr/lib/os-release"));
  if (info->Name.empty()) info->Name = names.sysname;
  ParseKernelRelease(names.release, info);
  return true;
}
