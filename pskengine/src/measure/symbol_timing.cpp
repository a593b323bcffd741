#include "measure/symbol_timing.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "dsp/sample_rate.h"

namespace psk {
namespace {

constexpr double kRate = kEngineRateHz;
constexpr size_t kHistory = 8192;  // low-passed samples kept (32 symbols of BPSK31)
constexpr double kQuarterTurn = std::numbers::pi / 2;

std::complex<double> quarter_turns(int n) {  // j^n
  constexpr std::complex<double> kTurns[] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  return kTurns[n & 3];
}

}  // namespace

SymbolTiming::SymbolTiming(PskMode mode)
    : sps_(kRate / mode_info(mode).baud),
      power_(mode_info(mode).qpsk ? 4 : 2),
      taps_(static_cast<size_t>(std::max(2.0, std::round(sps_ / 2)))),
      history_(kHistory),
      narrow_(kHistory) {
  delay_ = (static_cast<double>(taps_.size()) - 1.0) / 2.0;
  // The part of a cosine-shaped step that the moving average about an
  // instant takes in from the transition on one side of it.
  spill_ = 0;
  for (size_t i = 0; i < taps_.size() / 2; ++i)
    spill_ += 0.5 * (1.0 - std::cos(std::numbers::pi * (static_cast<double>(i) + 0.5) / sps_));
  spill_ /= static_cast<double>(taps_.size());
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
  instants_.clear();
  phase_ = 0;
  lag_ = 0;
  steady_ = 0;
  block_ = fit_ = LineSums{};
  quality_ = 0;
  block_symbols_ = 0;
  block_idle_ = block_unlocked_ = false;
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

double SymbolTiming::fit_crossing(double crossing, double t, std::complex<double> middle,
                                  double& information) const {
  // Gauss-Newton steps of the least-squares fit of the model
  // middle + step sin(pi (n - crossing) / t) to the narrowly filtered
  // baseband over the transition: the matched filter for its instant.  step
  // is apart from the crossing (sin is odd about it, its slope even).  The
  // narrow filter's output at n + narrow_delay_ describes the input at n.
  const double k = std::numbers::pi / t;
  auto at = [&](double n) { return narrow_[static_cast<size_t>(n + narrow_delay_) % kHistory]; };
  // cos and sin of k (n - crossing) from one sample to the next: a phasor
  // turned by k a sample (a transition is at most a few hundred samples, so
  // rounding does not build up).
  const std::complex<double> turn = std::polar(1.0, k);
  for (int pass = 0; pass < kRefinements; ++pass) {
    const double from = std::ceil(crossing - t / 2), to = std::floor(crossing + t / 2);
    if (!(from + narrow_delay_ >= static_cast<double>(samples_ - static_cast<int64_t>(kHistory))) ||
        !(to + narrow_delay_ < static_cast<double>(samples_)))
      return std::nan("");
    const std::complex<double> first = std::polar(1.0, k * (from - crossing));
    std::complex<double> step = 0, u = first;
    double sines = 0;
    for (double n = from; n <= to; ++n, u *= turn) {
      step += (at(n) - middle) * u.imag();
      sines += u.imag() * u.imag();
    }
    if (!(sines > 0)) return std::nan("");
    step /= sines;
    // Residual r and slope J = d model / d crossing: sums of Re(J* r) and |J|^2.
    double jr = 0, jj = 0;
    u = first;
    for (double n = from; n <= to; ++n, u *= turn) {
      const std::complex<double> slope = -step * (k * u.real());
      jr += std::real(std::conj(slope) * (at(n) - middle - step * u.imag()));
      jj += std::norm(slope);
    }
    information = jj;
    crossing += jj > 0 ? jr / jj : std::nan("");
    if (!std::isfinite(crossing)) return crossing;
  }
  return crossing;
}

void SymbolTiming::on_symbol(const SymbolInfo& s) {
  if (!std::isfinite(s.position)) return;
  const std::complex<double> z(s.z);
  if (std::abs(z) > 0) quality_ += std::cos(power_ * std::arg(z));
  ++block_symbols_;
  // The decided phase change in quarter turns: BPSK reverses or not, QPSK
  // turns by the nearest quarter.
  int turn = s.reversal ? 2 : 0;
  if (power_ == 4)
    turn = std::abs(z) > 0 ? static_cast<int>(std::lround(std::arg(z) / kQuarterTurn)) : 0;
  // Only consecutive symbols the receiver held make a transition and share
  // a gain; a symbol it did not hold (acquiring a signal, just retuned) also
  // ends the track.
  if (!s.locked) {
    instants_.clear();
    block_unlocked_ = true;
    if (block_symbols_ == kBlockSymbols) end_block();
    return;
  }
  if (!instants_.empty() && std::round((s.position - instants_.back().position) / sps_) != 1.0)
    instants_.clear();
  phase_ = (phase_ + turn) & 3;
  instants_.push_back({s.position, baseband_at(s.position + lag_), phase_, turn != 0});
  if (instants_.size() > 2 * kGainSymbols + 2) instants_.pop_front();
  if (instants_.size() == 2 * kGainSymbols + 2 && instants_[kGainSymbols + 1].transition)
    on_transition(kGainSymbols);
  if (block_symbols_ == kBlockSymbols) end_block();
}

void SymbolTiming::on_transition(size_t at) {
  const Instant &from = instants_[at], &to = instants_[at + 1];
  // The transition passes through the middle of its two ends: zero for a
  // reversal, else the signal's complex gain about the transition (from the
  // instants on both sides taken back to phase 0) times the mean of the two
  // phases.  Each value read at an instant holds the edges of the
  // transitions on either side (spill_ of each step), which the decisions
  // tell and so take out.
  const std::complex<double> ends = quarter_turns(from.phase) + quarter_turns(to.phase);
  const bool reversal = ends == 0.0;
  std::complex<double> middle = 0;
  if (!reversal) {
    std::complex<double> gain = 0;
    int values = 0;
    for (size_t i = 1; i + 1 < instants_.size(); ++i) {
      const Instant& s = instants_[i];
      if (!std::isfinite(std::norm(s.value))) continue;
      const std::complex<double> neighbours = quarter_turns(instants_[i - 1].phase - s.phase) +
                                              quarter_turns(instants_[i + 1].phase - s.phase);
      gain += s.value * std::conj(quarter_turns(s.phase)) / (1.0 + spill_ * (neighbours - 2.0));
      ++values;
    }
    if (values == 0) return;
    middle = gain / static_cast<double>(values) * ends / 2.0;
  }
  const std::complex<double> d = to.value - from.value;
  const double half = (from.position + to.position) / 2.0;
  const std::complex<double> yh = baseband_at(half);
  const double energy = std::norm(d);
  if (!(energy > 0) || !std::isfinite(energy) || !std::isfinite(std::norm(yh))) return;
  // Across a transition y(t) = middle + (d / 2) sin(pi (t - crossing) / T),
  // so Re[d* (y_half - middle)] = |d|^2 / 2 sin(pi (half - crossing) / T):
  // the decision-directed first estimate.
  const double t = to.position - from.position;
  const double ratio =
      std::clamp(2.0 * std::real(std::conj(d) * (yh - middle)) / energy, -1.0, 1.0);
  double crossing = half - t / std::numbers::pi * std::asin(ratio);
  // Then fitted to the lightly filtered baseband over the whole transition,
  // so that neither the low-pass's noise nor what is left of the
  // demodulator's own timing error (which wanders with the text) passes into
  // the crossing.  Each crossing weighs by what its fit tells of it.
  double information = 0;
  crossing = fit_crossing(crossing, t, middle, information);
  if (!std::isfinite(crossing) || !(information > 0)) return;
  // How far the demodulator's instants sit off the true ones, from the
  // reversals (whose middle needs no gain): the symbol values are read
  // there.  Until kSteadyReversals in a row agree with it (the demodulator's
  // timing still acquiring), the values, and so the quarter turns, are not
  // to be trusted.
  if (reversal) {
    const double offset = crossing - half;
    const bool agrees = std::abs(offset - lag_) < sps_ / 8;
    lag_ += (steady_ >= kSteadyReversals ? kLagSmoothing : 0.5) * (offset - lag_);
    steady_ = agrees ? steady_ + 1 : 0;
  } else if (steady_ < kSteadyReversals) {
    return;
  }
  if (!in_track_) {
    in_track_ = true;
    origin_ = last_crossing_ = crossing;
    index_ = 0;
  } else {
    const double steps = std::round((crossing - last_crossing_) / sps_);
    if (steps < 1) return;
    index_ += static_cast<int64_t>(steps);
    last_crossing_ = crossing;
  }
  const double x = static_cast<double>(index_);
  block_.add(information, x, crossing - origin_ - x * sps_);
}

void SymbolTiming::end_block() {
  const bool present = quality_ >= kMinQuality * block_symbols_ && !block_unlocked_;
  if (present && !block_idle_) {
    fit_.add(block_);
    ++blocks_;
  }
  block_ = LineSums{};
  quality_ = 0;
  block_symbols_ = 0;
  block_idle_ = block_unlocked_ = false;
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
  instants_.clear();
  fit_ = LineSums{};
  blocks_ = 0;
}

SymbolTiming::Result SymbolTiming::take_finished() {
  const Result r = finished_;
  finished_ = Result{};
  return r;
}

}  // namespace psk
