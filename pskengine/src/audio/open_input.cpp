#include "audio/open_input.h"

#include "audio/device_list.h"
#include "audio/portaudio_session.h"
#include "audio/portaudio_source.h"
#include "pskengine.h"
#include "sources/builtin_signal.h"

namespace psk {
namespace {

OpenedInput open_listed(const DeviceList& devices, int32_t device) {
  OpenedInput opened;
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
  int portaudio_index = -1;
  if (device >= 0) {
    const CaptureDevice& chosen = devices.capture[static_cast<size_t>(device)];
    portaudio_index = chosen.portaudio_index;
    opened.device_name = chosen.name;
  }
  opened.source = PortAudioSource::open(portaudio_index, &opened.code, &opened.message);
  return opened;
}

}  // namespace

OpenedInput open_input(int32_t device) {
  // One enumeration and the opening, with no other PortAudio use between them.
  const auto lock = PortAudioSession::lock();
  return open_listed(list_devices(), device);
}

OpenedInput open_input_named(const std::string& device_name) {
  if (device_name.empty()) return open_input(-1);
  const auto lock = PortAudioSession::lock();
  const DeviceList devices = list_devices();
  for (size_t i = 0; i < devices.capture.size(); ++i) {
    if (devices.capture[i].name == device_name)
      return open_listed(devices, static_cast<int32_t>(i));
  }
  OpenedInput opened;
  opened.code = PSK_START_BAD_DEVICE;
  opened.message = "no capture device named " + device_name;
  return opened;
}

}  // namespace psk
