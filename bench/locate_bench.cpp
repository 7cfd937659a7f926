// Locate where an index serves: on the fields of the table's current index
// (the entries by program and entry number), and typing into a lookup combo
// over 10,000 names kept in a name index. Each against raw SQLite finding the
// same row through the same index, in the same run, interleaved (see
// trackertable.h); x_raw is the ratio of the two medians. Every field of the
// row found is read on both sides.
//
// Beside them, the roads a range of the index takes: a range over names
// starting with a text under a filter on another field, and a lookup combo
// whose table narrows to the typed start (NarrowSearch).
//
// And the main window's own shapes: its entries table on the index of a grid
// column (program, title) ranged to one program, where the grid's incremental
// search and the Find window locate; and a lookup combo over a person table
// opened as the window opens it, on no index.
//
// Set VANTREL_BENCH_MILLION=1 to add the 1,000,000-row case.

#include <stdlib.h>

#include <string>

#include "bench/scaledb.h"
#include "bench/trackertable.h"
#include "datactrls/edits/wwdblkcb.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/forms.h"

namespace {

using bench::Interleave;

bool WithMillion() {
  const char* v = std::getenv("VANTREL_BENCH_MILLION");
  return v != nullptr && *v != '\0' && *v != '0';
}

// Rows are visited in a scattered order, so each search moves the table far.
constexpr int kStride = 35711;

// ---- Locate on the current index's own fields

void Table_LocateOnIndexFields(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::string& path = bench::TrackerFile(rows);
  sqlite3* raw = bench::OpenRaw(path);
  bench::TableComponents components;
  auto table = components.Open(path, "Entries", true);
  table->SetIndexName("ByEntry");
  sqlite3_stmt* find = bench::PrepareRaw(raw, std::string("SELECT ") + bench::kTrackerColumns +
                                                  " FROM Entries WHERE ProgramNo = ? AND EntryNo = ? "
                                                  "ORDER BY ProgramNo, EntryNo, Id LIMIT 1");
  // Entry i has program 1 + i % 7 and number i / 7 + 1.
  int i = 0, rawI = 0;
  Interleave(
      state,
      [&] {
        rawI = (rawI + kStride) % rows;
        sqlite3_bind_int(find, 1, 1 + rawI % 7);
        sqlite3_bind_int(find, 2, rawI / 7 + 1);
        if (bench::RawReadAll(find) != 1) state.SkipWithError("raw: not found");
      },
      [&] {
        i = (i + kStride) % rows;
        if (!table->Locate("ProgramNo;EntryNo", VarArrayOf({Variant(1 + i % 7), Variant(i / 7 + 1)}), {}))
          state.SkipWithError("Locate: not found");
        for (TField* field : table->Fields()) benchmark::DoNotOptimize(field->AsVariant());
      });
  sqlite3_finalize(find);
  table->Close();
  sqlite3_close(raw);
}

void LocateSizes(benchmark::internal::Benchmark* b) {
  b->Arg(100000);
  if (WithMillion()) b->Arg(1000000);
}
BENCHMARK(Table_LocateOnIndexFields)->Apply(LocateSizes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

// ---- Typing into a lookup combo over names in a name index

constexpr int kNames = 10000;

std::string PersonName(int i) { return "Person " + std::to_string(i * 7919 % 100003) + " of team " + std::to_string(i % 97); }

const std::string& NamesFile() {
  static const std::string path = [] {
    std::string p = bench::ScratchFolder() + "/Names.MDB";
    dao::TDatabaseCore::Create(p, "");
    dao::TDatabaseCore db(p, false, false, "");
    db.Execute("CREATE TABLE Names (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(40), Team LONG)");
    db.Execute("CREATE INDEX ByName ON Names (Name)");
    db.Conn().Begin();
    auto insert = db.Conn().Prepare("INSERT INTO Names (Name, Team) VALUES (?, ?)");
    for (int i = 0; i < kNames; ++i) {
      insert->Bind(1, PersonName(i));
      insert->Bind(2, std::int64_t{i % 97});
      insert->Step();
      insert->Reset();
    }
    db.Conn().Commit();
    return p;
  }();
  return path;
}

// What the user has typed for name i: its start, in other case.
std::string Typed(int i) {
  std::string typed = PersonName(i).substr(0, 11);
  for (char& c : typed) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return typed;
}

// A lookup combo over the names in `table`, dropped down: each key typed
// (the start of a name, in other case) searches and completes the name.
void TypeIntoLookupCombo(benchmark::State& state, TDataSet* table) {
  TForm form{nullptr};
  auto* combo = new TwwDBLookupCombo(&form);
  form.SetBounds(0, 0, 400, 300);
  combo->SetBounds(10, 10, 300, 21);
  combo->SetParent(&form);
  combo->SetLookupTable(table);
  combo->SetLookupField("Name");
  combo->SetShowMatchText(true);
  form.Show();
  combo->SetFocus();
  combo->DropDown();
  sqlite3* raw = bench::OpenRaw(NamesFile());
  sqlite3_stmt* find = bench::PrepareRaw(raw, "SELECT Id, Name FROM Names WHERE Name >= ?1 AND Name < ?1 || 'z' "
                                              "ORDER BY Name, Id LIMIT 1");
  int i = 0, rawI = 0;
  bool completed = true;
  Interleave(
      state,
      [&] {
        rawI = (rawI + kStride) % kNames;
        const std::string typed = Typed(rawI);
        sqlite3_bind_text(find, 1, typed.c_str(), -1, SQLITE_TRANSIENT);
        benchmark::DoNotOptimize(bench::RawReadAll(find));
      },
      [&] {
        i = (i + kStride) % kNames;
        const std::string typed = Typed(i);
        combo->SetEditText(typed);
        combo->SetSelStart(int(typed.size()));
        combo->PerformSearch();
        completed = completed && combo->EditText().size() > typed.size();
      });
  if (!completed) state.SkipWithError("a search did not complete the name");
  sqlite3_finalize(find);
  sqlite3_close(raw);
  combo->CloseUp(false);
}

void LookupCombo_TypingOverIndexedNames(benchmark::State& state) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  Application->Initialize();
  bench::TableComponents components;
  auto table = components.Open(NamesFile(), "Names", true);
  table->SetIndexName("ByName");
  TypeIntoLookupCombo(state, table.get());
  table->Close();
}
BENCHMARK(LookupCombo_TypingOverIndexedNames)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(300);

// The main window's person tables: opened on no index, in the order rows were
// stored, while the combo searches the names.
void LookupCombo_TypingOverNamesOnNoIndex(benchmark::State& state) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  Application->Initialize();
  bench::TableComponents components;
  auto table = components.Open(NamesFile(), "Names", true);
  TypeIntoLookupCombo(state, table.get());
  table->Close();
}
BENCHMARK(LookupCombo_TypingOverNamesOnNoIndex)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(300);

