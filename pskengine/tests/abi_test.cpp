// libpskengine.so through its C interface (the start/stop cycles run under LeakSanitizer too),
// and every operation with every combination of INT32_MIN, INT32_MAX, -1 and 0 in its integer
// arguments, stopped and running: results stay in their documented ranges and arrays are written
// only where stated (the sanitized build makes any overflow a failure).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <functional>
#include <string>
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

constexpr std::array<int32_t, 4> kExtremes = {INT32_MIN, INT32_MAX, -1, 0};
constexpr int32_t kUntouched = -7;  // array contents the engine must not write
using Args = std::array<int32_t, 3>;

bool In(int32_t v, int32_t low, int32_t high) {
  return v >= low && v <= high;
}
// A setting is taken (0) when in range and refused (-1) when not.
int32_t Setting(bool in_range) {
  return in_range ? 0 : -1;
}

// Each operation (or group) with the integer arguments it takes from Args.
std::vector<std::pair<int, std::function<void(const Args&)>>> Operations(
    PskWindowHandle window, bool running, const std::function<void()>& restore) {
  return {
      {2,
       [=](const Args& a) {
         const int32_t code = fnStartSoundCard(window, a[0], a[1]);
         EXPECT_TRUE(code == PSK_START_OK || code == PSK_START_NOT_OPEN || code == PSK_START_BUSY ||
                     code == PSK_START_BAD_DEVICE)
             << code;
         restore();
       }},
      {3,
       [](const Args& a) {
         EXPECT_EQ(fnSetRXFrequency(a[0], a[1], a[2]), 0);
         EXPECT_TRUE(In(fnGetRXFrequency(a[0]), 100, 3000));
         EXPECT_EQ(fnSetRXPSKMode(a[0], a[1]), Setting(a[0] == PSK_MODE_BPSK31));
         EXPECT_EQ(fnSetAFCLimit(a[0], a[1]), Setting(In(a[0], 0, 3000)));
         EXPECT_EQ(fnSetSquelchThreshold(a[0], a[1], a[2]), Setting(In(a[0], 0, 99)));
         EXPECT_EQ(fnSetFFTMode(a[0], a[1], a[2]), Setting(In(a[0], 1, 10) && In(a[2], 1, 90)));
         EXPECT_TRUE(In(fnGetSignalLevel(a[0]), 0, 100));
         fnSetAFCLimit(0, 0);
       }},
      {2,
       [](const Args& a) {
         std::vector<int32_t> levels(1024, kUntouched);
         EXPECT_EQ(fnGetFFTData(levels.data(), a[0], a[1]), 0);
         for (int32_t k = 0; k < 1024; ++k)
           EXPECT_EQ(In(levels[k], 0, 100), k >= a[0] && k <= a[1]) << k << ": " << levels[k];
         EXPECT_EQ(fnGetFFTData(nullptr, a[0], a[1]), -1);
         std::vector<int32_t> raw(2047, kUntouched);  // the most ever written
         int32_t count = a[1];
         EXPECT_EQ(fnGetRawData(raw.data(), a[0], &count), 0);
         EXPECT_EQ(count, std::clamp(a[1], 0, 2047));
         std::vector<int32_t> vectors(16, kUntouched);
         EXPECT_EQ(fnGetVectorData(vectors.data(), a[0]), 0);
         EXPECT_EQ(std::count(vectors.begin(), vectors.end(), kUntouched), 0);
       }},
      {2,
       [=](const Args& a) {
         const int32_t peak = fnGetClosestPeak(a[0], a[1]);
         // Stopped or a negative range: none.  Running: none yet, or within the range (to
         // the nearest bin) and the spectrum.
         if (!running || a[1] < 0) {
           EXPECT_EQ(peak, -1);
         }
         if (peak == -1) return;
         EXPECT_TRUE(In(peak, 0, 4000)) << peak;
         EXPECT_GE(int64_t{peak}, int64_t{a[0]} - a[1] - 4) << peak;
         EXPECT_LE(int64_t{peak}, int64_t{a[0]} + a[1] + 4) << peak;
       }},
      // The receive-only engine refuses sync data and every transmit operation.
      {2,
       [](const Args& a) {
         int32_t data[16];
         for (int32_t result :
              {fnGetSyncData(data, a[0]), fnStartTX(a[0]), fnStopTX(a[0]), fnAbortTX(a[0]),
               fnSetTXFrequency(a[0], a[1]), fnSetCWIDString("DE", a[0]),
               fnSendTXCharacter(a[0], a[1]), fnSendTXString("CQ", a[0]),
               fnGetTXCharsRemaining(a[0]), fnClearTXBuffer(a[0]), fnSetCWIDSpeed(a[0], a[1]),
               fnSetComPort(a[0], a[1])})
           EXPECT_EQ(result, -1);
       }},
  };
}

void NoPost(void*, uint32_t, int32_t, int32_t) {}

TEST(AbiExtremes, EveryIntegerArgumentTakesTheExtremesStoppedAndRunning) {
  PskMessageSink sink{&NoPost, nullptr};
  const int32_t builtin = psk::list_devices().builtin_index();
  for (const bool running : {false, true}) {
    const std::function<void()> restore = [&] {
      fnStopSoundCard();
      if (running) {
        EXPECT_EQ(fnStartSoundCard(&sink, builtin, 1), PSK_START_OK);
      }
    };
    restore();
    const auto operations = Operations(&sink, running, restore);
    for (size_t op = 0; op < operations.size(); ++op) {
      const auto& [arity, check] = operations[op];
      for (int c = 0; c < (arity == 3 ? 64 : 16); ++c) {
        const Args a{kExtremes[c % 4], kExtremes[c / 4 % 4], kExtremes[c / 16 % 4]};
        SCOPED_TRACE("operation " + std::to_string(op) + " (" + std::to_string(a[0]) + ", " +
                     std::to_string(a[1]) + ", " + std::to_string(a[2]) +
                     (running ? ") running" : ") stopped"));
        check(a);
      }
    }
  }
  fnStopSoundCard();
}

}  // namespace
