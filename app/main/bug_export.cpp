// Export to comma-separated and HTML files: the File menu's Export commands,
// the frame around every export (save dialog, lock, progress, messages) and
// the writers. A file is written under a temporary name beside its target
// and takes the target's place only when complete, so a failure leaves the
// target as it was; a device or a pipe named as the target takes it in place.

#include <array>
#include <functional>

#include "app/common/beepmessage.h"
#include "app/common/components.h"
#include "app/common/entrypass.h"
#include "app/common/exportformat.h"
#include "app/exportfields/exportfields.h"
#include "app/main/bug.h"
#include "app/main/mainplace.h"
#include "app/schema/schema.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/atomicfile.h"
#include "platform/classlib/core/clock.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/richedit/rtf.h"
#include "platform/classlib/stdctrls/statusbar.h"
#include "winctrls/exttab.h"
#include "winctrls/tb97.h"

namespace {

// How a column's stored text becomes its exported value.
enum class TColumnKind { Text, Status, Priority, RichText };

struct TExportColumn {
  const char* name;
  TColumnKind kind = TColumnKind::Text;
};

// The exported columns in file order; the long ones come last. The first is
// the program table's, the others the entry table's.
constexpr TExportColumn kColumns[] = {
    {"Program"},        {"ReportNumber"},   {"Identifier"},
    {"Status", TColumnKind::Status},        {"Priority", TColumnKind::Priority},
    {"Severity"},       {"Description"},    {"Area"},           {"Version"},
    {"ReportedBy"},     {"ReportedDate"},   {"Responsibility"}, {"FixedBy"},
    {"FixedDate"},      {"FixedInVersion"}, {"VerifiedBy"},     {"VerifiedDate"},
    {"ReportType"},     {"Report", TColumnKind::RichText},      {"Resolution", TColumnKind::RichText},
    {"Steps", TColumnKind::RichText},       {"Workaround", TColumnKind::RichText},
    {"Attachment"}};
constexpr int kColumnCount = int(std::size(kColumns));
constexpr int kFirstLong = 18;
constexpr const char* kColumnSection = "Column Export";
// Progress is painted at most this often (and once at the end): painting
// every entry would cost more than writing it.
constexpr std::uint64_t kProgressMs = 50;
// Bytes gathered before each write to the file.
constexpr std::size_t kWriteChunk = 1 << 16;

// The file being written, through an atomic file writer whose temporary file
// beside the target is named after this process ("vex"), so that the next
// export removes those of an export that was killed.
class TExportFile {
 public:
  explicit TExportFile(const std::string& target) : file_(target, "vex") {}
  // Adds text through `append(buffer)`, straight into what is gathered.
  template <class Append>
  void WriteWith(Append&& append) {
    append(buffer_);
    if (buffer_.size() >= kWriteChunk) Flush();
  }
  void Write(const std::string& text) {
    WriteWith([&](std::string& buffer) { buffer += text; });
  }
  // Writes the rest and puts the file in the target's place.
  void Finish() {
    Flush();
    file_.Commit();
  }

 private:
  void Flush() {
    file_.Write(buffer_);
    buffer_.clear();
  }
  TAtomicFileWriter file_;
  std::string buffer_;
};

}  // namespace

// What one export pass needs besides the window: the file, the format, the
// columns' fields and where the progress goes. Rows are written straight into
// the file's buffer as their values are read; what is the same for every
// entry (fields, labels, the chosen columns) is found once.
struct TfrmBugExport {
  TfrmBug* form;
  TEntryPass& entries;
  TExportFile& file;
  bool html;
  std::uint64_t lastPaint = 0;
  // Found once: the fields stay the same objects for the whole pass.
  std::array<TField*, kColumnCount> fields{};
  // The columns the data rows write (the export's flags), in file order, and
  // how many of them are short.
  std::vector<int> written;
  std::size_t shortWritten = 0;
  // Title cells: the window is locked, so no label changes during the pass.
  std::vector<std::string> labels;
  std::vector<std::string> columnNames;
  // The title rows' column choice as last read, and its two rows.
  std::vector<bool> titleChoice;
  std::uint64_t choiceRead = 0;
  std::string shortTitles, longTitles;
  // The value being written, its room reused from entry to entry.
  std::string value;
  // A program's section row, written before its first entry (a program
  // without entries gets none).
  std::string section;

