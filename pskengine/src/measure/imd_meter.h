// The IMD meter: IMD = 10 log10(products / fundamentals) of the idle signal,
// from the stretches that IdleSegmenter cuts out of idle runs (so a reading
// never includes data, nor the edges of a run).
//
// Each stretch gives the power of the two fundamentals (carrier +- baud/2),
// of the two third-order products (carrier +- 3 baud/2) and of the noise in
// tone-free bins between them, under two windows: a steady run reads from
// the rectangular window (less noise), a fading one from the Hann window
// (no leakage from a level that changes within a stretch).  The meter pools
// every stretch of the idle
// run so far (the newest kMaxSegments of it): the noise each bin holds is
// subtracted, and products and fundamentals are summed with a weight that
// favours the stretches where the signal stood well above the noise, so a
// fading channel's gain (the same for products and fundamentals) cancels
// in the ratio.  A stretch whose fundamentals are unbalanced (a notch of a
// two-path channel between them) is not used.
//
// The reading's own standard deviation comes from the measured noise and
// tone powers, widened when the stretches scatter more than their noise
// explains (a channel that fades across the tones), and on a fading
// channel by what its selectivity may hide in the wider modes.  A reading is posted
// when the chance that it lies more than 1 dB from the truth is at most
// kMaxMissProbability, and the chance that its whole-dB value does is at
// most kMaxWholeDbMissProbability: at once when the evidence allows, then
// about once a second while the run lasts.  Products at or below the noise
// give no reading at all.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <utility>
#include <vector>

#include "dsp/sample_rate.h"
#include "measure/idle_segments.h"

namespace psk {

class ImdMeter {
 public:
  // Fewest stretches a reading pools in the narrowest mode; wider modes
  // pool twice as many (a channel's fade, unseen in the first stretches,
  // differs more across their tones).
  static constexpr int kMinSegments = 2;
  static constexpr int kMaxSegments = 120;  // most stretches a reading pools (61 s)
  static constexpr int64_t kInterval =
      kEngineRateHz;  // input samples between readings of one run (1 s)
  // Largest chance that a posted reading is more than 1 dB off.
  static constexpr double kMaxMissProbability = 0.01;
  // Largest chance that its whole-dB value is more than 1 dB off (rounding
  // adds up to half a dB).
  static constexpr double kMaxWholeDbMissProbability = 0.05;
  // ... on a fading channel, this share of it.
  static constexpr double kFadingMissShare = 0.25;
  // Largest shift of the result by the noise in the product bins, dB: beyond
  // it the products are lost in the noise, however precise the average.
  static constexpr double kMaxNoiseShiftDb = 3.0;
  // The noise a tone bin holds may differ from the tone-free bins' estimate
  // by this fraction (noise that is not quite white): a systematic error.
  static constexpr double kNoiseBias = 0.05;
  static constexpr double kFloorDb = -80.0;  // lowest IMD the meter reports, dB
  // The fundamentals of an idle signal are equal; a stretch whose two
  // fundamentals differ by more than this power ratio (4.8 dB) is not used.
  static constexpr double kMaxImbalance = 3.0;
  // A run whose stretches' fundamentals differ by more than this power ratio
  // (1.8 dB) is fading; it reads from kMinFadingSegments stretches on.
  static constexpr double kFadeSwing = 1.5;
  // Stretches a fading run of the narrowest mode reads from; wider modes
  // need more in proportion to their tone spacing (a fading channel's gain
  // differs more across their tones, so one channel state biases more).
  static constexpr int kMinFadingSegments = 4;
  // The swing is judged over the stretches of this many input samples
  // (10 s), earlier runs included: a fade often ends an idle run, and the
  // next run's first stretches, a single channel state, cannot show it.
  static constexpr int64_t kFadeMemory = 10 * kEngineRateHz;
  // A multipath channel's gain differs between the fundamentals and the
  // products, the more so the wider their spacing and the longer its delay,
  // and the stretches a fading run keeps (the strong ones) are no fair
  // sample of its states: a fading run's reading carries this much
  // systematic error in the narrowest mode with a delay of 2 ms, in
  // proportion to the square of the tone spacing in the wider ones (dB).
  static constexpr double kFadingSelectivityDb = 0.15;
  // The scatter of the stretches counts as excess (the variance is widened
  // by it) beyond this many standard deviations of its expected value.
  static constexpr double kExcessSigmas = 3.0;

  ImdMeter() { reset(); }
  void reset();
  // Takes the stretches IdleSegmenter completed; readings() then holds the
  // readings they produced.
  void process(std::span<const IdleSegment> segments);

  const std::vector<int32_t>& readings() const { return readings_; }  // whole dB, oldest first
  double imd_db() const { return imd_db_; }       // unrounded last reading, dB (0 before one)
  double sigma_db() const { return sigma_db_; }   // its standard deviation, dB
  int window() const { return window_; }          // stretches the last reading pooled
  int64_t attempts() const { return attempts_; }  // times a reading was tried
  int64_t reported() const { return reported_; }  // readings made since reset

  // Chance that a reading lies more than 1 dB from a truth distributed
  // normally about it with standard deviation sigma (dB).
  static double miss_probability(double sigma);
  // Chance that round(x) lies more than 1 dB from such a truth about x.
  static double whole_db_miss_probability(double x, double sigma);

 private:
  struct Powers {             // of one stretch under one window
    double fundamentals = 0;  // power of both fundamentals, less their noise
    double products = 0;      // power of both products, less their noise
    double noise = 0;         // noise power per bin
    int noise_bins = 1;       // bins that noise was averaged over
  };
  struct Stretch {
    Powers hann;    // under the Hann window
    Powers rect;    // under the rectangular window
    double weight;  // its weight in the pooled sums (set by attempt())
  };
  static Powers powers_of(const IdleTones& tones);
  bool attempt();  // true when it made a reading

  int64_t run_ = 0;              // idle run the history belongs to
  double spread_ = 1.0;          // its tone spacing over the narrowest mode's
  std::deque<Stretch> history_;  // the run's stretches, newest last, at most kMaxSegments
  // Centre and fundamentals' power of the stretches of the last kFadeMemory
  // samples, of every run, newest last.
  std::deque<std::pair<int64_t, double>> levels_;
  bool run_read_ = false;          // the run has given a reading
  int64_t last_reading_ = 0;       // centre sample of the run's last reading
  std::vector<int32_t> readings_;  // readings of the last process()
  double imd_db_ = 0;              // unrounded last reading, dB
  double sigma_db_ = 0;            // its standard deviation, dB
  int window_ = 0;                 // stretches it pooled
  int64_t attempts_ = 0;           // readings tried since reset
  int64_t reported_ = 0;           // readings made since reset
};

}  // namespace psk
