// The receive area under a long stream of random notifications: whatever
// arrives, the text stays within 1002 characters and an append leaves the
// caret at the end.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <random>

#include "app/Module1.h"
#include "app/form1.h"
#include "notify/notify.h"
#include "replay_session.h"

TEST(ReceivedTextProperty, RandomBytesFiltersAndKanjiTogglesKeepTheAreaBounded) {
  replay::Session session;
  session.Run("load Form1");
  forms::TextBox& term = Form1().Term;
  std::mt19937 random(20240517);  // fixed: the same stream on every run
  const int32_t filters[] = {0, -1, 1};
  int handled = 0, trims = 0, held = 0;

  for (int n = 0; n < 100000; ++n) {
    const auto byte = static_cast<int32_t>(random() % 256);
    const int32_t lparam = filters[random() % 3];
    if (random() % 50 == 0) KanjiMode = KanjiMode == 1 ? 0 : 1;

    const std::string before = term.Text();
    const uint8_t pending_before = PendingLeadByte;
    const int length_before = term.Length();
    HandleReceivedByte(byte, lparam);
    const int length = term.Length();

    ASSERT_LE(length, 1002) << "notification " << n;
    if (lparam == 1) {
      ASSERT_EQ(term.Text(), before) << n;
      ASSERT_EQ(PendingLeadByte, pending_before) << n;
      continue;
    }
    ++handled;
    if (length_before > 1000) {
      ++trims;
      ASSERT_LE(length, 502) << n;
    }
    if (PendingLeadByte != 0 && pending_before == 0) {
      ++held;  // nothing shown yet
      continue;
    }
    // Every other byte ends with the caret at the end, but a backspace on a
    // text of one character, which goes to the start.
    const bool backspace_on_one = byte == 8 && length == 1;
    ASSERT_EQ(term.SelStart(), backspace_on_one ? 0 : length) << n;
    if (n % 1000 == 0) QCoreApplication::processEvents();  // let the widget show it
  }
  // The stream exercised what it is meant to.
  EXPECT_GT(handled, 60000);
  EXPECT_GT(trims, 50);
  EXPECT_GT(held, 1000);
}
