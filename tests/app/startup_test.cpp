// Start-up and close of the main window: the database search, the bring-up,
// the global exception handler, what is written at close, and settings that
// are out of range.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <filesystem>
#include <fstream>

#include "app/locatedb/locatedb.h"
#include "app/main/bug.h"
#include "app/program.h"
#include "app/splash/splash.h"
#include "apptest.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "dbengine/accbinding.h"
#include "dbengine/accesserrors.h"
#include "dbengine/engineerrors.h"
#include "dbengine/virteng.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "winctrls/exttab.h"
#include "winctrls/tb97button.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/statusbar.h"
#include "platform/dao/core.h"
#include "platform/dao/earlierbuild.h"

namespace {

using apptest::Scratch;

// Answers every box and input box with `box`; a form with `form` after `atForm` ran.
struct Answers {
  TModalResult box = mrOk;
  TModalResult form = mrOk;
  std::function<void(TComponent*)> atForm;
  std::unique_ptr<TDialogResponderScope> scope;
  Answers() {
    scope = std::make_unique<TDialogResponderScope>([this](TDialogRequest& r) {
      if (r.Kind != TDialogKind::Form) return box;
      if (atForm) atForm(r.Dialog);
      return form;
    });
  }
  // The message boxes' texts (forms are answered too, but have none).
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const TDialogRequest& r : scope->Requests())
      if (r.Kind != TDialogKind::Form) texts.push_back(r.Text);
    return texts;
  }
};

bool HasValue(const Scratch& s, const std::string& section, const std::string& name) {
  return s.Settings()->ReadString(section, name, "<none>") != "<none>";
}

void Execute(const Scratch& s, const std::string& sql) {
  dao::TDatabaseCore db(s.Database(), false, false, "");
  db.Execute(sql);
}

TEST(Startup, BringsUpTheDatabaseAndWritesTheSettingsAtClose) {
  Scratch scratch;
  Answers answers;
  TfrmBug* form = apptest::StartMainWindow();
  EXPECT_FALSE(form->Terminating);
  EXPECT_TRUE(answers.Texts().empty());
  EXPECT_TRUE(form->dsetBug->Active());
  EXPECT_EQ(form->wwtblProgram->FieldByName("Program")->AsString(), "New Program");
  apptest::CloseMainWindow(form);
  EXPECT_EQ(scratch.Settings()->ReadString("Settings", "DatabaseLocation", ""), scratch.Database());
  EXPECT_EQ(scratch.Settings()->ReadInteger("Settings", "LastOpenProgram", 0), 1);
  EXPECT_EQ(scratch.Settings()->ReadInteger("Options", "Tree Width", 0), 130);
  EXPECT_EQ(scratch.Settings()->ReadString("Settings", "Current Index", ""), "ProgramNumber");
}

