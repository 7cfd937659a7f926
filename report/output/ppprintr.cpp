#include "report/output/ppprintr.h"

#include <algorithm>
#include <cmath>

#include "platform/classlib/core/format.h"
#include "platform/classlib/core/formatsettings.h"

namespace {

const char* const kDefault = "Default";
const char* const kCurrent = "Current";
const char* const kCustom = "Custom";
constexpr int kCustomPaper = DMPAPER_USER;
constexpr int kDefaultBin = DMBIN_AUTO;  // "Default": the printer picks the bin
constexpr int kPaperTolerance = 10;      // tenths of a mm: papers 1 mm apart match

// Runs `f` on the class library printer's device at `index` (-1: the
// default) and puts back the printer and settings that were selected.
template <class F>
auto WithDevice(int index, F f) {
  TPrinter* printer = Printer();
  const int previous = printer->PrinterIndex();
  const TPrinterSettings settings = printer->Settings();
  printer->SetPrinterIndex(index);
  auto restore = [&] {
    printer->SetPrinterIndex(previous);
    try {
      printer->SetSettings(settings);
    } catch (const EPrinter&) {  // the printer's defaults are as good
    }
  };
  try {
    auto result = f(*printer->Device());
    restore();
    return result;
  } catch (...) {
    restore();
    throw;
  }
}

int ToInt(const std::string& text) { return StrToIntDef(text, 0); }

int32_t TenthsToMM(int tenths) { return int32_t(int64_t{tenths} * 100); }

}  // namespace

// ---- Capabilities ----------------------------------------------------------------

TppPrinterCapabilities::TppPrinterCapabilities(const TPrinterDevice& device) {
  PrinterName = device.Name();
  TRaw raw;
  for (const TPaperInfo& p : device.Papers()) {
    raw.PaperNames.push_back(p.Name);
    raw.PaperNumbers.push_back(p.Number);
    raw.PaperWidths.push_back(p.Size.cx);
    raw.PaperHeights.push_back(p.Size.cy);
  }
  for (const TBinInfo& b : device.Bins()) {
    raw.BinNames.push_back(b.Name);
    raw.BinNumbers.push_back(b.Number);
  }
  Build(raw);
}

TppPrinterCapabilities::TppPrinterCapabilities(const std::string& printerName, const TRaw& raw) {
  PrinterName = printerName;
  Build(raw);
}

void TppPrinterCapabilities::Build(const TRaw& raw) {
  struct TPaper {
    std::string Name;
    int Number;
    int Width, Height;  // -1: the driver gave none
  };
  std::vector<TPaper> papers;
  const size_t count = std::min(raw.PaperNames.size(), raw.PaperNumbers.size());
  for (size_t i = 0; i < count; ++i)
    papers.push_back({raw.PaperNames[i], raw.PaperNumbers[i],
                      i < raw.PaperWidths.size() ? raw.PaperWidths[i] : -1,
                      i < raw.PaperHeights.size() ? raw.PaperHeights[i] : -1});
  // "Custom" must be a paper: the custom number, else a new one, else the highest.
  auto named = [&](const std::string& n) {
    return std::find_if(papers.begin(), papers.end(), [&](const TPaper& p) { return p.Name == n; });
  };
  if (named(kCustom) == papers.end()) {
    auto custom = std::find_if(papers.begin(), papers.end(),
                               [](const TPaper& p) { return p.Number == kCustomPaper; });
    auto highest = std::max_element(papers.begin(), papers.end(),
                                    [](const TPaper& a, const TPaper& b) { return a.Number < b.Number; });
    if (custom != papers.end())
      custom->Name = kCustom;
    else if (highest == papers.end() || highest->Number < kCustomPaper)
      papers.push_back({kCustom, kCustomPaper, -1, -1});
    else
      highest->Name = kCustom;
  }
  auto custom = named(kCustom);
  TPaper last = *custom;
  papers.erase(custom);
  papers.push_back(last);
  // Standard sizes for papers the driver gave none; papers without a size go.
  for (size_t i = 0; i + 1 < papers.size(); ++i) {
    TPaper& p = papers[i];
    if (p.Width <= 0 || p.Height <= 0) {
      const TSize standard = StandardPaperSize(p.Number);
      p.Width = standard.cx;
      p.Height = standard.cy;
    }
  }
  std::erase_if(papers, [&](const TPaper& p) {
    return &p != &papers.back() && (p.Width == 0 || p.Height == 0);
  });
  for (const TPaper& p : papers) {
    PaperNames.Add(p.Name);
    PaperNumbers.Add(IntToStr(p.Number));
    PaperWidths.Add(p.Width < 0 ? std::string() : IntToStr(p.Width));
    PaperHeights.Add(p.Height < 0 ? std::string() : IntToStr(p.Height));
  }
  BinNames.Add(kDefault);
  BinNumbers.Add(IntToStr(kDefaultBin));
  const size_t bins = std::min(raw.BinNames.size(), raw.BinNumbers.size());
  for (size_t i = 0; i < bins; ++i) {
    BinNames.Add(raw.BinNames[i]);
    BinNumbers.Add(IntToStr(raw.BinNumbers[i]));
  }
}

