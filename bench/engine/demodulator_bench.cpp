// Throughput of the receiver core with the PSK demodulator in every mode, in
// multiples of real time (counter "x_realtime"), on a 20 dB SNR signal of
// idle and text (and on a weak one, -10 dB), with AFC on, in 10 ms blocks as
// the engine feeds it; the QPSK phase trellis decoder per symbol.
#include <benchmark/benchmark.h>

#include <array>
#include <random>
#include <vector>

#include "coding/viterbi.h"
#include "core/receiver.h"
#include "modem/modes.h"
#include "modem/psk_demodulator.h"
#include "sim/test_signal.h"

namespace {

constexpr psk::PskMode kModes[] = {psk::PskMode::Bpsk31,  psk::PskMode::Qpsk31,
                                   psk::PskMode::Bpsk63,  psk::PskMode::Qpsk63,
                                   psk::PskMode::Bpsk125, psk::PskMode::Qpsk125};

std::vector<float> audio_for(psk::PskMode mode, double snr_db = 20) {
  psk::TestSignalParams params;
  params.mode = mode;
  params.snr_db = snr_db;
  params.idle_seconds = 2;
  params.text = "CQ CQ de JA1DEMO JA1DEMO pse k";
  params.seconds = 10;
  return psk::make_test_signal(params).samples;
}

void set_realtime(benchmark::State& state, size_t samples) {
  state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(samples) / 8000.0,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

// The whole receiver core (spectrum, raw buffer, demodulator) per mode.
void BM_ReceiverCoreMode(benchmark::State& state) {
  const psk::PskMode mode = kModes[state.range(0)];
  const std::vector<float> audio = audio_for(mode);
  psk::Receiver receiver;
  receiver.set_mode(psk::mode_info(mode).engine_code);
  receiver.set_afc_limit(500);
  for (auto _ : state) {
    for (size_t pos = 0; pos < audio.size(); pos += 80)
      receiver.process(
          std::span<const float>(audio).subspan(pos, std::min<size_t>(80, audio.size() - pos)));
    benchmark::DoNotOptimize(receiver.take_events());
  }
  state.SetLabel(psk::mode_info(mode).name);
  set_realtime(state, audio.size());
}
BENCHMARK(BM_ReceiverCoreMode)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

// The demodulator alone per mode; range(1): SNR in 2500 Hz, dB.
void BM_Demodulator(benchmark::State& state) {
  const psk::PskMode mode = kModes[state.range(0)];
  const std::vector<float> audio = audio_for(mode, static_cast<double>(state.range(1)));
  psk::PskDemodulator demod(mode, 1500.0);
  demod.set_afc_limit(500);
  for (auto _ : state) {
    for (size_t pos = 0; pos < audio.size(); pos += 80)
      demod.process(
          std::span<const float>(audio).subspan(pos, std::min<size_t>(80, audio.size() - pos)));
    benchmark::DoNotOptimize(demod.level());
  }
  state.SetLabel(psk::mode_info(mode).name);
  set_realtime(state, audio.size());
}
BENCHMARK(BM_Demodulator)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {20, -10}})
    ->Unit(benchmark::kMillisecond);

// The QPSK decoder over code state and carrier phase, per symbol.
void BM_PhaseTrellis(benchmark::State& state) {
  std::mt19937 rng(1);
  std::normal_distribution<float> noise(0.0f, 0.5f);
  std::vector<std::array<float, 4>> matches(4096);
  for (auto& m : matches)
    for (float& v : m) v = noise(rng);
  psk::PhaseTrellisDecoder decoder;
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(decoder.process(matches[i]));
    i = (i + 1) & 4095;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PhaseTrellis);

}  // namespace
