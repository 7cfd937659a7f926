#include "report/model/ppbands.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/messagepump.h"
#include "report/model/ppdesign.h"
#include "report/model/ppengine.h"
#include "report/model/pprecord.h"
#include "report/model/ppgroup.h"
#include "report/model/ppreport.h"
#include "report/model/pptext.h"
#include "report/output/ppdevice.h"
#include "report/output/pppage.h"
#include "report/output/ppprintr.h"

namespace {
// Page-state record of a band: 20 bytes (reserved bytes stay 0).
constexpr int kBandRecordSize = 20;
// Message offsets.
constexpr int kPrintPositionTooLow = 415;
constexpr int kNoCustomField = 300, kNoDataField = 301;
// Description offsets of the kinds.
constexpr int kDescColumnFooter = 187, kDescColumnHeader = 188, kDescDetail = 189,
              kDescFooter = 190, kDescGroupFooter = 191, kDescGroupHeader = 192,
              kDescHeader = 193, kDescSummary = 194, kDescTitle = 195;
// Layouts older than these versions need converting.
constexpr int kVersionHandlers = 1270, kVersionPixels = 2097, kVersionOffsets = 3000;
// Group-footer sort keys count down from here so inner footers come first.
constexpr int kFooterKeyBase = 99999999;


std::string KindDescription(const TppBand* band, int offset) {
  TppCustomReport* report = band->Report();
  return report ? report->LoadStr(offset) : ppLoadStr(ppLanguageBase(lgEnglish) + offset);
}
}  // namespace

// ---- TppBand -----------------------------------------------------------------------------

IMPLEMENT_CLASS(TppBand, TppCacheable)
PUBLISHED(TppBand) {
  PROP_EVENT(AfterPrint);
  PROP_EVENT(BeforePrint);
  PROP_FLOAT(Height, Height, SetHeight, 0).Stored(false);
  PROP_BOOL(Save, Save, SetSave, false);
  PROP_BOOL(Visible, Visible, SetVisible, true);
  PROP_ENUM(PrintHeight, PrintHeight, SetPrintHeight, phStatic);
}

TppBand::TppBand(TComponent* owner) : TppCacheable(owner) {
  SetRecordSize(kBandRecordSize);
  designControls_.SetSorted(true);
  designControls_.SetDuplicates(dupAccept);  // unnamed components share ""
}

// A band frees its components; no virtual call runs from here.
TppBand::~TppBand() {
  while (!components_.empty()) delete components_.back();
  FreeDesignControl();
  if (TppCustomReport* report = report_) {
    report_ = nullptr;
    report->RemoveBand(this);
  }
}

TppEngine* TppBand::Engine() const { return report_ ? report_->Engine() : nullptr; }

bool TppBand::ReadingOrLoading() const { return ppReadingOrLoading(this); }

void TppBand::ResetReport() {
  if (report_ && !ReadingOrLoading()) report_->Reset();
  NotifyDesigner();
}

int TppBand::Dpi() const {
  if (units_ != utPrinterPixels || !report_) return 0;
  return report_->PrinterDpi(TppPixelAxis::Vertical);
}

void TppBand::SetReport(TppCustomReport* report) {
  if (report == report_) return;
  FreeDesignControl();
  if (report_) report_->RemoveBand(this);
  report_ = report;
  if (!report) return;
  units_ = report->Units();
  if (report->State() & ppstDesigning) IncludeState(ppstDesigning);
  report->AddBand(this);
  caption_ = GetDescription();
  if (report->State() & ppstDesigning) CreateDesignControl();
}

void TppBand::AfterEndPage() {
  for (TppComponent* c : components_) c->AfterEndPage();
}

void TppBand::EndPage() {
  for (TppComponent* c : components_) c->EndPage();
}

void TppBand::StartPage() {
  for (TppComponent* c : components_) c->StartPage();
}

// Once per record: the calculated components take the new record's values.
void TppBand::CalculateComponents() {
  for (TppComponent* c : components_)
    if (c->IsCalculated()) c->Calculate();
}

void TppBand::PipelineNotify(TppDataPipeline*, int) {}

TppDataPipeline* TppBand::GetDataPipeline() const {
  return report_ ? report_->DataPipeline() : nullptr;
}

std::string TppBand::GetDescription() const {
  static const int kOffsets[] = {kDescHeader, kDescTitle, kDescColumnHeader, kDescGroupHeader,
                                 kDescDetail, kDescGroupFooter, kDescColumnFooter,
                                 kDescSummary, kDescFooter};
  return KindDescription(this, kOffsets[KindCode()]);
}

void TppBand::Init() {
  for (TppComponent* c : components_) c->Init();
}

