#include "report/components/ppsubrpt.h"

#include <algorithm>

#include "report/model/ppbands.h"
#include "report/model/ppengine.h"
#include "report/model/pprecord.h"
#include "report/model/ppreport.h"
#include "report/output/pppage.h"
#include "report/output/ppprndev.h"
#include "report/output/ppprintr.h"

namespace {
// The sub-report's part of its 40-byte page-state record, after the common part.
constexpr int32_t kSectionStartedAt = 12, kOutermostAt = 13, kChildCompleteAt = 14,
                  kContinuingAt = 15, kFirstPageAt = 16, kChildPageAt = 20, kRunAt = 24,
                  kCacheOffsetAt = 28, kNextSlotAt = 32, kSubReportRecordSize = 40;
constexpr uint16_t kSectionStates = esChild64 | esChild128 | esChild256;

// The part of [a, b) that lies within [lo, hi), as start and length (length
// 0 or less when nothing does).
std::pair<int64_t, int64_t> Within(int64_t a, int64_t b, int64_t lo, int64_t hi) {
  const int64_t start = std::max(a, lo);
  return {start, std::min(b, hi) - start};
}
}  // namespace

IMPLEMENT_CLASS(TppSubReport, TppStretchable)
PUBLISHED(TppSubReport) {
  PROP_STR(Caption, Caption, SetCaption, "");
  PROP_BOOL(NewPrintJob, NewPrintJob, SetNewPrintJob, false);
  PROP_BOOL(ParentPrinterSetup, ParentPrinterSetup, SetParentPrinterSetup, true);
  PROP_BOOL(ParentWidth, ParentWidth, SetParentWidth, true);
  PROP_ENUM(PrintBehavior, PrintBehavior, SetPrintBehavior, pbChild);
  P.Obj("Report", &Class::ChildReport, nullptr).Stored(false);
  PROP_BOOL(ResetPageNo, ResetPageNo, SetResetPageNo, true);
}

TppSubReport::TppSubReport(TComponent* owner) : TppStretchable(owner) {
  SetRecordSize(kSubReportRecordSize);
  SetParentWidth(true);
  childReport_ = new TppChildReport(this);
  childReport_->SetParent(this);
  childReport_->SetDefaultBands(kRegionBands);
}

TppSubReport::~TppSubReport() {
  freeing_ = true;
  EndOwnJob(true);
  if (childCache_) childCache_->ClearCache();  // before the objects it holds go
  childReport_->SetParent(nullptr);  // its teardown need not reach the parent
  delete childReport_;
}

TppEngine* TppSubReport::ChildEngine() const { return childReport_->Engine(); }

// ---- the child layout in streams ------------------------------------------------------------

// Defined here so that only a sub-report can take a child report read inside it.
void TppChildReport::SetParentComponent(TComponent* parent) {
  if (auto* subReport = dynamic_cast<TppSubReport*>(parent)) subReport->AdoptChildReport(this);
}

void TppSubReport::AdoptChildReport(TppChildReport* report) {
  if (!report || report == childReport_) return;
  if (childCache_) childCache_->ClearCache();  // it holds the old child's objects
  TppChildReport* old = childReport_;
  old->SetParent(nullptr);
  childReport_ = report;
  if (report->Owner() != this) {
    if (report->Owner()) report->Owner()->RemoveComponent(report);
    InsertComponent(report);
  }
  report->SetParent(this);
  report->SetDefaultBands(printBehavior_ == pbChild ? kRegionBands : kPageBands);
  delete old;
}

void TppSubReport::GetChildren(const TGetChildProc& proc, TComponent*) { proc(childReport_); }

// ---- properties ------------------------------------------------------------------------

