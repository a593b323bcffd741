#include "core/receiver.h"

#include <algorithm>
#include <cmath>

#include "pskengine.h"

namespace psk {

Receiver::Receiver() {
  reset();
}

void Receiver::reset() {
  spectrum_.reset();
  raw_.reset();
  level_.reset();
  vectors_.fill(0);
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
    const size_t n = std::min(samples.size(), clean.size());
    for (size_t i = 0; i < n; ++i) {
      clean[i] = std::isfinite(samples[i]) ? std::clamp(samples[i], -16.0f, 16.0f) : 0.0f;
    }
    const std::span<const float> block(clean.data(), n);
    raw_.push(block);
    spectrum_.push(block);
    samples_processed_ += n;
    samples = samples.subspan(n);
  }
}

void Receiver::display_tick() {
  spectrum_.update();
  level_.update(spectrum_.newest_power(), spectrum_.noise_reference(), settings_.rx_frequency_hz(),
                settings_.baud());
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
  return settings_.set_rx_frequency(hz);
}

int32_t Receiver::set_mode(int32_t code) {
  return settings_.set_mode(code);
}

int32_t Receiver::set_afc_limit(int32_t hz) {
  return settings_.set_afc_limit(hz);
}

int32_t Receiver::set_squelch(int32_t threshold) {
  return settings_.set_squelch(threshold);
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
