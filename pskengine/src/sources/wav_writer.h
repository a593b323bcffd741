// Writes audio as a 16-bit PCM WAV file.
#pragma once

#include <span>
#include <string>

namespace psk {

// Writes samples (interleaved when channels > 1, full scale 1.0, clipped
// beyond it) at rate_hz.  Returns false with a message in *error.
bool write_wav16(const std::string& path, std::span<const float> samples, int rate_hz, int channels,
                 std::string* error);

}  // namespace psk
