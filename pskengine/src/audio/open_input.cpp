#include "audio/open_input.h"

#include "audio/device_list.h"
#include "audio/portaudio_source.h"
#include "pskengine.h"
#include "sources/builtin_signal.h"

namespace psk {

OpenedInput open_input(int32_t device) {
  OpenedInput opened;
  const DeviceList devices = list_devices();
  if (device == devices.builtin_index()) {
    opened.source = std::make_unique<BuiltinSignal>();
    opened.code = PSK_START_OK;
    return opened;
  }
  if (device < -1 || device > devices.builtin_index()) {
    opened.code = PSK_START_BAD_DEVICE;
    opened.message = "no device " + std::to_string(device);
    return opened;
  }
  if (!devices.ok) {
    // Without an audio system the default device cannot open.
    opened.code = PSK_START_NOT_OPEN;
    opened.message = devices.error;
    return opened;
  }
  const int portaudio_index =
      device == -1 ? -1 : devices.capture[static_cast<size_t>(device)].portaudio_index;
  opened.source = PortAudioSource::open(portaudio_index, &opened.code, &opened.message);
  return opened;
}

}  // namespace psk
