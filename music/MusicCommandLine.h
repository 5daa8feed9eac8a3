// The music manager's command line: " /d E /w 001A02B4 /m manual" (or
// "setting"), as the main program builds it. Pure functions; any thread.
#pragma once

#include <string>
#include <vector>

#include "OvWindows.h"
#include "StringUtil.h"

// Splits the line into switches ("/x" or "-x", up to the next blank, tab,
// "/" or "-") and values (quoted, or up to the next blank or tab), in order.
void MusicCommandLine(const char* command_line, std::vector<CommandToken>& tokens);

enum MusicMode { kMusicModeManual = 0, kMusicModeSetting = 1, kMusicModeNone = 2 };

struct MusicOptions {
  char drive = 0;  // 'A'..'Z'; 0 = none
  int mode = kMusicModeNone;
  HWND notify = nullptr;  // not owned

  // Every option there and sound: the program may start.
  bool IsComplete() const { return drive != 0 && mode != kMusicModeNone && notify != nullptr; }
};

// The options of the tokens: switches d, m and w in any case; a value
// applies to the switch before it. The drive is upper-cased and must be a
// letter; the window is read as an unsigned hexadecimal number.
MusicOptions ParseMusicOptions(const std::vector<CommandToken>& tokens);
