#pragma once
// One run of a report window from the main window, inside the frame every run
// shares: the window minimised and its entry controls still, the entry table
// narrowed for the report, and everything given back afterwards (index,
// filter, program, the current entry on its grid row, the window's state),
// with the outcome on the status line.

#include <functional>

class TfrmBug;
class TfrmReports;

struct TReportRun {
  bool preview;
  bool allPrograms;
  int kind;  // the labels' kind (the single entry: the type tab)
  std::function<void()> filter;
  std::function<TfrmReports*()> create;
};

void RunReport(TfrmBug* form, const TReportRun& run);
