// The measurement's parts against exact truth, the meters on stretches set by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "coding/varicode.h"
#include "measure/clock_estimator.h"
#include "measure/idle_segments.h"
#include "measure/imd_meter.h"
#include "measure/symbol_timing.h"
#include "measure/tone_analyzer.h"
#include "modem/psk_demodulator.h"
#include "sim/imd_truth.h"
#include "sim/test_signal.h"
#include "test_signal.h"

namespace psk {
namespace {

constexpr double kRate = 8000.0;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Amplitude and centre phase within 1e-6 under either window; no leakage
// between tones whole bins apart.
TEST(ToneAnalyzer, ReadsAmplitudeAndCentrePhaseWithoutLeakage) {
  // Idle tones 32 bins apart (BPSK31 at 1500 Hz) and a weak product beside them.
  const double lo = 1484.375, hi = 1515.625, product = 1453.125;
  std::vector<float> x(8192);
  for (size_t n = 0; n < x.size(); ++n) {
    const double t = static_cast<double>(n) / kRate;
    x[n] = static_cast<float>(0.4 * std::cos(kTwoPi * lo * t + 0.7) +
                              0.3 * std::cos(kTwoPi * hi * t - 1.2) +
                              0.004 * std::cos(kTwoPi * product * t + 2.0));
  }
  for (auto window : {ToneAnalyzer::Window::Hann, ToneAnalyzer::Window::Rectangular}) {
    SCOPED_TRACE(window == ToneAnalyzer::Window::Hann ? "Hann" : "rectangular");
    ToneAnalyzer analyzer(8192, kRate, window);
    const std::vector<double> hz = {lo, hi, product, 1500.0};
    std::vector<std::complex<double>> out(hz.size());
    analyzer.process(x, hz, out);
    const double centre = 4096 / kRate;
    EXPECT_NEAR(std::abs(out[0]), 0.4, 1e-6);
    EXPECT_NEAR(std::abs(out[1]), 0.3, 1e-6);
    EXPECT_NEAR(std::abs(out[2]), 0.004, 1e-6);  // 52 dB below, 32 bins from a strong tone
    EXPECT_LT(std::abs(out[3]), 1e-6);           // halfway between the tones: nothing
    auto phase_error = [](std::complex<double> v, double expected) {
      return std::abs(std::arg(v * std::polar(1.0, -expected)));
    };
    EXPECT_LT(phase_error(out[0], kTwoPi * lo * centre + 0.7), 1e-6);
    EXPECT_LT(phase_error(out[1], kTwoPi * hi * centre - 1.2), 1e-6);
  }
}

// Runs an AFC demodulator and an IdleSegmenter over x; every stretch, oldest first.
std::vector<IdleSegment> stretches_of(PskMode mode, std::span<const float> x) {
  PskDemodulator demod = test::afc_demodulator(mode);
  IdleSegmenter segmenter(mode);
  std::vector<IdleSegment> all;
  test::for_blocks(x, 256, [&](std::span<const float> block, size_t) {
    const double mix = demod.frequency();
    demod.process(block);
    segmenter.process(block, demod.symbols(), mix);
    all.insert(all.end(), segmenter.segments().begin(), segmenter.segments().end());
  });
  return all;
}

// While the AFC pulls in from 3 Hz off, the symbols' phase changes lag the
// carrier by up to 0.2 Hz; the rectangular window's analysis still finds the
// carrier so exactly that nothing of the fundamentals leaks into the
// products' bins (a hundredth of a hertz off would move a -30 dB reading by
// a tenth of a dB), and nothing of any tone into the noise bins.
TEST(IdleSegmenter, FindsTheCarrierWhileTheAfcPullsIn) {
  TestSignalParams params;
  params.carrier_hz = 1503.0;
  params.imd_db = -30;
  params.idle_seconds = 6;
  params.seconds = 6.0;
  params.scale_for_file = false;
  const TestSignal sig = make_test_signal(params);
  const double truth =
      measure_idle_imd(std::span<const float>(sig.samples).first(sig.idle_end), 1503.0, 31.25)
          .imd_db;
  const std::vector<IdleSegment> stretches = stretches_of(PskMode::Bpsk31, sig.samples);
  for (const IdleSegment& s : stretches) {
    const auto& t = s.rect;
    const double products = std::norm(t.products[0]) + std::norm(t.products[1]);
    const double fundamentals = std::norm(t.fundamentals[0]) + std::norm(t.fundamentals[1]);
    EXPECT_NEAR(10 * std::log10(products / fundamentals), truth, 0.05) << s.centre;
    EXPECT_LT(s.hann.noise_power, 1e-4 * products / 4) << s.centre;
  }
  EXPECT_GE(stretches.size(), 6u);
}

// White noise alone in the tone-free bins: each stretch measures its power
// per bin under both windows (the rectangular one's 1.5 times lower) from
// at least 30 independent bins, so the stretches scatter by less than 0.3
// rms (six bins would scatter by 0.4) and their mean is within 5 % of the
// truth, beside strong tones and weak ones, in each mode.
TEST(IdleSegmenter, MeasuresTheNoiseBesideTheTones) {
  for (PskMode mode : {PskMode::Bpsk31, PskMode::Bpsk125}) {
    for (double snr : {25.0, 5.0}) {
      TestSignalParams params;
      params.mode = mode;
      params.imd_db = -25;
      params.snr_db = snr;
      params.idle_seconds = 12;
      params.seconds = 12.0;
      params.seed = 17;
      params.scale_for_file = false;
      const TestSignal sig = make_test_signal(params);
      const double rect_truth = 2 * sig.noise_power / IdleSegmenter::kLength;
      const std::vector<IdleSegment> stretches = stretches_of(mode, sig.samples);
      double hann = 0, rect = 0, square = 0;
      for (const IdleSegment& s : stretches) {
        EXPECT_GE(s.rect.noise_bins, 30) << s.centre;
        hann += s.hann.noise_power;
        rect += s.rect.noise_power;
        square += std::pow(s.rect.noise_power / rect_truth - 1.0, 2);
      }
      const std::string name = std::string(mode_info(mode).name) + " SNR " + std::to_string(snr);
      const auto count = static_cast<double>(stretches.size());
      ASSERT_GE(count, 15) << name;
      EXPECT_NEAR(rect / count / rect_truth, 1.0, 0.05) << name;
      EXPECT_LT(std::sqrt(square / count), 0.3) << name;
      EXPECT_NEAR(hann / rect, IdleSegmenter::kHannNoiseRatio, 1e-9) << name;
    }
  }
}

// BPSK63 2.5 Hz above the receiver (AFC off): idle, text, idle; 1 s of
// silence; idle, carrier.  Stretches lie half a symbol or more inside true
// idle; the demodulator's idle runs are located within 0.1 symbol and never
// on data.
TEST(IdleSegmenter, StretchesLieWhollyInsideIdleAndMarkASilenceBetweenRuns) {
  const PskMode mode = PskMode::Bpsk63;
  const double sps = 128.0, carrier = 1502.5;
  const std::string text = "de JA1ZZZ: measuring the idle";
  PskModulator first(mode, carrier), second(mode, carrier);
  first.append_idle(190);
  first.append_text(text);
  first.append_idle(260);
  second.append_idle(200);
  second.append_carrier(60);
  std::vector<float> x = test::render_all(first);
  x.resize(x.size() + 8000, 0.0f);
  const double start2 = static_cast<double>(x.size());
  const std::vector<float> tail = test::render_all(second);
  x.insert(x.end(), tail.begin(), tail.end());
  test::add_noise(x, 0.25, 25.0, 3);
  // Reversal k shapes samples [k sps, (k+1) sps]; run 2 starts at the text's last 1 bit.
  const std::string bits = std::string(190, '0') + varicode_encode(text) + std::string(260, '0');
  const double last_one = static_cast<double>(bits.find_last_of('1'));
  const double truth[3][2] = {{sps, 190 * sps},
                              {(last_one + 1) * sps, static_cast<double>(bits.size()) * sps},
                              {start2 + sps, start2 + 200 * sps}};

  PskDemodulator demod(mode, 1500.0);
  IdleSegmenter segmenter(mode);
  int per_run[3] = {0, 0, 0};
  bool continuous[3] = {};  // of each run's first stretch
  bool idle_in_text = false;
  double second_start = 0, start_in_gap = 0;
  test::for_blocks(x, 256, [&](std::span<const float> block, size_t i) {
    const double mix = demod.frequency();
    demod.process(block);
    if (i > truth[0][1] + 40 * sps && i < truth[1][0]) idle_in_text |= demod.idle();
    // In the silence: the finished run, not a chance reversal on the noise.
    if (i > truth[1][1] + 40 * sps && i < start2) start_in_gap = demod.idle_start();
    if (demod.idle() && demod.idle_runs() == 2) second_start = demod.idle_start();
    segmenter.process(block, demod.symbols(), mix);
    for (const IdleSegment& s : segmenter.segments()) {
      const double from = static_cast<double>(s.centre) - IdleSegmenter::kLength / 2;
      const double to = from + IdleSegmenter::kLength;
      bool inside = false;
      for (const auto& t : truth) inside |= from >= t[0] + 0.5 * sps && to <= t[1] - 0.5 * sps;
      EXPECT_TRUE(inside) << "stretch " << from << ".." << to;
      EXPECT_NEAR(s.carrier_hz, carrier, 0.2);
      ASSERT_TRUE(s.run >= 1 && s.run <= 3) << s.run;
      if (per_run[s.run - 1]++ == 0) continuous[s.run - 1] = s.continuous;
    }
  });
  // Every idle run gives stretches: one per half stretch of its length.
  for (int k = 0; k < 3; ++k) {
    const int most =
        int((truth[k][1] - truth[k][0] - IdleSegmenter::kLength) / IdleSegmenter::kHop) + 1;
    EXPECT_GE(per_run[k], most - 2) << k;
    EXPECT_LE(per_run[k], most) << k;
  }
  // Text of the same transmission keeps the signal continuous; a silence does not.
  EXPECT_FALSE(continuous[0]);
  EXPECT_TRUE(continuous[1]);
  EXPECT_FALSE(continuous[2]);
  EXPECT_FALSE(segmenter.idle());  // the carrier ended the last run
  EXPECT_FALSE(idle_in_text);
  EXPECT_FALSE(demod.idle());
  EXPECT_EQ(demod.idle_runs(), 3);
  EXPECT_NEAR(second_start, truth[1][0], 0.1 * sps);
  EXPECT_NEAR(start_in_gap, truth[1][0], 0.1 * sps);
  EXPECT_NEAR(demod.idle_end(), truth[2][1], 0.1 * sps);
}

// A deep fade of 0.3 s in a BPSK31 idle run (the channel, not the sender)
// keeps the run whole: stretches either side belong to the same run.
TEST(IdleSegmenter, ABriefFadeDoesNotSplitTheRun) {
  PskModulator mod(PskMode::Bpsk31, 1500.0);
  mod.append_idle(320);
  std::vector<float> x = test::render_all(mod);
  const double fade = 5.0 * kRate, flat = 0.1 * kRate, ramp = 0.1 * kRate;
  for (size_t n = 0; n < x.size(); ++n) {
    const double from_fade = std::abs(static_cast<double>(n) - fade) - flat;
    x[n] *= static_cast<float>(std::clamp(from_fade / ramp, 0.01, 1.0));
  }
  test::add_noise(x, 0.25, 25.0, 5);
  PskDemodulator demod(PskMode::Bpsk31, 1500.0);
  IdleSegmenter segmenter(PskMode::Bpsk31);
  int before = 0, after = 0;
  test::for_blocks(x, 256, [&](std::span<const float> block, size_t) {
    const double mix = demod.frequency();
    demod.process(block);
    segmenter.process(block, demod.symbols(), mix);
    for (const IdleSegment& s : segmenter.segments()) {
      EXPECT_EQ(s.run, 1);
      (static_cast<double>(s.centre) < fade ? before : after)++;
    }
  });
  EXPECT_GE(before, 4);
  EXPECT_GE(after, 4);
  EXPECT_TRUE(segmenter.idle());
}

// Feeds meter idle stretches i in [from, to) of one run, set by hand:
// fundamentals of amplitude 1 (the second's power times ratio), IMD imd_db,
// noise power noise in every bin.  Returns the readings.
std::vector<int32_t> feed_meter(ImdMeter& meter, int64_t run, int from, int to, double imd_db,
                                double noise, double ratio = 1.0) {
  std::vector<int32_t> readings;
  for (int i = from; i < to; ++i) {
    IdleSegment s;
    s.run = run;
    s.centre = int64_t{i} * IdleSegmenter::kHop;
    s.carrier_hz = 1500.0;
    const double product = 0.5 * std::pow(10.0, imd_db / 10.0) + noise;
    s.hann.fundamentals = {std::sqrt(2 * (0.5 + noise)), std::sqrt(2 * (0.5 * ratio + noise))};
    s.hann.products = {std::sqrt(2 * product), std::sqrt(2 * product)};
    s.hann.noise_power = noise;
    s.hann.noise_bins = 6;
    s.rect = s.hann;
    meter.process(std::span(&s, 1));
    readings.insert(readings.end(), meter.readings().begin(), meter.readings().end());
  }
  return readings;
}

TEST(ImdMeter, SubtractsTheNoiseAndGivesNothingWhereNoiseWouldMoveTheResult) {
  // Products at -30 dB with noise in their bins that would add 0.5 dB: the
  // noise is taken off, and with enough stretches the reading is the truth.
  const int n = ImdMeter::kMaxSegments;
  const double product = 0.5 * std::pow(10.0, -3.0);
  const double small = product * (std::pow(10.0, 0.05) - 1.0);  // 2 N / P -> 0.5 dB
  ImdMeter meter;
  const auto readings = feed_meter(meter, 1, 0, n, -30, small);
  ASSERT_FALSE(readings.empty());
  EXPECT_NEAR(meter.imd_db(), -30.0, 1e-9);
  EXPECT_LE(ImdMeter::miss_probability(meter.sigma_db()), ImdMeter::kMaxMissProbability);
  for (int32_t r : readings) EXPECT_EQ(r, -30);

  // Noise that would move it by 4 dB: never a reading, however long the idle.
  ImdMeter noisy;
  EXPECT_TRUE(feed_meter(noisy, 1, 0, 3 * n, -30, product * (std::pow(10.0, 0.4) - 1.0)).empty());
  EXPECT_GT(noisy.attempts(), 100);

  // A new idle run starts afresh: none of its readings holds a stretch of the
  // run before, even where the noise asks for many stretches.
  ImdMeter two_runs;
  feed_meter(two_runs, 1, 0, n, -20, small);
  const auto second = feed_meter(two_runs, 2, n, 2 * n, -30, small);
  ASSERT_FALSE(second.empty());
  for (int32_t r : second) EXPECT_EQ(r, -30);

  // Fundamentals 10 dB apart are not an idle signal as sent: not used.
  ImdMeter lopsided;
  EXPECT_TRUE(feed_meter(lopsided, 1, 0, 20, -25, 0.0, 0.1).empty());
}

// A fading run (fundamentals swinging 3 dB from stretch to stretch): no
// reading from fewer than kMinFadingSegments stretches; from more, one whose
// variance includes the stretches' scatter (products off by +-1.5 dB in turn:
// the reading is right, but never at the precision of the noise alone).
// A fade that ended the run before counts too: the next run's first
// stretches, all in one channel state with the products 3 dB high, give none.
// Wider modes read from more stretches.
TEST(ImdMeter, AFadingRunReadsOnlyFromEnoughStretchesAndCountsTheirScatter) {
  const double noise = 1e-7;
  // Stretch i of run: fundamentals' power times gain, products' times gain *
  // skew; the rectangular window's products rect_db off the Hann window's.
  auto stretch = [&](int64_t run, int i, double gain, double skew_db, double rect_db = -3.0) {
    IdleSegment s;
    s.run = run;
    s.centre = int64_t{i} * IdleSegmenter::kHop;
    const double product = gain * 0.5 * 1e-3 * std::pow(10.0, skew_db / 10) + noise;
    s.hann.fundamentals = {std::sqrt(2 * (0.5 * gain + noise)),
                           std::sqrt(2 * (0.5 * gain + noise))};
    s.hann.products = {std::sqrt(2 * product), std::sqrt(2 * product)};
    s.hann.noise_power = noise;
    s.hann.noise_bins = 6;
    s.rect = s.hann;
    const double scale = std::pow(10.0, rect_db / 20);
    s.rect.products = {s.hann.products[0] * scale, s.hann.products[1] * scale};
    return s;
  };
  for (const int count : {ImdMeter::kMinFadingSegments - 1, 40}) {
    ImdMeter meter;
    std::vector<int32_t> readings;
    for (int i = 0; i < count; ++i) {
      const IdleSegment s = i % 2 == 0 ? stretch(1, i, 1.0, 1.5) : stretch(1, i, 0.5, -1.5);
      meter.process(std::span(&s, 1));
      readings.insert(readings.end(), meter.readings().begin(), meter.readings().end());
    }
    if (count < ImdMeter::kMinFadingSegments) {
      EXPECT_TRUE(readings.empty());
      continue;
    }
    ASSERT_FALSE(readings.empty());
    for (int32_t r : readings) EXPECT_NEAR(r, -30, 1);  // the Hann window's analysis
    EXPECT_GT(meter.sigma_db(), 0.1);                   // the noise alone would give about 0.01 dB
    // Fading: posted only when surer than on a steady channel.
    EXPECT_LE(ImdMeter::miss_probability(meter.sigma_db()),
              ImdMeter::kMaxMissProbability * ImdMeter::kFadingMissShare);
  }
  // A fading run without scatter reads at 31.25 baud; at 62.5 baud and more
  // the channel's selectivity across the tones may hide a dB: never.
  for (const auto& [baud, reads] : {std::pair{31.25, true}, {62.5, false}, {125.0, false}}) {
    ImdMeter meter;
    bool read = false;
    for (int i = 0; i < 60; ++i) {
      IdleSegment s = stretch(1, i, i % 2 == 0 ? 1.0 : 0.5, 0.0);
      s.baud = baud;
      meter.process(std::span(&s, 1));
      read |= !meter.readings().empty();
    }
    EXPECT_EQ(read, reads) << baud;
  }
  // Steady: the first reading from 2 stretches, in wider modes from 4.
  for (const auto& [baud, first] : {std::pair{31.25, 2}, {62.5, 4}, {125.0, 4}}) {
    ImdMeter wide;
    int read_at = 0;
    for (int i = 0; i < 10 && read_at == 0; ++i) {
      IdleSegment s = stretch(1, i, 1.0, 0.0);
      s.baud = baud;
      wide.process(std::span(&s, 1));
      if (!wide.readings().empty()) read_at = i + 1;
    }
    EXPECT_EQ(read_at, first) << baud;
  }
  ImdMeter meter;
  for (int i = 0; i < 6; ++i) {
    const IdleSegment s = stretch(1, i, 1.0, 0.0);
    meter.process(std::span(&s, 1));
  }
  EXPECT_NEAR(meter.imd_db(), -33, 0.1);  // steady: read, from the rectangular window
  for (int i = 6; i < 6 + ImdMeter::kMinFadingSegments - 1; ++i) {
    const IdleSegment s = stretch(2, i + 2, 0.25, 3.0);
    meter.process(std::span(&s, 1));
    EXPECT_TRUE(meter.readings().empty()) << i;
  }
}

// Idle stretches from a sender whose symbol clock the card sees at
// baud / (1 + ppm 1e-6), with phase noise (cycles) on the tones' difference.
class ClockSender {
 public:
  ClockSender(double ppm, double phase_noise, uint32_t seed)
      : rate_(31.25 / (1.0 + ppm * 1e-6)), noise_(phase_noise), rng_(seed) {}
  IdleSegment at(int64_t run, int64_t centre, bool continuous, double phase_jump = 0.0) {
    IdleSegment s;
    s.run = run;
    s.centre = centre;
    s.continuous = continuous;
    const double cycles = rate_ * static_cast<double>(centre) / kRate + 0.3 + phase_jump +
                          std::normal_distribution<double>(0.0, noise_)(rng_);
    s.hann.fundamentals = {1.0, std::polar(1.0, kTwoPi * cycles)};
    // Noise power that gives this phase noise: var = N / (2 p) per tone, p = 1/2.
    s.hann.noise_power = noise_ * noise_ * kTwoPi * kTwoPi / 2.0;
    s.hann.noise_bins = 6;
    return s;
  }

