#pragma once
// Streams of the class library: a byte stream with a 64-bit position, over a
// file, a block of memory or a string. ReadBuffer/WriteBuffer raise
// EReadError/EWriteError when not every byte could be moved; Read/Write
// report how many were.

#include <cstdint>
#include <string>

#include "platform/classlib/core/object.h"

// Seek origins. TSeekOrigin's values equal the older soFrom... constants, so
// either may be passed to Seek.
enum TSeekOrigin : int { soBeginning = 0, soCurrent = 1, soEnd = 2 };
constexpr int soFromBeginning = 0;
constexpr int soFromCurrent = 1;
constexpr int soFromEnd = 2;

// TFileStream modes: one access mode or'ed with one share mode. fmCreate
// creates the file (emptying an existing one) and opens it for reading and
// writing; it may be or'ed with a share mode too.
constexpr uint16_t fmCreate = 0xFF00;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

class TStream : public TObject {
  DECLARE_CLASS(TStream, TObject)
 public:
  // Moves up to count bytes; returns how many were moved (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position; origin is a TSeekOrigin / soFrom... value. Returns the
  // new position. Seeking past the end is allowed; writing there extends.
  virtual int64_t Seek(int64_t offset, int origin) = 0;

  // Raise EReadError "Stream read error" / EWriteError "Stream write error".
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);

  int64_t Position() const;
  void SetPosition(int64_t position);
  virtual int64_t Size() const;
  // The base class cannot resize; streams that can override it.
  virtual void SetSize(int64_t newSize);

  // Copies count bytes from source's position; count 0 copies the whole
  // source from its beginning. Returns the number of bytes copied.
  int64_t CopyFrom(TStream* source, int64_t count);

 protected:
  // Position and size are queries for the caller, but a stream finds them by
  // seeking; the const accessors go through this.
  int64_t SeekQuietly(int64_t offset, int origin) const {
    return const_cast<TStream*>(this)->Seek(offset, origin);
  }
};

// A stream over an open file descriptor. Share modes are kept on Linux with
// advisory whole-file locks (flock), honoured by every TFileStream:
// fmShareExclusive and fmShareDenyRead take an exclusive lock, fmShareDenyWrite
// a shared one, fmShareDenyNone and fmShareCompat none. A lock that another
// stream holds makes the open fail with EFOpenError (EFCreateError for fmCreate).
class TFileStream : public TStream {
  DECLARE_CLASS(TFileStream, TStream)
 public:
  // Raises EFCreateError "Cannot create file "<name>". <reason>" or
  // EFOpenError "Cannot open file "<name>". <reason>".
  TFileStream(const std::string& fileName, uint16_t mode);
  ~TFileStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  void SetSize(int64_t newSize) override;

  const std::string& FileName() const { return fileName_; }
  int Handle() const { return handle_; }

 private:
  std::string fileName_;
  int handle_ = -1;
};

// A stream over a growable block of memory. Memory() stays valid until the
// size changes.
class TMemoryStream : public TStream {
  DECLARE_CLASS(TMemoryStream, TStream)
 public:
  TMemoryStream() = default;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() const override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t newSize) override;

  void* Memory() { return data_.data(); }
  const void* Memory() const { return data_.data(); }
  void Clear();
  // Replace the content with the whole of the stream or file; position 0.
  void LoadFromStream(TStream* stream);
  void LoadFromFile(const std::string& fileName);
  // Write the whole content, whatever the position.
  void SaveToStream(TStream* stream) const;
  void SaveToFile(const std::string& fileName) const;

 protected:
  std::string data_;  // bytes, not necessarily text
  int64_t position_ = 0;
};

// A memory stream whose content is a string.
class TStringStream : public TMemoryStream {
  DECLARE_CLASS(TStringStream, TMemoryStream)
 public:
  explicit TStringStream(std::string data = {});

  const std::string& DataString() const { return data_; }
  // Reads up to count bytes from the position.
  std::string ReadString(int64_t count);
  // Writes at the position (extending the string when needed).
  void WriteString(const std::string& s);
};
