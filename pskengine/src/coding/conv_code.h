// The rate-1/2, constraint-length-5 convolutional code of QPSK and the phase
// change that each of its outputs sends.
#pragma once

#include <array>
#include <cstdint>

namespace psk {

constexpr int kConvStates = 16;        // 2^(K-1) encoder states
constexpr uint32_t kConvPoly1 = 0x19;  // taps of output bit 1
constexpr uint32_t kConvPoly0 = 0x17;  // taps of output bit 0

// Output 0..3 of the 5-bit register (newest data bit in bit 0).
constexpr int conv_output(uint32_t reg) {
  auto parity = [](uint32_t v) {
    int p = 0;
    for (; v; v >>= 1) p ^= static_cast<int>(v & 1u);
    return p;
  };
  return (parity(reg & kConvPoly1) << 1) | parity(reg & kConvPoly0);
}

// Phase change of the carrier A*cos(2*pi*f*t + phi), in quarter turns
// (counter-clockwise), for each encoder output: 180, 270, 0 and 90 degrees.
constexpr std::array<int, 4> kQuarterTurnsOfOutput{2, 3, 0, 1};

class ConvEncoder {
 public:
  ConvEncoder() = default;
  void reset() { reg_ = 0; }
  // Shifts one data bit in; returns the output 0..3.
  int push(int bit) {
    reg_ = ((reg_ << 1) | (bit ? 1u : 0u)) & 0x1Fu;
    return conv_output(reg_);
  }

 private:
  uint32_t reg_ = 0;  // the last five data bits, newest in bit 0
};

}  // namespace psk
