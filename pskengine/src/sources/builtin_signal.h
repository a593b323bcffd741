// The built-in test signal: BPSK31 at 1500 Hz looping a short QSO (calls, a
// few lines of English and a line of Japanese in Shift-JIS) with idle between
// the overs, through an amplifier with a cubic nonlinearity (IMD about
// -26 dB), with white noise 20 dB below the signal in 2500 Hz, and rendered
// 30 ppm slow so that it reads as a sound card sampling 30 ppm fast.
// Endless and deterministic; the engine paces it in real time.
#pragma once

#include <cstdint>
#include <random>
#include <span>
#include <string_view>

#include "modem/modulator.h"
#include "sim/amplifier.h"
#include "sources/audio_source.h"

namespace psk {

class BuiltinSignal : public AudioSource {
 public:
  static constexpr double kCarrierHz = 1500.0;  // carrier frequency
  static constexpr double kImdDb = -26.0;       // IMD of the idle signal
  static constexpr double kSnrDb = 20.0;        // signal over noise in 2500 Hz
  static constexpr double kClockPpm = 30.0;     // apparent sound-card clock error
  static constexpr int kIdleSymbols = 160;      // idle before each over (5.1 s)
  static constexpr float kGain = 0.3f;          // output level of the unit-amplitude signal

  explicit BuiltinSignal(uint32_t noise_seed = 1);
  size_t read(std::span<float> out) override;
  bool live() const override { return false; }
  SourceState state() const override { return SourceState::Running; }

  // The overs of the QSO, in the order sent (bytes, Shift-JIS where Japanese).
  static std::span<const std::string_view> overs();
  // Mean power of the noiseless signal over one loop (after kGain).
  static double loop_signal_power();
  // Standard deviation of the added noise.
  static double noise_sigma();

 private:
  // Renders the noiseless signal (after kGain) into out.
  static void render_clean(PskModulator& modulator, CubicAmplifier& amplifier, size_t& next_over,
                           std::span<float> out);

  PskModulator modulator_;                 // the transmitter
  CubicAmplifier amplifier_;               // its distortion
  size_t next_over_ = 0;                   // index of the next over to queue
  std::mt19937 rng_;                       // noise generator
  std::normal_distribution<float> noise_;  // white noise, noise_sigma()
};

}  // namespace psk
