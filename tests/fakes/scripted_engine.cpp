// The scripted engine: the operations of the PSK engine that the program
// uses, answering what the test set and recording each call.  Called from the GUI thread only.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "scripted_engine_control.h"

namespace {

struct Argument {
  bool is_array;
  int64_t value;
};

struct Call {
  std::string name;
  std::vector<Argument> args;
  bool has_result = false;
  int32_t result = 0;
};

struct State {
  int32_t start_code = 0;
  int32_t frequency = 1500;
  bool frequency_pinned = false;
  int32_t level = 0;
  std::array<int32_t, 1024> fft{};
  std::array<int32_t, 16> vectors{};
  std::array<int32_t, 2049> raw{};
  int32_t raw_count = 2047;
  std::vector<Call> calls;
  int32_t device_count = 1;  // -1: no audio system
  std::vector<std::string> devices{"Built-in test signal (BPSK31 at 1500 Hz)"};
};

State& state() {
  static State s;
  return s;
}

Argument Value(int64_t v) {
  return {false, v};
}
Argument Array() {
  return {true, 0};
}

// Records a call whose result the program does not use; returns 0.
int32_t Record(const char* name, std::vector<Argument> args) {
  state().calls.push_back(Call{name, std::move(args), false, 0});
  return 0;
}

int32_t RecordResult(const char* name, std::vector<Argument> args, int32_t result) {
  state().calls.push_back(Call{name, std::move(args), true, result});
  return result;
}

const Call* CallAt(int32_t i) {
  const auto& calls = state().calls;
  return i >= 0 && i < static_cast<int32_t>(calls.size()) ? &calls[i] : nullptr;
}

}  // namespace

