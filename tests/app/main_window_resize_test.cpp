// The resize rule: Term spans the window above Frame2, 600 twips above the bottom.
#include <gtest/gtest.h>

#include "replay_test_support.h"

using namespace testing_support;

namespace {

// Term's and Frame2's left, top, width and height, then Picture2's top.
QJsonArray Layout(replay::Session& session, const std::string& script) {
  session.Run(script);
  const QJsonObject s = session.Snapshot();
  QJsonArray out;
  for (const char* control : {"Term", "Frame2"}) {
    for (const char* field : {"left", "top", "width", "height"}) {
      out.append(ControlOf(s, control)[field]);
    }
  }
  out.append(ControlOf(s, "Picture2")["top"]);
  return out;
}

}  // namespace

TEST(MainWindowResize, TermAndFrame2FollowTheWindowsOuterSizeAbove6715Twips) {
  replay::Session session;
  // The rule already runs when the window is first shown.
  const QJsonArray shown = Layout(session, "load Form1");
  const QJsonObject form = ControlOf(session.Snapshot(), "Form1");
  const double w = form["width"].toDouble(), h = form["height"].toDouble();
  EXPECT_EQ(shown, (QJsonArray{0, 45, w - 130, h - 6715, 30, h - 6615, 10065, 6015, 1350}));

  const QJsonArray at_9000{0, 45, 10370, 2285, 30, 2385, 10065, 6015, 1350};
  EXPECT_EQ(Layout(session, "resize 10500 9000"), at_9000);
  EXPECT_EQ(ControlOf(session.Snapshot(), "Form1")["height"].toDouble(), 9000);
  // 1000 twips taller: Term 1000 taller, Frame2 1000 lower with its controls.
  EXPECT_EQ(Layout(session, "resize 10500 10000"),
            (QJsonArray{0, 45, 10370, 3285, 30, 3385, 10065, 6015, 1350}));
  // Wider: only Term widens.
  EXPECT_EQ(Layout(session, "resize 14000 10000"),
            (QJsonArray{0, 45, 13870, 3285, 30, 3385, 10065, 6015, 1350}));
  // 6715 twips or less leave Term and Frame2 where they were.
  session.Run("resize 10500 9000");
  for (const char* size : {"resize 12000 6715", "resize 12000 3000"}) {
    EXPECT_EQ(Layout(session, size), at_9000) << size;
  }
}
