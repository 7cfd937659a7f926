#pragma once
// The rows of a query's result, numbered from 0. They live in a private
// scratch database file, not in memory: a recordset over a million rows holds
// one window of them (memos included), whatever its size. The file is the
// recordset's alone, outside every transaction of the database it came from,
// and removed with it. A result of row numbers alone (no columns) is kept in
// memory instead, 8 bytes a row: writing a million numbers to the file cost
// half a second, reading them back from memory costs nothing.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/dao/core.h"

namespace dao {

class TResultStore {
 public:
  explicit TResultStore(size_t columns);
  ~TResultStore() { Remove(); }
  TResultStore(const TResultStore&) = delete;
  TResultStore& operator=(const TResultStore&) = delete;

  size_t Size() const { return size_; }

  // Appends run inside one transaction while the result is being read.
  void BeginFill() {
    if (conn_) conn_->Begin();
  }
  void EndFill() {
    if (conn_) conn_->Commit();
  }

  void Append(const Row& row);
  void Replace(size_t i, const Row& row);
  // Reads a window of rows around i, ahead in the direction of travel.
  const Row& At(size_t i);

 private:
  static constexpr size_t kWindow = 256;

  void Write(const std::string& sql, std::int64_t n, const Row& row, bool numberFirst);
  void Remove();

  size_t columns_;
  std::string dir_;
  std::unique_ptr<Connection> conn_;
  std::string insert_;
  std::string update_;
  size_t size_ = 0;
  std::vector<Row> window_;
  size_t windowStart_ = 0;
  std::vector<std::int64_t> numbers_;  // the rows of a store without columns
  Row numbered_;                        // the one At answers from them
};

}  // namespace dao
