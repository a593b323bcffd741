// A sound file read through libsndfile (WAV and every other format it reads,
// any rate from 1000 Hz to 768 kHz and any channel count), delivered as
// 8000 Hz mono: channels are averaged, then resampled.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dsp/resampler.h"
#include "sources/audio_source.h"

namespace psk {

class WavSource : public AudioSource {
 public:
  // Opens a file.  On failure returns nullptr and a message for the operator
  // in *error (missing file, not a file, unreadable, not audio, bad rate).
  static std::unique_ptr<WavSource> open_file(const std::string& path, std::string* error);
  // Opens a file image held in memory (same checks and messages).
  static std::unique_ptr<WavSource> open_memory(std::vector<uint8_t> bytes, std::string* error);
  ~WavSource() override;

  size_t read(std::span<float> out) override;
  bool live() const override { return false; }
  SourceState state() const override;

  double file_rate_hz() const { return file_rate_hz_; }
  int channels() const { return channels_; }
  int64_t file_frames() const { return file_frames_; }
  // Number of 8000 Hz samples the whole file gives.
  int64_t total_samples() const { return total_samples_; }

 private:
  struct Memory;
  WavSource() = default;
  static std::unique_ptr<WavSource> finish_open(std::unique_ptr<WavSource> source,
                                                const std::string& name, std::string* error);
  void fill();

  void* file_ = nullptr;                  // SNDFILE*
  std::unique_ptr<Memory> memory_;        // file image for open_memory
  double file_rate_hz_ = 0;               // the file's sample rate, Hz
  int channels_ = 0;                      // the file's channel count
  int64_t file_frames_ = 0;               // frames in the file (as its header says)
  int64_t total_samples_ = 0;             // 8000 Hz samples the file gives
  int64_t delivered_ = 0;                 // 8000 Hz samples handed out
  bool input_done_ = false;               // the file has been read to its end
  std::unique_ptr<Resampler> resampler_;  // file rate to 8000 Hz
  std::vector<float> frames_;             // interleaved frames read from the file
  std::vector<float> mono_;               // the same, averaged to mono
  std::vector<float> pending_;            // resampled samples not yet handed out
  size_t pending_pos_ = 0;                // next sample of pending_ to hand out
};

}  // namespace psk
