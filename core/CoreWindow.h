// The core's hidden window and the process-wide values around it: the
// instance, the window and the published charge manager. Set once by the
// start-up on the main thread and read by the window procedure; main thread
// only.
#pragma once

#include "OvWindows.h"

class CCoreManager;

HINSTANCE GetCoreInstance();
// Null before the window exists and in a second start.
HWND GetCoreWindow();
// Published for the window procedure; null before it is built.
void SetCoreManager(CCoreManager* manager);
CCoreManager* GetCoreManager();

bool RegisterCoreWindowClass(HINSTANCE instance);
// Creates the window, 300 x 200 and never shown; false when it cannot.
bool CreateCoreWindow(HINSTANCE instance);
LRESULT CALLBACK CoreWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
