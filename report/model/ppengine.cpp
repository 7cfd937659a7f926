#include "report/model/ppengine.h"

#include <algorithm>
#include <climits>

#include "platform/classlib/core/clock.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/core/messagepump.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "report/data/ppdb.h"
#include "report/model/ppbands.h"
#include "report/model/ppgroup.h"
#include "report/model/ppreport.h"
#include "report/model/pprecord.h"
#include "report/output/ppdevice.h"
#include "report/output/pppage.h"
#include "report/output/ppprintr.h"

namespace {
// Page-state record of the engine: 32 bytes (reserved bytes stay 0).
constexpr int kEngineRecordSize = 32;
// Message offsets.
constexpr int kBandTooHigh = 275, kCouldNotOpen = 280, kNoDataMode = 281,
              kConvertColumn = 285, kFindColumn = 286;
// "No bands for this report." has no string-table entry of its own.
constexpr const char* kNoBands = "No bands for this report.";
// ReleasePipelines operations.
constexpr int rpRelink = 0, rpUnlink = 1, rpClose = 2, rpRestore = 3, rpSave = 4;


// The pending-band bits in the order the page record stores them.
constexpr uint16_t kPendingOrder[] = {btTitle,  btHeader,       btColumnHeader,
                                      btGroupHeader, btDetail, btGroupFooter,
                                      btColumnFooter, btFooter, btSummary};
// The engine-state bits the page record stores.
constexpr uint16_t kStateOrder[] = {esSummary, esTitle, esChild64, esChild128};
// The list each band kind goes to, by the first kind bit it has.
constexpr struct {
  uint16_t Bit;
  int List;
} kListOfKind[] = {{btTitle, blTitle},           {btGroupHeader, blGroupHeader},
                   {btHeader, blHeader},         {btColumnHeader, blColumnHeader},
                   {btDetail, blDetail},         {btGroupFooter, blGroupFooter},
                   {btColumnFooter, blColumnFooter}, {btFooter, blFooter},
                   {btSummary, blSummary}};

bool AtEnd(TppDataPipeline* p) { return !p || p->Eof(); }
bool AtStart(TppDataPipeline* p) { return !p || p->Bof(); }
bool Empty(TppDataPipeline* p) { return !p || p->NoRecords(); }
}  // namespace

// ---- TppGenerator --------------------------------------------------------------------------

IMPLEMENT_CLASS(TppGenerator, TppCacheable)

TppGenerator::TppGenerator(TppCustomReport* report)
    : TppCacheable(nullptr), page_(std::make_unique<TppPage>()), report_(report) {}

TppGenerator::~TppGenerator() = default;

int TppGenerator::GetPageNo() const { return absolutePageNo_; }
int TppGenerator::GetPageCount() const { return absolutePageCount_; }

void TppGenerator::FinishData() { pendingBands_ |= btSummary | btGroupFooter; }

void TppGenerator::StopGeneration() {
  FinishData();
  reportCompleted_ = true;
  finished_ = true;
}

void TppGenerator::Reset() {
  while (page_->DrawCommandCount() > 0) delete page_->DrawCommands(0);
  absolutePageNo_ = 0;
  absolutePageCount_ = 0;
  engineState_ = 0;
  pendingBands_ = 0;
}

// ---- TppCustomEngine -----------------------------------------------------------------------

IMPLEMENT_CLASS(TppCustomEngine, TppGenerator)

int32_t TppCustomEngine::GetPageBottom() const {
  if (!report_) return 0;
  const TppPageDef& def = page_->PageDef();
  int64_t bottom = int64_t{def.mmHeight()} - def.mmMarginBottom();
  const bool lastPage = reportCompleted_ && absolutePageNo_ == absolutePageCount_;
  for (int i = 0; i < report_->BandCount(); ++i) {
    TppBand* band = report_->Bands(i);
    if (dynamic_cast<TppColumnFooterBand*>(band)) bottom -= band->mmHeight();
    if (auto* footer = dynamic_cast<TppFooterBand*>(band))
      if (!(lastPage && !footer->PrintOnLastPage())) bottom -= band->mmHeight();
  }
  return int32_t(std::clamp<int64_t>(bottom, INT32_MIN, INT32_MAX));
}

// Within the control group's runs, pages count from each run's first page.
int TppCustomEngine::GetPageNo() const {
  return controlGroup_ ? controlGroup_->PageNo() : inherited::GetPageNo();
}

int TppCustomEngine::GetPageCount() const {
  return controlGroup_ ? controlGroup_->PageCount() : inherited::GetPageCount();
}

void TppCustomEngine::FinishData() {
  dataEnded_ = true;
  inherited::FinishData();
}

void TppCustomEngine::SetPrintArea(int32_t left, int32_t top, int32_t extent) {
  areaLeft_ = left;
  areaTop_ = top;
  areaExtent_ = extent;
  printPosition_ = top;
}

