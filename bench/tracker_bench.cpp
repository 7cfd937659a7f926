// The data road on a table shaped like the tracker's entries, each line
// against raw SQLite doing the same work on the same file in the same run,
// interleaved (see trackertable.h); x_raw is the ratio of the two medians.
// Every field is read on both sides, texts copied.
//
// Set VANTREL_BENCH_MILLION=1 to add the 1,000,000-row cases (the file takes
// a while to generate).

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "bench/trackertable.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/streams.h"

namespace {

using bench::Interleave;

const Variant M = Variant::FromError(DISP_E_PARAMNOTFOUND);
constexpr int kRows = 100000;
constexpr int kEdited = 2000;

bool WithMillion() {
  const char* v = std::getenv("VANTREL_BENCH_MILLION");
  return v != nullptr && *v != '\0' && *v != '0';
}

void RawScan(sqlite3* raw, int rows, benchmark::State& state) {
  sqlite3_stmt* s = bench::PrepareRaw(raw, std::string("SELECT ") + bench::kTrackerColumns + " FROM Entries ORDER BY Id");
  int n = bench::RawReadAll(s);
  sqlite3_finalize(s);
  if (n != rows) state.SkipWithError("raw: wrong row count");
}

// ---- MoveNext over the whole table, every field read

void DAO_Scan(benchmark::State& state) {
  int rows = static_cast<int>(state.range(0));
  const std::string& path = bench::TrackerFile(rows);
  bench::DaoSide dao(path);
  sqlite3* raw = bench::OpenRaw(path);
  DAORecordset* rs = nullptr;
  dao.db->OpenRecordset("Entries", M, M, &rs);
  bench::DaoFields fields(rs);
  Interleave(
      state, [&] { RawScan(raw, rows, state); },
      [&] {
        if (fields.Walk(rs) != rows) state.SkipWithError("DAO: wrong row count");
      });
  rs->Release();
  sqlite3_close(raw);
}

void ScanSizes(benchmark::internal::Benchmark* b) {
  b->Arg(10000)->Arg(kRows);
  if (WithMillion()) b->Arg(1000000);
}
BENCHMARK(DAO_Scan)->Apply(ScanSizes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// ---- First/Next through the table component

void Table_Scan(benchmark::State& state) {
  int rows = static_cast<int>(state.range(0));
  const std::string& path = bench::TrackerFile(rows);
  sqlite3* raw = bench::OpenRaw(path);
  bench::TableComponents components;
  auto table = components.Open(path, "Entries", true);
  Interleave(
      state, [&] { RawScan(raw, rows, state); },
      [&] {
        if (bench::WalkTable(*table) != rows) state.SkipWithError("table: wrong row count");
      });
  table->Close();
  sqlite3_close(raw);
}
BENCHMARK(Table_Scan)->Apply(ScanSizes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// ---- Read every field and change one, 2,000 rows in one transaction

// A title that no run before wrote: SQLite leaves a row whose new value is
// its old one unwritten, so a side that wrote the same values again would
// skip the work it is measured for. Each side names itself and counts its runs.
std::string RevisedTitle(const char* by, int round, int i) {
  std::string t = std::string("Revised by ") + by + " " + std::to_string(round) + "/" + std::to_string(i);
  t.resize(60, '-');
  return t;
}

// The raw side commits as durably as the product does in the file's sharing
// mode: local mode is the write-ahead log with synchronous=NORMAL (a commit
// survives a crash of the program, the log is synced at checkpoints), network
// mode the rollback journal with synchronous=FULL (every commit synced).
// SQLite's own default (FULL) would sync the raw side's log at every commit
// and make it slower than the same work done the product's way.
void CommitLikeTheProduct(sqlite3* raw, bool network) {
  sqlite3_exec(raw, network ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
}

// SELECT the next row, UPDATE it by key; `rows` rows in one transaction, or
// each UPDATE committing on its own.
void RawEdit(sqlite3* raw, benchmark::State& state, int rows = kEdited, bool oneTransaction = true) {
  static int round = 0;
  sqlite3_stmt* next =
      bench::PrepareRaw(raw, std::string("SELECT ") + bench::kTrackerColumns + " FROM Entries WHERE Id > ? ORDER BY Id LIMIT 1");
  sqlite3_stmt* update = bench::PrepareRaw(raw, "UPDATE Entries SET Title = ? WHERE Id = ?");
  if (oneTransaction) sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  std::int64_t id = 0;
  for (int i = 0; i < rows; ++i) {
    sqlite3_bind_int64(next, 1, id);
    if (sqlite3_step(next) != SQLITE_ROW) state.SkipWithError("raw: row missing");
    bench::ReadRawRow(next);
    id = sqlite3_column_int64(next, 0);
    sqlite3_reset(next);
    std::string title = RevisedTitle("raw", round, i);
    sqlite3_bind_text(update, 1, title.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(update, 2, id);
    if (sqlite3_step(update) != SQLITE_DONE) state.SkipWithError("raw: update failed");
    sqlite3_reset(update);
  }
  if (oneTransaction) sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_finalize(next);
  sqlite3_finalize(update);
  ++round;
}

void DAO_EditUpdate(benchmark::State& state) {
  const std::string& path = bench::TrackerFile(kRows);
  bench::DaoSide dao(path);
  sqlite3* raw = bench::OpenRaw(path);
  CommitLikeTheProduct(raw, false);
  DAORecordset* rs = nullptr;
  dao.db->OpenRecordset("Entries", M, M, &rs);
  bench::DaoFields fields(rs);
  DAOField* title = fields.items[3];
  int round = 0;
  Interleave(
      state, [&] { RawEdit(raw, state); },
      [&] {
        dao.engine->BeginTrans();
        rs->MoveFirst();
        for (int i = 0; i < kEdited; ++i) {
          fields.ReadAll();
          rs->Edit();
          title->put_Value(Variant(RevisedTitle("DAO", round, i)));
          if (rs->Update() != S_OK) state.SkipWithError("DAO: update failed");
          rs->MoveNext();
        }
        dao.engine->CommitTrans(0);
        ++round;
      });
  rs->Release();
  sqlite3_close(raw);
}
BENCHMARK(DAO_EditUpdate)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

// From the first row on, every field read, the title changed and posted.
void EditPostRows(TttTable& table, TField* title, int rows) {
  static int round = 0;
  table.First();
  for (int i = 0; i < rows; ++i) {
    for (TField* field : table.Fields()) benchmark::DoNotOptimize(field->AsVariant());
    table.Edit();
    title->SetAsString(RevisedTitle("table", round, i));
    table.Post();
    table.Next();
  }
  ++round;
}

void Table_EditPost(benchmark::State& state) {
  const std::string& path = bench::TrackerFile(kRows);
  sqlite3* raw = bench::OpenRaw(path);
  CommitLikeTheProduct(raw, false);
  bench::TableComponents components;
  auto table = components.Open(path, "Entries", false);
  TField* title = table->FieldByName("Title");
  TBaseDatabase* db = table->DBHandle();
  Interleave(
      state, [&] { RawEdit(raw, state); },
      [&] {
        void* transaction = nullptr;
        db->BeginTransaction(0, transaction);
        EditPostRows(*table, title, kEdited);
        db->EndTransaction(transaction, 0);
      });
  table->Close();
  sqlite3_close(raw);
}
BENCHMARK(Table_EditPost)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

// ---- The same dataset loop without a transaction: each Post commits, as
// each UPDATE of the raw loop does, in local mode (arg 0) and in network
// mode (arg 1, the rollback journal that a file in a network folder gets),
// each side as durably as the product commits there. Network mode runs fewer
// rows: each commit waits for the disk there.

constexpr int kCommittedLocal = 2000;
constexpr int kCommittedNetwork = 100;

// A copy of the tracker file for one mode's runs, so the other cases keep
// their file in the mode they expect.
std::string ModeCopy(bool network) {
  std::string path = bench::ScratchFolder() + (network ? "/TrackerNetwork.MDB" : "/TrackerLocal.MDB");
  std::filesystem::remove(path);
  std::filesystem::copy_file(bench::TrackerFile(kRows), path);
  return path;
}

void Table_EditPostEachCommits(benchmark::State& state) {
  const bool network = state.range(0) != 0;
  const int rows = network ? kCommittedNetwork : kCommittedLocal;
  const std::string path = ModeCopy(network);
  if (network) ::setenv("VANTREL_NETWORK_MODE", "1", 1);
  {
    // The product opens first: in network mode it takes the file out of the
    // log's mode, and the raw connection then finds the rollback journal.
    bench::TableComponents components;
    auto table = components.Open(path, "Entries", false);
    sqlite3* raw = bench::OpenRaw(path);
    const char* journal = network ? "delete" : "wal";
    sqlite3_stmt* mode = bench::PrepareRaw(raw, "PRAGMA journal_mode");
    if (sqlite3_step(mode) != SQLITE_ROW ||
        std::string(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0))) != journal)
      state.SkipWithError("the file is not in the expected journal mode");
    sqlite3_finalize(mode);
    CommitLikeTheProduct(raw, network);
    TField* title = table->FieldByName("Title");
    // The raw side's commits are counted: one per row, as claimed.
    int commits = 0;
    sqlite3_commit_hook(
        raw, [](void* n) { return ++*static_cast<int*>(n), 0; }, &commits);
    Interleave(
        state,
        [&] {
          commits = 0;
          RawEdit(raw, state, rows, false);
          if (commits != rows) state.SkipWithError("raw: not one commit per row");
        },
        [&] { EditPostRows(*table, title, rows); });
    table->Close();
    sqlite3_close(raw);
  }
  if (network) ::unsetenv("VANTREL_NETWORK_MODE");
  std::filesystem::remove(path);
}
BENCHMARK(Table_EditPostEachCommits)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);
// Each commit there waits for the disk, whose delays other work on the
// machine makes uneven: more rounds settle the medians.
BENCHMARK(Table_EditPostEachCommits)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

// ---- Resident memory of a query recordset over the whole table

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

// Opens the query in a child process, walks it to its last row and back to
// its first reading every field there, and answers the growth of the child's
// resident memory in kilobytes (-1 on failure).
long QueryGrowth(const std::string& path) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return -1;
  pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeEnds[0]);
    long growth = -1;
    {
      bench::DaoSide dao(path);
      long before = ResidentKilobytes();
      DAORecordset* rs = nullptr;
      if (dao.db->OpenRecordset("SELECT * FROM Entries ORDER BY Id", M, M, &rs) == S_OK) {
        bench::DaoFields fields(rs);
        rs->MoveLast();
        fields.ReadAll();
        rs->MoveFirst();
        fields.ReadAll();
        growth = ResidentKilobytes() - before;
      }
      if (rs != nullptr) rs->Release();
    }
    ssize_t written = ::write(pipeEnds[1], &growth, sizeof growth);
    ::_exit(written == sizeof growth ? 0 : 1);
  }
  ::close(pipeEnds[1]);
  long growth = -1;
  if (::read(pipeEnds[0], &growth, sizeof growth) != sizeof growth) growth = -1;
  ::close(pipeEnds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return growth;
}

