// The mode and range options, squelch and raw-gain scroll bars, kanji button
// and the combo boxes, with exactly their engine calls.
#include "controls/actions.h"

#include <gtest/gtest.h>

#include "app/Module1.h"
#include "app/form1.h"
#include "replay_test_support.h"

using namespace testing_support;
using Actions = LoadedMainWindow;

TEST_F(Actions, ModeAndRangeOptionsSetTheirModeOrPreset) {
  // BPSK31, selected at start, sends its code again when clicked.
  const int codes[] = {0, 1, 8, 9, 16, 17};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(CallsAfter("click Option2 " + std::to_string(i)),
              (Calls{"fnSetRXPSKMode(" + std::to_string(codes[i]) + ",0)"}))
        << i;
    EXPECT_EQ(PskMode, codes[i]) << i;
  }
  const struct {
    int index, low, high, grid;
  } presets[] = {{3, 500, 3000, 25}, {0, 1200, 1800, 12}, {1, 1000, 2000, 20}, {2, 500, 2500, 20}};
  for (const auto& p : presets) {
    EXPECT_EQ(CallsAfter("click Option3 " + std::to_string(p.index)), Calls{}) << p.index;
    EXPECT_EQ(std::vector<int>({DisplayLowHz, DisplayHighHz, GridDivisions}),
              std::vector<int>({p.low, p.high, p.grid}))
        << p.index;
  }
  // An index without a mode or preset changes nothing.
  for (int i : {-1, 6, 100}) Option2_Click(i);
  for (int i : {-1, 4}) Option3_Click(i);
  EXPECT_TRUE(CallList(session.Snapshot()).empty());
  EXPECT_EQ(PskMode, 17);
  EXPECT_EQ(std::vector<int>({DisplayLowHz, DisplayHighHz, GridDivisions}),
            std::vector<int>({500, 2500, 20}));
}

TEST_F(Actions, TheSquelchRunsOppositeToItsScrollBarTheRawGainCallsNothing) {
  for (const auto& [value, level] : {std::pair{0, 99}, {99, 0}, {50, 49}}) {
    EXPECT_EQ(CallsAfter("set VScroll3 " + std::to_string(value)),
              (Calls{"fnSetSquelchThreshold(" + std::to_string(level) + ",0,0)"}))
        << value;
    EXPECT_EQ(SquelchLevel, level) << value;
  }
  EXPECT_EQ(CallsAfter("set VScroll2 200\nset VScroll2 17"), Calls{});
}

TEST_F(Actions, TheKanjiButtonTogglesModeAndCaption) {
  // Any value other than 1 counts as off: the click switches it on.
  for (const auto& [script, caption, mode] : {std::tuple{"click Command2", "漢字 OFF", 0},
                                              {"click Command2", "漢字 ON", 1},
                                              {"set KanjiMode 7\nclick Command2", "漢字 ON", 1}}) {
    EXPECT_EQ(CallsAfter(script), Calls{}) << script;
    EXPECT_EQ(Form1().Command2.TextOrCaption(), caption) << script;
    EXPECT_EQ(KanjiMode, mode) << script;
  }
}

TEST_F(Actions, EitherFftComboSendsBothValuesWith100Between) {
  EXPECT_EQ(CallsAfter("set Combo1 5"), (Calls{"fnSetFFTMode(5,100,1)"}));
  EXPECT_EQ(CallsAfter("set Combo2 40"), (Calls{"fnSetFFTMode(5,100,40)"}));
  // Picking the value already shown sends it again.
  EXPECT_EQ(
      CallsAfter("set Combo1 10\nset Combo2 90\nset Combo2 90"),
      (Calls{"fnSetFFTMode(10,100,40)", "fnSetFFTMode(10,100,90)", "fnSetFFTMode(10,100,90)"}));
}

TEST_F(Actions, ATypedFftValueOutOfRangeIsIgnoredAndTheLastGoodValueReturns) {
  // Before any pick the last good values are those sent at load.
  session.Run("set Combo1 junk");
  Combo1_Click();  // as if the box's own text were bad when it runs
  EXPECT_EQ(CallList(session.Snapshot()), (Calls{"fnSetFFTMode(3,100,1)"}));
  EXPECT_EQ(Form1().Combo1.Text(), "3");

  session.Run("set Combo1 7\nset Combo2 20");
  session.Snapshot();
  // The engine's ranges: smoothing 1..10, bias 1..90.
  const std::pair<const char*, const char*> cases[] = {
      {"Combo2", "abc"}, {"Combo2", "91"},  {"Combo2", "0"},   {"Combo2", ""},
      {"Combo1", "11"},  {"Combo1", "0.4"}, {"Combo1", "1e9"}, {"Combo2", "99999999999"}};
  for (const auto& [combo, typed] : cases) {
    const std::string other = std::string(combo) == "Combo1" ? "Combo2 20" : "Combo1 7";
    session.Run(std::string("set ") + combo + " \"" + typed + "\"");
    // Typing runs nothing; picking in the other box sends the good values.
    EXPECT_EQ(CallsAfter("set " + other), (Calls{"fnSetFFTMode(7,100,20)"})) << typed;
    EXPECT_EQ(Form1().Combo1.Text() + " " + Form1().Combo2.Text(), "7 20") << typed;
  }
  // A typed number in range is taken, rounded as numbers are (2.5 to 2).
  session.Run("set Combo2 \"2.5\"");
  EXPECT_EQ(CallsAfter("set Combo1 1"), (Calls{"fnSetFFTMode(1,100,2)"}));
}

TEST_F(Actions, Combo3SetsTheWaterfallGainWithoutAnEngineCall) {
  EXPECT_EQ(CallsAfter("set Combo3 1\nset Combo3 3"), Calls{});
  EXPECT_EQ(WaterfallGain, 3);
  // Out of the gain's range 1..5, or no number: the gain stays.
  for (const char* typed : {"6", "0", "five", "40000"}) {
    Form1().Combo3.SetText(typed);
    Combo3_Click();
    EXPECT_EQ(WaterfallGain, 3) << typed;
    EXPECT_EQ(Form1().Combo3.Text(), "3") << typed;
  }
  EXPECT_TRUE(CallList(session.Snapshot()).empty());
}