  TfrmBugExport(TfrmBug* owner, TEntryPass& pass, TExportFile& out, bool asHtml)
      : form(owner), entries(pass), file(out), html(asHtml) {
    fields[0] = form->wwtblProgram->FieldByName(kColumns[0].name);
    for (int c = 1; c < kColumnCount; ++c) fields[c] = form->dsetBug->FieldByName(kColumns[c].name);
    for (int c = 0; c < kColumnCount; ++c) {
      columnNames.emplace_back(kColumns[c].name);
      labels.push_back(HtmlTitleText(fields[c]->DisplayLabel()));
      if (!form->ExportFlags[c]) continue;
      written.push_back(c);
      if (c < kFirstLong) ++shortWritten;
    }
  }

  const std::string& Value(int column) {
    value = fields[column]->AsString();
    switch (kColumns[column].kind) {
      case TColumnKind::Status: value = StatusExportText(value); break;
      case TColumnKind::Priority: value = PriorityExportText(value); break;
      // What the editor shows, read from the field itself.
      case TColumnKind::RichText: value = MemoPlainText(value, "\r\n"); break;
      case TColumnKind::Text: break;
    }
    return value;
  }

  void Progress(bool final) {
    const std::uint64_t now = ClockTicks();
    if (!final && now - lastPaint < kProgressMs) return;
    lastPaint = now;
    form->sbMain->Panels()->Items(1)->SetText(std::to_string(form->ExportCount) + "/" +
                                             form->ExportTotal);
    form->sbMain->Repaint();
  }

  // The title rows follow the stored column choice while the export runs. It
  // is read again as often as the progress is painted: a change made meanwhile
  // shows from the next entry written after that, as if made a moment later,
  // and the settings store is not read for every entry.
  void ReadTitleChoice() {
    const std::uint64_t now = ClockTicks();
    if (!titleChoice.empty() && now - choiceRead < kProgressMs) return;
    choiceRead = now;
    std::vector<bool> choice = form->Reg->ReadBools(kColumnSection, columnNames, true);
    if (choice == titleChoice) return;
    titleChoice = std::move(choice);
    shortTitles = TitleRow(0, kFirstLong, false);
    longTitles = TitleRow(kFirstLong, kColumnCount, true);
  }

  std::string TitleRow(int from, int to, bool wide) const {
    std::vector<std::string> cells;
    for (int c = from; c < to; ++c)
      if (titleChoice[c]) cells.push_back(labels[c]);
    return HtmlRow(form->HtmlTitleColor, cells, wide);
  }

  // The data row of written columns from..to.
  void DataRow(std::string& out, std::size_t from, std::size_t to, bool wide) {
    AppendHtmlRowWith(out, form->HtmlDataColor, to - from, wide, [&](std::string& row, std::size_t i) {
      AppendHtmlCellText(row, Value(written[from + i]));
    });
  }

  void Entry() {
    ++form->ExportCount;
    Progress(false);
    if (!html) {
      file.WriteWith([this](std::string& out) {
        AppendCsvRecordWith(out, written.size(),
                            [this](std::size_t i) -> const std::string& { return Value(written[i]); });
      });
      return;
    }
    static const std::string separator = HtmlSeparator();
    ReadTitleChoice();
    file.WriteWith([this](std::string& out) {
      out += section;
      section.clear();
      out += shortTitles;
      DataRow(out, 0, shortWritten, false);
      out += longTitles;
      DataRow(out, shortWritten, written.size(), true);
      out += separator;
    });
  }

  // Every entry the entry table's filter admits, first to last.
  void AdmittedEntries() {
    for (bool more = entries.First(); more; more = entries.Next()) Entry();
  }
};

