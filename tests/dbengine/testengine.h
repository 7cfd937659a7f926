#pragma once
// A test database and session over the indexed test cursor, and a scratch
// registry folder for the tests that read and write the engine's keys.

#include <cstdlib>
#include <filesystem>
#include <string>

#include "dbengine/basesession.h"
#include "dbengine/virteng.h"
#include "platform/classlib/core/settings_folder.h"
#include "testcursor.h"

namespace testing_engine {

using testing_support::TScratchRegistry;

class TTestStatement : public TSqlStmt {
 public:
  using TSqlStmt::TSqlStmt;
  void ExecuteStatement(TBaseTable** cursor) override {
    if (StatementText() == "fail") RaiseEngineErrorText(dberr::NoSuchTable, "missing");
    if (cursor) *cursor = new TTestCursor(Database(), Database()->OpenCursors(), "result");
  }
};

class TTestDatabase : public TBaseDatabase {
 public:
  using TBaseDatabase::TBaseDatabase;
  std::vector<std::string> TableNames = {"Orders", "Customers"};
  int TablesOpened = 0;

  void OpenTable(const char* tableName, const char*, const char*, const char*, std::uint16_t,
                 std::int32_t openMode, std::int32_t shareMode, std::int32_t, bool, const void*,
                 TBaseTable*& cursor) override {
    cursor = nullptr;
    CheckParam(tableName);
    bool known = false;
    for (const auto& n : TableNames) known = known || n == tableName;
    if (!known) RaiseEngineErrorText(dberr::NoSuchTable, tableName);
    ++TablesOpened;
    auto* c = new TTestCursor(this, OpenCursors(), tableName, true, shareMode);
    c->OpenMode = openMode;
    c->SetSourceTableName((std::string("/data/") + tableName).c_str());
    cursor = c;
  }
  void OpenTableList(const char*, std::uint32_t, TBaseTable*& cursor) override {
    std::vector<char> rows(TableNames.size() * 261, 0);
    for (std::size_t i = 0; i < TableNames.size(); ++i)
      dbengine_detail::StoreText(rows.data() + i * 261, 261, TableNames[i]);
    cursor = new TBaseListTable(this, OpenCursors(), rows.data(),
                                static_cast<std::uint16_t>(TableNames.size()), 261);
  }
  void AllocateStatement(std::uint16_t, TSqlStmt*& statement) override {
    statement = new TTestStatement(this, nullptr);
  }
  void PrepareDriverStatement(TSqlStmt* statement, const char* sql) override {
    statement->SetStatementText(sql);
  }
};

class TTestSession : public TBaseSession {
 public:
  TTestSession(TBapiListItem* engine, TMorvaCollection* sessions, const char* name,
               const char* netDir)
      : TBaseSession(engine, sessions, name, netDir) {
    TTestSession::InitRegistryKey();
  }
  void InitRegistryKey() override { registry_.KeyPath = "\\Software\\Morva\\Access"; }
  void CreateDatabase(const TDatabaseDesc& desc, const char*, std::int32_t openMode,
                      std::int32_t shareMode, const char*, std::uint16_t paramCount,
                      const TFieldDesc* paramDescs, const void* paramValues,
                      TBaseDatabase*& database) override {
    LastDescription = desc;
    database = new TTestDatabase(this, Databases(), paramCount, paramDescs, paramValues,
                                 desc.Name, openMode, shareMode, &desc);
  }
  TDatabaseDesc LastDescription{};
};

inline TSessionClass TestSessionClass() {
  return [](TVirtEng* engine, TMorvaCollection* sessions, const char* name, const char* netDir) {
    return new TTestSession(engine, sessions, name, netDir);
  };
}

}  // namespace testing_engine
