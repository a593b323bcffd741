// The backing image of a picture box and the widget that shows it.
#include <QMouseEvent>
#include <QPaintEvent>
#include <QTransform>

#include "platform/forms/picture_impl.h"
#include "platform/forms/qt_support.h"

namespace forms {

PictureBox::Impl::Impl(PictureBox* owner_box) : owner(owner_box) {
  pen.setCosmetic(true);
  pen.setWidth(1);
  pen.setCapStyle(Qt::SquareCap);
  pen.setJoinStyle(Qt::MiterJoin);
}

QPainter* PictureBox::Impl::Painter() {
  if (painter.isActive()) {
    if (widget != nullptr && image.size() == widget->size()) return &painter;
    EndPainting();  // resized while drawing (a hidden box gets no resize event)
  }
  EnsureImageSize();
  if (image.isNull()) return nullptr;
  painter.begin(&image);
  painter.setTransform(QTransform::fromScale(1.0 / twips_per_pixel_x, 1.0 / twips_per_pixel_y));
  painter.setBrush(Qt::NoBrush);
  pen_valid = false;
  return &painter;
}

void PictureBox::Impl::EndPainting() {
  if (painter.isActive()) painter.end();
  pen_valid = false;
}

void PictureBox::Impl::EnsureImageSize() {
  if (widget == nullptr || image.size() == widget->size()) return;
  bits = nullptr;
  twips_per_pixel_x = TwipsPerPixelX();
  twips_per_pixel_y = TwipsPerPixelY();
  EndPainting();
  const QSize size = widget->size();
  if (size.isEmpty()) {
    image = QImage();
    return;
  }
  QImage next(size, QImage::Format_RGB32);
  next.fill(back);
  if (!image.isNull()) {
    QPainter copy(&next);
    copy.drawImage(0, 0, image);
  }
  image = std::move(next);
}

void PictureBox::Impl::Fill() {
  EndPainting();
  bits = nullptr;
  twips_per_pixel_x = TwipsPerPixelX();
  twips_per_pixel_y = TwipsPerPixelY();
  EnsureImageSize();
  if (image.isNull()) return;
  image.fill(back);
  if (!fixed_picture.isNull()) {
    QPainter p(&image);
    p.drawImage(0, 0, fixed_picture);
  }
}

void PictureBox::Impl::UsePen(QPainter& p, Rgb colour) {
  const QRgb rgb = qRgb(colour.r, colour.g, colour.b);
  if (pen_valid && rgb == pen_colour && pen.width() == draw_width) return;
  pen_colour = rgb;
  pen.setColor(QColor::fromRgb(rgb));
  pen.setWidth(draw_width);
  // One-pixel lines end square on their last pixel; wider ones are round.
  pen.setCapStyle(draw_width > 1 ? Qt::RoundCap : Qt::SquareCap);
  p.setPen(pen);
  pen_valid = true;
}

void PictureBox::Impl::Changed() {
  if (repaint_asked || widget == nullptr) return;
  repaint_asked = true;
  widget->update();
}

PictureWidget::PictureWidget(QWidget* parent) : QWidget(parent), impl_(nullptr) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureWidget::paintEvent(QPaintEvent* event) {
  if (impl_ == nullptr) return;
  impl_->repaint_asked = false;
  impl_->EndPainting();
  impl_->EnsureImageSize();
  QPainter p(this);
  if (impl_->image.isNull()) return;
  p.drawImage(event->rect(), impl_->image, event->rect());
}

void PictureWidget::resizeEvent(QResizeEvent*) {
  if (impl_ != nullptr) impl_->EnsureImageSize();
}

void PictureWidget::mousePressEvent(QMouseEvent* event) {
  if (impl_ == nullptr) return;
  int button = 0;
  if (event->button() == Qt::LeftButton) button = 1;
  if (event->button() == Qt::RightButton) button = 2;
  if (event->button() == Qt::MiddleButton) button = 4;
  int shift = 0;
  if (event->modifiers() & Qt::ShiftModifier) shift |= 1;
  if (event->modifiers() & Qt::ControlModifier) shift |= 2;
  if (event->modifiers() & Qt::AltModifier) shift |= 4;
  const QPointF pos = event->position();
  impl_->owner->FireMouseDown(button, shift, detail::TwipsX(pos.x()), detail::TwipsY(pos.y()));
}

}  // namespace forms
