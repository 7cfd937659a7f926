#include "app/chart/chartwindow.h"

#include <cmath>

#include "app/chart/generatingchart.h"
#include "app/common/beepmessage.h"
#include "app/common/components.h"
#include "app/common/entrypass.h"
#include "app/main/bug.h"
#include "app/main/mainplace.h"
#include "datactrls/wwtable.h"
#include "platform/chart/chart.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/controls/messages.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/comctrls.h"
#include "platform/classlib/stdctrls/statusbar.h"
#include "winctrls/exttab.h"
#include "winctrls/tb97.h"
#include "winctrls/tb97button.h"

IMPLEMENT_CLASS(TfrmChart, TForm)

namespace {

constexpr int kWidth = 640, kHeight = 460;
// The toolbar's buttons show their captions alone: room for the longest.
constexpr int kButtonWidth = 72;
// Up to this many entries the pass is quick enough to need no progress window.
constexpr int kQuietEntries = 25;
constexpr TColor kReportedToFixedColor = 0x808000, kFixedToVerifiedColor = 0x808080;
constexpr TColor kCountColor = 0x000080, kRestColor = 0x808080;

// Chart titles of the first four tabs: bug reports, then feature requests.
constexpr const char* kTitles[2][4] = {
    {"Bug Reports by Status", "Bug Reports by Priority", "Fixed Bug Reports",
     "Verified Fixed Bug Reports"},
    {"Feature Requests by Status", "Feature Requests by Priority", "Implemented Feature Requests",
     "Verified Implemented Feature Requests"}};

// A pie slice counted by one code (0: the empty code), its caption on the
// bug-report and the feature-request tab, and its colour.
struct TSlice {
  int code;
  const char* bug;
  const char* feature;
  TColor color;
};

constexpr TSlice kStatusSlices[] = {
    {3, "Fixed", "Implemented", 0x000080},
    {1, "New", "New", 0xC0C0C0},
    {2, "In Process", "In Process", 0xFF0000},
    {4, "Verified", "Verified", 0xFFFFFF},
    {5, "Delegated", "Delegated", 0x808000},
    {6, "Deferred", "Deferred", 0x00FFFF},
    {7, "No Longer Relevant", "No Longer Relevant", 0x800000},
    {8, "Will Not Be Fixed", "Will Not Be Fixed", 0xFFFF00},
    {9, "Cannot Duplicate", "Cannot Duplicate", 0x800080},
    {0, "Not Assigned", "Not Assigned", 0x808080}};

constexpr TSlice kPrioritySlices[] = {
    {1, "Very High", "Very High", 0x0000FF}, {2, "High", "High", 0x000080},
    {3, "Normal", "Normal", 0xC0C0C0},       {4, "Low", "Low", 0x808000},
    {5, "Very Low", "Very Low", 0x800000},   {0, "Not Assigned", "Not Assigned", 0xFFFFFF}};

constexpr const char* kSaveFilter =
    "Bitmaps (*.bmp)|*.bmp|Scalable Vector Graphics (*.svg)|*.svg";
// The save dialog's bitmap choice; every other index (the vector choice, and
// the third one older settings may hold) writes the vector picture.
constexpr int kBitmapFilter = 1;

TToolbarButton97* NewButton(TfrmChart* form, const char* name, const char* caption,
                            const char* hint) {
  auto* b = NewControl<TToolbarButton97>(form, form->tbarChart, name);
  b->SetCaption(caption);
  b->SetHint(hint);
  b->SetShowHint(true);
  b->SetWidth(kButtonWidth);
  return b;
}

TBarSeries* NewBars(TfrmChart* form, const char* name, const char* title, TColor color) {
  auto* bars = NewComponent<TBarSeries>(form, name);
  bars->SetTitle(title);
  bars->SetSeriesColor(color);
  bars->SetGradient(true);
  form->Chart->AddSeries(bars);
  return bars;
}

// One bar for the interval between two dates of the current entry: its whole
// days when both dates are there in order (counted in the sums), else 0.
void AddInterval(TDataSet* entries, const char* from, const char* to, TBarSeries* series,
                 TColor color, std::int64_t& days, int& intervals) {
  const TField* start = entries->FieldByName(from);
  const TField* end = entries->FieldByName(to);
  double height = 0;
  if (!start->IsNull() && !end->IsNull() && start->AsDateTime() <= end->AsDateTime()) {
    const std::int64_t d = std::int64_t(std::trunc(end->AsDateTime())) -
                           std::int64_t(std::trunc(start->AsDateTime()));
    ++intervals;
    days += d;
    height = double(d);
  }
  series->Add(height, entries->FieldByName("ReportNumber")->AsString(), color);
}

}  // namespace

