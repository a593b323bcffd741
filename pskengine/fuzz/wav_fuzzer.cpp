// libFuzzer target for the WAV path: any bytes, opened as a sound file image
// and read to the end through the channel mixing and the resampler, must give
// a clean refusal or finite samples, never a crash.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "sources/wav_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  auto source = psk::WavSource::open_memory(std::vector<uint8_t>(data, data + size), &error);
  if (!source) {
    if (error.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  std::vector<float> block(4096);
  // Bounded: a header may promise far more frames than the bytes hold.
  for (int i = 0; i < 256; ++i) {
    const size_t n = source->read(block);
    for (size_t k = 0; k < n; ++k) {
      if (!std::isfinite(block[k])) std::abort();
    }
    if (n == 0) break;
  }
  return 0;
}
