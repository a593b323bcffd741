// Frames: containers with a border and an optional caption.
#include <QGroupBox>

#include "platform/forms/qt_support.h"

namespace forms {

Frame::Frame(Container* parent, std::string name)
    : Control(parent, std::move(name), new QGroupBox(parent->ContentWidget())),
      form_(parent->OwnerForm()) {}

void Frame::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (auto* box = static_cast<QGroupBox*>(widget())) box->setTitle(detail::ToQString(caption));
}

QWidget* Frame::ContentWidget() const {
  return widget();
}
Form* Frame::OwnerForm() {
  return form_;
}

}  // namespace forms
