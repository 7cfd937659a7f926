#include "dbengine/ttdataset.h"

#include <algorithm>
#include <cstring>

#include "dbengine/memtable.h"
#include "dbengine/ttblobstream.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/filterexpr.h"

IMPLEMENT_CLASS(TTDataSetUpdateObject, TComponent)
IMPLEMENT_CLASS(ENoResultSet, EDatabaseError)
IMPLEMENT_CLASS(TttBDEDataset, TDataSet)

PUBLISHED(TttBDEDataset) { PublishBDEDatasetProperties(P); }

namespace {

constexpr DBIResult kCategoryRecordNotFound = 0x22;
constexpr DBIResult kUpdateAborted = 0x3306;
constexpr std::int32_t kReadWrite = 0;  // engine open mode
constexpr std::uint16_t kMoneySubType = 21;
constexpr std::uint16_t kAutoIncSubType = 29;

// The data type of an engine field; ftUnknown skips the field.
TFieldType DataTypeOf(const TFieldDesc& desc, int& size, int& precision) {
  size = 0;
  precision = 0;
  switch (desc.FieldType) {
    case fldtype::ZString:
      size = desc.Units1;
      return size == 0 ? ftUnknown : ftString;
    case fldtype::Date: return ftDate;
    case fldtype::Blob: {
      size = desc.Units1;
      static const TFieldType kBlobTypes[] = {ftMemo, ftBlob, ftFmtMemo, ftParadoxOle,
                                              ftGraphic, ftDBaseOle, ftTypedBinary};
      if (desc.SubType >= 22 && desc.SubType <= 28) return kBlobTypes[desc.SubType - 22];
      return ftBlob;
    }
    case fldtype::Bool: return ftBoolean;
    case fldtype::Int16:
    case fldtype::UInt16:
      if (desc.Length == 1) return ftSmallint;
      if (desc.Length == 2) return desc.FieldType == fldtype::Int16 ? ftSmallint : ftWord;
      return ftUnknown;
    case fldtype::Int32: return desc.SubType == kAutoIncSubType ? ftAutoInc : ftInteger;
    case fldtype::Float: return desc.SubType == kMoneySubType ? ftCurrency : ftFloat;
    case fldtype::BCD:
      size = std::abs(desc.Units2);
      precision = desc.Units1;
      return ftBCD;
    case fldtype::Bytes: size = desc.Units1; return ftBytes;
    case fldtype::Time: return ftTime;
    case fldtype::TimeStamp: return ftDateTime;
    case fldtype::UInt32: return ftInteger;
    case fldtype::VarBytes: size = desc.Units1; return ftVarBytes;
    default: return ftUnknown;
  }
}

// The record image the engine reads and writes: its values and, behind them,
// the fields' status area.
std::uint16_t RecordImageSize(const TCursorProps& props) {
  // Copied out first: the packed fields may be misaligned for a reference.
  const std::uint16_t recordSize = props.RecordSize;
  const std::uint16_t bufferSize = props.RecordBufferSize;
  return std::max(recordSize, bufferSize);
}

}  // namespace

// ============================================================================
// Construction and opening
// ============================================================================

TttBDEDataset::TttBDEDataset(TComponent* owner) : TDataSet(owner) {}

TttBDEDataset::~TttBDEDataset() {
  Destroying();
  try {
    Close();
  } catch (const Exception&) {
    // The handle is released by ShutCursor as far as the engine allows.
  }
  yieldCallback_.reset();
  SetUpdateObject(nullptr);
}

void TttBDEDataset::OpenCursorAndFields(bool infoOnly) {
  if (!infoOnly && !yieldCallback_) {
    yieldStep_.fill(0);
    yieldCallback_ = std::make_unique<TttBDECallback>(
        Engine(), this, 4, reinterpret_cast<std::intptr_t>(this), yieldStep_.data(),
        std::uint16_t(yieldStep_.size()), [](std::intptr_t data, void* buffer) {
          std::uint16_t step = 0;
          std::memcpy(&step, buffer, sizeof step);
          return reinterpret_cast<TttBDEDataset*>(data)->YieldRoutine(step);
        });
  }
  cursor_ = OpenCursorHandle();
  if (!cursor_) {
    StopWaitCursor();
    throw ENoResultSet(datasettext::NoCursorHandle);
  }
  TDataSet::OpenCursorAndFields(infoOnly);
}

void TttBDEDataset::ShutCursor() {
  TDataSet::ShutCursor();
  yieldCallback_.reset();
  if (cursor_) {
    CloseCursorHandle();
    cursor_ = nullptr;
  }
}

void TttBDEDataset::CloseCursorHandle() {
  if (!cursor_ || !Engine()) return;
  Engine()->CancelRecordChange(cursor_, nullptr);
  Engine()->CloseCursor(cursor_);
}

void TttBDEDataset::ComputeLayout() {
  TCursorProps props{};
  Check(Engine()->GetCursorProperties(cursor_, props));
  recordSize_ = RecordImageSize(props);
  SetBookmarkSize(props.BookmarkSize);
  blobCacheOffset_ = std::uint16_t(recordSize_ + CalcFieldsSize());
  recordInfoOffset_ = std::uint16_t(blobCacheOffset_ + sizeof(std::string*) * BlobFieldCount());
  bookmarkOffset_ = std::uint16_t(recordInfoOffset_ + sizeof(TRecInfo));
  recordBufferSize_ = std::uint16_t(bookmarkOffset_ + BookmarkSize());
}

void TttBDEDataset::OpenEngineCursor() {
  if (CachedUpdates()) Check(Engine()->BeginCachedUpdates(cursor_));
  constraintLayer_ = Constraints().Count() > 0;
  for (TField* field : Fields())
    if (field->HasConstraints()) constraintLayer_ = true;
  if (constraintLayer_) Check(Engine()->InstallConstraintCheck(cursor_, nullptr, 0));
  TCursorProps props{};
  Check(Engine()->GetCursorProperties(cursor_, props));
  recordSize_ = RecordImageSize(props);
  SetBookmarkSize(props.BookmarkSize);
  canModify_ = props.OpenMode == kReadWrite && props.TempTable == 0;
  recordNumberKind_ = std::uint8_t(props.SeqNums);
  LoadFieldDefs();
  GetIndexInfo();
  if (DefaultFields()) CreateFields();
  BindFields(true);
  ComputeLayout();
  if (CachedUpdates()) {
    AllocUpdateBuffers(true);
    SetupUpdateCallback();
  }
  AllocKeyBuffers();
  Engine()->SetToStart(cursor_);
  PrepareOpenedCursor();
  if (!Filter().empty()) CreateExprFilter();
  if (OnFilterRecord()) CreateFuncFilter();
  if (Filtered()) ActivateFilters(true);
}

