// Picture boxes: the record, the pixels drawn, children, resizing, mouse and saving.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <limits>

#include "platform/forms/forms.h"

namespace {

using forms::DrawOp;
using forms::Rgb;
using forms::RGB;

constexpr Rgb kNavy = RGB(0, 0, 128), kCyan = RGB(0, 255, 255), kYellow = RGB(255, 255, 0);

struct Pixel {
  int x, y;  // pixels
  Rgb colour;
};

struct PictureFixture : testing::Test {
  forms::Form form{"Form1"};
  forms::PictureBox box{&form, "Picture2"};

  PictureFixture() {
    forms::SetDrawRecording(false);
    form.SetClientSize(10125, 7950);
    box.Move(930, 1350, 1500, 750);  // 100 x 50 pixels
    box.SetBackColor(kNavy);
  }
  Rgb At(int px, int py) { return box.PixelAt(px * 15.0f, py * 15.0f); }
  template <size_t N>
  void ExpectPixels(const Pixel (&pixels)[N]) {
    for (const Pixel& p : pixels) EXPECT_EQ(At(p.x, p.y), p.colour) << p.x << "," << p.y;
  }
};

// The record's contents: the display tests, which record through the replay session.
TEST_F(PictureFixture, NothingIsRecordedWhileRecordingIsOff) {
  box.Cls();
  box.SetDrawWidth(2);
  box.Line(1, 2, 3, 4, kCyan);
  box.Box(0, 0, 1500, 250, kYellow, true);
  box.Circle(392, 371, 330, RGB(0, 0, 0));
  box.PSet(7, 8, RGB(1, 2, 3));
  EXPECT_TRUE(box.Record().empty());
}

TEST_F(PictureFixture, LinesAreOnePixelWideAtAnyScaleOrAsWideAsThePen) {
  box.Line(0, 150, 1500, 150, kCyan);   // pixel row 10
  box.Line(300, 0, 300, 750, kYellow);  // pixel column 20, over the full height
  const Pixel lines[] = {{40, 10, kCyan},   {40, 9, kNavy},  {40, 11, kNavy}, {20, 0, kYellow},
                         {20, 49, kYellow}, {19, 30, kNavy}, {21, 30, kNavy}};
  ExpectPixels(lines);
  box.Line(0, 0, 1485, 735, kCyan);  // a diagonal from pixel (0, 0) to (99, 49)
  ExpectPixels({{0, 0, kCyan}, {99, 49, kCyan}});
  int lit = 0;
  for (int x = 0; x < 100; ++x) lit += At(x, 30) == kCyan ? 1 : 0;
  EXPECT_EQ(lit, 2);  // a shallow line lights two pixels of a row
  box.SetDrawWidth(3);
  box.Line(0, 375, 1500, 375, kCyan);  // row 25
  int rows = 0;
  for (int y = 20; y < 30; ++y) rows += At(50, y) == kCyan ? 1 : 0;
  EXPECT_EQ(rows, 3);
  box.SetDrawWidth(0);  // at least one pixel
  EXPECT_EQ(box.DrawWidth(), 1);
}

TEST_F(PictureFixture, BoxesCirclesAndPoints) {
  box.Box(150, 150, 600, 450, kYellow, true);  // filled: pixels 10..40 x 10..30
  for (int x : {10, 25, 40}) {
    for (int y : {10, 20, 30}) EXPECT_EQ(At(x, y), kYellow) << x << "," << y;
  }
  ExpectPixels({{9, 20, kNavy}, {41, 20, kNavy}});
  box.Box(750, 150, 1200, 450, kCyan, false);  // an outline: pixels 50..80 x 10..30
  ExpectPixels(
      {{50, 20, kCyan}, {80, 20, kCyan}, {65, 10, kCyan}, {65, 30, kCyan}, {65, 20, kNavy}});
  // A box of no width is one upright line (the IMD bar at an average of 0).
  box.Box(0, 250, 0, 750, kCyan, true);
  ExpectPixels({{0, 40, kCyan}, {1, 40, kNavy}});
  box.Cls();
  box.Circle(750, 375, 300, kYellow);  // centre (50, 25), radius 20 pixels: an outline
  box.PSet(150, 150, kCyan);           // one pixel
  const Pixel circle_and_point[] = {{70, 25, kYellow}, {30, 25, kYellow}, {50, 5, kYellow},
                                    {50, 25, kNavy},   {10, 10, kCyan},   {9, 10, kNavy},
                                    {11, 10, kNavy},   {10, 9, kNavy},    {10, 11, kNavy}};
  ExpectPixels(circle_and_point);
}

TEST_F(PictureFixture, DrawingFarOutsideOrWithoutANumberIsClippedNotFatal) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  box.Line(-1e30f, 375, 1e30f, 375, kCyan);  // still crosses the box at row 25
  box.Line(nan, 0, 10, 10, kYellow);
  box.Box(-inf, 0, 10, 10, kYellow, true);
  box.Box(-1e30f, 600, 1e30f, 1e30f, kYellow, true);
  box.Circle(0, 0, 1e30f, kYellow);
  box.PSet(1e30f, -1e30f, kYellow);
  box.SetDrawWidth(2);
  box.Line(-1e30f, 150, 1e30f, 150, kCyan);
  ExpectPixels({{50, 25, kCyan}, {50, 10, kCyan}, {50, 45, kYellow}, {50, 0, kNavy}});
}

