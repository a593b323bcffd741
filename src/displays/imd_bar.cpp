// The IMD bar graph (Picture5): four quality bands from 0 dB at the left edge
// to -50 dB at the right edge, and over their lower two thirds a bar for the
// running average.
#include "app/Module1.h"
#include "app/form1.h"
#include "displays/displays.h"

namespace {

constexpr double kScaleDb = 50;  // dB across the box's full width

// The band edges in dB below 0, and the band colours, left to right.
constexpr double kBandEdgesDb[] = {0, 15, 20, 30, 50};
constexpr forms::Rgb kBandColours[] = {forms::RGB(255, 0, 0), forms::RGB(255, 255, 0),
                                       forms::RGB(200, 255, 255), forms::RGB(0, 255, 255)};
constexpr forms::Rgb kBarColour = forms::RGB(0, 200, 200);

}  // namespace

void DrawImdScale() {
  forms::PictureBox& box = Form1().Picture5;
  const double w = box.Width();
  const double h = box.Height();
  box.Cls();
  box.SetDrawWidth(1);
  for (int band = 0; band < 4; ++band) {
    // Adjacent bands share their edge; the outer edges are 0 and W exactly.
    const double from = w * kBandEdgesDb[band] / kScaleDb;
    const double to = w * kBandEdgesDb[band + 1] / kScaleDb;
    box.Box(static_cast<float>(from), 0, static_cast<float>(to), static_cast<float>(h),
            kBandColours[band], true);
  }
}

// An average of 0 or above draws a bar of no width on the left edge (the box
// call is made all the same; the kit paints it as a one-pixel line); one of
// -50 dB or below fills the width.
void DrawImdBar() {
  forms::PictureBox& box = Form1().Picture5;
  const double w = box.Width();
  const double h = box.Height();
  DrawImdScale();
  // Negated in 32 bits: -(-32768) does not fit 16.
  int v = -static_cast<int>(ImdAverage);
  if (v <= 0) {
    v = 0;
  } else if (v >= 50) {
    v = 50;
  }
  box.Box(0, static_cast<float>(h / 3), static_cast<float>(w * v / kScaleDb), static_cast<float>(h),
          kBarColour, true);
}
