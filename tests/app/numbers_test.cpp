// The shared number conversions: half-to-even rounding into 16 and 32 bits,
// the signed and plain text forms, and reading texts as numbers.
#include "app/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Numbers, RoundingGoesHalfToEven) {
  EXPECT_EQ(CInt(391.5), 392);
  EXPECT_EQ(CInt(392.5), 392);
  EXPECT_EQ(CInt(-25.5), -26);
  EXPECT_EQ(CInt(-26.5), -26);
  EXPECT_EQ(CInt(0.5), 0);
  EXPECT_EQ(CInt(1.5), 2);
  EXPECT_EQ(CInt(2.4999), 2);
  EXPECT_EQ(*ToInt16(127.5), 128);
  EXPECT_EQ(*ToInt32(-2.5), -2);
}

TEST(Numbers, OutOfRangeClampsOrIsRefused) {
  EXPECT_EQ(CInt(40000.0), 32767);
  EXPECT_EQ(CInt(-40000.0), -32768);
  EXPECT_EQ(CInt(std::nan("")), 0);
  EXPECT_EQ(CInt(32767.4), 32767);
  EXPECT_EQ(CInt(-32768.5), -32768);  // rounds to the even -32768, in range
  EXPECT_FALSE(ToInt16(32767.5));     // rounds to 32768
  EXPECT_TRUE(ToInt16(-32768.5));
  EXPECT_FALSE(ToInt16(std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(ToInt32(3e9));
  EXPECT_EQ(ClampInt16(70000), 32767);
  EXPECT_EQ(ClampInt16(-70000), -32768);
  EXPECT_EQ(ClampInt16(-5), -5);
}

TEST(Numbers, SignedFormHasALeadingSpaceForZeroAndPositive) {
  EXPECT_EQ(SignedText(-28), "-28");
  EXPECT_EQ(SignedText(5), " 5");
  EXPECT_EQ(SignedText(0), " 0");
  EXPECT_EQ(PlainText(0), "0");
  EXPECT_EQ(PlainText(-3), "-3");
  EXPECT_EQ(PlainText(1500), "1500");
}

TEST(Numbers, TextsReadAsNumbersOnlyWhenTheWholeTextIsOne) {
  EXPECT_EQ(*ParseNumber("1350"), 1350);
  EXPECT_EQ(*ParseNumber("  12 "), 12);
  EXPECT_EQ(*ParseNumber("-7.25"), -7.25);
  EXPECT_EQ(*ParseNumber("1e3"), 1000);
  EXPECT_EQ(*ParseNumber("+.5"), 0.5);
  for (const char* bad : {"", "   ", "abc", "12abc", "1 2", "0x10", "inf", "nan", "1e", "-", "."}) {
    EXPECT_FALSE(ParseNumber(bad)) << bad;
  }
  EXPECT_FALSE(ParseNumber("1e999"));
}
