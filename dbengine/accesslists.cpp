#include "dbengine/accesslists.h"

#include <algorithm>
#include <cstring>

#include "dbengine/accesserrors.h"
#include "dbengine/daowrappers.h"
#include "dbengine/enginetext.h"
#include "platform/classlib/core/strutils.h"

using dbengine_detail::SlotText;
using dbengine_detail::StoreText;

IMPLEMENT_CLASS(TAccessBaseTable, TBaseTable)
IMPLEMENT_CLASS(TAccessListTable, TAccessBaseTable)
IMPLEMENT_CLASS(TAccessTblListTable, TAccessListTable)
IMPLEMENT_CLASS(TAccessFieldListTable, TAccessListTable)
IMPLEMENT_CLASS(TAccessIndexListTable, TAccessListTable)
IMPLEMENT_CLASS(TAccessStoredProcTable, TAccessListTable)
IMPLEMENT_CLASS(TAccessStoredParamsTable, TAccessListTable)

void AccessTypeOf(std::int16_t daoType, std::uint16_t& fieldType, std::uint16_t& subType) {
  subType = 0;
  switch (daoType) {
    case daotype::Boolean: fieldType = fldtype::Bool; break;
    case daotype::Byte:
    case daotype::Integer: fieldType = fldtype::Int16; break;
    case daotype::Long: fieldType = fldtype::Int32; break;
    case daotype::Currency:
    case daotype::Single:
    case daotype::Double: fieldType = fldtype::Float; break;
    case daotype::Date: fieldType = fldtype::TimeStamp; break;
    case daotype::Text: fieldType = fldtype::ZString; break;
    case daotype::LongBinary: fieldType = fldtype::Blob; subType = 23; break;
    case daotype::Memo: fieldType = fldtype::Blob; subType = 22; break;
    case daotype::GUID: fieldType = fldtype::Bytes; break;
    default: fieldType = fldtype::Unknown; break;
  }
}

TFieldDesc AccessFieldDesc(TDAOField* field, std::uint16_t position, std::uint16_t offset) {
  TFieldDesc d{};
  std::int16_t daoType = field->Type();
  std::int32_t size = field->Size();
  d.FieldNumber = static_cast<std::uint16_t>(position + 1);
  StoreText(d.Name, field->GetName());
  AccessTypeOf(daoType, d.FieldType, d.SubType);
  std::uint16_t length;
  if (daoType == daotype::Text) {
    // A text of Size characters fits whatever its characters are.
    length = static_cast<std::uint16_t>(TextSlotBytes(static_cast<std::size_t>(std::max(size, 0))));
    d.Units1 = static_cast<std::int16_t>(size);
  } else if (daoType == daotype::Memo || daoType == daotype::LongBinary) {
    length = sizeof(TAccessBlobSlot);
    d.Units1 = static_cast<std::int16_t>(length);
  } else {
    length = static_cast<std::uint16_t>(std::max(size, 0));
    d.Units1 = daoType == daotype::GUID ? 16 : static_cast<std::int16_t>(length);
  }
  d.Offset = offset;
  d.Length = length;
  d.Rights = field->IsUpdatable() ? 0 : 1;
  d.DriverType = static_cast<std::uint16_t>(daoType);
  d.KeyWidth = NativeValueWidth(d);  // keys hold native values
  return d;
}

// ---- Common reading

TAccessListTable::TAccessListTable(TBapiListItem* owner, TMorvaCollection* ownerList,
                                   std::uint16_t rowSize)
    : TAccessBaseTable(owner, ownerList, nullptr, nullptr, 1, 0), rowSize_(rowSize) {
  CursorState = curstate::JustOpened;
}

void TAccessListTable::GetNextRecord(int, std::uint8_t* buffer, TRecordProps*) {
  std::vector<std::uint8_t> row(rowSize_, 0);
  for (;;) {
    if (position_ >= ItemCount()) RaiseEofError();
    std::fill(row.begin(), row.end(), 0);
    bool filled = FillRow(position_, row.data());
    ++position_;
    if (filled) break;
  }
  if (buffer != nullptr) std::memcpy(buffer, row.data(), rowSize_);
  CursorState = curstate::OnRecord;
}

void TAccessListTable::GetRecordCount(std::uint32_t& count) {
  count = static_cast<std::uint32_t>(std::max<std::int16_t>(ItemCount(), 0));
}

// ---- Tables

