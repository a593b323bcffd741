// Throughput of the receiver core while it measures, in multiples of real
// time (counter "x_realtime"): a 20 s idle signal (IMD -30 dB, SNR 20 dB,
// +50 ppm), played over and over in 10 ms blocks, so stretches are analysed
// and IMD and clock readings made throughout; and the analysis of one
// stretch alone.
#include <benchmark/benchmark.h>

#include <array>
#include <complex>
#include <string>
#include <vector>

#include "core/receiver.h"
#include "measure/tone_analyzer.h"
#include "modem/modes.h"
#include "sim/test_signal.h"

namespace {

constexpr psk::PskMode kModes[] = {psk::PskMode::Bpsk31,  psk::PskMode::Qpsk31,
                                   psk::PskMode::Bpsk63,  psk::PskMode::Qpsk63,
                                   psk::PskMode::Bpsk125, psk::PskMode::Qpsk125};

void BM_ReceiverMeasuringIdle(benchmark::State& state) {
  const psk::PskMode mode = kModes[state.range(0)];
  psk::TestSignalParams params;
  params.mode = mode;
  params.imd_db = -30;
  params.snr_db = 20;
  params.ppm = 50;
  params.idle_seconds = 20;
  params.seconds = 20;
  const std::vector<float> audio = psk::make_test_signal(params).samples;
  psk::Receiver receiver;
  receiver.set_mode(psk::mode_info(mode).engine_code);
  receiver.set_afc_limit(500);
  size_t readings = 0;
  for (auto _ : state) {
    for (size_t pos = 0; pos < audio.size(); pos += 80) {
      receiver.process(
          std::span<const float>(audio).subspan(pos, std::min<size_t>(80, audio.size() - pos)));
    }
    readings = receiver.take_events().size();
    benchmark::DoNotOptimize(readings);
  }
  state.SetLabel(psk::mode_info(mode).name);
  state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(audio.size()) / 8000.0,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReceiverMeasuringIdle)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

// Text (no idle after the first second): the clock measured from the
// symbol timing of the text.
void BM_ReceiverMeasuringText(benchmark::State& state) {
  const psk::PskMode mode = kModes[state.range(0)];
  psk::TestSignalParams params;
  params.mode = mode;
  params.snr_db = 20;
  params.ppm = 50;
  params.idle_seconds = 1;
  params.text = std::string(400, 'e');
  params.seconds = 20;
  const std::vector<float> audio = psk::make_test_signal(params).samples;
  psk::Receiver receiver;
  receiver.set_mode(psk::mode_info(mode).engine_code);
  receiver.set_afc_limit(500);
  for (auto _ : state) {
    for (size_t pos = 0; pos < audio.size(); pos += 80) {
      receiver.process(
          std::span<const float>(audio).subspan(pos, std::min<size_t>(80, audio.size() - pos)));
    }
    benchmark::DoNotOptimize(receiver.take_events().size());
  }
  state.SetLabel(psk::mode_info(mode).name);
  state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(audio.size()) / 8000.0,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReceiverMeasuringText)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

// One stretch of 8192 samples at the ten frequencies a stretch is analysed
// at (two are made every 1.02 s of idle).
void BM_StretchAnalysis(benchmark::State& state) {
  std::vector<float> x(8192);
  for (size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>((i * 7919 % 1000) / 1000.0 - 0.5);
  psk::ToneAnalyzer analyzer(8192);
  std::array<double, 10> hz{};
  for (size_t k = 0; k < hz.size(); ++k) hz[k] = 1400.0 + 20.0 * static_cast<double>(k);
  std::array<std::complex<double>, 10> out{};
  for (auto _ : state) {
    analyzer.process(x, hz, out);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_StretchAnalysis)->Unit(benchmark::kMicrosecond);

}  // namespace
