// Decoding: recordings from another encoder, clean signals of every mode with
// every byte value under offset, drift and clock error, sensitivity key
// points in white noise, and the opposite QPSK sideband sense.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "psk_demodulator.h"
#include "test_signal.h"

namespace psk {
namespace {

// Reads a mono 16-bit PCM WAV file (the format of the test recordings).
std::vector<float> read_wav16(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::vector<float> out;
  if (bytes.size() < 12) return out;
  size_t pos = 12;
  while (pos + 8 <= bytes.size()) {
    const std::string id(&bytes[pos], 4);
    uint32_t len;
    std::memcpy(&len, &bytes[pos + 4], 4);
    pos += 8;
    if (id == "data") {
      for (size_t i = pos; i + 1 < pos + len && i + 1 < bytes.size(); i += 2) {
        int16_t s;
        std::memcpy(&s, &bytes[i], 2);
        out.push_back(static_cast<float>(s) / 32768.0f);
      }
      break;
    }
    pos += len + (len & 1);
  }
  return out;
}

std::string read_text(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

TEST(Demodulator, RecordingsFromAnotherEncoderDecodeExactly) {
  const std::string dir = PSKENGINE_TEST_DATA;
  const std::string transcript = read_text(dir + "/third-party-transcript.txt");
  ASSERT_FALSE(transcript.empty());
  const std::pair<const char*, PskMode> cases[] = {{"third-party-bpsk31.wav", PskMode::Bpsk31},
                                                   {"third-party-bpsk63.wav", PskMode::Bpsk63},
                                                   {"third-party-bpsk125.wav", PskMode::Bpsk125}};
  for (const auto& [file, mode] : cases) {
    auto x = read_wav16(dir + "/" + file);
    ASSERT_GT(x.size(), 8000u) << file;
    x.resize(x.size() + 8000, 0.0f);  // a second of silence lets the last character out
    PskDemodulator demod(mode, 1000.0);
    demod.set_afc_limit(500);
    EXPECT_EQ(test::decode(demod, x), transcript) << file;
  }
}

// Every mode, SNR 30 dB, all bytes 1..255 plus English, with the signal a
// full baud off the set frequency and drifting 0.1 Hz/s under a +-300 ppm
// clock error: no error at all.
TEST(Demodulator, CleanSignalsOfEveryModeDecodeWithoutErrorUnderOffsetDriftAndClockError) {
  const PskMode modes[] = {PskMode::Bpsk31, PskMode::Qpsk31,  PskMode::Bpsk63,
                           PskMode::Qpsk63, PskMode::Bpsk125, PskMode::Qpsk125};
  int index = 0;
  for (PskMode mode : modes) {
    const double sign = (index++ % 2) ? -1.0 : 1.0;
    test::SignalSpec spec;
    spec.mode = mode;
    spec.carrier_hz = 1500.0 + sign * mode_info(mode).baud;
    spec.drift_hz_per_s = -sign * 0.1;
    spec.ppm = sign * 300.0;
    spec.lead_idle = static_cast<int>(2.0 * mode_info(mode).baud);  // two seconds
    spec.text = test::mixed_text(3000, 11 + index);
    auto x = test::make_signal(spec);
    test::add_noise(x, test::mean_power(x), 30.0, 100 + index);
    PskDemodulator demod(mode, 1500.0);
    demod.set_afc_limit(500);
    const std::string got = test::decode(demod, x);
    EXPECT_EQ(test::edit_distance(spec.text, got), 0u) << mode_info(mode).name;
  }
}

// Key points of the CER-versus-SNR curves (SNR in 2500 Hz), 400 characters
// each, fixed seeds: at most 1 % CER for BPSK31 at -9.5 dB, BPSK63 at -6.5 dB,
// BPSK125 at -3.5 dB, and for each QPSK mode 0.5 dB above its BPSK twin.
TEST(Demodulator, SensitivityKeyPoints) {
  const std::pair<PskMode, double> points[] = {{PskMode::Bpsk31, -9.5},  {PskMode::Qpsk31, -9.0},
                                               {PskMode::Bpsk63, -6.5},  {PskMode::Qpsk63, -6.0},
                                               {PskMode::Bpsk125, -3.5}, {PskMode::Qpsk125, -3.0}};
  for (const auto& [mode, snr] : points) {
    test::SignalSpec spec;
    spec.mode = mode;
    spec.text = test::mixed_text(400, 3);
    spec.text = spec.text.substr(255);  // English only: a typical mix of code lengths
    while (spec.text.size() < 400) spec.text += spec.text;
    spec.text.resize(400);
    auto x = test::make_signal(spec);
    test::add_noise(x, test::mean_power(x), snr, 7);
    PskDemodulator demod(mode, 1500.0);
    demod.set_afc_limit(500);
    const double rate = test::cer(spec.text, test::decode(demod, x));
    EXPECT_LE(rate, 0.01) << mode_info(mode).name << " at " << snr << " dB";
  }
}

TEST(Demodulator, QpskOfTheOppositeSidebandSenseDecodes) {
  for (PskMode mode : {PskMode::Qpsk31, PskMode::Qpsk125}) {
    test::SignalSpec spec;
    spec.mode = mode;
    spec.carrier_hz = 4000.0 - 1500.0;
    spec.text = "Inverted sideband: CQ CQ de JA1ZZZ, all 26 letters of the quick brown fox.";
    auto x = test::make_signal(spec);
    test::mirror_spectrum(x);
    test::add_noise(x, test::mean_power(x), 20.0, 9);
    PskDemodulator demod(mode, 1500.0);
    demod.set_afc_limit(500);
    EXPECT_EQ(test::decode(demod, x), spec.text) << mode_info(mode).name;
    EXPECT_TRUE(demod.inverted_sideband()) << mode_info(mode).name;
  }
}

}  // namespace
}  // namespace psk
