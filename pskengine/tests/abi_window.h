// The program's side of the C interface for tests: post() queues on the
// engine's thread; pump() handles the messages on the test's thread, fetching
// display data as the displays do.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "pskengine.h"

namespace psk::test {

struct Window {
  std::mutex mutex;
  std::condition_variable posted;  // signalled on every post
  std::vector<std::pair<uint32_t, int32_t>> queue;
  PskMessageSink sink{&Window::post, this};
  int displays = 0;
  std::vector<int32_t> status, imd, fft = std::vector<int32_t>(1024),
                                    raw = std::vector<int32_t>(2049);
  int32_t raw_count = 0, level = 0;
  std::string text;  // received bytes

  static void post(void* context, uint32_t msg, int32_t wparam, int32_t) {
    auto* self = static_cast<Window*>(context);
    {
      std::lock_guard lock(self->mutex);
      self->queue.emplace_back(msg, wparam);
    }
    self->posted.notify_all();
  }
  // Waits until a message is queued, or the limit passes; true if one is.
  bool wait_for_post(std::chrono::steady_clock::duration limit) {
    std::unique_lock lock(mutex);
    return posted.wait_for(lock, limit, [this] { return !queue.empty(); });
  }
  void pump() {
    std::vector<std::pair<uint32_t, int32_t>> taken;
    {
      std::lock_guard lock(mutex);
      taken.swap(queue);
    }
    for (auto [msg, wparam] : taken) {
      if (msg == WM_ENGINE_STATUS) status.push_back(wparam);
      if (msg == WM_ENGINE_IMD) imd.push_back(wparam);
      if (msg == WM_ENGINE_RXCHAR) text += static_cast<char>(wparam);
      if (msg != WM_ENGINE_DISPLAY) continue;
      ++displays;
      int32_t vectors[16];
      fnGetVectorData(vectors, 0);
      level = fnGetSignalLevel(0);
      fnGetFFTData(fft.data(), 128, 640);
      raw_count = 2047;
      fnGetRawData(raw.data(), 0, &raw_count);
    }
  }
  // Handles messages as they are posted until done() or the limit passes; done().
  bool pump_until(const std::function<bool()>& done, std::chrono::steady_clock::duration limit) {
    for (auto end = std::chrono::steady_clock::now() + limit;
         !done() && std::chrono::steady_clock::now() < end;) {
      wait_for_post(std::chrono::milliseconds(20));
      pump();
    }
    return done();
  }
};

}  // namespace psk::test
