#include "dbengine/virteng.h"

#include <cstring>

#include "dbengine/enginetext.h"
#include "platform/classlib/core/formatsettings.h"

using dbengine_detail::CutChars;
using dbengine_detail::SameName;
using dbengine_detail::SlotText;

IMPLEMENT_CLASS(TVirtEng, TBapiListItem)

// ---- Format records

TDateFormatRecord MakeDateFormatRecord(char separator, const std::string& shortDateFormat) {
  TDateFormatRecord r{};
  r.Separator[0] = separator;
  // The order of day, month and year is the order of their letters in the format.
  std::size_t first = shortDateFormat.find_first_of("dDmMyY");
  char lead = first == std::string::npos ? 'M' : shortDateFormat[first];
  r.Order = (lead == 'd' || lead == 'D') ? 1 : (lead == 'y' || lead == 'Y') ? 2 : 0;
  r.FourDigitYear = shortDateFormat.find("yyyy") != std::string::npos ? 1 : 0;
  r.YearBiased = 1;
  r.MonthLeadingZero = shortDateFormat.find("mm") != std::string::npos ? 1 : 0;
  r.DayLeadingZero = shortDateFormat.find("dd") != std::string::npos ? 1 : 0;
  return r;
}

TTimeFormatRecord MakeTimeFormatRecord(char separator, const std::string& shortTimeFormat,
                                       const std::string& amText, const std::string& pmText) {
  TTimeFormatRecord r{};
  r.Separator = separator;
  r.TwelveHour = shortTimeFormat.find(" AMPM") != std::string::npos ? 1 : 0;
  if (r.TwelveHour != 0) {
    dbengine_detail::StoreText(r.MorningText, CutChars(amText, 5));
    dbengine_detail::StoreText(r.AfternoonText, CutChars(pmText, 5));
  }
  r.ShowSeconds = 1;
  r.ShowMilliseconds = 0;
  return r;
}

// ---- Creation

TVirtEng::TVirtEng(TSessionClass sessionClass, TBapiListItem* owner, TMorvaCollection* ownerList,
                   std::uint16_t, const void*)
    : TBapiListItem(owner, ownerList), sessionClass_(std::move(sessionClass)) {
  handles_ = std::make_unique<TMorvaCollection>();
  errorStack_ = std::make_unique<TErrorStack>(kErrorStackCapacity);
  LoadFormats();
  TBaseSession* session = nullptr;
  startResult_ = StartSession("", session, nullptr);
  session_ = session;
}

// The sessions go first, while every other member is still there for them.
TVirtEng::~TVirtEng() {
  handles_.reset();
  errorStack_.reset();
}

void TVirtEng::LoadFormats() {
  SetDateFormat(MakeDateFormatRecord(FormatSettings.DateSeparator, FormatSettings.ShortDateFormat));
  SetTimeFormat(MakeTimeFormatRecord(FormatSettings.TimeSeparator, FormatSettings.ShortTimeFormat,
                                     FormatSettings.TimeAMString, FormatSettings.TimePMString));
}

void TVirtEng::GetOwnProperty(TPropertyId id, void* buffer, std::uint16_t size,
                              std::uint16_t& length) {
  if (id == kEnginePropertyId)
    PutPropertyBytes(&engineProperty_, sizeof engineProperty_, buffer, size, length);
  else
    TBapiListItem::GetProperty(id, buffer, size, length);
}

void TVirtEng::SetOwnProperty(TPropertyId id, TPropertyValue value) {
  if (id == kEnginePropertyId)
    engineProperty_ = static_cast<std::uint32_t>(value);
  else
    TBapiListItem::SetProperty(id, value);
}

// ---- The trap

DBIResult TVirtEng::MapException(const EMorvaEngineError& e) {
  errorStack_->Clear();
  errorStack_->PushException(e);
  return e.ErrorCode;
}

