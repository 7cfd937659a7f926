// The attachment commands on the real window and database: adding copies,
// deleting selected files, removing the files with an entry (row first) and
// with a program (every entry, whatever the filter), both through their
// delete commands and refused by another user's lock, opening; memo lines that
// are not bare names are listed but never touched.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCoreApplication>
#include <QPointer>
#include <QTest>
#include <QWidget>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <filesystem>
#include <fstream>

#include "app/common/attachfiles.h"
#include "app/fileproperties/fileproperties.h"
#include "app/main/bug.h"
#include "apptest.h"
#include "entrytest.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/write_targets.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/listview.h"
#include "platform/dao/core.h"
#include "winctrls/tb97button.h"

namespace {

struct AttachWindow : ::testing::Test {
  apptest::Scratch scratch;
  std::string dir = scratch.Dir() + "/";
  std::string folder = dir + "Attachments/";
  std::string trash = dir + "data/Trash/files/";
  // Yes where a box asks, else OK.
  TDialogResponderScope answers{[](TDialogRequest& r) {
    return std::find(r.Buttons.begin(), r.Buttons.end(), mrYes) != r.Buttons.end() ? mrYes : mrOk;
  }};
  TfrmBug* form = nullptr;

  // Entries of program 1 with these Attachment memos.
  void Entries(std::initializer_list<const char*> memos) {
    dao::TDatabaseCore db(scratch.Database(), false, false, "");
    for (const char* memo : memos)
      db.Execute(std::string("INSERT INTO Reports (ProgramNumber, Status, ReportType, Attachment) "
                             "VALUES (1, '1', 'BugReport', '") + memo + "')");
  }
  void Start() {
    ::setenv("XDG_DATA_HOME", (dir + "data").c_str(), 1);
    form = apptest::StartMainWindow();
    ASSERT_FALSE(form->Terminating);
  }
  void TearDown() override {
    if (form) apptest::CloseMainWindow(form);
    ::unsetenv("XDG_DATA_HOME");
  }
  void Put(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "data";
  }
  // The window over entries with these memos, and these files in the attachments folder.
  void Start(std::initializer_list<const char*> memos, std::initializer_list<const char*> files) {
    Entries(memos);
    Start();
    for (const char* name : files) Put(folder + name);
  }
  // Each file still in the attachments folder when held, else in the trash only.
  void ExpectTrashedUnlessHeld(std::initializer_list<const char*> names, bool held) {
    for (const char* name : names) {
      EXPECT_EQ(FileExists(folder + name), held) << name;
      EXPECT_EQ(FileExists(trash + name), !held) << name;
    }
  }
  std::string Memo() const { return form->dsetBug->FieldByName("Attachment")->AsString(); }
  std::vector<std::string> Captions() const {
    std::vector<std::string> captions;
    for (int i = 0; i < form->lvAttachments->Items()->Count(); ++i)
      captions.push_back(form->lvAttachments->Items()->Item(i)->Caption());
    return captions;
  }
};

TEST_F(AttachWindow, AttachingCopiesUnderFreeNamesAndListsThem) {
  Start({""}, {});
  std::filesystem::remove_all(folder);  // made again when missing
  std::filesystem::create_directories(dir + "in");
  Put(dir + "in/notes.txt");
  Put(dir + "notes.txt");
  form->AttachFiles({dir + "in/notes.txt", dir + "notes.txt"});
  EXPECT_EQ(Memo(), "notes.txt\r\nnotes(2).txt\r\n");
  EXPECT_EQ(form->dsetBug->State(), dsBrowse);  // posted
  EXPECT_EQ(Captions(), (std::vector<std::string>{"notes.txt", "notes(2).txt"}));
  EXPECT_TRUE(FileExists(folder + "notes(2).txt"));
  // An unreadable source: its error, the files before it stay attached.
  Put(dir + "b.txt");
  EXPECT_THROW(form->AttachFiles({dir + "b.txt", dir + "gone.txt"}), EFOpenError);
  EXPECT_EQ(Memo(), "notes.txt\r\nnotes(2).txt\r\nb.txt\r\n");
}

// The window copies files in readable by whoever may read its database, so
// other users of a shared database can open them, whatever the umask of the
// user who attached them.
TEST_F(AttachWindow, ACopyIsReadableByWhoeverMayReadTheDatabase) {
  Start({""}, {});
  ::chmod(scratch.Database().c_str(), 0644);
  Put(dir + "notes.txt");
  {
    write_targets::TUmaskScope mask(077);
    form->AttachFiles({dir + "notes.txt"});
  }
  EXPECT_EQ(Memo(), "notes.txt\r\n");
  EXPECT_EQ(write_targets::ModeOf(folder + "notes.txt") & 07777, 0644u);
}

// The toolbar's hints, and buttons that act on a selection enabled only with
// one: clicks on the list with the mouse choose, another entry's list starts
// with none.
TEST_F(AttachWindow, ToolbarHintsAndButtonsFollowTheSelection) {
  Start({"a.txt\r\nb.txt\r\n", "c.txt\r\n"}, {"a.txt", "b.txt", "c.txt"});
  EXPECT_EQ(form->tbList->Hint(), "List View");
  EXPECT_EQ(form->tbSmallIcons->Hint(), "Small Icons View");
  EXPECT_EQ(form->tbLargeIcons->Hint(), "Large Icons View");
  EXPECT_EQ(form->tbAttach->Hint(), "Attach File");
  EXPECT_EQ(form->tbAttachmentProperties->Hint(), "Attachment Properties");
  EXPECT_EQ(form->tbAttachmentExecute->Hint(), "Execute Attachment");
  form->dsetBug->First();
  form->tcRTFs->SetTabIndex(4);
  form->tcRTFs->OnChange(form->tcRTFs);
  QCoreApplication::processEvents();
  const auto enabled = [&] {
    return std::vector<bool>{form->tbDeleteAttachment->Enabled(), form->tbAttachmentProperties->Enabled(),
                             form->tbAttachmentExecute->Enabled(), form->tbAttach->Enabled()};
  };
  EXPECT_EQ(enabled(), (std::vector<bool>{false, false, false, true}));
  QWidget* list = vantrel::qt::ClientWidget(*form->lvAttachments);
  const auto click = [&](int index, Qt::KeyboardModifiers keys) {
    const TRect r = form->lvAttachments->ItemRect(form->lvAttachments->Items()->Item(index));
    QTest::mouseClick(list, Qt::LeftButton, keys, QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
    QCoreApplication::processEvents();
  };
  click(0, Qt::NoModifier);
  EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, true}));
  click(1, Qt::ControlModifier);
  EXPECT_EQ(enabled(), (std::vector<bool>{true, false, false, true}));
  EXPECT_EQ(form->tbDeleteAttachment->Hint(), "Delete Attachments");
  form->dsetBug->Next();
  QCoreApplication::processEvents();
  EXPECT_EQ(Captions(), std::vector<std::string>{"c.txt"});
  EXPECT_EQ(form->lvAttachments->SelCount(), 0);
  EXPECT_EQ(enabled(), (std::vector<bool>{false, false, false, true}));
}

