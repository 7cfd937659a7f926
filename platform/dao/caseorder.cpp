// The case-blind indexes of a file made before the case-blind order took its
// present form are in an older order: before the fold joined every case pair
// of Unicode's simple folding, or before a byte no character stands for was
// compared by its value rather than as U+FFFD. SQLite searches an index by
// the collation it is given now, so in such an index it misses the rows whose
// order changed ("Ơ" now sorts with "ơ", "a\x80" before "aé").
//
// The first user who may write rebuilds them (REINDEX of the collation) and
// records the fold in the file's header, so the rebuild runs once per file.
// Several users: the rebuild runs in a write transaction that looks at the
// record again, so a second writer arriving meanwhile finds it done. A reader
// writes nothing: its table cursors then order and search the text columns
// without the indexes (CaseBlindIndexesStale), slower but right. So does a
// writer whose rebuild was refused (the file busy for longer than the wait,
// or a unique index that the wider fold finds two equal keys in); a later
// open tries again.

#include "platform/dao/daoerrors.h"
#include "platform/dao/store.h"

namespace dao {

namespace {

int CaseBlindOrderOf(Connection& c) {
  StatementUse s(c.Cached("PRAGMA user_version"));
  return s->Step() ? static_cast<int>(s->ColumnInteger(0)) : 0;
}

}  // namespace

void Connection::BringCaseBlindIndexesInOrder() {
  caseBlindStale_ = CaseBlindOrderOf(*this) < kCaseBlindOrder;
  if (!caseBlindStale_ || readOnly_) return;
  try {
    WriteScope scope(*this);
    if (CaseBlindOrderOf(*this) < kCaseBlindOrder) {
      Exec("REINDEX NOCASE");
      Exec("PRAGMA user_version=" + std::to_string(kCaseBlindOrder));
    }
    scope.Commit();
    caseBlindStale_ = false;
  } catch (const TDaoFailure&) {
    // Read without the indexes until a later open rebuilds them.
  }
}

}  // namespace dao
