#include "modem/baseband_spectrum.h"

#include <fftw3.h>

#include <cmath>
#include <mutex>
#include <numbers>

#include "dsp/real_fft.h"

namespace psk {
BasebandSpectrum::BasebandSpectrum(double average_frames)
    : beta_(1.0 / std::max(average_frames, 1.0)) {
  double wsum = 0;
  for (int i = 0; i < kSize; ++i) {
    const double s = std::sin(std::numbers::pi * (i + 0.5) / kSize);
    window_[static_cast<size_t>(i)] = static_cast<float>(s * s);
    wsum += s * s * s * s;
  }
  // Normalise so that noise of density d per bin reads d.
  for (float& w : window_) w = static_cast<float>(w / std::sqrt(wsum));
  std::lock_guard<std::mutex> lock(fftw_planner_mutex());
  in_ = reinterpret_cast<std::complex<float>*>(fftwf_alloc_complex(kSize));
  out_ = reinterpret_cast<std::complex<float>*>(fftwf_alloc_complex(kSize));
  plan_ = fftwf_plan_dft_1d(kSize, reinterpret_cast<fftwf_complex*>(in_),
                            reinterpret_cast<fftwf_complex*>(out_), FFTW_FORWARD, FFTW_ESTIMATE);
  reset();
}

BasebandSpectrum::~BasebandSpectrum() {
  std::lock_guard<std::mutex> lock(fftw_planner_mutex());
  fftwf_destroy_plan(static_cast<fftwf_plan>(plan_));
  fftwf_free(in_);
  fftwf_free(out_);
}

void BasebandSpectrum::reset() {
  ring_.fill({0.0f, 0.0f});
  frame_.fill(0.0);
  average_.fill(0.0);
  pos_ = 0;
  fill_ = 0;
  frames_ = 0;
}

bool BasebandSpectrum::process(std::complex<float> x) {
  ring_[static_cast<size_t>(pos_)] = x;
  pos_ = (pos_ + 1) % kSize;
  if (++fill_ < kHop) return false;
  fill_ = 0;
  for (int i = 0; i < kSize; ++i)
    in_[i] = ring_[static_cast<size_t>((pos_ + i) % kSize)] * window_[static_cast<size_t>(i)];
  fftwf_execute(static_cast<fftwf_plan>(plan_));
  const double beta = frames_ == 0 ? 1.0 : beta_;
  for (int k = -kSize / 2; k < kSize / 2; ++k) {
    const size_t idx = static_cast<size_t>(k + kSize / 2);
    const double p = std::norm(out_[(k + kSize) % kSize]);
    frame_[idx] = p;
    average_[idx] += beta * (p - average_[idx]);
  }
  ++frames_;
  return true;
}

double BasebandSpectrum::noise_density() const {
  double s = 0;
  int n = 0;
  for (int k = 12; k <= 24; ++k) {
    s += average(k) + average(-k);
    n += 2;
  }
  return s / n;
}

}  // namespace psk
