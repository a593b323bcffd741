// Test signals with known properties, for tonvista-cli generate and the
// engine's tests: idle, text, idle again, with an IMD made by a cubic
// amplifier or by added third-order product tones, white noise at an SNR in
// 2500 Hz, a sound-card clock error, a fading channel and a second,
// interfering station.  The one generator of test signals and of white noise
// for the tool, the tests, the evaluation programs and the benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "dsp/sample_rate.h"
#include "modem/modes.h"
#include "sim/fading.h"

namespace psk {

enum class ImdKind {
  CubicAmplifier,  // the signal passes an amplifier with a cubic envelope nonlinearity
  ProductTones,    // two steady tones at carrier +- 3 baud/2 are added
};

struct TestSignalParams {
  PskMode mode = PskMode::Bpsk31;  // modulation
  double carrier_hz = 1500.0;      // carrier frequency at the start
  double drift_hz_per_s = 0.0;     // carrier drift, Hz per second
  std::optional<double> imd_db;    // IMD of the idle part (below 0); none: clean
  ImdKind imd_kind = ImdKind::CubicAmplifier;
  std::optional<double> snr_db;     // signal mean power over noise power in 2500 Hz; none: no noise
  double ppm = 0.0;                 // receiving sound card samples faster by this much
  std::string text;                 // bytes sent after the first idle
  double idle_seconds = 10.0;       // idle before the text
  std::optional<int> idle_symbols;  // idle before the text in symbols, instead of seconds
  std::optional<int> tail_idle_symbols;  // idle after the text in symbols; ends the signal
  std::optional<double> seconds;         // total length (idle fills or the end is cut); none: idle,
                                         // text and the tail idle (1 s without tail_idle_symbols)
  bool scale_for_file = true;  // false: the modulator's unit amplitude, not scaled for a file
  uint32_t seed = 1;           // noise generator seed (and the fades')
  FadingProfile fading = FadingProfile::None;  // two-path channel the signal passes
  // A second station sending BPSK31 text this far from the carrier (Hz); none: no interference.
  std::optional<double> qrm_offset_hz;
  double qrm_db = 0.0;  // the second station's mean power over the wanted signal's, dB
};

struct TestSignal {
  std::vector<float> samples;             // 8000 Hz audio, peak at most 0.9 when scaled for a file
  double render_rate_hz = kEngineRateHz;  // rate the modulator ran at (8000 (1 + ppm 1e-6))
  double signal_power = 0;  // mean power of the wanted signal (before fading), whole length
  double noise_power = 0;   // variance of the added noise
  size_t idle_end = 0;      // samples [0, idle_end) are the first idle part
};

TestSignal make_test_signal(const TestSignalParams& params);

// Mean power of x (0 for no samples).
double mean_power(std::span<const float> x);
// White noise over 0..4000 Hz whose power in 2500 Hz is snr_db below
// signal_power; the same seed gives the same noise.
std::vector<float> make_noise(size_t samples, double signal_power, double snr_db, uint32_t seed);
// Adds make_noise(x.size(), signal_power, snr_db, seed) to x.
void add_noise(std::span<float> x, double signal_power, double snr_db, uint32_t seed);

}  // namespace psk
