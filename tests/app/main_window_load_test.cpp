// The main window's load and unload against the scripted engine: the start
// report, the initial engine settings in order, the tuning scroll bar at
// load, the settings and design values, and the unload.
#include <gtest/gtest.h>

#include "replay_test_support.h"

using namespace testing_support;
using Calls = std::vector<std::string>;

namespace {

QJsonObject LoadWith(const std::string& engine_answers) {
  replay::Session session;
  session.Run(engine_answers + "\nload Form1");
  return session.Snapshot();
}

}  // namespace

TEST(MainWindowLoad, ReportsTheStartResultInTheReceiveArea) {
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
    // Whatever the result, the rest of the load runs.
    EXPECT_EQ(CallsOf(s, "fnSetFFTMode").size(), 1u) << code;
    EXPECT_TRUE(ControlOf(s, "Picture4(0)")["visible"].toBool()) << code;
    EXPECT_EQ(SettingOf(s, "AfcOn"), 1) << code;
  }
}

TEST(MainWindowLoad, SendsTheInitialSettingsInOrderAndRetunesWhenTheEngineMovedTheScrollBar) {
  const QJsonObject s = LoadWith("");
  EXPECT_EQ(CallList(s), (Calls{"fnStartSoundCard(array,0,1)=0", "fnSetRXFrequency(1500,0,0)",
                                "fnSetRXPSKMode(0,0)", "fnSetSquelchThreshold(0,0,0)",
                                "fnGetRXFrequency(0)=1500", "fnSetRXFrequency(1500,0,0)",
                                "fnSetAFCLimit(500,0)", "fnSetFFTMode(3,100,1)"}));
  EXPECT_EQ(ControlOf(s, "VScroll1")["value"].toInt(), 1500);
  EXPECT_EQ(TextOf(s, "txtRec"), "1500");
}

TEST(MainWindowLoad, AnEngineAt1350LeavesTheScrollBarAndSendsNoSecondFrequency) {
  const QJsonObject s = LoadWith("engine freq 1350");
  EXPECT_EQ(CallsOf(s, "fnSetRXFrequency"), (Calls{"fnSetRXFrequency(1500,0,0)"}));
  EXPECT_EQ(ControlOf(s, "VScroll1")["value"].toInt(), 1350);
  EXPECT_EQ(TextOf(s, "txtRec"), "1350");
}

TEST(MainWindowLoad, AFrequencyTheScrollBarCannotShowLeavesItAndTheLoadCompletes) {
  for (int hz : {99, 3001, 40000, -5, 2147483647}) {
    const QJsonObject s = LoadWith("engine freq " + std::to_string(hz));
    EXPECT_EQ(ControlOf(s, "VScroll1")["value"].toInt(), 1350) << hz;
    EXPECT_EQ(TextOf(s, "txtRec"), "1350") << hz;
    EXPECT_EQ(CallsOf(s, "fnSetRXFrequency").size(), 1u) << hz;
    EXPECT_EQ(CallsOf(s, "fnSetFFTMode").size(), 1u) << hz;
    EXPECT_EQ(SettingOf(s, "AfcOn"), 1) << hz;
  }
  // The ends of the scroll bar's range are shown.
  EXPECT_EQ(ControlOf(LoadWith("engine freq 100"), "VScroll1")["value"].toInt(), 100);
  EXPECT_EQ(ControlOf(LoadWith("engine freq 3000"), "VScroll1")["value"].toInt(), 3000);
}

TEST(MainWindowLoad, TheDefaultDeviceReachesTheEngineAsMinusOne) {
  replay::Session session;
  session.Run("set SoundCardID -1\nload Form1");
  EXPECT_EQ(CallsOf(session.Snapshot(), "fnStartSoundCard"),
            (Calls{"fnStartSoundCard(array,-1,1)=0"}));
}

