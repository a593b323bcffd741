// The spectrum box after one display notification, from the recorded
// operations: one fetch of the range, the grid, the trace and the tuning
// cursor, in that order, at the exact positions of the worked examples.
#include <gtest/gtest.h>

#include <array>

#include "app/Module1.h"
#include "app/form1.h"
#include "replay_test_support.h"

using namespace testing_support;

namespace {

struct Line {
  double x1, y1, x2, y2;
  std::array<int, 3> rgb;
};

std::vector<Line> LinesOf(const QJsonArray& ops, std::array<int, 3> rgb) {
  std::vector<Line> out;
  for (const auto& value : ops) {
    const QJsonObject op = value.toObject();
    if (op["op"].toString() != "line") continue;
    const QJsonArray c = op["rgb"].toArray();
    const std::array<int, 3> colour{c[0].toInt(), c[1].toInt(), c[2].toInt()};
    if (colour != rgb) continue;
    out.push_back({op["x1"].toDouble(), op["y1"].toDouble(), op["x2"].toDouble(),
                   op["y2"].toDouble(), colour});
  }
  return out;
}

constexpr std::array<int, 3> kGrid{0, 80, 0}, kTrace{0, 255, 255}, kCursor{255, 255, 0};

// The loaded main window (500..2500 Hz, AFC on, engine at 1500 Hz).
struct Spectrum : ::testing::Test {
  void SetUp() override { session.Run("load Form1"); }
  // One display notification at a range and grid; AFC off keeps txtRec.
  QJsonObject Draw(int low, int high, int divisions, const std::string& script = "") {
    DisplayLowHz = static_cast<int16_t>(low);
    DisplayHighHz = static_cast<int16_t>(high);
    GridDivisions = static_cast<int16_t>(divisions);
    session.Snapshot();  // a fresh list of engine calls
    session.Run(script + "\npost 2024 0 0");
    return session.Snapshot();
  }
  replay::Session session;
};

// A float as the box recorded it.
double F(double v) {
  return static_cast<float>(v);
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
    const auto grid = LinesOf(DrawOf(Draw(c.low, c.high, c.divisions), "Picture2"), kGrid);
    ASSERT_EQ(grid.size(), c.lines) << c.low << ".." << c.high;
    double x = 0;
    for (const Line& line : grid) {
      EXPECT_EQ(line.x1, F(x));
      EXPECT_EQ(line.x2, F(x));
      EXPECT_EQ(line.y1, 0);
      EXPECT_EQ(line.y2, 1095);
      x += c.step;
    }
    EXPECT_EQ(grid.back().x1 == 9045, c.on_right_edge) << grid.back().x1;
  }
}

TEST_F(Spectrum, TraceHasNMinusOneSegmentsFromXsToTheRightEdge) {
  struct Case {
    int low, high;
    int first_bin, last_bin;
  };
  for (const Case& c : {Case{500, 2500, 128, 640}, Case{1200, 1800, 307, 460},
                        Case{1000, 2000, 256, 512}, Case{500, 3000, 128, 768}}) {
    const QJsonObject s = Draw(c.low, c.high, 20);
    EXPECT_EQ(CallsOf(s, "fnGetFFTData"),
              std::vector<std::string>{"fnGetFFTData(array," + std::to_string(c.first_bin) + "," +
                                       std::to_string(c.last_bin) + ")"});
    const int n = c.last_bin - c.first_bin;
    const double xs = 9045.0 / n;
    const auto trace = LinesOf(DrawOf(s, "Picture2"), kTrace);
    ASSERT_EQ(trace.size(), static_cast<size_t>(n - 1)) << c.low << ".." << c.high;
    for (size_t i = 1; i <= trace.size(); ++i) {
      const Line& line = trace[i - 1];
      ASSERT_EQ(line.x1, F(i * xs)) << i;
      ASSERT_EQ(line.x2, F((i + 1) * xs)) << i;
      // An all-zero spectrum lies along the bottom edge.
      ASSERT_EQ(line.y1, 1095);
      ASSERT_EQ(line.y2, 1095);
    }
    EXPECT_EQ(trace.front().x1, F(xs));
    EXPECT_EQ(trace.back().x2, F(9045));
  }
}

