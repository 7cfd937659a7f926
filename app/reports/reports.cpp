#include "app/reports/reports.h"

#include <algorithm>

#include "app/common/components.h"
#include "app/common/placement.h"
#include "app/main/bug.h"
#include "app/reports/reportlayout.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/db/fields.h"
#include "report/components/ppdbtext.h"
#include "report/components/ppregion.h"
#include "report/components/pprichtx.h"
#include "report/data/ppdbbde.h"
#include "report/data/pputils.h"
#include "report/model/ppreport.h"
#include "report/model/pptext.h"
#include "report/output/ppprintr.h"
#include "report/output/ppviewr.h"

IMPLEMENT_CLASS(TfrmReports, TForm)
IMPLEMENT_CLASS(TfrmReports_Single, TfrmReports)
IMPLEMENT_CLASS(TfrmReports_Listing_ByProgram, TfrmReports)
IMPLEMENT_CLASS(TfrmReports_Listing_ByAll, TfrmReports)
IMPLEMENT_CLASS(TfrmReports_All_ByProgram, TfrmReports)
IMPLEMENT_CLASS(TfrmReports_All_ByAll, TfrmReports)

namespace {

constexpr const char* kOptions = "Options";
constexpr const char* kTop = "PreviewForm_WindowTop";
constexpr const char* kLeft = "PreviewForm_WindowLeft";
constexpr const char* kWidth = "PreviewForm_WindowWidth";
constexpr const char* kHeight = "PreviewForm_WindowHeight";
constexpr const char* kMaximized = "PreviewForm_WindowMaximized";
constexpr const char* kZoom = "Preview_Zoom";
// Preview_Zoom and the preview's zoom setting; a percentage of the user's own
// has no stored value.
constexpr std::pair<int, TppZoomSettingType> kZooms[] = {
    {kZoomWholePage, zsWholePage}, {kZoom100Percent, zs100Percent}, {kZoomPageWidth, zsPageWidth}};
// A stored size smaller than this would hide the preview's tool bar.
constexpr int kMinPreviewWidth = 200, kMinPreviewHeight = 150;

// The captions a kind gives, in the order of the labels named beside them.
using TCaptions = std::vector<const char*>;
struct TKindLabels {
  TCaptions names;
  std::vector<TCaptions> byKind;
};

const TKindLabels kListingLabels = {
    {"pplblTitle", "pplblReported", "pplblFixed"},
    {{"Bug Reports & Feature Requests", "Reported/Requested", "Fixed/Implemented"},
     {"Bug Reports", "Reported", "Fixed"},
     {"Feature Requests", "Requested", "Implemented"}}};

const TKindLabels kComprehensiveLabels = {
    {"pplblTitle", "pplblReportedBy", "pplblReportedDate", "pplblFixedBy", "pplblFixedDate"},
    {{"Bug Reports & Feature Requests", "Reported/Requested By", "Reported/Requested Date",
      "Fixed/Implemented By", "Fixed/Implemented Date"},
     {"Bug Reports", "Reported By", "Reported Date", "Fixed By", "Fixed Date"},
     {"Feature Requests", "Requested By", "Requested Date", "Implemented By", "Implemented Date"}}};

const TKindLabels kSingleLabels = {
    {"pplblTitle", "pplblReportedBy", "pplblReportedDate", "pplblFixedBy", "pplblFixedDate",
     "lblReport", "lblWorkaround", "lblSteps"},
    {{"Bug Report", "Reported By", "Reported Date", "Fixed By", "Fixed Date", "Report",
      "Workaround", "Steps To Recreate"},
     {"Feature Request", "Requested By", "Requested Date", "Implemented By", "Implemented Date",
      "Request", "New Ideas", "Implementation Notes"}}};

const TKindLabels& KindLabels(TfrmReports::TLayout layout) {
  switch (layout) {
    case TfrmReports::TLayout::Single: return kSingleLabels;
    case TfrmReports::TLayout::Listing: return kListingLabels;
    default: return kComprehensiveLabels;
  }
}

// Which pipeline a column reads: the entry's, or its code's description.
enum TSource { kEntry, kStatus, kPriority };

// One column of the listing; a column without a caption shares the one
// before it (the date beside its name).
struct TListColumn {
  const char* field;
  TSource source;
  const char* label;
  const char* caption;
  int width;  // millimetres
  bool date = false;
};

// One line per entry: 266 mm, inside the 266.7 mm of a landscape letter page.
// At 7 points each column holds its longest fixed text on one line (the
// longest status, "FeatureRequest", its bold title) with a millimetre to
// spare; a date column holds a date with two-digit day and month, or its
// time below it ("10:58:58 PM"). A long description ends at its column's edge.
constexpr TListColumn kListColumns[] = {
    {"ReportNumber", kEntry, "lblColNumber", "Number", 12},
    {"StatusDescription", kStatus, "lblColStatus", "Status", 36},
    {"PriorityDescription", kPriority, "lblColPriority", "Priority", 15},
    {"Severity", kEntry, "lblColSeverity", "Severity", 13},
    {"Description", kEntry, "lblColDescription", "Description", 25},
    {"Area", kEntry, "lblColArea", "Area", 12},
    {"Version", kEntry, "lblColVersion", "Version", 12},
    {"Responsibility", kEntry, "lblColResponsibility", "Responsibility", 18},
    {"ReportedBy", kEntry, "pplblReported", "Reported", 15},
    {"ReportedDate", kEntry, nullptr, nullptr, 15, true},
    {"FixedBy", kEntry, "pplblFixed", "Fixed", 15},
    {"FixedDate", kEntry, nullptr, nullptr, 15, true},
    {"VerifiedBy", kEntry, "lblColVerified", "Verified", 15},
    {"VerifiedDate", kEntry, nullptr, nullptr, 15, true},
    {"ReportType", kEntry, "lblColType", "Type", 19},
    {"Identifier", kEntry, "lblColIdentifier", "Identifier", 14},
};
constexpr int kListPoints = 7;
// The date whose text is the widest a date format gives: two-digit day,
// month and hour.
const TDateTime kWidestDate{EncodeDate(2026, 12, 28).Value + EncodeTime(22, 58, 58, 0).Value};

// One field of the single and comprehensive reports: caption, then value.
struct TEntryField {
  const char* label;
  const char* caption;
  TSource source;
  const char* field;
  bool single;  // the single-entry report shows it too
};

constexpr TEntryField kEntryFields[] = {
    {"lblReportNumber", "Report Number", kEntry, "ReportNumber", true},
    {"lblIdentifier", "Identifier", kEntry, "Identifier", true},
    {"lblStatus", "Status", kStatus, "StatusDescription", true},
    {"lblPriority", "Priority", kPriority, "PriorityDescription", true},
    {"lblSeverity", "Severity", kEntry, "Severity", true},
    {"lblArea", "Area", kEntry, "Area", false},
    {"lblVersion", "Version", kEntry, "Version", true},
    {"lblFixedInVersion", "Fixed In Version", kEntry, "FixedInVersion", true},
    {"lblResponsibility", "Responsibility", kEntry, "Responsibility", true},
    {"lblReportType", "Report Type", kEntry, "ReportType", false},
    {"pplblReportedBy", "Reported By", kEntry, "ReportedBy", true},
    {"pplblReportedDate", "Reported Date", kEntry, "ReportedDate", true},
    {"pplblFixedBy", "Fixed By", kEntry, "FixedBy", true},
    {"pplblFixedDate", "Fixed Date", kEntry, "FixedDate", true},
    {"lblVerifiedBy", "Verified By", kEntry, "VerifiedBy", true},
    {"lblVerifiedDate", "Verified Date", kEntry, "VerifiedDate", true},
};
// Each field takes half the width: a caption column and its value.
constexpr int32_t kCaptionWidth = 40 * kMM, kHalfWidth = 100 * kMM;

TppBDEPipeline* NewPipeline(TComponent* owner, const char* name, TDataSource* source) {
  auto* pipeline = NewComponent<TppBDEPipeline>(owner, name);
  pipeline->SetDataSource(source);
  // The main window's tables stay open after the run.
  pipeline->SetCloseDataSource(false);
  return pipeline;
}

}  // namespace

