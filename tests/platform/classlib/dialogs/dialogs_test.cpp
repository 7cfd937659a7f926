// Every dialog answered through the responder: what it is shown, what the
// answer does, and what is refused.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QTreeView>

#include <filesystem>
#include <functional>
#include <fstream>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/temp_dir.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/printers/printers.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/win32/msgbox.h"

TEST(MessageDlgTest, CaptionsButtonsAndLineBreaksByKind) {
  struct Case {
    TMsgDlgType type;
    TMsgDlgButtons buttons;
    const char* caption;
    std::vector<std::string> captions;
    TModalResult defaultButton;
  } cases[] = {
      {mtWarning, {mbOK}, "Warning", {"OK"}, mrOk},
      {mtError, mbAbortRetryIgnore, "Error", {"Abort", "Retry", "Ignore"}, mrAbort},
      {mtInformation, mbOKCancel, "Information", {"OK", "Cancel"}, mrOk},
      {mtConfirmation, mbYesNoCancel + TMsgDlgButtons{mbHelp}, "Confirm",
       {"Yes", "No", "Cancel"}, mrYes},
      {mtConfirmation, {mbYes, mbNo, mbAll, mbNoToAll, mbYesToAll}, "Confirm",
       {"Yes", "No", "All", "No to All", "Yes to All"}, mrYes},
  };
  for (const Case& c : cases) {
    TDialogResponderScope scope([](TDialogRequest& r) { return r.Buttons.back(); });
    TModalResult result = MessageDlg("one\rtwo\r\nthree\nfour", c.type, c.buttons, 0);
    ASSERT_EQ(scope.Count(), 1);
    const TDialogRequest& r = scope.Requests()[0];
    EXPECT_EQ(r.Kind, TDialogKind::MessageBox);
    EXPECT_EQ(r.Caption, c.caption);
    EXPECT_EQ(r.Text, "one\ntwo\nthree\nfour");
    EXPECT_EQ(r.ButtonCaptions, c.captions);
    EXPECT_EQ(r.DefaultButton, c.defaultButton);
    EXPECT_EQ(result, r.Buttons.back());
  }
}

TEST(MessageDlgTest, ClosingAnswersCancelNoOrOkAndStrayAnswersAreRefused) {
  TDialogResponderScope scope([](TDialogRequest&) { return mrNone; });
  EXPECT_EQ(MessageDlg("q", mtConfirmation, mbYesNoCancel, 0), mrCancel);
  EXPECT_EQ(MessageDlg("yes or no", mtConfirmation, {mbYes, mbNo}, 0), mrNo);
  EXPECT_EQ(MessageDlg("i", mtInformation, {mbOK}, 0), mrOk);
  EXPECT_THROW(MessageDlg("abort", mtError, mbAbortRetryIgnore, 0), EInvalidOperation);
  EXPECT_EQ(Application->MessageBox("ok", "T", MB_OK), IDOK);
  EXPECT_EQ(Application->MessageBox("retry", "T", MB_RETRYCANCEL), IDCANCEL);
  EXPECT_THROW(Application->MessageBox("yes or no", "T", MB_YESNO), EInvalidOperation);
  TDialogResponderScope stray([](TDialogRequest&) { return mrRetry; });
  EXPECT_THROW(MessageDlg("ok", mtWarning, mbOKCancel, 0), EInvalidOperation);
}

TEST(MessageDlgTest, CustomBoxesShowMessageAndExceptionsReachTheResponder) {
  Application->SetTitle("Vantrel Pro");
  TDialogResponderScope scope([](TDialogRequest&) { return mrOk; });
  ShowMessage("Saved");
  EXPECT_EQ(MessageDlgPos("at", mtCustom, {mbOK}, 0, 10, 20), mrOk);
  Application->ShowException(Exception("Disk full"));
  ASSERT_EQ(scope.Count(), 3);
  EXPECT_EQ(scope.Requests()[0].Caption, "Vantrel Pro");
  EXPECT_EQ(scope.Requests()[1].Caption, "Vantrel Pro");  // the application's title
  EXPECT_EQ(scope.Texts(), (std::vector<std::string>{"Saved", "at", "Disk full."}));
  EXPECT_EQ(scope.Requests()[2].Type, mtError);
  Application->SetTitle("");
}

