// One display notification's vector scope, signal-level meter and raw scope
// into the main window's real backing images, against engine data of a
// clean signal (eight vectors on a radius of about 1000, level 70, a block
// of 2047 samples of a 1500 Hz tone).
#include <benchmark/benchmark.h>

#include <QWidget>
#include <cmath>
#include <string>

#include "app/form1.h"
#include "displays/displays.h"
#include "platform/forms/forms.h"
#include "replay_session.h"

namespace {

// The engine's answers for a clean BPSK signal, in the replay tool's terms.
std::string CleanSignal() {
  std::string script = "engine level 70\nengine vectors";
  for (int k = 0; k < 8; ++k) script += k % 2 ? " -985 40" : " 990 -30";
  script += "\nengine raw";
  for (int i = 0; i < 2047; ++i) {
    const double s = 12000 * std::sin(2 * M_PI * 1500 * i / 8000.0);
    script += " " + std::to_string(i) + "=" + std::to_string(std::lround(s));
  }
  return script;
}

// Arg: segments of the raw scope (HScroll1).  The pictures are shown once
// per run, as the event loop would after the notification.
void BM_ScopesOfOneDisplayNotification(benchmark::State& state) {
  replay::Session session;
  session.Run("load Form1\n" + CleanSignal() + "\nset VScroll2 2\nset HScroll1 " +
              std::to_string(state.range(0)));
  forms::SetDrawRecording(false);
  MainWindow& form = Form1();
  for (auto _ : state) {
    DrawVectorScope();
    DrawRawScope();
    form.Picture1.widget()->repaint();
    form.Picture3.widget()->repaint();
    form.Picture6.widget()->repaint();
  }
}
BENCHMARK(BM_ScopesOfOneDisplayNotification)->Arg(1)->Arg(10)->Unit(benchmark::kMicrosecond);

// The drawing alone, into the backing images.
void BM_ScopesDrawingOnly(benchmark::State& state) {
  replay::Session session;
  session.Run("load Form1\n" + CleanSignal());
  forms::SetDrawRecording(false);
  for (auto _ : state) {
    DrawVectorScope();
    DrawRawScope();
  }
}
BENCHMARK(BM_ScopesDrawingOnly)->Unit(benchmark::kMicrosecond);

}  // namespace
