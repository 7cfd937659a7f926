#include "dbengine/accessdb.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "dbengine/accesserrors.h"
#include "dbengine/accesslists.h"
#include "dbengine/daowrappers.h"
#include "dbengine/enginetext.h"
#include "dbengine/qbesql.h"
#include "platform/classlib/core/currency.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/messagepump.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/core/strutils.h"

using dbengine_detail::SlotText;

IMPLEMENT_CLASS(TAccessSession, TBaseSession)
IMPLEMENT_CLASS(TAccessDatabase, TBaseDatabase)
IMPLEMENT_CLASS(TAccessSqlStmt, TSqlStmt)
IMPLEMENT_CLASS(TAccessSqlQueryDefStmt, TSqlStmt)

const char* const kAccessRegistryPath = "\\Software\\Morva\\Access";

// ---- The shared DAO engine

namespace {
// One lock for the choice, creation and release of the engine, whoever asks.
std::mutex& EngineLock() {
  static std::mutex lock;
  return lock;
}
std::shared_ptr<TDAOEngine> sharedEngine;
std::uint16_t sharedUseCount = 0;

template <class T>
T Load(const void* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

bool ClassKeyExists(const std::string& key) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  return reg.KeyExists(key);
}

int VersionPreference(const std::string& sessionPath) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  if (!reg.OpenKeyReadOnly(sessionPath + "\\Configuration\\DAO")) return 0;
  if (!reg.ValueExists("VersionPreference")) return 0;
  try {
    return reg.ReadInteger("VersionPreference");
  } catch (const Exception&) {
    return 0;
  }
}
}  // namespace

TDAOEngine* SharedDAOEngine() { return sharedEngine.get(); }

void IdleDAOEngine(TDAOEngine* engine) {
  if (engine != nullptr && engine->Intf != nullptr) engine->Idle(0);
}

std::uint16_t SharedDAOEngineUseCount() { return sharedUseCount; }

void ResetSharedDAOEngine() {
  std::lock_guard<std::mutex> guard(EngineLock());
  sharedEngine.reset();  // its holders keep it until they go
  sharedUseCount = 0;
}

// ---- Session

TAccessSession::TAccessSession(TBapiListItem* engine, TMorvaCollection* sessions, const char* name,
                               const char* networkDirectory)
    : TBaseSession(engine, sessions, name, networkDirectory) {
  SetCopyFlags(true, true);
  SetKeepPath(true);
  InitRegistryKey();
  if (IsMainThread()) {
    int preference = VersionPreference(registry_.KeyPath);
    bool found = false;
    bool use35 = true;
    if (preference == 30) {
      found = ClassKeyExists("\\DAO.DBEngine");
      use35 = false;
    } else if (preference == 35) {
      found = ClassKeyExists("\\DAO.DBEngine.35");
    } else if (ClassKeyExists("\\DAO.DBEngine.35")) {
      found = true;
    } else {
      found = ClassKeyExists("\\DAO.DBEngine");
      use35 = false;
    }
    std::lock_guard<std::mutex> guard(EngineLock());
    if (sharedEngine == nullptr && found) {
      auto created = std::make_shared<TDAOEngine>(use35, true);
      // An engine that did not start is not kept: a later session tries again.
      if (created->Ready != 0) sharedEngine = std::move(created);
    }
    if (sharedEngine == nullptr || sharedEngine->Ready == 0) RaiseEngineError(dberr::NotInitialized);
    ++sharedUseCount;
    counted_ = true;
  }
  engine_ = sharedEngine;
}

// The process forgets the engine with its last session; the engine itself
// goes with the last holder, which may be a database the base frees later.
TAccessSession::~TAccessSession() {
  if (counted_) {
    std::lock_guard<std::mutex> guard(EngineLock());
    if (sharedUseCount > 0 && --sharedUseCount == 0) sharedEngine.reset();
  }
}

void TAccessSession::InitRegistryKey() {
  registry_.RootKey = HKEY_LOCAL_MACHINE;
  registry_.KeyPath = kAccessRegistryPath;
}

