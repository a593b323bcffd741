// The mode and range options, the squelch and raw-gain scroll bars, the reset
// button and the kanji switch, with exactly their engine calls.
#include <gtest/gtest.h>

#include "app/Module1.h"
#include "controls/actions.h"
#include "replay_test_support.h"

using namespace testing_support;
using Calls = std::vector<std::string>;

namespace {

struct Actions : LoadedMainWindow {};

}  // namespace

TEST_F(Actions, ModeOptionsSendTheirEngineCodes) {
  const int codes[] = {0, 1, 8, 9, 16, 17};
  // BPSK31, selected at start, sends its code again when clicked.
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(CallsAfter("click Option2 " + std::to_string(i)),
              (Calls{"fnSetRXPSKMode(" + std::to_string(codes[i]) + ",0)"}))
        << i;
    EXPECT_EQ(PskMode, codes[i]) << i;
  }
  // An index without a mode changes nothing.
  for (int i : {-1, 6, 100}) Option2_Click(i);
  EXPECT_TRUE(CallList(session.Snapshot()).empty());
  EXPECT_EQ(PskMode, 17);
}

TEST_F(Actions, RangeOptionsApplyTheirPresetWithoutAnEngineCall) {
  const struct {
    int index, low, high, grid;
  } presets[] = {{3, 500, 3000, 25}, {0, 1200, 1800, 12}, {1, 1000, 2000, 20}, {2, 500, 2500, 20}};
  for (const auto& p : presets) {
    EXPECT_EQ(CallsAfter("click Option3 " + std::to_string(p.index)), Calls{}) << p.index;
    EXPECT_EQ(DisplayLowHz, p.low) << p.index;
    EXPECT_EQ(DisplayHighHz, p.high) << p.index;
    EXPECT_EQ(GridDivisions, p.grid) << p.index;
  }
  for (int i : {-1, 4}) Option3_Click(i);
  EXPECT_EQ(DisplayLowHz, 500);
  EXPECT_EQ(DisplayHighHz, 2500);
  EXPECT_EQ(GridDivisions, 20);
}

TEST_F(Actions, TheSquelchRunsOppositeToItsScrollBar) {
  const struct { int value, level; } cases[] = {{0, 99}, {99, 0}, {50, 49}, {1, 98}};
  for (const auto& c : cases) {
    EXPECT_EQ(CallsAfter("set VScroll3 " + std::to_string(c.value)),
              (Calls{"fnSetSquelchThreshold(" + std::to_string(c.level) + ",0,0)"}))
        << c.value;
    EXPECT_EQ(SquelchLevel, c.level) << c.value;
  }
}

TEST_F(Actions, TheRawGainScrollBarCallsNothing) {
  EXPECT_EQ(CallsAfter("set VScroll2 200\nset VScroll2 17"), Calls{});
  EXPECT_EQ(ControlOf(session.Snapshot(), "VScroll2")["value"].toInt(), 17);
}

TEST_F(Actions, TheResetButtonResetsTheStatisticsWithoutAnEngineCall) {
  session.Run("post 2027 -31 0");
  EXPECT_EQ(CallsAfter("click Command1"), Calls{});
  EXPECT_EQ(ImdCount, 0);
  EXPECT_EQ(ImdBest, 9999);
}

TEST_F(Actions, TheKanjiButtonTogglesModeAndCaption) {
  EXPECT_EQ(CallsAfter("click Command2"), Calls{});
  QJsonObject s = session.Snapshot();
  EXPECT_EQ(TextOf(s, "Command2"), "漢字 OFF");
  EXPECT_EQ(SettingOf(s, "KanjiMode"), 0);
  session.Run("click Command2");
  s = session.Snapshot();
  EXPECT_EQ(TextOf(s, "Command2"), "漢字 ON");
  EXPECT_EQ(SettingOf(s, "KanjiMode"), 1);
  // Any value other than 1 counts as off: the click switches it on.
  session.Run("set KanjiMode 7\nclick Command2");
  s = session.Snapshot();
  EXPECT_EQ(TextOf(s, "Command2"), "漢字 ON");
  EXPECT_EQ(SettingOf(s, "KanjiMode"), 1);
}
