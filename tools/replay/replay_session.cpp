#include "replay_session.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <exception>
#include <filesystem>
#include <map>

#include "app/Module1.h"
#include "app/form1.h"
#include "app/frm_sound_board.h"
#include "app/startup.h"
#include "engine/PskEngine.h"
#include "platform/devices/devices.h"
#include "platform/forms/forms.h"
#include "platform/screen/screen.h"
#include "platform/winproc/winproc.h"
#include "script_words.h"
#include "scripted_engine_control.h"

namespace replay {
namespace {

// The scripted engine's controls, looked up by name in the engine library.
template <class F>
F Control(const char* name) {
  void* symbol = PskEngine::FindSymbol(name);
  if (symbol == nullptr) throw std::runtime_error(std::string("the engine lacks ") + name);
  return reinterpret_cast<F>(symbol);
}

void Settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

// The program's forms that exist, the main window first.
std::vector<forms::Form*> OpenForms() {
  std::vector<forms::Form*> out;
  if (Form1Exists()) out.push_back(&Form1());
  if (frmSoundBoardExists()) out.push_back(&frmSoundBoard());
  return out;
}

forms::Form* FindForm(const std::string& name) {
  for (forms::Form* form : OpenForms()) {
    if (form->Name() == name) return form;
  }
  return nullptr;
}

// Notes the application's quit request, which ends its event loop.
class QuitWatch : public QObject {
 public:
  QuitWatch() { QCoreApplication::instance()->installEventFilter(this); }
  ~QuitWatch() override { QCoreApplication::instance()->removeEventFilter(this); }
  bool seen = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) seen = true;
    return false;
  }
};

// Finds a control by its dump name ("Picture2", "Option2(3)", "Form1").
forms::Control* FindControl(const std::string& name) {
  for (forms::Form* form : OpenForms()) {
    std::string local = name;
    const std::string prefix = form->Name() + ".";
    if (form->Name() != "Form1") {
      if (local.rfind(prefix, 0) != 0) continue;
      local = local.substr(prefix.size());
    }
    if (forms::Control* c = form->FindControl(local)) return c;
  }
  return nullptr;
}

QJsonArray RgbJson(forms::Rgb c) {
  return QJsonArray{c.r, c.g, c.b};
}

QJsonObject DrawOpJson(const forms::DrawOp& op) {
  using K = forms::DrawOp::Kind;
  switch (op.kind) {
    case K::Cls:
      return {{"op", "cls"}};
    case K::Width:
      return {{"op", "width"}, {"w", op.width}};
    case K::Line:
      return {{"op", "line"}, {"x1", op.x1}, {"y1", op.y1},
              {"x2", op.x2},  {"y2", op.y2}, {"rgb", RgbJson(op.rgb)}};
    case K::Box:
      return {{"op", "box"},        {"x1", op.x1}, {"y1", op.y1},
              {"x2", op.x2},        {"y2", op.y2}, {"rgb", RgbJson(op.rgb)},
              {"filled", op.filled}};
    case K::Circle:
      return {{"op", "circle"}, {"x", op.x1}, {"y", op.y1}, {"r", op.r}, {"rgb", RgbJson(op.rgb)}};
    case K::Point:
      return {{"op", "point"}, {"x", op.x1}, {"y", op.y1}, {"rgb", RgbJson(op.rgb)}};
  }
  return {};
}

QJsonObject ControlJson(const forms::Control& c) {
  QJsonObject o{{"kind", QString::fromStdString(c.Kind())},
                {"text", QString::fromStdString(c.TextOrCaption())},
                {"value", c.ValueForDump()},
                {"visible", c.Visible()},
                {"left", c.Left()},
                {"top", c.Top()},
                {"width", c.Width()},
                {"height", c.Height()}};
  if (auto* combo = dynamic_cast<const forms::ComboBox*>(&c)) {
    QJsonArray list;
    for (const auto& item : combo->Items()) list.append(QString::fromStdString(item));
    o["list"] = list;
  }
  return o;
}

QJsonObject FormJson(const forms::Form& f) {
  return {{"kind", "Form"},
          {"text", QString::fromStdString(f.Caption())},
          {"value", 0},
          {"visible", f.IsShown()},
          {"left", f.Left()},
          {"top", f.Top()},
          {"width", f.Width()},
          {"height", f.Height()},
          {"scale_width", f.ScaleWidth()},
          {"scale_height", f.ScaleHeight()}};
}

