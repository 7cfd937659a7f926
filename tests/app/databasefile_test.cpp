// What the main window tells when the database file cannot take a change: it
// was moved, removed or replaced by another program while the window had it
// open, or its disk is full. The user reads why in the error box, learns that
// the change was not saved, and keeps what was typed; nothing goes to a file
// nobody finds again.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/options/options.h"
#include "app/schema/schema.h"
#include "entrytest.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "platform/classlib/stdctrls/tabs.h"
#include "platform/dao/childprocess.h"
#include "platform/dao/smalldisk.h"

namespace {

const char* const kPostError = "An error has occured while posting a record.\n\n";
const char* const kEditError = "An edit error has occured.\n";
const char* const kNotSaved = "\n\nYour change has not been saved.";
const char* const kMoved = "was moved, removed or replaced while it was open";

// The boxes the window shows, answered with their first button.
struct Boxes {
  std::vector<std::string> texts;
  TDialogResponderScope scope{[this](TDialogRequest& r) {
    texts.push_back(r.Text);
    return r.Buttons.empty() ? mrCancel : r.Buttons.front();
  }};
};

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Types into the grid's Description cell with real keys, as the user would.
void TypeDescription(TfrmBug* form, const char* text) {
  TwwDBGrid* grid = form->dbgBug;
  grid->SelectDataColumn(apptest::GridDataColumn(form, "Description"));
  grid->SetFocus();
  QApplication::processEvents();
  // The first key opens the cell's editor, which takes the focus and the rest.
  for (const char* c = text; *c; ++c) QTest::keyClicks(QApplication::focusWidget(), QString(QChar(*c)));
}

// Posts as moving off the record would; the box has told the user.
void PostEntry(TfrmBug* form) {
  try {
    form->dsetBug->Post();
  } catch (const EAbort&) {
  }
}

// The entries' descriptions in a file, read by a connection of its own (the
// engine's tables would share the window's connection).
std::vector<std::string> Descriptions(const std::string& path) {
  sqlite3* db = nullptr;
  std::vector<std::string> out;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT Description FROM Reports ORDER BY ReportNumber", -1, &s, nullptr) == SQLITE_OK)
      while (sqlite3_step(s) == SQLITE_ROW) out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return out;
}

// Another program does it while the window has the file open.
void ByAnotherProgram(const std::function<int()>& act) {
  daotest::Child child([&](daotest::Child&) { return act(); });
  ASSERT_EQ(0, child.Wait());
}

// The file replaced (local mode) or renamed away (network mode) while an
// entry is being typed: the post, a new edit and a new entry are refused.
TEST(DatabaseFile, MovedOrReplacedUnderTheWindowRefusesPostsEditsAndNewEntries) {
  for (bool network : {false, true}) {
    SCOPED_TRACE(network ? "network mode, renamed away" : "local mode, replaced");
    daotest::UseNetworkMode(network);
    {
      apptest::Window w;
      const std::string database = w.scratch.Database();
      const std::string elsewhere = w.scratch.Dir() + "/Elsewhere.MDB";
      if (!network) CreateVantrelDatabase(elsewhere);
      apptest::AddEntry(w.form, "as stored");
      Boxes boxes;
      TypeDescription(w.form, "typed");
      ASSERT_EQ(w.form->dsetBug->State(), dsEdit);
      ByAnotherProgram([&] {
        return network ? ::rename(database.c_str(), elsewhere.c_str())
                       : ::rename(elsewhere.c_str(), database.c_str());
      });

      PostEntry(w.form);
      ASSERT_EQ(boxes.texts.size(), 1u);
      const std::string posted = boxes.texts[0];
      EXPECT_EQ(posted.rfind(kPostError, 0), 0u) << posted;
      EXPECT_NE(posted.find(kMoved), std::string::npos) << posted;
      EXPECT_TRUE(EndsWith(posted, kNotSaved)) << posted;
      EXPECT_EQ(w.form->dsetBug->State(), dsEdit) << "what was typed is kept";
      EXPECT_EQ(w.Field("Description"), "typed");
      w.form->dsetBug->Cancel();

      // Typing again is refused at the first key.
      TypeDescription(w.form, "x");
      ASSERT_EQ(boxes.texts.size(), 2u);
      EXPECT_EQ(boxes.texts[1].rfind(kEditError, 0), 0u) << boxes.texts[1];
      EXPECT_NE(boxes.texts[1].find(kMoved), std::string::npos) << boxes.texts[1];
      EXPECT_NE(w.form->dsetBug->State(), dsEdit);

      // A new entry is not stored either.
      w.form->tcType->SetTabIndex(0);
      w.form->AddEntry();
      if (w.form->dsetBug->State() == dsInsert) {
        w.form->dsetBug->FieldByName("Description")->SetAsString("added");
        PostEntry(w.form);
      }
      ASSERT_GE(boxes.texts.size(), 3u);
      EXPECT_NE(boxes.texts[2].find(kMoved), std::string::npos) << boxes.texts[2];
      if (w.form->dsetBug->State() == dsInsert) w.form->dsetBug->Cancel();

      // Nothing reached either file.
      EXPECT_EQ(Descriptions(network ? elsewhere : database),
                network ? std::vector<std::string>{"as stored"} : std::vector<std::string>{});
    }
    daotest::UseNetworkMode(false);
  }
}

// A refresh (F5) asks for the database as it stands: once another file stands
// at its path, the window says so instead of showing the file it held.
TEST(DatabaseFile, ARefreshAfterTheFileWasReplacedSaysSo) {
  apptest::Window w;
  const std::string database = w.scratch.Database();
  const std::string elsewhere = w.scratch.Dir() + "/Elsewhere.MDB";
  CreateVantrelDatabase(elsewhere);
  apptest::AddEntry(w.form, "as stored");
  Boxes boxes;
  w.form->dbgBug->SetFocus();
  QApplication::processEvents();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
  EXPECT_TRUE(boxes.texts.empty()) << boxes.texts.front();

  ByAnotherProgram([&] { return ::rename(elsewhere.c_str(), database.c_str()); });
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_NE(boxes.texts[0].find(kMoved), std::string::npos) << boxes.texts[0];
}

// A disk that fills up while an entry is typed: the post says so in plain
// words, with the engine's own error for it, and once there is room the same
// post stores what was typed.
TEST(DatabaseFile, AFullDiskRefusesThePostInPlainWordsAndKeepsWhatWasTyped) {
  daotest::TSmallDisk disk(2048);
  if (!disk.Mounted()) GTEST_SKIP() << "a small disk of its own needs the power to mount";
  const std::string database = disk.Path() + "/Vantrel.MDB";
  CreateVantrelDatabase(database);
  apptest::Window w([&](TRegIniFile& reg) { reg.WriteString("Settings", "DatabaseLocation", database); });
  ASSERT_FALSE(w.form->Terminating);
  apptest::AddEntry(w.form, "as stored");
  Boxes boxes;
  TypeDescription(w.form, "typed");
  ASSERT_EQ(w.form->dsetBug->State(), dsEdit);
  ASSERT_TRUE(disk.Fill());

  PostEntry(w.form);
  ASSERT_EQ(boxes.texts.size(), 1u);
  const std::string text = boxes.texts[0];
  EXPECT_EQ(text.rfind(kPostError, 0), 0u) << text;
  EXPECT_NE(text.find("Not enough space on disk."), std::string::npos) << text;
  EXPECT_NE(text.find("DBIERR_NODISKSPACE"), std::string::npos) << text;
  EXPECT_EQ(text.find("Reserved error"), std::string::npos) << text;
  EXPECT_TRUE(EndsWith(text, kNotSaved)) << text;
  EXPECT_EQ(w.form->dsetBug->State(), dsEdit);
  EXPECT_EQ(Descriptions(database), std::vector<std::string>{"as stored"});

  disk.Free();
  PostEntry(w.form);
  EXPECT_EQ(boxes.texts.size(), 1u) << boxes.texts.back();
  EXPECT_EQ(Descriptions(database), std::vector<std::string>{"typed"});
}

// A post the full disk refuses leaves the entry as typed, its empty dates
// empty: the window, repainted under the error box as on a real display,
// shows no second box for a date of nothing, and the post made once there
// is room stores the dates empty.
TEST(DatabaseFile, AFullDiskKeepsTheEmptyDatesOfTheRefusedEntryEmpty) {
  daotest::TSmallDisk disk(2048);
  if (!disk.Mounted()) GTEST_SKIP() << "a small disk of its own needs the power to mount";
  const std::string database = disk.Path() + "/Vantrel.MDB";
  CreateVantrelDatabase(database);
  apptest::Window w([&](TRegIniFile& reg) {
    reg.WriteString("Settings", "DatabaseLocation", database);
    reg.WriteBool("Options", "EnterDate", false);
  });
  apptest::AddEntry(w.form, "as stored");
  TwwDBGrid* grid = w.form->dbgBug;
  std::vector<std::string> texts;
  TDialogResponderScope boxes([&](TDialogRequest& r) {
    texts.push_back(r.Text);
    if (texts.size() == 1) testing_support::ClientOf(grid)->grab();
    return r.Buttons.empty() ? mrCancel : r.Buttons.front();
  });
  TypeDescription(w.form, "typed");
  grid->SelectDataColumn(apptest::GridDataColumn(w.form, "FixedDate"));
  QApplication::processEvents();
  ASSERT_TRUE(disk.Fill());
  PostEntry(w.form);
  testing_support::Pump();  // an error of the paint is told from the queue
  ASSERT_EQ(texts.size(), 1u) << texts.back();
  EXPECT_EQ(texts[0].rfind(kPostError, 0), 0u) << texts[0];
  for (const char* date : {"ReportedDate", "FixedDate", "VerifiedDate"})
    EXPECT_TRUE(w.form->dsetBug->FieldByName(date)->IsNull()) << date;

  disk.Free();
  PostEntry(w.form);
  EXPECT_EQ(texts.size(), 1u) << texts.back();
  EXPECT_EQ(Descriptions(database), std::vector<std::string>{"typed"});
  EXPECT_EQ(apptest::StoredEntries(database, "FixedDate"), std::vector<std::string>{""});
}

void Press(Qt::Key key) {
  QTest::keyClick(QApplication::focusWidget(), key);
  testing_support::Pump();
}

// Clicks a data row of a grid, in its last column.
void ClickRow(TwwDBGrid* grid, int row) {
  const TRect cell = grid->CellRect(grid->ColCount() - 1, row);
  testing_support::Click(grid, cell.Left + 4, cell.Top + 4);
  testing_support::Pump();
}

// Keys typed where the focus is, one by one: the first opens a grid cell's editor.
void TypeKeys(const std::string& text) {
  for (char c : text) QTest::keyClicks(QApplication::focusWidget(), QString(QChar(c)));
  testing_support::Pump();
}

// A disk that fills up while a program is renamed or added, or while a lookup
// list is typed into in the Options dialog: each refusal is told in one box as
// an entry's post is, never by the global handler. The program list and the
// lookup list keep what was typed and store it once there is room (closing
// the window too); a name given in the Add Entry box is told not saved and
// goes, while the row typed before it stays.
TEST(DatabaseFile, AFullDiskRefusesProgramAndListNamesInPlainWordsAndKeepsWhatWasTyped) {
  daotest::TSmallDisk disk(2048);
  if (!disk.Mounted()) GTEST_SKIP() << "a small disk of its own needs the power to mount";
  const std::string database = disk.Path() + "/Vantrel.MDB";
  CreateVantrelDatabase(database);
  apptest::Window w([&](TRegIniFile& reg) { reg.WriteString("Settings", "DatabaseLocation", database); });
  TfrmBug* form = w.form;
  // The stored table and field of each dataset.
  const auto field = [](const char* table) { return table == std::string("Programs") ? "Program" : table; };
  for (auto [table, name] : {std::pair{form->wwtblProgram, "Second"}, std::pair{form->wwtaArea, "Printing"}}) {
    table->Append();
    table->FieldByName(field(table->TableName().c_str()))->SetAsString(name);
    table->Post();
  }
  form->wwtblProgram->First();
  std::string typed;
  std::function<void(TfrmOptions*)> inOptions;
  std::vector<std::string> texts;
  TDialogResponderScope boxes([&](TDialogRequest& r) {
    if (auto* d = dynamic_cast<TfrmOptions*>(r.Dialog)) {
      inOptions(d);
      return d->ModalResult();
    }
    if (r.Kind == TDialogKind::InputQuery) *r.Value = typed;
    else texts.push_back(r.Text);
    return r.Buttons.empty() ? mrOk : r.Buttons.front();
  });
  auto stored = [&](const char* table) {
    const auto rows = apptest::StoredValues(database, table, field(table));
    return std::count(rows.begin(), rows.end(), typed);
  };
  // Kept as typed while the disk is full, then there is room.
  auto kept = [&](TwwtaTable* table, TDataSetState state) {
    EXPECT_EQ(table->State(), state);
    EXPECT_EQ(table->FieldByName(field(table->TableName().c_str()))->AsString(), typed);
    EXPECT_EQ(stored(table->TableName().c_str()), 0);
    disk.Free();
  };
  auto options = [&](std::function<void(TfrmOptions*)> body) {
    inOptions = [body](TfrmOptions* d) {
      d->pcOptions->SetActivePageIndex(4);
      testing_support::Pump();
      ClickRow(d->dbgArea, 1);
      body(d);
    };
    form->mnuMain_View_Options->Click();
  };
  auto ok = [](TfrmOptions* d) { testing_support::Click(d->btnOK, 4, 4); };
  struct Road {
    const char* name;
    const char* table;
    bool storedOnceRoom;
    std::function<void()> act;
  } roads[] = {
      {"typed into the program list, moved off by Down", "Programs", true, [&] {
         ClickRow(form->dbgridPrograms, 1);
         TypeKeys(typed);
         Press(Qt::Key_Down);
         kept(form->wwtblProgram, dsEdit);
         Press(Qt::Key_Down);
       }},
      {"the Rename command, then another program clicked", "Programs", true, [&] {
         form->popPrograms_Rename->Click();
         kept(form->wwtblProgram, dsEdit);
         ClickRow(form->dbgridPrograms, 1);
       }},
      {"the Add Program command, then another program clicked", "Programs", true, [&] {
         form->mnuMain_Edit_Add_Program->Click();
         kept(form->wwtblProgram, dsInsert);
         ClickRow(form->dbgridPrograms, 1);
       }},
      {"typed into a lookup list, moved off by Down, then OK", "Area", true, [&] {
         options([&](TfrmOptions* d) {
           TypeKeys(typed);
           Press(Qt::Key_Down);
           kept(form->wwtaArea, dsEdit);
           ok(d);
         });
       }},
      {"typed into a lookup list, then OK twice", "Area", true, [&] {
         options([&](TfrmOptions* d) {
           TypeKeys(typed);
           ok(d);
           EXPECT_EQ(d->ModalResult(), mrNone) << "the dialog stays with the row";
           kept(form->wwtaArea, dsEdit);
           ok(d);
         });
       }},
      {"the Add Entry box of a lookup list", "Area", false, [&] {
         options([&](TfrmOptions* d) {
           d->popDropDowns_Add->Click();
           EXPECT_EQ(form->wwtaArea->State(), dsBrowse);
           ok(d);
         });
       }},
      {"typed into a lookup list, then the Add Entry box", "Area", true, [&] {
         options([&](TfrmOptions* d) {
           TypeKeys(typed);
           d->popDropDowns_Add->Click();
           kept(form->wwtaArea, dsEdit);
           ok(d);
         });
       }},
  };
  int number = 0;
  for (const Road& road : roads) {
    SCOPED_TRACE(road.name);
    typed = "Typed " + std::to_string(++number);
    texts.clear();
    ASSERT_TRUE(disk.Fill());
    road.act();
    disk.Free();
    ASSERT_EQ(texts.size(), 1u) << ::testing::PrintToString(texts);
    EXPECT_EQ(texts[0].rfind(kPostError, 0), 0u) << texts[0];
    EXPECT_NE(texts[0].find("Not enough space on disk."), std::string::npos) << texts[0];
    EXPECT_TRUE(EndsWith(texts[0], kNotSaved)) << texts[0];
    EXPECT_EQ(stored(road.table), road.storedOnceRoom ? 1 : 0);
    EXPECT_EQ(form->wwtblProgram->State(), dsBrowse);
    EXPECT_EQ(form->wwtaArea->State(), dsBrowse);
  }
  // A name still refused when the window closes keeps it open; once there
  // is room, closing stores it.
  typed = "At closing";
  texts.clear();
  ASSERT_TRUE(disk.Fill());
  form->popPrograms_Rename->Click();
  form->Close();
  EXPECT_TRUE(form->Visible());
  EXPECT_EQ(texts.size(), 2u);
  disk.Free();
  form->Close();
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(stored("Programs"), 1);
}

}  // namespace
