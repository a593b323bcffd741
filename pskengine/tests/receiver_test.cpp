// The receiver core (settings, blocks, raw samples, the built-in signal, noise alone) and its
// spectrum levels against generated truth.
#include "core/receiver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "pskengine.h"
#include "sim/test_signal.h"
#include "spectrum/spectrum.h"
#include "test_signal.h"

namespace psk {
namespace {

// The received bytes among events; every one with lParam 0.
std::string received_text(const std::vector<EngineEvent>& events) {
  std::string text;
  for (const EngineEvent& e : events) {
    if (e.msg != WM_ENGINE_RXCHAR) continue;
    EXPECT_EQ(e.lparam, 0);
    EXPECT_TRUE(e.wparam >= 0 && e.wparam <= 255);
    text.push_back(static_cast<char>(e.wparam));
  }
  return text;
}

TEST(Receiver, BadSettingsAreRefusedAndResetKeepsTheSettings) {
  Receiver r;
  EXPECT_EQ(r.rx_frequency(), 1500);
  for (auto [hz, kept] : {std::pair{50, 100}, {5000, 3000}, {-2147483647 - 1, 100}, {1000, 1000}}) {
    EXPECT_EQ(r.set_rx_frequency(hz), kSettingOk);
    EXPECT_EQ(r.rx_frequency(), kept) << hz;
  }
  for (int code : {0, 1, 8, 9, 16, 17}) EXPECT_EQ(r.set_mode(code), kSettingOk) << code;
  for (int code : {-1, 2, 7, 10, 18, 32}) EXPECT_EQ(r.set_mode(code), kSettingRefused) << code;
  EXPECT_EQ(r.settings().mode_code(), 17);  // the last good one
  EXPECT_EQ(r.set_afc_limit(500), kSettingOk);
  for (int hz : {-1, 3001}) EXPECT_EQ(r.set_afc_limit(hz), kSettingRefused) << hz;
  EXPECT_EQ(r.settings().afc_limit_hz(), 500);
  EXPECT_EQ(r.set_squelch(99), kSettingOk);
  for (int level : {-1, 100}) EXPECT_EQ(r.set_squelch(level), kSettingRefused) << level;
  EXPECT_EQ(r.settings().squelch(), 99);
  EXPECT_EQ(r.set_fft_mode(10, 100, 90), kSettingOk);
  EXPECT_EQ(r.set_fft_mode(0, 100, 50), kSettingRefused);
  EXPECT_EQ(r.set_fft_mode(5, 100, 91), kSettingRefused);
  EXPECT_EQ(r.spectrum().smoothing(), 10);
  EXPECT_EQ(r.spectrum().bias(), 90);

  // The mode changes kept the demodulator at 1000 Hz (a signal there reads
  // high); reset forgets the signal, not the settings.
  r.set_mode(PSK_MODE_BPSK31);
  r.set_fft_mode(5, 100, 20);
  r.process(make_test_signal({.carrier_hz = 1000, .snr_db = 20, .seconds = 1}).samples);
  EXPECT_GT(r.signal_level(), 50);
  r.reset();
  EXPECT_EQ(r.signal_level(), 0);
  EXPECT_EQ(r.samples_processed(), 0u);
  for (int32_t level : r.fft_levels()) ASSERT_EQ(level, 0);
  EXPECT_TRUE(r.take_events().empty());
  EXPECT_EQ(r.rx_frequency(), 1000);
  EXPECT_EQ(r.spectrum().smoothing(), 5);
  EXPECT_EQ(r.settings().squelch(), 99);
}

// QPSK125 17.3 Hz off (AFC on) with IMD, noise and clock error: the same
// events and state whatever the block sizes.
TEST(Receiver, SameEventsAndStateWhateverTheBlockSizes) {
  TestSignalParams params{
      .mode = PskMode::Qpsk125, .carrier_hz = 1517.3, .imd_db = -24, .snr_db = 15};
  params.ppm = -80, params.text = "tonvista", params.idle_seconds = 15;
  const std::vector<float> x = make_test_signal(params).samples;
  auto run = [&](size_t block, Receiver& r) {
    r.set_mode(PSK_MODE_QPSK125);
    r.set_afc_limit(500);
    std::vector<EngineEvent> events;
    test::for_blocks(x, block, [&](std::span<const float> b, size_t) {
      r.process(b);
      for (const EngineEvent& e : r.take_events()) events.push_back(e);
    });
    return events;
  };
  Receiver whole;
  const std::vector<EngineEvent> expected = run(x.size(), whole);
  EXPECT_TRUE(whole.take_events().empty());  // taken once
  size_t displays = 0, imd = 0, clock = 0;
  for (const EngineEvent& e : expected) {
    displays += e == EngineEvent{WM_ENGINE_DISPLAY, 0, 0};
    imd += e.msg == WM_ENGINE_IMD;
    clock += e.msg == WM_ENGINE_CLOCKERR;
  }
  EXPECT_EQ(displays, x.size() / 800);  // one per 800 samples, with no parameters
  EXPECT_EQ(received_text(expected), "tonvista");
  EXPECT_GE(imd, 10u);
  EXPECT_GE(clock, 1u);
  EXPECT_NEAR(whole.rx_frequency(), 1517, 1);
  for (size_t block : {1u, 37u, 799u, 801u}) {
    Receiver r;
    EXPECT_EQ(run(block, r), expected) << block;
    EXPECT_EQ(r.fft_levels(), whole.fft_levels()) << block;
    EXPECT_EQ(r.signal_level(), whole.signal_level()) << block;
    EXPECT_EQ(r.rx_frequency(), whole.rx_frequency()) << block;
    EXPECT_EQ(r.samples_processed(), x.size()) << block;
  }
}

TEST(Receiver, RawDataIsTheNewestSamplesIn16BitRange) {
  Receiver r;
  std::vector<int32_t> out(2049, -7);
  EXPECT_EQ(r.raw_samples(out), 2047);  // zeros before any input
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[2047], -7);  // never past the newest 2047
  std::vector<float> x(3000);
  for (size_t i = 0; i < x.size(); ++i)
    x[i] = static_cast<float>(static_cast<int>(i) - 1500) / 32768.0f;
  x[2998] = -2.0f;  // beyond full scale: clipped
  x[2999] = 2.0f;
  r.process(x);
  ASSERT_EQ(r.raw_samples(out), 2047);
  for (int i = 0; i < 2045; ++i) ASSERT_EQ(out[i], 953 + i - 1500) << i;  // sample 953 first
  EXPECT_EQ(out[2045], -32768);
  EXPECT_EQ(out[2046], 32767);
  std::vector<int32_t> few(10);
  ASSERT_EQ(r.raw_samples(few), 10);
  EXPECT_EQ(few[0], 2990 - 1500);
  EXPECT_EQ(few[9], 32767);
  // Non-finite samples count as silence and huge ones are limited: neither
  // shows in the raw data or poisons the spectrum of a 1000 Hz carrier.
  std::vector<float> carrier(4000);
  for (size_t i = 0; i < carrier.size(); ++i) carrier[i] = 0.5f * std::cos(M_PI * i / 4);
  carrier[3000] = NAN;
  carrier[3001] = INFINITY;
  carrier[3002] = 1e30f;  // absurdly large: kept within +-16
  r.process(carrier);
  r.raw_samples(out);
  EXPECT_EQ(out[2047 - 1000], 0);
  EXPECT_EQ(out[2047 - 999], 0);
  EXPECT_EQ(out[2047 - 998], 32767);
  EXPECT_GT(r.fft_levels()[256], 60);
}

// AFC on, squelch 30: the first over, IMD -26 dB (+-1) within 5 s, +30 ppm
// (+-3) once two 5 s idle runs are bridged across text.  Squelch 99: nothing.
TEST(Receiver, BuiltInSignalPrintsItsFirstOverAndReadsItsImdAndClockError) {
  const auto x = test::builtin_samples(60);
  Receiver r;
  r.set_afc_limit(500);
  r.set_squelch(30);
  test::Readings got;
  test::feed(r, x, got);
  const std::string first_over(BuiltinSignal::overs()[0]);
  EXPECT_EQ(got.text.substr(0, first_over.size()), first_over);
  EXPECT_NEAR(r.rx_frequency(), 1500, 1);
  EXPECT_GT(r.signal_level(), 70);
  const auto v = r.vectors();
  for (size_t i = 0; i < v.size(); i += 2)
    EXPECT_NEAR(std::hypot(v[i], v[i + 1]), 1000.0, 300.0) << i / 2;
  ASSERT_GE(got.imd.size(), 4u);
  EXPECT_LT(got.imd.front().t, 5.0);
  for (const test::Reading& reading : got.imd) EXPECT_NEAR(reading.value, -26.0, 1.0);
  ASSERT_FALSE(got.clock.empty());
  EXPECT_LT(got.clock.front().t, 25.0);
  for (const test::Reading& reading : got.clock) EXPECT_NEAR(reading.value, 30.0, 3.0);
  Receiver closed;
  closed.set_squelch(99);
  closed.process(std::span<const float>(x).first(18 * 8000));
  EXPECT_EQ(received_text(closed.take_events()), "");
}

// 60 s, every mode, AFC on, squelch 30: moves < 5 Hz, level < 20 after 1 s
// (< 15 at the end), no text, no idle run, no measurement.
TEST(Receiver, NoiseAloneMovesPrintsAndMeasuresNothing) {
  const std::vector<float> noise = test::make_noise(60 * 8000, 0.25, 31);
  for (PskMode mode : test::kAllModes) {
    Receiver r;
    r.set_mode(mode_info(mode).engine_code);
    r.set_afc_limit(500);
    r.set_squelch(30);
    double furthest = 0;
    int highest = 0;
    bool idle = false;
    test::Readings got;
    test::for_blocks(noise, 400, [&](std::span<const float> b, size_t i) {
      test::feed(r, b, got);
      furthest = std::max(furthest, std::abs(r.demodulator().frequency() - 1500.0));
      if (i >= 8000) highest = std::max(highest, r.signal_level());
      idle |= r.demodulator().idle();
    });
    const char* name = mode_info(mode).name;
    EXPECT_LT(furthest, 5.0) << name;
    EXPECT_LT(highest, 20) << name;
    EXPECT_LT(r.signal_level(), 15) << name;
    EXPECT_EQ(got.text, "") << name;
    EXPECT_FALSE(idle || r.demodulator().idle_runs() > 0) << name;
    EXPECT_TRUE(got.imd.empty() && got.clock.empty()) << name;
  }
}

// Feeds x through a spectrum in hops of 800 samples, updating after each.
void feed(Spectrum& s, const std::vector<float>& x) {
  for (size_t pos = 0; pos + 800 <= x.size(); pos += 800) {
    s.push(std::span<const float>(x).subspan(pos, 800));
    s.update();
  }
}

// n samples of a steady carrier of amplitude 0.5.
std::vector<float> carrier(double hz, size_t n) {
  PskModulator mod(PskMode::Bpsk31, hz);
  mod.append_carrier(static_cast<int>(n / 256 + 2));
  std::vector<float> x(n);
  mod.render(x);
  for (float& v : x) v *= 0.5f;
  return x;
}

// n samples of white noise of standard deviation sigma.
std::vector<float> noise(size_t n, double sigma, uint32_t seed) {
  return make_noise(n, sigma * sigma * 2500.0 / 4000.0, 0.0, seed);  // power in 2500 Hz
}

// Within 1 bin.
TEST(Spectrum, CarrierPeaksAtItsBinFrom300To2700Hz) {
  for (double hz = 300; hz <= 2700; hz += 97.3) {
    Spectrum s;
    std::vector<float> x = carrier(hz, 8000);
    const std::vector<float> n = noise(x.size(), 0.01, 7);
    for (size_t i = 0; i < x.size(); ++i) x[i] += n[i];
    feed(s, x);
    const int peak = static_cast<int>(std::max_element(s.levels().begin(), s.levels().end()) -
                                      s.levels().begin());
    EXPECT_NEAR(peak, std::lround(hz / Spectrum::kBinHz), 1) << hz << " Hz";
  }
}

// At the defaults (smoothing 3, bias 1), 20 dB SNR: the floor visible in the
// lower third, the peak above 60.
TEST(Spectrum, TwentyDbSignalShowsFloorInLowerThirdAndPeakAbove60) {
  Spectrum s;
  EXPECT_EQ(s.smoothing(), 3);
  EXPECT_EQ(s.bias(), 1);
  feed(s,
       make_test_signal({.snr_db = 20.0, .text = "CQ CQ de JA1DEMO", .idle_seconds = 4.0}).samples);
  const auto& levels = s.levels();
  double floor = 0;
  int count = 0;
  for (int k = 128; k <= 640; ++k)
    if (std::abs(k * Spectrum::kBinHz - 1500.0) > 100) floor += levels[k], ++count;
  EXPECT_LT(floor / count, 100.0 / 3);
  EXPECT_GT(floor / count, 5.0);
  EXPECT_GT(*std::max_element(levels.begin() + 370, levels.begin() + 400), 60);
}

// Audio 40 dB quieter: levels within 1; bias shifts unclamped levels by round((bias-1)/4) +-1.
TEST(Spectrum, LevelsDoNotDependOnAudioGainAndBiasLowersThemByAQuarterPerStep) {
  const std::vector<float> x = make_test_signal({.snr_db = 15.0, .idle_seconds = 3.0}).samples;
  std::vector<float> quiet = x;
  for (float& v : quiet) v *= 0.01f;
  Spectrum reference, q;
  feed(reference, x);
  feed(q, quiet);
  for (int k = 0; k < Spectrum::kBins; ++k)
    EXPECT_NEAR(q.levels()[k], reference.levels()[k], 1) << k;
  for (int bias : {10, 41, 90}) {
    Spectrum s;
    ASSERT_EQ(s.set_bias(bias), 0);
    feed(s, x);
    const int shift = static_cast<int>(std::lround((bias - 1) / 4.0));
    for (int k = 0; k < Spectrum::kBins; ++k) {
      const int expected = reference.levels()[k] - shift;
      if (expected > 0 && reference.levels()[k] < 100) {
        EXPECT_NEAR(s.levels()[k], expected, 1) << "bias " << bias << " bin " << k;
      } else {
        EXPECT_LE(s.levels()[k], std::max(expected, 0) + 1);
      }
    }
  }
}

// Noise alone: the spread of the levels shrinks with more spectra averaged.
TEST(Spectrum, SmoothingAveragesSpectra) {
  const std::vector<float> x = noise(8000 * 4, 0.05, 3);
  auto spread = [&](int smoothing) {
    Spectrum s;
    EXPECT_EQ(s.set_smoothing(smoothing), 0);
    feed(s, x);
    const auto& l = s.levels();
    const double mean = std::accumulate(l.begin() + 77, l.begin() + 692, 0.0) / 615;
    double var = 0;
    for (int k = 77; k <= 691; ++k) var += (l[k] - mean) * (l[k] - mean);
    return std::sqrt(var / 615);
  };
  EXPECT_LT(spread(10), 0.6 * spread(1));
}

// 20 at the noise reference, 1.25 per dB, clamped to 0..100; a full-scale
// sine centred on a bin reads its mean power.
TEST(Spectrum, LevelFollowsItsFormula) {
  EXPECT_EQ(Spectrum::level_of(1e-6f, 1e-6f, 1), 20);
  EXPECT_EQ(Spectrum::level_of(1e-2f, 1e-6f, 1), 70);   // 40 dB above
  EXPECT_EQ(Spectrum::level_of(1e-8f, 1e-6f, 1), 0);    // 20 dB below
  EXPECT_EQ(Spectrum::level_of(1e-1f, 1e-8f, 1), 100);  // 70 dB above
  EXPECT_EQ(Spectrum::level_of(0.0f, 1e-6f, 1), 0);
  std::vector<float> x(4096);
  for (size_t i = 0; i < x.size(); ++i)
    x[i] = static_cast<float>(std::cos(2 * M_PI * 1000.0 * i / 8000.0));
  Spectrum s;
  s.push(x);
  s.update();
  EXPECT_NEAR(s.newest_power()[256], 0.5, 0.005);
}

}  // namespace
}  // namespace psk
