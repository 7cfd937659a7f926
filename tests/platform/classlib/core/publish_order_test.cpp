// A class may give an inherited published property a new default. Its block
// can run before its ancestor's when they live in different files (static
// initialisation order); here the derived class's block comes first in the
// file, which fixes that order within this file.

#include <gtest/gtest.h>

#include "platform/classlib/core/persistent.h"
#include "platform/classlib/core/typinfo.h"

namespace {

class TLateBase : public TPersistent {
  DECLARE_CLASS(TLateBase, TPersistent)
 public:
  int Color = 5;
};

class TEarlyDerived : public TLateBase {
  DECLARE_CLASS(TEarlyDerived, TLateBase)
 public:
  TEarlyDerived() { Color = 9; }
};

}  // namespace

IMPLEMENT_CLASS(TEarlyDerived, TLateBase)
PUBLISHED(TEarlyDerived) { PROP_DEFAULT(Color, 9); }

IMPLEMENT_CLASS(TLateBase, TPersistent)
PUBLISHED(TLateBase) { PROP_INT(Color, Color, Color, 5); }

TEST(PublishOrderTest, NewDefaultOfAnInheritedPropertyDeclaredBeforeTheAncestor) {
  const TPropInfo* base = GetPropInfo(TLateBase::StaticClass(), "Color");
  const TPropInfo* derived = GetPropInfo(TEarlyDerived::StaticClass(), "color");
  ASSERT_NE(base, nullptr);
  ASSERT_NE(derived, nullptr);
  EXPECT_EQ(base->Default, 5);
  EXPECT_EQ(derived->Default, 9);
  EXPECT_EQ(derived->Owner, TEarlyDerived::StaticClass());

  TEarlyDerived obj;
  EXPECT_TRUE(IsDefaultPropertyValue(&obj, derived));
  EXPECT_EQ(GetPropList(TEarlyDerived::StaticClass()).size(), 1u);
}
