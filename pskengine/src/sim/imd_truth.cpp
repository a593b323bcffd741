#include "sim/imd_truth.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace psk {

double tone_power(std::span<const float> x, double freq_hz, double sample_rate_hz) {
  const size_t n = x.size();
  if (n < 2) return 0.0;
  const double w = 2 * std::numbers::pi * freq_hz / sample_rate_hz;
  std::complex<double> acc = 0;
  double window_sum = 0;
  for (size_t i = 0; i < n; ++i) {
    const double a = 2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n - 1);
    const double win =
        0.35875 - 0.48829 * std::cos(a) + 0.14128 * std::cos(2 * a) - 0.01168 * std::cos(3 * a);
    const double phase = w * static_cast<double>(i);
    acc +=
        win * static_cast<double>(x[i]) * std::complex<double>(std::cos(phase), -std::sin(phase));
    window_sum += win;
  }
  return 2.0 * std::norm(acc) / (window_sum * window_sum);
}

ImdTruth measure_idle_imd(std::span<const float> idle, double carrier_hz, double baud,
                          double sample_rate_hz) {
  ImdTruth t;
  t.fundamental_power = tone_power(idle, carrier_hz - baud / 2, sample_rate_hz) +
                        tone_power(idle, carrier_hz + baud / 2, sample_rate_hz);
  t.product_power = tone_power(idle, carrier_hz - 1.5 * baud, sample_rate_hz) +
                    tone_power(idle, carrier_hz + 1.5 * baud, sample_rate_hz);
  t.imd_db = t.fundamental_power > 0 && t.product_power > 0
                 ? 10.0 * std::log10(t.product_power / t.fundamental_power)
                 : -300.0;
  return t;
}

}  // namespace psk
