#pragma once
// Creating a window's components in code: each gets its owner and its name
// (so FindComponent finds it) and, for controls, its parent.

#include <string>

#include "platform/classlib/controls/controls.h"

template <class C>
C* NewComponent(TComponent* owner, const std::string& name) {
  auto* c = new C(owner);
  c->SetName(name);
  return c;
}

template <class C>
C* NewControl(TComponent* owner, TWinControl* parent, const std::string& name,
              TAlign align = alNone) {
  auto* c = NewComponent<C>(owner, name);
  c->SetParent(parent);
  if (align != alNone) c->SetAlign(align);
  return c;
}
