// IMD readings through the dispatcher: the statistics and their readouts, the
// half-to-even average, the automatic reset after 1000 readings with a sum
// that does not overflow, readings beyond 16 bits, the clock error and the
// reset button.
#include <gtest/gtest.h>

#include "app/Module1.h"
#include "app/form1.h"
#include "notify/notify.h"
#include "replay_test_support.h"

using namespace testing_support;

namespace {

struct ImdReadings : ::testing::Test {
  void SetUp() override {
    session.Run("load Form1");
    session.Snapshot();
  }
  void Post(int reading) { session.Run("post 2027 " + std::to_string(reading) + " 0"); }
  // The bar's right end, the last drawing operation of Picture5.
  static double BarEnd(const QJsonObject& s) {
    const QJsonArray ops = DrawOf(s, "Picture5");
    return ops.last().toObject()["x2"].toDouble();
  }
  replay::Session session;
};

}  // namespace

TEST_F(ImdReadings, TheWorkedExampleShowsBestWorstAverageCountAndReading) {
  Post(-28);
  QJsonObject s = session.Snapshot();
  EXPECT_EQ(TextOf(s, "txtIMD"), "Best: -28 Worst: -28 Average: -28 dB");
  EXPECT_EQ(TextOf(s, "Text1"), "1");
  EXPECT_EQ(TextOf(s, "Text2"), "-28 dB");

  Post(-25);
  s = session.Snapshot();
  EXPECT_EQ(TextOf(s, "txtIMD"), "Best: -28 Worst: -25 Average: -26 dB");
  EXPECT_EQ(TextOf(s, "Text1"), "2");
  EXPECT_EQ(TextOf(s, "Text2"), "-25 dB");
  EXPECT_EQ(SettingOf(s, "ImdSum"), -53);
  EXPECT_EQ(SettingOf(s, "ImdCount"), 2);
  // No engine call; the bar is drawn for the new average.
  EXPECT_TRUE(CallList(s).empty());
  EXPECT_EQ(BarEnd(s), static_cast<float>(8595.0 * 26 / 50));
}

TEST_F(ImdReadings, ZeroAndPositiveValuesCarryTheLeadingSpace) {
  Post(0);
  Post(5);
  const QJsonObject s = session.Snapshot();
  // The average 2.5 goes to the even neighbour 2.
  EXPECT_EQ(TextOf(s, "txtIMD"), "Best:  0 Worst:  5 Average:  2 dB");
  EXPECT_EQ(TextOf(s, "Text2"), " 5 dB");
}

TEST_F(ImdReadings, TheAverageRoundsHalvesToTheEvenNeighbour) {
  const struct {
    int a, b, average;
  } cases[] = {{-25, -26, -26}, {-26, -27, -26}, {-24, -25, -24}, {-27, -28, -28}};
  for (const auto& c : cases) {
    session.Run("click Command1");
    Post(c.a);
    Post(c.b);
    EXPECT_EQ(SettingOf(session.Snapshot(), "ImdAverage"), c.average) << c.a << " " << c.b;
  }
}

TEST_F(ImdReadings, AReadingEqualToBestOrWorstLeavesThem) {
  for (int r : {-30, -20, -30, -20, -25}) Post(r);
  const QJsonObject s = session.Snapshot();
  EXPECT_EQ(TextOf(s, "txtIMD"), "Best: -30 Worst: -20 Average: -25 dB");
  EXPECT_EQ(TextOf(s, "Text1"), "5");
}

// A steady -33 dB would take a 16-bit sum past -32768 at the 993rd reading.
TEST_F(ImdReadings, TheThousandthReadingIsShownThenTheStatisticsStartAfresh) {
  for (int i = 0; i < 999; ++i) RecordImdReading(-33);
  QJsonObject s = session.Snapshot();
  EXPECT_EQ(TextOf(s, "Text1"), "999");
  EXPECT_EQ(TextOf(s, "txtIMD"), "Best: -33 Worst: -33 Average: -33 dB");
  EXPECT_EQ(SettingOf(s, "ImdSum"), -33 * 999);

  Post(-60);  // (-32967 - 60) / 1000 = -33.027
  s = session.Snapshot();
  EXPECT_EQ(TextOf(s, "Text1"), "1000");
  EXPECT_EQ(TextOf(s, "txtIMD"), "Best: -60 Worst: -33 Average: -33 dB");
  EXPECT_EQ(TextOf(s, "Text2"), "-60 dB");
  EXPECT_EQ(SettingOf(s, "ImdBest"), 9999);
  EXPECT_EQ(SettingOf(s, "ImdWorst"), -9999);
  EXPECT_EQ(SettingOf(s, "ImdAverage"), 0);
  EXPECT_EQ(SettingOf(s, "ImdCount"), 0);
  EXPECT_EQ(SettingOf(s, "ImdSum"), 0);
  // The bar drawn after the reset: scale and a bar of no width.
  EXPECT_EQ(DrawOf(s, "Picture5").size(), 2 + 4 + 1);
  EXPECT_EQ(BarEnd(s), 0.0);

  Post(-10);
  s = session.Snapshot();
  EXPECT_EQ(TextOf(s, "Text1"), "1");
  EXPECT_EQ(TextOf(s, "txtIMD"), "Best: -10 Worst: -10 Average: -10 dB");
}

