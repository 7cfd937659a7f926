#include "platform/classlib/core/bits.h"

#include <gtest/gtest.h>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/english_settings.h"

TEST(BitsTest, SettingGrowsAndReadingChecksTheRange) {
  TBits bits;
  EXPECT_EQ(bits.Size(), 0);
  EXPECT_EQ(bits.OpenBit(), 0);
  bits.SetBits(5, true);
  EXPECT_EQ(bits.Size(), 6);
  EXPECT_TRUE(bits.Bits(5));
  EXPECT_FALSE(bits[4]);
  bits.SetBits(9, false);  // setting grows even when clearing
  EXPECT_EQ(bits.Size(), 10);
  EXPECT_FALSE(bits.Bits(9));

  EXPECT_EQ(MessageOf<EBitsError>([&] { bits.Bits(10); }), "Bits index out of range");
  EXPECT_THROW(bits.Bits(-1), EBitsError);
  EXPECT_THROW(bits.SetBits(-1, true), EBitsError);
  EXPECT_THROW(bits.SetSize(-2), EBitsError);
  EXPECT_EQ(bits.Size(), 10);
}

TEST(BitsTest, OpenBitFindsTheFirstClearBitAndSizeTruncates) {
  TBits bits;
  for (int i = 0; i < 3; ++i) bits.SetBits(i, true);
  EXPECT_EQ(bits.OpenBit(), 3);  // all set: the size
  bits.SetSize(70);
  for (int i = 3; i < 70; ++i) bits.SetBits(i, true);
  bits.SetBits(66, false);
  EXPECT_EQ(bits.OpenBit(), 66);
  bits.SetBits(1, false);
  EXPECT_EQ(bits.OpenBit(), 1);
  bits.SetSize(2);
  EXPECT_THROW(bits.Bits(2), EBitsError);
  bits.SetSize(4);
  EXPECT_FALSE(bits.Bits(2));  // regrown bits are clear
  EXPECT_TRUE(bits.Bits(0));
}
