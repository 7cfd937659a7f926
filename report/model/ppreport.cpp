#include "report/model/ppreport.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <limits>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/formatsettings.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/graphics/images.h"
#include "platform/classlib/printers/printers.h"
#include "report/components/ppsubrpt.h"
#include "report/data/ppdb.h"
#include "report/model/ppbands.h"
#include "report/model/ppdesign.h"
#include "report/model/ppengine.h"
#include "report/model/ppgroup.h"
#include "report/model/pprecord.h"
#include "report/model/ppregister.h"
#include "report/model/pptext.h"
#include "report/output/ppdevice.h"
#include "report/output/ppprintr.h"

namespace {
// Layouts older than these versions need converting.
constexpr int kVersionOrientation = 1270, kVersionColumns = 3000;
// The designer's warnings before components beyond a new width are deleted.
constexpr int kColumnWidthWarning = 292, kPageWidthWarning = 328;

// The band classes a default band index creates.
TClass DefaultBandClass(int index) {
  switch (index) {
    case dbHeader: return TppHeaderBand::StaticClass();
    case dbTitle: return TppTitleBand::StaticClass();
    case dbColumnHeader: return TppColumnHeaderBand::StaticClass();
    case dbDetail: return TppDetailBand::StaticClass();
    case dbColumnFooter: return TppColumnFooterBand::StaticClass();
    case dbSummary: return TppSummaryBand::StaticClass();
    case dbFooter: return TppFooterBand::StaticClass();
    default: return nullptr;
  }
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return !prefix.empty() && text.compare(0, prefix.size(), prefix) == 0;
}

// Each entry that reads as a number is rewritten by `convert`; any other stays
// as typed, so that placing its column names it (message 285).
void ConvertEach(TStrings& list, const std::function<std::string(double)>& convert) {
  for (int i = 0; i < list.Count(); ++i) {
    double value = 0;
    if (TryStrToFloat(list[i], value) && std::isfinite(value)) list.SetStrings(i, convert(value));
  }
}

// Unit conversions take Singles; a typed number beyond their range is held at it.
float ToSingle(double value) {
  constexpr double kMax = std::numeric_limits<float>::max();
  return float(std::clamp(value, -kMax, kMax));
}

// Layouts store positions with "."; numbers are read with the system's separator.
void UseDecimalSeparator(TStrings& list) {
  const std::string separator(1, FormatSettings.DecimalSeparator);
  for (int i = 0; i < list.Count(); ++i)
    list.SetStrings(i, StringReplace(list[i], ".", separator, rfReplaceAll));
}

// A Single shown with the digits it holds (7), not those of a double.
constexpr int kSingleDigits = 7;
}  // namespace

int ppVersionToNo(const std::string& version) {
  std::string digits;
  bool dotSeen = false;
  for (char c : version) {
    if (c == '.' && !dotSeen) {
      dotSeen = true;
      continue;
    }
    if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
  }
  // Four digits: "3.01" is 3010, "1.0" is 1000.
  digits = digits.substr(0, 4);
  while (digits.size() < 4) digits += '0';
  return std::stoi(digits);
}

// ---- TppCustomReport -------------------------------------------------------------------------

IMPLEMENT_CLASS(TppCustomReport, TppCommunicator)
PUBLISHED(TppCustomReport) {
  PROP_INT(Columns, Columns, SetColumns, 1);
  PROP_OBJ(ColumnPositions, ColumnPositions, SetColumnPositions);
  PROP_FLOAT(ColumnWidth, ColumnWidth, SetColumnWidth, 0).Stored(false);
  PROP_OBJ(DataPipeline, DataPipeline, SetDataPipeline);
  PROP_EVENT(OnEndColumn);
  PROP_EVENT(OnEndFirstPass);
  PROP_EVENT(OnEndPage);
  PROP_EVENT(OnEndSecondPass);
  PROP_EVENT(OnStartColumn);
  PROP_EVENT(OnStartFirstPass);
  PROP_EVENT(OnStartPage);
  PROP_EVENT(OnStartSecondPass);
  PROP_INT(PageLimit, PageLimit, SetPageLimit, 0);
  PROP_ENUM(PassSetting, PassSetting, SetPassSetting, psOnePass);
  PROP_OBJ(PrinterSetup, PrinterSetup, SetPrinterSetup);
  PROP_BOOL(SaveAsTemplate, SaveAsTemplate, SetSaveAsTemplate, false);
  PROP_ENUM(Units, Units, SetUnits, utInches);
  PROP_OBJ(Template, Template, SetTemplate);
}

