// Sample-rate conversion of a real signal to 8000 Hz (or any other rate),
// with an anti-alias filter.
//
// A Kaiser-windowed sinc low-pass evaluated at the exact output instants
// (a fine table with linear interpolation), so any pair of rates works
// (44100 -> 8000 as well as 48000 -> 8000).  With r the lower of the two
// rates the response is flat (within 0.01 dB) up to 0.4125 r (3300 Hz at
// 8000 Hz) and at least 90 dB down from 0.5875 r (4700 Hz): whatever folds
// back lands above 3300 Hz, outside the receive range.  liquid-dsp's
// multi-stage resampler was measured first; its filter lets tones just above
// 4000 Hz fold into the band at -7 dB, so it does not fit here.
#pragma once

#include <span>
#include <vector>

#include "dsp/sample_rate.h"

namespace psk {

class Resampler {
 public:
  static constexpr double kMinRateHz = 1000.0;    // lowest rate accepted
  static constexpr double kMaxRateHz = 768000.0;  // highest rate accepted
  static bool rate_supported(double hz) { return hz >= kMinRateHz && hz <= kMaxRateHz; }

  // Rates outside kMinRateHz..kMaxRateHz are a programming error of the
  // caller; check rate_supported() first (they are then clamped).
  Resampler(double in_rate_hz, double out_rate_hz = kEngineRateHz);
  void reset();
  // Appends the output samples that the input so far determines.  Output
  // sample k is the filtered input at time k / out_rate (no added delay; the
  // last half filter length of output waits for the input after it).
  void process(std::span<const float> in, std::vector<float>& out);
  // Input samples per output sample.
  double step() const { return step_; }
  // Half the filter length, input samples.
  int half_length() const { return half_; }

 private:
  static constexpr int kPhases = 512;  // table points per input sample
  float kernel(double tau) const;

  double step_ = 1.0;           // input samples per output sample
  bool passthrough_ = false;    // equal rates: copy
  int half_ = 0;                // filter half-length, input samples
  std::vector<float> table_;    // kernel at tau = j / kPhases, j = 0..half*kPhases+1
  std::vector<float> history_;  // input samples not yet consumed (with half_ of zeros at start)
  double t_ = 0;                // time of the next output, input samples from history_[0]
};

}  // namespace psk
