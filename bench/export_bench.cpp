// Export of a program's entries (every column, the rich-text memos as their
// plain text) to comma-separated and HTML files through the main window's File
// menu, at 100,000 entries (and 1,000,000 with VANTREL_BENCH_MILLION=1).
//
// Two yardsticks run in the same run, interleaved with the export (the order
// turns each iteration), and the counters give every median and the ratios:
// - cli_ms / x_cli: the sqlite3 command-line tool as a child process, timed
//   end to end (start, query, writing the file), with -csv or -html and one
//   SELECT of the same 23 columns of the same rows in the same order, on the
//   same database file. It writes each value as stored: status and priority
//   codes, dates as numbers, and the memos raw. On the "Rtf" tables the memos
//   are RTF, which the export reads for its text and the tool writes as they
//   are; on the "Plain" tables the memos are stored as their plain text, so
//   both sides write the same memo text and the ratio there is the honest one
//   for the data road. cli_MB is the size of the tool's file.
// - raw_ms / x_raw: raw SQLite reading the rows in the window's order and
//   writing the export's own bytes with the export's text routines (checked
//   equal to the export's file for CSV).
// The HTML export writes two title rows and a separator per entry besides the
// values, so its file is larger than the tool's.
//
// Memory: rss_MB is the resident set before the first export, rss_after_MB
// after the last, rss_growth_MB the most it grew while an export ran (sampled
// every few milliseconds). The export holds one 64 KB buffer and the current
// entry whatever the number of entries, so the growth stays flat from 100,000
// to 1,000,000 entries. file_MB is the size of the export's file.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/common/exportformat.h"
#include "app/main/bug.h"
#include "app/schema/schema.h"
#include "appwindow.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/richedit/rtf.h"
#include "trackertable.h"

extern char** environ;

namespace {

constexpr int kEntries = 100000, kMillion = 1000000;
// The exported columns in the export's order, as one SELECT; the program's
// name comes from the program table.
constexpr const char* kSelect =
    "SELECT p.[Program], r.ReportNumber, r.Identifier, r.Status, r.Priority, r.Severity, "
    "r.Description, r.Area, r.Version, r.ReportedBy, r.ReportedDate, r.Responsibility, r.FixedBy, "
    "r.FixedDate, r.FixedInVersion, r.VerifiedBy, r.VerifiedDate, r.ReportType, r.Report, "
    "r.Resolution, r.Steps, r.Workaround, r.Attachment FROM Reports r, Programs p "
    "WHERE r.ProgramNumber = 1 AND p.ProgramNumber = 1 ORDER BY r.ProgramNumber, r.ReportNumber";
constexpr int kSelectColumns = 23;
constexpr int kFirstMemo = 18, kLastMemo = 21;
const int kDateColumns[] = {10, 13, 16};

// A report memo of 300 to 700 bytes as an editor writes it: font and colour
// tables, formatting words, Windows-1252 and \u characters, escaped braces,
// tabs, paragraphs, and text that CSV and HTML must escape.
std::string RtfMemo(int i) {
  const std::size_t size = 300 + std::size_t(i) * 53 % 401;
  std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\fmodern "
      "Courier New;}}{\\colortbl ;\\red255\\green0\\blue0;}\\viewkind4\\uc1\\pard\\f0\\fs20 ";
  for (int step = 1; rtf.size() < size; ++step)
    rtf += "Step " + std::to_string(step) + " of entry " + std::to_string(i) +
           ": the \\b report\\b0  window \\'e9crit \"twice\" <b> & \\{x\\}\\tab \\cf1 closes\\cf0  "
           "\\u8364?\\par ";
  return rtf + "}";
}

// The entries of program 1: every field filled, an RTF report memo in one
// entry of three (plain text of the same words when `plainMemos`), a second
// memo in one of six; three small programs beside it.
void FillDatabase(const std::string& path, int entries, bool plainMemos) {
  CreateVantrelDatabase(path);
  dao::TDatabaseCore db(path, false, false, "");
  db.Conn().Begin();
  auto insert = db.Conn().Prepare(
      "INSERT INTO Reports (Identifier, Status, Priority, Severity, Description, Area, Version, "
      "ReportedBy, ReportedDate, Responsibility, FixedBy, FixedDate, FixedInVersion, VerifiedBy, "
      "VerifiedDate, ProgramNumber, ReportType, Report, Resolution, Steps, Workaround, Attachment) "
      "VALUES (?, ?, ?, ?, ?, 'Printing', ?, ?, ?, 'Team A', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  auto memo = [plainMemos](bool present, int i) {
    if (!present) return dao::Cell();
    const std::string rtf = RtfMemo(i);
    return dao::Cell::MakeText(plainMemos ? RtfPlainText(rtf, "\r\n") : rtf);
  };
  auto put = [&](int program, int i) {
    insert->Bind(1, "ID-" + std::to_string(i));
    insert->Bind(2, std::to_string(1 + i % 10));  // "10" is an unknown code
    insert->Bind(3, std::to_string(1 + i % 5));
    insert->Bind(4, std::string(i % 2 ? "Major" : "Minor"));
    insert->Bind(5, bench::TrackerTitle(i));
    insert->Bind(6, "2." + std::to_string(i % 13));
    insert->Bind(7, std::string("Reporter ") + char('A' + i % 7));
    insert->Bind(8, dao::Cell::MakeReal(40000.25 + i % 3000));
    insert->Bind(9, std::string("Fixer ") + char('A' + i % 5));
    insert->Bind(10, dao::Cell::MakeReal(40100.5 + i % 3000));
    insert->Bind(11, "2." + std::to_string(i % 13 + 1));
    insert->Bind(12, std::string("Verifier ") + char('A' + i % 3));
    insert->Bind(13, dao::Cell::MakeReal(40200 + i % 3000));
    insert->Bind(14, std::int64_t{program});
    insert->Bind(15, std::string(i % 3 == 2 ? "FeatureRequest" : "BugReport"));
    insert->Bind(16, memo(i % 3 == 0, i));
    insert->Bind(17, memo(i % 6 == 0, i + 1));
    insert->Bind(18, dao::Cell::MakeText("Open the \"Print\" window & press <Enter>"));
    insert->Bind(19, dao::Cell::MakeText("Print to a file"));
    insert->Bind(20, dao::Cell::MakeText("log" + std::to_string(i % 10) + ".txt"));
    insert->Step();
    insert->Reset();
  };
  for (int i = 0; i < entries; ++i) put(1, i);
  for (int p = 2; p <= 4; ++p) {
    db.Execute("INSERT INTO Programs ([Program]) VALUES ('Small Program " + std::to_string(p) + "')");
    for (int i = 0; i < 50; ++i) put(p, i);
  }
  db.Conn().Commit();
}

// The database of `entries` entries, made once per shape and run.
const std::string& Database(int entries, bool plainMemos) {
  static std::map<std::pair<int, bool>, std::string> files;
  const auto key = std::make_pair(entries, plainMemos);
  if (auto it = files.find(key); it != files.end()) return it->second;
  const std::string path = bench::ScratchFolder() + "/Vantrel" + std::to_string(entries) +
                           (plainMemos ? "Plain" : "Rtf") + ".MDB";
  FillDatabase(path, entries, plainMemos);
  return files[key] = path;
}

// The main window on the database, its save dialog answered with `target`.
struct Window {
  std::string target;
  int filterIndex;
  TDialogResponderScope answers{[this](TDialogRequest& r) {
    if (r.Kind == TDialogKind::SaveFile) {
      static_cast<TSaveDialog*>(r.Dialog)->SetFileName(target);
      static_cast<TSaveDialog*>(r.Dialog)->SetFilterIndex(filterIndex);
    }
    // Yes replaces the last run's file; OK closes the completion message.
    return std::find(r.Buttons.begin(), r.Buttons.end(), mrYes) != r.Buttons.end() ? mrYes : mrOk;
  }};
  bench::MainWindow main;