// ---- TppEngine -------------------------------------------------------------------------------

IMPLEMENT_CLASS(TppEngine, TppCustomEngine)

TppEngine::TppEngine(TppCustomReport* report) : TppCustomEngine(report) {
  SetRecordSize(kEngineRecordSize);
}

TppEngine::~TppEngine() { ReleasePipelines(rpUnlink); }

[[noreturn]] void TppEngine::Fail(const std::string& message) {
  report_->RaiseError(message);
  throw EPrintError(message);  // errors suppressed: the run still ends
}

void TppEngine::ForEachBand(const std::function<void(TppBand*)>& fn) {
  for (int i = 0; i < report_->BandCount(); ++i) fn(report_->Bands(i));
}

void TppEngine::CalculateAllComponents() {
  ForEachBand([](TppBand* band) { band->CalculateComponents(); });
}

void TppEngine::RequestPages(uint8_t request, int pageNo, const TStrings* pageList) {
  if (busy_) return;
  pageRequest_ = request;
  requestedPage_ = pageNo;
  pageList_.Clear();
  if (request == rqPageList && pageList) pageList_.Assign(pageList);
  const bool twoPass = report_->PassSetting() == psTwoPass;
  if (twoPass && (!Prepared() || !completed_)) {
    // The counting pass goes over all pages first.
    const uint8_t real = pageRequest_;
    pageRequest_ = rqAll;
    GeneratePages();
    pageRequest_ = real;
    if (!cancelled_) GeneratePages();
  } else {
    GeneratePages();
  }
  if (report_->GetMainReport() == report_) ReleasePipelines(rpRestore);
}

void TppEngine::GeneratePages() {
  busy_ = true;
  report_->IncludePrintState(pppsGenerating);
  finished_ = cancelled_ = dataEnded_ = reportCompleted_ = false;
  lastBandBottom_ = 0;
  guardBand_ = nullptr;
  pagesGenerated_ = 0;
  try {
    if (!Prepared()) Prepare();
    SetStartPage();
    while (!finished_ && !cancelled_) {
      StartPass();
      FillPage();
      previousPage_ = absolutePageNo_;
      EndPassEvents();
      AdvancePageRequest();
      ProcessMessages();
    }
  } catch (...) {
    busy_ = false;
    report_->ExcludePrintState(pppsGenerating);
    throw;
  }
  busy_ = false;
  report_->ExcludePrintState(pppsGenerating);
}

void TppEngine::Prepare() {
  pendingBands_ = 0;
  engineState_ = 0;
  if (OnResetCache) OnResetCache();
  previousPage_ = 0;
  completed_ = firstPassEnded_ = firstPassStarted_ = secondPassStarted_ = secondPassEnded_ = false;
  repeatLastPage_ = false;  // a cancelled run may have left it set
  ReleasePipelines(rpRelink);
  if (report_->GetMainReport() == report_) ReleasePipelines(rpSave);
  SkipEmptyMasters();
  steppedBack_ = false;
  hasDetailPipeline_ = reportPipeline_ && detailPipeline_;
  bandCount_ = 0;
  pageBandCount_ = 0;
  PrepareBands();
  ForEachBand([](TppBand* band) { band->Init(); });
  InitGroups();
  CalculateAllComponents();
  pendingBands_ |= btGroupHeader;
  printDateTime_ = ClockNow();
  engineState_ |= esPrepared;
  absolutePageNo_ = 0;
  absolutePageCount_ = 0;
  columnar_ = report_->Columns() > 1;
  pendingBands_ |= btTitle;
  currentList_ = blTitle;
  currentIndex_ = 0;
  if (OnSavePageState) OnSavePageState(0);
}

void TppEngine::SkipEmptyMasters() {
  if (detailPipeline_ && detailPipeline_->GetActive())
    while (Empty(detailPipeline_) && detailPipeline_->SkipWhenNoRecords() &&
           !AtEnd(reportPipeline_)) {
      reportPipeline_->SkipNext();
      detailPipeline_->First();
    }
  // No records to report: the run produces no page.
  if (reportPipeline_ && reportPipeline_->SkipWhenNoRecords() &&
      (Empty(reportPipeline_) || AtEnd(reportPipeline_)))
    finished_ = reportCompleted_ = true;
}

void TppEngine::PrepareBands() {
  if (report_->BandCount() == 0) Fail(kNoBands);
  for (auto& list : bandLists_) list.clear();
  const TppPageDef& def = report_->PrinterSetup()->PageDef();
  std::vector<std::pair<std::string, TppBand*>> sorted;
  for (int i = 0; i < report_->BandCount(); ++i) {
    TppBand* band = report_->Bands(i);
    if (def.mmPrintableHeight() < band->mmHeight()) Fail(report_->LoadStr(kBandTooHigh));
    sorted.emplace_back(band->GetSortKey(), band);
  }
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [key, band] : sorted) {
    const uint16_t kind = band->GetBandType();
    for (const auto& entry : kListOfKind)
      if (kind & entry.Bit) {
        bandLists_[entry.List].push_back(band);
        break;
      }
  }
  finalBand_ = nullptr;
  for (int list : {blSummary, blGroupFooter, blDetail})
    if (!bandLists_[list].empty()) {
      finalBand_ = bandLists_[list].back();
      break;
    }
}

