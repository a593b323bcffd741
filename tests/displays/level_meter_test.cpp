// The signal-level meter: a bar from the bottom edge to level per cent of
// the height, across the whole width, and the squelch mark.
#include <gtest/gtest.h>

#include <vector>

#include "app/Module1.h"
#include "app/form1.h"
#include "displays/displays.h"
#include "replay_test_support.h"

using Kind = forms::DrawOp::Kind;

namespace {

constexpr forms::Rgb kBar = forms::RGB(0, 200, 255);
constexpr forms::Rgb kBack = forms::RGB(255, 255, 192);

struct LevelMeter : ::testing::Test {
  void SetUp() override { session.Run("load Form1"); }

  // The meter's operations for a level; the bar's top and the mark's height
  // as drawn.
  struct Meter {
    float bar_top, mark;
  };
  Meter Draw(int16_t level) {
    DrawSignalLevel(level);
    const std::vector<forms::DrawOp>& ops = Form1().Picture3.Record();
    EXPECT_EQ(ops.size(), 3u);
    if (ops.size() != 3u) return {};
    EXPECT_EQ(ops[0].kind, Kind::Cls);
    const forms::DrawOp& bar = ops[1];
    EXPECT_EQ(bar.kind, Kind::Box);
    EXPECT_TRUE(bar.filled);
    EXPECT_EQ(bar.rgb, kBar);
    EXPECT_EQ(bar.x1, 0);
    EXPECT_EQ(bar.y1, 1005);
    EXPECT_EQ(bar.x2, 135);
    const forms::DrawOp& mark = ops[2];
    EXPECT_EQ(mark.kind, Kind::Line);
    EXPECT_EQ(mark.rgb, forms::RGB(0, 0, 0));
    EXPECT_EQ(mark.x1, 0);
    EXPECT_EQ(mark.x2, 135);
    EXPECT_EQ(mark.y1, mark.y2);
    return {bar.y2, mark.y1};
  }

  replay::Session session;
};

}  // namespace

TEST_F(LevelMeter, TheBarRisesLevelPerCentOfTheHeight) {
  ASSERT_EQ(Form1().Picture3.Height(), 1005);
  EXPECT_EQ(Draw(0).bar_top, 1005);  // no height at all
  EXPECT_FLOAT_EQ(Draw(29).bar_top, 1005 * 0.71f);
  EXPECT_FLOAT_EQ(Draw(30).bar_top, 1005 * 0.70f);
  EXPECT_FLOAT_EQ(Draw(50).bar_top, 502.5f);
  EXPECT_EQ(Draw(100).bar_top, 0);  // the full height
  // Beyond the scale the bar leaves the box at the top, or at the bottom.
  EXPECT_FLOAT_EQ(Draw(150).bar_top, -502.5f);
  EXPECT_FLOAT_EQ(Draw(-10).bar_top, 1105.5f);
}

TEST_F(LevelMeter, TheSquelchMarkRunsFromTheBottomEdgeToAHundredthBelowTheTop) {
  EXPECT_EQ(Draw(40).mark, 1005);
  SquelchLevel = 99;
  EXPECT_FLOAT_EQ(Draw(40).mark, 10.05f);
  SquelchLevel = 50;
  EXPECT_FLOAT_EQ(Draw(40).mark, 502.5f);
}

TEST_F(LevelMeter, TheMeterFollowsTheSizeOfItsBox) {
  Form1().Picture3.SetHeight(2000);
  Form1().Picture3.SetWidth(300);
  SquelchLevel = 25;
  DrawSignalLevel(40);
  const auto& ops = Form1().Picture3.Record();
  ASSERT_EQ(ops.size(), 3u);
  EXPECT_EQ(ops[1].y1, 2000);
  EXPECT_EQ(ops[1].x2, 300);
  EXPECT_EQ(ops[1].y2, 1200);
  EXPECT_EQ(ops[2].y1, 1500);
  EXPECT_EQ(ops[2].x2, 300);
}

TEST_F(LevelMeter, TheRenderedMeterShowsTheBarOnTheBackColourAndTheMark) {
  SquelchLevel = 70;
  DrawSignalLevel(50);
  forms::PictureBox& meter = Form1().Picture3;
  EXPECT_EQ(meter.PixelAt(67, 900), kBar);
  EXPECT_EQ(meter.PixelAt(67, 600), kBar);
  EXPECT_EQ(meter.PixelAt(67, 400), kBack);
  EXPECT_EQ(meter.PixelAt(67, 1005 - 0.7f * 1005), forms::RGB(0, 0, 0));
  // A lower level next time clears what the old bar covered.
  DrawSignalLevel(10);
  EXPECT_EQ(meter.PixelAt(67, 600), kBack);
}
