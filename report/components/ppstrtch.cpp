#include "report/components/ppstrtch.h"

#include <algorithm>
#include <set>

#include "platform/classlib/core/messagepump.h"
#include "report/model/ppbands.h"
#include "report/model/pprecord.h"
#include "report/output/ppprintr.h"

namespace {
// A new stretchable: 185 x 89 screen pixels, as the designer drops it.
constexpr int kPixelWidth = 185, kPixelHeight = 89;
// String-table offset of the refusal of a ShiftRelativeTo cycle.
constexpr int kCyclicShift = 342;

int32_t PixelsToMM(int pixels) { return ppToMMThousandths(float(pixels), utScreenPixels); }
}  // namespace

IMPLEMENT_CLASS(EInvalidPropertyError, Exception)
IMPLEMENT_CLASS(TppStretchable, TppComponent)

// Every stretching kind publishes these.
PUBLISHED(TppStretchable) {
  PROP_OBJ(ShiftRelativeTo, ShiftRelativeTo, SetShiftRelativeTo);
  PROP_BOOL(Stretch, Stretch, SetStretch, false);
  PROP_FLOAT(BottomOffset, BottomOffset, SetBottomOffset, 0).Stored(false);
  PROP_FLOAT(OverFlowOffset, OverFlowOffset, SetOverFlowOffset, 0).Stored(false);
  PROP_BOOL(Visible, Visible, SetVisible, true);
  PROP_FLOAT(Height, Height, SetHeight, 0).Stored(false);
  PROP_FLOAT(Left, Left, SetLeft, 0).Stored(false);
  PROP_FLOAT(Top, Top, SetTop, 0).Stored(false);
  PROP_FLOAT(Width, Width, SetWidth, 0).Stored(false);
}

TppStretchable::TppStretchable(TComponent* owner) : TppComponent(owner) {
  SetRecordSize(kRecordSize);
  SetAutoSize(false);
  SetWordWrap(false);
  mmWidth_ = PixelsToMM(kPixelWidth);
  mmHeight_ = PixelsToMM(kPixelHeight);
}

TppStretchable::~TppStretchable() {
  if (shiftRelativeTo_) shiftRelativeTo_->RemoveShiftDependent(this);
  for (TppStretchable* d : dependents_) d->shiftRelativeTo_ = nullptr;
}

void TppStretchable::GetDescription(std::string& text) { text = Name() + '\x01'; }

void TppStretchable::AddShiftDependent(TppStretchable* component) {
  if (std::find(dependents_.begin(), dependents_.end(), component) != dependents_.end()) return;
  dependents_.push_back(component);
  AddNotify(component);
}

void TppStretchable::RemoveShiftDependent(TppStretchable* component) {
  std::erase(dependents_, component);
  std::erase(dependentOrder_, component);
}

void TppStretchable::Notify(TppCommunicator* sender, int operation) {
  inherited::Notify(sender, operation);
  if (operation != ppopRemove) return;
  if (sender == shiftRelativeTo_) shiftRelativeTo_ = nullptr;
  std::erase(dependents_, sender);
  std::erase(dependentOrder_, sender);
}

void TppStretchable::SetName(const std::string& newName) {
  const bool follows = Caption() == Name();
  inherited::SetName(newName);
  if (follows && !ReadingOrLoading()) SetCaption(newName);
}

// ---- properties ------------------------------------------------------------------------

TppStretchable* TppStretchable::ShiftRelativeTo() {
  const bool keep = ComponentState().Contains(csWriting) || ReadingOrLoading();
  if (shiftRelativeTo_ && !keep && shiftRelativeTo_->Band() != Band()) {
    shiftRelativeTo_->RemoveShiftDependent(this);
    shiftRelativeTo_ = nullptr;
  }
  return shiftRelativeTo_;
}

bool TppStretchable::ReachesBack(const TppStretchable* target) const {
  std::set<const TppStretchable*> seen;  // a chain read from a stream may loop elsewhere
  for (const TppStretchable* s = target; s && seen.insert(s).second; s = s->shiftRelativeTo_)
    if (s == this) return true;
  return false;
}

void TppStretchable::SetShiftRelativeTo(TppStretchable* target) {
  if (target == shiftRelativeTo_) return;
  if (target && ReachesBack(target))
    throw EInvalidPropertyError(ppLoadStr(GetLanguageIndex() + kCyclicShift));
  if (shiftRelativeTo_) shiftRelativeTo_->RemoveShiftDependent(this);
  shiftRelativeTo_ = target;
  NotifyDesigner();
  Changed();
  if (target) target->AddShiftDependent(this);
  // A shifted component follows its master only.
  TppComponent::SetReprintOnOverFlow(false);
  TppComponent::SetShiftWithParent(false);
  TppComponent::SetStretchWithParent(false);
}