namespace {

enum class TExportScope { ThisRecord, CurrentProgram, AllPrograms };

// Runs `pass` with the window locked; gives it back however the pass ends,
// and the panes then show the current entry.
void Locked(TfrmBug* form, const std::function<void()>& pass) {
  form->LockForExport(true);
  auto unlock = [form] {
    form->LockForExport(false);
    form->dsetBugAfterScroll();
  };
  try {
    pass();
  } catch (...) {
    unlock();
    throw;
  }
  unlock();
}

// A list export's own entry filter and field labels, which its pass runs over.
struct TListExport {
  const char* kind;
  void (TfrmBug::*filter)(TDataSet*);
  void (TfrmBug::*labels)();
};

// Runs `pass` over the list's own filter and labels, then gives the tab its
// own back and the window its place, however the pass ends. The entry
// table's controls and panes stay still throughout and follow once, at the
// end: moving back is not shown (nor read into the panes) step by step.
void StillOverList(TfrmBug* form, const TListExport& list, const std::function<void()>& pass) {
  TMainPlace place(form);
  TEntryPass still(form->dsetBug, form->Busy);
  auto giveBack = [form, &place] {
    form->ApplyFilter();
    if (form->tcType->TabIndex() == 0) form->SetBugReportCaptions();
    else form->SetFeatureRequestCaptions();
    place.GoBack();
  };
  try {
    form->KindCaption = list.kind;
    (form->*list.filter)(form->dsetBug);
    (form->*list.labels)();
    pass();
  } catch (...) {
    giveBack();
    throw;
  }
  giveBack();
}

// A list export's pass (see StillOverList); without a list, the pass alone.
// The labels changed while the grid did not follow: it lays its columns out
// afresh once it follows again, so their widths are put back after that.
void OverList(TfrmBug* form, const TListExport* list, const std::function<void()>& pass) {
  if (!list) return pass();
  try {
    StillOverList(form, *list, pass);
  } catch (...) {
    form->LoadColumnWidths();
    throw;
  }
  form->LoadColumnWidths();
}

void RunExport(TfrmBug* form, TExportScope scope, const TListExport* list = nullptr) {
  form->HtmlTitleColor = HtmlColour(form->Reg->ReadInteger("Settings", "HTML Export Color Title", 0x78BCBC));
  form->HtmlDataColor = HtmlColour(form->Reg->ReadInteger("Settings", "HTML Export Color Data", 0xC4E1FF));
  form->HtmlBackColor = HtmlColour(form->Reg->ReadInteger("Settings", "HTML Export Color Background", 0xFFFFFF));
  TSaveDialog* dlg = form->dlgSave;
  dlg->SetInitialDir(form->Reg->ReadString("Settings", "Export Dir", ""));
  dlg->SetFilterIndex(form->Reg->ReadInteger("Settings", "Export Filter Index", 1));
  if (!dlg->Execute()) return;
  const std::string target = dlg->FileName();
  const int filterIndex = dlg->FilterIndex();
  form->Reg->WriteString("Settings", "Export Dir", ExtractFilePath(target));
  form->Reg->WriteInteger("Settings", "Export Filter Index", filterIndex);
  form->ExportFlags.assign(kColumnCount, true);
  for (int c = 0; c < kColumnCount; ++c)
    form->ExportFlags[c] = form->Reg->ReadBool(kColumnSection, kColumns[c].name, true);
  // Nothing is written for a format this window does not know.
  if (filterIndex != 1 && filterIndex != 2) {
    ShowBeepMessage("Export Filter case error.", kMsgError);
    return;
  }
  bool written = false;
  std::string failure;
  Locked(form, [&] {
    form->sbMain->Panels()->Items(0)->SetText(scope == TExportScope::AllPrograms
                                                  ? "Exporting All Programs Data"
                                                  : "Exporting Current Data Set");
    OverList(form, list, [&] {
      form->ExportCount = 0;
      form->ExportTotal = std::to_string(form->dsetBug->RecordCount());
      const std::string program = form->wwtblProgram->FieldByName("Program")->AsString();
      const std::string today = DateToStr(Date());
      try {
        // Busy while it runs, so moving through the entries does not load each
        // one into the panes.
        TEntryPass entries(form->dsetBug, form->Busy);
        TExportFile file(target);
        TfrmBugExport pass(form, entries, file, filterIndex == 2);
        const bool all = scope == TExportScope::AllPrograms;
        // A page of every program is titled with none; each section names its own.
        if (pass.html)
          file.Write(all ? HtmlAllProgramsHead(today, form->KindCaption, form->HtmlBackColor)
                         : HtmlHead(program, today, form->KindCaption, form->HtmlBackColor));
        if (scope == TExportScope::ThisRecord) {
          pass.Entry();
        } else if (scope == TExportScope::CurrentProgram) {
          pass.AdmittedEntries();
        } else {
          for (form->wwtblProgram->First(); !form->wwtblProgram->Eof(); form->wwtblProgram->Next()) {
            if (pass.html)
              pass.section = HtmlProgramSection(form->wwtblProgram->FieldByName("Program")->AsString());
            pass.AdmittedEntries();
          }
        }
        pass.Progress(true);
        if (pass.html) file.Write(HtmlEnd(all));
        file.Finish();
        written = true;
      } catch (const Exception& e) {
        failure = "The export to " + target + " failed: " + e.Message();
      }
    });
  });
  // Told once the window is back as it was, so that the message is not left
  // behind a window still on the last entry exported.
  if (!failure.empty()) ShowBeepMessage(failure, kMsgError);
  if (written) ShowBeepMessage("Data set export completed sucessfully.", kMsgInformation);
  form->sbMain->Panels()->Items(0)->SetText("");
  form->sbMain->Panels()->Items(1)->SetText("");
}

}  // namespace

