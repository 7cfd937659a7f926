#pragma once
// The database and recordset machinery under the DAO interfaces. Values are
// Cells in their stored form (dates as date numbers, currency as integer
// times 10,000, Booleans as -1/0); the interface layer converts them to and
// from variants of each field's type. Failures throw TDaoFailure.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/dao/accesssql.h"
#include "platform/dao/catalogue.h"
#include "platform/dao/locks.h"
#include "platform/dao/store.h"

namespace dao {

class TRecordsetCore;

// Recordset options the system passes.
enum : int { dbDenyWrite = 1, dbDenyRead = 2, dbReadOnly = 4 };
// Edit modes.
enum : int { dbEditNone = 0, dbEditInProgress = 1, dbEditAdd = 2 };

// A field as a recordset or a query reports it.
struct FieldInfo {
  FieldDef def;
  std::string sourceTable;  // the table the value comes from (empty: an expression)
  std::string sourceField;
  bool updatable = false;
  int Attributes() const {
    bool variable = def.type == dbText || def.type == dbMemo || def.type == dbLongBinary || def.type == dbBinary;
    return def.attributes | (variable ? dbVariableField : dbFixedField) | (updatable ? dbUpdatableField : 0);
  }
};

struct QueryParameter {
  ParameterDecl decl;
  Cell value;
  bool set = false;
};

class TDatabaseCore {
 public:
  // 3024 missing file, 3049 not a database, 3045/3356 in use, 3031 bad password.
  TDatabaseCore(const std::string& path, bool exclusive, bool readOnly, const std::string& connect);
  ~TDatabaseCore();
  TDatabaseCore(const TDatabaseCore&) = delete;
  TDatabaseCore& operator=(const TDatabaseCore&) = delete;

  // A new file with an empty catalogue; ";pwd=..." in `connect` sets its
  // password, and `fill` fills it (given the name it is made under) before
  // it is put at the path (see Connection::CreateFile).
  static void Create(const std::string& path, const std::string& connect,
                     const std::function<void(const std::string&)>& fill = {});

  const std::string& Name() const { return path_; }
  bool ReadOnly() const { return readOnly_; }
  Connection& Conn() { return *conn_; }
  LockFile& Locks() { return *locks_; }

  // DDL and changes; a query is 3065.
  void Execute(const std::string& sql, const std::vector<QueryParameter>& params = {});
  // Rows the last Execute inserted, changed or deleted.
  std::int64_t RecordsAffected() const { return recordsAffected_; }
  // A table name gives a live table-type recordset; a stored query's name or
  // SQL text a dynaset-like one.
  std::unique_ptr<TRecordsetCore> OpenRecordset(const std::string& source, int options);
  std::unique_ptr<TRecordsetCore> OpenQuery(const std::string& name, const std::string& sql,
                                            const std::vector<QueryParameter>& params, int options);
  // Translation with the statement's own syntax error numbers.
  Translation Translate(const std::string& sql);
  void CreateQueryDef(const std::string& name, const std::string& sql);

 private:
  std::string path_;
  bool exclusive_;
  bool readOnly_;
  std::unique_ptr<Connection> conn_;
  std::shared_ptr<LockFile> locks_;
  bool opened_ = false;
  std::int64_t recordsAffected_ = 0;
};

struct Row {
  std::int64_t rowid = 0;
  std::vector<Cell> cells;
  // The row condition these values were read under (a cursor's own number
  // for it), 0 when none was applied or the values changed since.
  std::uint64_t chosenBy = 0;
};

class TRecordsetCore {
  friend class TDatabaseCore;

 public:
  virtual ~TRecordsetCore();
  TRecordsetCore(const TRecordsetCore&) = delete;
  TRecordsetCore& operator=(const TRecordsetCore&) = delete;

  bool IsTable() const { return isTable_; }
  const std::string& Name() const { return name_; }
  const std::vector<FieldInfo>& Fields() const { return fields_; }
  int FieldIndex(const std::string& name) const;  // -1 when absent
  bool Updatable() const { return !target_.empty() && !readOnly_; }

  // Changes with every fresh read of the current record (see DAORecordset).
  std::uint64_t RowReads() const { return rowReads_; }

  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool NoMatch() const { return noMatch_; }
  int EditMode() const { return mode_; }

  void MoveFirst();
  void MoveLast();
  void MoveNext();
  void MovePrevious();
  virtual std::int64_t RecordCount() = 0;
  virtual std::int32_t AbsolutePosition() = 0;  // -1 without a current record
  virtual void SetAbsolutePosition(std::int32_t position) = 0;

  std::string Bookmark() const;  // four bytes
  // The number Bookmark's four bytes hold (little-endian), without building
  // them; it fails where Bookmark fails, which HasBookmark tells beforehand.
  std::int32_t BookmarkWord() const;
  bool HasBookmark() const { return !closed_ && onRow_ && mode_ != dbEditAdd; }
  void SetBookmark(const std::string& bookmark);
  std::string LastModified() const;

