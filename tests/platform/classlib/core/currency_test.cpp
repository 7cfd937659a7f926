#include <gtest/gtest.h>

#include <cmath>

#include "platform/classlib/core/currency.h"
#include "platform/classlib/core/exceptions.h"

TEST(CurrencyTest, DoublesRoundHalfToEven) {
  EXPECT_EQ(Currency(1.23456).Raw(), 12346);
  EXPECT_EQ(Currency(0.00005).Raw(), 0);   // 0.5 ten-thousandths: to even
  EXPECT_EQ(Currency(0.00015).Raw(), 2);
  EXPECT_EQ(Currency(-0.00025).Raw(), -2);
  EXPECT_EQ(Currency(2.5).Raw(), 25000);
  EXPECT_DOUBLE_EQ(Currency::FromRaw(-12345).ToDouble(), -1.2345);
  EXPECT_THROW(Currency(1e16), EOverflow);
  EXPECT_THROW(Currency(std::nan("")), EOverflow);
  EXPECT_THROW(Currency(-INFINITY), EOverflow);
}

TEST(CurrencyTest, ArithmeticIsExact) {
  Currency total;
  for (int i = 0; i < 10; ++i) total += Currency(0.1);
  EXPECT_EQ(total, Currency(1));
  EXPECT_EQ(Currency(3) - Currency(0.5), Currency(2.5));
  EXPECT_EQ(Currency(1.5) * Currency(1.5), Currency(2.25));
  EXPECT_EQ(Currency::FromRaw(1) * Currency(0.5), Currency::FromRaw(0));  // half to even
  EXPECT_EQ(Currency::FromRaw(3) * Currency(0.5), Currency::FromRaw(2));
  EXPECT_EQ(Currency(1) / Currency(3), Currency::FromRaw(3333));
  EXPECT_EQ(Currency(2) / Currency(3), Currency::FromRaw(6667));
  EXPECT_EQ(Currency(-2) / Currency(3), Currency::FromRaw(-6667));
  EXPECT_EQ(Currency(1) / Currency(-8), Currency::FromRaw(-1250));
  EXPECT_EQ(-Currency(5), Currency(-5));
  EXPECT_LT(Currency(-1), Currency::FromRaw(1));
  EXPECT_THROW(Currency(1) / Currency(), EZeroDivide);
  EXPECT_THROW(MaxCurrency + Currency::FromRaw(1), EOverflow);
  EXPECT_THROW(MinCurrency - Currency::FromRaw(1), EOverflow);
  EXPECT_THROW(-MinCurrency, EOverflow);
  EXPECT_THROW(MaxCurrency * Currency(2), EOverflow);
}

TEST(CurrencyTest, BcdFromAndToCurrency) {
  TBcd bcd;
  ASSERT_TRUE(CurrToBCD(Currency::FromRaw(-1234567), bcd));
  EXPECT_EQ(bcd.Precision, 32);
  EXPECT_EQ(bcd.SignSpecialPlaces, 0x80 | 4);
  // 32 digits, right-aligned: ...00 0123 4567 with four places.
  EXPECT_EQ(bcd.Fraction[11], 0x00);
  EXPECT_EQ(bcd.Fraction[12], 0x01);
  EXPECT_EQ(bcd.Fraction[13], 0x23);
  EXPECT_EQ(bcd.Fraction[14], 0x45);
  EXPECT_EQ(bcd.Fraction[15], 0x67);
  EXPECT_EQ(bcd.Fraction[16], 0x00);  // beyond the 32 digits: unused
  EXPECT_EQ(BcdToPlainText(bcd), "-123.4567");
  Currency back;
  ASSERT_TRUE(BCDToCurr(bcd, back));
  EXPECT_EQ(back, Currency::FromRaw(-1234567));

  ASSERT_TRUE(CurrToBCD(Currency::FromRaw(1234567), bcd, 10, 2));
  EXPECT_EQ(bcd.SignSpecialPlaces, 2);
  EXPECT_EQ(BcdToPlainText(bcd), "123.46");
  EXPECT_FALSE(CurrToBCD(MaxCurrency, bcd, 10, 2));  // does not fit ten digits

  for (Currency c : {Currency(), MaxCurrency, MinCurrency, Currency::FromRaw(-1)}) {
    ASSERT_TRUE(CurrToBCD(c, bcd));
    ASSERT_TRUE(BCDToCurr(bcd, back));
    EXPECT_EQ(back, c);
  }
}

TEST(CurrencyTest, BcdTextAndBadInput) {
  TBcd bcd;
  ASSERT_TRUE(TryPlainTextToBcd("-0012.50", bcd));
  EXPECT_EQ(BcdToPlainText(bcd), "-12.5");
  Currency c;
  ASSERT_TRUE(BCDToCurr(bcd, c));
  EXPECT_EQ(c, Currency(-12.5));
  ASSERT_TRUE(TryPlainTextToBcd("0.123456", bcd));  // six places: rounded to four
  ASSERT_TRUE(BCDToCurr(bcd, c));
  EXPECT_EQ(c, Currency::FromRaw(1235));
  ASSERT_TRUE(TryPlainTextToBcd("-0", bcd));
  EXPECT_EQ(BcdToPlainText(bcd), "0");
  EXPECT_FALSE(TryPlainTextToBcd("", bcd));
  EXPECT_FALSE(TryPlainTextToBcd("1.2.3", bcd));
  EXPECT_FALSE(TryPlainTextToBcd("12a", bcd));
  EXPECT_FALSE(TryPlainTextToBcd(std::string(65, '9'), bcd));
  ASSERT_TRUE(TryPlainTextToBcd(std::string(30, '9'), bcd));
  EXPECT_FALSE(BCDToCurr(bcd, c));  // too large for a Currency

  TBcd damaged;
  damaged.Precision = 4;
  damaged.Fraction[0] = 0xAB;  // nibbles above 9
  EXPECT_FALSE(BCDToCurr(damaged, c));
  EXPECT_EQ(BcdToPlainText(damaged), "");
  TBcd special;
  special.Precision = 2;
  special.SignSpecialPlaces = 0x40;
  EXPECT_FALSE(BCDToCurr(special, c));
  TBcd tooManyPlaces;
  tooManyPlaces.Precision = 2;
  tooManyPlaces.SignSpecialPlaces = 5;
  EXPECT_FALSE(BCDToCurr(tooManyPlaces, c));
}

TEST(CurrencyTest, BcdAndDoubles) {
  TBcd bcd;
  ASSERT_TRUE(DoubleToBCD(1234.5678, bcd));
  EXPECT_EQ(BcdToPlainText(bcd), "1234.5678");
  EXPECT_DOUBLE_EQ(BCDToDouble(bcd), 1234.5678);
  ASSERT_TRUE(DoubleToBCD(-0.1, bcd));
  EXPECT_EQ(BcdToPlainText(bcd), "-0.1");
  ASSERT_TRUE(DoubleToBCD(1e20, bcd));
  EXPECT_EQ(BcdToPlainText(bcd), "100000000000000000000");
  EXPECT_FALSE(DoubleToBCD(1e70, bcd));
  EXPECT_FALSE(DoubleToBCD(std::nan(""), bcd));
}
