#include "sim/test_signal.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "dsp/sample_rate.h"
#include "modem/modulator.h"
#include "sim/amplifier.h"

namespace psk {
namespace {
constexpr double kRate = kEngineRateHz;
constexpr double kPeakLevel =
    0.5;                          // peak of the unit-amplitude signal in the file, noise permitting
constexpr double kMaxPeak = 0.9;  // no sample beyond this (16-bit files never clip)

// Variance of white noise over 0..4000 Hz whose share in 2500 Hz is snr_db
// below signal_power.
double noise_variance(double signal_power, double snr_db) {
  return signal_power / std::pow(10.0, snr_db / 10.0) * (kRate / 2.0) / 2500.0;
}

std::vector<float> render(PskModulator& modulator, size_t length) {
  std::vector<float> out(length, 0.0f);
  size_t done = 0;
  while (done < length) {
    if (modulator.done()) modulator.append_idle(64);
    done += modulator.render(std::span<float>(out).subspan(done));
  }
  return out;
}
// Adds a second station sending BPSK31 text at the offset carrier, its mean
// power qrm_db above the wanted signal's (power).
void add_interferer(std::vector<float>& x, const TestSignalParams& params, double render_rate_hz,
                    double power) {
  PskModulator other(PskMode::Bpsk31, params.carrier_hz + *params.qrm_offset_hz, render_rate_hz);
  std::vector<float> y(x.size(), 0.0f);
  size_t done = 0;
  while (done < y.size()) {
    if (other.done()) other.append_text("cq cq cq de qrm qrm qrm pse k ");
    done += other.render(std::span<float>(y).subspan(done));
  }
  const double other_power = mean_power(y);
  if (other_power <= 0) return;
  const double gain = std::sqrt(power * std::pow(10.0, params.qrm_db / 10.0) / other_power);
  for (size_t n = 0; n < x.size(); ++n) x[n] += static_cast<float>(gain * y[n]);
}
}  // namespace

TestSignal make_test_signal(const TestSignalParams& params) {
  TestSignal result;
  const ModeInfo& mode = mode_info(params.mode);
  result.render_rate_hz = kRate * (1.0 + params.ppm * 1e-6);
  PskModulator modulator(params.mode, params.carrier_hz, result.render_rate_hz);
  // The drift runs on the modulator's clock, as the carrier does.
  modulator.set_drift(params.drift_hz_per_s * (1.0 + params.ppm * 1e-6));

  // Symbols, in the modulator's time; samples, in the file's time.
  const double samples_per_symbol = result.render_rate_hz / mode.baud;
  const int idle_symbols = std::max(
      0,
      params.idle_symbols.value_or(static_cast<int>(std::lround(params.idle_seconds * mode.baud))));
  modulator.append_idle(idle_symbols);
  result.idle_end = static_cast<size_t>(idle_symbols * samples_per_symbol);
  // Length of the text and the tail idle: render them once to count.
  const int tail_symbols = std::max(0, params.tail_idle_symbols.value_or(0));
  size_t content = result.idle_end;
  if (!params.text.empty() || tail_symbols > 0) {
    PskModulator counter(params.mode, params.carrier_hz, result.render_rate_hz);
    counter.set_drift(params.drift_hz_per_s * (1.0 + params.ppm * 1e-6));
    counter.append_text(params.text);
    counter.append_idle(tail_symbols);
    std::vector<float> block(4096);
    while (!counter.done()) content += counter.render(block);
    modulator.append_text(params.text);
    modulator.append_idle(tail_symbols);
  }
  const size_t tail = params.tail_idle_symbols ? 0 : static_cast<size_t>(kRate);
  const size_t length =
      params.seconds ? static_cast<size_t>(std::max(0.0, *params.seconds) * kRate) : content + tail;

  std::vector<float> x;
  if (params.imd_db && params.imd_kind == ImdKind::CubicAmplifier) {
    // The amplifier delays by its Hilbert filter; render that much more and
    // drop it from the front so the timing stays the modulator's.
    CubicAmplifier amplifier(*params.imd_db);
    x = render(modulator, length + CubicAmplifier::delay());
    for (float& s : x) s = amplifier.process(s);
    x.erase(x.begin(), x.begin() + CubicAmplifier::delay());
  } else {
    x = render(modulator, length);
  }
  if (params.imd_db && params.imd_kind == ImdKind::ProductTones) {
    // Each idle tone has amplitude 1/2; each product tone r/2 beside it.
    const double amplitude = 0.5 * std::pow(10.0, *params.imd_db / 20.0);
    const double lower =
        2 * std::numbers::pi * (params.carrier_hz - 1.5 * mode.baud) / result.render_rate_hz;
    const double upper =
        2 * std::numbers::pi * (params.carrier_hz + 1.5 * mode.baud) / result.render_rate_hz;
    for (size_t n = 0; n < x.size(); ++n) {
      const double t = static_cast<double>(n);
      x[n] +=
          static_cast<float>(amplitude * (std::cos(lower * t + 0.3) + std::cos(upper * t + 1.1)));
    }
  }

  const double power = mean_power(x);

  // The SNR is the mean over the fades: the channel keeps the mean power.
  apply_fading(x, params.fading, params.seed, kRate);
  if (params.qrm_offset_hz && power > 0) add_interferer(x, params, result.render_rate_hz, power);

  std::vector<float> noise(x.size(), 0.0f);
  double noise_power = 0;
  if (params.snr_db && power > 0) {
    noise = make_noise(x.size(), power, *params.snr_db, params.seed);
    noise_power = noise_variance(power, *params.snr_db);
  }
  double peak = 0;
  for (size_t n = 0; n < x.size(); ++n) peak = std::max(peak, std::abs(double{x[n]} + noise[n]));
  const double gain = !params.scale_for_file ? 1.0
                      : peak > 0             ? std::min(kPeakLevel, kMaxPeak / peak)
                                             : kPeakLevel;
  result.samples.resize(x.size());
  for (size_t n = 0; n < x.size(); ++n)
    result.samples[n] = static_cast<float>(gain * (x[n] + noise[n]));
  result.signal_power = power * gain * gain;
  result.noise_power = noise_power * gain * gain;
  result.idle_end = std::min(result.idle_end, result.samples.size());
  return result;
}

double mean_power(std::span<const float> x) {
  double sum = 0;
  for (float v : x) sum += static_cast<double>(v) * v;
  return x.empty() ? 0.0 : sum / static_cast<double>(x.size());
}

std::vector<float> make_noise(size_t samples, double signal_power, double snr_db, uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> gauss(0.0, std::sqrt(noise_variance(signal_power, snr_db)));
  std::vector<float> noise(samples);
  for (float& v : noise) v = static_cast<float>(gauss(rng));
  return noise;
}

void add_noise(std::span<float> x, double signal_power, double snr_db, uint32_t seed) {
  const std::vector<float> noise = make_noise(x.size(), signal_power, snr_db, seed);
  for (size_t n = 0; n < x.size(); ++n) x[n] += noise[n];
}

}  // namespace psk
