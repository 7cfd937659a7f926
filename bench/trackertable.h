#pragma once
// What the data-road benchmarks share: a scratch folder (the settings store
// included, so no benchmark touches the user's own settings), the table shaped
// like the tracker's entries, the table component bound to the Access engine,
// and the interleaved comparison with raw SQLite.
//
// The entries table has 12 fields: a counter key, program and entry numbers, a
// 60-character title, four short codes, two dates, a currency amount and a memo
// of about 500 bytes in one row of three.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/schema/schema.h"
#include "dbengine/accessdb.h"
#include "dbengine/ttsession.h"
#include "dbengine/tttable.h"
#include "platform/classlib/core/registry.h"
#include "platform/dao/core.h"
#include "platform/dao/dao.h"

namespace bench {

inline constexpr int kTrackerFields = 12;
inline constexpr const char* kTrackerColumns =
    "Id, ProgramNo, EntryNo, Title, Kind, Status, Severity, Version, Opened, Changed, Estimate, Notes";

// A fresh folder under the system's temporary folder, removed at exit; the
// settings store lives in it.
inline const std::string& ScratchFolder() {
  struct Folder {
    std::string path;
    Folder() {
      std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-bench-XXXXXX").string();
      path = ::mkdtemp(pattern.data());
      std::filesystem::create_directories(path + "/registry");
      ::setenv("VANTREL_REGISTRY_DIR", (path + "/registry").c_str(), 1);
      DaoRegisterServer();
    }
    ~Folder() { std::filesystem::remove_all(path); }
  };
  static Folder folder;
  return folder.path;
}

// The title of entry i: 60 characters.
inline std::string TrackerTitle(int i) {
  std::string t = "Entry " + std::to_string(i) + " crashes when the report is printed twice";
  t.resize(60, '.');
  return t;
}

inline std::string TrackerMemo(int i) {
  std::string m;
  while (m.size() < 500) m += "Step " + std::to_string(i) + ": open the window, print, close again. ";
  return m;
}

// Writes the entries table of `rows` rows into a new database file.
inline void CreateTrackerTable(const std::string& path, int rows) {
  dao::TDatabaseCore::Create(path, "");
  dao::TDatabaseCore db(path, false, false, "");
  db.Execute(
      "CREATE TABLE Entries (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, ProgramNo LONG, EntryNo LONG, "
      "Title TEXT(60), Kind TEXT(2), Status TEXT(2), Severity TEXT(2), Version TEXT(10), Opened DATETIME, "
      "Changed DATETIME, Estimate CURRENCY, Notes MEMO)");
  db.Execute("CREATE INDEX ByEntry ON Entries (ProgramNo, EntryNo)");
  db.Conn().Begin();
  auto insert = db.Conn().Prepare(
      "INSERT INTO Entries (ProgramNo, EntryNo, Title, Kind, Status, Severity, Version, Opened, Changed, "
      "Estimate, Notes) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  static const char* const kKinds[] = {"BG", "FR", "DC", "QS"};
  static const char* const kStatus[] = {"OP", "FX", "CL"};
  for (int i = 0; i < rows; ++i) {
    insert->Bind(1, std::int64_t{1 + i % 7});
    insert->Bind(2, std::int64_t{i / 7 + 1});
    insert->Bind(3, TrackerTitle(i));
    insert->Bind(4, std::string(kKinds[i % 4]));
    insert->Bind(5, std::string(kStatus[i % 3]));
    insert->Bind(6, "S" + std::to_string(i % 5));
    insert->Bind(7, "2." + std::to_string(i % 13));
    insert->Bind(8, dao::Cell::MakeReal(35000.25 + i % 3000));
    insert->Bind(9, dao::Cell::MakeReal(36000.5 + i % 2000));
    insert->Bind(10, std::int64_t{(i % 1000) * 1234});
    insert->Bind(11, i % 3 == 0 ? dao::Cell::MakeText(TrackerMemo(i)) : dao::Cell());
    insert->Step();
    insert->Reset();
  }
  db.Conn().Commit();
}

// The entries table of `rows` rows, made once per size and run.
inline const std::string& TrackerFile(int rows) {
  static std::map<int, std::string> files;
  auto it = files.find(rows);
  if (it != files.end()) return it->second;
  std::string path = ScratchFolder() + "/Tracker" + std::to_string(rows) + ".MDB";
  CreateTrackerTable(path, rows);
  return files[rows] = path;
}

// Reads every column of the current row of a raw statement, texts copied.
inline void ReadRawRow(sqlite3_stmt* s) {
  int n = sqlite3_column_count(s);
  for (int c = 0; c < n; ++c) {
    switch (sqlite3_column_type(s, c)) {
      case SQLITE_INTEGER: benchmark::DoNotOptimize(sqlite3_column_int64(s, c)); break;
      case SQLITE_FLOAT: benchmark::DoNotOptimize(sqlite3_column_double(s, c)); break;
      case SQLITE_TEXT: {
        std::string text(reinterpret_cast<const char*>(sqlite3_column_text(s, c)),
                         static_cast<std::size_t>(sqlite3_column_bytes(s, c)));
        benchmark::DoNotOptimize(text);
        break;
      }
      default: break;
    }
  }
}

// Steps a raw statement to its end reading every row; answers the row count
// and leaves the statement reset for another run.
inline int RawReadAll(sqlite3_stmt* s) {
  int n = 0;
  while (sqlite3_step(s) == SQLITE_ROW) {
    ReadRawRow(s);
    ++n;
  }
  sqlite3_reset(s);
  return n;
}

// Opened as the product opens its own connections (no mutex per call), so
// that the comparison is of the work done, not of the locking mode.
inline sqlite3* OpenRaw(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  sqlite3_busy_timeout(db, 5000);
  return db;
}

inline sqlite3_stmt* PrepareRaw(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) return nullptr;
  return s;
}

template <class F>
double SecondsOf(F&& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs the raw work and the subject's alternately, once each per iteration
// (which goes first alternates too), and reports the subject's time as the
// iteration's, the raw median and the ratio of the two medians. Register with
// UseManualTime().
// `untimed` runs after each pair (e.g. to undo what the subject made).
template <class Raw, class Subject, class Untimed>
void Interleave(benchmark::State& state, Raw&& raw, Subject&& subject, Untimed&& untimed) {
  std::vector<double> rawTimes, subjectTimes;
  bool rawFirst = true;
  for (auto _ : state) {
    double r = 0, s = 0;
    if (rawFirst) {
      r = SecondsOf(raw);
      s = SecondsOf(subject);
    } else {
      s = SecondsOf(subject);
      r = SecondsOf(raw);
    }
    rawFirst = !rawFirst;
    rawTimes.push_back(r);
    subjectTimes.push_back(s);
    state.SetIterationTime(s);
    untimed();
  }
  double rawMedian = Median(rawTimes);
  state.counters["raw_ms"] = rawMedian * 1e3;
  state.counters["median_ms"] = Median(subjectTimes) * 1e3;
  if (rawMedian > 0) state.counters["x_raw"] = Median(subjectTimes) / rawMedian;
}

template <class Raw, class Subject>
void Interleave(benchmark::State& state, Raw&& raw, Subject&& subject) {
  Interleave(state, raw, subject, [] {});
}

// The least binding of the table component to the Access engine.
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

// First, then every record to the end with every field read; the count.
inline int WalkTable(TttTable& table) {
  int n = 0;
  for (table.First(); !table.Eof(); table.Next()) {
    for (TField* field : table.Fields()) benchmark::DoNotOptimize(field->AsVariant());
    ++n;
  }
  return n;
}

// A session list with its default session, and tables opened through it.
struct TableComponents {
  TBenchSessionlist list;
  TableComponents() { new TBenchSession(&list); }
  std::unique_ptr<TttTable> Open(const std::string& path, const std::string& table, bool readOnly) {
    auto t = std::make_unique<TttTable>();
    t->SetListOf(&list);
    t->SetDatabaseName(path);
    t->SetTableName(table);
    t->SetReadOnly(readOnly);
    t->Open();
    return t;
  }
};

// DAO through its interfaces: the engine and one open database.
struct DaoSide {
  DAODBEngine* engine = nullptr;
  DAODatabase* db = nullptr;
  explicit DaoSide(const std::string& path) {
    ScratchFolder();
    CoInitialize(nullptr);
    CLSID clsid;
    IID iid;
    CLSIDFromProgID(kDaoProgId35, &clsid);
    IIDFromString(kIIDDBEngine35W, &iid);
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(&engine));
    const Variant missing = Variant::FromError(DISP_E_PARAMNOTFOUND);
    engine->OpenDatabase(path, missing, missing, missing, &db);
  }
  ~DaoSide() {
    db->Close();
    db->Release();
    engine->Release();
  }
  DaoSide(const DaoSide&) = delete;
  DaoSide& operator=(const DaoSide&) = delete;
};

// The fields of a recordset, held for the length of a benchmark.
struct DaoFields {
  std::vector<DAOField*> items;
  explicit DaoFields(DAORecordset* rs) {
    DAOFields* fields = nullptr;
    rs->get_Fields(&fields);
    std::int16_t n = 0;
    fields->get_Count(&n);
    for (std::int16_t i = 0; i < n; ++i) {
      DAOField* f = nullptr;
      fields->get_Item(Variant(static_cast<int>(i)), &f);
      items.push_back(f);
    }
    fields->Release();
  }
  ~DaoFields() {
    for (DAOField* f : items) f->Release();
  }
  // MoveFirst, then every row to the end with every field read; the row count.
  int Walk(DAORecordset* rs) {
    int n = 0;
    bool eof = false;
    rs->MoveFirst();
    for (rs->get_EOF(&eof); !eof; rs->get_EOF(&eof)) {
      ReadAll();
      ++n;
      rs->MoveNext();
    }
    return n;
  }
  void ReadAll() {
    for (DAOField* f : items) {
      Variant v;
      f->get_Value(&v);
      benchmark::DoNotOptimize(v);
    }
  }
};

// ---- The application's database -------------------------------------------
// Made by the application's own schema routine: `entries` entries in program 1
// (the one opened at start), a few small programs beside it; every status and
// priority code in both kinds; an RTF report memo of 0.5 to 4 KB on nine
// entries of ten.

inline constexpr int kAppSmallPrograms = 3, kAppSmallProgramEntries = 50;

inline std::string AppMemo(int i) {
  const std::size_t size = 512 + std::size_t(i) * 37 % 3585;
  std::string text;
  while (text.size() < size) text += "The report window closes when entry " + std::to_string(i) + " is printed. ";
  text.resize(size);
  return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 " + text + "\\par}";
}

