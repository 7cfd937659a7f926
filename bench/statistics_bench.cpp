// Statistics over the application's database at 10,000, 100,000 and
// (VANTREL_BENCH_MILLION=1) 1,000,000 entries over 20 programs (scaledb.h),
// the first program open.
//
// BM_StatisticsCountingPass: the main window's counting pass over the entries
// its tab shows (the bug reports: two in three), against raw SQLite reading
// the same two fields of the same rows and counting them, interleaved; ratio
// of medians. Target: 0.5 s a pass.
//
// BM_Chart/<kind>/<entries>: each chart of the chart window (status,
// priority, fixed, verified, time), from the command to the chart painted
// once: the window's passes over the entries and the chart drawn at its size.
// The raw side computes what that chart shows: the COUNT ... GROUP BY of the
// pies, every shown entry's three dates for the time bars.
//
// BM_TimeChartBars: the time chart with as many bars in each of its two
// gradient series as there are entries, drawn on a bitmap of the chart
// window's size. Target: 200 ms at 100,000.

#include <benchmark/benchmark.h>

#include <string>

#include "app/chart/chartwindow.h"
#include "appwindow.h"
#include "datactrls/wwtable.h"
#include "platform/chart/chart.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "scaledb.h"

namespace {

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
  const std::string& path = bench::ScaleDatabaseFile(int(state.range(0)));
  bench::MainWindow window(path);
  if (window.form->Terminating) return state.SkipWithError("the main window did not start");
  sqlite3* db = bench::OpenRaw(path);
  sqlite3_stmt* raw = bench::PrepareRaw(db, std::string("SELECT Priority, Status FROM Reports WHERE ") +
                                                bench::kScaleShown + " ORDER BY ProgramNumber, ReportNumber");
  int rawEntries = 0;
  bench::Interleave(
      state, [&] { rawEntries = RawCount(raw); },
      [&] { benchmark::DoNotOptimize(window.form->CalcStatistics()); });
  state.counters["entries"] = window.form->StatCounters.EntryCount;
  if (rawEntries != window.form->StatCounters.EntryCount) state.SkipWithError("the two sides counted apart");
  sqlite3_finalize(raw);
  sqlite3_close(db);
}
BENCHMARK(BM_StatisticsCountingPass)->Apply(bench::AtScaleSizes)->UseManualTime()->Iterations(9)->Unit(benchmark::kMillisecond);

// What the raw side reads for a chart kind.
std::string RawChartSql(int kind) {
  const std::string where = std::string(" FROM Reports WHERE ") + bench::kScaleShown;
  switch (kind) {
    case ckStatus: return "SELECT Status, COUNT(*)" + where + " GROUP BY Status";
    case ckPriority: return "SELECT Priority, COUNT(*)" + where + " GROUP BY Priority";
    case ckFixed: return "SELECT COUNT(*), SUM(Status = '3')" + where;
    case ckVerified: return "SELECT COUNT(*), SUM(Status = '4')" + where;
  }
  return "SELECT ReportNumber, ReportedDate, FixedDate, VerifiedDate" + where + " ORDER BY ProgramNumber, ReportNumber";
}

// The chart command of one kind, answered (closed) once the window is up and
// its chart painted.
void BM_Chart(benchmark::State& state) {
  const int kind = int(state.range(0));
  const std::string& path = bench::ScaleDatabaseFile(int(state.range(1)));
  bench::MainWindow window(path);
  if (window.form->Terminating) return state.SkipWithError("the main window did not start");
  TBitmap surface;
  surface.SetSize(kChartWidth, kChartHeight);
  int points = 0;
  TDialogResponderScope boxes([&](TDialogRequest& r) {
    if (auto* chart = dynamic_cast<TfrmChart*>(r.Dialog)) {
      chart->Chart->Draw(surface.Canvas(), TRect{0, 0, kChartWidth, kChartHeight});
      points = kind == ckTime ? chart->Series_ReportedToFixed->Count() : chart->Series_Normal->Count();
    }
    return mrOk;
  });
  sqlite3* db = bench::OpenRaw(path);
  sqlite3_stmt* raw = bench::PrepareRaw(db, RawChartSql(kind));
  bench::Interleave(
      state, [&] { benchmark::DoNotOptimize(bench::RawReadAll(raw)); }, [&] { window.form->ShowChart(kind); });
  if (points == 0) state.SkipWithError("the chart showed nothing");
  state.counters["points"] = points;
  state.counters["entries"] = window.form->StatCounters.EntryCount;
  sqlite3_finalize(raw);
  sqlite3_close(db);
}

void ChartsAtScaleSizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"kind", "entries"});
  for (int kind : {ckStatus, ckPriority, ckFixed, ckVerified, ckTime})
    for (std::int64_t n : bench::ScaleSizes()) b->Args({kind, n});
}
BENCHMARK(BM_Chart)->Apply(ChartsAtScaleSizes)->UseManualTime()->Iterations(7)->Unit(benchmark::kMillisecond);

void BM_TimeChartBars(benchmark::State& state) {
  const int bars = int(state.range(0));
  TComponent owner(nullptr);
  auto* chart = new TChart(&owner);
  chart->SetBounds(0, 0, kChartWidth, kChartHeight);
  chart->Title()->Text()->SetText("Time To Completion");
  chart->BottomAxis()->Title()->Text()->SetText("Report Number");
  chart->LeftAxis()->Title()->Text()->SetText("Days");
  const std::pair<const char*, TColor> kinds[] = {{"Reported Date To Fixed Date", 0x808000},
                                                  {"Fixed Date To Verified Date", 0x808080}};
  for (auto [title, color] : kinds) {
    auto* series = new TBarSeries(&owner);
    series->SetTitle(title);
    series->SetGradient(true);
    chart->AddSeries(series);
    for (int i = 0; i < bars; ++i) series->Add(i * 37 % 400, std::to_string(i + 1), color);
  }
  TBitmap bitmap;
  bitmap.SetSize(kChartWidth, kChartHeight);
  for (auto _ : state) chart->Draw(bitmap.Canvas(), TRect{0, 0, kChartWidth, kChartHeight});
  state.counters["bars"] = 2 * bars;
}
BENCHMARK(BM_TimeChartBars)->Apply(bench::AtScaleSizes)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
