#include "cp932_text.h"

#include <iconv.h>

namespace tonvista::cli {
namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

bool is_lead(int b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

}  // namespace

Cp932Text::Cp932Text() : iconv_(reinterpret_cast<void*>(iconv_open("UTF-8", "CP932"))) {}

Cp932Text::~Cp932Text() {
  if (iconv_ != reinterpret_cast<void*>(-1)) iconv_close(static_cast<iconv_t>(iconv_));
}

std::string Cp932Text::convert(const char* bytes, size_t length) {
  if (iconv_ == reinterpret_cast<void*>(-1)) return kReplacement;
  iconv(static_cast<iconv_t>(iconv_), nullptr, nullptr, nullptr, nullptr);  // initial state
  char in[2] = {bytes[0], length > 1 ? bytes[1] : '\0'};
  char out[16];
  char* in_ptr = in;
  char* out_ptr = out;
  size_t in_left = length, out_left = sizeof(out);
  // EILSEQ (no such character) and EINVAL (incomplete) both give U+FFFD.
  if (iconv(static_cast<iconv_t>(iconv_), &in_ptr, &in_left, &out_ptr, &out_left) ==
          static_cast<size_t>(-1) ||
      in_left != 0)
    return kReplacement;
  return std::string(out, static_cast<size_t>(out_ptr - out));
}

std::string Cp932Text::push(uint8_t byte) {
  if (lead_ >= 0) {
    const char pair[2] = {static_cast<char>(lead_), static_cast<char>(byte)};
    lead_ = -1;
    return convert(pair, 2);
  }
  if (is_lead(byte)) {
    lead_ = byte;
    return {};
  }
  const char single = static_cast<char>(byte);
  return convert(&single, 1);
}

std::string Cp932Text::flush() {
  if (lead_ < 0) return {};
  lead_ = -1;
  return kReplacement;
}

}  // namespace tonvista::cli
