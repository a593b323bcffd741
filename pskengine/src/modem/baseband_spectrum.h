// Short-time power spectrum of the decimated baseband (64 bins of baud/4 at
// 16 samples per symbol), for the signal level and the AFC's search.
#pragma once

#include <array>
#include <complex>
#include <span>

namespace psk {

class BasebandSpectrum {
 public:
  static constexpr int kSize = 64;  // FFT points (bins of sample_rate/64)
  static constexpr int kHop = 32;   // samples between frames

  // average_frames: time constant of the running average, frames.
  explicit BasebandSpectrum(double average_frames = 8.0);
  ~BasebandSpectrum();
  BasebandSpectrum(const BasebandSpectrum&) = delete;
  BasebandSpectrum& operator=(const BasebandSpectrum&) = delete;
  void reset();
  // Takes one baseband sample; returns true when it completed a frame.
  bool process(std::complex<float> x);

  // Power of the last frame in bin k (-32..31; bin k is centred on
  // k*sample_rate/64), window-normalised so white noise of density d reads d.
  double frame(int k) const { return frame_[static_cast<size_t>(k + kSize / 2)]; }
  // The running average of frame(k).
  double average(int k) const { return average_[static_cast<size_t>(k + kSize / 2)]; }
  // Mean of average() over the noise bins 12 <= |k| <= 24 (3..6 baud off),
  // the noise density beside the signal.
  double noise_density() const;
  int frames() const { return frames_; }  // frames since reset

 private:
  double beta_;                                  // averaging weight per frame
  std::array<float, kSize> window_;              // Hann window
  std::array<std::complex<float>, kSize> ring_;  // last kSize samples
  int pos_ = 0;                                  // write index into ring_
  int fill_ = 0;                                 // samples since the last frame
  int frames_ = 0;                               // frames since reset
  std::array<double, kSize> frame_;              // last frame's powers, bin order -32..31
  std::array<double, kSize> average_;            // running averages, bin order -32..31
  void* plan_ = nullptr;                         // FFTW plan
  std::complex<float>* in_ = nullptr;            // FFTW input buffer
  std::complex<float>* out_ = nullptr;           // FFTW output buffer
};

}  // namespace psk
