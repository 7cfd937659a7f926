// The application's comprehensive report of all programs, loaded from its
// layout in text form: grouped on ProgramNumber, five chained regions of
// database rich text with the empty ones hidden by the detail band, two
// passes on letter paper. Previewed offscreen and printed to a PDF file on a
// machine that has no printer.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "../command_output.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/db/datasource.h"
#include "platform/classlib/db/memdataset.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "report/components/ppregion.h"
#include "report/components/pprichtx.h"
#include "report/data/ppdbbde.h"
#include "report/data/pptmpl.h"
#include "report/model/ppbands.h"
#include "report/model/ppengine.h"
#include "report/model/ppreport.h"
#include "report/output/pppreview.h"
#include "platform/classlib/core/temp_dir.h"

using testing_support::Pump;

namespace {

const char* const kTexts[] = {"Report", "Workaround", "Steps", "Resolution", "Attachment"};

// One region of the chain: its label and its rich text, 14 mm apart.
std::string RegionText(int i) {
  const std::string name = kTexts[i], top = std::to_string(8000 + i * 14000);
  std::string shift = i == 0 ? "" : "      ShiftRelativeTo = rgn" + std::string(kTexts[i - 1]) + "\n";
  return "    object rgn" + name + ": TppRegion\n" + shift +
         "      Stretch = True\n      Pen.Style = psClear\n"
         "      mmHeight = 13000\n      mmLeft = 0\n      mmTop = " + top + "\n      mmWidth = 190000\n"
         "      object lbl" + name + ": TppLabel\n        Caption = '" + name + ":'\n"
         "        mmHeight = 5000\n        mmLeft = 0\n        mmTop = " + top + "\n"
         "        mmWidth = 30000\n      end\n"
         "      object rtf" + name + ": TppDBRichText\n        Stretch = True\n"
         "        DataField = '" + name + "Text'\n        DataPipeline = plBugs\n"
         "        mmHeight = 12000\n        mmLeft = 32000\n        mmTop = " + top + "\n"
         "        mmWidth = 155000\n      end\n    end\n";
}

std::string Layout() {
  std::string regions;
  for (int i = 0; i < 5; ++i) regions += RegionText(i);
  return "object ppReport1: TppReport\n"
         "  DataPipeline = plBugs\n  PassSetting = psTwoPass\n"
         "  PrinterSetup.DocumentName = 'Vantrel'\n  PrinterSetup.PaperName = 'Letter'\n"
         "  PrinterSetup.mmMarginBottom = 6350\n  PrinterSetup.mmMarginLeft = 6350\n"
         "  PrinterSetup.mmMarginRight = 6350\n  PrinterSetup.mmMarginTop = 6350\n"
         "  PrinterSetup.mmPaperHeight = 279400\n  PrinterSetup.mmPaperWidth = 215900\n"
         "  Version = '3.01'\n"
         "  object ppHeaderBand1: TppHeaderBand\n    mmHeight = 12000\n"
         "    object pplblTitle: TppLabel\n      Caption = 'Comprehensive Report'\n"
         "      mmHeight = 8000\n      mmLeft = 0\n      mmTop = 0\n      mmWidth = 120000\n"
         "    end\n  end\n"
         "  object ppDetailBand1: TppDetailBand\n    PrintHeight = phDynamic\n    mmHeight = 80000\n"
         "    object dbtReportNumber: TppDBText\n      DataField = 'ReportNumber'\n"
         "      DataPipeline = plBugs\n      mmHeight = 5000\n      mmLeft = 0\n      mmTop = 0\n"
         "      mmWidth = 30000\n    end\n" +
         regions +
         "  end\n"
         "  object ppFooterBand1: TppFooterBand\n    mmHeight = 10000\n"
         "    object ppCalcPage: TppCalc\n      CalcType = ctPageSetDesc\n      mmHeight = 5000\n"
         "      mmLeft = 150000\n      mmTop = 2000\n      mmWidth = 40000\n    end\n  end\n"
         "  object ppGroup1: TppGroup\n    BreakName = 'ProgramNumber'\n    DataPipeline = plBugs\n"
         "    object ppGroupHeaderBand1: TppGroupHeaderBand\n      mmHeight = 8000\n"
         "      object dbtProgram: TppDBText\n        DataField = 'ProgramNumber'\n"
         "        DataPipeline = plBugs\n        mmHeight = 6000\n        mmLeft = 0\n"
         "        mmTop = 0\n        mmWidth = 60000\n      end\n    end\n"
         "    object ppGroupFooterBand1: TppGroupFooterBand\n      mmHeight = 2000\n    end\n"
         "  end\nend\n";
}

std::string Rtf(const std::string& word, int paragraphs) {
  std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ";
  for (int i = 1; i <= paragraphs; ++i) rtf += word + " " + std::to_string(i) + "\\par ";
  return rtf + "}";
}

// The report window of all programs: entries of two programs, some texts
// long enough to go over a page, some empty.
struct Comprehensive {
  Comprehensive() : tmpl(nullptr) {
    data.FieldDefs().Add("ProgramNumber", ftInteger);
    data.FieldDefs().Add("ReportNumber", ftInteger);
    for (const char* t : kTexts) data.FieldDefs().Add(std::string(t) + "Text", ftMemo);
    data.Open();
    for (int n = 1; n <= 6; ++n) {
      std::vector<Variant> row{Variant(n <= 3 ? 1 : 2), Variant(n)};
      for (int t = 0; t < 5; ++t)
        row.push_back(Variant((n + t) % 3 == 0 ? std::string() : Rtf(kTexts[t], n == 2 ? 80 : 3)));
      data.AppendRecord(row);
    }
    data.First();
    source.SetDataSet(&data);
    form.SetName("frmReports_All_ByAll");
    pipeline = new TppBDEPipeline(&form);
    pipeline->SetName("plBugs");
    pipeline->SetDataSource(&source);
    report = new TppReport(&form);
    report->SetName("ppReport1");
    tmpl.SetReport(report);
    tmpl.SetOwnerForm(&form);
    tmpl.LoadFromBytes(Layout());
    // The window's detail handler: an entry's empty texts take no room.
    report->FindBand(bkDetail)->BeforePrint = [this](TObject*) {
      for (const char* t : kTexts) {
        auto* rich = dynamic_cast<TppDBRichText*>(form.FindComponent(std::string("rtf") + t));
        static_cast<TppRegion*>(form.FindComponent(std::string("rgn") + t))
            ->SetVisible(!rich->GetRichText().empty());
      }
    };
    report->SetShowCancelDialog(false);
    report->SetShowPrintDialog(false);
  }
  ~Comprehensive() { delete report; }

