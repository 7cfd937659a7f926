// Export of a program's 100,000 entries (every column, the rich-text memos as
// their plain text) to comma-separated and HTML files through the main
// window's File menu. The yardstick is raw SQLite reading the same rows and
// writing the same bytes with the same text routines, in the same run,
// interleaved; the counters give both medians and their ratio. file_MB is the
// size of the file written, not memory: the export holds one 64 KB buffer and
// the current entry, whatever the number of entries.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "app/common/exportformat.h"
#include "app/main/bug.h"
#include "app/program.h"
#include "app/schema/schema.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/richedit/rtf.h"
#include "trackertable.h"

namespace {

constexpr int kEntries = 100000;
// Memo sizes cycle through 0.5 to 4 KB, as entries written over years do.
constexpr int kMemoSteps = 8;

std::string RtfMemo(int i) {
  std::string text;
  const std::size_t size = 512 * (1 + i % kMemoSteps);
  while (text.size() < size) text += "Step " + std::to_string(i) + ": open, print \"twice\" <b> & close.\\par ";
  return "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 " + text + "}";
}

// The application's database with one program of kEntries entries.
const std::string& Database() {
  static std::string path = [] {
    std::string p = bench::ScratchFolder() + "/Vantrel.MDB";
    CreateVantrelDatabase(p);
    dao::TDatabaseCore db(p, false, false, "");
    db.Conn().Begin();
    auto insert = db.Conn().Prepare(
        "INSERT INTO Reports (Identifier, Status, Priority, Severity, Description, Area, Version, "
        "ReportedBy, ReportedDate, ProgramNumber, ReportType, Report, Resolution, Attachment) "
        "VALUES (?, ?, ?, 'Major', ?, 'Printing', '2.0', 'Ann', ?, 1, ?, ?, ?, ?)");
    for (int i = 0; i < kEntries; ++i) {
      insert->Bind(1, "ID-" + std::to_string(i));
      insert->Bind(2, std::to_string(1 + i % 10));  // "10" is an unknown code
      insert->Bind(3, std::to_string(1 + i % 5));
      insert->Bind(4, bench::TrackerTitle(i));
      insert->Bind(5, dao::Cell::MakeReal(40000 + i % 3000));
      insert->Bind(6, std::string(i % 2 ? "FeatureRequest" : "BugReport"));
      insert->Bind(7, dao::Cell::MakeText(RtfMemo(i)));
      insert->Bind(8, i % 4 ? dao::Cell() : dao::Cell::MakeText(RtfMemo(i + 3)));
      insert->Bind(9, i % 10 ? dao::Cell() : dao::Cell::MakeText("log.txt\r\n"));
      insert->Step();
      insert->Reset();
    }
    db.Conn().Commit();
    return p;
  }();
  return path;
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
  TfrmBug* form;

  Window(const std::string& file, int index) : target(file), filterIndex(index) {
    Application->Initialize();
    RegisterDatabaseEngine();
    TRegIniFile(kSettingsKey).WriteString("Settings", "DatabaseLocation", Database());
    form = frmBug = new TfrmBug(Application);
    form->DoCreate();
    form->Show();
    while (form->FirstActivation && !form->Terminating) Application->ProcessMessages();
  }
  ~Window() {
    form->Close();
    delete form;
  }
  void Export() { form->mnuMain_File_Export_CurrentProgram_AllEntries->Click(); }
};

// Raw SQLite reading the rows in the window's order and writing what the
// export writes, through the same text routines.
struct Raw {
  sqlite3* db = bench::OpenRaw(Database());
  sqlite3_stmt* stmt = bench::PrepareRaw(
      db,
      "SELECT p.[Program], r.ReportNumber, r.Identifier, r.Status, r.Priority, r.Severity, "
      "r.Description, r.Area, r.Version, r.ReportedBy, r.ReportedDate, r.Responsibility, r.FixedBy, "
      "r.FixedDate, r.FixedInVersion, r.VerifiedBy, r.VerifiedDate, r.ReportType, r.Report, "
      "r.Resolution, r.Steps, r.Workaround, r.Attachment FROM Reports r, Programs p "
      "WHERE r.ProgramNumber = 1 AND p.ProgramNumber = 1 ORDER BY r.ProgramNumber, r.ReportNumber");
  ~Raw() {
    sqlite3_finalize(stmt);
    sqlite3_close(db);
  }
  std::string Text(int c) const {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
    return t ? t : "";
  }
  std::vector<std::string> Values() const {
    std::vector<std::string> v;
    for (int c = 0; c < 23; ++c) {
      std::string text = Text(c);
      if (c == 3) text = StatusExportText(text);
      if (c == 4) text = PriorityExportText(text);
      if ((c == 10 || c == 13 || c == 16) && !text.empty())
        text = DateTimeToStr(TDateTime(sqlite3_column_double(stmt, c)));
      if (c >= 18 && c <= 21) text = RtfPlainText(text, "\r\n");
      v.push_back(std::move(text));
    }
    return v;
  }
  void Write(const std::string& file, bool html) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    std::string buffer;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      std::vector<std::string> v = Values();
      if (!html) {
        AppendCsvRecord(buffer, v);
      } else {
        for (std::string& s : v) s = HtmlCellText(s);
        const std::vector<std::string> shortCells(v.begin(), v.begin() + 18), longCells(v.begin() + 18, v.end());
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

void Export(benchmark::State& state, const char* name, int filterIndex) {
  const std::string file = bench::ScratchFolder() + "/" + name;
  Window window(file, filterIndex);
  Raw raw;
  bench::Interleave(state, [&] { raw.Write(file + ".raw", filterIndex == 2); }, [&] { window.Export(); });
  state.counters["file_MB"] = double(std::ifstream(file, std::ios::ate | std::ios::binary).tellg()) / 1e6;
}

void Export_Csv(benchmark::State& state) { Export(state, "entries.csv", 1); }
void Export_Html(benchmark::State& state) { Export(state, "entries.htm", 2); }

BENCHMARK(Export_Csv)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(Export_Html)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
