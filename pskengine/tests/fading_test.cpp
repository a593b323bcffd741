// The fading channel against its definition: Rayleigh paths of half the power
// each, a Gaussian Doppler spectrum of the profile's spread, independent
// paths, and a delay that makes distant tones fade apart.
#include "sim/fading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace psk {
namespace {

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