void TttBDEDataset::CloseEngineCursor() {
  exprFilter_ = nullptr;
  funcFilter_ = nullptr;
  FreeKeyBuffers();
  if (CachedUpdates() && cursor_) {
    updateCallback_.reset();
    AllocUpdateBuffers(false);
    if (constraintLayer_) Engine()->RemoveConstraintCheck(cursor_);
    Engine()->EndCachedUpdates(cursor_);
  }
  BindFields(false);
  if (DefaultFields()) DestroyFields();
  indexFieldCount_ = 0;
  keySize_ = 0;
  expressionIndex_ = false;
  canModify_ = false;
}

void TttBDEDataset::AddFieldDesc(const TFieldDesc& desc, bool required, int fieldNo) {
  int size = 0;
  int precision = 0;
  TFieldType type = DataTypeOf(desc, size, precision);
  if (type == ftUnknown) return;
  std::string engineName(desc.Name, strnlen(desc.Name, sizeof desc.Name));
  std::string name = engineName;
  for (int n = 1; FieldDefs().IndexOf(name) >= 0; ++n) name = Format("%s_%d", {engineName, n});
  TFieldDef* def = FieldDefs().Add(name, type, size, required);
  def->SetPrecision(precision);
  def->SetInternalCalcField(desc.Calculated != 0);
  (void)fieldNo;
}

void TttBDEDataset::LoadFieldDefs() {
  TCursorProps props{};
  Engine()->GetCursorProperties(cursor_, props);
  std::vector<bool> required(256, false);
  for (std::uint16_t i = 1; i <= props.CheckCount; ++i) {
    std::uint8_t check[128] = {};
    if (Engine()->GetFieldCheckDescriptor(cursor_, i, check) != 0) continue;
    std::uint16_t fieldNo = 0, isRequired = 0, hasDefault = 0;
    std::memcpy(&fieldNo, check, 2);
    std::memcpy(&isRequired, check + 2, 2);
    std::memcpy(&hasDefault, check + 6, 2);
    if (isRequired && !hasDefault && fieldNo >= 1 && fieldNo <= 256) required[fieldNo - 1] = true;
  }
  std::vector<TFieldDesc> descs(props.FieldCount);
  if (!descs.empty()) Check(Engine()->GetFieldDescriptors(cursor_, descs.data()));
  FieldDefs().Clear();
  for (std::size_t i = 0; i < descs.size(); ++i)
    AddFieldDesc(descs[i], i < 256 && required[i], int(i + 1));
}

// ============================================================================
// Record buffers
// ============================================================================

std::string* TttBDEDataset::BlobCache(TRecordBuffer buffer, int blobIndex) const {
  if (!buffer || blobIndex < 0 || blobIndex >= BlobFieldCount()) return nullptr;
  std::string* slot = nullptr;
  std::memcpy(&slot, buffer + blobCacheOffset_ + sizeof(std::string*) * std::size_t(blobIndex), sizeof slot);
  return slot;
}

TRecordBuffer TttBDEDataset::NewRecordBuffer() {
  auto buffer = new char[recordBufferSize_ ? recordBufferSize_ : 1];
  for (int i = 0; i < BlobFieldCount(); ++i) {
    auto* text = new std::string();
    std::memcpy(buffer + blobCacheOffset_ + sizeof(std::string*) * std::size_t(i), &text, sizeof text);
  }
  return buffer;
}

void TttBDEDataset::DisposeRecordBuffer(TRecordBuffer& buffer) {
  if (!buffer) return;
  for (int i = 0; i < BlobFieldCount(); ++i) delete BlobCache(buffer, i);
  delete[] buffer;
  buffer = nullptr;
}

void TttBDEDataset::ClearBlobCache(TRecordBuffer buffer) {
  if (!cacheBlobs_) return;
  for (int i = 0; i < BlobFieldCount(); ++i)
    if (std::string* text = BlobCache(buffer, i)) text->clear();
}

void TttBDEDataset::ClearRecordBuffer(TRecordBuffer buffer) {
  Engine()->InitRecord(cursor_, reinterpret_cast<std::uint8_t*>(buffer));
}

void TttBDEDataset::ClearCalcArea(TRecordBuffer buffer) {
  if (buffer && CalcFieldsSize() > 0) std::memset(buffer + recordSize_, 0, std::size_t(CalcFieldsSize()));
}

void TttBDEDataset::InitNewRecord(TRecordBuffer buffer) {
  TDataSet::InitNewRecord(buffer);
  ClearBlobCache(buffer);
  TRecInfo* info = RecInfo(buffer);
  info->RecordNumber = -1;
  info->UpdateStatus = recstatus::Inserted;
  info->BookmarkFlag = bfInserted;
}

TGetResult TttBDEDataset::FetchRecord(TRecordBuffer buffer, TGetMode mode, bool check) {
  auto* record = reinterpret_cast<std::uint8_t*>(buffer);
  DBIResult code = 0;
  switch (mode) {
    case gmCurrent: code = Engine()->GetCurrentRecord(cursor_, 0, record, &recordProps_); break;
    case gmNext: code = Engine()->GetNextRecord(cursor_, 0, record, &recordProps_); break;
    case gmPrior: code = Engine()->GetPriorRecord(cursor_, 0, record, &recordProps_); break;
  }
  switch (code) {
    case 0: {
      TRecInfo* info = RecInfo(buffer);
      info->UpdateStatus = std::uint8_t(recordProps_.Status & 0xFF);
      info->BookmarkFlag = bfCurrent;
      info->RecordNumber = -1;
      ClearBlobCache(buffer);
      ComputeCalcFields(buffer);
      Check(Engine()->GetBookmark(cursor_, reinterpret_cast<std::uint8_t*>(buffer + bookmarkOffset_)));
      return grOK;
    }
    case dberr::Bof: return grBOF;
    case dberr::Eof: return grEOF;
    default:
      if (check) Check(code);
      return grError;
  }
}

// ============================================================================
// Field data
// ============================================================================

void TttBDEDataset::ReadOldRecord() {
  // The cursor property must not stay set when the read fails: later reads
  // would show old values as current ones.
  Check(Engine()->SetProperty(cursor_, kOldValuesProperty, 1));
  try {
    oldValues_.assign(recordBufferSize_, 0);
    Check(Engine()->GetCurrentRecord(cursor_, 0, oldValues_.data(), nullptr));
  } catch (...) {
    Engine()->SetProperty(cursor_, kOldValuesProperty, 0);
    throw;
  }
  Engine()->SetProperty(cursor_, kOldValuesProperty, 0);
}

