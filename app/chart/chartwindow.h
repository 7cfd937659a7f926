#pragma once
// The chart window: five tabs (status, priority, fixed, verified, time) over
// one chart drawn from the main window's counters and the time sums of the
// pass made when the window was shown; a toolbar to save, copy and print it.

#include <cstdint>
#include <string>

#include "platform/classlib/controls/forms.h"

class TBarSeries;
class TChart;
class TDock97;
class TExtTabControl;
class TPieSeries;
class TPrinterSetupDialog;
class TSaveDialog;
class TStatusBar;
class TToolWindow97;
class TToolbarButton97;

// The tabs, in the order of the main window's chart kinds.
enum TChartKind { ckStatus, ckPriority, ckFixed, ckVerified, ckTime };

class TfrmChart : public TForm {
  DECLARE_CLASS(TfrmChart, TForm)
 public:
  explicit TfrmChart(TComponent* AOwner);
  ~TfrmChart() override;

  void ShowProgressWindow();
  void HideProgressWindow();
  // Sets Busy and adds every shown entry's time points.
  void ScanRecords();
  // Zeroes the time sums and fills the two bar series.
  void CalcTimeToCompletion();
  // The current entry's bars and intervals.
  void AddTimePoints();
  // Builds the chart of the selected tab from the counters.
  void tcChartChange(TObject* Sender);
  void FormShow(TObject* Sender);
  // The toolbar's commands.
  void SaveChart();
  void CopyChart();
  void PrintSetup();
  void PrintChart();

  TDock97* dockChart;
  TToolWindow97* tbarChart;
  TToolbarButton97* tbSaveChart;
  TToolbarButton97* tbCopyChartToClipboard;
  TToolbarButton97* tbPrintSetup;
  TToolbarButton97* tbPrint;
  TStatusBar* sbStatus;
  TExtTabControl* tcChart;
  TChart* Chart;
  TPieSeries* Series_Normal;
  TBarSeries* Series_ReportedToFixed;
  TBarSeries* Series_FixedToVerified;
  TPrinterSetupDialog* dlgPrinterSetup;
  TSaveDialog* dlgSaveChart;

  // Sums of whole days over the intervals counted; 64-bit, as many long
  // intervals would overflow 32 bits.
  std::int64_t DaysToFix = 0, DaysToVerify = 0;
  int FixIntervals = 0, VerifyIntervals = 0;

 private:
  // The chart's title for a kind on the main window's current type tab.
  std::string KindTitle(int kind) const;
  bool FeatureRequests() const;
  void ShowSlices(int kind);
  void ShowTimes();
};

// The texts of the status bar on the time tab ("0.#" days each).
std::string AverageTimesText(std::int64_t daysToFix, int fixIntervals, std::int64_t daysToVerify,
                             int verifyIntervals, int entries);
