#include "app/common/attachfiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/classlib/core/atomicfile.h"
#include "platform/classlib/core/clock.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/fileutils.h"

namespace {

// The copy's block size: the routine's callers and tests rely on it.
constexpr std::size_t kCopyBlock = 8192;
// Enough numbered names for any folder; past it something is wrong.
constexpr int kMaxCopyNumber = 100000;
// Copies under way in the attachments folder: hidden, and named after their
// process, so that the next copy removes those a killed program left.
constexpr const char* kCopyPrefix = ".vantrel-copy-";

// Closes a descriptor when it goes, whatever path leaves the copy.
struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

int OpenSource(const std::string& source) {
  // Without O_NONBLOCK a named pipe would wait for a writer, forever; only a
  // regular file is checked and read.
  const int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw EFOpenError("Cannot open file " + source);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw EFOpenError("Cannot open file " + source + ": it is not a regular file");
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool WriteAll(int fd, const char* data, std::size_t count) {
  while (count > 0) {
    const ssize_t n = ::write(fd, data, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    count -= std::size_t(n);
  }
  return true;
}

// Reads the open source to its end block by block, handing each block to
// `write`; false with errno set when a read fails.
template <class Write>
bool ReadBlocks(int in, Write&& write) {
  char buffer[kCopyBlock];
  for (;;) {
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    write(buffer, std::size_t(got));
    if (got < ssize_t(sizeof buffer)) return true;
  }
}

[[noreturn]] void RaiseWriteError(const std::string& named, int error) {
  throw EInOutError("Cannot write file " + named + ": " + std::strerror(error), error);
}

// Copies the open source into the new file dest and onto the disk; false
// when dest is taken.
bool CopyOpen(int in, const std::string& dest) {
  const std::string target = ExpandFileName(dest);
  Fd out{::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)};
  if (out.fd < 0 && errno == EEXIST) return false;
  if (out.fd < 0) throw EFCreateError("Cannot create file " + target);
  auto fail = [&](int error) {
    ::unlink(target.c_str());  // no partial copy stays behind
    RaiseWriteError(target, error);
  };
  const bool read = ReadBlocks(in, [&](const char* block, std::size_t size) {
    if (!WriteAll(out.fd, block, size)) fail(errno);
  });
  if (!read || ::fsync(out.fd) != 0) fail(errno);
  return true;
}

std::string TwoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// The trash's info file keeps the original path as a URI path.
std::string UriPath(const std::string& path) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    if (std::isalnum(c) || std::strchr("/-_.~", c)) {
      out += char(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string TrashFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data == '/') return std::string(data) + "/Trash/";
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.local/share/Trash/";
}

std::string DeletionDate() {
  std::uint16_t y, mo, d, h, mi, s, ms;
  const TDateTime now = ClockNow();
  DecodeDate(now, y, mo, d);
  DecodeTime(now, h, mi, s, ms);
  return std::to_string(y) + "-" + TwoDigits(mo) + "-" + TwoDigits(d) + "T" + TwoDigits(h) +
         ":" + TwoDigits(mi) + ":" + TwoDigits(s);
}

// Reserves a name in the trash by creating its info file exclusively.
std::string ReserveTrashName(const std::string& trash, const std::string& name,
                             const std::string& info) {
  for (int n = 1; n < kMaxCopyNumber; ++n) {
    const std::string candidate = n == 1 ? name : name + "." + std::to_string(n);
    const std::string infoPath = trash + "info/" + candidate + ".trashinfo";
    Fd fd{::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)};
    if (fd.fd < 0 && errno == EEXIST) continue;
    if (fd.fd < 0) return "";
    if (!WriteAll(fd.fd, info.data(), info.size())) {
      ::unlink(infoPath.c_str());
      return "";
    }
    return candidate;
  }
  return "";
}

// What the program's process reports when it cannot start the program.
struct TStartFailure {
  bool inFolder;  // entering the folder failed, else starting the program
  int error;
};

[[noreturn]] void RaiseStartFailure(const std::vector<std::string>& argv, const std::string& folder,
                                    const TStartFailure& failure) {
  const std::string reason = std::strerror(failure.error);
  if (failure.inFolder)
    throw EInOutError("Cannot run " + argv[0] + " in the folder " + folder + ": " + reason, failure.error);
  throw EInOutError("Cannot run " + argv[0] + ": " + reason, failure.error);
}

// Runs argv in folder without waiting for it to end. Raises EInOutError when
// the folder cannot be entered or the program cannot be started: the process
// reports that through a pipe which a successful start closes unwritten.
void SpawnDetached(const std::vector<std::string>& argv, const std::string& folder) {
  // Made before forking: a child of a program with threads must not allocate.
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) RaiseStartFailure(argv, folder, {false, errno});
  const pid_t child = ::fork();
  const int forkError = errno;
  if (child == 0) {
    // The grandchild runs the program, so nothing waits for it to end.
    const pid_t grandchild = ::fork();
    if (grandchild == 0) {
      TStartFailure failure{true, 0};
      if (!folder.empty() && ::chdir(folder.c_str()) != 0) {
        failure.error = errno;
      } else {
        ::execvp(args[0], args.data());
        failure = {false, errno};
      }
      [[maybe_unused]] const ssize_t n = ::write(report[1], &failure, sizeof failure);
      ::_exit(127);
    }
    if (grandchild < 0) {
      const TStartFailure failure{false, errno};
      [[maybe_unused]] const ssize_t n = ::write(report[1], &failure, sizeof failure);
    }
    ::_exit(0);
  }
  ::close(report[1]);
  if (child > 0) ::waitpid(child, nullptr, 0);
  TStartFailure failure{};
  ssize_t got;
  while ((got = ::read(report[0], &failure, sizeof failure)) < 0 && errno == EINTR) {
  }
  ::close(report[0]);
  if (child < 0) RaiseStartFailure(argv, folder, {false, forkError});
  if (got == ssize_t(sizeof failure)) RaiseStartFailure(argv, folder, failure);
}

