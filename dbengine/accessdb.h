#pragma once
// The Access driver's session, database and SQL statements. The session
// chooses the DAO version and shares the process's one DAO engine; the
// database opens one .MDB file through DAO and creates its cursors and
// statements.

#include <cstdint>
#include <memory>
#include <string>

#include "dbengine/accesstable.h"
#include "dbengine/basesession.h"

class TDAOEngine;
class TDAODatabase;
class TDAOQuerydef;

// "\Software\Morva\Access" under HKEY_LOCAL_MACHINE.
extern const char* const kAccessRegistryPath;

class TAccessSession : public TBaseSession {
  DECLARE_CLASS(TAccessSession, TBaseSession)
 public:
  // Raises NOTINITIALIZED when no DAO engine can be had.
  TAccessSession(TBapiListItem* engine, TMorvaCollection* sessions, const char* name,
                 const char* networkDirectory);
  ~TAccessSession() override;

  void InitRegistryKey() override;
  std::string GetDriverName() override { return "ACCESS"; }
  void CreateDatabase(const TDatabaseDesc& desc, const char* driverType, std::int32_t openMode,
                      std::int32_t shareMode, const char* password, std::uint16_t paramCount,
                      const TFieldDesc* paramDescs, const void* paramValues,
                      TBaseDatabase*& database) override;
  void IdleEngine() override;

  TDAOEngine* DAOEngine() const { return engine_.get(); }
  const std::shared_ptr<TDAOEngine>& SharedEngine() const { return engine_; }

 private:
  // Shared with the process and with every database of the session: the
  // engine outlives the databases, which the base destructor frees only
  // after this part of the session is gone.
  std::shared_ptr<TDAOEngine> engine_;
  bool counted_ = false;
};

// Forgets the shared engine (the unit's shutdown; tests use it to start over).
void ResetSharedDAOEngine();
// The process's use count of the shared engine.
std::uint16_t SharedDAOEngineUseCount();

class TAccessDatabase : public TBaseDatabase {
  DECLARE_CLASS(TAccessDatabase, TBaseDatabase)
 public:
  TAccessDatabase(TAccessSession* session, const TDatabaseDesc& desc, std::int32_t openMode,
                  std::int32_t shareMode, const char* password, std::uint16_t paramCount,
                  const TFieldDesc* paramDescs, const void* paramValues);
  ~TAccessDatabase() override;

  std::string GetDriverName() override { return "ACCESS"; }
  void SetOpenModes(std::int32_t openMode, std::int32_t shareMode) override;
  void OpenConnection() override;
  void CloseConnection() override;
  void OpenTable(const char* tableName, const char* driverType, const char* indexName,
                 const char* indexTag, std::uint16_t indexId, std::int32_t openMode,
                 std::int32_t shareMode, std::int32_t translateMode, bool unidirectional,
                 const void* optionalParams, TBaseTable*& cursor) override;
  void OpenTableList(const char* pattern, std::uint32_t flags, TBaseTable*& cursor) override;
  void OpenFieldList(const char* tableName, const char* driverType, bool physicalTypes,
                     TBaseTable*& cursor) override;
  void OpenStoredProcList(const char* pattern, TBaseTable*& cursor) override;
  void OpenStoredProcParamList(const char* procName, TBaseTable*& cursor) override;
  void EmptyTable(TBaseTable* cursor, const char* tableName) override;
  void BeginTransaction(std::int32_t isolation, void*& transaction) override;
  void EndTransaction(void* transaction, std::int32_t endMode) override;
  void ExecuteSql(std::uint16_t statementKind, const char* sql, TBaseTable*& cursor) override;
  void AllocateStatement(std::uint16_t queryLanguage, TSqlStmt*& statement) override;
  void PrepareStatement(TSqlStmt* statement, const char* sql) override;
  void OpenStoredProcStatement(const char* procName, std::uint16_t paramCount,
                               const TFieldDesc* paramDescs, const void* paramValues,
                               TSqlStmt*& statement) override;

  // Opens a cursor on a table name, SQL text or stored query; the query
  // cursor flag marks results of queries.
  TAccessTable* OpenAccessCursor(const char* source, std::int32_t openMode, std::int32_t shareMode,
                                 bool queryCursor, TDAOQuerydef* queryDef);
  // The stored query of that name (case ignored), nil when absent; owned by the caller.
  TDAOQuerydef* FindQueryDef(const std::string& name);

  bool Opened = false;
  std::string PhysicalName;
  std::string Password;
  std::string ConnectOptions;
  TDAODatabase* DAODatabase = nullptr;
  TMorvaCollection* StatementCollection() const { return statementCollection_.get(); }

 private:
  // Held rather than reached through the session: a session frees its
  // databases only after its own part is destroyed.
  std::shared_ptr<TDAOEngine> engine_;
  std::unique_ptr<TMorvaCollection> statementCollection_;
  std::int32_t openMode_ = 0;
  std::int32_t shareMode_ = 0;
};

class TAccessSqlStmt : public TSqlStmt {
  DECLARE_CLASS(TAccessSqlStmt, TSqlStmt)
 public:
  TAccessSqlStmt(TAccessDatabase* database, const char* text, std::uint16_t language = 2);

  // "%'" becomes "*'": the trailing wildcard of a LIKE pattern. An example
  // (QBE) text is first translated to SQL.
  void SetStatementText(const char* text) override;
  // Positional ("?") parameters become literals that cannot break the text.
  void BindParameters(std::uint16_t count, const TFieldDesc* descs, const void* values) override;
  void ExecuteStatement(TBaseTable** cursor) override;

  TAccessDatabase* AccessDatabase() const { return static_cast<TAccessDatabase*>(Database()); }

 private:
  // The answer table of this execution: the property, else an example
  // text's own answer line.
  std::string AnswerTable() const { return !AnswerName.empty() ? AnswerName : textAnswer_; }
  // Writes the selection's rows into a new table of the database; the file
  // is left as it was when that fails.
  void WriteAnswerTable(const std::string& name, const std::string& sql);

  std::string textAnswer_;  // the answer line of an example text
  std::string markedText_;  // the text with its "?" markers, as prepared
  bool binding_ = false;
  bool example_ = false;  // allocated for query-by-example texts
};

class TAccessSqlQueryDefStmt : public TSqlStmt {
  DECLARE_CLASS(TAccessSqlQueryDefStmt, TSqlStmt)
 public:
  TAccessSqlQueryDefStmt(TAccessDatabase* database, const char* name);
  ~TAccessSqlQueryDefStmt() override;

  void PrepareSource() override;
  void ReleaseSource() override;
  void BindStoredParameters(std::uint16_t count, const TFieldDesc* descs, const void* values) override;
  void ExecuteStatement(TBaseTable** cursor) override;

  TDAOQuerydef* QueryDef = nullptr;
};

// The literal of a parameter value as the statement text carries it; empty
// when the type has none. Exposed for tests.
std::string AccessParameterLiteral(std::uint16_t fieldType, const void* value, std::uint16_t length);
