// Generation speed of the report engine: a two-pass listing of 1,000
// in-memory records (a group every 50, "Page n of m" in the footer, about
// three pages per 100 records) on a 600-dpi virtual printer into a device
// that keeps the pages. Measured: the whole run in one and in two passes,
// and a revisit of one page (early and late) with CachePages off, which
// must generate exactly that page from the state cached before it.
//
// Counters: pages, pages generated per iteration, and the state-cache bytes
// with the bytes expected from (pages + 1) x the sum of the record sizes.

#include <benchmark/benchmark.h>

#include "reportlisting.h"

namespace {

using namespace bench_listing;

void WholeRun(benchmark::State& state, TppPassSettingType passes) {
  Listing listing(passes);
  for (auto _ : state) {
    listing.report->Engine()->Reset();
    listing.report->Publisher()->Reset();
    listing.Request(prAll);
  }
  const int pages = listing.report->Engine()->AbsolutePageCount();
  state.counters["pages"] = pages;
  state.counters["cache_bytes"] = double(listing.CacheBytes());
  state.counters["expected_bytes"] = double((pages + 1) * listing.RecordBytes());
}

void BM_OnePassRun(benchmark::State& state) { WholeRun(state, psOnePass); }
void BM_TwoPassRun(benchmark::State& state) { WholeRun(state, psTwoPass); }
BENCHMARK(BM_OnePassRun)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwoPassRun)->Unit(benchmark::kMillisecond);

// One page again after the whole run: from the state cached before it.
void BM_Revisit(benchmark::State& state) {
  Listing listing(psTwoPass);
  listing.Request(prAll);
  const int pages = listing.report->Engine()->AbsolutePageCount();
  const int target = state.range(0) == 0 ? 2 : pages - 1;
  const int64_t bytesBefore = listing.CacheBytes();
  for (auto _ : state) listing.Request(prOnePage, target);
  if (listing.report->Engine()->PagesGenerated() != 1 || listing.device.kept != 1)
    state.SkipWithError("a revisit must generate exactly one page");
  if (listing.CacheBytes() != bytesBefore) state.SkipWithError("a revisit changed the cache");
  state.counters["page"] = target;
  state.counters["generated"] = listing.report->Engine()->PagesGenerated();
}
BENCHMARK(BM_Revisit)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