TppCustomReport::TppCustomReport(TComponent* owner)
    : TppCommunicator(owner), printerSetup_(std::make_unique<TppPrinterSetup>()) {
  // Layouts are read into reports: every class they can name must be known.
  ppRegisterReportClasses();
  engine_ = std::make_unique<TppEngine>(this);
  engine_->OnEndPage = [this] { EndPage(); };
  engine_->OnPublishPage = [this] { PublishPage(); };
  printerSetup_->SetOwnerComponent(this);
  printerSetup_->OnGetPrinter = [this] { return GetPrinter(); };
  printerSetup_->OnPageDefChange = [this](TObject*) {
    PrinterSetupChanged();
    PageLayoutChanged();
  };
  printerSetup_->OnChange = [this](TObject*) { PrinterSetupChanged(); };
  printerSetup_->OnValidatePageDef = [this](TObject*, const TppPageDef& page, bool& accept) {
    const int64_t width = page.mmPrintableWidth();
    if (width != printerSetup_->PageDef().mmPrintableWidth())
      accept = ConfirmDeleteBeyond(int32_t(width), int32_t(width), kPageWidthWarning);
  };
}

TppCustomReport::~TppCustomReport() {
  TellDesignerFreed();
  if (engine_->Busy()) engine_->SetCancelled(true);
  FreeBandsAndGroups();
  if (dataPipeline_) dataPipeline_->RemoveLink(this);
}

void TppCustomReport::FreeBandsAndGroups() {
  freeing_ = true;
  while (!groups_.empty()) delete groups_.back();  // with their bands
  while (!bands_.empty()) delete bands_.back();
  freeing_ = false;
}

bool TppCustomReport::ReadingOrLoading() const {
  return ppReadingOrLoading(this) || (state_ & (ppstLoading | ppstTemplateLoading));
}

TppPrinter* TppCustomReport::GetPrinter() const {
  TppPrinter* printer = ppPrinter();
  if (printer) printer->SetPrinterSetup(*printerSetup_);
  return printer;
}

int TppCustomReport::PrinterDpi(TppPixelAxis axis) const {
  TppPrinter* printer = GetPrinter();
  return printer ? printer->PixelsPerInch(axis) : 0;
}

int TppCustomReport::GetLanguageIndex() const { return ppLanguageBase(lgEnglish); }

std::string TppCustomReport::LoadStr(int offset) const {
  return ppLoadStr(GetLanguageIndex() + offset);
}

void TppCustomReport::RaiseError(const std::string& message) {
  if (engine_->Busy()) engine_->SetCancelled(true);
  if (!engine_->SuppressErrors()) throw EPrintError(message);
}

void TppCustomReport::EndPage() {
  if (OnEndPage) OnEndPage(this);
  if (pageLimit_ > 0 && engine_->AbsolutePageNo() >= pageLimit_) engine_->StopGeneration();
}

void TppCustomReport::PageLayoutChanged() {
  for (TppBand* band : bands_) band->UpdateDesignLayout();
  ppPostDesignerMessage(designWindow_, ppmsgLayoutChanged, this);
  Reset();
}

void TppCustomReport::Reset() {
  if (ReadingOrLoading() || freeing_) return;
  if (engine_->Prepared() && !engine_->Busy()) engine_->Reset();
}

void TppCustomReport::CancelGeneration() { engine_->SetCancelled(true); }

void TppCustomReport::IncludeState(uint16_t states) {
  state_ |= states;
  for (TppBand* band : bands_) band->IncludeState(states);
  for (TppGroup* group : groups_) group->IncludeState(states);
  engine_->IncludeState(states);
}

void TppCustomReport::ExcludeState(uint16_t states) {
  state_ &= uint16_t(~states);
  for (TppBand* band : bands_) band->ExcludeState(states);
  for (TppGroup* group : groups_) group->ExcludeState(states);
  engine_->ExcludeState(states);
}

// The whole tree carries the print state, so every component knows it.
void TppCustomReport::IncludePrintState(uint8_t flags) {
  printState_ |= flags;
  for (TppBand* band : bands_) {
    band->IncludePrintState(flags);
    for (int i = 0; i < band->ComponentCount(); ++i) band->Components(i)->IncludePrintState(flags);
  }
  for (TppGroup* group : groups_) group->IncludePrintState(flags);
  engine_->IncludePrintState(flags);
}