// A database an earlier version made: while the open brings its indexes up
// to date, the status bar (and the splash window's status line, while it is
// there) says how far it has come; a unique key whose values the present
// order finds alike is named in a warning; the window comes up on the
// entries in the present order, its status bar cleared.
TEST(Startup, AnEarlierVersionsDatabaseShowsItsRebuildAndNamesKeysAlike) {
  Scratch scratch;
  for (const char* who : {"kim", "\u212Aim", "KIM"})
    Execute(scratch, std::string("INSERT INTO Reports (ProgramNumber, ReportType, Description, ReportedBy) "
                                 "VALUES (1, 'BugReport', 'Entry of ") + who + "', '" + who + "')");
  ASSERT_EQ("", daotest::MakeEarlierBuildFile(scratch.Database(), 0, daotest::CompareOldFold,
                                              "INSERT INTO Status (Status, StatusDescription) VALUES "
                                              "('\u00DFq', 'one'), ('\u1E9Eq', 'two');"));
  Answers answers;
  frmSplash = new TfrmSplash(Application);
  frmSplash->Show();
  std::vector<std::string> shown;
  TfrmBug* form = apptest::StartMainWindow([&](TfrmBug* created) {
    DaoOpenHooks& hooks = AccessDefaultSession()->OpenUpkeep;
    hooks.Progress = [&, created, show = hooks.Progress](const DaoOpenProgress& p) {
      show(p);
      shown.push_back(frmSplash->lblStatus->Caption() + " | " + created->sbMain->Panels()->Items(1)->Text());
    };
  });
  FreeSplash();
  EXPECT_FALSE(form->Terminating);
  for (const char* line : {"-Checking Indexes 0%- | Checking the database's indexes: 0%",
                           "-Checking Indexes 100%- | Checking the database's indexes: 100%",
                           "-Rebuilding Indexes 0%- | Rebuilding the database's indexes: 0%",
                           "-Rebuilding Indexes 100%- | Rebuilding the database's indexes: 100%"})
    EXPECT_NE(shown.end(), std::find(shown.begin(), shown.end(), line)) << line;
  EXPECT_EQ("-Rebuilding Indexes 100%- | ", shown.back()) << "cleared at the end";
  EXPECT_EQ(answers.Texts(), std::vector<std::string>{
                                 "Table \"Status\": its index \"PrimaryKey\" requires unique values, and these now "
                                 "count as the same, since upper and lower case are matched in every alphabet:\n"
                                 "\"\u00DFq\" and \"\u1E9Eq\"\n\nThe index accepts such values until one of each "
                                 "is changed."});
  form->dsetBug->SetIndexName("ReportedBy");
  std::string names;
  for (form->dsetBug->First(); !form->dsetBug->Eof(); form->dsetBug->Next())
    names += form->dsetBug->FieldByName("ReportedBy")->AsString() + " ";
  EXPECT_EQ("kim \u212Aim KIM ", names);
  apptest::CloseMainWindow(form);
}

// A settings file damaged by hand stops the start-up: a box names the file
// and its line, the program ends with a failure, and the file stays as it was.
TEST(Startup, ADamagedSettingsFileIsToldAndEndsTheProgram) {
  Scratch scratch(false);
  const std::string file = scratch.Dir() + "/registry/HKEY_CURRENT_USER.reg";
  const std::string damaged = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\nbroken\n";
  std::ofstream(file) << damaged;
  Answers answers;
  EXPECT_FALSE(RunVantrel(1));
  ASSERT_EQ(answers.Texts().size(), 1u);
  EXPECT_NE(answers.Texts()[0].find("'" + file + "' is damaged at line 3"), std::string::npos) << answers.Texts()[0];
  EXPECT_EQ(frmBug, nullptr);
  std::ifstream in(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), damaged);
}

TEST(Startup, TheLocationWindowStartsWithTheMissingPathAndItsAnswerIsUsed) {
  Scratch scratch;
  const std::string missing = scratch.Dir() + "/elsewhere/Vantrel.MDB";
  scratch.Settings()->WriteString("Settings", "DatabaseLocation", missing);
  Answers answers;
  std::string shown;
  answers.atForm = [&](TComponent* dialog) {
    auto* locate = static_cast<TfrmLocateDB*>(dialog);
    shown = locate->txtFile->Text();
    EXPECT_FALSE(locate->btnOk->Enabled());
    locate->txtFile->SetText(scratch.Database());
    EXPECT_TRUE(locate->btnOk->Enabled());
    locate->txtFile->SetText(scratch.Database() + "x");
    EXPECT_TRUE(locate->btnOk->Enabled()) << "typing on keeps OK enabled";
    locate->txtFile->SetText(scratch.Database());
  };
  TfrmBug* form = apptest::StartMainWindow();
  EXPECT_EQ(shown, missing);
  EXPECT_FALSE(form->Terminating);
  apptest::CloseMainWindow(form);
  EXPECT_EQ(scratch.Settings()->ReadString("Settings", "DatabaseLocation", ""), scratch.Database());
}

