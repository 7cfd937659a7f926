// The first open of a database an earlier build made: the wait of its first
// writer, who brings the case-blind indexes to the present order (the
// application's database at scale, bench/scaledb.h: 100,000 entries, and
// 1,000,000 with VANTREL_BENCH_MILLION=1).
//
// Against raw SQLite rebuilding every case-blind index of the same file
// (REINDEX of the collation), which is what the open did before it read the
// indexes first; x_raw is the ratio of the medians. Each run opens a fresh
// copy of the earlier build's file (the copy untimed), interleaved.
//
// InOrder: the earlier build's order agrees with the present one on these
// entries (their names are ASCII), as on most files; every index is read
// and kept. OutOfOrder: an order that agrees on nothing (the present one
// turned round), so that every index is built again.
//
// Beside it, Locate on the fields of the entries' current index (program and
// title, one entry each), by a user who may only read a file no writer has
// brought to the present order (the table read without its indexes), and
// after the rebuild: against raw SQLite finding the same entry by a scan of
// the table, and through the index.

#include <filesystem>
#include <map>
#include <string>

#include "bench/scaledb.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/core/foldedorder.h"
#include "tests/platform/dao/earlierbuild.h"

namespace {

namespace fs = std::filesystem;

int PresentOrder(void*, int n1, const void* p1, int n2, const void* p2) {
  return CompareFoldedText(std::string_view(static_cast<const char*>(p1), n1),
                           std::string_view(static_cast<const char*>(p2), n2));
}
int TurnedRound(void* x, int n1, const void* p1, int n2, const void* p2) { return -PresentOrder(x, n1, p1, n2, p2); }

// The scale database as the earlier build left it, in `order`; made once.
const std::string& EarlierFile(int entries, bool inOrder) {
  static std::map<std::pair<int, bool>, std::string> files;
  auto& path = files[{entries, inOrder}];
  if (!path.empty()) return path;
  path = bench::ScratchFolder() + "/Earlier" + (inOrder ? "InOrder" : "OutOfOrder") + std::to_string(entries) +
         ".MDB";
  fs::copy_file(bench::ScaleDatabaseFile(entries), path, fs::copy_options::overwrite_existing);
  const std::string failed = daotest::MakeEarlierBuildFile(path, 0, inOrder ? PresentOrder : TurnedRound);
  if (!failed.empty()) path.clear();
  return path;
}

// A fresh copy, its log files gone with the one before.
std::string FreshCopy(const std::string& earlier, const char* name) {
  const std::string copy = bench::ScratchFolder() + "/" + name + ".MDB";
  for (const char* side : {"", "-wal", "-shm", "-lock"}) fs::remove(copy + side);
  fs::copy_file(earlier, copy);
  return copy;
}

void FirstOpen(benchmark::State& state, bool inOrder) {
  const std::string& earlier = EarlierFile(static_cast<int>(state.range(0)), inOrder);
  if (earlier.empty()) return state.SkipWithError("the earlier build's file could not be made");
  std::string rawCopy = FreshCopy(earlier, "Raw"), openCopy = FreshCopy(earlier, "Open");
  bool rebuilt = true;
  bench::Interleave(
      state,
      [&] {
        daotest::OtherProgram raw(rawCopy, PresentOrder);
        rebuilt = rebuilt && raw.Run("REINDEX NOCASE").empty();
      },
      [&] {
        dao::TDatabaseCore db(openCopy, false, false, "");
        rebuilt = rebuilt && !db.Conn().CaseBlindIndexesStale();
      },
      [&] {
        rawCopy = FreshCopy(earlier, "Raw");
        openCopy = FreshCopy(earlier, "Open");
      });
  if (!rebuilt) state.SkipWithError("not rebuilt");
}

void FirstOpen_InOrder(benchmark::State& state) { FirstOpen(state, true); }
void FirstOpen_OutOfOrder(benchmark::State& state) { FirstOpen(state, false); }

BENCHMARK(FirstOpen_InOrder)->Apply(bench::AtScaleSizes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(FirstOpen_OutOfOrder)->Apply(bench::AtScaleSizes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);

// Entries are visited in a scattered order.
constexpr int kStride = 35711;

void Locate(benchmark::State& state, bool rebuilt) {
  const int entries = static_cast<int>(state.range(0));
  const std::string& earlier = EarlierFile(entries, true);
  if (earlier.empty()) return state.SkipWithError("the earlier build's file could not be made");
  const std::string path = FreshCopy(earlier, rebuilt ? "Rebuilt" : "Reader");
  if (rebuilt)
    dao::TDatabaseCore(path, false, false, "");
  else
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  bench::TableComponents components;
  auto table = components.Open(path, "Reports", !rebuilt);
  table->SetIndexName("Description");
  daotest::OtherProgram raw(path, PresentOrder);
  daotest::KnowCaseBlindOrder(raw.Handle());
  sqlite3_stmt* find = bench::PrepareRaw(raw.Handle(), std::string("SELECT * FROM Reports") +
                                                           (rebuilt ? "" : " NOT INDEXED") +
                                                           " WHERE ProgramNumber = ? AND Description = ?"
                                                           " ORDER BY ProgramNumber, Description, ReportNumber LIMIT 1");
  int i = 0, rawI = 0;
  bench::Interleave(
      state,
      [&] {
        rawI = (rawI + kStride) % entries;
        sqlite3_bind_int(find, 1, bench::ScaleProgram(rawI));
        const std::string title = bench::ScaleDescription(rawI);
        sqlite3_bind_text(find, 2, title.c_str(), -1, SQLITE_TRANSIENT);
        if (bench::RawReadAll(find) != 1) state.SkipWithError("raw: not found");
      },
      [&] {
        i = (i + kStride) % entries;
        if (!table->Locate("ProgramNumber;Description",
                           VarArrayOf({Variant(bench::ScaleProgram(i)), Variant(bench::ScaleDescription(i))}), {}))
          state.SkipWithError("Locate: not found");
        for (TField* field : table->Fields()) benchmark::DoNotOptimize(field->AsVariant());
      });
  sqlite3_finalize(find);
  table->Close();
}

void Locate_ReaderBeforeTheRebuild(benchmark::State& state) { Locate(state, false); }
void Locate_AfterTheRebuild(benchmark::State& state) { Locate(state, true); }

BENCHMARK(Locate_ReaderBeforeTheRebuild)->Apply(bench::AtScaleSizes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(Locate_AfterTheRebuild)->Apply(bench::AtScaleSizes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

}  // namespace
