// tonvista-replay's engine: runs the real program headless against the
// scripted engine, one script command at a time, and reports what it saw.
#pragma once

#include <QJsonObject>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace replay {

// A script line that cannot be run.
struct ScriptError : std::runtime_error {
  ScriptError(int line, const std::string& message)
      : std::runtime_error("line " + std::to_string(line) + ": " + message), line(line) {}
  int line;
};

class Session {
 public:
  // Starts from the program's start state: module-wide values 0, no window,
  // the scripted engine reset, drawing recorded.
  // `out_folder` receives the dump command's files.
  explicit Session(std::string out_folder = {});
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Runs a script (several lines) or one command; throws ScriptError.
  void Run(std::string_view script);
  // Writes NAME.json and the pictures into `folder`.
  void Dump(const std::string& name, const std::string& folder);
  // What a dump writes into NAME.json; like a dump, it starts a new list of
  // engine calls.
  QJsonObject Snapshot();

 private:
  // Runs one line; true when the line hands the rest of the script to the
  // event loop (run).
  bool RunLine(int number, std::string_view line);
  void RunEventLoop(int number, std::string_view rest);
  std::string out_;
  int line_ = 0;
  bool in_event_loop_ = false;
};

// The default engine of the replay tool: the scripted engine beside the
// running executable.
std::string ScriptedEnginePath();

}  // namespace replay