template <class Operation>
DBIResult TVirtEng::Trap(Operation&& operation) {
  try {
    operation();
  } catch (const EMorvaEngineError& e) {
    return MapException(e);
  }
  return 0;
}

void TVirtEng::SetCurrentSession(TBaseSession* session) { session_ = CheckHandle(session); }
void TVirtEng::SetCurrentDatabase(TBaseDatabase* database) { database_ = CheckHandle(database); }
void TVirtEng::SetCurrentCursor(TBaseTable* cursor) { cursor_ = CheckHandle(cursor); }
void TVirtEng::SetCurrentStatement(TSqlStmt* statement) { statement_ = CheckHandle(statement); }
TBaseSession* TVirtEng::CurrentSession() { return CheckHandle(session_); }

// ---- Sessions

DBIResult TVirtEng::StartSession(const char* name, TBaseSession*& session,
                                 const char* netDirectory) {
  session = nullptr;
  return Trap([&] {
    if (!sessionClass_) RaiseEngineError(dberr::InvalidParam);
    TBaseSession* created = sessionClass_(this, handles_.get(), name, netDirectory);
    session_ = CheckHandle(created);
    session = created;
  });
}

DBIResult TVirtEng::CloseSession(TBaseSession* session) {
  return Trap([&] {
    SetCurrentSession(session);
    delete session;
    // The initial session stays first in the list for the layer's whole life.
    session_ = handles_->Count() > 0 ? static_cast<TBaseSession*>(handles_->At(0)) : nullptr;
    database_ = nullptr;
    cursor_ = nullptr;
    statement_ = nullptr;
  });
}

DBIResult TVirtEng::SelectSession(TBaseSession* session) {
  return Trap([&] { SetCurrentSession(session); });
}

DBIResult TVirtEng::GetSessionHandle(TBaseSession*& session) {
  session = session_;
  return 0;
}

DBIResult TVirtEng::ResolveAlias(const char* name, TDatabaseDesc& desc) {
  return Trap([&] {
    std::string path;
    int flag = 0;
    ReadPathParam(name, nullptr, 0, nullptr, nullptr, path, flag);
    CurrentSession()->ResolveAliasDefault(path.c_str(), desc);
  });
}

DBIResult TVirtEng::GetSessionInfo(TSessionInfo& info) {
  return Trap([&] { CurrentSession()->GetSessionInfo(info); });
}

DBIResult TVirtEng::SetPrivateDirectory(const char* directory) {
  return Trap([&] {
    if (session_ != nullptr) session_->SetPrivateDirectory(directory);
  });
}

DBIResult TVirtEng::ConvertOemToAnsi(void* language, const char* source, char* dest,
                                     std::uint32_t length, bool& dataLoss) {
  return Trap([&] { CurrentSession()->ConvertOemToAnsi(language, source, dest, length, dataLoss); });
}

DBIResult TVirtEng::ConvertAnsiToOem(void* language, const char* source, char* dest,
                                     std::uint32_t length, bool& dataLoss) {
  return Trap([&] { CurrentSession()->ConvertAnsiToOem(language, source, dest, length, dataLoss); });
}

DBIResult TVirtEng::RegisterCallback(TBaseTable* cursor, std::int32_t callbackType,
                                     std::intptr_t clientData, std::uint16_t bufferLength,
                                     void* buffer, void* routine) {
  return Trap([&] {
    CurrentSession()->RegisterCallback(cursor, callbackType, clientData, bufferLength, buffer, routine);
  });
}

DBIResult TVirtEng::AddAlias(void* configHandle, const char* aliasName, const char* driverType,
                             const char* paramText, bool persistent) {
  return Trap([&] {
    CurrentSession()->AddAlias(configHandle, aliasName, driverType, paramText, persistent);
  });
}

DBIResult TVirtEng::DeleteAlias(void* configHandle, const char* aliasName) {
  return Trap([&] { CurrentSession()->DeleteAlias(configHandle, aliasName); });
}

