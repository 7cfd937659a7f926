#include "report/model/ppcomponent.h"

#include <algorithm>
#include <cmath>

#include "platform/classlib/core/filer.h"
#include "platform/classlib/graphics/images.h"
#include "report/model/ppbands.h"
#include "report/model/ppdesign.h"
#include "report/model/ppengine.h"
#include "report/model/pprecord.h"
#include "report/model/ppreport.h"
#include "report/output/pppage.h"
#include "report/output/ppprintr.h"

namespace {
// A new component's size: 65 x 17 screen pixels, as the designer drops it.
constexpr int kDefaultPixelWidth = 65, kDefaultPixelHeight = 17;
// Version numbers whose layouts need converting.
constexpr int kVersionFieldNames = 1270, kVersionPixels = 2097;

int32_t PixelsToMM(int pixels) { return ppToMMThousandths(float(pixels), utScreenPixels); }
// Rounded, so that pixels converted there and back stay where they were.
int ToScreenPixels(int32_t value) { return int(ppFromMMThousandths(value, utScreenPixels)); }
}  // namespace

// ---- TppPrintable -------------------------------------------------------------------

IMPLEMENT_CLASS(TppPrintable, TppCacheable)
PUBLISHED(TppPrintable) { PROP_EVENT(OnPrint); }

TppPrintable::TppPrintable(TComponent* owner)
    : TppCacheable(owner), font_(std::make_unique<TFont>()) {
  mmWidth_ = PixelsToMM(kDefaultPixelWidth);
  mmHeight_ = PixelsToMM(kDefaultPixelHeight);
}

TppPrintable::~TppPrintable() {
  FreeDesignControl();
  if (dataPipeline_) dataPipeline_->RemoveLink(this);
}

bool TppPrintable::ReadingOrLoading() const {
  return ppReadingOrLoading(this) || (State() & (ppstLoading | ppstTemplateLoading)) != 0;
}

void TppPrintable::CreateDrawCommand(TppPage* page) {
  if (!drawCommandClass_ || !page) return;
  auto* command = dynamic_cast<TppDrawCommand*>(drawCommandClass_->Create(nullptr));
  if (!command) return;
  PropertiesToDrawCommand(command);
  page->AddDrawCommand(command);
}

void TppPrintable::GetCaption(std::string& text) {
  if (caption_.empty() && AtDesignTime()) GetText(caption_);
  if (caption_.empty() && IsDataAware() && !IsDataAvailable()) caption_ = dataField_;
  text = caption_;
}

int TppPrintable::GetLanguageIndex() const { return ppLanguageBase(lgEnglish); }

TppPrinter* TppPrintable::GetPrinter() const { return ppPrinter(); }

void TppPrintable::MarkForPrint() {
  if (visible_) markedToPrint_ = true;
}

void TppPrintable::EndPrintPass() {
  if (complete_) markedToPrint_ = false;
}

void TppPrintable::StartPrintPass() {
  complete_ = false;
  spaceUsed_ = 0;
  overflow_ = false;
}

void TppPrintable::PipelineNotify(TppDataPipeline* pipeline, int event) {
  if (event == ppdePipelineFreed && pipeline == dataPipeline_) dataPipeline_ = nullptr;
  Changed();
}

void TppPrintable::GetText(std::string& text) { text = text_; }

void TppPrintable::Init() {
  continued_ = false;
  if (IsCalculated()) ResetCalculation();
}

// Data shows only from an active pipeline that holds records; a designer
// that hides data still gets it while the report generates.
bool TppPrintable::IsDataAvailable() const {
  if (!IsDataAware()) return false;
  if (dataField_.empty() || !dataPipeline_ || !dataPipeline_->Active() ||
      dataPipeline_->NoRecords())
    return false;
  // Calculated fields have no values while the form is being designed.
  if (ComponentState().Contains(csDesigning) && dataPipeline_->IsFieldCalculated(dataField_))
    return false;
  if (!(State() & ppstDesigning) || (State() & ppstDataAtDesign)) return true;
  return Printing();
}

void TppPrintable::DrawToPage(TppPage* page) {
  if (markedToPrint_ && visible_) CreateDrawCommand(page);
}

