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

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/schema/schema.h"
#include "entrytest.h"
#include "platform/classlib/controls/control_helpers.h"
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

}  // namespace