 private:
  double rate_;       // symbol rate as the card sees it
  double noise_;      // phase noise, cycles
  std::mt19937 rng_;  // noise generator
};

// Three 8 s idle runs 10 s apart at -237 ppm: joined into one track only when
// continuous and on the line (not a third of a symbol off, not after a silence).
TEST(ClockErrorEstimator, JoinsRunsOnlyWhereTheSymbolClockContinues) {
  struct Case {
    bool continuous;
    double third_jump;  // cycles
    int tracks;
    double tolerance;  // ppm
  };
  for (const Case& c :
       {Case{true, 0.0, 1, 0.5}, Case{true, 0.33, 2, 3.0}, Case{false, 0.0, 3, 3.0}}) {
    ClockErrorEstimator clock;
    ClockSender sender(-237.0, 0.001, 1);
    int64_t centre = 4096;
    for (int run = 1; run <= 3; ++run, centre += 10 * 8000)
      for (int i = 0; i < 15; ++i, centre += IdleSegmenter::kHop) {
        const IdleSegment s =
            sender.at(run, centre, i > 0 || c.continuous, run == 3 ? c.third_jump : 0.0);
        clock.process(std::span(&s, 1));
      }
    EXPECT_EQ(clock.tracks(), c.tracks);
    EXPECT_NEAR(clock.ppm(), -237.0, c.tolerance) << c.tracks << " tracks";
    EXPECT_TRUE(c.tracks != 1 || clock.settled());
  }
}

TEST(ClockErrorEstimator, ReportsOnlyOnceSettledThenEveryFiveSeconds) {
  // Phase noise 0.002 cycles: readings once settled, each within 3 sigma of the truth.
  ClockErrorEstimator clock;
  ClockSender sender(88.0, 0.002, 4);
  std::vector<std::pair<int64_t, int32_t>> readings;
  for (int i = 0; i < 160; ++i) {
    const int64_t centre = 4096 + i * IdleSegmenter::kHop;
    const IdleSegment s = sender.at(1, centre, i > 0);
    clock.process(std::span(&s, 1));
    EXPECT_TRUE(clock.settled() || clock.readings().empty()) << i;
    for (int32_t r : clock.readings()) readings.emplace_back(centre, r);
  }
  ASSERT_GE(readings.size(), 10u);
  EXPECT_GT(readings.front().first, 8 * 8000);  // not at once
  for (size_t i = 0; i < readings.size(); ++i) {
    EXPECT_NEAR(readings[i].second, 88.0, 3.0 * ClockErrorEstimator::kMaxSigmaPpm + 0.5);
    if (i > 0) {
      EXPECT_GE(readings[i].first - readings[i - 1].first, ClockErrorEstimator::kInterval);
    }
  }
  EXPECT_NEAR(clock.ppm(), 88.0, 3.0 * clock.sigma_ppm());
  EXPECT_LT(clock.sigma_ppm(), 0.5);
}

// Runs a demodulator at 1500 Hz (AFC on if afc) and SymbolTiming over x; the symbol
// instants handed over are moved off the demodulator's by a slow wander of
// up to `wander` symbols (as a timing loop's lag that changes with the text).
SymbolTiming::Result time_symbols(PskMode mode, std::span<const float> x, double wander = 0,
                                  bool afc = false) {
  const double sps = kRate / mode_info(mode).baud;
  PskDemodulator demod = afc ? test::afc_demodulator(mode) : PskDemodulator(mode, 1500.0);
  SymbolTiming timing(mode);
  std::vector<SymbolInfo> moved;
  int64_t count = 0;
  test::for_blocks(x, 256, [&](std::span<const float> block, size_t) {
    const double mix = demod.frequency();
    demod.process(block);
    moved.assign(demod.symbols().begin(), demod.symbols().end());
    for (SymbolInfo& s : moved)
      s.position += wander * sps * std::sin(kTwoPi * static_cast<double>(count++) / 500.0);
    timing.process(block, moved, mix, false);
  });
  return timing.current();
}

// Clean text with a known clock error, the instants wandering: the
// crossings, and so the clock, must not follow the wander.
TEST(SymbolTiming, CrossingsDoNotFollowTheDemodulatorsTimingWander) {
  struct Case {
    PskMode mode;
    double ppm, wander;  // wander: peak, symbols
  };
  const Case cases[] = {{PskMode::Bpsk31, -211, 0.0},
                        {PskMode::Bpsk31, -211, 0.1},
                        {PskMode::Qpsk31, 143, 0.0},
                        {PskMode::Qpsk31, 143, 0.1},
                        {PskMode::Bpsk63, 260, 0.1}};
  for (const Case& c : cases) {
    const std::string text = test::mixed_text(size_t(30 * mode_info(c.mode).baud / 7), 5);
    std::vector<float> x = test::make_signal(
        {.mode = c.mode, .ppm = c.ppm, .lead_idle = 0, .tail_idle = 0, .text = text});
    x.resize(std::min(x.size(), size_t(30 * kRate)));
    const SymbolTiming::Result r = time_symbols(c.mode, x, c.wander);
    ASSERT_TRUE(r.valid) << mode_info(c.mode).name;
    // Clean: exact but for what the wander leaves.
    EXPECT_NEAR(r.ppm, c.ppm, c.wander > 0 ? 0.5 : 0.05)
        << mode_info(c.mode).name << " wander " << c.wander;
  }
}

// Text 16 Hz above the receiver: while the AFC acquires it, the symbols are
// garbage (half a baud off, a plain carrier even looks like clean BPSK), and
// crossings from them, at the start of the track where they weigh most,
// would bend the line by several standard deviations.  None may count.
TEST(SymbolTiming, ATrackStartsOnlyOnceTheAfcHoldsTheSignal) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    const std::string text = test::mixed_text(size_t(40 * 31.25 / 7), 840 + seed);
    std::vector<float> x = test::make_signal({.mode = PskMode::Bpsk31,
                                              .carrier_hz = 1516.2,
                                              .ppm = -83,
                                              .lead_idle = 0,
                                              .tail_idle = 0,
                                              .text = text});
    x.resize(std::min(x.size(), size_t(40 * kRate)));
    test::add_noise(x, test::mean_power(x), 10, 20540 + seed);
    const SymbolTiming::Result r = time_symbols(PskMode::Bpsk31, x, 0, true);
    ASSERT_TRUE(r.valid) << seed;
    EXPECT_NEAR(r.ppm, -83, 3 * std::sqrt(r.variance)) << seed;
    EXPECT_LT(r.variance, 2.5 * 2.5) << seed;
  }
}

