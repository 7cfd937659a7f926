#include "dbengine/basedatabase.h"

#include <cstring>
#include <memory>
#include <vector>

#include "dbengine/enginetext.h"
#include "dbengine/listtables.h"
#include "dbengine/memtable.h"

using dbengine_detail::CutChars;
using dbengine_detail::SameName;
using dbengine_detail::SlotText;

IMPLEMENT_CLASS(TBaseDatabase, TBapiListItem)
IMPLEMENT_CLASS(TSqlStmt, TBapiListItem)

TBaseDatabase::TBaseDatabase(TBapiListItem* session, TMorvaCollection* sessionDatabases,
                             std::uint16_t paramCount, const TFieldDesc* paramDescs,
                             const void* paramValues, const char* databaseName,
                             std::int32_t openMode, std::int32_t shareMode,
                             const TDatabaseDesc* description)
    : TBapiListItem(session, sessionDatabases) {
  ReadConnectParams(paramCount, paramDescs, paramValues);
  Connected = false;
  if (description != nullptr) description_ = *description;
  if (databaseName != nullptr) databaseName_ = CutChars(databaseName, 31);
  SetOpenModes(openMode, shareMode);
}

TBaseDatabase::~TBaseDatabase() {
  Shutdown();  // the collections, already emptied, go with the members
}

void TBaseDatabase::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  // Cursors and statements go before the connection they run on.
  while (openCursors_->Count() > 0) delete openCursors_->At(openCursors_->Count() - 1);
  while (statements_->Count() > 0) delete statements_->At(statements_->Count() - 1);
  CloseConnection();
}

void TBaseDatabase::GetProperty(TPropertyId id, void* buffer, std::uint16_t size,
                                std::uint16_t& length) {
  length = 0;
  if (id == 0) {
    std::uint16_t kind = 22;
    PutPropertyBytes(&kind, sizeof kind, buffer, size, length);
  } else if (id == 1 || id == kDatabaseTypeProperty) {
    // The components ask for the driver type by its full identifier.
    CheckParam(buffer);
    std::string name = GetDriverName();
    if (size > 0) dbengine_detail::StoreText(static_cast<char*>(buffer), size, name);
    length = static_cast<std::uint16_t>(std::strlen(static_cast<char*>(buffer)) + 1);
  } else {
    TBapiListItem::GetProperty(id, buffer, size, length);
  }
}

void TBaseDatabase::SetProperty(TPropertyId, TPropertyValue) {}  // its properties are read-only

void TBaseDatabase::CheckPropertyValue(TPropertyId id, TPropertyValue value) {
  if ((id == 0 || id == 1) && value != 0) RaiseNotSupported();
}

std::string TBaseDatabase::GetDriverName() { return "STANDARD"; }

void TBaseDatabase::SetOpenModes(std::int32_t openMode, std::int32_t shareMode) {
  openMode_ = openMode;
  shareMode_ = shareMode;
}

std::int32_t TBaseDatabase::Op7() { return 0; }

void TBaseDatabase::ReadConnectParams(std::uint16_t count, const TFieldDesc* descs,
                                      const void* values) {
  if (descs == nullptr || values == nullptr) return;
  const auto* bytes = static_cast<const char*>(values);
  for (std::uint16_t i = 0; i < count; ++i) {
    if (SlotText(descs[i].Name) != "USER NAME") continue;
    // The value lies at the descriptor's offset; its length bounds the read.
    UserName = CutChars(SlotText(bytes + descs[i].Offset, descs[i].Length != 0 ? descs[i].Length : 32), 31);
  }
}

void TBaseDatabase::FindOpenCursor(const char* tableName, TBaseTable*& cursor) {
  cursor = nullptr;
  CheckParam(tableName);
  if (openCursors_->Count() > 0) {
    bool withPath = HasPathPart(tableName, 1);
    for (int i = 0; i < openCursors_->Count(); ++i) {
      auto* c = dynamic_cast<TBaseTable*>(openCursors_->At(i));
      if (c == nullptr) continue;
      std::string source = c->GetSourceTableName();
      std::string name = withPath ? source : c->GetTableName();
      if (SameName(name, tableName) && !source.empty()) {
        cursor = c;
        return;
      }
    }
  }
  RaiseEngineErrorText(dberr::NoSuchTable, tableName);
}

