#include "coding/varicode.h"

#include <array>
#include <string>

namespace psk {
namespace {

// Classic Varicode for bytes 0..127.
constexpr std::array<const char*, 128> kAscii{
    "1010101011", "1011011011", "1011101101", "1101110111", "1011101011", "1101011111",
    "1011101111", "1011111101", "1011111111", "11101111",   "11101",      "1101101111",
    "1011011101", "11111",      "1101110101", "1110101011", "1011110111", "1011110101",
    "1110101101", "1110101111", "1101011011", "1101101011", "1101101101", "1101010111",
    "1101111011", "1101111101", "1110110111", "1101010101", "1101011101", "1110111011",
    "1011111011", "1101111111", "1",          "111111111",  "101011111",  "111110101",
    "111011011",  "1011010101", "1010111011", "101111111",  "11111011",   "11110111",
    "101101111",  "111011111",  "1110101",    "110101",     "1010111",    "110101111",
    "10110111",   "10111101",   "11101101",   "11111111",   "101110111",  "101011011",
    "101101011",  "110101101",  "110101011",  "110110111",  "11110101",   "110111101",
    "111101101",  "1010101",    "111010111",  "1010101111", "1010111101", "1111101",
    "11101011",   "10101101",   "10110101",   "1110111",    "11011011",   "11111101",
    "101010101",  "1111111",    "111111101",  "101111101",  "11010111",   "10111011",
    "11011101",   "10101011",   "11010101",   "111011101",  "10101111",   "1101111",
    "1101101",    "101010111",  "110110101",  "101011101",  "101110101",  "101111011",
    "1010101101", "111110111",  "111101111",  "111111011",  "1010111111", "101101101",
    "1011011111", "1011",       "1011111",    "101111",     "101101",     "11",
    "111101",     "1011011",    "101011",     "1101",       "111101011",  "10111111",
    "11011",      "111011",     "1111",       "111",        "111111",     "110111111",
    "10101",      "10111",      "101",        "110111",     "1111011",    "1101011",
    "11011111",   "1011101",    "111010101",  "1010110111", "110111011",  "1010110101",
    "1011010111", "1110110101"};

constexpr int kMaxBits = 12;  // the longest code of the extended table

bool is_code(uint32_t v) {
  // A code starts with 1 (v > 0), ends with 1 and holds no "00".
  if (v == 0 || (v & 1u) == 0) return false;
  for (uint32_t x = v; x > 1; x >>= 1)
    if ((x & 3u) == 0) return false;
  return true;
}

std::string to_bits(uint32_t v) {
  std::string s;
  for (; v; v >>= 1) s.insert(s.begin(), (v & 1u) ? '1' : '0');
  return s;
}

struct Tables {
  std::array<std::string, 256> bits;           // code of each byte
  std::array<int16_t, 1 << kMaxBits> byte_of;  // code value (leading 1 included) -> byte, -1 none
  Tables() {
    byte_of.fill(-1);
    for (int b = 0; b < 128; ++b) {
      bits[b] = kAscii[b];
      byte_of[std::stoul(bits[b], nullptr, 2)] = static_cast<int16_t>(b);
    }
    int next = 128;
    for (uint32_t v = 1; v < byte_of.size() && next < 256; ++v) {
      if (!is_code(v) || byte_of[v] >= 0) continue;
      bits[next] = to_bits(v);
      byte_of[v] = static_cast<int16_t>(next++);
    }
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

}  // namespace

std::string_view varicode_bits(uint8_t byte) {
  return tables().bits[byte];
}

std::string varicode_encode(std::string_view text) {
  std::string out;
  for (char c : text) {
    out += varicode_bits(static_cast<uint8_t>(c));
    out += "00";
  }
  return out;
}

void VaricodeDecoder::reset() {
  code_ = 0;
  length_ = 0;
  zeros_ = 0;
  synced_ = false;
}

int VaricodeDecoder::push(int bit) {
  // length_ counts every bit since the last gap (capped); code_ holds them
  // while they can still form a code.
  if (length_ < 64) ++length_;
  if (length_ <= kMaxBits + 2) code_ = (code_ << 1) | (bit ? 1u : 0u);
  if (bit) {
    zeros_ = 0;
    return -1;
  }
  if (++zeros_ == 1) return -1;
  if (zeros_ > 2) {  // a longer gap (idle) ends nothing new
    length_ = 0;
    code_ = 0;
    return -1;
  }
  // "00": the code is what came before the two zeros.
  int result = -1;
  const int code_length = length_ - 2;
  if (synced_ && code_length >= 1 && code_length <= kMaxBits) {
    result = tables().byte_of[code_ >> 2];
  }
  synced_ = true;
  code_ = 0;
  length_ = 0;
  return result;
}

}  // namespace psk
