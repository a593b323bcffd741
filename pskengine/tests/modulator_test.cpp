// Modulator: QPSK phases worked out by hand, idle spectrum, clock error.
#include "modem/modulator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "test_signal.h"

namespace psk {
namespace {

using cd = std::complex<double>;
constexpr double kPi = std::numbers::pi;

// Complex amplitude of the f Hz tone in x[from, to).
cd tone(const std::vector<float>& x, double f, long from, long to) {
  cd acc{0, 0};
  for (long i = from; i < to; ++i)
    acc +=
        static_cast<double>(x[i]) * std::polar(1.0, -2 * kPi * f * static_cast<double>(i) / 8000.0);
  return acc * (2.0 / static_cast<double>(to - from));
}

// Phase changes (quarter turns) between consecutive symbol peaks of a 1000 Hz
// carrier, each peak within 2 % of full amplitude.
std::vector<int> phase_changes(const std::vector<float>& x, double sps, int symbols) {
  std::vector<int> out;
  cd prev = tone(x, 1000.0, std::lround(sps) - 8, std::lround(sps) + 8);  // peak of symbol 0
  for (int k = 1; k < symbols; ++k) {
    const long peak = std::lround((k + 1) * sps);
    const cd cur = tone(x, 1000.0, peak - 8, peak + 8);
    EXPECT_NEAR(std::abs(cur), 1.0, 0.02) << "symbol " << k;
    out.push_back(static_cast<int>(std::lround(std::arg(cur * std::conj(prev)) / (kPi / 2) + 4)) &
                  3);
    prev = cur;
  }
  return out;
}

TEST(Modulator, QpskPhasesFollowTheCodedOutputs) {
  PskModulator mod(PskMode::Qpsk63, 1000.0);
  mod.append_carrier(6);  // ones fill the register: 00001 ... 11111
  mod.append_idle(6);     // zeros walk in: 11110, 11100, 11000, 10000, 00000
  // Outputs (register & 0x19, & 0x17 parities) from symbol 1 on: 00011->2,
  // 00111->3, 01111->1, 11111->2, 11111->2, 11110->1, 11100->0, 11000->1,
  // 10000->3, 00000->0; outputs 0..3 turn by 180, 270, 0, 90 degrees:
  EXPECT_EQ(phase_changes(test::render_all(mod), 128.0, 11),
            (std::vector<int>{0, 1, 3, 0, 0, 3, 2, 3, 1, 2}));
}

// Tones of amplitude 0.5 at +-baud/2, nothing at the carrier or products.
TEST(Modulator, IdleIsTwoTonesAtHalfTheBaudRate) {
  for (PskMode mode : {PskMode::Bpsk31, PskMode::Qpsk125}) {
    PskModulator mod(mode, 1000.0);
    mod.append_idle(400);
    auto x = test::render_all(mod);
    x.erase(x.begin(), x.begin() + 8000);  // past the key-up
    const double baud = mode_info(mode).baud;
    auto power = [&](double f) { return std::norm(tone(x, f, 0, static_cast<long>(x.size()))); };
    EXPECT_NEAR(power(1000.0 - baud / 2), 0.25, 0.01) << mode_info(mode).name;
    EXPECT_NEAR(power(1000.0 + baud / 2), 0.25, 0.01) << mode_info(mode).name;
    EXPECT_LT(power(1000.0), 1e-6) << mode_info(mode).name;
    EXPECT_LT(power(1000.0 + 1.5 * baud), 1e-6) << mode_info(mode).name;
    const float peak = std::abs(*std::max_element(
        x.begin(), x.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); }));
    EXPECT_LE(peak, 1.0f);
    EXPECT_GT(peak, 0.99f);
  }
}

TEST(Modulator, ClockErrorStretchesTheSymbolsAndDoneReportsTheEnd) {
  PskModulator mod(PskMode::Bpsk125, 1500.0, 8000.0 * (1 + 300e-6));
  mod.append_idle(1000);
  EXPECT_FALSE(mod.done());
  EXPECT_EQ(static_cast<double>(test::render_all(mod).size()), std::ceil(1000 * 64 * (1 + 300e-6)));
  EXPECT_TRUE(mod.done());
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
