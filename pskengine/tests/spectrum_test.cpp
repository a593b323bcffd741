// Spectrum levels against generated truth.  Tolerances: peak bin +-1 bin;
// bias shifts every unclamped level by exactly round((bias-1)/4) +-1.
#include "spectrum/spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "modulator.h"
#include "sim/test_signal.h"

namespace psk {
namespace {

constexpr int kHop = 800;

// Feeds x through a spectrum in hops of 800 samples, updating after each.
void feed(Spectrum& s, const std::vector<float>& x) {
  for (size_t pos = 0; pos + kHop <= x.size(); pos += kHop) {
    s.push(std::span<const float>(x).subspan(pos, kHop));
    s.update();
  }
}

std::vector<float> carrier(double hz, size_t n, double amplitude = 0.5) {
  PskModulator mod(PskMode::Bpsk31, hz);
  mod.append_carrier(static_cast<int>(n / 256 + 2));
  std::vector<float> x(n);
  mod.render(x);
  for (float& v : x) v *= static_cast<float>(amplitude);
  return x;
}

std::vector<float> noise(size_t n, double sigma, uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> g(0.0f, static_cast<float>(sigma));
  std::vector<float> x(n);
  for (float& v : x) v = g(rng);
  return x;
}

TEST(Spectrum, CarrierPeaksAtItsBinFrom300To2700Hz) {
  for (double hz = 300; hz <= 2700; hz += 97.3) {
    Spectrum s;
    std::vector<float> x = carrier(hz, 8000);
    const std::vector<float> n = noise(x.size(), 0.01, 7);
    for (size_t i = 0; i < x.size(); ++i) x[i] += n[i];
    feed(s, x);
    const auto& levels = s.levels();
    const int peak =
        static_cast<int>(std::max_element(levels.begin(), levels.end()) - levels.begin());
    EXPECT_NEAR(peak, std::lround(hz / Spectrum::kBinHz), 1) << hz << " Hz";
  }
}

TEST(Spectrum, TwentyDbSignalShowsFloorInLowerThirdAndPeakAbove60) {
  TestSignalSpec spec;
  spec.snr_db = 20.0;
  spec.idle_seconds = 4.0;
  spec.text = "CQ CQ de JA1DEMO";
  Spectrum s;  // defaults: smoothing 3, bias 1
  feed(s, make_test_signal(spec).samples);
  const auto& levels = s.levels();
  double floor = 0;
  int count = 0;
  for (int k = 128; k <= 640; ++k) {
    if (std::abs(k * Spectrum::kBinHz - 1500.0) > 100) {
      floor += levels[k];
      ++count;
    }
  }
  floor /= count;
  EXPECT_LT(floor, 100.0 / 3);
  EXPECT_GT(floor, 5.0);  // noise is visible, not clipped away
  EXPECT_GT(*std::max_element(levels.begin() + 370, levels.begin() + 400), 60);
}

TEST(Spectrum, LevelsDoNotDependOnAudioGain) {
  TestSignalSpec spec;
  spec.snr_db = 15.0;
  spec.idle_seconds = 3.0;
  std::vector<float> loud = make_test_signal(spec).samples;
  std::vector<float> quiet = loud;
  for (float& v : quiet) v *= 0.01f;
  Spectrum a, b;
  feed(a, loud);
  feed(b, quiet);
  for (int k = 0; k < Spectrum::kBins; ++k) EXPECT_NEAR(a.levels()[k], b.levels()[k], 1) << k;
}

TEST(Spectrum, BiasLowersEveryLevelByAQuarterPerStep) {
  TestSignalSpec spec;
  spec.snr_db = 10.0;
  spec.idle_seconds = 3.0;
  const std::vector<float> x = make_test_signal(spec).samples;
  Spectrum reference;
  feed(reference, x);
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

TEST(Spectrum, SmoothingAveragesThatManySpectra) {
  // Noise alone: the spread of the levels shrinks with more spectra averaged.
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
  const double one = spread(1), ten = spread(10);
  EXPECT_LT(ten, 0.6 * one);

  // The reported spectrum is the mean of exactly the last n spectra, also
  // while a carrier comes on and after the setting changes.
  for (int smoothing : {1, 3, 10}) {
    Spectrum s;
    s.set_smoothing(smoothing);
    feed(s, noise(4 * 2048, 0.01, 5));
    std::vector<float> on = carrier(1000.0, 800 * 14);
    std::vector<double> newest;
    for (size_t pos = 0; pos + kHop <= on.size(); pos += kHop) {
      s.push(std::span<const float>(on).subspan(pos, kHop));
      s.update();
      newest.push_back(s.newest_power()[256]);
      double sum = 0;
      const size_t n = std::min<size_t>(static_cast<size_t>(smoothing), newest.size());
      for (size_t i = newest.size() - n; i < newest.size(); ++i) sum += newest[i];
      if (newest.size() >= static_cast<size_t>(smoothing)) {
        EXPECT_NEAR(s.mean_power()[256], sum / n, 1e-5 * sum / n) << smoothing;
      }
    }
  }
}

TEST(Spectrum, LevelFollowsItsFormula) {
  // 20 at the noise reference, 1.25 per dB, bias lowers by a quarter per step.
  EXPECT_EQ(Spectrum::level_of(1e-6f, 1e-6f, 1), 20);
  EXPECT_EQ(Spectrum::level_of(1e-2f, 1e-6f, 1), 70);   // 40 dB above
  EXPECT_EQ(Spectrum::level_of(1e-8f, 1e-6f, 1), 0);    // 20 dB below
  EXPECT_EQ(Spectrum::level_of(1e-1f, 1e-8f, 1), 100);  // 70 dB above: clamped
  EXPECT_EQ(Spectrum::level_of(1e-2f, 1e-6f, 41), 60);
  EXPECT_EQ(Spectrum::level_of(0.0f, 1e-6f, 1), 0);
  // A full-scale sine centred on a bin reads as its mean power 0.5.
  Spectrum s;
  std::vector<float> x(4096);
  for (size_t i = 0; i < x.size(); ++i)
    x[i] = static_cast<float>(std::cos(2 * M_PI * 1000.0 * i / 8000.0));
  s.push(x);
  s.update();
  EXPECT_NEAR(s.newest_power()[256], 0.5, 0.005);
}

TEST(Spectrum, SilenceReadsZeroAndBadSettingsAreRefused) {
  Spectrum s;
  feed(s, std::vector<float>(8000, 0.0f));
  for (int32_t level : s.levels()) ASSERT_EQ(level, 0);
  EXPECT_EQ(s.set_smoothing(0), -1);
  EXPECT_EQ(s.set_smoothing(11), -1);
  EXPECT_EQ(s.set_bias(0), -1);
  EXPECT_EQ(s.set_bias(91), -1);
  EXPECT_EQ(s.smoothing(), 3);
  EXPECT_EQ(s.bias(), 1);
}

}  // namespace
}  // namespace psk
