// main() of the program's benchmarks: a headless Qt application whose engine
// is the scripted engine.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "engine/PskEngine.h"
#include "replay_session.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  PskEngine::SetLibraryPath(replay::ScriptedEnginePath());
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
