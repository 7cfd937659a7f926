#include "dbengine/memtable.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "dbengine/filters.h"

IMPLEMENT_CLASS(TMemTableRecord, TBapiListItem)
IMPLEMENT_CLASS(TCacheCollection, TSortedCollection)
IMPLEMENT_CLASS(TMemTable, TBaseTable)
IMPLEMENT_CLASS(TBaseCacheTable, TBaseTable)

namespace {
// The stored length of a field whose descriptor leaves it at 0.
std::uint16_t LengthOfType(const TFieldDesc& d) {
  switch (d.FieldType) {
    case fldtype::ZString:
      return static_cast<std::uint16_t>(TextSlotBytes(static_cast<std::size_t>(std::max<int>(d.Units1, 0))));
    case fldtype::Date:
    case fldtype::Float:
    case fldtype::Time:
    case fldtype::TimeStamp:
      return 8;
    case fldtype::Bool:
    case fldtype::Int16:
    case fldtype::UInt16:
      return 2;
    case fldtype::Int32:
    case fldtype::UInt32:
      return 4;
    case fldtype::BCD:
      return static_cast<std::uint16_t>(d.Units2 < 0 ? -d.Units2 : d.Units2);
    case fldtype::FloatIEEE:
      return 10;
    default:  // 0, 3, 9 and the types above 14
      return static_cast<std::uint16_t>(std::max<int>(d.Units1, 0));
  }
}
}  // namespace

// ---- TMemTableRecord

TMemTableRecord::TMemTableRecord(TMemTable* table, const std::uint8_t* record,
                                 const std::uint8_t* bookmark, std::uint32_t number)
    : TBapiListItem(table, nullptr) {
  Record.assign(table->RowBytes(), 0);
  if (record != nullptr) std::memcpy(Record.data(), record, Record.size());
  Bookmark.assign(table->GetBookmarkSize(), 0);
  if (bookmark != nullptr)
    std::memcpy(Bookmark.data(), bookmark, Bookmark.size());
  else
    std::memcpy(Bookmark.data(), &number, std::min<std::size_t>(sizeof number, Bookmark.size()));
  Props.SeqNum = static_cast<std::int32_t>(number);
  JoinOwnerList(table->Rows());  // sorted by the bookmark just set
}

// ---- TCacheCollection

const void* TCacheCollection::KeyOf(TObject* item) const {
  return static_cast<TMemTableRecord*>(item)->Bookmark.data();
}

int TCacheCollection::Compare(const void* key1, const void* key2) const {
  return table_->CompareBookmarks(static_cast<const std::uint8_t*>(key1),
                                  static_cast<const std::uint8_t*>(key2));
}

// ---- TMemTable

TMemTable::TMemTable(TBapiListItem* owner, TMorvaCollection* ownerList, const char* name,
                     std::uint16_t fieldCount, TFieldDesc* descs, std::uint16_t bookmarkSize,
                     TBaseTable* sourceCursor)
    : TBaseTable(owner, ownerList, name, nullptr, 0, 0), bookmarkSize_(bookmarkSize),
      source_(sourceCursor) {
  if (fieldCount > 0) CheckParam(descs);
  std::uint32_t offset = 0;
  for (std::uint16_t i = 0; i < fieldCount; ++i) {
    TFieldDesc& d = descs[i];
    if (d.Length == 0) d.Length = LengthOfType(d);
    if (offset + d.Length > 0xFFFF) RaiseEngineErrorText(dberr::InvalidTableCreate, name ? name : "");
    d.Offset = static_cast<std::uint16_t>(offset);
    d.FieldNumber = static_cast<std::uint16_t>(i + 1);
    offset += d.Length;
    FieldCache()->AddField(d);
  }
  if (fieldCount > 0) {
    std::uint16_t count = 0;
    GetRecordLayout(count, rowSize_);
  }
  TMemTable::InitStorage();
}

TMemTable::~TMemTable() { TMemTable::FreeStorage(); }

void TMemTable::InitStorage() {
  if (rows_ == nullptr) rows_ = new TCacheCollection(this);
}

void TMemTable::FreeStorage() {
  delete rows_;  // frees every row
  rows_ = nullptr;
  current_ = 0;
}

std::size_t TMemTable::RowBytes() const {
  std::size_t size = rowSize_;
  if (source_ != nullptr) size = std::max<std::size_t>(size, source_->GetRecordBufferSize());
  return std::max<std::size_t>(size, 1);
}

TMemTableRecord* TMemTable::Row(int number) const {
  if (number < 1 || number > RowCount()) return nullptr;
  return static_cast<TMemTableRecord*>(rows_->At(number - 1));
}

TMemTableRecord* TMemTable::CurrentRow() const {
  return betweenRows_ ? nullptr : Row(static_cast<int>(current_));
}

std::uint16_t TMemTable::GetDataSize() { return rowSize_; }
std::uint16_t TMemTable::GetBookmarkSize() { return bookmarkSize_ != 0 ? bookmarkSize_ : 4; }

void TMemTable::ReadCurrentRow() {
  betweenRows_ = false;
  TMemTableRecord* row = Row(static_cast<int>(current_));
  if (row == nullptr) RaiseEngineError(dberr::NoCurrRec);
  if (std::uint8_t* buffer = GetRecordBuffer(); buffer != nullptr)
    std::memcpy(buffer, row->Record.data(), rowSize_);
}

void TMemTable::MoveToFirst() {
  if (RowCount() == 0) RaiseEofError();
  current_ = 1;
  ReadCurrentRow();
}

void TMemTable::MoveToLast() {
  if (RowCount() == 0) RaiseBofError();
  current_ = static_cast<std::uint32_t>(RowCount());
  ReadCurrentRow();
}

