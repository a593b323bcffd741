// The spectrum box (Picture2) after a display notification: fetch, grid,
// trace and cursor; the "off" box; the tuning scroll bar under AFC.
#include <gtest/gtest.h>

#include "app/Module1.h"
#include "app/form1.h"
#include "display_test_support.h"

using namespace testing_support;
using forms::DrawOp;

namespace {

// The loaded main window: 500..2500 Hz, 20 divisions, AFC on, engine at 1500 Hz.
struct Spectrum : DisplayTest {
  QJsonObject Draw(int low, int high, int divisions, const std::string& script = "") {
    Range(low, high, divisions);
    return Notify(script);
  }
  static std::vector<DrawOp> Lines(forms::Rgb colour) { return LinesIn(Form1().Picture2, colour); }
  static std::vector<float> CursorXs() {
    std::vector<float> xs;
    for (const DrawOp& op : Lines(kCursor)) xs.push_back(op.x1);
    return xs;
  }
};

}  // namespace

// The fetched bins follow the range; grid lines every width / divisions while within the
// width (the last on the right edge, or short of it when the steps do not add up to it); N - 1
// trace segments to the right edge, an all-zero spectrum along the bottom.
TEST_F(Spectrum, FetchGridAndTraceFollowTheRange) {
  const struct {
    int low, high, divisions;
    const char* fetch;
    size_t grid_lines;
    float step, last_grid_x;
    size_t segments;
  } cases[] = {{500, 2500, 20, "fnGetFFTData(array,128,640)", 21, 452.25f, 9045, 511},
               {1200, 1800, 12, "fnGetFFTData(array,307,460)", 13, 753.75f, 9045, 152},
               {500, 3000, 25, "fnGetFFTData(array,128,768)", 25, 361.8f, 8683.2f, 639}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.low);
    EXPECT_EQ(CallsOf(Draw(c.low, c.high, c.divisions), "fnGetFFTData"), Calls{c.fetch});
    const auto grid = Lines(kGrid);
    ASSERT_EQ(grid.size(), c.grid_lines);
    EXPECT_EQ(Describe(grid[0]), LineText(0, 0, 0, 1095, kGrid));
    EXPECT_NEAR(grid[1].x1, c.step, 1e-3);
    EXPECT_NEAR(grid.back().x1, c.last_grid_x, 1e-2);
    const auto trace = Lines(kTrace);
    ASSERT_EQ(trace.size(), c.segments);
    const double xs = 9045.0 / static_cast<double>(c.segments + 1);
    EXPECT_EQ(Describe(trace[0]), LineText(xs, 1095, 2 * xs, 1095, kTrace));
    EXPECT_NEAR(trace.back().x2, 9045, 1e-2);
    EXPECT_EQ(trace.back().y2, 1095);
  }
}