void TppSubReport::SetPrintBehavior(TppPrintBehaviorType value) {
  if (Region() && value != pbFixed) return;  // a region holds boxes only
  printBehavior_ = value;
  if (value != pbSection) {
    newPrintJob_ = false;
    resetPageNo_ = false;
  } else if (!ReadingOrLoading()) {
    SetParentWidth(true);
    SetShiftRelativeTo(nullptr);
  }
  childReport_->SetDefaultBands(value == pbChild ? kRegionBands : kPageBands);
  Changed();
}

void TppSubReport::SetNewPrintJob(bool value) {
  if (value) SetPrintBehavior(pbSection);
  newPrintJob_ = value && printBehavior_ == pbSection;
}

void TppSubReport::SetResetPageNo(bool value) {
  if (printBehavior_ == pbSection) resetPageNo_ = value;
}

void TppSubReport::SetParentPrinterSetup(bool value) {
  parentPrinterSetup_ = value;
  if (!ReadingOrLoading()) ApplyParentPrinterSetup();
}

void TppSubReport::SetParentWidth(bool value) {
  if (!value && printBehavior_ == pbSection && !ReadingOrLoading()) return;
  TppStretchable::SetParentWidth(value);
}

void TppSubReport::ApplyParentPrinterSetup() {
  if (parentPrinterSetup_ && Report() && !(*childReport_->PrinterSetup() == *Report()->PrinterSetup()))
    childReport_->SetPrinterSetup(Report()->PrinterSetup());
}

// Moved into a region, it becomes a fixed box.
void TppSubReport::Changed() {
  if (Region() && printBehavior_ != pbFixed && !freeing_) {
    SetPrintBehavior(pbFixed);
    return;
  }
  TppStretchable::Changed();
}

void TppSubReport::LanguageChanged() {
  TppStretchable::LanguageChanged();
  childReport_->LanguageChanged();
}

// ---- the child's page cache ----------------------------------------------------------------

std::vector<TppCacheable*> TppSubReport::CacheObjects() { return childReport_->PageStateObjects(); }

void TppSubReport::StopGeneration() {
  if (ChildEngine()->Busy()) ChildEngine()->SetCancelled(true);
}

// ---- generation ------------------------------------------------------------------------

void TppSubReport::Init() {
  TppStretchable::Init();
  if (Stretch() != (printBehavior_ == pbChild)) SetStretch(printBehavior_ == pbChild);
  if (!childCache_) BindChildCache();
  childCache_->Reset();  // the child layout as it is now
  ApplyParentPrinterSetup();
  ChildEngine()->Reset();
  sectionStarted_ = outermost_ = childComplete_ = continuing_ = sectionActive_ = false;
  firstSectionPage_ = 0;
  childPageNo_ = 1;
  runNo_ = cacheOffset_ = nextSlot_ = 0;
  loadedRun_ = -1;
  EndOwnJob(true);  // one a former run left open
}

// The child engine's page numbers restart with each run; its cache slots
// do not: page p of a run is slot cacheOffset_ + p.
void TppSubReport::BindChildCache() {
  childCache_ = std::make_unique<TppCacheManager>(this);
  TppEngine* engine = ChildEngine();
  engine->OnResetCache = [] {};  // built at Init; runs only add slots
  engine->OnSavePageState = [this](int pageNo) {
    childCache_->SavePageState(cacheOffset_ + pageNo);
    nextSlot_ = std::max(nextSlot_, cacheOffset_ + pageNo + 1);
  };
  engine->OnRestorePageState = [this](int pageNo) {
    childCache_->RestorePageState(cacheOffset_ + pageNo);
  };
  engine->OnGetLastCachedPage = [this](int& last) { last = nextSlot_ - 1 - cacheOffset_; };
}

void TppSubReport::StartRun() {
  ++runNo_;
  cacheOffset_ = nextSlot_;
}

void TppSubReport::GenerateContents() {
  switch (printBehavior_) {
    case pbFixed: GenerateFixed(); break;
    case pbChild: GenerateChild(); break;
    case pbSection: GenerateSection(); break;
  }
}