int TppPrinterCapabilities::PaperIndexOfNumber(int number) const {
  return PaperNumbers.IndexOf(IntToStr(number));
}

std::string TppPrinterCapabilities::PaperNameForSize(int width, int height) const {
  auto near = [](int a, const std::string& b) {
    return !b.empty() && std::abs(int64_t{a} - ToInt(b)) <= kPaperTolerance;
  };
  for (int i = 0; i < PaperNames.Count(); ++i) {
    const std::string& w = PaperWidths[i];
    const std::string& h = PaperHeights[i];
    if ((near(width, w) && near(height, h)) || (near(width, h) && near(height, w)))
      return PaperNames[i];
  }
  return kCustom;
}

// ---- The printer list --------------------------------------------------------------

const TppPrinterCapabilities& TppPrinterInfo::Capabilities() {
  if (!capabilities_) {
    const int index = Printer()->Printers()->IndexOf(Device);
    capabilities_ = index < 0 ? std::make_unique<TppPrinterCapabilities>()
                              : WithDevice(index, [](const TPrinterDevice& d) {
                                  return std::make_unique<TppPrinterCapabilities>(d);
                                });
  }
  return *capabilities_;
}

void TppPrinterList::Refresh() {
  entries_.clear();
  entries_.push_back(std::make_unique<TppPrinterInfo>(kDefault, "", "", ""));
  TStrings* names = Printer()->Printers();
  for (int i = 0; i < names->Count(); ++i) {
    const std::string name = (*names)[i];
    const auto [driver, port] = WithDevice(i, [](const TPrinterDevice& d) {
      return std::make_pair(d.DriverName(), d.PortName());
    });
    entries_.push_back(std::make_unique<TppPrinterInfo>(name, driver, name, port));
  }
  defaultName_ = WithDevice(-1, [](const TPrinterDevice& d) { return d.Name(); });
}

std::string TppPrinterList::Resolve(const std::string& name) const {
  return name == kDefault || name == kCurrent ? defaultName_ : name;
}

TppPrinterInfo* TppPrinterList::Find(const std::string& name) {
  const std::string wanted = Resolve(name);
  for (size_t i = 1; i < entries_.size(); ++i)
    if (entries_[i]->Name == wanted) return entries_[i].get();
  return nullptr;
}

TppPrinterList* ppPrinters() {
  static TppPrinterList list;
  return &list;
}

// ---- The printer setup ---------------------------------------------------------------

void ppDefaultPaper(int32_t& mmWidth, int32_t& mmHeight) {
  if (FormatSettings.DecimalSeparator != '.') {
    mmWidth = 210000;
    mmHeight = 297000;
  } else {
    mmWidth = 215900;
    mmHeight = 279401;
  }
}

