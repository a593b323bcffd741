// PortAudio initialised for as long as this object lives (PortAudio counts
// nested initialisations).  Before the first initialisation the error
// printing of the ALSA and JACK libraries under PortAudio is switched off:
// without a sound card they would fill the terminal with complaints.
#pragma once

#include <mutex>
#include <string>

namespace psk {

class PortAudioSession {
 public:
  PortAudioSession();
  ~PortAudioSession();
  PortAudioSession(const PortAudioSession&) = delete;
  PortAudioSession& operator=(const PortAudioSession&) = delete;

  // True when PortAudio initialised.
  bool ok() const { return ok_; }
  // PortAudio's message when it did not.
  const std::string& error() const { return error_; }
  // Holds off every other thread's PortAudio set-up, enumeration, opening and
  // closing while the result lives (PortAudio is not thread-safe there).
  // Sessions, device lists and sources take it themselves; a caller takes it
  // to keep an enumeration and an opening together.
  static std::unique_lock<std::recursive_mutex> lock();

 private:
  bool ok_ = false;    // Pa_Initialize succeeded
  std::string error_;  // its error text otherwise
};

}  // namespace psk
