#include "platform/classlib/core/typinfo.h"

#include <gtest/gtest.h>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/persistent.h"
#include "platform/classlib/core/english_settings.h"

namespace {

DECLARE_ENUM(TGadgetAlign, gaNone, gaTop, gaBottom, gaClient)
DECLARE_ENUM(TGadgetOption, goBorder, goShadow, goRounded)
using TGadgetOptions = TSet<TGadgetOption>;

class TGadget : public TPersistent {
  DECLARE_CLASS(TGadget, TPersistent)
 public:
  std::function<void(TObject*)> OnClick;
  std::function<void(TObject*, int&)> OnMeasure;
  int Tag() const { return FTag; }
  int Width() const { return FWidth; }
  void SetWidth(int w) {
    FWidth = w;
    ++widthSets;
  }
  int widthSets = 0;

 private:
  bool IsWidthStored() const { return FWidth != 42; }
  int FTag = 0;
  int FWidth = 10;
  int64_t FBig = 0;
  bool FVisible = true;
  char FMark = '*';
  TGadgetAlign FAlign = gaNone;
  TGadgetOptions FOptions{goBorder};
  double FRatio = 0;
  float FScale = 1.5f;
  std::string FCaption;
  TGadget* FBuddy = nullptr;
  uint8_t FSmall = 0;
};

class TFancyGadget : public TGadget {
  DECLARE_CLASS(TFancyGadget, TGadget)
 public:
  std::string FHint;
  int clicks = 0;
  void HandleClick(TObject*) { ++clicks; }
  void HandleMeasure(TObject*, int& size) { size = 99; }
};

}  // namespace

IMPLEMENT_CLASS(TGadget, TPersistent)
PUBLISHED(TGadget) {
  PROP_INT(Tag, FTag, FTag, 0);
  PROP_INT(Width, Width, SetWidth, 10).Stored(&Class::IsWidthStored);
  PROP_INT(Big, FBig, FBig, 0);
  PROP_INT(Small, FSmall, FSmall, 0);
  PROP_BOOL(Visible, FVisible, FVisible, true);
  PROP_CHAR(Mark, FMark, FMark, '*');
  PROP_ENUM(Align, FAlign, FAlign, gaNone);
  PROP_SET(Options, FOptions, FOptions, TGadgetOptions{goBorder});
  PROP_FLOAT(Ratio, FRatio, FRatio, 0.0);
  PROP_FLOAT(Scale, FScale, FScale, 1.5);
  PROP_STR(Caption, FCaption, FCaption, "");
  PROP_OBJ(Buddy, FBuddy, FBuddy);
  PROP_EVENT(OnClick);
  PROP_EVENT(OnMeasure);
  P.Int("ReadOnlyTag", &Class::Tag, nullptr, 0);
}

IMPLEMENT_CLASS(TFancyGadget, TGadget)
PUBLISHED(TFancyGadget) {
  PROP_STR(Hint, FHint, FHint, "");
  PROP_DEFAULT(Align, gaClient);
  PUBLISHED_METHOD(HandleClick);
  PUBLISHED_METHOD(HandleMeasure);
}

TEST(TypInfoTest, LookupIsCaseInsensitiveAndFollowsTheAncestorChain) {
  TFancyGadget g;
  ASSERT_NE(GetPropInfo(&g, "tag"), nullptr);
  EXPECT_EQ(GetPropInfo(&g, "TAG")->Name, "Tag");
  EXPECT_EQ(GetPropInfo(&g, "Tag")->Owner, TGadget::StaticClass());
  EXPECT_EQ(GetPropInfo(&g, "hint")->Owner, TFancyGadget::StaticClass());
  EXPECT_EQ(GetPropInfo(TGadget::StaticClass(), "Hint"), nullptr);
  EXPECT_EQ(GetPropInfo(&g, "NoSuch"), nullptr);
  EXPECT_FALSE(IsPublishedProp(&g, "NoSuch"));
  EXPECT_TRUE(PropIsType(&g, "Visible", tkEnumeration));
  EXPECT_EQ(PropType(&g, "Big"), tkInt64);
  EXPECT_EQ(PropType(&g, "Mark"), tkChar);
  EXPECT_EQ(PropType(&g, "Buddy"), tkClass);
  EXPECT_EQ(GetPropInfo(&g, "Buddy")->PropClass, TGadget::StaticClass());
  EXPECT_EQ(GetPropInfo(&g, "Small")->OrdType, otUByte);
  EXPECT_EQ(GetPropInfo(&g, "Scale")->FloatType, TFloatType::Single);
  EXPECT_EQ(MessageOf<EPropertyError>([&] { GetOrdProp(&g, "NoSuch"); }),
            "Property NoSuch does not exist");
}

