#include "audio/device_list.h"

#include <portaudio.h>

#include "audio/portaudio_session.h"

namespace psk {

std::vector<std::string> DeviceList::names() const {
  std::vector<std::string> out;
  for (const CaptureDevice& d : capture) out.push_back(d.name);
  out.emplace_back(kBuiltinSignalName);
  return out;
}

size_t utf8_prefix_length(std::string_view utf8, size_t limit) {
  if (utf8.size() <= limit) return utf8.size();
  size_t n = limit;
  // Back over continuation bytes (10xxxxxx) to the first byte of the cut character.
  while (n > 0 && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80) --n;
  return n;
}

DeviceList list_devices() {
  DeviceList list;
  const auto lock = PortAudioSession::lock();
  PortAudioSession session;
  if (!session.ok()) {
    list.error = "the audio system is unavailable: " + session.error();
    return list;
  }
  const int count = Pa_GetDeviceCount();
  if (count < 0) {
    list.error = std::string("the audio system is unavailable: ") + Pa_GetErrorText(count);
    return list;
  }
  list.ok = true;
  for (int i = 0; i < count; ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (info == nullptr || info->maxInputChannels < 1) continue;
    list.capture.push_back({info->name != nullptr ? info->name : "", i, info->maxInputChannels,
                            info->defaultSampleRate});
  }
  return list;
}

}  // namespace psk
