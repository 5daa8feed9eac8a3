// The main program's start-up: version check, the "MapDownload" and
// "Uninstall" arguments, the registered-user check, one instance per mode,
// the hidden start-up window, the framework, the launcher or registration
// window, the message loop and the restart. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "MainWindow.h"
#include "OvWindows.h"

extern const char kMainStartupClass[];       // "OSTROVELLEEVLAUNCHER"
extern const char kMainStartupTitle[];       // "Ostrovelle "
extern const char kMainRegisteredMutex[];    // "MN_OstrovelleEV"
extern const char kMainRegistrationMutex[];  // "MN_OstrovelleEV_Init"

// Whose program this is: the user of the first card, or without a card the
// last user of this PC.
struct MainUser {
  bool registered = false;
  uint8_t model = 0;  // the unit's model number; 0 when unknown
};
// Logs the check as it goes.
MainUser CheckRegisteredUser();

struct MainRunOptions {
  // Make the two windows; the product's (MainWindow.h) unless set.
  std::function<MainWindowPtr()> create_launcher;
  std::function<MainWindowPtr()> create_registration;
  // The system's type (Version.h's OSType); GetOSType unless set.
  std::function<int()> os_type;
  // Starts the program again; opens its own file through the shell unless set.
  std::function<void()> restart;
  // Opens the program's own log; a test keeps its captured log instead.
  bool open_log = true;
};

// The body of WinMain: 0 after every early exit, else the quit message's
// code. A message-box handler set before the call stays; otherwise the
// error-message box is installed.
int RunMain(HINSTANCE instance, const char* command_line, const MainRunOptions& options);

// The hidden start-up window: its class, and the window itself (kept hidden).
void RegisterLauncherWindowClass(HINSTANCE instance);
HWND CreateLauncherHiddenWindow(HINSTANCE instance);
LRESULT CALLBACK LauncherHiddenWndProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);
