#pragma once
// An in-memory indexed cursor for the engine tests: rows of (ID, NAME, SCORE)
// kept in ID order, the index on ID, bookmarks holding the ID. It implements
// the driver moves, seeks and key extraction the base cursor relies on, and
// can be told to refuse deleting chosen records.

#include <algorithm>
#include <cstring>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "dbengine/basetable.h"
#include "dbengine/enginetext.h"

namespace testing_engine {

constexpr std::uint16_t kIdOffset = 0;
constexpr std::uint16_t kNameOffset = 4;
constexpr std::uint16_t kNameLength = 21;
constexpr std::uint16_t kScoreOffset = 25;
constexpr std::uint16_t kRecordSize = 29;

inline TFieldDesc MakeField(std::uint16_t number, const char* name, std::uint16_t type,
                            std::uint16_t offset, std::uint16_t length) {
  TFieldDesc d{};
  d.FieldNumber = number;
  dbengine_detail::StoreText(d.Name, name);
  d.FieldType = type;
  d.Offset = offset;
  d.Length = length;
  d.Units1 = static_cast<std::int16_t>(type == fldtype::ZString ? length - 1 : 0);
  return d;
}

struct TTestRecord {
  std::uint8_t Bytes[kRecordSize] = {};
  TTestRecord() = default;
  TTestRecord(std::int32_t id, const std::string& name, std::int32_t score) {
    std::memcpy(Bytes + kIdOffset, &id, 4);
    dbengine_detail::StoreText(reinterpret_cast<char*>(Bytes + kNameOffset), kNameLength, name);
    std::memcpy(Bytes + kScoreOffset, &score, 4);
  }
  std::int32_t Id() const { return IdOf(Bytes); }
  std::string Name() const { return NameOf(Bytes); }
  std::int32_t Score() const {
    std::int32_t v;
    std::memcpy(&v, Bytes + kScoreOffset, 4);
    return v;
  }
  static std::int32_t IdOf(const std::uint8_t* bytes) {
    std::int32_t v;
    std::memcpy(&v, bytes + kIdOffset, 4);
    return v;
  }
  static std::string NameOf(const std::uint8_t* bytes) {
    return dbengine_detail::SlotText(reinterpret_cast<const char*>(bytes + kNameOffset), kNameLength);
  }
};

class TTestCursor : public TBaseTable {
 public:
  // Fields are described through LoadFieldList (lazily) unless eager is set.
  TTestCursor(TBapiListItem* owner = nullptr, TMorvaCollection* ownerList = nullptr,
              const char* name = "Orders", bool eager = true, std::int32_t shareMode = 0)
      : TBaseTable(owner, ownerList, name, "TEST", 0, shareMode) {
    if (eager)
      for (std::uint16_t n = 1; n <= 3; ++n) FieldCache()->AddField(Describe(n));
    dataSize_ = kRecordSize;
    currentIndex_.KeyFieldCount = 1;
    currentIndex_.KeyLength = 4;
    currentIndex_.KeyFields[0] = 1;
    dbengine_detail::StoreText(currentIndex_.Name, "ByID");
    OpenCursor();
  }

  static TFieldDesc Describe(std::uint16_t n) {
    switch (n) {
      case 1: return MakeField(1, "ID", fldtype::Int32, kIdOffset, 4);
      case 2: return MakeField(2, "NAME", fldtype::ZString, kNameOffset, kNameLength);
      default: return MakeField(3, "SCORE", fldtype::Int32, kScoreOffset, 4);
    }
  }

  void Add(std::int32_t id, const std::string& name, std::int32_t score) {
    TTestRecord r(id, name, score);
    InsertRow(r.Bytes);
  }

  // ---- What the tests watch and steer
  std::set<std::int32_t> Undeletable;
  int LoadFieldListCalls = 0;
  int FieldReads = 0;
  std::vector<int> LocksSeen;  // lock argument of every record read at a bookmark
  int CancelCalls = 0;
  std::vector<std::string> Calls;  // changes, in order: "modify 3", "append 9", "delete 2"
  bool StatusArea = false;
  std::vector<TTestRecord> Rows;

  // ---- Driver operations
  std::uint16_t GetBookmarkSize() override { return 4; }
  bool HasFieldStatusArea() override { return StatusArea; }