void TAccessSession::CreateDatabase(const TDatabaseDesc& desc, const char*, std::int32_t openMode,
                                    std::int32_t shareMode, const char* password,
                                    std::uint16_t paramCount, const TFieldDesc* paramDescs,
                                    const void* paramValues, TBaseDatabase*& database) {
  database = nullptr;
  database = new TAccessDatabase(this, desc, openMode, shareMode, password, paramCount, paramDescs,
                                 paramValues);
}

void TAccessSession::IdleEngine() { IdleDAOEngine(engine_.get()); }

// ---- Database

TAccessDatabase::TAccessDatabase(TAccessSession* session, const TDatabaseDesc& desc,
                                 std::int32_t openMode, std::int32_t shareMode, const char* password,
                                 std::uint16_t paramCount, const TFieldDesc* paramDescs,
                                 const void* paramValues)
    : TBaseDatabase(session, session->Databases(), paramCount, paramDescs, paramValues,
                    SlotText(desc.Name).c_str(), openMode, shareMode, &desc),
      engine_(session->SharedEngine()),
      statementCollection_(std::make_unique<TMorvaCollection>()) {
  // The base constructor could not reach this class's registry modes.
  SetOpenModes(openMode, shareMode);
  if (SharedDAOEngine() == nullptr || engine_ == nullptr) RaiseEngineError(dberr::InvalidHndl);
  std::string path = SlotText(desc.PhysicalPath);
  PhysicalName = path.empty() ? SlotText(desc.Name) : path;
  Password = password != nullptr ? password : "";
  OpenConnection();
}

TAccessDatabase::~TAccessDatabase() {
  Shutdown();  // cursors and statements, then the DAO database, while this part exists
  statementCollection_.reset();
  IdleDAOEngine(engine_.get());
}

void TAccessDatabase::SetOpenModes(std::int32_t openMode, std::int32_t shareMode) {
  if (openMode == 0 && shareMode == 0) {
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ConnectOptions.clear();
    if (reg.OpenKeyReadOnly(std::string(kAccessRegistryPath) + "\\Aliases\\" + DatabaseName())) {
      try {
        if (reg.ValueExists("OpenMode")) openMode = reg.ReadInteger("OpenMode");
        if (reg.ValueExists("ShareMode")) shareMode = reg.ReadInteger("ShareMode");
        if (reg.ValueExists("Options")) ConnectOptions = reg.ReadString("Options");
      } catch (const Exception&) {
        // A value of the wrong kind counts as missing.
      }
    }
  }
  openMode_ = openMode;
  shareMode_ = shareMode;
  TBaseDatabase::SetOpenModes(openMode, shareMode);
}

void TAccessDatabase::OpenConnection() {
  if (Opened) return;
  delete DAODatabase;
  DAODatabase = nullptr;
  std::string connect = ConnectOptions;
  if (!Password.empty()) connect += ";pwd=" + Password;
  TDAOEngine* engine = CheckHandle(engine_.get());
  TDAODatabase* db = engine->OpenDatabase(PhysicalName, shareMode_ == 1, openMode_ == 1, connect);
  HRESULT status = db->Status;
  if ((status & 0xFFFF) != 0 || db->Intf == nullptr) {
    delete db;
    DaoCheck(status);
    RaiseEngineError(dberr::InvalidHndl);
  }
  DAODatabase = db;
  Opened = true;
  Connected = true;
}

void TAccessDatabase::CloseConnection() {
  if (Opened && DAODatabase != nullptr) DAODatabase->Close();
  delete DAODatabase;
  DAODatabase = nullptr;
  Opened = false;
  Connected = false;
}

TAccessTable* TAccessDatabase::OpenAccessCursor(const char* source, std::int32_t openMode,
                                                std::int32_t shareMode, bool queryCursor,
                                                TDAOQuerydef* queryDef) {
  IdleDAOEngine(engine_.get());
  auto cursor = std::make_unique<TAccessTable>(this, OpenCursors(), source, "ACCESS", openMode,
                                               shareMode, DAODatabase);
  cursor->IsQueryCursor = queryCursor;
  cursor->SetQueryDef(queryDef);
  cursor->OpenCursor();
  TCursorProps props;
  cursor->GetCursorProperties(props);
  return cursor.release();
}

