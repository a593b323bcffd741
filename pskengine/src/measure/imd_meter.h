// The IMD meter: IMD = 10 log10(products / fundamentals) of the idle signal,
// from the stretches that IdleSegmenter cuts out of idle runs (so a reading
// never includes data, nor the edges of a run).
//
// Each stretch gives the power of the two fundamentals (carrier +- baud/2),
// of the two third-order products (carrier +- 3 baud/2) and of the noise in
// tone-free bins between them.  About once a second while an idle run lasts,
// the meter averages the most recent stretches of that run, subtracts the
// noise the tone bins hold, and reports the result in whole dB, but only when
// the noise cannot move it: the standard deviation that the noise gives the
// result must be at most kMaxSigmaDb, and the noise in the product bins must
// be small enough that even ignoring it would move the result by at most
// kMaxNoiseShiftDb.  It uses as few stretches as that allows (so a clean
// signal reads at once and follows a change of drive within seconds), and
// as many as an idle run of a minute holds for a weak or very clean one.
// Readings are negative for a clean signal; products at or below the
// noise give no reading at all.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "measure/idle_segments.h"

namespace psk {

class ImdMeter {
 public:
  static constexpr int kMinSegments = 2;      // fewest stretches a reading averages
  static constexpr int kMaxSegments = 120;    // most stretches a reading averages (61 s)
  static constexpr int64_t kInterval = 8000;  // input samples between readings of one run (1 s)
  static constexpr double kMaxSigmaDb = 0.2;  // largest noise-driven standard deviation, dB
  static constexpr double kMaxNoiseShiftDb = 1.0;  // largest shift by the product bins' noise, dB
  static constexpr double kFloorDb = -80.0;        // lowest IMD the meter reports, dB
  // The fundamentals of an idle signal are equal; a stretch whose two
  // fundamentals differ by more than this power ratio (6 dB) is not used.
  static constexpr double kMaxImbalance = 4.0;
  // Correlation of the noise in two stretches that overlap by half: the sum
  // over the shared half of one Hann window times the other, over the sum of
  // one window squared (L/16 over 3L/8).
  static constexpr double kOverlapCorrelation = 1.0 / 6.0;

  ImdMeter() { reset(); }
  void reset();
  // Takes the stretches IdleSegmenter completed; readings() then holds the
  // readings they produced.
  void process(std::span<const IdleSegment> segments);

  const std::vector<int32_t>& readings() const { return readings_; }  // whole dB, oldest first
  double imd_db() const { return imd_db_; }       // unrounded last reading, dB (0 before one)
  double sigma_db() const { return sigma_db_; }   // its noise-driven standard deviation, dB
  int window() const { return window_; }          // stretches the last reading averaged
  int64_t attempts() const { return attempts_; }  // times a reading was due (about 1 per s of idle)
  int64_t reported() const { return reported_; }  // readings made since reset

 private:
  struct Stretch {
    double fundamentals;  // power of both fundamentals
    double products;      // power of both products
    double noise;         // noise power per bin
    int noise_bins;       // bins that noise was averaged over
  };
  struct Means {
    double fundamentals = 0, products = 0, noise = 0, noise_bins = 0;
  };
  Means means(size_t count) const;  // over the newest count stretches
  void attempt();

  int64_t run_ = 0;                // idle run the history belongs to
  std::deque<Stretch> history_;    // the run's stretches, newest last, at most kMaxSegments
  int64_t last_attempt_ = 0;       // centre sample of the last attempt in this run
  int64_t newest_centre_ = 0;      // centre sample of the newest stretch
  std::vector<int32_t> readings_;  // readings of the last process()
  double imd_db_ = 0;              // unrounded last reading, dB
  double sigma_db_ = 0;            // its standard deviation, dB
  int window_ = 0;                 // stretches it averaged
  int64_t attempts_ = 0;           // readings due since reset
  int64_t reported_ = 0;           // readings made since reset
};

}  // namespace psk
