#include "platform/screen/screen.h"

#include <QGuiApplication>
#include <QScreen>

#include "platform/forms/forms.h"

namespace screen {
namespace {

// The primary screen, or null before a GUI application exists.
const QScreen* Primary() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return nullptr;
  return QGuiApplication::primaryScreen();
}

}  // namespace

float WidthTwips() {
  const QScreen* s = Primary();
  return s ? static_cast<float>(s->geometry().width() * forms::TwipsPerPixelX()) : 0.0f;
}

float HeightTwips() {
  const QScreen* s = Primary();
  return s ? static_cast<float>(s->geometry().height() * forms::TwipsPerPixelY()) : 0.0f;
}

}  // namespace screen
