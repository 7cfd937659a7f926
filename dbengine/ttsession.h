#pragma once
// The components through which a program names its sessions and databases and
// through which every dataset reaches the call layer: the session list, the
// session and database components, the engine exception with its entries and
// the callback record.
//
// They know nothing of a particular engine. A binding derives one class from
// each and fills the hooks: its session list answers the engine session class
// and makes sessions; sessions and databases attach to that list in their
// constructor (SetSessionList), and the list holds the binding's one call layer.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dbengine/virteng.h"
#include "platform/classlib/core/bits.h"
#include "platform/classlib/core/component.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/db/dbtypes.h"
#include "platform/dao/openupkeep.h"

class TttSession;
class TttDatabase;
class TDataSet;

// ---- Engine errors ---------------------------------------------------------

// One level of an engine failure.
class TttError : public TObject {
  DECLARE_CLASS(TttError, TObject)
 public:
  TttError(DBIResult code, std::int32_t nativeError, std::string message)
      : errorCode_(code), nativeError_(nativeError), message_(std::move(message)) {}
  DBIResult ErrorCode() const { return errorCode_; }
  std::int32_t NativeError() const { return nativeError_; }
  const std::string& Message() const { return message_; }

 private:
  DBIResult errorCode_;
  std::int32_t nativeError_;
  std::string message_;
};

// An engine result code turned into an exception: one entry per level of the
// call layer's error stack; the message joins their distinct texts.
class ETDBEngineError : public EDatabaseError {
  DECLARE_CLASS(ETDBEngineError, EDatabaseError)
 public:
  ETDBEngineError(TVirtEng* engine, DBIResult code);
  int ErrorCount() const { return int(errors_.size()); }
  const TttError* Errors(int index) const { return errors_.at(std::size_t(index)).get(); }
  // The code of the first entry.
  DBIResult ErrorCode() const { return errors_.empty() ? 0 : errors_.front()->ErrorCode(); }

 private:
  std::vector<std::shared_ptr<TttError>> errors_;  // shared: exceptions are copied
};

// Raises ETDBEngineError for the code.
[[noreturn]] void RaiseEngineError(TVirtEng* engine, DBIResult code);
// Does nothing for 0; raises ETDBEngineError for any other code.
void EngineCheck(TVirtEng* engine, DBIResult code);

// A callback the components describe to the engine: the values given to the
// constructor, nothing more (it is not registered with the call layer).
class TttBDECallback : public TObject {
  DECLARE_CLASS(TttBDECallback, TObject)
 public:
  using TRoutine = std::function<int(std::intptr_t clientData, void* buffer)>;
  TttBDECallback(TVirtEng* engine, TObject* owner, std::int32_t callbackType,
                 std::intptr_t clientData, void* buffer, std::uint16_t bufferLength,
                 TRoutine routine)
      : engine_(engine), owner_(owner), callbackType_(callbackType), clientData_(clientData),
        buffer_(buffer), bufferLength_(bufferLength), routine_(std::move(routine)) {}
  TVirtEng* Engine() const { return engine_; }
  TObject* CallbackOwner() const { return owner_; }
  std::int32_t CallbackType() const { return callbackType_; }
  std::intptr_t ClientData() const { return clientData_; }
  void* Buffer() const { return buffer_; }
  std::uint16_t BufferLength() const { return bufferLength_; }
  // Runs the routine with the record's client data and buffer.
  int Invoke() const { return routine_ ? routine_(clientData_, buffer_) : 0; }

 private:
  TVirtEng* engine_;
  TObject* owner_;
  std::int32_t callbackType_;
  std::intptr_t clientData_;
  void* buffer_;
  std::uint16_t bufferLength_;
  TRoutine routine_;
};

