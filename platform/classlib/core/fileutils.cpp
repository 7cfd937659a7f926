#include "platform/classlib/core/fileutils.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <signal.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <vector>

#include "platform/classlib/core/wintypes.h"

namespace classlib_detail {
// The entries still to be returned by FindNext, already filtered and sorted.
struct SearchState {
  std::string folder;
  std::vector<std::string> names;
  std::size_t next = 0;
  int attr = 0;
};
}  // namespace classlib_detail

namespace {

bool StatOf(const std::string& name, struct stat& st) {
  return !name.empty() && ::stat(name.c_str(), &st) == 0;
}

// --- packed file dates --------------------------------------------------------------

// The packed form of a local date and time; -1 outside the years it can hold.
int PackFileDate(int year, int month, int day, int hour, int min, int sec) {
  if (year < 1980 || year > 2107) return -1;
  unsigned date = (unsigned(year - 1980) << 9) | (unsigned(month) << 5) | unsigned(day);
  unsigned time = (unsigned(hour) << 11) | (unsigned(min) << 5) | unsigned(sec / 2);
  return static_cast<int>((date << 16) | time);
}

int PackFileDate(std::time_t when) {
  std::tm local{};
  if (localtime_r(&when, &local) == nullptr) return -1;
  return PackFileDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec);
}

// Returns -1 for a value that is no valid packed date.
std::time_t UnpackFileDate(int age) {
  unsigned packed = static_cast<unsigned>(age);
  std::tm local{};
  local.tm_year = int(packed >> 25) + 80;
  local.tm_mon = int((packed >> 21) & 0x0F) - 1;
  local.tm_mday = int((packed >> 16) & 0x1F);
  local.tm_hour = int((packed >> 11) & 0x1F);
  local.tm_min = int((packed >> 5) & 0x3F);
  local.tm_sec = int(packed & 0x1F) * 2;
  local.tm_isdst = -1;
  std::tm given = local;
  std::time_t when = std::mktime(&local);
  // mktime rolls impossible dates over (February 30th into March); those are no dates.
  if (when == -1 || local.tm_mday != given.tm_mday || local.tm_mon != given.tm_mon ||
      local.tm_year != given.tm_year || local.tm_min != given.tm_min || local.tm_sec != given.tm_sec)
    return -1;
  return when;
}

// Sets both times of a file named by path (fd < 0) or by an open descriptor.
int SetTimes(const char* path, int fd, int age) {
  std::time_t when = UnpackFileDate(age);
  if (when == -1) return EINVAL;
  timespec times[2] = {{when, 0}, {when, 0}};
  int rc = path ? ::utimensat(AT_FDCWD, path, times, 0) : ::futimens(fd, times);
  return rc == 0 ? 0 : errno;
}

// --- attributes and patterns ---------------------------------------------------------

int AttributesOf(const std::string& name, const struct stat& st) {
  int attr = 0;
  if (S_ISDIR(st.st_mode))
    attr |= faDirectory;
  else if (S_ISREG(st.st_mode))
    attr |= faArchive;
  else
    attr |= faSysFile;  // devices, sockets and pipes are nothing a user edits
  if ((st.st_mode & S_IWUSR) == 0) attr |= faReadOnly;
  std::string base = ExtractFileName(name);
  if (!base.empty() && base[0] == '.') attr |= faHidden;
  return attr;
}

