// Check boxes with the values 0 (clear), 1 (ticked) and 2 (greyed).
#include <QCheckBox>

#include "platform/forms/qt_support.h"

namespace forms {
namespace {

// A click ticks a clear box and clears a ticked or greyed one; greyed is
// reached only from code.
class TwoStepCheckBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

 protected:
  void nextCheckState() override {
    setCheckState(checkState() == Qt::Unchecked ? Qt::Checked : Qt::Unchecked);
  }
};

Qt::CheckState StateOf(int value) {
  return value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
}

int ValueOf(Qt::CheckState state) {
  return state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0;
}

}  // namespace

CheckBox::CheckBox(Container* parent, std::string name)
    : Control(parent, std::move(name), new TwoStepCheckBox(parent->ContentWidget())) {
  auto* box = static_cast<QCheckBox*>(widget());
  detail::UsePlatformPalette(box);
  box->setTristate(true);
  QObject::connect(box, &QCheckBox::clicked, [this, box] {
    const int value = ValueOf(box->checkState());
    if (value == value_) return;
    value_ = value;
    if (Click) Click();
  });
}

void CheckBox::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (auto* box = static_cast<QCheckBox*>(widget())) box->setText(detail::ToQString(caption));
}

void CheckBox::SetValue(int value) {
  if (value < 0 || value > 2 || value == value_) return;
  value_ = value;
  if (auto* box = static_cast<QCheckBox*>(widget())) box->setCheckState(StateOf(value));
  if (Click) Click();
}

void CheckBox::PerformClick() {
  if (auto* box = static_cast<QCheckBox*>(widget())) box->click();
}

}  // namespace forms
