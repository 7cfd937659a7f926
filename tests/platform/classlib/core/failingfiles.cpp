#include "platform/classlib/core/failingfiles.h"

#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <stdexcept>

// The C library's own stream write; fwrite below stands in for it.
extern "C" size_t _IO_fwrite(const void* data, size_t size, size_t count, FILE* stream);

namespace {

struct TArmed {
  std::string folder;    // as given
  std::string resolved;  // with links resolved, as /proc names open files
  TFileCall call;
  int nth;
  int error;
  int calls = 0;
  bool failed = false;
};

// Constant-initialised, so calls made before main find them ready.
std::mutex guard;
TArmed* armed = nullptr;  // under guard
std::atomic<bool> anyArmed{false};

// Inside folder, the folder itself ("folder/" included) not.
bool Under(const std::string& path, const std::string& folder) {
  const std::size_t end = path.find_last_not_of('/');
  return !folder.empty() && end != std::string::npos && end + 1 > folder.size() + 1 &&
         path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

bool Inside(const TArmed& a, const std::string& path) { return Under(path, a.folder) || Under(path, a.resolved); }

// The file an open descriptor names; empty when unknown.
std::string PathOf(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char target[PATH_MAX];
  const long n = ::syscall(SYS_readlinkat, AT_FDCWD, link, target, sizeof target - 1);
  return n > 0 ? std::string(target, std::size_t(n)) : std::string();
}

std::string Absolute(int dirfd, const char* path) {
  if (path == nullptr) return {};
  if (path[0] == '/') return path;
  if (dirfd != AT_FDCWD) return PathOf(dirfd) + "/" + path;
  char cwd[PATH_MAX];
  return ::getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) + "/" + path : std::string();
}

// True, with errno set, when this call is the one to fail. inside(armed) says
// whether the call is on a file inside the folder.
template <class Inside>
bool Fails(TFileCall call, Inside&& inside) {
  if (!anyArmed.load(std::memory_order_acquire)) return false;
  std::lock_guard lock(guard);
  if (armed == nullptr || armed->call != call || !inside(*armed)) return false;
  if (++armed->calls != armed->nth) return false;
  armed->failed = true;
  errno = armed->error;
  return true;
}

bool FdFails(TFileCall call, int fd) {
  return Fails(call, [&](const TArmed& a) { return Inside(a, PathOf(fd)); });
}

int OpenAt(int dirfd, const char* path, int flags, mode_t mode) {
  if (Fails(TFileCall::Open, [&](const TArmed& a) { return Inside(a, Absolute(dirfd, path)); })) return -1;
  return int(::syscall(SYS_openat, dirfd, path, flags, mode));
}

int RenameAt(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
  if (Fails(TFileCall::Rename, [&](const TArmed& a) {
        return Inside(a, Absolute(fromDir, from)) || Inside(a, Absolute(toDir, to));
      }))
    return -1;
  return int(::syscall(SYS_renameat2, fromDir, from, toDir, to, flags));
}

mode_t ModeArgument(int flags, va_list args) {
  const bool takesMode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
  return takesMode ? mode_t(va_arg(args, int)) : 0;
}

// The open flags of an fopen mode ("r", "wb", "a+e", "wx" ...) and the mode
// fdopen takes for them.
bool StreamFlags(const char* mode, int& flags, std::string& plain) {
  switch (mode[0]) {
    case 'r': flags = O_RDONLY; break;
    case 'w': flags = O_WRONLY | O_CREAT | O_TRUNC; break;
    case 'a': flags = O_WRONLY | O_CREAT | O_APPEND; break;
    default: return false;
  }
  plain = std::string(1, mode[0]);
  for (const char* c = mode + 1; *c != '\0' && *c != ','; ++c) {
    if (*c == '+') {
      flags = (flags & ~O_WRONLY) | O_RDWR;
      plain += '+';
    }
    if (*c == 'x') flags |= O_EXCL;
    if (*c == 'e') flags |= O_CLOEXEC;
  }
  return true;
}

FILE* OpenStream(const char* path, const char* mode) {
  int flags = 0;
  std::string plain;
  if (path == nullptr || mode == nullptr || !StreamFlags(mode, flags, plain)) {
    errno = EINVAL;
    return nullptr;
  }
  const int fd = OpenAt(AT_FDCWD, path, flags, 0666);
  if (fd < 0) return nullptr;
  FILE* stream = ::fdopen(fd, plain.c_str());
  if (stream == nullptr) ::syscall(SYS_close, fd);
  return stream;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeArgument(flags, args);
  va_end(args);
  return OpenAt(AT_FDCWD, path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeArgument(flags, args);
  va_end(args);
  return OpenAt(AT_FDCWD, path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeArgument(flags, args);
  va_end(args);
  return OpenAt(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeArgument(flags, args);
  va_end(args);
  return OpenAt(dirfd, path, flags, mode);
}

// The checked forms that fortified code calls.
int __open_2(const char* path, int flags) { return OpenAt(AT_FDCWD, path, flags, 0); }
int __open64_2(const char* path, int flags) { return OpenAt(AT_FDCWD, path, flags, 0); }
int __openat_2(int dirfd, const char* path, int flags) { return OpenAt(dirfd, path, flags, 0); }
int __openat64_2(int dirfd, const char* path, int flags) { return OpenAt(dirfd, path, flags, 0); }

int creat(const char* path, mode_t mode) { return OpenAt(AT_FDCWD, path, O_WRONLY | O_CREAT | O_TRUNC, mode); }
int creat64(const char* path, mode_t mode) { return OpenAt(AT_FDCWD, path, O_WRONLY | O_CREAT | O_TRUNC, mode); }

FILE* fopen(const char* path, const char* mode) { return OpenStream(path, mode); }
FILE* fopen64(const char* path, const char* mode) { return OpenStream(path, mode); }

ssize_t write(int fd, const void* data, size_t count) {
  if (FdFails(TFileCall::Write, fd)) return -1;
  return ::syscall(SYS_write, fd, data, count);
}

ssize_t pwrite(int fd, const void* data, size_t count, off_t offset) {
  if (FdFails(TFileCall::Write, fd)) return -1;
  return ::syscall(SYS_pwrite64, fd, data, count, offset);
}

ssize_t pwrite64(int fd, const void* data, size_t count, off64_t offset) {
  if (FdFails(TFileCall::Write, fd)) return -1;
  return ::syscall(SYS_pwrite64, fd, data, count, offset);
}

ssize_t writev(int fd, const struct iovec* parts, int count) {
  if (FdFails(TFileCall::Write, fd)) return -1;
  return ::syscall(SYS_writev, fd, parts, count);
}

size_t fwrite(const void* data, size_t size, size_t count, FILE* stream) {
  if (size != 0 && count != 0 && FdFails(TFileCall::Write, ::fileno(stream))) return 0;
  return _IO_fwrite(data, size, count, stream);
}

int fsync(int fd) {
  if (FdFails(TFileCall::Sync, fd)) return -1;
  return int(::syscall(SYS_fsync, fd));
}

int fdatasync(int fd) {
  if (FdFails(TFileCall::Sync, fd)) return -1;
  return int(::syscall(SYS_fdatasync, fd));
}

int rename(const char* from, const char* to) { return RenameAt(AT_FDCWD, from, AT_FDCWD, to, 0); }
int renameat(int fromDir, const char* from, int toDir, const char* to) {
  return RenameAt(fromDir, from, toDir, to, 0);
}
int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
  return RenameAt(fromDir, from, toDir, to, flags);
}

}  // extern "C"

TFailingFiles::TFailingFiles(const std::string& folder, TFileCall call, int nth, int error) {
  if (nth < 1) throw std::logic_error("a failing call is counted from 1");
  std::string resolved;
  if (char* real = ::realpath(folder.c_str(), nullptr)) {
    resolved = real;
    std::free(real);
  }
  std::string given = folder;
  while (given.size() > 1 && given.back() == '/') given.pop_back();
  std::lock_guard lock(guard);
  if (armed != nullptr) throw std::logic_error("one failing-file layer at a time");
  armed = new TArmed{given, resolved, call, nth, error};
  anyArmed.store(true, std::memory_order_release);
}

TFailingFiles::~TFailingFiles() {
  std::lock_guard lock(guard);
  anyArmed.store(false, std::memory_order_release);
  delete armed;
  armed = nullptr;
}

int TFailingFiles::Calls() const {
  std::lock_guard lock(guard);
  return armed->calls;
}

bool TFailingFiles::Failed() const {
  std::lock_guard lock(guard);
  return armed->failed;
}

int FailEachCall(const std::string& folder, TFileCall call, const std::function<void()>& action,
                 const std::function<void(int n)>& check, int error) {
  // More calls than any one save makes; past it the action never ends.
  constexpr int kMostCalls = 10000;
  int failedRuns = 0;
  for (int n = 1; n <= kMostCalls; ++n) {
    bool failed = false;
    {
      TFailingFiles layer(folder, call, n, error);
      try {
        action();
      } catch (...) {
      }
      failed = layer.Failed();
    }
    if (!failed) return failedRuns;
    ++failedRuns;
    check(n);
  }
  throw std::logic_error("the action makes more file calls than any save should");
}
