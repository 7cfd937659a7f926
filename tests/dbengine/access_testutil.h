#pragma once
// A scratch Access database reached through the call layer: a private
// registry, the DAO server registered with its class keys, and a People table.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/accessdb.h"
#include "dbengine/accesstable.h"
#include "dbengine/virteng.h"
#include "platform/classlib/core/registry.h"
#include "platform/dao/core.h"
#include "platform/dao/dao.h"

namespace accesstest {

inline std::string ScratchDir() {
  static int counter = 0;
  auto dir = std::filesystem::temp_directory_path() /
             ("vantrel-access-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

inline void SetClassKey(const std::string& key, bool present) {
  TRegistry reg;
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  if (present)
    reg.CreateKey(key);
  else
    reg.DeleteKey(key);
}

inline TSessionClass AccessSessionClass() {
  return [](TVirtEng* engine, TMorvaCollection* sessions, const char* name, const char* dir) -> TBaseSession* {
    return new TAccessSession(engine, sessions, name, dir);
  };
}

class AccessFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ScratchDir();
    ::setenv("VANTREL_REGISTRY_DIR", (dir_ + "/registry").c_str(), 1);
    std::filesystem::create_directories(dir_ + "/registry");
    DaoRegisterServer();
    SetClassKey("\\DAO.DBEngine.35", true);
    SetClassKey("\\DAO.DBEngine", true);
    ResetSharedDAOEngine();
    path_ = dir_ + "/Test.MDB";
    dao::TDatabaseCore::Create(path_, "");
    {
      dao::TDatabaseCore db(path_, false, false, "");
      db.Execute(
          "CREATE TABLE People (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(20), "
          "Age SHORT, Score DOUBLE, Born DATETIME, Notes MEMO, Photo LONGBINARY, Pay CURRENCY, "
          "Active BIT)");
      db.Execute("CREATE INDEX ByName ON People (Name)");
      db.Execute("CREATE INDEX ByAgeName ON People (Age, Name DESC)");
      Populate(db);
    }
  }
  virtual void Populate(dao::TDatabaseCore& db) {
    db.Execute("INSERT INTO People (Name, Age, Score) VALUES ('Anna', 30, 1.5)");
    db.Execute("INSERT INTO People (Name, Age) VALUES ('Bert', 25)");
    db.Execute("INSERT INTO People (Name, Age) VALUES ('Carl', 30)");
  }
  void TearDown() override {
    engine_.reset();
    ResetSharedDAOEngine();
    std::filesystem::remove_all(dir_);
  }
  // A statement run by another user of the file.
  void ExecuteElsewhere(const std::string& sql) {
    dao::TDatabaseCore other(path_, false, false, "");
    other.Execute(sql);
  }
  TVirtEng& Engine() {
    if (!engine_) engine_ = std::make_unique<TVirtEng>(AccessSessionClass());
    return *engine_;
  }
  TBaseDatabase* OpenDb() {
    TBaseDatabase* db = nullptr;
    EXPECT_EQ(0, Engine().OpenDatabase(path_.c_str(), nullptr, 0, 0, "", 0, nullptr, nullptr, db));
    return db;
  }
  TBaseTable* OpenTable(TBaseDatabase* db, const char* name, const char* index = nullptr) {
    TBaseTable* cursor = nullptr;
    EXPECT_EQ(0, Engine().OpenTable(db, name, nullptr, index, nullptr, 0, 0, 0, 0, false, nullptr, cursor));
    return cursor;
  }
  // The field's native value read through the call layer.
  template <class T>
  T Get(TBaseTable* c, std::uint8_t* rec, std::uint16_t field, bool* blank = nullptr) {
    T value{};
    std::uint8_t raw[512] = {};
    bool b = false;
    EXPECT_EQ(0, Engine().GetField(c, field, rec, raw, b));
    std::memcpy(&value, raw, sizeof value);
    if (blank) *blank = b;
    return value;
  }
  std::string GetText(TBaseTable* c, std::uint8_t* rec, std::uint16_t field) {
    char raw[1024] = {};  // a 255-character text takes up to four bytes a character
    bool b = false;
    EXPECT_EQ(0, Engine().GetField(c, field, rec, raw, b));
    return raw;
  }

  std::string dir_;
  std::string path_;
  std::unique_ptr<TVirtEng> engine_;
};

// The same with the database opened through the call layer, and the buffers
// and bookmarks a cursor's tests read into.
class AccessDbFixture : public AccessFixture {
 protected:
  void SetUp() override {
    AccessFixture::SetUp();
    db_ = OpenDb();
    ASSERT_NE(db_, nullptr);
  }
  std::vector<std::uint8_t> Record(TBaseTable* c) { return std::vector<std::uint8_t>(c->GetRecordBufferSize(), 0); }
  // The bookmark of the record the cursor stands on.
  std::vector<std::uint8_t> BookmarkNow(TBaseTable* c) {
    std::vector<std::uint8_t> b(kAccessBookmarkSize, 0);
    EXPECT_EQ(0, Engine().GetBookmark(c, b.data()));
    return b;
  }

  TBaseDatabase* db_ = nullptr;
};

}  // namespace accesstest
