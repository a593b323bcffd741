// The commands of tonvista-cli.  Each returns the process exit status:
// 0 done, 1 failed (message on stderr), 2 bad command line.
#pragma once

#include <cstdint>
#include <string>

namespace tonvista::cli {

int run_generate(int argc, char** argv);
int run_measure(int argc, char** argv);
int run_devices(int argc, char** argv);

// The receiver's settings for measure.
struct ReceiveSettings {
  int32_t mode_code;        // PSK_MODE_* code
  int32_t rx_frequency_hz;  // receive frequency
  int32_t afc_limit_hz;     // 0: AFC off
};
constexpr int32_t kAfcLimitHz = 500;  // the limit the program uses with AFC on

// measure --device: listens to device (a number as the dialog numbers it, a
// name, or "default") for up to `seconds`, or until SIGINT or SIGTERM.
int run_live_measure(const std::string& device, const ReceiveSettings& settings, double seconds);
int run_survey(int argc, char** argv);

}  // namespace tonvista::cli
