// CLauncherMenu: the launcher's fold-out menu (CMenuWindow) behind the
// launcher's ILauncherMenu. It builds the root menu with its sub-menus from
// the shipped menu skin, marks the entries that need a card (settings, both
// music entries, card information), hangs the root at the right of the
// launcher's menu button and follows the launcher when it moves. Clicks
// reach the launcher as kMenuCommandMessage, hovers as kMenuHoverMessage.
// It belongs to the launcher's thread.
#pragma once

#include <memory>

#include "FoldOutMenu.h"
#include "LauncherWindow.h"

namespace ui {

class CLauncherMenu final : public ILauncherMenu {
 public:
  // Whether a menu entry needs a card (sub -1: a main button).
  static bool NeedsCard(int main, int sub);

  CLauncherMenu() = default;
  ~CLauncherMenu() override = default;
  CLauncherMenu(const CLauncherMenu&) = delete;
  CLauncherMenu& operator=(const CLauncherMenu&) = delete;

  // ILauncherMenu.
  void Build(HWND launcher, UINT click_message, UINT hover_message) override;
  bool IsOpen() const override { return _menu && _menu->IsOpen(); }
  void Open() override;
  void Close() override;
  HWND MenuWindow() const override { return _menu ? _menu->Handle() : nullptr; }
  void MoveTo(POINT anchor) override;
  void Enable(bool enabled) override {
    if (_menu) _menu->Enable(enabled);
  }

  CMenuWindow* Root() const { return _menu.get(); }

 private:
  std::unique_ptr<CMenuWindow> _menu;
};

// The launcher's system menu at a screen point (a right click on its icon):
// restore greyed, move and minimise enabled. The command chosen, 0 for none.
UINT TrackLauncherSystemMenu(HWND launcher, POINT screen);

}  // namespace ui
