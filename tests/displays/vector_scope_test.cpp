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
using forms::DrawOp;

namespace {

constexpr forms::Rgb kBlue = forms::RGB(0, 0, 255), kRed = forms::RGB(255, 0, 0),
                     kBlack = forms::RGB(0, 0, 0), kBar = forms::RGB(0, 200, 255);

// Right, up, left, down, a diagonal, nothing, a corner, and a small one.
constexpr std::array<int, 16> kVectors = {1000, 0,   0, 1000, -1000, 0,    0,    -1000,
                                          500,  500, 0, 0,    1000,  1000, -250, -750};

struct VectorScope : LoadedMainWindow {
  // Draws once with the engine answering `level` and kVectors.
  std::vector<std::string> Draw(int32_t level) {
    std::string vectors = "engine vectors";
    for (int v : kVectors) vectors += " " + std::to_string(v);
    session.Run(vectors + "\nengine level " + std::to_string(level));
    DrawVectorScope();
    return Describe(Form1().Picture1.Record());
  }
  // A clear, the circle, and eight spokes of pen width 2 from the centre, a
  // component of 1000 reaching r.
  static std::vector<std::string> Scope(float cx, float cy, float radius, double r,
                                        forms::Rgb colour) {
    std::vector<std::string> ops = {
        "cls",
        Describe(DrawOp{.kind = DrawOp::Kind::Circle, .x1 = cx, .y1 = cy, .r = radius, .rgb = {}})};
    for (size_t k = 0; k < kVectors.size(); k += 2) {
      ops.push_back("width 2");
      ops.push_back(LineText(cx, cy, cx + kVectors[k] / 1000.0 * r,
                             cy - kVectors[k + 1] / 1000.0 * r, colour));
    }
    return ops;
  }
  // The meter of a box W x H: its bar up to `top` and the squelch mark.
  static std::vector<std::string> Meter(double w, double h, double top, double mark) {
    return {"cls", BoxText(0, h, w, top, kBar), LineText(0, mark, w, mark, kBlack)};
  }
  static std::vector<std::string> MeterShown() { return Describe(Form1().Picture3.Record()); }
};

}  // namespace

TEST_F(VectorScope, AtTheDesignSizeWeakLevelsAreBlueAndScaledAsThirtyStrongerOnesRed) {
  // Centre 391.5 to the even 392, and 371; circle 330; r = 825 x 0.4 x 30 / 100 = 99.
  for (int level : {30, 0, 29, -40}) EXPECT_EQ(Draw(level), Scope(392, 371, 330, 99, kBlue));
  // The meter shows the raw -40, not the 30 the spokes use.
  EXPECT_EQ(MeterShown(), Meter(135, 1005, 1005 + 0.4 * 1005, 1005));
  // The snapshot shows the same operations.
  const QJsonObject s = session.Snapshot();
  EXPECT_EQ(Describe(DrawOf(s, "Picture1")), Describe(Form1().Picture1.Record()));
  EXPECT_EQ(Describe(DrawOf(s, "Picture3")), MeterShown());
  EXPECT_EQ(Draw(31), Scope(392, 371, 330, 102, kRed));  // 102.3 rounds to 102
  // At 100 a full component ends on the circle (392 + 330); above, beyond it.
  EXPECT_EQ(Draw(100), Scope(392, 371, 330, 330, kRed));
  EXPECT_EQ(Draw(250), Scope(392, 371, 330, 825, kRed));
}

TEST_F(VectorScope, TheScopeAndMeterFollowTheSizeOfTheirBoxes) {
  Form1().Picture1.SetWidth(1000);
  Form1().Picture1.SetHeight(601);
  Form1().Picture3.SetHeight(2000);
  Form1().Picture3.SetWidth(300);
  SquelchLevel = 25;
  // Centre 450 and 270.45 (to 270); circle 240.4; r = 601 x 0.4 x 0.5 = 120.2 to 120.
  EXPECT_EQ(Draw(50), Scope(450, 270, static_cast<float>(601 * 0.4), 120, kRed));
  EXPECT_EQ(MeterShown(), Meter(300, 2000, 1000, 1500));
}

// The engine's levels are percentages: level 0 no height, 100 the full
// height, beyond the scale out of the box.  A level beyond 16 bits reaches the
// meter clamped, and the spokes' radius unit saturates rather than wraps.
TEST_F(VectorScope, TheMeterRisesLevelPerCentOfTheHeightAndMarksTheSquelch) {
  for (auto [level, shown] : {std::pair{0, 0},
                              {50, 50},
                              {100, 100},
                              {150, 150},
                              {-10, -10},
                              {70000, 32767},
                              {-70000, -32768}}) {
    const auto scope = Draw(level);
    EXPECT_EQ(MeterShown(), Meter(135, 1005, 1005 - shown / 100.0 * 1005, 1005)) << level;
    if (level == 70000) {
      EXPECT_EQ(scope[3], LineText(392, 371, 392 + 32767, 371, kRed));
    }
  }
  // The squelch mark: the bottom edge at 0, a hundredth below the top at 99.
  SquelchLevel = 99;
  DrawSignalLevel(40);
  EXPECT_EQ(MeterShown(), Meter(135, 1005, 1005 - 0.4 * 1005, 1005 - 0.99 * 1005));
}
