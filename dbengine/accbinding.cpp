#include "dbengine/accbinding.h"

#include <utility>

#include "dbengine/accessdb.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/win32/sync.h"

namespace {

// The binding's one set of objects.
struct TAccessBinding {
  TtaSessionList* sessionList = nullptr;
  TtaSession* defaultSession = nullptr;
  CRITICAL_SECTION section;
};

TAccessBinding& Binding() {
  static TAccessBinding binding;
  return binding;
}

}  // namespace

void StartAccessBinding() {
  TAccessBinding& b = Binding();
  if (b.sessionList) return;
  b.sessionList = new TtaSessionList();
  // The first session of the list is its default session.
  b.defaultSession = new TtaSession();
  b.defaultSession->SetSessionName("Access");
}

void StopAccessBinding() {
  TAccessBinding& b = Binding();
  TtaSessionList* list = std::exchange(b.sessionList, nullptr);
  if (!list) return;
  // The sessions enter the section while the list closes them, so it goes last.
  delete list;
  b.defaultSession = nullptr;
  DeleteCriticalSection(&b.section);
}

TtaSessionList* AccessSessionList() {
  StartAccessBinding();
  return Binding().sessionList;
}

TtaSession* AccessDefaultSession() {
  StartAccessBinding();
  return Binding().defaultSession;
}

TVirtEng* AccessEngine() {
  TtaSessionList* list = Binding().sessionList;
  return list ? list->TttSessionlist::Engine() : nullptr;
}

namespace {
// Hooks of components that may outlive the binding answer nil then.
TtaSession* CurrentDefaultSession() { return Binding().defaultSession; }
}  // namespace

// ============================================================================
// Session list
// ============================================================================

IMPLEMENT_CLASS(TtaSessionList, TttSessionlist)

TtaSessionList::TtaSessionList() { InitCriticalSection(); }

TVirtEng* TtaSessionList::Engine() const { return TttSessionlist::Engine(); }
TttSession* TtaSessionList::DefaultSession() const { return CurrentDefaultSession(); }
TttSession* TtaSessionList::GetSessionClass(TComponent* owner) { return new TtaSession(owner); }
void TtaSessionList::InitCriticalSection() { InitializeCriticalSection(&Binding().section); }
void TtaSessionList::DoneCriticalSection() { DeleteCriticalSection(&Binding().section); }

TSessionClass AccessEngineSessionClass() {
  return [](TVirtEng* engine, TMorvaCollection* sessions, const char* name,
            const char* dir) -> TBaseSession* { return new TAccessSession(engine, sessions, name, dir); };
}

TSessionClass TtaSessionList::GetEngineClass() const { return AccessEngineSessionClass(); }

// ============================================================================
// Session, database, batch move and blob stream
// ============================================================================

IMPLEMENT_CLASS(TtaSession, TttSession)
PUBLISHED(TtaSession) {
  PUBLISHED_METHOD(SetEngineObject);
  PUBLISHED_METHOD(CriticalSectionStart);
  PUBLISHED_METHOD(CriticalSectionEnd);
  PUBLISHED_METHOD(SetSessionList);
  PUBLISHED_METHOD(GetDatabaseClass);
  PUBLISHED_METHOD(GetTableClass);
}

TtaSession::TtaSession(TComponent* owner) : TttSession(owner) { SetSessionList(); }
// A program that frees the default session leaves the binding without one
// rather than with a dangling one.
TtaSession::~TtaSession() {
  if (Binding().defaultSession == this) Binding().defaultSession = nullptr;
}

TVirtEng* TtaSession::Engine() const { return AccessEngine(); }
void TtaSession::SetEngineObject(TVirtEng* engine) {
  if (TtaSessionList* list = Binding().sessionList) list->SetEngine(engine);
}
// A session the binding no longer lists has nothing left to guard.
void TtaSession::CriticalSectionStart() {
  if (SessionList()) EnterCriticalSection(&Binding().section);
}
void TtaSession::CriticalSectionEnd() {
  if (SessionList()) LeaveCriticalSection(&Binding().section);
}
void TtaSession::SetSessionList() { AccessSessionList()->AddSession(this); }
TSessionClass TtaSession::GetEngineClass() const {
  TtaSessionList* list = Binding().sessionList;
  return list ? list->GetEngineClass() : nullptr;
}
TttSession* TtaSession::DefaultSession() const { return CurrentDefaultSession(); }
TttDatabase* TtaSession::GetDatabaseClass(TComponent* owner) { return new TtaDatabase(owner); }
TDataSet* TtaSession::GetTableClass(TComponent* owner) { return new TtaTable(owner); }

IMPLEMENT_CLASS(TtaDatabase, TttDatabase)
PUBLISHED(TtaDatabase) { PUBLISHED_METHOD(SetSessionList); }

TtaDatabase::TtaDatabase(TComponent* owner) : TttDatabase(owner) { SetSessionList(); }
TVirtEng* TtaDatabase::Engine() const { return AccessEngine(); }
void TtaDatabase::SetSessionList() { SetListOf(AccessSessionList()); }
TttSession* TtaDatabase::DefaultSession() const { return CurrentDefaultSession(); }

IMPLEMENT_CLASS(TtaBatchMove, TttBatchMove)
TVirtEng* TtaBatchMove::Engine() const { return AccessEngine(); }

IMPLEMENT_CLASS(TtaBlobStream, TttBlobStream)
TVirtEng* TtaBlobStream::Engine() const { return AccessEngine(); }

// ============================================================================
// Table and query
// ============================================================================

namespace {
TStream* NewBlobStream(TttBDEDataset* dataSet, TField* field, TBlobStreamMode mode) {
  TBlobField* blob = BlobFieldOf(field);
  if (!blob) throw EInvalidCast("Invalid class typecast");
  return new TtaBlobStream(dataSet, blob, mode);
}
}  // namespace

IMPLEMENT_CLASS(TtaTable, TttTable)
PUBLISHED(TtaTable) {
  PUBLISHED_METHOD(SetSessionList);
  PUBLISHED_METHOD(GetBatchMoveClass);
  PUBLISHED_METHOD(CreateBlobStream);
}

TtaTable::TtaTable(TComponent* owner) : TttTable(owner) { SetSessionList(); }
TVirtEng* TtaTable::Engine() const { return AccessEngine(); }
void TtaTable::SetSessionList() { SetListOf(AccessSessionList()); }
TttSession* TtaTable::DefaultSession() const { return CurrentDefaultSession(); }
TttBatchMove* TtaTable::GetBatchMoveClass(TComponent* owner) { return new TtaBatchMove(owner); }
TStream* TtaTable::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  return NewBlobStream(this, field, mode);
}

IMPLEMENT_CLASS(TtaQuery, TttQuery)
PUBLISHED(TtaQuery) {
  PUBLISHED_METHOD(SetSessionList);
  PUBLISHED_METHOD(CreateBlobStream);
}

TtaQuery::TtaQuery(TComponent* owner) : TttQuery(owner) { SetSessionList(); }
TVirtEng* TtaQuery::Engine() const { return AccessEngine(); }
void TtaQuery::SetSessionList() { SetListOf(AccessSessionList()); }
TttSession* TtaQuery::DefaultSession() const { return CurrentDefaultSession(); }
TStream* TtaQuery::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  return NewBlobStream(this, field, mode);
}