TEST_F(PictureFixture, ChildControlsKeepTheirPictureThroughTheParentsClear) {
  forms::PictureBox meter(&box, "Picture3");
  meter.Move(1200, 0, 135, 600);
  meter.SetBackColor(RGB(255, 255, 192));
  forms::ScrollBar squelch(&box, "VScroll3", forms::ScrollBar::Orientation::Vertical);
  squelch.Move(1350, 30, 135, 600);
  meter.Box(0, 600, 135, 300, RGB(0, 200, 255), true);
  box.Cls();
  box.Line(0, 0, 1500, 0, kCyan);
  EXPECT_EQ(meter.PixelAt(60, 450), RGB(0, 200, 255));
  EXPECT_TRUE(squelch.Visible());
  // The shown window: the meter's picture over the spectrum's.
  form.Show();
  const QImage shown = box.widget()->grab().toImage();
  EXPECT_EQ(QColor(shown.pixel(84, 30)), QColor(0, 200, 255));
  EXPECT_EQ(QColor(shown.pixel(40, 30)), QColor(0, 0, 128));
}

TEST_F(PictureFixture, ClearAndResizingFillWithTheBackColourAndANewBackColourClearsAtOnce) {
  box.Line(0, 0, 1500, 750, kCyan);
  box.Cls();
  ExpectPixels({{0, 0, kNavy}, {50, 25, kNavy}, {99, 49, kNavy}});
  box.PSet(150, 150, kCyan);
  box.SetWidth(3000);  // 200 pixels wide, drawn into before the window is shown
  box.PSet(2850, 150, kYellow);
  ExpectPixels({{10, 10, kCyan}, {150, 10, kNavy}, {190, 10, kYellow}});
  box.SetBackColor(RGB(255, 255, 255));
  ExpectPixels({{10, 10, RGB(255, 255, 255)}});
}

TEST_F(PictureFixture, LampPictureSitsTopLeftAndSurvivesClear) {
  forms::PictureBox lamp(&form, "Picture4(0)");
  lamp.Move(690, 1410, 195, 195);
  lamp.SetLampPicture(RGB(0, 240, 66), 14, 13);
  lamp.Cls();
  EXPECT_EQ(lamp.PixelAt(7 * 15, 6 * 15), RGB(0, 240, 66));
  EXPECT_EQ(lamp.PixelAt(0, 0), RGB(255, 255, 255));
}

TEST_F(PictureFixture, MousePressesReportButtonAndTwips) {
  std::vector<std::tuple<int, int, float, float>> presses;
  box.MouseDown = [&](int button, int shift, float x, float y) {
    presses.emplace_back(button, shift, x, y);
  };
  form.Show();
  QTest::mouseClick(box.widget(), Qt::RightButton, Qt::ShiftModifier, QPoint(10, 5));
  QTest::mouseClick(box.widget(), Qt::LeftButton, {}, QPoint(99, 0));
  box.FireMouseDown(1, 0, 4531.5f, 12.25f);
  EXPECT_EQ(presses, (std::vector<std::tuple<int, int, float, float>>{
                         {2, 1, 150.0f, 75.0f}, {1, 0, 1485.0f, 0.0f}, {1, 0, 4531.5f, 12.25f}}));
}

TEST_F(PictureFixture, SavesThePictureAsPng) {
  QTemporaryDir dir;
  box.PSet(150, 150, kCyan);
  const std::string path = dir.filePath("box.png").toStdString();
  ASSERT_TRUE(box.SavePng(path));
  const QImage saved(QString::fromStdString(path));
  ASSERT_EQ(saved.size(), QSize(100, 50));
  EXPECT_EQ(QColor(saved.pixel(10, 10)), QColor(0, 255, 255));
  EXPECT_FALSE(box.SavePng(dir.filePath("no/such/folder/box.png").toStdString()));
}

}  // namespace
