// Query-by-example texts: the SQL they become, the rows they return through
// the Access driver, and the constructs refused by name.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "access_testutil.h"
#include "dbengine/engineerrors.h"
#include "dbengine/qbesql.h"
#include "testcursor.h"

namespace {

std::string Grid(const std::string& header, const std::vector<std::string>& rows) {
  std::string text = "Query\r\nANSWER: :PRIV:ANSWER.DB\r\n\r\n" + header + "\r\n";
  for (const auto& r : rows) text += r + "\r\n";
  return text + "\r\nEndQuery\r\n";
}

struct TQbeCase {
  std::vector<std::string> rows;  // under the header
  std::string sql;
  std::vector<std::string> names;  // the Name column of the answer, in order
  std::string header = "People | Name | Age |";
};

class QbeOverAccess : public accesstest::AccessFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    AccessFixture::Populate(db);  // Anna 30, Bert 25, Carl 30
    db.Execute("INSERT INTO People (Name, Age, Born) VALUES ('Dora', NULL, Date())");
    db.Execute("INSERT INTO People (Name, Age) VALUES ('Anna', 41)");
  }
  // Runs the text as an example statement (or in the given language) and
  // reads the first column; an answer name and type go to the statement.
  std::vector<std::string> Run(const std::string& qbe, DBIResult* failure = nullptr,
                               std::uint16_t language = kQbeLanguage, const char* answer = nullptr,
                               const char* answerType = nullptr) {
    TBaseDatabase* db = OpenDb();
    TSqlStmt* stmt = nullptr;
    EXPECT_EQ(0, Engine().AllocateStatement(db, language, stmt));
    EXPECT_EQ(0, Engine().SetProperty(stmt, kQbeAuxTablesProperty, 0));
    EXPECT_EQ(0, Engine().SetProperty(stmt, kQbeBlankAsZeroProperty, 1));
    EXPECT_EQ(0, Engine().SetProperty(stmt, kStatementAnswerNameProperty, reinterpret_cast<TPropertyValue>(answer)));
    EXPECT_EQ(0, Engine().SetProperty(stmt, kStatementAnswerTypeProperty, reinterpret_cast<TPropertyValue>(answerType)));
    std::vector<std::string> names;
    DBIResult code = Engine().PrepareStatement(stmt, qbe.c_str());
    TBaseTable* cursor = nullptr;
    if (code == 0) code = Engine().ExecuteStatement(stmt, &cursor);
    if (failure) *failure = code;
    std::uint8_t rec[4096];  // the widest record here: texts of 255 characters
    while (cursor && Engine().GetNextRecord(cursor, 0, rec, nullptr) == 0) names.push_back(GetText(cursor, rec, 1));
    if (cursor) Engine().CloseCursor(cursor);
    if (answer) {
      char name[80] = {};
      std::uint16_t length = 0;
      EXPECT_EQ(0, Engine().GetProperty(stmt, kStatementAnswerNameProperty, name, sizeof name, length));
      EXPECT_STREQ(answer, name);
    }
    Engine().FreeStatement(stmt);
    Engine().CloseDatabase(db);
    return names;
  }
};

TEST_F(QbeOverAccess, TranslatedTextsReturnTheRowsOfTheirSql) {
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
      // Today compares with the current date.
      {{"| Check | today |"}, "SELECT DISTINCT [Name] FROM [People] WHERE [Born] = Date() ORDER BY [Name]", {"Dora"},
       "People | Name | Born |"},
      {{"| Check | <1/2/2001 |"}, "SELECT DISTINCT [Name] FROM [People] WHERE [Born] < #1/2/2001# ORDER BY [Name]", {},
       "People | Name | Born |"},
  };
  for (const auto& c : cases) {
    std::string text = Grid(c.header, c.rows);
    EXPECT_EQ(c.sql, TranslateQbeToSql(text)) << c.rows.front();
    std::vector<std::string> names = Run(text);
    // Without an order the answer comes in the engine's order.
    if (c.sql.find("ORDER BY") == std::string::npos) std::sort(names.begin(), names.end());
    EXPECT_EQ(c.names, names) << c.rows.front();
  }
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
  for (const auto& c : cases) {
    const std::string& text = c.first;
    const std::string& construct = c.second;
    const auto failure = testing_engine::EngineFailure([&] { TranslateQbeToSql(text); });
    EXPECT_EQ(kQbeNotTranslated, failure.Code) << "translated: " << text;
    EXPECT_NE(std::string::npos, failure.Context.find(construct)) << failure.Context;
  }
  // Through the driver the statement fails to prepare and nothing runs.
  DBIResult code = 0;
  EXPECT_TRUE(Run(Grid("People | Name | Age |", {"| Check | delete |"}), &code).empty());
  EXPECT_EQ(kQbeNotTranslated, code);
}

