#include "platform/classlib/db/dataset.h"

#include <algorithm>
#include <cstring>

#include "platform/classlib/core/strings.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/datasource.h"

IMPLEMENT_CLASS(TDataSet, TComponent)

PUBLISHED(TDataSet) {
  PROP_BOOL(Active, Active, SetActive, false);
  PROP_BOOL(AutoCalcFields, AutoCalcFields, SetAutoCalcFields, true);
  PROP_STR(Filter, Filter, SetFilter, "");
  PROP_BOOL(Filtered, Filtered, SetFiltered, false);
  PROP_SET(FilterOptions, FilterOptions, SetFilterOptions, TFilterOptions{});
  PROP_EVENT(BeforeOpen);
  PROP_EVENT(AfterOpen);
  PROP_EVENT(BeforeClose);
  PROP_EVENT(AfterClose);
  PROP_EVENT(BeforeInsert);
  PROP_EVENT(AfterInsert);
  PROP_EVENT(BeforeEdit);
  PROP_EVENT(AfterEdit);
  PROP_EVENT(BeforePost);
  PROP_EVENT(AfterPost);
  PROP_EVENT(BeforeCancel);
  PROP_EVENT(AfterCancel);
  PROP_EVENT(BeforeDelete);
  PROP_EVENT(AfterDelete);
  PROP_EVENT(BeforeScroll);
  PROP_EVENT(AfterScroll);
  PROP_EVENT(BeforeRefresh);
  PROP_EVENT(AfterRefresh);
  PROP_EVENT(OnCalcFields);
  PROP_EVENT(OnDeleteError);
  PROP_EVENT(OnEditError);
  P.Event("OnFilterRecord", &Class::OnFilterRecord, &Class::SetOnFilterRecord);
  P.Event("OnUpdateError", &Class::OnUpdateError, &Class::SetOnUpdateError);
  PROP_EVENT(OnNewRecord);
  PROP_EVENT(OnPostError);
  PROP_EVENT(OnUpdateRecord);
}

TDataSet::TDataSet(TComponent* owner)
    : TComponent(owner),
      fields_(std::make_unique<TFields>(this)),
      fieldDefs_(std::make_unique<TFieldDefs>(this)),
      constraints_(std::make_unique<TCheckConstraints>(this)) {
  constraints_->SetPropName("Constraints");
}

TDataSet::~TDataSet() {
  Destroying();
  while (!dataSources_.empty()) dataSources_.back()->SetDataSet(nullptr);
  DestroyFields();
}

void TDataSet::Loaded() {
  TComponent::Loaded();
  if (!streamedActive_) return;
  try {
    SetActive(true);
  } catch (const Exception& e) {
    if (!ComponentState().Contains(csDesigning)) throw;
    ReportException(e);
  }
}

void TDataSet::GetChildren(const TGetChildProc& proc, TComponent* root) {
  for (TField* field : *fields_)
    if (field->Owner() == root) proc(field);
}

// ============================================================================
// Opening and closing
// ============================================================================

void TDataSet::EnsureOpen() const {
  if (state_ == dsInactive) DatabaseError(dbtext::DataSetClosed, this);
}

void TDataSet::EnsureClosed() const {
  if (state_ != dsInactive) DatabaseError(dbtext::DataSetOpen, this);
}

void TDataSet::SetActive(bool value) {
  if (ComponentState().Contains(csReading)) {
    streamedActive_ = value;
    return;
  }
  if (value == Active()) return;
  const bool destroying = ComponentState().Contains(csDestroying);
  if (value) {
    FireBeforeOpen();
    try {
      OpenCursorAndFields(false);
      SetState(dsBrowse);
    } catch (...) {
      // A link that failed while hearing of the open must hear of the close.
      try {
        SetState(dsInactive);
      } catch (...) {
        state_ = dsInactive;
      }
      ShutCursor();
      throw;
    }
    FireAfterOpen();
    if (!IsEmpty()) FireAfterScroll();
  } else {
    if (!destroying) FireBeforeClose();
    try {
      SetState(dsInactive);
    } catch (...) {
      ShutCursor();  // the dataset is closed even when a link failed to hear it
      throw;
    }
    ShutCursor();
    if (!destroying) FireAfterClose();
  }
}

void TDataSet::OpenCursorAndFields(bool infoOnly) {
  if (infoOnly) {
    LoadFieldDefs();
    return;
  }
  defaultFields_ = FieldCount() == 0;
  OpenEngineCursor();
  UpdateBufferCount();
  bof_ = true;
}

