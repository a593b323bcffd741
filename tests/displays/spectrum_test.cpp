// The spectrum box (Picture2) after a display notification: fetch, grid,
// trace and cursor; the "off" box; the tuning scroll bar under AFC.
#include <gtest/gtest.h>

#include "app/Module1.h"
#include "app/form1.h"
#include "replay_test_support.h"

using namespace testing_support;
using Calls = std::vector<std::string>;
using forms::DrawOp;

namespace {

constexpr forms::Rgb kGrid = forms::RGB(0, 80, 0), kTrace = forms::RGB(0, 255, 255),
                     kCursor = forms::RGB(255, 255, 0);

// The loaded main window: 500..2500 Hz, 20 divisions, AFC on, engine at 1500 Hz.
struct Spectrum : LoadedMainWindow {
  // Runs the script, then one display notification; what it called.
  QJsonObject Notify(const std::string& script = "") {
    session.Run(script + "\npost 2024 0 0");
    return session.Snapshot();
  }
  QJsonObject Draw(int low, int high, int divisions, const std::string& script = "") {
    DisplayLowHz = static_cast<int16_t>(low);
    DisplayHighHz = static_cast<int16_t>(high);
    GridDivisions = static_cast<int16_t>(divisions);
    return Notify(script);
  }
  static std::vector<DrawOp> Lines(forms::Rgb colour) {
    return OpsOf(Form1().Picture2.Record(), DrawOp::Kind::Line, colour);
  }
  static std::vector<float> CursorXs() {
    std::vector<float> xs;
    for (const DrawOp& op : Lines(kCursor)) xs.push_back(op.x1);
    return xs;
  }
};

// A value as the box received it.
float F(double v) {
  return static_cast<float>(v);
}
std::string LineText(double x1, double y1, double x2, double y2, forms::Rgb rgb) {
  return Describe(DrawOp{
      .kind = DrawOp::Kind::Line, .x1 = F(x1), .y1 = F(y1), .x2 = F(x2), .y2 = F(y2), .rgb = rgb});
}

}  // namespace

TEST_F(Spectrum, GridLinesAccumulateTheStepUntilPastTheRightEdge) {
  struct Case {
    int low, high, divisions;
    size_t lines;
    double step;
    bool on_right_edge;
  };
  for (const Case& c :
       {Case{500, 2500, 20, 21, 452.25, true}, Case{1200, 1800, 12, 13, 753.75, true},
        Case{500, 3000, 25, 25, 361.8, false}}) {
    Draw(c.low, c.high, c.divisions);
    const auto grid = Lines(kGrid);
    ASSERT_EQ(grid.size(), c.lines) << c.low << ".." << c.high;
    double x = 0;
    for (const DrawOp& line : grid) {
      EXPECT_EQ(Describe(line), LineText(x, 0, x, 1095, kGrid));
      x += c.step;
    }
    EXPECT_EQ(grid.back().x1 == 9045, c.on_right_edge) << grid.back().x1;
  }
}

TEST_F(Spectrum, TraceHasNMinusOneSegmentsFromXsToTheRightEdge) {
  struct Case {
    int low, high, first_bin, last_bin;
  };
  for (const Case& c : {Case{500, 2500, 128, 640}, Case{1200, 1800, 307, 460},
                        Case{1000, 2000, 256, 512}, Case{500, 3000, 128, 768}}) {
    const QJsonObject s = Draw(c.low, c.high, 20);
    EXPECT_EQ(CallsOf(s, "fnGetFFTData"),
              Calls{"fnGetFFTData(array," + std::to_string(c.first_bin) + "," +
                    std::to_string(c.last_bin) + ")"});
    const int n = c.last_bin - c.first_bin;
    const double xs = 9045.0 / n;
    const auto trace = Lines(kTrace);
    ASSERT_EQ(trace.size(), static_cast<size_t>(n - 1)) << c.low << ".." << c.high;
    for (size_t i = 1; i <= trace.size(); ++i) {
      // An all-zero spectrum lies along the bottom edge.
      ASSERT_EQ(Describe(trace[i - 1]), LineText(i * xs, 1095, (i + 1) * xs, 1095, kTrace));
    }
    EXPECT_EQ(trace.back().x2, F(9045));
  }
}

TEST_F(Spectrum, LevelsMapFromTheBottomEdgeToTheTopAndBinLastBinIsNotDrawn) {
  // 500..2500: bins 128..640, XS = 17.666015625, YS = 10.95.
  Draw(500, 2500, 20, "engine fft 384=100 385=50 128=7 640=99 641=80");
  const auto trace = Lines(kTrace);
  ASSERT_EQ(trace.size(), 511u);
  // Segment i runs from bin 127 + i to bin 128 + i: bin 384 ends segment 256.
  EXPECT_EQ(trace[0].y1, F(1095 - 7 * 10.95));
  EXPECT_EQ(trace[255].x2, F(257 * 17.666015625));
  EXPECT_NEAR(trace[255].x2, 4540.2, 0.05);
  EXPECT_EQ(trace[255].y2, 0);                     // level 100 on the top edge
  EXPECT_EQ(trace[256].y2, F(1095 - 50 * 10.95));  // level 50 at half height
  EXPECT_NEAR(trace[256].y2, 547.5, 1e-3);
  EXPECT_EQ(trace.back().y1, 1095);  // bin 639 ...
  EXPECT_EQ(trace.back().y2, 1095);  // ... to bin 640, fetched (level 99) but not drawn
  for (const DrawOp& line : trace) EXPECT_NE(line.y2, F(1095 - 99 * 10.95));
}

