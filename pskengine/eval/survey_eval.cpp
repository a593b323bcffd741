// Evaluation of the band survey (not a test): random two-minute bands of six
// to eight stations (BPSK31/63/125, QPSK31/63, at least 150 Hz apart, SNR 8
// to 25 dB in 2500 Hz, IMD -35 to -15 dB, overs with 2 to 8 s of idle, some
// stations 100 ppm off, two of them taking turns on one frequency), scored
// against their truth: stations found with the right carrier (2 Hz), mode
// and callsign, IMD readings within 1 dB, phantoms, and the S/N error.
// Run: build/bin/pskengine_survey_eval [bands, default 5] [threads, default 2]
//      [spacing Hz: stations that far apart in a row, default random >= 150]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "survey/band_survey.h"
#include "survey/simulated_band.h"

using namespace psk;

namespace {

constexpr double kSeconds = 120.0;

std::string random_call(std::mt19937& rng) {
  static const char* prefixes[] = {"DL", "G",  "F",  "I",  "JA", "W",
                                   "K",  "OH", "SP", "EA", "VK", "ZL"};
  static const char* suffixes[] = {"", "", "", "/P", "/M", "/QRP"};
  std::uniform_int_distribution<int> pick(0, 11), digit(0, 9), letters(2, 3), letter(0, 25),
      sfx(0, 5), country(0, 9);
  std::string call = prefixes[pick(rng)];
  call += static_cast<char>('0' + digit(rng));
  for (int i = letters(rng); i > 0; --i) call += static_cast<char>('A' + letter(rng));
  if (country(rng) == 0) call = "DL/" + call;
  return call + suffixes[sfx(rng)];
}

// Seconds an over takes (rough upper bound: 12 bits per character).
double over_seconds(const SimulatedStation& s, const SimulatedOver& o) {
  return o.idle_s + static_cast<double>(o.text.size()) * 12.0 / mode_info(s.mode).baud +
         o.tail_idle_s + 1.0;
}

// spacing_hz > 0: the stations' frequencies are that far apart, in a row.
std::vector<SimulatedStation> random_band(std::mt19937& rng, double spacing_hz = 0) {
  std::uniform_real_distribution<double> u(0, 1);
  const PskMode modes[] = {PskMode::Bpsk31, PskMode::Bpsk63, PskMode::Bpsk125, PskMode::Qpsk31,
                           PskMode::Qpsk63};
  const int count = 6 + static_cast<int>(u(rng) * 3);
  std::vector<double> freqs;
  for (int i = 0; spacing_hz > 0 && i < count - 1; ++i)
    freqs.push_back(400 + i * spacing_hz + std::round(u(rng) * 100) / 10);
  while (static_cast<int>(freqs.size()) < count - 1) {
    const double f = 300 + u(rng) * 2500;
    if (std::all_of(freqs.begin(), freqs.end(), [&](double g) { return std::abs(f - g) >= 150; }))
      freqs.push_back(std::round(f * 10) / 10);
  }
  std::vector<SimulatedStation> stations;
  for (int i = 0; i < count; ++i) {
    SimulatedStation s;
    s.call = random_call(rng);
    s.mode = modes[static_cast<int>(u(rng) * 5)];
    // The last station takes turns with the first, on its frequency and mode.
    s.carrier_hz = i < count - 1 ? freqs[static_cast<size_t>(i)] : freqs[0] + 1.0;
    if (i == count - 1) s.mode = stations[0].mode;
    s.snr_db = 8 + u(rng) * 17;
    s.imd_db = -35 + u(rng) * 20;
    s.ppm = u(rng) < 0.3 ? (u(rng) < 0.5 ? -100 : 100) : 0;
    stations.push_back(s);
  }
  auto text_for = [&](const std::string& call) {
    return u(rng) < 0.5 ? "CQ CQ CQ de " + call + " " + call + " pse k\n"
                        : "QSL tnx fer call, ur rst 599, name Al, hw? de " + call + " kn\n";
  };
  // Turn takers: alternate overs with gaps of 2..4 s.
  double t = u(rng) * 3;
  for (int k = 0; t < kSeconds - 10; ++k) {
    SimulatedStation& s = stations[k % 2 == 0 ? 0 : static_cast<size_t>(count - 1)];
    SimulatedOver o{t, 2 + u(rng) * 6, text_for(s.call), 2 + u(rng) * 2};
    s.overs.push_back(o);
    t += over_seconds(s, o) + 2 + u(rng) * 2;
  }
  for (int i = 1; i < count - 1; ++i) {
    SimulatedStation& s = stations[static_cast<size_t>(i)];
    for (double t2 = u(rng) * 10; t2 < kSeconds - 10;) {
      SimulatedOver o{t2, 2 + u(rng) * 6, text_for(s.call), 2 + u(rng) * 2};
      s.overs.push_back(o);
      t2 += over_seconds(s, o) + 3 + u(rng) * 12;
    }
  }
  return stations;
}

}  // namespace

