#include "dbengine/accesstable.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "dbengine/accessblob.h"
#include "dbengine/accesserrors.h"
#include "dbengine/accesslists.h"
#include "dbengine/daowrappers.h"
#include "dbengine/enginetext.h"
#include "dbengine/filters.h"
#include "dbengine/filtersql.h"

using dbengine_detail::SameName;
using dbengine_detail::SlotText;

IMPLEMENT_CLASS(TAccessTable, TAccessBaseTable)

namespace {
constexpr DBIResult kRecDeleted = 0x2204;
constexpr DBIResult kBlobNotOpened = 0x2A03;
constexpr std::uint32_t kBlobBlock = 4096;
// The blob subtypes of memo and binary fields in the field list.
constexpr std::uint16_t kMemoSubType = 22;
constexpr std::uint16_t kBinarySubType = 23;
constexpr std::size_t kBookmarkKeyBytes = kAccessBookmarkSize - 4;  // after the word
// The last code point there is (U+10FFFF): text followed by it sorts after
// every text that begins with that text.
constexpr const char* kGreatestCharacter = "\xF4\x8F\xBF\xBF";

template <class T>
T Load(const void* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}
template <class T>
void Store(void* p, T value) { std::memcpy(p, &value, sizeof value); }

// Dates travel as milliseconds of the time stamp (day 1 is 1 January of year 1).
double DateToMSecs(TDateTime value) { return TimeStampToMSecs(DateTimeToTimeStamp(value)); }
TDateTime MSecsToDate(double ms) { return TimeStampToDateTime(MSecsToTimeStamp(std::round(ms))); }

std::int32_t WordOf(const Variant& bookmark) {
  std::vector<std::uint8_t> bytes = VarArrayToBytes(bookmark);
  std::int32_t word = 0;
  std::memcpy(&word, bytes.data(), std::min<std::size_t>(bytes.size(), 4));
  return word;
}

// Text of at most maxBytes bytes, cut on a character boundary.
void CopyText(std::uint8_t* dest, std::uint16_t length, std::string_view text) {
  std::string_view cut = dbengine_detail::CutBytes(text, length > 0 ? length - 1u : 0u);
  std::memset(dest, 0, length);
  // An empty view may carry no address at all, which memcpy must not get.
  if (!cut.empty()) std::memcpy(dest, cut.data(), cut.size());
}

// A currency amount in ten-thousandths in 64 bits. The largest currency is no
// double: its nearest one scales just past the range and stands for it.
// Amounts beyond the range are refused.
std::int64_t CurrencyRaw(double amount) {
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  double scaled = std::round(amount * 10000.0);
  if (scaled >= -kLimit && scaled < kLimit) return static_cast<std::int64_t>(scaled);
  if (scaled >= kLimit && amount <= kLimit / 10000.0) return std::numeric_limits<std::int64_t>::max();
  RaiseEngineError(dberr::InvalidParam);
}

bool IsBlobType(std::int16_t t) { return t == daotype::Memo || t == daotype::LongBinary; }

// Types that CopyFieldOut copies as stored (a text of zeros, copied, is the
// zeros its blank reads as): their key bytes are their record bytes.
bool StoredBytesAreKey(std::int16_t t) {
  return t == daotype::Integer || t == daotype::Long || t == daotype::Double || t == daotype::Date ||
         t == daotype::Text;
}

// DAO's lock errors: could not update, currently locked (by a user); table
// in use by another user.
bool IsLockError(HRESULT status) {
  switch (status & 0xFFFF) {
    case 3218:
    case 3260:
    case 3262: return true;
    default: return false;
  }
}

const char* ComparisonText(std::uint16_t condition) {
  switch (condition) {
    case 1: return ">=";
    case 2: return ">";
    case 3: return "<";
    case 4: return "<=";
    default: return "=";
  }
}
}  // namespace

std::int32_t AccessRecordsetOptions(std::int32_t openMode, std::int32_t shareMode) {
  constexpr std::int32_t kDenyWrite = 1, kDenyRead = 2, kReadOnly = 4;
  if (shareMode == 1) return kDenyWrite | kDenyRead;
  if (openMode == 1) return kReadOnly;
  return -1;
}

TAccessTable::TAccessTable(TBapiListItem* owner, TMorvaCollection* ownerList, const char* tableName,
                           const char* driverType, std::int32_t openMode, std::int32_t shareMode,
                           TDAODatabase* database)
    : TAccessBaseTable(owner, ownerList, tableName, driverType, openMode, shareMode),
      DAODatabase(database) {
  DAOTableName = tableName != nullptr ? tableName : "";
  SetSourceTableName(DAOTableName.c_str());
}

TAccessTable::~TAccessTable() {
  if (CursorState != curstate::Closed) CloseCursor();
  FreeAllBlobs();
  fieldObjects_.clear();
  delete DAOFields;
  DAOFields = nullptr;
  delete Recordset;
  Recordset = nullptr;
}

std::string TAccessTable::GetTableName() { return DAOTableName; }

void TAccessTable::SetTableName(const char* name) {
  DAOTableName = name != nullptr ? name : "";
  TAccessBaseTable::SetTableName(name);
}

std::uint16_t TAccessTable::GetDataSize() {
  if (dataSize_ == 0 && FieldCache()->Count() > 0) {
    std::uint16_t count = 0, size = 0;
    GetRecordLayout(count, size);
    dataSize_ = size;
  }
  return dataSize_;
}

// ---- Opening

void TAccessTable::OpenCursor() {
  keyCacheValid_ = false;
  std::int32_t options = AccessRecordsetOptions(OpenMode, ShareMode);
  std::unique_ptr<TDAORecordset> rs(queryDef_ != nullptr
                                        ? queryDef_->OpenRecordset(options)
                                        : CheckHandle(DAODatabase)->OpenRecordset(DAOTableName, options));
  if (rs == nullptr) RaiseEngineError(dberr::InvalidHndl);
  DaoCheck(rs->Status);
  if (rs->Intf == nullptr) RaiseEngineError(dberr::InvalidHndl);
  // Open blobs read through the field objects of the recordset replaced.
  FreeAllBlobs();
  delete Recordset;
  Recordset = rs.release();
  fieldObjects_.clear();
  loadedFields_.clear();
  delete DAOFields;
  DAOFields = Recordset->GetFields();
  DaoCheck(DAOFields->Status);
  if (FieldCache()->Count() == 0) LoadFields();
  EditPending = false;
  inexactPosition_ = false;
  CursorState = curstate::JustOpened;
}

void TAccessTable::CloseCursor() {
  keyCacheValid_ = false;
  if (CursorState == curstate::Closed) return;
  FreeAllBlobs();
  fieldObjects_.clear();
  loadedFields_.clear();
  delete DAOFields;
  DAOFields = nullptr;
  if (Recordset != nullptr) Recordset->Close();
  delete Recordset;
  Recordset = nullptr;
  IdleDAOEngine(SharedDAOEngine());
  CursorState = curstate::Closed;
}

void TAccessTable::LoadFields() {
  std::vector<TFieldDesc> descs;
  {
    TAccessFieldListTable list(DAODatabase, DAOTableName.c_str(), Recordset, this);
    TFieldDesc row{};
    try {
      for (;;) {
        list.GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&row), nullptr);
        descs.push_back(row);
      }
    } catch (const EMorvaBoundryError&) {
    }
  }
  // The fields lie one after the other, then eight status bytes each: all of
  // it must be reachable by the descriptors' 16-bit offsets.
  std::size_t total = 8 * descs.size() + 1;
  for (const TFieldDesc& d : descs) total += d.Length;
  if (total > 0xFFFF) RaiseEngineError(dberr::DriverLimit);
  std::uint16_t dataSize = 0;
  for (const TFieldDesc& d : descs) dataSize = std::max<std::uint16_t>(dataSize, d.Offset + d.Length);
  for (std::size_t i = 0; i < descs.size(); ++i) {
    descs[i].StatusOffset = static_cast<std::uint16_t>(dataSize + 8 * i);
    FieldCache()->AddField(descs[i]);
  }
  dataSize_ = dataSize;
}

