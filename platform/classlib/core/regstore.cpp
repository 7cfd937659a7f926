#include "platform/classlib/core/regstore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "platform/classlib/core/atomicfile.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/strutils.h"

IMPLEMENT_CLASS(ERegistryException, Exception)

// An open key: which store, which key in it, and what the opener may do.
struct HKEY__ {
  std::string folder;
  int root = 0;
  std::vector<std::string> path;
  REGSAM access = 0;
};

namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";
constexpr const char* kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                      "HKEY_LOCAL_MACHINE", "HKEY_USERS"};
constexpr int kRootCount = 4;

// Names compare without regard to case: every case pair of the fold alike.
std::string Fold(const std::string& name) { return AnsiFoldCase(name); }

// --- The tree of one root key -------------------------------------------------------

struct StoredValue {
  std::string name;
  std::string folded;  // the name as compared
  regstore::Value value;
};

struct Key {
  std::string name;
  std::vector<StoredValue> values;
  std::map<std::string, std::unique_ptr<Key>> children;  // by folded name

  StoredValue* FindValue(const std::string& valueName) {
    std::string folded = Fold(valueName);
    for (auto& v : values)
      if (v.folded == folded) return &v;
    return nullptr;
  }
  Key* Child(const std::string& childName) const {
    auto it = children.find(Fold(childName));
    return it == children.end() ? nullptr : it->second.get();
  }
  Key& AddChild(const std::string& childName) {
    auto& slot = children[Fold(childName)];
    if (!slot) {
      slot = std::make_unique<Key>();
      slot->name = childName;
    }
    return *slot;
  }
};

Key* Walk(Key& root, const std::vector<std::string>& path) {
  Key* key = &root;
  for (const auto& part : path)
    if ((key = key->Child(part)) == nullptr) return nullptr;
  return key;
}

std::vector<std::string> SplitKeyPath(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    auto end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

// --- Text form ------------------------------------------------------------------------

std::string Utf16FromUtf8(const std::string& text) {
  std::string out;
  std::size_t pos = 0;
  auto put = [&](unsigned unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  };
  while (pos < text.size()) {
    char32_t cp = Utf8Decode(text, pos);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(0xD800 + (cp >> 10));
      put(0xDC00 + (cp & 0x3FF));
    } else {
      put(cp);
    }
  }
  put(0);
  return out;
}

std::string Utf8FromUtf16(const std::string& bytes) {
  std::string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t unit = static_cast<unsigned char>(bytes[i]) |
                    (static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
      char32_t low = static_cast<unsigned char>(bytes[i + 2]) |
                     (static_cast<unsigned char>(bytes[i + 3]) << 8);
      if (low >= 0xDC00 && low < 0xE000) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    Utf8Append(out, unit);
  }
  while (!out.empty() && out.back() == '\0') out.pop_back();  // the terminator
  return out;
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + '"';
}

std::string HexList(const std::string& bytes) {
  static const char* kHex = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) out += ',';
    auto b = static_cast<unsigned char>(bytes[i]);
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