void TppCustomReport::ExcludePrintState(uint8_t flags) {
  printState_ &= uint8_t(~flags);
  for (TppBand* band : bands_) {
    band->ExcludePrintState(flags);
    for (int i = 0; i < band->ComponentCount(); ++i) band->Components(i)->ExcludePrintState(flags);
  }
  for (TppGroup* group : groups_) group->ExcludePrintState(flags);
  engine_->ExcludePrintState(flags);
}

void TppCustomReport::LanguageChanged() {
  for (TppBand* band : bands_) band->LanguageChanged();
  template_->SetLanguageIndex(GetLanguageIndex());
  ppSendDesignerMessage(designWindow_, ppmsgLanguageChanged, this);
}

void TppCustomReport::PipelineNotify(TppDataPipeline* pipeline, int event) {
  if (event == ppdePipelineFreed && pipeline == dataPipeline_) dataPipeline_ = nullptr;
  Reset();
}

// ---- Bands and groups ----

void TppCustomReport::SortBands() {
  std::stable_sort(bands_.begin(), bands_.end(), [](TppBand* a, TppBand* b) {
    return a->GetSortKey() < b->GetSortKey();
  });
}

void TppCustomReport::AddBand(TppBand* band) {
  if (!band || std::find(bands_.begin(), bands_.end(), band) != bands_.end()) return;
  bands_.push_back(band);
  SortBands();
  if (band->Report() != this) band->SetReport(this);
  ppPostDesignerMessage(designWindow_, ppmsgBandAdded, band);
  Reset();
}

void TppCustomReport::RemoveBand(TppBand* band) {
  if (std::find(bands_.begin(), bands_.end(), band) == bands_.end()) return;
  std::erase(bands_, band);
  if (band->Report() == this) band->SetReport(nullptr);
  ppSendDesignerMessage(designWindow_, ppmsgBandRemoved, band);
  Reset();
}

TppBand* TppCustomReport::FindBand(int kindCode, int groupIndex) const {
  if (kindCode == bkGroupHeader || kindCode == bkGroupFooter) {
    if (groupIndex < 0 || groupIndex >= GroupCount()) return nullptr;
    TppGroup* group = groups_[size_t(groupIndex)];
    return kindCode == bkGroupHeader ? static_cast<TppBand*>(group->HeaderBand())
                                     : static_cast<TppBand*>(group->FooterBand());
  }
  for (TppBand* band : bands_)
    if (band->KindCode() == kindCode) return band;
  return nullptr;
}

void TppCustomReport::AddGroup(TppGroup* group) {
  if (!group || std::find(groups_.begin(), groups_.end(), group) != groups_.end()) return;
  groups_.push_back(group);
  if (group->Report() != this) group->SetReport(this);
  SortBands();
  Reset();
}

void TppCustomReport::RemoveGroup(TppGroup* group) {
  if (std::find(groups_.begin(), groups_.end(), group) == groups_.end()) return;
  std::erase(groups_, group);
  if (group->Report() == this) group->SetReport(nullptr);
  for (TppGroup* g : groups_) g->UpdateBandCaptions();
  SortBands();
  Reset();
}

int TppCustomReport::GroupIndex(const TppGroup* group) const {
  auto it = std::find(groups_.begin(), groups_.end(), group);
  return it == groups_.end() ? -1 : int(it - groups_.begin());
}

TppComponent* TppCustomReport::FindComponent(const std::string& name) const {
  for (TppBand* band : bands_)
    if (TppComponent* c = band->FindComponentByName(name)) return c;
  return nullptr;
}

void TppCustomReport::CreateDefaultBands() { CreateBands(defaultBands_); }

void TppCustomReport::CreateBands(uint16_t kinds) {
  TComponent* owner = Owner() ? Owner() : this;
  for (int index = dbHeader; index <= dbFooter; ++index) {
    if (!(kinds & (1 << index))) continue;
    TClass cls = DefaultBandClass(index);
    if (!cls || FindBand(index)) continue;
    auto* band = static_cast<TppBand*>(cls->Create(owner));
    band->SetName(ppGetUniqueName(owner, ppDefaultNamePrefix(this, cls), cls));
    band->SetReport(this);
  }
}

// ---- Properties ----

