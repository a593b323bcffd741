// The demodulator: recordings, every mode clean and in noise, QPSK sense, timing, vectors.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "modem/psk_demodulator.h"
#include "test_signal.h"

namespace psk {
namespace {

TEST(Demodulator, RecordingsFromAnotherEncoderDecodeExactly) {
  const std::string dir = PSKENGINE_TEST_DATA;
  std::ifstream file(dir + "/third-party-transcript.txt", std::ios::binary);
  const std::string transcript{std::istreambuf_iterator<char>(file), {}};
  ASSERT_FALSE(transcript.empty());
  for (auto [name, mode] : {std::pair{"bpsk31", PskMode::Bpsk31},
                            {"bpsk63", PskMode::Bpsk63},
                            {"bpsk125", PskMode::Bpsk125}}) {
    auto x = test::read_wav(dir + "/third-party-" + name + ".wav");
    ASSERT_GT(x.size(), 8000u) << name;
    x.resize(x.size() + 8000, 0.0f);  // a second of silence lets the last character out
    PskDemodulator demod = test::afc_demodulator(mode, 1000.0);
    EXPECT_EQ(test::decode(demod, x), transcript) << name;
  }
}

// SNR 30 dB, a baud off, drifting 0.1 Hz/s, +-300 ppm: 3000 bytes, no error.
TEST(Demodulator, CleanSignalsOfEveryModeDecodeWithoutErrorUnderOffsetDriftAndClockError) {
  int index = 0;
  for (PskMode mode : test::kAllModes) {
    const double sign = (index++ % 2) ? -1.0 : 1.0, baud = mode_info(mode).baud;
    test::SignalParams params{
        .mode = mode, .carrier_hz = 1500.0 + sign * baud, .ppm = sign * 300.0};
    params.drift_hz_per_s = -sign * 0.1, params.lead_idle = int(2 * baud);  // two seconds
    params.text = test::mixed_text(3000, 11 + index);
    auto x = test::make_signal(params);
    test::add_noise(x, test::mean_power(x), 30.0, 100 + index);
    PskDemodulator demod = test::afc_demodulator(mode);
    EXPECT_EQ(test::decode(demod, x), params.text) << mode_info(mode).name;
  }
}

// At most 1 % CER over 400 characters at these SNRs (QPSK 0.5 dB above BPSK).
TEST(Demodulator, SensitivityKeyPoints) {
  const std::string english = test::mixed_text(400, 3).substr(255);  // a typical mix of codes
  const std::string text = (english + english + english).substr(0, 400);
  for (auto [mode, snr] : {std::pair{PskMode::Bpsk31, -9.5},
                           {PskMode::Qpsk31, -9.0},
                           {PskMode::Bpsk63, -6.5},
                           {PskMode::Qpsk63, -6.0},
                           {PskMode::Bpsk125, -3.5},
                           {PskMode::Qpsk125, -3.0}}) {
    auto x = test::make_signal({.mode = mode, .text = text});
    test::add_noise(x, test::mean_power(x), snr, 7);
    PskDemodulator demod = test::afc_demodulator(mode);
    EXPECT_LE(test::cer(text, test::decode(demod, x)), 0.01) << mode_info(mode).name;
  }
}

TEST(Demodulator, QpskOfTheOppositeSidebandSenseDecodes) {
  const std::string text =
      "Inverted sideband: CQ CQ de JA1ZZZ, all 26 letters of the quick brown fox.";
  for (PskMode mode : {PskMode::Qpsk31, PskMode::Qpsk125}) {
    auto x = test::make_signal({.mode = mode, .carrier_hz = 4000.0 - 1500.0, .text = text});
    for (size_t i = 1; i < x.size(); i += 2) x[i] = -x[i];  // mirrored about 2000 Hz
    test::add_noise(x, test::mean_power(x), 20.0, 9);
    PskDemodulator demod = test::afc_demodulator(mode);
    EXPECT_EQ(test::decode(demod, x), text) << mode_info(mode).name;
    EXPECT_TRUE(demod.inverted_sideband()) << mode_info(mode).name;
  }
}

// After 5 s, within 0.01 symbol of the transmitted peaks in idle, 0.1 in text.
TEST(Demodulator, SymbolInstantsSitOnTheTransmittedPeaksUnderAClockError) {
  for (PskMode mode : {PskMode::Bpsk31, PskMode::Qpsk125}) {
    for (double ppm : {-300.0, 0.0, 300.0}) {
      const double baud = mode_info(mode).baud;
      test::SignalParams params{.mode = mode, .ppm = ppm, .lead_idle = int(2 * baud)};
      params.tail_idle = int(30 * baud),
      params.text = test::mixed_text(355, 2).substr(255);  // English
      auto x = test::make_signal(params);
      test::add_noise(x, test::mean_power(x), 30.0, 13);
      PskDemodulator demod = test::afc_demodulator(mode);
      const double sps = 8000.0 / baud * (1.0 + ppm * 1e-6);  // symbol k peaks at (k+1) sps
      double worst_idle = 0, worst_text = 0;
      size_t idle_symbols = 0;
      test::for_blocks(x, 1000, [&](std::span<const float> b, size_t) {
        demod.process(b);
        for (const SymbolInfo& s : demod.symbols()) {
          if (s.position < 5 * 8000) continue;
          const double miss = std::abs(s.position / sps - std::round(s.position / sps));
          double& worst = demod.idle() ? worst_idle : worst_text;
          worst = std::max(worst, miss);
          idle_symbols += demod.idle();
        }
      });
      const std::string name = std::string(mode_info(mode).name) + " " + std::to_string(ppm);
      EXPECT_LT(worst_idle, 0.01) << name;
      EXPECT_LT(worst_text, 0.1) << name;
      EXPECT_GT(idle_symbols, 25 * baud) << name;
    }
  }
}

// No phase change points up; radius 1000 +-10 %.
TEST(Demodulator, VectorsOfIdlePointDownOfACarrierUpRadiusAbout1000) {
  PskModulator mod(PskMode::Qpsk31, 1500.0);
  mod.append_idle(100);
  const auto idle = test::render_all(mod);
  mod.append_carrier(100);
  const auto carrier = test::render_all(mod);
  PskDemodulator demod = test::afc_demodulator(PskMode::Qpsk31);
  for (auto [x, up] : {std::pair{&idle, -1000}, {&carrier, 1000}}) {
    demod.process(*x);
    for (const auto& v : demod.vectors()) {
      EXPECT_NEAR(v[0], 0, 100);
      EXPECT_NEAR(v[1], up, 100);
    }
  }
}

}  // namespace
}  // namespace psk
