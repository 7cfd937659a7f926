// The report's forms driven as a user drives them: real keys and mouse
// clicks on windows shown offscreen.

#include <gtest/gtest.h>

#include <QImage>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "fake_report.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "report/output/ppcnldlg.h"
#include "report/output/pppreview.h"
#include "report/output/ppprndlg.h"
#include "virtual_printers.h"
#include "platform/classlib/core/temp_dir.h"

using namespace testing_support;

namespace {

QWidget* Native(TWinControl* c) {
  return ClientOf(c)->focusProxy() ? ClientOf(c)->focusProxy() : ClientOf(c);
}

// Types into a box from empty, then presses a key (Tab leaves it).
void Type(TWinControl* box, const char* text, Qt::Key then) {
  QTest::mouseClick(Native(box), Qt::LeftButton, {}, QPoint(3, 3));
  QTest::keyClick(Native(box), Qt::Key_End);
  for (int i = 0; i < 16; ++i) QTest::keyClick(Native(box), Qt::Key_Backspace);
  QTest::keyClicks(Native(box), text);
  QTest::keyClick(Native(box), then);
  Pump();
}

// A click in the middle of a control (a windowless one through its parent).
void ClickOn(TControl* c) {
  if (auto* window = dynamic_cast<TWinControl*>(c))
    Click(window, c->Width() / 2, c->Height() / 2);
  else
    Click(c->Parent(), c->Left() + c->Width() / 2, c->Top() + c->Height() / 2);
  Pump();
}

TEST(ReportForms, TheReportsFormsAreRegisteredAtStart) {
  EXPECT_EQ(ppGetFormClass(TppCustomPreviewer::StaticClass()), TppPrintPreview::StaticClass());
  EXPECT_EQ(ppGetFormClass(TppCustomPrintDialog::StaticClass()), TppPrintDialog::StaticClass());
  EXPECT_EQ(ppGetFormClass(TppCustomCancelDialog::StaticClass()), TppCancelDialog::StaticClass());
}

class ReportPrintDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    printer.PrinterSetup()->SetPrinterName("Virtual 600");
    dialog = new TppPrintDialog(nullptr);
    dialog->Printer = &printer;
    dialog->Show();
    Pump();
  }
  void TearDown() override { delete dialog; }
  TVirtualPrinters printers{{{"Virtual 600", 600}, {"Virtual 300", 300}}};
  TppPrinter printer;
  TppPrintDialog* dialog = nullptr;
};

TEST_F(ReportPrintDialog, CopiesAreANumberFrom1To999) {
  EXPECT_EQ(dialog->lblPrinterDesc->Caption(), "Virtual 600");
  EXPECT_EQ(dialog->Caption(), "Print");
  struct Case {
    const char* typed;
    std::string shown;
  };
  const Case cases[] = {{"ab", "1"}, {"0", "1"}, {"12", "12"}, {"1000", "100"}, {"", "1"}};
  for (const Case& c : cases) {
    Type(dialog->edtCopies, c.typed, Qt::Key_Tab);
    EXPECT_EQ(dialog->edtCopies->Text(), c.shown) << c.typed;
  }
  dialog->spnCopies->Step(btPrev);
  EXPECT_EQ(dialog->edtCopies->Text(), "1");  // no step below 1
  dialog->edtCopies->SetText("999");
  dialog->spnCopies->Step(btNext);
  EXPECT_EQ(dialog->edtCopies->Text(), "999");
  dialog->spnCopies->Step(btPrev);
  EXPECT_EQ(dialog->edtCopies->Text(), "998");
}