IMPLEMENT_CLASS(TppPrinterSetup, TPersistent)
PUBLISHED(TppPrinterSetup) {
  PROP_STR(BinName, BinName, SetBinName, "Default");
  PROP_BOOL(Collation, Collation, SetCollation, false);
  PROP_INT(Copies, Copies, SetCopies, 1);
  PROP_STR(DocumentName, DocumentName, SetDocumentName, "");
  PROP_ENUM(Duplex, Duplex, SetDuplex, dpNone);
  PROP_FLOAT(MarginBottom, MarginBottom, SetMarginBottom, 0);
  PROP_FLOAT(MarginLeft, MarginLeft, SetMarginLeft, 0);
  PROP_FLOAT(MarginRight, MarginRight, SetMarginRight, 0);
  PROP_FLOAT(MarginTop, MarginTop, SetMarginTop, 0);
  PROP_ENUM(Orientation, Orientation, SetOrientation, poPortrait);
  PROP_FLOAT(PaperHeight, PaperHeight, SetPaperHeight, 0);
  PROP_STR(PaperName, PaperName, SetPaperName, "");
  PROP_FLOAT(PaperWidth, PaperWidth, SetPaperWidth, 0);
  PROP_STR(PrinterName, PrinterName, SetPrinterName, "Default");
}

TppPrinterSetup::TppPrinterSetup() {
  constexpr int32_t kQuarterInch = 6350;
  int32_t width = 0, height = 0;
  ppDefaultPaper(width, height);
  pageDef_.SetmmWidth(width);
  pageDef_.SetmmHeight(height);
  pageDef_.SetmmMarginLeft(kQuarterInch);
  pageDef_.SetmmMarginRight(kQuarterInch);
  pageDef_.SetmmMarginTop(kQuarterInch);
  pageDef_.SetmmMarginBottom(kQuarterInch);
  paperName_ = DerivedPaperName();
}

TppPrinterSetup::~TppPrinterSetup() = default;

TppPrinterInfo* TppPrinterSetup::PrinterInfo() const { return ppPrinters()->Find(printerName_); }

int TppPrinterSetup::Dpi(TppPixelAxis axis) const {
  // Only printer pixels need a printer; asking for one would make it.
  if (units_ != utPrinterPixels) return 0;
  TppPrinter* printer = OnGetPrinter ? OnGetPrinter() : ppPrinter();
  return printer ? printer->PixelsPerInch(axis) : 0;
}

int32_t TppPrinterSetup::ToMM(float value, TppPixelAxis axis) const {
  return ppToMMThousandths(value, units_, Dpi(axis));
}

float TppPrinterSetup::FromMM(int32_t value, TppPixelAxis axis) const {
  return ppFromMMThousandths(value, units_, Dpi(axis));
}

float TppPrinterSetup::MarginBottom() const { return FromMM(pageDef_.mmMarginBottom(), TppPixelAxis::Vertical); }
float TppPrinterSetup::MarginLeft() const { return FromMM(pageDef_.mmMarginLeft(), TppPixelAxis::Horizontal); }
float TppPrinterSetup::MarginRight() const { return FromMM(pageDef_.mmMarginRight(), TppPixelAxis::Horizontal); }
float TppPrinterSetup::MarginTop() const { return FromMM(pageDef_.mmMarginTop(), TppPixelAxis::Vertical); }
float TppPrinterSetup::PaperHeight() const { return FromMM(pageDef_.mmHeight(), TppPixelAxis::Vertical); }
float TppPrinterSetup::PaperWidth() const { return FromMM(pageDef_.mmWidth(), TppPixelAxis::Horizontal); }

bool TppPrinterSetup::Reading() const {
  return ownerComponent_ && (ownerComponent_->ComponentState().Contains(csLoading) ||
                             ownerComponent_->ComponentState().Contains(csReading));
}

