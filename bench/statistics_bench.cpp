// Statistics over the application's database of 100,000 entries in the
// program opened at start.
//
// BM_StatisticsCountingPass: the main window's counting pass over the entries
// its tab shows (the bug reports: two in three), against raw SQLite reading
// the same two fields of the same rows and counting them, interleaved; ratio
// of medians. Target: 0.5 s a pass.
//
// BM_TimeChartBars: the time chart with 100,000 bars in each of its two
// gradient series drawn on a bitmap of the chart window's size. Target: 200 ms.

#include <benchmark/benchmark.h>

#include <string>

#include "appwindow.h"
#include "datactrls/wwtable.h"
#include "platform/chart/chart.h"
#include "trackertable.h"

namespace {

constexpr int kEntries = 100000;
// The chart's size in the chart window.
constexpr int kChartWidth = 640, kChartHeight = 400;

// The raw side's counters: the first character of each code.
struct RawCounts {
  int entries = 0, priority[256] = {}, status[256] = {};
};

int RawCount(sqlite3_stmt* s) {
  RawCounts n;
  while (sqlite3_step(s) == SQLITE_ROW) {
    ++n.entries;
    const auto* p = sqlite3_column_text(s, 0);
    const auto* t = sqlite3_column_text(s, 1);
    ++n.priority[p ? p[0] : 0];
    ++n.status[t ? t[0] : 0];
  }
  sqlite3_reset(s);
  benchmark::DoNotOptimize(n);
  return n.entries;
}

void BM_StatisticsCountingPass(benchmark::State& state) {
  const std::string& path = bench::AppDatabaseFile(kEntries);
  bench::MainWindow window(path);
  if (window.form->Terminating) return state.SkipWithError("the main window did not start");
  sqlite3* db = bench::OpenRaw(path);
  sqlite3_stmt* raw = bench::PrepareRaw(
      db, "SELECT Priority, Status FROM Reports WHERE ProgramNumber = 1 AND ReportType = 'BugReport' "
          "ORDER BY ProgramNumber, ReportNumber");
  int rawEntries = 0;
  bench::Interleave(
      state, [&] { rawEntries = RawCount(raw); },
      [&] { benchmark::DoNotOptimize(window.form->CalcStatistics()); });
  state.counters["entries"] = window.form->StatCounters.EntryCount;
  if (rawEntries != window.form->StatCounters.EntryCount) state.SkipWithError("the two sides counted apart");
  sqlite3_finalize(raw);
  sqlite3_close(db);
}
BENCHMARK(BM_StatisticsCountingPass)->UseManualTime()->Iterations(9)->Unit(benchmark::kMillisecond);

void BM_TimeChartBars(benchmark::State& state) {
  TComponent owner(nullptr);
  auto* chart = new TChart(&owner);
  chart->SetBounds(0, 0, kChartWidth, kChartHeight);
  chart->Title()->Text()->SetText("Time To Completion");
  chart->BottomAxis()->Title()->Text()->SetText("Report Number");
  chart->LeftAxis()->Title()->Text()->SetText("Days");
  const std::pair<const char*, TColor> kinds[] = {{"Reported Date To Fixed Date", 0x808000},
                                                  {"Fixed Date To Verified Date", 0x808080}};
  for (auto [title, color] : kinds) {
    auto* bars = new TBarSeries(&owner);
    bars->SetTitle(title);
    bars->SetGradient(true);
    chart->AddSeries(bars);
    for (int i = 0; i < kEntries; ++i) bars->Add(i * 37 % 400, std::to_string(i + 1), color);
  }
  TBitmap bitmap;
  bitmap.SetSize(kChartWidth, kChartHeight);
  for (auto _ : state) chart->Draw(bitmap.Canvas(), TRect{0, 0, kChartWidth, kChartHeight});
  state.counters["bars"] = 2 * kEntries;
}
BENCHMARK(BM_TimeChartBars)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
