#include "measure/tone_analyzer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "dsp/sample_rate.h"

namespace psk {
namespace {

// Tones a Goertzel pass analyses side by side: the idle analysis asks for
// four, the carrier's refinement for two.
constexpr size_t kGroup = 4;
constexpr size_t kNarrowGroup = 2;

template <size_t G>
void recurse(const std::vector<double>& y, const double* coeff, double* s1, double* s2) {
  for (const double v : y) {
    for (size_t k = 0; k < G; ++k) {
      const double s0 = v + coeff[k] * s1[k] - s2[k];
      s2[k] = s1[k];
      s1[k] = s0;
    }
  }
}

}  // namespace

ToneAnalyzer::ToneAnalyzer(int length, double sample_rate_hz, Window window)
    : rate_(sample_rate_hz > 0 ? sample_rate_hz : kEngineRateHz) {
  const int n = std::max(length, 16);
  window_.resize(static_cast<size_t>(n));
  windowed_.resize(window_.size());
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    const double s = std::sin(std::numbers::pi * i / n);
    const double w = window == Window::Hann ? s * s : 1.0;
    window_[static_cast<size_t>(i)] = w;
    sum += w;
  }
  // Gain 2 / sum: the positive-frequency half of a real tone then reads its
  // full amplitude.
  for (double& w : window_) w *= 2.0 / sum;
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
  // Goertzel for up to kGroup frequencies side by side (independent
  // recursions keep the processor busy): s[i] = y[i] + 2 cos(w) s[i-1] -
  // s[i-2]; then sum y[i] e^(-j w i) = e^(-j w (n-1)) (s[n-1] - e^(-j w) s[n-2]).
  // A group of a few frequencies runs a narrower recursion.
  for (size_t base = 0; base < count; base += kGroup) {
    const size_t m = std::min(kGroup, count - base);
    std::array<double, kGroup> coeff{}, s1{}, s2{};
    for (size_t k = 0; k < m; ++k)
      coeff[k] = 2.0 * std::cos(2.0 * std::numbers::pi * hz[base + k] / rate_);
    if (m <= kNarrowGroup)
      recurse<kNarrowGroup>(windowed_, coeff.data(), s1.data(), s2.data());
    else
      recurse<kGroup>(windowed_, coeff.data(), s1.data(), s2.data());
    // Phase referred to the centre sample n/2: multiply by e^(j w n/2).
    const double n_minus_1 = static_cast<double>(n - 1);
    const double centre = static_cast<double>(n / 2);
    for (size_t k = 0; k < m; ++k) {
      const double w = 2.0 * std::numbers::pi * hz[base + k] / rate_;
      const std::complex<double> tail = s1[k] - std::polar(1.0, -w) * s2[k];
      out[base + k] = tail * std::polar(1.0, -w * n_minus_1 + w * centre);
    }
  }
}

}  // namespace psk
