// Mixes the 8000 Hz audio down from the receive frequency to complex baseband
// and decimates it by an integer factor behind a low-pass filter.
#pragma once

#include <complex>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "dsp/sample_rate.h"

namespace psk {

class Downconverter {
 public:
  // The low-pass passes |f| < passband_hz flat and stops above output_rate -
  // passband_hz, so nothing aliases into the passband.  Refused (nullopt)
  // unless decimation >= 1, sample_rate_hz > 0 and 0 < passband_hz < half
  // the output rate.
  static std::optional<Downconverter> make(int decimation, double passband_hz,
                                           double sample_rate_hz = kEngineRateHz);
  void reset();
  void set_frequency(double hz) { frequency_ = hz; }
  // Appends the decimated baseband samples for in to out.  A carrier
  // A*cos(2*pi*f*t + phi) at the receive frequency comes out as A*exp(j*phi).
  void process(std::span<const float> in, std::vector<std::complex<float>>& out);

  double frequency() const { return frequency_; }  // receive (mixing) frequency, Hz
  int decimation() const { return decimation_; }   // input samples per output sample
  // Delay of the low-pass, input samples: an output written after input
  // sample n describes the input around n - delay().
  double delay() const { return 0.5 * static_cast<double>(taps_.size() - 1); }

 private:
  Downconverter(int decimation, double passband_hz, double sample_rate_hz);

  int decimation_;                            // input samples per output sample
  double rate_;                               // input sample rate, Hz
  double frequency_ = 1000.0;                 // mixing frequency, Hz
  double phase_ = 0.0;                        // mixer phase, cycles (0..1)
  int countdown_ = 0;                         // input samples until the next output
  size_t pos_ = 0;                            // write index into history_
  std::vector<float> taps_;                   // low-pass taps, gain 2 at DC (mixing loss)
  std::vector<std::complex<float>> history_;  // mixed samples, stored twice for contiguous reads
};

}  // namespace psk
