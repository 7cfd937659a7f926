// The main window over the application's database of 100,000 entries in the
// program opened at start, as the user meets it:
// - start: from the end of the splash wait to the window usable (the windows
//   the program makes created, the first activation done, the grid page and
//   the record pane painted). Target 1 s.
// - a page down in the grid, the record pane following. Target 16 ms.
// - switching a quick-filter button (the filter set on the entry table and
//   the grid painted again). Target 200 ms.
// - resident memory after start, a scroll to the end and filter switches.
//   Target 150 MB.
// The yardstick is raw SQLite reading the same rows (the grid's page, and the
// current entry's memos) in the same run, interleaved.

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <string>

#include "appwindow.h"
#include "datactrls/wwtable.h"
#include "trackertable.h"
#include "winctrls/tb97button.h"

namespace {

constexpr int kEntries = 100000;
using bench::MainWindow;

// The raw side: one connection, reading the grid's rows of the first
// program's bug reports and one entry's memos, as the window shows them.
struct Raw {
  sqlite3* db;
  explicit Raw(const std::string& path) : db(bench::OpenRaw(path)) {}
  ~Raw() { sqlite3_close(db); }
  int Read(const std::string& sql) {
    sqlite3_stmt* s = bench::PrepareRaw(db, sql);
    const int rows = bench::RawReadAll(s);
    sqlite3_finalize(s);
    return rows;
  }
  // The page after entry `after` and the memos of its first entry; answers
  // the page's last entry.
  std::int64_t ReadPageAfter(std::int64_t after, int rows) {
    sqlite3_stmt* s = bench::PrepareRaw(db, std::string(kShown) + " AND ReportNumber > " + std::to_string(after) +
                                                kOrder + " LIMIT " + std::to_string(rows));
    std::int64_t first = 0, last = after;
    while (sqlite3_step(s) == SQLITE_ROW) {
      bench::ReadRawRow(s);
      last = sqlite3_column_int64(s, 0);
      if (!first) first = last;
    }
    sqlite3_finalize(s);
    Read("SELECT Report, Resolution, Steps, Workaround FROM Reports WHERE ReportNumber = " + std::to_string(first));
    return last;
  }
  static std::string Screenful(bool lowShown, int rows) {
    return std::string(kShown) + (lowShown ? "" : " AND Priority <> '4'") + kOrder + " LIMIT " + std::to_string(rows);
  }
  static constexpr const char* kShown =
      "SELECT * FROM Reports WHERE ProgramNumber = 1 AND ReportType = 'BugReport'";
  static constexpr const char* kOrder = " ORDER BY ProgramNumber, ReportNumber";
};

bool Usable(benchmark::State& state, const MainWindow& window) {
  if (window.form->Terminating) state.SkipWithError("the main window did not start");
  else if (window.form->dsetBug->IsEmpty()) state.SkipWithError("the first program shows no entries");
  else return true;
  return false;
}

// This process's resident memory in MB.
double ResidentMB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024;
  return 0;
}

void BM_AppStartUsable(benchmark::State& state) {
  const std::string& path = bench::AppDatabaseFile(kEntries);
  std::unique_ptr<MainWindow> window;
  int page = 0;
  bench::Interleave(
      state,
      [&] { Raw(path).ReadPageAfter(0, page ? page : 30); },
      [&] { window = std::make_unique<MainWindow>(path); },
      [&] {
        if (!Usable(state, *window)) return;
        page = window->form->dbgBug->VisibleDataRows();
        window.reset();
      });
  state.counters["rows"] = page;
}
BENCHMARK(BM_AppStartUsable)->UseManualTime()->Iterations(11)->Unit(benchmark::kMillisecond);

// Pages down from the first entry, one page per iteration.
void BM_AppGridPageScroll(benchmark::State& state) {
  const std::string& path = bench::AppDatabaseFile(kEntries);
  MainWindow window(path);
  if (!Usable(state, window)) return;
  const int page = window.form->dbgBug->VisibleDataRows();
  Raw raw(path);
  std::int64_t shown = raw.ReadPageAfter(0, page);
  bench::Interleave(
      state, [&] { shown = raw.ReadPageAfter(shown, page); },
      [&] {
        window.form->dsetBug->MoveBy(page);
        MainWindow::Flush();
      });
  state.counters["rows"] = page;
}
BENCHMARK(BM_AppGridPageScroll)->UseManualTime()->Iterations(101)->Unit(benchmark::kMillisecond);

void BM_AppQuickFilterSwitch(benchmark::State& state) {
  const std::string& path = bench::AppDatabaseFile(kEntries);
  MainWindow window(path);
  if (!Usable(state, window)) return;
  TToolbarButton97* low = window.form->tbPriorityFilter_Low;
  const int page = window.form->dbgBug->VisibleDataRows();
  Raw raw(path);
  bench::Interleave(
      state, [&] { benchmark::DoNotOptimize(raw.Read(Raw::Screenful(!low->Down(), page))); },
      [&] {
        low->SetDown(!low->Down());
        window.form->tbStatusFilter_NewReportClick(low);
        window.PaintGrid();
      });
  state.counters["rows"] = page;
}
BENCHMARK(BM_AppQuickFilterSwitch)->UseManualTime()->Iterations(21)->Unit(benchmark::kMillisecond);

// Resident memory (MB) after start, a scroll to the end and filter switches;
// the time is that of the whole round.
void BM_AppResidentMemory(benchmark::State& state) {
  const std::string& path = bench::AppDatabaseFile(kEntries);
  const double before = ResidentMB();
  double after = 0;
  for (auto _ : state) {
    MainWindow window(path);
    if (!Usable(state, window)) return;
    window.form->dsetBug->Last();
    MainWindow::Flush();
    for (TToolbarButton97* b : {window.form->tbPriorityFilter_Low, window.form->tbStatusFilter_NewReport,
                                window.form->tbPriorityFilter_Low, window.form->tbStatusFilter_NewReport}) {
      b->SetDown(!b->Down());
      window.form->tbStatusFilter_NewReportClick(b);
      MainWindow::Flush();
    }
    after = ResidentMB();
  }
  state.counters["rss_mb"] = after;
  state.counters["rss_before_start_mb"] = before;
}
BENCHMARK(BM_AppResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
