#include "measure/symbol_timing.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "dsp/sample_rate.h"

namespace psk {
namespace {

constexpr double kRate = kEngineRateHz;
constexpr size_t kHistory = 8192;  // low-passed samples kept (32 symbols of BPSK31)

}  // namespace

SymbolTiming::SymbolTiming(PskMode mode)
    : sps_(kRate / mode_info(mode).baud),
      power_(mode_info(mode).qpsk ? 4 : 2),
      taps_(static_cast<size_t>(std::max(2.0, std::round(sps_ / 2)))),
      history_(kHistory) {
  delay_ = (static_cast<double>(taps_.size()) - 1.0) / 2.0;
  reset();
}

void SymbolTiming::reset() {
  std::fill(taps_.begin(), taps_.end(), std::complex<double>{});
  tap_pos_ = 0;
  tap_sum_ = 0;
  std::fill(history_.begin(), history_.end(), std::complex<double>{});
  mixer_ = 1.0;
  samples_ = 0;
  has_previous_ = false;
  block_ = fit_ = LineSums{};
  quality_ = 0;
  block_symbols_ = 0;
  block_idle_ = false;
  in_track_ = false;
  origin_ = last_crossing_ = 0;
  index_ = 0;
  blocks_ = 0;
  finished_ = Result{};
}

void SymbolTiming::process(std::span<const float> samples, std::span<const SymbolInfo> symbols,
                           double mix_hz, bool idle) {
  const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi * mix_hz / kRate);
  const double scale = 1.0 / static_cast<double>(taps_.size());
  for (float x : samples) {
    const std::complex<double> bb = static_cast<double>(x) * mixer_;
    mixer_ *= step;
    tap_sum_ += bb - taps_[tap_pos_];
    taps_[tap_pos_] = bb;
    if (++tap_pos_ == taps_.size()) {
      // Keep the oscillator on the unit circle and the moving sum exact.
      tap_pos_ = 0;
      mixer_ /= std::abs(mixer_);
      tap_sum_ = 0;
      for (const auto& v : taps_) tap_sum_ += v;
    }
    history_[static_cast<size_t>(samples_) % kHistory] = tap_sum_ * scale;
    ++samples_;
  }
  block_idle_ |= idle;
  for (const SymbolInfo& s : symbols) on_symbol(s);
}

std::complex<double> SymbolTiming::baseband_at(double position) const {
  // The moving average's output at sample n describes the input at n - delay.
  const double at = position + delay_;
  const double base = std::floor(at);
  if (!(base >= 0) ||
      !(base >= static_cast<double>(samples_ - static_cast<int64_t>(kHistory)) + 1) ||
      !(base + 1 < static_cast<double>(samples_)))
    return {std::nan(""), 0.0};
  const auto n = static_cast<int64_t>(base);
  const double frac = at - base;
  return history_[static_cast<size_t>(n) % kHistory] * (1.0 - frac) +
         history_[static_cast<size_t>(n + 1) % kHistory] * frac;
}

void SymbolTiming::on_symbol(const SymbolInfo& s) {
  if (!std::isfinite(s.position)) return;
  const std::complex<double> z(s.z);
  if (std::abs(z) > 0) quality_ += std::cos(power_ * std::arg(z));
  ++block_symbols_;
  if (has_previous_ && s.reversal && std::round((s.position - previous_.position) / sps_) == 1.0) {
    const std::complex<double> y0 = baseband_at(previous_.position);
    const std::complex<double> y1 = baseband_at(s.position);
    const double half = (previous_.position + s.position) / 2.0;
    const std::complex<double> yh = baseband_at(half);
    const std::complex<double> d = y1 - y0;
    const double energy = std::norm(d);
    if (energy > 0 && std::isfinite(energy) && std::isfinite(std::norm(yh))) {
      // Across a reversal y(t) = A sin(pi (t - crossing) / T) c, so
      // Re[d* y_half] = 2 A^2 sin(pi (half - crossing) / T), |d|^2 = 4 A^2.
      const double t = s.position - previous_.position;
      double ratio = std::clamp(2.0 * std::real(std::conj(d) * yh) / energy, -1.0, 1.0);
      double crossing = half - t / std::numbers::pi * std::asin(ratio);
      // The sine is only the crossing's shape near its middle: read again
      // centred on the estimate, so that what is left of the demodulator's
      // own timing error (which wanders with the text) does not pass into
      // the crossing through the shape's error.
      for (int pass = 0; pass < kRefinements; ++pass) {
        const std::complex<double> a = baseband_at(crossing - t / 2.0);
        const std::complex<double> b = baseband_at(crossing + t / 2.0);
        const std::complex<double> m = baseband_at(crossing);
        const double e = std::norm(b - a);
        if (!(e > 0) || !std::isfinite(e) || !std::isfinite(std::norm(m))) break;
        ratio = std::clamp(2.0 * std::real(std::conj(b - a) * m) / e, -1.0, 1.0);
        crossing -= t / std::numbers::pi * std::asin(ratio);
      }
      bool counted = true;
      if (!in_track_) {
        in_track_ = true;
        origin_ = last_crossing_ = crossing;
        index_ = 0;
      } else {
        const double steps = std::round((crossing - last_crossing_) / sps_);
        if (steps >= 1) {
          index_ += static_cast<int64_t>(steps);
          last_crossing_ = crossing;
        } else {
          counted = false;
        }
      }
      if (counted) {
        const double x = static_cast<double>(index_);
        const double y = crossing - origin_ - x * sps_;
        block_.add(energy, x, y);
      }
    }
  }
  previous_ = s;
  has_previous_ = true;
  if (block_symbols_ == kBlockSymbols) end_block();
}

void SymbolTiming::end_block() {
  const bool present = quality_ >= kMinQuality * block_symbols_;
  if (present && !block_idle_) {
    fit_.add(block_);
    ++blocks_;
  }
  block_ = LineSums{};
  quality_ = 0;
  block_symbols_ = 0;
  block_idle_ = false;
  if (!present) end_track();  // the signal went away, or never was
}

SymbolTiming::Result SymbolTiming::current() const {
  Result r;
  if (blocks_ < kMinBlocks || fit_.count < kMinReversals || !(fit_.w > 0)) return r;
  const double sxx = fit_.sxx(), sxy = fit_.sxy(), syy = fit_.syy();
  if (!(sxx > 0)) return r;
  const double slope = sxy / sxx;  // samples per symbol beyond nominal
  // The weights' scale from the scatter about the line.
  const double dof = fit_.count - 2.0;
  const double scatter = std::max(0.0, syy - slope * sxy) / dof * fit_.count / fit_.w;
  const double slope_variance = scatter * kCorrelation / (sxx * fit_.count / fit_.w);
  r.ppm = slope / sps_ * 1e6;
  r.variance = std::max(slope_variance / (sps_ * sps_) * 1e12, 1e-6);
  r.valid = std::isfinite(r.ppm) && std::isfinite(r.variance);
  return r;
}

void SymbolTiming::end_track() {
  const Result r = current();
  if (r.valid) finished_ = r;
  in_track_ = false;
  fit_ = LineSums{};
  blocks_ = 0;
}

SymbolTiming::Result SymbolTiming::take_finished() {
  const Result r = finished_;
  finished_ = Result{};
  return r;
}

}  // namespace psk
