#include "measure/imd_meter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace psk {
namespace {

constexpr double kDbPerNeper = 10.0 / 2.302585092994046;  // 10 / ln 10
// The IMD a stretch's weight assumes (power ratio): it sets where the weight
// turns from "every stretch alike" (products well above the noise) to
// "strong stretches first" (products near the noise).
constexpr double kTypicalImd = 1e-3;

// Upper tail of the standard normal distribution.
double upper_tail(double z) {
  return 0.5 * std::erfc(z / std::numbers::sqrt2);
}

}  // namespace

double ImdMeter::miss_probability(double sigma) {
  if (!(sigma > 0)) return 0.0;
  return 2.0 * upper_tail(1.0 / sigma);
}

double ImdMeter::whole_db_miss_probability(double x, double sigma) {
  if (!(sigma > 0)) return 0.0;
  const double r = std::round(x);
  return upper_tail((x - (r - 1.0)) / sigma) + upper_tail((r + 1.0 - x) / sigma);
}

void ImdMeter::reset() {
  run_ = 0;
  spread_ = 1.0;
  history_.clear();
  levels_.clear();
  run_read_ = false;
  last_reading_ = 0;
  readings_.clear();
  imd_db_ = sigma_db_ = 0;
  window_ = 0;
  attempts_ = reported_ = 0;
}

void ImdMeter::process(std::span<const IdleSegment> segments) {
  readings_.clear();
  for (const IdleSegment& s : segments) {
    if (s.run != run_) {  // a new idle run: never mix two
      run_ = s.run;
      spread_ = std::max(1.0, s.baud / 31.25);
      history_.clear();
      run_read_ = false;
    }
    const double f0 = std::norm(s.hann.fundamentals[0]) / 2;
    const double f1 = std::norm(s.hann.fundamentals[1]) / 2;
    if (!(std::max(f0, f1) <= kMaxImbalance * std::min(f0, f1))) continue;
    const Powers hann = powers_of(s.hann), rect = powers_of(s.rect);
    if (!(hann.fundamentals > 0) || !(rect.fundamentals > 0)) continue;
    history_.push_back({hann, rect, 0.0});
    levels_.emplace_back(s.centre, hann.fundamentals);
    while (levels_.front().first < s.centre - kFadeMemory) levels_.pop_front();
    if (history_.size() > static_cast<size_t>(kMaxSegments)) history_.pop_front();
    if (static_cast<double>(history_.size()) < kMinSegments * std::min(spread_, 2.0)) continue;
    // Until the run's first reading every stretch may give one; then about once a second.
    if (run_read_ && s.centre - last_reading_ < kInterval) continue;
    if (attempt()) {
      run_read_ = true;
      last_reading_ = s.centre;
    }
  }
}

ImdMeter::Powers ImdMeter::powers_of(const IdleTones& tones) {
  const double n = tones.noise_power;
  const double fundamentals =
      (std::norm(tones.fundamentals[0]) + std::norm(tones.fundamentals[1])) / 2 - 2 * n;
  const double products = (std::norm(tones.products[0]) + std::norm(tones.products[1])) / 2 - 2 * n;
  if (!(n >= 0)) return {};
  return {fundamentals, products, n, std::max(tones.noise_bins, 1)};
}

