// What every recordset does alike: moves, bookmarks, values, and edits
// through Edit, AddNew, Update and Delete.

#include "platform/dao/core.h"

#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string_view>

#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/strutils.h"
#include "platform/dao/daoerrors.h"
#include "platform/dao/password.h"

namespace dao {

namespace {

// Reads a default value text into a stored value of the field's type.
Cell DefaultCell(const FieldDef& f) {
  if (f.defaultValue.empty()) return {};
  std::string v = f.defaultValue;
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  switch (f.type) {
    case dbText:
    case dbMemo: return Cell::MakeText(v);
    case dbBoolean: return Cell::MakeInteger(SameText(v, "true") || SameText(v, "yes") || v == "-1" ? -1 : 0);
    case dbByte:
    case dbInteger:
    case dbLong: return Cell::MakeInteger(std::atoll(v.c_str()));
    case dbCurrency: {
      std::int64_t raw = 0;
      return StoredCurrency(v, raw) ? Cell::MakeInteger(raw) : Cell();
    }
    case dbSingle:
    case dbDouble: return Cell::MakeReal(std::atof(v.c_str()));
    default: return {};
  }
}

// SQLite's type affinity of a column by its declared type, by SQLite's rules
// in their order: 'I'nteger, 'T'ext, 'B'lob (none), 'R'eal, 'N'umeric.
char AffinityOf(const std::string& declared) {
  std::string d = UpperCase(declared);
  auto has = [&](const char* part) { return d.find(part) != std::string::npos; };
  if (has("INT")) return 'I';
  if (has("CHAR") || has("CLOB") || has("TEXT")) return 'T';
  if (has("BLOB") || d.empty()) return 'B';
  if (has("REAL") || has("FLOA") || has("DOUB")) return 'R';
  return 'N';
}

// Whether a column of that affinity keeps a value exactly as it was bound;
// when unsure, no (the value is then read back). SQLite turns a text of
// digits into a number in a number column, a whole real into an integer in
// an integer or numeric one, a number into text in a text column, and NaN
// into Null anywhere.
bool StoredAsGiven(const Cell& v, char affinity) {
  switch (v.kind) {
    case Cell::Null:
    case Cell::Blob: return !v.deferred;
    case Cell::Text: return affinity == 'T' || affinity == 'B';
    case Cell::Integer: return affinity == 'I' || affinity == 'N' || affinity == 'B';
    case Cell::Real: return (affinity == 'R' || affinity == 'B') && !std::isnan(v.real);
  }
  return false;
}

bool SameCell(const Cell& a, const Cell& b) {
  if (a.kind == Cell::Integer && b.kind == Cell::Real) return static_cast<double>(a.integer) == b.real;
  if (a.kind == Cell::Real && b.kind == Cell::Integer) return a.real == static_cast<double>(b.integer);
  return a == b;
}

}  // namespace

std::int32_t ReadBookmark(const std::string& bookmark) {
  if (bookmark.size() < 4) Fail(errNotValidBookmark);
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bookmark[static_cast<size_t>(i)]);
  return static_cast<std::int32_t>(v);
}

static std::string WriteBookmark(std::int64_t value) {
  std::string b(4, '\0');
  auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) b[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return b;
}


TRecordsetCore::TRecordsetCore(TDatabaseCore& db, std::string name, bool isTable, bool readOnly)
    : db_(&db), name_(std::move(name)), isTable_(isTable), readOnly_(readOnly || db.ReadOnly()) {}

TRecordsetCore::~TRecordsetCore() { Close(); }

void TRecordsetCore::Close() {
  if (closed_) return;
  if (lockHeld_) db_->Locks().UnlockRecord(target_, buffer_.rowid, this);
  lockHeld_ = false;
  if (tableLock_ != 0) db_->Locks().UnlockTable(name_, tableLock_ == 2);
  tableLock_ = 0;
  mode_ = dbEditNone;
  closed_ = true;
}

void TRecordsetCore::Closed() { Fail(errObjectInvalid); }

int TRecordsetCore::FieldIndex(const std::string& name) const {
  for (size_t i = 0; i < fields_.size(); ++i)
    if (AnsiSameText(fields_[i].def.name, name)) return static_cast<int>(i);
  return -1;
}