void DAO_QueryResidentMemory(benchmark::State& state) {
  const std::string& path = bench::TrackerFile(static_cast<int>(state.range(0)));
  long growth = 0;
  for (auto _ : state) growth = QueryGrowth(path);
  if (growth < 0) state.SkipWithError("the query did not open");
  state.counters["resident_MB"] = static_cast<double>(growth) / 1024.0;
}
void QuerySizes(benchmark::internal::Benchmark* b) {
  b->Arg(kRows);
  if (WithMillion()) b->Arg(1000000);
}
BENCHMARK(DAO_QueryResidentMemory)->Apply(QuerySizes)->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- A 16 MB memo through a blob stream in 64 KB pieces, against AsString

const std::string& LargeMemoFile() {
  static std::string path;
  if (!path.empty()) return path;
  path = bench::ScratchFolder() + "/LargeMemo.MDB";
  dao::TDatabaseCore::Create(path, "");
  dao::TDatabaseCore db(path, false, false, "");
  db.Execute("CREATE TABLE Notes (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Body MEMO)");
  std::string body(16 << 20, 'x');
  for (std::size_t i = 0; i < body.size(); i += 97) body[i] = static_cast<char>('a' + i % 26);
  auto insert = db.Conn().Prepare("INSERT INTO Notes (Body) VALUES (?)");
  insert->Bind(1, dao::Cell::MakeText(body));
  insert->Step();
  return path;
}

