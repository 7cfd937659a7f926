#pragma once
// File systems of a test's own. A disk that fills up for real: a small file
// system (tmpfs) mounted on a fresh folder for one test. Mounting needs root
// (or the power to mount); without it Mounted() is false and the test skips.

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace daotest {

class TSmallDisk {
 public:
  explicit TSmallDisk(std::size_t kilobytes) {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-disk-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return;
    path_ = pattern;
    const std::string size = "size=" + std::to_string(kilobytes) + "k,mode=0755";
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, size.c_str()) == 0;
  }
  // Unmounted lazily: a file still open elsewhere keeps it until closed.
  ~TSmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    if (!path_.empty()) ::rmdir(path_.c_str());
  }
  TSmallDisk(const TSmallDisk&) = delete;
  TSmallDisk& operator=(const TSmallDisk&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& Path() const { return path_; }

  // Takes every free block with a file of its own; true when the disk ended
  // full. Free gives the blocks back.
  bool Fill() {
    const int fd = ::open(Filler().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    char block[4096] = {};
    while (::write(fd, block, sizeof block) > 0) {
    }
    const bool full = errno == ENOSPC;
    ::close(fd);
    return full;
  }
  void Free() { ::unlink(Filler().c_str()); }

 private:
  std::string Filler() const { return path_ + "/filler"; }

  std::string path_;
  bool mounted_ = false;
};

// A file system whose times are whole seconds (ext4 with 128-byte inodes)
// on a loop device of its own, made with the system's tools; Mounted() is
// false where they are missing or mounting is not allowed, and the test skips.
class TWholeSecondDisk {
 public:
  TWholeSecondDisk() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-ext4-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return;
    path_ = pattern;
    image_ = path_ + ".img";
    const std::string make = "truncate -s 64M '" + image_ + "' && mkfs.ext4 -q -F -I 128 '" + image_ +
                             "' >/dev/null 2>&1 && mount -o loop '" + image_ + "' '" + path_ + "' >/dev/null 2>&1";
    mounted_ = std::system(make.c_str()) == 0;
  }
  ~TWholeSecondDisk() {
    if (mounted_) (void)!std::system(("umount -l '" + path_ + "' >/dev/null 2>&1").c_str());
    if (!path_.empty()) ::rmdir(path_.c_str());
    if (!image_.empty()) ::unlink(image_.c_str());
  }
  TWholeSecondDisk(const TWholeSecondDisk&) = delete;
  TWholeSecondDisk& operator=(const TWholeSecondDisk&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_, image_;
  bool mounted_ = false;
};

}  // namespace daotest
