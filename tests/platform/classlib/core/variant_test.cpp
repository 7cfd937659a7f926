#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <type_traits>

#include "platform/classlib/core/english_settings.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/variant.h"

namespace {

using VariantTest = EnglishSettingsTest;

std::string VariantErrorOf(const std::function<void()>& action) {
  return MessageOf<EVariantError>(action);
}

std::string CannotConvert(const std::string& from, const std::string& to) {
  return "Could not convert variant of type (" + from + ") into type (" + to + ")";
}

}  // namespace

TEST_F(VariantTest, ConstructionFollowsTheCppType) {
  Variant assigned = 3;
  const std::pair<Variant, TVarType> types[] = {
      {Variant(), varEmpty},          {Null, varNull},
      {Unassigned, varEmpty},         {assigned, varInteger},
      {(assigned = "text"), varOleStr}, {(assigned = std::string("text")), varOleStr},
      {(assigned = true), varBoolean}, {(assigned = 2.5), varDouble},
      {Variant(2.5f), varSingle},     {Variant(short(1)), varSmallint},
      {Variant(std::uint8_t(1)), varByte}, {Variant(std::int8_t(1)), varShortInt},
      {Variant(std::uint16_t(1)), varWord}, {Variant(1u), varLongWord},
      {Variant(std::int64_t(1)), varInt64}, {Variant(1LL), varInt64},
      {Variant(std::size_t(1)), varInt64}, {Variant(Currency(1)), varCurrency},
      {Variant(EncodeDate(2024, 1, 1)), varDate}, {Variant('c'), varOleStr}};
  for (const auto& [v, type] : types) EXPECT_EQ(VarType(v), type) << VarTypeAsText(type);
  EXPECT_THROW(Variant{std::numeric_limits<std::uint64_t>::max()}, EVariantOverflowError);
  char buffer[] = "mutable";
  EXPECT_EQ(Variant(buffer).AsString(), "mutable");
  EXPECT_TRUE(VarIsNull(Null));
  EXPECT_TRUE(VarIsEmpty(Variant()));
  EXPECT_FALSE(VarIsEmpty(Variant(0)));
}

