// IMD readings through the dispatcher: statistics and readouts, the reset
// after 1000 readings and by the button, and the clock error.
#include <gtest/gtest.h>

#include "app/Module1.h"
#include "app/form1.h"
#include "notify/notify.h"
#include "replay_test_support.h"

using namespace testing_support;

namespace {

struct ImdReadings : LoadedMainWindow {
  // Posts the readings; then the readouts "txtIMD | Text1 | Text2".
  std::string After(const std::vector<int>& readings) {
    for (int r : readings) session.Run("post 2027 " + std::to_string(r) + " 0");
    last = session.Snapshot();
    return TextOf(last, "txtIMD") + " | " + TextOf(last, "Text1") + " | " + TextOf(last, "Text2");
  }
  // The bar's right end, the last operation of Picture5.
  double BarEnd() const { return DrawOf(last, "Picture5").last().toObject()["x2"].toDouble(); }
  QJsonObject last;
};

}  // namespace

// Each run starts from the reset button.  Halves of the average go to the
// even neighbour; zero and positive values carry the signed form's space;
// readings beyond 16 bits are clamped before they are recorded, the other
// readings' statistics kept exactly; the first reading is best and worst
// even beyond the sentinels 9999 and -9999.
TEST_F(ImdReadings, StatisticsOfARunOfReadings) {
  const struct {
    std::vector<int> readings;
    const char* readouts;
  } cases[] = {
      {{-25, -26}, "Best: -26 Worst: -25 Average: -26 dB | 2 | -26 dB"},
      {{-26, -27}, "Best: -27 Worst: -26 Average: -26 dB | 2 | -27 dB"},
      {{0, 5}, "Best:  0 Worst:  5 Average:  2 dB | 2 |  5 dB"},
      {{-30, -20, -30, -20, -25}, "Best: -30 Worst: -20 Average: -25 dB | 5 | -25 dB"},
      {{-20, -100000}, "Best: -32768 Worst: -20 Average: -16394 dB | 2 | -32768 dB"},
      {{-20, -100000, 2147483647}, "Best: -32768 Worst:  32767 Average: -7 dB | 3 |  32767 dB"},
      {{12000}, "Best:  12000 Worst:  12000 Average:  12000 dB | 1 |  12000 dB"},
      {{-12000, -11000}, "Best: -12000 Worst: -11000 Average: -11500 dB | 2 | -11000 dB"},
  };
  for (const auto& c : cases) {
    session.Run("click Command1");
    EXPECT_EQ(After(c.readings), c.readouts);
  }
}

// A steady -40 dB takes a 16-bit sum past -32768 at the 820th reading.
TEST_F(ImdReadings, TheThousandthReadingIsShownThenTheStatisticsStartAfresh) {
  for (int i = 0; i < 999; ++i) RecordImdReading(-40);
  EXPECT_EQ(After({}), "Best: -40 Worst: -40 Average: -40 dB | 999 | -40 dB");
  // (-39960 - 60) / 1000 = -40.02
  EXPECT_EQ(After({-60}), "Best: -60 Worst: -40 Average: -40 dB | 1000 | -60 dB");
  // The bar drawn after the reset: scale and a bar of no width.
  EXPECT_EQ(DrawOf(last, "Picture5").size(), 2 + 4 + 1);
  EXPECT_EQ(BarEnd(), 0.0);
  EXPECT_EQ(After({-10}), "Best: -10 Worst: -10 Average: -10 dB | 1 | -10 dB");
}

TEST_F(ImdReadings, TheClockErrorLeavesTheStatisticsTheResetButtonLeavesTheClockError) {
  const std::string worked = After({-28, -25});
  for (const auto& [ppm, text] :
       {std::pair{"0", " 0 ppm"}, {"2147483647", " 2147483647 ppm"}, {"-3", "-3 ppm"}}) {
    session.Run(std::string("post 2028 ") + ppm + " 0");
    EXPECT_EQ(TextOf(session.Snapshot(), "Label2"), text);
  }
  EXPECT_EQ(After({}), worked);
  session.Run("click Command1");
  EXPECT_EQ(After({}), " |  | ");
  EXPECT_EQ(TextOf(last, "Label2"), "-3 ppm");
  for (const auto& [name, value] :
       {std::pair{"ImdBest", 9999}, {"ImdWorst", -9999}, {"ImdSum", 0}, {"ImdCount", 0}}) {
    EXPECT_EQ(SettingOf(last, name), value) << name;
  }
  EXPECT_TRUE(CallList(last).empty());
  EXPECT_EQ(DrawOf(last, "Picture5").size(), 6);  // the empty scale, no bar
  EXPECT_EQ(After({-40}), "Best: -40 Worst: -40 Average: -40 dB | 1 | -40 dB");
}
