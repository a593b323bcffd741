#include "app/Module1.h"
#include "app/form1.h"
#include "app/numbers.h"
#include "displays/displays.h"
#include "log/station_log.h"
#include "notify/notify.h"

using namespace winproc;

LRESULT EngineWindowProc(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  switch (Msg) {
    case WM_ENGINE_DISPLAY:
      DrawVectorScope();
      DrawSpectrumAndWaterfall();
      DrawRawScope();
      break;
    case WM_ENGINE_RXCHAR:
      HandleReceivedByte(wParam, lParam);
      station_log::ReceivedByte(wParam);
      break;
    case WM_ENGINE_STATUS:
      ShowEngineStatus(wParam);
      break;
    case WM_ENGINE_IMD:
      RecordImdReading(wParam);
      station_log::ImdReading(ClampInt16(wParam));
      break;
    case WM_ENGINE_CLOCKERR:
      ShowClockError(wParam);
      break;
    default:
      break;
  }
  return CallWindowProcA(reinterpret_cast<WNDPROC>(PrevWndProc), hWnd, Msg, wParam, lParam);
}

void ShowEngineStatus(int32_t status) {
  MainWindow& form = Form1();
  if (status == 0) {
    EngineStatus = 0;
    form.Picture4[0].SetVisible(true);
    form.Picture4[1].SetVisible(false);
  } else if (status == 1) {
    // The input is lost or overrunning: the red lamp beside the green one.
    EngineStatus = 1;
    form.Picture4[1].SetVisible(true);
  }
}