void TDataSet::ShutCursor() {
  FreeFieldBuffers();
  ClearWindow();
  calcBuffer_ = nullptr;
  SetBufListSize(0);
  bufferCount_ = 0;
  CloseEngineCursor();
  defaultFields_ = false;
}

void TDataSet::PrepareFieldDefs() {
  if (HasOpenCursor()) {
    LoadFieldDefs();
  } else {
    try {
      OpenCursorAndFields(true);
    } catch (...) {
      ShutCursor();
      throw;
    }
    ShutCursor();
  }
  fieldDefs_->SetUpdated(true);
}

// ============================================================================
// States and events
// ============================================================================

void TDataSet::SetState(TDataSetState value) {
  if (state_ == value) return;
  state_ = value;
  modified_ = false;
  BroadcastDataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState value) {
  TDataSetState old = state_;
  state_ = value;
  ++disableCount_;
  return old;
}

void TDataSet::RestoreState(TDataSetState value) {
  state_ = value;
  --disableCount_;
}

void TDataSet::BroadcastDataEvent(TDataEvent event, std::intptr_t info) {
  switch (event) {
    case deFieldChange: {
      auto* field = reinterpret_cast<TField*>(info);
      if (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc) modified_ = true;
      if (state_ != dsSetKey) {
        if (calcFieldsSize_ != 0 && autoCalcFields_ && field->FieldKind() == fkData)
          ComputeCalcFields(ActiveBuffer());
        field->Change();
      }
      break;
    }
    case dePropertyChange:
      fieldDefs_->SetUpdated(false);
      break;
    default:
      break;
  }
  if (disableCount_ == 0) {
    auto sources = dataSources_;
    for (TDataSource* source : sources) source->DataEvent(event, info);
    return;
  }
  if ((event == deUpdateState && state_ == dsInactive) || event == deLayoutChange)
    enableEvent_ = deLayoutChange;
  // A state change reaches everything at EnableControls, as with any disable.
  if (keepingDetails_ == disableCount_ && event != deUpdateState) {
    auto sources = dataSources_;
    for (TDataSource* source : sources) source->NotifyDetailLinks(event, info);
  }
}

void TDataSet::DisableControls() {
  if (disableCount_ == 0) {
    disableState_ = state_;
    enableEvent_ = deDataSetChange;
  }
  ++disableCount_;
}

void TDataSet::EnableControls() {
  if (disableCount_ == 0) return;
  if (--disableCount_ != 0) return;
  if (disableState_ != state_) BroadcastDataEvent(deUpdateState, 0);
  if (disableState_ != dsInactive && state_ != dsInactive) BroadcastDataEvent(enableEvent_, 0);
}

void TDataSet::DisableControlsKeepingDetails() {
  DisableControls();
  ++keepingDetails_;
}

void TDataSet::EnableControlsKeepingDetails() {
  if (keepingDetails_ == 0) return;
  --keepingDetails_;
  EnableControls();
}

void TDataSet::SetFieldListChanged() {
  if (state_ != dsInactive && !ComponentState().Contains(csDestroying))
    BroadcastDataEvent(deFieldListChange, 0);
}

// ============================================================================
// The record window
// ============================================================================

TRecordBuffer TDataSet::TempBuffer() const {
  return buffers_.empty() ? nullptr : buffers_[std::size_t(recordCount_)];
}

TRecordBuffer TDataSet::NewRecordBuffer() {
  return new char[std::size_t(GetRecordLength() + calcFieldsSize_)]();
}

void TDataSet::DisposeRecordBuffer(TRecordBuffer& buffer) {
  delete[] buffer;
  buffer = nullptr;
}

void TDataSet::ClearCalcArea(TRecordBuffer buffer) {
  if (buffer && calcFieldsSize_ > 0)
    std::memset(buffer + GetRecordLength(), 0, std::size_t(calcFieldsSize_));
}

void TDataSet::InitNewRecord(TRecordBuffer buffer) {
  ClearRecordBuffer(buffer);
  ClearCalcArea(buffer);
  WriteBookmarkFlag(buffer, bfInserted);
}

void TDataSet::SetBufListSize(int value) {
  auto wanted = std::size_t(std::max(value, 0));
  while (buffers_.size() < wanted) {
    TRecordBuffer buffer = NewRecordBuffer();
    buffers_.push_back(buffer);
  }
  while (buffers_.size() > wanted) {
    TRecordBuffer buffer = buffers_.back();
    buffers_.pop_back();
    DisposeRecordBuffer(buffer);
  }
}

