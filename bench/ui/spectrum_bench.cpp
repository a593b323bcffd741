// The cost of the spectrum and waterfall on one display notification, at
// the heaviest range preset, 500..3000 Hz: 639 trace segments and 9585
// waterfall strokes, drawn by the real main window into its backing images.
// The spectrum carries noise and a few signals, as on the air.
#include <benchmark/benchmark.h>

#include <QWidget>
#include <string>

#include "app/Module1.h"
#include "app/form1.h"
#include "displays/displays.h"
#include "engine/PskEngine.h"
#include "platform/forms/forms.h"
#include "replay_session.h"

namespace {

// A loaded main window at 500..3000 Hz with drawing recording off.
struct Program {
  replay::Session session;
  void (*clear_calls)() = nullptr;

  Program() {
    std::string spectrum = "engine fft";
    for (int k = 0; k < 1024; ++k) {
      int level = 12 + (k * 37 + k / 7 * 11) % 9;   // noise floor, 12..20
      for (int peak : {256, 384, 400, 560, 700}) {  // 1000, 1500, 1562, 2187, 2734 Hz
        if (k >= peak - 2 && k <= peak + 2) level = 85 - 15 * std::abs(k - peak);
      }
      spectrum += " " + std::to_string(k) + "=" + std::to_string(level);
    }
    session.Run("load Form1\n" + spectrum);
    forms::SetDrawRecording(false);
    DisplayLowHz = 500;
    DisplayHighHz = 3000;
    GridDivisions = 25;
    clear_calls = reinterpret_cast<void (*)()>(PskEngine::FindSymbol("scripted_clear_calls"));
  }
  // Shows both pictures as the event loop would after the notification.
  static void Repaint() {
    Form1().Picture2.widget()->repaint();
    Form1().Picture7.widget()->repaint();
  }
  // The scripted engine records every call: keep its list short.
  void Forget() const {
    if (clear_calls != nullptr) clear_calls();
  }
};

// A notification on which the waterfall draws: spectrum, AFC follow, cursor
// and the full waterfall pass.  Arg 1: both boxes are also repainted on
// screen; arg 0: drawing into the backing images only.
void BM_SpectrumAndWaterfallPass(benchmark::State& state) {
  Program program;
  for (auto _ : state) {
    WaterfallPhase = 0;
    DrawSpectrumAndWaterfall();
    if (state.range(0) != 0) Program::Repaint();
    program.Forget();
  }
  state.counters["strokes"] = 639 * 15;
}
BENCHMARK(BM_SpectrumAndWaterfallPass)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A notification on which the waterfall only turns its phase: the spectrum
// box alone is redrawn.
void BM_SpectrumOnly(benchmark::State& state) {
  Program program;
  for (auto _ : state) {
    WaterfallPhase = 1;
    DrawSpectrumAndWaterfall();
    program.Forget();
  }
}
BENCHMARK(BM_SpectrumOnly)->Unit(benchmark::kMicrosecond);

}  // namespace
