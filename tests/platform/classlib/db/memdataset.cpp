#include "memdataset.h"

#include <cstring>

#include "platform/classlib/core/streams.h"
#include "platform/classlib/db/filterexpr.h"
#include "platform/classlib/core/strutils.h"

IMPLEMENT_CLASS(TMemDataSet, TDataSet)

namespace {
// A blob of one buffer; every write goes straight to the buffer, the field
// change is reported when the stream closes.
class TMemBlobStream : public TMemoryStream {
 public:
  TMemBlobStream(TMemDataSet* ds, TField* field, TRecordBuffer buffer, TBlobStreamMode mode)
      : ds_(ds), field_(field), buffer_(buffer) {
    if (mode == bmWrite) {
      ds_->StoreBlob(buffer_, field_, {});
      changed_ = true;
    } else {
      data_ = ds_->BlobOf(buffer_, field_);
    }
  }
  ~TMemBlobStream() override {
    if (!changed_) return;
    try {
      ds_->BroadcastDataEvent(deFieldChange, reinterpret_cast<std::intptr_t>(field_));
    } catch (...) {
    }
  }
  int64_t Write(const void* buffer, int64_t count) override {
    int64_t n = TMemoryStream::Write(buffer, count);
    changed_ = true;
    ds_->StoreBlob(buffer_, field_, data_);
    return n;
  }
  void SetSize(int64_t size) override {
    TMemoryStream::SetSize(size);
    changed_ = true;
    ds_->StoreBlob(buffer_, field_, data_);
  }

 private:
  TMemDataSet* ds_;
  TField* field_;
  TRecordBuffer buffer_;
  bool changed_ = false;
};
}  // namespace

TMemDataSet::TMemDataSet(TComponent* owner) : TDataSet(owner), masterLink_(this) {
  masterLink_.OnMasterChange = [this](TMasterDataLink*) { MasterChanged(); };
  masterLink_.OnMasterDisable = [this](TMasterDataLink*) { MasterChanged(); };
}

TMemDataSet::~TMemDataSet() {
  Destroying();
  Close();
  masterLink_.SetDataSource(nullptr);
}

void TMemDataSet::SetMasterSource(TDataSource* source) {
  if (source && IsLinkedTo(source)) DatabaseError(dbtext::CircularDataLink, this);
  masterLink_.SetDataSource(source);
}

void TMemDataSet::RemoveRowElsewhere(const TBookmarkStr& bookmark) {
  int id;
  std::memcpy(&id, bookmark.data(), sizeof id);
  int i = IndexOfId(id);
  if (i < 0) return;
  rows_.erase(rows_.begin() + i);
  if (pos_ > i || (pos_ == i && crack_)) --pos_;
  if (pos_ == i) crack_ = true;
  pos_ = std::max(pos_, 0);
}

// ---- opening ------------------------------------------------------------------

void TMemDataSet::OpenEngineCursor() {
  offsets_.clear();
  recordSize_ = 0;
  for (int i = 0; i < FieldDefs().Count(); ++i) {
    TFieldDef* def = FieldDefs()[i];
    std::unique_ptr<TField> probe(CreateFieldOfType(def->DataType(), nullptr));
    if (!probe) continue;
    if (def->Size() != 0) probe->SetSize(def->Size());
    offsets_[def->FieldNo()] = recordSize_;
    recordSize_ += 1 + probe->DataSize();
  }
  if (DefaultFields()) CreateFields();
  BindFields(true);
  SetBookmarkSize(int(sizeof(int)));
  open_ = true;
  scratch_ = NewRecordBuffer();
  filterBlob_ = BuildFilterBlob(Filter(), this, FilterOptions());
  MoveCursorToStart();
  MasterChanged();
}

void TMemDataSet::CloseEngineCursor() {
  if (scratch_) DisposeRecordBuffer(scratch_);
  BindFields(false);
  if (DefaultFields()) DestroyFields();
  open_ = false;
}

TRecordBuffer TMemDataSet::NewRecordBuffer() {
  TRecordBuffer b = new char[std::size_t(InfoOffset() + 8)]();
  blobs_[b].assign(std::size_t(BlobFieldCount()), std::string());
  return b;
}

