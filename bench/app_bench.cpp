// The main window over the application's database at 10,000, 100,000 and
// (VANTREL_BENCH_MILLION=1) 1,000,000 entries over 20 programs (scaledb.h),
// the first program open, as the user meets it:
// - start: from the end of the splash wait to the window usable (the windows
//   the program makes created, the first activation done, the grid page and
//   the record pane painted). Target 1 s.
// - a page down in the grid, the record pane following. Target 16 ms.
// - switching a quick-filter button (the filter set on the entry table and
//   the grid painted again). Target 200 ms.
// - a condition of the filter dialog applied, the first screen painted and
//   the last entry reached.
// - sorting by a column (the grid's title click, the first screen painted).
// - the Find dialog's search: the first match of a title (the program's last
//   bug report), a Find Next with no further match, and the first match in
//   the report memo.
// - resident memory after start, after scrolling the grid end to end, after
//   quick-filter switches and after a filter-dialog condition. Target 150 MB,
//   the same at every size.
// The yardstick is raw SQLite doing the same work on the same rows in the same
// run, interleaved (the grid's page, the current entry's memos, an ORDER BY
// ... LIMIT for a sorted screen, a LIKE scan for a find); x_raw is the ratio
// of the medians. Nothing may grow faster than the entries.

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <string>

#include "app/common/entrypass.h"
#include "appwindow.h"
#include "datactrls/wwfltdlg.h"
#include "datactrls/wwlocate.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/edits.h"
#include "scaledb.h"
#include "winctrls/tb97button.h"