  void LoadFieldList(std::uint16_t n, TFieldDesc& desc) override {
    ++LoadFieldListCalls;
    if (n < 1 || n > 3) RaiseEngineError(dberr::InvalidRecStruct);
    desc = Describe(n);
  }

  void ReadFieldValue(TFieldCacheItem* item, std::uint8_t* buffer, bool& blank, void* dest) override {
    ++FieldReads;
    TBaseTable::ReadFieldValue(item, buffer, blank, dest);
  }

  void CopyFieldOut(std::uint16_t, std::uint16_t, std::int16_t, std::uint16_t length,
                    const std::uint8_t* value, void* dest, bool& blank) override {
    blank = false;
    std::memcpy(dest, value, length);
  }

  void CopyFieldIn(std::uint16_t, std::uint16_t, std::int16_t, std::uint16_t length,
                   std::uint8_t* value, const void* source) override {
    if (source != nullptr)
      std::memcpy(value, source, length);
    else
      std::memset(value, 0, length);
  }

  void MoveToFirst() override {
    if (Rows.empty()) RaiseEofError();
    Place(0);
  }
  void MoveToLast() override {
    if (Rows.empty()) RaiseBofError();
    Place(static_cast<int>(Rows.size()) - 1);
  }
  void MoveToNext() override {
    int next = afterDelete_ ? pos_ : pos_ + 1;
    if (next >= static_cast<int>(Rows.size())) RaiseEofError();
    Place(next);
  }
  void MoveToPrior() override {
    if (pos_ - 1 < 0) RaiseBofError();
    Place(pos_ - 1);
  }

