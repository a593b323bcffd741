// The demodulator: recordings from another encoder, clean signals of every
// mode with every byte value under offset, drift and clock error,
// sensitivity key points in white noise, the opposite QPSK sideband sense;
// and what the measurements build on: symbol instants (within 0.01 symbol of
// the transmitted peaks in idle, 0.1 in text), idle runs located within 0.1
// symbol (never idle on noise: see the receiver's tests), and the phase vectors (radius 1000 +-10
// %, no change pointing up).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "psk_demodulator.h"
#include "test_signal.h"
#include "varicode.h"

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

// Every mode, SNR 30 dB, all bytes 1..255 plus English, with the signal a
// full baud off the set frequency and drifting 0.1 Hz/s under a +-300 ppm
// clock error, either way: no error at all.
TEST(Demodulator, CleanSignalsOfEveryModeDecodeWithoutErrorUnderOffsetDriftAndClockError) {
  int index = 0;
  for (PskMode mode : test::kAllModes) {
    const double sign = (index++ % 2) ? -1.0 : 1.0, baud = mode_info(mode).baud;
    test::SignalSpec spec{.mode = mode, .carrier_hz = 1500.0 + sign * baud, .ppm = sign * 300.0};
    spec.drift_hz_per_s = -sign * 0.1, spec.lead_idle = int(2 * baud);  // two seconds
    spec.text = test::mixed_text(3000, 11 + index);
    auto x = test::make_signal(spec);
    test::add_noise(x, test::mean_power(x), 30.0, 100 + index);
    PskDemodulator demod = test::afc_demodulator(mode);
    EXPECT_EQ(test::decode(demod, x), spec.text) << mode_info(mode).name;
  }
}

// Key points of the CER-versus-SNR curves (SNR in 2500 Hz), 400 characters
// of English each, fixed seeds: at most 1 % CER for BPSK31 at -9.5 dB, BPSK63
// at -6.5 dB, BPSK125 at -3.5 dB, and each QPSK mode 0.5 dB above its BPSK twin.
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
    test::mirror_spectrum(x);
    test::add_noise(x, test::mean_power(x), 20.0, 9);
    PskDemodulator demod = test::afc_demodulator(mode);
    EXPECT_EQ(test::decode(demod, x), text) << mode_info(mode).name;
    EXPECT_TRUE(demod.inverted_sideband()) << mode_info(mode).name;
  }
}

// Under a clock error of up to 300 ppm, after 5 s of settling, through text
// and 30 s of idle.  (The timing estimate is not data-aided, so text patterns
// move it a little.)
TEST(Demodulator, SymbolInstantsSitOnTheTransmittedPeaksUnderAClockError) {
  for (PskMode mode : {PskMode::Bpsk31, PskMode::Qpsk125}) {
    for (double ppm : {-300.0, 0.0, 300.0}) {
      const double baud = mode_info(mode).baud;
      test::SignalSpec spec{.mode = mode, .ppm = ppm, .lead_idle = int(2 * baud)};
      spec.tail_idle = int(30 * baud), spec.text = test::mixed_text(355, 2).substr(255);  // English
      auto x = test::make_signal(spec);
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

TEST(IdleDetector, LocatesRunsOfReversalsAndNeverFiresOnData) {
  const std::string text = "data between two idles";
  const int lead = 100, tail = 80;
  PskModulator mod(PskMode::Bpsk63, 1500.0);
  mod.append_idle(lead);
  mod.append_text(text);
  mod.append_idle(tail);
  mod.append_carrier(20);
  auto x = test::render_all(mod);
  test::add_noise(x, test::mean_power(x), 30.0, 17);
  // Truth: the second idle run begins after the last 1 bit of the text.
  const std::string bits = std::string(lead, '0') + varicode_encode(text);
  const double sps = 128.0, last_one = static_cast<double>(bits.find_last_of('1'));
  const double text_from = (lead + 1) * sps, text_to = (last_one + 1) * sps;

  PskDemodulator demod = test::afc_demodulator(PskMode::Bpsk63);
  bool idle_during_text = false;
  test::for_blocks(x, 200, [&](std::span<const float> b, size_t i) {
    demod.process(b);
    if (i > text_from + 40 * sps && i < text_to) idle_during_text |= demod.idle();
  });
  EXPECT_FALSE(idle_during_text);
  EXPECT_FALSE(demod.idle());  // the carrier ended it
  EXPECT_EQ(demod.idle_runs(), 2);
  EXPECT_NEAR(demod.idle_start(), text_to, 0.1 * sps);
  EXPECT_NEAR(demod.idle_end(), static_cast<double>(bits.size() + tail) * sps, 0.1 * sps);
}

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
