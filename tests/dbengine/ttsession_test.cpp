// Session and database components: lifecycle, shared handles, temporary
// databases, engine error texts and login.

#include <gtest/gtest.h>

#include <thread>

#include "dbengine/memtable.h"
#include "platform/classlib/core/strutils.h"
#include "platform/dao/earlierbuild.h"
#include "ttbinding.h"
#include "platform/classlib/core/english_settings.h"

using namespace tttest;

namespace {

class SessionLifecycle : public ComponentFixture {};

TEST_F(SessionLifecycle, ASecondSessionStartsTheDefaultOneFirst) {
  TTestSession second;
  second.SetSessionName("Second");
  second.SetActive(true);
  EXPECT_TRUE(Default()->Active());
  ASSERT_NE(nullptr, list_->Engine());
  EXPECT_EQ(second.Handle(), list_->Engine()->GetCurrentSession());
  second.SetActive(false);
  EXPECT_EQ(Default()->Handle(), list_->Engine()->GetCurrentSession());
}

TEST_F(SessionLifecycle, TheCallLayerOutlivesTheDefaultSessionWhileOthersWork) {
  TTestSession second;
  second.SetSessionName("Second");
  second.SetActive(true);
  Default()->SetActive(false);
  // The other session still reaches its database through the call layer.
  ASSERT_NE(nullptr, list_->Engine());
  auto t = MakeTable();
  t->SetSessionName("Second");
  t->Open();
  EXPECT_EQ("Anna", t->FieldByName("Name")->AsString());
  t->Close();
  second.SetActive(false);
  EXPECT_EQ(nullptr, list_->Engine()) << "the last session frees the call layer";
  // Everything starts again cleanly.
  t->SetSessionName("");
  t->Open();
  EXPECT_EQ(3, t->RecordCount());
}

TEST_F(SessionLifecycle, TheHourglassShowsWhileTheEngineStarts) {
  std::vector<int> cursors;
  Default()->ScreenCursor = [&](int cursor) { cursors.push_back(cursor); };
  Default()->SetActive(true);
  EXPECT_EQ((std::vector<int>{-11, 0}), cursors);
}

// The session's engine calls drive its wait cursor: a burst of calls longer
// than half a second shows it, a failing call restores the screen, and a
// session without SQLHourGlass never touches the cursor.
TEST_F(SessionLifecycle, EngineCallsShowTheWaitCursorWhenTheSessionAsksForIt) {
  for (bool hourGlass : {true, false}) {
    SCOPED_TRACE(hourGlass);
    std::vector<int> cursors;
    std::uint32_t now = 1000;
    int timers = 0;
    Default()->SetSQLHourGlass(hourGlass);
    Default()->SetActive(true);
    StopWaitCursor();  // activation's own calls
    Default()->ScreenCursor = [&](int cursor) { cursors.push_back(cursor); };
    Default()->WaitCursorHooks.TickCount = [&] { return now; };
    Default()->WaitCursorHooks.StartTimer = [&](unsigned, std::function<void()>) {
      return std::uintptr_t(++timers);
    };
    Default()->GetConfigMode();  // starts the timer only
    EXPECT_TRUE(cursors.empty());
    EXPECT_EQ(0u, Default()->WaitCursorGate) << "the gate is open only during a call";
    now += 600;  // the operation goes on: its next call shows the wait cursor
    Default()->SetConfigMode(7);
    EXPECT_EQ((hourGlass ? std::vector<int>{-17} : std::vector<int>{}), cursors);
    cursors.clear();
    auto params = std::make_unique<TStringList>();
    EXPECT_THROW(Default()->GetAliasParams("NoSuchAlias", params.get()), ETDBEngineError);
    EXPECT_EQ((hourGlass ? std::vector<int>{-17, 0} : std::vector<int>{}), cursors)
        << "a failure ends the wait cursor";
    EXPECT_EQ(hourGlass ? 1 : 0, timers);
    Default()->ScreenCursor = nullptr;
    Default()->WaitCursorHooks = {};
    Default()->SetActive(false);
  }
}

TEST_F(SessionLifecycle, SessionNamesAreChecked) {
  TTestSession unnamed;
  EXPECT_EQ("Session name missing", MessageOf<EDatabaseError>([&] { unnamed.SetActive(true); }));
  EXPECT_FALSE(unnamed.Active());
  TTestSession other;
  EXPECT_EQ("Duplicate session name 'Default'",
      MessageOf<EDatabaseError>([&] { other.SetSessionName("Default"); }));
  EXPECT_EQ("Invalid session name Nowhere",
      MessageOf<EDatabaseError>([&] { list_->FindSession("Nowhere"); }));
  EXPECT_EQ(Default(), list_->FindSession(""));
  EXPECT_EQ(Default(), list_->FindSessionByName("DEFAULT"));
}

TEST_F(SessionLifecycle, ASharedHandleIsReleasedWithItsLastUserWhicheverClosesFirst) {
  TTestDatabase* a = MakeDatabase();
  TTestDatabase* b = MakeDatabase();
  a->SetHandleShared(true);
  b->SetHandleShared(true);
  auto openEngineDatabases = [&] { return Default()->Handle()->Databases()->Count(); };
  for (int round = 0; round < 3; ++round) {
    a->Open();
    b->Open();
    ASSERT_EQ(1, openEngineDatabases()) << "the second opener shares the first's handle";
    TTestDatabase* first = round % 2 == 0 ? a : b;  // the opener or the adopter first
    first->Close();
    EXPECT_EQ(1, openEngineDatabases()) << "round " << round;
    (first == a ? b : a)->Close();
    EXPECT_EQ(0, openEngineDatabases()) << "round " << round;
  }
  // A handle adopted from outside any component stays its giver's.
  TBaseDatabase* outside = nullptr;
  ASSERT_EQ(0, list_->Engine()->OpenDatabase(path_.c_str(), nullptr, 0, 0, "", 0, nullptr, nullptr, outside));
  a->SetHandle(outside);
  a->Close();
  EXPECT_EQ(1, openEngineDatabases());
  EXPECT_EQ(0, list_->Engine()->CloseDatabase(outside));
}

TEST_F(SessionLifecycle, ATemporaryAliasGoesWithItsConnectionSoAReopenFollowsTheNewAlias) {
  std::string second = dir_ + "/Second.MDB";
  dao::TDatabaseCore::Create(second, "");
  {
    dao::TDatabaseCore db(second, false, false, "");
    db.Execute("CREATE TABLE People (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(20))");
    db.Execute("INSERT INTO People (Name) VALUES ('Zoe')");
  }
  Default()->SetActive(true);
  for (auto [alias, path] : {std::pair{"First", path_}, std::pair{"Second", second}}) {
    TStringList params;
    params.Add("PATH=" + path);
    Default()->AddAlias(alias, "ACCESS", &params, 7);
  }
  TTestDatabase* db = MakeDatabase();
  db->SetDatabaseName("Main");
  for (auto [alias, name] : {std::pair{"First", "Anna"}, {"Second", "Zoe"}, {"First", "Anna"}}) {
    db->SetAliasName(alias);
    db->Open();
    ASSERT_TRUE(db->TemporaryAlias());
    auto t = MakeTable();
    t->SetDatabaseName("Main");
    t->Open();
    EXPECT_EQ(name, t->FieldByName("Name")->AsString()) << "through " << alias;
    t.reset();
    db->Close();
    TDatabaseDesc desc{};
    EXPECT_EQ(dberr::UnknownDb, list_->Engine()->ResolveAlias("Main", desc)) << "the alias is gone";
  }
}

TEST_F(SessionLifecycle, DuplicateNamesWithoutSharingAreRefused) {
  TTestDatabase* a = MakeDatabase();
  TTestDatabase* b = MakeDatabase();
  a->Open();
  EXPECT_EQ("Duplicate database name '" + path_ + "'", MessageOf<EDatabaseError>([&] { b->Open(); }));
  EXPECT_FALSE(b->Connected());
}

TEST_F(SessionLifecycle, ATemporaryDatabaseLivesWhileItsDatasetIsOpen) {
  Default()->SetKeepConnections(false);
  auto t = MakeTable();
  t->Open();
  ASSERT_EQ(1, Default()->DatabaseCount());
  TttDatabase* temp = Default()->Databases(0);
  EXPECT_TRUE(temp->Temporary());
  EXPECT_EQ(1, temp->RefCount());
  t->Close();
  EXPECT_EQ(0, Default()->DatabaseCount()) << "freed with its last dataset";
  // With KeepConnections the temporary database stays connected.
  Default()->SetKeepConnections(true);
  t->Open();
  t->Close();
  ASSERT_EQ(1, Default()->DatabaseCount());
  EXPECT_TRUE(Default()->Databases(0)->Connected());
}

TEST_F(SessionLifecycle, ADatasetMovesItsDatabaseToTheSessionItNames) {
  TTestSession second;
  second.SetSessionName("Second");
  TTestDatabase* db = MakeDatabase();
  db->Open();  // registers with the default session
  db->Close();
  db->SetSessionName("Second");
  ASSERT_EQ(Default(), db->Session());
  auto t = MakeTable();
  t->SetSessionName("Second");
  t->Open();
  EXPECT_EQ(db, t->Database()) << "the dataset uses the component, not a temporary namesake";
  EXPECT_EQ(&second, db->Session());
  EXPECT_TRUE(second.Active());
  EXPECT_EQ(1, second.DatabaseCount());
  EXPECT_EQ(nullptr, Default()->FindDatabase(path_));
  EXPECT_EQ(3, t->RecordCount());
  t->Close();
  // A database already in the named session stays where it is.
  auto u = MakeTable();
  u->SetSessionName("Second");
  u->Open();
  EXPECT_EQ(db, u->Database());
  EXPECT_EQ(1, second.DatabaseCount());
}

TEST_F(SessionLifecycle, ClosingADatabaseClosesItsDatasets) {
  TTestDatabase* db = MakeDatabase();
  db->Open();
  auto t = MakeTable();
  t->Open();
  TTestQuery q;
  q.SetDatabaseName(path_);
  q.SQL()->Add("SELECT * FROM People");
  q.Open();
  db->Close();
  EXPECT_FALSE(t->Active());
  EXPECT_FALSE(q.Active());
  EXPECT_FALSE(q.Prepared());
  EXPECT_EQ(0, db->DataSetCount());
}

TEST_F(SessionLifecycle, ConnectedDatabasesKeepTheirNames) {
  TTestDatabase* db = MakeDatabase();
  db->Open();
  EXPECT_EQ("Cannot perform this operation on an open database",
      MessageOf<EDatabaseError>([&] { db->SetDatabaseName("Other"); }));
  TTestDatabase* nameless = MakeDatabase();
  nameless->SetDatabaseName("");
  EXPECT_EQ("Database name missing", MessageOf<EDatabaseError>([&] { nameless->Open(); }));
}

TEST_F(SessionLifecycle, AutomaticNamesTakeTheFirstFreeNumber) {
  TComponent form(nullptr);
  auto* session = new TTestSession(&form);
  session->SetName("Session");
  session->SetAutoSessionName(true);
  EXPECT_EQ("Session_1", session->SessionName());
  EXPECT_NE(std::string::npos,
      MessageOf<EDatabaseError>([&] { session->SetSessionName("Other"); }).find("Cannot modify SessionName while AutoSessionName is enabled"));
  // Datasets placed on the owner take the session's name.
  auto* table = new TTestTable(&form);
  EXPECT_EQ("Session_1", table->SessionName());
  TComponent other(nullptr);
  auto* second = new TTestSession(&other);
  second->SetName("Session");
  second->SetAutoSessionName(true);
  EXPECT_EQ("Session_2", second->SessionName());
  session->SetAutoSessionName(false);
  try {
    new TTestSession(&other);
    FAIL() << "a second session joined an automatically named one";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ("Cannot add a session to the form or data-module while session 'Session_2' has "
              "AutoSessionName enabled",
              e.Message());
  }
  EXPECT_EQ(1, other.ComponentCount()) << "the refused session left its owner";
  TComponent more(nullptr);
  auto* fourth = new TTestSession(&more);
  fourth->SetName("S");
  fourth->SetAutoSessionName(true);
  EXPECT_EQ("S_1", fourth->SessionName()) << "a freed number is taken again";
}

TEST_F(SessionLifecycle, ActiveSessionsKeepTheirNameAndReadTheirDirectories) {
  Default()->SetActive(true);
  EXPECT_THROW(Default()->SetSessionName("Changed"), EDatabaseError);
  EXPECT_EQ(2, Default()->CallbackCount()) << "the wait cursor and the login records";
  Default()->SetPrivateDir(dir_);
  EXPECT_EQ(AnsiUpperCase(dir_), Default()->PrivateDir());
  Default()->SetActive(false);
  Default()->SetSQLHourGlass(false);
  Default()->SetActive(true);
  EXPECT_EQ(1, Default()->CallbackCount());
}

TEST_F(SessionLifecycle, TheWaitCursorShowsAfterHalfASecondUntilItsTimerOrAnErrorEndsIt) {
  std::vector<int> cursors;
  std::uint32_t now = 5000;
  std::function<void()> expiry;
  int started = 0;
  int killed = 0;
  Default()->ScreenCursor = [&](int cursor) { cursors.push_back(cursor); };
  Default()->WaitCursorHooks.TickCount = [&] { return now; };
  Default()->WaitCursorHooks.StartTimer = [&](unsigned milliseconds, std::function<void()> expired) {
    EXPECT_EQ(1000u, milliseconds);
    ++started;
    expiry = std::move(expired);
    return std::uintptr_t(7);
  };
  Default()->WaitCursorHooks.KillTimer = [&](std::uintptr_t timer) {
    EXPECT_EQ(7u, timer);
    ++killed;
  };
  Default()->SetActive(true);
  ASSERT_EQ(2, Default()->CallbackCount());
  const TttBDECallback* wait = Default()->Callbacks(0);
  EXPECT_EQ(21, wait->CallbackType());
  EXPECT_EQ(4, wait->BufferLength());
  EXPECT_EQ(28, Default()->Callbacks(1)->CallbackType());
  EXPECT_EQ(80, Default()->Callbacks(1)->BufferLength());
  // Activation's own engine calls ran the wait cursor: start over.
  StopWaitCursor();
  started = killed = 0;
  cursors.clear();
  // Until the session's gate reads 1 the routine does nothing.
  wait->Invoke();
  now += 800;
  wait->Invoke();
  EXPECT_EQ(0, started);
  EXPECT_TRUE(cursors.empty());
  Default()->WaitCursorGate = 1;
  wait->Invoke();  // the first call only starts the timer
  EXPECT_EQ(1, started);
  now += 500;
  wait->Invoke();
  EXPECT_TRUE(cursors.empty()) << "not more than 500 ms yet";
  now += 1;
  wait->Invoke();
  EXPECT_EQ((std::vector<int>{-17}), cursors);
  expiry();  // the timer's expiry ends the wait cursor
  EXPECT_EQ(1, killed);
  EXPECT_EQ((std::vector<int>{-17, 0}), cursors);
  // The next call starts over; an engine error ends the wait cursor.
  wait->Invoke();
  EXPECT_EQ(2, started);
  now += 501;
  wait->Invoke();
  cursors.clear();
  EXPECT_THROW(EngineCheck(list_->Engine(), dberr::NoSuchTable), ETDBEngineError);
  EXPECT_EQ(2, killed);
  EXPECT_EQ((std::vector<int>{0}), cursors);
  // So does a dataset opened over a statement that has no rows to give;
  // without a timer nothing is killed.
  TTestQuery action;
  action.SetDatabaseName(path_);
  action.SQL()->Add("UPDATE People SET Age = 1 WHERE Age = 1000");
  wait->Invoke();
  cursors.clear();
  EXPECT_THROW(action.Open(), ETDBEngineError);
  EXPECT_EQ(3, killed);
  EXPECT_EQ((std::vector<int>{0}), cursors);
  StopWaitCursor();
  EXPECT_EQ(3, killed);
  // An engine error raised on another thread leaves the screen alone.
  cursors.clear();
  std::thread([&] { ETDBEngineError error(list_->Engine(), dberr::NoSuchTable); }).join();
  EXPECT_TRUE(cursors.empty());
}

TEST_F(SessionLifecycle, AdoptedHandlesStayWithTheirOwner) {
  TTestDatabase* owner = MakeDatabase();
  owner->Open();
  TTestDatabase* adopter = MakeDatabase();
  adopter->SetDatabaseName("Adopter");
  adopter->SetHandle(owner->Handle());
  EXPECT_TRUE(adopter->Connected());
  adopter->Close();
  EXPECT_TRUE(owner->Connected());
  // The engine database is still open: the adopter did not close it.
  TBaseTable* cursor = nullptr;
  EXPECT_EQ(0, list_->Engine()->OpenTable(owner->Handle(), "People", nullptr, nullptr, nullptr, 0, 0, 0,
                                          0, false, nullptr, cursor));
  list_->Engine()->CloseCursor(cursor);
  TTestSession second;
  second.SetSessionName("Second");
  TTestDatabase* stranger = MakeDatabase();
  stranger->SetDatabaseName("Stranger");
  stranger->SetSessionName("Second");
  EXPECT_EQ("Database handle owned by a different session",
      MessageOf<EDatabaseError>([&] { stranger->SetHandle(owner->Handle()); }));
}

// While a database of the session opens, the engine tells the session's
// hooks how far the work on a file of an earlier build has come and what the
// user must know; each session hears of its own opens only.
TEST_F(SessionLifecycle, AnOpenTellsTheSessionOfItsWorkOnAnEarlierBuildsFile) {
  ExecuteElsewhere("CREATE TABLE Codes (Code TEXT(10))");
  ExecuteElsewhere("CREATE UNIQUE INDEX ByCode ON Codes (Code)");
  ASSERT_EQ("", daotest::MakeEarlierBuildFile(path_, 0, daotest::CompareOldFold,
                                              "INSERT INTO Codes (Code) VALUES ('\u00DFq'), ('\u1E9Eq');"));
  std::vector<DaoOpenProgress::Stage> stages;
  std::vector<std::string> notices;
  TTestSession second;
  second.SetSessionName("Second");
  second.OpenUpkeep.Progress = [&](const DaoOpenProgress& p) {
    if (stages.empty() || stages.back() != p.stage) stages.push_back(p.stage);
  };
  second.OpenUpkeep.Notice = [&](const std::string& path, const std::string& text) {
    EXPECT_EQ(path_, path);
    notices.push_back(text.substr(0, text.find(':')));
  };
  Default()->OpenUpkeep.Notice = [&](const std::string&, const std::string&) { ADD_FAILURE() << "told the other"; };
  auto t = MakeTable("Codes");
  t->SetSessionName("Second");
  t->Open();
  EXPECT_EQ((std::vector<DaoOpenProgress::Stage>{DaoOpenProgress::Checking, DaoOpenProgress::Rebuilding,
                                                 DaoOpenProgress::Done}),
            stages);
  EXPECT_EQ(std::vector<std::string>{"Table \"Codes\""}, notices);
  EXPECT_EQ(2, t->RecordCount());
  // Outside the open the engine's hooks are what they were.
  const DaoOpenHooks outside = DaoSetOpenHooks({});
  EXPECT_FALSE(outside.Progress || outside.Notice);
  Default()->OpenUpkeep = {};
}

class ComponentEngineErrors : public ComponentFixture {};

TEST_F(ComponentEngineErrors, ACodeWithoutStackTextNamesTheCode) {
  Default()->SetActive(true);
  ETDBEngineError error(list_->Engine(), 0x2E99);
  EXPECT_EQ("Morva Interface Error: ( 2E99 )", error.Message());
  ASSERT_EQ(1, error.ErrorCount());
  EXPECT_EQ(0x2E99, error.Errors(0)->ErrorCode());
  EngineCheck(list_->Engine(), 0);  // success raises nothing
}

TEST_F(ComponentEngineErrors, AFailedOpenCarriesTheEngineTexts) {
  auto t = MakeTable("Nowhere");
  try {
    t->Open();
    FAIL();
  } catch (const ETDBEngineError& e) {
    EXPECT_GE(e.ErrorCount(), 1);
    EXPECT_NE(0, e.ErrorCode());
    EXPECT_EQ(0u, e.Message().find("Access Status ")) << e.Message();
  }
  EXPECT_FALSE(t->Active());
  EXPECT_EQ(nullptr, t->Database()) << "a failed open lets go of its database";
}

// An Access session whose aliases also name a user, as server aliases do.
class TUserAliasSession : public TAccessSession {
 public:
  using TAccessSession::TAccessSession;
  void ListAliasNodes(TMemTable* list) override {
    TAccessSession::ListAliasNodes(list);
    if (list->GetTableName().find("\\Secure\\") == std::string::npos) return;
    std::vector<std::uint8_t> row(list->GetRecordBufferSize(), 0);
    auto putText = [&](std::uint16_t field, const std::string& text) {
      std::vector<char> value(list->FieldCache()->FieldByNumber(field)->Desc.Length, 0);
      std::memcpy(value.data(), text.data(), std::min(text.size(), value.size() - 1));
      list->PutField(field, row.data(), value.data());
    };
    putText(1, "USER NAME");
    putText(4, "guest");
    list->InsertRecord(0, row.data());
  }
};

class Login : public ComponentFixture {
 protected:
  void SetUp() override {
    ComponentFixture::SetUp();
    list_->EngineClass = [](TVirtEng* e, TMorvaCollection* s, const char* n, const char* d) -> TBaseSession* {
      return new TUserAliasSession(e, s, n, d);
    };
    // An alias of the scratch file that asks for a user name.
    Default()->SetActive(true);
    TStringList params;
    params.Add("PATH=" + path_);
    Default()->AddAlias("Secure", "ACCESS", &params, 7);
  }
};

TEST_F(Login, AliasParametersComeFromTheEngine) {
  TStringList params;
  Default()->GetAliasParams("Secure", &params);
  EXPECT_EQ(path_, params.Values("PATH"));
  EXPECT_EQ("guest", params.Values("USER NAME"));
}

TEST_F(Login, ParametersEqualToTheAliasAddNoTemporaryAlias) {
  TTestDatabase* db = MakeDatabase();
  db->SetDatabaseName("Secure");
  db->SetLoginPrompt(false);
  db->Params()->Add("PATH=" + path_);
  db->Params()->Add("USER NAME=guest");
  db->Open();
  EXPECT_TRUE(db->Connected());
  EXPECT_FALSE(db->TemporaryAlias());
}

TEST_F(Login, TheLoginHandlerSuppliesTheUserName) {
  TTestDatabase* db = MakeDatabase();
  db->SetDatabaseName("SecureDb");
  db->SetAliasName("Secure");
  std::string offered;
  db->OnLogin = [&](TttDatabase*, TStrings* login) {
    offered = login->Values("USER NAME");
    login->SetValues("USER NAME", "admin");
    login->SetValues("PASSWORD", "");
  };
  db->Open();
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ("guest", offered);
  EXPECT_EQ("admin", db->Params()->Values("USER NAME"));
  EXPECT_TRUE(db->TemporaryAlias()) << "the user name differs from the alias's";
  db->Close();
  EXPECT_FALSE(db->Connected());
  EXPECT_FALSE(db->TemporaryAlias());
}

TEST_F(Login, ACancelledLoginLeavesTheDatabaseClosed) {
  TTestDatabase* db = MakeDatabase();
  db->SetDatabaseName("SecureDb");
  db->SetAliasName("Secure");
  Default()->LoginDialog = [](const std::string&, std::string&, std::string&) { return false; };
  EXPECT_EQ("Cannot connect to database 'SecureDb'", MessageOf<EDatabaseError>([&] { db->Open(); }));
  EXPECT_FALSE(db->Connected());
  EXPECT_FALSE(db->TemporaryAlias());
  // Without the prompt the password comes from the parameters.
  db->SetLoginPrompt(false);
  db->Open();
  EXPECT_TRUE(db->Connected());
}

}  // namespace
