// The test-signal generator against its own definitions.  Tolerances: IMD of
// the idle part within 0.3 dB of the value asked for (long DFT of the tones),
// SNR within 0.5 dB, clock error within 2 ppm.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "sim/imd_truth.h"
#include "sim/test_signal.h"

namespace psk {
namespace {

// The idle part without its first and last quarter second (start-up, text).
std::span<const float> idle_part(const TestSignal& s) {
  const size_t margin = 2000;
  return std::span<const float>(s.samples).subspan(margin, s.idle_end - 2 * margin);
}

TEST(Generator, IdleImdIsWhatWasAskedForWithinPoint3Db) {
  struct Case {
    PskMode mode;
    double carrier;
    ImdKind kind;
  };
  const Case cases[] = {
      {PskMode::Bpsk31, 1500, ImdKind::CubicAmplifier},
      {PskMode::Qpsk63, 700, ImdKind::CubicAmplifier},
      {PskMode::Bpsk125, 2500, ImdKind::CubicAmplifier},
      {PskMode::Bpsk31, 1000, ImdKind::ProductTones},
      {PskMode::Qpsk125, 2200, ImdKind::ProductTones},
  };
  for (const Case& c : cases) {
    for (double imd = -10; imd >= -40; imd -= 5) {
      TestSignalSpec spec;
      spec.mode = c.mode;
      spec.carrier_hz = c.carrier;
      spec.imd_db = imd;
      spec.imd_kind = c.kind;
      spec.idle_seconds = 4;
      spec.text = "de JA1DEMO";
      const TestSignal s = make_test_signal(spec);
      const ImdTruth truth = measure_idle_imd(idle_part(s), c.carrier, mode_info(c.mode).baud);
      EXPECT_NEAR(truth.imd_db, imd, 0.3)
          << mode_info(c.mode).name << " at " << c.carrier << " Hz, "
          << (c.kind == ImdKind::CubicAmplifier ? "cubic" : "tones");
    }
  }
}

TEST(Generator, CleanIdleHasNoProductsAndTheTruthSeesOnlyTones) {
  TestSignalSpec spec;
  spec.idle_seconds = 4;
  const TestSignal s = make_test_signal(spec);
  EXPECT_LT(measure_idle_imd(idle_part(s), 1500, 31.25).imd_db, -60.0);
  // A single tone of amplitude 0.5 has mean power 0.125.
  std::vector<float> tone(40000);
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = 0.5f * static_cast<float>(std::cos(2 * M_PI * 1234.5 * i / 8000.0));
  EXPECT_NEAR(tone_power(tone, 1234.5, 8000), 0.125, 0.001);
  EXPECT_LT(tone_power(tone, 1234.5 + 31.25, 8000), 1e-9);
}

TEST(Generator, NoiseIsAtTheSnrAskedForIn2500Hz) {
  for (double snr : {-10.0, 0.0, 10.0, 25.0}) {
    TestSignalSpec spec;
    spec.idle_seconds = 2;
    spec.text = "The quick brown fox";
    spec.seconds = 12;
    const TestSignal clean = make_test_signal(spec);
    spec.snr_db = snr;
    spec.seed = 11;
    const TestSignal noisy = make_test_signal(spec);
    ASSERT_EQ(clean.samples.size(), noisy.samples.size());
    // Both files are levelled to their peak: bring the clean one to the
    // noisy one's level and take the difference as the noise.
    const double scale = std::sqrt(noisy.signal_power / clean.signal_power);
    double signal = 0, noise = 0;
    for (size_t i = 0; i < clean.samples.size(); ++i) {
      const double sig = scale * clean.samples[i];
      const double n = noisy.samples[i] - sig;
      signal += sig * sig;
      noise += n * n;
    }
    const double noise_in_2500 = noise * 2500.0 / 4000.0;
    EXPECT_NEAR(10 * std::log10(signal / noise_in_2500), snr, 0.5) << snr;
    EXPECT_LE(*std::max_element(noisy.samples.begin(), noisy.samples.end()), 0.9f + 1e-6f);
  }
}

TEST(Generator, ClockErrorMovesTheTonesAsAFastSoundCardWouldSeeThem) {
  for (double ppm : {-300.0, 300.0}) {
    TestSignalSpec spec;
    spec.ppm = ppm;
    spec.idle_seconds = 30;
    const TestSignal s = make_test_signal(spec);
    // The upper idle tone (nominal 1515.625 Hz): its phase against the
    // nominal frequency turns by 2 pi df per second, read in 1 s pieces
    // (Hann window, so the lower tone 31.25 Hz away does not leak in).
    const auto idle = idle_part(s);
    const double f0 = 1515.625;
    std::complex<double> previous = 0, turn = 0;
    for (size_t start = 0; start + 8000 <= idle.size(); start += 8000) {
      std::complex<double> x = 0;
      for (size_t i = 0; i < 8000; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * M_PI * i / 8000.0);
        x += w * idle[start + i] * std::polar(1.0, -2 * M_PI * f0 * (start + i) / 8000.0);
      }
      if (start > 0) turn += x * std::conj(previous);
      previous = x;
    }
    const double df = std::arg(turn) / (2 * M_PI);
    const double measured_ppm = (f0 / (f0 + df) - 1) * 1e6;
    EXPECT_NEAR(measured_ppm, ppm, 2.0);
  }
}

TEST(Generator, LayoutFollowsIdleTextAndSeconds) {
  TestSignalSpec spec;
  spec.idle_seconds = 3;
  spec.seconds = 5;
  const TestSignal s = make_test_signal(spec);
  EXPECT_EQ(s.samples.size(), 40000u);
  EXPECT_EQ(s.idle_end, 94u * 256u);  // 3 s of 32 ms symbols, rounded to 94
  spec.seconds.reset();
  spec.text = "abc";
  const TestSignal t = make_test_signal(spec);
  EXPECT_GT(t.samples.size(), 94u * 256u + 8000u);  // the text and a second of idle
}

}  // namespace
}  // namespace psk
