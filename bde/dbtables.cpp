#include "bde/dbtables.h"

#include <algorithm>
#include <utility>

#include "dbengine/accbinding.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/dialogs/logindialogs.h"

// Each class names the class library's ancestor as its parent, so that the
// name chain is the class library's while the code is the engine's.
IMPLEMENT_CLASS(TSessionList, TObject)
IMPLEMENT_CLASS(TSession, TComponent)
IMPLEMENT_CLASS(TDatabase, TComponent)
IMPLEMENT_CLASS(TBDEDataSet, TDataSet)
IMPLEMENT_CLASS(TDBDataSet, TBDEDataSet)
IMPLEMENT_CLASS(TTable, TDBDataSet)
IMPLEMENT_CLASS(TQuery, TDBDataSet)
IMPLEMENT_CLASS(TStoredProc, TDBDataSet)
IMPLEMENT_CLASS(TBatchMove, TComponent)
IMPLEMENT_CLASS(TUpdateSQL, TComponent)

// A class publishes every property it has, its name ancestors' included: the
// ancestors' entries read their own C++ classes, which a TTable is not.
PUBLISHED(TBDEDataSet) { PublishBDEDatasetProperties(P); }
PUBLISHED(TDBDataSet) {
  PublishBDEDatasetProperties(P);
  PublishDBDatasetProperties(P);
}
PUBLISHED(TTable) {
  PublishBDEDatasetProperties(P);
  PublishDBDatasetProperties(P);
  PublishTableProperties(P);
  PROP_ENUM(TableType, TableType, SetTableType, ttDefault);
}
PUBLISHED(TQuery) {
  PublishBDEDatasetProperties(P);
  PublishDBDatasetProperties(P);
  PublishQueryProperties(P);
}
PUBLISHED(TStoredProc) {
  PublishBDEDatasetProperties(P);
  PublishDBDatasetProperties(P);
  PROP_STR(StoredProcName, StoredProcName, SetStoredProcName, "");
}
PUBLISHED(TBatchMove) { PublishBatchMoveProperties(P); }
PUBLISHED(TUpdateSQL) {
  PROP_OBJ(DeleteSQL, DeleteSQL, SetDeleteSQL);
  PROP_OBJ(InsertSQL, InsertSQL, SetInsertSQL);
  PROP_OBJ(ModifySQL, ModifySQL, SetModifySQL);
}
PUBLISHED(TDatabase) {
  PublishDatabaseProperties(P);
  PROP_ENUM(TransIsolation, TransIsolation, SetTransIsolation, tiReadCommitted);
}
PUBLISHED(TSession) { PublishSessionProperties(P); }

// ============================================================================
// Sessions
// ============================================================================

namespace {
TSessionList* gSessions = nullptr;
TSession* gDefaultSession = nullptr;
}  // namespace

TSessionList* Sessions() {
  if (gSessions) return gSessions;
  gSessions = new TSessionList();
  // The first session of a list is its default session.
  gDefaultSession = new TSession();
  gDefaultSession->SetSessionName("Default");
  return gSessions;
}

TSession* Session() {
  Sessions();
  return gDefaultSession;
}

void StopSessions() {
  TSessionList* list = std::exchange(gSessions, nullptr);
  gDefaultSession = nullptr;
  delete list;
}

TttSession* TSessionList::GetSessionClass(TComponent* owner) { return new TSession(owner); }
TSessionClass TSessionList::GetEngineClass() const { return AccessEngineSessionClass(); }

TSession::TSession(TComponent* owner) : TttSession(owner) { Sessions()->AddSession(this); }
// A program that frees the default session leaves the list without one
// rather than with a dangling one.
TSession::~TSession() {
  if (gDefaultSession == this) gDefaultSession = nullptr;
}

TttDatabase* TSession::GetDatabaseClass(TComponent* owner) { return new TDatabase(owner); }
TDataSet* TSession::GetTableClass(TComponent* owner) { return new TTable(owner); }

void TSession::AddPassword(const std::string& password) {
  if (password.empty()) return;
  RemovePassword(password);  // the latest given is tried first
  passwords_.push_back(password);
}

void TSession::RemovePassword(const std::string& password) {
  passwords_.erase(std::remove(passwords_.begin(), passwords_.end(), password), passwords_.end());
}

bool TSession::GetPassword() {
  std::string password;
  if (!::PasswordDialog(password) || password.empty()) return false;
  AddPassword(password);
  return true;
}

bool TSession::DoPassword() { return OnPassword ? TttSession::DoPassword() : GetPassword(); }

// ============================================================================
// Databases
// ============================================================================

TDatabase::TDatabase(TComponent* owner) : TttDatabase(owner) { SetListOf(Sessions()); }

// An open transaction ends with the connection: rolled back, as the engine
// would on closing.
TDatabase::~TDatabase() {
  if (!InTransaction()) return;
  try {
    Rollback();
  } catch (const Exception&) {
    // The connection closes all the same.
  }
}

void TDatabase::PrepareLogin(std::string& password) {
  TttDatabase::PrepareLogin(password);
  if (password.empty()) password = Params()->Values("PASSWORD");
  auto* session = As<TSession>(Session());
  if (password.empty() && session && !session->Passwords().empty()) password = session->Passwords().back();
}

