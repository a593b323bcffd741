// A two-path fading channel for simulated signals: the received signal is the
// sum of two copies of the sent one, the second delayed, each multiplied by
// its own slowly varying complex gain.  The gains are independent complex
// Gaussian processes (Rayleigh amplitude) whose Doppler spectrum is Gaussian;
// the profile's spread is twice that spectrum's standard deviation.  Each
// path carries half the mean power, so the channel keeps the mean power.
#pragma once

#include <complex>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "dsp/sample_rate.h"

namespace psk {

enum class FadingProfile {
  None,      // no fading
  Good,      // 0.5 ms delay, 0.1 Hz spread
  Moderate,  // 1 ms, 0.5 Hz
  Poor,      // 2 ms, 1 Hz
  Flutter,   // 0.5 ms, 10 Hz
};

struct FadingPaths {
  double delay_ms = 0;   // delay of the second path, ms
  double spread_hz = 0;  // Doppler spread of each path, Hz
};

FadingPaths fading_paths(FadingProfile profile);
// "none", "good", "moderate", "poor", "flutter"; nullopt for any other name.
std::optional<FadingProfile> parse_fading_profile(std::string_view name);
std::string_view fading_profile_name(FadingProfile profile);

// Passes the real signal x (rate_hz samples a second) through the channel in
// place.  The same seed gives the same fades.  Profile None leaves x as it is.
void apply_fading(std::vector<float>& x, FadingProfile profile, uint64_t seed,
                  double rate_hz = kEngineRateHz);

// The two paths' complex gains at every sample of a signal of n samples
// (index 0: direct path, 1: delayed path), for tests and evaluations.
std::vector<std::complex<float>> fading_gains(size_t n, FadingProfile profile, uint64_t seed,
                                              int path, double rate_hz = kEngineRateHz);

}  // namespace psk
