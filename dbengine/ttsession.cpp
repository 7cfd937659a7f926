#include "dbengine/ttsession.h"

#include <algorithm>
#include <cstring>

#include "dbengine/enginetypes.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/messagepump.h"
#include "platform/classlib/core/strutils.h"
#include "platform/win32/system.h"
#include "dbengine/tttable.h"
#include "platform/classlib/db/dataset.h"

IMPLEMENT_CLASS(TttError, TObject)
IMPLEMENT_CLASS(ETDBEngineError, EDatabaseError)
IMPLEMENT_CLASS(TttBDECallback, TObject)
IMPLEMENT_CLASS(TttSessionlist, TObject)
IMPLEMENT_CLASS(TttSession, TComponent)
IMPLEMENT_CLASS(TttDatabase, TComponent)

PUBLISHED(TttSession) { PublishSessionProperties(P); }

PUBLISHED(TttDatabase) { PublishDatabaseProperties(P); }

namespace {

// The session's hooks are the engine's while one of its databases opens.
class TOpenUpkeepScope {
 public:
  explicit TOpenUpkeepScope(const DaoOpenHooks& hooks) : set_(hooks.Progress || hooks.Notice) {
    if (set_) before_ = DaoSetOpenHooks(hooks);
  }
  ~TOpenUpkeepScope() {
    if (set_) DaoSetOpenHooks(std::move(before_));
  }
  TOpenUpkeepScope(const TOpenUpkeepScope&) = delete;
  TOpenUpkeepScope& operator=(const TOpenUpkeepScope&) = delete;

 private:
  bool set_;
  DaoOpenHooks before_;
};

}  // namespace

namespace {

constexpr DBIResult kMultipleInit = 0x2A07;
constexpr DBIResult kNoMessageCode = 0x2EC4;  // its stack texts are not repeated
constexpr TPropertyId kConfigModeProperty = 0x2000C;
constexpr TPropertyId kNetDirProperty = 0x20002;
constexpr TPropertyId kDriverTypeProperty = 0x40002;
constexpr TPropertyId kSqlWordProperty = 0x4040007;
constexpr std::uint8_t kSessionOnlyMode = 4;
constexpr std::uint8_t kAllModes = 7;
constexpr std::int32_t kWaitCursorCallback = 21;
constexpr std::int32_t kLoginCallback = 28;
constexpr int kSqlWaitCursor = -17;
constexpr int kDefaultCursor = 0;
constexpr unsigned kWaitWindowMs = 1000;    // the wait cursor's timer
constexpr std::uint32_t kWaitDelayMs = 500;  // calls before this show nothing

// The process's one wait cursor (there is one screen): the session whose
// hooks show it (nil: none), its timer (0: none) and when it started.
struct TWaitCursorState {
  TttSession* owner = nullptr;
  std::uintptr_t timer = 0;
  std::uint32_t startTick = 0;
} waitCursor;

std::uint32_t WaitTickCount(const TttSession* session) {
  const auto& clock = session->WaitCursorHooks.TickCount;
  return clock ? clock() : GetTickCount();
}

std::string Cut(const std::string& text, std::size_t chars) {
  return text.size() > chars ? text.substr(0, chars) : text;
}

// Holds the session lock for a scope.
class TSessionLock {
 public:
  explicit TSessionLock(TttSession* session) : session_(session) { session_->LockSession(); }
  ~TSessionLock() { session_->UnlockSession(); }
  TSessionLock(const TSessionLock&) = delete;
  TSessionLock& operator=(const TSessionLock&) = delete;

 private:
  TttSession* session_;
};

// Holds the binding's critical section for a scope.
class TSectionGuard {
 public:
  explicit TSectionGuard(TttSession* session) : session_(session) { session_->CriticalSectionStart(); }
  ~TSectionGuard() { session_->CriticalSectionEnd(); }
  TSectionGuard(const TSectionGuard&) = delete;
  TSectionGuard& operator=(const TSectionGuard&) = delete;

 private:
  TttSession* session_;
};

}  // namespace

// ============================================================================
// Wait cursor
// ============================================================================

void StopWaitCursor() {
  // The wait cursor, its timer and the screen belong to the main thread: an
  // engine error raised on another thread leaves them alone.
  if (!IsMainThread() || !waitCursor.owner) return;
  TttSession* owner = waitCursor.owner;
  if (waitCursor.timer != 0 && owner->WaitCursorHooks.KillTimer) owner->WaitCursorHooks.KillTimer(waitCursor.timer);
  waitCursor = {};
  if (owner->ScreenCursor) owner->ScreenCursor(kDefaultCursor);
}