QJsonArray EngineCallsJson() {
  auto count = Control<int32_t (*)()>("scripted_call_count");
  auto name = Control<const char* (*)(int32_t)>("scripted_call_name");
  auto argc = Control<int32_t (*)(int32_t)>("scripted_call_argc");
  auto is_array = Control<int32_t (*)(int32_t, int32_t)>("scripted_call_arg_is_array");
  auto arg = Control<int64_t (*)(int32_t, int32_t)>("scripted_call_arg");
  auto has_result = Control<int32_t (*)(int32_t)>("scripted_call_has_result");
  auto result = Control<int32_t (*)(int32_t)>("scripted_call_result");
  QJsonArray calls;
  for (int32_t i = 0; i < count(); ++i) {
    QJsonArray args;
    for (int32_t a = 0; a < argc(i); ++a) {
      if (is_array(i, a)) {
        args.append("array");
      } else {
        args.append(static_cast<qint64>(arg(i, a)));
      }
    }
    QJsonObject call{{"fn", name(i)}, {"args", args}};
    if (has_result(i)) call["result"] = result(i);
    calls.append(call);
  }
  Control<void (*)()>("scripted_clear_calls")();
  return calls;
}

long long Number(int line, const std::string& word) {
  const auto value = ParseInteger(word);
  if (!value) throw ScriptError(line, "not a number: " + word);
  return *value;
}

// A coordinate in twips: single precision, fractions allowed.
float Twips(int line, const std::string& word) {
  const auto value = ParseDecimal(word);
  if (!value) throw ScriptError(line, "not a number: " + word);
  if (!std::isfinite(static_cast<float>(*value))) throw ScriptError(line, "out of range: " + word);
  return static_cast<float>(*value);
}

int32_t Int32(int line, const std::string& word) {
  return static_cast<int32_t>(Number(line, word));
}

std::pair<long long, long long> Pair(int line, const std::string& word) {
  const auto eq = word.find('=');
  if (eq == std::string::npos) throw ScriptError(line, "expected INDEX=VALUE: " + word);
  return {Number(line, word.substr(0, eq)), Number(line, word.substr(eq + 1))};
}

}  // namespace

std::string ScriptedEnginePath() {
  const auto exe = std::filesystem::read_symlink("/proc/self/exe");
  return (exe.parent_path() / "libtonvista-scripted-engine.so").string();
}

Session::Session(std::string out_folder) : out_(std::move(out_folder)) {
  DestroyForm1();
  DestroyFrmSoundBoard();
  ResetModuleState();
  devices::ClearDeviceListOverride();
  screen::ClearSizeOverride();
  forms::SetDrawRecording(true);
  Control<void (*)()>("scripted_reset")();
}

Session::~Session() {
  DestroyForm1();
  DestroyFrmSoundBoard();
  Settle();
}

void Session::Run(std::string_view script) {
  size_t start = 0;
  while (start <= script.size()) {
    size_t end = script.find('\n', start);
    if (end == std::string_view::npos) end = script.size();
    ++line_;
    const std::string_view line = script.substr(start, end - start);
    start = end + 1;
    if (RunLine(line_, line)) {
      RunEventLoop(line_, start <= script.size() ? script.substr(start) : std::string_view());
      return;
    }
  }
}

// The rest of the script runs inside the application's event loop, which
// ends as the program's does when its last window closes.
void Session::RunEventLoop(int n, std::string_view rest) {
  if (in_event_loop_) throw ScriptError(n, "the event loop already runs");
  bool any_shown = false;
  for (forms::Form* form : OpenForms()) any_shown = any_shown || form->IsShown();
  if (!any_shown) throw ScriptError(n, "no window is open");
  constexpr int kStillRunning = 3;
  const std::string script(rest);
  const bool quit_on_close = QGuiApplication::quitOnLastWindowClosed();
  QGuiApplication::setQuitOnLastWindowClosed(true);
  in_event_loop_ = true;
  QuitWatch quit;
  std::exception_ptr failure;
  // The watch is the call's context: a call still pending goes with it.
  QTimer::singleShot(0, &quit, [&] {
    try {
      Run(script);
    } catch (...) {
      failure = std::current_exception();
    }
    // Without a quit request the program would run on.
    if (failure || !quit.seen) QCoreApplication::exit(kStillRunning);
  });
  const int status = QCoreApplication::exec();
  in_event_loop_ = false;
  QGuiApplication::setQuitOnLastWindowClosed(quit_on_close);
  if (failure) std::rethrow_exception(failure);
  if (!quit.seen) throw ScriptError(n, "the script ended while the program still runs");
  if (status != 0) {
    throw ScriptError(n, "the program ended with status " + std::to_string(status));
  }
}