TEST(TypInfoTest, PropListPutsAncestorsFirstAndRedeclarationsInPlace) {
  auto list = GetPropList(TFancyGadget::StaticClass());
  ASSERT_GE(list.size(), 3u);
  EXPECT_EQ(list[0]->Name, "Tag");
  EXPECT_EQ(list.back()->Name, "Hint");
  int alignCount = 0;
  size_t alignPos = 0;
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i]->Name == "Align") {
      ++alignCount;
      alignPos = i;
    }
  EXPECT_EQ(alignCount, 1);
  EXPECT_EQ(list[alignPos]->Owner, TFancyGadget::StaticClass());
  EXPECT_EQ(list[alignPos]->Default, gaClient);
  EXPECT_EQ(GetPropInfo(TGadget::StaticClass(), "Align")->Default, gaNone);
  EXPECT_EQ(GetPropList(TGadget::StaticClass()).size() + 1, list.size());
}

TEST(TypInfoTest, TypedGetAndSetGoThroughAccessors) {
  TGadget g;
  SetOrdProp(&g, "Width", 77);
  EXPECT_EQ(g.Width(), 77);
  EXPECT_EQ(g.widthSets, 1);
  EXPECT_EQ(GetOrdProp(&g, "width"), 77);
  SetOrdProp(&g, "Big", int64_t{1} << 40);
  EXPECT_EQ(GetOrdProp(&g, "Big"), int64_t{1} << 40);
  SetOrdProp(&g, "Mark", 0xE9);
  EXPECT_EQ(GetOrdProp(&g, "Mark"), 0xE9);  // chars are unsigned ordinals
  SetStrProp(&g, "Caption", "Hello");
  EXPECT_EQ(GetStrProp(&g, "caption"), "Hello");
  SetFloatProp(&g, "Ratio", 2.25);
  EXPECT_DOUBLE_EQ(GetFloatProp(&g, "Ratio"), 2.25);
  TGadget other;
  SetObjectProp(&g, "Buddy", &other);
  EXPECT_EQ(GetObjectProp(&g, "Buddy"), &other);
  TPersistent wrongClass;
  EXPECT_THROW(SetObjectProp(&g, "Buddy", &wrongClass), EPropertyError);
  EXPECT_EQ(GetObjectProp(&g, "Buddy"), &other);
  EXPECT_THROW(GetStrProp(&g, "Width"), EPropertyError);   // wrong kind
  EXPECT_THROW(SetOrdProp(&g, "ReadOnlyTag", 1), EPropertyError);
  EXPECT_EQ(GetOrdProp(&g, "ReadOnlyTag"), 0);
}

TEST(TypInfoTest, EnumerationsAndSetsByIdentifier) {
  TGadget g;
  EXPECT_EQ(GetEnumProp(&g, "Align"), "gaNone");
  SetEnumProp(&g, "Align", "GACLIENT");
  EXPECT_EQ(GetOrdProp(&g, "Align"), gaClient);
  EXPECT_THROW(SetEnumProp(&g, "Align", "gaSideways"), EPropertyConvertError);
  EXPECT_EQ(GetOrdProp(&g, "Align"), gaClient);
  EXPECT_EQ(GetEnumProp(&g, "Visible"), "True");
  SetEnumProp(&g, "Visible", "false");
  EXPECT_EQ(GetOrdProp(&g, "Visible"), 0);

  EXPECT_EQ(GetSetProp(&g, "Options"), "goBorder");
  SetSetProp(&g, "Options", "[goShadow, goRounded]");
  EXPECT_EQ(GetSetProp(&g, "Options", true), "[goShadow,goRounded]");
  SetSetProp(&g, "Options", "");
  EXPECT_EQ(GetSetProp(&g, "Options", true), "[]");
  EXPECT_THROW(SetSetProp(&g, "Options", "goBorder,goSquare"), EPropertyConvertError);
  EXPECT_THROW(SetSetProp(&g, "Options", "[goBorder"), EPropertyConvertError);

  const TEnumInfo& info = EnumInfo(gaNone);
  EXPECT_EQ(info.Count(), 4);
  EXPECT_EQ(GetEnumName(info, 2), "gaBottom");
  EXPECT_EQ(GetEnumName(info, 9), "");
  EXPECT_EQ(GetEnumValue(info, "gatop"), 1);
  EXPECT_EQ(GetEnumValue(info, "x"), -1);
}