void TMemDataSet::DisposeRecordBuffer(TRecordBuffer& buffer) {
  blobs_.erase(buffer);
  delete[] buffer;
  buffer = nullptr;
}

void TMemDataSet::ClearRecordBuffer(TRecordBuffer buffer) {
  std::memset(buffer, 0, std::size_t(recordSize_));
  for (auto& b : blobs_[buffer]) b.clear();
}

void TMemDataSet::InitNewRecord(TRecordBuffer buffer) {
  TDataSet::InitNewRecord(buffer);
  SetIdOf(buffer, 0);
}

// ---- rows and the cursor -------------------------------------------------------

int TMemDataSet::IndexOfId(int id) const {
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].id == id) return int(i);
  return -1;
}

void TMemDataSet::LoadRow(const Row& row, TRecordBuffer buffer) {
  std::memcpy(buffer, row.image.data(), std::size_t(recordSize_));
  blobs_[buffer] = row.blobs;
  blobs_[buffer].resize(std::size_t(BlobFieldCount()));
  SetIdOf(buffer, row.id);
  WriteBookmarkFlag(buffer, bfCurrent);
}

void TMemDataSet::StoreRow(TRecordBuffer buffer, Row& row) {
  row.image.assign(buffer, std::size_t(recordSize_));
  row.blobs = blobs_[buffer];
}

bool TMemDataSet::MatchesMaster(const Row& row) {
  if (masterValues_.empty()) return true;
  std::vector<TField*> details;
  GetFieldList(details, detailFields_);
  LoadRow(row, scratch_);
  filterBuffer_ = scratch_;
  TDataSetState saved = SetTempState(dsFilter);
  bool match = true;
  try {
    for (std::size_t i = 0; i < details.size() && i < masterValues_.size(); ++i)
      if (!dbvar::SameValue(details[i]->Value(), masterValues_[i], false, false)) match = false;
  } catch (...) {
    RestoreState(saved);
    throw;
  }
  RestoreState(saved);
  return match;
}

bool TMemDataSet::Visible(const Row& row) {
  if (!MatchesMaster(row)) return false;
  if (!(Filtered() || searching_) || !OnFilterRecord()) return true;
  LoadRow(row, scratch_);
  filterBuffer_ = scratch_;
  bool accept = true;
  TDataSetState saved = SetTempState(dsFilter);
  try {
    OnFilterRecord()(this, accept);
  } catch (...) {
    RestoreState(saved);
    throw;
  }
  RestoreState(saved);
  return accept;
}

TGetResult TMemDataSet::FetchRecord(TRecordBuffer buffer, TGetMode mode, bool check) {
  const int n = int(rows_.size());
  int found = -1;
  switch (mode) {
    case gmCurrent:
      if (!crack_ && pos_ < n && Visible(rows_[std::size_t(pos_)])) found = pos_;
      break;
    case gmNext:
      for (int i = crack_ ? pos_ : pos_ + 1; i < n; ++i)
        if (Visible(rows_[std::size_t(i)])) {
          found = i;
          break;
        }
      if (found < 0) {
        pos_ = n;
        crack_ = true;
        return grEOF;
      }
      break;
    case gmPrior:
      for (int i = std::min(pos_ - 1, n - 1); i >= 0; --i)
        if (Visible(rows_[std::size_t(i)])) {
          found = i;
          break;
        }
      if (found < 0) {
        pos_ = 0;
        crack_ = true;
        return grBOF;
      }
      break;
  }
  if (found < 0) {
    if (check) DatabaseError(dbtext::RecordNotFound, this);
    return grError;
  }
  pos_ = found;
  crack_ = false;
  LoadRow(rows_[std::size_t(found)], buffer);
  ComputeCalcFields(buffer);
  return grOK;
}

void TMemDataSet::MoveCursorToStart() {
  pos_ = 0;
  crack_ = true;
}

void TMemDataSet::MoveCursorToEnd() {
  pos_ = int(rows_.size());
  crack_ = true;
}

void TMemDataSet::MoveCursorToBookmark(TBookmark bookmark) {
  int id;
  std::memcpy(&id, bookmark, sizeof id);
  int i = IndexOfId(id);
  if (i < 0) DatabaseError(dbtext::BookmarkNotFound, this);
  pos_ = i;
  crack_ = false;
}

