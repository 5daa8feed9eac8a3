// The key rule every window of the main program shares: Ctrl+Tab and
// Ctrl+Shift+Tab stay with the window (its items move the focus with them),
// every other key also goes to the window's owner, the launcher, which
// keeps its own shortcuts working while one of its windows has the focus.
// Called on the window's thread.
#pragma once

#include "OvWindows.h"

namespace mainwin {

// Modifier bits of a key combination.
constexpr UINT kModShift = 4;
constexpr UINT kModControl = 8;

// The modifiers held now, as the thread's key state has them.
UINT CurrentModifiers();
// Whether the combination is one the window keeps for itself.
bool IsForwardedKeyCombination(UINT modifiers, UINT key);
// The start of a window's key-down: true when the key went to the owner as
// well and the window's base should still handle it, false for a key the
// window keeps.
bool PassKeyToOwner(HWND owner, UINT key, UINT flags);

}  // namespace mainwin
