// Code page 932 through iconv ("CP932": unlike "SHIFT_JIS" it maps 0x5C and
// 0x7E to the backslash and tilde, as the desktop's code page does).
#include "platform/codepage/codepage.h"

#include <iconv.h>

#include <cerrno>

namespace codepage {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsLeadByte(uint8_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool IsTrailByte(uint8_t b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// The converter of the calling thread, opened at its first use.  CP932 is
// not a stateful encoding and every conversion starts from the initial
// state, so nothing of one conversion carries over to the next.
class Converter {
 public:
  Converter() : cd_(iconv_open("UTF-8", "CP932")) {}
  ~Converter() {
    if (usable()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool usable() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  std::string Convert(std::string_view in_bytes) {
    std::string out;
    out.reserve(in_bytes.size() * 3 + 3);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(in_bytes.data());
    size_t in_left = in_bytes.size();
    char buffer[256];
    while (in_left > 0) {
      char* to = buffer;
      size_t to_left = sizeof buffer;
      const size_t result = iconv(cd_, &in, &in_left, &to, &to_left);
      const int error = errno;
      out.append(buffer, static_cast<size_t>(to - buffer));
      if (result != static_cast<size_t>(-1)) break;
      if (error == E2BIG) continue;
      // EILSEQ (no such character) or EINVAL (a lead byte at the end): one
      // replacement for the offending character, then on after it.  A pair
      // of a lead byte and a possible trail byte is one unassigned character;
      // a lead byte followed by anything else stands alone.
      out.append(kReplacement);
      const auto first = static_cast<uint8_t>(in[0]);
      size_t skip = 1;
      if (error == EILSEQ && IsLeadByte(first) && in_left >= 2 &&
          IsTrailByte(static_cast<uint8_t>(in[1])))
        skip = 2;
      in += skip;
      in_left -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

// Without the system's CP932 tables only ASCII is known; every other byte
// still shows, as U+FFFD.
std::string AsciiOnly(std::string_view bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<uint8_t>(bytes[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      continue;
    }
    out.append(kReplacement);
    if (IsLeadByte(b) && i + 1 < bytes.size() && IsTrailByte(static_cast<uint8_t>(bytes[i + 1])))
      ++i;
  }
  return out;
}

}  // namespace

std::string BytesToText(std::string_view bytes) {
  thread_local Converter converter;
  if (!converter.usable()) return AsciiOnly(bytes);
  return converter.Convert(bytes);
}

std::string ByteToText(uint8_t byte) {
  const char c = static_cast<char>(byte);
  return BytesToText(std::string_view(&c, 1));
}

std::string Decoder::Push(uint8_t byte) {
  if (lead_ >= 0) {
    const char pair[2] = {static_cast<char>(lead_), static_cast<char>(byte)};
    lead_ = -1;
    if (IsTrailByte(byte)) return BytesToText({pair, 2});
    // A byte that cannot follow a lead byte is no lead byte either: the lead
    // byte alone gives U+FFFD and the byte keeps its own character.
    return std::string(kReplacement) + ByteToText(byte);
  }
  if (IsLeadByte(byte)) {
    lead_ = byte;
    return {};
  }
  return ByteToText(byte);
}

std::string Decoder::Flush() {
  if (lead_ < 0) return {};
  lead_ = -1;
  return std::string(kReplacement);
}

}  // namespace codepage
