// Command buttons and option buttons.
#include <QPushButton>
#include <QRadioButton>

#include "platform/forms/qt_support.h"

namespace forms {

CommandButton::CommandButton(Container* parent, std::string name)
    : Control(parent, std::move(name), new QPushButton(parent->ContentWidget())) {
  auto* button = static_cast<QPushButton*>(widget());
  detail::UsePlatformPalette(button);
  button->setAutoDefault(false);
  QObject::connect(button, &QPushButton::clicked, [this] {
    if (Click) Click();
  });
}

void CommandButton::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (auto* button = static_cast<QPushButton*>(widget())) {
    button->setText(detail::ToQString(caption));
  }
}

// As the operator's click: nothing happens on a disabled button.
void CommandButton::PerformClick() {
  if (auto* button = static_cast<QPushButton*>(widget())) button->click();
}

// Option buttons exclude each other within their container because their
// widgets share a parent (auto-exclusive radio buttons).
OptionButton::OptionButton(Container* parent, std::string name)
    : Control(parent, std::move(name), new QRadioButton(parent->ContentWidget())) {
  auto* button = static_cast<QRadioButton*>(widget());
  detail::UsePlatformPalette(button);
  button->setAutoExclusive(true);
  // Every click of the operator runs Click, also on the button already selected.
  QObject::connect(button, &QRadioButton::clicked, [this] {
    if (Click) Click();
  });
}

void OptionButton::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (auto* button = static_cast<QRadioButton*>(widget())) {
    button->setText(detail::ToQString(caption));
  }
}

bool OptionButton::Value() const {
  auto* button = static_cast<QRadioButton*>(widget());
  return button != nullptr && button->isChecked();
}

// Selecting in code runs Click only when the button was not selected yet;
// clearing it selects no other button and runs nothing.
void OptionButton::SetValue(bool selected) {
  auto* button = static_cast<QRadioButton*>(widget());
  if (button == nullptr || button->isChecked() == selected) return;
  if (selected) {
    button->setChecked(true);  // clears the other buttons of the container
    if (Click) Click();
  } else {
    button->setAutoExclusive(false);  // an exclusive button cannot be cleared by itself
    button->setChecked(false);
    button->setAutoExclusive(true);
  }
}

void OptionButton::PerformClick() {
  if (auto* button = static_cast<QRadioButton*>(widget())) button->click();
}

}  // namespace forms