namespace {
// Tables are named with no driver, this driver's own name, the standard
// (local-table) driver or the Paradox driver the engine's components name for
// a file database; they all open Access tables. A driver of another file
// format (dBASE, ASCII text ...) is not served here.
constexpr DBIResult kUnknownTableType = 0x2707;
void CheckDriverType(const char* driverType) {
  for (const char* served : {"", "ACCESS", "STANDARD", "PARADOX"})
    if (driverType == nullptr || strcasecmp(driverType, served) == 0) return;
  RaiseEngineErrorText(kUnknownTableType, driverType);
}
}  // namespace

void TAccessDatabase::OpenTable(const char* tableName, const char* driverType, const char* indexName,
                                const char* indexTag, std::uint16_t, std::int32_t openMode,
                                std::int32_t shareMode, std::int32_t, bool, const void*,
                                TBaseTable*& cursor) {
  cursor = nullptr;
  CheckParam(tableName);
  CheckDriverType(driverType);
  OpenConnection();
  std::unique_ptr<TAccessTable> table(OpenAccessCursor(tableName, openMode, shareMode, false, nullptr));
  if (indexName != nullptr && *indexName != '\0') table->SwitchToIndex(indexName, indexTag, 0, false);
  cursor = table.release();
}

void TAccessDatabase::OpenTableList(const char* pattern, std::uint32_t flags, TBaseTable*& cursor) {
  cursor = nullptr;
  OpenConnection();
  cursor = new TAccessTblListTable(DAODatabase, (flags & 1) != 0, (flags & 2) != 0, pattern);
}

void TAccessDatabase::OpenFieldList(const char* tableName, const char* driverType, bool,
                                    TBaseTable*& cursor) {
  cursor = nullptr;
  CheckParam(tableName);
  CheckDriverType(driverType);
  OpenConnection();
  cursor = new TAccessFieldListTable(DAODatabase, tableName, nullptr, nullptr);
}

void TAccessDatabase::OpenStoredProcList(const char*, TBaseTable*& cursor) {
  cursor = nullptr;
  OpenConnection();
  cursor = new TAccessStoredProcTable(DAODatabase);
}

TDAOQuerydef* TAccessDatabase::FindQueryDef(const std::string& name) {
  std::unique_ptr<TDAOQuerydefs> defs(DAODatabase->QueryDefs());
  DaoCheck(defs->Status);
  std::int16_t count = defs->Count();
  for (std::int16_t i = 0; i < count; ++i) {
    std::unique_ptr<TDAOQuerydef> def(defs->Item(i));
    DaoCheck(def->Status);
    if (AnsiSameText(def->GetName(), name)) return def.release();
  }
  return nullptr;
}

void TAccessDatabase::OpenStoredProcParamList(const char* procName, TBaseTable*& cursor) {
  cursor = nullptr;
  CheckParam(procName);
  OpenConnection();
  std::unique_ptr<TDAOQuerydef> def(FindQueryDef(procName));
  if (def == nullptr) RaiseEngineError(dberr::InvalidParam);
  cursor = new TAccessStoredParamsTable(def.get());
}

void TAccessDatabase::EmptyTable(TBaseTable* cursor, const char* tableName) {
  std::string name = cursor != nullptr ? cursor->GetTableName() : (tableName != nullptr ? tableName : "");
  if (name.empty()) return;
  // The dialect has no escape inside a quoted name: take the quotes the name
  // does not hold, so that it cannot end early and name another table.
  std::string quoted;
  if (name.find(']') == std::string::npos)
    quoted = "[" + name + "]";
  else if (name.find('`') == std::string::npos)
    quoted = "`" + name + "`";
  else
    RaiseEngineError(dberr::InvalidParam);
  TBaseTable* none = nullptr;
  ExecuteSql(2, ("DELETE FROM " + quoted).c_str(), none);
}

