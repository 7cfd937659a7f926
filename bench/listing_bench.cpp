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
#include <string>
#include <vector>

#include "appwindow.h"
#include "reportwindow.h"
#include "trackertable.h"

namespace {

using bench::MainWindow;

bool WithMillion() {
  const char* v = std::getenv("VANTREL_BENCH_MILLION");
  return v != nullptr && *v != '\0' && *v != '0';
}

// One run of the listing; `plain` swaps the rich texts for memos.
void RunListing(MainWindow& main, bool preview, bool plain, benchmark::State& state) {
  bench::RunReportWindow<TfrmReports_All_ByProgram>(main, false, preview, plain, state);
}

void Listing(benchmark::State& state, bool preview) {
  MainWindow main(bench::AppDatabaseFile(int(state.range(0))));
  bench::AgainstPlainMemos(state, [&](bool plain) { RunListing(main, preview, plain, state); });
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
BENCHMARK(BM_ListingPreviewFirstPage)->Apply(Sizes)->UseManualTime()->Iterations(bench::Iterations())->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListingPrintToPdf)->Apply(Sizes)->UseManualTime()->Iterations(bench::Iterations())->Unit(benchmark::kMillisecond);

}  // namespace
