// The main window over the application's database of 100,000 entries in the
// program opened at start: switching a quick-filter button (the filter set on
// the entry table and the grid painted again). The yardstick is raw SQLite
// reading the same screenful of rows through the same WHERE in the same run,
// interleaved. Target: 200 ms a switch.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "appwindow.h"
#include "datactrls/wwtable.h"
#include "trackertable.h"
#include "winctrls/tb97button.h"

namespace {

constexpr int kEntries = 100000;

// The screenful the grid shows, read raw with the quick filter's WHERE.
std::string Screenful(bool lowShown, int rows) {
  return std::string("SELECT * FROM Reports WHERE ProgramNumber = 1 AND ReportType = 'BugReport'") +
         (lowShown ? "" : " AND Priority <> '4'") + " ORDER BY ProgramNumber, ReportNumber LIMIT " +
         std::to_string(rows);
}

void BM_AppQuickFilterSwitch(benchmark::State& state) {
  const std::string& path = bench::AppDatabaseFile(kEntries);
  bench::MainWindow window(path);
  if (window.form->Terminating) return state.SkipWithError("the main window did not start");
  if (window.form->dsetBug->IsEmpty()) return state.SkipWithError("the first program shows no entries");
  TToolbarButton97* low = window.form->tbPriorityFilter_Low;
  const int page = window.form->dbgBug->VisibleDataRows();
  sqlite3* db = bench::OpenRaw(path);
  sqlite3_stmt* shown = bench::PrepareRaw(db, Screenful(true, page));
  sqlite3_stmt* hidden = bench::PrepareRaw(db, Screenful(false, page));
  bench::Interleave(
      state, [&] { benchmark::DoNotOptimize(bench::RawReadAll(low->Down() ? hidden : shown)); },
      [&] {
        low->SetDown(!low->Down());
        window.form->tbStatusFilter_NewReportClick(low);
        window.PaintGrid();
      });
  state.counters["rows"] = page;
  sqlite3_stmt* count = bench::PrepareRaw(db, "SELECT COUNT(*) FROM Reports WHERE ProgramNumber = 1");
  if (sqlite3_step(count) == SQLITE_ROW) state.counters["entries"] = double(sqlite3_column_int64(count, 0));
  sqlite3_finalize(count);
  sqlite3_finalize(shown);
  sqlite3_finalize(hidden);
  sqlite3_close(db);
}
BENCHMARK(BM_AppQuickFilterSwitch)->UseManualTime()->Iterations(21)->Unit(benchmark::kMillisecond);

}  // namespace