  Window(const std::string& database, const std::string& file, int index)
      : target(file), filterIndex(index), main(database) {}
  void Export() { main.form->mnuMain_File_Export_CurrentProgram_AllEntries->Click(); }
};

// Raw SQLite reading the rows in the window's order and writing what the
// export writes, through the same text routines.
struct Raw {
  sqlite3* db;
  sqlite3_stmt* stmt;
  std::vector<std::string> values;
  explicit Raw(const std::string& database)
      : db(bench::OpenRaw(database)), stmt(bench::PrepareRaw(db, kSelect)), values(kSelectColumns) {}
  ~Raw() {
    sqlite3_finalize(stmt);
    sqlite3_close(db);
  }
  std::string Text(int c) const {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
    return t ? std::string(t, std::size_t(sqlite3_column_bytes(stmt, c))) : std::string();
  }
  void ReadRow() {
    for (int c = 0; c < kSelectColumns; ++c) values[c] = Text(c);
    values[3] = StatusExportText(values[3]);
    values[4] = PriorityExportText(values[4]);
    for (int c : kDateColumns)
      if (!values[c].empty()) values[c] = DateTimeToStr(TDateTime(sqlite3_column_double(stmt, c)));
    for (int c = kFirstMemo; c <= kLastMemo; ++c) values[c] = MemoPlainText(values[c], "\r\n");
  }
  void Write(const std::string& file, bool html) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    std::string buffer;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      ReadRow();
      if (!html) {
        AppendCsvRecord(buffer, values);
      } else {
        for (std::string& s : values) s = HtmlCellText(s);
        const std::vector<std::string> shortCells(values.begin(), values.begin() + kFirstMemo),
            longCells(values.begin() + kFirstMemo, values.end());
        AppendHtmlRow(buffer, "#BCBC78", shortCells, false);  // the title row's share
        AppendHtmlRow(buffer, "#FFE1C4", shortCells, false);
        AppendHtmlRow(buffer, "#BCBC78", longCells, true);
        AppendHtmlRow(buffer, "#FFE1C4", longCells, true);
        buffer += HtmlSeparator();
      }
      if (buffer.size() > (1 << 16)) {
        std::fwrite(buffer.data(), 1, buffer.size(), out);
        buffer.clear();
      }
    }
    std::fwrite(buffer.data(), 1, buffer.size(), out);
    std::fclose(out);
    sqlite3_reset(stmt);
  }
};