bool TDatabase::RetryWithPassword(DBIResult code, std::string& password) {
  auto* session = As<TSession>(Session());
  if (code != dberr::InvalidPassword || !LoginPrompt() || !session || !session->DoPassword()) return false;
  // A handler that says "go on" without giving another password would
  // otherwise have the same one refused for ever.
  std::string latest = session->Passwords().empty() ? std::string() : session->Passwords().back();
  if (latest == password) return false;
  password = latest;
  return true;
}

namespace {
constexpr const char* kDatabaseClosed = "Cannot perform this operation on a closed database";
}  // namespace

void TDatabase::StartTransaction() {
  if (!Connected()) DatabaseError(kDatabaseClosed, this);
  if (InTransaction()) DatabaseError("Database is already in a transaction", this);
  void* transaction = nullptr;
  EngineCheck(Engine(), Engine()->BeginTransaction(Handle(), std::int32_t(transIsolation_), transaction));
  transaction_ = transaction;
}

void TDatabase::EndTransaction(std::int32_t endMode) {
  if (!Connected()) DatabaseError(kDatabaseClosed, this);
  if (!InTransaction()) DatabaseError("Database is not in a transaction", this);
  void* transaction = std::exchange(transaction_, nullptr);
  EngineCheck(Engine(), Engine()->EndTransaction(Handle(), transaction, endMode));
}

// The engine's end modes: 2 aborts, any other commits.
void TDatabase::Commit() { EndTransaction(0); }
void TDatabase::Rollback() { EndTransaction(2); }

// ============================================================================
// Datasets
// ============================================================================

TVirtEng* TBDEDataSet::Engine() const { return gSessions ? gSessions->Engine() : nullptr; }

TDBDataSet::TDBDataSet(TComponent* owner) : TttDBDataset(owner) { SetListOf(Sessions()); }

TTable::TTable(TComponent* owner) : TttTable(owner) { SetListOf(Sessions()); }

void TTable::SetTableType(TTableType type) {
  EnsureClosed();
  tableType_ = type;
}

const char* TTable::TableDriver() const {
  switch (tableType_) {
    case ttParadox: return "PARADOX";
    case ttDBase: return "DBASE";
    case ttASCII: return "ASCIIDRV";
    case ttDefault: break;
  }
  return TttTable::TableDriver();
}

TQuery::TQuery(TComponent* owner) : TttQuery(owner) { SetListOf(Sessions()); }

TStoredProc::TStoredProc(TComponent* owner) : TttQuery(owner) {
  SetListOf(Sessions());
  SetParamCheck(false);  // no SQL text to scan: the program gives the parameters
}

void TStoredProc::SetStoredProcName(const std::string& name) {
  if (name == procName_) return;
  DisconnectFromDatabase();
  procName_ = name;
}

const char* TStoredProc::MissingSourceText() const { return "Missing StoredProcName property"; }

void TStoredProc::PrepareStatement() {
  Check(Engine()->OpenStoredProcStatement(DBHandle(), procName_.c_str(), 0, nullptr, nullptr, StatementSlot()));
}

void TStoredProc::BindParams() {
  TParamImage image = ParamImage();
  Check(Engine()->BindStoredParameters(StatementSlot(), std::uint16_t(image.descs.size()), image.descs.data(),
                                       image.values.data()));
}

// ============================================================================
// Update objects
// ============================================================================

TUpdateSQL::TUpdateSQL(TComponent* owner) : TTDataSetUpdateObject(owner) {
  for (auto& text : sql_) {
    text = std::make_unique<TStringList>();
    // A changed statement is made again on its next use.
    text->OnChange = [this](TObject*) { FreeQueries(); };
  }
}

// The dataset forgets this object through its free notification.
TUpdateSQL::~TUpdateSQL() {
  for (auto& text : sql_) text->OnChange = nullptr;
}

void TUpdateSQL::SetDataSet(TDataSet* dataSet) {
  dataSet_ = dataSet;
  FreeQueries();
}

void TUpdateSQL::FreeQueries() {
  for (auto& q : queries_) q.reset();
}

TQuery* TUpdateSQL::Query(TUpdateKind kind) {
  if (queries_[kind]) return queries_[kind].get();
  auto q = std::make_unique<TQuery>();
  if (auto* d = As<TttDBDataset>(dataSet_)) {
    q->SetDatabaseName(d->DatabaseName());
    q->SetSessionName(d->SessionName());
  }
  q->SQL()->Assign(sql_[kind].get());
  queries_[kind] = std::move(q);
  return queries_[kind].get();
}

void TUpdateSQL::SetParams(TUpdateKind kind) {
  if (!dataSet_) return;
  TParams* params = Query(kind)->Params();
  constexpr std::string_view kOld = "OLD_";
  for (int i = 0; i < params->Count(); ++i) {
    TParam* param = params->Items(i);
    const std::string& name = param->Name();
    bool old = name.size() > kOld.size() && SameText(std::string_view(name).substr(0, kOld.size()), kOld);
    TField* field = dataSet_->FindField(old ? name.substr(kOld.size()) : name);
    if (!field) continue;
    // A field the change left alone (or a deleted record) has no new value:
    // its old one stands.
    Variant value = old ? field->OldValue() : field->NewValue();
    if (!old && value.IsEmpty()) value = field->OldValue();
    param->AssignFieldValue(field, value);
  }
}

void TUpdateSQL::Apply(TUpdateKind kind) {
  SetParams(kind);
  ExecSQL(kind);
}

TVirtEng* TBatchMove::Engine() const { return gSessions ? gSessions->Engine() : nullptr; }
