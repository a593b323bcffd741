// Scroll bars: Min above Max (value 3000 at the top), steps of the arrows
// and the track, Change exactly once per change, refused values.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include "platform/forms/forms.h"

namespace {

struct ScrollFixture : testing::Test {
  forms::Form form{"Form1"};
  forms::ScrollBar bar{&form, "VScroll1", forms::ScrollBar::Orientation::Vertical};
  int changes = 0;
  std::vector<int> seen;  // the value Change read each time

  ScrollFixture() {
    form.SetClientSize(3000, 6000);
    bar.Move(0, 0, 300, 4500);  // 20 x 300 pixels: room for arrows and a track
    bar.Change = [this] {
      ++changes;
      seen.push_back(bar.Value());
    };
  }
  QScrollBar* widget() { return static_cast<QScrollBar*>(bar.widget()); }
  // Presses and releases the mouse on one part of the scroll bar, as the operator.
  void ClickOn(QStyle::SubControl part) {
    QStyleOptionSlider option;
    option.initFrom(widget());
    option.orientation = Qt::Vertical;
    option.minimum = widget()->minimum();
    option.maximum = widget()->maximum();
    option.sliderPosition = widget()->sliderPosition();
    option.sliderValue = widget()->value();
    option.singleStep = widget()->singleStep();
    option.pageStep = widget()->pageStep();
    option.subControls = QStyle::SC_All;
    const QRect r =
        widget()->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, widget());
    ASSERT_TRUE(r.isValid());
    QTest::mouseClick(widget(), Qt::LeftButton, {}, r.center());
  }
};

TEST_F(ScrollFixture, MinAboveMaxHoldsTheNegatedValueInTheWidget) {
  bar.SetRange(3000, 100);
  ASSERT_TRUE(bar.SetValue(1350));
  EXPECT_EQ(bar.Min(), 3000);
  EXPECT_EQ(bar.Max(), 100);
  EXPECT_EQ(bar.Value(), 1350);
  EXPECT_EQ(widget()->minimum(), -3000);
  EXPECT_EQ(widget()->maximum(), -100);
  EXPECT_EQ(widget()->value(), -1350);
  EXPECT_FALSE(widget()->invertedAppearance());
  ASSERT_TRUE(bar.SetValue(3000));  // top end: the handle at the top of the widget
  EXPECT_EQ(widget()->value(), widget()->minimum());
}

TEST_F(ScrollFixture, ValueInCodeRunsChangeOnlyWhenItChanges) {
  bar.SetRange(3000, 100);
  EXPECT_TRUE(bar.SetValue(1350));
  EXPECT_TRUE(bar.SetValue(1350));
  EXPECT_TRUE(bar.SetValue(1500));
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(seen, (std::vector<int>{1350, 1500}));
  // Outside 100..3000: refused, nothing changes.
  EXPECT_FALSE(bar.SetValue(3001));
  EXPECT_FALSE(bar.SetValue(99));
  EXPECT_FALSE(bar.SetValue(-1500));
  EXPECT_EQ(bar.Value(), 1500);
  EXPECT_EQ(widget()->value(), -1500);
  EXPECT_EQ(changes, 2);
}

TEST_F(ScrollFixture, ArrowsAndTrackStepOnceTowardsTheirEnd) {
  bar.SetRange(3000, 100);
  bar.SetValue(1350);
  changes = 0;
  seen.clear();
  ClickOn(QStyle::SC_ScrollBarAddLine);  // the bottom arrow: towards 100
  ClickOn(QStyle::SC_ScrollBarSubLine);  // the top arrow: towards 3000
  ClickOn(QStyle::SC_ScrollBarSubLine);
  ClickOn(QStyle::SC_ScrollBarAddPage);  // the track below the handle
  EXPECT_EQ(seen, (std::vector<int>{1349, 1350, 1351, 1350}));
  EXPECT_EQ(changes, 4);
}

TEST_F(ScrollFixture, ArrowAtItsEndChangesNothing) {
  bar.SetRange(200, 1);
  bar.SetValue(1);
  changes = 0;
  ClickOn(QStyle::SC_ScrollBarAddLine);
  EXPECT_EQ(bar.Value(), 1);
  EXPECT_EQ(changes, 0);
  ClickOn(QStyle::SC_ScrollBarSubLine);
  EXPECT_EQ(bar.Value(), 2);
  EXPECT_EQ(changes, 1);
}

TEST_F(ScrollFixture, OrdinaryRangeRunsDownwards) {
  bar.SetRange(0, 99);
  bar.SetValue(99);
  changes = 0;
  ClickOn(QStyle::SC_ScrollBarSubLine);
  EXPECT_EQ(bar.Value(), 98);
  EXPECT_EQ(widget()->value(), 98);
  EXPECT_EQ(changes, 1);
}

TEST_F(ScrollFixture, DraggedHandleChangesOnceWhenLetGo) {
  bar.SetRange(3000, 100);
  bar.SetValue(1350);
  changes = 0;
  seen.clear();
  widget()->setSliderDown(true);
  widget()->setSliderPosition(-2000);
  widget()->setSliderPosition(-2100);
  EXPECT_EQ(changes, 0);
  widget()->setSliderDown(false);
  EXPECT_EQ(seen, (std::vector<int>{2100}));
}

TEST_F(ScrollFixture, NewRangeMovesTheValueInsideWithoutChange) {
  bar.SetRange(1, 30);
  bar.SetValue(20);
  changes = 0;
  bar.SetRange(1, 10);
  EXPECT_EQ(bar.Value(), 10);
  EXPECT_EQ(widget()->value(), 10);
  bar.SetRange(-40000, 10);  // beyond the 16-bit range: refused
  EXPECT_EQ(bar.Min(), 1);
  EXPECT_EQ(changes, 0);
}

}  // namespace
