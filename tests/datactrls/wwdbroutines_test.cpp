// The library's routines over the class library's datasets on a real
// database file: answer tables (what is written, where, and the messages of
// the names that are refused) and the refresh after a callback filter.

#include <gtest/gtest.h>

#include "datactrls/wwdbroutines.h"
#include "datactrls/wwfilterinstall.h"
#include "dbengine/accbinding_fixture.h"
#include "dbengine/qbesql.h"
#include "platform/bde/dbtables.h"
#include "platform/classlib/core/strings.h"
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
    if (!c.message.empty()) EXPECT_NE(std::string::npos, boxes.Texts()[0].find(c.message)) << boxes.Texts()[0];
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

}  // namespace