// Texts of this module as users see them.
namespace sessiontext {
inline constexpr const char* SessionNameMissing = "Session name missing";
inline constexpr const char* InvalidSessionName = "Invalid session name %s";
inline constexpr const char* DuplicateSessionName = "Duplicate session name '%s'";
inline constexpr const char* SessionActive = "Cannot perform this operation on an active session";
inline constexpr const char* AutoSessionActive =
    "Cannot modify SessionName while AutoSessionName is enabled";
inline constexpr const char* AutoSessionExclusive =
    "Cannot enable AutoSessionName property with more than one session on a form or data-module";
inline constexpr const char* AutoSessionExists =
    "Cannot add a session to the form or data-module while session '%s' has AutoSessionName enabled";
inline constexpr const char* DatabaseNameMissing = "Database name missing";
inline constexpr const char* DuplicateDatabaseName = "Duplicate database name '%s'";
inline constexpr const char* DatabaseOpen = "Cannot perform this operation on an open database";
inline constexpr const char* HandleOwnedElsewhere = "Database handle owned by a different session";
inline constexpr const char* LoginFailed = "Cannot connect to database '%s'";
}  // namespace sessiontext

// ---- Session list ------------------------------------------------------------

// One per binding: the sessions in registration order (the first is the
// default session), the automatic-name numbers, the binding's call layer and
// its critical section.
class TttSessionlist : public TObject {
  DECLARE_CLASS(TttSessionlist, TObject)
 public:
  TttSessionlist();
  // Frees every session it owns (last first).
  ~TttSessionlist() override;

  // ---- hooks filled by the binding
  // The binding's call layer; nil while none exists.
  virtual TVirtEng* Engine() const { return engine_; }
  virtual TttSession* DefaultSession() const;
  // Makes a session component of the binding's class.
  virtual TttSession* GetSessionClass(TComponent* owner) = 0;
  virtual void InitCriticalSection() {}
  virtual void DoneCriticalSection() {}
  // The engine session class the call layer starts sessions with.
  virtual TSessionClass GetEngineClass() const = 0;

  void AddSession(TttSession* session);
  void RemoveSession(TttSession* session);
  // An empty name gives the default session; unknown: "Invalid session name %s".
  TttSession* FindSession(const std::string& name) const;
  // Case-insensitive; nil when absent.
  TttSession* FindSessionByName(const std::string& name) const;
  int Count() const { return int(sessions_.size()); }
  TttSession* Sessions(int index) const { return sessions_.at(std::size_t(index)); }

  // The call layer, its initial engine session and the critical section.
  void SetEngine(TVirtEng* engine);
  TBaseSession* InitialEngineSession() const { return initialSession_; }
  void EnterSection() { section_.lock(); }
  void LeaveSection() { section_.unlock(); }
  TBits& AutoNames() { return *autoNames_; }
  // Frees the call layer when no session uses it any more.
  void ReleaseEngineWhenUnused();

 private:
  std::vector<TttSession*> sessions_;
  std::unique_ptr<TBits> autoNames_;
  TVirtEng* engine_ = nullptr;
  TBaseSession* initialSession_ = nullptr;
  std::recursive_mutex section_;
};

// ---- Session -----------------------------------------------------------------

using TPasswordEvent = std::function<void(TObject* sender, bool& continueOn)>;
using TDatabaseNotifyRoutine = std::function<void(int event, void* info)>;
// The login dialog: fills the user name and password; false when cancelled.
using TLoginDialog = std::function<bool(const std::string& databaseName, std::string& userName,
                                        std::string& password)>;
// The password dialog: true when a password was given and the open may be tried again.
using TPasswordDialog = std::function<bool(TttSession* session)>;
// Sets the screen cursor (-11 the hourglass, -17 the SQL wait cursor, 0 the default).
using TScreenCursor = std::function<void(int cursor)>;

// The timer and clock of the wait cursor. Without a timer none is made and
// the wait cursor never shows.
struct TWaitCursorHooks {
  // Starts a timer that runs `expired` after `milliseconds`; answers its id
  // (0: no timer was made).
  std::function<std::uintptr_t(unsigned milliseconds, std::function<void()> expired)> StartTimer;
  std::function<void(std::uintptr_t timer)> KillTimer;
  // Milliseconds of a monotonic clock; GetTickCount when not set.
  std::function<std::uint32_t()> TickCount;
};

