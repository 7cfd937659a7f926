#pragma once
// TRegistry and TRegIniFile: the class library's registry classes over the settings
// store of regstore.h. Key paths use backslashes; a path starting with one is
// absolute (from RootKey), any other is relative to the open key.
//
// The changes one object makes are saved together when it is freed (or at CloseKey
// with LazyWrite off, or RegFlushKey on its key), so a settings object that writes
// many values writes the file once. Until then every reader in this process sees
// them; other processes see them once saved, merged with their own changes.

#include <string>
#include <vector>

#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/object.h"
#include "platform/classlib/core/regstore.h"

class TStrings;

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
  TRegDataType RegData = rdUnknown;
  int DataSize = 0;
};

using TRegKeyInfo = regstore::KeyInfo;

class TRegistry : public TObject {
  DECLARE_CLASS(TRegistry, TObject)
 public:
  // Root key HKEY_CURRENT_USER, access KEY_ALL_ACCESS, no key open.
  TRegistry();
  explicit TRegistry(REGSAM access);
  ~TRegistry() override;

  // Opens the key (creating it and its parents with canCreate) and makes it the
  // current key; false when it does not exist or cannot be opened.
  bool OpenKey(const std::string& key, bool canCreate);
  // Opens for reading only: later writes through it fail.
  bool OpenKeyReadOnly(const std::string& key);
  void CloseKey();
  // Creates the key without opening it; raises "Failed to create key %s" on failure.
  bool CreateKey(const std::string& key);
  // Deletes the key with all its sub-keys.
  bool DeleteKey(const std::string& key);
  bool KeyExists(const std::string& key);
  bool HasSubKeys();
  bool GetKeyInfo(TRegKeyInfo& info);
  void GetKeyNames(TStrings* strings);
  void GetValueNames(TStrings* strings);

  bool ValueExists(const std::string& name);
  bool DeleteValue(const std::string& name);
  // Renames a value of the current key; nothing happens when oldName is missing
  // or newName exists already.
  void RenameValue(const std::string& oldName, const std::string& newName);
  bool GetDataInfo(const std::string& valueName, TRegDataInfo& value);
  // Bytes of the value (strings with their terminator); -1 when it does not exist.
  int GetDataSize(const std::string& valueName);
  TRegDataType GetDataType(const std::string& valueName);

  // Reads raise ERegistryException "Invalid data type for '%s'" when the value has
  // another type and "Failed to get data for '%s'" when it cannot be read (missing
  // values among them; ReadString answers "" for a missing value instead).
  std::string ReadString(const std::string& name);
  int ReadInteger(const std::string& name);
  bool ReadBool(const std::string& name);  // an integer, non-zero for true
  double ReadFloat(const std::string& name);  // the eight bytes of a double
  // Dates and times are stored as their double, like ReadFloat.
  TDateTime ReadDate(const std::string& name);
  TDateTime ReadDateTime(const std::string& name);
  TDateTime ReadTime(const std::string& name);
  // Copies the binary value into buffer and returns its size; 0 when missing.
  int ReadBinaryData(const std::string& name, void* buffer, int bufSize);

  // Writes raise ERegistryException "Failed to set data for '%s'" on failure.
  void WriteString(const std::string& name, const std::string& value);
  void WriteExpandString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, int value);
  void WriteBool(const std::string& name, bool value);
  void WriteFloat(const std::string& name, double value);
  void WriteDate(const std::string& name, TDateTime value);
  void WriteDateTime(const std::string& name, TDateTime value);
  void WriteTime(const std::string& name, TDateTime value);
  void WriteBinaryData(const std::string& name, const void* buffer, int bufSize);

  HKEY CurrentKey() const { return currentKey_; }
  const std::string& CurrentPath() const { return currentPath_; }
  HKEY RootKey() const { return rootKey_; }
  // Changing the root closes the open key.
  void SetRootKey(HKEY value);
  REGSAM Access() const { return access_; }
  void SetAccess(REGSAM value) { access_ = value; }
  // With LazyWrite off, CloseKey saves the changes made so far.
  bool LazyWrite() const { return lazyWrite_; }
  void SetLazyWrite(bool value) { lazyWrite_ = value; }

 protected:
  // Closes the current key and makes value (with its path) the current one.
  void ChangeKey(HKEY value, const std::string& path);
  // The key a path starts from: the current key for a relative path when one is open.
  HKEY GetBaseKey(bool relative) const;
  // Opens the key with Access without making it current; nullptr on failure. The
  // caller closes it.
  HKEY GetKey(const std::string& key);
  // Swaps the current key without closing the old one (for temporary switches).
  void SetCurrentKey(HKEY value) { currentKey_ = value; }
  static bool IsRelative(const std::string& key) { return key.empty() || key[0] != '\\'; }

  [[noreturn]] static void ReadError(const std::string& name);
  // Raises "Failed to get data for '%s'" unless the value fits into bufSize bytes.
  int GetData(const std::string& name, void* buffer, int bufSize, TRegDataType& regData);
  void PutData(const std::string& name, const void* buffer, int bufSize, TRegDataType regData);

 private:
  HKEY rootKey_ = HKEY_CURRENT_USER;
  HKEY currentKey_ = nullptr;
  std::string currentPath_;
  REGSAM access_ = KEY_ALL_ACCESS;
  bool lazyWrite_ = true;
  regstore::WriteBatch batch_;  // holds this object's changes until it is freed
};

// A registry key used like an initialisation file: the key (relative to
// HKEY_CURRENT_USER, created when missing) is the file and its sub-keys are the
// sections. Numbers and Booleans are stored as decimal text.
class TRegIniFile : public TRegistry {
  DECLARE_CLASS(TRegIniFile, TRegistry)
 public:
  explicit TRegIniFile(const std::string& fileName);
  TRegIniFile(const std::string& fileName, REGSAM access);

  const std::string& FileName() const { return fileName_; }

  using TRegistry::ReadString;
  using TRegistry::ReadInteger;
  using TRegistry::ReadBool;
  using TRegistry::WriteString;
  using TRegistry::WriteInteger;
  using TRegistry::WriteBool;
  using TRegistry::DeleteKey;

  // A missing section or value, or one of an unsuitable type, gives the default.
  std::string ReadString(const std::string& section, const std::string& ident,
                         const std::string& defaultValue);
  // Decimal text, or hexadecimal after "0x" or "$"; an integer value is taken as it is.
  int ReadInteger(const std::string& section, const std::string& ident, int defaultValue);
  bool ReadBool(const std::string& section, const std::string& ident, bool defaultValue);
  // Several Booleans of one section, each as ReadBool gives it, in one reading
  // of the store (for values read again and again in a loop).
  std::vector<bool> ReadBools(const std::string& section, const std::vector<std::string>& idents,
                              bool defaultValue);
  // Writing creates the section.
  void WriteString(const std::string& section, const std::string& ident,
                   const std::string& value);
  void WriteInteger(const std::string& section, const std::string& ident, int value);
  void WriteBool(const std::string& section, const std::string& ident, bool value);

  // Value names of the section.
  void ReadSection(const std::string& section, TStrings* strings);
  // Names of the sections (sub-keys).
  void ReadSections(TStrings* strings);
  // "name=value" lines for every value of the section.
  void ReadSectionValues(const std::string& section, TStrings* strings);
  void EraseSection(const std::string& section);
  void DeleteKey(const std::string& section, const std::string& ident);

 private:
  // Runs action with the section's key as current key; false when it cannot be opened.
  template <class Action>
  bool InSection(const std::string& section, Action&& action);

  std::string fileName_;
};
