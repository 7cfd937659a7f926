// Printing one entry whose memo is long rich text: a stretching rich text in
// a band of dynamic height on letter paper, printed to the built-in PDF
// printer. Each print starts from the stored bytes, as a new report does.
//
// The print must take time linear in the memo's length, whatever its shape.
//
// BM_PrintLongRichMemo: memos of 32 KB, 128 KB and 1 MB of RTF (richmemo.h:
// 10-point paragraphs of about 1.4 KB, a third of the runs bold and
// coloured); ms_per_KB stays flat from 32 KB to 1 MB. Two yardsticks run in
// the same run, interleaved with the print (each goes first in turn), and
// the counters give their medians and the ratios of the medians:
// - plain_ms / x_plain: the same memo's text stored as plain text, printed by
//   the same report (more of it fits a page: it takes the editor's smaller
//   font);
// - screen_ms / x_screen: the memo shown on screen as the memo panes show it,
//   loaded into a rich edit on a shown window that then paints.
// pages is the number of pages the memo prints on.
//
// BM_PrintRichMemoShapes/shape/KB: the shapes that strain a page's work
// most: shape 0 is one paragraph, shape 1 paragraphs of 80 bytes (128 KB to
// 4 MB of text), shape 2 one word with nowhere to break a line (a log line,
// a hash; 32 KB to 1 MB), shape 3 the text of shape 1 stored as plain text,
// not RTF (128 KB to 4 MB). The yardstick (memo_ms, x_memo) is the same text
// printed by the same report as a plain memo of the same font, interleaved.
// A 4x longer memo must print within 5x the time. cpu_ms and memo_cpu_ms are
// the medians of the process's processor time, steadier on a shared machine.
//
// BM_PrintEntryWithLongMemo/shape/KB: the same memos as an entry's Report in
// a database of their own, printed as the main window prints the
// comprehensive report of all programs (the memo fetched through the data
// pipeline, empty sections hidden); the yardstick (raw_ms, x_raw) is that
// report with plain memos, as in listing_bench. BM_PrintSingleEntryWithLongMemo
// prints the entry as the main window prints one entry (1 to 4 MB; shape 4
// is shape 1 as typed into a memo pane, in one font).
//
// VANTREL_BENCH_KB=n runs one size of every shape, VANTREL_BENCH_ITERATIONS=n
// makes n interleaved pairs (3), VANTREL_BENCH_YARDSTICK=0 prints the rich
// text alone, VANTREL_BENCH_KEEP=<folder> keeps the last PDF of each shape
// and size there, to compare the prints of two builds.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/streams.h"
#include "platform/classlib/richedit/richedit.h"
#include "report/components/ppmemo.h"
#include "report/components/pprichtx.h"
#include "report/output/ppprndev.h"
#include "reportlisting.h"
#include "reportwindow.h"
#include "richmemo.h"
#include "trackertable.h"

namespace {

constexpr int32_t kMargin = 6350, kLetterWidth = 215900, kLetterHeight = 279400;

// A PDF file of its own for each report of a run (`kind` tells them apart).
std::string PdfFile(const char* kind) {
  return (std::filesystem::temp_directory_path() /
          ("vantrel-richprint-bench-" + std::to_string(::getpid()) + "-" + kind + ".pdf"))
      .string();
}

// One entry, its memo in a stretching rich text across the page, or in a
// plain memo of the rich text's font.
struct MemoReport {
  explicit MemoReport(bool plainMemo = false) : pdf(PdfFile(plainMemo ? "memo" : "rich")) {
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
    TppStretchable* component = nullptr;
    if (plainMemo) {
      memo = new TppMemo(&form);
      memo->Font()->SetName("Arial");
      memo->Font()->SetSize(10);
      component = memo;
    } else {
      rich = new TppRichText(&form);
      component = rich;
    }
    component->SetBand(detail);
    component->SetmmBounds(0, 0, kLetterWidth - 2 * kMargin, 10000);
    component->SetStretch(true);
  }
  ~MemoReport() {
    delete report;
    std::filesystem::remove(pdf);
  }
  // Prints `text` as the memo to the PDF printer; the pages printed.
  int Print(const std::string& text) {
    if (rich) rich->SetRichText(text);
    else memo->Lines()->SetText(text);
    TppPrinterDevice device;
    device.Printer()->SetPrinterSetup(*report->PrinterSetup());
    device.Printer()->FileName = pdf;
    device.SetPublisher(report->Publisher());
    report->PrintPages();
    device.SetPublisher(nullptr);
    return report->Engine()->AbsolutePageCount();
  }
  // Seconds to print `text` as a new report would: the text the last print
  // left (laid out already) is let go first, untimed. `cpu` gets the
  // process's processor seconds, which a busy machine disturbs less.
  double TimedPrint(const std::string& text, int& pages, double* cpu = nullptr) {
    if (rich) rich->SetRichText("");
    else memo->Lines()->Clear();
    const std::clock_t start = std::clock();
    const double seconds = bench::SecondsOf([&] { pages = Print(text); });
    if (cpu) *cpu = double(std::clock() - start) / CLOCKS_PER_SEC;
    return seconds;
  }
  // Keeps the last print as `name` in the folder VANTREL_BENCH_KEEP names,
  // if any: prints of two builds compare page by page.
  void Keep(const std::string& name) const {
    if (const char* folder = std::getenv("VANTREL_BENCH_KEEP"))
      std::filesystem::copy_file(pdf, std::filesystem::path(folder) / name,
                                 std::filesystem::copy_options::overwrite_existing);
  }