class TttSession : public TComponent {
  DECLARE_CLASS(TttSession, TComponent)
 public:
  explicit TttSession(TComponent* owner = nullptr);
  ~TttSession() override;
  void Loaded() override;

  // ---- hooks filled by the binding
  virtual TVirtEng* Engine() const;
  virtual void SetEngineObject(TVirtEng* engine);
  virtual void CriticalSectionStart();
  virtual void CriticalSectionEnd();
  // Attaches the session to the binding's list (the binding's constructor calls it).
  virtual void SetSessionList() {}
  virtual TSessionClass GetEngineClass() const;
  virtual TttSession* DefaultSession() const;
  virtual TttDatabase* GetDatabaseClass(TComponent* owner) = 0;
  virtual TDataSet* GetTableClass(TComponent* owner) { (void)owner; return nullptr; }
  virtual void ActivateSession(bool value);

  // ---- properties
  bool Active() const { return handle_ != nullptr; }
  void SetActive(bool value);
  bool AutoSessionName() const { return autoSessionName_; }
  void SetAutoSessionName(bool value);
  bool KeepConnections() const { return keepConnections_; }
  void SetKeepConnections(bool value) { keepConnections_ = value; }
  std::string NetFileDir();
  void SetNetFileDir(const std::string& dir);
  std::string PrivateDir();
  void SetPrivateDir(const std::string& dir);
  const std::string& SessionName() const { return sessionName_; }
  void SetSessionName(const std::string& name);
  bool SQLHourGlass() const { return sqlHourGlass_; }
  // An automatic name is made again on loading, so it is not stored.
  bool SessionNameStored() const { return !autoSessionName_; }
  void SetSQLHourGlass(bool value) { sqlHourGlass_ = value; }
  TPasswordEvent OnPassword;
  TNotifyEvent OnStartup;

  // ---- the program's screen and dialogs, set when it starts its session.
  // Unset, a session shows nothing: no dialog (a login is refused, a
  // password not retried) and no cursor.
  TLoginDialog LoginDialog;         // for databases without OnLogin
  TPasswordDialog PasswordDialog;   // when OnPassword is not set
  TScreenCursor ScreenCursor;       // the hourglass and the wait cursor
  TWaitCursorHooks WaitCursorHooks;
  // While a database of the session opens: the progress of the work that
  // brings a file made by an earlier build up to date, and what the user
  // must be told of it.
  DaoOpenHooks OpenUpkeep;

  TBaseSession* Handle() const { return handle_; }
  bool IsDefault() const { return default_; }
  TttSessionlist* SessionList() const { return list_; }
  int DatabaseCount() const { return int(databases_.size()); }
  TttDatabase* Databases(int index) const { return databases_.at(std::size_t(index)); }
  int CallbackCount() const { return int(callbacks_.size()); }
  const TttBDECallback* Callbacks(int index) const { return callbacks_.at(std::size_t(index)).get(); }
  // The routine of the wait-cursor callback record (callback type 21); it
  // acts only while WaitCursorGate is 1: from the start to the end of each
  // engine call the session makes under its lock (LockSession).
  int WaitCursorRoutine();
  std::uint32_t WaitCursorGate = 0;
  // The word written to SQL-based databases; nothing here sets it.
  std::uint16_t SqlWord = 0;
  TDatabaseNotifyRoutine DBNotifyRoutine;

  // ---- operations
  TttDatabase* OpenDatabase(const std::string& name, TComponent* owner = nullptr);
  void CloseDatabase(TttDatabase* database);
  TttDatabase* FindDatabase(const std::string& name) const;
  TttDatabase* FindDatabaseForOwner(const std::string& name, TComponent* owner) const;
  TBaseSession* GetHandle();
  void GetAliasParams(const std::string& alias, TStrings* list);
  void GetDriverParams(const std::string& driver, TStrings* list);
  void AddAlias(const std::string& name, const std::string& driver, TStrings* params,
                std::uint8_t flags);
  void DeleteAlias(const std::string& name);
  void LockSession();
  void UnlockSession();
  std::uint8_t GetConfigMode();
  void SetConfigMode(std::uint8_t mode);
  // Asks for a password (OnPassword, else the password dialog); true to try again.
  virtual bool DoPassword();
  void DBNotify(int event, void* info);
  // The engine side of a database close: an engine database that one of
  // this session's components opened is closed with its last user, whichever
  // component that is; a handle adopted from outside stays its giver's.
  void DropDatabaseHandle(TttDatabase* database);
  void NoteOpenedHandle(TBaseDatabase* handle) { openedHandles_.push_back(handle); }