TEST_F(AttachWindow, DeletingSelectedFilesToTheTrash) {
  Start({"a.txt\r\nb.txt\r\nc.txt\r\n"}, {"a.txt", "b.txt", "c.txt"});
  form->Reg->WriteBool("Options", "ConfirmDeletes", false);
  form->DeleteAttachments();  // nothing selected: nothing at all
  EXPECT_EQ(answers.Count(), 0);
  form->lvAttachments->Items()->Item(0)->SetSelected(true);
  form->lvAttachments->Items()->Item(2)->SetSelected(true);
  EXPECT_EQ(form->tbDeleteAttachment->Hint(), "Delete Attachments");
  form->popAttachmentPopup(form->popAttachment);
  EXPECT_EQ(form->popAttachment_Delete->Caption(), "&Delete Attachments");
  EXPECT_FALSE(form->popAttachment_Execute->Visible() || form->popAttachment_Properties->Visible());
  EXPECT_TRUE(form->popAttachment_SelectAll->Visible());
  form->DeleteAttachments();
  EXPECT_EQ(answers.Count(), 0);  // no confirmation asked
  EXPECT_EQ(Memo(), "b.txt\r\n");
  EXPECT_EQ(Captions(), std::vector<std::string>{"b.txt"});
  EXPECT_TRUE(FileExists(trash + "a.txt") && FileExists(trash + "c.txt"));
  EXPECT_TRUE(FileExists(folder + "b.txt"));
}

