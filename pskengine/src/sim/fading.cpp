#include "sim/fading.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "sim/hilbert.h"

namespace psk {
namespace {
// The gains are made at this many samples per hertz of spread, then
// interpolated to the signal's rate: the Gaussian filter is then always
// about 7 samples wide, whatever the spread.
constexpr double kGainRatePerHz = 32.0;
constexpr double kFilterSigmas = 4.0;  // filter taps reach this many standard deviations

struct NamedProfile {
  FadingProfile profile;
  std::string_view name;
  FadingPaths paths;
};
constexpr NamedProfile kProfiles[] = {
    {FadingProfile::None, "none", {0.0, 0.0}},         {FadingProfile::Good, "good", {0.5, 0.1}},
    {FadingProfile::Moderate, "moderate", {1.0, 0.5}}, {FadingProfile::Poor, "poor", {2.0, 1.0}},
    {FadingProfile::Flutter, "flutter", {0.5, 10.0}},
};

const NamedProfile& entry(FadingProfile profile) {
  for (const auto& p : kProfiles)
    if (p.profile == profile) return p;
  return kProfiles[0];
}
}  // namespace

FadingPaths fading_paths(FadingProfile profile) {
  return entry(profile).paths;
}

std::optional<FadingProfile> parse_fading_profile(std::string_view name) {
  for (const auto& p : kProfiles)
    if (p.name == name) return p.profile;
  return std::nullopt;
}

std::string_view fading_profile_name(FadingProfile profile) {
  return entry(profile).name;
}

std::vector<std::complex<float>> fading_gains(size_t n, FadingProfile profile, uint64_t seed,
                                              int path, double rate_hz) {
  const FadingPaths paths = fading_paths(profile);
  if (profile == FadingProfile::None || paths.spread_hz <= 0)
    return std::vector<std::complex<float>>(n, path == 0 ? 1.0f : 0.0f);

  // White noise through a Gaussian impulse response exp(-t^2 / (2 s^2)) has
  // the power spectrum exp(-4 pi^2 s^2 f^2), a Gaussian of standard
  // deviation 1 / (2 sqrt2 pi s); for spread/2 that is s = 1 / (sqrt2 pi spread).
  const double gain_rate = kGainRatePerHz * paths.spread_hz;
  const double sigma =
      gain_rate / (std::numbers::sqrt2 * std::numbers::pi * paths.spread_hz);  // in gain samples
  const int half = static_cast<int>(std::ceil(kFilterSigmas * sigma));
  std::vector<double> taps(static_cast<size_t>(2 * half + 1));
  double energy = 0;
  for (int k = -half; k <= half; ++k) {
    const double h = std::exp(-0.5 * (k / sigma) * (k / sigma));
    taps[static_cast<size_t>(k + half)] = h;
    energy += h * h;
  }
  // Unit-power white noise through taps of unit energy keeps unit power;
  // each path then gets half of it.
  const double scale = std::sqrt(0.5 / energy);

  const size_t m = static_cast<size_t>(std::ceil(static_cast<double>(n) / rate_hz * gain_rate)) + 2;
  std::mt19937_64 rng(seed * 0x9E3779B97F4A7C15ull + static_cast<uint64_t>(path) + 1);
  std::normal_distribution<double> gauss(0.0, std::sqrt(0.5));
  std::vector<std::complex<double>> white(m + taps.size());
  for (auto& w : white) w = {gauss(rng), gauss(rng)};
  std::vector<std::complex<double>> slow(m);
  for (size_t i = 0; i < m; ++i) {
    std::complex<double> acc = 0;
    for (size_t k = 0; k < taps.size(); ++k) acc += taps[k] * white[i + k];
    slow[i] = acc * scale;
  }

  std::vector<std::complex<float>> gains(n);
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / rate_hz * gain_rate;
    const auto j = static_cast<size_t>(t);
    const double f = t - static_cast<double>(j);
    gains[i] = std::complex<float>((1.0 - f) * slow[j] + f * slow[std::min(j + 1, m - 1)]);
  }
  return gains;
}

void apply_fading(std::vector<float>& x, FadingProfile profile, uint64_t seed, double rate_hz) {
  if (profile == FadingProfile::None || x.empty()) return;
  const auto g0 = fading_gains(x.size(), profile, seed, 0, rate_hz);
  const auto g1 = fading_gains(x.size(), profile, seed, 1, rate_hz);
  const auto delay =
      static_cast<size_t>(std::lround(fading_paths(profile).delay_ms * rate_hz / 1000));

  // Analytic signal, aligned with x (the transformer delays by kHalfLength).
  HilbertTransformer hilbert;
  std::vector<std::complex<float>> a(x.size());
  const size_t lag = HilbertTransformer::kHalfLength;
  for (size_t i = 0; i < x.size() + lag; ++i) {
    const auto z = hilbert.process(i < x.size() ? x[i] : 0.0f);
    if (i >= lag) a[i - lag] = z;
  }
  for (size_t i = 0; i < x.size(); ++i) {
    std::complex<float> y = g0[i] * a[i];
    if (i >= delay) y += g1[i] * a[i - delay];
    x[i] = y.real();
  }
}

}  // namespace psk
