// AFC pull-in, hold on noise, limit and off; signal level and squelch.
// Fixed seeds; tolerances are in each test's first line.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "psk_demodulator.h"
#include "test_signal.h"

namespace psk {
namespace {

constexpr size_t kBlock = 400;  // 50 ms blocks

// AFC from 25 Hz off at 10 dB SNR (BPSK31): within 1 Hz of the carrier
// after 2 s, and still within 1 Hz for the rest of 20 s, either side.
TEST(Afc, PullsInFrom25HzWithinTwoSecondsAndStays) {
  for (double offset : {25.0, -25.0}) {
    test::SignalSpec spec;
    spec.carrier_hz = 1500.0 + offset;
    spec.lead_idle = 0;
    spec.text = "Pull-in test: the AFC must find this signal quickly and keep it. 73";
    auto x = test::make_signal(spec);
    x.resize(20 * 8000, 0.0f);
    const double power = test::mean_power(std::span<const float>(x).first(8000 * 4));
    test::add_noise(x, power, 10.0, 21);
    PskDemodulator demod(PskMode::Bpsk31, 1500.0);
    demod.set_afc_limit(500);
    double worst_after_2s = 0;
    for (size_t i = 0; i < x.size(); i += kBlock) {
      demod.process(std::span<const float>(x).subspan(i, std::min(kBlock, x.size() - i)));
      const double t = static_cast<double>(i + kBlock) / 8000.0;
      if (t >= 2.0)  // the signal lasts past the 20 s
        worst_after_2s = std::max(worst_after_2s, std::abs(demod.frequency() - spec.carrier_hz));
    }
    EXPECT_LT(worst_after_2s, 1.0) << "offset " << offset;
  }
}

// Noise alone for 60 s: the AFC moves the frequency by less than 5 Hz.
TEST(Afc, HoldsOnNoiseAlone) {
  for (PskMode mode : {PskMode::Bpsk31, PskMode::Qpsk125}) {
    const auto noise = test::make_noise(60 * 8000, 0.25, 31);
    PskDemodulator demod(mode, 1500.0);
    demod.set_afc_limit(500);
    double furthest = 0;
    for (size_t i = 0; i < noise.size(); i += kBlock) {
      demod.process(std::span<const float>(noise).subspan(i, kBlock));
      furthest = std::max(furthest, std::abs(demod.frequency() - 1500.0));
    }
    EXPECT_LT(furthest, 5.0) << mode_info(mode).name;
  }
}

// AFC off: the frequency never moves, even with a signal 10 Hz away; a limit
// keeps the AFC within that many Hz of the frequency set; switching AFC off
// holds the frequency reached.
TEST(Afc, OffNeverMovesAndTheLimitBoundsIt) {
  test::SignalSpec spec;
  spec.carrier_hz = 1510.0;
  spec.text = "steady";
  auto x = test::make_signal(spec);
  test::add_noise(x, test::mean_power(x), 20.0, 41);
  PskDemodulator off(PskMode::Bpsk31, 1500.0);
  off.set_afc_limit(0);
  PskDemodulator limited(PskMode::Bpsk31, 1500.0);
  limited.set_afc_limit(4);
  for (size_t i = 0; i < x.size(); i += kBlock) {
    const auto block = std::span<const float>(x).subspan(i, std::min(kBlock, x.size() - i));
    off.process(block);
    limited.process(block);
    ASSERT_EQ(off.frequency(), 1500.0);
    ASSERT_LE(std::abs(limited.frequency() - 1500.0), 4.0);
  }
  EXPECT_EQ(limited.frequency(), 1504.0);  // pushed against its limit

  // Switching AFC off holds the frequency the AFC reached.
  limited.set_afc_limit(0);
  EXPECT_EQ(limited.frequency(), 1504.0);
  limited.process(x);
  EXPECT_EQ(limited.frequency(), 1504.0);
}

// Retuning: set_frequency keeps 100..3000 Hz and the AFC starts from there.
TEST(Afc, SetFrequencyIsKeptInRange) {
  PskDemodulator demod(PskMode::Bpsk63, 1500.0);
  demod.set_frequency(50);
  EXPECT_EQ(demod.frequency(), 100.0);
  demod.set_frequency(3500);
  EXPECT_EQ(demod.frequency(), 3000.0);
  demod.set_frequency(1234);
  EXPECT_EQ(demod.frequency(), 1234.0);
  demod.set_mode(PskMode::Qpsk31);  // a mode change keeps the frequency
  EXPECT_EQ(demod.frequency(), 1234.0);

  // The same frequency set again while following a signal there changes
  // nothing; a new one starts a new search.
  test::SignalSpec spec;
  spec.mode = PskMode::Qpsk31;
  spec.carrier_hz = 1234.0;
  spec.text = "steady";
  const auto x = test::make_signal(spec);
  demod.set_afc_limit(500);
  demod.process(x);
  ASSERT_TRUE(demod.afc_tracking());
  demod.set_frequency(1234);
  EXPECT_TRUE(demod.afc_tracking());
  demod.set_frequency(1240);
  EXPECT_FALSE(demod.afc_tracking());
}

// Level: noise alone below 20 throughout; a clean (30 dB) signal above 70;
// rising with SNR.  Squelch 30: noise prints nothing in 60 s; a 0 dB signal
// prints its text.
TEST(Squelch, LevelSeparatesNoiseFromSignalAndGatesTheText) {
  const auto noise = test::make_noise(60 * 8000, 0.25, 51);
  PskDemodulator quiet(PskMode::Bpsk31, 1500.0);
  quiet.set_afc_limit(500);
  quiet.set_squelch(30);
  int highest = 0;
  std::string printed;
  for (size_t i = 0; i < noise.size(); i += kBlock) {
    quiet.process(std::span<const float>(noise).subspan(i, kBlock));
    if (i >= 8000) highest = std::max(highest, quiet.level());
    for (uint8_t b : quiet.decoded()) printed.push_back(static_cast<char>(b));
  }
  EXPECT_LT(highest, 20);
  EXPECT_EQ(printed, "");

  for (PskMode mode : {PskMode::Bpsk31, PskMode::Qpsk63, PskMode::Bpsk125}) {
    int previous_level = -1;
    for (double snr : {0.0, 10.0, 30.0}) {
      test::SignalSpec spec;
      spec.mode = mode;
      spec.lead_idle = static_cast<int>(mode_info(mode).baud);  // a second of idle
      spec.text = "Squelch open: this text must print at 0 dB SNR.";
      auto x = test::make_signal(spec);
      test::add_noise(x, test::mean_power(x), snr, 61);
      PskDemodulator demod(mode, 1500.0);
      demod.set_afc_limit(500);
      demod.set_squelch(30);
      const std::string got = test::decode(demod, x, kBlock);
      EXPECT_LE(test::cer(spec.text, got), snr == 0.0 ? 0.05 : 0.0)
          << mode_info(mode).name << " " << snr << " dB: " << got;
      EXPECT_GT(demod.level(), previous_level) << mode_info(mode).name << " " << snr << " dB";
      previous_level = demod.level();
      if (snr == 30.0) {
        EXPECT_GT(demod.level(), 70) << mode_info(mode).name;
      }
    }
  }
}

TEST(Squelch, ThresholdIsKeptWithin0To99) {
  PskDemodulator demod;
  demod.set_squelch(-5);
  EXPECT_EQ(demod.squelch(), 0);
  demod.set_squelch(150);
  EXPECT_EQ(demod.squelch(), 99);
}

}  // namespace
}  // namespace psk