void TAccessTable::LoadFieldList(std::uint16_t fieldNumber, TFieldDesc& desc) {
  if (FieldCache()->Count() == 0 && Recordset != nullptr) LoadFields();
  if (fieldNumber == 0 || fieldNumber > FieldCache()->Count()) RaiseEngineError(dberr::InvalidRecStruct);
  desc = FieldCache()->FieldByNumber(fieldNumber)->Desc;
}

// ---- Field conversion

// A blob written in the record (or a cached change's record laid over it) is
// blank as written: the size the field had when the record was read says
// nothing of it.
void TAccessTable::ReadFieldValue(TFieldCacheItem* item, std::uint8_t* buffer, bool& blank, void* dest) {
  TAccessBaseTable::ReadFieldValue(item, buffer, blank, dest);
  if (!IsBlobType(static_cast<std::int16_t>(item->Desc.DriverType))) return;
  item->SetRecordBuffer(buffer);
  if (item->IsChanged()) blank = item->IsBlank();
}

void TAccessTable::CopyFieldOut(std::uint16_t driverType, std::uint16_t, std::int16_t,
                                std::uint16_t length, const std::uint8_t* value, void* dest,
                                bool& blank) {
  blank = false;
  auto* out = static_cast<std::uint8_t*>(dest);
  switch (static_cast<std::int16_t>(driverType)) {
    case daotype::Boolean:
      if (out) Store<std::int16_t>(out, value[0] != 0 ? 1 : 0);
      break;
    case daotype::Byte:
      if (out) Store<std::int16_t>(out, value[0]);
      break;
    case daotype::Integer:
    case daotype::Long:
    case daotype::Double:
    case daotype::Date:
      if (out) std::memcpy(out, value, length);
      break;
    case daotype::Currency:
      // Divided, not multiplied by 0.0001: the quotient is the double nearest
      // the amount, the one its decimal text reads as (12.3456, not
      // 12.345600000000001), so searches for the amount a user sees find it.
      if (out) Store<double>(out, static_cast<double>(Load<std::int64_t>(value)) / 10000.0);
      break;
    case daotype::Single:
      if (out) Store<double>(out, Load<float>(value));
      break;
    case daotype::Text:
      blank = IsAllZero(value, length);
      if (out && !blank) std::memcpy(out, value, length);
      break;
    case daotype::Memo:
    case daotype::LongBinary:
      blank = Load<TAccessBlobSlot>(value).FieldSize == 0;
      break;
    default:
      break;
  }
}

void TAccessTable::CopyFieldIn(std::uint16_t driverType, std::uint16_t, std::int16_t,
                               std::uint16_t length, std::uint8_t* value, const void* source) {
  loadedDecided_ = false;  // the record is no longer as its row was chosen
  if (source == nullptr) {
    std::memset(value, 0, length);
    return;
  }
  auto* in = static_cast<const std::uint8_t*>(source);
  switch (static_cast<std::int16_t>(driverType)) {
    case daotype::Boolean:
      value[0] = Load<std::int16_t>(in) != 0 ? 1 : 0;
      break;
    case daotype::Byte:
      value[0] = static_cast<std::uint8_t>(Load<std::int16_t>(in) & 0xFF);
      break;
    case daotype::Currency:
      Store<std::int64_t>(value, CurrencyRaw(Load<double>(in)));
      break;
    case daotype::Single:
      Store<float>(value, static_cast<float>(Load<double>(in)));
      break;
    case daotype::Integer:
    case daotype::Long:
    case daotype::Double:
    case daotype::Date:
      std::memcpy(value, in, length);
      break;
    case daotype::Text:
      // The caller's text may be shorter than the slot: never read past it.
      CopyText(value, length, std::string_view(reinterpret_cast<const char*>(in), strnlen(reinterpret_cast<const char*>(in), length)));
      break;
    default:
      break;
  }
}

// ---- Loading and storing the record buffer

// The field objects read the current record, so one per field serves every row.
void TAccessTable::FiltersChanged() {
  // A query's recordset holds its rows already; only a table's is worth it.
  if (Recordset == nullptr || IsQueryCursor) return;
  auto lookup = [this](const std::string& name, TFilterColumn& column) {
    int number = FieldCache()->NumberOfName(name);
    if (number <= 0 || DAOFields == nullptr || number > DAOFields->Count()) return false;
    const TFieldDesc& d = FieldCache()->FieldByNumber(number)->Desc;
    TDAOField* field = nullptr;
    try {
      field = DAOField(static_cast<std::int16_t>(number - 1));
    } catch (const Exception&) {
      return false;  // a field the recordset does not give is no filter column
    }
    column = {field->GetName(), d.FieldType, static_cast<std::int16_t>(d.DriverType), d.Length,
              field->IsAutoIncrement(), DAOTableName};
    return true;
  };
  const bool ranged = RangeStart.IsSet || RangeEnd.IsSet;
  // The index the recordset is ordered by narrows where the records lie.
  // Inside a range the walk's own seek does, and its end must be read: the
  // index narrows only within a range of one key, where the rows outside its
  // point are read as without it.
  const std::vector<std::int64_t> point = ranged ? RangePoint() : std::vector<std::int64_t>{};
  std::vector<TIndexKey> keys;
  for (int i = 0; indexApplied_ && (!ranged || !point.empty()) && i < std::min<int>(currentIndex_.KeyFieldCount, 16); ++i) {
    const auto number = static_cast<std::int16_t>(currentIndex_.KeyFields[i] - 1);
    keys.push_back({DAOField(number)->GetName(), currentIndex_.DescendingFields[i] != 0});
  }
  std::string condition;
  std::vector<std::string> bands;
  bool decides = true;
  for (int i = 0; FiltersActive && i < FilterList()->Count(); ++i) {
    auto* filter = static_cast<TFilterListItem*>(FilterList()->At(i));
    if (!filter->Active()) continue;
    // Every filter holds for each record shown: one's bands serve them all.
    // A filter the bands narrow by whole (a Locate on the index's fields)
    // needs no condition beside them; the engine tests what they hold.
    bool banded = false;
    if (bands.empty())
      bands = FilterIndexBands(filter->Expression(), filter->ExpressionSize(), lookup, keys, &banded, point);
    // A callback filter accepts only what its expression accepts too.
    bool partDecides = false;
    const std::string part =
        banded ? std::string() : FilterPrefilterSql(filter->Expression(), filter->ExpressionSize(), lookup, &partDecides);
    if (!part.empty()) condition += (condition.empty() ? "" : " AND ") + part;
    decides = decides && partDecides && !filter->HasCallback();
  }
  // Inside a range, the record the walk ends on must reach the engine, which
  // ends the walk there, whatever the filters say of it: the records that
  // are not surely inside the range pass the condition too.
  if (!condition.empty() && ranged) {
    const std::string inside = SurelyInRangeSql();
    condition = inside.empty() ? std::string() : "(" + condition + " OR NOT ifnull(" + inside + ", 0))";
    decides = false;
  }
  // Refused (the condition does not suit the table): the engine's own test
  // of every record still holds, only slower.
  conditionDecides_ = false;
  loadedDecided_ = false;
  std::vector<Variant> pointValues;
  if (!bands.empty())
    for (std::int64_t v : point) pointValues.push_back(Variant(v));
  Recordset->SetRowCondition(condition, bands, pointValues);
  conditionDecides_ = decides && !condition.empty() && Recordset->Status == S_OK;
}

// The records the engine surely reads inside the range, as SQL: for a range
// of one key (both bounds alike, each field a whole number, as a detail
// table's link to its master sets it), those storing exactly that key.
// Empty for every other range: its walk then reads every record it holds.
std::string TAccessTable::SurelyInRangeSql() {
  const std::vector<std::int64_t> point = RangePoint();
  std::string sql;
  for (std::size_t i = 0; i < point.size(); ++i) {
    TFieldCacheItem* item = FieldCache()->FieldByNumber(currentIndex_.KeyFields[i]);
    const std::string column = FilterColumnRef(DAOField(static_cast<std::int16_t>(item->Desc.FieldNumber - 1))->GetName());
    sql += std::string(sql.empty() ? "" : " AND ") + "typeof(" + column + ") = 'integer' AND " + column + " = " +
           std::to_string(point[i]);
  }
  return sql.empty() ? sql : "(" + sql + ")";
}