void TppCustomReport::SetColumns(int value) {
  if (ComponentState().Contains(csLoading) || ComponentState().Contains(csReading)) {
    columns_ = std::max(value, 1);
    return;
  }
  value = std::max(value, 1);  // at least one column
  if (value == columns_) return;
  const int oldColumns = columns_;
  const int32_t oldWidth = mmColumnWidth_;
  const auto refused = [&] {
    columns_ = oldColumns;
    mmColumnWidth_ = oldWidth;
  };
  const auto printable = int32_t(printerSetup_->PageDef().mmPrintableWidth());
  columns_ = value;
  if (columns_ >= 2) {
    constexpr uint16_t kColumnBands = (1 << dbColumnHeader) | (1 << dbColumnFooter);
    mmColumnWidth_ = printable / columns_;
    if (!ConfirmDeleteBeyond(printable, mmColumnWidth_, kColumnWidthWarning)) return refused();
    defaultBands_ |= kColumnBands;
    // A layout turned columnar gets the bands that head and close each column.
    if (oldColumns == 1) CreateBands(kColumnBands);
  } else {
    if (designWindow_) {
      mmColumnWidth_ = printable;
      if (!ConfirmDeleteColumnBands()) return refused();
    }
    defaultBands_ &= uint16_t(~((1 << dbColumnHeader) | (1 << dbColumnFooter)));
  }
  PageLayoutChanged();
}

int32_t TppCustomReport::WithinPrintableWidth(int32_t width) const {
  const int64_t printable = printerSetup_->PageDef().mmPrintableWidth();
  return int32_t(std::clamp<int64_t>(width, 0, std::max<int64_t>(printable, 0)));
}

void TppCustomReport::SetmmColumnWidth(int32_t value) {
  const int64_t printable = printerSetup_->PageDef().mmPrintableWidth();
  value = WithinPrintableWidth(value);
  const int32_t oldWidth = mmColumnWidth_;
  mmColumnWidth_ = value;
  if (ReadingOrLoading()) return;
  if (columns_ > 1 && !ConfirmDeleteBeyond(int32_t(printable), value, kColumnWidthWarning)) {
    mmColumnWidth_ = oldWidth;
    return;
  }
  if (value == 0 && columns_ >= 2) columns_ = 1;
  if (columns_ > 1 && value > 0 && int64_t{columns_} * value > printable)
    columns_ = std::max(1, int(printable / value));
  PageLayoutChanged();
}

float TppCustomReport::ColumnWidth() const {
  return ppFromMMThousandths(mmColumnWidth_, units_, PrinterDpiFor(units_));
}

void TppCustomReport::SetColumnWidth(float value) {
  // Only older layouts store the width in Units, which may be read after it.
  if (ReadingOrLoading()) {
    oldColumnWidth_ = value;
    return;
  }
  SetmmColumnWidth(ppToMMThousandths(value, units_, PrinterDpiFor(units_)));
}

int TppCustomReport::PrinterDpiFor(TppUnitType units) const {
  return units == utPrinterPixels ? PrinterDpi(TppPixelAxis::Horizontal) : 0;
}

bool TppCustomReport::Streaming() const {
  return ReadingOrLoading() || ComponentState().Contains(csWriting);
}

TStringList* TppCustomReport::ColumnPositions() {
  if (Streaming()) return &columnPositions_;
  const int dpi = PrinterDpiFor(units_);
  columnPositionsInUnits_.Assign(&columnPositions_);
  ConvertEach(columnPositionsInUnits_, [this, dpi](double mm) {
    return FloatToStrF(ppFromMMThousandths(ppReadCoordinate(mm), units_, dpi), ffGeneral,
                       kSingleDigits, 0);
  });
  return &columnPositionsInUnits_;
}

void TppCustomReport::SetColumnPositions(const TStrings* value) {
  TStringList positions;
  if (value) positions.Assign(value);
  if (!Streaming()) PositionsFromUnits(positions);
  columnPositions_.Assign(&positions);
  Reset();
}

void TppCustomReport::PositionsFromUnits(TStrings& list) const {
  const int dpi = PrinterDpiFor(units_);
  ConvertEach(list, [this, dpi](double value) {
    return std::to_string(ppToMMThousandths(ToSingle(value), units_, dpi));
  });
}

void TppCustomReport::SetDataPipeline(TppDataPipeline* pipeline) {
  if (pipeline == dataPipeline_) return;
  TppDataPipeline* old = dataPipeline_;
  if (old) old->RemoveLink(this);
  dataPipeline_ = pipeline;
  if (pipeline) pipeline->AddLink(this);
  if (!ReadingOrLoading()) HandOnPipeline(old, pipeline);
  Reset();
}

