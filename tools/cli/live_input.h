// What the live commands share: the stop signals (SIGINT, SIGTERM) and the
// engine's device number for a --device value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tonvista::cli {

// Makes SIGINT and SIGTERM set the stop flag instead of ending the process.
void install_stop_signals();
// True once SIGINT or SIGTERM came.
bool stop_requested();

// The engine's device number for a --device value: "default", a number of
// the device list (as the start-up dialog numbers it), or a name in it.
// nullopt, with *error, when there is none.
std::optional<int32_t> live_device_number(const std::string& text, std::string* error);

}  // namespace tonvista::cli
