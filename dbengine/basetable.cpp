#include "dbengine/basetable.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "dbengine/basedatabase.h"
#include "dbengine/enginetext.h"
#include "dbengine/memtable.h"
#include "platform/classlib/core/foldedorder.h"
#include "platform/classlib/core/messagepump.h"
#include "platform/classlib/core/strutils.h"

using dbengine_detail::CutChars;
using dbengine_detail::SameName;

IMPLEMENT_CLASS(TBaseTable, TBapiListItem)

namespace {
template <class T>
int Sign(T a, T b) { return a < b ? -1 : (a > b ? 1 : 0); }

template <class T>
T Load(const void* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

// Texts read up to their first NUL, over at most `length` bytes, compared a
// byte at a time; without regard to case in the database's own case-blind
// order (CompareFoldedText: every case pair of Unicode's simple folding), so
// that a case-blind filter, range or key finds what a case-blind index finds,
// and where it finds it.
int CompareTexts(const char* a, const char* b, std::size_t length, bool caseInsensitive) {
  const std::string_view x(a, strnlen(a, length)), y(b, strnlen(b, length));
  if (caseInsensitive) return CompareFoldedText(x, y);
  const int c = x.compare(y);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
}  // namespace

TBaseTable::TBaseTable(TBapiListItem* owner, TMorvaCollection* ownerList, const char* tableName,
                       const char* driverType, std::int32_t openMode, std::int32_t shareMode)
    : TBapiListItem(owner, ownerList), OpenMode(openMode), ShareMode(shareMode) {
  CursorState = curstate::Closed;
  SetTableName(tableName);
  if (driverType != nullptr) DriverType = CutChars(driverType, 31);
  fieldCache_ = new TMorvaFieldCache(this);
  filterList_ = new TMorvaCollection();
}

TBaseTable::~TBaseTable() {
  delete filterList_;
  delete fieldCache_;
}

void TBaseTable::AllocateWorkBuffer() {
  std::uint16_t size = GetWorkBufferSize();
  if (size > 0) workBuffer_.assign(size, 0);
}

// ---- Properties

void TBaseTable::GetProperty(TPropertyId id, void* buffer, std::uint16_t size,
                             std::uint16_t& length) {
  length = 0;
  switch (id) {
    case 0: {
      std::uint16_t kind = 11;
      PutPropertyBytes(&kind, sizeof kind, buffer, size, length);
      return;
    }
    case 1:
      return;
    case 5: {
      std::int32_t zero = 0;
      PutPropertyBytes(&zero, sizeof zero, buffer, size, length);
      return;
    }
    default:
      TBapiListItem::GetProperty(id, buffer, size, length);
  }
}

void TBaseTable::SetProperty(TPropertyId, TPropertyValue) {}  // its properties are read-only

void TBaseTable::CheckPropertyValue(TPropertyId id, TPropertyValue value) {
  if ((id == 0 || id == 1) && value == 0) RaiseNotSupported();
}

// ---- Accessors

std::uint16_t TBaseTable::GetWorkBufferSize() { return 0; }
std::uint8_t* TBaseTable::GetRecordBuffer() { return recordBuffer_; }
void TBaseTable::SetRecordBuffer(std::uint8_t* buffer) { recordBuffer_ = buffer; }
std::uint8_t* TBaseTable::GetInitBuffer() { return initBuffer_; }
void TBaseTable::SetInitBuffer(std::uint8_t* buffer) { initBuffer_ = buffer; }
std::string TBaseTable::GetTableName() { return tableName_; }

void TBaseTable::SetTableName(const char* name) {
  if (name != nullptr) tableName_ = CutChars(name, 260);
}

std::string TBaseTable::GetSourceTableName() { return sourceTableName_; }

void TBaseTable::SetSourceTableName(const char* name) {
  std::string_view text = name != nullptr ? name : "";
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  sourceTableName_ = CutChars(text, 255);
}

std::uint16_t TBaseTable::GetDataSize() { return dataSize_; }

std::uint16_t TBaseTable::GetRecordBufferSize() {
  std::uint16_t size = GetDataSize();
  if (HasFieldStatusArea()) size = static_cast<std::uint16_t>(size + 8 * FieldCache()->Count() + 1);
  return size;
}

std::uint16_t TBaseTable::GetBookmarkSize() { return 256; }

std::uint16_t TBaseTable::GetSearchCondition(bool inclusive, bool isStart) {
  if (isStart) return inclusive ? keysearch::GreaterOrEqual : keysearch::Greater;
  return inclusive ? keysearch::LessOrEqual : keysearch::Less;
}

void TBaseTable::InitStorage() {}  // a driver keeps its storage itself
void TBaseTable::FreeStorage() {}
void TBaseTable::MoveToFirst() { RaiseBofError(); }
void TBaseTable::MoveToLast() { RaiseEofError(); }
void TBaseTable::MoveToNext() { RaiseEofError(); }
void TBaseTable::MoveToPrior() { RaiseBofError(); }

// ---- Fields

void TBaseTable::CopyFieldOut(std::uint16_t, std::uint16_t, std::int16_t, std::uint16_t,
                              const std::uint8_t*, void*, bool& blank) {
  blank = false;
}

void TBaseTable::CopyFieldIn(std::uint16_t, std::uint16_t, std::int16_t, std::uint16_t,
                             std::uint8_t*, const void*) {}

int TBaseTable::CompareFieldValues(std::uint16_t fieldType, std::uint16_t, std::uint16_t length,
                                   bool caseInsensitive, const void* a, const void* b) {
  switch (fieldType) {
    case fldtype::ZString:
      return CompareTexts(static_cast<const char*>(a), static_cast<const char*>(b), length,
                          caseInsensitive);
    case fldtype::Int16:
      if (length == 1) return Sign(Load<std::int8_t>(a), Load<std::int8_t>(b));
      if (length == 2) return Sign(Load<std::int16_t>(a), Load<std::int16_t>(b));
      return 0;
    case fldtype::UInt16:
      if (length == 1) return Sign(Load<std::uint8_t>(a), Load<std::uint8_t>(b));
      if (length == 2) return Sign(Load<std::uint16_t>(a), Load<std::uint16_t>(b));
      return 0;
    case fldtype::Bool:
      // Drivers store true as 1, the filter parser writes it as -1: any
      // non-zero word is true.
      return Sign(Load<std::int16_t>(a) != 0, Load<std::int16_t>(b) != 0);
    case fldtype::Int32:
      return Sign(Load<std::int32_t>(a), Load<std::int32_t>(b));
    case fldtype::UInt32:
      return Sign(Load<std::uint32_t>(a), Load<std::uint32_t>(b));
    case fldtype::Float:
      return Sign(Load<double>(a), Load<double>(b));
    case fldtype::TimeStamp:
      return Sign(Load<std::int64_t>(a), Load<std::int64_t>(b));
    default:
      return CompareBytes(a, b, length);
  }
}

TFieldScratch::TFieldScratch(std::size_t size, bool zeroed) {
  if (size <= sizeof stack_) {
    if (zeroed) std::memset(stack_, 0, size);
    data_ = stack_;
  } else {
    heap_.assign(size, 0);
    data_ = heap_.data();
  }
}

void TBaseTable::ReadFieldValue(TFieldCacheItem* item, std::uint8_t* buffer, bool& blank,
                                void* dest) {
  CheckParam(buffer);
  item->SetRecordBuffer(buffer);
  blank = item->IsBlank();
  if (!blank && dest != nullptr)
    CopyFieldOut(item->Desc.DriverType, item->Desc.KeyWidth, item->Desc.Units2, item->Desc.Length,
                 item->Value(), dest, blank);
}

void TBaseTable::WriteFieldValue(TFieldCacheItem* item, std::uint8_t* buffer, const void* source) {
  CheckParam(buffer);
  item->SetRecordBuffer(buffer);
  CopyFieldIn(item->Desc.DriverType, item->Desc.KeyWidth, item->Desc.Units2, item->Desc.Length,
              item->Value(), source);
}

void TBaseTable::Op30() {}  // reserved; nothing to do in the base
bool TBaseTable::HasFieldStatusArea() { return false; }

void TBaseTable::GetRecordLayout(std::uint16_t& fieldCount, std::uint16_t& recordSize) {
  fieldCount = static_cast<std::uint16_t>(FieldCache()->Count());
  if (fieldCount == 0) RaiseEngineError(dberr::InvalidRecStruct);
  if (recordSize_ == 0) {
    for (int n = 1; n <= fieldCount; ++n) {
      const TFieldDesc& d = FieldCache()->FieldByNumber(n)->Desc;
      recordSize_ = std::max<std::uint16_t>(recordSize_, static_cast<std::uint16_t>(d.Offset + d.Length));
    }
  }
  recordSize = recordSize_;
}

void TBaseTable::GetFieldDescriptor(std::uint16_t position, std::uint16_t length,
                                    TFieldDesc& desc) {
  const TFieldDesc* found = nullptr;
  for (int n = 1; n <= FieldCache()->Count(); ++n) {
    const TFieldDesc& d = FieldCache()->FieldByNumber(n)->Desc;
    if (d.Offset + 1 != position) continue;
    found = &d;
    if (d.Length == length) break;
  }
  if (found == nullptr) RaiseEngineErrorText(dberr::InvalidRecStruct, "Table: " + GetTableName());
  desc = *found;
}

void TBaseTable::LoadFieldList(std::uint16_t, TFieldDesc&) { RaiseNotSupported(); }

void TBaseTable::GetFieldDescriptors(TFieldDesc* descs) {
  CheckParam(descs);
  for (int n = 1; n <= FieldCache()->Count(); ++n) descs[n - 1] = FieldCache()->FieldByNumber(n)->Desc;
}

void TBaseTable::InitRecord(std::uint8_t* buffer) {
  CheckParam(buffer);
  std::memset(buffer, 0, GetRecordBufferSize());
  if (HasFieldStatusArea()) FieldCache()->ResetStatus(buffer);
  SetInitBuffer(buffer);
}

void TBaseTable::GetField(std::uint16_t fieldNumber, std::uint8_t* buffer, void* dest,
                          bool& blank) {
  CheckParam(buffer);
  TFieldCacheItem* item = FieldCache()->FieldByNumber(fieldNumber);
  item->SetRecordBuffer(buffer);
  if (dest != nullptr) {
    ReadFieldValue(item, buffer, blank, dest);
  } else {
    // Only asked whether it is blank: the value is read all the same (a text
    // of zeros is blank), and thrown away.
    TFieldScratch scratch(std::max<std::size_t>(256, std::size_t{item->Desc.Length} + 1), false);
    ReadFieldValue(item, buffer, blank, scratch.Data());
  }
  item->SetBlank(blank);
}

void TBaseTable::PutField(std::uint16_t fieldNumber, std::uint8_t* buffer, const void* source) {
  CheckParam(buffer);
  TFieldCacheItem* item = FieldCache()->FieldByNumber(fieldNumber);
  item->SetRecordBuffer(buffer);
  WriteFieldValue(item, buffer, source);
  item->SetChanged(true);
  item->SetBlank(source == nullptr);
}

void TBaseTable::GetFieldIsBlank(std::uint16_t fieldNumber, std::uint8_t* buffer, bool& blank) {
  GetField(fieldNumber, buffer, nullptr, blank);
}

// ---- Opening and positioning

void TBaseTable::OpenCursor() { CursorState = curstate::JustOpened; }
void TBaseTable::CloseCursor() { CursorState = curstate::Closed; }
void TBaseTable::Op35() { RaiseNotSupported(); }

void TBaseTable::OpenDuplicateCursor(bool readOnly, bool unidirectional, TBaseTable*& cursor) {
  cursor = nullptr;
  auto* database = dynamic_cast<TBaseDatabase*>(OwnerHandle());
  if (database == nullptr) RaiseEngineError(dberr::InvalidParam);
  std::string name = GetTableName();
  const std::int32_t readOnlyMode = 1;
  database->OpenTable(name.c_str(), DriverType.c_str(), nullptr, nullptr, 0,
                      readOnly ? readOnlyMode : OpenMode, ShareMode, 0, unidirectional, nullptr,
                      cursor);
}

void TBaseTable::Op37() { RaiseEngineError(dberr::NA); }
void TBaseTable::Op38() { RaiseEngineError(dberr::NA); }
void TBaseTable::SetToStart() { CursorState = curstate::BeforeFirst; }
void TBaseTable::SetToEnd() { CursorState = curstate::AfterLast; }

void TBaseTable::CopyPositionTo(TBaseTable* other) {
  CheckParam(other);
  std::vector<std::uint8_t> bookmark(GetBookmarkSize(), 0);
  GetBookmark(bookmark.data());
  other->SetToBookmark(bookmark.data());
}

void TBaseTable::GetBookmark(std::uint8_t*) { RaiseNotSupported(); }
void TBaseTable::SetToBookmark(const std::uint8_t*) { RaiseNotSupported(); }
void TBaseTable::GetRecordAtBookmark(const std::uint8_t*, std::uint8_t*, int) { RaiseNotSupported(); }
const std::uint8_t* TBaseTable::GetBookmarkKey(const std::uint8_t* bookmark) { return bookmark; }

int TBaseTable::CompareBookmarks(const std::uint8_t* a, const std::uint8_t* b) {
  int result = 0;
  CompareKeys(GetBookmarkKey(a), GetBookmarkKey(b), 0, 0, result);
  return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

// A bound's KeyData always holds key values (SetRangeBound converts a record
// into them), so the seek always takes it as a key.
void TBaseTable::MoveToRangeStart() {
  if (RangeStart.IsSet)
    SeekKey(GetSearchCondition(RangeStart.Inclusive, true), true, GetRecordBuffer(),
            RangeStart.KeyData.data(), RangeStart.KeyLength, RangeStart.FieldCount);
  else
    MoveToFirst();
}

void TBaseTable::MoveToRangeEnd() {
  if (RangeEnd.IsSet)
    SeekKey(GetSearchCondition(RangeEnd.Inclusive, false), true, GetRecordBuffer(),
            RangeEnd.KeyData.data(), RangeEnd.KeyLength, RangeEnd.FieldCount);
  else
    MoveToLast();
}

void TBaseTable::FillRecordProperties(TRecordProps*) {}  // the driver fills them

// ---- The fetch state machine

bool TBaseTable::FilterAccepts(std::uint8_t* buffer) {
  if (!FiltersActive) return true;
  for (int i = 0; i < FilterList()->Count(); ++i) {
    auto* filter = static_cast<TFilterListItem*>(FilterList()->At(i));
    if (filter->Active() && !filter->Accepts(buffer)) return false;
  }
  return true;
}

void TBaseTable::RecordPassesRangeAndFilters(std::uint8_t* buffer, bool passOver) {
  if (!PassRangeAndFilters(buffer, passOver)) RaiseEofError();
}

bool TBaseTable::PassRangeAndFilters(std::uint8_t* buffer, bool passOver) {
  if (buffer == nullptr) return true;
  while (!InRangeOnTheWay(buffer, passOver) || (FiltersActive && !FiltersDecided(buffer) && !FilterAccepts(buffer))) {
    SetRecordBuffer(buffer);
    if (FetchDirection == 2)
      MoveToPrior();
    else if (!StepToNext())
      return false;
  }
  return true;
}

// A walk starts at the range's start and ends at the first record past its
// end; a record it meets before the start going forward (or past the end
// going back) is one SQL orders otherwise than the record reads (a number
// past its field's width, a text in a number field): no end of the walk,
// only no record of the range.
bool TBaseTable::InRangeOnTheWay(std::uint8_t* buffer, bool passOver) {
  try {
    CheckRecordInRange(buffer);
  } catch (const EMorvaBoundryError& e) {
    if (!passOver || e.ErrorCode != (FetchDirection == 2 ? dberr::Eof : dberr::Bof)) throw;
    return false;
  }
  return true;
}

bool TBaseTable::StepToNext() {
  MoveToNext();
  return true;
}

void TBaseTable::FinishFetch(int lock, std::uint8_t* buffer, TRecordProps* props) {
  RecordPassesRangeAndFilters(buffer, true);
  CompleteFetch(lock, buffer, props);
}

void TBaseTable::CompleteFetch(int lock, std::uint8_t* buffer, TRecordProps* props) {
  if (lock != 0) {
    // The locking read is a read of the record just reached.
    std::uint8_t before = CursorState;
    CursorState = curstate::OnRecord;
    try {
      GetCurrentRecord(lock, buffer, props);
    } catch (...) {
      CursorState = before;
      throw;
    }
  } else {
    FillRecordProperties(props);
  }
  CursorState = curstate::OnRecord;
}

void TBaseTable::GetNextRecord(int lock, std::uint8_t* buffer, TRecordProps* props) {
  if (!NextInOrder(lock, buffer, props)) RaiseEofError();
}

bool TBaseTable::FetchNextRecord(int lock, std::uint8_t* buffer, TRecordProps* props) {
  GetNextRecord(lock, buffer, props);
  return true;
}

bool TBaseTable::NextInOrder(int lock, std::uint8_t* buffer, TRecordProps* props) {
  FetchDirection = 1;
  SetRecordBuffer(buffer);
  switch (CursorState) {
    case curstate::JustOpened:
    case curstate::BeforeFirst:
      MoveToRangeStart();
      break;
    case curstate::OnRecord:
    case curstate::BetweenRecords:
      if (!StepToNext()) return false;
      break;
    default:
      RaiseEofError();
  }
  try {
    if (!PassRangeAndFilters(buffer, true)) return false;
  } catch (const EMorvaBoundryError& e) {
    // Past the range's end, the walk is over: a further move forward must
    // not go on to a record beyond it that reads as inside again.
    if (e.ErrorCode == dberr::Eof) CursorState = curstate::AfterLast;
    throw;
  }
  CompleteFetch(lock, buffer, props);
  return true;
}

void TBaseTable::GetPriorRecord(int lock, std::uint8_t* buffer, TRecordProps* props) {
  FetchDirection = 2;
  SetRecordBuffer(buffer);
  try {
    switch (CursorState) {
      case curstate::JustOpened:
      case curstate::AfterLast:
        MoveToRangeEnd();
        break;
      case curstate::OnRecord:
      case curstate::BetweenRecords:
        MoveToPrior();
        break;
      default:
        RaiseBofError();
    }
  } catch (const EMorvaBoundryError&) {
    RaiseBofError();  // any end reached while moving backwards is the start
  }
  try {
    FinishFetch(lock, buffer, props);
  } catch (const EMorvaBoundryError& e) {
    if (e.ErrorCode == dberr::Bof) CursorState = curstate::BeforeFirst;  // before the range's start
    throw;
  }
}

void TBaseTable::GetCurrentRecord(int lock, std::uint8_t* buffer, TRecordProps* props) {
  SetRecordBuffer(buffer);
  switch (CursorState) {
    case curstate::OnRecord: {
      bool reread = RereadFlag;
      RereadFlag = false;  // this read uses it
      try {
        std::vector<std::uint8_t> bookmark(GetBookmarkSize(), 0);
        GetBookmark(bookmark.data());
        GetRecordAtBookmark(bookmark.data(), buffer, lock);
        // A locking read starts an edit of the record the caller stands on:
        // it stays there even when another user's change has taken the record
        // out of the range or the filters since, so that what the user types
        // goes to that record (and no other); the view leaves it after the
        // post, as after a change of the user's own.
        if (lock != 1) RecordPassesRangeAndFilters(buffer);
      } catch (const EMorvaEngineError&) {
        if (reread) {
          CursorState = curstate::JustOpened;
          GetNextRecord(lock, buffer, props);
          return;
        }
        if (lock == 1) CancelRecordChange(nullptr);
        throw;
      }
      FillRecordProperties(props);
      return;
    }
    case curstate::BeforeFirst:
      RaiseBofError();
    case curstate::AfterLast:
      RaiseEofError();
    case curstate::BetweenRecords:
      try {
        GetNextRecord(lock, buffer, props);
      } catch (const EMorvaEngineError&) {
        try {
          GetPriorRecord(lock, buffer, props);
        } catch (const EMorvaEngineError&) {
          CursorState = curstate::JustOpened;
          GetNextRecord(lock, buffer, props);
        }
      }
      return;
    default:
      RaiseEngineError(dberr::NoCurrRec);
  }
}

void TBaseTable::SkipRecords(std::int32_t n, int lock, std::uint8_t* buffer, TRecordProps* props) {
  if (n == 0) RaiseEngineError(dberr::InvalidParam);
  std::int64_t steps = n > 0 ? std::int64_t{n} : -std::int64_t{n};
  for (std::int64_t i = 1; i <= steps; ++i) {
    int stepLock = i == steps ? lock : 0;
    if (n > 0)
      GetNextRecord(stepLock, buffer, props);
    else
      GetPriorRecord(stepLock, buffer, props);
  }
}

void TBaseTable::FetchRecordByKey(bool, std::uint16_t, std::uint16_t, const std::uint8_t*,
                                  std::uint8_t*) {
  RaiseEngineError(dberr::InvalidHndl);
}

void TBaseTable::GetFieldCheckDescriptor(std::uint16_t, void*) { RaiseNotSupported(); }
void TBaseTable::Op58() { RaiseNotSupported(); }
void TBaseTable::Op59() { RaiseNotSupported(); }
void TBaseTable::Op60() { RaiseNotSupported(); }
void TBaseTable::Op61() {}  // releases a record lock; the base holds none
void TBaseTable::CancelRecordChange(void*) { Op61(); }
void TBaseTable::GetEditPending(std::int32_t&) { RaiseNotSupported(); }
void TBaseTable::Op64(std::uint16_t& value) { value = 0; }
void TBaseTable::Op65(std::int32_t& value) { value = -1; }

// ---- Record changes

// The base stores no records; drivers do.
void TBaseTable::InsertRecord(int, std::uint8_t*) {}
void TBaseTable::AppendRecord(std::uint8_t* buffer) { InsertRecord(0, buffer); }
void TBaseTable::ModifyRecord(std::uint8_t*, int) {}
void TBaseTable::DeleteRecord(std::uint8_t*) {}
void TBaseTable::ClearDeleteFlag() { RaiseNotSupported(); }

void TBaseTable::ReadRecordBlock(std::uint32_t& count, std::uint8_t* buffers) {
  CheckParam(buffers);
  std::uint32_t wanted = count;
  std::size_t size = GetRecordBufferSize();
  count = 0;
  try {
    while (count < wanted) {
      GetNextRecord(0, buffers + count * size, nullptr);
      ++count;
    }
  } catch (const EMorvaBoundryError&) {
    if (count == 0) throw;  // nothing read: the caller sees the end
  }
}

void TBaseTable::WriteRecordBlock(std::uint32_t& count, std::uint8_t* buffers) {
  CheckParam(buffers);
  std::size_t size = GetRecordBufferSize();
  for (std::uint32_t i = 0; i < count; ++i) InsertRecord(0, buffers + i * size);
}

void TBaseTable::GetAbsolutePosition(std::uint32_t&) { RaiseNotSupported(); }
void TBaseTable::SetAbsolutePosition(std::uint32_t) { RaiseNotSupported(); }

void TBaseTable::GetCursorProperties(TCursorProps& props) {
  std::memset(&props, 0, sizeof props);
  std::uint16_t fieldCount = 0, recordSize = 0;
  GetRecordLayout(fieldCount, recordSize);
  props.FieldCount = fieldCount;
  props.RecordSize = recordSize;
  props.RecordBufferSize = HasFieldStatusArea() ? GetRecordBufferSize() : recordSize;
  props.KeySize = currentIndex_.KeyLength;
  props.BookmarkSize = GetBookmarkSize();
  props.BookmarkStable = ShareMode == 1 ? -1 : 0;
  props.OpenMode = OpenMode;
  props.ShareMode = ShareMode;
  props.SeqNums = -1;
  props.TranslateMode = 0;
  props.Unidirectional = -1;
  props.Rights = 255;
  props.FilterCount = static_cast<std::uint16_t>(FilterList()->Count());
}

void TBaseTable::GetRecordCount(std::uint32_t& count) {
  count = 0;
  std::vector<std::uint8_t> record(std::max<std::size_t>(GetRecordBufferSize(), 1), 0);
  std::vector<std::uint8_t> bookmark(GetBookmarkSize(), 0);
  bool hasBookmark = true;
  try {
    GetBookmark(bookmark.data());
  } catch (const EMorvaEngineError&) {
    hasBookmark = false;
  }
  std::uint8_t stateBefore = CursorState;
  SetToStart();
  try {
    for (;;) {
      GetNextRecord(0, record.data(), nullptr);
      ++count;
      if (count % 16 == 0) ProcessMessages();
    }
  } catch (const EMorvaBoundryError&) {
  }
  if (hasBookmark)
    SetToBookmark(bookmark.data());
  else if (stateBefore != curstate::OnRecord && stateBefore != curstate::BetweenRecords)
    CursorState = stateBefore;  // a cursor that stood on no record stands there again
}

void TBaseTable::QueryRecordCount(std::uint32_t& count) { GetRecordCount(count); }
void TBaseTable::GetSequenceNumber(std::uint32_t&) { RaiseNotSupported(); }
void TBaseTable::SetToSequenceNumber(std::uint32_t) { RaiseNotSupported(); }
void TBaseTable::Op81() {}  // reserved; nothing to do in the base
void TBaseTable::SetRereadFlag() { RereadFlag = true; }

void TBaseTable::RereadCurrentRecord(std::uint8_t* buffer) {
  SetRereadFlag();
  GetCurrentRecord(0, buffer, nullptr);
}

void TBaseTable::Op84() { RaiseNotSupported(); }
void TBaseTable::Op85() { RaiseNotSupported(); }

// ---- Ranges and keys

std::uint16_t TBaseTable::KeyFieldWidth(int i) {
  TFieldCacheItem* item = FieldCache()->FieldByNumber(currentIndex_.KeyFields[i]);
  return item->Desc.KeyWidth != 0 ? item->Desc.KeyWidth : item->Desc.Length;
}

std::size_t TBaseTable::KeyAreaBytes() {
  std::size_t total = 0;
  for (int i = 0; i < std::min<int>(currentIndex_.KeyFieldCount, 16); ++i) total += KeyFieldWidth(i);
  return std::max<std::size_t>(total, currentIndex_.KeyLength);
}

namespace {
// The widest native form of a non-text value: a BCD number.
constexpr std::size_t kWidestNativeValue = 34;
}  // namespace

void TBaseTable::SetRangeBound(TRangeBound& bound, bool keyItself, std::uint16_t fieldCount,
                               std::uint16_t length, const std::uint8_t* key, bool inclusive) {
  bound = TRangeBound{};
  bound.KeyItself = keyItself;
  bound.IsSet = key != nullptr;
  bound.FieldCount = fieldCount;
  bound.KeyLength = length;
  bound.Inclusive = inclusive;
  if (key == nullptr) return;
  bound.KeyData.assign(KeyAreaBytes(), 0);
  if (keyItself) {
    std::memcpy(bound.KeyData.data(), key, currentIndex_.KeyLength);
    return;
  }
  int count = fieldCount != 0 ? fieldCount : currentIndex_.KeyFieldCount;
  count = std::min<int>(count, std::min<int>(currentIndex_.KeyFieldCount, 16));
  std::size_t at = 0;
  for (int i = 0; i < count; ++i) {
    std::uint16_t width = KeyFieldWidth(i);
    TFieldCacheItem* item = FieldCache()->FieldByNumber(currentIndex_.KeyFields[i]);
    // The value is read in its native form, which can be wider than the
    // stored one (a single-precision number is read as a double).
    std::vector<std::uint8_t> value(
        std::max<std::size_t>({item->Desc.Length, item->Desc.KeyWidth, kWidestNativeValue}) + 1, 0);
    bool blank = false;
    ReadFieldValue(item, const_cast<std::uint8_t*>(key), blank, value.data());
    std::memcpy(bound.KeyData.data() + at, value.data(), std::min<std::size_t>(width, value.size()));
    at += width;
  }
}

void TBaseTable::SetRange(bool keyItself, std::uint16_t startFieldCount, std::uint16_t startLength,
                          const std::uint8_t* startKey, bool startInclusive,
                          std::uint16_t endFieldCount, std::uint16_t endLength,
                          const std::uint8_t* endKey, bool endInclusive) {
  ResetRange();
  try {
    SetRangeBound(RangeStart, keyItself, startFieldCount, startLength, startKey, startInclusive);
    SetRangeBound(RangeEnd, keyItself, endFieldCount, endLength, endKey, endInclusive);
  } catch (...) {
    ResetRange();  // never keep half a range
    throw;
  }
  SameRangeShape = RangeStart.IsSet && RangeEnd.IsSet &&
                   RangeStart.FieldCount == RangeEnd.FieldCount &&
                   RangeStart.KeyLength == RangeEnd.KeyLength;
}

void TBaseTable::ResetRange() {
  RangeStart = TRangeBound{};
  RangeEnd = TRangeBound{};
  SameRangeShape = false;
}

void TBaseTable::CheckRecordInRange(std::uint8_t* buffer) {
  if (!RangeStart.IsSet && !RangeEnd.IsSet) return;
  std::vector<std::uint8_t> key(KeyAreaBytes(), 0);
  int c = 0;
  if (RangeStart.IsSet) {
    ExtractKeyFields(buffer, key.data(), RangeStart.FieldCount, RangeStart.KeyLength);
    CompareKeys(key.data(), RangeStart.KeyData.data(), RangeStart.FieldCount, RangeStart.KeyLength, c);
    if (c < 0 || (c == 0 && !RangeStart.Inclusive)) RaiseBofError();
  }
  if (RangeEnd.IsSet) {
    if (!RangeStart.IsSet || !SameRangeShape)
      ExtractKeyFields(buffer, key.data(), RangeEnd.FieldCount, RangeEnd.KeyLength);
    CompareKeys(key.data(), RangeEnd.KeyData.data(), RangeEnd.FieldCount, RangeEnd.KeyLength, c);
    if (c > 0 || (c == 0 && !RangeEnd.Inclusive)) RaiseEofError();
  }
}

void TBaseTable::CompareKeys(const std::uint8_t* a, const std::uint8_t* b,
                             std::uint16_t fieldCount, std::uint16_t length, int& result) {
  result = 0;
  CheckParam(a);
  // Without a second key the current record's key is compared: a record
  // buffer holds its key fields at their field offsets, not in key order.
  std::vector<std::uint8_t> currentKey;
  if (b == nullptr) {
    currentKey.assign(KeyAreaBytes(), 0);
    ExtractKeyFields(CheckParam(GetRecordBuffer()), currentKey.data(), fieldCount, length);
    b = currentKey.data();
  }
  int keyFields = std::min<int>(currentIndex_.KeyFieldCount, 16);
  int count = fieldCount == 0 && length == 0 ? keyFields
                                             : std::min<int>(fieldCount == 0 ? keyFields : fieldCount, keyFields);
  for (int i = 0; i < count; ++i) {
    TFieldCacheItem* item = FieldCache()->FieldByNumber(currentIndex_.KeyFields[i]);
    std::uint16_t width = length != 0 && i == count - 1 ? length : KeyFieldWidth(i);
    int c = CompareFieldValues(item->Desc.FieldType, item->Desc.SubType, width,
                               currentIndex_.CaseInsensitive != 0, a, b);
    if (c != 0) {
      result = currentIndex_.DescendingFields[i] != 0 ? -c : c;
      return;
    }
    a += KeyFieldWidth(i);
    b += KeyFieldWidth(i);
  }
}

void TBaseTable::FindIndexByName(const char* name, std::uint16_t& number, std::string& indexName) {
  CheckParam(name);
  TCursorProps props;
  GetCursorProperties(props);
  std::string wanted = name;
  std::vector<int> fields;
  bool byFields = wanted.find('@') != std::string::npos;
  if (byFields) {
    std::size_t start = 0;
    for (;;) {
      std::size_t at = wanted.find('@', start);
      std::string part = wanted.substr(start, at == std::string::npos ? std::string::npos : at - start);
      if (!part.empty()) fields.push_back(FieldCache()->NumberOfName(part));
      if (at == std::string::npos) break;
      start = at + 1;
    }
  }
  for (std::uint16_t i = 1; i <= props.IndexCount; ++i) {
    TIndexDesc desc{};
    GetIndexDescriptor(i, desc);
    bool match;
    if (byFields) {
      match = desc.KeyFieldCount == fields.size();
      for (std::size_t k = 0; match && k < fields.size() && k < 16; ++k)
        match = fields[k] == desc.KeyFields[k];
    } else {
      match = SameName(dbengine_detail::SlotText(desc.Name), wanted);
    }
    if (match) {
      number = i;
      indexName = CutChars(dbengine_detail::SlotText(desc.Name), 31);
      return;
    }
  }
  RaiseEngineError(dberr::InvalidIndexName);
}

void TBaseTable::SwitchToIndex(const char*, const char*, std::uint16_t, bool) { RaiseNotSupported(); }

void TBaseTable::SeekKeyOrEnd(std::uint16_t condition, bool keyItself, std::uint8_t* buffer,
                              const std::uint8_t* key, std::uint16_t keyLength,
                              std::uint16_t fieldCount) {
  try {
    SeekKey(condition, keyItself, buffer, key, keyLength, fieldCount);
  } catch (const EMorvaEngineError&) {
    SetToEnd();
  }
}

void TBaseTable::SeekKey(std::uint16_t, bool, std::uint8_t*, const std::uint8_t*, std::uint16_t,
                         std::uint16_t) {
  RaiseEngineError(dberr::NA);
}

void TBaseTable::ExtractKey(const std::uint8_t* record, std::uint8_t* key) {
  ExtractKeyFields(record, key, 0, 0);
}

void TBaseTable::ExtractKeyFields(const std::uint8_t*, std::uint8_t*, std::uint16_t, std::uint16_t) {
  RaiseEngineError(dberr::NA);
}

void TBaseTable::GetIndexDescriptor(std::uint16_t, TIndexDesc& desc) {
  std::memset(&desc, 0, sizeof desc);
  RaiseEngineError(dberr::InvalidHndl);
}

void TBaseTable::GetIndexDescriptors(TIndexDesc* descs) {
  CheckParam(descs);
  TCursorProps props;
  GetCursorProperties(props);
  for (std::uint16_t i = 0; i < props.IndexCount; ++i) {
    std::memset(&descs[i], 0, sizeof(TIndexDesc));
    GetIndexDescriptor(static_cast<std::uint16_t>(i + 1), descs[i]);
  }
}

void TBaseTable::Op97() { RaiseEngineError(dberr::InvalidHndl); }
void TBaseTable::Op98() { RaiseEngineError(dberr::InvalidHndl); }

// ---- Emptying

void TBaseTable::DeleteAllRecords() {
  int attempts = 0;
  for (;;) {
    std::exception_ptr failure;
    DBIResult failureCode = 0;
    try {
      // Each pass deletes the first record of the range that the cursor
      // shows; a seek alone would run past the range's end.
      std::vector<std::uint8_t> record(std::max<std::size_t>(GetRecordBufferSize(), 1), 0);
      for (;;) {
        FetchDirection = 1;
        SetRecordBuffer(record.data());
        MoveToRangeStart();
        RecordPassesRangeAndFilters(record.data());
        DeleteRecord(record.data());
        ProcessMessages();
      }
    } catch (const EMorvaEngineError& e) {
      failure = std::current_exception();
      failureCode = e.ErrorCode;
    }
    std::uint32_t remaining = 0;
    GetRecordCount(remaining);
    if (remaining == 0) break;
    if (++attempts > 4) {
      // Records are left: report why instead of claiming success. An end of
      // table is no reason a caller could act on, so it becomes a plain error.
      if (failureCode == dberr::Eof || failureCode == dberr::Bof)
        RaiseEngineErrorText(dberr::RecNotFound, GetTableName());
      std::rethrow_exception(failure);
    }
  }
  SetToStart();
}

void TBaseTable::EmptyTable() {
  std::int32_t shareMode = ShareMode;
  bool wasOpen = CursorState != curstate::Closed;
  bool reopened = !wasOpen || ShareMode != 1;
  // Restores the cursor as the caller had it, also after a failure.
  auto restore = [&] {
    ShareMode = shareMode;
    if (wasOpen) {
      OpenCursor();
      TCursorProps props;
      GetCursorProperties(props);
    }
  };
  try {
    if (reopened) {
      CloseCursor();
      ShareMode = 1;
      OpenCursor();
    }
    TCursorProps props;
    GetCursorProperties(props);
    DeleteAllRecords();
    ShareMode = shareMode;
    CloseCursor();
  } catch (...) {
    CloseCursor();
    restore();
    throw;
  }
  restore();
}

void TBaseTable::Op101() { RaiseNotSupported(); }
void TBaseTable::Op102() { RaiseNotSupported(); }

// ---- Cached updates

void TBaseTable::BeginCachedUpdates(TBaseTable*& handle) {
  handle = new TBaseCacheTable(this);
}

void TBaseTable::EndCachedUpdates(TBaseTable*&) { RaiseNotSupported(); }
void TBaseTable::ProcessCachedUpdates(int) { RaiseNotSupported(); }
void TBaseTable::GetCacheTable(TMemTable*&) { RaiseNotSupported(); }
void TBaseTable::LockCurrentRecord() {}  // the base holds no locks
void TBaseTable::PrepareReplayedChange(int) {}  // the base needs nothing
void TBaseTable::GetCursorStateAddress(void*& address) { address = &CursorState; }

// ---- Blobs

void TBaseTable::OpenBlob(std::uint8_t*, std::uint16_t, int) { RaiseNotSupported(); }
void TBaseTable::GetBlobSize(std::uint8_t*, std::uint16_t, std::uint32_t&) { RaiseNotSupported(); }
void TBaseTable::ReadBlob(std::uint8_t*, std::uint16_t, std::uint32_t, std::uint32_t, void*,
                          std::uint32_t&) {
  RaiseNotSupported();
}
bool TBaseTable::ReadBlobPiece(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t offset,
                               std::uint32_t length, void* dest, std::uint32_t& read) {
  ReadBlob(buffer, fieldNumber, offset, length, dest, read);
  return false;
}
void TBaseTable::WriteBlob(std::uint8_t*, std::uint16_t, std::uint32_t, std::uint32_t, const void*) {
  RaiseNotSupported();
}
void TBaseTable::TruncateBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t length) {
  WriteBlob(buffer, fieldNumber, length, 0, nullptr);
}
void TBaseTable::FreeBlob(std::uint8_t*, std::uint16_t) {}  // the base opens no blobs
void TBaseTable::ReadWholeBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::string& out) {
  OpenBlob(buffer, fieldNumber, kBlobReadOnly);
  try {
    std::uint32_t size = 0, read = 0;
    GetBlobSize(buffer, fieldNumber, size);
    out.resize(size);
    if (size > 0) ReadBlobPiece(buffer, fieldNumber, 0, size, out.data(), read);
    out.resize(read);
  } catch (...) {
    FreeBlob(buffer, fieldNumber);
    throw;
  }
  FreeBlob(buffer, fieldNumber);
}
void TBaseTable::Op116() { RaiseNotSupported(); }
void TBaseTable::Op117() { RaiseNotSupported(); }

// ---- Filters

void TBaseTable::UpdateFilterFlag() {
  FiltersActive = false;
  for (int i = 0; i < FilterList()->Count(); ++i)
    if (static_cast<TFilterListItem*>(FilterList()->At(i))->Active()) FiltersActive = true;
}

void TBaseTable::AddFilter(std::intptr_t clientData, std::uint16_t priority, bool canAbort,
                           const void* expression, TFilterCallback callback,
                           TFilterListItem*& filter) {
  filter = nullptr;
  auto* item = new TFilterListItem(this, clientData, priority, canAbort ? 1 : 0, expression, callback);
  FilterList()->Insert(item);
  UpdateFilterFlag();
  filter = item;
}

void TBaseTable::DropFilter(TFilterListItem* filter) {
  if (filter == nullptr) {
    FilterList()->FreeAll();
  } else if (FilterList()->IndexOf(filter) >= 0) {
    FilterList()->Remove(filter);
    delete filter;
  }
  UpdateFilterFlag();
  FiltersChanged();
}

void TBaseTable::ActivateFilter(TFilterListItem* filter) {
  if (filter == nullptr) {
    for (int i = 0; i < FilterList()->Count(); ++i)
      static_cast<TFilterListItem*>(FilterList()->At(i))->SetActive(true);
    UpdateFilterFlag();
    FiltersChanged();
    return;
  }
  if (FilterList()->IndexOf(filter) < 0) RaiseEngineError(dberr::NoSuchFilter);
  filter->SetActive(true);
  FiltersActive = true;
  FiltersChanged();
}

void TBaseTable::DeactivateFilter(TFilterListItem* filter) {
  if (filter == nullptr) {
    for (int i = 0; i < FilterList()->Count(); ++i)
      static_cast<TFilterListItem*>(FilterList()->At(i))->SetActive(false);
    FiltersActive = false;
    FiltersChanged();
    return;
  }
  if (FilterList()->IndexOf(filter) < 0) RaiseEngineError(dberr::NoSuchFilter);
  filter->SetActive(false);
  UpdateFilterFlag();
  FiltersChanged();
}

void TBaseTable::GetFilterInfo(TFilterListItem* filter, TFilterInfo& info) {
  std::memset(&info, 0, sizeof info);
  if (filter == nullptr) {
    if (FilterList()->Count() == 0) return;
    filter = static_cast<TFilterListItem*>(FilterList()->At(0));
  }
  int number = FilterList()->IndexOf(filter);
  if (number < 0) RaiseEngineError(dberr::NoSuchFilter);
  filter->GetInfo(static_cast<std::uint16_t>(number), info);
}

void TBaseTable::Op127() { RaiseNotSupported(); }
void TBaseTable::Op128() { RaiseNotSupported(); }
void TBaseTable::Op129() { RaiseNotSupported(); }
void TBaseTable::Op130() { RaiseNotSupported(); }
void TBaseTable::Op131() { RaiseNotSupported(); }
void TBaseTable::Op132() { RaiseNotSupported(); }
