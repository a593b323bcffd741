// Measurement evaluation: prints, against the generator's truth,
//  1. time from the start of an idle run to the first IMD reading, by SNR
//     (in 2500 Hz) and IMD, beside an oracle that knows carrier and baud
//     (one DFT at the four tone frequencies over the idle so far, noise from
//     tone-free bins subtracted): the idle length after which 95 % of its
//     estimates lie within 1 dB;
//  2. IMD readings under each fading profile: readings per idle second after
//     the first, and the worst error;
//  3. the clock error on text-only signals, -300..+300 ppm;
//  4. honesty: noise alone and text without idle.
// Fixed seeds; results go to stdout.
// Run: build/bin/pskengine_measure_eval [seeds per cell, default 8] [table 1..3 alone]
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "core/receiver.h"
#include "modem/modes.h"
#include "pskengine.h"
#include "sim/fading.h"
#include "sim/imd_truth.h"
#include "sim/test_signal.h"
#include "test_signal.h"

namespace {

using psk::PskMode;

constexpr double kRate = 8000.0;

struct Events {
  std::vector<double> imd_t;  // time of each IMD reading, s
  std::vector<int> imd;       // IMD readings, dB
  std::vector<double> exact;  // the meter's unrounded value, dB
  std::vector<double> sigma;  // its standard deviation, dB
  std::vector<double> ppm_t;  // time of each clock reading, s
  std::vector<int> ppm;       // clock readings, ppm
};

// Runs a receiver (AFC on, at 1500 Hz) over x in 10 ms blocks.
Events run(PskMode mode, const std::vector<float>& x) {
  psk::Receiver r;
  r.set_mode(psk::mode_info(mode).engine_code);
  r.set_rx_frequency(1500);
  r.set_afc_limit(500);
  Events ev;
  for (size_t i = 0; i < x.size(); i += 80) {
    r.process(std::span<const float>(x).subspan(i, std::min<size_t>(80, x.size() - i)));
    const double t = static_cast<double>(std::min(i + 80, x.size())) / kRate;
    for (const psk::EngineEvent& e : r.take_events()) {
      if (e.msg == WM_ENGINE_IMD) {
        ev.imd_t.push_back(t);
        ev.imd.push_back(e.wparam);
        ev.exact.push_back(r.imd_meter().imd_db());
        ev.sigma.push_back(r.imd_meter().sigma_db());
      } else if (e.msg == WM_ENGINE_CLOCKERR) {
        ev.ppm_t.push_back(t);
        ev.ppm.push_back(e.wparam);
      }
    }
  }
  return ev;
}

// The generator's truth: the IMD of the idle part of the noise-free signal,
// to a thousandth of a dB: a nominal -30 dB measures -29.9999997, and that
// rounding error alone would count a reading of -31 as more than 1 dB off.
double truth_of(psk::TestSignalParams params) {
  params.snr_db.reset();
  params.fading = psk::FadingProfile::None;
  const psk::TestSignal clean = psk::make_test_signal(params);
  const double imd = psk::measure_idle_imd(
                         std::span<const float>(clean.samples).first(clean.idle_end),
                         params.carrier_hz, psk::mode_info(params.mode).baud, clean.render_rate_hz)
                         .imd_db;
  return std::round(imd * 1000) / 1000;
}

// The oracle: the IMD of the idle's first m stretches of 8192 samples (32
// symbols) for each m of lengths, each from one DFT over the whole length
// (rectangular window) at the four tone frequencies, carrier and baud known;
// the noise of 36 tone-free bins about carrier +- baud and +- 2 baud subtracted.
std::vector<double> oracle_imd(std::span<const float> x, double carrier, double baud,
                               std::span<const int> lengths) {
  constexpr int kStretch = 8192;
  const double bin = kRate / kStretch;
  std::vector<double> hz = {carrier - baud / 2, carrier + baud / 2, carrier - 1.5 * baud,
                            carrier + 1.5 * baud};
  for (double centre : {baud, 2 * baud})
    for (int j = -4; j <= 4; ++j)
      for (double sign : {-1.0, 1.0}) hz.push_back(carrier + sign * (centre + j * bin));
  std::vector<std::complex<double>> acc(hz.size()), rot(hz.size(), 1.0), step;
  for (double f : hz) step.push_back(std::polar(1.0, -2 * std::numbers::pi * f / kRate));
  std::vector<double> result;
  size_t i = 0;
  for (int m : lengths) {
    const auto end = std::min(x.size(), static_cast<size_t>(m) * kStretch);
    for (; i < end; ++i) {
      for (size_t k = 0; k < hz.size(); ++k) {
        acc[k] += static_cast<double>(x[i]) * rot[k];
        rot[k] *= step[k];
      }
      if ((i & 1023) == 1023)
        for (auto& r : rot) r /= std::abs(r);
    }
    const double n = static_cast<double>(end);
    std::vector<double> power;
    for (const auto& a : acc) power.push_back(2 * std::norm(a) / (n * n));  // |2 X / n|^2 / 2
    double noise = 0;
    for (size_t k = 4; k < power.size(); ++k) noise += power[k];
    noise /= static_cast<double>(power.size() - 4);
    const double products = power[2] + power[3] - 2 * noise;
    const double fundamentals = power[0] + power[1] - 2 * noise;
    result.push_back(products > 0 && fundamentals > 0 ? 10 * std::log10(products / fundamentals)
                                                      : 0.0);
  }
  return result;
}

// The information limit: the idle length (s) after which even an estimator
// that knows carrier, baud and noise has a standard deviation of 0.39 dB
// (99 % of its estimates within 1 dB), from the products' power against the
// noise density.  The pair's relative variance is (n/p)(1 + n/2p) for noise
// n = N0 / T in a tone's bin.
double information_limit(double signal_power, double noise_variance, double imd_db) {
  const double product = signal_power / 2 * std::pow(10.0, imd_db / 10);
  const double density = noise_variance / (kRate / 2);  // per Hz
  const double target = std::pow(0.388 / (10 / std::log(10.0)), 2);
  // Solve u (1 + u / 2) = target for u = n / p.
  const double u = -1 + std::sqrt(1 + 2 * target);
  return density / (product * u);
}

// The clock's information limit: the signal length (s) after which even an
// estimator that knows every symbol the clean signal x sends has a standard
// deviation of at most max_sigma ppm (Cramer-Rao bound, white noise of
// variance noise_variance), its carrier frequency, phase, amplitude and
// timing origin unknown.  A card that samples faster by e turns x(n) into
// about x(n (1 - e)), so x's derivative times n is the clock's own direction;
// the nuisances' are x's derivative, its quadrature (times n) and x itself.
// Derivative and quadrature come from windowed FIR differentiator and
// Hilbert filters, exact enough about the carrier.  0: never in x.
double clock_limit(std::span<const float> x, double noise_variance, double max_sigma) {
  constexpr int kHalf = 64;
  constexpr int kParams = 5;
  std::vector<double> hilbert(2 * kHalf + 1), derivative(2 * kHalf + 1);
  for (int k = -kHalf; k <= kHalf; ++k) {
    const double a = std::numbers::pi * k / (kHalf + 1);
    const double w = 0.42 + 0.5 * std::cos(a) + 0.08 * std::cos(2 * a);  // Blackman
    hilbert[k + kHalf] = k % 2 != 0 ? 2 / (std::numbers::pi * k) * w : 0.0;
    derivative[k + kHalf] = k != 0 ? (k % 2 != 0 ? -1.0 : 1.0) / k * w : 0.0;
  }
  double fisher[kParams][kParams] = {};
  double next_check = 1.0;  // s
  for (size_t n = kHalf; n + kHalf < x.size(); ++n) {
    double q = 0, d = 0;
    for (int k = -kHalf; k <= kHalf; ++k) {
      q += hilbert[k + kHalf] * x[n - k];
      d += derivative[k + kHalf] * x[n - k];
    }
    const double t = static_cast<double>(n) / kRate;
    const double g[kParams] = {t * d * kRate, d * kRate, t * q, q, x[n]};
    for (int i = 0; i < kParams; ++i)
      for (int j = 0; j < kParams; ++j) fisher[i][j] += g[i] * g[j] / noise_variance;
    if (t < next_check) continue;
    next_check += 0.25;
    // The bound on e: the first diagonal element of the inverse (Gauss-Jordan).
    double m[kParams][2 * kParams];
    for (int i = 0; i < kParams; ++i)
      for (int j = 0; j < 2 * kParams; ++j)
        m[i][j] = j < kParams ? fisher[i][j] : (j - kParams == i);
    for (int c = 0; c < kParams; ++c) {
      int p = c;
      for (int r = c + 1; r < kParams; ++r)
        if (std::abs(m[r][c]) > std::abs(m[p][c])) p = r;
      std::swap(m[c], m[p]);
      const double pivot = m[c][c];
      for (double& v : m[c]) v /= pivot;
      for (int r = 0; r < kParams; ++r) {
        if (r == c) continue;
        const double f = m[r][c];
        for (int j = 0; j < 2 * kParams; ++j) m[r][j] -= f * m[c][j];
      }
    }
    if (m[0][kParams] > 0 && std::sqrt(m[0][kParams]) * 1e6 <= max_sigma) return t;
  }
  return 0;
}

void first_reading_table(int seeds) {
  constexpr double kIdle = 40.0;
  const double snrs[] = {15, 10, 8, 5, 3};
  const double imds[] = {-25, -30};
  const double limits[2][5] = {{3, 5, 5, 11, 17}, {5, 17, 17, -1, -1}};
  const int lengths[] = {1, 2, 3, 4, 6, 8, 12, 16, 24, 31};  // in stretches of 1.024 s
  constexpr int kOracleSeeds = 40;
  std::printf(
      "== 1. BPSK31, %.0f s of idle, carrier 1500.2..1501.6 Hz, AFC on.  Time from the idle "
      "start to the first\n   IMD reading: median / worst over %d seeds whose truths have a "
      "fraction (nominal - 0.13 dB x (seed mod 8, 1..8)),\n   and over %d seeds at the nominal "
      "IMD; readings "
      "more than 1 dB off (all seeds);\n   the oracle's idle length (s) after which 95 %% of its "
      "estimates are within 1 dB (40 noises),\n   and the information limit: the idle length "
      "after which an estimator knowing carrier, baud and\n   noise has 99 %% of its estimates "
      "within 1 dB (the meter's own rule), at the nominal IMD\n   and at the fractional "
      "truths.\n",
      kIdle, seeds, seeds);
  int total = 0, outside = 0;
  for (size_t ii = 0; ii < 2; ++ii) {
    std::printf("-- IMD %.0f dB (truth with a fraction)\n", imds[ii]);
    for (size_t si = 0; si < 5; ++si) {
      const double snr = snrs[si];
      std::vector<double> firsts;
      int bad = 0, count = 0;
      double err = 0, sq = 0, claimed = 0;
      std::vector<int> oracle_ok(std::size(lengths), 0);
      double limit = 0;                    // the information limit at the nominal IMD, s
      double own_limit = 0;                // ... at the meter's own truths (up to 1 dB weaker), s
      std::vector<double> nominal_firsts;  // of signals whose truth is the nominal IMD
      for (int seed = 1; seed <= 2 * seeds; ++seed) {
        // The first seeds' truths have a fraction (a test of the whole-dB
        // rounding), the others' are the nominal IMD.
        const bool nominal = seed > seeds;
        psk::TestSignalParams params;
        params.carrier_hz = 1500.0 + 0.2 * (nominal ? seed - seeds : seed);
        params.imd_db = imds[ii] - (nominal ? 0.0 : 0.13 * ((seed - 1) % 8 + 1));
        params.snr_db = snr;
        params.idle_seconds = kIdle;
        params.seconds = kIdle;
        params.seed = static_cast<uint32_t>(1000 * si + 100 * ii + seed);
        const double truth = truth_of(params);
        const psk::TestSignal sig = psk::make_test_signal(params);
        const Events ev = run(PskMode::Bpsk31, sig.samples);
        (nominal ? nominal_firsts : firsts).push_back(ev.imd_t.empty() ? 1e9 : ev.imd_t.front());
        if (!nominal)
          own_limit += information_limit(sig.signal_power, sig.noise_power, *params.imd_db) / seeds;
        for (size_t k = 0; k < ev.imd.size(); ++k) {
          ++count;
          if (std::abs(ev.imd[k] - truth) > 1.0) ++bad;
          err += ev.exact[k] - truth;
          sq += (ev.exact[k] - truth) * (ev.exact[k] - truth);
          claimed += ev.sigma[k] * ev.sigma[k];
        }
      }
      // The oracle on noises of its own, enough of them for a 95 % share to mean something.
      for (int seed = 1; seed <= kOracleSeeds; ++seed) {
        psk::TestSignalParams params;
        params.carrier_hz = 1500.0 + 0.05 * seed;
        params.imd_db = imds[ii] - 0.03 * seed;
        params.snr_db = snr;
        params.idle_seconds = 32;
        params.seconds = 32;
        params.seed = static_cast<uint32_t>(50000 + 1000 * si + 100 * ii + seed);
        const double truth = truth_of(params);
        const psk::TestSignal sig = psk::make_test_signal(params);
        const std::vector<double> o = oracle_imd(sig.samples, params.carrier_hz, 31.25, lengths);
        for (size_t li = 0; li < std::size(lengths); ++li)
          if (std::abs(o[li] - truth) <= 1.0) ++oracle_ok[li];
        limit += information_limit(sig.signal_power, sig.noise_power, imds[ii]) / kOracleSeeds;
      }
      total += count;
      outside += bad;
      std::sort(firsts.begin(), firsts.end());
      std::sort(nominal_firsts.begin(), nominal_firsts.end());
      auto show = [](double t) {
        static char buf[4][16];
        static int slot = 0;
        char* b = buf[slot++ & 3];
        if (t > 1e8)
          std::snprintf(b, 16, "none");
        else
          std::snprintf(b, 16, "%.1f", t);
        return b;
      };
      double oracle = -1;
      for (size_t li = 0; li < std::size(lengths); ++li)
        if (oracle_ok[li] >= 0.95 * kOracleSeeds) {
          oracle = lengths[li] * 1.024;
          break;
        }
      char goal[16] = "-";
      if (limits[ii][si] > 0) std::snprintf(goal, sizeof goal, "%.0f", limits[ii][si]);
      char orc[16] = "> 32";
      if (oracle > 0) std::snprintf(orc, sizeof orc, "%.1f", oracle);
      std::printf(
          "   SNR %2.0f: first %5s / %5s s, at the nominal %5s / %5s s (goal %2s s), %3d readings, "
          "%d off (bias %+.2f, rms %.2f, claimed %.2f dB); oracle 95 %%: %s s, limit 99 %%: %.1f "
          "s (%.1f s at the fractional truths)\n",
          snr, show(firsts[firsts.size() / 2]), show(firsts.back()),
          show(nominal_firsts[nominal_firsts.size() / 2]), show(nominal_firsts.back()), goal, count,
          bad, count ? err / count : 0.0, count ? std::sqrt(sq / count) : 0.0,
          count ? std::sqrt(claimed / count) : 0.0, orc, limit, own_limit);
    }
  }
  std::printf("   all readings: %d, more than 1 dB off: %d\n", total, outside);
}

void fading_table(int seeds) {
  constexpr double kIdle = 40.0;
  struct Row {
    psk::FadingProfile profile;
    double snr;
    double goal;  // share of the idle seconds after the first reading that should read
  };
  const Row rows[] = {{psk::FadingProfile::Good, 15, 0},
                      {psk::FadingProfile::Moderate, 15, 0.5},
                      {psk::FadingProfile::Poor, 20, 0.25},
                      {psk::FadingProfile::Poor, 15, 0},
                      {psk::FadingProfile::Flutter, 20, 0}};
  std::printf(
      "== 2. Fading: every mode, %.0f s of idle, IMD -25 dB, %d seeds.  First reading "
      "(median s), share of the idle seconds\n   after the first with a reading (mean, goal), "
      "readings more than 1 dB off, worst error (dB)\n",
      kIdle, seeds);
  for (PskMode mode : {PskMode::Bpsk31, PskMode::Qpsk31, PskMode::Bpsk63, PskMode::Qpsk63,
                       PskMode::Bpsk125, PskMode::Qpsk125}) {
    for (const Row& row : rows) {
      std::vector<double> firsts;
      double share = 0, worst = 0;
      int count = 0, bad = 0;
      for (int seed = 1; seed <= seeds; ++seed) {
        psk::TestSignalParams params;
        params.mode = mode;
        params.carrier_hz = 1500.0 + 0.3 * seed;
        params.imd_db = -25.0 - 0.17 * seed;
        params.snr_db = row.snr;
        params.idle_seconds = kIdle;
        params.seconds = kIdle;
        params.fading = row.profile;
        params.seed = static_cast<uint32_t>(5000 + seed);
        const double truth = truth_of(params);
        const Events ev = run(mode, psk::make_test_signal(params).samples);
        if (ev.imd.empty()) {
          firsts.push_back(1e9);
          continue;
        }
        firsts.push_back(ev.imd_t.front());
        // Idle seconds after the first reading that hold one.
        std::vector<bool> second(static_cast<size_t>(kIdle) + 1, false);
        for (double t : ev.imd_t) second[static_cast<size_t>(t)] = true;
        int with = 0;
        const auto from = static_cast<size_t>(ev.imd_t.front()) + 1;
        for (size_t k = from; k < static_cast<size_t>(kIdle); ++k) with += second[k] ? 1 : 0;
        share += from < kIdle ? with / (kIdle - static_cast<double>(from)) : 0.0;
        for (int r : ev.imd) {
          ++count;
          worst = std::max(worst, std::abs(r - truth));
          if (std::abs(r - truth) > 1.0) ++bad;
        }
      }
      std::sort(firsts.begin(), firsts.end());
      const double median = firsts[firsts.size() / 2];
      char first[16] = "none";
      if (median < 1e8) std::snprintf(first, sizeof first, "%.1f", median);
      char goal[16] = "-";
      if (row.goal > 0) std::snprintf(goal, sizeof goal, "%.0f %%", 100 * row.goal);
      std::printf(
          "   %-7s %-8s SNR %2.0f: first %5s s, share %3.0f %% (goal %4s), %3d readings, %d off, "
          "worst %.1f dB\n",
          psk::mode_info(mode).name, std::string(psk::fading_profile_name(row.profile)).c_str(),
          row.snr, first, 100 * share / seeds, goal, count, bad, worst);
    }
  }
}

void clock_table(int seeds) {
  constexpr double kText = 75.0;
  constexpr int kLimitSeeds = 2;  // seeds of each cell the information limit is found for
  const double ppms[] = {-300, -100, 0, 100, 300};
  std::printf(
      "== 3. Clock error on text only (no idle), %.0f s, SNR 10 dB, %d seeds; and on idle only "
      "(30 s).\n   Each cell: first reading (mean s; goal 35 s on text), worst reading error "
      "(ppm), readings more than 3 ppm off;\n   then the information limit: the length after "
      "which an estimator that knows every symbol has a standard deviation of %.1f ppm\n",
      kText, seeds, psk::ClockErrorEstimator::kMaxSigmaPpm);
  int total = 0, outside = 0;
  for (PskMode mode : {PskMode::Bpsk31, PskMode::Qpsk31}) {
    for (bool text_only : {true, false}) {
      std::printf("   %-7s %-5s", psk::mode_info(mode).name, text_only ? "text" : "idle");
      double limit = 0;  // mean information limit, s
      int limits = 0;
      for (double ppm : ppms) {
        double first = 0, worst = 0;
        int read = 0, bad = 0;
        for (int seed = 1; seed <= seeds; ++seed) {
          std::vector<float> x, clean;
          const uint32_t noise_seed = static_cast<uint32_t>(7000 + 10 * seed + (text_only ? 1 : 0));
          if (text_only) {
            psk::test::SignalParams p;
            p.mode = mode;
            p.carrier_hz = 1500.0 + 0.9 * seed;
            p.ppm = ppm;
            p.lead_idle = 0;
            p.tail_idle = 0;
            p.text = psk::test::mixed_text(
                static_cast<size_t>(kText * psk::mode_info(mode).baud / 7), 60 + seed);
            x = psk::test::make_signal(p);
            x.resize(std::min(x.size(), static_cast<size_t>(kText * kRate)));
            clean = x;
            psk::test::add_noise(x, psk::test::mean_power(x), 10, noise_seed);
          } else {
            psk::TestSignalParams params;
            params.mode = mode;
            params.carrier_hz = 1500.0 + 0.9 * seed;
            params.imd_db = -30;
            params.snr_db = 10;
            params.ppm = ppm;
            params.idle_seconds = 30;
            params.seconds = 30;
            params.seed = noise_seed;
            x = psk::make_test_signal(params).samples;
            params.snr_db.reset();
            clean = psk::make_test_signal(params).samples;
          }
          if (seed <= kLimitSeeds) {
            double noise = 0;
            for (size_t i = 0; i < x.size(); ++i) noise += std::pow(x[i] - clean[i], 2);
            limit += clock_limit(clean, noise / static_cast<double>(x.size()),
                                 psk::ClockErrorEstimator::kMaxSigmaPpm);
            ++limits;
          }
          const Events ev = run(mode, x);
          if (!ev.ppm.empty()) {
            ++read;
            first += ev.ppm_t.front();
          }
          for (int r : ev.ppm) {
            ++total;
            worst = std::max(worst, std::abs(r - ppm));
            if (std::abs(r - ppm) > 3) {
              ++bad;
              ++outside;
            }
          }
        }
        if (read == 0)
          std::printf("  %+4.0f: none          ", ppm);
        else
          std::printf("  %+4.0f: %4.1f s %2.0f %d%s", ppm, first / read, worst, bad,
                      read < seeds ? "*" : " ");
      }
      std::printf("  limit %4.1f s\n", limits > 0 ? limit / limits : 0.0);
    }
  }
  std::printf("   (* not every seed read)  all readings: %d, more than 3 ppm off: %d\n", total,
              outside);
}

void honesty() {
  std::printf("== 4. Honesty\n");
  for (PskMode mode : {PskMode::Bpsk31, PskMode::Qpsk63, PskMode::Bpsk125}) {
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
        "%zu IMD readings\n",
        psk::mode_info(mode).name, on_noise.imd.size(), on_noise.ppm.size(),
        static_cast<double>(text.size()) / kRate, on_text.imd.size());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int seeds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 8;
  const std::string only = argc > 2 ? argv[2] : "";
  if (only.empty() || only == "1") first_reading_table(seeds);
  if (only == "1") return 0;
  if (only.empty() || only == "2") fading_table(seeds);
  if (only.empty() || only == "3") clock_table(seeds);
  if (!only.empty()) return 0;
  honesty();
  return 0;
}
