#include "symbol_sync.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace psk {

SymbolSync::SymbolSync(int sps, double average_symbols)
    : sps_(std::max(sps, 4)),
      alpha_(1.0 / (std::max(average_symbols, 1.0) * std::max(sps, 4))),
      rot_(std::polar(1.0, -2.0 * std::numbers::pi / std::max(sps, 4))) {
  reset();
}

void SymbolSync::reset() {
  line_ = {0.0, 0.0};
  power_ = 0.0;
  ref_ = {1.0, 0.0};
  phase_index_ = 0;
  n_ = -1;
  next_ = static_cast<double>(sps_) - 1.0;
  timing_ = 0.0;
  prev_y_ = symbol_ = {0.0f, 0.0f};
  symbol_time_ = 0.0;
}

bool SymbolSync::process(std::complex<float> y) {
  ++n_;
  const double p = std::norm(y);
  line_ += alpha_ * (p * ref_ - line_);
  power_ += alpha_ * (p - power_);
  ref_ *= rot_;
  if (++phase_index_ == sps_) {
    phase_index_ = 0;
    ref_ = {1.0, 0.0};  // exact again once per symbol
  }
  bool produced = false;
  const double now = static_cast<double>(n_);
  if (next_ <= now) {
    // Linear interpolation between the previous and the current sample.
    const double frac = std::clamp(next_ - (now - 1.0), 0.0, 1.0);
    symbol_ = prev_y_ + static_cast<float>(frac) * (y - prev_y_);
    symbol_time_ = next_;
    produced = true;
    // Steer the next instant towards the estimated phase of the peaks, at
    // most a quarter sample per symbol so a noisy estimate cannot jump.
    double step = sps_;
    if (std::abs(line_) > 0.0) {
      timing_ = -std::arg(line_) / (2.0 * std::numbers::pi) * sps_;
      if (timing_ < 0) timing_ += sps_;
      double err = timing_ - std::fmod(next_, static_cast<double>(sps_));
      err -= sps_ * std::round(err / sps_);
      step += std::clamp(0.5 * err, -0.25, 0.25);
    }
    next_ += step;
  }
  prev_y_ = y;
  return produced;
}

}  // namespace psk