void TRecordsetCore::SetCurrent(const Row& row) {
  current_ = row;
  ++rowReads_;
  onRow_ = true;
  deleted_ = false;
  bof_ = eof_ = false;
}

void TRecordsetCore::SetCurrent(Row&& row) {
  current_ = std::move(row);
  ++rowReads_;
  onRow_ = true;
  deleted_ = false;
  bof_ = eof_ = false;
}

void TRecordsetCore::LeaveEdit() {
  CheckOpen();
  if (lockHeld_) db_->Locks().UnlockRecord(target_, buffer_.rowid, this);
  lockHeld_ = false;
  mode_ = dbEditNone;
}

void TRecordsetCore::Requery() {
  CheckOpen();
  db_->Conn().CheckFileInPlace();
}

void TRecordsetCore::MoveFirst() {
  LeaveEdit();
  noMatch_ = false;
  if (!DoMoveFirst()) {
    bof_ = eof_ = true;
    onRow_ = false;
    Fail(errNoCurrentRecord);
  }
}

void TRecordsetCore::MoveLast() {
  LeaveEdit();
  noMatch_ = false;
  if (!DoMoveLast()) {
    bof_ = eof_ = true;
    onRow_ = false;
    Fail(errNoCurrentRecord);
  }
}

void TRecordsetCore::MoveNext() {
  LeaveEdit();
  if (eof_) Fail(errNoCurrentRecord);
  bool moved = onRow_ && !bof_ ? DoMoveNext() : DoMoveFirst();
  if (!moved) {
    eof_ = true;
    onRow_ = false;
  }
}

void TRecordsetCore::MovePrevious() {
  LeaveEdit();
  if (bof_) Fail(errNoCurrentRecord);
  bool moved = onRow_ && !eof_ ? DoMovePrevious() : DoMoveLast();
  if (!moved) {
    bof_ = true;
    onRow_ = false;
  }
}

std::string TRecordsetCore::Bookmark() const {
  CheckOpen();
  if (!HasBookmark()) Fail(errNoCurrentRecord);
  return WriteBookmark(BookmarkOf(current_));
}

// The low four bytes, as WriteBookmark keeps them and ReadBookmark reads them.
std::int32_t TRecordsetCore::BookmarkWord() const {
  CheckOpen();
  if (!HasBookmark()) Fail(errNoCurrentRecord);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(BookmarkOf(current_)));
}

void TRecordsetCore::SetBookmark(const std::string& bookmark) {
  std::int32_t value = ReadBookmark(bookmark);
  LeaveEdit();
  if (!DoSetBookmark(value)) Fail(errRecordDeleted);
  noMatch_ = false;
}

std::string TRecordsetCore::LastModified() const {
  CheckOpen();
  if (lastModified_ == 0) Fail(errNoCurrentRecord);
  return WriteBookmark(lastModified_);
}

const std::vector<IndexDef>& TRecordsetCore::Indexes() const {
  static const std::vector<IndexDef> none;
  return none;
}

void TRecordsetCore::SetIndex(const std::string&) { Fail(errNotSupported); }
void TRecordsetCore::Seek(const std::string&, const std::vector<Cell>&) { Fail(errNotSupported); }

const Cell& TRecordsetCore::ValueOrFailure(int field) {
  CheckOpen();
  if (field < 0 || static_cast<size_t>(field) >= fields_.size()) Fail(errItemNotFound);
  if (mode_ != dbEditNone) return buffer_.cells[static_cast<size_t>(field)];
  if (!onRow_) Fail(errNoCurrentRecord);
  if (deleted_) Fail(errRecordDeleted);
  // Loading may take the whole row afresh: the cell is found after it.
  if (current_.cells[static_cast<size_t>(field)].deferred) {
    Cell loaded = LoadDeferred(current_.rowid, field);
    current_.cells[static_cast<size_t>(field)] = std::move(loaded);
  }
  return current_.cells[static_cast<size_t>(field)];
}