// Components and groups that followed the old pipeline follow the new one;
// others take it when their field belongs to it.
void TppCustomReport::HandOnPipeline(TppDataPipeline* oldPipeline, TppDataPipeline* newPipeline) {
  auto belongs = [newPipeline](const std::string& field) {
    return field.empty() || newPipeline->FieldIndex(field) >= 0;
  };
  for (TppBand* band : bands_)
    for (int i = 0; i < band->ComponentCount(); ++i) {
      TppComponent* c = band->Components(i);
      if (!c->IsDataAware() || !c->ParentDataPipeline()) continue;
      if (c->DataPipeline() == oldPipeline || (newPipeline && belongs(c->DataField())))
        c->SetDataPipeline(newPipeline);
    }
  for (TppGroup* group : groups_) {
    if (group->BreakType() != btDataField) continue;
    if (group->DataPipeline() == oldPipeline || (newPipeline && belongs(group->BreakName())))
      group->SetDataPipeline(newPipeline);
  }
}

void TppCustomReport::SetPageLimit(int value) {
  pageLimit_ = std::max(value, 0);
  Reset();
}

void TppCustomReport::SetPassSetting(TppPassSettingType value) {
  passSetting_ = value;
  Reset();
}

void TppCustomReport::SetPrinterSetup(const TppPrinterSetup* setup) {
  if (setup) printerSetup_->Assign(setup);
}

// Sub-reports that follow this report's setup take the new one.
void TppCustomReport::PrinterSetupChanged() {
  if (ReadingOrLoading()) return;
  for (TppBand* band : bands_)
    for (int i = 0; i < band->ComponentCount(); ++i)
      if (auto* sub = dynamic_cast<TppSubReport*>(band->Components(i)))
        sub->ApplyParentPrinterSetup();
}

void TppCustomReport::SetUnits(TppUnitType value) {
  units_ = value;
  printerSetup_->SetUnits(value);
  for (TppGroup* group : groups_) group->SetUnits(value);
  for (TppBand* band : bands_) band->SetUnits(value);
  ppSendDesignerMessage(designWindow_, ppmsgUnitsChanged, this);
}

void TppCustomReport::AssignReport(TppCustomReport* source) {
  if (!source || source == this) return;
  columns_ = source->columns_;
  columnPositions_.Assign(&source->columnPositions_);
  mmColumnWidth_ = source->mmColumnWidth_;
  SetDataPipeline(source->dataPipeline_);
  modified_ = source->modified_;
  pageLimit_ = source->pageLimit_;
  passSetting_ = source->passSetting_;
  saveAsTemplate_ = source->saveAsTemplate_;
  units_ = source->units_;
  version_ = source->version_;
  versionNo_ = source->versionNo_;
  printerSetup_->Assign(source->printerSetup_.get());
  OnEndColumn = source->OnEndColumn;
  OnEndFirstPass = source->OnEndFirstPass;
  OnEndPage = source->OnEndPage;
  OnEndSecondPass = source->OnEndSecondPass;
  OnStartColumn = source->OnStartColumn;
  OnStartFirstPass = source->OnStartFirstPass;
  OnStartPage = source->OnStartPage;
  OnStartSecondPass = source->OnStartSecondPass;
  TComponent* owner = Owner() ? Owner() : this;
  auto move = [owner](TComponent* c) {
    if (c->Owner() && c->Owner() != owner) c->Owner()->RemoveComponent(c);
    if (!c->Owner()) owner->InsertComponent(c);
  };
  // A band's components go with it to the new owner.
  auto moveBand = [&move](TppBand* band) {
    if (!band) return;
    move(band);
    for (int i = 0; i < band->ComponentCount(); ++i) move(band->Components(i));
  };
  for (TppGroup* group : std::vector<TppGroup*>(source->groups_)) {
    move(group);
    moveBand(group->HeaderBand());
    moveBand(group->FooterBand());
    group->SetReport(this);
  }
  for (TppBand* band : std::vector<TppBand*>(source->bands_)) {
    if (band->Group()) continue;  // moved with its group
    moveBand(band);
    band->SetReport(this);
  }
  ppHandDesignWindow(this);
  Reset();
}

