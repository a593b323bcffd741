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
      history_(kHistory),
      narrow_(kHistory) {
  delay_ = (static_cast<double>(taps_.size()) - 1.0) / 2.0;
  narrow_delay_ = std::clamp(static_cast<int>(std::round(sps_ / 16)), 1,
                             static_cast<int>(taps_.size() - 1) / 2);
  reset();
}

void SymbolTiming::reset() {
  std::fill(taps_.begin(), taps_.end(), std::complex<double>{});
  tap_pos_ = 0;
  tap_sum_ = 0;
  std::fill(history_.begin(), history_.end(), std::complex<double>{});
  std::fill(narrow_.begin(), narrow_.end(), std::complex<double>{});
  narrow_sum_ = 0;
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
  const size_t size = taps_.size(), narrow = static_cast<size_t>(narrow_delay_) * 2 + 1;
  for (float x : samples) {
    const std::complex<double> bb = static_cast<double>(x) * mixer_;
    mixer_ *= step;
    tap_sum_ += bb - taps_[tap_pos_];
    narrow_sum_ += bb - taps_[(tap_pos_ + size - narrow) % size];
    taps_[tap_pos_] = bb;
    if (++tap_pos_ == size) {
      // Keep the oscillator on the unit circle and the moving sums exact.
      tap_pos_ = 0;
      mixer_ /= std::abs(mixer_);
      tap_sum_ = narrow_sum_ = 0;
      for (size_t i = 0; i < size; ++i) {
        tap_sum_ += taps_[i];
        if (i >= size - narrow) narrow_sum_ += taps_[i];
      }
    }
    history_[static_cast<size_t>(samples_) % kHistory] = tap_sum_ * scale;
    narrow_[static_cast<size_t>(samples_) % kHistory] = narrow_sum_ / static_cast<double>(narrow);
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

double SymbolTiming::fit_crossing(double crossing, double t, bool reversal,
                                  double& information) const {
  // Gauss-Newton steps of the least-squares fit of the model
  // middle + step sin(pi (n - crossing) / t) to the narrowly filtered
  // baseband over the transition: the matched filter for its instant.  step
  // is apart from the others (sin is odd about the crossing); crossing and
  // middle are solved together.  A reversal passes through zero, so its
  // middle is 0.  The narrow filter's output at n + narrow_delay_ describes
  // the input at n.
  const double k = std::numbers::pi / t;
  auto at = [&](double n) { return narrow_[static_cast<size_t>(n + narrow_delay_) % kHistory]; };
  std::complex<double> middle = 0;
  bool first = true;
  for (int pass = 0; pass < kRefinements; ++pass) {
    const double from = std::ceil(crossing - t / 2), to = std::floor(crossing + t / 2);
    if (!(from + narrow_delay_ >= static_cast<double>(samples_ - static_cast<int64_t>(kHistory))) ||
        !(to + narrow_delay_ < static_cast<double>(samples_)))
      return std::nan("");
    std::complex<double> sum = 0, step = 0;
    double sines = 0, count = 0;
    for (double n = from; n <= to; ++n) {
      const double sine = std::sin(k * (n - crossing));
      sum += at(n);
      step += at(n) * sine;
      sines += sine * sine;
      ++count;
    }
    if (!(sines > 0)) return std::nan("");
    step /= sines;
    if (first && !reversal) middle = sum / count;
    first = false;
    // Residual r, slope J = d model / d crossing: sums of Re(J* r), |J|^2, J, r.
    double jr = 0, jj = 0;
    std::complex<double> js = 0, rs = 0;
    for (double n = from; n <= to; ++n) {
      const double u = k * (n - crossing);
      const std::complex<double> slope = -step * (k * std::cos(u));
      const std::complex<double> residual = at(n) - middle - step * std::sin(u);
      jr += std::real(std::conj(slope) * residual);
      jj += std::norm(slope);
      js += slope;
      rs += residual;
    }
    double shift = 0;
    if (reversal) {
      information = jj;
      shift = jj > 0 ? jr / jj : std::nan("");
    } else {
      // The middle, unknown too, takes most of the slope's information: a
      // quarter turn tells the crossing far less than a reversal.
      information = jj - std::norm(js) / count;
      shift = information > 0 ? (jr - std::real(std::conj(js) * rs) / count) / information
                              : std::nan("");
      middle += (rs - js * shift) / count;
    }
    crossing += shift;
    if (!std::isfinite(crossing)) return crossing;
  }
  return crossing;
}

void SymbolTiming::on_symbol(const SymbolInfo& s) {
  if (!std::isfinite(s.position)) return;
  const std::complex<double> z(s.z);
  if (std::abs(z) > 0) quality_ += std::cos(power_ * std::arg(z));
  ++block_symbols_;
  // A transition: a reversal, or in QPSK also a quarter turn (half the energy).
  const bool transition =
      s.reversal || (power_ == 4 && std::abs(z) > 0 && std::abs(std::arg(z)) > kQuarterTurnFrom);
  if (has_previous_ && transition && std::round((s.position - previous_.position) / sps_) == 1.0) {
    const std::complex<double> y0 = baseband_at(previous_.position);
    const std::complex<double> y1 = baseband_at(s.position);
    const double half = (previous_.position + s.position) / 2.0;
    const std::complex<double> yh = baseband_at(half);
    const std::complex<double> d = y1 - y0;
    // A reversal passes through zero; a quarter turn through the middle of its ends.
    const std::complex<double> middle = s.reversal ? 0.0 : (y0 + y1) / 2.0;
    const double energy = std::norm(d);
    if (energy > 0 && std::isfinite(energy) && std::isfinite(std::norm(yh))) {
      // Across a transition y(t) = middle + (d / 2) sin(pi (t - crossing) / T),
      // so Re[d* (y_half - middle)] = |d|^2 / 2 sin(pi (half - crossing) / T).
      const double t = s.position - previous_.position;
      const double ratio =
          std::clamp(2.0 * std::real(std::conj(d) * (yh - middle)) / energy, -1.0, 1.0);
      double crossing = half - t / std::numbers::pi * std::asin(ratio);
      // Then fitted to the lightly filtered baseband over the whole
      // transition, so that neither the low-pass's noise nor what is left of
      // the demodulator's own timing error (which wanders with the text)
      // passes into the crossing.  Each crossing weighs by what its fit
      // tells of it.
      double information = 0;
      crossing = fit_crossing(crossing, t, s.reversal, information);
      bool counted = std::isfinite(crossing) && information > 0;
      if (counted && !in_track_) {
        in_track_ = true;
        origin_ = last_crossing_ = crossing;
        index_ = 0;
      } else if (counted) {
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
        block_.add(information, x, y);
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
