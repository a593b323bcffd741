// What the displays cost on the control kit: one waterfall pass (9,585
// coloured lines), one spectrum redraw (a clear and 639 lines) and one raw
// scope run (2,047 points) into a 9045 x 1035 twip picture box; and one
// character appended to a 1000-character received-text box.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QWidget>

#include "platform/forms/forms.h"
#include "platform/forms/qt_support.h"

namespace {

struct Window {
  forms::Form form{"Bench"};
  forms::PictureBox box{&form, "Picture7"};
  Window() {
    form.SetClientSize(10125, 7950);
    box.Move(945, 2430, 9045, 1035);
    box.SetBackColor(forms::RGB(0, 0, 128));
  }
  // Shows the picture as the event loop would: one repaint of the box.
  void Flush() { box.widget()->repaint(); }
};

// Arg 1: the picture is also shown (one repaint of the box), as after every
// display notification; arg 0: drawing into the backing image only.
void BM_WaterfallPass(benchmark::State& state) {
  Window w;
  w.form.Show();
  w.Flush();
  const int n = 640;  // bins across 500..3000 Hz less the two edge bins: 639 x 15 strokes
  const double xs = 9045.0 / n, ys = 1035.0 / 15;
  int pass = 0;
  for (auto _ : state) {
    w.box.Cls();
    for (int i = 1; i < n; ++i) {
      for (int j = 0; j < 15; ++j) {
        const int q = (i * 7 + j * 13 + pass) % 256;
        w.box.Line(static_cast<float>(i * xs), static_cast<float>(j * ys),
                   static_cast<float>(i * xs), static_cast<float>((j + 1) * ys),
                   forms::RGB(q, q, 120));
      }
    }
    if (state.range(0) != 0) w.Flush();
    ++pass;
  }
  state.counters["lines"] = 639 * 15;
}
BENCHMARK(BM_WaterfallPass)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_SpectrumRedraw(benchmark::State& state) {
  Window w;
  w.form.Show();
  const double xs = 9045.0 / 640;
  int pass = 0;
  for (auto _ : state) {
    w.box.Cls();
    for (int i = 1; i < 640; ++i) {
      const double y1 = 1035 - ((i + pass) % 100) * 10.35,
                   y2 = 1035 - ((i + pass + 1) % 100) * 10.35;
      w.box.Line(static_cast<float>(i * xs), static_cast<float>(y1),
                 static_cast<float>((i + 1) * xs), static_cast<float>(y2), forms::RGB(0, 255, 255));
    }
    w.Flush();
    ++pass;
  }
}
BENCHMARK(BM_SpectrumRedraw)->Unit(benchmark::kMicrosecond);

void BM_RawScopePoints(benchmark::State& state) {
  Window w;
  w.form.Show();
  int pass = 0;
  for (auto _ : state) {
    w.box.Box(1, 0, 9045, 1035, forms::RGB(0, 0, 128), true);
    for (int i = 1; i <= 2047; ++i) {
      const double y = 1035.0 * ((i * 37 + pass) % 65535) / 65534.0;
      w.box.PSet(static_cast<float>(1 + i * 9044.0 / 2047), static_cast<float>(y),
                 forms::RGB(0, 255, 255));
    }
    w.Flush();
    ++pass;
  }
}
BENCHMARK(BM_RawScopePoints)->Unit(benchmark::kMicrosecond);

// One character appended to a 1000-character text, trimmed back to 500 past
// 1000 as the received-text area does.  Arg 1: the widget is brought up to
// date after every character (one character per turn of the event loop, the
// running program's case); arg 0: a burst, shown once at its end.
void BM_AppendCharacter(benchmark::State& state) {
  forms::Form form("Bench");
  form.SetClientSize(10125, 7950);
  forms::TextBox term(&form, "Term", true, true);
  term.Move(0, 45, 9995, 1235);
  form.Show();
  term.SetText(std::string(1000, 'x'));
  for (auto _ : state) {
    if (term.Length() > 1000) term.SetText(forms::RightChars(term.Text(), 500));
    term.SetSelStart(term.Length());
    term.SelText(term.Length() % 61 == 60 ? "\r\n" : "a");
    if (state.range(0) != 0) forms::detail::FlushTextBoxes();
  }
}
BENCHMARK(BM_AppendCharacter)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
