// The colour of a waterfall stroke: a value above its band's floor scaled by
// the gain, clamped at 255 and rounded half to even; and the spectra the
// 16-bit history cannot hold as they are (loud, saturated or negative
// levels, a gain of 0 or below), which store safely and draw as no signal.
#include <gtest/gtest.h>

#include "app/Module1.h"
#include "app/form1.h"
#include "replay_test_support.h"

using forms::Rgb;

namespace {

constexpr Rgb kNoSignal = forms::RGB(0, 0, 120);

struct WaterfallColour : ::testing::Test {
  void SetUp() override { session.Run("load Form1"); }
  // One drawn pass at 500..2500 (bins 128..640) with this spectrum.
  void DrawnPass(const std::string& spectrum) {
    WaterfallPhase = 0;
    session.Run("engine fft 0\nengine fft " + spectrum + "\npost 2024 0 0");
  }
  // The stroke colour of a bin in band j (0 newest .. 14 oldest).
  static Rgb StrokeOf(int bin, int j) {
    return Form1().Picture7.Record().at(1 + static_cast<size_t>(bin - 129) * 15 + j).rgb;
  }
  // "0=v 1=v ... 1023=v": every bin at one level.
  static std::string All(long long level) {
    std::string out;
    for (int k = 0; k < 1024; ++k) out += std::to_string(k) + "=" + std::to_string(level) + " ";
    return out;
  }
  replay::Session session;
};

}  // namespace

TEST_F(WaterfallColour, TheWorkedStrokeOf35OverAFloorOf30) {
  for (const auto& [gain, stroke] :
       {std::pair{1, forms::RGB(128, 128, 120)}, std::pair{2, forms::RGB(255, 255, 120)}}) {
    WaterfallGain = static_cast<int16_t>(gain);
    DrawnPass("300=35");  // floor 0, bin 300 holds 35
    // Every bin at 30 (bin 301 at 10, below): floor 15310 / 512, rounded to 30.
    DrawnPass(All(30) + "301=10");
    ASSERT_EQ(WaterfallHistory[1][0], 30);
    // Band 1 shows the older row (35) scaled by the newer row's floor (30):
    // 35 / 70 * 255 * gain.
    EXPECT_EQ(StrokeOf(300, 1), stroke) << gain;
    // At the floor and below it: no signal.
    EXPECT_EQ(StrokeOf(300, 0), kNoSignal);
    EXPECT_EQ(StrokeOf(301, 0), kNoSignal);
  }
}

TEST_F(WaterfallColour, StrongValuesClampAt255) {
  WaterfallGain = 5;
  DrawnPass("300=20 301=19 302=100");
  EXPECT_EQ(StrokeOf(300, 0), forms::RGB(255, 255, 120));  // exactly 255
  EXPECT_EQ(StrokeOf(301, 0), forms::RGB(242, 242, 120));  // 242.25
  EXPECT_EQ(StrokeOf(302, 0), forms::RGB(255, 255, 120));  // 1275
  WaterfallGain = 32767;
  DrawnPass("300=1");
  EXPECT_EQ(StrokeOf(300, 0), forms::RGB(255, 255, 120));
}

TEST_F(WaterfallColour, AFloorSumBeyond16BitsStillAverages) {
  // 500..3000: 639 bins at 80 sum to 51120, over N = 640: 79.875, so 80.
  DisplayLowHz = 500;
  DisplayHighHz = 3000;
  DrawnPass(All(80));
  EXPECT_EQ(WaterfallHistory[1][0], 80);
  EXPECT_EQ(WaterfallHistory[1][400], 0);
  DrawnPass(All(100) + "400=140");  // 63940 / 640 = 99.9
  EXPECT_EQ(WaterfallHistory[1][0], 100);
  EXPECT_EQ(WaterfallHistory[1][400], 40);
}

TEST_F(WaterfallColour, LevelsBeyond16BitsAreStoredLimitedTo16Bits) {
  WaterfallGain = 1;
  DrawnPass("300=2147483647 301=-2147483648 302=50");
  EXPECT_EQ(WaterfallHistory[1][0], 0);  // the two cancel: (-1 + 50) / 512
  EXPECT_EQ(WaterfallHistory[1][300], 32767);
  EXPECT_EQ(WaterfallHistory[1][301], -32768);
  EXPECT_EQ(WaterfallHistory[1][302], 50);
  EXPECT_EQ(StrokeOf(300, 0), forms::RGB(255, 255, 120));
  EXPECT_EQ(StrokeOf(301, 0), kNoSignal);

  DrawnPass(All(2147483647));
  EXPECT_EQ(WaterfallHistory[1][0], 32767);
  EXPECT_EQ(WaterfallHistory[1][300], 32767);  // 2147483647 - 32767, limited
  DrawnPass(All(-2147483647));
  EXPECT_EQ(WaterfallHistory[1][0], -32768);
  EXPECT_EQ(WaterfallHistory[1][300], -32768);
}

TEST_F(WaterfallColour, AFloorOf100OrMoreDrawsTheBandBelowAsNoSignal) {
  WaterfallGain = 1;
  struct Case {
    int level, floor;
    Rgb band1;
  };
  for (const Case& c : {Case{99, 99, forms::RGB(255, 255, 120)}, Case{100, 100, kNoSignal},
                        Case{150, 150, kNoSignal}, Case{30000, 29941, kNoSignal}}) {
    DrawnPass("300=50");
    DrawnPass(All(c.level));
    ASSERT_EQ(WaterfallHistory[1][0], c.floor) << c.level;
    EXPECT_EQ(StrokeOf(300, 1), c.band1) << c.level;  // v = 50 over that floor
  }
}

TEST_F(WaterfallColour, AFloorFarBelowZeroDividesWithoutOverflow) {
  // The divisor 100 - (-32768) = 32868 does not fit 16 bits.
  WaterfallGain = 5;
  DrawnPass("300=50");
  DrawnPass(All(-40000) + "300=0");
  ASSERT_EQ(WaterfallHistory[1][0], -32768);
  EXPECT_EQ(StrokeOf(300, 1), forms::RGB(2, 2, 120));  // 50 / 32868 * 255 * 5 = 1.94
  // In the newer row bin 300 (level 0) lies far above the floor, the others
  // (-40000) below it.
  EXPECT_EQ(WaterfallHistory[1][300], 32767);
  EXPECT_EQ(WaterfallHistory[1][301], -7232);
  EXPECT_EQ(StrokeOf(300, 0), forms::RGB(255, 255, 120));
  EXPECT_EQ(StrokeOf(301, 0), kNoSignal);
}

TEST_F(WaterfallColour, AGainOfZeroOrBelowDrawsNoSignal) {
  for (int gain : {0, -1, -3, -32768}) {
    WaterfallGain = static_cast<int16_t>(gain);
    DrawnPass("300=50 301=100");
    EXPECT_EQ(StrokeOf(300, 0), kNoSignal) << gain;
    EXPECT_EQ(StrokeOf(301, 0), kNoSignal) << gain;
  }
}
