#pragma once
// The application's database at scale, for the benchmarks that measure how the
// main window grows with the entries: made by the application's own schema
// routine, the entries spread over 20 programs (the first one is opened at
// start), every field filled, and a rich-text report of 300 to 700 bytes in one
// entry of three, of both kinds.
//
// Sizes: 10,000 and 100,000 entries always, 1,000,000 when
// VANTREL_BENCH_MILLION=1 is set. A file is made once per run in the scratch
// folder; with VANTREL_BENCH_CACHE=<folder> it is kept there and reused by
// later runs (the million takes a minute or two to write).

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "trackertable.h"

namespace bench {

inline constexpr int kScalePrograms = 20;
// Part of the cached files' names: raise it when the entries written change,
// so no run takes a file of the old shape from the cache.
inline constexpr int kScaleShape = 1;
// The sizes a scale benchmark runs at.
inline std::vector<std::int64_t> ScaleSizes() {
  std::vector<std::int64_t> sizes{10000, 100000};
  if (const char* million = ::getenv("VANTREL_BENCH_MILLION"); million && std::string(million) == "1")
    sizes.push_back(1000000);
  return sizes;
}

// The program opened at start, and the kind of entry its grid shows first.
inline constexpr int kScaleProgram = 1;
inline constexpr const char* kScaleShown = "ProgramNumber = 1 AND ReportType = 'BugReport'";

// Entry i's place: its program, and its number among that program's entries.
inline int ScaleProgram(int i) { return 1 + i % kScalePrograms; }
inline int ScaleInProgram(int i) { return i / kScalePrograms; }

// One in three entries of each kind (k % 9 is 0, 4 or 8: kinds 0, 1, 2 of k % 3)
// carries the report.
inline bool ScaleHasReport(int k) { return k % 9 % 4 == 0; }
inline bool ScaleIsFeature(int k) { return k % 3 == 2; }

// The title shown in the grid; "Entry <i> " is unique to entry i.
inline std::string ScaleDescription(int i) { return TrackerTitle(i); }

// A rich-text report of 300 to 700 bytes; its text names the entry
// ("report <i> ") so a find in the memo has a single match.
inline std::string ScaleReport(int i) {
  const std::string head = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ";
  const std::string tail = "\\par}";
  const std::size_t size = 300 + std::size_t(i) * 131 % 401;
  std::string text = "The window closes in report " + std::to_string(i) + " after a print. ";
  while (head.size() + text.size() + tail.size() < size) text += "Open it, print twice, close it again. ";
  text.resize(size - head.size() - tail.size());
  return head + text + tail;
}

// Lookup values the entries take, a handful each, cycled.
inline constexpr const char* kScaleAreas[] = {"Grid", "Reports", "Export", "Filters", "Charts", "Setup"};
inline constexpr const char* kScaleVersions[] = {"1.0", "1.1", "2.0", "2.1", "3.0"};
inline constexpr const char* kScaleSeverities[] = {"Crash", "Data Loss", "Wrong Result", "Cosmetic"};
inline constexpr const char* kScalePeople[] = {"Ann", "Ben", "Cara", "Dev", "Eli", "Fay", "Gus"};

template <std::size_t N>
const char* Cycle(const char* const (&values)[N], int i) {
  return values[std::size_t(i) % N];
}

inline void FillScaleLookups(dao::TDatabaseCore& db) {
  for (int p = 2; p <= kScalePrograms; ++p)
    db.Execute("INSERT INTO Programs ([Program]) VALUES ('Program " + std::to_string(p) + "')");
  for (const char* a : kScaleAreas) db.Execute(std::string("INSERT INTO Area (Area) VALUES ('") + a + "')");
  for (const char* v : kScaleVersions)
    db.Execute(std::string("INSERT INTO Version (Version) VALUES ('") + v + "')");
  for (const char* s : kScaleSeverities)
    db.Execute(std::string("INSERT INTO Severity (Severity) VALUES ('") + s + "')");
  for (const char* u : kScalePeople) {
    db.Execute(std::string("INSERT INTO [User] ([User], Email) VALUES ('") + u + "', '" + u + "@example.org')");
    db.Execute(std::string("INSERT INTO Employee (Employee) VALUES ('") + u + "')");
  }
}

inline void AddScaleEntries(dao::TDatabaseCore& db, int entries) {
  auto insert = db.Conn().Prepare(
      "INSERT INTO Reports (Identifier, Status, Priority, Severity, Description, Area, Version, ReportedBy, "
      "ReportedDate, Responsibility, FixedBy, FixedDate, FixedInVersion, VerifiedBy, VerifiedDate, ProgramNumber, "
      "ReportType, Report) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  for (int i = 0; i < entries; ++i) {
    const int k = ScaleInProgram(i);
    const double reported = 36000.0 + k % 3000;
    const double fixed = reported + k % 61, verified = fixed + k % 29;
    insert->Bind(1, "ID-" + std::to_string(i));
    insert->Bind(2, std::to_string(1 + k * 7 % 9));
    insert->Bind(3, std::to_string(1 + k / 9 % 5));
    insert->Bind(4, std::string(Cycle(kScaleSeverities, k)));
    insert->Bind(5, ScaleDescription(i));
    insert->Bind(6, std::string(Cycle(kScaleAreas, k)));
    insert->Bind(7, std::string(Cycle(kScaleVersions, k)));
    insert->Bind(8, std::string(Cycle(kScalePeople, k)));
    insert->Bind(9, dao::Cell::MakeReal(reported));
    insert->Bind(10, std::string(Cycle(kScalePeople, k + 1)));
    insert->Bind(11, std::string(Cycle(kScalePeople, k + 2)));
    insert->Bind(12, dao::Cell::MakeReal(fixed));
    insert->Bind(13, std::string(Cycle(kScaleVersions, k + 1)));
    insert->Bind(14, std::string(Cycle(kScalePeople, k + 3)));
    insert->Bind(15, dao::Cell::MakeReal(verified));
    insert->Bind(16, std::int64_t{ScaleProgram(i)});
    insert->Bind(17, std::string(ScaleIsFeature(k) ? "FeatureRequest" : "BugReport"));
    insert->Bind(18, ScaleHasReport(k) ? dao::Cell::MakeText(ScaleReport(i)) : dao::Cell());
    insert->Step();
    insert->Reset();
  }
}

// Writes the database of `entries` entries to `path`: one transaction, one
// prepared insert, a page cache big enough for the 17 indexes' hot pages.
inline void WriteScaleDatabase(const std::string& path, int entries) {
  CreateVantrelDatabase(path);
  dao::TDatabaseCore db(path, false, false, "");
  db.Conn().Exec("PRAGMA cache_size=-524288");
  db.Conn().Begin();
  FillScaleLookups(db);
  AddScaleEntries(db, entries);
  db.Conn().Commit();
}

// The database of `entries` entries, made once per run (or once per cache
// folder, see above).
inline const std::string& ScaleDatabaseFile(int entries) {
  static std::map<int, std::string> files;
  if (auto it = files.find(entries); it != files.end()) return it->second;
  // The scratch folder always: it also holds the settings store the main
  // window reads and writes, so no run touches the user's own settings.
  const std::string& scratch = ScratchFolder();
  const char* cache = ::getenv("VANTREL_BENCH_CACHE");
  const std::string folder = cache && *cache ? std::string(cache) : scratch;
  const std::string path = folder + "/VantrelScale" + std::to_string(kScaleShape) + "-" + std::to_string(entries) + ".MDB";
  if (!std::filesystem::exists(path)) {
    // Written under another name first, so a run stopped halfway leaves no
    // file that a later run would take for whole.
    const std::string partial = path + ".partial";
    std::filesystem::remove(partial);
    WriteScaleDatabase(partial, entries);
    std::filesystem::rename(partial, path);
    std::filesystem::remove(partial + "-lock");
  }
  return files[entries] = path;
}

// Registers `benchmark` once per scale size.
inline void AtScaleSizes(benchmark::internal::Benchmark* b) {
  for (std::int64_t n : ScaleSizes()) b->Arg(n);
}

}  // namespace bench
