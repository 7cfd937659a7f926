// Reading every field of the tracker-shaped table through the engine's Access
// cursor (the call layer's record fetch and field reads) against raw SQLite
// reading the same rows, interleaved in the same run (see trackertable.h).
// The memo is left out on both sides (the call layer reads it as a blob); the
// table component's scan, memo included, is in tracker_bench.

#include <vector>

#include "bench/trackertable.h"
#include "dbengine/virteng.h"

namespace {
constexpr int kRows = 100000;

void BM_EngineCursorScan(benchmark::State& state) {
  const std::string& path = bench::TrackerFile(kRows);
  sqlite3* raw = bench::OpenRaw(path);
  TVirtEng engine([](TVirtEng* e, TMorvaCollection* s, const char* n, const char* d) -> TBaseSession* {
    return new TAccessSession(e, s, n, d);
  });
  TBaseDatabase* db = nullptr;
  if (engine.OpenDatabase(path.c_str(), nullptr, 0, 0, "", 0, nullptr, nullptr, db) != 0) {
    state.SkipWithError("database did not open");
    return;
  }
  TBaseTable* cursor = nullptr;
  engine.OpenTable(db, "Entries", nullptr, nullptr, nullptr, 0, 1, 0, 0, false, nullptr, cursor);
  std::vector<std::uint8_t> record(cursor->GetRecordBufferSize());
  std::vector<std::uint8_t> value(4096);
  bench::Interleave(
      state,
      [&] {
        sqlite3_stmt* s =
            bench::PrepareRaw(raw, "SELECT Id, ProgramNo, EntryNo, Title, Kind, Status, Severity, Version, Opened, "
                                   "Changed, Estimate FROM Entries ORDER BY Id");
        int rows = bench::RawReadAll(s);
        sqlite3_finalize(s);
        if (rows != kRows) state.SkipWithError("raw: wrong row count");
      },
      [&] {
        engine.SetToStart(cursor);
        int rows = 0;
        while (engine.GetNextRecord(cursor, 0, record.data(), nullptr) == 0) {
          for (std::uint16_t f = 1; f < bench::kTrackerFields; ++f) {
            bool blank = false;
            engine.GetField(cursor, f, record.data(), value.data(), blank);
            benchmark::DoNotOptimize(value.data());
          }
          ++rows;
        }
        if (rows != kRows) state.SkipWithError("engine: wrong row count");
      });
  engine.CloseCursor(cursor);
  sqlite3_close(raw);
}
BENCHMARK(BM_EngineCursorScan)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
}  // namespace