DBIResult TVirtEng::OpenConfigList(void* configHandle, std::int32_t openMode,
                                   std::int32_t configMode, const char* path, TBaseTable*& cursor) {
  cursor = nullptr;
  return Trap([&] {
    std::string cleaned;
    int flag = 0;
    ReadPathParam(path, nullptr, 0, nullptr, nullptr, cleaned, flag);
    CurrentSession()->OpenConfigNodeList(configHandle, openMode, configMode, cleaned.c_str(), cursor);
  });
}

// ---- Databases and statements

DBIResult TVirtEng::OpenDatabase(const char* name, const char* driverType, std::int32_t openMode,
                                 std::int32_t shareMode, const char* password,
                                 std::uint16_t paramCount, TFieldDesc* paramDescs,
                                 void* paramValues, TBaseDatabase*& database) {
  database = nullptr;
  return Trap([&] {
    std::string path;
    int flag = 0;
    ReadPathParam(name, driverType, paramCount, paramDescs, paramValues, path, flag);
    CurrentSession()->OpenDatabase(path.c_str(), driverType, openMode, shareMode, password,
                                   paramCount, paramDescs, paramValues, database);
  });
}

DBIResult TVirtEng::CloseDatabase(TBaseDatabase*& database) {
  return Trap([&] {
    SetCurrentDatabase(database);
    delete database;  // frees its cursors and statements too
    database_ = nullptr;
    cursor_ = nullptr;
    statement_ = nullptr;
  });
}

DBIResult TVirtEng::SetDirectory(TBaseDatabase* database, const char* directory) {
  return Trap([&] {
    SetCurrentDatabase(database);
    database->SetDirectory(directory);
  });
}

DBIResult TVirtEng::OpenTable(TBaseDatabase* database, const char* tableName,
                              const char* driverType, const char* indexName, const char* indexTag,
                              std::uint16_t indexId, std::int32_t openMode, std::int32_t shareMode,
                              std::int32_t translateMode, bool unidirectional,
                              const void* optionalParams, TBaseTable*& cursor) {
  cursor = nullptr;
  return Trap([&] {
    SetCurrentDatabase(database);
    database->OpenTable(tableName, driverType, indexName, indexTag, indexId, openMode, shareMode,
                        translateMode, unidirectional, optionalParams, cursor);
  });
}

DBIResult TVirtEng::OpenFieldList(TBaseDatabase* database, const char* tableName,
                                  const char* driverType, bool physicalTypes, TBaseTable*& cursor) {
  cursor = nullptr;
  return Trap([&] {
    SetCurrentDatabase(database);
    database->OpenFieldList(tableName, driverType, physicalTypes, cursor);
  });
}

DBIResult TVirtEng::OpenFieldCheckList(TBaseDatabase* database, const char* tableName,
                                       const char* driverType, TBaseTable*& cursor) {
  cursor = nullptr;
  return Trap([&] {
    SetCurrentDatabase(database);
    database->OpenFieldCheckList(tableName, driverType, cursor);
  });
}

DBIResult TVirtEng::AllocateStatement(TBaseDatabase* database, std::uint16_t queryLanguage,
                                      TSqlStmt*& statement) {
  statement = nullptr;
  return Trap([&] {
    SetCurrentDatabase(database);
    database->AllocateStatement(queryLanguage, statement);
  });
}

DBIResult TVirtEng::OpenStoredProcStatement(TBaseDatabase* database, const char* procName,
                                            std::uint16_t paramCount, const TFieldDesc* paramDescs,
                                            const void* paramValues, TSqlStmt*& statement) {
  statement = nullptr;
  return Trap([&] {
    SetCurrentDatabase(database);
    database->OpenStoredProcStatement(procName, paramCount, paramDescs, paramValues, statement);
  });
}

