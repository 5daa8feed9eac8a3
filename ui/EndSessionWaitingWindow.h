// Pieces of the application window frame: the Base section's font handed to
// every section of a window's skin, and a window that, when the session
// ends, keeps the thread's messages flowing until it has been destroyed.
#pragma once

#include <string>

#include "OvWindows.h"
#include "SkinDefinition.h"

namespace ui {

// Every section without a Font key gets the Base section's; a section with
// one has its empty values filled from the Base's at the same positions.
// Nothing happens when the Base section has no Font.
void InheritBaseFont(SkinDefinition& definition, const std::string& base_section);

// Dispatches the thread's messages, blocking between them, until `window`
// is gone. A WM_QUIT met on the way is kept back and posted once at the
// end, so the outer loop still ends, without making every wait return at
// once.
void PumpUntilDestroyed(HWND window);

template <typename Base>
class CEndSessionWaitingWindow : public Base {
 protected:
  // The window is expected to have started closing itself already (it
  // posts itself WM_CLOSE on the way here).
  void OnEndSession(bool ending, LPARAM lparam) override {
    if (ending) PumpUntilDestroyed(this->Handle());
    Base::OnEndSession(ending, lparam);
  }
};

}  // namespace ui
