// Throughput of the engine's receiver core in multiples of real time: the
// counter "x_realtime" is seconds of audio processed per second of CPU.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/receiver.h"
#include "dsp/resampler.h"
#include "sim/test_signal.h"
#include "sources/builtin_signal.h"

namespace {

constexpr double kRate = 8000.0;

std::vector<float> test_audio() {
  psk::TestSignalParams params;
  params.snr_db = 20;
  params.imd_db = -30;
  params.idle_seconds = 2;
  params.text = "CQ CQ de JA1DEMO JA1DEMO pse k";
  params.seconds = 10;
  return psk::make_test_signal(params).samples;
}

void set_realtime(benchmark::State& state, size_t samples_per_iteration) {
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(samples_per_iteration) / kRate,
                         benchmark::Counter::kIsIterationInvariantRate);
}

// The receiver core as the engine runs it: 10 ms blocks.
void BM_ReceiverCore(benchmark::State& state) {
  const std::vector<float> audio = test_audio();
  psk::Receiver receiver;
  for (auto _ : state) {
    for (size_t pos = 0; pos < audio.size(); pos += 80) {
      receiver.process(
          std::span<const float>(audio).subspan(pos, std::min<size_t>(80, audio.size() - pos)));
    }
    benchmark::DoNotOptimize(receiver.take_events());
  }
  set_realtime(state, audio.size());
}
BENCHMARK(BM_ReceiverCore)->Unit(benchmark::kMillisecond);

// Sound-card capture at 48 kHz resampled to 8000 Hz.
void BM_Resample48k(benchmark::State& state) {
  std::vector<float> in(48000);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<float>((i % 97) / 97.0 - 0.5);
  psk::Resampler resampler(48000);
  std::vector<float> out;
  for (auto _ : state) {
    out.clear();
    resampler.process(in, out);
    benchmark::DoNotOptimize(out.data());
  }
  set_realtime(state, 8000);
}
BENCHMARK(BM_Resample48k)->Unit(benchmark::kMillisecond);

// The built-in test signal (modulator, amplifier, noise).
void BM_BuiltinSignal(benchmark::State& state) {
  psk::BuiltinSignal source;
  std::vector<float> block(8000);
  for (auto _ : state) benchmark::DoNotOptimize(source.read(block));
  set_realtime(state, block.size());
}
BENCHMARK(BM_BuiltinSignal)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
