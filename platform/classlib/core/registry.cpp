#include "platform/classlib/core/registry.h"

#include <cstring>

#include "platform/classlib/core/format.h"
#include "platform/classlib/core/inifiles.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/core/strutils.h"

IMPLEMENT_CLASS(TRegistry, TObject)
IMPLEMENT_CLASS(TRegIniFile, TRegistry)

namespace {

TRegDataType RegDataOf(DWORD type) {
  switch (type) {
    case REG_SZ: return rdString;
    case REG_EXPAND_SZ: return rdExpandString;
    case REG_DWORD: return rdInteger;
    case REG_BINARY: return rdBinary;
    default: return rdUnknown;
  }
}

DWORD TypeOf(TRegDataType regData) {
  switch (regData) {
    case rdString: return REG_SZ;
    case rdExpandString: return REG_EXPAND_SZ;
    case rdInteger: return REG_DWORD;
    case rdBinary: return REG_BINARY;
    default: return REG_NONE;
  }
}

std::string WithoutLeadingBackslash(const std::string& key) {
  return !key.empty() && key[0] == '\\' ? key.substr(1) : key;
}

}  // namespace

// --- TRegistry --------------------------------------------------------------------------

TRegistry::TRegistry() = default;

TRegistry::TRegistry(REGSAM access) : access_(access) {}

// The batch saves the held changes as it ends; nothing may be raised from here.
TRegistry::~TRegistry() {
  lazyWrite_ = true;
  CloseKey();
}

void TRegistry::SetRootKey(HKEY value) {
  if (rootKey_ == value) return;
  rootKey_ = value;
  CloseKey();
}

void TRegistry::CloseKey() {
  if (currentKey_ == nullptr) return;
  if (!lazyWrite_) batch_.Flush();
  RegCloseKey(currentKey_);
  currentKey_ = nullptr;
  currentPath_.clear();
}

void TRegistry::ChangeKey(HKEY value, const std::string& path) {
  CloseKey();
  currentKey_ = value;
  currentPath_ = path;
}

HKEY TRegistry::GetBaseKey(bool relative) const {
  return currentKey_ == nullptr || !relative ? rootKey_ : currentKey_;
}

HKEY TRegistry::GetKey(const std::string& key) {
  bool relative = IsRelative(key);
  HKEY result = nullptr;
  RegOpenKeyExA(GetBaseKey(relative), WithoutLeadingBackslash(key).c_str(), 0, access_, &result);
  return result;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  regstore::WriteBatch::Scope held(batch_);
  bool relative = IsRelative(key);
  std::string path = WithoutLeadingBackslash(key);
  HKEY opened = nullptr;
  LONG rc = !canCreate || path.empty()
                ? RegOpenKeyExA(GetBaseKey(relative), path.c_str(), 0, access_, &opened)
                : RegCreateKeyExA(GetBaseKey(relative), path.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, access_, nullptr, &opened, nullptr);
  if (rc != ERROR_SUCCESS) return false;
  if (currentKey_ != nullptr && relative) path = currentPath_ + "\\" + path;
  ChangeKey(opened, path);
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
  REGSAM old = access_;
  access_ = KEY_READ;
  bool result = OpenKey(key, false);
  access_ = old;
  return result;
}

bool TRegistry::CreateKey(const std::string& key) {
  regstore::WriteBatch::Scope held(batch_);
  bool relative = IsRelative(key);
  HKEY created = nullptr;
  LONG rc = RegCreateKeyExA(GetBaseKey(relative), WithoutLeadingBackslash(key).c_str(), 0,
                            nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &created,
                            nullptr);
  if (rc != ERROR_SUCCESS) throw ERegistryException("Failed to create key " + key);
  RegCloseKey(created);
  return true;
}