void TppEngine::InitGroups() {
  controlGroup_ = nullptr;
  for (int i = 0; i < report_->GroupCount(); ++i) {
    TppGroup* group = report_->Groups(i);
    if (!controlGroup_ && group->NewPage() && group->ResetPageNo()) controlGroup_ = group;
    group->Init();
  }
}

// ---- Pipelines -------------------------------------------------------------------------------

void TppEngine::ReleaseOne(TppDataPipeline*& pipeline, int op) {
  if (!pipeline) return;
  switch (op) {
    case rpRelink:
    case rpUnlink:
      pipeline->RemoveLink(this);
      pipeline = nullptr;
      break;
    case rpClose:
      pipeline->RemoveLink(this);
      pipeline->Close();
      pipeline = nullptr;
      break;
    case rpRestore: pipeline->RestorePosition(); break;
    case rpSave: pipeline->SavePosition(); break;
  }
}

void TppEngine::ReleasePipelines(int op) {
  ReleaseOne(reportPipeline_, op);
  ReleaseOne(detailPipeline_, op);
  for (size_t i = otherPipelines_.size(); i-- > 0;) ReleaseOne(otherPipelines_[i], op);
  std::erase(otherPipelines_, nullptr);
  if (op == rpRelink) OpenPipelines();
}

void TppEngine::ShowNoDataMessage() {
  MessageDlg(report_->LoadStr(kCouldNotOpen) + "\r" + report_->LoadStr(kNoDataMode), mtError,
             TMsgDlgButtons{mbOK}, 0);
}

void TppEngine::OpenPipelines() {
  reportPipeline_ = report_->DataPipeline();
  TppDataPipeline** opening = &reportPipeline_;
  try {
    if (reportPipeline_) {
      reportPipeline_->Open();
      reportPipeline_->AddLink(this);
      if (reportPipeline_->GetActive()) {
        reportPipeline_->First();
        TppBand* detail = bandLists_[blDetail].empty() ? report_->FindBand(bkDetail)
                                                       : bandLists_[blDetail].front();
        TppDataPipeline* own = detail ? detail->GetDataPipeline() : nullptr;
        detailPipeline_ = own != reportPipeline_ ? own : nullptr;
        if (detailPipeline_) {
          opening = &detailPipeline_;
          detailPipeline_->Open();
          detailPipeline_->AddLink(this);
          if (detailPipeline_->GetActive()) {
            detailPipeline_->First();
            while (Empty(detailPipeline_) && detailPipeline_->SkipWhenNoRecords() &&
                   !AtEnd(reportPipeline_)) {
              reportPipeline_->SkipNext();
              detailPipeline_->First();
            }
          } else {
            ShowNoDataMessage();
          }
        }
      } else {
        ShowNoDataMessage();
      }
    }
  } catch (const EPrintError&) {
    throw;
  } catch (const Exception&) {
    if (*opening) (*opening)->RemoveLink(this);
    *opening = nullptr;
    Fail(report_->LoadStr(kCouldNotOpen) + ".");
  }
  SetNoDataMode(!reportPipeline_ || Empty(reportPipeline_));
  OpenComponentPipelines();
}

void TppEngine::SetNoDataMode(bool noData) {
  if (noData) {
    engineState_ |= esNoData;
    report_->IncludePrintState(pppsNoData);
  } else {
    engineState_ &= uint16_t(~esNoData);
    report_->ExcludePrintState(pppsNoData);
  }
}

void TppEngine::OpenComponentPipelines() {
  ForEachBand([this](TppBand* band) {
    for (int i = 0; i < band->ComponentCount(); ++i) {
      TppDataPipeline* p = band->Components(i)->DataPipeline();
      if (!p || p == reportPipeline_ || p == detailPipeline_ ||
          std::find(otherPipelines_.begin(), otherPipelines_.end(), p) != otherPipelines_.end())
        continue;
      p->Open();
      p->AddLink(this);
      otherPipelines_.push_back(p);
    }
  });
}

void TppEngine::ClosePipelines() { ReleasePipelines(rpClose); }

void TppEngine::PipelineNotify(TppDataPipeline* pipeline, int event) {
  if (event != ppdePipelineFreed) return;
  if (reportPipeline_ == pipeline) reportPipeline_ = nullptr;
  if (detailPipeline_ == pipeline) detailPipeline_ = nullptr;
  std::erase(otherPipelines_, pipeline);
}

