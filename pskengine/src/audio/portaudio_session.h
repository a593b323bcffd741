// PortAudio initialised for as long as this object lives (PortAudio counts
// nested initialisations).  Before the first initialisation the error
// printing of the ALSA and JACK libraries under PortAudio is switched off:
// without a sound card they would fill the terminal with complaints.
#pragma once

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

 private:
  bool ok_ = false;    // Pa_Initialize succeeded
  std::string error_;  // its error text otherwise
};

}  // namespace psk