TRecordBuffer TttBDEDataset::StateBuffer() {
  switch (State()) {
    case dsBrowse: return IsEmpty() ? nullptr : ActiveBuffer();
    case dsEdit:
    case dsInsert: return ActiveBuffer();
    case dsSetKey: return reinterpret_cast<TRecordBuffer>(GetKeyBuffer(currentKey_));
    case dsCalcFields: return CalcBuffer();
    case dsFilter: return filterBuffer_;
    case dsNewValue:
      return inUpdateCallback_ ? reinterpret_cast<TRecordBuffer>(updateInfo_.NewRecord) : ActiveBuffer();
    case dsOldValue:
      if (inUpdateCallback_) return reinterpret_cast<TRecordBuffer>(updateInfo_.OldRecord);
      ReadOldRecord();
      return reinterpret_cast<TRecordBuffer>(oldValues_.data());
    default: return nullptr;
  }
}

bool TttBDEDataset::ReadFieldData(TField* field, void* dest) {
  if (!cursor_) return false;
  TDataSetState state = State();
  if (field->FieldNo() < 1) {
    if (state != dsBrowse && state != dsEdit && state != dsInsert && state != dsCalcFields) return false;
    TRecordBuffer buffer = state == dsCalcFields ? CalcBuffer() : (state == dsBrowse && IsEmpty() ? nullptr : ActiveBuffer());
    if (!buffer) return false;
    const char* area = buffer + recordSize_ + field->Offset();
    bool notNull = area[0] != 0;
    if (notNull && dest) std::memcpy(dest, area + 1, std::size_t(field->DataSize()));
    return notNull;
  }
  // Browsing is the state nearly every read is made in: it needs no call.
  TRecordBuffer buffer = state == dsBrowse ? (IsEmpty() ? nullptr : ActiveBuffer()) : StateBuffer();
  if (!buffer) return false;
  bool blank = false;
  auto* record = reinterpret_cast<std::uint8_t*>(buffer);
  if (dest)
    Check(Engine()->GetField(cursor_, std::uint16_t(field->FieldNo()), record, dest, blank));
  else
    Check(Engine()->GetFieldIsBlank(cursor_, std::uint16_t(field->FieldNo()), record, blank));
  return !blank;
}

void TttBDEDataset::WriteFieldData(TField* field, const void* source) {
  TDataSetState state = State();
  if (state != dsEdit && state != dsInsert && state != dsSetKey && state != dsCalcFields &&
      state != dsFilter && state != dsNewValue)
    DatabaseError(dbtext::NotEditing, this);
  if (state == dsSetKey && (field->FieldNo() < 1 || (indexFieldCount_ > 0 && !IsIndexedField(field))))
    DatabaseErrorFmt(dbtext::NotIndexField, {field->DisplayName()});
  if (field->FieldNo() < 1) {
    TRecordBuffer buffer = state == dsCalcFields ? CalcBuffer() : ActiveBuffer();
    char* area = buffer + recordSize_ + field->Offset();
    area[0] = source ? 1 : 0;
    if (source) std::memcpy(area + 1, source, std::size_t(field->DataSize()));
  } else {
    if (state == dsCalcFields) DatabaseError(dbtext::NotEditing, this);
    if (field->ReadOnly() && state != dsSetKey && state != dsFilter)
      DatabaseErrorFmt(dbtext::FieldReadOnly, {field->DisplayName()});
    field->Validate(source);
    TRecordBuffer buffer = StateBuffer();
    Check(Engine()->PutField(cursor_, std::uint16_t(field->FieldNo()),
                             reinterpret_cast<std::uint8_t*>(buffer), source));
    // A key entered field by field covers the index fields up to the last one set.
    if (state == dsSetKey) {
      for (int i = 0; i < indexFieldCount_; ++i)
        if (indexFieldMap_[std::size_t(i)] == field->FieldNo())
          KeyHeader(currentKey_)->FieldCount = std::max(KeyHeader(currentKey_)->FieldCount, i + 1);
    }
  }
  if (state != dsCalcFields && state != dsFilter && state != dsNewValue)
    BroadcastDataEvent(deFieldChange, reinterpret_cast<std::intptr_t>(field));
}

Variant TttBDEDataset::ReadFieldValueInState(TDataSetState state, TField* field) {
  if (!CachedUpdates()) DatabaseError(dbtext::NotInCachedUpdates, this);
  return TDataSet::ReadFieldValueInState(state, field);
}

void TttBDEDataset::WriteFieldValueInState(TDataSetState state, TField* field, const Variant& value) {
  if (!CachedUpdates()) DatabaseError(dbtext::NotInCachedUpdates, this);
  TDataSet::WriteFieldValueInState(state, field, value);
}

TStream* TttBDEDataset::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  return new TttBlobStream(this, BlobFieldOf(field), mode);
}

bool TttBDEDataset::ReadBlobContent(TField* field, std::string& out) {
  // Other states read other buffers (or raise), as the stream decides.
  const TDataSetState state = State();
  if (!cursor_ || (state != dsBrowse && !IsEditState(state))) return false;
  TBlobField* blob = BlobFieldOf(field);
  TRecordBuffer buffer = StateBuffer();
  // An unposted change is held by the engine's open blob; a calculated blob
  // has no cache slot of its own.
  if (!blob || blob->FieldNo() < 1 || blob->Modified() || !buffer) return false;
  const TBlobCacheRead plan = PlanBlobCacheRead(this, blob, buffer);
  if (!plan.cached && !plan.wholePending) return false;
  if (plan.wholePending)
    Check(Engine()->ReadWholeBlob(cursor_, reinterpret_cast<std::uint8_t*>(buffer),
                                  std::uint16_t(blob->FieldNo()), *plan.cache));
  out = *plan.cache;
  return true;
}

void TttBDEDataset::ReleaseFieldBlob(TField* field) {
  if (cursor_ && ActiveBuffer())
    Engine()->FreeBlob(cursor_, reinterpret_cast<std::uint8_t*>(ActiveBuffer()), std::uint16_t(field->FieldNo()));
}

// ============================================================================
// Editing
// ============================================================================

void TttBDEDataset::BeginRecordEdit() {
  // A read-only cursor (changes cached for an update handler or object)
  // cannot lock its record, and its edit never reaches the table.
  const int lock = canModify_ ? 1 : 0;
  Check(Engine()->GetCurrentRecord(cursor_, lock, reinterpret_cast<std::uint8_t*>(ActiveBuffer()), nullptr));
  ClearBlobCache(ActiveBuffer());
}

void TttBDEDataset::CancelRecordEdit() { Engine()->CancelRecordChange(cursor_, nullptr); }

