// The Access dialect as the system sends it, and what SQLite receives.

#include "platform/dao/accesssql.h"

#include "platform/classlib/core/strutils.h"

#include <gtest/gtest.h>

#include "daotest_util.h"

using namespace dao;
using daotest::ErrorOf;

namespace {

FieldDef Field(const char* name, int type) {
  FieldDef f;
  f.name = name;
  f.type = type;
  return f;
}

TableDef Table(const char* name, std::vector<FieldDef> fields) {
  TableDef t;
  t.name = name;
  t.fields = std::move(fields);
  return t;
}

// A catalogue of the tables given.
TableLookupFn Catalogue(std::vector<TableDef> tables) {
  return [tables](const std::string& name, TableDef& def) {
    for (const TableDef& t : tables)
      if (SameText(t.name, name)) return def = t, true;
    return false;
  };
}

const TableLookupFn kItems = Catalogue({Table("Items", {Field("Qty", dbLong), Field("Price", dbCurrency)})});

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
      {"(SELECT A FROM T WHERE (B = 1)) UNION ALL (SELECT A FROM U) UNION SELECT (A) FROM V",
       "SELECT \"A\" FROM \"T\" WHERE ( \"B\" = 1 ) UNION ALL SELECT \"A\" FROM \"U\" UNION SELECT ( \"A\" ) FROM \"V\""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.sqlite, TranslateAccessSql(c.access).sql) << c.access;
}

TEST(AccessSqlTranslation, CurrencyValuesInStoredForm) {
  const TableLookupFn& types = kItems;
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
      // Whole numbers meet amounts in the stored form; results and stored
      // values are whole ten-thousandths; text sees the amount itself.
      {"SELECT Price / 2 + Qty, Price & '' FROM Items WHERE Price * 2 = 3 AND Price > Qty",
       "SELECT CAST ( round ( ( ( \"Price\" * 1.0 ) / 2 + ( \"Qty\" * 10000 ) ) ) AS INTEGER ) , "
       "( \"Price\" / 10000.0 ) || '' FROM \"Items\" WHERE \"Price\" * 2 = 30000 AND \"Price\" > ( \"Qty\" * 10000 )"},
      {"UPDATE Items SET Price = Price * Price",
       "UPDATE \"Items\" SET \"Price\" = CAST ( round ( ( ( \"Price\" * \"Price\" ) / 10000.0 ) ) AS INTEGER )"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.sqlite, TranslateAccessSql(c.access, types).sql) << c.access;
  EXPECT_EQ((std::vector<bool>{true, false, false, true}),
            TranslateAccessSql("SELECT Sum(Price), Qty, Items.* FROM Items", types).currencyColumns);
  // Beyond the range of currency no stored form exists: refused, never wrapped
  // around into a bound that every row passes.
  EXPECT_EQ(errConversion, ErrorOf([&] { TranslateAccessSql("SELECT * FROM Items WHERE Price < 1e300", types); }));
  EXPECT_EQ(errConversion, ErrorOf([&] { TranslateAccessSql("UPDATE Items SET Price = 1e15", types); }));
  EXPECT_EQ("UPDATE \"Items\" SET \"Price\" = -9223372036854775808",
            TranslateAccessSql("UPDATE Items SET Price = -922337203685477.5808", types).sql);
  EXPECT_EQ("UPDATE \"Items\" SET \"Price\" = 9223372036854770000",
            TranslateAccessSql("UPDATE Items SET Price = 922337203685477", types).sql);
}