void TppBand::LanguageChanged() {
  const std::string old = caption_;
  caption_ = GetDescription();
  if (caption_ != old) ppSendDesignerMessage(GetDesigner(), ppmsgBandCaptionChanged, this);
  UpdateDesignControl();
  for (TppComponent* c : components_) c->LanguageChanged();
}

void TppBand::ConvertVersion(int versionNo) {
  // Old layouts named the handler; the owner's published method of that name.
  if (versionNo < kVersionHandlers && !oldOnPrint_.empty() && Owner()) {
    const TMethod handler = MethodAddress(Owner(), oldOnPrint_);
    try {
      if (handler.Assigned()) SetMethodProp(this, "BeforePrint", handler);
    } catch (const Exception&) {
      // A method of another signature is no print handler: the band keeps none.
    }
  }
  if (versionNo < kVersionPixels) mmHeight_ = ppToMMThousandths(float(mmHeight_), utScreenPixels);
  for (TppComponent* c : components_) c->ConvertVersion(versionNo);
  if (versionNo < kVersionOffsets && printHeight_ == phDynamic && !components_.empty()) {
    int64_t lowest = 0;  // stored values may be extreme: no 32-bit sums
    for (TppComponent* c : components_)
      lowest = std::max(lowest, int64_t{c->mmTop()} + c->mmHeight());
    mmBottomOffset_ = int32_t(std::clamp<int64_t>(mmHeight_ - lowest, 0, INT32_MAX));
  }
}

void TppBand::SetmmHeight(int32_t value) {
  if (value == mmHeight_) return;
  value = std::max(value, 0);
  if (!AcceptDesignHeight(value)) return;
  mmHeight_ = value;
  UpdateDesignControl();
  ResetReport();
}

void TppBand::SetmmBottomOffset(int32_t value) {
  mmBottomOffset_ = std::max(value, 0);
  ResetReport();
}

void TppBand::SetmmPrintPosition(int32_t value) {
  mmPrintPosition_ = std::max(value, 0);
  ResetReport();
}

float TppBand::Height() const { return ppFromMMThousandths(mmHeight_, units_, Dpi()); }
void TppBand::SetHeight(float value) { SetmmHeight(ppToMMThousandths(value, units_, Dpi())); }
float TppBand::BottomOffset() const { return ppFromMMThousandths(mmBottomOffset_, units_, Dpi()); }
void TppBand::SetBottomOffset(float value) {
  SetmmBottomOffset(ppToMMThousandths(value, units_, Dpi()));
}
float TppBand::PrintPosition() const {
  return ppFromMMThousandths(mmPrintPosition_, units_, Dpi());
}
void TppBand::SetPrintPosition(float value) {
  SetmmPrintPosition(ppToMMThousandths(value, units_, Dpi()));
}

void TppBand::UpdatePrintMode() {
  printMode_ = printCount_ > 0 ? pmCount : GetDefaultPrintMode();
}

void TppBand::SetPrintCount(int value) {
  printCount_ = std::max(value, 0);
  UpdatePrintMode();
  ResetReport();
}

void TppBand::SetPrintHeight(TppPrintHeightType value) {
  printHeight_ = value;
  ResetReport();
}

void TppBand::SetSave(bool value) {
  save_ = value;
  ResetReport();
}

void TppBand::SetVisible(bool value) {
  visible_ = value;
  ResetReport();
}

void TppBand::SetUnits(TppUnitType units) {
  units_ = units;
  for (TppComponent* c : components_) c->SetUnits(units);
}

void TppBand::AddComponent(TppComponent* component) {
  if (std::find(components_.begin(), components_.end(), component) != components_.end()) return;
  components_.push_back(component);
  ListDesignControl(component, false);
  if (auto* text = dynamic_cast<TppCustomText*>(component); text && text->Save())
    saveList_.push_back(text);
  if (component->Band() != this) component->SetBand(this);
}

void TppBand::RemoveComponent(TppComponent* component) {
  if (std::find(components_.begin(), components_.end(), component) == components_.end()) return;
  ListDesignControl(component, true);
  std::erase(components_, component);
  std::erase(saveList_, static_cast<TppCustomText*>(dynamic_cast<TppCustomText*>(component)));
  if (component->Band() == this) component->SetBand(nullptr);
}

void TppBand::MoveComponent(TppComponent* component, int index) {
  auto it = std::find(components_.begin(), components_.end(), component);
  if (it == components_.end()) return;
  components_.erase(it);
  index = std::clamp(index, 0, int(components_.size()));
  components_.insert(components_.begin() + index, component);
}

int TppBand::IndexOfComponent(const TppComponent* component) const {
  auto it = std::find(components_.begin(), components_.end(), component);
  return it == components_.end() ? -1 : int(it - components_.begin());
}

