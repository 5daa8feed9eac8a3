// Entry of Ostrovelle_Core: everything else lives in core_lib.
#include "CoreStartup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  return RunCore(instance, command_line, CoreRunOptions());
}