// ---- Page requests ---------------------------------------------------------------------------

void TppEngine::LimitToCache() {
  if (OnGetLastCachedPage) OnGetLastCachedPage(lastCachedPage_);
  absolutePageNo_ = std::min(absolutePageNo_, lastCachedPage_ + 1);
}

void TppEngine::SetStartPage() {
  if (OnGetLastCachedPage) OnGetLastCachedPage(lastCachedPage_);
  switch (pageRequest_) {
    case rqAll:
    case rqFirstPage: absolutePageNo_ = 1; break;
    case rqPageList:
      pageListIndex_ = 0;
      if (NextListedPage()) absolutePageNo_ = requestedPage_;
      else finished_ = true;
      break;
    case rqOnePage:
      if (completed_ && requestedPage_ > absolutePageCount_) finished_ = true;
      else if (requestedPage_ >= 1) absolutePageNo_ = requestedPage_;
      else finished_ = true;
      break;
    case rqLastPage:
      absolutePageNo_ = completed_ ? absolutePageCount_ : lastCachedPage_ + 1;
      break;
  }
  LimitToCache();
}

bool TppEngine::NextListedPage() {
  if (pageList_.Count() == 0 || pageListIndex_ >= pageList_.Count()) return false;
  while (pageListIndex_ < pageList_.Count()) {
    const int entry = StrToIntDef(Trim(pageList_[pageListIndex_]), 0);
    const bool acceptable = completed_ ? entry <= absolutePageCount_ && entry >= 1 : entry >= 1;
    if (!acceptable) {
      ++pageListIndex_;
      continue;
    }
    requestedPage_ = entry;
    // A page beyond the next one stays the target until the way reaches it.
    if (requestedPage_ <= absolutePageCount_ + 1) ++pageListIndex_;
    return true;
  }
  return false;
}

void TppEngine::AdvancePageRequest() {
  if (repeatLastPage_) {
    dataEnded_ = finished_ = false;
    lastBandBottom_ = 0;
    return;  // the same page once more, now knowing it is the last
  }
  if (!finished_) switch (pageRequest_) {
      case rqAll:
      case rqLastPage:
        if (reportCompleted_) finished_ = true;
        else ++absolutePageNo_;
        break;
      case rqPageList:
        if (NextListedPage()) absolutePageNo_ = requestedPage_;
        else finished_ = true;
        break;
      case rqOnePage:
        if (absolutePageNo_ < requestedPage_) ++absolutePageNo_;
        else finished_ = true;
        break;
      case rqFirstPage: finished_ = true; break;
    }
  LimitToCache();
}

void TppEngine::StartPass() {
  engineState_ &= uint16_t(~(esFirstPass | esSecondPass));
  const bool second = report_->PassSetting() == psTwoPass && completed_;
  engineState_ |= second ? esSecondPass : esFirstPass;
  if (!second && !firstPassStarted_) {
    firstPassStarted_ = true;
    if (report_->OnStartFirstPass) report_->OnStartFirstPass(report_);
  } else if (second && !secondPassStarted_) {
    secondPassStarted_ = true;
    if (report_->OnStartSecondPass) report_->OnStartSecondPass(report_);
  }
}

void TppEngine::EndPassEvents() {
  if (!completed_ || absolutePageNo_ != absolutePageCount_) return;
  if ((engineState_ & esFirstPass) && !firstPassEnded_) {
    firstPassEnded_ = true;
    if (report_->OnEndFirstPass) report_->OnEndFirstPass(report_);
    engineState_ &= uint16_t(~esFirstPass);
  } else if ((engineState_ & esSecondPass) && !secondPassEnded_) {
    secondPassEnded_ = true;
    if (report_->OnEndSecondPass) report_->OnEndSecondPass(report_);
    engineState_ &= uint16_t(~esSecondPass);
  }
}

// ---- Pages -----------------------------------------------------------------------------------

void TppEngine::FillPage() {
  ++pagesGenerated_;
  // A later page starts from the state cached before it, also straight
  // after preparing (a child report asked for a page it made before).
  if ((previousPage_ != 0 || absolutePageNo_ > 1) && OnRestorePageState)
    OnRestorePageState(absolutePageNo_ - 1);
  if (currentList_ != blGroupFooter) {
    recordMoved_ = false;
    TraverseData();
  }
  if (engineState_ & (esChild64 | esChild128)) {
    // A section page: only the band that holds the section goes on.
    StartPage();
    GenerateBandList(currentList_, currentIndex_, true);
    if (!pageEnded_) {
      // The section ended with its band: the parent resumes on a new page.
      if (currentList_ <= blGroupFooter && currentIndex_ >= int(bandLists_[currentList_].size()))
        NextBandList();
      EndPage();
    }
    return;
  }
  PrintPageHeaders();
  if (pageEnded_) return;
  if (currentList_ == blGroupFooter) {
    ReprintAfterFooterBreak();
    // Footers that ended the data lead to the summary, not to new headers.
    if (dataEnded_) {
      currentList_ = blSummary;
      currentIndex_ = 0;
    }
  }
  if (currentList_ <= blGroupFooter) {
    currentList_ = blGroupHeader;
    currentIndex_ = 0;
  }
  if (!pageEnded_) FillBands(currentList_, currentIndex_);
}

