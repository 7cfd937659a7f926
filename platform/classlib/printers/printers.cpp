#include "platform/classlib/printers/printers.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/classlib/core/format.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/printers/printdevices.h"

IMPLEMENT_CLASS(TPrinter, TObject)
IMPLEMENT_CLASS(EPrinter, Exception)
IMPLEMENT_CLASS(EPrintError, Exception)

std::string (*AskPrintFileName)(const std::string& title) = nullptr;

namespace {

// A custom paper larger than this (ten metres) is a damaged record, not a roll.
constexpr int kMaxCustomTenths = 100000;
// Copies a driver takes in one job.
constexpr int kMaxCopies = 9999;

int ToPixels(int tenths, int dpi) { return int(std::lround(tenths * double(dpi) / 254.0)); }

// The page turned for landscape: the portrait top edge becomes the left one.
TRect TurnedMargins(TRect m, TPrinterOrientation orientation) {
  if (orientation == poPortrait) return m;
  return {m.Top, m.Right, m.Bottom, m.Left};
}

}  // namespace

// ---- Devices -------------------------------------------------------------------

TPrinterDevice::~TPrinterDevice() = default;

TRect TPrinterDevice::Margins(const TPrinterSettings&) const { return {}; }

TPrinterSettings TPrinterDevice::DefaultSettings() const {
  TPrinterSettings s;
  s.DeviceName = Name();
  s.DriverName = DriverName();
  s.PortName = PortName();
  std::vector<TPaperInfo> papers = Papers();
  int preferred = vantrel::printers::LocalePaper();
  auto it = std::find_if(papers.begin(), papers.end(),
                         [&](const TPaperInfo& p) { return p.Number == preferred; });
  if (it == papers.end()) it = papers.begin();
  if (it != papers.end()) {
    s.PaperSize = it->Number;
    s.PaperWidth = it->Size.cx;
    s.PaperLength = it->Size.cy;
  }
  s.PrintQuality = Resolution().x;
  s.YResolution = Resolution().y;
  return s;
}

namespace vantrel::printers {

TPageGeometry Geometry(const TPrinterDevice& device, const TPrinterSettings& settings) {
  TPageGeometry g;
  g.Dpi = device.Resolution();
  TSize paper{settings.PaperWidth, settings.PaperLength};
  if (settings.Orientation == poLandscape) std::swap(paper.cx, paper.cy);
  TRect m = TurnedMargins(device.Margins(settings), settings.Orientation);
  g.Physical = {ToPixels(paper.cx, g.Dpi.x), ToPixels(paper.cy, g.Dpi.y)};
  g.Offset = {ToPixels(m.Left, g.Dpi.x), ToPixels(m.Top, g.Dpi.y)};
  g.Printable = {g.Physical.cx - g.Offset.x - ToPixels(m.Right, g.Dpi.x),
                 g.Physical.cy - g.Offset.y - ToPixels(m.Bottom, g.Dpi.y)};
  return g;
}

}  // namespace vantrel::printers

using vantrel::printers::Geometry;

TRecordingPrinter::TRecordingPrinter(std::string name, int dpi)
    : name_(std::move(name)), dpi_(dpi) {
  if (dpi <= 0) throw EPrinter("A printer needs a positive resolution");
}
TRecordingPrinter::~TRecordingPrinter() = default;

void TRecordingPrinter::StartPage(const TPrinterSettings& settings, TCanvas& canvas) {
  TSize size = Geometry(*this, settings).Printable;
  current_ = std::make_unique<TBitmap>();
  current_->SetSize(size.cx, size.cy);
  current_->Canvas()->Brush()->SetColor(clWhite);
  current_->Canvas()->FillRect(Rect(0, 0, size.cx, size.cy));
  QImage& image = vantrel::qt::BitmapImage(*current_);
  vantrel::qt::BindDevice(canvas, &image, &image);
}

void TRecordingPrinter::StartJob(const TPrinterSettings& settings, const std::string& title,
                                 const std::string&, TCanvas& canvas) {
  pages_.clear();
  title_ = title;
  copies_ = settings.Copies;
  ended_ = false;
  StartPage(settings, canvas);
}

void TRecordingPrinter::NewPage(const TPrinterSettings& settings, TCanvas& canvas) {
  vantrel::qt::Unbind(canvas);
  pages_.push_back(std::move(current_));
  StartPage(settings, canvas);
}

void TRecordingPrinter::EndJob(TCanvas& canvas) {
  vantrel::qt::Unbind(canvas);
  pages_.push_back(std::move(current_));
  ended_ = true;
}

void TRecordingPrinter::AbortJob(TCanvas& canvas) {
  vantrel::qt::Unbind(canvas);
  current_.reset();
  pages_.clear();
}

// ---- TPrinter ------------------------------------------------------------------