void TppSubReport::SetChildPage(int32_t width, int32_t height) {
  TppPrinterSetup setup;
  setup.Assign(Report()->PrinterSetup());
  TppPageDef def;
  def.Assign(&setup.PageDef());
  def.SetmmWidth(width);
  def.SetmmHeight(height);
  def.SetmmMarginLeft(0);
  def.SetmmMarginTop(0);
  def.SetmmMarginRight(0);
  def.SetmmMarginBottom(0);
  TppPage* page = ChildEngine()->Page();
  if (page->PageDef() == def && page->PrinterSetup()->PrinterName() == setup.PrinterName()) return;
  setup.SetPageDef(def);
  page->SetPrinterSetup(&setup);
}

void TppSubReport::RequestChildPage(int pageNo) {
  TppEngine* engine = ChildEngine();
  const bool restart = loadedRun_ != runNo_ || !engine->Prepared();
  if (restart) {
    // The engine went on with another run: it prepares this one again
    // (saving its page 0) and takes the state its page begins with from
    // this run's slots.
    engine->Reset();
    loadedRun_ = runNo_;
  }
  // The run's pages before this one are saved (page 0 already, unless the
  // engine prepares now); this page and later ones are saved anew, as a
  // page asked for again may break differently.
  nextSlot_ = std::clamp(nextSlot_, cacheOffset_ + (restart ? 0 : 1), cacheOffset_ + pageNo);
  engine->RequestPages(rqOnePage, pageNo, nullptr);
}

int32_t TppSubReport::ChildUsedHeight() const {
  TppEngine* engine = ChildEngine();
  if (engine->PagesGenerated() == 0) return 0;  // no records: no page
  return std::max(0, engine->PrintPosition() - engine->Page()->PageDef().mmMarginTop());
}

void TppSubReport::GenerateFixed() {
  SetChildPage(mmWidth_, mmHeight_);
  StartRun();
  RequestChildPage(1);
  childComplete_ = true;  // what does not fit the box is left out
  SetContinued(false);
}

void TppSubReport::GenerateChild() {
  if (!continuing_) {
    StartRun();
    childPageNo_ = 1;
  }
  SetChildPage(mmWidth_, printRect_.Bottom - printRect_.Top);
  RequestChildPage(childPageNo_);
  if (!StretchingMode()) {
    // Kept to its own height: one child page, no continuation.
    continuing_ = false;
    SetContinued(false);
    return;
  }
  childComplete_ = ChildEngine()->ReportCompleted();
  const int32_t used = ChildUsedHeight();
  SetSpaceUsed(used);
  continuing_ = !childComplete_;
  SetContinued(continuing_);
  // A page where the child found no room asks for the same child page again.
  if (used > 0) ++childPageNo_;
}

void TppSubReport::ChangeSectionState(uint16_t off, uint16_t on) {
  auto apply = [off, on](TppCustomReport* report) {
    report->Engine()->ExcludeEngineState(off);
    report->Engine()->IncludeEngineState(on);
  };
  TppCustomReport* report = Report();
  apply(report);
  if (!outermost_) return;
  if (TppCustomReport* main = report->GetMainReport(); main && main != report) apply(main);
}

void TppSubReport::GenerateSection() {
  const int parentPage = Report()->Engine()->AbsolutePageNo();
  if (!sectionStarted_) {
    // Announced here; its first page is the next parent page.
    sectionStarted_ = continuing_ = true;
    childComplete_ = false;
    TppCustomReport* main = Report()->GetMainReport();
    outermost_ = !main || !(main->Engine()->EngineState() & kSectionStates);
    StartRun();
    ChangeSectionState(0, esChild64);
    SetContinued(true);
    return;
  }
  if (continuing_) {
    continuing_ = false;
    firstSectionPage_ = parentPage;
    ChangeSectionState(esChild64, esChild128);
  }
  childPageNo_ = parentPage - firstSectionPage_ + 1;
  TppPage* page = ChildEngine()->Page();
  if (!(*page->PrinterSetup() == *childReport_->PrinterSetup()))
    page->SetPrinterSetup(childReport_->PrinterSetup());
  RequestChildPage(childPageNo_);
  sectionActive_ = true;
  childComplete_ = ChildEngine()->ReportCompleted();
  SetContinued(!childComplete_);
  if (childComplete_) {
    ChangeSectionState(esChild128, esChild256);
    sectionStarted_ = false;
  }
}