// The search alone that each key starts there: the typed start looked for in
// the names' index, the table on no index moved to the name found.
void Table_NameSearchOnNoIndex(benchmark::State& state) {
  bench::TableComponents components;
  auto table = components.Open(NamesFile(), "Names", true);
  sqlite3* raw = bench::OpenRaw(NamesFile());
  sqlite3_stmt* find = bench::PrepareRaw(raw, "SELECT Id, Name, Team FROM Names WHERE Name >= ?1 AND Name < ?1 || 'z' "
                                              "ORDER BY Name, Id LIMIT 1");
  int i = 0, rawI = 0;
  Interleave(
      state,
      [&] {
        rawI = (rawI + kStride) % kNames;
        const std::string typed = Typed(rawI);
        sqlite3_bind_text(find, 1, typed.c_str(), -1, SQLITE_TRANSIENT);
        if (bench::RawReadAll(find) != 1) state.SkipWithError("raw: not found");
      },
      [&] {
        i = (i + kStride) % kNames;
        if (!table->LocateInKeyOrder("Name", Variant(Typed(i)), {loPartialKey, loCaseInsensitive}))
          state.SkipWithError("not found");
        for (TField* field : table->Fields()) benchmark::DoNotOptimize(field->AsVariant());
      });
  sqlite3_finalize(find);
  sqlite3_close(raw);
  table->Close();
}
BENCHMARK(Table_NameSearchOnNoIndex)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(300);

// ---- Locate in the main window's entries: one program's range of a grid
// column's index

// The entries of the program the window opens with, ranged on the index of
// the title column (program, title) as the window's master link ranges them.
// Entry i belongs to that program when i is a multiple of the program count.
struct RangedEntries {
  int entries;
  sqlite3* raw;
  bench::TableComponents components;
  std::unique_ptr<TttTable> table;
  explicit RangedEntries(int n) : entries(n), raw(bench::OpenRaw(bench::ScaleDatabaseFile(n))) {
    table = components.Open(bench::ScaleDatabaseFile(n), "Reports", true);
    table->SetIndexName("Description");
    table->SetRange({Variant(bench::kScaleProgram)}, {Variant(bench::kScaleProgram)});
  }
  ~RangedEntries() {
    table->Close();
    sqlite3_close(raw);
  }
  // The i-th entry of the program, in a scattered order.
  int Entry(int& i) const {
    const int inProgram = entries / bench::kScalePrograms;
    i = (i + kStride) % inProgram;
    return i * bench::kScalePrograms;
  }
  void ReadAll() {
    for (TField* field : table->Fields()) benchmark::DoNotOptimize(field->AsVariant());
  }
};