void TppPrintable::ConvertVersion(int versionNo) {
  if (versionNo < kVersionFieldNames && !oldReportField_.empty()) SetDataField(oldReportField_);
  if (versionNo < kVersionPixels) {
    // Older layouts stored screen pixels in the thousandths fields.
    mmLeft_ = PixelsToMM(mmLeft_);
    mmTop_ = PixelsToMM(mmTop_);
    mmWidth_ = PixelsToMM(mmWidth_);
    mmHeight_ = PixelsToMM(mmHeight_);
  }
}

void TppPrintable::SetAlignment(TAlignment value) {
  alignment_ = value;
  InvalidateDesign();
  NotifyDesigner();
}

void TppPrintable::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  AdjustSize();
  NotifyDesigner();
}

void TppPrintable::SetCaption(const std::string& value) {
  caption_ = value;
  text_ = value;
  if (autoSize_) AdjustSize();
  InvalidateDesign();
  if (!IsDataAware()) NotifyDesigner();
}

void TppPrintable::SetColor(TColor value) {
  if (!SupportsColor()) return;
  color_ = value;
  InvalidateDesign();
  NotifyDesigner();
}

void TppPrintable::SetDataField(const std::string& value) {
  if (!IsDataAware() || value == dataField_) return;
  dataField_ = value;
  caption_ = value.empty() ? Name() : value;
  NotifyDesigner();
  Changed();
}

void TppPrintable::SetDataPipeline(TppDataPipeline* pipeline) {
  if (pipeline == dataPipeline_) return;
  if (dataPipeline_) dataPipeline_->RemoveLink(this);
  dataPipeline_ = pipeline;
  if (pipeline) pipeline->AddLink(this);
  PipelineNotify(pipeline, ppdeSettingsChanged);
  if (!ReadingOrLoading()) ppSendDesignerMessage(GetDesigner(), ppmsgPipelineChanged, this);
}

void TppPrintable::SetFont(const TFont* font) {
  if (font) font_->Assign(font);
  InvalidateDesign();  // the design image shows the font
  NotifyDesigner();
}

void TppPrintable::SetText(const std::string& value) { text_ = value; }

void TppPrintable::SetReprintOnOverFlow(bool value) {
  reprintOnOverFlow_ = value;
  NotifyDesigner();
  Changed();
}

// The two parent-following modes exclude each other.
void TppPrintable::SetShiftWithParent(bool value) {
  shiftWithParent_ = value;
  if (value) stretchWithParent_ = false;
  NotifyDesigner();
  Changed();
}

void TppPrintable::SetStretchWithParent(bool value) {
  stretchWithParent_ = value;
  if (value) shiftWithParent_ = false;
  NotifyDesigner();
  Changed();
}

void TppPrintable::SetTransparent(bool value) {
  transparent_ = value;
  InvalidateDesign();
  NotifyDesigner();
}

void TppPrintable::SetVisible(bool value) {
  visible_ = value;
  NotifyDesigner();
  Changed();
}

void TppPrintable::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  AdjustSize();
  NotifyDesigner();
  Changed();
}

void TppPrintable::SetmmLeft(int32_t value) {
  mmLeft_ = value;
  Changed();
  BoundsChanged();
}
void TppPrintable::SetmmTop(int32_t value) {
  mmTop_ = value;
  Changed();
  BoundsChanged();
}
void TppPrintable::SetmmWidth(int32_t value) {
  mmWidth_ = value;
  Changed();
  BoundsChanged();
}
void TppPrintable::SetmmHeight(int32_t value) {
  mmHeight_ = value;
  Changed();
  BoundsChanged();
}

void TppPrintable::SetmmBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  mmLeft_ = left;
  mmTop_ = top;
  mmWidth_ = width;
  mmHeight_ = height;
  Changed();
  BoundsChanged();
}

int TppPrintable::Dpi(TppPixelAxis axis) const {
  if (units_ != utPrinterPixels) return 0;
  TppPrinter* printer = GetPrinter();
  return printer ? printer->PixelsPerInch(axis) : 0;
}