TEST(Startup, ACancelledLocationWindowClosesAndNothingIsWritten) {
  Scratch scratch(false);
  const std::string missing = scratch.Dir() + "/Vantrel.MDB";
  scratch.Settings()->WriteString("Settings", "DatabaseLocation", missing);
  Answers answers;
  answers.form = mrCancel;
  TfrmBug* form = apptest::StartMainWindow();
  EXPECT_TRUE(form->Terminating);
  EXPECT_EQ(answers.Texts(),
            std::vector<std::string>{"File '" + missing + "' not found.\n\nVantrel Pro 2.0 requires this file "
                                     "in order to run.\n\nVantrel Pro 2.0 will now close."});
  apptest::CloseMainWindow(form);
  for (const char* name : {"LastOpenProgram", "Program Location", "Attachment Mode"})
    EXPECT_FALSE(HasValue(scratch, "Settings", name)) << name;
  EXPECT_FALSE(HasValue(scratch, "Options", "WindowTop"));
}

// A file that is not a database, or a database that lacks a table.
TEST(Startup, ABadFileGivesTheBringUpMessageAndNothingIsWritten) {
  for (bool database : {false, true}) {
    Scratch scratch(database);
    std::string file = scratch.Database();
    if (database) {
      Execute(scratch, "DROP TABLE Severity");
    } else {
      file = scratch.Dir() + "/Junk.MDB";
      std::ofstream(file) << "not a database";
      scratch.Settings()->WriteString("Settings", "DatabaseLocation", file);
    }
    Answers answers;
    TfrmBug* form = apptest::StartMainWindow();
    EXPECT_TRUE(form->Terminating);
    ASSERT_EQ(answers.Texts().size(), 1u);
    EXPECT_EQ(answers.Texts()[0].rfind("An error occured while bringing up the database.\n\nError: ", 0), 0u);
    EXPECT_NE(answers.Texts()[0].find("\n\nVantrel will now close."), std::string::npos);
    apptest::CloseMainWindow(form);
    EXPECT_FALSE(HasValue(scratch, "Settings", "LastOpenProgram"));
    EXPECT_FALSE(HasValue(scratch, "Options", "WindowTop"));
    if (!database) {
      std::ifstream in(file);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "not a database");
    }
  }
}

// A file that is not a database, chosen in "Select Database" with real keys
// and mouse: the program refuses it, and nothing was made beside it.
TEST(Startup, AFileChosenInSelectDatabaseGetsNothingBesideItUntilItIsADatabase) {
  Scratch scratch(false);
  const std::string folder = scratch.Dir() + "/chosen";
  std::filesystem::create_directory(folder);
  const std::string junk = folder + "/Notes.MDB";
  std::ofstream(junk) << "not a database";
  scratch.Settings()->WriteString("Settings", "DatabaseLocation", scratch.Dir() + "/missing.MDB");
  Answers answers;
  int asked = 0;
  answers.atForm = [&](TComponent* dialog) {
    auto* locate = static_cast<TfrmLocateDB*>(dialog);
    // Asked again only when the typing was lost: cancel rather than loop.
    if (++asked > 1) {
      answers.form = mrCancel;
      return;
    }
    locate->Show();
    QApplication::processEvents();
    QWidget* edit = vantrel::qt::ClientWidget(*locate->txtFile);
    if (edit->focusProxy()) edit = edit->focusProxy();
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, QString::fromStdString(junk));
    EXPECT_TRUE(locate->btnOk->Enabled());
    QTest::mouseClick(vantrel::qt::ClientWidget(*locate->btnOk), Qt::LeftButton);
  };
  TfrmBug* form = apptest::StartMainWindow();
  EXPECT_TRUE(form->Terminating);
  EXPECT_EQ(asked, 1);
  ASSERT_EQ(answers.Texts().size(), 1u);
  EXPECT_EQ(answers.Texts()[0].rfind("An error occured while bringing up the database.", 0), 0u);
  apptest::CloseMainWindow(form);
  std::vector<std::string> beside;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    beside.push_back(entry.path().filename().string());
  EXPECT_EQ(beside, std::vector<std::string>{"Notes.MDB"});
}

