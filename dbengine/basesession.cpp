#include "dbengine/basesession.h"

#include <cstring>
#include <memory>

#include "dbengine/enginetext.h"
#include "dbengine/memtable.h"
#include "dbengine/rightsregistry.h"
#include "platform/classlib/core/fileutils.h"

using dbengine_detail::CutBytes;
using dbengine_detail::CutChars;
using dbengine_detail::SameName;
using dbengine_detail::SlotText;
using dbengine_detail::StoreText;

IMPLEMENT_CLASS(TBaseCfgrecord, TBapiListItem)
IMPLEMENT_CLASS(TBaseSession, TBapiListItem)

// ---- TBaseCfgrecord

TBaseCfgrecord::TBaseCfgrecord(TBapiListItem* session, TMorvaCollection* records, std::string name,
                               std::uint16_t fieldCount, const TFieldDesc* descs,
                               const void* values)
    : TBapiListItem(session, records), name_(std::move(name)) {
  SetFields(fieldCount, descs, values);
}

void TBaseCfgrecord::SetFields(std::uint16_t fieldCount, const TFieldDesc* descs,
                               const void* values) {
  descs_.clear();
  values_.clear();
  if (fieldCount == 0 || descs == nullptr) return;
  descs_.assign(descs, descs + fieldCount);
  std::size_t size = 0;
  for (const TFieldDesc& d : descs_) size = std::max<std::size_t>(size, std::size_t{d.Offset} + d.Length);
  values_.assign(size, 0);
  if (values != nullptr && size > 0) std::memcpy(values_.data(), values, size);
}

std::string TBaseCfgrecord::FieldText(std::string_view fieldName) const {
  for (const TFieldDesc& d : descs_)
    if (SlotText(d.Name) == fieldName)
      return SlotText(reinterpret_cast<const char*>(values_.data()) + d.Offset, d.Length);
  return {};
}

// ---- Parameter texts

void ParseParamText(std::string_view text,
                    const std::function<void(const std::string&, const std::string&)>& sink) {
  std::string name, value;
  bool inValue = false, quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
      if (!quoted) {  // a quoted part closed: one pair complete
        sink(name, value);
        name.clear();
        value.clear();
        inValue = false;
      }
    } else if (c == ':' && !quoted) {
      inValue = true;
    } else if (c == ';' && !quoted) {
      name.clear();
      value.clear();
      inValue = false;
    } else {
      (inValue ? value : name).push_back(c);
    }
  }
}

// ---- TBaseSession

TBaseSession::TBaseSession(TBapiListItem* engine, TMorvaCollection* engineSessions,
                           const char* name, const char* networkDirectory)
    : TBapiListItem(engine, engineSessions) {
  if (name != nullptr) sessionName_ = CutChars(name, 31);
  if (networkDirectory != nullptr) {
    networkDirectory_ = std::string(CutBytes(networkDirectory, 260));
    privateDirectory_ = networkDirectory_;
  }
}

TBaseSession::~TBaseSession() = default;

void TBaseSession::GetProperty(TPropertyId id, void* buffer, std::uint16_t size,
                               std::uint16_t& length) {
  length = 0;
  if (id == 0x20002) {
    std::string dir = GetCurrentDir();
    CheckParam(buffer);
    if (size > 0) StoreText(static_cast<char*>(buffer), size, dir);
    length = static_cast<std::uint16_t>(std::strlen(static_cast<char*>(buffer)) + 1);
  } else if (id == 0x20003 || id == 0x2000C) {
    PutPropertyBytes(&propertyValue_, sizeof propertyValue_, buffer, size, length);
  } else {
    TBapiListItem::GetProperty(id, buffer, size, length);
  }
}

void TBaseSession::SetProperty(TPropertyId id, TPropertyValue value) {
  if (id == 0x20003 || id == 0x2000C)
    propertyValue_ = static_cast<std::int32_t>(value);
  else
    TBapiListItem::SetProperty(id, value);
}

