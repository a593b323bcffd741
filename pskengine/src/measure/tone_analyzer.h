// Amplitude and phase of a few tones in one stretch of audio: a Hann-windowed
// DFT evaluated at any frequencies (Goertzel), normalised so that a tone
// A*cos(2*pi*f*t + phi) at an analysed frequency reads A*exp(j*phi), the
// phase taken at the stretch's centre sample (length / 2).
//
// The window is the periodic Hann window, whose transform is zero at every
// whole multiple (2 and up) of sample_rate / length from its centre: a tone
// a whole number (>= 2) of those bins away from an analysed frequency leaves
// nothing in it.
#pragma once

#include <complex>
#include <span>
#include <vector>

#include "dsp/sample_rate.h"

namespace psk {

class ToneAnalyzer {
 public:
  // length: samples per stretch (>= 16; other values are raised to 16).
  explicit ToneAnalyzer(int length, double sample_rate_hz = kEngineRateHz);
  // Analyses x (exactly length() samples, else all outputs are 0) at each
  // frequency of hz, writing out[i] for hz[i] (out.size() >= hz.size()).
  void process(std::span<const float> x, std::span<const double> hz,
               std::span<std::complex<double>> out);

  int length() const { return static_cast<int>(window_.size()); }  // samples per stretch
  double bin_hz() const { return rate_ / length(); }  // spacing of the window's zeros, Hz

 private:
  double rate_;                   // sample rate, Hz
  std::vector<double> window_;    // Hann window, scaled so a tone reads its amplitude
  std::vector<double> windowed_;  // the current stretch times the window
};

}  // namespace psk
