#include "platform/classlib/core/streams.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include "platform/classlib/core/exceptions.h"

IMPLEMENT_CLASS(TStream, TObject)
IMPLEMENT_CLASS(TFileStream, TStream)
IMPLEMENT_CLASS(TMemoryStream, TStream)
IMPLEMENT_CLASS(TStringStream, TMemoryStream)

namespace {

[[noreturn]] void InvalidPosition() { throw EStreamError("Invalid stream position"); }

// Grows or shrinks a memory stream's bytes; false when memory ran out.
bool ResizeBytes(std::string& bytes, int64_t size) {
  try {
    bytes.resize(static_cast<size_t>(size));
    return true;
  } catch (const std::exception&) {  // bad_alloc, length_error
    return false;
  }
}

// The new position of a seek from `current` within a stream of `size` bytes.
int64_t SeekTarget(int64_t offset, int origin, int64_t current, int64_t size) {
  int64_t base = 0;
  switch (origin) {
    case soBeginning: base = 0; break;
    case soCurrent: base = current; break;
    case soEnd: base = size; break;
    default: throw EStreamError("Invalid seek origin (" + std::to_string(origin) + ")");
  }
  if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) InvalidPosition();
  return base + offset;
}

std::string SystemMessage(int error) { return std::system_category().message(error); }

}  // namespace

// ---------------------------------------------------------------- TStream

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count > 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count > 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::Position() const { return SeekQuietly(0, soCurrent); }

void TStream::SetPosition(int64_t position) { Seek(position, soBeginning); }

int64_t TStream::Size() const {
  int64_t position = SeekQuietly(0, soCurrent);
  int64_t size = SeekQuietly(0, soEnd);
  SeekQuietly(position, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) {}

int64_t TStream::CopyFrom(TStream* source, int64_t count) {
  if (count == 0) {
    source->SetPosition(0);
    count = source->Size();
  }
  if (count < 0) return 0;
  constexpr int64_t kChunk = 64 * 1024;
  std::vector<char> buffer(static_cast<size_t>(std::min(count, kChunk)));
  int64_t left = count;
  while (left > 0) {
    int64_t n = std::min(left, kChunk);
    source->ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    left -= n;
  }
  return count;
}

// ---------------------------------------------------------------- TFileStream

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : fileName_(fileName) {
  const bool create = (mode & fmCreate) == fmCreate;
  const int share = mode & 0x00F0;
  int flags = O_CLOEXEC;
  if (create) {
    // Not O_TRUNC: the file is emptied only once our lock is held, so a file
    // that another stream holds is never destroyed by a refused create.
    flags |= O_RDWR | O_CREAT;
  } else {
    switch (mode & 0x0003) {
      case fmOpenRead: flags |= O_RDONLY; break;
      case fmOpenWrite: flags |= O_WRONLY; break;
      default: flags |= O_RDWR; break;
    }
  }

  auto fail = [&](int error) {
    if (handle_ >= 0) ::close(handle_);
    handle_ = -1;
    std::string text = "\"" + fileName + "\". " + SystemMessage(error);
    if (create) throw EFCreateError("Cannot create file " + text);
    throw EFOpenError("Cannot open file " + text);
  };

  if (fileName.empty()) fail(ENOENT);
  handle_ = ::open(fileName.c_str(), flags, 0666);
  if (handle_ < 0) fail(errno);

  struct stat info {};
  if (::fstat(handle_, &info) == 0 && S_ISDIR(info.st_mode)) fail(EISDIR);

  int lock = 0;
  if (share == fmShareExclusive || share == fmShareDenyRead) lock = LOCK_EX;
  if (share == fmShareDenyWrite) lock = LOCK_SH;
  if (lock && ::flock(handle_, lock | LOCK_NB) != 0)
    fail(errno == EWOULDBLOCK ? EBUSY : errno);

  if (create && ::ftruncate(handle_, 0) != 0) fail(errno);
}

TFileStream::~TFileStream() {
  if (handle_ >= 0) ::close(handle_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  char* p = static_cast<char*>(buffer);
  while (done < count) {
    ssize_t n = ::read(handle_, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  int64_t done = 0;
  const char* p = static_cast<const char*>(buffer);
  while (done < count) {
    ssize_t n = ::write(handle_, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, int origin) {
  int whence = SEEK_SET;
  switch (origin) {
    case soBeginning: whence = SEEK_SET; break;
    case soCurrent: whence = SEEK_CUR; break;
    case soEnd: whence = SEEK_END; break;
    default: throw EStreamError("Invalid seek origin (" + std::to_string(origin) + ")");
  }
  off_t result = ::lseek(handle_, static_cast<off_t>(offset), whence);
  if (result < 0) InvalidPosition();
  return result;
}

void TFileStream::SetSize(int64_t newSize) {
  if (newSize < 0) InvalidPosition();
  if (::ftruncate(handle_, static_cast<off_t>(newSize)) != 0)
    throw EWriteError("Cannot set the size of file \"" + fileName_ + "\". " +
                      SystemMessage(errno));
  if (Position() > newSize) Seek(0, soEnd);
}

// ---------------------------------------------------------------- TMemoryStream

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  int64_t available = Size() - position_;
  if (count <= 0 || available <= 0) return 0;
  int64_t n = std::min(count, available);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (position_ > INT64_MAX - count) return 0;
  int64_t end = position_ + count;
  // A gap left by seeking past the end reads as zeros.
  if (end > Size() && !ResizeBytes(data_, end)) return 0;
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, int origin) {
  position_ = SeekTarget(offset, origin, position_, Size());
  return position_;
}

void TMemoryStream::SetSize(int64_t newSize) {
  if (newSize < 0) InvalidPosition();
  if (!ResizeBytes(data_, newSize)) throw EStreamError("Out of memory while expanding memory stream");
  if (position_ > newSize) position_ = newSize;
}

void TMemoryStream::Clear() {
  data_.clear();
  data_.shrink_to_fit();
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream* stream) {
  stream->SetPosition(0);
  int64_t count = stream->Size();
  std::string loaded(static_cast<size_t>(count), '\0');
  stream->ReadBuffer(loaded.data(), count);
  data_ = std::move(loaded);  // only a complete read replaces the content
  position_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&file);
}

void TMemoryStream::SaveToStream(TStream* stream) const {
  stream->WriteBuffer(data_.data(), Size());
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
  TFileStream file(fileName, fmCreate);
  SaveToStream(&file);
}

// ---------------------------------------------------------------- TStringStream

TStringStream::TStringStream(std::string data) { data_ = std::move(data); }

std::string TStringStream::ReadString(int64_t count) {
  int64_t n = std::clamp<int64_t>(Size() - position_, 0, std::max<int64_t>(count, 0));
  std::string result(static_cast<size_t>(n), '\0');
  Read(result.data(), n);
  return result;
}

void TStringStream::WriteString(const std::string& s) {
  Write(s.data(), static_cast<int64_t>(s.size()));
}
