#include "core/receiver_settings.h"

#include <algorithm>

#include "pskengine.h"

namespace psk {

double baud_of_mode_code(int32_t code) {
  switch (code) {
    case PSK_MODE_BPSK31:
    case PSK_MODE_QPSK31:
      return 31.25;
    case PSK_MODE_BPSK63:
    case PSK_MODE_QPSK63:
      return 62.5;
    case PSK_MODE_BPSK125:
    case PSK_MODE_QPSK125:
      return 125.0;
    default:
      return 0.0;
  }
}

int32_t ReceiverSettings::set_rx_frequency(int32_t hz) {
  rx_frequency_hz_ = std::clamp(hz, kMinRxFrequencyHz, kMaxRxFrequencyHz);
  return kSettingOk;
}

int32_t ReceiverSettings::set_mode(int32_t code) {
  if (baud_of_mode_code(code) == 0.0) return kSettingRefused;
  mode_code_ = code;
  return kSettingOk;
}

int32_t ReceiverSettings::set_afc_limit(int32_t hz) {
  if (hz < 0 || hz > kMaxAfcLimitHz) return kSettingRefused;
  afc_limit_hz_ = hz;
  return kSettingOk;
}

int32_t ReceiverSettings::set_squelch(int32_t threshold) {
  if (threshold < 0 || threshold > kMaxSquelch) return kSettingRefused;
  squelch_ = threshold;
  return kSettingOk;
}

int32_t ReceiverSettings::set_fft_mode(int32_t smoothing, int32_t /*scale*/, int32_t bias) {
  if (smoothing < kMinSmoothing || smoothing > kMaxSmoothing) return kSettingRefused;
  if (bias < kMinBias || bias > kMaxBias) return kSettingRefused;
  fft_smoothing_ = smoothing;
  fft_bias_ = bias;
  return kSettingOk;
}

}  // namespace psk