float TppPrintable::Left() const {
  return ppFromMMThousandths(mmLeft_, units_, Dpi(TppPixelAxis::Horizontal));
}
float TppPrintable::Top() const {
  return ppFromMMThousandths(mmTop_, units_, Dpi(TppPixelAxis::Vertical));
}
float TppPrintable::Width() const {
  return ppFromMMThousandths(mmWidth_, units_, Dpi(TppPixelAxis::Horizontal));
}
float TppPrintable::Height() const {
  return ppFromMMThousandths(mmHeight_, units_, Dpi(TppPixelAxis::Vertical));
}

// An old layout stored these in its own unit: kept raw until ConvertVersion.
void TppPrintable::SetLeft(float value) {
  if (ComponentState().Contains(csReading)) mmLeft_ = ppReadCoordinate(value);
  else SetmmLeft(ppToMMThousandths(value, units_, Dpi(TppPixelAxis::Horizontal)));
}
void TppPrintable::SetTop(float value) {
  if (ComponentState().Contains(csReading)) mmTop_ = ppReadCoordinate(value);
  else SetmmTop(ppToMMThousandths(value, units_, Dpi(TppPixelAxis::Vertical)));
}
void TppPrintable::SetWidth(float value) {
  if (ComponentState().Contains(csReading)) mmWidth_ = ppReadCoordinate(value);
  else SetmmWidth(ppToMMThousandths(value, units_, Dpi(TppPixelAxis::Horizontal)));
}
void TppPrintable::SetHeight(float value) {
  if (ComponentState().Contains(csReading)) mmHeight_ = ppReadCoordinate(value);
  else SetmmHeight(ppToMMThousandths(value, units_, Dpi(TppPixelAxis::Vertical)));
}

void TppPrintable::SetPixelBounds(int left, int top, int width, int height) {
  SetmmBounds(PixelsToMM(left), PixelsToMM(top), PixelsToMM(width), PixelsToMM(height));
}

int TppPrintable::PixelLeft() const { return ToScreenPixels(mmLeft_); }
int TppPrintable::PixelTop() const { return ToScreenPixels(mmTop_); }
int TppPrintable::PixelWidth() const { return ToScreenPixels(mmWidth_); }
int TppPrintable::PixelHeight() const { return ToScreenPixels(mmHeight_); }

void TppPrintable::Loaded() {
  ExcludeState(uint16_t{16});
  inherited::Loaded();
}

void TppPrintable::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  ppDefineMMProperty(filer, "mmHeight", mmHeight_, false);
  ppDefineMMProperty(filer, "mmLeft", mmLeft_, false);
  ppDefineMMProperty(filer, "mmTop", mmTop_, false);
  ppDefineMMProperty(filer, "mmWidth", mmWidth_, false);
  // Keys of older layouts: read, kept for the conversion or dropped.
  filer->DefineProperty("DataSource", [this](TReader* r) { oldDataSource_ = r->ReadIdent(); },
                        nullptr, false);
  for (const char* dropped : {"OnFormatText", "Region", "ParentDataSource"})
    filer->DefineProperty(dropped, [](TReader* r) { r->SkipValue(); }, nullptr, false);
  filer->DefineProperty("ReportField", [this](TReader* r) { oldReportField_ = r->ReadString(); },
                        nullptr, false);
}

// ---- TppComponent -------------------------------------------------------------------

IMPLEMENT_CLASS(TppComponent, TppPrintable)

TppComponent::TppComponent(TComponent* owner) : TppPrintable(owner) {}

TppComponent::~TppComponent() {
  ppSendDesignerMessage(GetDesigner(), ppmsgComponentFreed, this);
  FreeDesignControl();
  if (region_) region_->RemoveChild(this);
  if (band_) band_->RemoveComponent(this);
}

TppCustomReport* TppComponent::Report() const { return band_ ? band_->Report() : nullptr; }

void TppComponent::SetBand(TppBand* band) {
  if (band == band_) return;
  if (band_) band_->RemoveComponent(this);
  band_ = band;
  if (!band) {
    if (DesignControl()) {
      FreeDesignControl();
      NotifyDesigner();
      InvalidateDesign();
    }
    Changed();
    return;
  }
  if (band->State() & ppstDesigning) CreateDesignControl();
  SetUnits(band->Units());
  band->AddComponent(this);
  if (!ReadingOrLoading()) SizeToParent();
  if (band->State() & ppstDataAtDesign) IncludeState(ppstDataAtDesign);
  else ExcludeState(ppstDataAtDesign);
  bandType_ = band->KindCode();
  TppGroup* group = band->Group();
  groupNo_ = group ? dynamic_cast<TppGroupBand*>(band)->GroupIndex() : -1;
  NotifyDesigner();
  InvalidateDesign();
  Changed();
}

