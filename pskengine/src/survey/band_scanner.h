// Finds PSK signals in a power spectrum of the band.
//
// An idle PSK signal (continuous phase reversals) is two steady tones of
// equal strength at carrier +- baud/2 with nothing at the carrier itself, so
// the scanner looks for pairs of spectral peaks: both well above the noise,
// within a few dB of each other, spaced by one of the three symbol rates,
// with a deep gap at their midpoint.  Peaks are paired strongest first, and
// the third-order products (carrier +- 3 baud/2) of a pair found are taken
// out, so the products and sidebands of a strong signal never make a second
// one.  Text has no such pair: a signal is found from an idle and followed
// from then on by its power (channel_power).
#pragma once

#include <complex>
#include <cstddef>
#include <span>
#include <vector>

#include "dsp/real_fft.h"
#include "dsp/sample_rate.h"

namespace psk {

// A pair of idle tones.
struct ToneCandidate {
  double centre_hz;  // midpoint of the two tones, Hz
  double baud;       // their spacing: 31.25, 62.5 or 125
  double level_db;   // the weaker tone over the noise per bin, dB
};

// Power in a channel and the noise it would hold without the signal.
struct ChannelPower {
  double total;       // power within the channel, FFT units
  double signal;      // the same without the noise, FFT units
  double noise_2500;  // noise power in 2500 Hz, same units
  double in_band_db;  // channel power over the noise in the channel, dB
};

class BandSpectrum {
 public:
  // size: transform length (a power of two), at 8000 samples/s.
  explicit BandSpectrum(int size);
  // Transforms the newest size() samples of x (fewer: zero-padded at the
  // front) under a Hann window and estimates the noise per bin.
  void compute(std::span<const float> x);

  int size() const { return fft_.size(); }
  double bin_hz() const { return double{kEngineRateHz} / fft_.size(); }  // bin spacing, Hz
  const std::vector<double>& power() const { return power_; }            // |X|^2 per bin
  double noise_per_bin() const { return noise_; }                        // mean noise power per bin

  // Idle tone pairs with centres from from_hz to to_hz, strongest first.
  std::vector<ToneCandidate> find_pairs(double from_hz, double to_hz) const;
  // Power within centre_hz +- half_width_hz.
  ChannelPower channel_power(double centre_hz, double half_width_hz) const;

 private:
  RealFft fft_;                // the transform
  std::vector<float> window_;  // Hann window
  std::vector<double> power_;  // power per bin of the last compute()
  double noise_ = 0;           // noise per bin, from the bin at the 20th percentile
};

}  // namespace psk
