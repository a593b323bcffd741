// Tonvista: IMD and clock-error readings of a received PSK signal.
#include <QApplication>

#include "app/form1.h"
#include "app/startup.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  StartProgram();
  const int status = app.exec();
  DestroyForm1();
  return status;
}
