// Finds stretches of the received signal that lie wholly inside one idle run
// (a run of at least 32 phase reversals), away from its edges, and analyses
// each: the two fundamentals of the idle signal at carrier +- baud/2, the
// third-order products at carrier +- 3 baud/2, and the noise in the
// tone-free bins about them.  The IMD meter and the clock-error estimator both work
// from these stretches only, so neither ever sees data.
//
// Stretches are 8192 samples (32 symbols of BPSK31, 64 of BPSK63, 128 of
// BPSK125), so the tones are whole numbers of window bins apart; they overlap
// by half.  The carrier is estimated for each stretch from the phase change of
// its symbols (idle turns the phase by 180 degrees a symbol; what is left over
// is the carrier's offset from the mixing frequency), so the analysis follows
// the signal wherever the receive frequency or the AFC happens to be.
//
// Each stretch is analysed twice.  Under a Hann window at the symbols'
// carrier: its sidelobes fall fast, so a channel that fades within the
// stretch, or a carrier a little off, leaks nothing into the other tones.
// Under a rectangular window, at the carrier corrected from the fundamentals'
// own phase between the stretch's two halves: it lets 1.5 times less noise
// into each tone, but its sidelobes fall slowly, so it serves a steady channel
// only.
#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "dsp/real_fft.h"
#include "measure/tone_analyzer.h"
#include "modem/idle_detector.h"
#include "modem/modes.h"
#include "modem/psk_demodulator.h"

namespace psk {

// The tones of one stretch under one window.  Tone values are amplitude and
// phase at the stretch's centre (see ToneAnalyzer); a tone's power is |X|^2 / 2.
struct IdleTones {
  std::array<std::complex<double>, 2> fundamentals{};  // at carrier - baud/2, + baud/2
  std::array<std::complex<double>, 2> products{};      // at carrier - 3 baud/2, + 3 baud/2
  double noise_power = 0;  // noise power in one bin of the window (power units of a tone)
  int noise_bins = 0;      // how many independent tone-free bins it was measured in
};

// One analysed stretch of idle signal.
struct IdleSegment {
  int64_t run = 0;          // the idle run it lies in (numbered from 1 since reset)
  bool continuous = false;  // the signal never went away since the previous stretch
  int64_t centre = 0;       // centre sample, input samples since reset
  double carrier_hz = 0;    // carrier estimated from the symbols, Hz
  double baud = 31.25;      // the mode's symbol rate (the tones' spacing), symbols/s
  IdleTones hann;           // under a Hann window at carrier_hz
  IdleTones rect;           // under a rectangular window at the corrected carrier
};

class IdleSegmenter {
 public:
  static constexpr int kLength = 8192;      // samples per stretch
  static constexpr int kHop = kLength / 2;  // samples between stretch starts
  // Correlation of the noise in two neighbouring stretches (they overlap by
  // half): the sum over the shared half of one window times the other, over
  // the sum of one window squared: L/16 over 3L/8 for the Hann window, L/2
  // over L for the rectangular one.
  static constexpr double kOverlapCorrelation = 1.0 / 6.0;
  static constexpr double kRectOverlapCorrelation = 0.5;
  // Symbols kept clear of a run's start and of its latest reversal.  The end
  // is found within a tenth of a symbol (the data that follows begins with a
  // symbol that does not reverse), so one symbol keeps every stretch off it.
  // The start is less sure: after silence the demodulator's timing is still
  // settling, and in a weak signal the noise just before may pass for a
  // reversal or two, so the start found may lie a symbol or two early.
  static constexpr int kStartGuardSymbols = 4;
  static constexpr int kEndGuardSymbols = 1;
  static constexpr int kHistory = 32768;  // input samples kept for analysis
  // A symbol whose phase change is this far below the running level means
  // the signal went away (a transmitter unkeyed, a fade): later stretches are
  // not continuous with earlier ones.
  static constexpr float kGapLevel = 0.1f;
  // A reversal counts towards an idle run, and a symbol towards the carrier
  // estimate, only when its strength is steady: within these multiples of
  // the running level.  The first symbols of a transmission (while the level
  // rises from the noise) and the last (as it falls away) are not, so a run
  // keeps out of the silence at either end; a fade of the channel down to a
  // tenth of the level (10 dB) does not end the run.  (A weak signal's noise,
  // within 20 dB of the level just after it ends, may still pass for a few
  // reversals: its run may reach up to a second into the silence.)
  static constexpr float kSteadyLow = 0.1f;
  static constexpr float kSteadyHigh = 4.0f;
  // Symbols below this multiple of the running level that are not steady
  // reversals, for at most kFadeBridgeSeconds in a row, are a fade of the
  // channel (their phase is the noise's): they neither continue the run nor
  // end it.  A longer silence, or any strong symbol that is not a reversal
  // (data, a carrier), ends it.
  static constexpr float kFadedLevel = 0.3f;
  static constexpr double kFadeBridgeSeconds = 0.5;
  // Symbols' phase changes must agree this well (mean vector length over
  // mean length) for the carrier to be trusted; else the stretch is skipped.
  static constexpr double kMinCoherence = 0.5;
  // Noise is measured within kNoiseSpan symbol rates of the carrier (no
  // wider, so that a station 90 Hz from a BPSK31 signal stays out of it), in
  // bins at least kNoiseGuardBins bins (0.98 Hz) from every tone, where a
  // Hann window leaks less than -70 dB of it, and in at least kMinNoiseBins
  // of them.
  static constexpr double kNoiseSpan = 2.0;
  static constexpr double kNoiseGuardBins = 8.0;
  static constexpr int kMinNoiseBins = 8;
  // Noise in a Hann window's bin over that in a rectangular window's: the sum
  // of the squared window over its sum squared, 3L/8 over (L/2)^2, against 1/L.
  static constexpr double kHannNoiseRatio = 1.5;
  // Neighbouring bins of a Hann window share noise (their amplitudes
  // correlate by 2/3, the next but one by 1/6): this many bins count as one
  // independent bin, 1 + 2 (2/3)^2 + 2 (1/6)^2.
  static constexpr double kHannBinDependence = 1.0 + 8.0 / 9.0 + 1.0 / 18.0;

