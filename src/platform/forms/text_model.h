// A text box's text as the program sees it (line breaks are CR LF, counted
// as two characters) against the text its widget shows (a line break is one
// '\n').  A CR or LF that is not part of a CR LF pair is kept in the text but
// not shown; a single-line box shows no CR or LF at all.
#pragma once

#include <QString>

namespace forms::detail {

// The text the widget shows for a model text.
QString ToDisplay(const QString& model, bool multiline);
// The model text for what the widget shows (after the operator's edit).
QString FromDisplay(const QString& display, bool multiline);
// The display position of a model position (a position inside a CR LF pair
// is the one before the line break).
int DisplayPosition(const QString& model, int model_position, bool multiline);
// The first model position that shows at a display position.
int ModelPosition(const QString& model, int display_position, bool multiline);

}  // namespace forms::detail