bool TRegistry::DeleteKey(const std::string& key) {
  regstore::WriteBatch::Scope held(batch_);
  bool relative = IsRelative(key);
  std::string path = WithoutLeadingBackslash(key);
  if (path.empty()) return false;
  return RegDeleteTreeA(GetBaseKey(relative), path.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::KeyExists(const std::string& key) {
  REGSAM old = access_;
  access_ = STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
  HKEY probe = GetKey(key);
  access_ = old;
  if (probe == nullptr) return false;
  RegCloseKey(probe);
  return true;
}

bool TRegistry::GetKeyInfo(TRegKeyInfo& info) {
  return regstore::QueryInfo(currentKey_, info) == ERROR_SUCCESS;
}

bool TRegistry::HasSubKeys() {
  TRegKeyInfo info;
  return GetKeyInfo(info) && info.NumSubKeys > 0;
}

void TRegistry::GetKeyNames(TStrings* strings) {
  std::vector<std::string> names;
  regstore::SubKeyNames(currentKey_, names);
  classlib_detail::FillStrings(strings, names);
}

void TRegistry::GetValueNames(TStrings* strings) {
  std::vector<std::string> names;
  regstore::ValueNames(currentKey_, names);
  classlib_detail::FillStrings(strings, names);
}

bool TRegistry::GetDataInfo(const std::string& valueName, TRegDataInfo& value) {
  value = TRegDataInfo{};
  DWORD type = REG_NONE, size = 0;
  if (RegQueryValueExA(currentKey_, valueName.c_str(), nullptr, &type, nullptr, &size) !=
      ERROR_SUCCESS)
    return false;
  value.RegData = RegDataOf(type);
  value.DataSize = static_cast<int>(size);
  return true;
}

int TRegistry::GetDataSize(const std::string& valueName) {
  TRegDataInfo info;
  return GetDataInfo(valueName, info) ? info.DataSize : -1;
}

TRegDataType TRegistry::GetDataType(const std::string& valueName) {
  TRegDataInfo info;
  return GetDataInfo(valueName, info) ? info.RegData : rdUnknown;
}

bool TRegistry::ValueExists(const std::string& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info);
}

bool TRegistry::DeleteValue(const std::string& name) {
  regstore::WriteBatch::Scope held(batch_);
  return RegDeleteValueA(currentKey_, name.c_str()) == ERROR_SUCCESS;
}

void TRegistry::RenameValue(const std::string& oldName, const std::string& newName) {
  if (AnsiSameText(oldName, newName) || ValueExists(newName)) return;
  regstore::Value value;
  if (regstore::QueryValue(currentKey_, oldName, value) != ERROR_SUCCESS) return;
  // Written first, so that a failure leaves the old value in place.
  regstore::WriteBatch::Scope held(batch_);
  if (regstore::SetValue(currentKey_, newName, value.Type, value.Data) == ERROR_SUCCESS)
    DeleteValue(oldName);
}

void TRegistry::ReadError(const std::string& name) {
  throw ERegistryException("Invalid data type for '" + name + "'");
}

int TRegistry::GetData(const std::string& name, void* buffer, int bufSize,
                       TRegDataType& regData) {
  DWORD type = REG_NONE;
  DWORD size = static_cast<DWORD>(bufSize);
  if (RegQueryValueExA(currentKey_, name.c_str(), nullptr, &type, static_cast<BYTE*>(buffer),
                       &size) != ERROR_SUCCESS)
    throw ERegistryException("Failed to get data for '" + name + "'");
  regData = RegDataOf(type);
  return static_cast<int>(size);
}

void TRegistry::PutData(const std::string& name, const void* buffer, int bufSize,
                        TRegDataType regData) {
  regstore::WriteBatch::Scope held(batch_);
  if (RegSetValueExA(currentKey_, name.c_str(), 0, TypeOf(regData),
                     static_cast<const BYTE*>(buffer), static_cast<DWORD>(bufSize)) !=
      ERROR_SUCCESS)
    throw ERegistryException("Failed to set data for '" + name + "'");
}

std::string TRegistry::ReadString(const std::string& name) {
  regstore::Value value;
  LONG rc = regstore::QueryValue(currentKey_, name, value);
  if (rc == ERROR_FILE_NOT_FOUND) return {};
  if (rc != ERROR_SUCCESS) throw ERegistryException("Failed to get data for '" + name + "'");
  if (value.Type != REG_SZ && value.Type != REG_EXPAND_SZ) {
    if (value.Data.empty()) return {};  // an empty value of any type reads as ""
    ReadError(name);
  }
  return value.Data;
}

int TRegistry::ReadInteger(const std::string& name) {
  std::int32_t result = 0;
  TRegDataType regData;
  GetData(name, &result, sizeof result, regData);
  if (regData != rdInteger) ReadError(name);
  return result;
}

bool TRegistry::ReadBool(const std::string& name) { return ReadInteger(name) != 0; }

double TRegistry::ReadFloat(const std::string& name) {
  double result = 0;
  TRegDataType regData;
  int size = GetData(name, &result, sizeof result, regData);
  if (regData != rdBinary || size != sizeof result) ReadError(name);
  return result;
}

TDateTime TRegistry::ReadDate(const std::string& name) { return ReadFloat(name); }

TDateTime TRegistry::ReadDateTime(const std::string& name) { return ReadFloat(name); }

TDateTime TRegistry::ReadTime(const std::string& name) { return ReadFloat(name); }

int TRegistry::ReadBinaryData(const std::string& name, void* buffer, int bufSize) {
  TRegDataInfo info;
  if (!GetDataInfo(name, info)) return 0;
  if ((info.RegData != rdBinary && info.RegData != rdUnknown) || info.DataSize > bufSize)
    ReadError(name);
  TRegDataType regData;
  return GetData(name, buffer, info.DataSize, regData);
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  PutData(name, value.c_str(), static_cast<int>(value.size() + 1), rdString);
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& value) {
  PutData(name, value.c_str(), static_cast<int>(value.size() + 1), rdExpandString);
}

void TRegistry::WriteInteger(const std::string& name, int value) {
  std::int32_t data = value;
  PutData(name, &data, sizeof data, rdInteger);
}

void TRegistry::WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }

void TRegistry::WriteFloat(const std::string& name, double value) {
  PutData(name, &value, sizeof value, rdBinary);
}

