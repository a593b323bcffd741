// Twips per pixel from the primary screen's logical dpi.
#include <QGuiApplication>
#include <QScreen>

#include "platform/forms/forms.h"

namespace forms {
namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kFallbackDpi = 96.0;  // no screen (no GUI application yet)

double LogicalDpi(bool horizontal) {
  const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                              ? QGuiApplication::primaryScreen()
                              : nullptr;
  if (screen == nullptr) return kFallbackDpi;
  const double dpi = horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
  return dpi > 0 ? dpi : kFallbackDpi;
}

}  // namespace

double TwipsPerPixelX() {
  return kTwipsPerInch / LogicalDpi(true);
}
double TwipsPerPixelY() {
  return kTwipsPerInch / LogicalDpi(false);
}

}  // namespace forms
