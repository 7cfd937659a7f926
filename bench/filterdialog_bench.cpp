// The filter dialog's local filter over 100,000 engine entries: three
// conditions (a start match on the title, an or-list of statuses, a date
// range) applied and the last record reached, and the same filter walked to
// its end; each against raw SQLite running the same WHERE on the same file in
// the same run, interleaved (see trackertable.h). x_raw is the ratio of the
// two medians. Target: apply and reach the last record in at most 300 ms.

#include "bench/trackertable.h"
#include "datactrls/wwfltdlg.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/db/datasource.h"
#include "platform/classlib/dialogs/dialogs.h"

namespace {

using bench::Interleave;

constexpr int kRows = 100000;
// The date range: days 36000 to 36500 of the Opened column.
constexpr double kFromDay = 36000, kToDay = 36500;
const std::string kRawWhere =
    " FROM Entries WHERE Title LIKE 'entry 1%' AND upper(Status) IN ('OP', 'FX') AND Opened >= 36000 AND "
    "Opened <= 36500";

void AddCondition(TwwFilterDialog& d, const char* field, TwwFilterMatchType match, const std::string& value,
                  const std::string& min = "", const std::string& max = "") {
  auto info = std::make_unique<TwwFieldInfo>();
  info->FieldName = info->DisplayLabel = field;
  info->MatchType = match;
  info->FilterValue = value;
  info->MinValue = min;
  info->MaxValue = max;
  d.FieldInfo().push_back(std::move(info));
}

// The dialog over a table of the entries, with the three conditions.
struct FilteredEntries {
  bench::TableComponents components;
  std::unique_ptr<TttTable> table;
  TDataSource source;
  TwwFilterDialog dialog;
  explicit FilteredEntries(const std::string& path) : table(components.Open(path, "Entries", true)) {
    source.SetDataSet(table.get());
    dialog.SetDataSource(&source);
    AddCondition(dialog, "Title", fdMatchStart, "entry 1");
    AddCondition(dialog, "Status", fdMatchExact, "op or fx");
    AddCondition(dialog, "Opened", fdMatchRange, "", DateToStr(kFromDay), DateToStr(kToDay));
  }
  ~FilteredEntries() {
    dialog.ClearFilter();
    dialog.ApplyFilter();
    source.SetDataSet(nullptr);
    table->Close();
  }
  void Unfilter() {
    table->SetOnFilterRecord(nullptr);
    table->SetFiltered(false);
  }
};

int RawSteps(sqlite3_stmt* s) {
  int n = 0;
  while (sqlite3_step(s) == SQLITE_ROW) {
    bench::ReadRawRow(s);
    ++n;
  }
  sqlite3_reset(s);
  return n;
}

// The first records (as the table's window fills) and then the last one.
void Filter_ApplyAndLast(benchmark::State& state) {
  const std::string& path = bench::TrackerFile(kRows);
  sqlite3* raw = bench::OpenRaw(path);
  sqlite3_stmt* first = bench::PrepareRaw(raw, std::string("SELECT ") + bench::kTrackerColumns + kRawWhere + " ORDER BY Id LIMIT 100");
  sqlite3_stmt* last = bench::PrepareRaw(raw, std::string("SELECT ") + bench::kTrackerColumns + kRawWhere + " ORDER BY Id DESC LIMIT 1");
  TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
  FilteredEntries f(path);
  std::int64_t lastId = 0;
  Interleave(
      state,
      [&] {
        RawSteps(first);
        if (sqlite3_step(last) == SQLITE_ROW) lastId = sqlite3_column_int64(last, 0);
        sqlite3_reset(last);
      },
      [&] {
        f.Unfilter();
        f.dialog.ApplyFilter();
        f.table->Last();
        if (f.table->FieldByName("Id")->AsInteger() != lastId) state.SkipWithError("not the raw side's last record");
      });
  if (boxes.Count() != 0) state.SkipWithError("the filter reported a problem");
  sqlite3_finalize(first);
  sqlite3_finalize(last);
  sqlite3_close(raw);
}
BENCHMARK(Filter_ApplyAndLast)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);

// Every record that passes, every field read.
void Filter_Walk(benchmark::State& state) {
  const std::string& path = bench::TrackerFile(kRows);
  sqlite3* raw = bench::OpenRaw(path);
  sqlite3_stmt* all = bench::PrepareRaw(raw, std::string("SELECT ") + bench::kTrackerColumns + kRawWhere + " ORDER BY Id");
  TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
  FilteredEntries f(path);
  int rawCount = 0;
  f.dialog.ApplyFilter();
  Interleave(
      state, [&] { rawCount = RawSteps(all); },
      [&] {
        const int n = bench::WalkTable(*f.table);
        if (n != rawCount || n == 0) state.SkipWithError("the two sides disagree");
      });
  state.counters["records"] = rawCount;
  sqlite3_finalize(all);
  sqlite3_close(raw);
}
BENCHMARK(Filter_Walk)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

}  // namespace
