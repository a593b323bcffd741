#include "platform/devices/devices.h"

#include "audio/device_list.h"

namespace devices {
namespace {

// A list set by the replay tool or a test: names, or the reason none can be had.
struct Override {
  std::optional<std::vector<std::string>> names;
  std::string error;
};
std::optional<Override> g_override;

}  // namespace

std::optional<std::vector<std::string>> SoundDeviceNames(std::string* error) {
  if (g_override) {
    if (!g_override->names && error) *error = g_override->error;
    return g_override->names;
  }
  const psk::DeviceList list = psk::list_devices();
  if (!list.ok) {
    if (error) *error = list.error;
    return std::nullopt;
  }
  return list.names();
}

void SetDeviceListOverride(std::vector<std::string> names) {
  g_override = Override{std::move(names), {}};
}

void SetDeviceListUnavailable(std::string reason) {
  g_override = Override{std::nullopt, std::move(reason)};
}

void ClearDeviceListOverride() {
  g_override.reset();
}

}  // namespace devices
