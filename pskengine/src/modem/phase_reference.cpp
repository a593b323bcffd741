#include "modem/phase_reference.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace psk {
namespace {

// The frequency term integrates the phase errors left after each decision.
// With the reference kept a share k per symbol, the loop is critically
// damped near a gain of (1 - k)^2 / 4; half of that settles in about
// 4 / (1 - k) symbols without overshoot and averages noise over as many.
constexpr double kFrequencyGainShare = 0.5;
// A carrier turning faster than this per symbol is beyond the AFC's fine
// range: the term is held within it, rad.
constexpr double kMaxFrequency = std::numbers::pi / 8;

// Before any symbol the errors are taken as those of noise alone (uniform
// over a decision's range), so nothing looks certain yet, rad^2.
constexpr double kStartSquareError = 0.8;
constexpr std::complex<double> kQuarterTurn[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
// Time constant of the mean of the changes that gives the carrier's turn, symbols.
constexpr double kDriftSymbols = 64.0;
// ... of the modulation-free changes the caller tells, symbols.
constexpr double kToldSymbols = 512.0;
// Time constant of the running mean square phase error, symbols.
constexpr double kErrorSymbols = 32.0;
// The spread of the phase errors is taken as at least this, rad^2 (a clean
// signal would otherwise make every decision look certain).
constexpr double kMinSquareError = 0.01;

}  // namespace

PhaseReference::PhaseReference(bool quarter_turns, double memory_symbols)
    : quarter_(quarter_turns),
      memory_(std::max(memory_symbols, 0.0)),
      keep_(memory_ > 0 ? std::exp(-1.0 / memory_) : 0.0) {
  reset();
}

void PhaseReference::reset() {
  reference_ = {0, 0};
  weight_ = 0.0;
  last_ = {0, 0};
  drift_ = {0, 0};
  told_ = false;
  mean_square_error_ = kStartSquareError;
  frequency_ = 0.0;
  decision_ = 0;
  phase_ = 0;
  symbol_ = {0, 0};
  phase_error_ = 0.0;
}

void PhaseReference::shift_frequency(double radians_per_symbol) {
  // The changes averaged so far would all have turned by this much more.
  drift_ *= std::polar(1.0, drift_power() * radians_per_symbol);
}

void PhaseReference::observe_change(std::complex<float> change) {
  if (!told_) {
    drift_ = {0, 0};
    told_count_ = 0;
  }
  told_ = true;
  // The mean of all told so far, until there are kToldSymbols of them.
  told_count_ = std::min(told_count_ + 1.0, kToldSymbols);
  drift_ += (std::complex<double>(change) - drift_) / told_count_;
}

double PhaseReference::drift_power() const {
  return told_ ? 1.0 : quarter_ ? 4.0 : 2.0;
}

std::complex<float> PhaseReference::process(std::complex<float> y) {
  const std::complex<double> yd(y);
  // The reference describes the previous symbol; the carrier's own turn
  // carries it to this one.  Dividing by the weight gathered so far keeps it
  // at full size from the first symbol on.
  // The carrier's turn per symbol: the mean change between neighbouring
  // symbols raised to the power that removes the modulation, plus what the
  // decisions have found beyond it.
  const std::complex<double> change = yd * std::conj(last_);
  last_ = yd;
  const double size = std::abs(change);
  if (size > 0 && !told_) {
    const std::complex<double> folded = quarter_ ? change * change / size : change;
    drift_ += (folded * folded / size - drift_) / kDriftSymbols;
  }
  const double carrier_turn =
      (std::norm(drift_) > 0 ? std::arg(drift_) / drift_power() : 0.0) + frequency_;
  // (The plain detector, memory 0, compares with the previous symbol as it was.)
  const std::complex<double> predicted =
      weight_ > 0 && keep_ > 0 ? reference_ * std::polar(1.0 / weight_, carrier_turn) : reference_;
  const std::complex<double> z = yd * std::conj(predicted);
  // Nearest decision: quarter turns for QPSK, half turns for BPSK.
  const double angle = std::arg(z);
  const double step = quarter_ ? std::numbers::pi / 2 : std::numbers::pi;
  const long turns = std::lround(angle / step);
  decision_ = static_cast<int>(((quarter_ ? turns : 2 * turns) % 4 + 4) % 4);
  phase_error_ = angle - static_cast<double>(turns) * step;
  // Against the carrier: undo the phase the decisions so far have reached.
  symbol_ = std::complex<float>(z * kQuarterTurn[phase_]);
  phase_ = (phase_ + decision_) & 3;
  if (weight_ > 0)
    mean_square_error_ += (phase_error_ * phase_error_ - mean_square_error_) / kErrorSymbols;
  if (keep_ == 0) {
    reference_ = yd;
    weight_ = 1.0;
    return std::complex<float>(z);
  }
  if (weight_ > 0) {
    const double gain = kFrequencyGainShare * (1 - keep_) * (1 - keep_) / 4;
    frequency_ = std::clamp(frequency_ + gain * phase_error_, -kMaxFrequency, kMaxFrequency);
  }
  // Turn the reference by the expected change: each possible change weighted
  // by its likelihood given this symbol (phase errors taken as von Mises
  // with the recent spread).  A doubtful decision shrinks the turned
  // reference, so this symbol weighs more and a wrong guess does not linger.
  const double concentration = 1.0 / std::max(mean_square_error_, kMinSquareError);
  std::complex<double> turn{0, 0};
  double total = 0;
  const int choices = quarter_ ? 4 : 2;
  for (int i = 0; i < choices; ++i) {
    const double w = std::exp(concentration * (std::cos(angle - i * step) - 1.0));
    turn += w * std::polar(1.0, i * step);
    total += w;
  }
  turn /= total;
  // Quarter-turn decisions feed a decoder that follows the carrier through
  // the symbols' absolute phases: it copes with a reference slipping by a
  // whole quarter turn, not with one left between two.
  if (quarter_) turn = kQuarterTurn[decision_];
  reference_ = keep_ * (predicted * weight_) * turn + (1 - keep_) * yd;
  weight_ = keep_ * weight_ * std::abs(turn) + (1 - keep_);
  return std::complex<float>(z);
}

}  // namespace psk
