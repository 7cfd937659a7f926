#pragma once
// Building the library's small windows in code: a control made, placed and
// parented in one call.

#include "platform/classlib/controls/controls.h"

template <class C>
C* wwAddControl(TWinControl* parent, TComponent* owner, int left, int top, int width, int height) {
  auto* c = new C(owner);
  c->SetBounds(left, top, width, height);
  c->SetParent(parent);
  return c;
}