TPrinter::TPrinter()
    : names_(std::make_unique<TStringList>()), canvas_(std::make_unique<TCanvas>()) {
  LoadPrinters();
}

TPrinter::~TPrinter() {
  if (printing_) Abort();
}

void TPrinter::LoadPrinters() {
  std::vector<std::unique_ptr<TPrinterDevice>> added;
  for (size_t i = size_t(systemCount_) + 1; i < devices_.size(); ++i)
    added.push_back(std::move(devices_[i]));
  devices_ = vantrel::printers::SystemPrinters(defaultIndex_);
  systemCount_ = int(devices_.size());
  devices_.push_back(vantrel::printers::MakePdfPrinter());
  if (defaultIndex_ < 0) defaultIndex_ = systemCount_;  // no system default: the PDF printer
  for (auto& d : added) devices_.push_back(std::move(d));
  names_->Clear();
  for (auto& d : devices_) names_->Add(d->Name());
  index_ = -1;
  settings_ = Device()->DefaultSettings();
}

void TPrinter::Refresh() {
  CheckNotPrinting("change printers");
  LoadPrinters();
}

TStrings* TPrinter::Printers() { return names_.get(); }

int TPrinter::PrinterIndex() const { return index_ < 0 ? defaultIndex_ : index_; }

TPrinterDevice* TPrinter::Device() const { return devices_[size_t(PrinterIndex())].get(); }

void TPrinter::SetPrinterIndex(int index) {
  CheckNotPrinting("change printers");
  if (index < -1 || index >= int(devices_.size()))
    throw EPrinter(Format("Printer index %d out of range", {index}));
  SelectDevice(index);
}

void TPrinter::SelectDevice(int index) {
  index_ = index;
  settings_ = Device()->DefaultSettings();
}

int TPrinter::AddPrinter(std::unique_ptr<TPrinterDevice> device) {
  names_->Add(device->Name());
  devices_.push_back(std::move(device));
  return int(devices_.size()) - 1;
}

void TPrinter::RemovePrinter(TPrinterDevice* device) {
  CheckNotPrinting("change printers");
  for (size_t i = size_t(systemCount_) + 1; i < devices_.size(); ++i) {
    if (devices_[i].get() != device) continue;
    bool selected = PrinterIndex() == int(i);
    devices_.erase(devices_.begin() + std::ptrdiff_t(i));
    names_->Delete(int(i));
    if (selected) SelectDevice(-1);
    else if (index_ > int(i)) --index_;
    return;
  }
}

void TPrinter::CheckNotPrinting(const char* what) const {
  if (printing_) throw EPrinter(Format("Cannot %s while printing", {what}));
}

void TPrinter::CheckPrinting(const char* what) const {
  if (!printing_) throw EPrinter(Format("Printer is not currently printing (%s)", {what}));
}

void TPrinter::SetCopies(int copies) {
  TPrinterSettings s = settings_;
  s.Copies = copies;
  SetSettings(s);
}

void TPrinter::SetOrientation(TPrinterOrientation orientation) {
  TPrinterSettings s = settings_;
  s.Orientation = orientation;
  SetSettings(s);
}

std::vector<TPaperInfo> TPrinter::Papers() const { return Device()->Papers(); }
std::vector<TBinInfo> TPrinter::Bins() const { return Device()->Bins(); }

TPrinterSettings TPrinter::Checked(const TPrinterSettings& in) const {
  const TPrinterDevice& d = *Device();
  TPrinterSettings s = in;
  s.DeviceName = d.Name();
  s.DriverName = d.DriverName();
  s.PortName = d.PortName();
  if (s.PaperSize == DMPAPER_USER) {
    if (!d.CustomSizes())
      throw EPrinter(Format("Printer \"%s\" takes no custom paper sizes", {d.Name()}));
    if (s.PaperWidth <= 0 || s.PaperLength <= 0 || s.PaperWidth > kMaxCustomTenths ||
        s.PaperLength > kMaxCustomTenths)
      throw EPrinter(Format("Custom paper size %d x %d is out of range",
                            {s.PaperWidth, s.PaperLength}));
  } else {
    std::vector<TPaperInfo> papers = d.Papers();
    auto it = std::find_if(papers.begin(), papers.end(),
                           [&](const TPaperInfo& p) { return p.Number == s.PaperSize; });
    if (it == papers.end())
      throw EPrinter(
          Format("Paper %d is not available on printer \"%s\"", {s.PaperSize, d.Name()}));
    s.PaperWidth = it->Size.cx;
    s.PaperLength = it->Size.cy;
  }
  if (s.Orientation != poPortrait && s.Orientation != poLandscape)
    throw EPrinter(Format("Orientation %d is not valid", {int(s.Orientation)}));
  if (s.Copies < 1 || s.Copies > kMaxCopies)
    throw EPrinter(Format("Copies %d is out of range", {s.Copies}));
  if (s.Duplex < DMDUP_SIMPLEX || s.Duplex > DMDUP_HORIZONTAL)
    throw EPrinter(Format("Duplex %d is not valid", {s.Duplex}));
  if (s.DefaultSource != 0) {
    std::vector<TBinInfo> bins = d.Bins();
    if (std::none_of(bins.begin(), bins.end(),
                     [&](const TBinInfo& b) { return b.Number == s.DefaultSource; }))
      throw EPrinter(
          Format("Bin %d is not available on printer \"%s\"", {s.DefaultSource, d.Name()}));
  }
  s.PrintQuality = d.Resolution().x;
  s.YResolution = d.Resolution().y;
  return s;
}