std::vector<std::int64_t> TAccessTable::RangePoint() {
  if (!RangeStart.IsSet || !RangeEnd.IsSet || RangeStart.FieldCount != RangeEnd.FieldCount ||
      RangeStart.KeyLength != 0 || RangeEnd.KeyLength != 0 || RangeStart.KeyData != RangeEnd.KeyData ||
      !RangeStart.Inclusive || !RangeEnd.Inclusive)
    return {};
  const int count = std::min<int>(RangeStart.FieldCount != 0 ? RangeStart.FieldCount : currentIndex_.KeyFieldCount,
                                  std::min<int>(currentIndex_.KeyFieldCount, 16));
  std::vector<std::int64_t> point;
  std::size_t at = 0;
  for (int i = 0; i < count; ++i) {
    TFieldCacheItem* item = FieldCache()->FieldByNumber(currentIndex_.KeyFields[i]);
    const auto type = static_cast<std::int16_t>(item->Desc.DriverType);
    const std::uint8_t* value = RangeStart.KeyData.data() + at;
    if (type == daotype::Integer)
      point.push_back(Load<std::int16_t>(value));
    else if (type == daotype::Long)
      point.push_back(Load<std::int32_t>(value));
    else
      return {};
    at += KeyFieldWidth(i);
  }
  return point;
}

void TAccessTable::SetRange(bool keyItself, std::uint16_t startFieldCount, std::uint16_t startLength,
                            const std::uint8_t* startKey, bool startInclusive, std::uint16_t endFieldCount,
                            std::uint16_t endLength, const std::uint8_t* endKey, bool endInclusive) {
  TAccessBaseTable::SetRange(keyItself, startFieldCount, startLength, startKey, startInclusive, endFieldCount,
                             endLength, endKey, endInclusive);
  if (FiltersActive) FiltersChanged();
}

void TAccessTable::ResetRange() {
  const bool ranged = RangeStart.IsSet || RangeEnd.IsSet;
  TAccessBaseTable::ResetRange();
  if (ranged && FiltersActive) FiltersChanged();
}

bool TAccessTable::FiltersDecided(const std::uint8_t* buffer) {
  const bool decided = loadedDecided_ && buffer == loadedBuffer_ && !EditPending;
  loadedDecided_ = false;
  return decided;
}

TDAOField* TAccessTable::DAOField(std::int16_t index) {
  if (fieldObjects_.size() <= std::size_t(index)) fieldObjects_.resize(std::size_t(index) + 1);
  auto& field = fieldObjects_[std::size_t(index)];
  if (!field) {
    // Checked once, when found: the kept object's status is its last call's
    // after that (a refused value, say), which says nothing of later calls.
    std::unique_ptr<TDAOField> found(DAOFields->Item(index));
    DaoCheck(found->Status);
    field = std::move(found);
  }
  return field.get();
}

const std::vector<TFieldCacheItem*>& TAccessTable::LoadedFields() {
  if (loadedFields_.empty() && DAOFields != nullptr) {
    const std::int16_t count = DAOFields->Count();
    DaoCheck(DAOFields->Status);
    // Kept only whole: a field the cache cannot describe fails every load
    // alike, never the first alone.
    std::vector<TFieldCacheItem*> found;
    for (std::int16_t i = 0; i < count; ++i) found.push_back(FieldCache()->FieldByNumber(i + 1));
    loadedFields_ = std::move(found);
  }
  return loadedFields_;
}

bool TAccessTable::LoadRecordBuffer() {
  std::uint8_t* buffer = GetRecordBuffer();
  if (buffer == nullptr || DAOFields == nullptr) return false;
  const std::vector<TFieldCacheItem*>& fields = LoadedFields();
  const auto count = static_cast<std::int16_t>(fields.size());
  if (count <= 0 || Recordset == nullptr) return false;
  // One call for the whole record and its marks: a call per field cost more
  // than the copy.
  cells_.resize(std::size_t(count));
  DAORecordMarks marks;
  Recordset->RecordValues(cells_.data(), count, marks);
  DaoCheck(Recordset->Status);
  // The marks hold for the record read until a blob released below puts the
  // recordset back where that blob found it: then they are asked again.
  bool marksHold = true;
  // A text longer than its field's room reads cut: the row condition
  // decides nothing about such a record (FilterPrefilterSql).
  bool cutText = false;
  // The record's bookmark word, asked once, the first time it is needed.
  std::int32_t bookmarkWord = 0;
  bool haveBookmark = false;
  auto recordWord = [&] {
    if (!haveBookmark) {
      bookmarkWord = marksHold && marks.hasBookmark ? marks.bookmarkWord : CurrentBookmarkWord();
      haveBookmark = true;
    }
    return bookmarkWord;
  };
  for (std::int16_t i = 0; i < count; ++i) {
    TFieldCacheItem* item = fields[std::size_t(i)];
    item->SetRecordBuffer(buffer);
    std::uint8_t* at = item->Value();
    const TFieldDesc& d = item->Desc;
    const DAOCellValue& v = cells_[std::size_t(i)];
    std::int16_t type = static_cast<std::int16_t>(d.DriverType);
    bool blank = false;
    bool known = true;
    if (IsBlobType(type)) {
      // Its value stays unread: the cell holds its size.
      std::int32_t size =
          v.kind == DAOCellValue::Unread ? static_cast<std::int32_t>(v.integer) : DAOField(i)->FieldSize();
      const std::int32_t word = recordWord();
      auto slot = Load<TAccessBlobSlot>(at);
      // A blob left open on this buffer belonged to the record it held before.
      if (std::find(blobs_.begin(), blobs_.end(), slot.Blob) != blobs_.end()) {
        ReleaseBlob(slot.Blob);
        marksHold = false;
      }
      Store(at, TAccessBlobSlot{nullptr, size, word});
      blank = size == 0;
    } else {
      // Read as stored: a variant per field per record costs more than the copy.
      const bool number = v.kind == DAOCellValue::Integer;
      const bool real = v.kind == DAOCellValue::Real;
      switch (type) {
        case daotype::Boolean:
          at[0] = number && v.integer != 0 ? 1 : 0;
          break;
        case daotype::Byte:
          at[0] = number ? static_cast<std::uint8_t>(v.integer) : 0;
          break;
        case daotype::Integer:
          Store<std::int16_t>(at, number ? static_cast<std::int16_t>(v.integer) : 0);
          blank = v.kind == DAOCellValue::Null;
          break;
        case daotype::Long:
          Store<std::int32_t>(at, number ? static_cast<std::int32_t>(v.integer) : 0);
          blank = v.kind == DAOCellValue::Null;
          break;
        case daotype::Currency:
          Store<std::int64_t>(at, number ? v.integer : 0);
          blank = v.kind == DAOCellValue::Null;
          break;
        case daotype::Single:
          Store<float>(at, real ? static_cast<float>(v.real) : 0.0f);
          blank = v.kind == DAOCellValue::Null;
          break;
        case daotype::Double:
          Store<double>(at, real ? v.real : 0.0);
          blank = v.kind == DAOCellValue::Null;
          break;
        case daotype::Date: {
          double dt = real ? v.real : 0.0;
          blank = dt == 0.0;
          if (!blank) {
            // A date number no calendar date stands for (a damaged file) reads
            // as blank; the stored value stays unless the field is written.
            try {
              Store<double>(at, DateToMSecs(TDateTime(dt)));
            } catch (const EConvertError&) {
              blank = true;
            }
          }
          break;
        }
        case daotype::Text:
          // A number stored in a text column reads as the variant gave it:
          // an integer as its digits, a real number as nothing.
          if (number) {
            CopyText(at, d.Length, std::to_string(v.integer));
          } else {
            const std::string_view text = v.kind == DAOCellValue::Text ? v.text : std::string_view();
            cutText = cutText || text.size() >= d.Length;
            CopyText(at, d.Length, text);
          }
          break;
        default:
          known = false;
          break;
      }
    }
    if (!known) blank = true;
    // While an edit is pending the record's statuses belong to the editor.
    if (!EditPending) {
      item->SetChanged(false);
      item->SetBlank(blank);
    }
  }
  loadedBuffer_ = buffer;
  loadedReads_ = marksHold ? marks.rowReads : Recordset->RowReads();
  loadedDecided_ = conditionDecides_ && marksHold && marks.meetsRowCondition && !EditPending && !cutText;
  loadedWord_ = haveBookmark ? bookmarkWord : 0;
  // The key of the record just read answers the bookmark of this position
  // without reading the record a second time.
  keyCacheValid_ = false;
  if (!IsQueryCursor && !EditPending && currentIndex_.KeyFieldCount != 0) {
    keyCacheWord_ = recordWord();
    keyCache_.resize(kBookmarkKeyBytes);  // every byte written below
    ExtractBookmarkKey(buffer, keyCache_.data());
    keyCacheValid_ = true;
  }
  return true;
}

