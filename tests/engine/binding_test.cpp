// The engine's operations bound by name: a missing display operation ends the program once,
// though the error box's event loop would deliver the engine's next display notification.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdlib>

#include "engine/PskEngine.h"
#include "platform/winproc/winproc.h"

namespace {

// Like the program's window procedure: every display notification fetches the spectrum.  The
// engine posts its next notification as soon as the last one has been fetched.  Run again, it
// ends the process with status 2.
winproc::LRESULT FetchSpectrum(winproc::HWND window, winproc::UINT msg, winproc::WPARAM,
                               winproc::LPARAM) {
  static bool handled = false;
  if (handled) std::_Exit(2);
  handled = true;
  winproc::PostMessageA(window, msg, 0, 0);
  int32_t levels[1024];
  PskEngine::fnGetFFTData(levels, 0, 1023);
  return 0;
}

}  // namespace

TEST(EngineBindingDeathTest, AMissingDisplayOperationEndsTheProgramWithoutRunningHandlersAgain) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string library = QCoreApplication::applicationDirPath().toStdString() +
                              "/libtonvista-engine-without-fnGetFFTData.so";
  EXPECT_EXIT(
      {
        PskEngine::SetLibraryPath(library);
        winproc::MessageWindow window;
        window.set_procedure(&FetchSpectrum);
        winproc::PostMessageA(window.handle(), WM_ENGINE_DISPLAY, 0, 0);
        winproc::MessageWindow::DeliverPosted();
      },
      testing::ExitedWithCode(1),
      "tonvista: Tonvista cannot use the PSK engine: the operation fnGetFFTData is missing");
}
