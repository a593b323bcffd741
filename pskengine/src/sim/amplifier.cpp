#include "sim/amplifier.h"

#include <cmath>

namespace psk {

CubicAmplifier::CubicAmplifier(double imd_db, double peak_envelope) {
  const double r = std::pow(10.0, imd_db / 20.0);  // product amplitude over fundamental
  const double tone = peak_envelope / 2.0;         // amplitude of each idle tone
  k_ = r / (1.0 + 3.0 * r) / (tone * tone);
}

float CubicAmplifier::process(float x) {
  const std::complex<float> z = hilbert_.process(x);
  return static_cast<float>(z.real() * (1.0 - k_ * std::norm(z)));
}

}  // namespace psk