  explicit IdleSegmenter(PskMode mode = PskMode::Bpsk31);
  // Forgets the signal: samples, symbols and idle runs (runs count from 1 again).
  void reset();
  // Ends the idle run in progress as if data had come: later stretches start
  // a new run and are not continuous (used when the receiver moves to another signal).
  void break_run();
  // samples: the next input samples; symbols: those the demodulator took
  // from them; mix_hz: its mixing frequency while it did.  segments() then
  // holds the stretches this call completed, oldest first.
  void process(std::span<const float> samples, std::span<const SymbolInfo> symbols, double mix_hz);

  const std::vector<IdleSegment>& segments() const { return segments_; }
  double baud() const { return baud_; }           // nominal symbol rate, symbols/s
  bool idle() const { return detector_.idle(); }  // an idle run is in progress
  int64_t samples() const { return samples_; }    // input samples since reset

 private:
  struct SymbolRecord {
    double position;        // instant, input samples
    double mix_hz;          // mixing frequency when taken, Hz
    std::complex<float> z;  // phase change from the previous symbol
    bool steady;            // its strength was steady
  };
  void on_symbol(const SymbolInfo& symbol, double mix_hz);
  bool analyse(int64_t start, IdleSegment& out);
  bool estimate_carrier(int64_t start, double& carrier_hz) const;
  double refine_carrier(double carrier_hz);  // the carrier, corrected from stretch_ itself
  // The tones of stretch_ about carrier c (Hz) under analyzer's window.
  void analyse_tones(ToneAnalyzer& analyzer, double c, IdleTones& out);
  // The noise of stretch_ about carrier c: power in one Hann bin and the
  // bins it was measured in; false if too few.
  bool measure_noise(double c, double& hann_noise, int& bins);

  double baud_;                         // nominal symbol rate, symbols/s
  double samples_per_symbol_;           // nominal, input samples
  int fade_bridge_;                     // weak symbols a run bridges (kFadeBridgeSeconds)
  int faded_ = 0;                       // weak symbols bridged in a row
  ToneAnalyzer hann_;                   // Hann-windowed DFT of one stretch
  ToneAnalyzer rect_;                   // rectangular-windowed DFT of one stretch
  ToneAnalyzer half_rect_;              // rectangular-windowed DFT of half a stretch
  std::unique_ptr<RealFft> noise_fft_;  // the whole stretch's spectrum, for its noise
  IdleDetector detector_;               // runs of reversals, as the demodulator finds them
  std::vector<float> ring_;             // last kHistory input samples
  int64_t samples_ = 0;                 // input samples since reset
  std::deque<SymbolRecord> recent_;     // symbols of the last kHistory samples
  int64_t run_ = 0;                     // idle run being cut into stretches (0: none)
  int64_t run_count_ = 0;               // idle runs numbered since reset
  int64_t runs_seen_ = 0;               // runs counted since reset (detector's count)
  int64_t next_start_ = 0;              // first sample of the run's next stretch
  bool gap_ = true;                     // the signal went away since the last stretch
  std::vector<float> stretch_;          // the stretch being analysed
  std::vector<IdleSegment> segments_;   // stretches completed by the last process()
};

}  // namespace psk