// A message box opening takes the mouse from the control holding it, as a
// modal window does: the button held down is let go outside, so the release
// that comes after the box makes no click, and the next click goes where it
// is given.
TEST(MessageBoxTest, ABoxOpeningTakesTheMouseFromTheControlHoldingIt) {
  auto form = testing_support::ShownForm();
  auto* held = new TPanel(form.get());
  held->SetBounds(0, 0, 60, 40);
  held->SetParent(form.get());
  int clicks = 0, ups = 0;
  held->OnClick = [&](TObject*) { ++clicks; };
  held->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { ++ups; };
  TDialogResponderScope scope([](TDialogRequest&) { return mrOk; });
  const struct {
    const char* name;
    std::function<void()> show;
  } boxes[] = {{"a message", [] { ShowMessage("Saved"); }},
               {"a question", [] { MessageDlg("Sure?", mtConfirmation, {mbOK}, 0); }},
               {"the system's box", [] { Application->MessageBox("Sure?", "Vantrel", MB_OK); }},
               {"an error shown", [] { Application->ShowException(Exception("Disk full")); }}};
  for (const auto& [name, show] : boxes) {
    SCOPED_TRACE(name);
    QWidget* client = testing_support::ClientOf(held);
    QTest::mousePress(client, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    ASSERT_EQ(GetCaptureControl(), held);
    clicks = ups = 0;
    show();
    EXPECT_EQ(GetCaptureControl(), nullptr);
    EXPECT_EQ(ups, 1);  // let go outside
    QTest::mouseRelease(client, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(clicks, 0);
  }
}

TEST(MessageBoxTest, FlagsChooseButtonsIconAndDefaultAndAnswersAreIds) {
  struct Case {
    UINT flags;
    std::vector<TModalResult> buttons;
    TMsgDlgType type;
    TModalResult defaultButton;
    int id;  // of the last button
  } cases[] = {
      {MB_OK, {mrOk}, mtCustom, mrOk, IDOK},
      {MB_OKCANCEL | MB_ICONQUESTION, {mrOk, mrCancel}, mtConfirmation, mrOk, IDCANCEL},
      {MB_ABORTRETRYIGNORE | MB_ICONHAND | MB_DEFBUTTON2, {mrAbort, mrRetry, mrIgnore}, mtError,
       mrRetry, IDIGNORE},
      {MB_YESNOCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON3, {mrYes, mrNo, mrCancel}, mtWarning,
       mrCancel, IDCANCEL},
      {MB_YESNO | MB_ICONASTERISK, {mrYes, mrNo}, mtInformation, mrYes, IDNO},
      {MB_RETRYCANCEL, {mrRetry, mrCancel}, mtCustom, mrRetry, IDCANCEL},
  };
  for (const Case& c : cases) {
    TDialogResponderScope scope([](TDialogRequest& r) { return r.Buttons.back(); });
    EXPECT_EQ(Application->MessageBox("text", "Title", c.flags), c.id);
    const TDialogRequest& r = scope.Requests().at(0);
    EXPECT_EQ(r.Caption, "Title");
    EXPECT_EQ(r.Buttons, c.buttons);
    EXPECT_EQ(r.Type, c.type);
    EXPECT_EQ(r.DefaultButton, c.defaultButton);
  }
  TDialogResponderScope scope([](TDialogRequest&) { return mrOk; });
  EXPECT_THROW(Application->MessageBox("bad", "T", 0x7), EInvalidOperation);
}

TEST(InputQueryTest, OkTakesTheEditedValueCancelKeepsIt) {
  for (TModalResult answer : {mrOk, mrCancel}) {
    TDialogResponderScope scope([answer](TDialogRequest& r) {
      EXPECT_EQ(*r.Value, "old");
      *r.Value = "new";
      return answer;
    });
    std::string value = "old";
    EXPECT_EQ(InputQuery("Rename", "Name:", value), answer == mrOk);
    EXPECT_EQ(value, answer == mrOk ? "new" : "old");
    EXPECT_EQ(InputBox("Rename", "Name:", "old"), value);
    EXPECT_EQ(scope.Requests()[0].Caption, "Rename");
    EXPECT_EQ(scope.Requests()[0].Text, "Name:");
  }
}

TEST(FileDialogTest, FilterDefaultExtensionAndInitialFolderCompleteTheName) {
  TempDir dir;
  TSaveDialog dialog(nullptr);
  dialog.SetFilter("Text|*.txt;*.log|All files|*.*");
  dialog.SetDefaultExt(".txt");
  dialog.SetInitialDir(dir.Path());
  dialog.SetTitle("Export");
  ASSERT_EQ(dialog.FilterEntries().size(), 2u);
  EXPECT_EQ(dialog.FilterEntries()[0].Patterns, "*.txt;*.log");
  TDialogResponderScope scope([](TDialogRequest& r) {
    auto* d = static_cast<TSaveDialog*>(r.Dialog);
    d->SetFileName("report");
    d->SetFilterIndex(2);
    return mrOk;
  });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(scope.Requests()[0].Kind, TDialogKind::SaveFile);
  EXPECT_EQ(scope.Requests()[0].Caption, "Export");
  EXPECT_EQ(dialog.FileName(), dir / "report.txt");
  EXPECT_EQ(dialog.FilterIndex(), 2);
  ASSERT_EQ(dialog.Files()->Count(), 1);
}

TEST(FileDialogTest, MissingFileIsRefusedAndTheDialogAsksAgain) {
  TempDir dir;
  std::ofstream(dir / "there.txt") << "x";
  TOpenDialog dialog(nullptr);
  dialog.SetOptions({ofFileMustExist, ofAllowMultiSelect});
  int round = 0;
  TDialogResponderScope scope([&](TDialogRequest& r) {
    if (r.Kind == TDialogKind::MessageBox) return mrOk;
    auto* d = static_cast<TOpenDialog*>(r.Dialog);
    d->Files()->Add(dir / (++round == 1 ? "missing.txt" : "there.txt"));
    return mrOk;
  });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(round, 2);
  EXPECT_EQ(dialog.FileName(), dir / "there.txt");
  ASSERT_EQ(scope.Count(), 3);
  EXPECT_EQ(scope.Requests()[1].Text,
            dir / "missing.txt\nFile not found.\nPlease verify the correct file name was given.");
}

TEST(FileDialogTest, OverwritePromptNoAsksAgainCancelGivesFalse) {
  TempDir dir;
  std::ofstream(dir / "old.csv") << "x";
  TSaveDialog dialog(nullptr);
  dialog.SetOptions({ofOverwritePrompt});
  std::vector<TModalResult> answers = {mrOk, mrNo, mrCancel};  // name, replace?, dialog
  size_t next = 0;
  TDialogResponderScope scope([&](TDialogRequest& r) {
    if (r.Dialog) static_cast<TSaveDialog*>(r.Dialog)->SetFileName(dir / "old.csv");
    return answers.at(next++);
  });
  EXPECT_FALSE(dialog.Execute());
  ASSERT_EQ(scope.Count(), 3);
  EXPECT_EQ(scope.Requests()[1].Text, dir / "old.csv already exists.\nDo you want to replace it?");
  // A responder that never gives an acceptable name cannot make Execute loop forever.
  TDialogResponderScope stubborn([&](TDialogRequest& r) {
    if (r.Dialog) static_cast<TSaveDialog*>(r.Dialog)->SetFileName(dir / "old.csv");
    return r.Dialog ? mrOk : mrNo;
  });
  EXPECT_THROW(dialog.Execute(), EInvalidOperation);
}

TEST(FontAndColorDialogTest, ResponderFillsFontColorAndCustomColors) {
  TFontDialog font(nullptr);
  TColorDialog color(nullptr);
  color.CustomColors()->Add("ColorA=FF8000");
  color.CustomColors()->Add("ColorB=nonsense");
  EXPECT_EQ(color.CustomColor(0), RGB(0xFF, 0x80, 0x00));
  EXPECT_EQ(color.CustomColor(1), clNone);
  TDialogResponderScope scope([](TDialogRequest& r) {
    if (r.Kind == TDialogKind::Font) {
      static_cast<TFontDialog*>(r.Dialog)->Font()->SetName("Arial");
      return mrOk;
    }
    auto* d = static_cast<TColorDialog*>(r.Dialog);
    d->SetColor(clRed);
    d->SetCustomColor(15, RGB(1, 2, 3));
    return mrCancel;
  });
  EXPECT_TRUE(font.Execute());
  EXPECT_EQ(font.Font()->Name(), "Arial");
  EXPECT_FALSE(color.Execute());
  EXPECT_EQ(color.Color(), clRed);
  EXPECT_EQ(color.CustomColors()->Values("ColorP"), "010203");
}

TEST(ModalFormTest, ResponderDrivesTheLiveFormAndEndsItsModalPass) {
  Application->Initialize();
  TForm form(nullptr);
  form.SetCaption("Options");
  bool wasShowing = false;
  TDialogResponderScope scope([&](TDialogRequest& r) {
    wasShowing = static_cast<TForm*>(r.Dialog)->Visible();
    return mrOk;
  });
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_TRUE(wasShowing);
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(scope.Requests().at(0).Kind, TDialogKind::Form);
  EXPECT_EQ(scope.Requests().at(0).Caption, "Options");
}

namespace {

// The program's printer replaced by a fresh one for one test.
class ScratchPrinter {
 public:
  ScratchPrinter() : previous_(SetPrinter(new TPrinter)) {}
  ~ScratchPrinter() { delete SetPrinter(previous_); }

 private:
  TPrinter* previous_;
};

}  // namespace

TEST(PrintDialogTest, RangeOutsideMinMaxIsRefusedThenCopiesReachThePrinter) {
  ScratchPrinter scratch;
  TPrintDialog dialog(nullptr);
  dialog.SetOptions({poPageNums});
  dialog.SetMinPage(1);
  dialog.SetMaxPage(5);
  int round = 0;
  TDialogResponderScope scope([&](TDialogRequest& r) {
    if (r.Kind == TDialogKind::MessageBox) return mrOk;
    auto* d = static_cast<TPrintDialog*>(r.Dialog);
    d->SetPrintRange(prPageNums);
    d->SetFromPage(++round == 1 ? 0 : 2);
    d->SetToPage(3);
    d->SetCopies(3);
    d->SetCollate(true);
    return mrOk;
  });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(scope.Texts().at(1), "Page numbers must lie between 1 and 5.");
  EXPECT_EQ(dialog.FromPage(), 2);
  EXPECT_EQ(Printer()->Copies(), 3);
  EXPECT_TRUE(Printer()->Settings().Collate);
}

TEST(PrintDialogTest, PrintToFileAndThePdfPrinterAskForTheFileThroughTheSaveDialog) {
  ScratchPrinter scratch;
  TempDir dir;
  Printer()->SetPrinterIndex(Printer()->Printers()->IndexOf("PDF"));
  TDialogResponderScope scope([&](TDialogRequest& r) {
    if (r.Kind == TDialogKind::Print) static_cast<TPrintDialog*>(r.Dialog)->SetPrintToFile(true);
    if (r.Kind == TDialogKind::SaveFile)
      static_cast<TSaveDialog*>(r.Dialog)->SetFileName(dir / "a");
    return mrOk;
  });
  TPrintDialog dialog(nullptr);
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(Printer()->FileName(), dir / "a.pdf");
  Printer()->SetFileName("");
  Printer()->SetTitle("Report");
  Printer()->BeginDoc();
  Printer()->EndDoc();
  EXPECT_EQ(scope.Requests().back().Caption, "Print to File - Report");
  EXPECT_TRUE(std::filesystem::exists(dir / "a.pdf"));
}

TEST(PrinterSetupDialogTest, ResponderChangesThePrinterOrCancels) {
  ScratchPrinter scratch;
  TPrinterSetupDialog dialog(nullptr);
  for (TModalResult answer : {mrCancel, mrOk}) {
    TDialogResponderScope scope([answer](TDialogRequest& r) {
      EXPECT_EQ(r.Kind, TDialogKind::PrinterSetup);
      if (answer == mrOk) Printer()->SetOrientation(poLandscape);
      return answer;
    });
    EXPECT_EQ(dialog.Execute(), answer == mrOk);
  }
  EXPECT_EQ(Printer()->Orientation(), poLandscape);
}

namespace {

// Acts on the modal dialog once it shows (the real Qt dialogs, no responder).
template <class Dialog>
void WhenShown(std::function<void(Dialog*)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    act(dialog);
  });
}

QAbstractButton* ButtonNamed(QMessageBox* box, const QString& text) {
  for (QAbstractButton* b : box->buttons())
    if (b->text() == text) return b;
  return nullptr;
}

}  // namespace

