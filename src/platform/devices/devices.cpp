#include "platform/devices/devices.h"

namespace devices {
namespace {

std::optional<std::vector<std::string>> g_override;

}  // namespace

std::optional<std::vector<std::string>> SoundDeviceNames(std::string* error) {
  if (g_override) return g_override;
  if (error) *error = "The sound devices cannot be listed yet.";
  return std::nullopt;
}

void SetDeviceListOverride(std::vector<std::string> names) { g_override = std::move(names); }
void ClearDeviceListOverride() { g_override.reset(); }

}  // namespace devices
