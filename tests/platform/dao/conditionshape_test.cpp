// A row condition's constants become parameters: one prepared statement then
// serves every value of a filter or a Locate, and the rows stay the same.

#include "platform/dao/conditionshape.h"

#include <gtest/gtest.h>

#include "daotest_util.h"

namespace {

using dao::Cell;
using dao::ShapeOf;

TEST(ConditionShape, ConstantsBecomeParametersAsSQLiteReadsThem) {
  const struct {
    const char* condition;
    const char* text;
    std::vector<Cell> values;
  } cases[] = {
      {"\"Age\" = 3", "\"Age\" = ?", {Cell::MakeInteger(3)}},
      {"+\"Name\" >= 'O''Brien' COLLATE NOCASE", "+\"Name\" >= ? COLLATE NOCASE", {Cell::MakeText("O'Brien")}},
      {"\"Name\" >= X'C3a9' OR \"Name\" = x''", "\"Name\" >= ? OR \"Name\" = ?",
       {Cell::MakeBlob("\xC3\xA9"), Cell::MakeBlob("")}},
      {"c0 < 2.5e3 AND \"t1\" <> -7 AND d > .5 AND e < 1E-2", "c0 < ? AND \"t1\" <> -? AND d > ? AND e < ?",
       {Cell::MakeReal(2500), Cell::MakeInteger(7), Cell::MakeReal(0.5), Cell::MakeReal(0.01)}},
      {"a = 9223372036854775807 OR a = 9223372036854775808", "a = ? OR a = ?",
       {Cell::MakeInteger(9223372036854775807), Cell::MakeReal(9223372036854775808.0)}},
      {"a = 0x10 AND b = 3.", "a = ? AND b = ?", {Cell::MakeInteger(16), Cell::MakeReal(3)}},
      {"\"we'ird 2\" = 'x' AND [A 1] = 2 AND `b3` = 'y'", "\"we'ird 2\" = ? AND [A 1] = ? AND `b3` = ?",
       {Cell::MakeText("x"), Cell::MakeInteger(2), Cell::MakeText("y")}},
      {"typeof(+\"Age\") = 'integer' AND length(CAST(+\"Name\" AS BLOB)) >= 21",
       "typeof(+\"Age\") = ? AND length(CAST(+\"Name\" AS BLOB)) >= ?", {Cell::MakeText("integer"), Cell::MakeInteger(21)}},
      {"a = '\xFF\x01'", "a = ?", {Cell::MakeText("\xFF\x01")}},
      {"", "", {}},
      // Left whole: parameters of its own, a text that never ends, a comment.
      {"a = ? AND b = 1", "a = ? AND b = 1", {}},
      {"a = :v AND b = 1", "a = :v AND b = 1", {}},
      {"a = 'open", "a = 'open", {}},
      {"a = 1 -- 'x", "a = 1 -- 'x", {}},
      {"a = X'ABC'", "a = X'ABC'", {}},
  };
  for (const auto& c : cases) {
    const dao::ConditionShape shape = ShapeOf(c.condition);
    EXPECT_EQ(c.text, shape.text) << c.condition;
    EXPECT_EQ(c.values, shape.values) << c.condition;
  }
}

using RowConditionShapes = daotest::DaoFixture;

// A condition of other values reads through the statements the first
// prepared; the rows are those its values give.
TEST_F(RowConditionShapes, OtherValuesReuseTheStatementsOfTheFirst) {
  MakePeople();
  db_->Conn().Begin();
  for (int i = 0; i < 40; ++i) AddPerson("p" + std::to_string(i), i);
  db_->Conn().Commit();
  auto rs = db_->OpenRecordset("People", -1);
  rs->SetIndex("ByName");
  std::size_t prepared = 0;
  for (int age = 0; age < 40; ++age) {
    rs->SetRowCondition("\"Age\" = " + std::to_string(age) + " AND \"Name\" >= 'p'");
    rs->MoveFirst();
    ASSERT_FALSE(rs->Eof());
    EXPECT_EQ("p" + std::to_string(age), rs->Value(1).text);
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    if (age == 0) prepared = db_->Conn().CachedStatementCount();
  }
  EXPECT_EQ(prepared, db_->Conn().CachedStatementCount());
}

}  // namespace