int TttSession::WaitCursorRoutine() {
  if (!IsMainThread() || WaitCursorGate != 1) return 0;
  // Another session's wait cursor ends before this one's starts.
  if (waitCursor.owner != this) StopWaitCursor();
  if (waitCursor.timer == 0) {
    // The first call of a long operation only starts the timer.
    waitCursor.owner = this;
    if (WaitCursorHooks.StartTimer) waitCursor.timer = WaitCursorHooks.StartTimer(kWaitWindowMs, StopWaitCursor);
    waitCursor.startTick = WaitTickCount(this);
    return 0;
  }
  if (WaitTickCount(this) - waitCursor.startTick > kWaitDelayMs && ScreenCursor) ScreenCursor(kSqlWaitCursor);
  return 0;
}

void TttSession::RunWaitCursor() {
  if (!IsMainThread()) return;
  for (const auto& record : callbacks_)
    if (record->CallbackType() == kWaitCursorCallback) {
      WaitCursorGate = 1;
      record->Invoke();
    }
}

// ============================================================================
// Engine errors
// ============================================================================

ETDBEngineError::ETDBEngineError(TVirtEng* engine, DBIResult code) {
  StopWaitCursor();
  std::vector<std::string> lines;
  auto addLine = [&](const std::string& text) {
    std::string line = Trim(text);
    if (!line.empty() && std::find(lines.begin(), lines.end(), line) == lines.end())
      lines.push_back(line);
  };
  std::string topText;
  if (engine) engine->FindErrorEntry(code, topText);
  topText = Trim(topText);
  errors_.push_back(std::make_shared<TttError>(code, 0, topText));
  if (code != kNoMessageCode) addLine(topText);
  for (std::uint16_t n = 1; engine; ++n) {
    std::int32_t native = 0;
    std::string text;
    DBIResult entryCode = engine->GetErrorText(n, native, text);
    if (entryCode == 0 || entryCode == dberr::NotInitialized) break;
    errors_.push_back(std::make_shared<TttError>(entryCode, native, text));
    if (native == 0 && code != kNoMessageCode) {
      std::string stackText;
      engine->FindErrorEntry(entryCode, stackText);
      addLine(stackText);
    }
    addLine(text);
    if (n == TVirtEng::kErrorStackCapacity) break;
  }
  std::string message;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) message += "\r\n";
    message += lines[i];
  }
  if (message.empty()) message = Format("Morva Interface Error: ( %x )", {int(code)});
  SetMessage(message);
}

void RaiseEngineError(TVirtEng* engine, DBIResult code) { throw ETDBEngineError(engine, code); }

void EngineCheck(TVirtEng* engine, DBIResult code) {
  if (code != 0) RaiseEngineError(engine, code);
}

// ============================================================================
// Session list
// ============================================================================

TttSessionlist::TttSessionlist() : autoNames_(std::make_unique<TBits>()) { InitCriticalSection(); }

TttSessionlist::~TttSessionlist() {
  // Sessions without an owner belong to the list; owned ones leave with their owner.
  while (!sessions_.empty()) {
    TttSession* session = sessions_.back();
    if (!session->Owner()) {
      delete session;  // leaves the list itself
      continue;
    }
    try {
      session->SetActive(false);
    } catch (const Exception&) {
      // The call layer goes below in any case.
    }
    sessions_.pop_back();
    session->SetListOf(nullptr);
  }
  if (engine_) SetEngine(nullptr);
  DoneCriticalSection();
}

TttSession* TttSessionlist::DefaultSession() const {
  for (TttSession* s : sessions_)
    if (s->IsDefault()) return s;
  return nullptr;
}

void TttSessionlist::AddSession(TttSession* session) {
  if (sessions_.empty()) session->SetDefault(true);
  sessions_.push_back(session);
  session->SetListOf(this);
}

void TttSessionlist::RemoveSession(TttSession* session) {
  sessions_.erase(std::remove(sessions_.begin(), sessions_.end(), session), sessions_.end());
}

TttSession* TttSessionlist::FindSession(const std::string& name) const {
  if (name.empty()) return DefaultSession();
  TttSession* session = FindSessionByName(name);
  if (!session) DatabaseErrorFmt(sessiontext::InvalidSessionName, {name});
  return session;
}

TttSession* TttSessionlist::FindSessionByName(const std::string& name) const {
  for (TttSession* s : sessions_)
    if (SameText(s->SessionName(), name)) return s;
  return nullptr;
}

void TttSessionlist::SetEngine(TVirtEng* engine) {
  if (engine_ == engine) return;
  delete engine_;
  engine_ = engine;
  initialSession_ = nullptr;
  if (engine_) engine_->GetSessionHandle(initialSession_);
}