TEST_F(Spectrum, LevelsMapFromTheBottomEdgeToTheTopAndBinLastBinIsNotDrawn) {
  // 500..2500: bins 128..640, XS = 17.666015625, YS = 10.95.
  const QJsonObject s = Draw(500, 2500, 20, "engine fft 384=100 385=50 128=7 640=99 641=80");
  const auto trace = LinesOf(DrawOf(s, "Picture2"), kTrace);
  ASSERT_EQ(trace.size(), 511u);
  const double xs = 17.666015625;
  // Bin b is plotted at x = (b - 127) * XS: the first segment starts at bin 128.
  EXPECT_EQ(trace[0].y1, F(1095 - 7 * 10.95));
  // Segment i runs from bin 127 + i to bin 128 + i: bin 384 ends segment 256.
  EXPECT_EQ(trace[255].x2, F(257 * xs));
  EXPECT_NEAR(trace[255].x2, 4540.2, 0.05);
  EXPECT_EQ(trace[255].y2, 0);                     // level 100 on the top edge
  EXPECT_EQ(trace[256].y2, F(1095 - 50 * 10.95));  // level 50 at half height
  EXPECT_NEAR(trace[256].y2, 547.5, 1e-3);
  EXPECT_EQ(trace.back().y1, 1095);  // bin 639
  EXPECT_EQ(trace.back().y2, 1095);  // ... to bin 639's right neighbour
  EXPECT_EQ(trace.back().x2, F(9045));
  for (const Line& line : trace) {
    // Bin 640 (level 99) is fetched but not drawn.
    EXPECT_NE(line.y2, F(1095 - 99 * 10.95));
  }
}

TEST_F(Spectrum, TheBoxIsClearedThenGridTraceAndCursorFollowInOrder) {
  const QJsonArray ops = DrawOf(Draw(500, 2500, 20), "Picture2");
  ASSERT_EQ(ops.size(), 1 + 21 + 511 + 1);
  EXPECT_EQ(ops[0].toObject()["op"].toString(), "cls");
  auto colour = [&](int i) {
    const QJsonArray c = ops[i].toObject()["rgb"].toArray();
    return std::array<int, 3>{c[0].toInt(), c[1].toInt(), c[2].toInt()};
  };
  EXPECT_EQ(colour(1), kGrid);
  EXPECT_EQ(colour(21), kGrid);
  EXPECT_EQ(colour(22), kTrace);
  EXPECT_EQ(colour(532), kTrace);
  EXPECT_EQ(colour(533), kCursor);
}

TEST_F(Spectrum, TheCursorStandsAtIntOfTheFrequencysPosition) {
  // 1500 Hz at 500..2500: (384 + 0.5 - 128) * 17.666015625 = 4531.33.
  auto cursor = LinesOf(DrawOf(Draw(500, 2500, 20), "Picture2"), kCursor);
  ASSERT_EQ(cursor.size(), 1u);
  EXPECT_EQ(cursor[0].x1, 4531);
  EXPECT_EQ(cursor[0].x2, 4531);
  EXPECT_EQ(cursor[0].y1, 0);
  EXPECT_EQ(cursor[0].y2, 1095);

  // 1350 Hz at 1200..1800 with AFC off: Int(2311.5) = 2311.
  AfcOn = 0;
  Form1().txtRec.SetText("1350");
  cursor = LinesOf(DrawOf(Draw(1200, 1800, 12), "Picture2"), kCursor);
  ASSERT_EQ(cursor.size(), 1u);
  EXPECT_EQ(cursor[0].x1, 2311);

  // Outside the range the cursor is still drawn, beyond the box's edge.
  Form1().txtRec.SetText("3000");
  cursor = LinesOf(DrawOf(Draw(1200, 1800, 12), "Picture2"), kCursor);
  ASSERT_EQ(cursor.size(), 1u);
  EXPECT_EQ(cursor[0].x1, 27282);  // Int((768 + 0.5 - 307) * 9045 / 153)
}

TEST_F(Spectrum, RendersTheTraceCursorAndGridInTheirColoursOverTheBackground) {
  Draw(500, 2500, 20, "engine fft 60");
  forms::PictureBox& box = Form1().Picture2;
  EXPECT_EQ(box.PixelAt(3000, 1095 - 60 * 10.95), forms::RGB(0, 255, 255));
  EXPECT_EQ(box.PixelAt(4531, 200), forms::RGB(255, 255, 0));
  EXPECT_EQ(box.PixelAt(0, 200), forms::RGB(0, 80, 0));
  EXPECT_EQ(box.PixelAt(3000, 900), forms::RGB(0, 0, 128));
}
