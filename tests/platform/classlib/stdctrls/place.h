#pragma once
// Puts a new control of class C on a parent at the given bounds.

#include "platform/classlib/controls/controls.h"

namespace testing_support {

template <class C>
C* Place(TWinControl* parent, int left, int top, int w, int h) {
  auto* c = new C(parent);
  c->SetBounds(left, top, w, h);
  c->SetParent(parent);
  return c;
}

}  // namespace testing_support
