// Forms: top-level windows with load, resize and unload handling, outer and
// client sizes in twips, a message sink, and the list of their controls.
#include <QCloseEvent>
#include <QIcon>
#include <QMargins>
#include <QPixmap>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <functional>

#include "platform/forms/qt_support.h"

namespace forms {
namespace {

// The frame the window manager gave the last framed form: the best guess for
// a form not yet shown, whose own frame is not known yet.
QMargins g_seen_frame;

// The window of a form: its client area holds the form's controls.
class FormWindow : public QWidget {
 public:
  explicit FormWindow(Form* form) : form_(form) {}
  void Forget() { form_ = nullptr; }
  std::function<void()> Framed;  // runs when the window manager's frame is first known

 protected:
  void closeEvent(QCloseEvent* event) override {
    // The operator's close runs the unload handling; a close made by
    // Unload() itself finds it already running and changes nothing.
    if (form_ != nullptr) form_->Unload();
    event->accept();
  }
  void resizeEvent(QResizeEvent*) override { OuterSizeMaybeChanged(); }
  // The window manager's frame arrives after the first show: the outer
  // size then changes without a resize of the client area.
  void moveEvent(QMoveEvent*) override { OuterSizeMaybeChanged(); }

 private:
  void OuterSizeMaybeChanged() {
    if (form_ == nullptr) return;
    if (frameGeometry() != geometry()) {
      g_seen_frame = QMargins(geometry().left() - frameGeometry().left(),
                              geometry().top() - frameGeometry().top(),
                              frameGeometry().right() - geometry().right(),
                              frameGeometry().bottom() - geometry().bottom());
      if (Framed) Framed();
    }
    const QSize outer = frameGeometry().size();
    if (outer == reported_) return;
    reported_ = outer;
    if (form_->ResizeHandler) form_->ResizeHandler();
  }

  Form* form_;
  QSize reported_{-1, -1};  // outer size the resize handler last ran for
};

}  // namespace

struct Form::Impl {
  explicit Impl(Form* form) : window(new FormWindow(form)) {
    window->Framed = [this, form] {
      if (!centre_pending) return;
      centre_pending = false;
      form->PlaceCentred();
    };
  }
  ~Impl() {
    window->Forget();
    delete window;
  }
  // Frame size in pixels (0 before the window manager has framed it).
  QSize FrameExtra() const { return window->frameGeometry().size() - window->size(); }
  void ResizeClient(int width_px, int height_px) {
    width_px = std::max(width_px, 0);
    height_px = std::max(height_px, 0);
    if (fixed) {
      window->setFixedSize(width_px, height_px);
    } else {
      window->resize(width_px, height_px);
    }
  }

