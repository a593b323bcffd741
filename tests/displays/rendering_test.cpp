// The displays as rendered: each picture box shows its drawing's colours over
// its own background (the operations themselves: the other display tests).
#include <gtest/gtest.h>

#include "app/Module1.h"
#include "app/form1.h"
#include "replay_test_support.h"

using forms::RGB;
using Rendering = testing_support::LoadedMainWindow;

TEST_F(Rendering, EachDisplayShowsItsColoursOverItsBackground) {
  const forms::Rgb navy = RGB(0, 0, 128), cyan = RGB(0, 255, 255);
  MainWindow& form = Form1();
  form.Picture6.PSet(4500, 300, RGB(255, 0, 0));  // something to erase
  // 1200..1800: XS7 = 59.1 twips, about four pixels per waterfall column.
  session.Run(
      "click Option3 0\nset WaterfallGain 1\nset SquelchLevel 70\nengine fft 60\nengine fft 400=100"
      "\nengine raw 1024=16383\nengine level 50"
      "\nengine vectors 1000 0 0 -1000 0 0 0 0 0 0 0 0 0 0 0 0\npost 2024 0 0");
  EXPECT_EQ(form.Picture2.PixelAt(3000, 1095 - 60 * 10.95), cyan);
  EXPECT_EQ(form.Picture2.PixelAt(3000, 900), navy);
  // Bin 400 (column 93) stands 40 above the floor of 60: 40 / 100 * 255.
  const float column = static_cast<float>((400 - 307) * 9045.0 / 153);
  EXPECT_EQ(form.Picture7.PixelAt(column, 30), RGB(102, 102, 120));
  EXPECT_EQ(form.Picture7.PixelAt(column + 30, 30), navy);  // between strokes
  // The raw scope's segment is erased to navy; the samples are cyan points.
  EXPECT_EQ(form.Picture6.PixelAt(4500, 300), navy);
  EXPECT_EQ(form.Picture6.PixelAt(static_cast<float>(1 + 1024 * 9045.0 / 2047),
                                  static_cast<float>(1215 - 49151 * 1215.0 / 65534)),
            cyan);
  // Spokes of level 50 on white: right and down from the centre (392, 371).
  EXPECT_EQ(form.Picture1.PixelAt(392 + 60, 371), RGB(255, 0, 0));
  EXPECT_EQ(form.Picture1.PixelAt(392, 371 + 60), RGB(255, 0, 0));
  EXPECT_EQ(form.Picture1.PixelAt(392 - 150, 371 - 150), RGB(255, 255, 255));
  // The meter's bar up to half height, its back colour above, the squelch mark.
  EXPECT_EQ(form.Picture3.PixelAt(67, 600), RGB(0, 200, 255));
  EXPECT_EQ(form.Picture3.PixelAt(67, 400), RGB(255, 255, 192));
  EXPECT_EQ(form.Picture3.PixelAt(67, 1005 - 0.7f * 1005), RGB(0, 0, 0));
}