// Names that start with the old report name take the new one.
void TppCustomReport::SetName(const std::string& newName) {
  const std::string oldName = Name();
  inherited::SetName(newName);
  if (oldName.empty() || oldName == newName || ReadingOrLoading()) return;
  auto rename = [&](TComponent* c) {
    if (StartsWith(c->Name(), oldName)) c->SetName(newName + c->Name().substr(oldName.size()));
  };
  for (TppGroup* group : groups_) rename(group);
  for (TppBand* band : bands_) {
    rename(band);
    for (int i = 0; i < band->ComponentCount(); ++i) rename(band->Components(i));
  }
  if (printerSetup_->DocumentName() == oldName) printerSetup_->SetDocumentName(newName);
  ppSendDesignerMessage(designWindow_, ppmsgNameChanged, this);
}

// ---- Streaming ----

// Bands stream inside the report; group bands inside their group.
void TppCustomReport::GetChildren(const TGetChildProc& proc, TComponent*) {
  for (TppBand* band : bands_)
    if (!band->Group()) proc(band);
  for (TppGroup* group : groups_) proc(group);
}

void TppCustomReport::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == dataPipeline_) dataPipeline_ = nullptr;
}

void TppCustomReport::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  ppDefineMMProperty(filer, "mmColumnWidth", mmColumnWidth_, true);
  filer->DefineProperty(
      "Version",
      [this](TReader* r) {
        version_ = r->ReadString();
        versionNo_ = ppVersionToNo(version_);
      },
      [](TWriter* w) { w->WriteString(ppVersion); }, true);
  filer->DefineProperty(
      "RulerUnits",
      [this](TReader* r) {
        const std::string units = r->ReadIdent();
        if (SameText(units, "utPixels")) units_ = utScreenPixels;
        else if (SameText(units, "utInches")) units_ = utInches;
        else if (SameText(units, "utMillimeters")) units_ = utMillimeters;
      },
      nullptr, false);
}

void TppCustomReport::Loaded() {
  inherited::Loaded();
  printerSetup_->Loaded();
  for (TppBand* band : bands_) band->SetUnits(units_);
  if (FormatSettings.DecimalSeparator != '.') UseDecimalSeparator(columnPositions_);
  if (versionNo_ < ppVersionNo) ConvertLayout();
  // After the conversion: new bands are made in today's units, not an old layout's.
  if (bands_.empty()) CreateDefaultBands();
  oldColumnWidth_.reset();
  // A report kept as a template takes its layout from there, unless the
  // template itself is what is loading it.
  if (saveAsTemplate_ && !(state_ & ppstTemplateLoading)) {
    if (TppCustomReport* main = GetMainReport(); main && main != this) main->ReportLoaded();
    template_->Load();
  }
}

void TppCustomReport::ConvertLayout() {
  if (versionNo_ < kVersionColumns) {
    // Positions and width were stored in the layout's Units.
    PositionsFromUnits(columnPositions_);
    if (oldColumnWidth_)
      mmColumnWidth_ =
          WithinPrintableWidth(ppToMMThousandths(*oldColumnWidth_, units_, PrinterDpiFor(units_)));
    if (columns_ > 1 && columnPositions_.Count() == 0 &&
        int64_t{columns_} * mmColumnWidth_ > printerSetup_->PageDef().mmPrintableWidth())
      mmColumnWidth_ = int32_t(printerSetup_->PageDef().mmPrintableWidth() / columns_);
    passSetting_ = psTwoPass;
  }
  for (TppBand* band : bands_) band->ConvertVersion(versionNo_);
  for (TppGroup* group : groups_) group->ConvertVersion(versionNo_);
  version_ = ppVersion;
  versionNo_ = ppVersionNo;
  modified_ = true;
  layoutConverted_ = true;
}

// ---- TppReport -----------------------------------------------------------------------------

IMPLEMENT_CLASS(TppReport, TppCustomReport)
PUBLISHED(TppReport) {
  PROP_BOOL(AllowPrintToFile, AllowPrintToFile, SetAllowPrintToFile, false);
  PROP_BOOL(CachePages, CachePages, SetCachePages, false);
  PROP_ENUM(Device, Device, SetDevice, dvScreen);
  PROP_OBJ(Icon, Icon, SetIcon);
  PROP_ENUM(Language, Language, SetLanguage, lgEnglish);
  PROP_BOOL(ModalCancelDialog, ModalCancelDialog, SetModalCancelDialog, true);
  PROP_BOOL(ModalPreview, ModalPreview, SetModalPreview, true);
  PROP_EVENT(OnPreviewFormClose);
  PROP_EVENT(OnPreviewFormCreate);
  PROP_EVENT(OnPrintingComplete);
  PROP_BOOL(ShowCancelDialog, ShowCancelDialog, SetShowCancelDialog, true);
  PROP_BOOL(ShowPrintDialog, ShowPrintDialog, SetShowPrintDialog, true);
  PROP_STR(TextFileName, TextFileName, SetTextFileName, "");
  PROP_ENUM(TextFileType, TextFileType, SetTextFileType, ftComma);
}

