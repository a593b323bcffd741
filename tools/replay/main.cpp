// tonvista-replay SCRIPT --out DIR [--engine LIBRARY]
// Runs the program headless against the scripted engine as the script says
// and writes what it saw into DIR.
#include <QApplication>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "engine/PskEngine.h"
#include "replay_session.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  std::string script_path, out, engine = replay::ScriptedEnginePath();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--out" && i + 1 < argc) {
      out = argv[++i];
    } else if (arg == "--engine" && i + 1 < argc) {
      engine = argv[++i];
    } else if (script_path.empty() && !arg.empty() && arg[0] != '-') {
      script_path = arg;
    } else {
      std::fprintf(stderr, "usage: tonvista-replay SCRIPT --out DIR [--engine LIBRARY]\n");
      return 2;
    }
  }
  if (script_path.empty() || out.empty()) {
    std::fprintf(stderr, "usage: tonvista-replay SCRIPT --out DIR [--engine LIBRARY]\n");
    return 2;
  }
  std::ifstream file(script_path);
  if (!file) {
    std::fprintf(stderr, "tonvista-replay: cannot read %s\n", script_path.c_str());
    return 2;
  }
  std::stringstream text;
  text << file.rdbuf();

  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  PskEngine::SetLibraryPath(engine);
  try {
    replay::Session session(out);
    session.Run(text.str());
  } catch (const replay::ScriptError& e) {
    std::fprintf(stderr, "tonvista-replay: %s: %s\n", script_path.c_str(), e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tonvista-replay: %s\n", e.what());
    return 1;
  }
  return 0;
}
