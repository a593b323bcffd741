#include "core/raw_buffer.h"

#include <algorithm>
#include <cmath>

namespace psk {

void RawBuffer::reset() {
  ring_.fill(0);
  next_ = 0;
}

void RawBuffer::push(std::span<const float> samples) {
  for (float s : samples) {
    // NaN counts as silence rather than poisoning the scope.
    const float scaled = std::isnan(s) ? 0.0f : std::clamp(s * 32768.0f, -32768.0f, 32767.0f);
    ring_[next_] = static_cast<int16_t>(std::lrint(scaled));
    next_ = next_ + 1 == kCapacity ? 0 : next_ + 1;
  }
}

int RawBuffer::copy_newest(std::span<int32_t> out) const {
  const int n = static_cast<int>(std::min<size_t>(out.size(), kCapacity));
  int pos = (next_ - n + kCapacity) % kCapacity;
  for (int i = 0; i < n; ++i) {
    out[i] = ring_[pos];
    pos = pos + 1 == kCapacity ? 0 : pos + 1;
  }
  return n;
}

}  // namespace psk
