// The chart components: series and their values, the chart's parts, and the
// chart's ways out (bitmap, vector picture, clipboard). Drawing is in
// chartdraw.cpp.
#include "platform/chart/chart.h"

#include <algorithm>

#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/graphics/images.h"
#include "platform/classlib/printers/printers.h"

IMPLEMENT_CLASS(TSeriesMarks, TPersistent)
IMPLEMENT_CLASS(TChartSeries, TComponent)
IMPLEMENT_CLASS(TPieSeries, TChartSeries)
IMPLEMENT_CLASS(TBarSeries, TChartSeries)
IMPLEMENT_CLASS(TChartTitle, TPersistent)
IMPLEMENT_CLASS(TChartAxis, TPersistent)
IMPLEMENT_CLASS(TChartLegend, TPersistent)
IMPLEMENT_CLASS(TChart, TCustomControl)

namespace {

void CheckIndex(int index, int count) {
  if (index < 0 || index >= count)
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace

// ---- Series ------------------------------------------------------------------

TChartSeries::TChartSeries(TComponent* AOwner) : TComponent(AOwner) {}

TChartSeries::~TChartSeries() { SetParentChart(nullptr); }

void TChartSeries::SetParentChart(TChart* chart) {
  if (chart_ == chart) return;
  if (chart_) chart_->Detach(this);
  chart_ = chart;
  if (chart_) chart_->Attach(this);
}

void TChartSeries::SetTitle(const std::string& value) {
  title_ = value;
  Changed();
}

void TChartSeries::SetActive(bool value) {
  if (active_ == value) return;
  active_ = value;
  Changed();
}

void TChartSeries::SetSeriesColor(TColor value) {
  seriesColor_ = value;
  Changed();
}

int TChartSeries::Add(double value, const std::string& label, TColor color) {
  values_.push_back({value, label, color == clDefault ? seriesColor_ : color});
  Changed();
  return Count() - 1;
}

void TChartSeries::Clear() {
  values_.clear();
  Changed();
}

const TChartValue& TChartSeries::Values(int index) const {
  CheckIndex(index, Count());
  return values_[std::size_t(index)];
}

double TChartSeries::Total() const {
  double total = 0;
  for (const TChartValue& v : values_) total += v.Value;
  return total;
}

void TChartSeries::Changed() {
  if (chart_) chart_->SeriesChanged();
}

TPieSeries::TPieSeries(TComponent* AOwner)
    : TChartSeries(AOwner), marks_(std::make_unique<TSeriesMarks>()) {}

TPieSeries::~TPieSeries() = default;

TBarSeries::TBarSeries(TComponent* AOwner) : TChartSeries(AOwner) {}

void TBarSeries::SetGradient(bool value) {
  gradient_ = value;
  Changed();
}

// ---- Chart parts -------------------------------------------------------------

TChartTitle::TChartTitle() : text_(std::make_unique<TStringList>()), font_(std::make_unique<TFont>()) {
  font_->SetName("Arial");
  font_->SetSize(8);
  text_->OnChange = [this](TObject*) {
    if (OnChange) OnChange(this);
  };
}

TChartTitle::~TChartTitle() = default;

TChartAxis::TChartAxis() : title_(std::make_unique<TChartTitle>()) {}

TChartAxis::~TChartAxis() = default;

// ---- Chart -------------------------------------------------------------------

TChart::TChart(TComponent* AOwner)
    : TCustomControl(AOwner),
      title_(std::make_unique<TChartTitle>()),
      legend_(std::make_unique<TChartLegend>()),
      leftAxis_(std::make_unique<TChartAxis>()),
      bottomAxis_(std::make_unique<TChartAxis>()) {
  SetBounds(0, 0, 400, 250);
  title_->Font()->SetSize(12);
  title_->Font()->SetStyle({fsBold});
  title_->OnChange = [this](TObject*) { Invalidate(); };
}

TChart::~TChart() {
  // The series outlive the chart (their owner is the form): let them go.
  for (TChartSeries* s : std::vector<TChartSeries*>(series_)) s->SetParentChart(nullptr);
}

void TChart::SetBackColor(TColor value) {
  backColor_ = value;
  Invalidate();
}

TChartSeries* TChart::Series(int index) const {
  CheckIndex(index, SeriesCount());
  return series_[std::size_t(index)];
}

void TChart::Attach(TChartSeries* series) {
  series_.push_back(series);
  Invalidate();
}

void TChart::Detach(TChartSeries* series) {
  std::erase(series_, series);
  Invalidate();
}

void TChart::PaintContent() { Draw(Canvas(), ClientRect()); }

std::unique_ptr<TBitmap> TChart::CreateBitmap() const {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(Width(), Height());
  Draw(bitmap->Canvas(), TRect{0, 0, Width(), Height()});
  return bitmap;
}

void TChart::SaveToBitmapFile(const std::string& fileName) const { CreateBitmap()->SaveToFile(fileName); }

void TChart::SaveToSvgFile(const std::string& fileName) const {
  TSvgCanvas svg(fileName, Width(), Height(), title_->Text()->Text());
  Draw(&svg, TRect{0, 0, Width(), Height()});
  svg.Finish();
}

void TChart::CopyToClipboardBitmap() const { Clipboard()->Assign(CreateBitmap().get()); }

void TChart::Print() const {
  TPrinter* printer = Printer();
  const TPrinterOrientation saved = printer->Orientation();
  printer->SetOrientation(poLandscape);
  try {
    printer->SetTitle(title_->Text()->Count() > 0 ? title_->Text()->Strings(0) : "Chart");
    printer->BeginDoc();
    // Fitted to the page at the chart's proportions, centred.
    const double scale = std::min(double(printer->PageWidth()) / std::max(1, Width()),
                                  double(printer->PageHeight()) / std::max(1, Height()));
    const int w = int(Width() * scale), h = int(Height() * scale);
    const int left = (printer->PageWidth() - w) / 2, top = (printer->PageHeight() - h) / 2;
    Draw(printer->Canvas(), TRect{left, top, left + w, top + h});
    printer->EndDoc();
  } catch (...) {
    if (printer->Printing()) printer->Abort();
    printer->SetOrientation(saved);
    throw;
  }
  printer->SetOrientation(saved);
}
