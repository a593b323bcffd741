#include "platform/forms/text_model.h"

namespace forms::detail {
namespace {

// How many display characters model character i gives: the LF of a CR LF
// pair gives the line break, every other CR or LF gives nothing.
int Shown(const QString& model, qsizetype i, bool multiline) {
  const QChar c = model[i];
  if (c == u'\r') return 0;
  if (c == u'\n') return multiline && i > 0 && model[i - 1] == u'\r' ? 1 : 0;
  return 1;
}

}  // namespace

QString ToDisplay(const QString& model, bool multiline) {
  if (!model.contains(u'\r') && !model.contains(u'\n')) return model;
  QString out;
  out.reserve(model.size());
  for (qsizetype i = 0; i < model.size(); ++i) {
    if (Shown(model, i, multiline) == 0) continue;
    out.append(model[i]);
  }
  return out;
}

QString FromDisplay(const QString& display, bool multiline) {
  QString out;
  out.reserve(display.size() + display.size() / 16);
  for (QChar c : display) {
    if (c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
      if (multiline) out.append(u"\r\n");
      continue;
    }
    if (c == u'\r') continue;
    out.append(c);
  }
  return out;
}

int DisplayPosition(const QString& model, int model_position, bool multiline) {
  int shown = 0;
  const qsizetype end = std::min<qsizetype>(model_position, model.size());
  for (qsizetype i = 0; i < end; ++i) shown += Shown(model, i, multiline);
  return shown;
}

int ModelPosition(const QString& model, int display_position, bool multiline) {
  int shown = 0;
  qsizetype i = 0;
  // Stops right after the character that reaches the position, before any
  // hidden character that follows it.
  for (; i < model.size() && shown < display_position; ++i) shown += Shown(model, i, multiline);
  return static_cast<int>(i);
}

}  // namespace forms::detail
