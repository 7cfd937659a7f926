// Printing and previewing the five reports: the Print, Reports and popup
// commands, and the frame around every run (the window minimised, the entry
// table narrowed for the report, everything put back afterwards).

#include <functional>
#include <memory>

#include "app/common/beepmessage.h"
#include "app/common/components.h"
#include "app/main/bug.h"
#include "app/main/mainplace.h"
#include "app/main/reportrun.h"
#include "app/reports/reports.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/statusbar.h"
#include "report/model/ppreport.h"
#include "winctrls/exttab.h"

namespace {

using TKindFilter = void (TfrmBug::*)(TDataSet*);
// The entry filter of each kind: all entries, only bug reports, only feature requests.
constexpr TKindFilter kKindFilters[] = {&TfrmBug::FilterAllKinds, &TfrmBug::FilterBugReportsOnly,
                                        &TfrmBug::FilterFeatureRequestsOnly};
constexpr int kKinds = 3;
constexpr const char* kPrintCancelled = "Printing cancelled.";

// What a run changes of the main window, to be given back: besides the
// window, index and filter, the place the window shows (the report walks the
// program and entry tables).
struct TMainState {
  TWindowState windowState;
  std::string indexName;
  TMainPlace place;
  bool busy;
};

TMainState Remember(TfrmBug* form) {
  return {form->WindowState(), form->dsetBug->IndexName(), TMainPlace(form), form->Busy};
}

// While a report runs, the entry table's controls (grid, record pane, lookup
// combos) stay still and the Busy flag keeps the panes and memo tabs from
// following each entry, so nothing of the main window changes or repaints per
// entry; the status and priority tables still follow each entry the report
// reads. The window catches up once, when the run is over.
void Freeze(TfrmBug* form) {
  form->Busy = true;
  form->dsetBug->DisableControlsKeepingDetails();
  form->SetWindowState(wsMinimized);
}

void Thaw(TfrmBug* form, const TMainState& s) {
  form->dsetBug->EnableControlsKeepingDetails();
  form->Busy = s.busy;
  form->dsetBugAfterScroll();
}

// The index, the quick filter and the place, while the window is still
// frozen (it catches up once), then the window's state.
void Restore(TfrmBug* form, TMainState& s) {
  try {
    form->dsetBug->SetIndexName(s.indexName);
    form->ApplyFilter();
    s.place.GoBack();
  } catch (...) {
    Thaw(form, s);
    form->SetWindowState(s.windowState);
    throw;
  }
  Thaw(form, s);
  form->SetWindowState(s.windowState);
}

}  // namespace

void RunReport(TfrmBug* form, const TReportRun& run) {
  // What the panes hold of the entry goes into it first: once the controls
  // are still they can no longer give it, and the run's move to its index
  // would drop an edit not yet saved (typed into a memo, say).
  form->PostPendingEntry();
  TMainState state = Remember(form);
  Freeze(form);
  std::string failure, status;
  try {
    form->dsetBug->SetIndexName("ProgramNumber");
    run.filter();
    if (run.allPrograms) form->wwtblProgram->First();
    std::unique_ptr<TfrmReports> window(run.create());
    window->SetKind(run.kind);
    window->SetProgram(form->wwtblProgram->FieldByName("Program")->AsString());
    window->ppReport1->SetDevice(run.preview ? dvScreen : dvPrinter);
    window->ppReport1->Print();
    if (window->ppReport1->LastJobOutcome() == TppJobOutcome::Cancelled) status = kPrintCancelled;
  } catch (const EAbort&) {
    // The user stopped the run: the status line says so, no message.
    status = kPrintCancelled;
  } catch (const Exception& e) {
    failure = e.Message();
    status = "Printing failed.";
  } catch (...) {
    Restore(form, state);
    throw;
  }
  Restore(form, state);
  // A print that was stopped is not mistaken for one that came out.
  form->sbMain->Panels()->Items(1)->SetText(status);  // the wide panel
  // Told once the window is back, so that the message is not left behind it.
  if (!failure.empty()) ShowBeepMessage(failure, kMsgError);
}