TEST_F(AttachWindow, AnEntryLosesItsFilesAfterItsRowAndHostileLinesAreNeverTouched) {
  Start({"../outside.txt\r\n/etc/hostname\r\nok.txt\r\n"}, {"ok.txt"});
  Put(dir + "outside.txt");
  EXPECT_EQ(Captions(), (std::vector<std::string>{"../outside.txt", "/etc/hostname", "ok.txt"}));
  form->lvAttachments->Items()->Item(0)->SetSelected(true);
  form->ExecuteAttachment();
  EXPECT_EQ(answers.Texts().back(), "File '" + folder + "../outside.txt' not found.");
  EXPECT_TRUE(form->DeleteCurrentEntry());
  EXPECT_TRUE(form->dsetBug->IsEmpty());
  EXPECT_FALSE(FileExists(folder + "ok.txt"));
  EXPECT_TRUE(FileExists(dir + "outside.txt"));
  EXPECT_TRUE(FileExists("/etc/hostname"));
  EXPECT_FALSE(form->DeleteCurrentEntry());
}

// A real click on a toolbar button of the window.
void ClickButton(TControl* button) {
  QTest::mouseClick(vantrel::qt::ClientWidget(*button->Parent()), Qt::LeftButton, {},
                    QPoint(button->Left() + 4, button->Top() + 4));
}

// Another user editing the last entry of the table, so its row cannot go.
std::unique_ptr<TwwtaTable> HoldLastEntry(const std::string& database) {
  auto other = std::make_unique<TwwtaTable>(nullptr);
  other->SetDatabaseName(database);
  other->SetTableName("Reports");
  other->Open();
  other->Last();
  other->Edit();
  return other;
}

TEST_F(AttachWindow, TheEntryDeleteCommandTrashesTheFilesOnlyOnceTheRowIsGone) {
  Start({"a.txt\r\nb.txt\r\n"}, {"a.txt", "b.txt"});
  for (bool held : {true, false}) {
    SCOPED_TRACE(held ? "held elsewhere" : "free");
    auto other = held ? HoldLastEntry(scratch.Database()) : nullptr;
    ClickButton(form->tbDelete);
    EXPECT_EQ(answers.Texts().size(), held ? 2u : 3u);  // confirmation (and the refusal)
    EXPECT_EQ(apptest::StoredEntries(scratch.Database()).size(), held ? 1u : 0u);
    ExpectTrashedUnlessHeld({"a.txt", "b.txt"}, held);
  }
  EXPECT_EQ(answers.Texts()[1].rfind("A delete error has occured.", 0), 0u) << answers.Texts()[1];
}