bool Session::RunLine(int n, std::string_view text) {
  const Words words = SplitScriptLine(n, text);
  if (words.empty()) return false;
  const std::string& cmd = words[0];
  auto need = [&](size_t count) {
    if (words.size() < count) throw ScriptError(n, "too few values for " + cmd);
  };

  if (cmd == "engine") {
    need(3);
    const std::string& what = words[1];
    if (what == "start") {
      Control<void (*)(int32_t)>("scripted_set_start_code")(Int32(n, words[2]));
    } else if (what == "freq") {
      if (words[2] == "follow") {
        Control<void (*)()>("scripted_follow_frequency")();
      } else {
        Control<void (*)(int32_t)>("scripted_set_frequency")(Int32(n, words[2]));
      }
    } else if (what == "level") {
      Control<void (*)(int32_t)>("scripted_set_level")(Int32(n, words[2]));
    } else if (what == "fft") {
      if (words[2].find('=') == std::string::npos) {
        Control<void (*)(int32_t)>("scripted_set_fft_all")(Int32(n, words[2]));
      } else {
        auto set_bin = Control<void (*)(int32_t, int32_t)>("scripted_set_fft_bin");
        for (size_t i = 2; i < words.size(); ++i) {
          const auto [bin, level] = Pair(n, words[i]);
          set_bin(static_cast<int32_t>(bin), static_cast<int32_t>(level));
        }
      }
    } else if (what == "vectors") {
      need(18);
      int32_t xy[16];
      for (int i = 0; i < 16; ++i) xy[i] = Int32(n, words[2 + i]);
      Control<void (*)(const int32_t*)>("scripted_set_vectors")(xy);
    } else if (what == "raw-count") {
      Control<void (*)(int32_t)>("scripted_set_raw_count")(Int32(n, words[2]));
    } else if (what == "raw") {
      auto set_raw = Control<void (*)(int32_t, int32_t)>("scripted_set_raw");
      for (size_t i = 2; i < words.size(); ++i) {
        const auto [index, value] = Pair(n, words[i]);
        set_raw(static_cast<int32_t>(index), static_cast<int32_t>(value));
      }
    } else {
      throw ScriptError(n, "unknown engine answer: " + what);
    }
  } else if (cmd == "devices") {
    devices::SetDeviceListOverride(std::vector<std::string>(words.begin() + 1, words.end()));
  } else if (cmd == "devices-unavailable") {
    need(2);
    devices::SetDeviceListUnavailable(words[1]);
  } else if (cmd == "run") {
    return true;
  } else if (cmd == "load") {
    if (words.size() == 1) {
      StartProgram();
    } else if (words[1] == "Form1") {
      (Form1Exists() ? Form1() : CreateForm1()).Show();
    } else {
      throw ScriptError(n, "cannot load " + words[1]);
    }
  } else if (cmd == "close") {
    need(2);
    forms::Form* form = FindForm(words[1]);
    if (form == nullptr) throw ScriptError(n, "no window named " + words[1]);
    form->window()->close();  // as the operator closes it
  } else if (cmd == "unload") {
    if (!Form1Exists()) throw ScriptError(n, "the main window is not open");
    Form1().Unload();
  } else if (cmd == "post") {
    need(4);
    if (!Form1Exists()) throw ScriptError(n, "the main window is not open");
    winproc::PostMessageA(Form1().hWnd(), static_cast<winproc::UINT>(Number(n, words[1])),
                          Int32(n, words[2]), Int32(n, words[3]));
  } else if (cmd == "click" || cmd == "dblclick" || cmd == "mousedown" || cmd == "set") {
    need(2);
    std::string name = words[1];
    size_t next = 2;
    if (cmd == "click" && words.size() > 2) name += "(" + words[next++] + ")";
    forms::Control* control = FindControl(name);
    if (control == nullptr) {
      if (cmd == "set") {
        need(3);
        for (const auto& s : ModuleSettings()) {
          if (s.name == name) {
            s.set(Number(n, words[2]));
            Settle();
            return false;
          }
        }
      }
      throw ScriptError(n, "no control or setting named " + name);
    }
    if (cmd == "click") {
      if (auto* b = dynamic_cast<forms::CommandButton*>(control)) {
        b->PerformClick();
      } else if (auto* o = dynamic_cast<forms::OptionButton*>(control)) {
        o->PerformClick();
      } else if (auto* c = dynamic_cast<forms::CheckBox*>(control)) {
        c->PerformClick();
      } else {
        throw ScriptError(n, name + " cannot be clicked");
      }
    } else if (cmd == "dblclick") {
      auto* t = dynamic_cast<forms::TextBox*>(control);
      if (t == nullptr) throw ScriptError(n, name + " is not a text box");
      if (t->DblClick) t->DblClick();
    } else if (cmd == "mousedown") {
      need(4);
      auto* p = dynamic_cast<forms::PictureBox*>(control);
      if (p == nullptr) throw ScriptError(n, name + " is not a picture box");
      p->FireMouseDown(1, 0, Twips(n, words[2]), Twips(n, words[3]));
    } else {
      need(3);
      // The value is a quoted string or the rest of the line.
      const Word& word = words.detail[2];
      const std::string value = word.quoted ? word.text : word.rest;
      if (auto* s = dynamic_cast<forms::ScrollBar*>(control)) {
        if (!s->SetValue(Int32(n, value))) throw ScriptError(n, "value out of range: " + value);
      } else if (auto* c = dynamic_cast<forms::CheckBox*>(control)) {
        c->SetValue(Int32(n, value));
      } else if (auto* t = dynamic_cast<forms::TextBox*>(control)) {
        t->SetText(value);
      } else if (auto* combo = dynamic_cast<forms::ComboBox*>(control)) {
        if (!combo->PickItem(value)) combo->SetText(value);
      } else {
        throw ScriptError(n, name + " has no value to set");
      }
    }
  } else if (cmd == "resize") {
    need(3);
    if (!Form1Exists()) throw ScriptError(n, "the main window is not open");
    Form1().Resize(static_cast<float>(Number(n, words[1])),
                   static_cast<float>(Number(n, words[2])));
  } else if (cmd == "dump") {
    need(2);
    if (out_.empty()) throw ScriptError(n, "dump needs an output folder");
    Dump(words[1], out_);
  } else {
    throw ScriptError(n, "unknown command: " + cmd);
  }
  Settle();
  return false;
}

