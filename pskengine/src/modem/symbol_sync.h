// Symbol timing recovery.  The power of the filtered PSK signal swings once
// per symbol, peaking at the symbol instants.  A symbol clock runs at the
// estimated symbol period; the symbol-rate component of |y|^2, taken against
// that clock and averaged over some tens of symbols, gives the clock phase
// of the peaks (a feed-forward estimate).  Symbols are taken by
// interpolation when the clock reaches that phase, and the clock's period
// follows the drift of the phase, so a sound-card clock error leaves no lag.
#pragma once

#include <complex>
#include <cstdint>

namespace psk {

class SymbolSync {
 public:
  // sps: nominal samples per symbol (>= 4); average_symbols: time constant of
  // the timing estimate in symbols.
  explicit SymbolSync(int sps, double average_symbols = 48.0);
  void reset();
  // Takes one filtered sample; returns true when it completed a symbol,
  // which symbol() and symbol_time() then describe.
  bool process(std::complex<float> y);

  std::complex<float> symbol() const {
    return symbol_;
  }                                                    // interpolated sample at the symbol instant
  double symbol_time() const { return symbol_time_; }  // that instant, samples since reset
  double period() const { return period_; }            // tracked symbol period, samples
  // Forgets the timing phase (the signal went away; the next one has its own
  // timing, and the old estimate would hold the clock off it for tens of symbols).
  void forget_phase() { line_ = {0.0, 0.0}; }

 private:
  int sps_;                     // nominal samples per symbol
  double beta_;                 // smoothing per symbol of the timing line
  std::complex<double> sum_;    // symbol-rate component of |y|^2 over the current clock turn
  std::complex<double> line_;   // running average of those per-turn components
  double clock_ = 0.0;          // symbol clock, symbols since reset (fractional)
  double period_ = 0.0;         // tracked symbol period, samples
  double next_ = 0.0;           // clock value of the next symbol instant
  double last_peak_ = 0.0;      // clock phase of the peaks at the previous symbol, cycles
  int64_t n_ = -1;              // index of the current sample since reset
  std::complex<float> prev_y_;  // the sample before the current one
  std::complex<float> symbol_;  // the last symbol sample
  double symbol_time_ = 0.0;    // time of the last symbol sample
};

}  // namespace psk
