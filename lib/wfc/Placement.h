// Window placement, modal loops and small window helpers. Geometry lives in
// pure functions so it is tested without windows; the callers are on the
// window's own thread.
#pragma once

#include <optional>

#include "OvWindows.h"

namespace lib::wfc {

// Where a dialog of the given size goes over its parent, or nothing when
// that place would leave the desktop.
std::optional<POINT> DialogPlacement(const RECT& parent, SIZE dialog, const RECT& desktop);
// A window of the given size centred on `other`, kept inside `work` when known.
POINT CenteredPosition(const RECT& other, SIZE window, const RECT* work);

void PlaceDialogOverParent(HWND dialog);
// `other` null means the desktop.
void CenterWindow(HWND window, HWND other);
HWND GetTopLevelWindow(HWND window);
bool ForceForegroundWindow(HWND window);
// A new window's first showing: centred on `owner` (null: the desktop),
// shown, painted, activated and brought to the front.
void ShowCenteredInFront(HWND window, HWND owner);
// One message; true on WM_QUIT.
bool PumpMessage();
// Runs until *done, `window` goes or a visible owner is hidden; WM_QUIT is
// posted again so the outer loop ends too. 0 when the owner is gone.
int RunModalLoop(HWND window, HWND owner, const volatile bool* done);
// Throws bad_alloc when the cursor cannot be loaded.
HCURSOR LoadStandardCursor(const char* id);

}  // namespace lib::wfc