TEST_F(Spectrum, AClearThenGridTraceAndTheCursorAtIntOfTheFrequencysPosition) {
  const QJsonObject s = Draw(500, 2500, 20);
  const auto& ops = Form1().Picture2.Record();
  ASSERT_EQ(ops.size(), 1u + 21 + 511 + 1);
  EXPECT_EQ(ops[0].kind, DrawOp::Kind::Cls);
  for (size_t i = 1; i < ops.size(); ++i) {
    EXPECT_EQ(ops[i].rgb, i <= 21 ? kGrid : i <= 532 ? kTrace : kCursor) << i;
  }
  // 1500 Hz at 500..2500: (384 + 0.5 - 128) * 17.666015625 = 4531.33.
  EXPECT_EQ(Describe(ops.back()), LineText(4531, 0, 4531, 1095, kCursor));
  // The snapshot shows the same operations.
  EXPECT_EQ(Describe(DrawOf(s, "Picture2")), Describe(ops));
  // With AFC off txtRec stays as set.  1350 Hz at 1200..1800: Int(2311.5);
  // outside the range the cursor is drawn beyond the box's edge.
  AfcOn = 0;
  for (const auto& [text, x] : {std::pair{"1350", 2311.f}, {"3000", 27282.f}}) {
    Form1().txtRec.SetText(text);
    Draw(1200, 1800, 12);
    EXPECT_EQ(CursorXs(), std::vector<float>{x}) << text;
  }
}

TEST_F(Spectrum, RendersTheTraceCursorAndGridInTheirColoursOverTheBackground) {
  Draw(500, 2500, 20, "engine fft 60");
  forms::PictureBox& box = Form1().Picture2;
  EXPECT_EQ(box.PixelAt(3000, 1095 - 60 * 10.95), kTrace);
  EXPECT_EQ(box.PixelAt(4531, 200), kCursor);
  EXPECT_EQ(box.PixelAt(0, 200), kGrid);
  EXPECT_EQ(box.PixelAt(3000, 900), forms::RGB(0, 0, 128));
}

TEST_F(Spectrum, OffTickedFetchesNothingDrawsNothingAndLeavesTheScrollBarAndPhase) {
  const QJsonObject before = Notify("engine fft 30\nengine freq 1600");
  ASSERT_EQ(WaterfallPhase, 1);
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

TEST_F(Spectrum, UnderAfcTheScrollBarFollowsTheEngineBeforeTheCursorIsDrawn) {
  const QJsonObject s = Notify("engine freq 1700");
  EXPECT_EQ(ControlOf(s, "VScroll1")["value"].toInt(), 1700);
  EXPECT_EQ(TextOf(s, "txtRec"), "1700");
  // 1700 Hz at 500..2500: Int((435.2 + 0.5 - 128) * 9045 / 512).
  EXPECT_EQ(CursorXs(), std::vector<float>{5435});
  // The fetch comes before the engine's frequency is asked for, between the
  // vector scope's calls and the raw scope's; the change handler does not
  // retune the engine under AFC.
  EXPECT_EQ(CallList(s), (Calls{"fnGetVectorData(array,0)", "fnGetSignalLevel(0)=0",
                                "fnGetFFTData(array,128,640)", "fnGetRXFrequency(0)=1700",
                                "fnGetRawData(array,0,array)"}));
}

TEST_F(Spectrum, WithAfcOffTheEngineIsNotAskedAndTheScrollBarKeepsTheOperatorsValue) {
  session.Run("set AfcOn 0\nset VScroll1 1200");  // AFC off, then the operator tunes
  session.Snapshot();
  const QJsonObject s = Notify("engine freq 2000");
  EXPECT_EQ(CallsOf(s, "fnGetRXFrequency"), Calls{});
  EXPECT_EQ(ControlOf(s, "VScroll1")["value"].toInt(), 1200);
  EXPECT_EQ(TextOf(s, "txtRec"), "1200");
  EXPECT_EQ(CursorXs(), std::vector<float>{3174});  // Int((307.2 + 0.5 - 128) * 9045 / 512)
}

// Left open: an engine frequency the scroll bar cannot take (outside
// 100..3000 or beyond 16 bits) leaves it, txtRec and the cursor alone.
TEST_F(Spectrum, AnEngineFrequencyTheScrollBarCannotTakeLeavesItAndTheCursorAlone) {
  for (int hz : {99, 3001, 32768, 70000, -5, -2147483647}) {
    const QJsonObject s = Notify("engine freq " + std::to_string(hz));
    EXPECT_EQ(CallsOf(s, "fnGetRXFrequency").size(), 1u) << hz;
    EXPECT_EQ(ControlOf(s, "VScroll1")["value"].toInt(), 1500) << hz;
    EXPECT_EQ(TextOf(s, "txtRec"), "1500") << hz;
    EXPECT_EQ(CursorXs(), std::vector<float>{4531}) << hz;
  }
}

// Left open: txtRec holding no number draws no cursor, but everything else.
TEST_F(Spectrum, AFrequencyBoxWithoutANumberDrawsNoCursorButEverythingElse) {
  session.Run("set AfcOn 0");  // AFC off: nothing rewrites the box
  for (const char* text : {"", "abc", "15OO", "1500 Hz", "&H5DC"}) {
    Notify(std::string("set txtRec \"") + text + "\"");
    EXPECT_EQ(CursorXs(), std::vector<float>{}) << text;
    EXPECT_EQ(Form1().Picture2.Record().size(), 1u + 21 + 511) << text;
  }
  // A fractional number is a frequency: Int((384.128 + 0.5 - 128) * XS).
  Notify("set txtRec \" 1500.5 \"");
  EXPECT_EQ(CursorXs(), std::vector<float>{4533});
  // The box's own numbers come back with the next tuning.
  Notify("set VScroll1 1501\nset VScroll1 1500");
  EXPECT_EQ(CursorXs(), std::vector<float>{4531});
}
