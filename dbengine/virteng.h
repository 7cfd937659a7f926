#pragma once
// The call layer: the one door through which the engine's components reach
// the engine objects. Each entry takes handles and plain buffers, calls exactly
// one operation of one engine object and returns a 16-bit result code, 0 for
// success. An engine failure becomes its code and the one entry of the error
// stack from which the components build their error texts; exceptions of other
// kinds are never caught.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "dbengine/basesession.h"

class TVirtEng;

// Creates the engine session of a binding (its "session class").
using TSessionClass = std::function<TBaseSession*(TVirtEng* engine, TMorvaCollection* sessions,
                                                  const char* name, const char* netDirectory)>;

// The layer's own property: the engine property.
constexpr TPropertyId kEnginePropertyId = 0xFF070002;

class TVirtEng : public TBapiListItem {
  DECLARE_CLASS(TVirtEng, TBapiListItem)
 public:
  static constexpr std::uint16_t kErrorStackCapacity = 10;
  static constexpr std::size_t kMaxErrorText = 260;

  // Starts the initial session (its result is StartResult). The interface
  // version and environment record are accepted and not used.
  TVirtEng(TSessionClass sessionClass, TBapiListItem* owner = nullptr,
           TMorvaCollection* ownerList = nullptr, std::uint16_t version = 400,
           const void* environment = nullptr);
  ~TVirtEng() override;

  // The layer's own property (kEnginePropertyId); other ids are the root's.
  void GetProperty(TPropertyId id, void* buffer, std::uint16_t size, std::uint16_t& length) override {
    GetOwnProperty(id, buffer, size, length);
  }
  void SetProperty(TPropertyId id, TPropertyValue value) override { SetOwnProperty(id, value); }
  void GetOwnProperty(TPropertyId id, void* buffer, std::uint16_t size, std::uint16_t& length);
  void SetOwnProperty(TPropertyId id, TPropertyValue value);

  // ---- Sessions
  DBIResult StartSession(const char* name, TBaseSession*& session, const char* netDirectory);
  DBIResult CloseSession(TBaseSession* session);
  DBIResult SelectSession(TBaseSession* session);
  DBIResult GetSessionHandle(TBaseSession*& session);
  DBIResult ResolveAlias(const char* name, TDatabaseDesc& desc);
  DBIResult GetSessionInfo(TSessionInfo& info);
  DBIResult SetPrivateDirectory(const char* directory);
  DBIResult ConvertOemToAnsi(void* language, const char* source, char* dest, std::uint32_t length,
                             bool& dataLoss);
  DBIResult ConvertAnsiToOem(void* language, const char* source, char* dest, std::uint32_t length,
                             bool& dataLoss);
  DBIResult RegisterCallback(TBaseTable* cursor, std::int32_t callbackType,
                             std::intptr_t clientData, std::uint16_t bufferLength, void* buffer,
                             void* routine);
  DBIResult AddAlias(void* configHandle, const char* aliasName, const char* driverType,
                     const char* paramText, bool persistent);
  DBIResult DeleteAlias(void* configHandle, const char* aliasName);
  DBIResult OpenConfigList(void* configHandle, std::int32_t openMode, std::int32_t configMode,
                           const char* path, TBaseTable*& cursor);

