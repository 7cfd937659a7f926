#include "platform/classlib/core/atomicfile.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/fileutils.h"

namespace {

// As many links as the system itself follows in one name.
constexpr int kMaxLinks = 40;

// The name a write lands on: every link followed, a relative one from its own
// folder, so a link to a missing file names the file to make. False with
// errno set when a link cannot be read or they go round in a loop.
bool FollowLinks(std::string& path) {
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    char link[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), link, sizeof link);
    if (n < 0) return false;
    if (n == ssize_t(sizeof link)) {
      errno = ENAMETOOLONG;
      return false;
    }
    const std::string to(link, std::size_t(n));
    path = to.starts_with('/') ? to : ExtractFilePath(path) + to;
  }
  errno = ELOOP;
  return false;
}

// A pipe whose reader went away answers a write with EPIPE and SIGPIPE, and
// that signal would end the program: it is held back while the writer writes,
// and one that this write raised is taken before it is let through again.
class TPipeSignalHeld {
 public:
  TPipeSignalHeld() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
  }
  ~TPipeSignalHeld() {
    sigset_t pending;
    sigpending(&pending);
    if (!pendingBefore_ && sigismember(&pending, SIGPIPE) == 1) {
      const timespec now{0, 0};
      while (sigtimedwait(&pipe_, nullptr, &now) < 0 && errno == EINTR) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  TPipeSignalHeld(const TPipeSignalHeld&) = delete;
  TPipeSignalHeld& operator=(const TPipeSignalHeld&) = delete;

 private:
  sigset_t pipe_{}, old_{};
  bool pendingBefore_ = false;
};

// Writes every byte; 0 or the error that stopped it.
int WriteAll(int fd, const void* data, std::size_t count) {
  const char* p = static_cast<const char*>(data);
  while (count > 0) {
    const ssize_t n = ::write(fd, p, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    p += n;
    count -= std::size_t(n);
  }
  return 0;
}

// "." + name + ".", cut where the temporary name would outgrow what the file
// system takes in one name: the temporary name fits wherever the name does.
// The cut falls between characters, and the same name is always cut alike,
// so that what a dead process left is found again.
std::string TempPrefixFor(const std::string& name) {
  // The rest: "<machine>@<process>-", four hex digits and ".tmp", a process
  // number of up to ten digits.
  const std::size_t rest = OwnedNamePrefix("").size() + 10 + 1 + 4 + 4;
  const std::size_t room = NAME_MAX > rest + 2 ? NAME_MAX - rest - 2 : 0;
  std::size_t cut = std::min(name.size(), room);
  while (cut > 0 && cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return "." + name.substr(0, cut) + ".";
}

}  // namespace

TAtomicFileWriter::TAtomicFileWriter(const std::string& fileName, const std::string& tempPrefix)
    : shownName_(fileName), target_(fileName) {
  if (fileName.empty()) Fail(ENOENT);
  if (!FollowLinks(target_)) Fail(errno);
  struct stat st {};
  if (::lstat(target_.c_str(), &st) != 0) {
    if (errno != ENOENT) Fail(errno);
    OpenBeside(ExtractFilePath(target_), tempPrefix, nullptr);
  } else if (S_ISREG(st.st_mode)) {
    // Replacing takes only the right to change the folder: a file this user
    // may not write (another user's, or one without write bits, which even
    // the superuser leaves alone) is refused as the desktop's dialogs refuse it.
    if ((st.st_mode & 0222) == 0) Fail(EACCES, "the file is read-only");
    if (::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) Fail(errno);
    OpenBeside(ExtractFilePath(target_), tempPrefix, &st);
  } else if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
    fd_ = OpenInPlace(st);
  } else if (S_ISDIR(st.st_mode)) {
    Fail(EISDIR);
  } else {
    Fail(EINVAL, "only a file, a character device or a pipe can be written");
  }
}

TAtomicFileWriter::TAtomicFileWriter(TNewFile, const std::string& folder, const std::string& tempPrefix,
                                     const std::string& shownName)
    : shownName_(shownName) {
  OpenBeside(folder, tempPrefix, nullptr);
}

TAtomicFileWriter::~TAtomicFileWriter() {
  if (fd_ >= 0) ::close(fd_);
  if (copyOver_ >= 0) ::close(copyOver_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

int TAtomicFileWriter::OpenInPlace(const struct stat& seen) {
  // Not waiting for a reader: a pipe nobody reads would hang the program.
  const int fd = ::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 && errno == ENXIO) Fail(ENXIO, "no program reads from this pipe");
  if (fd < 0) Fail(errno);
  // Something swapped in since the look would be written over in place.
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_dev != seen.st_dev || st.st_ino != seen.st_ino) {
    ::close(fd);
    Fail(EAGAIN, "it was replaced while being opened");
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

void TAtomicFileWriter::OpenBeside(const std::string& folder, const std::string& tempPrefix,
                                   const struct stat* replaced) {
  const std::string prefix =
      tempPrefix.empty() ? TempPrefixFor(ExtractFileName(target_.empty() ? shownName_ : target_)) : tempPrefix;
  // A new file is made as any new file is (the umask applies); one that
  // replaces another is private until it has taken the other's read, write
  // and execute bits (setuid, setgid and sticky stay behind, see the header).
  try {
    fd_ = OpenOwnedTempFile(folder, prefix, replaced ? 0600 : 0666, temp_);
  } catch (const EInOutError& e) {
    const std::string why = "cannot create a temporary file in '" + (folder.empty() ? std::string(".") : folder) +
                            "': " + std::strerror(e.ErrorCode);
    Fail(e.ErrorCode, why.c_str());
  }
  if (!replaced) return;
  // A replacement this process cannot give the target's owner and group
  // (another user's file, or one of a group this user is not in, unless the
  // superuser writes it) would become this user's, free to have its
  // permissions changed or to be removed from a folder that lets only owners
  // remove: writing may not widen what the user may change, so that file is
  // written in place, from this temporary file once it is complete.
  if (::fchown(fd_, replaced->st_uid, replaced->st_gid) != 0) {
    copyOver_ = OpenInPlace(*replaced);
    return;
  }
  if (::fchmod(fd_, replaced->st_mode & 0777) != 0) Fail(errno);
}

void TAtomicFileWriter::Write(const void* data, std::size_t count) {
  if (fd_ < 0) Fail(EBADF);
  std::optional<TPipeSignalHeld> held;
  if (InPlace()) held.emplace();
  if (const int error = WriteAll(fd_, data, count)) Fail(error);
}

void TAtomicFileWriter::Commit() {
  if (fd_ < 0) Fail(EBADF);
  if (copyOver_ >= 0) return CopyOver();
  const bool inPlace = InPlace();
  Finish();
  if (inPlace) return;
  if (::rename(temp_.c_str(), target_.c_str()) != 0) Fail(errno);
  temp_.clear();
}

bool TAtomicFileWriter::CommitNew(const std::string& fileName) {
  if (temp_.empty()) Fail(EBADF);
  Finish();
  shownName_ = fileName;
  if (RenameFile(temp_, fileName)) {
    temp_.clear();
    return true;
  }
  if (errno == EEXIST) return false;
  Fail(errno);
}

void TAtomicFileWriter::ShareReadingWith(const std::string& other) {
  struct stat theirs {}, own {};
  if (fd_ < 0 || InPlace() || ::stat(other.c_str(), &theirs) != 0 || ::fstat(fd_, &own) != 0) return;
  if (own.st_gid != theirs.st_gid) (void)!::fchown(fd_, uid_t(-1), theirs.st_gid);
  if (::fchmod(fd_, (own.st_mode & 0777) | (theirs.st_mode & 0444)) != 0) Fail(errno);
}

// On disk before it takes the target's place, so a crash leaves one file or
// the other whole; a device or a pipe has nothing to put on disk.
void TAtomicFileWriter::Finish() {
  if (fd_ < 0) return;
  const int synced = InPlace() || ::fsync(fd_) == 0 ? 0 : errno;
  const int closed = ::close(fd_) == 0 ? 0 : errno;
  fd_ = -1;
  if (synced != 0 || closed != 0) Fail(synced != 0 ? synced : closed);
}

// What the temporary file holds, over the target. It is complete and on disk
// before the target's first byte changes, so a failure until then (a disk too
// full for the new contents among them) leaves the target whole; room for
// them is then set aside in the target, where the file system can do that,
// so that a target that grows does not run out of space halfway. What is not
// guaranteed: a kill, a crash or a disk error during the copy itself (or a
// full disk there, on a file system that cannot set room aside) leaves the
// target part new and part old, and a reader at that moment, or a second
// writer copying at the same time, may see or make such a mix.
void TAtomicFileWriter::CopyOver() {
  struct stat st {};
  if (::fsync(fd_) != 0 || ::fstat(fd_, &st) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) Fail(errno);
  if (st.st_size > 0 && ::fallocate(copyOver_, FALLOC_FL_KEEP_SIZE, 0, st.st_size) != 0 && errno != EOPNOTSUPP)
    Fail(errno);
  char buffer[64 * 1024];
  for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail(errno);
    if (const int error = WriteAll(copyOver_, buffer, std::size_t(n))) Fail(error);
  }
  // A shorter file ends where the new contents end.
  if (::ftruncate(copyOver_, st.st_size) != 0 || ::fsync(copyOver_) != 0) Fail(errno);
  const int closed = ::close(copyOver_) == 0 ? 0 : errno;
  copyOver_ = -1;
  if (closed != 0) Fail(closed);
  ::close(fd_);
  fd_ = -1;
  ::unlink(temp_.c_str());
  temp_.clear();
}

void TAtomicFileWriter::Fail(int error, const char* reason) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (copyOver_ >= 0) ::close(copyOver_);
  copyOver_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  throw EInOutError("Cannot write file " + shownName_ + ": " + (reason ? reason : std::strerror(error)),
                    error);
}

void WriteFileAtomically(const std::string& fileName, const std::string& contents) {
  TAtomicFileWriter file(fileName);
  file.Write(contents);
  file.Commit();
}