void TttBDEDataset::WriteRecordToCursor() {
  auto* record = reinterpret_cast<std::uint8_t*>(ActiveBuffer());
  if (State() == dsEdit)
    Check(Engine()->ModifyRecord(cursor_, record, 1));
  else
    Check(Engine()->InsertRecord(cursor_, 0, record));
}

void TttBDEDataset::AddRecordToCursor(TRecordBuffer buffer, bool append) {
  auto* record = reinterpret_cast<std::uint8_t*>(buffer);
  Check(append ? Engine()->AppendRecord(cursor_, record) : Engine()->InsertRecord(cursor_, 0, record));
}

void TttBDEDataset::DeleteCurrentRecord() {
  DBIResult code = Engine()->DeleteRecord(cursor_, nullptr);
  if (code != 0 && (code >> 8) != kCategoryRecordNotFound) Check(code);
}

void TttBDEDataset::RefetchFromCursor() { Check(Engine()->SetRereadFlag(cursor_)); }

void TttBDEDataset::PostChanges() {
  TDataSet::PostChanges();
  if (State() == dsSetKey) PostKeyBuffer(true);
}

void TttBDEDataset::CancelChanges() {
  TDataSet::CancelChanges();
  if (State() == dsSetKey) PostKeyBuffer(false);
}

// ============================================================================
// Moves and bookmarks
// ============================================================================

void TttBDEDataset::MoveCursorToStart() { Check(Engine()->SetToStart(cursor_)); }
void TttBDEDataset::MoveCursorToEnd() { Check(Engine()->SetToEnd(cursor_)); }

void TttBDEDataset::MoveCursorToBookmark(TBookmark bookmark) {
  Check(Engine()->SetToBookmark(cursor_, reinterpret_cast<const std::uint8_t*>(bookmark)));
}

void TttBDEDataset::MoveCursorToBuffer(TRecordBuffer buffer) { MoveCursorToBookmark(buffer + bookmarkOffset_); }

void TttBDEDataset::CopyBookmarkFromBuffer(TRecordBuffer buffer, void* data) {
  std::memcpy(data, buffer + bookmarkOffset_, std::size_t(BookmarkSize()));
}

void TttBDEDataset::CopyBookmarkToBuffer(TRecordBuffer buffer, const void* data) {
  std::memcpy(buffer + bookmarkOffset_, data, std::size_t(BookmarkSize()));
}

TBookmarkFlag TttBDEDataset::ReadBookmarkFlag(TRecordBuffer buffer) {
  return TBookmarkFlag(RecInfo(buffer)->BookmarkFlag);
}

void TttBDEDataset::WriteBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
  RecInfo(buffer)->BookmarkFlag = std::uint8_t(flag);
}

bool TttBDEDataset::CheckBookmark(TBookmark bookmark) {
  if (!cursor_ || !bookmark) return false;
  CursorPosChanged();
  if (Engine()->SetToBookmark(cursor_, reinterpret_cast<const std::uint8_t*>(bookmark)) != 0) return false;
  return Engine()->GetCurrentRecord(cursor_, 0, nullptr, nullptr) == 0;
}

int TttBDEDataset::CompareBookmarks(TBookmark a, TBookmark b) {
  if (a && b) {
    int comparison = 0;
    if (cursor_)
      Check(Engine()->CompareBookmarks(cursor_, reinterpret_cast<const std::uint8_t*>(a),
                                       reinterpret_cast<const std::uint8_t*>(b), comparison));
    return comparison == 2 ? 0 : comparison;
  }
  if (a) return -1;
  if (b) return 1;
  return 0;
}

bool TttBDEDataset::ReadCurrentRecord(TRecordBuffer buffer) {
  if (WindowRecordCount() == 0 || ReadBookmarkFlag(ActiveBuffer()) != bfCurrent) return false;
  UpdateCursorPos();
  return Engine()->GetCurrentRecord(cursor_, 0, reinterpret_cast<std::uint8_t*>(buffer), nullptr) == 0;
}

int TttBDEDataset::CountRecords() {
  EnsureOpen();
  std::uint32_t count = 0;
  Check(Engine()->QueryRecordCount(cursor_, count));
  return int(count);
}

int TttBDEDataset::GetRecordNumber() {
  EnsureOpen();
  TRecordBuffer buffer = State() == dsCalcFields ? CalcBuffer() : ActiveBuffer();
  return buffer ? RecInfo(buffer)->RecordNumber : -1;
}

void TttBDEDataset::SetRecordNumber(int value) {
  CheckBrowseMode();
  if (recordNumberKind_ != 1 || value == GetRecordNumber()) return;
  CursorPosChanged();
  if (Engine()->SetAbsolutePosition(cursor_, std::uint32_t(value)) == 0) RefreshWindow({rmCenter});
}

bool TttBDEDataset::HasStableRecordNumbers() { return recordNumberKind_ == 1 && !Filtered(); }

bool TttBDEDataset::QueryCanModify() {
  return canModify_ || (CachedUpdates() && (OnUpdateRecord || updateObject_));
}

bool TttBDEDataset::IsIndexedField(TField* field) {
  for (int i = 0; i < indexFieldCount_; ++i)
    if (indexFieldMap_[std::size_t(i)] == field->FieldNo()) return true;
  return false;
}

void TttBDEDataset::ReportException(const Exception& error) { TDataSet::ReportException(error); }

// ============================================================================
// Indexes and key buffers
// ============================================================================

void TttBDEDataset::GetIndexInfo() {
  TIndexDesc desc{};
  if (Engine()->GetIndexDescriptor(cursor_, 0, desc) != 0) return;
  expressionIndex_ = desc.ExpressionIndex != 0;
  if (!expressionIndex_) {
    indexFieldCount_ = std::min<int>(desc.KeyFieldCount, 16);
    // Copied as bytes: the packed descriptor's array may sit unaligned.
    static_assert(sizeof desc.KeyFields == sizeof indexFieldMap_);
    std::memcpy(indexFieldMap_.data(), desc.KeyFields, sizeof desc.KeyFields);
  }
  keySize_ = desc.KeyLength;
}

void TttBDEDataset::SwitchToIndex(const std::string& indexName, const std::string& tagName) {
  ResetKeyRange();
  UpdateCursorPos();
  CursorPosChanged();
  DBIResult code = Engine()->SwitchToIndex(cursor_, indexName.empty() ? nullptr : indexName.c_str(),
                                           tagName.empty() ? nullptr : tagName.c_str(), 0, true);
  if (code == dberr::NoCurrRec)
    code = Engine()->SwitchToIndex(cursor_, indexName.empty() ? nullptr : indexName.c_str(),
                                   tagName.empty() ? nullptr : tagName.c_str(), 0, false);
  Check(code);
  indexFieldCount_ = 0;
  keySize_ = 0;
  expressionIndex_ = false;
  RebuildBuffers();
  GetIndexInfo();
}

