#include "survey/simulated_band.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "dsp/sample_rate.h"
#include "sim/test_signal.h"

namespace psk {
namespace {

constexpr double kRate = kEngineRateHz;
constexpr double kNoiseSigma = 0.02;  // noise standard deviation before the final scaling

// One over alone, unit-free, as make_test_signal renders it.
std::vector<float> render_over(const SimulatedStation& station, const SimulatedOver& over) {
  TestSignalParams params;
  params.mode = station.mode;
  params.carrier_hz = station.carrier_hz;
  params.imd_db = station.imd_db;
  params.ppm = station.ppm;
  params.text = over.text;
  params.idle_seconds = over.idle_s;
  // First without a length to learn where the text ends (it is followed by
  // one second of idle), then with the tail wanted.
  const TestSignal probe = make_test_signal(params);
  params.seconds = static_cast<double>(probe.samples.size()) / kRate - 1.0 + over.tail_idle_s;
  return make_test_signal(params).samples;
}

}  // namespace

std::vector<float> render_band(const std::vector<SimulatedStation>& stations, double seconds,
                               uint32_t seed) {
  const auto length = static_cast<size_t>(std::max(0.0, seconds) * kRate);
  std::vector<double> band(length, 0.0);
  // Noise power in 2500 Hz of white noise over 0..4000 Hz.
  const double noise_2500 = kNoiseSigma * kNoiseSigma * 2500.0 / (kRate / 2);
  for (const SimulatedStation& station : stations) {
    for (const SimulatedOver& over : station.overs) {
      const std::vector<float> x = render_over(station, over);
      double power = 0;
      for (float s : x) power += static_cast<double>(s) * s;
      power /= static_cast<double>(std::max<size_t>(x.size(), 1));
      const double gain =
          power > 0 ? std::sqrt(noise_2500 * std::pow(10.0, station.snr_db / 10.0) / power) : 0.0;
      const auto start = static_cast<size_t>(std::max(0.0, over.start_s) * kRate);
      for (size_t i = 0; i < x.size() && start + i < length; ++i) band[start + i] += gain * x[i];
    }
  }
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> gauss(0.0, kNoiseSigma);
  double peak = 0;
  for (double& v : band) {
    v += gauss(rng);
    peak = std::max(peak, std::abs(v));
  }
  const double scale = peak > 0.9 ? 0.9 / peak : 1.0;
  std::vector<float> out(length);
  for (size_t i = 0; i < length; ++i) out[i] = static_cast<float>(band[i] * scale);
  return out;
}

std::vector<SimulatedStation> demo_band_stations() {
  auto cq = [](const std::string& call) {
    return "CQ CQ CQ de " + call + " " + call + " " + call + " pse k\n";
  };
  auto reply = [](const std::string& to, const std::string& from) {
    return to + " de " + from + " 599 kn\n";
  };
  // Idles of six seconds and more, so that the IMD meter and the clock
  // estimator have time to read.
  return {
      {"DL1ABC",
       PskMode::Bpsk31,
       520.0,
       -28,
       22,
       0,
       {{1, 7, cq("DL1ABC"), 4}, {38, 7, cq("DL1ABC"), 4}}},
      {"G4XYZ/P",
       PskMode::Bpsk63,
       830.0,
       -22,
       16,
       100,
       {{3, 6, cq("G4XYZ/P"), 4}, {35, 8, cq("G4XYZ/P"), 4}}},
      {"JA1QRZ",
       PskMode::Qpsk31,
       1150.0,
       -31,
       24,
       0,
       {{2, 8, cq("JA1QRZ"), 3}, {36, 6, cq("JA1QRZ"), 3}}},
      {"W1AW",
       PskMode::Bpsk125,
       1480.0,
       -18,
       15,
       0,
       {{5, 6, cq("W1AW"), 3}, {30, 7, cq("W1AW"), 3}}},
      {"DL/ON4ABC",
       PskMode::Qpsk63,
       1860.0,
       -25,
       12,
       -100,
       {{4, 7, cq("DL/ON4ABC"), 4}, {40, 6, cq("DL/ON4ABC"), 4}}},
      {"F5XYZ",
       PskMode::Bpsk31,
       2300.0,
       -33,
       25,
       0,
       {{1, 7, cq("F5XYZ"), 4}, {45, 7, reply("I2ABC/QRP", "F5XYZ"), 3}}},
      {"I2ABC/QRP",
       PskMode::Bpsk31,
       2302.0,
       -16,
       14,
       40,
       {{23, 7, reply("F5XYZ", "I2ABC/QRP"), 3}}},
  };
}

}  // namespace psk
