// Soft-decision Viterbi decoders for the rate-1/2, K=5 code of QPSK: one for
// phase changes (symbols detected differentially), one for symbols measured
// against a carrier reference, which follows the code and the carrier phase
// together.
#pragma once

#include <array>
#include <cstdint>

#include "coding/conv_code.h"

namespace psk {

class ViterbiDecoder {
 public:
  static constexpr int kDepth = 32;  // decision delay, symbols

  ViterbiDecoder() { reset(); }
  void reset();
  // Takes the match of one received symbol with each code output 0..3
  // (higher is better, e.g. a correlation); returns the data bit decided
  // kDepth symbols ago, or -1 while the first kDepth symbols fill the path.
  int process(const std::array<float, 4>& match);

  float last_gain() const { return last_gain_; }  // best path's metric gain at the last symbol
  int64_t symbols() const { return symbols_; }    // symbols processed since reset

 private:
  std::array<float, kConvStates> metric_;   // path metric per state (higher is better)
  std::array<uint64_t, kConvStates> path_;  // decided bits per state, newest in bit 0
  float last_gain_ = 0.0f;                  // best metric minus the previous best
  int64_t symbols_ = 0;                     // symbols processed since reset
};

// Each state is the encoder state and the carrier phase in quarter turns, so
// the phase changes that carry the code are tracked through the absolute
// phases of the symbols: one badly received symbol then disturbs the two
// changes it belongs to as one soft error, not two confident ones.  The
// starting phase is unknown, as is the encoder state.  A reference that
// slips by a quarter turn is followed at a cost: the phase parity is tied to
// the encoder state, so without that the path could never recover.
class PhaseTrellisDecoder {
 public:
  static constexpr int kDepth = ViterbiDecoder::kDepth;  // decision delay, symbols
  static constexpr int kStates = kConvStates * 4;        // encoder states times phases

  // slip_penalty: metric cost of a quarter-turn slip of the carrier
  // reference, in the units of the matches.
  explicit PhaseTrellisDecoder(float slip_penalty = 2.0f);
  void reset();
  // Takes the match of one received symbol with the carrier at 0, 90, 180
  // and 270 degrees (e.g. the real part of the symbol turned back by each);
  // returns the data bit decided kDepth symbols ago, or -1 while the path fills.
  int process(const std::array<float, 4>& match);

  float last_gain() const { return last_gain_; }  // best path's metric gain at the last symbol

 private:
  std::array<float, kStates> metric_;   // path metric per state (higher is better)
  std::array<uint64_t, kStates> path_;  // decided bits per state, newest in bit 0
  float slip_penalty_;                  // cost of a quarter-turn slip, match units
  float last_gain_ = 0.0f;              // best metric minus the previous best
  int64_t symbols_ = 0;                 // symbols processed since reset
};

}  // namespace psk