void TttBDEDataset::RebuildBuffers() {
  FreeFieldBuffers();
  ClearWindow();
  SetBufListSize(0);
  ComputeLayout();
  SetBufListSize(BufferCount() + 1);
}

TField* TttBDEDataset::GetIndexField(int index) {
  if (index < 0 || index >= indexFieldCount_) DatabaseError(dbtext::FieldIndexError, this);
  int fieldNo = indexFieldMap_[std::size_t(index)];
  TField* field = FieldByNumber(fieldNo);
  if (!field) {
    std::string name;
    for (int i = 0; i < FieldDefs().Count(); ++i)
      if (FieldDefs()[i]->FieldNo() == fieldNo) name = FieldDefs()[i]->Name();
    DatabaseErrorFmt(datasettext::IndexFieldMissing, {name}, this);
  }
  return field;
}

void TttBDEDataset::SetIndexField(int index, TField* field) { GetIndexField(index)->SetAsVariant(field->AsVariant()); }

std::uint8_t* TttBDEDataset::GetKeyBuffer(TKeyIndex index) const {
  const auto& buffer = keyBuffers_[std::size_t(index)];
  return buffer.empty() ? nullptr : const_cast<std::uint8_t*>(buffer.data()) + sizeof(TKeyBufferHeader);
}

TttBDEDataset::TKeyBufferHeader* TttBDEDataset::KeyHeader(TKeyIndex index) const {
  const auto& buffer = keyBuffers_[std::size_t(index)];
  return buffer.empty() ? nullptr : reinterpret_cast<TKeyBufferHeader*>(const_cast<std::uint8_t*>(buffer.data()));
}

void TttBDEDataset::InitKeyBuffer(std::uint8_t* buffer) {
  std::memset(buffer - sizeof(TKeyBufferHeader), 0, recordSize_ + sizeof(TKeyBufferHeader));
  Engine()->InitRecord(cursor_, buffer);
}

void TttBDEDataset::AllocKeyBuffers() {
  for (auto& buffer : keyBuffers_) {
    buffer.assign(recordSize_ + sizeof(TKeyBufferHeader), 0);
    InitKeyBuffer(buffer.data() + sizeof(TKeyBufferHeader));
  }
}

void TttBDEDataset::FreeKeyBuffers() {
  for (auto& buffer : keyBuffers_) buffer.clear();
}

std::uint8_t* TttBDEDataset::SetKeyBuffer(TKeyIndex index, bool clear) {
  CheckBrowseMode();
  currentKey_ = index;
  std::uint8_t* buffer = GetKeyBuffer(index);
  // KeySave keeps what key entry may have to restore.
  std::memcpy(keyBuffers_[kiSave].data(), keyBuffers_[std::size_t(index)].data(), keyBuffers_[kiSave].size());
  if (clear) InitKeyBuffer(buffer);
  return buffer;
}

void TttBDEDataset::BeginKeyEntry(TKeyIndex index, bool clear) {
  EnsureOpen();
  SetKeyBuffer(index, clear);
  SetState(dsSetKey);
  SetModified(KeyHeader(index)->Modified != 0);
  BroadcastDataEvent(deDataSetChange, 0);
}

void TttBDEDataset::SetKeyFields(TKeyIndex index, const std::vector<Variant>& values) {
  if (expressionIndex_) DatabaseError(datasettext::ExpressionIndex, this);
  if (indexFieldCount_ == 0) DatabaseError(dbtext::NoFieldIndexes, this);
  TDataSetState saved = SetTempState(dsSetKey);
  try {
    currentKey_ = index;
    InitKeyBuffer(GetKeyBuffer(index));
    for (std::size_t i = 0; i < values.size(); ++i) GetIndexField(int(i))->SetAsVariant(values[i]);
    KeyHeader(index)->FieldCount = std::int32_t(values.size());
    KeyHeader(index)->Modified = Modified() ? 1 : 0;
  } catch (...) {
    RestoreState(saved);
    throw;
  }
  RestoreState(saved);
}

void TttBDEDataset::PostKeyBuffer(bool commit) {
  BroadcastDataEvent(deCheckBrowseMode, 0);
  if (commit)
    KeyHeader(currentKey_)->Modified = Modified() ? 1 : 0;
  else
    keyBuffers_[std::size_t(currentKey_)] = keyBuffers_[kiSave];
  SetState(dsBrowse);
  BroadcastDataEvent(deRecordChange, 0);
}

void TttBDEDataset::SetLinkRanges(const std::vector<TField*>& masterFields) {
  TDataSetState saved = SetTempState(dsSetKey);
  try {
    currentKey_ = kiRangeStart;
    InitKeyBuffer(GetKeyBuffer(kiRangeStart));
    KeyHeader(kiRangeStart)->Modified = 1;
    for (std::size_t i = 0; i < masterFields.size(); ++i)
      GetIndexField(int(i))->SetAsVariant(masterFields[i]->AsVariant());
    KeyHeader(kiRangeStart)->FieldCount = std::int32_t(masterFields.size());
  } catch (...) {
    RestoreState(saved);
    throw;
  }
  RestoreState(saved);
  keyBuffers_[kiRangeEnd] = keyBuffers_[kiRangeStart];
}

bool TttBDEDataset::ApplyKeyRange() {
  if (keyBuffers_[kiRangeStart] == keyBuffers_[kiCurRangeStart] &&
      keyBuffers_[kiRangeEnd] == keyBuffers_[kiCurRangeEnd])
    return false;
  std::vector<std::uint8_t> keys(std::size_t(keySize_) * 2 + 2, 0);
  auto extract = [&](TKeyIndex index, std::uint8_t* key) {
    return KeyHeader(index)->FieldCount != 0 && Engine()->ExtractKey(cursor_, GetKeyBuffer(index), key) == 0;
  };
  std::uint8_t* startKey = keys.data();
  std::uint8_t* endKey = keys.data() + keySize_;
  bool useKeys = extract(kiRangeStart, startKey) && extract(kiRangeEnd, endKey);
  TKeyBufferHeader* start = KeyHeader(kiRangeStart);
  TKeyBufferHeader* end = KeyHeader(kiRangeEnd);
  Check(Engine()->SetRange(cursor_, useKeys, std::uint16_t(start->FieldCount), 0,
                           start->FieldCount ? (useKeys ? startKey : GetKeyBuffer(kiRangeStart)) : nullptr,
                           start->Exclusive == 0, std::uint16_t(end->FieldCount), 0,
                           end->FieldCount ? (useKeys ? endKey : GetKeyBuffer(kiRangeEnd)) : nullptr,
                           end->Exclusive == 0));
  keyBuffers_[kiCurRangeStart] = keyBuffers_[kiRangeStart];
  keyBuffers_[kiCurRangeEnd] = keyBuffers_[kiRangeEnd];
  DropLookupCursor();
  return true;
}