void TBaseDatabase::SetDirectory(const char* directory) {
  dbengine_detail::StoreText(description_.PhysicalPath, directory != nullptr ? directory : "");
}

std::string TBaseDatabase::GetDirectory() { return SlotText(description_.PhysicalPath); }

void TBaseDatabase::Op12() {}  // reserved; nothing to do in the base
void TBaseDatabase::Op13() { RaiseNotSupported(); }

void TBaseDatabase::OpenTable(const char*, const char*, const char*, const char*, std::uint16_t,
                              std::int32_t, std::int32_t, std::int32_t, bool, const void*,
                              TBaseTable*& cursor) {
  cursor = nullptr;
  RaiseNotSupported();
}

void TBaseDatabase::OpenTableList(const char*, std::uint32_t, TBaseTable*& cursor) {
  cursor = nullptr;
  RaiseNotSupported();
}

void TBaseDatabase::OpenFieldList(const char*, const char*, bool, TBaseTable*& cursor) {
  cursor = nullptr;
  RaiseNotSupported();
}

void TBaseDatabase::OpenTableListDefault(TBaseTable*& cursor) { OpenTableList(nullptr, 0, cursor); }

void TBaseDatabase::Op18() { RaiseNotSupported(); }

void TBaseDatabase::OpenIndexList(const char* tableName, TBaseTable*& cursor) {
  cursor = nullptr;
  CheckParam(tableName);
  TBaseTable* table = nullptr;
  std::unique_ptr<TBaseTable> openedHere;  // only to read its indexes
  try {
    FindOpenCursorByPlainName(tableName, table);
  } catch (const EMorvaEngineError& e) {
    if (e.ErrorCode != dberr::NoSuchTable) throw;
    OpenTable(tableName, nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, table);
    openedHere.reset(table);
  }
  TCursorProps props{};
  table->GetCursorProperties(props);
  std::vector<TIndexDesc> descs(props.IndexCount);
  if (!descs.empty()) table->GetIndexDescriptors(descs.data());
  cursor = new TIndexListTable(this, openCursors_.get(), descs.data(), props.IndexCount);
  if (openedHere) openedHere->CloseCursor();
}

void TBaseDatabase::Op20() { RaiseNotSupported(); }

void TBaseDatabase::OpenFieldCheckList(const char*, const char*, TBaseTable*& cursor) {
  cursor = nullptr;
  RaiseNotSupported();
}

void TBaseDatabase::Op22() { RaiseNotSupported(); }
void TBaseDatabase::Op23() { RaiseNotSupported(); }
void TBaseDatabase::Op24() { RaiseNotSupported(); }

void TBaseDatabase::OpenStoredProcList(const char*, TBaseTable*& cursor) {
  cursor = nullptr;
  RaiseNotSupported();
}

void TBaseDatabase::OpenStoredProcParamList(const char*, TBaseTable*& cursor) {
  cursor = nullptr;
  RaiseNotSupported();
}

void TBaseDatabase::Op27() { RaiseNotSupported(); }
void TBaseDatabase::Op28() { RaiseNotSupported(); }

void TBaseDatabase::TableExists(const char* name, bool& found) {
  found = false;
  CheckParam(name);
  TBaseTable* opened = nullptr;
  OpenTableListDefault(opened);
  std::unique_ptr<TBaseTable> list(opened);
  try {
    std::vector<std::uint8_t> row(std::max<std::size_t>(list->GetRecordBufferSize(), 261) + 1, 0);
    for (;;) {
      list->GetNextRecord(0, row.data(), nullptr);
      if (SameName(SlotText(reinterpret_cast<const char*>(row.data()), 261), name)) {
        found = true;
        break;
      }
    }
  } catch (const EMorvaBoundryError&) {
    // the end of the list: not there
  }
}

