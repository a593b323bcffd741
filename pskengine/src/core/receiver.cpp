#include "core/receiver.h"

#include <algorithm>
#include <cmath>

#include "pskengine.h"

namespace psk {
namespace {
// The demodulator moves its mixer (AFC) only at multiples of this many of
// its input samples; blocks that end on them are mixed at one frequency.
constexpr int64_t kMixGrid = 256;
}  // namespace

Receiver::Receiver() {
  reset();
}

void Receiver::reset() {
  spectrum_.reset();
  raw_.reset();
  demod_.reset();
  restart_measurements(demod_.mode());
  events_.clear();
  samples_processed_ = 0;
  samples_to_tick_ = kDisplayIntervalSamples;
}

void Receiver::process(std::span<const float> samples) {
  while (!samples.empty()) {
    const size_t n = std::min<size_t>(samples.size(), static_cast<size_t>(samples_to_tick_));
    process_span(samples.first(n));
    samples = samples.subspan(n);
    samples_to_tick_ -= static_cast<int>(n);
    if (samples_to_tick_ == 0) {
      display_tick();
      samples_to_tick_ = kDisplayIntervalSamples;
    }
  }
}

void Receiver::process_span(std::span<const float> samples) {
  // Non-finite or absurdly large input (a damaged float file) would poison
  // the transforms: it counts as silence, and the rest is kept within +-16.
  std::array<float, 256> clean;
  while (!samples.empty()) {
    const auto to_grid = static_cast<size_t>(kMixGrid - demod_.samples() % kMixGrid);
    const size_t n = std::min({samples.size(), clean.size(), to_grid});
    for (size_t i = 0; i < n; ++i) {
      clean[i] = std::isfinite(samples[i]) ? std::clamp(samples[i], -16.0f, 16.0f) : 0.0f;
    }
    const std::span<const float> block(clean.data(), n);
    raw_.push(block);
    spectrum_.push(block);
    const double mix_hz = demod_.frequency();
    demod_.process(block);
    for (uint8_t byte : demod_.decoded()) emit(WM_ENGINE_RXCHAR, byte, 0);
    measure(block, mix_hz);
    samples_processed_ += n;
    samples = samples.subspan(n);
  }
}

void Receiver::measure(std::span<const float> block, double mix_hz) {
  segmenter_.process(block, demod_.symbols(), mix_hz);
  clock_.process_symbols(block, demod_.symbols(), mix_hz, segmenter_.idle());
  for (int32_t ppm : clock_.readings()) emit(WM_ENGINE_CLOCKERR, ppm);
  const auto& segments = segmenter_.segments();
  if (segments.empty()) return;
  imd_.process(segments);
  for (int32_t db : imd_.readings()) emit(WM_ENGINE_IMD, db);
  clock_.process(segments);
  for (int32_t ppm : clock_.readings()) emit(WM_ENGINE_CLOCKERR, ppm);
}

void Receiver::restart_measurements(PskMode mode) {
  segmenter_ = IdleSegmenter(mode);
  imd_.reset();
  clock_ = ClockErrorEstimator(mode);
  measured_hz_ = demod_.set_frequency_hz();
}

void Receiver::display_tick() {
  spectrum_.update();
  emit(WM_ENGINE_DISPLAY, 0);
}

void Receiver::emit(uint32_t msg, int32_t wparam, int32_t lparam) {
  events_.push_back({msg, wparam, lparam});
}

std::vector<EngineEvent> Receiver::take_events() {
  std::vector<EngineEvent> taken;
  taken.swap(events_);
  return taken;
}

int32_t Receiver::set_rx_frequency(int32_t hz) {
  const int32_t result = settings_.set_rx_frequency(hz);
  demod_.set_frequency(settings_.rx_frequency_hz());
  // Tuned to another signal (more than a symbol rate from where the
  // measurements began): they start afresh, so its readings never mix with
  // the last signal's.  Smaller moves keep them.
  if (std::abs(demod_.set_frequency_hz() - measured_hz_) > mode_info(demod_.mode()).baud) {
    segmenter_.break_run();
    clock_.reset();
    measured_hz_ = demod_.set_frequency_hz();
  }
  return result;
}

int32_t Receiver::set_mode(int32_t code) {
  const int32_t result = settings_.set_mode(code);
  const auto mode = mode_from_engine_code(code);
  if (result == kSettingOk && mode && *mode != demod_.mode()) {
    demod_.set_mode(*mode);
    restart_measurements(*mode);
  }
  return result;
}

int32_t Receiver::set_afc_limit(int32_t hz) {
  const int32_t result = settings_.set_afc_limit(hz);
  demod_.set_afc_limit(settings_.afc_limit_hz());
  return result;
}

int32_t Receiver::set_squelch(int32_t threshold) {
  const int32_t result = settings_.set_squelch(threshold);
  demod_.set_squelch(settings_.squelch());
  return result;
}

int32_t Receiver::rx_frequency() const {
  return std::clamp(static_cast<int32_t>(std::lround(demod_.frequency())), kMinRxFrequencyHz,
                    kMaxRxFrequencyHz);
}

std::array<int32_t, 16> Receiver::vectors() const {
  std::array<int32_t, 16> out{};
  // Zeros until the first symbol, as before any signal.
  if (demod_.samples() == 0) return out;
  const auto v = demod_.vectors();
  for (size_t i = 0; i < v.size(); ++i) {
    out[2 * i] = v[i][0];
    out[2 * i + 1] = v[i][1];
  }
  return out;
}

int32_t Receiver::set_fft_mode(int32_t smoothing, int32_t scale, int32_t bias) {
  const int32_t result = settings_.set_fft_mode(smoothing, scale, bias);
  if (result == kSettingOk) {
    spectrum_.set_smoothing(smoothing);
    spectrum_.set_bias(bias);
  }
  return result;
}

}  // namespace psk
