// Varicode: the 256-entry table's structure and the bit-by-bit decoder.
#include "varicode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace psk {
namespace {

uint32_t value_of(std::string_view bits) {
  return std::stoul(std::string(bits), nullptr, 2);
}

bool valid_code(uint32_t v) {
  std::string s;
  for (; v; v >>= 1) s.insert(s.begin(), (v & 1) ? '1' : '0');
  return !s.empty() && s.back() == '1' && s.find("00") == std::string::npos;
}

TEST(Varicode, EveryCodeIsDistinctStartsAndEndsWithOneAndHoldsNoDoubleZero) {
  std::set<std::string> seen;
  for (int b = 0; b < 256; ++b) {
    const std::string bits(varicode_bits(static_cast<uint8_t>(b)));
    ASSERT_FALSE(bits.empty()) << b;
    EXPECT_EQ(bits.front(), '1') << b;
    EXPECT_EQ(bits.back(), '1') << b;
    EXPECT_EQ(bits.find("00"), std::string::npos) << b;
    EXPECT_LE(bits.size(), 12u) << b;
    EXPECT_TRUE(seen.insert(bits).second) << "duplicate code for byte " << b;
  }
  // With the "00" gap appended the words form a prefix-free code.
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b) {
      if (a == b) continue;
      const std::string wa = std::string(varicode_bits(a)) + "00";
      const std::string wb = std::string(varicode_bits(b)) + "00";
      ASSERT_NE(wb.rfind(wa, 0), 0u) << a << " is a prefix of " << b;
    }
}

TEST(Varicode, KnownAsciiCodes) {
  EXPECT_EQ(varicode_bits(' '), "1");
  EXPECT_EQ(varicode_bits('e'), "11");
  EXPECT_EQ(varicode_bits('t'), "101");
  EXPECT_EQ(varicode_bits('a'), "1011");
  EXPECT_EQ(varicode_bits('A'), "1111101");
  EXPECT_EQ(varicode_bits('\n'), "11101");
  EXPECT_EQ(varicode_bits('\r'), "11111");
  EXPECT_EQ(varicode_bits(0), "1010101011");
  EXPECT_EQ(varicode_bits(127), "1110110101");
}

TEST(Varicode, HighBytesTakeTheNextUnusedCodesInNumericalOrder) {
  // Bytes 128..255 ascend, and every valid code below the last one is taken.
  for (int b = 129; b < 256; ++b)
    EXPECT_GT(value_of(varicode_bits(b)), value_of(varicode_bits(b - 1))) << b;
  std::set<uint32_t> used;
  for (int b = 0; b < 256; ++b) used.insert(value_of(varicode_bits(b)));
  const uint32_t last = value_of(varicode_bits(255));
  for (uint32_t v = 1; v <= last; ++v)
    if (valid_code(v)) {
      EXPECT_TRUE(used.count(v)) << "unused code " << v;
    }
  // The first high byte takes the smallest code the ASCII table leaves free.
  uint32_t first_free = 1;
  std::set<uint32_t> ascii;
  for (int b = 0; b < 128; ++b) ascii.insert(value_of(varicode_bits(b)));
  while (!valid_code(first_free) || ascii.count(first_free)) ++first_free;
  EXPECT_EQ(value_of(varicode_bits(128)), first_free);
}

std::vector<int> decode(std::string_view bits) {
  VaricodeDecoder d;
  std::vector<int> out;
  for (char c : bits) {
    const int b = d.push(c == '1');
    if (b >= 0) out.push_back(b);
  }
  return out;
}

TEST(Varicode, RoundTripOfAllBytesInShuffledOrder) {
  std::vector<int> bytes(256);
  for (int b = 0; b < 256; ++b) bytes[b] = b;
  std::mt19937 rng(7);
  std::shuffle(bytes.begin(), bytes.end(), rng);
  std::string text;
  for (int b : bytes) text.push_back(static_cast<char>(b));
  const std::string bits = "0000" + varicode_encode(text) + "000";
  EXPECT_EQ(decode(bits), bytes);
}

TEST(Varicode, DecoderNeedsAGapBeforeItsFirstCharacterAndRejectsOverlongCodes) {
  // Joined in the middle of 'e' ("11"+"00"): no fragment, then 't'.
  EXPECT_EQ(decode("1"
                   "00"
                   "101"
                   "00"),
            std::vector<int>{'t'});
  // Thirteen ones are no code; the following 'a' still decodes.
  EXPECT_EQ(decode("00"
                   "1111111111111"
                   "00"
                   "1011"
                   "00"),
            std::vector<int>{'a'});
  // Long idle between characters neither prints nor loses sync.
  EXPECT_EQ(decode("00"
                   "11"
                   "0000000000"
                   "11"
                   "00"),
            (std::vector<int>{'e', 'e'}));
}

}  // namespace
}  // namespace psk
