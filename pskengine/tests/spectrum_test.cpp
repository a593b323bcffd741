// Spectrum levels against generated truth.
#include "spectrum/spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "sim/test_signal.h"
#include "test_signal.h"

namespace psk {
namespace {

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