void TBaseDatabase::CountOpenCursors(const char* tableName, std::uint16_t& count) {
  count = 0;
  CheckParam(tableName);
  std::string wanted = CutChars(tableName, 31);
  for (int i = 0; i < openCursors_->Count(); ++i)
    if (auto* c = dynamic_cast<TBaseTable*>(openCursors_->At(i));
        c != nullptr && SameName(CutChars(c->GetTableName(), 31), wanted))
      ++count;
  if (count == 0) RaiseEngineErrorText(dberr::NoSuchTable, tableName);
}

void TBaseDatabase::FindOpenCursorByPlainName(const char* tableName, TBaseTable*& cursor) {
  CheckParam(tableName);
  std::string plain = tableName;
  CutAtChar(plain, ';');
  FindOpenCursor(plain.c_str(), cursor);
}

namespace {
// Opens the table when no cursor is given, runs the step and frees what it opened.
template <class Step>
void WithTableCursor(TBaseDatabase* db, TBaseTable* cursor, const char* tableName, Step step) {
  if (cursor != nullptr) {
    step(cursor);
    return;
  }
  TBaseTable* opened = nullptr;
  db->OpenTable(tableName, nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, opened);
  std::unique_ptr<TBaseTable> owned(opened);
  step(CheckHandle(opened));
}
}  // namespace

void TBaseDatabase::EmptyTable(TBaseTable* cursor, const char* tableName) {
  WithTableCursor(this, cursor, tableName, [](TBaseTable* c) { c->EmptyTable(); });
}

void TBaseDatabase::Op33() { RaiseNotSupported(); }
void TBaseDatabase::Op34() { RaiseNotSupported(); }
void TBaseDatabase::Op35() { RaiseNotSupported(); }
void TBaseDatabase::Op36() { RaiseNotSupported(); }

void TBaseDatabase::CreateMemoryTable(const char* name, std::uint16_t fieldCount,
                                      TFieldDesc* descs, TBaseTable*& cursor) {
  cursor = nullptr;
  std::string tableName = name != nullptr ? name : "";
  if (descs == nullptr || fieldCount == 0) RaiseEngineErrorText(dberr::InvalidParam, tableName);
  try {
    cursor = new TMemTable(this, openCursors_.get(), name, fieldCount, descs, 0, nullptr);
  } catch (const EMorvaEngineError&) {
    RaiseEngineErrorText(dberr::InvalidTableCreate, tableName);
  } catch (const std::bad_alloc&) {
    RaiseEngineErrorText(dberr::InvalidTableCreate, tableName);
  }
}

void TBaseDatabase::Op38() { RaiseNotSupported(); }
void TBaseDatabase::Op39() { RaiseNotSupported(); }
void TBaseDatabase::Op40() { RaiseNotSupported(); }
void TBaseDatabase::Op41() { RaiseNotSupported(); }

void TBaseDatabase::Op42(TBaseTable* cursor, const char* tableName) {
  WithTableCursor(this, cursor, tableName, [](TBaseTable* c) { c->Op101(); });
}

void TBaseDatabase::Op43(TBaseTable* cursor, const char* tableName) {
  WithTableCursor(this, cursor, tableName, [](TBaseTable* c) { c->Op102(); });
}

void TBaseDatabase::BeginTransaction(std::int32_t, void*& transaction) {
  transaction = nullptr;
  RaiseNotSupported();
}

void TBaseDatabase::EndTransaction(void*, std::int32_t) { RaiseNotSupported(); }

void TBaseDatabase::GetOpenModes(std::uint8_t (&record)[10]) {
  std::memset(record, 0, sizeof record);
  std::memcpy(record, &openMode_, 4);
  std::memcpy(record + 4, &shareMode_, 4);
}

void TBaseDatabase::Op47() { RaiseNotSupported(); }
void TBaseDatabase::OpenConnection() { RaiseNotSupported(); }
void TBaseDatabase::CloseConnection() { Connected = false; }
void TBaseDatabase::Op50() { RaiseNotSupported(); }
void TBaseDatabase::Op51() { RaiseNotSupported(); }

