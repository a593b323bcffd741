// Scroll bars: Min above Max, arrow and track steps, Change once per change.
#include <gtest/gtest.h>

#include <QScrollBar>

#include "platform/forms/forms.h"

namespace {

struct ScrollFixture : testing::Test {
  forms::Form form{"Form1"};
  forms::ScrollBar bar{&form, "VScroll1", forms::ScrollBar::Orientation::Vertical};
  std::vector<int> seen;  // the value Change read each time

  ScrollFixture() {
    form.SetClientSize(3000, 6000);
    bar.Move(0, 0, 300, 4500);
    bar.Change = [this] { seen.push_back(bar.Value()); };
  }
  QScrollBar* widget() { return static_cast<QScrollBar*>(bar.widget()); }
  // The range and value, then what Change saw from here on.
  void Start(int min, int max, int value) {
    bar.SetRange(min, max);
    bar.SetValue(value);
    seen.clear();
  }
  // A click on an arrow or the track ("add": the bottom arrow, the track below).
  void Step(QAbstractSlider::SliderAction action) { widget()->triggerAction(action); }
};

TEST_F(ScrollFixture, MinAboveMaxHoldsTheNegatedValueInTheWidgetAndRefusesValuesOutside) {
  bar.SetRange(3000, 100);
  EXPECT_TRUE(bar.SetValue(1350));
  EXPECT_TRUE(bar.SetValue(1350));
  EXPECT_EQ(std::tuple(bar.Min(), bar.Max(), bar.Value()), std::tuple(3000, 100, 1350));
  EXPECT_EQ(std::tuple(widget()->minimum(), widget()->maximum(), widget()->value()),
            std::tuple(-3000, -100, -1350));
  EXPECT_FALSE(widget()->invertedAppearance());
  EXPECT_TRUE(bar.SetValue(1500));
  // Outside 100..3000: refused, nothing changes.
  for (int refused : {3001, 99, -1500}) EXPECT_FALSE(bar.SetValue(refused)) << refused;
  EXPECT_EQ(bar.Value(), 1500);
  EXPECT_EQ(widget()->value(), -1500);
  // Change ran once per change of the value in code.
  EXPECT_EQ(seen, (std::vector<int>{1350, 1500}));
  ASSERT_TRUE(bar.SetValue(3000));  // top end: the handle at the top of the widget
  EXPECT_EQ(widget()->value(), widget()->minimum());
}

TEST_F(ScrollFixture, ArrowsAndTrackStepOnceTowardsTheirEndAndNotPastIt) {
  Start(3000, 100, 1350);
  Step(QAbstractSlider::SliderSingleStepAdd);  // the bottom arrow: towards 100
  Step(QAbstractSlider::SliderSingleStepSub);  // the top arrow: towards 3000
  Step(QAbstractSlider::SliderSingleStepSub);
  Step(QAbstractSlider::SliderPageStepAdd);  // the track below the handle
  EXPECT_EQ(seen, (std::vector<int>{1349, 1350, 1351, 1350}));

  Start(200, 1, 1);
  Step(QAbstractSlider::SliderSingleStepAdd);  // at its end: nothing
  Step(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(seen, (std::vector<int>{2}));

  Start(0, 99, 99);  // an ordinary range runs downwards
  Step(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(seen, (std::vector<int>{98}));
  EXPECT_EQ(widget()->value(), 98);
}

TEST_F(ScrollFixture, DraggedHandleChangesOnceWhenLetGo) {
  Start(3000, 100, 1350);
  widget()->setSliderDown(true);
  widget()->setSliderPosition(-2000);
  widget()->setSliderPosition(-2100);
  EXPECT_TRUE(seen.empty());
  widget()->setSliderDown(false);
  EXPECT_EQ(seen, (std::vector<int>{2100}));
}

TEST_F(ScrollFixture, NewRangeMovesTheValueInsideWithoutChange) {
  Start(1, 30, 20);
  bar.SetRange(1, 10);
  EXPECT_EQ(bar.Value(), 10);
  EXPECT_EQ(widget()->value(), 10);
  bar.SetRange(-40000, 10);  // beyond the 16-bit range: refused
  EXPECT_EQ(bar.Min(), 1);
  EXPECT_TRUE(seen.empty());
}

}  // namespace