  // ---- Databases and statements
  DBIResult OpenDatabase(const char* name, const char* driverType, std::int32_t openMode,
                         std::int32_t shareMode, const char* password, std::uint16_t paramCount,
                         TFieldDesc* paramDescs, void* paramValues, TBaseDatabase*& database);
  // The caller's variable is left as it was.
  DBIResult CloseDatabase(TBaseDatabase*& database);
  DBIResult SetDirectory(TBaseDatabase* database, const char* directory);
  DBIResult OpenTable(TBaseDatabase* database, const char* tableName, const char* driverType,
                      const char* indexName, const char* indexTag, std::uint16_t indexId,
                      std::int32_t openMode, std::int32_t shareMode, std::int32_t translateMode,
                      bool unidirectional, const void* optionalParams, TBaseTable*& cursor);
  DBIResult OpenFieldList(TBaseDatabase* database, const char* tableName, const char* driverType,
                          bool physicalTypes, TBaseTable*& cursor);
  DBIResult OpenFieldCheckList(TBaseDatabase* database, const char* tableName,
                               const char* driverType, TBaseTable*& cursor);
  DBIResult AllocateStatement(TBaseDatabase* database, std::uint16_t queryLanguage,
                              TSqlStmt*& statement);
  // Prepares through the current database: callers allocate the statement
  // (which makes its database current) just before.
  DBIResult PrepareStatement(TSqlStmt* statement, const char* sql);
  DBIResult BindParameters(TSqlStmt* statement, std::uint16_t count, const TFieldDesc* descs,
                           const void* values);
  // A nil cursor place asks for no result set.
  DBIResult ExecuteStatement(TSqlStmt* statement, TBaseTable** cursor);
  // The caller's variable is cleared.
  DBIResult FreeStatement(TSqlStmt*& statement);
  // A stored query of the database run as a statement; its parameters are
  // bound now or later through BindStoredParameters.
  DBIResult OpenStoredProcStatement(TBaseDatabase* database, const char* procName,
                                    std::uint16_t paramCount, const TFieldDesc* paramDescs,
                                    const void* paramValues, TSqlStmt*& statement);
  DBIResult BindStoredParameters(TSqlStmt* statement, std::uint16_t count, const TFieldDesc* descs,
                                 const void* values);
  // A transaction of the database; end mode 2 rolls it back, any other commits.
  DBIResult BeginTransaction(TBaseDatabase* database, std::int32_t isolation, void*& transaction);
  DBIResult EndTransaction(TBaseDatabase* database, void* transaction, std::int32_t endMode);