namespace {
// Whether a field reads the same in two record buffers; an open blob is
// the buffer's own, not the record's.
bool SameFieldValue(TFieldCacheItem* item, const std::uint8_t* a, const std::uint8_t* b) {
  item->SetRecordBuffer(const_cast<std::uint8_t*>(a));
  const bool blank = item->IsBlank();
  item->SetRecordBuffer(const_cast<std::uint8_t*>(b));
  if (blank != item->IsBlank()) return false;
  const TFieldDesc& d = item->Desc;
  if (IsBlobType(static_cast<std::int16_t>(d.DriverType))) {
    auto x = Load<TAccessBlobSlot>(a + d.Offset);
    auto y = Load<TAccessBlobSlot>(b + d.Offset);
    return x.FieldSize == y.FieldSize && x.BookmarkWord == y.BookmarkWord;
  }
  // A blank value's bytes may be left from another record.
  return blank || std::memcmp(a + d.Offset, b + d.Offset, d.Length) == 0;
}
}  // namespace

void TAccessTable::KeepOneVersion(std::uint8_t* buffer) {
  // An edit's buffer was read under its lock and holds the user's changes.
  if (EditPending || buffer == nullptr || DAOFields == nullptr) return;
  const std::int64_t reads = Recordset->RowReads();
  if (buffer == loadedBuffer_ && reads == loadedReads_) return;
  const std::int16_t count = DAOFields->Count();
  // Nor is a buffer that holds changes not posted yet (cached updates) replaced.
  for (std::int16_t i = 0; i < count; ++i) {
    TFieldCacheItem* item = FieldCache()->FieldByNumber(i + 1);
    item->SetRecordBuffer(buffer);
    if (item->IsChanged()) return;
  }
  std::vector<std::uint8_t> now(GetRecordBufferSize(), 0);
  std::uint8_t* held = GetRecordBuffer();
  SetRecordBuffer(now.data());
  try {
    LoadRecordBuffer();
  } catch (...) {
    SetRecordBuffer(held);
    throw;
  }
  SetRecordBuffer(held);
  loadedBuffer_ = buffer;  // it holds this read of the row now, as it is or below
  bool same = true;
  for (std::int16_t i = 0; i < count && same; ++i)
    same = SameFieldValue(FieldCache()->FieldByNumber(i + 1), buffer, now.data());
  if (same) return;
  for (std::int16_t i = 0; i < count; ++i) {
    const TFieldDesc& d = FieldCache()->FieldByNumber(i + 1)->Desc;
    if (!IsBlobType(static_cast<std::int16_t>(d.DriverType))) continue;
    auto slot = Load<TAccessBlobSlot>(now.data() + d.Offset);
    slot.Blob = Load<TAccessBlobSlot>(buffer + d.Offset).Blob;
    Store(now.data() + d.Offset, slot);
  }
  std::memcpy(buffer, now.data(), now.size());
}

void TAccessTable::StoreBlobField(TFieldCacheItem* item, std::uint16_t fieldNumber,
                                  std::int16_t daoType, TDAOField* field) {
  TAccessBaseBlob* blob = nullptr;
  try {
    blob = FindBlob(item->RecordBuffer(), fieldNumber, false);
  } catch (const EMorvaEngineError&) {
    return;  // nothing was written through a blob: the stored value stays
  }
  if (daoType == daotype::Memo) {
    const std::string& text = static_cast<TAccessMemoBlob*>(blob)->Text;
    field->SetValue(text.empty() ? Variant() : Variant(text));
    DaoCheck(field->Status);
    return;
  }
  TMemoryStream* pending = static_cast<TAccessLongBinaryBlob*>(blob)->Pending;
  if (pending->Size() == 0) {
    field->SetValue(Variant());
    DaoCheck(field->Status);
    return;
  }
  pending->SetPosition(0);
  std::vector<std::uint8_t> block(kBlobBlock);
  for (;;) {
    std::int64_t got = pending->Read(block.data(), kBlobBlock);
    if (got > 0) {
      field->AppendChunk(block.data(), static_cast<std::int32_t>(got));
      DaoCheck(field->Status);
    }
    if (got < static_cast<std::int64_t>(kBlobBlock)) break;
  }
}

bool TAccessTable::StoreRecordBuffer() {
  std::uint8_t* buffer = GetRecordBuffer();
  if (buffer == nullptr || DAOFields == nullptr) return false;
  std::int16_t count = DAOFields->Count();
  for (std::int16_t i = 0; i < count; ++i) {
    auto number = static_cast<std::uint16_t>(i + 1);
    TFieldCacheItem* item = FieldCache()->FieldByNumber(number);
    item->SetRecordBuffer(buffer);
    if (item->IsChanged()) {
      TDAOField* field = DAOField(i);
      std::int16_t type = static_cast<std::int16_t>(item->Desc.DriverType);
      const std::uint8_t* at = item->Value();
      bool write = true;
      Variant v;
      if (item->IsBlank() && !IsBlobType(type)) {
        v = Variant();
      } else {
        switch (type) {
          case daotype::Boolean: v = DaoVarBool(at[0] != 0); break;
          case daotype::Byte: v = DaoVarUI1(at[0]); break;
          case daotype::Integer: v = DaoVarI2(Load<std::int16_t>(at)); break;
          case daotype::Long: {
            std::int32_t n = Load<std::int32_t>(at);
            // A counter left at 0 gets its value from the database.
            if (n == 0 && field->IsAutoIncrement()) write = false;
            v = DaoVarI4(n);
            break;
          }
          case daotype::Currency: v = DaoVarCY(Currency::FromRaw(Load<std::int64_t>(at))); break;
          case daotype::Single: v = DaoVarR4(Load<float>(at)); break;
          case daotype::Double: v = DaoVarR8(Load<double>(at)); break;
          case daotype::Date: v = DaoVarDate(MSecsToDate(Load<double>(at))); break;
          case daotype::Text: {
            std::string text = SlotText(reinterpret_cast<const char*>(at), item->Desc.Length);
            v = text.empty() ? Variant() : DaoVarStr(text);
            break;
          }
          case daotype::Memo:
          case daotype::LongBinary:
            if (item->IsBlank()) {
              v = Variant();
            } else {
              StoreBlobField(item, number, type, field);
              write = false;
            }
            break;
          default:
            write = false;
            break;
        }
      }
      if (write) {
        field->SetValue(v);
        DaoCheck(field->Status);
      }
    }
    item->SetRecordBuffer(buffer);
    item->SetBlank(false);
    item->SetChanged(false);
  }
  return true;
}

// ---- Moves

void TAccessTable::AfterMove() {
  keyCacheValid_ = false;
  loadedDecided_ = false;
  EditPending = false;
  inexactPosition_ = false;
}

void TAccessTable::MoveToFirst() {
  AfterMove();
  try {
    Recordset->MoveFirst();
    DaoCheck(Recordset->Status);
  } catch (const EAccessEngineError& e) {
    if (e.ErrorCode == dberr::NoCurrRec) RaiseEofError();
    throw;
  }
  LoadRecordBuffer();
}

