// The measurements through libpskengine.so's C interface, as the program
// receives them: on the built-in test signal (IMD -26 dB, +30 ppm, paced in
// real time) WM_ENGINE_IMD readings within +-1 dB come within seconds and a
// WM_ENGINE_CLOCKERR reading within +-3 ppm within about 20 s.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "devices/device_list.h"
#include "pskengine.h"

namespace {

using namespace std::chrono_literals;

// The program's side: what the engine posts, collected under a lock.
struct Window {
  std::mutex mutex;
  std::vector<int32_t> imd, clock;  // readings in the order posted
  int displays = 0;                 // display notifications posted
  PskMessageSink sink{&Window::post, this};
  static void post(void* context, uint32_t msg, int32_t wparam, int32_t) {
    auto* self = static_cast<Window*>(context);
    std::lock_guard lock(self->mutex);
    if (msg == WM_ENGINE_IMD) self->imd.push_back(wparam);
    if (msg == WM_ENGINE_CLOCKERR) self->clock.push_back(wparam);
    if (msg == WM_ENGINE_DISPLAY) ++self->displays;
  }
};

TEST(AbiMeasure, BuiltInSignalPostsItsImdAndClockError) {
  Window window;
  fnSetRXPSKMode(PSK_MODE_BPSK31, 0);
  fnSetRXFrequency(1500, 0, 0);
  fnSetAFCLimit(500, 0);
  ASSERT_EQ(fnStartSoundCard(&window.sink, psk::list_devices().builtin_index(), 1), PSK_START_OK);
  const auto start = std::chrono::steady_clock::now();
  std::chrono::duration<double> first_imd{0}, first_clock{0};
  while (std::chrono::steady_clock::now() - start < 40s) {
    std::this_thread::sleep_for(100ms);
    int32_t level = fnGetSignalLevel(0);  // handles the display notification, as the program does
    (void)level;
    std::lock_guard lock(window.mutex);
    const auto now = std::chrono::steady_clock::now() - start;
    if (first_imd.count() == 0 && !window.imd.empty()) first_imd = now;
    if (first_clock.count() == 0 && !window.clock.empty()) first_clock = now;
    if (window.imd.size() >= 3 && !window.clock.empty()) break;
  }
  fnStopSoundCard();
  std::lock_guard lock(window.mutex);
  ASSERT_GE(window.imd.size(), 3u);
  ASSERT_FALSE(window.clock.empty());
  EXPECT_LT(first_imd.count(), 8.0);
  EXPECT_LT(first_clock.count(), 30.0);
  for (int32_t db : window.imd) EXPECT_NEAR(db, -26, 1);
  for (int32_t ppm : window.clock) EXPECT_NEAR(ppm, 30, 3);
  EXPECT_GT(window.displays, 20);
}

}  // namespace
