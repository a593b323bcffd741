// Received bytes through HandleReceivedByte into the real receive area of the
// main window: plain text, double-byte characters, line breaks and the trim
// back to 500 characters, as the engine delivers them.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <string>

#include "app/Module1.h"
#include "app/form1.h"
#include "notify/notify.h"
#include "platform/forms/forms.h"
#include "replay_session.h"

namespace {

// A received over: half-width text, kanji and kana pairs of code page 932,
// half-width katakana, line breaks as CR LF and a backspace.
std::string Stream() {
  const std::string line =
      "CQ CQ DE JA1ZZZ JA1ZZZ pse k  "
      "\x88\x9F\x82\xA0\x82\xE8\x82\xAA\x82\xC6\x82\xA4 \xB1\xB2\xB3 73 es gl x\x08"
      "\r\n";
  std::string out;
  for (int i = 0; i < 8; ++i) out += line;
  return out;
}

// Arg 0: the handler and the text it keeps; arg 1: the widget is also
// brought up to date after every byte, as in the running program, where
// every byte arrives on its own turn of the event loop.
void BM_ReceivedBytes(benchmark::State& state) {
  replay::Session session;
  session.Run("load Form1");
  forms::SetDrawRecording(false);
  const std::string stream = Stream();
  const bool show = state.range(0) != 0;
  size_t i = 0;
  for (auto _ : state) {
    HandleReceivedByte(static_cast<uint8_t>(stream[i]), 0);
    if (show) QCoreApplication::sendPostedEvents();
    if (++i == stream.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["bytes_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReceivedBytes)->Arg(0)->Arg(1);

}  // namespace
