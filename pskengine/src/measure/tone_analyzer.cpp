#include "measure/tone_analyzer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace psk {

ToneAnalyzer::ToneAnalyzer(int length, double sample_rate_hz)
    : rate_(sample_rate_hz > 0 ? sample_rate_hz : 8000.0) {
  const int n = std::max(length, 16);
  window_.resize(static_cast<size_t>(n));
  windowed_.resize(window_.size());
  double sum = 0.0, sum_sq = 0.0;
  for (int i = 0; i < n; ++i) {
    const double s = std::sin(std::numbers::pi * i / n);
    window_[static_cast<size_t>(i)] = s * s;
    sum += s * s;
  }
  // Gain 2 / sum: the positive-frequency half of a real tone then reads its
  // full amplitude.
  for (double& w : window_) {
    w *= 2.0 / sum;
    sum_sq += w * w;
  }
  noise_power_gain_ = sum_sq / 2.0;
}

void ToneAnalyzer::process(std::span<const float> x, std::span<const double> hz,
                           std::span<std::complex<double>> out) {
  const size_t n = window_.size();
  const size_t count = std::min(hz.size(), out.size());
  if (x.size() != n) {
    std::fill(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(count),
              std::complex<double>{});
    return;
  }
  for (size_t i = 0; i < n; ++i) windowed_[i] = window_[i] * static_cast<double>(x[i]);
  for (size_t k = 0; k < count; ++k) {
    // Goertzel: s[i] = y[i] + 2 cos(w) s[i-1] - s[i-2]; then
    // sum y[i] e^(-j w i) = e^(-j w (n-1)) (s[n-1] - e^(-j w) s[n-2]).
    const double w = 2.0 * std::numbers::pi * hz[k] / rate_;
    const double coeff = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0;
    for (size_t i = 0; i < n; ++i) {
      const double s0 = windowed_[i] + coeff * s1 - s2;
      s2 = s1;
      s1 = s0;
    }
    const std::complex<double> tail = s1 - std::polar(1.0, -w) * s2;
    // Phase referred to the centre sample n/2: multiply by e^(j w n/2).
    const double n_minus_1 = static_cast<double>(n - 1);
    const double centre = static_cast<double>(n / 2);
    out[k] = tail * std::polar(1.0, -w * n_minus_1 + w * centre);
  }
}

}  // namespace psk