// The child page's commands move onto the parent page into the component's
// box; what lies outside the box is cut off.
void TppSubReport::CreateDrawCommand(TppPage* page) {
  if (!page || printBehavior_ == pbSection) return;
  TppPage* childPage = ChildEngine()->Page();
  const TppPageDef& def = childPage->PageDef();
  const TRect box{printRect_.Left + def.mmMarginLeft(), printRect_.Top + def.mmMarginTop(),
                  printRect_.Right - def.mmMarginRight(), printRect_.Bottom - def.mmMarginBottom()};
  while (childPage->DrawCommandCount() > 0) {
    TppDrawCommand* c = childPage->DrawCommands(0);
    const int64_t left = int64_t{c->Left} + printRect_.Left, top = int64_t{c->Top} + printRect_.Top;
    const auto [x, width] = Within(left, left + c->Width, box.Left, box.Right);
    const auto [y, height] = Within(top, top + c->Height, box.Top, box.Bottom);
    if (width <= 0 || height <= 0) {
      delete c;  // nothing of it shows
      continue;
    }
    c->Left = int32_t(x);
    c->Top = int32_t(y);
    c->Width = int32_t(width);
    c->Height = int32_t(height);
    c->SetPage(page);
  }
}

void TppSubReport::EndPage() {
  TppStretchable::EndPage();
  if (!sectionActive_) return;
  // The section's page is the parent's page of the job.
  TppEngine* parent = Report()->Engine();
  TppPage* page = parent->Page();
  TppPage* childPage = ChildEngine()->Page();
  while (page->DrawCommandCount() > 0) delete page->DrawCommands(0);
  while (childPage->DrawCommandCount() > 0) childPage->DrawCommands(0)->SetPage(page);
  if (!(*page->PrinterSetup() == *childPage->PrinterSetup()))
    page->SetPrinterSetup(childPage->PrinterSetup());
  page->PageNo = resetPageNo_ ? childPage->PageNo : parent->GetPageNo();
  page->PageCount = resetPageNo_ ? childPage->PageCount : parent->GetPageCount();
  for (TppDrawCommand* c : page->CalculatedCommands()) {
    c->Recalculate();
    // "Page n" was made with the child's own number: it follows the parent's too.
    auto* calc = dynamic_cast<TppDrawCalc*>(c);
    if (!resetPageNo_ && calc && (calc->CalcType == ctPageNo || calc->CalcType == ctPageNoDesc))
      calc->Text = ppCalcText(calc->CalcType,
                              {true, page->PageNo, page->PageCount, page->PrintDateTime},
                              page->LanguageIndex);
  }
  if (TppReport* main = OwnJobReport()) {
    // Unset after the page; the request's end closes the job on every way out.
    hookedReport_ = main;
    main->OnDivertPage = [this, main](TppPage* p) { PrintOnOwnJob(main, p); };
    main->OnRequestOver = [this](bool stopped) { EndOwnJob(stopped); };
  }
}

void TppSubReport::AfterEndPage() {
  TppStretchable::AfterEndPage();
  if (!sectionActive_) return;
  sectionActive_ = false;
  // A nested section's page reaches the main report later, with the page of
  // the sections around it: it is let go once diverted (PrintOnOwnJob).
  if (hookedReport_ == Report()) hookedReport_->OnDivertPage = nullptr;
  if (childComplete_) ChangeSectionState(esChild256, 0);
  TppPage* page = Report()->Engine()->Page();
  if (outermost_ && !(*page->PrinterSetup() == *Report()->PrinterSetup()))
    page->SetPrinterSetup(Report()->PrinterSetup());
}