bool TttBDEDataset::KeyRangeApplied() const {
  return !keyBuffers_[kiCurRangeStart].empty() &&
         (KeyHeader(kiCurRangeStart)->Modified || KeyHeader(kiCurRangeEnd)->Modified);
}

bool TttBDEDataset::ResetKeyRange() {
  if (!KeyRangeApplied()) return false;
  Check(Engine()->ResetRange(cursor_));
  InitKeyBuffer(GetKeyBuffer(kiCurRangeStart));
  InitKeyBuffer(GetKeyBuffer(kiCurRangeEnd));
  DropLookupCursor();
  return true;
}

// ============================================================================
// Filters, search and locate
// ============================================================================

std::uint16_t TttBDEDataset::FilterRoutine(std::intptr_t clientData, std::uint8_t* record, std::int32_t) {
  auto* self = reinterpret_cast<TttBDEDataset*>(clientData);
  bool accept = self->FilterRecordWith(record, [self](bool& accept) {
    if (self->OnFilterRecord()) self->OnFilterRecord()(self, accept);
  });
  return accept ? 1 : 0;
}

bool TttBDEDataset::FilterRecordWith(std::uint8_t* record, const std::function<void(bool&)>& handler) {
  TDataSetState saved = SetTempState(dsFilter);
  bool accept = true;
  try {
    filterBuffer_ = reinterpret_cast<TRecordBuffer>(record);
    handler(accept);
  } catch (...) {
    RestoreState(saved);
    throw;
  }
  RestoreState(saved);
  return accept;
}

void TttBDEDataset::ReplaceFilter(TFilterListItem*& handle, TFilterListItem* replacement) {
  if (Filtered()) {
    CursorPosChanged();
    DropLookupCursor();
    Engine()->SetToStart(cursor_);
  }
  if (handle) Engine()->DropFilter(cursor_, handle);
  handle = replacement;
  if (Filtered() && handle) Check(Engine()->ActivateFilter(cursor_, handle));
}

void TttBDEDataset::CreateExprFilter() {
  TFilterListItem* filter = nullptr;
  if (!Filter().empty()) {
    std::vector<std::uint8_t> blob = BuildFilterBlob(Filter(), this, FilterOptions());
    Check(Engine()->AddFilter(cursor_, 0, 0, false, blob.data(), nullptr, filter));
  }
  ReplaceFilter(exprFilter_, filter);
}

void TttBDEDataset::CreateFuncFilter() {
  TFilterListItem* filter = nullptr;
  if (OnFilterRecord())
    Check(Engine()->AddFilter(cursor_, reinterpret_cast<std::intptr_t>(this), 1, false, nullptr,
                              &TttBDEDataset::FilterRoutine, filter));
  ReplaceFilter(funcFilter_, filter);
}

void TttBDEDataset::ActivateFilters(bool on) {
  for (TFilterListItem** handle : {&exprFilter_, &funcFilter_}) {
    if (!*handle) continue;
    if (!on) {
      Engine()->DeactivateFilter(cursor_, *handle);
      continue;
    }
    if (Engine()->ActivateFilter(cursor_, *handle) != 0) {
      // A filter that fails to activate is made again once.
      Engine()->DropFilter(cursor_, *handle);
      *handle = nullptr;
      if (handle == &exprFilter_) CreateExprFilter(); else CreateFuncFilter();
      if (*handle) Check(Engine()->ActivateFilter(cursor_, *handle));
    }
  }
}

void TttBDEDataset::SetFilterText(const std::string& text) {
  bool changed = text != Filter();
  TDataSet::SetFilterText(text);
  if (Active() && changed) {
    CheckBrowseMode();
    CreateExprFilter();
    if (Filtered()) First();
  }
}

void TttBDEDataset::SetFilterOptions(TFilterOptions options) {
  bool changed = !(options == FilterOptions());
  TDataSet::SetFilterOptions(options);
  if (Active() && changed && !Filter().empty()) {
    CheckBrowseMode();
    CreateExprFilter();
    if (Filtered()) First();
  }
}

void TttBDEDataset::SetOnFilterRecord(TFilterRecordEvent handler) {
  bool had = bool(OnFilterRecord());
  TDataSet::SetOnFilterRecord(handler);
  if (Active() && had != bool(handler)) {
    CheckBrowseMode();
    CreateFuncFilter();
  }
  if (Active() && Filtered()) First();
}

void TttBDEDataset::SetFiltered(bool value) {
  if (Active()) {
    CheckBrowseMode();
    if (value != Filtered()) {
      CursorPosChanged();
      DropLookupCursor();
      Engine()->SetToStart(cursor_);
      ActivateFilters(value);
      TDataSet::SetFiltered(value);
    }
    First();
    return;
  }
  TDataSet::SetFiltered(value);
}

bool TttBDEDataset::SearchFilterMatch(bool restart, bool forward) {
  CheckBrowseMode();
  FireBeforeScroll();
  bool found = false;
  UpdateCursorPos();
  CursorPosChanged();
  if (!Filtered()) ActivateFilters(true);
  DBIResult code = 0;
  try {
    // The record is read into the spare buffer: the filter routine looks at it.
    auto* spare = reinterpret_cast<std::uint8_t*>(TempBuffer());
    if (forward) {
      if (restart) Engine()->SetToStart(cursor_);
      code = Engine()->GetNextRecord(cursor_, 0, spare, nullptr);
    } else {
      if (restart) Engine()->SetToEnd(cursor_);
      code = Engine()->GetPriorRecord(cursor_, 0, spare, nullptr);
    }
  } catch (...) {
    if (!Filtered()) ActivateFilters(false);
    throw;
  }
  if (!Filtered()) ActivateFilters(false);
  if (code == 0) {
    RefreshWindow({rmExact, rmCenter});
    found = true;
  }
  SetFound(found);
  if (found) FireAfterScroll();
  return found;
}

namespace {
// With a partial key only the last field, and only a text one, is matched by
// its beginning.
bool MatchedByPrefix(const std::vector<TField*>& fields, std::size_t i, TLocateOptions options) {
  return options.Contains(loPartialKey) && i + 1 == fields.size() && fields[i]->DataType() == ftString;
}

// Fields whose blank reads as a value: an empty number reads as 0.
bool BlankReadsAsValue(const TField* field) {
  switch (field->DataType()) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftFloat: case ftCurrency: case ftBCD:
      return true;
    default:
      return false;
  }
}