bool TppPrinterSetup::TryPageDef(const TppPageDef& candidate, TPaperNaming naming,
                                 const std::string& paperName) {
  if (Reading()) {  // the stream's values stand as they were saved
    pageDef_.Assign(&candidate);
    if (naming == TPaperNaming::Given) paperName_ = paperName;
    return true;
  }
  bool accept = true;
  if (OnValidatePageDef) OnValidatePageDef(this, candidate, accept);
  if (!accept) return false;
  pageDef_.Assign(&candidate);
  // The name is settled before listeners see the change.
  if (naming == TPaperNaming::FromSize) paperName_ = DerivedPaperName();
  if (naming == TPaperNaming::Given) paperName_ = paperName;
  if (OnPageDefChange) OnPageDefChange(this);
  return true;
}

#define PP_MM_SETTER(Name, Setter, Axis, Naming)             \
  void TppPrinterSetup::Set##Name(float value) {             \
    if (value < 0) return; /* negative sizes are ignored */ \
    TppPageDef candidate;                                   \
    candidate.Assign(&pageDef_);                            \
    candidate.Setter(ToMM(value, TppPixelAxis::Axis));      \
    TryPageDef(candidate, TPaperNaming::Naming);            \
  }
PP_MM_SETTER(MarginBottom, SetmmMarginBottom, Vertical, Kept)
PP_MM_SETTER(MarginLeft, SetmmMarginLeft, Horizontal, Kept)
PP_MM_SETTER(MarginRight, SetmmMarginRight, Horizontal, Kept)
PP_MM_SETTER(MarginTop, SetmmMarginTop, Vertical, Kept)
#undef PP_MM_SETTER

// While reading, Units may not be known yet: the size waits for Loaded.
void TppPrinterSetup::SetPageDef(const TppPageDef& value) {
  TryPageDef(value, TPaperNaming::FromSize);
}

void TppPrinterSetup::SetPaperSize(float value, float& pending, void (TppPageDef::*set)(int32_t),
                                   TppPixelAxis axis) {
  if (value < 0) return;  // negative sizes are ignored
  if (Reading()) {
    pending = value;
    return;
  }
  TppPageDef candidate;
  candidate.Assign(&pageDef_);
  (candidate.*set)(ToMM(value, axis));
  TryPageDef(candidate, TPaperNaming::FromSize);
}

void TppPrinterSetup::SetPaperHeight(float value) {
  SetPaperSize(value, pendingHeight_, &TppPageDef::SetmmHeight, TppPixelAxis::Vertical);
}

void TppPrinterSetup::SetPaperWidth(float value) {
  SetPaperSize(value, pendingWidth_, &TppPageDef::SetmmWidth, TppPixelAxis::Horizontal);
}

void TppPrinterSetup::Loaded() {
  const float width = mmWidthRead_ ? -1 : pendingWidth_;
  const float height = mmHeightRead_ ? -1 : pendingHeight_;
  pendingWidth_ = pendingHeight_ = -1;
  mmWidthRead_ = mmHeightRead_ = false;
  if (width >= 0) SetPaperWidth(width);
  if (height >= 0) SetPaperHeight(height);
}

void TppPrinterSetup::SetOrientation(TPrinterOrientation value) {
  if (value == orientation_) return;
  if (Reading()) {  // the saved sizes are already turned
    orientation_ = value;
    return;
  }
  TppPageDef candidate;
  candidate.Assign(&pageDef_);
  candidate.SetmmWidth(pageDef_.mmHeight());
  candidate.SetmmHeight(pageDef_.mmWidth());
  const TPrinterOrientation previous = orientation_;
  orientation_ = value;  // listeners of the page change see the new orientation
  if (!TryPageDef(candidate, TPaperNaming::Kept)) orientation_ = previous;
}

std::string TppPrinterSetup::DerivedPaperName() const {
  TppPrinterInfo* info = PrinterInfo();
  if (!info) return kCustom;
  return info->Capabilities().PaperNameForSize(pageDef_.mmWidth() / 100,
                                               pageDef_.mmHeight() / 100);
}

