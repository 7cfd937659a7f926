// Statistics: the counting pass over the entries the entry table shows, and
// the chart and program-properties commands that show its counters.

#include <memory>

#include "app/chart/chartwindow.h"
#include "app/chart/generatingchart.h"
#include "app/common/entrypass.h"
#include "app/main/bug.h"
#include "app/properties/properties.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/ranges.h"
#include "winctrls/exttab.h"
#include "winctrls/tb97button.h"

namespace {

// Events are let through, and the progress bar painted, after this many
// entries: often enough for Cancel to answer at once, rarely enough that a
// pass of 100,000 entries does not spend a tenth of its time on them (and
// fewer than a pixel of the bar's width at that size).
constexpr int kEntriesBetweenEvents = 64;

// The counter of a code's first character among "1" to `last`; [0] for an
// empty code; none (nullptr) for anything else.
int* CounterOf(const std::string& code, int* counters, char last) {
  if (code.empty()) return &counters[0];
  if (code[0] < '1' || code[0] > last) return nullptr;
  return &counters[code[0] - '0'];
}

// The bar of the progress window, while there is one (it may go during a pass).
TProgressBar* ProgressBar() {
  return frmGeneratingChart ? frmGeneratingChart->pbGeneratingReport : nullptr;
}

void Classify(TfrmBug::TStatCounters& n, const TField* priority, const TField* status) {
  if (int* c = CounterOf(priority->AsString(), n.Priority, '5')) ++*c;
  if (int* c = CounterOf(status->AsString(), n.Status, '9')) ++*c;
}

}  // namespace

void TfrmBug::InstallStatisticsCommands() {
  const std::pair<TMenuItem*, TMenuItem*> kinds[] = {
      {mnuMain_View_Graphs_Status, popChart_Status},
      {mnuMain_View_Graphs_Priority, popChart_Priority},
      {mnuMain_View_Graphs_Fixed, popChart_Fixed},
      {mnuMain_View_Graphs_Verified, popChart_Verified},
      {mnuMain_View_Graphs_Time, popChart_Time}};
  for (int kind = 0; kind < int(std::size(kinds)); ++kind) {
    auto show = [this, kind](TObject*) { ShowChart(kind); };
    kinds[kind].first->OnClick = show;
    kinds[kind].second->OnClick = show;
  }
  // The button's face shows the status chart; its arrow the menu of all five.
  tbChart->OnClick = [this](TObject*) { ShowChart(ckStatus); };
  popPrograms_Properties->OnClick = [this](TObject*) { ShowProgramProperties(); };
  tbProgramProperties->OnClick = [this](TObject*) { ShowProgramProperties(); };
}

bool TfrmBug::CalcStatistics() {
  TEntryPass pass(dsetBug, Busy);
  CancelRequested = false;
  if (TProgressBar* bar = ProgressBar()) {
    bar->SetMax(dsetBug->RecordCount());
    bar->Repaint();
  }
  StatCounters = {};
  const TField* priority = dsetBug->FieldByName("Priority");
  const TField* status = dsetBug->FieldByName("Status");
  if (!pass.First()) return true;
  ++StatCounters.EntryCount;
  Classify(StatCounters, priority, status);
  while (pass.Next()) {
    ++StatCounters.EntryCount;
    if (StatCounters.EntryCount % kEntriesBetweenEvents == 0) {
      // The Cancel button is heard, and the bar moves, between entries.
      Application->ProcessMessages();
      if (TProgressBar* bar = ProgressBar()) {
        bar->SetPosition(StatCounters.EntryCount);
        bar->Repaint();
      }
    }
    if (CancelRequested) {
      CancelRequested = false;
      return false;
    }
    Classify(StatCounters, priority, status);
  }
  return true;
}

void TfrmBug::ShowChart(int kind) {
  // What is being chosen or typed in the grid (a cell's drop-down still open)
  // goes into its own entry now, and is counted: left to the chart window
  // taking the focus, it would land in whichever entry the count ends on.
  dbgBug->UpdateRecordData();
  PostPendingEntry();
  auto chart = std::make_unique<TfrmChart>(this);
  chart->tcChart->SetTabIndex(kind);
  chart->ShowModal();
}

void TfrmBug::ShowProgramProperties() {
  auto properties = std::make_unique<TfrmProperties>(this);
  properties->ShowModal();
}