TEST_F(VariantTest, ErrorVariantsCarryTheirCode) {
  const Variant missing = Variant::FromError(DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(VarType(missing), varError);
  EXPECT_EQ(missing.ErrorCode(), 0x80020004u);
  EXPECT_EQ(VariantErrorOf([&] { (void)missing.AsInteger(); }), CannotConvert("Error", "Integer"));
  EXPECT_EQ(VariantErrorOf([] { (void)Variant(1).ErrorCode(); }),
            CannotConvert("Integer", "Error"));
  EXPECT_TRUE(missing == Variant::FromError(DISP_E_PARAMNOTFOUND));
  EXPECT_FALSE(missing == Variant(0));
}

TEST_F(VariantTest, NumbersAndTexts) {
  EXPECT_EQ(Variant(42).AsString(), "42");
  EXPECT_EQ(Variant(-2.5).AsString(), "-2.5");
  EXPECT_EQ(Variant(0.1f).AsString(), "0.1");  // single precision reads as written
  EXPECT_EQ(Variant(Currency::FromRaw(12345)).AsString(), "1.2345");
  EXPECT_EQ(Variant("  17 ").AsInteger(), 17);
  EXPECT_EQ(Variant("$1F").AsInteger(), 31);
  EXPECT_EQ(Variant("2.5").AsInteger(), 2);   // half to even
  EXPECT_EQ(Variant("3.5").AsInteger(), 4);
  EXPECT_EQ(Variant(-2.5).AsInteger(), -2);
  EXPECT_EQ(Variant(Currency::FromRaw(25000)).AsInteger(), 2);
  EXPECT_EQ(Variant(Currency::FromRaw(-35000)).AsInteger(), -4);
  EXPECT_DOUBLE_EQ(Variant("1.5e2").AsDouble(), 150);
  EXPECT_EQ(Variant("12.34567").AsCurrency(), Currency::FromRaw(123457));
  EXPECT_EQ(Variant(Unassigned).AsInteger(), 0);
  EXPECT_EQ(Variant(Unassigned).AsString(), "");
  EXPECT_EQ(Variant(3000000000LL).AsInt64(), 3000000000LL);
  EXPECT_EQ(static_cast<int>(Variant("5")), 5);
  EXPECT_EQ(static_cast<std::string>(Variant(5)), "5");

  FormatSettings.DecimalSeparator = ',';
  EXPECT_EQ(Variant(2.5).AsString(), "2,5");
  EXPECT_DOUBLE_EQ(Variant("2,5").AsDouble(), 2.5);
}

TEST_F(VariantTest, BooleansAreMinusOneAndZero) {
  EXPECT_EQ(Variant(true).AsInteger(), -1);
  EXPECT_EQ(Variant(false).AsInteger(), 0);
  EXPECT_EQ(Variant(true).AsString(), "True");
  EXPECT_EQ(Variant(false).AsString(), "False");
  EXPECT_TRUE(Variant("true").AsBoolean());
  EXPECT_FALSE(Variant("FALSE").AsBoolean());
  EXPECT_TRUE(Variant("-1").AsBoolean());
  EXPECT_TRUE(Variant(2).AsBoolean());
  EXPECT_FALSE(Variant(0.0).AsBoolean());
  EXPECT_EQ(VarAsType(Variant(7), varBoolean), Variant(true));
  EXPECT_EQ(VarType(VarAsType(Variant(7), varBoolean)), varBoolean);
  EXPECT_DOUBLE_EQ(Variant(true).AsDouble(), -1);
  EXPECT_EQ(Variant::FromType(varBoolean, 5).AsInteger(), -1);
}

TEST_F(VariantTest, DatesAndTexts) {
  const TDateTime when = EncodeDate(2024, 2, 29) + EncodeTime(13, 30, 0, 0);
  EXPECT_EQ(Variant(when).AsString(), "2/29/2024 1:30:00 PM");
  EXPECT_EQ(Variant(EncodeDate(2024, 2, 29)).AsString(), "2/29/2024");
  EXPECT_EQ(Variant(TDateTime(EncodeTime(9, 5, 0, 0))).AsString(), "9:05:00 AM");
  EXPECT_DOUBLE_EQ(Variant("2/29/2024 1:30 PM").AsDateTime(), when);
  EXPECT_DOUBLE_EQ(VarToDateTime(Variant("45000")), 45000);
  EXPECT_DOUBLE_EQ(Variant(45000).AsDateTime(), 45000);
  EXPECT_DOUBLE_EQ(VarAsType(Variant("2/29/2024"), varDate).AsDouble(), EncodeDate(2024, 2, 29));
  EXPECT_EQ(VarType(VarAsType(Variant(1.5), varDate)), varDate);
  EXPECT_EQ(VarType(VarFromDateTime(EncodeDate(2024, 1, 1) + EncodeTime(1, 0, 0, 0))), varDate);
  EXPECT_EQ(VariantErrorOf([] { (void)Variant("2/30/2024").AsDateTime(); }),
            CannotConvert("String", "Date"));
}

TEST_F(VariantTest, ImpossibleConversionsRaise) {
  const struct { void (*convert)(); const char* from; const char* to; } cases[] = {
      {[] { (void)Null.AsInteger(); }, "Null", "Integer"},
      {[] { (void)Null.AsString(); }, "Null", "String"},
      {[] { (void)Variant("abc").AsDouble(); }, "String", "Double"},
      {[] { (void)Variant("abc").AsBoolean(); }, "String", "Boolean"},
      {[] { (void)Variant("abc").AsCurrency(); }, "String", "Currency"},
      {[] { (void)VarArrayOf({1, 2}).AsInteger(); }, "Array Variant", "Integer"},
  };
  for (const auto& c : cases) EXPECT_EQ(VariantErrorOf(c.convert), CannotConvert(c.from, c.to));
  EXPECT_EQ(VariantErrorOf([] { (void)Variant(3000000000LL).AsInteger(); }), "Variant overflow");
  EXPECT_EQ(VariantErrorOf([] { (void)Variant(1e300).AsInt64(); }), "Variant overflow");
  EXPECT_EQ(VariantErrorOf([] { (void)Variant(1e300).AsCurrency(); }), "Variant overflow");
  EXPECT_EQ(VariantErrorOf([] { (void)VarAsType(Variant(300), varByte); }), "Variant overflow");
  EXPECT_EQ(VariantErrorOf([] { (void)VarAsType(Variant(-1), varWord); }), "Variant overflow");
  EXPECT_EQ(VariantErrorOf([] { (void)VarAsType(Variant(1e39), varSingle); }), "Variant overflow");
  EXPECT_EQ(VariantErrorOf([] { (void)VarAsType(Variant(1), TVarType(0x55)); }),
            "Invalid variant type conversion");
}

TEST_F(VariantTest, VarAsTypeAndVarToStr) {
  EXPECT_EQ(VarType(VarAsType(Variant("12"), varSmallint)), varSmallint);
  EXPECT_EQ(VarAsType(Variant("12"), varSmallint).AsInteger(), 12);
  EXPECT_EQ(VarType(VarAsType(Variant(12), varString)), varOleStr);
  EXPECT_EQ(VarType(VarAsType(Variant(12), varCurrency)), varCurrency);
  EXPECT_EQ(VarType(VarAsType(Variant(1), varNull)), varNull);
  EXPECT_EQ(VarToStr(Null), "");
  EXPECT_EQ(VarToStrDef(Null, "n/a"), "n/a");
  EXPECT_EQ(VarToStr(Variant(5)), "5");
  EXPECT_EQ(VarTypeAsText(varArray | varByte), "Array Byte");
  EXPECT_EQ(VarTypeAsText(0x77), "$0077");
  EXPECT_TRUE(VarIsNumeric(Variant(Currency(1))));
  EXPECT_FALSE(VarIsNumeric(Variant("1")));
  EXPECT_TRUE(VarIsStr(Variant("1")));
}

TEST_F(VariantTest, EqualityRules) {
  // Numbers compare by value, texts by their number or exactly, Null only with Null.
  const struct { Variant a, b; bool equal; } pairs[] = {
      {Null, Null, true},                  {Null, Variant(0), false},
      {Null, Unassigned, false},           {Unassigned, Variant(0), true},
      {Unassigned, Variant(""), true},     {Unassigned, Unassigned, true},
      {Unassigned, Variant("x"), false},   {Variant(2), Variant(2.0), true},
      {Variant(short(2)), Variant(2LL), true}, {Variant("2"), Variant(2), true},
      {Variant("two"), Variant(2), false},  // no error for equality
      {Variant("abc"), Variant("ABC"), false}, {Variant(true), Variant(-1), true},
      {Variant(Currency::FromRaw(15000)), Variant(1.5), true},
      {VarArrayOf({1, "x"}), VarArrayOf({1, "x"}), true},
      {VarArrayOf({1, "x"}), VarArrayOf({1, "y"}), false}, {VarArrayOf({1}), Variant(1), false}};
  for (const auto& p : pairs) {
    EXPECT_EQ(p.a == p.b, p.equal) << VarToStr(p.a) << " = " << VarToStr(p.b);
    EXPECT_EQ(p.a != p.b, !p.equal) << VarToStr(p.a) << " <> " << VarToStr(p.b);
  }
  EXPECT_TRUE(Variant(3) == 3);
  EXPECT_TRUE(3 == Variant(3));
  const TDateTime day = EncodeDate(2024, 2, 29);
  EXPECT_TRUE(Variant("2/29/2024") == Variant(day));
  EXPECT_TRUE(Variant(day) == Variant("2/29/2024"));
  EXPECT_FALSE(Variant(day) == Variant("someday"));
  EXPECT_TRUE(Variant("3/1/2024") > Variant(day));
}

TEST_F(VariantTest, Ordering) {
  EXPECT_TRUE(Null < Variant(-1000));
  EXPECT_FALSE(Variant(-1000) < Null);
  EXPECT_FALSE(Null < Null);
  EXPECT_TRUE(Variant(1) < Variant(1.5));
  EXPECT_TRUE(Variant("apple") < Variant("Banana"));
  EXPECT_TRUE(Variant("10") > Variant(9));
  EXPECT_TRUE(Unassigned < Variant(1));
  EXPECT_TRUE(Unassigned < Variant("a"));
  EXPECT_TRUE(Variant(9223372036854775806LL) < Variant(9223372036854775807LL));
  EXPECT_TRUE(Variant(EncodeDate(2020, 1, 1)) < Variant(EncodeDate(2021, 1, 1)));
  EXPECT_EQ(VariantErrorOf([] { (void)(Variant("abc") < Variant(1)); }),
            CannotConvert("String", "Double"));
  EXPECT_EQ(VariantErrorOf([] { (void)(VarArrayOf({1}) < Variant(1)); }),
            "Invalid variant operation");
}

TEST_F(VariantTest, Arithmetic) {
  EXPECT_EQ(VarType(Variant(2) + Variant(3)), varInteger);
  EXPECT_EQ((Variant(2) + Variant(3)).AsInteger(), 5);
  EXPECT_EQ(VarType(Variant(2147483647) + Variant(1)), varInt64);
  EXPECT_EQ((Variant(2147483647) + Variant(1)).AsInt64(), 2147483648LL);
  EXPECT_DOUBLE_EQ((Variant(1) / Variant(4)).AsDouble(), 0.25);
  EXPECT_DOUBLE_EQ((Variant(1.5) * Variant(2)).AsDouble(), 3.0);
  EXPECT_EQ((Variant("ab") + Variant("cd")).AsString(), "abcd");
  EXPECT_EQ((Variant("2") + Variant(3)).AsInteger(), 5);
  EXPECT_TRUE(VarIsNull(Variant(1) + Null));
  EXPECT_TRUE(VarIsNull(Null * Variant(2)));
  EXPECT_EQ((Unassigned + Variant(4)).AsInteger(), 4);
  EXPECT_EQ(VarType(Variant(Currency::FromRaw(1)) + Variant(1)), varCurrency);
  EXPECT_EQ((Variant(Currency::FromRaw(10000)) / Variant(3)).AsCurrency(), Currency::FromRaw(3333));
  EXPECT_EQ(VarType(Variant(EncodeDate(2024, 1, 1)) + Variant(1)), varDate);
  EXPECT_EQ(VarType(Variant(EncodeDate(2024, 1, 2)) - Variant(EncodeDate(2024, 1, 1))), varDouble);
  EXPECT_EQ((-Variant(5)).AsInteger(), -5);
  EXPECT_THROW(Variant(1) / Variant(0), EZeroDivide);
  EXPECT_THROW(Variant(9223372036854775807LL) + Variant(1), EVariantOverflowError);
  EXPECT_THROW(Variant("x") + Variant(1), EVariantError);
  EXPECT_EQ(VariantErrorOf([] { (void)(VarArrayOf({1}) + Variant(1)); }),
            "Invalid variant operation");
}

TEST_F(VariantTest, VariantArrays) {
  Variant a = VarArrayCreate(1, 3, varVariant);
  EXPECT_TRUE(VarIsArray(a));
  EXPECT_EQ(VarType(a), varArray | varVariant);
  EXPECT_EQ(VarArrayDimCount(a), 1);
  EXPECT_EQ(VarArrayLowBound(a), 1);
  EXPECT_EQ(VarArrayHighBound(a), 3);
  EXPECT_TRUE(VarIsEmpty(a[1]));
  a.PutElement(2, "two");
  VarArrayPut(a, 3.5, 3);
  EXPECT_EQ(VarArrayGet(a, 2).AsString(), "two");
  EXPECT_DOUBLE_EQ(a[3].AsDouble(), 3.5);
  EXPECT_EQ(VariantErrorOf([&] { (void)a[0]; }), "Variant array bounds error");
  EXPECT_EQ(VariantErrorOf([&] { a.PutElement(4, 1); }), "Variant array bounds error");
  EXPECT_EQ(VariantErrorOf([] { (void)VarArrayLowBound(Variant(1)); }),
            "Invalid variant operation");
  EXPECT_EQ(VariantErrorOf([&] { (void)VarArrayLowBound(a, 2); }), "Variant array bounds error");

  static_assert(!std::is_assignable_v<decltype(a[1]), int>, "a[i] = x would change a copy");
  Variant copy = a;  // arrays copy by value
  copy.PutElement(2, "changed");
  EXPECT_EQ(a[2].AsString(), "two");

  VarArrayRedim(a, 4);
  EXPECT_EQ(VarArrayHighBound(a), 4);
  EXPECT_EQ(a[2].AsString(), "two");
  VarArrayRedim(a, 0);
  EXPECT_EQ(VarArrayHighBound(a), 0);
  EXPECT_EQ(VariantErrorOf([&] { (void)a[1]; }), "Variant array bounds error");

  const Variant of = VarArrayOf({1, "b", Null});
  EXPECT_EQ(VarArrayLowBound(of), 0);
  EXPECT_EQ(VarArrayHighBound(of), 2);
  EXPECT_TRUE(VarIsNull(of[2]));

  Variant typed = VarArrayCreate(0, 1, varInteger);
  EXPECT_EQ(VarType(typed[0]), varInteger);
  typed.PutElement(1, "42");
  EXPECT_EQ(VarType(typed[1]), varInteger);
  EXPECT_THROW(VarArrayCreate(5, 3, varVariant), EVariantError);
  EXPECT_THROW(VarArrayCreate(0, 3, varNull), EVariantError);
}

TEST_F(VariantTest, ByteArrays) {
  const std::uint8_t raw[] = {0, 1, 254, 255};
  Variant bytes = VarByteArrayOf(raw, sizeof raw);
  EXPECT_EQ(VarType(bytes), varArray | varByte);
  EXPECT_EQ(VarArrayHighBound(bytes), 3);
  EXPECT_EQ(VarType(bytes[2]), varByte);
  EXPECT_EQ(bytes[2].AsInteger(), 254);
  std::uint8_t* data = VarArrayLock(bytes);
  data[0] = 9;
  VarArrayUnlock(bytes);
  EXPECT_EQ(VarArrayToBytes(bytes), (std::vector<std::uint8_t>{9, 1, 254, 255}));
  EXPECT_THROW(bytes.PutElement(1, 256), EVariantOverflowError);
  EXPECT_THROW(VarArrayLock(*const_cast<Variant*>(&Null)), EVariantError);
  Variant mixed = VarArrayOf({1, 2});
  EXPECT_THROW(VarArrayLock(mixed), EVariantError);
  EXPECT_EQ(VarArrayToBytes(mixed), (std::vector<std::uint8_t>{1, 2}));
  Variant created = VarArrayCreate(0, 2, varByte);
  EXPECT_EQ(VarArrayToBytes(created), (std::vector<std::uint8_t>{0, 0, 0}));
  EXPECT_EQ(VarArrayToBytes(VarByteArrayOf(nullptr, 0)).size(), 0u);
}