TShellLauncher& Launcher() {
  static TShellLauncher launcher = SpawnDetached;
  return launcher;
}

}  // namespace

bool CopyFileToNew(const std::string& source, const std::string& dest) {
  Fd in{OpenSource(source)};
  return CopyOpen(in.fd, dest);
}

std::int64_t GetFileSizeBytes(const std::string& path) { return FileSizeByName(path); }

std::string FileDateTimeText(const std::string& path) {
  TDateTime when;
  if (!FileAge(path, when)) return "";
  return FormatDateTime("dddd, mmmm d, yyyy hh:mm:ss AM/PM", when);
}

bool FileHasAttributes(const std::string& path, int attributes) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  int attr = 0;
  if (!(st.st_mode & S_IWUSR)) attr |= faReadOnly;
  if (ExtractFileName(path).starts_with(".")) attr |= faHidden;
  return (attr & attributes) == attributes;
}

std::string FormatByteCount(std::int64_t size) {
  std::string digits = std::to_string(size);
  const bool negative = size < 0;
  if (digits.size() - (negative ? 1 : 0) >= 4) digits.insert(digits.size() - 3, ",");
  return digits + " bytes";
}

void ShellOpenFile(const std::string& file, const std::string& parameters,
                   const std::string& folder) {
  std::vector<std::string> argv{"xdg-open", file};
  if (!parameters.empty()) argv.push_back(parameters);
  Launcher()(argv, folder);
}

TShellLauncher SetShellLauncher(TShellLauncher launcher) {
  TShellLauncher old = Launcher();
  Launcher() = launcher ? std::move(launcher) : TShellLauncher(SpawnDetached);
  return old;
}

bool MoveFileToRecycleBin(const std::string& path) {
  const std::string full = ExpandFileName(path);
  struct stat st {};
  if (::lstat(full.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  const std::string trash = TrashFolder();
  try {
    ForceDirectories(trash + "files");
    ForceDirectories(trash + "info");
  } catch (const Exception&) {
    return false;
  }
  const std::string info =
      "[Trash Info]\nPath=" + UriPath(full) + "\nDeletionDate=" + DeletionDate() + "\n";
  const std::string name = ReserveTrashName(trash, ExtractFileName(full), info);
  if (name.empty()) return false;
  const std::string target = trash + "files/" + name;
  bool moved = ::rename(full.c_str(), target.c_str()) == 0;
  // Another file system: copy into the trash, then remove the original.
  if (!moved && errno == EXDEV) {
    try {
      moved = CopyFileToNew(full, target) && ::unlink(full.c_str()) == 0;
    } catch (const Exception&) {
      moved = false;
    }
    if (!moved) ::unlink(target.c_str());
  }
  if (!moved) ::unlink((trash + "info/" + name + ".trashinfo").c_str());
  return moved;
}

std::string AttachmentsFolder(const std::string& databasePath) {
  return ExtractFilePath(databasePath) + "Attachments/";
}

bool IsBareFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name)
    if (c == '/' || c < 0x20 || c == 0x7F) return false;
  return true;
}

std::string UniqueAttachmentName(const std::string& folder, const std::string& name) {
  auto taken = [&](const std::string& n) {
    struct stat st {};
    return ::lstat((folder + n).c_str(), &st) == 0;
  };
  if (!taken(name)) return name;
  const std::size_t firstDot = name.find('.');
  const std::size_t lastDot = name.rfind('.');
  const std::string base = name.substr(0, firstDot);
  const std::string ext = lastDot == std::string::npos ? "" : name.substr(lastDot);
  for (int n = 2; n < kMaxCopyNumber; ++n) {
    std::string candidate = base + "(" + std::to_string(n) + ")" + ext;
    if (!taken(candidate)) return candidate;
  }
  throw EInOutError("No free name for " + name + " in " + folder, EEXIST);
}

std::string CopyInAttachment(const std::string& folder, const std::string& source,
                             const std::string& readableLike) {
  const std::string name = ExtractFileName(source);
  if (!IsBareFileName(name))
    throw EInOutError("The file name '" + name + "' cannot be used for an attachment.", EINVAL);
  Fd in{OpenSource(source)};
  if (!DirectoryExists(folder)) ForceDirectories(folder);
  // Copied whole under a temporary name first: a copy cut short (a kill, a
  // full disk) never stands under an attachment's name.
  const std::string shown = ExpandFileName(folder + name);
  TAtomicFileWriter copy(TAtomicFileWriter::NewFile, folder, kCopyPrefix, shown);
  if (!ReadBlocks(in.fd, [&](const char* block, std::size_t size) { copy.Write(block, size); }))
    RaiseWriteError(shown, errno);
  if (!readableLike.empty()) copy.ShareReadingWith(readableLike);
  // Another user may take the free name between the look and the rename:
  // the copy never replaces, and the next look finds the next number.
  for (int tries = 0; tries < kMaxCopyNumber; ++tries) {
    const std::string candidate = UniqueAttachmentName(folder, name);
    if (copy.CommitNew(ExpandFileName(folder + candidate))) return candidate;
  }
  throw EInOutError("No free name for " + name + " in " + folder, EEXIST);
}