// The sqlite3 tool in a child process, its standard output into `file`;
// false when it could not run or failed.
bool RunCli(const std::string& database, const std::string& file, bool html) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const char* argv[] = {"sqlite3", "-readonly", html ? "-html" : "-csv", database.c_str(), kSelect, nullptr};
  pid_t pid = 0;
  const int error = posix_spawnp(&pid, "sqlite3", &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  return error == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double ResidentMB() {
  long pages = 0, resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return double(resident) * double(::sysconf(_SC_PAGESIZE)) / 1e6;
}

// The most the resident set grows above its level at the start while `work`
// runs, sampled from a second thread.
template <class Work>
double GrowthWhile(Work&& work) {
  const double before = ResidentMB();
  std::atomic<bool> done{false};
  std::atomic<double> peak{before};
  std::thread sampler([&] {
    while (!done) {
      peak = std::max(peak.load(), ResidentMB());
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  work();
  done = true;
  sampler.join();
  return std::max(peak.load(), ResidentMB()) - before;
}

double FileMB(const std::string& file) { return double(std::filesystem::file_size(file)) / 1e6; }

bool SameBytes(const std::string& a, const std::string& b) {
  if (std::filesystem::file_size(a) != std::filesystem::file_size(b)) return false;
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  return std::equal(std::istreambuf_iterator<char>(fa), {}, std::istreambuf_iterator<char>(fb));
}

// state.range(0) entries, range(1) 1 for plain-text memos, `html` the format.
void Export(benchmark::State& state, bool html) {
  const int entries = int(state.range(0));
  const bool plainMemos = state.range(1) != 0;
  const std::string& database = Database(entries, plainMemos);
  const std::string file = bench::ScratchFolder() + (html ? "/entries.htm" : "/entries.csv");
  Window window(database, file, html ? 2 : 1);
  Raw raw(database);
  const double rssBefore = ResidentMB();
  std::vector<double> exportTimes, cliTimes, rawTimes;
  double growth = 0;
  bool cliFailed = false;
  int turn = 0;
  for (auto _ : state) {
    // Each side goes first in turn, so none always finds the caches warm.
    double exported = 0;
    for (int i = 0; i < 3; ++i) {
      switch ((turn + i) % 3) {
        case 0:
          growth = std::max(growth, GrowthWhile([&] { exported = bench::SecondsOf([&] { window.Export(); }); }));
          break;
        case 1: cliTimes.push_back(bench::SecondsOf([&] { cliFailed |= !RunCli(database, file + ".cli", html); })); break;
        case 2: rawTimes.push_back(bench::SecondsOf([&] { raw.Write(file + ".raw", html); })); break;
      }
    }
    ++turn;
    exportTimes.push_back(exported);
    state.SetIterationTime(exported);
  }
  if (cliFailed) return state.SkipWithError("the sqlite3 tool did not run (scripts/install-deps.sh installs it)");
  if (!html && !SameBytes(file, file + ".raw")) return state.SkipWithError("raw SQLite wrote other bytes");
  const double exportMedian = bench::Median(exportTimes);
  state.counters["median_ms"] = exportMedian * 1e3;
  state.counters["cli_ms"] = bench::Median(cliTimes) * 1e3;
  state.counters["x_cli"] = exportMedian / bench::Median(cliTimes);
  state.counters["raw_ms"] = bench::Median(rawTimes) * 1e3;
  state.counters["x_raw"] = exportMedian / bench::Median(rawTimes);
  state.counters["rss_MB"] = rssBefore;
  state.counters["rss_after_MB"] = ResidentMB();
  state.counters["rss_growth_MB"] = growth;
  state.counters["file_MB"] = FileMB(file);
  state.counters["cli_MB"] = FileMB(file + ".cli");
  for (const char* suffix : {"", ".cli", ".raw"}) std::filesystem::remove(file + suffix);
}

void Export_Csv(benchmark::State& state) { Export(state, false); }
void Export_Html(benchmark::State& state) { Export(state, true); }

void Sizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"entries", "plain"});
  for (int plain : {0, 1}) b->Args({kEntries, plain});
  if (const char* million = std::getenv("VANTREL_BENCH_MILLION"); million && std::string(million) == "1")
    for (int plain : {0, 1}) b->Args({kMillion, plain});
}

BENCHMARK(Export_Csv)->Apply(Sizes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(Export_Html)->Apply(Sizes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