bool ImdMeter::attempt() {
  ++attempts_;
  // A faded run (its fundamentals' level swings) reads from the Hann
  // window's analysis, which a level changing within a stretch cannot leak
  // from the fundamentals into the products; a steady run from the
  // rectangular window's, which holds less noise.
  double lowest = levels_.front().second, highest = lowest;
  for (const auto& [centre, level] : levels_) {
    lowest = std::min(lowest, level);
    highest = std::max(highest, level);
  }
  const bool fading = highest > kFadeSwing * lowest;
  const double k = static_cast<double>(history_.size());
  // A faded run may hold a channel error that only the stretches' scatter
  // can show: it needs a few of them, and their scatter always counts.
  if (fading && k < kMinFadingSegments * spread_) return false;
  const Powers Stretch::*const window = fading ? &Stretch::hann : &Stretch::rect;
  const double correlation =
      fading ? IdleSegmenter::kOverlapCorrelation : IdleSegmenter::kRectOverlapCorrelation;

  // Weights: the inverse of a stretch's product noise per unit of signal.
  // They use the run's mean noise, not the stretch's own estimate, which
  // would favour stretches whose noise happened to read low (and so whose
  // products, less that noise, read high).
  double noise = 0;
  for (const Stretch& s : history_) noise += (s.*window).noise;
  noise /= k;
  double wp = 0, wf = 0, wn = 0;
  for (Stretch& s : history_) {
    const Powers& p = s.*window;
    s.weight = p.fundamentals / (noise * (p.fundamentals * kTypicalImd + noise) + 1e-300);
    wp += s.weight * p.products;
    wf += s.weight * p.fundamentals;
    wn += s.weight * p.noise;
  }
  if (!(wp > 0) || !(wf > 0)) return false;
  const double ratio = wp / wf;
  // The noise in the product bins must not be able to move the result by
  // more than kMaxNoiseShiftDb, even if its estimate were wholly wrong.
  if (10.0 * std::log10((wp + 2 * wn) / wp) > kMaxNoiseShiftDb) return false;
  // Each tone bin holds the tone (power p) plus noise of power N, so its
  // power varies by 2 p N + N^2; the noise subtracted, from M tone-free
  // bins, by 4 N^2 / M for the pair.
  double var_p = 0, var_f = 0, chi2 = 0, lag = 0, previous = 0;
  bool first = true;
  for (const Stretch& s : history_) {
    const Powers& p = s.*window;
    const double n = p.noise, n2 = n * n;
    const double subtracted = 4 * n2 / p.noise_bins;
    const double vp = 2 * ratio * p.fundamentals * n + 2 * n2 + subtracted;
    const double vf = 2 * p.fundamentals * n + 2 * n2 + subtracted;
    var_p += s.weight * s.weight * vp;
    var_f += s.weight * s.weight * vf;
    const double residual =
        (p.products - ratio * p.fundamentals) / std::sqrt(vp + ratio * ratio * vf);
    chi2 += residual * residual;
    if (!first) lag += residual * previous;
    previous = residual;
    first = false;
  }
  // Stretches overlapping by half share some noise.
  const double shared = 1.0 + 2.0 * correlation * (k - 1.0) / k;
  const double bias = kNoiseBias * 2 * wn / wp;
  double rel = (var_p / (wp * wp) + var_f / (wf * wf)) * shared + bias * bias;
  // Stretches that scatter clearly more than their noise explains (a channel
  // fading differently at the tones' frequencies) widen the variance, the
  // more so when the scatter is slow (a fade lasts many stretches, so fewer
  // of them are independent).
  const double dof = k - 1.0;
  const double excess = chi2 / dof;
  if (fading || excess > 1.0 + kExcessSigmas * std::sqrt(2.0 * shared / dof)) {
    const double rho = std::clamp(lag / chi2, 0.0, 0.9);
    rel *= std::max(1.0, excess) * std::max(1.0, (1.0 + rho) / (1.0 - rho) / shared);
  }
  if (fading) {
    const double selectivity = kFadingSelectivityDb / kDbPerNeper * spread_ * spread_;
    rel += selectivity * selectivity;
  }
  const double sigma = kDbPerNeper * std::sqrt(rel);
  const double imd = 10.0 * std::log10(ratio);
  if (!(imd >= kFloorDb) || !(imd < 0)) return false;
  // A fading channel's error is not normal (a few channel states decide it):
  // its reading must be the surer.
  const double share = fading ? kFadingMissShare : 1.0;
  if (!(miss_probability(sigma) <= kMaxMissProbability * share)) return false;
  if (!(whole_db_miss_probability(imd, sigma) <= kMaxWholeDbMissProbability * share)) return false;
  imd_db_ = imd;
  sigma_db_ = sigma;
  window_ = static_cast<int>(history_.size());
  ++reported_;
  readings_.push_back(static_cast<int32_t>(std::lround(imd)));
  return true;
}

}  // namespace psk
