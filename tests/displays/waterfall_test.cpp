// The waterfall (Picture7): every second pass drawn, stroke geometry and
// colours, the floor of a row, the history per absolute bin, and spectra the
// 16-bit history cannot hold as they are, drawn as no signal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app/Module1.h"
#include "app/form1.h"
#include "display_test_support.h"

using forms::DrawOp;
using forms::Rgb;

namespace {

using testing_support::kNoSignal;

Rgb Grey(int q) {
  return forms::RGB(q, q, 120);
}

struct Waterfall : testing_support::DisplayTest {
  // One drawn pass with this spectrum (all other bins 0).
  void DrawnPass(const std::string& spectrum) {
    WaterfallPhase = 0;
    Notify("engine fft 0\nengine fft " + spectrum);
  }
  // The stroke of a bin in band j (0 newest .. 14 oldest) of the last pass.
  static const DrawOp& Stroke(int bin, int j) {
    const int first_bin = static_cast<int>(std::floor(DisplayLowHz / 3.90625));
    return Form1().Picture7.Record().at(1 + static_cast<size_t>(bin - first_bin - 1) * 15 + j);
  }
  // "0=v 1=v ... 1023=v": every bin at one level.
  static std::string All(long long level) {
    std::string out;
    for (int k = 0; k < 1024; ++k) out += std::to_string(k) + "=" + std::to_string(level) + " ";
    return out;
  }
};

}  // namespace

TEST_F(Waterfall, DrawsOnTheFirstThirdAndFifthNotification) {
  WaterfallGain = 1;
  // Each run brings a new level in bin 300; band 0 shows the level of the
  // last drawn run, level / 100 * 255.
  const int level[] = {0, 20, 40, 60, 80, 100};
  const int top_band[] = {0, 51, 51, 153, 153, 255};
  for (int run = 1; run <= 5; ++run) {
    Notify("engine fft 300=" + std::to_string(level[run]));
    EXPECT_EQ(WaterfallPhase, run % 2) << run;
    EXPECT_EQ(WaterfallHistory[1][300], level[run % 2 == 1 ? run : run - 1]) << run;
    EXPECT_EQ(Stroke(300, 0).rgb.r, top_band[run]) << run;
  }
}

TEST_F(Waterfall, EveryColumnHasFifteenStrokesAndOnlyBandZeroShowsTheFirstSpectrum) {
  WaterfallGain = 2;
  Notify("engine fft 200=40 640=100");
  const auto& ops = Form1().Picture7.Record();
  ASSERT_EQ(ops.size(), 1u + 511 * 15);
  EXPECT_EQ(ops[0].kind, DrawOp::Kind::Cls);
  // Column i at i * 9045 / 512; band j from j * 1035 / 15, 69 twips long.
  using testing_support::LineText;
  EXPECT_EQ(testing_support::Describe(Stroke(129, 0)),
            LineText(17.666015625, 0, 17.666015625, 69, kNoSignal));
  EXPECT_EQ(testing_support::Describe(Stroke(639, 14)),
            LineText(9027.333984375, 966, 9027.333984375, 1035, kNoSignal));
  EXPECT_EQ(Stroke(200, 0).rgb, Grey(204));  // 40 / 100 * 255 * 2
  EXPECT_EQ(
      std::count_if(ops.begin(), ops.end(), [](const DrawOp& op) { return op.rgb == kNoSignal; }),
      511 * 15 - 1);
}

// Band 0 scales the newest row by row 0's floor, always 0: v / 100 x 255 x
// gain, clamped at 255; a gain of 0 or below draws no signal.
TEST_F(Waterfall, TheTopBandScalesTheNewestLevelsByTheGainUpTo255) {
  const struct {
    int gain, level;
    Rgb stroke;
  } cases[] = {{2, 1, Grey(5)},         {2, 0, kNoSignal},     {5, 20, Grey(255)},
               {5, 19, Grey(242)},      {32767, 1, Grey(255)}, {0, 50, kNoSignal},
               {-32768, 100, kNoSignal}};
  for (const auto& c : cases) {
    WaterfallGain = static_cast<int16_t>(c.gain);
    DrawnPass("300=" + std::to_string(c.level));
    EXPECT_EQ(Stroke(300, 0).rgb, c.stroke) << c.gain << " " << c.level;
  }
}

TEST_F(Waterfall, TheFloorIsTheSumOfTheInnerBinsOverNRoundedHalfToEven) {
  // 500..2500: bins 129..639 (511 values) over N = 512; bins 128 and 640 at
  // level 100 are left out.
  struct Case {
    int count;  // bins from 129 on at the level
    int level;
    int floor;
  };
  for (const Case& c : {Case{256, 1, 0}, Case{256, 3, 2}, Case{256, 5, 2}, Case{511, 1, 1}}) {
    std::string bins = "128=100 640=100";
    for (int k = 129; k < 129 + c.count; ++k) {
      bins += " " + std::to_string(k) + "=" + std::to_string(c.level);
    }
    DrawnPass(bins);
    EXPECT_EQ(WaterfallHistory[1][0], c.floor) << c.count << " bins at " << c.level;
    // The row holds each bin less the floor.
    EXPECT_EQ(WaterfallHistory[1][129], c.level - c.floor);
    EXPECT_EQ(WaterfallHistory[1][639], (c.count == 511 ? c.level : 0) - c.floor);
  }
  // 500..3000: 639 bins at 80 sum to 51120 (beyond 16 bits); / 640 = 79.875.
  Range(500, 3000);
  DrawnPass(All(80));
  EXPECT_EQ(WaterfallHistory[1][0], 80);
  EXPECT_EQ(WaterfallHistory[1][400], 0);
  DrawnPass(All(100) + "400=140");  // 63940 / 640 = 99.9
  EXPECT_EQ(WaterfallHistory[1][0], 100);
  EXPECT_EQ(WaterfallHistory[1][400], 40);
}

