// The receive area Term: one received byte per notification.  Carriage
// returns become line breaks, line feeds are dropped, backspace removes the
// last character, and with kanji mode on two successive bytes of code page
// 932 make one double-byte character.  The text is cut back to its last 500
// characters whenever it has grown past 1000.
#include <algorithm>
#include <string>

#include "app/Module1.h"
#include "app/form1.h"
#include "notify/notify.h"
#include "platform/codepage/codepage.h"

namespace {

constexpr int kTrimAbove = 1000;  // characters; a longer text is cut
constexpr int kKeptByTrim = 500;  // characters kept, the rightmost
constexpr uint8_t kBackspace = 8;
constexpr uint8_t kCarriageReturn = 13;
constexpr uint8_t kLineFeed = 10;

// The lead bytes of double-byte characters in code page 932.
bool IsLeadByte(uint8_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Puts the caret at `at` and inserts the text there.  `at` is the length
// before any trim; the text box keeps the caret within its text, so after a
// trim the insertion still lands at the end.
void Append(forms::TextBox& term, int at, const std::string& text) {
  term.SetSelStart(at);
  term.SelText(text);
}

}  // namespace

void HandleReceivedByte(int32_t wParam, int32_t lParam) {
  if (lParam != 0 && lParam != -1) return;
  // A value outside 0..255 is no byte: such a notification changes nothing.
  if (wParam < 0 || wParam > 255) return;
  const auto b = static_cast<uint8_t>(wParam);
  // A NUL byte appends nothing: a text box's text ends at a NUL character,
  // so inserting one shows and holds nothing.
  const std::string text = b == 0 ? std::string() : codepage::ByteToText(b);

  forms::TextBox& term = Form1().Term;
  const int length = term.Length();
  if (length > kTrimAbove) term.SetText(forms::RightChars(term.Text(), kKeptByTrim));

  if (KanjiMode == 1 && PendingLeadByte == 0 && IsLeadByte(b)) {
    PendingLeadByte = b;
    return;
  }

  if (b == kBackspace) {
    // A text of one character keeps it; the lead byte held stays held.
    const int now = term.Length();
    if (now > 1) term.SetText(forms::LeftChars(term.Text(), now - 1));
    // On an empty text the caret goes to the start.
    term.SetSelStart(std::max(now - 1, 0));
  } else if (b == kCarriageReturn) {
    Append(term, length, "\r\n");
    PendingLeadByte = 0;
  } else if (b == kLineFeed) {
    Append(term, length, "");
    PendingLeadByte = 0;
  } else if (PendingLeadByte != 0) {
    // Whatever the trail byte, the pair makes one character: the first of
    // what the pair converts to (U+FFFD when it is no character).
    const char pair[4] = {static_cast<char>(PendingLeadByte), static_cast<char>(b), 0, 0};
    PendingLeadByte = 0;
    Append(term, length, forms::LeftChars(codepage::BytesToText({pair, sizeof pair}), 1));
  } else {
    Append(term, length, text);
  }
}
