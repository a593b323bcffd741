// Text boxes.  The text the program sees (CR LF line breaks, UTF-16
// counting) is kept here and is always current; the widget shows it with
// '\n' line breaks.  Changes reach the widget at the next turn of the event
// loop (or before the operator's input, or a screenshot), as one edit of the
// part that differs: a burst of appended characters costs one layout of the
// last line, not one per character.
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "platform/forms/qt_support.h"
#include "platform/forms/text_model.h"

namespace forms {
namespace {

QEvent::Type SyncEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

// Brings the widget up to date when its posted event arrives, and before
// the operator's input reaches it; reports double clicks.
class WidgetLink : public QObject {
 public:
  WidgetLink(QObject* parent, std::function<void()> sync, std::function<void()> double_click)
      : QObject(parent), sync_(std::move(sync)), double_click_(std::move(double_click)) {}

  bool event(QEvent* e) override {
    if (e->type() != SyncEventType()) return QObject::event(e);
    sync_();
    return true;
  }

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    switch (e->type()) {
      case QEvent::KeyPress:
      case QEvent::MouseButtonPress:
      case QEvent::InputMethod:
      case QEvent::DragEnter:
      case QEvent::Drop:
        sync_();
        break;
      case QEvent::MouseButtonDblClick:
        sync_();
        double_click_();
        break;
      default:
        break;
    }
    return false;  // the widget handles the event as usual
  }

 private:
  std::function<void()> sync_;
  std::function<void()> double_click_;
};

QWidget* MakeWidget(QWidget* parent, bool multiline, bool vertical_scroll_bar) {
  if (!multiline) return new QLineEdit(parent);
  auto* edit = new QPlainTextEdit(parent);
  edit->setUndoRedoEnabled(false);  // the received text grows one character at a time
  edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  edit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  edit->setVerticalScrollBarPolicy(vertical_scroll_bar ? Qt::ScrollBarAlwaysOn
                                                       : Qt::ScrollBarAlwaysOff);
  edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  edit->setTabChangesFocus(true);
  return edit;
}

}  // namespace

namespace detail {

void FlushTextBoxes() {
  QCoreApplication::sendPostedEvents(nullptr, SyncEventType());
}

}  // namespace detail

struct TextBox::Impl {
  bool multiline = false;
  QPlainTextEdit* edit = nullptr;  // multi-line widget
  QLineEdit* line = nullptr;       // single-line widget
  WidgetLink* link = nullptr;
  QString text;         // CR LF line breaks
  int caret = 0;        // position in text
  QString shown;        // what the widget shows
  int shown_caret = 0;  // where the widget's caret was put
  bool stale = false;   // text or caret not yet shown
  int changing = 0;     // > 0 while the widget is changed from here

  // The widget's caret and the other end of its selection, display positions.
  void WidgetSelection(int& position, int& anchor) const {
    position = anchor = shown_caret;
    if (edit != nullptr) {
      const QTextCursor c = edit->textCursor();
      position = c.position();
      anchor = c.anchor();
    } else if (line != nullptr) {
      position = anchor = line->cursorPosition();
      if (line->hasSelectedText()) {
        anchor = position == line->selectionStart() ? line->selectionEnd() : line->selectionStart();
      }
    }
  }

  // The selection in text positions: the caret placed from here, or what
  // the operator has since placed or selected in the widget.
  void Selection(int& start, int& end) const {
    int position = shown_caret, anchor = shown_caret;
    if (!stale) WidgetSelection(position, anchor);
    if (position == anchor && position == shown_caret) {
      start = end = caret;
      return;
    }
    start = detail::ModelPosition(text, std::min(position, anchor), multiline);
    end = detail::ModelPosition(text, std::max(position, anchor), multiline);
  }

  void Changed() {
    if (stale) return;
    stale = true;
    if (link != nullptr) QCoreApplication::postEvent(link, new QEvent(SyncEventType()));
  }