  TComponent form{nullptr};
  bench_listing::TArrayPipeline entry{1};
  TppReport* report;
  TppRichText* rich = nullptr;
  TppMemo* memo = nullptr;
  const std::string pdf;
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
  int pages = 0, plainPages = 0, turn = 0;
  for (auto _ : state) {
    double printed = 0;
    for (int i = 0; i < 3; ++i) switch ((turn + i) % 3) {
        case 0: printed = report.TimedPrint(rtf, pages); break;
        case 1: plains.push_back(report.TimedPrint(plain, plainPages)); break;
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
  state.counters["plain_pages"] = plainPages;
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

constexpr int kOneParagraph = 0, kShortParagraphs = 1, kUnbrokenWord = 2, kPlainText = 3, kTyped = 4;
constexpr size_t kShortParagraphBytes = 80;

// The memo of a shape and size: its document, and what is stored (RTF, or
// for the plain shape its text).
struct ShapedText {
  TRtfDocument document;
  std::string stored;
};
ShapedText MemoOfShape(int64_t shape, int64_t kilobytes) {
  const size_t bytes = size_t(kilobytes) * 1024;
  ShapedText memo;
  memo.document = shape == kUnbrokenWord ? bench::UnbrokenMemo(bytes)
                                         : bench::ShapedMemo(bytes, shape == kOneParagraph ? 0 : kShortParagraphBytes);
  // Typed in a memo pane: the same lines in the pane's one font.
  if (shape == kTyped) memo.document = PlainTextDocument(memo.document.PlainText(), bench::MemoFormat(false));
  memo.stored = shape == kPlainText ? memo.document.PlainText() : RtfWrite(memo.document);
  return memo;
}

void BM_PrintRichMemoShapes(benchmark::State& state) {
  const ShapedText memoText = MemoOfShape(state.range(0), state.range(1));
  const std::string& rtf = memoText.stored;
  const std::string plain = memoText.document.PlainText();
  MemoReport richReport, memoReport(true);
  std::vector<double> prints, memos, printCpu, memoCpu;
  int pages = 0, memoPages = 0;
  bool richFirst = true;
  for (auto _ : state) {
    double printed = 0, memo = 0, cpu = 0, plainCpu = 0;
    for (int i = 0; i < 2; ++i) {
      if ((i == 0) == richFirst) printed = richReport.TimedPrint(rtf, pages, &cpu);
      else if (bench::WithYardstick()) memo = memoReport.TimedPrint(plain, memoPages, &plainCpu);
    }
    richFirst = !richFirst;
    prints.push_back(printed);
    memos.push_back(memo);
    printCpu.push_back(cpu);
    memoCpu.push_back(plainCpu);
    state.SetIterationTime(printed);
  }
  const std::string name = "shape" + std::to_string(state.range(0)) + "-" + std::to_string(state.range(1));
  richReport.Keep(name + "-rich.pdf");
  memoReport.Keep(name + "-memo.pdf");
  const double print = bench::Median(prints), memo = bench::Median(memos);
  state.counters["text_KB"] = double(plain.size()) / 1024;
  state.counters["RTF_KB"] = double(rtf.size()) / 1024;
  state.counters["pages"] = pages;
  state.counters["memo_pages"] = memoPages;
  state.counters["median_ms"] = print * 1e3;
  state.counters["cpu_ms"] = bench::Median(printCpu) * 1e3;
  state.counters["ms_per_KB"] = print * 1e3 / (double(plain.size()) / 1024);
  if (memo <= 0) return;
  state.counters["memo_ms"] = memo * 1e3;
  state.counters["memo_cpu_ms"] = bench::Median(memoCpu) * 1e3;
  state.counters["x_memo"] = print / memo;
}
// The sizes of each shape; VANTREL_BENCH_KB=n runs that one size of each.
// VANTREL_BENCH_SHAPES=list (digits) runs those shapes only.
void AddSizes(benchmark::internal::Benchmark* b, std::initializer_list<std::pair<int, std::vector<int64_t>>> shapes) {
  const char* only = std::getenv("VANTREL_BENCH_SHAPES");
  for (const auto& [shape, defaults] : shapes) {
    if (only && std::string(only).find(char('0' + shape)) == std::string::npos) continue;
    std::vector<int64_t> sizes = defaults;
    if (const char* v = std::getenv("VANTREL_BENCH_KB"); v != nullptr && std::atoi(v) > 0) sizes = {std::atoi(v)};
    for (int64_t kb : sizes) b->Args({shape, kb});
  }
}
void ShapeSizes(benchmark::internal::Benchmark* b) {
  const std::vector<int64_t> sizes{128, 512, 1024, 2048, 4096};
  AddSizes(b, {{kOneParagraph, sizes}, {kShortParagraphs, sizes}, {kUnbrokenWord, {32, 128, 512, 1024}},
               {kPlainText, sizes}});
}
BENCHMARK(BM_PrintRichMemoShapes)
    ->ArgNames({"shape", "KB"})
    ->Apply(ShapeSizes)
    ->UseManualTime()
    ->Iterations(bench::Iterations())
    ->Unit(benchmark::kMillisecond);

// A database named `name` of its own, whose one entry's Report memo is `rtf`.
std::string EntryDatabase(const std::string& name, const std::string& rtf) {
  const std::string path = bench::ScratchFolder() + "/" + name + ".MDB";
  CreateVantrelDatabase(path);
  dao::TDatabaseCore db(path, false, false, "");
  auto insert = db.Conn().Prepare(
      "INSERT INTO Reports (Identifier, Description, ProgramNumber, ReportType, Report) "
      "VALUES ('ID-1', 'A long memo', 1, 'BugReport', ?)");
  insert->Bind(1, dao::Cell::MakeText(rtf));
  insert->Step();
  return path;
}

// One entry whose Report memo is of the benchmark's shape and size, printed
// to PDF by report window `Window`, against the same with plain memos.
template <class Window>
void PrintEntryWithLongMemo(benchmark::State& state, bool allPrograms) {
  // A name of each report's own: both reports run the same shapes and sizes in one run.
  bench::MainWindow main(EntryDatabase(
      std::string(allPrograms ? "AllPrograms" : "OneEntry") + std::to_string(state.range(0)) + "-" +
          std::to_string(state.range(1)),
      MemoOfShape(state.range(0), state.range(1)).stored));
  bench::AgainstPlainMemos(state, [&](bool plain) {
    bench::RunReportWindow<Window>(main, allPrograms, false, plain, state);
  });
}

void BM_PrintEntryWithLongMemo(benchmark::State& state) {
  PrintEntryWithLongMemo<TfrmReports_All_ByAll>(state, true);
}
void EntrySizes(benchmark::internal::Benchmark* b) {
  const std::vector<int64_t> sizes{128, 512, 1024, 2048, 4096};
  AddSizes(b, {{kOneParagraph, sizes}, {kShortParagraphs, sizes}, {kUnbrokenWord, {32, 128, 512}},
               {kPlainText, sizes}});
}
BENCHMARK(BM_PrintEntryWithLongMemo)
    ->ArgNames({"shape", "KB"})
    ->Apply(EntrySizes)
    ->UseManualTime()
    ->Iterations(bench::Iterations())
    ->Unit(benchmark::kMillisecond);

void BM_PrintSingleEntryWithLongMemo(benchmark::State& state) {
  PrintEntryWithLongMemo<TfrmReports_Single>(state, false);
}
void SingleSizes(benchmark::internal::Benchmark* b) {
  AddSizes(b, {{kShortParagraphs, {1024, 2048, 3072, 4096}}, {kPlainText, {1024, 4096}}, {kTyped, {1024, 2048, 3072}}});
}
BENCHMARK(BM_PrintSingleEntryWithLongMemo)
    ->ArgNames({"shape", "KB"})
    ->Apply(SingleSizes)
    ->UseManualTime()
    ->Iterations(bench::Iterations())
    ->Unit(benchmark::kMillisecond);

}  // namespace
