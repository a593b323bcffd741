// main() of the program's tests: a headless Qt application whose engine is
// the scripted engine.
#include <gtest/gtest.h>

#include <QApplication>

#include "engine/PskEngine.h"
#include "replay_session.h"

int main(int argc, char** argv) {
  // Test discovery runs the executable without the tests' environment.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  PskEngine::SetLibraryPath(replay::ScriptedEnginePath());
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