void TMemTable::MoveToNext() {
  // After a delete the current number already names the following row.
  std::uint32_t next = betweenRows_ ? current_ : current_ + 1;
  if (next > static_cast<std::uint32_t>(RowCount())) RaiseEofError();
  current_ = next;
  try {
    ReadCurrentRow();
  } catch (const EMorvaEngineError&) {
    RaiseEofError();
  }
}

void TMemTable::MoveToPrior() {
  if (current_ <= 1) RaiseBofError();
  current_ = current_ - 1;
  try {
    ReadCurrentRow();
  } catch (const EMorvaEngineError&) {
    RaiseBofError();
  }
}

void TMemTable::GetCurrentRecord(int, std::uint8_t* buffer, TRecordProps* props) {
  SetRecordBuffer(buffer);
  if (RowCount() == 0) RaiseEofError();
  if (current_ == 0) current_ = 1;
  if (current_ > static_cast<std::uint32_t>(RowCount())) RaiseEofError();
  betweenRows_ = false;
  TMemTableRecord* row = Row(static_cast<int>(current_));
  if (buffer != nullptr) std::memcpy(buffer, row->Record.data(), rowSize_);
  if (props != nullptr) *props = row->Props;
  CursorState = curstate::OnRecord;
}

void TMemTable::FillRecordProperties(TRecordProps* props) {
  if (props == nullptr) return;
  if (TMemTableRecord* row = CurrentRow(); row != nullptr) *props = row->Props;
}

void TMemTable::GetBookmark(std::uint8_t* bookmark) {
  CheckParam(bookmark);
  TMemTableRecord* row = CurrentRow();
  if (row == nullptr) RaiseEngineError(dberr::NoCurrRec);
  std::memcpy(bookmark, row->Bookmark.data(), row->Bookmark.size());
}

int TMemTable::NumberOfBookmark(const std::uint8_t* bookmark) const {
  CheckParam(bookmark);
  auto* self = const_cast<TMemTable*>(this);  // comparing moves nothing
  for (int n = 1; n <= RowCount(); ++n) {
    TMemTableRecord* row = Row(n);
    // Rows inserted in a cache carry numbers of their own, not bookmarks of
    // the source cursor, and never match one.
    if (source_ != nullptr && row->Props.Status == recstatus::Inserted) continue;
    if (self->CompareBookmarks(row->Bookmark.data(), bookmark) == 0) return n;
  }
  return 0;
}

TMemTableRecord* TMemTable::RowAtBookmark(const std::uint8_t* bookmark) const {
  return Row(NumberOfBookmark(bookmark));
}

bool TMemTable::FindRowByBookmark(const std::uint8_t* bookmark) {
  const int n = NumberOfBookmark(bookmark);
  if (n == 0) return false;
  current_ = static_cast<std::uint32_t>(n);
  betweenRows_ = false;
  return true;
}

void TMemTable::SetToBookmark(const std::uint8_t* bookmark) {
  if (!FindRowByBookmark(bookmark)) RaiseEofError();
}

void TMemTable::GetRecordAtBookmark(const std::uint8_t* bookmark, std::uint8_t* buffer, int) {
  SetToBookmark(bookmark);
  if (buffer != nullptr) std::memcpy(buffer, CurrentRow()->Record.data(), rowSize_);
}

int TMemTable::CompareBookmarks(const std::uint8_t* a, const std::uint8_t* b) {
  if (source_ != nullptr) return source_->CompareBookmarks(a, b);
  std::uint32_t x, y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  return x < y ? -1 : (x > y ? 1 : 0);
}

void TMemTable::GetRecordCount(std::uint32_t& count) { count = static_cast<std::uint32_t>(RowCount()); }

void TMemTable::GetAbsolutePosition(std::uint32_t& position) {
  TMemTableRecord* row = CurrentRow();
  if (row == nullptr) RaiseEngineError(dberr::NoCurrRec);
  position = static_cast<std::uint32_t>(row->Props.SeqNum);
}

void TMemTable::SetAbsolutePosition(std::uint32_t position) {
  for (int n = 1; n <= RowCount(); ++n) {
    if (static_cast<std::uint32_t>(Row(n)->Props.SeqNum) == position) {
      current_ = static_cast<std::uint32_t>(n);
      betweenRows_ = false;
      return;
    }
  }
  RaiseEofError();
}

void TMemTable::InsertRecord(int, std::uint8_t* buffer) {
  CheckParam(buffer);
  AddRow(buffer, nullptr);
  CurrentRow()->Props.Status = recstatus::Inserted;
}

void TMemTable::AppendRecord(std::uint8_t* buffer) {
  // An appended row is as new as an inserted one; a cache must replay it.
  InsertRecord(0, buffer);
}

void TMemTable::ModifyRecord(std::uint8_t* buffer, int) { StoreRow(buffer, nullptr); }

void TMemTable::DeleteRecord(std::uint8_t*) {
  TMemTableRecord* row = CurrentRow();
  if (row == nullptr) RaiseEngineError(dberr::NoCurrRec);
  delete row;  // leaves the collection
  betweenRows_ = true;
  CursorState = curstate::BetweenRecords;
}

void TMemTable::ClearDeleteFlag() {
  TMemTableRecord* row = CurrentRow();
  if (row == nullptr) RaiseEngineError(dberr::NoCurrRec);
  row->Props.DeleteFlag = 0;
}

void TMemTable::EmptyTable() {
  ClearRows();
  CursorState = curstate::JustOpened;
}

void TMemTable::CopyFieldOut(std::uint16_t, std::uint16_t, std::int16_t, std::uint16_t length,
                             const std::uint8_t* value, void* dest, bool& blank) {
  blank = false;
  if (dest != nullptr && value != nullptr) std::memcpy(dest, value, length);
}

