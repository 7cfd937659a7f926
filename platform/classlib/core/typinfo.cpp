#include "platform/classlib/core/typinfo.h"

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/strutils.h"

namespace classlib_detail {
bool SameIdent(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}
}  // namespace classlib_detail

using classlib_detail::SameIdent;

namespace {

// Property descriptors live as long as the program: classes publish them once.
std::deque<TPropInfo>& PropStore() {
  static std::deque<TPropInfo> store;
  return store;
}

struct PublishedMethod {
  std::string name;
  std::function<TMethod(TObject*)> bind;
};
std::map<TClass, std::vector<PublishedMethod>>& MethodTables() {
  static std::map<TClass, std::vector<PublishedMethod>> tables;
  return tables;
}

[[noreturn]] void UnknownProperty(std::string_view name) {
  throw EPropertyError("Property " + std::string(name) + " does not exist");
}

const char* KindName(TTypeKind kind) {
  switch (kind) {
    case tkInteger: return "Integer";
    case tkChar: return "Char";
    case tkEnumeration: return "Enumeration";
    case tkFloat: return "Float";
    case tkString: case tkLString: case tkWString: return "String";
    case tkSet: return "Set";
    case tkClass: return "Class";
    case tkMethod: return "Method";
    case tkWChar: return "WideChar";
    case tkVariant: return "Variant";
    case tkInt64: return "Int64";
    default: return "Unknown";
  }
}

[[noreturn]] void WrongType(const TPropInfo* prop) {
  throw EPropertyError("Invalid property type: " + std::string(KindName(prop->Kind)) +
                       " (property " + prop->Name + ")");
}

[[noreturn]] void ReadOnly(const TPropInfo* prop) {
  throw EPropertyError("Property " + prop->Name + " is read-only");
}

const TPropInfo* Require(const TObject* obj, std::string_view name) {
  const TPropInfo* prop = obj ? GetPropInfo(obj, name) : nullptr;
  if (!prop) UnknownProperty(name);
  return prop;
}

bool IsStringKind(TTypeKind kind) {
  return kind == tkString || kind == tkLString || kind == tkWString;
}

}  // namespace

// ---- Enumerations -------------------------------------------------------------

TEnumInfo::TEnumInfo(std::string typeName, std::string_view names)
    : typeName_(std::move(typeName)) {
  while (!names.empty()) {
    size_t comma = names.find(',');
    std::string item = Trim(names.substr(0, comma));
    // "alNone = 0" is accepted; the value is the position.
    size_t eq = item.find('=');
    if (eq != std::string::npos) item = Trim(item.substr(0, eq));
    if (!item.empty()) names_.emplace_back(item);
    if (comma == std::string_view::npos) break;
    names.remove_prefix(comma + 1);
  }
}

const std::string& TEnumInfo::Name(int64_t value) const {
  static const std::string empty;
  if (value < 0 || value >= Count()) return empty;
  return names_[static_cast<size_t>(value)];
}

int TEnumInfo::Value(std::string_view name) const {
  for (size_t i = 0; i < names_.size(); ++i)
    if (SameIdent(names_[i], name)) return static_cast<int>(i);
  return -1;
}

bool TIdentMap::IntToIdent(int64_t value, std::string& ident) const {
  for (const TIdentMapEntry& e : entries_)
    if (e.Value == value) {
      ident = e.Name;
      return true;
    }
  return false;
}

bool TIdentMap::IdentToInt(std::string_view ident, int64_t& value) const {
  for (const TIdentMapEntry& e : entries_)
    if (SameIdent(e.Name, ident)) {
      value = e.Value;
      return true;
    }
  return false;
}

const TEnumInfo& BooleanInfo() {
  static const TEnumInfo info("Boolean", "False, True");
  return info;
}

// ---- Declaration --------------------------------------------------------------