void TttSessionlist::ReleaseEngineWhenUnused() {
  for (TttSession* s : sessions_)
    if (s->Active()) return;
  SetEngine(nullptr);
}

// ============================================================================
// Session
// ============================================================================

TttSession::TttSession(TComponent* owner) : TComponent(owner) {
  // The owner's insert notification came while this was still a bare
  // component, so the refusal of a second session is made here.
  std::string autoName = OwnerAutoSessionName(owner);
  if (!autoName.empty()) DatabaseErrorFmt(sessiontext::AutoSessionExists, {autoName});
}

TttSession::~TttSession() {
  Destroying();
  // Its timer would otherwise call back into a freed session's hooks.
  if (waitCursor.owner == this) StopWaitCursor();
  try {
    SetActive(false);
  } catch (const Exception&) {
    // A failing engine must not keep the component alive.
  }
  while (!databases_.empty()) {
    TttDatabase* db = databases_.back();
    databases_.pop_back();
    db->ForgetSession();
    if (db->Temporary() && !db->Owner()) delete db;
  }
  if (autoNumber_ >= 0 && list_) list_->AutoNames().SetBits(autoNumber_, false);
  if (list_) list_->RemoveSession(this);
}

void TttSession::Loaded() {
  TComponent::Loaded();
  if (autoSessionName_) PointOwnerAt(sessionName_);
  if (streamedActive_) SetActive(true);
}

TVirtEng* TttSession::Engine() const { return list_ ? list_->Engine() : nullptr; }
void TttSession::SetEngineObject(TVirtEng* engine) {
  if (list_) list_->SetEngine(engine);
}
void TttSession::CriticalSectionStart() {
  if (list_) list_->EnterSection();
}
void TttSession::CriticalSectionEnd() {
  if (list_) list_->LeaveSection();
}
TSessionClass TttSession::GetEngineClass() const { return list_ ? list_->GetEngineClass() : nullptr; }
TttSession* TttSession::DefaultSession() const { return list_ ? list_->DefaultSession() : nullptr; }

void TttSession::SetActive(bool value) {
  if (ComponentState().Contains(csReading) || ComponentState().Contains(csLoading)) {
    streamedActive_ = value;
    return;
  }
  if (value != Active()) ActivateSession(value);
}

void TttSession::InitEngine() {
  // The hourglass shows while the engine starts (on the main thread only).
  struct THourglass {
    explicit THourglass(const TScreenCursor& cursor) : screen(cursor) {
      if (shown) screen(-11);
    }
    ~THourglass() {
      if (shown) screen(0);
    }
    const TScreenCursor& screen;
    bool shown = IsMainThread() && bool(screen);
  } hourglass(ScreenCursor);
  std::uint8_t environment[588] = {};
  std::memcpy(environment, "0009", 4);  // the language text
  DBIResult code = 0;
  if (!Engine()) {
    try {
      auto engine = std::make_unique<TVirtEng>(GetEngineClass(), nullptr, nullptr, 400, environment);
      code = engine->StartResult();
      if (code == 0) SetEngineObject(engine.release());
    } catch (const EMorvaEngineError& e) {
      code = e.ErrorCode;
    }
  } else {
    code = kMultipleInit;
  }
  if (code != 0 && code != kMultipleInit) EngineCheck(Engine(), code);
  // The default session is the call layer's initial session, also when the
  // layer outlived an earlier close of this session.
  handle_ = list_->InitialEngineSession();
  EngineCheck(Engine(), Engine()->SelectSession(handle_));
}

void TttSession::ActivateSession(bool value) {
  TSectionGuard guard(this);
  if (value) {
    if (OnStartup) OnStartup(this);
    if (sessionName_.empty()) DatabaseError(sessiontext::SessionNameMissing, this);
    TttSession* def = DefaultSession();
    if (!default_ && def && !def->Active()) def->SetActive(true);
    if (default_) {
      InitEngine();
    } else {
      TBaseSession* session = nullptr;
      EngineCheck(Engine(), Engine()->StartSession(nullptr, session, nullptr));
      handle_ = session;
    }
    try {
      SetCallbacks(true);
      if (!netFileDir_.empty()) SetNetFileDir(netFileDir_);
      if (!privateDir_.empty()) SetPrivateDir(privateDir_);
      SetConfigMode(kAllModes);
    } catch (...) {
      ActivateSession(false);
      throw;
    }
    DBNotify(0, nullptr);
    return;
  }
  if (!handle_) return;
  TVirtEng* engine = Engine();
  if (engine) engine->SelectSession(handle_);
  for (std::size_t i = databases_.size(); i-- > 0;) {
    if (i >= databases_.size()) continue;
    TttDatabase* db = databases_[i];
    if (db->Temporary() && !db->Owner())
      delete db;
    else
      db->Close();
  }
  SetCallbacks(false);
  openedHandles_.clear();  // the engine session frees whatever is left
  TBaseSession* old = handle_;
  handle_ = nullptr;
  if (default_) {
    // The call layer is freed only when no other session still works on it.
    list_->ReleaseEngineWhenUnused();
  } else if (engine) {
    DBIResult code = engine->CloseSession(old);
    TttSession* def = DefaultSession();
    if (def && def->Active())
      engine->SelectSession(def->Handle());
    else
      list_->ReleaseEngineWhenUnused();
    EngineCheck(engine, code);
  }
}

