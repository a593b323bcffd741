// What the IMD and clock measurements build on: symbol instants, idle runs
// located within 0.1 symbol, never idle on noise, and the phase vectors
// (radius 1000 +-10 %, no change pointing up).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "psk_demodulator.h"
#include "test_signal.h"
#include "varicode.h"

namespace psk {
namespace {

// Least-squares slope of y over x.
double slope(const std::vector<double>& x, const std::vector<double>& y) {
  double mx = 0, my = 0;
  for (size_t i = 0; i < x.size(); ++i) mx += x[i], my += y[i];
  mx /= static_cast<double>(x.size());
  my /= static_cast<double>(y.size());
  double sxy = 0, sxx = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    sxy += (x[i] - mx) * (y[i] - my);
    sxx += (x[i] - mx) * (x[i] - mx);
  }
  return sxy / sxx;
}

// Symbol instants: during idle within 0.01 symbol of the transmitted peaks,
// during text within 0.1 symbol (the timing estimate is not data-aided, so
// text patterns move it a little); the spacing of the idle instants over
// 30 s gives the clock error within 3 ppm.
TEST(SymbolTiming, InstantsSitOnTheTransmittedPeaksAndTheirSpacingGivesTheClockError) {
  for (PskMode mode : {PskMode::Bpsk31, PskMode::Qpsk125}) {
    for (double ppm : {-300.0, 0.0, 300.0}) {
      test::SignalSpec spec;
      spec.mode = mode;
      spec.ppm = ppm;
      const double baud = mode_info(mode).baud;
      spec.lead_idle = static_cast<int>(2 * baud);
      spec.text = test::mixed_text(355, 2).substr(255);  // 100 characters of English
      spec.tail_idle = static_cast<int>(30 * baud);      // then 30 s of idle
      auto x = test::make_signal(spec);
      test::add_noise(x, test::mean_power(x), 30.0, 13);
      PskDemodulator demod(mode, 1500.0);
      demod.set_afc_limit(500);
      // Symbol k of the sender peaks at input sample (k+1) * sps.
      const double sps = 8000.0 / baud * (1.0 + ppm * 1e-6);
      std::vector<double> index, position;
      double worst_idle = 0, worst_text = 0;
      for (size_t i = 0; i < x.size(); i += 1000) {
        demod.process(std::span<const float>(x).subspan(i, std::min<size_t>(1000, x.size() - i)));
        for (const SymbolInfo& s : demod.symbols()) {
          if (s.position < 5 * 8000) continue;  // after 5 s of settling
          const double k = s.position / sps;
          const double miss = std::abs(k - std::round(k));
          if (demod.idle()) {
            worst_idle = std::max(worst_idle, miss);
            index.push_back(std::round(k));
            position.push_back(s.position);
          } else {
            worst_text = std::max(worst_text, miss);
          }
        }
      }
      const std::string name = std::string(mode_info(mode).name) + " " + std::to_string(ppm);
      EXPECT_LT(worst_idle, 0.01) << name;
      EXPECT_LT(worst_text, 0.1) << name;
      ASSERT_GT(index.size(), 25 * baud) << name;
      // Samples per symbol, relative to nominal: the sound card's clock error.
      const double measured_ppm = (slope(index, position) / (8000.0 / baud) - 1) * 1e6;
      EXPECT_NEAR(measured_ppm, ppm, 3.0) << name;
    }
  }
}

TEST(IdleDetector, LocatesRunsOfReversalsAndNeverFiresOnData) {
  const std::string text = "data between two idles";
  const int lead = 100, tail = 80;
  PskModulator mod(PskMode::Bpsk63, 1500.0);
  mod.append_idle(lead);
  mod.append_text(text);
  mod.append_idle(tail);
  mod.append_carrier(20);
  auto x = test::render_all(mod);
  test::add_noise(x, test::mean_power(x), 30.0, 17);
  // Truth: the second idle run begins after the last 1 bit of the text.
  const std::string bits = std::string(lead, '0') + varicode_encode(text);
  const size_t last_one = bits.find_last_of('1');
  const double sps = 128.0;
  const double true_start = (static_cast<double>(last_one) + 1) * sps;
  const double true_end = static_cast<double>(bits.size() + tail) * sps;
  const double text_from = (lead + 1) * sps, text_to = static_cast<double>(last_one + 1) * sps;

  PskDemodulator demod(PskMode::Bpsk63, 1500.0);
  demod.set_afc_limit(500);
  bool idle_during_text = false;
  for (size_t i = 0; i < x.size(); i += 200) {
    demod.process(std::span<const float>(x).subspan(i, std::min<size_t>(200, x.size() - i)));
    const double now = static_cast<double>(i);
    if (now > text_from + 40 * sps && now < text_to) idle_during_text |= demod.idle();
  }
  EXPECT_FALSE(idle_during_text);
  EXPECT_FALSE(demod.idle());  // the carrier ended it
  EXPECT_EQ(demod.idle_runs(), 2);
  EXPECT_NEAR(demod.idle_start(), true_start, 0.1 * sps);
  EXPECT_NEAR(demod.idle_end(), true_end, 0.1 * sps);

  // Noise alone: never 32 reversals in a row.
  const auto noise = test::make_noise(30 * 8000, 0.25, 19);
  PskDemodulator on_noise(PskMode::Bpsk31, 1500.0);
  on_noise.set_afc_limit(500);
  for (size_t i = 0; i < noise.size(); i += 800) {
    on_noise.process(std::span<const float>(noise).subspan(i, 800));
    ASSERT_FALSE(on_noise.idle());
  }
  EXPECT_EQ(on_noise.idle_runs(), 0);
}

TEST(Vectors, IdlePointsDownCarrierPointsUpRadiusAbout1000) {
  PskModulator mod(PskMode::Qpsk31, 1500.0);
  mod.append_idle(100);
  auto idle = test::render_all(mod);
  mod.append_carrier(100);
  auto carrier = test::render_all(mod);
  PskDemodulator demod(PskMode::Qpsk31, 1500.0);
  demod.set_afc_limit(500);
  demod.process(idle);
  for (const auto& v : demod.vectors()) {
    EXPECT_NEAR(v[1], -1000, 100);
    EXPECT_NEAR(v[0], 0, 100);
  }
  demod.process(carrier);
  for (const auto& v : demod.vectors()) {
    EXPECT_NEAR(v[1], 1000, 100);
    EXPECT_NEAR(v[0], 0, 100);
  }
}

}  // namespace
}  // namespace psk
