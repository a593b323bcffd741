// libpskengine.so through its C interface (the start/stop cycles run under LeakSanitizer too).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "abi_window.h"
#include "audio/device_list.h"
#include "pskengine.h"

namespace {

using namespace std::chrono_literals;

using psk::test::Window;

// The device list through the C interface: the capture devices in the
// engine's order, then the built-in signal; names cut safely to any buffer.
TEST(Abi, DeviceListEndsWithTheBuiltInSignalAndCutsNamesToTheBuffer) {
  const int32_t count = pskengine_device_count();
  ASSERT_GE(count, 1) << "the audio system should initialise even without a sound card";
  const psk::DeviceList list = psk::list_devices();
  ASSERT_EQ(count, static_cast<int32_t>(list.capture.size()) + 1);
  char name[256];
  for (int32_t i = 0; i + 1 < count; ++i) {
    EXPECT_EQ(pskengine_device_name(i, name, sizeof name), list.capture[i].name.size());
    EXPECT_EQ(name, list.capture[i].name);
  }
  const std::string builtin = "Built-in test signal (BPSK31 at 1500 Hz)";
  const struct {
    int32_t index, size, result;
    const char* text;  // what the buffer holds after; nullptr: untouched
  } cases[] = {
      {count - 1, 256, static_cast<int32_t>(builtin.size()), builtin.c_str()},
      {count - 1, 9, static_cast<int32_t>(builtin.size()), "Built-in"},
      {count - 1, 1, static_cast<int32_t>(builtin.size()), ""},
      {count - 1, 0, -1, nullptr},
      {count - 1, -5, -1, nullptr},
      {-1, 256, -1, nullptr},
      {count, 256, -1, nullptr},
      {INT32_MIN, 256, -1, nullptr},
  };
  for (const auto& c : cases) {
    std::fill(std::begin(name), std::end(name), 'x');
    EXPECT_EQ(pskengine_device_name(c.index, name, c.size), c.result) << c.index << " " << c.size;
    if (c.text != nullptr) {
      EXPECT_STREQ(name, c.text);
    } else {
      EXPECT_EQ(name[0], 'x');
    }
  }
  EXPECT_EQ(pskengine_device_name(count - 1, nullptr, 256), -1);

  // A cut never splits a character: "オーディオ" is five 3-byte characters.
  const std::string japanese = "USB オーディオ";
  for (auto [limit, kept] : {std::pair<size_t, size_t>{4, 4}, {6, 4}, {7, 7}, {9, 7}, {99, 19}})
    EXPECT_EQ(psk::utf8_prefix_length(japanese, limit), kept) << limit;
}

TEST(Abi, BuiltInSignalShowsItsCarrierLevelRawSamplesAndImd) {
  Window window;
  fnSetRXFrequency(1500, 0, 0);
  fnSetRXPSKMode(PSK_MODE_BPSK31, 0);
  fnSetAFCLimit(500, 0);
  fnSetFFTMode(3, 100, 1);
  ASSERT_EQ(fnStartSoundCard(&window.sink, pskengine_device_count() - 1, 1), PSK_START_OK);
  const auto start = std::chrono::steady_clock::now();
  window.pump_until([&] { return !window.imd.empty(); }, 8s);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  fnStopSoundCard();
  ASSERT_FALSE(window.imd.empty());  // within 8 s
  EXPECT_NEAR(window.imd.front(), -26, 1);
  EXPECT_GE(window.displays, 8 * seconds - 2);  // about ten a second
  EXPECT_LE(window.displays, 10 * seconds + 2);
  const int peak = static_cast<int>(
      std::max_element(window.fft.begin() + 128, window.fft.begin() + 641) - window.fft.begin());
  EXPECT_NEAR(peak, 384, 6);  // 1500 Hz, idle tones 4 bins either side
  EXPECT_GT(window.fft[peak], 60);
  EXPECT_GT(window.level, 50);
  EXPECT_EQ(window.raw_count, 2047);
  EXPECT_GT(*std::max_element(window.raw.begin(), window.raw.begin() + 2047), 3000);
  EXPECT_EQ(fnGetRXFrequency(0), 1500);
  EXPECT_EQ(fnGetSignalLevel(0), 0);  // stopped: zeros
}

// Bad devices are refused with code 21.
TEST(Abi, ThousandStartStopCyclesOnTheBuiltInSignalAndBadDevicesRefused) {
  Window window;
  const int builtin = pskengine_device_count() - 1;
  for (int device : {-2, builtin + 1, 2147483647})
    EXPECT_EQ(fnStartSoundCard(&window.sink, device, 1), PSK_START_BAD_DEVICE) << device;
  for (int i = 0; i < 1000; ++i) {
    if (i % 100 == 0) window.pump();  // the queue holds only this run's messages
    ASSERT_EQ(fnStartSoundCard(&window.sink, builtin, 1), PSK_START_OK) << i;
    // Every hundredth run stops only once a notification is in flight.
    if (i % 100 == 0) {
      ASSERT_TRUE(window.wait_for_post(10s)) << i;
    }
    ASSERT_EQ(fnStopSoundCard(), 0);
  }
  EXPECT_EQ(fnStopSoundCard(), 0);  // twice
}

}  // namespace
