// Varicode: the variable-length character code of PSK.  Every code starts and
// ends with a 1 and holds no "00"; a character is sent as its code followed by
// "00".  Bytes 0..127 use the classic ASCII table; bytes 128..255 take the
// next unused codes in numerical order (so Shift-JIS bytes can be sent).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace psk {

// The code of one byte as a string of '0'/'1' (without the "00" separator).
std::string_view varicode_bits(uint8_t byte);

// Appends the bits of every byte of text, each followed by "00", as '0'/'1'.
std::string varicode_encode(std::string_view text);

// Bit-by-bit decoder.  A code counts only after a preceding "00", so a stream
// joined mid-character (or noise before the first gap) does not print a
// fragment.
class VaricodeDecoder {
 public:
  VaricodeDecoder() { reset(); }
  void reset();
  // Feeds one bit; returns the decoded byte 0..255 when a character ends,
  // otherwise -1.
  int push(int bit);

 private:
  uint32_t code_;  // bits received since the last "00" (newest in bit 0)
  int length_;     // bits received since the last gap (capped at 64)
  int zeros_;      // consecutive 0 bits just received
  bool synced_;    // a "00" gap has been seen since reset
};

}  // namespace psk