TEST_F(ImdReadings, ASteadyMinus40KeepsItsAverageOver999Readings) {
  for (int i = 0; i < 999; ++i) RecordImdReading(-40);
  EXPECT_EQ(ImdAverage, -40);
  EXPECT_EQ(ImdSum, -39960);
  EXPECT_EQ(Form1().txtIMD.Text(), "Best: -40 Worst: -40 Average: -40 dB");
}

// Readings beyond 16 bits are clamped to -32768 / 32767 before they are
// recorded and shown; the other readings' statistics are kept exactly.
TEST_F(ImdReadings, AReadingBeyond16BitsIsClampedIntoRange) {
  Post(-20);
  Post(-100000);
  QJsonObject s = session.Snapshot();
  EXPECT_EQ(TextOf(s, "Text2"), "-32768 dB");
  EXPECT_EQ(TextOf(s, "txtIMD"), "Best: -32768 Worst: -20 Average: -16394 dB");
  EXPECT_EQ(SettingOf(s, "ImdSum"), -32788);
  EXPECT_EQ(BarEnd(s), 8595.0);

  Post(2147483647);
  s = session.Snapshot();
  EXPECT_EQ(TextOf(s, "Text2"), " 32767 dB");
  EXPECT_EQ(TextOf(s, "txtIMD"), "Best: -32768 Worst:  32767 Average: -7 dB");
  EXPECT_EQ(TextOf(s, "Text1"), "3");
}

// The sentinels 9999 and -9999 would outlast a first reading beyond them.
TEST_F(ImdReadings, TheFirstReadingIsBestAndWorstEvenBeyondTheSentinels) {
  Post(12000);
  EXPECT_EQ(TextOf(session.Snapshot(), "txtIMD"), "Best:  12000 Worst:  12000 Average:  12000 dB");
  session.Run("click Command1");
  Post(-12000);
  Post(-11000);
  EXPECT_EQ(TextOf(session.Snapshot(), "txtIMD"), "Best: -12000 Worst: -11000 Average: -11500 dB");
}

// The average of the lowest readings is -32768, whose negation for the bar
// does not fit 16 bits.
TEST_F(ImdReadings, TheLowestPossibleAverageDrawsAFullBar) {
  for (int i = 0; i < 999; ++i) RecordImdReading(INT32_MIN);
  EXPECT_EQ(ImdSum, -32768 * 999);
  EXPECT_EQ(ImdAverage, -32768);
  EXPECT_EQ(BarEnd(session.Snapshot()), 8595.0);
  RecordImdReading(INT32_MIN);
  EXPECT_EQ(Form1().txtIMD.Text(), "Best: -32768 Worst: -32768 Average: -32768 dB");
  EXPECT_EQ(ImdCount, 0);
}

TEST_F(ImdReadings, TheClockErrorIsShownInPpmAndLeavesTheStatistics) {
  Post(-30);
  session.Run("post 2028 0 0");
  EXPECT_EQ(TextOf(session.Snapshot(), "Label2"), " 0 ppm");
  session.Run("post 2028 2147483647 0");
  EXPECT_EQ(TextOf(session.Snapshot(), "Label2"), " 2147483647 ppm");
  session.Run("post 2028 -3 0");
  const QJsonObject s = session.Snapshot();
  EXPECT_EQ(TextOf(s, "Label2"), "-3 ppm");
  EXPECT_EQ(TextOf(s, "Text1"), "1");
  EXPECT_EQ(SettingOf(s, "ImdSum"), -30);
  EXPECT_EQ(BarEnd(s), 8595.0 * 30 / 50);  // not redrawn
}

TEST_F(ImdReadings, TheResetButtonEmptiesTheReadoutsKeepsTheClockErrorAndStartsAfresh) {
  Post(-28);
  Post(-25);
  session.Run("post 2028 12 0\nclick Command1");
  QJsonObject s = session.Snapshot();
  EXPECT_EQ(TextOf(s, "txtIMD"), "");
  EXPECT_EQ(TextOf(s, "Text1"), "");
  EXPECT_EQ(TextOf(s, "Text2"), "");
  EXPECT_EQ(TextOf(s, "Label2"), " 12 ppm");
  EXPECT_EQ(SettingOf(s, "ImdBest"), 9999);
  EXPECT_EQ(SettingOf(s, "ImdWorst"), -9999);
  EXPECT_EQ(SettingOf(s, "ImdSum"), 0);
  EXPECT_EQ(SettingOf(s, "ImdCount"), 0);
  EXPECT_TRUE(CallList(s).empty());
  // The empty scale: a clear, the pen width and four bands, no bar.
  const QJsonArray ops = DrawOf(s, "Picture5");
  ASSERT_EQ(ops.size(), 6);
  EXPECT_EQ(ops[5].toObject()["x2"].toDouble(), 8595.0);
  EXPECT_EQ(ops[5].toObject()["y1"].toDouble(), 0.0);

  Post(-40);
  s = session.Snapshot();
  EXPECT_EQ(TextOf(s, "Text1"), "1");
  EXPECT_EQ(TextOf(s, "txtIMD"), "Best: -40 Worst: -40 Average: -40 dB");
}
