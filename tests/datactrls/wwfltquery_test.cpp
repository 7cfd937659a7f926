// Filtering a query by rewriting its SQL: the text of each kind of condition,
// where it goes in the WHERE clause, values quoted and numbers checked, and a
// real engine query rewritten, reopened, and given back its text.

#include <gtest/gtest.h>

#include "datactrls/wwfltquery.h"
#include "datactrls/wwtable.h"
#include "filtertestdata.h"
#include "platform/classlib/dialogs/dialogs.h"

namespace {

using namespace filtertest;
using Lines = std::vector<std::string>;

Lines LinesOf(TStrings* s) {
  Lines lines;
  for (int i = 0; i < s->Count(); ++i) lines.push_back(s->Strings(i));
  return lines;
}

class QueryRewriteText : public ::testing::Test {
 protected:
  QueryRewriteText() {
    for (auto [name, type] : {std::pair{"Status", ftString}, {"Id", ftInteger}, {"FixedDate", ftDate},
                              {"Score", ftFloat}, {"Fixed By", ftString}}) {
      auto f = std::make_unique<TwwDBFieldInfo>();
      f->FieldName = f->SqlFieldName = name;
      f->TableName = "ITEMS";
      f->DataType = type;
      fields.push_back(std::move(f));
    }
  }
  // The condition lines, or the problem when they cannot be written.
  Lines Sql(std::initializer_list<TCond> conds) {
    TwwFieldInfoList list;
    for (const TCond& c : conds) {
      list.push_back(std::make_unique<TwwFieldInfo>());
      TwwFieldInfo& i = *list.back();
      i.FieldName = c.label;
      i.MatchType = c.match;
      i.FilterValue = c.value;
      i.MinValue = c.min;
      i.MaxValue = c.max;
      i.CaseSensitive = c.caseSensitive;
      i.NonMatching = c.nonMatching;
    }
    Lines lines;
    std::string problem;
    if (!wwBuildConditionSql(list, fields, nullptr, ops, lines, problem)) return {"! " + problem};
    return lines;
  }
  TwwDBFieldInfoList fields;
  TwwFieldOperators ops;
};

TEST_F(QueryRewriteText, ConditionLines) {
  const std::string day = DateToStr(EncodeDate(2020, 1, 5));
  struct TCase {
    TCond cond;
    Lines sql;
  };
  const TCase cases[] = {
      {{"Status", fdMatchExact, "new"}, {"(Upper(ITEMS.Status)='NEW')"}},
      {{"Status", fdMatchExact, "o'brien"}, {"(Upper(ITEMS.Status)='O''BRIEN')"}},
      {{"Status", fdMatchStart, "Ne", "", "", true}, {"(ITEMS.Status like 'Ne*')"}},
      {{"Status", fdMatchStart, "5%*?#[", "", "", true}, {"(ITEMS.Status like '5%[*][?][#][[]*')"}},
      {{"Status", fdMatchAny, "a or b"}, {"(Upper(ITEMS.Status) like '*A*' or Upper(ITEMS.Status) like '*B*')"}},
      {{"Status", fdMatchStart, "null"}, {"(Upper(ITEMS.Status) is NULL)"}},
      {{"FixedDate", fdMatchExact, "null"}, {"(ITEMS.FixedDate is NULL)"}},
      {{"Id", fdMatchExact, "5 or 7"}, {"(ITEMS.Id=5 or ITEMS.Id=7)"}},
      {{"Id", fdMatchStart, "5"}, {"(ITEMS.Id=5)"}},  // no wildcard on a number
      {{"Id", fdMatchExact, "5; drop table ITEMS"}, {"! '5; DROP TABLE ITEMS' is not a valid value for field 'Id'."}},
      {{"Score", fdMatchExact, "1.5"}, {"(ITEMS.Score=1.5)"}},
      {{"Status", fdMatchExact, "x", "", "", false, true}, {"  not", "(Upper(ITEMS.Status)='X')"}},
      {{"Fixed By", fdMatchExact, "al"}, {"(Upper(ITEMS.\"Fixed By\")='AL')"}},
      {{"Id", fdMatchRange, "", "2", "9"}, {"   ITEMS.Id >= 2", " and", "   ITEMS.Id <= 9"}},
      {{"Id", fdMatchRange, "", "", "9 or 1=1"}, {"! '9 or 1=1' is not a valid value for field 'Id'."}},
      {{"Status", fdMatchRange, "", "a'b"}, {"   Upper(ITEMS.Status) >= 'A''B'"}},
      {{"Status", fdMatchRange, "", "", "Zed", true}, {"   ITEMS.Status <= 'Zed'"}},
      {{"FixedDate", fdMatchRange, "", day.c_str()}, {"   ITEMS.FixedDate >= #1/5/2020#"}},
      {{"FixedDate", fdMatchExact, day.c_str()}, {"(ITEMS.FixedDate=#1/5/2020#)"}},
      {{"Nope", fdMatchExact, "x"}, {"! Field Name not found in referenced tables. \rNope"}},
      {{"Status", fdMatchEnd, "x"}, {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.cond.label) + " " + c.cond.value + c.cond.min + c.cond.max);
    EXPECT_EQ(Sql({c.cond}), c.sql);
  }
  // For a query that reads ":name" as a parameter, "::" keeps a colon.
  TwwFieldInfoList stamp;
  stamp.push_back(std::make_unique<TwwFieldInfo>());
  stamp.back()->FieldName = "Stamp";
  stamp.back()->MatchType = fdMatchExact;
  stamp.back()->FilterValue = DateTimeToStr(EncodeDate(2020, 1, 5) + EncodeTime(9, 5, 0, 0));
  fields.push_back(std::make_unique<TwwDBFieldInfo>());
  fields.back()->FieldName = fields.back()->SqlFieldName = "Stamp";
  fields.back()->TableName = "ITEMS";
  fields.back()->DataType = ftDateTime;
  for (bool scanned : {false, true}) {
    Lines lines;
    std::string problem;
    ASSERT_TRUE(wwBuildConditionSql(stamp, fields, nullptr, ops, lines, problem, scanned));
    EXPECT_EQ(lines, Lines{scanned ? "(   ITEMS.Stamp=#1/5/2020 9::5::0#)" : "(   ITEMS.Stamp=#1/5/2020 9:5:0#)"});
  }
  // Conditions that write nothing take no joining line.
  EXPECT_EQ(Sql({{"Status", fdMatchEnd, "x"}, {"Id", fdMatchExact, "1"}, {"Status", fdMatchExact, "y", "", "", false, true}}),
            (Lines{"(ITEMS.Id=1)", "  and not", "(Upper(ITEMS.Status)='Y')"}));
}

TEST_F(QueryRewriteText, MergingIntoTheWhereClause) {
  struct TCase {
    Lines before;
    Lines after;
  };
  const Lines add{"(X)"};
  const TCase cases[] = {
      {{"select * from ITEMS", "order by Id"}, {"select * from ITEMS", "Where", "(X)", "order by Id"}},
      {{"select * from ITEMS"}, {"select * from ITEMS", "Where", "(X)"}},
      {{"select * from ITEMS", "where Open = 1", "order by Id"},
       {"select * from ITEMS", "where Open = 1", "", "And", "(X)", "order by Id"}},
      {{"select * from ITEMS where Open = 1 order by Id"},
       {"select * from ITEMS where Open = 1 ", "And", "(X)", "order by Id"}},
      {{"select * from ITEMS where Open = 1"}, {"select * from ITEMS where Open = 1", "And", "(X)", ""}},
      {{"select * from ITEMS where Name = 'order'"}, {"select * from ITEMS where Name = 'order'", "And", "(X)", ""}},
      // Letters whose upper case is shorter or longer: the line is cut where
      // its own clause starts.
      {{"select * from ITEMS where Name = 'ıſ' order by Id"},
       {"select * from ITEMS where Name = 'ıſ' ", "And", "(X)", "order by Id"}},
      {{"select * from ITEMS where Name = 'ɐɐ' order by Id"},
       {"select * from ITEMS where Name = 'ɐɐ' ", "And", "(X)", "order by Id"}},
  };
  for (const TCase& c : cases) {
    TStringList sql;
    for (const auto& l : c.before) sql.Add(l);
    wwMergeSqlWhere(&sql, add);
    EXPECT_EQ(LinesOf(&sql), c.after);
  }
}

TEST_F(QueryRewriteText, TablesOfTheFromList) {
  TStringList sql;
  sql.SetText("select a.x\r\nfrom Items a, \"My Table\" M,Other\r\nwhere 1=1");
  const auto tables = wwQueryTables(&sql);
  ASSERT_EQ(tables.size(), 3u);
  EXPECT_EQ(tables[0].Name + " " + tables[0].Alias, "ITEMS A");
  EXPECT_EQ(tables[1].Name + " " + tables[1].Alias, "MY TABLE M");
  EXPECT_EQ(tables[2].Name + " " + tables[2].Alias, "OTHER OTHER");
}

// A real query of the engine, rewritten and reopened.
class QueryRewrite : public LocalFilter {
 protected:
  void SetUp() override {
    LocalFilter::SetUp();
    table->Append();
    table->FieldByName("Name")->SetAsString("O'Brien");
    table->FieldByName("Age")->SetAsInteger(30);
    table->Post();
    query = Make<TwwtaQuery>();
    query->SQL()->Add("select * from People");
    query->SQL()->Add("order by Id");
    query->Open();
    source.SetDataSet(query.get());
    dialog.SetFilterMethod(fdByQueryModify);
  }
  void TearDown() override {
    source.SetDataSet(nullptr);
    query.reset();
    LocalFilter::TearDown();
  }
  std::unique_ptr<TwwtaQuery> query;
};

TEST_F(QueryRewrite, TheQueryIsRewrittenFromItsOriginalTextEachTime) {
  Set({{"Name", fdMatchExact, "o'brien"}});
  dialog.ApplyFilter();
  EXPECT_EQ(LinesOf(query->SQL()), (Lines{"select * from People", "Where", "(Upper(PEOPLE.Name)='O''BRIEN')", "order by Id"}));
  EXPECT_EQ(Shown(query.get()), (Ids{6}));
  Set({{"Age", fdMatchRange, "", "12", "30"}, {"Name", fdMatchAny, "o"}});
  dialog.ApplyFilter();  // no second WHERE
  EXPECT_EQ(Shown(query.get()), (Ids{1, 5, 6}));
  EXPECT_EQ(query->SQL()->Count(), 8);
  dialog.ClearFilter();
  EXPECT_EQ(LinesOf(query->SQL()), (Lines{"select * from People", "order by Id"}));
}

// Conditions that ignore case match every letter so: the rewritten query's
// Upper() changes a stored "émile" as the dialog changed the typed "Émile".
TEST_F(QueryRewrite, AnyCaseConditionsMatchLettersBeyondAscii) {
  table->Append();
  table->FieldByName("Name")->SetAsString("\xC3\xA9mile");
  table->Post();
  const int emile = int(table->FieldByName("Id")->AsInteger());
  for (TwwFilterMatchType match : {fdMatchStart, fdMatchAny, fdMatchExact}) {
    SCOPED_TRACE(int(match));
    Set({{"Name", match, match == fdMatchExact ? "\xC3\x89mile" : "\xC3\x89mi"}});
    dialog.ApplyFilter();
    EXPECT_EQ(Shown(query.get()), (Ids{emile})) << query->SQL()->Text();
  }
}

// ... and every case of a letter that the case-blind order joins, whichever
// is stored and whichever typed: the query's Upper() and the typed value's
// upper case are both the upper case of the fold.
TEST_F(QueryRewrite, AnyCaseConditionsMeetEveryCaseOfALetter) {
  const std::pair<const char*, const char*> pairs[] = {
      {"Ơn", "ơN"},         {"əli", "ƏLI"},   {"Straße", "STRAẞE"}, {"\u212Aelvin", "kelvin"},
      {"აბგ", "ᲐᲑᲒ"}, {"ⱥx", "ȺX"}, {"ıi", "ıI"},
  };
  for (auto [stored, typed] : pairs) {
    SCOPED_TRACE(std::string(stored) + " / " + typed);
    table->Append();
    table->FieldByName("Name")->SetAsString(stored);
    table->Post();
    const Ids row{int(table->FieldByName("Id")->AsInteger())};
    for (const TCond& c : {TCond{"Name", fdMatchExact, typed}, TCond{"Name", fdMatchRange, "", typed, typed},
                           TCond{"Name", fdMatchStart, typed}}) {
      Set({c});
      dialog.ApplyFilter();
      EXPECT_EQ(Shown(query.get()), row) << query->SQL()->Text();
    }
  }
  Set({{"Name", fdMatchExact, "II"}});  // "ı" is no case of "i"
  dialog.ApplyFilter();
  EXPECT_EQ(Shown(query.get()), Ids{}) << query->SQL()->Text();
}

// Dates are compared as dates by the engine, not as texts: a text compare
// would put 1/5/2020 after 12/31/2019 and before 7/4/2019.
TEST_F(QueryRewrite, DateConditionsSelectTheRowsOfThoseDates) {
  TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
  struct TCase {
    TCond cond;
    Ids rows;
  };
  const std::string from = Day(2020, 1, 1), until = Day(2019, 12, 31), born = Day(2020, 1, 5),
                    later = Day(2021, 3, 1);
  // A time of day needs colons, which the query must not take for parameters.
  const std::string noon = DateTimeToStr(EncodeDate(2020, 1, 4) + EncodeTime(12, 30, 15, 0));
  const TCase cases[] = {
      {{"Born", fdMatchRange, "", noon.c_str()}, {1, 2}},
      {{"Born", fdMatchRange, "", "", noon.c_str()}, {5}},
      {{"Born", fdMatchRange, "", from.c_str()}, {1, 2}},
      {{"Born", fdMatchRange, "", "", until.c_str()}, {5}},
      {{"Born", fdMatchRange, "", until.c_str(), later.c_str()}, {1, 2}},
      {{"Born", fdMatchExact, born.c_str()}, {1}},
      {{"Born", fdMatchExact, "null"}, {3, 4, 6}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.cond.value) + " " + c.cond.min + ".." + c.cond.max);
    Set({c.cond});
    dialog.ApplyFilter();
    EXPECT_EQ(Shown(query.get()), c.rows);
  }
  EXPECT_EQ(boxes.Texts(), Lines{});
}

