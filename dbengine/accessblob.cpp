#include "dbengine/accessblob.h"

#include <algorithm>
#include <cstring>

#include "dbengine/accesserrors.h"
#include "dbengine/accesstable.h"
#include "dbengine/daowrappers.h"
#include "dbengine/fieldcache.h"

IMPLEMENT_CLASS(TAccessBaseBlob, TObject)
IMPLEMENT_CLASS(TAccessMemoBlob, TAccessBaseBlob)
IMPLEMENT_CLASS(TAccessLongBinaryBlob, TAccessBaseBlob)

namespace {
Variant BookmarkOfWord(std::int32_t word) { return VarByteArrayOf(&word, sizeof word); }
}  // namespace

TAccessBaseBlob::TAccessBaseBlob(TAccessTable* cursor, TFieldCacheItem* item,
                                 std::uint16_t fieldNumber, TDAOFields* fields, int mode,
                                 std::uint8_t* buffer)
    : Cursor(cursor), Item(item), FieldNumber(fieldNumber), Mode(mode), RecordBuffer(buffer) {
  Item->SetRecordBuffer(buffer);
  TDAORecordset* rs = cursor->Recordset;
  if (rs != nullptr) {
    std::int32_t word = 0;
    std::memcpy(&word, buffer + item->Desc.Offset + offsetof(TAccessBlobSlot, BookmarkWord), 4);
    // Reading ahead leaves the recordset past its end (or before its start)
    // while the buffer holds a record: that record is elsewhere too.
    const int end = rs->EOF_() ? 1 : rs->BOF() ? -1 : 0;
    const std::int32_t currentWord = end == 0 ? rs->BookmarkWord() : 0;
    // A record image that has not been stored yet carries no bookmark.
    const bool elsewhere = word != 0 && (end != 0 || word != currentWord);
    if (elsewhere && cursor->EditPending) {
      // Moving would drop the edit under way: the other record is read
      // through a recordset of its own, where a table's bookmarks hold too.
      if (cursor->IsQueryCursor) RaiseEngineError(dberr::NotSupported);
      OwnRecordset.reset(CheckHandle(cursor->DAODatabase)->OpenRecordset(cursor->DAOTableName,
                                                                          AccessRecordsetOptions(1, 0)));
      if (OwnRecordset == nullptr) RaiseEngineError(dberr::InvalidHndl);
      DaoCheck(OwnRecordset->Status);
      OwnRecordset->SetBookmark(BookmarkOfWord(word));
      DaoCheck(OwnRecordset->Status);
      OwnFields.reset(OwnRecordset->GetFields());
      DaoCheck(OwnFields->Status);
      fields = OwnFields.get();
    } else if (elsewhere) {
      SavedBookmark = BookmarkOfWord(currentWord);
      SavedEnd = end;
      rs->SetBookmark(BookmarkOfWord(word));
      DaoCheck(rs->Status);
    }
  }
  // The cursor keeps a field object for every field: a blob of its own
  // record takes that one rather than making another for each opening.
  const auto index = static_cast<std::int16_t>(fieldNumber - 1);
  if (fields != nullptr && fields == cursor->DAOFields) {
    Field = cursor->DAOField(index);
  } else if (fields != nullptr) {
    OwnField.reset(fields->Item(index));
    DaoCheck(OwnField->Status);
    Field = OwnField.get();
  }
}

TAccessBaseBlob::~TAccessBaseBlob() {
  TDAORecordset* rs = Cursor->Recordset;
  if (rs == nullptr) return;
  if (!SavedBookmark.IsEmpty()) rs->SetBookmark(SavedBookmark);
  // Back past the end (or before the start), where the cursor's moves expect it.
  if (SavedEnd > 0) {
    rs->MoveLast();
    rs->MoveNext();
  } else if (SavedEnd < 0) {
    rs->MoveFirst();
    rs->MovePrevious();
  }
}

bool TAccessBaseBlob::IsBlank() {
  Item->SetRecordBuffer(RecordBuffer);
  return Item->IsBlank();
}

bool TAccessBaseBlob::IsChanged() {
  Item->SetRecordBuffer(RecordBuffer);
  return Item->IsChanged();
}

void TAccessBaseBlob::CheckWritable() {
  if (Mode != kBlobReadWrite) RaiseEngineError(dberr::ReadOnlyFld);
}

void TAccessBaseBlob::MarkWritten(bool empty) {
  Item->SetRecordBuffer(RecordBuffer);
  Item->SetBlank(empty);
  // The store step writes only changed fields: a written blob must be one.
  Item->SetChanged(true);
}

void TAccessBaseBlob::KeepOneVersion() {
  // The other record's own recordset is not the cursor's: its buffer stays.
  if (OwnRecordset == nullptr) Cursor->KeepOneVersion(RecordBuffer);
}

std::uint32_t TAccessBaseBlob::GetBlobSize() {
  if (IsBlank() || Field == nullptr) return 0;
  return static_cast<std::uint32_t>(std::max(Field->DataSize(), 0));
}

void TAccessBaseBlob::SetBlank() {
  Item->SetRecordBuffer(RecordBuffer);
  Item->SetBlank(true);
}

// ---- Memo