TppReport::TppReport(TComponent* owner)
    : TppCustomReport(owner),
      cacheManager_(std::make_unique<TppCacheManager>(this)),
      icon_(std::make_unique<TIcon>()),
      languageIndex_(ppLanguageBase(lgEnglish)),
      publisher_(std::make_unique<TppPublisher>()) {
  publisher_->OnPageRequest = [this](TObject* sender, TppPageRequestType kind, TStrings* list,
                                     int pageNo) { PageRequest(sender, kind, list, pageNo); };
  engine_->OnResetCache = [this] { cacheManager_->Reset(); };
  engine_->OnSavePageState = [this](int pageNo) { cacheManager_->SavePageState(pageNo); };
  engine_->OnRestorePageState = [this](int pageNo) { cacheManager_->RestorePageState(pageNo); };
  engine_->OnGetLastCachedPage = [this](int& last) { last = cacheManager_->HighestPageSaved(); };
}

// The cache forgets its objects before the bands and groups go.
TppReport::~TppReport() {
  TellDesignerFreed();
  delete previewForm_;  // its handlers reach the engine, which goes first
  cacheManager_->ClearCache();
  FreeBandsAndGroups();
}

void TppReport::PublishPage() {
  if (auto divert = OnDivertPage) divert(engine_->Page());  // a copy: it may unset itself
  else publisher_->ReceivePage(engine_->Page());
}

void TppReport::Reset() {
  if (ReadingOrLoading() || freeing_) return;
  inherited::Reset();
  if (!engine_->Busy()) publisher_->Reset();
}

std::vector<TppCacheable*> TppReport::CacheObjects() { return PageStateObjects(); }

std::vector<TppCacheable*> TppCustomReport::PageStateObjects() {
  std::vector<TppCacheable*> objects;
  if (dataPipeline_) objects.push_back(dataPipeline_);
  if (TppBand* detail = FindBand(bkDetail))
    if (TppDataPipeline* own = detail->GetDataPipeline(); own && own != dataPipeline_)
      objects.push_back(own);
  objects.push_back(engine_.get());
  for (TppGroup* group : groups_) objects.push_back(group);
  for (TppBand* band : bands_) {
    objects.push_back(band);
    for (int i = 0; i < band->ComponentCount(); ++i) objects.push_back(band->Components(i));
  }
  return objects;
}

void TppReport::StopGeneration() {
  if (engine_->Busy()) engine_->SetCancelled(true);
}

void TppReport::PrintPages() {
  ppSendDesignerMessage(designWindow_, ppmsgPrinting, this, 1);
  if (!engine_->Prepared() && !engine_->Cancelled()) publisher_->Reset();
  publisher_->ProcessRequests();
  ppSendDesignerMessage(designWindow_, ppmsgPrinting, this, 0);
}

void TppReport::PageRequest(TObject*, TppPageRequestType kind, TStrings* pageList, int pageNo) {
  pageRequest_ = uint8_t(kind);
  pageList_.Clear();
  if (kind == prPageList && pageList) pageList_.Assign(pageList);
  generating_ = true;
  publisher_->CachePages = cachePages_;
  if (!(*engine_->Page()->PrinterSetup() == *printerSetup_))
    engine_->Page()->SetPrinterSetup(printerSetup_.get());
  try {
    engine_->RequestPages(uint8_t(kind), pageNo, &pageList_);
  } catch (...) {
    generating_ = false;
    if (auto over = OnRequestOver) over(true);  // a copy: the handler may unset it
    publisher_->CancelJob();
    engine_->Reset();
    throw;
  }
  generating_ = false;
  if (auto over = OnRequestOver) over(engine_->Cancelled());
  if (engine_->Cancelled()) {
    publisher_->CancelJob();
    engine_->Reset();
  }
}

void TppReport::SetCachePages(bool value) {
  if (generating_) return;
  cachePages_ = value;
  Reset();
}

void TppReport::SetIcon(const TIcon* icon) {
  if (icon) icon_->Assign(icon);
}

void TppReport::SetDevice(TppDeviceType value) {
  if (!generating_) device_ = value;
}

