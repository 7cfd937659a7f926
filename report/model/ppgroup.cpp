#include "report/model/ppgroup.h"

#include <algorithm>
#include <cstring>

#include "platform/classlib/core/filer.h"
#include "report/data/ppdb.h"
#include "report/model/ppbands.h"
#include "report/model/ppengine.h"
#include "report/model/pprecord.h"
#include "report/model/ppreport.h"
#include "report/model/pptext.h"
#include "report/output/ppprintr.h"

namespace {
// Page-state record of a group: 24 bytes (reserved bytes stay 0).
constexpr int kGroupRecordSize = 24;
// Layouts older than these versions need converting.
constexpr int kVersionFieldNames = 1270, kVersionThresholds = 2097;

}  // namespace

IMPLEMENT_CLASS(TppGroup, TppCacheable)
PUBLISHED(TppGroup) {
  PROP_EVENT(AfterGroupBreak);
  PROP_EVENT(BeforeGroupBreak);
  PROP_STR(BreakName, BreakName, SetBreakName, "");
  PROP_ENUM(BreakType, BreakType, SetBreakType, btDataField);
  PROP_OBJ(DataPipeline, DataPipeline, SetDataPipeline);
  PROP_EVENT(OnGetBreakValue);
  PROP_BOOL(NewColumn, NewColumn, SetNewColumn, false);
  PROP_BOOL(NewPage, NewPage, SetNewPage, false);
  PROP_FLOAT(NewColumnThreshold, NewColumnThreshold, SetNewColumnThreshold, 0).Stored(false);
  PROP_FLOAT(NewPageThreshold, NewPageThreshold, SetNewPageThreshold, 0).Stored(false);
  PROP_BOOL(ResetPageNo, ResetPageNo, SetResetPageNo, false);
  PROP_BOOL(ReprintOnSubsequentColumn, ReprintOnSubsequentColumn, SetReprintOnSubsequentColumn,
            true);
  PROP_BOOL(ReprintOnSubsequentPage, ReprintOnSubsequentPage, SetReprintOnSubsequentPage, true);
}

TppGroup::TppGroup(TComponent* owner) : TppCacheable(owner) { SetRecordSize(kGroupRecordSize); }

// The group's bands go with it.
TppGroup::~TppGroup() {
  if (auto* text = dynamic_cast<TppCustomText*>(breakComponent_)) text->RemoveBreakGroup(this);
  if (dataPipeline_) dataPipeline_->RemoveLink(this);
  delete headerBand_;
  delete footerBand_;
  if (report_) report_->RemoveGroup(this);
}

bool TppGroup::ReadingOrLoading() const { return ppReadingOrLoading(this); }

void TppGroup::ResetReport() {
  if (report_ && !ReadingOrLoading()) report_->Reset();
}

int TppGroup::Dpi() const {
  return units_ == utPrinterPixels && report_ ? report_->PrinterDpi(TppPixelAxis::Vertical) : 0;
}

int TppGroup::GroupIndex() const { return report_ ? report_->GroupIndex(this) : -1; }

TppPrintable* TppGroup::BreakComponent() {
  if (!lookupPending_) return breakComponent_;
  lookupPending_ = false;
  if (auto* text = dynamic_cast<TppCustomText*>(breakComponent_)) text->RemoveBreakGroup(this);
  breakComponent_ = nullptr;
  if (breakType_ == btCustomField && report_ && !breakName_.empty())
    breakComponent_ = report_->FindComponent(breakName_);
  if (!breakComponent_) return nullptr;
  FreeNotification(breakComponent_);  // any kind of component may go away
  if (auto* text = dynamic_cast<TppCustomText*>(breakComponent_)) text->AddBreakGroup(this);
  return breakComponent_;
}

void TppGroup::GetBreakValue(std::string& value) {
  value = currentValue_;
  if (breakType_ == btDataField && dataPipeline_)
    value = dataPipeline_->GetFieldAsString(breakName_);
  else if (breakType_ == btCustomField)
    if (TppPrintable* component = BreakComponent()) component->GetText(value);
  if (OnGetBreakValue) OnGetBreakValue(this, value);
}

// Break values compare exactly: case and trailing blanks count.
bool TppGroup::CheckBreak() {
  previousValue_ = currentValue_;
  GetBreakValue(currentValue_);
  if (previousValue_ == currentValue_) return false;
  Break();
  return true;
}

void TppGroup::Break() {
  breakOccurred_ = true;
  if (headerBand_) headerBand_->SetBreakPending(true);
  if (footerBand_) footerBand_->SetBreakPending(true);
  TppEngine* engine = report_ ? report_->Engine() : nullptr;
  if (engine && (engine->PendingBands() & btSummary)) return;  // end of data
  for (TppPrintable* component : resetComponents_) component->SetResetPending(true);
}

