#pragma once
// A report window of the application run as the main window runs it, for the
// benchmarks that print through it; and its yardstick, the same report with
// each rich text swapped for a plain memo of the same text.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
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

namespace bench {

// Each long text as a plain memo over the same field, showing the text the
// rich text would (its characters without their formatting).
inline void UsePlainMemos(TfrmReports& window) {
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

// One run of report window `Window` (all kinds) through the main window's
// own report frame (the window minimised, its entry controls still,
// everything given back); `plain` swaps the rich texts for memos. The
// preview is closed once its first page is up; printing goes to a PDF file
// in the scratch folder.
template <class Window>
void RunReportWindow(MainWindow& main, bool allPrograms, bool preview, bool plain, benchmark::State& state) {
  TfrmBug* form = main.form;
  const std::string pdf = ScratchFolder() + "/report.pdf";
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
  RunReport(form, {preview, allPrograms, 0, [form] { form->FilterAllKinds(form->dsetBug); },
                   [form, preview, plain]() -> TfrmReports* {
                     auto* window = new Window(Application, form);
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

// VANTREL_BENCH_YARDSTICK=0 runs the report alone (median_ms, no ratio):
// on the largest sizes the plain memos are the slow side.
inline bool WithYardstick() {
  const char* v = std::getenv("VANTREL_BENCH_YARDSTICK");
  return v == nullptr || *v != '0';
}

// Three interleaved pairs; VANTREL_BENCH_ITERATIONS=n makes it n (one pair of
// the largest sizes takes minutes).
inline int Iterations() {
  const char* v = std::getenv("VANTREL_BENCH_ITERATIONS");
  return v != nullptr && std::atoi(v) > 0 ? std::atoi(v) : 3;
}

// Times `run(plain)`: the report with rich texts against the same with plain
// memos, interleaved (raw_ms, median_ms, x_raw), or alone without the yardstick.
template <class Run>
void AgainstPlainMemos(benchmark::State& state, Run&& run) {
  if (!WithYardstick()) {
    std::vector<double> times;
    for (auto _ : state) {
      times.push_back(SecondsOf([&] { run(false); }));
      state.SetIterationTime(times.back());
    }
    state.counters["median_ms"] = Median(times) * 1e3;
    return;
  }
  Interleave(state, [&] { run(true); }, [&] { run(false); });
}

}  // namespace bench