DBIResult TVirtEng::BindStoredParameters(TSqlStmt* statement, std::uint16_t count,
                                         const TFieldDesc* descs, const void* values) {
  return Trap([&] {
    SetCurrentStatement(statement);
    statement->BindStoredParameters(count, descs, values);
  });
}

DBIResult TVirtEng::BeginTransaction(TBaseDatabase* database, std::int32_t isolation, void*& transaction) {
  transaction = nullptr;
  return Trap([&] {
    SetCurrentDatabase(database);
    database->BeginTransaction(isolation, transaction);
  });
}

DBIResult TVirtEng::EndTransaction(TBaseDatabase* database, void* transaction, std::int32_t endMode) {
  return Trap([&] {
    SetCurrentDatabase(database);
    database->EndTransaction(transaction, endMode);
  });
}

DBIResult TVirtEng::PrepareStatement(TSqlStmt* statement, const char* sql) {
  return Trap([&] { CheckHandle(database_)->PrepareStatement(CheckHandle(statement), sql); });
}

DBIResult TVirtEng::BindParameters(TSqlStmt* statement, std::uint16_t count,
                                   const TFieldDesc* descs, const void* values) {
  return Trap([&] {
    SetCurrentStatement(statement);
    statement->BindParameters(count, descs, values);
  });
}

DBIResult TVirtEng::ExecuteStatement(TSqlStmt* statement, TBaseTable** cursor) {
  if (cursor != nullptr) *cursor = nullptr;
  return Trap([&] {
    SetCurrentStatement(statement);
    statement->ExecuteStatement(cursor);
  });
}

DBIResult TVirtEng::FreeStatement(TSqlStmt*& statement) {
  return Trap([&] {
    SetCurrentStatement(statement);
    FreeAndNil(statement);
    statement_ = nullptr;
  });
}

// ---- Cursors
// Entries without a check routine leave the current cursor alone; a nil
// handle still answers INVALIDHNDL rather than crashing.

DBIResult TVirtEng::CloseCursor(TBaseTable* cursor) {
  return Trap([&] {
    CheckHandle(cursor)->CloseCursor();
    if (cursor_ == cursor) cursor_ = nullptr;
    delete cursor;
  });
}

DBIResult TVirtEng::OpenDuplicateCursor(TBaseTable* cursor, bool readOnly, bool unidirectional,
                                        TBaseTable*& duplicate) {
  duplicate = nullptr;
  return Trap([&] {
    SetCurrentCursor(cursor);
    cursor->OpenDuplicateCursor(readOnly, unidirectional, duplicate);
  });
}

// Trapped like every other entry, so that a failed move to the start or end
// reaches the caller as a result code instead of vanishing as a silent abort.
DBIResult TVirtEng::SetToStart(TBaseTable* cursor) {
  return Trap([&] { CheckHandle(cursor)->SetToStart(); });
}

DBIResult TVirtEng::SetToEnd(TBaseTable* cursor) {
  return Trap([&] { CheckHandle(cursor)->SetToEnd(); });
}

DBIResult TVirtEng::CopyCursorPosition(TBaseTable* dest, TBaseTable* source) {
  return Trap([&] {
    SetCurrentCursor(source);
    source->CopyPositionTo(dest);
  });
}

DBIResult TVirtEng::GetBookmark(TBaseTable* cursor, std::uint8_t* bookmark) {
  return Trap([&] {
    SetCurrentCursor(cursor);
    cursor->GetBookmark(bookmark);
  });
}

DBIResult TVirtEng::SetToBookmark(TBaseTable* cursor, const std::uint8_t* bookmark) {
  return Trap([&] {
    SetCurrentCursor(cursor);
    cursor->SetToBookmark(bookmark);
  });
}

DBIResult TVirtEng::CompareBookmarks(TBaseTable* cursor, const std::uint8_t* a,
                                     const std::uint8_t* b, int& comparison) {
  return Trap([&] { comparison = CheckHandle(cursor)->CompareBookmarks(a, b); });
}

