// tonvista-cli devices: the devices as the start-up dialog numbers them, one
// JSON line each: {"index":n,"name":"...","rate":hz}.  The built-in test
// signal comes last, at 8000 Hz.
#include <cmath>
#include <cstdio>
#include <string>

#include "audio/device_list.h"
#include "commands.h"
#include "dsp/sample_rate.h"
#include "json_lines.h"

namespace tonvista::cli {
namespace {
void print_device(int index, const std::string& name, double rate_hz) {
  std::printf("{\"index\":%d,\"name\":%s,\"rate\":%ld}\n", index, json_quote(name).c_str(),
              std::lround(rate_hz));
}
}  // namespace

int run_devices(int argc, char** /*argv*/) {
  if (argc != 2) {
    std::fputs("tonvista-cli devices: takes no arguments\n", stderr);
    return 2;
  }
  const psk::DeviceList list = psk::list_devices();
  int index = 0;
  for (const psk::CaptureDevice& d : list.capture) print_device(index++, d.name, d.default_rate_hz);
  print_device(list.builtin_index(), psk::kBuiltinSignalName, psk::kEngineRateHz);
  std::fflush(stdout);
  if (!list.ok) {
    // The built-in signal can still be measured; say why nothing else is listed.
    std::fprintf(stderr, "tonvista-cli devices: %s\n", list.error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace tonvista::cli