TppComponent* TppBand::FindComponentByName(const std::string& name) const {
  for (TppComponent* c : components_)
    if (classlib_detail::SameIdent(c->Name(), name)) return c;
  return nullptr;
}

int32_t TppBand::PrintableWidth() const {
  if (!report_ || !report_->PrinterSetup()) return 0;
  if (PrintsInColumns() && report_->Columns() > 1) return report_->mmColumnWidth();
  return int32_t(std::clamp<int64_t>(report_->PrinterSetup()->PageDef().mmPrintableWidth(), 0,
                                     INT32_MAX));
}

TComponent* TppBand::GetParentComponent() const { return report_; }

void TppBand::SetParentComponent(TComponent* parent) {
  if (auto* report = dynamic_cast<TppCustomReport*>(parent)) SetReport(report);
}

void TppBand::GetChildren(const TGetChildProc& proc, TComponent*) {
  for (TppComponent* c : components_)
    if (!c->Region()) proc(c);  // a region lists its own
}

void TppBand::Loaded() {
  inherited::Loaded();
  UpdatePrintMode();
  // Saved texts take the order the layout stored.
  std::stable_sort(saveList_.begin(), saveList_.end(), [](TppCustomText* a, TppCustomText* b) {
    return a->StoredSaveOrder() < b->StoredSaveOrder();
  });
}

void TppBand::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  ppDefineMMProperty(filer, "mmBottomOffset", mmBottomOffset_, true);
  ppDefineMMProperty(filer, "mmHeight", mmHeight_, true);
  ppDefineMMProperty(filer, "mmPrintPosition", mmPrintPosition_, true);
  filer->DefineProperty("OnPrint", [this](TReader* r) { oldOnPrint_ = r->ReadIdent(); }, nullptr,
                        false);
  for (const char* dropped : {"OnSaveLineEnd", "OnSaveLineStart", "Left", "Top"})
    filer->DefineProperty(dropped, [](TReader* r) { r->SkipValue(); }, nullptr, false);
}

// ---- TppCustomBand ------------------------------------------------------------------------

namespace {
// Record stamps of all bands come from one count, so that no two records,
// of any band or run, share one.
uint64_t NewRecordStamp() {
  static std::atomic<uint64_t> last{0};
  return ++last;
}
}  // namespace

IMPLEMENT_CLASS(TppCustomBand, TppBand)

TppCustomBand::TppCustomBand(TComponent* owner) : TppBand(owner) { UpdatePrintMode(); }

TppCustomBand::~TppCustomBand() = default;

void TppCustomBand::Init() {
  allComplete_ = false;
  restartGroup_ = 0;
  overflowIndex_ = 0;
  continued_ = false;
  incomplete_ = false;
  printPositionAsked_ = false;
  resumeOffset_ = mmHeight_;
  recordStamp_ = NewRecordStamp();
  restored_ = false;
  UpdatePrintMode();
  inherited::Init();
  BuildPlacementGroups();
}

void TppCustomBand::BuildPlacementGroups() {
  for (auto& group : groups_) group.clear();
  calcComponents_.clear();
  for (size_t i = 0; i < components_.size(); ++i) {
    TppComponent* c = components_[i];
    c->SetOrderIndex(int(i));
    if (c->IsCalculated()) calcComponents_.push_back(c);
    if (c->HasShiftMaster() || c->Region()) continue;  // its master or region places it
    int group = 1;
    if (c->IsStretchable() && c->Stretches()) group = 2;
    else if (c->StretchWithParent()) group = 3;
    else if (c->ShiftWithParent()) group = 4;
    groups_[group].push_back(c);
  }
}

bool TppCustomBand::IsDone() const {
  TppEngine* engine = Engine();
  if (done_ || !engine || engine->Cancelled() || outOfSpace_) return true;
  if (printMode_ == pmOnce && instanceCount_ >= 1) return true;
  if (printMode_ == pmCount && instanceCount_ >= printCount_) return true;
  return (GetBandType() & engine->PendingBands()) == 0;
}

void TppCustomBand::Generate() {
  TppEngine* engine = Engine();
  generating_ = true;
  done_ = false;
  outOfSpace_ = false;
  instanceCount_ = 0;
  BeforeGenerate();
  while (!IsDone()) {
    allComplete_ = true;
    tallest_ = nullptr;
    firstOverflowInPass_ = overflowNoted_ = overflowStretches_ = false;
    drawList_.clear();
    usedHeight_ = 0;
    // Before BeforePrint, which may read the new record's data already; after
    // a page's state was restored, no earlier number is known to hold.
    if ((!continued_ && !incomplete_) || restored_) recordStamp_ = NewRecordStamp();
    restored_ = false;
    StartPrintPass();
    // Marked after BeforePrint, which may show again a component hidden for
    // the previous record; marked earlier it would never print again.
    if (!continued_ && !incomplete_)
      for (TppComponent* c : components_) c->MarkForPrint();
    CalcPrintSpace();
    if (visible_) {
      if (!outOfSpace_) {
        engine->CountBandInstance();
        ++instanceCount_;
        BeforePrintComponents();
        PlaceComponents(restartGroup_, overflowIndex_);
        AfterPrintComponents();
        AdvancePrintArea();
        if (!outOfSpace_) engine->NoteBandPlaced(this);
      }
      DrawComponents(engine->Page());
    }
    placedNothing_ = outOfSpace_ && drawList_.empty();
    if (!visible_) done_ = true;
    EndPrintPass();
    ProcessMessages();
  }
  AfterGenerate();
  generating_ = false;
}