// ---- the section's own print job ------------------------------------------------------------

TppReport* TppSubReport::OwnJobReport() const {
  auto* main = dynamic_cast<TppReport*>(Report() ? Report()->GetMainReport() : nullptr);
  if (!newPrintJob_ || !main || main->Device() != dvPrinter) return nullptr;
  for (TppDevice* device : main->Publisher()->Devices())
    if (device->Busy() && dynamic_cast<TppPrinterDevice*>(device)) return main;
  return nullptr;
}

void TppSubReport::PrintOnOwnJob(TppReport* main, TppPage* page) {
  main->OnDivertPage = nullptr;  // one page each time the section ends one
  // Pages of a first pass are no output: the report's devices see them as ever.
  if (!page->FinalPage || page->FirstPassPage) {
    main->Publisher()->ReceivePage(page);
    return;
  }
  if (!jobDevice_) {
    jobDevice_ = std::make_unique<TppPrinterDevice>();
    // The main job's document is still open on the shared printer.
    jobDevice_->Printer()->UseOwnPrinter();
    jobDevice_->Printer()->SetPrinterSetup(*childReport_->PrinterSetup());
    jobDevice_->StartJob();
  }
  jobDevice_->ReceivePage(page);
  const TppPrinterSetup& setup = *childReport_->PrinterSetup();
  if (setup.Collation() && setup.Copies() > 1) {
    jobPages_.push_back(std::make_unique<TppPage>());
    jobPages_.back()->Assign(page);
  }
  // Ended with the section's last page out (not at AfterEndPage: a last page
  // made once more passes there without being published).
  if (childComplete_) EndOwnJob(false);
}

void TppSubReport::EndOwnJob(bool stopped) {
  if (hookedReport_) {
    hookedReport_->OnDivertPage = nullptr;
    hookedReport_->OnRequestOver = nullptr;
    hookedReport_ = nullptr;
  }
  if (!jobDevice_) return;
  std::unique_ptr<TppPrinterDevice> device = std::move(jobDevice_);
  std::vector<std::unique_ptr<TppPage>> pages = std::move(jobPages_);
  if (stopped) {
    device->CancelJob();
    return;
  }
  // Its pages came straight from the engine and cannot be asked for again:
  // each collated copy the device still waits for gets the kept pages.
  for (device->EndJob(); device->Busy(); device->EndJob())
    for (const auto& page : pages) device->ReceivePage(page.get());
}

// ---- page-state cache ----------------------------------------------------------------------

void TppSubReport::WriteContentsState(uint8_t* record) const {
  record[kSectionStartedAt] = sectionStarted_;
  record[kOutermostAt] = outermost_;
  record[kChildCompleteAt] = childComplete_;
  record[kContinuingAt] = continuing_;
  ppPutInt32(record + kFirstPageAt, firstSectionPage_);
  ppPutInt32(record + kChildPageAt, childPageNo_);
  ppPutInt32(record + kRunAt, runNo_);
  ppPutInt32(record + kCacheOffsetAt, cacheOffset_);
  ppPutInt32(record + kNextSlotAt, nextSlot_);
}

void TppSubReport::ReadContentsState(const uint8_t* record) {
  sectionStarted_ = record[kSectionStartedAt] != 0;
  outermost_ = record[kOutermostAt] != 0;
  childComplete_ = record[kChildCompleteAt] != 0;
  continuing_ = record[kContinuingAt] != 0;
  firstSectionPage_ = ppGetInt32(record + kFirstPageAt);
  childPageNo_ = std::max(1, ppGetInt32(record + kChildPageAt));
  runNo_ = ppGetInt32(record + kRunAt);
  cacheOffset_ = std::max(0, ppGetInt32(record + kCacheOffsetAt));
  nextSlot_ = std::max(cacheOffset_, ppGetInt32(record + kNextSlotAt));
}