void TAccessDatabase::BeginTransaction(std::int32_t, void*& transaction) {
  TDAOEngine* engine = CheckHandle(engine_.get());
  engine->BeginTrans();
  DaoCheck(engine->Status);
  transaction = this;
}

void TAccessDatabase::EndTransaction(void*, std::int32_t endMode) {
  TDAOEngine* engine = CheckHandle(engine_.get());
  if (endMode == 2)
    engine->Rollback();
  else
    engine->CommitTrans();
  DaoCheck(engine->Status);
}

void TAccessDatabase::ExecuteSql(std::uint16_t statementKind, const char* sql, TBaseTable*& cursor) {
  cursor = nullptr;
  if (statementKind != 2) RaiseEngineError(dberr::InvalidParam);
  CheckParam(sql);
  OpenConnection();
  DAODatabase->Execute(sql);
  DaoCheck(DAODatabase->Status);
}

void TAccessDatabase::AllocateStatement(std::uint16_t queryLanguage, TSqlStmt*& statement) {
  statement = new TAccessSqlStmt(this, nullptr, queryLanguage);
}

void TAccessDatabase::PrepareStatement(TSqlStmt* statement, const char* sql) {
  CheckParam(statement)->SetStatementText(sql);
  OpenConnection();
}

void TAccessDatabase::OpenStoredProcStatement(const char* procName, std::uint16_t paramCount,
                                              const TFieldDesc* paramDescs, const void* paramValues,
                                              TSqlStmt*& statement) {
  statement = nullptr;
  CheckParam(procName);
  OpenConnection();
  auto created = std::make_unique<TAccessSqlQueryDefStmt>(this, procName);
  created->BindStoredParameters(paramCount, paramDescs, paramValues);
  statement = created.release();
}

// ---- Statements

TAccessSqlStmt::TAccessSqlStmt(TAccessDatabase* database, const char* text, std::uint16_t language)
    : TSqlStmt(database, text), example_(language == kQbeLanguage) {
  // The base constructor stored the text without this class's rewriting.
  if (text != nullptr) SetStatementText(text);
}

void TAccessSqlStmt::SetStatementText(const char* text) {
  if (text == nullptr) {
    TSqlStmt::SetStatementText(nullptr);
    return;
  }
  std::string s = example_ && !binding_ ? TranslateQbeToSql(text) : std::string(text);
  if (example_ && !binding_) textAnswer_ = QbeAnswerName(text);
  for (std::size_t at = s.find("%'"); at != std::string::npos; at = s.find("%'", at + 2)) s[at] = '*';
  TSqlStmt::SetStatementText(s.c_str());
  if (!binding_) markedText_ = StatementText();
}

