#include "dbengine/listtables.h"

#include <cstring>

#include "dbengine/basesession.h"
#include "dbengine/enginetext.h"
#include "dbengine/rightsregistry.h"
#include "platform/classlib/core/strings.h"

using dbengine_detail::SlotText;
using dbengine_detail::StoreText;

IMPLEMENT_CLASS(TBaseDBListTable, TBaseTable)
IMPLEMENT_CLASS(TRegDBListTable, TBaseDBListTable)
IMPLEMENT_CLASS(TBaseListTable, TBaseTable)
IMPLEMENT_CLASS(TIndexListTable, TBaseListTable)

// ---- TBaseDBListTable

TBaseDBListTable::TBaseDBListTable(TBapiListItem* session, TMorvaCollection* ownerList,
                                   TMorvaCollection* configRecords, const char* driverTypeText,
                                   const TRegistryLocation* location)
    : TBaseTable(session, ownerList, nullptr, nullptr, 0, 0), configRecords_(configRecords),
      driverTypeText_(driverTypeText != nullptr ? driverTypeText : ""), location_(location) {}

TBaseDBListTable::~TBaseDBListTable() { TBaseDBListTable::FreeStorage(); }

void TBaseDBListTable::FreeStorage() { CloseCursor(); }

void TBaseDBListTable::GetNextRecord(int, std::uint8_t* buffer, TRecordProps*) {
  CheckParam(buffer);
  auto& row = *reinterpret_cast<TDatabaseDesc*>(buffer);
  std::memset(&row, 0, sizeof row);
  if (configRecords_ == nullptr) RaiseEofError();
  while (configPosition_ < configRecords_->Count()) {
    auto* record = static_cast<TBaseCfgrecord*>(configRecords_->At(configPosition_++));
    const std::string& name = record->Name();
    if (name.find("DB INFO") == std::string::npos) continue;
    std::string alias = name.size() > 11 ? name.substr(11) : std::string();
    CutAtChar(alias, '\\');
    StoreText(row.Name, alias);
    StoreText(row.PhysicalPath, dbengine_detail::CutChars(record->FieldText("PATH"), 255));
    StoreText(row.DriverType, driverTypeText_);
    CursorState = curstate::OnRecord;
    return;
  }
  RaiseEofError();
}

// ---- TRegDBListTable

TRegDBListTable::~TRegDBListTable() { TRegDBListTable::CloseCursor(); }

void TRegDBListTable::OpenCursor() {
  aliasPosition_ = 0;
  configPosition_ = 0;
  aliasNames_.clear();
  try {
    registry_ = std::make_unique<TRightsRegistry>();
  } catch (const std::exception&) {
    RaiseEngineError(dberr::NoSuchTable);
  }
  registry_->SetRootKey(location_ != nullptr ? location_->RootKey : HKEY_LOCAL_MACHINE);
  registry_->SetAccess(KEY_READ);
  std::string key = (location_ != nullptr ? location_->KeyPath : std::string()) + "\\Aliases";
  if (registry_->OpenKey(key, false)) {
    TStringList names;
    registry_->GetKeyNames(&names);
    for (int i = 0; i < names.Count(); ++i) aliasNames_.push_back(names[i]);
    registry_->CloseKey();
  }
  CursorState = curstate::JustOpened;
}

void TRegDBListTable::CloseCursor() {
  if (CursorState == curstate::Closed) return;
  CursorState = curstate::Closed;
  registry_.reset();
}

void TRegDBListTable::GetNextRecord(int lock, std::uint8_t* buffer, TRecordProps* props) {
  CheckParam(buffer);
  if (aliasPosition_ >= aliasNames_.size() || registry_ == nullptr) {
    TBaseDBListTable::GetNextRecord(lock, buffer, props);
    return;
  }
  auto& row = *reinterpret_cast<TDatabaseDesc*>(buffer);
  std::memset(&row, 0, sizeof row);
  const std::string& alias = aliasNames_[aliasPosition_];
  std::string key = (location_ != nullptr ? location_->KeyPath : std::string()) + "\\Aliases\\" + alias;
  if (!registry_->OpenKey(key, false)) RaiseEofError();
  StoreText(row.Name, alias);
  if (registry_->ValueExists("Description"))
    StoreText(row.Text, dbengine_detail::CutChars(registry_->ReadString("Description"), 31));
  std::string path;
  if (registry_->ValueExists("PhysicalName")) path = registry_->ReadString("PhysicalName");
  bool keepPath = location_ != nullptr && location_->KeepPath;
  if (!keepPath && !path.empty()) path = AddTrailingBackslash(path);
  StoreText(row.PhysicalPath, dbengine_detail::CutChars(path, 260));
  StoreText(row.DriverType, driverTypeText_);
  registry_->CloseKey();
  ++aliasPosition_;
  CursorState = curstate::OnRecord;
}

// ---- TBaseListTable

TBaseListTable::TBaseListTable(TBapiListItem* owner, TMorvaCollection* ownerList,
                               const void* records, std::uint16_t count, std::uint16_t rowSize)
    : TBaseTable(owner, ownerList, nullptr, nullptr, 0, 0), count_(count), rowSize_(rowSize) {
  if (count > 0) CheckParam(records);
  const auto* bytes = static_cast<const std::uint8_t*>(records);
  if (count > 0) rows_.assign(bytes, bytes + std::size_t{count} * rowSize);
  CursorState = curstate::JustOpened;
}

void TBaseListTable::GetNextRecord(int, std::uint8_t* buffer, TRecordProps*) {
  if (position_ >= count_) RaiseEofError();
  CheckParam(buffer);
  std::memcpy(buffer, rows_.data() + std::size_t{position_} * rowSize_, rowSize_);
  ++position_;
  CursorState = curstate::OnRecord;
}
