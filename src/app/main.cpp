// Tonvista: IMD and clock-error readings of a received PSK signal.
#include <QApplication>
#include <cstdio>
#include <string>

#include "app/form1.h"
#include "app/startup.h"
#include "log/station_log.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
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
