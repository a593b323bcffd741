// Frames: containers filled with their back colour, an etched border and an
// optional caption let into the top edge.
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

#include "platform/forms/qt_support.h"

namespace forms {
namespace {

class FrameWidget : public QWidget {
 public:
  using QWidget::QWidget;
  void SetCaption(const QString& caption) {
    caption_ = caption;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Window));
    const QFontMetrics metrics(font());
    // The border runs through the middle of the caption's line.
    const int top = caption_.isEmpty() ? 0 : metrics.height() / 2;
    const QRect border = rect().adjusted(0, top, -2, -2);
    p.setPen(pal.color(QPalette::Dark));
    p.drawRect(border);
    p.setPen(pal.color(QPalette::Light));
    p.drawRect(border.translated(1, 1));
    if (caption_.isEmpty()) return;
    const int left = 6;
    const int width = metrics.horizontalAdvance(caption_) + 4;
    p.fillRect(QRect(left, 0, width, metrics.height()), pal.color(QPalette::Window));
    p.setPen(pal.color(QPalette::WindowText));
    p.drawText(QRect(left + 2, 0, width, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
               caption_);
  }

 private:
  QString caption_;
};

}  // namespace

Frame::Frame(Container* parent, std::string name)
    : Control(parent, std::move(name), new FrameWidget(parent->ContentWidget())),
      form_(parent->OwnerForm()) {}

void Frame::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (auto* frame = static_cast<FrameWidget*>(widget())) {
    frame->SetCaption(detail::ToQString(caption));
  }
}

QWidget* Frame::ContentWidget() const {
  return widget();
}
Form* Frame::OwnerForm() {
  return form_;
}

}  // namespace forms