namespace {

template <class Window>
std::function<TfrmReports*()> Creator(TfrmBug* form) {
  return [form] { return new Window(Application, form); };
}

// A list report over the current program or all programs.
template <class Window>
void RunList(TfrmBug* form, bool preview, int kind, bool allPrograms) {
  if (kind < 0 || kind >= kKinds) return;  // no such kind: nothing to print
  TKindFilter filter = kKindFilters[kind];
  RunReport(form, {preview, allPrograms, kind, [form, filter] { (form->*filter)(form->dsetBug); },
             Creator<Window>(form)});
}

TMenuItem* NewItem(TComponent* owner, TMenuItem* parent, const std::string& name,
                   const char* caption) {
  auto* item = NewComponent<TMenuItem>(owner, name);
  item->SetCaption(caption);
  parent->Add(item);
  return item;
}

constexpr const char* kKindCaptions[kKinds] = {"&All Entries...", "Only &Bug Reports...",
                                               "Only &Feature Requests..."};

// "This Program" and "All Programs" under a listing or comprehensive item,
// each with the three kinds; `run` gets (all programs, kind).
void AddKindItems(TfrmBug* form, TMenuItem* parent,
                  const std::function<void(bool, int)>& run) {
  const std::pair<const char*, const char*> scopes[] = {{"_ThisProgram", "This &Program"},
                                                        {"_AllPrograms", "All P&rograms"}};
  const char* kindNames[kKinds] = {"_AllEntries", "_OnlyBugReports", "_OnlyFeatureRequests"};
  for (int s = 0; s < 2; ++s) {
    const std::string scopeName = parent->Name() + scopes[s].first;
    TMenuItem* scope = NewItem(form, parent, scopeName, scopes[s].second);
    for (int kind = 0; kind < kKinds; ++kind)
      NewItem(form, scope, scopeName + kindNames[kind], kKindCaptions[kind])->OnClick =
          [run, s, kind](TObject*) { run(s == 1, kind); };
  }
}

}  // namespace

void TfrmBug::InstallReportCommands() {
  // The three report items under each root: single, listing, comprehensive.
  struct TRoot {
    TMenuItem *single, *listing, *comprehensive;
    bool preview;
  };
  auto popupRoot = [this](TPopupMenu* menu, const std::string& prefix, bool preview) {
    TMenuItem* root = menu->Items();
    return TRoot{NewItem(this, root, prefix + "_Single", "&This Bug Report..."),
                 NewItem(this, root, prefix + "_Listing", "&Listing"),
                 NewItem(this, root, prefix + "_Comprehensive", "&Comprehensive"), preview};
  };
  const TRoot roots[] = {
      {mnuMain_File_Print_Single, mnuMain_File_Print_Listing, mnuMain_File_Print_Comprehensive, false},
      {mnuMain_View_Preview_Single, mnuMain_View_Preview_Listing, mnuMain_View_Preview_Comprehensive,
       true},
      popupRoot(popPrint, "popPrint", false),
      popupRoot(popPrintPreview, "popPrintPreview", true)};
  for (const TRoot& r : roots) {
    const bool preview = r.preview;
    r.single->OnClick = [this, preview](TObject*) { PrintSingleEntry(preview); };
    AddKindItems(this, r.listing, [this, preview](bool all, int kind) {
      if (all) PrintListingAllPrograms(preview, kind);
      else PrintListingThisProgram(preview, kind);
    });
    AddKindItems(this, r.comprehensive, [this, preview](bool all, int kind) {
      if (all) PrintComprehensiveAllPrograms(preview, kind);
      else PrintComprehensiveThisProgram(preview, kind);
    });
  }
  mnuMain_View_Preview->OnClick = [this](TObject*) { SetReportItemCaptions(); };
  popPrintPreview->OnPopup = [this](TObject*) { SetReportItemCaptions(); };
  popPrint->OnPopup = [this](TObject*) { SetReportItemCaptions(); };
}

void TfrmBug::SetReportItemCaptions() {
  const char* caption = tcType->TabIndex() == 1 ? "&This Feature Request..." : "&This Bug Report...";
  for (const char* name : {"mnuMain_View_Preview_Single", "popPrintPreview_Single", "popPrint_Single"})
    static_cast<TMenuItem*>(FindComponent(name))->SetCaption(caption);
}

void TfrmBug::PrintSingleEntry(bool preview) {
  const std::string number =
      dsetBug->IsEmpty() ? std::string() : dsetBug->FieldByName("ReportNumber")->AsString();
  RunReport(this, {preview, false, tcType->TabIndex(),
             [this, number] {
               dsetBug->SetFilterText("ReportNumber = '" + number + "'");
               dsetBug->SetFiltered(true);
             },
             Creator<TfrmReports_Single>(this)});
}

void TfrmBug::PrintListingThisProgram(bool preview, int kind) {
  RunList<TfrmReports_Listing_ByProgram>(this, preview, kind, false);
}

void TfrmBug::PrintComprehensiveThisProgram(bool preview, int kind) {
  RunList<TfrmReports_All_ByProgram>(this, preview, kind, false);
}

void TfrmBug::PrintListingAllPrograms(bool preview, int kind) {
  RunList<TfrmReports_Listing_ByAll>(this, preview, kind, true);
}

void TfrmBug::PrintComprehensiveAllPrograms(bool preview, int kind) {
  RunList<TfrmReports_All_ByAll>(this, preview, kind, true);
}
