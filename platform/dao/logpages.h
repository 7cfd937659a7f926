#pragma once
// What a database file's log says about the file (internal to the dao
// library): the log's generation, the pages its committed frames hold, and
// how far its shared index says it was folded into the file. Read from the
// files as SQLite writes them (the write-ahead log's file format), for the
// guard of contentwatch.cpp to tell a fold from a copy.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace dao {

// A checksum of a page's contents.
std::uint64_t PageSum(const unsigned char* page, std::size_t size);

// The salts of a log's header: they change whenever the log starts anew.
struct LogGeneration {
  bool present = false;
  std::uint32_t salt1 = 0;
  std::uint32_t salt2 = 0;
  bool operator==(const LogGeneration& o) const {
    return present == o.present && salt1 == o.salt1 && salt2 == o.salt2;
  }
  // A later generation of the same log: each new start adds one to the first
  // salt (a log made afresh draws both at random).
  bool Follows(std::uint32_t earlierSalt1) const {
    const std::uint32_t starts = salt1 - earlierSalt1;
    return present && starts > 0 && starts <= 1024;
  }
};

// The committed frames of a log, as SQLite's recovery finds them: each
// frame's page and a checksum of its contents, in order.
struct LogFrames {
  LogGeneration generation;
  std::uint32_t pageSize = 0;
  struct Frame {
    std::uint32_t page = 0;
    std::uint64_t sum = 0;
    std::uint32_t sizeAfterCommit = 0;  // the file's pages after a commit frame, else 0
  };
  std::vector<Frame> frames;  // frame n at [n - 1]
  // The frames holding `page`, numbered from 1, among the first `limit`.
  std::vector<std::uint32_t> FramesOf(std::uint32_t page, std::uint32_t limit) const;
};
// Up to `limit` frames (and never past the last commit); none when the log
// is missing, empty or not of this page size.
LogFrames ReadLogFrames(const std::string& logPath, std::uint32_t pageSize, std::uint32_t limit = UINT32_MAX);
LogGeneration ReadLogGeneration(const std::string& logPath);
// The generation a log's header names, from its bytes as written (none when
// they are no whole header).
LogGeneration LogHeaderGeneration(const void* bytes, std::size_t size);

// The log's shared index: its generation, its committed frames and how many
// of them were folded into the file. `valid` is false where its header is
// not whole (being written, or never set up).
struct LogIndex {
  bool valid = false;
  LogGeneration generation;
  std::uint32_t frames = 0;  // committed
  std::uint32_t folded = 0;
  // Where the latest fold set out to reach, set before it writes a page (a
  // fold killed midway leaves `folded` behind it); all the frames after a
  // rebuild of the index, which cannot know.
  std::uint32_t foldAttempted = 0;
  std::uint32_t pageSize = 0;
};
LogIndex ReadLogIndex(const volatile unsigned char* mapped);  // its first 136 bytes
LogIndex ReadLogIndex(int descriptor);

// Network mode's rollback journal: the change counter in the image of the
// file's first page it holds (the counter the file had before the commit it
// was written for), or -1 when it holds none.
std::int64_t JournalsFirstPageCounter(const std::string& journalPath);

}  // namespace dao