void TttSession::SetCallbacks(bool on) {
  if (!on) {
    callbacks_.clear();
    return;
  }
  waitBuffer_.fill(0);
  loginBuffer_.fill(0);
  // The records are described only; the engine is not handed them.
  if (sqlHourGlass_)
    callbacks_.push_back(std::make_unique<TttBDECallback>(
        Engine(), this, kWaitCursorCallback, reinterpret_cast<std::intptr_t>(this), waitBuffer_.data(),
        std::uint16_t(waitBuffer_.size()),
        [](std::intptr_t session, void*) { return reinterpret_cast<TttSession*>(session)->WaitCursorRoutine(); }));
  callbacks_.push_back(std::make_unique<TttBDECallback>(Engine(), this, kLoginCallback, 0, loginBuffer_.data(),
                                                        std::uint16_t(loginBuffer_.size()), nullptr));
}

void TttSession::MakeCurrent() {
  if (!Active())
    SetActive(true);
  else
    EngineCheck(Engine(), Engine()->SelectSession(handle_));
}

void TttSession::LockSession() {
  if (lockCount_ == 0) CriticalSectionStart();
  ++lockCount_;
  try {
    MakeCurrent();
  } catch (...) {
    UnlockSession();
    throw;
  }
  RunWaitCursor();
}

void TttSession::UnlockSession() {
  if (lockCount_ == 0) return;
  if (--lockCount_ > 0) return;
  WaitCursorGate = 0;
  CriticalSectionEnd();
}

TBaseSession* TttSession::GetHandle() {
  MakeCurrent();
  return handle_;
}

std::uint8_t TttSession::GetConfigMode() {
  std::uint8_t mode = 0;
  std::uint16_t length = 0;
  TSessionLock lock(this);
  EngineCheck(Engine(), Engine()->GetProperty(handle_, kConfigModeProperty, &mode, 1, length));
  return mode;
}

void TttSession::SetConfigMode(std::uint8_t mode) {
  TSessionLock lock(this);
  EngineCheck(Engine(), Engine()->SetProperty(handle_, kConfigModeProperty, mode));
}

bool TttSession::DoPassword() {
  bool continueOn = false;
  if (OnPassword)
    OnPassword(this, continueOn);
  else if (PasswordDialog)
    continueOn = PasswordDialog(this);
  return continueOn;
}

void TttSession::DBNotify(int event, void* info) {
  if (DBNotifyRoutine) DBNotifyRoutine(event, info);
}

void TttSession::SetSessionName(const std::string& name) {
  if (autoSessionName_ && !ComponentState().Contains(csReading))
    DatabaseError(sessiontext::AutoSessionActive, this);
  if (Active()) DatabaseError(sessiontext::SessionActive, this);
  if (list_) {
    TttSession* other = list_->FindSessionByName(name);
    if (other && other != this && !name.empty())
      DatabaseErrorFmt(sessiontext::DuplicateSessionName, {name}, this);
  }
  sessionName_ = name;
}

std::string TttSession::NetFileDir() {
  if (Active() && !ComponentState().Contains(csLoading)) {
    char buffer[256] = {};
    std::uint16_t length = 0;
    EngineCheck(Engine(), Engine()->GetProperty(handle_, kNetDirProperty, buffer, sizeof buffer, length));
    return AnsiUpperCase(buffer);
  }
  return AnsiUpperCase(netFileDir_);
}

void TttSession::SetNetFileDir(const std::string& dir) {
  if (Active()) {
    TSessionLock lock(this);
    EngineCheck(Engine(), Engine()->SetProperty(handle_, kNetDirProperty,
                                                reinterpret_cast<TPropertyValue>(dir.c_str())));
  }
  netFileDir_ = dir;
}