void TPrinter::SetSettings(const TPrinterSettings& settings) {
  // Another printer's name selects that printer first (not during a job).
  int previous = index_;
  if (!settings.DeviceName.empty() && settings.DeviceName != Device()->Name()) {
    CheckNotPrinting("change printers");
    int found = names_->IndexOf(settings.DeviceName);
    if (found < 0)
      throw EPrinter(Format("Printer \"%s\" is not available", {settings.DeviceName}));
    index_ = found;
  }
  try {
    settings_ = Checked(settings);
  } catch (...) {
    index_ = previous;
    throw;
  }
}

int TPrinter::DeviceCaps(int index) const {
  auto g = Geometry(*Device(), settings_);
  auto mm = [](int pixels, int dpi) { return int(std::lround(pixels * 25.4 / dpi)); };
  switch (index) {
    case HORZRES: return g.Printable.cx;
    case VERTRES: return g.Printable.cy;
    case HORZSIZE: return mm(g.Printable.cx, g.Dpi.x);
    case VERTSIZE: return mm(g.Printable.cy, g.Dpi.y);
    case LOGPIXELSX: return g.Dpi.x;
    case LOGPIXELSY: return g.Dpi.y;
    case PHYSICALWIDTH: return g.Physical.cx;
    case PHYSICALHEIGHT: return g.Physical.cy;
    case PHYSICALOFFSETX: return g.Offset.x;
    case PHYSICALOFFSETY: return g.Offset.y;
    default: return 0;
  }
}

void TPrinter::PrepareCanvas(TCanvas& canvas) const {
  // Fonts keep their point size and are measured at the printer's resolution.
  TFont* font = canvas.Font();
  const int dpi = DeviceCaps(LOGPIXELSY);
  if (font->PixelsPerInch() == dpi) return;  // a height set in pixels stays as set
  int points = font->Size();
  font->SetPixelsPerInch(dpi);
  font->SetSize(points);
}

TCanvas* TPrinter::Canvas() {
  PrepareCanvas(*canvas_);
  return canvas_.get();
}

TCanvas* TPrinter::InfoCanvas() {
  if (!infoSurface_) {
    infoSurface_ = std::make_unique<TBitmap>();
    infoSurface_->SetSize(16, 16);
  }
  TCanvas* canvas = infoSurface_->Canvas();
  PrepareCanvas(*canvas);
  return canvas;
}

void TPrinter::BeginDoc() {
  CheckNotPrinting("start a new job");
  std::string fileName = fileName_;
  if (fileName.empty() && Device()->NeedsFileName()) {
    if (!AskPrintFileName)
      throw EPrinter(Format("No file name was given for printer \"%s\"", {Device()->Name()}));
    fileName = AskPrintFileName(title_);
    if (fileName.empty()) throw EAbort("Printing cancelled");
  }
  PrepareCanvas(*canvas_);
  Device()->StartJob(settings_, title_, fileName, *canvas_);
  printing_ = true;
  aborted_ = false;
  pageNumber_ = 1;
}

void TPrinter::NewPage() {
  CheckPrinting("new page");
  Device()->NewPage(settings_, *canvas_);
  ++pageNumber_;
}

void TPrinter::EndDoc() {
  CheckPrinting("end of document");
  printing_ = false;
  Device()->EndJob(*canvas_);
}

void TPrinter::Abort() {
  CheckPrinting("abort");
  printing_ = false;
  aborted_ = true;
  Device()->AbortJob(*canvas_);
}

// ---- The program's printer ----------------------------------------------------

namespace {

std::unique_ptr<TPrinter>& ProgramPrinter() {
  static std::unique_ptr<TPrinter> printer;
  return printer;
}

}  // namespace

TPrinter* Printer() {
  if (!ProgramPrinter()) ProgramPrinter() = std::make_unique<TPrinter>();
  return ProgramPrinter().get();
}

TPrinter* SetPrinter(TPrinter* printer) {
  TPrinter* previous = ProgramPrinter().release();
  ProgramPrinter().reset(printer);
  return previous;
}
