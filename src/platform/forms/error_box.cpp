// The message box of a fatal error.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "platform/forms/qt_support.h"

namespace forms {

void ShowErrorBox(const std::string& title, const std::string& text) {
  // Without a widget application, or on a platform with no real display
  // (offscreen, minimal), nobody could answer the box: return at once.
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return;
  QMessageBox::critical(nullptr, detail::ToQString(title), detail::ToQString(text));
}

void EndWithError(const std::string& text) {
  std::fprintf(stderr, "tonvista: %s\n", text.c_str());
  std::fflush(stderr);
  ShowErrorBox("Tonvista", text);
  // Nothing to save: the program writes no files.
  std::_Exit(1);
}

}  // namespace forms
