#include "report/components/ppregion.h"

#include <algorithm>
#include <climits>

#include "platform/classlib/core/messagepump.h"
#include "report/model/ppbands.h"
#include "report/model/pprecord.h"
#include "report/output/pppage.h"

namespace {
// The plan's groups, in processing order.
constexpr int kPlain = 1, kStretching = 2, kStretchWithParent = 3, kShiftWithParent = 4;
// The region's part of the page-state record after the common part.
constexpr int32_t kContinuationAt = 12, kDesignHeightAt = 16, kResumeGroupAt = 20,
                  kResumeIndexAt = 21, kContinuingAt = 22, kRegionRecordSize = 24;

bool StretchingChild(const TppComponent* c) { return c->IsStretchable() && c->Stretches(); }
}  // namespace

IMPLEMENT_CLASS(TppRegion, TppStretchable)
PUBLISHED(TppRegion) {
  PROP_OBJ(Brush, Brush, SetBrush);
  PROP_STR(Caption, Caption, SetCaption, "");
  PROP_BOOL(ParentHeight, ParentHeight, SetParentHeight, false);
  PROP_BOOL(ParentWidth, ParentWidth, SetParentWidth, true);
  PROP_OBJ(Pen, Pen, SetPen);
  PROP_BOOL(ReprintOnOverFlow, ReprintOnOverFlow, SetReprintOnOverFlow, false);
  PROP_BOOL(ShiftWithParent, ShiftWithParent, SetShiftWithParent, false);
  PROP_BOOL(StretchWithParent, StretchWithParent, SetStretchWithParent, false);
  PROP_BOOL(Transparent, Transparent, SetTransparent, false);
}

// A component defined here so that only a region can hold it.
void TppComponent::SetRegion(TComponent* region) {
  auto* target = dynamic_cast<TppRegion*>(region);
  if ((region && !target) || target == region_ || target == this) return;
  if (region_) region_->RemoveChild(this);
  region_ = target;
  if (target) {
    target->AddChild(this);
    if (target->Band() != Band()) SetBand(target->Band());
    // In a region the plan places it; a shift master outside would not.
    if (auto* s = dynamic_cast<TppStretchable*>(this); s && !ReadingOrLoading())
      s->SetShiftRelativeTo(nullptr);
  }
  UpdateDesignControl();
  NotifyDesigner();
  InvalidateDesign();
  Changed();
}

TppRegion::TppRegion(TComponent* owner)
    : TppStretchable(owner), brush_(std::make_unique<TBrush>()), pen_(std::make_unique<TPen>()) {
  drawCommandClass_ = TppDrawShape::StaticClass();
  SetRecordSize(kRegionRecordSize);
  SetParentWidth(true);
}

TppRegion::~TppRegion() {
  // Its children go with it.
  freeing_ = true;
  while (!children_.empty()) delete children_.back();
}

void TppRegion::AddChild(TppComponent* child) {
  if (!child || std::find(children_.begin(), children_.end(), child) != children_.end()) return;
  children_.push_back(child);
}

void TppRegion::RemoveChild(TppComponent* child) {
  std::erase(children_, child);
  for (auto& group : plan_) std::erase(group, child);
  std::erase(placed_, child);
  if (tallest_ == child) tallest_ = nullptr;
  if (!freeing_) Changed();
}

void TppRegion::SetBand(TppBand* band) {
  TppStretchable::SetBand(band);
  if (ReadingOrLoading()) return;
  for (TppComponent* c : std::vector<TppComponent*>(children_)) c->SetBand(band);
}

void TppRegion::MarkForPrint() {
  TppStretchable::MarkForPrint();
  for (TppComponent* c : children_) c->MarkForPrint();
}

void TppRegion::StartPrintPass() {
  TppStretchable::StartPrintPass();
  placed_.clear();  // a pass that does not print the region draws no child
  tallest_ = nullptr;
}

void TppRegion::GetChildren(const TGetChildProc& proc, TComponent*) {
  for (TppComponent* c : children_) proc(c);
}

void TppRegion::Init() {
  TppStretchable::Init();
  designHeight_ = mmHeight_;
  for (auto& group : plan_) group.clear();
  for (TppComponent* c : children_) {
    if (c->HasShiftMaster()) continue;  // placed through its shift relation
    int group = kPlain;
    if (StretchingChild(c)) group = kStretching;
    else if (c->StretchWithParent()) group = kStretchWithParent;
    else if (c->ShiftWithParent()) group = kShiftWithParent;
    plan_[size_t(group)].push_back(c);
  }
  resumeGroup_ = kPlain;
  resumeIndex_ = 0;
  continuationHeight_ = 0;
  continuing_ = false;
}

