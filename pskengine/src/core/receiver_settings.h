// The receiver's settings and their validation.  Every setter returns
// kSettingOk, or kSettingRefused and leaves the setting as it was.
#pragma once

#include <cstdint>

namespace psk {

inline constexpr int32_t kSettingOk = 0;
inline constexpr int32_t kSettingRefused = -1;

inline constexpr int32_t kMinRxFrequencyHz = 100;
inline constexpr int32_t kMaxRxFrequencyHz = 3000;
inline constexpr int32_t kMaxAfcLimitHz = 3000;
inline constexpr int32_t kMaxSquelch = 99;
inline constexpr int32_t kMinSmoothing = 1;
inline constexpr int32_t kMaxSmoothing = 10;
inline constexpr int32_t kMinBias = 1;
inline constexpr int32_t kMaxBias = 90;

// Symbol rate of an engine mode code (PSK_MODE_*), or 0 for an unknown code.
double baud_of_mode_code(int32_t code);

class ReceiverSettings {
 public:
  // Clamps to 100..3000 Hz; never refused.
  int32_t set_rx_frequency(int32_t hz);
  // Refuses codes other than the six PSK_MODE_* codes.
  int32_t set_mode(int32_t code);
  // Refuses limits outside 0..3000 Hz (0 switches AFC off).
  int32_t set_afc_limit(int32_t hz);
  // Refuses thresholds outside 0..99.
  int32_t set_squelch(int32_t threshold);
  // Refuses smoothing outside 1..10 or bias outside 1..90 (then neither is
  // changed); the scale argument is reserved and not checked.
  int32_t set_fft_mode(int32_t smoothing, int32_t scale, int32_t bias);

  int32_t rx_frequency_hz() const { return rx_frequency_hz_; }
  int32_t mode_code() const { return mode_code_; }
  double baud() const { return baud_of_mode_code(mode_code_); }
  int32_t afc_limit_hz() const { return afc_limit_hz_; }
  int32_t squelch() const { return squelch_; }
  int32_t fft_smoothing() const { return fft_smoothing_; }
  int32_t fft_bias() const { return fft_bias_; }

 private:
  int32_t rx_frequency_hz_ = 1500;  // receive frequency, Hz
  int32_t mode_code_ = 0;           // PSK_MODE_* code, BPSK31 at start
  int32_t afc_limit_hz_ = 0;        // Hz the AFC may move from the frequency set; 0 off
  int32_t squelch_ = 0;             // squelch threshold on the signal-level scale
  int32_t fft_smoothing_ = 3;       // number of spectra averaged
  int32_t fft_bias_ = 1;            // spectrum bias (see spectrum.h)
};

}  // namespace psk
