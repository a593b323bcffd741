// A transmitter's power amplifier with a cubic (third-order) envelope
// nonlinearity, the usual source of a PSK signal's IMD.
//
// It acts on the signal's envelope as a radio-frequency amplifier does:
// with z the analytic signal, the output is Re(z * (1 - k |z|^2)).  It makes
// only the odd-order products around the carrier (no harmonics), so the
// idle signal (two tones of amplitude A at carrier +- baud/2) gets products at
// +- 3 baud/2 of amplitude k A^3 beside fundamentals of A (1 - 3 k A^2):
// IMD = 20 log10(k A^2 / (1 - 3 k A^2)).  The constructor solves that for k.
#pragma once

#include "sim/hilbert.h"

namespace psk {

class CubicAmplifier {
 public:
  // imd_db: the idle signal's IMD to produce (below 0); peak_envelope: the
  // peak amplitude of the idle signal at the input (1.0 for the modulator).
  CubicAmplifier(double imd_db, double peak_envelope = 1.0);
  void reset() { hilbert_.reset(); }
  // One sample in, one out; the output is delayed by delay() samples.
  float process(float x);
  static constexpr int delay() { return HilbertTransformer::kHalfLength; }
  // The cubic coefficient k.
  double coefficient() const { return k_; }

 private:
  HilbertTransformer hilbert_;  // analytic signal of the input
  double k_ = 0;                // cubic coefficient, 1 / amplitude^2
};

}  // namespace psk