extern "C" {

// ---- Controls ---------------------------------------------------------------

void scripted_reset(void) {
  state() = State{};
}
void scripted_set_start_code(int32_t code) {
  state().start_code = code;
}
void scripted_set_frequency(int32_t hz) {
  state().frequency = hz;
  state().frequency_pinned = true;
}
void scripted_follow_frequency(void) {
  state().frequency_pinned = false;
}
void scripted_set_level(int32_t level) {
  state().level = level;
}
void scripted_set_fft_all(int32_t level) {
  state().fft.fill(level);
}
void scripted_set_fft_bin(int32_t bin, int32_t level) {
  if (bin >= 0 && bin < 1024) state().fft[bin] = level;
}
void scripted_set_vectors(const int32_t* xy16) {
  std::copy(xy16, xy16 + 16, state().vectors.begin());
}
void scripted_set_raw_count(int32_t count) {
  state().raw_count = count;
}
void scripted_set_raw(int32_t index, int32_t value) {
  if (index >= 0 && index < 2049) state().raw[index] = value;
}
void scripted_set_devices(int32_t count, const char* const* names) {
  state().device_count = count;
  state().devices.assign(names, names + std::max(count, 0));
}

int32_t scripted_call_count(void) {
  return static_cast<int32_t>(state().calls.size());
}
const char* scripted_call_name(int32_t i) {
  return CallAt(i) ? CallAt(i)->name.c_str() : "";
}
int32_t scripted_call_argc(int32_t i) {
  return CallAt(i) ? static_cast<int32_t>(CallAt(i)->args.size()) : 0;
}
int32_t scripted_call_arg_is_array(int32_t i, int32_t a) {
  const Call* c = CallAt(i);
  return c && a >= 0 && a < static_cast<int32_t>(c->args.size()) && c->args[a].is_array;
}
int64_t scripted_call_arg(int32_t i, int32_t a) {
  const Call* c = CallAt(i);
  return c && a >= 0 && a < static_cast<int32_t>(c->args.size()) ? c->args[a].value : 0;
}
int32_t scripted_call_has_result(int32_t i) {
  return CallAt(i) && CallAt(i)->has_result;
}
int32_t scripted_call_result(int32_t i) {
  return CallAt(i) ? CallAt(i)->result : 0;
}
void scripted_clear_calls(void) {
  state().calls.clear();
}

// ---- The engine's operations ----------------------------------------------

int32_t fnStartSoundCard(PskWindowHandle, int32_t device, int32_t flags) {
  return RecordResult("fnStartSoundCard", {Array(), Value(device), Value(flags)},
                      state().start_code);
}
int32_t fnStopSoundCard(void) {
  return Record("fnStopSoundCard", {});
}
int32_t fnSetRXFrequency(int32_t hz, int32_t a, int32_t b) {
  if (!state().frequency_pinned) state().frequency = hz;
  return Record("fnSetRXFrequency", {Value(hz), Value(a), Value(b)});
}
int32_t fnGetRXFrequency(int32_t a) {
  return RecordResult("fnGetRXFrequency", {Value(a)}, state().frequency);
}
int32_t fnSetRXPSKMode(int32_t mode, int32_t a) {
  return Record("fnSetRXPSKMode", {Value(mode), Value(a)});
}
int32_t fnSetAFCLimit(int32_t limit, int32_t a) {
  return Record("fnSetAFCLimit", {Value(limit), Value(a)});
}
int32_t fnSetSquelchThreshold(int32_t t, int32_t a, int32_t b) {
  return Record("fnSetSquelchThreshold", {Value(t), Value(a), Value(b)});
}
// The incomplete variants of this library each lack one export (see CMakeLists.txt).
#ifndef SCRIPTED_ENGINE_INCOMPLETE
int32_t fnSetFFTMode(int32_t smoothing, int32_t scale, int32_t bias) {
  return Record("fnSetFFTMode", {Value(smoothing), Value(scale), Value(bias)});
}
#endif
#ifndef SCRIPTED_ENGINE_WITHOUT_fnGetFFTData
int32_t fnGetFFTData(int32_t* data, int32_t first, int32_t last) {
  Record("fnGetFFTData", {Array(), Value(first), Value(last)});
  for (int32_t k = std::max(first, 0); k <= std::min(last, 1023); ++k) data[k] = state().fft[k];
  return 0;
}
#endif
#ifndef SCRIPTED_ENGINE_WITHOUT_fnGetRawData
int32_t fnGetRawData(int32_t* data, int32_t a, int32_t* count) {
  Record("fnGetRawData", {Array(), Value(a), Array()});
  const int32_t wanted = std::min(*count, 2049);
  const int32_t n = std::clamp(state().raw_count, 0, std::max(wanted, 0));
  std::copy(state().raw.begin(), state().raw.begin() + n, data);
  *count = state().raw_count;
  return 0;
}
#endif
#ifndef SCRIPTED_ENGINE_WITHOUT_fnGetVectorData
int32_t fnGetVectorData(int32_t* data, int32_t a) {
  Record("fnGetVectorData", {Array(), Value(a)});
  std::copy(state().vectors.begin(), state().vectors.end(), data);
  return 0;
}
#endif
#ifndef SCRIPTED_ENGINE_WITHOUT_fnGetSignalLevel
int32_t fnGetSignalLevel(int32_t a) {
  return RecordResult("fnGetSignalLevel", {Value(a)}, state().level);
}
#endif

int32_t pskengine_device_count(void) {
  return RecordResult("pskengine_device_count", {}, state().device_count);
}
// As the real engine: cut at the buffer (bytes; the names a test sets are
// cut where it chooses), the full length returned, -1 for a bad call.
int32_t pskengine_device_name(int32_t index, char* buffer, int32_t size) {
  const auto& devices = state().devices;
  int32_t result = -1;
  if (buffer != nullptr && size >= 1 && index >= 0 &&
      index < static_cast<int32_t>(devices.size())) {
    const std::string& name = devices[static_cast<size_t>(index)];
    const size_t n = std::min(name.size(), static_cast<size_t>(size) - 1);
    std::copy_n(name.begin(), n, buffer);
    buffer[n] = '\0';
    result = static_cast<int32_t>(name.size());
  }
  return RecordResult("pskengine_device_name", {Value(index), Array(), Value(size)}, result);
}

}  // extern "C"
