// Routing of the engine's notifications through EngineWindowProc.
#pragma once

#include "platform/winproc/winproc.h"

// Makes EngineWindowProc the window's procedure and keeps the replaced one
// in PrevWndProc.
void InstallEngineHook(winproc::HWND hWnd);
// Gives the window its replaced procedure back.
void RemoveEngineHook(winproc::HWND hWnd);