void TMemTable::CopyFieldIn(std::uint16_t, std::uint16_t, std::int16_t, std::uint16_t length,
                            std::uint8_t* value, const void* source) {
  if (value == nullptr) return;
  if (source != nullptr)
    std::memcpy(value, source, length);
  else
    std::memset(value, 0, length);
}

bool TMemTable::FindRow(std::uint8_t mask, bool hasRow) {
  TMemTableRecord* row = hasRow ? CurrentRow() : nullptr;
  if (row == nullptr) return (mask & cachekind::Unmodified) != 0;
  switch (row->Props.Status) {
    case recstatus::Modified: return (mask & cachekind::Modified) != 0;
    case recstatus::Inserted: return (mask & cachekind::Inserted) != 0;
    case recstatus::Deleted: return (mask & cachekind::Deleted) != 0;
    default: return true;
  }
}

void TMemTable::AddRow(const std::uint8_t* buffer, const std::uint8_t* bookmark) {
  // Row numbers only grow, so a number is never given twice even after deletes.
  std::uint32_t number = std::max<std::uint32_t>(nextRowNumber_, static_cast<std::uint32_t>(RowCount()) + 1);
  nextRowNumber_ = number + 1;
  auto* row = new TMemTableRecord(this, buffer, bookmark, number);
  current_ = static_cast<std::uint32_t>(rows_->IndexOf(row) + 1);
  betweenRows_ = false;
  CursorState = curstate::OnRecord;
}

void TMemTable::StoreRow(const std::uint8_t* buffer, const std::uint8_t* bookmark) {
  if (bookmark != nullptr && !FindRowByBookmark(bookmark)) {
    AddRow(buffer, bookmark);  // the first change of this record
    CurrentRow()->Props.Status = recstatus::Modified;
    return;
  }
  TMemTableRecord* row = CurrentRow();
  if (row == nullptr) RaiseEngineError(dberr::NoCurrRec);
  if (buffer != nullptr) std::memcpy(row->Record.data(), buffer, row->Record.size());
  // A row that is new stays new: it must still be inserted, not changed.
  if (row->Props.Status != recstatus::Inserted) row->Props.Status = recstatus::Modified;
  row->Applied = 0;
}

void TMemTable::DeleteRowAtBookmark(const std::uint8_t* buffer, const std::uint8_t* bookmark) {
  if (bookmark != nullptr && !FindRowByBookmark(bookmark)) AddRow(buffer, bookmark);
  TMemTableRecord* row = CurrentRow();
  if (row == nullptr) RaiseEngineError(dberr::NoCurrRec);
  row->Props.Status = recstatus::Deleted;
  row->Props.DeleteFlag = -1;
  row->Applied = 0;
}

void TMemTable::ApplyRowsTo() {
  TBaseTable* source = CheckHandle(source_);
  std::exception_ptr firstFailure;
  for (int n = RowCount(); n >= 1; --n) {
    TMemTableRecord* row = Row(n);
    if (row->Applied != 0) continue;  // replayed before: never twice
    try {
      ReplayRow(source, row);
      row->Applied = 1;
    } catch (const EMorvaEngineError&) {
      if (!firstFailure) firstFailure = std::current_exception();
    }
  }
  if (firstFailure) std::rethrow_exception(firstFailure);
}

void TMemTable::ReplayRow(TBaseTable* source, TMemTableRecord* row) {
  std::uint8_t* record = row->Record.data();
  // The blob contents go into blobs of the source cursor on the row's record,
  // which the change stores with the record's other fields.
  std::vector<std::uint16_t> opened;
  auto writeBlobs = [&] {
    for (const auto& [field, content] : row->Blobs) {
      source->OpenBlob(record, field, kBlobReadWrite);
      opened.push_back(field);
      source->WriteBlob(record, field, 0, static_cast<std::uint32_t>(content.size()), content.data());
    }
  };
  auto freeBlobs = [&] {
    for (std::uint16_t field : opened) source->FreeBlob(record, field);
  };
  try {
    switch (row->Props.Status) {
      case recstatus::Modified:
        source->SetToBookmark(row->Bookmark.data());
        source->PrepareReplayedChange(1);
        writeBlobs();
        source->ModifyRecord(record, -1);
        break;
      case recstatus::Inserted:
        writeBlobs();
        source->AppendRecord(record);
        break;
      case recstatus::Deleted:
        source->SetToBookmark(row->Bookmark.data());
        source->DeleteRecord(record);
        break;
      default:
        break;
    }
  } catch (...) {
    freeBlobs();
    throw;
  }
  freeBlobs();
}

void TMemTable::ClearRows() {
  if (rows_ != nullptr) rows_->FreeAll();
  current_ = 0;
  betweenRows_ = false;
}

// ---- TBaseCacheTable

namespace {
TCursorProps PropsOf(TBaseTable* cursor) {
  TCursorProps props{};
  try {
    CheckHandle(cursor)->GetCursorProperties(props);
  } catch (const EMorvaEngineError& e) {
    if (e.ErrorCode == dberr::InvalidHndl) throw;
    props = TCursorProps{};  // modes unknown: both 0
  }
  return props;
}
}  // namespace

TBaseCacheTable::TBaseCacheTable(TBaseTable* wrapped)
    : TBaseTable(CheckHandle(wrapped)->OwnerHandle(), wrapped->OwnerList(),
                 wrapped->GetTableName().c_str(), nullptr, PropsOf(wrapped).OpenMode,
                 PropsOf(wrapped).ShareMode),
      wrapped_(wrapped) {
  TBaseCacheTable::InitStorage();
  bookmark_.assign(wrapped_->GetBookmarkSize(), 0);
  HandOverFilters(wrapped_, this);
}

TBaseCacheTable::~TBaseCacheTable() { TBaseCacheTable::FreeStorage(); }

