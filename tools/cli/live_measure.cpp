// tonvista-cli measure --device: the running engine on a capture device, its
// notifications printed as measure's JSON lines, with the input's status.
// SIGINT and SIGTERM end it: the engine stops, the last lines are printed and
// the exit status is 0.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "audio/device_list.h"
#include "commands.h"
#include "measure_lines.h"
#include "pskengine.h"
#include "runtime/engine.h"

namespace tonvista::cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPoll = std::chrono::milliseconds(100);  // longest wait for news or a signal

std::atomic<bool> g_signalled{false};  // SIGINT or SIGTERM came (lock-free: safe in a handler)
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void on_stop_signal(int) {
  g_signalled.store(true);
}

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

// The engine's device number for a --device value: "default", a number of
// the list, or a name in it.  nullopt, with *error, when there is none.
std::optional<int32_t> device_number(const std::string& text, const psk::DeviceList& list,
                                     std::string* error) {
  if (text == "default") return -1;
  const std::vector<std::string> names = list.names();
  const bool digits =
      !text.empty() && text.size() <= 9 &&
      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (digits) {
    const int32_t n = std::stoi(text);
    if (n < static_cast<int32_t>(names.size())) return n;
  } else {
    const auto found = std::find(names.begin(), names.end(), text);
    if (found != names.end()) return static_cast<int32_t>(found - names.begin());
  }
  *error = "no device \"" + text + "\" (devices 0.." + std::to_string(names.size() - 1) +
           " and default; see tonvista-cli devices)";
  return std::nullopt;
}

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
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  std::string error;
  const std::optional<int32_t> number = device_number(device, psk::list_devices(), &error);
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
  while (!g_signalled.load() && inbox.now() < seconds) {
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