void TDataSet::MoveBuffer(int from, int to) {
  if (from == to) return;
  TRecordBuffer buffer = buffers_[std::size_t(from)];
  buffers_.erase(buffers_.begin() + from);
  buffers_.insert(buffers_.begin() + to, buffer);
  // The cursor stays with the buffer of its record.
  if (currentRecord_ == from)
    currentRecord_ = to;
  else if (from < to && currentRecord_ > from && currentRecord_ <= to)
    --currentRecord_;
  else if (from > to && currentRecord_ >= to && currentRecord_ < from)
    ++currentRecord_;
}

void TDataSet::ClearWindow() {
  recordCount_ = 0;
  activeRecord_ = 0;
  currentRecord_ = -1;
  bof_ = true;
  eof_ = true;
}

void TDataSet::ActivateWindow() {
  recordCount_ = 1;
  activeRecord_ = 0;
  currentRecord_ = 0;
  bof_ = false;
  eof_ = false;
}

void TDataSet::SetCurrentRecord(int index) {
  if (currentRecord_ == index) return;
  TRecordBuffer buffer = buffers_[std::size_t(index)];
  switch (ReadBookmarkFlag(buffer)) {
    case bfCurrent:
    case bfInserted:  // a new record carries the bookmark of the record it goes before
      MoveCursorToBuffer(buffer);
      break;
    case bfBOF:
      MoveCursorToStart();
      break;
    case bfEOF:
      MoveCursorToEnd();
      break;
  }
  currentRecord_ = index;
}

void TDataSet::UpdateCursorPos() {
  if (recordCount_ > 0) SetCurrentRecord(activeRecord_);
}

void TDataSet::SyncCursorIfPossible() {
  try {
    UpdateCursorPos();
  } catch (const EDatabaseError&) {
    CursorPosChanged();
  }
}

// Reads the next or prior record into the spare buffer. When the read fails
// with an exception (a calculated field's handler, say) the cursor may already
// stand on that record, so it is no longer taken to be on a window row.
TGetResult TDataSet::FetchSpareRow(TGetMode mode) {
  try {
    return FetchRecord(buffers_[std::size_t(recordCount_)], mode, true);
  } catch (...) {
    CursorPosChanged();
    throw;
  }
}

bool TDataSet::FetchNextRow() {
  TGetMode mode = gmNext;
  if (recordCount_ > 0) {
    SetCurrentRecord(recordCount_ - 1);
    // The record being inserted stands at the cursor: read that record itself.
    if (state_ == dsInsert && currentRecord_ == activeRecord_ &&
        ReadBookmarkFlag(ActiveBuffer()) == bfCurrent)
      mode = gmCurrent;
  }
  if (FetchSpareRow(mode) != grOK) {
    CursorPosChanged();
    return false;
  }
  if (recordCount_ == 0)
    ActivateWindow();
  else if (recordCount_ < bufferCount_)
    ++recordCount_;
  else
    MoveBuffer(0, recordCount_);
  currentRecord_ = recordCount_ - 1;
  return true;
}

bool TDataSet::FetchPriorRow() {
  if (recordCount_ > 0) SetCurrentRecord(0);
  if (FetchSpareRow(gmPrior) != grOK) {
    CursorPosChanged();
    return false;
  }
  if (recordCount_ == 0) {
    ActivateWindow();
  } else {
    MoveBuffer(recordCount_, 0);
    if (recordCount_ < bufferCount_) {
      ++recordCount_;
      ++activeRecord_;
    }
  }
  currentRecord_ = 0;
  return true;
}

int TDataSet::FillWindowForward() {
  int added = 0;
  while (recordCount_ < bufferCount_ && FetchNextRow()) ++added;
  return added;
}

int TDataSet::FillWindowBackward() {
  int added = 0;
  while (recordCount_ < bufferCount_ && FetchPriorRow()) ++added;
  return added;
}

void TDataSet::SetBufferCount(int value) {
  if (bufferCount_ == value) return;
  auto forEachActiveLink = [this](const std::function<void(TDataLink*)>& fn) {
    for (TDataSource* source : dataSources_)
      for (TDataLink* link : source->links_)
        if (link->Active()) fn(link);
  };
  if (bufferCount_ > value && recordCount_ > 0) {
    // Keep the rows the links show: drop rows from the front first.
    int delta = activeRecord_;
    forEachActiveLink([&](TDataLink* link) { delta = std::min(delta, link->firstRecord_); });
    // Only rows that hold records move up: buffers past them are spares.
    const int kept = std::min(value, recordCount_ - delta);
    for (int i = 0; i < kept; ++i) MoveBuffer(i + delta, i);
    activeRecord_ -= delta;
    recordCount_ = kept;
    if (currentRecord_ >= kept) currentRecord_ = -1;
    forEachActiveLink([&](TDataLink* link) { link->firstRecord_ = std::max(0, link->firstRecord_ - delta); });
  }
  SetBufListSize(value + 1);
  bufferCount_ = value;
  if (ComponentState().Contains(csDestroying)) return;
  FillWindowForward();
  if (recordCount_ < bufferCount_) {
    int added = FillWindowBackward();
    forEachActiveLink([&](TDataLink* link) { link->firstRecord_ += added; });
  }
}

