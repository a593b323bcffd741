// tonvista-cli: makes test signals and measures signals with the PSK engine.
#include <cstdio>
#include <cstring>

#include "commands.h"

namespace {
const char kUsage[] =
    "usage:\n"
    "  tonvista-cli generate OUT.wav [--mode M] [--freq HZ] [--imd DB] [--imd-tones] [--snr DB]\n"
    "                        [--ppm N] [--text T] [--idle S] [--seconds S] [--seed N]\n"
    "  tonvista-cli measure FILE.wav|--demo|--device N|NAME|default [--mode M] [--freq HZ]\n"
    "                       [--afc on|off] [--seconds S]\n"
    "  tonvista-cli devices\n"
    "  tonvista-cli survey FILE.wav|--device N|NAME|default|--demo-band [--from HZ] [--to HZ]\n"
    "                      [--csv FILE] [--threads N] [--seconds S]\n"
    "  tonvista-cli --version\n"
    "modes: bpsk31 (default), qpsk31, bpsk63, qpsk63, bpsk125, qpsk125\n";
}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "generate") == 0)
    return tonvista::cli::run_generate(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], "measure") == 0)
    return tonvista::cli::run_measure(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("tonvista-cli " TONVISTA_VERSION);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "devices") == 0)
    return tonvista::cli::run_devices(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], "survey") == 0)
    return tonvista::cli::run_survey(argc, argv);
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  std::fputs(kUsage, stderr);
  return 2;
}