DBIResult TVirtEng::GetNextRecord(TBaseTable* cursor, int lock, std::uint8_t* buffer,
                                  TRecordProps* props) {
  bool found = true;
  const DBIResult code = Trap([&] { found = CheckHandle(cursor)->FetchNextRecord(lock, buffer, props); });
  // Past the last record: answered as the end raised would be, its entry on
  // the error stack included.
  return code == 0 && !found ? MapException(EMorvaBoundryError::CreateEof()) : code;
}

DBIResult TVirtEng::GetPriorRecord(TBaseTable* cursor, int lock, std::uint8_t* buffer,
                                   TRecordProps* props) {
  return Trap([&] { CheckHandle(cursor)->GetPriorRecord(lock, buffer, props); });
}

DBIResult TVirtEng::GetCurrentRecord(TBaseTable* cursor, int lock, std::uint8_t* buffer,
                                     TRecordProps* props) {
  return Trap([&] { CheckHandle(cursor)->GetCurrentRecord(lock, buffer, props); });
}

DBIResult TVirtEng::FetchRecordByKey(TBaseTable* cursor, bool directKey, std::uint16_t fieldCount,
                                     std::uint16_t keyLength, const std::uint8_t* key,
                                     std::uint8_t* buffer) {
  return Trap([&] {
    CheckHandle(cursor)->FetchRecordByKey(directKey, fieldCount, keyLength, key, buffer);
  });
}

DBIResult TVirtEng::GetFieldCheckDescriptor(TBaseTable* cursor, std::uint16_t checkNumber,
                                            void* desc) {
  return Trap([&] { CheckHandle(cursor)->GetFieldCheckDescriptor(checkNumber, desc); });
}

DBIResult TVirtEng::CancelRecordChange(TBaseTable* cursor, void* reserved) {
  return Trap([&] { CheckHandle(cursor)->CancelRecordChange(reserved); });
}

DBIResult TVirtEng::InitRecord(TBaseTable* cursor, std::uint8_t* buffer) {
  return Trap([&] { CheckHandle(cursor)->InitRecord(buffer); });
}

DBIResult TVirtEng::InsertRecord(TBaseTable* cursor, int lock, std::uint8_t* buffer) {
  return Trap([&] { CheckHandle(cursor)->InsertRecord(lock, buffer); });
}

DBIResult TVirtEng::AppendRecord(TBaseTable* cursor, std::uint8_t* buffer) {
  return Trap([&] { CheckHandle(cursor)->AppendRecord(buffer); });
}

DBIResult TVirtEng::ModifyRecord(TBaseTable* cursor, std::uint8_t* buffer, int freeLock) {
  return Trap([&] { CheckHandle(cursor)->ModifyRecord(buffer, freeLock); });
}

DBIResult TVirtEng::DeleteRecord(TBaseTable* cursor, std::uint8_t* buffer) {
  return Trap([&] { CheckHandle(cursor)->DeleteRecord(buffer); });
}

DBIResult TVirtEng::SetAbsolutePosition(TBaseTable* cursor, std::uint32_t position) {
  return Trap([&] { CheckHandle(cursor)->SetAbsolutePosition(position); });
}

DBIResult TVirtEng::GetCursorProperties(TBaseTable* cursor, TCursorProps& props) {
  return Trap([&] { CheckHandle(cursor)->GetCursorProperties(props); });
}

DBIResult TVirtEng::GetFieldDescriptors(TBaseTable* cursor, TFieldDesc* descs) {
  return Trap([&] { CheckHandle(cursor)->GetFieldDescriptors(descs); });
}

DBIResult TVirtEng::QueryRecordCount(TBaseTable* cursor, std::uint32_t& count) {
  return Trap([&] { CheckHandle(cursor)->QueryRecordCount(count); });
}

