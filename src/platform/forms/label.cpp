// Labels: the caption centred line by line, wrapped only at spaces (as the
// platform's labels do; a Japanese word is not split between ideographs),
// optionally inside a single-line border.
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

#include "platform/forms/qt_support.h"

namespace forms {
namespace {

bool IsSpace(QChar c) {
  return c == u' ' || c == QChar(0x3000);
}

}  // namespace

namespace detail {

QStringList WrapParagraph(const QString& text, const QFontMetricsF& metrics, double width) {
  QStringList lines;
  QString line;
  qsizetype i = 0;
  while (i < text.size()) {
    // The next piece: a run of spaces, or a word.
    const bool spaces = IsSpace(text[i]);
    qsizetype j = i;
    while (j < text.size() && IsSpace(text[j]) == spaces) ++j;
    const QString piece = text.mid(i, j - i);
    i = j;
    // Spaces stay on their line; a word that does not fit starts the next
    // one (also after a line of nothing but spaces).
    if (!spaces && !line.isEmpty() && metrics.horizontalAdvance(line + piece) > width) {
      lines.append(line);
      line = piece;
    } else {
      line += piece;
    }
    // A word wider than a whole line is split where it must be.
    while (!spaces && metrics.horizontalAdvance(line) > width && line.size() > 1) {
      qsizetype fit = 1;
      while (fit < line.size() && metrics.horizontalAdvance(line.left(fit + 1)) <= width) ++fit;
      lines.append(line.left(fit));
      line = line.mid(fit);
    }
  }
  lines.append(line);
  return lines;
}

}  // namespace detail

namespace {

class LabelWidget : public QWidget {
 public:
  LabelWidget(QWidget* parent, bool border) : QWidget(parent), border_(border) {}
  void SetCaption(const QString& caption) {
    caption_ = caption;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const int inset = border_ ? 1 : 0;
    if (border_) {
      p.setPen(palette().color(QPalette::WindowText));
      p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    const QRect area = rect().adjusted(inset, inset, -inset, -inset);
    p.setClipRect(area);
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetricsF metrics(font());
    double y = area.top();
    QString text = caption_;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QString& paragraph : text.split(u'\n')) {
      for (const QString& line : detail::WrapParagraph(paragraph, metrics, area.width())) {
        QString shown = line;
        while (!shown.isEmpty() && IsSpace(shown.back())) shown.chop(1);
        const double x = area.left() + (area.width() - metrics.horizontalAdvance(shown)) / 2;
        p.drawText(QPointF(x, y + metrics.ascent()), shown);
        y += metrics.height();
        if (y > area.bottom()) return;
      }
    }
  }

 private:
  bool border_;
  QString caption_;
};

}  // namespace

Label::Label(Container* parent, std::string name, bool border)
    : Control(parent, std::move(name), new LabelWidget(parent->ContentWidget(), border)) {
  detail::UsePlatformPalette(widget());
}

void Label::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (auto* label = static_cast<LabelWidget*>(widget())) {
    label->SetCaption(detail::ToQString(caption));
  }
}

}  // namespace forms
