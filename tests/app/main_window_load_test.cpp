// The main window's load and unload: start report, engine calls, start values.
#include <gtest/gtest.h>

#include "platform/screen/screen.h"
#include "replay_test_support.h"

using namespace testing_support;

namespace {

QJsonObject LoadWith(const std::string& script) {
  replay::Session session;
  session.Run(script + "\nload Form1");
  return session.Snapshot();
}
int ValueOf(const QJsonObject& s, const std::string& control) {
  return ControlOf(s, control)["value"].toInt();
}

}  // namespace

TEST(MainWindowLoad, ReportsTheStartResultInTheReceiveAreaAndLoadsOnWhateverItIs) {
  const std::pair<int, const char*> cases[] = {
      {0, "Card Opened "},
      {11, "Error Code : 11 Tried to read nd soundcard is not open "},
      {18, "Error Code : 18 Still somthing playing on soundcard "},
      {21, "Error Code : 21 Bad Device ID, Soundcard Not Present "},
      {5, ""},
      {-1, ""}};
  for (const auto& [code, report] : cases) {
    const QJsonObject s = LoadWith("engine start " + std::to_string(code));
    EXPECT_EQ(TextOf(s, "Term"), report) << code;
    EXPECT_EQ(CallList(s).back(), "fnSetFFTMode(3,100,1)") << code;  // the load ran to its end
  }
  // The default device reaches the engine as -1.
  EXPECT_EQ(CallsOf(LoadWith("set SoundCardID -1"), "fnStartSoundCard"),
            (Calls{"fnStartSoundCard(array,-1,1)=0"}));
}

TEST(MainWindowLoad, SendsTheInitialSettingsInOrder) {
  EXPECT_EQ(
      CallList(LoadWith("")),
      (Calls{"fnStartSoundCard(array,0,1)=0", "fnSetRXFrequency(1500,0,0)", "fnSetRXPSKMode(0,0)",
             "fnSetSquelchThreshold(0,0,0)", "fnGetRXFrequency(0)=1500",
             "fnSetRXFrequency(1500,0,0)", "fnSetAFCLimit(500,0)", "fnSetFFTMode(3,100,1)"}));
}

// Left open: a frequency the scroll bar cannot show leaves it at 1350; the load completes.
TEST(MainWindowLoad, TheEnginesFrequencyRetunesOnlyWhenItMovesTheScrollBar) {
  const std::pair<int, int> cases[] = {{1500, 1500},  {1350, 1350}, {100, 100},
                                       {3000, 3000},  {99, 1350},   {3001, 1350},
                                       {40000, 1350}, {-5, 1350},   {2147483647, 1350}};
  for (const auto& [hz, shown] : cases) {
    const QJsonObject s = LoadWith("engine freq " + std::to_string(hz));
    EXPECT_EQ(ValueOf(s, "VScroll1"), shown) << hz;
    EXPECT_EQ(TextOf(s, "txtRec"), std::to_string(shown)) << hz;
    Calls tuned{"fnSetRXFrequency(1500,0,0)"};
    if (shown != 1350) tuned.push_back("fnSetRXFrequency(" + std::to_string(shown) + ",0,0)");
    EXPECT_EQ(CallsOf(s, "fnSetRXFrequency"), tuned) << hz;
    EXPECT_EQ(CallList(s).back(), "fnSetFFTMode(3,100,1)") << hz;  // the load ran to its end
  }
}

TEST(MainWindowLoad, GivesSettingsAndControlsTheirStartValues) {
  const QJsonObject s = LoadWith("");
  const std::pair<const char*, long long> settings[] = {
      {"DisplayLowHz", 500}, {"DisplayHighHz", 2500}, {"GridDivisions", 20}, {"KanjiMode", 1},
      {"ImdBest", 9999},     {"ImdWorst", -9999},     {"ImdAverage", 0},     {"ImdCount", 0},
      {"WaterfallGain", 5},  {"ScopeSweepPos", 0},    {"AfcOn", 1},          {"PskMode", 0},
      {"SquelchLevel", 0},   {"ImdSum", 0},           {"SoundCardID", 0}};
  for (const auto& [name, value] : settings) EXPECT_EQ(SettingOf(s, name), value) << name;
  const std::pair<const char*, int> values[] = {
      {"Option2(0)", 1}, {"Option2(1)", 0}, {"Option2(2)", 0}, {"Option2(3)", 0},
      {"Option2(4)", 0}, {"Option2(5)", 0}, {"Option3(2)", 1}, {"ckRXAFC", 1},
      {"Check1", 0},     {"VScroll3", 99},  {"VScroll2", 1},   {"HScroll1", 1}};
  for (const auto& [name, value] : values) EXPECT_EQ(ValueOf(s, name), value) << name;
  const std::pair<const char*, const char*> texts[] = {
      {"Combo1", "3"},
      {"Combo2", "1"},
      {"Combo3", "5"},
      {"Command2", "漢字 ON"},
      {"txtIMD", "IMD"},
      {"Label2", "0 ppm"},
      {"Form1", "PSK Tonvista (PskEngine by Hollin)"}};
  for (const auto& [name, text] : texts) EXPECT_EQ(TextOf(s, name), text) << name;
  EXPECT_EQ(ControlOf(s, "Combo3")["list"].toArray(), (QJsonArray{"1", "2", "3", "4", "5"}));
  EXPECT_FALSE(ControlOf(s, "Picture4(1)")["visible"].toBool());
  // The 47 controls of the layout, the window itself and the red lamp.
  EXPECT_EQ(s["controls"].toObject().size(), 47 + 1 + 1);
  const std::pair<const char*, QJsonArray> geometry[] = {
      {"Picture2", {930, 1350, 9045, 1095}}, {"Picture5", {1350, 540, 8595, 405}},
      {"Picture1", {45, 1365, 870, 825}},    {"VScroll2", {8850, 0, 135, 1155}},
      {"Option3(1)", {210, 570, 1485, 195}}, {"lbCaption(7)", {2520, 240, 600, 315}},
      {"Picture4(0)", {690, 1410, 195, 195}}};
  for (const auto& [name, expected] : geometry) {
    const QJsonObject c = ControlOf(s, name);
    EXPECT_EQ((QJsonArray{c["left"], c["top"], c["width"], c["height"]}), expected) << name;
  }
}

// By the outer size, frame included, to the pixel (the control kit's tests
// cover small screens).
TEST(MainWindowLoad, CentresTheWindowOnTheScreen) {
  replay::Session session;
  screen::SetSizeOverride(20000, 15000);
  session.Run("load Form1");
  const QJsonObject f = ControlOf(session.Snapshot(), "Form1");
  EXPECT_NEAR(f["top"].toDouble(), (15000 - f["height"].toDouble()) / 2, 15);
  EXPECT_NEAR(f["left"].toDouble(), (20000 - f["width"].toDouble()) / 2, 15);
}

TEST(MainWindowUnload, StopsTheEngineAndGivesTheWindowItsProcedureBack) {
  replay::Session session;
  session.Run("load Form1");
  session.Snapshot();
  session.Run("unload\npost 2026 1 0");
  const QJsonObject s = session.Snapshot();
  EXPECT_EQ(CallList(s), (Calls{"fnStopSoundCard()"}));
  // The status notification went to the replaced procedure, which ignores it.
  EXPECT_EQ(SettingOf(s, "EngineStatus"), 0);
}