void TDataSet::UpdateBufferCount() {
  if (!HasOpenCursor()) return;
  int wanted = 1;
  for (TDataSource* source : dataSources_)
    for (TDataLink* link : source->links_) wanted = std::max(wanted, link->bufferCount_);
  SetBufferCount(wanted);
}

void TDataSet::RefreshWindow(TResyncMode mode) {
  TRecordBuffer spare = buffers_[std::size_t(recordCount_)];
  if (mode.Contains(rmExact)) {
    CursorPosChanged();
    if (FetchRecord(spare, gmCurrent, true) != grOK) DatabaseError(dbtext::BookmarkNotFound, this);
  } else {
    bool found;
    try {
      found = FetchRecord(spare, gmCurrent, false) == grOK ||
              FetchRecord(spare, gmNext, false) == grOK ||
              FetchRecord(spare, gmPrior, false) == grOK;
    } catch (...) {
      // The old rows may hold one that is no record (a cancelled insert, a
      // deleted record) and that edits would act on: none of them stays.
      ClearWindow();
      BroadcastDataEvent(deDataSetChange, 0);
      throw;
    }
    if (!found) {
      ClearWindow();
      BroadcastDataEvent(deDataSetChange, 0);
      return;
    }
  }
  int before = mode.Contains(rmCenter) ? (bufferCount_ - 1) / 2 : activeRecord_;
  MoveBuffer(recordCount_, 0);
  ActivateWindow();
  try {
    while (before > 0 && FetchPriorRow()) --before;
    FillWindowForward();
    FillWindowBackward();
  } catch (...) {
    BroadcastDataEvent(deDataSetChange, 0);
    throw;
  }
  BroadcastDataEvent(deDataSetChange, 0);
}

// ============================================================================
// Navigation
// ============================================================================

void TDataSet::First() {
  CheckBrowseMode();
  FireBeforeScroll();
  ClearWindow();
  try {
    MoveCursorToStart();
    FetchNextRow();
    FillWindowForward();
  } catch (...) {
    bof_ = true;
    BroadcastDataEvent(deDataSetChange, 0);
    throw;
  }
  bof_ = true;
  BroadcastDataEvent(deDataSetChange, 0);
  FireAfterScroll();
}

