// The raw-signal scope (Picture6): the sweep over HScroll1's segments, the
// erase box, 2047 points on a scale of 65534 times the gain.
#include <gtest/gtest.h>

#include <vector>

#include "app/Module1.h"
#include "app/form1.h"
#include "displays/displays.h"
#include "replay_test_support.h"

using namespace testing_support;

namespace {

constexpr forms::Rgb kNavy = forms::RGB(0, 0, 128), kCyan = forms::RGB(0, 255, 255);
constexpr double kW = 9045, kH = 1215;  // Picture6's design size
// Where a zero sample plots: a hair above the middle.
constexpr double kZeroY = kH * 32766 / 65534;

struct RawScope : LoadedMainWindow {
  // One run's operations (the scope is never cleared as a whole); checks
  // that they are a navy box of the full height and 2047 cyan points.
  std::vector<forms::DrawOp> Run() {
    const size_t before = Form1().Picture6.Record().size();
    DrawRawScope();
    const auto& record = Form1().Picture6.Record();
    std::vector<forms::DrawOp> ops(record.begin() + static_cast<std::ptrdiff_t>(before),
                                   record.end());
    EXPECT_EQ(ops.size(), 2048u);
    ops.resize(2048);
    EXPECT_EQ(BoxText(ops[0].x1, 0, ops[0].x2, kH, kNavy), Describe(ops[0]));
    for (size_t i = 1; i < ops.size(); ++i) {
      EXPECT_EQ(ops[i].kind, forms::DrawOp::Kind::Point);
      EXPECT_EQ(ops[i].rgb, kCyan);
    }
    return ops;
  }
  // Where one sample plots, at a gain.
  float YOf(int gain, int32_t sample) {
    session.Run("set VScroll2 " + std::to_string(gain) +
                "\nengine raw 1=" + std::to_string(sample));
    return Run()[1].y1;
  }
};

}  // namespace

TEST_F(RawScope, OneSegmentRedrawsTheFullWidthEveryRunZeroSamplesAHairAboveTheMiddle) {
  for (int run = 0; run < 2; ++run) {
    const auto ops = Run();
    EXPECT_EQ(ops[0].x1, 1);
    EXPECT_EQ(ops[0].x2, static_cast<float>(kW));
    EXPECT_EQ(ScopeSweepPos, 1);
    // Points from X0 + DX to one unit beyond the erased box.
    EXPECT_FLOAT_EQ(ops[1].x1, static_cast<float>(1 + kW / 2047));
    EXPECT_FLOAT_EQ(ops[2047].x1, static_cast<float>(kW + 1));
    for (size_t i = 1; i < ops.size(); ++i) ASSERT_NEAR(ops[i].y1, kZeroY, 1e-3) << i;
  }
  // The snapshot shows the same operations.
  EXPECT_EQ(Describe(DrawOf(session.Snapshot(), "Picture6")), Describe(Form1().Picture6.Record()));
}

TEST_F(RawScope, SegmentsAreDrawnInTurnAndLoweringTheirNumberBelowThePositionGoesBackToTheFirst) {
  session.Run("set HScroll1 3");
  const double third = kW / 3;
  const std::pair<double, double> bounds[] = {
      {1, third}, {third + 1, 2 * third}, {2 * third + 1, kW}, {1, third}};
  for (int run = 0; run < 4; ++run) {
    const auto ops = Run();
    EXPECT_EQ(ScopeSweepPos, run % 3 + 1);
    EXPECT_FLOAT_EQ(ops[0].x1, static_cast<float>(bounds[run].first)) << run;
    EXPECT_FLOAT_EQ(ops[0].x2, static_cast<float>(bounds[run].second)) << run;
    // The segment's points step W / 2047 / 3 from its left bound.
    EXPECT_FLOAT_EQ(ops[2047].x1, static_cast<float>(bounds[run].first + third)) << run;
  }
  session.Run("set HScroll1 10\nset ScopeSweepPos 7\nset HScroll1 4");
  const auto ops = Run();
  EXPECT_EQ(ScopeSweepPos, 1);
  EXPECT_FLOAT_EQ(ops[0].x2, static_cast<float>(kW / 4));
}

// At gain 1 the 16-bit range spans the height; the gain stretches about the
// zero line.  Samples beyond 16 bits cannot overflow: a large positive one
// lies far above the box, a large negative one far below.
TEST_F(RawScope, SamplesPlotOver65534UnitsOfTheHeightTimesTheGain) {
  const struct {
    int gain;
    int32_t sample;
    double y;
  } cases[] = {{1, -32768, kH},  // the bottom edge
               {1, 32766, 0},    // the top edge
               {200, -1, kH - (32768 - 200) * kH / 65534},
               {200, 0, kZeroY}};
  for (const auto& c : cases) EXPECT_NEAR(YOf(c.gain, c.sample), c.y, 1e-3) << c.sample;
  EXPECT_LT(YOf(200, 164), 0);  // 164 x 200 + 32768 = 65568: above the top edge
  EXPECT_GT(YOf(200, 163), 0);
  EXPECT_GT(YOf(200, -2000000000), kH * 1e6);
  EXPECT_LT(YOf(200, 2147483647), -kH * 1e6);
}

TEST_F(RawScope, EntryZeroIsNotPlottedAndNoMoreThan2047AreAskedFor) {
  // The engine would deliver 2049 samples but is asked for 2047, so it
  // fills entries 0..2046 only; the step follows the count it reports.
  session.Run("engine raw-count 2049\nengine raw 0=30000 2046=-32768 2047=30000 2048=30000");
  const auto ops = Run();
  EXPECT_NEAR(ops[2046].y1, kH, 1e-3);
  EXPECT_NEAR(ops[2047].y1, kZeroY, 1e-3);
  EXPECT_FLOAT_EQ(ops[1].x1, static_cast<float>(1 + kW / 2049));
  EXPECT_EQ(CallsOf(session.Snapshot(), "fnGetRawData"),
            (std::vector<std::string>{"fnGetRawData(array,0,array)"}));
}

TEST_F(RawScope, HalfTheSamplesDoubleTheStepAndTheRestRunsOnBeyond) {
  session.Run("set HScroll1 2\nengine raw-count 1024");
  const auto ops = Run();
  EXPECT_FLOAT_EQ(ops[1].x1, static_cast<float>(1 + kW / 1024 / 2));
  EXPECT_FLOAT_EQ(ops[1024].x1, static_cast<float>(ops[0].x2 + 1));
  EXPECT_GT(ops[2047].x1, ops[0].x2 + kW / 2 * 0.99);  // over the next segment
}

// Left open: no samples (a count of 0 or less) draw nothing for the run,
// while the sweep still moves on.
TEST_F(RawScope, NoSamplesDrawNothingButTheSweepMovesOn) {
  session.Run("set HScroll1 3");
  for (int count : {0, -5}) {
    session.Run("engine raw-count " + std::to_string(count));
    const size_t before = Form1().Picture6.Record().size();
    DrawRawScope();
    EXPECT_EQ(Form1().Picture6.Record().size(), before) << count;
  }
  EXPECT_EQ(ScopeSweepPos, 2);
  session.Run("engine raw-count 2047");
  EXPECT_FLOAT_EQ(Run()[0].x1, static_cast<float>(2 * kW / 3 + 1));
  EXPECT_EQ(ScopeSweepPos, 3);
}
