// Amplitude and phase of a few tones in one stretch of audio: a windowed
// DFT evaluated at any frequencies (Goertzel), normalised so that a tone
// A*cos(2*pi*f*t + phi) at an analysed frequency reads A*exp(j*phi), the
// phase taken at the stretch's centre sample (length / 2).
//
// Under either window a tone a whole number of bins (sample_rate / length)
// away from an analysed frequency leaves nothing in it: the periodic Hann
// window's transform is zero at every whole multiple from 2 up, the
// rectangular window's from 1 up.  The rectangular window lets the least
// noise in, but its sidelobes fall slowly, so the tones must sit exactly on
// their bins and keep their level through the stretch; the Hann window
// forgives both.
#pragma once

#include <complex>
#include <span>
#include <vector>

#include "dsp/sample_rate.h"

namespace psk {

class ToneAnalyzer {
 public:
  enum class Window { Hann, Rectangular };
  // length: samples per stretch (>= 16; other values are raised to 16).
  explicit ToneAnalyzer(int length, double sample_rate_hz = kEngineRateHz,
                        Window window = Window::Hann);
  // Analyses x (exactly length() samples, else all outputs are 0) at each
  // frequency of hz, writing out[i] for hz[i] (out.size() >= hz.size()).
  void process(std::span<const float> x, std::span<const double> hz,
               std::span<std::complex<double>> out);

  int length() const { return static_cast<int>(window_.size()); }  // samples per stretch
  double bin_hz() const { return rate_ / length(); }  // spacing of the window's zeros, Hz
  // The window, scaled so that a tone reads its amplitude.
  std::span<const double> window() const { return window_; }

 private:
  double rate_;                   // sample rate, Hz
  std::vector<double> window_;    // the window, scaled so a tone reads its amplitude
  std::vector<double> windowed_;  // the current stretch times the window
};

}  // namespace psk
