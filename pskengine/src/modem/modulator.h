// PSK transmitter for the six modes: differential BPSK, or QPSK carrying the
// rate-1/2 K=5 convolutional code, with cosine-shaped phase changes.
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "coding/conv_code.h"
#include "dsp/sample_rate.h"
#include "modem/modes.h"

namespace psk {

class PskModulator {
 public:
  // sample_rate_hz other than 8000 simulates a clock error: rendering at
  // 8000*(1+ppm*1e-6) and playing at 8000 Hz simulates a receiving sound card
  // that samples faster by ppm.
  PskModulator(PskMode mode, double carrier_hz, double sample_rate_hz = kEngineRateHz);
  void reset();
  void append_idle(int symbols);             // continuous phase reversals
  void append_text(std::string_view bytes);  // Varicode, each character ending in "00"
  void append_carrier(int symbols);          // steady carrier (no reversals)
  size_t render(std::span<float> out);       // unit-amplitude audio; returns samples written
  bool done() const;                         // everything queued has been rendered
  // Carrier drift in Hz per second of output (0 by default), for test signals.
  void set_drift(double hz_per_second) { drift_ = hz_per_second; }

  double samples_per_symbol() const { return rate_ / baud_; }  // output samples per symbol

 private:
  void push_bit(int bit);
  bool advance_to(int64_t k);

  bool qpsk_;                        // QPSK (coded) rather than BPSK
  double baud_;                      // symbols per second
  double carrier_;                   // carrier frequency, Hz
  double rate_;                      // output sample rate, Hz
  double drift_ = 0.0;               // carrier drift, Hz per second
  ConvEncoder encoder_;              // QPSK code state
  std::vector<uint8_t> changes_;     // queued phase changes, quarter turns
  size_t next_ = 0;                  // index of the next phase change to start
  int64_t symbol_ = -1;              // index of the symbol being rendered
  int64_t sample_ = 0;               // output samples rendered since reset
  int phase_ = 0;                    // phase of the current symbol, quarter turns
  std::complex<double> prev_{0, 0};  // baseband value of the previous symbol
  std::complex<double> cur_{0, 0};   // baseband value of the current symbol
};

}  // namespace psk
