// A streaming Hilbert transformer: turns a real signal into its analytic
// signal (real part delayed, imaginary part the 90-degree shifted copy).
// A Kaiser-windowed ideal Hilbert FIR; its gain is flat within 0.01 dB from
// 100 Hz to 3900 Hz at 8000 Hz.
#pragma once

#include <complex>
#include <vector>

namespace psk {

class HilbertTransformer {
 public:
  static constexpr int kHalfLength = 128;  // taps each side; delay in samples

  HilbertTransformer();
  void reset();
  // Takes one input sample; returns the analytic signal of the input
  // kHalfLength samples earlier.
  std::complex<float> process(float x);

 private:
  std::vector<float> taps_;  // odd taps h[1], h[3], ... (h[-n] = -h[n])
  std::vector<float> line_;  // delay line, 2 * kHalfLength + 1 samples (twice, for wrap-free reads)
  int pos_ = 0;              // index of the newest sample in line_
};

}  // namespace psk
