#include "dsp/resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace psk {
namespace {
double bessel_i0(double x) {
  double sum = 1, term = 1;
  for (int k = 1; k < 50; ++k) {
    term *= (x / (2 * k)) * (x / (2 * k));
    sum += term;
    if (term < 1e-12 * sum) break;
  }
  return sum;
}
}  // namespace

Resampler::Resampler(double in_rate_hz, double out_rate_hz) {
  in_rate_hz = std::clamp(in_rate_hz, kMinRateHz, kMaxRateHz);
  out_rate_hz = std::clamp(out_rate_hz, kMinRateHz, kMaxRateHz);
  step_ = in_rate_hz / out_rate_hz;
  passthrough_ = in_rate_hz == out_rate_hz;
  if (passthrough_) return;

  const double low = std::min(in_rate_hz, out_rate_hz);
  const double cutoff = 0.5 * low / in_rate_hz;        // cycles per input sample (-6 dB)
  const double transition = 0.175 * low / in_rate_hz;  // cycles per input sample
  constexpr double kAttenuationDb = 95.0;
  const double beta = 0.1102 * (kAttenuationDb - 8.7);
  const double taps = (kAttenuationDb - 7.95) / (2.285 * 2 * std::numbers::pi * transition) + 1;
  half_ = static_cast<int>(std::ceil(taps / 2));

  table_.resize(static_cast<size_t>(half_) * kPhases + 2);
  for (size_t j = 0; j < table_.size(); ++j) {
    const double tau = static_cast<double>(j) / kPhases;
    const double x = 2 * cutoff * tau;
    const double sinc = tau == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
    const double ratio = tau / half_;
    const double window =
        ratio >= 1 ? 0.0 : bessel_i0(beta * std::sqrt(1 - ratio * ratio)) / bessel_i0(beta);
    table_[j] = static_cast<float>(2 * cutoff * sinc * window);
  }
  reset();
}

void Resampler::reset() {
  history_.assign(static_cast<size_t>(half_), 0.0f);
  t_ = half_;
}

float Resampler::kernel(double tau) const {
  const double pos = std::abs(tau) * kPhases;
  const size_t i = static_cast<size_t>(pos);
  if (i + 1 >= table_.size()) return 0.0f;
  const float frac = static_cast<float>(pos - static_cast<double>(i));
  return table_[i] + frac * (table_[i + 1] - table_[i]);
}

void Resampler::process(std::span<const float> in, std::vector<float>& out) {
  if (passthrough_) {
    out.insert(out.end(), in.begin(), in.end());
    return;
  }
  history_.insert(history_.end(), in.begin(), in.end());
  const double available = static_cast<double>(history_.size());
  while (std::floor(t_) + half_ < available) {
    const long first = static_cast<long>(std::ceil(t_ - half_));
    const long last = static_cast<long>(std::floor(t_ + half_));
    double acc = 0;
    for (long n = std::max(first, 0L); n <= last; ++n) {
      acc += static_cast<double>(history_[static_cast<size_t>(n)]) *
             kernel(t_ - static_cast<double>(n));
    }
    out.push_back(static_cast<float>(acc));
    t_ += step_;
  }
  // Drop what no later output needs.
  const long keep_from = std::max(0L, static_cast<long>(std::ceil(t_ - half_)) - 1);
  const size_t drop = std::min(static_cast<size_t>(keep_from), history_.size());
  history_.erase(history_.begin(), history_.begin() + static_cast<long>(drop));
  t_ -= static_cast<double>(drop);
}

}  // namespace psk