void TBaseCacheTable::InitStorage() {
  TCursorProps props{};
  wrapped_->GetCursorProperties(props);
  std::vector<TFieldDesc> descs(props.FieldCount);
  if (!descs.empty()) wrapped_->GetFieldDescriptors(descs.data());
  std::string name = wrapped_->GetTableName();
  cache_ = new TMemTable(this, nullptr, name.c_str(), props.FieldCount, descs.data(),
                         wrapped_->GetBookmarkSize(), wrapped_);
}

void TBaseCacheTable::FreeStorage() {
  delete cache_;
  cache_ = nullptr;
}

namespace {
// The cache's own properties also answer to their full identifiers
// (0x05050003 ... 0x05050005), which the dataset components use.
TPropertyId CacheLocalId(TPropertyId id) {
  return (id & 0xFFFF0000u) == 0x05050000u && (id & 0xFFFFu) >= 3 && (id & 0xFFFFu) <= 5 ? id & 0xFFFFu : id;
}
}  // namespace

void TBaseCacheTable::GetProperty(TPropertyId id, void* buffer, std::uint16_t size,
                                  std::uint16_t& length) {
  length = 0;
  id = CacheLocalId(id);
  switch (id) {
    case 3:
      PutPropertyBytes(&VisibleKinds, 1, buffer, size, length);
      return;
    case 4: {
      std::uint8_t keep = KeepSourceValues ? 1 : 0;
      PutPropertyBytes(&keep, 1, buffer, size, length);
      return;
    }
    case 5: {
      std::uint32_t rows = static_cast<std::uint32_t>(cache_->RowCount());
      PutPropertyBytes(&rows, sizeof rows, buffer, size, length);
      return;
    }
    default:
      wrapped_->GetProperty(id, buffer, size, length);
  }
}

void TBaseCacheTable::SetProperty(TPropertyId id, TPropertyValue value) {
  id = CacheLocalId(id);
  if (id == 3)
    VisibleKinds = static_cast<std::uint8_t>(value);
  else if (id == 4)
    KeepSourceValues = static_cast<std::intptr_t>(value) > 0;
  else
    wrapped_->SetProperty(id, value);
}

void TBaseCacheTable::CheckPropertyValue(TPropertyId id, TPropertyValue value) {
  wrapped_->CheckPropertyValue(id, value);
}

void TBaseCacheTable::BeginCachedUpdates(TBaseTable*&) { RaiseNotSupported(); }

void TBaseCacheTable::EndCachedUpdates(TBaseTable*& handle) {
  HandOverFilters(this, wrapped_);
  handle = wrapped_;
  delete this;
}

// The filters test a record as the dataset shows it, its cached change laid
// over it: they move to the wrapper, which tests each fetched record after
// the overlay, and back to the wrapped cursor when the wrapper ends. They
// keep reading fields through the wrapped cursor, which knows them.
void TBaseCacheTable::HandOverFilters(TBaseTable* from, TBaseTable* to) {
  std::vector<std::pair<TFilterListItem*, bool>> moved;
  for (int i = 0; i < from->FilterList()->Count(); ++i) {
    auto* filter = static_cast<TFilterListItem*>(from->FilterList()->At(i));
    moved.emplace_back(filter, filter->Active());
  }
  from->DeactivateFilter(nullptr);  // the cursor left drops its pre-selection
  for (const auto& [filter, active] : moved) {
    from->FilterList()->Remove(filter);
    to->FilterList()->Insert(filter);
  }
  from->UpdateFilterFlag();
  for (const auto& [filter, active] : moved)
    if (active) to->ActivateFilter(filter);
}

bool TBaseCacheTable::ShownAndAccepted(std::uint8_t* buffer, TRecordProps* props) {
  if (!FiltersActive) return SyncCurrentRow(buffer, props);
  // A filter needs the record itself, also where the caller only moves.
  std::vector<std::uint8_t> scratch;
  if (buffer == nullptr) {
    scratch.assign(std::max<std::size_t>(GetRecordBufferSize(), 1), 0);
    buffer = scratch.data();
    wrapped_->GetCurrentRecord(0, buffer, nullptr);
  }
  return SyncCurrentRow(buffer, props) && FilterAccepts(buffer);
}

void TBaseCacheTable::ProcessCachedUpdates(int subCommand) {
  switch (subCommand) {
    case 0:
      cache_->ClearRows();
      break;
    case 1:
      cache_->EmptyTable();
      break;
    case 2:
      wrapped_->GetBookmark(bookmark_.data());
      cache_->SetToBookmark(bookmark_.data());
      cache_->DeleteRecord(nullptr);
      break;
    case 3:
      cache_->ApplyRowsTo();
      break;
    default:
      break;
  }
}

void TBaseCacheTable::GetCacheTable(TMemTable*& table) { table = cache_; }

void TBaseCacheTable::SwitchToIndex(const char*, const char*, std::uint16_t, bool) {
  RaiseEngineError(dberr::NoSuchIndex);
}

void TBaseCacheTable::InsertRecord(int lock, std::uint8_t* buffer) {
  std::map<std::uint16_t, std::string> blobs = BlobsOf(CheckParam(buffer), {});
  cache_->InsertRecord(lock, buffer);
  cache_->CurrentRow()->Blobs = std::move(blobs);
}

void TBaseCacheTable::AppendRecord(std::uint8_t* buffer) {
  std::map<std::uint16_t, std::string> blobs = BlobsOf(CheckParam(buffer), {});
  cache_->AppendRecord(buffer);
  cache_->CurrentRow()->Blobs = std::move(blobs);
}

void TBaseCacheTable::ModifyRecord(std::uint8_t* buffer, int) {
  wrapped_->GetBookmark(bookmark_.data());
  const TMemTableRecord* before = cache_->RowAtBookmark(bookmark_.data());
  std::map<std::uint16_t, std::string> blobs =
      BlobsOf(CheckParam(buffer), before != nullptr ? before->Blobs : std::map<std::uint16_t, std::string>{});
  cache_->StoreRow(buffer, bookmark_.data());
  cache_->CurrentRow()->Blobs = std::move(blobs);
  // The edit went to the cache: the table's record lock taken for it ends here.
  wrapped_->CancelRecordChange(nullptr);
}

