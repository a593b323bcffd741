// The signal level at the receive frequency, 0..100, the squelch's scale.
//
// First version, from the spectrum: S is the power of the bins within
// +-baud of the receive frequency in the mean of the last three spectra, and
// Nb the same number of bins at the spectrum's noise reference (the median
// power per bin over 300..2700 Hz).  Then
//
//     level = clamp(round(30 * log10(S / Nb)), 0, 100)
//
// so noise alone reads about 0..10, and each dB of signal-to-noise ratio in
// the signal's bandwidth adds three steps: a BPSK31 signal at 0 dB SNR in
// 2500 Hz reads about 48, at 20 dB 100.  It rises monotonically with the SNR
// and does not depend on the audio gain or on the display smoothing.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace psk {

class SignalLevel {
 public:
  static constexpr int kSpectraAveraged = 3;  // spectra in the mean

  void reset();
  // Takes one new spectrum (power per 3.90625 Hz bin, 1024 bins) with its
  // noise reference (power per bin), and the receive frequency and baud rate.
  void update(std::span<const float> power, float noise_reference, double rx_hz, double baud);
  int32_t level() const { return level_; }

 private:
  std::array<std::array<float, 1024>, kSpectraAveraged> history_{};  // last spectra, power per bin
  int count_ = 0;                                                    // spectra held
  int next_ = 0;                                                     // next slot
  int32_t level_ = 0;                                                // 0..100
};

}  // namespace psk