// The input box is a form of the program's own controls: its prompt above
// an edit that offers the value, with the edit menu of every edit by mouse
// and keys; Enter takes what was typed, Escape leaves the value.
TEST(RealDialogTest, TheInputBoxEditsWithTheProgramsEditAndItsMenu) {
  using testing_support::Pump;
  using testing_support::WaitFor;
  Application->Initialize();
  TDialogResponderScope realDialogs{nullptr};
  struct Case {
    Qt::Key finish;
    bool accepted;
    const char* value;
  } cases[] = {{Qt::Key_Return, true, "New"}, {Qt::Key_Escape, false, "Old name"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.accepted);
    bool acted = false;
    QTimer::singleShot(0, [&] {
      TCustomForm* form = nullptr;
      for (int i = 0; i < Screen->FormCount() && !form; ++i)
        if (Screen->Forms(i)->Modal()) form = Screen->Forms(i);
      ASSERT_NE(form, nullptr);
      EXPECT_EQ(form->Caption(), "Rename Program");
      WaitFor([&] { return QApplication::focusWidget() && Screen->ActiveForm() == form; });
      TEdit* edit = nullptr;
      TLabel* prompt = nullptr;
      for (int i = 0; i < form->ComponentCount(); ++i) {
        if (!edit) edit = dynamic_cast<TEdit*>(form->Components(i));
        if (!prompt) prompt = dynamic_cast<TLabel*>(form->Components(i));
      }
      // Closed whatever is found, so that a failure does not hold the test.
      const auto closeForm = [form] { form->SetModalResult(mrCancel); };
      if (!edit || !prompt) return closeForm();
      EXPECT_EQ(prompt->Caption(), "Program &Name");
      EXPECT_LE(prompt->Top() + prompt->Height(), edit->Top()) << "the prompt stands above the edit";
      EXPECT_EQ(edit->Text(), "Old name");
      EXPECT_EQ(edit->SelText(), "Old name") << "offered selected";
      QWidget* window = vantrel::qt::WindowWidget(*form);
      const TPoint at = edit->ClientToScreen({10, 5});
      QTest::mouseClick(window->windowHandle(), Qt::RightButton, Qt::NoModifier,
                        window->mapFromGlobal(QPoint(at.x, at.y)));
      Pump();
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!menu) return closeForm();
      EXPECT_EQ(menu->actions().back()->text(), "Select &All") << "the edit menu on a right click";
      QTest::keyClick(menu, Qt::Key_Escape);
      Pump();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10, Qt::ShiftModifier);
      Pump();
      menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!menu) return closeForm();
      QTest::keyClick(menu, Qt::Key_D);  // Delete: the whole text was selected
      Pump();
      EXPECT_EQ(edit->Text(), "");
      QTest::keyClicks(QApplication::focusWidget(), "New");
      QTest::keyClick(QApplication::focusWidget(), c.finish);
      acted = true;
    });
    std::string value = "Old name";
    EXPECT_EQ(InputQuery("Rename Program", "Program &Name", value), c.accepted);
    EXPECT_TRUE(acted);
    EXPECT_EQ(value, c.value);
  }
}