TfrmReports::TfrmReports(TComponent* owner, TfrmBug* main, TLayout layout, bool allPrograms)
    : TForm(owner), main_(main), layout_(layout), allPrograms_(allPrograms) {
  plBugs = NewPipeline(this, "plBugs", main->dsBug);
  plStatus = NewPipeline(this, "plStatus", main->wwdsStatus);
  plPriority = NewPipeline(this, "plPriority", main->wwdsPriority);
  if (allPrograms) plProgram = NewPipeline(this, "plProgram", main->wwdsProgram);
  ppReport1 = NewComponent<TppReport>(this, "ppReport1");
  ppReport1->SetDataPipeline(allPrograms ? plProgram : plBugs);
  // An empty result still gives a page: the titles and "Page 1 of 1".
  ppReport1->DataPipeline()->SetSkipWhenNoRecords(false);
  ppReport1->OnPreviewFormCreate = [this](TObject*) { PreviewFormCreate(); };
  ppReport1->OnPreviewFormClose = [this](TObject*) { PreviewFormClose(); };
  switch (layout) {
    case TLayout::Single: BuildSingle(); break;
    case TLayout::Listing: BuildListing(); break;
    case TLayout::Comprehensive: BuildComprehensive(); break;
  }
  for (const char* name : KindLabels(layout).names)
    kindLabels_.push_back(static_cast<TppLabel*>(FindComponent(name)));
  SetKind(0);
}