std::string FormatValue(const regstore::Value& v) {
  char buffer[32];
  switch (v.Type) {
    case REG_SZ:
      // Line breaks and other control characters cannot stand in a quoted line.
      if (std::any_of(v.Data.begin(), v.Data.end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return "hex(1):" + HexList(Utf16FromUtf8(v.Data));
      return Quote(v.Data);
    case REG_EXPAND_SZ:
      return "hex(2):" + HexList(Utf16FromUtf8(v.Data));
    case REG_BINARY:
      return "hex:" + HexList(v.Data);
    case REG_DWORD:
      if (v.Data.size() == 4) {
        DWORD d;
        std::memcpy(&d, v.Data.data(), 4);
        std::snprintf(buffer, sizeof buffer, "dword:%08x", d);
        return buffer;
      }
      [[fallthrough]];
    default:
      std::snprintf(buffer, sizeof buffer, "hex(%x):", v.Type);
      return buffer + HexList(v.Data);
  }
}

void FormatKey(const Key& key, const std::string& path, bool isRoot, std::string& out) {
  // The root is written only when it holds values; every other key always, so
  // that empty keys survive.
  if (!isRoot || !key.values.empty()) {
    out += "[" + path + "]\r\n";
    for (const auto& v : key.values)
      out += (v.name.empty() ? std::string("@") : Quote(v.name)) + "=" + FormatValue(v.value) +
             "\r\n";
    out += "\r\n";
  }
  for (const auto& [folded, child] : key.children)
    FormatKey(*child, path + "\\" + child->name, false, out);
}

std::string FormatStore(const Key& root, const std::string& rootName) {
  std::string out = std::string(kHeader) + "\r\n\r\n";
  FormatKey(root, rootName, true, out);
  return out;
}

class Parser {
 public:
  Parser(const std::string& text, const std::string& fileName, const std::string& rootName)
      : text_(text), fileName_(fileName), rootName_(rootName) {}

  Key Parse() {
    Key root;
    root.name = rootName_;
    Key* current = nullptr;
    bool headerSeen = false;
    std::string line;
    while (NextLine(line)) {
      std::string trimmed = Trim(line);
      if (trimmed.empty() || trimmed[0] == ';') continue;
      if (!headerSeen) {
        if (trimmed != kHeader && trimmed != "REGEDIT4")
          Fail("the first line is not \"" + std::string(kHeader) + "\"");
        headerSeen = true;
        continue;
      }
      if (trimmed[0] == '[') {
        current = &OpenSection(root, trimmed);
        continue;
      }
      if (current == nullptr) Fail("a value stands before the first [key]");
      ParseValueLine(TrimLeft(line), *current);
    }
    return root;
  }

 private:
  [[noreturn]] void Fail(const std::string& why) const {
    throw ERegistryException("The registry file '" + fileName_ + "' is damaged at line " +
                             std::to_string(lineNo_) + ": " + why +
                             ". It was left unchanged; repair or remove it.");
  }

  bool NextLine(std::string& line) {
    if (pos_ >= text_.size()) return false;
    if (pos_ == 0 && text_.compare(0, 3, "\xEF\xBB\xBF") == 0) pos_ = 3;
    auto end = text_.find('\n', pos_);
    if (end == std::string::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos_ = end + 1;
    ++lineNo_;
    return true;
  }

  Key& OpenSection(Key& root, const std::string& trimmed) {
    if (trimmed.back() != ']') Fail("a [key] line lacks its closing ']'");
    std::string path = trimmed.substr(1, trimmed.size() - 2);
    if (!path.empty() && path[0] == '-') Fail("key deletions do not belong in a stored file");
    auto parts = SplitKeyPath(path);
    if (parts.empty() || parts[0] != rootName_)
      Fail("the key '" + path + "' is not under " + rootName_);
    Key* key = &root;
    for (std::size_t i = 1; i < parts.size(); ++i) key = &key->AddChild(parts[i]);
    return *key;
  }

  // Reads a quoted text starting at s[i] == '"'; i ends after the closing quote.
  std::string Unquote(const std::string& s, std::size_t& i) {
    std::string out;
    for (++i; i < s.size(); ++i) {
      if (s[i] == '"') {
        ++i;
        return out;
      }
      if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) ++i;
      out += s[i];
    }
    Fail("a quoted text is not closed");
  }

  // Long lists continue on the next lines after a trailing backslash; a
  // continued line of blanks ends the list. Each line is taken once, as it
  // is read, so a list costs its length however many lines it spans.
  std::string ParseHexBytes(std::string line) {
    std::string list;  // the items of every line, blanks left out
    for (;;) {
      std::string piece = Trim(line);
      const bool continued = !piece.empty() && piece.back() == '\\';
      if (continued) piece.pop_back();
      for (char c : piece)
        if (c != ' ' && c != '\t') list += c;
      if (!continued) break;
      if (!NextLine(line)) Fail("a continued hex list ends with the file");
    }
    std::string bytes;
    bytes.reserve(list.size() / 3 + 1);
    for (std::size_t i = 0; i < list.size();) {
      std::size_t comma = list.find(',', i);
      if (comma == std::string::npos) comma = list.size();
      const std::string_view item(list.data() + i, comma - i);
      unsigned byte = 0;
      if (item.size() != 2 || !std::isxdigit(static_cast<unsigned char>(item[0])) ||
          !std::isxdigit(static_cast<unsigned char>(item[1])))
        Fail("'" + std::string(item) + "' is no hex byte");
      std::from_chars(item.data(), item.data() + 2, byte, 16);
      bytes += static_cast<char>(byte);
      i = comma + 1;
    }
    return bytes;
  }

  void ParseValueLine(const std::string& line, Key& key) {
    std::string name;
    std::size_t i = 0;
    if (line[0] == '@') {
      i = 1;
    } else if (line[0] == '"') {
      name = Unquote(line, i);
    } else {
      Fail("a value line must start with a quoted name or '@'");
    }
    while (i < line.size() && line[i] == ' ') ++i;
    if (i >= line.size() || line[i] != '=') Fail("'=' expected after the value name");
    std::string data = Trim(line.substr(i + 1));
    regstore::Value value;
    if (!data.empty() && data[0] == '"') {
      std::size_t j = 0;
      value.Type = REG_SZ;
      value.Data = Unquote(data, j);
      if (!Trim(data.substr(j)).empty()) Fail("text follows the closing quote");
    } else if (data.compare(0, 6, "dword:") == 0) {
      std::string digits = data.substr(6);
      if (digits.empty() || digits.size() > 8 ||
          digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        Fail("'" + data + "' is no dword value");
      DWORD d = static_cast<DWORD>(std::stoul(digits, nullptr, 16));
      value.Type = REG_DWORD;
      value.Data.assign(reinterpret_cast<const char*>(&d), 4);
    } else if (data.compare(0, 4, "hex:") == 0) {
      value.Type = REG_BINARY;
      value.Data = ParseHexBytes(data.substr(4));
    } else if (data.compare(0, 4, "hex(") == 0) {
      auto close = data.find("):");
      std::string typeDigits = close == std::string::npos ? "" : data.substr(4, close - 4);
      if (typeDigits.empty() || typeDigits.size() > 8 ||
          typeDigits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        Fail("'" + data.substr(0, 12) + "' is no value type");
      value.Type = static_cast<DWORD>(std::stoul(typeDigits, nullptr, 16));
      value.Data = ParseHexBytes(data.substr(close + 2));
      if (value.Type == REG_SZ || value.Type == REG_EXPAND_SZ)
        value.Data = Utf8FromUtf16(value.Data);
    } else if (data == "-") {
      Fail("value deletions do not belong in a stored file");
    } else {
      Fail("'" + data.substr(0, 20) + "' is no value");
    }
    if (StoredValue* existing = key.FindValue(name))
      existing->value = std::move(value);
    else
      key.values.push_back({name, Fold(name), std::move(value)});
  }

  const std::string& text_;
  const std::string& fileName_;
  const std::string& rootName_;
  std::size_t pos_ = 0;
  int lineNo_ = 0;
};

// --- One store file ---------------------------------------------------------------------

struct FileIdentity {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};
  timespec ctime{};
  bool operator==(const FileIdentity& o) const {
    return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
           mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec &&
           ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

FileIdentity IdentityOf(const struct stat& st) {
  return {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

// A change to the tree of one root key. It captures what it needs by value, so that a
// held change can be replayed onto the file's latest contents when it is saved.
using Change = std::function<LONG(Key& root, bool& changed)>;

// The batch that holds this thread's changes now (WriteBatch::Scope), if any.
thread_local regstore::WriteBatch* currentBatch = nullptr;

// Failures to save that nobody can be told of by an exception (a batch ending)
// go to the handler, once until a save succeeds again: a full disk would
// otherwise bring one message for every settings object that ends. Made on
// first use: the application object that installs the handler may be a global
// made before this file's globals.
struct SaveFailures {
  std::mutex mutex;
  regstore::SaveFailureHandler handler;
  bool reported = false;
};

SaveFailures& Failures() {
  static SaveFailures failures;
  return failures;
}

void SaveSucceeded() {
  std::lock_guard lock(Failures().mutex);
  Failures().reported = false;
}

void ReportSaveFailure(const std::string& why) {
  regstore::SaveFailureHandler handler;
  {
    std::lock_guard lock(Failures().mutex);
    if (Failures().reported) return;
    Failures().reported = true;
    handler = Failures().handler;
  }
  const std::string text = "The settings could not be saved: " + why;
  if (handler)
    handler(text);
  else
    std::fprintf(stderr, "%s\n", text.c_str());
}

class StoreFile {
 public:
  StoreFile(std::string folder, int root)
      : folder_(std::move(folder)),
        rootName_(kRootNames[root]),
        path_(IncludeTrailingPathDelimiter(folder_) + rootName_ + ".reg") {}

  template <class F>
  auto Read(F&& f) {
    std::lock_guard lock(mutex_);
    Refresh(false);
    return f(tree_);
  }

  // Runs change on the latest contents (with the held changes). Under a write batch a
  // change that changed something is held; otherwise it is saved at once, under the
  // lock file, when it returns ERROR_SUCCESS and says it changed something.
  LONG Apply(const Change& change, bool* changedOut = nullptr) {
    std::lock_guard lock(mutex_);
    bool changed = false;
    LONG rc;
    if (currentBatch != nullptr) {
      Refresh(false);
      rc = change(tree_, changed);
      if (rc == ERROR_SUCCESS && changed) pending_.push_back({currentBatch, change});
    } else {
      std::optional<TFileLockScope> fileLock;
      LockFile(fileLock);
      Refresh(true);
      rc = change(tree_, changed);
      if (rc == ERROR_SUCCESS && changed) Save();
    }
    if (changedOut != nullptr) *changedOut = changed;
    return rc;
  }

  // Saves the held changes of owner (of every batch when owner is null) together with
  // all others held for this file.
  void Flush(const regstore::WriteBatch* owner) {
    std::lock_guard lock(mutex_);
    if (std::none_of(pending_.begin(), pending_.end(),
                     [&](const Held& h) { return owner == nullptr || h.owner == owner; }))
      return;
    std::optional<TFileLockScope> fileLock;
    LockFile(fileLock);
    Refresh(true);
    Save();
  }

  // The changes of a batch that ends unsaved stay held for the file's next save.
  void Disown(const regstore::WriteBatch* owner) {
    std::lock_guard lock(mutex_);
    for (auto& h : pending_)
      if (h.owner == owner) h.owner = nullptr;
  }

  // Drops the held changes of a batch that could not be saved, so that no reader
  // here sees a value that is not in the file; the tree is read again.
  void Discard(const regstore::WriteBatch* owner) {
    std::lock_guard lock(mutex_);
    std::erase_if(pending_, [&](const Held& h) { return h.owner == owner; });
    valid_ = false;
  }

 private:
  struct Held {
    const regstore::WriteBatch* owner;
    Change change;
  };

  // Takes the lock file that makes a read-change-write of the file one transaction.
  void LockFile(std::optional<TFileLockScope>& fileLock) {
    try {
      ForceDirectories(folder_);
    } catch (const EInOutError& e) {
      throw ERegistryException("Cannot create the registry folder '" + folder_ + "': " +
                               std::strerror(e.ErrorCode));
    }
    try {
      fileLock.emplace(path_ + ".lock");
    } catch (const EInOutError& e) {
      throw ERegistryException("Cannot lock the registry file: '" + path_ + ".lock': " +
                               std::strerror(e.ErrorCode));
    }
  }

  // Replaces the file with the tree; the held changes are in it from then on.
  void Save() {
    valid_ = false;  // until the file holds what the tree holds
    try {
      WriteFileAtomically(path_, FormatStore(tree_, rootName_));
    } catch (const EInOutError& e) {
      throw ERegistryException("Cannot save the registry file '" + path_ + "': " +
                               std::strerror(e.ErrorCode));
    }
    pending_.clear();
    SaveSucceeded();
    struct stat st;
    if (::stat(path_.c_str(), &st) == 0) {
      identity_ = IdentityOf(st);
      valid_ = true;
    }
  }

  // Brings the tree up to the file. Under the lock file (force) it is always read
  // again: a file replaced within the clock's resolution may look unchanged.
  void Refresh(bool force) {
    for (int attempt = 0;; ++attempt) {
      struct stat before;
      if (::stat(path_.c_str(), &before) != 0) {
        if (errno != ENOENT) ReadFailed(errno);
        if (!force && valid_ && !identity_.exists) return;
        Rebuild(Key{}, FileIdentity{});
        return;
      }
      if (!force && valid_ && identity_ == IdentityOf(before)) return;
      valid_ = false;
      std::string text;
      if (!ReadWholeFile(path_, text)) {
        if (errno == ENOENT && attempt < 10) continue;  // replaced just now
        ReadFailed(errno);
      }
      // Another process may have replaced the file while it was read; then read again.
      struct stat after;
      if (attempt < 10 && (::stat(path_.c_str(), &after) != 0 ||
                           !(IdentityOf(after) == IdentityOf(before))))
        continue;
      Rebuild(Parser(text, path_, rootName_).Parse(), IdentityOf(before));
      return;
    }
  }

  // The file's contents with the held changes replayed on top, in the order made. A
  // held change that no longer applies (its key was deleted meanwhile) is dropped there.
  void Rebuild(Key fileTree, const FileIdentity& identity) {
    tree_ = std::move(fileTree);
    tree_.name = rootName_;
    for (const auto& h : pending_) {
      bool changed = false;
      h.change(tree_, changed);
    }
    identity_ = identity;
    valid_ = true;
  }

  [[noreturn]] void ReadFailed(int error) const {
    throw ERegistryException("Cannot read the registry file '" + path_ + "': " +
                             std::strerror(error));
  }

  std::string folder_;
  std::string rootName_;
  std::string path_;
  std::mutex mutex_;
  Key tree_;  // the file's contents and the held changes
  FileIdentity identity_;
  bool valid_ = false;
  std::vector<Held> pending_;
};

std::mutex& StoresMutex() {
  static std::mutex mutex;
  return mutex;
}
std::map<std::pair<std::string, int>, std::unique_ptr<StoreFile>>& Stores() {
  static std::map<std::pair<std::string, int>, std::unique_ptr<StoreFile>> stores;
  return stores;
}

StoreFile& StoreFor(const std::string& folder, int root) {
  std::lock_guard lock(StoresMutex());
  auto& slot = Stores()[{folder, root}];
  if (!slot) slot = std::make_unique<StoreFile>(folder, root);
  return *slot;
}

// Every store opened so far; they live as long as the program.
std::vector<StoreFile*> AllStores() {
  std::lock_guard lock(StoresMutex());
  std::vector<StoreFile*> all;
  for (auto& [where, store] : Stores()) all.push_back(store.get());
  return all;
}

// --- Handles --------------------------------------------------------------------------------

std::mutex& HandleMutex() {
  static std::mutex mutex;
  return mutex;
}
std::unordered_set<HKEY>& Handles() {
  static std::unordered_set<HKEY> handles;
  return handles;
}

std::optional<int> RootIndex(HKEY key) {
  auto value = reinterpret_cast<std::uintptr_t>(key);
  if (value >= 0x80000000u && value < 0x80000000u + kRootCount)
    return static_cast<int>(value - 0x80000000u);
  return std::nullopt;
}

// What a handle stands for, copied so that no lock is held while the store works.
struct Target {
  std::string folder;
  int root = 0;
  std::vector<std::string> path;
  REGSAM access = 0;
  StoreFile& Store() const { return StoreFor(folder, root); }
};

std::optional<Target> Resolve(HKEY key) {
  if (auto root = RootIndex(key)) return Target{regstore::StoreFolder(), *root, {}, KEY_ALL_ACCESS};
  std::lock_guard lock(HandleMutex());
  if (key == nullptr || Handles().count(key) == 0) return std::nullopt;
  return Target{key->folder, key->root, key->path, key->access};
}

HKEY NewHandle(const Target& target, std::vector<std::string> path, REGSAM access) {
  auto* handle = new HKEY__{target.folder, target.root, std::move(path), access};
  std::lock_guard lock(HandleMutex());
  Handles().insert(handle);
  return handle;
}

std::vector<std::string> Joined(std::vector<std::string> base, const char* subKey) {
  for (auto& part : SplitKeyPath(subKey != nullptr ? subKey : "")) base.push_back(part);
  return base;
}

// A handle whose key another handle or process deleted answers this.
LONG MissingKeyError(const Target& target) {
  return target.path.empty() ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
}

// Runs read on the key of a handle that has the needed rights.
template <class F>
LONG ReadKey(HKEY key, REGSAM needed, F&& read) {
  auto target = Resolve(key);
  if (!target) return ERROR_INVALID_HANDLE;
  if ((target->access & needed) != needed) return ERROR_ACCESS_DENIED;
  return target->Store().Read([&](Key& root) -> LONG {
    Key* k = Walk(root, target->path);
    return k == nullptr ? MissingKeyError(*target) : read(*k);
  });
}

// Runs change on the key of a handle that has the needed rights, as one transaction.
// change captures by value: it may be held and replayed later (see StoreFile).
template <class F>
LONG ChangeKey(HKEY key, REGSAM needed, F change) {
  auto target = Resolve(key);
  if (!target) return ERROR_INVALID_HANDLE;
  if ((target->access & needed) != needed) return ERROR_ACCESS_DENIED;
  return target->Store().Apply([path = target->path, missing = MissingKeyError(*target), change](
                                    Key& root, bool& changed) -> LONG {
    Key* k = Walk(root, path);
    return k == nullptr ? missing : change(*k, changed);
  });
}

bool CanWrite(REGSAM access) { return (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0; }

LONG DeleteSubKey(HKEY key, const char* subKey, bool withSubKeys) {
  auto target = Resolve(key);
  if (!target) return ERROR_INVALID_HANDLE;
  auto parts = SplitKeyPath(subKey != nullptr ? subKey : "");
  if (parts.empty()) return ERROR_INVALID_PARAMETER;  // a key does not delete itself
  if (!CanWrite(target->access)) return ERROR_ACCESS_DENIED;
  auto full = Joined(target->path, subKey);
  return target->Store().Apply([full, withSubKeys](Key& root, bool& changed) -> LONG {
    std::vector<std::string> parentPath(full.begin(), full.end() - 1);
    Key* parent = Walk(root, parentPath);
    Key* victim = parent != nullptr ? parent->Child(full.back()) : nullptr;
    if (victim == nullptr) return ERROR_FILE_NOT_FOUND;
    if (!withSubKeys && !victim->children.empty()) return ERROR_ACCESS_DENIED;
    parent->children.erase(Fold(full.back()));
    changed = true;
    return ERROR_SUCCESS;
  });
}

}  // namespace

// --- Key-handle functions ------------------------------------------------------------------

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM access, HKEY* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  auto target = Resolve(key);
  if (!target) return ERROR_INVALID_HANDLE;
  auto path = Joined(target->path, subKey);
  bool exists = target->Store().Read([&](Key& root) { return Walk(root, path) != nullptr; });
  if (!exists) return ERROR_FILE_NOT_FOUND;
  *result = NewHandle(*target, std::move(path), access);
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD, const char*, DWORD, REGSAM access,
                     const void*, HKEY* result, DWORD* disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  auto target = Resolve(key);
  if (!target) return ERROR_INVALID_HANDLE;
  auto path = Joined(target->path, subKey);
  for (const auto& part : path)
    if (HasLineBreak(part)) return ERROR_INVALID_PARAMETER;
  bool created = false;
  auto& store = target->Store();
  // Most calls open a key that exists; those need no lock and no write.
  bool exists = store.Read([&](Key& root) { return Walk(root, path) != nullptr; });
  if (!exists) {
    if ((target->access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    const std::size_t baseDepth = target->path.size();
    LONG rc = store.Apply(
        [path, baseDepth, missing = MissingKeyError(*target)](Key& root, bool& changed) -> LONG {
          Key* k = Walk(root, {path.begin(), path.begin() + baseDepth});
          if (k == nullptr) return missing;
          for (std::size_t i = baseDepth; i < path.size(); ++i) {
            if (k->Child(path[i]) == nullptr) changed = true;
            k = &k->AddChild(path[i]);
          }
          return ERROR_SUCCESS;
        },
        &created);
    if (rc != ERROR_SUCCESS) return rc;
  }
  if (disposition != nullptr) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = NewHandle(*target, std::move(path), access);
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (RootIndex(key)) return ERROR_SUCCESS;
  std::lock_guard lock(HandleMutex());
  if (key == nullptr || Handles().erase(key) == 0) return ERROR_INVALID_HANDLE;
  delete key;
  return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, const char* subKey) { return DeleteSubKey(key, subKey, false); }

LONG RegDeleteTreeA(HKEY key, const char* subKey) { return DeleteSubKey(key, subKey, true); }

LONG RegDeleteValueA(HKEY key, const char* valueName) {
  std::string folded = Fold(valueName != nullptr ? valueName : "");
  return ChangeKey(key, KEY_SET_VALUE, [folded](Key& k, bool& changed) -> LONG {
    auto it = std::find_if(k.values.begin(), k.values.end(),
                           [&](const StoredValue& v) { return v.folded == folded; });
    if (it == k.values.end()) return ERROR_FILE_NOT_FOUND;
    k.values.erase(it);
    changed = true;
    return ERROR_SUCCESS;
  });
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data,
                      DWORD* dataSize) {
  regstore::Value value;
  LONG rc = regstore::QueryValue(key, valueName != nullptr ? valueName : "", value);
  if (rc != ERROR_SUCCESS) return rc;
  if (type != nullptr) *type = value.Type;
  bool isText = value.Type == REG_SZ || value.Type == REG_EXPAND_SZ;
  std::string bytes = isText ? value.Data + '\0' : value.Data;
  if (dataSize == nullptr) return data == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
  DWORD room = *dataSize;
  *dataSize = static_cast<DWORD>(bytes.size());
  if (data == nullptr) return ERROR_SUCCESS;
  if (room < bytes.size()) return ERROR_MORE_DATA;
  std::memcpy(data, bytes.data(), bytes.size());
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data,
                    DWORD dataSize) {
  if (data == nullptr && dataSize > 0) return ERROR_INVALID_PARAMETER;
  std::string bytes(reinterpret_cast<const char*>(data), data != nullptr ? dataSize : 0);
  if (type == REG_SZ || type == REG_EXPAND_SZ)
    while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  return regstore::SetValue(key, valueName != nullptr ? valueName : "", type, std::move(bytes));
}

LONG RegFlushKey(HKEY key) {
  auto target = Resolve(key);
  if (!target) return ERROR_INVALID_HANDLE;
  target->Store().Flush(nullptr);
  return ERROR_SUCCESS;
}

// --- The C++ forms ------------------------------------------------------------------------------

namespace regstore {

std::string StoreFolder() {
  if (const char* dir = std::getenv("VANTREL_REGISTRY_DIR"); dir != nullptr && dir[0] != '\0')
    return dir;
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
    config = xdg;
  else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
    config = std::string(home) + "/.config";
  else
    config = GetTempPath() + "vantrel-" + std::to_string(::geteuid());
  return IncludeTrailingPathDelimiter(config) + "Vantrel Pro";
}

LONG QueryValue(HKEY key, const std::string& name, Value& value) {
  return ReadKey(key, KEY_QUERY_VALUE, [&](Key& k) -> LONG {
    StoredValue* v = k.FindValue(name);
    if (v == nullptr) return ERROR_FILE_NOT_FOUND;
    value = v->value;
    return ERROR_SUCCESS;
  });
}

LONG QueryValues(HKEY key, const std::vector<std::string>& names,
                 std::vector<std::optional<Value>>& values) {
  values.assign(names.size(), std::nullopt);
  return ReadKey(key, KEY_QUERY_VALUE, [&](Key& k) -> LONG {
    for (std::size_t i = 0; i < names.size(); ++i)
      if (StoredValue* v = k.FindValue(names[i])) values[i] = v->value;
    return ERROR_SUCCESS;
  });
}

LONG SetValue(HKEY key, const std::string& name, DWORD type, std::string data) {
  if (HasLineBreak(name)) return ERROR_INVALID_PARAMETER;
  auto set = [name, type, data = std::move(data)](Key& k, bool& changed) -> LONG {
    Value value{type, data};
    if (StoredValue* existing = k.FindValue(name)) {
      changed = existing->value.Type != value.Type || existing->value.Data != value.Data;
      existing->value = std::move(value);
    } else {
      k.values.push_back({name, Fold(name), std::move(value)});
      changed = true;
    }
    return ERROR_SUCCESS;
  };
  return ChangeKey(key, KEY_SET_VALUE, std::move(set));
}

LONG SubKeyNames(HKEY key, std::vector<std::string>& names) {
  names.clear();
  return ReadKey(key, KEY_ENUMERATE_SUB_KEYS, [&](Key& k) -> LONG {
    for (const auto& [folded, child] : k.children) names.push_back(child->name);
    return ERROR_SUCCESS;
  });
}

LONG ValueNames(HKEY key, std::vector<std::string>& names) {
  names.clear();
  return ReadKey(key, KEY_QUERY_VALUE, [&](Key& k) -> LONG {
    for (const auto& v : k.values) names.push_back(v.name);
    return ERROR_SUCCESS;
  });
}

LONG QueryInfo(HKEY key, KeyInfo& info) {
  info = KeyInfo{};
  return ReadKey(key, 0, [&](Key& k) -> LONG {
    info.NumSubKeys = static_cast<int>(k.children.size());
    for (const auto& [folded, child] : k.children)
      info.MaxSubKeyLen = std::max(info.MaxSubKeyLen, static_cast<int>(child->name.size()));
    info.NumValues = static_cast<int>(k.values.size());
    for (const auto& v : k.values) {
      info.MaxValueLen = std::max(info.MaxValueLen, static_cast<int>(v.name.size()));
      bool isText = v.value.Type == REG_SZ || v.value.Type == REG_EXPAND_SZ;
      info.MaxDataLen =
          std::max(info.MaxDataLen, static_cast<int>(v.value.Data.size() + (isText ? 1 : 0)));
    }
    return ERROR_SUCCESS;
  });
}

// --- Write batches --------------------------------------------------------------------------

WriteBatch::~WriteBatch() {
  try {
    Flush();
  } catch (const ERegistryException& e) {
    // Nothing may pretend to be saved: the changes are dropped, and the user told.
    for (StoreFile* store : AllStores()) store->Discard(this);
    ReportSaveFailure(e.Message());
  }
  for (StoreFile* store : AllStores()) store->Disown(this);
}

SaveFailureHandler SetSaveFailureHandler(SaveFailureHandler handler) {
  std::lock_guard lock(Failures().mutex);
  SaveFailureHandler old = std::move(Failures().handler);
  Failures().handler = std::move(handler);
  Failures().reported = false;  // a new handler has been told nothing yet
  return old;
}

// Every store is tried, so that one file that cannot be saved keeps no other waiting.
void WriteBatch::Flush() {
  std::exception_ptr first;
  for (StoreFile* store : AllStores()) {
    try {
      store->Flush(this);
    } catch (const ERegistryException&) {
      if (!first) first = std::current_exception();
    }
  }
  if (first) std::rethrow_exception(first);
}

WriteBatch::Scope::Scope(WriteBatch& batch) : previous_(currentBatch) {
  currentBatch = &batch;
}

WriteBatch::Scope::~Scope() { currentBatch = previous_; }

}  // namespace regstore