bool WildcardMatch(const char* pattern, const char* text) {
  // Iterative match with one backtrack point for the last '*'.
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*text != '\0') {
    if (*pattern == '*') {
      star = pattern++;
      resume = text;
    } else if (*pattern == '?' || *pattern == *text) {
      ++pattern;
      ++text;
    } else if (star != nullptr) {
      pattern = star + 1;
      text = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

bool FillSearchRec(TSearchRec& f) {
  auto& state = *f.FindHandle;
  while (state.next < state.names.size()) {
    const std::string& name = state.names[state.next++];
    struct stat st;
    std::string full = state.folder + name;
    if (::lstat(full.c_str(), &st) != 0) continue;  // vanished since the listing
    if (S_ISLNK(st.st_mode) && ::stat(full.c_str(), &st) != 0) continue;  // dangling link
    int attr = AttributesOf(name, st);
    // Hidden, system and folder entries are exclusive: listed only when asked for.
    if ((attr & ~state.attr & (faHidden | faSysFile | faDirectory)) != 0) continue;
    f.Name = name;
    f.Attr = attr;
    f.Size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
    f.Time = PackFileDate(st.st_mtime);
    f.ExcludeAttr = ~state.attr & (faHidden | faSysFile | faDirectory);
    return true;
  }
  return false;
}

// Splits /proc/self/cmdline into the program's arguments.
std::vector<std::string> CommandLine() {
  std::vector<std::string> args;
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string arg;
  while (std::getline(in, arg, '\0')) args.push_back(arg);
  return args;
}

}  // namespace

// --- Existence, folders, files --------------------------------------------------

bool FileExists(const std::string& fileName) {
  struct stat st;
  return StatOf(fileName, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& directory) {
  struct stat st;
  return StatOf(directory, st) && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& directory) {
  return !directory.empty() && ::mkdir(directory.c_str(), 0777) == 0;
}

bool RemoveDir(const std::string& directory) {
  return !directory.empty() && ::rmdir(directory.c_str()) == 0;
}

bool ForceDirectories(const std::string& directory) {
  if (directory.empty()) throw EInOutError("Unable to create directory", EINVAL);
  std::string dir = ExcludeTrailingPathDelimiter(directory);
  if (DirectoryExists(dir)) return true;
  std::string parent = ExtractFileDir(dir);
  if (!parent.empty() && parent != dir) ForceDirectories(parent);
  if (::mkdir(dir.c_str(), 0777) != 0) {
    int error = errno;
    if (error == EEXIST && DirectoryExists(dir)) return true;  // made by someone else meanwhile
    throw EInOutError("Unable to create directory", error == EEXIST ? ENOTDIR : error);
  }
  return true;
}

bool DeleteFile(const std::string& fileName) {
  return !fileName.empty() && !DirectoryExists(fileName) && ::unlink(fileName.c_str()) == 0;
}

bool RenameFile(const std::string& oldName, const std::string& newName) {
  if (oldName.empty() || newName.empty()) return false;
  if (::renameat2(AT_FDCWD, oldName.c_str(), AT_FDCWD, newName.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // The file system cannot refuse replacing by itself; check first.
  struct stat st;
  if (::lstat(newName.c_str(), &st) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::rename(oldName.c_str(), newName.c_str()) == 0;
}

bool CopyFile(const std::string& existingName, const std::string& newName, bool failIfExists) {
  int in = ::open(existingName.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st;
  if (::fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(in);
    errno = EISDIR;
    return false;
  }
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC);
  int out = ::open(newName.c_str(), flags, st.st_mode & 07777);
  if (out < 0) {
    int saved = errno;
    ::close(in);
    errno = saved;
    return false;
  }
  bool ok = true;
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        ok = false;
        break;
      }
      done += w;
    }
    if (!ok) break;
  }
  int saved = errno;
  if (ok) {
    ::fchmod(out, st.st_mode & 07777);
    timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);
  }
  if (::close(out) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  ::close(in);
  if (!ok) ::unlink(newName.c_str());
  errno = saved;
  return ok;
}

// --- Paths ------------------------------------------------------------------------

std::string ExtractFilePath(const std::string& fileName) {
  auto slash = fileName.rfind(PathDelim);
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string ExtractFileDir(const std::string& fileName) {
  auto slash = fileName.rfind(PathDelim);
  if (slash == std::string::npos) return {};
  // The root keeps its delimiter: the folder of "/x" is "/".
  return fileName.substr(0, slash == 0 ? 1 : slash);
}

std::string ExtractFileName(const std::string& fileName) {
  auto slash = fileName.rfind(PathDelim);
  return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

std::string ExtractFileExt(const std::string& fileName) {
  auto dot = fileName.find_last_of(std::string(".") + PathDelim);
  if (dot == std::string::npos || fileName[dot] != '.') return {};
  return fileName.substr(dot);
}

std::string ExtractFileDrive(const std::string&) { return {}; }

std::string ChangeFileExt(const std::string& fileName, const std::string& extension) {
  auto dot = fileName.find_last_of(std::string(".") + PathDelim);
  if (dot == std::string::npos || fileName[dot] != '.') return fileName + extension;
  return fileName.substr(0, dot) + extension;
}

std::string ExpandFileName(const std::string& fileName) {
  if (fileName.empty()) return {};
  std::string path = fileName[0] == PathDelim ? fileName
                                              : IncludeTrailingPathDelimiter(GetCurrentDir()) +
                                                    fileName;
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    auto end = path.find(PathDelim, start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const auto& part : parts) result += PathDelim + part;
  if (result.empty()) result = "/";
  // A name given with a trailing delimiter keeps it ("data/" stays a folder name).
  if (path.back() == PathDelim && result != "/") result += PathDelim;
  return result;
}

std::string IncludeTrailingPathDelimiter(const std::string& path) {
  return !path.empty() && path.back() == PathDelim ? path : path + PathDelim;
}

std::string ExcludeTrailingPathDelimiter(const std::string& path) {
  if (path.size() > 1 && path.back() == PathDelim) return path.substr(0, path.size() - 1);
  return path;
}

// --- Dates, sizes, attributes -----------------------------------------------------

int FileAge(const std::string& fileName) {
  struct stat st;
  if (!StatOf(fileName, st) || S_ISDIR(st.st_mode)) return -1;
  return PackFileDate(st.st_mtime);
}

bool FileAge(const std::string& fileName, TDateTime& fileDateTime) {
  struct stat st;
  if (!StatOf(fileName, st) || S_ISDIR(st.st_mode)) return false;
  std::tm local{};
  if (localtime_r(&st.st_mtime, &local) == nullptr) return false;
  TDateTime date, time;
  if (!TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date) ||
      !TryEncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), 0, time))
    return false;
  fileDateTime = date.Value >= 0 ? date + time : date - time;
  return true;
}

TDateTime FileDateToDateTime(int fileDate) {
  auto packed = static_cast<unsigned>(fileDate);
  TDateTime date = EncodeDate(int(packed >> 25) + 1980, int((packed >> 21) & 0x0F),
                              int((packed >> 16) & 0x1F));
  TDateTime time = EncodeTime(int((packed >> 11) & 0x1F), int((packed >> 5) & 0x3F),
                              int(packed & 0x1F) * 2, 0);
  return date + time;
}

int DateTimeToFileDate(TDateTime dateTime) {
  std::uint16_t year, month, day, hour, min, sec, msec;
  DecodeDate(dateTime, year, month, day);
  DecodeTime(dateTime, hour, min, sec, msec);
  return std::max(PackFileDate(year, month, day, hour, min, sec), 0);
}

int FileGetDate(int handle) {
  struct stat st;
  if (::fstat(handle, &st) != 0) return -1;
  return PackFileDate(st.st_mtime);
}

int FileSetDate(const std::string& fileName, int age) {
  if (fileName.empty()) return ENOENT;
  return SetTimes(fileName.c_str(), -1, age);
}

int FileSetDate(int handle, int age) { return SetTimes(nullptr, handle, age); }

std::int64_t FileSizeByName(const std::string& fileName) {
  struct stat st;
  if (!StatOf(fileName, st) || S_ISDIR(st.st_mode)) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

int FileGetAttr(const std::string& fileName) {
  struct stat st;
  if (!StatOf(fileName, st)) return -1;
  return AttributesOf(ExcludeTrailingPathDelimiter(fileName), st);
}

int FileSetAttr(const std::string& fileName, int attr) {
  struct stat st;
  if (!StatOf(fileName, st)) return ENOENT;
  mode_t mode = st.st_mode & 07777;
  if (attr & faReadOnly) {
    mode &= ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  return ::chmod(fileName.c_str(), mode) == 0 ? 0 : errno;
}

// --- Searching a folder -------------------------------------------------------------

int FindFirst(const std::string& path, int attr, TSearchRec& f) {
  FindClose(f);
  auto state = std::make_shared<classlib_detail::SearchState>();
  state->folder = ExtractFilePath(path);
  state->attr = attr;
  std::string pattern = ExtractFileName(path);
  if (pattern == "*.*") pattern = "*";
  DIR* dir = ::opendir(state->folder.empty() ? "." : state->folder.c_str());
  if (dir == nullptr) return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
  while (const dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (WildcardMatch(pattern.c_str(), name.c_str())) state->names.push_back(name);
  }
  ::closedir(dir);
  std::sort(state->names.begin(), state->names.end());
  f.FindHandle = state;
  if (FillSearchRec(f)) return 0;
  FindClose(f);
  return ERROR_FILE_NOT_FOUND;
}

int FindNext(TSearchRec& f) {
  if (!f.FindHandle) return ERROR_NO_MORE_FILES;
  return FillSearchRec(f) ? 0 : ERROR_NO_MORE_FILES;
}

void FindClose(TSearchRec& f) { f.FindHandle.reset(); }

// --- Whole files (for the settings stores) --------------------------------------------

bool ReadWholeFile(const std::string& fileName, std::string& contents) {
  int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  contents.clear();
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      int saved = errno;
      ::close(fd);
      errno = saved;
      return false;
    }
    contents.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return true;
}

TFileLockScope::TFileLockScope(const std::string& lockFileName) {
  fd_ = ::open(lockFileName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    int error = errno;
    throw EInOutError("Cannot lock the file '" + lockFileName + "': " + std::strerror(error),
                      error);
  }
  while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

TFileLockScope::~TFileLockScope() { ::close(fd_); }  // closing releases the lock

namespace {

// Creates stem + four hex digits + ".tmp" exclusively with `mode` (less the
// umask) and opens it for writing and reading back: the descriptor, with the
// name in `name`; -1 with errno set when no such file can be made.
int OpenUniqueTempFile(const std::string& stem, std::string& name, mode_t mode = 0600) {
  thread_local std::mt19937 random{std::random_device{}()};
  static const char* kHex = "0123456789ABCDEF";
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned unique = random() & 0xFFFF;
    name = stem;
    for (int shift = 12; shift >= 0; shift -= 4) name += kHex[(unique >> shift) & 0xF];
    name += ".tmp";
    int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;  // errno is EEXIST
}

[[noreturn]] void RaiseNoTempFile(const std::string& directory, int error) {
  throw EInOutError("Cannot create a temporary file in '" + directory + "': " + std::strerror(error),
                    error);
}

// OpenUniqueTempFile, closed again; raises naming directory when it fails.
std::string CreateUniqueTempFile(const std::string& stem, const std::string& directory) {
  std::string name;
  const int fd = OpenUniqueTempFile(stem, name);
  if (fd < 0) RaiseNoTempFile(directory, errno);
  ::close(fd);
  return name;
}

}  // namespace

// --- Files a process owns while it runs ------------------------------------------------

std::string OwnedNamePrefix(const std::string& prefix) {
  // Host names hold letters, digits, '-' and '.', so '@' cannot be mistaken
  // for a part of one.
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  std::string name = host;
  std::replace(name.begin(), name.end(), '/', '_');
  return prefix + name + "@";
}

std::string OwnedName(const std::string& prefix) {
  return prefix + std::to_string(::getpid()) + "-";
}

void RemoveAbandoned(const std::string& folder, const std::string& prefix) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) != 0 || !std::isdigit(static_cast<unsigned char>(name[prefix.size()])))
      continue;
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
    if (pid <= 0 || *end != '-') continue;  // not one of ours
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;  // alive, or not ours to judge
    std::error_code ignored;
    std::filesystem::remove_all(entry.path(), ignored);
  }
}

