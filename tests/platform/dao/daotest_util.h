#pragma once
// Scratch databases for the DAO tests: each test gets a fresh folder.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/dao/core.h"
#include "platform/dao/daoerrors.h"

namespace daotest {

inline std::string ScratchDir() {
  static int counter = 0;
  auto dir = std::filesystem::temp_directory_path() /
             ("vantrel-dao-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

// The DAO error number a statement fails with, 0 when it succeeds.
template <class F>
int ErrorOf(F&& f) {
  try {
    f();
  } catch (const dao::TDaoFailure& e) {
    return e.Number();
  }
  return 0;
}

// The description a statement fails with (empty when it succeeds).
template <class F>
std::string DescriptionOf(F&& f) {
  try {
    f();
  } catch (const dao::TDaoFailure& e) {
    return e.Description();
  }
  return {};
}

class DaoFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ScratchDir();
    path_ = dir_ + "/Test.MDB";
    dao::TDatabaseCore::Create(path_, "");
    db_ = std::make_unique<dao::TDatabaseCore>(path_, false, false, "");
  }
  void TearDown() override {
    db_.reset();
    std::filesystem::remove_all(dir_);
  }
  // People(Id COUNTER primary, Name TEXT(20) indexed, Age SHORT, Born DATETIME, Notes MEMO)
  void MakePeople() {
    db_->Execute(
        "CREATE TABLE People (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(20), "
        "Age SHORT, Born DATETIME, Notes MEMO, Photo LONGBINARY)");
    db_->Execute("CREATE INDEX ByName ON People (Name)");
    db_->Execute("CREATE INDEX ByAgeName ON People (Age DESC, Name)");
  }
  // People with "one" (age 1) and "two" (age 2).
  void MakeOneAndTwo() {
    MakePeople();
    AddPerson("one", 1);
    AddPerson("two", 2);
  }
  void AddPerson(const std::string& name, int age) {
    db_->Execute("INSERT INTO People (Name, Age) VALUES ('" + name + "', " + std::to_string(age) + ")");
  }
  std::string dir_;
  std::string path_;
  std::unique_ptr<dao::TDatabaseCore> db_;
};

}  // namespace daotest
