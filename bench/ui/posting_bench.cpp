// The cost of one engine notification from another thread to the window
// procedure on the GUI thread: posting, queueing and delivery.
#include <benchmark/benchmark.h>

#include <thread>

#include "platform/winproc/winproc.h"

namespace {

int g_delivered = 0;

winproc::LRESULT Count(winproc::HWND, winproc::UINT, winproc::WPARAM, winproc::LPARAM) {
  ++g_delivered;
  return 0;
}

// Batches of 1000 IMD notifications posted by a second thread through the
// engine's message sink, then delivered.
void BM_PostedMessageEndToEnd(benchmark::State& state) {
  winproc::MessageWindow window;
  window.set_procedure(&Count);
  winproc::HWND sink = window.handle();
  constexpr int kBatch = 1000;
  for (auto _ : state) {
    g_delivered = 0;
    std::thread poster([sink] {
      for (int i = 0; i < kBatch; ++i) sink->post(sink->context, WM_ENGINE_IMD, -30, 0);
    });
    poster.join();
    winproc::MessageWindow::DeliverPosted();
    if (g_delivered != kBatch) state.SkipWithError("messages lost");
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_PostedMessageEndToEnd)->Unit(benchmark::kMicrosecond);

}  // namespace
