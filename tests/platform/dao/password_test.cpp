// The password of a database file is kept as a salted hash: it opens the
// file, nothing else does, and it can be read from neither the file nor the
// catalogue. Files that keep the password itself still open with it.

#include <filesystem>
#include <fstream>
#include <sstream>

#include "daotest_util.h"

using namespace dao;
using daotest::DaoFixture;
using daotest::ErrorOf;

namespace {

class Password : public DaoFixture {
 protected:
  std::string Stored(const std::string& path) {
    TDatabaseCore db(path, false, true, ";pwd=Secret");
    StatementUse s(db.Conn().Cached("SELECT Password FROM MSysPassword"));
    return s->Step() ? s->ColumnText(0) : std::string();
  }
  int OpenWith(const std::string& path, const std::string& password, bool readOnly = false) {
    return ErrorOf([&] { TDatabaseCore(path, false, readOnly, ";pwd=" + password); });
  }
  void ExpectOnlySecretOpens(const std::string& path) {
    EXPECT_EQ(0, OpenWith(path, "Secret"));
    for (const std::string& wrong : std::vector<std::string>{"secret", "", "Secret ", Stored(path)})
      EXPECT_EQ(errBadPassword, OpenWith(path, wrong)) << "'" << wrong << "'";
  }
};

TEST_F(Password, OnlyTheHashIsKept) {
  std::string path = dir_ + "/secured.mdb";
  TDatabaseCore::Create(path, ";pwd=Secret");
  std::string stored = Stored(path);
  EXPECT_EQ(std::string::npos, stored.find("Secret"));
  EXPECT_NE(stored, [&] {
    std::string other = dir_ + "/other.mdb";
    TDatabaseCore::Create(other, ";pwd=Secret");
    return Stored(other);
  }()) << "salted: the same password gives another hash";
  ExpectOnlySecretOpens(path);
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  EXPECT_EQ(std::string::npos, bytes.str().find("Secret"));
}

TEST_F(Password, AFileKeepingThePasswordItselfOpensAndGetsTheHash) {
  db_->Conn().Exec("CREATE TABLE MSysPassword (Password TEXT NOT NULL)");
  db_->Conn().Exec("INSERT INTO MSysPassword VALUES ('Secret')");
  db_.reset();
  EXPECT_EQ(errBadPassword, OpenWith(path_, "secret", true));
  EXPECT_EQ(0, OpenWith(path_, "Secret", true));
  EXPECT_EQ("Secret", Stored(path_)) << "a read-only open writes nothing";
  EXPECT_EQ(0, OpenWith(path_, "Secret"));
  EXPECT_NE("Secret", Stored(path_));
  ExpectOnlySecretOpens(path_);
}

}  // namespace