// What Locate's callback filter needs: the number fields given a value,
// which a blank field does not hold even where it reads as that value, and
// those given none, which only a blank field holds (a 0 reads as blank to the
// comparison).
struct TLocateValued {
  TttBDEDataset* dataSet;
  std::vector<TField*> fields;
  std::vector<TField*> blanks;
};
}  // namespace

std::uint16_t TttBDEDataset::LocateRoutine(std::intptr_t clientData, std::uint8_t* record, std::int32_t) {
  auto* valued = reinterpret_cast<TLocateValued*>(clientData);
  return valued->dataSet->FilterRecordWith(record, [valued](bool& accept) {
    accept = std::none_of(valued->fields.begin(), valued->fields.end(), [](TField* f) { return f->IsNull(); }) &&
             std::all_of(valued->blanks.begin(), valued->blanks.end(), [](TField* f) { return f->IsNull(); });
  }) ? 1 : 0;
}

// The first record of the dataset's order that the engine's test of the
// values accepts: a filter of equality comparisons on the dataset's own
// cursor, which sees only what the dataset shows (its filters, range and
// cached changes). A number is found only in a field holding one, and a
// blank only in a blank field, though the comparison reads a blank as 0.
// The cursor narrows the records read where it can (an index on the fields,
// the SQL pre-selection), and the comparison decides.
bool TttBDEDataset::LocateRecord(const std::string& keyFields, const Variant& keyValues,
                                 TLocateOptions options) {
  return LocateRecordOn(cursor_, keyFields, keyValues, options);
}

bool TttBDEDataset::LocateRecordOn(TBaseTable* cursor, const std::string& keyFields, const Variant& keyValues,
                                   TLocateOptions options) {
  CheckBrowseMode();
  CursorPosChanged();
  std::vector<TField*> fields;
  GetFieldList(fields, keyFields);
  std::vector<const TField*> compared(fields.begin(), fields.end());
  std::vector<Variant> values;
  TLocateValued valued{this, {}, {}};
  for (std::size_t i = 0; i < fields.size(); ++i) {
    // Values compared as values (a number's text need not give it back).
    values.push_back(fields.size() == 1 ? keyValues : dbvar::Item(keyValues, int(i)));
    if (BlankReadsAsValue(fields[i]))
      (dbvar::IsNullish(values.back()) ? valued.blanks : valued.fields).push_back(fields[i]);
  }
  TFilterOptions filterOptions;
  if (options.Contains(loCaseInsensitive)) filterOptions.Include(foCaseInsensitive);
  const bool lastPartial = !fields.empty() && MatchedByPrefix(fields, fields.size() - 1, options);
  std::vector<std::uint8_t> blob = BuildEqualityFilterBlob(compared, values, filterOptions, lastPartial);
  Check(Engine()->SetToStart(cursor));
  TFilterListItem* filter = nullptr;
  Check(Engine()->AddFilter(cursor, reinterpret_cast<std::intptr_t>(&valued), 2, false, blob.data(),
                            valued.fields.empty() && valued.blanks.empty() ? nullptr : &TttBDEDataset::LocateRoutine,
                            filter));
  DBIResult code = Engine()->ActivateFilter(cursor, filter);
  if (code == 0) code = Engine()->GetNextRecord(cursor, 0, reinterpret_cast<std::uint8_t*>(TempBuffer()), nullptr);
  Engine()->DropFilter(cursor, filter);
  return code == 0;
}

bool TttBDEDataset::LocateInKeyOrder(const std::string& keyFields, const Variant& keyValues, TLocateOptions options) {
  // A second cursor sees the table as it is stored, not what this cursor
  // shows beside it.
  const bool showsEveryRecord = cursor_ && !cursor_->FiltersActive && !CachedUpdates() && !KeyRangeApplied();
  TBaseTable* lookup = showsEveryRecord ? AcquireLookupCursor(keyFields, options.Contains(loCaseInsensitive)) : nullptr;
  if (!lookup) return Locate(keyFields, keyValues, options);
  FireBeforeScroll();
  const bool found = LocateRecordOn(lookup, keyFields, keyValues, options);
  if (found) {
    Check(Engine()->CopyCursorPosition(cursor_, lookup));
    RefreshWindow({rmExact, rmCenter});
    FireAfterScroll();
  }
  SetFound(found);
  return found;
}

bool TttBDEDataset::FindRecordByValues(const std::string& keyFields, const Variant& keyValues,
                                       TLocateOptions options) {
  FireBeforeScroll();
  bool found = LocateRecord(keyFields, keyValues, options);
  if (found) {
    RefreshWindow({rmExact, rmCenter});
    FireAfterScroll();
  }
  SetFound(found);
  return found;
}

Variant TttBDEDataset::FetchValuesByKey(const std::string& keyFields, const Variant& keyValues,
                                        const std::string& resultFields) {
  Variant result = Null;
  if (!LocateRecord(keyFields, keyValues, {})) return result;
  // The located record waits in the spare buffer: it becomes the calculation
  // buffer, its calculated and lookup fields are computed, and the values are
  // read from it, calculated ones included.
  TDataSetState saved = SetTempState(dsCalcFields);
  try {
    ComputeCalcFields(TempBuffer());
    result = FieldValues(resultFields);
  } catch (...) {
    RestoreState(saved);
    throw;
  }
  RestoreState(saved);
  return result;
}

// ============================================================================
// Cached updates
// ============================================================================

bool TttBDEDataset::UpdateCallbackRequired() const {
  return CachedUpdates() && (OnUpdateError() || OnUpdateRecord || updateObject_);
}

void TttBDEDataset::SetupUpdateCallback() {
  if (UpdateCallbackRequired() == bool(updateCallback_)) return;
  if (updateCallback_ || ComponentState().Contains(csDesigning)) {
    updateCallback_.reset();
    return;
  }
  updateCallback_ = std::make_unique<TttBDECallback>(
      Engine(), this, 25, reinterpret_cast<std::intptr_t>(this), &updateInfo_,
      std::uint16_t(sizeof updateInfo_),
      [](std::intptr_t data, void*) { return reinterpret_cast<TttBDEDataset*>(data)->UpdateRoutine(); });
}

void TttBDEDataset::AllocUpdateBuffers(bool on) {
  if (on) {
    newRecord_.assign(recordBufferSize_, 0);
    oldRecord_.assign(recordBufferSize_, 0);
    updateInfo_.RecordSize = recordSize_;
    updateInfo_.NewRecord = newRecord_.data();
    updateInfo_.OldRecord = oldRecord_.data();
  } else {
    newRecord_.clear();
    oldRecord_.clear();
    updateInfo_.NewRecord = nullptr;
    updateInfo_.OldRecord = nullptr;
  }
}