// Keys only: a grid cell clicked, then Alt+E, D, B. The delete changes the
// menus while the Delete menu is still handling B; the menus must survive it
// and work again for the next entry.
TEST_F(AttachWindow, TheEntryDeleteFromTheKeyboardMenuLeavesAWorkingMenu) {
  Start({"a.txt\r\n", "b.txt\r\n"}, {"a.txt", "b.txt"});
  // The box runs its own event loop while the user reads it; the menu that
  // took B is still handling it.
  QPointer<QWidget> chooser;
  std::vector<bool> chooserKept;
  TDialogResponderScope boxes{[&](TDialogRequest&) {
    Application->ProcessMessages();
    chooserKept.push_back(!chooser.isNull());
    return mrYes;
  }};
  QWidget* grid = vantrel::qt::ClientWidget(*form->dbgBug);
  const int column = form->GridColumnOf(apptest::GridDataColumn(form, "Description"));
  form->dbgBug->SetLeftCol(column);  // scrolled into view
  for (const char* file : {"a.txt", "b.txt"}) {
    SCOPED_TRACE(file);
    const TRect cell = form->dbgBug->CellRect(column, 1);
    QTest::mouseClick(grid, Qt::LeftButton, {}, QPoint(cell.Left + 5, cell.Top + 3));
    QTest::keyClick(grid, Qt::Key_E, Qt::AltModifier);
    Application->ProcessMessages();
    for (Qt::Key key : {Qt::Key_D, Qt::Key_B}) {
      chooser = QApplication::activePopupWidget();
      ASSERT_NE(chooser, nullptr) << char(key);
      QTest::keyClick(chooser, key);
      Application->ProcessMessages();
    }
    EXPECT_EQ(boxes.Texts().back(), "Delete Bug Report?");
    ExpectTrashedUnlessHeld({file}, false);
  }
  EXPECT_EQ(chooserKept, (std::vector<bool>{true, true}));
  EXPECT_TRUE(apptest::StoredEntries(scratch.Database()).empty());
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(AttachWindow, TheProgramDeleteCommandTrashesTheFilesOfEveryEntryAfterTheRows) {
  Entries({"kept.txt\r\n"});
  {
    dao::TDatabaseCore db(scratch.Database(), false, false, "");
    db.Execute("INSERT INTO Programs ([Program]) VALUES ('Second')");
    db.Execute("INSERT INTO Reports (ProgramNumber, Status, ReportType, Attachment) "
               "VALUES (2, '1', 'BugReport', 'bug.txt')");
    db.Execute("INSERT INTO Reports (ProgramNumber, Status, ReportType, Attachment) "
               "VALUES (2, '1', 'FeatureRequest', 'feature.txt')");
  }
  Start({}, {"kept.txt", "bug.txt", "feature.txt"});
  form->wwtblProgram->Last();
  ASSERT_EQ(form->wwtblProgram->FieldByName("Program")->AsString(), "Second");
  for (bool held : {true, false}) {
    SCOPED_TRACE(held ? "held elsewhere" : "free");
    auto other = held ? HoldLastEntry(scratch.Database()) : nullptr;
    ClickButton(form->tbDeleteProgram);
    EXPECT_EQ(apptest::StoredEntries(scratch.Database()).size(), held ? 3u : 1u);
    EXPECT_EQ(apptest::StoredValues(scratch.Database(), "Programs", "Program").size(), held ? 2u : 1u);
    // The feature request is hidden by the bug-report tab's filter, yet its file goes too.
    ExpectTrashedUnlessHeld({"bug.txt", "feature.txt"}, held);
    EXPECT_TRUE(FileExists(folder + "kept.txt"));
  }
}

TEST_F(AttachWindow, OpeningStartsTheDesktopProgram) {
  Start({"a.txt\r\n"}, {"a.txt"});
  std::vector<std::string> argv;
  const TShellLauncher old = SetShellLauncher([&](const auto& a, const auto&) { argv = a; });
  form->lvAttachments->Items()->Item(0)->SetSelected(true);
  form->ExecuteAttachment();
  SetShellLauncher(old);
  EXPECT_EQ(argv, (std::vector<std::string>{"xdg-open", folder + "a.txt"}));
}

TEST_F(AttachWindow, PropertiesShowTheFile) {
  Start({"big.dat\r\n"}, {});
  Put(folder + "big.dat");
  std::filesystem::resize_file(folder + "big.dat", 12345678);
  std::vector<std::string> shown;
  TDialogResponderScope forms{[&](TDialogRequest& r) {
    auto* w = dynamic_cast<TfrmFileProperties*>(r.Dialog);
    if (w)
      shown = {w->lblFileName->Caption(), w->lblSizeOut->Caption(), w->lblLocationOut->Caption(),
               w->chkReadOnly->Checked() ? "ro" : "rw", w->chkArchive->Checked() ? "a" : "-"};
    return mrOk;
  }};
  form->lvAttachments->Items()->Item(0)->SetSelected(true);
  form->ShowAttachmentProperties();
  EXPECT_EQ(shown, (std::vector<std::string>{"big.dat", "12345,678 bytes",
                                             folder.substr(0, folder.size() - 1) + " ", "rw", "-"}));
}

TEST_F(AttachWindow, DroppedFilesAreListedShownAndDeletedToTheTrash) {
  Start({""}, {});
  Put(dir + "plan.txt");
  Put(dir + "photo.jpg");
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir + "plan.txt")),
                QUrl::fromLocalFile(QString::fromStdString(dir + "photo.jpg"))});
  QWidget* window = vantrel::qt::WindowWidget(*form);
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &enter);
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &drop);
  EXPECT_EQ(Captions(), (std::vector<std::string>{"plan.txt", "photo.jpg"}));
  for (int i = 0; i < 2; ++i) EXPECT_GE(form->lvAttachments->Items()->Item(i)->ImageIndex(), 0);
  EXPECT_EQ(apptest::StoredEntries(scratch.Database(), "Attachment"),
            std::vector<std::string>{"plan.txt\r\nphoto.jpg\r\n"});

  std::string shownName;
  TDialogResponderScope forms{[&](TDialogRequest& r) {
    if (auto* w = dynamic_cast<TfrmFileProperties*>(r.Dialog)) shownName = w->lblFileName->Caption();
    return std::find(r.Buttons.begin(), r.Buttons.end(), mrYes) != r.Buttons.end() ? mrYes : mrOk;
  }};
  form->lvAttachments->Items()->Item(1)->SetSelected(true);
  form->tbAttachmentProperties->Click();
  EXPECT_EQ(shownName, "photo.jpg");
  form->tbDeleteAttachment->Click();  // confirmed with Yes
  EXPECT_EQ(forms.Texts().back(), "Delete this attachment?");
  EXPECT_EQ(Captions(), std::vector<std::string>{"plan.txt"});
  EXPECT_FALSE(FileExists(folder + "photo.jpg"));
  EXPECT_TRUE(FileExists(trash + "photo.jpg"));
  EXPECT_EQ(apptest::StoredEntries(scratch.Database(), "Attachment"),
            std::vector<std::string>{"plan.txt\r\n"});
}

// The opener runs in the folder where the attachment is, and one that cannot
// start is reported; a named pipe dropped or picked is refused at once.
TEST_F(AttachWindow, OpeningRunsWhereTheFileIsAndPipesAreRefused) {
  Start({"a.txt\r\n"}, {"a.txt"});
  std::string where;
  const TShellLauncher old = SetShellLauncher([&](const auto&, const auto& f) { where = f; });
  form->lvAttachments->Items()->Item(0)->SetSelected(true);
  form->ExecuteAttachment();
  EXPECT_EQ(where, folder);
  SetShellLauncher([](const auto&, const auto&) {
    throw EInOutError("Cannot run xdg-open: No such file or directory", ENOENT);
  });
  form->ExecuteAttachment();
  SetShellLauncher(old);
  EXPECT_EQ(answers.Texts().back(), "Cannot run xdg-open: No such file or directory");

  ASSERT_EQ(::mkfifo((dir + "pipe").c_str(), 0600), 0);
  EXPECT_THROW(form->AttachFiles({dir + "pipe"}), EFOpenError);
  EXPECT_FALSE(FileExists(folder + "pipe"));
}

}  // namespace
