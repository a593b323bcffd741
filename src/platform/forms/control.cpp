// What every control has: twips geometry, visibility, colours, font.
#include <QApplication>
#include <QCheckBox>
#include <QPalette>
#include <QRadioButton>
#include <QWidget>

#include "platform/forms/qt_support.h"

namespace forms {

Control::Control(Container* parent, std::string name, QWidget* widget)
    : name_(std::move(name)), widget_(widget), owner_(parent->OwnerForm()) {
  // Qt may destroy the widget before the control (its window closes first).
  QObject::connect(widget_, &QObject::destroyed, [this] { widget_ = nullptr; });
  widget_->setVisible(true);  // shown with its window
  if (owner_ != nullptr) owner_->Register(this);
}

Control::~Control() {
  if (owner_ != nullptr) owner_->Unregister(this);
  if (widget_ != nullptr) {
    QWidget* w = widget_;
    widget_ = nullptr;
    w->disconnect();
    delete w;
  }
}

// Sizes below zero cannot be shown: such a value is refused and the control
// keeps its size, as the platform's refusal would leave it.
void Control::SetLeft(float twips) {
  Move(twips, top_, width_, height_);
}
void Control::SetTop(float twips) {
  Move(left_, twips, width_, height_);
}
void Control::SetWidth(float twips) {
  Move(left_, top_, twips, height_);
}
void Control::SetHeight(float twips) {
  Move(left_, top_, width_, twips);
}

void Control::Move(float left, float top, float width, float height) {
  if (width < 0 || height < 0) return;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  ApplyGeometry();
}

void Control::ApplyGeometry() {
  if (widget_ == nullptr) return;
  widget_->setGeometry(detail::PixelsX(left_), detail::PixelsY(top_), detail::PixelsX(width_),
                       detail::PixelsY(height_));
}

bool Control::Visible() const {
  if (widget_ == nullptr) return false;
  // The control's own property, whether or not its container is on screen.
  return widget_->isVisibleTo(widget_->parentWidget());
}

void Control::SetVisible(bool visible) {
  if (widget_ != nullptr) widget_->setVisible(visible);
}

bool Control::Enabled() const {
  return widget_ != nullptr && widget_->isEnabledTo(widget_->parentWidget());
}

void Control::SetEnabled(bool enabled) {
  if (widget_ != nullptr) widget_->setEnabled(enabled);
}

void Control::SetBackColor(Rgb colour) {
  if (widget_ != nullptr) ApplyBackColor(colour);
}

void Control::SetForeColor(Rgb colour) {
  if (widget_ != nullptr) ApplyForeColor(colour);
}

void Control::ApplyBackColor(Rgb colour) {
  QPalette palette = widget_->palette();
  const QColor c = detail::ToQColor(colour);
  palette.setColor(QPalette::Window, c);
  // Containers leave the fields and buttons they hold alone; check and
  // option marks keep their white square or circle (the field colour).
  if (dynamic_cast<Container*>(this) == nullptr) {
    palette.setColor(QPalette::Button, c);  // a button's background
    const bool mark = qobject_cast<QCheckBox*>(widget_) || qobject_cast<QRadioButton*>(widget_);
    if (!mark) palette.setColor(QPalette::Base, c);
  }
  widget_->setPalette(palette);
  widget_->setAutoFillBackground(true);
}

void Control::ApplyForeColor(Rgb colour) {
  QPalette palette = widget_->palette();
  const QColor c = detail::ToQColor(colour);
  palette.setColor(QPalette::WindowText, c);
  if (dynamic_cast<Container*>(this) == nullptr) {
    palette.setColor(QPalette::Text, c);
    palette.setColor(QPalette::ButtonText, c);
  }
  widget_->setPalette(palette);
}

void Control::SetFont(const FontStyle& font) {
  if (widget_ != nullptr) widget_->setFont(detail::MakeFont(font));
}

void Control::BringToFront() {
  if (widget_ != nullptr) widget_->raise();
}

}  // namespace forms

namespace forms::detail {

void UsePlatformPalette(QWidget* widget) {
  QPalette palette = QApplication::palette(widget);
  // Every colour set explicitly, so that none is taken from the container.
  for (int group = 0; group < QPalette::NColorGroups; ++group) {
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
      const auto g = static_cast<QPalette::ColorGroup>(group);
      const auto r = static_cast<QPalette::ColorRole>(role);
      palette.setColor(g, r, palette.color(g, r));
    }
  }
  widget->setPalette(palette);
}

}  // namespace forms::detail
