// Received bytes to UTF-8 through code page 932 (Shift-JIS as the program's
// platform knows it).  A lead byte waits for its trail byte; a pair that is
// no character becomes U+FFFD, as does a lone lead byte at the end.
#pragma once

#include <cstdint>
#include <string>

namespace tonvista::cli {

class Cp932Text {
 public:
  Cp932Text();
  ~Cp932Text();
  Cp932Text(const Cp932Text&) = delete;
  Cp932Text& operator=(const Cp932Text&) = delete;
  // Takes one received byte; returns the UTF-8 of the character it completes
  // (empty while a lead byte waits).
  std::string push(uint8_t byte);
  // The UTF-8 for a lead byte still waiting (U+FFFD), or empty.
  std::string flush();

 private:
  std::string convert(const char* bytes, size_t length);

  void* iconv_;    // iconv descriptor CP932 -> UTF-8, or (void*)-1 if unavailable
  int lead_ = -1;  // waiting lead byte, or -1
};

}  // namespace tonvista::cli
