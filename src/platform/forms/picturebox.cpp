// Picture boxes: drawing in twips into the backing image, the record of
// operations, the fixed lamp picture.
#include <QPainter>
#include <cmath>

#include "platform/forms/picture_impl.h"
#include "platform/forms/qt_support.h"

namespace forms {
namespace {

bool g_recording = false;

// Coordinates are kept within +-kFar twips before they reach the painter,
// whose fixed-point arithmetic would overflow far outside any box; what is
// cut off lies far beyond every edge.
constexpr double kFar = 1.0e7;

bool Finite(double a, double b) {
  return std::isfinite(a) && std::isfinite(b);
}
bool Near(double a, double b) {
  return std::fabs(a) <= kFar && std::fabs(b) <= kFar;
}

// Cuts the segment to the square +-kFar; false when nothing of it is left.
bool ClipToFar(double& x1, double& y1, double& x2, double& y2) {
  if (!Finite(x1, y1) || !Finite(x2, y2)) return false;
  return detail::ClipSegment(x1, y1, x2, y2, -kFar, -kFar, kFar, kFar);
}

double ClampFar(double v) {
  return std::clamp(v, -kFar, kFar);
}

DrawOp Op(DrawOp::Kind kind, float x1 = 0, float y1 = 0, float x2 = 0, float y2 = 0,
          Rgb colour = {}) {
  DrawOp op;
  op.kind = kind;
  op.x1 = x1;
  op.y1 = y1;
  op.x2 = x2;
  op.y2 = y2;
  op.rgb = colour;
  return op;
}

}  // namespace

void SetDrawRecording(bool on) {
  g_recording = on;
}
bool DrawRecording() {
  return g_recording;
}

PictureBox::PictureBox(Container* parent, std::string name)
    : Control(parent, std::move(name), new PictureWidget(parent->ContentWidget())),
      impl_(std::make_unique<Impl>(this)),
      form_(parent->OwnerForm()) {
  impl_->widget = static_cast<PictureWidget*>(widget());
  impl_->widget->SetImpl(impl_.get());
  QObject::connect(impl_->widget, &QObject::destroyed, [impl = impl_.get()] {
    impl->EndPainting();
    impl->widget = nullptr;
  });
  impl_->back = impl_->widget->palette().color(QPalette::Window);
}

PictureBox::~PictureBox() {
  impl_->EndPainting();
  if (impl_->widget != nullptr) {
    impl_->widget->SetImpl(nullptr);
    impl_->widget->disconnect();
  }
}

QWidget* PictureBox::ContentWidget() const {
  return widget();
}
Form* PictureBox::OwnerForm() {
  return form_;
}

// A picture box shows its back colour by clearing to it: a new back colour
// clears the picture at once.
void PictureBox::ApplyBackColor(Rgb colour) {
  impl_->back = detail::ToQColor(colour);
  QPalette palette = widget()->palette();
  palette.setColor(QPalette::Window, impl_->back);
  widget()->setPalette(palette);
  impl_->Fill();
  impl_->Changed();
}

void PictureBox::Cls() {
  impl_->record.clear();
  impl_->Record(Op(DrawOp::Kind::Cls));
  impl_->Fill();
  impl_->Changed();
}

void PictureBox::SetDrawWidth(int pixels) {
  DrawOp op = Op(DrawOp::Kind::Width);
  op.width = pixels;
  impl_->Record(op);
  impl_->draw_width = std::max(1, pixels);
}

int PictureBox::DrawWidth() const {
  return impl_->draw_width;
}

void PictureBox::Line(float x1, float y1, float x2, float y2, Rgb colour) {
  if (DrawRecording()) impl_->Record(Op(DrawOp::Kind::Line, x1, y1, x2, y2, colour));
  Impl& m = *impl_;
  if (m.draw_width == 1) {
    if (!m.DirectReady()) return;
    m.DirectLine(m.PxX(x1), m.PxY(y1), m.PxX(x2), m.PxY(y2), qRgb(colour.r, colour.g, colour.b));
    m.Changed();
    return;
  }
  double ax = x1, ay = y1, bx = x2, by = y2;
  if (!ClipToFar(ax, ay, bx, by)) return;
  QPainter* p = m.Painter();
  if (p == nullptr) return;
  m.UsePen(*p, colour);
  p->drawLine(QLineF(ax, ay, bx, by));
  m.Changed();
}

void PictureBox::Box(float x1, float y1, float x2, float y2, Rgb colour, bool filled) {
  if (DrawRecording()) {
    DrawOp op = Op(DrawOp::Kind::Box, x1, y1, x2, y2, colour);
    op.filled = filled;
    impl_->Record(op);
  }
  if (!Finite(x1, y1) || !Finite(x2, y2)) return;
  Impl& m = *impl_;
  // A box without width or height is drawn as its one outline line.
  const bool flat = x1 == x2 || y1 == y2;
  if (m.draw_width == 1) {
    if (!m.DirectReady()) return;
    const QRgb rgb = qRgb(colour.r, colour.g, colour.b);
    const double ax = m.PxX(x1), ay = m.PxY(y1), bx = m.PxX(x2), by = m.PxY(y2);
    if (filled || flat) {
      m.DirectFill(ax, ay, bx, by, rgb);
    } else {
      m.DirectLine(ax, ay, bx, ay, rgb);
      m.DirectLine(bx, ay, bx, by, rgb);
      m.DirectLine(bx, by, ax, by, rgb);
      m.DirectLine(ax, by, ax, ay, rgb);
    }
    m.Changed();
    return;
  }
  QPainter* p = m.Painter();
  if (p == nullptr) return;
  m.UsePen(*p, colour);
  const QPointF a(ClampFar(x1), ClampFar(y1)), b(ClampFar(x2), ClampFar(y2));
  if (flat) {
    p->drawLine(a, b);
  } else {
    if (filled) p->setBrush(QColor::fromRgb(m.pen_colour));
    p->drawRect(QRectF(a, b).normalized());
    if (filled) p->setBrush(Qt::NoBrush);
  }
  m.Changed();
}

void PictureBox::Circle(float x, float y, float radius, Rgb colour) {
  if (DrawRecording()) {
    DrawOp op = Op(DrawOp::Kind::Circle, x, y, 0, 0, colour);
    op.r = radius;
    impl_->Record(op);
  }
  // A negative or far too large radius draws nothing.
  if (!Finite(x, y) || !Near(x, y) || !std::isfinite(radius) || radius < 0 || radius > kFar) return;
  QPainter* p = impl_->Painter();
  if (p == nullptr) return;
  impl_->UsePen(*p, colour);
  p->drawEllipse(QPointF(x, y), radius, radius);
  impl_->Changed();
}

void PictureBox::PSet(float x, float y, Rgb colour) {
  if (DrawRecording()) impl_->Record(Op(DrawOp::Kind::Point, x, y, 0, 0, colour));
  Impl& m = *impl_;
  if (m.draw_width == 1) {
    if (!m.DirectReady()) return;
    m.DirectPoint(m.PxX(x), m.PxY(y), qRgb(colour.r, colour.g, colour.b));
    m.Changed();
    return;
  }
  if (!Finite(x, y) || !Near(x, y)) return;
  QPainter* p = m.Painter();
  if (p == nullptr) return;
  m.UsePen(*p, colour);
  p->drawPoint(QPointF(x, y));
  m.Changed();
}

void PictureBox::SetLampPicture(Rgb colour, int w, int h) {
  if (w <= 0 || h <= 0) {
    impl_->fixed_picture = QImage();
  } else {
    QImage lamp(w, h, QImage::Format_RGB32);
    lamp.fill(Qt::white);
    QPainter p(&lamp);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(detail::ToQColor(colour));
    p.drawEllipse(QRectF(1, 1, w - 2, h - 2));
    p.end();
    impl_->fixed_picture = lamp;
  }
  impl_->Fill();
  impl_->Changed();
}

const std::vector<DrawOp>& PictureBox::Record() const {
  return impl_->record;
}

bool PictureBox::SavePng(const std::string& path) const {
  impl_->EndPainting();
  impl_->EnsureImageSize();
  if (impl_->image.isNull()) return false;
  return impl_->image.save(detail::ToQString(path), "PNG");
}

// A point outside the box reads as black.
Rgb PictureBox::PixelAt(float x, float y) const {
  impl_->EndPainting();
  impl_->EnsureImageSize();
  if (!Finite(x, y)) return {};
  // The pixel a one-pixel point at (x, y) is drawn on.
  const double px = std::floor(impl_->PxX(x) + 0.5), py = std::floor(impl_->PxY(y) + 0.5);
  if (px < 0 || py < 0 || px >= impl_->image.width() || py >= impl_->image.height()) return {};
  return detail::FromQColor(QColor(impl_->image.pixel(static_cast<int>(px), static_cast<int>(py))));
}

void PictureBox::FireMouseDown(int button, int shift, float x, float y) {
  if (MouseDown) MouseDown(button, shift, x, y);
}

}  // namespace forms
