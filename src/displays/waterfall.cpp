// The waterfall (Picture7): 15 bands of spectrum history, newest at the top.
// Each drawn pass scrolls WaterfallHistory down by one row, stores the new
// spectrum relative to its floor (its average level) as row 1 and repaints
// every band: one upright stroke per bin, dark blue at or below the floor,
// through grey to pale yellow.
#include "displays/waterfall.h"

#include <algorithm>

#include "app/Module1.h"
#include "app/form1.h"
#include "app/numbers.h"

namespace {

constexpr int kBands = 15;
constexpr int kBlue = 120;  // blue component of every stroke

// The history columns of the range's inner bins FirstBin+1..LastBin-1 that
// the table holds: bin columns are 1..1023 (column 0 holds the row's floor).
struct Columns {
  long long first, last;  // inclusive; first > last when there are none
};
Columns StoredColumns(const SpectrumView& spectrum) {
  const long long first = static_cast<long long>(spectrum.first_bin) + 1;
  const long long last = static_cast<long long>(spectrum.last_bin) - 1;
  return {std::max(first, 1LL), std::min(last, static_cast<long long>(kWaterfallColumns - 1))};
}
bool Stored(const Columns& columns, long long k) {
  return k >= columns.first && k <= columns.last;
}

// Rows 14..1 move to 15..2 in the range's columns, and every row's floor
// moves with its row; the old row 15 is lost.
void ScrollHistory(const Columns& columns) {
  for (int r = kWaterfallRows - 1; r >= 2; --r) {
    if (columns.first <= columns.last) {
      std::copy(&WaterfallHistory[r - 1][columns.first], &WaterfallHistory[r - 1][columns.last] + 1,
                &WaterfallHistory[r][columns.first]);
    }
  }
  for (int r = kWaterfallRows - 1; r >= 2; --r) WaterfallHistory[r][0] = WaterfallHistory[r - 1][0];
}

// Row 1 becomes this spectrum: its floor is the sum of the N - 1 inner bins
// divided by N, rounded half to even; each column holds its bin's level less
// the floor.  The sum is taken in 64 bits and the floor and the differences
// are limited to 16 bits, so that no spectrum, however loud, can overflow.
void AddNewestRow(const SpectrumView& spectrum, const Columns& columns, double n) {
  long long sum = 0;
  const long long first = static_cast<long long>(spectrum.first_bin);
  for (long long k = first + 1; k <= static_cast<long long>(spectrum.last_bin) - 1; ++k) {
    sum += spectrum.Level(k);
  }
  int16_t& floor = WaterfallHistory[1][0];
  floor = n > 0 ? CInt(static_cast<double>(sum) / n) : ClampInt16(sum);
  for (long long k = columns.first; k <= columns.last; ++k) {
    WaterfallHistory[1][k] = ClampInt16(static_cast<long long>(spectrum.Level(k)) - floor);
  }
}

// The stroke's red and green for a value v above a floor: v / (100 - floor)
// x 255 x WaterfallGain, at most 255, rounded half to even.
int StrokeIntensity(int16_t v, int16_t floor) {
  if (v <= 0) return 0;
  // The divisor is taken in 32 bits: a floor far below 0 cannot overflow it.
  const int divisor = 100 - static_cast<int>(floor);
  // A floor of 100 or more means a spectrum saturated across the range: no
  // signal stands out of it, so its strokes are drawn as no signal.
  if (divisor <= 0) return 0;
  const double q = static_cast<double>(v) / divisor * 255 * WaterfallGain;
  // A gain of 0 or below (the setting is read as it stands) draws no signal.
  if (!(q > 0)) return 0;
  return CInt(std::min(q, 255.0));
}

// Band j shows table row j + 1, scaled by the floor of row j (the top band
// by row 0's floor, always 0).  Columns the table does not hold (bins below
// 1 or past 1023) are drawn as no signal.
void PaintBands(forms::PictureBox& box, const SpectrumView& spectrum, const Columns& columns,
                double n) {
  const double xs7 = box.Width() / n;
  const double ys7 = box.Height() / static_cast<double>(kBands);
  const long long first = static_cast<long long>(spectrum.first_bin);
  const long long strokes = static_cast<long long>(n) - 1;
  for (long long i = 1; i <= strokes; ++i) {
    const long long k = first + i;
    const bool stored = Stored(columns, k);
    const float x = static_cast<float>(i * xs7);
    for (int j = 0; j < kBands; ++j) {
      const int q =
          stored ? StrokeIntensity(WaterfallHistory[j + 1][k], WaterfallHistory[j][0]) : 0;
      box.Line(x, static_cast<float>(j * ys7), x, static_cast<float>((j + 1) * ys7),
               forms::RGB(q, q, kBlue));
    }
  }
}

}  // namespace

void DrawWaterfallStep(const SpectrumView& spectrum) {
  // Every second pass only turns the phase: the box keeps its last picture.
  if (WaterfallPhase != 0) {
    WaterfallPhase = 0;
    return;
  }
  forms::PictureBox& box = Form1().Picture7;
  const double n = spectrum.last_bin - spectrum.first_bin;
  const Columns columns = StoredColumns(spectrum);
  ScrollHistory(columns);
  AddNewestRow(spectrum, columns, n);
  box.Cls();
  // A range of no bins paints no strokes: the box shows its background.
  if (n > 0) PaintBands(box, spectrum, columns, n);
  WaterfallPhase = 1;
}
