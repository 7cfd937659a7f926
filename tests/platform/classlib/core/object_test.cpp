#include <gtest/gtest.h>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/english_settings.h"

namespace {

class TAnimal : public TObject {
  DECLARE_CLASS(TAnimal, TObject)
};
class TDog : public TAnimal {
  DECLARE_CLASS(TDog, TAnimal)
};
class TShape : public TObject {
  DECLARE_CLASS(TShape, TObject)
 public:
  virtual double Area() const = 0;
};

}  // namespace

IMPLEMENT_CLASS(TAnimal, TObject)
IMPLEMENT_CLASS(TDog, TAnimal)
IMPLEMENT_CLASS(TShape, TObject)

TEST(ObjectTest, ClassNameAndAncestorChain) {
  TDog dog;
  EXPECT_EQ(dog.ClassName(), "TDog");
  EXPECT_TRUE(dog.ClassNameIs("tdog"));
  EXPECT_EQ(dog.ClassParent(), TAnimal::StaticClass());
  EXPECT_TRUE(dog.InheritsFrom(TAnimal::StaticClass()));
  EXPECT_TRUE(dog.InheritsFrom(TObject::StaticClass()));
  EXPECT_TRUE(dog.InheritsFrom("tanimal"));
  EXPECT_FALSE(dog.InheritsFrom("TShape"));
  TAnimal animal;
  EXPECT_FALSE(animal.InheritsFrom(TDog::StaticClass()));
}

TEST(ObjectTest, RegistryCreatesByNameAndRejectsUnknownOrAbstract) {
  TClass cls = FindClass("TDog");
  ASSERT_EQ(cls, TDog::StaticClass());
  TObject* obj = cls->Create();
  ASSERT_NE(obj, nullptr);
  EXPECT_EQ(obj->ClassName(), "TDog");
  delete obj;
  EXPECT_EQ(GetClass("TNoSuchClass"), nullptr);
  EXPECT_THROW(FindClass("TNoSuchClass"), EClassNotFound);
  EXPECT_TRUE(TShape::StaticClass()->IsAbstract());
  EXPECT_THROW(TShape::StaticClass()->Create(), EInvalidOperation);
}

TEST(ObjectTest, ExceptionsCarryMessageAndClass) {
  try {
    throw EReadError("Stream read error");
  } catch (const EStreamError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
    EXPECT_STREQ(e.what(), "Stream read error");
    EXPECT_EQ(e.ClassName(), "EReadError");
    EXPECT_TRUE(e.InheritsFrom("EFilerError"));
  }
  EXPECT_THROW(Abort(), EAbort);
}

#include "platform/classlib/core/persistent.h"

namespace {
class TPoint3 : public TPersistent {
  DECLARE_CLASS(TPoint3, TPersistent)
 public:
  int X = 0;
  void Assign(const TPersistent* source) override {
    if (auto* p = As<const TPoint3>(source)) {
      X = p->X;
      return;
    }
    TPersistent::Assign(source);
  }
};
}  // namespace
IMPLEMENT_CLASS(TPoint3, TPersistent)

TEST(PersistentTest, AssignCopiesOrRaisesConversionError) {
  TPoint3 a, b;
  a.X = 7;
  b.Assign(&a);
  EXPECT_EQ(b.X, 7);
  TPersistent plain;
  EXPECT_EQ(MessageOf<EConvertError>([&] { b.Assign(&plain); }),
            "Cannot assign a TPersistent to a TPoint3");
  EXPECT_THROW(b.Assign(nullptr), EConvertError);
  EXPECT_EQ(a.GetNamePath(), "TPoint3");
}