// The size of the text as read: one the record buffer gave before may be
// another version's.
std::uint32_t TAccessMemoBlob::GetBlobSize() {
  if (IsBlank()) return 0;
  LoadStoredText();
  return IsBlank() ? 0 : static_cast<std::uint32_t>(Text.size());
}

void TAccessMemoBlob::SetBlank() {
  TAccessBaseBlob::SetBlank();
  Text.clear();
}

void TAccessMemoBlob::LoadStoredText() {
  if (IsChanged() || storedLoaded_) return;
  std::string text;
  if (!IsBlank() && Field != nullptr) {
    text = Field->MemoText();
    // Unreadable (the record deleted meanwhile) is no empty text to build on.
    DaoCheck(Field->Status);
    KeepOneVersion();
  }
  Text = std::move(text);
  storedLoaded_ = true;
}

bool TAccessMemoBlob::ReadBytes(std::uint32_t offset, std::uint32_t length, void* buffer,
                                std::uint32_t& count) {
  count = 0;
  LoadStoredText();
  std::uint32_t size = static_cast<std::uint32_t>(Text.size());
  if (offset > size) RaiseEngineError(dberr::InvalidBlobOffset);
  count = std::min(length, size - offset);
  if (buffer != nullptr && count > 0) std::memcpy(buffer, Text.data() + offset, count);
  return offset + count == size;
}

void TAccessMemoBlob::WriteBytes(std::uint32_t offset, std::uint32_t length, const void* buffer) {
  CheckWritable();
  // The first write keeps what the record held before, so that a write at an
  // offset continues it rather than replacing it.
  LoadStoredText();
  if (length == 0) {
    if (offset < Text.size()) Text.resize(offset);
  } else {
    if (Text.size() < std::size_t{offset} + length) Text.resize(std::size_t{offset} + length, '\0');
    if (buffer != nullptr) std::memcpy(Text.data() + offset, buffer, length);
  }
  MarkWritten(Text.empty());
}

// ---- Long binary

TAccessLongBinaryBlob::TAccessLongBinaryBlob(TAccessTable* cursor, TFieldCacheItem* item,
                                             std::uint16_t fieldNumber, TDAOFields* fields,
                                             int mode, std::uint8_t* buffer)
    : TAccessBaseBlob(cursor, item, fieldNumber, fields, mode, buffer), Pending(new TMemoryStream()) {}

TAccessLongBinaryBlob::~TAccessLongBinaryBlob() { delete Pending; }

std::uint32_t TAccessLongBinaryBlob::GetBlobSize() {
  if (IsBlank()) return 0;
  if (IsChanged()) return static_cast<std::uint32_t>(Pending->Size());
  Settle();
  return TAccessBaseBlob::GetBlobSize();
}

void TAccessLongBinaryBlob::Settle() {
  if (settled_ || Field == nullptr) return;
  // A piece of nothing reads the value, and with it the row it belongs to.
  Field->GetChunk(0, 0, nullptr);
  DaoCheck(Field->Status);
  settled_ = true;
  KeepOneVersion();
}

void TAccessLongBinaryBlob::SetBlank() {
  TAccessBaseBlob::SetBlank();
  Pending->Clear();
}

bool TAccessLongBinaryBlob::ReadBytes(std::uint32_t offset, std::uint32_t length, void* buffer,
                                      std::uint32_t& count) {
  count = 0;
  std::uint32_t size = GetBlobSize();
  if (offset > size) RaiseEngineError(dberr::InvalidBlobOffset);
  count = std::min(length, size - offset);
  if (count > 0) {
    if (IsChanged()) {
      if (buffer != nullptr)
        std::memcpy(buffer, static_cast<const std::uint8_t*>(Pending->Memory()) + offset, count);
    } else if (Field != nullptr) {
      std::vector<std::uint8_t> chunk(count);
      count = static_cast<std::uint32_t>(Field->GetChunk(static_cast<std::int32_t>(offset),
                                                         static_cast<std::int32_t>(count), chunk.data()));
      DaoCheck(Field->Status);
      if (buffer != nullptr) std::memcpy(buffer, chunk.data(), count);
    }
  }
  return size <= offset + count;
}

void TAccessLongBinaryBlob::WriteBytes(std::uint32_t offset, std::uint32_t length, const void* buffer) {
  CheckWritable();
  if (!IsChanged() && !IsBlank() && Field != nullptr) Settle();
  if (!IsChanged() && !IsBlank() && Field != nullptr) {
    // Start from the stored bytes, so that writes at an offset continue them.
    std::int32_t size = Field->DataSize();
    std::vector<std::uint8_t> old(static_cast<std::size_t>(std::max(size, 0)));
    if (!old.empty()) {
      std::int32_t got = Field->GetChunk(0, size, old.data());
      DaoCheck(Field->Status);
      old.resize(static_cast<std::size_t>(got));
    }
    Pending->Clear();
    Pending->Write(old.data(), static_cast<std::int64_t>(old.size()));
  } else if (!IsChanged()) {
    Pending->Clear();
  }
  if (length == 0) {
    if (offset < Pending->Size()) Pending->SetSize(offset);
  } else if (buffer != nullptr) {
    if (Pending->Size() < offset) Pending->SetSize(offset);
    Pending->SetPosition(offset);
    Pending->Write(buffer, length);
  }
  MarkWritten(Pending->Size() == 0);
}
