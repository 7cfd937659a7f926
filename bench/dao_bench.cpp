// The DAO stand-in against raw SQLite doing the same work on the same file of
// 100,000 rows, interleaved in the same run (see trackertable.h): a MoveNext
// walk in index order reading every field, Seek by key, and AddNew + Update of
// 10,000 rows in one transaction. x_raw is the ratio of the medians.

#include <random>
#include <string>

#include "bench/trackertable.h"

namespace {

constexpr int kRows = 100000;
const Variant M = Variant::FromError(DISP_E_PARAMNOTFOUND);

std::string KeyOf(int i) {
  // Keys in an order unrelated to insertion order.
  unsigned v = static_cast<unsigned>(i) * 2654435761u;
  return "key" + std::to_string(v % 1000000007u) + "-" + std::to_string(i);
}

struct Fixture {
  std::string path;
  std::unique_ptr<bench::DaoSide> dao;
  sqlite3* raw = nullptr;

  Fixture() {
    path = bench::ScratchFolder() + "/Items.MDB";
    {
      dao::TDatabaseCore::Create(path, "");
      dao::TDatabaseCore db(path, false, false, "");
      db.Execute("CREATE TABLE Items (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(40), Amount LONG)");
      db.Execute("CREATE INDEX ByName ON Items (Name)");
    }
    dao = std::make_unique<bench::DaoSide>(path);
    raw = bench::OpenRaw(path);
    sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = bench::PrepareRaw(raw, "INSERT INTO Items (Name, Amount) VALUES (?, ?)");
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
  ~Fixture() { sqlite3_close(raw); }
};

Fixture& F() {
  static Fixture f;
  return f;
}

int RowCount() {
  sqlite3_stmt* s = bench::PrepareRaw(F().raw, "SELECT count(*) FROM Items");
  sqlite3_step(s);
  int n = sqlite3_column_int(s, 0);
  sqlite3_finalize(s);
  return n;
}

void DAO_MoveNextInIndexOrder(benchmark::State& state) {
  DAORecordset* rs = nullptr;
  F().dao->db->OpenRecordset("Items", M, M, &rs);
  rs->put_Index("ByName");
  bench::DaoFields fields(rs);
  const int rows = RowCount();
  sqlite3_stmt* s = bench::PrepareRaw(F().raw, "SELECT Id, Name, Amount FROM Items ORDER BY Name, Id");
  bench::Interleave(
      state,
      [&] {
        if (bench::RawReadAll(s) != rows) state.SkipWithError("raw: wrong row count");
      },
      [&] {
        if (fields.Walk(rs) != rows) state.SkipWithError("DAO: wrong row count");
      });
  sqlite3_finalize(s);
  rs->Release();
}
BENCHMARK(DAO_MoveNextInIndexOrder)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void DAO_Seek1000(benchmark::State& state) {
  DAORecordset* rs = nullptr;
  F().dao->db->OpenRecordset("Items", M, M, &rs);
  rs->put_Index("ByName");
  bench::DaoFields fields(rs);
  sqlite3_stmt* s = bench::PrepareRaw(F().raw, "SELECT Id, Name, Amount FROM Items WHERE Name = ?");
  std::mt19937 random(42);
  std::vector<std::string> keys;
  for (int i = 0; i < 1000; ++i) keys.push_back(KeyOf(static_cast<int>(random() % kRows)));
  bench::Interleave(
      state,
      [&] {
        for (const auto& key : keys) {
          sqlite3_bind_text(s, 1, key.c_str(), -1, SQLITE_TRANSIENT);
          if (sqlite3_step(s) != SQLITE_ROW) state.SkipWithError("raw: key not found");
          bench::ReadRawRow(s);
          sqlite3_reset(s);
        }
      },
      [&] {
        for (const auto& key : keys) {
          rs->Seek("=", Variant(key), M, M, M, M, M, M, M, M, M, M, M, M);
          bool noMatch = true;
          rs->get_NoMatch(&noMatch);
          if (noMatch) state.SkipWithError("DAO: key not found");
          fields.ReadAll();
        }
      });
  sqlite3_finalize(s);
  rs->Release();
}
BENCHMARK(DAO_Seek1000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

// Both sides add to the same table in turns, so neither meets a grown table
// the other did not.
void DAO_AddNewUpdate10000(benchmark::State& state) {
  DAORecordset* rs = nullptr;
  F().dao->db->OpenRecordset("Items", M, M, &rs);
  bench::DaoFields fields(rs);
  DAOField* name = fields.items[1];
  DAOField* amount = fields.items[2];
  sqlite3_stmt* s = bench::PrepareRaw(F().raw, "INSERT INTO Items (Name, Amount) VALUES (?, ?)");
  int next = kRows;
  bench::Interleave(
      state,
      [&] {
        sqlite3_exec(F().raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        for (int i = 0; i < 10000; ++i, ++next) {
          std::string k = KeyOf(next);
          sqlite3_bind_text(s, 1, k.c_str(), -1, SQLITE_TRANSIENT);
          sqlite3_bind_int(s, 2, next);
          if (sqlite3_step(s) != SQLITE_DONE) state.SkipWithError("raw: insert failed");
          sqlite3_reset(s);
        }
        sqlite3_exec(F().raw, "COMMIT", nullptr, nullptr, nullptr);
      },
      [&] {
        F().dao->engine->BeginTrans();
        for (int i = 0; i < 10000; ++i, ++next) {
          rs->AddNew();
          name->put_Value(Variant(KeyOf(next)));
          amount->put_Value(Variant(next));
          if (rs->Update() != S_OK) state.SkipWithError("DAO: update failed");
        }
        F().dao->engine->CommitTrans(0);
      });
  sqlite3_finalize(s);
  rs->Release();
}
BENCHMARK(DAO_AddNewUpdate10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);

}  // namespace
