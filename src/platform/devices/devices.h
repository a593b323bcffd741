// The list of sound devices the start-up dialog offers, in the order the
// engine numbers them: one enumeration, the engine's own, serves both.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace devices {

// The capture devices' names (in PortAudio's order of the devices with at
// least one input channel), then the engine's built-in test signal; or
// nothing when the audio system cannot be reached (the reason in *error).
std::optional<std::vector<std::string>> SoundDeviceNames(std::string* error);

// Replaces what SoundDeviceNames reports (replay tool and tests) until
// cleared: exactly these names, or an audio system that cannot be reached
// for the given reason.
void SetDeviceListOverride(std::vector<std::string> names);
void SetDeviceListUnavailable(std::string reason);
void ClearDeviceListOverride();

}  // namespace devices
