// The IMD bar graph (Picture5): its operations for several averages, at the
// design size and after the box's size changes, and the rendered colours.
#include <gtest/gtest.h>

#include "app/Module1.h"
#include "app/form1.h"
#include "displays/displays.h"
#include "replay_test_support.h"

using namespace testing_support;
using forms::DrawOp;

namespace {

constexpr forms::Rgb kBar = forms::RGB(0, 200, 200);

DrawOp Filled(double x1, double y1, double x2, double y2, forms::Rgb rgb) {
  return {.kind = DrawOp::Kind::Box,
          .x1 = static_cast<float>(x1),
          .y1 = static_cast<float>(y1),
          .x2 = static_cast<float>(x2),
          .y2 = static_cast<float>(y2),
          .rgb = rgb,
          .filled = true};
}

// A clear, pen width 1 and the four bands of a box W x H, given its band edges.
std::vector<DrawOp> Scale(double w, double h, double e15, double e20, double e30) {
  return {{.kind = DrawOp::Kind::Cls, .rgb = {}},
          {.kind = DrawOp::Kind::Width, .width = 1, .rgb = {}},
          Filled(0, 0, e15, h, forms::RGB(255, 0, 0)),
          Filled(e15, 0, e20, h, forms::RGB(255, 255, 0)),
          Filled(e20, 0, e30, h, forms::RGB(200, 255, 255)),
          Filled(e30, 0, w, h, forms::RGB(0, 255, 255))};
}

struct ImdBar : LoadedMainWindow {
  // Picture5 as a snapshot shows it after the bar for an average.
  std::vector<std::string> DrawnFor(int average) {
    ImdAverage = static_cast<int16_t>(average);
    DrawImdBar();
    return Describe(DrawOf(session.Snapshot(), "Picture5"));
  }
  // The scale with the bar over its lower two thirds.
  static std::vector<std::string> WithBar(std::vector<DrawOp> scale, double h, double end) {
    scale.push_back(Filled(0, h / 3, end, h, kBar));
    return Describe(scale);
  }
};

}  // namespace

TEST_F(ImdBar, TheLoadDrawsTheEmptyScaleAndTheBarFollowsTheAverage) {
  const auto scale = Scale(8595, 405, 2578.5, 3438, 5157);
  EXPECT_EQ(Describe(DrawOf(session.Snapshot(), "Picture5")), Describe(scale));
  // 8595 x 405: 171.9 units per dB, 0 dB and above no width, -50 dB and below full.
  const std::pair<int, double> cases[] = {{0, 0},      {3, 0},      {-15, 2578.5}, {-25, 4297.5},
                                          {-50, 8595}, {-60, 8595}, {-1, 171.9},   {-49, 8423.1}};
  for (const auto& [average, end] : cases) {
    EXPECT_EQ(DrawnFor(average), WithBar(scale, 405, end)) << average;
  }
}

TEST_F(ImdBar, TheScaleAndBarFollowTheBoxSize) {
  Form1().Picture5.SetWidth(7777);
  Form1().Picture5.SetHeight(301);  // a third of it no whole number
  const auto scale = Scale(7777, 301, 2333.1, 3110.8, 4666.2);
  const std::pair<int, double> cases[] = {{0, 0},        {3, 0},      {-15, 2333.1},
                                          {-25, 3888.5}, {-50, 7777}, {-60, 7777}};
  for (const auto& [average, end] : cases) {
    EXPECT_EQ(DrawnFor(average), WithBar(scale, 301, end)) << average;
  }
  // The reset's empty scale uses the new size too.
  session.Run("click Command1");
  EXPECT_EQ(Describe(DrawOf(session.Snapshot(), "Picture5")), Describe(scale));
}

TEST_F(ImdBar, RendersTheBandsAboveAndTheBarBelow) {
  session.Run("post 2027 -25 0");
  const forms::PictureBox& box = Form1().Picture5;
  const forms::Rgb red = forms::RGB(255, 0, 0), yellow = forms::RGB(255, 255, 0),
                   pale = forms::RGB(200, 255, 255), cyan = forms::RGB(0, 255, 255);
  // The upper third (0..135) shows the four bands.
  for (float y : {15.f, 105.f}) {
    EXPECT_EQ(box.PixelAt(1200, y), red) << y;
    EXPECT_EQ(box.PixelAt(3000, y), yellow) << y;
    EXPECT_EQ(box.PixelAt(4300, y), pale) << y;
    EXPECT_EQ(box.PixelAt(7000, y), cyan) << y;
  }
  // Below it the bar runs from the left edge to the middle (4297.5).
  for (float y : {180.f, 270.f, 390.f}) {
    for (float x : {0.f, 30.f, 1200.f, 3000.f, 4230.f}) EXPECT_EQ(box.PixelAt(x, y), kBar) << x;
    EXPECT_EQ(box.PixelAt(4380, y), pale) << y;
    EXPECT_EQ(box.PixelAt(7000, y), cyan) << y;
  }
}
