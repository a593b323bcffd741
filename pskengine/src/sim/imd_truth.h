// The reference IMD measurement of a known idle signal: the definition of IMD
// evaluated by a long DFT, used to check generated signals and to give the
// engine's own IMD meter its truth.
//
// The idle signal (continuous phase reversals) is two tones at carrier +-
// baud/2; third-order distortion adds tones at carrier +- 3 baud/2.  Each
// tone's power is read from one DFT of the whole stretch at the tone's exact
// frequency, under a four-term Blackman-Harris window (sidelobes below
// -92 dB), so at 1 s or longer neighbouring tones do not leak into each other.
#pragma once

#include <span>

#include "dsp/sample_rate.h"

namespace psk {

struct ImdTruth {
  double fundamental_power = 0;  // sum of the two tones at carrier +- baud/2 (mean power)
  double product_power = 0;      // sum of the two tones at carrier +- 3 baud/2 (mean power)
  double imd_db = 0;             // 10 log10(product_power / fundamental_power)
};

// Mean power A^2/2 of the sinusoid at freq_hz in x (sampled at sample_rate_hz).
double tone_power(std::span<const float> x, double freq_hz, double sample_rate_hz);

// IMD of an idle stretch.  sample_rate_hz is the rate at which the signal was
// made: a signal rendered at 8000 (1 + e) Hz and stored as 8000 Hz audio is
// measured with sample_rate_hz = 8000 (1 + e), which finds its tones exactly.
ImdTruth measure_idle_imd(std::span<const float> idle, double carrier_hz, double baud,
                          double sample_rate_hz = kEngineRateHz);

}  // namespace psk
