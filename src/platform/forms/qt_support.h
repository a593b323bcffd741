// Qt-side helpers shared by the control kit's sources (not part of the kit's
// interface: only the kit includes this file).
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <QStringList>
#include <cmath>
#include <string>

#include "platform/forms/forms.h"

namespace forms::detail {

inline QColor ToQColor(Rgb c) {
  return QColor(c.r, c.g, c.b);
}
inline Rgb FromQColor(const QColor& c) {
  return RGB(c.red(), c.green(), c.blue());
}
inline QString ToQString(const std::string& utf8) {
  return QString::fromUtf8(utf8);
}
inline std::string FromQString(const QString& text) {
  return text.toUtf8().toStdString();
}

// Twips to the nearest whole pixel, and pixels back to twips.
inline int PixelsX(double twips) {
  return static_cast<int>(std::lround(twips / TwipsPerPixelX()));
}
inline int PixelsY(double twips) {
  return static_cast<int>(std::lround(twips / TwipsPerPixelY()));
}
inline float TwipsX(double pixels) {
  return static_cast<float>(pixels * TwipsPerPixelX());
}
inline float TwipsY(double pixels) {
  return static_cast<float>(pixels * TwipsPerPixelY());
}

// The Qt font for a design font; installs the font substitutions first.
QFont MakeFont(const FontStyle& params);
// Adds the substitutions of the design names once (called by MakeFont).
void InstallFontSubstitutions();

}  // namespace forms::detail

class QWidget;

namespace forms::detail {

// Gives a non-container control every colour of the platform's palette for
// its class, so that it does not take on the colours of its container.
void UsePlatformPalette(QWidget* widget);

// Breaks one paragraph of a label's caption into lines no wider than
// `width` pixels: at spaces (also ideographic ones), and inside a word only
// when the word alone is wider than a line.  Spaces stay at the end of
// their line (they are not shown there); spaces at the start of the text
// are shown.
QStringList WrapParagraph(const QString& text, const QFontMetricsF& metrics, double width);

// Shows the latest texts of all text boxes in their widgets now (they are
// otherwise brought up to date at the next turn of the event loop).
void FlushTextBoxes();

}  // namespace forms::detail
