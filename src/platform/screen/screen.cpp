#include "platform/screen/screen.h"

#include <QGuiApplication>
#include <QScreen>
#include <optional>
#include <utility>

#include "platform/forms/forms.h"

namespace screen {
namespace {

// The primary screen, or null before a GUI application exists.
const QScreen* Primary() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return nullptr;
  return QGuiApplication::primaryScreen();
}

std::optional<std::pair<float, float>> g_override;  // width, height in twips

}  // namespace

void SetSizeOverride(float width_twips, float height_twips) {
  g_override = {width_twips, height_twips};
}

void ClearSizeOverride() {
  g_override.reset();
}

float WidthTwips() {
  if (g_override) return g_override->first;
  const QScreen* s = Primary();
  return s ? static_cast<float>(s->geometry().width() * forms::TwipsPerPixelX()) : 0.0f;
}

float HeightTwips() {
  if (g_override) return g_override->second;
  const QScreen* s = Primary();
  return s ? static_cast<float>(s->geometry().height() * forms::TwipsPerPixelY()) : 0.0f;
}

}  // namespace screen
