// The device list: the engine's enumeration, the test signal last; scripted lists.
#include "platform/devices/devices.h"

#include <gtest/gtest.h>

#include "audio/device_list.h"

TEST(DeviceList, NumbersTheDevicesAsTheEngineDoesWithTheTestSignalLast) {
  devices::ClearDeviceListOverride();
  std::string error;
  const auto names = devices::SoundDeviceNames(&error);
  const psk::DeviceList engine = psk::list_devices();
  if (!engine.ok) {
    // No audio system here: the dialog learns why.
    EXPECT_FALSE(names.has_value());
    EXPECT_EQ(error, engine.error);
    return;
  }
  ASSERT_TRUE(names.has_value()) << error;
  ASSERT_EQ(names->size(), engine.capture.size() + 1);
  for (size_t i = 0; i < engine.capture.size(); ++i) {
    EXPECT_EQ((*names)[i], engine.capture[i].name) << i;
  }
  EXPECT_EQ(names->back(), "Built-in test signal (BPSK31 at 1500 Hz)");
  EXPECT_EQ(static_cast<int>(names->size()) - 1, engine.builtin_index());
}

TEST(DeviceList, AScriptedListReplacesTheRealOneUntilCleared) {
  devices::SetDeviceListOverride({"Mic", "", "USB オーディオ"});
  EXPECT_EQ(devices::SoundDeviceNames(nullptr),
            (std::vector<std::string>{"Mic", "", "USB オーディオ"}));
  devices::SetDeviceListOverride({});
  EXPECT_EQ(devices::SoundDeviceNames(nullptr), std::vector<std::string>{});

  std::string error;
  devices::SetDeviceListUnavailable("no sound server");
  EXPECT_FALSE(devices::SoundDeviceNames(&error).has_value());
  EXPECT_EQ(error, "no sound server");
  EXPECT_FALSE(devices::SoundDeviceNames(nullptr).has_value());

  devices::ClearDeviceListOverride();
  EXPECT_EQ(devices::SoundDeviceNames(&error).has_value(), psk::list_devices().ok);
}
