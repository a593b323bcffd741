// tonvista-cli measure: runs the engine's receiver core over a WAV file or the
// built-in signal as fast as the CPU allows and prints what it reports as
// JSON lines.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli_args.h"
#include "commands.h"
#include "core/receiver.h"
#include "json_lines.h"
#include "platform/codepage/codepage.h"
#include "pskengine.h"
#include "sources/builtin_signal.h"
#include "sources/wav_source.h"

namespace tonvista::cli {
namespace {

constexpr double kRate = 8000.0;
constexpr size_t kBlock = 80;          // samples per core call; the time resolution of the lines
constexpr double kDemoSeconds = 60.0;  // default length of --demo
constexpr int kAfcLimitHz = 500;       // the limit the program uses with AFC on
// Received text is printed a line at a time: at each line feed, at 64 bytes,
// after a pause of a second without characters, and at the end.
constexpr double kTextPauseSeconds = 1.0;
constexpr size_t kTextMaxBytes = 64;

// Notifications printed as {"t":..,"<name>":wparam}.  Adding a kind of
// numeric line is one entry here.
struct NumericLine {
  uint32_t msg;      // WM_ENGINE_* code
  const char* name;  // JSON name
};
constexpr NumericLine kNumericLines[] = {
    {WM_ENGINE_IMD, "imd"},
    {WM_ENGINE_CLOCKERR, "clock_ppm"},
};

void print(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
}

}  // namespace

int run_measure(int argc, char** argv) {
  std::string error;
  auto args = Args::parse(argc, argv, 2, {"mode", "freq", "afc", "seconds"}, {"demo"}, &error);
  const bool demo = args && args->has("demo");
  if (args && (demo ? !args->positionals().empty() : args->positionals().size() != 1)) {
    error = "measure needs one WAV file or --demo";
  }
  psk::PskMode mode = psk::PskMode::Bpsk31;
  double freq = 1500, seconds = 0;
  bool afc = true;
  if (error.empty()) {
    if (auto m = args->mode(&error)) mode = *m;
    freq = args->number("freq", 100, 3000, &error).value_or(1500.0);
    seconds = args->number("seconds", 0, 1e6, &error).value_or(demo ? kDemoSeconds : 1e9);
    const std::string afc_text = args->text("afc").value_or("on");
    if (afc_text != "on" && afc_text != "off") error = "--afc must be on or off";
    afc = afc_text == "on";
  }
  if (!error.empty()) {
    std::fprintf(stderr, "tonvista-cli measure: %s\n", error.c_str());
    return 2;
  }

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
  receiver.set_mode(psk::mode_info(mode).engine_code);
  receiver.set_rx_frequency(static_cast<int32_t>(std::lround(freq)));
  receiver.set_afc_limit(afc ? kAfcLimitHz : 0);

  codepage::Decoder decoder;
  std::string text;        // received text not yet printed, UTF-8
  double text_last = 0.0;  // time of its newest character
  auto print_text = [&](double t) {
    if (!text.empty()) print(json_text_line(t, "text", text));
    text.clear();
  };
  int32_t printed_freq = receiver.rx_frequency();
  print(json_number_line(0.0, "freq", printed_freq));
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
    for (const psk::EngineEvent& e : receiver.take_events()) {
      for (const NumericLine& line : kNumericLines) {
        if (e.msg == line.msg) print(json_number_line(t, line.name, e.wparam));
      }
      if (e.msg == WM_ENGINE_RXCHAR) {
        text_last = t;
        text += decoder.Push(static_cast<uint8_t>(e.wparam));
        if (e.wparam == '\n' || text.size() >= kTextMaxBytes) print_text(t);
      }
    }
    if (!text.empty() && t - text_last >= kTextPauseSeconds) print_text(t);
    if (receiver.rx_frequency() != printed_freq) {
      printed_freq = receiver.rx_frequency();
      print(json_number_line(t, "freq", printed_freq));
    }
  }
  text += decoder.Flush();
  print_text(static_cast<double>(processed) / kRate);
  std::fflush(stdout);
  return 0;
}

}  // namespace tonvista::cli