void TfrmBug::WireExportHandlers() {
  dlgSave = NewComponent<TSaveDialog>(this, "dlgSave");
  dlgSave->SetDefaultExt("csv");
  dlgSave->SetFilter("Comma Seperated (*.csv)|*.csv|HTML (*.htm; *.html)|*.htm;*.html");
  dlgSave->SetOptions({ofOverwritePrompt, ofPathMustExist, ofHideReadOnly, ofEnableSizing});
  dlgSave->SetTitle("Export Data Set");
  sbMain = NewControl<TStatusBar>(this, this, "sbMain", alBottom);
  sbMain->Panels()->Add();
  sbMain->Panels()->Add();

  struct ListCommand {
    TMenuItem* item;
    TExportScope scope;
    TListExport list;
  };
  const ListCommand commands[] = {
      {mnuMain_File_Export_CurrentProgram_AllEntries, TExportScope::CurrentProgram,
       {"All Entries", &TfrmBug::FilterAllKinds, &TfrmBug::SetCombinedLabels}},
      {mnuMain_File_Export_CurrentProgram_OnlyBugReports, TExportScope::CurrentProgram,
       {"Bug Reports", &TfrmBug::FilterBugReportsOnly, &TfrmBug::SetBugReportCaptions}},
      {mnuMain_File_Export_CurrentProgram_OnlyFeatureRequests, TExportScope::CurrentProgram,
       {"Feature Requests", &TfrmBug::FilterFeatureRequestsOnly, &TfrmBug::SetFeatureRequestCaptions}},
      {mnuMain_File_Export_AllPrograms_AllEntries, TExportScope::AllPrograms,
       {"All Entries", &TfrmBug::FilterAllKinds, &TfrmBug::SetCombinedLabels}},
      {mnuMain_File_Export_AllPrograms_OnlyBugReports, TExportScope::AllPrograms,
       {"Bug Reports", &TfrmBug::FilterBugReportsOnly, &TfrmBug::SetBugReportCaptions}},
      {mnuMain_File_Export_AllPrograms_OnlyFeatureRequests, TExportScope::AllPrograms,
       {"Feature Requests", &TfrmBug::FilterFeatureRequestsOnly, &TfrmBug::SetFeatureRequestCaptions}},
  };
  for (const ListCommand& c : commands)
    c.item->OnClick = [this, c](TObject*) { RunExport(this, c.scope, &c.list); };
  mnuMain_File_Export_ThisRecord->OnClick = [this](TObject*) { ExportThisRecord(); };
  mnuMain_File_Export_SetExportFields->OnClick = [this](TObject*) { ShowExportFields(); };
}

void TfrmBug::ExportThisRecord() {
  KindCaption = tcType->TabIndex() == 0 ? "Bug Report" : "Feature Request";
  RunExport(this, TExportScope::ThisRecord);
}

void TfrmBug::ExportCurrentProgram() { mnuMain_File_Export_CurrentProgram_AllEntries->Click(); }

void TfrmBug::ExportAllPrograms() { mnuMain_File_Export_AllPrograms_AllEntries->Click(); }

void TfrmBug::SetCombinedLabels() {
  const std::pair<const char*, const char*> labels[] = {
      {"ReportedBy", "Reported/Requested By"},
      {"ReportedDate", "Reported/Requested Date"},
      {"FixedInVersion", "Fixed/Implemented in Version"},
      {"FixedBy", "Fixed/Implemented By"},
      {"FixedDate", "Fixed/Implemented Date"},
      {"Report", "Report/Request"},
      {"Workaround", "Workaround/New Ideas"},
      {"Steps", "Steps To Recreate/Implementation Notes"}};
  for (auto [field, label] : labels) dsetBug->FieldByName(field)->SetDisplayLabel(label);
}

void TfrmBug::ShowExportFields() {
  auto* dialog = new TfrmExportFields(this, Reg.get());
  dialog->ShowModal();
  delete dialog;
}

void TfrmBug::LockForExport(bool locked) {
  const bool enabled = !locked;
  for (TControl* c : std::initializer_list<TControl*>{tbarFilters, tcType, tbarBug, dbgBug,
                                                       dbgridPrograms, tbarRTF_1, tcRTFs,
                                                       rtfReport, pnlMain})
    c->SetEnabled(enabled);
  for (TMenuItem* m : {mnuMain_File, mnuMain_View, mnuMain_Edit, mnuMain_Help}) m->SetEnabled(enabled);
  tcType->Repaint();
  tcRTFs->Repaint();
  Application->ProcessMessages();
}