// A break noticed at the end of a detail run leaves the last record's value;
// taken from the run's first record now, so its second record breaks no more.
void TppGroup::ClearBreakOccurred() {
  breakOccurred_ = false;
  GetBreakValue(currentValue_);
}

void TppGroup::Init() {
  breakNo_ = 0;
  firstPage_ = lastPage_ = headerColumn_ = 1;
  lookupPending_ = true;
  GetBreakValue(currentValue_);
  previousValue_ = currentValue_;
  resetComponents_.clear();
  if (report_)
    for (int b = 0; b < report_->BandCount(); ++b) {
      TppBand* band = report_->Bands(b);
      for (int i = 0; i < band->ComponentCount(); ++i) {
        TppComponent* c = band->Components(i);
        if (c->ResetsOnGroup() && c->ResetGroup() == this) resetComponents_.push_back(c);
      }
    }
  breakOccurred_ = false;
  for (TppPrintable* component : resetComponents_) component->SetResetPending(true);
}

void TppGroup::RecomputeValue() { GetBreakValue(currentValue_); }

void TppGroup::ResetBreak() {
  firstPage_ = lastPage_ = headerColumn_ = 1;
  currentValue_.clear();
  previousValue_.clear();
}

int TppGroup::PageNo() const {
  TppEngine* engine = report_ ? report_->Engine() : nullptr;
  return engine ? engine->AbsolutePageNo() - firstPage_ + 1 : 1;
}

int TppGroup::PageCount() const { return lastPage_ - firstPage_ + 1; }

// Pages of this run saved earlier learn the run's new last page, so any of
// them regenerated later knows the run's page count.
void TppGroup::SetLastPage() {
  TppEngine* engine = report_ ? report_->Engine() : nullptr;
  if (!engine) return;
  lastPage_ = engine->AbsolutePageNo();
  if (!CacheStream() || !CacheManager()) return;
  for (int page = CacheManager()->HighestPageSaved(); page >= 0; --page) {
    uint8_t r[kGroupRecordSize] = {};
    ReadCacheRecord(page, r);
    if (ppGetInt32(r + 12) != breakNo_) break;
    ppPutInt32(r + 0, firstPage_);
    ppPutInt32(r + 4, lastPage_);
    WriteCacheRecord(page, r);
  }
}

void TppGroup::SaveToCache(int pageNo) {
  uint8_t r[kGroupRecordSize] = {};
  ppPutInt32(r + 0, firstPage_);
  ppPutInt32(r + 4, lastPage_);
  r[8] = breakOccurred_;
  ppPutInt32(r + 12, breakNo_);
  ppPutInt32(r + 16, headerColumn_);
  WriteCacheRecord(pageNo, r);
}

void TppGroup::RestoreFromCache(int pageNo) {
  uint8_t r[kGroupRecordSize] = {};
  ReadCacheRecord(pageNo, r);
  firstPage_ = ppGetInt32(r + 0);
  lastPage_ = ppGetInt32(r + 4);
  breakOccurred_ = r[8] != 0;
  breakNo_ = ppGetInt32(r + 12);
  headerColumn_ = ppGetInt32(r + 16);
  GetBreakValue(currentValue_);
  previousValue_ = currentValue_;
}

void TppGroup::PipelineNotify(TppDataPipeline* pipeline, int event) {
  if (event == ppdePipelineFreed && pipeline == dataPipeline_) dataPipeline_ = nullptr;
  if (report_) report_->Reset();
}

void TppGroup::UpdateBandCaptions() {
  if (headerBand_) headerBand_->UpdateCaption();
  if (footerBand_) footerBand_->UpdateCaption();
}

void TppGroup::ConvertVersion(int versionNo) {
  if (versionNo < kVersionFieldNames && !oldFieldName_.empty()) breakName_ = oldFieldName_;
  if (versionNo < kVersionThresholds) {
    newColumn_ = newPage_;
    reprintOnSubsequentColumn_ = reprintOnSubsequentPage_ = oldReprint_;
    const int32_t threshold = ppToMMThousandths(float(oldThreshold_), units_, Dpi());
    mmNewColumnThreshold_ = mmNewPageThreshold_ = std::max(threshold, 0);
  }
}

void TppGroup::SetReport(TppCustomReport* report) {
  if (report == report_) return;
  if (report_) report_->RemoveGroup(this);
  report_ = report;
  if (report) {
    report->AddGroup(this);
    units_ = report->Units();
  }
  if (headerBand_) headerBand_->SetReport(report);
  if (footerBand_) footerBand_->SetReport(report);
  lookupPending_ = true;
}

