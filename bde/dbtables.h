#pragma once
// The class library's database engine interface: sessions, databases and the
// engine datasets (TBDEDataSet, TDBDataSet, TTable, TQuery, TStoredProc) with
// TBatchMove, served by the engine's call layer over Access database files.
//
// The engine's own components already do this work on the same call layer,
// so these classes are the engine components bound to the class library's
// own session list, each declaring the class library's name and ancestor
// chain: a TTable answers ClassName() "TTable" and inherits (by name) from
// TDBDataSet, TBDEDataSet and TDataSet, never from the engine's TttTable, and
// the engine's datasets never count as these. The code behind them is the
// engine's (TttTable and friends), so every behaviour and mend holds for both.
// In C++ a TTable is therefore a TttTable; tell the two apart by name
// (InheritsFrom), as the class library's users do.
//
// The library's sessions have their own list and call layer, started on first
// use (Sessions(), Session()) and freed by StopSessions(); free the library's
// datasets and databases first.

#include <string>
#include <vector>

#include "dbengine/ttquery.h"
#include "dbengine/ttsession.h"
#include "dbengine/tttable.h"

class TSession;
class TDatabase;

// ---- sessions -------------------------------------------------------------------

class TSessionList : public TttSessionlist {
  DECLARE_CLASS(TSessionList, TttSessionlist)
 public:
  TttSession* GetSessionClass(TComponent* owner) override;
  TSessionClass GetEngineClass() const override;
};

// The library's session list and its default session (named "Default"),
// started when first asked for.
TSessionList* Sessions();
TSession* Session();
// Frees the session list with the sessions it owns and its call layer.
void StopSessions();

class TSession : public TttSession {
  DECLARE_CLASS(TSession, TttSession)
 public:
  explicit TSession(TComponent* owner = nullptr);
  ~TSession() override;
  TttDatabase* GetDatabaseClass(TComponent* owner) override;
  TDataSet* GetTableClass(TComponent* owner) override;

  // Passwords the session offers when a database or table asks for one.
  void AddPassword(const std::string& password);
  void RemovePassword(const std::string& password);
  void RemoveAllPasswords() { passwords_.clear(); }
  const std::vector<std::string>& Passwords() const { return passwords_; }
  // Asks for a password through the class library's password box; an
  // accepted, non-empty one is added. True when one was given.
  bool GetPassword();
  // OnPassword when set, else the password box.
  bool DoPassword() override;

 private:
  std::vector<std::string> passwords_;
};

// ---- databases --------------------------------------------------------------------

DECLARE_ENUM(TTransIsolation, tiDirtyRead, tiReadCommitted, tiRepeatableRead)

class TDatabase : public TttDatabase {
  DECLARE_CLASS(TDatabase, TttDatabase)
 public:
  explicit TDatabase(TComponent* owner = nullptr);
  ~TDatabase() override;

  TTransIsolation TransIsolation() const { return transIsolation_; }
  void SetTransIsolation(TTransIsolation value) { transIsolation_ = value; }
  bool InTransaction() const { return transaction_ != nullptr; }
  void StartTransaction();
  void Commit();
  void Rollback();

 protected:
  // The password is the one in Params ("PASSWORD=") or, failing that, the
  // latest one the session was given.
  void PrepareLogin(std::string& password) override;
  // A refused password asks the session for another (with LoginPrompt).
  bool RetryWithPassword(DBIResult code, std::string& password) override;

 private:
  void EndTransaction(std::int32_t endMode);
  void* transaction_ = nullptr;
  TTransIsolation transIsolation_ = tiReadCommitted;
};

// ---- datasets ----------------------------------------------------------------------

class TBDEDataSet : public TttBDEDataset {
  DECLARE_CLASS(TBDEDataSet, TttBDEDataset)
 public:
  using TttBDEDataset::TttBDEDataset;
  TVirtEng* Engine() const override;
};

class TDBDataSet : public TttDBDataset {
  DECLARE_CLASS(TDBDataSet, TttDBDataset)
 public:
  explicit TDBDataSet(TComponent* owner = nullptr);
};

DECLARE_ENUM(TTableType, ttDefault, ttParadox, ttDBase, ttASCII)

class TTable : public TttTable {
  DECLARE_CLASS(TTable, TttTable)
 public:
  explicit TTable(TComponent* owner = nullptr);

  TTableType TableType() const { return tableType_; }
  void SetTableType(TTableType type);
  TField* IndexFields(int index) { return GetIndexField(index); }

 protected:
  // The driver of the table type; only what the engine serves opens.
  const char* TableDriver() const override;

 private:
  TTableType tableType_ = ttDefault;
};

class TQuery : public TttQuery {
  DECLARE_CLASS(TQuery, TttQuery)
 public:
  explicit TQuery(TComponent* owner = nullptr);
  // The statement text as prepared ("?" for each parameter).
  const std::string& Text() const { return SQLText(); }
};

// A stored query of the database file run with its parameters. Its
// parameters are the ones the program creates in Params, in the order of the
// stored query's own.
class TStoredProc : public TttQuery {
  DECLARE_CLASS(TStoredProc, TttQuery)
 public:
  explicit TStoredProc(TComponent* owner = nullptr);
  const std::string& StoredProcName() const { return procName_; }
  void SetStoredProcName(const std::string& name);
  // Runs a stored query that returns no rows.
  void ExecProc() { ExecSQL(); }

 protected:
  const std::string& StatementSource() const override { return procName_; }
  const char* MissingSourceText() const override;
  void PrepareStatement() override;
  void BindParams() override;

 private:
  std::string procName_;
};

// Applies a dataset's cached changes with SQL statements of the program, one
// per kind of change, their parameters taken from the record's fields by
// name (":OLD_name" the value before the change).
class TUpdateSQL : public TTDataSetUpdateObject {
  DECLARE_CLASS(TUpdateSQL, TTDataSetUpdateObject)
 public:
  explicit TUpdateSQL(TComponent* owner = nullptr);
  ~TUpdateSQL() override;

  TStrings* SQL(TUpdateKind kind) const { return sql_[kind].get(); }
  void SetSQL(TUpdateKind kind, TStrings* text) { sql_[kind]->Assign(text); }
  TStrings* ModifySQL() const { return SQL(ukModify); }
  void SetModifySQL(TStrings* text) { SetSQL(ukModify, text); }
  TStrings* InsertSQL() const { return SQL(ukInsert); }
  void SetInsertSQL(TStrings* text) { SetSQL(ukInsert, text); }
  TStrings* DeleteSQL() const { return SQL(ukDelete); }
  void SetDeleteSQL(TStrings* text) { SetSQL(ukDelete, text); }

  TDataSet* GetDataSet() const override { return dataSet_; }
  void SetDataSet(TDataSet* dataSet) override;
  // The statement of a kind, on the dataset's database.
  TQuery* Query(TUpdateKind kind);
  void SetParams(TUpdateKind kind);
  void ExecSQL(TUpdateKind kind) { Query(kind)->ExecSQL(); }
  void Apply(TUpdateKind kind) override;

 private:
  void FreeQueries();
  std::unique_ptr<TStringList> sql_[3];
  std::unique_ptr<TQuery> queries_[3];
  TDataSet* dataSet_ = nullptr;
};

// The settings of a batch move, as the engine's.
class TBatchMove : public TttBatchMove {
  DECLARE_CLASS(TBatchMove, TttBatchMove)
 public:
  using TttBatchMove::TttBatchMove;
  TVirtEng* Engine() const override;
};
