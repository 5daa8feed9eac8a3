// The product's main windows; see MainWindow.h.
#include "InitializationWindow.h"
#include "LauncherWindow.h"
#include "MainWindow.h"

MainWindowPtr MakeLauncherWindow() { return std::make_unique<ui::CLauncherWindow>(); }

MainWindowPtr MakeRegistrationWindow() { return std::make_unique<ui::CInitializationWindow>(); }
