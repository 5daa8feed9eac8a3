// The music manager's start-up: version check, command line, one instance
// per mode, the hidden start-up window, the framework, the mode's window and
// the message loop. Main thread only.
#pragma once

#include <functional>

#include "MusicWindow.h"
#include "OvWindows.h"

extern const char kMusicStartupClass[];  // "OSTROVELLEEVMUSIC"
extern const char kMusicStartupTitle[];  // "Ostrovelle Music "
extern const char kMusicManualTitle[];   // "Ostrovelle Music Manual"
extern const char kMusicSettingTitle[];  // "Ostrovelle Music Setting"
extern const char kMusicManualMutex[];   // "MN_OstrovelleEV_Music"
extern const char kMusicSettingMutex[];  // "MN_OstrovelleEV_MusicSetting"

struct MusicRunOptions {
  // Make the two windows; the stand-in manual window and the settings window
  // unless set.
  std::function<MusicWindowPtr()> create_manual;
  std::function<MusicWindowPtr()> create_setting;
  // The system's type (Version.h's OSType); GetOSType unless set.
  std::function<int()> os_type;
  // Opens the program's own log; a test keeps its captured log instead.
  bool open_log = true;
};

// The body of WinMain: 0 after every early exit, else the quit message's
// code. A message-box handler set before the call stays; otherwise the
// error-message box is installed.
int RunMusic(HINSTANCE instance, const char* command_line, const MusicRunOptions& options);
