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

double ImdMeter::miss_probability(double x, double sigma) {
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
    const double f0 = std::norm(s.fundamentals[0]) / 2, f1 = std::norm(s.fundamentals[1]) / 2;
    if (!(std::max(f0, f1) <= kMaxImbalance * std::min(f0, f1))) continue;
    const double n = s.noise_power;
    const double fundamentals = f0 + f1 - 2 * n;
    if (!(fundamentals > 0) || !(n >= 0)) continue;
    const double products = (std::norm(s.products[0]) + std::norm(s.products[1])) / 2 - 2 * n;
    history_.push_back({fundamentals, products, n, std::max(s.noise_bins, 1), 0.0});
    levels_.emplace_back(s.centre, fundamentals);
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

bool ImdMeter::attempt() {
  ++attempts_;
  // Weights: the inverse of a stretch's product noise per unit of signal.
  // They use the run's mean noise, not the stretch's own estimate, which
  // would favour stretches whose noise happened to read low (and so whose
  // products, less that noise, read high).
  double noise = 0;
  for (const Stretch& s : history_) noise += s.noise;
  noise /= static_cast<double>(history_.size());
  for (Stretch& s : history_)
    s.weight = s.fundamentals / (noise * (s.fundamentals * kTypicalImd + noise) + 1e-300);
  double wp = 0, wf = 0, wn = 0;
  for (const Stretch& s : history_) {
    wp += s.weight * s.products;
    wf += s.weight * s.fundamentals;
    wn += s.weight * s.noise;
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
    const double n = s.noise, n2 = n * n;
    const double subtracted = 4 * n2 / s.noise_bins;
    const double vp = 2 * ratio * s.fundamentals * n + 2 * n2 + subtracted;
    const double vf = 2 * s.fundamentals * n + 2 * n2 + subtracted;
    var_p += s.weight * s.weight * vp;
    var_f += s.weight * s.weight * vf;
    const double residual =
        (s.products - ratio * s.fundamentals) / std::sqrt(vp + ratio * ratio * vf);
    chi2 += residual * residual;
    if (!first) lag += residual * previous;
    previous = residual;
    first = false;
  }
  const double k = static_cast<double>(history_.size());
  // Stretches overlapping by half share some noise.
  const double shared = 1.0 + 2.0 * IdleSegmenter::kOverlapCorrelation * (k - 1.0) / k;
  const double bias = kNoiseBias * 2 * wn / wp;
  double rel = (var_p / (wp * wp) + var_f / (wf * wf)) * shared + bias * bias;
  // Stretches that scatter clearly more than their noise explains (a channel
  // fading differently at the tones' frequencies) widen the variance, the
  // more so when the scatter is slow (a fade lasts many stretches, so fewer
  // of them are independent).
  const double dof = k - 1.0;
  const double excess = chi2 / dof;
  // A faded run (its fundamentals' level swings) may hold a channel error
  // that only the stretches' scatter can show: it needs a few of them, and
  // their scatter always counts.
  double lowest = levels_.front().second, highest = lowest;
  for (const auto& [centre, level] : levels_) {
    lowest = std::min(lowest, level);
    highest = std::max(highest, level);
  }
  const bool fading = highest > kFadeSwing * lowest;
  if (fading && k < kMinFadingSegments * spread_) return false;
  if (fading || excess > 1.0 + kExcessSigmas * std::sqrt(2.0 * shared / dof)) {
    const double rho = std::clamp(lag / chi2, 0.0, 0.9);
    rel *= std::max(1.0, excess) * std::max(1.0, (1.0 + rho) / (1.0 - rho) / shared);
  }
  const double sigma = kDbPerNeper * std::sqrt(rel);
  const double imd = 10.0 * std::log10(ratio);
  if (!(imd >= kFloorDb) || !(imd < 0)) return false;
  // A fading channel's error is not normal (a few channel states decide it):
  // its reading must be the surer.
  const double allowed = fading ? kMaxMissProbability * kFadingMissShare : kMaxMissProbability;
  if (!(miss_probability(imd, sigma) <= allowed)) return false;
  imd_db_ = imd;
  sigma_db_ = sigma;
  window_ = static_cast<int>(history_.size());
  ++reported_;
  readings_.push_back(static_cast<int32_t>(std::lround(imd)));
  return true;
}

}  // namespace psk
