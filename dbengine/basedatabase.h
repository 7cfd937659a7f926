#pragma once
// The engine's abstract database and statement. The base keeps the
// bookkeeping (connect parameters, open cursors, directory, statement text);
// a driver supplies the connection, tables, lists, transactions and SQL.

#include <cstdint>
#include <memory>
#include <string>

#include "dbengine/basetable.h"

class TSqlStmt;

// The database's driver type, as the components read it.
constexpr std::uint32_t kDatabaseTypeProperty = 0x40002;
// A statement's count of the rows its last execution changed (32-bit; -1
// before an execution and for statements that return rows).
constexpr std::uint32_t kStatementRowCountProperty = 0x00060014;
// A statement's answer table: the name of a new table of the database that
// its execution writes its rows into, and that table's driver type. Both are
// set with the address of a zero-terminated text (0 clears) and read as text.
constexpr std::uint32_t kStatementAnswerNameProperty = 0x00060024;
constexpr std::uint32_t kStatementAnswerTypeProperty = 0x00060025;

class TBaseDatabase : public TBapiListItem {
  DECLARE_CLASS(TBaseDatabase, TBapiListItem)
 public:
  // Registers with the session, reads the connect parameters and copies the
  // description and name when given.
  TBaseDatabase(TBapiListItem* session, TMorvaCollection* sessionDatabases,
                std::uint16_t paramCount, const TFieldDesc* paramDescs, const void* paramValues,
                const char* databaseName, std::int32_t openMode, std::int32_t shareMode,
                const TDatabaseDesc* description);
  // Shuts the database down (see Shutdown) when the driver has not done so.
  ~TBaseDatabase() override;

  // Frees every cursor and statement still open, then closes the connection
  // through CloseConnection; later calls do nothing. A driver's destructor
  // calls it first, because once the driver's part is gone the base
  // destructor can reach only the base's own CloseConnection.
  void Shutdown();

  void GetProperty(TPropertyId id, void* buffer, std::uint16_t size, std::uint16_t& length) override;
  void SetProperty(TPropertyId id, TPropertyValue value) override;
  void CheckPropertyValue(TPropertyId id, TPropertyValue value) override;

  // ---- Virtual operations, in slot order
  virtual std::string GetDriverName();
  virtual void SetOpenModes(std::int32_t openMode, std::int32_t shareMode);
  virtual std::int32_t Op7();
  virtual void ReadConnectParams(std::uint16_t count, const TFieldDesc* descs, const void* values);
  virtual void FindOpenCursor(const char* tableName, TBaseTable*& cursor);
  virtual void SetDirectory(const char* directory);
  virtual std::string GetDirectory();
  virtual void Op12();
  virtual void Op13();
  virtual void OpenTable(const char* tableName, const char* driverType, const char* indexName,
                         const char* indexTag, std::uint16_t indexId, std::int32_t openMode,
                         std::int32_t shareMode, std::int32_t translateMode, bool unidirectional,
                         const void* optionalParams, TBaseTable*& cursor);
  virtual void OpenTableList(const char* pattern, std::uint32_t flags, TBaseTable*& cursor);
  virtual void OpenFieldList(const char* tableName, const char* driverType, bool physicalTypes,
                             TBaseTable*& cursor);
  virtual void OpenTableListDefault(TBaseTable*& cursor);
  virtual void Op18();
  // Slot 19: the list of a table's indexes.
  virtual void OpenIndexList(const char* tableName, TBaseTable*& cursor);
  virtual void Op20();
  virtual void OpenFieldCheckList(const char* tableName, const char* driverType, TBaseTable*& cursor);
  virtual void Op22();
  virtual void Op23();
  virtual void Op24();
  virtual void OpenStoredProcList(const char* pattern, TBaseTable*& cursor);
  virtual void OpenStoredProcParamList(const char* procName, TBaseTable*& cursor);
  virtual void Op27();
  virtual void Op28();
  virtual void TableExists(const char* name, bool& found);
  virtual void CountOpenCursors(const char* tableName, std::uint16_t& count);
  virtual void FindOpenCursorByPlainName(const char* tableName, TBaseTable*& cursor);
  virtual void EmptyTable(TBaseTable* cursor, const char* tableName);
  virtual void Op33();
  virtual void Op34();
  virtual void Op35();
  virtual void Op36();
  virtual void CreateMemoryTable(const char* name, std::uint16_t fieldCount, TFieldDesc* descs,
                                 TBaseTable*& cursor);
  virtual void Op38();
  virtual void Op39();
  virtual void Op40();
  virtual void Op41();
  virtual void Op42(TBaseTable* cursor, const char* tableName);
  virtual void Op43(TBaseTable* cursor, const char* tableName);
  virtual void BeginTransaction(std::int32_t isolation, void*& transaction);
  virtual void EndTransaction(void* transaction, std::int32_t endMode);
  // Slot 46: the open mode and the share mode, the first eight bytes of ten.
  virtual void GetOpenModes(std::uint8_t (&record)[10]);
  virtual void Op47();
  virtual void OpenConnection();
  virtual void CloseConnection();
  virtual void Op50();
  virtual void Op51();
  virtual void ExecuteSql(std::uint16_t statementKind, const char* sql, TBaseTable*& cursor);
  virtual void AllocateStatement(std::uint16_t queryLanguage, TSqlStmt*& statement);
  virtual void PrepareStatement(TSqlStmt* statement, const char* sql);
  // Slot 55: the driver's part of PrepareStatement.
  virtual void PrepareDriverStatement(TSqlStmt* statement, const char* sql);
  virtual void Op56();
  // A statement over a stored query, its parameters bound from the values.
  virtual void OpenStoredProcStatement(const char* procName, std::uint16_t paramCount,
                                       const TFieldDesc* paramDescs, const void* paramValues,
                                       TSqlStmt*& statement);
  virtual void Op58();

