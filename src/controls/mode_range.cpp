// The PSK mode and the displayed range, chosen with the option buttons.
#include <iterator>

#include "app/Module1.h"
#include "controls/actions.h"
#include "engine/PskEngine.h"

namespace {

// Engine mode codes by option: BPSK31, QPSK31, BPSK63, QPSK63, BPSK125, QPSK125.
constexpr int16_t kModeCodes[] = {0, 1, 8, 9, 16, 17};

struct RangePreset {
  int16_t low_hz, high_hz, grid_divisions;
};
// "1200-1800", "1000-2000", "500-2500", "500-3000".
constexpr RangePreset kRanges[] = {
    {1200, 1800, 12}, {1000, 2000, 20}, {500, 2500, 20}, {500, 3000, 25}};

}  // namespace

// An index without a mode does nothing.
void Option2_Click(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kModeCodes))) return;
  PskMode = kModeCodes[index];
  PskEngine::fnSetRXPSKMode(PskMode, 0);
}

// No engine call: the spectrum and waterfall pick the range up on their next
// redraw.  An index without a preset does nothing.
void Option3_Click(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kRanges))) return;
  DisplayLowHz = kRanges[index].low_hz;
  DisplayHighHz = kRanges[index].high_hz;
  GridDivisions = kRanges[index].grid_divisions;
}
