#pragma once
// The settings store behind the registry classes, and its key-handle functions
// with the operating system's names (RegOpenKeyExA ...) for code that opens keys
// itself with explicit access rights.
//
// Each root key is one file in the text format of exported registry files:
//   Windows Registry Editor Version 5.00
//   [HKEY_CURRENT_USER\Software\Corvane Software]
//   "Name"="text"          strings, with \\ and \" escaped
//   "Count"=dword:0000001f
//   "Data"=hex:01,02       binary; hex(2): expandable strings, hex(n): other types
//   @="default value"
// The files live in $VANTREL_REGISTRY_DIR when it is set, else in the folder
// "Vantrel Pro" of the user's configuration folder ($XDG_CONFIG_HOME or ~/.config),
// named after the root key ("HKEY_CURRENT_USER.reg").
//
// Every change is one transaction: under an exclusive lock file the file is read
// again, changed and replaced at once, so several processes may write together and
// nothing is lost. Reads use a parsed copy that is re-read when the file changes.
// Changes made under a regstore::WriteBatch are held in memory (every reader in this
// process sees them) and saved together in one such transaction, so that writing many
// values costs one file write instead of one each.
// Key and value names compare without regard to case and keep their spelling.
//
// Functions return the operating system's error numbers for what callers expect to
// happen (a missing key or value, a refused access). A damaged file or one that cannot
// be saved raises ERegistryException naming the file (and the line); a damaged file
// is never written over.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/wintypes.h"

DECLARE_EXCEPTION(ERegistryException, Exception)

struct HKEY__;
using HKEY = HKEY__*;
using REGSAM = DWORD;

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t{0x80000000});
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001});
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002});
inline HKEY const HKEY_USERS = reinterpret_cast<HKEY>(std::uintptr_t{0x80000003});

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;

// Access rights. Values are read with KEY_QUERY_VALUE, sub-keys listed with
// KEY_ENUMERATE_SUB_KEYS, values set or deleted with KEY_SET_VALUE, sub-keys
// created with KEY_CREATE_SUB_KEY and deleted with KEY_SET_VALUE or KEY_CREATE_SUB_KEY.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM STANDARD_RIGHTS_READ = 0x00020000;
inline constexpr REGSAM KEY_READ = 0x00020019;
inline constexpr REGSAM KEY_WRITE = 0x00020006;
inline constexpr REGSAM KEY_EXECUTE = KEY_READ;
inline constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Sub-key paths are separated by backslashes; empty parts are skipped. An empty or
// null sub-key opens a new handle on the same key.
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, const char* keyClass,
                     DWORD options, REGSAM access, const void* security, HKEY* result,
                     DWORD* disposition);
LONG RegCloseKey(HKEY key);
// Deletes a sub-key that has no sub-keys of its own (ERROR_ACCESS_DENIED otherwise).
LONG RegDeleteKeyA(HKEY key, const char* subKey);
// Deletes a sub-key with everything below it.
LONG RegDeleteTreeA(HKEY key, const char* subKey);
LONG RegDeleteValueA(HKEY key, const char* valueName);
// Strings come zero-terminated and their size counts the terminator. With data null
// only the type and size are answered; a buffer too small gives ERROR_MORE_DATA and
// the size needed.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
// Saves the changes that write batches still hold for the key's store file. Other
// changes are on disk when each call returns.
LONG RegFlushKey(HKEY key);

// The same store for C++ callers: text as std::string (no terminator), lists as vectors.
namespace regstore {

struct Value {
  DWORD Type = REG_NONE;
  std::string Data;  // strings: the UTF-8 text; other types: the bytes
};

struct KeyInfo {
  int NumSubKeys = 0;
  int MaxSubKeyLen = 0;
  int NumValues = 0;
  int MaxValueLen = 0;
  int MaxDataLen = 0;
};

LONG QueryValue(HKEY key, const std::string& name, Value& value);
// Several values in one reading of the store: values[i] is empty when names[i] is missing.
LONG QueryValues(HKEY key, const std::vector<std::string>& names,
                 std::vector<std::optional<Value>>& values);
LONG SetValue(HKEY key, const std::string& name, DWORD type, std::string data);
// Sub-key names in alphabetical order (ignoring case), value names in the order made.
LONG SubKeyNames(HKEY key, std::vector<std::string>& names);
LONG ValueNames(HKEY key, std::vector<std::string>& names);
LONG QueryInfo(HKEY key, KeyInfo& info);
// The folder that holds the store files now (see above).
std::string StoreFolder();

// Told, with a message for the user, when changes could not be saved and no caller
// can be: a write batch that ends. Told once until a save succeeds again; without a
// handler the message goes to the standard error. Returns the old handler.
using SaveFailureHandler = std::function<void(const std::string& message)>;
SaveFailureHandler SetSaveFailureHandler(SaveFailureHandler handler);

// Holds the changes made on this thread while one of its Scopes lives, instead of
// saving each at once. Held changes are replayed onto the file's latest contents when
// they are saved, so another process's changes to other values are kept.
class WriteBatch {
 public:
  WriteBatch() = default;
  WriteBatch(const WriteBatch&) = delete;
  WriteBatch& operator=(const WriteBatch&) = delete;
  // Saves what is still held. When a store cannot be saved, the batch's changes are
  // dropped (readers here see the file again) and the failure goes to the save
  // failure handler (see SetSaveFailureHandler).
  ~WriteBatch();

  // Saves the held changes now, one locked read-merge-write per store file; raises
  // ERegistryException when a file cannot be read or saved.
  void Flush();

  // Makes the batch hold this thread's changes until the scope ends.
  class Scope {
   public:
    explicit Scope(WriteBatch& batch);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    WriteBatch* previous_;
  };
};

}  // namespace regstore
