// The list of sound devices, shared by the engine and the program's start-up
// dialog so that both number the devices alike: the capture devices (those
// with at least one input channel) in PortAudio's order, then the engine's
// built-in test signal.  Device number n of the engine is entry n of this
// list; -1 is the default capture device.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace psk {

inline constexpr const char* kBuiltinSignalName = "Built-in test signal (BPSK31 at 1500 Hz)";

struct CaptureDevice {
  std::string name;            // the device's name, UTF-8
  int portaudio_index = -1;    // PortAudio's device index
  int max_input_channels = 0;  // input channels offered
  double default_rate_hz = 0;  // the device's preferred sample rate
};

struct DeviceList {
  bool ok = false;                     // false: the audio system is unavailable
  std::string error;                   // why, when !ok
  std::vector<CaptureDevice> capture;  // capture devices, in order (empty without a sound card)

  // Every entry's name: the capture devices, then kBuiltinSignalName (also
  // when !ok, so the built-in signal can always be chosen).
  std::vector<std::string> names() const;
  // The engine's device number of the built-in test signal.
  int builtin_index() const { return static_cast<int>(capture.size()); }
};

// The length of the longest prefix of utf8 within limit bytes that ends on a
// whole character, so that a name cut to fit a buffer stays valid UTF-8.
size_t utf8_prefix_length(std::string_view utf8, size_t limit);

// Enumerates the devices.  Needs no PortAudio session of the caller.
DeviceList list_devices();

}  // namespace psk
