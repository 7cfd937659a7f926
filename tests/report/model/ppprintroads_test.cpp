// The printing roads with their real forms offscreen: preview, print dialog,
// cancel dialog, printer and text file, and machines without a printer.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../output/virtual_printers.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "report/output/ppcnldlg.h"
#include "report/output/pppreview.h"
#include "report/output/ppprndlg.h"
#include "reportrig.h"

using namespace testing_support;

namespace {

// A listing of `rows` saved IDs on the 600-dpi virtual printer.
class PrintRoads : public ::testing::Test {
 protected:
  explicit PrintRoads(int rows = 60, bool withPrinter = true)
      : printers(withPrinter ? std::make_unique<TVirtualPrinters>(
                                   std::vector<std::pair<std::string, int>>{{"Virtual 600", 600}})
                             : std::make_unique<TVirtualPrinters>(
                                   std::vector<std::pair<std::string, int>>{})),
        listing(rows) {
    listing.detail->SetSave(true);
    listing.detail->Components(0)->SetName("txtID");
    static_cast<TppCustomText*>(listing.detail->Components(0))->SetSave(true);
    listing.device.SetPublisher(nullptr);  // the roads bring their own devices
    report()->PrinterSetup()->SetPrinterName("Virtual 600");
    report()->SetShowCancelDialog(false);
    report()->SetShowPrintDialog(false);
    dir = std::filesystem::temp_directory_path() / ("vantrel-roads-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
  }
  ~PrintRoads() override {
    ppSetPdfPrinterWithheld(false);
    std::filesystem::remove_all(dir);
  }
  TppReport* report() { return listing.report; }
  TRecordingPrinter& printer() { return (*printers)[0]; }
  std::string Read(const std::string& name) {
    std::ifstream in(dir / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::unique_ptr<TVirtualPrinters> printers;
  Listing listing;
  std::filesystem::path dir;
};

// A machine with no printer at all.
class NoPrinter : public PrintRoads {
 protected:
  NoPrinter() : PrintRoads(60, false) { ppSetPdfPrinterWithheld(true); }
};

TEST_F(NoPrinter, PrintingSays411AndATextFileStillWorks) {
  if (ppPrinterAvailable()) GTEST_SKIP() << "this machine has a printer of its own";
  TDialogResponderScope answers([](TDialogRequest& r) { return r.Buttons.front(); });
  for (TppDeviceType device : {dvPrinter, dvFile}) {
    report()->SetDevice(device);
    report()->SetShowPrintDialog(device == dvFile);  // a dialog needs a printer to show
    report()->Print();
  }
  ASSERT_EQ(answers.Count(), 2);
  EXPECT_EQ(answers.Texts()[0], "There are no printers connected to your computer.");
  EXPECT_EQ(answers.Texts()[1], answers.Texts()[0]);
  // A text file named by the report needs no printer.
  report()->SetShowPrintDialog(false);
  report()->SetTextFileName((dir / "ids.txt").string());
  report()->Print();
  EXPECT_EQ(answers.Count(), 2);
  const std::string text = Read("ids.txt");
  EXPECT_EQ(text.substr(0, 9), "1\r\n2\r\n3\r\n");
  EXPECT_EQ(text.substr(text.size() - 4), "\r\n60");
}

TEST_F(PrintRoads, AModalCancelDialogRunsTheJobAndEverythingIsPutBack) {
  report()->SetDevice(dvPrinter);
  report()->SetShowCancelDialog(true);
  report()->PrinterSetup()->SetCopies(1);
  TppPrinterSetup before;
  before.Assign(report()->PrinterSetup());
  std::vector<std::string> shown;
  TDialogResponderScope forms([&](TDialogRequest& r) {
    shown.push_back(r.Dialog->ClassName());
    return mrNone;  // the job closes it
  });
  report()->Print();
  EXPECT_EQ(shown, std::vector<std::string>{"TppCancelDialog"});
  EXPECT_EQ(printer().Pages().size(), 3u);
  EXPECT_TRUE(printer().JobEnded());
  EXPECT_EQ(report()->CancelDialog(), nullptr);
  EXPECT_TRUE(*report()->PrinterSetup() == before);
  EXPECT_TRUE(report()->Publisher()->Devices().empty());
}

TEST_F(PrintRoads, ThePrintDialogChoosesPagesOrCancelsTheJob) {
  report()->SetDevice(dvPrinter);
  report()->SetShowPrintDialog(true);
  std::string pages;  // empty: Cancel
  TDialogResponderScope forms([&](TDialogRequest& r) {
    auto* dialog = dynamic_cast<TppPrintDialog*>(r.Dialog);
    if (!dialog || pages.empty()) return mrCancel;
    dialog->rdbPages->SetChecked(true);
    dialog->edtPages->SetText(pages);
    dialog->btnOK->Click();
    return dialog->ModalResult();
  });
  report()->Print();
  EXPECT_EQ(forms.Count(), 1);
  EXPECT_TRUE(printer().Pages().empty());
  pages = "2-3";
  report()->Print();
  EXPECT_EQ(printer().Pages().size(), 2u);
  // Printing from the preview offers the shown page as the current one.
  pages = "1";
  report()->FormLink()->PrintFromPreview(3);
  EXPECT_EQ(printer().Pages().size(), 1u);
}

TEST_F(PrintRoads, TheModalPreviewShowsPagesAndLeavesWithItsForm) {
  std::vector<std::string> events;
  report()->OnPreviewFormCreate = [&](TObject*) { events.push_back("create"); };
  report()->OnPreviewFormClose = [&](TObject*) { events.push_back("close"); };
  std::string status;
  int drawn = 0;
  TDialogResponderScope forms([&](TDialogRequest& r) {
    auto* preview = dynamic_cast<TppPrintPreview*>(r.Dialog);
    if (!preview) return mrCancel;
    Pump();
    status = preview->pnlStatusBar->SimpleText();
    drawn = preview->ppViewer1->ScreenDevice()->CurrentPage()->AbsolutePageNo;
    preview->Close();
    return mrNone;
  });
  report()->Print();  // dvScreen is the default
  EXPECT_EQ(forms.Count(), 1);
  EXPECT_EQ(drawn, 1);
  EXPECT_NE(status.find("Page 1"), std::string::npos) << status;
  EXPECT_EQ(events, (std::vector<std::string>{"create", "close"}));
  EXPECT_EQ(report()->PreviewForm(), nullptr);
}

TEST_F(PrintRoads, AModelessPreviewStaysUntilClosedAndThenLetsTheReportGo) {
  report()->SetModalPreview(false);
  report()->Print();
  TppCustomPreviewer* form = report()->PreviewForm();
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(form->Visible());
  EXPECT_EQ(form->GetViewer()->ScreenDevice()->CurrentPage()->AbsolutePageNo, 1);
  report()->Print();  // shown again, not made twice
  EXPECT_EQ(report()->PreviewForm(), form);
  form->Close();
  Pump();
  EXPECT_EQ(report()->PreviewForm(), nullptr);
}

class PrintRoadsNoRecords : public PrintRoads {
 protected:
  PrintRoadsNoRecords() : PrintRoads(0) {}
};

TEST_F(PrintRoadsNoRecords, AnEmptyRunPrintsNothingWithoutError) {
  report()->SetDevice(dvPrinter);
  EXPECT_NO_THROW(report()->Print());
  EXPECT_TRUE(printer().Pages().size() <= 1u);
}

}  // namespace
