// Scroll bars whose value at the top (left) end may be the larger one.  With
// Min > Max the QScrollBar holds the negated value (range -Min..-Max), so the
// handle, the arrows and the track all run the right way.
#include <QScrollBar>
#include <QSignalBlocker>

#include "platform/forms/qt_support.h"

namespace forms {
namespace {

constexpr int kLowest = -32768, kHighest = 32767;  // the platform's 16-bit range

QScrollBar* Bar(QWidget* w) {
  return static_cast<QScrollBar*>(w);
}

}  // namespace

ScrollBar::ScrollBar(Container* parent, std::string name, Orientation orientation)
    : Control(parent, std::move(name),
              new QScrollBar(orientation == Orientation::Vertical ? Qt::Vertical : Qt::Horizontal,
                             parent->ContentWidget())) {
  QScrollBar* bar = Bar(widget());
  detail::UsePlatformPalette(bar);
  bar->setRange(min_, max_);
  bar->setValue(value_);
  bar->setSingleStep(1);
  bar->setPageStep(1);
  // A dragged handle changes the value once, when it is let go.
  bar->setTracking(false);
  QObject::connect(bar, &QScrollBar::valueChanged, [this](int v) { FromWidget(v); });
}

ScrollBar::~ScrollBar() = default;

// Ends outside the 16-bit range are refused (the range stays).  A value
// outside the new range moves to its nearest end without running Change.
void ScrollBar::SetRange(int min, int max) {
  if (min < kLowest || min > kHighest || max < kLowest || max > kHighest) return;
  min_ = min;
  max_ = max;
  inverted_ = min > max;
  value_ = std::clamp(value_, std::min(min, max), std::max(min, max));
  if (QScrollBar* bar = Bar(widget())) {
    QSignalBlocker block(bar);
    if (inverted_) {
      bar->setRange(-min_, -max_);
    } else {
      bar->setRange(min_, max_);
    }
    bar->setValue(inverted_ ? -value_ : value_);
  }
}

bool ScrollBar::SetValue(int value) {
  if (value < std::min(min_, max_) || value > std::max(min_, max_)) return false;
  if (value == value_) return true;
  value_ = value;
  if (QScrollBar* bar = Bar(widget())) {
    QSignalBlocker block(bar);
    bar->setValue(inverted_ ? -value_ : value_);
  }
  if (Change) Change();
  return true;
}

void ScrollBar::SetSmallChange(int step) {
  if (widget() != nullptr && step > 0) Bar(widget())->setSingleStep(step);
}

void ScrollBar::SetLargeChange(int step) {
  if (widget() != nullptr && step > 0) Bar(widget())->setPageStep(step);
}

void ScrollBar::FromWidget(int widget_value) {
  const int value = inverted_ ? -widget_value : widget_value;
  if (value == value_) return;
  value_ = value;
  if (Change) Change();
}

}  // namespace forms