void TppEngine::ReprintAfterFooterBreak() {
  ReprintHeadersAboveFooters();
  if (!pageEnded_) GenerateBandList(blGroupFooter, currentIndex_, false);
  for (int i = 0; i < report_->GroupCount(); ++i) report_->Groups(i)->RecomputeValue();
}

// The headers of the runs whose footers go on at the top of a page or a
// column. The breaks they wait for stay pending: printing them here would
// take them from the headers of the runs that follow the footers.
void TppEngine::ReprintHeadersAboveFooters() {
  std::vector<bool> saved;
  for (TppBand* band : bandLists_[blGroupHeader]) {
    auto* header = static_cast<TppGroupBand*>(band);
    saved.push_back(header->BreakPending());
    header->SetBreakPending(false);
  }
  GenerateBandList(blGroupHeader, 0, false);
  for (size_t i = 0; i < saved.size(); ++i)
    static_cast<TppGroupBand*>(bandLists_[blGroupHeader][i])->SetBreakPending(saved[i]);
}

void TppEngine::PrintPageHeaders() {
  const int list = currentList_, index = currentIndex_;
  StartPage();
  if (pendingBands_ & btTitle) {
    currentList_ = blTitle;
    GenerateBandList(blTitle, 0, true);
    if (!pageEnded_) pendingBands_ &= uint16_t(~btTitle);
  }
  if (!pageEnded_) {
    pendingBands_ |= btHeader;
    currentList_ = blHeader;
    GenerateBandList(blHeader, 0, true);
  }
  currentList_ = list;
  currentIndex_ = index;
}

void TppEngine::StartPage() {
  if (absolutePageNo_ == 1) pendingBands_ |= btDetail;
  const TppPageDef& def = page_->PageDef();
  SetPrintArea(def.mmMarginLeft(), def.mmMarginTop(), int32_t(def.mmPrintableWidth()));
  columnNo_ = 0;
  detailPlacedOnPage_ = false;
  columnTop_ = 0;
  pageEnded_ = false;
  pageBandCount_ = 1;
  if (!completed_ && absolutePageNo_ > absolutePageCount_) {
    absolutePageCount_ = absolutePageNo_;
    UpdateControlGroupPages();
  }
  while (page_->DrawCommandCount() > 0) delete page_->DrawCommands(0);
  outputPage_ = false;
  ComputeOutputFlag();
  ForEachBand([this](TppBand* band) { band->SetDrawingEnabled(outputPage_); });
  if (report_->OnStartPage) report_->OnStartPage(report_);
  ForEachBand([](TppBand* band) { band->StartPage(); });
}

void TppEngine::UpdateControlGroupPages() {
  if (!controlGroup_) return;
  TppGroupHeaderBand* header = controlGroup_->HeaderBand();
  const bool runStarts = (pendingBands_ & btTitle) ||
                         (header && header->BreakPending() && !header->IsContinued());
  if (currentList_ != blGroupFooter && runStarts) controlGroup_->SetFirstPage(absolutePageNo_);
  controlGroup_->SetLastPage();
}

void TppEngine::ComputeOutputFlag() {
  TppCustomReport* main = report_->GetMainReport();
  if (!main) main = report_;
  const bool twoPass = main->PassSetting() == psTwoPass;
  const bool firstPass = engineState_ & esFirstPass;
  bool output;
  if (firstPass && !twoPass) output = true;
  else if (!firstPass && twoPass) output = true;
  else output = firstPass && twoPass && absolutePageNo_ == requestedPage_;
  auto* mainReport = dynamic_cast<TppReport*>(main);
  if (output && mainReport && mainReport->CachePages()) {
    outputPage_ = true;
    return;
  }
  switch (pageRequest_) {
    case rqPageList:
    case rqOnePage: output = absolutePageNo_ == requestedPage_; break;
    case rqFirstPage: output = absolutePageNo_ == 1; break;
    case rqLastPage: output = completed_ && absolutePageNo_ == absolutePageCount_; break;
    default: break;
  }
  outputPage_ = output;
}