void TppCustomBand::StartPrintPass() {
  for (TppComponent* c : components_) c->StartPrintPass();
  if (BeforePrint) BeforePrint(this);
}

void TppCustomBand::EndPrintPass() {
  for (TppComponent* c : components_) c->EndPrintPass();
  if (AfterPrint && !(outOfSpace_ && !continued_)) AfterPrint(this);
}

void TppCustomBand::CalcPrintSpace() {
  TppEngine* engine = Engine();
  available_ = engine->GetPageBottom() - mmBottomOffset_;
  top_ = engine->PrintPosition();
  ApplyPrintPosition();
  if (outOfSpace_) return;
  const int64_t bottom = int64_t{top_} + (printHeight_ == phStatic ? mmHeight_ : 0);
  if (bottom > available_) {
    outOfSpace_ = true;
    return;
  }
  printRect_ = {engine->AreaLeft(), top_, engine->AreaExtent(),
                printHeight_ == phDynamic ? available_ : int32_t(top_ + int64_t{mmHeight_})};
  bandBottom_ = top_;
}

void TppCustomBand::ApplyPrintPosition() {
  if (mmPrintPosition_ == 0) return;
  if (mmPrintPosition_ >= available_) {
    report_->RaiseError(report_->LoadStr(kPrintPositionTooLow) + ".");
    return;
  }
  const bool fits = printHeight_ == phDynamic || int64_t{mmPrintPosition_} + mmHeight_ <= available_;
  if (mmPrintPosition_ >= top_ && fits) {
    printPositionAsked_ = false;
    top_ = mmPrintPosition_;
  } else if (!printPositionAsked_) {
    // Asks once for a new page; a second time it prints where it stands.
    outOfSpace_ = true;
    printPositionAsked_ = true;
  } else {
    printPositionAsked_ = false;
  }
}

TppContainerValues TppCustomBand::ContainerValues() const {
  TppContainerValues v;
  v.PrintLeft = printRect_.Left;
  v.PrintTop = top_;
  v.StretchBottom = bandBottom_;
  v.AvailableBottom = printHeight_ == phDynamic ? available_ : printRect_.Bottom;
  v.Continued = continued_;
  v.UsedHeight = usedHeight_;
  v.DesignedHeight = mmHeight_;
  v.Tallest = tallest_;
  return v;
}

void TppCustomBand::PlaceComponents(int startGroup, int startIndex) {
  TppEngine* engine = Engine();
  const bool childPrinting = engine->EngineState() & (esChild64 | esChild128 | esChild256);
  // Plain components reprint on the continuation page.
  if (continued_ && !groups_[1].empty() && startGroup > 1) PlaceList(1, 0);
  const int first = std::max(startGroup, 1);
  for (int g = first; g <= 4; ++g) {
    if (!groups_[g].empty()) {
      const bool completeBefore = allComplete_;
      PlaceList(g, g == first ? startIndex : 0);
      if (completeBefore && !allComplete_ && !overflowNoted_) {
        overflowNoted_ = true;
        restartGroup_ = g;
      }
    }
    if (childPrinting) break;
    if (g == 2 && usedHeight_ == 0) break;  // nothing stretched: the parent-followers wait
  }
  continued_ = overflowStretches_ && !drawList_.empty();
  incomplete_ = !allComplete_ && !continued_;
  if (incomplete_ && drawList_.empty()) resumeOffset_ = 0;
  else if (!incomplete_) resumeOffset_ = mmHeight_;
  if (allComplete_) {
    restartGroup_ = 0;
    overflowIndex_ = 0;
  }
  if (incomplete_ || continued_) outOfSpace_ = true;
}

