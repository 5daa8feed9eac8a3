// Entry of Ostrovelle_EV: everything else lives in main_lib.
#include "MainStartup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  return RunMain(instance, command_line, MainRunOptions());
}
