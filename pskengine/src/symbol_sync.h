// Symbol timing recovery.  The power of the filtered PSK signal swings once
// per symbol, peaking at the symbol instants; the phase of that swing,
// averaged over some tens of symbols, gives the timing (a feed-forward
// estimate from the symbol-rate line of |y|^2).  Symbols are then taken by
// interpolation at that phase, one per symbol period.
#pragma once

#include <complex>
#include <cstdint>

namespace psk {

class SymbolSync {
 public:
  // sps: samples per symbol (>= 4); average_symbols: time constant of the
  // timing estimate in symbols.
  explicit SymbolSync(int sps, double average_symbols = 24.0);
  void reset();
  // Takes one filtered sample; returns true when it completed a symbol,
  // which symbol() and symbol_time() then describe.
  bool process(std::complex<float> y);

  std::complex<float> symbol() const {
    return symbol_;
  }                                                    // interpolated sample at the symbol instant
  double symbol_time() const { return symbol_time_; }  // that instant, samples since reset
  double timing() const { return timing_; }  // estimated symbol phase, samples in [0, sps)
  double line_strength() const {
    return std::abs(line_) / (power_ + 1e-30);
  }  // 0..1: how clearly the timing shows

 private:
  int sps_;                     // samples per symbol
  double alpha_;                // smoothing per sample of the timing line
  std::complex<double> line_;   // running symbol-rate component of |y|^2
  double power_ = 0.0;          // running mean of |y|^2
  std::complex<double> rot_;    // exp(-j*2*pi/sps)
  std::complex<double> ref_;    // exp(-j*2*pi*n/sps) for the current sample
  int phase_index_ = 0;         // n mod sps
  int64_t n_ = -1;              // index of the current sample since reset
  double next_ = 0.0;           // sample time of the next symbol instant
  double timing_ = 0.0;         // estimated symbol phase, samples
  std::complex<float> prev_y_;  // the sample before the current one
  std::complex<float> symbol_;  // the last symbol sample
  double symbol_time_ = 0.0;    // time of the last symbol sample
};

}  // namespace psk