// The answer table's columns (name:type, texts with their size) and then its
// rows, read from the file itself.
std::vector<std::string> AnswerRows(const std::string& path, const std::string& table) {
  dao::TDatabaseCore db(path, false, true, "");
  std::unique_ptr<dao::TRecordsetCore> rs;
  try {
    rs = db.OpenRecordset(table, dao::dbReadOnly);
  } catch (const std::exception&) {
    return {"no table"};
  }
  std::string columns;
  for (const auto& f : rs->Fields())
    columns += (columns.empty() ? "" : " ") + f.def.name + ":" + std::to_string(f.def.type) +
               (f.def.type == dao::dbText ? ":" + std::to_string(f.def.size) : "");
  std::vector<std::string> rows{columns};
  for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
    std::string row;
    for (int f = 0; f < int(rs->Fields().size()); ++f) {
      const dao::Cell& c = rs->Value(f);
      row += (f ? "|" : "") + (c.kind == dao::Cell::Text ? c.text : std::to_string(c.AsInteger()));
    }
    rows.push_back(row);
  }
  return rows;
}

TEST_F(QbeOverAccess, AnswersAreWrittenIntoANewTableOfTheFile) {
  struct TAnswerCase {
    std::string text;
    std::uint16_t language;
    const char* answer;  // the property; nil for the text's own answer line
    std::string table;
    std::vector<std::string> rows;
  };
  const std::string older = "People | Name | Age |\r\n| Check | >=30 |";
  const TAnswerCase cases[] = {
      {"Query\r\nANSWER: Older\r\n\r\n" + older + "\r\n\r\nEndQuery", kQbeLanguage, nullptr, "Older",
       {"Name:10:20", "Anna", "Carl"}},
      {Grid("People | Name | Age |", {"| CheckDescending | 25 |"}), kQbeLanguage, "Young", "Young",
       {"Name:10:20", "Bert"}},
      {"SELECT Name, Age, Id FROM People WHERE Age < 31 ORDER BY Age, Name", 2, "Ages", "Ages",
       {"Name:10:20 Age:3 Id:4", "Bert|25|2", "Anna|30|1", "Carl|30|3"}},
      {"SELECT Name & '!' AS Shout FROM People WHERE Age = 25", 2, "Shouts", "Shouts", {"Shout:10:255", "Bert!"}},
  };
  for (const auto& c : cases) {
    DBIResult code = 1;
    std::vector<std::string> names = Run(c.text, &code, c.language, c.answer);
    EXPECT_EQ(0, code) << c.table;
    std::vector<std::string> expected;  // the statement's cursor reads the new table
    for (std::size_t r = 1; r < c.rows.size(); ++r) expected.push_back(c.rows[r].substr(0, c.rows[r].find('|')));
    EXPECT_EQ(expected, names) << c.table;
    EXPECT_EQ(c.rows, AnswerRows(path_, c.table)) << c.table;
  }
  // An answer in the private directory is the statement's result alone.
  EXPECT_EQ((std::vector<std::string>{"Anna", "Carl"}),
            Run("Query\r\nANSWER: :PRIV:Older2\r\n\r\n" + older + "\r\n\r\nEndQuery"));
  EXPECT_EQ(std::vector<std::string>{"no table"}, AnswerRows(path_, "Older2"));
}

TEST_F(QbeOverAccess, RefusedAnswersLeaveTheFileUntouched) {
  const std::string select = "SELECT Name FROM People";
  const struct {
    std::string text;
    std::uint16_t language;
    const char* answer;
    const char* type;
    DBIResult code;
  } cases[] = {
      {select, 2, "People", nullptr, dberr::TableExists},  // never replaces a table
      {select, 2, "people", nullptr, dberr::TableExists},
      {select, 2, "Answer.db", nullptr, dberr::InvalidParam},
      {select, 2, "C:\\answers\\a", nullptr, dberr::InvalidParam},
      {select, 2, "a]; DROP TABLE People; [", nullptr, dberr::InvalidParam},
      {select, 2, "Fine", "DBASE", 0x2707},  // a table type the engine does not serve
      {"SELECT Name AS `x]y` FROM People", 2, "Fine", nullptr, dberr::InvalidParam},  // cannot name a column
      {"UPDATE People SET Age = 1", 2, "Changed", nullptr, 3219},  // no rows: invalid operation
      {"Query\r\nANSWER: C:\\x\\ANSWER.DB\r\n\r\nPeople | Name |\r\n| Check |\r\n\r\nEndQuery", kQbeLanguage,
       nullptr, nullptr, dberr::InvalidParam},
  };
  std::ifstream in(path_, std::ios::binary);
  const std::string before((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const auto& c : cases) {
    DBIResult code = 0;
    EXPECT_TRUE(Run(c.text, &code, c.language, c.answer, c.type).empty()) << c.text;
    EXPECT_EQ(c.code, code) << c.text;
  }
  engine_.reset();
  ResetSharedDAOEngine();
  std::ifstream after(path_, std::ios::binary);
  EXPECT_TRUE(before == std::string((std::istreambuf_iterator<char>(after)), std::istreambuf_iterator<char>()))
      << "the database file changed";
}

}  // namespace