void RemoveAbandonedOnce(const std::string& folder, const std::string& prefix) {
  static std::mutex guard;
  static std::set<std::pair<std::string, std::string>> swept;
  std::lock_guard<std::mutex> lock(guard);
  if (swept.insert({ExpandFileName(folder.empty() ? "." : folder), prefix}).second)
    RemoveAbandoned(folder, prefix);
}

int OpenOwnedTempFile(const std::string& folder, const std::string& prefix, unsigned mode,
                      std::string& name) {
  const std::string owned = OwnedNamePrefix(prefix);
  const std::string dir = IncludeTrailingPathDelimiter(folder.empty() ? "." : folder);
  RemoveAbandonedOnce(dir, owned);
  const int fd = OpenUniqueTempFile(dir + OwnedName(owned), name, mode_t(mode));
  if (fd < 0) RaiseNoTempFile(folder, errno);
  return fd;
}


// --- Current folder, temporary files, the program ------------------------------------

std::string GetCurrentDir() {
  std::vector<char> buffer(4096);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

bool SetCurrentDir(const std::string& directory) {
  return !directory.empty() && ::chdir(directory.c_str()) == 0;
}

std::string GetTempPath() {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
  return IncludeTrailingPathDelimiter(dir);
}

std::string GetTempFileName(const std::string& directory, const std::string& prefix) {
  std::string folder = IncludeTrailingPathDelimiter(directory.empty() ? "." : directory);
  return CreateUniqueTempFile(folder + prefix.substr(0, 3), directory);
}

std::string ParamStr(int index) {
  if (index == 0) {
    std::vector<char> buffer(4096);
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n > 0) return std::string(buffer.data(), static_cast<std::size_t>(n));
  }
  auto args = CommandLine();
  return index >= 0 && static_cast<std::size_t>(index) < args.size() ? args[index] : std::string();
}

int ParamCount() {
  auto args = CommandLine();
  return args.empty() ? 0 : static_cast<int>(args.size()) - 1;
}