void TppGroup::SetHeaderBand(TppGroupHeaderBand* band) {
  if (band == headerBand_) return;
  TppGroupHeaderBand* old = headerBand_;
  headerBand_ = band;
  if (old && old->Group() == this) old->SetGroup(nullptr);
  if (band && band->Group() != this) band->SetGroup(this);
}

void TppGroup::SetFooterBand(TppGroupFooterBand* band) {
  if (band == footerBand_) return;
  TppGroupFooterBand* old = footerBand_;
  footerBand_ = band;
  if (old && old->Group() == this) old->SetGroup(nullptr);
  if (band && band->Group() != this) band->SetGroup(this);
}

void TppGroup::SetBreakType(TppBreakType value) {
  if (value == breakType_ || (report_ && report_->IsGenerating())) return;
  breakType_ = value;
  lookupPending_ = true;
}

void TppGroup::SetBreakName(const std::string& value) {
  if (value == breakName_) return;
  breakName_ = value;
  lookupPending_ = true;
  ResetReport();
  UpdateBandCaptions();
}

void TppGroup::SetDataPipeline(TppDataPipeline* pipeline) {
  if (pipeline == dataPipeline_) return;
  if (dataPipeline_) dataPipeline_->RemoveLink(this);
  dataPipeline_ = pipeline;
  if (pipeline) pipeline->AddLink(this);
  PipelineNotify(pipeline, ppdeSettingsChanged);
}

void TppGroup::SetNewColumn(bool value) {
  newColumn_ = value;
  ResetReport();
}
void TppGroup::SetNewPage(bool value) {
  newPage_ = value;
  ResetReport();
}
void TppGroup::SetmmNewColumnThreshold(int32_t value) {
  mmNewColumnThreshold_ = std::max(value, 0);
  ResetReport();
}
void TppGroup::SetmmNewPageThreshold(int32_t value) {
  mmNewPageThreshold_ = std::max(value, 0);
  ResetReport();
}
float TppGroup::NewColumnThreshold() const {
  return ppFromMMThousandths(mmNewColumnThreshold_, units_, Dpi());
}
void TppGroup::SetNewColumnThreshold(float value) {
  SetmmNewColumnThreshold(ppToMMThousandths(value, units_, Dpi()));
}
float TppGroup::NewPageThreshold() const {
  return ppFromMMThousandths(mmNewPageThreshold_, units_, Dpi());
}
void TppGroup::SetNewPageThreshold(float value) {
  SetmmNewPageThreshold(ppToMMThousandths(value, units_, Dpi()));
}
void TppGroup::SetReprintOnSubsequentColumn(bool value) {
  reprintOnSubsequentColumn_ = value;
  ResetReport();
}
void TppGroup::SetReprintOnSubsequentPage(bool value) {
  reprintOnSubsequentPage_ = value;
  ResetReport();
}
void TppGroup::SetResetPageNo(bool value) {
  resetPageNo_ = value;
  ResetReport();
}

void TppGroup::BreakComponentRenamed(const std::string& oldName, const std::string& newName) {
  if (breakType_ == btCustomField && breakName_ == oldName) SetBreakName(newName);
}

void TppGroup::BreakComponentFreed(TppPrintable* component) {
  if (component != breakComponent_) return;
  breakComponent_ = nullptr;
  breakName_.clear();
  UpdateBandCaptions();
}

void TppGroup::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation == opRemove && component == breakComponent_) breakComponent_ = nullptr;
}

TComponent* TppGroup::GetParentComponent() const { return report_; }

void TppGroup::SetParentComponent(TComponent* parent) {
  if (auto* report = dynamic_cast<TppCustomReport*>(parent)) SetReport(report);
}

void TppGroup::GetChildren(const TGetChildProc& proc, TComponent*) {
  if (headerBand_) proc(headerBand_);
  if (footerBand_) proc(footerBand_);
}

void TppGroup::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  ppDefineMMProperty(filer, "mmNewColumnThreshold", mmNewColumnThreshold_, true);
  ppDefineMMProperty(filer, "mmNewPageThreshold", mmNewPageThreshold_, true);
  // Keys of older layouts.
  filer->DefineProperty("FieldName", [this](TReader* r) { oldFieldName_ = r->ReadString(); },
                        nullptr, false);
  filer->DefineProperty("ReprintOnSubsequent",
                        [this](TReader* r) { oldReprint_ = r->ReadBoolean(); }, nullptr, false);
  filer->DefineProperty("Threshold", [this](TReader* r) { oldThreshold_ = ppReadMMValue(r); },
                        nullptr, false);
  for (const char* dropped : {"Left", "Top"})
    filer->DefineProperty(dropped, [](TReader* r) { r->SkipValue(); }, nullptr, false);
}
