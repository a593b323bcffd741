// The sound card's clock error from any received signal, text as well as
// idle, from the timing of its symbol transitions.
//
// Across a transition the baseband moves from one symbol's value to the
// next along middle + step sin(pi (t - crossing) / T), crossing halfway
// between the two symbols' instants.  The middle is the mean of the two
// values: zero for a reversal; for a QPSK quarter turn it follows from the
// signal's complex gain (averaged over the symbols about the transition,
// each taken back by its decided phase), so that the fit need not spend the
// transition's own samples on it.
// The demodulator gives each symbol's instant; the baseband (mixed down and
// low-passed by a moving average of half a symbol) read at both instants and
// halfway between them gives a first estimate of the crossing, the
// decision-directed (Gardner) one.  A least-squares fit of the transition's
// shape to the baseband over the whole transition (only lightly filtered)
// then refines it: the matched filter for its instant, free of the
// demodulator's own timing error.  BPSK uses its reversals, QPSK also its
// quarter turns.  The crossings, against the symbol count, drift by e
// samples per symbol when the card samples faster than nominal by e; a
// straight line fitted over a track of continuous signal (weighted by what
// each transition's fit tells of its instant, running sums) gives e, its
// variance from the scatter about it.
//
// Transitions count only while the signal is plainly there: in each block of
// kBlockSymbols the demodulator's phase changes sit on the mode's
// constellation (BPSK 0/180 degrees, QPSK multiples of 90): the mean of
// cos(m arg z), m = 2 or 4, at least kMinQuality.  A block that does not,
// or that holds a symbol the receiver did not hold (SymbolInfo::locked),
// ends the track.  Blocks the caller marks as idle (measured better by the
// idle stretches) are left out of the fit while the track goes on.
#pragma once

#include <complex>
#include <cstdint>
#include <deque>
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
  // The fit's variance is the scatter's times this factor: the crossings'
  // errors are independent (each is fitted over its own transition), but
  // their tails are somewhat heavier than the scatter shows (measured on 600
  // text-only signals each of BPSK31 and QPSK31 at SNR 10, at the first
  // reading: with this factor the errors are 0.89 and 0.93 standard
  // deviations rms, the largest 3.3).
  static constexpr double kCorrelation = 1.2;
  // Least-squares steps that refine each crossing.
  static constexpr int kRefinements = 3;
  // The signal's gain about a transition, which places a quarter turn's
  // middle, is averaged over this many symbols on either side of it (so a
  // carrier still turning leaves it unbiased); the transition is fitted
  // once they have come.
  static constexpr int kGainSymbols = 3;
  // Share of each reversal's offset from the demodulator's instants that
  // moves the running estimate of their lag.
  static constexpr double kLagSmoothing = 1.0 / 4;
  static constexpr int kSteadyReversals = 8;  // reversals in a row that agree on the lag

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
  struct Instant {
    double position;             // input samples
    std::complex<double> value;  // low-passed baseband there
    int phase;                   // decided phase, quarter turns (mod 4)
    bool transition;             // the phase changed from the symbol before
  };
  std::complex<double> baseband_at(double position) const;  // interpolated, at an input instant
  void on_symbol(const SymbolInfo& s);
  void on_transition(size_t at);  // from instants_[at] to the next
  // The transition's instant, refined from crossing by kRefinements fitting
  // steps (NaN when its samples are no longer kept), the path's middle
  // known; information: the fit's Fisher information on it, in units of
  // the noise's power.
  double fit_crossing(double crossing, double t, std::complex<double> middle,
                      double& information) const;
  void end_block();
  void end_track();

  double sps_;                                 // nominal samples per symbol
  int power_;                                  // m: 2 for BPSK, 4 for QPSK
  double delay_;                               // the low-pass's delay, samples
  double spill_ = 0;                           // share of a neighbouring step it takes in
  std::vector<std::complex<double>> taps_;     // last half symbol of mixed samples
  size_t tap_pos_ = 0;                         // next slot of taps_
  std::complex<double> tap_sum_;               // their sum: the low-passed baseband
  std::vector<std::complex<double>> history_;  // low-passed baseband, by input sample
  // The baseband through a moving average of about an eighth of a symbol,
  // which keeps the transition's shape and removes the mixer's image at
  // twice the carrier; narrow_delay_ is its delay (half its length, samples).
  std::vector<std::complex<double>> narrow_;
  int narrow_delay_ = 1;
  std::complex<double> narrow_sum_;       // its moving sum
  std::complex<double> mixer_{1.0, 0.0};  // oscillator at the mixing frequency
  int64_t samples_ = 0;                   // input samples since reset
  std::deque<Instant> instants_;          // the last 2 kGainSymbols + 2 consecutive symbols
  int phase_ = 0;                         // decided phase of the newest, quarter turns
  double lag_ = 0;                        // the true instants less the demodulator's, samples
  int steady_ = 0;                        // reversals in a row that agreed with lag_
  LineSums block_;                        // the current block's reversals
  double quality_ = 0;                    // sum of cos(m arg z) over the block
  int block_symbols_ = 0;                 // symbols in the block
  bool block_idle_ = false;               // part of the block was idle
  bool block_unlocked_ = false;           // part of the block the receiver did not hold
  bool in_track_ = false;                 // a track is going on
  double origin_ = 0;                     // first crossing of the track, samples
  double last_crossing_ = 0;              // newest crossing, samples
  int64_t index_ = 0;                     // symbols from origin_ to last_crossing_
  LineSums fit_;                          // the track's kept reversals
  int blocks_ = 0;                        // blocks kept in the track
  Result finished_;                       // the last ended track's result, until taken
};

}  // namespace psk