  // Shows the text and caret: one replacement of the differing middle part.
  void Sync() {
    if (!stale) return;
    stale = false;
    const QString display = detail::ToDisplay(text, multiline);
    const qsizetype limit = std::min(display.size(), shown.size());
    qsizetype prefix = 0;
    while (prefix < limit && display[prefix] == shown[prefix]) ++prefix;
    qsizetype suffix = 0;
    while (suffix < limit - prefix &&
           display[display.size() - 1 - suffix] == shown[shown.size() - 1 - suffix])
      ++suffix;
    const int from = static_cast<int>(prefix), to = static_cast<int>(shown.size() - suffix);
    const QString middle = display.mid(prefix, display.size() - suffix - prefix);
    const int caret_shown = detail::DisplayPosition(text, caret, multiline);
    ++changing;
    if (edit != nullptr) {
      QTextCursor c(edit->document());
      if (from != to || !middle.isEmpty()) {
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        c.insertText(middle);
      }
      c.setPosition(std::min(caret_shown, edit->document()->characterCount() - 1));
      edit->setTextCursor(c);
    } else if (line != nullptr) {
      if (line->text() != display) line->setText(display);
      line->setCursorPosition(caret_shown);
    }
    --changing;
    shown = display;
    shown_caret = caret_shown;
  }

  // The operator changed the widget's text: take it over.
  void TakeFromWidget() {
    shown = edit != nullptr ? edit->toPlainText() : line->text();
    text = detail::FromDisplay(shown, multiline);
    int position = 0, anchor = 0;
    WidgetSelection(position, anchor);
    shown_caret = position;
    caret = detail::ModelPosition(text, position, multiline);
  }
};

TextBox::TextBox(Container* parent, std::string name, bool multiline, bool vertical_scroll_bar)
    : Control(parent, std::move(name),
              MakeWidget(parent->ContentWidget(), multiline, vertical_scroll_bar)),
      impl_(std::make_unique<Impl>()) {
  detail::UsePlatformPalette(widget());
  Impl* impl = impl_.get();
  impl->multiline = multiline;
  impl->link = new WidgetLink(
      widget(), [impl] { impl->Sync(); },
      [this] {
        if (DblClick) DblClick();
      });
  QObject::connect(widget(), &QObject::destroyed, [impl] {
    impl->edit = nullptr;
    impl->line = nullptr;
    impl->link = nullptr;
  });
  auto on_edit = [this, impl] {
    if (impl->changing > 0) return;
    const QString before = impl->text;
    impl->TakeFromWidget();
    if (impl->text != before && Change) Change();
  };
  if (multiline) {
    impl->edit = static_cast<QPlainTextEdit*>(widget());
    QObject::connect(impl->edit, &QPlainTextEdit::textChanged, on_edit);
    impl->edit->installEventFilter(impl->link);
    impl->edit->viewport()->installEventFilter(impl->link);
  } else {
    impl->line = static_cast<QLineEdit*>(widget());
    QObject::connect(impl->line, &QLineEdit::textEdited, on_edit);
    impl->line->installEventFilter(impl->link);
  }
}

TextBox::~TextBox() {
  if (widget() != nullptr) {
    widget()->disconnect();
    delete impl_->link;  // drops its queued event
  }
}

std::string TextBox::Text() const {
  return detail::FromQString(impl_->text);
}

void TextBox::SetText(const std::string& text) {
  const QString next = detail::ToQString(text);
  const bool changed = next != impl_->text;
  impl_->text = next;
  impl_->caret = 0;  // setting the text puts the caret at the start
  impl_->Changed();
  if (changed && Change) Change();
}

int TextBox::Length() const {
  return static_cast<int>(impl_->text.size());
}

int TextBox::SelStart() const {
  int start = 0, end = 0;
  impl_->Selection(start, end);
  return start;
}

void TextBox::SetSelStart(int position) {
  Impl& m = *impl_;
  m.caret = std::clamp(position, 0, static_cast<int>(m.text.size()));
  // From here on the caret placed in code counts, not what the operator
  // last placed or selected in the widget.
  m.shown_caret = -1;
  m.Changed();
}

void TextBox::SelText(const std::string& utf8) {
  Impl& m = *impl_;
  const QString insert = detail::ToQString(utf8);
  int start = 0, end = 0;
  m.Selection(start, end);
  if (insert.isEmpty() && start == end) return;
  m.text.replace(start, end - start, insert);
  m.caret = start + static_cast<int>(insert.size());
  m.shown_caret = -1;
  m.Changed();
  if (Change) Change();
}

}  // namespace forms
