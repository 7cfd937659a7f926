#include "platform/classlib/core/object.h"

#include <map>
#include <mutex>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/strutils.h"

namespace {

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
    if (CompareText(c->name_, className) == 0) return true;
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
  return CompareText(ClassName(), name) == 0;
}

namespace classlib_detail {
ClassRegistrar::ClassRegistrar(TClass cls) { RegisterClass(cls); }
}  // namespace classlib_detail

void RegisterClass(TClass cls) {
  Registry& r = ClassRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  r.byName[UpperCase(cls->ClassName())] = cls;
}

void UnRegisterClass(TClass cls) {
  Registry& r = ClassRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto it = r.byName.find(UpperCase(cls->ClassName()));
  if (it != r.byName.end() && it->second == cls) r.byName.erase(it);
}

TClass GetClass(std::string_view className) {
  Registry& r = ClassRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto it = r.byName.find(UpperCase(className));
  return it == r.byName.end() ? nullptr : it->second;
}

TClass FindClass(std::string_view className) {
  TClass cls = GetClass(className);
  if (!cls) throw EClassNotFound("Class " + std::string(className) + " not found");
  return cls;
}