std::map<std::uint16_t, std::string> TBaseCacheTable::BlobsOf(std::uint8_t* buffer,
                                                              std::map<std::uint16_t, std::string> before) {
  TMorvaFieldCache* fields = wrapped_->FieldCache();
  for (int i = 0; i < fields->Count(); ++i) {
    TFieldCacheItem* item = fields->FieldByNumber(i + 1);
    if (item->Desc.FieldType != fldtype::Blob) continue;
    const auto number = static_cast<std::uint16_t>(i + 1);
    item->SetRecordBuffer(buffer);
    if (!item->IsChanged()) continue;
    std::uint32_t size = 0;
    bool open = true;
    try {
      wrapped_->GetBlobSize(buffer, number, size);
    } catch (const EMorvaEngineError&) {
      open = false;  // nothing written through a blob in this edit
    }
    if (open) {
      std::string content(size, '\0');
      std::uint32_t read = 0;
      if (size > 0) wrapped_->ReadBlobPiece(buffer, number, 0, size, content.data(), read);
      content.resize(read);
      before[number] = std::move(content);
    } else if (const std::string* cached = CachedBlob(buffer, number)) {
      before[number] = *cached;
    }
    item->SetRecordBuffer(buffer);
    if (item->IsBlank()) before.erase(number);
  }
  return before;
}

std::string TBaseCacheTable::BlobSlots(const std::uint8_t* buffer) {
  std::string slots;
  TMorvaFieldCache* fields = wrapped_->FieldCache();
  for (int i = 0; i < fields->Count(); ++i) {
    const TFieldDesc& d = fields->FieldByNumber(i + 1)->Desc;
    if (d.FieldType == fldtype::Blob) slots.append(reinterpret_cast<const char*>(buffer) + d.Offset, d.Length);
  }
  return slots;
}

void TBaseCacheTable::NoteShown(const std::uint8_t* buffer, const TMemTableRecord* row) {
  if (row == nullptr || row->Blobs.empty()) {
    shown_.erase(buffer);
    return;
  }
  // Buffers come and go with the dataset's window: a few dozen at a time.
  constexpr std::size_t kShownBuffers = 4096;
  if (shown_.size() >= kShownBuffers && shown_.count(buffer) == 0) shown_.clear();
  shown_[buffer] = {row->Bookmark, BlobSlots(buffer)};
}

const std::string* TBaseCacheTable::CachedBlob(const std::uint8_t* buffer, std::uint16_t fieldNumber) {
  auto shown = shown_.find(buffer);
  if (shown == shown_.end()) return nullptr;
  if (shown->second.slots != BlobSlots(buffer)) {
    shown_.erase(shown);  // the buffer holds another record, or blobs of its own
    return nullptr;
  }
  const TMemTableRecord* row = cache_->RowAtBookmark(shown->second.bookmark.data());
  if (row == nullptr) return nullptr;
  auto blob = row->Blobs.find(fieldNumber);
  return blob == row->Blobs.end() ? nullptr : &blob->second;
}

void TBaseCacheTable::DeleteRecord(std::uint8_t* buffer) {
  wrapped_->GetBookmark(bookmark_.data());
  cache_->DeleteRowAtBookmark(buffer, bookmark_.data());
}

bool TBaseCacheTable::SyncCurrentRow(std::uint8_t* buffer, TRecordProps* props) {
  bool hasRow = true;
  try {
    wrapped_->GetBookmark(bookmark_.data());
    cache_->SetToBookmark(bookmark_.data());
  } catch (const EMorvaEngineError&) {
    hasRow = false;
  }
  if (!cache_->FindRow(VisibleKinds, hasRow)) return false;
  TMemTableRecord* row = hasRow ? cache_->CurrentRow() : nullptr;
  const bool laid = row != nullptr && !KeepSourceValues && buffer != nullptr;
  if (laid) {
    // The fields' blank and changed marks too: a value the change gave a
    // field that is blank in the table reads as given.
    std::memcpy(buffer, row->Record.data(),
                std::min<std::size_t>(wrapped_->GetRecordBufferSize(), row->Record.size()));
  }
  if (buffer != nullptr) NoteShown(buffer, laid ? row : nullptr);
  if (row != nullptr) {
    if (props != nullptr) *props = row->Props;
  } else if (props != nullptr) {
    *props = TRecordProps{};
  }
  return true;
}

void TBaseCacheTable::GetNextRecord(int lock, std::uint8_t* buffer, TRecordProps* props) {
  do {
    wrapped_->GetNextRecord(lock, buffer, props);
  } while (!ShownAndAccepted(buffer, props));
}

void TBaseCacheTable::GetPriorRecord(int lock, std::uint8_t* buffer, TRecordProps* props) {
  do {
    wrapped_->GetPriorRecord(lock, buffer, props);
  } while (!ShownAndAccepted(buffer, props));
}

void TBaseCacheTable::GetCurrentRecord(int lock, std::uint8_t* buffer, TRecordProps* props) {
  wrapped_->GetCurrentRecord(lock, buffer, props);
  if (!SyncCurrentRow(buffer, props)) RaiseEngineError(dberr::NoCurrRec);
  // A locking read starts an edit of the record the caller stands on: it
  // stays there when another user's change has taken it out of the filters
  // since (as the table's own read does).
  if (lock != 1 && FiltersActive && buffer != nullptr && !FilterAccepts(buffer)) {
    // As the base cursor does: on to the next record the filters accept.
    if (wrapped_->FetchDirection == 2)
      GetPriorRecord(lock, buffer, props);
    else
      GetNextRecord(lock, buffer, props);
  }
}

