// Every operation of the C interface with every combination of INT32_MIN, INT32_MAX, -1 and 0
// in its integer arguments, stopped and running: results stay in their documented ranges and
// arrays are written only where stated (the sanitized build makes any overflow a failure).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "audio/device_list.h"
#include "pskengine.h"

namespace {

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

}  // namespace

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
