// The shared number conversions: half-to-even rounding and texts read as numbers.
#include "app/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Numbers, RoundingGoesHalfToEvenAndOutOfRangeClampsOrIsRefused) {
  // -32768.5 rounds to the even -32768, in range.
  const std::pair<double, int> cases[] = {{391.5, 392},     {392.5, 392},      {-25.5, -26},
                                          {-26.5, -26},     {0.5, 0},          {1.5, 2},
                                          {2.4999, 2},      {40000.0, 32767},  {-40000.0, -32768},
                                          {32767.4, 32767}, {-32768.5, -32768}};
  for (const auto& [value, rounded] : cases) EXPECT_EQ(CInt(value), rounded) << value;
  EXPECT_EQ(CInt(std::nan("")), 0);
  EXPECT_EQ(*ToInt16(127.5), 128);
  EXPECT_EQ(*ToInt32(-2.5), -2);
  EXPECT_FALSE(ToInt16(32767.5));  // rounds to 32768
  EXPECT_TRUE(ToInt16(-32768.5));
  EXPECT_FALSE(ToInt16(std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(ToInt32(3e9));
  EXPECT_EQ(ClampInt16(70000), 32767);
  EXPECT_EQ(ClampInt16(-70000), -32768);
  EXPECT_EQ(ClampInt16(-5), -5);
}

TEST(Numbers, TextsReadAsNumbersOnlyWhenTheWholeTextIsOne) {
  const std::pair<const char*, double> numbers[] = {
      {"1350", 1350.0}, {"  12 ", 12.0}, {"-7.25", -7.25}, {"1e3", 1000.0}, {"+.5", 0.5}};
  for (const auto& [text, number] : numbers) EXPECT_EQ(*ParseNumber(text), number) << text;
  for (const char* bad :
       {"", "   ", "abc", "12abc", "1 2", "0x10", "inf", "nan", "1e", "-", ".", "1e999"}) {
    EXPECT_FALSE(ParseNumber(bad)) << bad;
  }
}
