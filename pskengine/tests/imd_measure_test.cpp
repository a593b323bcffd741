// IMD readings of the receiver core against the generator's truth (a long
// DFT of the idle part of the noise-free signal).  Tolerance: every reported
// whole-dB reading within +-1 dB of the truth, for true IMD -10..-35 dB at
// SNR 20 dB and down to -40 dB at SNR 30 dB, in all six modes, with a cubic
// amplifier and with added product tones.  Honesty: at SNR 0 dB and below
// either no reading or one within +-1 dB; nothing on noise alone or on text
// without idle; readings only while idle lasts, never averaging two runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "measure/idle_segments.h"
#include "measure_run.h"
#include "sim/amplifier.h"
#include "test_signal.h"
#include "varicode.h"

namespace psk {
namespace {

constexpr PskMode kModes[] = {PskMode::Bpsk31, PskMode::Qpsk31,  PskMode::Bpsk63,
                              PskMode::Qpsk63, PskMode::Bpsk125, PskMode::Qpsk125};
constexpr ImdKind kKinds[] = {ImdKind::CubicAmplifier, ImdKind::ProductTones};

std::string name(PskMode mode, ImdKind kind, double imd, double snr) {
  return std::string(mode_info(mode).name) +
         (kind == ImdKind::CubicAmplifier ? " amplifier " : " tones ") + std::to_string(imd) +
         " dB at SNR " + std::to_string(snr);
}

// Idle (carrier 3.1 Hz above the receiver, which runs AFC), then text: every
// reading within 1 dB of the truth, and at least min_readings.
void check_accuracy(PskMode mode, ImdKind kind, double imd, double snr, double idle_seconds,
                    size_t min_readings) {
  TestSignalSpec spec;
  spec.mode = mode;
  spec.carrier_hz = 1503.1;
  spec.imd_db = imd;
  spec.imd_kind = kind;
  spec.snr_db = snr;
  spec.idle_seconds = idle_seconds;
  spec.text = "tnx fer call";
  spec.seed = 17;
  const double truth = test::imd_truth(spec);
  const test::Readings r = test::measure(mode, make_test_signal(spec).samples);
  const std::string what = name(mode, kind, imd, snr);
  EXPECT_GE(r.imd.size(), min_readings) << what;
  for (const test::Reading& reading : r.imd) EXPECT_NEAR(reading.value, truth, 1.0) << what;
}

TEST(ImdMeasure, EveryReadingWithin1DbForMinus10ToMinus35AtSnr20) {
  for (PskMode mode : kModes) {
    for (ImdKind kind : kKinds) {
      check_accuracy(mode, kind, -10.4, 20, 10, 7);  // about one a second
      check_accuracy(mode, kind, -22.7, 20, 15, 10);
      check_accuracy(mode, kind, -34.6, 20, 30, 5);  // noise needs some 15 s of averaging first
    }
  }
}

TEST(ImdMeasure, EveryReadingWithin1DbDownToMinus40AtSnr30) {
  for (PskMode mode : kModes) {
    for (ImdKind kind : kKinds) check_accuracy(mode, kind, -39.6, 30, 25, 12);
  }
}

TEST(ImdMeasure, WeakSignalsReadWithin1DbOrNotAtAllAndNoiseOrTextNever) {
  for (PskMode mode : {PskMode::Bpsk31, PskMode::Qpsk125}) {
    for (double snr : {0.0, -4.0, -8.0}) {
      for (double imd : {-16.3, -27.5}) {
        TestSignalSpec spec;
        spec.mode = mode;
        spec.imd_db = imd;
        spec.snr_db = snr;
        spec.idle_seconds = snr == 0.0 ? 60 : 30;
        spec.seconds = spec.idle_seconds;
        spec.seed = 23;
        const double truth = test::imd_truth(spec);
        const test::Readings r = test::measure(mode, make_test_signal(spec).samples);
        for (const test::Reading& reading : r.imd)
          EXPECT_NEAR(reading.value, truth, 1.0) << name(mode, spec.imd_kind, imd, snr);
        // Products 27.5 dB down at 0 dB SNR are below what the noise lets
        // through; at -16.3 dB a minute of idle is enough.
        if (snr == 0.0 && imd == -27.5) {
          EXPECT_TRUE(r.imd.empty()) << mode_info(mode).name;
        }
        if (snr == 0.0 && imd == -16.3) {
          EXPECT_GE(r.imd.size(), 20u) << mode_info(mode).name;
        }
      }
    }
  }
  for (PskMode mode : kModes) {
    const auto noise = test::make_noise(30 * 8000, 0.1, 29);
    const test::Readings on_noise = test::measure(mode, noise);
    EXPECT_TRUE(on_noise.imd.empty()) << mode_info(mode).name;
    EXPECT_TRUE(on_noise.clock.empty()) << mode_info(mode).name;
  }
  for (PskMode mode : {PskMode::Bpsk31, PskMode::Qpsk63}) {
    test::SignalSpec text;
    text.mode = mode;
    text.lead_idle = 0;
    text.tail_idle = 0;
    text.text = test::mixed_text(static_cast<size_t>(40 * mode_info(mode).baud / 7), 31);
    auto x = test::make_signal(text);
    test::add_noise(x, test::mean_power(x), 20, 37);
    const test::Readings r = test::measure(mode, x);
    EXPECT_TRUE(r.imd.empty()) << mode_info(mode).name;
    EXPECT_TRUE(r.clock.empty()) << mode_info(mode).name;
  }
}

// A signal without distortion has no products to read: no IMD reading, even
// without noise (the clock still reads).  A signal so low that a product tone
// would fall below 20 Hz (BPSK125 at 200 Hz: 12.5 Hz) is not measured at all.
TEST(ImdMeasure, NoReadingWithoutProductsOrWithProductsOutOfTheBand) {
  TestSignalSpec clean;
  clean.mode = PskMode::Bpsk63;
  clean.idle_seconds = 20;
  clean.seconds = 20;
  const test::Readings r = test::measure(clean.mode, make_test_signal(clean).samples);
  EXPECT_TRUE(r.imd.empty());
  ASSERT_FALSE(r.clock.empty());
  EXPECT_NEAR(r.clock.back().value, 0, 3);

  TestSignalSpec low;
  low.mode = PskMode::Bpsk125;
  low.carrier_hz = 200.0;
  low.imd_db = -25;
  low.snr_db = 30;
  low.idle_seconds = 20;
  low.seconds = 20;
  const test::Readings at_200 = test::measure(low.mode, make_test_signal(low).samples, 200);
  EXPECT_TRUE(at_200.imd.empty());
  EXPECT_TRUE(at_200.clock.empty());
  low.carrier_hz = 300.0;  // products at 112.5 and 487.5 Hz: measured
  const test::Readings at_300 = test::measure(low.mode, make_test_signal(low).samples, 300);
  ASSERT_FALSE(at_300.imd.empty());
  const double truth = test::imd_truth(low);
  for (const test::Reading& reading : at_300.imd) EXPECT_NEAR(reading.value, truth, 1.0);
}

// A transmission of idle, text, idle, text, idle, whose drive changes during
// the second text: the readings come only in the idle runs (from one stretch
// after a run starts to its end), each run's readings are its own IMD, so the
// meter follows the change at once, and nothing mixes text or two runs.
TEST(ImdMeasure, ReadingsComeOnlyFromIdleRunsAndFollowAChangeOfDrive) {
  const PskMode mode = PskMode::Qpsk63;
  const double sps = 128.0;
  const std::string text = "The drive is changed now.";
  PskModulator modulator(mode, 1500.0);
  const int idle = 8 * 63;  // symbols, about 8 s
  modulator.append_idle(idle);
  modulator.append_text(text);
  modulator.append_idle(idle);
  modulator.append_text(text);
  modulator.append_idle(idle);
  const std::vector<float> clean = test::render_all(modulator);
  // True spans: idle starts (as a waveform) one symbol after the last data
  // bit and ends with its last reversal; QPSK flushes its code for 4 symbols.
  const double text_symbols = static_cast<double>(varicode_encode(text).size());
  const double spans[3][2] = {
      {sps, idle * sps},
      {(idle + text_symbols + 4) * sps, (2 * idle + text_symbols) * sps},
      {(2 * idle + 2 * text_symbols + 4) * sps, (3 * idle + 2 * text_symbols) * sps}};
  const size_t change = static_cast<size_t>(spans[1][1] + 12 * sps);  // in the second text
  CubicAmplifier low(-21.0), high(-32.0);
  std::vector<float> x(clean.size());
  for (size_t n = 0; n < clean.size(); ++n)
    x[n] = n < change ? low.process(clean[n]) : high.process(clean[n]);
  // The amplifiers delay by their Hilbert filter; take it back off.
  x.erase(x.begin(), x.begin() + CubicAmplifier::delay());
  std::vector<float> distorted = x;
  test::add_noise(x, test::mean_power(x), 30, 41);

  double truth[3];
  for (int run = 0; run < 3; ++run) {
    const auto from = static_cast<size_t>(spans[run][0] + 4 * sps);
    const auto to = static_cast<size_t>(spans[run][1] - 4 * sps);
    truth[run] =
        measure_idle_imd(std::span<const float>(distorted).subspan(from, to - from), 1500.0, 62.5)
            .imd_db;
  }
  const test::Readings r = test::measure(mode, x);
  int per_run[3] = {0, 0, 0};
  const double stretch = IdleSegmenter::kLength / 8000.0;
  for (const test::Reading& reading : r.imd) {
    int run = -1;
    for (int k = 0; k < 3; ++k) {
      if (reading.t >= spans[k][0] / 8000.0 + stretch && reading.t <= spans[k][1] / 8000.0 + 0.1)
        run = k;
    }
    ASSERT_GE(run, 0) << "reading at " << reading.t << " s, outside every idle run";
    EXPECT_NEAR(reading.value, truth[run], 1.0) << "run " << run << " at " << reading.t << " s";
    ++per_run[run];
  }
  for (int k = 0; k < 3; ++k) EXPECT_GE(per_run[k], 5) << k;
  EXPECT_LT(truth[2], truth[0] - 8.0);  // the drive did change
}

// Retuned to another signal, the measurements start afresh: no reading of
// the new signal averages the old one's; the clock estimate restarts too.  A
// small retune (the operator's fine tuning) keeps them.
TEST(ImdMeasure, RetuningToAnotherSignalStartsTheMeasurementsAfresh) {
  const PskMode mode = PskMode::Bpsk63;
  TestSignalSpec a, b;
  a.mode = b.mode = mode;
  a.carrier_hz = 1000.0;
  b.carrier_hz = 2000.0;
  a.imd_db = -20.0;
  b.imd_db = -31.0;
  a.ppm = 150.0;
  b.ppm = -150.0;  // another sender's clock
  a.idle_seconds = b.idle_seconds = 40;
  a.seconds = b.seconds = 40;
  std::vector<float> x = make_test_signal(a).samples;
  const std::vector<float> other = make_test_signal(b).samples;
  for (size_t n = 0; n < x.size(); ++n) x[n] = 0.5f * (x[n] + other[n]);
  test::add_noise(x, test::mean_power(x), 30, 43);

  Receiver r;
  r.set_mode(mode_info(mode).engine_code);
  r.set_rx_frequency(1000);
  r.set_afc_limit(500);
  test::Readings first, second;
  const size_t half = x.size() / 2;
  test::feed(r, std::span<const float>(x).first(half), first);
  ASSERT_FALSE(first.imd.empty());
  ASSERT_FALSE(first.clock.empty());
  EXPECT_NEAR(first.clock.back().value, 150.0, 3.0);
  // Fine tuning by a hertz keeps the clock estimate.
  const int64_t before = r.clock_estimator().segments();
  r.set_rx_frequency(1001);
  EXPECT_EQ(r.clock_estimator().segments(), before);
  r.set_rx_frequency(2000);
  EXPECT_EQ(r.clock_estimator().segments(), 0);
  test::feed(r, std::span<const float>(x).subspan(half), second, half / 8000.0);
  ASSERT_FALSE(second.imd.empty());
  for (const test::Reading& reading : second.imd) EXPECT_NEAR(reading.value, -31.0, 1.0);
  for (const test::Reading& reading : second.clock) EXPECT_NEAR(reading.value, -150.0, 3.0);
}

}  // namespace
}  // namespace psk