void TBaseCacheTable::MoveToRangeStart() {
  wrapped_->MoveToRangeStart();
  if (!ShownAndAccepted(nullptr, nullptr)) GetNextRecord(0, nullptr, nullptr);
}

void TBaseCacheTable::MoveToRangeEnd() {
  wrapped_->MoveToRangeEnd();
  if (!ShownAndAccepted(nullptr, nullptr)) GetPriorRecord(0, nullptr, nullptr);
}

// ---- Blobs of records showing a cached change

void TBaseCacheTable::OpenBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, int openMode) {
  const std::string* cached = CachedBlob(buffer, fieldNumber);
  if (cached == nullptr) {
    wrapped_->OpenBlob(buffer, fieldNumber, openMode);
    return;
  }
  if (openMode == kBlobReadOnly) {
    cachedReads_[{buffer, fieldNumber}] = *cached;
    return;
  }
  // Opening changes the buffer's blob bytes: the content is taken first.
  const std::string content = *cached;
  wrapped_->OpenBlob(buffer, fieldNumber, openMode);
  if (!content.empty())
    wrapped_->WriteBlob(buffer, fieldNumber, 0, static_cast<std::uint32_t>(content.size()), content.data());
}

void TBaseCacheTable::GetBlobSize(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t& size) {
  auto read = cachedReads_.find({buffer, fieldNumber});
  if (read == cachedReads_.end()) {
    wrapped_->GetBlobSize(buffer, fieldNumber, size);
    return;
  }
  size = static_cast<std::uint32_t>(read->second.size());
}

void TBaseCacheTable::ReadBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t offset,
                               std::uint32_t length, void* dest, std::uint32_t& read) {
  if (ReadBlobPiece(buffer, fieldNumber, offset, length, dest, read)) RaiseEngineError(dberr::EndOfBlob);
}

bool TBaseCacheTable::ReadBlobPiece(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t offset,
                                    std::uint32_t length, void* dest, std::uint32_t& read) {
  auto open = cachedReads_.find({buffer, fieldNumber});
  if (open == cachedReads_.end()) return wrapped_->ReadBlobPiece(buffer, fieldNumber, offset, length, dest, read);
  // As the table's blobs read: past the end is an error, a read up to it ends there.
  const std::string& content = open->second;
  read = 0;
  if (offset > content.size()) RaiseEngineError(dberr::InvalidBlobOffset);
  if (dest == nullptr || length == 0) return false;
  read = static_cast<std::uint32_t>(std::min<std::size_t>(length, content.size() - offset));
  std::memcpy(dest, content.data() + offset, read);
  return offset + read == content.size();
}

void TBaseCacheTable::ReadWholeBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::string& out) {
  if (const std::string* cached = CachedBlob(buffer, fieldNumber))
    out = *cached;
  else
    wrapped_->ReadWholeBlob(buffer, fieldNumber, out);
}

void TBaseCacheTable::FreeBlob(std::uint8_t* buffer, std::uint16_t fieldNumber) {
  if (cachedReads_.erase({buffer, fieldNumber}) == 0) wrapped_->FreeBlob(buffer, fieldNumber);
}

void TBaseCacheTable::AddFilter(std::intptr_t clientData, std::uint16_t priority, bool canAbort,
                                const void* expression, TFilterCallback callback, TFilterListItem*& filter) {
  // Read through the wrapped cursor, which holds the fields.
  filter = nullptr;
  auto* item = new TFilterListItem(wrapped_, clientData, priority, canAbort ? 1 : 0, expression, callback);
  FilterList()->Insert(item);
  UpdateFilterFlag();
  filter = item;
}

// ---- Everything else goes to the wrapped cursor unchanged.

std::uint16_t TBaseCacheTable::GetWorkBufferSize() { return wrapped_ ? wrapped_->GetWorkBufferSize() : 0; }
std::uint8_t* TBaseCacheTable::GetRecordBuffer() { return wrapped_->GetRecordBuffer(); }
void TBaseCacheTable::SetRecordBuffer(std::uint8_t* b) { wrapped_->SetRecordBuffer(b); }
std::uint8_t* TBaseCacheTable::GetInitBuffer() { return wrapped_->GetInitBuffer(); }
void TBaseCacheTable::SetInitBuffer(std::uint8_t* b) { wrapped_->SetInitBuffer(b); }
std::string TBaseCacheTable::GetTableName() { return wrapped_ ? wrapped_->GetTableName() : TBaseTable::GetTableName(); }
void TBaseCacheTable::SetTableName(const char* n) {
  if (wrapped_) wrapped_->SetTableName(n); else TBaseTable::SetTableName(n);
}
std::string TBaseCacheTable::GetSourceTableName() { return wrapped_->GetSourceTableName(); }
void TBaseCacheTable::SetSourceTableName(const char* n) { wrapped_->SetSourceTableName(n); }
void TBaseCacheTable::CheckRecordInRange(std::uint8_t* b) { wrapped_->CheckRecordInRange(b); }
std::uint16_t TBaseCacheTable::GetDataSize() { return wrapped_->GetDataSize(); }
std::uint16_t TBaseCacheTable::GetRecordBufferSize() { return wrapped_->GetRecordBufferSize(); }
std::uint16_t TBaseCacheTable::GetBookmarkSize() { return wrapped_->GetBookmarkSize(); }
void TBaseCacheTable::GetFieldDescriptor(std::uint16_t p, std::uint16_t l, TFieldDesc& d) { wrapped_->GetFieldDescriptor(p, l, d); }
std::uint16_t TBaseCacheTable::GetSearchCondition(bool i, bool s) { return wrapped_->GetSearchCondition(i, s); }
void TBaseCacheTable::MoveToFirst() { wrapped_->MoveToFirst(); }
void TBaseCacheTable::MoveToLast() { wrapped_->MoveToLast(); }
void TBaseCacheTable::MoveToNext() { wrapped_->MoveToNext(); }
void TBaseCacheTable::MoveToPrior() { wrapped_->MoveToPrior(); }
void TBaseCacheTable::CopyFieldOut(std::uint16_t t, std::uint16_t k, std::int16_t u, std::uint16_t l,
                                   const std::uint8_t* v, void* d, bool& b) { wrapped_->CopyFieldOut(t, k, u, l, v, d, b); }