void TMemDataSet::MoveCursorToBuffer(TRecordBuffer buffer) {
  MoveCursorToBookmark(buffer + InfoOffset());
}

void TMemDataSet::CopyBookmarkFromBuffer(TRecordBuffer buffer, void* data) {
  std::memcpy(data, buffer + InfoOffset(), sizeof(int));
}

void TMemDataSet::CopyBookmarkToBuffer(TRecordBuffer buffer, const void* data) {
  std::memcpy(buffer + InfoOffset(), data, sizeof(int));
}

TBookmarkFlag TMemDataSet::ReadBookmarkFlag(TRecordBuffer buffer) {
  return TBookmarkFlag(buffer[InfoOffset() + 4]);
}

void TMemDataSet::WriteBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
  buffer[InfoOffset() + 4] = char(flag);
}

bool TMemDataSet::CheckBookmark(TBookmark bookmark) {
  if (!bookmark || !open_) return false;
  int id;
  std::memcpy(&id, bookmark, sizeof id);
  return IndexOfId(id) >= 0;
}

int TMemDataSet::CompareBookmarks(TBookmark a, TBookmark b) {
  if (!a || !b) return TDataSet::CompareBookmarks(a, b);
  int ida, idb;
  std::memcpy(&ida, a, sizeof ida);
  std::memcpy(&idb, b, sizeof idb);
  int ia = IndexOfId(ida), ib = IndexOfId(idb);
  return ia < ib ? -1 : ia > ib ? 1 : 0;
}

bool TMemDataSet::ReadCurrentRecord(TRecordBuffer buffer) {
  if (WindowRecordCount() == 0 || ReadBookmarkFlag(ActiveBuffer()) != bfCurrent) return false;
  UpdateCursorPos();
  if (crack_ || pos_ >= int(rows_.size())) return false;
  LoadRow(rows_[std::size_t(pos_)], buffer);
  return true;
}

int TMemDataSet::CountRecords() {
  EnsureOpen();
  int n = 0;
  for (const Row& row : rows_)
    if (Visible(row)) ++n;
  return n;
}

int TMemDataSet::GetRecordNumber() {
  EnsureOpen();
  TRecordBuffer buffer = State() == dsCalcFields ? CalcBuffer() : ActiveBuffer();
  if (!buffer || WindowRecordCount() == 0 || ReadBookmarkFlag(buffer) != bfCurrent) return -1;
  int id = IdOf(buffer), n = 0;
  for (const Row& row : rows_) {
    if (!Visible(row)) continue;
    ++n;
    if (row.id == id) return n;
  }
  return -1;
}

void TMemDataSet::SetRecordNumber(int value) {
  CheckBrowseMode();
  if (value == GetRecordNumber()) return;
  int n = 0;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (!Visible(rows_[i]) || ++n != value) continue;
    FireBeforeScroll();
    pos_ = int(i);
    crack_ = false;
    RefreshWindow(TResyncMode{rmCenter});
    FireAfterScroll();
    return;
  }
}

// ---- field data ----------------------------------------------------------------

TRecordBuffer TMemDataSet::BufferForState() {
  switch (State()) {
    case dsBrowse:
      return WindowRecordCount() > 0 ? ActiveBuffer() : nullptr;
    case dsEdit:
    case dsInsert:
    case dsNewValue:
    case dsOldValue:
      return ActiveBuffer();
    case dsCalcFields:
      return CalcBuffer();
    case dsFilter:
      return filterBuffer_;
    default:
      return nullptr;
  }
}

bool TMemDataSet::ReadFieldData(TField* field, void* dest) {
  TRecordBuffer buffer = BufferForState();
  if (!buffer) return false;
  if (State() == dsOldValue && ReadBookmarkFlag(buffer) == bfCurrent) {
    int i = IndexOfId(IdOf(buffer));
    if (i >= 0) {
      LoadRow(rows_[std::size_t(i)], scratch_);
      buffer = scratch_;
    }
  }
  const char* slot;
  if (field->FieldNo() < 1) {
    slot = buffer + recordSize_ + field->Offset();
  } else {
    auto it = offsets_.find(field->FieldNo());
    if (it == offsets_.end()) return false;
    slot = buffer + it->second;
  }
  if (!slot[0]) return false;
  if (dest && field->DataSize() > 0) std::memcpy(dest, slot + 1, std::size_t(field->DataSize()));
  return true;
}

