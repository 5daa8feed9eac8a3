// The launcher's fold-out menu; see LauncherMenu.h.
#include "LauncherMenu.h"

#include "SkinDefinition.h"

namespace ui {

bool CLauncherMenu::NeedsCard(int main, int sub) {
  return (main == 0 && sub == 0) || (main == 1 && sub >= 0) || (main == 3 && sub == 1);
}

void CLauncherMenu::Build(HWND launcher, UINT click_message, UINT hover_message) {
  auto menu = std::make_unique<CMenuWindow>();
  menu->Create(launcher, click_message, hover_message,
               CMenuWindow::ReadEntries(SkinDefinition::Load("MenuWindow.txt"), &NeedsCard));
  _menu = std::move(menu);
}

void CLauncherMenu::Open() {
  if (_menu) _menu->Open(true);
}

void CLauncherMenu::Close() {
  if (_menu) _menu->Close(false);
}

void CLauncherMenu::MoveTo(POINT anchor) {
  if (_menu) _menu->MoveTo(anchor);
}

UINT TrackLauncherSystemMenu(HWND launcher, POINT screen) {
  const HMENU menu = GetSystemMenu(launcher, FALSE);
  if (!menu) return 0;
  EnableMenuItem(menu, SC_RESTORE, MF_BYCOMMAND | MF_GRAYED);
  EnableMenuItem(menu, SC_MOVE, MF_BYCOMMAND | MF_ENABLED);
  EnableMenuItem(menu, SC_MINIMIZE, MF_BYCOMMAND | MF_ENABLED);
  SetForegroundWindow(launcher);
  const UINT command =
      static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTBUTTON | TPM_RIGHTBUTTON,
                                       screen.x, screen.y, 0, launcher, nullptr));
  // The menu closes cleanly only when its owner sees a message after it.
  PostMessageA(launcher, WM_NULL, 0, 0);
  return command;
}

}  // namespace ui
