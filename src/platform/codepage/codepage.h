// Received bytes as text, for the program and the command-line tool alike
// (this folder needs neither Qt nor the rest of the platform layer).  The
// receive area shows what the engine decodes as
// bytes of code page 932 (Shift-JIS as the Japanese edition of the desktop
// defines it), the code page this program is made for; Linux has no system
// code page to ask, so it is fixed here.  Texts come back as UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace codepage {

// The one-character text of a byte: its character in code page 932, or
// U+FFFD for a byte that is no character by itself (0x80, 0xA0, 0xFD..0xFF,
// and a lead byte of a double-byte character on its own).
std::string ByteToText(uint8_t byte);

// A byte sequence as text.  Nothing is dropped: a byte or pair that does not
// convert (an unassigned pair, a lead byte without a trail byte, a lead byte
// at the end) gives one U+FFFD, and the conversion goes on after it.  A NUL
// byte gives the character U+0000.
std::string BytesToText(std::string_view bytes);

// The same conversion one byte at a time, for a stream of received bytes: a
// lead byte waits for the next byte, and everything pushed followed by
// Flush() gives exactly what BytesToText gives for the whole sequence.
class Decoder {
 public:
  // The text that this byte completes (empty while a lead byte waits).
  std::string Push(uint8_t byte);
  // U+FFFD for a lead byte still waiting, else empty; the decoder is then empty.
  std::string Flush();

 private:
  int lead_ = -1;  // the waiting lead byte, or -1
};

}  // namespace codepage
