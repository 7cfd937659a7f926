// Reading every field of 100,000 rows through a table component (First, then
// Next to the end, every field's value) and through the engine's Access cursor
// (the call layer's record fetch and field reads) against a plain SQLite scan
// of the same rows, in the same run.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "dbengine/accessdb.h"
#include "dbengine/ttsession.h"
#include "dbengine/tttable.h"
#include "dbengine/virteng.h"
#include "platform/classlib/core/registry.h"
#include "platform/dao/core.h"
#include "platform/dao/dao.h"

namespace {
constexpr int kRows = 100000;

struct Fixture {
  std::string dir;
  std::string path;
  Fixture() {
    dir = (std::filesystem::temp_directory_path() / ("vantrel-engine-bench-" + std::to_string(::getpid()))).string();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "/registry");
    ::setenv("VANTREL_REGISTRY_DIR", (dir + "/registry").c_str(), 1);
    DaoRegisterServer();
    TRegistry reg;
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    reg.CreateKey("\\DAO.DBEngine.35");
    path = dir + "/Bench.MDB";
    dao::TDatabaseCore::Create(path, "");
    dao::TDatabaseCore db(path, false, false, "");
    db.Execute("CREATE TABLE Entries (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Title TEXT(50), "
               "Priority SHORT, Estimate DOUBLE, Opened DATETIME, Closed BIT)");
    db.Conn().Begin();
    auto insert = db.Conn().Prepare(
        "INSERT INTO Entries (Title, Priority, Estimate, Opened, Closed) VALUES (?, ?, ?, ?, ?)");
    for (int i = 0; i < kRows; ++i) {
      insert->Bind(1, "Entry number " + std::to_string(i));
      insert->Bind(2, std::int64_t{i % 5});
      insert->Bind(3, dao::Cell::MakeReal(i * 0.25));
      insert->Bind(4, dao::Cell::MakeReal(45000.5 + i % 1000));
      insert->Bind(5, std::int64_t{i % 2 == 0 ? -1 : 0});
      insert->Step();
      insert->Reset();
    }
    db.Conn().Commit();
  }
  ~Fixture() { std::filesystem::remove_all(dir); }
};

Fixture& Data() {
  static Fixture fixture;
  return fixture;
}

double rawSeconds = 0;

void BM_RawSqliteScan(benchmark::State& state) {
  dao::Connection conn(Data().path, true);
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    auto scan = conn.Prepare("SELECT Id, Title, Priority, Estimate, Opened, Closed FROM Entries ORDER BY Id");
    std::int64_t rows = 0;
    while (scan->Step()) {
      for (int c = 0; c < 6; ++c) benchmark::DoNotOptimize(scan->Column(c));
      ++rows;
    }
    if (rows != kRows) state.SkipWithError("wrong row count");
    rawSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
}
BENCHMARK(BM_RawSqliteScan)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_EngineCursorScan(benchmark::State& state) {
  TVirtEng engine([](TVirtEng* e, TMorvaCollection* s, const char* n, const char* d) -> TBaseSession* {
    return new TAccessSession(e, s, n, d);
  });
  TBaseDatabase* db = nullptr;
  if (engine.OpenDatabase(Data().path.c_str(), nullptr, 0, 0, "", 0, nullptr, nullptr, db) != 0) {
    state.SkipWithError("database did not open");
    return;
  }
  TBaseTable* cursor = nullptr;
  engine.OpenTable(db, "Entries", nullptr, nullptr, nullptr, 0, 1, 0, 0, false, nullptr, cursor);
  std::vector<std::uint8_t> record(cursor->GetRecordBufferSize());
  std::uint8_t value[512];
  double seconds = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    engine.SetToStart(cursor);
    std::int64_t rows = 0;
    while (engine.GetNextRecord(cursor, 0, record.data(), nullptr) == 0) {
      for (std::uint16_t f = 1; f <= 6; ++f) {
        bool blank = false;
        engine.GetField(cursor, f, record.data(), value, blank);
        benchmark::DoNotOptimize(value);
      }
      ++rows;
    }
    if (rows != kRows) state.SkipWithError("wrong row count");
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  if (rawSeconds > 0) state.counters["x_raw_sqlite"] = seconds / rawSeconds;
  engine.CloseCursor(cursor);
}
BENCHMARK(BM_EngineCursorScan)->Unit(benchmark::kMillisecond)->Iterations(3);

// The least binding of the components to the Access engine.
class TBenchSessionlist : public TttSessionlist {
 public:
  TttSession* GetSessionClass(TComponent*) override { return nullptr; }
  TSessionClass GetEngineClass() const override {
    return [](TVirtEng* e, TMorvaCollection* s, const char* n, const char* d) -> TBaseSession* {
      return new TAccessSession(e, s, n, d);
    };
  }
};

class TBenchSession : public TttSession {
 public:
  explicit TBenchSession(TttSessionlist* list) {
    list->AddSession(this);
    SetSessionName("Default");
  }
  TttDatabase* GetDatabaseClass(TComponent* owner) override {
    auto* db = new TttDatabase(owner);
    db->SetListOf(SessionList());
    return db;
  }
};

void BM_TableComponentScan(benchmark::State& state) {
  TBenchSessionlist list;
  new TBenchSession(&list);
  TttTable table;
  table.SetListOf(&list);
  table.SetDatabaseName(Data().path);
  table.SetTableName("Entries");
  table.SetReadOnly(true);
  table.Open();
  double seconds = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    std::int64_t rows = 0;
    for (table.First(); !table.Eof(); table.Next()) {
      for (TField* field : table.Fields()) benchmark::DoNotOptimize(field->AsVariant());
      ++rows;
    }
    if (rows != kRows) state.SkipWithError("wrong row count");
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  if (rawSeconds > 0) state.counters["x_raw_sqlite"] = seconds / rawSeconds;
  table.Close();
}
BENCHMARK(BM_TableComponentScan)->Unit(benchmark::kMillisecond)->Iterations(3);
}  // namespace
