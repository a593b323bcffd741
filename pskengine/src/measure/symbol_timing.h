// The sound card's clock error from any received signal, text as well as
// idle, from the timing of its phase reversals.
//
// At a reversal the baseband signal passes through zero halfway between the
// two symbols' instants.  The demodulator gives each symbol's instant; the
// baseband here (mixed down and low-passed by a moving average of half a
// symbol) is read at both instants and halfway between them, and the timing
// error of that halfway point is the decision-directed (Gardner) estimate
// Re[(y1 - y0)* y_half] scaled by the slope of the crossing.  The instant of
// each zero crossing, against the symbol count, drifts by e samples per
// symbol when the card samples faster than nominal by e; a straight line
// fitted over a track of continuous signal (weighted by each reversal's
// energy, running sums) gives e, its variance from the scatter about it.
//
// Reversals count only while the signal is plainly there: in each block of
// kBlockSymbols the demodulator's phase changes sit on the mode's
// constellation (BPSK 0/180 degrees, QPSK multiples of 90): the mean of
// cos(m arg z), m = 2 or 4, at least kMinQuality.  A block that does not
// ends the track.  Blocks the caller marks as idle (measured better by the
// idle stretches) are left out of the fit while the track goes on.
#pragma once

#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include "measure/line_sums.h"
#include "modem/modes.h"
#include "modem/psk_demodulator.h"

namespace psk {

class SymbolTiming {
 public:
  static constexpr int kBlockSymbols = 32;    // symbols judged together
  static constexpr double kMinQuality = 0.6;  // mean cos(m arg z) of a kept block
  static constexpr int kMinBlocks = 8;        // blocks before a track gives a result
  static constexpr int kMinReversals = 64;    // reversals before a track gives a result
  // Neighbouring reversals' errors are partly alike (the low-pass spans half
  // a symbol, the demodulator's timing errors are not all removed): the
  // fit's variance is the scatter's times this factor (measured: at 1 a
  // text-only QPSK31 reading now and then came 4 ppm off).
  static constexpr double kCorrelation = 1.5;
  // Readings of each crossing centred on the previous estimate.
  static constexpr int kRefinements = 2;

  struct Result {
    double ppm = 0;       // the track's clock error
    double variance = 0;  // ppm^2
    bool valid = false;   // enough for a result
  };

  explicit SymbolTiming(PskMode mode = PskMode::Bpsk31);
  void reset();
  // samples: the next input samples; symbols: those the demodulator took
  // from them; mix_hz: its mixing frequency; idle: leave this block out of
  // the fit.
  void process(std::span<const float> samples, std::span<const SymbolInfo> symbols, double mix_hz,
               bool idle);
  Result current() const;  // result of the current track (invalid while short)
  // The result of the last track that ended (valid once, then taken).
  bool has_finished() const { return finished_.valid; }
  Result take_finished();
  int64_t samples() const { return samples_; }  // input samples since reset

 private:
  std::complex<double> baseband_at(double position) const;  // interpolated, at an input instant
  void on_symbol(const SymbolInfo& s);
  void end_block();
  void end_track();

  double sps_;                                 // nominal samples per symbol
  int power_;                                  // m: 2 for BPSK, 4 for QPSK
  double delay_;                               // the low-pass's delay, samples
  std::vector<std::complex<double>> taps_;     // last half symbol of mixed samples
  size_t tap_pos_ = 0;                         // next slot of taps_
  std::complex<double> tap_sum_;               // their sum: the low-passed baseband
  std::vector<std::complex<double>> history_;  // low-passed baseband, by input sample
  std::complex<double> mixer_{1.0, 0.0};       // oscillator at the mixing frequency
  int64_t samples_ = 0;                        // input samples since reset
  bool has_previous_ = false;                  // previous_ holds a symbol
  SymbolInfo previous_{};                      // the previous symbol
  LineSums block_;                             // the current block's reversals
  double quality_ = 0;                         // sum of cos(m arg z) over the block
  int block_symbols_ = 0;                      // symbols in the block
  bool block_idle_ = false;                    // part of the block was idle
  bool in_track_ = false;                      // a track is going on
  double origin_ = 0;                          // first crossing of the track, samples
  double last_crossing_ = 0;                   // newest crossing, samples
  int64_t index_ = 0;                          // symbols from origin_ to last_crossing_
  LineSums fit_;                               // the track's kept reversals
  int blocks_ = 0;                             // blocks kept in the track
  Result finished_;                            // the last ended track's result, until taken
};

}  // namespace psk
