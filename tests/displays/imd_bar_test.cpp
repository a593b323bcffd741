// The IMD bar graph (Picture5): its operations for several averages, at the
// design size and after the box's size changes, and the rendered colours.
#include <gtest/gtest.h>

#include "app/Module1.h"
#include "app/form1.h"
#include "displays/displays.h"
#include "replay_test_support.h"

using namespace testing_support;

namespace {

// A clear, pen width 1 and the four bands of a box W x H, given its band edges.
std::vector<std::string> Scale(double w, double h, double e15, double e20, double e30) {
  return {"cls",
          "width 1",
          BoxText(0, 0, e15, h, forms::RGB(255, 0, 0)),
          BoxText(e15, 0, e20, h, forms::RGB(255, 255, 0)),
          BoxText(e20, 0, e30, h, forms::RGB(200, 255, 255)),
          BoxText(e30, 0, w, h, forms::RGB(0, 255, 255))};
}

using ImdBar = LoadedMainWindow;

}  // namespace

// The bar over the lower two thirds: 0 dB and above no width, -50 dB and
// below full (-32768 negated does not fit 16 bits).
TEST_F(ImdBar, TheLoadDrawsTheEmptyScaleAndTheBarFollowsTheAverageAndTheBoxSize) {
  using Ends = std::vector<std::pair<int, double>>;
  const auto expect_bars = [this](const std::vector<std::string>& scale, double h,
                                  const Ends& ends) {
    for (const auto& [average, end] : ends) {
      ImdAverage = static_cast<int16_t>(average);
      DrawImdBar();
      auto expected = scale;
      expected.push_back(BoxText(0, h / 3, end, h, forms::RGB(0, 200, 200)));
      EXPECT_EQ(Describe(DrawOf(session.Snapshot(), "Picture5")), expected) << average;
    }
  };
  const auto design = Scale(8595, 405, 2578.5, 3438, 5157);
  EXPECT_EQ(Describe(DrawOf(session.Snapshot(), "Picture5")), design);
  const Ends design_ends = {{0, 0},      {3, 0},      {-15, 2578.5}, {-25, 4297.5},  {-50, 8595},
                            {-60, 8595}, {-1, 171.9}, {-49, 8423.1}, {-32768, 8595}, {32767, 0}};
  expect_bars(design, 405, design_ends);
  Form1().Picture5.SetWidth(7777);
  Form1().Picture5.SetHeight(301);  // a third of it no whole number
  const auto resized = Scale(7777, 301, 2333.1, 3110.8, 4666.2);
  expect_bars(resized, 301,
              {{0, 0}, {3, 0}, {-15, 2333.1}, {-25, 3888.5}, {-50, 7777}, {-60, 7777}});
  // The reset's empty scale uses the new size too.
  session.Run("click Command1");
  EXPECT_EQ(Describe(DrawOf(session.Snapshot(), "Picture5")), resized);
}

TEST_F(ImdBar, RendersTheBandsAboveAndTheBarBelow) {
  session.Run("post 2027 -25 0");
  using forms::RGB;
  const forms::Rgb pale = RGB(200, 255, 255), cyan = RGB(0, 255, 255), bar = RGB(0, 200, 200);
  // The upper third (0..135) shows the four bands; below it the bar runs from
  // the left edge to the middle (4297.5).
  const std::tuple<float, float, forms::Rgb> pixels[] = {{1200, 105, RGB(255, 0, 0)},
                                                         {3000, 15, RGB(255, 255, 0)},
                                                         {4300, 105, pale},
                                                         {7000, 15, cyan},
                                                         {0, 390, bar},
                                                         {4230, 180, bar},
                                                         {4380, 390, pale},
                                                         {7000, 180, cyan}};
  for (const auto& [x, y, rgb] : pixels) {
    EXPECT_EQ(Form1().Picture5.PixelAt(x, y), rgb) << x << "," << y;
  }
}
