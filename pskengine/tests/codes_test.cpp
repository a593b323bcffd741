// Varicode and the Viterbi decoders of the QPSK convolutional code.
#include <gtest/gtest.h>

#include <algorithm>
#include <complex>
#include <random>
#include <string>
#include <vector>

#include "coding/conv_code.h"
#include "coding/varicode.h"
#include "coding/viterbi.h"

namespace psk {
namespace {

uint32_t value_of(std::string_view bits) {
  return std::stoul(std::string(bits), nullptr, 2);
}

// Decodes a bit string (spaces ignored) into bytes.
std::vector<int> decode(std::string_view bits) {
  VaricodeDecoder d;
  std::vector<int> out;
  for (char c : bits) {
    if (c == ' ') continue;
    if (const int b = d.push(c == '1'); b >= 0) out.push_back(b);
  }
  return out;
}

// Bytes 128..255 take the codes (1 at both ends, no "00") that ASCII leaves unused, in ascending
// order from the first one free; the high codes below follow from that rule.
TEST(Varicode, AsciiCodesAreTheStandardOnesAndHighBytesTakeTheNextUnusedInOrder) {
  const std::pair<int, const char*> known[] = {
      {' ', "1"},           {'e', "11"},           {'t', "101"},         {'a', "1011"},
      {'A', "1111101"},     {'\n', "11101"},       {'\r', "11111"},      {0, "1010101011"},
      {127, "1110110101"},  {128, "1110111101"},   {129, "1110111111"},  {130, "1111010101"},
      {200, "11101011011"}, {254, "101101010111"}, {255, "101101011011"}};
  for (auto [byte, bits] : known) EXPECT_EQ(varicode_bits(byte), bits) << byte;
  for (int b = 129; b < 256; ++b)
    EXPECT_GT(value_of(varicode_bits(b)), value_of(varicode_bits(b - 1))) << b;
}

TEST(Varicode, AllBytesRoundTripAndTheDecoderNeedsAGapFirstAndRejectsOverlongCodes) {
  std::vector<int> bytes(256);
  for (int b = 0; b < 256; ++b) bytes[b] = b;
  std::shuffle(bytes.begin(), bytes.end(), std::mt19937(7));
  EXPECT_EQ(decode("0000" + varicode_encode(std::string(bytes.begin(), bytes.end())) + "000"),
            bytes);
  EXPECT_EQ(decode("1 00 101 00"), std::vector<int>{'t'});  // joined in the middle of 'e'
  EXPECT_EQ(decode("00 1111111111111 00 1011 00"), std::vector<int>{'a'});    // 13 ones: no code
  EXPECT_EQ(decode("00 11 0000000000 11 00"), (std::vector<int>{'e', 'e'}));  // long idle between
}

std::array<float, 4> perfect_match(int output) {
  std::array<float, 4> m;
  m.fill(-1.0f);
  m[static_cast<size_t>(output)] = 1.0f;
  return m;
}

TEST(Viterbi, DecodesTheEncoderWithItsDelayAndCorrectsScatteredErrors) {
  std::mt19937 rng(5);
  std::vector<int> bits(2000);
  for (int& b : bits) b = static_cast<int>(rng() & 1u);
  ConvEncoder enc;
  std::vector<int> clean;
  for (int b : bits) clean.push_back(enc.push(b));
  std::vector<int> damaged = clean;
  for (size_t i = 40; i < damaged.size(); i += 23)  // one wrong symbol in 23
    damaged[i] = (damaged[i] + 1 + static_cast<int>(rng() % 3)) & 3;
  for (const auto* outputs : {&clean, &damaged}) {
    ViterbiDecoder dec;
    std::vector<int> out;
    for (int o : *outputs)
      if (const int b = dec.process(perfect_match(o)); b >= 0) out.push_back(b);
    // The first decided bit is the first data bit (the path starts in any state).
    ASSERT_EQ(out.size(), bits.size() - ViterbiDecoder::kDepth + 1);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), bits.begin()))
        << (outputs == &clean ? "clean" : "damaged");
  }
}

// The mirrored constellation (90 and 270 degrees swapped) fits no code path as well.
TEST(Viterbi, GainIsLowerForTheWrongSense) {
  std::mt19937 rng(6);
  ConvEncoder enc;
  ViterbiDecoder right, wrong;
  double gain_right = 0, gain_wrong = 0;
  for (int i = 0; i < 1000; ++i) {
    const int out = enc.push(static_cast<int>(rng() & 1u));
    const int mirrored_turns = (4 - kQuarterTurnsOfOutput[static_cast<size_t>(out)]) & 3;
    int mirrored = 0;
    while (kQuarterTurnsOfOutput[static_cast<size_t>(mirrored)] != mirrored_turns) ++mirrored;
    right.process(perfect_match(out));
    wrong.process(perfect_match(mirrored));
    if (i >= 100) gain_right += right.last_gain(), gain_wrong += wrong.last_gain();
  }
  EXPECT_NEAR(gain_right / 900, 1.0, 1e-6);
  EXPECT_LT(gain_wrong / 900, 0.9);
}

// Symbols at their absolute phases (any starting phase) with Gaussian noise at
// Es/N0 = 7 dB, the reference slipping a quarter turn either way or not at
// all: the data comes out, errors only within 8 bits of the slip (at most 2).
TEST(PhaseTrellis, DecodesAbsolutePhasesFromAnyStartAndFollowsAQuarterTurnSlip) {
  struct Case {
    int start;  // quarter turns of the first symbol's carrier
    int slip;   // quarter turns the reference slips by at symbol 1000
  };
  for (const Case c : {Case{0, 0}, Case{1, 1}, Case{2, -1}, Case{3, 2}}) {
    std::mt19937 rng(static_cast<uint32_t>(10 + c.start));
    std::normal_distribution<float> noise(0.0f, 0.32f);
    ConvEncoder enc;
    PhaseTrellisDecoder dec;
    std::vector<int> bits, out;
    int phase = c.start;
    for (int i = 0; i < 2000; ++i) {
      bits.push_back(static_cast<int>(rng() & 1u));
      phase += kQuarterTurnsOfOutput[static_cast<size_t>(enc.push(bits.back()))];
      const int seen = (phase + (i >= 1000 ? c.slip : 0)) & 3;
      const std::complex<float> y =
          std::polar(1.0f, seen * 1.5707964f) + std::complex<float>(noise(rng), noise(rng));
      if (const int b = dec.process({y.real(), y.imag(), -y.real(), -y.imag()}); b >= 0)
        out.push_back(b);
    }
    ASSERT_EQ(out.size(), bits.size() - PhaseTrellisDecoder::kDepth + 1);
    int errors = 0, far = 0;
    for (size_t i = 0; i < out.size(); ++i) {
      if (out[i] == bits[i]) continue;
      ++errors;
      far += std::abs(static_cast<int>(i) - 1000) > 8;
    }
    EXPECT_EQ(far, 0) << "start " << c.start << " slip " << c.slip;
    EXPECT_LE(errors, 2) << "start " << c.start << " slip " << c.slip;
  }
}

}  // namespace
}  // namespace psk
