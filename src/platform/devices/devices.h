// The list of sound devices the start-up dialog offers, in the order the
// engine numbers them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace devices {

// The capture devices' names, then the engine's built-in test signal; or
// nothing when the audio system cannot be reached (the reason in *error).
std::optional<std::vector<std::string>> SoundDeviceNames(std::string* error);

// Replaces what SoundDeviceNames reports (replay tool and tests) until
// cleared.
void SetDeviceListOverride(std::vector<std::string> names);
void ClearDeviceListOverride();

}  // namespace devices