  TMemDataSet data;
  TDataSource source;
  TComponent form{nullptr};
  TppBDEPipeline* pipeline;
  TppReport* report;
  TppReportTemplate tmpl;
};

TEST(ComprehensiveReport, PreviewsWithThePageCountOfTheCountingPass) {
  Application->Initialize();
  Comprehensive app;
  std::string status;
  std::vector<std::string> checks;
  TDialogResponderScope forms([&](TDialogRequest& r) {
    auto* preview = dynamic_cast<TppPrintPreview*>(r.Dialog);
    if (!preview) return mrCancel;
    Pump();
    TppScreenDevice* screen = preview->ppViewer1->ScreenDevice();
    status = preview->pnlStatusBar->SimpleText();
    TBitmap* page = screen->PageBitmap();
    const TPoint o = screen->PageOrigin();
    const int w = screen->PageWidthPixels(), h = screen->PageHeightPixels();
    TCanvas* c = page->Canvas();
    auto rgb = [&](int x, int y) { return uint32_t(c->Pixels(x, y)) & 0xFFFFFF; };
    if (o.x > 0) checks.push_back(rgb(0, 0) == (uint32_t(ColorToRGB(clBtnShadow)) & 0xFFFFFF) ? "shadow" : "no shadow");
    checks.push_back(rgb(o.x, o.y + h / 2) == 0 ? "outline" : "no outline");
    checks.push_back(rgb(o.x + w / 2, o.y + 2) == 0xFFFFFF ? "white" : "not white");
    int inkedRows = 0;
    for (int y = o.y + 1; y < o.y + h - 1; ++y) {
      bool ink = false;
      for (int x = o.x + 2; x < o.x + w - 2 && !ink; ++x) ink = rgb(x, y) != 0xFFFFFF;
      inkedRows += ink;
    }
    checks.push_back(inkedRows > 20 ? "text rows" : "no text " + std::to_string(inkedRows));
    preview->Close();
    return mrNone;
  });
  app.report->Print();
  ASSERT_EQ(forms.Count(), 1);
  EXPECT_EQ(status.substr(0, 10), "Page 1 of ");
  EXPECT_GE(std::stoi(status.substr(10)), 3);
  for (const std::string& check : checks)
    EXPECT_TRUE(check == "shadow" || check == "outline" || check == "white" || check == "text rows")
        << check;
}

TEST(ComprehensiveReport, PrintsToAPdfFileWithoutAPrinter) {
  Application->Initialize();
  const TempDir scratch;
  const std::string pdf = scratch / "comprehensive.pdf";
  Comprehensive app;
  app.report->SetDevice(dvPrinter);
  app.report->PrinterSetup()->SetPrinterName("PDF");
  TDialogResponderScope files([&](TDialogRequest& r) {
    if (auto* save = dynamic_cast<TSaveDialog*>(r.Dialog)) save->SetFileName(pdf);
    return mrOk;
  });
  app.report->Print();
  const std::string info = CommandOutput("pdfinfo '" + pdf + "' 2>&1");
  EXPECT_NE(info.find("612 x 792 pts (letter)"), std::string::npos) << info;
  const size_t at = info.find("Pages:");
  ASSERT_NE(at, std::string::npos) << info;
  const int pages = std::stoi(info.substr(at + 6));
  EXPECT_GE(pages, 3);
  auto pageText = [&](int page) {
    const std::string n = std::to_string(page);
    return CommandOutput("pdftotext -f " + n + " -l " + n + " '" + pdf + "' - 2>/dev/null");
  };
  // Every page counted in its footer; the long text goes on from page 1 to page 2.
  for (int p = 1; p <= pages; ++p) {
    const std::string text = pageText(p);
    EXPECT_NE(text.find("Comprehensive Report"), std::string::npos) << p;
    EXPECT_NE(text.find("Page " + std::to_string(p) + " of " + std::to_string(pages)),
              std::string::npos)
        << p;
  }
  const std::string first = pageText(1), second = pageText(2);
  EXPECT_NE(first.find("Report 1\n"), std::string::npos);
  EXPECT_EQ(first.find("Report 80"), std::string::npos);
  EXPECT_NE(second.find("Report 80"), std::string::npos) << second;
}

}  // namespace
