// What the start-up needs of the main program's two windows (the launcher
// and the first-time registration window), so that it drives whichever
// window objects it is given. Main thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "OvWindows.h"

class IMainWindow {
 public:
  virtual ~IMainWindow() = default;

  // The model number of the user's unit; the launcher compares every new
  // card with it. The registration window has no use for it.
  virtual void SetUnitModel(uint8_t model) = 0;
  // Creates the window (hidden); false when it could not be made.
  virtual bool CreateMainWindow() = 0;
  // Null while the window does not exist.
  virtual HWND WindowHandle() const = 0;
  // Read after the message loop: the launcher met a card of another model,
  // or the registration finished; the program then starts again.
  virtual bool WantsRestart() const = 0;
};

using MainWindowPtr = std::unique_ptr<IMainWindow>;

// The product's windows: the launcher (CLauncherWindow) and the first
// registration (CInitializationWindow).
MainWindowPtr MakeLauncherWindow();
MainWindowPtr MakeRegistrationWindow();
