// The FFT's smoothing and bias (Combo1, Combo2) and the waterfall's colour
// gain (Combo3).  The combo boxes are editable: a text that is not a number
// in the value's range is ignored, the last good value is kept and shown
// again in its box.
#include <optional>

#include "app/Module1.h"
#include "app/form1.h"
#include "app/numbers.h"
#include "controls/actions.h"
#include "engine/PskEngine.h"

namespace {

// The ranges the engine and the waterfall document.
constexpr int kSmoothingMin = 1, kSmoothingMax = 10;
constexpr int kBiasMin = 1, kBiasMax = 90;
constexpr int kGainMin = 1, kGainMax = 5;

// The box's text as a whole number in min..max (rounded half to even, as
// the program's numeric conversions do); otherwise the last good value, which
// the box then shows again.
int16_t ValueOrLastGood(forms::ComboBox& combo, int min, int max, int16_t last_good) {
  const auto number = ParseNumber(combo.Text());
  const auto value = number ? ToInt32(*number) : std::nullopt;
  if (value && *value >= min && *value <= max) return static_cast<int16_t>(*value);
  combo.SetText(PlainText(last_good));
  return last_good;
}

// Smoothing and bias go to the engine together, with 100 between them.
void SendFftMode() {
  MainWindow& form = Form1();
  FftSmoothing = ValueOrLastGood(form.Combo1, kSmoothingMin, kSmoothingMax, FftSmoothing);
  FftBias = ValueOrLastGood(form.Combo2, kBiasMin, kBiasMax, FftBias);
  PskEngine::fnSetFFTMode(FftSmoothing, 100, FftBias);
}

}  // namespace

void Combo1_Click() {
  SendFftMode();
}
void Combo2_Click() {
  SendFftMode();
}

void Combo3_Click() {
  WaterfallGain = ValueOrLastGood(Form1().Combo3, kGainMin, kGainMax, WaterfallGain);
}
