// The device a dialog entry selects, beside the old first-two-characters rule.
#include <gtest/gtest.h>

#include "app/frm_sound_board.h"
#include "platform/forms/forms.h"

TEST(SoundBoardEntry, ReadsTheWholeLeadingNumberWhereTwoCharactersCutItShort) {
  const struct {
    const char* text;
    int before, now;  // first two characters only; the whole leading number
  } cases[] = {
      // The dialog's own entries and design text.
      {"-1  Default", -1, -1},
      {"57 HDA Intel PCH: ALC892 Analog (hw:0,0)", 57, 57},
      {"100 pulse", 10, 100},
      // Typed texts.
      {"7", 7, 7},
      {"", 0, 0},
      {"ab", 0, 0},
      {".5", 0, 0},
      {"1.5", 1, 1},
      {"+7", 7, 7},
      {"-", 0, 0},
      {"12abc", 12, 12},
      {"  7", 0, 7},    // two blanks were all the earlier rule saw
      {"\t3 x", 3, 3},  // a tab is a blank too
      {"- 5", 0, 0},
      {"1e3", 1, 1},  // no exponent: the number stops at the letter
      {"007", 0, 7},
      // Clamped into 16 bits (the engine then reports a bad device), never overflowing.
      {"32767", 32, 32767},
      {"32768", 32, 32767},
      {"-32768", -3, -32768},
      {"-32769 x", -3, -32768},
      {"99999999999999999999999999999999", 99, 32767},
      {"-99999999999999999999999999999999", -9, -32768},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DeviceNumberOfEntry(c.text), c.now) << '"' << c.text << '"';
    EXPECT_EQ(DeviceNumberOfEntry(forms::LeftChars(c.text, 2)), c.before) << '"' << c.text << '"';
  }
}