DBIResult TVirtEng::SetRereadFlag(TBaseTable* cursor) {
  return Trap([&] { CheckHandle(cursor)->SetRereadFlag(); });
}

DBIResult TVirtEng::SetRange(TBaseTable* cursor, bool keyItself, std::uint16_t startFieldCount,
                             std::uint16_t startLength, const std::uint8_t* startKey,
                             bool startInclusive, std::uint16_t endFieldCount,
                             std::uint16_t endLength, const std::uint8_t* endKey,
                             bool endInclusive) {
  return Trap([&] {
    CheckHandle(cursor)->SetRange(keyItself, startFieldCount, startLength, startKey,
                                  startInclusive, endFieldCount, endLength, endKey, endInclusive);
  });
}

DBIResult TVirtEng::ResetRange(TBaseTable* cursor) {
  return Trap([&] { CheckHandle(cursor)->ResetRange(); });
}

DBIResult TVirtEng::SwitchToIndex(TBaseTable* cursor, const char* indexName, const char* tagName,
                                  std::uint16_t indexId, bool stayOnRecord) {
  return Trap([&] { CheckHandle(cursor)->SwitchToIndex(indexName, tagName, indexId, stayOnRecord); });
}

DBIResult TVirtEng::ExtractKey(TBaseTable* cursor, const std::uint8_t* record, std::uint8_t* key) {
  return Trap([&] { CheckHandle(cursor)->ExtractKey(record, key); });
}

DBIResult TVirtEng::SetToKey(TBaseTable* cursor, std::uint16_t condition, bool keyItself,
                             std::uint16_t fieldCount, std::uint16_t keyLength, std::uint8_t* key) {
  return Trap([&] {
    CheckHandle(cursor)->SeekKeyOrEnd(condition, keyItself, keyItself ? nullptr : key, key, keyLength, fieldCount);
  });
}

DBIResult TVirtEng::GetIndexDescriptor(TBaseTable* cursor, std::uint16_t number, TIndexDesc& desc) {
  return Trap([&] { CheckHandle(cursor)->GetIndexDescriptor(number, desc); });
}

DBIResult TVirtEng::GetIndexDescriptors(TBaseTable* cursor, TIndexDesc* descs) {
  return Trap([&] { CheckHandle(cursor)->GetIndexDescriptors(descs); });
}

DBIResult TVirtEng::GetField(TBaseTable* cursor, std::uint16_t fieldNumber, std::uint8_t* buffer,
                             void* dest, bool& blank) {
  return Trap([&] { CheckHandle(cursor)->GetField(fieldNumber, buffer, dest, blank); });
}

DBIResult TVirtEng::PutField(TBaseTable* cursor, std::uint16_t fieldNumber, std::uint8_t* buffer,
                             const void* source) {
  return Trap([&] { CheckHandle(cursor)->PutField(fieldNumber, buffer, source); });
}

DBIResult TVirtEng::GetFieldIsBlank(TBaseTable* cursor, std::uint16_t fieldNumber,
                                    std::uint8_t* buffer, bool& blank) {
  return Trap([&] { CheckHandle(cursor)->GetFieldIsBlank(fieldNumber, buffer, blank); });
}

DBIResult TVirtEng::OpenBlob(TBaseTable* cursor, std::uint8_t* buffer, std::uint16_t fieldNumber,
                             int openMode) {
  return Trap([&] { CheckHandle(cursor)->OpenBlob(buffer, fieldNumber, openMode); });
}

DBIResult TVirtEng::GetBlobSize(TBaseTable* cursor, std::uint8_t* buffer, std::uint16_t fieldNumber,
                                std::uint32_t& size) {
  return Trap([&] { CheckHandle(cursor)->GetBlobSize(buffer, fieldNumber, size); });
}

