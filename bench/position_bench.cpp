// AbsolutePosition put on the tracker-shaped table in its entry-number order
// and in its key order, at the first, middle and last rows, every field of the row read: against
// raw SQLite doing the best it can for the same work, one prepared look-up by
// key from an array of the keys in order, interleaved in the same run (see
// trackertable.h). x_raw is the ratio of the medians, median_us the put's
// own time. A last case puts the cursor after another user's commit each
// time: the keys in order are read afresh, against raw SQLite counting its
// way there with OFFSET.
//
// Set VANTREL_BENCH_MILLION=1 to add the 1,000,000-row cases.

#include <cstdlib>

#include "bench/trackertable.h"

namespace {

const Variant M = Variant::FromError(DISP_E_PARAMNOTFOUND);
// The cursor's index and the same order in SQL.
struct Order {
  const char* index;
  const char* orderBy;
};
constexpr Order kOrders[] = {{"ByEntry", " ORDER BY ProgramNo, EntryNo, Id"}, {"PrimaryKey", " ORDER BY Id"}};

bool WithMillion() {
  const char* v = std::getenv("VANTREL_BENCH_MILLION");
  return v != nullptr && *v != '\0' && *v != '0';
}

// The row numbers in the order of the index, read once.
std::vector<std::int64_t> KeysInOrder(sqlite3* raw, const Order& order) {
  std::vector<std::int64_t> keys;
  sqlite3_stmt* s = bench::PrepareRaw(raw, std::string("SELECT Id FROM Entries") + order.orderBy);
  while (sqlite3_step(s) == SQLITE_ROW) keys.push_back(sqlite3_column_int64(s, 0));
  sqlite3_finalize(s);
  return keys;
}

struct Cursor {
  bench::DaoSide dao;
  DAORecordset* rs = nullptr;
  std::unique_ptr<bench::DaoFields> fields;
  Cursor(const std::string& path, const char* index) : dao(path) {
    dao.db->OpenRecordset("Entries", M, M, &rs);
    rs->put_Index(index);
    fields = std::make_unique<bench::DaoFields>(rs);
  }
  ~Cursor() {
    fields.reset();
    rs->Release();
  }
  // Puts the cursor at `position` and reads the row; false when it failed.
  bool PutAndRead(std::int32_t position) {
    if (FAILED(rs->put_AbsolutePosition(position))) return false;
    fields->ReadAll();
    return true;
  }
};

std::int32_t PositionOf(int which, int rows) {
  return which == 0 ? 0 : which == 1 ? rows / 2 : rows - 1;
}

void Counters(benchmark::State& state) {
  state.counters["median_us"] = state.counters["median_ms"] * 1e3;
  state.counters["raw_us"] = state.counters["raw_ms"] * 1e3;
}

// ---- One put at a row, the file unchanged between puts

void DAO_AbsolutePositionPut(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::int32_t position = PositionOf(static_cast<int>(state.range(1)), rows);
  const Order& order = kOrders[state.range(2)];
  const std::string& path = bench::TrackerFile(rows);
  Cursor cursor(path, order.index);
  sqlite3* raw = bench::OpenRaw(path);
  const std::vector<std::int64_t> keys = KeysInOrder(raw, order);
  sqlite3_stmt* byKey = bench::PrepareRaw(raw, std::string("SELECT ") + bench::kTrackerColumns + " FROM Entries WHERE Id=?");
  cursor.PutAndRead(position);  // the first put reads the keys in order
  bench::Interleave(
      state,
      [&] {
        sqlite3_bind_int64(byKey, 1, keys[static_cast<size_t>(position)]);
        if (sqlite3_step(byKey) != SQLITE_ROW) state.SkipWithError("raw: row missing");
        bench::ReadRawRow(byKey);
        sqlite3_reset(byKey);
      },
      [&] {
        if (!cursor.PutAndRead(position)) state.SkipWithError("DAO: put failed");
      });
  Counters(state);
  sqlite3_finalize(byKey);
  sqlite3_close(raw);
}

void PutCases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"rows", "row_first_mid_last", "order_entry_key"});
  for (int order = 0; order < 2; ++order)
    for (int which = 0; which < 3; ++which) {
      b->Args({100000, which, order});
      if (WithMillion()) b->Args({1000000, which, order});
    }
}
BENCHMARK(DAO_AbsolutePositionPut)->Apply(PutCases)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(2000);

// ---- A put after another user's commit each time (a row changed, so the
// order is read again), at the last row

void DAO_AbsolutePositionPutAfterOtherUsersCommit(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::int32_t position = rows - 1;
  const Order& order = kOrders[0];
  const std::string& path = bench::TrackerFile(rows);
  Cursor cursor(path, order.index);
  sqlite3* raw = bench::OpenRaw(path);
  sqlite3* other = bench::OpenRaw(path);
  sqlite3_stmt* byOffset = bench::PrepareRaw(
      raw, std::string("SELECT ") + bench::kTrackerColumns + " FROM Entries" + order.orderBy + " LIMIT 1 OFFSET ?");
  sqlite3_stmt* touch = bench::PrepareRaw(other, "UPDATE Entries SET Kind = ? WHERE Id = 1");
  int round = 0;
  bench::Interleave(
      state,
      [&] {
        sqlite3_bind_int64(byOffset, 1, position);
        if (sqlite3_step(byOffset) != SQLITE_ROW) state.SkipWithError("raw: row missing");
        bench::ReadRawRow(byOffset);
        sqlite3_reset(byOffset);
      },
      [&] {
        if (!cursor.PutAndRead(position)) state.SkipWithError("DAO: put failed");
      },
      [&] {
        sqlite3_bind_text(touch, 1, ++round % 2 ? "BG" : "FR", -1, SQLITE_STATIC);
        sqlite3_step(touch);
        sqlite3_reset(touch);
      });
  Counters(state);
  sqlite3_finalize(touch);
  sqlite3_finalize(byOffset);
  sqlite3_close(other);
  sqlite3_close(raw);
}

void CommitCases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"rows"});
  b->Arg(100000);
  if (WithMillion()) b->Arg(1000000);
}
BENCHMARK(DAO_AbsolutePositionPutAfterOtherUsersCommit)
    ->Apply(CommitCases)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

}  // namespace
