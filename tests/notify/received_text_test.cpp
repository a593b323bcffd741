// The receive area: the filter, the trim, line breaks, backspace and the
// assembly of double-byte characters, byte by byte as the engine sends them.
#include <gtest/gtest.h>

#include <string>

#include "app/Module1.h"
#include "app/form1.h"
#include "notify/notify.h"
#include "replay_test_support.h"

using namespace testing_support;

namespace {

const std::string kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// A loaded main window with kanji mode on and a receive area holding `text`.
struct ReceivedText : ::testing::Test {
  void SetUp() override { session.Run("load Form1"); }

  forms::TextBox& term() { return Form1().Term; }
  void Start(const std::string& text) {
    term().SetText(text);
    term().SetSelStart(0);
  }
  void Receive(std::initializer_list<int> bytes, int32_t lparam = 0) {
    for (int b : bytes) HandleReceivedByte(b, lparam);
  }
  bool CaretAtEnd() { return term().SelStart() == term().Length(); }

  replay::Session session;
};

// n characters, each the last digit of its position (counted from 1), so
// that any cut shows where it was made.
std::string Digits(int n) {
  std::string s;
  for (int i = 1; i <= n; ++i) s.push_back(static_cast<char>('0' + i % 10));
  return s;
}

}  // namespace

TEST_F(ReceivedText, TheLoadLeavesKanjiModeOnAndTheStartReportInTheArea) {
  EXPECT_EQ(KanjiMode, 1);
  EXPECT_EQ(PendingLeadByte, 0);
  Receive({'O', 'K'});
  EXPECT_EQ(term().Text(), "Card Opened OK");
  EXPECT_TRUE(CaretAtEnd());
}

TEST_F(ReceivedText, OnlyFilterValuesZeroAndMinusOneAreHandledAndBothAlike) {
  const std::string long_text = Digits(1001);
  Start(long_text);
  for (int32_t other : {1, 2, -2, 255, 0x7FFFFFFF, static_cast<int32_t>(0x80000000)}) {
    HandleReceivedByte('A', other);
    HandleReceivedByte(0x88, other);  // not held either
  }
  EXPECT_EQ(term().Text(), long_text);  // not even trimmed
  EXPECT_EQ(PendingLeadByte, 0);

  Start("");
  HandleReceivedByte('A', 0);
  HandleReceivedByte('B', -1);
  HandleReceivedByte(0x88, 0);
  HandleReceivedByte(0x9F, -1);
  EXPECT_EQ(term().Text(), "AB亜");
}

TEST_F(ReceivedText, AFilteredNotificationLeavesAHeldLeadByteHeld) {
  Start("x");
  Receive({0x88});
  HandleReceivedByte(13, 1);
  HandleReceivedByte('A', 7);
  EXPECT_EQ(PendingLeadByte, 0x88);
  Receive({0x9F});
  EXPECT_EQ(term().Text(), "x亜");
}

// wParam is a byte; anything else is not one of the engine's characters.
TEST_F(ReceivedText, AValueOutsideZeroTo255ChangesNothing) {
  const std::string long_text = Digits(1001);
  Start(long_text);
  for (int32_t w : {-1, 256, 256 + 'A', 256 + 0x88, 0x7FFFFFFF, -255}) HandleReceivedByte(w, 0);
  EXPECT_EQ(term().Text(), long_text);
  EXPECT_EQ(PendingLeadByte, 0);
  EXPECT_EQ(term().SelStart(), 0);
}

TEST_F(ReceivedText, ThousandCharactersStayAndOneMoreIsCutToTheLast500First) {
  Start(Digits(1000));
  Receive({'x'});
  EXPECT_EQ(term().Text(), Digits(1000) + "x");

  Start(Digits(1001));
  Receive({'x'});
  EXPECT_EQ(term().Length(), 501);
  EXPECT_EQ(term().Text(), Digits(1001).substr(501) + "x");
  EXPECT_TRUE(CaretAtEnd());

  Start(Digits(1001));
  Receive({13});
  EXPECT_EQ(term().Length(), 502);
  EXPECT_EQ(term().Text(), Digits(1001).substr(501) + "\r\n");
  EXPECT_TRUE(CaretAtEnd());
}

TEST_F(ReceivedText, TheTrimCountsCharactersNotBytes) {
  std::string kanji;
  for (int i = 0; i < 1001; ++i) kanji += i % 2 ? "亜" : "a";
  Start(kanji);
  Receive({'x'});
  EXPECT_EQ(term().Length(), 501);
  EXPECT_EQ(term().Text().substr(0, 3), "亜");  // character 501 of 1001
}

TEST_F(ReceivedText, TheTrimAlsoRunsBeforeAHeldLeadByteAndALineFeed) {
  Start(Digits(1001));
  Receive({0x88});
  EXPECT_EQ(term().Length(), 500);
  EXPECT_EQ(PendingLeadByte, 0x88);

  Start(Digits(1001));
  Receive({10});
  EXPECT_EQ(term().Text(), Digits(1001).substr(501));
  EXPECT_TRUE(CaretAtEnd());
}

TEST_F(ReceivedText, CarriageReturnAndLineFeedGiveOneLineBreakALineFeedAloneNone) {
  Start("ab");
  Receive({13, 10, 'c', 10, 'd'});
  EXPECT_EQ(term().Text(), "ab\r\ncd");
  EXPECT_TRUE(CaretAtEnd());
}

