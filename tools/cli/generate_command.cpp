// tonvista-cli generate: writes a test signal with known properties as a
// 16-bit mono 8000 Hz WAV file.
#include <cstdio>
#include <string>

#include "cli_args.h"
#include "commands.h"
#include "dsp/sample_rate.h"
#include "sim/test_signal.h"
#include "sources/wav_writer.h"

namespace tonvista::cli {

int run_generate(int argc, char** argv) {
  std::string error;
  auto args = Args::parse(argc, argv, 2,
                          {"mode", "freq", "imd", "snr", "ppm", "text", "idle", "seconds", "seed",
                           "fading", "qrm-offset", "qrm-db"},
                          {"imd-tones"}, &error);
  if (args && args->positionals().size() != 1) error = "generate needs one output file";
  psk::TestSignalParams params;
  if (error.empty()) {
    if (auto mode = args->mode(&error)) params.mode = *mode;
    params.carrier_hz = args->number("freq", 100, 3800, &error).value_or(1500.0);
    params.imd_db = args->number("imd", -80, -3, &error);
    params.snr_db = args->number("snr", -30, 100, &error);
    params.ppm = args->number("ppm", -10000, 10000, &error).value_or(0.0);
    params.idle_seconds = args->number("idle", 0, 3600, &error).value_or(10.0);
    params.seconds = args->number("seconds", 0, 3600, &error);
    params.seed = static_cast<uint32_t>(args->number("seed", 0, 4294967295.0, &error).value_or(1));
    params.text = args->text("text").value_or("");
    if (auto name = args->text("fading")) {
      if (auto profile = psk::parse_fading_profile(*name))
        params.fading = *profile;
      else
        error = "unknown fading profile '" + *name + "' (none, good, moderate, poor, flutter)";
    }
    params.qrm_offset_hz = args->number("qrm-offset", -3000, 3000, &error);
    params.qrm_db = args->number("qrm-db", -60, 40, &error).value_or(0.0);
    if (params.qrm_offset_hz) {
      const double other = params.carrier_hz + *params.qrm_offset_hz;
      if (other < 100 || other > 3800)
        error = "--freq plus --qrm-offset must lie from 100 to 3800 Hz";
    } else if (args->has("qrm-db")) {
      error = "--qrm-db needs --qrm-offset";
    }
    if (args->has("imd-tones")) {
      params.imd_kind = psk::ImdKind::ProductTones;
      if (!params.imd_db) error = "--imd-tones needs --imd";
    }
  }
  if (!error.empty()) {
    std::fprintf(stderr, "tonvista-cli generate: %s\n", error.c_str());
    return 2;
  }
  const psk::TestSignal signal = psk::make_test_signal(params);
  if (!psk::write_wav16(args->positionals()[0], signal.samples, psk::kEngineRateHz, 1, &error)) {
    std::fprintf(stderr, "tonvista-cli generate: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace tonvista::cli
