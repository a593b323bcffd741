// The sound card's clock error from any received signal, text as well as
// idle.  The envelope of a PSK signal dips at every phase reversal, at the
// symbol instants, whatever the data; so |baseband|^2 holds a line at the
// symbol rate whose phase is the symbol timing.  Each chunk of kChunk
// samples gives that phase against the nominal symbol clock; over a track of
// continuous signal it drifts by (received rate - nominal rate) cycles a
// second, and a straight line fitted to it (weighted by the line's power,
// running sums) gives the clock error.  The fit's variance comes from the
// chunks' scatter about the line (chunks do not overlap, so their errors
// are independent).
//
// A chunk counts only while the signal is plainly there: the demodulator's
// phase changes in it sit on the mode's constellation (BPSK 0/180 degrees,
// QPSK multiples of 90), the mean of cos(m arg z), m = 2 or 4, at least
// kMinQuality.  A chunk that does not ends the track.  Chunks the caller
// marks as idle (measured better by the idle stretches) are left out of the
// fit while the track goes on.
#pragma once

#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include "modem/modes.h"
#include "modem/psk_demodulator.h"

namespace psk {

class SymbolTiming {
 public:
  static constexpr int kChunk = 8192;         // samples per timing phase
  static constexpr double kMinQuality = 0.6;  // mean cos(m arg z) of a kept chunk
  static constexpr int kMinChunkSymbols = 8;  // fewest symbols that judge a chunk
  static constexpr int kMinChunks = 8;        // chunks before a track gives a result

  struct Result {
    double ppm = 0;       // the track's clock error
    double variance = 0;  // ppm^2
    bool valid = false;   // enough chunks for a result
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
  void end_chunk();
  void end_track();

  double baud_;                             // nominal symbol rate, symbols/s
  int power_;                               // m: 2 for BPSK, 4 for QPSK
  std::vector<std::complex<double>> ring_;  // last half symbol of baseband samples
  size_t ring_pos_ = 0;                     // next slot of ring_
  std::complex<double> ring_sum_;           // sum of ring_ (a moving-average low-pass)
  std::complex<double> mixer_{1.0, 0.0};    // oscillator at the mixing frequency
  std::complex<double> clock_{1.0, 0.0};    // oscillator at the nominal symbol rate
  std::complex<double> line_;               // the chunk's symbol-rate line of the envelope
  double energy_ = 0;                       // the chunk's summed envelope
  int chunk_samples_ = 0;                   // samples in the chunk so far
  double quality_ = 0;                      // sum of cos(m arg z) over the chunk's symbols
  int symbols_ = 0;                         // symbols in the chunk
  bool chunk_idle_ = false;                 // part of the chunk was idle
  int64_t samples_ = 0;                     // input samples since reset
  // The track: weighted sums of t (s since reset), u (cycles, unwrapped).
  double w_ = 0, t_ = 0, u_ = 0, tt_ = 0, tu_ = 0, uu_ = 0;
  int chunks_ = 0;         // chunks in the fit
  bool in_track_ = false;  // a track is going on
  double last_u_ = 0;      // timing of the newest chunk, cycles (unwrapped)
  double last_t_ = 0;      // its time, s
  Result finished_;        // the last ended track's result, until taken
};

}  // namespace psk