TEST_F(ReportPrintDialog, PagesMustNameAPageBeforeOKCloses) {
  TDialogResponderScope messages([](TDialogRequest& r) { return r.Buttons.front(); });
  struct Case {
    const char* pages;
    bool accepted;
  };
  // Pages beyond any report are left to the print job, which names the pages
  // there are; only a list naming no page is refused.
  const Case cases[] = {{"", false}, {"x-y", false}, {"1-2000000000", true},
                        {"999999999", true}, {"3,1-2", true}};
  for (const Case& c : cases) {
    dialog->SetModalResult(mrNone);
    Type(dialog->edtPages, c.pages, Qt::Key_Tab);  // entering the box chooses Pages
    EXPECT_TRUE(dialog->rdbPages->Checked());
    ClickOn(dialog->btnOK);
    EXPECT_EQ(dialog->ModalResult(), c.accepted ? mrOk : mrNone) << c.pages;
  }
  ASSERT_EQ(messages.Count(), 2);
  EXPECT_EQ(messages.Texts()[0], "No pages entered.");
  EXPECT_EQ(dialog->PageRequest, 1);
  EXPECT_EQ(dialog->PageList.Count(), 3);
  // All empties the box; Current Page asks for the shown page.
  ClickOn(dialog->rdbCurrentPage);
  EXPECT_EQ(dialog->edtPages->Text(), "");
  Type(dialog->edtCopies, "3", Qt::Key_Tab);
  ClickOn(dialog->btnOK);
  EXPECT_EQ(dialog->PageRequest, 2);
  EXPECT_EQ(printer.PrinterSetup()->Copies(), 3);
}

// With the PDF printer, OK asks for the file while the print dialog is still
// open: a name typed without an extension gets ".pdf", one with an extension
// keeps it, the last name is offered again. Cancelling the file, not
// replacing a file that is there or naming a folder that is not keeps the
// print dialog open with the name it had (the file dialog asks again after
// such an answer; it is cancelled then).
TEST_F(ReportPrintDialog, ThePdfPrinterAsksForItsFileBeforeOKCloses) {
  printer.PrinterSetup()->SetPrinterName("PDF");
  const TempDir scratch;
  const std::string dir = scratch.Path() + "/";
  std::ofstream(dir + "existing.pdf") << "kept";
  struct Case {
    std::string typed;  // empty: the file dialog is cancelled
    std::string offered, fileName;
    TModalResult closes;
    std::string asked;  // the question on the way, answered No
  };
  const Case cases[] = {
      {"defects", "", dir + "defects.pdf", mrOk, ""},
      {"", dir + "defects.pdf", dir + "defects.pdf", mrNone, ""},
      {"listing.PDF", dir + "defects.pdf", dir + "listing.PDF", mrOk, ""},
      {"notes.txt", dir + "listing.PDF", dir + "notes.txt", mrOk, ""},
      {"existing", dir + "notes.txt", dir + "notes.txt", mrNone,
       dir + "existing.pdf already exists.\nDo you want to replace it?"},
      {"no folder/defects", dir + "notes.txt", dir + "notes.txt", mrNone,
       dir + "no folder/defects.pdf\nPath does not exist.\nPlease verify the correct path was given."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    dialog->SetModalResult(mrNone);
    int asked = 0;
    bool whileOpen = false;
    std::string offered, question;
    TDialogResponderScope files([&](TDialogRequest& r) {
      if (r.Kind != TDialogKind::SaveFile) {
        question = r.Text;
        return std::find(r.Buttons.begin(), r.Buttons.end(), mrNo) != r.Buttons.end() ? mrNo : mrOk;
      }
      if (++asked > 1) return mrCancel;
      whileOpen = dialog->Visible() && dialog->ModalResult() == mrNone;
      auto* save = static_cast<TSaveDialog*>(r.Dialog);
      offered = save->FileName();
      if (c.typed.empty()) return mrCancel;
      save->SetFileName(dir + c.typed);
      return mrOk;
    });
    ClickOn(dialog->btnOK);
    EXPECT_EQ(asked, c.asked.empty() ? 1 : 2);
    EXPECT_TRUE(whileOpen);
    EXPECT_EQ(offered, c.offered);
    EXPECT_EQ(question, c.asked);
    EXPECT_EQ(printer.FileName, c.fileName);
    EXPECT_EQ(dialog->ModalResult(), c.closes);
  }
}

// The rightmost column of dark caption pixels in a control's image.
int InkRight(TWinControl* c) {
  const QImage image = ClientOf(c)->grab().toImage();
  int right = -1;
  for (int y = 0; y < image.height(); ++y)
    for (int x = right + 1; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 0x60) right = x;
  return right;
}

// Each range choice shows its whole caption ("Current Page", not "Current
// Pag"): widened, it draws nothing more; a click through the window on the
// caption's last letter chooses it.
TEST_F(ReportPrintDialog, TheRangeChoicesShowTheirWholeCaptions) {
  for (TRadioButton* radio : {dialog->rdbAll, dialog->rdbCurrentPage, dialog->rdbPages}) {
    SCOPED_TRACE(radio->Caption());
    const int width = radio->Width();
    const int shown = InkRight(radio);
    radio->SetWidth(width + 200);
    Pump();
    const int whole = InkRight(radio);
    radio->SetWidth(width);
    Pump();
    EXPECT_EQ(shown, whole);
    const TPoint at = radio->ClientToScreen({whole - 1, radio->Height() / 2});
    const QPoint inWindow = vantrel::qt::WindowWidget(*dialog)->mapFromGlobal(QPoint(at.x, at.y));
    (radio == dialog->rdbAll ? dialog->rdbPages : dialog->rdbAll)->SetChecked(true);
    SystemClick(dialog, inWindow.x(), inWindow.y());
    EXPECT_TRUE(radio->Checked());
  }
}

TEST_F(ReportPrintDialog, ThePrinterButtonRunsTheSetupDialog) {
  int changes = 0;
  printer.OnSetupChanged = [&](TObject*) { ++changes; };
  std::vector<TModalResult> answers = {mrCancel, mrOk};
  TDialogResponderScope setup([&](TDialogRequest& r) {
    if (r.Kind != TDialogKind::PrinterSetup) return mrNone;
    const int index = Printer()->Printers()->IndexOf("Virtual 300");
    Printer()->SetPrinterIndex(index);
    Printer()->SetOrientation(poLandscape);
    const TModalResult answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  });
  ClickOn(dialog->btnPrinter);  // cancelled: nothing changes
  EXPECT_FALSE(dialog->PrinterChanged);
  EXPECT_EQ(printer.PrinterName(), "Virtual 600");
  ClickOn(dialog->btnPrinter);
  EXPECT_TRUE(dialog->PrinterChanged);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(dialog->lblPrinterDesc->Caption(), "Virtual 300");
  EXPECT_EQ(printer.PrinterSetup()->Orientation(), poLandscape);
  EXPECT_EQ(printer.DevMode().dmOrientation, DMORIENT_LANDSCAPE);
}

class ReportPreview : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    ppSetScreenPixelsPerInch(96);
    preview = new TppPrintPreview(nullptr);
    preview->OnDestroyed = [this](TObject*) { preview = nullptr; };
    preview->SetReport(&report);
    preview->Show();
    Pump();
    preview->GetViewer()->ScreenDevice()->RequestPages();
    Pump();
  }
  void TearDown() override {
    delete preview;
    ppSetScreenPixelsPerInch(0);
  }
  TFakeReport report{3};
  TppPrintPreview* preview = nullptr;
};