  void GetBookmark(std::uint8_t* bookmark) override {
    if (!positioned_ || afterDelete_) RaiseEngineError(dberr::NoCurrRec);
    std::memcpy(bookmark, &currentId_, 4);
  }
  void SetToBookmark(const std::uint8_t* bookmark) override {
    int at = Find(TTestRecord::IdOf(bookmark));
    if (at < 0) RaiseEngineError(dberr::RecNotFound);
    pos_ = at;
    currentId_ = Rows[static_cast<std::size_t>(at)].Id();
    positioned_ = true;
    afterDelete_ = false;
  }
  void GetRecordAtBookmark(const std::uint8_t* bookmark, std::uint8_t* buffer, int lock) override {
    LocksSeen.push_back(lock);
    SetToBookmark(bookmark);
    if (buffer != nullptr) std::memcpy(buffer, Rows[static_cast<std::size_t>(pos_)].Bytes, kRecordSize);
  }
  int CompareBookmarks(const std::uint8_t* a, const std::uint8_t* b) override {
    std::int32_t x = TTestRecord::IdOf(a), y = TTestRecord::IdOf(b);
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  void CancelRecordChange(void* reserved) override {
    ++CancelCalls;
    TBaseTable::CancelRecordChange(reserved);
  }

  void SeekKey(std::uint16_t condition, bool, std::uint8_t*, const std::uint8_t* key,
               std::uint16_t, std::uint16_t) override {
    std::int32_t k = TTestRecord::IdOf(key);
    int n = static_cast<int>(Rows.size());
    if (condition == keysearch::GreaterOrEqual || condition == keysearch::Greater) {
      for (int i = 0; i < n; ++i) {
        std::int32_t id = Rows[static_cast<std::size_t>(i)].Id();
        if (id > k || (id == k && condition == keysearch::GreaterOrEqual)) return Place(i);
      }
      RaiseEofError();
    }
    for (int i = n - 1; i >= 0; --i) {
      std::int32_t id = Rows[static_cast<std::size_t>(i)].Id();
      if (id < k || (id == k && condition == keysearch::LessOrEqual)) return Place(i);
    }
    RaiseBofError();
  }

  // The key fields of the current index, one after the other.
  void ExtractKeyFields(const std::uint8_t* record, std::uint8_t* key, std::uint16_t,
                        std::uint16_t) override {
    for (int i = 0; i < currentIndex_.KeyFieldCount; ++i) {
      const TFieldDesc& d = FieldCache()->FieldByNumber(currentIndex_.KeyFields[i])->Desc;
      std::memcpy(key, record + d.Offset, d.Length);
      key += d.Length;
    }
  }

  void GetIndexDescriptor(std::uint16_t number, TIndexDesc& desc) override {
    if (number != 1) RaiseEngineError(dberr::InvalidIndexName);
    desc = currentIndex_;
  }

  void GetCursorProperties(TCursorProps& props) override {
    TBaseTable::GetCursorProperties(props);
    props.IndexCount = 1;
  }

  void InsertRecord(int, std::uint8_t* buffer) override {
    CheckParam(buffer);
    Calls.push_back("insert " + std::to_string(TTestRecord::IdOf(buffer)));
    InsertRow(buffer);
  }
  void AppendRecord(std::uint8_t* buffer) override {
    CheckParam(buffer);
    Calls.push_back("append " + std::to_string(TTestRecord::IdOf(buffer)));
    InsertRow(buffer);
  }
  void ModifyRecord(std::uint8_t* buffer, int) override {
    CheckParam(buffer);
    Calls.push_back("modify " + std::to_string(Current().Id()));
    std::memcpy(Rows[static_cast<std::size_t>(pos_)].Bytes, buffer, kRecordSize);
  }
  void DeleteRecord(std::uint8_t*) override {
    std::int32_t id = Current().Id();
    if (Undeletable.count(id) != 0) RaiseEngineError(dberr::TableReadOnly);
    Calls.push_back("delete " + std::to_string(id));
    Rows.erase(Rows.begin() + pos_);
    afterDelete_ = true;
    CursorState = curstate::BetweenRecords;
  }

  int Position() const { return pos_; }

 private:
  TTestRecord& Current() {
    int at = positioned_ && !afterDelete_ ? Find(currentId_) : -1;
    if (at < 0) RaiseEngineError(dberr::NoCurrRec);
    pos_ = at;
    return Rows[static_cast<std::size_t>(at)];
  }
  int Find(std::int32_t id) const {
    for (std::size_t i = 0; i < Rows.size(); ++i)
      if (Rows[i].Id() == id) return static_cast<int>(i);
    return -1;
  }
  void InsertRow(const std::uint8_t* bytes) {
    TTestRecord r;
    std::memcpy(r.Bytes, bytes, kRecordSize);
    auto at = std::upper_bound(Rows.begin(), Rows.end(), r,
                               [](const TTestRecord& a, const TTestRecord& b) { return a.Id() < b.Id(); });
    Rows.insert(at, r);
  }
  void Place(int i) {
    pos_ = i;
    currentId_ = Rows[static_cast<std::size_t>(i)].Id();
    positioned_ = true;
    afterDelete_ = false;
    if (std::uint8_t* buffer = GetRecordBuffer(); buffer != nullptr)
      std::memcpy(buffer, Rows[static_cast<std::size_t>(i)].Bytes, kRecordSize);
  }

  int pos_ = -1;               // index of the current row, for moves
  std::int32_t currentId_ = 0;  // the current record, for bookmarks: it may vanish
  bool positioned_ = false;
  bool afterDelete_ = false;
};

// A copy of a value, for comparing fields of packed layouts (a reference to
// one may be misaligned).
template <class T>
T Val(T value) { return value; }

// The code and context of the engine error a statement raised, compared whole
// so one expectation names both.
struct TEngineFailure {
  DBIResult Code = 0;
  std::string Context;
  bool operator==(const TEngineFailure&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const TEngineFailure& f) {
    return out << "code " << f.Code << ", context '" << f.Context << "'";
  }
};

// Runs the statement; {0, ""} when it raised nothing.
template <class F>
TEngineFailure EngineFailure(F&& f) {
  try {
    f();
  } catch (const EMorvaEngineError& e) {
    return {e.ErrorCode, e.ErrorContext};
  }
  return {};
}

// Runs the statement and returns the engine code it raised (0 when none).
template <class F>
DBIResult EngineCode(F&& f) {
  return EngineFailure(f).Code;
}

// Repeats `step` (a read of the next row) until the cursor reports its end.
template <class F>
void UntilTheEnd(F&& step) {
  try {
    for (;;) step();
  } catch (const EMorvaBoundryError&) {
  }
}

// Reads every record forwards from the start; the IDs in order.
inline std::vector<std::int32_t> ReadAll(TBaseTable& cursor) {
  std::vector<std::int32_t> ids;
  std::vector<std::uint8_t> buffer(std::max<std::size_t>(cursor.GetRecordBufferSize(), kRecordSize), 0);
  cursor.SetToStart();
  UntilTheEnd([&] {
    cursor.GetNextRecord(0, buffer.data(), nullptr);
    ids.push_back(TTestRecord::IdOf(buffer.data()));
  });
  return ids;
}

}  // namespace testing_engine
