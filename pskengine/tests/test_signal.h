// Shared helpers: signals with known truth and noise from the simulator, the core run.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "core/receiver.h"
#include "modem/modes.h"
#include "modem/modulator.h"
#include "modem/psk_demodulator.h"
#include "pskengine.h"
#include "sim/imd_truth.h"
#include "sim/test_signal.h"
#include "sources/builtin_signal.h"
#include "sources/wav_source.h"

namespace psk::test {

constexpr double kRate = 8000.0;  // engine sample rate, Hz
constexpr PskMode kAllModes[] = {PskMode::Bpsk31, PskMode::Qpsk31,  PskMode::Bpsk63,
                                 PskMode::Qpsk63, PskMode::Bpsk125, PskMode::Qpsk125};

// Calls f(block, index of its first sample) on consecutive blocks of n samples.
template <class F>
void for_blocks(std::span<const float> x, size_t n, F&& f) {
  for (size_t i = 0; i < x.size(); i += n) f(x.subspan(i, std::min(n, x.size() - i)), i);
}

// The first `seconds` of the built-in test signal.
inline std::vector<float> builtin_samples(double seconds) {
  BuiltinSignal source;
  std::vector<float> x(static_cast<size_t>(seconds * kRate));
  for_blocks(x, 997, [&](std::span<const float> b, size_t i) {
    source.read(std::span<float>(x).subspan(i, b.size()));
  });
  return x;
}

// A sound file's samples at 8000 Hz mono; empty when it cannot be read.
inline std::vector<float> read_wav(const std::string& path) {
  std::string error;
  const auto source = WavSource::open_file(path, &error);
  std::vector<float> x(source ? static_cast<size_t>(source->total_samples()) : 0);
  if (source) x.resize(source->read(x));
  return x;
}

// Clock error (ppm) of a card that sees a tone sent at f0 Hz in x, from its
// phase turn between 1 s Hann-windowed pieces.
inline double tone_ppm(std::span<const float> x, double f0) {
  using std::numbers::pi;
  std::complex<double> previous = 0, turn = 0;
  for (size_t start = 0; start + 8000 <= x.size(); start += 8000) {
    std::complex<double> acc = 0;
    for (size_t i = 0; i < 8000; ++i) {
      const double w = 0.5 - 0.5 * std::cos(2 * pi * static_cast<double>(i) / 8000.0);
      acc +=
          w * x[start + i] * std::polar(1.0, -2 * pi * f0 * static_cast<double>(start + i) / kRate);
    }
    if (start > 0) turn += acc * std::conj(previous);
    previous = acc;
  }
  return (f0 / (f0 + std::arg(turn) / (2 * pi)) - 1) * 1e6;
}

struct SignalParams {
  PskMode mode = PskMode::Bpsk31;
  double carrier_hz = 1500.0;   // carrier at the start of the signal
  double drift_hz_per_s = 0.0;  // carrier drift
  double ppm = 0.0;             // receiving sound card faster by this many ppm
  int lead_idle = 64;           // idle symbols before the text
  int tail_idle = 64;           // idle symbols after the text
  std::string text;             // bytes sent after the lead idle
};

// Renders everything the modulator has queued.
inline std::vector<float> render_all(PskModulator& mod) {
  std::vector<float> out;
  float block[4096];
  while (!mod.done()) {
    const size_t n = mod.render(block);
    out.insert(out.end(), block, block + n);
    if (n == 0) break;
  }
  return out;
}

// The simulator's signal at the modulator's own amplitude.
inline std::vector<float> make_signal(const SignalParams& params) {
  TestSignalParams p;
  p.mode = params.mode;
  p.carrier_hz = params.carrier_hz;
  p.drift_hz_per_s = params.drift_hz_per_s;
  p.ppm = params.ppm;
  p.text = params.text;
  p.idle_symbols = params.lead_idle;
  p.tail_idle_symbols = params.tail_idle;
  p.scale_for_file = false;
  return make_test_signal(p).samples;
}

using psk::add_noise;
using psk::mean_power;

// White noise alone, with the power it would have at 0 dB SNR for a signal of
// power signal_power.
inline std::vector<float> make_noise(size_t samples, double signal_power, uint32_t seed) {
  return psk::make_noise(samples, signal_power, 0.0, seed);
}

// Every byte 1..255 in a shuffled order, then English text, to n bytes.
inline std::string mixed_text(size_t n, uint32_t seed) {
  std::string s;
  for (int b = 1; b < 256; ++b) s.push_back(static_cast<char>(b));
  std::shuffle(s.begin(), s.end(), std::mt19937(seed));
  while (s.size() < n) s += "CQ CQ de JA1ZZZ pse k. The rig is 100 W into a dipole; 73! ";
  s.resize(std::max<size_t>(n, 255));
  return s;
}

// A demodulator at hz with AFC (limit 500 Hz), as the engine runs it.
inline PskDemodulator afc_demodulator(PskMode mode, double hz = 1500.0) {
  PskDemodulator demod(mode, hz);
  demod.set_afc_limit(500);
  return demod;
}

// Runs the demodulator over x in blocks and returns every decoded byte.
inline std::string decode(PskDemodulator& demod, std::span<const float> x, size_t block = 1000) {
  std::string out;
  for_blocks(x, block, [&](std::span<const float> b, size_t) {
    demod.process(b);
    out.append(demod.decoded().begin(), demod.decoded().end());
  });
  return out;
}

// Character error rate of received against sent (Levenshtein distance).
inline double cer(std::string_view a, std::string_view b) {
  if (a.empty()) return 0.0;
  std::vector<size_t> prev(b.size() + 1), cur(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) prev[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    cur[0] = i;
    for (size_t j = 1; j <= b.size(); ++j)
      cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] != b[j - 1])});
    std::swap(prev, cur);
  }
  return static_cast<double>(prev[b.size()]) / static_cast<double>(a.size());
}

