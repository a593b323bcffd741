// The main window's resize rule: Term spans the window above Frame2, which
// keeps 600 twips above the window's bottom edge; nothing else moves.
#include <gtest/gtest.h>

#include "replay_test_support.h"

using namespace testing_support;

namespace {

double Get(const QJsonObject& s, const char* control, const char* field) {
  return ControlOf(s, control)[field].toDouble();
}

}  // namespace

TEST(MainWindowResize, TermAndFrame2FollowTheWindowsOuterSize) {
  replay::Session session;
  session.Run("load Form1\nresize 10500 9000");
  QJsonObject s = session.Snapshot();
  EXPECT_EQ(Get(s, "Form1", "height"), 9000);
  EXPECT_EQ(Get(s, "Term", "width"), 10500 - 130);
  EXPECT_EQ(Get(s, "Term", "height"), 9000 - 6015 - 700);
  EXPECT_EQ(Get(s, "Term", "left"), 0);
  EXPECT_EQ(Get(s, "Term", "top"), 45);
  EXPECT_EQ(Get(s, "Frame2", "top"), 9000 - 6015 - 600);
  EXPECT_EQ(Get(s, "Frame2", "left"), 30);
  EXPECT_EQ(Get(s, "Frame2", "width"), 10065);
  EXPECT_EQ(Get(s, "Frame2", "height"), 6015);

  // 1000 twips taller: Term 1000 taller, Frame2 1000 lower with its controls.
  session.Run("resize 10500 10000");
  s = session.Snapshot();
  EXPECT_EQ(Get(s, "Term", "height"), 9000 - 6015 - 700 + 1000);
  EXPECT_EQ(Get(s, "Frame2", "top"), 9000 - 6015 - 600 + 1000);
  EXPECT_EQ(Get(s, "Picture2", "top"), 1350);  // inside Frame2: unchanged

  // Wider: only Term widens.
  session.Run("resize 14000 10000");
  s = session.Snapshot();
  EXPECT_EQ(Get(s, "Term", "width"), 14000 - 130);
  EXPECT_EQ(Get(s, "Frame2", "width"), 10065);
}

TEST(MainWindowResize, AWindowOf6715TwipsOrLessLeavesTermAndFrame2Alone) {
  replay::Session session;
  session.Run("load Form1\nresize 10500 9000");
  session.Run("resize 12000 6715");
  QJsonObject s = session.Snapshot();
  EXPECT_EQ(Get(s, "Term", "width"), 10500 - 130);
  EXPECT_EQ(Get(s, "Term", "height"), 9000 - 6015 - 700);
  EXPECT_EQ(Get(s, "Frame2", "top"), 9000 - 6015 - 600);
  session.Run("resize 12000 3000");
  s = session.Snapshot();
  EXPECT_EQ(Get(s, "Frame2", "top"), 9000 - 6015 - 600);
}

TEST(MainWindowResize, TheRuleAlreadyRunsWhenTheWindowIsFirstShown) {
  replay::Session session;
  session.Run("load Form1");
  const QJsonObject s = session.Snapshot();
  const double w = Get(s, "Form1", "width");
  const double h = Get(s, "Form1", "height");
  EXPECT_EQ(Get(s, "Term", "width"), w - 130);
  EXPECT_EQ(Get(s, "Term", "height"), h - 6015 - 700);
  EXPECT_EQ(Get(s, "Frame2", "top"), h - 6015 - 600);
}
