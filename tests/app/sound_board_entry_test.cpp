// The device number an entry of the sound-device dialog selects.  Earlier the
// number was read from the entry's first two characters only (trimmed, then
// read as a leading number with fraction and rounded), so the entry of
// device 123 selected device 12; now the whole leading number counts.  The
// table keeps the earlier result beside the current one: they differ only
// where two characters cut the number short.
#include <gtest/gtest.h>

#include <string>

#include "app/frm_sound_board.h"
#include "platform/forms/forms.h"

namespace {

// What the earlier rule looked at: the first two characters, trimmed.
std::string FirstTwoTrimmed(const std::string& text) {
  std::string two = forms::LeftChars(text, 2);
  while (!two.empty() && two.front() == ' ') two.erase(two.begin());
  while (!two.empty() && two.back() == ' ') two.pop_back();
  return two;
}

struct Case {
  const char* text;
  int before;  // first two characters only
  int now;     // the whole leading number
};

}  // namespace

TEST(SoundBoardEntry, ReadsTheWholeLeadingNumberWhereTwoCharactersCutItShort) {
  const Case cases[] = {
      // The dialog's own entries and design text.
      {"-1  Default", -1, -1},
      {"-1 Default", -1, -1},
      {"0 Built-in test signal (BPSK31 at 1500 Hz)", 0, 0},
      {"9 USB Audio", 9, 9},
      {"10 USB Audio", 10, 10},
      {"57 HDA Intel PCH: ALC892 Analog (hw:0,0)", 57, 57},
      {"99 pulse", 99, 99},
      {"100 pulse", 10, 100},
      {"123 USB Audio", 12, 123},
      {"119 Device 119", 11, 119},
      // Typed texts.
      {"7", 7, 7},
      {"", 0, 0},
      {"ab", 0, 0},
      {"Default", 0, 0},
      {".5", 0, 0},
      {"1.5", 1, 1},
      {"+7", 7, 7},
      {"-", 0, 0},
      {"12abc", 12, 12},
      {" 7", 7, 7},
      {"  7", 0, 7},    // two blanks were all the earlier rule saw
      {"\t3 x", 3, 3},  // a tab is a blank too
      {"- 5", 0, 0},    // a sign must touch its digits
      {"1e3", 1, 1},    // no exponent: the number stops at the letter
      {"007", 0, 7},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeviceNumberOfEntry(c.text), c.now) << '"' << c.text << '"';
    // Read from what the earlier rule saw, the number is the earlier result:
    // the two rules part only where the cut to two characters bites.
    EXPECT_EQ(DeviceNumberOfEntry(FirstTwoTrimmed(c.text)), c.before) << '"' << c.text << '"';
  }
}

// A number no device can have is clamped into 16 bits (the engine then
// reports a bad device); a long run of digits never overflows.
TEST(SoundBoardEntry, NumbersBeyondSixteenBitsAreClamped) {
  EXPECT_EQ(DeviceNumberOfEntry("32767"), 32767);
  EXPECT_EQ(DeviceNumberOfEntry("32768"), 32767);
  EXPECT_EQ(DeviceNumberOfEntry("-32768"), -32768);
  EXPECT_EQ(DeviceNumberOfEntry("-32769 x"), -32768);
  EXPECT_EQ(DeviceNumberOfEntry("99999999999999999999999999999999"), 32767);
  EXPECT_EQ(DeviceNumberOfEntry("-99999999999999999999999999999999"), -32768);
}