void TfrmReports::SetKind(int kind) {
  const auto& rows = KindLabels(layout_).byKind;
  if (kind < 0 || kind >= int(rows.size())) return;  // no such kind: the labels stay
  for (size_t i = 0; i < kindLabels_.size(); ++i) kindLabels_[i]->SetCaption(rows[size_t(kind)][i]);
}

void TfrmReports::SetProgram(const std::string& name) {
  if (lblProgram) lblProgram->SetCaption(name);
}

void TfrmReports::BuildPageHeader(int32_t height) {
  TReportFormLayout form(this, ppReport1);
  TppBand* header = form.AddBand<TppHeaderBand>("ppHeaderBand1", height);
  pplblTitle = form.AddLabel(header, "pplblTitle", "", {0, 0, 150 * kMM, 8 * kMM}, 14, true);
  if (allPrograms_) return;  // the group header names each program
  form.AddLabel(header, "lblProgramCaption", "Program:", {0, 9 * kMM, 22 * kMM, 6 * kMM}, 11, true);
  lblProgram = form.AddLabel(header, "lblProgram", "",
                             {24 * kMM, 9 * kMM, 150 * kMM, 6 * kMM}, 11, true);
}

void TfrmReports::BuildSingle() {
  TReportFormLayout form(this, ppReport1);
  form.SetupPage(poPortrait);
  BuildPageHeader(17 * kMM);
  TppBand* detail = form.AddDetail(kLine, nullptr);
  form.AddSections(detail, plBugs, BuildEntryFields(detail, false));
  form.AddFooter();
}

void TfrmReports::BuildListing() {
  TReportFormLayout form(this, ppReport1);
  form.SetupPage(poLandscape);
  BuildPageHeader(24 * kMM);
  TppBand* header = ppReport1->FindBand(bkHeader);
  TppBand* detail = form.AddDetail(kLine, allPrograms_ ? plBugs : nullptr);
  if (allPrograms_) form.AddProgramGroup(plBugs, plProgram);
  TppDataPipeline* pipelines[] = {plBugs, plStatus, plPriority};
  int32_t left = 0;
  for (size_t i = 0; i < std::size(kListColumns); ++i) {
    const TListColumn& c = kListColumns[i];
    if (c.caption) {
      int32_t span = c.width;
      for (size_t j = i + 1; j < std::size(kListColumns) && !kListColumns[j].caption; ++j)
        span += kListColumns[j].width;
      form.AddLabel(header, c.label, c.caption, {left, 18 * kMM, span * kMM - kMM},
                    kListPoints, true);
    }
    TppDBText* text = form.AddText(detail, std::string("dbt") + c.field, pipelines[c.source],
                                   c.field, {left, 0, c.width * kMM - kMM}, kListPoints);
    if (const TField* field = c.date ? main_->dsetBug->FindField(c.field) : nullptr)
      detail->SetmmHeight(std::max(detail->mmHeight(), ShowDatesAsTheWindowDoes(text, *field)));
    left += c.width * kMM;
  }
  form.AddFooter();
}

// A date prints as the main window shows it (the format the options give the
// field: the date alone, or with its time), never cut: its column takes as
// many lines as the format's widest date needs at its width.
int32_t TfrmReports::ShowDatesAsTheWindowDoes(TppDBText* text, const TField& field) {
  text->SetDisplayFormat(field.DisplayFormat());
  TppPrinter* printer = ppReport1->GetPrinter();
  if (!printer || !printer->Canvas()) return kLine;
  const std::string widestText = ppFormat(field.DisplayFormat(), dtDateTime, Variant(kWidestDate));
  TppWrapRequest widest;
  widest.Text = widestText;
  widest.Rect = {0, 0, text->mmWidth(), kLine};
  widest.Canvas = printer->Canvas();
  widest.Dpi = printer->PixelsPerInch(TppPixelAxis::Vertical);
  widest.Font = text->Font();
  const int lines = std::max<int>(1, int(ppWordWrap(widest).Lines.size()));
  if (lines == 1) return kLine;
  text->SetWordWrap(true);
  text->SetmmBounds(text->mmLeft(), text->mmTop(), text->mmWidth(), lines * kLine);
  return lines * kLine;
}

