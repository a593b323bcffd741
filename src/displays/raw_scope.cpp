// The raw-signal scope (Picture6): the newest block of raw samples as points,
// one segment of the box per display notification, sweeping left to right
// over HScroll1's number of segments.  VScroll2 is the vertical gain.
#include "app/Module1.h"
#include "app/form1.h"
#include "displays/displays.h"
#include "engine/PskEngine.h"

namespace {

constexpr int kRawEntries = 2049;     // the engine's block, entries 0..2048
constexpr int32_t kRawAsked = 2047;   // samples asked for
constexpr int kPointsPlotted = 2047;  // entries 1..2047, whatever the engine delivered
constexpr double kSpan = 65534;       // the 16-bit range, bottom edge to top edge
constexpr int64_t kOffset = 32768;    // a sample of -32768 sits on the bottom edge
constexpr forms::Rgb kEraseColour = forms::RGB(0, 0, 128);
constexpr forms::Rgb kPointColour = forms::RGB(0, 255, 255);

}  // namespace

void DrawRawScope() {
  MainWindow& form = Form1();
  forms::PictureBox& scope = form.Picture6;

  const int segments = form.HScroll1.Value();
  int position = ScopeSweepPos + 1;
  if (position > segments) position = 1;
  ScopeSweepPos = static_cast<int16_t>(position);

  int32_t RawSamples[kRawEntries] = {};
  int32_t count = kRawAsked;
  PskEngine::fnGetRawData(&RawSamples[0], 0, &count);
  // An engine that delivers no samples leaves the scope as it is for this
  // run; the sweep has moved on all the same.
  if (count <= 0) return;

  const double w = scope.Width();
  const double h = scope.Height();
  const double dx = (w / count) / segments;
  const double dy = h / kSpan;
  const double x0 = (w / segments) * (position - 1) + 1;
  const double x1 = (w / segments) * position;

  scope.Box(static_cast<float>(x0), 0, static_cast<float>(x1), static_cast<float>(h), kEraseColour,
            true);
  for (int i = 1; i <= kPointsPlotted; ++i) {
    const int64_t gain = form.VScroll2.Value();
    // 64 bits: a sample beyond the 16-bit range cannot overflow.
    const int64_t v = RawSamples[i] * gain + kOffset;
    scope.PSet(static_cast<float>(x0 + i * dx), static_cast<float>(h - v * dy), kPointColour);
  }
}
