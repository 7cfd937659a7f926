// The data grid over the tracker's entries table of 10,000, 100,000 and
// (VANTREL_BENCH_MILLION=1) 1,000,000 rows (the argument), all 12
// fields as columns: opening the table with the grid bound and painting the
// first screen, one page down and one row down past the bottom (the rows'
// pixels move and the window paints what came in, as the user sees it), and
// End (last record and repaint). The yardstick is raw SQLite reading the same screenful of rows
// (every column) in the same run, interleaved. The `buffers` counter is the
// record window the grid keeps: the visible rows, whatever the table's size.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "datactrls/wwdbigrd.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/graphics/images.h"
#include "scaledb.h"

namespace {

constexpr int kWidth = 1600, kHeight = 800;

// A form with the grid bound to a data source, and a bitmap to paint on.
struct GridSide {
  TForm form{nullptr};
  TDataSource source;
  TwwCustomDBGrid* grid = new TwwCustomDBGrid(&form);
  TBitmap surface;
  GridSide() {
    form.SetBounds(0, 0, kWidth + 20, kHeight + 20);
    grid->SetBounds(0, 0, kWidth, kHeight);
    grid->SetParent(&form);
    form.Show();
    surface.SetSize(kWidth, kHeight);
  }
  // Binds the grid to the entries table, opened read-only.
  std::unique_ptr<TttTable> Bind(bench::TableComponents& components, int entries) {
    auto table = components.Open(bench::TrackerFile(entries), "Entries", true);
    source.SetDataSet(table.get());
    grid->SetDataSource(&source);
    Paint();
    return table;
  }
  void Paint() {
    const TRect all = grid->ClientRect();
    grid->Perform(WM_PAINT, WPARAM(surface.Canvas()), LPARAM(&all));
  }
  // Lets the window paint what a move left to paint.
  static void Flush() { Application->ProcessMessages(); }
};

// Raw SQLite reading one screenful of rows from `sql`.
struct RawSide {
  sqlite3* db;
  sqlite3_stmt* stmt;
  RawSide(int entries, const std::string& sql) : db(bench::OpenRaw(bench::TrackerFile(entries))) {
    stmt = bench::PrepareRaw(db, sql);
  }
  ~RawSide() {
    sqlite3_finalize(stmt);
    sqlite3_close(db);
  }
  void Read() { benchmark::DoNotOptimize(bench::RawReadAll(stmt)); }
};

std::string Screenful(const char* order, int offset, int rows) {
  return std::string("SELECT ") + bench::kTrackerColumns + " FROM Entries ORDER BY Id " + order +
         " LIMIT " + std::to_string(rows) + " OFFSET " + std::to_string(offset);
}

void BM_DbGridOpenFirstScreen(benchmark::State& state) {
  Application->Initialize();
  const std::string& path = bench::TrackerFile(int(state.range(0)));
  bench::TableComponents components;
  GridSide side;
  RawSide raw(int(state.range(0)), Screenful("ASC", 0, 40));
  std::unique_ptr<TttTable> table;
  bench::Interleave(
      state, [&] { raw.Read(); },
      [&] {
        side.source.SetDataSet(nullptr);
        table = components.Open(path, "Entries", true);
        side.source.SetDataSet(table.get());
        side.grid->SetDataSource(&side.source);
        side.Paint();
      });
  state.counters["buffers"] = side.grid->DataLink()->BufferCount();
  side.source.SetDataSet(nullptr);
}
BENCHMARK(BM_DbGridOpenFirstScreen)->Apply(bench::AtScaleSizes)->UseManualTime()->Iterations(21)->Unit(benchmark::kMillisecond);

// Pages down from the first record, one page per iteration.
void BM_DbGridPageDown(benchmark::State& state) {
  Application->Initialize();
  bench::TableComponents components;
  GridSide side;
  auto table = side.Bind(components, int(state.range(0)));
  const int page = side.grid->VisibleDataRows();
  int offset = 0;
  RawSide raw(int(state.range(0)), Screenful("ASC", 0, page));
  bench::Interleave(
      state,
      [&] {
        offset += page;
        sqlite3_finalize(raw.stmt);
        raw.stmt = bench::PrepareRaw(raw.db, Screenful("ASC", offset, page));
        raw.Read();
      },
      [&] {
        table->MoveBy(page);
        side.Flush();
      });
  state.counters["buffers"] = side.grid->DataLink()->BufferCount();
  side.source.SetDataSet(nullptr);
}
BENCHMARK(BM_DbGridPageDown)->Apply(bench::AtScaleSizes)->UseManualTime()->Iterations(101)->Unit(benchmark::kMillisecond);

// One row down from the last row of the window: the rows move up by one and
// only the row that came in (and the two current-record rows) are painted.
void BM_DbGridLineDown(benchmark::State& state) {
  Application->Initialize();
  bench::TableComponents components;
  GridSide side;
  auto table = side.Bind(components, int(state.range(0)));
  const int page = side.grid->VisibleDataRows();
  table->MoveBy(page - 1);
  side.Flush();
  int offset = page - 1;
  RawSide raw(int(state.range(0)), Screenful("ASC", offset, 1));
  bench::Interleave(
      state,
      [&] {
        ++offset;
        sqlite3_finalize(raw.stmt);
        raw.stmt = bench::PrepareRaw(raw.db, Screenful("ASC", offset, 1));
        raw.Read();
      },
      [&] {
        table->Next();
        side.Flush();
      });
  side.source.SetDataSet(nullptr);
}
BENCHMARK(BM_DbGridLineDown)->Apply(bench::AtScaleSizes)->UseManualTime()->Iterations(201)->Unit(benchmark::kMillisecond);

// Repainting the same screen: the painting's share of a page down.
void BM_DbGridRepaint(benchmark::State& state) {
  Application->Initialize();
  bench::TableComponents components;
  GridSide side;
  auto table = side.Bind(components, int(state.range(0)));
  RawSide raw(int(state.range(0)), Screenful("ASC", 0, side.grid->VisibleDataRows()));
  bench::Interleave(state, [&] { raw.Read(); }, [&] { side.Paint(); });
  side.source.SetDataSet(nullptr);
}
BENCHMARK(BM_DbGridRepaint)->Apply(bench::AtScaleSizes)->UseManualTime()->Iterations(51)->Unit(benchmark::kMillisecond);

// End from the first record: the last screenful read and painted.
void BM_DbGridEnd(benchmark::State& state) {
  Application->Initialize();
  bench::TableComponents components;
  GridSide side;
  auto table = side.Bind(components, int(state.range(0)));
  RawSide raw(int(state.range(0)), Screenful("DESC", 0, side.grid->VisibleDataRows()));
  bench::Interleave(
      state, [&] { raw.Read(); },
      [&] {
        table->First();
        side.Paint();
        table->Last();
        side.Paint();
      });
  state.counters["buffers"] = side.grid->DataLink()->BufferCount();
  side.source.SetDataSet(nullptr);
}
BENCHMARK(BM_DbGridEnd)->Apply(bench::AtScaleSizes)->UseManualTime()->Iterations(21)->Unit(benchmark::kMillisecond);

}  // namespace