TEST(RealDialogTest, MessageBoxHelpKeepsTheBoxAndTheChosenButtonAnswers) {
  Application->Initialize();
  TDialogResponderScope realDialogs{nullptr};
  ASSERT_FALSE(DialogResponderInstalled());
  int helped = 0;
  Application->OnHelp = [&](WORD, int data, bool& callHelp) {
    helped = data;
    callHelp = false;
    return true;
  };
  WhenShown<QMessageBox>([](QMessageBox* box) {
    EXPECT_EQ(box->windowTitle(), "Confirm");
    EXPECT_EQ(box->text(), "Keep\nit?");
    ButtonNamed(box, "&Help")->click();
    WhenShown<QMessageBox>([](QMessageBox* again) { ButtonNamed(again, "&No")->click(); });
  });
  EXPECT_EQ(MessageDlg("Keep\r\nit?", mtConfirmation, {mbYes, mbNo, mbHelp}, 42), mrNo);
  EXPECT_EQ(helped, 42);
  Application->OnHelp = nullptr;
}

// The picture of each kind of message, for windows of their own that tell
// the same kind of thing, is the one its box shows; a custom box has none.
TEST(RealDialogTest, MessageIconsAreThePicturesTheBoxesShow) {
  Application->Initialize();
  TDialogResponderScope realDialogs{nullptr};
  std::vector<QImage> pictures;
  for (TMsgDlgType type : {mtWarning, mtError, mtInformation, mtConfirmation}) {
    SCOPED_TRACE(type);
    QImage shown;
    WhenShown<QMessageBox>([&](QMessageBox* box) {
      shown = box->iconPixmap().toImage().convertToFormat(QImage::Format_ARGB32);
      ButtonNamed(box, "OK")->click();
    });
    MessageDlg("Look", type, {mbOK}, 0);
    ASSERT_FALSE(shown.isNull());
    const std::unique_ptr<TIcon> icon = MessageDlgIcon(type);
    EXPECT_EQ(vantrel::qt::IconImage(*icon), shown);
    for (const QImage& other : pictures) EXPECT_NE(other, shown);
    pictures.push_back(shown);
  }
  EXPECT_TRUE(MessageDlgIcon(mtCustom)->Empty());
}

