// The display spectrum: a 2048-point FFT of the newest samples, averaged over
// the last few spectra and mapped to levels 0..100 per 3.90625 Hz bin.
//
// Levels.  Each spectrum is taken over the newest 2048 samples with a
// four-term Blackman-Harris window; P[k] is the power of bin k.  The reported
// spectrum is the mean of the last `smoothing` spectra (1..10).  The noise
// reference N is the median of that mean over the bins of 300..2700 Hz, the
// audio band of a radio receiver, where noise fills most bins.  Then
//
//     level[k] = clamp(round(20 + 1.25 * 10*log10(P[k] / N) - (bias - 1) / 4), 0, 100)
//
// so the noise floor sits near level 20 whatever the audio gain, one level is
// 0.8 dB, a signal 64 dB above the noise per bin reaches 100, and every bias
// step lowers the whole trace by a quarter level (bias 1: floor near 20; bias
// 81: floor near 0).  Digital silence gives level 0 everywhere.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "dsp/real_fft.h"
#include "dsp/sample_rate.h"

namespace psk {

class Spectrum {
 public:
  static constexpr int kFftSize = 2048;                               // samples per transform
  static constexpr int kBins = 1024;                                  // bins reported, 0..1023
  static constexpr double kBinHz = double{kEngineRateHz} / kFftSize;  // 3.90625 Hz per bin
  static constexpr int kMaxSmoothing = 10;                            // spectra averaged at most
  static constexpr int kNoiseFirstBin = 77;                           // 300 Hz
  static constexpr int kNoiseLastBin = 691;                           // 2700 Hz
  static constexpr double kFloorLevel = 20.0;   // level of the noise floor at bias 1
  static constexpr double kLevelsPerDb = 1.25;  // level steps per dB
  static constexpr double kBiasStep = 0.25;     // levels lowered per bias step

  Spectrum();
  // Forgets the samples and spectra seen; keeps smoothing and bias.
  void reset();
  // Number of spectra averaged, 1..10; others are refused (-1).
  int32_t set_smoothing(int32_t n);
  // Bias 1..90; others are refused (-1).
  int32_t set_bias(int32_t bias);
  int32_t smoothing() const { return smoothing_; }
  int32_t bias() const { return bias_; }

  // Appends samples (8000 Hz, full scale 1.0) to the transform's history.
  void push(std::span<const float> samples);
  // Transforms the newest 2048 samples (zeros before the first ones) and
  // updates the mean spectrum and the levels.
  void update();

  // Newest single spectrum: power per bin, a full-scale sine centred on a bin
  // gives 0.5 (its mean power).
  std::span<const float> newest_power() const { return newest_; }
  // Mean of the last `smoothing` spectra, same unit.
  std::span<const float> mean_power() const { return mean_; }
  // Noise reference N (median of mean_power over 300..2700 Hz), same unit.
  float noise_reference() const { return noise_reference_; }
  const std::array<int32_t, kBins>& levels() const { return levels_; }
  // The level formula above, for one power value.
  static int32_t level_of(float power, float noise_reference, int32_t bias);

 private:
  void recompute_mean();
  void recompute_levels();

  RealFft fft_;                                                    // the transform
  std::array<float, kFftSize> window_{};                           // Blackman-Harris window
  float power_scale_ = 0;                                          // |X|^2 to power per bin
  std::array<float, kFftSize> samples_{};                          // ring of the newest samples
  int sample_pos_ = 0;                                             // next write index in samples_
  std::array<std::array<float, kBins>, kMaxSmoothing> history_{};  // last spectra
  int history_count_ = 0;                                          // spectra held, up to 10
  int history_next_ = 0;                                           // next slot in history_
  std::array<float, kBins> newest_{};                              // newest spectrum, power per bin
  std::array<float, kBins> mean_{};                                // mean spectrum, power per bin
  float noise_reference_ = 0;            // median power per bin, 300..2700 Hz
  std::array<int32_t, kBins> levels_{};  // levels 0..100
  int32_t smoothing_ = 3;                // spectra averaged
  int32_t bias_ = 1;                     // bias 1..90
};

}  // namespace psk