void TDataSet::Last() {
  CheckBrowseMode();
  FireBeforeScroll();
  ClearWindow();
  try {
    MoveCursorToEnd();
    FetchPriorRow();
    FillWindowBackward();
  } catch (...) {
    eof_ = true;
    BroadcastDataEvent(deDataSetChange, 0);
    throw;
  }
  eof_ = true;
  BroadcastDataEvent(deDataSetChange, 0);
  FireAfterScroll();
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  if ((distance > 0 && eof_) || (distance < 0 && bof_) || distance == 0) return 0;
  FireBeforeScroll();
  bof_ = false;
  eof_ = false;
  int scrolled = 0;  // how far the rows already in the window moved
  auto finish = [&] { BroadcastDataEvent(deDataSetScroll, scrolled); };
  try {
    while (distance > 0) {
      if (activeRecord_ < recordCount_ - 1) {
        ++activeRecord_;
      } else {
        bool full = recordCount_ >= bufferCount_;
        if (!FetchNextRow()) {
          eof_ = true;
          break;
        }
        if (full) --scrolled;
        activeRecord_ = recordCount_ - 1;
      }
      --distance;
      ++moved;
    }
    while (distance < 0) {
      if (activeRecord_ > 0) {
        --activeRecord_;
      } else {
        if (!FetchPriorRow()) {
          bof_ = true;
          break;
        }
        ++scrolled;
        activeRecord_ = 0;
      }
      ++distance;
      --moved;
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
  FireAfterScroll();
  return moved;
}

// ============================================================================
// Bookmarks
// ============================================================================

bool TDataSet::BookmarkAvailable() {
  return (state_ == dsBrowse || state_ == dsEdit || state_ == dsInsert) && recordCount_ > 0 &&
         bookmarkSize_ > 0 && ReadBookmarkFlag(ActiveBuffer()) == bfCurrent;
}

TBookmarkStr TDataSet::Bookmark() {
  TBookmarkStr result;
  if (BookmarkAvailable()) {
    result.resize(std::size_t(bookmarkSize_));
    CopyBookmarkFromBuffer(ActiveBuffer(), result.data());
  }
  return result;
}

void TDataSet::SetBookmark(const TBookmarkStr& bookmark) {
  if (bookmark.empty()) return;
  TBookmarkStr copy = bookmark;
  copy.resize(std::size_t(std::max(bookmarkSize_, 1)));
  GotoBookmark(copy.data());
}

TBookmark TDataSet::GetBookmark() {
  if (!BookmarkAvailable()) return nullptr;
  TBookmark b = new char[std::size_t(bookmarkSize_)];
  CopyBookmarkFromBuffer(ActiveBuffer(), b);
  return b;
}

void TDataSet::FreeBookmark(TBookmark bookmark) { delete[] bookmark; }

void TDataSet::GotoBookmark(TBookmark bookmark) {
  if (!bookmark) return;
  CheckBrowseMode();
  FireBeforeScroll();
  MoveCursorToBookmark(bookmark);
  RefreshWindow(TResyncMode{rmExact, rmCenter});
  FireAfterScroll();
}

bool TDataSet::CheckBookmark(TBookmark) { return false; }

int TDataSet::CompareBookmarks(TBookmark a, TBookmark b) {
  if (a && b) {
    int c = std::memcmp(a, b, std::size_t(bookmarkSize_));
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  if (a) return -1;
  if (b) return 1;
  return 0;
}

// ============================================================================
// Editing
// ============================================================================

void TDataSet::CheckCanModify() {
  if (!CanModify()) DatabaseError(dbtext::DataSetReadOnly, this);
}

void TDataSet::CheckOperation(const std::function<void()>& operation,
                              const TDataSetErrorEvent& onError) {
  for (;;) {
    try {
      UpdateCursorPos();
      operation();
      return;
    } catch (EDatabaseError& e) {
      TDataAction action = daFail;
      if (onError) onError(this, e, action);
      if (action == daFail) throw;
      if (action == daAbort) Abort();
    }
  }
}

void TDataSet::BeginInsertAppend() {
  CheckBrowseMode();
  CheckCanModify();
  FireBeforeInsert();
  FireBeforeScroll();
}

void TDataSet::EndInsertAppend() {
  SetState(dsInsert);
  try {
    FireOnNewRecord();
  } catch (...) {
    SyncCursorIfPossible();
    FreeFieldBuffers();
    SetState(dsBrowse);
    RefreshWindow({});
    throw;
  }
  modified_ = false;
  BroadcastDataEvent(deDataSetChange, 0);
  FireAfterInsert();
  FireAfterScroll();
}

void TDataSet::Insert() {
  BeginInsertAppend();
  UpdateCursorPos();
  TBookmarkStr before;
  if (recordCount_ > 0 && bookmarkSize_ > 0) {
    before.resize(std::size_t(bookmarkSize_));
    CopyBookmarkFromBuffer(ActiveBuffer(), before.data());
  }
  MoveBuffer(recordCount_, activeRecord_);
  TRecordBuffer buffer = ActiveBuffer();
  InitNewRecord(buffer);
  if (recordCount_ == 0)
    WriteBookmarkFlag(buffer, bfBOF);
  else if (!before.empty())
    CopyBookmarkToBuffer(buffer, before.data());
  if (recordCount_ < bufferCount_) ++recordCount_;
  EndInsertAppend();
}

void TDataSet::Append() {
  BeginInsertAppend();
  ClearWindow();
  TRecordBuffer buffer = buffers_[0];
  InitNewRecord(buffer);
  WriteBookmarkFlag(buffer, bfEOF);
  recordCount_ = 1;
  bof_ = false;
  try {
    FillWindowBackward();
  } catch (...) {
    // The new record never came to be: it must not stay on show as a record.
    ClearWindow();
    BroadcastDataEvent(deDataSetChange, 0);
    throw;
  }
  EndInsertAppend();
}

void TDataSet::Edit() {
  if (IsEditState(state_)) return;
  if (recordCount_ == 0) {
    Insert();
    return;
  }
  CheckBrowseMode();
  CheckCanModify();
  FireBeforeEdit();
  CheckOperation([this] { BeginRecordEdit(); }, OnEditError);
  ComputeCalcFields(ActiveBuffer());
  SetState(dsEdit);
  BroadcastDataEvent(deRecordChange, 0);
  FireAfterEdit();
}

void TDataSet::CheckRequiredFields() {
  for (TField* field : *fields_) {
    if (field->Required() && !field->ReadOnly() && field->FieldKind() == fkData &&
        field->DataType() != ftAutoInc && field->IsNull()) {
      field->FocusControl();
      DatabaseErrorFmt(dbtext::FieldRequired, {field->DisplayName()});
    }
  }
}

void TDataSet::PostChanges() {
  UpdateRecord();
  if (!IsEditState(state_)) return;
  BroadcastDataEvent(deCheckBrowseMode, 0);
  FireBeforePost();
  CheckRequiredFields();
  CheckOperation([this] { WriteRecordToCursor(); }, OnPostError);
  FreeFieldBuffers();
  SetState(dsBrowse);
  RefreshWindow({});
  FireAfterPost();
}

void TDataSet::CancelChanges() {
  if (!IsEditState(state_)) return;
  BroadcastDataEvent(deCheckBrowseMode, 0);
  FireBeforeCancel();
  const bool wasInsert = state_ == dsInsert;
  if (wasInsert) FireBeforeScroll();
  // Cancelling must always leave edit mode, also when the record is gone.
  SyncCursorIfPossible();
  CancelRecordEdit();
  FreeFieldBuffers();
  SetState(dsBrowse);
  RefreshWindow({});
  FireAfterCancel();
  if (wasInsert) FireAfterScroll();
}

void TDataSet::Delete() {
  EnsureOpen();
  if (state_ == dsInsert || state_ == dsSetKey) {
    Cancel();
    return;
  }
  if (recordCount_ == 0) DatabaseError(dbtext::DataSetEmpty, this);
  CheckCanModify();
  BroadcastDataEvent(deCheckBrowseMode, 0);
  FireBeforeDelete();
  FireBeforeScroll();
  CheckOperation([this] { DeleteCurrentRecord(); }, OnDeleteError);
  FreeFieldBuffers();
  SetState(dsBrowse);
  RefreshWindow({});
  FireAfterDelete();
  FireAfterScroll();
}

void TDataSet::Refresh() {
  FireBeforeRefresh();
  CheckBrowseMode();
  // Refreshing is how a user sees other users' changes: when the current
  // record itself is gone, refresh around wherever the cursor stands.
  SyncCursorIfPossible();
  try {
    RefetchFromCursor();
  } catch (...) {
    RefreshWindow({});
    throw;
  }
  RefreshWindow({});
  FireAfterRefresh();
}

void TDataSet::CheckBrowseMode() {
  EnsureOpen();
  BroadcastDataEvent(deCheckBrowseMode, 0);
  switch (state_) {
    case dsEdit:
    case dsInsert:
      UpdateRecord();
      if (modified_)
        Post();
      else
        Cancel();
      break;
    case dsSetKey:
      Post();
      break;
    default:
      break;
  }
}

void TDataSet::UpdateRecord() {
  if (!IsEditState(state_) && state_ != dsSetKey) DatabaseError(dbtext::NotEditing, this);
  BroadcastDataEvent(deUpdateRecord, 0);
}

void TDataSet::SetFields(const std::vector<Variant>& values) {
  if (!IsEditState(state_) && state_ != dsSetKey) DatabaseError(dbtext::NotEditing, this);
  DisableControls();
  try {
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (values[i].IsEmpty()) continue;
      fields_->Fields(int(i))->SetAsVariant(values[i]);
    }
  } catch (...) {
    EnableControls();
    throw;
  }
  EnableControls();
}

void TDataSet::AppendRecord(const std::vector<Variant>& values) {
  Append();
  PostNewValues(values);
}

void TDataSet::InsertRecord(const std::vector<Variant>& values) {
  Insert();
  PostNewValues(values);
}

void TDataSet::PostNewValues(const std::vector<Variant>& values) {
  try {
    SetFields(values);
    Post();
  } catch (...) {
    if (IsEditState(state_)) Cancel();
    throw;
  }
}

void TDataSet::ClearFields() {
  if (!IsEditState(state_) && state_ != dsSetKey) DatabaseError(dbtext::NotEditing, this);
  BroadcastDataEvent(deCheckBrowseMode, 0);
  FreeFieldBuffers();
  ClearRecordBuffer(ActiveBuffer());
  if (state_ != dsSetKey) ComputeCalcFields(ActiveBuffer());
  BroadcastDataEvent(deRecordChange, 0);
}

void TDataSet::FreeFieldBuffers() {
  for (TField* field : *fields_) {
    auto* blob = As<TBlobField>(field);
    if (!blob || !blob->Modified()) continue;
    ReleaseFieldBlob(blob);
    blob->SetModified(false);
  }
}

// ============================================================================
// Fields
// ============================================================================

void TDataSet::CreateFields() {
  for (int i = 0; i < fieldDefs_->Count(); ++i) {
    TFieldDef* def = fieldDefs_->Items(i);
    if (!FindField(def->Name())) def->CreateField(this);
  }
}

void TDataSet::DestroyFields() { fields_->Clear(); }

namespace {
bool TypesCompatible(TFieldType field, TFieldType def) {
  if (field == def) return true;
  auto integerKind = [](TFieldType t) { return t == ftInteger || t == ftAutoInc; };
  auto floatKind = [](TFieldType t) { return t == ftFloat || t == ftCurrency; };
  return (integerKind(field) && integerKind(def)) || (floatKind(field) && floatKind(def)) ||
         (IsBlobType(field) && IsBlobType(def));
}
}  // namespace

void TDataSet::BindFields(bool binding) {
  calcFieldsSize_ = 0;
  blobFieldCount_ = 0;
  for (TField* field : *fields_) {
    if (!binding) {
      field->Bind(false);
      field->fieldNo_ = 0;
      continue;
    }
    if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup) {
      field->fieldNo_ = -1;
      field->offset_ = calcFieldsSize_;
      calcFieldsSize_ += field->DataSize() + 1;
    } else {
      int index = fieldDefs_->IndexOf(field->FieldName());
      if (index < 0) DatabaseErrorFmt(dbtext::FieldNotFound, {field->DisplayName()}, this);
      TFieldDef* def = fieldDefs_->Items(index);
      if (!TypesCompatible(field->DataType(), def->DataType()))
        DatabaseErrorFmt(dbtext::FieldTypeMismatch,
                         {field->DisplayName(), FieldTypeName(field->DataType()),
                          FieldTypeName(def->DataType())},
                         this);
      field->fieldNo_ = def->FieldNo();
      if (field->IsBlob()) {
        field->size_ = def->Size();
        field->offset_ = blobFieldCount_++;
      }
    }
    field->Bind(true);
  }
}

void TDataSet::ComputeCalcFields(TRecordBuffer buffer) {
  // The buffer is the calculation buffer from now on, also without
  // calculated fields: reading in calc-fields state reads this buffer.
  calcBuffer_ = buffer;
  if (calcFieldsSize_ == 0 || !buffer) return;
  TDataSetState saved = state_;
  state_ = dsCalcFields;
  try {
    CalculateFields(buffer);
  } catch (...) {
    state_ = saved;
    throw;
  }
  state_ = saved;
}

void TDataSet::CalculateFields(TRecordBuffer buffer) {
  calcBuffer_ = buffer;
  ClearCalcArea(buffer);
  for (TField* field : *fields_)
    if (field->FieldKind() == fkLookup) field->CalcLookupValue();
  FireOnCalcFields();
}

void TDataSet::GetFieldList(std::vector<TField*>& list, const std::string& fieldNames) const {
  list.clear();
  for (const std::string& name : SplitNameList(fieldNames)) list.push_back(FieldByName(name));
}

std::vector<std::string> TDataSet::GetFieldNames() {
  std::vector<std::string> names;
  if (fields_->Count() == 0) {
    fieldDefs_->Update();
    for (int i = 0; i < fieldDefs_->Count(); ++i) names.push_back(fieldDefs_->Items(i)->Name());
  } else {
    for (TField* f : *fields_) names.push_back(f->FieldName());
  }
  return names;
}

void TDataSet::GetFieldNames(TStrings* list) {
  list->BeginUpdate();
  list->Clear();
  for (const std::string& name : GetFieldNames()) list->Add(name);
  list->EndUpdate();
}

Variant TDataSet::FieldValues(const std::string& fieldNames) const {
  if (fieldNames.find(';') == std::string::npos) return FieldByName(Trim(fieldNames))->Value();
  std::vector<TField*> list;
  GetFieldList(list, fieldNames);
  std::vector<Variant> values;
  for (TField* f : list) values.push_back(f->Value());
  return dbvar::MakeArray(std::move(values));
}

void TDataSet::SetFieldValues(const std::string& fieldNames, const Variant& value) {
  if (fieldNames.find(';') == std::string::npos) {
    FieldByName(Trim(fieldNames))->SetValue(value);
    return;
  }
  std::vector<TField*> list;
  GetFieldList(list, fieldNames);
  for (std::size_t i = 0; i < list.size(); ++i) list[i]->SetValue(dbvar::Item(value, int(i)));
}

Variant TDataSet::ReadFieldValueInState(TDataSetState state, TField* field) {
  if (field->FieldKind() != fkData && field->FieldKind() != fkInternalCalc) return Null;
  TDataSetState saved = state_;
  state_ = state;
  try {
    Variant v = field->AsVariant();
    state_ = saved;
    return v;
  } catch (...) {
    state_ = saved;
    throw;
  }
}

void TDataSet::WriteFieldValueInState(TDataSetState state, TField* field, const Variant& value) {
  TDataSetState saved = SetTempState(state);
  try {
    field->SetAsVariant(value);
  } catch (...) {
    RestoreState(saved);
    throw;
  }
  RestoreState(saved);
}

// ============================================================================
// Defaults of the protocol
// ============================================================================

bool TDataSet::ReadCurrentRecord(TRecordBuffer) { return false; }
int TDataSet::CountRecords() { return -1; }
int TDataSet::GetRecordNumber() { return -1; }
void TDataSet::SetRecordNumber(int) {}
bool TDataSet::HasStableRecordNumbers() { return false; }
bool TDataSet::QueryCanModify() { return true; }
bool TDataSet::IsIndexedField(TField*) { return false; }
void TDataSet::ReleaseFieldBlob(TField*) {}

int TDataSet::ConvertText(const char* source, char* dest, bool) {
  std::size_t n = std::strlen(source);
  if (dest != source) std::memcpy(dest, source, n + 1);
  return int(n);
}

bool TDataSet::ConvertBcdToCurrency(const void* bcd, ::Currency& value) {
  return BCDToCurr(*static_cast<const TBcd*>(bcd), value);
}

void TDataSet::ConvertCurrencyToBcd(const ::Currency& value, void* bcd, int, int decimals) {
  CurrToBCD(value, *static_cast<TBcd*>(bcd), 32, std::clamp(decimals, 0, 4));
}

void TDataSet::SetFiltered(bool value) { filtered_ = value; }
void TDataSet::SetFilterText(const std::string& text) { filterText_ = text; }
void TDataSet::SetFilterOptions(TFilterOptions options) { filterOptions_ = options; }
void TDataSet::SetOnFilterRecord(TFilterRecordEvent handler) { onFilterRecord_ = std::move(handler); }
bool TDataSet::SearchFilterMatch(bool, bool) { return false; }
bool TDataSet::FindRecordByValues(const std::string&, const Variant&, TLocateOptions) { return false; }
Variant TDataSet::FetchValuesByKey(const std::string&, const Variant&, const std::string&) {
  return Null;
}
void TDataSet::ReportException(const Exception&) {}
TStream* TDataSet::CreateBlobStream(TField*, TBlobStreamMode) { return nullptr; }
bool TDataSet::ReadBlobContent(TField*, std::string&) { return false; }

void TDataSet::ApplyUpdates() {
  if (!cachedUpdates_) DatabaseError(dbtext::NotInCachedUpdates, this);
}
void TDataSet::CommitUpdates() {
  if (!cachedUpdates_) DatabaseError(dbtext::NotInCachedUpdates, this);
}
void TDataSet::CancelUpdates() {
  if (!cachedUpdates_) DatabaseError(dbtext::NotInCachedUpdates, this);
}
void TDataSet::RevertRecord() {
  if (!cachedUpdates_) DatabaseError(dbtext::NotInCachedUpdates, this);
}

// ============================================================================
// Data sources and master links
// ============================================================================

bool TDataSet::IsLinkedTo(TDataSource* source) const {
  while (source) {
    TDataSet* dataSet = source->DataSet();
    if (!dataSet) break;
    if (dataSet == this) return true;
    source = dataSet->GetDataSource();
  }
  return false;
}

void TDataSet::AddDataSource(TDataSource* source) {
  dataSources_.push_back(source);
  source->dataSet_ = this;
  UpdateBufferCount();
  source->UpdateState();
}

void TDataSet::RemoveDataSource(TDataSource* source) {
  source->dataSet_ = nullptr;
  dataSources_.erase(std::remove(dataSources_.begin(), dataSources_.end(), source), dataSources_.end());
  source->UpdateState();
  if (!ComponentState().Contains(csDestroying)) UpdateBufferCount();
}

void TDataSet::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
}