void TppComponent::SetParentDataPipeline(bool value) {
  parentDataPipeline_ = value;
  if (value && band_ && band_->GetDataPipeline() != DataPipeline())
    SetDataPipeline(band_->GetDataPipeline());
}

void TppComponent::SetDataPipeline(TppDataPipeline* pipeline) {
  inherited::SetDataPipeline(pipeline);
  if (!ReadingOrLoading() && band_ && parentDataPipeline_ && pipeline != band_->GetDataPipeline())
    parentDataPipeline_ = false;
}

void TppComponent::SetParentHeight(bool value) {
  parentHeight_ = value;
  if (value && !ReadingOrLoading()) SizeToParent();
  ParentSizeChanged(ppmaskParentHeight, value);
}

void TppComponent::SetParentWidth(bool value) {
  parentWidth_ = value;
  if (value && !ReadingOrLoading()) SizeToParent();
  ParentSizeChanged(ppmaskParentWidth, value);
}

// The design control loses the handles a parent-sized side cannot use.
void TppComponent::ParentSizeChanged(int mask, bool set) {
  if (TppDesignControl* control = DesignControl())
    control->SetSizingHandleMask(set ? control->SizingHandleMask() | mask
                                     : control->SizingHandleMask() & ~mask);
  ppSendDesignerMessage(GetDesigner(), ppmsgParentSizeChanged, this);
}

TRect TppComponent::GetContainerRect() const {
  if (region_)
    return {region_->mmLeft(), region_->mmTop(), region_->mmLeft() + region_->mmWidth(),
            region_->mmTop() + region_->mmHeight()};
  if (band_) return {0, 0, band_->PrintableWidth(), band_->mmHeight()};
  return {mmLeft_, mmTop_, mmLeft_ + mmWidth_, mmTop_ + mmHeight_};
}

void TppComponent::SizeToParent() {
  if (!band_ || !(parentWidth_ || parentHeight_)) return;
  const TRect r = GetContainerRect();
  if (parentWidth_) {
    mmLeft_ = r.Left;
    mmWidth_ = r.Right - r.Left;
  }
  if (parentHeight_) {
    mmTop_ = r.Top;
    mmHeight_ = r.Bottom - r.Top;
  }
  Changed();
  BoundsChanged();
}

void TppComponent::BringToFront() {
  if (band_) band_->MoveComponent(this, band_->ComponentCount() - 1);
  NotifyDesigner();
}

void TppComponent::SendToBack() {
  if (band_) band_->MoveComponent(this, 0);
  NotifyDesigner();
}

int TppComponent::GetLanguageIndex() const {
  TppCustomReport* report = Report();
  return report ? report->GetLanguageIndex() : ppLanguageBase(lgEnglish);
}

TppPrinter* TppComponent::GetPrinter() const {
  TppCustomReport* report = Report();
  return report ? report->GetPrinter() : ppPrinter();
}

// Geometry clamps: a component never starts left of its band or beyond it.
void TppComponent::SetmmLeft(int32_t value) {
  if (parentWidth_) return;
  value = std::max(value, 0);
  if (band_) value = std::min(value, band_->PrintableWidth());
  if (value != mmLeft_) inherited::SetmmLeft(value);
}

void TppComponent::SetmmTop(int32_t value) {
  if (parentHeight_) return;
  value = std::max(value, 0);
  if (band_ && (State() & ppstDesigning) && !Printing()) value = std::min(value, band_->mmHeight());
  if (value != mmTop_) inherited::SetmmTop(value);
}

void TppComponent::SetmmWidth(int32_t value) {
  if (!parentWidth_) inherited::SetmmWidth(std::max(value, 0));
}

void TppComponent::SetmmHeight(int32_t value) {
  if (!parentHeight_) inherited::SetmmHeight(std::max(value, 0));
}

void TppComponent::SetmmBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  if (band_ && (State() & ppstDesigning) && !Printing()) {
    top = std::clamp(top, 0, std::max(0, band_->mmHeight()));
    left = std::clamp(left, 0, std::max(0, band_->PrintableWidth()));
  }
  inherited::SetmmBounds(left, top, width, height);
}