TEST(MainWindowLoad, GivesTheSettingsTheirWorkingValues) {
  const QJsonObject s = LoadWith("");
  const std::pair<const char*, long long> expected[] = {
      {"DisplayLowHz", 500}, {"DisplayHighHz", 2500}, {"GridDivisions", 20}, {"KanjiMode", 1},
      {"ImdBest", 9999},     {"ImdWorst", -9999},     {"ImdAverage", 0},     {"ImdCount", 0},
      {"WaterfallGain", 5},  {"ScopeSweepPos", 0},    {"AfcOn", 1},          {"PskMode", 0},
      {"SquelchLevel", 0},   {"ImdSum", 0},           {"SoundCardID", 0}};
  for (const auto& [name, value] : expected) EXPECT_EQ(SettingOf(s, name), value) << name;
}

TEST(MainWindowLoad, TheControlsShowTheirStartState) {
  const QJsonObject s = LoadWith("");
  QJsonArray combo3 = ControlOf(s, "Combo3")["list"].toArray();
  ASSERT_EQ(combo3.size(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(combo3[i].toString(), QString::number(i + 1));
  EXPECT_EQ(TextOf(s, "Combo1"), "3");
  EXPECT_EQ(TextOf(s, "Combo2"), "1");
  EXPECT_EQ(TextOf(s, "Combo3"), "5");
  EXPECT_EQ(ControlOf(s, "Option2(0)")["value"].toInt(), 1);
  EXPECT_EQ(ControlOf(s, "Option3(2)")["value"].toInt(), 1);
  for (int i : {1, 2, 3, 4, 5})
    EXPECT_EQ(ControlOf(s, "Option2(" + std::to_string(i) + ")")["value"].toInt(), 0);
  EXPECT_EQ(ControlOf(s, "ckRXAFC")["value"].toInt(), 1);
  EXPECT_EQ(ControlOf(s, "Check1")["value"].toInt(), 0);
  EXPECT_EQ(ControlOf(s, "VScroll3")["value"].toInt(), 99);
  EXPECT_EQ(ControlOf(s, "VScroll2")["value"].toInt(), 1);
  EXPECT_EQ(ControlOf(s, "HScroll1")["value"].toInt(), 1);
  EXPECT_EQ(TextOf(s, "Command2"), "漢字 ON");
  EXPECT_EQ(TextOf(s, "txtIMD"), "IMD");
  EXPECT_EQ(TextOf(s, "Label2"), "0 ppm");
  EXPECT_EQ(TextOf(s, "Form1"), "PSK Tonvista (PskEngine by Hollin)");
  EXPECT_FALSE(ControlOf(s, "Picture4(1)")["visible"].toBool());
}

TEST(MainWindowLoad, EveryControlOfTheLayoutExistsWithItsDesignGeometry) {
  const QJsonObject s = LoadWith("");
  const QJsonObject controls = s["controls"].toObject();
  // The 47 controls of the layout, the window itself and the red lamp.
  EXPECT_EQ(controls.size(), 47 + 1 + 1);
  struct Geometry {
    const char* name;
    double left, top, width, height;
  };
  for (const Geometry& g :
       {Geometry{"Picture2", 930, 1350, 9045, 1095}, Geometry{"Picture5", 1350, 540, 8595, 405},
        Geometry{"Picture1", 45, 1365, 870, 825}, Geometry{"VScroll2", 8850, 0, 135, 1155},
        Geometry{"Option3(1)", 210, 570, 1485, 195}, Geometry{"lbCaption(7)", 2520, 240, 600, 315},
        Geometry{"Picture4(0)", 690, 1410, 195, 195}}) {
    const QJsonObject c = ControlOf(s, g.name);
    EXPECT_EQ(c["left"].toDouble(), g.left) << g.name;
    EXPECT_EQ(c["top"].toDouble(), g.top) << g.name;
    EXPECT_EQ(c["width"].toDouble(), g.width) << g.name;
    EXPECT_EQ(c["height"].toDouble(), g.height) << g.name;
  }
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