void TBaseCacheTable::CopyFieldIn(std::uint16_t t, std::uint16_t k, std::int16_t u, std::uint16_t l,
                                  std::uint8_t* v, const void* s) { wrapped_->CopyFieldIn(t, k, u, l, v, s); }
int TBaseCacheTable::CompareFieldValues(std::uint16_t t, std::uint16_t s, std::uint16_t l, bool c,
                                        const void* a, const void* b) { return wrapped_->CompareFieldValues(t, s, l, c, a, b); }
void TBaseCacheTable::ReadFieldValue(TFieldCacheItem* i, std::uint8_t* b, bool& bl, void* d) { wrapped_->ReadFieldValue(i, b, bl, d); }
void TBaseCacheTable::WriteFieldValue(TFieldCacheItem* i, std::uint8_t* b, const void* s) { wrapped_->WriteFieldValue(i, b, s); }
void TBaseCacheTable::Op30() { wrapped_->Op30(); }
bool TBaseCacheTable::HasFieldStatusArea() { return wrapped_->HasFieldStatusArea(); }
void TBaseCacheTable::GetRecordLayout(std::uint16_t& f, std::uint16_t& r) { wrapped_->GetRecordLayout(f, r); }
void TBaseCacheTable::OpenCursor() { wrapped_->OpenCursor(); }
void TBaseCacheTable::CloseCursor() { wrapped_->CloseCursor(); }
void TBaseCacheTable::Op35() { wrapped_->Op35(); }
void TBaseCacheTable::OpenDuplicateCursor(bool r, bool u, TBaseTable*& c) { wrapped_->OpenDuplicateCursor(r, u, c); }
void TBaseCacheTable::Op37() { wrapped_->Op37(); }
void TBaseCacheTable::Op38() { wrapped_->Op38(); }
void TBaseCacheTable::LoadFieldList(std::uint16_t n, TFieldDesc& d) { wrapped_->LoadFieldList(n, d); }
void TBaseCacheTable::GetFieldDescriptors(TFieldDesc* d) { wrapped_->GetFieldDescriptors(d); }
void TBaseCacheTable::SetToStart() { wrapped_->SetToStart(); }
void TBaseCacheTable::SetToEnd() { wrapped_->SetToEnd(); }
void TBaseCacheTable::CopyPositionTo(TBaseTable* o) { wrapped_->CopyPositionTo(o); }
void TBaseCacheTable::GetBookmark(std::uint8_t* b) { wrapped_->GetBookmark(b); }
void TBaseCacheTable::SetToBookmark(const std::uint8_t* b) { wrapped_->SetToBookmark(b); }
void TBaseCacheTable::GetRecordAtBookmark(const std::uint8_t* bm, std::uint8_t* b, int l) { wrapped_->GetRecordAtBookmark(bm, b, l); }
const std::uint8_t* TBaseCacheTable::GetBookmarkKey(const std::uint8_t* b) { return wrapped_->GetBookmarkKey(b); }
int TBaseCacheTable::CompareBookmarks(const std::uint8_t* a, const std::uint8_t* b) { return wrapped_->CompareBookmarks(a, b); }
void TBaseCacheTable::FillRecordProperties(TRecordProps* p) { wrapped_->FillRecordProperties(p); }
void TBaseCacheTable::SkipRecords(std::int32_t n, int l, std::uint8_t* b, TRecordProps* p) { wrapped_->SkipRecords(n, l, b, p); }
void TBaseCacheTable::FetchRecordByKey(bool d, std::uint16_t f, std::uint16_t l, const std::uint8_t* k,
                                       std::uint8_t* b) { wrapped_->FetchRecordByKey(d, f, l, k, b); }
