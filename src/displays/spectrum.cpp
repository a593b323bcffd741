// The spectrum display (Picture2): the displayed range's spectrum as a cyan
// trace over a dark green grid, the AFC follow of the tuning scroll bar and
// the yellow tuning cursor; then the waterfall step on the same spectrum.
#include <algorithm>
#include <cmath>

#include "app/Module1.h"
#include "app/form1.h"
#include "app/numbers.h"
#include "displays/displays.h"
#include "displays/waterfall.h"
#include "engine/PskEngine.h"

namespace {

constexpr forms::Rgb kGridColour = forms::RGB(0, 80, 0);
constexpr forms::Rgb kTraceColour = forms::RGB(0, 255, 255);
constexpr forms::Rgb kCursorColour = forms::RGB(255, 255, 0);

// Asks the engine for the bins of the range that the array holds.  A range
// reaching below 0 Hz or to 4000 Hz and beyond is fetched only where it
// overlaps bins 0..1023; the rest stays level 0 and reads as no signal.
void FetchSpectrum(int32_t (&data)[kSpectrumBins], double first_bin, double last_bin) {
  const double first = std::max(first_bin, 0.0);
  const double last = std::min(last_bin, static_cast<double>(kSpectrumBins - 1));
  if (first > last) return;  // nothing of the range lies in the array: no call
  PskEngine::fnGetFFTData(data, static_cast<int32_t>(first), static_cast<int32_t>(last));
}

// Vertical lines every Width / GridDivisions units from the left edge, for
// as long as the accumulated x stays within the width.
void DrawGrid(forms::PictureBox& box, double width, double height) {
  // No divisions (or none that make sense) draw no grid rather than hang.
  if (GridDivisions <= 0) return;
  const double step = width / GridDivisions;
  if (!(step > 0) || !std::isfinite(step)) return;
  const int most = GridDivisions + 1;
  int lines = 0;
  for (double x = 0; x <= width && lines < most; x += step, ++lines) {
    box.Line(static_cast<float>(x), 0, static_cast<float>(x), static_cast<float>(height),
             kGridColour);
  }
}

// N - 1 segments: bin b of FirstBin..LastBin-1 plotted at x = (b - FirstBin + 1) * XS.
void DrawTrace(forms::PictureBox& box, const SpectrumView& spectrum, double n, double xs, double ys,
               double height) {
  const long long first = static_cast<long long>(spectrum.first_bin);
  const long long segments = static_cast<long long>(n) - 1;
  for (long long i = 1; i <= segments; ++i) {
    const double y1 = height - spectrum.Level(first + i - 1) * ys;
    const double y2 = height - spectrum.Level(first + i) * ys;
    box.Line(static_cast<float>(i * xs), static_cast<float>(y1), static_cast<float>((i + 1) * xs),
             static_cast<float>(y2), kTraceColour);
  }
}

// With AFC on the tuning scroll bar follows the engine's frequency; its
// change handler writes the frequency into txtRec.
void FollowEngineFrequency(MainWindow& form) {
  if (AfcOn != 1) return;
  const int32_t hz = PskEngine::fnGetRXFrequency(0);
  // A frequency the scroll bar cannot take (outside 100..3000, or beyond 16
  // bits) leaves the scroll bar and txtRec as they are.
  if (const auto value = ToInt16(hz)) form.VScroll1.SetValue(*value);
}

// The yellow line at the frequency shown in txtRec.
void DrawTuningCursor(MainWindow& form, double first_bin, double xs, double height) {
  const auto hz = ParseNumber(form.txtRec.Text());
  // While txtRec holds no number (the operator may type into it) no cursor
  // is drawn.
  if (!hz) return;
  const double x = std::floor((*hz / kBinHz + 0.5 - first_bin) * xs);
  if (!std::isfinite(x)) return;
  form.Picture2.Line(static_cast<float>(x), 0, static_cast<float>(x), static_cast<float>(height),
                     kCursorColour);
}

}  // namespace

void DrawSpectrumAndWaterfall() {
  MainWindow& form = Form1();
  // "off" ticked: nothing is fetched or drawn and the waterfall stands still.
  if (form.Check1.Value() == 1) return;

  const double first_bin = std::floor(DisplayLowHz / kBinHz);
  const double last_bin = std::floor(DisplayHighHz / kBinHz);

  int32_t SpectrumData[kSpectrumBins] = {};
  FetchSpectrum(SpectrumData, first_bin, last_bin);
  const SpectrumView spectrum{SpectrumData, first_bin, last_bin};

  forms::PictureBox& box = form.Picture2;
  const double width = box.Width();
  const double height = box.Height();
  const double n = last_bin - first_bin;
  // A range of no bins (high end at or below the low end) has no scale: the
  // box shows only its grid, no trace and no cursor.
  const bool has_scale = n > 0;
  const double xs = has_scale ? width / n : 0;
  const double ys = height / 100;

  box.Cls();
  DrawGrid(box, width, height);
  if (has_scale) DrawTrace(box, spectrum, n, xs, ys, height);
  FollowEngineFrequency(form);
  if (has_scale) DrawTuningCursor(form, first_bin, xs, height);

  DrawWaterfallStep(spectrum);
}
