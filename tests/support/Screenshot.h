// A picture of a window as the screen shows it, kept as a PNG under
// build/screens of the checkout (OV_SOURCE_DIR, set by ctest) so a person can
// look at what a window test drew.
#pragma once

#include <string>

#include "OvWindows.h"

namespace ovtest {

// Writes build/screens/<name>.png; false when the window or the folder is
// not there. Without OV_SOURCE_DIR it writes nothing and returns false.
bool SaveScreenshot(HWND window, const std::string& name);

}  // namespace ovtest