void TBaseSession::SetSessionNumber(std::uint16_t number) { sessionNumber_ = number; }
void TBaseSession::InitRegistryKey() { RaiseNotSupported(); }
std::int32_t TBaseSession::Op6() { return 0; }

void TBaseSession::FillSessionInfo(TSessionInfo& info) {
  std::memset(&info, 0, sizeof info);
  info.Position = static_cast<std::uint16_t>(IndexInOwner());
  StoreText(info.Name, sessionName_);
  info.DatabaseCount = static_cast<std::uint16_t>(databases_->Count());
  int cursors = 0;
  for (int i = 0; i < databases_->Count(); ++i)
    if (auto* db = dynamic_cast<TBaseDatabase*>(databases_->At(i)); db != nullptr)
      cursors += db->OpenCursors()->Count();
  info.CursorCount = static_cast<std::uint16_t>(cursors);
  StoreText(info.NetworkDirectory, networkDirectory_);
  StoreText(info.PrivateDirectory, privateDirectory_);
}

std::string TBaseSession::GetDriverName() { return "MORVA"; }

void TBaseSession::GetDriverDescription(std::uint16_t flag, TDatabaseDesc& desc) {
  if (flag == 0) StoreText(desc.DriverType, "STANDARD");
}

void TBaseSession::ResolveAlias(const char* name, TDatabaseDesc& desc, std::uint16_t flag) {
  CheckParam(name);
  if (HasPathPart(name, 1)) {
    std::string path = CutChars(name, 255);
    if (!registry_.KeepPath) path = AddTrailingBackslash(path);
    std::memset(&desc, 0, sizeof desc);
    StoreText(desc.Name, "PATH");
    StoreText(desc.Text, "PATH");
    StoreText(desc.PhysicalPath, path);
    GetDriverDescription(0, desc);
    return;
  }
  TBaseTable* list = nullptr;
  OpenAliasList(list);
  try {
    TDatabaseDesc row{};
    for (;;) {
      list->GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&row), nullptr);
      if (SameName(SlotText(row.Name), name)) break;
    }
    desc = row;
    GetDriverDescription(flag, desc);
  } catch (const EMorvaBoundryError&) {
    FreeListCursor(list);
    RaiseEngineErrorText(dberr::UnknownDb, CutChars(name, 255));
  } catch (...) {
    FreeListCursor(list);
    throw;
  }
  FreeListCursor(list);
}

void TBaseSession::ResolveAliasDefault(const char* name, TDatabaseDesc& desc) {
  ResolveAlias(name, desc, 0);
}

void TBaseSession::Op12() { RaiseNotSupported(); }
void TBaseSession::Op13() { RaiseNotSupported(); }
void TBaseSession::Op14() { RaiseNotSupported(); }
void TBaseSession::Op15() { RaiseNotSupported(); }
void TBaseSession::Op16() { RaiseNotSupported(); }
void TBaseSession::Op17() { RaiseNotSupported(); }

void TBaseSession::CreateDatabase(const TDatabaseDesc&, const char*, std::int32_t, std::int32_t,
                                  const char*, std::uint16_t, const TFieldDesc*, const void*,
                                  TBaseDatabase*& database) {
  database = nullptr;
  RaiseNotSupported();
}

void TBaseSession::OpenDatabase(const char* name, const char* driverType, std::int32_t openMode,
                                std::int32_t shareMode, const char* password,
                                std::uint16_t paramCount, const TFieldDesc* paramDescs,
                                const void* paramValues, TBaseDatabase*& database) {
  database = nullptr;
  CheckParam(name);
  TDatabaseDesc desc{};
  ResolveAlias(name, desc, 1);
  CreateDatabase(desc, driverType, openMode, shareMode, password, paramCount, paramDescs,
                 paramValues, database);
}

void TBaseSession::Op20(std::int32_t& value) { value = 0; }
void TBaseSession::Op21(std::uint8_t (&record)[156]) { std::memset(record, 0, sizeof record); }