namespace classlib_detail {

namespace {

struct PendingBlocks {
  std::mutex lock;
  std::vector<std::pair<TClass, void (*)()>> queue;
  std::atomic<bool> any{false};
};

PendingBlocks& Pending() {
  static PendingBlocks pending;
  return pending;
}

// Set while blocks run, so that their own lookups of inherited properties do
// not try to run the queue again.
thread_local bool publishing = false;

void RunAncestorsFirst(TClass cls, std::map<TClass, void (*)()>& blocks) {
  if (!cls) return;
  RunAncestorsFirst(cls->ClassParent(), blocks);
  auto it = blocks.find(cls);
  if (it == blocks.end()) return;
  void (*publish)() = it->second;
  blocks.erase(it);
  publish();
}

}  // namespace

PublishRegistrar::PublishRegistrar(TClass cls, void (*publish)()) {
  PendingBlocks& pending = Pending();
  std::lock_guard<std::mutex> guard(pending.lock);
  pending.queue.emplace_back(cls, publish);
  pending.any.store(true, std::memory_order_release);
}

void EnsurePublished() {
  PendingBlocks& pending = Pending();
  if (publishing || !pending.any.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> guard(pending.lock);
  std::map<TClass, void (*)()> blocks(pending.queue.begin(), pending.queue.end());
  pending.queue.clear();
  pending.any.store(false, std::memory_order_release);
  publishing = true;
  try {
    while (!blocks.empty()) RunAncestorsFirst(blocks.begin()->first, blocks);
  } catch (...) {
    publishing = false;
    throw;
  }
  publishing = false;
}

TPropInfo& NewPropInfo(TClass owner, const char* name, TTypeKind kind) {
  TPropInfo& p = PropStore().emplace_back();
  p.Name = name;
  p.Kind = kind;
  p.Owner = owner;
  auto& own = owner->OwnProps();
  for (auto& existing : own)
    if (SameIdent(existing->Name, p.Name)) {
      existing = &p;
      return p;
    }
  own.push_back(&p);
  return p;
}

TPropInfo& RedeclarePropInfo(TClass owner, const char* name) {
  const TPropInfo* inherited = owner->ClassParent() ? GetPropInfo(owner->ClassParent(), name)
                                                    : nullptr;
  if (!inherited) UnknownProperty(name);
  TPropInfo copy = *inherited;
  TPropInfo& p = NewPropInfo(owner, name, copy.Kind);
  copy.Owner = owner;
  p = std::move(copy);
  return p;
}

void AddPublishedMethod(TClass owner, const char* name, std::function<TMethod(TObject*)> bind) {
  MethodTables()[owner].push_back({name, std::move(bind)});
}

void RaiseIncompatibleHandler(const TPropInfo& prop, const TMethod& method) {
  throw EPropertyError("Method " + method.Name + " has incompatible parameters for " + prop.Name);
}

void RaiseIncompatibleObject(const TPropInfo& prop, TObject* value) {
  throw EPropertyError("Invalid property value: a " + value->ClassName() +
                       " cannot be assigned to " + prop.Name);
}

}  // namespace classlib_detail

bool TPropInfo::IsReadable() const {
  switch (Kind) {
    case tkFloat: return static_cast<bool>(GetFloat);
    case tkString: case tkLString: case tkWString: return static_cast<bool>(GetStr);
    case tkClass: return static_cast<bool>(GetObj);
    case tkMethod: return static_cast<bool>(GetMethod);
    case tkVariant: return static_cast<bool>(GetVariant);
    default: return static_cast<bool>(GetOrd);
  }
}

bool TPropInfo::IsWritable() const {
  switch (Kind) {
    case tkFloat: return static_cast<bool>(SetFloat);
    case tkString: case tkLString: case tkWString: return static_cast<bool>(SetStr);
    case tkClass: return static_cast<bool>(SetObj);
    case tkMethod: return static_cast<bool>(SetMethod);
    case tkVariant: return static_cast<bool>(SetVariant);
    default: return static_cast<bool>(SetOrd);
  }
}

// ---- Lookup -----------------------------------------------------------------

const TPropInfo* GetPropInfo(TClass cls, std::string_view name) {
  classlib_detail::EnsurePublished();
  for (TClass c = cls; c; c = c->ClassParent())
    for (const TPropInfo* p : c->OwnProps())
      if (SameIdent(p->Name, name)) return p;
  return nullptr;
}

const TPropInfo* GetPropInfo(const TObject* obj, std::string_view name) {
  return obj ? GetPropInfo(obj->ClassType(), name) : nullptr;
}

std::vector<const TPropInfo*> GetPropList(TClass cls) {
  classlib_detail::EnsurePublished();
  std::vector<TClass> chain;
  for (TClass c = cls; c; c = c->ClassParent()) chain.push_back(c);
  std::vector<const TPropInfo*> list;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    for (const TPropInfo* p : (*it)->OwnProps()) {
      bool replaced = false;
      for (auto& existing : list)
        if (SameIdent(existing->Name, p->Name)) {
          existing = p;
          replaced = true;
          break;
        }
      if (!replaced) list.push_back(p);
    }
  return list;
}

std::vector<const TPropInfo*> GetPropList(const TObject* obj) {
  return obj ? GetPropList(obj->ClassType()) : std::vector<const TPropInfo*>{};
}

bool IsPublishedProp(const TObject* obj, std::string_view name) {
  return GetPropInfo(obj, name) != nullptr;
}

bool PropIsType(const TObject* obj, std::string_view name, TTypeKind kind) {
  return PropType(obj, name) == kind;
}

TTypeKind PropType(const TObject* obj, std::string_view name) {
  return Require(obj, name)->Kind;
}

// ---- Typed access -------------------------------------------------------------

int64_t GetOrdProp(TObject* obj, const TPropInfo* prop) {
  if (!prop->IsOrdinal()) WrongType(prop);
  if (!prop->GetOrd) throw EPropertyError("Property " + prop->Name + " is write-only");
  return prop->GetOrd(obj);
}

void SetOrdProp(TObject* obj, const TPropInfo* prop, int64_t value) {
  if (!prop->IsOrdinal()) WrongType(prop);
  if (!prop->SetOrd) ReadOnly(prop);
  prop->SetOrd(obj, value);
}

int64_t GetOrdProp(TObject* obj, std::string_view name) {
  return GetOrdProp(obj, Require(obj, name));
}
void SetOrdProp(TObject* obj, std::string_view name, int64_t value) {
  SetOrdProp(obj, Require(obj, name), value);
}

std::string GetEnumProp(TObject* obj, const TPropInfo* prop) {
  if (prop->Kind != tkEnumeration) WrongType(prop);
  int64_t v = GetOrdProp(obj, prop);
  const std::string& name = prop->EnumType->Name(v);
  return name.empty() ? std::to_string(v) : name;
}

void SetEnumProp(TObject* obj, const TPropInfo* prop, std::string_view ident) {
  if (prop->Kind != tkEnumeration) WrongType(prop);
  int v = prop->EnumType->Value(Trim(ident));
  if (v < 0) throw EPropertyConvertError("Invalid property element: " + std::string(ident));
  SetOrdProp(obj, prop, v);
}

std::string GetEnumProp(TObject* obj, std::string_view name) {
  return GetEnumProp(obj, Require(obj, name));
}
void SetEnumProp(TObject* obj, std::string_view name, std::string_view ident) {
  SetEnumProp(obj, Require(obj, name), ident);
}

std::string SetToString(const TEnumInfo& elements, uint64_t bits, bool brackets) {
  std::string text;
  for (int i = 0; i < elements.Count() && i < 64; ++i)
    if (bits & (uint64_t{1} << i)) {
      if (!text.empty()) text += ',';
      text += elements.Name(i);
    }
  return brackets ? "[" + text + "]" : text;
}

uint64_t StringToSet(const TEnumInfo& elements, std::string_view source) {
  std::string trimmed = Trim(source);
  std::string_view text = trimmed;
  if (!text.empty() && text.front() == '[') {
    if (text.back() != ']') throw EPropertyConvertError("Invalid property element: " + trimmed);
    text = text.substr(1, text.size() - 2);
  }
  uint64_t bits = 0;
  while (!Trim(text).empty()) {
    size_t comma = text.find(',');
    std::string item = Trim(text.substr(0, comma));
    int v = elements.Value(item);
    if (v < 0 || v >= 64)
      throw EPropertyConvertError("Invalid property element: " + std::string(item));
    bits |= uint64_t{1} << v;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return bits;
}

std::string GetSetProp(TObject* obj, const TPropInfo* prop, bool brackets) {
  if (prop->Kind != tkSet) WrongType(prop);
  return SetToString(*prop->EnumType, static_cast<uint64_t>(GetOrdProp(obj, prop)), brackets);
}

void SetSetProp(TObject* obj, const TPropInfo* prop, std::string_view text) {
  if (prop->Kind != tkSet) WrongType(prop);
  SetOrdProp(obj, prop, static_cast<int64_t>(StringToSet(*prop->EnumType, text)));
}

std::string GetSetProp(TObject* obj, std::string_view name, bool brackets) {
  return GetSetProp(obj, Require(obj, name), brackets);
}
void SetSetProp(TObject* obj, std::string_view name, std::string_view text) {
  SetSetProp(obj, Require(obj, name), text);
}

std::string GetStrProp(TObject* obj, const TPropInfo* prop) {
  if (!IsStringKind(prop->Kind)) WrongType(prop);
  if (!prop->GetStr) throw EPropertyError("Property " + prop->Name + " is write-only");
  return prop->GetStr(obj);
}

void SetStrProp(TObject* obj, const TPropInfo* prop, const std::string& value) {
  if (!IsStringKind(prop->Kind)) WrongType(prop);
  if (!prop->SetStr) ReadOnly(prop);
  prop->SetStr(obj, value);
}

std::string GetStrProp(TObject* obj, std::string_view name) {
  return GetStrProp(obj, Require(obj, name));
}
void SetStrProp(TObject* obj, std::string_view name, const std::string& value) {
  SetStrProp(obj, Require(obj, name), value);
}

double GetFloatProp(TObject* obj, const TPropInfo* prop) {
  if (prop->Kind != tkFloat) WrongType(prop);
  if (!prop->GetFloat) throw EPropertyError("Property " + prop->Name + " is write-only");
  return prop->GetFloat(obj);
}

void SetFloatProp(TObject* obj, const TPropInfo* prop, double value) {
  if (prop->Kind != tkFloat) WrongType(prop);
  if (!prop->SetFloat) ReadOnly(prop);
  prop->SetFloat(obj, value);
}

double GetFloatProp(TObject* obj, std::string_view name) {
  return GetFloatProp(obj, Require(obj, name));
}
void SetFloatProp(TObject* obj, std::string_view name, double value) {
  SetFloatProp(obj, Require(obj, name), value);
}

TObject* GetObjectProp(TObject* obj, const TPropInfo* prop) {
  if (prop->Kind != tkClass) WrongType(prop);
  if (!prop->GetObj) throw EPropertyError("Property " + prop->Name + " is write-only");
  return prop->GetObj(obj);
}

void SetObjectProp(TObject* obj, const TPropInfo* prop, TObject* value) {
  if (prop->Kind != tkClass) WrongType(prop);
  if (!prop->SetObj) ReadOnly(prop);
  prop->SetObj(obj, value);
}

TObject* GetObjectProp(TObject* obj, std::string_view name) {
  return GetObjectProp(obj, Require(obj, name));
}
void SetObjectProp(TObject* obj, std::string_view name, TObject* value) {
  SetObjectProp(obj, Require(obj, name), value);
}

TMethod GetMethodProp(TObject* obj, const TPropInfo* prop) {
  if (prop->Kind != tkMethod) WrongType(prop);
  if (!prop->GetMethod) throw EPropertyError("Property " + prop->Name + " is write-only");
  return prop->GetMethod(obj);
}

void SetMethodProp(TObject* obj, const TPropInfo* prop, const TMethod& value) {
  if (prop->Kind != tkMethod) WrongType(prop);
  if (!prop->SetMethod) ReadOnly(prop);
  prop->SetMethod(obj, value);
}

TMethod GetMethodProp(TObject* obj, std::string_view name) {
  return GetMethodProp(obj, Require(obj, name));
}
void SetMethodProp(TObject* obj, std::string_view name, const TMethod& value) {
  SetMethodProp(obj, Require(obj, name), value);
}

Variant GetVariantProp(TObject* obj, const TPropInfo* prop) {
  if (prop->Kind != tkVariant) WrongType(prop);
  if (!prop->GetVariant) throw EPropertyError("Property " + prop->Name + " is write-only");
  return prop->GetVariant(obj);
}

void SetVariantProp(TObject* obj, const TPropInfo* prop, const Variant& value) {
  if (prop->Kind != tkVariant) WrongType(prop);
  if (!prop->SetVariant) ReadOnly(prop);
  prop->SetVariant(obj, value);
}

// ---- Generic access -------------------------------------------------------------

namespace {

TPropValue FromVariant(const Variant& v) {
  switch (VarType(v) & varTypeMask) {
    case varEmpty: case varNull: return {};
    case varBoolean: return v.AsBoolean();
    case varSmallint: case varInteger: case varShortInt: case varByte: case varWord:
    case varLongWord: case varInt64:
      return v.AsInt64();
    case varSingle: case varDouble: case varCurrency: case varDate: return v.AsDouble();
    default: return VarToStr(v);
  }
}

Variant ToVariant(const TPropValue& v) {
  if (auto* b = std::get_if<bool>(&v)) return Variant(*b);
  if (auto* i = std::get_if<int64_t>(&v)) return Variant(static_cast<long long>(*i));
  if (auto* d = std::get_if<double>(&v)) return Variant(*d);
  if (auto* s = std::get_if<std::string>(&v)) return Variant(*s);
  if (std::get_if<TObject*>(&v)) throw EPropertyConvertError("Invalid property value");
  return Null;
}

}  // namespace

TPropValue GetPropValue(TObject* obj, std::string_view name) {
  const TPropInfo* prop = Require(obj, name);
  switch (prop->Kind) {
    case tkEnumeration:
      if (prop->EnumType == &BooleanInfo()) return GetOrdProp(obj, prop) != 0;
      return GetEnumProp(obj, prop);
    case tkSet: return GetSetProp(obj, prop);
    case tkChar: case tkWChar: return std::string(1, static_cast<char>(GetOrdProp(obj, prop)));
    case tkInteger: case tkInt64: return GetOrdProp(obj, prop);
    case tkFloat: return GetFloatProp(obj, prop);
    case tkString: case tkLString: case tkWString: return GetStrProp(obj, prop);
    case tkClass: return GetObjectProp(obj, prop);
    case tkMethod: return GetMethodProp(obj, prop).Name;
    case tkVariant: return FromVariant(GetVariantProp(obj, prop));
    default: WrongType(prop);
  }
}

namespace {

[[noreturn]] void InvalidValue(const TPropInfo* prop) {
  throw EPropertyConvertError("Invalid property value for " + prop->Name);
}

int64_t ValueAsInt(const TPropInfo* prop, const TPropValue& value) {
  if (auto* i = std::get_if<int64_t>(&value)) return *i;
  if (auto* b = std::get_if<bool>(&value)) return *b ? 1 : 0;
  if (auto* d = std::get_if<double>(&value)) return static_cast<int64_t>(*d);
  if (auto* s = std::get_if<std::string>(&value)) {
    int64_t named = 0;
    if (prop->Idents && prop->Idents->IdentToInt(Trim(*s), named)) return named;
    std::string t = Trim(*s);
    if (t.empty()) InvalidValue(prop);
    size_t i = t.front() == '-' || t.front() == '+' ? 1 : 0;
    if (i == t.size()) InvalidValue(prop);
    int64_t result = 0;
    for (; i < t.size(); ++i) {
      if (t[i] < '0' || t[i] > '9' || result > (INT64_MAX - 9) / 10) InvalidValue(prop);
      result = result * 10 + (t[i] - '0');
    }
    return t.front() == '-' ? -result : result;
  }
  InvalidValue(prop);
}

}  // namespace

void SetPropValue(TObject* obj, std::string_view name, const TPropValue& value) {
  const TPropInfo* prop = Require(obj, name);
  const std::string* text = std::get_if<std::string>(&value);
  switch (prop->Kind) {
    case tkEnumeration:
      if (text) SetEnumProp(obj, prop, *text);
      else SetOrdProp(obj, prop, ValueAsInt(prop, value));
      return;
    case tkSet:
      if (text) SetSetProp(obj, prop, *text);
      else SetOrdProp(obj, prop, ValueAsInt(prop, value));
      return;
    case tkChar: case tkWChar:
      if (text) {
        if (text->size() != 1) InvalidValue(prop);
        SetOrdProp(obj, prop, static_cast<unsigned char>((*text)[0]));
      } else {
        SetOrdProp(obj, prop, ValueAsInt(prop, value));
      }
      return;
    case tkInteger: case tkInt64: SetOrdProp(obj, prop, ValueAsInt(prop, value)); return;
    case tkFloat:
      if (auto* d = std::get_if<double>(&value)) SetFloatProp(obj, prop, *d);
      else SetFloatProp(obj, prop, static_cast<double>(ValueAsInt(prop, value)));
      return;
    case tkString: case tkLString: case tkWString:
      if (!text) InvalidValue(prop);
      SetStrProp(obj, prop, *text);
      return;
    case tkClass:
      if (auto* o = std::get_if<TObject*>(&value)) SetObjectProp(obj, prop, *o);
      else if (std::holds_alternative<std::monostate>(value)) SetObjectProp(obj, prop, nullptr);
      else InvalidValue(prop);
      return;
    case tkMethod:
      // Handlers are named relative to a root component; the streamer resolves
      // them. Here only clearing is meaningful.
      if (!text || !text->empty()) InvalidValue(prop);
      SetMethodProp(obj, prop, TMethod{});
      return;
    case tkVariant: SetVariantProp(obj, prop, ToVariant(value)); return;
    default: WrongType(prop);
  }
}

// ---- Stored and default --------------------------------------------------------

bool IsDefaultPropertyValue(TObject* obj, const TPropInfo* prop) {
  switch (prop->Kind) {
    case tkFloat: return GetFloatProp(obj, prop) == prop->FloatDefault;
    case tkString: case tkLString: case tkWString: return GetStrProp(obj, prop) == prop->StrDefault;
    case tkClass: return GetObjectProp(obj, prop) == nullptr;
    case tkMethod: return !GetMethodProp(obj, prop).Assigned();
    case tkVariant: return GetVariantProp(obj, prop).IsEmpty();
    default: return prop->HasDefault && GetOrdProp(obj, prop) == prop->Default;
  }
}

bool IsStoredProp(TObject* obj, const TPropInfo* prop) {
  if (!prop->StoredFlag) return false;
  if (prop->StoredFunc && !prop->StoredFunc(obj)) return false;
  return true;
}

// ---- Published methods ----------------------------------------------------------

TMethod MethodAddress(TObject* instance, std::string_view name) {
  if (!instance) return {};
  classlib_detail::EnsurePublished();
  const auto& tables = MethodTables();
  for (TClass c = instance->ClassType(); c; c = c->ClassParent()) {
    auto it = tables.find(c);
    if (it == tables.end()) continue;
    for (const PublishedMethod& m : it->second)
      if (SameIdent(m.name, name)) return m.bind(instance);
  }
  return {};
}

std::string MethodName(TObject* instance, const TMethod& method) {
  if (!instance || method.Data != instance || method.Name.empty()) return {};
  return MethodAddress(instance, method.Name).Assigned() ? method.Name : std::string();
}