DBIResult TVirtEng::ReadBlob(TBaseTable* cursor, std::uint8_t* buffer, std::uint16_t fieldNumber,
                             std::uint32_t offset, std::uint32_t length, void* dest,
                             std::uint32_t& read) {
  bool end = false;
  DBIResult code = ReadBlobPart(cursor, buffer, fieldNumber, offset, length, dest, read, end);
  // The end is answered as if raised, without the cost of raising it.
  return code == 0 && end ? MapException(EMorvaEngineError(dberr::EndOfBlob)) : code;
}

DBIResult TVirtEng::ReadBlobPart(TBaseTable* cursor, std::uint8_t* buffer, std::uint16_t fieldNumber,
                                 std::uint32_t offset, std::uint32_t length, void* dest, std::uint32_t& read,
                                 bool& end) {
  end = false;
  return Trap([&] { end = CheckHandle(cursor)->ReadBlobPiece(buffer, fieldNumber, offset, length, dest, read); });
}

DBIResult TVirtEng::WriteBlob(TBaseTable* cursor, std::uint8_t* buffer, std::uint16_t fieldNumber,
                              std::uint32_t offset, std::uint32_t length, const void* source) {
  return Trap([&] { CheckHandle(cursor)->WriteBlob(buffer, fieldNumber, offset, length, source); });
}

DBIResult TVirtEng::TruncateBlob(TBaseTable* cursor, std::uint8_t* buffer,
                                 std::uint16_t fieldNumber, std::uint32_t length) {
  return Trap([&] { CheckHandle(cursor)->TruncateBlob(buffer, fieldNumber, length); });
}

DBIResult TVirtEng::FreeBlob(TBaseTable* cursor, std::uint8_t* buffer, std::uint16_t fieldNumber) {
  return Trap([&] { CheckHandle(cursor)->FreeBlob(buffer, fieldNumber); });
}

DBIResult TVirtEng::ReadWholeBlob(TBaseTable* cursor, std::uint8_t* buffer, std::uint16_t fieldNumber,
                                  std::string& out) {
  return Trap([&] { CheckHandle(cursor)->ReadWholeBlob(buffer, fieldNumber, out); });
}

DBIResult TVirtEng::AddFilter(TBaseTable* cursor, std::intptr_t clientData, std::uint16_t priority,
                              bool canAbort, const void* expression, TFilterCallback callback,
                              TFilterListItem*& filter) {
  filter = nullptr;
  return Trap([&] {
    CheckHandle(cursor)->AddFilter(clientData, priority, canAbort, expression, callback, filter);
  });
}

DBIResult TVirtEng::DropFilter(TBaseTable* cursor, TFilterListItem* filter) {
  return Trap([&] { CheckHandle(cursor)->DropFilter(filter); });
}

DBIResult TVirtEng::ActivateFilter(TBaseTable* cursor, TFilterListItem* filter) {
  return Trap([&] { CheckHandle(cursor)->ActivateFilter(filter); });
}

DBIResult TVirtEng::DeactivateFilter(TBaseTable* cursor, TFilterListItem* filter) {
  return Trap([&] { CheckHandle(cursor)->DeactivateFilter(filter); });
}

DBIResult TVirtEng::BeginCachedUpdates(TBaseTable*& cursor) {
  return Trap([&] { CheckHandle(cursor)->BeginCachedUpdates(cursor); });
}

DBIResult TVirtEng::EndCachedUpdates(TBaseTable*& cursor) {
  return Trap([&] {
    TBaseTable* cache = CheckHandle(cursor);
    cache->EndCachedUpdates(cursor);
    if (cursor_ == cache) cursor_ = nullptr;
  });
}

DBIResult TVirtEng::ProcessCachedUpdates(TBaseTable* cursor, int subCommand) {
  return Trap([&] { CheckHandle(cursor)->ProcessCachedUpdates(subCommand); });
}

DBIResult TVirtEng::GetCacheTable(TBaseTable* cursor, TMemTable*& table) {
  table = nullptr;
  return Trap([&] { CheckHandle(cursor)->GetCacheTable(table); });
}

