#include "platform/dao/logpages.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace dao {

namespace {

// The log's file format: a 32-byte header (magic, version, page size, fold
// count, two salts, a checksum), then frames of a 24-byte header (page
// number, the file's size in pages after a commit, the salts, a running
// checksum) and the page. Numbers are big-endian; the checksums add up 32-bit
// words in the order the magic's last bit names.
constexpr std::uint32_t kMagic = 0x377f0682;
constexpr std::uint32_t kVersion = 3007000;
constexpr std::size_t kHeaderBytes = 32;
constexpr std::size_t kFrameHeaderBytes = 24;

std::uint32_t Big(const unsigned char* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}
std::uint32_t Little(const unsigned char* p) {
  return (std::uint32_t(p[3]) << 24) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
}

struct Checksum {
  std::uint32_t s1 = 0, s2 = 0;
  void Add(const unsigned char* p, std::size_t n, bool bigEndian) {
    for (std::size_t i = 0; i + 8 <= n; i += 8) {
      s1 += (bigEndian ? Big(p + i) : Little(p + i)) + s2;
      s2 += (bigEndian ? Big(p + i + 4) : Little(p + i + 4)) + s1;
    }
  }
  bool Matches(const unsigned char* stored) const { return Big(stored) == s1 && Big(stored + 4) == s2; }
};

bool ValidPageSize(std::uint32_t size) { return size >= 512 && size <= 65536 && (size & (size - 1)) == 0; }

struct Header {
  bool valid = false;
  bool bigEndian = false;
  std::uint32_t pageSize = 0;
  LogGeneration generation;
  Checksum sum;
};

Header ParseHeader(const unsigned char* b) {
  Header h;
  const std::uint32_t magic = Big(b);
  if ((magic & ~1u) != kMagic || Big(b + 4) != kVersion || !ValidPageSize(Big(b + 8))) return h;
  h.bigEndian = (magic & 1) != 0;
  h.sum.Add(b, 24, h.bigEndian);
  if (!h.sum.Matches(b + 24)) return h;
  h.valid = true;
  h.pageSize = Big(b + 8);
  h.generation = {true, Big(b + 16), Big(b + 20)};
  return h;
}

Header ReadHeader(int fd) {
  unsigned char b[kHeaderBytes];
  if (::pread(fd, b, sizeof b, 0) != ssize_t(sizeof b)) return {};
  return ParseHeader(b);
}

}  // namespace

std::uint64_t PageSum(const unsigned char* page, std::size_t size) {
  std::uint64_t h = 0x243F6A8885A308D3ull ^ size;
  for (std::size_t i = 0; i + 8 <= size; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, page + i, sizeof w);
    h = (h ^ w) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
  }
  return h;
}

std::vector<std::uint32_t> LogFrames::FramesOf(std::uint32_t page, std::uint32_t limit) const {
  std::vector<std::uint32_t> found;
  for (std::uint32_t n = 1; n <= frames.size() && n <= limit; ++n)
    if (frames[n - 1].page == page) found.push_back(n);
  return found;
}

LogGeneration LogHeaderGeneration(const void* bytes, std::size_t size) {
  if (size < kHeaderBytes) return {};
  return ParseHeader(static_cast<const unsigned char*>(bytes)).generation;
}

LogGeneration ReadLogGeneration(const std::string& logPath) {
  const int fd = ::open(logPath.c_str(), O_RDONLY | O_CLOEXEC);  // SQLite takes no lock on the log itself
  if (fd < 0) return {};
  const Header h = ReadHeader(fd);
  ::close(fd);
  return h.generation;
}