TEST(RealDialogTest, FileDialogTakesTheChosenFileAndFilter) {
  TDialogResponderScope realDialogs{nullptr};
  TempDir dir;
  std::ofstream(dir / "data.log") << "x";
  TOpenDialog dialog(nullptr);
  dialog.SetFilter("Text|*.txt|Logs (*.log)|*.log|All Files (*.*)|*.*");
  dialog.SetInitialDir(dir.Path());
  dialog.SetOptions({ofFileMustExist});
  WhenShown<QFileDialog>([&](QFileDialog* d) {
    EXPECT_EQ(d->nameFilters(), (QStringList{"Text (*.txt)", "Logs (*.log)", "All Files (*)"}));
    d->selectNameFilter("Logs (*.log)");
    d->selectFile(QString::fromStdString(dir / "data.log"));
    QMetaObject::invokeMethod(d, "accept");  // a protected slot
  });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.FileName(), dir / "data.log");
  EXPECT_EQ(dialog.FilterIndex(), 2);
}

// The open and save dialogs (export, print to file, attachments) show the
// size, type and date of each file whole beside its name: no column is cut
// or pushed out of sight.
TEST(RealDialogTest, FileDialogsShowEveryColumnWhole) {
  TDialogResponderScope realDialogs{nullptr};
  TempDir dir;
  std::ofstream(dir / "defect report.csv") << std::string(123456, 'x');
  std::ofstream(dir / "notes.txt") << "x";
  for (bool saving : {false, true}) {
    SCOPED_TRACE(saving ? "save" : "open");
    std::unique_ptr<TOpenDialog> dialog =
        saving ? std::make_unique<TSaveDialog>(nullptr) : std::make_unique<TOpenDialog>(nullptr);
    dialog->SetInitialDir(dir.Path());
    dialog->SetFilter("All Files (*.*)|*.*");
    WhenShown<QFileDialog>([&](QFileDialog* d) {
      d->setViewMode(QFileDialog::Detail);
      auto* details = d->findChild<QTreeView*>();
      ASSERT_NE(details, nullptr);
      // The folder is read in the background: its two files, then their columns laid out.
      EXPECT_TRUE(QTest::qWaitFor([&] { return details->model()->rowCount(details->rootIndex()) == 2; }));
      QTest::qWait(0);
      const QHeaderView* header = details->header();
      const QAbstractItemView* view = details;  // where the width a column's texts need is public
      ASSERT_EQ(header->count(), 4);  // name, size, type, date
      for (int column = 0; column < header->count(); ++column) {
        SCOPED_TRACE(column);
        const int needed = std::max(view->sizeHintForColumn(column), header->sectionSizeHint(column));
        EXPECT_GE(header->sectionSize(column), needed);
        EXPECT_LE(header->sectionViewportPosition(column) + header->sectionSize(column),
                  details->viewport()->width());
      }
      d->reject();
    });
    EXPECT_FALSE(dialog->Execute());
  }
}
