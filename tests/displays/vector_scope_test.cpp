// The vector scope (Picture1) and the signal-level meter (Picture3) drawn
// after it from the same engine level.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "app/Module1.h"
#include "app/form1.h"
#include "displays/displays.h"
#include "replay_test_support.h"

using namespace testing_support;
using Kind = forms::DrawOp::Kind;

namespace {

constexpr forms::Rgb kBlue = forms::RGB(0, 0, 255), kRed = forms::RGB(255, 0, 0),
                     kBlack = forms::RGB(0, 0, 0), kBar = forms::RGB(0, 200, 255);

// Right, up, left, down, a diagonal, nothing, a corner, and a small one.
constexpr std::array<int, 16> kVectors = {1000, 0,   0, 1000, -1000, 0,    0,    -1000,
                                          500,  500, 0, 0,    1000,  1000, -250, -750};

struct VectorScope : LoadedMainWindow {
  // Draws once with the engine answering `level` and kVectors.
  const std::vector<forms::DrawOp>& Draw(int32_t level) {
    std::string vectors = "engine vectors";
    for (int v : kVectors) vectors += " " + std::to_string(v);
    session.Run(vectors + "\nengine level " + std::to_string(level));
    DrawVectorScope();
    return Form1().Picture1.Record();
  }

  // The whole picture: a clear, the circle, and eight spokes of pen width 2
  // from the centre, a component of 1000 reaching r.
  static void ExpectScope(const std::vector<forms::DrawOp>& ops, float cx, float cy, float radius,
                          double r, forms::Rgb colour) {
    ASSERT_EQ(ops.size(), 2u + 16u);
    EXPECT_EQ(Describe(ops[0]), "cls");
    EXPECT_EQ(Describe(ops[1]),
              Describe(forms::DrawOp{
                  .kind = Kind::Circle, .x1 = cx, .y1 = cy, .r = radius, .rgb = kBlack}));
    for (int k = 0; k < 8; ++k) {
      EXPECT_EQ(Describe(ops[2 + 2 * k]), "width 2") << k;
      const forms::DrawOp& spoke = ops[3 + 2 * k];
      ASSERT_EQ(spoke.kind, Kind::Line) << k;
      EXPECT_EQ(spoke.x1, cx) << k;
      EXPECT_EQ(spoke.y1, cy) << k;
      EXPECT_FLOAT_EQ(spoke.x2, static_cast<float>(cx + kVectors[2 * k] * r / 1000)) << k;
      EXPECT_FLOAT_EQ(spoke.y2, static_cast<float>(cy - kVectors[2 * k + 1] * r / 1000)) << k;
      EXPECT_EQ(spoke.rgb, colour) << k;
    }
  }

  // The meter after drawing a level: its bar's top and its squelch mark's height.
  struct Meter {
    float bar_top, mark;
  };
  static Meter MeterFor(int16_t level) {
    DrawSignalLevel(level);
    const std::vector<forms::DrawOp>& ops = Form1().Picture3.Record();
    const float w = Form1().Picture3.Width(), h = Form1().Picture3.Height();
    EXPECT_EQ(ops.size(), 3u);
    if (ops.size() != 3u) return {};
    EXPECT_EQ(ops[0].kind, Kind::Cls);
    EXPECT_EQ(
        Describe(ops[1]),
        Describe(forms::DrawOp{
            .kind = Kind::Box, .y1 = h, .x2 = w, .y2 = ops[1].y2, .rgb = kBar, .filled = true}));
    EXPECT_EQ(Describe(ops[2]),
              Describe(forms::DrawOp{
                  .kind = Kind::Line, .y1 = ops[2].y1, .x2 = w, .y2 = ops[2].y1, .rgb = kBlack}));
    return {ops[1].y2, ops[2].y1};
  }
};

}  // namespace

TEST_F(VectorScope, AtTheDesignSizeWeakLevelsAreBlueAndScaledAsThirtyStrongerOnesRed) {
  ASSERT_EQ(Form1().Picture1.Width(), 870);
  ASSERT_EQ(Form1().Picture1.Height(), 825);
  // Centre 391.5 to the even 392, and 371; circle 330; r = 825 x 0.4 x 30 / 100 = 99.
  for (int level : {30, 0, 29, -40}) {
    SCOPED_TRACE(level);
    ExpectScope(Draw(level), 392, 371, 330, 99, kBlue);
  }
  // The snapshot shows the same operations.
  EXPECT_EQ(Describe(DrawOf(session.Snapshot(), "Picture1")), Describe(Form1().Picture1.Record()));
  ExpectScope(Draw(31), 392, 371, 330, 102, kRed);  // 102.3 rounds to 102
  // At 100 a full component ends on the circle: 392 + 330 = 722.
  const auto& full = Draw(100);
  ExpectScope(full, 392, 371, 330, 330, kRed);
  EXPECT_EQ(full[3].x2, 722);
  EXPECT_EQ(full[5].y2, 371 - 330);
  // Above 100 the spokes reach beyond the circle.
  ExpectScope(Draw(250), 392, 371, 330, 825, kRed);
}

