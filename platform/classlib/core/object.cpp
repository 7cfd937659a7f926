#include "platform/classlib/core/object.h"

#include <map>
#include <mutex>

#include "platform/classlib/core/exceptions.h"

namespace {

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

std::string UpperAscii(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return r;
}

struct Registry {
  std::mutex lock;
  std::map<std::string, TClass> byName;  // upper-cased class name → class
};

Registry& ClassRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

TClassInfo::TClassInfo(const char* name, TClass parent, Creator create)
    : name_(name), parent_(parent), create_(create) {}

bool TClassInfo::InheritsFrom(TClass other) const {
  for (TClass c = this; c; c = c->parent_)
    if (c == other) return true;
  return false;
}

bool TClassInfo::InheritsFrom(std::string_view className) const {
  for (TClass c = this; c; c = c->parent_)
    if (SameTextAscii(c->name_, className)) return true;
  return false;
}

TObject* TClassInfo::Create(TComponent* owner) const {
  if (!create_) throw EInvalidOperation("Cannot create an instance of abstract class " + name_);
  return create_(owner);
}

TClass TObject::StaticClass() {
  static const TClassInfo info("TObject", nullptr, nullptr);
  return &info;
}

bool TObject::ClassNameIs(std::string_view name) const {
  return SameTextAscii(ClassName(), name);
}

namespace classlib_detail {
ClassRegistrar::ClassRegistrar(TClass cls) { RegisterClass(cls); }
}  // namespace classlib_detail

void RegisterClass(TClass cls) {
  Registry& r = ClassRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  r.byName[UpperAscii(cls->ClassName())] = cls;
}

void UnRegisterClass(TClass cls) {
  Registry& r = ClassRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto it = r.byName.find(UpperAscii(cls->ClassName()));
  if (it != r.byName.end() && it->second == cls) r.byName.erase(it);
}

TClass GetClass(std::string_view className) {
  Registry& r = ClassRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto it = r.byName.find(UpperAscii(className));
  return it == r.byName.end() ? nullptr : it->second;
}

TClass FindClass(std::string_view className) {
  TClass cls = GetClass(className);
  if (!cls) throw EClassNotFound("Class " + std::string(className) + " not found");
  return cls;
}
