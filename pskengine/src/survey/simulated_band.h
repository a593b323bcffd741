// A simulated band: several PSK stations, each sending overs (idle, text,
// idle) at its own frequency, mode, IMD, level and clock error, summed with
// white noise.  Used by tonvista-cli survey --demo-band, by the survey's
// tests and by its benchmark.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "modem/modes.h"

namespace psk {

struct SimulatedOver {
  double start_s;      // when the over begins, s from the start of the band
  double idle_s;       // idle before the text, s
  std::string text;    // text sent
  double tail_idle_s;  // idle after the text, s
};

struct SimulatedStation {
  std::string call;                  // callsign (the text should name it after "de")
  PskMode mode = PskMode::Bpsk31;    // mode
  double carrier_hz = 1500;          // carrier, Hz
  double imd_db = -30;               // IMD of its idle, dB
  double snr_db = 15;                // mean power while sending over the noise in 2500 Hz, dB
  double ppm = 0;                    // clock error the receiver sees, ppm
  std::vector<SimulatedOver> overs;  // what it sends
};

// The band's audio at 8000 Hz, `seconds` long (overs past the end are cut).
// The noise comes from seed; the whole is scaled to peak at most 0.9.
std::vector<float> render_band(const std::vector<SimulatedStation>& stations, double seconds,
                               uint32_t seed);

// The built-in band of --demo-band: seven stations over 70 s, two of them
// taking turns on one frequency.
std::vector<SimulatedStation> demo_band_stations();
inline constexpr double kDemoBandSeconds = 70.0;

}  // namespace psk
