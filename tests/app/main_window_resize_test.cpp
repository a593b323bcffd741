// The main window's resize rule: Term spans the window above Frame2, which
// keeps 600 twips above the window's bottom edge; nothing else moves.
#include <gtest/gtest.h>

#include "replay_test_support.h"

using namespace testing_support;

namespace {

// After the script: Term's left, top, width and height, Frame2's left, top,
// width and height, and Picture2's top (inside Frame2).
QJsonArray Layout(replay::Session& session, const std::string& script, double* height = nullptr) {
  session.Run(script);
  const QJsonObject s = session.Snapshot();
  if (height) *height = ControlOf(s, "Form1")["height"].toDouble();
  QJsonArray out;
  for (const auto& [control, field] : {std::pair{"Term", "left"},
                                       {"Term", "top"},
                                       {"Term", "width"},
                                       {"Term", "height"},
                                       {"Frame2", "left"},
                                       {"Frame2", "top"},
                                       {"Frame2", "width"},
                                       {"Frame2", "height"},
                                       {"Picture2", "top"}}) {
    out.append(ControlOf(s, control)[field]);
  }
  return out;
}

}  // namespace

TEST(MainWindowResize, TermAndFrame2FollowTheWindowsOuterSizeAbove6715Twips) {
  replay::Session session;
  // The rule already runs when the window is first shown.
  double h = 0;
  const QJsonArray shown = Layout(session, "load Form1", &h);
  const double w = ControlOf(session.Snapshot(), "Form1")["width"].toDouble();
  EXPECT_EQ(shown, (QJsonArray{0, 45, w - 130, h - 6715, 30, h - 6615, 10065, 6015, 1350}));

  EXPECT_EQ(Layout(session, "resize 10500 9000", &h),
            (QJsonArray{0, 45, 10370, 2285, 30, 2385, 10065, 6015, 1350}));
  EXPECT_EQ(h, 9000);
  // 1000 twips taller: Term 1000 taller, Frame2 1000 lower with its controls.
  EXPECT_EQ(Layout(session, "resize 10500 10000"),
            (QJsonArray{0, 45, 10370, 3285, 30, 3385, 10065, 6015, 1350}));
  // Wider: only Term widens.
  EXPECT_EQ(Layout(session, "resize 14000 10000"),
            (QJsonArray{0, 45, 13870, 3285, 30, 3385, 10065, 6015, 1350}));
  // 6715 twips or less leave Term and Frame2 where they were.
  session.Run("resize 10500 9000");
  for (const char* size : {"resize 12000 6715", "resize 12000 3000"}) {
    EXPECT_EQ(Layout(session, size), (QJsonArray{0, 45, 10370, 2285, 30, 2385, 10065, 6015, 1350}))
        << size;
  }
}
