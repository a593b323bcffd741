// Detection against a phase reference.  A plain differential detector
// compares each symbol with the one before it, so the noise of two symbols
// enters every decision.  Here the reference for symbol k is a running
// average of the past symbols, each turned by the phase changes decided
// since it (decision-aided: BPSK by the expected change given the symbol, so
// a doubtful decision weighs little; QPSK by the hard decision), and by the
// carrier's measured turn per symbol, so the average does not lag a residual
// offset.  The change is still decided between neighbouring symbols, so a
// slip of the reference costs a decision or two, not a run of them.  A
// memory of 0 symbols is the plain differential detector.
#pragma once

#include <complex>

namespace psk {

class PhaseReference {
 public:
  // quarter_turns: decisions are multiples of 90 degrees (QPSK), otherwise of
  // 180 (BPSK).  memory_symbols: time constant of the reference average (0:
  // the previous symbol alone).
  PhaseReference(bool quarter_turns, double memory_symbols);
  void reset();
  // Takes one symbol sample scaled to unit mean power; returns the phase change
  // from the reference, about 1 in magnitude on a clean signal.
  std::complex<float> process(std::complex<float> y);
  // The carrier moved by radians_per_symbol (e.g. the receiver was retuned):
  // the frequency term follows at once.
  void shift_frequency(double radians_per_symbol);
  // A change between two recent neighbouring symbols with its modulation
  // removed (e.g. by the decoded bits): from the first one on, the carrier's
  // turn is measured from these instead of from the changes raised to a power.
  void observe_change(std::complex<float> change);

  // The last symbol measured against the carrier the reference implies: its
  // phase in quarter turns counted from the first symbol (one of four, as the
  // carrier's own phase is unknown), scaled like the change.
  std::complex<float> symbol() const { return symbol_; }
  int decision() const { return decision_; }  // last decided change, turns of 90 degrees 0..3
  double phase_error() const { return phase_error_; }  // last change minus the decision, rad
  // Running mean square of phase_error() over about 32 symbols, rad^2.
  double mean_square_error() const { return mean_square_error_; }
  // QPSK: enough changes have been told for the carrier's turn to be known
  // well (always true for BPSK, whose own changes show it).
  bool settled() const { return !quarter_ || told_count_ >= 128; }
  // What the decisions found of the carrier's turn beyond the measured one, rad per symbol.
  double frequency() const { return frequency_; }
  double memory() const { return memory_; }  // reference time constant, symbols

 private:
  double drift_power() const;  // the power the changes in drift_ were raised to
  bool quarter_;               // decide in quarter turns
  double memory_;              // reference time constant, symbols
  double keep_;                // share of the old reference kept per symbol
  // The previous symbol's phasor, scaled like y times weight_.
  std::complex<double> reference_{0, 0};
  std::complex<double> last_{0, 0};   // the previous symbol, as given
  std::complex<double> drift_{0, 0};  // running mean of the changes raised to 2 (BPSK) or 4 (QPSK)
  double told_count_ = 0;             // changes told since reset, up to their averaging length
  bool told_ = false;                 // observe_change() has been called since reset
  double weight_ = 0.0;               // sum of the averaging weights taken so far (0..1)
  double frequency_ = 0.0;            // carrier turn per symbol beyond drift_'s, rad
  int decision_ = 0;                  // last decided change, quarter turns
  int phase_ = 0;                     // sum of the decided changes, quarter turns 0..3
  std::complex<float> symbol_{0, 0};  // last symbol against the carrier
  double phase_error_ = 0.0;          // last change's distance from its decision, rad
  double mean_square_error_ = 0.0;    // running mean square of phase_error_, rad^2
};

}  // namespace psk
