#pragma once
// What the entry and new-entry tests share: the main window over a fresh
// database, and the stored entries as another connection reads them.

#include <sqlite3.h>

#include <functional>
#include <string>
#include <vector>

#include "app/main/bug.h"
#include "app/newentry/enternewrecord.h"
#include "apptest.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/db/fields.h"
#include "winctrls/exttab.h"

namespace apptest {

// The main window over a fresh database; `settings` runs before start-up
// (the new-entry dialog is off unless it turns it on).
struct Window {
  explicit Window(const std::function<void(TRegIniFile&)>& settings = {}) {
    auto reg = scratch.Settings();
    reg->WriteBool("Options", "ShowEntryDialog", false);
    if (settings) settings(*reg);
    reg.reset();
    form = StartMainWindow();
  }
  ~Window() {
    if (form->dsetBug->State() == dsInsert || form->dsetBug->State() == dsEdit)
      form->dsetBug->Cancel();
    CloseMainWindow(form);
  }
  std::string Field(const char* name) { return form->dsetBug->FieldByName(name)->AsString(); }
  // Adds and posts an entry of a kind with a description (dialog off).
  void AddPosted(int tab, const std::string& description) {
    form->tcType->SetTabIndex(tab);
    form->AddEntry();
    form->dsetBug->FieldByName("Description")->SetAsString(description);
    form->dsetBug->Post();
  }
  Scratch scratch;
  TfrmBug* form = nullptr;
};

// The main window with the new-entry dialog on, and the dialog itself.
struct DialogWindow : Window {
  explicit DialogWindow(const std::function<void(TRegIniFile&)>& settings = {})
      : Window([&](TRegIniFile& reg) {
          reg.WriteBool("Options", "ShowEntryDialog", true);
          if (settings) settings(reg);
        }) {
    frmEnterNewRecord = new TfrmEnterNewRecord(Application);
  }
  ~DialogWindow() { delete frmEnterNewRecord; }
};

// The grid's data column showing `field` (-1 when none does).
inline int GridDataColumn(TfrmBug* form, const std::string& field) {
  for (int i = 0; i < form->dbgBug->GetFieldCount(); ++i)
    if (form->dbgBug->GetField(i)->FieldName() == field) return i;
  return -1;
}

// People the lookup combos of employees list, stored through one of them:
// the window itself makes the others list them.
inline void AddEmployees(TfrmBug* form, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    form->wwtaFixedBy->Append();
    form->wwtaFixedBy->FieldByName("Employee")->SetAsString(name);
    form->wwtaFixedBy->Post();
  }
}

// The Reports rows through another connection: "<ProgramNumber>:<Description>",
// or the named field when one is given.
inline std::vector<std::string> StoredEntries(const std::string& database,
                                              const char* field = nullptr) {
  TwwtaTable table;
  table.SetDatabaseName(database);
  table.SetTableName("Reports");
  table.Open();
  std::vector<std::string> rows;
  for (table.First(); !table.Eof(); table.Next())
    rows.push_back(field ? table.FieldByName(field)->AsString()
                         : table.FieldByName("ProgramNumber")->AsString() + ":" +
                               table.FieldByName("Description")->AsString());
  return rows;
}

// One field of every row of a table, through another connection.
inline std::vector<std::string> StoredValues(const std::string& database, const char* tableName,
                                             const char* field) {
  TwwtaTable table;
  table.SetDatabaseName(database);
  table.SetTableName(tableName);
  table.Open();
  std::vector<std::string> values;
  for (table.First(); !table.Eof(); table.Next()) values.push_back(table.FieldByName(field)->AsString());
  return values;
}

// Makes the database file itself refuse rows of `table` whose `field` is
// `value` (new or changed), as a database that another program guards would.
inline void RefuseValue(const std::string& database, const std::string& table,
                        const std::string& field, const std::string& value) {
  sqlite3* db = nullptr;
  sqlite3_open(database.c_str(), &db);
  for (const char* when : {"INSERT", "UPDATE"}) {
    const std::string sql = std::string("CREATE TRIGGER refuse_") + when + " BEFORE " + when +
                            " ON \"" + table + "\" WHEN NEW.\"" + field + "\" = '" + value +
                            "' BEGIN SELECT RAISE(ABORT, 'refused by the database'); END";
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  }
  sqlite3_close(db);
}

}  // namespace apptest
