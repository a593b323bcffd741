// Helpers for the measurement tests: runs the receiver core over a signal as
// the engine does (10 ms blocks) and collects its IMD and clock readings with
// their times; the IMD truth of a generated signal.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/receiver.h"
#include "modes.h"
#include "pskengine.h"
#include "sim/imd_truth.h"
#include "sim/test_signal.h"

namespace psk::test {

struct Reading {
  double t;       // seconds of input when it came
  int32_t value;  // dB or ppm
};

struct Readings {
  std::vector<Reading> imd;    // WM_ENGINE_IMD
  std::vector<Reading> clock;  // WM_ENGINE_CLOCKERR
};

// Feeds x to r in 80-sample blocks; t_offset is the input time before x.
inline void feed(Receiver& r, std::span<const float> x, Readings& out, double t_offset = 0.0) {
  for (size_t i = 0; i < x.size(); i += 80) {
    const size_t n = std::min<size_t>(80, x.size() - i);
    r.process(x.subspan(i, n));
    const double t = t_offset + static_cast<double>(i + n) / 8000.0;
    for (const EngineEvent& e : r.take_events()) {
      if (e.msg == WM_ENGINE_IMD) out.imd.push_back({t, e.wparam});
      if (e.msg == WM_ENGINE_CLOCKERR) out.clock.push_back({t, e.wparam});
    }
  }
}

// A receiver in the given mode at set_hz with AFC (limit 500 Hz, or off).
inline Readings measure(PskMode mode, std::span<const float> x, int32_t set_hz = 1500,
                        bool afc = true) {
  Receiver r;
  r.set_mode(mode_info(mode).engine_code);
  r.set_rx_frequency(set_hz);
  r.set_afc_limit(afc ? 500 : 0);
  Readings out;
  feed(r, x, out);
  return out;
}

// The spec in words, for failure messages.
inline std::string describe(const TestSignalSpec& s) {
  return std::string(mode_info(s.mode).name) +
         (s.imd_kind == ImdKind::CubicAmplifier ? " amplifier " : " tones ") +
         std::to_string(s.imd_db.value_or(0)) + " dB at SNR " +
         std::to_string(s.snr_db.value_or(99)) + ", " + std::to_string(s.ppm) + " ppm";
}

// The IMD of a generated signal's first idle part, from a long DFT of the
// same signal without noise: the truth the readings are held to.
inline double imd_truth(TestSignalSpec spec) {
  spec.snr_db.reset();
  const TestSignal clean = make_test_signal(spec);
  return measure_idle_imd(std::span<const float>(clean.samples).first(clean.idle_end),
                          spec.carrier_hz, mode_info(spec.mode).baud, clean.render_rate_hz)
      .imd_db;
}

}  // namespace psk::test
