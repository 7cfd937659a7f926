// The connection's prepared statements: those whose text carries values (a
// row condition's) are kept only while recently used, never while held.

#include <sqlite3.h>

#include "daotest_util.h"

using namespace dao;
using daotest::DaoFixture;

namespace {

constexpr std::size_t kRecent = Connection::kRecentStatements;

class StatementCache : public DaoFixture {
 protected:
  // People aged 0 to 39, named "p0" to "p39".
  void MakeFortyPeople() {
    MakePeople();
    db_->Conn().Begin();
    for (int age = 0; age < 40; ++age) AddPerson("p" + std::to_string(age), age);
    db_->Conn().Commit();
  }
};

std::string AgeIs(int age) { return "SELECT Name FROM People WHERE Age = " + std::to_string(age); }

// How often the statement of this text kept by the connection has run.
int Runs(Connection& c, const std::string& sql) {
  StatementUse s = c.CachedRecent(sql);
  return sqlite3_stmt_status(s->Handle(), SQLITE_STMTSTATUS_RUN, 0);
}

void Step(Connection& c, const std::string& sql) {
  StatementUse s = c.CachedRecent(sql);
  s->Step();
}

}  // namespace

// Every filter or Locate value is a new condition: reading under many of
// them, in every order and both directions, prepares no more than a few
// dozen statements beyond those the table's shape needs.
TEST_F(StatementCache, DistinctRowConditionsKeepTheCountBounded) {
  MakeFortyPeople();
  for (const char* index : {"", "ByName", "ByAgeName"}) {
    SCOPED_TRACE(index);
    auto rs = db_->OpenRecordset("People", -1);
    if (*index) rs->SetIndex(index);
    rs->SetRowCondition("\"Age\" >= 0");
    rs->MoveLast();
    rs->MoveFirst();
    rs->MoveNext();
    const std::size_t shaped = db_->Conn().CachedStatementCount();
    for (int round = 0; round < 300; ++round) {
      const int age = round % 40;
      rs->SetRowCondition("\"Age\" >= " + std::to_string(age) + " AND " + std::to_string(round) + " >= 0");
      int rows = 0;
      for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext(), ++rows) ASSERT_GE(rs->Value(2).AsInteger(), age);
      ASSERT_EQ(40 - age, rows) << round;
      rs->MoveLast();
      rs->MovePrevious();
    }
    EXPECT_LE(db_->Conn().CachedStatementCount(), shaped + kRecent);
  }
}

// A statement read row by row stays while other conditions come and go:
// dropping it would leave its reader with a freed statement.
TEST_F(StatementCache, AHeldStatementIsNeverDropped) {
  MakeFortyPeople();
  Connection& c = db_->Conn();
  const std::size_t before = c.CachedStatementCount();
  StatementUse held = c.CachedRecent("SELECT Age FROM People WHERE Age < 3 ORDER BY Age");
  ASSERT_TRUE(held->Step());
  EXPECT_EQ(0, held->ColumnInteger(0));
  for (int age = 0; age < 40; ++age) Step(c, AgeIs(age));
  EXPECT_TRUE(held->InUse());
  ASSERT_TRUE(held->Step());
  EXPECT_EQ(1, held->ColumnInteger(0));
  ASSERT_TRUE(held->Step());
  EXPECT_EQ(2, held->ColumnInteger(0));
  EXPECT_FALSE(held->Step());
  EXPECT_EQ(before + kRecent, c.CachedStatementCount());
}

// Making room drops the statement used least recently, not one just used
// again; the fixed statements of the table's shape are never dropped.
TEST_F(StatementCache, TheLeastRecentlyUsedGoes) {
  MakePeople();
  Connection& c = db_->Conn();
  Statement& shaped = c.Cached("SELECT count(*) FROM People");
  const std::size_t before = c.CachedStatementCount();
  const std::string kept = AgeIs(1000), dropped = AgeIs(2000);
  Step(c, kept);
  Step(c, dropped);
  for (std::size_t i = 2; i < kRecent; ++i) Step(c, AgeIs(int(i)));
  Step(c, kept);
  EXPECT_EQ(before + kRecent, c.CachedStatementCount());
  Step(c, AgeIs(-1));  // one more: the oldest goes
  EXPECT_EQ(before + kRecent, c.CachedStatementCount());
  EXPECT_EQ(2, Runs(c, kept)) << "kept since its first use";
  EXPECT_EQ(0, Runs(c, dropped)) << "prepared afresh";
  StatementUse s(c.Cached("SELECT count(*) FROM People"));
  EXPECT_EQ(&shaped, &*s);
}
