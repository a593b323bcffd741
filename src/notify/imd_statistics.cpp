// The IMD statistics since the last reset (best, worst, rounded average,
// count), their three readouts, the clock-error readout, and the reset.
#include "app/Module1.h"
#include "app/form1.h"
#include "app/numbers.h"
#include "displays/displays.h"
#include "notify/notify.h"

namespace {

// The statistics start afresh after this many readings.
constexpr int kReadingsPerRun = 1000;

void SetResetValues() {
  ImdBest = 9999;
  ImdWorst = -9999;
  ImdAverage = 0;
  ImdCount = 0;
  ImdSum = 0;
}

}  // namespace

void RecordImdReading(int32_t reading) {
  // A reading beyond 16 bits is clamped to -32768 or 32767 before it is
  // recorded and shown; the statistics of the other readings stay intact.
  const int16_t r = ClampInt16(reading);

  ImdCount = static_cast<int16_t>(ImdCount + 1);
  // The first reading of a run is both best and worst, also one beyond the
  // sentinels 9999 and -9999.
  if (r < ImdBest || ImdCount == 1) ImdBest = r;
  if (r > ImdWorst || ImdCount == 1) ImdWorst = r;
  // 32 bits hold the sum of 1000 readings of any 16-bit value.
  ImdSum += r;
  ImdAverage = CInt(static_cast<double>(ImdSum) / static_cast<double>(ImdCount));

  MainWindow& form = Form1();
  form.txtIMD.SetText("Best: " + SignedText(ImdBest) + " Worst: " + SignedText(ImdWorst) +
                      " Average: " + SignedText(ImdAverage) + " dB");
  form.Text1.SetText(PlainText(ImdCount));
  form.Text2.SetText(SignedText(r) + " dB");

  // The readouts keep showing the statistics of the last run.
  if (ImdCount >= kReadingsPerRun) SetResetValues();

  DrawImdBar();
}

void ShowClockError(int32_t ppm) {
  Form1().Label2.SetCaption(SignedText(ppm) + " ppm");
}

// The clock-error readout is left as it is.
void ResetImdStatistics() {
  SetResetValues();
  MainWindow& form = Form1();
  form.txtIMD.SetText("");
  form.Text2.SetText("");
  form.Text1.SetText("");
  DrawImdScale();
}