void TAccessTable::MoveToLast() {
  AfterMove();
  try {
    Recordset->MoveLast();
    DaoCheck(Recordset->Status);
  } catch (const EAccessEngineError& e) {
    if (e.ErrorCode == dberr::NoCurrRec) RaiseBofError();
    throw;
  }
  LoadRecordBuffer();
}

void TAccessTable::MoveToNext() {
  if (!StepToNext()) RaiseEofError();
}

bool TAccessTable::StepToNext() {
  AfterMove();
  if (Recordset->EOF_()) return false;
  Recordset->MoveNext();
  HRESULT status = Recordset->Status;
  if (Recordset->EOF_()) return false;
  DaoCheck(status);
  LoadRecordBuffer();
  return true;
}

// The base's fetch, which tells its end without raising it.
bool TAccessTable::FetchNextRecord(int lock, std::uint8_t* buffer, TRecordProps* props) {
  return NextInOrder(lock, buffer, props);
}

void TAccessTable::MoveToPrior() {
  AfterMove();
  if (Recordset->BOF()) RaiseBofError();
  Recordset->MovePrevious();
  HRESULT status = Recordset->Status;
  if (Recordset->BOF()) RaiseBofError();
  DaoCheck(status);
  LoadRecordBuffer();
}

// A range bound that no record reaches leaves the cursor at an end.
void TAccessTable::MoveToRangeStart() {
  try {
    TAccessBaseTable::MoveToRangeStart();
  } catch (const EMorvaEngineError& e) {
    if (e.ErrorCode == dberr::RecNotFound) RaiseEofError();
    throw;
  }
}

void TAccessTable::MoveToRangeEnd() {
  try {
    TAccessBaseTable::MoveToRangeEnd();
  } catch (const EMorvaEngineError& e) {
    if (e.ErrorCode == dberr::RecNotFound) RaiseBofError();
    throw;
  }
}

// ---- Bookmarks

std::int32_t TAccessTable::CurrentBookmarkWord() {
  std::int32_t word = Recordset->BookmarkWord();
  DaoCheck(Recordset->Status);
  return word;
}

void TAccessTable::GetBookmark(std::uint8_t* bookmark) {
  CheckParam(bookmark);
  // Every move drops the kept key, so a kept key is the current record's.
  // Word and key area fill the bookmark whole.
  static_assert(4 + kBookmarkKeyBytes == kAccessBookmarkSize);
  if (keyCacheValid_) {
    std::memcpy(bookmark, &keyCacheWord_, 4);
    std::memcpy(bookmark + 4, keyCache_.data(), kBookmarkKeyBytes);
    return;
  }
  std::memset(bookmark, 0, kAccessBookmarkSize);
  std::int32_t word = CurrentBookmarkWord();
  std::memcpy(bookmark, &word, 4);
  if (IsQueryCursor || currentIndex_.KeyFieldCount == 0) return;
  std::uint8_t* saved = GetRecordBuffer();
  std::vector<std::uint8_t> record(GetRecordBufferSize(), 0);
  SetRecordBuffer(record.data());
  try {
    LoadRecordBuffer();
    ExtractBookmarkKey(record.data(), bookmark + 4);
  } catch (...) {
    SetRecordBuffer(saved);
    throw;
  }
  SetRecordBuffer(saved);
}

TAccessTable::TBookmarkKeyShape TAccessTable::BookmarkKeyShape() {
  TBookmarkKeyShape shape;
  int count = std::min<int>(currentIndex_.KeyFieldCount, 16);
  std::size_t at = 0;
  bool full = false;
  for (int i = 0; i < count; ++i) {
    std::size_t width = KeyFieldWidth(i);
    if (!full && at + width > kBookmarkKeyBytes) {
      full = true;
      auto type = static_cast<std::int16_t>(FieldCache()->FieldByNumber(currentIndex_.KeyFields[i])->Desc.DriverType);
      if (type == daotype::Text && at + 1 < kBookmarkKeyBytes) shape.Fields = i + 1;
    }
    if (!full) shape.Fields = i + 1;
    at += width;
  }
  shape.FullWidth = at;
  return shape;
}

void TAccessTable::ExtractBookmarkKey(const std::uint8_t* record, std::uint8_t* area) {
  TBookmarkKeyShape shape = BookmarkKeyShape();
  if (shape.FullWidth <= kBookmarkKeyBytes) {
    // The whole key fits (the usual case): straight into the area.
    std::memset(area, 0, kBookmarkKeyBytes);
    ExtractKeyFields(record, area, 0, 0);
    return;
  }
  TFieldScratch key(std::max(shape.FullWidth, kBookmarkKeyBytes));
  ExtractKeyFields(record, key.Data(), 0, 0);
  // Keep the fields that fit; a text that does not is cut on a character.
  std::size_t kept = 0;
  for (int i = 0; i < shape.Fields; ++i) {
    std::size_t width = KeyFieldWidth(i);
    if (kept + width <= kBookmarkKeyBytes) {
      kept += width;
      continue;
    }
    const char* text = reinterpret_cast<const char*>(key.Data() + kept);
    std::string_view cut = dbengine_detail::CutBytes(std::string_view(text, strnlen(text, width)),
                                                     kBookmarkKeyBytes - kept - 1);
    kept += cut.size();
  }
  std::memset(area, 0, kBookmarkKeyBytes);
  std::memcpy(area, key.Data(), kept);
}

bool TAccessTable::PositionAt(std::int32_t word) {
  keyCacheValid_ = false;
  Variant bytes = VarByteArrayOf(&word, sizeof word);
  try {
    Recordset->SetBookmark(bytes);
    DaoCheck(Recordset->Status);
  } catch (const EAccessEngineError&) {
    return false;
  }
  return true;
}

void TAccessTable::SetToBookmark(const std::uint8_t* bookmark) {
  keyCacheValid_ = false;
  CheckParam(bookmark);
  std::int32_t word = Load<std::int32_t>(bookmark);
  if (PositionAt(word)) {
    AfterMove();
    CursorState = curstate::OnRecord;
    return;
  }
  // The record is gone (another user deleted it): browsing goes on from the
  // record after it, but nothing may edit or delete in its name.
  if (!IsQueryCursor && currentIndex_.KeyFieldCount > 0) {
    TBookmarkKeyShape shape = BookmarkKeyShape();
    // The seek reads each field at its full width: beyond the area, zeros.
    std::vector<std::uint8_t> key(std::max(shape.FullWidth, kBookmarkKeyBytes), 0);
    std::memcpy(key.data(), bookmark + 4, kBookmarkKeyBytes);
    if (shape.Fields > 0)
      SeekKeyOrEnd(keysearch::Greater, true, nullptr, key.data(), 0, static_cast<std::uint16_t>(shape.Fields));
  }
  inexactPosition_ = true;
}

void TAccessTable::CheckExactPosition() {
  if (inexactPosition_) RaiseEngineError(kRecDeleted);
}

void TAccessTable::SetRereadFlag() {
  TAccessBaseTable::SetRereadFlag();
  Recordset->Requery();
  DaoCheck(Recordset->Status);
}

void TAccessTable::GetRecordAtBookmark(const std::uint8_t* bookmark, std::uint8_t* buffer, int lock) {
  CheckParam(bookmark);
  SetRecordBuffer(buffer);
  if (EditPending) {
    LoadRecordBuffer();
    return;
  }
  // Standing on that record already: keep what the positioning found.
  bool onIt = !Recordset->EOF_() && !Recordset->BOF() && CurrentBookmarkWord() == Load<std::int32_t>(bookmark);
  if (!onIt) SetToBookmark(bookmark);
  SetRecordBuffer(buffer);
  if (lock == 1) {
    LoadLockedRecord();
  } else {
    LoadRecordBuffer();
  }
  CursorState = curstate::OnRecord;
}