void TppComponent::Changed() {
  // A layout change discards generated pages (not while reading).
  if (band_ && !ReadingOrLoading() && !Printing() && band_->Report()) band_->Report()->Reset();
}

TComponent* TppComponent::GetParentComponent() const {
  return region_ ? static_cast<TComponent*>(region_) : band_;
}

void TppComponent::SetParentComponent(TComponent* parent) {
  if (auto* band = dynamic_cast<TppBand*>(parent)) SetBand(band);
  else SetRegion(parent);
}

void TppComponent::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  filer->DefineProperty(
      "BandType",
      [this](TReader* r) {
        const int code = r->ReadInteger();
        if (!band_ && code >= bkHeader && code <= bkFooter) bandType_ = TppBandKindCode(code);
      },
      [this](TWriter* w) { w->WriteInteger(bandType_); }, true);
  filer->DefineProperty("GroupNo", [this](TReader* r) { groupNo_ = r->ReadInteger(); },
                        [this](TWriter* w) { w->WriteInteger(groupNo_); }, true);
}

// ---- TppCustomComponent -------------------------------------------------------------

IMPLEMENT_CLASS(TppCustomComponent, TppComponent)

TppCustomComponent::TppCustomComponent(TComponent* owner) : TppComponent(owner) {
  SetRecordSize(1);  // marked to print
}

void TppCustomComponent::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  filer->DefineProperty("ShiftWithBand", [this](TReader* r) { SetShiftWithParent(r->ReadBoolean()); },
                        nullptr, false);
  filer->DefineProperty("StretchWithBand",
                        [this](TReader* r) { SetStretchWithParent(r->ReadBoolean()); }, nullptr,
                        false);
}

TppContainerValues TppCustomComponent::ContainerValues() const {
  if (Region()) return Region()->ChildContainerValues();
  auto* band = dynamic_cast<TppCustomBand*>(Band());
  return band ? band->ContainerValues() : TppContainerValues{};
}

void TppCustomComponent::Generate() {
  const TppContainerValues container = ContainerValues();
  if (ReprintOnOverFlow() && container.Continued) MarkForPrint();
  if (OnPrint && !ComponentState().Contains(csDesigning)) OnPrint(this);
  if (markedToPrint_ && Visible()) {
    Place(container);
    if (!overflow_) complete_ = true;
  } else {
    complete_ = true;
  }
}

void TppCustomComponent::Place(const TppContainerValues& c) {
  const int64_t left = int64_t{c.PrintLeft} + mmLeft_;
  int64_t height = mmHeight_;
  int64_t top = int64_t{c.PrintTop} + mmTop_;
  if (c.Continued) top -= c.ContinuationOffset;
  if (ShiftWithParent()) {
    if (const TppPrintable* s = c.Tallest)
      top = int64_t{s->PrintRect().Top} + s->SpaceUsed() + (mmTop_ - (s->mmTop() + s->mmHeight()));
    else if (c.UsedHeight > 0)
      top += c.UsedHeight - c.DesignedHeight;
  }
  if (StretchWithParent()) {
    if (top < c.StretchBottom) height = c.StretchBottom - top;
    if (top < c.AvailableBottom && top + height > c.AvailableBottom) height = c.AvailableBottom - top;
  }
  // One thousandth of slack: rounding of converted positions must not push
  // a component that fits exactly onto the next page.
  if (top + height > int64_t{c.AvailableBottom} + 1) {
    overflow_ = true;
    return;
  }
  printRect_ = {int32_t(left), int32_t(top), int32_t(left + mmWidth_), int32_t(top + height)};
  SetSpaceUsed(int32_t(height));
  CheckRepeatedValue();
  printRect_.Bottom = int32_t(top + spaceUsed_);
}

void TppCustomComponent::SaveToCache(int pageNo) {
  const uint8_t record = markedToPrint_ ? 1 : 0;
  WriteCacheRecord(pageNo, &record);
}

void TppCustomComponent::RestoreFromCache(int pageNo) {
  uint8_t record = 0;
  ReadCacheRecord(pageNo, &record);
  markedToPrint_ = record != 0;
}