void TMemDataSet::WriteFieldData(TField* field, const void* source) {
  const TDataSetState state = State();
  if (!(IsEditState(state) || state == dsCalcFields || state == dsFilter || state == dsNewValue))
    DatabaseError(dbtext::NotEditing, this);
  TRecordBuffer buffer = BufferForState();
  char* slot;
  if (field->FieldNo() < 1) {
    slot = buffer + recordSize_ + field->Offset();
  } else {
    if (state == dsCalcFields) DatabaseError(dbtext::NotEditing, this);
    if (field->ReadOnly() && state != dsFilter)
      DatabaseErrorFmt(dbtext::FieldReadOnly, {field->DisplayName()}, this);
    field->Validate(source);
    slot = buffer + offsets_.at(field->FieldNo());
  }
  slot[0] = source ? 1 : 0;
  if (field->DataSize() > 0) {
    if (source)
      std::memcpy(slot + 1, source, std::size_t(field->DataSize()));
    else
      std::memset(slot + 1, 0, std::size_t(field->DataSize()));
  }
  if (state != dsCalcFields && state != dsFilter && state != dsNewValue)
    BroadcastDataEvent(deFieldChange, reinterpret_cast<std::intptr_t>(field));
}

void TMemDataSet::StoreBlob(TRecordBuffer buffer, TField* field, const std::string& data) {
  auto& slots = blobs_[buffer];
  slots.resize(std::size_t(BlobFieldCount()));
  slots[std::size_t(field->Offset())] = data;
  buffer[offsets_.at(field->FieldNo())] = data.empty() ? 0 : 1;
}

const std::string& TMemDataSet::BlobOf(TRecordBuffer buffer, TField* field) {
  auto& slots = blobs_[buffer];
  slots.resize(std::size_t(BlobFieldCount()));
  return slots[std::size_t(field->Offset())];
}

TStream* TMemDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  if (State() == dsFilter) DatabaseErrorFmt(dbtext::FieldInFilter, {field->DisplayName()}, this);
  TRecordBuffer buffer = BufferForState();
  if (mode != bmRead) {
    if (field->ReadOnly()) DatabaseErrorFmt(dbtext::FieldReadOnly, {field->DisplayName()}, this);
    if (!IsEditState(State())) DatabaseError(dbtext::NotEditing, this);
  }
  if (!buffer) return new TMemoryStream();
  return new TMemBlobStream(this, field, buffer, mode);
}

// ---- changing rows ---------------------------------------------------------------

void TMemDataSet::BeginRecordEdit() {
  if (BeforeCursorOperation) BeforeCursorOperation("edit");
}

void TMemDataSet::WriteRecordToCursor() {
  if (BeforeCursorOperation) BeforeCursorOperation("post");
  TRecordBuffer buffer = ActiveBuffer();
  if (State() == dsEdit) {
    int i = IndexOfId(IdOf(buffer));
    if (i < 0) DatabaseError(dbtext::BookmarkNotFound, this);
    StoreRow(buffer, rows_[std::size_t(i)]);
    pos_ = i;
    crack_ = false;
    return;
  }
  AddRecordToCursor(buffer, false);
}

void TMemDataSet::AddRecordToCursor(TRecordBuffer buffer, bool append) {
  Row row;
  row.id = nextId_++;
  StoreRow(buffer, row);
  int at = append ? int(rows_.size()) : std::clamp(pos_, 0, int(rows_.size()));
  rows_.insert(rows_.begin() + at, std::move(row));
  pos_ = at;
  crack_ = false;
}

void TMemDataSet::DeleteCurrentRecord() {
  if (BeforeCursorOperation) BeforeCursorOperation("delete");
  if (crack_ || pos_ >= int(rows_.size())) DatabaseError(dbtext::RecordNotFound, this);
  rows_.erase(rows_.begin() + pos_);
  crack_ = true;
}

// ---- filters, searching ------------------------------------------------------------

void TMemDataSet::RestartIfOpen() {
  if (Active()) {
    CheckBrowseMode();
    First();
  }
}