// The recordset's Edit takes the record lock and re-reads the row; the buffer
// is filled after it, so an edit starts from the row as it stands under the
// lock and never posts values another user has replaced meanwhile.
void TAccessTable::LoadLockedRecord() {
  LockCurrentRecord();
  if (HoldsLockedRead()) return;
  EditPending = false;  // a fresh read: the fields' statuses come from the row
  try {
    LoadRecordBuffer();
  } catch (...) {
    Recordset->CancelUpdate();
    throw;
  }
  EditPending = true;
}

// Whether the buffer holds the row as the lock found it already: the last
// read went into it, the recordset read nothing afresh since (its edit found
// the row unchanged), and no blob is open on it that a fresh read would
// close. Browsing writes nothing into a buffer, and every edit ends with a
// fresh read, so such a buffer still holds what that read gave.
bool TAccessTable::HoldsLockedRead() {
  std::uint8_t* buffer = GetRecordBuffer();
  return buffer == loadedBuffer_ && Recordset->RowReads() == loadedReads_ &&
         std::none_of(blobs_.begin(), blobs_.end(), [&](TAccessBaseBlob* b) { return b->RecordBuffer == buffer; });
}

int TAccessTable::CompareBookmarks(const std::uint8_t* a, const std::uint8_t* b) {
  std::int32_t x = Load<std::int32_t>(CheckParam(a));
  std::int32_t y = Load<std::int32_t>(CheckParam(b));
  return x > y ? 1 : (x < y ? -1 : 0);
}

// ---- Record changes

void TAccessTable::CancelRecordChange(void* reserved) {
  // Only a pending edit has anything to cancel; cancelling none would hide
  // the failure that led here.
  if (reserved == nullptr && Recordset != nullptr && EditPending) {
    EditPending = false;
    Recordset->CancelUpdate();
    DaoCheck(Recordset->Status);
  }
  TAccessBaseTable::CancelRecordChange(reserved);
}

void TAccessTable::LockCurrentRecord() {
  EditPending = false;
  CheckExactPosition();
  Recordset->Edit();
  DaoCheck(Recordset->Status);
  EditPending = true;
}

// A change replayed from a cache is written like an edit: the record is
// locked for it first.
void TAccessTable::PrepareReplayedChange(int value) {
  if (value == 1) LockCurrentRecord();
}

// Storing clears the fields' blank and changed flags. A refused addition or
// change gives the buffer back as it came (an addition is also cancelled
// whole): the record still reads as typed, an empty date empty rather than a
// date of nothing, and the corrected post writes every value.
void TAccessTable::StoreAndUpdate(std::uint8_t* buffer, bool adding) {
  SetRecordBuffer(buffer);
  const std::vector<std::uint8_t> before(buffer, buffer + GetRecordBufferSize());
  try {
    StoreRecordBuffer();
    Recordset->Update();
    DaoCheck(Recordset->Status);
  } catch (...) {
    if (adding) Recordset->CancelUpdate();
    std::memcpy(buffer, before.data(), before.size());
    throw;
  }
}

void TAccessTable::InsertRecord(int, std::uint8_t* buffer) {
  keyCacheValid_ = false;
  Recordset->AddNew();
  DaoCheck(Recordset->Status);
  StoreAndUpdate(buffer, true);
  std::uint8_t bookmark[kAccessBookmarkSize] = {};
  Variant last = Recordset->LastModified();
  DaoCheck(Recordset->Status);
  std::int32_t word = WordOf(last);
  std::memcpy(bookmark, &word, 4);
  SetToBookmark(bookmark);
  EditPending = false;
}

// Whether the buffer's changes touch a field of the current index's key.
bool TAccessTable::ChangesKey(std::uint8_t* buffer) {
  const int count = std::min<int>(currentIndex_.KeyFieldCount, 16);
  for (int i = 0; i < count; ++i) {
    TFieldCacheItem* item = FieldCache()->FieldByNumber(currentIndex_.KeyFields[i]);
    item->SetRecordBuffer(buffer);
    if (item->IsChanged()) return true;
  }
  return false;
}

void TAccessTable::ModifyRecord(std::uint8_t* buffer, int freeLock) {
  // The key kept from the edit's read still names the record when the change
  // leaves the key alone (another user's change to it fails the update):
  // re-reading the whole record after the post only for its key is spared.
  if (ChangesKey(buffer)) keyCacheValid_ = false;
  CheckExactPosition();
  StoreAndUpdate(buffer, false);
  EditPending = false;
  if (freeLock == 0) LockCurrentRecord();
}

void TAccessTable::DeleteRecord(std::uint8_t* buffer) {
  keyCacheValid_ = false;
  EditPending = false;
  CheckExactPosition();
  Recordset->Delete();
  DaoCheck(Recordset->Status);
  try {
    GetNextRecord(0, buffer, nullptr);
  } catch (const EMorvaEngineError&) {
    MoveToRangeStart();
  }
  CursorState = curstate::OnRecord;
}

// ---- Positions and counts

void TAccessTable::GetAbsolutePosition(std::uint32_t& position) {
  std::int32_t p = Recordset->AbsolutePosition();
  DaoCheck(Recordset->Status);
  position = static_cast<std::uint32_t>(p);
}

void TAccessTable::SetAbsolutePosition(std::uint32_t position) {
  Recordset->SetAbsolutePosition(static_cast<std::int32_t>(position));
  DaoCheck(Recordset->Status);
}

std::uint16_t TAccessTable::CountIndexes() {
  if (Recordset == nullptr || IsQueryCursor) return 0;
  TAccessIndexListTable list(DAODatabase, DAOTableName.c_str(), Recordset, this);
  std::uint32_t count = 0;
  list.GetRecordCount(count);
  return static_cast<std::uint16_t>(count);
}

void TAccessTable::GetCursorProperties(TCursorProps& props) {
  TAccessBaseTable::GetCursorProperties(props);
  if (!IsQueryCursor) props.IndexCount = CountIndexes();
}

void TAccessTable::GetRecordCount(std::uint32_t& count) {
  std::int32_t n = Recordset != nullptr ? Recordset->RecordCount() : 0;
  count = static_cast<std::uint32_t>(std::max(n, 0));
}

// ---- Indexes and keys

void TAccessTable::SwitchToIndex(const char* indexName, const char* tagName, std::uint16_t,
                                 bool stayOnRecord) {
  keyCacheValid_ = false;
  (void)tagName;
  if (indexName == nullptr || *indexName == '\0') RaiseEngineError(dberr::InvalidParam);
  std::uint16_t number = 0;
  std::string name;
  FindIndexByName(indexName, number, name);
  std::vector<std::uint8_t> bookmark;
  if (stayOnRecord) {
    bookmark.assign(kAccessBookmarkSize, 0);
    GetBookmark(bookmark.data());
  }
  Recordset->SetIndex(name);
  DaoCheck(Recordset->Status);
  indexApplied_ = true;
  ResetRange();
  TAccessIndexListTable list(DAODatabase, DAOTableName.c_str(), Recordset, this);
  TIndexDesc desc{};
  try {
    for (;;) {
      list.GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&desc), nullptr);
      if (SameName(SlotText(desc.Name), name)) {
        currentIndex_ = desc;
        break;
      }
    }
  } catch (const EMorvaBoundryError&) {
  }
  if (stayOnRecord) SetToBookmark(bookmark.data());
}

void TAccessTable::ExtractKeyFields(const std::uint8_t* record, std::uint8_t* key,
                                    std::uint16_t fieldCount, std::uint16_t length) {
  if (record == nullptr) record = GetInitBuffer();
  CheckParam(record);
  CheckParam(key);
  if (fieldCount == 0 && length == 0) fieldCount = currentIndex_.KeyFieldCount;
  if (fieldCount == 0) RaiseEngineError(dberr::NoAssocIndex);
  int count = std::min<int>(std::min<int>(fieldCount, currentIndex_.KeyFieldCount), 16);
  std::uint8_t* at = key;
  for (int i = 0; i < count; ++i) {
    TFieldCacheItem* item = FieldCache()->FieldByNumber(currentIndex_.KeyFields[i]);
    std::uint16_t width = KeyFieldWidth(i);
    if (StoredBytesAreKey(static_cast<std::int16_t>(item->Desc.DriverType))) {
      // What the read below gives for these, without its scratch copy: the
      // stored bytes up to the key width, zeros after them or when blank.
      item->SetRecordBuffer(const_cast<std::uint8_t*>(record));
      const std::size_t n = item->IsBlank() ? 0 : std::min<std::size_t>(width, item->Desc.Length);
      if (n != 0) std::memcpy(at, item->Value(), n);
      std::memset(at + n, 0, width - n);
      at += width;
      continue;
    }
    TFieldScratch value(std::max<std::size_t>(width, item->Desc.Length) + 8);
    bool blank = false;
    ReadFieldValue(item, const_cast<std::uint8_t*>(record), blank, value.Data());
    if (blank)
      std::memset(at, 0, width);
    else
      std::memcpy(at, value.Data(), width);
    at += width;
  }
}

