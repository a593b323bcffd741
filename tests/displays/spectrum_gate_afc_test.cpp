// The "off" box that suspends the spectrum and waterfall, the tuning scroll
// bar following the engine under AFC, and a frequency box that holds no
// number.
#include <gtest/gtest.h>

#include "app/Module1.h"
#include "app/form1.h"
#include "replay_test_support.h"

using namespace testing_support;
using Calls = std::vector<std::string>;

namespace {

struct SpectrumControls : ::testing::Test {
  void SetUp() override {
    session.Run("load Form1");
    session.Snapshot();  // the load's engine calls are not this test's
  }
  QJsonObject Notify(const std::string& script = "") {
    session.Run(script + "\npost 2024 0 0");
    return session.Snapshot();
  }
  // The x of each yellow line of the spectrum box.
  static std::vector<double> CursorXs(const QJsonObject& s) {
    std::vector<double> out;
    for (const auto& value : DrawOf(s, "Picture2")) {
      const QJsonObject op = value.toObject();
      if (op["rgb"].toArray() == QJsonArray{255, 255, 0}) out.push_back(op["x1"].toDouble());
    }
    return out;
  }
  replay::Session session;
};

}  // namespace

TEST_F(SpectrumControls, OffTickedFetchesNothingDrawsNothingAndLeavesTheScrollBarAndPhase) {
  const QJsonObject before = Notify("engine fft 30\nengine freq 1600");
  ASSERT_EQ(WaterfallPhase, 1);
  ASSERT_EQ(Form1().VScroll1.Value(), 1600);

  for (int run = 0; run < 3; ++run) {
    const QJsonObject s = Notify("set Check1 1\nengine fft 70\nengine freq 1800");
    EXPECT_EQ(CallsOf(s, "fnGetFFTData"), Calls{});
    EXPECT_EQ(CallsOf(s, "fnGetRXFrequency"), Calls{});
    EXPECT_EQ(DrawOf(s, "Picture2"), DrawOf(before, "Picture2"));
    EXPECT_EQ(DrawOf(s, "Picture7"), DrawOf(before, "Picture7"));
    EXPECT_EQ(ControlOf(s, "VScroll1")["value"].toInt(), 1600);
    EXPECT_EQ(TextOf(s, "txtRec"), "1600");
    EXPECT_EQ(WaterfallPhase, 1);
  }

  // Unticked, the next notification draws again; the waterfall's alternation
  // resumes where it stood (this run only turns the phase).
  QJsonObject s = Notify("set Check1 0");
  EXPECT_EQ(CallsOf(s, "fnGetFFTData"), Calls{"fnGetFFTData(array,128,640)"});
  EXPECT_EQ(ControlOf(s, "VScroll1")["value"].toInt(), 1800);
  EXPECT_EQ(WaterfallPhase, 0);
  EXPECT_EQ(DrawOf(s, "Picture7"), DrawOf(before, "Picture7"));

  // Greyed (2) is not ticked: the routine runs.
  s = Notify("set Check1 2");
  EXPECT_EQ(CallsOf(s, "fnGetFFTData").size(), 1u);
  EXPECT_EQ(WaterfallPhase, 1);
}

TEST_F(SpectrumControls, UnderAfcTheScrollBarFollowsTheEngineBeforeTheCursorIsDrawn) {
  const QJsonObject s = Notify("engine freq 1700");
  EXPECT_EQ(CallsOf(s, "fnGetRXFrequency"), Calls{"fnGetRXFrequency(0)=1700"});
  EXPECT_EQ(ControlOf(s, "VScroll1")["value"].toInt(), 1700);
  EXPECT_EQ(TextOf(s, "txtRec"), "1700");
  // The change handler does not retune the engine under AFC.
  EXPECT_EQ(CallsOf(s, "fnSetRXFrequency"), Calls{});
  // 1700 Hz at 500..2500: Int((435.2 + 0.5 - 128) * 9045 / 512).
  EXPECT_EQ(CursorXs(s), std::vector<double>{5435});
  // The fetch comes before the engine's frequency is asked for, between the
  // vector scope's calls and the raw scope's.
  EXPECT_EQ(CallList(s), (Calls{"fnGetVectorData(array,0)", "fnGetSignalLevel(0)=0",
                                "fnGetFFTData(array,128,640)", "fnGetRXFrequency(0)=1700",
                                "fnGetRawData(array,0,array)"}));
}

TEST_F(SpectrumControls, WithAfcOffTheEngineIsNotAskedAndTheScrollBarKeepsTheOperatorsValue) {
  session.Run("set AfcOn 0\nset VScroll1 1200");  // AFC off, then the operator tunes
  ASSERT_EQ(AfcOn, 0);
  session.Snapshot();
  const QJsonObject s = Notify("engine freq 2000");
  EXPECT_EQ(CallsOf(s, "fnGetRXFrequency"), Calls{});
  EXPECT_EQ(ControlOf(s, "VScroll1")["value"].toInt(), 1200);
  EXPECT_EQ(TextOf(s, "txtRec"), "1200");
  EXPECT_EQ(CursorXs(s), std::vector<double>{3174});  // Int((307.2 + 0.5 - 128) * 9045 / 512)
}

TEST_F(SpectrumControls, AnEngineFrequencyTheScrollBarCannotTakeLeavesItAndTheCursorAtTheBox) {
  for (int hz : {99, 3001, 32768, 70000, -5, -2147483647}) {
    const QJsonObject s = Notify("engine freq " + std::to_string(hz));
    EXPECT_EQ(CallsOf(s, "fnGetRXFrequency").size(), 1u) << hz;
    EXPECT_EQ(ControlOf(s, "VScroll1")["value"].toInt(), 1500) << hz;
    EXPECT_EQ(TextOf(s, "txtRec"), "1500") << hz;
    EXPECT_EQ(CursorXs(s), std::vector<double>{4531}) << hz;
  }
}

TEST_F(SpectrumControls, AFrequencyBoxWithoutANumberDrawsNoCursorButEverythingElse) {
  session.Run("set AfcOn 0");  // AFC off: nothing rewrites the box
  for (const char* text : {"", "abc", "15OO", "1500 Hz", "&H5DC"}) {
    const QJsonObject s = Notify(std::string("set txtRec \"") + text + "\"");
    EXPECT_EQ(CursorXs(s), std::vector<double>{}) << text;
    EXPECT_EQ(DrawOf(s, "Picture2").size(), 1 + 21 + 511) << text;
  }
  // A fractional number is a frequency: Int((384.128 + 0.5 - 128) * XS).
  const QJsonObject s = Notify("set txtRec \" 1500.5 \"");
  EXPECT_EQ(CursorXs(s), std::vector<double>{4533});
  // The box's own numbers come back with the next tuning.
  EXPECT_EQ(CursorXs(Notify("set VScroll1 1501\nset VScroll1 1500")), std::vector<double>{4531});
}
