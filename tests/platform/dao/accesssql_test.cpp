// The Access dialect as the system sends it, and what SQLite receives.

#include "platform/dao/accesssql.h"

#include "platform/classlib/core/strutils.h"

#include <gtest/gtest.h>

#include "daotest_util.h"

using namespace dao;
using daotest::ErrorOf;

namespace {

TEST(AccessSqlTranslation, StatementsTheSystemSends) {
  struct Case {
    const char* access;
    const char* sqlite;
  } cases[] = {
      {"DELETE FROM Reports", "DELETE FROM \"Reports\""},
      {"delete * from [Saved Filters] where Name = \"a\"",
       "DELETE from \"Saved Filters\" where \"Name\" = 'a'"},
      {"select Reports.* from Reports, Programs where Reports.ProgramNumber = 12;",
       "select \"Reports\".* from \"Reports\" , \"Programs\" where \"Reports\".\"ProgramNumber\" = 12"},
      {"SELECT * FROM T WHERE Title LIKE \"abc*\" AND Done = TRUE OR Done = False",
       "SELECT * FROM \"T\" WHERE \"Title\" LIKE 'abc*' AND \"Done\" = -1 OR \"Done\" = 0"},
      {"SELECT * FROM T WHERE Name = 'O''Brien' AND Note = \"say \"\"hi\"\"\"",
       "SELECT * FROM \"T\" WHERE \"Name\" = 'O''Brien' AND \"Note\" = 'say \"hi\"'"},
      {"SELECT * FROM T WHERE D >= #1/2/2000# AND D < #2000-01-03#",
       "SELECT * FROM \"T\" WHERE \"D\" >= 36527 AND \"D\" < 36528"},
      {"SELECT TOP 5 Title FROM T ORDER BY Title DESC", "SELECT \"Title\" FROM \"T\" ORDER BY \"Title\" DESC LIMIT 5"},
      {"SELECT UCase(Title) & '!' AS Loud FROM T WHERE Len(Title) > 3 AND N MOD 2 = 0",
       "SELECT upper ( \"Title\" ) || '!' AS \"Loud\" FROM \"T\" WHERE length ( \"Title\" ) > 3 AND \"N\" % 2 = 0"},
      {"INSERT INTO T (A, B) VALUES (1, \"x\")", "INSERT INTO \"T\" ( \"A\" , \"B\" ) VALUES ( 1 , 'x' )"},
      {"UPDATE T SET A = A + 1 WHERE [Long Name] IS NULL",
       "UPDATE \"T\" SET \"A\" = \"A\" + 1 WHERE \"Long Name\" IS NULL"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.sqlite, TranslateAccessSql(c.access).sql) << c.access;
}

TEST(AccessSqlTranslation, CurrencyLiteralsInStoredForm) {
  ColumnTypeFn types = [](const std::string& table, const std::string& column) {
    if (SameText(table, "Items") && SameText(column, "Price")) return int(dbCurrency);
    if (SameText(table, "Items") && SameText(column, "Qty")) return int(dbLong);
    return 0;
  };
  struct Case {
    const char* access;
    const char* sqlite;
  } cases[] = {
      {"INSERT INTO Items (Qty, Price) VALUES (3, 4.25)",
       "INSERT INTO \"Items\" ( \"Qty\" , \"Price\" ) VALUES ( 3 , 42500 )"},
      {"UPDATE Items SET Price = -1.5 WHERE Qty = 2", "UPDATE \"Items\" SET \"Price\" = - 15000 WHERE \"Qty\" = 2"},
      {"SELECT * FROM Items AS i WHERE i.Price BETWEEN 1 AND 2.5 OR 7 < Price OR Price IN (1, 2)",
       "SELECT * FROM \"Items\" AS \"i\" WHERE \"i\".\"Price\" BETWEEN 10000 AND 25000 OR 70000 < \"Price\" OR "
       "\"Price\" IN ( 10000 , 20000 )"},
      {"SELECT Price * 2 FROM Items WHERE Qty > 1.5", "SELECT \"Price\" * 2 FROM \"Items\" WHERE \"Qty\" > 1.5"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.sqlite, TranslateAccessSql(c.access, types).sql) << c.access;
  // Beyond the range of currency no stored form exists: refused, never wrapped
  // around into a bound that every row passes.
  EXPECT_EQ(errConversion, ErrorOf([&] { TranslateAccessSql("SELECT * FROM Items WHERE Price < 1e300", types); }));
  EXPECT_EQ(errConversion, ErrorOf([&] { TranslateAccessSql("UPDATE Items SET Price = 1e15", types); }));
  EXPECT_EQ("UPDATE \"Items\" SET \"Price\" = -9223372036854775808",
            TranslateAccessSql("UPDATE Items SET Price = -922337203685477.5808", types).sql);
  EXPECT_EQ("UPDATE \"Items\" SET \"Price\" = 9223372036854770000",
            TranslateAccessSql("UPDATE Items SET Price = 922337203685477", types).sql);
}

TEST(AccessSqlTranslation, UpdatableSingleTableQueries) {
  Translation t = TranslateAccessSql("SELECT * FROM Reports AS r WHERE r.Fixed = TRUE");
  EXPECT_EQ("Reports", t.updatableTable);
  EXPECT_EQ("SELECT \"r\".rowid, * FROM \"Reports\" AS \"r\" WHERE \"r\".\"Fixed\" = -1", t.sqlWithRowid);
  EXPECT_EQ("r.Fixed = TRUE", t.whereText);
  EXPECT_TRUE(TranslateAccessSql("SELECT * FROM A, B").updatableTable.empty());
  EXPECT_EQ("A", TranslateAccessSql("SELECT * FROM A WHERE K IN (SELECT K FROM B, C)").updatableTable);
  EXPECT_TRUE(TranslateAccessSql("SELECT DISTINCT X FROM A").updatableTable.empty());
  EXPECT_TRUE(TranslateAccessSql("SELECT count(*) FROM A").updatableTable.empty());
  EXPECT_TRUE(TranslateAccessSql("SELECT * FROM A INNER JOIN B ON A.K = B.K").updatableTable.empty());
}

TEST(AccessSqlTranslation, ParametersAreBoundInDeclarationOrder) {
  Translation t = TranslateAccessSql(
      "PARAMETERS [Low Date] DateTime, Prog Long; SELECT * FROM R WHERE D > [Low Date] AND P = Prog");
  ASSERT_EQ(2u, t.parameters.size());
  EXPECT_EQ("Low Date", t.parameters[0].name);
  EXPECT_EQ(dbDate, t.parameters[0].type);
  EXPECT_EQ(dbLong, t.parameters[1].type);
  EXPECT_EQ("SELECT * FROM \"R\" WHERE \"D\" > ?1 AND \"P\" = ?2", t.sql);
  EXPECT_EQ(errSyntaxInExpression, ErrorOf([] { TranslateAccessSql("PARAMETERS X Wibble; SELECT 1"); }));
}

TEST(AccessSqlTranslation, DataDefinitionStatements) {
  Translation t = TranslateAccessSql(
      "CREATE TABLE [Reports] (ReportNumber COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Title TEXT(80) NOT NULL, "
      "Body MEMO, Count LONG, Small SHORT, Tiny BYTE, At DATETIME, Price CURRENCY, F SINGLE, G DOUBLE, "
      "Done YESNO, Pic LONGBINARY, CONSTRAINT ByTitle UNIQUE (Title, Count DESC));");
  ASSERT_EQ(StatementKind::CreateTable, t.kind);
  EXPECT_EQ("Reports", t.table.name);
  const int types[] = {dbLong, dbText, dbMemo, dbLong, dbInteger, dbByte, dbDate, dbCurrency,
                       dbSingle, dbDouble, dbBoolean, dbLongBinary};
  ASSERT_EQ(12u, t.table.fields.size());
  for (size_t i = 0; i < 12; ++i) EXPECT_EQ(types[i], t.table.fields[i].type) << i;
  EXPECT_TRUE(t.table.fields[0].IsCounter());
  EXPECT_EQ(80, t.table.fields[1].size);
  EXPECT_TRUE(t.table.fields[1].required);
  ASSERT_EQ(2u, t.table.indexes.size());
  EXPECT_TRUE(t.table.indexes[0].primary);
  EXPECT_EQ("ByTitle", t.table.indexes[1].name);
  EXPECT_TRUE(t.table.indexes[1].unique);
  EXPECT_TRUE(t.table.indexes[1].columns[1].descending);

  t = TranslateAccessSql("CREATE UNIQUE INDEX PK ON Reports (ReportNumber) WITH PRIMARY");
  EXPECT_EQ(StatementKind::CreateIndex, t.kind);
  EXPECT_TRUE(t.index.primary && t.index.unique);
  EXPECT_EQ("Reports", t.tableName);
  t = TranslateAccessSql("CREATE INDEX X ON R (A) WITH IGNORE NULL");
  EXPECT_TRUE(t.index.ignoreNulls);
  t = TranslateAccessSql("DROP INDEX X ON R");
  EXPECT_EQ(StatementKind::DropIndex, t.kind);
  EXPECT_EQ("X", t.index.name);
  EXPECT_EQ(StatementKind::DropTable, TranslateAccessSql("DROP TABLE R;").kind);

  EXPECT_EQ(errSyntaxInFieldDefinition, ErrorOf([] { TranslateAccessSql("CREATE TABLE X (A TEXT(0))"); }));
  EXPECT_EQ(errSyntaxInFieldDefinition, ErrorOf([] { TranslateAccessSql("CREATE TABLE X (A TEXT(256))"); }));
  EXPECT_EQ(errSyntaxInCreateTable, ErrorOf([] { TranslateAccessSql("CREATE TABLE X (A LONG"); }));
  EXPECT_EQ(errSyntaxInCreateIndex, ErrorOf([] { TranslateAccessSql("CREATE INDEX ON R (A)"); }));
  EXPECT_EQ(errCharactersAfterEnd, ErrorOf([] { TranslateAccessSql("DROP TABLE R; DROP TABLE S"); }));
}

TEST(AccessSqlTranslation, DateLiterals) {
  double d = 0;
  ASSERT_TRUE(ParseAccessDate("12/30/1899", d));
  EXPECT_EQ(0, d);
  ASSERT_TRUE(ParseAccessDate("1/1/2000 6:00 PM", d));
  EXPECT_DOUBLE_EQ(36526.75, d);
  ASSERT_TRUE(ParseAccessDate("12:00:00", d));
  EXPECT_DOUBLE_EQ(0.5, d);
  ASSERT_TRUE(ParseAccessDate("1/1/99", d));  // two-digit years
  EXPECT_EQ(36161, d);
  ASSERT_TRUE(ParseAccessDate("12/29/1899 06:00", d));  // before day 0 the time counts away from zero
  EXPECT_DOUBLE_EQ(-1.25, d);
  for (const char* bad : {"", "2/30/2001", "13/1/2001", "1/1/2001 25:00", "1/1/2001 13:00 PM", "hello", "1/2",
                          // numbers too long for any date part, whose low bits alone would be a valid one
                          "18446744073709551617/1/2000", "1/1/2000 18446744073709551617:00"})
    EXPECT_FALSE(ParseAccessDate(bad, d)) << bad;
}

TEST(AccessSqlTranslation, BadInputFailsCleanly) {
  for (const char* bad : {"", "   ", "SELECT 'unterminated", "SELECT [unterminated", "SELECT #1/1/2000",
                          "GRANT ALL", "TRANSFORM Count(X) SELECT", "SELECT * FROM", "SELECT * FROM ,",
                          "\xff\xfe\x00", "SELECT * FROM T WHERE #99/99/99# = 1"}) {
    int error = ErrorOf([&] { TranslateAccessSql(bad); });
    EXPECT_TRUE(error == errInvalidStatement || error == errSyntaxInExpression || error == errSyntaxInFrom)
        << bad << " -> " << error;
  }
}

// Statements cut short or malformed at any point, read with a catalogue that
// calls every column currency so that the currency passes see them too: each
// gives a translation or a DAO syntax error, never a read past the tokens.
TEST(AccessSqlTranslation, MalformedChangesFailCleanly) {
  ColumnTypeFn allCurrency = [](const std::string&, const std::string&) { return int(dbCurrency); };
  for (const char* text :
       {"INSERT", "INSERT INTO", "INSERT INTO T", "INSERT INTO T (", "INSERT INTO T (A", "INSERT INTO T (A,",
        "INSERT INTO T (A)", "INSERT INTO T (A) VALUES", "INSERT INTO T (A) VALUES (", "INSERT INTO T (A) VALUES (1",
        "INSERT INTO T (A) VALUES (1,", "INSERT INTO \"T\" (A) VALUES (1)", "INSERT INTO 'T' (A) VALUES (-1)",
        "INSERT INTO (A) VALUES (1)", "INSERT INTO T VALUES", "INSERT INTO T SELECT", "UPDATE", "UPDATE T",
        "UPDATE T SET", "UPDATE T SET A =", "UPDATE T SET A = -", "UPDATE \"T\" SET A = 1", "DELETE", "DELETE *",
        "DELETE FROM", "SELECT * FROM T WHERE A BETWEEN", "SELECT * FROM T WHERE A BETWEEN 1 AND",
        "SELECT * FROM T WHERE A IN (", "SELECT * FROM T WHERE A IN (1,", "SELECT * FROM T WHERE A <",
        "SELECT * FROM T WHERE 1 <", "SELECT * FROM T WHERE T.", "SELECT * FROM T AS", "SELECT TOP",
        "SELECT Now(", "SELECT * FROM T;", "PARAMETERS", "PARAMETERS X", "PARAMETERS X TEXT",
        "PARAMETERS X TEXT (", "PARAMETERS X TEXT (5", "PARAMETERS X TEXT;", "PARAMETERS X Currency; UPDATE T SET A = X"}) {
    int error = ErrorOf([&] { TranslateAccessSql(text, allCurrency); });
    EXPECT_TRUE(error == 0 || error == errInvalidStatement || error == errSyntaxInExpression ||
                error == errSyntaxInFrom || error == errSyntaxInInsert || error == errSyntaxInUpdate)
        << text << " -> " << error;
  }
}

}  // namespace
