#include "modem/afc.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace psk {
namespace {

constexpr int kSkipFrames = 2;  // frames ignored after a jump: the window still holds older samples
// Fine tracking: the carrier's drift is the running mean of the changes over
// about this many symbols ...
constexpr double kDriftSymbols = 32.0;
// ... and each symbol moves the receiver by this share of the drift it
// shows, so the frequency settles with a time constant of 50 symbols.
constexpr double kTrackGain = 0.02;
// Changes with their data removed are steady even on weak signals, so the
// loop acts on them fully; it follows them more calmly, over 100 symbols.
constexpr double kTrackGainKnown = 0.01;
// How steady the drift is (|mean change| over mean |change|): about 1 on a
// clean signal, near 0.13 on noise (the mean of 64 random phasors).  The
// loop acts from kSteadyFrom on and fully from kSteadyFrom + kSteadyRamp, so
// noise cannot walk it.
constexpr double kSteadyFrom = 0.25;
constexpr double kSteadyRamp = 0.5;

}  // namespace

Afc::Afc(double baud, bool qpsk) : baud_(baud), bin_hz_(baud / 4.0), power_(qpsk ? 4 : 2) {
  reset();
}

void Afc::reset() {
  tracking_ = false;
  acquiring_ = true;
  strikes_ = 0;
  skip_ = kSkipFrames;
  frames_ = 0;
  sum_.fill(0.0);
  noise_sum_ = 0;
  drift_ = {0, 0};
  magnitude_ = 0;
}

double Afc::on_frame(const BasebandSpectrum& spectrum) {
  if (skip_ > 0) {
    --skip_;
    return 0.0;
  }
  for (int k = -kSpan; k <= kSpan; ++k) sum_[static_cast<size_t>(k + kSpan)] += spectrum.frame(k);
  double noise = 0;
  for (int k = kNoiseFirst; k <= kNoiseLast; ++k) noise += spectrum.frame(k) + spectrum.frame(-k);
  noise_sum_ += noise / (2.0 * (kNoiseLast - kNoiseFirst + 1));
  if (++frames_ < kBlockFrames) return 0.0;
  const double correction = on_block();
  frames_ = 0;
  sum_.fill(0.0);
  noise_sum_ = 0;
  return correction;
}

double Afc::on_block() {
  auto p = [&](int k) { return sum_[static_cast<size_t>(k + kSpan)]; };
  const double noise = noise_sum_;
  // The strongest band one baud wide whose centre is within +-baud.
  int centre = 0;
  double best = -1;
  // While tracking, only the band around the receive frequency counts.
  const int reach = tracking_ ? 0 : kHalfBand;
  static_assert(kHalfBand == 4, "the candidate centres below cover +-kHalfBand");
  for (int c : {0, -1, 1, -2, 2, -3, 3, -4, 4}) {  // nearest first: ties keep the nearest
    if (std::abs(c) > reach) continue;
    double band = 0;
    for (int k = c - kHalfBand; k <= c + kHalfBand; ++k) band += p(k);
    if (band > best) {
      best = band;
      centre = c;
    }
  }
  if (noise <= 0 || best < kDetectRatio * kBandBins * noise) {  // no signal: hold
    acquiring_ = false;
    return 0.0;
  }
  if (best < kJumpRatio * kBandBins * noise) {
    // A weak signal: its centre is too uncertain to jump to; the fine
    // tracker follows it from here.
    if (!tracking_) {
      drift_ = {0, 0};
      magnitude_ = 0;
    }
    tracking_ = true;
    acquiring_ = false;
    strikes_ = 0;
    return 0.0;
  }
  double moment = 0, mass = 0;
  for (int k = centre - kHalfBand; k <= centre + kHalfBand; ++k) {
    const double excess = std::max(p(k) - noise, 0.0);
    moment += k * excess;
    mass += excess;
  }
  if (mass <= 0) {
    acquiring_ = false;
    return 0.0;
  }
  const double offset_bins = moment / mass;
  const double settle = power_ == 4 ? 0.5 : 1.0;  // within the fine tracker's reach
  if (tracking_) {
    // The fine tracker can lock a whole ambiguity step (baud/power) off;
    // three measurements in a row past half of it re-centre the receiver.
    const double limit = 0.6 * 4.0 / power_;
    if (std::abs(offset_bins) < limit) {
      strikes_ = 0;
      return 0.0;
    }
    if (++strikes_ < 3) return 0.0;
  }
  strikes_ = 0;
  if (std::abs(offset_bins) < settle) {
    tracking_ = true;
    acquiring_ = false;
    drift_ = {0, 0};
    magnitude_ = 0;
    return 0.0;
  }
  tracking_ = false;
  acquiring_ = true;
  skip_ = kSkipFrames;
  return offset_bins * bin_hz_;
}

double Afc::on_symbol(std::complex<float> z, bool signal_present, bool modulation_removed) {
  if (modulation_removed != unmodulated_) {  // the averages hold the other kind
    unmodulated_ = modulation_removed;
    drift_ = {0, 0};
    magnitude_ = 0;
  }
  if (!tracking_ || !signal_present) return 0.0;
  const std::complex<double> zd(z);
  const double mag = std::abs(zd);
  if (mag <= 0) return 0.0;
  const int power = unmodulated_ ? 1 : power_;
  // z^power scaled back to |z|: strong symbols weigh more, as in a matched loop.
  const std::complex<double> w = std::pow(zd / mag, power) * mag;
  drift_ += (w - drift_) / kDriftSymbols;
  magnitude_ += (mag - magnitude_) / kDriftSymbols;
  const double coherence = magnitude_ > 0 ? std::abs(drift_) / magnitude_ : 0.0;
  const double weight = std::clamp((coherence - kSteadyFrom) / kSteadyRamp, 0.0, 1.0);
  const double radians_per_symbol = std::arg(drift_) / power;
  const double error_hz = radians_per_symbol * baud_ / (2.0 * std::numbers::pi);
  return (unmodulated_ ? kTrackGainKnown : kTrackGain) * weight * error_hz;
}

}  // namespace psk