TEST_F(Waterfall, TheHistoryKeepsEachBinWhenTheRangeChanges) {
  WaterfallGain = 1;
  // A: 1200..1800 (bins 308..459 written), a peak in bin 350; floor 90 / 153, 1.
  Range(1200, 1800);
  Notify("engine fft 0\nengine fft 350=90");
  Notify();  // not drawn
  // B: 500..2500 (bins 129..639), peaks in bins 200 and 400; floor 0.
  Range(500, 2500);
  Notify("engine fft 0\nengine fft 200=70 400=80");
  Notify();
  // C: 1000..2000 (bins 257..511), a peak in bin 450; floor 0.
  Range(1000, 2000);
  Notify("engine fft 0\nengine fft 450=40");

  EXPECT_EQ(Stroke(450, 0).rgb, Grey(102));  // C: 40 / 100 * 255
  EXPECT_EQ(Stroke(400, 1).rgb, Grey(204));  // B: 80 / 100 * 255
  EXPECT_EQ(Stroke(350, 2).rgb, Grey(227));  // A: 89 / 100 * 255
  EXPECT_EQ(WaterfallHistory[3][0], 1);      // A's floor moved with its row
  // Bins below 308 were never written before B: A's band shows no signal there.
  EXPECT_EQ(Stroke(300, 2).rgb, kNoSignal);
  EXPECT_EQ(Stroke(350, 3).rgb, kNoSignal);
  // Bins outside 1000..2000 keep what they held: B's row is still row 1 there.
  EXPECT_EQ(WaterfallHistory[1][200], 70);
  EXPECT_EQ(WaterfallHistory[2][200], 0);
}

TEST_F(Waterfall, LevelsBeyond16BitsAreStoredLimitedTo16Bits) {
  DrawnPass("300=2147483647 301=-2147483648 302=50");
  EXPECT_EQ(WaterfallHistory[1][0], 0);  // the two cancel: (-1 + 50) / 512
  EXPECT_EQ(WaterfallHistory[1][300], 32767);
  EXPECT_EQ(WaterfallHistory[1][301], -32768);
  DrawnPass(All(2147483647));
  EXPECT_EQ(WaterfallHistory[1][0], 32767);
  EXPECT_EQ(WaterfallHistory[1][300], 32767);  // 2147483647 - 32767, limited
  DrawnPass(All(-2147483647));
  EXPECT_EQ(WaterfallHistory[1][0], -32768);
  EXPECT_EQ(WaterfallHistory[1][300], -32768);
}

// Band 1 draws the older row's bin 300 over the newer row's floor, v / (100 -
// floor) x 255 x gain; at the floor and below it no signal.  A floor of 100
// or more draws no signal; one far below zero divides without overflow (100 -
// -32768 does not fit 16 bits).
TEST_F(Waterfall, OlderBandsScaleOverTheNewerRowsFloor) {
  const struct {
    int gain;
    std::string older, newer;
    int floor;
    Rgb band1;
  } cases[] = {
      // Every bin at 30 (bin 301 at 10): floor 15310 / 512, rounded to 30.
      {1, "300=35", All(30) + "301=10", 30, Grey(128)},
      {2, "300=35", All(30) + "301=10", 30, Grey(255)},
      {1, "300=50", All(99), 99, Grey(255)},
      {1, "300=50", All(100), 100, kNoSignal},
      {1, "300=50", All(30000), 29941, kNoSignal},
      {5, "300=50", All(-40000) + "300=0", -32768, Grey(2)},  // 50 / 32868 * 255 * 5 = 1.94
  };
  for (const auto& c : cases) {
    WaterfallGain = static_cast<int16_t>(c.gain);
    DrawnPass(c.older);
    DrawnPass(c.newer);
    ASSERT_EQ(WaterfallHistory[1][0], c.floor);
    EXPECT_EQ(Stroke(300, 1).rgb, c.band1) << c.floor;
    if (c.floor == 30) {  // band 0 over row 0's floor, 0: bin 300 at 0, bin 301 below
      EXPECT_EQ(Stroke(300, 0).rgb, kNoSignal);
      EXPECT_EQ(Stroke(301, 0).rgb, kNoSignal);
    }
  }
  // In the newer row bin 300 (0) lies far above the floor, bin 301 below it.
  EXPECT_EQ(WaterfallHistory[1][300], 32767);
  EXPECT_EQ(WaterfallHistory[1][301], -7232);
}
