// CKeptCardWindow: what the launcher's settings and card-information windows
// share. Such a window is made once, owned by the launcher, and kept: its
// close box, its icon's double click and WM_CLOSE only hide it. The launcher
// shows it again with the card's drive letter (0: none), and while it lives
// it follows the card change (OVEVSDChange); the key combinations the
// launcher answers go on to the owner. ShowKeptWindow is the launcher's way
// in. It belongs to the launcher's thread.
#pragma once

#include <memory>
#include <utility>

#include "MainFrame.h"
#include "SkinDefinition.h"

namespace ui {

class CKeptCardWindow : public mainwin::CMainFrame, public CWindowBase {
 public:
  UINT GetWindowMessage() const override { return mainwin::kFrameMessage; }
  char Drive() const { return _drive; }

 protected:
  // frame_overlay: the window's overlay item (kept in a static table);
  // icon_id: the application icon whose double click hides the window.
  CKeptCardWindow(const SkinItemDescriptor* frame_overlay, int icon_id);

  // Loads the skin, makes the items and the hidden window titled `title`,
  // owned by `owner` and centred over it. Throws CSkinWindowException or
  // bad_alloc.
  void CreateFromSkin(HWND owner, const char* skin_file, const SkinItemDescriptor& base,
                      const char* title);
  // Centres the window over its owner and brings it to the front.
  void ShowInFront();
  void Hide();
  HWND Owner() const { return _owner; }

  // The window's items, from its skin.
  virtual void CreateItems(const SkinDefinition& definition) = 0;
  // The card changed to the drive `drive`.
  virtual void OnCardChange(char drive) = 0;

  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnKeyDown(UINT key, UINT flags) override;
  bool IsForwardedKey(UINT key, UINT flags) override;
  bool Notify(int id, int code, int value) override;
  // The window lives as long as the launcher: closing only hides it.
  void OnClose() override;

  char _drive = 0;  // the card's drive letter, 0 for none

 private:
  const int _icon_id;
  HWND _owner = nullptr;  // not owned
  UINT _sd_change = 0;
};

// Makes the window in `slot` on first use (from `args`, owned by `owner`)
// and shows it for the card of `drive` (0: none). The slot keeps the window
// for the launcher's life. Throws as the window's Create does.
template <class Window, class... Args>
Window& ShowKeptWindow(std::unique_ptr<Window>& slot, HWND owner, char drive, Args&&... args) {
  if (!slot || !slot->Handle()) {
    slot = std::make_unique<Window>(std::forward<Args>(args)...);
    slot->Create(owner);
  }
  slot->Show(drive);
  return *slot;
}

}  // namespace ui