void TBaseCacheTable::GetFieldCheckDescriptor(std::uint16_t n, void* d) { wrapped_->GetFieldCheckDescriptor(n, d); }
void TBaseCacheTable::Op58() { wrapped_->Op58(); }
void TBaseCacheTable::Op59() { wrapped_->Op59(); }
void TBaseCacheTable::Op60() { wrapped_->Op60(); }
void TBaseCacheTable::Op61() { wrapped_->Op61(); }
void TBaseCacheTable::CancelRecordChange(void* r) { wrapped_->CancelRecordChange(r); }
void TBaseCacheTable::GetEditPending(std::int32_t& v) { wrapped_->GetEditPending(v); }
void TBaseCacheTable::Op64(std::uint16_t& v) { wrapped_->Op64(v); }
void TBaseCacheTable::Op65(std::int32_t& v) { wrapped_->Op65(v); }
void TBaseCacheTable::InitRecord(std::uint8_t* b) {
  shown_.erase(b);
  wrapped_->InitRecord(b);
}
void TBaseCacheTable::ClearDeleteFlag() { wrapped_->ClearDeleteFlag(); }
void TBaseCacheTable::ReadRecordBlock(std::uint32_t& c, std::uint8_t* b) { wrapped_->ReadRecordBlock(c, b); }
void TBaseCacheTable::WriteRecordBlock(std::uint32_t& c, std::uint8_t* b) { wrapped_->WriteRecordBlock(c, b); }
void TBaseCacheTable::GetAbsolutePosition(std::uint32_t& p) { wrapped_->GetAbsolutePosition(p); }
void TBaseCacheTable::SetAbsolutePosition(std::uint32_t p) { wrapped_->SetAbsolutePosition(p); }
void TBaseCacheTable::GetCursorProperties(TCursorProps& p) {
  wrapped_->GetCursorProperties(p);
  p.FilterCount = static_cast<std::uint16_t>(FilterList()->Count());
}
void TBaseCacheTable::GetRecordCount(std::uint32_t& c) { wrapped_->GetRecordCount(c); }
void TBaseCacheTable::QueryRecordCount(std::uint32_t& c) {
  // Filtered, the records the wrapper shows are counted one by one.
  if (FiltersActive)
    TBaseTable::GetRecordCount(c);
  else
    wrapped_->QueryRecordCount(c);
}
void TBaseCacheTable::GetSequenceNumber(std::uint32_t& n) { wrapped_->GetSequenceNumber(n); }
void TBaseCacheTable::SetToSequenceNumber(std::uint32_t n) { wrapped_->SetToSequenceNumber(n); }
void TBaseCacheTable::Op81() { wrapped_->Op81(); }
void TBaseCacheTable::SetRereadFlag() { wrapped_->SetRereadFlag(); }
void TBaseCacheTable::RereadCurrentRecord(std::uint8_t* b) { wrapped_->RereadCurrentRecord(b); }
void TBaseCacheTable::Op84() { wrapped_->Op84(); }
void TBaseCacheTable::Op85() { wrapped_->Op85(); }
void TBaseCacheTable::SetRange(bool k, std::uint16_t sf, std::uint16_t sl, const std::uint8_t* sk, bool si,
                               std::uint16_t ef, std::uint16_t el, const std::uint8_t* ek, bool ei) {
  wrapped_->SetRange(k, sf, sl, sk, si, ef, el, ek, ei);
}
void TBaseCacheTable::ResetRange() { if (wrapped_) wrapped_->ResetRange(); }
void TBaseCacheTable::CompareKeys(const std::uint8_t* a, const std::uint8_t* b, std::uint16_t f,
                                  std::uint16_t l, int& r) { wrapped_->CompareKeys(a, b, f, l, r); }
void TBaseCacheTable::FindIndexByName(const char* n, std::uint16_t& i, std::string& s) { wrapped_->FindIndexByName(n, i, s); }
void TBaseCacheTable::SeekKeyOrEnd(std::uint16_t c, bool k, std::uint8_t* b, const std::uint8_t* key,
                                   std::uint16_t l, std::uint16_t f) { wrapped_->SeekKeyOrEnd(c, k, b, key, l, f); }
void TBaseCacheTable::SeekKey(std::uint16_t c, bool k, std::uint8_t* b, const std::uint8_t* key,
                              std::uint16_t l, std::uint16_t f) { wrapped_->SeekKey(c, k, b, key, l, f); }
void TBaseCacheTable::ExtractKey(const std::uint8_t* r, std::uint8_t* k) { wrapped_->ExtractKey(r, k); }
void TBaseCacheTable::ExtractKeyFields(const std::uint8_t* r, std::uint8_t* k, std::uint16_t f,
                                       std::uint16_t l) { wrapped_->ExtractKeyFields(r, k, f, l); }
void TBaseCacheTable::GetIndexDescriptor(std::uint16_t n, TIndexDesc& d) { wrapped_->GetIndexDescriptor(n, d); }
void TBaseCacheTable::GetIndexDescriptors(TIndexDesc* d) { wrapped_->GetIndexDescriptors(d); }
void TBaseCacheTable::Op97() { wrapped_->Op97(); }
void TBaseCacheTable::Op98() { wrapped_->Op98(); }
void TBaseCacheTable::DeleteAllRecords() { wrapped_->DeleteAllRecords(); }
void TBaseCacheTable::EmptyTable() { wrapped_->EmptyTable(); }
void TBaseCacheTable::Op101() { wrapped_->Op101(); }
void TBaseCacheTable::Op102() { wrapped_->Op102(); }
void TBaseCacheTable::LockCurrentRecord() { wrapped_->LockCurrentRecord(); }
void TBaseCacheTable::PrepareReplayedChange(int v) { wrapped_->PrepareReplayedChange(v); }
void TBaseCacheTable::GetCursorStateAddress(void*& a) { wrapped_->GetCursorStateAddress(a); }
void TBaseCacheTable::WriteBlob(std::uint8_t* b, std::uint16_t f, std::uint32_t o, std::uint32_t l,
                                const void* s) { wrapped_->WriteBlob(b, f, o, l, s); }
void TBaseCacheTable::TruncateBlob(std::uint8_t* b, std::uint16_t f, std::uint32_t l) { wrapped_->TruncateBlob(b, f, l); }
void TBaseCacheTable::Op116() { wrapped_->Op116(); }
void TBaseCacheTable::Op117() { wrapped_->Op117(); }
void TBaseCacheTable::GetField(std::uint16_t n, std::uint8_t* b, void* d, bool& bl) { wrapped_->GetField(n, b, d, bl); }
void TBaseCacheTable::PutField(std::uint16_t n, std::uint8_t* b, const void* s) { wrapped_->PutField(n, b, s); }
void TBaseCacheTable::GetFieldIsBlank(std::uint16_t n, std::uint8_t* b, bool& bl) { wrapped_->GetFieldIsBlank(n, b, bl); }
void TBaseCacheTable::Op127() { wrapped_->Op127(); }
void TBaseCacheTable::Op128() { wrapped_->Op128(); }
void TBaseCacheTable::Op129() { wrapped_->Op129(); }
void TBaseCacheTable::Op130() { wrapped_->Op130(); }
void TBaseCacheTable::Op131() { wrapped_->Op131(); }
void TBaseCacheTable::Op132() { wrapped_->Op132(); }
