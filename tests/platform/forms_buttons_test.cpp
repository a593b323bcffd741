// Option buttons, check boxes, command buttons and combo boxes: values and Click.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "platform/forms/forms.h"

namespace {

using Strings = std::vector<std::string>;

// The operator's click on the round or square mark of a button.
void ClickMark(forms::Control& c) {
  QTest::mouseClick(c.widget(), Qt::LeftButton, {}, QPoint(5, c.widget()->height() / 2));
}

struct ButtonFixture : testing::Test {
  forms::Form form{"Form1"};
  forms::Frame frame1{&form, "Frame1"};
  forms::Frame frame4{&form, "Frame4"};
  forms::ControlArray<forms::OptionButton> option2, option3;
  Strings clicks;

  ButtonFixture() {
    form.SetClientSize(8000, 3000);
    frame1.Move(0, 0, 3000, 1500);
    frame4.Move(3000, 0, 3000, 1500);
    for (int i = 0; i < 3; ++i) {
      for (auto [array, frame, name] :
           {std::tuple{&option2, &frame1, "Option2"}, std::tuple{&option3, &frame4, "Option3"}}) {
        const std::string element = std::string(name) + "(" + std::to_string(i) + ")";
        array->Add(i, std::make_unique<forms::OptionButton>(frame, element));
        (*array)[i].Move(90, 285 + 255 * i, 1500, 195);
        (*array)[i].Click = [this, element] { clicks.push_back(element); };
      }
    }
    form.Show();
  }
  std::vector<bool> Values(forms::ControlArray<forms::OptionButton>& a) {
    return {a[0].Value(), a[1].Value(), a[2].Value()};
  }
};

// Clearing or reselecting in code runs no Click; the operator's click always does.
TEST_F(ButtonFixture, OptionsExcludeEachOtherOnlyWithinTheirContainerAndClickWhenSelected) {
  option2[0].SetValue(true);
  option3[2].SetValue(true);
  ClickMark(option2[1]);
  EXPECT_EQ(Values(option2), (std::vector<bool>{false, true, false}));
  EXPECT_EQ(Values(option3), (std::vector<bool>{false, false, true}));
  option2[1].SetValue(true);
  option2[1].SetValue(false);
  EXPECT_EQ(Values(option2), (std::vector<bool>{false, false, false}));
  option2[2].PerformClick();
  option2[2].PerformClick();
  EXPECT_EQ(Values(option2), (std::vector<bool>{false, false, true}));
  EXPECT_EQ(clicks,
            (Strings{"Option2(0)", "Option3(2)", "Option2(1)", "Option2(2)", "Option2(2)"}));
}

TEST_F(ButtonFixture, CheckBoxValuesAndClicks) {
  forms::CheckBox check(&form, "ckRXAFC");
  check.Move(100, 2000, 900, 200);
  std::vector<int> seen;
  check.Click = [&] { seen.push_back(check.Value()); };
  check.SetValue(1);
  check.SetValue(1);  // no change: no click
  check.SetValue(3);  // not a check box value: refused
  check.SetValue(-1);
  EXPECT_EQ(check.Value(), 1);
  ClickMark(check);  // ticked -> clear
  ClickMark(check);  // clear -> ticked
  check.SetValue(2);
  EXPECT_EQ(static_cast<QCheckBox*>(check.widget())->checkState(), Qt::PartiallyChecked);
  check.PerformClick();  // greyed -> clear
  EXPECT_EQ(seen, (std::vector<int>{1, 0, 1, 2, 0}));
  EXPECT_EQ(static_cast<QCheckBox*>(check.widget())->checkState(), Qt::Unchecked);
}

TEST_F(ButtonFixture, CommandButtonClicksWhenEnabled) {
  forms::CommandButton button(&form, "Command1");
  button.Move(100, 2000, 1185, 285);
  int n = 0;
  button.Click = [&] { ++n; };
  QTest::mouseClick(button.widget(), Qt::LeftButton);
  button.PerformClick();
  button.SetEnabled(false);
  button.PerformClick();
  EXPECT_EQ(n, 2);
}

TEST(ComboBox, ListChangesKeepTheTextPickingClicksAndTypingDoesNot) {
  forms::Form form{"Form1"};
  forms::ComboBox combo{&form, "Combo3"};
  form.SetClientSize(3000, 3000);
  combo.Move(100, 100, 1200, 315);
  Strings clicked;
  combo.Click = [&] { clicked.push_back(combo.Text()); };
  form.Show();
  auto* edit = static_cast<QComboBox*>(combo.widget())->lineEdit();

  combo.SetText("5");
  combo.AddItem("a");
  combo.Clear();
  for (const char* item : {"1", "10", "20"}) combo.AddItem(item);
  EXPECT_EQ(combo.Items(), (Strings{"1", "10", "20"}));
  EXPECT_EQ(combo.ListCount(), 3);
  EXPECT_EQ(combo.List(2), "20");
  EXPECT_EQ(combo.List(3), "");
  EXPECT_EQ(combo.Text(), "5");
  EXPECT_TRUE(clicked.empty());

  EXPECT_TRUE(combo.PickItem("20"));
  EXPECT_FALSE(combo.PickItem("2"));  // no such item: nothing happens
  EXPECT_EQ(combo.Text(), "20");
  edit->selectAll();
  QTest::keyClicks(edit, "10");  // an item's text, typed
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(combo.Text(), "10");
  edit->selectAll();
  QTest::keyClicks(edit, "7");
  EXPECT_EQ(combo.Text(), "7");
  QTest::keyClick(combo.widget(), Qt::Key_Up);  // the operator picks with the arrow keys
  EXPECT_EQ(clicked, (Strings{"20", "10"}));
}

}  // namespace
