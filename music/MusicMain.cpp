// Entry of Ostrovelle_Music: everything else lives in music_lib.
#include "MusicStartup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  return RunMusic(instance, command_line, MusicRunOptions());
}