std::int64_t TRecordsetCore::ValueSize(int field) {
  CheckOpen();
  if (field < 0 || static_cast<size_t>(field) >= fields_.size()) Fail(errItemNotFound);
  const Cell* c = nullptr;
  if (mode_ != dbEditNone) {
    c = &buffer_.cells[static_cast<size_t>(field)];
  } else {
    if (!onRow_) Fail(errNoCurrentRecord);
    if (deleted_) Fail(errRecordDeleted);
    c = &current_.cells[static_cast<size_t>(field)];
  }
  if (c->deferred) return c->integer;
  if (c->IsNull()) return -1;
  if (c->kind == Cell::Text || c->kind == Cell::Blob) return static_cast<std::int64_t>(c->text.size());
  return DefaultFieldSize(fields_[static_cast<size_t>(field)].def.type);
}

Cell TRecordsetCore::LoadDeferred(std::int64_t rowid, int field) {
  const FieldInfo& f = fields_[static_cast<size_t>(field)];
  auto& s = db_->Conn().Cached("SELECT " + QuoteIdentifier(f.sourceField) + " FROM " + QuoteIdentifier(target_) +
                               " WHERE rowid=?");
  StatementUse use(s);
  s.Bind(1, rowid);
  if (!s.Step()) Fail(errRecordDeleted);
  return s.Column(0);
}

void TRecordsetCore::SetValue(int field, Cell value) {
  CheckOpen();
  if (field < 0 || static_cast<size_t>(field) >= fields_.size()) Fail(errItemNotFound);
  if (mode_ == dbEditNone) Fail(errUpdateWithoutEdit);
  const FieldInfo& f = fields_[static_cast<size_t>(field)];
  if (!f.updatable) Fail(errFieldNotUpdatable);
  if (f.def.type == dbText && value.kind == Cell::Text &&
      Utf8Length(value.text) > static_cast<size_t>(f.def.size))
    Fail(errFieldTooSmall);
  buffer_.cells[static_cast<size_t>(field)] = std::move(value);
  changed_[static_cast<size_t>(field)] = true;
}

void TRecordsetCore::AppendChunk(int field, const std::string& bytes) {
  CheckOpen();
  if (field < 0 || static_cast<size_t>(field) >= fields_.size()) Fail(errItemNotFound);
  if (mode_ == dbEditNone) Fail(errUpdateWithoutEdit);
  const FieldInfo& f = fields_[static_cast<size_t>(field)];
  if (f.def.type != dbMemo && f.def.type != dbLongBinary) Fail(errTypeMismatch);
  Cell c = buffer_.cells[static_cast<size_t>(field)];
  std::string data = chunked_[static_cast<size_t>(field)] && !c.IsNull() ? c.text : std::string();
  data += bytes;
  chunked_[static_cast<size_t>(field)] = true;
  SetValue(field, f.def.type == dbMemo ? Cell::MakeText(data) : Cell::MakeBlob(data));
}

Statement& TRecordsetCore::ReadTargetStatement() {
  if (readTarget_ != nullptr) return *readTarget_;
  std::string sql = "SELECT ";
  for (size_t i = 0; i < targetColumns_.size(); ++i) {
    if (i > 0) sql += ", ";
    sql += QuoteIdentifier(fields_[static_cast<size_t>(targetColumns_[i])].sourceField);
  }
  if (targetColumns_.empty()) sql += "1";
  readTarget_ = &db_->Conn().Cached(sql + " FROM " + QuoteIdentifier(target_) + " WHERE rowid=?");
  return *readTarget_;
}

bool TRecordsetCore::ReadTargetRow(std::int64_t rowid, std::vector<Cell>& values) {
  Statement& s = ReadTargetStatement();
  StatementUse use(s);
  s.Bind(1, rowid);
  if (!s.Step()) return false;
  values.clear();
  for (size_t i = 0; i < targetColumns_.size(); ++i) values.push_back(s.Column(static_cast<int>(i)));
  return true;
}