std::string AverageTimesText(std::int64_t daysToFix, int fixIntervals, std::int64_t daysToVerify,
                             int verifyIntervals, int entries) {
  auto days = [](std::int64_t sum, int count) { return FormatFloat("0.#", double(sum) / count); };
  return "Average Times -  From Report to Fix: " + days(daysToFix, fixIntervals) +
         " days    From Fix to Verify: " + days(daysToVerify, verifyIntervals) +
         " days    From Initial Report to Final Verification: " +
         days(daysToFix + daysToVerify, entries) + " days";
}

TfrmChart::TfrmChart(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmChart");
  SetCaption("Chart");
  SetPosition(poScreenCenter);
  SetClientWidth(kWidth);
  SetClientHeight(kHeight);
  dockChart = NewControl<TDock97>(this, this, "dockChart");
  dockChart->SetPosition(dpTop);
  tbarChart = NewComponent<TToolWindow97>(this, "tbarChart");
  tbarChart->SetCaption("Chart");
  tbarChart->SetCloseButton(false);
  tbarChart->SetDockedTo(dockChart);
  tbSaveChart = NewButton(this, "tbSaveChart", "Save", "Save Chart");
  tbCopyChartToClipboard = NewButton(this, "tbCopyChartToClipboard", "Copy", "Copy Chart To Clipboard");
  tbPrintSetup = NewButton(this, "tbPrintSetup", "Print Setup", "Printer Setup");
  tbPrint = NewButton(this, "tbPrint", "Print", "Print Chart");
  // The bar took its size from the buttons as they came, before their widths.
  tbarChart->ArrangeControls();
  sbStatus = NewControl<TStatusBar>(this, this, "sbStatus", alBottom);
  sbStatus->SetSimplePanel(true);
  tcChart = NewControl<TExtTabControl>(this, this, "tcChart", alClient);
  for (const char* tab : {"Status", "Priority", "Fixed", "Verified", "Time"}) tcChart->Tabs()->Add(tab);
  tcChart->Hottrack()->SetEnabled(true);
  Chart = NewControl<TChart>(this, tcChart, "Chart", alClient);
  Chart->SetBackColor(clWhite);
  Chart->BottomAxis()->Title()->Text()->SetText("Report Number");
  Chart->LeftAxis()->Title()->Text()->SetText("Days");
  Series_Normal = NewComponent<TPieSeries>(this, "Series_Normal");
  Series_Normal->Marks()->SetStyle(smsLegend);
  Chart->AddSeries(Series_Normal);
  Series_ReportedToFixed =
      NewBars(this, "Series_ReportedToFixed", "Reported Date To Fixed Date", kReportedToFixedColor);
  Series_FixedToVerified =
      NewBars(this, "Series_FixedToVerified", "Fixed Date To Verified Date", kFixedToVerifiedColor);
  dlgPrinterSetup = NewComponent<TPrinterSetupDialog>(this, "dlgPrinterSetup");
  dlgSaveChart = NewComponent<TSaveDialog>(this, "dlgSaveChart");
  dlgSaveChart->SetTitle("Save Chart");
  dlgSaveChart->SetDefaultExt("bmp");
  dlgSaveChart->SetFilter(kSaveFilter);
  dlgSaveChart->SetOptions({ofOverwritePrompt, ofPathMustExist, ofHideReadOnly, ofEnableSizing});

  OnShow = [this](TObject* sender) { FormShow(sender); };
  tcChart->OnChange = [this](TObject* sender) { tcChartChange(sender); };
  tbSaveChart->OnClick = [this](TObject*) { SaveChart(); };
  tbCopyChartToClipboard->OnClick = [this](TObject*) { CopyChart(); };
  tbPrintSetup->OnClick = [this](TObject*) { PrintSetup(); };
  tbPrint->OnClick = [this](TObject*) { PrintChart(); };
  OnShortCut = [this](WORD& key, TShiftState, bool& handled) {
    if (key != VK_ESCAPE) return;
    handled = true;
    Close();
  };
}

TfrmChart::~TfrmChart() { HideProgressWindow(); }

bool TfrmChart::FeatureRequests() const { return frmBug->tcType->TabIndex() == 1; }

std::string TfrmChart::KindTitle(int kind) const { return kTitles[FeatureRequests() ? 1 : 0][kind]; }

void TfrmChart::FormShow(TObject*) {
  tcChart->SetTabInactiveColor(frmBug->tcType->TabInactiveColor());
  tcChart->Tabs()->SetStrings(ckFixed, FeatureRequests() ? "Implemented" : "Fixed");
  if (frmBug->dsetBug->RecordCount() > kQuietEntries) ShowProgressWindow();
  // The passes walk the entries: the user's entry is current again after
  // them, however they end, while the chart shows.
  TMainPlace place(frmBug);
  const auto passesOver = [&] {
    HideProgressWindow();
    place.GoBack();
  };
  try {
    if (!frmBug->CalcStatistics()) {
      passesOver();
      Close();
      return;
    }
    CalcTimeToCompletion();
  } catch (...) {
    passesOver();
    throw;
  }
  passesOver();
  tcChartChange(tcChart);
}

