// Code page 932: single bytes, double-byte pairs, and U+FFFD for what does not convert,
// whole and one byte at a time.
#include "platform/codepage/codepage.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/forms/forms.h"

using codepage::BytesToText;
using codepage::ByteToText;

namespace {

const std::string R = "\xEF\xBF\xBD";  // U+FFFD
const std::string NUL(1, '\0');

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

}  // namespace

TEST(CodePage, EveryByteAloneGivesExactlyOneCharacter) {
  // Backslash and tilde where plain Shift-JIS has yen and overline; half-width katakana.
  const std::pair<int, const char*> cases[] = {{0x41, "A"}, {0x20, " "}, {0x5C, "\\"},
                                               {0x7E, "~"}, {0xB1, "ｱ"}, {0xA1, "｡"},
                                               {0xDF, "ﾟ"}, {0x0D, "\r"}};
  for (const auto& [byte, text] : cases)
    EXPECT_EQ(ByteToText(static_cast<uint8_t>(byte)), text) << byte;
  EXPECT_EQ(ByteToText(0x00), NUL);
  for (int b = 0; b < 256; ++b) {
    const std::string text = ByteToText(static_cast<uint8_t>(b));
    EXPECT_EQ(forms::Len(text), 1) << b;
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(text == R, b == 0x80 || b == 0xA0 || b >= 0xFD || lead) << b;
  }
}

TEST(CodePage, PairsMakeDoubleByteCharactersAndWhatDoesNotConvertGivesOneReplacement) {
  // Each case whole, and byte by byte through the stream decoder.
  const std::pair<std::string, std::string> cases[] = {
      {Bytes({0x88, 0x9F, 0, 0}), "亜" + NUL + NUL},
      {Bytes({0x82, 0xA0}), "あ"},
      {Bytes({0x87, 0x40}), "①"},   // an extension of code page 932
      {Bytes({0xFC, 0x4B}), "黑"},  // the last assigned pair
      {Bytes({'P', 0x83, 0x56, 'K'}), "PシK"},
      {"", ""},
      // A lead byte whose next byte cannot be a trail byte stands alone.
      {Bytes({0x88, 0x20, 0, 0}), R + " " + NUL + NUL},
      {Bytes({0x88, 0x0D}), R + "\r"},
      {Bytes({0x81, 0x7F, 'A'}), R + "\x7F" + "A"},
      // An unassigned pair is one unknown character.
      {Bytes({0x88, 0x88, 'A'}), R + "A"},
      {Bytes({0x85, 0x40, 'A'}), R + "A"},
      {Bytes({0xEB, 0x40, 'A'}), R + "A"},
      // A lead byte at the end; bytes that are no characters, between characters.
      {Bytes({'A', 0x88}), "A" + R},
      {Bytes({0x80, 0x88, 0x9F, 0xFF, 'Z', 0xA0}), R + "亜" + R + "Z" + R},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(BytesToText(cases[i].first), cases[i].second) << i;
    codepage::Decoder decoder;
    std::string streamed;
    for (char c : cases[i].first) streamed += decoder.Push(static_cast<uint8_t>(c));
    EXPECT_EQ(streamed + decoder.Flush(), cases[i].second) << i;
    EXPECT_EQ(decoder.Flush(), "") << i;
  }
  // Long sequences convert whole.
  std::string in, expected;
  for (int i = 0; i < 400; ++i) {
    in += Bytes({0x88, 0x9F, 0xFF});
    expected += "亜" + R;
  }
  EXPECT_EQ(BytesToText(in), expected);
}