void TppEngine::FillBands(int list, int index) {
  currentList_ = list;
  currentIndex_ = index;
  // Only detail and group bands walk the data: without them the report's
  // bands print once, as if the data had ended.
  if (!dataEnded_ && bandLists_[blDetail].empty() && bandLists_[blGroupHeader].empty() &&
      bandLists_[blGroupFooter].empty()) {
    dataEnded_ = true;
    pendingBands_ |= btSummary;
  }
  while (currentList_ <= blGroupFooter && !pageEnded_ && !cancelled_) {
    if (columnar_ && (columnEnded_ || columnNo_ == 0)) {
      columnEnded_ = false;
      const int keepList = currentList_, keepIndex = currentIndex_;
      StartColumn();
      currentList_ = keepList;
      currentIndex_ = keepIndex;
      if (currentList_ == blGroupFooter) {
        ReprintHeadersAboveFooters();
      } else if (currentList_ == blDetail) {
        GenerateBandList(blGroupHeader, 0, false);
      } else if (currentList_ == blGroupHeader) {
        GenerateBandList(blGroupHeader, 0, false);
        currentList_ = blDetail;
        currentIndex_ = 0;
      }
      if (pageEnded_ || columnEnded_) continue;
    }
    GenerateBandList(currentList_, currentIndex_, true);
    const bool ended = pageEnded_ || (columnar_ && columnEnded_);
    if (!ended && currentIndex_ >= int(bandLists_[currentList_].size())) NextBandList();
    ProcessMessages();
  }
  if (!pageEnded_ && !cancelled_ && dataEnded_ && currentList_ > blGroupFooter) {
    currentList_ = blSummary;
    GenerateBandList(blSummary, currentIndex_, true);
    // No band closes the report: it is complete once its data has ended.
    if (!finalBand_ && !pageEnded_) reportCompleted_ = true;
  }
  if (!pageEnded_ && !cancelled_) {
    if (columnar_) EndColumn();
    else EndPage();
  }
}

void TppEngine::NextBandList() {
  if (currentList_ == blGroupFooter) currentList_ = dataEnded_ ? blSummary : blGroupHeader;
  else ++currentList_;
  currentIndex_ = 0;
}

void TppEngine::GenerateBandList(int list, int start, bool store) {
  const std::vector<TppBand*>& bands = bandLists_[list];
  int index = start;
  bool overflowed = false;
  while (index < int(bands.size()) && !overflowed && !cancelled_) {
    auto* band = static_cast<TppCustomBand*>(bands[size_t(index)]);
    band->Generate();
    lastBandBottom_ = printPosition_;
    overflowed = band->OutOfSpace();
    if (overflowed) CheckOverflowGuard(band);
    if (dataEnded_ && band == finalBand_ && !overflowed) reportCompleted_ = true;
    if (!overflowed) ++index;
    // A section that ended in this band keeps the rest of the list off its last page.
    if (!overflowed && (engineState_ & esChild256)) break;
    ProcessMessages();
  }
  if (list == blGroupHeader && !overflowed)
    pendingBands_ &= uint16_t(~(btTitle | btHeader | btColumnHeader));
  if (store) currentIndex_ = index;
  if (overflowed && !cancelled_ && !(pendingBands_ & btFooter)) {
    if (columnar_) EndColumn();
    else EndPage();
  }
}

void TppEngine::NoteBandPlaced(TppBand* band) {
  if (band->GetBandType() & (btDetail | btGroupFooter | btSummary)) ++progress_;
}

void TppEngine::CheckOverflowGuard(TppCustomBand* band) {
  if (!band->PlacedNothing() || (pendingBands_ & btFooter)) return;
  const bool sameSpot = guardBand_ == band && progress_ == 0 &&
                        (guardPage_ == absolutePageNo_ - 1 ||
                         (guardPage_ == absolutePageNo_ && guardColumn_ < columnNo_));
  if (sameSpot) Fail(report_->LoadStr(kBandTooHigh));
  guardBand_ = band;
  guardPage_ = absolutePageNo_;
  guardColumn_ = columnNo_;
  progress_ = 0;
}

void TppEngine::EndPage() {
  pageEnded_ = true;
  if (OnGetLastCachedPage) OnGetLastCachedPage(lastCachedPage_);
  if ((engineState_ & esFirstPass) && absolutePageNo_ > lastCachedPage_ && OnSavePageState) {
    // The saved state counts this page's footers as printed.
    const int footers = int(bandLists_[blFooter].size());
    bandCount_ += footers;
    OnSavePageState(absolutePageNo_);
    bandCount_ -= footers;
  }
  if (!(pendingBands_ & btFooter) && !(engineState_ & (esChild128 | esChild256))) {
    pendingBands_ |= btFooter;
    GenerateBandList(blFooter, 0, false);
  }
  report_->EndPage();
  if ((engineState_ & esFirstPass) && dataEnded_ && reportCompleted_) {
    // Once the count is known a regenerated last page needs no second turn.
    const bool countKnown = completed_ && !repeatLastPage_;
    completed_ = true;
    if (report_->PassSetting() == psOnePass && !countKnown) {
      if (!repeatLastPage_) {
        // Generated once more from the page before, now knowing the count.
        repeatLastPage_ = true;
        ForEachBand([](TppBand* band) { band->AfterEndPage(); });
        pendingBands_ &= uint16_t(~btFooter);
        return;
      }
      repeatLastPage_ = false;
    }
  }
  ForEachBand([](TppBand* band) { band->EndPage(); });
  StorePageInfo();
  ForEachBand([](TppBand* band) { band->AfterEndPage(); });
  pendingBands_ &= uint16_t(~btFooter);
}