struct Reading {
  double t;       // seconds of input when it came
  int32_t value;  // dB or ppm
};

struct Readings {
  std::vector<Reading> imd;    // WM_ENGINE_IMD
  std::vector<Reading> clock;  // WM_ENGINE_CLOCKERR
  std::string text;            // WM_ENGINE_RXCHAR bytes
};

// Feeds x to r in 80-sample blocks; t_offset is the input time before x.
inline void feed(Receiver& r, std::span<const float> x, Readings& out, double t_offset = 0.0) {
  for_blocks(x, 80, [&](std::span<const float> b, size_t i) {
    r.process(b);
    const double t = t_offset + static_cast<double>(i + b.size()) / kRate;
    for (const EngineEvent& e : r.take_events()) {
      if (e.msg == WM_ENGINE_IMD) out.imd.push_back({t, e.wparam});
      if (e.msg == WM_ENGINE_CLOCKERR) out.clock.push_back({t, e.wparam});
      if (e.msg == WM_ENGINE_RXCHAR) out.text.push_back(static_cast<char>(e.wparam));
    }
  });
}

// A receiver in the given mode at set_hz with AFC (limit 500 Hz).
inline Readings measure(PskMode mode, std::span<const float> x, int32_t set_hz = 1500) {
  Receiver r;
  r.set_mode(mode_info(mode).engine_code);
  r.set_rx_frequency(set_hz);
  r.set_afc_limit(500);
  Readings out;
  feed(r, x, out);
  return out;
}

// A generated signal's settings in words, for failure messages.
inline std::string describe(const TestSignalParams& s) {
  return std::string(mode_info(s.mode).name) +
         (s.imd_kind == ImdKind::CubicAmplifier ? " amplifier " : " tones ") +
         std::to_string(s.imd_db.value_or(0)) + " dB at SNR " +
         std::to_string(s.snr_db.value_or(99)) + ", " + std::to_string(s.ppm) + " ppm";
}

// IMD truth: a long DFT of the first idle part of the same signal without
// noise or a second station.
inline double imd_truth(TestSignalParams params) {
  params.snr_db.reset();
  params.qrm_offset_hz.reset();
  const TestSignal clean = make_test_signal(params);
  return measure_idle_imd(std::span<const float>(clean.samples).first(clean.idle_end),
                          params.carrier_hz, mode_info(params.mode).baud, clean.render_rate_hz)
      .imd_db;
}

}  // namespace psk::test
