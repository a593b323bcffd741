// tonvista-cli measure --device: the running engine on a capture device, its
// notifications printed as measure's JSON lines, with the input's status.
// SIGINT and SIGTERM end it: the engine stops, the last lines are printed and
// the exit status is 0.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "commands.h"
#include "live_input.h"
#include "measure_lines.h"
#include "pskengine.h"
#include "runtime/engine.h"

namespace tonvista::cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPoll = std::chrono::milliseconds(100);  // longest wait for news or a signal

// The engine's notifications, posted from its thread, taken by the main one.
struct Inbox {
  struct Message {
    uint32_t msg;
    int32_t wparam;
    double t;  // seconds since the start
  };
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<Message> messages;
  Clock::time_point start = Clock::now();

  static void post(void* context, uint32_t msg, int32_t wparam, int32_t) {
    auto* self = static_cast<Inbox*>(context);
    if (msg == WM_ENGINE_DISPLAY) return;  // nothing to draw here
    {
      std::lock_guard lock(self->mutex);
      self->messages.push_back(
          {msg, wparam, std::chrono::duration<double>(Clock::now() - self->start).count()});
    }
    self->cv.notify_one();
  }
  // Waits up to kPoll for messages and takes them.
  std::vector<Message> take() {
    std::unique_lock lock(mutex);
    cv.wait_for(lock, kPoll, [this] { return !messages.empty(); });
    return std::exchange(messages, {});
  }
  double now() const { return std::chrono::duration<double>(Clock::now() - start).count(); }
};

const char* start_failure(int32_t code) {
  switch (code) {
    case PSK_START_BUSY:
      return "the device is busy";
    case PSK_START_BAD_DEVICE:
      return "no such device";
    default:
      return "the device could not be opened";
  }
}

}  // namespace

int run_live_measure(const std::string& device, const ReceiveSettings& settings, double seconds) {
  install_stop_signals();
  std::string error;
  const std::optional<int32_t> number = live_device_number(device, &error);
  if (!number) {
    std::fprintf(stderr, "tonvista-cli measure: %s\n", error.c_str());
    return 1;
  }
  psk::Engine engine;
  engine.set_mode(settings.mode_code);
  engine.set_rx_frequency(settings.rx_frequency_hz);
  engine.set_afc_limit(settings.afc_limit_hz);
  Inbox inbox;
  const PskMessageSink sink{&Inbox::post, &inbox};
  const int32_t code = engine.start_device(&sink, *number);
  if (code != PSK_START_OK) {
    std::fprintf(stderr, "tonvista-cli measure: device %s: %s (code %d)\n", device.c_str(),
                 start_failure(code), code);
    return 1;
  }
  MeasureLines lines(engine.rx_frequency());
  // --seconds counts from when the device is open: opening may take a while.
  const double listening_from = inbox.now();
  while (!stop_requested() && inbox.now() - listening_from < seconds) {
    for (const Inbox::Message& m : inbox.take()) lines.event(m.t, m.msg, m.wparam);
    const double t = inbox.now();
    lines.tick(t);
    lines.frequency(t, engine.rx_frequency());
    std::fflush(stdout);  // a reader on a pipe sees each line as it comes
  }
  engine.stop();  // nothing more is posted
  {
    std::lock_guard lock(inbox.mutex);
    for (const Inbox::Message& m : inbox.messages) lines.event(m.t, m.msg, m.wparam);
  }
  lines.finish(inbox.now());
  return 0;
}

}  // namespace tonvista::cli
