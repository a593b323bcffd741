// The receive area, byte by byte as the engine sends them: the filter, the
// trim, line breaks, backspace and double-byte characters.
#include <gtest/gtest.h>

#include <string>

#include "app/Module1.h"
#include "app/form1.h"
#include "notify/notify.h"
#include "replay_test_support.h"

using namespace testing_support;

namespace {

const std::string R = "\xEF\xBF\xBD";  // U+FFFD, for what is no character

// n characters, each the last digit of its position: a cut shows where it was.
std::string Digits(int n) {
  std::string s;
  for (int i = 1; i <= n; ++i) s.push_back(static_cast<char>('0' + i % 10));
  return s;
}
// Characters from..to of 1001 alternating "a" and "亜" (from 0, "a" first).
std::string Mixed(int from, int to) {
  std::string s;
  for (int i = from; i <= to; ++i) s += i % 2 ? "亜" : "a";
  return s;
}

struct ReceivedText : LoadedMainWindow {
  forms::TextBox& term() { return Form1().Term; }
  // The receive area holding `text`, the caret at its start.
  void Start(const std::string& text) {
    term().SetText(text);
    term().SetSelStart(0);
  }
};

}  // namespace

TEST_F(ReceivedText, BytesAppendAtTheEndTrimLineBreaksBackspaceAndDoubleByteCharacters) {
  constexpr int kEnd = -1, kAny = -2;  // caret: at the end, not checked
  const struct {
    std::string start;
    std::vector<int> bytes;
    std::string text;
    int pending = 0;  // the lead byte held afterwards
    int caret = kEnd;
    int kanji = 1;
  } cases[] = {
      // Past 1000 characters the text is first cut to its last 500.
      {Digits(1000), {'x'}, Digits(1000) + "x"},
      {Digits(1001), {'x'}, Digits(1001).substr(501) + "x"},
      {Digits(1000) + "\r\n", {'x'}, Digits(1000).substr(502) + "\r\nx"},
      {Digits(1001), {13}, Digits(1001).substr(501) + "\r\n"},
      {Digits(1001), {0x88}, Digits(1001).substr(501), 0x88, kAny},
      {Digits(1001), {10}, Digits(1001).substr(501)},
      {Mixed(0, 1000), {'x'}, Mixed(501, 1000) + "x"},  // characters, not bytes
      // Appends go to the end wherever the caret was; CR LF make one break.
      {"abc", {'d', 10, 13}, "abcd\r\n"},
      {"ab", {13, 10, 'c', 10, 'd'}, "ab\r\ncd"},
      // Backspace takes one character, never the only one (caret to 0; left
      // open: likewise on an empty text).
      {"abc", {8}, "ab"},
      {"a\r\n亜", {8, 8}, "a\r"},
      {"a", {8}, "a", 0, 0},
      {"a", {8, 'x'}, "ax"},
      {"", {8}, "", 0, 0},
      // Kanji mode pairs code page 932 bytes; half-width katakana is one byte.
      {"", {0x88, 0x9F, 0x82, 0xA0, 0xB1}, "亜あｱ"},
      // A held lead byte is dropped by CR or LF, kept by a backspace.
      {"a", {0x88, 13, 'b', 0x88, 10, 'c'}, "a\r\nbc"},
      {"abc", {0x88, 8, 0x9F}, "ab亜"},
      // A second lead byte is the trail byte (an unassigned pair here).
      {"", {0x88, 0x88, 0x88, 0x9F, 'A'}, R + "亜A"},
      // A pair that is no character appends one U+FFFD (the space goes with it).
      {"", {0x88, ' ', 0xE0, 0xFF}, R + R},
      // The byte 0 appends nothing (a text ends at NUL) but still trails.
      {"ab", {0, 0x88, 0}, "ab" + R},
      // Kanji mode off (anything but 1) shows each byte alone.
      {"", {0x88, 'A', 0xB1}, R + "Aｱ", 0, kEnd, 0},
      {"", {0x88}, R, 0, kEnd, 2},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    KanjiMode = static_cast<int16_t>(c.kanji);
    PendingLeadByte = 0;
    Start(c.start);
    for (int b : c.bytes) HandleReceivedByte(b, 0);
    EXPECT_EQ(term().Text(), c.text) << "case " << i;
    EXPECT_EQ(PendingLeadByte, c.pending) << "case " << i;
    if (c.caret != kAny) {
      EXPECT_EQ(term().SelStart(), c.caret == kEnd ? term().Length() : c.caret) << "case " << i;
    }
  }
}

TEST_F(ReceivedText, SwitchingKanjiModeOffStillPairsAByteHeldBefore) {
  Start("");
  HandleReceivedByte(0x82, 0);
  KanjiMode = 0;
  HandleReceivedByte(0xA0, 0);
  HandleReceivedByte(0x82, 0);
  EXPECT_EQ(term().Text(), "あ" + R);
}

TEST_F(ReceivedText, OnlyTheLeadBytesOfCodePage932AreHeld) {
  for (int b = 0x80; b <= 0xFF; ++b) {
    Start("");
    HandleReceivedByte(b, 0);
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(PendingLeadByte, lead ? b : 0) << b;
    EXPECT_EQ(term().Length(), lead ? 0 : 1) << b;
    PendingLeadByte = 0;
  }
}

// Only lParam 0 and -1 are handled, and alike; wParam outside 0..255 is
// no byte of the engine's: neither changes anything, not even by a trim.
TEST_F(ReceivedText, OtherFilterValuesAndValuesThatAreNoByteChangeNothing) {
  Start(Digits(1001));
  for (int32_t other : {1, 2, -2, 255, 0x7FFFFFFF, static_cast<int32_t>(0x80000000)}) {
    HandleReceivedByte('A', other);
    HandleReceivedByte(0x88, other);  // not held either
  }
  for (int32_t w : {-1, 256, 256 + 'A', 256 + 0x88, 0x7FFFFFFF, -255}) HandleReceivedByte(w, 0);
  EXPECT_EQ(term().Text(), Digits(1001));
  EXPECT_EQ(PendingLeadByte, 0);
  EXPECT_EQ(term().SelStart(), 0);

  Start("");
  HandleReceivedByte('A', 0);
  HandleReceivedByte('B', -1);
  HandleReceivedByte(0x88, 0);
  HandleReceivedByte(13, 1);  // a filtered byte leaves the lead byte held
  HandleReceivedByte(0x9F, -1);
  EXPECT_EQ(term().Text(), "AB亜");
}

TEST_F(ReceivedText, NotificationsReachTheAreaThroughTheWindowProcedure) {
  session.Run(
      "set Term \"\"\npost 2025 72 0\npost 2025 105 -1\npost 2025 33 1\npost 2025 136 0"
      "\npost 2025 159 0\npost 2025 13 0\npost 2025 10 0");
  EXPECT_EQ(TextOf(session.Snapshot(), "Term"), "Hi亜\r\n");
}