  FormWindow* window;
  winproc::MessageWindow messages;
  bool fixed = false;
  // Centring asked for before the window had its frame: done again, by the
  // true outer size, once the frame is known, unless the window moved since.
  bool centre_pending = false;
  float centre_screen_width = 0, centre_screen_height = 0;  // twips
  // Geometry in twips as last set; a getter returns it while the window's
  // pixels still agree with it, the window's own size otherwise.
  float left = 0, top = 0, outer_width = 0, outer_height = 0, client_width = 0, client_height = 0;
};

namespace {

float AsSetOr(float as_set, int pixels, bool horizontal) {
  const int set_pixels = horizontal ? detail::PixelsX(as_set) : detail::PixelsY(as_set);
  if (set_pixels == pixels) return as_set;
  return horizontal ? detail::TwipsX(pixels) : detail::TwipsY(pixels);
}

}  // namespace

Form::Form(std::string name) : name_(std::move(name)), impl_(std::make_unique<Impl>(this)) {
  impl_->window->setObjectName(detail::ToQString(name_));
}

Form::~Form() {
  for (Control* control : controls_) control->owner_ = nullptr;
  controls_.clear();
}

std::string Form::Caption() const {
  return detail::FromQString(impl_->window->windowTitle());
}

void Form::SetCaption(const std::string& caption) {
  impl_->window->setWindowTitle(detail::ToQString(caption));
}

void Form::SetBackColor(Rgb colour) {
  QPalette palette = impl_->window->palette();
  palette.setColor(QPalette::Window, detail::ToQColor(colour));
  impl_->window->setPalette(palette);
  impl_->window->setAutoFillBackground(true);
}

void Form::SetIcon(const std::string& image_path) {
  impl_->window->setWindowIcon(QIcon(detail::ToQString(image_path)));
}

void Form::SetFont(const FontStyle& font) {
  impl_->window->setFont(detail::MakeFont(font));
}

void Form::SetClientSize(float width_twips, float height_twips) {
  if (width_twips < 0 || height_twips < 0) return;
  const QSize frame = impl_->FrameExtra();
  impl_->client_width = width_twips;
  impl_->client_height = height_twips;
  impl_->outer_width = width_twips + detail::TwipsX(frame.width());
  impl_->outer_height = height_twips + detail::TwipsY(frame.height());
  impl_->ResizeClient(detail::PixelsX(width_twips), detail::PixelsY(height_twips));
}

void Form::SetFixedBorder(bool fixed) {
  impl_->fixed = fixed;
  if (fixed) {
    impl_->window->setFixedSize(impl_->window->size());
  } else {
    impl_->window->setMinimumSize(0, 0);
    impl_->window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  }
}

float Form::Left() const {
  return AsSetOr(impl_->left, impl_->window->x(), true);
}
float Form::Top() const {
  return AsSetOr(impl_->top, impl_->window->y(), false);
}
float Form::Width() const {
  return AsSetOr(impl_->outer_width, impl_->window->frameGeometry().width(), true);
}
float Form::Height() const {
  return AsSetOr(impl_->outer_height, impl_->window->frameGeometry().height(), false);
}
float Form::ScaleWidth() const {
  return AsSetOr(impl_->client_width, impl_->window->width(), true);
}
float Form::ScaleHeight() const {
  return AsSetOr(impl_->client_height, impl_->window->height(), false);
}

void Form::SetLeft(float twips) {
  impl_->centre_pending = false;
  impl_->left = twips;
  impl_->window->move(detail::PixelsX(twips), impl_->window->y());
}

void Form::SetTop(float twips) {
  impl_->centre_pending = false;
  impl_->top = twips;
  impl_->window->move(impl_->window->x(), detail::PixelsY(twips));
}

void Form::CentreOnScreen(float screen_width_twips, float screen_height_twips) {
  impl_->centre_screen_width = screen_width_twips;
  impl_->centre_screen_height = screen_height_twips;
  PlaceCentred();
  impl_->centre_pending = impl_->window->frameGeometry() == impl_->window->geometry();
}

// Top = (screen height - outer height) / 2, then Left likewise, in single
// precision; an unframed window counts with the frame last seen on another
// form.  The top-left corner stays on a screen smaller than the window, so
// the title bar can still be reached; a screen that reports no usable size
// leaves the window where it is.
void Form::PlaceCentred() {
  QWidget* w = impl_->window;
  const QMargins frame = w->frameGeometry() != w->geometry() ? QMargins() : g_seen_frame;
  const float top =
      (impl_->centre_screen_height - Height() - detail::TwipsY(frame.top() + frame.bottom())) /
      2.0f;
  if (std::isfinite(top)) {
    impl_->top = std::max(top, 0.0f);
    w->move(w->x(), detail::PixelsY(impl_->top));
  }
  const float left =
      (impl_->centre_screen_width - Width() - detail::TwipsX(frame.left() + frame.right())) / 2.0f;
  if (std::isfinite(left)) {
    impl_->left = std::max(left, 0.0f);
    w->move(detail::PixelsX(impl_->left), w->y());
  }
}

// A negative size is refused and the window keeps its size.
void Form::Resize(float outer_width_twips, float outer_height_twips) {
  if (outer_width_twips < 0 || outer_height_twips < 0) return;
  const QSize frame = impl_->FrameExtra();
  const int width_px = std::max(detail::PixelsX(outer_width_twips) - frame.width(), 0);
  const int height_px = std::max(detail::PixelsY(outer_height_twips) - frame.height(), 0);
  impl_->outer_width = outer_width_twips;
  impl_->outer_height = outer_height_twips;
  impl_->client_width = detail::TwipsX(width_px);
  impl_->client_height = detail::TwipsY(height_px);
  impl_->ResizeClient(width_px, height_px);
}

void Form::Show() {
  if (!loaded_) {
    loaded_ = true;
    if (Load) Load();
    if (!loaded_) return;  // the load handler unloaded the form
  }
  if (unloading_) return;
  impl_->window->show();
}

bool Form::IsShown() const {
  return impl_->window->isVisible();
}

void Form::Unload() {
  if (!loaded_ || unloading_) return;
  unloading_ = true;
  if (UnloadHandler) UnloadHandler();
  impl_->window->close();  // ends the program when it was the last window
  loaded_ = false;
  unloading_ = false;
}

winproc::HWND Form::hWnd() const {
  return impl_->messages.handle();
}

Control* Form::FindControl(const std::string& name) const {
  for (Control* control : controls_) {
    if (control->Name() == name) return control;
  }
  return nullptr;
}

void Form::Register(Control* control) {
  if (control == nullptr) return;
  if (std::find(controls_.begin(), controls_.end(), control) != controls_.end()) return;
  controls_.push_back(control);
}

void Form::Unregister(Control* control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

void Form::ApplyTabOrder() {
  std::vector<Control*> order;
  for (Control* control : controls_) {
    QWidget* w = control->widget();
    if (w != nullptr && (w->focusPolicy() & Qt::TabFocus)) order.push_back(control);
  }
  std::stable_sort(order.begin(), order.end(),
                   [](Control* a, Control* b) { return a->TabIndex() < b->TabIndex(); });
  for (size_t i = 1; i < order.size(); ++i) {
    QWidget::setTabOrder(order[i - 1]->widget(), order[i]->widget());
  }
}

bool Form::SavePng(const std::string& path) const {
  detail::FlushTextBoxes();
  return impl_->window->grab().save(detail::ToQString(path), "PNG");
}

QWidget* Form::ContentWidget() const {
  return impl_->window;
}
QWidget* Form::window() const {
  return impl_->window;
}

}  // namespace forms
