#include "live_input.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <vector>

#include "audio/device_list.h"

namespace tonvista::cli {
namespace {

std::atomic<bool> g_signalled{false};  // SIGINT or SIGTERM came (lock-free: safe in a handler)
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void on_stop_signal(int) {
  g_signalled.store(true);
}

}  // namespace

void install_stop_signals() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool stop_requested() {
  return g_signalled.load();
}

std::optional<int32_t> live_device_number(const std::string& text, std::string* error) {
  if (text == "default") return -1;
  const std::vector<std::string> names = psk::list_devices().names();
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

}  // namespace tonvista::cli