TEST_F(ReportPreview, ShowsThePageAndItsStatus) {
  EXPECT_EQ(preview->Caption(), "Print Preview");
  EXPECT_EQ(preview->pnlStatusBar->SimpleText(), "Page 1 of 3");
  EXPECT_EQ(Trim(preview->mskPreviewPage->Text()), "1");
  EXPECT_TRUE(preview->spbPreviewWhole->Down());
  TppViewer* viewer = preview->GetViewer();
  const TPoint o = viewer->ScreenDevice()->PageOrigin();
  TScrollBox* box = viewer->ScrollBox();
  auto shot = Snapshot(box);
  const int border = (box->Width() - box->ClientWidth()) / 2;
  const auto at = [&](int x, int y) {
    return ColorToRGB(shot->Canvas()->Pixels(x + border, y + border));
  };
  EXPECT_EQ(at(2, 2), ColorToRGB(clBtnShadow));
  EXPECT_EQ(at(o.x, o.y + 20), clBlack);
  EXPECT_EQ(at(o.x + 3, o.y + 3), clWhite);
}

TEST_F(ReportPreview, TypedNumbersMoveAndZoom) {
  Type(preview->mskPreviewPage, "3", Qt::Key_Return);
  EXPECT_EQ(preview->GetViewer()->AbsolutePageNo(), 3);
  Type(preview->mskPreviewPercentage, "400", Qt::Key_Return);
  EXPECT_EQ(preview->GetViewer()->ZoomPercentage(), 250);
  EXPECT_EQ(preview->GetViewer()->ZoomSetting(), zsPercentage);
  EXPECT_EQ(Trim(preview->mskPreviewPercentage->Text()), "250");
  EXPECT_FALSE(preview->spbPreviewWhole->Down());
  ClickOn(preview->spbPreview100Percent);
  EXPECT_EQ(preview->GetViewer()->ZoomSetting(), zs100Percent);
  EXPECT_EQ(Trim(preview->mskPreviewPercentage->Text()), "100");
  ClickOn(preview->spbPreviewFirst);
  EXPECT_EQ(preview->GetViewer()->AbsolutePageNo(), 1);
}