  // For the session list and the database components.
  void SetDefault(bool value) { default_ = value; }
  void AddDatabase(TttDatabase* database);
  void RemoveDatabase(TttDatabase* database);
  void SetListOf(TttSessionlist* list) { list_ = list; }

  // Renaming renames an automatically named session.
  void SetName(const std::string& newName) override;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void InitEngine();
  void MakeCurrent();
  void SetCallbacks(bool on);
  // Runs the wait-cursor record, when there is one, for an engine call
  // starting under the session lock.
  void RunWaitCursor();
  void GetConfigParams(const std::string& pathPattern, const std::string& name, TStrings* list);
  void UpdateAutoSessionName();
  void PointOwnerAt(const std::string& name);

  TttSessionlist* list_ = nullptr;
  TBaseSession* handle_ = nullptr;
  std::vector<TttDatabase*> databases_;
  std::vector<TBaseDatabase*> openedHandles_;  // see DropDatabaseHandle
  std::vector<std::unique_ptr<TttBDECallback>> callbacks_;
  std::array<std::uint8_t, 4> waitBuffer_{};    // the wait-cursor record's buffer
  std::array<std::uint8_t, 80> loginBuffer_{};  // the database-login record's buffer
  bool default_ = false;
  bool streamedActive_ = false;
  bool autoSessionName_ = false;
  bool keepConnections_ = true;
  bool sqlHourGlass_ = true;
  int lockCount_ = 0;
  int autoNumber_ = -1;
  std::string sessionName_;
  std::string netFileDir_;
  std::string privateDir_;
};

// The published properties of sessions (the engine's and the class library's).
template <class C>
void PublishSessionProperties(classlib_detail::TPublisher<C>& P) {
  using Class = C;
  PROP_BOOL(Active, Active, SetActive, false);
  PROP_BOOL(AutoSessionName, AutoSessionName, SetAutoSessionName, false);
  PROP_BOOL(KeepConnections, KeepConnections, SetKeepConnections, true);
  PROP_STR(NetFileDir, NetFileDir, SetNetFileDir, "");
  PROP_STR(PrivateDir, PrivateDir, SetPrivateDir, "");
  PROP_STR(SessionName, SessionName, SetSessionName, "").Stored(&Class::SessionNameStored);
  PROP_BOOL(SQLHourGlass, SQLHourGlass, SetSQLHourGlass, true);
  PROP_EVENT(OnPassword);
  PROP_EVENT(OnStartup);
}

// The name of the automatically named session on an owner; empty when none.
// Datasets and databases placed on that owner later take it.
std::string OwnerAutoSessionName(const TComponent* owner);

// ---- Database ------------------------------------------------------------------

using TTLoginEvent = std::function<void(TttDatabase* database, TStrings* loginParams)>;
// Ends the wait cursor of the session showing it: kills its timer, forgets
// when it started and restores the default screen cursor. Engine errors and
// failed cursor opens call it.
void StopWaitCursor();

class TttDatabase : public TComponent {
  DECLARE_CLASS(TttDatabase, TComponent)
 public:
  explicit TttDatabase(TComponent* owner = nullptr);
  ~TttDatabase() override;
  void Loaded() override;

  // ---- hooks filled by the binding
  virtual TVirtEng* Engine() const;
  virtual void SetSessionList() {}
  virtual TttSession* DefaultSession() const;