// A result value as a user reads it: amounts exactly ("$" and the decimal
// digits of the stored ten-thousandths), other numbers as SQLite holds them.
std::string Shown(const Cell& c, int type) {
  if (c.IsNull()) return "Null";
  if (type == dbCurrency && c.kind == Cell::Integer) {
    std::uint64_t magnitude = c.integer < 0 ? 0 - static_cast<std::uint64_t>(c.integer) : c.integer;
    std::string digits = std::to_string(magnitude / 10000), fraction = std::to_string(10000 + magnitude % 10000);
    fraction = fraction.substr(1, fraction.find_last_not_of('0'));
    return (c.integer < 0 ? "$-" : "$") + digits + (fraction.empty() ? "" : "." + fraction);
  }
  if (type == dbCurrency) return "$?" + std::to_string(c.real);  // an amount must come as stored ten-thousandths
  if (c.kind == Cell::Integer) return std::to_string(c.integer);
  if (c.kind == Cell::Real) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", c.real);
    return text;
  }
  return c.text;
}

class CurrencyExpressions : public daotest::DaoFixture {
 protected:
  void SetUp() override {
    DaoFixture::SetUp();
    db_->Execute("CREATE TABLE Items (Id LONG, Amount CURRENCY, Price CURRENCY, Qty LONG, Rate DOUBLE, Name TEXT(9))");
    db_->Execute("INSERT INTO Items VALUES (1, 1.5, 1.5, 2, 1.5, 'one')");  // every column, in order
    db_->Execute("INSERT INTO Items (Id, Amount, Price, Qty, Rate) VALUES (2, 2.25, 3, 3, 0.5)");
    db_->Execute("INSERT INTO Items (Id, Amount, Price) VALUES (3, 922337203685477.5807, -922337203685477.5808)");
  }
  // The rows of a query: fields joined by "|", rows by "; ".
  std::string Rows(const std::string& sql) {
    auto rs = db_->OpenRecordset(sql, -1);
    std::string out;
    for (; !rs->Eof(); rs->MoveNext()) {
      if (!out.empty()) out += "; ";
      for (size_t f = 0; f < rs->Fields().size(); ++f)
        out += (f ? "|" : "") + Shown(rs->Value(static_cast<int>(f)), rs->Fields()[f].def.type);
    }
    return out;
  }
};

