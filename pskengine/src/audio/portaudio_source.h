// Capture from a sound card through PortAudio.  The device is opened at
// 8000 Hz when it offers that rate, else at its own rate, and resampled.
// The audio callback only averages the channels into a lock-free ring: no
// lock, no allocation, no call into the program.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/portaudio_session.h"
#include "audio/spsc_ring.h"
#include "dsp/resampler.h"
#include "sources/audio_source.h"

namespace psk {

class PortAudioSource : public AudioSource {
 public:
  // Opens and starts capture on PortAudio device portaudio_index (-1: the
  // default input).  Returns nullptr on failure, with the engine's start code
  // (PSK_START_BAD_DEVICE, PSK_START_BUSY or PSK_START_NOT_OPEN) in *code and
  // PortAudio's words in *message.
  static std::unique_ptr<PortAudioSource> open(int portaudio_index, int32_t* code,
                                               std::string* message);
  ~PortAudioSource() override;

  size_t read(std::span<float> out) override;
  bool live() const override { return true; }
  // Lost once the stream has stopped, or no samples came for a second (for
  // five seconds after opening, until the first samples).
  SourceState state() const override;
  uint64_t overruns() const override { return overruns_.load(std::memory_order_relaxed); }
  double device_rate_hz() const { return rate_hz_; }
  // Audio thread only: takes one buffer of interleaved frames (nullptr: lost
  // input, counted as silence) and whether the driver reported an overflow.
  void on_audio(const float* frames, unsigned long count, bool overflow);

 private:
  PortAudioSource(double rate_hz, int channels);

  PortAudioSession session_;            // PortAudio stays initialised while open
  void* stream_ = nullptr;              // PaStream*
  double rate_hz_;                      // capture rate, Hz
  int channels_;                        // channels captured
  SpscRing<float> ring_;                // mono samples at rate_hz_, callback to reader
  Resampler resampler_;                 // rate_hz_ to 8000 Hz
  std::atomic<uint64_t> overruns_{0};   // samples dropped (ring full or driver overflow)
  std::atomic<uint64_t> captured_{0};   // samples the callback has seen
  std::vector<float> scratch_;          // samples popped from the ring
  std::vector<float> resampled_;        // 8000 Hz samples not yet handed out
  size_t resampled_pos_ = 0;            // next of resampled_ to hand out
  mutable uint64_t last_captured_ = 0;  // captured_ at the last check
  mutable std::chrono::steady_clock::time_point last_progress_;  // when it last grew
};

}  // namespace psk