void TppEngine::StorePageInfo() {
  if (cancelled_) return;
  TppPage& page = *page_;
  page.AbsolutePageNo = absolutePageNo_;
  page.AbsolutePageCount = absolutePageCount_;
  if (controlGroup_) page.ControlGroupBreakNo = controlGroup_->BreakNo();
  page.DocumentName = report_->PrinterSetup()->DocumentName();
  page.FirstPage = absolutePageNo_ == 1;
  page.LanguageIndex = report_->GetLanguageIndex();
  page.LastPage = reportCompleted_;
  page.PassSetting = report_->PassSetting();
  // A section's pages take their numbers from the section (the page where
  // it is announced is still the parent's own).
  if (!(engineState_ & (esChild128 | esChild256))) {
    page.PageNo = GetPageNo();
    page.PageCount = GetPageCount();
  }
  page.PrintDateTime = printDateTime_;
  const bool onePass = report_->PassSetting() == psOnePass;
  page.FinalPage = (onePass && (engineState_ & esFirstPass)) ||
                   (!onePass && (engineState_ & esSecondPass) && outputPage_);
  page.FirstPassPage = !outputPage_;
  if (OnPublishPage) OnPublishPage();
}

// ---- Columns ---------------------------------------------------------------------------------

void TppEngine::StartColumn() {
  if (engineState_ & (esTitle | esSummary)) return;
  if (columnNo_ >= report_->Columns()) return;
  ++columnNo_;
  if (!PlaceColumn()) return;
  if (report_->OnStartColumn) report_->OnStartColumn(report_);
  pendingBands_ |= btColumnHeader;
  currentList_ = blColumnHeader;
  GenerateBandList(blColumnHeader, 0, true);
}

bool TppEngine::PlaceColumn() {
  const TppPageDef& def = page_->PageDef();
  if (columnNo_ == 1 && columnTop_ == 0) columnTop_ = areaTop_;
  // Held in thousandths: the report converted them from its Units when set.
  const TStrings& positions = report_->mmColumnPositions();
  int64_t left;
  if (positions.Count() == 0) {
    left = int64_t{def.mmMarginLeft()} + int64_t{columnNo_ - 1} * report_->mmColumnWidth();
  } else {
    auto columnMessage = [this](int offset) {
      return StringReplace(report_->LoadStr(offset), "<columnno>", std::to_string(columnNo_),
                           rfReplaceAll) + ".";
    };
    if (positions.Count() < columnNo_) Fail(columnMessage(kFindColumn));
    double value = 0;
    if (!TryStrToFloat(positions[columnNo_ - 1], value)) Fail(columnMessage(kConvertColumn));
    left = ppReadCoordinate(value);
  }
  const int64_t right = int64_t{def.mmWidth()} - def.mmMarginRight();
  const bool fits = positions.Count() > 0 ? left <= right
                                          : left + report_->mmColumnWidth() <= right;
  if (fits) {
    areaLeft_ = int32_t(left);
    areaTop_ = printPosition_ = columnTop_;
    areaExtent_ = int32_t(right);
  }
  return fits;
}

void TppEngine::EndColumn() {
  columnEnded_ = true;
  if (report_->OnEndColumn) report_->OnEndColumn(report_);
  pendingBands_ |= btColumnFooter;
  GenerateBandList(blColumnFooter, 0, false);
  if (columnNo_ != report_->Columns() && !(dataEnded_ && currentList_ > blGroupFooter)) {
    ++columnNo_;
    const bool fits = PlaceColumn();
    --columnNo_;
    if (fits) return;  // the fill loop starts the next column
  }
  const TppPageDef& def = page_->PageDef();
  SetPrintArea(def.mmMarginLeft(), printPosition_, int32_t(def.mmPrintableWidth()));
  EndPage();
}

// ---- Data -------------------------------------------------------------------------------------

void TppEngine::TraverseData() {
  if (recordMoved_) {
    pendingBands_ &= uint16_t(~(btHeader | btColumnHeader | btGroupHeader));
    pendingBands_ |= btDetail;
    if (!dataEnded_) {
      NextRecord();
      if (AtEnd(reportPipeline_)) {
        dataEnded_ = true;
        pendingBands_ |= btSummary;
      }
      if (pendingBands_ & btGroupFooter) PriorRecord();
      else if (!(pendingBands_ & btSummary)) CalculateAllComponents();
    }
  } else if ((pendingBands_ & (btGroupHeader | btGroupFooter)) && steppedBack_ &&
             !(pendingBands_ & btSummary)) {
    NextRecord();
    CalculateAllComponents();
    pendingBands_ |= btGroupHeader | btDetail;
    pendingBands_ &= uint16_t(~btGroupFooter);
  }
}