  virtual const std::vector<IndexDef>& Indexes() const;
  virtual std::string Index() const { return {}; }
  virtual void SetIndex(const std::string& name);
  virtual void Seek(const std::string& comparison, const std::vector<Cell>& keys);
  // An SQL condition on the table's columns that the moves skip other rows by
  // (empty: none); 3001 when it does not suit the table. Only a table-type
  // recordset has one; the others ignore it. `bands` and the point of
  // the index they may name: see DAORecordset::put_RowCondition.
  virtual void SetRowCondition(const std::string&, const std::vector<std::string>& = {},
                               const std::vector<Cell>& = {}) {}
  // The current row was read under the row condition in force now, as it
  // still is, and no edit is under way (see DAORecordMarks).
  virtual bool CurrentMeetsRowCondition() const { return false; }

  void AddNew();
  void Edit();
  void Update();
  void CancelUpdate();
  // What a refresh asks: the file at the path must still be the one read.
  void Requery();
  void Delete();
  void Close();

  // The field's value on the current record (or in the edit buffer). A scan
  // asks it of every field of every row: a value at hand is answered inline.
  const Cell& Value(int field) {
    const auto i = static_cast<size_t>(field);
    if (!closed_ && mode_ == dbEditNone && onRow_ && !deleted_ && field >= 0 && i < fields_.size() &&
        !current_.cells[i].deferred)
      return current_.cells[i];
    return ValueOrFailure(field);
  }
  // Its size in bytes (text and binary values) without reading it; -1 for Null.
  std::int64_t ValueSize(int field);
  void SetValue(int field, Cell value);
  // The first call after Edit/AddNew replaces the value, later calls append.
  void AppendChunk(int field, const std::string& bytes);

 protected:
  TRecordsetCore(TDatabaseCore& db, std::string name, bool isTable, bool readOnly);

  // Positioning, by the kind of recordset. A move that finds nothing answers false.
  virtual bool DoMoveFirst() = 0;
  virtual bool DoMoveLast() = 0;
  virtual bool DoMoveNext() = 0;
  virtual bool DoMovePrevious() = 0;
  virtual std::int64_t BookmarkOf(const Row& row) const = 0;
  virtual std::int64_t AppendedBookmark(const Row& row) const = 0;
  virtual bool DoSetBookmark(std::int64_t bookmark) = 0;  // false: gone
  virtual void Writing() {}                                // this recordset is about to write
  virtual void RowNumbered() {}                            // AddNew handed out a row number
  virtual void Changed() {}                                // data written by this recordset
  virtual void ReadAfresh() {}                             // Edit read the current row from the file
  virtual void Appended(const Row&) {}
  // Reads a value that the move left unread. A recordset that can tell the
  // row changed since the move takes the whole row afresh (current_).
  virtual Cell LoadDeferred(std::int64_t rowid, int field);

  // Value's every case: the edit buffer, a value read on demand, failures.
  const Cell& ValueOrFailure(int field);
  void SetCurrent(const Row& row);
  void SetCurrent(Row&& row);  // a row nobody else keeps: moved, not copied
  void CheckOpen() const {
    if (closed_) Closed();
  }
  [[noreturn]] static void Closed();
  void LeaveEdit();  // a move drops a pending change and its lock
  // Reads the target table's editable columns of a row; false when it is gone.
  bool ReadTargetRow(std::int64_t rowid, std::vector<Cell>& values);
  Statement& ReadTargetStatement();
  // Whether current_ holds the row as it stands now (nothing unread in it,
  // nothing written since it was read), so that Edit need not read it again;
  // asked right after a look at the file (Connection::Mark).
  virtual bool CurrentIsLatest() { return false; }
  void WriteEdit(Connection& conn);
  Statement& UpdateStatement(const std::vector<size_t>& columns);

  TDatabaseCore* db_;
  std::string name_;
  bool isTable_;
  bool readOnly_;
  std::string target_;  // the table that edits go to; empty: read-only
  std::vector<FieldInfo> fields_;
  std::vector<int> targetColumns_;  // fields that map to columns of target_

  bool bof_ = true;
  bool eof_ = true;
  bool onRow_ = false;
  bool deleted_ = false;
  bool noMatch_ = false;
  Row current_;
  std::uint64_t rowReads_ = 0;

  int mode_ = dbEditNone;
  Row buffer_;
  std::vector<Cell> snapshot_;
  Connection::WriteMark editMark_;  // the file's state the snapshot was taken in
  Statement* readTarget_ = nullptr;  // cached by the connection: built once
  Statement* update_ = nullptr;
  std::vector<size_t> updateColumns_;  // what update_ writes
  std::vector<char> affinity_;  // SQLite's, per target column
  bool editedAlone_ = false;    // the last Update changed its own row and no other
  std::vector<bool> changed_;
  std::vector<bool> chunked_;
  bool lockHeld_ = false;
  std::int64_t lastModified_ = 0;
  bool closed_ = false;
  int tableLock_ = 0;  // 1 shared, 2 exclusive table lock held
};

// Helpers shared with the interface layer.
std::int32_t ReadBookmark(const std::string& bookmark);  // 3159 when shorter than 4 bytes

}  // namespace dao
