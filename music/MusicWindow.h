// What the start-up needs of the music manager's two windows (the manual
// transfer window and the music-charge settings window), so that it drives
// whichever window object it is given. Main thread only.
#pragma once

#include <memory>

#include "OvWindows.h"

class IMusicWindow {
 public:
  virtual ~IMusicWindow() = default;

  // The card's drive letter and the main program's window to notify.
  virtual void SetTarget(char drive, HWND notify) = 0;
  // Creates the window (hidden); false when it could not be made.
  virtual bool CreateMusicWindow() = 0;
  // Null while the window does not exist.
  virtual HWND WindowHandle() const = 0;
};

using MusicWindowPtr = std::unique_ptr<IMusicWindow>;