void TppReport::SetLanguage(TppLanguageType value) {
  if (generating_) return;
  language_ = value;
  languageIndex_ = ppLanguageBase(value);
  LanguageChanged();
}

void TppReport::SetShowCancelDialog(bool value) {
  if (!generating_) showCancelDialog_ = value;
}

void TppReport::SetShowPrintDialog(bool value) {
  if (!generating_) showPrintDialog_ = value;
}

void TppReport::SetTextFileType(TppFileType value) {
  if (!generating_) textFileType_ = value;
}

void TppReport::SetTextFileName(const std::string& value) {
  if (!generating_) textFileName_ = value;
}

void TppReport::AssignReport(TppCustomReport* source) {
  inherited::AssignReport(source);
  auto* s = dynamic_cast<TppReport*>(source);
  if (!s) return;
  allowPrintToFile_ = s->allowPrintToFile_;
  device_ = s->device_;
  icon_->Assign(s->icon_.get());
  modalCancelDialog_ = s->modalCancelDialog_;
  showCancelDialog_ = s->showCancelDialog_;
  showPrintDialog_ = s->showPrintDialog_;
  textFileName_ = s->textFileName_;
  textFileType_ = s->textFileType_;
  SetLanguage(s->language_);
  OnPreviewFormClose = s->OnPreviewFormClose;
  OnPreviewFormCreate = s->OnPreviewFormCreate;
  OnPrintingComplete = s->OnPrintingComplete;
}

void TppReport::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  // Keys of older layouts: converted, or read and dropped.
  filer->DefineProperty("Orientation",
                        [this](TReader* r) { oldLandscape_ = r->ReadIdent() == "poLandscape"; },
                        nullptr, false);
  filer->DefineProperty("NoDataPages", [this](TReader* r) { pageLimit_ = std::max(0, r->ReadInteger()); },
                        nullptr, false);
  filer->DefineProperty("RowSpacing", [this](TReader* r) { oldRowSpacing_ = ppReadMMValue(r); },
                        nullptr, false);
  for (const char* dropped :
       {"AllowPrintCancel", "DataSource", "PreviewPages", "SuppressFormFeed", "Viewer"})
    filer->DefineProperty(dropped, [](TReader* r) { r->SkipValue(); }, nullptr, false);
}

void TppReport::ConvertLayout() {
  if (versionNo_ < kVersionOrientation && oldLandscape_) printerSetup_->SetOrientation(poLandscape);
  if (versionNo_ < kVersionColumns && oldRowSpacing_ != 0)
    if (TppBand* detail = FindBand(bkDetail)) detail->SetmmBottomOffset(oldRowSpacing_);
  inherited::ConvertLayout();
}

// ---- TppChildReport ---------------------------------------------------------------------------

IMPLEMENT_CLASS(TppChildReport, TppCustomReport)

TppChildReport::TppChildReport(TComponent* owner) : TppCustomReport(owner) {}

TComponent* TppChildReport::GetParentComponent() const { return parent_; }

TppCustomReport* TppChildReport::ParentReport() const {
  return parent_ ? parent_->Report() : nullptr;
}

TppCustomReport* TppChildReport::GetMainReport() {
  TppCustomReport* parent = ParentReport();
  return parent ? parent->GetMainReport() : nullptr;
}

bool TppChildReport::IsGenerating() const {
  TppCustomReport* main = const_cast<TppChildReport*>(this)->GetMainReport();
  return main && main->IsGenerating();
}

int TppChildReport::GetLanguageIndex() const {
  TppCustomReport* main = const_cast<TppChildReport*>(this)->GetMainReport();
  return main ? main->GetLanguageIndex() : ppLanguageBase(lgEnglish);
}

void TppChildReport::Reset() {
  inherited::Reset();
  if (TppCustomReport* main = GetMainReport()) main->Reset();
}

// A setup of its own (no longer the parent's) stops following the parent.
void TppChildReport::PrinterSetupChanged() {
  inherited::PrinterSetupChanged();
  if (ReadingOrLoading() || !parent_) return;
  auto* sub = dynamic_cast<TppSubReport*>(parent_);
  TppCustomReport* parent = ParentReport();
  if (sub && parent && sub->ParentPrinterSetup() &&
      !(*PrinterSetup() == *parent->PrinterSetup()))
    sub->SetParentPrinterSetup(false);
}

void TppChildReport::CancelGeneration() {
  inherited::CancelGeneration();
  TppCustomReport* parent = ParentReport();
  if (parent && parent != GetMainReport()) parent->CancelGeneration();
}