inline void AddAppEntries(dao::TDatabaseCore& db, int program, int entries) {
  auto insert = db.Conn().Prepare(
      "INSERT INTO Reports (ProgramNumber, ReportType, Status, Priority, Identifier, Description, "
      "ReportedBy, ReportedDate, Report) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
  for (int i = 0; i < entries; ++i) {
    insert->Bind(1, std::int64_t{program});
    insert->Bind(2, std::string(i % 3 == 2 ? "FeatureRequest" : "BugReport"));
    insert->Bind(3, std::to_string(1 + i % 9));
    insert->Bind(4, std::to_string(1 + i / 9 % 5));
    insert->Bind(5, "ID-" + std::to_string(i));
    insert->Bind(6, TrackerTitle(i));
    insert->Bind(7, std::string("Reporter ") + char('A' + i % 7));
    insert->Bind(8, dao::Cell::MakeReal(36000.0 + i % 3000));
    insert->Bind(9, i % 10 == 9 ? dao::Cell() : dao::Cell::MakeText(AppMemo(i)));
    insert->Step();
    insert->Reset();
  }
}

// The application's database with `entries` entries in its first program,
// made once per size and run.
inline const std::string& AppDatabaseFile(int entries) {
  static std::map<int, std::string> files;
  if (auto it = files.find(entries); it != files.end()) return it->second;
  std::string path = ScratchFolder() + "/Vantrel" + std::to_string(entries) + ".MDB";
  CreateVantrelDatabase(path);
  dao::TDatabaseCore db(path, false, false, "");
  db.Conn().Begin();
  AddAppEntries(db, 1, entries);
  for (int p = 0; p < kAppSmallPrograms; ++p) {
    db.Execute("INSERT INTO Programs ([Program]) VALUES ('Small Program " + std::to_string(p + 1) + "')");
    AddAppEntries(db, p + 2, kAppSmallProgramEntries);
  }
  db.Conn().Commit();
  return files[entries] = path;
}

}  // namespace bench
