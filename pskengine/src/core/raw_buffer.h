// The newest raw samples for the raw-signal scope, in the signed 16-bit range.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace psk {

class RawBuffer {
 public:
  static constexpr int kCapacity = 2047;  // samples kept

  void reset();
  // Appends samples (full scale 1.0); a sample s is kept as
  // clamp(round(s * 32768), -32768, 32767), so 16-bit input comes back exact.
  void push(std::span<const float> samples);
  // Writes the newest min(out.size(), 2047) samples, oldest first, into out
  // from element 0 and returns their number.  Before any input they are zeros.
  int copy_newest(std::span<int32_t> out) const;

 private:
  std::array<int16_t, kCapacity> ring_{};  // samples, 16-bit range
  int next_ = 0;                           // index of the oldest sample (next write)
};

}  // namespace psk
