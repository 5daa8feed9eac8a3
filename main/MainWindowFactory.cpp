// The product's main windows; see MainWindow.h.
#include "MainPlaceholderWindow.h"
#include "MainWindow.h"

MainWindowPtr MakeLauncherWindow() {
  return std::make_unique<CMainPlaceholderWindow>(kLauncherTitle);
}

MainWindowPtr MakeRegistrationWindow() {
  return std::make_unique<CMainPlaceholderWindow>(kRegistrationTitle);
}
