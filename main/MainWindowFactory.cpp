// The product's main windows; see MainWindow.h.
#include "LauncherWindow.h"
#include "MainPlaceholderWindow.h"
#include "MainWindow.h"

MainWindowPtr MakeLauncherWindow() { return std::make_unique<ui::CLauncherWindow>(); }

MainWindowPtr MakeRegistrationWindow() {
  return std::make_unique<CMainPlaceholderWindow>(kRegistrationTitle);
}
