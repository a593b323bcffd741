#include "measure/imd_meter.h"

#include <algorithm>
#include <cmath>

namespace psk {
namespace {

constexpr double kDbPerNeper = 10.0 / 2.302585092994046;  // 10 / ln 10

}  // namespace

void ImdMeter::reset() {
  run_ = 0;
  history_.clear();
  last_attempt_ = 0;
  newest_centre_ = 0;
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
      history_.clear();
      last_attempt_ = s.centre;
    }
    const double f0 = std::norm(s.fundamentals[0]) / 2, f1 = std::norm(s.fundamentals[1]) / 2;
    if (!(std::max(f0, f1) <= kMaxImbalance * std::min(f0, f1))) continue;
    history_.push_back({f0 + f1, (std::norm(s.products[0]) + std::norm(s.products[1])) / 2,
                        s.noise_power, s.noise_bins});
    if (history_.size() > static_cast<size_t>(kMaxSegments)) history_.pop_front();
    newest_centre_ = s.centre;
    if (history_.size() >= static_cast<size_t>(kMinSegments) &&
        newest_centre_ - last_attempt_ >= kInterval) {
      last_attempt_ = newest_centre_;
      attempt();
    }
  }
}

ImdMeter::Means ImdMeter::means(size_t count) const {
  Means m;
  for (size_t i = history_.size() - count; i < history_.size(); ++i) {
    m.fundamentals += history_[i].fundamentals;
    m.products += history_[i].products;
    m.noise += history_[i].noise;
    m.noise_bins += history_[i].noise_bins;
  }
  const double n = static_cast<double>(count);
  m.fundamentals /= n;
  m.products /= n;
  m.noise /= n;
  m.noise_bins /= n;
  return m;
}

void ImdMeter::attempt() {
  ++attempts_;
  // The noise model, from every stretch of the run: each tone bin holds the
  // tone plus noise of power N, so a bin's power varies by 2 p N + N^2 from
  // stretch to stretch, and the mean of M tone-free bins by N^2 / M.
  const Means all = means(history_.size());
  const double n = all.noise;
  const double products = all.products - 2 * n;
  const double fundamentals = all.fundamentals - 2 * n;
  if (!(products > 0) || !(fundamentals > 0)) return;
  const double noise_var = 4 * n * n / std::max(all.noise_bins, 1.0);  // of the 2 N subtracted
  const double var_products = 2 * products * n + 2 * n * n + noise_var;
  const double var_fundamentals = 2 * fundamentals * n + 2 * n * n + noise_var;
  // The fewest newest stretches whose mean is precise enough.  Stretches
  // overlapping by half share some noise, which the factor allows for.
  size_t count = 0;
  double sigma = 0;
  for (size_t k = kMinSegments; k <= history_.size(); ++k) {
    const double kd = static_cast<double>(k);
    const double shared = 1.0 + 2.0 * kOverlapCorrelation * (kd - 1.0) / kd;
    const double rel =
        (var_products / (products * products) + var_fundamentals / (fundamentals * fundamentals)) *
        shared / kd;
    sigma = kDbPerNeper * std::sqrt(rel);
    if (sigma <= kMaxSigmaDb) {
      count = k;
      break;
    }
  }
  if (count == 0) return;
  const Means m = means(count);
  const double p = m.products - 2 * m.noise;
  const double f = m.fundamentals - 2 * m.noise;
  if (!(p > 0) || !(f > 0)) return;
  // The noise in the product bins must not be able to move the result by
  // more than kMaxNoiseShiftDb, even if its estimate were wholly wrong.
  if (10.0 * std::log10((p + 2 * m.noise) / p) > kMaxNoiseShiftDb) return;
  const double imd = 10.0 * std::log10(p / f);
  if (!(imd >= kFloorDb)) return;
  imd_db_ = imd;
  sigma_db_ = sigma;
  window_ = static_cast<int>(count);
  ++reported_;
  readings_.push_back(static_cast<int32_t>(std::lround(imd)));
}

}  // namespace psk