void TppStretchable::SetStretch(bool value) {
  stretch_ = value;
  if (value && !ReadingOrLoading()) {
    TppComponent::SetReprintOnOverFlow(false);
    TppComponent::SetShiftWithParent(false);
    TppComponent::SetStretchWithParent(false);
  }
  Changed();
  NotifyDesigner();
}

void TppStretchable::EndOwnPlacement(bool chosen) {
  if (!chosen || ReadingOrLoading()) return;
  SetShiftRelativeTo(nullptr);
  stretch_ = false;
}

void TppStretchable::SetReprintOnOverFlow(bool value) {
  TppComponent::SetReprintOnOverFlow(value);
  EndOwnPlacement(value);
}

void TppStretchable::SetShiftWithParent(bool value) {
  TppComponent::SetShiftWithParent(value);
  EndOwnPlacement(value);
}

void TppStretchable::SetStretchWithParent(bool value) {
  TppComponent::SetStretchWithParent(value);
  EndOwnPlacement(value);
}

void TppStretchable::SetmmBottomOffset(int32_t value) {
  mmBottomOffset_ = value;
  NotifyDesigner();
  Changed();
}

void TppStretchable::SetmmOverFlowOffset(int32_t value) {
  mmOverFlowOffset_ = value;
  NotifyDesigner();
  Changed();
}

static int VerticalDpi(const TppStretchable& c) {
  TppPrinter* printer = c.Units() == utPrinterPixels ? c.GetPrinter() : nullptr;
  return printer ? printer->PixelsPerInch(TppPixelAxis::Vertical) : 0;
}

float TppStretchable::BottomOffset() const {
  return ppFromMMThousandths(mmBottomOffset_, Units(), VerticalDpi(*this));
}
void TppStretchable::SetBottomOffset(float value) {
  SetmmBottomOffset(ppToMMThousandths(value, Units(), VerticalDpi(*this)));
}
float TppStretchable::OverFlowOffset() const {
  return ppFromMMThousandths(mmOverFlowOffset_, Units(), VerticalDpi(*this));
}
void TppStretchable::SetOverFlowOffset(float value) {
  SetmmOverFlowOffset(ppToMMThousandths(value, Units(), VerticalDpi(*this)));
}

void TppStretchable::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  ppDefineMMProperty(filer, "mmBottomOffset", mmBottomOffset_, false);
  ppDefineMMProperty(filer, "mmOverFlowOffset", mmOverFlowOffset_, false);
}

// ---- placement -----------------------------------------------------------------------------

bool TppStretchable::StretchingMode() const {
  const TppBand* band = Band();
  // Inside a region it splits only when the region does.
  if (auto* region = dynamic_cast<const TppStretchable*>(Region()); region && !region->StretchingMode())
    return false;
  return stretch_ && band && band->PrintHeight() == phDynamic;
}

TppContainerValues TppStretchable::Container() const {
  auto* band = dynamic_cast<TppCustomBand*>(Band());
  TppContainerValues c = Region()  ? Region()->ChildContainerValues()
                         : band    ? band->ContainerValues()
                                   : TppContainerValues{};
  if (shiftRelativeTo_) {
    // The master's bottoms bound the dependent; the band's continuation does not apply.
    c.StretchBottom = shiftRelativeTo_->printedBottom_;
    c.AvailableBottom = shiftRelativeTo_->availableBottom_;
    c.Continued = false;
  }
  return c;
}

void TppStretchable::Generate() {
  if (ReprintOnOverFlow() && Container().Continued) MarkForPrint();
  if (OnPrint && !ComponentState().Contains(csDesigning)) OnPrint(this);
  Place();
  if (overflow_) return;
  if (!continued_ || dependentsActive_) GenerateDependents();
  if (!continued_ && !waiting_) complete_ = true;
}

void TppStretchable::Place() {
  const TppContainerValues c = Container();
  const bool prints = Prints();
  const int64_t left = int64_t{c.PrintLeft} + (prints ? mmLeft_ : 0);
  int64_t top = shiftRelativeTo_ ? int64_t{shiftRelativeTo_->printedBottom_}
                                 : int64_t{c.PrintTop} + mmTop_;
  if (continued_) {
    // The rest of the contents starts at the top of the container.
    top = int64_t{c.StretchBottom} + (prints ? mmOverFlowOffset_ : 0);
  } else if (c.Continued) {
    top -= c.ContinuationOffset;
  } else if (ShiftWithParent() && !shiftRelativeTo_) {
    if (const TppPrintable* s = c.Tallest)
      top = int64_t{s->PrintRect().Top} + s->SpaceUsed() + (mmTop_ - (s->mmTop() + s->mmHeight()));
    else if (c.UsedHeight > 0)
      top += c.UsedHeight - c.DesignedHeight;
  }
  printedBottom_ = int32_t(top);
  availableBottom_ = int32_t(int64_t{c.AvailableBottom} - mmBottomOffset_);
  const bool stretching = StretchingMode();
  int64_t height = prints && !stretching ? mmHeight_ : 0;
  if (prints && StretchWithParent()) {
    if (top < c.StretchBottom) height = c.StretchBottom - top;
    if (top < availableBottom_ && top + height > availableBottom_) height = availableBottom_ - top;
  }
  // The same one-thousandth slack as plain components.
  if (prints && top + height > int64_t{availableBottom_} + 1) {
    overflow_ = true;
    return;
  }
  const int64_t bottom = stretching ? int64_t{availableBottom_} : top + height;
  printRect_ = {int32_t(left), int32_t(top), int32_t(left + mmWidth_), int32_t(bottom)};
  if (prints) {
    if (!stretching) SetSpaceUsed(int32_t(height));
    GenerateContents();
  }
  printRect_.Bottom = int32_t(top + spaceUsed_);
  if (prints && spaceUsed_ > 0) SetSpaceUsed(spaceUsed_ + mmBottomOffset_);
}

