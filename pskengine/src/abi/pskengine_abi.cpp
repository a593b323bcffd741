// The C interface of libpskengine.so: one engine instance behind the fn*
// operations of pskengine.h.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "audio/device_list.h"
#include "pskengine.h"
#include "runtime/engine.h"

namespace {
psk::Engine& engine() {
  static psk::Engine instance;
  return instance;
}

// The device list as the last pskengine_device_count took it.
std::mutex g_devices_mutex;
std::optional<std::vector<std::string>> g_device_names;  // nullopt: audio system unreachable
bool g_devices_listed = false;                           // a count has run

int32_t list_device_names() {
  const psk::DeviceList list = psk::list_devices();
  std::lock_guard lock(g_devices_mutex);
  g_devices_listed = true;
  if (!list.ok) {
    g_device_names.reset();
    return -1;
  }
  g_device_names = list.names();
  return static_cast<int32_t>(g_device_names->size());
}

}  // namespace

extern "C" {

PSKENGINE_API int32_t fnStartSoundCard(PskWindowHandle window, int32_t device, int32_t /*flags*/) {
  return engine().start_device(window, device);
}

PSKENGINE_API int32_t fnStopSoundCard(void) {
  engine().stop();
  return 0;
}

PSKENGINE_API int32_t fnSetRXFrequency(int32_t hz, int32_t, int32_t) {
  return engine().set_rx_frequency(hz);
}

PSKENGINE_API int32_t fnGetRXFrequency(int32_t) {
  return engine().rx_frequency();
}

PSKENGINE_API int32_t fnSetRXPSKMode(int32_t mode, int32_t) {
  return engine().set_mode(mode);
}

PSKENGINE_API int32_t fnSetAFCLimit(int32_t limit_hz, int32_t) {
  return engine().set_afc_limit(limit_hz);
}

PSKENGINE_API int32_t fnSetSquelchThreshold(int32_t threshold, int32_t, int32_t) {
  return engine().set_squelch(threshold);
}

PSKENGINE_API int32_t fnSetFFTMode(int32_t smoothing, int32_t scale, int32_t bias) {
  return engine().set_fft_mode(smoothing, scale, bias);
}

PSKENGINE_API int32_t fnGetFFTData(int32_t* data, int32_t first, int32_t last) {
  return engine().fft_data(data, first, last);
}

PSKENGINE_API int32_t fnGetRawData(int32_t* data, int32_t, int32_t* count) {
  return engine().raw_data(data, count);
}

PSKENGINE_API int32_t fnGetVectorData(int32_t* data, int32_t) {
  return engine().vector_data(data);
}

PSKENGINE_API int32_t fnGetSignalLevel(int32_t) {
  return engine().signal_level();
}

PSKENGINE_API int32_t pskengine_device_count(void) {
  return list_device_names();
}

PSKENGINE_API int32_t pskengine_device_name(int32_t index, char* buffer, int32_t size) {
  if (buffer == nullptr || size < 1) return -1;
  bool listed;
  {
    std::lock_guard lock(g_devices_mutex);
    listed = g_devices_listed;
  }
  if (!listed) list_device_names();
  std::lock_guard lock(g_devices_mutex);
  if (!g_device_names || index < 0 || index >= static_cast<int32_t>(g_device_names->size()))
    return -1;
  const std::string& name = (*g_device_names)[static_cast<size_t>(index)];
  const size_t n = psk::utf8_prefix_length(name, static_cast<size_t>(size) - 1);
  std::memcpy(buffer, name.data(), n);
  buffer[n] = '\0';
  return static_cast<int32_t>(std::min<size_t>(name.size(), INT32_MAX));
}

PSKENGINE_API int32_t fnGetClosestPeak(int32_t hz, int32_t range_hz) {
  return engine().closest_peak(hz, range_hz);
}

// Receive-only engine: no sync data, no transmitter, no CW identifier, no
// transmit keying line.
PSKENGINE_API int32_t fnGetSyncData(int32_t*, int32_t) {
  return -1;
}
PSKENGINE_API int32_t fnStartTX(int32_t) {
  return -1;
}
PSKENGINE_API int32_t fnStopTX(int32_t) {
  return -1;
}
PSKENGINE_API int32_t fnAbortTX(int32_t) {
  return -1;
}
PSKENGINE_API int32_t fnSetTXFrequency(int32_t, int32_t) {
  return -1;
}
PSKENGINE_API int32_t fnSetCWIDString(const char*, int32_t) {
  return -1;
}
PSKENGINE_API int32_t fnSendTXCharacter(int32_t, int32_t) {
  return -1;
}
PSKENGINE_API int32_t fnSendTXString(const char*, int32_t) {
  return -1;
}
PSKENGINE_API int32_t fnGetTXCharsRemaining(int32_t) {
  return -1;
}
PSKENGINE_API int32_t fnClearTXBuffer(int32_t) {
  return -1;
}
PSKENGINE_API int32_t fnSetCWIDSpeed(int32_t, int32_t) {
  return -1;
}
PSKENGINE_API int32_t fnSetComPort(int32_t, int32_t) {
  return -1;
}

}  // extern "C"