TAccessTblListTable::TAccessTblListTable(TDAODatabase* database, bool extended, bool system,
                                         const char* pattern)
    : TAccessListTable(nullptr, nullptr, extended ? kTableListRowSizeExtended : kTableListRowSize),
      tableDefs_(database->TableDefs()),
      system_(system),
      pattern_(pattern != nullptr ? pattern : "") {
  DaoCheck(tableDefs_->Status);
}

TAccessTblListTable::~TAccessTblListTable() = default;

std::int16_t TAccessTblListTable::ItemCount() { return tableDefs_->Count(); }

bool TAccessTblListTable::FillRow(std::int16_t position, std::uint8_t* row) {
  std::unique_ptr<TDAOTabledef> def(tableDefs_->Item(position));
  if (def->Intf == nullptr) return false;
  std::string name = def->GetName();
  // Jet keeps its own tables under names holding "msys"; they stay hidden.
  if (!system_ && AnsiLowerCase(name).find("msys") != std::string::npos) return false;
  StoreText(reinterpret_cast<char*>(row), 261, name);
  return true;
}

// ---- Fields

namespace {
TDAORecordset* OpenOwnRecordset(TDAODatabase* database, const char* tableName) {
  std::unique_ptr<TDAORecordset> rs(database->OpenRecordset(tableName != nullptr ? tableName : "",
                                                            AccessRecordsetOptions(0, 0)));
  DaoCheck(rs->Status);
  if (rs->Intf == nullptr) RaiseEngineError(dberr::InvalidHndl);
  return rs.release();
}
}  // namespace

TAccessFieldListTable::TAccessFieldListTable(TDAODatabase* database, const char* tableName,
                                             TDAORecordset* recordset, TAccessTable* owner)
    : TAccessListTable(nullptr, nullptr, sizeof(TFieldDesc)) {
  if (recordset != nullptr) {
    recordset_ = recordset;
    if (owner != nullptr && owner->DAOFields != nullptr) {
      fields_ = owner->DAOFields;
      return;
    }
  } else {
    recordset_ = OpenOwnRecordset(database, tableName);
    ownsRecordset_ = true;
  }
  fields_ = recordset_->GetFields();
  ownsFields_ = true;
  HRESULT status = fields_->Status;
  if ((status & 0xFFFF) != 0) {
    delete fields_;
    fields_ = nullptr;
    if (ownsRecordset_) delete recordset_;
    DaoCheck(status);
  }
}

TAccessFieldListTable::~TAccessFieldListTable() {
  if (ownsFields_) delete fields_;
  if (ownsRecordset_) delete recordset_;  // released without a DAO Close
}

std::int16_t TAccessFieldListTable::ItemCount() { return fields_ != nullptr ? fields_->Count() : 0; }

bool TAccessFieldListTable::FillRow(std::int16_t position, std::uint8_t* row) {
  std::unique_ptr<TDAOField> field(fields_->Item(position));
  DaoCheck(field->Status);
  TFieldDesc d = AccessFieldDesc(field.get(), static_cast<std::uint16_t>(position), offset_);
  offset_ = static_cast<std::uint16_t>(offset_ + d.Length);
  std::memcpy(row, &d, sizeof d);
  return true;
}

// ---- Indexes

TAccessIndexListTable::TAccessIndexListTable(TDAODatabase* database, const char* tableName,
                                             TDAORecordset* recordset, TAccessTable* owner)
    : TAccessListTable(nullptr, nullptr, sizeof(TIndexDesc)), ownerCursor_(owner) {
  if (recordset != nullptr) {
    recordset_ = recordset;
  } else {
    recordset_ = OpenOwnRecordset(database, tableName);
    ownsRecordset_ = true;
  }
  indexes_ = recordset_->GetIndexes();
}

TAccessIndexListTable::~TAccessIndexListTable() {
  delete indexes_;
  if (ownsRecordset_) delete recordset_;
}

std::int16_t TAccessIndexListTable::ItemCount() {
  std::int16_t n = indexes_->Intf != nullptr ? indexes_->Count() : 0;
  return (indexes_->Status & 0xFFFF) != 0 ? 0 : n;
}

void TAccessIndexListTable::GetRecordCount(std::uint32_t& count) {
  try {
    count = static_cast<std::uint32_t>(std::max<std::int16_t>(ItemCount(), 0));
  } catch (const EMorvaEngineError&) {
    count = 0;
  }
}

