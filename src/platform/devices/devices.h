// The list of sound devices the start-up dialog offers, in the order the
// engine numbers them: the engine's own enumeration, read through its C
// interface, serves both.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace devices {

// The engine's device-list operations (pskengine_device_count and
// pskengine_device_name of pskengine.h), as the program binds them.
struct EngineDeviceList {
  int32_t (*count)();
  int32_t (*name)(int32_t index, char* buffer, int32_t size);
};

// The capture devices' names, then the engine's built-in test signal; or
// nothing when the audio system cannot be reached (the reason in *error).
std::optional<std::vector<std::string>> SoundDeviceNames(const EngineDeviceList& engine,
                                                         std::string* error);

// Replaces what SoundDeviceNames reports (replay tool and tests) until
// cleared: exactly these names, or an audio system that cannot be reached
// for the given reason.
void SetDeviceListOverride(std::vector<std::string> names);
void SetDeviceListUnavailable(std::string reason);
void ClearDeviceListOverride();

}  // namespace devices
