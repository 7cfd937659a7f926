#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "platform/classlib/core/english_settings.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/variant.h"

namespace {

class FormatTest : public EnglishSettingsTest {
 protected:
  static TFormatSettings German() {
    TFormatSettings fs = TFormatSettings::English();
    fs.DecimalSeparator = ',';
    fs.ThousandSeparator = '.';
    fs.CurrencyString = "\xE2\x82\xAC";  // euro sign
    fs.CurrencyFormat = 3;
    fs.NegCurrFormat = 8;
    return fs;
  }
};

std::string ConvertErrorOf(const std::function<void()>& action) {
  return MessageOf<EConvertError>(action);
}

}  // namespace

TEST_F(FormatTest, IntegersAndWidths) {
  EXPECT_EQ(Format("%d items", {42}), "42 items");
  EXPECT_EQ(Format("[%5d]", {42}), "[   42]");
  EXPECT_EQ(Format("[%-5d]", {42}), "[42   ]");
  EXPECT_EQ(Format("[%.4d]", {-42}), "[-0042]");
  EXPECT_EQ(Format("[%6.3d]", {7}), "[   007]");
  EXPECT_EQ(Format("%d", {std::numeric_limits<long long>::min()}), "-9223372036854775808");
  EXPECT_EQ(Format("%u", {-1}), "4294967295");
  EXPECT_EQ(Format("%x %X %.4x", {255, 255, 10}), "FF FF 000A");
  EXPECT_EQ(Format("%x", {-1}), "FFFFFFFF");
  EXPECT_EQ(Format("%x", {-1LL}), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(Format("100%%", {}), "100%");
}

TEST_F(FormatTest, FloatingDirectives) {
  EXPECT_EQ(Format("%f", {1.0}), "1.00");
  EXPECT_EQ(Format("%.3f", {2.0 / 3}), "0.667");
  EXPECT_EQ(Format("%.0f", {2.5}), "3");      // half away from zero
  EXPECT_EQ(Format("%.2f", {0.125}), "0.13");
  EXPECT_EQ(Format("%.2f", {-0.125}), "-0.13");
  EXPECT_EQ(Format("%.2f", {-0.001}), "0.00");  // no minus on a zero
  EXPECT_EQ(Format("%.1f", {-0.0}), "0.0");
  EXPECT_EQ(Format("%e", {1234.5}), "1.23450000000000E+003");
  EXPECT_EQ(Format("%.3e", {-0.00012345}), "-1.23E-004");
  EXPECT_EQ(Format("%g", {0.5}), "0.5");
  EXPECT_EQ(Format("%g", {1e20}), "1E020");
  EXPECT_EQ(Format("%n", {1234567.891}), "1,234,567.89");
  EXPECT_EQ(Format("%.0n", {-999.5}), "-1,000");
  EXPECT_EQ(Format("%m", {-1234.5}), "($1,234.50)");
  EXPECT_EQ(Format("%8.1f|%-8.1f|", {3.14159, 3.14159}), "     3.1|3.1     |");
  EXPECT_EQ(Format("%f", {Currency::FromRaw(12345)}), "1.23");
  EXPECT_EQ(Format("%.4f", {Currency::FromRaw(-12345)}), "-1.2345");
  EXPECT_EQ(Format("%f %f", {INFINITY, std::nan("")}), "INF NAN");
  EXPECT_EQ(Format("%n|%m", {1234.5, 1234.5}, German()), "1.234,50|1.234,50 \xE2\x82\xAC");
}

TEST_F(FormatTest, TextsPointersAndIndexes) {
  EXPECT_EQ(Format("%s and %s", {"one", std::string("two")}), "one and two");
  EXPECT_EQ(Format("[%-6s][%6s]", {"ab", "cd"}), "[ab    ][    cd]");
  EXPECT_EQ(Format("%.3s", {"abcdef"}), "abc");
  EXPECT_EQ(Format("%.2s|%4s", {"\xC3\xA9t\xC3\xA9", "\xC3\xA9"}), "\xC3\xA9t|   \xC3\xA9");
  EXPECT_EQ(Format("%s", {'x'}), "x");
  EXPECT_EQ(Format("%1:s %0:s %s", {"a", "b"}), "b a b");
  EXPECT_EQ(Format("%0:s-%0:s", {"r"}), "r-r");
  std::vector<TVarRec> gathered;
  for (int i = 1; i <= 3; ++i) gathered.emplace_back(i);
  EXPECT_EQ(Format("%d+%d=%d", gathered), "1+2=3");
  EXPECT_THROW(Format("%d%d%d%d", gathered), EConvertError);
  EXPECT_EQ(Format("%*d|%-*d|%.*f", {4, 7, 3, 8, 1, 2.25}), "   7|8  |2.3");
  EXPECT_EQ(Format("%*d", {-3, 5}), "5  ");
  int x = 0;
  EXPECT_EQ(Format("%p", {static_cast<const void*>(&x)}).size(), 16u);
  EXPECT_THROW(Format("%s", {Variant(12)}), EConvertError);  // an integer variant is a number
}

TEST_F(FormatTest, VariantArgumentsFollowTheirType) {
  EXPECT_EQ(Format("%d %s %.1f", {Variant(7), Variant("t"), Variant(2.25)}), "7 t 2.3");
  EXPECT_EQ(Format("[%s]", {Null}), "[]");
  EXPECT_EQ(Format("%m", {Variant(Currency(5))}), "$5.00");
}

TEST_F(FormatTest, BadFormatsAndArgumentsRaise) {
  // Each format with arguments it cannot take: the message names the format.
  const std::pair<const char*, std::vector<TVarRec>> invalid[] = {
      {"%d", {"text"}}, {"%d", {1.5}}, {"%f", {3}},  {"%s", {true}},       {"%q", {1}},
      {"50%", {}},      {"%5.", {1}},  {"%*d", {"x", 1}}, {"%99999999999d", {1}}};
  for (const auto& bad : invalid)
    EXPECT_EQ(ConvertErrorOf([&] { Format(bad.first, bad.second); }),
              std::string("Format '") + bad.first + "' invalid or incompatible with argument");
  EXPECT_EQ(ConvertErrorOf([] { Format("%d %d", {1}); }), "No argument for format '%d %d'");
  EXPECT_EQ(ConvertErrorOf([] { Format("%3:d", {1}); }), "No argument for format '%3:d'");
  EXPECT_THROW(Format("%*d", {2000000000, 1}), EConvertError);
  EXPECT_THROW(Format("%.*d", {-2000000000, 1}), EConvertError);
}

TEST_F(FormatTest, CreateFmtBuildsExceptions) {
  const EConvertError e = CreateFmt<EConvertError>("Field '%s' not found (%d)", {"Name", 3});
  EXPECT_STREQ(e.what(), "Field 'Name' not found (3)");
}

TEST_F(FormatTest, FloatToStrUsesFifteenDigits) {
  const std::pair<double, const char*> texts[] = {
      {0.1 + 0.2, "0.3"}, {1.0 / 3, "0.333333333333333"}, {2.0 / 3, "0.666666666666667"},
      {100, "100"}, {-2.5, "-2.5"}, {0, "0"}, {-0.0, "0"}, {123456789012345.0, "123456789012345"},
      {1234567890123456.0, "1.23456789012346E15"}, {1e100, "1E100"}, {0.0001, "0.0001"},
      {0.00001, "1E-5"}, {-1.5e-300, "-1.5E-300"},
      {std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324"},
      {std::numeric_limits<double>::max(), "1.79769313486232E308"}, {-INFINITY, "-INF"},
  };
  for (auto [x, text] : texts) EXPECT_EQ(FloatToStr(x), text) << x;
  EXPECT_EQ(FloatToStr(2.5, German()), "2,5");
}

TEST_F(FormatTest, FloatToStrFFormats) {
  EXPECT_EQ(FloatToStrF(1234.5678, ffFixed, 15, 2), "1234.57");
  EXPECT_EQ(FloatToStrF(1234.5678, ffNumber, 15, 1), "1,234.6");
  EXPECT_EQ(FloatToStrF(-1234.5678, ffCurrency, 15, 2), "($1,234.57)");
  EXPECT_EQ(FloatToStrF(1234.5678, ffCurrency, 15, 0, German()), "1.235 \xE2\x82\xAC");
  EXPECT_EQ(FloatToStrF(-1234.5678, ffCurrency, 15, 2, German()), "-1.234,57 \xE2\x82\xAC");
  EXPECT_EQ(FloatToStrF(1234.5678, ffExponent, 4, 2), "1.235E+03");
  EXPECT_EQ(FloatToStrF(0, ffExponent, 3, 0), "0.00E+0");
  EXPECT_EQ(FloatToStrF(1234.5678, ffGeneral, 3, 0), "1.23E3");
  EXPECT_EQ(FloatToStrF(0.5, ffFixed, 15, 0), "1");
  EXPECT_EQ(FloatToStrF(1.5, ffFixed, 15, 0), "2");
  EXPECT_EQ(FloatToStrF(9.995, ffFixed, 15, 2), "10.00");  // rounds as it reads
  EXPECT_EQ(FloatToStrF(1.005, ffFixed, 15, 2), "1.01");
  EXPECT_EQ(Format("%.2f", {1.005}), "1.01");
  EXPECT_EQ(FormatFloat("0.00", 2.675), "2.68");
  EXPECT_EQ(FloatToStrF(0.1, ffFixed, 17, 17), "0.10000000000000001");  // more digits asked
  EXPECT_EQ(FloatToStrF(1e20, ffFixed, 15, 2), "1E20");    // too wide: general
  EXPECT_EQ(FloatToStrF(999.999, ffNumber, 15, 2), "1,000.00");
  EXPECT_EQ(FloatToStrF(0.001, ffNumber, 15, 2), "0.00");

  for (std::uint8_t neg = 0; neg < 16; ++neg) {
    TFormatSettings fs = TFormatSettings::English();
    fs.NegCurrFormat = neg;
    const std::string text = FloatToStrF(-1, ffCurrency, 15, 0, fs);
    EXPECT_NE(text.find('1'), std::string::npos);
    EXPECT_NE(text.find('$'), std::string::npos);
    EXPECT_TRUE(text.find('-') != std::string::npos || text.front() == '(') << int(neg);
  }
}

TEST_F(FormatTest, FormatFloatPictures) {
  const struct { const char* picture; double x; const char* text; } pictures[] = {
      {"0.00", 3.14159, "3.14"}, {"#.##", 0.5, ".5"}, {"0.##", 2, "2"},
      {"#,##0.00", 1234567.891, "1,234,567.89"}, {"#,##0", -1234, "-1,234"}, {"000", 7, "007"},
      {"0", 0.5, "1"}, {"0", 2.5, "3"}, {"0", -0.4, "0"}, {"#", 0, ""},
      {"$#,##0.00;($#,##0.00)", -5, "($5.00)"}, {"0.0;-0.0;'zero'", 0, "zero"},
      {"0.0;-0.0;'zero'", 0.01, "zero"},  // rounds to zero
      {"0.0;;'zero'", -2, "-2.0"},  // empty section: the first
      {"0.00E+00", 1234.5, "1.23E+03"}, {"0.00E-00", 1234.5, "1.23E03"},
      {"0.00e-0", 0.000123, "1.23e-4"}, {"00.0E+0", 1234.5, "12.3E+2"}, {"0.0E+00", 0, "0.0E+00"},
      {"\"Total: \"0.0 'kg'", 2.25, "Total: 2.3 kg"},
      {"(000) 000-0000", 5551234567.0, "(555) 123-4567"}, {".00", 12.5, "12.50"}, {"", 1.5, "1.5"},
  };
  for (auto [picture, x, text] : pictures) EXPECT_EQ(FormatFloat(picture, x), text) << picture;
  EXPECT_EQ(FormatFloat("0.00", 1e300).size(), 304u);
  EXPECT_EQ(FormatFloat("0.00", INFINITY), "INF");
  EXPECT_EQ(FormatFloat("#,##0.00", 1234.5, German()), "1.234,50");
  EXPECT_EQ(FormatFloat("0.0;'neg ';0", -3), "neg ");
  // Placeholders after an exponent have no digits left: they show nothing.
  for (std::size_t n : {1u, 40u, 300u})
    EXPECT_EQ(FormatFloat("0E+0" + std::string(n, '#'), 1.5), "2E+0") << n;
  EXPECT_EQ(FormatFloat("0E+0 ##.##", 1.5), "2E+0 ");
}

TEST_F(FormatTest, StrToFloat) {
  EXPECT_DOUBLE_EQ(StrToFloat("3.25"), 3.25);
  EXPECT_DOUBLE_EQ(StrToFloat("  -1.5e3 "), -1500);
  EXPECT_DOUBLE_EQ(StrToFloat(".5"), 0.5);
  EXPECT_DOUBLE_EQ(StrToFloat("5."), 5);
  EXPECT_DOUBLE_EQ(StrToFloat("+7"), 7);
  EXPECT_DOUBLE_EQ(StrToFloat("1E-400"), 0);
  EXPECT_DOUBLE_EQ(StrToFloat("3,25", German()), 3.25);
  double v;
  for (const char* bad : {"", " ", "1.2.3", "1,5", "abc", "1e", "1e+", "--1", "1e999", ".", "1 2",
                          "0x10", "inf", "nan"}) {
    EXPECT_FALSE(TryStrToFloat(bad, v)) << bad;
  }
  EXPECT_FALSE(TryStrToFloat("3.25", v, German()));
  EXPECT_EQ(ConvertErrorOf([] { StrToFloat("12a"); }), "'12a' is not a valid floating point value");
  EXPECT_DOUBLE_EQ(StrToFloatDef("x", 9.5), 9.5);
  // What FloatToStr writes, StrToFloat reads back (to 15 digits).
  for (double x : {0.1, -123.456, 1e-10, 6.02214076e23, 1.0 / 7}) {
    EXPECT_NEAR(StrToFloat(FloatToStr(x)) / x, 1.0, 1e-14) << x;
  }
}

TEST_F(FormatTest, IntegerTexts) {
  EXPECT_EQ(IntToStr(-42), "-42");
  EXPECT_EQ(IntToStr(std::numeric_limits<std::int64_t>::max()), "9223372036854775807");
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
  EXPECT_EQ(IntToHex(std::int64_t(-1), 2), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(IntToHex(0x1234, 1), "1234");

  const std::pair<const char*, int> numbers[] = {
      {"123", 123}, {" -123 ", -123}, {"$FF", 255}, {"0x1f", 31}, {"-$10", -16}, {"$FFFFFFFF", -1},
      {"2147483647", 2147483647}, {"-2147483648", std::numeric_limits<int>::min()},
  };
  for (auto [text, n] : numbers) EXPECT_EQ(StrToInt(text), n) << text;
  EXPECT_EQ(StrToInt64("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(StrToInt64("$7FFFFFFFFFFFFFFF"), std::numeric_limits<std::int64_t>::max());
  int v;
  for (const char* bad : {"", "2147483648", "-2147483649", "12a", "1.5", "$", "0x", "$1FFFFFFFF",
                          "- 5", "1e3"}) {
    EXPECT_FALSE(TryStrToInt(bad, v)) << bad;
  }
  std::int64_t w;
  EXPECT_FALSE(TryStrToInt64("9223372036854775808", w));
  EXPECT_EQ(ConvertErrorOf([] { StrToInt("12a"); }), "'12a' is not a valid integer value");
  EXPECT_EQ(StrToIntDef("x", -7), -7);
  EXPECT_EQ(StrToInt64Def("99999999999", 0), 99999999999LL);
}

TEST_F(FormatTest, CurrencyTexts) {
  EXPECT_EQ(CurrToStr(Currency::FromRaw(12345)), "1.2345");
  EXPECT_EQ(CurrToStr(Currency(5)), "5");
  EXPECT_EQ(CurrToStr(Currency::FromRaw(-5000)), "-0.5");
  EXPECT_EQ(CurrToStr(MaxCurrency), "922337203685477.5807");
  EXPECT_EQ(CurrToStr(MinCurrency), "-922337203685477.5808");
  EXPECT_EQ(CurrToStrF(Currency::FromRaw(12345), ffFixed, 2), "1.23");
  EXPECT_EQ(CurrToStrF(Currency::FromRaw(12350), ffFixed, 2), "1.24");  // half away
  EXPECT_EQ(CurrToStrF(Currency::FromRaw(-12345678), ffCurrency, 2), "($1,234.57)");
  EXPECT_EQ(FormatCurr("#,##0.00", Currency(1234567)), "1,234,567.00");

  EXPECT_EQ(StrToCurr("1.23456"), Currency::FromRaw(12346));
  EXPECT_EQ(StrToCurr("0.00005"), Currency::FromRaw(0));   // half to even
  EXPECT_EQ(StrToCurr("0.00015"), Currency::FromRaw(2));
  EXPECT_EQ(StrToCurr("-0.000051"), Currency::FromRaw(-1));
  EXPECT_EQ(StrToCurr("1e3"), Currency(1000));
  EXPECT_EQ(StrToCurr("0e999"), Currency());
  EXPECT_EQ(StrToCurr("922337203685477.5807"), MaxCurrency);
  EXPECT_EQ(StrToCurr("-922337203685477.5808"), MinCurrency);
  EXPECT_EQ(StrToCurr("2,5", German()), Currency::FromRaw(25000));
  Currency c;
  EXPECT_FALSE(TryStrToCurr("922337203685477.5808", c));
  EXPECT_FALSE(TryStrToCurr("1e20", c));
  EXPECT_FALSE(TryStrToCurr("$5", c));
  EXPECT_EQ(ConvertErrorOf([] { StrToCurr("x"); }), "'x' is not a valid floating point value");
  EXPECT_EQ(StrToCurrDef("x", Currency(3)), Currency(3));
}

TEST_F(FormatTest, Booleans) {
  EXPECT_EQ(BoolToStr(true), "-1");
  EXPECT_EQ(BoolToStr(false, true), "False");
  EXPECT_TRUE(StrToBool("true"));
  EXPECT_FALSE(StrToBool(" FALSE "));
  EXPECT_TRUE(StrToBool("-1"));
  EXPECT_FALSE(StrToBool("0"));
  EXPECT_EQ(ConvertErrorOf([] { StrToBool("yes"); }), "'yes' is not a valid boolean value");
}
