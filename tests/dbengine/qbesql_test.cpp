// Query-by-example texts: the SQL they become, the rows they return through
// the Access driver, and the constructs refused by name.

#include <gtest/gtest.h>

#include <algorithm>

#include "access_testutil.h"
#include "dbengine/engineerrors.h"
#include "dbengine/qbesql.h"

namespace {

std::string Grid(const std::string& header, const std::vector<std::string>& rows) {
  std::string text = "Query\r\nANSWER: :PRIV:ANSWER.DB\r\n\r\n" + header + "\r\n";
  for (const auto& r : rows) text += r + "\r\n";
  return text + "\r\nEndQuery\r\n";
}

struct TQbeCase {
  std::vector<std::string> rows;  // under "People | Name | Age |"
  std::string sql;
  std::vector<std::string> names;  // the Name column of the answer, in order
};

class QbeOverAccess : public accesstest::AccessFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    AccessFixture::Populate(db);  // Anna 30, Bert 25, Carl 30
    db.Execute("INSERT INTO People (Name, Age, Born) VALUES ('Dora', NULL, Date())");
    db.Execute("INSERT INTO People (Name, Age) VALUES ('Anna', 41)");
  }
  // Runs the text as an example statement and reads the first column.
  std::vector<std::string> Run(const std::string& qbe, DBIResult* failure = nullptr) {
    TBaseDatabase* db = OpenDb();
    TSqlStmt* stmt = nullptr;
    EXPECT_EQ(0, Engine().AllocateStatement(db, kQbeLanguage, stmt));
    EXPECT_EQ(0, Engine().SetProperty(stmt, kQbeAuxTablesProperty, 0));
    EXPECT_EQ(0, Engine().SetProperty(stmt, kQbeBlankAsZeroProperty, 1));
    std::vector<std::string> names;
    DBIResult code = Engine().PrepareStatement(stmt, qbe.c_str());
    TBaseTable* cursor = nullptr;
    if (code == 0) code = Engine().ExecuteStatement(stmt, &cursor);
    if (failure) *failure = code;
    std::uint8_t rec[1024];
    while (cursor && Engine().GetNextRecord(cursor, 0, rec, nullptr) == 0) names.push_back(GetText(cursor, rec, 1));
    if (cursor) Engine().CloseCursor(cursor);
    Engine().FreeStatement(stmt);
    Engine().CloseDatabase(db);
    return names;
  }
};

TEST_F(QbeOverAccess, TranslatedTextsReturnTheRowsOfTheirSql) {
  const std::string header = "People | Name | Age |";
  const TQbeCase cases[] = {
      {{"| Check | |"}, "SELECT DISTINCT [Name] FROM [People] ORDER BY [Name]", {"Anna", "Bert", "Carl", "Dora"}},
      {{"| CheckPlus | |"}, "SELECT [Name] FROM [People]", {"Anna", "Anna", "Bert", "Carl", "Dora"}},
      {{"| CheckDescending | >=30 |"},
       "SELECT DISTINCT [Name] FROM [People] WHERE [Age] >= 30 ORDER BY [Name] DESC", {"Carl", "Anna"}},
      {{"| Check | 30 |"}, "SELECT DISTINCT [Name] FROM [People] WHERE [Age] = 30 ORDER BY [Name]", {"Anna", "Carl"}},
      {{"| Check | <30 |"}, "SELECT DISTINCT [Name] FROM [People] WHERE [Age] < 30 ORDER BY [Name]", {"Bert"}},
      {{"| Check | >30, <=41 |"},
       "SELECT DISTINCT [Name] FROM [People] WHERE [Age] > 30 AND [Age] <= 41 ORDER BY [Name]", {"Anna"}},
      {{"| Check =Bert | |"},
       "SELECT DISTINCT [Name] FROM [People] WHERE [Name] = \"Bert\" ORDER BY [Name]", {"Bert"}},
      {{"| Check not Anna | |"},
       "SELECT DISTINCT [Name] FROM [People] WHERE NOT ([Name] = \"Anna\") ORDER BY [Name]", {"Bert", "Carl", "Dora"}},
      {{"| Check ..r.. | |"},
       "SELECT DISTINCT [Name] FROM [People] WHERE [Name] LIKE \"*r*\" ORDER BY [Name]", {"Bert", "Carl", "Dora"}},
      {{"| Check like b@rt | |"},
       "SELECT DISTINCT [Name] FROM [People] WHERE [Name] LIKE \"b?rt\" ORDER BY [Name]", {"Bert"}},
      {{"| Check | blank |"}, "SELECT DISTINCT [Name] FROM [People] WHERE [Age] IS NULL ORDER BY [Name]", {"Dora"}},
      {{"| Check | not blank, <26 |"},
       "SELECT DISTINCT [Name] FROM [People] WHERE [Age] IS NOT NULL AND [Age] < 26 ORDER BY [Name]", {"Bert"}},
      {{"| Check \"Carl\" | |"},
       "SELECT DISTINCT [Name] FROM [People] WHERE [Name] = \"Carl\" ORDER BY [Name]", {"Carl"}},
      {{"| Check | 25 |", "| Check | 41 |"},
       "SELECT DISTINCT [Name] FROM [People] WHERE ([Age] = 25) OR ([Age] = 41) ORDER BY [Name]", {"Anna", "Bert"}},
      {{"| Check | 25 |", "| Check | |"}, "SELECT DISTINCT [Name] FROM [People] ORDER BY [Name]",
       {"Anna", "Bert", "Carl", "Dora"}},
  };
  for (const auto& c : cases) {
    std::string text = Grid(header, c.rows);
    EXPECT_EQ(c.sql, TranslateQbeToSql(text)) << c.rows.front();
    std::vector<std::string> names = Run(text);
    // Without an order the answer comes in the engine's order.
    if (c.sql.find("ORDER BY") == std::string::npos) std::sort(names.begin(), names.end());
    EXPECT_EQ(c.names, names) << c.rows.front();
  }
}

