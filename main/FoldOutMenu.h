// CMenuWindow: the launcher's fold-out menu. The root (index 65535) is a row
// of main buttons that slides out of its owner; each main button may carry a
// sub-menu window of its own (index = the main button's index) that slides
// out from that button. Clicks and hovers reach the owner as posted
// messages: click (menu index, button index), hover (menu index, button
// index) on entering a button and (-1, -1) on leaving it. The menus belong to
// the thread that created them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ResizableSkinWindow.h"
#include "SkinDefinition.h"

namespace ui {

class CMenuWindow final : public CResizableSkinWindow {
 public:
  // One button: its skin section, whether it needs a card, its sub buttons.
  struct Entry {
    SkinSection section;
    bool needs_card = false;
    std::vector<Entry> subs;
  };

  static constexpr int kRootIndex = 65535;
  static constexpr int kFirstButtonId = 0x3000;
  static constexpr UINT_PTR kOpenTimer = 1001;
  static constexpr UINT_PTR kCloseTimer = 1002;
  static constexpr UINT_PTR kFadeTimer = 1004;
  static constexpr int kSlideStep = 60;
  static constexpr int kFadeStep = 10;

  CMenuWindow();
  ~CMenuWindow() override;

  // The buttons a window's "MenuWindow" section names (MenuCount,
  // MainButton.n, SubButtonCount.n, SubButton.n.m), each looked up as a
  // section of `definition`; `needs_card(main, sub)` marks the buttons that
  // need a card (sub -1 for a main button). Throws CSkinWindowException.
  static std::vector<Entry> ReadEntries(const SkinDefinition& definition,
                                        bool (*needs_card)(int main, int sub));

  // Builds the menu and its sub-menus (hidden). Root: direction 90 (a row
  // sliding right); sub-menus: 180 (a column sliding down). Throws
  // CSkinWindowException or bad_alloc.
  void Create(HWND owner, UINT click_message, UINT hover_message, const std::vector<Entry>& entries,
              int index = kRootIndex, int direction = 90, int sub_direction = 180);

  // Slides the menu out or in; closing closes the sub-menus first.
  void Open(bool animate);
  void Close(bool animate);
  bool IsOpen() const { return _shown && !_closing; }
  bool IsOpening() const { return _opening; }
  bool IsClosing() const { return _closing; }
  // Anchors the menu at a screen point: its fixed edge, where it slides out
  // from. A visible menu and its sub-menus move at once.
  void MoveTo(POINT screen);
  // Stored in this menu and every sub-menu; takes effect with the next card
  // change.
  void Enable(bool enabled);
  bool IsMenuEnabled() const { return _enabled; }
  // The card change: card buttons are enabled only with a drive and when the
  // menu is enabled; every sub-menu follows.
  void OnCardChange(char drive);

  int Index() const { return _index; }
  int Direction() const { return _direction; }
  size_t ButtonCount() const { return _buttons.size(); }
  CSkinWindowItem* Button(size_t j) const;
  // The sub-menu of button j, null when it has none.
  CMenuWindow* SubMenu(size_t j) const;
  // The full rectangle on the screen and the one showing now.
  RECT TargetRect() const { return _target; }
  RECT CurrentRect() const { return _current; }
  // A button's rectangle on the screen, from the full rectangle.
  RECT ButtonScreenRect(size_t j) const;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  bool Notify(int id, int code, int value) override;
  void OnCommand(UINT id, UINT code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  void OnKeyDown(UINT key, UINT flags) override;
  bool IsForwardedKey(UINT key, UINT flags) override;
  void OnDestroy() override;

 private:
  struct Padding {
    int left = 0, right = 0, top = 0, bottom = 0, border = 0;
  };

  bool Horizontal() const { return _direction == 90 || _direction == 270; }
  void LayOut(const std::vector<Entry>& entries);
  RECT FixedEdgeRect() const;
  void Place(const RECT& r, bool show);
  void StepOpen();
  void StepClose();
  void StopAnimation();
  void SetItemsAlpha(int alpha);
  void CloseOtherSubMenus(size_t keep, bool animate);
  void OpenSubMenu(size_t j);
  void Hover(int j);
  POINT SubMenuAnchor(size_t j) const;
  void Hide();

  HWND _owner = nullptr;  // not owned
  UINT _click_message = 0;
  UINT _hover_message = 0;
  int _index = kRootIndex;
  int _direction = 90;
  Padding _padding;
  std::vector<CSkinWindowItem*> _buttons;  // owned by the window's item list
  std::vector<bool> _needs_card;
  std::vector<std::unique_ptr<CMenuWindow>> _subs;
  bool _enabled = true;
  bool _opening = false;
  bool _closing = false;
  bool _shown = false;
  int _alpha = 255;
  int _hover = -1;
  SIZE _size = {0, 0};
  POINT _anchor = {0, 0};
  RECT _target = {0, 0, 0, 0};
  RECT _current = {0, 0, 0, 0};
};

}  // namespace ui