std::string TttSession::PrivateDir() {
  if (Active() && !ComponentState().Contains(csLoading)) {
    TSessionInfo info{};
    TSessionLock lock(this);
    EngineCheck(Engine(), Engine()->GetSessionInfo(info));
    return AnsiUpperCase(info.PrivateDirectory);
  }
  return AnsiUpperCase(privateDir_);
}

void TttSession::SetPrivateDir(const std::string& dir) {
  if (Active()) {
    TSessionLock lock(this);
    EngineCheck(Engine(), Engine()->SetPrivateDirectory(Cut(dir, 255).c_str()));
  }
  privateDir_ = dir;
}

void TttSession::AddDatabase(TttDatabase* database) {
  if (std::find(databases_.begin(), databases_.end(), database) == databases_.end())
    databases_.push_back(database);
  DBNotify(2, database);
}

void TttSession::RemoveDatabase(TttDatabase* database) {
  auto it = std::find(databases_.begin(), databases_.end(), database);
  if (it == databases_.end()) return;
  databases_.erase(it);
  DBNotify(3, database);
}

TttDatabase* TttSession::FindDatabase(const std::string& name) const {
  for (TttDatabase* db : databases_)
    if (SameText(db->DatabaseName(), name)) return db;
  return nullptr;
}

TttDatabase* TttSession::FindDatabaseForOwner(const std::string& name, TComponent* owner) const {
  TttDatabase* found = nullptr;
  for (TttDatabase* db : databases_) {
    if (!SameText(db->DatabaseName(), name)) continue;
    if (owner && db->Owner() == owner && db->HandleShared()) return db;
    if (!found) found = db;
  }
  return found;
}

TttDatabase* TttSession::OpenDatabase(const std::string& name, TComponent* owner) {
  TSessionLock lock(this);
  TttDatabase* db = FindDatabaseForOwner(name, owner);
  if (!db) {
    std::unique_ptr<TttDatabase> made(GetDatabaseClass(nullptr));
    made->SetTemporary(true);
    made->SetDatabaseName(name);
    made->SetSessionName(sessionName_);
    made->SetKeepConnection(keepConnections_);
    made->Open();
    db = made.release();
  } else {
    db->Open();
  }
  db->AddRef();
  return db;
}

void TttSession::CloseDatabase(TttDatabase* database) {
  if (!database) return;
  database->Release();
  // A database that is closing releases its datasets itself.
  if (database->RefCount() != 0 || database->KeepConnection() || database->Closing()) return;
  if (!database->Temporary())
    database->Close();
  else if (!database->ComponentState().Contains(csDestroying) && !database->Owner())
    delete database;
}

void TttSession::DropDatabaseHandle(TttDatabase* database) {
  for (TttDatabase* other : databases_)
    if (other != database && other->Connected() && other->Handle() == database->Handle()) return;
  auto opened = std::find(openedHandles_.begin(), openedHandles_.end(), database->Handle());
  if (opened == openedHandles_.end()) return;
  openedHandles_.erase(opened);
  TBaseDatabase* handle = database->Handle();
  if (Engine()) Engine()->CloseDatabase(handle);
}

void TttSession::GetConfigParams(const std::string& pathPattern, const std::string& name,
                                 TStrings* list) {
  std::string path = FormatMessage(pathPattern, {name});
  TBaseTable* cursor = nullptr;
  EngineCheck(Engine(), Engine()->OpenConfigList(nullptr, 0, 0, path.c_str(), cursor));
  std::vector<std::uint8_t> record(1024);
  TCursorProps props{};
  if (Engine()->GetCursorProperties(cursor, props) == 0) record.resize(std::max<std::size_t>(props.RecordBufferSize, 1024));
  Engine()->SetToStart(cursor);
  while (Engine()->GetNextRecord(cursor, 0, record.data(), nullptr) == 0) {
    char node[512] = {};
    char value[1024] = {};
    bool blank = false;
    Engine()->GetField(cursor, 1, record.data(), node, blank);
    Engine()->GetField(cursor, 4, record.data(), value, blank);
    list->Add(std::string(node) + "=" + value);
  }
  Engine()->CloseCursor(cursor);
}

void TttSession::GetAliasParams(const std::string& alias, TStrings* list) {
  list->BeginUpdate();
  list->Clear();
  try {
    TSessionLock lock(this);
    TDatabaseDesc desc{};
    EngineCheck(Engine(), Engine()->ResolveAlias(Cut(alias, 31).c_str(), desc));
    if (SameText(desc.DriverType, "STANDARD")) {
      GetConfigParams("\\DATABASES\\%s\\DB INFO", alias, list);
      int typeLine = list->IndexOfName("TYPE");
      if (typeLine >= 0) list->Delete(typeLine);
    } else {
      GetConfigParams("\\DATABASES\\%s\\DB OPEN", alias, list);
    }
  } catch (...) {
    list->EndUpdate();
    throw;
  }
  list->EndUpdate();
}

