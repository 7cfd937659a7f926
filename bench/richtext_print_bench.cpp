// Printing one entry whose memo is long rich text: a stretching rich text in
// a band of dynamic height on letter paper, printed to the built-in PDF
// printer, for memos of 32 KB, 128 KB and 1 MB of RTF (richmemo.h: 10-point
// paragraphs, a third of the runs bold and coloured).
//
// The print must take time linear in the memo's length: ms_per_KB stays flat
// from 32 KB to 1 MB (target: the 1 MB memo's within 1.5 times the 32 KB
// one's). Two yardsticks run in the same run, interleaved with
// the print (each goes first in turn), and the counters give their medians
// and the ratios of the medians:
// - plain_ms / x_plain: the same memo's text stored as plain text, printed by
//   the same report (more of it fits a page: it takes the editor's smaller
//   font);
// - screen_ms / x_screen: the memo shown on screen as the memo panes show it,
//   loaded into a rich edit on a shown window that then paints.
// pages is the number of pages the memo prints on.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/streams.h"
#include "platform/classlib/richedit/richedit.h"
#include "report/components/pprichtx.h"
#include "report/output/ppprndev.h"
#include "reportlisting.h"
#include "richmemo.h"
#include "trackertable.h"

namespace {

constexpr int32_t kMargin = 6350, kLetterWidth = 215900, kLetterHeight = 279400;

std::string PdfFile() {
  return (std::filesystem::temp_directory_path() /
          ("vantrel-richprint-bench-" + std::to_string(::getpid()) + ".pdf"))
      .string();
}

// One entry, its memo in a stretching rich text across the page.
struct MemoReport {
  MemoReport() {
    Application->Initialize();
    report = new TppReport(&form);
    report->SetDataPipeline(&entry);
    report->SetUnits(utMMThousandths);
    report->SetShowPrintDialog(false);
    report->SetShowCancelDialog(false);
    TppPrinterSetup* setup = report->PrinterSetup();
    setup->SetPrinterName("PDF");
    setup->SetPaperName("Letter");
    setup->SetPaperWidth(kLetterWidth);
    setup->SetPaperHeight(kLetterHeight);
    setup->SetMarginTop(kMargin);
    setup->SetMarginBottom(kMargin);
    setup->SetMarginLeft(kMargin);
    setup->SetMarginRight(kMargin);
    auto* detail = new TppDetailBand(&form);
    detail->SetmmHeight(10000);
    detail->SetPrintHeight(phDynamic);
    detail->SetReport(report);
    memo = new TppRichText(&form);
    memo->SetBand(detail);
    memo->SetmmBounds(0, 0, kLetterWidth - 2 * kMargin, 10000);
    memo->SetStretch(true);
  }
  ~MemoReport() {
    delete report;
    std::filesystem::remove(pdf);
  }
  // Prints `text` as the memo to the PDF printer; the pages printed.
  int Print(const std::string& text) {
    memo->SetRichText(text);
    TppPrinterDevice device;
    device.Printer()->SetPrinterSetup(*report->PrinterSetup());
    device.Printer()->FileName = pdf;
    device.SetPublisher(report->Publisher());
    report->PrintPages();
    device.SetPublisher(nullptr);
    return report->Engine()->AbsolutePageCount();
  }

  TComponent form{nullptr};
  bench_listing::TArrayPipeline entry{1};
  TppReport* report;
  TppRichText* memo;
  const std::string pdf = PdfFile();
};

// A memo pane: a rich edit filling a shown window.
struct MemoPane {
  MemoPane() {
    form.SetBounds(0, 0, 800, 600);
    edit = new TRichEdit(&form);
    edit->SetParent(&form);
    edit->SetAlign(alClient);
    form.Show();
    Application->ProcessMessages();
  }
  void Show(const std::string& text) {
    TStringStream stream(text);
    edit->Lines()->LoadFromStream(&stream);
    edit->Repaint();
    Application->ProcessMessages();
  }
  TForm form{nullptr};
  TRichEdit* edit;
};

void BM_PrintLongRichMemo(benchmark::State& state) {
  const std::string rtf = RtfWrite(bench::Memo(size_t(state.range(0)) * 1024));
  const std::string plain = MemoPlainText(rtf);
  MemoReport report;
  MemoPane pane;
  std::vector<double> prints, plains, screens;
  int pages = 0, turn = 0;
  for (auto _ : state) {
    double printed = 0;
    for (int i = 0; i < 3; ++i) switch ((turn + i) % 3) {
        case 0: printed = bench::SecondsOf([&] { pages = report.Print(rtf); }); break;
        case 1: plains.push_back(bench::SecondsOf([&] { report.Print(plain); })); break;
        case 2: screens.push_back(bench::SecondsOf([&] { pane.Show(rtf); })); break;
      }
    ++turn;
    prints.push_back(printed);
    state.SetIterationTime(printed);
  }
  const double print = bench::Median(prints);
  state.counters["KB"] = double(rtf.size()) / 1024;
  state.counters["pages"] = pages;
  state.counters["median_ms"] = print * 1e3;
  state.counters["ms_per_KB"] = print * 1e3 / (double(rtf.size()) / 1024);
  state.counters["plain_ms"] = bench::Median(plains) * 1e3;
  state.counters["x_plain"] = print / bench::Median(plains);
  state.counters["screen_ms"] = bench::Median(screens) * 1e3;
  state.counters["x_screen"] = print / bench::Median(screens);
}
BENCHMARK(BM_PrintLongRichMemo)
    ->ArgName("KB")
    ->Arg(32)
    ->Arg(128)
    ->Arg(1024)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
