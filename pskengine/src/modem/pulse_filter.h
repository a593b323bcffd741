// The receive filter for the cosine-shaped PSK pulse and a small complex FIR.
#pragma once

#include <complex>
#include <span>
#include <vector>

namespace psk {

// Taps of the receive filter at sps samples per symbol: the filter with the
// least noise gain among those that answer a transmitted pulse (a raised
// cosine two symbols long) with 1 at its peak and 0 one and two symbols away.
// So neighbouring symbols do not disturb the sample taken at a symbol's peak,
// at 0.26 dB less SNR than a plain matched filter.  Length 6*sps.
std::vector<float> zero_isi_matched_filter(int sps);

// FIR over complex samples with real taps, one sample in, one sample out.
class ComplexFir {
 public:
  explicit ComplexFir(std::vector<float> taps);
  void reset();
  std::complex<float> process(std::complex<float> x);

  size_t length() const { return taps_.size(); }                                // taps
  double delay() const { return 0.5 * static_cast<double>(taps_.size() - 1); }  // samples

 private:
  std::vector<float> taps_;                   // filter taps, applied oldest-first reversed
  std::vector<std::complex<float>> history_;  // last samples, stored twice
  size_t pos_ = 0;                            // write index into history_
};

}  // namespace psk