void TttSession::GetDriverParams(const std::string& driver, TStrings* list) {
  list->Clear();
  if (SameText(driver, "STANDARD")) {
    list->Add("PATH=");
    return;
  }
  TSessionLock lock(this);
  GetConfigParams("\\DRIVERS\\%s\\DB OPEN", driver, list);
}

void TttSession::AddAlias(const std::string& name, const std::string& driver, TStrings* params,
                          std::uint8_t flags) {
  std::string text;
  for (int i = 0; i < params->Count(); ++i) {
    if (params->Strings(i).find('=') == std::string::npos) continue;
    text += params->Names(i) + ":\"" + params->ValueFromIndex(i) + "\";";
  }
  if (!text.empty()) text.pop_back();
  std::string driverName = params->Values("DEFAULT DRIVER");
  if (driverName.empty() && !SameText(driver, "STANDARD")) driverName = driver;
  TSessionLock lock(this);
  std::uint8_t oldMode = GetConfigMode();
  SetConfigMode(flags == kAllModes ? 1 : flags);
  try {
    EngineCheck(Engine(), Engine()->AddAlias(nullptr, Cut(name, 31).c_str(),
                                             driverName.empty() ? nullptr : driverName.c_str(),
                                             text.c_str(), flags == kAllModes));
  } catch (...) {
    SetConfigMode(oldMode);
    throw;
  }
  SetConfigMode(oldMode);
  DBNotify(4, nullptr);
}

void TttSession::DeleteAlias(const std::string& name) {
  TSessionLock lock(this);
  DBNotify(5, nullptr);
  EngineCheck(Engine(), Engine()->DeleteAlias(nullptr, Cut(name, 31).c_str()));
}

void TttSession::SetAutoSessionName(bool value) {
  if (value == autoSessionName_) return;
  if (value) {
    if (Active()) DatabaseError(sessiontext::SessionActive, this);
    if (TComponent* owner = Owner()) {
      for (int i = 0; i < owner->ComponentCount(); ++i) {
        TComponent* c = owner->Components(i);
        if (c != this && c->InheritsFrom(TttSession::StaticClass()))
          DatabaseError(sessiontext::AutoSessionExclusive, this);
      }
    }
    autoSessionName_ = true;
    UpdateAutoSessionName();
  } else {
    if (autoNumber_ >= 0 && list_) {
      TSectionGuard guard(this);
      list_->AutoNames().SetBits(autoNumber_, false);
    }
    autoNumber_ = -1;
    autoSessionName_ = false;
  }
}

void TttSession::UpdateAutoSessionName() {
  if (!list_) return;
  if (Active()) DatabaseError(sessiontext::SessionActive, this);
  if (autoNumber_ < 0) {
    TSectionGuard guard(this);
    autoNumber_ = list_->AutoNames().OpenBit();
    list_->AutoNames().SetBits(autoNumber_, true);
  }
  sessionName_ = Format("%s_%d", {Name(), autoNumber_ + 1});
  PointOwnerAt(sessionName_);
}

void TttSession::SetName(const std::string& newName) {
  TComponent::SetName(newName);
  if (autoSessionName_) UpdateAutoSessionName();
}

void TttSession::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opInsert && autoSessionName_ && component != this && Owner() &&
      component->Owner() == Owner()) {
    if (component->InheritsFrom(TttSession::StaticClass()))
      DatabaseErrorFmt(sessiontext::AutoSessionExists, {sessionName_});
    PointOwnerAt(sessionName_);
  }
}

std::string OwnerAutoSessionName(const TComponent* owner) {
  if (!owner) return {};
  for (int i = 0; i < owner->ComponentCount(); ++i)
    if (auto* session = As<TttSession>(owner->Components(i)); session && session->AutoSessionName())
      return session->SessionName();
  return {};
}

// Points the owner's datasets and databases at this session's name.
void TttSession::PointOwnerAt(const std::string& name) {
  TComponent* owner = Owner();
  if (!owner) return;
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    TComponent* c = owner->Components(i);
    if (auto* db = As<TttDatabase>(c)) {
      if (db->SessionName() != name && !db->Connected()) db->SetSessionName(name);
    } else if (c != this) {
      if (const TPropInfo* info = GetPropInfo(c, "SessionName")) {
        if (GetStrProp(c, info) != name) SetStrProp(c, info, name);
      }
    }
  }
}

// ============================================================================
// Database
// ============================================================================