void TppCustomBand::PlaceList(int group, int from) {
  TppEngine* engine = Engine();
  const bool childPrinting = engine->EngineState() & (esChild64 | esChild128 | esChild256);
  const std::vector<TppPrintable*>& list = groups_[group];
  for (size_t i = size_t(std::max(from, 0)); i < list.size(); ++i) {
    TppPrintable* c = list[i];
    c->Generate();
    if (c->SpaceUsed() > 0 && std::find(drawList_.begin(), drawList_.end(), c) == drawList_.end())
      drawList_.push_back(c);
    if (!c->Complete()) {
      if (!firstOverflowInPass_) {
        firstOverflowInPass_ = true;
        overflowIndex_ = int32_t(i);
        overflowStretches_ = c->IsStretchable() && c->Stretches();
      }
      resumeOffset_ = std::min(resumeOffset_, c->OverflowOffset());
      allComplete_ = false;
      if (childPrinting) {
        done_ = true;
        break;
      }
    }
    if (printHeight_ == phDynamic && c->SpaceUsed() > 0) {
      const int32_t bottom = c->PrintRect().Top + c->SpaceUsed();
      if (bottom > bandBottom_) {
        bandBottom_ = bottom;
        if (c->IsStretchable()) tallest_ = c;
      }
    }
  }
  if (bandBottom_ > top_) usedHeight_ = bandBottom_ - top_;
}

void TppCustomBand::AdvancePrintArea() {
  if (printHeight_ == phStatic) usedHeight_ = mmHeight_;
  usedHeight_ += mmBottomOffset_;
  Engine()->SetPrintArea(printRect_.Left, int32_t(int64_t{printRect_.Top} + usedHeight_),
                         printRect_.Right);
}

void TppCustomBand::DrawComponents(TppPage* page) {
  if (!drawingEnabled_ || !page) return;
  BeforeDrawComponents(page);
  std::stable_sort(drawList_.begin(), drawList_.end(), [](TppPrintable* a, TppPrintable* b) {
    return a->OrderIndex() < b->OrderIndex();
  });
  for (TppPrintable* c : drawList_) {
    c->DrawToPage(page);
    ProcessMessages();
  }
}

void TppCustomBand::SaveToCache(int pageNo) {
  uint8_t r[kBandRecordSize] = {};
  ppPutInt32(r + 0, restartGroup_);
  ppPutInt32(r + 4, overflowIndex_);
  r[8] = continued_;
  r[9] = incomplete_;
  ppPutInt32(r + 12, resumeOffset_);
  r[16] = printPositionAsked_;
  SaveKindState(r);
  WriteCacheRecord(pageNo, r);
}

void TppCustomBand::RestoreFromCache(int pageNo) {
  uint8_t r[kBandRecordSize] = {};
  ReadCacheRecord(pageNo, r);
  restartGroup_ = ppGetInt32(r + 0);
  overflowIndex_ = ppGetInt32(r + 4);
  continued_ = r[8] != 0;
  incomplete_ = r[9] != 0;
  resumeOffset_ = ppGetInt32(r + 12);
  printPositionAsked_ = r[16] != 0;
  RestoreKindState(r);
  restored_ = true;
}

// ---- Kinds ---------------------------------------------------------------------------------

IMPLEMENT_CLASS(TppBasicBand, TppCustomBand)

IMPLEMENT_CLASS(TppDetailBand, TppBasicBand)
PUBLISHED(TppDetailBand) {
  PROP_FLOAT(BottomOffset, BottomOffset, SetBottomOffset, 0).Stored(false);
  PROP_FLOAT(PrintPosition, PrintPosition, SetPrintPosition, 0).Stored(false);
  PROP_INT(PrintCount, PrintCount, SetPrintCount, 0);
}

TppDetailBand::TppDetailBand(TComponent* owner) : TppBasicBand(owner) { UpdatePrintMode(); }

TppDetailBand::~TppDetailBand() = default;

std::string TppDetailBand::GetSortKey() const { return ppPageKey(4); }

TppDataPipeline* TppDetailBand::GetDataPipeline() const {
  return dataPipeline_ ? dataPipeline_ : inherited::GetDataPipeline();
}

void TppDetailBand::PipelineNotify(TppDataPipeline* pipeline, int event) {
  if (event == ppdePipelineFreed && pipeline == dataPipeline_) dataPipeline_ = nullptr;
  if (report_ && (report_->State() & ppstDesigning)) report_->Reset();
  else if (TppEngine* engine = Engine()) engine->ExcludeEngineState(esPrepared);
}

void TppDetailBand::SetDataPipeline(TppDataPipeline* pipeline) {
  if (pipeline == dataPipeline_) return;
  dataPipeline_ = pipeline;
  PipelineNotify(pipeline, ppdeSettingsChanged);
}

void TppDetailBand::ApplyPrintPosition() {
  // A fixed position applies only to the first detail of a page.
  if (!Engine()->DetailPlacedOnPage()) inherited::ApplyPrintPosition();
}