void TRecordsetCore::Edit() {
  CheckOpen();
  if (!Updatable()) Fail(errReadOnly);
  if (!onRow_) Fail(errNoCurrentRecord);
  if (deleted_) Fail(errRecordDeleted);
  // Told when the change begins, not after it was typed, that it could not
  // be saved (within a transaction, its commit looks).
  if (db_->Conn().TransactionDepth() == 0) db_->Conn().CheckFileInPlace();
  LeaveEdit();
  if (!db_->Locks().LockRecord(target_, current_.rowid, this)) Fail(errLockedByUser, "Admin");
  // Marked under the lock and before the row is read (or found current): a
  // write after it, by anyone, makes Update compare the row again.
  const Connection::WriteMark mark = db_->Conn().Mark();
  std::vector<Cell> fresh;
  if (CurrentIsLatest()) {
    for (int f : targetColumns_) fresh.push_back(current_.cells[static_cast<size_t>(f)]);
  } else {
    if (!ReadTargetRow(current_.rowid, fresh)) {
      db_->Locks().UnlockRecord(target_, current_.rowid, this);
      Fail(errRecordDeleted);
    }
    for (size_t i = 0; i < targetColumns_.size(); ++i)
      current_.cells[static_cast<size_t>(targetColumns_[i])] = fresh[i];
    current_.chosenBy = 0;  // read afresh, under no condition
    ++rowReads_;
    ReadAfresh();
  }
  lockHeld_ = true;
  editMark_ = mark;
  snapshot_ = std::move(fresh);
  buffer_ = current_;
  changed_.assign(fields_.size(), false);
  chunked_.assign(fields_.size(), false);
  mode_ = dbEditInProgress;
}

// Writes the edit's changed values over its row, which must still be as the
// edit found it: read and compared again only when anything was written
// since the edit's mark, by anyone. The edit's buffer then holds the row as
// it stands: the values as SQLite stored them ("7" written to a number column
// reads 7), read back unless they are stored as they were given.
void TRecordsetCore::WriteEdit(Connection& conn) {
  std::vector<Cell> now;  // the row as read here, if it was
  if (conn.Mark() != editMark_) {
    if (!ReadTargetRow(buffer_.rowid, now)) Fail(errRecordDeleted);
    for (size_t i = 0; i < now.size(); ++i)
      if (!SameCell(now[i], snapshot_[i])) Fail(errDataChanged);
  }
  std::vector<size_t> written;  // places in targetColumns_
  for (size_t i = 0; i < targetColumns_.size(); ++i)
    if (changed_[static_cast<size_t>(targetColumns_[i])]) written.push_back(i);
  editedAlone_ = true;
  bool asGiven = true;
  if (!written.empty()) {
    Statement& s = UpdateStatement(written);
    const std::uint64_t writesBefore = conn.LocalWrites();
    {
      StatementUse use(s);
      int n = 1;
      for (size_t i : written) {
        const Cell& value = buffer_.cells[static_cast<size_t>(targetColumns_[i])];
        s.Bind(n++, value);
        asGiven = asGiven && StoredAsGiven(value, affinity_[i]);
      }
      s.Bind(n, buffer_.rowid);
      s.Step();
    }
    if (conn.Changes() != 1) Fail(errRecordDeleted);
    // Triggers of the table may have changed the row further: only they
    // count among the writes beyond the statement's own row.
    editedAlone_ = conn.LocalWrites() - writesBefore == 1;
  }
  bool readBack = !asGiven || !editedAlone_;
  if (readBack && !ReadTargetRow(buffer_.rowid, now)) Fail(errRecordDeleted);
  for (size_t i = 0; i < now.size(); ++i)
    if (readBack || !changed_[static_cast<size_t>(targetColumns_[i])])
      buffer_.cells[static_cast<size_t>(targetColumns_[i])] = std::move(now[i]);
}

// The UPDATE of the given target columns, prepared once per set of columns:
// a loop that changes the same fields of each row reuses it.
Statement& TRecordsetCore::UpdateStatement(const std::vector<size_t>& columns) {
  if (update_ != nullptr && columns == updateColumns_) return *update_;
  if (affinity_.empty()) {
    Statement& read = ReadTargetStatement();
    for (size_t i = 0; i < targetColumns_.size(); ++i)
      affinity_.push_back(AffinityOf(read.ColumnDeclType(static_cast<int>(i))));
  }
  std::string sets;
  for (size_t i : columns) {
    const std::string& column = fields_[static_cast<size_t>(targetColumns_[i])].sourceField;
    sets += (sets.empty() ? "" : ", ") + QuoteIdentifier(column) + "=?";
  }
  update_ = &db_->Conn().Cached("UPDATE " + QuoteIdentifier(target_) + " SET " + sets + " WHERE rowid=?");
  updateColumns_ = columns;
  return *update_;
}

