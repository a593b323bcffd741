// Code page 932: every byte alone is one character or U+FFFD, pairs make
// double-byte characters, and nothing that does not convert is dropped.
#include "platform/codepage/codepage.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/forms/forms.h"

using codepage::BytesToText;
using codepage::ByteToText;

namespace {

const std::string kReplacement = "\xEF\xBF\xBD";  // U+FFFD

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

bool IsLeadByte(int b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

}  // namespace

TEST(CodePage, SingleBytesAreTheirCodePage932Characters) {
  EXPECT_EQ(ByteToText('A'), "A");
  EXPECT_EQ(ByteToText(0x20), " ");
  // Code page 932 keeps backslash and tilde where plain Shift-JIS has the
  // yen sign and the overline.
  EXPECT_EQ(ByteToText(0x5C), "\\");
  EXPECT_EQ(ByteToText(0x7E), "~");
  EXPECT_EQ(ByteToText(0xB1), "ｱ");  // U+FF71
  EXPECT_EQ(ByteToText(0xA1), "｡");  // U+FF61
  EXPECT_EQ(ByteToText(0xDF), "ﾟ");  // U+FF9F
  EXPECT_EQ(ByteToText(0x0D), "\r");
  EXPECT_EQ(ByteToText(0x00), std::string(1, '\0'));
}

TEST(CodePage, EveryByteAloneGivesExactlyOneCharacter) {
  for (int b = 0; b < 256; ++b) {
    const std::string text = ByteToText(static_cast<uint8_t>(b));
    EXPECT_EQ(forms::Len(text), 1) << b;
    const bool no_character = b == 0x80 || b == 0xA0 || b >= 0xFD || IsLeadByte(b);
    EXPECT_EQ(text == kReplacement, no_character) << b;
  }
}

TEST(CodePage, PairsMakeDoubleByteCharacters) {
  EXPECT_EQ(BytesToText(Bytes({0x88, 0x9F, 0, 0})), std::string("亜") + '\0' + '\0');
  EXPECT_EQ(BytesToText(Bytes({0x82, 0xA0})), "あ");
  EXPECT_EQ(BytesToText(Bytes({0x87, 0x40})), "①");   // an extension of code page 932
  EXPECT_EQ(BytesToText(Bytes({0xFC, 0x4B})), "黑");  // the last assigned pair
  EXPECT_EQ(BytesToText(Bytes({'P', 0x83, 0x56, 'K'})), "PシK");
  EXPECT_EQ(BytesToText(""), "");
}

TEST(CodePage, WhatDoesNotConvertGivesOneReplacementAndConversionGoesOn) {
  // A lead byte whose next byte cannot be a trail byte stands alone.
  EXPECT_EQ(BytesToText(Bytes({0x88, 0x20, 0, 0})), kReplacement + " " + '\0' + '\0');
  EXPECT_EQ(BytesToText(Bytes({0x88, 0x0D})), kReplacement + "\r");
  // An unassigned pair is one unknown character.
  EXPECT_EQ(BytesToText(Bytes({0x88, 0x88, 'A'})), kReplacement + "A");
  EXPECT_EQ(BytesToText(Bytes({0x85, 0x40, 'A'})), kReplacement + "A");
  EXPECT_EQ(BytesToText(Bytes({0xEB, 0x40, 'A'})), kReplacement + "A");
  // 0x7F cannot follow a lead byte.
  EXPECT_EQ(BytesToText(Bytes({0x81, 0x7F, 'A'})), kReplacement + "\x7F" + "A");
  // A lead byte at the end.
  EXPECT_EQ(BytesToText(Bytes({'A', 0x88})), "A" + kReplacement);
  // Bytes that are no characters, between characters.
  EXPECT_EQ(BytesToText(Bytes({0x80, 0x88, 0x9F, 0xFF, 'Z', 0xA0})),
            kReplacement + "亜" + kReplacement + "Z" + kReplacement);
}

TEST(CodePage, LongSequencesConvertWhole) {
  std::string in, expected;
  for (int i = 0; i < 400; ++i) {
    in += Bytes({0x88, 0x9F, 0xFF});
    expected += "亜" + kReplacement;
  }
  EXPECT_EQ(BytesToText(in), expected);
}
