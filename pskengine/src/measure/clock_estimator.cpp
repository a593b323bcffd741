#include "measure/clock_estimator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace psk {
namespace {

constexpr double kRate = 8000.0;
constexpr int kMinTrackSegments = 4;  // a finished track counts from this many stretches

// x wrapped into [-0.5, 0.5) cycles.
double wrap(double x) {
  return x - std::floor(x + 0.5);
}

}  // namespace

ClockErrorEstimator::ClockErrorEstimator(PskMode mode)
    : baud_(mode_info(mode).baud), samples_per_symbol_(kRate / baud_) {
  reset();
}

void ClockErrorEstimator::reset() {
  track_.clear();
  track_run_ = 0;
  track_start_ = 0;
  track_noise_ = 0;
  finished_.clear();
  ppm_ = sigma_ppm_ = 0;
  has_estimate_ = false;
  segments_ = 0;
  last_reading_ = 0;
  has_reading_ = false;
  readings_.clear();
}

void ClockErrorEstimator::process(std::span<const IdleSegment> segments) {
  readings_.clear();
  for (const IdleSegment& s : segments) {
    add(s);
    update_estimate();
    if (settled() && (!has_reading_ || s.centre - last_reading_ >= kInterval)) {
      has_reading_ = true;
      last_reading_ = s.centre;
      readings_.push_back(static_cast<int32_t>(std::lround(ppm_)));
    }
  }
}

void ClockErrorEstimator::add(const IdleSegment& s) {
  const double lower = std::norm(s.fundamentals[0]) / 2;
  const double upper = std::norm(s.fundamentals[1]) / 2;
  if (!(lower > 0) || !(upper > 0)) return;
  // Timing: the tones' phase difference at the centre, against the nominal
  // symbol clock's phase there (centre / samples per symbol, in cycles).
  const double difference =
      std::arg(s.fundamentals[1] * std::conj(s.fundamentals[0])) / (2 * std::numbers::pi);
  const double nominal =
      std::fmod(static_cast<double>(s.centre), samples_per_symbol_) / samples_per_symbol_;
  const double raw = wrap(difference - nominal);

  if (!track_.empty() && s.run != track_run_) {
    // A new idle run: does it continue the track's symbol clock?
    bool join = false;
    double u = 0, variance = 0;
    const double t = static_cast<double>(s.centre - track_start_) / kRate;
    if (s.continuous && predict(t, u, variance)) {
      const double noise = track_noise_ / static_cast<double>(track_.size());
      const double own = noise / (2 * lower) + noise / (2 * upper);
      const double sigma =
          std::sqrt(variance + own / (4 * std::numbers::pi * std::numbers::pi) + kFloorVariance);
      join = sigma <= kMaxPredictionSigma && std::abs(wrap(raw - u)) <= kJoinSigmas * sigma;
    }
    if (!join) finish_track();
  }

  if (track_.empty()) {
    track_start_ = s.centre;
    track_noise_ = 0;
  }
  track_noise_ += s.noise_power;
  const double noise = track_noise_ / static_cast<double>(track_.size() + 1);
  const double variance = std::max(kFloorVariance, (noise / (2 * lower) + noise / (2 * upper)) /
                                                       (4 * std::numbers::pi * std::numbers::pi));
  const double t = static_cast<double>(s.centre - track_start_) / kRate;
  double u = raw;
  if (!track_.empty()) {
    double predicted = track_.back().u, unused = 0;
    predict(t, predicted, unused);
    u = predicted + wrap(raw - predicted);
  }
  track_.push_back({t, u, variance});
  track_run_ = s.run;
  ++segments_;
  if (track_.size() >= static_cast<size_t>(kMaxTrackSegments)) finish_track();
}

ClockErrorEstimator::Fit ClockErrorEstimator::fit() const {
  Fit f;
  if (track_.size() < 2) return f;
  double sw = 0, st = 0, su = 0;
  for (const Observation& o : track_) {
    const double w = 1.0 / o.variance;
    sw += w;
    st += w * o.t;
    su += w * o.u;
  }
  const double tm = st / sw, um = su / sw;
  f.t_mean = tm;
  f.u_mean = um;
  f.weight = sw;
  double stt = 0, stu = 0;
  for (const Observation& o : track_) {
    const double w = 1.0 / o.variance;
    stt += w * (o.t - tm) * (o.t - tm);
    stu += w * (o.t - tm) * (o.u - um);
  }
  if (!(stt > 0)) return f;
  f.slope = stu / stt;
  // When the timing scatters clearly more than its noise explains (the
  // transmitter's clock wanders, a run was joined that should not have
  // been), the fit's variance grows with the scatter.
  double scale = kOverlapFactor;
  const size_t n = track_.size();
  if (n >= static_cast<size_t>(kMinSegments)) {
    double chi2 = 0;
    for (const Observation& o : track_) {
      const double r = o.u - um - f.slope * (o.t - tm);
      chi2 += r * r / o.variance;
    }
    const double dof = static_cast<double>(n - 2);
    const double ratio = chi2 / dof;
    if (ratio > 1.0 + kExcessSigmas * std::sqrt(2.0 * kOverlapFactor / dof)) scale *= ratio;
  }
  f.slope_variance = scale / stt;
  f.valid = true;
  return f;
}

bool ClockErrorEstimator::predict(double t, double& u, double& variance) const {
  const Fit f = fit();
  if (!f.valid) return false;
  u = f.u_mean + f.slope * (t - f.t_mean);
  variance = kOverlapFactor / f.weight + (t - f.t_mean) * (t - f.t_mean) * f.slope_variance;
  return true;
}

ClockErrorEstimator::Result ClockErrorEstimator::result_of(const Fit& f) const {
  // The received symbol rate is nominal + slope; the card's clock error e
  // makes it nominal / (1 + e).
  const double received = baud_ + f.slope;
  const double ppm = (baud_ / received - 1.0) * 1e6;
  const double gain = baud_ / (received * received) * 1e6;  // |d ppm / d slope|
  return {ppm, f.slope_variance * gain * gain};
}

void ClockErrorEstimator::finish_track() {
  if (track_.size() >= static_cast<size_t>(kMinTrackSegments)) {
    const Fit f = fit();
    if (f.valid) {
      finished_.push_back(result_of(f));
      if (finished_.size() > static_cast<size_t>(kMaxTracks)) finished_.pop_front();
    }
  }
  track_.clear();
  track_run_ = 0;
  track_noise_ = 0;
}

void ClockErrorEstimator::update_estimate() {
  double weight = 0, sum = 0;
  for (const Result& r : finished_) {
    weight += 1.0 / r.variance;
    sum += r.ppm / r.variance;
  }
  if (track_.size() >= 3) {
    const Fit f = fit();
    if (f.valid) {
      const Result r = result_of(f);
      weight += 1.0 / r.variance;
      sum += r.ppm / r.variance;
    }
  }
  has_estimate_ = weight > 0 && std::isfinite(weight);
  if (!has_estimate_) return;
  ppm_ = sum / weight;
  sigma_ppm_ = std::sqrt(1.0 / weight);
}

bool ClockErrorEstimator::settled() const {
  return has_estimate_ && segments_ >= kMinSegments && sigma_ppm_ <= kMaxSigmaPpm;
}

int ClockErrorEstimator::tracks() const {
  return static_cast<int>(finished_.size()) + (track_.size() >= 3 ? 1 : 0);
}

}  // namespace psk
