// The library's routines over the class library's datasets on a real
// database file: answer tables (what is written, where, and the messages of
// the names that are refused), the refresh after a callback filter, index
// changes that keep the record, and incremental search on a plain table.

#include <gtest/gtest.h>

#include "bde/dbtables.h"
#include "datactrls/wwdbroutines.h"
#include "datactrls/wwfilterinstall.h"
#include "dbengine/accbinding_fixture.h"
#include "dbengine/qbesql.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/db/fielddefs.h"
#include "platform/classlib/dialogs/dialogs.h"

namespace {

class LibraryRoutines : public accesstest::BindingFixture {
 protected:
  void TearDown() override {
    query_.reset();
    StopSessions();
    BindingFixture::TearDown();
  }
  TQuery* OpenQuery() {
    query_ = std::make_unique<TQuery>();
    query_->SetDatabaseName(path_);
    query_->SQL()->SetText("SELECT Name FROM People WHERE Age = 30 ORDER BY Name");
    query_->Open();
    return query_.get();
  }
  // The Name column of a table of the file; empty when it cannot be opened.
  std::vector<std::string> Names(const std::string& table) {
    TTable t;
    t.SetDatabaseName(path_);
    t.SetTableName(table);
    try {
      t.Open();
    } catch (const Exception&) {
      return {};
    }
    std::vector<std::string> names = accesstest::ColumnOf(&t);
    std::sort(names.begin(), names.end());
    return names;
  }
  std::unique_ptr<TQuery> query_;
};

TEST_F(LibraryRoutines, AQuerysRowsGoIntoTheNamedTableOrAMessageSaysWhyNot) {
  TStringList params;
  params.Add("PATH=");
  AccessDefaultSession()->SetActive(true);
  AccessDefaultSession()->AddAlias("NoPath", "ACCESS", &params, 7);
  params.Clear();
  params.Add("PATH=" + dir_);
  AccessDefaultSession()->AddAlias("Here", "ACCESS", &params, 7);
  const struct {
    std::string name;
    bool written;
    std::string message;  // the one box shown; empty for none
  } cases[] = {
      {"", false, ""},
      {"Thirty", true, ""},
      {"Thirty", false, "TABLEEXISTS\nThirty(Thirty)"},  // an existing table is never replaced
      {"People", false, "TABLEEXISTS\nPeople(People)"},
      {":NoPath:Thirty2", false, "Invalid Alias in QBE"},
      // The driver keeps answers in its own file, never at a place.
      {":Here:Thirty2", false, "INVALIDPARAM\nanswer table \"" + dir_ + "\\Thirty2\"(" + dir_ + "\\Thirty2)"},
      {"Z:\\answers\\Thirty2", false, "Unable to create answer table Z:\\answers\\Thirty2"},
  };
  TQuery* q = OpenQuery();
  for (const auto& c : cases) {
    TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
    EXPECT_EQ(c.written, wwPrepareAnswerTable(q, q->StmtHandle(), c.name)) << c.name;
    ASSERT_EQ(c.message.empty() ? 0 : 1, boxes.Count()) << c.name;
    if (!c.message.empty()) { EXPECT_NE(std::string::npos, boxes.Texts()[0].find(c.message)) << boxes.Texts()[0]; }
  }
  EXPECT_EQ((std::vector<std::string>{"Anna", "Carl"}), Names("Thirty"));
  EXPECT_EQ(3u, Names("People").size());
  EXPECT_TRUE(Names("Thirty2").empty());
  // The statement keeps no answer name: running it again writes nothing.
  q->Close();
  q->Open();
  EXPECT_EQ((std::vector<std::string>{"Anna", "Carl"}), accesstest::ColumnOf(q));
}

TEST_F(LibraryRoutines, AnExampleStatementWritesItsAnswerTable) {
  TQuery* q = OpenQuery();
  TSqlStmt* stmt = nullptr;
  ASSERT_EQ(0, q->Engine()->AllocateStatement(q->DBHandle(), kQbeLanguage, stmt));
  ASSERT_EQ(0, q->Engine()->PrepareStatement(stmt, "People | Name | Age |\r\n| CheckPlus | <30 |"));
  TBaseTable* cursor = nullptr;
  ASSERT_EQ(0, q->Engine()->ExecuteStatement(stmt, &cursor));
  EXPECT_TRUE(wwPrepareAnswerTable(q, stmt, "Young"));
  q->Engine()->CloseCursor(cursor);
  q->Engine()->FreeStatement(stmt);
  EXPECT_EQ(std::vector<std::string>{"Bert"}, Names("Young"));
}

std::uint16_t EveryRecord(std::intptr_t, std::uint8_t*, std::int32_t) { return 1; }

TEST_F(LibraryRoutines, ACallbackFilterTakesAnIndexedTableBackToItsFirstRecord) {
  TTable table;
  table.SetTableName("People");
  table.SetIndexName("ByName");
  TQuery query;
  query.SQL()->SetText("SELECT * FROM People ORDER BY Name");
  // A table with an index starts again; any other dataset is re-read where it stands.
  for (auto [d, expected] : {std::pair<TttDBDataset*, const char*>{&table, "Anna"}, {&query, "Carl"}}) {
    d->SetDatabaseName(path_);
    d->Open();
    TwwCursorFilterEngine engine(d->Handle());
    TwwFilterHandle handle = nullptr;
    for (TFilterCallback callback : {&EveryRecord, TFilterCallback(nullptr)}) {
      d->Last();
      ASSERT_TRUE(wwInstallCallbackFilter(callback, d, engine, handle));
      EXPECT_EQ(expected, d->FieldByName("Name")->AsString()) << d->ClassName();
    }
    d->Close();
  }
}

TEST_F(LibraryRoutines, AnIndexChangeKeepsTheCurrentRecord) {
  TTable t;
  t.SetDatabaseName(path_);
  t.SetTableName("People");
  t.Open();
  t.IndexDefs().Update();
  const TIndexDef* byAgeName = t.IndexDefs().Find("ByAgeName");
  ASSERT_NE(nullptr, byAgeName);
  ASSERT_TRUE(t.Locate("Name", Variant("Carl"), {}));
  wwSetIndexKeepPosition(&t, byAgeName);  // reopened: Bert (25) comes first now
  EXPECT_EQ("ByAgeName", t.IndexName());
  EXPECT_EQ("Carl", t.FieldByName("Name")->AsString());
  EXPECT_EQ(dsBrowse, t.State());
  wwSetIndexKeepPosition(&t, nullptr);
  EXPECT_EQ("ByAgeName", t.IndexName());
  t.Close();
  wwSetIndexKeepPosition(&t, t.IndexDefs().Find("ByName"));  // a closed table only takes the name
  EXPECT_EQ("ByName", t.IndexName());
  EXPECT_FALSE(t.Active());
  // The engine's own table is no table of the class library.
  auto engineTable = MakeTable();
  engineTable->Open();
  wwSetIndexKeepPosition(engineTable.get(), byAgeName);
  EXPECT_EQ("", engineTable->IndexName());
}

TEST_F(LibraryRoutines, IncrementalSearchWarnsOnAPlainTableOnly) {
  TTable table;
  TQuery query;
  auto engineTable = MakeTable();
  for (auto [d, warned] : {std::pair<TDataSet*, bool>{&table, true}, {&query, false}, {engineTable.get(), false}}) {
    TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
    EXPECT_FALSE(wwIncrementalSearch(d, "B", 0)) << d->ClassName();
    ASSERT_EQ(warned ? 1 : 0, boxes.Count()) << d->ClassName();
    if (warned) {
      EXPECT_EQ("Incremental Search - TTable component not supported. Use TwwTable instead.", boxes.Texts()[0]);
    }
  }
}

}  // namespace