void Table_BlobStream16MB(benchmark::State& state) {
  bench::TableComponents components;
  auto table = components.Open(LargeMemoFile(), "Notes", true);
  // Without the record's blob cache both sides read from the engine each time.
  table->SetCacheBlobs(false);
  TField* body = table->FieldByName("Body");
  std::vector<char> piece(64 << 10);
  Interleave(
      state, [&] { benchmark::DoNotOptimize(body->AsString()); },
      [&] {
        std::unique_ptr<TStream> stream(table->CreateBlobStream(body, bmRead));
        std::int64_t total = 0;
        for (std::int64_t got; (got = stream->Read(piece.data(), static_cast<std::int64_t>(piece.size()))) > 0;)
          total += got;
        if (total != (16 << 20)) state.SkipWithError("stream: wrong size");
      });
  table->Close();
}
BENCHMARK(Table_BlobStream16MB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// ---- AbsolutePosition near the end, read after each move

void DAO_AbsolutePositionAfterMove(benchmark::State& state) {
  bench::DaoSide dao(bench::TrackerFile(kRows));
  DAORecordset* rs = nullptr;
  dao.db->OpenRecordset("Entries", M, M, &rs);
  rs->put_AbsolutePosition(kRows - 20);
  int step = 0;
  for (auto _ : state) {
    // Ten moves forward, ten back: always near row 99,990.
    if (step++ % 20 < 10)
      rs->MoveNext();
    else
      rs->MovePrevious();
    std::int32_t position = -1;
    rs->get_AbsolutePosition(&position);
    if (position < kRows - 21 || position > kRows - 9) state.SkipWithError("wrong position");
  }
  rs->Release();
}
BENCHMARK(DAO_AbsolutePositionAfterMove)->Unit(benchmark::kMicrosecond)->Iterations(400);

// ---- Locate on a field without an index; a filtered scan

void Table_LocateNonIndexed(benchmark::State& state) {
  const std::string& path = bench::TrackerFile(kRows);
  sqlite3* raw = bench::OpenRaw(path);
  bench::TableComponents components;
  auto table = components.Open(path, "Entries", true);
  const std::string wanted = bench::TrackerTitle(kRows - 1000);
  sqlite3_stmt* find = bench::PrepareRaw(
      raw, std::string("SELECT ") + bench::kTrackerColumns + " FROM Entries WHERE Title = ? ORDER BY Id LIMIT 1");
  Interleave(
      state,
      [&] {
        sqlite3_bind_text(find, 1, wanted.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(find) != SQLITE_ROW) state.SkipWithError("raw: not found");
        bench::ReadRawRow(find);
        sqlite3_reset(find);
      },
      [&] {
        table->First();
        if (!table->Locate("Title", Variant(wanted), {})) state.SkipWithError("Locate: not found");
        for (TField* field : table->Fields()) benchmark::DoNotOptimize(field->AsVariant());
      });
  sqlite3_finalize(find);
  table->Close();
  sqlite3_close(raw);
}
BENCHMARK(Table_LocateNonIndexed)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

// The conditions users set on the entries, each with the WHERE raw SQLite runs
// for it: a text equal and a start of a text (case as typed, and any case), a
// number, a date range, a blank test, two joined by and / or, and one entry by
// its number (as the single entry's report sets it).
struct FilterCase {
  const char* label;
  std::string filter;
  TFilterOptions options;
  std::string where;
};

constexpr std::size_t kFilterCases = 9;  // the cases below, registered before they are made

// Made on first use, after the settings store is in place (dates are written
// in its short date format).
const std::vector<FilterCase>& FilterCases() {
  // Days 35500 to 35800 of the Opened column (it holds 35000.25 to 37999.25).
  static const std::string from = DateToStr(35500), to = DateToStr(35800);
  static const std::vector<FilterCase> cases = {
      {"text_equal", "Severity = 'S3'", {foNoPartialCompare}, "Severity = 'S3'"},
      {"text_equal_anycase", "Status = 'op'", {foCaseInsensitive, foNoPartialCompare}, "Status = 'OP' COLLATE NOCASE"},
      {"text_start", "Title = 'Entry 1*'", {}, "Title GLOB 'Entry 1*'"},
      {"number", "ProgramNo = 3", {}, "ProgramNo = 3"},
      {"date_range", "Opened >= '" + from + "' and Opened < '" + to + "'", {}, "Opened >= 35500 AND Opened < 35800"},
      {"blank", "Notes = NULL", {}, "Notes IS NULL"},
      {"and", "Severity = 'S3' and ProgramNo = 3", {foNoPartialCompare}, "Severity = 'S3' AND ProgramNo = 3"},
      {"or", "Kind = 'BG' or Status = 'OP'", {foNoPartialCompare}, "Kind = 'BG' OR Status = 'OP'"},
      {"by_number", "Id = 5000", {}, "Id = 5000"},
  };
  return cases;
}

void Table_FilterScan(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::string& path = bench::TrackerFile(rows);
  const FilterCase& c = FilterCases().at(static_cast<std::size_t>(state.range(1)));
  state.SetLabel(c.label);
  sqlite3* raw = bench::OpenRaw(path);
  bench::TableComponents components;
  auto table = components.Open(path, "Entries", true);
  table->SetFilter(c.filter);
  table->SetFilterOptions(c.options);
  table->SetFiltered(true);
  sqlite3_stmt* s =
      bench::PrepareRaw(raw, std::string("SELECT ") + bench::kTrackerColumns + " FROM Entries WHERE " + c.where + " ORDER BY Id");
  int expected = 0;  // the raw side runs first
  Interleave(
      state, [&] { expected = bench::RawReadAll(s); },
      [&] {
        const int n = bench::WalkTable(*table);
        // Every case lets some entries through.
        if (n != expected || n == 0) state.SkipWithError("filter: not the raw side's records");
      });
  state.counters["records"] = expected;
  sqlite3_finalize(s);
  table->Close();
  sqlite3_close(raw);
}

void FilterScanArgs(benchmark::internal::Benchmark* b) {
  std::vector<std::int64_t> sizes = {10000, kRows};
  if (WithMillion()) sizes.push_back(1000000);
  for (std::int64_t rows : sizes)
    for (std::size_t c = 0; c < kFilterCases; ++c) b->Args({rows, static_cast<std::int64_t>(c)});
}
BENCHMARK(Table_FilterScan)->Apply(FilterScanArgs)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

}  // namespace
