// The band survey against simulated bands of known stations: every station
// found (carrier within 2 Hz, mode, callsign), every IMD reading within 1 dB
// of the station's IMD, S/N within 2 dB, no station that was not sent, turn
// takers apart, and the same results with one and two threads.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "sim/test_signal.h"
#include "survey/band_scanner.h"
#include "survey/band_survey.h"
#include "survey/callsign.h"
#include "survey/simulated_band.h"
#include "survey/worker_pool.h"

namespace psk {
namespace {

TEST(Callsigns, ShapesAndSenders) {
  struct Case {
    const char* word;
    bool call;
  };
  const Case words[] = {
      {"DL1ABC", true},    {"G4XYZ/P", true},  {"DL/G4XYZ", true},    {"I2ABC/QRP", true},
      {"2E0ABC", true},    {"JA1QRZ/1", true}, {"VP2E/W1AW/M", true}, {"W1AW", true},
      {"BPSK31", false},   {"599", false},     {"QRP", false},        {"DL1", false},
      {"DL1ABCDE", false}, {"G4XYZ/X", false}, {"1234A", false},      {"DL1ABC//P", false},
  };
  for (const Case& c : words) EXPECT_EQ(is_callsign(c.word), c.call) << c.word;

  struct Text {
    const char* text;
    const char* sender;
  };
  const Text texts[] = {
      {"CQ CQ de dl1abc dl1abc pse k", "DL1ABC"},
      {"F5XYZ de I2ABC/QRP ur 599 F5XYZ de I2ABC/QRP kn", "I2ABC/QRP"},
      // Said after "de" more often wins over the first named.
      {"de G4XYZ ... W1AW de DL/ON4ABC DL/ON4ABC de DL/ON4ABC", "DL/ON4ABC"},
      {"tnx fer QSO es 73 G4XYZ/P", ""},             // a call alone is the one called
      {"CQ de DL1A DL1ABC pse DL1ABC k", "DL1ABC"},  // a garbled copy loses to the repeated
      {"ur rst 599 599 bpsk31 hw?", ""},
  };
  for (const Text& t : texts) EXPECT_EQ(sender_of(t.text), t.sender) << t.text;
}

// Steady tones (Hz, amplitude) in noise about 50 dB below a tone of 0.1, 8192 samples.
std::vector<float> tones(const std::vector<std::pair<double, double>>& list) {
  std::vector<float> x(8192);
  uint32_t seed = 12345;
  for (size_t n = 0; n < x.size(); ++n) {
    seed = seed * 1664525u + 1013904223u;
    double v = 0.01 * (static_cast<double>(seed >> 8) / (1 << 24) - 0.5);
    for (const auto& [hz, a] : list) v += a * std::cos(2 * std::numbers::pi * hz * n / 8000.0 + hz);
    x[n] = static_cast<float>(v);
  }
  return x;
}

// Idle pairs are found with their centre and spacing; what only looks like
// one part of a pair is not.
TEST(BandSpectrum, FindsIdleTonePairsOnly) {
  struct Case {
    const char* what;
    std::vector<std::pair<double, double>> tones;
    std::vector<std::pair<double, double>> pairs;  // (centre, baud) expected, strongest first
  };
  const Case cases[] = {
      {"one pair of each rate",
       {{984.375, 0.1},
        {1015.625, 0.1},
        {1468.75, 0.05},
        {1531.25, 0.05},
        {1937.5, 0.02},
        {2062.5, 0.02}},
       {{1000, 31.25}, {1500, 62.5}, {2000, 125}}},
      {"a pair with its third-order products",
       {{1469, 0.1}, {1531, 0.1}, {1407, 0.02}, {1593, 0.02}},
       {{1500, 62}}},
      {"a neighbour between a strong pair's products",
       {{1437.5, 0.1},
        {1562.5, 0.1},
        {1312.5, 0.018},
        {1687.5, 0.018},
        {1634.4, 0.02},
        {1665.6, 0.02}},
       {{1500, 125}, {1650, 31.25}}},
      {"tones 6 dB apart", {{984.375, 0.1}, {1015.625, 0.05}}, {}},
      {"a carrier between them", {{984.375, 0.1}, {1000, 0.1}, {1015.625, 0.1}}, {}},
      {"spaced 40 Hz", {{980, 0.1}, {1020, 0.1}}, {}},
  };
  BandSpectrum spectrum(8192);
  for (const Case& c : cases) {
    spectrum.compute(tones(c.tones));
    const std::vector<ToneCandidate> found = spectrum.find_pairs(200, 2900);
    ASSERT_EQ(found.size(), c.pairs.size()) << c.what;
    for (size_t i = 0; i < found.size(); ++i) {
      EXPECT_NEAR(found[i].centre_hz, c.pairs[i].first, 0.1) << c.what;
      EXPECT_NEAR(found[i].baud, c.pairs[i].second, 1.0) << c.what;
    }
  }
}

TEST(WorkerPool, RunsEveryTaskOnceForAnyThreadCount) {
  for (int threads : {1, 2, 3}) {
    WorkerPool pool(threads);
    for (size_t count : {0, 1, 2, 7, 100}) {
      std::vector<int> runs(count, 0);
      for (int batch = 0; batch < 3; ++batch) pool.run(count, [&](size_t i) { ++runs[i]; });
      for (size_t i = 0; i < count; ++i) EXPECT_EQ(runs[i], 3) << threads << " " << count;
    }
  }
}

std::string cq(const std::string& call) {
  return "CQ CQ de " + call + " " + call + " pse k\n";
}

// A short band: 28 s, six stations, two of them taking turns on 2500 Hz,
// a 31-baud one 150 Hz beside a strong 125-baud one with -15 dB IMD.
std::vector<SimulatedStation> short_band() {
  return {
      {"DL1ABC", PskMode::Bpsk31, 500.0, -20, 8, 100, {{0.5, 7, cq("DL1ABC"), 3}}},
      {"JA1QRZ", PskMode::Qpsk31, 820.3, -30, 15, 0, {{1, 6, cq("JA1QRZ"), 2}}},
      {"W1AW",
       PskMode::Bpsk125,
       1300.0,
       -15,
       25,
       0,
       {{2, 6, cq("W1AW"), 2}, {18, 5, cq("W1AW"), 2}}},
      {"G4XYZ/P", PskMode::Bpsk31, 1450.0, -35, 20, 0, {{3, 7, cq("G4XYZ/P"), 2}}},
      {"DL/ON4ABC", PskMode::Qpsk63, 1900.0, -25, 12, -100, {{1, 6, cq("DL/ON4ABC"), 3}}},
      {"F5XYZ", PskMode::Bpsk63, 2500.0, -32, 18, 0, {{0.5, 6, "I2ABC de F5XYZ kn\n", 2}}},
      {"I2ABC", PskMode::Bpsk63, 2501.5, -18, 10, 0, {{13, 6, "F5XYZ de I2ABC kn\n", 2}}},
  };
}
constexpr double kShortBandSeconds = 28.0;

struct SurveyRun {
  std::vector<StationRecord> stations;
  std::vector<OverReport> overs;
};

SurveyRun survey(const std::vector<float>& band, int threads) {
  BandSurvey s({.threads = threads});
  SurveyRun run;
  // Odd block sizes: the results must not depend on them.
  for (size_t i = 0; i < band.size(); i += 3001) {
    s.process(std::span<const float>(band).subspan(i, std::min<size_t>(3001, band.size() - i)));
    for (OverReport& o : s.take_overs()) run.overs.push_back(std::move(o));
  }
  s.finish();
  for (OverReport& o : s.take_overs()) run.overs.push_back(std::move(o));
  run.stations = s.stations();
  return run;
}

// A run's overs in words, every number exact, for comparing runs.
std::string in_words(const SurveyRun& run) {
  std::ostringstream out;
  out << std::hexfloat;
  for (const OverReport& o : run.overs) {
    out << o.call << ' ' << o.freq_hz << ' ' << o.start_t << ' ' << o.end_t << ' ' << o.snr_db;
    for (const TimedValue& r : o.imd) out << ' ' << r.t << ':' << r.value;
    out << ' ' << o.text << '\n';
  }
  return out.str();
}

TEST(BandSurvey, FindsEveryStationWithItsReadingsAndNoOtherWithOneOrTwoThreads) {
  const std::vector<SimulatedStation> truth = short_band();
  const std::vector<float> band = render_band(truth, kShortBandSeconds, 5);
  const SurveyRun run = survey(band, 1);
  EXPECT_EQ(in_words(run), in_words(survey(band, 2)));
  EXPECT_EQ(run.stations.size(), truth.size());
  for (const SimulatedStation& t : truth) {
    const StationRecord* found = nullptr;
    for (const StationRecord& s : run.stations)
      if (s.call == t.call) found = &s;
    ASSERT_NE(found, nullptr) << t.call;
    EXPECT_NEAR(found->freq_hz, t.carrier_hz, 2.0) << t.call;
    EXPECT_EQ(found->mode, t.mode) << t.call;
    EXPECT_NEAR(found->snr_db, t.snr_db, 2.0) << t.call;
    EXPECT_EQ(found->overs, static_cast<int>(t.overs.size())) << t.call;
    EXPECT_NEAR(found->first_t, t.overs.front().start_s, 1.5) << t.call;
    for (const TimedValue& r : found->imd) EXPECT_NEAR(r.value, t.imd_db, 1.0) << t.call;
    // The IMD meter reads products well above the noise within these idles.
    if (t.imd_db >= -20 && t.snr_db >= 10) {
      EXPECT_FALSE(found->imd.empty()) << t.call;
    }
  }
}

// Noise alone, and one very strong station with strong products: nothing,
// and exactly that one station.
TEST(BandSurvey, NoStationFromNoiseOrFromProductsOfAStrongSignal) {
  EXPECT_TRUE(survey(render_band({}, 12, 3), 2).stations.empty());
  const std::vector<SimulatedStation> loud = {
      {"OH2XX", PskMode::Bpsk31, 1000.0, -15, 35, 0, {{0.5, 8, cq("OH2XX"), 2}}},
      {"OH3YY", PskMode::Bpsk63, 2000.0, -15, 35, 0, {{0.5, 8, cq("OH3YY"), 2}}}};
  const SurveyRun run = survey(render_band(loud, 16, 4), 2);
  ASSERT_EQ(run.stations.size(), 2u);
  EXPECT_EQ(run.stations[0].call, "OH2XX");
  EXPECT_EQ(run.stations[1].call, "OH3YY");
}

// Turn takers on one frequency at clearly different levels: an over that
// names nobody goes to the one whose level it has.
TEST(BandSurvey, AnOverWithoutACallGoesToTheTurnTakerOfItsLevel) {
  const std::vector<SimulatedStation> turns = {
      {"SM5AAA",
       PskMode::Bpsk63,
       1200.0,
       -20,
       22,
       0,
       {{0.5, 4, "CQ de SM5AAA k\n", 2}, {20, 4, "ur 599 tu 73\n", 2}}},
      {"OZ1BBB", PskMode::Bpsk63, 1200.5, -30, 10, 0, {{10.5, 4, "SM5AAA de OZ1BBB k\n", 2}}}};
  const SurveyRun run = survey(render_band(turns, 29, 6), 1);
  ASSERT_EQ(run.stations.size(), 2u);
  for (const StationRecord& s : run.stations) {
    EXPECT_EQ(s.overs, s.call == "SM5AAA" ? 2 : 1) << s.call;
    for (const TimedValue& r : s.imd) EXPECT_NEAR(r.value, s.call == "SM5AAA" ? -20 : -30, 1.0);
  }
}

// Turn takers without a pause make one over on the air: its text tells the
// two apart, and each one's readings stay its own.
TEST(BandSurvey, TurnTakersWithoutAPauseAreToldApartByTheirText) {
  const SimulatedOver first{0.5, 5, "OZ1BBB de SM5AAA k\n", 2};
  TestSignalParams p{.mode = PskMode::Bpsk63, .text = first.text, .idle_seconds = first.idle_s};
  // Where the first over ends (its text is followed by one second of idle).
  const double end = first.start_s +
                     static_cast<double>(make_test_signal(p).samples.size()) / 8000 - 1.0 +
                     first.tail_idle_s;
  const std::vector<SimulatedStation> turns = {
      {"SM5AAA", PskMode::Bpsk63, 1200.0, -20, 20, 0, {first}},
      {"OZ1BBB", PskMode::Bpsk63, 1200.5, -28, 25, 0, {{end, 5, "SM5AAA de OZ1BBB k\n", 7}}}};
  const SurveyRun run = survey(render_band(turns, end + 17, 8), 1);
  ASSERT_EQ(run.stations.size(), 2u);
  for (const StationRecord& s : run.stations) {
    const double truth = s.call == "SM5AAA" ? -20 : -28;
    EXPECT_TRUE(s.call == "SM5AAA" || s.call == "OZ1BBB") << s.call;
    EXPECT_FALSE(s.imd.empty()) << s.call;
    for (const TimedValue& r : s.imd) EXPECT_NEAR(r.value, truth, 1.0) << s.call;
  }
}

}  // namespace
}  // namespace psk
