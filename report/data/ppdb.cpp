#include "report/data/ppdb.h"

#include <algorithm>

IMPLEMENT_CLASS(TppDataPipeline, TppCacheable)

PUBLISHED(TppDataPipeline) {
  P.Bool("Active", &Class::Active, nullptr, false);
  P.Int("MoveBy", static_cast<int (Class::*)() const>(&Class::MoveBy), &Class::SetMoveBy, 1);
  PROP_ENUM(RangeEnd, RangeEnd, SetRangeEnd, reLastRecord);
  PROP_INT(RangeEndCount, RangeEndCount, SetRangeEndCount, 0);
  PROP_ENUM(RangeBegin, RangeBegin, SetRangeBegin, rbFirstRecord);
  PROP_BOOL(SkipWhenNoRecords, SkipWhenNoRecords, SetSkipWhenNoRecords, true);
  PROP_EVENT(OnClose);
  PROP_EVENT(OnFirst);
  PROP_EVENT(OnLast);
  PROP_EVENT(OnNext);
  PROP_EVENT(OnOpen);
  PROP_EVENT(OnPrior);
  PROP_EVENT(OnTraversal);
}

TppDataPipeline::TppDataPipeline(TComponent* owner) : TppCacheable(owner) {}

TppDataPipeline::~TppDataPipeline() {
  // Linked objects drop their reference now; the link base then unlinks.
  SendNotification(ppdePipelineFreed);
}

bool TppDataPipeline::IsStreaming() const {
  return ComponentState().Contains(csLoading) || ComponentState().Contains(csReading);
}

// ---- settings ------------------------------------------------------------------------

void TppDataPipeline::SetMoveBy(int value) {
  moveBy_ = value;
  SettingsChanged();
}

void TppDataPipeline::SetRangeEnd(TppRangeEndType value) {
  rangeEnd_ = value;
  if (!IsStreaming()) UpdateDirection();
}

void TppDataPipeline::SetRangeEndCount(int value) {
  rangeEndCount_ = value;
  SettingsChanged();
}

void TppDataPipeline::SetRangeBegin(TppRangeBeginType value) {
  rangeBegin_ = value;
  if (!IsStreaming()) UpdateDirection();
}

void TppDataPipeline::SetSkipWhenNoRecords(bool value) {
  skipWhenNoRecords_ = value;
  SettingsChanged();
}

// A range that starts after it ends is walked backwards.
void TppDataPipeline::UpdateDirection() {
  const bool backwards = (rangeBegin_ == rbCurrentRecord && rangeEnd_ == reFirstRecord) ||
                         (rangeBegin_ == rbLastRecord && rangeEnd_ != reLastRecord);
  moveBy_ = backwards ? -1 : 1;
  SettingsChanged();
}

void TppDataPipeline::SettingsChanged() {
  if (IsStreaming()) return;
  UpdateDataState();
  SendNotification(ppdeSettingsChanged);
}

// ---- links ---------------------------------------------------------------------------

void TppDataPipeline::AddLink(TppCommunicator* object) {
  if (!object || std::find(links_.begin(), links_.end(), object) != links_.end()) return;
  links_.push_back(object);
  // A linked object that is freed must leave the list (Notify below).
  AddNotify(object);
}

void TppDataPipeline::RemoveLink(TppCommunicator* object) { std::erase(links_, object); }

void TppDataPipeline::SendNotification(int event) {
  // A listener may unlink itself or others while it is told.
  const std::vector<TppCommunicator*> targets = links_;
  for (TppCommunicator* target : targets) {
    if (std::find(links_.begin(), links_.end(), target) == links_.end()) continue;
    if (auto* listener = dynamic_cast<TppPipelineListener*>(target))
      listener->PipelineNotify(this, event);
  }
}

void TppDataPipeline::Notify(TppCommunicator* sender, int operation) {
  inherited::Notify(sender, operation);
  if (operation == ppopRemove) RemoveLink(sender);
}

// ---- the explicit record list ----------------------------------------------------------

void TppDataPipeline::SetBookmarkList(std::vector<int32_t> bookmarks) {
  bookmarkList_ = std::move(bookmarks);
  bookmarkIndex_ = 0;
}

void TppDataPipeline::GotoBookmark(int32_t bookmark) {
  if (!bookmarkList_) return;
  const auto& list = *bookmarkList_;
  const auto it = std::find(list.begin(), list.end(), bookmark);
  bookmarkIndex_ = it == list.end() ? -1 : int32_t(it - list.begin());
}

// ---- traversal -----------------------------------------------------------------------

void TppDataPipeline::Open() {
  OpenData();
  UpdateDataState();
  FreeSavedBookmark();
  recordNo_ = 0;
  Fire(OnOpen);
}

