// The real main window with the real engine on its built-in test signal
// (BPSK31 at 1500 Hz, IMD about -26 dB, +30 ppm, noise 20 dB down).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

#include "app/Module1.h"
#include "app/form1.h"
#include "app/numbers.h"
#include "engine/PskEngine.h"
#include "platform/devices/devices.h"

namespace {

// Runs the event loop until `done` or `seconds` (the signal runs in real time).
bool RunUntil(const std::function<bool()>& done, int seconds) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > seconds * 1000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QThread::msleep(10);
  }
  return true;
}

}  // namespace

TEST(EndToEnd, TheBuiltInSignalShowsTextImdReadingsAndTheClockError) {
  std::string error;
  const auto names = devices::SoundDeviceNames(
      {&PskEngine::pskengine_device_count, &PskEngine::pskengine_device_name}, &error);
  ASSERT_TRUE(names.has_value()) << error;
  ASSERT_FALSE(names->empty());  // the built-in signal is the last entry
  SoundCardID = static_cast<int16_t>(names->size() - 1);

  MainWindow& form = CreateForm1();
  form.Show();
  EXPECT_EQ(form.Term.Text(), "Card Opened ");
  EXPECT_TRUE(form.Picture4[0].Visible());

  // The first over begins with "CQ CQ CQ de JA1DEMO" after five seconds of idle.
  EXPECT_TRUE(RunUntil([&] { return form.Term.Text().find("JA1DEMO") != std::string::npos; }, 90))
      << form.Term.Text();
  // IMD readings of the idle parts: about -26 dB, graded in the "needs adjusting" band.
  EXPECT_TRUE(RunUntil([&] { return ImdCount >= 2; }, 90)) << form.txtIMD.Text();
  EXPECT_GE(ImdAverage, -28);
  EXPECT_LE(ImdAverage, -24);
  EXPECT_NE(form.Text1.Text(), "");
  EXPECT_NE(form.Text2.Text().find(" dB"), std::string::npos);
  // The clock error, once the estimate settles: within 3 ppm of the +30 ppm rendered.
  EXPECT_TRUE(RunUntil([&] { return form.Label2.Caption() != "0 ppm"; }, 90));
  const std::string clock = form.Label2.Caption();
  ASSERT_EQ(clock.substr(clock.size() - 4), " ppm") << clock;
  const auto ppm = ParseNumber(clock.substr(0, clock.size() - 4));
  ASSERT_TRUE(ppm.has_value()) << clock;
  EXPECT_NEAR(*ppm, 30, 3) << clock;
  EXPECT_EQ(EngineStatus, 0);

  form.Unload();
  DestroyForm1();
}