void TppStretchable::GenerateDependents() {
  if (!continued_) {
    dependentsActive_ = true;
    for (TppStretchable* d : dependents_) d->MarkForPrint();
  }
  printedBottom_ = int32_t(int64_t{printRect_.Top} + spaceUsed_);
  availableBottom_ += mmBottomOffset_;
  int64_t lowest = printedBottom_;
  const std::vector<TppStretchable*> list = dependents_;  // one may go while generating
  for (size_t i = size_t(std::max(restartIndex_, 0)); i < list.size(); ++i) {
    TppStretchable* d = list[i];
    d->Generate();
    if (d->SpaceUsed() > 0) {
      if (std::find(dependentOrder_.begin(), dependentOrder_.end(), d) == dependentOrder_.end())
        dependentOrder_.push_back(d);
      lowest = std::max(lowest, int64_t{d->PrintRect().Top} + d->SpaceUsed());
    }
    if (!d->Complete()) {
      if (!incompleteFound_) {
        incompleteFound_ = true;
        restartIndex_ = int32_t(i);
        continueNext_ = d->Stretches();
      }
      dependentsComplete_ = false;
    }
    ProcessMessages();
  }
  if (lowest > printedBottom_) {
    printedBottom_ = int32_t(lowest);
    SetSpaceUsed(int32_t(lowest - printRect_.Top));
  }
  continued_ = continueNext_;
  waiting_ = !dependentsComplete_ && !continued_;
}

void TppStretchable::DrawToPage(TppPage* page) {
  inherited::DrawToPage(page);
  std::vector<TppStretchable*> order = dependentOrder_;
  std::stable_sort(order.begin(), order.end(), [](const TppStretchable* a, const TppStretchable* b) {
    return a->OrderIndex() < b->OrderIndex();
  });
  for (TppStretchable* d : order) {
    d->DrawToPage(page);
    ProcessMessages();
  }
}

// ---- pass bookkeeping and the page-state cache ------------------------------------------

void TppStretchable::Init() {
  inherited::Init();
  dependentsActive_ = false;
  restartIndex_ = 0;
  waiting_ = false;
}

void TppStretchable::StartPrintPass() {
  inherited::StartPrintPass();
  dependentsComplete_ = true;
  printedBottom_ = availableBottom_ = 0;
  continueNext_ = incompleteFound_ = false;
  dependentOrder_.clear();
}

void TppStretchable::EndPrintPass() {
  inherited::EndPrintPass();
  if (markedToPrint_ && dependentsActive_) markedToPrint_ = false;
  if (dependentsActive_ && !continued_) dependentsActive_ = false;
  if (dependentsComplete_) restartIndex_ = 0;
}

void TppStretchable::WriteStretchState(uint8_t* r) const {
  r[0] = markedToPrint_;
  r[1] = dependentsActive_;
  ppPutInt32(r + 4, restartIndex_);
  r[8] = continued_;
  r[9] = waiting_;
}

void TppStretchable::ReadStretchState(const uint8_t* r) {
  markedToPrint_ = r[0] != 0;
  dependentsActive_ = r[1] != 0;
  restartIndex_ = ppGetInt32(r + 4);
  continued_ = r[8] != 0;
  waiting_ = r[9] != 0;
}

void TppStretchable::SaveToCache(int pageNo) {
  std::vector<uint8_t> record(size_t(std::max(RecordSize(), kRecordSize)), 0);
  WriteStretchState(record.data());
  WriteContentsState(record.data());
  WriteCacheRecord(pageNo, record.data());
}

void TppStretchable::RestoreFromCache(int pageNo) {
  std::vector<uint8_t> record(size_t(std::max(RecordSize(), kRecordSize)), 0);
  ReadCacheRecord(pageNo, record.data());
  ReadStretchState(record.data());
  ReadContentsState(record.data());
}
