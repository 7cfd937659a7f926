// Transactions: nested ones through save points, and the write scope every
// change runs in.

#include "platform/dao/store.h"

#include <sqlite3.h>

#include "platform/dao/daoerrors.h"

namespace dao {

void Connection::Begin() {
  ++localChanges_;  // others may have written since the last look
  if (depth_ == 0) {
    CheckFileInPlace();
    Exec(readOnly_ ? "BEGIN" : "BEGIN IMMEDIATE");
  } else {
    Exec("SAVEPOINT vt" + std::to_string(depth_));
  }
  ++depth_;
}

void Connection::Commit() {
  if (depth_ == 0) Fail(errNoTransaction);
  if (depth_ == 1) {
    // A transaction may last as long as its user takes: the file is looked
    // at again before anything is committed to it.
    if (!FileInPlace()) {
      Rollback();
      RefuseMoved();
    }
    if (ContentsWrittenOver() || NoteBeforeCommit()) {
      Rollback();
      RefuseWrittenOver();
    }
    try {
      Exec("COMMIT");
    } catch (...) {
      // Committed all the same (told written over just after): it is over.
      if (sqlite3_get_autocommit(db_) != 0) depth_ = 0;
      throw;
    }
  } else {
    Exec("RELEASE vt" + std::to_string(depth_ - 1));
  }
  --depth_;
}

void Connection::Rollback() {
  if (depth_ == 0) Fail(errNoTransaction);
  if (depth_ == 1) {
    Exec("ROLLBACK");
  } else {
    std::string name = "vt" + std::to_string(depth_ - 1);
    Exec("ROLLBACK TO " + name + "; RELEASE " + name);
  }
  --depth_;
  ++localChanges_;
  catalogueLoaded_ = false;
}

// A statement without parameters or rows, prepared once: every write runs
// two of them around its own, which parsed afresh cost as much as the write.
void Connection::RunCached(const std::string& sql) {
  StatementUse s(Cached(sql));
  s->Step();
}

Connection::WriteScope::WriteScope(Connection& c) : c_(c) {
  c_.CheckWritable();
  own_ = sqlite3_get_autocommit(c_.db_) != 0;
  if (own_) c_.CheckFileInPlace();  // within a transaction its begin looked
  c_.RunCached(own_ ? "BEGIN IMMEDIATE" : "SAVEPOINT ws");
}

void Connection::WriteScope::Commit() {
  if (own_ && (c_.ContentsWrittenOver() || c_.NoteBeforeCommit())) c_.RefuseWrittenOver();  // rolled back on the way out
  c_.RunCached(own_ ? "COMMIT" : "RELEASE ws");
  done_ = true;
  c_.NoteChange();
}

Connection::WriteScope::~WriteScope() {
  if (done_) return;
  sqlite3_exec(c_.db_, own_ ? "ROLLBACK" : "ROLLBACK TO ws; RELEASE ws", nullptr, nullptr, nullptr);
  c_.catalogueLoaded_ = false;
}

void Connection::CheckWritable() {
  if (readOnly_) Fail(errReadOnly);
}

}  // namespace dao
