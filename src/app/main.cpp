// Tonvista: IMD and clock-error readings of a received PSK signal.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/form1.h"
#include "app/startup.h"
#include "log/station_log.h"

int main(int argc, char** argv) {
  // --version prints the version without opening a window.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("tonvista " TONVISTA_VERSION);
      return 0;
    }
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("tonvista");
  QApplication::setApplicationVersion(TONVISTA_VERSION);
  // Ties the windows to the installed desktop entry (and its icon).
  QGuiApplication::setDesktopFileName("org.tonvista.Tonvista");
  std::string error;
  const auto log = station_log::PathFromArguments(argc, argv, &error);
  if (!error.empty()) {
    std::fprintf(stderr, "tonvista: %s\n", error.c_str());
    return 2;
  }
  if (log) station_log::Open(*log);
  StartProgram();
  const int status = app.exec();
  DestroyForm1();
  return status;
}
