// libpskengine.so through its C interface, as the program uses it: start
// codes, the built-in test signal end to end, the never-called operations,
// and 1000 start/stop cycles (run under LeakSanitizer in the sanitizer build).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "devices/device_list.h"
#include "pskengine.h"

namespace {

using namespace std::chrono_literals;

// The program's side: messages are queued by post() on the engine's thread
// and handled on this (the "GUI") thread.
struct Window {
  std::mutex mutex;
  std::deque<std::pair<uint32_t, int32_t>> queue;
  PskMessageSink sink{&Window::post, this};
  static void post(void* context, uint32_t msg, int32_t wparam, int32_t) {
    auto* self = static_cast<Window*>(context);
    std::lock_guard lock(self->mutex);
    self->queue.emplace_back(msg, wparam);
  }
  // Handles what has arrived: display notifications fetch everything the
  // displays draw.  Returns the number of display notifications.
  int pump(std::vector<int32_t>* fft, std::vector<int32_t>* raw, int32_t* raw_count,
           int32_t* level) {
    std::deque<std::pair<uint32_t, int32_t>> taken;
    {
      std::lock_guard lock(mutex);
      taken.swap(queue);
    }
    int displays = 0;
    for (auto& [msg, wparam] : taken) {
      if (msg != WM_ENGINE_DISPLAY) continue;
      ++displays;
      int32_t vectors[16];
      fnGetVectorData(vectors, 0);
      *level = fnGetSignalLevel(0);
      fnGetFFTData(fft->data(), 128, 640);
      *raw_count = 2047;
      fnGetRawData(raw->data(), 0, raw_count);
    }
    return displays;
  }
};

TEST(Abi, BadDevicesAreReportedWithCode21) {
  Window window;
  const int builtin = psk::list_devices().builtin_index();
  EXPECT_EQ(fnStartSoundCard(&window.sink, -2, 1), PSK_START_BAD_DEVICE);
  EXPECT_EQ(fnStartSoundCard(&window.sink, builtin + 1, 1), PSK_START_BAD_DEVICE);
  EXPECT_EQ(fnStartSoundCard(&window.sink, 2147483647, 1), PSK_START_BAD_DEVICE);
  EXPECT_EQ(fnStopSoundCard(), 0);
}

TEST(Abi, BuiltInSignalShowsItsCarrierLevelAndRawSamples) {
  Window window;
  fnSetRXFrequency(1500, 0, 0);
  fnSetRXPSKMode(PSK_MODE_BPSK31, 0);
  fnSetFFTMode(3, 100, 1);
  ASSERT_EQ(fnStartSoundCard(&window.sink, psk::list_devices().builtin_index(), 1), PSK_START_OK);
  std::vector<int32_t> fft(1024, 0), raw(2049, 0);
  int32_t raw_count = 0, level = 0;
  int displays = 0;
  const auto end = std::chrono::steady_clock::now() + 1200ms;
  while (std::chrono::steady_clock::now() < end) {
    displays += window.pump(&fft, &raw, &raw_count, &level);
    std::this_thread::sleep_for(20ms);
  }
  fnStopSoundCard();
  EXPECT_GE(displays, 8);  // about ten a second
  EXPECT_LE(displays, 13);
  const int peak =
      static_cast<int>(std::max_element(fft.begin() + 128, fft.begin() + 641) - fft.begin());
  EXPECT_NEAR(peak, 384, 6);  // 1500 Hz, idle tones 4 bins either side
  EXPECT_GT(fft[peak], 60);
  EXPECT_GT(level, 50);
  EXPECT_EQ(raw_count, 2047);
  EXPECT_GT(*std::max_element(raw.begin(), raw.begin() + 2047), 3000);
  EXPECT_EQ(fnGetRXFrequency(0), 1500);
  EXPECT_EQ(fnGetSignalLevel(0), 0);  // stopped: zeros
}

TEST(Abi, SettingsAreValidatedAndKept) {
  EXPECT_EQ(fnSetRXFrequency(20, 0, 0), 0);
  EXPECT_EQ(fnGetRXFrequency(0), 100);
  EXPECT_EQ(fnSetRXFrequency(3500, 0, 0), 0);
  EXPECT_EQ(fnGetRXFrequency(0), 3000);
  EXPECT_EQ(fnSetRXPSKMode(4, 0), -1);
  EXPECT_EQ(fnSetRXPSKMode(PSK_MODE_QPSK63, 0), 0);
  EXPECT_EQ(fnSetAFCLimit(-5, 0), -1);
  EXPECT_EQ(fnSetAFCLimit(500, 0), 0);
  EXPECT_EQ(fnSetSquelchThreshold(100, 0, 0), -1);
  EXPECT_EQ(fnSetSquelchThreshold(30, 0, 0), 0);
  EXPECT_EQ(fnSetFFTMode(11, 100, 1), -1);
  EXPECT_EQ(fnSetFFTMode(3, 100, 1), 0);
  fnSetRXPSKMode(PSK_MODE_BPSK31, 0);
  fnSetRXFrequency(1500, 0, 0);
}

TEST(Abi, TransmitOperationsAreRefused) {
  EXPECT_EQ(fnStartTX(0), -1);
  EXPECT_EQ(fnStopTX(0), -1);
  EXPECT_EQ(fnAbortTX(0), -1);
  EXPECT_EQ(fnSetTXFrequency(1500, 0), -1);
  EXPECT_EQ(fnSetCWIDString("DE TEST", 0), -1);
  EXPECT_EQ(fnSendTXCharacter('A', 0), -1);
  EXPECT_EQ(fnSendTXString("hello", 0), -1);
  EXPECT_EQ(fnGetTXCharsRemaining(0), -1);
  EXPECT_EQ(fnClearTXBuffer(0), -1);
  EXPECT_EQ(fnSetCWIDSpeed(20, 0), -1);
  EXPECT_EQ(fnSetComPort(1, 0), -1);
  int32_t sync[16];
  EXPECT_EQ(fnGetSyncData(sync, 0), -1);
  EXPECT_EQ(fnGetClosestPeak(1500, 50), -1);  // not running
}

TEST(Abi, ThousandStartStopCyclesOnTheBuiltInSignal) {
  Window window;
  const int builtin = psk::list_devices().builtin_index();
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(fnStartSoundCard(&window.sink, builtin, 1), PSK_START_OK) << i;
    // Every hundredth run lasts long enough for notifications to be in flight.
    if (i % 100 == 0) std::this_thread::sleep_for(120ms);
    ASSERT_EQ(fnStopSoundCard(), 0);
  }
  EXPECT_EQ(fnStopSoundCard(), 0);  // twice
}

}  // namespace
