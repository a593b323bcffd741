// Modulator: phases at the symbol peaks, the idle spectrum, the convolutional
// code and the clock-error rendering.  Phases are read by correlating the
// output with the carrier over 2 carrier cycles around each symbol peak
// (within 2 % of the peak amplitude).
#include "modulator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "conv_code.h"
#include "test_signal.h"
#include "varicode.h"

namespace psk {
namespace {

using cd = std::complex<double>;
constexpr double kPi = std::numbers::pi;

// Baseband value around sample n of a 1000 Hz carrier (period 8 samples).
cd baseband_at(const std::vector<float>& x, long n) {
  cd acc{0, 0};
  for (long i = n - 8; i < n + 8; ++i) {
    const double th = 2 * kPi * 1000.0 * static_cast<double>(i) / 8000.0;
    acc += static_cast<double>(x[i]) * cd(std::cos(th), -std::sin(th));
  }
  return acc * (2.0 / 16.0);
}

// Phase changes, in quarter turns, between the peaks of consecutive symbols.
std::vector<int> phase_changes(const std::vector<float>& x, double sps, int symbols) {
  std::vector<int> out;
  cd prev = baseband_at(x, static_cast<long>(std::lround(sps)));  // peak of symbol 0
  for (int k = 1; k < symbols; ++k) {
    const cd cur = baseband_at(x, static_cast<long>(std::lround((k + 1) * sps)));
    EXPECT_NEAR(std::abs(cur), 1.0, 0.02) << "symbol " << k;
    const double turns = std::arg(cur * std::conj(prev)) / (kPi / 2);
    out.push_back(static_cast<int>(std::lround(turns + 4)) & 3);
    prev = cur;
  }
  return out;
}

TEST(ConvCode, ImpulseResponseFollowsThePolynomials) {
  // A single 1 walking through the register: parities with 0x19 and 0x17.
  ConvEncoder enc;
  std::vector<int> out;
  for (int bit : {1, 0, 0, 0, 0, 0}) out.push_back(enc.push(bit));
  EXPECT_EQ(out, (std::vector<int>{3, 1, 1, 2, 3, 0}));
  // Outputs 0..3 turn the phase by 180, 270, 0 and 90 degrees.
  EXPECT_EQ(kQuarterTurnsOfOutput, (std::array<int, 4>{2, 3, 0, 1}));
}

TEST(Modulator, BpskPhasesFollowTheVaricodeBits) {
  PskModulator mod(PskMode::Bpsk31, 1000.0);
  mod.append_idle(4);
  mod.append_text("Hi");
  mod.append_carrier(2);
  const auto x = test::render_all(mod);
  const std::string bits = "0000" + varicode_encode("Hi") + "11";
  ASSERT_EQ(x.size(), bits.size() * 256);
  const auto changes = phase_changes(x, 256.0, static_cast<int>(bits.size()) - 1);
  for (size_t k = 0; k < changes.size(); ++k)
    EXPECT_EQ(changes[k], bits[k + 1] == '1' ? 0 : 2) << "symbol " << k + 1;
}

TEST(Modulator, QpskPhasesFollowTheCodedOutputs) {
  PskModulator mod(PskMode::Qpsk63, 1000.0);
  mod.append_carrier(6);  // ones fill the register: 00001 ... 11111
  mod.append_idle(6);     // zeros walk in: 11110, 11100, 11000, 10000, 00000
  const auto x = test::render_all(mod);
  const auto changes = phase_changes(x, 128.0, 11);
  // Outputs by hand (register & 0x19, & 0x17 parities), from symbol 1 on:
  // 00011->2, 00111->3, 01111->1, 11111->2, 11111->2, 11110->1, 11100->0,
  // 11000->1, 10000->3, 00000->0; in quarter turns:
  const std::vector<int> want{0, 1, 3, 0, 0, 3, 2, 3, 1, 2};
  EXPECT_EQ(changes, want);
}

TEST(Modulator, IdleIsTwoTonesAtHalfTheBaudRate) {
  for (PskMode mode : {PskMode::Bpsk31, PskMode::Qpsk125}) {
    PskModulator mod(mode, 1000.0);
    mod.append_idle(400);
    auto x = test::render_all(mod);
    const double baud = mode_info(mode).baud;
    x.erase(x.begin(), x.begin() + 8000);  // past the key-up
    auto tone = [&](double f) {
      cd acc{0, 0};
      for (size_t i = 0; i < x.size(); ++i) {
        const double th = 2 * kPi * f * static_cast<double>(i) / 8000.0;
        acc += static_cast<double>(x[i]) * cd(std::cos(th), -std::sin(th));
      }
      return std::norm(acc * (2.0 / static_cast<double>(x.size())));
    };
    const double lower = tone(1000.0 - baud / 2), upper = tone(1000.0 + baud / 2);
    EXPECT_NEAR(lower, 0.25, 0.01) << mode_info(mode).name;  // two tones of amplitude 0.5
    EXPECT_NEAR(upper, 0.25, 0.01) << mode_info(mode).name;
    EXPECT_LT(tone(1000.0), 1e-6) << mode_info(mode).name;
    EXPECT_LT(tone(1000.0 + 1.5 * baud), 1e-6) << mode_info(mode).name;  // no distortion
    float peak = 0;
    for (float v : x) peak = std::max(peak, std::fabs(v));
    EXPECT_LE(peak, 1.0f);
    EXPECT_GT(peak, 0.99f);
  }
}

TEST(Modulator, ClockErrorStretchesTheSymbolsAndDoneReportsTheEnd) {
  const double ppm = 300;
  PskModulator mod(PskMode::Bpsk125, 1500.0, 8000.0 * (1 + ppm * 1e-6));
  mod.append_idle(1000);
  EXPECT_FALSE(mod.done());
  const auto x = test::render_all(mod);
  EXPECT_TRUE(mod.done());
  EXPECT_EQ(static_cast<double>(x.size()), std::ceil(1000 * 64 * (1 + ppm * 1e-6)));
  float more[16];
  EXPECT_EQ(mod.render(more), 0u);
  mod.append_carrier(1);  // more can be queued after the end
  EXPECT_FALSE(mod.done());
  EXPECT_EQ(mod.render(more), 16u);
  mod.reset();
  EXPECT_TRUE(mod.done());
}

}  // namespace
}  // namespace psk