void TppPrinterSetup::SetPaperName(const std::string& name) {
  if (name == kCustom || Reading()) {
    paperName_ = name;
    return;
  }
  TppPrinterInfo* info = PrinterInfo();
  if (!info) return;
  const TppPrinterCapabilities& caps = info->Capabilities();
  const int index = caps.PaperIndex(name);
  if (index < 0) return;  // the printer has no such paper
  if (paperName_.find("Envelope") != std::string::npos) orientation_ = poLandscape;
  int width = ToInt(caps.PaperWidths[index]), height = ToInt(caps.PaperHeights[index]);
  if (orientation_ == poLandscape) std::swap(width, height);
  TppPageDef candidate;
  candidate.Assign(&pageDef_);
  candidate.SetmmWidth(TenthsToMM(width));
  candidate.SetmmHeight(TenthsToMM(height));
  TryPageDef(candidate, TPaperNaming::Given, name);
}

void TppPrinterSetup::SetPrinterName(const std::string& name) {
  const std::string wanted = name == kCurrent ? kDefault : name;
  if (!ppPrinters()->Find(wanted)) return;  // names not installed are ignored
  printerName_ = wanted;
  paperName_ = DerivedPaperName();
  Changed();
}

void TppPrinterSetup::Changed() {
  if (OnChange && !Reading()) OnChange(this);
}

void TppPrinterSetup::SetBinName(const std::string& name) {
  if (binName_ == kCurrent) binName_ = kDefault;
  if (name == binName_) return;
  binName_ = name;
  Changed();
}

void TppPrinterSetup::SetCollation(bool value) {
  if (value == collation_) return;
  collation_ = value;
  Changed();
}

void TppPrinterSetup::SetCopies(int value) {
  if (value < 1 || value == copies_) return;
  copies_ = value;
  Changed();
}

void TppPrinterSetup::SetDuplex(TppDuplexType value) {
  if (value == duplex_) return;
  duplex_ = value;
  Changed();
}

// The job title follows the document name.
void TppPrinterSetup::SetDocumentName(const std::string& name) {
  if (name == documentName_) return;
  documentName_ = name;
  Changed();
}

void TppPrinterSetup::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TppPrinterSetup*>(source);
  if (!other) return inherited::Assign(source);
  binName_ = other->binName_;
  collation_ = other->collation_;
  copies_ = other->copies_;
  documentName_ = other->documentName_;
  duplex_ = other->duplex_;
  orientation_ = other->orientation_;
  printerName_ = other->printerName_;
  pageDef_.Assign(&other->pageDef_);
  units_ = other->units_;
  paperName_ = other->PaperName();
  Changed();
}

bool TppPrinterSetup::operator==(const TppPrinterSetup& o) const {
  const TppPrinterList& list = *ppPrinters();
  return list.Resolve(printerName_) == list.Resolve(o.printerName_) && binName_ == o.binName_ &&
         collation_ == o.collation_ && copies_ == o.copies_ &&
         documentName_ == o.documentName_ && duplex_ == o.duplex_ &&
         orientation_ == o.orientation_ && pageDef_ == o.pageDef_;
}

void TppPrinterSetup::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  struct TKey {
    const char* Name;
    int32_t (TppPageDef::*Get)() const;
    void (TppPageDef::*Set)(int32_t);
  };
  static const TKey kKeys[] = {
      {"mmMarginBottom", &TppPageDef::mmMarginBottom, &TppPageDef::SetmmMarginBottom},
      {"mmMarginLeft", &TppPageDef::mmMarginLeft, &TppPageDef::SetmmMarginLeft},
      {"mmMarginRight", &TppPageDef::mmMarginRight, &TppPageDef::SetmmMarginRight},
      {"mmMarginTop", &TppPageDef::mmMarginTop, &TppPageDef::SetmmMarginTop},
      {"mmPaperHeight", &TppPageDef::mmHeight, &TppPageDef::SetmmHeight},
      {"mmPaperWidth", &TppPageDef::mmWidth, &TppPageDef::SetmmWidth}};
  for (const TKey& key : kKeys)
    filer->DefineProperty(
        key.Name,
        [this, key](TReader* r) {
          (pageDef_.*key.Set)(ppReadMMValue(r));
          if (key.Set == &TppPageDef::SetmmWidth) mmWidthRead_ = true;
          if (key.Set == &TppPageDef::SetmmHeight) mmHeightRead_ = true;
        },
        [this, key](TWriter* w) { w->WriteInteger((pageDef_.*key.Get)()); }, true);
}