namespace {

using bench::MainWindow;

// The raw side: one connection, reading the grid's rows of the first
// program's bug reports and one entry's memos, as the window shows them.
struct Raw {
  sqlite3* db;
  explicit Raw(const std::string& path) : db(bench::OpenRaw(path)) {}
  ~Raw() { sqlite3_close(db); }
  Raw(const Raw&) = delete;
  Raw& operator=(const Raw&) = delete;
  int Read(const std::string& sql) {
    sqlite3_stmt* s = bench::PrepareRaw(db, sql);
    const int rows = bench::RawReadAll(s);
    sqlite3_finalize(s);
    return rows;
  }
  // The first column of the first row of `sql`; 0 without a row.
  std::int64_t Number(const std::string& sql) {
    sqlite3_stmt* s = bench::PrepareRaw(db, sql);
    const std::int64_t n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
    sqlite3_finalize(s);
    return n;
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
  static inline const std::string kShown = std::string("SELECT * FROM Reports WHERE ") + bench::kScaleShown;
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

const std::string& Database(const benchmark::State& state) {
  return bench::ScaleDatabaseFile(int(state.range(0)));
}

// The last bug report of the first program (the grid's last row) among the
// first `entries`, and the last one that carries a report memo.
int LastShownEntry(int entries, bool withReport) {
  for (int i = entries - 1; i >= 0; --i) {
    const int k = bench::ScaleInProgram(i);
    if (bench::ScaleProgram(i) == bench::kScaleProgram && !bench::ScaleIsFeature(k) &&
        (!withReport || bench::ScaleHasReport(k)))
      return i;
  }
  return 0;
}

void BM_AppStartUsable(benchmark::State& state) {
  const std::string& path = Database(state);
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
BENCHMARK(BM_AppStartUsable)->Apply(bench::AtScaleSizes)->UseManualTime()->Iterations(11)->Unit(benchmark::kMillisecond);

// Pages down from the first entry, one page per iteration; back to the
// first entry at the end (the smallest file has fewer pages than iterations).
void BM_AppGridPageScroll(benchmark::State& state) {
  const std::string& path = Database(state);
  MainWindow window(path);
  if (!Usable(state, window)) return;
  TDataSet* entries = window.form->dsetBug;
  const int page = window.form->dbgBug->VisibleDataRows();
  Raw raw(path);
  std::int64_t shown = raw.ReadPageAfter(0, page);
  bench::Interleave(
      state, [&] { shown = raw.ReadPageAfter(shown, page); },
      [&] {
        entries->MoveBy(page);
        MainWindow::Flush();
      },
      [&] {
        if (!entries->Eof() && entries->RecNo() + page <= entries->RecordCount()) return;
        entries->First();
        MainWindow::Flush();
        shown = raw.ReadPageAfter(0, page);
      });
  state.counters["rows"] = page;
}
BENCHMARK(BM_AppGridPageScroll)->Apply(bench::AtScaleSizes)->UseManualTime()->Iterations(101)->Unit(benchmark::kMillisecond);

void SwitchQuickFilter(MainWindow& window, TToolbarButton97* button) {
  button->SetDown(!button->Down());
  window.form->tbStatusFilter_NewReportClick(button);
  window.PaintGrid();
}

void BM_AppQuickFilterSwitch(benchmark::State& state) {
  const std::string& path = Database(state);
  MainWindow window(path);
  if (!Usable(state, window)) return;
  TToolbarButton97* low = window.form->tbPriorityFilter_Low;
  const int page = window.form->dbgBug->VisibleDataRows();
  Raw raw(path);
  bench::Interleave(
      state, [&] { benchmark::DoNotOptimize(raw.Read(Raw::Screenful(!low->Down(), page))); },
      [&] { SwitchQuickFilter(window, low); });
  state.counters["rows"] = page;
}
BENCHMARK(BM_AppQuickFilterSwitch)->Apply(bench::AtScaleSizes)->UseManualTime()->Iterations(21)->Unit(benchmark::kMillisecond);

// The filter dialog's condition: titles starting "entry 1" (one in nine or so).
constexpr const char* kFilterStart = "entry 1";
const std::string kFilterWhere = " AND Description LIKE 'entry 1%'";

void SetFilterCondition(TwwFilterDialog* dialog) {
  auto info = std::make_unique<TwwFieldInfo>();
  info->FieldName = info->DisplayLabel = "Description";
  info->MatchType = fdMatchStart;
  info->FilterValue = kFilterStart;
  dialog->ReplaceConditions({});
  dialog->FieldInfo().push_back(std::move(info));
}

// The condition applied, the first screen painted, then the last entry
// reached and painted.
void FilterByDialog(MainWindow& window) {
  TwwFilterDialog* dialog = window.form->wwFilterDialog1;
  SetFilterCondition(dialog);
  dialog->ApplyFilter();
  window.PaintGrid();
  window.form->dsetBug->Last();
  window.PaintGrid();
}

void ClearDialogFilter(MainWindow& window) {
  window.form->wwFilterDialog1->ClearFilter();
  window.form->wwFilterDialog1->ApplyFilter();
  window.form->dsetBug->First();
  window.PaintGrid();
}

void BM_AppFilterDialogCondition(benchmark::State& state) {
  const std::string& path = Database(state);
  TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
  MainWindow window(path);
  if (!Usable(state, window)) return;
  const int page = window.form->dbgBug->VisibleDataRows();
  Raw raw(path);
  const std::string where = Raw::kShown + kFilterWhere;
  std::int64_t rawLast = 0;
  bench::Interleave(
      state,
      [&] {
        raw.Read(where + Raw::kOrder + " LIMIT " + std::to_string(page));
        rawLast = raw.Number(where + " ORDER BY ProgramNumber DESC, ReportNumber DESC LIMIT 1");
      },
      [&] { FilterByDialog(window); },
      [&] {
        if (window.form->dsetBug->FieldByName("ReportNumber")->AsInteger() != rawLast)
          state.SkipWithError("the filter's last entry is not the raw side's");
        ClearDialogFilter(window);
      });
  if (boxes.Count() != 0) state.SkipWithError("the filter reported a problem");
  state.counters["rows"] = page;
}
BENCHMARK(BM_AppFilterDialogCondition)->Apply(bench::AtScaleSizes)->UseManualTime()->Iterations(9)->Unit(benchmark::kMillisecond);

// A title click on each of two columns in turn: the entries sorted by its
// index, the first screen painted.
void BM_AppSortByColumn(benchmark::State& state) {
  const std::string& path = Database(state);
  MainWindow window(path);
  if (!Usable(state, window)) return;
  const int page = window.form->dbgBug->VisibleDataRows();
  Raw raw(path);
  const char* const fields[] = {"Description", "ReportedDate"};
  int turn = 0;
  bench::Interleave(
      state,
      [&] {
        raw.Read(Raw::kShown + " ORDER BY ProgramNumber, " + fields[turn] + ", ReportNumber LIMIT " +
                 std::to_string(page));
      },
      [&] {
        window.form->dbgBugTitleButtonClick(window.form->dbgBug, fields[turn]);
        window.PaintGrid();
      },
      [&] { turn = 1 - turn; });
  if (window.form->dsetBug->IndexName() != fields[1 - turn]) state.SkipWithError("the click did not sort");
  window.form->dbgBugTitleButtonClick(window.form->dbgBug, "ProgramNumber");
  state.counters["rows"] = page;
}
BENCHMARK(BM_AppSortByColumn)->Apply(bench::AtScaleSizes)->UseManualTime()->Iterations(21)->Unit(benchmark::kMillisecond);

// The main window's Find command: its dialog filled (the field, the value,
// partial match anywhere, not case-sensitive) and First or Next pressed,
// from the first entry; the dialog, opened again after a find, is then
// cancelled. The raw side runs the same LIKE scan. Next with a value only the
// first entry has reads to the end, says there is no further match and stays.
// The dialog offers the grid's fields only: a memo is searched by the routine
// its buttons call (`viaDialog` false).
void FindBench(benchmark::State& state, const char* field, const std::string& value, bool fromFirst,
               std::int64_t rawAfter, bool viaDialog = true) {
  const std::string& path = Database(state);
  MainWindow window(path);
  if (!Usable(state, window)) return;
  Raw raw(path);
  TDataSet* entries = window.form->dsetBug;
  const std::string label = entries->FieldByName(field)->DisplayLabel();
  bool asked = false, offered = true;
  TDialogResponderScope answers([&](TDialogRequest& r) -> TModalResult {
    auto* d = dynamic_cast<TwwLocateDlg*>(r.Dialog);
    if (!d) return mrOk;  // "no further match"
    if (asked) return mrCancel;
    asked = true;
    const int item = d->FieldNameComboBox->Items()->IndexOf(label);
    offered = item >= 0;
    if (!offered) return mrCancel;
    d->FieldNameComboBox->SetItemIndex(item);
    d->SearchValue->SetText(value);
    d->SetMatchType(mtPartialMatchAny);
    d->CaseSensitiveCheckBox->SetChecked(false);
    (fromFirst ? d->FirstButton : d->NextButton)->Click();
    return d->ModalResult() == mrNone ? mrCancel : mrNone;
  });
  std::int64_t rawFound = 0, found = 0;
  bench::Interleave(
      state,
      [&] {
        rawFound = raw.Number("SELECT ReportNumber FROM Reports WHERE " + std::string(bench::kScaleShown) +
                              " AND ReportNumber > " + std::to_string(rawAfter) + " AND " + field + " LIKE '%" +
                              value + "%'" + Raw::kOrder + " LIMIT 1");
      },
      [&] {
        asked = false;
        if (viaDialog) {
          window.form->tbFindClick(window.form->tbFind);
        } else {
          // As the command runs it: the window's detail pane still during the search.
          TBusyScope busy(window.form->Busy);
          wwLocateValue(fromFirst, entries, field, value, mtPartialMatchAny, false);
        }
        found = entries->FieldByName("ReportNumber")->AsInteger();
        window.PaintGrid();
      },
      [&] {
        if (!offered) state.SkipWithError("the Find dialog does not offer the field");
        else if (found != (rawFound ? rawFound : rawAfter)) state.SkipWithError("the find stopped elsewhere than the raw scan");
        entries->First();
        MainWindow::Flush();
      });
}

void BM_AppFindTitleFirst(benchmark::State& state) {
  const std::string token = "Entry " + std::to_string(LastShownEntry(int(state.range(0)), false)) + " ";
  FindBench(state, "Description", token, true, 0);
}
BENCHMARK(BM_AppFindTitleFirst)->Apply(bench::AtScaleSizes)->UseManualTime()->Iterations(9)->Unit(benchmark::kMillisecond);

void BM_AppFindTitleNext(benchmark::State& state) {
  // Entry 0 is the first program's first bug report: no later entry matches.
  const std::string token = "Entry 0 ";
  FindBench(state, "Description", token, false, 1);
}
BENCHMARK(BM_AppFindTitleNext)->Apply(bench::AtScaleSizes)->UseManualTime()->Iterations(9)->Unit(benchmark::kMillisecond);

void BM_AppFindReportFirst(benchmark::State& state) {
  const std::string token = "report " + std::to_string(LastShownEntry(int(state.range(0)), true)) + " ";
  FindBench(state, "Report", token, true, 0, false);
}
BENCHMARK(BM_AppFindReportFirst)->Apply(bench::AtScaleSizes)->UseManualTime()->Iterations(7)->Unit(benchmark::kMillisecond);

// Resident memory (MB) after start, a scroll end to end a page at a time,
// quick-filter switches and a filter-dialog condition; the time is that of
// the whole round.
void BM_AppResidentMemory(benchmark::State& state) {
  const std::string& path = Database(state);
  TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
  const double before = ResidentMB();
  double started = 0, scrolled = 0, quick = 0, dialog = 0;
  int pages = 0;
  for (auto _ : state) {
    MainWindow window(path);
    if (!Usable(state, window)) return;
    started = ResidentMB();
    const int page = window.form->dbgBug->VisibleDataRows();
    for (pages = 0; !window.form->dsetBug->Eof(); ++pages) {
      window.form->dsetBug->MoveBy(page);
      MainWindow::Flush();
    }
    scrolled = ResidentMB();
    for (TToolbarButton97* b : {window.form->tbPriorityFilter_Low, window.form->tbStatusFilter_NewReport,
                                window.form->tbPriorityFilter_Low, window.form->tbStatusFilter_NewReport})
      SwitchQuickFilter(window, b);
    window.form->dsetBug->Last();
    MainWindow::Flush();
    quick = ResidentMB();
    FilterByDialog(window);
    dialog = ResidentMB();
    ClearDialogFilter(window);
  }
  state.counters["rss_before_start_mb"] = before;
  state.counters["rss_started_mb"] = started;
  state.counters["rss_scrolled_mb"] = scrolled;
  state.counters["rss_quick_filter_mb"] = quick;
  state.counters["rss_filter_dialog_mb"] = dialog;
  // What the round added after the start: the same at every size when only
  // the windows of rows are held.
  state.counters["rss_growth_after_start_mb"] = dialog - started;
  state.counters["pages"] = pages;
}
BENCHMARK(BM_AppResidentMemory)->Apply(bench::AtScaleSizes)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
