// Soft-decision Viterbi decoder for the rate-1/2, K=5 code of QPSK.
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
  float best_ = 0.0f;                       // best path metric after the last symbol
  float last_gain_ = 0.0f;                  // best metric minus the previous best
  int64_t symbols_ = 0;                     // symbols processed since reset
};

}  // namespace psk