bool TAccessIndexListTable::FillRow(std::int16_t position, std::uint8_t* row) {
  std::unique_ptr<TDAOIndex> index(indexes_->Item(position));
  DaoCheck(index->Status);
  TIndexDesc d{};
  StoreText(d.Name, index->GetName());
  d.IndexId = static_cast<std::uint16_t>(position);
  d.Primary = index->Primary() ? -1 : 0;
  d.Unique = index->Unique() ? -1 : 0;
  d.Maintained = -1;
  // The store keeps every text column in case-blind order, so every index
  // seeks and orders its texts ignoring case; saying otherwise sends callers
  // that want case-blind searches past the index.
  d.CaseInsensitive = -1;
  d.BlockSize = 2048;
  std::unique_ptr<TDAOIndexfields> fields(index->Fields());
  DaoCheck(fields->Status);
  std::int16_t count = std::min<std::int16_t>(fields->Count(), 16);
  d.KeyFieldCount = static_cast<std::uint16_t>(std::max<std::int16_t>(count, 0));
  for (std::int16_t i = 0; i < count; ++i) {
    std::unique_ptr<TDAOIndexField> field(fields->Item(i));
    DaoCheck(field->Status);
    bool descending = field->IsDescending();
    if (descending) d.DescendingFields[i] = -1;
    if (i == 0) d.Descending = descending ? -1 : 0;
    if (ownerCursor_ == nullptr) continue;
    int number = ownerCursor_->FieldCache()->NumberOfName(field->GetName());
    d.KeyFields[i] = static_cast<std::uint16_t>(number);
    if (number > 0) {
      // Keys hold each field's value in its native width.
      const TFieldDesc& fd = ownerCursor_->FieldCache()->FieldByNumber(number)->Desc;
      d.KeyLength = static_cast<std::uint16_t>(d.KeyLength + fd.KeyWidth);
    }
  }
  std::memcpy(row, &d, sizeof d);
  return true;
}

// ---- Stored queries and their parameters

TAccessStoredProcTable::TAccessStoredProcTable(TDAODatabase* database)
    : TAccessListTable(nullptr, nullptr, kStoredProcRowSize), queryDefs_(database->QueryDefs()) {
  DaoCheck(queryDefs_->Status);
}

TAccessStoredProcTable::~TAccessStoredProcTable() = default;

std::int16_t TAccessStoredProcTable::ItemCount() { return queryDefs_->Count(); }

bool TAccessStoredProcTable::FillRow(std::int16_t position, std::uint8_t* row) {
  std::unique_ptr<TDAOQuerydef> def(queryDefs_->Item(position));
  DaoCheck(def->Status);
  StoreText(reinterpret_cast<char*>(row), 65, def->GetName());  // 64 characters at most
  return true;
}

TAccessStoredParamsTable::TAccessStoredParamsTable(TDAOQuerydef* queryDef)
    : TAccessListTable(nullptr, nullptr, kStoredParamRowSize), parameters_(queryDef->Parameters()) {
  DaoCheck(parameters_->Status);
}

TAccessStoredParamsTable::~TAccessStoredParamsTable() = default;

std::int16_t TAccessStoredParamsTable::ItemCount() { return parameters_->Count(); }

bool TAccessStoredParamsTable::FillRow(std::int16_t position, std::uint8_t* row) {
  std::unique_ptr<TDAOParameter> param(parameters_->Item(position));
  DaoCheck(param->Status);
  std::int16_t daoType = param->Type();
  std::uint16_t number = static_cast<std::uint16_t>(position + 1);
  std::memcpy(row, &number, 2);
  StoreText(reinterpret_cast<char*>(row + 2), 32, param->GetName());
  std::uint32_t kind = 1;  // input
  std::memcpy(row + 34, &kind, 4);
  std::uint16_t fieldType = 0, subType = 0;
  AccessTypeOf(daoType, fieldType, subType);
  std::memcpy(row + 38, &fieldType, 2);
  std::memcpy(row + 40, &subType, 2);
  std::uint16_t length = 0;
  switch (daoType) {
    case daotype::Byte:
    case daotype::Integer: length = 1; break;
    case daotype::Single:
    case daotype::Double:
    case daotype::Date: length = 8; break;
    case daotype::LongBinary:
    case daotype::Memo: length = 12; break;
    case daotype::GUID: length = 16; break;
    default: break;
  }
  std::memcpy(row + 42, &length, 2);
  std::memcpy(row + 48, &length, 2);
  return true;
}
