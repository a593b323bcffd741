// The C interface of libpskengine.so: one engine instance behind the fn*
// operations of pskengine.h.
#include "pskengine.h"
#include "runtime/engine.h"

namespace {
psk::Engine& engine() {
  static psk::Engine instance;
  return instance;
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
