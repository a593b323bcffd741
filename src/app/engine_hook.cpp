#include "app/engine_hook.h"

#include "app/Module1.h"
#include "notify/notify.h"

using namespace winproc;

void InstallEngineHook(HWND hWnd) {
  const LONG_PTR hook = reinterpret_cast<LONG_PTR>(&EngineWindowProc);
  const LONG_PTR previous = SetWindowLongA(hWnd, GWL_WNDPROC, hook);
  // Hooked twice, the window must not pass its messages on to itself.
  if (previous != hook) PrevWndProc = previous;
}

void RemoveEngineHook(HWND hWnd) {
  SetWindowLongA(hWnd, GWL_WNDPROC, PrevWndProc);
}
