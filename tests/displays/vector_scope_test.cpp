// The vector scope: the centre at 45 % of the box, the circle, the length of
// the spokes from the signal level (never shorter than at 30), their
// directions and colours, and the hand-over of the raw level to the meter.
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

constexpr forms::Rgb kBlue = forms::RGB(0, 0, 255);
constexpr forms::Rgb kRed = forms::RGB(255, 0, 0);

// Right, up, left, down, a diagonal, nothing, a corner, and a small one.
constexpr std::array<int, 16> kVectors = {1000, 0,   0, 1000, -1000, 0,    0,    -1000,
                                          500,  500, 0, 0,    1000,  1000, -250, -750};

struct VectorScope : ::testing::Test {
  void SetUp() override { session.Run("load Form1"); }

  // Draws once with the engine answering `level` and kVectors.
  const std::vector<forms::DrawOp>& Draw(int32_t level) {
    std::string vectors = "engine vectors";
    for (int v : kVectors) vectors += " " + std::to_string(v);
    session.Run(vectors + "\nengine level " + std::to_string(level));
    DrawVectorScope();
    return Form1().Picture1.Record();
  }

  // The spoke ends for a centre and a radius unit.
  static std::vector<std::pair<float, float>> Ends(double cx, double cy, double r) {
    std::vector<std::pair<float, float>> out;
    for (int i = 0; i < 16; i += 2)
      out.emplace_back(static_cast<float>(cx + kVectors[i] * r / 1000),
                       static_cast<float>(cy - kVectors[i + 1] * r / 1000));
    return out;
  }

  // The whole picture: a clear, the circle, and eight spokes of pen width 2.
  static void ExpectScope(const std::vector<forms::DrawOp>& ops, float cx, float cy, float radius,
                          double r, forms::Rgb colour) {
    ASSERT_EQ(ops.size(), 2u + 16u);
    EXPECT_EQ(ops[0].kind, Kind::Cls);
    EXPECT_EQ(ops[1].kind, Kind::Circle);
    EXPECT_EQ(ops[1].x1, cx);
    EXPECT_EQ(ops[1].y1, cy);
    EXPECT_EQ(ops[1].r, radius);
    EXPECT_EQ(ops[1].rgb, forms::RGB(0, 0, 0));
    const auto ends = Ends(cx, cy, r);
    for (int k = 0; k < 8; ++k) {
      const forms::DrawOp& width = ops[2 + 2 * k];
      const forms::DrawOp& spoke = ops[3 + 2 * k];
      EXPECT_EQ(width.kind, Kind::Width) << k;
      EXPECT_EQ(width.width, 2) << k;
      ASSERT_EQ(spoke.kind, Kind::Line) << k;
      EXPECT_EQ(spoke.x1, cx) << k;
      EXPECT_EQ(spoke.y1, cy) << k;
      EXPECT_FLOAT_EQ(spoke.x2, ends[k].first) << k;
      EXPECT_FLOAT_EQ(spoke.y2, ends[k].second) << k;
      EXPECT_EQ(spoke.rgb, colour) << k;
    }
  }

  replay::Session session;
};

}  // namespace

TEST_F(VectorScope, TheDesignSizeGivesCentre392By371AndCircle330) {
  ASSERT_EQ(Form1().Picture1.Width(), 870);
  ASSERT_EQ(Form1().Picture1.Height(), 825);
  // 391.5 goes to the even 392; r = 825 x 0.4 x 30 / 100 = 99.
  ExpectScope(Draw(30), 392, 371, 330, 99, kBlue);
}

TEST_F(VectorScope, WeakLevelsAreBlueAndScaledAsThirty) {
  for (int level : {0, 29, -40}) {
    SCOPED_TRACE(level);
    ExpectScope(Draw(level), 392, 371, 330, 99, kBlue);
  }
}

TEST_F(VectorScope, StrongerLevelsAreRedAndScaleWithTheLevel) {
  ExpectScope(Draw(31), 392, 371, 330, 102, kRed);  // 102.3 rounds to 102
  // At 100 a full component ends on the circle: 392 + 330 = 722.
  const auto& full = Draw(100);
  ExpectScope(full, 392, 371, 330, 330, kRed);
  EXPECT_EQ(full[3].x2, 722);
  EXPECT_EQ(full[5].y2, 371 - 330);
  // Above 100 the spokes reach beyond the circle.
  ExpectScope(Draw(250), 392, 371, 330, 825, kRed);
}

TEST_F(VectorScope, TheScopeFollowsTheSizeOfItsBox) {
  Form1().Picture1.SetWidth(1000);
  Form1().Picture1.SetHeight(601);
  // Centre 450 and 270.45 (to 270); circle 240.4; r = 601 x 0.4 x 0.5 = 120.2 to 120.
  ExpectScope(Draw(50), 450, 270, static_cast<float>(601 * 0.4), 120, kRed);
}

TEST_F(VectorScope, AskTheEngineForVectorsThenLevelAndDrawTheMeterFromTheRawLevel) {
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
  const auto& ops = Draw(70000);
  EXPECT_FLOAT_EQ(ops[3].x2, 392 + 32767.0f);
}

TEST_F(VectorScope, TheRenderedScopeShowsCircleAndSpokesOnWhite) {
  Draw(30);
  forms::PictureBox& box = Form1().Picture1;
  // Whether a colour lies within a pixel of a point.
  auto near = [&box](float x, float y, forms::Rgb colour) {
    for (float dx : {-15.0f, 0.0f, 15.0f})
      for (float dy : {-15.0f, 0.0f, 15.0f})
        if (box.PixelAt(x + dx, y + dy) == colour) return true;
    return false;
  };
  EXPECT_EQ(box.PixelAt(392 + 60, 371), kBlue);            // along the spoke pointing right
  EXPECT_EQ(box.PixelAt(392, 371 + 60), kBlue);            // along the spoke pointing down
  EXPECT_TRUE(near(392 - 330, 371, forms::RGB(0, 0, 0)));  // the circle's left end
  EXPECT_TRUE(near(392, 371 - 330, forms::RGB(0, 0, 0)));  // and its top
  EXPECT_EQ(box.PixelAt(392 - 150, 371 - 150), forms::RGB(255, 255, 255));
  EXPECT_EQ(box.PixelAt(392 + 60, 371 - 200), forms::RGB(255, 255, 255));
}
