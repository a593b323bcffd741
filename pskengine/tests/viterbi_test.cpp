// Viterbi decoder: it undoes the encoder with a delay of kDepth symbols and
// corrects scattered symbol errors that a hard decision would keep.
#include "viterbi.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "conv_code.h"

namespace psk {
namespace {

std::array<float, 4> perfect_match(int output) {
  std::array<float, 4> m{};
  m.fill(-1.0f);
  m[static_cast<size_t>(output)] = 1.0f;
  return m;
}

std::vector<int> run(const std::vector<std::array<float, 4>>& matches) {
  ViterbiDecoder dec;
  std::vector<int> out;
  for (const auto& m : matches) {
    const int b = dec.process(m);
    if (b >= 0) out.push_back(b);
  }
  return out;
}

TEST(Viterbi, DecodesTheEncoderWithItsDelayAndCorrectsScatteredErrors) {
  std::mt19937 rng(5);
  std::vector<int> bits(2000);
  for (int& b : bits) b = static_cast<int>(rng() & 1u);
  ConvEncoder enc;
  std::vector<std::array<float, 4>> clean, damaged;
  for (int b : bits) clean.push_back(perfect_match(enc.push(b)));
  damaged = clean;
  int flipped = 0;
  for (size_t i = 40; i < damaged.size(); i += 23) {  // one wrong symbol in 23
    const int good = static_cast<int>(std::max_element(damaged[i].begin(), damaged[i].end()) -
                                      damaged[i].begin());
    damaged[i] = perfect_match((good + 1 + static_cast<int>(rng() % 3)) & 3);
    ++flipped;
  }
  ASSERT_GT(flipped, 80);
  for (const auto* input : {&clean, &damaged}) {
    const auto out = run(*input);
    ASSERT_EQ(out.size(), bits.size() - ViterbiDecoder::kDepth + 1);
    // The first decided bit is the first data bit (the path starts in any state).
    int errors = 0;
    for (size_t i = 0; i < out.size(); ++i) errors += out[i] != bits[i];
    EXPECT_EQ(errors, 0) << (input == &clean ? "clean" : "damaged");
  }
}

TEST(Viterbi, GainIsLowerForTheWrongSense) {
  // Matches for the mirrored constellation (90 and 270 degrees swapped) fit
  // no code path as well: the best path's gain per symbol drops.
  std::mt19937 rng(6);
  ConvEncoder enc;
  ViterbiDecoder right, wrong;
  double gain_right = 0, gain_wrong = 0;
  for (int i = 0; i < 1000; ++i) {
    const int out = enc.push(static_cast<int>(rng() & 1u));
    const int turns = kQuarterTurnsOfOutput[static_cast<size_t>(out)];
    const int mirrored_turns = (4 - turns) & 3;
    int mirrored_output = 0;
    while (kQuarterTurnsOfOutput[static_cast<size_t>(mirrored_output)] != mirrored_turns)
      ++mirrored_output;
    right.process(perfect_match(out));
    wrong.process(perfect_match(mirrored_output));
    if (i >= 100) {
      gain_right += right.last_gain();
      gain_wrong += wrong.last_gain();
    }
  }
  EXPECT_NEAR(gain_right / 900, 1.0, 1e-6);
  EXPECT_LT(gain_wrong / 900, 0.9);
}

}  // namespace
}  // namespace psk
