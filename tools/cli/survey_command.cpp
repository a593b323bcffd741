// tonvista-cli survey: runs a receiver on every PSK signal of a recording (or
// of the built-in simulated band) and keeps one record per station.  While
// it runs it prints the readings of each over as JSON lines when the over
// ends; at the end one summary line per station, and with --csv the same
// summary as a CSV file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/open_input.h"
#include "cli_args.h"
#include "commands.h"
#include "dsp/sample_rate.h"
#include "json_lines.h"
#include "live_input.h"
#include "platform/codepage/codepage.h"
#include "sources/wav_source.h"
#include "survey/band_survey.h"
#include "survey/simulated_band.h"

namespace tonvista::cli {
namespace {

constexpr size_t kBlock = psk::kEngineRateHz;  // samples per survey call
constexpr uint32_t kDemoSeed = 17;             // noise of --demo-band
constexpr int kMaxThreads = 64;
constexpr auto kLivePoll = std::chrono::milliseconds(50);  // wait for a device's next samples

std::string fixed(double v, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  return buffer;
}

// {"t":..,"freq":..,"mode":..,"call":..,
std::string over_prefix(double t, const psk::OverReport& over) {
  return "{\"t\":" + fixed(t, 2) + ",\"freq\":" + fixed(over.freq_hz, 1) + ",\"mode\":\"" +
         psk::mode_info(over.mode).name + "\",\"call\":" + json_quote(over.call) + ",";
}

void print_over(const psk::OverReport& over) {
  for (const psk::TimedValue& r : over.imd)
    std::printf("%s\"imd\":%d}\n", over_prefix(r.t, over).c_str(), r.value);
  for (const psk::TimedValue& r : over.clock_ppm)
    std::printf("%s\"clock_ppm\":%d}\n", over_prefix(r.t, over).c_str(), r.value);
  std::printf("%s\"start\":%.2f,\"snr\":%.1f,\"text\":%s}\n", over_prefix(over.end_t, over).c_str(),
              over.start_t, over.snr_db, json_quote(codepage::BytesToText(over.text)).c_str());
}

void print_summary(const psk::StationRecord& s) {
  std::printf(
      "{\"station\":%s,\"freq\":%.1f,\"mode\":\"%s\",\"imd_median\":%s,\"imd_readings\":%zu,"
      "\"snr\":%.1f,\"clock_ppm\":%s,\"first\":%.2f,\"last\":%.2f}\n",
      json_quote(s.call).c_str(), s.freq_hz, psk::mode_info(s.mode).name,
      s.imd.empty() ? "null" : fixed(s.median_imd(), 1).c_str(), s.imd.size(), s.snr_db,
      s.clock_ppm.empty() ? "null" : fixed(s.median_clock_ppm(), 1).c_str(), s.first_t, s.last_t);
}

// Callsigns hold letters, digits and slashes only; an empty field is
// written as such.  Values without readings are left empty.
bool write_csv(std::FILE* f, const std::vector<psk::StationRecord>& stations) {
  std::fputs(
      "call,freq_hz,mode,imd_median_db,imd_readings,snr_db,clock_ppm,first_heard_s,last_heard_s\n",
      f);
  for (const psk::StationRecord& s : stations) {
    std::fprintf(f, "%s,%.1f,%s,%s,%zu,%.1f,%s,%.2f,%.2f\n", s.call.c_str(), s.freq_hz,
                 psk::mode_info(s.mode).name, s.imd.empty() ? "" : fixed(s.median_imd(), 1).c_str(),
                 s.imd.size(), s.snr_db,
                 s.clock_ppm.empty() ? "" : fixed(s.median_clock_ppm(), 1).c_str(), s.first_t,
                 s.last_t);
  }
  return std::fflush(f) == 0 && !std::ferror(f);
}

int fail(const std::string& message, int status) {
  std::fprintf(stderr, "tonvista-cli survey: %s\n", message.c_str());
  return status;
}

}  // namespace

int run_survey(int argc, char** argv) {
  std::string error;
  auto args = Args::parse(argc, argv, 2, {"device", "from", "to", "csv", "threads", "seconds"},
                          {"demo-band"}, &error);
  if (!args) return fail(error, 2);
  const int inputs = static_cast<int>(args->positionals().size()) +
                     (args->has("demo-band") ? 1 : 0) + (args->has("device") ? 1 : 0);
  if (inputs != 1) return fail("survey needs one WAV file, --device N or --demo-band", 2);
  psk::SurveyOptions options;
  options.from_hz = args->number("from", 100, 3000, &error).value_or(200.0);
  options.to_hz = args->number("to", 100, 3000, &error).value_or(2900.0);
  // Default: one thread per core.
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  options.threads = static_cast<int>(
      args->number("threads", 1, kMaxThreads, &error).value_or(std::min(cores, kMaxThreads)));
  if (error.empty() && options.from_hz >= options.to_hz)
    error = "--from (" + fixed(options.from_hz, 0) + " Hz) must be below --to (" +
            fixed(options.to_hz, 0) + " Hz)";
  if (!error.empty()) return fail(error, 2);
  // A device is listened to until SIGINT or SIGTERM, or for --seconds.
  double seconds = args->number("seconds", 0, 1e9, &error).value_or(1e9);
  if (!error.empty()) return fail(error, 2);

  std::vector<float> demo;
  std::unique_ptr<psk::AudioSource> source;
  if (args->has("demo-band")) {
    demo = psk::render_band(psk::demo_band_stations(), psk::kDemoBandSeconds, kDemoSeed);
  } else if (auto device = args->text("device")) {
    install_stop_signals();
    const std::optional<int32_t> number = live_device_number(*device, &error);
    if (!number) return fail(error, 1);
    psk::OpenedInput opened = psk::open_input(*number);
    if (!opened.source) return fail("device " + *device + ": " + opened.message, 1);
    source = std::move(opened.source);
    // The built-in signal (the device after the sound cards) is no live
    // input: it is surveyed as fast as the CPU allows, for a minute unless --seconds says.
    if (!source->live() && !args->has("seconds")) seconds = 60;
  } else {
    source = psk::WavSource::open_file(args->positionals()[0], &error);
    if (!source) return fail(error, 1);
  }
  std::FILE* csv = nullptr;
  if (auto path = args->text("csv")) {
    csv = std::fopen(path->c_str(), "w");
    if (!csv) return fail("cannot write " + *path, 1);
  }

  psk::BandSurvey survey(options);
  std::vector<float> block(kBlock);
  size_t demo_pos = 0;
  bool lost = false;
  for (;;) {
    size_t n = 0;
    if (source) {
      if (stop_requested() || survey.seconds() >= seconds) break;
      n = source->read(block);
      if (n == 0 && source->live()) {
        lost = source->state() == psk::SourceState::Lost;
        if (lost) break;
        std::this_thread::sleep_for(kLivePoll);
        continue;
      }
    } else {
      n = std::min(kBlock, demo.size() - demo_pos);
      std::copy_n(demo.begin() + static_cast<std::ptrdiff_t>(demo_pos), n, block.begin());
      demo_pos += n;
    }
    if (n == 0) break;
    survey.process(std::span<const float>(block.data(), n));
    for (const psk::OverReport& over : survey.take_overs()) print_over(over);
  }
  survey.finish();
  for (const psk::OverReport& over : survey.take_overs()) print_over(over);
  const std::vector<psk::StationRecord> stations = survey.stations();
  for (const psk::StationRecord& s : stations) print_summary(s);
  std::fflush(stdout);
  if (csv) {
    const bool ok = write_csv(csv, stations);
    if (std::fclose(csv) != 0 || !ok) return fail("cannot write " + *args->text("csv"), 1);
  }
  return lost ? fail("the device was lost; the survey ends with what it heard", 1) : 0;
}

}  // namespace tonvista::cli
