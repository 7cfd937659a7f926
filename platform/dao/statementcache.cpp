// The connection's two caches of prepared statements: one for texts the
// file's shape fixes, one for the few used last among texts carrying values.

#include "platform/dao/store.h"

namespace dao {

Statement& Connection::Cached(const std::string& sql) {
  auto it = cache_.find(sql);
  if (it != cache_.end()) return *it->second;
  auto stmt = Prepare(sql);
  auto& slot = cache_[sql];
  slot = std::move(stmt);
  return *slot;
}

StatementUse Connection::CachedRecent(const std::string& sql) {
  auto it = recent_.find(sql);
  if (it == recent_.end()) {
    auto stmt = Prepare(sql);  // a text that fails drops nothing
    MakeRoomForRecent();
    it = recent_.emplace(sql, RecentStatement{std::move(stmt)}).first;
  }
  it->second.lastUse = ++recentUses_;
  return StatementUse(*it->second.statement);
}

// Drops the least recently used statements that nobody holds until one more
// fits. Held ones stay even beyond the limit (only a caller reading several
// at once holds more than one); the next new one drops them once released.
void Connection::MakeRoomForRecent() {
  while (recent_.size() >= kRecentStatements) {
    auto oldest = recent_.end();
    for (auto it = recent_.begin(); it != recent_.end(); ++it)
      if (!it->second.statement->InUse() && (oldest == recent_.end() || it->second.lastUse < oldest->second.lastUse))
        oldest = it;
    if (oldest == recent_.end()) return;
    recent_.erase(oldest);
  }
}

}  // namespace dao
