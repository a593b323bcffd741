// The generator and the built-in signal against the definitions of IMD, SNR and clock error.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sim/amplifier.h"
#include "sim/imd_truth.h"
#include "sim/test_signal.h"
#include "test_signal.h"

namespace psk {
namespace {

// The idle part without its first and last quarter second (start-up, text).
std::span<const float> idle_part(const TestSignal& s) {
  return std::span<const float>(s.samples).subspan(2000, s.idle_end - 4000);
}

// Within 0.3 dB for -10..-40 dB, both kinds of distortion.
TEST(Generator, IdleImdIsWhatWasAskedForWithinPoint3Db) {
  const std::tuple<PskMode, double, ImdKind> cases[] = {
      {PskMode::Bpsk31, 1500, ImdKind::CubicAmplifier},
      {PskMode::Qpsk63, 700, ImdKind::CubicAmplifier},
      {PskMode::Bpsk125, 2500, ImdKind::CubicAmplifier},
      {PskMode::Bpsk31, 1000, ImdKind::ProductTones},
      {PskMode::Qpsk125, 2200, ImdKind::ProductTones}};
  TestSignalParams params{.text = "de JA1DEMO", .idle_seconds = 4};
  for (const auto& [mode, carrier, kind] : cases) {
    for (double imd = -10; imd >= -40; imd -= 5) {
      params.mode = mode, params.carrier_hz = carrier, params.imd_kind = kind, params.imd_db = imd;
      const TestSignal s = make_test_signal(params);
      EXPECT_NEAR(measure_idle_imd(idle_part(s), carrier, mode_info(mode).baud).imd_db, imd, 0.3)
          << mode_info(mode).name << " at " << carrier << " Hz, kind " << static_cast<int>(kind);
    }
  }
}

// A tone of amplitude 0.5 has power 0.125; 31.25 Hz beside it the truth sees nothing.
TEST(Generator, TheTruthSeesOnlyTones) {
  std::vector<float> tone(40000);
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = 0.5f * static_cast<float>(std::cos(2 * M_PI * 1234.5 * i / 8000.0));
  EXPECT_NEAR(tone_power(tone, 1234.5, 8000), 0.125, 0.001);
  EXPECT_LT(tone_power(tone, 1234.5 + 31.25, 8000), 1e-9);
}

// SNR within 0.5 dB; peak within 0.9.
TEST(Generator, NoiseIsAtTheSnrAskedForIn2500HzAndTheLengthsAreAsAsked) {
  TestSignalParams params{.text = "The quick brown fox", .idle_seconds = 2, .seconds = 12};
  const TestSignal clean = make_test_signal(params);
  for (double snr : {-10.0, 0.0, 10.0, 25.0}) {
    params.snr_db = snr;
    params.seed = 11;
    const TestSignal noisy = make_test_signal(params);
    ASSERT_EQ(noisy.samples.size(), 12u * 8000u);
    // The difference from the clean signal, brought to the same level, is the noise.
    const double scale = std::sqrt(noisy.signal_power / clean.signal_power);
    double signal = 0, noise = 0;
    for (size_t i = 0; i < clean.samples.size(); ++i) {
      const double sig = scale * clean.samples[i], n = noisy.samples[i] - sig;
      signal += sig * sig;
      noise += n * n;
    }
    EXPECT_NEAR(10 * std::log10(signal / (noise * 2500.0 / 4000.0)), snr, 0.5) << snr;
    EXPECT_LE(*std::max_element(noisy.samples.begin(), noisy.samples.end()), 0.9f + 1e-6f);
  }
  // Idle of 3 s is 94 symbols of 32 ms; without a length, text and 1 s of idle follow.
  const TestSignal t = make_test_signal({.text = "abc", .idle_seconds = 3});
  EXPECT_EQ(t.idle_end, 94u * 256u);
  EXPECT_GT(t.samples.size(), 94u * 256u + 8000u);
}

// Within 2 ppm.
TEST(Generator, ClockErrorMovesTheTonesAsAFastSoundCardWouldSeeThem) {
  for (double ppm : {-300.0, 300.0}) {
    const TestSignal s = make_test_signal({.ppm = ppm, .idle_seconds = 30});
    EXPECT_NEAR(test::tone_ppm(idle_part(s), 1515.625), ppm, 2.0);  // the upper idle tone
  }
}

// IMD -26 dB within 1 dB (it carries noise), +30 ppm within 2 ppm, noise 20 dB below the signal
// in 2500 Hz within 5 %; the same samples every run, others from another seed; within full scale;
// a line of Shift-JIS (a lead byte 0x81..0x9f) among the ASCII of its QSO.
TEST(BuiltinSignal, HasItsIdleImdNoiseAndClockErrorAndIsDeterministic) {
  const std::vector<float> x = test::builtin_samples(20);  // the first idle lasts 5.1 s
  EXPECT_EQ(x, test::builtin_samples(20));
  BuiltinSignal other_seed(2);
  std::vector<float> c(8000);
  other_seed.read(c);
  EXPECT_NE(std::vector<float>(x.begin(), x.begin() + 8000), c);
  EXPECT_LT(*std::max_element(x.begin(), x.end()), 1.0f);
  EXPECT_GT(*std::max_element(x.begin(), x.end()), 0.2f);
  const double rate = 8000 * (1 + 30e-6);
  const std::span<const float> idle = std::span<const float>(x).subspan(2000, 36000);
  EXPECT_NEAR(measure_idle_imd(idle, 1500, 31.25, rate).imd_db, -26.0, 1.0);
  EXPECT_NEAR(test::tone_ppm(idle, 1515.625), 30.0, 2.0);  // the upper idle tone
  // The difference from the same transmitter without noise is the noise.
  PskModulator modulator(PskMode::Bpsk31, 1500, rate);
  modulator.append_idle(BuiltinSignal::kIdleSymbols);
  modulator.append_text(BuiltinSignal::overs()[0]);
  CubicAmplifier amplifier(BuiltinSignal::kImdDb);
  std::vector<float> clean(38000);
  modulator.render(clean);
  double noise = 0;
  for (size_t i = 0; i < 38000; ++i) {
    const double d = x[i] - BuiltinSignal::kGain * amplifier.process(clean[i]);  // in order
    if (i >= 2000) noise += d * d / 36000;
  }
  const double expected = BuiltinSignal::loop_signal_power() / 100.0 * 4000.0 / 2500.0;
  EXPECT_NEAR(noise, expected, 0.05 * expected);  // the spread of 36000 samples is 0.8 %
  bool shift_jis = false;
  for (std::string_view over : BuiltinSignal::overs())
    for (unsigned char ch : over) shift_jis |= ch >= 0x81 && ch <= 0x9f;
  EXPECT_TRUE(shift_jis);
}

}  // namespace
}  // namespace psk