TttDatabase::TttDatabase(TComponent* owner)
    : TComponent(owner), params_(std::make_unique<TStringList>()), sessionName_(OwnerAutoSessionName(owner)) {}

TttDatabase::~TttDatabase() {
  Destroying();
  try {
    Close();
  } catch (const Exception&) {
    // Destruction goes on; the engine handle was released as far as possible.
  }
  if (session_) session_->RemoveDatabase(this);
  session_ = nullptr;
}

void TttDatabase::Loaded() {
  TComponent::Loaded();
  if (connectedLoaded_)
    SetConnected(true);
  else if (!databaseName_.empty())
    CheckSessionName(false);
}

TVirtEng* TttDatabase::Engine() const { return list_ ? list_->Engine() : nullptr; }
TttSession* TttDatabase::DefaultSession() const { return list_ ? list_->DefaultSession() : nullptr; }

void TttDatabase::CheckInactive() const {
  if (Connected()) DatabaseError(sessiontext::DatabaseOpen, this);
}

void TttDatabase::SetAliasName(const std::string& name) {
  CheckInactive();
  aliasName_ = name;
  aliasSet_ = !name.empty();
}

void TttDatabase::SetDatabaseName(const std::string& name) {
  CheckInactive();
  databaseName_ = name;
}

void TttDatabase::SetSessionName(const std::string& name) {
  CheckInactive();
  sessionName_ = name;
}

void TttDatabase::SetParams(TStrings* params) {
  CheckInactive();
  params_->Assign(params);
}

void TttDatabase::SetKeepConnection(bool value) {
  keepConnection_ = value;
  if (!value && refCount_ == 0 && Connected() && !ComponentState().Contains(csLoading)) Close();
}

void TttDatabase::SetConnected(bool value) {
  if (ComponentState().Contains(csReading) || ComponentState().Contains(csLoading)) {
    connectedLoaded_ = value;
    return;
  }
  if (value)
    Open();
  else
    Close();
}

void TttDatabase::AddDataSet(TDataSet* dataSet) {
  if (std::find(dataSets_.begin(), dataSets_.end(), dataSet) == dataSets_.end())
    dataSets_.push_back(dataSet);
}

void TttDatabase::RemoveDataSet(TDataSet* dataSet) {
  dataSets_.erase(std::remove(dataSets_.begin(), dataSets_.end(), dataSet), dataSets_.end());
}

void TttDatabase::CheckSessionName(bool activate) {
  TttSession* session = list_->FindSession(sessionName_);
  if (session != session_) {
    if (session_) session_->RemoveDatabase(this);
    session_ = nullptr;
  }
  if (activate) session->SetActive(true);
  if (session_) return;
  for (int i = 0; i < session->DatabaseCount(); ++i) {
    TttDatabase* other = session->Databases(i);
    if (other == this || !SameText(other->DatabaseName(), databaseName_)) continue;
    if (other->Temporary() && other->RefCount() == 0 && !other->Owner()) {
      delete other;  // an unreferenced temporary namesake gives way
      break;
    }
    if (!(handleShared_ && other->HandleShared()))
      DatabaseErrorFmt(sessiontext::DuplicateDatabaseName, {databaseName_}, this);
  }
  session_ = session;
  session->AddDatabase(this);
}

void TttDatabase::Open() {
  if (Connected()) return;
  if (databaseName_.empty() && !temporary_) DatabaseError(sessiontext::DatabaseNameMissing, this);
  CheckSessionName(true);
  if (handleShared_) {
    for (int i = 0; i < session_->DatabaseCount(); ++i) {
      TttDatabase* other = session_->Databases(i);
      if (other != this && other->Connected() && other->HandleShared() &&
          SameText(other->DatabaseName(), databaseName_)) {
        SetHandle(other->Handle());
        return;
      }
    }
  }
  TSessionLock lock(session_);
  std::uint8_t configMode = session_->GetConfigMode();
  try {
    std::string password;
    PrepareLogin(password);
    TOpenUpkeepScope upkeep(session_->OpenUpkeep);
    try {
      TBaseDatabase* handle = nullptr;
      DBIResult code = 0;
      while ((code = Engine()->OpenDatabase(databaseName_.c_str(), nullptr, 0, 0, password.c_str(), 0, nullptr,
                                            nullptr, handle)) != 0 &&
             RetryWithPassword(code, password)) {
      }
      EngineCheck(Engine(), code);
      handle_ = handle;
      if (databaseName_.empty()) Engine()->SetDirectory(handle_, "");
      char driver[64] = {};
      std::uint16_t length = 0;
      EngineCheck(Engine(), Engine()->GetProperty(handle_, kDriverTypeProperty, driver, sizeof driver, length));
      sqlBased_ = !SameText(driver, "STANDARD");
      if (sqlBased_) Engine()->SetProperty(handle_, kSqlWordProperty, session_->SqlWord);
      session_->DBNotify(0, this);
      session_->NoteOpenedHandle(handle_);
    } catch (...) {
      if (handle_) {
        TBaseDatabase* handle = handle_;
        handle_ = nullptr;
        Engine()->CloseDatabase(handle);
      }
      if (temporaryAlias_) {
        temporaryAlias_ = false;
        session_->DeleteAlias(databaseName_);
      }
      throw;
    }
  } catch (...) {
    session_->SetConfigMode(configMode);
    throw;
  }
  session_->SetConfigMode(configMode);
}