// A database whose folder the user may only read: the window opens on it
// read-only, without a word and without making the attachments folder, which
// the first attachment makes where the folder is writable.
TEST(Startup, AReadOnlyFolderGivesAReadOnlySessionAndTheFirstAttachmentMakesItsFolder) {
  {
    Scratch scratch;
    Execute(scratch, "INSERT INTO Programs ([Program]) VALUES ('Tools')");
    Execute(scratch, "INSERT INTO Reports (ProgramNumber, Status, ReportType, Description) "
                     "VALUES (1, '1', 'BugReport', 'stored')");
    std::filesystem::permissions(scratch.Dir(), std::filesystem::perms(0555));
    {
      apptest::TWithoutPermissionOverride limited;
      Answers answers;
      TfrmBug* form = apptest::StartMainWindow();
      EXPECT_FALSE(form->Terminating);
      EXPECT_EQ(answers.Texts(), std::vector<std::string>{});
      EXPECT_TRUE(form->dsetBug->Active());
      EXPECT_EQ(form->dsetBug->FieldByName("Description")->AsString(), "stored");
      apptest::CloseMainWindow(form);
    }
    std::filesystem::permissions(scratch.Dir(), std::filesystem::perms(0755));
    EXPECT_FALSE(std::filesystem::exists(scratch.Dir() + "/Attachments"));
  }
  // Where the folder is writable, the first attachment makes the folder.
  Scratch scratch;
  const std::string attachments = scratch.Dir() + "/Attachments";
  Answers answers;
  TfrmBug* form = apptest::StartMainWindow();
  ASSERT_FALSE(form->Terminating);
  EXPECT_FALSE(std::filesystem::exists(attachments)) << "made only for an attachment";
  std::ofstream(scratch.Dir() + "/note.txt") << "data";
  form->AttachFiles({scratch.Dir() + "/note.txt"});
  EXPECT_TRUE(std::filesystem::exists(attachments + "/note.txt"));
  EXPECT_EQ(answers.Texts(), std::vector<std::string>{});
  apptest::CloseMainWindow(form);
}

TEST(Startup, AnEmptyProgramListGetsAProgramEvenWhenTheNameIsCancelled) {
  Scratch scratch;
  Execute(scratch, "DELETE FROM Programs");
  Answers answers;
  answers.box = mrCancel;
  TfrmBug* form = apptest::StartMainWindow();
  EXPECT_FALSE(form->Terminating);
  EXPECT_EQ(form->wwtblProgram->RecordCount(), 1);
  EXPECT_EQ(form->wwtblProgram->FieldByName("Program")->AsString(), "New Program");
  apptest::CloseMainWindow(form);
}

TEST(Startup, TheLastOpenProgramIsSelectedWhenItStillExists) {
  const struct {
    int last;
    const char* expected;
  } cases[] = {{2, "Second"}, {99, "New Program"}};
  for (const auto& c : cases) {
    Scratch scratch;
    Execute(scratch, "INSERT INTO Programs ([Program]) VALUES ('Second')");
    scratch.Settings()->WriteInteger("Settings", "LastOpenProgram", c.last);
    Answers answers;
    TfrmBug* form = apptest::StartMainWindow();
    EXPECT_EQ(form->wwtblProgram->FieldByName("Program")->AsString(), c.expected) << c.last;
    apptest::CloseMainWindow(form);
  }
}

TEST(Startup, AMaximisedWindowReopensMaximisedAndKeepsItsNormalBounds) {
  Scratch scratch;
  auto settings = scratch.Settings();
  const std::pair<const char*, int> bounds[] = {
      {"WindowTop", 10}, {"WindowLeft", 20}, {"WindowWidth", 500}, {"WindowHeight", 400}};
  for (auto [name, value] : bounds) settings->WriteInteger("Options", name, value);
  settings.reset();
  Answers answers;
  TfrmBug* form = apptest::StartMainWindow();
  EXPECT_EQ(form->Width(), 500);
  form->SetWindowState(wsMaximized);
  apptest::CloseMainWindow(form);
  EXPECT_TRUE(scratch.Settings()->ReadBool("Options", "WindowMaximized", false));
  for (auto [name, value] : bounds) EXPECT_EQ(scratch.Settings()->ReadInteger("Options", name, 0), value) << name;
  form = apptest::StartMainWindow();
  EXPECT_EQ(form->WindowState(), wsMaximized);
  apptest::CloseMainWindow(form);
}

