// The simulator against definitions: the generator and the built-in signal (IMD, SNR, clock
// error), and the fading channel (Rayleigh paths of half the power each, a Gaussian Doppler
// spectrum of the profile's spread, independent paths, a delay that makes distant tones fade
// apart).
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "sim/amplifier.h"
#include "sim/fading.h"
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

using cd = std::complex<double>;

cd correlation(const std::vector<std::complex<float>>& a, const std::vector<std::complex<float>>& b,
               size_t lag) {
  cd ab = 0;
  double aa = 0, bb = 0;
  for (size_t i = 0; i + lag < a.size(); ++i) {
    ab += cd(a[i + lag]) * std::conj(cd(b[i]));
    aa += std::norm(cd(a[i + lag]));
    bb += std::norm(cd(b[i]));
  }
  return ab / std::sqrt(aa * bb);
}

// Tolerances: 200,000 gain samples span thousands of independent fades, so
// power and correlations are known to a few per cent.
TEST(Fading, PathsHaveHalfThePowerTheirSpreadAndNoCommonFades) {
  for (auto profile : {FadingProfile::Good, FadingProfile::Moderate, FadingProfile::Poor,
                       FadingProfile::Flutter}) {
    SCOPED_TRACE(std::string(fading_profile_name(profile)));
    const double spread = fading_paths(profile).spread_hz;
    const double rate = 20 * spread;  // gains only: any rate well above the spread
    const size_t n = 200000;
    const auto g0 = fading_gains(n, profile, 7, 0, rate);
    const auto g1 = fading_gains(n, profile, 7, 1, rate);
    // A Gaussian spectrum of standard deviation spread/2 has the
    // autocorrelation exp(-(pi spread tau)^2 / 2): exp(-1/2) at tau = 1/(pi spread).
    const auto lag = static_cast<size_t>(std::lround(rate / (std::numbers::pi * spread)));
    for (const auto* g : {&g0, &g1}) {
      double power = 0;
      for (const std::complex<float>& v : *g) power += std::norm(v);
      EXPECT_NEAR(power / n, 0.5, 0.05);
      EXPECT_NEAR(std::abs(correlation(*g, *g, lag)), std::exp(-0.5), 0.06);
    }
    EXPECT_LT(std::abs(correlation(g0, g1, 0)), 0.06);
  }
}

TEST(Fading, TonesFadeTogetherWhenCloseAndApartAtHalfTheInverseDelay) {
  // Moderate: 1 ms delay, so tones 500 Hz apart see opposite second paths
  // and fade independently, while tones 31.25 Hz apart fade together.
  constexpr double kRate = 8000;
  const double freqs[] = {1000, 1031.25, 1500};
  std::vector<float> x(static_cast<size_t>(240 * kRate));
  for (size_t i = 0; i < x.size(); ++i)
    for (double f : freqs)
      x[i] += static_cast<float>(std::cos(2 * std::numbers::pi * f * i / kRate));
  apply_fading(x, FadingProfile::Moderate, 3);
  // Each tone's complex gain over 0.25 s blocks.
  const size_t block = 2000;
  std::vector<std::vector<std::complex<float>>> gains(3);
  for (size_t start = 0; start + block <= x.size(); start += block)
    for (size_t k = 0; k < 3; ++k) {
      cd acc = 0;
      for (size_t i = start; i < start + block; ++i)
        acc += static_cast<double>(x[i]) *
               std::polar(1.0, -2 * std::numbers::pi * freqs[k] * i / kRate);
      gains[k].push_back(std::complex<float>(acc));
    }
  EXPECT_GT(std::abs(correlation(gains[0], gains[1], 0)), 0.9);
  EXPECT_LT(std::abs(correlation(gains[0], gains[2], 0)), 0.3);
}

TEST(Fading, ProfilesByNameAndNoneLeavesTheSignal) {
  EXPECT_EQ(parse_fading_profile("moderate"), FadingProfile::Moderate);
  EXPECT_EQ(parse_fading_profile("flutter"), FadingProfile::Flutter);
  EXPECT_EQ(parse_fading_profile("Moderate"), std::nullopt);
  std::vector<float> x = {0.5f, -0.25f, 1.0f};
  apply_fading(x, FadingProfile::None, 1);
  EXPECT_EQ(x, (std::vector<float>{0.5f, -0.25f, 1.0f}));
}

}  // namespace
}  // namespace psk