  // ---- Cursors
  DBIResult CloseCursor(TBaseTable* cursor);
  DBIResult OpenDuplicateCursor(TBaseTable* cursor, bool readOnly, bool unidirectional,
                                TBaseTable*& duplicate);
  DBIResult SetToStart(TBaseTable* cursor);
  DBIResult SetToEnd(TBaseTable* cursor);
  DBIResult CopyCursorPosition(TBaseTable* dest, TBaseTable* source);
  DBIResult GetBookmark(TBaseTable* cursor, std::uint8_t* bookmark);
  DBIResult SetToBookmark(TBaseTable* cursor, const std::uint8_t* bookmark);
  DBIResult CompareBookmarks(TBaseTable* cursor, const std::uint8_t* a, const std::uint8_t* b,
                             int& comparison);
  DBIResult GetNextRecord(TBaseTable* cursor, int lock, std::uint8_t* buffer, TRecordProps* props);
  DBIResult GetPriorRecord(TBaseTable* cursor, int lock, std::uint8_t* buffer, TRecordProps* props);
  DBIResult GetCurrentRecord(TBaseTable* cursor, int lock, std::uint8_t* buffer,
                             TRecordProps* props);
  DBIResult FetchRecordByKey(TBaseTable* cursor, bool directKey, std::uint16_t fieldCount,
                             std::uint16_t keyLength, const std::uint8_t* key, std::uint8_t* buffer);
  DBIResult GetFieldCheckDescriptor(TBaseTable* cursor, std::uint16_t checkNumber, void* desc);
  DBIResult CancelRecordChange(TBaseTable* cursor, void* reserved);
  DBIResult InitRecord(TBaseTable* cursor, std::uint8_t* buffer);
  DBIResult InsertRecord(TBaseTable* cursor, int lock, std::uint8_t* buffer);
  DBIResult AppendRecord(TBaseTable* cursor, std::uint8_t* buffer);
  DBIResult ModifyRecord(TBaseTable* cursor, std::uint8_t* buffer, int freeLock);
  DBIResult DeleteRecord(TBaseTable* cursor, std::uint8_t* buffer);
  DBIResult SetAbsolutePosition(TBaseTable* cursor, std::uint32_t position);
  DBIResult GetCursorProperties(TBaseTable* cursor, TCursorProps& props);
  DBIResult GetFieldDescriptors(TBaseTable* cursor, TFieldDesc* descs);
  DBIResult QueryRecordCount(TBaseTable* cursor, std::uint32_t& count);
  DBIResult SetRereadFlag(TBaseTable* cursor);
  DBIResult SetRange(TBaseTable* cursor, bool keyItself, std::uint16_t startFieldCount,
                     std::uint16_t startLength, const std::uint8_t* startKey, bool startInclusive,
                     std::uint16_t endFieldCount, std::uint16_t endLength,
                     const std::uint8_t* endKey, bool endInclusive);
  DBIResult ResetRange(TBaseTable* cursor);
  DBIResult SwitchToIndex(TBaseTable* cursor, const char* indexName, const char* tagName,
                          std::uint16_t indexId, bool stayOnRecord);
  DBIResult ExtractKey(TBaseTable* cursor, const std::uint8_t* record, std::uint8_t* key);
  // Puts the cursor on the first record whose key meets the condition
  // (keysearch::...), or at the end when none does. The key is a key itself
  // or a record buffer holding the key fields.
  DBIResult SetToKey(TBaseTable* cursor, std::uint16_t condition, bool keyItself, std::uint16_t fieldCount,
                     std::uint16_t keyLength, std::uint8_t* key);
  DBIResult GetIndexDescriptor(TBaseTable* cursor, std::uint16_t number, TIndexDesc& desc);
  DBIResult GetIndexDescriptors(TBaseTable* cursor, TIndexDesc* descs);
  DBIResult GetField(TBaseTable* cursor, std::uint16_t fieldNumber, std::uint8_t* buffer,
                     void* dest, bool& blank);
  DBIResult PutField(TBaseTable* cursor, std::uint16_t fieldNumber, std::uint8_t* buffer,
                     const void* source);
  DBIResult GetFieldIsBlank(TBaseTable* cursor, std::uint16_t fieldNumber, std::uint8_t* buffer,
                            bool& blank);
  DBIResult OpenBlob(TBaseTable* cursor, std::uint8_t* buffer, std::uint16_t fieldNumber,
                     int openMode);
  DBIResult GetBlobSize(TBaseTable* cursor, std::uint8_t* buffer, std::uint16_t fieldNumber,
                        std::uint32_t& size);
  DBIResult ReadBlob(TBaseTable* cursor, std::uint8_t* buffer, std::uint16_t fieldNumber,
                     std::uint32_t offset, std::uint32_t length, void* dest, std::uint32_t& read);
  // As ReadBlob, but a read that reaches the end sets `end` and answers 0:
  // for a reader that expects the end, nothing goes to the error stack (a
  // memo read whole in one piece reaches its end every time).
  DBIResult ReadBlobPart(TBaseTable* cursor, std::uint8_t* buffer, std::uint16_t fieldNumber,
                         std::uint32_t offset, std::uint32_t length, void* dest, std::uint32_t& read,
                         bool& end);
  DBIResult WriteBlob(TBaseTable* cursor, std::uint8_t* buffer, std::uint16_t fieldNumber,
                      std::uint32_t offset, std::uint32_t length, const void* source);
  DBIResult TruncateBlob(TBaseTable* cursor, std::uint8_t* buffer, std::uint16_t fieldNumber,
                         std::uint32_t length);
  DBIResult FreeBlob(TBaseTable* cursor, std::uint8_t* buffer, std::uint16_t fieldNumber);
  DBIResult AddFilter(TBaseTable* cursor, std::intptr_t clientData, std::uint16_t priority,
                      bool canAbort, const void* expression, TFilterCallback callback,
                      TFilterListItem*& filter);
  DBIResult DropFilter(TBaseTable* cursor, TFilterListItem* filter);
  DBIResult ActivateFilter(TBaseTable* cursor, TFilterListItem* filter);
  DBIResult DeactivateFilter(TBaseTable* cursor, TFilterListItem* filter);
  // Replace the caller's handle by the cache wrapper, and back.
  DBIResult BeginCachedUpdates(TBaseTable*& cursor);
  DBIResult EndCachedUpdates(TBaseTable*& cursor);
  // Works on the changes a cache wrapper holds: 0 forgets the applied ones,
  // 1 discards all, 2 discards the current record's, 3 applies them.
  DBIResult ProcessCachedUpdates(TBaseTable* cursor, int subCommand);
  // The table of pending changes of a cursor in cached-update mode.
  DBIResult GetCacheTable(TBaseTable* cursor, TMemTable*& table);
  DBIResult InstallConstraintCheck(TBaseTable* cursor, void* routine, std::intptr_t data);
  DBIResult RemoveConstraintCheck(TBaseTable* cursor);

