#include "app/reports/reportlayout.h"

#include "report/components/ppdbtext.h"
#include "report/components/ppregion.h"
#include "report/components/pprichtx.h"
#include "report/model/ppgroup.h"
#include "report/model/ppreport.h"
#include "report/model/pptext.h"
#include "report/output/ppprintr.h"

namespace {

// Letter paper, portrait, in thousandths of a millimetre.
constexpr int32_t kLetterWidth = 215900, kLetterHeight = 279400;
// A quarter inch all round.
constexpr int32_t kMargin = 6350;
constexpr const char* kFontName = "Arial";

// The region titles as the layout starts (the windows relabel them by kind).
constexpr const char* kSectionTitles[] = {"Report", "Workaround", "Steps To Recreate",
                                          "Resolution", "Attachments"};
// A region starts one line high and grows with its text; titles sit in a
// column of their own left of the text.
constexpr int32_t kSectionHeight = 7 * kMM, kTitleWidth = 40 * kMM, kSectionGap = 2 * kMM;

void SetFont(TppPrintable* c, int points, bool bold) {
  TFont font;
  font.SetName(kFontName);
  font.SetSize(points);
  if (bold) font.SetStyle(TFontStyles{fsBold});
  c->SetFont(&font);
}

void Bounds(TppComponent* c, TppBand* band, const TReportBox& box) {
  c->SetBand(band);
  c->SetmmBounds(box.left, box.top, box.width, box.height);
}

}  // namespace

TReportFormLayout::TReportFormLayout(TComponent* owner, TppReport* report)
    : owner_(owner), report_(report) {}

void TReportFormLayout::SetupPage(TPrinterOrientation orientation) {
  report_->SetUnits(utMMThousandths);
  report_->SetPassSetting(psTwoPass);
  TppPrinterSetup* setup = report_->PrinterSetup();
  setup->SetDocumentName("Vantrel");
  setup->SetPaperName("Letter");
  // The size too: a printer that does not know the paper's name keeps its own.
  setup->SetPaperWidth(kLetterWidth);
  setup->SetPaperHeight(kLetterHeight);
  setup->SetOrientation(orientation);
  setup->SetMarginTop(kMargin);
  setup->SetMarginBottom(kMargin);
  setup->SetMarginLeft(kMargin);
  setup->SetMarginRight(kMargin);
}

int32_t TReportFormLayout::PrintableWidth() const {
  return report_->PrinterSetup()->PageDef().mmPrintableWidth();
}

void TReportFormLayout::Place(TppBand* band, int32_t height) {
  band->SetReport(report_);
  band->SetmmHeight(height);
}

TppBand* TReportFormLayout::AddDetail(int32_t height, TppDataPipeline* pipeline) {
  auto* detail = AddBand<TppDetailBand>("ppDetailBand1", height);
  if (pipeline) detail->SetDataPipeline(pipeline);
  // The long texts stretch the band entry by entry.
  detail->SetPrintHeight(phDynamic);
  return detail;
}

TppGroup* TReportFormLayout::AddProgramGroup(TppDataPipeline* entries, TppDataPipeline* programs) {
  auto* group = new TppGroup(owner_);
  group->SetName("ppGroup1");
  group->SetReport(report_);
  group->SetBreakName("ProgramNumber");
  group->SetDataPipeline(entries);
  auto* header = new TppGroupHeaderBand(owner_);
  header->SetName("ppGroupHeaderBand1");
  header->SetmmHeight(8 * kMM);
  header->SetGroup(group);
  auto* footer = new TppGroupFooterBand(owner_);
  footer->SetName("ppGroupFooterBand1");
  footer->SetmmHeight(2 * kMM);
  footer->SetGroup(group);
  AddLabel(header, "lblGroupProgram", "Program:", {0, kMM, 22 * kMM, 6 * kMM}, 11, true);
  AddText(header, "dbtProgram", programs, "Program", {24 * kMM, kMM, 150 * kMM, 6 * kMM}, 11, true);
  return group;
}

void TReportFormLayout::AddFooter() {
  auto* footer = AddBand<TppFooterBand>("ppFooterBand1", 8 * kMM);
  const int32_t width = PrintableWidth();
  NewText<TppCalc>(footer, "ppCalcPrintDate", {0, 2 * kMM, 60 * kMM}, 8, false)
      ->SetCalcType(ctPrintDateTime);
  auto* pages = NewText<TppCalc>(footer, "ppCalcPageSet", {width - 50 * kMM, 2 * kMM, 50 * kMM}, 8, false);
  pages->SetCalcType(ctPageSetDesc);
  pages->SetAlignment(taRightJustify);
}

template <class Text>
Text* TReportFormLayout::NewText(TppBand* band, const std::string& name, const TReportBox& box,
                              int points, bool bold) {
  auto* text = new Text(owner_);
  text->SetName(name);
  // Sized by the layout: fitted to its text, a page number would have no room.
  text->SetAutoSize(false);
  SetFont(text, points, bold);
  Bounds(text, band, box);
  return text;
}

TppLabel* TReportFormLayout::AddLabel(TppBand* band, const std::string& name,
                                   const std::string& caption, const TReportBox& box, int points,
                                   bool bold) {
  auto* label = NewText<TppLabel>(band, name, box, points, bold);
  label->SetCaption(caption);
  return label;
}

TppDBText* TReportFormLayout::AddText(TppBand* band, const std::string& name,
                                   TppDataPipeline* pipeline, const std::string& field,
                                   const TReportBox& box, int points, bool bold) {
  auto* text = NewText<TppDBText>(band, name, box, points, bold);
  text->SetDataPipeline(pipeline);
  text->SetDataField(field);
  return text;
}

std::vector<TReportSection> TReportFormLayout::AddSections(TppBand* band, TppDataPipeline* pipeline,
                                                        int32_t top) {
  std::vector<TReportSection> sections;
  const int32_t width = PrintableWidth();
  TppRegion* previous = nullptr;
  for (int i = 0; i < kSectionCount; ++i, top += kSectionHeight + kSectionGap) {
    const std::string suffix = kSectionFields[i];
    auto* region = new TppRegion(owner_);
    region->SetName("rgn" + suffix);
    Bounds(region, band, {0, top, width, kSectionHeight});
    region->SetStretch(true);
    region->Pen()->SetStyle(psClear);
    if (previous) region->SetShiftRelativeTo(previous);
    TppLabel* title = AddLabel(band, "lbl" + suffix, kSectionTitles[i],
                               {0, top, kTitleWidth - 2 * kMM}, 9, true);
    title->SetRegion(region);
    auto* text = new TppDBRichText(owner_);
    text->SetName("rtf" + suffix);
    Bounds(text, band, {kTitleWidth, top, width - kTitleWidth, kSectionHeight - 2 * kMM});
    text->SetRegion(region);
    text->SetStretch(true);
    text->SetDataPipeline(pipeline);
    text->SetDataField(suffix);
    sections.push_back({region, title, text});
    previous = region;
  }
  // The band ends below the last region; hidden or short regions take it up.
  band->SetmmHeight(top - kSectionGap);
  return sections;
}