TEST_F(VectorScope, TheScopeAndMeterFollowTheSizeOfTheirBoxes) {
  Form1().Picture1.SetWidth(1000);
  Form1().Picture1.SetHeight(601);
  // Centre 450 and 270.45 (to 270); circle 240.4; r = 601 x 0.4 x 0.5 = 120.2 to 120.
  ExpectScope(Draw(50), 450, 270, static_cast<float>(601 * 0.4), 120, kRed);
  Form1().Picture3.SetHeight(2000);
  Form1().Picture3.SetWidth(300);
  SquelchLevel = 25;
  const Meter m = MeterFor(40);
  EXPECT_EQ(m.bar_top, 1200);
  EXPECT_EQ(m.mark, 1500);
}

TEST_F(VectorScope, AsksTheEngineForVectorsThenLevelAndDrawsTheMeterFromTheRawLevel) {
  session.Snapshot();  // a fresh list of engine calls
  session.Run("set SquelchLevel 40");
  Draw(0);
  const QJsonObject s = session.Snapshot();
  EXPECT_EQ(CallList(s),
            (std::vector<std::string>{"fnGetVectorData(array,0)", "fnGetSignalLevel(0)=0"}));
  // The meter shows the raw 0, not the 30 the spokes use.
  const QJsonArray meter = DrawOf(s, "Picture3");
  ASSERT_EQ(meter.size(), 3);
  EXPECT_EQ(meter[1].toObject()["y2"].toDouble(), 1005);
  EXPECT_FLOAT_EQ(meter[2].toObject()["y1"].toDouble(), 603);  // squelch 40
}

// The engine's levels are percentages; a level beyond 16 bits reaches the
// meter clamped.
TEST_F(VectorScope, ALevelBeyondSixteenBitsIsClampedForTheMeter) {
  for (auto [level, shown] : {std::pair{70000, 32767}, std::pair{-70000, -32768}}) {
    Draw(level);
    const auto& meter = Form1().Picture3.Record();
    ASSERT_EQ(meter.size(), 3u);
    EXPECT_FLOAT_EQ(meter[1].y2, static_cast<float>(1005 - shown / 100.0 * 1005)) << level;
  }
  // The spokes' radius unit saturates rather than wrapping round.
  EXPECT_FLOAT_EQ(Draw(70000)[3].x2, 392 + 32767.0f);
}

TEST_F(VectorScope, TheMeterRisesLevelPerCentOfTheHeightAndMarksTheSquelch) {
  ASSERT_EQ(Form1().Picture3.Height(), 1005);
  EXPECT_EQ(MeterFor(0).bar_top, 1005);  // no height at all
  EXPECT_FLOAT_EQ(MeterFor(29).bar_top, 1005 * 0.71f);
  EXPECT_FLOAT_EQ(MeterFor(30).bar_top, 1005 * 0.70f);
  EXPECT_FLOAT_EQ(MeterFor(50).bar_top, 502.5f);
  EXPECT_EQ(MeterFor(100).bar_top, 0);  // the full height
  // Beyond the scale the bar leaves the box at the top, or at the bottom.
  EXPECT_FLOAT_EQ(MeterFor(150).bar_top, -502.5f);
  EXPECT_FLOAT_EQ(MeterFor(-10).bar_top, 1105.5f);
  // The squelch mark: the bottom edge at 0, a hundredth below the top at 99.
  EXPECT_EQ(MeterFor(40).mark, 1005);
  SquelchLevel = 99;
  EXPECT_FLOAT_EQ(MeterFor(40).mark, 10.05f);
  SquelchLevel = 50;
  EXPECT_FLOAT_EQ(MeterFor(40).mark, 502.5f);
}

TEST_F(VectorScope, RendersCircleAndSpokesOnWhiteAndTheMeterOnItsBackColour) {
  Draw(30);
  forms::PictureBox& box = Form1().Picture1;
  // Whether a colour lies within a pixel of a point.
  auto near = [&box](float x, float y, forms::Rgb colour) {
    for (float dx : {-15.0f, 0.0f, 15.0f})
      for (float dy : {-15.0f, 0.0f, 15.0f})
        if (box.PixelAt(x + dx, y + dy) == colour) return true;
    return false;
  };
  EXPECT_EQ(box.PixelAt(392 + 60, 371), kBlue);  // along the spoke pointing right
  EXPECT_EQ(box.PixelAt(392, 371 + 60), kBlue);  // along the spoke pointing down
  EXPECT_TRUE(near(392 - 330, 371, kBlack));     // the circle's left end
  EXPECT_TRUE(near(392, 371 - 330, kBlack));     // and its top
  EXPECT_EQ(box.PixelAt(392 - 150, 371 - 150), forms::RGB(255, 255, 255));
  EXPECT_EQ(box.PixelAt(392 + 60, 371 - 200), forms::RGB(255, 255, 255));

  SquelchLevel = 70;
  DrawSignalLevel(50);
  forms::PictureBox& meter = Form1().Picture3;
  const forms::Rgb back = forms::RGB(255, 255, 192);
  EXPECT_EQ(meter.PixelAt(67, 900), kBar);
  EXPECT_EQ(meter.PixelAt(67, 600), kBar);
  EXPECT_EQ(meter.PixelAt(67, 400), back);
  EXPECT_EQ(meter.PixelAt(67, 1005 - 0.7f * 1005), kBlack);
  // A lower level next time clears what the old bar covered.
  DrawSignalLevel(10);
  EXPECT_EQ(meter.PixelAt(67, 600), back);
}