void TttDatabase::PrepareLogin(std::string& password) {
  std::string name = Cut(aliasSet_ ? aliasName_ : databaseName_, 31);
  TDatabaseDesc desc{};
  if (Engine()->ResolveAlias(name.c_str(), desc) != 0) return;
  driverType_ = desc.DriverType;
  TStringList aliasParams;
  session_->GetAliasParams(name, &aliasParams);
  if (aliasParams.IndexOfName("USER NAME") >= 0) {
    if (loginPrompt_) {
      TStringList login;
      std::string user = params_->Values("USER NAME");
      if (user.empty()) user = aliasParams.Values("USER NAME");
      login.SetValues("USER NAME", user);
      Login(&login);
      password = login.Values("PASSWORD");
      params_->SetValues("USER NAME", login.Values("USER NAME"));
    } else {
      password = params_->Values("PASSWORD");
    }
  }
  if (ParamsDiffer(&aliasParams)) {
    session_->AddAlias(databaseName_, driverType_, &aliasParams, kSessionOnlyMode);
    temporaryAlias_ = true;
  }
}

bool TttDatabase::ParamsDiffer(TStrings* aliasParams) {
  bool differ = aliasSet_ && !SameText(aliasName_, databaseName_);
  for (int i = 0; i < params_->Count(); ++i) {
    const std::string line = params_->Strings(i);
    if (aliasParams->IndexOf(line) >= 0) continue;
    std::string name = params_->Names(i);
    if (SameText(name, "PASSWORD")) continue;
    int at = aliasParams->IndexOfName(name);
    if (at < 0) continue;
    aliasParams->SetValueFromIndex(at, params_->ValueFromIndex(i));
    differ = true;
  }
  return differ;
}

void TttDatabase::Login(TStrings* loginParams) {
  if (OnLogin) {
    OnLogin(this, loginParams);
    return;
  }
  std::string user = loginParams->Values("USER NAME");
  std::string password;
  const TLoginDialog* dialog = session_ ? &session_->LoginDialog : nullptr;
  if (!dialog || !*dialog || !(*dialog)(databaseName_, user, password))
    DatabaseErrorFmt(sessiontext::LoginFailed, {databaseName_});
  loginParams->SetValues("USER NAME", user);
  loginParams->SetValues("PASSWORD", password);
}

void TttDatabase::Close() {
  if (!handle_) return;
  if (session_) session_->DBNotify(1, this);
  struct TClosingFlag {
    bool& flag;
    explicit TClosingFlag(bool& f) : flag(f) { flag = true; }
    ~TClosingFlag() { flag = false; }
  } closing(closing_);
  while (!dataSets_.empty()) {
    TDataSet* dataSet = dataSets_.back();
    std::size_t before = dataSets_.size();
    // A prepared query lets go of its statement too: the engine frees it with the database.
    if (auto* bound = As<TttDBDataset>(dataSet))
      bound->DisconnectFromDatabase();
    else
      dataSet->Close();
    // A dataset that stays listed after closing is dropped so the loop ends.
    if (dataSets_.size() == before && dataSets_.back() == dataSet) dataSets_.pop_back();
  }
  if (session_) session_->DropDatabaseHandle(this);
  handle_ = nullptr;
  refCount_ = 0;
  sqlBased_ = false;
  if (temporaryAlias_ && session_) {
    temporaryAlias_ = false;
    session_->DeleteAlias(databaseName_);
  }
}

void TttDatabase::SetHandle(TBaseDatabase* handle) {
  Close();
  if (!handle) return;
  TBapiListItem* owner = nullptr;
  EngineCheck(Engine(), Engine()->GetHandleProperty(handle, 2, owner));
  CheckSessionName(true);
  if (owner != session_->Handle()) DatabaseError(sessiontext::HandleOwnedElsewhere, this);
  handle_ = handle;
  session_->DBNotify(0, this);
}