TEST_F(ReceivedText, AppendsGoToTheEndWhereverTheCaretWas) {
  Start("abc");
  term().SetSelStart(1);
  Receive({'d'});
  term().SetSelStart(0);
  Receive({10});
  EXPECT_TRUE(CaretAtEnd());
  Receive({13});
  EXPECT_EQ(term().Text(), "abcd\r\n");
}

TEST_F(ReceivedText, BackspaceRemovesTheLastCharacterButNeverTheOnlyOne) {
  Start("abc");
  Receive({8});
  EXPECT_EQ(term().Text(), "ab");
  EXPECT_TRUE(CaretAtEnd());

  Start("a");
  Receive({8});
  EXPECT_EQ(term().Text(), "a");
  EXPECT_EQ(term().SelStart(), 0);
  Receive({'x'});
  EXPECT_EQ(term().Text(), "ax");
  EXPECT_TRUE(CaretAtEnd());

  // A line break is two characters; a double-byte character one.
  Start("a\r\n亜");
  Receive({8, 8});
  EXPECT_EQ(term().Text(), "a\r");
}

// Left open: on an empty text the caret stays at the start.
TEST_F(ReceivedText, BackspaceOnAnEmptyTextLeavesItEmptyWithTheCaretAtTheStart) {
  Start("");
  Receive({8});
  EXPECT_EQ(term().Text(), "");
  EXPECT_EQ(term().SelStart(), 0);
  Receive({'k'});
  EXPECT_EQ(term().Text(), "k");
}

TEST_F(ReceivedText, KanjiModeAssemblesPairsOfCodePage932) {
  Start("");
  Receive({0x88, 0x9F});
  EXPECT_EQ(term().Text(), "亜");
  Receive({0x82, 0xA0});
  EXPECT_EQ(term().Text(), "亜あ");
  Receive({0xB1});  // a half-width katakana is a single byte
  EXPECT_EQ(term().Text(), "亜あｱ");
  EXPECT_EQ(term().Length(), 3);
  EXPECT_EQ(PendingLeadByte, 0);
  EXPECT_TRUE(CaretAtEnd());
}

TEST_F(ReceivedText, ALeadByteBeforeACarriageReturnOrLineFeedIsDropped) {
  Start("a");
  Receive({0x88, 13, 'b', 0x88, 10, 'c'});
  EXPECT_EQ(term().Text(), "a\r\nbc");
  EXPECT_EQ(PendingLeadByte, 0);
}

TEST_F(ReceivedText, ABackspaceBetweenTheBytesOfAPairKeepsTheLeadByte) {
  Start("abc");
  Receive({0x88, 8});
  EXPECT_EQ(term().Text(), "ab");
  EXPECT_EQ(PendingLeadByte, 0x88);
  Receive({0x9F});
  EXPECT_EQ(term().Text(), "ab亜");
}

TEST_F(ReceivedText, ASecondLeadByteIsTheTrailByteAndTheNextByteStandsAlone) {
  Start("");
  Receive({0x88, 0x88});  // an unassigned pair
  EXPECT_EQ(term().Text(), kReplacement);
  EXPECT_EQ(PendingLeadByte, 0);
  Receive({0x88, 0x9F, 'A'});
  EXPECT_EQ(term().Text(), kReplacement + "亜A");
}

TEST_F(ReceivedText, APairThatIsNoCharacterAppendsOneReplacementCharacter) {
  Start("");
  Receive({0x88, ' '});  // the space cannot be a trail byte; it is lost with the pair
  Receive({0xE0, 0xFF});
  EXPECT_EQ(term().Text(), kReplacement + kReplacement);
  EXPECT_EQ(term().Length(), 2);
}

TEST_F(ReceivedText, KanjiModeOffShowsEachByteAloneButAHeldByteStillPairs) {
  KanjiMode = 0;
  Start("");
  Receive({0x88, 'A', 0xB1});
  EXPECT_EQ(term().Text(), kReplacement + "Aｱ");
  EXPECT_EQ(PendingLeadByte, 0);

  // Switching kanji mode off does not drop a byte held before.
  KanjiMode = 1;
  Start("");
  Receive({0x82});
  KanjiMode = 0;
  Receive({0xA0, 0x82});
  EXPECT_EQ(term().Text(), "あ" + kReplacement);

  // Only 1 means on.
  KanjiMode = 2;
  Start("");
  Receive({0x88});
  EXPECT_EQ(PendingLeadByte, 0);
  EXPECT_EQ(term().Text(), kReplacement);
}

TEST_F(ReceivedText, OnlyTheLeadBytesOfCodePage932AreHeld) {
  for (int b = 0x80; b <= 0xFF; ++b) {
    Start("");
    Receive({b});
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(PendingLeadByte, lead ? b : 0) << b;
    EXPECT_EQ(term().Length(), lead ? 0 : 1) << b;
    PendingLeadByte = 0;
  }
}

// A text box's text ends at a NUL character: the byte 0 appends nothing.
TEST_F(ReceivedText, ANulByteAppendsNothingButStillServesAsATrailByte) {
  Start("ab");
  Receive({0});
  EXPECT_EQ(term().Text(), "ab");
  EXPECT_TRUE(CaretAtEnd());
  Receive({0x88, 0});
  EXPECT_EQ(term().Text(), "ab" + kReplacement);
}

TEST_F(ReceivedText, NotificationsReachTheAreaThroughTheWindowProcedure) {
  session.Run(
      "set Term \"\"\npost 2025 72 0\npost 2025 105 -1\npost 2025 33 1\npost 2025 136 0"
      "\npost 2025 159 0\npost 2025 13 0\npost 2025 10 0");
  EXPECT_EQ(TextOf(session.Snapshot(), "Term"), "Hi亜\r\n");
}