  std::string UserName;
  TMorvaCollection* OpenCursors() const { return openCursors_.get(); }
  TMorvaCollection* Statements() const { return statements_.get(); }
  bool Connected = false;
  std::int32_t OpenMode() const { return openMode_; }
  std::int32_t ShareMode() const { return shareMode_; }
  const std::string& DatabaseName() const { return databaseName_; }
  const TDatabaseDesc& Description() const { return description_; }

 private:
  std::unique_ptr<TMorvaCollection> openCursors_ = std::make_unique<TMorvaCollection>();
  std::unique_ptr<TMorvaCollection> statements_ = std::make_unique<TMorvaCollection>();
  bool shutDown_ = false;
  std::int32_t openMode_ = 0;
  std::int32_t shareMode_ = 0;
  std::string databaseName_;
  TDatabaseDesc description_{};
};

class TSqlStmt : public TBapiListItem {
  DECLARE_CLASS(TSqlStmt, TBapiListItem)
 public:
  // Registers with the database, stores the text and prepares the source.
  TSqlStmt(TBaseDatabase* database, const char* text);
  ~TSqlStmt() override;

  void GetProperty(TPropertyId id, void* buffer, std::uint16_t size, std::uint16_t& length) override;
  void SetProperty(TPropertyId id, TPropertyValue value) override;
  void CheckPropertyValue(TPropertyId id, TPropertyValue value) override;

  // ---- Virtual operations, in slot order
  // Frees the previous text; nil leaves none.
  virtual void SetStatementText(const char* text);
  virtual void PrepareSource();
  virtual void ReleaseSource();
  virtual void BindParameters(std::uint16_t count, const TFieldDesc* descs, const void* values);
  // With a place for a cursor the statement's result set comes back there;
  // without one (nil) the caller wants none and the statement only runs.
  virtual void ExecuteStatement(TBaseTable** cursor);
  virtual void BindStoredParameters(std::uint16_t count, const TFieldDesc* descs, const void* values);
  virtual void Op11();

  bool HasText() const { return hasText_; }
  const std::string& StatementText() const { return text_; }
  TBaseDatabase* Database() const { return static_cast<TBaseDatabase*>(OwnerHandle()); }
  // What the row-count property answers; a driver sets it as it executes.
  std::int32_t RowsAffected = -1;
  // The answer table the properties above name; empty for none.
  std::string AnswerName;
  std::string AnswerType;

 private:
  std::string text_;
  bool hasText_ = false;
  std::uint32_t property16_ = 0;
};