TEST(Settings, ValuesOutOfRangeArePulledIntoRange) {
  Scratch scratch;
  auto settings = scratch.Settings();
  settings->WriteInteger("Options", "WindowTop", 100000);
  settings->WriteInteger("Options", "WindowLeft", 100000);
  settings->WriteInteger("Options", "WindowWidth", 0);
  settings->WriteInteger("Options", "WindowHeight", -7);
  settings->WriteInteger("Options", "Tree Width", 0);
  settings->WriteInteger("Options", "Grid Height", 100000);
  settings->WriteInteger("Options", "FontSize_Grid", 0);
  settings->WriteInteger("Options", "InactiveTabColor", 9);
  settings->WriteInteger("Options", "RowIndColor", 1);
  settings.reset();
  Answers answers;
  TfrmBug* form = apptest::StartMainWindow();
  EXPECT_EQ(form->Top(), Screen->Height() / 2);
  EXPECT_EQ(form->Left(), Screen->Width() / 2);
  EXPECT_GE(form->Width(), 300);
  EXPECT_GE(form->Height(), 200);
  EXPECT_GT(form->pnlPrograms->Width(), 0);
  EXPECT_GT(form->pnlGrid->Height(), 0);
  EXPECT_LT(form->pnlGrid->Height(), form->ClientHeight());
  EXPECT_EQ(form->dbgBug->Font()->Size(), 8);
  EXPECT_EQ(form->tcType->TabInactiveColor(), TColor(RGB(160, 160, 164))) << "unknown choice: unchanged";
  EXPECT_EQ(form->dbgBug->IndicatorColor(), icYellow);
  apptest::CloseMainWindow(form);
}

TEST(Settings, ColourChoicesAreReadAtEachApply) {
  Scratch scratch;
  Answers answers;
  TfrmBug* form = apptest::StartMainWindow();
  const struct {
    int tabs, indicator;
    TColor tabColor;
    TIndicatorColorType indicatorColor;
  } cases[] = {{0, 1, TColor(0x80000010), icYellow},
               {1, 0, TColor(0x8000000F), icBlack},
               {2, 7, TColor(0xA0A0A0), icBlack}};
  for (const auto& c : cases) {
    form->Reg->WriteInteger("Options", "InactiveTabColor", c.tabs);
    form->Reg->WriteInteger("Options", "RowIndColor", c.indicator);
    form->ApplyColorOptions();
    EXPECT_EQ(form->tcType->TabInactiveColor(), c.tabColor) << c.tabs;
    EXPECT_EQ(form->tcRTFs->TabInactiveColor(), c.tabColor) << c.tabs;
    EXPECT_EQ(form->dbgBug->IndicatorColor(), c.indicatorColor) << c.indicator;
  }
  apptest::CloseMainWindow(form);
}

// Closing keeps what was typed into a new grid row and drops a row never touched.
TEST(Close, ANewEntryTypedIntoIsPostedAndAnUntouchedOneDropped) {
  for (bool typed : {true, false}) {
    Scratch scratch;
    Execute(scratch, "INSERT INTO Reports (ProgramNumber, ReportType, Description) VALUES (1, 'BugReport', 'first')");
    Answers answers;
    TfrmBug* form = apptest::StartMainWindow();
    form->dsetBug->Append();
    if (typed) form->dsetBug->FieldByName("Description")->SetAsString("typed at close");
    apptest::CloseMainWindow(form);
    auto reports = std::make_unique<TtaTable>();
    reports->SetDatabaseName(scratch.Database());
    reports->SetTableName("Reports");
    reports->Open();
    EXPECT_EQ(reports->RecordCount(), typed ? 2 : 1);
    reports->Last();
    EXPECT_EQ(reports->FieldByName("Description")->AsString(), typed ? "typed at close" : "first");
  }
}