void TBaseSession::OpenAliasList(TBaseTable*& cursor) {
  cursor = nullptr;
  std::string driver = GetDriverName();
  auto list = std::make_unique<TRegDBListTable>(this, lists_.get(), configRecords_.get(), driver.c_str(),
                                                &registry_);
  list->OpenCursor();
  cursor = list.release();
}

void TBaseSession::FreeListCursor(TBaseTable*& cursor) { FreeAndNil(cursor); }
void TBaseSession::IdleEngine() {}  // the base has no background work
void TBaseSession::GetSessionDataPtr(void*& data) { data = sessionData_.data(); }
void TBaseSession::Op26() { RaiseNotSupported(); }

void TBaseSession::CountOpenCursors(const char* tableName, std::uint16_t& count) {
  count = 0;
  for (int i = 0; i < databases_->Count(); ++i) {
    auto* db = dynamic_cast<TBaseDatabase*>(databases_->At(i));
    if (db == nullptr) continue;
    std::uint16_t n = 0;
    try {
      db->CountOpenCursors(tableName, n);
    } catch (const EMorvaEngineError& e) {
      if (e.ErrorCode != dberr::NoSuchTable) throw;  // none open there
    }
    count = static_cast<std::uint16_t>(count + n);
  }
}

void TBaseSession::Op28() { RaiseNotSupported(); }
void TBaseSession::Op29() { RaiseNotSupported(); }
void TBaseSession::Op30() { RaiseNotSupported(); }
void TBaseSession::Op31() { RaiseNotSupported(); }
void TBaseSession::Op32() { RaiseNotSupported(); }
void TBaseSession::Op33() { RaiseNotSupported(); }

// Texts are UTF-8 on both sides: the conversion is a copy either way.
void TBaseSession::ConvertOemToAnsi(void*, const char* source, char* dest, std::uint32_t length,
                                    bool& dataLoss) {
  dataLoss = false;
  if (source != nullptr && dest != nullptr && length > 0) std::memmove(dest, source, length);
}

void TBaseSession::ConvertAnsiToOem(void*, const char* source, char* dest, std::uint32_t length,
                                    bool& dataLoss) {
  dataLoss = false;
  if (source != nullptr && dest != nullptr && length > 0) std::memmove(dest, source, length);
}

void TBaseSession::RegisterCallback(TBaseTable*, std::int32_t, std::intptr_t, std::uint16_t, void*,
                                    void*) {
  RaiseNotSupported();
}

void TBaseSession::Op37() { RaiseNotSupported(); }
void TBaseSession::Op38() { RaiseNotSupported(); }
void TBaseSession::Op39() { RaiseNotSupported(); }
void TBaseSession::Op40() { RaiseNotSupported(); }
void TBaseSession::Op41() {}  // reserved; nothing to do in the base
void TBaseSession::Op42(std::uint8_t (&record)[32]) { std::memset(record, 0, sizeof record); }

void TBaseSession::Op43(std::uint8_t (&record)[346]) {
  std::memset(record, 0, sizeof record);
  std::int32_t minusOne = -1;
  std::memcpy(record, &minusOne, 4);
  std::memcpy(record + 4, &minusOne, 4);
}

void TBaseSession::Op44(std::uint8_t (&record)[327]) { std::memset(record, 0, sizeof record); }
void TBaseSession::Op45() { RaiseEngineError(dberr::DriverLimit); }
void TBaseSession::Op46(std::uint8_t (&record)[14]) { std::memset(record, 0, sizeof record); }

void TBaseSession::GetSessionInfo(TSessionInfo& info) {
  FillSessionInfo(info);
  info.LockWait = static_cast<std::uint16_t>(propertyValue_);
}

std::string TBaseSession::GetNetUserName() { return GetNetworkUserName(); }