DBIResult TVirtEng::InstallConstraintCheck(TBaseTable*, void*, std::intptr_t) { return dberr::NA; }
DBIResult TVirtEng::RemoveConstraintCheck(TBaseTable*) { return dberr::NA; }

// ---- Any handle

DBIResult TVirtEng::GetProperty(TBapiListItem* handle, TPropertyId id, void* buffer,
                                std::uint16_t maxLength, std::uint16_t& length) {
  length = 0;
  if (handle == nullptr) return dberr::InvalidParam;
  return Trap([&] { handle->GetProperty(id, buffer, maxLength, length); });
}

DBIResult TVirtEng::SetProperty(TBapiListItem* handle, TPropertyId id, TPropertyValue value) {
  if (handle == nullptr) return dberr::InvalidParam;
  return Trap([&] { handle->SetProperty(id, value); });
}

DBIResult TVirtEng::GetHandleProperty(TBapiListItem* handle, std::uint16_t kind,
                                      TBapiListItem*& result) {
  result = nullptr;
  if (kind != 2) return dberr::InvalidParam;
  result = handle != nullptr ? handle->OwnerHandle() : nullptr;
  return 0;
}

// ---- Error texts

DBIResult TVirtEng::GetErrorText(std::uint16_t entry, std::int32_t& nativeCode, std::string& text) {
  TErrorStackEntry e{};
  if (!errorStack_->GetEntry(entry, e)) return 0;
  nativeCode = e.NativeError;
  std::string result;
  auto addLine = [&](const std::string& line) {
    if (line.empty()) return;
    if (!result.empty()) result += "\r\n";
    result += line;
  };
  if (e.NativeError != 0) addLine(SlotText(e.DetailText));
  if (e.ErrorCode != 0) addLine("DBI Error Code = " + SlotText(e.CodeText));
  for (const auto& line : e.Context) addLine(SlotText(line));
  text = CutChars(result, kMaxErrorText);
  return e.ErrorCode;
}

DBIResult TVirtEng::FindErrorEntry(DBIResult code, std::string& text) {
  text.clear();
  for (std::uint16_t n = 1; n <= errorStack_->Count(); ++n) {
    std::int32_t native = 0;
    std::string entryText;
    if (GetErrorText(n, native, entryText) == code) {
      text = entryText;
      break;
    }
  }
  return 0;
}

// ---- Names and paths

void TVirtEng::SplitNameValue(const char* source, std::string& dest, std::string& second) {
  dest.clear();
  second.clear();
  if (source == nullptr) return;
  dest = source;
  std::size_t open = dest.find('[');
  if (open == std::string::npos) return;
  std::size_t close = dest.find(']', open + 1);
  if (close == std::string::npos) return;
  // The bracketed part and the one character after it (the blank before the
  // path); a "]" at the very end has nothing after it to remove.
  std::size_t end = std::min(close + 2, dest.size());
  dest.erase(open, end - open);
}

void TVirtEng::ReadPathParam(const char* name, const char* driverType, std::uint16_t paramCount,
                             TFieldDesc* descs, void* values, std::string& path, int& flag) {
  flag = 0;
  path.clear();
  std::string unused;
  if (name != nullptr || driverType != nullptr) {
    SplitNameValue(name, path, unused);
    return;
  }
  if (descs == nullptr || values == nullptr) return;
  auto* bytes = static_cast<char*>(values);
  for (std::uint16_t i = 0; i < paramCount; ++i) {
    if (!SameName(SlotText(descs[i].Name), "PATH")) continue;
    char* value = bytes + descs[i].Offset;
    std::size_t room = descs[i].Length != 0 ? descs[i].Length : std::strlen(value) + 1;
    SplitNameValue(SlotText(value, room).c_str(), path, unused);
    dbengine_detail::StoreText(value, room, path);  // the cleaned text replaces the value
    return;
  }
}
