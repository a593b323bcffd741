#include "modem/symbol_sync.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace psk {
namespace {

// Share of the phase error corrected per symbol: the sampling instant
// settles on the averaged peak phase within a few symbols (the estimate
// itself averages over average_symbols).
constexpr double kPhaseGain = 0.5;
constexpr double kMaxStep = 0.05;  // largest phase correction per symbol, cycles
// Share of the peaks' drift taken into the period per symbol: the period
// follows a clock error with a time constant of 100 symbols.
constexpr double kPeriodGain = 0.01;
constexpr double kMaxDrift = 0.02;       // drift per symbol above this is noise or a jump, cycles
constexpr double kMaxDeviation = 0.005;  // period kept within +-0.5 % of nominal

}  // namespace

SymbolSync::SymbolSync(int sps, double average_symbols)
    : sps_(std::max(sps, 4)), beta_(1.0 / std::max(average_symbols, 1.0)) {
  reset();
}

void SymbolSync::reset() {
  line_ = sum_ = {0.0, 0.0};
  clock_ = 0.0;
  period_ = sps_;
  next_ = 1.0 - 1.0 / sps_;
  last_peak_ = 0.0;
  n_ = -1;
  prev_y_ = symbol_ = {0.0f, 0.0f};
  symbol_time_ = 0.0;
}

bool SymbolSync::process(std::complex<float> y) {
  ++n_;
  const double before = clock_;
  clock_ += 1.0 / period_;
  const double turn = 2.0 * std::numbers::pi * (clock_ - std::floor(clock_));
  sum_ += static_cast<double>(std::norm(y)) * std::complex<double>(std::cos(turn), -std::sin(turn));
  if (std::floor(clock_) != std::floor(before)) {
    // Average whole clock turns only: a constant power then cancels exactly
    // and cannot pull the estimate towards a fixed phase.
    line_ += beta_ * (sum_ - line_);
    sum_ = {0.0, 0.0};
  }
  bool produced = false;
  if (clock_ >= next_) {
    // The instant lies (clock_ - next_) periods before this sample.
    const double back = std::min((clock_ - next_) * period_, 1.0);
    symbol_ = y + static_cast<float>(back) * (prev_y_ - y);
    symbol_time_ = static_cast<double>(n_) - back;
    produced = true;
    // Phase error: where the peaks are on the clock against where we sampled.
    double error = 0.0;
    if (std::abs(line_) > 0.0) {
      const double peak = -std::arg(line_) / (2.0 * std::numbers::pi);
      error = peak - (next_ - std::floor(next_));
      error -= std::round(error);
      // Peaks drifting later on the clock mean a longer period.
      double drift = peak - last_peak_;
      drift -= std::round(drift);
      last_peak_ = peak;
      if (std::abs(drift) < kMaxDrift)
        period_ = std::clamp(period_ * (1.0 + kPeriodGain * drift), sps_ * (1.0 - kMaxDeviation),
                             sps_ * (1.0 + kMaxDeviation));
    }
    next_ += 1.0 + std::clamp(kPhaseGain * error, -kMaxStep, kMaxStep);
  }
  prev_y_ = y;
  return produced;
}

}  // namespace psk
