// The DAO stand-in against raw SQLite doing the same work on the same file of
// 100,000 rows: a MoveNext walk in index order, Seek by key, and AddNew +
// Update of 10,000 rows in one transaction. Compare each DAO_ line with its
// Raw_ line of the same run.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "platform/dao/dao.h"

namespace {

constexpr int kRows = 100000;
const Variant M = Variant::FromError(DISP_E_PARAMNOTFOUND);

std::string KeyOf(int i) {
  // Keys in an order unrelated to insertion order.
  unsigned v = static_cast<unsigned>(i) * 2654435761u;
  return "key" + std::to_string(v % 1000000007u) + "-" + std::to_string(i);
}

struct Fixture {
  std::string dir;
  std::string path;
  DAODBEngine* engine = nullptr;
  DAODatabase* db = nullptr;
  sqlite3* raw = nullptr;

  Fixture() {
    dir = (std::filesystem::temp_directory_path() / ("vantrel-dao-bench-" + std::to_string(::getpid()))).string();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    path = dir + "/Bench.MDB";
    CoInitialize(nullptr);
    DaoRegisterServer();
    CLSID clsid;
    IID iid;
    CLSIDFromProgID(kDaoProgId35, &clsid);
    IIDFromString(kIIDDBEngine35W, &iid);
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(&engine));
    engine->CreateDatabase(path, "", M, &db);
    db->Execute("CREATE TABLE Items (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(40), Amount LONG)", M);
    db->Execute("CREATE INDEX ByName ON Items (Name)", M);
    db->Execute("CREATE TABLE RawItems (Id INTEGER PRIMARY KEY, Name TEXT COLLATE NOCASE, Amount INTEGER)", M);
    sqlite3_open(path.c_str(), &raw);
    sqlite3_exec(raw, "PRAGMA synchronous=NORMAL; BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(raw, "INSERT INTO Items (Name, Amount) VALUES (?, ?)", -1, &ins, nullptr);
    for (int i = 0; i < kRows; ++i) {
      std::string k = KeyOf(i);
      sqlite3_bind_text(ins, 1, k.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(ins, 2, i);
      sqlite3_step(ins);
      sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
  }
  ~Fixture() {
    sqlite3_close(raw);
    db->Close();
    db->Release();
    engine->Release();
    std::filesystem::remove_all(dir);
  }
};

Fixture& F() {
  static Fixture f;
  return f;
}

void DAO_MoveNextInIndexOrder(benchmark::State& state) {
  DAORecordset* rs = nullptr;
  F().db->OpenRecordset("Items", M, M, &rs);
  rs->put_Index("ByName");
  for (auto _ : state) {
    int n = 0;
    bool eof = false;
    rs->MoveFirst();
    for (rs->get_EOF(&eof); !eof; rs->get_EOF(&eof)) {
      ++n;
      rs->MoveNext();
    }
    if (n != kRows) state.SkipWithError("wrong row count");
  }
  rs->Release();
}
BENCHMARK(DAO_MoveNextInIndexOrder)->Unit(benchmark::kMillisecond);

void Raw_OrderByScan(benchmark::State& state) {
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(F().raw, "SELECT rowid, Id, Name, Amount FROM Items ORDER BY Name", -1, &s, nullptr);
  for (auto _ : state) {
    int n = 0;
    while (sqlite3_step(s) == SQLITE_ROW) {
      benchmark::DoNotOptimize(sqlite3_column_int64(s, 1));
      benchmark::DoNotOptimize(sqlite3_column_text(s, 2));
      benchmark::DoNotOptimize(sqlite3_column_int(s, 3));
      ++n;
    }
    sqlite3_reset(s);
    if (n != kRows) state.SkipWithError("wrong row count");
  }
  sqlite3_finalize(s);
}
BENCHMARK(Raw_OrderByScan)->Unit(benchmark::kMillisecond);

void DAO_Seek(benchmark::State& state) {
  DAORecordset* rs = nullptr;
  F().db->OpenRecordset("Items", M, M, &rs);
  rs->put_Index("ByName");
  std::mt19937 random(42);
  for (auto _ : state) {
    Variant key(KeyOf(static_cast<int>(random() % kRows)));
    rs->Seek("=", key, M, M, M, M, M, M, M, M, M, M, M, M);
    bool noMatch = true;
    rs->get_NoMatch(&noMatch);
    if (noMatch) state.SkipWithError("key not found");
  }
  rs->Release();
}
BENCHMARK(DAO_Seek);

void Raw_IndexedPointQuery(benchmark::State& state) {
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(F().raw, "SELECT rowid, Id, Name, Amount FROM Items WHERE Name = ?", -1, &s, nullptr);
  std::mt19937 random(42);
  for (auto _ : state) {
    std::string key = KeyOf(static_cast<int>(random() % kRows));
    sqlite3_bind_text(s, 1, key.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(s) != SQLITE_ROW) state.SkipWithError("key not found");
    benchmark::DoNotOptimize(sqlite3_column_text(s, 2));
    sqlite3_reset(s);
  }
  sqlite3_finalize(s);
}
BENCHMARK(Raw_IndexedPointQuery);

void DAO_AddNewUpdate10000(benchmark::State& state) {
  DAORecordset* rs = nullptr;
  F().db->OpenRecordset("Items", M, M, &rs);
  DAOFields* fields = nullptr;
  DAOField* name = nullptr;
  DAOField* amount = nullptr;
  rs->get_Fields(&fields);
  fields->get_Item(Variant("Name"), &name);
  fields->get_Item(Variant("Amount"), &amount);
  int next = kRows;
  for (auto _ : state) {
    F().engine->BeginTrans();
    for (int i = 0; i < 10000; ++i, ++next) {
      rs->AddNew();
      name->put_Value(Variant(KeyOf(next)));
      amount->put_Value(Variant(next));
      if (rs->Update() != S_OK) state.SkipWithError("update failed");
    }
    F().engine->CommitTrans(0);
  }
  name->Release();
  amount->Release();
  fields->Release();
  rs->Release();
}
BENCHMARK(DAO_AddNewUpdate10000)->Unit(benchmark::kMillisecond);

void Raw_Insert10000(benchmark::State& state) {
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(F().raw, "INSERT INTO Items (Name, Amount) VALUES (?, ?)", -1, &s, nullptr);
  int next = 10 * kRows;
  for (auto _ : state) {
    sqlite3_exec(F().raw, "BEGIN", nullptr, nullptr, nullptr);
    for (int i = 0; i < 10000; ++i, ++next) {
      std::string k = KeyOf(next);
      sqlite3_bind_text(s, 1, k.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(s, 2, next);
      if (sqlite3_step(s) != SQLITE_DONE) state.SkipWithError("insert failed");
      sqlite3_reset(s);
    }
    sqlite3_exec(F().raw, "COMMIT", nullptr, nullptr, nullptr);
  }
  sqlite3_finalize(s);
}
BENCHMARK(Raw_Insert10000)->Unit(benchmark::kMillisecond);

}  // namespace