// ---- The printer ----------------------------------------------------------------------

IMPLEMENT_CLASS(TppPrinter, TObject)

TppPrinter::TppPrinter() : setup_(std::make_unique<TppPrinterSetup>()) {
  setup_->OnGetPrinter = [this] { return this; };
  setup_->OnChange = [this](TObject*) { BuildDevMode(); };
  setup_->OnPageDefChange = [this](TObject*) { BuildDevMode(); };
  BuildDevMode();
}

TppPrinter::~TppPrinter() {
  // A job left open would block every later job on the shared printer.
  try {
    Abort();
  } catch (const Exception&) {
  }
}

std::string TppPrinter::PrinterName() const {
  return ppPrinters()->Resolve(setup_->PrinterName());
}

void TppPrinter::BuildDevMode() {
  const TppPrinterSetup& s = *setup_;
  TppDevMode dm;
  title_ = s.DocumentName();
  dm.dmDeviceName = PrinterName();
  dm.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_DUPLEX;
  // With collation the device repeats the job, so the driver prints one copy.
  dm.dmCopies = int16_t(s.Collation() ? 1 : std::min(s.Copies(), int(INT16_MAX)));
  dm.dmDuplex = int16_t(s.Duplex() + 1);
  dm.dmOrientation = int16_t(s.Orientation() + 1);
  TppPrinterInfo* info = s.PrinterInfo();
  int number = kCustomPaper;
  if (info) {
    const TppPrinterCapabilities& caps = info->Capabilities();
    int index = caps.PaperIndex(s.PaperName());
    if (index < 0)
      index = caps.PaperIndex(caps.PaperNameForSize(s.PageDef().mmWidth() / 100,
                                                    s.PageDef().mmHeight() / 100));
    if (index >= 0) number = ToInt(caps.PaperNumbers[index]);
    const int bin = caps.BinNames.IndexOf(s.BinName());
    if (s.BinName() != kCurrent && bin >= 0) {
      dm.dmFields |= DM_DEFAULTSOURCE;
      dm.dmDefaultSource = int16_t(ToInt(caps.BinNumbers[bin]));
    }
  }
  dm.dmPaperSize = int16_t(number);
  if (number >= kCustomPaper) {
    const bool landscape = s.Orientation() == poLandscape;
    const int32_t across = landscape ? s.PageDef().mmHeight() : s.PageDef().mmWidth();
    const int32_t down = landscape ? s.PageDef().mmWidth() : s.PageDef().mmHeight();
    dm.dmFields |= DM_PAPERLENGTH | DM_PAPERWIDTH;
    dm.dmPaperWidth = int16_t(std::clamp(across / 100, 0, int(INT16_MAX)));
    dm.dmPaperLength = int16_t(std::clamp(down / 100, 0, int(INT16_MAX)));
  }
  devMode_ = dm;
}

void TppPrinter::SetPrinterSetup(const TppPrinterSetup& setup) {
  if (*setup_ == setup) return;
  if (printing_ && ppPrinters()->Resolve(setup.PrinterName()) != PrinterName()) {
    // A job cannot change printers: the page keeps the printer it started on.
    TppPrinterSetup same;
    same.Assign(&setup);
    same.SetPrinterName(setup_->PrinterName());
    if (*setup_ != same) setup_->Assign(&same);
    return;
  }
  setup_->Assign(&setup);
}

