// Throughput of the band survey with eight stations on the air at once, in
// multiples of real time (wall clock, since the receivers run on a pool).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "survey/band_survey.h"
#include "survey/simulated_band.h"

namespace {

constexpr double kSeconds = 30.0;

// Eight stations, 300 Hz apart, all sending for nearly the whole band.
const std::vector<float>& eight_stations() {
  static const std::vector<float> band = [] {
    const psk::PskMode modes[] = {psk::PskMode::Bpsk31, psk::PskMode::Qpsk31, psk::PskMode::Bpsk63,
                                  psk::PskMode::Qpsk63, psk::PskMode::Bpsk125};
    std::vector<psk::SimulatedStation> stations;
    for (int i = 0; i < 8; ++i) {
      const std::string call = "DL" + std::to_string(i + 1) + "ABC";
      std::string text;
      for (int k = 0; k < 6; ++k) text += "CQ CQ de " + call + " " + call + " pse k\n";
      stations.push_back({call,
                          modes[i % 5],
                          500.0 + 300.0 * i,
                          -20.0 - i,
                          10.0 + 2 * i,
                          0,
                          {{0.2 * i, 5, text, 30}}});
    }
    return psk::render_band(stations, kSeconds, 1);
  }();
  return band;
}

void BM_BandSurveyEightStations(benchmark::State& state) {
  const std::vector<float>& band = eight_stations();
  size_t stations = 0;
  for (auto _ : state) {
    psk::BandSurvey survey({.threads = static_cast<int>(state.range(0))});
    survey.process(band);
    survey.finish();
    stations = survey.stations().size();
  }
  state.counters["stations"] = static_cast<double>(stations);
  state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(band.size()) / 8000.0,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_BandSurveyEightStations)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("threads")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
