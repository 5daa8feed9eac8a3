#include "MainWindowKeys.h"

namespace mainwin {

namespace {

struct KeyCombination {
  UINT modifiers;
  UINT key;
};

const KeyCombination kForwardedKeys[] = {
    {kModControl, VK_TAB},
    {kModShift | kModControl, VK_TAB},
};

}  // namespace

UINT CurrentModifiers() {
  UINT modifiers = 0;
  if (GetKeyState(VK_SHIFT) < 0) modifiers |= kModShift;
  if (GetKeyState(VK_CONTROL) < 0) modifiers |= kModControl;
  return modifiers;
}

bool IsForwardedKeyCombination(UINT modifiers, UINT key) {
  for (const KeyCombination& combination : kForwardedKeys) {
    if (combination.modifiers == modifiers && combination.key == key) return true;
  }
  return false;
}

bool PassKeyToOwner(HWND owner, UINT key, UINT flags) {
  if (IsForwardedKeyCombination(CurrentModifiers(), key)) return false;
  if (owner) PostMessageA(owner, WM_KEYDOWN, key, flags);
  return true;
}

}  // namespace mainwin