void TppDetailBand::AfterPrintComponents() {
  TppEngine* engine = Engine();
  if (!continued_ && engine->DataEnded()) done_ = true;
  if ((engine->EngineState() & (esChild64 | esChild128 | esChild256)) &&
      !(engine->EngineState() & esChild256))
    outOfSpace_ = true;
  engine->SetDetailPlacedOnPage(true);
}

void TppDetailBand::EndPrintPass() {
  inherited::EndPrintPass();
  if (continued_ || outOfSpace_) return;
  TppEngine* engine = Engine();
  engine->SetRecordMoved(true);
  engine->TraverseData();
  if (!engine->DataEnded() && !(engine->PendingBands() & btGroupFooter)) {
    // PrintCount records per page: the page ends after the last of them.
    if (printMode_ == pmCount && instanceCount_ >= printCount_) outOfSpace_ = true;
    // A section that ended with this record had the page to itself.
    if (engine->EngineState() & esChild256) outOfSpace_ = true;
  } else {
    done_ = true;
  }
}

IMPLEMENT_CLASS(TppPageBand, TppBasicBand)
PUBLISHED(TppPageBand) {
  PROP_BOOL(PrintOnFirstPage, PrintOnFirstPage, SetPrintOnFirstPage, true);
  PROP_BOOL(PrintOnLastPage, PrintOnLastPage, SetPrintOnLastPage, true);
}

void TppPageBand::SetPrintOnFirstPage(bool value) {
  if (!report_ || value == printOnFirstPage_) {
    printOnFirstPage_ = value;
    return;
  }
  printOnFirstPage_ = value;
  ResetReport();
}

void TppPageBand::SetPrintOnLastPage(bool value) {
  if (!report_ || value == printOnLastPage_) {
    printOnLastPage_ = value;
    return;
  }
  printOnLastPage_ = value;
  ResetReport();
}

void TppPageBand::BeforeGenerate() {
  TppEngine* engine = Engine();
  if (!engine) {
    done_ = true;
    return;
  }
  if (engine->AbsolutePageNo() == 1 && !printOnFirstPage_) done_ = true;
  if (printOnLastPage_) return;
  if ((engine->EngineState() & esFirstPass) && engine->ReportCompleted()) done_ = true;
  if ((engine->EngineState() & esSecondPass) &&
      engine->AbsolutePageNo() == engine->AbsolutePageCount())
    done_ = true;
}

IMPLEMENT_CLASS(TppHeaderBand, TppPageBand)
PUBLISHED(TppHeaderBand) {
  PROP_FLOAT(BottomOffset, BottomOffset, SetBottomOffset, 0).Stored(false);
  PROP_FLOAT(PrintPosition, PrintPosition, SetPrintPosition, 0).Stored(false);
}
std::string TppHeaderBand::GetSortKey() const { return ppPageKey(1); }

IMPLEMENT_CLASS(TppFooterBand, TppPageBand)
std::string TppFooterBand::GetSortKey() const { return ppPageKey(7); }

// The footer sits at the bottom margin whatever the print position.
void TppFooterBand::CalcPrintSpace() {
  TppEngine* engine = Engine();
  const TppPageDef& def = engine->Page()->PageDef();
  available_ = def.mmHeight() - def.mmMarginBottom();
  top_ = available_ - mmHeight_;
  printRect_ = {engine->AreaLeft(), top_, engine->AreaExtent(), top_ + mmHeight_};
  bandBottom_ = top_;
}

IMPLEMENT_CLASS(TppReportBand, TppBasicBand)
PUBLISHED(TppReportBand) {
  PROP_FLOAT(BottomOffset, BottomOffset, SetBottomOffset, 0).Stored(false);
  PROP_FLOAT(PrintPosition, PrintPosition, SetPrintPosition, 0).Stored(false);
  PROP_BOOL(NewPage, NewPage, SetNewPage, false);
}

void TppReportBand::Init() {
  inherited::Init();
  printed_ = false;
}

void TppReportBand::SetNewPage(bool value) {
  if (value == newPage_) return;
  newPage_ = value;
  ResetReport();
}

void TppReportBand::SaveKindState(uint8_t* record) const { record[17] = printed_; }
void TppReportBand::RestoreKindState(const uint8_t* record) { printed_ = record[17] != 0; }

IMPLEMENT_CLASS(TppTitleBand, TppReportBand)
std::string TppTitleBand::GetSortKey() const { return ppPageKey(0); }

void TppTitleBand::BeforeGenerate() {
  printedBefore_ = printed_;
  if (newPage_ && printed_) {
    done_ = true;
    return;
  }
  Engine()->IncludeEngineState(esTitle);
}

// A title on its own page ends the page after it.
void TppTitleBand::AfterGenerate() {
  Engine()->ExcludeEngineState(esTitle);
  if (newPage_ && !printedBefore_) {
    printed_ = true;
    outOfSpace_ = true;
  }
}

