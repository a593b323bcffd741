// The IMD bar graph: the recorded operations of Picture5 in order and
// coordinates for several averages, at the design size and after the box's
// size changes, and the rendered colours.
#include <gtest/gtest.h>

#include "app/Module1.h"
#include "app/form1.h"
#include "displays/displays.h"
#include "replay_test_support.h"

using namespace testing_support;

namespace {

// One recorded operation, as the replay dump writes it.
struct Op {
  std::string op;
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // as the box receives them
  std::vector<int> rgb;
  int w = 0;
};

Op Cls() {
  return {.op = "cls", .rgb = {}};
}
Op Width1() {
  return {.op = "width", .rgb = {}, .w = 1};
}
// A filled box; the coordinates as they reach the box, in single precision.
Op Filled(double x1, double y1, double x2, double y2, std::vector<int> rgb) {
  return {.op = "box",
          .x1 = static_cast<float>(x1),
          .y1 = static_cast<float>(y1),
          .x2 = static_cast<float>(x2),
          .y2 = static_cast<float>(y2),
          .rgb = std::move(rgb)};
}

void ExpectOps(const QJsonArray& actual, const std::vector<Op>& expected, const std::string& what) {
  ASSERT_EQ(actual.size(), static_cast<qsizetype>(expected.size())) << what;
  for (size_t i = 0; i < expected.size(); ++i) {
    const QJsonObject o = actual[i].toObject();
    const Op& e = expected[i];
    const std::string where = what + ", operation " + std::to_string(i);
    EXPECT_EQ(o["op"].toString().toStdString(), e.op) << where;
    if (e.op == "width") {
      EXPECT_EQ(o["w"].toInt(), e.w) << where;
    }
    if (e.op != "box") continue;
    EXPECT_EQ(o["x1"].toDouble(), e.x1) << where;
    EXPECT_EQ(o["y1"].toDouble(), e.y1) << where;
    EXPECT_EQ(o["x2"].toDouble(), e.x2) << where;
    EXPECT_EQ(o["y2"].toDouble(), e.y2) << where;
    EXPECT_TRUE(o["filled"].toBool()) << where;
    const QJsonArray rgb = o["rgb"].toArray();
    ASSERT_EQ(rgb.size(), 3) << where;
    for (int c = 0; c < 3; ++c) EXPECT_EQ(rgb[c].toInt(), e.rgb[c]) << where;
  }
}

// The scale of a box W wide and H high, band edges given as computed.
std::vector<Op> Scale(double w, double h, double e15, double e20, double e30) {
  return {Cls(),
          Width1(),
          Filled(0, 0, e15, h, {255, 0, 0}),
          Filled(e15, 0, e20, h, {255, 255, 0}),
          Filled(e20, 0, e30, h, {200, 255, 255}),
          Filled(e30, 0, w, h, {0, 255, 255})};
}

struct ImdBar : ::testing::Test {
  void SetUp() override { session.Run("load Form1"); }
  QJsonArray DrawnFor(int average) {
    ImdAverage = static_cast<int16_t>(average);
    DrawImdBar();
    return DrawOf(session.Snapshot(), "Picture5");
  }
  replay::Session session;
};

}  // namespace

TEST_F(ImdBar, TheLoadDrawsTheEmptyScale) {
  ExpectOps(DrawOf(session.Snapshot(), "Picture5"), Scale(8595, 405, 2578.5, 3438, 5157), "load");
}

TEST_F(ImdBar, TheBarAtTheDesignSize) {
  // 8595 x 405: the bar from a third of the height (135) down, 171.9 per dB.
  const struct {
    int average;
    double end;
  } cases[] = {{0, 0},      {3, 0},      {-15, 2578.5}, {-25, 4297.5},
               {-50, 8595}, {-60, 8595}, {-1, 171.9},   {-49, 8423.1}};
  for (const auto& c : cases) {
    std::vector<Op> ops = Scale(8595, 405, 2578.5, 3438, 5157);
    ops.push_back(Filled(0, 135, c.end, 405, {0, 200, 200}));
    ExpectOps(DrawnFor(c.average), ops, "average " + std::to_string(c.average));
  }
}

TEST_F(ImdBar, TheBarFollowsTheBoxSize) {
  Form1().Picture5.SetWidth(7777);
  Form1().Picture5.SetHeight(301);
  // Band edges 7777 x 15/50, x 20/50, x 30/50 in double precision; H / 3 not
  // a whole number.
  const struct {
    int average;
    double end;
  } cases[] = {{0, 0}, {3, 0}, {-15, 2333.1}, {-25, 3888.5}, {-50, 7777}, {-60, 7777}};
  for (const auto& c : cases) {
    std::vector<Op> ops = Scale(7777, 301, 2333.1, 3110.8, 4666.2);
    ops.push_back(Filled(0, 301.0 / 3, c.end, 301, {0, 200, 200}));
    ExpectOps(DrawnFor(c.average), ops, "average " + std::to_string(c.average));
  }
  // The reset's scale uses the new size too.
  session.Run("click Command1");
  ExpectOps(DrawOf(session.Snapshot(), "Picture5"), Scale(7777, 301, 2333.1, 3110.8, 4666.2),
            "reset");
}

TEST_F(ImdBar, RendersTheBandsAboveAndTheBarBelow) {
  session.Run("post 2027 -25 0");
  const forms::PictureBox& box = Form1().Picture5;
  const forms::Rgb red = forms::RGB(255, 0, 0), yellow = forms::RGB(255, 255, 0),
                   pale = forms::RGB(200, 255, 255), cyan = forms::RGB(0, 255, 255),
                   bar = forms::RGB(0, 200, 200);
  // The upper third (0..135) shows the four bands.
  for (float y : {15.f, 105.f}) {
    EXPECT_EQ(box.PixelAt(1200, y), red) << y;
    EXPECT_EQ(box.PixelAt(3000, y), yellow) << y;
    EXPECT_EQ(box.PixelAt(4300, y), pale) << y;
    EXPECT_EQ(box.PixelAt(7000, y), cyan) << y;
  }
  // Below it the bar runs from the left edge to the middle (4297.5).
  for (float y : {180.f, 270.f, 390.f}) {
    for (float x : {0.f, 30.f, 1200.f, 3000.f, 4230.f}) EXPECT_EQ(box.PixelAt(x, y), bar) << x;
    EXPECT_EQ(box.PixelAt(4380, y), pale) << y;
    EXPECT_EQ(box.PixelAt(7000, y), cyan) << y;
  }
}

// The kit paints a filled box of no width as its one-pixel outline, so an
// average of 0 leaves a thin line on the left edge and the red band beside it.
TEST_F(ImdBar, ABarOfNoWidthIsAThinLineOnTheLeftEdge) {
  DrawnFor(0);
  const forms::PictureBox& box = Form1().Picture5;
  EXPECT_EQ(box.PixelAt(0, 270), forms::RGB(0, 200, 200));
  EXPECT_EQ(box.PixelAt(45, 270), forms::RGB(255, 0, 0));
  EXPECT_EQ(box.PixelAt(0, 60), forms::RGB(255, 0, 0));
}
