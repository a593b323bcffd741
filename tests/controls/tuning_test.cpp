// Tuning by the operator: click-to-tune, the 1500 Hz shortcut, the tuning
// scroll bar with AFC on and off, and the AFC switch.
#include <gtest/gtest.h>

#include "app/Module1.h"
#include "app/form1.h"
#include "replay_test_support.h"

using namespace testing_support;
// A loaded main window: engine, txtRec and VScroll1 at 1500, AFC on.
using Tuning = LoadedMainWindow;

namespace {

std::string Tune(int hz) {
  return "fnSetRXFrequency(" + std::to_string(hz) + ",0,0)";
}

}  // namespace

TEST_F(Tuning, ClickToTuneRetunesInsideTheRangeAndOnItsEdgesOnly) {
  // Picture2 is 9045 wide; 500..2500 Hz gives 4.5225 twips per hertz.  The
  // fractional twips would land elsewhere if cut to whole ones.
  const std::pair<const char*, Calls> cases[] = {
      {"0", {Tune(500)}},     {"-2", {Tune(500)}},  // 499.56 rounds onto the edge
      {"-2.5", {}},           {"9045", {Tune(2500)}},   {"9047", {Tune(2500)}}, {"9047.9", {}},
      {"4522", {Tune(1500)}}, {"4522.5", {Tune(1500)}}, {"2.3", {Tune(501)}},
  };
  for (const auto& [x, calls] : cases) {
    EXPECT_EQ(CallsAfter(std::string("mousedown Picture2 ") + x + " 500.25"), calls) << x;
  }
  // Coordinates are plain decimals that fit single precision.
  const std::string refused[] = {"1e3",   "nan", "inf", "0x10",
                                 "4.5.1", ".",   "-",   "1" + std::string(40, '0')};
  for (const std::string& x : refused) {
    EXPECT_THROW(session.Run("mousedown Picture2 " + x + " 0"), replay::ScriptError) << x;
  }
  // The range presets move the edges: 1200..1800 over 9045 twips.
  EXPECT_EQ(CallsAfter("click Option3 0\nmousedown Picture2 0 0\nmousedown Picture2 9045 0"
                       "\nmousedown Picture2 -8 0"),
            (Calls{Tune(1200), Tune(1800)}));
}

TEST_F(Tuning, ClickToTuneTakesAnyButtonRoundsHalvesToEvenAndNeedsABoxWidth) {
  // 8000.4 twips round to 8000: exactly 4 twips per hertz over 500..2500.
  forms::PictureBox& box = Form1().Picture2;
  box.SetWidth(8000.4f);
  for (int button : {1, 2, 4}) box.FireMouseDown(button, 0, 2, 0);  // 500.5
  box.FireMouseDown(1, 1, 6, 0);                                    // 501.5
  EXPECT_EQ(CallList(session.Snapshot()), (Calls{Tune(500), Tune(500), Tune(500), Tune(502)}));
  // Left open: a box without width (or less than half a twip) does nothing.
  box.SetWidth(0);
  for (float x : {0.f, 10.f, -10.f}) box.FireMouseDown(1, 0, x, 0);
  box.SetWidth(0.4f);
  box.FireMouseDown(1, 0, 0, 0);
  EXPECT_TRUE(CallList(session.Snapshot()).empty());
}

TEST_F(Tuning, TheScrollBarRetunesOnlyWithAfcOffClicksAndTheShortcutLeaveTxtRec) {
  // AFC on: the double click retunes, the scroll bar only moves txtRec.
  EXPECT_EQ(CallsAfter("dblclick txtRec\nset VScroll1 1600"), Calls{Tune(1500)});
  EXPECT_EQ(Form1().txtRec.Text(), "1600");
  EXPECT_EQ(CallsAfter("click ckRXAFC"), (Calls{"fnSetAFCLimit(0,0)"}));
  EXPECT_EQ(CallsAfter("set VScroll1 3000\nset VScroll1 1200"), (Calls{Tune(3000), Tune(1200)}));
  // AFC off: a click or double click retunes but leaves txtRec and VScroll1.
  EXPECT_EQ(CallsAfter("mousedown Picture2 6784 0\ndblclick txtRec"),
            (Calls{Tune(2000), Tune(1500)}));
  EXPECT_EQ(Form1().txtRec.Text(), "1200");
  EXPECT_EQ(Form1().VScroll1.Value(), 1200);
  // The same scroll value again changes nothing and sends nothing.
  EXPECT_EQ(CallsAfter("set VScroll1 1200"), Calls{});
}

TEST_F(Tuning, SwitchingAfcOnSetsTheLimitThenTunesToTxtRecOffSetsNoLimit) {
  session.Run("click ckRXAFC\nset VScroll1 1750");
  EXPECT_EQ(AfcOn, 0);
  session.Snapshot();
  EXPECT_EQ(CallsAfter("click ckRXAFC"), (Calls{"fnSetAFCLimit(500,0)", Tune(1750)}));
  EXPECT_EQ(AfcOn, 1);
  // A typed frequency is read as a number would be: blanks around it are
  // allowed, a half goes to the even neighbour.
  EXPECT_EQ(CallsAfter("click ckRXAFC\nset txtRec \" 1500.5 \"\nclick ckRXAFC"),
            (Calls{"fnSetAFCLimit(0,0)", "fnSetAFCLimit(500,0)", Tune(1500)}));
  // A greyed box counts as on.
  session.Run("set ckRXAFC 0");
  session.Snapshot();
  EXPECT_EQ(CallsAfter("set ckRXAFC 2"), (Calls{"fnSetAFCLimit(500,0)", Tune(1500)}));
}

// Left open: txtRec holding no number (or none that fits 32 bits) when AFC
// is switched on: the engine keeps its frequency; the limit and AfcOn are
// still set.
TEST_F(Tuning, SwitchingAfcOnWithANonNumberInTxtRecKeepsTheEnginesFrequency) {
  for (const char* text : {"abc", "", "0x5DC", "1e10"}) {
    EXPECT_EQ(CallsAfter("click ckRXAFC"), (Calls{"fnSetAFCLimit(0,0)"})) << text;
    EXPECT_EQ(AfcOn, 0) << text;
    EXPECT_EQ(CallsAfter(std::string("set txtRec \"") + text + "\"\nclick ckRXAFC"),
              (Calls{"fnSetAFCLimit(500,0)"}))
        << text;
    EXPECT_EQ(AfcOn, 1) << text;
  }
}
