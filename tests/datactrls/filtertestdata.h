#pragma once
// A scratch database of five People rows under a filter dialog bound to an
// engine table, for the filter dialog's tests.

#include <memory>
#include <string>
#include <vector>

#include "bde/dbtables.h"
#include "datactrls/wwfltdlg.h"
#include "datactrls/wwtadatasets.h"
#include "dbengine/accbinding_fixture.h"
#include "platform/classlib/core/datetime.h"

namespace filtertest {

using Ids = std::vector<int>;

struct TCond {
  const char* label;
  TwwFilterMatchType match;
  const char* value = "";
  const char* min = "";
  const char* max = "";
  bool caseSensitive = false;
  bool nonMatching = false;
};

// Rows (Id Name Age Score Born Notes): 1 'New report' 30 1.5 2020-01-05 'Crash
// on start'; 2 'fixed bug' 25 2.5 2021-03-01 'works'; 3 'Low prio' 41; 4 (no
// name) 5 0 ''; 5 'or new' 12 2019-07-04 'crash'.
class LocalFilter : public accesstest::BindingFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    for (const char* row : {"'New report', 30, 1.5, #1/5/2020#, 'Crash on start'",
                            "'fixed bug', 25, 2.5, #3/1/2021#, 'works'",
                            "'Low prio', 41, NULL, NULL, NULL",
                            "NULL, 5, 0, NULL, ''",
                            "'or new', 12, NULL, #7/4/2019#, 'crash'"})
      db.Execute(std::string("INSERT INTO People (Name, Age, Score, Born, Notes) VALUES (") + row + ")");
  }
  void SetUp() override {
    BindingFixture::SetUp();
    table = Make<TwwtaTable>();
    table->SetTableName("People");
    table->Open();
    source.SetDataSet(table.get());
    dialog.SetDataSource(&source);
  }
  void TearDown() override {
    source.SetDataSet(nullptr);
    table.reset();
    // Library datasets made here leave their sessions' databases connected;
    // they must go before the scratch file does.
    StopSessions();
    BindingFixture::TearDown();
  }
  void Set(std::initializer_list<TCond> conds) {
    dialog.ClearFilter();
    for (const TCond& c : conds) {
      auto info = std::make_unique<TwwFieldInfo>();
      info->DisplayLabel = c.label;
      info->MatchType = c.match;
      info->FilterValue = c.value;
      info->MinValue = c.min;
      info->MaxValue = c.max;
      info->CaseSensitive = c.caseSensitive;
      info->NonMatching = c.nonMatching;
      dialog.FieldInfo().push_back(std::move(info));
    }
  }
  Ids Shown(TDataSet* d = nullptr) {
    d = d ? d : table.get();
    Ids ids;
    for (d->First(); !d->Eof(); d->Next()) ids.push_back(int(d->FieldByName("Id")->AsInteger()));
    return ids;
  }
  Ids Filtered(std::initializer_list<TCond> conds) {
    Set(conds);
    dialog.ApplyFilter();
    return Shown();
  }
  static std::string Day(int y, int m, int d) { return DateToStr(EncodeDate(y, m, d)); }

  std::unique_ptr<TwwtaTable> table;
  TDataSource source;
  TwwFilterDialog dialog;
};

}  // namespace filtertest