void TRecordsetCore::AddNew() {
  CheckOpen();
  if (!Updatable()) Fail(errReadOnly);
  LeaveEdit();
  const TableDef& table = db_->Conn().Table(target_);
  Writing();
  Connection::WriteScope scope(db_->Conn());
  std::int64_t rowid = db_->Conn().NextRowId(table);
  scope.Commit();
  RowNumbered();
  buffer_.rowid = rowid;
  buffer_.cells.assign(fields_.size(), Cell());
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i].sourceField.empty()) continue;
    if (fields_[i].def.IsCounter())
      buffer_.cells[i] = Cell::MakeInteger(rowid);
    else
      buffer_.cells[i] = DefaultCell(fields_[i].def);
  }
  changed_.assign(fields_.size(), false);
  chunked_.assign(fields_.size(), false);
  mode_ = dbEditAdd;
}

void TRecordsetCore::Update() {
  CheckOpen();
  if (mode_ == dbEditNone) Fail(errUpdateWithoutEdit);
  for (int f : targetColumns_) {
    const FieldInfo& info = fields_[static_cast<size_t>(f)];
    if (info.def.required && !info.def.IsCounter() && buffer_.cells[static_cast<size_t>(f)].IsNull())
      Fail(errRequiredIsNull, target_ + "." + info.sourceField);
  }
  Connection& conn = db_->Conn();
  Writing();
  editedAlone_ = false;
  Connection::WriteScope scope(conn);
  if (mode_ == dbEditInProgress) {
    WriteEdit(conn);
  } else {
    std::string columns = "rowid", marks = "?";
    std::vector<Cell> binds{Cell::MakeInteger(buffer_.rowid)};
    for (int f : targetColumns_) {
      const FieldInfo& info = fields_[static_cast<size_t>(f)];
      if (info.def.IsCounter()) continue;  // the counter is the row number
      columns += ", " + QuoteIdentifier(info.sourceField);
      marks += ", ?";
      binds.push_back(buffer_.cells[static_cast<size_t>(f)]);
    }
    auto& s = conn.Cached("INSERT INTO " + QuoteIdentifier(target_) + " (" + columns + ") VALUES (" + marks + ")");
    StatementUse use(s);
    for (size_t i = 0; i < binds.size(); ++i) s.Bind(static_cast<int>(i + 1), binds[i]);
    s.Step();
  }
  scope.Commit();
  bool added = mode_ == dbEditAdd;
  LeaveEdit();
  Row written = std::move(buffer_);
  written.chosenBy = 0;  // its values are this cursor's, met no condition
  if (added) {
    Appended(written);
    lastModified_ = AppendedBookmark(written);
  } else {
    current_ = std::move(written);
    ++rowReads_;
    lastModified_ = BookmarkOf(current_);
  }
  Changed();
}

void TRecordsetCore::CancelUpdate() {
  CheckOpen();
  if (mode_ == dbEditNone) Fail(errUpdateWithoutEdit);
  LeaveEdit();
}

void TRecordsetCore::Delete() {
  CheckOpen();
  if (!Updatable()) Fail(errReadOnly);
  if (!onRow_) Fail(errNoCurrentRecord);
  if (deleted_) Fail(errRecordDeleted);
  LeaveEdit();
  if (db_->Locks().RecordLockedByOther(target_, current_.rowid, this)) Fail(errLockedByUser, "Admin");
  Writing();
  Connection::WriteScope scope(db_->Conn());
  auto& s = db_->Conn().Cached("DELETE FROM " + QuoteIdentifier(target_) + " WHERE rowid=?");
  {
    StatementUse use(s);
    s.Bind(1, current_.rowid);
    s.Step();
  }
  if (db_->Conn().Changes() == 0) Fail(errRecordDeleted);
  scope.Commit();
  deleted_ = true;
  Changed();
}

}  // namespace dao