void TppDataPipeline::Close() {
  FreeSavedBookmark();
  CloseData();
  Fire(OnClose);
  dataState_ = 0;
}

void TppDataPipeline::FreeSavedBookmark() {
  if (savedBookmark_ != 0) FreeBookmark(savedBookmark_);
  savedBookmark_ = 0;
}

int32_t TppDataPipeline::SavePosition() {
  FreeSavedBookmark();
  savedBookmark_ = GetBookmark();
  return savedBookmark_;
}

void TppDataPipeline::RestorePosition() {
  if (savedBookmark_ != 0) GotoBookmark(savedBookmark_);
  UpdateDataState();
}

void TppDataPipeline::First() {
  Fire(OnFirst);
  recordNo_ = 0;
  if (bookmarkList_ && !bookmarkList_->empty()) {
    GotoBookmark(bookmarkList_->front());
  } else if (rangeBegin_ == rbFirstRecord) {
    GotoFirstRecord();
  } else if (rangeBegin_ == rbLastRecord) {
    GotoLastRecord();
  } else if (savedBookmark_ != 0) {
    GotoBookmark(savedBookmark_);
  }
  UpdateDataState();
}

void TppDataPipeline::Last() {
  Fire(OnLast);
  if (bookmarkList_ && !bookmarkList_->empty()) {
    GotoBookmark(bookmarkList_->back());
  } else {
    switch (rangeEnd_) {
      case reFirstRecord: GotoFirstRecord(); break;
      case reLastRecord: GotoLastRecord(); break;
      case reCurrentRecord:
        if (savedBookmark_ != 0) GotoBookmark(savedBookmark_);
        break;
      case reCount:
        // Walks the counted range; the data's end stops a count beyond it.
        First();
        while (recordNo_ < rangeEndCount_ && !Eof()) Next();
        break;
    }
  }
  UpdateDataState();
}

void TppDataPipeline::Next() {
  Fire(OnNext);
  if (!bookmarkList_ || bookmarkList_->empty()) {
    MoveBy(moveBy_);
    ++recordNo_;
  } else if (bookmarkIndex_ + 1 < int32_t(bookmarkList_->size())) {
    GotoBookmark((*bookmarkList_)[size_t(bookmarkIndex_ + 1)]);
    ++recordNo_;
  } else {
    ++bookmarkIndex_;  // past the last entry: Eof holds
  }
  UpdateDataState();
  Fire(OnTraversal);
}

void TppDataPipeline::Prior() {
  Fire(OnPrior);
  if (!bookmarkList_ || bookmarkList_->empty()) {
    MoveBy(-moveBy_);
    --recordNo_;
  } else if (bookmarkIndex_ > 0) {
    // Beyond the end (repeated Next) the entry before is still the last one.
    const size_t index = std::min(size_t(bookmarkIndex_), bookmarkList_->size());
    GotoBookmark((*bookmarkList_)[index - 1]);
    --recordNo_;
  }
  UpdateDataState();
}

void TppDataPipeline::SkipNext() {
  Next();
  --recordNo_;
}

void TppDataPipeline::SkipPrior() {
  Prior();
  ++recordNo_;
}

bool TppDataPipeline::Bof() {
  if (bookmarkList_) return bookmarkList_->empty() || bookmarkIndex_ <= 0;
  switch (rangeBegin_) {
    case rbFirstRecord: return IsDataBof();
    case rbLastRecord: return IsDataEof();
    case rbCurrentRecord: return recordNo_ == 0;
  }
  return false;
}

bool TppDataPipeline::CountedRangeEnded(int32_t length) {
  return recordNo_ == length || (moveBy_ > 0 && IsDataEof()) || (moveBy_ < 0 && IsDataBof());
}

bool TppDataPipeline::Eof() {
  if (bookmarkList_)
    return bookmarkList_->empty() || bookmarkIndex_ >= int32_t(bookmarkList_->size());
  switch (rangeEnd_) {
    case reFirstRecord: return IsDataBof();
    case reLastRecord: return IsDataEof();
    case reCurrentRecord: return CountedRangeEnded(1);
    case reCount: return CountedRangeEnded(rangeEndCount_);
  }
  return false;
}

void TppDataPipeline::UpdateDataState() {
  const bool bof = Bof(), eof = Eof();
  dataState_ = bof && eof ? ppdsNoRecords : bof ? ppdsBof : eof ? ppdsEof : 0;
}

int TppDataPipeline::FieldIndex(const std::string& name) {
  TStringList names;
  if (!GetFieldNames(&names)) return -1;
  return names.IndexOf(name);
}
