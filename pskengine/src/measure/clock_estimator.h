// The sound card's clock error from the symbol timing of the idle signal.
//
// The idle signal (continuous phase reversals) is the carrier times
// cos(pi t / T): two tones one symbol rate apart, whose phase difference
// turns by one cycle per symbol.  That difference, in each stretch of idle
// (IdleSegmenter), is the symbol timing there, free of the carrier's
// frequency, drift and the AFC.  Against the nominal symbol clock it drifts
// by (received rate - nominal rate) cycles a second; a sound card that
// samples faster than nominal by e sees the symbols (1 + e) times longer.  A
// weighted straight-line fit of the timing over time gives e in ppm,
// positive when the card samples fast.
//
// During text (and any signal that is not idle) SymbolTiming measures the
// timing from the envelope's symbol-rate line; its tracks join the estimate.
//
// A track is one stretch of continuous symbol clock: an idle run, joined to
// the next one when the signal never went away between them (text of the
// same transmission) and that run's timing continues the track's line.
// Tracks that cannot be joined (a new transmission, another station) are
// fitted apart and their results combined, weighted by their precision.
// Fits keep running sums, so a stretch or a symbol costs the same however
// long the track.  The estimate is reported, in whole ppm, once its
// standard deviation is at most kMaxSigmaPpm, and then every kInterval
// samples while a signal goes on.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "dsp/sample_rate.h"
#include "measure/idle_segments.h"
#include "measure/line_sums.h"
#include "measure/symbol_timing.h"
#include "modem/modes.h"

namespace psk {

class ClockErrorEstimator {
 public:
  static constexpr double kMaxSigmaPpm = 1.2;  // largest standard deviation reported, ppm
  static constexpr int64_t kInterval = 5 * kEngineRateHz;  // input samples between readings (5 s)
  static constexpr int kMinSegments = 8;                   // fewest stretches before any reading
  static constexpr int kMaxTrackSegments = 8192;           // stretches one track holds (70 min)
  static constexpr int kMaxTracks = 16;                    // finished tracks kept for the estimate
  static constexpr double kFloorVariance = 1e-8;  // smallest timing variance of a stretch, cycles^2
  // A run joins the track only when the track predicts its timing this well
  // (standard deviation, cycles) and the run's timing lies within
  // kJoinSigmas of the prediction.
  static constexpr double kMaxPredictionSigma = 0.02;
  static constexpr double kJoinSigmas = 4.0;
  // Neighbouring stretches share noise, which raises the variance of a fit
  // by this factor.
  static constexpr double kOverlapFactor = 1.0 + 2.0 * IdleSegmenter::kOverlapCorrelation;
  // The scatter about the fit counts as excess beyond this many standard
  // deviations of its expected value.
  static constexpr double kExcessSigmas = 3.0;

  explicit ClockErrorEstimator(PskMode mode = PskMode::Bpsk31);
  void reset();
  // Takes the stretches IdleSegmenter completed; readings() then holds the
  // readings they produced.
  void process(std::span<const IdleSegment> segments);
  // Takes every input sample and the demodulator's symbols from them (mixed
  // at mix_hz); idle: an idle run is in progress (its stretches measure it).
  // readings() then holds the readings they produced.
  void process_symbols(std::span<const float> samples, std::span<const SymbolInfo> symbols,
                       double mix_hz, bool idle);

  const std::vector<int32_t>& readings() const { return readings_; }  // whole ppm, oldest first
  bool settled() const;                                               // precise enough to report
  double ppm() const { return ppm_; }                       // current estimate, ppm (0 before one)
  double sigma_ppm() const { return sigma_ppm_; }           // its standard deviation, ppm
  int tracks() const;                                       // tracks in the estimate
  int64_t segments() const { return segments_; }            // stretches used since reset
  int64_t symbol_tracks() const { return symbol_tracks_; }  // text tracks finished since reset

 private:
  struct Fit {
    double slope = 0;           // cycles per second
    double slope_variance = 0;  // (cycles per second)^2
    double t_mean = 0;          // weighted mean time, seconds since the track's start
    double u_mean = 0;          // weighted mean timing, cycles
    double weight = 0;          // sum of the weights, 1 / cycles^2
    bool valid = false;         // at least two observations
  };
  struct Result {
    double ppm;       // the track's clock error
    double variance;  // ppm^2
  };
  void add(const IdleSegment& s);
  Fit fit() const;
  // Predicted timing at t (seconds since the track's start) and its variance.
  bool predict(double t, double& u, double& variance) const;
  void finish_track();
  void add_result(const Result& r);
  void update_estimate();
  void post(int64_t now);
  Result result_of(const Fit& f) const;

  double baud_;                // nominal symbol rate, symbols/s
  double samples_per_symbol_;  // nominal, input samples
  // The current track's observations: time x (seconds since the track's
  // start), timing y (cycles, unwrapped), weight 1 / variance of y.
  LineSums track_;
  int track_count_ = 0;            // stretches in the current track
  double last_u_ = 0;              // timing of the track's newest stretch, cycles
  int64_t track_run_ = 0;          // idle run the track last took a stretch from
  int64_t track_start_ = 0;        // centre sample of the track's first stretch
  double track_noise_ = 0;         // sum of the track's noise powers
  std::deque<Result> finished_;    // results of finished tracks, newest last
  double ppm_ = 0;                 // estimate, ppm
  double sigma_ppm_ = 0;           // its standard deviation, ppm
  bool has_estimate_ = false;      // ppm_ holds an estimate
  int64_t segments_ = 0;           // stretches used since reset
  SymbolTiming text_;              // clock from the symbol instants outside idle
  int64_t symbol_tracks_ = 0;      // text tracks finished since reset
  int64_t last_reading_ = 0;       // centre sample of the last reading
  bool has_reading_ = false;       // a reading was made since reset
  std::vector<int32_t> readings_;  // readings of the last process()
};

}  // namespace psk