IMPLEMENT_CLASS(TppSummaryBand, TppReportBand)
std::string TppSummaryBand::GetSortKey() const { return ppPageKey(8); }

void TppSummaryBand::BeforeGenerate() { Engine()->IncludeEngineState(esSummary); }
void TppSummaryBand::AfterGenerate() { Engine()->ExcludeEngineState(esSummary); }

// A summary on its own page asks once for a new page.
void TppSummaryBand::CalcPrintSpace() {
  if (newPage_ && !printed_) {
    printed_ = true;
    outOfSpace_ = true;
    return;
  }
  inherited::CalcPrintSpace();
}

IMPLEMENT_CLASS(TppColumnHeaderBand, TppBasicBand)
PUBLISHED(TppColumnHeaderBand) {
  PROP_FLOAT(BottomOffset, BottomOffset, SetBottomOffset, 0).Stored(false);
  PROP_FLOAT(PrintPosition, PrintPosition, SetPrintPosition, 0).Stored(false);
}
std::string TppColumnHeaderBand::GetSortKey() const { return ppPageKey(2); }

IMPLEMENT_CLASS(TppColumnFooterBand, TppBasicBand)
std::string TppColumnFooterBand::GetSortKey() const { return ppPageKey(6); }

// Column footers sit just above the page footers.
void TppColumnFooterBand::CalcPrintSpace() {
  TppEngine* engine = Engine();
  const TppPageDef& def = engine->Page()->PageDef();
  available_ = def.mmHeight() - def.mmMarginBottom();
  top_ = engine->GetPageBottom();
  printRect_ = {engine->AreaLeft(), top_, engine->AreaExtent(), top_ + mmHeight_};
  bandBottom_ = top_;
}

// ---- Group bands ----------------------------------------------------------------------------

IMPLEMENT_CLASS(TppGroupBand, TppCustomBand)
PUBLISHED(TppGroupBand) {
  PROP_FLOAT(BottomOffset, BottomOffset, SetBottomOffset, 0).Stored(false);
  PROP_FLOAT(PrintPosition, PrintPosition, SetPrintPosition, 0).Stored(false);
}

// Leaves the group without virtual calls (the kind is already gone).
TppGroupBand::~TppGroupBand() {
  TppGroup* group = group_;
  if (!group) return;
  group_ = nullptr;
  if (static_cast<TppGroupBand*>(group->HeaderBand()) == this) group->SetHeaderBand(nullptr);
  if (static_cast<TppGroupBand*>(group->FooterBand()) == this) group->SetFooterBand(nullptr);
}

int TppGroupBand::GroupIndex() const { return group_ ? group_->GroupIndex() : -1; }

void TppGroupBand::SetGroup(TppGroup* group) {
  if (group == group_) return;
  TppGroup* old = group_;
  group_ = group;
  if (old) {
    if (auto* header = dynamic_cast<TppGroupHeaderBand*>(this); header && old->HeaderBand() == header)
      old->SetHeaderBand(nullptr);
    if (auto* footer = dynamic_cast<TppGroupFooterBand*>(this); footer && old->FooterBand() == footer)
      old->SetFooterBand(nullptr);
  }
  if (group) {
    if (auto* header = dynamic_cast<TppGroupHeaderBand*>(this)) group->SetHeaderBand(header);
    if (auto* footer = dynamic_cast<TppGroupFooterBand*>(this)) group->SetFooterBand(footer);
  }
  SetReport(group ? group->Report() : nullptr);
  UpdateCaption();
}

void TppGroupBand::UpdateCaption() {
  caption_ = GetDescription();
  UpdateDesignControl();
}

std::string TppGroupBand::GetDescription() const {
  if (!group_) return inherited::GetDescription();
  std::string name = group_->BreakName();
  if (name.empty())
    name = KindDescription(this, group_->BreakType() == btCustomField ? kNoCustomField
                                                                       : kNoDataField);
  return name + ": " + inherited::GetDescription() + ". " + std::to_string(GroupIndex() + 1);
}

void TppGroupBand::Init() {
  inherited::Init();
  breakPending_ = false;
}

TComponent* TppGroupBand::GetParentComponent() const { return group_; }

void TppGroupBand::SetParentComponent(TComponent* parent) {
  if (auto* group = dynamic_cast<TppGroup*>(parent)) SetGroup(group);
}

void TppGroupBand::SaveKindState(uint8_t* record) const { record[17] = breakPending_; }
void TppGroupBand::RestoreKindState(const uint8_t* record) { breakPending_ = record[17] != 0; }

IMPLEMENT_CLASS(TppGroupHeaderBand, TppGroupBand)

std::string TppGroupHeaderBand::GetSortKey() const {
  return ppPageKey(3) + ppPageKey(std::max(GroupIndex(), 0));
}

