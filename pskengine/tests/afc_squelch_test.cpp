// AFC pull-in, limit, off and retuning; signal level and squelch.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <string>
#include <vector>

#include "modem/afc.h"
#include "modem/baseband_spectrum.h"
#include "modem/psk_demodulator.h"
#include "test_signal.h"

namespace psk {
namespace {

constexpr size_t kBlock = 400;  // 50 ms blocks

// BPSK31 25 Hz off at 10 dB SNR: within 1 Hz from 2 s to 20 s, either side.
TEST(Afc, PullsInFrom25HzWithinTwoSecondsAndStays) {
  for (double offset : {25.0, -25.0}) {
    const std::string text = "Pull-in test: the AFC must find this signal quickly and keep it. 73";
    auto x = test::make_signal({.carrier_hz = 1500.0 + offset, .lead_idle = 0, .text = text});
    x.resize(20 * 8000, 0.0f);  // the signal lasts past the 20 s
    test::add_noise(x, test::mean_power(std::span<const float>(x).first(4 * 8000)), 10.0, 21);
    PskDemodulator demod = test::afc_demodulator(PskMode::Bpsk31);
    double worst_after_2s = 0;
    test::for_blocks(x, kBlock, [&](std::span<const float> b, size_t i) {
      demod.process(b);
      if (i + kBlock >= 2 * 8000)
        worst_after_2s = std::max(worst_after_2s, std::abs(demod.frequency() - 1500.0 - offset));
    });
    EXPECT_LT(worst_after_2s, 1.0) << "offset " << offset;
  }
}

// A signal 10 Hz away: AFC off never moves, a 4 Hz limit stops at 4 Hz and
// switching AFC off then holds the frequency reached.
TEST(Afc, OffNeverMovesAndTheLimitBoundsIt) {
  auto x = test::make_signal({.carrier_hz = 1510.0, .text = "steady"});
  test::add_noise(x, test::mean_power(x), 20.0, 41);
  PskDemodulator off(PskMode::Bpsk31, 1500.0), limited(PskMode::Bpsk31, 1500.0);
  off.set_afc_limit(0);
  limited.set_afc_limit(4);
  test::for_blocks(x, kBlock, [&](std::span<const float> b, size_t) {
    off.process(b);
    limited.process(b);
    ASSERT_EQ(off.frequency(), 1500.0);
    ASSERT_LE(std::abs(limited.frequency() - 1500.0), 4.0);
  });
  EXPECT_EQ(limited.frequency(), 1504.0);  // pushed against its limit
  limited.set_afc_limit(0);
  EXPECT_EQ(limited.frequency(), 1504.0);
  limited.process(x);
  EXPECT_EQ(limited.frequency(), 1504.0);
}

// Setting the frequency followed changes nothing; a new one starts a new search.
TEST(Afc, RetuningToANewFrequencyStartsANewSearch) {
  PskDemodulator demod = test::afc_demodulator(PskMode::Qpsk31, 1234.0);
  demod.process(
      test::make_signal({.mode = PskMode::Qpsk31, .carrier_hz = 1234.0, .text = "steady"}));
  ASSERT_TRUE(demod.afc_tracking());
  demod.set_frequency(1234);
  EXPECT_TRUE(demod.afc_tracking());
  demod.set_frequency(1240);
  EXPECT_FALSE(demod.afc_tracking());
}

// A new Afc behaves exactly as one reset after following another signal:
// the same corrections frame by frame on a signal 10 Hz off (which it jumps to).
TEST(Afc, ANewAfcIsInItsResetState) {
  for (bool qpsk : {false, true}) {
    Afc fresh(31.25, qpsk), reused(31.25, qpsk);
    BasebandSpectrum spectrum;
    std::mt19937 rng(3);
    std::normal_distribution<float> noise(0.0f, 0.05f);
    const auto feed = [&](double hz, int samples, auto&& each_frame) {
      for (int n = 0; n < samples; ++n) {
        const std::complex<float> x =
            std::polar(1.0f, static_cast<float>(2 * 3.14159265 * hz * n / 500.0)) +
            std::complex<float>(noise(rng), noise(rng));
        if (spectrum.process(x)) each_frame();
      }
    };
    feed(-20.0, 4000, [&] { reused.on_frame(spectrum); });  // another signal first
    reused.reset();
    int moves = 0;
    feed(10.0, 4000, [&] {
      const double a = fresh.on_frame(spectrum), b = reused.on_frame(spectrum);
      ASSERT_EQ(a, b) << qpsk;
      moves += a != 0;
    });
    EXPECT_GT(moves, 0) << qpsk;  // the comparison covered a jump
  }
}

// Level rises with SNR (above 10 at -10 dB, 90 at 30 dB); squelch 30 lets 0 dB
// print (CER <= 5 %), stronger exactly; a signal 300 Hz beside reads below 15.
TEST(Squelch, LevelRisesWithSnrAndTheSquelchGatesTheText) {
  const std::string text = "Squelch open: this text must print at 0 dB SNR.";
  for (PskMode mode : {PskMode::Bpsk31, PskMode::Qpsk63, PskMode::Bpsk125}) {
    int previous = 10;
    for (double snr = -10; snr <= 30; snr += 5) {
      const int second = int(mode_info(mode).baud);  // of idle, before the text
      auto x = test::make_signal({.mode = mode, .lead_idle = second, .text = text});
      test::add_noise(x, test::mean_power(x), snr, 61);
      PskDemodulator demod = test::afc_demodulator(mode);
      demod.set_squelch(30);
      const std::string got = test::decode(demod, x, kBlock);
      const std::string what =
          std::string(mode_info(mode).name) + " " + std::to_string(snr) + " dB";
      if (snr >= 0) {
        EXPECT_LE(test::cer(text, got), snr == 0.0 ? 0.05 : 0.0) << what << ": " << got;
      }
      EXPECT_GT(demod.level(), previous) << what;
      previous = demod.level();
    }
    EXPECT_GT(previous, 90) << mode_info(mode).name;
  }
  auto x = test::make_signal({.text = text});
  test::add_noise(x, test::mean_power(x), 30, 62);
  PskDemodulator beside(PskMode::Bpsk31, 1800.0);
  beside.process(x);
  EXPECT_LT(beside.level(), 15);
}

}  // namespace
}  // namespace psk
