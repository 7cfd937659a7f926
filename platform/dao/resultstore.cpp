#include "platform/dao/resultstore.h"

#include <stdlib.h>

#include <filesystem>
#include <string_view>

#include "platform/classlib/core/fileutils.h"
#include "platform/dao/daoerrors.h"

namespace dao {

namespace {

// Scratch folders are named after their process, so a later process can tell
// the folders of one that died (killed, or crashed) from those in use.
constexpr std::string_view kResultPrefix = "vantrel-result-";

}  // namespace

TResultStore::TResultStore(size_t columns) : columns_(columns) {
  if (columns_ == 0) return;
  std::error_code error;
  std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) Fail(errInvalidPath, ::getenv("TMPDIR") != nullptr ? ::getenv("TMPDIR") : "");
  // A process that dies cannot remove its own, and each may hold hundreds of megabytes.
  RemoveAbandonedOnce(folder.string(), std::string(kResultPrefix));
  std::string pattern = (folder / (OwnedName(std::string(kResultPrefix)) + "XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) Fail(errInvalidPath, pattern);
  dir_ = pattern;
  try {
    Connection::CreateFile(dir_ + "/result");
    conn_ = std::make_unique<Connection>(dir_ + "/result", false);
    // Nothing here needs to survive a crash: no journal, no syncing, and a
    // small page cache keeps the process's memory small.
    conn_->UseAsScratch();
    std::string columns = "n INTEGER PRIMARY KEY, k";
    std::string marks = "?, ?";
    std::string sets = "k=?";
    for (size_t i = 0; i < columns_; ++i) {
      columns += ", c" + std::to_string(i);
      marks += ", ?";
      sets += ", c" + std::to_string(i) + "=?";
    }
    // Columns without a type keep every value as it was stored.
    conn_->Exec("CREATE TABLE r (" + columns + ")");
    insert_ = "INSERT INTO r VALUES (" + marks + ")";
    update_ = "UPDATE r SET " + sets + " WHERE n=?";
  } catch (...) {
    Remove();
    throw;
  }
}

void TResultStore::Append(const Row& row) {
  if (!conn_) numbers_.push_back(row.rowid);
  else Write(insert_, static_cast<std::int64_t>(size_), row, true);
  ++size_;
}

void TResultStore::Replace(size_t i, const Row& row) {
  if (!conn_) {
    numbers_.at(i) = row.rowid;
    return;
  }
  Write(update_, static_cast<std::int64_t>(i), row, false);
  if (i >= windowStart_ && i - windowStart_ < window_.size()) window_[i - windowStart_] = row;
}

const Row& TResultStore::At(size_t i) {
  if (!conn_) {
    numbered_.rowid = numbers_.at(i);
    return numbered_;
  }
  if (i >= windowStart_ && i - windowStart_ < window_.size()) return window_[i - windowStart_];
  size_t first = i < windowStart_ && i + 1 >= kWindow ? i + 1 - kWindow : (i < windowStart_ ? 0 : i);
  window_.clear();
  windowStart_ = first;
  auto& s = conn_->Cached("SELECT * FROM r WHERE n >= ? ORDER BY n LIMIT ?");
  StatementUse use(s);
  s.Bind(1, static_cast<std::int64_t>(first));
  s.Bind(2, static_cast<std::int64_t>(kWindow));
  while (s.Step()) {
    Row r;
    r.rowid = s.ColumnInteger(1);
    r.cells.reserve(columns_);
    for (size_t c = 0; c < columns_; ++c) r.cells.push_back(s.Column(static_cast<int>(c + 2)));
    window_.push_back(std::move(r));
  }
  return window_.at(i - windowStart_);
}

void TResultStore::Write(const std::string& sql, std::int64_t n, const Row& row, bool numberFirst) {
  auto& s = conn_->Cached(sql);
  StatementUse use(s);
  int at = 1;
  if (numberFirst) s.Bind(at++, n);
  s.Bind(at++, row.rowid);
  for (const Cell& c : row.cells) s.Bind(at++, c);
  if (!numberFirst) s.Bind(at, n);
  s.Step();
}

void TResultStore::Remove() {
  conn_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

}  // namespace dao