void TppEngine::NextRecord() {
  steppedBack_ = false;
  lowestBreak_ = report_->GroupCount();
  if (!detailPipeline_) {
    MoveRecord(true);
    CheckGroupBreaks(reportPipeline_);
  } else if (!Empty(detailPipeline_) && !AtEnd(detailPipeline_)) {
    detailPipeline_->Next();
    CheckGroupBreaks(detailPipeline_);
    if (AtEnd(detailPipeline_)) {
      MoveRecord(true);
      CheckGroupBreaks(reportPipeline_);
    }
  } else if (!Empty(reportPipeline_) && !AtEnd(reportPipeline_)) {
    MoveRecord(true);
    CheckGroupBreaks(reportPipeline_);
  }
  if (lowestBreak_ < report_->GroupCount()) {
    BreakInnerGroups();
    pendingBands_ |= btGroupHeader | btGroupFooter;
  }
}

void TppEngine::PriorRecord() {
  if (!detailPipeline_) {
    MoveRecord(false);
  } else if (!AtStart(detailPipeline_) && !Empty(detailPipeline_)) {
    detailPipeline_->Prior();
  } else if (!AtStart(reportPipeline_) && !Empty(reportPipeline_)) {
    MoveRecord(false);
  }
  steppedBack_ = true;
}

void TppEngine::MoveRecord(bool next) {
  if (!reportPipeline_) return;
  if (next) {
    reportPipeline_->Next();
    if (!detailPipeline_) return;
    detailPipeline_->First();
    while (Empty(detailPipeline_) && detailPipeline_->SkipWhenNoRecords() &&
           !AtEnd(reportPipeline_)) {
      reportPipeline_->SkipNext();
      detailPipeline_->First();
    }
    return;
  }
  if (AtEnd(reportPipeline_)) reportPipeline_->Last();
  else reportPipeline_->Prior();
  if (!detailPipeline_) return;
  detailPipeline_->Last();
  while (Empty(detailPipeline_) && detailPipeline_->SkipWhenNoRecords() &&
         !AtStart(reportPipeline_)) {
    reportPipeline_->SkipPrior();
    detailPipeline_->Last();
  }
}

void TppEngine::CheckGroupBreaks(TppDataPipeline* pipeline) {
  if (!recordMoved_) return;
  for (int i = report_->GroupCount() - 1; i >= 0; --i) {
    TppGroup* group = report_->Groups(i);
    bool broke;
    if (!pipeline) broke = group->CheckBreak();
    else if (group->DataPipeline() != pipeline) continue;
    else if (AtEnd(pipeline)) {
      group->Break();
      broke = true;
    } else {
      broke = group->CheckBreak();
    }
    if (broke) lowestBreak_ = std::min(lowestBreak_, i);
  }
}

void TppEngine::BreakInnerGroups() {
  for (int i = lowestBreak_; i < report_->GroupCount(); ++i) {
    TppGroup* group = report_->Groups(i);
    if (!group->BreakOccurred()) group->Break();
  }
}

// ---- Cache -------------------------------------------------------------------------------------

void TppEngine::SaveToCache(int pageNo) {
  uint8_t r[kEngineRecordSize] = {};
  r[0] = steppedBack_;
  r[1] = dataEnded_;
  ppPutInt32(r + 4, currentIndex_);
  ppPutInt32(r + 8, currentList_);
  ppPutInt32(r + 12, bandCount_);
  for (int i = 0; i < 4; ++i) r[16 + i] = (engineState_ & kStateOrder[i]) != 0;
  for (int i = 0; i < 9; ++i) r[21 + i] = (pendingBands_ & kPendingOrder[i]) != 0;
  WriteCacheRecord(pageNo, r);
}

void TppEngine::RestoreFromCache(int pageNo) {
  uint8_t r[kEngineRecordSize] = {};
  ReadCacheRecord(pageNo, r);
  steppedBack_ = r[0] != 0;
  dataEnded_ = r[1] != 0;
  currentIndex_ = ppGetInt32(r + 4);
  currentList_ = ppGetInt32(r + 8);
  bandCount_ = ppGetInt32(r + 12);
  for (int i = 0; i < 4; ++i) {
    if (r[16 + i]) engineState_ |= kStateOrder[i];
    else engineState_ &= uint16_t(~kStateOrder[i]);
  }
  pendingBands_ = 0;
  for (int i = 0; i < 9; ++i)
    if (r[21 + i]) pendingBands_ |= kPendingOrder[i];
}

void TppEngine::Reset() {
  inherited::Reset();
  completed_ = false;
}
