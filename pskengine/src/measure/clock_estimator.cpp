#include "measure/clock_estimator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "dsp/sample_rate.h"

namespace psk {
namespace {

constexpr double kRate = kEngineRateHz;
constexpr int kMinTrackSegments = 4;  // a finished track counts from this many stretches

// x wrapped into [-0.5, 0.5) cycles.
double wrap(double x) {
  return x - std::floor(x + 0.5);
}

}  // namespace

ClockErrorEstimator::ClockErrorEstimator(PskMode mode)
    : baud_(mode_info(mode).baud), samples_per_symbol_(kRate / baud_), text_(mode) {
  reset();
}

void ClockErrorEstimator::reset() {
  track_ = LineSums{};
  track_count_ = 0;
  last_u_ = 0;
  track_run_ = 0;
  track_start_ = 0;
  track_noise_ = 0;
  finished_.clear();
  ppm_ = sigma_ppm_ = 0;
  has_estimate_ = false;
  segments_ = 0;
  text_.reset();
  symbol_tracks_ = 0;
  last_reading_ = 0;
  has_reading_ = false;
  readings_.clear();
}

void ClockErrorEstimator::process(std::span<const IdleSegment> segments) {
  readings_.clear();
  for (const IdleSegment& s : segments) {
    add(s);
    update_estimate();
    post(s.centre);
  }
}

void ClockErrorEstimator::process_symbols(std::span<const float> samples,
                                          std::span<const SymbolInfo> symbols, double mix_hz,
                                          bool idle) {
  readings_.clear();
  text_.process(samples, symbols, mix_hz, idle);
  if (text_.has_finished()) {
    const SymbolTiming::Result r = text_.take_finished();
    add_result({r.ppm, r.variance});
    ++symbol_tracks_;
  }
  const SymbolTiming::Result now = text_.current();
  if (!now.valid && symbol_tracks_ == 0) return;
  update_estimate();
  post(text_.samples());
}

void ClockErrorEstimator::post(int64_t now) {
  if (settled() && (!has_reading_ || now - last_reading_ >= kInterval)) {
    has_reading_ = true;
    last_reading_ = now;
    readings_.push_back(static_cast<int32_t>(std::lround(ppm_)));
  }
}

void ClockErrorEstimator::add(const IdleSegment& s) {
  const double lower = std::norm(s.hann.fundamentals[0]) / 2;
  const double upper = std::norm(s.hann.fundamentals[1]) / 2;
  if (!(lower > 0) || !(upper > 0)) return;
  // Timing: the tones' phase difference at the centre, against the nominal
  // symbol clock's phase there (centre / samples per symbol, in cycles).
  const double difference =
      std::arg(s.hann.fundamentals[1] * std::conj(s.hann.fundamentals[0])) / (2 * std::numbers::pi);
  const double nominal =
      std::fmod(static_cast<double>(s.centre), samples_per_symbol_) / samples_per_symbol_;
  const double raw = wrap(difference - nominal);

  if (track_count_ > 0 && s.run != track_run_) {
    // A new idle run: does it continue the track's symbol clock?
    bool join = false;
    double u = 0, variance = 0;
    const double t = static_cast<double>(s.centre - track_start_) / kRate;
    if (s.continuous && predict(t, u, variance)) {
      const double noise = track_noise_ / track_count_;
      const double own = noise / (2 * lower) + noise / (2 * upper);
      const double sigma =
          std::sqrt(variance + own / (4 * std::numbers::pi * std::numbers::pi) + kFloorVariance);
      join = sigma <= kMaxPredictionSigma && std::abs(wrap(raw - u)) <= kJoinSigmas * sigma;
    }
    if (!join) finish_track();
  }

  if (track_count_ == 0) {
    track_start_ = s.centre;
    track_noise_ = 0;
  }
  track_noise_ += s.hann.noise_power;
  const double noise = track_noise_ / (track_count_ + 1);
  const double variance = std::max(kFloorVariance, (noise / (2 * lower) + noise / (2 * upper)) /
                                                       (4 * std::numbers::pi * std::numbers::pi));
  const double t = static_cast<double>(s.centre - track_start_) / kRate;
  double u = raw;
  if (track_count_ > 0) {
    double predicted = last_u_, unused = 0;
    predict(t, predicted, unused);
    u = predicted + wrap(raw - predicted);
  }
  const double w = 1.0 / variance;
  track_.add(w, t, u);
  ++track_count_;
  last_u_ = u;
  track_run_ = s.run;
  ++segments_;
  if (track_count_ >= kMaxTrackSegments) finish_track();
}

ClockErrorEstimator::Fit ClockErrorEstimator::fit() const {
  Fit f;
  if (track_count_ < 2 || !(track_.w > 0)) return f;
  const double tm = track_.mean_x(), um = track_.mean_y();
  f.t_mean = tm;
  f.u_mean = um;
  f.weight = track_.w;
  const double stt = track_.sxx(), stu = track_.sxy(), suu = track_.syy();
  if (!(stt > 0)) return f;
  f.slope = stu / stt;
  // When the timing scatters clearly more than its noise explains (the
  // transmitter's clock wanders, a run was joined that should not have
  // been), the fit's variance grows with the scatter.
  double scale = kOverlapFactor;
  if (track_count_ >= kMinSegments) {
    const double chi2 = std::max(0.0, suu - f.slope * stu);
    const double dof = static_cast<double>(track_count_ - 2);
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

void ClockErrorEstimator::add_result(const Result& r) {
  if (!(r.variance > 0) || !std::isfinite(r.ppm)) return;
  finished_.push_back(r);
  if (finished_.size() > static_cast<size_t>(kMaxTracks)) finished_.pop_front();
}

void ClockErrorEstimator::finish_track() {
  if (track_count_ >= kMinTrackSegments) {
    const Fit f = fit();
    if (f.valid) add_result(result_of(f));
  }
  track_ = LineSums{};
  track_count_ = 0;
  track_run_ = 0;
  track_noise_ = 0;
}

void ClockErrorEstimator::update_estimate() {
  double weight = 0, sum = 0;
  auto take = [&](const Result& r) {
    weight += 1.0 / r.variance;
    sum += r.ppm / r.variance;
  };
  for (const Result& r : finished_) take(r);
  if (track_count_ >= 3) {
    const Fit f = fit();
    if (f.valid) take(result_of(f));
  }
  const SymbolTiming::Result text = text_.current();
  if (text.valid) take({text.ppm, text.variance});
  has_estimate_ = weight > 0 && std::isfinite(weight);
  if (!has_estimate_) return;
  ppm_ = sum / weight;
  sigma_ppm_ = std::sqrt(1.0 / weight);
}

bool ClockErrorEstimator::settled() const {
  const bool enough = segments_ >= kMinSegments || symbol_tracks_ > 0 || text_.current().valid;
  return has_estimate_ && enough && sigma_ppm_ <= kMaxSigmaPpm;
}

int ClockErrorEstimator::tracks() const {
  return static_cast<int>(finished_.size()) + (track_count_ >= 3 ? 1 : 0);
}

}  // namespace psk