TEST_F(CurrencyExpressions, GiveTheAmountsAUserExpects) {
  struct Case {
    const char* query;
    const char* rows;
  } cases[] = {
      {"SELECT Amount, Amount * 2, Amount + 1, 1 - Amount, -Amount FROM Items WHERE Id = 1", "$1.5|$3|$2.5|$-0.5|$-1.5"},
      {"SELECT Amount * Qty, Amount - Qty, Amount * Price, Amount / 2, Amount * 0.5 FROM Items WHERE Id = 2",
       "$6.75|$-0.75|$6.75|$1.125|$1.125"},
      {"SELECT Amount / Price, Amount * Rate, Amount & '' FROM Items WHERE Id = 2", "0.75|1.125|2.25"},
      {"SELECT Sum(Amount), Avg(Amount), Min(Price), Max(Amount * 2), Count(*) FROM Items WHERE Id < 3",
       "$3.75|$1.875|$1.5|$4.5|2"},
      {"SELECT Sum(Amount + Price) FROM Items", "$8.2499"},  // the extremes cancel out exactly
      {"SELECT IIf(Qty > 2, Amount, 0), Nz(Rate, 0.0001), Abs(Qty - Price) FROM Items WHERE Id > 1 ORDER BY Id",
       "$2.25|0.5|$0; $0|0.0001|Null"},
      {"SELECT Id FROM Items WHERE Amount * 2 = 3 OR Amount = 2.25 / 1", "1; 2"},
      {"SELECT Id FROM Items WHERE Amount = Price OR Price = Qty OR Amount = Rate * 4.5", "1; 2"},
      {"SELECT Id FROM Items WHERE Amount BETWEEN 1.5 AND 2 OR Price IN (3, 4)", "1; 2"},
      {"SELECT Id FROM Items WHERE Amount = 922337203685477.5807 AND Price = -922337203685477.5808", "3"},
      {"SELECT Id FROM Items WHERE Amount IN (SELECT Price * 0.75 FROM Items)", "2"},
      {"SELECT Id FROM Items ORDER BY Amount - Qty", "3; 2; 1"},  // Null first
      {"SELECT Amount - 0.0001, Price + 0.0001 FROM Items WHERE Id = 3", "$922337203685477.5806|$-922337203685477.5807"},
      {"SELECT Amount FROM Items WHERE Id = 1 UNION SELECT Qty FROM Items WHERE Id = 2", "$1.5; $3"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.rows, Rows(c.query)) << c.query;
}

TEST_F(CurrencyExpressions, StoreTheAmountsAUserMeans) {
  struct Case {
    const char* change;
    const char* rows;  // then, of SELECT Id, Amount FROM Items WHERE Id <> 3 ORDER BY Id
  } cases[] = {
      {"UPDATE Items SET Amount = Amount + 1 WHERE Id = 1", "1|$2.5; 2|$2.25"},
      {"UPDATE Items SET Amount = Amount * Rate, Price = Qty WHERE Id < 3", "1|$3.75; 2|$1.125"},
      {"UPDATE Items SET Amount = Amount / 3 WHERE Id = 2", "1|$3.75; 2|$0.375"},
      {"UPDATE Items SET Amount = Price * 1.00005 WHERE Id < 3", "1|$2.0001; 2|$3.0002"},  // rounded to a ten-thousandth
      {"INSERT INTO Items (Id, Amount) SELECT Id + 10, Amount * 2 FROM Items WHERE Id = 1",
       "1|$2.0001; 2|$3.0002; 11|$4.0002"},
      {"INSERT INTO Items (Amount, Id) VALUES (NULL, 4)", "1|$2.0001; 2|$3.0002; 4|Null; 11|$4.0002"},
      {"UPDATE Items SET Amount = -0.5 * 3 WHERE Id = 4", "1|$2.0001; 2|$3.0002; 4|$-1.5; 11|$4.0002"},
      {"DELETE FROM Items WHERE Amount > 4 OR Amount < 0", "1|$2.0001; 2|$3.0002"},
  };
  for (const auto& c : cases) {
    db_->Execute(c.change);
    EXPECT_EQ(c.rows, Rows("SELECT Id, Amount FROM Items WHERE Id <> 3 ORDER BY Id")) << c.change;
  }
  // Beyond the currency range no amount exists: refused, nothing stored.
  EXPECT_EQ(errConversion,
            ErrorOf([&] { db_->Execute("UPDATE Items SET Amount = 922337203685477.5808 WHERE Id = 1"); }));
  EXPECT_EQ("$2.0001", Rows("SELECT Amount FROM Items WHERE Id = 1"));
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

// A table whose case-blind indexes follow another fold's order is read
// without them, wherever the statement names it: SQLite would search them by
// the present order and miss rows.
TEST(AccessSqlTranslation, TablesInAnOlderOrderAreReadWithoutTheirIndexes) {
  TableDef people = Table("People", {Field("Name", dbText)});
  people.caseBlindStale = true;
  const TableLookupFn tables = Catalogue({people, Table("Codes", {Field("Name", dbText)})});
  struct Case {
    const char* access;
    const char* sqlite;
  } cases[] = {
      {"SELECT * FROM People WHERE Name = 'k' ORDER BY Name",
       "SELECT * FROM \"People\" NOT INDEXED WHERE \"Name\" = 'k' ORDER BY \"Name\""},
      {"SELECT * FROM Codes WHERE Name = 'k'", "SELECT * FROM \"Codes\" WHERE \"Name\" = 'k'"},
      {"SELECT p.Name FROM [People] AS p, Codes c, people", "SELECT \"p\".\"Name\" FROM \"People\" AS \"p\" NOT INDEXED , "
                                                           "\"Codes\" \"c\" , \"people\" NOT INDEXED"},
      {"SELECT * FROM Codes INNER JOIN People p ON Codes.Name = p.Name LEFT JOIN People ON 1 = 1 WHERE 1 = 1",
       "SELECT * FROM \"Codes\" INNER JOIN \"People\" \"p\" NOT INDEXED ON \"Codes\".\"Name\" = \"p\".\"Name\" "
       "LEFT JOIN \"People\" NOT INDEXED ON 1 = 1 WHERE 1 = 1"},
      {"SELECT * FROM (Codes INNER JOIN People ON Codes.Name = People.Name) INNER JOIN Codes AS d ON 1 = 1",
       "SELECT * FROM ( \"Codes\" INNER JOIN \"People\" NOT INDEXED ON \"Codes\".\"Name\" = \"People\".\"Name\" "
       ") INNER JOIN \"Codes\" AS \"d\" ON 1 = 1"},
      {"SELECT * FROM (SELECT Name FROM People) AS q ORDER BY q.Name",
       "SELECT * FROM ( SELECT \"Name\" FROM \"People\" NOT INDEXED ) AS \"q\" ORDER BY \"q\".\"Name\""},
      // SQLite answers such an IN from the index of its column, unless the
      // column is an expression.
      {"SELECT * FROM Codes WHERE Name IN (SELECT Name FROM People) OR Name NOT IN (SELECT p.Name FROM People p)",
       "SELECT * FROM \"Codes\" WHERE \"Name\" IN ( SELECT + \"Name\" FROM \"People\" NOT INDEXED ) OR \"Name\" NOT "
       "IN ( SELECT + \"p\".\"Name\" FROM \"People\" \"p\" NOT INDEXED )"},
      {"SELECT * FROM Codes WHERE Name IN (SELECT Name FROM People WHERE Name > 'a')",
       "SELECT * FROM \"Codes\" WHERE \"Name\" IN ( SELECT \"Name\" FROM \"People\" NOT INDEXED WHERE \"Name\" > "
       "'a' )"},
      {"UPDATE People SET Name = 'x' WHERE Name = 'k'",
       "UPDATE \"People\" NOT INDEXED SET \"Name\" = 'x' WHERE \"Name\" = 'k'"},
      {"DELETE * FROM People WHERE Name = 'k'", "DELETE FROM \"People\" NOT INDEXED WHERE \"Name\" = 'k'"},
      {"INSERT INTO People (Name) SELECT Name FROM People", "INSERT INTO \"People\" ( \"Name\" ) SELECT \"Name\" FROM "
                                                            "\"People\" NOT INDEXED"},
      {"SELECT Name FROM Codes UNION SELECT Name FROM People ORDER BY 1",
       "SELECT \"Name\" FROM \"Codes\" UNION SELECT \"Name\" FROM \"People\" NOT INDEXED ORDER BY 1"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.sqlite, TranslateAccessSql(c.access, tables).sql) << c.access;
  const Translation t = TranslateAccessSql("SELECT * FROM People AS r WHERE r.Name = 'k'", tables);
  EXPECT_EQ("SELECT \"r\".rowid, * FROM \"People\" AS \"r\" NOT INDEXED WHERE \"r\".\"Name\" = 'k'", t.sqlWithRowid);
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

// Statements cut short or malformed at any point, read with a catalogue of
// currency columns so that the currency pass sees them too: each fails with
// the DAO syntax error of its kind, never reading past the tokens.
TEST(AccessSqlTranslation, MalformedStatementsFailCleanly) {
  TableLookupFn catalogue = Catalogue({Table("T", {Field("A", dbCurrency), Field("B", dbCurrency)})});
  struct Case {
    int error;
    std::vector<const char*> texts;
  } cases[] = {
      {errSyntaxInInsert,
       {"INSERT", "INSERT INTO", "INSERT INTO T", "INSERT INTO T (", "INSERT INTO T (A", "INSERT INTO T (A,",
        "INSERT INTO T (A)", "INSERT INTO T (A) VALUES", "INSERT INTO T (A) VALUES (", "INSERT INTO T (A) VALUES (1",
        "INSERT INTO T (A) VALUES (1,", "INSERT INTO \"T\" (A) VALUES (1)", "INSERT INTO 'T' (A) VALUES (-1)",
        "INSERT INTO (A) VALUES (1)", "INSERT INTO T VALUES", "INSERT INTO T SELECT"}},
      {errSyntaxInUpdate,
       {"UPDATE", "UPDATE T", "UPDATE T SET", "UPDATE T SET A =", "UPDATE T SET A = -", "UPDATE \"T\" SET A = 1"}},
      {errSyntaxInExpression,
       {"DELETE", "DELETE *", "SELECT * FROM T WHERE A BETWEEN", "SELECT * FROM T WHERE A BETWEEN 1 AND",
        "SELECT * FROM T WHERE A IN (", "SELECT * FROM T WHERE A IN (1,", "SELECT * FROM T WHERE A <",
        "SELECT * FROM T WHERE 1 <", "SELECT * FROM T WHERE T.", "SELECT TOP", "SELECT Now(", "SELECT A + FROM T",
        "SELECT * FROM T WHERE A = 1 B", "SELECT (SELECT FROM T)", "PARAMETERS", "PARAMETERS X", "PARAMETERS X TEXT",
        "PARAMETERS X TEXT (", "PARAMETERS X TEXT (5"}},
      {errInvalidStatement, {"PARAMETERS X TEXT;", "(SELECT 1", "SELECT1"}},
      {errSyntaxInFrom, {"DELETE FROM", "SELECT * FROM T AS", "SELECT * FROM T INNER JOIN", "SELECT * FROM (T"}},
  };
  for (const auto& c : cases)
    for (const char* text : c.texts) EXPECT_EQ(c.error, ErrorOf([&] { TranslateAccessSql(text, catalogue); })) << text;
  // Nesting beyond any real statement is refused, not followed down the stack.
  for (std::string level : {"(", "- ", "NOT ", "(SELECT ", "FROM ("}) {
    std::string deep = level == "FROM (" ? "SELECT * FROM " : "SELECT * FROM T WHERE ";
    for (int i = 0; i < 100000; ++i) deep += level == "FROM (" ? "(" : level;
    EXPECT_EQ(errSyntaxInExpression, ErrorOf([&] { TranslateAccessSql(deep + "T", catalogue); })) << level;
  }
  // Nor does text of many FROMs take long (each used to be followed to the end).
  std::string many = "SELECT * FROM T WHERE A IN (SELECT ";
  for (int i = 0; i < 100000; ++i) many += "FROM ";
  EXPECT_EQ(errSyntaxInFrom, ErrorOf([&] { TranslateAccessSql(many, catalogue); }));
  // Every prefix of statements that use every form gives a translation or a DAO error.
  for (std::string whole :
       {"PARAMETERS P Currency; SELECT DISTINCT TOP 2 x.A * 2 + -B / 3 AS X, Sum(A), (SELECT Max(B) FROM T) "
        "FROM T AS x INNER JOIN (SELECT A FROM T) AS y ON x.A = y.A WHERE A BETWEEN 1 AND P OR B NOT IN "
        "(SELECT A FROM T) AND NOT A & '' LIKE '1*' GROUP BY A HAVING Count(*) > 1 UNION SELECT 1, 2, 3 ORDER BY 1;",
        "INSERT INTO T (A, B) SELECT IIf(A > 1, Nz(B, 2.5), 0), A MOD 2 FROM T WHERE EXISTS (SELECT * FROM T)",
        "UPDATE T SET A = -922337203685477.5808, T.B = A * B / (A - 1) WHERE A IS NOT NULL AND [B] <> #1/1/2000#"}) {
    EXPECT_EQ(0, ErrorOf([&] { TranslateAccessSql(whole, catalogue); })) << whole;
    for (size_t n = 0; n < whole.size(); ++n) ErrorOf([&] { TranslateAccessSql(whole.substr(0, n), catalogue); });
  }
}

}  // namespace
