// The vector scope (Picture1): the engine's eight phase vectors as spokes
// from the centre of a reference circle, blue while the signal is weak and
// red once it is strong; then the signal-level meter (Picture3) with the
// squelch mark, drawn from the same reading.
#include "app/Module1.h"
#include "app/form1.h"
#include "app/numbers.h"
#include "displays/displays.h"
#include "engine/PskEngine.h"

namespace {

constexpr int kVectorValues = 16;        // eight (x, y) pairs
constexpr double kFullComponent = 1000;  // a component that reaches one radius unit
constexpr int32_t kLevelFloor = 30;      // weaker signals keep the spokes' length at 30
constexpr double kCentreAt = 0.9;        // the centre sits at 45 % of width and height
constexpr double kCircleOfHeight = 0.4;  // circle radius, part of the height
constexpr forms::Rgb kCircleColour = forms::RGB(0, 0, 0);
constexpr forms::Rgb kWeakColour = forms::RGB(0, 0, 255);
constexpr forms::Rgb kStrongColour = forms::RGB(255, 0, 0);
constexpr forms::Rgb kBarColour = forms::RGB(0, 200, 255);
constexpr forms::Rgb kSquelchColour = forms::RGB(0, 0, 0);

}  // namespace

void DrawVectorScope() {
  forms::PictureBox& scope = Form1().Picture1;
  int32_t VectorData[kVectorValues] = {};
  PskEngine::fnGetVectorData(&VectorData[0], 0);

  const double w = scope.Width();
  const double h = scope.Height();
  const int16_t cx = CInt(w / 2 * kCentreAt);
  const int16_t cy = CInt(h / 2 * kCentreAt);

  const int32_t level = PskEngine::fnGetSignalLevel(0);
  const int32_t display_level = level < kLevelFloor ? kLevelFloor : level;
  const int16_t r = CInt(h * kCircleOfHeight * display_level / 100);

  scope.SetDrawWidth(1);
  scope.Cls();
  scope.Circle(cx, cy, static_cast<float>(h * kCircleOfHeight), kCircleColour);

  const forms::Rgb colour = display_level == kLevelFloor ? kWeakColour : kStrongColour;
  for (int i = 0; i < kVectorValues; i += 2) {
    scope.SetDrawWidth(2);
    const double x = cx + VectorData[i] / kFullComponent * r;
    const double y = cy - VectorData[i + 1] / kFullComponent * r;
    scope.Line(cx, cy, static_cast<float>(x), static_cast<float>(y), colour);
  }

  // The engine's levels are percentages; one beyond 16 bits is clamped
  // into range.
  DrawSignalLevel(ClampInt16(level));
}

void DrawSignalLevel(int16_t level) {
  forms::PictureBox& meter = Form1().Picture3;
  const double w = meter.Width();
  const double h = meter.Height();
  meter.Cls();

  const double bar_top = h - (level / 100.0) * h;
  meter.Box(0, static_cast<float>(h), static_cast<float>(w), static_cast<float>(bar_top),
            kBarColour, true);

  const double squelch = h - (SquelchLevel / 100.0) * h;
  meter.Line(0, static_cast<float>(squelch), static_cast<float>(w), static_cast<float>(squelch),
             kSquelchColour);
}
