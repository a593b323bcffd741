// Every operation of the C interface with every combination of INT32_MIN, INT32_MAX, -1 and 0
// in its integer arguments, stopped and running: results stay in their documented ranges and
// arrays are written only where stated (run under UndefinedBehaviorSanitizer and
// AddressSanitizer in the sanitized build, which makes any overflow a failure).
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

struct Operation {
  const char* name;
  int arity;                               // integer arguments used from Args
  std::function<void(const Args&)> check;  // calls the operation and checks what it did
};

bool InRange(int32_t v, int32_t low, int32_t high) {
  return v >= low && v <= high;
}
// A setting taken (0) when in range, refused (-1) when not.
int32_t Setting(bool in_range) {
  return in_range ? 0 : -1;
}

void CheckStartCode(int32_t code) {
  EXPECT_TRUE(code == PSK_START_OK || code == PSK_START_NOT_OPEN || code == PSK_START_BUSY ||
              code == PSK_START_BAD_DEVICE)
      << code;
}

// `enter_state` stops the engine and, for the running pass, starts it again.
std::vector<Operation> Operations(PskWindowHandle window, bool running,
                                  const std::function<void()>& enter_state) {
  return {
      {"fnStartSoundCard", 2,
       [=](const Args& a) {
         CheckStartCode(fnStartSoundCard(window, a[0], a[1]));
         enter_state();
       }},
      {"fnSetRXFrequency", 3,
       [](const Args& a) {
         EXPECT_EQ(fnSetRXFrequency(a[0], a[1], a[2]), 0);
         EXPECT_TRUE(InRange(fnGetRXFrequency(0), 100, 3000));
       }},
      {"fnGetRXFrequency", 1,
       [](const Args& a) { EXPECT_TRUE(InRange(fnGetRXFrequency(a[0]), 100, 3000)); }},
      {"fnSetRXPSKMode", 2,
       [](const Args& a) { EXPECT_EQ(fnSetRXPSKMode(a[0], a[1]), Setting(a[0] == 0)); }},
      {"fnSetAFCLimit", 2,
       [](const Args& a) {
         EXPECT_EQ(fnSetAFCLimit(a[0], a[1]), Setting(InRange(a[0], 0, 3000)));
         fnSetAFCLimit(0, 0);
       }},
      {"fnSetSquelchThreshold", 3,
       [](const Args& a) {
         EXPECT_EQ(fnSetSquelchThreshold(a[0], a[1], a[2]), Setting(InRange(a[0], 0, 99)));
       }},
      {"fnSetFFTMode", 3,
       [](const Args& a) {
         EXPECT_EQ(fnSetFFTMode(a[0], a[1], a[2]),
                   Setting(InRange(a[0], 1, 10) && InRange(a[2], 1, 90)));
       }},
      {"fnGetFFTData", 2,
       [](const Args& a) {
         std::vector<int32_t> data(1024, kUntouched);
         EXPECT_EQ(fnGetFFTData(data.data(), a[0], a[1]), 0);
         for (int32_t k = 0; k < 1024; ++k) {
           if (k >= a[0] && k <= a[1])
             EXPECT_TRUE(InRange(data[k], 0, 100)) << k;
           else
             EXPECT_EQ(data[k], kUntouched) << k;
         }
         EXPECT_EQ(fnGetFFTData(nullptr, a[0], a[1]), -1);
       }},
      {"fnGetRawData", 2,
       [](const Args& a) {
         std::vector<int32_t> data(2047, kUntouched);  // the most ever written
         int32_t count = a[1];
         EXPECT_EQ(fnGetRawData(data.data(), a[0], &count), 0);
         EXPECT_EQ(count, std::clamp(a[1], 0, 2047));
         EXPECT_EQ(fnGetRawData(nullptr, a[0], &count), -1);
       }},
      {"fnGetVectorData", 1,
       [](const Args& a) {
         std::vector<int32_t> data(16, kUntouched);
         EXPECT_EQ(fnGetVectorData(data.data(), a[0]), 0);
         EXPECT_EQ(std::count(data.begin(), data.end(), kUntouched), 0);
       }},
      {"fnGetSignalLevel", 1,
       [](const Args& a) { EXPECT_TRUE(InRange(fnGetSignalLevel(a[0]), 0, 100)); }},
      {"fnGetClosestPeak", 2,
       [=](const Args& a) {
         const int32_t peak = fnGetClosestPeak(a[0], a[1]);
         if (!running || a[1] < 0) {
           EXPECT_EQ(peak, -1);
           return;
         }
         if (peak == -1) return;  // no power within the range yet
         // Within the range (to the nearest bin) and within the spectrum.
         EXPECT_TRUE(InRange(peak, 0, 4000)) << peak;
         EXPECT_GE(int64_t{peak}, int64_t{a[0]} - a[1] - 4) << peak;
         EXPECT_LE(int64_t{peak}, int64_t{a[0]} + a[1] + 4) << peak;
       }},
      // The receive-only engine refuses sync data and every transmit operation.
      {"transmit", 2,
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
    const std::function<void()> enter_state = [&] {
      fnStopSoundCard();
      if (running) {
        EXPECT_EQ(fnStartSoundCard(&sink, builtin, 1), PSK_START_OK);
      }
    };
    enter_state();
    for (const Operation& op : Operations(&sink, running, enter_state)) {
      int combinations = 1;
      for (int i = 0; i < op.arity; ++i) combinations *= static_cast<int>(kExtremes.size());
      for (int c = 0; c < combinations; ++c) {
        Args args{};
        for (int i = 0, rest = c; i < op.arity; ++i, rest /= static_cast<int>(kExtremes.size()))
          args[i] = kExtremes[rest % kExtremes.size()];
        SCOPED_TRACE(std::string(op.name) + "(" + std::to_string(args[0]) + ", " +
                     std::to_string(args[1]) + ", " + std::to_string(args[2]) +
                     (running ? ") running" : ") stopped"));
        op.check(args);
      }
    }
  }
  fnStopSoundCard();
}
