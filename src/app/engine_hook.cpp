#include "app/engine_hook.h"

#include "app/Module1.h"
#include "notify/notify.h"

using namespace winproc;

void InstallEngineHook(HWND hWnd) {
  PrevWndProc = SetWindowLongA(hWnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&EngineWindowProc));
}

void RemoveEngineHook(HWND hWnd) {
  SetWindowLongA(hWnd, GWL_WNDPROC, PrevWndProc);
}