void TfrmChart::ShowProgressWindow() {
  frmGeneratingChart = new TfrmGeneratingChart(this);
  frmGeneratingChart->aniGenerating->SetActive(true);
  frmGeneratingChart->Show();
  if (tcChart->TabIndex() != ckTime)
    frmGeneratingChart->lblReportType->SetCaption(KindTitle(tcChart->TabIndex()));
  frmGeneratingChart->Repaint();
}

void TfrmChart::HideProgressWindow() {
  if (!frmGeneratingChart) return;
  frmGeneratingChart->Hide();
  delete frmGeneratingChart;
}

void TfrmChart::CalcTimeToCompletion() {
  DaysToFix = DaysToVerify = 0;
  FixIntervals = VerifyIntervals = 0;
  ScanRecords();
  if (DaysToFix == 0 && DaysToVerify == 0) {
    Series_ReportedToFixed->Clear();
    Series_FixedToVerified->Clear();
  }
}

void TfrmChart::ScanRecords() {
  TEntryPass pass(frmBug->dsetBug, frmBug->Busy);
  for (bool more = pass.First(); more; more = pass.Next()) AddTimePoints();
}

void TfrmChart::AddTimePoints() {
  TDataSet* entries = frmBug->dsetBug;
  AddInterval(entries, "ReportedDate", "FixedDate", Series_ReportedToFixed, kReportedToFixedColor,
              DaysToFix, FixIntervals);
  AddInterval(entries, "FixedDate", "VerifiedDate", Series_FixedToVerified, kFixedToVerifiedColor,
              DaysToVerify, VerifyIntervals);
}

void TfrmChart::tcChartChange(TObject*) {
  const int kind = tcChart->TabIndex();
  Chart->Title()->Text()->Clear();
  if (kind == ckTime) {
    ShowTimes();
    return;
  }
  sbStatus->SetSimpleText("");
  Series_Normal->SetActive(true);
  Series_ReportedToFixed->SetActive(false);
  Series_FixedToVerified->SetActive(false);
  Series_Normal->Clear();
  Chart->Title()->Text()->Add(KindTitle(kind));
  ShowSlices(kind);
}

void TfrmChart::ShowSlices(int kind) {
  const TfrmBug::TStatCounters& n = frmBug->StatCounters;
  const bool feature = FeatureRequests();
  auto slice = [this](int count, const char* caption, TColor color) {
    if (count != 0) Series_Normal->Add(count, caption, color);
  };
  auto slices = [&](const auto& table, const int* counts) {
    for (const TSlice& s : table) slice(counts[s.code], feature ? s.feature : s.bug, s.color);
  };
  switch (kind) {
    case ckStatus: slices(kStatusSlices, n.Status); break;
    case ckPriority: slices(kPrioritySlices, n.Priority); break;
    case ckFixed:
      slice(n.Status[3], feature ? "Implemented" : "Fixed", kCountColor);
      // Shown even at 0, so a program whose entries are all fixed says so.
      if (n.EntryCount != 0)
        Series_Normal->Add(n.EntryCount - n.Status[3], feature ? "Not Implemented" : "Not Fixed",
                           kRestColor);
      break;
    case ckVerified:
      slice(n.Status[4], "Verified", kCountColor);
      slice(n.EntryCount - n.Status[4], "Not Verified", kRestColor);
      break;
  }
}

void TfrmChart::ShowTimes() {
  Series_Normal->SetActive(false);
  Series_ReportedToFixed->SetActive(true);
  Series_FixedToVerified->SetActive(true);
  Chart->Title()->Text()->Add("Time To Completion");
  const int entries = Series_FixedToVerified->Count();
  if (FixIntervals != 0 && VerifyIntervals != 0 && entries != 0)
    sbStatus->SetSimpleText(
        AverageTimesText(DaysToFix, FixIntervals, DaysToVerify, VerifyIntervals, entries));
}

void TfrmChart::SaveChart() {
  if (!dlgSaveChart->Execute()) return;
  try {
    if (dlgSaveChart->FilterIndex() == kBitmapFilter) Chart->SaveToBitmapFile(dlgSaveChart->FileName());
    else Chart->SaveToSvgFile(dlgSaveChart->FileName());
  } catch (const Exception& e) {
    ShowBeepMessage("The chart could not be saved. " + e.Message(), kMsgError);
  }
}

void TfrmChart::CopyChart() { Chart->CopyToClipboardBitmap(); }

void TfrmChart::PrintSetup() { dlgPrinterSetup->Execute(); }

void TfrmChart::PrintChart() { Chart->Print(); }