void TppPrinter::SetupFromDevMode(const TppDevMode& dm) {
  TppPrinterSetup& s = *setup_;
  s.SetPrinterName(dm.dmDeviceName);
  if (!s.Collation() && (dm.dmFields & DM_COPIES)) s.SetCopies(dm.dmCopies);
  s.SetDuplex(TppDuplexType(std::clamp(dm.dmDuplex - 1, int(dpNone), int(dpVertical))));
  s.SetOrientation(dm.dmOrientation == DMORIENT_LANDSCAPE ? poLandscape : poPortrait);
  TppPrinterInfo* info = s.PrinterInfo();
  if (!info) return;
  const TppPrinterCapabilities& caps = info->Capabilities();
  if (dm.dmPaperSize >= kCustomPaper) {
    const bool landscape = s.Orientation() == poLandscape;
    const int across = landscape ? dm.dmPaperLength : dm.dmPaperWidth;
    const int down = landscape ? dm.dmPaperWidth : dm.dmPaperLength;
    TppUnitType units = s.Units();
    s.SetUnits(utMMThousandths);
    s.SetPaperWidth(float(TenthsToMM(across)));
    s.SetPaperHeight(float(TenthsToMM(down)));
    s.SetUnits(units);
    s.SetPaperName(kCustom);
  } else if (const int paper = caps.PaperIndexOfNumber(dm.dmPaperSize); paper >= 0) {
    s.SetPaperName(caps.PaperNames[paper]);
  }
  const int bin = caps.BinNumbers.IndexOf(IntToStr(dm.dmDefaultSource));
  if ((dm.dmFields & DM_DEFAULTSOURCE) && bin >= 0) s.SetBinName(caps.BinNames[bin]);
}

void TppPrinter::UseOwnPrinter() {
  if (printing_) return;  // the open document stays where it is
  own_ = std::make_unique<TPrinter>();
}

TPrinter* TppPrinter::Select() const {
  TPrinter* printer = Target();
  const int index = printer->Printers()->IndexOf(PrinterName());
  if (index >= 0 && index != printer->PrinterIndex() && !printer->Printing())
    printer->SetPrinterIndex(index);
  TPrinterSettings settings = printer->Settings();
  settings.Orientation = devMode_.dmOrientation == DMORIENT_LANDSCAPE ? poLandscape : poPortrait;
  settings.PaperSize = devMode_.dmPaperSize;
  settings.PaperWidth = devMode_.dmPaperWidth;
  settings.PaperLength = devMode_.dmPaperLength;
  settings.Copies = std::max<int>(devMode_.dmCopies, 1);
  settings.Duplex = devMode_.dmDuplex;
  settings.DefaultSource = devMode_.dmDefaultSource == kDefaultBin ? 0 : devMode_.dmDefaultSource;
  try {
    printer->SetSettings(settings);
  } catch (const EPrinter&) {
    // A paper or bin the device refuses: measure on its defaults, turned as asked.
    printer->SetOrientation(settings.Orientation);
  }
  return printer;
}

int TppPrinter::DeviceCaps(int index) const { return Select()->DeviceCaps(index); }

int TppPrinter::PixelsPerInch(TppPixelAxis axis) const {
  return DeviceCaps(axis == TppPixelAxis::Horizontal ? LOGPIXELSX : LOGPIXELSY);
}

TPoint TppPrinter::PageOffset() const {
  return {DeviceCaps(PHYSICALOFFSETX), DeviceCaps(PHYSICALOFFSETY)};
}

TCanvas* TppPrinter::Canvas() const { return Select()->InfoCanvas(); }

TppPrinter* ppPrinter() {
  static std::unique_ptr<TppPrinter> shared;
  if (!shared && ppPrinters()->Count() > 1) shared = std::make_unique<TppPrinter>();
  return shared.get();
}
