#include "measure/symbol_timing.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace psk {
namespace {

constexpr double kRate = 8000.0;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// x wrapped into [-0.5, 0.5) cycles.
double wrap(double x) {
  return x - std::floor(x + 0.5);
}

}  // namespace

SymbolTiming::SymbolTiming(PskMode mode)
    : baud_(mode_info(mode).baud),
      power_(mode_info(mode).qpsk ? 4 : 2),
      ring_(static_cast<size_t>(std::max(2.0, std::round(kRate / baud_ / 2)))) {
  reset();
}

void SymbolTiming::reset() {
  std::fill(ring_.begin(), ring_.end(), std::complex<double>{});
  ring_pos_ = 0;
  ring_sum_ = 0;
  mixer_ = clock_ = 1.0;
  line_ = 0;
  energy_ = 0;
  chunk_samples_ = 0;
  quality_ = 0;
  symbols_ = 0;
  chunk_idle_ = false;
  samples_ = 0;
  w_ = t_ = u_ = tt_ = tu_ = uu_ = 0;
  chunks_ = 0;
  in_track_ = false;
  last_u_ = last_t_ = 0;
  finished_ = Result{};
}

void SymbolTiming::process(std::span<const float> samples, std::span<const SymbolInfo> symbols,
                           double mix_hz, bool idle) {
  for (const SymbolInfo& s : symbols) {
    const std::complex<double> z(s.z);
    if (std::abs(z) > 0) quality_ += std::cos(power_ * std::arg(z));
    ++symbols_;
  }
  chunk_idle_ |= idle;
  const std::complex<double> mix_step = std::polar(1.0, -kTwoPi * mix_hz / kRate);
  const std::complex<double> clock_step = std::polar(1.0, -kTwoPi * baud_ / kRate);
  for (float x : samples) {
    const std::complex<double> bb = static_cast<double>(x) * mixer_;
    mixer_ *= mix_step;
    ring_sum_ += bb - ring_[ring_pos_];
    ring_[ring_pos_] = bb;
    ring_pos_ = ring_pos_ + 1 == ring_.size() ? 0 : ring_pos_ + 1;
    const double envelope = std::norm(ring_sum_);
    line_ += envelope * clock_;
    clock_ *= clock_step;
    energy_ += envelope;
    ++samples_;
    if (++chunk_samples_ == kChunk) end_chunk();
  }
}

void SymbolTiming::end_chunk() {
  // Keep the oscillators on the unit circle, and the moving sum exact.
  mixer_ /= std::abs(mixer_);
  clock_ /= std::abs(clock_);
  ring_sum_ = 0;
  for (const auto& v : ring_) ring_sum_ += v;

  const bool present = symbols_ >= kMinChunkSymbols && quality_ >= kMinQuality * symbols_ &&
                       std::abs(line_) > 0 && energy_ > 0;
  const bool idle = chunk_idle_;
  const std::complex<double> line = line_;
  const double energy = energy_;
  line_ = 0;
  energy_ = 0;
  chunk_samples_ = 0;
  quality_ = 0;
  symbols_ = 0;
  chunk_idle_ = false;
  if (!present) {
    end_track();
    return;
  }
  // Timing phase at the chunk's centre against the nominal clock (whose
  // phase is measured from sample 0), cycles.
  const double t = (static_cast<double>(samples_) - kChunk / 2.0) / kRate;
  // The envelope dips at the symbol instants, so the line's phase runs
  // with the symbol clock.
  const double raw = std::arg(line) / kTwoPi;
  double predicted = last_u_;
  if (chunks_ >= 3) {
    const double tm = t_ / w_, um = u_ / w_;
    const double stt = tt_ - w_ * tm * tm;
    if (stt > 0) predicted = um + (tu_ - w_ * tm * um) / stt * (t - tm);
  }
  const double u = in_track_ ? predicted + wrap(raw - predicted) : raw;
  in_track_ = true;
  last_u_ = u;
  last_t_ = t;
  if (idle) return;  // measured by the idle stretches; the track goes on
  // Weight: the line's power over the envelope's level, a measure of how
  // precisely the chunk gives its phase.
  const double w = std::norm(line) / energy;
  w_ += w;
  t_ += w * t;
  u_ += w * u;
  tt_ += w * t * t;
  tu_ += w * t * u;
  uu_ += w * u * u;
  ++chunks_;
}

SymbolTiming::Result SymbolTiming::current() const {
  Result r;
  if (chunks_ < kMinChunks || !(w_ > 0)) return r;
  const double tm = t_ / w_, um = u_ / w_;
  const double stt = tt_ - w_ * tm * tm;
  const double stu = tu_ - w_ * tm * um;
  const double suu = uu_ - w_ * um * um;
  if (!(stt > 0)) return r;
  const double slope = stu / stt;  // cycles per second beyond the nominal rate
  // Scale of the weights from the scatter (a t-distribution's variance for
  // few chunks), the slope's variance from it.
  const double dof = chunks_ - 2.0;
  const double scatter = std::max(0.0, suu - slope * stu) / dof;
  const double slope_variance = scatter / stt * (dof > 2 ? dof / (dof - 2) : 3.0);
  const double received = baud_ + slope;
  r.ppm = (baud_ / received - 1.0) * 1e6;
  const double gain = baud_ / (received * received) * 1e6;
  r.variance = std::max(slope_variance * gain * gain, 1e-6);
  r.valid = std::isfinite(r.ppm) && std::isfinite(r.variance);
  return r;
}

void SymbolTiming::end_track() {
  const Result r = current();
  if (r.valid) finished_ = r;
  in_track_ = false;
  w_ = t_ = u_ = tt_ = tu_ = uu_ = 0;
  chunks_ = 0;
}

SymbolTiming::Result SymbolTiming::take_finished() {
  const Result r = finished_;
  finished_ = Result{};
  return r;
}

}  // namespace psk
