#include "coding/viterbi.h"

#include <algorithm>
#include <limits>

namespace psk {
namespace {

// Code output for each (state, input bit): state = last four bits, newest in bit 0.
struct Trellis {
  std::array<std::array<uint8_t, 2>, kConvStates> output;
  Trellis() {
    for (uint32_t s = 0; s < kConvStates; ++s)
      for (uint32_t u = 0; u < 2; ++u)
        output[s][u] = static_cast<uint8_t>(conv_output(((s << 1) | u) & 0x1Fu));
  }
};

const Trellis& trellis() {
  static const Trellis t;
  return t;
}

}  // namespace

void ViterbiDecoder::reset() {
  // The encoder starts from an unknown state: all states equally likely.
  metric_.fill(0.0f);
  path_.fill(0);
  last_gain_ = 0.0f;
  symbols_ = 0;
}

int ViterbiDecoder::process(const std::array<float, 4>& match) {
  const Trellis& t = trellis();
  std::array<float, kConvStates> next_metric;
  std::array<uint64_t, kConvStates> next_path;
  float best = -std::numeric_limits<float>::infinity();
  int best_state = 0;
  for (uint32_t ns = 0; ns < kConvStates; ++ns) {
    const uint32_t u = ns & 1u;
    const uint32_t p0 = ns >> 1, p1 = (ns >> 1) | 8u;  // predecessors differ in the oldest bit
    const float m0 = metric_[p0] + match[t.output[p0][u]];
    const float m1 = metric_[p1] + match[t.output[p1][u]];
    const bool take1 = m1 > m0;
    next_metric[ns] = take1 ? m1 : m0;
    next_path[ns] = ((take1 ? path_[p1] : path_[p0]) << 1) | u;
    if (next_metric[ns] > best) {
      best = next_metric[ns];
      best_state = static_cast<int>(ns);
    }
  }
  // Keep the metrics small: subtract the best one.
  for (uint32_t s = 0; s < kConvStates; ++s) metric_[s] = next_metric[s] - best;
  path_ = next_path;
  last_gain_ = best;  // the previous best was brought to 0
  ++symbols_;
  if (symbols_ < kDepth) return -1;
  return static_cast<int>((path_[static_cast<size_t>(best_state)] >> (kDepth - 1)) & 1u);
}

PhaseTrellisDecoder::PhaseTrellisDecoder(float slip_penalty) : slip_penalty_(slip_penalty) {
  reset();
}

void PhaseTrellisDecoder::reset() {
  metric_.fill(0.0f);
  path_.fill(0);
  last_gain_ = 0.0f;
  symbols_ = 0;
}

int PhaseTrellisDecoder::process(const std::array<float, 4>& match) {
  // State index: encoder state * 4 + phase.
  const Trellis& t = trellis();
  std::array<float, kStates> next_metric;
  next_metric.fill(-std::numeric_limits<float>::infinity());
  std::array<uint64_t, kStates> next_path{};
  for (uint32_t s = 0; s < kConvStates; ++s) {
    for (uint32_t u = 0; u < 2; ++u) {
      const uint32_t ns = ((s << 1) | u) & (kConvStates - 1);
      const int turn = kQuarterTurnsOfOutput[t.output[s][u]];
      for (int p = 0; p < 4; ++p) {
        const size_t from = s * 4 + static_cast<size_t>(p);
        // The code's own turn, or a quarter turn more or less at a cost:
        // the carrier reference slipped.
        for (int slip = -1; slip <= 1; ++slip) {
          const int np = (p + turn + slip) & 3;
          const size_t to = ns * 4 + static_cast<size_t>(np);
          const float m =
              metric_[from] + match[static_cast<size_t>(np)] - (slip == 0 ? 0.0f : slip_penalty_);
          if (m > next_metric[to]) {
            next_metric[to] = m;
            next_path[to] = (path_[from] << 1) | u;
          }
        }
      }
    }
  }
  size_t best_state = 0;
  for (size_t i = 1; i < kStates; ++i)
    if (next_metric[i] > next_metric[best_state]) best_state = i;
  const float best = next_metric[best_state];
  for (size_t i = 0; i < kStates; ++i) metric_[i] = next_metric[i] - best;
  path_ = next_path;
  last_gain_ = best;
  ++symbols_;
  if (symbols_ < kDepth) return -1;
  return static_cast<int>((path_[best_state] >> (kDepth - 1)) & 1u);
}

}  // namespace psk