void TBaseSession::AddAlias(void*, const char* aliasName, const char*, const char* paramText,
                            bool) {
  CheckParam(aliasName);
  CheckParam(paramText);
  // The path parameter is found by name, wherever it stands in the text.
  std::string path;
  bool found = false;
  ParseParamText(paramText, [&](const std::string& name, const std::string& value) {
    if (!found && SameName(name, "PATH")) {
      path = CutChars(value, 255);
      found = true;
    }
  });
  if (!found) RaiseEngineErrorText(dberr::InvalidParam, aliasName);
  TFieldDesc desc{};
  desc.FieldNumber = 1;
  StoreText(desc.Name, "PATH");
  desc.FieldType = fldtype::ZString;
  desc.Length = static_cast<std::uint16_t>(path.size() + 1);
  // Adding an alias again replaces it: a database reopened under the same
  // name with another path must not find the first one.
  std::string name = AliasRecordName(aliasName);
  if (TBaseCfgrecord* record = FindConfigRecord(name))
    record->SetFields(1, &desc, path.c_str());
  else
    ConfigRecordExists(name.c_str(), 1, &desc, path.c_str());
}

// Removes an alias this session added; the registry's aliases are not the session's to drop.
void TBaseSession::DeleteAlias(void*, const char* aliasName) {
  CheckParam(aliasName);
  TBaseCfgrecord* record = FindConfigRecord(AliasRecordName(aliasName));
  if (record == nullptr) RaiseEngineErrorText(dberr::UnknownDb, CutChars(aliasName, 255));
  delete record;  // leaves the list
}

std::string TBaseSession::AliasRecordName(const char* aliasName) {
  return std::string("\\DATABASES\\") + aliasName + "\\DB INFO";
}

void TBaseSession::WriteParamsToRegistry(TRightsRegistry& registry, const char* paramText) {
  if (paramText == nullptr) return;
  ParseParamText(paramText, [&](const std::string& name, const std::string& value) {
    registry.WriteString(name, value);
  });
}

void TBaseSession::WriteConfigKey(const char* name, const char* paramText) {
  CheckParam(name);
  TRightsRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  std::string key = registry_.KeyPath + "\\Aliases\\" + name;
  if (!registry.OpenKey(key, true)) RaiseEngineErrorText(dberr::UnknownDb, name);
  WriteParamsToRegistry(registry, paramText);
}

void TBaseSession::ReadConfigKey(const char* name) {
  CheckParam(name);
  TRightsRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  std::string key = registry_.KeyPath + "\\Aliases\\" + name;
  if (registry.KeyExists(key)) registry.DeleteKey(key);
}

void TBaseSession::ListAliasNodes(TMemTable* list) {
  CheckHandle(list);
  std::string path = list->GetTableName();
  std::string alias = path.size() > 11 ? CutChars(path.substr(11), 255) : std::string();
  if (std::size_t at = alias.find("\\DB OPEN"); at != std::string::npos)
    alias.erase(at);
  else if (std::size_t info = alias.find("\\DB INFO"); info != std::string::npos)
    alias.erase(info);
  TDatabaseDesc desc{};
  ResolveAlias(alias.c_str(), desc, 0);
  std::vector<std::uint8_t> row(list->GetRecordBufferSize(), 0);
  // Field values are copied at their full length, so each text goes through a
  // buffer of that length.
  auto putText = [&](std::uint16_t field, const std::string& text) {
    std::vector<char> value(list->FieldCache()->FieldByNumber(field)->Desc.Length, 0);
    StoreText(value.data(), value.size(), text);
    list->PutField(field, row.data(), value.data());
  };
  putText(1, "PATH");
  putText(4, SlotText(desc.PhysicalPath));
  list->InsertRecord(0, row.data());
}

void TBaseSession::Op55() { RaiseNotSupported(); }
void TBaseSession::Op56() { RaiseNotSupported(); }
void TBaseSession::Op57() { RaiseNotSupported(); }
void TBaseSession::Op58() { RaiseNotSupported(); }

TBaseCfgrecord* TBaseSession::FindConfigRecord(std::string_view name) const {
  for (int i = 0; i < configRecords_->Count(); ++i) {
    auto* record = static_cast<TBaseCfgrecord*>(configRecords_->At(i));
    if (SameName(record->Name(), name)) return record;
  }
  return nullptr;
}