  // ---- properties
  std::string AliasName() const { return aliasSet_ ? aliasName_ : std::string(); }
  void SetAliasName(const std::string& name);
  bool Connected() const { return handle_ != nullptr; }
  void SetConnected(bool value);
  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const std::string& name);
  bool HandleShared() const { return handleShared_; }
  void SetHandleShared(bool value) { handleShared_ = value; }
  bool KeepConnection() const { return keepConnection_; }
  void SetKeepConnection(bool value);
  bool LoginPrompt() const { return loginPrompt_; }
  void SetLoginPrompt(bool value) { loginPrompt_ = value; }
  TStrings* Params() const { return params_.get(); }
  void SetParams(TStrings* params);
  const std::string& SessionName() const { return sessionName_; }
  void SetSessionName(const std::string& name);
  TTLoginEvent OnLogin;

  void Open();
  void Close();
  TBaseDatabase* Handle() const { return handle_; }
  void SetHandle(TBaseDatabase* handle);
  TttSession* Session() const { return session_; }
  bool Temporary() const { return temporary_; }
  void SetTemporary(bool value) { temporary_ = value; }
  int RefCount() const { return refCount_; }
  bool IsSQLBased() const { return sqlBased_; }
  int DataSetCount() const { return int(dataSets_.size()); }
  TDataSet* DataSets(int index) const { return dataSets_.at(std::size_t(index)); }
  bool TemporaryAlias() const { return temporaryAlias_; }
  TttSessionlist* SessionList() const { return list_; }
  // True while Close runs (its datasets release it then).
  bool Closing() const { return closing_; }

  // For sessions and datasets.
  void AddRef() { ++refCount_; }
  void Release() { if (refCount_ > 0) --refCount_; }
  void AddDataSet(TDataSet* dataSet);
  void RemoveDataSet(TDataSet* dataSet);
  void ForgetSession() { session_ = nullptr; }
  // Finds the named session, activates it and registers this database there.
  void CheckSessionName(bool activate);
  void SetListOf(TttSessionlist* list) { list_ = list; }

 protected:
  // Resolves the alias and, for an alias with a user name, logs in; fills
  // the password the database is opened with.
  virtual void PrepareLogin(std::string& password);
  // After a failed open: true (with another password) to try again. The
  // engine's databases never do.
  virtual bool RetryWithPassword(DBIResult code, std::string& password) {
    (void)code, (void)password;
    return false;
  }

 private:
  void CheckInactive() const;
  void Login(TStrings* loginParams);
  bool ParamsDiffer(TStrings* aliasParams);

  TttSessionlist* list_ = nullptr;
  TBaseDatabase* handle_ = nullptr;
  TttSession* session_ = nullptr;
  std::vector<TDataSet*> dataSets_;
  std::unique_ptr<TStrings> params_;
  std::string aliasName_;
  std::string databaseName_;
  std::string sessionName_;
  std::string driverType_;
  int refCount_ = 0;
  bool aliasSet_ = false;
  bool connectedLoaded_ = false;
  bool handleShared_ = false;
  bool keepConnection_ = true;
  bool loginPrompt_ = true;
  bool temporary_ = false;
  bool temporaryAlias_ = false;
  bool sqlBased_ = false;
  bool closing_ = false;
};

// The published properties of databases (the engine's and the class library's).
template <class C>
void PublishDatabaseProperties(classlib_detail::TPublisher<C>& P) {
  using Class = C;
  PROP_STR(AliasName, AliasName, SetAliasName, "");
  PROP_BOOL(Connected, Connected, SetConnected, false);
  PROP_STR(DatabaseName, DatabaseName, SetDatabaseName, "");
  PROP_BOOL(HandleShared, HandleShared, SetHandleShared, false);
  PROP_BOOL(KeepConnection, KeepConnection, SetKeepConnection, true);
  PROP_BOOL(LoginPrompt, LoginPrompt, SetLoginPrompt, true);
  PROP_OBJ(Params, Params, SetParams);
  PROP_STR(SessionName, SessionName, SetSessionName, "");
  PROP_EVENT(OnLogin);
}
