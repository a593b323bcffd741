// Display ranges the presets never give: nothing fails, nothing is read or
// written outside the arrays (the sanitizer build checks), the rest reads as
// no signal.
#include <gtest/gtest.h>

#include "app/Module1.h"
#include "app/form1.h"
#include "display_test_support.h"
#include "displays/displays.h"

using namespace testing_support;
using forms::DrawOp;

namespace {

struct RangeGuard : DisplayTest {
  static size_t LinesIn(forms::Rgb colour) {
    return DisplayTest::LinesIn(Form1().Picture2, colour).size();
  }
  // The stroke of column i (1..N-1), band 0, of the last waterfall pass.
  static forms::Rgb TopStroke(int i) {
    return Form1().Picture7.Record().at(1 + static_cast<size_t>(i - 1) * 15).rgb;
  }
};

}  // namespace

TEST_F(RangeGuard, ARangeOfNoBinsDrawsTheGridOnlyAndAnEmptyWaterfall) {
  // 1501 and 1502 Hz both lie in bin 384.
  for (const auto& [low, high, fetch] :
       {std::tuple{1500, 1500, Calls{"fnGetFFTData(array,384,384)"}},
        {1501, 1502, Calls{"fnGetFFTData(array,384,384)"}},
        {2500, 500, Calls{}},
        {32767, -32768, Calls{}}}) {
    WaterfallPhase = 0;
    Range(low, high);
    const QJsonObject s = Notify("engine freq 1600\nengine fft 40");
    EXPECT_EQ(CallsOf(s, "fnGetFFTData"), fetch) << low << ".." << high;
    EXPECT_EQ(Form1().Picture2.Record().size(), 1u + 21) << low << ".." << high;
    EXPECT_EQ(LinesIn(kGrid), 21u);
    EXPECT_EQ(Form1().VScroll1.Value(), 1600);  // still following the engine
    ASSERT_EQ(Form1().Picture7.Record().size(), 1u);
    EXPECT_EQ(WaterfallPhase, 1);
    EXPECT_EQ(WaterfallHistory[1][0], 0);  // no bins: the floor is 0
  }
}

TEST_F(RangeGuard, ARangeReaching4000HzFetchesTheBinsThereAreAndDrawsTheRestAsNoSignal) {
  // 500..4500 Hz: bins 128..1152, N = 1024.
  Range(500, 4500);
  EXPECT_EQ(CallsOf(Notify("engine fft 50"), "fnGetFFTData"),
            Calls{"fnGetFFTData(array,128,1023)"});
  // Segment k (from 0) ends on bin 129 + k: up to bin 1023 at level 50, then at 0.
  const auto trace = DisplayTest::LinesIn(Form1().Picture2, kTrace);
  ASSERT_EQ(trace.size(), 1023u);
  EXPECT_EQ(trace[894].y2, static_cast<float>(1095 - 50 * 10.95));
  EXPECT_EQ(trace[895].y2, 1095.0f);
  EXPECT_EQ(trace.back().y2, 1095.0f);
  EXPECT_EQ(LinesIn(kCursor), 1u);
  // Floor: bins 129..1023 (895 of level 50) over N = 1024 = 43.7, rounded to 44.
  EXPECT_EQ(WaterfallHistory[1][0], 44);
  EXPECT_EQ(WaterfallHistory[1][1023], 6);
  ASSERT_EQ(Form1().Picture7.Record().size(), 1u + 1023 * 15);
  // Column 1023 (i = 895), band 0: 6 / 100 * 255 * 5 = 76.5, rounded to 76.
  EXPECT_EQ(TopStroke(895), forms::RGB(76, 76, 120));
  for (int i = 896; i <= 1023; ++i) ASSERT_EQ(TopStroke(i), kNoSignal) << i;
}

TEST_F(RangeGuard, ARangeBelow0HzNeverStoresABinInTheFloorColumn) {
  // -100..500 Hz: bins -26..128; the fetch starts at bin 0.
  Range(-100, 500);
  EXPECT_EQ(CallsOf(Notify("engine fft 0=100 1=77"), "fnGetFFTData"),
            Calls{"fnGetFFTData(array,0,128)"});
  // Floor: (100 + 77) / 154 = 1.15, rounded to 1.  Bin 0 counts in the sum
  // but column 0 keeps the floor.
  EXPECT_EQ(WaterfallHistory[1][0], 1);
  EXPECT_EQ(WaterfallHistory[1][1], 76);
  ASSERT_EQ(Form1().Picture7.Record().size(), 1u + 153 * 15);
  EXPECT_EQ(TopStroke(26), kNoSignal);                  // bin 0
  EXPECT_EQ(TopStroke(27), forms::RGB(255, 255, 120));  // bin 1
  // The trace plots bin 0 at level 100 and the bins below 0 at level 0.
  const auto& trace = Form1().Picture2.Record();
  EXPECT_EQ(trace[1 + 21 + 25].y2, 0.0f);     // segment 26 ends on bin 0
  EXPECT_EQ(trace[1 + 21 + 24].y2, 1095.0f);  // segment 25 on bin -1
}

TEST_F(RangeGuard, TheWidestRangesRunToTheirEndWithinTheArrays) {
  // What the settings can hold: bins -8389..8388, and a top beyond 4000 Hz
  // with the bottom inside.
  // N = 8388 - -8389 and 8388 - 1023.
  for (const auto& [low, high, n] : {std::tuple{-32768, 32767, 16777}, {3999, 32767, 7365}}) {
    Range(low, high);
    WaterfallPhase = 0;
    session.Run("engine fft 90");
    DrawSpectrumAndWaterfall();
    EXPECT_EQ(LinesIn(kTrace), static_cast<size_t>(n - 1));
    EXPECT_EQ(Form1().Picture7.Record().size(), static_cast<size_t>(1 + (n - 1) * 15));
  }
}

TEST_F(RangeGuard, AGridWithoutDivisionsDrawsNoGridLines) {
  for (int divisions : {0, -1, -32768}) {
    GridDivisions = static_cast<int16_t>(divisions);
    Notify();
    EXPECT_EQ(LinesIn(kGrid), 0u) << divisions;
    EXPECT_EQ(LinesIn(kTrace), 511u) << divisions;
  }
  // The most divisions: one line per step up to the right edge (32768, or
  // one fewer when the accumulated steps pass the edge by a hair).
  GridDivisions = 32767;
  Notify();
  EXPECT_GE(LinesIn(kGrid), 32767u);
  EXPECT_LE(LinesIn(kGrid), 32768u);
}
