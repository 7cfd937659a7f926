// Sorting the entry grid by a title click, for every column: the rows come in
// the column's order within the program, and no message appears.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "app/main/bug.h"
#include "apptest.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "entryrows.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/db/dbvariant.h"
#include "platform/dao/core.h"

namespace {

using testing_support::Pump;

class TitleSort : public apptest::MainWindowTest {
 protected:
  void Prepare() override {
    apptest::AddEveryCodeEntry(scratch.Database());
    // Rows stored against every column's order, the longest description a
    // record can hold among them.
    dao::TDatabaseCore db(scratch.Database(), false, false, "");
    const std::string longest(200, 'z');
    for (const char* values :
         {"'zz', 'zulu', '9', '5', '1', '2026-03-01', 'Zed', '9.9'", "'AA', 'alpha', '1', '1', '2', '2026-01-01', 'Ann', '0.1'"})
      db.Execute(std::string("INSERT INTO Reports (ProgramNumber, ReportType, Identifier, Description, Status, "
                             "Priority, Severity, ReportedDate, ReportedBy, FixedInVersion) VALUES (1, 'BugReport', ") +
                 values + ")");
    db.Execute("UPDATE Reports SET Description = '" + longest + "' WHERE Description = 'zulu'");
  }
  TModalResult Answer(TDialogRequest& r) override {
    messages.push_back(r.Text);
    return MainWindowTest::Answer(r);
  }
  // Whether a comes after b in the index's order (text without regard to case).
  static bool After(TField* field, const Variant& a, const Variant& b) {
    if (dbvar::IsNullish(a) || dbvar::IsNullish(b)) return !dbvar::IsNullish(a) && dbvar::IsNullish(b);  // empty first
    if (field->DataType() != ftString) return dbvar::ToFloat(a) > dbvar::ToFloat(b);
    auto lower = [](std::string s) {
      for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
      return s;
    };
    return lower(dbvar::ToString(a)) > lower(dbvar::ToString(b));
  }

  std::vector<std::string> messages;
};

TEST_F(TitleSort, EveryColumnSortsWithinTheProgramWithoutAMessage) {
  TwwDBGrid* grid = form->dbgBug;
  TDataSet* entries = form->dsetBug;
  for (int i = 0; i < grid->GetFieldCount(); ++i) {
    const std::string field = grid->GetField(i)->FieldName();
    SCOPED_TRACE(field);
    const int column = form->GridColumnOf(i);
    if (grid->CellRect(column, 0).Right <= grid->CellRect(column, 0).Left) grid->SetLeftCol(column);  // scrolled into view
    const TRect title = grid->CellRect(column, 0);
    testing_support::Click(grid, (title.Left + title.Right) / 2, (title.Top + title.Bottom) / 2);
    Pump();
    EXPECT_TRUE(messages.empty()) << (messages.empty() ? "" : messages.front());
    messages.clear();
    EXPECT_EQ(form->dsetBug->IndexName(), field);
    Variant last = Null;
    int rows = 0;
    for (entries->First(); !entries->Eof(); entries->Next(), ++rows) {
      const Variant value = entries->FieldByName(field)->AsVariant();
      if (rows > 0) { EXPECT_FALSE(After(entries->FieldByName(field), last, value)) << dbvar::ToString(value); }
      last = value;
    }
    EXPECT_EQ(rows, 47);
  }
  form->dsetBug->SetIndexName("Description");
  form->dsetBug->First();
  EXPECT_EQ(form->dsetBug->FieldByName("Identifier")->AsString(), "AA");
}

}  // namespace
