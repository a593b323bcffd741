#include "dsp/real_fft.h"

#include <fftw3.h>

#include <mutex>
#include <new>

namespace psk {

std::mutex& fftw_planner_mutex() {
  static std::mutex m;
  return m;
}

RealFft::RealFft(int size) : size_(size) {
  std::lock_guard lock(fftw_planner_mutex());
  in_ = fftwf_alloc_real(static_cast<size_t>(size));
  fftwf_complex* out = fftwf_alloc_complex(static_cast<size_t>(size / 2 + 1));
  out_ = out;
  if (in_ == nullptr || out == nullptr) throw std::bad_alloc();
  plan_ = fftwf_plan_dft_r2c_1d(size, in_, out, FFTW_ESTIMATE);
  for (int i = 0; i < size; ++i) in_[i] = 0.0f;
}

RealFft::~RealFft() {
  std::lock_guard lock(fftw_planner_mutex());
  fftwf_destroy_plan(static_cast<fftwf_plan>(plan_));
  fftwf_free(in_);
  fftwf_free(out_);
}

void RealFft::execute() {
  fftwf_execute(static_cast<fftwf_plan>(plan_));
}

}  // namespace psk