TEST_F(ReportPreview, CloseCancelsARunningGenerationBeforeItCloses) {
  std::vector<std::string> captions;
  report.OnPage = [&](TppPage& page) {
    if (page.AbsolutePageNo != 2) return;
    captions.push_back(preview->spbPreviewClose->Caption());
    EXPECT_EQ(preview->GetViewer()->PaintBox()->Cursor(), crHourGlass);
    EXPECT_FALSE(preview->mskPreviewPage->Enabled());
    ClickOn(preview->spbPreviewClose);
  };
  ClickOn(preview->spbPreviewLast);
  EXPECT_TRUE(report.cancelled);
  EXPECT_EQ(captions, std::vector<std::string>{"Cancel"});
  ASSERT_NE(preview, nullptr);  // still open
  EXPECT_EQ(preview->spbPreviewClose->Caption(), "Close");
  EXPECT_TRUE(preview->mskPreviewPage->Enabled());
  ClickOn(preview->spbPreviewClose);
  Pump();
  EXPECT_EQ(preview, nullptr);  // closing frees the form
}

TEST_F(ReportPreview, TheOwnerHearsOfAWindowCloseFirst) {
  int heard = 0;
  preview->OnCloseMessage = [&](TObject*) {
    ++heard;
    EXPECT_NE(preview, nullptr);
  };
  preview->Perform(WM_CLOSE);
  Pump();
  EXPECT_EQ(heard, 1);
  EXPECT_EQ(preview, nullptr);
}

TEST(ReportCancelDialog, ItsTimerEndsAModalDialog) {
  auto* dialog = new TppCancelDialog(nullptr);
  bool freed = false;
  dialog->OnDestroyed = [&](TObject*) { freed = true; };
  dialog->CloseTimer()->SetEnabled(true);
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  Pump();
  EXPECT_TRUE(freed);
}

TEST(ReportCancelDialog, DisablesTheActiveFormWhileShown) {
  auto owner = ShownForm();
  owner->SetFocus();
  Pump();
  ASSERT_EQ(Screen->ActiveForm(), owner.get());
  auto* dialog = new TppCancelDialog(nullptr);
  int cancels = 0;
  bool freed = false;
  dialog->OnCancel = [&](TObject*) { ++cancels; };
  dialog->OnDestroyed = [&](TObject*) { freed = true; };
  dialog->AllowCancel = true;
  dialog->SetStatusText("Printing page 1");
  dialog->Show();
  Pump();
  EXPECT_FALSE(owner->Enabled());
  EXPECT_EQ(dialog->memMessage->Text(), "Printing page 1");
  EXPECT_EQ(dialog->Caption(), "Printing");
  EXPECT_TRUE(dialog->btnCancel->Enabled());
  EXPECT_EQ(dialog->btnCancel->Left(), (dialog->ClientWidth() - dialog->btnCancel->Width()) / 2);
  Click(dialog->btnCancel, 5, 5);
  Pump();
  EXPECT_EQ(cancels, 1);
  EXPECT_TRUE(freed);
  EXPECT_TRUE(owner->Enabled());
}

}  // namespace
