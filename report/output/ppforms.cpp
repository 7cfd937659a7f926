#include "report/output/ppforms.h"

#include <map>
#include <string>

namespace {

// Base class name -> registered form class, for the program's life.
std::map<std::string, TClass>& Registry() {
  static std::map<std::string, TClass> registry;
  return registry;
}

}  // namespace

void ppRegisterForm(TClass formClass, TClass baseClass) {
  if (!formClass || !baseClass) return;
  ppUnregisterForm(baseClass);
  RegisterClass(formClass);
  Registry()[baseClass->ClassName()] = formClass;
}

void ppUnregisterForm(TClass baseClass) {
  if (!baseClass) return;
  auto it = Registry().find(baseClass->ClassName());
  if (it == Registry().end()) return;
  UnRegisterClass(it->second);
  Registry().erase(it);
}

TClass ppGetFormClass(TClass baseClass) {
  if (!baseClass) return nullptr;
  auto it = Registry().find(baseClass->ClassName());
  return it == Registry().end() ? nullptr : it->second;
}
