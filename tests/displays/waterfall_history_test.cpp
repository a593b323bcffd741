// The waterfall's passes: drawn on every second display notification, the
// stroke geometry, the newest spectrum in the top band, the floor of a row,
// and the history kept per absolute bin when the range changes.
#include <gtest/gtest.h>

#include "app/Module1.h"
#include "app/form1.h"
#include "replay_test_support.h"

using forms::DrawOp;
using forms::Rgb;

namespace {

constexpr Rgb kNoSignal = forms::RGB(0, 0, 120);

struct Waterfall : ::testing::Test {
  void SetUp() override { session.Run("load Form1"); }
  void Notify(const std::string& script = "") { session.Run(script + "\npost 2024 0 0"); }
  void Range(int low, int high) {
    DisplayLowHz = static_cast<int16_t>(low);
    DisplayHighHz = static_cast<int16_t>(high);
  }
  // The stroke of column i (1..N-1), band j (0..14) of the last drawn pass.
  static const DrawOp& Stroke(int i, int j) {
    return Form1().Picture7.Record().at(1 + static_cast<size_t>(i - 1) * 15 + j);
  }
  replay::Session session;
};

}  // namespace

TEST_F(Waterfall, DrawsOnTheFirstThirdAndFifthNotification) {
  WaterfallGain = 1;
  // Each run brings a new level in bin 300 (column 172 at 500..2500); band 0
  // shows the level of the last drawn run, level / 100 * 255.
  const int level[] = {0, 20, 40, 60, 80, 100};
  const int top_band[] = {0, 51, 51, 153, 153, 255};
  for (int run = 1; run <= 5; ++run) {
    Notify("engine fft 300=" + std::to_string(level[run]));
    EXPECT_EQ(WaterfallPhase, run % 2) << run;
    EXPECT_EQ(WaterfallHistory[1][300], level[run % 2 == 1 ? run : run - 1]) << run;
    EXPECT_EQ(Stroke(172, 0).rgb.r, top_band[run]) << run;
  }
  EXPECT_EQ(WaterfallHistory[2][300], 60);
  EXPECT_EQ(WaterfallHistory[3][300], 20);
  EXPECT_EQ(WaterfallHistory[4][300], 0);
}

TEST_F(Waterfall, OnePassFromStartShowsTheNewestSpectrumInBandZeroAndNoSignalBelow) {
  WaterfallGain = 2;
  Notify("engine fft 200=40 201=1 202=100 640=100");
  // Floor: (40 + 1 + 100) / 512 = 0.28, so 0; band 0 uses row 0's floor, 0.
  EXPECT_EQ(WaterfallHistory[1][0], 0);
  const auto& ops = Form1().Picture7.Record();
  ASSERT_EQ(ops.size(), 1u + 511 * 15);
  EXPECT_EQ(ops[0].kind, DrawOp::Kind::Cls);
  const double xs7 = 9045.0 / 512, ys7 = 1035.0 / 15;
  for (int i = 1; i <= 511; ++i) {
    for (int j = 0; j < 15; ++j) {
      const DrawOp& op = Stroke(i, j);
      ASSERT_EQ(op.kind, DrawOp::Kind::Line);
      ASSERT_EQ(op.x1, static_cast<float>(i * xs7));
      ASSERT_EQ(op.x2, op.x1);
      ASSERT_EQ(op.y1, static_cast<float>(j * ys7));
      ASSERT_EQ(op.y2, static_cast<float>((j + 1) * ys7));
      if (j > 0) {
        ASSERT_EQ(op.rgb, kNoSignal) << i << "," << j;
      }
    }
  }
  EXPECT_EQ(Stroke(1, 0).x1, static_cast<float>(xs7));
  EXPECT_EQ(Stroke(511, 0).x1, static_cast<float>(511 * xs7));
  EXPECT_EQ(Stroke(72, 0).rgb, forms::RGB(204, 204, 120));  // 40 / 100 * 255 * 2
  EXPECT_EQ(Stroke(73, 0).rgb, forms::RGB(5, 5, 120));      // 5.1
  EXPECT_EQ(Stroke(74, 0).rgb, forms::RGB(255, 255, 120));  // 510, clamped
  EXPECT_EQ(Stroke(71, 0).rgb, kNoSignal);                  // level 0
}

TEST_F(Waterfall, TheFloorIsTheSumOfTheInnerBinsOverNRoundedHalfToEven) {
  // 500..2500: bins 129..639 (511 values) over N = 512; bins 128 and 640 at
  // level 100 are left out.
  struct Case {
    int count;  // bins from 129 on at the level
    int level;
    int floor;
  };
  for (const Case& c : {Case{256, 1, 0}, Case{256, 3, 2}, Case{256, 5, 2}, Case{256, 7, 4},
                        Case{511, 1, 1}, Case{0, 0, 0}}) {
    std::string bins = "engine fft 128=100 640=100";
    for (int k = 129; k < 129 + c.count; ++k) {
      bins += " " + std::to_string(k) + "=" + std::to_string(c.level);
    }
    WaterfallPhase = 0;
    Notify("engine fft 0\n" + bins);
    EXPECT_EQ(WaterfallHistory[1][0], c.floor) << c.count << " bins at " << c.level;
    // The row holds each bin less the floor.
    EXPECT_EQ(WaterfallHistory[1][129], (c.count > 0 ? c.level : 0) - c.floor);
    EXPECT_EQ(WaterfallHistory[1][639], (c.count == 511 ? c.level : 0) - c.floor);
  }
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

  EXPECT_EQ(Stroke(450 - 256, 0).rgb, forms::RGB(102, 102, 120));  // C: 40 / 100 * 255
  EXPECT_EQ(Stroke(400 - 256, 1).rgb, forms::RGB(204, 204, 120));  // B: 80 / 100 * 255
  EXPECT_EQ(Stroke(350 - 256, 2).rgb, forms::RGB(227, 227, 120));  // A: 89 / 100 * 255
  EXPECT_EQ(WaterfallHistory[3][0], 1);                            // A's floor moved with its row
  // Bins below 308 were never written before B: A's band shows no signal there.
  EXPECT_EQ(Stroke(300 - 256, 2).rgb, kNoSignal);
  EXPECT_EQ(Stroke(350 - 256, 3).rgb, kNoSignal);
  // Bins outside 1000..2000 keep what they held: B's row is still row 1 there.
  EXPECT_EQ(WaterfallHistory[1][200], 70);
  EXPECT_EQ(WaterfallHistory[2][200], 0);
}

TEST_F(Waterfall, RendersStrokesWithTheBackgroundBetweenThem) {
  // 1200..1800: XS7 = 59.1 twips, about four pixels per column.
  Range(1200, 1800);
  WaterfallGain = 1;
  Notify("engine fft 400=50");
  forms::PictureBox& box = Form1().Picture7;
  const double xs7 = 9045.0 / 153;
  const float x = static_cast<float>((400 - 307) * xs7);
  EXPECT_EQ(box.PixelAt(x, 30), forms::RGB(128, 128, 120));   // 127.5 rounds to even
  EXPECT_EQ(box.PixelAt(x, 300), kNoSignal);                  // an older band
  EXPECT_EQ(box.PixelAt(x + 30, 30), forms::RGB(0, 0, 128));  // between strokes
}
