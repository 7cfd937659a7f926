#pragma once
// A small binding of the session, database, table and query components to the
// Access engine, for tests: one session list per fixture.

#include "accbinding_fixture.h"
#include "dbengine/ttquery.h"
#include "dbengine/ttsession.h"
#include "dbengine/tttable.h"

namespace tttest {

class TTestSessionlist;
inline TTestSessionlist* gList = nullptr;

class TTestSession : public TttSession {
 public:
  explicit TTestSession(TComponent* owner = nullptr);
  TttDatabase* GetDatabaseClass(TComponent* owner) override;
};

class TTestDatabase : public TttDatabase {
 public:
  explicit TTestDatabase(TComponent* owner = nullptr);
};

class TTestTable : public TttTable {
 public:
  explicit TTestTable(TComponent* owner = nullptr);
  // Reaches protected services for tests.
  using TttBDEDataset::ActiveRecordBuffer;
  void PutCursorAtEnd() {
    CursorPosChanged();
    Engine()->SetToEnd(cursor_);
  }
};

class TTestQuery : public TttQuery {
 public:
  explicit TTestQuery(TComponent* owner = nullptr);
};

class TTestSessionlist : public TttSessionlist {
 public:
  TTestSessionlist() {
    gList = this;
    auto* def = new TTestSession();
    def->SetSessionName("Default");
  }
  ~TTestSessionlist() override {
    if (gList == this) gList = nullptr;
  }
  TttSession* GetSessionClass(TComponent* owner) override { return new TTestSession(owner); }
  TSessionClass GetEngineClass() const override { return EngineClass; }
  TSessionClass EngineClass = accesstest::AccessSessionClass();
};

inline TTestSession::TTestSession(TComponent* owner) : TttSession(owner) { gList->AddSession(this); }
inline TttDatabase* TTestSession::GetDatabaseClass(TComponent* owner) { return new TTestDatabase(owner); }
inline TTestDatabase::TTestDatabase(TComponent* owner) : TttDatabase(owner) { SetListOf(gList); }
inline TTestTable::TTestTable(TComponent* owner) : TttTable(owner) { SetListOf(gList); }
inline TTestQuery::TTestQuery(TComponent* owner) : TttQuery(owner) { SetListOf(gList); }

using accesstest::ColumnOf;

// The Access scratch database, reached through the components.
class ComponentFixture : public accesstest::AccessFixture {
 protected:
  void SetUp() override {
    AccessFixture::SetUp();
    list_ = std::make_unique<TTestSessionlist>();
  }
  void TearDown() override {
    // The wait cursor is the process's: no test leaves it running, and its
    // end must not reach hooks that captured a finished test's locals.
    for (int i = 0; i < list_->Count(); ++i) {
      list_->Sessions(i)->ScreenCursor = nullptr;
      list_->Sessions(i)->WaitCursorHooks = {};
    }
    StopWaitCursor();
    owned_.clear();
    list_.reset();
    AccessFixture::TearDown();
  }
  TTestSession* Default() { return static_cast<TTestSession*>(list_->DefaultSession()); }
  // A database component named "Main" over the scratch file.
  TTestDatabase* MakeDatabase(TComponent* owner = nullptr) {
    auto* db = new TTestDatabase(owner);
    owned_.emplace_back(owner ? nullptr : db);
    db->SetDatabaseName(path_);
    return db;
  }
  std::unique_ptr<TTestTable> MakeTable(const std::string& table = "People") {
    auto t = std::make_unique<TTestTable>();
    t->SetDatabaseName(path_);
    t->SetTableName(table);
    return t;
  }
  // The People table on its key, or (`query`) a live query over it in that
  // order; not opened.
  std::unique_ptr<TDataSet> MakePeople(bool query) {
    if (!query) {
      auto t = MakeTable();
      t->SetIndexName("PrimaryKey");
      return t;
    }
    auto q = std::make_unique<TTestQuery>();
    q->SetDatabaseName(path_);
    q->SetRequestLive(true);
    q->SQL()->Add("SELECT * FROM People ORDER BY Id");
    return q;
  }

  std::unique_ptr<TTestSessionlist> list_;
  std::vector<std::unique_ptr<TttDatabase>> owned_;
};

}  // namespace tttest