QJsonObject Session::Snapshot() {
  Settle();
  QJsonObject controls, draw;
  for (forms::Form* form : OpenForms()) {
    const std::string prefix = form->Name() == "Form1" ? "" : form->Name() + ".";
    controls[QString::fromStdString(form->Name())] = FormJson(*form);
    for (forms::Control* c : form->Controls()) {
      const QString key = QString::fromStdString(prefix + c->Name());
      controls[key] = ControlJson(*c);
      if (auto* p = dynamic_cast<forms::PictureBox*>(c)) {
        QJsonArray ops;
        for (const auto& op : p->Record()) ops.append(DrawOpJson(op));
        draw[key] = ops;
      }
    }
  }
  QJsonObject settings;
  for (const auto& s : ModuleSettings()) {
    settings[QString::fromStdString(s.name)] = static_cast<qint64>(s.get());
  }
  return {{"controls", controls},
          {"settings", settings},
          {"engine_calls", EngineCallsJson()},
          {"draw", draw}};
}

void Session::Dump(const std::string& name, const std::string& folder) {
  const QJsonObject snapshot = Snapshot();
  QDir().mkpath(QString::fromStdString(folder));
  const std::string base = folder + "/" + name;
  QFile file(QString::fromStdString(base + ".json"));
  if (!file.open(QIODevice::WriteOnly)) throw std::runtime_error("cannot write " + base + ".json");
  file.write(QJsonDocument(snapshot).toJson(QJsonDocument::Indented));
  for (forms::Form* form : OpenForms()) {
    for (forms::Control* c : form->Controls()) {
      if (auto* p = dynamic_cast<forms::PictureBox*>(c))
        p->SavePng(base + "-" + c->Name() + ".png");
    }
  }
  // The main window as NAME-window.png, others as NAME-FORM-window.png.
  for (forms::Form* form : OpenForms()) {
    const bool main = form->Name() == "Form1";
    form->SavePng(base + (main ? "" : "-" + form->Name()) + "-window.png");
  }
}

}  // namespace replay
