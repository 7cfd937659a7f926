// The printing roads with their real forms offscreen: preview, print dialog,
// cancel dialog, printer and text file, and machines without a printer.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <algorithm>

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

// A modal preview whose report cannot be laid out raises the error once its
// form is gone: the form never outlives its showing.
TEST_F(PrintRoads, AModalPreviewThatFailsLeavesWithItsForm) {
  listing.detail->SetmmHeight(400000);  // taller than the page
  TDialogResponderScope forms([](TDialogRequest& r) {
    return dynamic_cast<TppPrintPreview*>(r.Dialog) ? mrNone : mrCancel;
  });
  EXPECT_THROW(report()->Print(), EPrintError);
  EXPECT_EQ(forms.Count(), 1);
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

// The folder holds just the named files: no part-written file left beside.
std::vector<std::string> Listed(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A job stopped after its first page, or failing before any, throws its output
// away: a PDF or text file is not made and an older one stays; a printer job
// is aborted; the report says how the job ended.
TEST_F(PrintRoads, AStoppedJobLeavesNoFileAndTheReportSaysWhy) {
  std::filesystem::path pdf = dir / "ids.pdf";
  auto* previous = AskPrintFileName;
  AskPrintFileName = [](const std::string&) { return std::string(); };
  struct Case {
    const char* what;
    TppDeviceType device;
    const char* printer;
    bool fails;  // else cancelled after page 1
    bool oldFile;
  };
  const Case cases[] = {{"pdf cancelled", dvPrinter, "PDF", false, false},
                        {"pdf cancelled over an old file", dvPrinter, "PDF", false, true},
                        {"pdf failing", dvPrinter, "PDF", true, true},
                        {"text cancelled over an old file", dvFile, "PDF", false, true},
                        {"text failing", dvFile, "PDF", true, false},
                        {"printer cancelled", dvPrinter, "Virtual 600", false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string target = c.device == dvFile ? (dir / "ids.txt").string() : pdf.string();
    if (c.oldFile) std::ofstream(target) << "old";
    report()->PrinterSetup()->SetPrinterName(c.printer);
    ppPrinter()->FileName.clear();
    report()->SetDevice(c.device);
    report()->SetTextFileName(target);
    report()->OnEndPage = [&](TObject*) { if (!c.fails) report()->CancelGeneration(); };
    listing.detail->SetmmHeight(c.fails ? 400000 : 10000);  // taller than the page
    // The PDF printer asks for its file at the first page.
    static std::string asked;
    asked = pdf.string();
    AskPrintFileName = [](const std::string&) { return asked; };
    if (c.fails) EXPECT_THROW(report()->Print(), EPrintError);
    else EXPECT_NO_THROW(report()->Print());
    EXPECT_EQ(report()->LastJobOutcome(),
              c.fails ? TppJobOutcome::Failed : TppJobOutcome::Cancelled);
    if (c.oldFile) {
      EXPECT_EQ(Read(std::filesystem::path(target).filename().string()), "old");
      EXPECT_EQ(Listed(dir), std::vector<std::string>{std::filesystem::path(target).filename()});
    } else {
      EXPECT_TRUE(Listed(dir).empty());
    }
    if (std::string(c.printer) == "Virtual 600") {
      EXPECT_TRUE(printer().Pages().empty());
      EXPECT_FALSE(printer().JobEnded());
    }
  }
  // A job that runs to its end says so.
  report()->OnEndPage = nullptr;
  listing.detail->SetmmHeight(10000);
  report()->Print();
  EXPECT_EQ(report()->LastJobOutcome(), TppJobOutcome::Printed);
  EXPECT_EQ(printer().Pages().size(), 3u);
  AskPrintFileName = previous;
}

// The text file asks each saved text's OnSave, with the device as sender.
TEST_F(PrintRoads, ATextFileCallsTheTextsOnSave) {
  auto* id = static_cast<TppCustomText*>(listing.detail->Components(0));
  std::vector<std::string> senders;
  id->OnSave = [&](TObject* sender, std::string& text) {
    senders.push_back(sender ? sender->ClassName() : "none");
    text = "#" + text;
  };
  report()->SetDevice(dvFile);
  report()->SetTextFileType(ftCustom);
  report()->SetTextFileName((dir / "ids.txt").string());
  report()->Print();
  EXPECT_EQ(Read("ids.txt").substr(0, 8), "#1#2#3#4");
  ASSERT_EQ(senders.size(), 60u);
  EXPECT_EQ(senders.front(), "TppTextFileDevice");
}

// Cancel in a modeless cancel dialog frees the dialog; the job ends cleanly
// and the report lets go of it.
TEST_F(PrintRoads, CancelInAModelessCancelDialogEndsTheJobOnce) {
  report()->SetDevice(dvPrinter);
  report()->SetShowCancelDialog(true);
  report()->SetModalCancelDialog(false);
  report()->OnEndPage = [&](TObject*) {
    auto* dialog = dynamic_cast<TppCancelDialog*>(report()->CancelDialog());
    ASSERT_NE(dialog, nullptr);
    dialog->btnCancel->Click();
    Pump();  // the dialog frees itself
  };
  report()->Print();
  EXPECT_EQ(report()->CancelDialog(), nullptr);
  EXPECT_EQ(report()->LastJobOutcome(), TppJobOutcome::Cancelled);
  EXPECT_TRUE(printer().Pages().empty());
  report()->OnEndPage = nullptr;
  report()->Print();  // a next job runs as usual
  EXPECT_EQ(printer().Pages().size(), 3u);
}

// Both devices that print or write pages tell the job's cancel dialog how far
// they are (the printer by its name, the text file by its path); Cancel frees
// the dialog, the device no longer reaches it, and the next job gets its own.
TEST_F(PrintRoads, EachDeviceShowsItsProgressInTheCancelDialogUntilCancelled) {
  const std::string file = (dir / "ids.txt").string();
  const std::pair<TppDeviceType, std::string> devices[] = {{dvPrinter, "Virtual 600"}, {dvFile, file}};
  for (const auto& [device, where] : devices) {
    SCOPED_TRACE(where);
    report()->SetDevice(device);
    report()->SetTextFileName(file);
    report()->SetShowCancelDialog(true);
    report()->SetModalCancelDialog(false);
    for (int cancelAt : {2, 0}) {
      std::vector<std::string> statuses;
      report()->OnEndPage = [&](TObject*) {
        auto* dialog = dynamic_cast<TppCancelDialog*>(report()->CancelDialog());
        ASSERT_NE(dialog, nullptr);
        statuses.push_back(dialog->StatusText());
        if (int(statuses.size()) != cancelAt) return;
        dialog->btnCancel->Click();
        Pump();  // the dialog frees itself
      };
      report()->Print();
      EXPECT_EQ(report()->CancelDialog(), nullptr);
      EXPECT_EQ(report()->LastJobOutcome(), cancelAt ? TppJobOutcome::Cancelled : TppJobOutcome::Printed);
      if (cancelAt) {
        EXPECT_EQ(statuses.size(), 2u) << "no page after the Cancel";
      }
      ASSERT_GE(statuses.size(), 2u);
      // Page 1 is out by the end of page 2, and the dialog says where it went.
      EXPECT_NE(statuses[1].find('1'), std::string::npos) << statuses[1];
      EXPECT_NE(statuses[1].find(where), std::string::npos) << statuses[1];
    }
  }
  report()->OnEndPage = nullptr;
}

// A page list that reaches beyond the report names the pages there are.
TEST_F(PrintRoads, APageListBeyondTheEndTellsWhichPagesExist) {
  report()->SetDevice(dvPrinter);
  report()->SetShowPrintDialog(true);
  std::string pages;
  std::vector<std::string> told;
  TDialogResponderScope forms([&](TDialogRequest& r) {
    if (auto* dialog = dynamic_cast<TppPrintDialog*>(r.Dialog)) {
      dialog->rdbPages->SetChecked(true);
      dialog->edtPages->SetText(pages);
      dialog->btnOK->Click();
      return dialog->ModalResult();
    }
    told.push_back(r.Text);
    return r.Buttons.empty() ? mrOk : r.Buttons.front();
  });
  struct Case {
    const char* pages;
    size_t printed;
    const char* told;  // empty: nothing to tell
  };
  const Case cases[] = {
      {"5-9", 0, "Nothing was printed: the pages asked for do not exist. The report has pages 1 to 3."},
      {"2-5", 2, "Pages after 3 were not printed. The report has pages 1 to 3."},
      {"1-2000000000", 3, "Pages after 3 were not printed. The report has pages 1 to 3."},
      {"1-3", 3, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pages);
    pages = c.pages;
    told.clear();
    report()->Print();
    EXPECT_EQ(printer().Pages().size(), c.printed);
    EXPECT_EQ(told, *c.told ? std::vector<std::string>{c.told} : std::vector<std::string>{});
  }
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
