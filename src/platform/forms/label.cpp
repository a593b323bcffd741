// Labels: centred, word-wrapped text, optionally in a single-line border.
#include <QLabel>

#include "platform/forms/qt_support.h"

namespace forms {

Label::Label(Container* parent, std::string name, bool border)
    : Control(parent, std::move(name), new QLabel(parent->ContentWidget())) {
  auto* label = static_cast<QLabel*>(widget());
  detail::UsePlatformPalette(label);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setWordWrap(true);
  label->setMargin(0);
  if (border) {
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setLineWidth(1);
  }
}

void Label::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (auto* label = static_cast<QLabel*>(widget())) label->setText(detail::ToQString(caption));
}

}  // namespace forms