// A keyed Locate on the index's own fields: the program and a whole title.
void Table_RangedLocateOnIndexFields(benchmark::State& state) {
  RangedEntries e(static_cast<int>(state.range(0)));
  sqlite3_stmt* find = bench::PrepareRaw(e.raw, "SELECT * FROM Reports WHERE ProgramNumber = ?1 AND Description = ?2 "
                                                "ORDER BY ProgramNumber, Description, ReportNumber LIMIT 1");
  int i = 0, rawI = 0;
  Interleave(
      state,
      [&] {
        const std::string title = bench::ScaleDescription(e.Entry(rawI));
        sqlite3_bind_int(find, 1, bench::kScaleProgram);
        sqlite3_bind_text(find, 2, title.c_str(), -1, SQLITE_TRANSIENT);
        if (bench::RawReadAll(find) != 1) state.SkipWithError("raw: not found");
      },
      [&] {
        const std::string title = bench::ScaleDescription(e.Entry(i));
        if (!e.table->Locate("ProgramNumber;Description", VarArrayOf({Variant(bench::kScaleProgram), Variant(title)}), {}))
          state.SkipWithError("Locate: not found");
        e.ReadAll();
      });
  sqlite3_finalize(find);
}
BENCHMARK(Table_RangedLocateOnIndexFields)->Apply(bench::AtScaleSizes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

// A Locate on the title alone, as the Find window and the grid's incremental
// search ask: the start of a title typed in capitals.
void Table_RangedLocateOnTitle(benchmark::State& state) {
  RangedEntries e(static_cast<int>(state.range(0)));
  sqlite3_stmt* find = bench::PrepareRaw(e.raw, "SELECT * FROM Reports WHERE ProgramNumber = ?1 AND Description >= ?2 "
                                                "AND Description < ?2 || 'z' ORDER BY ProgramNumber, Description, "
                                                "ReportNumber LIMIT 1");
  // "Entry <i> crashes", in capitals: no other title starts so.
  auto typed = [](int entry) {
    std::string t = "Entry " + std::to_string(entry) + " crashes";
    for (char& c : t) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return t;
  };
  int i = 0, rawI = 0;
  Interleave(
      state,
      [&] {
        const std::string t = typed(e.Entry(rawI));
        sqlite3_bind_int(find, 1, bench::kScaleProgram);
        sqlite3_bind_text(find, 2, t.c_str(), -1, SQLITE_TRANSIENT);
        if (bench::RawReadAll(find) != 1) state.SkipWithError("raw: not found");
      },
      [&] {
        const int entry = e.Entry(i);
        if (!e.table->Locate("Description", Variant(typed(entry)), {loPartialKey, loCaseInsensitive}) ||
            e.table->FieldByName("Description")->AsString() != bench::ScaleDescription(entry))
          state.SkipWithError("Locate: not found");
        e.ReadAll();
      });
  sqlite3_finalize(find);
}
BENCHMARK(Table_RangedLocateOnTitle)->Apply(bench::AtScaleSizes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

// ---- A range over the names that start with a text, under a filter

// The names starting "Person <d>" (one in nine or so) for d = 1..9 in turn,
// the table ranged to them by their index and filtered by another field, every
// record of the range read; raw SQLite reads the same rows in the same order.
void Table_TextRangeUnderAFilter(benchmark::State& state) {
  bench::TableComponents components;
  auto table = components.Open(NamesFile(), "Names", true);
  table->SetIndexName("ByName");
  table->SetFilter("Team = 50");
  table->SetFiltered(true);
  sqlite3* raw = bench::OpenRaw(NamesFile());
  sqlite3_stmt* read = bench::PrepareRaw(raw, "SELECT Id, Name, Team FROM Names WHERE Name >= ?1 AND Name < ?2 AND "
                                              "Team = 50 ORDER BY Name, Id");
  int digit = 0, rawDigit = 0, rows = 0, rawRows = 0;
  Interleave(
      state,
      [&] {
        rawDigit = rawDigit % 9 + 1;
        // Past every name starting "Person <d>": the character after the digit.
        const std::string from = "Person " + std::to_string(rawDigit), to = "Person " + std::string(1, char('0' + rawDigit + 1));
        sqlite3_bind_text(read, 1, from.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(read, 2, to.c_str(), -1, SQLITE_TRANSIENT);
        rawRows = bench::RawReadAll(read);

      },
      [&] {
        digit = digit % 9 + 1;
        const std::string from = "Person " + std::to_string(digit);
        table->SetRange({Variant(from)}, {Variant(from + "\xFF")});
        rows = 0;
        for (table->First(); !table->Eof(); table->Next()) {
          for (TField* field : table->Fields()) benchmark::DoNotOptimize(field->AsVariant());
          ++rows;
        }
      },
      [&] {
        if (rows != rawRows) state.SkipWithError("the range shows other rows than raw SQLite reads");
      });
  state.counters["rows"] = rows;
  sqlite3_finalize(read);
  table->Close();
  sqlite3_close(raw);
}
BENCHMARK(Table_TextRangeUnderAFilter)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(45);

// ---- Typing into a lookup combo whose table narrows to the typed start

void LookupCombo_NarrowSearchOverIndexedNames(benchmark::State& state) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  Application->Initialize();
  bench::ScratchFolder();
  TwwTable table(nullptr);
  table.SetDatabaseName(NamesFile());
  table.SetTableName("Names");
  table.SetIndexName("ByName");
  table.NarrowSearch = true;
  table.Open();
  TypeIntoLookupCombo(state, &table);
  table.Close();
}
BENCHMARK(LookupCombo_NarrowSearchOverIndexedNames)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(300);


}  // namespace
