// The inside of a picture box: its backing image, the painter kept open on
// it while the program draws, and the widget that shows it.
#pragma once

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QWidget>
#include <vector>

#include "platform/forms/forms.h"

namespace forms {

namespace detail {
// Cuts the segment a-b to the rectangle [x0, x1] x [y0, y1]; false when
// none of it lies inside.
bool ClipSegment(double& ax, double& ay, double& bx, double& by, double x0, double y0, double x1,
                 double y1);
}  // namespace detail

class PictureWidget;

struct PictureBox::Impl {
  explicit Impl(PictureBox* owner);

  // The painter on the backing image, opened when needed, with the twips
  // scale set; null while the box has no pixels.
  QPainter* Painter();
  // Ends the painter; done before the image is shown, read or re-made.
  void EndPainting();
  // Makes the image the widget's pixel size, keeping what fits of the old one.
  void EnsureImageSize();
  // Fills the image with the back colour and the fixed picture.
  void Fill();
  // Uses the pen of this colour and the current draw width.
  void UsePen(QPainter& painter, Rgb colour);
  // Asks for one repaint of the widget after a run of drawing.
  void Changed();
  void Record(const DrawOp& op) {
    if (DrawRecording()) record.push_back(op);
  }

  // One-pixel drawing writes the image's pixels directly: the raster
  // engine's set-up for each call costs far more than the few pixels of a
  // waterfall stroke.  Coordinates here are in pixels.
  bool DirectReady();  // false while the box has no pixels
  void DirectLine(double x1, double y1, double x2, double y2, QRgb colour);
  void DirectPoint(double x, double y, QRgb colour);
  void DirectFill(double x1, double y1, double x2, double y2, QRgb colour);
  void SetPixel(int x, int y, QRgb colour) {
    if (static_cast<unsigned>(x) < static_cast<unsigned>(width_px) &&
        static_cast<unsigned>(y) < static_cast<unsigned>(height_px))
      reinterpret_cast<QRgb*>(bits + y * bytes_per_line)[x] = colour;
  }
  // Twips to pixels, with the scale taken when the image was last cleared.
  double PxX(double twips) const { return twips / twips_per_pixel_x; }
  double PxY(double twips) const { return twips / twips_per_pixel_y; }

  PictureBox* owner;
  PictureWidget* widget = nullptr;  // owned by the control
  QImage image;                     // the picture as shown, widget pixel size
  QPainter painter;                 // open on image between repaints
  QPen pen;                         // cosmetic: widths in pixels
  QRgb pen_colour = 0;
  int draw_width = 1;      // pixels
  bool pen_valid = false;  // pen set on the open painter
  bool repaint_asked = false;
  QColor back = Qt::white;     // back colour
  QImage fixed_picture;        // the lamp, drawn at the top-left; null if none
  std::vector<DrawOp> record;  // operations since the last clear
  // The image's pixels, taken by DirectReady() and dropped whenever the
  // image is re-made or refilled.
  uchar* bits = nullptr;
  qsizetype bytes_per_line = 0;
  int width_px = 0, height_px = 0;
  double twips_per_pixel_x = 15, twips_per_pixel_y = 15;
};

// The widget of a picture box: paints the backing image, reports presses.
class PictureWidget : public QWidget {
 public:
  explicit PictureWidget(QWidget* parent);
  void SetImpl(PictureBox::Impl* impl) { impl_ = impl; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  PictureBox::Impl* impl_;
};

}  // namespace forms