// A reprinting header also answers to the page and column header kinds.
uint16_t TppGroupHeaderBand::GetBandType() const {
  uint16_t bits = btGroupHeader;
  if (!group_) return bits;
  if (group_->ReprintOnSubsequentPage()) bits |= btHeader;
  if (group_->ReprintOnSubsequentColumn() && report_ && report_->Columns() >= 2)
    bits |= btColumnHeader;
  return bits;
}

// The first run of a report prints its header without asking for a new page.
void TppGroupHeaderBand::Init() {
  inherited::Init();
  breakPending_ = true;
  newColumnAsked_ = true;
  newPageAsked_ = true;
}

void TppGroupHeaderBand::BeforeGenerate() {
  TppEngine* engine = Engine();
  if (!group_ || (engine->EngineState() & (esTitle | esSummary))) {
    done_ = true;
    return;
  }
  breakAtStart_ = breakPending_ && !continued_ && !incomplete_;
  if (breakPending_ || continued_ || incomplete_) return;
  const uint16_t pending = engine->PendingBands();
  const bool pageReprint = (pending & btHeader) && engine->AbsolutePageNo() >= group_->FirstPage() &&
                           group_->ReprintOnSubsequentPage();
  const bool columnReprint = (pending & btColumnHeader) &&
                             engine->ColumnNo() > group_->HeaderColumn() &&
                             group_->ReprintOnSubsequentColumn();
  if (!pageReprint && !columnReprint) done_ = true;
}

void TppGroupHeaderBand::StartPrintPass() {
  inherited::StartPrintPass();
  if (breakAtStart_ && group_ && group_->BeforeGroupBreak) group_->BeforeGroupBreak(group_);
  breakAtStart_ = false;
}

void TppGroupHeaderBand::CalcPrintSpace() {
  inherited::CalcPrintSpace();
  if (!group_) return;
  TppEngine* engine = Engine();
  const int64_t room = int64_t{available_} - top_;
  const bool columnar = report_->Columns() > 1;
  if (!newPageAsked_ && !newColumnAsked_) {
    if (columnar && breakPending_ && group_->NewColumn()) {
      newColumnAsked_ = outOfSpace_ = true;
    } else if (breakPending_ && group_->NewPage()) {
      newPageAsked_ = outOfSpace_ = true;
    } else if (columnar && room < group_->mmNewColumnThreshold()) {
      newColumnAsked_ = outOfSpace_ = true;
    } else if (room < group_->mmNewPageThreshold()) {
      newPageAsked_ = outOfSpace_ = true;
    }
  }
  if (!outOfSpace_ && (breakPending_ || (engine->PendingBands() & btTitle)) && !continued_) {
    group_->SetFirstPage(engine->AbsolutePageNo());
    group_->SetHeaderColumn(engine->ColumnNo());
  }
}

void TppGroupHeaderBand::EndPrintPass() {
  inherited::EndPrintPass();
  if (outOfSpace_ || continued_ || incomplete_) return;
  breakPending_ = false;
  if (group_) group_->ClearBreakOccurred();
  newPageAsked_ = newColumnAsked_ = false;
}

void TppGroupHeaderBand::SaveKindState(uint8_t* record) const {
  inherited::SaveKindState(record);
  record[18] = newColumnAsked_;
  record[19] = newPageAsked_;
}

void TppGroupHeaderBand::RestoreKindState(const uint8_t* record) {
  inherited::RestoreKindState(record);
  newColumnAsked_ = record[18] != 0;
  newPageAsked_ = record[19] != 0;
}

IMPLEMENT_CLASS(TppGroupFooterBand, TppGroupBand)

std::string TppGroupFooterBand::GetSortKey() const {
  return ppPageKey(5) + ppPageKey(kFooterKeyBase - (std::max(GroupIndex(), 0) + 1));
}

void TppGroupFooterBand::BeforeGenerate() {
  TppEngine* engine = Engine();
  if (!group_ || !(breakPending_ || continued_ || incomplete_ || engine->DataEnded()))
    done_ = true;
}

// A completed footer closes its run; the outermost one printing lets the
// data go forward again.
void TppGroupFooterBand::EndPrintPass() {
  inherited::EndPrintPass();
  if (outOfSpace_ || continued_ || incomplete_ || !group_) return;
  if (group_->AfterGroupBreak) group_->AfterGroupBreak(group_);
  breakPending_ = false;
  group_->IncBreakNo();
  for (int i = 0; i < GroupIndex(); ++i)
    if (TppGroupFooterBand* outer = report_->Groups(i)->FooterBand(); outer && outer->BreakPending())
      return;
  TppEngine* engine = Engine();
  engine->SetRecordMoved(false);
  engine->TraverseData();
}