void TAccessTable::SeekKey(std::uint16_t condition, bool keyItself, std::uint8_t* buffer,
                           const std::uint8_t* key, std::uint16_t keyLength, std::uint16_t fieldCount) {
  keyCacheValid_ = false;
  Variant slots[13];
  for (Variant& slot : slots) slot = DaoMissingArg();
  EditPending = false;
  inexactPosition_ = false;
  // A key of fewer fields than the index, or whose last field is cut, is a
  // prefix: the seek goes to the first key at or after it and checks it.
  bool partial = fieldCount != 0 && condition == 0 && (currentIndex_.KeyFieldCount > fieldCount || keyLength > 0);
  std::uint16_t daoCondition = condition;
  if (partial) daoCondition = keysearch::GreaterOrEqual;
  if (condition == keysearch::LessOrEqual) daoCondition = keysearch::Greater;
  int count = fieldCount == 0 ? currentIndex_.KeyFieldCount : fieldCount;
  count = std::min(std::min(count, 13), static_cast<int>(currentIndex_.KeyFieldCount));
  const std::uint8_t* source = keyItself ? key : (key != nullptr ? key : buffer);
  CheckParam(source);
  int counted = 0;
  const std::uint8_t* keyAt = source;
  for (int i = 0; i < count; ++i) {
    TFieldCacheItem* item = FieldCache()->FieldByNumber(currentIndex_.KeyFields[i]);
    std::uint16_t width = KeyFieldWidth(i);
    std::int16_t type = static_cast<std::int16_t>(item->Desc.DriverType);
    std::vector<std::uint8_t> value(std::max<std::size_t>(width, item->Desc.Length) + 8, 0);
    bool blank = false;
    if (keyItself) {
      // A key holds native values; text that is all zeros is blank.
      std::memcpy(value.data(), keyAt, width);
      blank = type == daotype::Text && IsAllZero(keyAt, width);
      keyAt += width;
    } else {
      ReadFieldValue(item, const_cast<std::uint8_t*>(source), blank, value.data());
    }
    if (blank) {
      // A blank key field is Null and is sought as such; leaving it out would
      // end the key there and make the fields after it a mere prefix search.
      slots[i] = Null;
      ++counted;
      continue;
    }
    const std::uint8_t* v = value.data();
    switch (type) {
      case daotype::Boolean: slots[i] = DaoVarBool(Load<std::int16_t>(v) != 0); break;
      case daotype::Byte: slots[i] = DaoVarUI1(static_cast<std::uint8_t>(Load<std::int16_t>(v))); break;
      case daotype::Integer: slots[i] = DaoVarI2(Load<std::int16_t>(v)); break;
      case daotype::Long: slots[i] = DaoVarI4(Load<std::int32_t>(v)); break;
      case daotype::Currency:
        // A key beyond the currency range is no amount: nothing has it.
        try {
          slots[i] = DaoVarCY(Currency::FromRaw(CurrencyRaw(Load<double>(v))));
        } catch (const EMorvaEngineError&) {
          RaiseEngineError(dberr::RecNotFound);
        }
        break;
      case daotype::Single: slots[i] = DaoVarR4(static_cast<float>(Load<double>(v))); break;
      case daotype::Double: slots[i] = DaoVarR8(Load<double>(v)); break;
      case daotype::Date: slots[i] = DaoVarDate(MSecsToDate(Load<double>(v))); break;
      case daotype::Text: {
        std::string text = SlotText(reinterpret_cast<const char*>(v), width);
        if (i == count - 1 && keyLength > 0) {
          text = dbengine_detail::CutChars(text, keyLength);
          // On a descending field the keys that begin with the text come
          // before it: seek from past the greatest of them instead.
          if (partial && currentIndex_.DescendingFields[i] != 0) text += kGreatestCharacter;
        }
        slots[i] = DaoVarStr(text);
        break;
      }
      default:
        continue;
    }
    ++counted;
  }
  if (counted == 0) RaiseEngineError(dberr::RecNotFound);
  // The wanted key, taken before the found record may overwrite the caller's buffer.
  std::vector<std::uint8_t> wanted(KeyAreaBytes() + 8, 0);
  if (partial) {
    if (keyItself)
      std::memcpy(wanted.data(), key, std::min<std::size_t>(currentIndex_.KeyLength, wanted.size()));
    else
      ExtractKeyFields(source, wanted.data(), fieldCount, keyLength);
  }
  Recordset->Seek(ComparisonText(daoCondition), slots);
  // A seek kept from reading by another user's lock says so; any other
  // failure (a key the index cannot hold) finds nothing, whatever NoMatch says.
  HRESULT status = Recordset->Status;
  if (IsLockError(status)) DaoCheck(status);
  bool failed = (status & 0xFFFF) != 0;
  if (condition == keysearch::LessOrEqual) {
    if (failed || Recordset->NoMatch())
      Recordset->MoveLast();
    else
      Recordset->MovePrevious();
    try {
      DaoCheck(Recordset->Status);
    } catch (const EAccessEngineError& e) {
      // An empty recordset has no last record: nothing is at or before the key.
      if (e.ErrorCode == dberr::NoCurrRec) RaiseEngineError(dberr::RecNotFound);
      throw;
    }
    if (Recordset->EOF_() || Recordset->BOF()) RaiseEngineError(dberr::RecNotFound);
  } else if (failed || Recordset->NoMatch()) {
    RaiseEngineError(dberr::RecNotFound);
  }
  std::vector<std::uint8_t> temporary;
  std::uint8_t* target = buffer;
  if (target == nullptr) {
    temporary.assign(GetRecordBufferSize(), 0);
    target = temporary.data();
  }
  std::uint8_t* saved = GetRecordBuffer();
  SetRecordBuffer(target);
  LoadRecordBuffer();
  if (partial) {
    std::vector<std::uint8_t> found(wanted.size(), 0);
    ExtractKeyFields(target, found.data(), fieldCount, keyLength);
    int c = 0;
    CompareKeys(found.data(), wanted.data(), fieldCount, keyLength, c);
    if (c != 0) {
      if (buffer == nullptr) SetRecordBuffer(saved);
      RaiseEngineError(dberr::RecNotFound);
    }
  }
  if (buffer == nullptr) SetRecordBuffer(saved);
  CursorState = curstate::OnRecord;
}

// The caller counts the whole key fields and gives the length of the next
// one's start (a partial key); the seek counts that field among its fields
// and cuts its last one to the length.
void TAccessTable::FetchRecordByKey(bool directKey, std::uint16_t fieldCount, std::uint16_t keyLength,
                                    const std::uint8_t* key, std::uint8_t* buffer) {
  const auto seekFields = static_cast<std::uint16_t>(keyLength > 0 ? fieldCount + 1 : fieldCount);
  if (indexApplied_ || IsQueryCursor || currentIndex_.KeyFieldCount == 0) {
    SeekKey(0, directKey, buffer, key, keyLength, seekFields);
    return;
  }
  FetchThroughIndexedDuplicate(directKey, keyLength, key, buffer, seekFields);
}