LogFrames ReadLogFrames(const std::string& logPath, std::uint32_t pageSize, std::uint32_t limit) {
  LogFrames out;
  const int fd = ::open(logPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return out;
  const Header h = ReadHeader(fd);
  if (h.valid && (pageSize == 0 || h.pageSize == pageSize)) {
    out.generation = h.generation;
    out.pageSize = h.pageSize;
    const std::size_t frameBytes = kFrameHeaderBytes + h.pageSize;
    constexpr std::size_t kFramesPerRead = 64;
    std::vector<unsigned char> buffer(frameBytes * kFramesPerRead);
    Checksum running = h.sum;
    std::size_t committed = 0;
    off_t at = kHeaderBytes;
    for (bool more = true; more && out.frames.size() < limit;) {
      const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), at);
      if (got <= 0) break;
      const std::size_t whole = std::size_t(got) / frameBytes;
      more = whole == kFramesPerRead;
      for (std::size_t i = 0; i < whole && out.frames.size() < limit; ++i) {
        const unsigned char* f = buffer.data() + i * frameBytes;
        Checksum next = running;
        next.Add(f, 8, h.bigEndian);
        next.Add(f + kFrameHeaderBytes, h.pageSize, h.bigEndian);
        if (Big(f) == 0 || Big(f + 8) != h.generation.salt1 || Big(f + 12) != h.generation.salt2 ||
            !next.Matches(f + 16)) {
          more = false;
          break;
        }
        running = next;
        out.frames.push_back({Big(f), PageSum(f + kFrameHeaderBytes, h.pageSize), Big(f + 4)});
        if (Big(f + 4) != 0) committed = out.frames.size();
      }
      at += off_t(whole * frameBytes);
    }
    out.frames.resize(committed);  // frames past the last commit are no part of the file
  }
  ::close(fd);
  return out;
}

LogIndex ReadLogIndex(const volatile unsigned char* mapped) {
  LogIndex index;
  if (mapped == nullptr) return index;
  // Both copies of the header, then the fold's progress: words as SQLite
  // writes them, in this machine's order.
  unsigned char header[136];
  for (std::size_t i = 0; i < sizeof header; ++i) header[i] = mapped[i];
  std::uint32_t version, frames, folded, attempted;
  std::uint16_t pageSize;
  std::memcpy(&version, header, 4);
  std::memcpy(&pageSize, header + 14, 2);
  std::memcpy(&frames, header + 16, 4);
  std::memcpy(&folded, header + 96, 4);
  std::memcpy(&attempted, header + 128, 4);
  if (version != kVersion || header[12] == 0 || std::memcmp(header, header + 48, 48) != 0) return index;
  index.valid = true;
  index.pageSize = (pageSize & 0xfe00u) + ((pageSize & 1u) << 16);
  index.frames = frames;
  index.folded = folded;
  index.foldAttempted = attempted;
  index.generation = {true, Big(header + 32), Big(header + 36)};
  return index;
}

LogIndex ReadLogIndex(int descriptor) {
  unsigned char header[136];
  if (descriptor < 0 || ::pread(descriptor, header, sizeof header, 0) != ssize_t(sizeof header)) return {};
  return ReadLogIndex(header);
}

std::int64_t JournalsFirstPageCounter(const std::string& journalPath) {
  // A header (its magic, the records' count, a nonce, the file's size, the
  // sector and page sizes) padded to a sector, then records: a page number,
  // the page as it was, a checksum.
  static const unsigned char kJournalMagic[8] = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
  const int fd = ::open(journalPath.c_str(), O_RDONLY | O_CLOEXEC);  // SQLite locks no journal
  if (fd < 0) return -1;
  std::int64_t counter = -1;
  unsigned char h[28];
  if (::pread(fd, h, sizeof h, 0) == ssize_t(sizeof h) && std::memcmp(h, kJournalMagic, 8) == 0) {
    const std::uint32_t sector = Big(h + 20), pageSize = Big(h + 24);
    std::vector<unsigned char> record(std::size_t(pageSize) + 8);
    // The first page is among the first records a commit journals.
    off_t at = sector;
    for (int n = 0; n < 64 && ValidPageSize(pageSize) && sector >= 28 && sector <= 65536; ++n, at += off_t(record.size())) {
      if (::pread(fd, record.data(), record.size(), at) != ssize_t(record.size())) break;
      if (Big(record.data()) == 1) {
        counter = Big(record.data() + 4 + 24);
        break;
      }
    }
  }
  ::close(fd);
  return counter;
}

}  // namespace dao