TppContainerValues TppRegion::ChildContainerValues() const {
  TppContainerValues v;
  // Children keep their band positions: the region's move is their move.
  auto* band = dynamic_cast<TppCustomBand*>(Band());
  v.PrintLeft = band ? band->ContainerValues().PrintLeft : 0;
  v.PrintTop = printRect_.Top - mmTop_;
  v.StretchBottom = lowest_;
  const int32_t ownBottom = printRect_.Top + mmHeight_;
  v.AvailableBottom = StretchingMode() ? AvailableBottom() : std::min(AvailableBottom(), ownBottom);
  v.Continued = continuing_;
  v.ContinuationOffset = continuationHeight_;
  v.UsedHeight = lowest_ - printRect_.Top;
  v.DesignedHeight = designHeight_;
  v.Tallest = tallest_;
  return v;
}

bool TppRegion::GenerateGroup(int group, int from) {
  const std::vector<TppComponent*> list = plan_[size_t(group)];  // a child may go meanwhile
  for (size_t i = size_t(std::max(from, 0)); i < list.size(); ++i) {
    TppComponent* c = list[i];
    c->Generate();
    if (c->SpaceUsed() > 0) {
      if (std::find(placed_.begin(), placed_.end(), c) == placed_.end()) placed_.push_back(c);
      const int32_t bottom = c->PrintRect().Top + c->SpaceUsed();
      if (bottom > lowest_) {
        lowest_ = bottom;
        tallest_ = c;
      }
    }
    if (!c->Complete()) {
      if (!incompleteNoted_) {
        incompleteNoted_ = true;
        incompleteStretches_ = StretchingChild(c);
        resumeGroup_ = group;
        resumeIndex_ = int(i);
      }
      foundContinuation_ = std::min(foundContinuation_, c->mmTop() - mmTop_);
      if (c->Overflow()) return false;  // the page is full: the rest waits
    }
    ProcessMessages();
  }
  return true;
}

void TppRegion::GenerateContents() {
  placed_.clear();
  tallest_ = nullptr;
  lowest_ = printRect_.Top;
  incompleteNoted_ = incompleteStretches_ = false;
  const int startGroup = resumeGroup_, startIndex = resumeIndex_;
  foundContinuation_ = INT32_MAX;
  // The plain children print again above a stretching child that goes on.
  bool room = true;
  if (continuing_ && startGroup > kPlain) room = GenerateGroup(kPlain, 0);
  for (int g = std::max(startGroup, kPlain); room && g <= kShiftWithParent; ++g) {
    room = GenerateGroup(g, g == startGroup ? startIndex : 0);
    // Stretching children that placed nothing: the rest waits for room.
    if (g == kStretching && placed_.empty() && !plan_[kStretching].empty()) break;
    ProcessMessages();
  }
  if (StretchingMode() && lowest_ > printRect_.Top) SetSpaceUsed(lowest_ - printRect_.Top);
  if (incompleteNoted_) {
    continuationHeight_ = placed_.empty() ? 0 : foundContinuation_;
    continuing_ = true;
    SetContinued(true);
  } else {
    continuationHeight_ = mmHeight_;
    resumeGroup_ = kPlain;
    resumeIndex_ = 0;
    continuing_ = false;
    SetContinued(false);
  }
}

void TppRegion::PropertiesToDrawCommand(TppDrawCommand* command) {
  auto* shape = dynamic_cast<TppDrawShape*>(command);
  if (!shape) return;
  const int32_t inset = ppToMMThousandths(float(pen_->Width() / 2), utScreenPixels);
  shape->Brush()->Assign(brush_.get());
  shape->Pen()->Assign(pen_.get());
  shape->Shape = stRectangle;
  shape->Left = printRect_.Left + inset;
  shape->Top = printRect_.Top + inset;
  shape->Width = printRect_.Right - printRect_.Left - 2 * inset;
  shape->Height = printRect_.Bottom - printRect_.Top - 2 * inset;
  shape->XCornerRound = shape->YCornerRound = std::min(shape->Width, shape->Height) / 4;
}

void TppRegion::DrawToPage(TppPage* page) {
  TppStretchable::DrawToPage(page);
  std::vector<TppComponent*> order = placed_;
  std::stable_sort(order.begin(), order.end(), [](const TppComponent* a, const TppComponent* b) {
    return a->OrderIndex() < b->OrderIndex();
  });
  for (TppComponent* c : order) c->DrawToPage(page);
}

void TppRegion::WriteContentsState(uint8_t* record) const {
  ppPutInt32(record + kContinuationAt, continuationHeight_);
  ppPutInt32(record + kDesignHeightAt, designHeight_);
  record[kResumeGroupAt] = uint8_t(resumeGroup_);
  record[kResumeIndexAt] = uint8_t(std::min(resumeIndex_, 255));
  record[kContinuingAt] = continuing_;
}

void TppRegion::ReadContentsState(const uint8_t* record) {
  continuationHeight_ = ppGetInt32(record + kContinuationAt);
  designHeight_ = ppGetInt32(record + kDesignHeightAt);
  resumeGroup_ = std::clamp(int(record[kResumeGroupAt]), kPlain, kShiftWithParent);
  resumeIndex_ = record[kResumeIndexAt];
  continuing_ = record[kContinuingAt] != 0;
}
