// tonvista-cli measure: runs the engine's receiver core over a WAV file or the
// built-in signal as fast as the CPU allows and prints what it reports as
// JSON lines; with --device it listens live (live_measure.cpp).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli_args.h"
#include "commands.h"
#include "core/receiver.h"
#include "dsp/sample_rate.h"
#include "measure_lines.h"
#include "pskengine.h"
#include "sources/builtin_signal.h"
#include "sources/wav_source.h"

namespace tonvista::cli {
namespace {

constexpr double kRate = psk::kEngineRateHz;
constexpr size_t kBlock = 80;          // samples per core call; the time resolution of the lines
constexpr double kDemoSeconds = 60.0;  // default length of --demo

}  // namespace

int run_measure(int argc, char** argv) {
  std::string error;
  auto args =
      Args::parse(argc, argv, 2, {"mode", "freq", "afc", "seconds", "device"}, {"demo"}, &error);
  const bool demo = args && args->has("demo");
  const bool device = args && args->has("device");
  if (args && (demo + device + args->positionals().size() != 1)) {
    error = "measure needs one WAV file, --demo or --device";
  }
  psk::PskMode mode = psk::PskMode::Bpsk31;
  double freq = 1500, seconds = 0;
  bool afc = true;
  if (error.empty()) {
    if (auto m = args->mode(&error)) mode = *m;
    freq = args->number("freq", 100, 3000, &error).value_or(1500.0);
    seconds = args->number("seconds", 0, 1e6, &error).value_or(demo ? kDemoSeconds : 1e9);
    if (seconds <= 0 && device) error = "--seconds must be above 0";
    const std::string afc_text = args->text("afc").value_or("on");
    if (afc_text != "on" && afc_text != "off") error = "--afc must be on or off";
    afc = afc_text == "on";
  }
  if (!error.empty()) {
    std::fprintf(stderr, "tonvista-cli measure: %s\n", error.c_str());
    return 2;
  }
  const ReceiveSettings settings{psk::mode_info(mode).engine_code,
                                 static_cast<int32_t>(std::lround(freq)), afc ? kAfcLimitHz : 0};
  if (device) return run_live_measure(*args->text("device"), settings, seconds);

  std::unique_ptr<psk::AudioSource> source;
  if (demo) {
    source = std::make_unique<psk::BuiltinSignal>();
  } else {
    source = psk::WavSource::open_file(args->positionals()[0], &error);
    if (!source) {
      std::fprintf(stderr, "tonvista-cli measure: %s\n", error.c_str());
      return 1;
    }
  }

  psk::Receiver receiver;
  receiver.set_mode(settings.mode_code);
  receiver.set_rx_frequency(settings.rx_frequency_hz);
  receiver.set_afc_limit(settings.afc_limit_hz);

  MeasureLines lines(receiver.rx_frequency());
  const uint64_t limit = static_cast<uint64_t>(seconds * kRate);
  std::vector<float> block(kBlock);
  uint64_t processed = 0;
  while (processed < limit) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kBlock, limit - processed));
    const size_t n = source->read(std::span<float>(block.data(), want));
    if (n == 0) break;
    receiver.process(std::span<const float>(block.data(), n));
    processed += n;
    const double t = static_cast<double>(processed) / kRate;
    for (const psk::EngineEvent& e : receiver.take_events()) lines.event(t, e.msg, e.wparam);
    lines.tick(t);
    lines.frequency(t, receiver.rx_frequency());
  }
  lines.finish(static_cast<double>(processed) / kRate);
  return 0;
}

}  // namespace tonvista::cli