TEST(Close, APostFailingAtCloseKeepsTheWindowWithTheRecord) {
  Scratch scratch;
  Execute(scratch, "INSERT INTO Reports (ProgramNumber, ReportType) VALUES (1, 'BugReport')");
  Answers answers;
  TfrmBug* form = apptest::StartMainWindow();
  form->dsetBug->Append();
  form->dsetBug->FieldByName("Identifier")->SetAsString("kept");
  form->dsetBug->BeforePost = [](TDataSet*) { throw EDatabaseError("The post was refused."); };
  form->Close();
  EXPECT_TRUE(form->Visible());
  EXPECT_EQ(form->dsetBug->State(), dsInsert);
  EXPECT_EQ(answers.Texts(), std::vector<std::string>{"The post was refused."});
  EXPECT_EQ(form->dsetBug->FieldByName("Identifier")->AsString(), "kept");
  form->dsetBug->BeforePost = nullptr;
  form->dsetBug->Cancel();
  apptest::CloseMainWindow(form);
}

// ---- The global handler ----

TEST(GlobalHandler, MissingRecordErrorsRefreshSilentlyOthersAreShown) {
  const struct {
    const char* message;
    bool silent;
  } cases[] = {
      {"Access Status 3021 - No current record.", true},
      {"3021 No current record.", false},
      {"Ünïcödé-státüs3021 counted in characters", true},
      {"Record is deleted.", false},
  };
  Scratch scratch;
  Answers answers;
  TfrmBug* form = apptest::StartMainWindow();
  for (const auto& c : cases) {
    const auto before = answers.Texts().size();
    form->GlobalExceptionHandler(form, Exception(c.message));
    EXPECT_EQ(answers.Texts().size() - before, c.silent ? 0u : 1u) << c.message;
  }
  EXPECT_EQ(answers.Texts().back(),
            "Global Handler\n\nAn error has occured while using Vantrel Pro 2.0\n\nType: Record is deleted."
            "\n\nYou may need to close down Vantrel Pro 2.0 if this error is serious enough.\n\nPlease "
            "report this error to us using the information in the help file on reporting bugs.");
  apptest::CloseMainWindow(form);
}

// The engine's text comes first in its message; the DAO entry below it names 3021.
TEST(GlobalHandler, AnEngineErrorListingTheMissingRecordIsSilent) {
  Scratch scratch;
  Answers answers;
  TfrmBug* form = apptest::StartMainWindow();
  TVirtEng* engine = AccessEngine();
  ASSERT_NE(engine, nullptr);
  EAccessEngineError dao(HRESULT(0x800A0000 | 3021), nullptr);
  dao.Details = "Access Status 3021 - No current record.";
  engine->ErrorStack()->Clear();
  engine->ErrorStack()->PushException(dao);
  const ETDBEngineError error(engine, dberr::NoCurrRec);
  EXPECT_NE(error.Message().substr(0, 18).find("3021"), 0u);
  form->GlobalExceptionHandler(form, error);
  EXPECT_TRUE(answers.Texts().empty());
  engine->ErrorStack()->Clear();
  apptest::CloseMainWindow(form);
}

}  // namespace

namespace {

// Plain-text mode: the memos show text without formatting and the formatting
// controls are off; leaving it enables them only when there is an entry.
TEST(Settings, PlainTextModeTurnsTheFormattingControlsOff) {
  for (bool withEntry : {false, true}) {
    Scratch scratch;
    if (withEntry) Execute(scratch, "INSERT INTO Reports (ProgramNumber, ReportType) VALUES (1, 'BugReport')");
    scratch.Settings()->WriteBool("Options", "PlainText", true);
    Answers answers;
    TfrmBug* form = apptest::StartMainWindow();
    EXPECT_TRUE(form->rtfReport->PlainText());
    EXPECT_FALSE(form->btnRTF_Bold->Enabled());
    EXPECT_FALSE(form->cmbRTF_FontName->Enabled());
    form->Reg->WriteBool("Options", "PlainText", false);
    form->ApplyPlainTextMode();
    EXPECT_FALSE(form->rtfWorkAround->PlainText());
    EXPECT_EQ(form->btnRTF_Bold->Enabled(), withEntry);
    EXPECT_EQ(form->tbIncreaseFontSize->Enabled(), withEntry);
    apptest::CloseMainWindow(form);
  }
}

}  // namespace