void TttBDEDataset::SetCachedUpdates(bool on) {
  if (!Active() || ComponentState().Contains(csDesigning)) {
    TDataSet::SetCachedUpdates(on);
    return;
  }
  if (on == CachedUpdates()) return;
  CheckBrowseMode();
  // Turning cached updates off would drop every change not yet applied.
  if (!on && UpdatesPending()) DatabaseError(datasettext::UpdatesPending, this);
  UpdateCursorPos();
  if (constraintLayer_) Engine()->RemoveConstraintCheck(cursor_);
  Check(on ? Engine()->BeginCachedUpdates(cursor_) : Engine()->EndCachedUpdates(cursor_));
  if (constraintLayer_) Check(Engine()->InstallConstraintCheck(cursor_, nullptr, 0));
  TDataSet::SetCachedUpdates(on);
  FreeKeyBuffers();
  RebuildBuffers();
  AllocKeyBuffers();
  AllocUpdateBuffers(on);
  if (!on) updateCallback_.reset();
  SetupUpdateCallback();
  First();
}

void TttBDEDataset::SetOnUpdateError(TUpdateErrorEvent handler) {
  TDataSet::SetOnUpdateError(std::move(handler));
  if (Active()) SetupUpdateCallback();
}

bool TttBDEDataset::UpdatesPending() {
  if (!CachedUpdates() || !cursor_) return false;
  std::uint32_t rows = 0;
  std::uint16_t length = 0;
  // Cursor property 5 of the cache wrapper: the changes it holds.
  if (Engine()->GetProperty(cursor_, 0x05050005, &rows, sizeof rows, length) != 0 || length != sizeof rows)
    return false;
  return rows > 0;
}

void TttBDEDataset::ApplyUpdates() {
  TDataSet::ApplyUpdates();
  CheckBrowseMode();
  UpdateCursorPos();
  // A dataset whose changes an update handler or object applies opened its
  // table read-only: the changes go to them, never to the table.
  if (OnUpdateRecord || updateObject_)
    ApplyThroughUpdateRoutine();
  else
    Check(Engine()->ProcessCachedUpdates(cursor_, 3));
}

void TttBDEDataset::ApplyThroughUpdateRoutine() {
  TMemTable* cache = nullptr;
  Check(Engine()->GetCacheTable(cursor_, cache));
  TBaseTable* source = cache->SourceCursor();
  // Last first, as the engine replays them.
  for (int n = cache->RowCount(); n >= 1; --n) {
    TMemTableRecord* row = cache->Row(n);
    std::uint16_t status = row->Props.Status;
    if (row->Applied != 0 || status == recstatus::Unmodified) continue;
    std::fill(newRecord_.begin(), newRecord_.end(), 0);
    std::fill(oldRecord_.begin(), oldRecord_.end(), 0);
    std::copy_n(row->Record.begin(), std::min<std::size_t>(row->Record.size(), recordSize_), newRecord_.begin());
    if (status != recstatus::Inserted) {
      Check(Engine()->SetToBookmark(source, row->Bookmark.data()));
      Check(Engine()->GetCurrentRecord(source, 0, oldRecord_.data(), nullptr));
    }
    updateInfo_.UpdateKind = status;  // 1 modify, 2 insert, 3 delete: the engine's numbering
    updateInfo_.ErrorCode = 0;
    int answer = UpdateRoutine();
    while (answer == 8) answer = UpdateRoutine();  // retry
    if (answer == 6) row->Applied = 1;
    if (answer == 2) Check(updateInfo_.ErrorCode != 0 ? updateInfo_.ErrorCode : kUpdateAborted);
  }
}

void TttBDEDataset::CommitUpdates() {
  TDataSet::CommitUpdates();
  Check(Engine()->ProcessCachedUpdates(cursor_, 0));
  CursorPosChanged();
  Engine()->SetToStart(cursor_);
  First();
}

void TttBDEDataset::CancelUpdates() {
  TDataSet::CancelUpdates();
  Cancel();
  Check(Engine()->ProcessCachedUpdates(cursor_, 1));
  CursorPosChanged();
  Engine()->SetToStart(cursor_);
  First();
}

TUpdateStatus TttBDEDataset::UpdateStatus() {
  if (!CachedUpdates() || !ActiveBuffer() || (State() == dsBrowse && IsEmpty())) return usUnmodified;
  if (State() == dsInsert) return usInserted;
  std::uint8_t status = RecInfo(ActiveBuffer())->UpdateStatus;
  return status <= usDeleted ? TUpdateStatus(status) : usUnmodified;
}

int TttBDEDataset::UpdateRoutine() {
  inUpdateCallback_ = true;
  TUpdateAction action = uaFail;
  try {
    auto kind = TUpdateKind(updateInfo_.UpdateKind - 1);
    if (OnUpdateRecord) {
      OnUpdateRecord(this, kind, action);
    } else if (updateObject_) {
      updateObject_->Apply(kind);
      action = uaApplied;
    } else {
      RaiseEngineError(Engine(), updateInfo_.ErrorCode);
    }
  } catch (...) {
    inUpdateCallback_ = false;
    throw;
  }
  inUpdateCallback_ = false;
  switch (action) {
    case uaAbort: updateInfo_.ErrorCode = kUpdateAborted; return 2;
    case uaSkip: return 7;
    case uaRetry: return 8;
    case uaApplied: return 6;
    default: return 2;
  }
}

int TttBDEDataset::YieldRoutine(int step) {
  if (!OnServerYield || step == 2) return 0;
  bool abortQuery = false;
  OnServerYield(this, abortQuery);
  return abortQuery ? 2 : 0;
}

void TttBDEDataset::SetUpdateObject(TTDataSetUpdateObject* object) {
  if (object == updateObject_) return;
  if (updateObject_) {
    updateObject_->RemoveFreeNotification(this);
    if (updateObject_->GetDataSet() == this) updateObject_->SetDataSet(nullptr);
  }
  if (object) {
    if (auto* other = As<TttBDEDataset>(object->GetDataSet()); other && other != this)
      other->SetUpdateObject(nullptr);
    object->FreeNotification(this);
  }
  updateObject_ = object;
  if (object) object->SetDataSet(this);
}

void TttBDEDataset::Notification(TComponent* component, TOperation operation) {
  TDataSet::Notification(component, operation);
  if (operation == opRemove && component == updateObject_) updateObject_ = nullptr;
}