void TBaseSession::CheckConfigRecord(const char* name) {
  CheckParam(name);
  for (int i = 0; i < configRecords_->Count(); ++i)
    if (static_cast<TBaseCfgrecord*>(configRecords_->At(i))->Name().find(name) != std::string::npos)
      return;
  RaiseEofError();
}

void TBaseSession::Op60() { RaiseNotSupported(); }

void TBaseSession::GetConfigRecord(const char* name, std::uint16_t& fieldCount,
                                   const TFieldDesc*& descs, const std::uint8_t*& values) {
  CheckParam(name);
  TBaseCfgrecord* record = FindConfigRecord(name);
  if (record == nullptr) RaiseEofError();
  fieldCount = record->FieldCount();
  descs = record->Descs();
  values = record->Values();
}

void TBaseSession::ConfigRecordExists(const char* name, std::uint16_t fieldCount,
                                      const TFieldDesc* descs, const void* values) {
  std::uint16_t count = 0;
  const TFieldDesc* d = nullptr;
  const std::uint8_t* v = nullptr;
  try {
    GetConfigRecord(name, count, d, v);
  } catch (const EMorvaBoundryError&) {
    new TBaseCfgrecord(this, configRecords_.get(), name, fieldCount, descs, values);
  }
}

void TBaseSession::UpdateConfigRecord(const char* name, std::uint16_t fieldCount,
                                      const TFieldDesc* descs, const void* values) {
  CheckParam(name);
  TBaseCfgrecord* record = FindConfigRecord(name);
  if (record == nullptr) RaiseEngineErrorText(dberr::RecNotFound, name);
  record->SetFields(fieldCount, descs, values);
}

void TBaseSession::DeleteConfigRecord(const char* name) {
  CheckParam(name);
  TBaseCfgrecord* record = FindConfigRecord(name);
  if (record == nullptr) RaiseEngineErrorText(dberr::RecNotFound, name);
  delete record;  // leaves the list
}

void TBaseSession::Op65() { RaiseNotSupported(); }
void TBaseSession::Op66() { RaiseNotSupported(); }
void TBaseSession::Op67() { RaiseNotSupported(); }
void TBaseSession::Op68() { RaiseNotSupported(); }
void TBaseSession::Op69() { RaiseNotSupported(); }
void TBaseSession::Op70() { RaiseNotSupported(); }

void TBaseSession::SetPrivateDirectory(const char* directory) {
  privateDirectory_ = directory != nullptr ? std::string(CutBytes(directory, 260)) : std::string();
}

void TBaseSession::SetCopyFlags(bool oemToAnsi, bool ansiToOem) {
  oemToAnsiCopy_ = oemToAnsi;
  ansiToOemCopy_ = ansiToOem;
}

void TBaseSession::OpenConfigNodeList(void*, std::int32_t, std::int32_t, const char* path,
                                      TBaseTable*& cursor) {
  cursor = nullptr;
  CheckParam(path);
  struct TNodeField {
    const char* Name;
    std::uint16_t Type;
    std::int16_t Units;
  };
  static const TNodeField kFields[] = {{"szNodeName", fldtype::ZString, 31},
                                       {"szDescription", fldtype::ZString, 127},
                                       {"iDataType", fldtype::UInt16, 0},
                                       {"szValue", fldtype::ZString, 127},
                                       {"bHasSubNodes", fldtype::Bool, 0}};
  TFieldDesc descs[5] = {};
  for (int i = 0; i < 5; ++i) {
    descs[i].FieldNumber = static_cast<std::uint16_t>(i + 1);
    StoreText(descs[i].Name, kFields[i].Name);
    descs[i].FieldType = kFields[i].Type;
    descs[i].Units1 = kFields[i].Units;
  }
  auto list = std::make_unique<TMemTable>(this, lists_.get(), path, 5, descs, 0, nullptr);
  ListAliasNodes(list.get());
  cursor = list.release();
}