int main(int argc, char** argv) {
  const int bands = argc > 1 ? std::atoi(argv[1]) : 5;
  const int threads = argc > 2 ? std::atoi(argv[2]) : 2;
  const double spacing = argc > 3 ? std::atof(argv[3]) : 0.0;
  int truth_total = 0, found_total = 0, phantoms_total = 0, readings_total = 0, bad_total = 0;
  int clock_total = 0;
  double clock_worst = 0;
  double worst_freq = 0, snr_error_sum = 0, worst_snr = 0;
  for (int b = 0; b < bands; ++b) {
    std::mt19937 rng(1000 + b);
    const std::vector<SimulatedStation> truth = random_band(rng, spacing);
    const std::vector<float> audio = render_band(truth, kSeconds, 77 + b);
    BandSurvey survey({.threads = threads});
    survey.process(audio);
    survey.finish();
    const std::vector<StationRecord> records = survey.stations();
    int found = 0, readings = 0, bad = 0;
    for (const SimulatedStation& t : truth) {
      const StationRecord* r = nullptr;
      for (const StationRecord& s : records)
        if (s.call == t.call) r = &s;
      const bool ok = r && std::abs(r->freq_hz - t.carrier_hz) <= 2.0 && r->mode == t.mode;
      if (!ok) {
        std::printf("  band %d: %s %s %.1f Hz snr %.1f imd %.1f %s\n", b, t.call.c_str(),
                    mode_info(t.mode).name, t.carrier_hz, t.snr_db, t.imd_db,
                    r ? "found with a wrong carrier or mode" : "not found");
        continue;
      }
      ++found;
      worst_freq = std::max(worst_freq, std::abs(r->freq_hz - t.carrier_hz));
      snr_error_sum += r->snr_db - t.snr_db;
      worst_snr = std::max(worst_snr, std::abs(r->snr_db - t.snr_db));
      for (const TimedValue& v : r->clock_ppm) {
        ++clock_total;
        clock_worst = std::max(clock_worst, std::abs(v.value - t.ppm));
      }
      for (const TimedValue& v : r->imd) {
        ++readings;
        if (std::abs(v.value - t.imd_db) > 1.0) {
          ++bad;
          std::printf("  band %d: %s IMD %d at %.1f s, truth %.1f\n", b, t.call.c_str(), v.value,
                      v.t, t.imd_db);
        }
      }
    }
    int phantoms = 0;
    for (const StationRecord& s : records) {
      const bool real = std::any_of(truth.begin(), truth.end(),
                                    [&](const SimulatedStation& t) { return t.call == s.call; });
      if (!real) {
        ++phantoms;
        std::printf("  band %d: phantom '%s' %s %.1f Hz, %zu readings\n", b, s.call.c_str(),
                    mode_info(s.mode).name, s.freq_hz, s.imd.size());
      }
    }
    std::printf("band %d: %d/%zu stations found, %d phantoms, IMD readings %d (%d off by >1 dB)\n",
                b, found, truth.size(), phantoms, readings, bad);
    truth_total += static_cast<int>(truth.size());
    found_total += found;
    phantoms_total += phantoms;
    readings_total += readings;
    bad_total += bad;
  }
  std::printf(
      "total: %d/%d stations found (worst carrier error %.2f Hz), %d phantoms, %d IMD readings "
      "(%d off by >1 dB), S/N error mean %+.2f dB worst %.2f dB, %d clock readings (worst error "
      "%.0f ppm)\n",
      found_total, truth_total, worst_freq, phantoms_total, readings_total, bad_total,
      found_total ? snr_error_sum / found_total : 0.0, worst_snr, clock_total, clock_worst);
  return 0;
}