void TMemDataSet::SetFiltered(bool value) {
  if (Active()) CheckBrowseMode();
  TDataSet::SetFiltered(value);
  RestartIfOpen();
}

void TMemDataSet::SetFilterText(const std::string& text) {
  // Expressions are evaluated by the engine's cursors; this dataset only
  // parses them (while open, when its fields are known), so that a bad filter
  // is refused here too.
  if (Active()) filterBlob_ = BuildFilterBlob(text, this, FilterOptions());
  TDataSet::SetFilterText(text);
  if (Filtered()) RestartIfOpen();
}

void TMemDataSet::SetOnFilterRecord(TFilterRecordEvent handler) {
  TDataSet::SetOnFilterRecord(std::move(handler));
  if (Filtered()) RestartIfOpen();
}

bool TMemDataSet::SearchFilterMatch(bool restart, bool forward) {
  CheckBrowseMode();
  FireBeforeScroll();
  UpdateCursorPos();
  CursorPosChanged();
  searching_ = true;
  bool found = false;
  try {
    if (restart) {
      if (forward)
        MoveCursorToStart();
      else
        MoveCursorToEnd();
    }
    found = FetchRecord(TempBuffer(), forward ? gmNext : gmPrior, false) == grOK;
  } catch (...) {
    searching_ = false;
    throw;
  }
  searching_ = false;
  if (found) RefreshWindow(TResyncMode{rmExact, rmCenter});
  SetFound(found);
  if (found) FireAfterScroll();
  return found;
}

Variant TMemDataSet::RowValues(const Row& row, const std::string& fieldNames) {
  LoadRow(row, scratch_);
  ComputeCalcFields(scratch_);
  filterBuffer_ = scratch_;
  TDataSetState saved = SetTempState(dsFilter);
  try {
    Variant v = FieldValues(fieldNames);
    RestoreState(saved);
    return v;
  } catch (...) {
    RestoreState(saved);
    throw;
  }
}

int TMemDataSet::FindRow(const std::string& keyFields, const Variant& keyValues,
                         TLocateOptions options) {
  std::vector<TField*> keys;
  GetFieldList(keys, keyFields);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (!Visible(rows_[i])) continue;
    Variant values = RowValues(rows_[i], keyFields);
    bool match = true;
    for (std::size_t k = 0; k < keys.size() && match; ++k) {
      Variant want = keys.size() == 1 ? keyValues : dbvar::Item(keyValues, int(k));
      Variant have = keys.size() == 1 ? values : dbvar::Item(values, int(k));
      bool partial = options.Contains(loPartialKey) && k + 1 == keys.size();
      match = dbvar::SameValue(have, want, options.Contains(loCaseInsensitive), partial);
    }
    if (match) return int(i);
  }
  return -1;
}

bool TMemDataSet::FindRecordByValues(const std::string& keyFields, const Variant& keyValues,
                                     TLocateOptions options) {
  CheckBrowseMode();
  int i = FindRow(keyFields, keyValues, options);
  if (i < 0) return false;
  FireBeforeScroll();
  pos_ = i;
  crack_ = false;
  RefreshWindow(TResyncMode{rmExact, rmCenter});
  FireAfterScroll();
  return true;
}

Variant TMemDataSet::FetchValuesByKey(const std::string& keyFields, const Variant& keyValues,
                                      const std::string& resultFields) {
  EnsureOpen();
  int i = FindRow(keyFields, keyValues, {});
  if (i < 0) return Null;
  return RowValues(rows_[std::size_t(i)], resultFields);
}

// ---- master-detail ---------------------------------------------------------------

void TMemDataSet::MasterChanged() {
  masterValues_.clear();
  if (masterLink_.Active())
    for (TField* f : masterLink_.Fields()) masterValues_.push_back(f->Value());
  if (Active()) {
    CheckBrowseMode();
    First();
  }
}

void TMemDataSet::FireOnNewRecord() {
  if (masterLink_.Active() && !masterLink_.Fields().empty()) {
    std::vector<TField*> details;
    GetFieldList(details, detailFields_);
    for (std::size_t i = 0; i < details.size() && i < masterLink_.Fields().size(); ++i)
      details[i]->SetValue(masterLink_.Fields()[i]->Value());
  }
  TDataSet::FireOnNewRecord();
}
