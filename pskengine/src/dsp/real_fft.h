// A forward real FFT of fixed size (FFTW, single precision).  FFTW's planner
// is not thread-safe, so plans are made and destroyed under one lock; running
// a plan needs none.
#pragma once

#include <complex>
#include <mutex>
#include <span>

namespace psk {

// The one lock of FFTW's planner, for every plan the engine makes or destroys.
std::mutex& fftw_planner_mutex();

class RealFft {
 public:
  explicit RealFft(int size);
  ~RealFft();
  RealFft(const RealFft&) = delete;
  RealFft& operator=(const RealFft&) = delete;

  int size() const { return size_; }
  // The input buffer of size() samples; write it, then call execute().
  std::span<float> input() { return {in_, static_cast<size_t>(size_)}; }
  // Transforms input() into output(): size()/2 + 1 complex bins, unnormalised.
  void execute();
  std::span<const std::complex<float>> output() const {
    return {reinterpret_cast<const std::complex<float>*>(out_), static_cast<size_t>(size_ / 2 + 1)};
  }

 private:
  int size_;    // transform length, samples
  float* in_;   // FFTW-aligned input, size_ samples
  void* out_;   // FFTW-aligned output, size_/2+1 complex bins
  void* plan_;  // fftwf_plan
};

}  // namespace psk
