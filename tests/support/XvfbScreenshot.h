// Screenshots of the whole test display for window tests: tools/screenshot
// (the Xvfb root window through ImageMagick's import) writes
// build/screens/<name>.png. The test's windows should be painted
// (UpdateWindow) before it is called.
#pragma once

#include <string>

namespace ovtest {

// Runs the tool and waits for it; false (with the reason in `error`) when no
// picture was written.
bool SaveXvfbScreenshot(const std::string& name, std::string* error = nullptr);

// Where the pictures go (a Unix path).
std::string ScreenshotFolder();

}  // namespace ovtest
