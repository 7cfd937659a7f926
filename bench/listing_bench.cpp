// The comprehensive listing of the program opened at start, run as the main
// window runs it (all kinds, two passes, five rich texts per entry) on the
// application's database of 10,000 and 100,000 entries in that program
// (1,000,000 with VANTREL_BENCH_MILLION=1):
// - the preview until its first page shows "Page 1 of n";
// - the whole listing printed to the PDF printer.
// The yardstick is the same listing with its rich texts replaced by plain
// memos of the same text, interleaved in the same run: x_raw is the ratio of
// the medians (target 3), median_ms the listing's own time.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/main/reportrun.h"
#include "app/reports/reportlayout.h"
#include "app/reports/reports.h"
#include "appwindow.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/richedit/rtf.h"
#include "platform/classlib/stdctrls/statusbar.h"
#include "report/components/ppmemo.h"
#include "report/components/pprichtx.h"
#include "report/data/ppdbbde.h"
#include "report/model/ppreport.h"
#include "report/output/pppreview.h"
#include "trackertable.h"

namespace {

using bench::MainWindow;

bool WithMillion() {
  const char* v = std::getenv("VANTREL_BENCH_MILLION");
  return v != nullptr && *v != '\0' && *v != '0';
}

// Each long text as a plain memo over the same field, showing the text the
// rich text would (its characters without their formatting).
void UsePlainMemos(TfrmReports& window) {
  for (const char* field : kSectionFields) {
    auto* rich = static_cast<TppDBRichText*>(window.FindComponent(std::string("rtf") + field));
    auto* memo = new TppDBMemo(&window);
    memo->SetBand(rich->Band());
    memo->SetmmBounds(rich->mmLeft(), rich->mmTop(), rich->mmWidth(), rich->mmHeight());
    memo->SetRegion(rich->Region());
    memo->SetStretch(true);
    memo->SetDataPipeline(window.plBugs);
    memo->SetDataField(field);
    TppDataPipeline* pipeline = window.plBugs;
    const std::string name = field;
    memo->OnGetMemo = [pipeline, name](TObject*, TStrings* lines) {
      const std::string stored = pipeline->GetFieldAsString(name);
      lines->SetText(IsRtfText(stored) ? RtfPlainText(stored) : stored);
    };
    rich->SetVisible(false);
  }
}

// One run of the listing through the main window's own report frame (the
// window minimised, its entry controls still, everything given back);
// `plain` swaps the rich texts for memos. The preview is closed once its
// first page is up; printing goes to a PDF file in the scratch folder.
void RunListing(MainWindow& main, bool preview, bool plain, benchmark::State& state) {
  TfrmBug* form = main.form;
  const std::string pdf = bench::ScratchFolder() + "/listing.pdf";
  bool firstPage = false;
  TDialogResponderScope answers([&](TDialogRequest& r) {
    if (auto* save = dynamic_cast<TSaveDialog*>(r.Dialog)) save->SetFileName(pdf);
    auto* shown = dynamic_cast<TppPrintPreview*>(r.Dialog);
    if (!shown) return mrOk;
    while (shown->pnlStatusBar->SimpleText().rfind("Page 1 of ", 0) != 0 && shown->Visible())
      Application->ProcessMessages();
    firstPage = shown->pnlStatusBar->SimpleText().rfind("Page 1 of ", 0) == 0;
    shown->Close();
    return mrNone;
  });
  RunReport(form, {preview, false, 0, [form] { form->FilterAllKinds(form->dsetBug); },
                   [form, preview, plain]() -> TfrmReports* {
                     auto* window = new TfrmReports_All_ByProgram(Application, form);
                     if (plain) UsePlainMemos(*window);
                     TppReport* report = window->ppReport1;
                     report->SetShowCancelDialog(false);
                     report->SetShowPrintDialog(false);
                     if (!preview) report->PrinterSetup()->SetPrinterName("PDF");
                     return window;
                   }});
  const std::string outcome = form->sbMain->Panels()->Items(1)->Text();
  if (!outcome.empty()) state.SkipWithError(outcome.c_str());
  if (preview && !firstPage) state.SkipWithError("the preview showed no first page");
  if (!preview && !std::filesystem::exists(pdf)) state.SkipWithError("no PDF file was written");
  std::filesystem::remove(pdf);
}

// VANTREL_BENCH_YARDSTICK=0 runs the listing alone (median_ms, no ratio): at
// 1,000,000 entries one plain-memo run takes over an hour.
bool WithYardstick() {
  const char* v = std::getenv("VANTREL_BENCH_YARDSTICK");
  return v == nullptr || *v != '0';
}

void Listing(benchmark::State& state, bool preview) {
  MainWindow main(bench::AppDatabaseFile(int(state.range(0))));
  if (!WithYardstick()) {
    std::vector<double> times;
    for (auto _ : state) {
      times.push_back(bench::SecondsOf([&] { RunListing(main, preview, false, state); }));
      state.SetIterationTime(times.back());
    }
    state.counters["median_ms"] = bench::Median(times) * 1e3;
    return;
  }
  bench::Interleave(
      state, [&] { RunListing(main, preview, true, state); },
      [&] { RunListing(main, preview, false, state); });
}

void BM_ListingPreviewFirstPage(benchmark::State& state) { Listing(state, true); }
void BM_ListingPrintToPdf(benchmark::State& state) { Listing(state, false); }

// VANTREL_BENCH_ENTRIES=n runs that one size instead (a quick look while profiling).
void Sizes(benchmark::internal::Benchmark* b) {
  if (const char* v = std::getenv("VANTREL_BENCH_ENTRIES"); v != nullptr && std::atoi(v) > 0) {
    b->Arg(std::atoi(v));
    return;
  }
  b->Arg(10000)->Arg(100000);
  if (WithMillion()) b->Arg(1000000);
}
// Three interleaved pairs; VANTREL_BENCH_ITERATIONS=n makes it n (one pair of
// the largest sizes takes minutes: the plain memos are the slow side).
int Iterations() {
  const char* v = std::getenv("VANTREL_BENCH_ITERATIONS");
  return v != nullptr && std::atoi(v) > 0 ? std::atoi(v) : 3;
}
BENCHMARK(BM_ListingPreviewFirstPage)->Apply(Sizes)->UseManualTime()->Iterations(Iterations())->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListingPrintToPdf)->Apply(Sizes)->UseManualTime()->Iterations(Iterations())->Unit(benchmark::kMillisecond);

}  // namespace