void TfrmReports::BuildComprehensive() {
  TReportFormLayout form(this, ppReport1);
  form.SetupPage(poPortrait);
  BuildPageHeader(allPrograms_ ? 10 * kMM : 17 * kMM);
  TppBand* detail = form.AddDetail(kLine, allPrograms_ ? plBugs : nullptr);
  if (allPrograms_) form.AddProgramGroup(plBugs, plProgram);
  form.AddSections(detail, plBugs, BuildEntryFields(detail, true));
  form.AddFooter();
  if (allPrograms_) HideEmptySections(detail);
}

int32_t TfrmReports::BuildEntryFields(TppBand* band, bool all) {
  TReportFormLayout form(this, ppReport1);
  TppDataPipeline* pipelines[] = {plBugs, plStatus, plPriority};
  // The description across the page, then the rest in two columns.
  form.AddLabel(band, "lblDescription", "Description", {0, 2 * kMM, kCaptionWidth}, 8, true);
  form.AddText(band, "dbtDescription", plBugs, "Description",
               {kCaptionWidth, 2 * kMM, form.PrintableWidth() - kCaptionWidth});
  int shown = 0;
  for (const TEntryField& f : kEntryFields) {
    if (!all && !f.single) continue;
    const int32_t left = (shown % 2) * kHalfWidth, top = 2 * kMM + (1 + shown / 2) * kLine;
    form.AddLabel(band, f.label, f.caption, {left, top, kCaptionWidth - kMM}, 8, true);
    form.AddText(band, std::string("dbt") + f.field, pipelines[f.source], f.field,
                 {left + kCaptionWidth, top, kHalfWidth - kCaptionWidth - kMM});
    ++shown;
  }
  return 2 * kMM + (2 + (shown + 1) / 2) * kLine;
}

void TfrmReports::HideEmptySections(TppBand* detail) {
  detail->BeforePrint = [this](TObject*) {
    for (const char* field : kSectionFields) {
      auto* text = static_cast<TppDBRichText*>(FindComponent(std::string("rtf") + field));
      static_cast<TppRegion*>(FindComponent(std::string("rgn") + field))
          ->SetVisible(text->ShowsText());
    }
  };
}

// ---- The preview's placement and zoom ------------------------------------------------------

void TfrmReports::PreviewFormCreate() {
  TppCustomPreviewer* preview = ppReport1->PreviewForm();
  TRegIniFile& reg = *main_->Reg;
  RestoreStoredBounds(*preview, reg, kOptions, {kTop, kLeft, kWidth, kHeight}, {kMinPreviewWidth, kMinPreviewHeight});
  preview->SetWindowState(reg.ReadBool(kOptions, kMaximized, false) ? wsMaximized : wsNormal);
  TppViewer* viewer = preview->GetViewer();
  if (!viewer) return;
  // An unknown value leaves the preview's own zoom.
  const int stored = reg.ReadInteger(kOptions, kZoom, kZoomWholePage);
  for (auto [value, setting] : kZooms)
    if (value == stored) viewer->SetZoomSetting(setting);
}

void TfrmReports::PreviewFormClose() {
  TppCustomPreviewer* preview = ppReport1->PreviewForm();
  TRegIniFile& reg = *main_->Reg;
  const bool maximized = preview->WindowState() == wsMaximized;
  reg.WriteBool(kOptions, kMaximized, maximized);
  // A maximised preview keeps the last normal size and position.
  if (!maximized) {
    reg.WriteInteger(kOptions, kTop, preview->Top());
    reg.WriteInteger(kOptions, kLeft, preview->Left());
    reg.WriteInteger(kOptions, kWidth, preview->Width());
    reg.WriteInteger(kOptions, kHeight, preview->Height());
  }
  TppViewer* viewer = preview->GetViewer();
  if (!viewer) return;
  for (auto [value, setting] : kZooms)
    if (setting == viewer->ZoomSetting()) reg.WriteInteger(kOptions, kZoom, value);
}
