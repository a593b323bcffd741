#include "platform/devices/devices.h"

namespace devices {
namespace {

// A list set by the replay tool or a test: names, or the reason none can be had.
struct Override {
  std::optional<std::vector<std::string>> names;
  std::string error;
};
std::optional<Override> g_override;

}  // namespace

std::optional<std::vector<std::string>> SoundDeviceNames(const EngineDeviceList& engine,
                                                         std::string* error) {
  if (g_override) {
    if (!g_override->names && error) *error = g_override->error;
    return g_override->names;
  }
  const auto fail = [&](std::string reason) {
    if (error) *error = std::move(reason);
    return std::nullopt;
  };
  const int32_t count = engine.count();
  if (count < 0) return fail("the audio system is unavailable");
  std::vector<std::string> names;
  std::vector<char> buffer(256);
  for (int32_t i = 0; i < count; ++i) {
    int32_t length = engine.name(i, buffer.data(), static_cast<int32_t>(buffer.size()));
    if (length >= static_cast<int32_t>(buffer.size())) {
      // Cut to the buffer: ask again with room for the whole name.
      buffer.resize(static_cast<size_t>(length) + 1);
      length = engine.name(i, buffer.data(), static_cast<int32_t>(buffer.size()));
    }
    if (length < 0 || length >= static_cast<int32_t>(buffer.size())) {
      return fail("the engine gave no name for device " + std::to_string(i));
    }
    names.emplace_back(buffer.data(), static_cast<size_t>(length));
  }
  return names;
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