// A cursor opened on no index counts the table's first index as its current
// one (its key layout), but its recordset keeps the stored order and a
// recordset seeks only on the index it is ordered by: the seek runs on a
// duplicate switched to that index, and this cursor moves to the record found
// there, keeping its order.
void TAccessTable::FetchThroughIndexedDuplicate(bool directKey, std::uint16_t keyLength, const std::uint8_t* key,
                                                std::uint8_t* buffer, std::uint16_t seekFields) {
  TBaseTable* opened = nullptr;
  OpenDuplicateCursor(true, false, opened);
  const std::unique_ptr<TBaseTable> duplicate(opened);
  duplicate->SwitchToIndex(currentIndex_.Name, nullptr, 0, false);
  duplicate->SeekKey(0, directKey, buffer, key, keyLength, seekFields);
  duplicate->CopyPositionTo(this);
  if (buffer == nullptr) return;
  // As a seek of its own: the found record is read into the caller's buffer.
  SetRecordBuffer(buffer);
  LoadRecordBuffer();
}

void TAccessTable::GetIndexDescriptor(std::uint16_t number, TIndexDesc& desc) {
  if (number == 0 && currentIndex_.KeyLength > 0) {
    desc = currentIndex_;
    return;
  }
  std::memset(&desc, 0, sizeof desc);
  if (IsQueryCursor) RaiseEngineError(dberr::NotIndexed);
  bool openedHere = CursorState == curstate::Closed;
  if (openedHere) OpenCursor();
  try {
    TAccessIndexListTable list(DAODatabase, DAOTableName.c_str(), Recordset, this);
    int rows = std::max<int>(number, 1);
    try {
      for (int i = 0; i < rows; ++i) list.GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&desc), nullptr);
    } catch (const EMorvaBoundryError&) {
    }
  } catch (...) {
    if (openedHere) CloseCursor();
    throw;
  }
  if (openedHere) CloseCursor();
  if (number == 0) currentIndex_ = desc;
}

void TAccessTable::GetIndexDescriptors(TIndexDesc* descs) {
  CheckParam(descs);
  TAccessIndexListTable list(DAODatabase, DAOTableName.c_str(), Recordset, this);
  try {
    for (TIndexDesc* d = descs;; ++d) list.GetNextRecord(0, reinterpret_cast<std::uint8_t*>(d), nullptr);
  } catch (const EMorvaBoundryError&) {
  }
}

// ---- Blobs

TAccessBaseBlob* TAccessTable::FindBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, bool create) {
  CheckParam(buffer);
  TFieldCacheItem* item = FieldCache()->FieldByNumber(fieldNumber);
  if (item->Desc.FieldType != fldtype::Blob) RaiseEngineError(dberr::NotABlob);
  std::uint8_t* at = buffer + item->Desc.Offset;
  auto slot = Load<TAccessBlobSlot>(at);
  // Only a blob this cursor holds open counts; a copied buffer may carry a stale one.
  bool open = slot.Blob != nullptr && std::find(blobs_.begin(), blobs_.end(), slot.Blob) != blobs_.end() &&
              slot.Blob->RecordBuffer == buffer;
  if (open) {
    if (create) RaiseEngineError(dberr::BlobOpened);
    return slot.Blob;
  }
  if (!create) RaiseEngineError(kBlobNotOpened);
  TAccessBaseBlob* blob;
  if (item->Desc.SubType == kMemoSubType)
    blob = new TAccessMemoBlob(this, item, fieldNumber, DAOFields, kBlobReadOnly, buffer);
  else if (item->Desc.SubType == kBinarySubType)
    blob = new TAccessLongBinaryBlob(this, item, fieldNumber, DAOFields, kBlobReadOnly, buffer);
  else
    RaiseEngineError(dberr::InvalidHndl);
  blobs_.push_back(blob);
  slot.Blob = blob;
  Store(at, slot);
  return blob;
}

void TAccessTable::OpenBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, int openMode) {
  CheckParam(buffer);
  TAccessBaseBlob* blob = FindBlob(buffer, fieldNumber, true);
  blob->Mode = openMode;
}

void TAccessTable::GetBlobSize(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t& size) {
  size = FindBlob(buffer, fieldNumber, false)->GetBlobSize();
}

void TAccessTable::ReadBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t offset,
                            std::uint32_t length, void* dest, std::uint32_t& read) {
  if (ReadBlobPiece(buffer, fieldNumber, offset, length, dest, read)) RaiseEngineError(dberr::EndOfBlob);
}

bool TAccessTable::ReadBlobPiece(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t offset,
                                 std::uint32_t length, void* dest, std::uint32_t& read) {
  read = 0;
  TAccessBaseBlob* blob = FindBlob(buffer, fieldNumber, false);
  if (dest == nullptr || length == 0) return false;
  return blob->ReadBytes(offset, length, dest, read);
}

void TAccessTable::WriteBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::uint32_t offset,
                             std::uint32_t length, const void* source) {
  FindBlob(buffer, fieldNumber, false)->WriteBytes(offset, length, source);
}

void TAccessTable::ReleaseBlob(TAccessBaseBlob* blob) {
  auto it = std::find(blobs_.begin(), blobs_.end(), blob);
  if (it == blobs_.end()) return;
  blobs_.erase(it);
  std::uint8_t* at = blob->RecordBuffer + blob->Item->Desc.Offset;
  auto slot = Load<TAccessBlobSlot>(at);
  if (slot.Blob == blob) {
    slot.Blob = nullptr;
    Store(at, slot);
  }
  delete blob;
}

void TAccessTable::FreeBlob(std::uint8_t* buffer, std::uint16_t fieldNumber) {
  ReleaseBlob(FindBlob(buffer, fieldNumber, false));
}

void TAccessTable::ReadWholeBlob(std::uint8_t* buffer, std::uint16_t fieldNumber, std::string& out) {
  if (ReadMemoInPlace(buffer, fieldNumber, out)) return;
  TAccessBaseBlob* blob = FindBlob(buffer, fieldNumber, true);
  try {
    blob->TakeAll(out);
  } catch (...) {
    ReleaseBlob(blob);
    throw;
  }
  ReleaseBlob(blob);
}

// The memo of the record just read into `buffer`, as a blob opened, read
// whole and freed gives it, without the blob: while the recordset still
// stands on that read of the record, no blob is open on the field and no
// change of it is pending, the blob would only read the field and check the
// record's version. Answers false, having done nothing, in every other case.
bool TAccessTable::ReadMemoInPlace(std::uint8_t* buffer, std::uint16_t fieldNumber, std::string& out) {
  if (buffer == nullptr || buffer != loadedBuffer_ || EditPending || Recordset == nullptr) return false;
  TFieldCacheItem* item = FieldCache()->FieldByNumber(fieldNumber);
  if (item->Desc.FieldType != fldtype::Blob || item->Desc.SubType != kMemoSubType) return false;
  std::uint8_t* at = buffer + item->Desc.Offset;
  auto slot = Load<TAccessBlobSlot>(at);
  if (slot.Blob != nullptr && std::find(blobs_.begin(), blobs_.end(), slot.Blob) != blobs_.end()) return false;
  // The buffer may hold a copy of another record's image: its slot says whose.
  if (slot.BookmarkWord == 0 || slot.BookmarkWord != loadedWord_) return false;
  item->SetRecordBuffer(buffer);
  if (item->IsChanged()) return false;
  if (Recordset->RowReads() != loadedReads_ || Recordset->EOF_() || Recordset->BOF()) return false;
  // What freeing a blob leaves in the slot.
  slot.Blob = nullptr;
  Store(at, slot);
  out.clear();
  if (item->IsBlank()) return true;
  TDAOField* field = DAOField(static_cast<std::int16_t>(fieldNumber - 1));
  std::string text = field->MemoText();
  DaoCheck(field->Status);
  KeepOneVersion(buffer);
  // The record read afresh may have lost its memo.
  item->SetRecordBuffer(buffer);
  if (!item->IsBlank()) out = std::move(text);
  return true;
}

void TAccessTable::FreeAllBlobs() {
  while (!blobs_.empty()) {
    TAccessBaseBlob* blob = blobs_.back();
    blobs_.pop_back();
    delete blob;  // its buffers may be gone: the slots are not touched
  }
}