  // ---- Any handle
  DBIResult GetProperty(TBapiListItem* handle, TPropertyId id, void* buffer,
                        std::uint16_t maxLength, std::uint16_t& length);
  DBIResult SetProperty(TBapiListItem* handle, TPropertyId id, TPropertyValue value);
  // Kind 2 (session) gives the handle's owner; any other kind nil and INVALIDPARAM.
  DBIResult GetHandleProperty(TBapiListItem* handle, std::uint16_t kind, TBapiListItem*& result);

  // ---- Error texts
  // The text of error-stack entry n (1 = newest): the entry's detail when it
  // has a native code, "DBI Error Code = " and its code text, and its context
  // lines, joined by CR LF and cut to 260 characters. Returns the entry's code;
  // 0 and nothing written when there is no such entry.
  DBIResult GetErrorText(std::uint16_t entry, std::int32_t& nativeCode, std::string& text);
  // The text of the newest entry carrying the code; empty when none does.
  DBIResult FindErrorEntry(DBIResult code, std::string& text);

  // ---- Internals
  void SetCurrentSession(TBaseSession* session);
  void SetCurrentDatabase(TBaseDatabase* database);
  void SetCurrentCursor(TBaseTable* cursor);
  void SetCurrentStatement(TSqlStmt* statement);
  TBaseSession* GetCurrentSession() const { return session_; }
  TBaseDatabase* GetCurrentDatabase() const { return database_; }
  TBaseTable* GetCurrentCursor() const { return cursor_; }
  TSqlStmt* GetCurrentStatement() const { return statement_; }
  DBIResult StartResult() const { return startResult_; }
  TErrorStack* ErrorStack() const { return errorStack_.get(); }
  TMorvaCollection* HandleList() const { return handles_.get(); }
  const TDateFormatRecord& DateFormat() const { return dateFormat_; }
  const TTimeFormatRecord& TimeFormat() const { return timeFormat_; }
  void SetDateFormat(const TDateFormatRecord& format) { dateFormat_ = format; }
  void SetTimeFormat(const TTimeFormatRecord& format) { timeFormat_ = format; }
  // Fills both format records from the system's format settings.
  void LoadFormats();

  // Removes a bracketed part "[...]" and the character after it from the
  // source; the second buffer stays empty.
  static void SplitNameValue(const char* source, std::string& dest, std::string& second);
  // The path text of a name: the name itself when a name or driver type is
  // given, else the value of the optional parameter "PATH" (which is cleaned
  // in place).
  static void ReadPathParam(const char* name, const char* driverType, std::uint16_t paramCount,
                            TFieldDesc* descs, void* values, std::string& path, int& flag);

 private:
  // Runs one engine operation: an engine failure becomes its code and the one
  // entry of the error stack; other exceptions pass.
  template <class Operation>
  DBIResult Trap(Operation&& operation);
  DBIResult MapException(const EMorvaEngineError& e);
  TBaseSession* CurrentSession();

  TSessionClass sessionClass_;
  std::unique_ptr<TErrorStack> errorStack_;
  std::unique_ptr<TMorvaCollection> handles_;
  TDateFormatRecord dateFormat_{};
  TTimeFormatRecord timeFormat_{};
  TBaseSession* session_ = nullptr;
  TBaseTable* cursor_ = nullptr;
  TBaseDatabase* database_ = nullptr;
  DBIResult startResult_ = 0;
  std::uint32_t engineProperty_ = 0;
  TSqlStmt* statement_ = nullptr;
};

// Builds the date and time format records from format settings.
TDateFormatRecord MakeDateFormatRecord(char separator, const std::string& shortDateFormat);
TTimeFormatRecord MakeTimeFormatRecord(char separator, const std::string& shortTimeFormat,
                                       const std::string& amText, const std::string& pmText);
