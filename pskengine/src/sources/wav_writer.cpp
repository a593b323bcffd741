#include "sources/wav_writer.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace psk {

bool write_wav16(const std::string& path, std::span<const float> samples, int rate_hz, int channels,
                 std::string* error) {
  SF_INFO info{};
  info.samplerate = rate_hz;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    *error = "cannot write '" + path + "': " + sf_strerror(nullptr);
    return false;
  }
  std::vector<short> pcm(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    const float s = std::isfinite(samples[i]) ? samples[i] : 0.0f;
    pcm[i] = static_cast<short>(std::lrint(std::clamp(s * 32768.0f, -32768.0f, 32767.0f)));
  }
  const sf_count_t written = sf_write_short(file, pcm.data(), static_cast<sf_count_t>(pcm.size()));
  const int close_err = sf_close(file);
  if (written != static_cast<sf_count_t>(pcm.size()) || close_err != 0) {
    *error = "cannot write '" + path + "': disk full or write error";
    return false;
  }
  return true;
}

}  // namespace psk