void TRegistry::WriteDate(const std::string& name, TDateTime value) { WriteFloat(name, value); }

void TRegistry::WriteDateTime(const std::string& name, TDateTime value) {
  WriteFloat(name, value);
}

void TRegistry::WriteTime(const std::string& name, TDateTime value) { WriteFloat(name, value); }

void TRegistry::WriteBinaryData(const std::string& name, const void* buffer, int bufSize) {
  PutData(name, buffer, bufSize, rdBinary);
}

// --- TRegIniFile ----------------------------------------------------------------------------

TRegIniFile::TRegIniFile(const std::string& fileName) : TRegIniFile(fileName, KEY_ALL_ACCESS) {}

TRegIniFile::TRegIniFile(const std::string& fileName, REGSAM access)
    : TRegistry(access), fileName_(fileName) {
  OpenKey(fileName, true);
}

template <class Action>
bool TRegIniFile::InSection(const std::string& section, Action&& action) {
  HKEY key = GetKey(section);
  if (key == nullptr) return false;
  HKEY old = CurrentKey();
  SetCurrentKey(key);
  try {
    action();
  } catch (...) {
    SetCurrentKey(old);
    RegCloseKey(key);
    throw;
  }
  SetCurrentKey(old);
  RegCloseKey(key);
  return true;
}

std::string TRegIniFile::ReadString(const std::string& section, const std::string& ident,
                                    const std::string& defaultValue) {
  std::string result = defaultValue;
  InSection(section, [&] {
    regstore::Value value;
    if (regstore::QueryValue(CurrentKey(), ident, value) == ERROR_SUCCESS &&
        (value.Type == REG_SZ || value.Type == REG_EXPAND_SZ))
      result = value.Data;
  });
  return result;
}

namespace {

// A value read as an ini file's integer: decimal (or hexadecimal) text or an
// integer value; anything else leaves `result` as it is.
void TakeInteger(const regstore::Value& value, int& result) {
  if (value.Type == REG_SZ || value.Type == REG_EXPAND_SZ) {
    int parsed;
    if (TryStrToInt(value.Data, parsed)) result = parsed;
  } else if (value.Type == REG_DWORD && value.Data.size() == 4) {
    std::int32_t number;
    std::memcpy(&number, value.Data.data(), 4);
    result = number;
  }
}

}  // namespace

int TRegIniFile::ReadInteger(const std::string& section, const std::string& ident,
                             int defaultValue) {
  int result = defaultValue;
  InSection(section, [&] {
    regstore::Value value;
    if (regstore::QueryValue(CurrentKey(), ident, value) == ERROR_SUCCESS) TakeInteger(value, result);
  });
  return result;
}

bool TRegIniFile::ReadBool(const std::string& section, const std::string& ident,
                           bool defaultValue) {
  return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

std::vector<bool> TRegIniFile::ReadBools(const std::string& section,
                                         const std::vector<std::string>& idents,
                                         bool defaultValue) {
  std::vector<bool> result(idents.size(), defaultValue);
  InSection(section, [&] {
    std::vector<std::optional<regstore::Value>> values;
    if (regstore::QueryValues(CurrentKey(), idents, values) != ERROR_SUCCESS) return;
    for (std::size_t i = 0; i < idents.size(); ++i) {
      int n = defaultValue ? 1 : 0;
      if (values[i]) TakeInteger(*values[i], n);
      result[i] = n != 0;
    }
  });
  return result;
}

void TRegIniFile::WriteString(const std::string& section, const std::string& ident,
                              const std::string& value) {
  CreateKey(section);
  if (!InSection(section, [&] { TRegistry::WriteString(ident, value); }))
    throw ERegistryException("Failed to set data for '" + ident + "'");
}

void TRegIniFile::WriteInteger(const std::string& section, const std::string& ident, int value) {
  WriteString(section, ident, IntToStr(value));
}

void TRegIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteInteger(section, ident, value ? 1 : 0);
}

void TRegIniFile::ReadSection(const std::string& section, TStrings* strings) {
  if (!InSection(section, [&] { GetValueNames(strings); })) strings->Clear();
}

void TRegIniFile::ReadSections(TStrings* strings) { GetKeyNames(strings); }

void TRegIniFile::ReadSectionValues(const std::string& section, TStrings* strings) {
  std::vector<std::pair<std::string, std::string>> lines;
  InSection(section, [&] {
    std::vector<std::string> names;
    regstore::ValueNames(CurrentKey(), names);
    for (const auto& name : names) {
      regstore::Value value;
      if (regstore::QueryValue(CurrentKey(), name, value) == ERROR_SUCCESS &&
          (value.Type == REG_SZ || value.Type == REG_EXPAND_SZ))
        lines.emplace_back(name, value.Data);
    }
  });
  std::vector<std::string> texts;
  for (const auto& [name, value] : lines) texts.push_back(name + "=" + value);
  classlib_detail::FillStrings(strings, texts);
}

void TRegIniFile::EraseSection(const std::string& section) { TRegistry::DeleteKey(section); }

void TRegIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  InSection(section, [&] { DeleteValue(ident); });
}