// QPSK text turns by a quarter about twice as often as it reverses; each
// quarter turn tells its instant half as well as a reversal does, but only
// with its middle known.  With the same text and noise, QPSK31's clock must
// come out clearly more precise than BPSK31's (which has only reversals),
// and right.
TEST(SymbolTiming, QpskQuarterTurnsAddToTheReversals) {
  double variance[2] = {};
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    for (int q = 0; q < 2; ++q) {
      const PskMode mode = q ? PskMode::Qpsk31 : PskMode::Bpsk31;
      const std::string text = test::mixed_text(size_t(40 * 31.25 / 7), 20 + seed);
      std::vector<float> x = test::make_signal(
          {.mode = mode, .ppm = -90, .lead_idle = 0, .tail_idle = 0, .text = text});
      x.resize(std::min(x.size(), size_t(40 * kRate)));
      test::add_noise(x, test::mean_power(x), 10, 40 + seed);
      const SymbolTiming::Result r = time_symbols(mode, x);
      ASSERT_TRUE(r.valid) << seed << mode_info(mode).name;
      EXPECT_NEAR(r.ppm, -90, 4 * std::sqrt(r.variance)) << seed << mode_info(mode).name;
      variance[q] += r.variance;
    }
  }
  EXPECT_LT(variance[1], 0.8 * variance[0]);
}

}  // namespace
}  // namespace psk
