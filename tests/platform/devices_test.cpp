// The device list read through the engine's C interface (the replay tool's
// scripted lists: the sound-board dialog's tests).
#include "platform/devices/devices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

// An engine's device list as the C interface gives it: a count, and names
// cut to the caller's buffer with the full length returned.
std::vector<std::string> g_names;
int32_t g_count = 0;

int32_t Count() {
  return g_count;
}
int32_t Name(int32_t index, char* buffer, int32_t size) {
  if (index < 0 || index >= static_cast<int32_t>(g_names.size()) || size < 1) return -1;
  const std::string& name = g_names[static_cast<size_t>(index)];
  const size_t n = std::min(name.size(), static_cast<size_t>(size) - 1);
  std::memcpy(buffer, name.data(), n);
  buffer[n] = '\0';
  return static_cast<int32_t>(name.size());
}
const devices::EngineDeviceList kEngine{&Count, &Name};

TEST(DeviceList, ReadsEveryNameWholeOrSaysWhyNot) {
  devices::ClearDeviceListOverride();
  const std::string long_name(700, 'L');  // longer than the first buffer
  const struct {
    int32_t count;
    std::vector<std::string> names;
    std::optional<std::vector<std::string>> listed;
    const char* error;
  } cases[] = {
      {1, {"Built-in"}, std::vector<std::string>{"Built-in"}, ""},
      {3, {"Mic", "", long_name}, std::vector<std::string>{"Mic", "", long_name}, ""},
      {2,
       {"USB オーディオ", "Built-in"},
       std::vector<std::string>{"USB オーディオ", "Built-in"},
       ""},
      {0, {}, std::vector<std::string>{}, ""},
      {-1, {}, std::nullopt, "the audio system is unavailable"},
      {2, {"Mic"}, std::nullopt, "the engine gave no name for device 1"},
  };
  for (const auto& c : cases) {
    g_count = c.count;
    g_names = c.names;
    std::string error;
    EXPECT_EQ(devices::SoundDeviceNames(kEngine, &error), c.listed) << c.count;
    EXPECT_EQ(error, c.error) << c.count;
  }
}

}  // namespace