TEST(TypInfoTest, GenericValuesConvertIdentifiersAndText) {
  TGadget g;
  SetPropValue(&g, "Align", std::string("gaBottom"));
  EXPECT_EQ(std::get<std::string>(GetPropValue(&g, "Align")), "gaBottom");
  SetPropValue(&g, "Visible", false);
  EXPECT_EQ(std::get<bool>(GetPropValue(&g, "Visible")), false);
  SetPropValue(&g, "Tag", std::string("-12"));
  EXPECT_EQ(std::get<int64_t>(GetPropValue(&g, "Tag")), -12);
  EXPECT_THROW(SetPropValue(&g, "Tag", std::string("12x")), EPropertyConvertError);
  EXPECT_THROW(SetPropValue(&g, "Tag", std::string("99999999999999999999")),
               EPropertyConvertError);
  SetPropValue(&g, "Options", std::string("goRounded"));
  EXPECT_EQ(std::get<std::string>(GetPropValue(&g, "Options")), "goRounded");
  SetPropValue(&g, "Mark", std::string("#"));
  EXPECT_EQ(GetOrdProp(&g, "Mark"), '#');
  EXPECT_THROW(SetPropValue(&g, "Caption", int64_t{3}), EPropertyConvertError);
}

TEST(TypInfoTest, StoredRulesAndDefaults) {
  TGadget g;
  const TPropInfo* width = GetPropInfo(&g, "Width");
  EXPECT_TRUE(IsDefaultPropertyValue(&g, width));
  g.SetWidth(42);
  EXPECT_FALSE(IsDefaultPropertyValue(&g, width));
  EXPECT_FALSE(IsStoredProp(&g, width));  // the predicate says 42 is implied
  g.SetWidth(43);
  EXPECT_TRUE(IsStoredProp(&g, width));
  EXPECT_TRUE(IsDefaultPropertyValue(&g, GetPropInfo(&g, "Scale")));
  SetFloatProp(&g, "Scale", 2);
  EXPECT_FALSE(IsDefaultPropertyValue(&g, GetPropInfo(&g, "Scale")));
  EXPECT_TRUE(IsDefaultPropertyValue(&g, GetPropInfo(&g, "Options")));
  SetSetProp(&g, "Options", "");
  EXPECT_FALSE(IsDefaultPropertyValue(&g, GetPropInfo(&g, "Options")));
  TFancyGadget f;
  EXPECT_FALSE(IsDefaultPropertyValue(&f, GetPropInfo(&f, "Align")));  // gaNone vs gaClient
  SetEnumProp(&f, "Align", "gaClient");
  EXPECT_TRUE(IsDefaultPropertyValue(&f, GetPropInfo(&f, "Align")));
}

TEST(TypInfoTest, EventsCarryPublishedHandlerNames) {
  TFancyGadget form;
  TGadget button;
  TMethod click = MethodAddress(&form, "handleclick");
  ASSERT_TRUE(click.Assigned());
  EXPECT_EQ(click.Name, "HandleClick");
  EXPECT_FALSE(MethodAddress(&form, "NoSuchHandler").Assigned());
  EXPECT_FALSE(MethodAddress(&button, "HandleClick").Assigned());

  SetMethodProp(&button, "OnClick", click);
  ASSERT_TRUE(button.OnClick);
  button.OnClick(&button);
  EXPECT_EQ(form.clicks, 1);
  TMethod back = GetMethodProp(&button, "OnClick");
  EXPECT_EQ(back.Name, "HandleClick");
  EXPECT_EQ(back.Data, &form);
  EXPECT_EQ(MethodName(&form, back), "HandleClick");
  EXPECT_EQ(std::get<std::string>(GetPropValue(&button, "OnClick")), "HandleClick");

  // A handler with the wrong parameters is refused, the event stays as it was.
  EXPECT_THROW(SetMethodProp(&button, "OnMeasure", click), EPropertyError);
  EXPECT_FALSE(button.OnMeasure);
  SetMethodProp(&button, "OnMeasure", MethodAddress(&form, "HandleMeasure"));
  int size = 0;
  button.OnMeasure(&button, size);
  EXPECT_EQ(size, 99);

  // Handlers assigned in code have no name that a stream could carry.
  button.OnClick = [](TObject*) {};
  TMethod anonymous = GetMethodProp(&button, "OnClick");
  EXPECT_TRUE(anonymous.Assigned());
  EXPECT_EQ(anonymous.Name, "");
  EXPECT_EQ(MethodName(&form, anonymous), "");
  SetMethodProp(&button, "OnClick", TMethod{});
  EXPECT_FALSE(button.OnClick);
}

TEST(TypInfoTest, TSetOperations) {
  TGadgetOptions a{goBorder, goShadow};
  TGadgetOptions b{goShadow};
  EXPECT_TRUE(b <= a);
  EXPECT_FALSE(a <= b);
  EXPECT_EQ(a - b, TGadgetOptions{goBorder});
  EXPECT_EQ(a * b, b);
  EXPECT_EQ(b + TGadgetOptions{goRounded}, (TGadgetOptions{goShadow, goRounded}));
  a.Exclude(goBorder).Include(goRounded);
  EXPECT_TRUE(a.Contains(goRounded));
  EXPECT_FALSE(a.Contains(goBorder));
  EXPECT_TRUE(TGadgetOptions{}.Empty());
}