namespace {
// Date and time literals are formatted into fixed buffers: the numbers are small.
std::string DateLiteral(TDateTime value, bool withTime) {
  std::uint16_t y = 0, m = 0, d = 0, hh = 0, mm = 0, ss = 0, ms = 0;
  DecodeDate(value, y, m, d);
  char text[48];
  if (withTime) {
    DecodeTime(value, hh, mm, ss, ms);
    std::snprintf(text, sizeof text, "#%u/%u/%u %02u:%02u:%02u#", unsigned(m), unsigned(d), unsigned(y),
                  unsigned(hh), unsigned(mm), unsigned(ss));
  } else {
    std::snprintf(text, sizeof text, "#%u/%u/%u#", unsigned(m), unsigned(d), unsigned(y));
  }
  return text;
}

// Text in quotes, its own quotes doubled so that none ends the literal; a NUL
// would end the statement, so the text ends there.
std::string QuotedLiteral(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::string quoted = "'";
  for (char c : text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

std::string NumberLiteral(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}
}  // namespace

std::string AccessParameterLiteral(std::uint16_t fieldType, const void* value, std::uint16_t length) {
  const auto* bytes = static_cast<const std::uint8_t*>(value);
  switch (fieldType) {
    case fldtype::ZString:
      return QuotedLiteral(SlotText(reinterpret_cast<const char*>(bytes), length != 0 ? length : 1));
    case fldtype::Date:
      return DateLiteral(TimeStampToDateTime(TTimeStamp{0, Load<std::int32_t>(bytes)}), false);
    case fldtype::Bool:
      return (length == 1 ? bytes[0] != 0 : Load<std::int16_t>(bytes) != 0) ? "TRUE" : "FALSE";
    case fldtype::Int16:
      return std::to_string(length == 1 ? static_cast<int>(static_cast<std::int8_t>(bytes[0]))
                                        : static_cast<int>(Load<std::int16_t>(bytes)));
    case fldtype::Int32:
      return std::to_string(Load<std::int32_t>(bytes));
    case fldtype::UInt16:
      return std::to_string(length == 1 ? unsigned(bytes[0]) : unsigned(Load<std::uint16_t>(bytes)));
    case fldtype::UInt32:
      return std::to_string(Load<std::uint32_t>(bytes));
    case fldtype::BCD: {
      TBcd bcd;
      std::memcpy(&bcd, bytes, std::min<std::size_t>(length, sizeof bcd));
      return BcdToPlainText(bcd);  // '.' as the decimal point; "" when special
    }
    case fldtype::Float:
      return NumberLiteral(Load<double>(bytes));
    case fldtype::Time: {
      std::int32_t msecs = Load<std::int32_t>(bytes);
      int seconds = msecs / 1000;
      char text[32];
      std::snprintf(text, sizeof text, "#%02d:%02d:%02d#", seconds / 3600, seconds / 60 % 60, seconds % 60);
      return text;
    }
    case fldtype::TimeStamp:
      return DateLiteral(TimeStampToDateTime(MSecsToTimeStamp(Load<double>(bytes))), true);
    default:
      return {};
  }
}

void TAccessSqlStmt::BindParameters(std::uint16_t count, const TFieldDesc* descs, const void* values) {
  if (count == 0) return;
  CheckParam(descs);
  CheckParam(values);
  const auto* buffer = static_cast<const std::uint8_t*>(values);
  std::vector<std::string> literals;
  for (std::uint16_t i = 0; i < count; ++i) {
    const TFieldDesc& d = descs[i];
    if (!SlotText(d.Name).empty()) continue;  // named parameters are not positional
    if (d.StatusOffset != 0 && Load<std::int16_t>(buffer + d.StatusOffset) == -1) {
      literals.push_back("NULL");
      continue;
    }
    std::string literal;
    if (d.FieldType == fldtype::Blob || (d.FieldType == fldtype::ZString && d.Units1 > 255)) {
      // Long texts and blobs travel as a slot: the address of the text, then its length.
      const char* text = nullptr;
      std::memcpy(&text, buffer + d.Offset, sizeof text);
      auto length = Load<std::uint32_t>(buffer + d.Offset + sizeof text);
      // Any length: the text does not pass through a 16-bit slot.
      literal = QuotedLiteral(text ? std::string_view(text, length) : std::string_view());
    } else {
      literal = AccessParameterLiteral(d.FieldType, buffer + d.Offset, d.Length);
    }
    // A value without a literal would let the next one take its marker.
    if (literal.empty()) RaiseEngineError(dberr::NotSupported);
    literals.push_back(literal);
  }
  // One pass over the prepared text (each binding starts from its markers):
  // markers inside quoted text, and any "?" a literal brings along, are never
  // taken for parameter markers.
  std::string text = markedText_;
  std::string result;
  char quote = 0;
  std::size_t next = 0;
  for (char c : text) {
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '?' && next < literals.size()) {
      result += literals[next++];
      continue;
    }
    result += c;
  }
  binding_ = true;
  SetStatementText(result.c_str());
  binding_ = false;
}

// The caller's request decides, not the text: a query may begin with
// PARAMETERS or a parenthesis, and DAO itself refuses a result set of an
// action query and the execution of a select query.
void TAccessSqlStmt::ExecuteStatement(TBaseTable** cursor) {
  TAccessDatabase* db = AccessDatabase();
  std::string text = StatementText();
  RowsAffected = -1;
  if (std::string answer = AnswerTable(); !answer.empty()) {
    if (cursor != nullptr) *cursor = nullptr;
    WriteAnswerTable(answer, text);
    // The answer is the new table: its cursor edits what was written.
    if (cursor != nullptr) *cursor = db->OpenAccessCursor(answer.c_str(), 0, 0, false, nullptr);
    return;
  }
  if (cursor == nullptr) {
    // Only the count of the rows the statement changed comes back.
    TBaseTable* none = nullptr;
    db->ExecuteSql(2, text.c_str(), none);
    RowsAffected = db->DAODatabase->RecordsAffected();
    DaoCheck(db->DAODatabase->Status);
    return;
  }
  *cursor = nullptr;
  db->OpenConnection();
  *cursor = db->OpenAccessCursor(text.c_str(), 0, 0, true, nullptr);
}

namespace {
// The column type that holds a result column's values: numbering columns
// become plain numbers, since the answer keeps the values it was given.
std::string AnswerColumnType(TDAOField* field) {
  switch (field->Type()) {
    case daotype::Boolean: return "BIT";
    case daotype::Byte: return "BYTE";
    case daotype::Integer: return "SHORT";
    case daotype::Long: return "LONG";
    case daotype::Currency: return "CURRENCY";
    case daotype::Single: return "SINGLE";
    case daotype::Double: return "DOUBLE";
    case daotype::Date: return "DATETIME";
    case daotype::Binary: return "BINARY(" + std::to_string(std::max(1, field->Size())) + ")";
    case daotype::Text: return "TEXT(" + std::to_string(std::clamp(field->Size(), 1, 255)) + ")";
    case daotype::LongBinary: return "LONGBINARY";
    case daotype::Memo: return "MEMO";
    case daotype::GUID: return "GUID";
    default: RaiseEngineErrorText(dberr::NotSupported, "answer column \"" + field->GetName() + "\"");
  }
}

// An answer table is one table of this database: a plain name, without a
// place of its own, that a bracketed name can carry.
void CheckAnswerName(const std::string& name) {
  bool plain = !name.empty() && name.size() <= 64 && name.front() != ' ' &&
               name.find_first_of(".!`[]/\\:") == std::string::npos &&
               std::none_of(name.begin(), name.end(), [](unsigned char c) { return c < 32; });
  if (!plain) RaiseEngineErrorText(dberr::InvalidParam, "answer table \"" + name + "\"");
}
}  // namespace

void TAccessSqlStmt::WriteAnswerTable(const std::string& name, const std::string& sql) {
  TAccessDatabase* db = AccessDatabase();
  CheckDriverType(AnswerType.c_str());
  CheckAnswerName(name);
  db->OpenConnection();
  bool exists = false;
  db->TableExists(name.c_str(), exists);
  // An answer never replaces a table: the name may be one the user keeps.
  if (exists) RaiseEngineErrorText(dberr::TableExists, name);
  // The selection's own columns give the new table's; an action statement
  // has no result and fails here, before anything is written.
  std::unique_ptr<TDAORecordset> rs(db->DAODatabase->OpenRecordset(sql, -1));
  DaoCheck(db->DAODatabase->Status);
  if (rs != nullptr) DaoCheck(rs->Status);
  if (rs == nullptr || rs->Intf == nullptr) RaiseEngineError(dberr::InvalidHndl);
  std::unique_ptr<TDAOFields> fields(rs->GetFields());
  DaoCheck(rs->Status);
  std::string columns;
  for (std::int16_t i = 0, n = fields->Count(); i < n; ++i) {
    std::unique_ptr<TDAOField> field(fields->Item(i));
    DaoCheck(fields->Status);
    if (field->GetName().find_first_of("[]") != std::string::npos)
      RaiseEngineErrorText(dberr::InvalidParam, "answer column \"" + field->GetName() + "\"");
    columns += (columns.empty() ? "[" : ", [") + field->GetName() + "] " + AnswerColumnType(field.get());
  }
  rs.reset();
  TBaseTable* none = nullptr;
  db->ExecuteSql(2, ("CREATE TABLE [" + name + "] (" + columns + ")").c_str(), none);
  try {
    db->ExecuteSql(2, ("INSERT INTO [" + name + "] " + sql).c_str(), none);
    RowsAffected = db->DAODatabase->RecordsAffected();
  } catch (...) {
    db->DAODatabase->Execute("DROP TABLE [" + name + "]");  // the half-made answer goes
    throw;
  }
}

TAccessSqlQueryDefStmt::TAccessSqlQueryDefStmt(TAccessDatabase* database, const char* name)
    : TSqlStmt(database, name) {
  // The base constructor could not reach this class's source preparation.
  PrepareSource();
}

TAccessSqlQueryDefStmt::~TAccessSqlQueryDefStmt() { ReleaseSource(); }

void TAccessSqlQueryDefStmt::PrepareSource() {
  ReleaseSource();
  auto* db = static_cast<TAccessDatabase*>(Database());
  if (db == nullptr || db->DAODatabase == nullptr) return;
  QueryDef = db->FindQueryDef(StatementText());
  if (QueryDef == nullptr) RaiseEngineErrorText(dberr::InvalidParam, StatementText());  // named, as users look for it
}

void TAccessSqlQueryDefStmt::ReleaseSource() {
  delete QueryDef;
  QueryDef = nullptr;
}

void TAccessSqlQueryDefStmt::BindStoredParameters(std::uint16_t count, const TFieldDesc* descs,
                                                  const void* values) {
  if (count == 0 || values == nullptr || QueryDef == nullptr) return;
  CheckParam(descs);
  const auto* buffer = static_cast<const std::uint8_t*>(values);
  std::unique_ptr<TDAOParameters> params(QueryDef->Parameters());
  DaoCheck(params->Status);
  for (std::uint16_t i = 0; i < count; ++i) {
    std::unique_ptr<TDAOParameter> param(params->Item(static_cast<std::int16_t>(i)));
    DaoCheck(param->Status);
    const TFieldDesc& d = descs[i];
    const std::uint8_t* v = buffer + d.Offset;
    Variant value = DaoMissingArg();
    bool isNull = d.StatusOffset != 0 && buffer[d.StatusOffset] == 0xFF;
    if (!isNull) {
      switch (d.FieldType) {
        case fldtype::ZString: value = DaoVarStr(SlotText(reinterpret_cast<const char*>(v), d.Length != 0 ? d.Length : 1)); break;
        case fldtype::Date: value = DaoVarDate(TimeStampToDateTime(TTimeStamp{0, Load<std::int32_t>(v)})); break;
        case fldtype::Bool:
        case fldtype::Bytes: value = DaoVarBool(Load<std::int16_t>(v) != 0); break;
        case fldtype::Int16: value = DaoVarI2(Load<std::int16_t>(v)); break;
        case fldtype::Int32: value = DaoVarI4(Load<std::int32_t>(v)); break;
        case fldtype::Float: {
          double x = Load<double>(v);
          std::int16_t type = param->Type();
          if (type == daotype::Currency)
            value = DaoVarCY(Currency::FromRaw(std::llround(x * 10000.0)));
          else if (type == daotype::Single)
            value = DaoVarR4(static_cast<float>(x));
          else if (type == daotype::Double)
            value = DaoVarR8(x);
          else
            continue;
          break;
        }
        case fldtype::TimeStamp: value = DaoVarDate(TimeStampToDateTime(MSecsToTimeStamp(Load<double>(v)))); break;
        default: break;
      }
    }
    param->SetValue(value);
    DaoCheck(param->Status);
  }
}

void TAccessSqlQueryDefStmt::ExecuteStatement(TBaseTable** cursor) {
  if (QueryDef == nullptr) PrepareSource();
  auto* db = static_cast<TAccessDatabase*>(Database());
  RowsAffected = -1;
  if (cursor == nullptr) {
    QueryDef->Execute();
    DaoCheck(QueryDef->Status);
    RowsAffected = db->DAODatabase->RecordsAffected();
    DaoCheck(db->DAODatabase->Status);
    return;
  }
  *cursor = nullptr;
  *cursor = db->OpenAccessCursor(StatementText().c_str(), 0, 0, true, QueryDef);
}
