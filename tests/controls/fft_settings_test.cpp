// The FFT's smoothing and bias (Combo1, Combo2) and the waterfall gain
// (Combo3): picked values reach the engine or the waterfall; typed texts that
// are no number in range are ignored and the last good value comes back.
#include <gtest/gtest.h>

#include "app/Module1.h"
#include "app/form1.h"
#include "controls/actions.h"
#include "replay_test_support.h"

using namespace testing_support;
using Calls = std::vector<std::string>;

namespace {

struct FftSettings : LoadedMainWindow {};

}  // namespace

TEST_F(FftSettings, EitherComboSendsBothValuesWith100Between) {
  EXPECT_EQ(CallsAfter("set Combo1 5"), (Calls{"fnSetFFTMode(5,100,1)"}));
  EXPECT_EQ(CallsAfter("set Combo2 40"), (Calls{"fnSetFFTMode(5,100,40)"}));
  EXPECT_EQ(CallsAfter("set Combo1 10\nset Combo2 90"),
            (Calls{"fnSetFFTMode(10,100,40)", "fnSetFFTMode(10,100,90)"}));
  // Picking the value already shown sends it again.
  EXPECT_EQ(CallsAfter("set Combo2 90"), (Calls{"fnSetFFTMode(10,100,90)"}));
}

TEST_F(FftSettings, ATypedTextThatIsNoValueInRangeIsIgnoredAndTheLastGoodValueReturns) {
  session.Run("set Combo1 7\nset Combo2 20");
  session.Snapshot();
  // The engine's ranges: smoothing 1..10, bias 1..90.
  const struct {
    const char* combo;
    const char* typed;
  } cases[] = {{"Combo2", "abc"}, {"Combo2", "91"},  {"Combo2", "0"},          {"Combo2", ""},
               {"Combo2", "-5"},  {"Combo1", "11"},  {"Combo1", "0.4"},        {"Combo1", "x3"},
               {"Combo1", "1e9"}, {"Combo1", "3 4"}, {"Combo2", "99999999999"}};
  for (const auto& c : cases) {
    const std::string other = std::string(c.combo) == "Combo1" ? "Combo2 20" : "Combo1 7";
    session.Run(std::string("set ") + c.combo + " \"" + c.typed + "\"");
    // Typing runs nothing; picking in the other box sends the good values.
    EXPECT_EQ(CallsAfter("set " + other), (Calls{"fnSetFFTMode(7,100,20)"})) << c.typed;
    const QJsonObject s = session.Snapshot();
    EXPECT_EQ(TextOf(s, "Combo1"), "7") << c.typed;
    EXPECT_EQ(TextOf(s, "Combo2"), "20") << c.typed;
  }
  // A typed number in range is taken, rounded as numbers are (2.5 to 2).
  session.Run("set Combo2 \"2.5\"");
  EXPECT_EQ(CallsAfter("set Combo1 1"), (Calls{"fnSetFFTMode(1,100,2)"}));
  EXPECT_EQ(SettingOf(session.Snapshot(), "FftBias"), 2);
}

TEST_F(FftSettings, BeforeAnyPickTheLastGoodValuesAreThoseSentAtLoad) {
  session.Run("set Combo1 junk");
  Combo1_Click();  // as if the box's own text were bad when it runs
  EXPECT_EQ(CallList(session.Snapshot()), (Calls{"fnSetFFTMode(3,100,1)"}));
  EXPECT_EQ(Form1().Combo1.Text(), "3");
}

TEST_F(FftSettings, Combo3SetsTheWaterfallGainWithoutAnEngineCall) {
  EXPECT_EQ(CallsAfter("set Combo3 1"), Calls{});
  EXPECT_EQ(SettingOf(session.Snapshot(), "WaterfallGain"), 1);
  session.Run("set Combo3 3");
  EXPECT_EQ(WaterfallGain, 3);
  // Out of the gain's range 1..5, or no number: the gain stays.
  for (const char* typed : {"6", "0", "-1", "five", "40000"}) {
    Form1().Combo3.SetText(typed);
    Combo3_Click();
    EXPECT_EQ(WaterfallGain, 3) << typed;
    EXPECT_EQ(Form1().Combo3.Text(), "3") << typed;
  }
  EXPECT_TRUE(CallList(session.Snapshot()).empty());
}
