// Measurement evaluation: prints, against the generator's truth,
//  1. IMD accuracy for true IMD x SNR x mode x distortion kind: readings per
//     second of idle, mean and worst error of the reported whole-dB readings
//     (truth: a long DFT of the idle part of the noise-free signal);
//  2. the clock error for -300..+300 ppm at SNR 10 and 20 dB after 30 s of
//     idle: worst reading error, spread of the estimate, time to first reading;
//  3. honesty: noise alone, text without idle and very weak signals;
//  4. an operator's signal: AFC off a few hertz off the carrier, a drifting
//     carrier, a start in mid-idle, and the built-in test signal.
// Fixed seeds; results go to stdout.
// Run: build/bin/pskengine_measure_eval [seeds per clock cell, default 4]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/receiver.h"
#include "modem/modes.h"
#include "pskengine.h"
#include "sim/imd_truth.h"
#include "sim/test_signal.h"
#include "sources/builtin_signal.h"
#include "test_signal.h"

namespace {

using psk::PskMode;

constexpr double kRate = 8000.0;
constexpr PskMode kModes[] = {PskMode::Bpsk31, PskMode::Qpsk31,  PskMode::Bpsk63,
                              PskMode::Qpsk63, PskMode::Bpsk125, PskMode::Qpsk125};

struct Events {
  std::vector<double> imd_t;  // time of each IMD reading, s
  std::vector<int> imd;       // IMD readings, dB
  std::vector<double> exact;  // the meter's unrounded value for each reading, dB
  std::vector<double> ppm_t;  // time of each clock reading, s
  std::vector<int> ppm;       // clock readings, ppm
  double final_ppm = 0;       // the estimator's unrounded estimate at the end
  double final_sigma = 0;     // its standard deviation
};

// Runs a receiver (AFC on at set_hz unless afc is false) over x in 10 ms blocks.
Events run(PskMode mode, const std::vector<float>& x, double set_hz = 1500.0, bool afc = true) {
  psk::Receiver r;
  r.set_mode(psk::mode_info(mode).engine_code);
  r.set_rx_frequency(static_cast<int32_t>(set_hz));
  r.set_afc_limit(afc ? 500 : 0);
  Events ev;
  for (size_t i = 0; i < x.size(); i += 80) {
    r.process(std::span<const float>(x).subspan(i, std::min<size_t>(80, x.size() - i)));
    const double t = static_cast<double>(std::min(i + 80, x.size())) / kRate;
    for (const psk::EngineEvent& e : r.take_events()) {
      if (e.msg == WM_ENGINE_IMD) {
        ev.imd_t.push_back(t);
        ev.imd.push_back(e.wparam);
        ev.exact.push_back(r.imd_meter().imd_db());
      } else if (e.msg == WM_ENGINE_CLOCKERR) {
        ev.ppm_t.push_back(t);
        ev.ppm.push_back(e.wparam);
      }
    }
  }
  ev.final_ppm = r.clock_estimator().ppm();
  ev.final_sigma = r.clock_estimator().sigma_ppm();
  return ev;
}

// The generator's truth: the IMD of the idle part of the noise-free signal.
double truth_of(psk::TestSignalParams params) {
  params.snr_db.reset();
  const psk::TestSignal clean = psk::make_test_signal(params);
  return psk::measure_idle_imd(std::span<const float>(clean.samples).first(clean.idle_end),
                               params.carrier_hz, psk::mode_info(params.mode).baud,
                               clean.render_rate_hz)
      .imd_db;
}

struct Errors {
  int count = 0;           // readings
  double sum = 0;          // sum of the unrounded errors, dB
  double worst_exact = 0;  // largest unrounded |error|, dB
  double worst = 0;        // largest |error| of a reported (whole-dB) reading
  int outside = 0;         // readings more than 1 dB off
};

void add_errors(Errors& e, const Events& ev, double truth) {
  for (size_t i = 0; i < ev.imd.size(); ++i) {
    const double err = ev.imd[i] - truth;
    ++e.count;
    e.sum += ev.exact[i] - truth;
    e.worst_exact = std::max(e.worst_exact, std::abs(ev.exact[i] - truth));
    e.worst = std::max(e.worst, std::abs(err));
    if (std::abs(err) > 1.0) ++e.outside;
  }
}

void imd_tables() {
  constexpr double kIdle = 30.0;
  // Fractional truths, so rounding to whole dB is tried at many fractions.
  const double imds[] = {-10.3, -15.7, -20.5, -25.9, -30.6, -35.4, -39.8};
  const double snrs[] = {30, 20, 10, 0};
  std::printf(
      "== 1. IMD accuracy: %.0f s of idle then text, carrier 1503.3 Hz, receiver at 1500 Hz "
      "with AFC.\n   Each cell: readings per idle second (%%), mean and worst error of the"
      " meter's unrounded value,\n   worst error of the whole-dB readings (dB); '-' no"
      " reading.\n",
      kIdle);
  int total = 0, outside = 0, cell = 0;
  for (PskMode mode : kModes) {
    for (psk::ImdKind kind : {psk::ImdKind::CubicAmplifier, psk::ImdKind::ProductTones}) {
      std::printf("-- %s, %s\n   SNR  ", psk::mode_info(mode).name,
                  kind == psk::ImdKind::CubicAmplifier ? "cubic amplifier" : "added product tones");
      for (double imd : imds) std::printf("  IMD %5.1f            ", imd);
      std::printf("\n");
      for (double snr : snrs) {
        std::printf("   %3.0f  ", snr);
        for (double imd : imds) {
          psk::TestSignalParams params;
          params.mode = mode;
          params.carrier_hz = 1503.3;
          params.imd_db = imd;
          params.imd_kind = kind;
          params.snr_db = snr;
          params.idle_seconds = kIdle;
          params.text = "CQ CQ de JA1ZZZ pse k";
          params.seed = static_cast<uint32_t>(++cell);  // a noise of its own for every cell
          const double truth = truth_of(params);
          const Events ev = run(mode, psk::make_test_signal(params).samples);
          Errors e;
          add_errors(e, ev, truth);
          total += e.count;
          outside += e.outside;
          if (e.count == 0) {
            std::printf("  %-21s", "-");
          } else {
            char cell[48];
            std::snprintf(cell, sizeof cell, "%3.0f%% %+.2f %.2f %.2f", 100.0 * e.count / kIdle,
                          e.sum / e.count, e.worst_exact, e.worst);
            std::printf("  %-21s", cell);
          }
        }
        std::printf("\n");
      }
    }
  }
  std::printf("   all readings: %d, more than 1 dB off: %d\n", total, outside);
}

void clock_tables(int seeds) {
  const double ppms[] = {-300, -100, -30, 0, 30, 100, 300};
  std::printf(
      "== 2. Clock error after 30 s of idle (IMD -30 dB), %d seeds per cell.\n"
      "   Each cell: worst reading error (ppm) / rms error of the final estimate / mean "
      "reported sigma / seconds to first reading (mean); '-' no reading by 30 s.\n",
      seeds);
  int readings = 0, outside = 0;
  for (double snr : {10.0, 20.0}) {
    for (PskMode mode : kModes) {
      std::printf("-- %s, SNR %.0f dB\n", psk::mode_info(mode).name, snr);
      for (double ppm : ppms) {
        double worst = 0, sq = 0, sigma = 0, first = 0;
        int with_reading = 0;
        for (int seed = 1; seed <= seeds; ++seed) {
          psk::TestSignalParams params;
          params.mode = mode;
          params.carrier_hz = 1500.0 + 0.7 * seed;
          params.imd_db = -30;
          params.snr_db = snr;
          params.ppm = ppm;
          params.idle_seconds = 30;
          params.seconds = 30;
          params.seed = static_cast<uint32_t>(100 + seed);
          const Events ev = run(mode, psk::make_test_signal(params).samples);
          for (int r : ev.ppm) {
            worst = std::max(worst, std::abs(r - ppm));
            ++readings;
            if (std::abs(r - ppm) > 3) ++outside;
          }
          sq += (ev.final_ppm - ppm) * (ev.final_ppm - ppm);
          sigma += ev.final_sigma;
          if (!ev.ppm_t.empty()) {
            ++with_reading;
            first += ev.ppm_t.front();
          }
        }
        std::printf("   %+5.0f ppm: ", ppm);
        if (with_reading > 0) {
          std::printf("worst %.0f / rms %.2f / sigma %.2f / first %.1f s", worst,
                      std::sqrt(sq / seeds), sigma / seeds, first / with_reading);
        } else {
          std::printf("- / rms %.2f / sigma %.2f", std::sqrt(sq / seeds), sigma / seeds);
        }
        if (with_reading < seeds) std::printf("  (%d of %d seeds read)", with_reading, seeds);
        std::printf("\n");
      }
    }
  }
  std::printf("   all readings: %d, more than 3 ppm off: %d\n", readings, outside);
}

void honesty() {
  std::printf("== 3. Honesty\n");
  for (PskMode mode : kModes) {
    const auto noise = psk::test::make_noise(static_cast<size_t>(120 * kRate), 0.1, 3);
    const Events on_noise = run(mode, noise);
    psk::test::SignalParams text_params;
    text_params.mode = mode;
    text_params.lead_idle = 0;
    text_params.tail_idle = 0;
    text_params.text =
        psk::test::mixed_text(static_cast<size_t>(4 * psk::mode_info(mode).baud * 6), 5);
    auto text = psk::test::make_signal(text_params);
    psk::test::add_noise(text, psk::test::mean_power(text), 20, 9);
    const Events on_text = run(mode, text);
    std::printf(
        "   %-7s noise alone 120 s: %zu IMD, %zu clock readings; text without idle %.0f s: "
        "%zu IMD, %zu clock readings\n",
        psk::mode_info(mode).name, on_noise.imd.size(), on_noise.ppm.size(),
        static_cast<double>(text.size()) / kRate, on_text.imd.size(), on_text.ppm.size());
  }
  std::printf("   weak signals, 60 s of idle (readings, worst error dB):\n");
  for (PskMode mode : {PskMode::Bpsk31, PskMode::Qpsk63, PskMode::Bpsk125}) {
    for (double snr : {0.0, -3.0, -6.0, -9.0}) {
      std::printf("   %-7s SNR %+3.0f:", psk::mode_info(mode).name, snr);
      for (double imd : {-15.0, -20.0, -25.0, -30.0}) {
        psk::TestSignalParams params;
        params.mode = mode;
        params.imd_db = imd;
        params.snr_db = snr;
        params.idle_seconds = 60;
        params.seconds = 60;
        params.seed = 11;
        const double truth = truth_of(params);
        const Events ev = run(mode, psk::make_test_signal(params).samples);
        Errors e;
        add_errors(e, ev, truth);
        std::printf("  IMD %3.0f: %2d, %.2f", imd, e.count, e.worst);
      }
      std::printf("\n");
    }
  }
}

void operator_signals() {
  std::printf("== 4. An operator's signal (BPSK31 and QPSK63, IMD -28 dB, SNR 20 dB, +50 ppm)\n");
  for (PskMode mode : {PskMode::Bpsk31, PskMode::Qpsk63}) {
    psk::TestSignalParams params;
    params.mode = mode;
    params.imd_db = -28;
    params.snr_db = 20;
    params.ppm = 50;
    params.idle_seconds = 40;
    params.seconds = 40;
    params.carrier_hz = 1504.0;
    const double truth = truth_of(params);
    auto report = [&](const char* what, const Events& ev) {
      Errors e;
      add_errors(e, ev, truth);
      std::printf(
          "   %-7s %-44s IMD %2d readings, first %5.1f s, worst %.2f dB; clock %d "
          "readings, last %+d ppm\n",
          psk::mode_info(mode).name, what, e.count, ev.imd_t.empty() ? -1.0 : ev.imd_t.front(),
          e.worst, static_cast<int>(ev.ppm.size()), ev.ppm.empty() ? 0 : ev.ppm.back());
    };
    const auto x = psk::make_test_signal(params).samples;
    report("carrier 4 Hz above the receiver, AFC off", run(mode, x, 1500.0, false));
    report("carrier 4 Hz above the receiver, AFC on", run(mode, x, 1500.0, true));
    // Start in mid-idle: the first 7.3 s are never heard.
    const std::vector<float> late(x.begin() + static_cast<std::ptrdiff_t>(7.3 * kRate), x.end());
    report("heard from mid-idle (7.3 s in)", run(mode, late));
    // A carrier drifting 0.1 Hz/s (the IMD truth is the same signal's).
    psk::test::SignalParams drift;
    drift.mode = mode;
    drift.drift_hz_per_s = 0.1;
    drift.ppm = 50;
    drift.lead_idle = static_cast<int>(40 * psk::mode_info(mode).baud);
    drift.tail_idle = 0;
    auto d = psk::test::make_signal(drift);
    psk::test::add_noise(d, psk::test::mean_power(d), 20, 21);
    const Events ev = run(mode, d);
    std::printf(
        "   %-7s %-44s IMD %2d readings, range %d..%d dB (clean signal); clock %d "
        "readings, last %+d ppm\n",
        psk::mode_info(mode).name, "drifting 0.1 Hz/s, no distortion",
        static_cast<int>(ev.imd.size()),
        ev.imd.empty() ? 0 : *std::min_element(ev.imd.begin(), ev.imd.end()),
        ev.imd.empty() ? 0 : *std::max_element(ev.imd.begin(), ev.imd.end()),
        static_cast<int>(ev.ppm.size()), ev.ppm.empty() ? 0 : ev.ppm.back());
  }
  // The built-in test signal through the core, as the engine runs it.
  psk::BuiltinSignal builtin;
  std::vector<float> x(static_cast<size_t>(300 * kRate));
  builtin.read(x);
  const Events ev = run(PskMode::Bpsk31, x);
  std::printf("   built-in signal, 300 s: IMD %zu readings", ev.imd.size());
  if (!ev.imd.empty()) {
    std::printf(" from %d to %d dB, first at %.1f s",
                *std::min_element(ev.imd.begin(), ev.imd.end()),
                *std::max_element(ev.imd.begin(), ev.imd.end()), ev.imd_t.front());
  }
  std::printf("; clock %zu readings", ev.ppm.size());
  if (!ev.ppm.empty()) {
    std::printf(" from %+d to %+d ppm, first at %.1f s",
                *std::min_element(ev.ppm.begin(), ev.ppm.end()),
                *std::max_element(ev.ppm.begin(), ev.ppm.end()), ev.ppm_t.front());
  }
  std::printf(" (truth -26 dB, +30 ppm)\n");
}

}  // namespace

int main(int argc, char** argv) {
  const int seeds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4;
  imd_tables();
  clock_tables(seeds);
  honesty();
  operator_signals();
  return 0;
}