TEST_F(QueryRewrite, AFieldOrValueThatCannotBeWrittenReopensTheOriginal) {
  TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
  Set({{"Age", fdMatchExact, "30 or 1=1"}});
  dialog.ApplyFilter();
  Set({{"Nope", fdMatchExact, "x"}});
  dialog.ApplyFilter();
  EXPECT_TRUE(query->Active());
  EXPECT_EQ(Shown(query.get()), (Ids{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(boxes.Texts(), (Lines{"'1=1' is not a valid value for field 'Age'.",
                                  "Field Name not found in referenced tables. \nNope"}));
}

TEST_F(QueryRewrite, TheLibrarysQueryIsToldBeforeItOpens) {
  auto own = Make<TwwQuery>();
  own->SQL()->Add("select * from People");
  own->Open();
  source.SetDataSet(own.get());
  dialog.SetFilterMethod(fdByQueryModify);
  std::vector<std::string> told;
  dialog.OnExecuteSQL = [&](TwwFilterDlg* window, TQuery* q) {
    EXPECT_EQ(window, nullptr);  // no window: applied directly
    EXPECT_FALSE(q->Active());
    told.push_back(q->SQL()->Strings(q->SQL()->Count() - 1));
  };
  Set({{"Name", fdMatchStart, "n"}});
  dialog.ApplyFilter();
  EXPECT_EQ(told, std::vector<std::string>{"(Upper(PEOPLE.Name) like 'N*')"});
  EXPECT_EQ(Shown(own.get()), (Ids{1}));
  source.SetDataSet(query.get());
}

}  // namespace
