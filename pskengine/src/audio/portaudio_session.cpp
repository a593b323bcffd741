#include "audio/portaudio_session.h"

#include <dlfcn.h>
#include <portaudio.h>

#include <mutex>

namespace psk {
namespace {
std::recursive_mutex& portaudio_mutex() {
  static std::recursive_mutex m;
  return m;
}

extern "C" void quiet_alsa(const char*, int, const char*, int, const char*, ...) {}
extern "C" void quiet_jack(const char*) {}

// The ALSA and JACK libraries are loaded with PortAudio; their handlers are
// found by name so that neither is a build dependency of its own.
void silence_audio_libraries() {
  if (void* alsa = dlopen("libasound.so.2", RTLD_LAZY | RTLD_NOLOAD)) {
    using SetHandler = int (*)(void (*)(const char*, int, const char*, int, const char*, ...));
    if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
      set(quiet_alsa);
    dlclose(alsa);
  }
  if (void* jack = dlopen("libjack.so.0", RTLD_LAZY | RTLD_NOLOAD)) {
    using SetFunction = void (*)(void (*)(const char*));
    if (auto set = reinterpret_cast<SetFunction>(dlsym(jack, "jack_set_error_function")))
      set(quiet_jack);
    if (auto set = reinterpret_cast<SetFunction>(dlsym(jack, "jack_set_info_function")))
      set(quiet_jack);
    dlclose(jack);
  }
}
}  // namespace

std::unique_lock<std::recursive_mutex> PortAudioSession::lock() {
  return std::unique_lock(portaudio_mutex());
}

PortAudioSession::PortAudioSession() {
  const auto held = lock();
  static std::once_flag silenced;
  std::call_once(silenced, silence_audio_libraries);
  const PaError err = Pa_Initialize();
  ok_ = err == paNoError;
  if (!ok_) error_ = Pa_GetErrorText(err);
}

PortAudioSession::~PortAudioSession() {
  const auto held = lock();
  if (ok_) Pa_Terminate();
}

}  // namespace psk