TEST_F(QbeOverAccess, TodayComparesWithTheCurrentDate) {
  std::string text = Grid("People | Name | Born |", {"| Check | today |"});
  EXPECT_EQ("SELECT DISTINCT [Name] FROM [People] WHERE [Born] = Date() ORDER BY [Name]", TranslateQbeToSql(text));
  EXPECT_EQ(std::vector<std::string>{"Dora"}, Run(text));
  EXPECT_EQ("SELECT DISTINCT [Name] FROM [People] WHERE [Born] < #1/2/2001# ORDER BY [Name]",
            TranslateQbeToSql(Grid("People | Name | Born |", {"| Check | <1/2/2001 |"})));
}

TEST_F(QbeOverAccess, UntranslatableTextsAreRefusedByName) {
  const std::pair<std::string, std::string> cases[] = {
      {Grid("People | Name | Age |", {"| Check | calc _a * 2 |"}), "\"calc\""},
      {Grid("People | Name | Age |", {"| Check _x | |"}), "example element"},
      {Grid("People | Name | Age |", {"| Check | 25 or 30 |"}), "\"or\""},
      {Grid("People | Name | Age |", {"| Check | count |"}), "\"count\""},
      {Grid("People | Name | Age |", {"| CheckGroup | |"}), "CheckGroup"},
      {Grid("People | Name | Age |", {"| | 25 |"}), "without check marks"},
      {Grid("People | Name | Age |", {"| Check | 25 |", "| | CheckPlus |"}), "different check marks"},
      {Grid("People | Name |", {"| Check |"}) + Grid("Other | Id |", {"| Check |"}), "more than one table"},
      {Grid("People | Name | Age |", {"| Check | <> 3 |"}), "operator"},
      {Grid("People | Name | Age |", {"| Check \"open | |"}), "unclosed quote"},
      {"SORT: People->Name", "SORT"},
      {"", "without a table"},
  };
  for (const auto& [text, construct] : cases) {
    try {
      TranslateQbeToSql(text);
      ADD_FAILURE() << "translated: " << text;
    } catch (const EMorvaEngineError& e) {
      EXPECT_EQ(kQbeNotTranslated, e.ErrorCode);
      EXPECT_NE(std::string::npos, e.ErrorContext.find(construct)) << e.ErrorContext;
    }
  }
  // Through the driver the statement fails to prepare and nothing runs.
  DBIResult code = 0;
  EXPECT_TRUE(Run(Grid("People | Name | Age |", {"| Check | delete |"}), &code).empty());
  EXPECT_EQ(kQbeNotTranslated, code);
}

}  // namespace