void TBaseDatabase::ExecuteSql(std::uint16_t statementKind, const char* sql, TBaseTable*& cursor) {
  cursor = nullptr;
  TSqlStmt* allocated = nullptr;
  AllocateStatement(statementKind, allocated);
  std::unique_ptr<TSqlStmt> statement(allocated);
  PrepareStatement(CheckHandle(allocated), sql);
  statement->ExecuteStatement(&cursor);
}

void TBaseDatabase::AllocateStatement(std::uint16_t, TSqlStmt*& statement) {
  statement = nullptr;
  RaiseNotSupported();
}

void TBaseDatabase::PrepareStatement(TSqlStmt* statement, const char* sql) {
  PrepareDriverStatement(statement, sql);
}
void TBaseDatabase::PrepareDriverStatement(TSqlStmt*, const char*) { RaiseNotSupported(); }
void TBaseDatabase::Op56() { RaiseNotSupported(); }

void TBaseDatabase::OpenStoredProcStatement(const char*, std::uint16_t, const TFieldDesc*,
                                            const void*, TSqlStmt*& statement) {
  statement = nullptr;
  RaiseNotSupported();
}

void TBaseDatabase::Op58() { RaiseEngineError(dberr::NA); }

// ---- TSqlStmt

TSqlStmt::TSqlStmt(TBaseDatabase* database, const char* text)
    : TBapiListItem(database, database != nullptr ? database->Statements() : nullptr) {
  SetStatementText(text);
  PrepareSource();
}

TSqlStmt::~TSqlStmt() {
  TSqlStmt::ReleaseSource();
  TSqlStmt::SetStatementText(nullptr);
}

void TSqlStmt::GetProperty(TPropertyId id, void* buffer, std::uint16_t size, std::uint16_t& length) {
  length = 0;
  switch (id) {
    case 1: {
      std::uint16_t kind = 32;
      PutPropertyBytes(&kind, sizeof kind, buffer, size, length);
      return;
    }
    case 4:
      PutPropertyBytes("", 1, buffer, size, length);
      return;
    case 16:
      PutPropertyBytes(&property16_, sizeof property16_, buffer, size, length);
      return;
    case kStatementRowCountProperty:
      PutPropertyBytes(&RowsAffected, sizeof RowsAffected, buffer, size, length);
      return;
    case kStatementAnswerNameProperty:
      PutPropertyBytes(AnswerName.c_str(), AnswerName.size() + 1, buffer, size, length);
      return;
    case kStatementAnswerTypeProperty:
      PutPropertyBytes(AnswerType.c_str(), AnswerType.size() + 1, buffer, size, length);
      return;
    default:
      TBapiListItem::GetProperty(id, buffer, size, length);  // 2, 3, 19 and the rest
  }
}

void TSqlStmt::SetProperty(TPropertyId id, TPropertyValue value) {
  const char* text = reinterpret_cast<const char*>(value);
  if (id == 16) property16_ = static_cast<std::uint32_t>(value);
  if (id == kStatementAnswerNameProperty) AnswerName = text != nullptr ? text : "";
  if (id == kStatementAnswerTypeProperty) AnswerType = text != nullptr ? text : "";
}

void TSqlStmt::CheckPropertyValue(TPropertyId id, TPropertyValue value) {
  if ((id >= 1 && id <= 4) || id == 19)
    if (value != 0) RaiseNotSupported();
}

void TSqlStmt::SetStatementText(const char* text) {
  text_.clear();
  hasText_ = text != nullptr;
  if (text != nullptr) text_ = text;
}

void TSqlStmt::PrepareSource() {}  // a driver prepares its own source
void TSqlStmt::ReleaseSource() {}
void TSqlStmt::BindParameters(std::uint16_t, const TFieldDesc*, const void*) { RaiseNotSupported(); }

void TSqlStmt::ExecuteStatement(TBaseTable** cursor) {
  if (cursor != nullptr) *cursor = nullptr;
  RaiseNotSupported();
}

void TSqlStmt::BindStoredParameters(std::uint16_t, const TFieldDesc*, const void*) { RaiseNotSupported(); }
void TSqlStmt::Op11() { RaiseNotSupported(); }
