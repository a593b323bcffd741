// What one IMD reading costs on the real main window: the statistics, the
// three readouts and the bar graph (a clear and five filled boxes into
// Picture5's backing image), handled directly and as a posted notification.
#include <benchmark/benchmark.h>

#include "app/form1.h"
#include "notify/notify.h"
#include "platform/forms/forms.h"
#include "platform/winproc/winproc.h"
#include "replay_session.h"

namespace {

void BM_RecordImdReading(benchmark::State& state) {
  replay::Session session;
  session.Run("load Form1");
  forms::SetDrawRecording(false);
  int reading = -20;
  for (auto _ : state) {
    RecordImdReading(reading);
    reading = reading == -40 ? -20 : reading - 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RecordImdReading)->Unit(benchmark::kMicrosecond);

// Batches of 100 notifications posted to the main window, then delivered
// through the dispatcher.
void BM_PostedImdReadings(benchmark::State& state) {
  replay::Session session;
  session.Run("load Form1");
  forms::SetDrawRecording(false);
  constexpr int kBatch = 100;
  const winproc::HWND window = Form1().hWnd();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) winproc::PostMessageA(window, WM_ENGINE_IMD, -20 - i % 20, 0);
    winproc::MessageWindow::DeliverPosted();
  }
  if (Form1().Text1.Text().empty()) state.SkipWithError("no reading arrived");
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_PostedImdReadings)->Unit(benchmark::kMicrosecond);

}  // namespace
