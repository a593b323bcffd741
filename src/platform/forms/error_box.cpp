// The message box of a fatal error.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "platform/forms/qt_support.h"
#include "platform/winproc/winproc.h"

namespace forms {

void ShowErrorBox(const std::string& title, const std::string& text) {
  // Without a widget application nobody could see the box.
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;
  QMessageBox box(QMessageBox::Critical, detail::ToQString(title), detail::ToQString(text),
                  QMessageBox::Ok);
  // On a platform with no real display (offscreen, minimal) nobody could
  // answer it: its event loop runs once, as a shown box's does, and closes.
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
    QTimer::singleShot(0, &box, &QMessageBox::reject);
  box.exec();
}

void EndWithError(const std::string& text) {
  // An error met while the box of an earlier one is open ends at once: its
  // line is on standard error, and one box is enough.
  static bool ending = false;
  if (ending) std::_Exit(1);
  ending = true;
  winproc::HoldPostedMessages();
  std::fprintf(stderr, "tonvista: %s\n", text.c_str());
  std::fflush(stderr);
  ShowErrorBox("Tonvista", text);
  // Nothing to save: the program writes no files.
  std::_Exit(1);
}

}  // namespace forms