TEST_F(Spectrum, AClearGridTraceAndCursorWithLevelsFromTheBottomEdgeToTheTop) {
  // 500..2500: bins 128..640, XS = 17.666015625, YS = 10.95.
  const QJsonObject s = Draw(500, 2500, 20, "engine fft 384=100 385=50 128=7 640=99 641=80");
  const auto& ops = Form1().Picture2.Record();
  ASSERT_EQ(ops.size(), 1u + 21 + 511 + 1);
  EXPECT_EQ(ops[0].kind, DrawOp::Kind::Cls);
  for (size_t i = 1; i < ops.size(); ++i) {
    EXPECT_EQ(ops[i].rgb, i <= 21 ? kGrid : i <= 532 ? kTrace : kCursor) << i;
  }
  // Segment i runs from bin 127 + i to bin 128 + i: bin 384 ends segment 256.
  const auto trace = Lines(kTrace);
  EXPECT_EQ(trace[0].y1, static_cast<float>(1095 - 7 * 10.95));
  EXPECT_EQ(trace[255].y2, 0);                                      // level 100 on the top edge
  EXPECT_EQ(trace[256].y2, static_cast<float>(1095 - 50 * 10.95));  // level 50 at half height
  // Bin 640 is fetched (level 99) but not drawn.
  EXPECT_EQ(trace.back().y2, 1095);
  // 1500 Hz at 500..2500: Int((384 + 0.5 - 128) * 17.666015625) = Int(4531.33).
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

TEST_F(Spectrum, OffTickedFetchesNothingDrawsNothingAndLeavesTheScrollBarAndPhase) {
  const QJsonObject before = Notify("engine fft 30\nengine freq 1600");
  ASSERT_EQ(WaterfallPhase, 1);
  QJsonObject s = Notify("set Check1 1\nengine fft 70\nengine freq 1800");
  EXPECT_EQ(CallsOf(s, "fnGetFFTData"), Calls{});
  EXPECT_EQ(CallsOf(s, "fnGetRXFrequency"), Calls{});
  EXPECT_EQ(DrawOf(s, "Picture2"), DrawOf(before, "Picture2"));
  EXPECT_EQ(DrawOf(s, "Picture7"), DrawOf(before, "Picture7"));
  EXPECT_EQ(TextOf(s, "txtRec"), "1600");
  EXPECT_EQ(WaterfallPhase, 1);
  // Unticked, the next notification draws again; the waterfall's alternation
  // resumes where it stood (this run only turns the phase).
  s = Notify("set Check1 0");
  EXPECT_EQ(CallsOf(s, "fnGetFFTData"), Calls{"fnGetFFTData(array,128,640)"});
  EXPECT_EQ(ControlOf(s, "VScroll1")["value"].toInt(), 1800);
  EXPECT_EQ(WaterfallPhase, 0);
  // Greyed (2) is not ticked: the routine runs.
  s = Notify("set Check1 2");
  EXPECT_EQ(CallsOf(s, "fnGetFFTData").size(), 1u);
}

// Under AFC the scroll bar and txtRec follow the engine before the cursor is
// drawn.  Left open: an engine frequency the scroll bar cannot take (outside
// 100..3000 or beyond 16 bits) leaves them and the cursor alone; with AFC off
// the engine is not asked at all.
TEST_F(Spectrum, UnderAfcTheScrollBarFollowsTheEngineWhereItCanAndAfcOffAsksNothing) {
  // Int((f / 3.90625 + 0.5 - 128) * 9045 / 512) at 1500 and 1700 Hz.
  for (const auto& [hz, shown, cursor] : {std::tuple{99, 1500, 4531.f},
                                          {3001, 1500, 4531.f},
                                          {32768, 1500, 4531.f},
                                          {-5, 1500, 4531.f},
                                          {-2147483647, 1500, 4531.f},
                                          {1700, 1700, 5435.f}}) {
    const QJsonObject s = Notify("engine freq " + std::to_string(hz));
    EXPECT_EQ(CallsOf(s, "fnGetRXFrequency").size(), 1u) << hz;
    EXPECT_EQ(ControlOf(s, "VScroll1")["value"].toInt(), shown) << hz;
    EXPECT_EQ(TextOf(s, "txtRec"), std::to_string(shown)) << hz;
    EXPECT_EQ(CursorXs(), std::vector<float>{cursor}) << hz;
    // The fetch comes before the engine's frequency is asked for, between the
    // vector scope's calls and the raw scope's; the change handler does not
    // retune the engine under AFC.
    if (hz == 1700) {
      EXPECT_EQ(CallList(s), (Calls{"fnGetVectorData(array,0)", "fnGetSignalLevel(0)=0",
                                    "fnGetFFTData(array,128,640)", "fnGetRXFrequency(0)=1700",
                                    "fnGetRawData(array,0,array)"}));
    }
  }
  session.Run("set AfcOn 0\nset VScroll1 1200");  // AFC off, then the operator tunes
  session.Snapshot();
  const QJsonObject s = Notify("engine freq 2000");
  EXPECT_EQ(CallsOf(s, "fnGetRXFrequency"), Calls{});
  EXPECT_EQ(ControlOf(s, "VScroll1")["value"].toInt(), 1200);
  EXPECT_EQ(CursorXs(), std::vector<float>{3174});  // Int((307.2 + 0.5 - 128) * 9045 / 512)
}

// Left open: txtRec holding no number draws no cursor, but everything else.
TEST_F(Spectrum, AFrequencyBoxWithoutANumberDrawsNoCursorButEverythingElse) {
  session.Run("set AfcOn 0");  // AFC off: nothing rewrites the box
  for (const char* text : {"", "abc", "1500 Hz", "&H5DC"}) {
    Notify(std::string("set txtRec \"") + text + "\"");
    EXPECT_EQ(CursorXs(), std::vector<float>{}) << text;
    EXPECT_EQ(Form1().Picture2.Record().size(), 1u + 21 + 511) << text;
  }
  // A fractional number is a frequency: Int((384.128 + 0.5 - 128) * XS).
  Notify("set txtRec \" 1500.5 \"");
  EXPECT_EQ(CursorXs(), std::vector<float>{4533});
}
